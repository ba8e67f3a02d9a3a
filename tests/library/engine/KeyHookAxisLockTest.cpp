// The axis-lock keys end to end: a real key held (xdotool) through the
// library's keyboard hook locks an axis, real pointer moves then keep that
// axis where the lock began (the probe window records the moves it gets),
// and the release frees it.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "ApplicationSettings.h"
#include "EngineTestSupport.h"
#include "Globals.h"
#include "Hooks.h"
#include "Hotkeys.h"
#include "KeyHook.h"
#include "LayerTestSupport.h"
#include "LockAxis.h"
#include "LowLevelHook.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "SPIThread.h"
#include "Settings.h"

using brmptest::KeyHookEvent;
using brmptest::LowLevelKeyboardHook;
using brmptest::Named;
using brmptest::PhysicalInput;
using brmptest::Probe;
using brmptest::ProbeOptions;
using brmptest::ProbeRecord;
using enginetest::GlobalLockHolder;
using enginetest::WaitFor;
using layertest::EngineStateGuard;

namespace
{
// The moves the probe recorded (a held key's repeats would crowd them out of Describe).
std::string Moves(Probe& probe)
{
    std::string text;
    for (const ProbeRecord& r : probe.Records(Named(L"WM_MOUSEMOVE")))
        text += "  move " + std::to_string(r.Value(L"sx", -1)) + "," + std::to_string(r.Value(L"sy", -1)) + "\n";
    return text.empty() ? std::string("  no moves\n") : text;
}

ProbeOptions RecordingMoves()
{
    ProbeOptions options;
    options.recordMoves = true;
    return options;
}

class KeyHookAxisLockTest : public layertest::LayerKeysTest
{
protected:
    void SetUp() override
    {
        LayerKeysTest::SetUp();
        g_LockAxis.Init();
    }
    void TearDown() override
    {
        m_state.reset();
        PhysicalInput::KeyUp(L"F7");
        PhysicalInput::KeyUp(L"F8");
        RemoveMouseHook(false);
        LayerKeysTest::TearDown();
        g_LockAxis.Init();
    }

    static void SetKey(ModifierKeys index, unsigned short vk)
    {
        CHotkey* key = g_pSettings->GetLayerModifierKeys()->GetHotkey(index);
        key->SetVirtualKey(vk);
        key->SetModifier(0);
    }

    // Sends a key event and waits until the test's hook, which runs after the library's, has seen it.
    static ::testing::AssertionResult Key(LowLevelKeyboardHook& observer, const wchar_t* keysym, DWORD vk, bool up)
    {
        observer.Clear();
        const auto sent = up ? PhysicalInput::KeyUp(keysym) : PhysicalInput::KeyDown(keysym);
        if (!sent)
            return sent;
        if (!observer.WaitForEvent([&](const KeyHookEvent& e) { return e.vk == vk && ((e.flags & LLKHF_UP) != 0) == up; }))
            return ::testing::AssertionFailure() << "the key never came through the library's hook";
        return ::testing::AssertionSuccess();
    }

    // A move without waiting for the pointer to arrive: with an axis locked it never does.
    static ::testing::AssertionResult MoveTo(POINT p)
    {
        return PhysicalInput::Run({L"mousemove", std::to_wstring(p.x), std::to_wstring(p.y)});
    }

    // A profile in force that locks axes, F7 locking X and F8 Y.
    void UseAxisLockingProfile()
    {
        m_state = std::make_unique<EngineStateGuard>(4);
        m_state->Profile()->SetAxisLocking(true);
        SetKey(MK_LockXAxis, VK_F7);
        SetKey(MK_LockYAxis, VK_F8);
    }

private:
    std::unique_ptr<EngineStateGuard> m_state;
};
}

TEST_F(KeyHookAxisLockTest, HoldingAnAxisLockKeyKeepsThatAxisWhileThePointerMovesAndTheReleaseFreesIt)
{
    Probe probe(RecordingMoves());
    ASSERT_TRUE(probe.Start());
    LowLevelKeyboardHook observer;
    ASSERT_TRUE(observer.IsInstalled());
    ASSERT_TRUE(SetMouseHook());
    UseAxisLockingProfile();

    struct Case
    {
        const char* what;
        const wchar_t* keysym;
        DWORD vk;
        bool lockX;
    } const cases[] = {{"F7 locks X", L"F7", VK_F7, true}, {"F8 locks Y", L"F8", VK_F8, false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const POINT centre = probe.Center();
        ASSERT_TRUE(PhysicalInput::MoveToAndWait(centre.x, centre.y));
        ASSERT_TRUE(Key(observer, c.keysym, c.vk, false));
        ASSERT_TRUE(WaitFor([&] { return c.lockX ? g_LockAxis.LockedX() : g_LockAxis.LockedY(); }));
        EXPECT_FALSE(c.lockX ? g_LockAxis.LockedY() : g_LockAxis.LockedX()) << "only the key's axis";
        // The pointer shows the lock: the SPI thread set the axis's lock cursor.
        const HCURSOR lockCursor = c.lockX ? g_LockAxis.CursorLockX() : g_LockAxis.CursorLockY();
        ASSERT_NE(lockCursor, nullptr);
        EXPECT_TRUE(WaitFor([&] {
            return g_threads.pSPIThread != nullptr && g_threads.pSPIThread->GetCurrentOverlay() == reinterpret_cast<ULONG_PTR>(lockCursor);
        }));

        // Moves down and then up keep the locked axis while the free axis follows.
        // (The free axis is moved by a relative move of our own, so only its
        // direction is checked here. Each move is waited for before the next:
        // the probe's queue merges moves it has not read yet.)
        probe.Clear();
        const POINT first{centre.x + 40, centre.y + 30};
        const POINT second{centre.x - 30, centre.y - 50};
        const wchar_t* freeKey = c.lockX ? L"sy" : L"sx";
        const wchar_t* lockedKey = c.lockX ? L"sx" : L"sy";
        const long long freeCentre = c.lockX ? centre.y : centre.x;
        ASSERT_TRUE(MoveTo(first));
        const auto down = probe.WaitForRecord(
            [&](const ProbeRecord& r) { return r.Is(L"WM_MOUSEMOVE") && r.Value(freeKey, freeCentre) > freeCentre; });
        ASSERT_TRUE(down.has_value()) << "the free axis follows the pointer down\n" << Moves(probe);
        ASSERT_TRUE(MoveTo(second));
        const auto up = probe.WaitForRecord(
            [&](const ProbeRecord& r) { return r.Is(L"WM_MOUSEMOVE") && r.Value(freeKey, freeCentre) < freeCentre; });
        ASSERT_TRUE(up.has_value()) << "and up again\n" << Moves(probe);
        const auto moves = probe.Records(Named(L"WM_MOUSEMOVE"));
        // The pointer itself never leaves the locked co-ordinate it had when the lock began.
        const long long startLocked = c.lockX ? centre.x : centre.y;
        for (const ProbeRecord& r : moves)
            EXPECT_EQ(r.Value(lockedKey, -1), startLocked) << "the locked axis stays\n" << Moves(probe);

        ASSERT_TRUE(Key(observer, c.keysym, c.vk, true));
        ASSERT_TRUE(WaitFor([] { return !g_LockAxis.Locked(); })) << "the release unlocks";
        EXPECT_TRUE(WaitFor([] { return g_threads.pSPIThread != nullptr && g_threads.pSPIThread->GetCurrentOverlay() == 0; }))
            << "and the user's cursors come back (layer 1, no profile cursor)";
        probe.Clear();
        const POINT after{centre.x - 60, centre.y + 70};
        ASSERT_TRUE(MoveTo(after));
        const auto free = probe.WaitForRecord([&](const ProbeRecord& r) {
            return r.Is(L"WM_MOUSEMOVE") && r.Value(L"sx", -1) == after.x && r.Value(L"sy", -1) == after.y;
        });
        EXPECT_TRUE(free.has_value()) << "both axes move again\n" << Moves(probe);
    }
}

TEST_F(KeyHookAxisLockTest, AMoveThatFindsTheGlobalLockHeldByAnotherThreadStillKeepsTheLockedAxis)
{
    Probe probe(RecordingMoves());
    ASSERT_TRUE(probe.Start());
    LowLevelKeyboardHook observer;
    ASSERT_TRUE(observer.IsInstalled());
    ASSERT_TRUE(SetMouseHook());
    UseAxisLockingProfile();
    const POINT centre = probe.Center();
    ASSERT_TRUE(PhysicalInput::MoveToAndWait(centre.x, centre.y));
    ASSERT_TRUE(Key(observer, L"F7", VK_F7, false));
    ASSERT_TRUE(WaitFor([] { return g_LockAxis.LockedX(); }));

    GlobalLockHolder holder;
    ASSERT_TRUE(holder.Holding());
    probe.Clear();
    ASSERT_TRUE(MoveTo(POINT{centre.x + 40, centre.y + 30}));
    // The pointer comes off the centre's row either way: along the free axis
    // with the lock kept, or straight to the point without it.
    const auto moved = probe.WaitForRecord(
        [&](const ProbeRecord& r) { return r.Is(L"WM_MOUSEMOVE") && r.Value(L"sy", centre.y) != centre.y; });
    holder.Release();
    ASSERT_TRUE(moved.has_value()) << Moves(probe);
    EXPECT_EQ(moved->Value(L"sx", -1), centre.x) << "the locked axis stays\n" << Moves(probe);
}

// Both ways the hook goes out: the hooks stopped and started again, and the
// system dropping a slow hook that the hook thread then puts in again.
class KeyHookAxisLockAfterHooksOut : public KeyHookAxisLockTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(KeyHookAxisLockAfterHooksOut, AfterThePointerMovedWithoutHooksTheFreeAxisFollowsFromWhereThePointerIs)
{
    const bool dropped = GetParam();
    Probe probe(RecordingMoves());
    ASSERT_TRUE(probe.Start());
    LowLevelKeyboardHook observer;
    ASSERT_TRUE(observer.IsInstalled());
    const POINT centre = probe.Center();
    // The hooks see the pointer arrive well below the centre, but not its way back.
    const POINT below{centre.x - 60, centre.y + 200};
    ASSERT_TRUE(SetMouseHook());
    ASSERT_TRUE(PhysicalInput::MoveToAndWait(below.x, below.y));
    const HHOOK before = g_threads.hMouseHook;
    if (dropped)
        ASSERT_TRUE(::UnhookWindowsHookEx(before));
    else
        RemoveMouseHook(false);
    ASSERT_TRUE(PhysicalInput::MoveToAndWait(centre.x, centre.y));

    if (dropped)
    {
        ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_MOUSEHOOK, 0));
        ASSERT_TRUE(WaitFor([&] { return g_threads.hMouseHook != nullptr && g_threads.hMouseHook != before; }));
    }
    else
    {
        ASSERT_TRUE(SetMouseHook());
    }
    UseAxisLockingProfile();
    ASSERT_TRUE(Key(observer, L"F7", VK_F7, false));
    ASSERT_TRUE(WaitFor([] { return g_LockAxis.LockedX(); }));
    probe.Clear();
    ASSERT_TRUE(MoveTo(POINT{centre.x + 40, centre.y + 30}));
    const auto moved = probe.WaitForRecord(
        [&](const ProbeRecord& r) { return r.Is(L"WM_MOUSEMOVE") && r.Value(L"sy", centre.y) != centre.y; });
    ASSERT_TRUE(moved.has_value()) << Moves(probe);
    EXPECT_GT(moved->Value(L"sy", -1), centre.y) << "down, as the move went\n" << Moves(probe);
}

INSTANTIATE_TEST_SUITE_P(StoppedOrDropped, KeyHookAxisLockAfterHooksOut, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "DroppedByTheSystem" : "Stopped";
                         });

TEST_F(KeyHookAxisLockTest, AnAxisLockKeyDoesNothingForAProfileWithoutAxisLocking)
{
    LowLevelKeyboardHook observer;
    ASSERT_TRUE(SetMouseHook());
    EngineStateGuard state(4);
    state.Profile()->SetAxisLocking(false);
    SetKey(MK_LockXAxis, VK_F7);
    ASSERT_TRUE(Key(observer, L"F7", VK_F7, false));
    EXPECT_FALSE(g_LockAxis.Locked());
    ASSERT_TRUE(Key(observer, L"F7", VK_F7, true));
    EXPECT_FALSE(g_LockAxis.Locked());
}

TEST_F(KeyHookAxisLockTest, AKeyReleaseUnlocksOnlyALockThatHoldsAndOnlyOneTheKeysMade)
{
    // Nothing locked, even after an earlier key lock left the key origin behind:
    // no unlock is reported, so other key work (the sticky reset) is not skipped.
    LockAxisByKey(true);
    EXPECT_TRUE(IsAxisLockedByKey(true));
    EXPECT_TRUE(UnlockAxesByKey());
    EXPECT_FALSE(g_LockAxis.Locked());
    EXPECT_FALSE(UnlockAxesByKey()) << "nothing held: nothing to report";

    // A lock an action made is not the keys' to release.
    g_LockAxis.LockY(nullptr, 0, true, false);
    EXPECT_FALSE(UnlockAxesByKey());
    EXPECT_TRUE(g_LockAxis.LockedY());
    g_LockAxis.Init();
}
