// Stopping a worker thread that does not end: it is terminated only while the
// stopping thread holds every lock of the logger, so that it never dies inside
// a log line, and the stop waits for nothing the worker may hold.

#include <gtest/gtest.h>

#include <windows.h>
#include <process.h>

#include <atomic>
#include <thread>

#include "Logger.h"
#include "ThreadLock.h"
#include "ThreadStop.h"
#include "WaitFor.h"

namespace
{
const ThreadStopTexts kTexts = {
    L"ThreadStopTest: worker [0x%X] exited with code %d.",
    L"ThreadStopTest: worker [0x%X] exited.",
    L"ThreadStopTest: worker [0x%X] is late.",
    L"ThreadStopTest: worker [0x%X] exited late with code %d.",
    L"ThreadStopTest: worker [0x%X] exited late.",
    L"ThreadStopTest: worker [0x%X] is terminated.",
};

// A worker that takes a lock and keeps it until it is told to go on.
struct Worker
{
    void (*take)() = nullptr;
    void (*give)() = nullptr;
    HANDLE holding = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;

    Worker(void (*takeLock)(), void (*giveLock)()) : take(takeLock), give(giveLock)
    {
        thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &Worker::Run, this, 0, nullptr));
    }
    ~Worker()
    {
        ::SetEvent(release);
        ::WaitForSingleObject(thread, 10000);
        ::CloseHandle(thread);
        ::CloseHandle(holding);
        ::CloseHandle(release);
    }
    static unsigned __stdcall Run(void* self)
    {
        auto* worker = static_cast<Worker*>(self);
        worker->take();
        ::SetEvent(worker->holding);
        ::WaitForSingleObject(worker->release, INFINITE);
        worker->give();
        return 0;
    }
};

class ThreadStopTest : public ::testing::Test
{
protected:
    void SetUp() override { SetThreadStopTimeouts(50, 50); }
    void TearDown() override { SetThreadStopTimeouts(0, 0); }

    // Stops the worker on a thread of its own; the result once it is known.
    void StartStop(Worker& worker)
    {
        m_stopper = std::thread([&] { m_end = static_cast<int>(AwaitThreadEnd(worker.thread, kTexts)); });
    }
    bool StopEnded() { return brmptest::WaitFor([&] { return m_end.load() != -1; }, 10000); }

    std::thread m_stopper;
    std::atomic<int> m_end{-1};
};
} // namespace

TEST_F(ThreadStopTest, AWorkerThatHoldsTheLoggersLockIsLeftRunningRatherThanKilledWithIt)
{
    Worker worker([] { CLogger::GetLock(); }, [] { CLogger::ReleaseLock(); });
    ASSERT_EQ(::WaitForSingleObject(worker.holding, 10000), WAIT_OBJECT_0);

    StartStop(worker);
    EXPECT_TRUE(StopEnded()) << "the stop waits for the worker's lock";
    EXPECT_EQ(m_end.load(), static_cast<int>(ThreadEnd::StillRunning));
    EXPECT_EQ(::WaitForSingleObject(worker.thread, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the worker was killed";

    ::SetEvent(worker.release);
    m_stopper.join();
}

TEST_F(ThreadStopTest, AWorkerThatHoldsTheGlobalLockIsTerminatedWithoutWaitingForIt)
{
    // The log path is not known yet: looking it up would take the global lock.
    CLogger::CloseLogFile(false);
    Worker worker([] { CThreadLock::EnterCS(L"ThreadStopTest worker"); }, [] { CThreadLock::LeaveCS(); });
    ASSERT_EQ(::WaitForSingleObject(worker.holding, 10000), WAIT_OBJECT_0);

    StartStop(worker);
    const bool ended = StopEnded();
    EXPECT_TRUE(ended) << "the stop waits for the global lock the worker holds";
    if (!ended)
        ::SetEvent(worker.release);
    m_stopper.join();
    if (m_end.load() == static_cast<int>(ThreadEnd::Terminated))
    {
        EXPECT_EQ(::WaitForSingleObject(worker.thread, 0), WAIT_OBJECT_0);
        // What the hook thread's stop does after a forced end: the dead
        // thread's hold of the global lock goes.
        CThreadLock::ResetGlobalCS();
        CThreadLock::m_snEntryCount = 0;
        CThreadLock::m_sdwOwner = 0;
    }
    EXPECT_EQ(m_end.load(), static_cast<int>(ThreadEnd::Terminated));
}
