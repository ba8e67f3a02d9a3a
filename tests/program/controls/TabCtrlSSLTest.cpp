#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Dialog.h"
#include "DialogTemplate.h"
#include "DibSection.h"
#include "FrameworkTestSupport.h"
#include "PhysicalInput.h"
#include "StaticControlsTestSupport.h"
#include "TabCtrlSSL.h"
#include "ThemedButton.h"

using framework_test::PumpUntil;

namespace
{
constexpr int kTabId = 1050;
constexpr int kCheckId = 201;
constexpr int kButtonId = 202;

class HostDialog : public CDialog
{
public:
    explicit HostDialog(const DLGTEMPLATE* t) : CDialog(t) {}
    bool OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        commands.push_back(LOWORD(wParam));
        CDialog::OnCommand(wParam, lParam);
        return true;
    }
    void OnOK() override {}
    void OnCancel() override {}
    std::vector<WORD> commands;
};

class CountingPage : public CTabPageSSL
{
public:
    explicit CountingPage(const DLGTEMPLATE* t, int* destroyed = nullptr) : CTabPageSSL(t), m_destroyed(destroyed) {}
    ~CountingPage() override
    {
        if (m_destroyed != nullptr)
            ++*m_destroyed;
    }
    LRESULT OnActivatePage() override
    {
        ++activations;
        return 0;
    }
    LRESULT OnDeactivatePage() override
    {
        ++deactivations;
        return 0;
    }
    int activations = 0;
    int deactivations = 0;

private:
    int* m_destroyed;
};

CDialogTemplate HostTemplate(DWORD tabStyle, short tabWidth = 180, short tabHeight = 120)
{
    CDialogTemplate t(L"Tabs", WS_POPUP | WS_CAPTION | WS_VISIBLE, 20, 20, 220, 160);
    t.AddControl(WC_TABCONTROLW, L"", kTabId, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | tabStyle, 10, 10,
                 tabWidth, tabHeight);
    return t;
}

CDialogTemplate PageTemplate()
{
    CDialogTemplate t(L"", WS_CHILD | DS_CONTROL, 0, 0, 120, 60);
    t.AddControl(L"BUTTON", L"Check", kCheckId, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 5, 5, 60, 12);
    t.AddControl(L"BUTTON", L"Push", kButtonId, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 5, 25, 50, 14);
    return t;
}

RECT RectInParent(HWND window)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Visible(const CWindow& w)
{
    return (::GetWindowLongW(w.GetSafeHwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
}

// A host dialog with a tab control and two pages created by their owner.
struct TabFixture
{
    explicit TabFixture(DWORD tabStyle = 0, short tabWidth = 180, short tabHeight = 120)
        : hostTemplate(HostTemplate(tabStyle, tabWidth, tabHeight)), pageTemplate(PageTemplate()),
          host(hostTemplate.Get()), first(pageTemplate.Get()), second(pageTemplate.Get())
    {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES};
        ::InitCommonControlsEx(&controls);
        created = host.Create(static_cast<HWND>(nullptr)) && first.Create(host.GetSafeHwnd()) &&
                  second.Create(host.GetSafeHwnd()) && tabs.SubclassDlgItem(kTabId, host.GetSafeHwnd());
    }
    ~TabFixture()
    {
        if (tabs.GetSafeHwnd() != nullptr)
            tabs.UnsubclassWindow();
        host.DestroyWindow();
    }
    bool AddBoth()
    {
        return tabs.AddPage(L"First", 11, {&first, 0}) == 0 && tabs.AddPage(L"Second", 22, {&second, 0}) == 1;
    }
    POINT TabCentreOnScreen(int index) const
    {
        RECT item{};
        ::SendMessageW(tabs.GetSafeHwnd(), TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
        POINT p{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
        ::ClientToScreen(tabs.GetSafeHwnd(), &p);
        return p;
    }

    CDialogTemplate hostTemplate;
    CDialogTemplate pageTemplate;
    HostDialog host;
    CountingPage first;
    CountingPage second;
    CTabCtrlSSL tabs;
    bool created = false;
};
}

TEST(TabCtrl, TheFirstPageShowsLaterPagesStayHiddenAndEachFillsTheDisplayArea)
{
    struct Case
    {
        DWORD style;
        short height;
        const char* name;
    };
    // A page template taller than the tab body must not spill over what lies below the control.
    for (const Case& c : {Case{0, 120, "tabs on top"}, Case{TCS_BOTTOM, 120, "tabs at the bottom"},
                          Case{0, 50, "a page taller than the tab body"}})
    {
        SCOPED_TRACE(c.name);
        TabFixture f(c.style, 180, c.height);
        ASSERT_TRUE(f.created);
        ASSERT_TRUE(f.AddBoth());

        EXPECT_TRUE(Visible(f.first));
        EXPECT_FALSE(Visible(f.second));
        EXPECT_EQ(f.host.GetSafeHwnd(), f.first.GetParent());

        RECT display = RectInParent(f.tabs.GetSafeHwnd());
        f.tabs.SendMessage(TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
        for (const CountingPage* page : {&f.first, &f.second})
        {
            const RECT placed = RectInParent(page->GetSafeHwnd());
            EXPECT_EQ(display.left, placed.left);
            EXPECT_EQ(display.top, placed.top);
            EXPECT_EQ(display.right, placed.right);
            EXPECT_EQ(display.bottom, placed.bottom);
        }
    }
}

TEST(TabCtrl, AnEntryWithoutAPageAddsNoTab)
{
    TabFixture f;
    ASSERT_TRUE(f.created);
    EXPECT_EQ(-1, f.tabs.AddPage(L"None", 1, {nullptr, 0}));
    EXPECT_EQ(0, f.tabs.SendMessage(TCM_GETITEMCOUNT));
    EXPECT_EQ(0, f.tabs.GetPageCount());
}

TEST(TabCtrl, APageAddedToAnEmptyControlStaysPutUntilThePagesAreResized)
{
    TabFixture f(0, 0, 0);
    ASSERT_TRUE(f.created);
    ::SetWindowPos(f.first.GetSafeHwnd(), nullptr, 150, 150, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    ASSERT_EQ(0, f.tabs.AddPage(L"First", 11, {&f.first, 0}));
    EXPECT_EQ(150, RectInParent(f.first.GetSafeHwnd()).left);
    EXPECT_EQ(150, RectInParent(f.first.GetSafeHwnd()).top);

    ::SetWindowPos(f.tabs.GetSafeHwnd(), nullptr, 8, 9, 200, 150, SWP_NOZORDER);
    f.tabs.ResizePages();
    RECT expected{};
    ASSERT_TRUE(f.tabs.PageRect(0, &expected));
    EXPECT_GT(expected.left, 8);
    EXPECT_EQ(expected.left, RectInParent(f.first.GetSafeHwnd()).left);
    EXPECT_EQ(expected.top, RectInParent(f.first.GetSafeHwnd()).top);
}

TEST(TabCtrl, ActivatePageRefusesIndexesOutsideTheTabsAndLeavesTheSelectedTabAlone)
{
    TabFixture f;
    ASSERT_TRUE(f.created);
    ASSERT_TRUE(f.AddBoth());
    for (int index : {2, 5, -1})
    {
        SCOPED_TRACE(index);
        EXPECT_FALSE(f.tabs.ActivatePage(index));
        EXPECT_EQ(0, f.tabs.SendMessage(TCM_GETCURSEL));
        EXPECT_TRUE(Visible(f.first));
    }

    // The selected tab: nothing is shown or hidden.
    f.first.ShowWindow(SW_HIDE);
    EXPECT_TRUE(f.tabs.ActivatePage(0));
    EXPECT_FALSE(Visible(f.first));
    f.first.ShowWindow(SW_SHOW);

    // Another tab switches the pages but tells no page.
    EXPECT_TRUE(f.tabs.ActivatePage(1));
    EXPECT_EQ(1, f.tabs.SendMessage(TCM_GETCURSEL));
    EXPECT_FALSE(Visible(f.first));
    EXPECT_TRUE(Visible(f.second));
    EXPECT_EQ(0, f.first.deactivations + f.second.activations);
}

TEST(TabCtrl, ClickingATabShowsItsPageHidesThePreviousOneAndPagesKeepTheirControlsState)
{
    TabFixture f;
    ASSERT_TRUE(f.created);
    ASSERT_TRUE(f.AddBoth());
    ::SetForegroundWindow(f.host.GetSafeHwnd());
    ::CheckDlgButton(f.first.GetSafeHwnd(), kCheckId, BST_CHECKED);

    const POINT second = f.TabCentreOnScreen(1);
    ASSERT_TRUE(brmptest::PhysicalInput::ClickAt(second.x, second.y, brmptest::PhysicalInput::kLeft));
    ASSERT_TRUE(PumpUntil([&] { return Visible(f.second) && !Visible(f.first); }));
    EXPECT_EQ(1, f.second.activations);
    EXPECT_EQ(1, f.first.deactivations);
    EXPECT_EQ(0, f.first.activations);

    const POINT first = f.TabCentreOnScreen(0);
    ASSERT_TRUE(brmptest::PhysicalInput::ClickAt(first.x, first.y, brmptest::PhysicalInput::kLeft));
    ASSERT_TRUE(PumpUntil([&] { return Visible(f.first) && !Visible(f.second); }));
    EXPECT_EQ(1, f.second.deactivations);
    EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(f.first.GetSafeHwnd(), kCheckId));
}

TEST(TabCtrl, ArrowKeysOnTheFocusedTabsSwitchPagesLikeAClick)
{
    TabFixture f;
    ASSERT_TRUE(f.created);
    ASSERT_TRUE(f.AddBoth());
    ::SetForegroundWindow(f.host.GetSafeHwnd());
    ::SetFocus(f.tabs.GetSafeHwnd());
    ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == f.tabs.GetSafeHwnd(); }));
    ASSERT_TRUE(brmptest::PhysicalInput::PrepareForInput(f.host.GetSafeHwnd()));

    ASSERT_TRUE(brmptest::PhysicalInput::KeyTap(L"Right"));
    ASSERT_TRUE(PumpUntil([&] { return Visible(f.second) && !Visible(f.first); }));
    EXPECT_EQ(1, f.second.activations);
    EXPECT_EQ(1, f.first.deactivations);
}

TEST(TabCtrl, CommandsReachTheOwnerThroughRoutingAndEnterOrEscapeCloseNoPage)
{
    TabFixture f;
    ASSERT_TRUE(f.created);
    ASSERT_TRUE(f.AddBoth());

    // Without routing the page handles its own button.
    ::SendMessageW(::GetDlgItem(f.first.GetSafeHwnd(), kButtonId), BM_CLICK, 0, 0);
    EXPECT_TRUE(f.host.commands.empty());

    f.first.m_routeCommands = 1;
    ::SendMessageW(::GetDlgItem(f.first.GetSafeHwnd(), kButtonId), BM_CLICK, 0, 0);
    EXPECT_EQ(std::vector<WORD>{kButtonId}, f.host.commands);

    // The tab control hands commands sent to it to the owner.
    f.host.commands.clear();
    f.tabs.SendMessage(WM_COMMAND, MAKEWPARAM(777, BN_CLICKED), 0);
    EXPECT_EQ(std::vector<WORD>{777}, f.host.commands);

    f.first.m_routeCommands = 0;
    for (WPARAM id : {IDOK, IDCANCEL})
        f.first.SendMessage(WM_COMMAND, id, 0);
    EXPECT_TRUE(::IsWindow(f.first.GetSafeHwnd()));
    EXPECT_TRUE(Visible(f.first));
}

TEST(TabCtrl, DestroyingTheControlDestroysThePagesAndDeletesOnlyThoseItOwns)
{
    TabFixture f;
    ASSERT_TRUE(f.created);
    int ownedDestroyed = 0;
    auto* owned = new CountingPage(f.pageTemplate.Get(), &ownedDestroyed);
    ASSERT_TRUE(owned->Create(f.host.GetSafeHwnd()));
    int keptDestroyed = 0;
    CountingPage kept(f.pageTemplate.Get(), &keptDestroyed);
    ASSERT_TRUE(kept.Create(f.host.GetSafeHwnd()));
    ASSERT_EQ(0, f.tabs.AddPage(L"Owned", 1, {owned, 1}));
    ASSERT_EQ(1, f.tabs.AddPage(L"Kept", 2, {&kept, 0}));

    ::DestroyWindow(f.tabs.GetSafeHwnd());
    EXPECT_EQ(1, ownedDestroyed);
    EXPECT_EQ(0, keptDestroyed);
    EXPECT_EQ(nullptr, kept.GetSafeHwnd());
    EXPECT_EQ(0, f.tabs.GetPageCount());
}

TEST(TabCtrl, RebuildingTheRowsReusesTheSamePageWindows)
{
    TabFixture f;
    ASSERT_TRUE(f.created);
    ASSERT_TRUE(f.AddBoth());
    const HWND firstWindow = f.first.GetSafeHwnd();
    EXPECT_TRUE(f.tabs.RemoveAllPages());
    EXPECT_EQ(0, f.tabs.SendMessage(TCM_GETITEMCOUNT));
    EXPECT_TRUE(::IsWindow(firstWindow));
    ASSERT_TRUE(f.AddBoth());
    EXPECT_EQ(firstWindow, f.tabs.GetPage(0)->GetSafeHwnd());
    EXPECT_EQ(22, f.tabs.GetPageId(1));
}

TEST(TabCtrl, WithNoTabSelectedActivatePageStillShowsTheRequestedPage)
{
    TabFixture f;
    ASSERT_TRUE(f.created);
    ASSERT_TRUE(f.AddBoth());
    f.tabs.SendMessage(TCM_SETCURSEL, static_cast<WPARAM>(-1));
    ASSERT_EQ(-1, f.tabs.SendMessage(TCM_GETCURSEL));
    EXPECT_TRUE(f.tabs.ActivatePage(1));
    EXPECT_TRUE(Visible(f.second));
    EXPECT_EQ(1, f.tabs.SendMessage(TCM_GETCURSEL));
}

TEST(TabCtrl, PagesTheControlOwnsAreFreedEvenWhenItsObjectGoesBeforeItsWindow)
{
    TabFixture f;
    ASSERT_TRUE(f.created);
    int destroyed = 0;
    auto* owned = new CountingPage(f.pageTemplate.Get(), &destroyed);
    ASSERT_TRUE(owned->Create(f.host.GetSafeHwnd()));
    {
        CTabCtrlSSL other;
        const HWND control = ::CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100,
                                               f.host.GetSafeHwnd(), nullptr, nullptr, nullptr);
        ASSERT_TRUE(other.SubclassWindow(control));
        ASSERT_EQ(0, other.AddPage(L"Owned", 1, {owned, 1}));
        other.UnsubclassWindow();
    }
    EXPECT_EQ(1, destroyed);
}

namespace
{
// Writes the screen area of a window to a 32-bit BMP beside the test executable.
bool SaveWindowPicture(HWND window, const wchar_t* fileName)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    BITMAPINFO info = TopDown32BitInfo(width, height);
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    ::GdiFlush();
    wchar_t module[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path = module;
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + fileName;
    const DWORD imageSize = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(header) + sizeof(info.bmiHeader);
    header.bfSize = header.bfOffBits + imageSize;
    std::ofstream file(path.c_str(), std::ios::binary);
    file.write(reinterpret_cast<const char*>(&header), sizeof(header));
    file.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(info.bmiHeader));
    file.write(static_cast<const char*>(bits), imageSize);
    const bool written = file.good();
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return written;
}

HICON RedIcon()
{
    return static_controls_test::SolidIcon(0xFFFF0000);
}
}

TEST(TabCtrl, AThemedButtonOnAPageIsPaintedOnScreenAndThePictureIsSaved)
{
    TabFixture f;
    ASSERT_TRUE(f.created);
    ASSERT_TRUE(f.AddBoth());
    const HWND control = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 100, 10, 44, 40,
                                           f.first.GetSafeHwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(203)),
                                           nullptr, nullptr);
    CXButtonXP button;
    ASSERT_TRUE(button.SubclassWindow(control));
    button.SetIconHandle(RedIcon());
    ::SetForegroundWindow(f.host.GetSafeHwnd());
    ::RedrawWindow(f.host.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    POINT centre{22, 20};
    ::ClientToScreen(control, &centre);
    const auto screenPixel = [&] {
        const HDC screen = ::GetDC(nullptr);
        const COLORREF c = ::GetPixel(screen, centre.x, centre.y);
        ::ReleaseDC(nullptr, screen);
        return c;
    };
    EXPECT_TRUE(PumpUntil([&] { return screenPixel() == RGB(255, 0, 0); })) << std::hex << screenPixel();
    EXPECT_TRUE(SaveWindowPicture(f.host.GetSafeHwnd(), L"tabs-dialog.bmp"));
    button.UnsubclassWindow();
}
