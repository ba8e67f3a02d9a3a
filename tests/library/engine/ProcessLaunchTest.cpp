// Launching programs: how a command line is split, what the shell is asked,
// and that a launch asked for on another thread runs on the timer thread.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "Globals.h"
#include "Hooks.h"
#include "ProcessLaunch.h"
#include "WebSearch.h"

using namespace enginetest;

namespace
{
struct ShellCall
{
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    int show = 0;
    DWORD thread = 0;
};

std::mutex g_callsLock;
std::vector<ShellCall> g_calls;
std::atomic<bool> g_shellSucceeds{true};

std::wstring Text(const wchar_t* text)
{
    return text != nullptr ? text : L"<null>";
}

BOOL RecordingShell(SHELLEXECUTEINFOW* info)
{
    std::lock_guard<std::mutex> lock(g_callsLock);
    g_calls.push_back({Text(info->lpVerb), Text(info->lpFile), Text(info->lpParameters), info->nShow,
                       ::GetCurrentThreadId()});
    if (!g_shellSucceeds)
    {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    info->hProcess = nullptr;
    return TRUE;
}

std::vector<ShellCall> Calls()
{
    std::lock_guard<std::mutex> lock(g_callsLock);
    return g_calls;
}

class ProcessLaunch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        {
            std::lock_guard<std::mutex> lock(g_callsLock);
            g_calls.clear();
        }
        g_shellSucceeds = true;
        SetShellExecuteFunction(RecordingShell);
    }
    void TearDown() override { SetShellExecuteFunction(nullptr); }
};
} // namespace

TEST(ProcessLaunchRules, ACommandLineSplitsAtTheFirstBlankAfterItsFirstDot)
{
    struct Case
    {
        const wchar_t* line;
        const wchar_t* file;
        const wchar_t* parameters;
    } const cases[] = {
        {L"C:\\Tools\\app.exe -x 1", L"C:\\Tools\\app.exe", L"-x 1"},
        {L"C:\\My Tools\\app.exe", L"C:\\My Tools\\app.exe", L""},   // no blank after the dot
        {L"notepad", L"notepad", L""},                                // no dot
        {L"notepad readme", L"notepad readme", L""},
        {L".x y", L".x", L"y"},
        {L"", L"", L""},
    };
    for (const Case& c : cases)
    {
        std::wstring file = L"stale";
        std::wstring parameters = L"stale";
        SplitCommandLine(c.line, file, parameters);
        EXPECT_EQ(file, c.file) << c.line;
        EXPECT_EQ(parameters, c.parameters) << c.line;
    }
}

TEST_F(ProcessLaunch, TheShellGetsTheFileParametersVerbAndShowCommand)
{
    CShellExecuteInfo split(L"C:\\Tools\\app.exe -x 1", SW_SHOWMINIMIZED);
    EXPECT_TRUE(LaunchProcessThreadProc(&split));
    CShellExecuteInfo elevated(L"notepad", 12);
    EXPECT_TRUE(LaunchProcessThreadProc(&elevated));
    CShellExecuteInfo explore(L"explore", L"C:\\", nullptr);
    EXPECT_TRUE(LaunchProcessThreadProc(&explore));

    const std::vector<ShellCall> calls = Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].verb, L"open");
    EXPECT_EQ(calls[0].file, L"C:\\Tools\\app.exe");
    EXPECT_EQ(calls[0].parameters, L"-x 1");
    EXPECT_EQ(calls[0].show, SW_SHOWMINIMIZED);
    EXPECT_EQ(calls[1].verb, L"RUNAS");            // above 11: elevated, in a normal window
    EXPECT_EQ(calls[1].file, L"notepad");
    EXPECT_EQ(calls[1].parameters, L"<null>");
    EXPECT_EQ(calls[1].show, SW_SHOWNORMAL);
    EXPECT_EQ(calls[2].verb, L"explore");
    EXPECT_EQ(calls[2].show, SW_SHOWNORMAL);
}

TEST_F(ProcessLaunch, NothingToLaunchOrAFailedLaunchIsReportedAsFailure)
{
    CShellExecuteInfo empty(nullptr, nullptr, nullptr);
    EXPECT_FALSE(LaunchProcessThreadProc(&empty));
    CShellExecuteInfo emptyLine(L"", 1);
    EXPECT_FALSE(LaunchProcessThreadProc(&emptyLine));
    EXPECT_FALSE(LaunchProcessThreadProc(nullptr));
    EXPECT_TRUE(Calls().empty());

    g_shellSucceeds = false;
    CShellExecuteInfo missing(L"open", L"Z:\\nowhere\\missing.exe", nullptr);
    EXPECT_FALSE(LaunchProcessThreadProc(&missing));
    EXPECT_EQ(Calls().size(), 1u);
}

TEST_F(ProcessLaunch, ALaunchAskedForOnAnotherThreadRunsOnTheTimerThread)
{
    ASSERT_TRUE(SetMouseHook());
    ASSERT_NE(g_threads.dwTimerThreadId, 0u);
    EXPECT_TRUE(ThreadShellExecute(L"open", L"first.exe", L"/a"));
    EXPECT_TRUE(ThreadShellExecute(L"second.exe /b", 1));
    EXPECT_TRUE(WaitFor([] { return Calls().size() == 2; }));
    const std::vector<ShellCall> calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].file, L"first.exe");
    EXPECT_EQ(calls[1].file, L"second.exe");
    EXPECT_EQ(calls[1].parameters, L"/b");
    for (const ShellCall& call : calls)
        EXPECT_EQ(call.thread, g_threads.dwTimerThreadId);
    RemoveMouseHook(false);
}

TEST_F(ProcessLaunch, WithoutTheTimerThreadALaunchRunsWhereItIsAsked)
{
    ASSERT_EQ(g_threads.dwTimerThreadId, 0u);
    EXPECT_TRUE(ThreadShellExecute(L"open", L"here.exe", nullptr));
    const std::vector<ShellCall> calls = Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].thread, ::GetCurrentThreadId());
    g_shellSucceeds = false;
    EXPECT_FALSE(ThreadShellExecute(L"open", L"here.exe", nullptr));
}

TEST(WebSearchRules, TheSelectedTextIsAppendedToTheAddressInQuotesWhenThereIsSome)
{
    EXPECT_EQ(BuildSearchAddress(L"https://search.example/?q=", L"brindle cat"),
              L"\"https://search.example/?q=brindle cat\"");
    EXPECT_EQ(BuildSearchAddress(L"https://search.example/?q=", L""), L"");
    EXPECT_EQ(BuildSearchAddress(L"", L"text"), L"");
    EXPECT_EQ(BuildSearchAddress(nullptr, L"text"), L"");
    EXPECT_EQ(BuildSearchAddress(L"u=", std::wstring(kMaxSearchChars - 1, L'a')).size(), kMaxSearchChars - 1 + 4);
    EXPECT_EQ(BuildSearchAddress(L"u=", std::wstring(kMaxSearchChars, L'a')), L"");
}

TEST(WebSearchRules, ASelectionCannotEndTheQuotedAddressOrBreakItIntoLines)
{
    EXPECT_EQ(BuildSearchAddress(L"u=", L"a\" --flag \"b"), L"\"u=a%22 --flag %22b\"");
    EXPECT_EQ(BuildSearchAddress(L"u=", L"line\r\nnext\ttab"), L"\"u=line%0D%0Anext%09tab\"");
    EXPECT_EQ(BuildSearchAddress(L"u=", L"caf\u00e9 & 100%"), L"\"u=caf\u00e9 & 100%\"");
}
