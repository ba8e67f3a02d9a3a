#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ActionData.h"
#include "Chords.h"

namespace
{
pugi::xml_node ParseElement(pugi::xml_document& doc, const wchar_t* text)
{
    EXPECT_TRUE(doc.load_string(text)) << text;
    return doc.first_child();
}

int CountChildren(pugi::xml_node element)
{
    int count = 0;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        ++count;
    return count;
}
}

TEST(Chords, ANewListHasNineNoChangeEntriesAndTheDefaultOptions)
{
    CBRMPChords chords;
    for (int button = 0; button < ButtonCount; ++button)
    {
        const CBRMPChord* entry = chords.GetChord(button);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->GetAction(), ACTION_NO_CHANGE);
        EXPECT_TRUE(entry->BlockMouse());
        EXPECT_FALSE(entry->SendKeyWhenActive());
        EXPECT_EQ(entry->GetChordSourceButton(), NoButton);
        EXPECT_EQ(entry->GetChordedButton(), NoButton);
        EXPECT_EQ(entry->GetMovement2Scroll(), nullptr);
    }
    EXPECT_TRUE(chords.DelayUntilChordKnown());
    EXPECT_FALSE(chords.UnblockAfterDelay());
    EXPECT_FALSE(chords.UnblockAfterMovement());
    EXPECT_EQ(chords.UnblockTime(), 750);
    EXPECT_EQ(chords.UnblockMPixels(), 5);
    EXPECT_EQ(chords.GetDescription(), nullptr);
}

TEST(Chords, ButtonsOutsideTheListAreRefused)
{
    CBRMPChords chords;
    CBRMPChord entry;
    entry.SetAction(ACTION_COPY);
    for (int bad : {-1, 9, 1000})
    {
        EXPECT_EQ(chords.GetChord(bad), nullptr) << bad;
        EXPECT_FALSE(chords.SetChord(bad, entry)) << bad;
    }
    EXPECT_TRUE(chords.SetChord(WheelDown, entry));
    EXPECT_EQ(chords.GetChord(WheelDown)->GetAction(), ACTION_COPY);
}

TEST(Chords, AssignmentGivesOwnOptionsAndResetsTheRunTimeState)
{
    CBRMPChord source;
    source.SetAction(ACTION_MOVEMENT_TO_SCROLL);
    source.SetChordSourceButton(Left);
    source.SetChordedButton(Right);
    source.SetChordingOccurred(true);
    source.SetKeys(L"k");

    CBRMPChord fresh;
    fresh.SetChordSourceButton(Middle);
    fresh = source;
    ASSERT_NE(fresh.GetMovement2Scroll(), nullptr) << "default options of its own when the source has none";
    EXPECT_EQ(fresh.GetMovement2Scroll()->getSensitivityX(), 5);
    EXPECT_EQ(fresh.GetChordSourceButton(), NoButton);
    EXPECT_EQ(fresh.GetChordedButton(), NoButton);
    EXPECT_FALSE(fresh.ChordingOccurred());
    EXPECT_STREQ(fresh.GetKeys(), L"k");
    EXPECT_NE(fresh.GetKeys(), source.GetKeys());

    CBRMPChord withOptions;
    CMovement2Scroll own;
    own.SetSensitivityX(20);
    withOptions.SetMovement2Scroll(&own);
    CMovement2Scroll* before = withOptions.GetMovement2Scroll();
    withOptions = &source;
    EXPECT_EQ(withOptions.GetMovement2Scroll(), before);
    EXPECT_EQ(withOptions.GetMovement2Scroll()->getSensitivityX(), 20) << "previous options kept";
    EXPECT_EQ(withOptions.GetAction(), ACTION_MOVEMENT_TO_SCROLL);
}

TEST(Chords, ACopiedListIsDeepAndOutlivesItsSource)
{
    auto source = std::make_unique<CBRMPChords>();
    source->SetDescription(L"copy me");
    source->SetUnblockTime(300);
    source->SetUnblockAfterMovement(true);
    source->SetUnblockMPixels(9);
    source->GetChord(Middle)->SetKeys(L"{ENTER}");
    source->GetChord(Middle)->SetChordSourceButton(Left);
    CMovement2Scroll options;
    options.SetSensitivityY(17);
    source->GetChord(XLeft)->SetMovement2Scroll(&options);

    CBRMPChords constructed(*source);
    CBRMPChords assigned;
    assigned = *source;
    CBRMPChords pointerAssigned;
    pointerAssigned = source.get();
    source.reset();

    for (CBRMPChords* copy : {&constructed, &assigned, &pointerAssigned})
    {
        EXPECT_STREQ(copy->GetDescription(), L"copy me");
        EXPECT_EQ(copy->UnblockTime(), 300);
        EXPECT_TRUE(copy->UnblockAfterMovement());
        EXPECT_EQ(copy->UnblockMPixels(), 9);
        EXPECT_STREQ(copy->GetChord(Middle)->GetKeys(), L"{ENTER}");
        EXPECT_EQ(copy->GetChord(Middle)->GetChordSourceButton(), NoButton);
        EXPECT_EQ(copy->GetChord(XLeft)->GetMovement2Scroll()->getSensitivityY(), 17);
    }
    EXPECT_NE(constructed.GetDescription(), assigned.GetDescription());
    EXPECT_NE(constructed.GetChord(XLeft)->GetMovement2Scroll(), assigned.GetChord(XLeft)->GetMovement2Scroll());
}

TEST(Chords, AnEntryGivesAndTakesAnActionRecord)
{
    CBRMPChord entry;
    std::unique_ptr<CActionData> keys(
        CActionData::KeyAction(L"{CTRL}v", 40, 8, 100, true, false, true, true, L"paste"));
    CMovement2Scroll options;
    options.SetAxisLock(3);
    keys->SetMovement2Scroll(&options);
    entry.SetActionData(keys.get());

    std::unique_ptr<CActionData> back(entry.GetActionData());
    EXPECT_EQ(back->Action(), ACTION_SIMULATED_KEYS);
    EXPECT_STREQ(back->GetKeys(), L"{CTRL}v");
    EXPECT_STREQ(back->GetDescription(), L"paste");
    EXPECT_EQ(back->GetKeystrokesWaitHoldTime(0), 40);
    EXPECT_EQ(back->KeyAction(), 8);
    EXPECT_EQ(back->KeyRepeat(), 100);
    EXPECT_FALSE(back->BlockMouse());
    EXPECT_EQ(back->GetChords(), nullptr);
    EXPECT_EQ(back->GetMovement2Scroll(), entry.GetMovement2Scroll()) << "shared, not copied";
    EXPECT_FALSE(back->OwnsMovement2Scroll());
    EXPECT_EQ(back->GetMovement2Scroll()->GetAxisLocked(), 3);
    back.reset();
    EXPECT_EQ(entry.GetMovement2Scroll()->GetAxisLocked(), 3);
}

TEST(Chords, TheChordsElementRoundTripsInBothModes)
{
    for (bool quillon : {false, true})
    {
        CBRMPChords source;
        source.SetDescription(L"round trip");
        source.SetDelayUntilChordKnown(false);
        source.SetUnblockAfterDelay(true);
        source.SetUnblockTime(1200);
        source.SetUnblockMPixels(12);
        for (int button = 0; button < ButtonCount; ++button)
        {
            std::unique_ptr<CActionData> record(CActionData::KeyAction(
                (L"key" + std::to_wstring(button)).c_str(), 0, button % KeyModeCount, 10, false, true, false, true,
                (L"desc" + std::to_wstring(button)).c_str()));
            source.GetChord(button)->SetActionData(record.get());
        }
        source.GetChord(Right)->SetAction(ACTION_RUN_APPLICATION);
        source.GetChord(Right)->SetLaunchApp(L"notepad.exe");

        pugi::xml_document doc;
        pugi::xml_node element = doc.append_child(L"chords");
        source.Save(quillon, element);
        EXPECT_EQ(CountChildren(element), quillon ? 8 : 9);
        EXPECT_EQ(static_cast<bool>(element.child(L"TiltRight")), !quillon);
        EXPECT_EQ(static_cast<bool>(element.child(L"QuillonMiddle")), quillon);
        EXPECT_STREQ(element.child(L"Left").first_attribute().name(), L"action");

        CBRMPChords loaded;
        ASSERT_TRUE(loaded.Load(quillon, element, 10));
        EXPECT_STREQ(loaded.GetDescription(), L"round trip");
        EXPECT_FALSE(loaded.DelayUntilChordKnown());
        EXPECT_TRUE(loaded.UnblockAfterDelay());
        EXPECT_EQ(loaded.UnblockTime(), 1200);
        EXPECT_EQ(loaded.UnblockMPixels(), 12);
        for (int button = 0; button < ButtonCount; ++button)
        {
            const CBRMPChord* entry = loaded.GetChord(button);
            if (quillon && button == TiltRight)
            {
                EXPECT_EQ(entry->GetAction(), ACTION_NO_CHANGE);
                continue;
            }
            if (button == Right)
            {
                EXPECT_STREQ(entry->GetLaunchApp(), L"notepad.exe");
                continue;
            }
            EXPECT_EQ(entry->GetAction(), ACTION_SIMULATED_KEYS) << button;
            EXPECT_EQ(entry->GetKeys(), L"key" + std::to_wstring(button));
            EXPECT_EQ(entry->SendKeyAction(), button % KeyModeCount);
            EXPECT_EQ(entry->SendKeyRepeat(), 10);
            EXPECT_FALSE(entry->SendKeyWhenActive());
            EXPECT_TRUE(entry->RandomiseDelay());
            EXPECT_EQ(entry->GetHoldTime(), 40) << "four characters at 10 ms";
            EXPECT_EQ(entry->GetDescription(), L"desc" + std::to_wstring(button));
        }
    }
}

TEST(Chords, QuillonModeIgnoresAnElementOfTheSeventhButton)
{
    pugi::xml_document doc;
    pugi::xml_node element = ParseElement(doc, L"<chords><TiltRight action='8'/></chords>");
    CBRMPChords quillon;
    EXPECT_FALSE(quillon.Load(true, element, 10));
    EXPECT_EQ(quillon.GetChord(TiltRight)->GetAction(), ACTION_NO_CHANGE);
    CBRMPChords normal;
    EXPECT_TRUE(normal.Load(false, element, 10));
    EXPECT_EQ(normal.GetChord(TiltRight)->GetAction(), ACTION_COPY);
}

TEST(Chords, EntriesReadOnlyWhatTheirActionUsesWithTheChordDefaults)
{
    const struct
    {
        const wchar_t* xml;
        _ACTIONS action;
        const wchar_t* keys;
        bool active;
        bool blockMouse;
        const wchar_t* app;
    } cases[] = {
        {L"<Left action='28' keys='ab'/>", ACTION_SIMULATED_KEYS, L"ab", true, true, nullptr},
        {L"<Left action='28' keys='' active='no' blockmouse='0'/>", ACTION_SIMULATED_KEYS, L"", false, false, nullptr},
        {L"<Left action='28' active='false' blockmouse='false'/>", ACTION_SIMULATED_KEYS, nullptr, false, true, nullptr},
        {L"<Left action='5' keys='ab' active='true' app='x.exe'/>", ACTION_MIDDLE_CLICK, nullptr, false, true, nullptr},
        {L"<Left action='41' app='x.exe' keys='ab'/>", ACTION_RUN_APPLICATION, nullptr, false, true, L"x.exe"},
        {L"<Left action='59'/>", ACTION_OPEN_FOLDER, nullptr, false, true, L""},
        {L"<Left keys='ab'/>", ACTION_NO_CHANGE, nullptr, false, true, nullptr},
        {L"<Left action='999'/>", ACTION_NO_CHANGE, nullptr, false, true, nullptr},
        {L"<Left action='-3'/>", ACTION_NO_CHANGE, nullptr, false, true, nullptr},
    };
    for (const auto& c : cases)
    {
        pugi::xml_document doc;
        CBRMPChord entry;
        EXPECT_TRUE(entry.Load(ParseElement(doc, c.xml), 10));
        SCOPED_TRACE(c.xml);
        EXPECT_EQ(entry.GetAction(), c.action);
        if (c.keys)
            EXPECT_STREQ(entry.GetKeys(), c.keys);
        else
            EXPECT_EQ(entry.GetKeys(), nullptr);
        EXPECT_EQ(entry.SendKeyWhenActive(), c.active);
        EXPECT_EQ(entry.BlockMouse(), c.blockMouse);
        if (c.app)
            EXPECT_STREQ(entry.GetLaunchApp(), c.app);
        else
            EXPECT_EQ(entry.GetLaunchApp(), nullptr);
    }
}

TEST(Chords, TheDescriptionOfEveryActionSurvivesSaveAndLoad)
{
    CBRMPChords source;
    source.GetChord(Left)->SetAction(ACTION_COPY);
    source.GetChord(Left)->SetDescription(L"copy it");
    source.GetChord(Right)->SetAction(ACTION_OPEN_FOLDER);
    source.GetChord(Right)->SetDescription(L"temp folder");
    pugi::xml_document doc;
    source.Save(false, doc.append_child(L"chords"));

    CBRMPChords loaded;
    loaded.Load(false, doc.child(L"chords"), 10);
    EXPECT_STREQ(loaded.GetChord(Left)->GetDescription(), L"copy it");
    EXPECT_STREQ(loaded.GetChord(Right)->GetDescription(), L"temp folder");
    EXPECT_EQ(loaded.GetChord(Middle)->GetDescription(), nullptr);
}

TEST(Chords, EmptyTextsAreWrittenEmptyAndAnEmptyDescriptionIsNotTaken)
{
    CBRMPChords source;
    pugi::xml_document doc;
    pugi::xml_node element = doc.append_child(L"chords");
    source.Save(false, element);
    ASSERT_TRUE(element.attribute(L"Description"));
    EXPECT_STREQ(element.attribute(L"Description").value(), L"");
    for (const wchar_t* name : {L"keys", L"app", L"desc"})
    {
        ASSERT_TRUE(element.child(L"Left").attribute(name)) << name;
        EXPECT_STREQ(element.child(L"Left").attribute(name).value(), L"");
    }

    CBRMPChords loaded;
    loaded.SetDescription(L"kept");
    EXPECT_TRUE(loaded.Load(false, element, 10));
    EXPECT_STREQ(loaded.GetDescription(), L"kept");
}

TEST(Chords, AListWithoutEntriesLoadsAsFailureAndMissingOptionsAreKept)
{
    pugi::xml_document doc;
    CBRMPChords chords;
    chords.SetUnblockTime(100);
    chords.SetUnblockAfterMovement(true);
    EXPECT_FALSE(chords.Load(false, ParseElement(doc, L"<chords Description='x' UnblockMPixels='-2'/>"), 10));
    EXPECT_EQ(chords.UnblockTime(), 100);
    EXPECT_TRUE(chords.UnblockAfterMovement());
    EXPECT_EQ(chords.UnblockMPixels(), 5);
}

TEST(Chords, MovementToScrollEntriesOwnTheirLoadedOptions)
{
    pugi::xml_document doc;
    pugi::xml_node element =
        ParseElement(doc, L"<chords><Middle action='77'><mts SensitivityX='21' Sticky='true'/></Middle>"
                          L"<Right action='6'><mts SensitivityX='21'/></Right></chords>");
    CBRMPChords chords;
    ASSERT_TRUE(chords.Load(false, element, 10));
    ASSERT_NE(chords.GetChord(Middle)->GetMovement2Scroll(), nullptr);
    EXPECT_EQ(chords.GetChord(Middle)->GetMovement2Scroll()->getSensitivityX(), 21);
    EXPECT_TRUE(chords.GetChord(Middle)->GetMovement2Scroll()->IsSticky());
    EXPECT_EQ(chords.GetChord(Right)->GetMovement2Scroll(), nullptr);

    pugi::xml_document out;
    chords.Save(false, out.append_child(L"chords"));
    EXPECT_TRUE(out.child(L"chords").child(L"Middle").child(L"mts"));
    EXPECT_FALSE(out.child(L"chords").child(L"Right").child(L"mts"));
}
