// Saving and restoring desktop icon positions: matching a stored layout to the
// icons now on the desktop, and reading and moving icons of a real list view
// through memory allocated in the list view's process (here the test's own
// process: the same calls as against the shell's).

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>
#include <vector>

#include "DesktopIconLayout.h"
#include "TempFolder.h"
#include "WaitFor.h"

namespace
{
DesktopIconItem Icon(const wchar_t* name, int x, int y, int index = 0)
{
    DesktopIconItem item;
    item.name = name;
    item.x = x;
    item.y = y;
    item.index = index;
    return item;
}

DesktopIconItem Gadget(const wchar_t* name, int x, int y, HWND window = nullptr)
{
    DesktopIconItem item = Icon(name, x, y);
    item.gadget = true;
    item.window = window;
    return item;
}

std::vector<std::wstring> Names(const std::vector<DesktopIconItem>& items)
{
    std::vector<std::wstring> names;
    for (const DesktopIconItem& item : items)
        names.push_back(item.name);
    return names;
}

// A top-level window holding an icon-view list view, owned by this thread.
class CTestListView
{
public:
    CTestListView()
    {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&init);
        m_frame = ::CreateWindowExW(0, L"STATIC", L"desktop", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
        m_list = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_ICON, 0, 0, 800, 600, m_frame,
                                   nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    ~CTestListView()
    {
        if (m_frame)
            ::DestroyWindow(m_frame);
    }
    HWND Get() const { return m_list; }
    int Add(const std::wstring& label, int x, int y)
    {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = ::SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0);
        item.pszText = const_cast<wchar_t*>(label.c_str());
        const int index = static_cast<int>(::SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        ::SendMessageW(m_list, LVM_SETITEMPOSITION, index, MAKELPARAM(x, y));
        return index;
    }
    POINT Position(int index) const
    {
        POINT point = {};
        ::SendMessageW(m_list, LVM_GETITEMPOSITION, index, reinterpret_cast<LPARAM>(&point));
        return point;
    }

private:
    HWND m_frame = nullptr;
    HWND m_list = nullptr;
};

// A missing file reads as empty.
std::string FileText(const std::wstring& path)
{
    return brmptest::ReadFileBytes(path).value_or(std::string());
}
}

TEST(DesktopIconText, LabelsAreCutAtTheTerminatorTheLimitOrTheBuffer)
{
    std::wstring longLabel(400, L'a');
    wchar_t unterminated[4] = {L'a', L'b', L'c', L'd'};
    struct Case
    {
        const wchar_t* buffer;
        size_t capacity;
        size_t expectedLength;
    } const cases[] = {
        {L"Recycle Bin", 100, 11},
        {L"", 100, 0},
        {longLabel.c_str(), longLabel.size() + 1, static_cast<size_t>(kDesktopIconMaxText)},
        {unterminated, 4, 4},
        {unterminated, 2, 2},
        {nullptr, 10, 0},
    };
    for (const Case& c : cases)
    {
        const std::wstring text = BoundedIconText(c.buffer, c.capacity);
        EXPECT_EQ(text.size(), c.expectedLength) << (c.buffer ? c.buffer : L"(null)");
        if (c.buffer)
        {
            EXPECT_EQ(text, std::wstring(c.buffer, c.expectedLength));
        }
    }
}

TEST(DesktopIconRestore, IconsMoveToTheFirstUntakenStoredEntryOfTheirName)
{
    const std::vector<DesktopIconItem> current = {Icon(L"New folder", 10, 10, 0), Icon(L"New folder", 20, 20, 1),
                                                  Icon(L"Readme", 30, 30, 2), Icon(L"Unsaved", 40, 40, 3)};
    const std::vector<DesktopIconItem> stored = {Icon(L"new folder", 1, 1), Icon(L"New folder", 100, 100),
                                                 Icon(L"Readme", 30, 30), Icon(L"New folder", 200, 200),
                                                 Icon(L"New folder", 300, 300)};
    const IconRestorePlan plan = PlanIconRestore(current, stored, false);

    EXPECT_EQ(plan.matched, 3);
    // Readme is already in place: counted, not moved. Names match case-sensitively.
    ASSERT_EQ(plan.iconMoves.size(), 2u);
    EXPECT_EQ(plan.iconMoves[0].index, 0);
    EXPECT_EQ(plan.iconMoves[0].position.x, 100);
    EXPECT_EQ(plan.iconMoves[1].index, 1);
    EXPECT_EQ(plan.iconMoves[1].position.y, 200);
    EXPECT_TRUE(plan.stale.empty()) << "only the final pass prunes the layout";
}

TEST(DesktopIconRestore, TheFinalPassPrunesStoredIconsThatMatchNothing)
{
    const std::vector<DesktopIconItem> current = {Icon(L"Readme", 30, 30, 0)};
    const std::vector<DesktopIconItem> stored = {Icon(L"Gone", 5, 5), Icon(L"Readme", 1, 2), Icon(L"Also gone", 6, 6)};
    const IconRestorePlan plan = PlanIconRestore(current, stored, true);
    EXPECT_EQ(Names(plan.stale), (std::vector<std::wstring>{L"Gone", L"Also gone"}));
}

TEST(DesktopIconRestore, AnUnreadDesktopNeverPrunesTheLayout)
{
    // A desktop that failed to answer (or shows nothing) must not wipe every saved position.
    const std::vector<DesktopIconItem> stored = {Icon(L"Readme", 1, 2), Icon(L"Notes", 3, 4)};
    const IconRestorePlan plan = PlanIconRestore({}, stored, true);
    EXPECT_EQ(plan.matched, 0);
    EXPECT_TRUE(plan.stale.empty());
}

TEST(DesktopIconRestore, AnUnmatchedDuplicateOfALiveIconIsNotPruned)
{
    // The layout is pruned by name: pruning the spare "Notes" would drop the live one's position too.
    const std::vector<DesktopIconItem> current = {Icon(L"Notes", 0, 0, 0), Icon(L"Other", 0, 0, 1)};
    const std::vector<DesktopIconItem> stored = {Icon(L"Notes", 1, 1), Icon(L"Notes", 2, 2), Icon(L"Old", 3, 3)};
    const IconRestorePlan plan = PlanIconRestore(current, stored, true);
    EXPECT_EQ(Names(plan.stale), (std::vector<std::wstring>{L"Old"}));
}

TEST(DesktopIconRestore, GadgetsAreCountedOnEveryPassButMovedOnlyOnTheFinalOne)
{
    HWND window = reinterpret_cast<HWND>(0x1234);
    const std::vector<DesktopIconItem> current = {Gadget(L"Clock", 10, 20, window)};
    const std::vector<DesktopIconItem> stored = {Gadget(L"Clock", 300, 400)};

    const IconRestorePlan early = PlanIconRestore(current, stored, false);
    EXPECT_EQ(early.matched, 1);
    EXPECT_TRUE(early.gadgetMoves.empty());

    const IconRestorePlan last = PlanIconRestore(current, stored, true);
    EXPECT_EQ(last.matched, 1);
    ASSERT_EQ(last.gadgetMoves.size(), 1u);
    EXPECT_EQ(last.gadgetMoves[0].window, window);
    EXPECT_EQ(last.gadgetMoves[0].previous.x, 10);
    EXPECT_EQ(last.gadgetMoves[0].position.y, 400);
    EXPECT_TRUE(last.iconMoves.empty());
    EXPECT_TRUE(last.stale.empty());
}

TEST(DesktopIconRestore, PositionsArePackedAsSixteenBitXAndY)
{
    const LPARAM packed = PackIconPosition(POINT{-5, 700});
    EXPECT_EQ(static_cast<short>(LOWORD(packed)), -5);
    EXPECT_EQ(static_cast<short>(HIWORD(packed)), 700);
}

TEST(DesktopIconListView, ReadsNamesPositionsAndIndexesSkippingUnlabelledItems)
{
    CTestListView list;
    ASSERT_TRUE(list.Get());
    list.Add(L"Alpha", 10, 20);
    list.Add(L"", 50, 50);
    list.Add(std::wstring(300, L'x'), 200, 120);

    std::vector<DesktopIconItem> items;
    ASSERT_TRUE(ReadListViewIcons(list.Get(), items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].name, L"Alpha");
    EXPECT_EQ(items[0].index, 0);
    EXPECT_EQ(items[0].x, list.Position(0).x);
    EXPECT_EQ(items[0].y, list.Position(0).y);
    EXPECT_FALSE(items[0].gadget);
    // A label longer than the list view hands out is cut to the bound, not read past it.
    EXPECT_EQ(items[1].index, 2);
    EXPECT_LE(items[1].name.size(), static_cast<size_t>(kDesktopIconMaxText));
    EXPECT_FALSE(items[1].name.empty());
    EXPECT_EQ(items[1].name.find_first_not_of(L'x'), std::wstring::npos);
}

TEST(DesktopIconListView, AnEmptyListViewGivesNothing)
{
    CTestListView list;
    ASSERT_TRUE(list.Get());
    std::vector<DesktopIconItem> items;
    EXPECT_FALSE(ReadListViewIcons(list.Get(), items));
    EXPECT_TRUE(items.empty());
}

TEST(DesktopIconListView, ARestorePlanMovesTheListViewsIcons)
{
    CTestListView list;
    ASSERT_TRUE(list.Get());
    list.Add(L"Alpha", 10, 20);
    list.Add(L"Beta", 200, 20);

    std::vector<DesktopIconItem> current;
    ASSERT_TRUE(ReadListViewIcons(list.Get(), current));
    const std::vector<DesktopIconItem> stored = {Icon(L"Beta", 300, 250), Icon(L"Alpha", 40, 260)};
    const IconRestorePlan plan = PlanIconRestore(current, stored, true);
    ApplyIconRestorePlan(list.Get(), plan, nullptr);

    // The moves are posted: they land once this thread's messages are handled.
    EXPECT_TRUE(brmptest::WaitFor([&] {
        const POINT alpha = list.Position(0);
        const POINT beta = list.Position(1);
        return alpha.x == 40 && alpha.y == 260 && beta.x == 300 && beta.y == 250;
    }));
}

TEST(DesktopIconGadgets, AGadgetWindowMovesKeepingItsSizeAndItsDropLocationIsSaved)
{
    brmptest::TempFolder folder(L"gadgets");
    ASSERT_TRUE(folder.IsValid());
    CSidebarSettingsFile sidebar(folder.PathOf(L"Settings.ini"));
    ASSERT_TRUE(sidebar.WriteValue(L"Section 1", L"PrivateSetting_GadgetName", L"x%5CClock.Gadget"));

    HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"Clock", WS_POPUP, 30, 40, 120, 90, nullptr,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window);
    IconRestorePlan plan;
    plan.gadgetMoves.push_back({window, L"Clock", POINT{30, 40}, POINT{250, 260}});
    ApplyIconRestorePlan(nullptr, plan, &sidebar);

    RECT rect = {};
    ::GetWindowRect(window, &rect);
    ::DestroyWindow(window);
    EXPECT_EQ(rect.left, 250);
    EXPECT_EQ(rect.top, 260);
    EXPECT_EQ(rect.right - rect.left, 120);
    EXPECT_EQ(rect.bottom - rect.top, 90);
    EXPECT_EQ(sidebar.ReadValue(L"Section 1", L"PrivateSetting_GadgetDropLocationX"), L"250");
}

TEST(DesktopIconGadgets, TheDropLocationGoesToTheSectionNamedOrLastAtTheGadgetsPlace)
{
    brmptest::TempFolder folder(L"gadgets");
    ASSERT_TRUE(folder.IsValid());
    const std::wstring path = folder.PathOf(L"Settings.ini");
    ASSERT_TRUE(brmptest::WriteFileBytes(path, "[Section 1]\r\nPrivateSetting_GadgetName=x%5CWeather.Gadget\r\n"
                "PrivateSetting_GadgetDropLocationX=10\r\nPrivateSetting_GadgetDropLocationY=20\r\n"
                "[Section 3]\r\nPrivateSetting_GadgetName=other\r\n"
                "PrivateSetting_GadgetDropLocationX=70\r\nPrivateSetting_GadgetDropLocationY=80\r\n"));
    CSidebarSettingsFile sidebar(path);

    // Section 2 is missing: skipped. Section 3 holds the unnamed gadget at its old place.
    EXPECT_TRUE(sidebar.UpdateGadgetDropLocation(L"Clock", POINT{70, 80}, POINT{5, 6}));
    EXPECT_EQ(sidebar.ReadValue(L"Section 3", L"PrivateSetting_GadgetDropLocationX"), L"5");
    EXPECT_EQ(sidebar.ReadValue(L"Section 1", L"PrivateSetting_GadgetDropLocationX"), L"10");

    EXPECT_TRUE(sidebar.UpdateGadgetDropLocation(L"Weather.Gadget", POINT{0, 0}, POINT{-15, 16}));
    EXPECT_EQ(sidebar.ReadValue(L"Section 1", L"PrivateSetting_GadgetDropLocationY"), L"16");
    // Values are written as quoted decimals.
    EXPECT_NE(FileText(path).find("PrivateSetting_GadgetDropLocationX=\"-15\""), std::string::npos);

    // No section by name or place: nothing changes and the search ends.
    const std::string before = FileText(path);
    EXPECT_FALSE(sidebar.UpdateGadgetDropLocation(L"Nowhere", POINT{1, 1}, POINT{2, 2}));
    EXPECT_EQ(FileText(path), before);
}

TEST(DesktopIconShell, WithoutTheShellsListViewNothingIsReadAndTheErrorIsThrown)
{
    // A desktop of its own holds no shell on any machine (Wine's shell desktop
    // has no icon list view either). Its thread makes no window, so that no
    // shell is started for it.
    HDESK desktop = ::CreateDesktopW(L"BrmpNoShell", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(desktop, nullptr) << ::GetLastError();
    bool attached = false;
    HWND listView = nullptr;
    bool native = true;
    bool threw = false;
    std::vector<DesktopIconItem> items;
    std::thread onIt([&] {
        attached = ::SetThreadDesktop(desktop) != FALSE;
        if (!attached)
            return;
        listView = FindDesktopListView();
        native = IsExplorerNative();
        try
        {
            GetDesktopIcons(items, true);
        }
        catch (DWORD code)
        {
            threw = code == ERROR_INVALID_WINDOW_HANDLE;
        }
    });
    onIt.join();
    ::CloseDesktop(desktop);
    ASSERT_TRUE(attached);
    EXPECT_EQ(listView, nullptr);
    EXPECT_FALSE(native);
    EXPECT_TRUE(threw);
    EXPECT_TRUE(items.empty());
}
