// The tilt wheel: the auto-repeat of a held tilt is told from new tilts by its
// timing, dropped when the tilt has an action, and a taken-over tilt gets its
// button-up after the ignore interval.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "EngineTestSupport.h"
#include "Globals.h"
#include "HeldInput.h"
#include "HWheel.h"
#include "Hooks.h"
#include "LayerTestSupport.h"
#include "RepeatTimers.h"
#include "ScrollTimers.h"
#include "Settings.h"
#include "ThreadLock.h"

namespace
{
TEST(TiltRepeat, ASecondTiltWithinTheDevicesRepeatWindowIsARepeat)
{
    // Repeat delay 100 ms: a first repeat is expected 90-150 ms after the tilt,
    // later ones within 200 ms of the one before.
    struct Case
    {
        const char* what;
        DWORD now, first, last;
        bool repeat;
    } cases[] = {
        {"95 ms after the first tilt", 1095, 1000, 1000, true},
        {"the same time as the last message", 1000, 1000, 1000, true},
        {"just inside the early bound", 1090, 1000, 1000, true},
        {"just outside the early bound: a fast new tilt", 1089, 1000, 1000, false},
        {"just inside the late bound", 1150, 1000, 1000, true},
        {"160 ms later: a new tilt", 1160, 1000, 1000, false},
        {"a later repeat within twice the delay", 1295, 1000, 1095, true},
        {"a later message after twice the delay", 1296, 1000, 1095, false},
        {"a later message at the same time", 1095, 1000, 1095, true},
        {"the tick count wrapped between messages", 40, 0xFFFFFFC0u, 0xFFFFFFC0u, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsTiltRepeat(c.now, c.first, c.last, 100), c.repeat) << c.what;
}

class HWheelPath : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The tilt path acts only while the hooks run.
        ASSERT_TRUE(SetMouseHook());
        ASSERT_TRUE(enginetest::WaitFor([] { return g_threads.pSendInput != nullptr; }));
        m_guard = std::make_unique<layertest::EngineStateGuard>();
        m_fix = g_pSettings->m_bFixTiltRepeat;
        m_delay = g_pSettings->m_uRepeatTiltDelay;
        g_pSettings->m_bFixTiltRepeat = true;
        g_pSettings->m_uRepeatTiltDelay = 100;
        g_dwTiltFirst = 0;
        g_dwTiltLast = 0;
    }
    void TearDown() override
    {
        DropPendingScroll();
        if (m_defaultChanged)
        {
            g_pSettings->GetDefaultApp()->SetActions(5, 0, m_default[0]);
            g_pSettings->GetDefaultApp()->SetActions(6, 0, m_default[1]);
        }
        g_pSettings->m_bFixTiltRepeat = m_fix;
        g_pSettings->m_uRepeatTiltDelay = m_delay;
        m_guard.reset();
        RemoveMouseHook(false);
    }
    // A tilt is processed for the window under the cursor, whose profile may
    // be the default one: give both the same tilt actions.
    void SetTiltAction(int button, int code)
    {
        CApplicationSettings* fallback = g_pSettings->GetDefaultApp();
        if (!m_defaultChanged)
        {
            m_default[0] = fallback->GetActions(5, 0);
            m_default[1] = fallback->GetActions(6, 0);
            m_defaultChanged = true;
        }
        fallback->SetActions(button, 0, code);
        m_guard->Profile()->SetActions(button, 0, code);
    }
    bool Tilt(short delta, DWORD time)
    {
        MSLLHOOKSTRUCT data{};
        data.mouseData = static_cast<DWORD>(static_cast<WORD>(delta)) << 16;
        data.time = time;
        ::GetCursorPos(&data.pt);
        BYTE injected = 0;
        CThreadLock lock(L"HWheelTest");
        // A processed tilt may switch to the profile of the window under the cursor.
        g_engine.pCurrentApp = m_guard->Profile();
        return ProcessHWheel(&data, injected);
    }

    std::unique_ptr<layertest::EngineStateGuard> m_guard;
    bool m_fix = false;
    bool m_defaultChanged = false;
    _ACTIONS m_default[2] = {ACTION_NO_CHANGE, ACTION_NO_CHANGE};
    unsigned m_delay = 100;
};

TEST_F(HWheelPath, TheAutoRepeatOfATiltWithAnActionIsDroppedAndANewTiltActsAgain)
{
    // Tilt right (button 6) is disabled: every tilt is taken over.
    SetTiltAction(6, ACTION_DISABLE);
    EXPECT_TRUE(Tilt(120, 10000));
    EXPECT_EQ(g_dwTiltFirst, 10000u);
    EXPECT_TRUE(Tilt(120, 10095)) << "a repeat is dropped";
    EXPECT_EQ(g_dwTiltFirst, 10000u) << "a repeat does not start a new series";
    EXPECT_EQ(g_dwTiltLast, 10095u);
    EXPECT_TRUE(Tilt(120, 20000));
    EXPECT_EQ(g_dwTiltFirst, 20000u) << "a slow tilt is a new one";
}

TEST_F(HWheelPath, TheAutoRepeatOfATiltWithoutAnActionGoesToTheSystem)
{
    SetTiltAction(5, ACTION_NO_CHANGE);
    EXPECT_FALSE(Tilt(-120, 10000));
    EXPECT_FALSE(Tilt(-120, 10095));
}

TEST_F(HWheelPath, ATakenOverTiltWithAnIgnoreIntervalReleasesItsButtonLaterAndEatsTheNotchesBetween)
{
    CApplicationSettings* profile = m_guard->Profile();
    SetTiltAction(6, ACTION_DISABLE);
    profile->SetIgnoreHScroll(true);
    profile->SetIgnoreHScrollTime(60000);
    g_pSettings->m_bFixTiltRepeat = false;

    EXPECT_TRUE(Tilt(120, 10000));
    ASSERT_NE(g_pPendingScroll, nullptr);
    EXPECT_EQ(g_pPendingScroll->button, 6);
    EXPECT_TRUE(g_held.TookOverPress(6));
    EXPECT_TRUE(QTTimerActive(ID_QTTIMER_HSCROLL));

    // A notch inside the interval only pushes the release back.
    EXPECT_TRUE(Tilt(120, 10500));
    EXPECT_TRUE(QTTimerActive(ID_QTTIMER_HSCROLL));

    profile->SetIgnoreHScrollTime(1);
    EXPECT_TRUE(Tilt(120, 11000));
    EXPECT_TRUE(enginetest::WaitFor([] { return g_pPendingScroll == nullptr && !g_held.TookOverPress(6); }));
}
} // namespace
