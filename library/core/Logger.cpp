#include "Logger.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

#include "Folders.h"
#include "LoggerWrite.h"
#include "StringFormat.h"

HANDLE CLogger::m_hLogFile = nullptr;
CRITICAL_SECTION CLogger::csLogMutex;
std::atomic<bool> CLogger::m_bDead{true};
std::atomic<bool> CLogger::m_bDebugging{false};
std::atomic<bool> CLogger::m_bThreadDebugging{false};
std::atomic<bool> CLogger::m_bDisableLogging{false};
std::atomic<bool> CLogger::m_bDisableBanner{false};

namespace
{
constexpr std::size_t kBuf = CLogger::TextBufferSize;
constexpr DWORD kReportWaitMs = 20;
constexpr DWORD kCopyBlock = 8192;
constexpr DWORD kScanBlock = 65536;
// Every process that writes the log file (a second instance writes it too
// while it hands its command line on) takes a lock on this byte range while it
// appends or trims: a move to the end and the write are two calls, and a line
// another process writes between them would be overwritten, or cut off by its
// trim. No line ever reaches the range, so readers never meet the lock.
constexpr DWORD kFileLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kFileLockWaitMs = 2000;

std::atomic<bool> g_csReady{false};
// Set once a wait for the file lock ran out; until the lock is had again each
// line tries it only once, so that a stuck writer elsewhere costs no line a wait.
std::atomic<bool> g_fileLockStuck{false};
std::atomic<LogTimeSource> g_timeSource{nullptr};

// The log file's path, resolved outside the logger's lock (the folder lookup
// takes the global lock, and the global lock is taken before the logger's
// elsewhere). Guarded by csLogMutex; g_pathKnown and g_fileOpen are hints read
// without it.
wchar_t g_logPath[kMaxPathChars];
std::atomic<bool> g_pathKnown{false};
std::atomic<bool> g_fileOpen{false};

// Depth of the calling thread's hold of csLogMutex, and whether it is looking
// up the log path right now (a lock wait inside the lookup logs, and must not
// start a second lookup).
thread_local int t_lockDepth = 0;
thread_local bool t_resolving = false;

void GetTime(SYSTEMTIME* time)
{
    const LogTimeSource source = g_timeSource.load();
    if (source != nullptr)
        source(time);
    else
        ::GetLocalTime(time);
}

void CopyText(wchar_t* target, std::size_t size, const wchar_t* text)
{
    if (size == 0)
        return;
    std::size_t i = 0;
    for (; i + 1 < size && text[i] != L'\0'; ++i)
        target[i] = text[i];
    target[i] = L'\0';
}

// Builds "dd-mm-yyyy hh:mm:ss.mmm> text\r\n" into line (kBuf characters). A
// text too long for the line is cut; the line break is always kept.
void BuildLine(wchar_t (&line)[kBuf], const wchar_t* text)
{
    SYSTEMTIME t{};
    try
    {
        GetTime(&t);
    }
    catch (...)
    {
        const int n = Format(line, kBuf - 2, L"GetLocalTime() failed: %s", text);
        line[n] = L'\r';
        line[n + 1] = L'\n';
        line[n + 2] = L'\0';
        return;
    }
    int n = 0;
    try
    {
        n = Format(line, kBuf - 2, L"%02d-%02d-%04d %02d:%02d:%02d.%03d> %s", t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute,
                   t.wSecond, t.wMilliseconds, text);
    }
    catch (...)
    {
        n = Format(line, kBuf - 2, L"Error formatting time> %s", text);
    }
    line[n] = L'\r';
    line[n + 1] = L'\n';
    line[n + 2] = L'\0';
}

// Formats the caller's text; a failure gives the replacement text.
void FormatText(wchar_t (&text)[kBuf], const wchar_t* replacement, const wchar_t* format, va_list args)
{
    try
    {
        FormatV(text, kBuf, format, args);
    }
    catch (...)
    {
        CopyText(text, kBuf, replacement);
    }
}

void DebuggerFormat(const wchar_t* format, ...)
{
    wchar_t text[512];
    va_list args;
    va_start(args, format);
    FormatV(text, 512, format, args);
    va_end(args);
    ::OutputDebugStringW(text);
}

// Enters csLogMutex. Sends the line to the debugger when the lock was free;
// after a longer wait reports the wait instead.
void EnterLoggerLock(const wchar_t* who, const wchar_t* line)
{
    if (::TryEnterCriticalSection(&CLogger::csLogMutex))
    {
        if (line != nullptr)
            ::OutputDebugStringW(line);
    }
    else
    {
        const DWORD start = ::GetTickCount();
        ::EnterCriticalSection(&CLogger::csLogMutex);
        const DWORD waited = ::GetTickCount() - start;
        if (waited > kReportWaitMs)
            DebuggerFormat(L"%s waited %dms to enter critical section for logger lock as it was already locked...\n", who,
                           static_cast<int>(waited));
    }
    ++t_lockDepth;
}

void LeaveLoggerLock()
{
    --t_lockDepth;
    ::LeaveCriticalSection(&CLogger::csLogMutex);
}

struct LoggerLock
{
    explicit LoggerLock(const wchar_t* who) { EnterLoggerLock(who, nullptr); }
    ~LoggerLock() { LeaveLoggerLock(); }
    LoggerLock(const LoggerLock&) = delete;
    LoggerLock& operator=(const LoggerLock&) = delete;
};

// Resolves the log path ahead of a write when the file is not open. Never from
// inside the logger's lock, nor from inside a lookup already running.
void EnsureLogPath()
{
    // The hook and timer threads leave the look-up to the logger's writer.
    if (g_fileOpen.load() || g_pathKnown.load() || t_lockDepth > 0 || t_resolving || CDeferredLogWrites::Active())
        return;
    CLogger::ResolveLogPath();
}

// Holds the writers' lock on the log file for a scope (under the logger's
// lock). A writer that keeps it longer than the wait is not waited for any
// further: its line may then meet this one, but neither is held back. A file
// system without locks is written as before.
class FileWriteLock
{
public:
    explicit FileWriteLock(HANDLE file) : m_file(file)
    {
        const DWORD start = ::GetTickCount();
        for (;;)
        {
            OVERLAPPED at = Range();
            if (::LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
            {
                m_locked = true;
                g_fileLockStuck.store(false);
                return;
            }
            if (::GetLastError() != ERROR_LOCK_VIOLATION || g_fileLockStuck.load())
                return;
            if (::GetTickCount() - start >= kFileLockWaitMs)
            {
                g_fileLockStuck.store(true);
                return;
            }
            ::Sleep(1);
        }
    }
    ~FileWriteLock()
    {
        if (!m_locked)
            return;
        OVERLAPPED at = Range();
        ::UnlockFileEx(m_file, 0, 1, 0, &at);
    }
    FileWriteLock(const FileWriteLock&) = delete;
    FileWriteLock& operator=(const FileWriteLock&) = delete;

private:
    static OVERLAPPED Range()
    {
        OVERLAPPED at{};
        at.OffsetHigh = kFileLockOffsetHigh;
        return at;
    }

    HANDLE m_file;
    bool m_locked = false;
};

bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return ::WriteFile(file, data, size, &written, nullptr) && written == size;
}

bool ReadAt(HANDLE file, LONGLONG offset, void* data, DWORD size, DWORD& got)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    got = 0;
    if (!::ReadFile(file, data, size, &got, &at))
        return ::GetLastError() == ERROR_HANDLE_EOF;
    return true;
}

bool WriteAt(HANDLE file, LONGLONG offset, const void* data, DWORD size)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    return ::WriteFile(file, data, size, &written, &at) && written == size;
}

// Cuts a file larger than the threshold back to the text after the last line
// break at or before its last TrimKeep bytes. A file without such a line break,
// or one that cannot be read, stays as it is.
void TrimLogFile(HANDLE file)
{
    const FileWriteLock writers(file);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart <= CLogger::TrimThreshold)
        return;

    LONGLONG keepFrom = -1;
    std::vector<char> block(kScanBlock);
    LONGLONG end = size.QuadPart - CLogger::TrimKeep + 1; // the scan starts at size - TrimKeep
    while (end > 0 && keepFrom < 0)
    {
        const LONGLONG start = end > static_cast<LONGLONG>(kScanBlock) ? end - kScanBlock : 0;
        const DWORD want = static_cast<DWORD>(end - start);
        DWORD got = 0;
        if (!ReadAt(file, start, block.data(), want, got) || got != want)
            return;
        for (DWORD i = want; i-- > 0;)
        {
            if (block[i] == '\n' || block[i] == '\r')
            {
                keepFrom = start + i + 1;
                break;
            }
        }
        end = start;
    }
    if (keepFrom < 0)
        return;

    std::vector<char> copy(kCopyBlock);
    LONGLONG readPos = keepFrom;
    LONGLONG writePos = 0;
    for (;;)
    {
        DWORD got = 0;
        if (!ReadAt(file, readPos, copy.data(), kCopyBlock, got) || got == 0)
            break;
        if (!WriteAt(file, writePos, copy.data(), got))
            break;
        readPos += got;
        writePos += got;
        if (got < kCopyBlock)
            break;
    }
    LARGE_INTEGER cut{};
    cut.QuadPart = writePos;
    if (::SetFilePointerEx(file, cut, nullptr, FILE_BEGIN))
        ::SetEndOfFile(file);
    ::FlushFileBuffers(file);
}

void AppendBytes(const char* data, DWORD size)
{
    const FileWriteLock writers(CLogger::m_hLogFile);
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(CLogger::m_hLogFile, zero, nullptr, FILE_END))
        return;
    WriteAll(CLogger::m_hLogFile, data, size);
}

// Converts to the thread's ANSI code page and appends at the end of the file.
void AppendText(const wchar_t* text)
{
    const int length = static_cast<int>(std::wcslen(text));
    if (length == 0)
        return;
    char small[1024];
    int needed = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return;
    if (needed <= static_cast<int>(sizeof(small)))
    {
        const int n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, length, small, sizeof(small), nullptr, nullptr);
        if (n > 0)
            AppendBytes(small, static_cast<DWORD>(n));
        return;
    }
    std::vector<char> big(static_cast<std::size_t>(needed));
    const int n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, length, big.data(), needed, nullptr, nullptr);
    if (n > 0)
        AppendBytes(big.data(), static_cast<DWORD>(n));
}

// Opens the file at the resolved path (under the logger's lock), trimming it
// and appending the banner. The path is looked up again after a failure.
bool OpenLogFile()
{
    if (CLogger::m_hLogFile != nullptr)
        return true;
    if (!g_pathKnown.load())
        return false;
    HANDLE file = ::CreateFileW(g_logPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        // The next line tries the same path again: looking it up once more
        // would take the global lock for every line of every thread.
        DebuggerFormat(L"Error %d. Unable to open the log file '%s'.\n", static_cast<int>(::GetLastError()), g_logPath);
        return false;
    }
    CLogger::m_hLogFile = file;
    g_fileOpen.store(true);
    TrimLogFile(file);
    if (!CLogger::m_bDisableBanner.load())
    {
        std::string banner = "\r\n";
        banner.append(139, '*');
        banner += "\r\n";
        AppendBytes(banner.data(), static_cast<DWORD>(banner.size()));
        ::FlushFileBuffers(file);
    }
    return true;
}

// Writes one finished line (lock, debugger output, file).
void WriteLine(const wchar_t* line, const wchar_t* who)
{
    if (CDeferredLogWrites::Active())
    {
        CDeferredLogWrites::Push(line, std::wcscmp(who, L"LogDebug") == 0);
        return;
    }
    WriteLogLineNow(line, who);
}
}

void WriteLogLineNow(const wchar_t* line, const wchar_t* who)
{
    EnsureLogPath();
    EnterLoggerLock(who, line);
    try
    {
        if (OpenLogFile())
            AppendText(line);
    }
    catch (...)
    {
        // LogThreadDebug reports under LogMessage's name.
        DebuggerFormat(L"Unexpected exception in BRMP CLogger::%s\n",
                       std::wcscmp(who, L"LogDebug") == 0 ? L"LogDebug" : L"LogMessage");
    }
    LeaveLoggerLock();
}

namespace
{
bool ReportDead()
{
    if (!CLogger::m_bDead.load())
        return false;
    ::OutputDebugStringW(L"Logger has been shutdown. Unable to enter critical section.");
    return true;
}

// The system's text for an error code, on one line.
void SystemMessage(DWORD error, wchar_t (&message)[kBuf])
{
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                         FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                     nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0,
                                     nullptr);
    if (n == 0 || text == nullptr)
    {
        Format(message, kBuf, L"no system text for error %u", static_cast<unsigned>(error));
        return;
    }
    CopyText(message, kBuf, text);
    ::LocalFree(text);
    std::size_t length = std::wcslen(message);
    while (length > 0 && (message[length - 1] == L' ' || message[length - 1] == L'\r' || message[length - 1] == L'\n' ||
                          message[length - 1] == L'\t'))
        message[--length] = L'\0';
}

enum class Level
{
    Message,
    Debug,
    ThreadDebug
};

void LogV(Level level, const wchar_t* replacement, const wchar_t* who, const wchar_t* format, va_list args)
{
    if (level == Level::Message && CLogger::m_bDisableLogging.load())
        return;
    if (ReportDead())
        return;
    wchar_t text[kBuf];
    FormatText(text, replacement, format, args);
    if (level != Level::Message && CLogger::m_bDisableLogging.load())
        return;
    wchar_t line[kBuf];
    BuildLine(line, text);

    const bool debugging = CLogger::m_bDebugging.load();
    if (level == Level::Debug && !debugging)
    {
        CDebugLogQueue::PushDebugLog(line);
        return;
    }
    if (level == Level::ThreadDebug && !debugging)
    {
        CDebugLogQueue::PushDebugLog(line);
        if (!CLogger::m_bThreadDebugging.load())
            return;
    }
    WriteLine(line, who);
}

struct LoggerStartup
{
    LoggerStartup() { CLogger::Initialise(); }
} g_loggerStartup;
}

void SetLogTimeSource(LogTimeSource source) { g_timeSource.store(source); }

void CLogger::Initialise()
{
    if (!g_csReady.load())
    {
        if (!::InitializeCriticalSectionAndSpinCount(&csLogMutex, 4000))
            return;
        g_csReady.store(true);
    }
    m_bDead.store(false);
}

void CLogger::Shutdown()
{
    if (!g_csReady.load())
        return;
    ::EnterCriticalSection(&csLogMutex);
    m_bDead.store(true);
    ::LeaveCriticalSection(&csLogMutex);
    g_csReady.store(false);
    ::DeleteCriticalSection(&csLogMutex);
}

void CLogger::DisableBanner() { m_bDisableBanner.store(true); }

bool CLogger::LoggingDisabled() { return m_bDisableLogging.load(); }

void CLogger::DisableLogging(bool disable)
{
    if (m_bDead.load())
    {
        m_bDisableLogging.store(disable);
        return;
    }
    LoggerLock lock(L"DisableLogging");
    m_bDisableLogging.store(disable);
}

bool CLogger::DebugEnabled() { return m_bDebugging.load(); }

bool CLogger::ThreadDebuggingEnabled() { return m_bThreadDebugging.load(); }

void CLogger::EnableDebug(bool enable)
{
    if (ReportDead())
        return;
    if (enable && !m_bDebugging.load())
        EnsureLogPath();
    LoggerLock lock(L"EnableDebug");
    if (m_bDebugging.load() == enable)
        return;
    m_bDebugging.store(enable);
    if (enable)
        CDebugLogQueue::FlushDebugLog();
}

void CLogger::ThreadDebugging(bool enable)
{
    if (ReportDead() || m_bThreadDebugging.load() == enable)
        return;
    EnsureLogPath();
    LoggerLock lock(L"ThreadDebugging");
    if (m_bThreadDebugging.load() == enable)
        return;
    m_bThreadDebugging.store(enable);
    LogMessage(L"%s thread debugging", enable ? L"Enabling" : L"Disabling");
}

void CLogger::LogMessage(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    LogV(Level::Message, L"***** Error creating output string in LogMessage() *****", L"LogMessage", format, args);
    va_end(args);
}

void CLogger::LogDebug(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    LogV(Level::Debug, L"***** Error creating output string in LogDebug() *****", L"LogDebug", format, args);
    va_end(args);
}

void CLogger::LogThreadDebug(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    LogV(Level::ThreadDebug, L"***** Error creating output string in LogMessage() *****", L"LogThreadDebug", format, args);
    va_end(args);
}

void CLogger::LogOSMessage(DWORD error, const wchar_t* format, ...)
{
    if (m_bDisableLogging.load())
        return;
    if (ReportDead())
        return;
    wchar_t text[kBuf];
    va_list args;
    va_start(args, format);
    FormatText(text, L"***** Error creating output string in LogOSMessage() *****", format, args);
    va_end(args);
    wchar_t message[kBuf];
    SystemMessage(error, message);
    LogMessage(L"%s (Error code %d: %s)", text, static_cast<int>(error), message);
}

void CLogger::LogOSDebug(DWORD error, const wchar_t* format, ...)
{
    if (ReportDead())
        return;
    wchar_t text[kBuf];
    va_list args;
    va_start(args, format);
    FormatText(text, L"***** Error creating output string in LogOSError() *****", format, args);
    va_end(args);
    wchar_t message[kBuf];
    SystemMessage(error, message);
    LogDebug(L"%s (%d): %s", text, static_cast<int>(error), message);
}

void CLogger::DebugOutput(const wchar_t* format, ...)
{
    wchar_t text[kBuf];
    va_list args;
    va_start(args, format);
    FormatText(text, L"***** Error creating output string in DebugOutput() *****", format, args);
    va_end(args);
    wchar_t line[kBuf];
    BuildLine(line, text);
    ::OutputDebugStringW(line);
}

void CLogger::_InternalLogDebug(const wchar_t* text)
{
    if (text == nullptr)
        return;
    try
    {
        if (OpenLogFile())
            AppendText(text);
    }
    catch (...)
    {
        ::OutputDebugStringW(L"Unexpected exception in BRMP CLogger::_InternalLogDebug\n");
    }
}

void CLogger::FlushLog()
{
    if (ReportDead())
        return;
    LoggerLock lock(L"FlushLog");
    if (m_hLogFile != nullptr)
        ::FlushFileBuffers(m_hLogFile);
}

void CLogger::CloseLogFile(bool addEmptyLine)
{
    if (ReportDead())
        return;
    LoggerLock lock(L"CloseLogFile");
    if (m_hLogFile != nullptr)
    {
        if (addEmptyLine)
            AppendBytes("\r\n", 2);
        ::FlushFileBuffers(m_hLogFile);
        ::CloseHandle(m_hLogFile);
        m_hLogFile = nullptr;
        g_fileOpen.store(false);
    }
    // The next opening looks the path up again: the log folder may have changed.
    g_pathKnown.store(false);
    g_logPath[0] = L'\0';
}

bool CLogger::GetLock()
{
    if (m_bDead.load())
        return true;
    // No path look-up: a caller about to terminate a thread must take nothing
    // that thread may hold, and the look-up takes the global lock.
    EnterLoggerLock(L"GetLock", nullptr);
    return true;
}

void CLogger::ReleaseLock()
{
    if (m_bDead.load() || t_lockDepth <= 0)
        return;
    LeaveLoggerLock();
}

namespace
{
// Enters cs, trying until the deadline passes; never waits longer.
bool EnterBefore(CRITICAL_SECTION* cs, DWORD start, DWORD timeoutMs)
{
    for (;;)
    {
        if (::TryEnterCriticalSection(cs))
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(1);
    }
}

// What HoldLoggingLocks took, in the order taken (the logger's lock first, as
// everywhere else).
thread_local CRITICAL_SECTION* t_held[3] = {};
thread_local int t_heldCount = 0;
}

bool HoldLoggingLocks(DWORD timeoutMs)
{
    ReleaseLoggingLocks();
    const DWORD start = ::GetTickCount();
    CRITICAL_SECTION* locks[3] = {g_csReady.load() && !CLogger::m_bDead.load() ? &CLogger::csLogMutex : nullptr,
                                  DebugQueueLock(), DeferredRingLock()};
    for (CRITICAL_SECTION* cs : locks)
    {
        if (cs == nullptr)
            continue;
        if (!EnterBefore(cs, start, timeoutMs))
        {
            ReleaseLoggingLocks();
            return false;
        }
        t_held[t_heldCount++] = cs;
        if (cs == &CLogger::csLogMutex)
            ++t_lockDepth;
    }
    return true;
}

void ReleaseLoggingLocks()
{
    while (t_heldCount > 0)
    {
        CRITICAL_SECTION* cs = t_held[--t_heldCount];
        if (cs == &CLogger::csLogMutex)
            --t_lockDepth;
        ::LeaveCriticalSection(cs);
    }
}

bool CLogger::ResolveLogPath()
{
    if (m_bDead.load())
        return false;
    if (g_fileOpen.load() || g_pathKnown.load())
        return true;
    if (t_lockDepth > 0 || t_resolving)
        return false;
    wchar_t path[kMaxPathChars];
    path[0] = L'\0';
    t_resolving = true;
    DWORD result = ERROR_PATH_NOT_FOUND;
    try
    {
        result = GetLogFile(path, kMaxPathChars, true);
    }
    catch (...)
    {
        result = ERROR_PATH_NOT_FOUND;
    }
    t_resolving = false;
    if (result != 0 || path[0] == L'\0')
    {
        ::OutputDebugStringW(L"CLogger::ResolveLogPath Unable to find the log file's path\n");
        return false;
    }
    LoggerLock lock(L"ResolveLogPath");
    if (!g_pathKnown.load() && m_hLogFile == nullptr)
    {
        CopyText(g_logPath, kMaxPathChars, path);
        g_pathKnown.store(true);
    }
    return true;
}

void CLogger::GetLogPath(wchar_t* buffer, std::size_t size)
{
    if (buffer == nullptr || size == 0)
        return;
    buffer[0] = L'\0';
    if (m_bDead.load())
        return;
    LoggerLock lock(L"GetLogPath");
    if (g_pathKnown.load())
        CopyText(buffer, size, g_logPath);
}
