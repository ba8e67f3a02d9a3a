#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "InputTestSupport.h"

using inputtest::Describe;
using inputtest::TestContext;

namespace
{
struct ParseCase
{
    const wchar_t* text;
    const char* expected;
};

std::string Parse(const std::wstring& text, const TagParseContext& context = TestContext(), bool* result = nullptr)
{
    SimTokenList tokens;
    const bool ok = ParseTagText(tokens, text.c_str(), context);
    if (result != nullptr)
        *result = ok;
    return Describe(tokens, context.defaultHoldTime);
}

void ExpectAll(const std::vector<ParseCase>& cases, const TagParseContext& context = TestContext())
{
    for (const ParseCase& c : cases)
    {
        bool ok = false;
        EXPECT_EQ(Parse(c.text, context, &ok), c.expected) << "text: " << inputtest::Narrow(c.text);
        EXPECT_TRUE(ok) << "text: " << inputtest::Narrow(c.text);
    }
}
}

TEST(TagParser, PlainTextIsLoweredAndModifiersComeFromTagsOrTheCharactersShiftState)
{
    ExpectAll({
        {L"Ab", "key vk=65 sc=0x1e | key vk=66 sc=0x30"},
        {L"{SHIFT}a", "key vk=65 sc=0x1e mods=0x1"},
        {L"{CTRL}c", "key vk=67 sc=0x2e mods=0x2"},
        {L"{CTRL}", "key mods=0x2"},
        {L"{ALT}{SHIFT}", "key mods=0x5"},
        // A shifted character brings its Shift along; the key is sent by its scan code.
        {L"!", "key vk=305 sc=0x10002 mods=0x1"},
        {L"1", "key vk=49 sc=0x2"},
        // Characters outside the OEM set are typed by their code.
        {L"\u20ac", "key sc=0x20ac uni"},
        {L"", ""},
    });
}

TEST(TagParser, ALiteralBraceIsWrittenAsBraceBraceCloseAndKeepsPendingModifiers)
{
    ExpectAll({
        {L"{{}", "key sc=0x7b uni"},
        {L"{{}{{}", "key sc=0x7b uni | key sc=0x7b uni"},
        {L"{CTRL}{{}a", "key sc=0x7b uni mods=0x2 | key vk=65 sc=0x1e mods=0x2"},
        {L"}", "key vk=477 sc=0x1001b mods=0x1"},
    });
}

TEST(TagParser, NamedKeysGiveTheirVirtualKeysAndExtendedFlags)
{
    ExpectAll({
        {L"{ENTER}{RETURN}{ESC}{ESCAPE}{BACKSPACE}{TAB}{SPACE}",
         "key vk=13 | key vk=13 | key vk=27 | key vk=27 | key vk=8 | key vk=9 | key vk=32"},
        {L"{INS}{INSERT}{DEL}{DELETE}{HOME}{END}",
         "key vk=45 ext | key vk=45 ext | key vk=46 ext | key vk=46 ext | key vk=36 ext | key vk=35 ext"},
        {L"{PGUP}{PAGEUP}{PGDN}{PAGEDOWN}{LEFT}{RIGHT}{UP}{DOWN}",
         "key vk=33 ext | key vk=33 ext | key vk=34 ext | key vk=34 ext | key vk=37 ext | key vk=39 ext | "
         "key vk=38 ext | key vk=40 ext"},
        {L"{PRTSCN}{PRINT}{HELP}", "key vk=44 | key vk=42 | key vk=47"},
        {L"{PAUSE}{BREAK}{CTRLBREAK}", "key vk=19 sc=0xffffffff | key vk=3 ext | key vk=3 ext mods=0x6"},
        {L"{enter}{Home}", "key vk=13 | key vk=36 ext"},
        {L"{BACK}{FORWARD}{STOP}{REFRESH}{SEARCH}{FAVORITES}{WEBHOME}",
         "key vk=166 ext | key vk=167 ext | key vk=169 ext | key vk=168 ext | key vk=170 ext | key vk=171 ext | "
         "key vk=172 ext"},
        {L"{MEDIANEXT}{MEDIAPREV}{MEDIASTOP}{MEDIAPLAY}{LMEDSEL}{LMAIL}{LAPP1}{LAPP2}",
         "key vk=176 ext | key vk=177 ext | key vk=178 ext | key vk=179 ext | key vk=181 ext | key vk=180 ext | "
         "key vk=182 ext | key vk=183 ext"},
    });
}

TEST(TagParser, CtrlAltDelAddsTheSecureAttentionActionAfterTheKey)
{
    ExpectAll({
        {L"{CTRL}{ALT}{DEL}", "key vk=46 ext mods=0x6 | action 23"},
        {L"{RCTRL}{RALT}{DEL}", "key vk=46 ext mods=0x180 | action 23"},
        {L"{CTRL}{DEL}", "key vk=46 ext mods=0x2"},
    });
}

TEST(TagParser, LockKeysFollowTheirTrackedStateWithinOneText)
{
    ExpectAll({
        {L"{CAPSLOCKON}{CAPSLOCKON}{CAPSLOCKOFF}{CAPSLOCK}", "key vk=20 mark | key vk=20 mark | key vk=20"},
        {L"{NUMLOCKOFF}{SCROLLLOCK}{SCROLLLOCKOFF}", "key vk=145 | key vk=145 mark"},
    });
    TagParseContext on = TestContext();
    on.capsLock = true;
    on.numLock = true;
    ExpectAll({
        {L"{CAPSLOCKON}{CAPSLOCKOFF}", "key vk=20 mark"},
        {L"{NUMLOCKOFF}{NUMLOCKOFF}", "key vk=144 mark"},
    }, on);
}

TEST(TagParser, ModifierTagsArePendingPressedOrReleasedByPart)
{
    ExpectAll({
        {L"{PRESS}{CTRL}a{RELEASE}{CTRL}", "key mods=0x2 part=1 | key vk=65 sc=0x1e | key mods=0x2 part=2"},
        {L"{PRESS}{ALTGR}", "key mods=0x102 part=1"},
        {L"{ALTGR}a", "key vk=65 sc=0x1e mods=0x100"},
        {L"{PRESS}{SHIFT}{PRESS}{CTRL}{CLEAR}", "key mods=0x1 part=1 | key mods=0x2 part=1 | key mods=0x3 part=2"},
        {L"{PRESS}{SHIFT}{RELEASE}{SHIFT}{CLEAR}", "key mods=0x1 part=1 | key mods=0x1 part=2"},
        {L"{CLEAR}", ""},
        {L"{PRESS}a", "key vk=65 sc=0x1e part=1"},
        {L"{RELEASED}a", "key vk=65 sc=0x1e part=2"},
        {L"{LWIN}{RWIN}{RSHIFT}{RCTRL}{RALT}{LCTRL}{LALT}{LSHIFT}", "key mods=0x1df"},
    });
    TagParseContext whileDown = TestContext();
    whileDown.pressReleaseAllowed = false;
    ExpectAll({{L"{PRESS}{CTRL}a", "key vk=65 sc=0x1e mods=0x2"}}, whileDown);
}

TEST(TagParser, AppsIsSentAtOnceAndDropsEarlierModifiers)
{
    ExpectAll({
        {L"{APPS}", "key mods=0x20"},
        {L"{CTRL}{APPS}a", "key mods=0x20 | key vk=65 sc=0x1e"},
        {L"{PRESS}{APPS}", "key mods=0x20 part=1"},
    });
}

TEST(TagParser, FilterTagsApplyToTheNextTokenOnly)
{
    ExpectAll({
        {L"{OD}a ", "key vk=65 sc=0x1e filter=1 | key vk=32 sc=0x39"},
        {L"{OU}{OR}x", "key vk=88 sc=0x2d filter=6"},
        {L"{OD}{LMB}{RMB}", "mouse 0 0 filter=1 | mouse 1 0"},
    });
}

TEST(TagParser, HoldAndWaitTakeSecondsOrMillisecondsWithDefaultsAndRanges)
{
    ExpectAll({
        {L"{HOLD}a", "key vk=65 sc=0x1e hold=250"},
        {L"{HOLD:0}a", "key vk=65 sc=0x1e hold=250"},
        {L"{HOLD:2}a", "key vk=65 sc=0x1e hold=2000"},
        {L"{HOLD<3}a", "key vk=65 sc=0x1e hold=3000"},
        {L"{HOLDMS}a", "key vk=65 sc=0x1e hold=0"},
        {L"{HOLDMS:40}ab", "key vk=65 sc=0x1e hold=40 | key vk=66 sc=0x30"},
        {L"{WAIT}", "wait 250"},
        {L"{WAIT:0}", "wait 250"},
        {L"{WAIT:2}", "wait 2000"},
        {L"{WAITMS}", "wait 0"},
        {L"{WAITMS:75}", "wait 75"},
        // Ranges: low + random mod (high - low), the span at least 1000 (seconds) or 10 (ms); random is 12345.
        {L"{WAIT:1-3}", "wait 1345"},
        {L"{WAITMS:100-105}", "wait 105"},
        {L"{HOLDMS:50-50}a", "key vk=65 sc=0x1e hold=55"},
        {L"{WAITMS:100-:300}", "wait 245"},
        // The hold time of the last pending modifier carries to the key made for it at the end.
        {L"{HOLDMS:30}{CTRL}", "key mods=0x2 hold=30"},
        // Wait tokens keep pending modifiers for what follows.
        {L"{CTRL}{WAITMS:5}a", "wait 5 | key vk=65 sc=0x1e mods=0x2"},
    });
}

TEST(TagParser, HoldAndWaitValuesNeverGoNegativeOrWrapIntoDays)
{
    ExpectAll({
        // A leading "-" starts the range: "-1" is 0 to 1 s, never -1000 ms read as 49 days.
        {L"{WAIT:-1}", "wait 345"},
        {L"{HOLD:-5}a", "key vk=65 sc=0x1e hold=2345"},
        {L"{WAITMS:99999999999}", "wait 2147483647"},
        {L"{WAIT:4294968}", "wait 2147483647"},
        {L"{WAIT:3000000-4000000}", "wait 2147483647"},
    });
}

TEST(TagParser, RawKeyCodeTagsReadTheirNumbers)
{
    ExpectAll({
        {L"{VKC:65}{EXT:45}", "key vk=65 sc=0xffffffff | key vk=45 sc=0xffffffff ext"},
        {L"{SCE57}{SCE:57}", "key sc=0x39 ext | key sc=0x39 ext"},
        // SC skips the character after it: with a colon the whole number, directly after it from the 7.
        {L"{SC:57}{SC57}", "key sc=0x39 | key sc=0x7"},
    });
}

TEST(TagParser, NumpadAndFunctionKeys)
{
    ExpectAll({
        {L"{NUM0}{NUM5}{NUM9}{NUM:*}{NUM<+}{NUM-}{NUM.}{NUM/}{NUME}{NUMr}",
         "key vk=96 | key vk=101 | key vk=105 | key vk=106 | key vk=107 | key vk=109 | key vk=110 | "
         "key vk=111 ext | key vk=13 ext | key vk=13 ext"},
        {L"{F1}{F12}{F24}{f5}", "key vk=112 | key vk=123 | key vk=135 | key vk=116"},
        {L"{Fx}", "key vk=111"},
        {L"{fx}", ""},
    });
    for (const wchar_t* invalid : {L"{NUMQ}", L"{NUM}", L"a{NUM:}b"})
    {
        bool ok = true;
        Parse(invalid, TestContext(), &ok);
        EXPECT_FALSE(ok) << inputtest::Narrow(invalid);
    }
    bool ok = true;
    EXPECT_EQ(Parse(L"a{NUMZ}b", TestContext(), &ok), "key vk=65 sc=0x1e");
    EXPECT_FALSE(ok) << "tokens before the invalid tag stay in the list";
}

TEST(TagParser, LayerTagsTargetOneBasedLayersAndRefuseLayersThatDoNotExist)
{
    TagParseContext context = TestContext();
    context.currentLayer = 0;
    context.previousLayer = -1;
    context.layerCount = 4;
    ExpectAll({
        {L"{LAYER:3}", "layer 2 restore=0"},
        {L"{LAYER<1}", "layer 0 restore=0"},
        {L"{LAYER:2}{LAYER:LAST}", "layer 1 restore=0 | layer 0 restore=1"},
        {L"{LAYER:LAST}", "layer 3 restore=0"},
        {L"{LAYER:NEXT}{LAYER:FOR}", "layer 1 restore=0 | layer 2 restore=1"},
        {L"{LAYER:PREV}", "layer 3 restore=0"},
        {L"{LAYER:BACK}{LAYER:BACK}", "layer 3 restore=0 | layer 2 restore=3"},
        // No layer 0 or below, none above ten.
        {L"{LAYER}", ""},
        {L"{LAYER:0}", ""},
        {L"{LAYER:-3}", ""},
        {L"{LAYER:11}", ""},
        {L"{LAYER:10}", "layer 9 restore=0"},
        // Pending modifiers outlive a layer token.
        {L"{CTRL}{LAYER:2}a", "layer 1 restore=0 | key vk=65 sc=0x1e mods=0x2"},
    }, context);

    context.currentLayer = 3;
    ExpectAll({{L"{LAYER:NEXT}", "layer 0 restore=3"}}, context);

    context.restorePrevious = true;
    context.previousLayer = 1;
    ExpectAll({{L"{LAYER:1}", "layer 0 restore=1"}}, context);
    // A previous layer that does not exist restores the current one.
    context.previousLayer = -1;
    ExpectAll({{L"{LAYER:1}", "layer 0 restore=3"}}, context);
}

TEST(TagParser, NextAndPrevSkipLayersAndAlwaysEnd)
{
    struct LayerWalk
    {
        int current;
        int count;
        unsigned skipped;
        const wchar_t* text;
        const char* expected;
    };
    const LayerWalk walks[] = {
        {9, 10, 0, L"{LAYER:NEXT}", "layer 0 restore=9"},
        {9, 10, 0x1, L"{LAYER:NEXT}", "layer 1 restore=9"},
        {0, 10, 0x200, L"{LAYER:PREV}", "layer 8 restore=0"},
        // Every other layer skipped: the walk comes back to the current layer.
        {2, 5, 0x1B, L"{LAYER:NEXT}", "layer 2 restore=2"},
        {2, 5, 0xFFFFFFFF, L"{LAYER:PREV}", "layer 2 restore=2"},
        // A current layer outside the count, or no layers at all, still ends.
        {7, 3, 0, L"{LAYER:NEXT}", "layer 0 restore=7"},
        {-4, 3, 0, L"{LAYER:PREV}", "layer 2 restore=2"},
        {0, 0, 0, L"{LAYER:NEXT}", ""},
        {0, -5, 0, L"{LAYER:PREV}", ""},
        {0, 2147483647, 0xFFFFFFFF, L"{LAYER:NEXT}", "layer 0 restore=0"},
    };
    for (const LayerWalk& walk : walks)
    {
        TagParseContext context = TestContext();
        context.currentLayer = walk.current;
        context.layerCount = walk.count;
        const unsigned skipped = walk.skipped;
        context.isLayerSkipped = [skipped](int layer) { return layer >= 0 && layer < 32 && (skipped & (1u << layer)); };
        EXPECT_EQ(Parse(walk.text, context), walk.expected)
            << "current " << walk.current << " count " << walk.count << " skipped " << walk.skipped;
    }
}

TEST(TagParser, MouseTagsCarryButtonActionModifiersAndWheelMark)
{
    ExpectAll({
        {L"{LMB}{RMB}{MMB}{XMB1}{MB4}{XMB2}{MB5}",
         "mouse 0 0 | mouse 1 0 | mouse 2 0 | mouse 3 0 | mouse 3 0 | mouse 4 0 | mouse 4 0"},
        {L"{LMBD}{RMBD}{MMBD}{XMB1D}{MB5D}", "mouse 0 1 | mouse 1 1 | mouse 2 1 | mouse 3 1 | mouse 4 1"},
        {L"{LMBU}{RMBU}{MMBU}{MB4U}{XMB2U}", "mouse 0 2 | mouse 1 2 | mouse 2 2 | mouse 3 2 | mouse 4 2"},
        {L"{MWUP}{MWDN}{MWDOWN}{TILTL}{TILTLEFT}{TILTR}{TILTRIGHT}",
         "mouse 7 0 mark | mouse 8 0 mark | mouse 8 0 mark | mouse 5 0 mark | mouse 5 0 mark | mouse 6 0 mark | "
         "mouse 6 0 mark"},
        {L"{CTRL}{SHIFT}{LMB}", "mouse 0 0 mods=0x3"},
        {L"{HOLDMS:20}{PRESS}{RMB}", "mouse 1 0 part=1 hold=20"},
    });
}

TEST(TagParser, CursorTagsAndTheTenCursorStores)
{
    ExpectAll({
        {L"{MXSET:100}{MYSET:5}", "cursor op=1 v=100 | cursor op=2 v=5"},
        // X only with an upper-case X as the second character.
        {L"{mxset:7}", "cursor op=2 v=7"},
        {L"{AXSET:1}{AYSET:2}{PXSET:3}{PYSET:4}", "cursor op=64 v=1 | cursor op=128 v=2 | cursor op=16 v=3 | cursor op=32 v=4"},
        {L"{MXADD:-3}{MYADD:4}", "cursor op=4 v=-3 | cursor op=8 v=4"},
        {L"{MSET:10,20}{PSET:1,2}{ASET:3}{MADD:-1,-2}",
         "cursorxy op=3 10,20 | cursorxy op=48 1,2 | cursorxy op=240 3,0 | cursorxy op=15 -1,-2"},
        {L"{MSET12345678901,5}", "cursorxy op=3 1234567890,5"},
        {L"{MSAVE}{MSAVE:10}{MSAVE:0}{MSAVE:11}",
         "cursor op=16384 v=1 | cursor op=16384 v=10 | cursor op=16384 v=1 | cursor op=16384 v=10"},
        {L"{MREST:3}{MRESTORE:4}{MREST:99}", "cursor op=32768 v=3 | cursor op=32768 v=4 | cursor op=32768 v=10"},
    });
}

TEST(TagParser, AxisTags)
{
    ExpectAll({
        {L"{INVERTXY}{INVERTX}{INVERTY}", "action 6 | action 7 | action 8"},
        {L"{LOCK}{LOCKX}{LOCKY}{LOCKXY}{LOCKC}{LOCKZ}{lockx}",
         "action 14 | action 9 | action 10 | action 14 | action 11 | action 9"},
        {L"{UNLOCK}{UNLOCKX}{UNLOCKY}{UNLOCKXY}{UNLOCKQ}", "action 17 | action 15 | action 16 | action 17"},
    });
}

TEST(TagParser, VolumeTagsAreClampedAndSuppressedAtTheLimits)
{
    ExpectAll({
        {L"{VOL+}{VOL-}{MUTE}", "key vk=175 ext | key vk=174 ext hold=0 | key vk=173 ext hold=0"},
        {L"{VOL+:5}{VOL-:7}{VOL:50}", "action 19 amount=5 | action 20 amount=7 | action 22 amount=50"},
        {L"{VOL:150}{VOL+:-4}{VOL-:101}", "action 22 amount=100 | action 19 | action 20 amount=100"},
        {L"{VOL}", ""},
    });
    TagParseContext full = TestContext();
    full.volumePercent = 100;
    ExpectAll({{L"{VOL+}{VOL+:5}{VOL-}", "key vk=174 ext hold=0"}}, full);
    TagParseContext silent = TestContext();
    silent.volumePercent = 0;
    ExpectAll({{L"{VOL-}{VOL-:5}{VOL+}", "key vk=175 ext"}}, silent);
}

TEST(TagParser, ActionAndServiceTags)
{
    ExpectAll({
        {L"{FLUSH}{ACTIVATE}{ACTIVATEPARENT}{ACTIVATETOP}{CURSORBUSY}{CURSORDEFAULT}",
         "action 18 | action 1 | action 2 | action 3 | action 4 | action 5"},
        {L"{BRI+}{BRIGHTNESS+}{BRI-}{BRIGHTNESS-}", "brightness 1 | brightness 1 | brightness 2 | brightness 2"},
        {L"{RUN:notepad.exe a b}", "run 'notepad.exe a b' show=1"},
        {L"{RUNHID:x}{RUNMAX:x}{RUNMIN:x}{RUNINA:calc}{RUNADM:y}",
         "run 'x' show=0 | run 'x' show=3 | run 'x' show=2 | run 'calc' show=7 | run 'y' show=12"},
        {L"{RUN notepad}", ""},
        {L"{KILL:app.exe}", "kill 'app.exe'"},
        {L"{KILL app.exe}", ""},
        {L"{POSTWM:0x10,2,0h1F}", "postwm 16,2,31"},
        {L"{SENDWM:273}", "sendwm 273,0,0"},
        {L"{POSTWM:5,,7}", "postwm 5,7,0"},
        {L"{CB:hello}{CB}{CBtext}", "cb 'hello' | cb '' | cb 'text'"},
    });
}

TEST(TagParser, UnknownAndUnterminatedTagsDoNotStopTheParse)
{
    ExpectAll({
        {L"{BOGUS}a", "key vk=65 sc=0x1e"},
        // An unrecognised tag drops the hold time, not the pending modifiers.
        {L"{HOLDMS:9}{CTRL}{BOGUS}a", "key vk=65 sc=0x1e mods=0x2"},
        {L"{CTRL", "key mods=0x2"},
        {L"a{ENTER", "key vk=65 sc=0x1e | key vk=13"},
        {L"{", ""},
    });
    const std::wstring x1023(1023, L'x');
    const std::wstring x1024(1024, L'x');
    ExpectAll({
        // 1023 characters and the closing brace: one (unknown) tag, then b.
        {(L"{" + x1023 + L"}b").c_str(), "key vk=66 sc=0x30"},
        // 1024 characters without a brace are consumed; parsing goes on after them.
        {(L"{" + x1024 + L"b").c_str(), "key vk=66 sc=0x30"},
        {(L"{" + x1024 + L"xb").c_str(), "key vk=88 sc=0x2d | key vk=66 sc=0x30"},
    });
}

TEST(TagParser, ANullTextFails)
{
    SimTokenList tokens;
    EXPECT_FALSE(ParseTagText(tokens, nullptr, TestContext()));
    EXPECT_TRUE(tokens.empty());
}

TEST(TagParser, TheTokensCarryTheContextsPointWindowAndDefaultHold)
{
    TagParseContext context = TestContext();
    context.point = POINT{12, 34};
    context.targetWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    context.defaultHoldTime = 7;
    SimTokenList tokens;
    ASSERT_TRUE(ParseTagText(tokens, L"{LMB}{BRI+}{POSTWM:1}a", context));
    ASSERT_EQ(tokens.size(), 4u);
    auto* mouse = dynamic_cast<CSimMouseToken*>(tokens[0].get());
    auto* brightness = dynamic_cast<CSimBrightnessToken*>(tokens[1].get());
    auto* message = dynamic_cast<CSimWMessageToken*>(tokens[2].get());
    ASSERT_TRUE(mouse && brightness && message);
    EXPECT_EQ(mouse->m_pt.x, 12);
    EXPECT_EQ(mouse->m_pt.y, 34);
    EXPECT_EQ(brightness->m_pt.y, 34);
    EXPECT_EQ(message->m_hWnd, context.targetWindow);
    EXPECT_EQ(tokens[3]->m_nHoldTime, 7u);
    EXPECT_EQ(tokens[0]->m_nKind, SIMTOKEN_MOUSE);
    EXPECT_EQ(tokens[1]->m_nKind, SIMTOKEN_BRIGHTNESS);
    EXPECT_EQ(tokens[2]->m_nKind, SIMTOKEN_OTHER);
    EXPECT_EQ(tokens[3]->m_nKind, SIMTOKEN_KEY);
}

TEST(TagParser, APlainCharacterOnlyEverAddsShiftCtrlOrAlt)
{
    // Whatever the keyboard reports for a character (a failed scan is all ones),
    // only its Shift, Ctrl and Alt bits become modifiers.
    for (unsigned c = 1; c <= 0xFFFF; ++c)
    {
        const wchar_t text[2] = {static_cast<wchar_t>(c), 0};
        SimTokenList tokens;
        ASSERT_TRUE(ParseTagText(tokens, text, TestContext()));
        if (c == L'{')
            continue;
        ASSERT_EQ(tokens.size(), 1u) << c;
        const auto* key = dynamic_cast<const CSimKeyToken*>(tokens[0].get());
        ASSERT_NE(key, nullptr) << c;
        EXPECT_EQ(key->m_nModifiers & ~(SIMMOD_SHIFT | SIMMOD_CTRL | SIMMOD_ALT), 0u) << c;
        if (key->m_nScan == 0xFFFFFFFF)
        {
            EXPECT_EQ(key->m_nModifiers, 0u) << c;
        }
        if (key->m_bUnicode)
        {
            EXPECT_NE(key->m_nVirtualKey, -1) << "a character typed by its code is never refused: " << c;
        }
    }
}

TEST(TagParser, TheEnginesEntryPointTakesVolumeAndSkippedLayersFromTheServices)
{
    inputtest::RecordingServices services;
    services.volume = 100;
    services.skipped = 0x2;
    SetTokenServices(&services);
    int profileStandIn = 0;
    const auto* profile = reinterpret_cast<const CApplicationSettings*>(&profileStandIn);
    SimTokenList tokens;
    const bool ok = CSimToken::Parse(tokens, L"{VOL+}{LAYER:NEXT}", nullptr, POINT{}, nullptr, 0, -1, 10, 1, false,
                                     profile, true);
    SetTokenServices(nullptr);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Describe(tokens), "layer 2 restore=0");
}
