// Layers: stepping through them, refusing layers that do not exist, telling the
// program, switching back automatically and re-pressing held buttons.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cmath>
#include <process.h>
#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "Control.h"
#include "EngineTestSupport.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Hooks.h"
#include "LayerTestSupport.h"
#include "Layers.h"
#include "Logger.h"
#include "RecordingSink.h"
#include "SendInput.h"
#include "Settings.h"
#include "ThreadLock.h"
#include "TimerThread.h"

using namespace enginetest;
using namespace layertest;

namespace
{
struct StepCase
{
    const char* what;
    int current;
    int count;
    int step;
    std::vector<int> disabled;       // layers disabled
    std::vector<int> excluded;       // layers excluded from next/previous
    int expected;
};

class StepLayerTest : public ::testing::TestWithParam<StepCase>
{
};

const StepCase kStepCases[] = {
    {"next goes up by one", 0, 4, 1, {}, {}, 1},
    {"next wraps from the last layer to the first", 3, 4, 1, {}, {}, 0},
    {"previous wraps from the first layer to the last", 0, 4, -1, {}, {}, 3},
    {"next skips a disabled layer", 0, 4, 1, {1}, {}, 2},
    {"next skips a layer excluded from next and previous", 0, 4, 1, {}, {1, 2}, 3},
    {"previous skips skipped layers across the wrap", 1, 4, -1, {3}, {0}, 2},
    {"next wraps to the next enabled layer", 3, 4, 1, {}, {0}, 1},
    {"the first layer is never disabled", 3, 4, 1, {0}, {}, 0},
    {"every other layer disabled leaves the layer unchanged", 1, 4, 1, {2}, {0, 3}, 1},
    {"only layers in use count: layer 9 is not reached with 3 layers", 2, 3, 1, {}, {}, 0},
    {"a current layer beyond the count steps back into range (next)", 7, 3, 1, {}, {}, 0},
    {"a current layer beyond the count steps back into range (previous)", 7, 3, -1, {}, {}, 2},
    {"no layers in use: nothing changes", 0, 0, 1, {}, {}, 0},
    {"a single layer: nothing changes", 0, 1, 1, {}, {}, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, StepLayerTest, ::testing::ValuesIn(kStepCases));
}

TEST_P(StepLayerTest, NextAndPreviousSkipDisabledLayersAndWrap)
{
    const StepCase& c = GetParam();
    CApplicationSettings profile(nullptr, false, 1);
    for (int layer : c.disabled)
        profile.SetLayerDisabled(layer, true);
    for (int layer : c.excluded)
        profile.SetLayerDisabledNextPrev(layer, true);
    EXPECT_EQ(StepLayer(&profile, c.current, c.count, c.step), c.expected) << c.what;
}

TEST(StepLayerWithoutProfile, WithoutAProfileThePlainNextOrPreviousLayerIsTaken)
{
    EXPECT_EQ(StepLayer(nullptr, 1, 2, 1), 0);
    EXPECT_EQ(StepLayer(nullptr, 0, 2, -1), 1);
    EXPECT_EQ(StepLayer(nullptr, 4, 10, 1), 5);
}

TEST(AutoSwitchPeriod, TheTimeIsTruncatedToWholeMillisecondsAndBadTimesGiveZero)
{
    EXPECT_EQ(AutoSwitchPeriodMs(1.5), 1500u);
    EXPECT_EQ(AutoSwitchPeriodMs(0.0019), 1u);
    EXPECT_EQ(AutoSwitchPeriodMs(0.0), 0u);
    EXPECT_EQ(AutoSwitchPeriodMs(-2.0), 0u);
    EXPECT_EQ(AutoSwitchPeriodMs(std::nan("")), 0u);
    EXPECT_EQ(AutoSwitchPeriodMs(1e300), static_cast<UINT>(USER_TIMER_MAXIMUM));
}

TEST(Jiggler, JigglesWhileTheUserWasActiveWithinTheTimeoutAndDisarmsAfterIt)
{
    struct Case
    {
        const char* what;
        bool running;
        bool seen;
        DWORD now;
        DWORD last;
        DWORD timeout;
        JigglerStep expected;
    } cases[] = {
        {"timer not running", false, true, 1000, 900, 60000, JigglerStep::Nothing},
        {"no input since it disarmed", true, false, 1000, 900, 60000, JigglerStep::Nothing},
        {"input within the timeout", true, true, 61000, 1000, 60000, JigglerStep::Jiggle},
        {"one tick past the timeout", true, true, 61001, 1000, 60000, JigglerStep::Disarm},
        {"tick count wrapped", true, true, 500, 0xFFFFFF00u, 60000, JigglerStep::Jiggle},
        {"jiggler off (timeout 0) disarms at once", true, true, 1001, 1000, 0, JigglerStep::Disarm},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideJiggle(c.running, c.seen, c.now, c.last, c.timeout), c.expected) << c.what;
}

namespace
{
using enginetest::GlobalLockHolder;

class LayersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_debug = CLogger::DebugEnabled();
        CLogger::EnableDebug(true);
    }
    void TearDown() override
    {
        ProxyKillTimer(nullptr, ID_TIMER_AUTOSWITCHLAYER);
        CLogger::EnableDebug(m_debug);
    }
    bool m_debug = false;
};
}

TEST_F(LayersTest, ALayerThatDoesNotExistIsRefusedAndLogged)
{
    EngineStateGuard state(3);
    SetCurrentLayer(1, false, false, false);
    ASSERT_EQ(GetCurrentLayer(), 1);
    const size_t at = LogSize();

    SetCurrentLayer(MaxLayers(), false, false, false);
    EXPECT_EQ(GetCurrentLayer(), 1);
    SetCurrentLayer(-1, false, false, false);
    EXPECT_EQ(GetCurrentLayer(), 1) << "a negative layer is never made current";

    const std::string log = LogSince(at);
    EXPECT_NE(log.find("Attempting to activate layer 3 which is greater than Max layers (3)"), std::string::npos) << log;
}

TEST_F(LayersTest, LayerChangedReachesTheProgramsWindowsWithTheLayerAndTheBalloonFlag)
{
    struct Case
    {
        bool notify;
        bool notifyOption;
        LPARAM expected;
    } cases[] = {{true, true, 1}, {false, true, 0}, {true, false, 0}, {false, false, 0}};

    EngineStateGuard state(4);
    RecordingWindow main;
    RecordingWindow setup;
    SetHookMainWindow(main.Handle());
    SetSetupWindow(setup.Handle());
    int layer = 0;
    for (const Case& c : cases)
    {
        g_pSettings->m_bNotifyLayer = c.notifyOption;
        main.Clear();
        setup.Clear();
        layer = (layer + 1) % 4;
        SetCurrentLayer(layer, c.notify, false, false);
        ASSERT_TRUE(WaitFor([&] { return !main.Received(BRMP_LayerChanged).empty() && !setup.Received(BRMP_LayerChanged).empty(); }));
        for (const RecordingWindow* w : {&main, &setup})
        {
            const auto got = w->Received(BRMP_LayerChanged);
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].wParam, static_cast<WPARAM>(layer));
            EXPECT_EQ(got[0].lParam, c.expected) << "notify " << c.notify << " option " << c.notifyOption;
        }
    }
}

TEST_F(LayersTest, TheSetupWindowGetsLayerChangedOnlyWhileItExists)
{
    EngineStateGuard state(4);
    RecordingWindow main;
    RecordingWindow setup;
    SetHookMainWindow(main.Handle());
    SetSetupWindow(setup.Handle());
    setup.Destroy();

    SetCurrentLayer(2, true, false, false);
    ASSERT_TRUE(WaitFor([&] { return !main.Received(BRMP_LayerChanged).empty(); }));
    EXPECT_EQ(GetCurrentLayer(), 2);
}

TEST_F(LayersTest, NextLayerWithEveryOtherLayerDisabledChangesNothingAndTellsNoOne)
{
    EngineStateGuard state(3);
    state.Profile()->SetLayerDisabled(1, true);
    state.Profile()->SetLayerDisabledNextPrev(2, true);
    RecordingWindow main;
    SetHookMainWindow(main.Handle());

    NextLayer();
    PreviousLayer();
    EXPECT_EQ(GetCurrentLayer(), 0);
    // A change that does notify, posted after anything the two could have
    // posted: once it arrives, it is the only one.
    SetCurrentLayer(2, false, false, false);
    ASSERT_TRUE(WaitFor([&] { return !main.Received(BRMP_LayerChanged).empty(); }));
    const auto got = main.Received(BRMP_LayerChanged);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].wParam, 2u);
}

TEST_F(LayersTest, NextAndPreviousLayerMoveThroughTheEnabledLayersAndRememberTheLayerLeft)
{
    EngineStateGuard state(4);
    state.Profile()->SetLayerDisabled(2, true);
    NextLayer();
    EXPECT_EQ(GetCurrentLayer(), 1);
    NextLayer();
    EXPECT_EQ(GetCurrentLayer(), 3);
    EXPECT_EQ(g_nLastLayer, 1);
    NextLayer();
    EXPECT_EQ(GetCurrentLayer(), 0) << "from the last layer to the first";
    PreviousLayer();
    EXPECT_EQ(GetCurrentLayer(), 3);
}

TEST_F(LayersTest, GetCurrentLayerAnswersTheLayerWhileAnotherThreadHoldsTheLock)
{
    EngineStateGuard state(4);
    SetCurrentLayer(3, false, false, false);

    GlobalLockHolder holder;
    ASSERT_TRUE(holder.Holding());

    EXPECT_EQ(GetCurrentLayer(), 3);
}

TEST_F(LayersTest, ALayerChangeOnTheHookThreadNeverWaitsForTheLockAndHappensOnceItIsFree)
{
    EngineStateGuard state(4);
    SetCurrentLayer(3, false, false, false);
    GlobalLockHolder holder;
    ASSERT_TRUE(holder.Holding());

    // This thread plays the hook thread: had the change waited for the lock,
    // it would have been made by the time it returned.
    const DWORD hookThread = g_threads.dwHookThreadId;
    g_threads.dwHookThreadId = ::GetCurrentThreadId();
    ChangeLayer(1, false);
    ChangeLayer(2, false);   // the latest request is the one that counts
    g_threads.dwHookThreadId = hookThread;
    EXPECT_EQ(GetCurrentLayer(), 3);

    holder.Release();
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 2; }));
}

TEST_F(LayersTest, AnAutomaticSwitchToTheFirstLayerNotifiesAndArmsNoFurtherSwitch)
{
    EngineStateGuard state(4);
    state.Profile()->SetAutoSwitchLayer(2, 1);      // layer 3 goes back to layer 1
    state.Profile()->SetAutoSwitchTime(2, 0.05);
    state.Profile()->SetAutoSwitchLayer(0, 2);      // configured on the first layer: never fires
    state.Profile()->SetAutoSwitchTime(0, 0.01);
    RecordingWindow main;
    SetHookMainWindow(main.Handle());

    SetCurrentLayer(2, false, true, true);
    ASSERT_EQ(GetCurrentLayer(), 2);
    ASSERT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; }));
    ASSERT_TRUE(WaitFor([&] { return main.Received(BRMP_LayerChanged).size() >= 2; }));
    const auto got = main.Received(BRMP_LayerChanged);
    EXPECT_EQ(got.back().wParam, 0u);
    EXPECT_EQ(got.back().lParam, 1) << "the automatic switch asks for the balloon";
    EXPECT_EQ(g_nLastLayer, 2);
    // Layer 1 never switches on its own: the timer procedure that switched to
    // it (run on this thread, which has seen its message) armed no switch.
    EXPECT_EQ(g_idAutoSwitchLayerTimer, 0u);
    EXPECT_EQ(GetCurrentLayer(), 0);
}

TEST_F(LayersTest, ANewLayerChangeCancelsAPendingAutomaticSwitch)
{
    EngineStateGuard state(4);
    state.Profile()->SetAutoSwitchLayer(1, 1);      // layer 2 back to layer 1 after 0.2 s
    state.Profile()->SetAutoSwitchTime(1, 0.2);
    // Layer 4 has a switch of its own, which a timer left running would make.
    state.Profile()->SetAutoSwitchLayer(3, 3);
    state.Profile()->SetAutoSwitchTime(3, 60);
    // Without the hooks the automatic switch is a timer of this thread.
    ASSERT_EQ(g_threads.dwTimerThreadId, 0u);
    SetCurrentLayer(1, false, true, false);
    SetCurrentLayer(3, false, false, false);
    // A timer of this thread that falls due after the cancelled switch would
    // have: once it has fired, the switch had its chance.
    static std::atomic<bool> fenced;
    fenced = false;
    const UINT_PTR fence = ::SetTimer(nullptr, 0, 400, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        fenced = true;
    });
    ASSERT_NE(fence, 0u);
    ASSERT_TRUE(WaitFor([] { return fenced.load(); }));
    EXPECT_EQ(GetCurrentLayer(), 3);
}

TEST_F(LayersTest, TheAutomaticSwitchRunsOnTheTimerThreadWhileTheHooksRun)
{
    ASSERT_TRUE(SetMouseHook());
    {
        EngineStateGuard state(4);
        state.Profile()->SetAutoSwitchLayer(1, 3);
        state.Profile()->SetAutoSwitchTime(1, 0.05);
        state.Profile()->SetAutoSwitchLayer(2, 1);
        state.Profile()->SetAutoSwitchTime(2, 0.05);
        SetCurrentLayer(1, false, true, false);
        EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; })) << "layer 2 -> layer 3 -> layer 1";
        EXPECT_EQ(g_nLastLayer, 2);
        ASSERT_TRUE(TimerThreadIdle());
    }
    RemoveMouseHook(false);
}

namespace
{
struct SendInputSwap
{
    explicit SendInputSwap(CSendInput* replacement) : saved(g_threads.pSendInput) { g_threads.pSendInput = replacement; }
    ~SendInputSwap() { g_threads.pSendInput = saved; }
    CSendInput* saved;
};

std::vector<DWORD> MouseFlags(const std::vector<INPUT>& inputs)
{
    std::vector<DWORD> flags;
    for (const INPUT& input : inputs)
    {
        if (input.type == INPUT_MOUSE)
            flags.push_back(input.mi.dwFlags & ~(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | MOUSEEVENTF_VIRTUALDESK));
    }
    return flags;
}
}

TEST_F(LayersTest, AHeldButtonWhoseActionDiffersIsReleasedAndPressedAgainAfterTheQueueWasFlushed)
{
    ASSERT_EQ(g_threads.hMouseHook, nullptr) << "the test owns the simulated-input queue";
    EngineStateGuard state(4);
    // Two different codes that both leave the click to the system, so the
    // release and the press go out as plain button input.
    state.Profile()->SetActions(Left, 0, ACTION_NO_CHANGE);
    state.Profile()->SetActions(Left, 1, ACTION_RESERVED_FIRST);
    state.Profile()->SetActions(Right, 0, ACTION_BACK);
    state.Profile()->SetActions(Right, 1, ACTION_BACK);
    // Taken away on the old layer, left to the system on the new one.
    state.Profile()->SetActions(Middle, 0, ACTION_DISABLE);
    state.Profile()->SetActions(Middle, 1, ACTION_NO_CHANGE);
    brmptest::RecordingSink sink;
    CSendInput queue(&sink);
    queue.SetAutoStart(false);
    SendInputSwap swap(&queue);
    // Input the old layer still had queued is dropped by the change.
    INPUT stale = {};
    stale.type = INPUT_KEYBOARD;
    stale.ki.wVk = 'A';
    queue.SendInputThreaded(1, &stale, 0, true);
    g_held.Pressed(Left, HeldSource::User);
    g_held.Pressed(Right, HeldSource::User);   // same action on both layers: left alone
    g_held.Pressed(Middle, HeldSource::User);

    SetCurrentLayer(1, false, false, false);
    EXPECT_EQ(GetCurrentLayer(), 1);
    queue.ProcessQueue();

    const std::vector<DWORD> expected = {MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_MIDDLEDOWN};
    EXPECT_EQ(MouseFlags(sink.All()), expected) << "release with the old action, press with the new one";
    // The press sent for the middle button is not the user's, who still holds it.
    EXPECT_TRUE(g_held.UserHolds(Middle));
    for (const INPUT& input : sink.All())
        EXPECT_NE(input.type, static_cast<DWORD>(INPUT_KEYBOARD)) << "the stale key was flushed";
}

TEST_F(LayersTest, HeldButtonsWithEqualActionsOrADisabledActionSendNothing)
{
    ASSERT_EQ(g_threads.hMouseHook, nullptr);
    EngineStateGuard state(4);
    state.Profile()->SetActions(Middle, 0, ACTION_DISABLE);
    state.Profile()->SetActions(Middle, 1, ACTION_DISABLE);
    state.Profile()->SetActions(XLeft, 0, ACTION_BACK);
    state.Profile()->SetActions(XLeft, 1, ACTION_BACK);
    brmptest::RecordingSink sink;
    CSendInput queue(&sink);
    queue.SetAutoStart(false);
    SendInputSwap swap(&queue);
    g_held.Pressed(Middle, HeldSource::User);
    g_held.Pressed(XLeft, HeldSource::User);

    SetCurrentLayer(1, false, false, false);
    queue.ProcessQueue();
    EXPECT_TRUE(sink.All().empty());
}

TEST_F(LayersTest, TwoHundredRapidLayerChangesFromThreeThreadsEndWithoutADeadlock)
{
    ASSERT_TRUE(SetMouseHook());
    {
        EngineStateGuard state(5);
        state.Profile()->SetAutoSwitchLayer(2, 1);
        state.Profile()->SetAutoSwitchTime(2, 0.001);
        std::atomic<int> done{0};
        auto worker = [](void* p) -> unsigned {
            auto* count = static_cast<std::atomic<int>*>(p);
            for (int i = 0; i < 200; ++i)
            {
                if (i % 3 == 0)
                    NextLayer();
                else if (i % 3 == 1)
                    PreviousLayer();
                else
                    SetCurrentLayer(i % 5, true, true, true);
            }
            ++*count;
            return 0;
        };
        HANDLE threads[3];
        for (HANDLE& t : threads)
            t = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, worker, &done, 0, nullptr));
        EXPECT_TRUE(WaitFor([&] { return done.load() == 3; }, 60000));
        for (HANDLE t : threads)
        {
            ::WaitForSingleObject(t, 10000);
            ::CloseHandle(t);
        }
        const int layer = GetCurrentLayer();
        EXPECT_GE(layer, 0);
        EXPECT_LT(layer, 5);
        ProxyKillTimer(nullptr, ID_TIMER_AUTOSWITCHLAYER);
        ASSERT_TRUE(TimerThreadIdle());
    }
    RemoveMouseHook(false);
}

TEST_F(LayersTest, LayerNamesComeFromTheProfileInForce)
{
    {
        EngineStateGuard state(4);
        state.Profile()->SetLayerName(L"Browsing", 1);
        EXPECT_STREQ(GetLayername(1), L"Browsing");
        EXPECT_STREQ(GetLayername(2), L"") << "a layer without a name";
        EXPECT_STREQ(GetLayername(10), L"");
        EXPECT_STREQ(GetLayername(-1), L"");
        g_engine.pCurrentApp = nullptr;
        EXPECT_EQ(GetLayername(1), nullptr);
    }
}
