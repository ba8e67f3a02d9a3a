// The axis lock's rules on an object of the test's own: which axes are held,
// which lock refuses an unlock, which cursor each change asks for. Without an
// SPI thread and without hooks, cursor changes go to the system directly; the
// system calls are replaced so the test sees them and the desktop is untouched.

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "Globals.h"
#include "LockAxis.h"
#include "SPIThread.h"
#include "Settings.h"

namespace
{
struct FakeSystem
{
    static inline int remoteSession = 0;
    static inline std::vector<UINT> spiActions;
    static inline std::vector<DWORD> cursorsSet;

    static BOOL Spi(UINT action, UINT, PVOID data, UINT)
    {
        spiActions.push_back(action);
        if (action == SPI_GETWHEELSCROLLLINES && data != nullptr)
            *static_cast<UINT*>(data) = 3;
        return TRUE;
    }
    static int Metrics(int index)
    {
        return index == SM_REMOTESESSION ? remoteSession : ::GetSystemMetrics(index);
    }
    static BOOL SetCursor(HCURSOR cursor, DWORD id)
    {
        cursorsSet.push_back(id);
        ::DestroyCursor(cursor);
        return TRUE;
    }
    static int Resets()
    {
        int n = 0;
        for (UINT a : spiActions)
            n += a == SPI_SETCURSORS ? 1 : 0;
        return n;
    }
};

const SPISystemCalls kFake = {&FakeSystem::Spi, &FakeSystem::Metrics, &FakeSystem::SetCursor};

class LockAxisTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FakeSystem::remoteSession = 0;
        FakeSystem::spiActions.clear();
        FakeSystem::cursorsSet.clear();
        SetSPISystemCalls(&kFake);
        m_savedRdp = g_pSettings->m_bDisableInRDP;
        m_savedScrollLock = g_pSettings->m_bScrollLockBypassAll;
        g_pSettings->m_bScrollLockBypassAll = false;
    }
    void TearDown() override
    {
        g_pSettings->m_bDisableInRDP = m_savedRdp;
        g_pSettings->m_bScrollLockBypassAll = m_savedScrollLock;
        SetSPISystemCalls(nullptr);
    }

    CLockAxis m_lock;
    bool m_savedRdp = false;
    bool m_savedScrollLock = true;
};

constexpr bool kKey = true;     // origin flag of the keyboard hook
constexpr bool kAction = false; // origin flag of actions
}

TEST_F(LockAxisTest, LockingOneAxisKeepsOrReleasesTheOtherAndShowsTheMatchingCursor)
{
    struct Case
    {
        const char* what;
        bool xFirst;     // lock this axis first (non-exclusive)
        bool exclusive;  // then lock the other one with this flag
        bool expectX;
        bool expectY;
        LockCursorShown shown;
    } cases[] = {
        {"LockY while X is locked, not exclusive", true, false, true, true, LockCursorShown::LockXY},
        {"LockY while X is locked, exclusive", true, true, false, true, LockCursorShown::LockY},
        {"LockX while Y is locked, not exclusive", false, false, true, true, LockCursorShown::LockXY},
        {"LockX while Y is locked, exclusive", false, true, true, false, LockCursorShown::LockX},
    };
    for (const Case& c : cases)
    {
        CLockAxis lock;
        if (c.xFirst)
        {
            lock.LockX(nullptr, 0, false, kAction);
            lock.LockY(nullptr, 0, c.exclusive, kAction);
        }
        else
        {
            lock.LockY(nullptr, 0, false, kAction);
            lock.LockX(nullptr, 0, c.exclusive, kAction);
        }
        EXPECT_EQ(lock.LockedX(), c.expectX) << c.what;
        EXPECT_EQ(lock.LockedY(), c.expectY) << c.what;
        EXPECT_EQ(lock.LastCursorShown(), c.shown) << c.what;
    }
}

TEST_F(LockAxisTest, TheLockCycleStepsFromNothingToXToYAndBackToTheProfileCursor)
{
    struct Step
    {
        bool x;
        bool y;
        LockCursorShown shown;
    } const steps[] = {
        {true, false, LockCursorShown::LockX},
        {false, true, LockCursorShown::LockY},
        {false, false, LockCursorShown::Profile},
        {true, false, LockCursorShown::LockX},
    };
    for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i)
    {
        m_lock.LockCycle(nullptr, 0, g_pSettings, nullptr, kAction);
        EXPECT_EQ(m_lock.LockedX(), steps[i].x) << "step " << i;
        EXPECT_EQ(m_lock.LockedY(), steps[i].y) << "step " << i;
        EXPECT_EQ(m_lock.LastCursorShown(), steps[i].shown) << "step " << i;
    }

    // Both axes held (and locked to an axis) is left entirely, origin included.
    CLockAxis both;
    both.LockXY(nullptr, 0, kKey);
    both.LockToAxis(nullptr, 0, kKey);
    both.LockCycle(nullptr, 0, g_pSettings, nullptr, kKey);
    EXPECT_FALSE(both.Locked());
    EXPECT_FALSE(both.LockedToAxis());
    EXPECT_FALSE(both.Origin());
}

TEST_F(LockAxisTest, AnUnlockFromAnotherOriginIsRefusedAndKeepsTheLock)
{
    m_lock.LockX(nullptr, 0, false, kKey);
    m_lock.LockY(nullptr, 0, false, kKey);
    EXPECT_FALSE(m_lock.UnlockX(nullptr, 0, g_pSettings, nullptr, kAction));
    EXPECT_FALSE(m_lock.UnlockY(nullptr, 0, g_pSettings, nullptr, kAction));
    EXPECT_FALSE(m_lock.UnlockXY(nullptr, 0, g_pSettings, nullptr, kAction));
    EXPECT_TRUE(m_lock.LockedX());
    EXPECT_TRUE(m_lock.LockedY());

    // The same origin releases one axis; the other's lock cursor stays.
    EXPECT_TRUE(m_lock.UnlockX(nullptr, 0, g_pSettings, nullptr, kKey));
    EXPECT_FALSE(m_lock.LockedX());
    EXPECT_TRUE(m_lock.LockedY());
    EXPECT_EQ(m_lock.LastCursorShown(), LockCursorShown::LockY);
    EXPECT_TRUE(m_lock.UnlockY(nullptr, 0, g_pSettings, nullptr, kKey));
    EXPECT_FALSE(m_lock.Locked());
    EXPECT_EQ(m_lock.LastCursorShown(), LockCursorShown::Profile);
}

TEST_F(LockAxisTest, UnlockClearsEveryLockAndPositionButReportsAChangeOnlyWhenSomethingHeldOrForced)
{
    EXPECT_FALSE(m_lock.Unlock(nullptr, 0, g_pSettings, nullptr, false)) << "nothing held";
    EXPECT_EQ(m_lock.LastCursorShown(), LockCursorShown::None) << "no cursor change for nothing";
    EXPECT_TRUE(m_lock.Unlock(nullptr, 0, g_pSettings, nullptr, true)) << "forced";

    m_lock.LockXY(nullptr, 0, kKey);
    m_lock.LockToAxis(nullptr, 0, kKey);
    m_lock.XLocked(100);
    m_lock.YLocked(200);
    EXPECT_TRUE(m_lock.Unlock(nullptr, 0, g_pSettings, nullptr, false));
    EXPECT_FALSE(m_lock.Locked());
    EXPECT_FALSE(m_lock.LockedToAxis());
    EXPECT_EQ(m_lock.XPos(), 0);
    EXPECT_EQ(m_lock.YPos(), 0);
    EXPECT_TRUE(m_lock.Origin()) << "the origin outlives the unlock";
    EXPECT_EQ(m_lock.LastCursorShown(), LockCursorShown::Profile);
}

TEST_F(LockAxisTest, ALockedAxisTakesItsPositionOnceAndHoldsItForLaterMoves)
{
    EXPECT_FALSE(m_lock.XLocked(50)) << "not locked: nothing stored";
    EXPECT_EQ(m_lock.XPos(), 0);

    m_lock.LockX(nullptr, 0, true, kAction);
    EXPECT_TRUE(m_lock.XLocked(50));
    EXPECT_TRUE(m_lock.XLocked(75));
    EXPECT_EQ(m_lock.XPos(), 50);

    struct Move
    {
        LONG x, y, wantX, wantY;
    } const moves[] = {{300, 400, 50, 400}, {10, 20, 50, 20}, {900, 5, 50, 5}};
    for (const Move& m : moves)
    {
        LONG x = m.x;
        LONG y = m.y;
        EXPECT_TRUE(m_lock.ConstrainMove(x, y));
        EXPECT_EQ(x, m.wantX);
        EXPECT_EQ(y, m.wantY);
    }

    // Y joins: the next move's y becomes the Y position.
    m_lock.LockY(nullptr, 0, false, kAction);
    LONG x = 1, y = 333;
    m_lock.ConstrainMove(x, y);
    x = 2;
    y = 444;
    m_lock.ConstrainMove(x, y);
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 333);

    // Unlocked: moves pass untouched.
    m_lock.Unlock(nullptr, 0, g_pSettings, nullptr, false);
    x = 7;
    y = 8;
    EXPECT_FALSE(m_lock.ConstrainMove(x, y));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 8);
}

TEST_F(LockAxisTest, TheInternalLockHoldsBothAxesWithoutACursorChangeAndTheCursorIgnoresIt)
{
    m_lock.InternalLockXY();
    EXPECT_TRUE(m_lock.LockedX());
    EXPECT_TRUE(m_lock.LockedY());
    EXPECT_TRUE(m_lock.InternalLocked());
    EXPECT_FALSE(m_lock.Origin());
    EXPECT_EQ(m_lock.LastCursorShown(), LockCursorShown::None);

    m_lock.XLocked(5);
    m_lock.InternalUnlockXY();
    EXPECT_FALSE(m_lock.Locked());
    EXPECT_FALSE(m_lock.InternalLocked());
    EXPECT_EQ(m_lock.XPos(), 0);
}

TEST_F(LockAxisTest, InversionFlagsAreSetAndClearedIndependentlyOfTheLocks)
{
    struct Case
    {
        const char* what;
        void (CLockAxis::*op)();
        bool x;
        bool y;
    } const cases[] = {
        {"InvertX", &CLockAxis::InvertX, true, false},     {"InvertY", &CLockAxis::InvertY, true, true},
        {"UninvertX", &CLockAxis::UninvertX, false, true}, {"UninvertY", &CLockAxis::UninvertY, false, false},
        {"InvertXY", &CLockAxis::InvertXY, true, true},    {"UninvertXY", &CLockAxis::UninvertXY, false, false},
    };
    for (const Case& c : cases)
    {
        (m_lock.*c.op)();
        EXPECT_EQ(m_lock.IsXInverted(), c.x) << c.what;
        EXPECT_EQ(m_lock.IsYInverted(), c.y) << c.what;
        EXPECT_EQ(m_lock.IsInverted(), c.x || c.y) << c.what;
    }
    m_lock.InvertXY();
    m_lock.Init();
    EXPECT_TRUE(m_lock.IsInverted()) << "Init clears the locks, not the inversion";
}

TEST_F(LockAxisTest, TogglingAnAxisLockSwitchesItAndALockToAnAxisBlocksTheRelease)
{
    m_lock.LockY(nullptr, 0, false, kAction);
    m_lock.ToggleXAxisLock(nullptr, 0, g_pSettings, nullptr);
    EXPECT_TRUE(m_lock.LockedX());
    EXPECT_FALSE(m_lock.LockedY()) << "toggling X on releases Y";
    EXPECT_EQ(m_lock.LastCursorShown(), LockCursorShown::LockX);

    m_lock.ToggleXAxisLock(nullptr, 0, g_pSettings, nullptr);
    EXPECT_FALSE(m_lock.LockedX());
    EXPECT_EQ(m_lock.LastCursorShown(), LockCursorShown::Profile);

    m_lock.ToggleYAxisLock(nullptr, 0, g_pSettings, nullptr);
    m_lock.LockToAxis(nullptr, 0, kAction);
    m_lock.ToggleYAxisLock(nullptr, 0, g_pSettings, nullptr);
    EXPECT_TRUE(m_lock.LockedY()) << "a lock to an axis keeps the toggle from releasing";
}

TEST_F(LockAxisTest, ACopyCarriesEveryFlagAndPosition)
{
    m_lock.LockX(nullptr, 0, false, kKey);
    m_lock.XLocked(42);
    m_lock.LockToAxis(nullptr, 0, kKey);
    m_lock.InvertY();
    CLockAxis copy(m_lock);
    CLockAxis assigned;
    assigned = m_lock;
    for (const CLockAxis* c : {&copy, &assigned})
    {
        EXPECT_TRUE(c->LockedX());
        EXPECT_FALSE(c->LockedY());
        EXPECT_TRUE(c->LockedToAxis());
        EXPECT_TRUE(c->Origin());
        EXPECT_EQ(c->XPos(), 42);
        EXPECT_TRUE(c->IsYInverted());
        EXPECT_FALSE(c->IsXInverted());
    }
}

TEST_F(LockAxisTest, WhileRemappingIsOffInARemoteSessionEveryLockShowsTheUsersCursors)
{
    g_pSettings->m_bDisableInRDP = true;
    FakeSystem::remoteSession = 1;
    const int before = FakeSystem::Resets();
    m_lock.LockX(nullptr, 0, false, kAction);
    m_lock.LockY(nullptr, 0, false, kAction);
    m_lock.LockToAxis(nullptr, 0, kAction);
    EXPECT_TRUE(m_lock.LockedX()) << "the lock itself still holds";
    EXPECT_EQ(m_lock.LastCursorShown(), LockCursorShown::Profile);
    EXPECT_EQ(FakeSystem::Resets() - before, 3) << "each lock restored the system cursors";
    EXPECT_TRUE(FakeSystem::cursorsSet.empty()) << "no lock cursor was set";

    // Outside a remote session the same lock sets all 16 system cursors.
    FakeSystem::remoteSession = 0;
    CLockAxis withCursors;
    withCursors.InitCursors(g_system.hInstance);
    ASSERT_NE(withCursors.CursorLockX(), nullptr) << "the library's own lock cursors";
    ASSERT_NE(withCursors.CursorLockY(), nullptr);
    ASSERT_NE(withCursors.CursorLockXY(), nullptr);
    withCursors.LockX(nullptr, 0, false, kAction);
    EXPECT_EQ(FakeSystem::cursorsSet.size(), static_cast<size_t>(kSystemCursorCount));
    const int resetsBefore = FakeSystem::Resets();
    withCursors.DestroyCursors();
    EXPECT_EQ(withCursors.CursorLockX(), nullptr);
    EXPECT_EQ(FakeSystem::Resets() - resetsBefore, 1) << "destroying the lock cursors restores the system's";
}
