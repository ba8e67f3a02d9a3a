#include <gtest/gtest.h>

#include <functional>

#include "TempFolder.h"
#include "WaitFor.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Folders.h"
#include "LogCaughtException.h"
#include "Logger.h"
#include "LoggerWrite.h"
#include "StringFormat.h"
#include "ThreadLock.h"

namespace
{
// A fixed local time whose milliseconds advance by one per line, so that each
// line's stamp is known.
std::atomic<int> g_stampCounter{0};
void FixedTime(SYSTEMTIME* time)
{
    *time = SYSTEMTIME{};
    time->wYear = 2026;
    time->wMonth = 3;
    time->wDay = 5;
    time->wHour = 7;
    time->wMinute = 8;
    time->wSecond = 9;
    time->wMilliseconds = static_cast<WORD>(g_stampCounter.fetch_add(1) % 1000);
}

std::string Pad3(int n) { return std::string(n < 10 ? "00" : n < 100 ? "0" : "") + std::to_string(n); }

std::string Stamp(int ms) { return "05-03-2026 07:08:09." + Pad3(ms) + "> "; }

std::string Banner() { return "\r\n" + std::string(139, '*') + "\r\n"; }

std::string ReadAll(const std::wstring& path)
{
    return brmptest::ReadFileBytes(path).value_or(std::string());
}

void WriteAll(const std::wstring& path, const std::string& bytes)
{
    ASSERT_TRUE(brmptest::WriteFileBytes(path, bytes));
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;)
    {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool PollUntil(const std::function<bool()>& condition)
{
    return brmptest::WaitFor(condition, 10000, 5);
}

// The registry key whose "LogFolder" a test of process id chooses its log
// folder with.
std::wstring TestKey(DWORD processId) { return FormatString(L"Software\\Brindlemap-LoggerTest-%lu", processId); }

// Every test writes into a log folder of its own, chosen through the real
// "LogFolder" registry value of a test key.
class LoggerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int counter = 0;
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        m_folder = FormatString(L"%sbrmp-logger-%lu-%d", temp, ::GetCurrentProcessId(), ++counter);
        brmptest::RemoveTree(m_folder); // left by a run that was killed
        ASSERT_TRUE(::CreateDirectoryW(m_folder.c_str(), nullptr));
        m_key = TestKey(::GetCurrentProcessId());
        SetProgramRegistryKeys(m_key.c_str(), m_key.c_str());
        SetPortableMode(false);
        ASSERT_TRUE(SetDefaultLogFolder(m_folder.c_str()));
        m_logFile = m_folder + L"\\" + kLogFileName;

        CLogger::Initialise();
        CLogger::CloseLogFile(false);
        CLogger::EnableDebug(false);
        CLogger::ThreadDebugging(false);
        CLogger::DisableLogging(false);
        CLogger::m_bDisableBanner.store(false);
        CDebugLogQueue::Clear();
        g_stampCounter = 0;
        SetLogTimeSource(FixedTime);
        // The log path is looked up anew by the first line of the test.
        CLogger::CloseLogFile(false);
    }

    void TearDown() override
    {
        CLogger::CloseLogFile(false);
        CLogger::EnableDebug(false);
        CLogger::ThreadDebugging(false);
        CLogger::DisableLogging(false);
        CLogger::m_bDisableBanner.store(false);
        CDebugLogQueue::Clear();
        SetLogTimeSource(nullptr);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str());
        SetProgramRegistryKeys(nullptr, nullptr);
        brmptest::RemoveTree(m_folder);
    }

    std::string Log() { return ReadAll(m_logFile); }

    std::wstring m_folder;
    std::wstring m_key;
    std::wstring m_logFile;
};
}

namespace
{
// A second process writing into the log file of a LoggerTest: this executable
// again, which then registers the writer below. Both start writing together.
constexpr wchar_t kWriterParentVariable[] = L"BRMP_LOGGER_TEST_PARENT";
constexpr int kWriterLines = 2000;

std::wstring WriterEvent(DWORD parent, const wchar_t* what)
{
    return FormatString(L"Local\\BrindlemapLoggerTest-%lu-%s", parent, what);
}

DWORD WriterParent()
{
    wchar_t text[16] = L"";
    const DWORD n = ::GetEnvironmentVariableW(kWriterParentVariable, text, 16);
    return n > 0 && n < 16 ? static_cast<DWORD>(std::wcstoul(text, nullptr, 10)) : 0;
}

class SecondLogWriter : public ::testing::Test
{
public:
    explicit SecondLogWriter(DWORD parent) : m_parent(parent) {}
    void TestBody() override
    {
        const std::wstring key = TestKey(m_parent);
        SetProgramRegistryKeys(key.c_str(), key.c_str());
        SetPortableMode(false);
        HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, WriterEvent(m_parent, L"ready").c_str());
        HANDLE go = ::OpenEventW(SYNCHRONIZE, FALSE, WriterEvent(m_parent, L"go").c_str());
        ASSERT_NE(ready, nullptr);
        ASSERT_NE(go, nullptr);
        ::SetEvent(ready);
        const bool started = ::WaitForSingleObject(go, 60000) == WAIT_OBJECT_0;
        ::CloseHandle(ready);
        ::CloseHandle(go);
        ASSERT_TRUE(started);
        for (int i = 0; i < kWriterLines; ++i)
            CLogger::LogMessage(L"CTest::SecondProcess line %d", i);
        CLogger::CloseLogFile(false);
    }

private:
    DWORD m_parent;
};

const bool g_writerRegistered = [] {
    const DWORD parent = WriterParent();
    if (parent != 0)
        ::testing::RegisterTest("SecondLogWriter", "Write", nullptr, nullptr, __FILE__, __LINE__,
                                [parent]() -> ::testing::Test* { return new SecondLogWriter(parent); });
    return parent != 0;
}();

// How many lines carry text + number, for each number below count.
std::vector<int> Counts(const std::string& log, const std::string& text, int count)
{
    std::vector<int> counts(static_cast<std::size_t>(count), 0);
    for (const std::string& line : Lines(log))
    {
        const std::size_t at = line.find(text);
        if (at == std::string::npos)
            continue;
        const int n = std::atoi(line.c_str() + at + text.size());
        if (n >= 0 && n < count && line.substr(at) == text + std::to_string(n))
            ++counts[static_cast<std::size_t>(n)];
    }
    return counts;
}
}

TEST_F(LoggerTest, LinesThatTwoProcessesWriteIntoOneLogFileAtTheSameTimeAreAllKept)
{
    const DWORD self = ::GetCurrentProcessId();
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, WriterEvent(self, L"ready").c_str());
    HANDLE go = ::CreateEventW(nullptr, TRUE, FALSE, WriterEvent(self, L"go").c_str());
    ASSERT_NE(ready, nullptr);
    ASSERT_NE(go, nullptr);
    wchar_t exe[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=SecondLogWriter.Write";
    ::SetEnvironmentVariableW(kWriterParentVariable, std::to_wstring(self).c_str());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
    ::SetEnvironmentVariableW(kWriterParentVariable, nullptr);
    ASSERT_TRUE(started);
    const bool childReady = ::WaitForSingleObject(ready, 60000) == WAIT_OBJECT_0;
    ::SetEvent(go);
    if (childReady)
        for (int i = 0; i < kWriterLines; ++i)
            CLogger::LogMessage(L"CTest::FirstProcess line %d", i);
    const bool ended = ::WaitForSingleObject(child.hProcess, 120000) == WAIT_OBJECT_0;
    if (!ended)
        ::TerminateProcess(child.hProcess, 99);
    DWORD exitCode = 99;
    ::GetExitCodeProcess(child.hProcess, &exitCode);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    ::CloseHandle(ready);
    ::CloseHandle(go);
    ASSERT_TRUE(childReady) << "the second process never got ready";
    ASSERT_TRUE(ended);
    ASSERT_EQ(exitCode, 0u) << "the second process failed";

    CLogger::FlushLog();
    const std::string log = Log();
    for (const char* writer : {"CTest::FirstProcess line ", "CTest::SecondProcess line "})
    {
        const std::vector<int> counts = Counts(log, writer, kWriterLines);
        const auto kept = std::count(counts.begin(), counts.end(), 1);
        EXPECT_EQ(kept, kWriterLines) << writer << ": every line once";
    }
}

TEST_F(LoggerTest, ALineIsDayMonthYearTimeWithMillisecondsThenTheText)
{
    CLogger::LogMessage(L"CFoo::Bar %s=%d %S", L"value", 42, "narrow");
    CLogger::FlushLog();
    EXPECT_EQ(Log(), Banner() + Stamp(0) + "CFoo::Bar value=42 narrow\r\n");

    wchar_t path[MAX_PATH];
    CLogger::GetLogPath(path, MAX_PATH);
    EXPECT_EQ(std::wstring(path), m_logFile);
}

TEST_F(LoggerTest, EachOpeningAppendsTheBannerUnlessDisabledAndClosingCanAddAnEmptyLine)
{
    CLogger::LogMessage(L"first");
    CLogger::CloseLogFile(true);
    CLogger::LogMessage(L"second");
    CLogger::CloseLogFile(false);
    CLogger::DisableBanner();
    CLogger::LogMessage(L"third");
    CLogger::FlushLog();

    EXPECT_EQ(Log(), Banner() + Stamp(0) + "first\r\n" + "\r\n" + Banner() + Stamp(1) + "second\r\n" + Stamp(2) + "third\r\n");
}

TEST_F(LoggerTest, AFileOverTheLimitIsCutBackAtALineBreakWhenOpened)
{
    struct Case
    {
        const char* name;
        long long size;
        std::vector<long long> breaks; // offsets of line-break bytes
        char breakByte;
        long long keptFrom;            // -1: the file stays whole
    };
    const long long exact = CLogger::TrimThreshold;
    const long long over = CLogger::TrimThreshold + 1;
    const long long scanStart = over - CLogger::TrimKeep; // first offset looked at
    const Case cases[] = {
        {"exactly the limit is kept whole", exact, {100, exact - CLogger::TrimKeep - 10}, '\n', -1},
        {"one byte over keeps the text after the last break before the last 2,000,000 bytes",
         over, {100, scanStart - 10, scanStart + 10}, '\n', scanStart - 9},
        {"a break at the first byte looked at starts the kept text after it", over, {scanStart}, '\n', scanStart + 1},
        {"a carriage return counts as a break", over, {scanStart - 3}, '\r', scanStart - 2},
        {"without any break before that point the file stays whole", over, {scanStart + 1, over - 5}, '\n', -1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::string content(static_cast<std::size_t>(c.size), 'x');
        for (std::size_t i = 0; i < content.size(); i += 97)
            content[i] = static_cast<char>('a' + (i / 97) % 26);
        for (long long at : c.breaks)
            content[static_cast<std::size_t>(at)] = c.breakByte;
        WriteAll(m_logFile, content);

        CLogger::LogMessage(L"after trim");
        CLogger::CloseLogFile(false);

        const std::string expectedStart = c.keptFrom < 0 ? content : content.substr(static_cast<std::size_t>(c.keptFrom));
        const std::string log = Log();
        ASSERT_EQ(log.size(), expectedStart.size() + Banner().size() + Stamp(0).size() + std::string("after trim\r\n").size());
        EXPECT_TRUE(log.compare(0, expectedStart.size(), expectedStart) == 0);
        EXPECT_EQ(log.substr(expectedStart.size(), Banner().size()), Banner());
        g_stampCounter = 0;
    }
}

TEST_F(LoggerTest, DebugLinesWaitInTheQueueAndTheNewest200AreFlushedBetweenSeparatorsWhenDebugIsSwitchedOn)
{
    CLogger::LogMessage(L"start");
    for (int i = 0; i < 250; ++i)
        CLogger::LogDebug(L"CTest::Queue line %03d", i);
    CLogger::FlushLog();
    EXPECT_EQ(Log().find("CTest::Queue"), std::string::npos);
    EXPECT_EQ(CDebugLogQueue::QueuedLines(), 200u);

    CLogger::EnableDebug(true);
    CLogger::LogDebug(L"CTest::Queue direct");
    CLogger::FlushLog();
    EXPECT_EQ(CDebugLogQueue::QueuedLines(), 0u);

    const std::vector<std::string> lines = Lines(Log());
    const std::string separator(158, '-');
    // banner (2 lines), start, flushing, separator, 200 lines, separator, direct
    ASSERT_EQ(lines.size(), 2u + 1u + 1u + 1u + 200u + 1u + 1u);
    EXPECT_EQ(lines[3], Stamp(251) + "Flushing 200 recent lines of debug log...");
    EXPECT_EQ(lines[4], separator);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(lines[5 + i], Stamp(51 + i) + "CTest::Queue line " + Pad3(50 + i));
    EXPECT_EQ(lines[205], separator);
    EXPECT_EQ(lines[206], Stamp(252) + "CTest::Queue direct");
}

TEST_F(LoggerTest, DisabledLoggingWritesAndQueuesNothing)
{
    CLogger::DisableLogging(true);
    EXPECT_TRUE(CLogger::LoggingDisabled());
    CLogger::LogMessage(L"not written");
    CLogger::LogDebug(L"not queued");
    CLogger::LogOSMessage(ERROR_ACCESS_DENIED, L"not written either");
    EXPECT_EQ(CDebugLogQueue::QueuedLines(), 0u);
    CLogger::DisableLogging(false);
    CLogger::LogMessage(L"written");
    CLogger::FlushLog();
    const std::string log = Log();
    EXPECT_EQ(log.find("not written"), std::string::npos);
    EXPECT_NE(log.find("> written\r\n"), std::string::npos);
}

TEST_F(LoggerTest, ThreadDebugLinesAreWrittenWhileThreadDebuggingIsOnAndQueuedWhileDebugIsOff)
{
    CLogger::LogThreadDebug(L"quiet thread line");
    EXPECT_EQ(CDebugLogQueue::QueuedLines(), 1u);
    CLogger::ThreadDebugging(true);
    CLogger::LogThreadDebug(L"loud thread line");
    EXPECT_EQ(CDebugLogQueue::QueuedLines(), 2u);
    CLogger::FlushLog();
    const std::string log = Log();
    EXPECT_EQ(log.find("quiet thread line"), std::string::npos);
    EXPECT_NE(log.find("> Enabling thread debugging\r\n"), std::string::npos);
    EXPECT_NE(log.find("> loud thread line\r\n"), std::string::npos);
}

TEST_F(LoggerTest, SystemErrorTextsFollowTheMessage)
{
    CLogger::LogOSMessage(ERROR_FILE_NOT_FOUND, L"CTest::Open '%s'", L"a.xml");
    CLogger::EnableDebug(true);
    CLogger::LogOSDebug(ERROR_ACCESS_DENIED, L"CTest::Debug");
    CLogger::LogOSMessage(0xE0001234, L"CTest::Unknown");
    CLogger::FlushLog();
    const std::vector<std::string> lines = Lines(Log());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2].rfind(Stamp(0) + "CTest::Open 'a.xml' (Error code 2: ", 0), 0u) << lines[2];
    EXPECT_GT(lines[2].size(), (Stamp(0) + "CTest::Open 'a.xml' (Error code 2: )").size());
    EXPECT_EQ(lines[2].back(), ')');
    EXPECT_EQ(lines[3].rfind(Stamp(1) + "CTest::Debug (5): ", 0), 0u) << lines[3];
    EXPECT_NE(lines[4].find("CTest::Unknown (Error code -536866252: "), std::string::npos) << lines[4];
}

TEST_F(LoggerTest, ATextLongerThanTheLineIsCutAndTheLineStillEnds)
{
    const std::wstring longText(10000, L'y');
    CLogger::LogMessage(L"%s", longText.c_str());
    CLogger::LogMessage(L"next");
    CLogger::FlushLog();
    const std::vector<std::string> lines = Lines(Log());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2].size(), CLogger::TextBufferSize - 3); // room for "\r\n" and the terminator
    EXPECT_EQ(lines[3], Stamp(1) + "next");
}

// A thread that writes the first line while another thread holds the global
// lock waits for the log path without holding the logger's lock, so the
// logger stays usable for everybody else (SetDebug takes the global lock and
// then the logger's).
TEST_F(LoggerTest, LookingUpTheLogPathNeverHoldsTheLoggersLock)
{
    std::atomic<bool> written{false};
    std::atomic<bool> loggerFree{false};
    std::thread writer;
    std::thread other;
    {
        CThreadLock global(L"LoggerTest::Holder");
        const std::size_t queued = CDebugLogQueue::QueuedLines();
        writer = std::thread([&] {
            CLogger::LogMessage(L"first line from a waiting thread");
            written = true;
        });
        // The writer reports its wait for the global lock at debug level.
        ASSERT_TRUE(PollUntil([&] { return CDebugLogQueue::QueuedLines() > queued; }));
        EXPECT_FALSE(written.load());

        other = std::thread([&] {
            CLogger::FlushLog();
            CLogger::DisableLogging(false);
            loggerFree = true;
        });
        EXPECT_TRUE(PollUntil([&] { return loggerFree.load(); }));
    }
    writer.join();
    other.join();
    EXPECT_TRUE(written.load());
    CLogger::FlushLog();
    EXPECT_NE(Log().find("> first line from a waiting thread\r\n"), std::string::npos);
}

TEST_F(LoggerTest, ACaughtExceptionIsLoggedByKindAndConsumed)
{
    struct Unknown
    {
    };
    struct Case
    {
        const char* name;
        void (*thrower)();
        const char* kindLine;
    };
    const Case cases[] = {
        {"std::exception", [] { throw std::runtime_error("disk on fire"); }, "std::exception is: 'disk on fire'"},
        {"empty what()", [] { throw std::runtime_error(""); }, "std::exception is: 'Unknown exception'"},
        {"int", [] { throw 42; }, "exception is: 42"},
        {"long", [] { throw -7L; }, "exception is: -7"},
        {"wide text", [] { throw L"wide text"; }, "exception is: 'wide text'"},
        {"narrow text", [] { throw "narrow text"; }, "exception is: 'narrow text'"},
        {"anything else", [] { throw Unknown{}; }, "exception is unknown!"},
    };
    int n = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        bool continued = false;
        EXPECT_NO_THROW({
            try
            {
                c.thrower();
            }
            catch (...)
            {
                LogCaughtException(L"CTest::Handler(%d)", n);
                continued = true;
            }
        });
        EXPECT_TRUE(continued);
        CLogger::FlushLog();
        const std::string log = Log();
        const std::string place = "CTest::Handler(" + std::to_string(n) + ")";
        const std::size_t at = log.find("Caught an exception in " + place + "...\r\n");
        ASSERT_NE(at, std::string::npos);
        EXPECT_NE(log.find(std::string("> ") + c.kindLine + "\r\n", at), std::string::npos);
        ++n;
    }

    // Outside a catch block there is nothing to rethrow: logged, no termination.
    LogCaughtException(L"CTest::NoException");
    CLogger::FlushLog();
    EXPECT_NE(Log().find("Caught an exception in CTest::NoException..."), std::string::npos);
}

TEST_F(LoggerTest, LinesOfThreadsWithDeferredWritesPushedAtTheSameTimeAreAllWrittenInOrderWhileTheRingHasRoom)
{
    // As the hook, timer and other deferred threads do: several threads push at
    // once while the writer takes lines out. Together they push no more than
    // the ring holds, so not one line may be lost even if the writer never ran.
    constexpr int kThreads = 4;
    constexpr int kLinesEach = static_cast<int>(CDeferredLogWrites::MaxLines) / kThreads;
    CLogger::LogMessage(L"start");
    const long droppedBefore = CDeferredLogWrites::DroppedLines();
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &ready] {
            CDeferredLogWrites deferred;
            EXPECT_TRUE(CDeferredLogWrites::Active());
            ++ready;
            while (ready.load() < kThreads)
                std::this_thread::yield();
            for (int i = 0; i < kLinesEach; ++i)
                CLogger::LogMessage(L"CTest::Deferred %d line %03d", t, i);
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(CDeferredLogWrites::Active());
    EXPECT_EQ(CDeferredLogWrites::DroppedLines(), droppedBefore);
    CLogger::FlushLog();
    const std::string log = Log();
    int next[kThreads] = {};
    int written = 0;
    for (const std::string& line : Lines(log))
    {
        const std::size_t at = line.find("CTest::Deferred ");
        if (at == std::string::npos)
            continue;
        const int t = line[at + 16] - '0';
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_EQ(line.substr(at), "CTest::Deferred " + std::to_string(t) + " line " + Pad3(next[t])) << "out of order";
        ++next[t];
        ++written;
    }
    EXPECT_EQ(written, kThreads * kLinesEach) << log;
}

TEST_F(LoggerTest, ALineThatFindsTheRingOfDeferredWritesFullIsCountedAndTheWriterReportsTheCount)
{
    // The writer cannot write while this thread holds the logger's lock: the
    // ring fills up, and the lines beyond it are lost and counted.
    constexpr int kExtra = 10;
    constexpr int kPushed = static_cast<int>(CDeferredLogWrites::MaxLines) + kExtra;
    CLogger::LogMessage(L"start");
    const long droppedBefore = CDeferredLogWrites::DroppedLines();
    std::atomic<bool> pushed{false};
    std::atomic<bool> finish{false};
    ASSERT_TRUE(CLogger::GetLock());
    std::thread hookLike([&] {
        CDeferredLogWrites deferred;
        for (int i = 0; i < kPushed; ++i)
            CLogger::LogMessage(L"CTest::Deferred line %03d", i);
        pushed = true;
        while (!finish.load())
            std::this_thread::yield();
    });
    const bool allPushed = PollUntil([&] { return pushed.load(); });
    const long dropped = CDeferredLogWrites::DroppedLines() - droppedBefore;
    CLogger::ReleaseLock();
    finish = true;
    hookLike.join();
    ASSERT_TRUE(allPushed) << "a push waited for the writer";
    // The writer may have taken one line out before it waited for the lock.
    EXPECT_GE(dropped, kExtra - 1);
    EXPECT_LE(dropped, kExtra);

    CLogger::FlushLog();
    const std::string log = Log();
    int written = 0;
    for (const std::string& line : Lines(log))
        written += line.find("CTest::Deferred line ") != std::string::npos ? 1 : 0;
    EXPECT_EQ(written + dropped, kPushed) << log;
    EXPECT_NE(log.find("CDeferredLogWrites: " + std::to_string(dropped) +
                       " log lines of the hook and timer threads were lost (the queue was full)."),
              std::string::npos)
        << log;
}

TEST_F(LoggerTest, AfterTheFileFailedToOpenALineNeverWaitsForTheGlobalLockAndTheNextOneTriesTheFileAgain)
{
    // A folder where the log file should be: the file cannot be opened.
    ASSERT_TRUE(::CreateDirectoryW(m_logFile.c_str(), nullptr));
    CLogger::LogMessage(L"first line, lost");

    std::atomic<bool> written{false};
    std::thread writer;
    {
        CThreadLock global(L"LoggerTest::Holder");
        writer = std::thread([&] {
            CLogger::LogMessage(L"second line, lost too");
            written = true;
        });
        EXPECT_TRUE(PollUntil([&] { return written.load(); })) << "the line waited for the global lock";
    }
    writer.join();

    ASSERT_TRUE(::RemoveDirectoryW(m_logFile.c_str()));
    CLogger::LogMessage(L"third line");
    CLogger::FlushLog();
    EXPECT_NE(Log().find("> third line\r\n"), std::string::npos) << Log();
}

namespace
{
// A push of one thread that stops between claiming its slot and filling it,
// until let go (as a thread ended there, or one that is very late).
std::atomic<DWORD> g_stalledPusher{0};
HANDLE g_pushClaimed = nullptr;
HANDLE g_pushGoOn = nullptr;
void StallOnePusher()
{
    if (::GetCurrentThreadId() != g_stalledPusher.load())
        return;
    ::SetEvent(g_pushClaimed);
    ::WaitForSingleObject(g_pushGoOn, INFINITE);
}

// Lines of a thread with deferred writes, in batches the ring holds, each
// written before the next.
void PushDeferredLines(const wchar_t* name, int count)
{
    std::thread([&] {
        CDeferredLogWrites deferred;
        for (int i = 0; i < count; ++i)
        {
            CLogger::LogMessage(L"%s %03d", name, i);
            if (i % 32 == 31)
                CDeferredLogWrites::WaitUntilWritten(10000);
        }
        CDeferredLogWrites::WaitUntilWritten(10000);
    }).join();
}
} // namespace

// Comes after the tests that fill the ring: the slot stepped over here stays out of use.
TEST_F(LoggerTest, ALineItsThreadLeavesUnpublishedIsSteppedOverAndCountedAndItsLateCopyReachesNoOtherLine)
{
    CLogger::LogMessage(L"start");
    const long droppedBefore = CDeferredLogWrites::DroppedLines();
    g_pushClaimed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_pushGoOn = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetDeferredPushPause(StallOnePusher);
    std::thread stalled([] {
        g_stalledPusher = ::GetCurrentThreadId();
        CDeferredLogWrites deferred;
        CLogger::LogMessage(L"CTest::Stalled line");
    });
    struct LetGo
    {
        std::thread& thread;
        ~LetGo()
        {
            ::SetEvent(g_pushGoOn);
            if (thread.joinable())
                thread.join();
            SetDeferredPushPause(nullptr);
            g_stalledPusher = 0;
            ::CloseHandle(g_pushClaimed);
            ::CloseHandle(g_pushGoOn);
        }
    } letGo{stalled};
    ASSERT_EQ(::WaitForSingleObject(g_pushClaimed, 10000), static_cast<DWORD>(WAIT_OBJECT_0));

    // The lines behind it are written once it is overdue, with no further push.
    PushDeferredLines(L"CTest::After", 1);
    EXPECT_TRUE(PollUntil([&] { return Log().find("> CTest::After 000\r\n") != std::string::npos; }))
        << "every later line waits behind the unpublished one";
    EXPECT_TRUE(PollUntil([&] {
        return Log().find("CDeferredLogWrites: 1 log lines of the hook and timer threads were lost (their thread did not "
                          "finish writing them).") != std::string::npos;
    })) << Log();
    EXPECT_EQ(CDeferredLogWrites::DroppedLines(), droppedBefore + 1);

    // Late, the thread fills the slot it had claimed; lines of two more laps
    // of the ring pass that slot untouched.
    ::SetEvent(g_pushGoOn);
    stalled.join();
    constexpr int kLater = 2 * static_cast<int>(CDeferredLogWrites::MaxLines);
    PushDeferredLines(L"CTest::Later", kLater);
    CLogger::FlushLog();
    int next = 0;
    for (const std::string& line : Lines(Log()))
    {
        EXPECT_EQ(line.find("CTest::Stalled"), std::string::npos) << "the line given up on was written";
        const std::size_t at = line.find("CTest::Later ");
        if (at != std::string::npos)
        {
            EXPECT_EQ(line.substr(at), "CTest::Later " + Pad3(next++));
        }
    }
    EXPECT_EQ(next, kLater);
    EXPECT_EQ(CDeferredLogWrites::DroppedLines(), droppedBefore + 1);
}
