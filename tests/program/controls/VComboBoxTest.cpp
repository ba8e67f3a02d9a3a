#include <gtest/gtest.h>

#include <windows.h>

#include "ActionPickerTestSupport.h"
#include "FrameworkTestSupport.h"
#include "PhysicalInput.h"
#include "ProgramRunner.h"

using brmptest::PhysicalInput;
using framework_test::PumpUntil;
using picker_test::PickerFixture;

namespace
{
POINT ItemCentreOnScreen(HWND list, int item)
{
    RECT r{};
    ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&r));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(list, &p);
    return p;
}
}

TEST(VirtualComboBox, AUserOpensTheListScrollsItWithTheWheelAndPicksAnItemWithAClick)
{
    PickerFixture f;
    ASSERT_TRUE(f.created);
    const POINT centre = f.ScreenCentre();
    ASSERT_TRUE(PhysicalInput::ClickAt(centre.x, centre.y, PhysicalInput::kLeft));
    ASSERT_TRUE(PumpUntil([&] { return f.Dropped() && ::GetCapture() == f.List(); }));
    EXPECT_EQ(1, f.host.Count(VCBN_DROPDOWN));

    RECT list{}, combo{};
    ::GetWindowRect(f.List(), &list);
    ::GetWindowRect(f.picker.GetSafeHwnd(), &combo);
    EXPECT_GT(list.top, combo.top) << "room below: the list opens downwards";
    // Above every other window, its own dialog included, also one kept on top.
    const POINT listCentre{(list.left + list.right) / 2, (list.top + list.bottom) / 2};
    EXPECT_EQ(f.List(), ::WindowFromPoint(listCentre));
    EXPECT_NE(0, ::GetWindowLongW(f.List(), GWL_EXSTYLE) & WS_EX_TOPMOST) << "above dialogs that are activated later";
    ::RedrawWindow(f.List(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    programtest::SaveScreenshot(L"action_picker_open.png");

    // The wheel over the open list scrolls it and leaves the selection alone.
    const int top = static_cast<int>(::SendMessageW(f.List(), LB_GETTOPINDEX, 0, 0));
    const POINT item = ItemCentreOnScreen(f.List(), top + 2);
    ASSERT_TRUE(PhysicalInput::MoveTo(item.x, item.y));
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    ASSERT_TRUE(PumpUntil([&] { return ::SendMessageW(f.List(), LB_GETTOPINDEX, 0, 0) == top + 3; }));
    EXPECT_EQ(ACTION_LEFT_CLICK, f.SelectedAction());
    EXPECT_EQ(0, f.host.Count(VCBN_SELCHANGE));

    // A click on an item chooses it and closes the list.
    const int wanted = top + 5;
    const POINT target = ItemCentreOnScreen(f.List(), wanted);
    ASSERT_TRUE(PhysicalInput::ClickAt(target.x, target.y, PhysicalInput::kLeft));
    ASSERT_TRUE(PumpUntil([&] { return !f.Dropped(); }));
    EXPECT_EQ(wanted, f.Selection());
    EXPECT_EQ(1, f.host.Count(VCBN_SELCHANGE));
    EXPECT_EQ(1, f.host.Count(VCBN_SELENDOK));
    EXPECT_EQ(1, f.host.Count(VCBN_CLOSEUP));
    EXPECT_EQ(f.picker.GetItemText(wanted), f.picker.GetWindowText());
}

TEST(VirtualComboBox, ArrowKeysMoveTheSelectionAndEscapeDropsWhatTheMouseHovered)
{
    PickerFixture f;
    ASSERT_TRUE(f.created);
    const int start = f.Selection();
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Down"));
    ASSERT_TRUE(PumpUntil([&] { return f.Selection() == start + 1; }));
    EXPECT_EQ(1, f.host.Count(VCBN_SELCHANGE));

    ASSERT_TRUE(PhysicalInput::KeyTap(L"F4"));
    ASSERT_TRUE(PumpUntil([&] { return f.Dropped(); }));
    const int top = static_cast<int>(::SendMessageW(f.List(), LB_GETTOPINDEX, 0, 0));
    const POINT hover = ItemCentreOnScreen(f.List(), top + 4);
    ASSERT_TRUE(PhysicalInput::MoveTo(hover.x, hover.y));
    ASSERT_TRUE(PumpUntil([&] { return f.picker.GetListBox().GetActualSelection() == top + 4; }));
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Escape"));
    ASSERT_TRUE(PumpUntil([&] { return !f.Dropped(); }));
    EXPECT_EQ(start + 1, f.Selection()) << "Escape changes nothing";
    EXPECT_EQ(1, f.host.Count(VCBN_SELCHANGE));
    EXPECT_GE(f.host.Count(VCBN_SELENDCANCEL), 1);
}

TEST(VirtualComboBox, TheWheelOnAClosedControlStepsThroughItemsUnlessLocked)
{
    PickerFixture f;
    ASSERT_TRUE(f.created);
    const int start = f.Selection();
    const POINT centre = f.ScreenCentre();
    ASSERT_TRUE(PhysicalInput::MoveTo(centre.x, centre.y));
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    ASSERT_TRUE(PumpUntil([&] { return f.Selection() == start + 1; }));
    EXPECT_EQ(1, f.host.Count(VCBN_SELCHANGE));

    // A locked control ignores the notch. A notch back with the lock off
    // fences it: its change is the first and the only one, back to the start.
    f.picker.WheelLocked = 1;
    f.host.codes.clear();
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    ASSERT_TRUE(PumpUntil([&] { return f.Selection() == start + 1; }));
    f.picker.WheelLocked = 0;
    ASSERT_TRUE(PhysicalInput::Wheel(1));
    ASSERT_TRUE(PumpUntil([&] { return f.host.Count(VCBN_SELCHANGE) >= 1; }));
    EXPECT_EQ(start, f.Selection());
    EXPECT_EQ(1, f.host.Count(VCBN_SELCHANGE));

    // At the last item a further turn towards the user does nothing.
    f.picker.WheelLocked = 0;
    const int last = f.picker.GetItemCount() - 1;
    f.picker.SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(last));
    f.host.codes.clear();
    ::SendMessageW(f.picker.GetSafeHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(last, f.Selection());
    EXPECT_EQ(0, f.host.Count(VCBN_SELCHANGE));
}

TEST(VirtualComboBox, NearTheBottomOfTheScreenTheListOpensUpwards)
{
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    PickerFixture f(100, work.bottom - 100);
    ASSERT_TRUE(f.created);
    f.picker.SendMessage(VCB_SHOWDROPDOWN, 1);
    ASSERT_TRUE(PumpUntil([&] { return f.Dropped(); }));
    RECT list{}, combo{};
    ::GetWindowRect(f.List(), &list);
    ::GetWindowRect(f.picker.GetSafeHwnd(), &combo);
    EXPECT_LT(list.bottom, combo.top);
    EXPECT_GE(list.top, work.top);
    f.picker.SendMessage(VCB_SHOWDROPDOWN, 0);
    ASSERT_TRUE(PumpUntil([&] { return !f.Dropped(); }));
    EXPECT_EQ(1, f.host.Count(VCBN_CLOSEUP));
}

TEST(VirtualComboBox, PrivateMessagesOfADropDownListAndAnEmptySelection)
{
    PickerFixture f;
    ASSERT_TRUE(f.created);
    DWORD start = 7, end = 7;
    EXPECT_EQ(-1, f.picker.SendMessage(VCB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(0u, end);
    EXPECT_EQ(-1, f.picker.SendMessage(VCB_SETEDITSEL, 0, MAKELPARAM(0, 3)));
    EXPECT_EQ(1, f.picker.SendMessage(VCB_LIMITTEXT, 5));
    EXPECT_EQ(f.picker.GetItemCount(), f.picker.SendMessage(VCB_GETCOUNT));

    f.picker.SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(-1));
    EXPECT_EQ(-1, f.Selection());
    EXPECT_EQ(L"", f.picker.GetWindowText());
    EXPECT_EQ(1, f.host.Count(VCBN_EDITCHANGE));
}

TEST(VirtualComboBox, AHoveredItemShowsItsFullTextInTheTooltip)
{
    PickerFixture f;
    ASSERT_TRUE(f.created);
    // A long text, wider than the list.
    CActionData* data = CActionData::AppAction(
        L"C:\\Program Files\\A rather long folder name\\Another long folder name\\application.exe");
    const int index = f.picker.FindItemText(L"Run Application");
    ASSERT_GE(index, 0);
    ASSERT_EQ(index, f.picker.SetItemActionData(index, data));
    f.picker.SendMessage(VCB_SHOWDROPDOWN, 1);
    ASSERT_TRUE(PumpUntil([&] { return f.Dropped(); }));
    f.picker.SendMessage(VCB_SETTOPINDEX, static_cast<WPARAM>(index));
    const POINT item = ItemCentreOnScreen(f.List(), index);
    ASSERT_TRUE(PhysicalInput::MoveTo(item.x - 5, item.y));
    ASSERT_TRUE(PhysicalInput::MoveTo(item.x, item.y));
    const HWND tip = f.picker.GetToolTip().GetSafeHwnd();
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(tip) != FALSE; }, 8000));
    EXPECT_EQ(index, f.picker.GetToolTip().m_currentItem);
    RECT tipRect{}, listRect{};
    ::GetWindowRect(tip, &tipRect);
    ::GetWindowRect(f.List(), &listRect);
    EXPECT_GT(tipRect.right - tipRect.left, listRect.right - listRect.left) << "the whole text is shown";
    // One line of text with its margins, not a box as tall as the measuring area.
    TEXTMETRICW metrics{};
    {
        const HDC dc = ::GetDC(tip);
        const HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        ::GetTextMetricsW(dc, &metrics);
        ::SelectObject(dc, old);
        ::ReleaseDC(tip, dc);
    }
    EXPECT_LE(tipRect.bottom - tipRect.top, 2 * metrics.tmHeight + 16) << "one line of text";
    EXPECT_GE(tipRect.bottom - tipRect.top, metrics.tmHeight);
    programtest::SaveScreenshot(L"action_picker_tooltip.png");
}

TEST(CustomDrawToolTip, ShortTextsUseTheNotificationsBufferAndLongOnesAKeptCopy)
{
    CCustomDrawToolTipCtrl tip;
    const std::wstring short79(79, L'x');
    const std::wstring long80(80, L'y');
    NMTTDISPINFOW wide{};
    tip.SetDispInfoText(&wide, short79.c_str());
    EXPECT_EQ(wide.szText, wide.lpszText);
    EXPECT_EQ(short79, wide.lpszText);
    tip.SetDispInfoText(&wide, long80.c_str());
    EXPECT_NE(wide.szText, wide.lpszText);
    EXPECT_EQ(long80, wide.lpszText);

    NMTTDISPINFOA narrow{};
    tip.SetDispInfoText(&narrow, short79.c_str());
    EXPECT_EQ(narrow.szText, narrow.lpszText);
    EXPECT_EQ(std::string(79, 'x'), narrow.lpszText);
    tip.SetDispInfoText(&narrow, long80.c_str());
    EXPECT_EQ(std::string(80, 'y'), narrow.lpszText);
}
