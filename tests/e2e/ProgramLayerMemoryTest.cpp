// "Remember current layer when restarting" across a real restart of the
// program: a portable copy switches to layer 2 on a later start's command,
// ends on another's or with the session, and starts again on layer 2. The
// layer shows in what the middle button types into a probe window.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "WaitFor.h"

using brmptest::PhysicalInput;
using brmptest::Probe;
using programtest::ProgramCopy;

namespace
{
class ProgramLayerMemory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_program.Prepare());
        // The middle button types the layer's letter: "a" on layer 1, "b" on layer 2.
        CSettings settings(false, GetStartupMouseInfo());
        settings.m_bPersistLayer = true;
        CApplicationSettings* profile = settings.GetDefaultApp();
        for (int layer = 0; layer < 2; ++layer)
        {
            const wchar_t keys[2] = {static_cast<wchar_t>(L'a' + layer), L'\0'};
            profile->SetActions(Middle, layer, ACTION_SIMULATED_KEYS);
            profile->SetKeystrokes(Middle, layer, keys, 0, 0, false, true, false, false);
        }
        ASSERT_TRUE(m_program.WriteSettings(settings));
        ASSERT_TRUE(m_probe.Start());
    }

    // On the test's desktop, or on another one (where the test sees no window of it).
    void StartProgram(const wchar_t* desktop = nullptr)
    {
        ASSERT_TRUE(m_program.Start(L"/debug", desktop));
        ASSERT_TRUE(m_program.WaitForLog("Successfully created the main message window.")) << m_program.Log();
        if (desktop == nullptr)
        {
            ASSERT_NE(m_program.WaitForMainWindow(), nullptr) << m_program.Log();
        }
    }

    // What a middle click in the probe typed ("M" when the click arrived as it is).
    std::wstring MiddleClickInProbe()
    {
        return programtest::MiddleClickInProbe(m_probe);
    }

    ProgramCopy m_program{L"brmp-layermemory"};
    Probe m_probe;
};

// Wine's end of the session on one desktop: every program with a window there
// is asked, told and then ended; true once that is done.
bool EndSessionOn(const std::wstring& desktop)
{
    wchar_t line[] = L"wineboot.exe --end-session";
    std::wstring desktopName = desktop;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.lpDesktop = desktopName.data();
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(L"C:\\windows\\system32\\wineboot.exe", line, nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info))
        return false;
    const bool ended = ::WaitForSingleObject(info.hProcess, programtest::kEndTimeoutMs) == WAIT_OBJECT_0;
    if (!ended)
        ::TerminateProcess(info.hProcess, 1);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return ended;
}

bool DesktopExists(const std::wstring& name)
{
    const HDESK desktop = ::OpenDesktopW(name.c_str(), 0, FALSE, DESKTOP_ENUMERATE);
    if (desktop != nullptr)
        ::CloseDesktop(desktop);
    return desktop != nullptr;
}
} // namespace

TEST_F(ProgramLayerMemory, TheLayerInForceAtExitIsInForceAfterTheNextStart)
{
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    // With "/debug" again: a later start without it would switch debug logging off.
    ASSERT_TRUE(m_program.StartLater(L"/debug /layer:2"));
    ASSERT_TRUE(m_program.WaitForLog("Setting current layer to 1.")) << m_program.Log();
    ASSERT_EQ(MiddleClickInProbe(), L"b") << m_program.Log();

    ASSERT_TRUE(m_program.StartLater(L"/exit"));
    ASSERT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.Log();
    m_program.Stop();

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(MiddleClickInProbe(), L"b") << "the layer was forgotten\n" << m_program.Log();
    ASSERT_TRUE(m_program.StartLater(L"/exit"));
    EXPECT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.Log();
}

TEST_F(ProgramLayerMemory, TheLayerInForceWhenTheSessionEndsIsInForceAfterTheNextStart)
{
    // The session ends on a desktop of the program's own. Wine asks, tells
    // and then ends every program with a window on the desktop it ends: on the
    // shared one that would be the probe, other suites' programs, and this
    // test, whose waiting thread could not answer.
    const std::wstring desktop = L"brmp-session-end-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_NO_FATAL_FAILURE(StartProgram(desktop.c_str()));
    ASSERT_TRUE(m_program.StartLater(L"/debug /layer:2"));
    ASSERT_TRUE(m_program.WaitForLog("Setting current layer to 1.")) << m_program.Log();

    ASSERT_TRUE(EndSessionOn(desktop));
    ASSERT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.Log();
    EXPECT_TRUE(m_program.LogHas("The session is ending.")) << m_program.LogTail();
    m_program.Stop();
    // Its desktop goes once nothing is left on it, and with it the windows
    // Wine's shell showed there on the same X screen.
    EXPECT_TRUE(brmptest::WaitFor([&] { return !DesktopExists(desktop); }, programtest::kEndTimeoutMs));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(MiddleClickInProbe(), L"b") << "the layer was forgotten\n" << m_program.Log();
    ASSERT_TRUE(m_program.StartLater(L"/exit"));
    EXPECT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.Log();
}
