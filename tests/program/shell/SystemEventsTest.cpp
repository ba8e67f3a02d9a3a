#include <gtest/gtest.h>

#include <windows.h>
#include <wtsapi32.h>

#include <memory>

#include "MainWindowRecorder.h"
#include "MyMessageWnd.h"
#include "SystemEvents.h"
#include "WaitFor.h"

namespace
{
using brmptest::RecordingServices;

TEST(SystemEventDecisions, AnUnlockReinstallsOnlyWhenTheOptionIsOnAndTheLastInstallIsOlderThanThirtySeconds)
{
    const struct
    {
        bool locked;
        bool option;
        DWORD elapsed;
        UnlockStep step;
    } cases[] = {
        {false, true, 30000, UnlockStep::IgnoreRecentInstall},
        {false, true, 30001, UnlockStep::Reinstall},
        {false, true, 0, UnlockStep::IgnoreRecentInstall},
        {false, true, 0xFFFFFFF0u, UnlockStep::Reinstall},   // the tick count wrapped: long ago
        {false, false, 30001, UnlockStep::IgnoreOptionOff},
        {true, false, 5, UnlockStep::InstallAfterLockedStart},
        {true, true, 5, UnlockStep::InstallAfterLockedStart},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.locked << c.option << " " << c.elapsed);
        EXPECT_EQ(DecideUnlock(c.locked, c.option, c.elapsed), c.step);
    }
}

TEST(SystemEventDecisions, PowerEventsAnswerTheSystemAsItExpects)
{
    const struct
    {
        WPARAM event;
        PowerStep step;
        LRESULT result;
    } cases[] = {
        {PBT_APMQUERYSUSPEND, PowerStep::LogOnly, 0},   {PBT_APMQUERYSUSPENDFAILED, PowerStep::LogOnly, 0},
        {PBT_APMSUSPEND, PowerStep::Suspend, 1},        {PBT_APMRESUMECRITICAL, PowerStep::Resume, 1},
        {PBT_APMBATTERYLOW, PowerStep::LogOnly, 0},     {PBT_APMPOWERSTATUSCHANGE, PowerStep::LogOnly, 0},
        {PBT_APMOEMEVENT, PowerStep::LogOnly, 0},       {PBT_APMRESUMEAUTOMATIC, PowerStep::Resume, 1},
        {PBT_APMRESUMESUSPEND, PowerStep::LogOnly, 0},  {0x8013, PowerStep::LogOnly, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.event);
        const PowerDecision d = DecidePowerEvent(c.event);
        EXPECT_EQ(d.step, c.step);
        EXPECT_EQ(d.result, c.result);
    }
    EXPECT_TRUE(SettingChangeConcernsLibrary(SPI_SETMOUSEBUTTONSWAP));
    EXPECT_TRUE(SettingChangeConcernsLibrary(SPI_SETWHEELSCROLLLINES));
    EXPECT_FALSE(SettingChangeConcernsLibrary(SPI_SETMOUSESPEED));
    EXPECT_EQ(SessionEventText(42), nullptr);
}

class SystemEvents : public ::testing::Test
{
protected:
    void Create(bool desktopLocked)
    {
        window = std::make_unique<CMyMessageWnd>(false, false, false, desktopLocked, services,
                                                 brmptest::UniqueMainWindowPipe(L"events"));
        ASSERT_TRUE(window->Create(nullptr, L"system events test"));
        services.Clear();
    }
    void TearDown() override { window.reset(); }

    LRESULT Session(WPARAM event) { return window->SendMessage(WM_WTSSESSION_CHANGE, event, 1); }
    LRESULT Power(WPARAM event) { return window->SendMessage(WM_POWERBROADCAST, event, 0); }

    RecordingServices services;
    std::unique_ptr<CMyMessageWnd> window;
};

TEST_F(SystemEvents, StartedOnALockedDesktopTheHooksAndDisplaysGoInOnceAtUnlock)
{
    services.hooked = false;
    Create(true);
    EXPECT_FALSE(services.Called(L"CreateOSDWindows"));

    Session(WTS_SESSION_LOCK);
    EXPECT_FALSE(services.Called(L"SetMouseHook"));
    Session(WTS_SESSION_UNLOCK);
    EXPECT_EQ(services.Count(L"SetMouseHook"), 1);
    EXPECT_EQ(services.Count(L"CreateOSDWindows"), 1);
    EXPECT_LT(services.IndexOf(L"CreateOSDWindows"), services.IndexOf(L"SetMouseHook"));
    EXPECT_FALSE(window->IsDesktopLockedAtStart());

    // A logon after that, and later unlocks within the guard time, install nothing more.
    services.now += 10;
    Session(WTS_SESSION_LOGON);
    EXPECT_EQ(services.Count(L"SetMouseHook"), 1);
    EXPECT_EQ(services.Count(L"CreateOSDWindows"), 1);
}

TEST_F(SystemEvents, ALogonAfterALockedStartInstallsTheHooksAndAFailedInstallIsTriedAgain)
{
    services.hooked = false;
    services.hookSucceeds = false;
    Create(true);
    Session(WTS_SESSION_LOGON);
    EXPECT_EQ(services.Count(L"SetMouseHook"), 1);
    EXPECT_TRUE(window->IsDesktopLockedAtStart()) << "the hooks did not go in";

    services.hookSucceeds = true;
    Session(WTS_SESSION_UNLOCK);
    EXPECT_EQ(services.Count(L"SetMouseHook"), 2);
    EXPECT_FALSE(window->IsDesktopLockedAtStart());
}

TEST_F(SystemEvents, AnUnlockReinstallsTheHooksUnlessTheyWentInWithinThirtySeconds)
{
    Create(false);
    Power(PBT_APMRESUMEAUTOMATIC);   // a re-installation at "now"
    services.Clear();

    services.now += 30000;
    Session(WTS_SESSION_UNLOCK);
    EXPECT_TRUE(services.CallsStartingWith(L"RemoveMouseHook").empty());
    EXPECT_FALSE(services.Called(L"SetMouseHook"));

    services.now += 1;
    Session(WTS_SESSION_UNLOCK);
    EXPECT_TRUE(services.Called(L"RemoveMouseHook(false)")) << "a re-installation keeps the user's mouse settings";
    EXPECT_LT(services.IndexOf(L"RemoveMouseHook(false)"), services.IndexOf(L"SetMouseHook"));
    EXPECT_EQ(window->LastHookInstall(), services.now);

    services.Clear();
    services.reinstallOnResume = false;
    services.now += 100000;
    Session(WTS_SESSION_UNLOCK);
    EXPECT_TRUE(services.calls.empty());
}

TEST_F(SystemEvents, SuspendRemovesTheHooksAndResumePutsThemBack)
{
    Create(false);
    EXPECT_EQ(Power(PBT_APMSUSPEND), 1);
    EXPECT_TRUE(services.Called(L"RemoveMouseHook(false)"));
    EXPECT_TRUE(services.Called(L"PauseBeforeSuspend"));
    EXPECT_FALSE(services.hooked);

    services.Clear();
    services.now = 777777;
    EXPECT_EQ(Power(PBT_APMRESUMEAUTOMATIC), 1);
    EXPECT_TRUE(services.Called(L"UpdateSettings"));
    EXPECT_TRUE(services.Called(L"SetMouseHook"));
    EXPECT_LT(services.IndexOf(L"UpdateSettings"), services.IndexOf(L"SetMouseHook"));
    EXPECT_TRUE(services.hooked);
    EXPECT_EQ(window->LastHookInstall(), 777777u);

    // A critical resume with no suspend before it re-hooks as well.
    services.Clear();
    EXPECT_EQ(Power(PBT_APMRESUMECRITICAL), 1);
    EXPECT_TRUE(services.Called(L"SetMouseHook"));
}

TEST_F(SystemEvents, WithTheReinstallOptionOffPowerEventsOnlyLog)
{
    services.reinstallOnResume = false;
    Create(false);
    for (WPARAM event : {WPARAM{PBT_APMQUERYSUSPEND}, WPARAM{PBT_APMSUSPEND}, WPARAM{PBT_APMRESUMEAUTOMATIC},
                         WPARAM{PBT_APMRESUMECRITICAL}, WPARAM{PBT_APMBATTERYLOW}, WPARAM{PBT_APMPOWERSTATUSCHANGE}})
        Power(event);
    EXPECT_TRUE(services.calls.empty());
    EXPECT_TRUE(services.hooked);
}

TEST_F(SystemEvents, RemappingTheUserSwitchedOffStaysOffAfterTheSystemResumes)
{
    Create(false);
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdDisable, 0), 0);
    ASSERT_FALSE(services.hooked);
    services.Clear();

    Power(PBT_APMSUSPEND);
    Power(PBT_APMRESUMEAUTOMATIC);
    EXPECT_FALSE(services.Called(L"SetMouseHook"));
    EXPECT_FALSE(services.hooked);
}

TEST_F(SystemEvents, ADisplayChangeTellsTheLibraryAndSettingChangesEndInOneRefresh)
{
    Create(false);
    EXPECT_EQ(window->SendMessage(WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080)), 1);
    EXPECT_EQ(services.Count(L"DisplayChanged"), 1);

    EXPECT_EQ(window->SendMessage(WM_SETTINGCHANGE, SPI_SETMOUSESPEED, 0), 1);
    EXPECT_EQ(window->SendMessage(WM_SETTINGCHANGE, SPI_SETWHEELSCROLLLINES, 0), 1);
    EXPECT_EQ(window->SendMessage(WM_SETTINGCHANGE, SPI_SETMOUSEBUTTONSWAP, 0), 1);
    EXPECT_FALSE(services.Called(L"UpdateSPIThread")) << "the refresh waits for the burst to end";
    ASSERT_TRUE(brmptest::WaitFor([&] { return services.Called(L"UpdateSPIThread"); }, 10000));
    // The timer was a one-shot: wait out the time of a second firing on a marker timer.
    static bool marker;
    marker = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 2500, [](HWND, UINT, UINT_PTR, DWORD) { marker = true; });
    brmptest::WaitFor([&] { return marker; }, 10000);
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(services.Count(L"UpdateSPIThread"), 1);
}
} // namespace
