// The crash layer: a child copy of this test executable crashes on purpose and
// the parent checks what it left behind.

#include <gtest/gtest.h>

#include <windows.h>
#include <process.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "CrashReport.h"
#include "EngineTestSupport.h"
#include "ExceptionHandlerInstaller.h"
#include "Folders.h"
#include "Globals.h"
#include "Hooks.h"
#include "Logger.h"

using namespace enginetest;

namespace
{
constexpr wchar_t kModeVariable[] = L"BRMP_ENGINE_CRASH_MODE";

std::wstring ChildMode()
{
    wchar_t mode[64] = L"";
    const DWORD n = ::GetEnvironmentVariableW(kModeVariable, mode, 64);
    return n > 0 && n < 64 ? mode : L"";
}

unsigned __stdcall CrashingThread(void*)
{
    // A page nobody may touch (Wine may map the page at address 0).
    int* volatile forbidden = static_cast<int*>(::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS));
    *forbidden = 1;
    return 0;
}

struct ChildResult
{
    bool ended = false;
    DWORD exitCode = 0;
    DWORD processId = 0;
};

// Runs this executable again in a crash mode and waits for it to end.
ChildResult RunChild(const wchar_t* mode)
{
    ChildResult result;
    std::wstring command = L"\"" + ThisExecutable() + L"\" --gtest_filter=CrashChild.Crash";
    ::SetEnvironmentVariableW(kModeVariable, mode);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    ::SetEnvironmentVariableW(kModeVariable, nullptr);
    if (!started)
        return result;
    // Writing a minidump under Wine takes half a minute.
    result.processId = process.dwProcessId;
    result.ended = ::WaitForSingleObject(process.hProcess, 180000) == WAIT_OBJECT_0;
    if (!result.ended)
        ::TerminateProcess(process.hProcess, 99);
    ::GetExitCodeProcess(process.hProcess, &result.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return result;
}

// Where a freshly started copy of this executable logs (earlier tests of this
// process may have pointed this process's logger elsewhere).
std::wstring ChildLogPath()
{
    wchar_t path[4096] = L"";
    if (GetLogFile(path, 4096, false) != 0)
        return {};
    return path;
}

std::string LogFolderNarrow()
{
    std::wstring folder = ChildLogPath();
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1);
    char narrow[4096] = "";
    ::WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, narrow, sizeof(narrow), nullptr, nullptr);
    return narrow;
}

// The dump the log line names; empty when there is none.
std::string DumpPathFromLog(const std::string& log)
{
    const std::string marker = "Crash dump written to ";
    const size_t at = log.find(marker);
    if (at == std::string::npos)
        return {};
    const size_t start = at + marker.size();
    return log.substr(start, log.find_first_of("\r\n", start) - start);
}

bool LooksLikeMinidump(const std::string& path)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char signature[4] = {};
    DWORD got = 0;
    ::ReadFile(file, signature, 4, &got, nullptr);
    const DWORD size = ::GetFileSize(file, nullptr);
    ::CloseHandle(file);
    return got == 4 && std::string(signature, 4) == "MDMP" && size > 1024;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return text;
}
}

namespace
{
// The child's side: exists only when the parent started this executable with
// a crash mode.
void CrashAsChild(const std::wstring& mode)
{
    ExceptionHandlerInstaller crashReport;
    ASSERT_TRUE(SetMouseHook());
    CLogger::LogMessage(L"CrashChild[%u]: hooks installed (mouse 0x%X), crashing now (%s)", ::GetCurrentProcessId(),
                        static_cast<unsigned>(reinterpret_cast<UINT_PTR>(g_threads.hMouseHook)), mode.c_str());
    if (mode == L"access-violation")
    {
        CrashingThread(nullptr);
    }
    else if (mode == L"thread-access-violation")
    {
        HANDLE thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, CrashingThread, nullptr, 0, nullptr));
        ::WaitForSingleObject(thread, INFINITE);
    }
    else if (mode == L"cpp-exception")
    {
        std::thread thrower([] { throw std::runtime_error("deliberate failure"); });
        thrower.join();
    }
    FAIL() << "the child should have ended in its crash report";
}

class CrashChildTest : public ::testing::Test
{
public:
    explicit CrashChildTest(std::wstring mode) : m_mode(std::move(mode)) {}
    void TestBody() override { CrashAsChild(m_mode); }

private:
    std::wstring m_mode;
};

const bool g_childRegistered = [] {
    const std::wstring mode = ChildMode();
    if (!mode.empty())
        ::testing::RegisterTest("CrashChild", "Crash", nullptr, nullptr, __FILE__, __LINE__,
                                [mode]() -> ::testing::Test* { return new CrashChildTest(mode); });
    return !mode.empty();
}();
}

TEST(CrashReport, ACrashWritesTheLogLineAndAMinidumpInTheLogFolderAndRemovesTheHooks)
{
    struct Case
    {
        const wchar_t* mode;
        DWORD exitCode;
        const char* logged;
        const char* where;   // module and offset of the crash
    };
    const Case cases[] = {
        {L"access-violation", 0xC0000005, "Unhandled exception 0xC0000005 at 0x", "(engine_tests.exe+0x"},
        {L"thread-access-violation", 0xC0000005, "Unhandled exception 0xC0000005 at 0x", "(engine_tests.exe+0x"},
        // Reported from the terminate handler, inside the library (linked into the test program).
        {L"cpp-exception", CRASH_CPP_EXCEPTION, "TerminateHandler : Unhandled C++ exception: deliberate failure",
         "(engine_tests.exe+0x"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "mode " << std::string(c.mode, c.mode + lstrlenW(c.mode)));
        const std::wstring logPath = ChildLogPath();
        ASSERT_FALSE(logPath.empty());
        const size_t logAt = FileSize(logPath);
        const ChildResult child = RunChild(c.mode);
        ASSERT_TRUE(child.ended);
        EXPECT_EQ(child.exitCode, c.exitCode);

        // The child may have cut the log back when it opened it: find its own
        // lines by its process id - the last such line, as the log folder is
        // shared with earlier runs whose children may have had the same id.
        const std::string all = FileTextSince(logPath, FileSize(logPath) >= logAt ? logAt : 0);
        const std::string marker = "CrashChild[" + std::to_string(child.processId) + "]: hooks installed";
        const size_t start = all.rfind(marker);
        ASSERT_NE(start, std::string::npos) << all;
        const std::string log = all.substr(start);
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        EXPECT_NE(log.find(c.where), std::string::npos) << log;
        EXPECT_NE(log.find("PreException Handler : Starting exception handler (ThreadID 0x"), std::string::npos);
        EXPECT_NE(log.find("RemoveHooks: Removed keyboard hook."), std::string::npos) << log;
        EXPECT_NE(log.find("RemoveHooks: Removed mouse hook."), std::string::npos) << log;
        EXPECT_EQ(log.find("Unable to remove"), std::string::npos) << log;

        const std::string dump = DumpPathFromLog(log);
        ASSERT_FALSE(dump.empty()) << log;
        EXPECT_TRUE(StartsWith(Lower(dump), Lower(LogFolderNarrow()))) << dump;
        EXPECT_TRUE(LooksLikeMinidump(dump)) << dump;
        ::DeleteFileA(dump.c_str());
    }
}

TEST(CrashReport, TheFilterStaysUntilTheLastInstallerGoes)
{
    ASSERT_FALSE(CrashReportInstalled());
    {
        ExceptionHandlerInstaller first;
        EXPECT_TRUE(CrashReportInstalled());
        {
            // A copy that goes away must not take the filter with it.
            ExceptionHandlerInstaller copy(first);
        }
        EXPECT_TRUE(CrashReportInstalled());
    }
    EXPECT_FALSE(CrashReportInstalled());
}

TEST(CrashReport, DumpNamesCarryTheProgramAndTheProcessAndLieInTheConfiguredFolder)
{
    CrashReportSettings settings;
    settings.appName = L"Brindlemap";
    settings.dumpFolder = L"C:\\dumps";
    InstallCrashReport(settings);
    wchar_t path[MAX_PATH] = L"";
    ASSERT_TRUE(MakeCrashDumpPath(path, MAX_PATH));
    UninstallCrashReport();
    const std::wstring text = path;
    EXPECT_EQ(text.rfind(L"C:\\dumps\\Brindlemap_", 0), 0u) << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"_" + std::to_wstring(::GetCurrentProcessId()) + L".dmp"), std::wstring::npos);

    // A buffer too small for the path is refused, not cut into another name.
    wchar_t tiny[12] = L"";
    EXPECT_FALSE(MakeCrashDumpPath(tiny, 12));
}

namespace
{
LRESULT ThrowingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP)
        throw std::runtime_error("window failure");
    if (message == WM_APP + 1)
        throw 42;
    return ::DefWindowProcW(window, message, wParam, lParam);
}
}

TEST(CrashReport, AnExceptionInAGuardedWindowProcedureIsLoggedAndGoesNoFurther)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = GuardedWindowProc<ThrowingProc>;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"EngineGuardTest";
    ASSERT_NE(::RegisterClassW(&wc), 0);
    HWND window = ::CreateWindowW(L"EngineGuardTest", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    const size_t logAt = LogSize();

    EXPECT_EQ(::SendMessageW(window, WM_APP, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(window, WM_APP + 1, 0, 0), 0);
    // The window still works.
    EXPECT_EQ(::SendMessageW(window, WM_NULL, 0, 0), 0);

    const std::string log = LogSince(logAt);
    EXPECT_NE(log.find("Caught an exception in WindowProc (window 0x"), std::string::npos) << log;
    EXPECT_NE(log.find("message 0x8000): window failure"), std::string::npos) << log;
    EXPECT_NE(log.find("message 0x8001)"), std::string::npos) << log;
    ::DestroyWindow(window);
    ::UnregisterClassW(L"EngineGuardTest", wc.hInstance);
}
