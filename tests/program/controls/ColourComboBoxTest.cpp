#include <gtest/gtest.h>

#include <windows.h>

#include "ActionData.h"
#include "ActionPickerTestSupport.h"
#include "Chords.h"
#include "FrameworkTestSupport.h"
#include "NaturalOrder.h"
#include "ProgramRunner.h"

using framework_test::PumpUntil;
using picker_test::PickerFixture;

namespace
{
DWORD g_now = 100000;
DWORD FakeTicks() { return g_now; }
void Type(CColourComboBox& picker, wchar_t c) { picker.SendMessage(WM_CHAR, c); }
}

TEST(ActionPicker, TypeAheadSearchesFromTheNextItemAndStartsAfreshAfterAPause)
{
    PickerFixture f;
    ASSERT_TRUE(f.created);
    f.picker.SetTickSource(&FakeTicks);
    const int mediaMute = f.picker.FindItemText(L"Media - Mute");
    const int layer1 = f.picker.FindItemText(L"Layer 1");
    const int layer10 = f.picker.FindItemText(L"Layer 10");
    ASSERT_GE(mediaMute, 0);

    Type(f.picker, L'm');
    const int firstM = f.Selection();
    EXPECT_EQ(f.picker.FindItemPrefix(f.picker.FindItemText(L"Left Click") + 1, L"m"), firstM);
    g_now += 100;
    Type(f.picker, L'e');
    EXPECT_EQ(f.picker.FindItemPrefix(firstM + 1, L"me"), f.Selection()) << "m then e searches for me";
    EXPECT_EQ(2, f.host.Count(VCBN_SELCHANGE));

    // Each letter searches from the item after the current one, so more
    // letters of the selected name move on to the next such name.
    g_now += 600;
    f.picker.SelectAction(ACTION_LEFT_CLICK);
    for (wchar_t c : std::wstring(L"lay"))
    {
        g_now += 50;
        Type(f.picker, c);
    }
    EXPECT_EQ(f.picker.FindItemText(L"Layer (Next)"), f.Selection());
    g_now += 50;
    Type(f.picker, L'e');
    EXPECT_EQ(f.picker.FindItemText(L"Layer (Previous)"), f.Selection());
    g_now += 600;
    Type(f.picker, L'l');
    EXPECT_EQ(layer1, f.Selection()) << "after a pause the search starts again with l alone";
    (void)layer10;

    // Space opens the list and never joins the search text.
    g_now += 600;
    Type(f.picker, L' ');
    EXPECT_TRUE(f.Dropped());
    EXPECT_EQ(layer1, f.Selection());
    f.picker.SendMessage(VCB_SHOWDROPDOWN, 0);
}

TEST(ActionPicker, ItemTextsShowTheDataTheirRecordsCarry)
{
    PickerFixture f;
    ASSERT_TRUE(f.created);
    const int keys = f.picker.FindItemText(L"Simulated Keys");
    const int app = f.picker.FindItemText(L"Run Application");
    const int chords = f.picker.FindItemText(L"Button Chording");
    const int held = f.picker.FindItemText(L"Button Held");

    EXPECT_EQ(L"Simulated Keys: (undefined)", f.picker.GetItemText(keys));
    f.picker.SetItemActionData(keys, CActionData::KeyAction(L"{CTRL}c", 0, 2, 0, true, true, false, false, nullptr));
    EXPECT_EQ(L"Simulated Keys: (during)[{CTRL}c]", f.picker.GetItemText(keys));
    // A key mode read from a damaged file is shown as unknown, never used as an index.
    f.picker.SetItemActionData(keys, CActionData::KeyAction(L"x", 0, 9, 0, true, true, false, false, nullptr));
    EXPECT_EQ(L"Simulated Keys: ??? [x]", f.picker.GetItemText(keys));
    f.picker.SetItemActionData(keys, CActionData::KeyAction(L"x", 0, -3, 0, true, true, false, false, L"Copy it"));
    EXPECT_EQ(L"Simulated Keys: Copy it", f.picker.GetItemText(keys));

    EXPECT_EQ(L"Run Application", f.picker.GetItemText(app));
    f.picker.SetItemActionData(app, CActionData::AppAction(L"notepad.exe"));
    EXPECT_EQ(L"Run Application: [notepad.exe]", f.picker.GetItemText(app));

    EXPECT_EQ(L"Button Chording: (undefined)", f.picker.GetItemText(chords));
    CBRMPChords list;
    CBRMPChord entry;
    entry.SetAction(ACTION_MIDDLE_CLICK);
    list.SetChord(0, entry); // the picker has id 1001: button 0
    CActionData* chorded = CActionData::ChordedAction(list);
    std::unique_ptr<CBRMPChords> adopted(chorded->GetChords());
    f.picker.SetItemActionData(chords, chorded);
    EXPECT_EQ(L"Button Chording: Middle Click", f.picker.GetItemText(chords));
    // The item's own text stands once, before the detail of the entry.
    const std::unique_ptr<CActionData> keysRecord(
        CActionData::KeyAction(L"{CTRL}v", 0, 2, 0, true, true, false, false, nullptr));
    CBRMPChord keysEntry;
    keysEntry.SetActionData(keysRecord.get());
    adopted->SetChord(0, keysEntry);
    EXPECT_EQ(L"Button Chording: ((during)[{CTRL}v])", f.picker.GetItemText(chords));
    const std::unique_ptr<CActionData> appRecord(CActionData::AppAction(L"notepad.exe"));
    CBRMPChord appEntry;
    appEntry.SetActionData(appRecord.get());
    adopted->SetChord(0, appEntry);
    EXPECT_EQ(L"Button Chording: (Run Application: [notepad.exe])", f.picker.GetItemText(chords));
    const std::unique_ptr<CActionData> emptyApp(CActionData::AppAction(L""));
    appEntry.SetActionData(emptyApp.get());
    adopted->SetChord(0, appEntry);
    EXPECT_EQ(L"Button Chording: Run Application", f.picker.GetItemText(chords));
    adopted->SetDescription(L"Both buttons");
    EXPECT_EQ(L"Button Chording: Both buttons", f.picker.GetItemText(chords));
    f.picker.ClearActionData();

    EXPECT_EQ(L"Button Held: (undefined)", f.picker.GetItemText(held));
    EXPECT_EQ(L"#Invalid Item", f.picker.GetItemText(f.picker.GetItemCount()));
}

TEST(ActionPicker, AHighlightedPickerKeepsItsFaceAndItsArrow)
{
    PickerFixture f;
    ASSERT_TRUE(f.created);
    const COLORREF highlight = RGB(0xFC, 0xC7, 0x38);
    f.picker.SetBackgroundColour(highlight);
    ::UpdateWindow(f.picker.GetSafeHwnd());

    RECT client{};
    ::GetClientRect(f.picker.GetSafeHwnd(), &client);
    const RECT button = f.picker.GetButtonRect();
    const auto pixel = [&](int x, int y) {
        POINT p{x, y};
        ::ClientToScreen(f.picker.GetSafeHwnd(), &p);
        const HDC screen = ::GetDC(nullptr);
        const COLORREF c = ::GetPixel(screen, p.x, p.y);
        ::ReleaseDC(nullptr, screen);
        return c;
    };
    ASSERT_TRUE(PumpUntil([&] { return pixel(client.left + 8, (client.top + client.bottom) / 2) == highlight; }))
        << "the text area shows the highlight";
    programtest::SaveScreenshot(L"action_picker_highlighted.png");

    int black = 0;
    int total = 0;
    for (int y = button.top; y < button.bottom; ++y)
        for (int x = button.left; x < button.right; ++x, ++total)
            black += pixel(x, y) == RGB(0, 0, 0) ? 1 : 0;
    EXPECT_GE(black, 7 + 5 + 3 + 1) << "the drop-down arrow is drawn";
    EXPECT_LT(black, total / 4) << "the button is not a black box";
    EXPECT_NE(RGB(0, 0, 0), pixel(client.left + 1, client.top + 1)) << "the frame around the text is drawn";
}

TEST(ActionPicker, GroupsAreReportedOnlyWhileTheOwnerShowsThem)
{
    PickerFixture f;
    ASSERT_TRUE(f.created);
    bool starts = false;
    ASSERT_NE(nullptr, f.picker.GetItemData(0, starts));
    EXPECT_TRUE(starts);
    const int simulated = f.picker.FindItemText(L"Simulated Keys");
    EXPECT_NE(nullptr, f.picker.GetItemData(simulated, starts));
    EXPECT_FALSE(starts) << "same group as the item before";
    const int leftClick = f.picker.FindItemText(L"Left Click");
    f.picker.GetItemData(leftClick, starts);
    EXPECT_TRUE(starts);
    f.picker.ShowGroups = 0;
    EXPECT_EQ(nullptr, f.picker.GetItemData(leftClick, starts));
    EXPECT_FALSE(starts);
}

TEST(NaturalOrder, NumbersCompareByValueAndLettersByTheirFolding)
{
    EXPECT_LT(CompareNatural(L"Layer 9", L"Layer 10"), 0);
    EXPECT_GT(CompareNatural(L"Layer 10", L"Layer 9"), 0);
    EXPECT_EQ(0, CompareNatural(L"Item 007", L"Item 7"));
    EXPECT_LT(CompareNatural(L"Item 007a", L"Item 7b"), 0) << "the comparison goes on after equal runs";
    EXPECT_LT(CompareNatural(L"Open", L"Open Help"), 0);
    EXPECT_LT(CompareNatural(L"x1", L"xa"), 0) << "a digit sorts before any other character";
    EXPECT_LT(CompareNatural(L"B", L"a"), 0);
    EXPECT_EQ(0, CompareNatural(L"\u00C0", L"A"));
    // Digit runs far beyond any integer type still compare by value.
    EXPECT_LT(CompareNatural(L"v99999999999999999999999", L"v100000000000000000000000"), 0);
    EXPECT_EQ(0, CompareNatural(L"v000099999999999999999999999", L"v99999999999999999999999"));
}
