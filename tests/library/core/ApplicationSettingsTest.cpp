#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "Chords.h"
#include "Movement2Scroll.h"
#include "Settings.h"
#include "TimedClicks.h"

namespace
{
    std::wstring Text(const wchar_t* s)
    {
        return s != nullptr ? std::wstring(s) : std::wstring(L"<null>");
    }

    std::unique_ptr<CApplicationSettings> NewProfile(const wchar_t* key = nullptr)
    {
        auto profile = std::make_unique<CApplicationSettings>(nullptr, false, -1);
        if (key != nullptr)
            profile->SetApplication(key);
        return profile;
    }
}

TEST(ApplicationSettings, ANewDefaultProfileHasTheDocumentedDefaults)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    CApplicationSettings profile(&settings, true, 0);
    EXPECT_EQ(Text(profile.GetFullName()), L"Default");
    EXPECT_TRUE(profile.IsDefault());
    for (int layer = 0; layer < LayerCount; ++layer)
    {
        for (int button = 0; button < ButtonCount; ++button)
        {
            EXPECT_EQ(profile.GetActions(button, layer), ACTION_NO_CHANGE);
            EXPECT_EQ(profile.SendKeyAction(button, layer), 2);
            EXPECT_TRUE(profile.SendKeyWhenActive(button, layer));
            EXPECT_TRUE(profile.BlockMouse(button, layer));
            EXPECT_FALSE(profile.BlockMouseActive(button, layer));
            EXPECT_EQ(profile.GetKeystrokes(button, layer), nullptr);
            EXPECT_EQ(profile.GetChords(button, layer), nullptr);
            EXPECT_EQ(profile.SendKeyRepeat(button, layer), CApplicationSettings::DefaultRepeat());
        }
        EXPECT_EQ(profile.GetAutoSwitchTime(layer), 1.0);
        EXPECT_EQ(profile.GetChordButton(layer), NoButton);
    }
    EXPECT_TRUE(profile.AxisLocking());
    EXPECT_TRUE(profile.IsEnabled());
    EXPECT_EQ(profile.GetWindowMask(), 15);
    EXPECT_EQ(profile.GetMatchType(), 1);
    EXPECT_EQ(profile.GetMouseSpeed(), -1);
    EXPECT_EQ(profile.GetIgnoreVScrollTime(), 200);
    EXPECT_EQ(profile.GetIgnoreHScrollTime(), 400);
    EXPECT_EQ(profile.AdvScrollMethod(), 8);
    EXPECT_EQ(profile.AdvScrollVertical(), 1);
    EXPECT_EQ(profile.AdvScrollHorizontal(), 1);
    EXPECT_EQ(profile.ScrollLines(), settings.m_nWheelScrollLines);
    EXPECT_FALSE(profile.IsCustomWindow());
}

TEST(ApplicationSettings, DefaultRepeatFollowsTheKeyboardSpeed)
{
    EXPECT_EQ(CApplicationSettings::DefaultRepeatForSpeed(0), 400);
    EXPECT_EQ(CApplicationSettings::DefaultRepeatForSpeed(1), 388);
    EXPECT_EQ(CApplicationSettings::DefaultRepeatForSpeed(31), 34);
    // Out-of-range system answers stay within the documented range.
    EXPECT_EQ(CApplicationSettings::DefaultRepeatForSpeed(-5), 400);
    EXPECT_EQ(CApplicationSettings::DefaultRepeatForSpeed(1000), 34);
}

TEST(ApplicationSettings, WindowKeysSplitIntoTheirFields)
{
    const struct
    {
        const wchar_t* key;
        const wchar_t* application;
        const wchar_t* className;
        const wchar_t* parentClass;
        const wchar_t* caption;
    } cases[] = {
        {L"Notepad.EXE", L"notepad.exe", nullptr, nullptr, nullptr},
        {L"W:Notepad.exe;Edit;Parent", L"notepad.exe", L"Edit", L"Parent", nullptr},
        {L"W:notepad.exe;*;Parent", L"notepad.exe", nullptr, L"Parent", nullptr},
        // Missing parts of the old form count as "*".
        {L"W:notepad.exe", L"notepad.exe", nullptr, nullptr, nullptr},
        {L"W:*;Edit", nullptr, L"Edit", nullptr, nullptr},
        {L"W2:notepad.exe \\;| * \\;| *", L"notepad.exe", nullptr, nullptr, nullptr},
        {L"W2:NotePad.exe \\;| Edit \\;| MyParent", L"notepad.exe", L"Edit", L"MyParent", nullptr},
        {L"W2:* \\;| Edit \\;| *", nullptr, L"Edit", nullptr, nullptr},
        // A class may contain ";" and "|": only the whole separator splits.
        {L"W2:a.exe \\;| x;y|z \\;| p", L"a.exe", L"x;y|z", L"p", nullptr},
        // Second separator missing: the process stays, the classes go.
        {L"W2:notepad.exe \\;| Edit", L"notepad.exe", nullptr, nullptr, nullptr},
        // First separator missing: the whole key is the process.
        {L"W2:Notepad.exe", L"w2:notepad.exe", nullptr, nullptr, nullptr},
        {L"W3:My Caption \\;| Notepad.exe \\;| Edit \\;| *", L"notepad.exe", L"Edit", nullptr, L"My Caption"},
        {L"W3:* \\;| * \\;| * \\;| *", nullptr, nullptr, nullptr, nullptr},
        {L"W3:Cap \\;| a.exe \\;| Edit", L"a.exe", nullptr, nullptr, L"Cap"},
        {L"W3:Cap \\;| A.exe", L"w3:cap \\;| a.exe", nullptr, nullptr, nullptr},
        {L"W3:Cap", L"w3:cap", nullptr, nullptr, nullptr},
        {L"", L"", nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases)
    {
        // Start from a profile with every field set, so that clearing shows.
        auto profile = NewProfile(L"W3:old \\;| old.exe \\;| OldClass \\;| OldParent");
        profile->SetApplication(c.key);
        EXPECT_EQ(Text(profile->GetFullName()), c.key);
        EXPECT_EQ(Text(profile->GetApplication()), Text(c.application)) << c.key;
        EXPECT_EQ(Text(profile->GetClass()), Text(c.className)) << c.key;
        EXPECT_EQ(Text(profile->GetParentClass()), Text(c.parentClass)) << c.key;
        EXPECT_EQ(Text(profile->GetCaption()), Text(c.caption)) << c.key;
    }

    auto profile = NewProfile(L"W3:c \\;| a.exe \\;| k \\;| p");
    profile->SetApplication(nullptr);
    EXPECT_EQ(profile->GetApplication(), nullptr);
    EXPECT_EQ(profile->GetCaption(), nullptr);
    EXPECT_EQ(profile->GetClass(), nullptr);
    EXPECT_EQ(profile->GetParentClass(), nullptr);
}

TEST(ApplicationSettings, OverlongKeyPartsAreCutToTheirBufferNotOverrun)
{
    const std::wstring process(5000, L'a');
    auto plain = NewProfile(process.c_str());
    EXPECT_EQ(std::wstring(plain->GetFullName()), process) << "the full name keeps the whole key";
    EXPECT_EQ(std::wstring(plain->GetApplication()).size(), static_cast<size_t>(kProfilePartBufferSize - 1));

    const std::wstring key = L"W3:" + std::wstring(3000, L'C') + L" \\;| x.exe \\;| " + std::wstring(2000, L'K') + L" \\;| P";
    auto window = NewProfile(key.c_str());
    EXPECT_EQ(std::wstring(window->GetCaption()), std::wstring(kProfilePartBufferSize - 1, L'C'));
    EXPECT_EQ(Text(window->GetApplication()), L"x.exe");
    EXPECT_EQ(std::wstring(window->GetClass()), std::wstring(kProfilePartBufferSize - 1, L'K'));
    EXPECT_EQ(Text(window->GetParentClass()), L"P");
}

TEST(ApplicationSettings, KeysAndShortNamesTellProfilesApart)
{
    const struct
    {
        const wchar_t* key;
        const wchar_t* description;
        bool custom;
        const wchar_t* duplicateKey;
        int shortResult;
        const wchar_t* shortName;
    } cases[] = {
        {L"Notepad.exe", nullptr, false, L"notepad.exe", 0, L"notepad.exe"},
        {L"Notepad.exe", L"My editor", false, L"notepad.exe", 0, L"My editor"},
        {L"W2:a.exe \\;| Edit \\;| Frame", nullptr, true, L"cw;;a.exe;Frame;Edit", 0, L"a.exe;Edit;Frame"},
        {L"W2:a.exe \\;| * \\;| Frame", nullptr, true, L"cw;;a.exe;Frame;", 0, L"a.exe;Frame"},
        {L"W3:Title \\;| * \\;| * \\;| *", nullptr, true, L"cw;Title;;;", 0, L""},
        {L"W3:* \\;| * \\;| * \\;| *", nullptr, false, L"", -1, nullptr},
    };
    for (const auto& c : cases)
    {
        auto profile = NewProfile(c.key);
        if (c.description != nullptr)
            profile->SetDescription(c.description);
        EXPECT_EQ(profile->IsCustomWindow(), c.custom) << c.key;
        EXPECT_EQ(profile->GetKey(), c.duplicateKey) << c.key;
        wchar_t buffer[512] = L"untouched";
        EXPECT_EQ(profile->GetShortName(buffer, 512), c.shortResult) << c.key;
        EXPECT_EQ(std::wstring(buffer), c.shortName != nullptr ? c.shortName : L"untouched") << c.key;
    }

    // Any one window rule makes a custom-window profile.
    auto flags = NewProfile(L"a.exe");
    flags->SetWindowMask(WINDOWMASK_TOPLEFT);
    EXPECT_TRUE(flags->IsCustomWindow());
    flags->SetWindowMask(WINDOWMASK_ALL);
    flags->SetRegExMatching(true);
    EXPECT_TRUE(flags->IsCustomWindow());
    flags->SetRegExMatching(false);
    flags->SetNoParentFlag(true);
    EXPECT_TRUE(flags->IsCustomWindow());
    flags->SetNoParentFlag(false);
    flags->SetUseWindowArea(true);
    EXPECT_TRUE(flags->IsCustomWindow());
    EXPECT_EQ(flags->GetWindowMask(), WINDOWMASK_AREA);
}

TEST(ApplicationSettings, ShortNamesAreCutToTheCallersBuffer)
{
    auto profile = NewProfile(L"averylongprocessname.exe");
    wchar_t small[6] = {};
    EXPECT_EQ(profile->GetShortName(small, 6), 0);
    EXPECT_EQ(std::wstring(small), L"avery");

    wchar_t untouched[4] = L"xyz";
    EXPECT_EQ(profile->GetShortName(untouched, 0), -1);
    EXPECT_EQ(profile->GetShortName(nullptr, 10), -1);
    EXPECT_EQ(std::wstring(untouched), L"xyz");

    CApplicationSettings defaultProfile(nullptr, true, 0);
    wchar_t buffer[32];
    EXPECT_EQ(defaultProfile.GetShortName(buffer, 32), 0);
    EXPECT_EQ(std::wstring(buffer), L"Default");
}

TEST(ApplicationSettings, OutOfRangeSlotsAreRefusedAndChangeNothing)
{
    const struct
    {
        int button;
        int layer;
    } bad[] = {{-1, 0}, {9, 0}, {0, -1}, {0, 10}, {-1, 1} /* index 8, but no such button */, {10, -1}, {100, 100},
               {-2147483647 - 1, 0}, {0, 2147483647}};

    auto profile = NewProfile(L"a.exe");
    for (const auto& c : bad)
    {
        EXPECT_EQ(profile->GetActions(c.button, c.layer), ACTION_NO_CHANGE);
        EXPECT_EQ(profile->GetActions(c.button, c.layer, true), ACTION_NO_CHANGE);
        profile->SetActions(c.button, c.layer, ACTION_COPY);
        profile->SetResetKeys(c.button, c.layer, true);
        EXPECT_FALSE(profile->GetResetKeys(c.button, c.layer));
        profile->SetKeystrokes(c.button, c.layer, L"abc", 0, 0, true, true, false, false, 10);
        EXPECT_EQ(profile->GetKeystrokes(c.button, c.layer), nullptr);
        profile->SetLaunchApp(c.button, c.layer, L"x.exe");
        EXPECT_EQ(profile->GetLaunchApp(c.button, c.layer), nullptr);
        profile->SetActionDescription(c.button, c.layer, L"d");
        profile->SetStuckKeys(c.button, c.layer, L"s");
        CMovement2Scroll options;
        profile->SetMovement2Scroll(c.button, c.layer, &options);
        EXPECT_EQ(profile->GetMovement2Scroll(c.button, c.layer), nullptr);
        EXPECT_EQ(profile->GetActionData(c.button, c.layer), nullptr);
        EXPECT_EQ(profile->GetKeystrokesWaitHoldTime(c.button, c.layer, 7), 7);
        profile->UpgradeAction(c.button, c.layer, ACTION_MTS_STICKY_OLD);
    }
    for (int layer = 0; layer < LayerCount; ++layer)
    {
        for (int button = 0; button < ButtonCount; ++button)
        {
            EXPECT_EQ(profile->GetActions(button, layer), ACTION_NO_CHANGE) << button << "," << layer;
            EXPECT_EQ(profile->GetKeystrokes(button, layer), nullptr);
            EXPECT_EQ(profile->GetLaunchApp(button, layer), nullptr);
            EXPECT_EQ(profile->GetActionDescription(button, layer), nullptr);
            EXPECT_EQ(profile->GetStuckKeys(button, layer), nullptr);
            EXPECT_FALSE(profile->GetResetKeys(button, layer));
        }
    }

    for (int layer : {-1, 10, 1000})
    {
        profile->SetLayerName(L"x", layer);
        EXPECT_STREQ(profile->GetLayerName(layer), L"") << "never null";
        profile->SetLayerDisabled(layer, true);
        EXPECT_FALSE(profile->GetLayerDisabled(layer));
        EXPECT_FALSE(profile->GetLayerDisabledNextPrev(layer, true));
        profile->SetAutoSwitchLayer(layer, 3);
        EXPECT_EQ(profile->GetAutoSwitchLayer(layer), 0);
        EXPECT_EQ(profile->GetChordButton(layer), NoButton);
    }
}

TEST(ApplicationSettings, SlotsAreAddressedByButtonAndLayer)
{
    auto profile = NewProfile(L"a.exe");
    for (int layer = 0; layer < LayerCount; ++layer)
        for (int button = 0; button < ButtonCount; ++button)
            profile->SetActions(button, layer, button + layer * ButtonCount);
    for (int layer = 0; layer < LayerCount; ++layer)
        for (int button = 0; button < ButtonCount; ++button)
            EXPECT_EQ(profile->GetActions(button, layer), button + layer * ButtonCount);
}

TEST(ApplicationSettings, DisabledLayersDeferToLayerOneOnlyWhenAsked)
{
    auto profile = NewProfile(L"a.exe");
    profile->SetActions(Right, 3, ACTION_COPY);
    profile->SetLayerDisabled(3, true);
    EXPECT_EQ(profile->GetActions(Right, 3, true), ACTION_SAME_AS_LAYER_1);
    EXPECT_EQ(profile->GetActions(Right, 3, false), ACTION_COPY);
    EXPECT_TRUE(profile->GetLayerDisabledNextPrev(3, true));
    EXPECT_FALSE(profile->GetLayerDisabledNextPrev(3, false));
    profile->SetLayerDisabledNextPrev(4, true);
    EXPECT_TRUE(profile->GetLayerDisabledNextPrev(4, false));

    // The first layer is never disabled.
    profile->SetActions(Left, 0, ACTION_PASTE);
    profile->SetLayerDisabled(0, true);
    EXPECT_FALSE(profile->GetLayerDisabled(0));
    EXPECT_EQ(profile->GetActions(Left, 0, true), ACTION_PASTE);
}

TEST(ApplicationSettings, KeystrokeTimesAddWaitsHoldsAndPerKeyTime)
{
    const struct
    {
        const wchar_t* keys;
        int perKeyTime;
        int expected;
    } cases[] = {
        {L"", 10, 0},
        {L"abc", 10, 30},
        {L"{WAIT}", 10, 250},
        {L"{wait:0}", 10, 250},
        {L"{WAIT:2}", 10, 2000},
        {L"{HOLD<3}x", 10, 3010},
        {L"{WAITMS:40}ab", 10, 60},
        {L"{WAITMS<40}", 10, 40},
        {L"{waitms 15}", 0, 15},
        {L"{HOLDMS}", 7, 7},
        {L"{WAIT:1-3}", 0, 1000},
        {L"{CTRL}c", 5, 10},
        // "{{" is a literal brace followed by a tag: {{} is a brace and an empty tag.
        {L"{{}", 10, 20},
        {L"{{WAIT}", 10, 260},
        // An unclosed tag runs to the end of the text.
        {L"ab{WAIT", 10, 270},
        {L"ab{", 10, 30},
        // Only the first 24 characters of a tag are read, the rest is skipped.
        {L"{WAITMS:0000000000000000000005}z", 1, 1},
        {L"{WAITMS:12                          }z", 1, 13},
        {L"{SOMEVERYLONGTAGNAMETHATGOESONANDONANDON}", 4, 4},
        // Huge numbers saturate instead of wrapping.
        {L"{WAIT:99999999999}{WAIT:99999999999}", 0, 2147483647},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CApplicationSettings::CalculateKeystrokesWaitHoldTime(c.keys, c.perKeyTime), c.expected) << c.keys;
    EXPECT_EQ(CApplicationSettings::CalculateKeystrokesWaitHoldTime(nullptr, 10), 0);

    auto profile = NewProfile(L"a.exe");
    profile->SetKeystrokes(Middle, 1, L"{WAITMS:40}ab", 5, 100, false, false, true, true, 10);
    EXPECT_EQ(profile->GetKeystrokesWaitHoldTime(Middle, 1, 5), 65);
    EXPECT_EQ(profile->SendKeyAction(Middle, 1), 5);
    EXPECT_EQ(profile->SendKeyRepeat(Middle, 1), 100);
    EXPECT_FALSE(profile->SendKeyWhenActive(Middle, 1));
    EXPECT_FALSE(profile->BlockMouse(Middle, 1));
    EXPECT_TRUE(profile->BlockMouseActive(Middle, 1));
    EXPECT_TRUE(profile->RandomiseDelay(Middle, 1));
    profile->SetKeystrokes(Middle, 1, nullptr, 0, 0, true, true, false, false, 10);
    EXPECT_EQ(profile->GetKeystrokesWaitHoldTime(Middle, 1, 0), 0);
}

TEST(ApplicationSettings, RetiredMovementCodesBecomeMovementToScrollWithTheirOptions)
{
    const int retired[] = {ACTION_MTS_STICKY_OLD, ACTION_MTS_LOCK_AXIS_OLD, ACTION_MTS_STICKY_LOCK_AXIS_OLD,
                           ACTION_MTS_INVERTED_OLD, ACTION_MTS_INVERTED_STICKY_OLD, ACTION_MTS_INVERTED_LOCK_AXIS_OLD,
                           ACTION_MTS_INVERTED_STICKY_LOCK_AXIS_OLD};
    for (int code : retired)
    {
        auto profile = NewProfile(L"a.exe");
        profile->SetActions(XLeft, 2, code);
        profile->UpgradeAction(XLeft, 2, code);
        EXPECT_EQ(profile->GetActions(XLeft, 2), ACTION_MOVEMENT_TO_SCROLL) << code;
        CMovement2Scroll* options = profile->GetMovement2Scroll(XLeft, 2);
        ASSERT_NE(options, nullptr) << code;
        const CMovement2Scroll expected{static_cast<_ACTIONS>(code)};
        EXPECT_EQ(options->IsSticky(), expected.IsSticky()) << code;
        EXPECT_EQ(options->InvertVertical(), expected.InvertVertical()) << code;
        EXPECT_EQ(options->GetAxisLocked(), expected.GetAxisLocked()) << code;
    }

    // 124: inverted and sticky.
    auto profile = NewProfile(L"a.exe");
    profile->UpgradeAction(Left, 0, ACTION_MTS_INVERTED_STICKY_OLD);
    ASSERT_NE(profile->GetMovement2Scroll(Left, 0), nullptr);
    EXPECT_TRUE(profile->GetMovement2Scroll(Left, 0)->IsSticky());
    EXPECT_TRUE(profile->GetMovement2Scroll(Left, 0)->InvertVertical());

    // Other codes are left alone.
    for (int code : {static_cast<int>(ACTION_MOVEMENT_TO_SCROLL), static_cast<int>(ACTION_COPY), 79, 81, 120, 127})
    {
        auto other = NewProfile(L"a.exe");
        other->SetActions(Right, 0, code);
        other->UpgradeAction(Right, 0, code);
        EXPECT_EQ(other->GetActions(Right, 0), code);
        EXPECT_EQ(other->GetMovement2Scroll(Right, 0), nullptr);
    }
}

TEST(ApplicationSettings, SlotListsAreAdoptedOrCopiedAndRecordsShareThem)
{
    auto profile = NewProfile(L"a.exe");
    auto* chords = new CBRMPChords();
    chords->SetUnblockTime(321);
    profile->SetChords(Middle, 0, chords);
    EXPECT_EQ(profile->GetChords(Middle, 0), chords);
    profile->SetChords(Middle, 0, chords);   // the same pointer again: kept, not freed
    EXPECT_EQ(profile->GetChords(Middle, 0)->UnblockTime(), 321);

    CBRMPTimedClicks clicks;
    clicks.SetTime(1, 777);
    profile->CopyTimedClicks(Middle, 0, &clicks);
    ASSERT_NE(profile->GetTimedClicks(Middle, 0), nullptr);
    EXPECT_NE(profile->GetTimedClicks(Middle, 0), &clicks);
    EXPECT_EQ(profile->GetTimedClicks(Middle, 0)->GetTime(1), 777);

    profile->SetActions(Middle, 0, ACTION_BUTTON_CHORDING);
    profile->SetActionDescription(Middle, 0, L"desc");
    std::unique_ptr<CActionData> record(profile->GetActionData(Middle, 0));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Action(), ACTION_BUTTON_CHORDING);
    EXPECT_EQ(record->GetChords(), chords);
    EXPECT_EQ(record->GetTimedClicks(), profile->GetTimedClicks(Middle, 0));
    EXPECT_STREQ(record->GetDescription(), L"desc");
    record.reset();   // the record never frees the slot's lists
    EXPECT_EQ(profile->GetChords(Middle, 0)->UnblockTime(), 321);

    profile->CopyChords(Middle, 0, nullptr);
    EXPECT_EQ(profile->GetChords(Middle, 0), nullptr);
}

TEST(ApplicationSettings, CopyIsDeepAndMakesANonDefaultProfile)
{
    CApplicationSettings source(nullptr, true, 0);
    source.SetApplication(L"W3:Cap \\;| a.exe \\;| Edit \\;| Frame");
    source.SetDescription(L"described");
    source.SetLayerName(L"Second", 1);
    source.SetLayerDisabled(2, true);
    source.SetAutoSwitchTime(3, 2.5);
    source.SetKeystrokes(Left, 1, L"{CTRL}c", 0, 50, true, false, false, true, 10);
    source.SetActions(Left, 1, ACTION_SIMULATED_KEYS);
    auto* chords = new CBRMPChords();
    chords->SetUnblockTime(99);
    source.SetChords(Right, 4, chords);
    CMovement2Scroll options;
    options.SetSensitivityX(9);
    source.SetMovement2Scroll(XRight, 9, &options);
    source.SetInvertScrolling(true);
    source.SetAdvScrollMethod(3);
    source.SetRegExMatching(true);
    RECT area = {1, 2, 3, 4};
    source.SetWindowArea(area);
    source.ChangeCursor(true);
    source.SetCursor(L"2");

    auto copy = std::make_unique<CApplicationSettings>(nullptr, false, 5);
    copy->Copy(&source);
    EXPECT_FALSE(copy->IsDefault());
    EXPECT_EQ(copy->GetIndex(), 5);
    EXPECT_EQ(Text(copy->GetCaption()), L"Cap");
    EXPECT_EQ(Text(copy->GetApplication()), L"a.exe");
    EXPECT_EQ(Text(copy->GetDescription()), L"described");
    EXPECT_STREQ(copy->GetLayerName(1), L"Second");
    EXPECT_TRUE(copy->GetLayerDisabled(2));
    EXPECT_EQ(copy->GetAutoSwitchTime(3), 2.5);
    EXPECT_EQ(copy->GetActions(Left, 1), ACTION_SIMULATED_KEYS);
    EXPECT_NE(copy->GetKeystrokes(Left, 1), source.GetKeystrokes(Left, 1));
    EXPECT_STREQ(copy->GetKeystrokes(Left, 1), L"{CTRL}c");
    EXPECT_EQ(copy->GetKeystrokesWaitHoldTime(Left, 1, 0), source.GetKeystrokesWaitHoldTime(Left, 1, 0));
    ASSERT_NE(copy->GetChords(Right, 4), nullptr);
    EXPECT_NE(copy->GetChords(Right, 4), chords);
    EXPECT_EQ(copy->GetChords(Right, 4)->UnblockTime(), 99);
    ASSERT_NE(copy->GetMovement2Scroll(XRight, 9), nullptr);
    EXPECT_NE(copy->GetMovement2Scroll(XRight, 9), source.GetMovement2Scroll(XRight, 9));
    EXPECT_EQ(copy->GetMovement2Scroll(XRight, 9)->getSensitivityX(), 9);
    EXPECT_TRUE(copy->InvertedScrolling());
    EXPECT_EQ(copy->AdvScrollMethod(), 3);
    EXPECT_TRUE(copy->RegExMatching());
    EXPECT_EQ(copy->GetWindowArea().bottom, 4);
    EXPECT_STREQ(copy->GetCursor(), L"2");
    // The copy's patterns are its own: matching works after the source is gone.
    EXPECT_TRUE(copy->MatchClass(L"MyEditor"));

    // Copying onto itself changes nothing.
    copy->Copy(copy.get());
    EXPECT_STREQ(copy->GetKeystrokes(Left, 1), L"{CTRL}c");
}

TEST(ApplicationSettings, CursorAndScriptReadAsNullWhileSwitchedOff)
{
    auto profile = NewProfile(L"a.exe");
    profile->SetCursor(L"3");
    profile->SetProfileChangeScript(L"{CTRL}x");
    EXPECT_EQ(profile->GetCursor(), nullptr);
    EXPECT_EQ(profile->GetProfileChangeScript(), nullptr);
    profile->ChangeCursor(true);
    profile->EnableProfileScript(true);
    EXPECT_STREQ(profile->GetCursor(), L"3");
    EXPECT_STREQ(profile->GetProfileChangeScript(), L"{CTRL}x");

    EXPECT_FALSE(CApplicationSettings::GetDisableMouseOver(nullptr));
    EXPECT_FALSE(CApplicationSettings::GetDisableScrollUnderCursor(nullptr));
    EXPECT_FALSE(CApplicationSettings::GetDisableLayerModifier(nullptr));
    profile->SetDisableMouseOver(true);
    EXPECT_TRUE(CApplicationSettings::GetDisableMouseOver(profile.get()));
}

TEST(ApplicationSettings, CopyStringCopiesLowerCasesAndKeepsNullApartFromEmpty)
{
    wchar_t* target = nullptr;
    EXPECT_STREQ(CApplicationSettings::CopyString(target, L"MiXeD.EXE", true), L"mixed.exe");
    EXPECT_STREQ(CApplicationSettings::CopyString(target, L""), L"");
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(CApplicationSettings::CopyString(target, nullptr), nullptr);
    EXPECT_EQ(target, nullptr);
    CApplicationSettings::CopyString(target, L"self");
    CApplicationSettings::CopyString(target, target);   // a string copied onto itself survives
    EXPECT_STREQ(target, L"self");
    CApplicationSettings::ClearString(target);
    EXPECT_EQ(target, nullptr);
}

TEST(ApplicationSettings, APinnedKeyboardSpeedGivesEveryNewSlotItsRepeat)
{
    CApplicationSettings::PinKeyboardSpeed(0);
    CApplicationSettings slow(nullptr, false, -1);
    CApplicationSettings::PinKeyboardSpeed(31);
    CApplicationSettings fast(nullptr, false, -1);
    CApplicationSettings::PinKeyboardSpeed(-1);
    EXPECT_EQ(slow.SendKeyRepeat(WheelDown, 9), 400);
    EXPECT_EQ(fast.SendKeyRepeat(Left, 0), 34);
}
