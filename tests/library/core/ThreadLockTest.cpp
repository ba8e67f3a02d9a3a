#include <gtest/gtest.h>

#include <functional>

#include "TempFolder.h"
#include "WaitFor.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Folders.h"
#include "Logger.h"
#include "StringFormat.h"
#include "ThreadLock.h"

namespace
{
// The locks' virtual clock: the test moves it; a lock reads it.
std::atomic<DWORD> g_now{0};
DWORD VirtualTicks() { return g_now.load(); }

std::string ReadAll(const std::wstring& path)
{
    return brmptest::ReadFileBytes(path).value_or(std::string());
}

bool PollUntil(const std::function<bool()>& condition)
{
    return brmptest::WaitFor(condition, 10000, 2);
}

std::wstring Name(const wchar_t (&name)[255]) { return std::wstring(name); }

// The lock's log lines land in a log file of the test's own.
class ThreadLockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int counter = 0;
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        m_folder = FormatString(L"%sbrmp-locks-%lu-%d", temp, ::GetCurrentProcessId(), ++counter);
        ::DeleteFileW((m_folder + L"\\" + kLogFileName).c_str()); // left by a run that was killed
        ::RemoveDirectoryW(m_folder.c_str());
        ASSERT_TRUE(::CreateDirectoryW(m_folder.c_str(), nullptr));
        m_key = FormatString(L"Software\\Brindlemap-LockTest-%lu", ::GetCurrentProcessId());
        SetProgramRegistryKeys(m_key.c_str(), m_key.c_str());
        SetPortableMode(false);
        ASSERT_TRUE(SetDefaultLogFolder(m_folder.c_str()));
        m_logFile = m_folder + L"\\" + kLogFileName;

        CThreadLock::InitGlobalCS();
        CAudioThreadLock::InitGlobalCS();
        CLogger::Initialise();
        CLogger::CloseLogFile(false);
        CLogger::EnableDebug(false);
        CDebugLogQueue::Clear();
        // Open the file now, so that no folder lookup runs under the virtual clock.
        CLogger::LogMessage(L"ThreadLockTest start");
        g_now = 100000;
        SetLockTickSource(VirtualTicks);
    }

    void TearDown() override
    {
        SetLockTickSource(nullptr);
        CLogger::EnableDebug(false);
        CLogger::CloseLogFile(false);
        CDebugLogQueue::Clear();
        ::RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str());
        SetProgramRegistryKeys(nullptr, nullptr);
        ::DeleteFileW(m_logFile.c_str());
        ::RemoveDirectoryW(m_folder.c_str());
    }

    std::string Log()
    {
        CLogger::FlushLog();
        return ReadAll(m_logFile);
    }

    bool Logged(const std::string& text) { return Log().find(text) != std::string::npos; }

    std::wstring m_folder;
    std::wstring m_key;
    std::wstring m_logFile;
};

// Whether a thread is blocked in EnterCriticalSection on cs (a waiter raises
// the lock count above the holder's 0).
bool HasWaiter(const CRITICAL_SECTION& cs) { return cs.LockCount > 0; }

// Runs body on a thread that must block on cs, which the test holds through
// holder; lets the virtual clock advance by waitMs while it waits, then
// releases.
template <typename Hold, typename Body>
void WaitBehindHolder(Hold& holder, CRITICAL_SECTION& cs, DWORD waitMs, Body body)
{
    std::thread waiter(body);
    ASSERT_TRUE(PollUntil([&] { return HasWaiter(cs); }));
    g_now += waitMs;
    holder.reset();
    waiter.join();
}
}

TEST_F(ThreadLockTest, TwoThreadsThatContendNeverOverlap)
{
    SetLockTickSource(nullptr);
    long counter = 0;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    auto work = [&] {
        for (int i = 0; i < 5000; ++i)
        {
            CThreadLock lock(L"ThreadLockTest::Work");
            if (inside.fetch_add(1) != 0)
                overlapped = true;
            ++counter;
            inside.fetch_sub(1);
        }
    };
    std::thread a(work);
    std::thread b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 10000);
    EXPECT_FALSE(overlapped.load());
    EXPECT_EQ(CThreadLock::m_snEntryCount, 0);
    EXPECT_EQ(CThreadLock::m_sdwOwner, 0u);
}

TEST_F(ThreadLockTest, TheOwnerMayEnterAgainAndKeepsItsFirstNameUntilTheOuterRelease)
{
    {
        CThreadLock outer(L"Outer");
        EXPECT_TRUE(CThreadLock::IsHeldByCurrentThread());
        {
            CThreadLock inner(L"Inner");
            EXPECT_TRUE(CThreadLock::TryEnterCS(L"Static"));
            EXPECT_EQ(CThreadLock::m_snEntryCount, 3);
            EXPECT_EQ(Name(CThreadLock::m_stcName), L"Outer");
            CThreadLock::LeaveCS();
        }
        EXPECT_EQ(CThreadLock::m_snEntryCount, 1);
        EXPECT_EQ(Name(CThreadLock::m_stcName), L"Outer");
        EXPECT_EQ(CThreadLock::m_sdwOwner, ::GetCurrentThreadId());
    }
    EXPECT_EQ(CThreadLock::m_snEntryCount, 0);
    EXPECT_EQ(Name(CThreadLock::m_stcName), L"unknown");
    EXPECT_FALSE(CThreadLock::IsHeldByCurrentThread());

    // Names are cut at 254 characters; a null name reads "NULL".
    const std::wstring longName(400, L'n');
    {
        CAudioThreadLock lock(longName.c_str());
        EXPECT_EQ(Name(CAudioThreadLock::m_stcName), std::wstring(254, L'n'));
    }
    {
        CAudioThreadLock lock(nullptr);
        EXPECT_EQ(Name(CAudioThreadLock::m_stcName), L"NULL");
    }
}

TEST_F(ThreadLockTest, TryEnterFromAnotherThreadFailsAtOnceWhileTheLockIsHeld)
{
    CLogger::EnableDebug(true);
    struct Case
    {
        const char* name;
        bool (*tryEnter)(const wchar_t*);
        void (*leave)();
        bool (*enter)(const wchar_t*);
        const char* skipLine;
    };
    const Case cases[] = {
        {"global lock", &CThreadLock::TryEnterCS, &CThreadLock::LeaveCS, &CThreadLock::EnterCS,
         "CThreadLock::TryEnterCS Skipping 'HookThread' (TID: "},
        {"audio lock", &CAudioThreadLock::TryEnterCS, &CAudioThreadLock::LeaveCS, &CAudioThreadLock::EnterCS,
         "CAudioThreadLock::TryEnterCS Skipping 'HookThread' (TID: "},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.enter(L"ProgramThread"));
        bool entered = true;
        std::thread hook([&] { entered = c.tryEnter(L"HookThread"); });
        hook.join();
        EXPECT_FALSE(entered);
        const std::string log = Log();
        const std::size_t at = log.find(c.skipLine);
        ASSERT_NE(at, std::string::npos);
        EXPECT_NE(log.find(") because the thread is locked by 'ProgramThread'", at), std::string::npos);
        c.leave();

        std::thread later([&] {
            entered = c.tryEnter(L"HookThread");
            if (entered)
                c.leave();
        });
        later.join();
        EXPECT_TRUE(entered);
    }
}

TEST_F(ThreadLockTest, AWaitOver1000MsIsReportedAndAShorterOneOnlyAtDebugLevel)
{
    for (DWORD wait : {1000u, 1001u})
    {
        SCOPED_TRACE(wait);
        const std::wstring name = FormatString(L"Waiter%u", wait);
        const std::string waiter(name.begin(), name.end());
        auto holder = std::make_unique<CThreadLock>(L"Holder");
        WaitBehindHolder(holder, CThreadLock::g_GlobalCS, wait, [&] { CThreadLock lock(name.c_str()); });
        const bool longWait = wait > 1000;
        EXPECT_EQ(Logged("CThreadLock::Constructor It took a long time to obtain the lock for '" + waiter + "' (" + std::to_string(wait) +
                         "ms)."),
                  longWait);
        // The debug-level lines wait in the queue until debug logging goes on.
        EXPECT_FALSE(Logged("Obtained lock for '" + waiter + "'"));
        CLogger::EnableDebug(true);
        EXPECT_TRUE(Logged("CThreadLock::Constructor Waiting to enter critical section for '" + waiter + "' (TID: "));
        EXPECT_TRUE(Logged("It is currently locked by 'Holder'..."));
        EXPECT_EQ(Logged("CThreadLock::Constructor Obtained lock for '" + waiter + "' after " + std::to_string(wait) + "ms."), !longWait);
        CLogger::EnableDebug(false);
    }
}

TEST_F(ThreadLockTest, AHoldOver500MsIsReportedAtReleaseCountingTheWait)
{
    struct Case
    {
        DWORD hold;
        bool reported;
    };
    for (const Case& c : {Case{500, false}, Case{501, true}})
    {
        SCOPED_TRACE(c.hold);
        {
            CThreadLock lock(L"Holder");
            g_now += c.hold;
        }
        {
            CAudioThreadLock lock(L"AudioHolder");
            g_now += c.hold;
        }
        EXPECT_EQ(Logged("CThreadLock::Destructor The lock for 'Holder' took " + std::to_string(c.hold) + "ms to release!"), c.reported);
        EXPECT_EQ(Logged("CAudioThreadLock::Destructor The lock for 'AudioHolder' took " + std::to_string(c.hold) + "ms to release!"),
                  c.reported);
    }

    // 300 ms waiting plus 300 ms held.
    const DWORD base = g_now.load();
    auto holder = std::make_unique<CThreadLock>(L"First");
    std::atomic<bool> obtained{false};
    std::thread waiter([&] {
        CThreadLock lock(L"Second");
        obtained = true;
        PollUntil([&] { return g_now.load() == base + 600; });
    });
    ASSERT_TRUE(PollUntil([&] { return HasWaiter(CThreadLock::g_GlobalCS); }));
    g_now = base + 300;
    holder.reset();
    ASSERT_TRUE(PollUntil([&] { return obtained.load(); }));
    g_now = base + 600;
    waiter.join();
    EXPECT_TRUE(Logged("CThreadLock::Destructor The lock for 'Second' took 600ms to release!"));
}

TEST_F(ThreadLockTest, StaticEntryReportsAHoldOver1000MsWhenLeft)
{
    for (DWORD hold : {1000u, 1001u})
    {
        SCOPED_TRACE(hold);
        CThreadLock::EnterCS(L"StaticHolder");
        g_now += hold;
        CThreadLock::LeaveCS();
        EXPECT_EQ(Logged("CThreadLock::LeaveCS: Critical Section for 'StaticHolder' took " + std::to_string(hold) + "ms to be released!"),
                  hold > 1000);
    }
    EXPECT_EQ(CThreadLock::m_snEntryCount, 0);
}

TEST_F(ThreadLockTest, AQuietGenericLockWritesNoWaitLinesButReportsLongWaitsAndReleasesOnce)
{
    CRITICAL_SECTION cs;
    ::InitializeCriticalSection(&cs);
    CLogger::EnableDebug(true);
    {
        auto holder = std::make_unique<CGenericThreadLock>(&cs, L"GenericHolder", true);
        WaitBehindHolder(holder, cs, 1500, [&] { CGenericThreadLock lock(&cs, L"QuietWaiter", true); });
    }
    EXPECT_FALSE(Logged("Waiting to enter critical section for 'QuietWaiter'"));
    EXPECT_TRUE(Logged("CGenericThreadLock::Constructor It took a long time to obtain the lock for 'QuietWaiter' (1500ms)."));
    EXPECT_TRUE(Logged("CGenericThreadLock::Destructor The lock for 'QuietWaiter' took 1500ms to release!"));

    {
        auto holder = std::make_unique<CGenericThreadLock>(&cs, L"GenericHolder", false);
        WaitBehindHolder(holder, cs, 10, [&] { CGenericThreadLock lock(&cs, L"LoudWaiter", false); });
    }
    EXPECT_TRUE(Logged("CGenericThreadLock::Constructor Waiting to enter critical section for 'LoudWaiter' (TID: "));
    EXPECT_TRUE(Logged("CGenericThreadLock::Constructor Obtained lock for 'LoudWaiter' after 10ms."));

    {
        CGenericThreadLock lock(&cs, L"Twice", true);
        lock.Release();
        lock.Release();
    }
    // Left exactly once: another thread can take it now.
    bool entered = false;
    std::thread other([&] {
        entered = ::TryEnterCriticalSection(&cs) != FALSE;
        if (entered)
            ::LeaveCriticalSection(&cs);
    });
    other.join();
    EXPECT_TRUE(entered);
    ::DeleteCriticalSection(&cs);
}

TEST_F(ThreadLockTest, ResettingTheGlobalLockKeepsItUsableAndRepeatedSetUpIsHarmless)
{
    CThreadLock::InitGlobalCS();
    CThreadLock::InitGlobalCS();
    CThreadLock::ResetGlobalCS();
    {
        CThreadLock lock(L"AfterReset");
        EXPECT_TRUE(CThreadLock::IsHeldByCurrentThread());
    }
    bool entered = false;
    std::thread other([&] {
        entered = CThreadLock::TryEnterCS(L"Other");
        if (entered)
            CThreadLock::LeaveCS();
    });
    other.join();
    EXPECT_TRUE(entered);
}
