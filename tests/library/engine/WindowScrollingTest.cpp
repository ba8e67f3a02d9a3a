// Window scrolling: the scroll methods turn a wheel delta into the posted
// messages of real windows of this thread, read back from the message queue.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Globals.h"
#include "PhysicalInput.h"
#include "WaitFor.h"
#include "WindowActivation.h"
#include "WindowScrolling.h"

namespace
{
struct Posted
{
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Everything posted to this thread's windows so far, in order.
std::vector<Posted> TakePosted()
{
    std::vector<Posted> posted;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        switch (msg.message)
        {
        case WM_VSCROLL:
        case WM_HSCROLL:
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL:
            posted.push_back({msg.hwnd, msg.message, msg.wParam, msg.lParam});
            break;
        default:
            ::DispatchMessageW(&msg);
        }
    }
    return posted;
}

class TestWindows
{
public:
    TestWindows()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BrmpScrollTarget";
        ::RegisterClassW(&wc);
    }
    ~TestWindows()
    {
        for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it)
            ::DestroyWindow(*it);
        TakePosted();
    }
    HWND TopLevel(DWORD style, int x = 100, int y = 100, int width = 400, int height = 300)
    {
        return Keep(::CreateWindowExW(0, L"BrmpScrollTarget", L"scroll target", WS_OVERLAPPED | style, x, y, width,
                                      height, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    }
    HWND Child(HWND parent, const wchar_t* cls, DWORD style, int x, int y, int width, int height)
    {
        return Keep(::CreateWindowExW(0, cls, nullptr, WS_CHILD | style, x, y, width, height, parent, nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr));
    }

private:
    HWND Keep(HWND window)
    {
        EXPECT_NE(window, nullptr);
        m_windows.push_back(window);
        return window;
    }
    std::vector<HWND> m_windows;
};

LPARAM L(HWND window)
{
    return reinterpret_cast<LPARAM>(window);
}

class WindowScrolling : public ::testing::Test
{
protected:
    void SetUp() override { TakePosted(); }
    TestWindows windows;
};
} // namespace

TEST(WindowScrollingRules, LinesNotchesAndCodesFollowTheDelta)
{
    struct Case
    {
        int delta;
        int lines;
        int notches;
        WORD vertical;
        WORD horizontal;
    } const cases[] = {
        {40, 1, 0, SB_LINEUP, SB_LINERIGHT},      // a high-resolution step still moves one line
        {120, 1, 1, SB_LINEUP, SB_LINERIGHT},
        {121, 2, 1, SB_LINEUP, SB_LINERIGHT},
        {360, 3, 3, SB_LINEUP, SB_LINERIGHT},
        {-40, 1, 0, SB_LINEDOWN, SB_LINELEFT},
        {-240, 2, 2, SB_LINEDOWN, SB_LINELEFT},
        {0, 0, 0, SB_LINEDOWN, SB_LINELEFT},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(ScrollLineCount(c.delta), c.lines) << c.delta;
        EXPECT_EQ(ScrollNotches(c.delta), c.notches) << c.delta;
        EXPECT_EQ(ScrollLineCode(false, c.delta), c.vertical) << c.delta;
        EXPECT_EQ(ScrollLineCode(true, c.delta), c.horizontal) << c.delta;
    }
}

TEST(WindowScrollingRules, TheThumbPositionMovesByNotchesWithinTheRange)
{
    EXPECT_EQ(ScrollThumbPosition(50, 0, 100, 240), 52);
    EXPECT_EQ(ScrollThumbPosition(50, 0, 100, -240), 48);
    EXPECT_EQ(ScrollThumbPosition(50, 0, 100, 100), 50);
    EXPECT_EQ(ScrollThumbPosition(99, 0, 100, 600), 100);
    EXPECT_EQ(ScrollThumbPosition(1, 0, 100, -600), 0);
}

TEST(WindowScrollingRules, OnlyAHighIntegrityProcessSendsToAHigherOne)
{
    EXPECT_TRUE(IntegrityAllowsSend(0x2000, 0x2000));
    EXPECT_TRUE(IntegrityAllowsSend(0x2000, 0x1000));
    EXPECT_FALSE(IntegrityAllowsSend(0x2000, 0x3000));
    EXPECT_TRUE(IntegrityAllowsSend(0x3000, 0x4000));
    EXPECT_TRUE(IntegrityAllowsSend(0x2000, 0)); // unknown: not elevated
}

TEST(WindowScrollingRules, MouseMessagesHaveTheirNamesForTheLog)
{
    wchar_t buffer[kMouseMessageNameChars];
    GetMouseMessageName(WM_LBUTTONDOWN, buffer);
    EXPECT_STREQ(buffer, L" (WM_LBUTTONDOWN)");
    GetMouseMessageName(WM_MOUSEHWHEEL, buffer);
    EXPECT_STREQ(buffer, L" (WM_MOUSEHWHEEL)");
    GetMouseMessageName(WM_XBUTTONDBLCLK, buffer);
    EXPECT_STREQ(buffer, L" (WM_XBUTTONDBLCLK)");
    GetMouseMessageName(WM_NCLBUTTONDOWN, buffer);
    EXPECT_STREQ(buffer, L" (UNKNOWN)");
}

TEST_F(WindowScrolling, AWindowShowingItsOwnBarGetsTheLinesDirectlyAndAnEndWithoutBar)
{
    HWND window = windows.TopLevel(WS_VISIBLE | WS_VSCROLL);
    ASSERT_EQ(FindScrollBar(window, false), window);

    ASSERT_TRUE(Scroll(window, WM_VSCROLL, 40, kScrollLines));
    const std::vector<Posted> posted = TakePosted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].window, window);
    EXPECT_EQ(posted[0].wParam, static_cast<WPARAM>(SB_LINEUP));
    EXPECT_EQ(posted[1].wParam, static_cast<WPARAM>(SB_ENDSCROLL));
    EXPECT_EQ(posted[1].lParam, 0);
}

TEST_F(WindowScrolling, AScrollBarChildGetsEachLineAndTheWindowACopy)
{
    HWND window = windows.TopLevel(WS_VISIBLE);
    HWND bar = windows.Child(window, L"ScrollBar", WS_VISIBLE | SBS_HORZ, 0, 280, 380, 20);
    ASSERT_EQ(FindScrollBar(window, true), bar);

    ASSERT_TRUE(Scroll(window, WM_HSCROLL, -240, kScrollLines));
    const std::vector<Posted> posted = TakePosted();
    ASSERT_EQ(posted.size(), 6u);
    for (size_t i = 0; i < 6; ++i)
    {
        EXPECT_EQ(posted[i].message, static_cast<UINT>(WM_HSCROLL));
        EXPECT_EQ(posted[i].window, i % 2 == 0 ? bar : window) << i;
        EXPECT_EQ(posted[i].lParam, L(bar)) << i;
        EXPECT_EQ(posted[i].wParam, static_cast<WPARAM>(i < 4 ? SB_LINELEFT : SB_ENDSCROLL)) << i;
    }
}

TEST_F(WindowScrolling, TheBarSearchSkipsHiddenBarsOtherClassesAndTheOtherDirection)
{
    HWND window = windows.TopLevel(WS_VISIBLE);
    windows.Child(window, L"ScrollBar", SBS_VERT, 380, 0, 20, 100);                  // hidden
    windows.Child(window, L"Static", WS_VISIBLE | SBS_VERT, 360, 0, 20, 100);        // not a scroll bar
    windows.Child(window, L"ScrollBar", WS_VISIBLE | SBS_HORZ, 0, 280, 380, 20);     // other direction
    EXPECT_EQ(FindScrollBar(window, false), nullptr);
    HWND vertical = windows.Child(window, L"ScrollBar", WS_VISIBLE | SBS_VERT, 380, 100, 20, 100);
    EXPECT_EQ(FindScrollBar(window, false), vertical);

    // No bar at all: the scroll-bar methods decline so that the caller posts a wheel.
    HWND bare = windows.TopLevel(WS_VISIBLE);
    EXPECT_FALSE(Scroll(bare, WM_VSCROLL, 120, kScrollLines));
    EXPECT_FALSE(Scroll(bare, WM_VSCROLL, 120, kScrollThumb));
    EXPECT_TRUE(TakePosted().empty());
}

TEST_F(WindowScrolling, OfTwoVerticalBarsTheOneBesideTheCursorIsDriven)
{
    HWND window = windows.TopLevel(WS_VISIBLE, 100, 100, 400, 400);
    HWND upper = windows.Child(window, L"ScrollBar", WS_VISIBLE | SBS_VERT, 380, 0, 20, 150);
    HWND lower = windows.Child(window, L"ScrollBar", WS_VISIBLE | SBS_VERT, 380, 150, 20, 150);
    // The enumeration order decides which one is "second".
    HWND first = ::GetWindow(window, GW_CHILD);
    HWND second = ::GetWindow(first, GW_HWNDNEXT);
    ASSERT_TRUE((first == upper && second == lower) || (first == lower && second == upper));
    RECT secondRect{};
    ::GetWindowRect(second, &secondRect);

    POINT saved{};
    ::GetCursorPos(&saved);
    // A physical move: after earlier tests' injected presses Wine can put a
    // pointer placed with SetCursorPos back where the X pointer stayed. The
    // position reaches the system a moment after the move.
    const auto moveCursor = [](int x, int y) {
        if (!brmptest::PhysicalInput::MoveTo(x, y))
            return false;
        return brmptest::WaitFor([&] {
            POINT now{};
            return ::GetCursorPos(&now) && now.x == x && now.y == y;
        });
    };
    ASSERT_TRUE(moveCursor(200, secondRect.bottom - 5));
    EXPECT_EQ(FindScrollBar(window, false), second);
    ASSERT_TRUE(moveCursor(200, secondRect.bottom + 5));
    EXPECT_EQ(FindScrollBar(window, false), first);
    ::SetCursorPos(saved.x, saved.y);
}

TEST_F(WindowScrolling, TheThumbMethodMovesTowardsTheWheelForOwnAndControlBars)
{
    // Up lowers a vertical position and right raises a horizontal one, for the
    // window's own bars and for scroll-bar controls alike.
    HWND own = windows.TopLevel(WS_VISIBLE | WS_VSCROLL | WS_HSCROLL);
    HWND host = windows.TopLevel(WS_VISIBLE);
    HWND control = windows.Child(host, L"ScrollBar", WS_VISIBLE | SBS_VERT, 380, 0, 20, 200);
    SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_POS, 0, 100, 0, 50, 0};
    ::SetScrollInfo(own, SB_VERT, &info, FALSE);
    ::SetScrollInfo(own, SB_HORZ, &info, FALSE);
    ::SetScrollInfo(control, SB_CTL, &info, FALSE);
    TakePosted();

    struct Case
    {
        HWND window;
        HWND bar;
        UINT message;
        short delta;
        int position;
    } const cases[] = {
        {own, own, WM_VSCROLL, 240, 48},     {own, own, WM_VSCROLL, -360, 53},
        {own, own, WM_HSCROLL, 240, 52},     {host, control, WM_VSCROLL, 240, 48},
        {host, control, WM_VSCROLL, -120, 51},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(Scroll(c.window, c.message, c.delta, kScrollThumb));
        const std::vector<Posted> posted = TakePosted();
        ASSERT_EQ(posted.size(), 1u) << c.delta;
        EXPECT_EQ(posted[0].window, c.bar);
        EXPECT_EQ(LOWORD(posted[0].wParam), SB_THUMBPOSITION);
        EXPECT_EQ(static_cast<int>(HIWORD(posted[0].wParam)), c.position) << c.delta;
        EXPECT_EQ(posted[0].lParam, L(c.bar));
    }
}

TEST_F(WindowScrolling, TheMessageMethodsPostWholeNotchesToTheWindow)
{
    HWND window = windows.TopLevel(WS_VISIBLE);

    // Arrow keys: one press and release per notch; a part notch sends nothing.
    ASSERT_TRUE(Scroll(window, WM_HSCROLL, 240, kScrollArrowKeys));
    std::vector<Posted> posted = TakePosted();
    ASSERT_EQ(posted.size(), 4u);
    const UINT scan = ::MapVirtualKeyW(VK_RIGHT, MAPVK_VK_TO_VSC);
    for (size_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ(posted[i].message, static_cast<UINT>(i % 2 == 0 ? WM_KEYDOWN : WM_KEYUP));
        EXPECT_EQ(posted[i].wParam, static_cast<WPARAM>(VK_RIGHT));
        const DWORD bits = static_cast<DWORD>(posted[i].lParam);
        EXPECT_EQ(bits & 0xFFFF, 1u);
        EXPECT_EQ((bits >> 16) & 0xFF, scan & 0xFF);
        EXPECT_EQ(bits >> 30, i % 2 == 0 ? 0u : 3u);
    }
    ASSERT_TRUE(Scroll(window, WM_HSCROLL, -40, kScrollArrowKeys));
    EXPECT_TRUE(TakePosted().empty());

    // A wheel message with a third of the delta.
    ASSERT_TRUE(Scroll(window, WM_VSCROLL, 120, kScrollWheelMessage));
    posted = TakePosted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(posted[0].wParam), 40);
    ASSERT_TRUE(Scroll(window, WM_HSCROLL, -120, kScrollWheelMessage));
    posted = TakePosted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_MOUSEHWHEEL));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(posted[0].wParam), -40);

    // Line messages to the window itself, none for a part notch.
    ASSERT_TRUE(Scroll(window, WM_VSCROLL, -240, kScrollWindowLines));
    posted = TakePosted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1].window, window);
    EXPECT_EQ(posted[1].wParam, static_cast<WPARAM>(SB_LINEDOWN));
    ASSERT_TRUE(Scroll(window, WM_VSCROLL, 40, kScrollWindowLines));
    EXPECT_TRUE(TakePosted().empty());
}

TEST_F(WindowScrolling, TheDefaultMethodDeclinesAndTheDisabledOneSwallows)
{
    HWND window = windows.TopLevel(WS_VISIBLE | WS_VSCROLL);
    EXPECT_FALSE(Scroll(window, WM_VSCROLL, 120, kScrollDefault));
    EXPECT_FALSE(Scroll(window, WM_VSCROLL, 120, kScrollDefaultAlt));
    EXPECT_TRUE(Scroll(window, WM_VSCROLL, 120, kScrollDisabled));
    EXPECT_TRUE(Scroll(window, WM_VSCROLL, 120, kScrollDisabledAlt));
    EXPECT_TRUE(TakePosted().empty());
    // Any other value scrolls by lines.
    EXPECT_TRUE(Scroll(window, WM_VSCROLL, 120, 77));
    EXPECT_EQ(TakePosted().size(), 2u);
}

TEST_F(WindowScrolling, ADisabledWindowIsScrolledThroughItsEnabledParent)
{
    HWND window = windows.TopLevel(WS_VISIBLE);
    HWND child = windows.Child(window, L"BrmpScrollTarget", WS_VISIBLE, 0, 0, 100, 100);
    HWND grandChild = windows.Child(child, L"BrmpScrollTarget", WS_VISIBLE, 0, 0, 50, 50);
    EXPECT_EQ(GetFirstEnabledWindow(grandChild), grandChild);
    ::EnableWindow(grandChild, FALSE);
    ::EnableWindow(child, FALSE);
    EXPECT_EQ(GetFirstEnabledWindow(grandChild), window);

    ASSERT_TRUE(Scroll(grandChild, WM_VSCROLL, 120, kScrollWheelMessage));
    const std::vector<Posted> posted = TakePosted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].window, window);

    ::EnableWindow(window, FALSE);
    EXPECT_EQ(GetFirstEnabledWindow(grandChild), nullptr);
    // No receiver: nothing posted, and still done.
    EXPECT_TRUE(Scroll(grandChild, WM_VSCROLL, 120, kScrollWheelMessage));
    EXPECT_TRUE(TakePosted().empty());
}
