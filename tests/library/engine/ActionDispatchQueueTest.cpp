// The action dispatch checked on what it queues for the simulated-input thread
// (a private queue drained here) and on what it does to real windows and to the
// engine's layer and repeat state.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ActionData.h"
#include "ActionDispatch.h"
#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "ChordTimers.h"
#include "Chords.h"
#include "Clock.h"
#include "EngineInput.h"
#include "EngineTestSupport.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Layers.h"
#include "LayerTestSupport.h"
#include "Movement2Scroll.h"
#include "RepeatTimers.h"
#include "RecordingSink.h"
#include "PrivateInputQueue.h"
#include "SendInput.h"
#include "Settings.h"
#include "TimedClickPresses.h"
#include "TimedClicks.h"

namespace
{
class Dispatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_guard = std::make_unique<layertest::EngineStateGuard>();
        m_savedRepeatDelay = g_system.nKeyRepeatDelay;
        g_system.nKeyRepeatDelay = 60000;   // no repetition fires while a test runs
        m_savedFix = g_pSettings->m_bDoubleClickFix;
        g_nReturnLayer = -1;
        g_held.Forget();
    }
    void TearDown() override
    {
        StopRepeat();
        g_system.nKeyRepeatDelay = m_savedRepeatDelay;
        g_pSettings->m_bDoubleClickFix = m_savedFix;
        g_nReturnLayer = -1;
        g_held.Forget();
        m_guard.reset();
    }

    CApplicationSettings* Profile() { return m_guard->Profile(); }

    // Runs code for button with the slot's action record (when the slot holds
    // one) and drains what it queued.
    BYTE Run(int button, int code, int kind, int layer = 0, bool drain = true)
    {
        std::unique_ptr<CActionData> action(Profile()->GetActionData(button, layer));
        block = click = 0;
        const BYTE result = ProcessButtonAction(button, code, action.get(), Profile(), kind, layer, 0, nullptr,
                                                POINT{50, 60}, block, click);
        if (drain)
            m_queue.ProcessQueue();
        return result;
    }
    int Button(int button, int kind)
    {
        BYTE fixUp = 0;
        block = click = 0;
        const int result = ProcessButton(button, kind, true, POINT{50, 60}, fixUp, block, click);
        m_queue.ProcessQueue();
        return result;
    }

    PrivateInputQueue m_input;
    brmptest::RecordingSink& sink = m_input.sink;
    BYTE block = 0;
    BYTE click = 0;

private:
    std::unique_ptr<layertest::EngineStateGuard> m_guard;
    CSendInput& m_queue = m_input.queue;
    int m_savedRepeatDelay = 0;
    bool m_savedFix = false;
};

TEST_F(Dispatch, KeyActionsSendTheirKeyOnlyOnTheirOwnEvent)
{
    struct Case { int code; int kind; const char* keys; };
    const Case cases[] = {
        {ACTION_COPY, 1, ""},
        {ACTION_COPY, 2, "A2+ 43+ 43- A2- "},
        {ACTION_ENTER, 2, "D+ D- "},
        {ACTION_NEXT_WINDOW, 1, "A4+ 1B+ 1B- A4- "},
        {ACTION_NEXT_WINDOW, 2, ""},
        {ACTION_MEDIA_PLAY_PAUSE, 1, "B3+ B3- "},
        {ACTION_SNAP_WINDOW_LEFT, 1, "5B+ 25+ 25- 5B- "},
        {ACTION_OPEN_RUN_COMMAND, 3, ""},   // a double click is neither press nor release
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "action " << c.code << " kind " << c.kind);
        sink.Clear();
        EXPECT_EQ(Run(Middle, c.code, c.kind), 1);
        EXPECT_EQ(sink.KeyText(), c.keys);
    }
}

TEST_F(Dispatch, ActionsThatChangeNothingPassTheClickAndSendNothing)
{
    const std::initializer_list<int> codes = {ACTION_NO_CHANGE, ACTION_SAME_AS_DEFAULT, ACTION_SAME_AS_LAYER_1,
                                              ACTION_MTS_STICKY_OLD, 107, 116, 121, 126, 140, 1000, -1, -100000};
    for (int code : codes)
    {
        for (int kind : {1, 2})
        {
            SCOPED_TRACE(testing::Message() << "action " << code << " kind " << kind);
            EXPECT_EQ(Run(Right, code, kind), 0);
        }
    }
    EXPECT_EQ(sink.KeyText(), "");
    EXPECT_EQ(sink.Buttons(), "");
    EXPECT_EQ(Run(Right, ACTION_DISABLE, 1), 1);
    EXPECT_EQ(Run(Right, ACTION_DISABLE, 2), 1);
}

TEST_F(Dispatch, AClickActionClicksWithTheEventsKindAndCompletesAReleaseWhosePressWasNotSeen)
{
    EXPECT_EQ(Run(XLeft, ACTION_RIGHT_CLICK, 1), 1);
    EXPECT_EQ(click, 1);
    EXPECT_EQ(sink.Buttons(), "RD ");

    g_held.TookOver(XLeft);
    sink.Clear();
    EXPECT_EQ(Run(XLeft, ACTION_RIGHT_CLICK, 2), 1);
    EXPECT_EQ(sink.Buttons(), "RU ");

    g_held.HandledRelease(XLeft);
    sink.Clear();
    EXPECT_EQ(Run(XLeft, ACTION_CLICK_BUTTON_5, 2), 0);
    EXPECT_EQ(click, 1);
    EXPECT_EQ(sink.Buttons(), "XD2 XU2 ");
    for (const INPUT& input : sink.Mouse())
        EXPECT_EQ(input.mi.dwExtraInfo, OwnInputSignature()) << "marked as our own";
}

TEST_F(Dispatch, ADoubleClickIsSentOnThePressAndOnlyTheSecondClickWithTheFix)
{
    EXPECT_EQ(Run(Middle, ACTION_DOUBLE_CLICK, 1), 1);
    EXPECT_EQ(sink.Buttons(), "LD LU LD LU ");
    g_held.TookOver(Middle);
    sink.Clear();
    EXPECT_EQ(Run(Middle, ACTION_DOUBLE_CLICK, 2), 1);
    EXPECT_EQ(sink.Buttons(), "");

    g_pSettings->m_bDoubleClickFix = true;
    EXPECT_EQ(Run(Middle, ACTION_DOUBLE_CLICK, 1), 1);
    EXPECT_EQ(sink.Buttons(), "LD LU ");
}

TEST_F(Dispatch, ADoubleClickDragLeavesTheButtonDownUntilTheRelease)
{
    EXPECT_EQ(Run(XRight, ACTION_DOUBLE_CLICK_DRAG, 1), 1);
    EXPECT_EQ(sink.Buttons(), "LD LU LD ");
    g_held.TookOver(XRight);
    EXPECT_EQ(Run(XRight, ACTION_DOUBLE_CLICK_DRAG, 2), 1);
    EXPECT_EQ(sink.Buttons(), "LD LU LD LU ");
}

TEST_F(Dispatch, AWheelActionOnAHeldButtonRepeatsUntilItsRelease)
{
    EXPECT_EQ(Run(Middle, ACTION_MOUSE_WHEEL_DOWN, 1), 1);
    EXPECT_EQ(sink.Buttons(), "W-120 ");
    EXPECT_EQ(g_nRepeatButton.load(), Middle);
    EXPECT_EQ(Run(Middle, ACTION_MOUSE_WHEEL_DOWN, 2), 1);
    EXPECT_EQ(g_nRepeatButton.load(), -1);

    // A wheel notch is an event of its own: it never starts a repeat.
    sink.Clear();
    EXPECT_EQ(Run(WheelUp, ACTION_MOUSE_TILT_LEFT, 1), 1);
    EXPECT_EQ(sink.Buttons(), "H-120 ");
    EXPECT_EQ(g_nRepeatButton.load(), -1);
}

TEST_F(Dispatch, AQuickClickOnAWheelOrTiltButtonSendsItsNotchAlsoWhenReleasedBeforeTheQueueSentIt)
{
    struct Case { int code; const char* sent; };
    const Case cases[] = {
        {ACTION_MOUSE_WHEEL_DOWN, "W-120 "},
        {ACTION_MOUSE_WHEEL_UP, "W120 "},
        {ACTION_MOUSE_TILT_LEFT, "H-120 "},
        {ACTION_MOUSE_TILT_RIGHT, "H120 "},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "action " << c.code);
        sink.Clear();
        // The simulated-input thread has not taken the press's notch yet when the release comes.
        EXPECT_EQ(Run(Middle, c.code, 1, 0, false), 1);
        EXPECT_EQ(Run(Middle, c.code, 2), 1);
        EXPECT_EQ(sink.Buttons(), c.sent);
        EXPECT_EQ(g_nRepeatButton.load(), -1);
        EXPECT_FALSE(QTTimerActive(ID_TIMER_REPEAT_SLOT)) << "the release stops the repeat";
    }
}

TEST_F(Dispatch, SimulatedKeysThatDoNotBlockPassTheClickAfterSending)
{
    Profile()->SetActions(Right, 0, ACTION_SIMULATED_KEYS);
    Profile()->SetKeystrokes(Right, 0, L"a", KEYMODE_PRESSED, 0, false, false, false, false);
    EXPECT_EQ(Run(Right, ACTION_SIMULATED_KEYS, 1), 0);
    EXPECT_EQ(block, 0);
    EXPECT_EQ(sink.KeyText(), "41+ 41- ");

    Profile()->SetKeystrokes(Right, 0, L"b", KEYMODE_PRESSED, 0, false, true, false, false);
    sink.Clear();
    EXPECT_EQ(Run(Right, ACTION_SIMULATED_KEYS, 1), 1);
    EXPECT_EQ(block, 1);
    EXPECT_EQ(sink.KeyText(), "42+ 42- ");
}

TEST_F(Dispatch, KeyModesOutsideTheirRangeSendNothing)
{
    Profile()->SetActions(Right, 0, ACTION_SIMULATED_KEYS);
    for (int mode : {9, 100, -1, -2147483647 - 1})
    {
        Profile()->SetKeystrokes(Right, 0, L"a", mode, 0, false, true, false, false);
        Run(Right, ACTION_SIMULATED_KEYS, 1);
        Run(Right, ACTION_SIMULATED_KEYS, 2);
    }
    EXPECT_EQ(sink.KeyText(), "");
}

TEST_F(Dispatch, ARepeatingKeySequenceSendsOnThePressAndEndsWithItsReleaseTokens)
{
    Profile()->SetActions(XLeft, 0, ACTION_SIMULATED_KEYS);
    Profile()->SetKeystrokes(XLeft, 0, L"a{OU}b", KEYMODE_REPEAT, 60000, false, true, false, false);
    EXPECT_EQ(Run(XLeft, ACTION_SIMULATED_KEYS, 1), 1);
    EXPECT_EQ(g_nRepeatButton.load(), XLeft);
    EXPECT_EQ(sink.KeyText(), "41+ 41- ");

    // Another button's release leaves the repeat alone.
    Profile()->SetActions(XRight, 0, ACTION_SIMULATED_KEYS);
    Profile()->SetKeystrokes(XRight, 0, L"c", KEYMODE_REPEAT, 60000, false, true, false, false);
    Run(XRight, ACTION_SIMULATED_KEYS, 2);
    EXPECT_EQ(g_nRepeatButton.load(), XLeft);

    sink.Clear();
    EXPECT_EQ(Run(XLeft, ACTION_SIMULATED_KEYS, 2), 1);
    EXPECT_EQ(g_nRepeatButton.load(), -1);
    EXPECT_EQ(sink.KeyText(), "42+ 42- ");
}

TEST_F(Dispatch, AHeldLayerButtonSwitchesWhileHeldAndReturnsOnRelease)
{
    // The release belongs to the layer of the press, whatever the new layer
    // gives the button: the layer must not stay switched.
    Profile()->SetActions(XLeft, 0, ACTION_LAYER_3);
    Profile()->SetActions(XLeft, 2, ACTION_DISABLE);
    EXPECT_EQ(Button(XLeft, 1), 1);
    EXPECT_EQ(GetCurrentLayer(), 2);
    EXPECT_EQ(Button(XLeft, 2), 1);
    EXPECT_EQ(GetCurrentLayer(), 0);
    EXPECT_EQ(g_nReturnLayer, -1);
}

TEST_F(Dispatch, ALayerFlaggedToRevertReturnsToTheFirstLayer)
{
    Profile()->SetActions(Middle, 3, ACTION_LAYER_2);
    Profile()->SetRevertLayer1(3, true);
    ChangeLayer(3, false);
    ASSERT_EQ(GetCurrentLayer(), 3);
    EXPECT_EQ(Button(Middle, 1), 1);
    EXPECT_EQ(GetCurrentLayer(), 1);
    EXPECT_EQ(Button(Middle, 2), 1);
    EXPECT_EQ(GetCurrentLayer(), 0);
}

TEST_F(Dispatch, TheLayerButtonIsNotPressedAgainByTheChangeItMakes)
{
    // A layer change presses the buttons that are held again with the new
    // layer's actions. The hook marks the layer button itself as held before
    // its event arrives; the change it makes must leave it alone.
    Profile()->SetActions(XRight, 0, ACTION_LAYER_2);
    Profile()->SetActions(XRight, 1, ACTION_LEFT_CLICK);
    Profile()->SetActions(XLeft, 0, ACTION_LAYER_NEXT);
    Profile()->SetActions(XLeft, 2, ACTION_RIGHT_CLICK);

    g_held.Pressed(XRight, HeldSource::User);
    EXPECT_EQ(Button(XRight, 1), 1);
    EXPECT_EQ(GetCurrentLayer(), 1);
    g_held.Released(XRight, HeldSource::User);
    EXPECT_EQ(Button(XRight, 2), 1);
    EXPECT_EQ(GetCurrentLayer(), 0);

    g_held.Pressed(XLeft, HeldSource::User);
    EXPECT_EQ(Button(XLeft, 1), 1);
    EXPECT_EQ(Button(XLeft, 2), 1);   // still marked held: the hook may not have seen the release yet
    g_held.Released(XLeft, HeldSource::User);
    EXPECT_EQ(GetCurrentLayer(), 1);
    EXPECT_EQ(sink.Buttons(), "");   // no click of another layer's slot
}

TEST_F(Dispatch, AReleaseWithNoLayerToReturnToChangesNothing)
{
    ChangeLayer(4, false);
    for (int recorded : {-1, -5, 10, 250})
    {
        g_nReturnLayer = recorded;
        EXPECT_EQ(Run(Left, ACTION_LAYER_1, 2), 1) << recorded;
        EXPECT_EQ(GetCurrentLayer(), 4) << recorded;
        EXPECT_EQ(g_nReturnLayer, -1);
    }
}

// --- window commands -----------------------------------------------------------

class TestWindow
{
public:
    explicit TestWindow(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE)
    {
        static const bool registered = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"DispatchTestWindow";
            return ::RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        m_hWnd = ::CreateWindowExW(0, L"DispatchTestWindow", L"Dispatch test", style, 100, 100, 300, 200, nullptr,
                                   nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow()
    {
        if (::IsWindow(m_hWnd))
            ::DestroyWindow(m_hWnd);
    }
    HWND Handle() const { return m_hWnd; }

private:
    HWND m_hWnd = nullptr;
};

TEST_F(Dispatch, WindowActionsMinimiseRestoreMaximiseAndCloseTheWindowOnTheirEvent)
{
    TestWindow window;
    const HWND hwnd = window.Handle();
    ASSERT_NE(hwnd, nullptr);
    BYTE b = 0, c = 0;
    auto act = [&](int code, int kind) {
        return ProcessButtonAction(Middle, code, nullptr, Profile(), kind, 0, 0, hwnd, POINT{150, 150}, b, c);
    };

    EXPECT_EQ(act(ACTION_MINIMIZE_WINDOW, 1), 1);   // minimise acts on the release
    EXPECT_EQ(act(ACTION_MINIMIZE_WINDOW, 2), 1);
    EXPECT_TRUE(enginetest::WaitFor([&] { return ::IsIconic(hwnd) != FALSE; }));
    EXPECT_EQ(act(ACTION_RESTORE_WINDOW, 1), 1);
    EXPECT_TRUE(enginetest::WaitFor([&] { return ::IsIconic(hwnd) == FALSE; }));
    EXPECT_EQ(act(ACTION_MAXIMIZE_WINDOW, 2), 1);
    EXPECT_TRUE(enginetest::WaitFor([&] { return ::IsZoomed(hwnd) != FALSE; }));
    EXPECT_EQ(act(ACTION_CLOSE, 1), 1);
    EXPECT_TRUE(enginetest::WaitFor([&] { return ::IsWindow(hwnd) == FALSE; }));
}

TEST_F(Dispatch, AWindowWithoutTheMatchingBoxIsNotMaximised)
{
    TestWindow window(WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
    BYTE b = 0, c = 0;
    EXPECT_EQ(ProcessButtonAction(Middle, ACTION_MAXIMIZE_WINDOW, nullptr, Profile(), 2, 0, 0, window.Handle(),
                                  POINT{150, 150}, b, c),
              1);
    // Handle whatever was posted to the window, then look.
    const HWND hwnd = window.Handle();
    EXPECT_TRUE(enginetest::WaitFor([hwnd] {
        MSG msg;
        return ::PeekMessageW(&msg, hwnd, 0, 0, PM_NOREMOVE) == FALSE;
    }));
    EXPECT_FALSE(::IsZoomed(window.Handle()));
}

TEST_F(Dispatch, WindowActionsNeverWaitForAWindowWhoseThreadIsHung)
{
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> hung{nullptr};
    std::atomic<bool> minimised{false};
    std::thread owner([&] {
        TestWindow window;
        hung = window.Handle();
        ::WaitForSingleObject(release, 30000);   // hung: no messages handled until released
        enginetest::WaitFor([&] { return ::IsIconic(window.Handle()) != FALSE; });
        minimised = ::IsIconic(window.Handle()) != FALSE;
    });
    ASSERT_TRUE(enginetest::WaitFor([&] { return hung.load() != nullptr; }));

    std::atomic<bool> done{false};
    CApplicationSettings* profile = Profile();
    std::thread hook([&] {
        BYTE b = 0, c = 0;
        for (int code : {ACTION_MAXIMIZE_WINDOW, ACTION_MINIMIZE_WINDOW})
            ProcessButtonAction(Middle, code, nullptr, profile, 2, 0, 0, hung.load(), POINT{150, 150}, b, c);
        done = true;
    });
    const bool returned = enginetest::WaitFor([&] { return done.load(); }, 10000);
    ::SetEvent(release);
    hook.join();
    owner.join();
    ::CloseHandle(release);
    EXPECT_TRUE(returned);
    EXPECT_TRUE(minimised.load());
}
} // namespace

// --- chords and timed clicks ------------------------------------------------------

namespace
{
DWORD g_virtualTick = 0;
DWORD VirtualTick()
{
    return g_virtualTick;
}

class StoredActions : public Dispatch
{
protected:
    void SetUp() override
    {
        Dispatch::SetUp();
        SetTickSource(VirtualTick);
    }
    void TearDown() override
    {
        // Nothing of a chord may outlive the test's profile.
        AbandonChord();
        SetTickSource(nullptr);
        Dispatch::TearDown();
    }

    // Left is the chord button: on its own a left click, with Right pressed
    // while it is held a middle click.
    void MakeChordButton(bool delayUntilKnown)
    {
        auto* chords = new CBRMPChords();
        chords->SetDelayUntilChordKnown(delayUntilKnown);
        CBRMPChord own;
        own.SetAction(ACTION_LEFT_CLICK);
        chords->SetChord(Left, own);
        CBRMPChord second;
        second.SetAction(ACTION_MIDDLE_CLICK);
        chords->SetChord(Right, second);
        Profile()->SetChords(Left, 0, chords);
        Profile()->SetActions(Left, 0, ACTION_BUTTON_CHORDING);
    }
};

TEST_F(StoredActions, AChordButtonPressedAloneDoesItsOwnActionOnItsRelease)
{
    MakeChordButton(true);
    EXPECT_EQ(Button(Left, 1), 1);
    EXPECT_EQ(sink.Buttons(), "");   // held back until the chord is known
    EXPECT_EQ(Button(Left, 2), 1);
    EXPECT_EQ(sink.Buttons(), "LD LU ");
    EXPECT_EQ(g_pGlobalChord, nullptr);
}

TEST_F(StoredActions, ASecondButtonPressedWhileTheChordButtonIsHeldDoesItsChordAction)
{
    MakeChordButton(true);
    EXPECT_EQ(Button(Left, 1), 1);
    EXPECT_EQ(Button(Right, 1), 1);
    EXPECT_EQ(Button(Right, 2), 1);
    EXPECT_EQ(Button(Left, 2), 1);
    EXPECT_EQ(sink.Buttons(), "MD MU ");   // neither the right click nor the chord button's own
    EXPECT_EQ(g_pGlobalChord, nullptr);
}

TEST_F(StoredActions, ReleasingTheChordButtonFirstReleasesTheChordActionAndSwallowsTheLaterRelease)
{
    MakeChordButton(true);
    EXPECT_EQ(Button(Left, 1), 1);
    g_held.Pressed(Right, HeldSource::User);   // physically held, as the hook marks it
    EXPECT_EQ(Button(Right, 1), 1);
    EXPECT_EQ(Button(Left, 2), 1);
    EXPECT_EQ(sink.Buttons(), "MD MU ");
    EXPECT_TRUE(g_held.ChordTookRelease(Right));
    g_held.Released(Right, HeldSource::User);
    EXPECT_EQ(Button(Right, 2), 1);
    EXPECT_FALSE(g_held.ChordTookRelease(Right));
    EXPECT_EQ(sink.Buttons(), "MD MU ");   // nothing more: neither a right up nor a second middle up
}

TEST_F(StoredActions, AChordButtonThatDoesNotWaitDoesItsOwnActionAtOnce)
{
    MakeChordButton(false);
    EXPECT_EQ(Button(Left, 1), 1);
    EXPECT_EQ(sink.Buttons(), "LD ");
    EXPECT_EQ(Button(Left, 2), 1);
    EXPECT_EQ(sink.Buttons(), "LD LU ");
}

TEST_F(StoredActions, AHeldButtonDoesTheActionOfHowLongItWasHeld)
{
    auto* clicks = new CBRMPTimedClicks();
    CBRMPTimedClick quick;
    quick.SetAction(ACTION_MIDDLE_CLICK);
    clicks->SetTimedClick(0, quick);
    CBRMPTimedClick held;
    held.SetAction(ACTION_CLICK_BUTTON_4);
    clicks->SetTimedClick(1, held);
    clicks->SetTime(1, 500);
    clicks->SetEnabled(1, true);
    Profile()->SetTimedClicks(XRight, 0, clicks);
    Profile()->SetActions(XRight, 0, ACTION_BUTTON_HELD);

    struct Case { DWORD heldMs; const char* mouse; };
    const Case cases[] = {{10, "MD MU "}, {499, "MD MU "}, {501, "XD1 XU1 "}, {5000, "XD1 XU1 "}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.heldMs);
        sink.Clear();
        g_virtualTick = 100000;
        EXPECT_EQ(Button(XRight, 1), 1);
        EXPECT_EQ(sink.Buttons(), "");   // nothing until the release or a timer
        g_virtualTick += c.heldMs;
        EXPECT_EQ(Button(XRight, 2), 1);
        EXPECT_EQ(sink.Buttons(), c.mouse);
        EXPECT_EQ(g_pTimedClicks[XRight], nullptr);
    }
}
} // namespace

namespace
{
TEST_F(StoredActions, MovementToScrollWithoutMovementDoesItsStoredActionInstead)
{
    CMovement2Scroll options;
    std::unique_ptr<CActionData> noMovement(CActionData::NewAction(ACTION_MIDDLE_CLICK));
    options.SetActionData(noMovement.get());
    Profile()->SetMovement2Scroll(XLeft, 0, &options);
    Profile()->SetActions(XLeft, 0, ACTION_MOVEMENT_TO_SCROLL);

    EXPECT_EQ(Button(XLeft, 1), 1);
    EXPECT_NE(g_pActiveMTS, nullptr);
    EXPECT_EQ(Button(XLeft, 2), 1);
    EXPECT_EQ(g_pActiveMTS, nullptr);
    EXPECT_EQ(sink.Buttons(), "MD MU ");

    // Scrolled: the release only ends it.
    sink.Clear();
    EXPECT_EQ(Button(XLeft, 1), 1);
    g_bMTSMoved = true;   // what the hook's move path records
    EXPECT_EQ(Button(XLeft, 2), 1);
    EXPECT_EQ(sink.Buttons(), "");
    EXPECT_EQ(g_pReplayingMTS, nullptr);
}
} // namespace

