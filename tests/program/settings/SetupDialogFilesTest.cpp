// The settings dialog of the real program and its files: a profile imported
// while the dialog is open reaches the settings file and the running hooks
// after Apply; a save that fails loses nothing; a switch to another settings
// file takes the dialog and the library along, and a file that cannot be
// loaded is refused.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "TempFolder.h"
#include "WaitFor.h"

using brmptest::PhysicalInput;
using brmptest::Probe;
using brmptest::ProbeOptions;
using brmptest::WaitFor;
using namespace setuptest;

namespace
{
// Settings whose one profile makes the probe's middle button type key.
std::unique_ptr<CSettings> ProbeProfileSettings(const wchar_t* key, const wchar_t* description)
{
    auto settings = std::make_unique<CSettings>(false, GetStartupMouseInfo());
    settings->m_bNotifications = false;
    auto* profile = new CApplicationSettings(settings.get(), false, -1);
    profile->SetApplication(L"brmpprobe.exe");
    profile->SetDescription(description);
    profile->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
    profile->SetKeystrokes(Middle, 0, key, 0, 0, false, true, false, false);
    settings->AddApplication(profile);
    return settings;
}

class SetupDialogFiles : public SetupDialogTest
{
protected:
    SetupDialogFiles() : SetupDialogTest(L"brmp-setup-files") {}

    int ProfileEntries() const
    {
        return static_cast<int>(::SendMessageW(::GetDlgItem(m_dialog, IDC_SETUP_PROFILES), LB_GETCOUNT, 0, 0));
    }

    // Imports a profile file through a later start, as a user's double click on it would.
    void ImportProbeProfile(const wchar_t* key)
    {
        const std::wstring file = m_files.PathOf(L"probe.brmpa");
        auto source = ProbeProfileSettings(key, L"Probe");
        ASSERT_TRUE(source->Export(source->GetApplication(0), file.c_str()));
        ASSERT_TRUE(m_program.StartLater(L"/import:\"" + file + L"\""));
        ASSERT_TRUE(WaitFor([&] { return ProfileEntries() == 2; }, kDialogTimeoutMs)) << m_program.Log();
        ASSERT_TRUE(IsEnabled(m_dialog, IDOK));
    }

    // A probe below the dialog, not under it: a click meant for the probe
    // must not depend on which of the two the X server has on top.
    static ProbeOptions BelowTheDialog()
    {
        ProbeOptions options;
        options.rect = RECT{40, 800, 1240, 990};
        return options;
    }

    // What a middle click in the probe gives: the keys it typed, or "M" for the click itself.
    std::wstring MiddleClickInProbe(Probe& probe) { return programtest::MiddleClickInProbe(probe, m_clicks++ % 2 ? 7 : -7); }

    brmptest::TempFolder m_files{L"brmp-setup-profiles"};
    int m_clicks = 0;
};
}

TEST_F(SetupDialogFiles, AnImportedProfileIsWrittenByApplyAndRemapsTheProbe)
{
    Probe probe(BelowTheDialog());
    ASSERT_TRUE(probe.Start());
    EXPECT_EQ(MiddleClickInProbe(probe), L"M");

    ImportProbeProfile(L"q");
    programtest::SaveScreenshot(L"setup-dialog-imported.png");
    // Nothing reaches the file or the hooks before Apply.
    EXPECT_EQ(brmptest::ReadFileBytes(SettingsFile()).value_or("").find("brmpprobe.exe"), std::string::npos);

    Apply();
    EXPECT_NE(brmptest::ReadFileBytes(SettingsFile()).value_or("").find("brmpprobe.exe"), std::string::npos);
    EXPECT_EQ(MiddleClickInProbe(probe), L"q");
}

TEST_F(SetupDialogFiles, ClosingWithUnsavedChangesAsksAndAFailedSaveKeepsTheDialogAndTheFile)
{
    ImportProbeProfile(L"q");
    const std::string before = brmptest::ReadFileBytes(SettingsFile()).value_or("");
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(::SetFileAttributesW(SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY));

    std::wstring text;
    Click(m_dialog, IDCANCEL);
    HWND question = WaitForMessageBox(m_program.ProcessId(), &text);
    ASSERT_NE(question, nullptr);
    EXPECT_NE(text.find(L"Do you want to save the changes"), std::wstring::npos) << text.c_str();
    Answer(question, IDYES);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(question); }, kDialogTimeoutMs));

    HWND failure = WaitForMessageBox(m_program.ProcessId(), &text);
    ASSERT_NE(failure, nullptr);
    EXPECT_NE(text.find(L"Unable to save the settings file"), std::wstring::npos) << text.c_str();
    programtest::SaveScreenshot(L"setup-dialog-save-failed.png");
    Answer(failure, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(failure); }, kDialogTimeoutMs));

    // The edits stay on screen, unsaved; the file is as it was.
    EXPECT_TRUE(::IsWindow(m_dialog));
    EXPECT_TRUE(IsEnabled(m_dialog, IDOK));
    EXPECT_EQ(ProfileEntries(), 2);
    EXPECT_EQ(brmptest::ReadFileBytes(SettingsFile()).value_or(""), before);

    // "No" closes without saving.
    ::SetFileAttributesW(SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    Click(m_dialog, IDCANCEL);
    question = WaitForMessageBox(m_program.ProcessId(), &text);
    ASSERT_NE(question, nullptr);
    Answer(question, IDNO);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(m_dialog); }, kDialogTimeoutMs));
    EXPECT_EQ(brmptest::ReadFileBytes(SettingsFile()).value_or(""), before);
}

TEST_F(SetupDialogFiles, ASwitchOfSettingsFileTakesTheDialogAndTheLibraryAlong)
{
    const std::wstring title = TextOf(m_dialog);
    struct Refused
    {
        const char* name;
        std::wstring file;
    };
    ASSERT_TRUE(brmptest::WriteFileBytes(m_files.PathOf(L"Broken.brmps"), "<root><version major=\"2\""));
    const Refused refused[] = {{"a missing file", m_files.PathOf(L"Missing.brmps")},
                               {"a file that cannot be parsed", m_files.PathOf(L"Broken.brmps")}};
    for (const Refused& r : refused)
    {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(m_program.StartLater(L"/profile:\"" + r.file + L"\""));
        std::wstring text;
        HWND box = WaitForMessageBox(m_program.ProcessId(), &text);
        ASSERT_NE(box, nullptr);
        EXPECT_NE(text.find(L"Unable to load the profile"), std::wstring::npos) << text.c_str();
        Answer(box, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); }, kDialogTimeoutMs));
        EXPECT_EQ(TextOf(m_dialog), title);
        EXPECT_EQ(TextOf(m_dialog, IDC_SETUP_PROFILE_FILE), L"Default");
    }

    Probe probe(BelowTheDialog());
    ASSERT_TRUE(probe.Start());
    const std::wstring other = m_files.PathOf(L"other.brmps");
    // A later start hands its command line over in lower case.
    ASSERT_TRUE(ProbeProfileSettings(L"w", L"Other probe")->Save(other.c_str()));
    ASSERT_TRUE(m_program.StartLater(L"/profile:\"" + other + L"\""));
    ASSERT_TRUE(WaitFor([&] { return TextOf(m_dialog, IDC_SETUP_PROFILE_FILE) == L"other"; }, kDialogTimeoutMs))
        << m_program.Log();
    EXPECT_EQ(TextOf(m_dialog), title + L" (other)");
    EXPECT_EQ(ProfileEntries(), 2);
    EXPECT_FALSE(IsEnabled(m_dialog, IDOK));
    EXPECT_EQ(MiddleClickInProbe(probe), L"w");
}
