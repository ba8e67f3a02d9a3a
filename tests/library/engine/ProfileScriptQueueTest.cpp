// The change script of a profile runs from the simulated-input queue, after
// the switch that asked for it. By then a reload may have freed the profile
// and put a new one at its address: the new profile's script must not run for
// a switch to the old one.

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "EngineTestSupport.h"
#include "EngineTokenServices.h"
#include "Globals.h"
#include "ProcessLaunch.h"
#include "SendInput.h"
#include "Settings.h"
#include "ThreadLock.h"

namespace
{
std::mutex g_launchMutex;
std::vector<std::wstring> g_launched;

BOOL RecordLaunch(SHELLEXECUTEINFOW* info)
{
    std::lock_guard<std::mutex> guard(g_launchMutex);
    g_launched.push_back(info->lpFile != nullptr ? info->lpFile : L"");
    return TRUE;
}

std::vector<std::wstring> Launched()
{
    std::lock_guard<std::mutex> guard(g_launchMutex);
    return g_launched;
}

CApplicationSettings* ScriptedProfile(int index, const wchar_t* script)
{
    auto* profile = new CApplicationSettings(g_pSettings, false, index);
    profile->SetApplication(L"scripttest.exe");
    profile->SetProfileChangeScript(script);
    profile->EnableProfileScript(true);
    return profile;
}
} // namespace

TEST(ProfileScriptQueue, AQueuedSwitchToAProfileThatWasReplacedAtTheSameAddressRunsNoScript)
{
    {
        std::lock_guard<std::mutex> guard(g_launchMutex);
        g_launched.clear();
    }
    const ShellExecuteFunction realShell = SetShellExecuteFunction(RecordLaunch);
    CApplicationSettings* from = ScriptedProfile(90, L"from.cmd");
    CApplicationSettings* to = ScriptedProfile(91, L"to.cmd");
    CApplicationSettings* other = ScriptedProfile(92, L"other.cmd");
    for (CApplicationSettings* profile : {from, to, other})
        ASSERT_TRUE(g_pSettings->AddApplication(profile));

    CSendInput queue(nullptr, &EngineTokenServices());
    ASSERT_TRUE(queue.Start());
    {
        // The queue runs the script under the global lock: it waits here until
        // the reload is done.
        CThreadLock lock(L"ProfileScriptQueueTest");
        ASSERT_TRUE(queue.SendProfileAction(from, to, 0));
        queue.SignalQueue();
        // The reload frees the profile; a new one happens to take its memory.
        to->~CApplicationSettings();
        new (to) CApplicationSettings(g_pSettings, false, 91);
        to->SetApplication(L"scripttest.exe");
        to->SetProfileChangeScript(L"reused.cmd");
        to->EnableProfileScript(true);
        // A later switch to a live profile: once its script has run, the
        // queue has dealt with the first one.
        ASSERT_TRUE(queue.SendProfileAction(from, other, 0));
        queue.SignalQueue();
    }
    EXPECT_TRUE(enginetest::WaitFor([] {
        const std::vector<std::wstring> launched = Launched();
        return !launched.empty() && launched.back() == L"other.cmd";
    }));
    EXPECT_EQ(Launched(), std::vector<std::wstring>{L"other.cmd"});

    queue.Stop();
    for (CApplicationSettings* profile : {from, to, other})
    {
        g_pSettings->RemoveApplication(profile);
        delete profile;
    }
    SetShellExecuteFunction(realShell);
}
