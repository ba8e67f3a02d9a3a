#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "MainWindowRecorder.h"
#include "MessageBox.h"
#include "MyMessageWnd.h"
#include "ShellTestFiles.h"
#include "WaitFor.h"

namespace
{
using brmptest::RecordingServices;

class MainWindowVersion : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<CMyMessageWnd>(false, false, false, false, services,
                                                 brmptest::UniqueMainWindowPipe(L"version"));
        ASSERT_TRUE(window->Create(nullptr, L"main window version test"));
        services.Clear();
    }
    void TearDown() override { window.reset(); }
    // A window that has announced nothing yet.
    void Fresh()
    {
        TearDown();
        SetUp();
    }

    LRESULT CheckResult(WPARAM version, DWORD result)
    {
        return window->SendMessage(::RegisterWindowMessageW(L"BRMPCheckVersion"), version,
                                   static_cast<LPARAM>(result));
    }

    RecordingServices services;
    std::unique_ptr<CMyMessageWnd> window;
};

TEST_F(MainWindowVersion, AFoundVersionIsAnnouncedWhenAutomaticAndDownloadedWhenTheUserAsked)
{
    const DWORD byUser = 0x80000000u;
    const struct
    {
        DWORD result;
        WPARAM version;
        const wchar_t* call;      // null: nothing reaches the services
        int pending;
        UINT boxIcon;             // 0: no box
    } cases[] = {
        {1, 2210000, L"Balloon(5)", 2210000, 0},
        {2, 2210100, L"Balloon(6)", 2210100, 0},
        {byUser | 1, 2210000, L"StartUpdate(2210000)", 0, 0},
        {byUser | 2, 2210100, L"StartUpdate(2210100)", 0, 0},
        {0, 0, nullptr, 0, 0},
        {byUser | 0, 0, nullptr, 0, MB_ICONINFORMATION},
        {128, 0, nullptr, 0, 0},
        {byUser | 128, 0, nullptr, 0, MB_ICONWARNING},
        {byUser | 240, 0, nullptr, 0, MB_ICONWARNING},
        {77, 5, nullptr, 0, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::hex << c.result);
        Fresh();
        std::vector<UINT> boxes;
        ScopedMessageBoxHandler answer([&](const MessageBoxRequest& box) {
            boxes.push_back(box.type & MB_ICONMASK);
            return IDOK;
        });
        EXPECT_EQ(CheckResult(c.version, c.result), 0);
        if (c.call)
            EXPECT_EQ(services.calls, std::vector<std::wstring>{c.call});
        else
            EXPECT_TRUE(services.calls.empty());
        EXPECT_EQ(window->GetPendingUpdateVersion(), c.pending);
        if (c.boxIcon)
            EXPECT_EQ(boxes, std::vector<UINT>{c.boxIcon});
        else
            EXPECT_TRUE(boxes.empty());
    }
}

TEST_F(MainWindowVersion, ADeclinedOfferComesBackInAnHourAndAFrameworkFailureIsLoggedWithItsMessage)
{
    services.acceptsUpdate = false;
    CheckResult(2210000, 0x80000001u);
    EXPECT_EQ(window->NextVersionCheckDelay(), CMyMessageWnd::DeclinedUpdateRetryMs);

    services.updateThrows = true;
    const shelltest::LogTail log;
    EXPECT_EQ(CheckResult(2210000, 0x80000001u), 0);
    EXPECT_TRUE(log.Contains(L"CMyMessageWnd::OnCheckVersion - Version check threw an exception: no update dialog"))
        << testing::PrintToString(log.Text());
}

TEST_F(MainWindowVersion, EachTickOfTheUpdateTimerStartsOneCheck)
{
    window->SendMessage(WM_TIMER, CMyMessageWnd::TimerVersionCheck, 0);
    EXPECT_EQ(services.Count(L"StartVersionCheck"), 1);
    window->SendMessage(WM_TIMER, CMyMessageWnd::TimerVersionCheck, 0);
    EXPECT_EQ(services.Count(L"StartVersionCheck"), 2);
}

TEST_F(MainWindowVersion, ThePeriodicCheckRunsOnAfterAManualCheckAndAfterASuspensionWhileRemappingWasOff)
{
    // Whether the update timer is armed: killing it succeeds only then (and disarms it).
    const auto armed = [&] { return ::KillTimer(window->GetSafeHwnd(), CMyMessageWnd::TimerVersionCheck) != FALSE; };

    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdCheckUpdate, 0), 0);
    EXPECT_EQ(services.Count(L"CheckForUpdateNow"), 1);
    EXPECT_TRUE(armed()) << "after the tray's Check for update";
    EXPECT_EQ(window->NextVersionCheckDelay(), CMyMessageWnd::VersionCheckPeriodMs);

    Fresh();
    services.reinstallOnResume = true;
    services.hooked = false;
    window->SendMessage(WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    window->SendMessage(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_FALSE(services.Called(L"SetMouseHook")) << "remapping stays off";
    EXPECT_TRUE(armed()) << "after resuming with remapping off";
}

TEST_F(MainWindowVersion, TheDebugHotkeysNewStateIsShownOnTheMainThread)
{
    services.notifications = true;
    const UINT message = CMyMessageWnd::DebugStateMessage;
    window->SendMessage(message, 1, 0);
    window->SendMessage(message, 0, 0);
    EXPECT_EQ(services.Count(L"Balloon(4)"), 2);
}
} // namespace
