// The SPI thread with its system calls replaced: requests posted from the
// test thread are applied on the SPI thread, debounced and coalesced, and the
// cursors it would set are seen by the fake (Wine's SetSystemCursor does nothing).

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "ApplicationSettings.h"
#include "Clock.h"
#include "Control.h"
#include "Cursors.h"
#include "EngineTestSupport.h"
#include "Globals.h"
#include "HookWorkers.h"
#include "SPIThread.h"
#include "SystemValues.h"
#include "ThreadLock.h"

using enginetest::MouseStateGuard;
using enginetest::WaitFor;

namespace
{
struct SpiCall
{
    UINT action;
    UINT param;
    UINT flags;
};

// The system as the SPI thread sees it: wheel lines and button swap that the
// thread's writes change, and every write and cursor recorded.
struct FakeSystem
{
    static inline std::mutex mutex;
    static inline UINT wheelLines = 3;
    static inline int swap = 0;
    static inline std::vector<SpiCall> writes;
    static inline std::vector<DWORD> cursorIds;
    static inline std::vector<std::vector<DWORD>> cursorPixels;

    static void Reset(UINT lines, int swapped)
    {
        std::lock_guard<std::mutex> lock(mutex);
        wheelLines = lines;
        swap = swapped;
        writes.clear();
        cursorIds.clear();
        cursorPixels.clear();
    }
    // While armed, the next read of the wheel lines (the SPI thread applying a
    // request, outside its lock) holds the thread until the gate opens.
    static inline HANDLE gate = nullptr;
    static inline HANDLE held = nullptr;

    static BOOL Spi(UINT action, UINT param, PVOID data, UINT flags)
    {
        if (action == SPI_GETWHEELSCROLLLINES && gate != nullptr && ::SetEvent(held))
            ::WaitForSingleObject(gate, 10000);
        std::lock_guard<std::mutex> lock(mutex);
        if (action == SPI_GETWHEELSCROLLLINES)
        {
            *static_cast<UINT*>(data) = wheelLines;
            return TRUE;
        }
        writes.push_back({action, param, flags});
        if (action == SPI_SETWHEELSCROLLLINES)
            wheelLines = param;
        if (action == SPI_SETMOUSEBUTTONSWAP)
            swap = static_cast<int>(param);
        return TRUE;
    }
    static int Metrics(int index)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return index == SM_SWAPBUTTON ? swap : index == SM_REMOTESESSION ? 0 : ::GetSystemMetrics(index);
    }
    // While armed, the next cursor handed to the system holds the SPI thread
    // in the middle of its drawing until the gate opens.
    static inline HANDLE cursorGate = nullptr;
    static inline HANDLE cursorHeld = nullptr;

    static BOOL SetCursor(HCURSOR cursor, DWORD id)
    {
        if (const HANDLE gate = cursorGate; gate != nullptr && ::SetEvent(cursorHeld))
        {
            cursorGate = nullptr;
            ::WaitForSingleObject(gate, 10000);
        }
        std::vector<DWORD> pixels;
        int width = 0, height = 0;
        if (!ReadCursorPixels(cursor, pixels, width, height))
            pixels.clear();
        ::DestroyCursor(cursor); // the system owns what it is given
        std::lock_guard<std::mutex> lock(mutex);
        cursorIds.push_back(id);
        cursorPixels.push_back(std::move(pixels));
        return TRUE;
    }

    static std::vector<SpiCall> Writes(UINT action)
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<SpiCall> result;
        for (const SpiCall& c : writes)
            if (c.action == action)
                result.push_back(c);
        return result;
    }
    static size_t CursorCount()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return cursorIds.size();
    }
    static std::vector<DWORD> Ids()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return cursorIds;
    }
    static void ClearCursors()
    {
        std::lock_guard<std::mutex> lock(mutex);
        cursorIds.clear();
        cursorPixels.clear();
        writes.clear();
    }
};

const SPISystemCalls kFake = {&FakeSystem::Spi, &FakeSystem::Metrics, &FakeSystem::SetCursor};

// The table's system cursors this system has a picture for (Wine lacks some),
// in the table's order: each one gets a combined cursor.
std::vector<DWORD> DrawableSystemCursors()
{
    std::vector<DWORD> ids;
    for (DWORD id : g_SystemCursorIds)
        if (::LoadCursorW(nullptr, MAKEINTRESOURCEW(id)) != nullptr)
            ids.push_back(id);
    return ids;
}

// Holds the SPI thread while it applies one request (outside its lock), so
// that what the test sends meanwhile is queued, whatever the machine's speed.
class Gate
{
public:
    Gate()
    {
        FakeSystem::held = m_held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_open = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~Gate()
    {
        Open();
        ::CloseHandle(m_open);
    }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    ::testing::AssertionResult HoldWhileApplying(CSPIThread& spi, int swap, int lines)
    {
        FakeSystem::gate = m_open;
        if (!spi.SendSPI(swap, lines, false))
            return ::testing::AssertionFailure() << "the request to hold on was not queued";
        if (::WaitForSingleObject(m_held, 5000) != WAIT_OBJECT_0)
            return ::testing::AssertionFailure() << "the SPI thread never applied it";
        FakeSystem::gate = nullptr; // only this one waits
        return ::testing::AssertionSuccess();
    }
    void Open()
    {
        FakeSystem::gate = nullptr;
        ::SetEvent(m_open);
    }

private:
    HANDLE m_held = nullptr;
    HANDLE m_open = nullptr;
};

class SPIThreadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(g_dwSPIThreadId, 0u) << "another SPI thread runs";
        FakeSystem::Reset(3, 0);
        // The user's own values are the fake system's.
        m_savedUser = {g_system.nDefaultWheelLines, g_system.nStartupSwapButtons};
        g_system.nDefaultWheelLines = 3;
        g_system.nStartupSwapButtons = 0;
        g_system.bWheelLinesStored = false;
        g_system.bSwapStored = false;
        SetSPISystemCalls(&kFake);
        m_spi = std::make_unique<CSPIThread>();
        ASSERT_NE(g_dwSPIThreadId, 0u);
    }
    void TearDown() override
    {
        m_spi.reset();
        SetSPISystemCalls(nullptr);
        SetTickSource(nullptr);
        g_system.nDefaultWheelLines = m_savedUser.first;
        g_system.nStartupSwapButtons = m_savedUser.second;
        g_system.bWheelLinesStored = false;
        g_system.bSwapStored = false;
    }

    // Waits until the SPI thread has handled everything posted before.
    bool Idle()
    {
        return WaitFor([&] { return !m_spi->HasPendingRequest(); }) && RoundTrip();
    }
    bool RoundTrip()
    {
        // A reset of cursors that are the defaults is harmless and marks a point in the queue.
        const size_t before = FakeSystem::Writes(SPI_SETCURSORS).size();
        ::PostThreadMessageW(g_dwSPIThreadId, BRMP_SPI_RESETCURSOR, 0, 0);
        return WaitFor([&] { return FakeSystem::Writes(SPI_SETCURSORS).size() > before; });
    }

    // Holds the SPI thread in the middle of drawing the cursors of a layer
    // change until Release (or the end of the scope).
    struct HeldDrawing
    {
        HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE open = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HeldDrawing()
        {
            FakeSystem::cursorHeld = held;
            FakeSystem::cursorGate = open;
        }
        ~HeldDrawing()
        {
            FakeSystem::cursorGate = nullptr;
            Release();
            ::CloseHandle(held);
            ::CloseHandle(open);
        }
        bool Started(CSPIThread& spi, int layer)
        {
            return spi.ChangeLayerCursor(layer) && ::WaitForSingleObject(held, 5000) == WAIT_OBJECT_0;
        }
        void Release() { ::SetEvent(open); }
    };

    std::unique_ptr<CSPIThread> m_spi;
    std::pair<int, int> m_savedUser{3, 0};
};
}

TEST_F(SPIThreadTest, ABurstOfRequestsIsAppliedOnceWithTheLastValues)
{
    // The thread is held while it applies a first request, so the whole burst
    // is queued before it looks at any of it, whatever the machine's speed.
    Gate gate;
    ASSERT_TRUE(gate.HoldWhileApplying(*m_spi, -1, 4));
    const bool first = m_spi->SendSPI(-1, 5, false);
    const bool second = m_spi->SendSPI(-1, 7, false);
    const bool third = m_spi->SendSPI(1, 9, false);
    gate.Open();
    EXPECT_TRUE(first && second && third) << "each differing request replaces the pending one";
    ASSERT_TRUE(WaitFor([] { return FakeSystem::Writes(SPI_SETWHEELSCROLLLINES).size() >= 2; }));
    ASSERT_TRUE(Idle());

    auto lines = FakeSystem::Writes(SPI_SETWHEELSCROLLLINES);
    EXPECT_EQ(lines[0].param, 4u) << "the request that was being applied";
    lines.erase(lines.begin());

    ASSERT_EQ(lines.size(), 1u) << "one write for the whole burst";
    EXPECT_EQ(lines[0].param, 9u);
    EXPECT_EQ(lines[0].flags, static_cast<UINT>(SPIF_SENDCHANGE)) << "not forced: the user profile is not written";
    const auto swaps = FakeSystem::Writes(SPI_SETMOUSEBUTTONSWAP);
    ASSERT_EQ(swaps.size(), 1u);
    EXPECT_EQ(swaps[0].param, 1u);
    const CSPIThreadData state = m_spi->GetCurrentState();
    EXPECT_EQ(state.m_nWheelLines, 9);
    EXPECT_EQ(state.m_nSwapButtons, 1);
}

TEST_F(SPIThreadTest, TheSameRequestTwiceIsQueuedOnceAndARequestForTheAppliedStateCancelsAPendingOne)
{
    Gate gate;
    ASSERT_TRUE(gate.HoldWhileApplying(*m_spi, 0, 4)); // 4 lines is now the applied state
    EXPECT_TRUE(m_spi->SendSPI(0, 6, false));
    EXPECT_FALSE(m_spi->SendSPI(0, 6, false)) << "already queued";
    EXPECT_FALSE(m_spi->SendSPI(0, 4, false)) << "equal to the applied state";
    EXPECT_FALSE(m_spi->HasPendingRequest()) << "the pending change was aborted";
    gate.Open();
    ASSERT_TRUE(RoundTrip());

    // The next different request is the only other write: the aborted 6 never is.
    EXPECT_TRUE(m_spi->SendSPI(0, 8, false));
    ASSERT_TRUE(WaitFor([] { return FakeSystem::Writes(SPI_SETWHEELSCROLLLINES).size() >= 2; }));
    ASSERT_TRUE(Idle());
    const auto lines = FakeSystem::Writes(SPI_SETWHEELSCROLLLINES);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].param, 4u);
    EXPECT_EQ(lines[1].param, 8u);
}

TEST_F(SPIThreadTest, ForcedRequestsWriteTheUserProfileAndSwapMinusOneLeavesTheButtonsAlone)
{
    constexpr UINT store = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;
    struct Case
    {
        const char* what;
        int swap;
        int lines;
        bool force;
        size_t swapWrites;
        std::vector<std::pair<UINT, UINT>> lineWrites;   // value, flags
    } const cases[] = {
        {"swap -1, forced", -1, 8, true, 0, {{8, store}}},
        {"swap 1, not forced: the user's lines stored again first", 1, 2, false, 1,
         {{3, SPIF_UPDATEINIFILE}, {2, SPIF_SENDCHANGE}}},
        {"page scroll passed on", 1, -1, false, 0, {{static_cast<UINT>(-1), SPIF_SENDCHANGE}}},
    };
    for (const Case& c : cases)
    {
        FakeSystem::ClearCursors();
        ASSERT_TRUE(m_spi->SendSPI(c.swap, c.lines, c.force)) << c.what;
        ASSERT_TRUE(WaitFor([] { return !FakeSystem::Writes(SPI_SETWHEELSCROLLLINES).empty(); })) << c.what;
        ASSERT_TRUE(Idle()) << c.what;
        const auto lines = FakeSystem::Writes(SPI_SETWHEELSCROLLLINES);
        ASSERT_EQ(lines.size(), c.lineWrites.size()) << c.what;
        for (size_t i = 0; i < lines.size(); ++i)
        {
            EXPECT_EQ(lines[i].param, c.lineWrites[i].first) << c.what;
            EXPECT_EQ(lines[i].flags, c.lineWrites[i].second) << c.what;
        }
        EXPECT_EQ(FakeSystem::Writes(SPI_SETMOUSEBUTTONSWAP).size(), c.swapWrites) << c.what;
    }
}

TEST_F(SPIThreadTest, TimedClickAndChordRequestsAreRefusedOrPostedByTheirRules)
{
    EXPECT_FALSE(m_spi->ChangeCursorTimedClick(1, 0)) << "mode 0: no cursor feedback";
    EXPECT_FALSE(m_spi->ChangeCursorTimedClick(4, 1)) << "no step 4";
    EXPECT_FALSE(m_spi->ChangeCursorTimedClick(-1, 1)) << "no negative step";
    EXPECT_FALSE(m_spi->ChangeCursorTimedClick(0, 2)) << "mode 2 shows no step 0";
    ASSERT_TRUE(RoundTrip());
    EXPECT_EQ(FakeSystem::CursorCount(), 0u) << "nothing posted for a refused request";

    ASSERT_TRUE(m_spi->ChangeCursorTimedClick(2, 1));
    const HBITMAP step2 = m_spi->GetCursors()->GetTimedClickCursorOverlay(2);
    ASSERT_TRUE(WaitFor([&] { return m_spi->GetCurrentOverlay() == reinterpret_cast<ULONG_PTR>(step2); }));
    const std::vector<DWORD> drawable = DrawableSystemCursors();
    ASSERT_GE(drawable.size(), 2u);
    ASSERT_TRUE(WaitFor([&] { return FakeSystem::CursorCount() >= drawable.size(); }));
    EXPECT_EQ(FakeSystem::Ids(), drawable) << "every system cursor of the table, in its order";

    ASSERT_TRUE(m_spi->ChangeCursorButtonChord(true));
    const HBITMAP chord = m_spi->GetCursors()->GetChordCursorOverlay(true);
    ASSERT_TRUE(WaitFor([&] { return m_spi->GetCurrentOverlay() == reinterpret_cast<ULONG_PTR>(chord); }));
}

TEST_F(SPIThreadTest, ALayerCursorIsCombinedIntoEveryCursorAndLayerOneRestoresTheDefaults)
{
    ASSERT_TRUE(m_spi->ChangeLayerCursor(3));
    ASSERT_TRUE(WaitFor([&] { return m_spi->GetCurrentOverlay() == 3u; }));
    const std::vector<DWORD> drawable = DrawableSystemCursors();
    ASSERT_TRUE(WaitFor([&] { return FakeSystem::CursorCount() >= drawable.size(); }));
    {
        std::lock_guard<std::mutex> lock(FakeSystem::mutex);
        EXPECT_EQ(FakeSystem::cursorIds, drawable);
        // The normal arrow carries the layer number's blue text.
        size_t normal = 0;
        while (normal < FakeSystem::cursorIds.size() && FakeSystem::cursorIds[normal] != 32512)
            ++normal;
        ASSERT_LT(normal, FakeSystem::cursorIds.size());
        const std::vector<DWORD>& arrow = FakeSystem::cursorPixels[normal];
        ASSERT_FALSE(arrow.empty()) << "a 32-bit colour cursor was set";
        int blue = 0;
        for (DWORD p : arrow)
            blue += (p & 0x00FFFFFF) == 0x0000FF && (p >> 24) == 0xFF ? 1 : 0;
        EXPECT_GT(blue, 0) << "the layer number is drawn into the cursor";
    }

    FakeSystem::ClearCursors();
    ASSERT_TRUE(m_spi->ChangeLayerCursor(0));
    ASSERT_TRUE(WaitFor([&] { return m_spi->GetCurrentOverlay() == 0u; }));
    EXPECT_FALSE(FakeSystem::Writes(SPI_SETCURSORS).empty()) << "the system cursors were restored";
    EXPECT_EQ(FakeSystem::CursorCount(), 0u);
}

TEST_F(SPIThreadTest, AProfileCursorIsSetEvenWhenTheProfileIsDeletedRightAfterTheRequest)
{
    // The request must not read the profile later on the SPI thread: a settings
    // reload may delete it at any time.
    auto* profile = new CApplicationSettings(g_pSettings, false, 98);
    profile->ChangeCursor(true);
    profile->SetCursor(L"3");
    ASSERT_TRUE(m_spi->ChangeAppCursor(profile, 0));
    delete profile;

    ASSERT_TRUE(WaitFor([&] { return m_spi->GetCurrentAppCursor() != nullptr; }));
    ASSERT_TRUE(WaitFor([] { return FakeSystem::CursorCount() >= 1; }));
    std::lock_guard<std::mutex> lock(FakeSystem::mutex);
    EXPECT_EQ(FakeSystem::cursorIds[0], 32512u) << "the normal arrow";
    ASSERT_FALSE(FakeSystem::cursorPixels[0].empty());
    int orange = 0;
    for (DWORD p : FakeSystem::cursorPixels[0])
    {
        const DWORD r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        orange += (p >> 24) != 0 && r > 200 && g > 100 && g < 180 && b < 60 ? 1 : 0;
    }
    EXPECT_GT(orange, 20) << "cursor \"3\" is the orange arrow";
}

TEST_F(SPIThreadTest, RequestsFromOtherThreadsNeverWaitForACursorDrawing)
{
    // A layer change asks for its cursors under the global lock, on the hook
    // thread too: no request may wait while the SPI thread draws.
    m_spi->SPISetAppCursor(L"1", 0);
    ASSERT_NE(m_spi->GetCurrentAppCursor(), nullptr);
    HeldDrawing drawing;
    ASSERT_TRUE(drawing.Started(*m_spi, 3)) << "the SPI thread never drew";

    std::atomic<bool> asked{false};
    std::thread asker([&] {
        m_spi->ChangeAppCursor(nullptr, 2); // the next profile has no cursor of its own
        m_spi->SendSPI(1, 7, false);
        asked = true;
    });
    EXPECT_TRUE(WaitFor([&] { return asked.load(); })) << "a request waited for the drawing";
    EXPECT_EQ(m_spi->GetCurrentAppCursor(), nullptr) << "the dropped cursor is no longer offered";
    drawing.Release();
    asker.join();

    EXPECT_TRUE(WaitFor([&] { return m_spi->GetCurrentOverlay() == 2u; }));
    EXPECT_TRUE(WaitFor([&] { return FakeSystem::Writes(SPI_SETWHEELSCROLLLINES).size() == 1u; }));
    EXPECT_TRUE(Idle());
    FakeSystem::ClearCursors();
    ASSERT_TRUE(m_spi->ChangeLayerCursor(0));
    EXPECT_TRUE(WaitFor([&] { return m_spi->GetCurrentOverlay() == 0u; }));
    EXPECT_EQ(FakeSystem::CursorCount(), 0u) << "layer one shows the defaults, not the dropped cursor";
}

TEST_F(SPIThreadTest, AProfileWithoutACursorRightAfterOneWithACursorEndsWithNone)
{
    // The pointer crosses a window whose profile has a cursor into one whose
    // profile has none, while the SPI thread is still busy drawing.
    HeldDrawing drawing;
    ASSERT_TRUE(drawing.Started(*m_spi, 3)) << "the SPI thread never drew";

    CApplicationSettings withCursor(g_pSettings, false, 98);
    withCursor.ChangeCursor(true);
    withCursor.SetCursor(L"3");
    ASSERT_TRUE(m_spi->ChangeAppCursor(&withCursor, 2));
    ASSERT_TRUE(m_spi->ChangeAppCursor(nullptr, 2));
    ASSERT_TRUE(m_spi->SendSPI(1, 7, false));   // marks the end of the requests
    drawing.Release();
    ASSERT_TRUE(WaitFor([&] { return FakeSystem::Writes(SPI_SETWHEELSCROLLLINES).size() == 1u; }));
    EXPECT_EQ(m_spi->GetCurrentAppCursor(), nullptr) << "the earlier profile's cursor came back";
    EXPECT_EQ(m_spi->GetCurrentOverlay(), 2u) << "the layer's cursor is shown";
}

TEST_F(SPIThreadTest, ASettingsChangeReloadsTheCursorsOnlyAfterTheStartUpGracePeriod)
{
    m_spi->SPISetAppCursor(L"1", 0);
    ASSERT_NE(m_spi->GetCurrentAppCursor(), nullptr);
    EXPECT_FALSE(m_spi->ReloadCurrentState());
    EXPECT_NE(m_spi->GetCurrentAppCursor(), nullptr) << "within 10 s of the start nothing is reloaded";

    // The settings-changed message reaches the same handler on the thread.
    SetTickSource([] { return ::GetTickCount() + 20000; });
    ASSERT_TRUE(::PostThreadMessageW(g_dwSPIThreadId, BRMP_SettingsChanged, 0, 0));
    EXPECT_TRUE(WaitFor([&] { return m_spi->GetCurrentAppCursor() == nullptr; }))
        << "the reload drops the application cursor";
    EXPECT_NE(m_spi->GetCursors()->GetChordCursorOverlay(true), nullptr) << "and rebuilds the overlays";

    // A changed system value is taken over instead of reloading the cursors.
    {
        std::lock_guard<std::mutex> lock(FakeSystem::mutex);
        FakeSystem::wheelLines = 11;
    }
    EXPECT_TRUE(m_spi->ReloadCurrentState());
    EXPECT_EQ(m_spi->GetCurrentState().m_nWheelLines, 11);
}

TEST_F(SPIThreadTest, StoppingTheThreadRestoresCursorsItHadReplaced)
{
    ASSERT_TRUE(m_spi->ChangeLayerCursor(2));
    ASSERT_TRUE(WaitFor([&] { return m_spi->GetCurrentOverlay() == 2u; }));
    FakeSystem::ClearCursors();
    m_spi.reset();
    EXPECT_EQ(g_dwSPIThreadId, 0u);
    EXPECT_EQ(FakeSystem::Writes(SPI_SETCURSORS).size(), 1u) << "the defaults are back once the thread is gone";
}

TEST_F(SPIThreadTest, RequestsWithoutARunningThreadReportFailure)
{
    m_spi->Stop();
    EXPECT_FALSE(m_spi->ChangeLayerCursor(1));
    EXPECT_FALSE(m_spi->ChangeCursorTimedClick(1, 1));
    EXPECT_FALSE(m_spi->ChangeCursorButtonChord(true));
    EXPECT_FALSE(m_spi->ChangeAppCursor(nullptr, 0));
    EXPECT_FALSE(m_spi->SendSPI(0, 5, false));
}

TEST_F(SPIThreadTest, AProfileSwitchThatWaitedForTheLockWhileTheHooksStoppedFindsNoWorkerAndSendsNothing)
{
    MouseStateGuard mouse;
    g_threads.pSPIThread = m_spi.get();
    // The hook thread's clean-up holds the lock while a switch waits for it.
    auto cleanUp = std::make_unique<CThreadLock>(L"HookThread Clean-up");
    std::atomic<int> switched{-1};
    std::thread profileSwitch([&] { switched = NewApplicationSettings() ? 1 : 0; });
    const bool waited = WaitFor([] { return CThreadLock::g_GlobalCS.LockCount > 0; });
    const HookWorkers gone = DetachHookWorkers();
    cleanUp.reset();
    profileSwitch.join();
    ASSERT_TRUE(waited) << "the switch never waited for the lock";
    EXPECT_EQ(gone.spiThread, m_spi.get());
    EXPECT_EQ(switched.load(), 0) << "the switch went on without the worker";
    EXPECT_FALSE(m_spi->HasPendingRequest());
}
