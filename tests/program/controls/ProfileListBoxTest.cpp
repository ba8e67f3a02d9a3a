#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ColourCheckListBox.h"
#include "FrameworkTestSupport.h"
#include "PhysicalInput.h"
#include "ProgramResources.h"
#include "ProgramRunner.h"
#include "WaitFor.h"
#include "Window.h"
#include "resource.h"

using brmptest::PhysicalInput;
using framework_test::PumpUntil;

namespace
{
constexpr int kListId = 1011;

// The settings dialog's side of the list: what it is told.
class ListHost : public CWindow
{
public:
    ListHost()
    {
        BindMessage(CColourCheckListBox::CheckChangedMessage(), [this](WPARAM w, LPARAM l) {
            checkChanges.push_back({w, l});
            return LRESULT{0};
        });
        BindControl(LBN_SELCHANGE, kListId, &ListHost::OnSelChange);
    }
    void OnSelChange() { ++selChanges; }

    std::vector<std::pair<WPARAM, LPARAM>> checkChanges;
    int selChanges = 0;
};

struct ListFixture
{
    ListFixture()
    {
        host.CreateEx(WS_EX_TOPMOST, nullptr, L"profile list host", WS_POPUP | WS_VISIBLE | WS_BORDER, 100, 100, 260, 220,
                      nullptr);
        const HWND control = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                                                   LBS_NOTIFY,
                                               10, 10, 230, 190, host.GetSafeHwnd(),
                                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), nullptr, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        list.SubclassWindow(control);
        list.InitColours();
        list.SetTickSource([this] { return now; });
        for (const wchar_t* name : {L"Default", L"Beta Browser", L"Alpha Editor", L"Bench Tool"})
        {
            const int index = list.AddString(name);
            list.SetCheck(index, 1);
        }
        list.SetCheck(2, 0);
        list.SetCurSel(0);
        ::SetForegroundWindow(host.GetSafeHwnd());
        framework_test::PumpPending();
    }
    ~ListFixture()
    {
        list.UnsubclassWindow();
        host.DestroyWindow();
    }
    POINT CheckBoxOf(int index) const
    {
        RECT item{};
        list.GetItemRect(index, &item);
        POINT point{item.left + 7, (item.top + item.bottom) / 2};
        ::ClientToScreen(list.GetSafeHwnd(), &point);
        return point;
    }
    void Type(wchar_t c) { list.SendMessage(WM_CHAR, c, 1); }

    ListHost host;
    CColourCheckListBox list;
    DWORD now = 100000;
};
}

TEST(ProfileCheckList, TheDefaultEntryCanNeverBeUncheckedWhileOtherEntriesToggleAndTellTheParent)
{
    ListFixture f;
    // A real click on the default entry's check box changes nothing.
    const POINT defaultBox = f.CheckBoxOf(0);
    ASSERT_TRUE(PhysicalInput::ClickAt(defaultBox.x, defaultBox.y, PhysicalInput::kLeft));
    // A real click on the second entry's check box clears it, keeps the selection, and tells the parent.
    const POINT secondBox = f.CheckBoxOf(1);
    ASSERT_TRUE(PhysicalInput::ClickAt(secondBox.x, secondBox.y, PhysicalInput::kLeft));
    ASSERT_TRUE(PumpUntil([&] { return !f.host.checkChanges.empty(); })) << programtest::DescribeWindows();
    programtest::SaveScreenshot(L"profile_check_list.png");

    EXPECT_EQ(f.list.GetCheck(0), 1);
    EXPECT_EQ(f.list.GetCheck(1), 0);
    EXPECT_EQ(f.list.GetCurSel(), 0) << "a click on a check box does not select the entry";
    ASSERT_EQ(f.host.checkChanges.size(), 1u);
    EXPECT_EQ(f.host.checkChanges[0].first, (static_cast<WPARAM>(40) << 16) | kListId);
    EXPECT_EQ(f.host.checkChanges[0].second, 1);

    // Space: nothing on the default entry, a toggle on any other.
    f.list.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(f.list.GetCheck(0), 1);
    EXPECT_EQ(f.host.checkChanges.size(), 1u);
    f.list.SetCurSel(2);
    f.list.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(f.list.GetCheck(2), 1);
    ASSERT_EQ(f.host.checkChanges.size(), 2u);
    EXPECT_EQ(f.host.checkChanges[1].second, 2);

    // Checks follow their entries when entries are inserted and deleted.
    f.list.InsertString(1, L"Inserted");
    EXPECT_EQ(f.list.GetCheck(1), 0);
    EXPECT_EQ(f.list.GetCheck(3), 1) << "the old entry 2 moved down with its check";
    f.list.DeleteString(1);
    EXPECT_EQ(f.list.GetCheck(1), 0);
    EXPECT_EQ(f.list.GetCheck(2), 1);
}

TEST(ProfileCheckList, TypeAheadSearchesForEverythingTypedWithinHalfASecondAndWrapsAround)
{
    ListFixture f;
    f.list.SetCurSel(3);
    f.Type(L'b');
    EXPECT_EQ(f.list.GetCurSel(), 1) << "from the entry after the selection, wrapping to the top";
    f.now += 200;
    f.Type(L'e');
    f.now += 200;
    f.Type(L'n');
    EXPECT_EQ(f.list.GetCurSel(), 3) << "\"ben\" typed within the time finds Bench Tool";
    f.now += 200;
    f.Type(L'z');
    EXPECT_EQ(f.list.GetCurSel(), 3) << "\"benz\" finds nothing and keeps the selection";
    EXPECT_EQ(f.host.selChanges, 3) << "each found entry is announced";

    f.now += 501;
    f.Type(L'a');
    EXPECT_EQ(f.list.GetCurSel(), 2) << "after a pause the search starts again with \"a\"";
    f.now += 100;
    f.Type(L'\b');
    f.Type(L'd');
    EXPECT_EQ(f.list.GetCurSel(), 0) << "backspace removed the 'a': \"d\" finds Default";
}

TEST(ProfileCheckList, NamesTooWideAreCutWithAnEllipsisButShortNamesAreDrawnWhole)
{
    const auto measure = [](const std::wstring& text) { return static_cast<int>(text.size()) * 7; };
    const std::wstring longName = L"A very long profile description indeed";
    const std::wstring cut = CColourCheckListBox::FitText(longName, 20 * 7, measure);
    EXPECT_EQ(cut, L"A very long profile\u2026") << "trailing blanks trimmed before the ellipsis";
    EXPECT_EQ(CColourCheckListBox::FitText(longName, 1000, measure), longName);
    EXPECT_EQ(CColourCheckListBox::FitText(L"Fourteen chars", 5 * 7, measure), L"Fourteen chars");
    EXPECT_EQ(CColourCheckListBox::FitText(longName, 3 * 7, measure), L"A very long\u2026")
        << "the shortest form when nothing fits";
}

namespace
{
// What the open context menu offers: the grayed state of Edit, Remove, Export
// Selected and Copy, read while the menu runs; the menu is then closed.
struct MenuSeen
{
    bool opened = false;
    bool editGrayed = false;
    bool removeGrayed = false;
    bool exportGrayed = false;
    bool copyGrayed = true;
};
MenuSeen g_menuSeen;

void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    const HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
    const auto menu = menuWindow ? reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0)) : nullptr;
    if (menu == nullptr)
        return;
    ::KillTimer(nullptr, timer);
    const auto grayed = [menu](UINT id) { return (::GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    g_menuSeen = {true, grayed(ID_PROFILE_EDIT), grayed(ID_PROFILE_REMOVE), grayed(ID_PROFILE_EXPORT_SELECTED),
                  grayed(ID_PROFILE_COPY)};
    ::EndMenu();
}

MenuSeen RightClick(ListFixture& f, int index)
{
    g_menuSeen = {};
    RECT item{};
    f.list.GetItemRect(index, &item);
    POINT point{item.left + 60, (item.top + item.bottom) / 2};
    ::ClientToScreen(f.list.GetSafeHwnd(), &point);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, ReadOpenMenu);
    PhysicalInput::ClickAt(point.x, point.y, PhysicalInput::kRight);
    PumpUntil([] { return g_menuSeen.opened; });
    ::KillTimer(nullptr, timer);
    return g_menuSeen;
}
}

TEST(ProfileCheckList, TheContextMenuSelectsTheEntryClickedAndGraysWhatTheDefaultProfileCannotDo)
{
    brmptest::ProgramResources resources;
    ASSERT_TRUE(resources.Loaded());
    ListFixture f;
    const MenuSeen onSecond = RightClick(f, 2);
    ASSERT_TRUE(onSecond.opened) << programtest::DescribeWindows();
    EXPECT_EQ(f.list.GetCurSel(), 2);
    EXPECT_EQ(f.host.selChanges, 1) << "the owner hears of the new selection";
    EXPECT_FALSE(onSecond.editGrayed || onSecond.removeGrayed || onSecond.exportGrayed || onSecond.copyGrayed);

    const MenuSeen onDefault = RightClick(f, 0);
    ASSERT_TRUE(onDefault.opened);
    EXPECT_EQ(f.list.GetCurSel(), 0);
    EXPECT_TRUE(onDefault.editGrayed && onDefault.removeGrayed && onDefault.exportGrayed);
    EXPECT_FALSE(onDefault.copyGrayed);
}
