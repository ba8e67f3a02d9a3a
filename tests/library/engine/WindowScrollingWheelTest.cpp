// The mouse hook's vertical wheel redirection, called as the hook calls it,
// with real windows of this thread as the window under the cursor.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "ApplicationSettings.h"
#include "EngineTestSupport.h"
#include "Globals.h"
#include "Hooks.h"
#include "LayerTestSupport.h"
#include "Settings.h"
#include "WindowScrolling.h"

using namespace enginetest;

TEST(WheelRedirectionRules, HostedAppTrayAndTooltipClassesGetNoRedirectedWheel)
{
    struct Case
    {
        const wchar_t* cls;
        bool accepted;
        bool special;
    } const cases[] = {
        {L"Windows.UI.Core.CoreWindow", false, true},
        {L"Microsoft.UI.Content.DesktopChildSiteBridge", false, true},
        {L"Windows.UI.Composition.DesktopWindowContentBridge", false, true},
        {L"ApplicationFrameInputSinkWindowX", false, true},
        {L"ApplicationFrameInputSi", false, true},   // the first 22 characters decide
        {L"ApplicationFrameWindow", true, false},
        {L"TrayNotifyWnd", false, true},
        {L"tooltips_class32", false, false},
        {L"Notepad", true, false},
        {L"", true, false},
    };
    for (const Case& c : cases)
    {
        bool special = !c.special;
        EXPECT_EQ(IsWheelTargetClass(c.cls, &special), c.accepted) << c.cls;
        EXPECT_EQ(special, c.special) << c.cls;
    }
}

namespace
{
struct Posted
{
    HWND window;
    UINT message;
    WPARAM wParam;
};

std::vector<Posted> TakePosted()
{
    std::vector<Posted> posted;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_MOUSEWHEEL || msg.message == WM_VSCROLL)
            posted.push_back({msg.hwnd, msg.message, msg.wParam});
        else
            ::DispatchMessageW(&msg);
    }
    return posted;
}

class WheelRedirection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SetMouseHook());
        m_guard = std::make_unique<layertest::EngineStateGuard>();
        m_savedUnderCursor = g_pSettings->m_bScrollWindowUnderCursor;
        m_savedActivate = g_pSettings->m_bActivateOnScroll;
        g_pSettings->m_bScrollWindowUnderCursor = true;
        g_pSettings->m_bActivateOnScroll = false;
        // The window the hook found under the cursor, not the foreground one.
        g_pSettings->m_bSwitchOnMouseOver = true;

        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BrmpWheelTarget";
        ::RegisterClassW(&wc);
        m_under = ::CreateWindowExW(0, wc.lpszClassName, L"under", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_VSCROLL, 50,
                                    50, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
        m_front = ::CreateWindowExW(0, wc.lpszClassName, L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 50, 300,
                                    200, nullptr, nullptr, wc.hInstance, nullptr);
        ::SetForegroundWindow(m_front);
        ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == m_front; }));
        g_engine.hCurrentWnd = m_under;
        m_data.pt = {100, 100};
        m_data.mouseData = static_cast<DWORD>(WHEEL_DELTA) << 16;
        TakePosted();
    }
    void TearDown() override
    {
        ::DestroyWindow(m_front);
        ::DestroyWindow(m_under);
        g_pSettings->m_bScrollWindowUnderCursor = m_savedUnderCursor;
        g_pSettings->m_bActivateOnScroll = m_savedActivate;
        m_guard.reset();
        RemoveMouseHook(false);
    }
    CApplicationSettings* Profile() { return m_guard->Profile(); }

    std::unique_ptr<layertest::EngineStateGuard> m_guard;
    bool m_savedUnderCursor = false;
    bool m_savedActivate = false;
    HWND m_under = nullptr;
    HWND m_front = nullptr;
    MSLLHOOKSTRUCT m_data{};
};
} // namespace

TEST_F(WheelRedirection, TheDefaultMethodPostsTheEventsOwnNotchToTheWindowUnderTheCursor)
{
    Profile()->SetAdvScrollMethod(kScrollDefault);
    EXPECT_TRUE(ScrollVertical(&m_data, WHEEL_DELTA, true));
    const std::vector<Posted> posted = TakePosted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].window, m_under);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(posted[0].wParam), WHEEL_DELTA);
}

TEST_F(WheelRedirection, TheProfilesMethodScrollsAndTheDisabledMethodSwallowsTheNotch)
{
    Profile()->SetAdvScrollMethod(kScrollLines);
    EXPECT_TRUE(ScrollVertical(&m_data, -WHEEL_DELTA, true));
    std::vector<Posted> posted = TakePosted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_VSCROLL));
    EXPECT_EQ(posted[0].wParam, static_cast<WPARAM>(SB_LINEDOWN));

    Profile()->SetAdvScrollMethod(kScrollDisabled);
    EXPECT_TRUE(ScrollVertical(&m_data, WHEEL_DELTA, true));
    EXPECT_TRUE(TakePosted().empty());
}

TEST_F(WheelRedirection, TheWheelOverTheForegroundWindowOrWithTheOptionOffPassesOn)
{
    Profile()->SetAdvScrollMethod(kScrollDefault);
    g_engine.hCurrentWnd = m_front;
    EXPECT_FALSE(ScrollVertical(&m_data, WHEEL_DELTA, true));
    EXPECT_TRUE(TakePosted().empty());

    g_engine.hCurrentWnd = m_under;
    g_pSettings->m_bScrollWindowUnderCursor = false;
    EXPECT_FALSE(ScrollVertical(&m_data, WHEEL_DELTA, true));
    EXPECT_TRUE(TakePosted().empty());
}
