#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "FrameworkTestSupport.h"
#include "PostedOnce.h"
#include "Probe.h"
#include "Window.h"

namespace
{
constexpr UINT kPlainMessage = WM_APP + 1;

// A hidden top-level window that records which of its handlers ran.
class RecordingWindow : public CWindow
{
public:
    RecordingWindow()
    {
        BindMessage(kPlainMessage, &RecordingWindow::OnPlain);
        m_registered = BindRegisteredMessage(L"BrmpFrameworkTest_Registered", &RecordingWindow::OnRegistered);
        // The single id is bound before the range that contains it: it wins.
        BindCommand(105, &RecordingWindow::OnSingle);
        BindCommandRange(100, 109, &RecordingWindow::OnRange);
        BindControl(LBN_SELCHANGE, 200, &RecordingWindow::OnSelChange);
        BindNotifyRange(NM_CLICK, 300, 309, &RecordingWindow::OnClickNotify);
    }

    bool Create()
    {
        return CreateEx(0, nullptr, L"recording", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr);
    }

    LRESULT OnPlain(WPARAM w, LPARAM l)
    {
        calls.push_back(L"plain");
        return static_cast<LRESULT>(w + l);
    }
    LRESULT OnRegistered(WPARAM w, LPARAM)
    {
        calls.push_back(L"registered");
        return static_cast<LRESULT>(w * 2);
    }
    void OnSingle() { calls.push_back(L"single"); }
    void OnRange(UINT id) { calls.push_back(L"range " + std::to_wstring(id)); }
    void OnSelChange() { calls.push_back(L"selchange"); }
    LRESULT OnClickNotify(NMHDR* header)
    {
        calls.push_back(L"notify " + std::to_wstring(header->idFrom));
        return 77;
    }

    UINT m_registered = 0;
    std::vector<std::wstring> calls;
};

// A button whose object takes its own click and owner-draw messages.
class ReflectingButton : public CWindow
{
public:
    ReflectingButton()
    {
        BindReflectedCommand(BN_CLICKED, &ReflectingButton::OnClicked);
        BindReflectedNotify(NM_CLICK, &ReflectingButton::OnNotifyClick);
    }
    void OnClicked() { ++clicks; }
    LRESULT OnNotifyClick(NMHDR*)
    {
        ++notifies;
        return 9;
    }
    int notifies = 0;
    bool DrawItem(DRAWITEMSTRUCT*) override
    {
        ++draws;
        return true;
    }
    int clicks = 0;
    int draws = 0;
};

// A control object that binds nothing: its parent's handlers see everything.
class PassiveControl : public CWindow
{
};

class ParentWindow : public CWindow
{
public:
    ParentWindow()
    {
        BindCommand(10, &ParentWindow::OnButton10);
        BindCommand(11, &ParentWindow::OnButton11);
        BindMessage(WM_DRAWITEM, &ParentWindow::OnDrawItem);
        BindNotifyRange(NM_CLICK, 10, 11, &ParentWindow::OnNotifyClick);
    }
    LRESULT OnNotifyClick(NMHDR*)
    {
        ++parentNotifies;
        return 1;
    }
    int parentNotifies = 0;
    void OnButton10() { ++parentClicks10; }
    void OnButton11() { ++parentClicks11; }
    LRESULT OnDrawItem(WPARAM, LPARAM)
    {
        ++parentDraws;
        return TRUE;
    }
    int parentClicks10 = 0;
    int parentClicks11 = 0;
    int parentDraws = 0;
};

LRESULT SendCommand(HWND window, UINT code, UINT id, HWND control = nullptr)
{
    return ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}
}

TEST(FrameworkDispatch, CommandsReachTheFirstBoundHandlerAndIdsOutsideEveryEntryReachDefaultProcessing)
{
    struct Case
    {
        bool fromControl;   // else a menu or an accelerator
        UINT code;
        UINT id;
        const wchar_t* expected;   // null: nothing bound ran
    };
    const Case cases[] = {
        {false, 0, 100, L"range 100"},
        {false, 0, 104, L"range 104"},
        {false, 0, 105, L"single"},   // bound before the range
        {false, 0, 109, L"range 109"},
        {true, BN_CLICKED, 109, L"range 109"},
        {false, 0, 110, nullptr},
        {false, 0, 99, nullptr},
        {false, 1, 107, L"range 107"},   // an accelerator is a plain command
        {true, LBN_SELCHANGE, 200, L"selchange"},
        {true, LBN_DBLCLK, 200, nullptr},   // another notification of the same control
        {true, LBN_SELCHANGE, 105, nullptr},   // a command binding takes clicks only
    };
    RecordingWindow window;
    ASSERT_TRUE(window.Create());
    for (const Case& c : cases)
    {
        window.calls.clear();
        const HWND control = c.fromControl ? window.GetSafeHwnd() : nullptr;
        SendCommand(window.GetSafeHwnd(), c.code, c.id, control);
        if (c.expected == nullptr)
            EXPECT_TRUE(window.calls.empty()) << "code " << c.code << " id " << c.id;
        else
            EXPECT_EQ(window.calls, std::vector<std::wstring>{c.expected}) << "code " << c.code << " id " << c.id;
    }
}

TEST(FrameworkDispatch, RegisteredMessagesKnownOnlyAtRunTimeReachTheirHandlerWithTheirParameters)
{
    RecordingWindow window;
    ASSERT_TRUE(window.Create());
    ASSERT_EQ(window.m_registered, ::RegisterWindowMessageW(L"BrmpFrameworkTest_Registered"));

    EXPECT_EQ(::SendMessageW(window.GetSafeHwnd(), window.m_registered, 21, 0), 42);
    EXPECT_EQ(::SendMessageW(window.GetSafeHwnd(), kPlainMessage, 3, 4), 7);
    // Posted from another thread, as the library's threads do.
    const HWND hwnd = window.GetSafeHwnd();
    const UINT id = window.m_registered;
    HANDLE thread = ::CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* args = static_cast<std::pair<HWND, UINT>*>(p);
            ::PostMessageW(args->first, args->second, 5, 0);
            return 0;
        },
        new std::pair<HWND, UINT>(hwnd, id), 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ::WaitForSingleObject(thread, 5000);
    ::CloseHandle(thread);
    EXPECT_TRUE(framework_test::PumpUntil([&] { return window.calls.size() == 3; }));
    EXPECT_EQ(window.calls, (std::vector<std::wstring>{L"registered", L"plain", L"registered"}));
}

TEST(FrameworkDispatch, AMessagePostedOnceIsPostedAgainWhenItsLastPostFailed)
{
    RecordingWindow window;
    ASSERT_TRUE(window.Create());
    const HWND gone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(::DestroyWindow(gone));

    CPostedOnce ask(kPlainMessage);
    EXPECT_FALSE(ask.Ask(gone)) << "a window that is gone takes no message";
    EXPECT_TRUE(ask.Ask(window.GetSafeHwnd())) << "the failed post left nothing on its way";
    EXPECT_TRUE(ask.Ask(window.GetSafeHwnd()));
    // The registered message, posted last, is the fence: once it is handled,
    // everything the asks posted has been.
    ASSERT_TRUE(::PostMessageW(window.GetSafeHwnd(), window.m_registered, 0, 0));
    EXPECT_TRUE(framework_test::PumpUntil([&] { return !window.calls.empty() && window.calls.back() == L"registered"; }));
    EXPECT_EQ(window.calls, (std::vector<std::wstring>{L"plain", L"registered"})) << "one message for both asks";
}

TEST(FrameworkDispatch, NotificationsAreMatchedByCodeAndIdRange)
{
    RecordingWindow window;
    ASSERT_TRUE(window.Create());
    NMHDR header = {window.GetSafeHwnd(), 304, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(::SendMessageW(window.GetSafeHwnd(), WM_NOTIFY, 304, reinterpret_cast<LPARAM>(&header)), 77);
    header.idFrom = 310;
    EXPECT_EQ(::SendMessageW(window.GetSafeHwnd(), WM_NOTIFY, 310, reinterpret_cast<LPARAM>(&header)), 0);
    header.idFrom = 300;
    header.code = static_cast<UINT>(NM_DBLCLK);
    EXPECT_EQ(::SendMessageW(window.GetSafeHwnd(), WM_NOTIFY, 300, reinterpret_cast<LPARAM>(&header)), 0);
    EXPECT_EQ(window.calls, std::vector<std::wstring>{L"notify 304"});
}

TEST(FrameworkDispatch, ControlMessagesAreOfferedToTheControlObjectBeforeItsParent)
{
    ParentWindow parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr));
    ReflectingButton reflecting;
    ASSERT_TRUE(reflecting.CreateEx(0, L"BUTTON", L"A", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 50, 20,
                                    parent.GetSafeHwnd(), reinterpret_cast<HMENU>(10)));
    PassiveControl passive;
    ASSERT_TRUE(passive.CreateEx(0, L"BUTTON", L"B", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 60, 0, 50, 20,
                                 parent.GetSafeHwnd(), reinterpret_cast<HMENU>(11)));
    parent.ShowWindow(SW_SHOWNOACTIVATE);
    framework_test::PumpPending();

    // A real click of each button.
    ::SendMessageW(reflecting.GetSafeHwnd(), BM_CLICK, 0, 0);
    ::SendMessageW(passive.GetSafeHwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(reflecting.clicks, 1);
    EXPECT_EQ(parent.parentClicks10, 0);
    EXPECT_EQ(parent.parentClicks11, 1);

    NMHDR header = {reflecting.GetSafeHwnd(), 10, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(::SendMessageW(parent.GetSafeHwnd(), WM_NOTIFY, 10, reinterpret_cast<LPARAM>(&header)), 9);
    header = {passive.GetSafeHwnd(), 11, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(::SendMessageW(parent.GetSafeHwnd(), WM_NOTIFY, 11, reinterpret_cast<LPARAM>(&header)), 1);
    EXPECT_EQ(reflecting.notifies, 1);
    EXPECT_EQ(parent.parentNotifies, 1);

    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = 10;
    item.hwndItem = reflecting.GetSafeHwnd();
    const int drawsBefore = reflecting.draws;
    EXPECT_EQ(::SendMessageW(parent.GetSafeHwnd(), WM_DRAWITEM, 10, reinterpret_cast<LPARAM>(&item)), TRUE);
    EXPECT_EQ(reflecting.draws, drawsBefore + 1);
    item.CtlID = 11;
    item.hwndItem = passive.GetSafeHwnd();
    ::SendMessageW(parent.GetSafeHwnd(), WM_DRAWITEM, 11, reinterpret_cast<LPARAM>(&item));
    // The owner-drawn button's real paints went to it as well, never to the parent.
    EXPECT_GE(reflecting.draws, 1);
    EXPECT_EQ(parent.parentDraws, 1);
}

namespace
{
// A window class registered elsewhere, with a procedure of its own.
std::vector<UINT> g_foreignSeen;
LRESULT CALLBACK ForeignProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP + 5)
    {
        g_foreignSeen.push_back(message);
        return 42;
    }
    if (message == WM_APP + 6)
        g_foreignSeen.push_back(message);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

const wchar_t* ForeignClass()
{
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ForeignProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BrmpFrameworkTestForeign";
        return ::RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    return L"BrmpFrameworkTestForeign";
}

class AttachedWindow : public CWindow
{
public:
    AttachedWindow()
    {
        BindMessage(WM_CREATE, &AttachedWindow::OnCreate);
        BindMessage(WM_APP + 6, &AttachedWindow::OnOwn);
    }
    LRESULT OnCreate(WPARAM, LPARAM)
    {
        created = true;
        return Default();
    }
    LRESULT OnOwn(WPARAM, LPARAM)
    {
        ++own;
        return 6;
    }
    bool created = false;
    int own = 0;
};
}

TEST(FrameworkDispatch, AWindowOfAClassRegisteredElsewhereIsBoundFromItsCreationAndKeepsItsOwnProcedure)
{
    g_foreignSeen.clear();
    AttachedWindow window;
    ASSERT_TRUE(window.CreateEx(WS_EX_CLIENTEDGE, ForeignClass(), ForeignClass(), WS_POPUP, 0, 0, 0, 0, nullptr));
    EXPECT_TRUE(window.created);
    EXPECT_EQ(CWindow::FromHandle(window.GetSafeHwnd()), &window);

    EXPECT_EQ(::SendMessageW(window.GetSafeHwnd(), WM_APP + 5, 0, 0), 42);   // not bound: the class's procedure
    EXPECT_EQ(::SendMessageW(window.GetSafeHwnd(), WM_APP + 6, 0, 0), 6);    // bound: the object only
    EXPECT_EQ(window.own, 1);
    EXPECT_EQ(g_foreignSeen, std::vector<UINT>{WM_APP + 5});
}

TEST(FrameworkDispatch, SubclassingAnExistingWindowTakesItsMessagesUntilUnsubclassed)
{
    g_foreignSeen.clear();
    const HWND hwnd = ::CreateWindowExW(0, ForeignClass(), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    {
        AttachedWindow window;
        ASSERT_TRUE(window.SubclassWindow(hwnd));
        AttachedWindow second;
        EXPECT_FALSE(second.SubclassWindow(hwnd));
        EXPECT_EQ(::SendMessageW(hwnd, WM_APP + 6, 0, 0), 6);
        EXPECT_EQ(window.UnsubclassWindow(), hwnd);
        EXPECT_EQ(CWindow::FromHandle(hwnd), nullptr);
        EXPECT_EQ(::SendMessageW(hwnd, WM_APP + 6, 0, 0), 0);
    }
    // The window was not the object's own: it outlives it.
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(::SendMessageW(hwnd, WM_APP + 5, 0, 0), 42);
    EXPECT_EQ(g_foreignSeen, (std::vector<UINT>{WM_APP + 6, WM_APP + 5}));
    ::DestroyWindow(hwnd);
}

namespace
{
int g_selfDeletingDestroyed = 0;

// Lives on the heap for its window and deletes itself in PostNcDestroy.
class SelfDeletingWindow : public CWindow
{
public:
    SelfDeletingWindow()
    {
        BindCommand(1, &SelfDeletingWindow::OnClose);
        BindCommand(2, &SelfDeletingWindow::OnDeleteNow);
        BindMessage(WM_APP + 1, &SelfDeletingWindow::OnPing);
    }
    ~SelfDeletingWindow() override { ++g_selfDeletingDestroyed; }
    void OnClose() { DestroyWindow(); }
    void OnDeleteNow() { delete this; }
    LRESULT OnPing(WPARAM, LPARAM) { return 1; }
    void PostNcDestroy() override { delete this; }
};

class SelfDeletingRefusal : public SelfDeletingWindow
{
public:
    SelfDeletingRefusal() { BindMessage(WM_CREATE, &SelfDeletingRefusal::OnCreate); }
    LRESULT OnCreate(WPARAM, LPARAM) { return -1; }
};
}

TEST(FrameworkDispatch, AWindowObjectMayDeleteItselfInsideItsOwnHandler)
{
    g_selfDeletingDestroyed = 0;

    // Destroying the window from a handler deletes the object in PostNcDestroy.
    auto* first = new SelfDeletingWindow;
    ASSERT_TRUE(first->CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 10, 10, nullptr));
    const HWND firstWindow = first->GetSafeHwnd();
    SendCommand(firstWindow, 0, 1);
    EXPECT_EQ(g_selfDeletingDestroyed, 1);
    EXPECT_FALSE(::IsWindow(firstWindow));

    // Deleting the object from a handler destroys the window it created.
    auto* second = new SelfDeletingWindow;
    ASSERT_TRUE(second->CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 10, 10, nullptr));
    const HWND secondWindow = second->GetSafeHwnd();
    SendCommand(secondWindow, 0, 2);
    EXPECT_EQ(g_selfDeletingDestroyed, 2);
    EXPECT_FALSE(::IsWindow(secondWindow));

    // A window that refuses its creation takes its object with it.
    auto* third = new SelfDeletingRefusal;
    EXPECT_FALSE(third->CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 10, 10, nullptr));
    EXPECT_EQ(g_selfDeletingDestroyed, 3);
}

TEST(FrameworkDispatch, DeletingAnObjectWhoseWindowLivesUnbindsItFirst)
{
    auto* window = new SelfDeletingWindow;
    ASSERT_TRUE(window->CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 10, 10, nullptr));
    const HWND hwnd = window->GetSafeHwnd();
    EXPECT_EQ(::SendMessageW(hwnd, WM_APP + 1, 0, 0), 1);
    const int before = g_selfDeletingDestroyed;
    delete window;   // PostNcDestroy must not run a second delete
    EXPECT_EQ(g_selfDeletingDestroyed, before + 1);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(FrameworkDispatch, AWindowOfAnotherProcessIsNeverTakenForAnObject)
{
    // A window of another program of ours, given the property under which
    // this process keeps its objects.
    brmptest::ProbeOptions options;
    options.title = L"Brmp Foreign Window";
    options.rect = RECT{20, 600, 220, 800};
    options.activate = false;
    options.warmUp = false;
    brmptest::Probe other(options);
    ASSERT_TRUE(other.Start());
    const HWND foreign = other.Window();
    DWORD process = 0;
    ::GetWindowThreadProcessId(foreign, &process);
    ASSERT_NE(process, ::GetCurrentProcessId());
    static int notAnObject = 0;
    ASSERT_TRUE(::SetPropW(foreign, L"BrmpFramework.Object", &notAnObject));

    EXPECT_EQ(CWindow::FromHandle(foreign), nullptr);
    ParentWindow parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr));
    // A command naming that window as its control is not reflected to it.
    SendCommand(parent.GetSafeHwnd(), BN_CLICKED, 10, foreign);
    EXPECT_EQ(parent.parentClicks10, 1);
    CWindow object;
    EXPECT_FALSE(object.SubclassWindow(foreign));
}
