#include "ThreadStop.h"

#include <atomic>

#include "Logger.h"
#include "LoggerWrite.h"

namespace
{
constexpr DWORD kFirstWaitMs = 10000;
constexpr DWORD kSecondWaitMs = 2000;
std::atomic<DWORD> g_firstWaitMs{kFirstWaitMs};
std::atomic<DWORD> g_secondWaitMs{kSecondWaitMs};

void LogExit(HANDLE thread, const wchar_t* withCode, const wchar_t* plain)
{
    DWORD code = 0;
    ::GetExitCodeThread(thread, &code);
    if (code != 0)
        CLogger::LogThreadDebug(withCode, HandleNumber(thread), static_cast<int>(code));
    else
        CLogger::LogThreadDebug(plain, HandleNumber(thread));
}
}

void SetThreadStopTimeouts(DWORD firstMs, DWORD secondMs)
{
    g_firstWaitMs = firstMs == 0 ? kFirstWaitMs : firstMs;
    g_secondWaitMs = secondMs == 0 ? kSecondWaitMs : secondMs;
}

ThreadEnd AwaitThreadEnd(HANDLE thread, const ThreadStopTexts& texts, DWORD afterTerminateMs)
{
    if (::WaitForSingleObject(thread, g_firstWaitMs) == WAIT_OBJECT_0)
    {
        LogExit(thread, texts.exitedWithCode, texts.exited);
        return ThreadEnd::Exited;
    }
    CLogger::LogThreadDebug(texts.late, HandleNumber(thread));
    if (::WaitForSingleObject(thread, g_secondWaitMs) == WAIT_OBJECT_0)
    {
        LogExit(thread, texts.lateExitedWithCode, texts.lateExited);
        return ThreadEnd::Exited;
    }
    // A thread killed inside the logger would leave its locks taken for good,
    // and every later line of every thread would wait for them: it is killed
    // only while this thread holds them all, and logged about only then.
    if (!HoldLoggingLocks(g_secondWaitMs))
    {
        CLogger::DebugOutput(L"AwaitThreadEnd: thread [0x%08X] holds a lock of the logger - it is left running.",
                             HandleNumber(thread));
        return ThreadEnd::StillRunning;
    }
    CLogger::LogMessage(texts.terminating, HandleNumber(thread));
    const BOOL killed = ::TerminateThread(thread, static_cast<DWORD>(-1));
    if (killed)
    {
        // TerminateThread only starts the end: wait until the thread is really gone.
        ::WaitForSingleObject(thread, 1000);
        if (afterTerminateMs != 0)
            ::Sleep(afterTerminateMs);
    }
    ReleaseLoggingLocks();
    return killed ? ThreadEnd::Terminated : ThreadEnd::StillRunning;
}
