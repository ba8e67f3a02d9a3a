// A profile switch while a "Button Held" button is down: the press is not
// thrown away but becomes its short press, pressed at the switch and released
// with the button, whatever the button does in the new profile.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "Clock.h"
#include "Globals.h"
#include "LayerTestSupport.h"
#include "ProfileSwitch.h"
#include "RecordingSink.h"
#include "PrivateInputQueue.h"
#include "SendInput.h"
#include "Settings.h"
#include "TimedClicks.h"

namespace
{
DWORD g_tick = 0;
DWORD Tick()
{
    return g_tick;
}

class TimedClickProfileSwitch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_guard = std::make_unique<layertest::EngineStateGuard>();
        g_tick = 100000;
        SetTickSource(Tick);

        // Held briefly a middle click, held half a second the back button.
        auto* clicks = new CBRMPTimedClicks();
        CBRMPTimedClick quick;
        quick.SetAction(ACTION_MIDDLE_CLICK);
        clicks->SetTimedClick(0, quick);
        CBRMPTimedClick held;
        held.SetAction(ACTION_CLICK_BUTTON_4);
        clicks->SetTimedClick(1, held);
        clicks->SetTime(1, 500);
        clicks->SetEnabled(1, true);
        m_guard->Profile()->SetTimedClicks(XRight, 0, clicks);
        m_guard->Profile()->SetActions(XRight, 0, ACTION_BUTTON_HELD);

        // In the other profile the button is a right click.
        m_other = std::make_unique<CApplicationSettings>(g_pSettings, false, 98);
        m_other->SetApplication(L"otherprofile.exe");
        m_other->SetActions(XRight, 0, ACTION_RIGHT_CLICK);
    }
    void TearDown() override
    {
        SetNewApp(m_guard->Profile());
        SetTickSource(nullptr);
        m_guard.reset();
    }

    void Button(int kind)
    {
        BYTE fixUp = 0, block = 0, click = 0;
        ProcessButton(XRight, kind, true, POINT{40, 40}, fixUp, block, click);
        m_queue.ProcessQueue();
    }

    PrivateInputQueue m_input;
    brmptest::RecordingSink& m_sink = m_input.sink;
    CSendInput& m_queue = m_input.queue;
    std::unique_ptr<layertest::EngineStateGuard> m_guard;
    std::unique_ptr<CApplicationSettings> m_other;
};
} // namespace

TEST_F(TimedClickProfileSwitch, APressCutShortBecomesTheShortPressAndEndsWithItsOwnRelease)
{
    Button(1);
    EXPECT_EQ(m_sink.Buttons(), "");
    g_tick += 100;
    SetNewApp(m_other.get());
    m_queue.ProcessQueue();
    EXPECT_EQ(m_sink.Buttons(), "MD ") << "the short press is pressed when the profile changes";

    // Held long past the second entry's time: the press stays the short one.
    g_tick += 2000;
    Button(2);
    EXPECT_EQ(m_sink.Buttons(), "MD MU ") << "the release belongs to the press, not to the new profile's right click";
    EXPECT_EQ(g_pTimedClicks[XRight], nullptr);

    // The next press is the new profile's own.
    m_sink.Clear();
    Button(1);
    Button(2);
    EXPECT_EQ(m_sink.Buttons(), "RD RU ");
}
