// The real program from start to end: a portable copy in a folder of its own
// starts, installs its hooks, opens its hidden main window, and ends cleanly
// when that window is closed or a later start asks it to exit.

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Control.h"
#include "MouseInfo.h"
#include "Probe.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"

using namespace brmptest;

namespace
{
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kEndTimeoutMs = 20000;

// A started process, killed if the test leaves it running.
struct Process
{
    PROCESS_INFORMATION info{};
    ~Process()
    {
        if (info.hProcess != nullptr)
        {
            if (::WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
                ::TerminateProcess(info.hProcess, 99);
            ::CloseHandle(info.hProcess);
            ::CloseHandle(info.hThread);
        }
    }
    bool Ended(DWORD timeoutMs) const
    {
        return WaitFor([&] { return ::WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs, 50);
    }
    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
};

class ProgramLifetime : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder);
        const std::wstring from = ExecutableFolder();
        for (const wchar_t* name : {L"Brindlemap.exe", L"Snarehold.dll", L"pugixml.dll", L"libstdc++-6.dll",
                                    L"libgcc_s_seh-1.dll", L"libwinpthread-1.dll", L"libssp-0.dll"})
        {
            const std::wstring source = from + name;
            if (::GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES)
                continue;
            ASSERT_TRUE(::CopyFileW(source.c_str(), m_folder.PathOf(name).c_str(), FALSE)) << "copy failed";
        }
        // A settings file beside the program makes the copy portable.
        CSettings settings(false, GetStartupMouseInfo());
        ASSERT_TRUE(settings.Save(m_folder.PathOf(L"Brindlemap.xml").c_str()));
    }

    bool Start(Process& process, const std::wstring& arguments)
    {
        const std::wstring exe = m_folder.PathOf(L"Brindlemap.exe");
        std::wstring line = QuoteArgument(exe) + L" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        return ::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                m_folder.Path().c_str(), &startup, &process.info) != FALSE;
    }

    // The log beside the program (the logger writes narrow text and shares the file).
    std::string Log() const
    {
        HANDLE file = ::CreateFileW(m_folder.PathOf(L"Brindlemap.log").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return {};
        std::string text;
        char buffer[4096];
        DWORD read = 0;
        while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
            text.append(buffer, read);
        ::CloseHandle(file);
        return text;
    }

    bool LogHas(const char* text) const { return Log().find(text) != std::string::npos; }

    bool WaitForLog(const char* text, DWORD timeoutMs = kStartTimeoutMs) const
    {
        return WaitFor([&] { return LogHas(text); }, timeoutMs, 50);
    }

    // The hidden main window: a top-level window of the process whose class
    // and title are the same name.
    static HWND MainWindowOf(DWORD processId)
    {
        struct Search
        {
            DWORD pid;
            HWND found;
        } search{processId, nullptr};
        ::EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(window, &pid);
                if (pid != s->pid)
                    return TRUE;
                wchar_t cls[256] = L"";
                wchar_t title[256] = L"";
                ::GetClassNameW(window, cls, 256);
                ::GetWindowTextW(window, title, 256);
                if (cls[0] != L'\0' && std::wstring(cls) == title)
                {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // A message box of the process: its window and its text.
    static HWND MessageBoxOf(DWORD processId, std::wstring& text)
    {
        struct Search
        {
            DWORD pid;
            HWND found;
        } search{processId, nullptr};
        ::EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(window, &pid);
                wchar_t cls[64] = L"";
                ::GetClassNameW(window, cls, 64);
                if (pid == s->pid && std::wstring(cls) == L"#32770" && ::IsWindowVisible(window))
                {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        text.clear();
        if (search.found == nullptr)
            return nullptr;
        ::EnumChildWindows(
            search.found,
            [](HWND child, LPARAM param) -> BOOL {
                wchar_t cls[64] = L"";
                ::GetClassNameW(child, cls, 64);
                if (std::wstring(cls) == L"Static")
                {
                    wchar_t buffer[4096] = L"";
                    ::GetWindowTextW(child, buffer, 4096);
                    auto* out = reinterpret_cast<std::wstring*>(param);
                    if (std::wcslen(buffer) > out->size())
                        *out = buffer;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&text));
        return search.found;
    }

    // Starts the program and waits until its main window runs.
    void StartFirst(Process& first, HWND& window)
    {
        ASSERT_TRUE(Start(first, L"/debug"));
        ASSERT_TRUE(WaitForLog("Successfully created the main message window.")) << Log();
        ASSERT_TRUE(WaitFor([&] { return (window = MainWindowOf(first.info.dwProcessId)) != nullptr; },
                            kDefaultTimeoutMs))
            << "no main window";
        const std::string log = Log();
        EXPECT_NE(log.find("Enabling portable mode."), std::string::npos) << log;
        EXPECT_NE(log.find("Creating/using settings file in"), std::string::npos) << log;
        EXPECT_NE(log.find("Successfully created the mouse hook thread."), std::string::npos) << log;
        EXPECT_NE(log.find("v2.20.5 (x64) Startup. Commandline '/debug'"), std::string::npos) << log;
    }

    void ExpectCleanEnd(const Process& process)
    {
        ASSERT_TRUE(process.Ended(kEndTimeoutMs)) << Log();
        EXPECT_EQ(process.ExitCode(), 0u);
        EXPECT_TRUE(LogHas("Brindlemap Shutdown.")) << Log();
    }

    TempFolder m_folder{L"brmp-lifetime"};
};
}

TEST_F(ProgramLifetime, APortableCopyStartsWithHooksAndEndsWhenItsWindowIsClosed)
{
    Process first;
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartFirst(first, window));

    ASSERT_TRUE(::PostMessageW(window, WM_CLOSE, 0, 0));
    ExpectCleanEnd(first);
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(ProgramLifetime, ALaterStartWithExitHandsItOverAndBothEnd)
{
    Process first;
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartFirst(first, window));

    Process second;
    ASSERT_TRUE(Start(second, L"/exit"));
    ASSERT_TRUE(second.Ended(kStartTimeoutMs)) << Log();
    // The later start skips the portable decision, so its own lines go to the
    // installed log; the first instance's log shows what arrived.
    EXPECT_TRUE(LogHas("Received message with data 0x80000020 from another instance")) << Log();
    ExpectCleanEnd(first);
}

TEST_F(ProgramLifetime, AHelpRequestShowsTheHelpAndEndsBeforeAnythingIsLoaded)
{
    Process process;
    // "/?" counts anywhere, also inside another word.
    ASSERT_TRUE(Start(process, L"/reload/?x"));
    HWND box = nullptr;
    std::wstring text;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(process.info.dwProcessId, text)) != nullptr; },
                        kStartTimeoutMs));
    EXPECT_NE(text.find(L"Valid command line options:"), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_EQ(MainWindowOf(process.info.dwProcessId), nullptr);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(process.Ended(kEndTimeoutMs));
    // Nothing was logged: logging is held back until the line has been read.
    EXPECT_EQ(Log(), "");
}

TEST_F(ProgramLifetime, APortableCopyUnderProgramFilesWarnsAndRunsInstalled)
{
    wchar_t programFiles[MAX_PATH] = L"";
    ASSERT_NE(::GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH), 0u);
    const std::wstring folder =
        std::wstring(programFiles) + L"\\brmp-lifetime-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    struct Cleanup
    {
        std::wstring path;
        ~Cleanup() { RemoveTree(path); }
    } cleanup{folder};
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW(m_folder.PathOf(L"*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do
    {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        {
            ASSERT_TRUE(::CopyFileW(m_folder.PathOf(data.cFileName).c_str(), (folder + L"\\" + data.cFileName).c_str(),
                                    FALSE));
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);

    Process process;
    const std::wstring exe = folder + L"\\Brindlemap.exe";
    std::wstring line = QuoteArgument(exe) + L" /debug";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ASSERT_TRUE(::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                 &startup, &process.info));
    HWND box = nullptr;
    std::wstring text;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(process.info.dwProcessId, text)) != nullptr; },
                        kStartTimeoutMs));
    EXPECT_EQ(text.rfind(L"You appear to be running the portable version of Brindlemap from the Program Files folder.", 0),
              0u)
        << testing::PrintToString(text);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);

    // It goes on in installed mode: the main window comes, and nothing is logged beside the program.
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = MainWindowOf(process.info.dwProcessId)) != nullptr; }, kStartTimeoutMs));
    EXPECT_EQ(::GetFileAttributesW((folder + L"\\Brindlemap.log").c_str()), INVALID_FILE_ATTRIBUTES);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(process.Ended(kEndTimeoutMs));
    EXPECT_EQ(process.ExitCode(), 0u);
}
