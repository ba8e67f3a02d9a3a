// A portable copy often runs from a folder that anyone can write to. A file
// there named like a system library must never be loaded into the program,
// which holds hooks on every mouse and keyboard event: the planted library
// leaves a marker file beside itself the moment it is loaded.

#include <gtest/gtest.h>

#include <windows.h>
#include <wtsapi32.h>

#include <string>

#include "Control.h"
#include "MouseInfo.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "WaitFor.h"

namespace
{
// The system libraries the program loads at run time, in the letter cases its
// code has used. Not "Shcore.dll": Wine's own shell libraries import it, and
// Wine resolves their imports through the program's folder before any code of
// the program runs (Windows takes it, one of its known libraries, from the
// system folder only).
const wchar_t* const kPlantedNames[] = {L"SAS.dll", L"Wtsapi32.dll", L"UXTHEME.DLL"};

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The program copy with the planted libraries beside it, started in its own
// folder, which is then the current folder as well.
void StartBesidePlanted(programtest::ProgramCopy& program, HWND& window)
{
    const std::wstring planted = brmptest::ExecutableFolder() + L"PlantedLibrary.dll";
    ASSERT_TRUE(Exists(planted)) << "PlantedLibrary.dll is missing beside the tests";
    for (const wchar_t* name : kPlantedNames)
        ASSERT_TRUE(::CopyFileW(planted.c_str(), program.Folder().PathOf(name).c_str(), FALSE));
    CSettings settings(false, GetStartupMouseInfo());
    ASSERT_TRUE(program.WriteSettings(settings));
    ASSERT_TRUE(program.Start(L"/debug"));
    ASSERT_TRUE(program.WaitForLog("Successfully created the main message window.")) << program.Log();
    window = program.WaitForMainWindow();
    ASSERT_NE(window, nullptr) << program.Log();
}

void ExpectNoneLoaded(const programtest::ProgramCopy& program)
{
    for (const wchar_t* name : kPlantedNames)
        EXPECT_FALSE(Exists(program.Folder().PathOf(name) + L".loaded"))
            << "the planted " << testing::PrintToString(std::wstring(name)) << " was loaded";
}
}

TEST(PlantedLibraries, NoneIsLoadedAtStartUpOrBySessionChanges)
{
    programtest::ProgramCopy program(L"brmp-planted");
    ASSERT_TRUE(program.Prepare());
    // The hook thread looks for the secure attention sequence at once, through
    // the same object as the action that sends it (which no test may run:
    // Wine's SendSAS is not implemented and ends the process); the main window
    // registers for session changes.
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartBesidePlanted(program, window));
    EXPECT_TRUE(program.LogHas("Successfully created the mouse hook thread.")) << program.Log();
    EXPECT_TRUE(program.LogHas("Registered to recieve WTS Session Notifications.")) << program.Log();

    ::PostMessageW(window, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
    ::PostMessageW(window, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    EXPECT_TRUE(program.WaitForLog("Session State: Unlocking workstation.")) << program.Log();

    ExpectNoneLoaded(program);

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.Ended(programtest::kEndTimeoutMs)) << program.Log();
    EXPECT_EQ(program.ExitCode(), 0u) << program.Log();
    ExpectNoneLoaded(program);
}

TEST(PlantedLibraries, NoneIsLoadedByTheSettingsDialogsThemedButtonsAndPages)
{
    programtest::ProgramCopy program(L"brmp-planted");
    ASSERT_TRUE(program.Prepare());
    HWND window = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartBesidePlanted(program, window));

    programtest::ProgramProcess later;
    ASSERT_TRUE(later.Start(program.ExePath(), program.Folder().Path(), L"/setup"));
    HWND dialog = nullptr;
    EXPECT_TRUE(brmptest::WaitFor(
        [&] {
            dialog = programtest::FindWindowOfClass(L"#32770", true);
            return dialog != nullptr && programtest::WindowTextOf(dialog).rfind(L"Brindlemap - Setup", 0) == 0;
        },
        programtest::kStartTimeoutMs))
        << programtest::DescribeWindows() << program.Log();
    EXPECT_TRUE(programtest::SaveScreenshot(L"planted-settings.png"));
    ExpectNoneLoaded(program);

    programtest::ProgramProcess exit;
    ASSERT_TRUE(exit.Start(program.ExePath(), program.Folder().Path(), L"/exit"));
    EXPECT_TRUE(program.Ended(programtest::kEndTimeoutMs)) << program.Log();
    ExpectNoneLoaded(program);
}
