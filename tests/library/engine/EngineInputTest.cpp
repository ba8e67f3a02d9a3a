// The engine's simulated-input requests and the button road that uses them,
// checked on what reaches the input sink of a private queue.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ActionDispatch.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "EngineInput.h"
#include "Globals.h"
#include "HeldInput.h"
#include "LayerTestSupport.h"
#include "RecordingSink.h"
#include "PrivateInputQueue.h"
#include "SendInput.h"

namespace
{
// A private queue in place of the engine's, drained on the test thread.
class EngineQueue : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedWhileDown = g_nWhileDownLayer;
        g_nWhileDownLayer = -1;
    }
    void TearDown() override
    {
        g_nWhileDownLayer = savedWhileDown;
    }
    std::string Drain()
    {
        queue.ProcessQueue();
        return sink.KeyText();
    }

    PrivateInputQueue m_input;
    brmptest::RecordingSink& sink = m_input.sink;
    CSendInput& queue = m_input.queue;
    int savedWhileDown = -1;
};

TEST_F(EngineQueue, EmptyOrMissingKeyTextsQueueNothing)
{
    const POINT point{0, 0};
    EXPECT_FALSE(SendKeysStateSingleShot(nullptr, point, nullptr, false, false));
    EXPECT_FALSE(SendKeysStateSingleShot(L"", point, nullptr, false, false));
    EXPECT_FALSE(SendKeysStateSingleShotRepeatRelease(L"", point, nullptr));
    EXPECT_FALSE(SendKeyStateWhileDown(nullptr, false, point, nullptr));
    EXPECT_EQ(queue.QueueLength(), 0u);
}

TEST_F(EngineQueue, WithoutTheSendThreadNothingIsQueuedAndFalseIsReturned)
{
    g_threads.pSendInput = nullptr;
    const POINT point{0, 0};
    EXPECT_FALSE(SendKeysStateSingleShot(L"a", point, nullptr, false, false));
    EXPECT_FALSE(SendKeyStateWhileDown(L"a", true, point, nullptr));
    EXPECT_FALSE(SendKey('A', false, 0, static_cast<UINT>(-1)));
    EXPECT_FALSE(MouseWheel(120));
    EXPECT_FALSE(MouseTilt(-120));
    EXPECT_FALSE(MovementToScroll(120, 0));
    EXPECT_FALSE(MouseMove(POINT{0, 0}, POINT{5, 5}));
}

TEST_F(EngineQueue, ASingleShotSequencePressesAndReleasesEachKeyInOrder)
{
    ASSERT_TRUE(SendKeysStateSingleShot(L"ab", POINT{0, 0}, nullptr, false, false));
    EXPECT_EQ(Drain(), "41+ 41- 42+ 42- ");
}

TEST_F(EngineQueue, AHeldSequenceReleasesItsKeysInReverseOrder)
{
    ASSERT_TRUE(SendKeyStateWhileDown(L"ab", false, POINT{0, 0}, nullptr));
    EXPECT_EQ(Drain(), "41+ 42+ ");
    ASSERT_TRUE(SendKeyStateWhileDown(L"ab", true, POINT{0, 0}, nullptr));
    EXPECT_EQ(Drain(), "41+ 42+ 42- 41- ");
    EXPECT_EQ(queue.HeldKeyCount(), 0u);
}

TEST_F(EngineQueue, SendKeyWrapsTheKeyInItsModifiers)
{
    ASSERT_TRUE(SendKey('C', false, 2, static_cast<UINT>(-1)));
    EXPECT_EQ(Drain(), "A2+ 43+ 43- A2- ");   // left Ctrl around the key
}

TEST_F(EngineQueue, WheelAndTiltNotchesKeepTheirSignAndCarryOurMarker)
{
    struct Case { bool tilt; short amount; DWORD flag; };
    const Case cases[] = {
        {false, 120, MOUSEEVENTF_WHEEL}, {false, -120, MOUSEEVENTF_WHEEL},
        {true, 120, MOUSEEVENTF_HWHEEL}, {true, -32768, MOUSEEVENTF_HWHEEL},
    };
    for (const Case& c : cases)
        ASSERT_TRUE(c.tilt ? MouseTilt(c.amount) : MouseWheel(c.amount));
    queue.ProcessQueue();
    const std::vector<INPUT> mouse = sink.Mouse();
    ASSERT_EQ(mouse.size(), 4u);
    for (size_t i = 0; i < mouse.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(mouse[i].mi.dwFlags, cases[i].flag);
        EXPECT_EQ(static_cast<LONG>(mouse[i].mi.mouseData), static_cast<LONG>(cases[i].amount));
        EXPECT_EQ(mouse[i].mi.dwExtraInfo, OwnInputSignature());
    }
}

TEST_F(EngineQueue, MovementToScrollQueuesOnlyTheNonZeroAxesVerticalFirst)
{
    EXPECT_FALSE(MovementToScroll(0, 0));
    EXPECT_EQ(queue.QueueLength(), 0u);
    ASSERT_TRUE(MovementToScroll(-240, 360));
    ASSERT_TRUE(MovementToScroll(0, -120));
    queue.ProcessQueue();
    const std::vector<INPUT> mouse = sink.Mouse();
    ASSERT_EQ(mouse.size(), 3u);
    EXPECT_EQ(mouse[0].mi.dwFlags, static_cast<DWORD>(MOUSEEVENTF_WHEEL));
    EXPECT_EQ(static_cast<LONG>(mouse[0].mi.mouseData), -240);
    EXPECT_EQ(mouse[1].mi.dwFlags, static_cast<DWORD>(MOUSEEVENTF_HWHEEL));
    EXPECT_EQ(static_cast<LONG>(mouse[1].mi.mouseData), 360);
    EXPECT_EQ(mouse[2].mi.dwFlags, static_cast<DWORD>(MOUSEEVENTF_HWHEEL));
}

TEST_F(EngineQueue, AMouseMoveIsRelativeFromThePointToTheForcedPoint)
{
    ASSERT_TRUE(MouseMove(POINT{100, 50}, POINT{90, 75}));
    queue.ProcessQueue();
    const std::vector<INPUT> mouse = sink.Mouse();
    ASSERT_EQ(mouse.size(), 1u);
    EXPECT_EQ(mouse[0].mi.dwFlags, static_cast<DWORD>(MOUSEEVENTF_MOVE));
    EXPECT_EQ(mouse[0].mi.dx, -10);
    EXPECT_EQ(mouse[0].mi.dy, 25);
}

// --- the button road: ProcessButton with a profile of the test in force ---------

class ButtonRoad : public EngineQueue
{
protected:
    void SetUp() override
    {
        EngineQueue::SetUp();
        guard = std::make_unique<layertest::EngineStateGuard>();
    }
    void TearDown() override
    {
        guard.reset();
        EngineQueue::TearDown();
    }
    CApplicationSettings* Profile() { return guard->Profile(); }
    void Keys(int button, const wchar_t* keys, int mode, bool blockMouse = true)
    {
        Profile()->SetActions(button, 0, ACTION_SIMULATED_KEYS);
        Profile()->SetKeystrokes(button, 0, keys, mode, 0, false, blockMouse, false, false);
    }
    int Press(int button, int kind)
    {
        BYTE fixUp = 0, block = 0, click = 0;
        return ProcessButton(button, kind, true, POINT{5, 5}, fixUp, block, click);
    }

    std::unique_ptr<layertest::EngineStateGuard> guard;
};

TEST_F(ButtonRoad, PressedReleasedAndBothModesSendOnTheirEvents)
{
    struct Case { int mode; const char* afterDown; const char* afterUp; };
    const Case cases[] = {
        {0, "41+ 41- ", "41+ 41- "},
        {1, "", "41+ 41- "},
        {8, "41+ 41- ", "41+ 41- 41+ 41- "},
        {2, "41+ ", "41+ 41- "},
        {9, "", ""},
        {-3, "", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mode);
        sink.Clear();
        Keys(1, L"a", c.mode);
        EXPECT_EQ(Press(1, 1), 1);
        EXPECT_EQ(Drain(), c.afterDown);
        EXPECT_EQ(Press(1, 2), 1);
        EXPECT_EQ(Drain(), c.afterUp);
    }
}

TEST_F(ButtonRoad, ASequenceThatDoesNotBlockLetsTheClickThrough)
{
    Keys(1, L"a", 0, false);
    EXPECT_EQ(Press(1, 1), 0);
    EXPECT_EQ(Drain(), "41+ 41- ");
}

TEST_F(ButtonRoad, NoChangePassesDisableSwallowsAndReservedActionsPass)
{
    struct Case { int code; int result; };
    const Case cases[] = {
        {ACTION_NO_CHANGE, 0}, {ACTION_DISABLE, 1}, {ACTION_SAME_AS_DEFAULT, 0}, {ACTION_RESERVED_FIRST, 0},
        {ACTION_NEXT_WINDOW, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.code);
        Profile()->SetActions(2, 0, c.code);
        EXPECT_EQ(Press(2, 1), c.result);
        EXPECT_EQ(Press(2, 2), c.result);
    }
}

TEST_F(ButtonRoad, ADisabledLayerUsesTheFirstLayersAction)
{
    Keys(3, L"b", 0);
    Profile()->SetActions(3, 2, ACTION_DISABLE);
    Profile()->SetLayerDisabled(2, true);
    g_engine.nCurrentLayer = 2;
    EXPECT_EQ(Press(3, 1), 1);
    EXPECT_EQ(Drain(), "42+ 42- ");
}

TEST_F(ButtonRoad, ADownIsRememberedAndItsReleaseForgetsIt)
{
    Profile()->SetActions(4, 0, ACTION_DISABLE);
    Press(4, 1);
    EXPECT_TRUE(g_held.TookOverPress(4));
    Press(4, 2);
    EXPECT_FALSE(g_held.TookOverPress(4));
}

TEST_F(ButtonRoad, AReleaseAfterAChordIsSwallowedOnceWithoutAction)
{
    Keys(1, L"a", 1);
    g_held.ReleaseTakenByChord(1);
    EXPECT_EQ(Press(1, 2), 1);
    EXPECT_EQ(Drain(), "");
    EXPECT_FALSE(g_held.ChordTookRelease(1));
    EXPECT_EQ(Press(1, 2), 1);
    EXPECT_EQ(Drain(), "41+ 41- ");
}

TEST_F(ButtonRoad, ButtonsOutsideTheNineAndAMissingProfileGoOnToTheSystem)
{
    EXPECT_EQ(Press(-1, 1), 0);
    EXPECT_EQ(Press(9, 1), 0);
    g_engine.pCurrentApp = nullptr;   // the guard puts the profile back
    EXPECT_EQ(Press(1, 1), 0);
}
} // namespace
