#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Application.h"
#include "DialogTemplate.h"
#include "FrameworkTestSupport.h"
#include "Window.h"

namespace
{
std::vector<std::wstring> g_walk;
std::vector<UINT> g_dispatchedToTarget;

// Records its turn in the walk; claims the message when told to.
class WalkingWindow : public CWindow
{
public:
    explicit WalkingWindow(const wchar_t* name) : m_name(name) {}
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN)
            g_walk.push_back(m_name);
        return claim && msg->message == WM_KEYDOWN ? TRUE : FALSE;
    }
    bool claim = false;

private:
    const wchar_t* m_name;
};

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN)
        g_dispatchedToTarget.push_back(message);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

const wchar_t* TargetClass()
{
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = TargetProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BrmpFrameworkTestTarget";
        return ::RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    return L"BrmpFrameworkTestTarget";
}

// owner (top-level) owns top (top-level); top > middle (child, object) > target (child, no object).
struct Tree
{
    WalkingWindow owner{L"owner"};
    WalkingWindow top{L"top"};
    WalkingWindow middle{L"middle"};
    HWND target = nullptr;

    bool Create()
    {
        if (!owner.CreateEx(0, nullptr, L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr))
            return false;
        if (!top.CreateEx(0, nullptr, L"top", WS_POPUP, 0, 0, 100, 100, owner.GetSafeHwnd()))
            return false;
        if (!middle.CreateEx(0, nullptr, L"", WS_CHILD, 0, 0, 50, 50, top.GetSafeHwnd(), reinterpret_cast<HMENU>(1)))
            return false;
        target = ::CreateWindowExW(0, TargetClass(), L"", WS_CHILD, 0, 0, 10, 10, middle.GetSafeHwnd(),
                                   reinterpret_cast<HMENU>(2), ::GetModuleHandleW(nullptr), nullptr);
        return target != nullptr;
    }
};
}

TEST(FrameworkPreTranslate, TheWalkGoesFromTheTargetUpItsParentsToItsTopLevelWindowAndAClaimStopsIt)
{
    struct Case
    {
        bool middleClaims;
        bool topClaims;
        std::vector<std::wstring> walk;
        bool dispatched;
    };
    const Case cases[] = {
        {false, false, {L"middle", L"top"}, true},   // the owner is never asked
        {false, true, {L"middle", L"top"}, false},
        {true, true, {L"middle"}, false},
    };
    for (const Case& c : cases)
    {
        Tree tree;
        ASSERT_TRUE(tree.Create());
        tree.middle.claim = c.middleClaims;
        tree.top.claim = c.topClaims;
        g_walk.clear();
        g_dispatchedToTarget.clear();

        ASSERT_TRUE(::PostMessageW(tree.target, WM_KEYDOWN, 'A', 0));
        EXPECT_TRUE(framework_test::PumpUntil([] { return !g_walk.empty(); }));
        framework_test::PumpPending();

        EXPECT_EQ(g_walk, c.walk);
        EXPECT_EQ(g_dispatchedToTarget.size(), c.dispatched ? 1u : 0u);
    }
}

namespace
{
// The Enter key in an edit of a dialog goes through the dialog's
// pre-translation to IsDialogMessage, which turns it into IDOK.
class EnterDialog : public CDialog
{
public:
    explicit EnterDialog(const DLGTEMPLATE* t) : CDialog(t) {}
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        ::PostMessageW(GetDlgItem(100), WM_KEYDOWN, VK_RETURN, 0);
        return TRUE;
    }
    void OnOK() override
    {
        okFromKey = true;
        CDialog::OnOK();
    }
    bool okFromKey = false;
};
}

TEST(FrameworkPreTranslate, TheEnterKeyInADialogsEditReachesTheDialogAsOk)
{
    CDialogTemplate t(L"Enter", WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 120, 60);
    t.AddControl(L"EDIT", L"", 100, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 5, 5, 100, 12);
    t.AddControl(L"BUTTON", L"OK", IDOK, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 5, 25, 40, 14);
    EnterDialog dialog(t.Get());
    framework_test::ModalWatchdog watchdog(dialog);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(dialog.okFromKey);
}

namespace
{
// A page inside a dialog: its keys are navigated by the dialog around it, so
// Enter in the page's edit is the dialog's OK, not the page's.
class CountingPage : public CDialog
{
public:
    using CDialog::CDialog;
    void OnOK() override { ++oks; }
    int oks = 0;
};

class DialogWithPage : public CDialog
{
public:
    DialogWithPage(const DLGTEMPLATE* t, const DLGTEMPLATE* pageTemplate) : CDialog(t), page(pageTemplate) {}
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        page.Create(this);
        page.ShowWindow(SW_SHOW);
        ::PostMessageW(page.GetDlgItem(200), WM_KEYDOWN, VK_RETURN, 0);
        return TRUE;
    }
    CountingPage page;
};
}

TEST(FrameworkPreTranslate, TheEnterKeyInAPageIsTheSurroundingDialogsOk)
{
    CDialogTemplate t(L"With page", WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 160, 100);
    t.AddControl(L"BUTTON", L"OK", IDOK, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 5, 80, 40, 14);
    CDialogTemplate pageTemplate(L"", WS_CHILD | DS_CONTROL, 5, 5, 140, 60, WS_EX_CONTROLPARENT);
    pageTemplate.AddControl(L"EDIT", L"", 200, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 5, 5, 100, 12);
    DialogWithPage dialog(t.Get(), pageTemplate.Get());
    framework_test::ModalWatchdog watchdog(dialog);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.page.oks, 0);
}

namespace
{
// An application whose main window is made in InitInstance; the loop ends
// when that window is destroyed.
class TestApplication : public CApplication
{
public:
    explicit TestApplication(bool startOk) : CApplication(L"Framework test"), m_startOk(startOk) {}

    BOOL InitInstance() override
    {
        steps.push_back(L"init");
        if (!m_startOk)
            return FALSE;
        auto* window = new WalkingWindow(L"main");
        if (!window->CreateEx(0, nullptr, L"main", WS_POPUP, 0, 0, 0, 0, nullptr))
            return FALSE;
        SetMainWindow(window);
        ::PostMessageW(window->GetSafeHwnd(), WM_KEYDOWN, 'B', 0);
        // Destroyed from the loop, as a closing main window would be.
        ::PostMessageW(window->GetSafeHwnd(), WM_CLOSE, 0, 0);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN)
            steps.push_back(L"app pretranslate");
        return CApplication::PreTranslateMessage(msg);
    }
    int ExitInstance() override
    {
        steps.push_back(L"exit");
        if (CWindow* main = GetMainWindow())
        {
            main->DestroyWindow();
            delete main;
            SetMainWindow(nullptr);
        }
        return CApplication::ExitInstance() + 40;
    }
    std::vector<std::wstring> steps;

private:
    bool m_startOk;
};
}

TEST(FrameworkPreTranslate, TheApplicationRunsItsLoopUntilTheMainWindowIsDestroyedThenExits)
{
    g_walk.clear();
    TestApplication app(true);
    ASSERT_EQ(CApplication::Get(), &app);
    EXPECT_EQ(app.Main(::GetModuleHandleW(nullptr), L"/x", SW_SHOW), 40);
    EXPECT_EQ(app.steps, (std::vector<std::wstring>{L"init", L"app pretranslate", L"exit"}));
    EXPECT_EQ(g_walk, std::vector<std::wstring>{L"main"});
    EXPECT_EQ(app.CommandLine(), L"/x");
}

TEST(FrameworkPreTranslate, AFailedStartEndsThroughExitInstanceWithoutALoop)
{
    TestApplication app(false);
    EXPECT_EQ(app.Main(::GetModuleHandleW(nullptr), L"", SW_SHOW), 40);
    EXPECT_EQ(app.steps, (std::vector<std::wstring>{L"init", L"exit"}));
}
