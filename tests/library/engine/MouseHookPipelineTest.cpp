// The mouse hook procedure called directly with synthetic events, outside a
// hook chain: 0 means the event was passed on, 1 that it was dropped. The
// button processor is replaced by a recorder and the hook's clock by a
// virtual one.

#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Clock.h"
#include "Globals.h"
#include "HeldInput.h"
#include "MouseHook.h"
#include "Settings.h"
#include "TimerThread.h"
#include "ThreadLock.h"

namespace
{
struct Call
{
    int button;
    int kind;
    bool fast;
    DWORD mouseData;
};

std::vector<Call> g_calls;
bool g_takeOver = false;
BYTE g_throttle = 0;
DWORD g_clock = 100000;
DWORD g_clockStep = 0;

bool Recorder(int button, int kind, bool fast, MSLLHOOKSTRUCT* data, BYTE& passAnyway, BYTE& injected, BYTE& throttle)
{
    g_calls.push_back({button, kind, fast, data->mouseData});
    passAnyway = 0;
    injected = 0;
    throttle = g_throttle;
    return g_takeOver;
}

DWORD VirtualClock()
{
    const DWORD now = g_clock;
    g_clock += g_clockStep;
    return now;
}

const HHOOK kFakeHook = reinterpret_cast<HHOOK>(static_cast<UINT_PTR>(0x4D4800));

class MouseHookPipeline : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(g_pSettings, nullptr);
        m_settings = ReadFields();
        g_engine.Reset();
        g_hook.Reset();
        g_held.Forget();
        m_timeout = g_system.dwHookTimeout;
        g_threads.hMouseHook = kFakeHook;
        g_system.dwHookTimeout = 0;
        CSettings* s = g_pSettings;
        s->m_bSwitchOnMouseOver = false;
        s->m_bActivateOnMouseOver = false;
        s->m_bScrollLockBypassAll = false;
        s->m_bDisableInRDP = false;
        s->m_bFilterTouch = false;
        s->m_bDebounceButtons = false;
        s->m_bRemapSimulatedInput = true;
        s->m_bSwap4and5 = false;
        s->m_bSwap4and5InRDP = false;
        s->m_bProcessNonClientMsgs = true;
        s->m_bQuillon = false;
        s->m_bRedirectWheelToOSD = false;
        s->m_uSimKeyDelay = 0;
        ResetMouseHookState();
        g_calls.clear();
        g_takeOver = false;
        g_throttle = 0;
        g_clock = 100000;
        g_clockStep = 0;
        SetMouseButtonProcessor(Recorder);
        SetTickSource(VirtualClock);
    }
    void TearDown() override
    {
        SetMouseButtonProcessor(nullptr);
        SetTickSource(nullptr);
        RestoreFields(m_settings);
        g_threads.hMouseHook = nullptr;
        g_engine.Reset();
        g_hook.Reset();
        g_held.Forget();
        g_system.dwHookTimeout = m_timeout;
        ResetMouseHookState();
        delete m_profile;
        MSG msg;
        while (::PeekMessageW(&msg, reinterpret_cast<HWND>(-1), BRMP_ResetHook, BRMP_ResetHook, PM_REMOVE))
        {
        }
    }

    // The option fields the tests change, saved and put back as one block.
    struct Fields
    {
        bool switchOnMouseOver, activateOnMouseOver, scrollLock, rdp, touch, debounce, fromUp, remap, swap, swapRdp,
            nonClient, quillon, osd;
        int debounceTime;
        unsigned simKeyDelay;
    };
    static Fields ReadFields()
    {
        const CSettings* s = g_pSettings;
        return {s->m_bSwitchOnMouseOver, s->m_bActivateOnMouseOver, s->m_bScrollLockBypassAll, s->m_bDisableInRDP,
                 s->m_bFilterTouch, s->m_bDebounceButtons, s->m_bDebounceFromUp, s->m_bRemapSimulatedInput,
                 s->m_bSwap4and5, s->m_bSwap4and5InRDP, s->m_bProcessNonClientMsgs, s->m_bQuillon,
                 s->m_bRedirectWheelToOSD, s->m_nDebounceTime, s->m_uSimKeyDelay};
    }
    static void RestoreFields(const Fields& f)
    {
        CSettings* s = g_pSettings;
        s->m_bSwitchOnMouseOver = f.switchOnMouseOver;
        s->m_bActivateOnMouseOver = f.activateOnMouseOver;
        s->m_bScrollLockBypassAll = f.scrollLock;
        s->m_bDisableInRDP = f.rdp;
        s->m_bFilterTouch = f.touch;
        s->m_bDebounceButtons = f.debounce;
        s->m_bDebounceFromUp = f.fromUp;
        s->m_bRemapSimulatedInput = f.remap;
        s->m_bSwap4and5 = f.swap;
        s->m_bSwap4and5InRDP = f.swapRdp;
        s->m_bProcessNonClientMsgs = f.nonClient;
        s->m_bQuillon = f.quillon;
        s->m_bRedirectWheelToOSD = f.osd;
        s->m_nDebounceTime = f.debounceTime;
        s->m_uSimKeyDelay = f.simKeyDelay;
    }

    // A profile in force whose wheel slots hold the given actions on layer 0.
    CApplicationSettings* UseProfile(int wheelUpAction, int wheelDownAction, bool inverted = false)
    {
        m_profile = new CApplicationSettings(g_pSettings, false, 1);
        m_profile->SetActions(7, 0, wheelUpAction);
        m_profile->SetActions(8, 0, wheelDownAction);
        m_profile->SetInvertScrolling(inverted);
        g_engine.pCurrentApp = m_profile;
        return m_profile;
    }

    static LRESULT Send(UINT message, DWORD mouseData = 0, DWORD flags = 0, ULONG_PTR extra = 0, DWORD time = 0,
                        MSLLHOOKSTRUCT* out = nullptr)
    {
        MSLLHOOKSTRUCT data{};
        ::GetCursorPos(&data.pt);
        data.mouseData = mouseData;
        data.flags = flags;
        data.time = time;
        data.dwExtraInfo = extra;
        const LRESULT result = MouseHookLLProc(HC_ACTION, message, reinterpret_cast<LPARAM>(&data));
        if (out != nullptr)
            *out = data;
        return result;
    }
    static DWORD Wheel(int delta) { return MAKELONG(0, static_cast<WORD>(static_cast<short>(delta))); }

    Fields m_settings{};
    CApplicationSettings* m_profile = nullptr;
    DWORD m_timeout = 0;
};
}

TEST_F(MouseHookPipeline, NegativeCodesPassAndANullHookHandleDrops)
{
    MSLLHOOKSTRUCT data{};
    EXPECT_EQ(MouseHookLLProc(-1, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&data)), 0);
    g_threads.hMouseHook = nullptr;
    EXPECT_EQ(MouseHookLLProc(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&data)), 1);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(MouseHookPipeline, TouchEventsAreLeftAloneOnlyWhenTheFilterIsOn)
{
    g_takeOver = true;
    g_pSettings->m_bFilterTouch = true;
    EXPECT_EQ(Send(WM_RBUTTONDOWN, 0, 0, 0xFF515780), 0);
    EXPECT_TRUE(g_calls.empty());
    g_pSettings->m_bFilterTouch = false;
    EXPECT_EQ(Send(WM_RBUTTONDOWN, 0, 0, 0xFF515780), 1);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].button, 1);
}

TEST_F(MouseHookPipeline, InjectedInputIsTheLibrarysOwnByItsSignatureWhateverHookIsInAndForeignInputIsProcessedOnlyWithRemapping)
{
    g_takeOver = true;
    struct Case
    {
        const char* name;
        ULONG_PTR extra;
        bool remap;
        bool processed;
    };
    const Case cases[] = {
        {"own input", OwnInputSignature(), true, false},
        {"foreign input with remapping", 0x99, true, true},
        {"foreign input without remapping", 0x99, false, false},
        // Events the library sent before the hook was put back carry the same
        // signature as those after it; a hook's handle is no signature.
        {"own input after a put-back", OwnInputSignature(), true, false},
        {"foreign input carrying the hook's handle", reinterpret_cast<ULONG_PTR>(kFakeHook), true, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) == "own input after a put-back")
            g_threads.hMouseHook = reinterpret_cast<HHOOK>(static_cast<UINT_PTR>(0x4D4900));
        g_calls.clear();
        g_pSettings->m_bRemapSimulatedInput = c.remap;
        EXPECT_EQ(Send(WM_LBUTTONDOWN, 0, LLMHF_INJECTED, c.extra), c.processed ? 1 : 0);
        EXPECT_EQ(g_calls.size(), c.processed ? 1u : 0u);
        Send(WM_LBUTTONUP, 0, LLMHF_INJECTED, c.extra);
    }
}

TEST_F(MouseHookPipeline, ABouncedDownIsDroppedWithItsUpAndTheNextPressAfterAPauseIsProcessed)
{
    g_pSettings->m_bDebounceButtons = true;
    g_pSettings->m_nDebounceTime = 50;
    g_takeOver = true;
    struct Step
    {
        UINT message;
        DWORD time;
        LRESULT result;
        bool processed;
    };
    const Step steps[] = {
        {WM_LBUTTONDOWN, 1000, 1, true},  {WM_LBUTTONUP, 1020, 1, true},  {WM_LBUTTONDOWN, 1050, 1, false},
        {WM_LBUTTONUP, 1060, 1, false},   {WM_LBUTTONDOWN, 1200, 1, true}, {WM_LBUTTONUP, 1210, 1, true},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(::testing::Message() << "message 0x" << std::hex << step.message << " at " << std::dec << step.time);
        const size_t before = g_calls.size();
        EXPECT_EQ(Send(step.message, 0, 0, 0, step.time), step.result);
        EXPECT_EQ(g_calls.size() - before, step.processed ? 1u : 0u);
    }
    // Injected input is never debounced.
    g_calls.clear();
    Send(WM_LBUTTONDOWN, 0, LLMHF_INJECTED, 0x99, 1215);
    EXPECT_EQ(g_calls.size(), 1u);
}

TEST_F(MouseHookPipeline, AnXButtonEventWithAnUnknownButtonWordIsPassedOnSafely)
{
    g_pSettings->m_bDebounceButtons = true;
    g_takeOver = true;
    EXPECT_EQ(Send(WM_XBUTTONDOWN, MAKELONG(0, 0x8000), 0, 0, 1000), 0);
    EXPECT_EQ(Send(WM_XBUTTONUP, MAKELONG(0, 0xFFFF), 0, 0, 1010), 0);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(MouseHookPipeline, TheDownStateFollowsTheButtonsWithTheXSwap)
{
    g_pSettings->m_bSwap4and5 = true;
    g_takeOver = true;
    Send(WM_XBUTTONDOWN, MAKELONG(0, XBUTTON1));
    EXPECT_TRUE(g_held.UserHolds(4));
    EXPECT_FALSE(g_held.UserHolds(3));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].button, 4);
    EXPECT_EQ(HIWORD(g_calls[0].mouseData), XBUTTON2);
    Send(WM_XBUTTONUP, MAKELONG(0, XBUTTON1));
    EXPECT_FALSE(g_held.UserHolds(4));
    Send(WM_RBUTTONDOWN);
    EXPECT_TRUE(g_held.UserHolds(1));
}

TEST_F(MouseHookPipeline, HighResolutionWheelStepsAreDroppedWhenTheWheelHasAnAction)
{
    UseProfile(ACTION_BACK, ACTION_BACK);
    ASSERT_EQ(g_engine.pCurrentApp->GetActions(8, 0), ACTION_BACK);
    g_takeOver = true;
    EXPECT_EQ(Send(WM_MOUSEWHEEL, Wheel(-40)), 1);
    EXPECT_EQ(Send(WM_MOUSEWHEEL, Wheel(-40)), 1);
    EXPECT_TRUE(g_calls.empty()) << "no notch yet";
    EXPECT_EQ(Send(WM_MOUSEWHEEL, Wheel(-40)), 1);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].button, 8);
    EXPECT_EQ(g_calls[0].kind, 1);
    EXPECT_EQ(g_calls[1].kind, 2);
}

TEST_F(MouseHookPipeline, HighResolutionWheelStepsPassWhenTheWheelHasNoAction)
{
    UseProfile(ACTION_NO_CHANGE, ACTION_NO_CHANGE);
    ASSERT_EQ(g_engine.pCurrentApp->GetActions(7, 0), ACTION_NO_CHANGE);
    EXPECT_EQ(Send(WM_MOUSEWHEEL, Wheel(40)), 0);
    EXPECT_EQ(Send(WM_MOUSEWHEEL, Wheel(40)), 0);
    EXPECT_EQ(Send(WM_MOUSEWHEEL, Wheel(40)), 0) << "the processor did not take the notch";
    ASSERT_EQ(g_calls.size(), 1u) << "a down that is not taken over sends no up";
    EXPECT_EQ(g_calls[0].button, 7);
}

TEST_F(MouseHookPipeline, InvertedScrollingTurnsTheNotchButNotTheEvent)
{
    UseProfile(ACTION_BACK, ACTION_BACK, true);
    g_takeOver = true;
    MSLLHOOKSTRUCT seen{};
    EXPECT_EQ(Send(WM_MOUSEWHEEL, Wheel(120), 0, 0, 0, &seen), 1);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0].button, 8);
    EXPECT_EQ(static_cast<short>(HIWORD(seen.mouseData)), 120);
}

TEST_F(MouseHookPipeline, AThrottledNotchDropsTheNextOnesFor80MsAndTheFastWheelFlagLasts150Ms)
{
    UseProfile(ACTION_BACK, ACTION_BACK);
    g_takeOver = true;
    g_throttle = 1;
    struct Step
    {
        DWORD clock;
        size_t calls;    // processor calls made by this notch
        bool fast;
    };
    const Step steps[] = {
        {100000, 2, false}, {100079, 0, false}, {100080, 2, true}, {100229, 2, true}, {100400, 2, false},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(::testing::Message() << "at " << step.clock);
        g_clock = step.clock;
        g_calls.clear();
        EXPECT_EQ(Send(WM_MOUSEWHEEL, Wheel(120)), 1);
        ASSERT_EQ(g_calls.size(), step.calls);
        if (step.calls > 0)
        {
            EXPECT_EQ(g_calls[0].fast, step.fast);
        }
    }
}

TEST_F(MouseHookPipeline, AMoveFarFromTheLastEndsTheFastWheel)
{
    UseProfile(ACTION_BACK, ACTION_BACK);
    g_takeOver = true;
    Send(WM_MOUSEWHEEL, Wheel(120));
    g_clock += 20;
    MSLLHOOKSTRUCT move{};
    move.pt = {g_ptLastMove.x + 50, g_ptLastMove.y};
    EXPECT_EQ(MouseHookLLProc(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&move)), 0);
    g_calls.clear();
    Send(WM_MOUSEWHEEL, Wheel(120));
    ASSERT_FALSE(g_calls.empty());
    EXPECT_FALSE(g_calls[0].fast);
}

TEST_F(MouseHookPipeline, MovesPassWhileTheGlobalLockIsBusyAndDropWhileACursorIsForced)
{
    MSLLHOOKSTRUCT move{};
    move.pt = {10, 10};
    g_ptForcedCursor = {300, 300};
    EXPECT_EQ(MouseHookLLProc(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&move)), 1);
    g_ptForcedCursor = {0, 0};

    HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        CThreadLock lock(L"test holder");
        ::SetEvent(held);
        ::WaitForSingleObject(release, 10000);
    });
    ASSERT_EQ(::WaitForSingleObject(held, 10000), WAIT_OBJECT_0);
    g_hook.dwLastInput = 0;
    EXPECT_EQ(MouseHookLLProc(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&move)), 0);
    EXPECT_EQ(g_hook.dwLastInput, 0u) << "the move did no work without the lock";
    ::SetEvent(release);
    holder.join();
    ::CloseHandle(held);
    ::CloseHandle(release);
    EXPECT_EQ(MouseHookLLProc(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&move)), 0);
    EXPECT_EQ(g_hook.dwLastInput, g_clock);
}

TEST_F(MouseHookPipeline, AHookRunLongerThanTheTimeOutAsksForTheHookAgain)
{
    MSG msg;
    g_clockStep = 300;
    g_system.dwHookTimeout = 0;
    Send(WM_LBUTTONDOWN);
    Send(WM_LBUTTONUP);
    EXPECT_FALSE(::PeekMessageW(&msg, reinterpret_cast<HWND>(-1), BRMP_ResetHook, BRMP_ResetHook, PM_REMOVE))
        << "no time-out known";
    g_system.dwHookTimeout = 200;
    Send(WM_LBUTTONDOWN);
    ASSERT_TRUE(::PeekMessageW(&msg, reinterpret_cast<HWND>(-1), BRMP_ResetHook, BRMP_ResetHook, PM_REMOVE));
    EXPECT_EQ(msg.wParam, WP_MOUSEHOOK);
    g_clockStep = 100;
    Send(WM_LBUTTONUP);
    EXPECT_FALSE(::PeekMessageW(&msg, reinterpret_cast<HWND>(-1), BRMP_ResetHook, BRMP_ResetHook, PM_REMOVE))
        << "within the time-out";
}

TEST_F(MouseHookPipeline, TheHorizontalWheelAndDoubleClicksReachTheirPaths)
{
    g_takeOver = true;
    EXPECT_EQ(Send(WM_MOUSEHWHEEL, Wheel(120)), 0);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(Send(WM_MBUTTONDBLCLK), 1);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].button, 2);
    EXPECT_EQ(g_calls[0].kind, 3);
}

TEST_F(MouseHookPipeline, TheResetHookTimerAsksTheHookThreadForBothHooks)
{
    const DWORD savedThread = g_threads.dwHookThreadId;
    g_threads.dwHookThreadId = ::GetCurrentThreadId();
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);   // this thread's queue exists
    g_idResetHookTimer = 0;
    ResetHookTimerProc(nullptr, WM_TIMER, 0, 0);
    g_threads.dwHookThreadId = savedThread;
    ASSERT_TRUE(::PeekMessageW(&msg, reinterpret_cast<HWND>(-1), BRMP_ResetHook, BRMP_ResetHook, PM_REMOVE));
    EXPECT_EQ(msg.wParam, WP_BOTH);
    EXPECT_EQ(g_idResetHookTimer, 0u);
}

TEST_F(MouseHookPipeline, AFaultInTheEnginePassesTheEventOnAndLeavesTheGlobalLockFree)
{
    SetMouseButtonProcessor([](int, int, bool, MSLLHOOKSTRUCT*, BYTE&, BYTE&, BYTE&) -> bool {
        throw std::runtime_error("engine fault");
    });
    SetMouseHookNextHook([](int, WPARAM, LPARAM) -> LRESULT { return 77; });
    EXPECT_EQ(Send(WM_RBUTTONDOWN), 77);
    EXPECT_EQ(Send(WM_RBUTTONUP), 77);
    SetMouseHookNextHook(nullptr);
    bool taken = false;
    std::thread other([&] {
        taken = CThreadLock::TryEnterCS(L"MouseHookPipeline other thread");
        if (taken)
            CThreadLock::LeaveCS();
    });
    other.join();
    EXPECT_TRUE(taken);
}
