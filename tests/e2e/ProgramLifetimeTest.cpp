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
#include "ProgramRunner.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"

using namespace brmptest;

namespace
{
using programtest::kEndTimeoutMs;
using programtest::kStartTimeoutMs;
using Process = programtest::ProgramCopy;

class ProgramLifetime : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_first.Prepare());
        // A settings file beside the program makes the copy portable.
        CSettings settings(false, GetStartupMouseInfo());
        ASSERT_TRUE(m_first.WriteSettings(settings));
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
    void StartFirst(HWND& window)
    {
        ASSERT_TRUE(m_first.Start(L"/debug"));
        ASSERT_TRUE(m_first.WaitForLog("Successfully created the main message window.")) << m_first.Log();
        window = m_first.WaitForMainWindow();
        ASSERT_NE(window, nullptr) << "no main window";
        const std::string log = m_first.Log();
        EXPECT_NE(log.find("Enabling portable mode."), std::string::npos) << log;
        EXPECT_NE(log.find("Creating/using settings file in"), std::string::npos) << log;
        EXPECT_NE(log.find("Successfully created the mouse hook thread."), std::string::npos) << log;
        EXPECT_NE(log.find("v2.20.5 (x64) Startup. Commandline '/debug'"), std::string::npos) << log;
    }

    void ExpectCleanEnd(const Process& process)
    {
        ASSERT_TRUE(process.Ended(kEndTimeoutMs)) << m_first.Log();
        EXPECT_EQ(process.ExitCode(), 0u);
        EXPECT_TRUE(m_first.LogHas("Brindlemap Shutdown.")) << m_first.Log();
    }

    Process m_first{L"brmp-lifetime"};
};
}

TEST_F(ProgramLifetime, APortableCopyStartsWithHooksAndEndsWhenItsWindowIsClosed)
{
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartFirst(window));

    ASSERT_TRUE(::PostMessageW(window, WM_CLOSE, 0, 0));
    ExpectCleanEnd(m_first);
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(ProgramLifetime, TheLanguagePackNamedInTheSettingsIsLoadedAtStartUp)
{
    CSettings settings(false, GetStartupMouseInfo());
    settings.SetLanguage(L"Deutsch.brmplp");
    ASSERT_TRUE(m_first.WriteSettings(settings));
    ASSERT_TRUE(WriteFileBytes(m_first.Folder().PathOf(L"Deutsch.brmplp"),
                               "Language=Deutsch\n\"Exit\" => \"Beenden\"\n"));
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartFirst(window));
    EXPECT_TRUE(m_first.LogHas("Loading language file: 'Deutsch.brmplp'")) << m_first.Log();
    EXPECT_FALSE(m_first.LogHas("Unable to load language file")) << m_first.Log();

    ASSERT_TRUE(::PostMessageW(window, WM_CLOSE, 0, 0));
    ExpectCleanEnd(m_first);
}

TEST_F(ProgramLifetime, ALaterStartWithExitHandsItOverAndBothEnd)
{
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartFirst(window));

    programtest::ProgramProcess second;
    ASSERT_TRUE(second.Start(m_first.ExePath(), m_first.Folder().Path(), L"/exit"));
    ASSERT_TRUE(second.Ended(kStartTimeoutMs)) << m_first.Log();
    // The later start skips the portable decision, so its own lines go to the
    // installed log; the first instance's log shows what arrived.
    EXPECT_TRUE(m_first.LogHas("Received message with data 0x80000020 from another instance")) << m_first.Log();
    ExpectCleanEnd(m_first);
}

TEST_F(ProgramLifetime, AHelpRequestShowsTheHelpAndEndsBeforeAnythingIsLoaded)
{
    // "/?" counts anywhere, also inside another word.
    ASSERT_TRUE(m_first.Start(L"/reload/?x"));
    HWND box = nullptr;
    std::wstring text;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(m_first.ProcessId(), text)) != nullptr; }, kStartTimeoutMs));
    EXPECT_NE(text.find(L"Valid command line options:"), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_EQ(m_first.MainWindow(), nullptr);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(m_first.Ended(kEndTimeoutMs));
    // Nothing was logged: logging is held back until the line has been read.
    EXPECT_EQ(m_first.Log(), "");
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
    HANDLE find = ::FindFirstFileW(m_first.Folder().PathOf(L"*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do
    {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        {
            ASSERT_TRUE(::CopyFileW(m_first.Folder().PathOf(data.cFileName).c_str(), (folder + L"\\" + data.cFileName).c_str(),
                                    FALSE));
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);

    programtest::ProgramProcess process;
    ASSERT_TRUE(process.Start(folder + L"\\Brindlemap.exe", folder, L"/debug"));
    HWND box = nullptr;
    std::wstring text;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(process.ProcessId(), text)) != nullptr; },
                        kStartTimeoutMs));
    EXPECT_EQ(text.rfind(L"You appear to be running the portable version of Brindlemap from the Program Files folder.", 0),
              0u)
        << testing::PrintToString(text);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);

    // It goes on in installed mode: the main window comes, and nothing is logged beside the program.
    HWND window = nullptr;
    window = process.WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(::GetFileAttributesW((folder + L"\\Brindlemap.log").c_str()), INVALID_FILE_ATTRIBUTES);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(process.Ended(kEndTimeoutMs));
    EXPECT_EQ(process.ExitCode(), 0u);
}
