// The settings dialog's own file buttons and its profile buttons on the real
// program, driven as a user drives them: the system's file dialogs answered by
// typing a path, the Choose Application dialog and the window finder filled in
// and confirmed; what was written or read is checked in the files and the list.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "MouseInfo.h"
#include "ProfilesIds.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "TempFolder.h"
#include "WaitFor.h"

using brmptest::WaitFor;
using namespace setuptest;

namespace
{
CApplicationSettings* AddProfile(CSettings& settings, const wchar_t* application, const wchar_t* description)
{
    auto* profile = new CApplicationSettings(&settings, false, -1);
    profile->SetApplication(application);
    profile->SetDescription(description);
    profile->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
    profile->SetKeystrokes(Middle, 0, L"q", 0, 0, false, true, false, false);
    settings.AddApplication(profile);
    return profile;
}

std::wstring Text(const wchar_t* text)
{
    return text != nullptr ? text : L"(none)";
}

// The profiles a file holds, as an import into empty settings finds them.
std::wstring ApplicationsIn(const std::wstring& file)
{
    CSettings settings(false, GetStartupMouseInfo());
    CApplicationSettings* last = nullptr;
    if (settings.Import(file.c_str(), nullptr, L"", last) <= 0)
        return L"(nothing imported)";
    std::wstring names;
    for (int i = 0; i < settings.GetApplicationCount(); ++i)
        names += std::wstring(settings.GetApplication(i)->GetApplication()) + L";";
    return names;
}

// A visible message box of the process that says text.
HWND BoxSaying(DWORD processId, const std::wstring& text)
{
    struct Search
    {
        DWORD pid;
        const std::wstring* text;
        HWND found = nullptr;
    } search{processId, &text};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            if (pid != s->pid || !::IsWindowVisible(window))
                return TRUE;
            for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
            {
                if (TextOf(child).find(*s->text) != std::wstring::npos)
                {
                    s->found = window;
                    return FALSE;
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class SetupDialogRoads : public SetupDialogTest
{
protected:
    SetupDialogRoads() : SetupDialogTest(L"brmp-setup-roads") {}

    void Prepare(CSettings& settings) override { AddProfile(settings, L"brmpprobe.exe", L"Probe"); }

    int Entries() const
    {
        return static_cast<int>(::SendMessageW(::GetDlgItem(m_dialog, IDC_SETUP_PROFILES), LB_GETCOUNT, 0, 0));
    }
    std::wstring EntryText(int entry) const
    {
        const HWND list = ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES);
        const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(entry), 0);
        if (length < 0 || length > 255)
            return L"(no entry)";
        wchar_t text[256] = {};
        ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(entry), reinterpret_cast<LPARAM>(text));
        return text;
    }

    // Presses a button (or a menu command) that opens a file dialog and answers it with path.
    void ChooseFile(int command, const std::wstring& path, bool menu = false)
    {
        if (menu)
            ::PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        else
            Click(m_dialog, command);
        const HWND files = WaitForMessageBox(m_program.ProcessId());
        ASSERT_NE(files, nullptr) << programtest::DescribeWindows();
        ASSERT_TRUE(AnswerFileDialog(files, path));
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(files); }, kDialogTimeoutMs)) << programtest::DescribeWindows();
    }

    // The Choose Application dialog that a profile button opened.
    HWND Picker() { return WaitForDialogTitled(m_program.ProcessId(), L"Choose Application"); }

    brmptest::TempFolder m_files{L"brmp-setup-roads-files"};
};
}

TEST_F(SetupDialogRoads, ExportSaveImportAndLoadWriteAndReadTheFilesTheUserNames)
{
    // Export: the selected profile alone.
    ASSERT_TRUE(SelectProfileByClick(1));
    const std::wstring exported = m_files.PathOf(L"probe.brmpa");
    ASSERT_NO_FATAL_FAILURE(ChooseFile(IDC_SETUP_EXPORT, exported));
    ASSERT_TRUE(WaitFor([&] { return brmptest::ReadFileBytes(exported).has_value(); }, kDialogTimeoutMs));
    EXPECT_EQ(ApplicationsIn(exported), L"brmpprobe.exe;");

    // Export All from the list's menu: every profile.
    const std::wstring all = m_files.PathOf(L"all.brmpa");
    ASSERT_NO_FATAL_FAILURE(ChooseFile(ID_PROFILE_EXPORT_ALL, all, true));
    ASSERT_TRUE(WaitFor([&] { return brmptest::ReadFileBytes(all).has_value(); }, kDialogTimeoutMs));
    EXPECT_NE(ApplicationsIn(all).find(L"brmpprobe.exe;"), std::wstring::npos) << ApplicationsIn(all);

    // Save Profile: a whole settings file elsewhere; the dialog stays on its own file.
    const std::wstring fileShown = TextOf(m_dialog, IDC_SETUP_PROFILE_FILE);
    const std::wstring copy = m_files.PathOf(L"copy.brmps");
    ASSERT_NO_FATAL_FAILURE(ChooseFile(IDC_SETUP_SAVE_PROFILE, copy));
    ASSERT_TRUE(WaitFor([&] { return brmptest::ReadFileBytes(copy).has_value(); }, kDialogTimeoutMs))
        << m_program.Log() << programtest::DescribeWindows();
    {
        CSettings saved(false, GetStartupMouseInfo());
        bool regions = false;
        ASSERT_TRUE(saved.Load(copy.c_str(), regions, false));
        ASSERT_EQ(saved.GetApplicationCount(), 1);
        EXPECT_EQ(std::wstring(saved.GetApplication(0)->GetApplication()), L"brmpprobe.exe");
    }
    EXPECT_EQ(TextOf(m_dialog, IDC_SETUP_PROFILE_FILE), fileShown);

    // Import: a profile file from elsewhere joins the list and reaches the file with Apply.
    const std::wstring other = m_files.PathOf(L"other.brmpa");
    {
        CSettings source(false, GetStartupMouseInfo());
        ASSERT_TRUE(source.Export(AddProfile(source, L"other.exe", L"Other"), other.c_str()));
    }
    ASSERT_NO_FATAL_FAILURE(ChooseFile(IDC_SETUP_IMPORT, other));
    ASSERT_TRUE(WaitFor([&] { return Entries() == 3; }, kDialogTimeoutMs)) << m_program.Log();
    Apply();
    const std::unique_ptr<CSettings> applied = Saved();
    ASSERT_NE(applied, nullptr);
    EXPECT_NE(applied->GetApplication(L"other.exe"), nullptr);

    // Load Profile: another settings file takes the dialog over.
    const std::wstring second = m_files.PathOf(L"Second.brmps");
    {
        CSettings source(false, GetStartupMouseInfo());
        source.m_bNotifications = false;
        AddProfile(source, L"second.exe", L"Second");
        ASSERT_TRUE(source.Save(second.c_str()));
    }
    ASSERT_NO_FATAL_FAILURE(ChooseFile(IDC_SETUP_LOAD_PROFILE, second));
    EXPECT_TRUE(WaitFor([&] { return Entries() == 2 && EntryText(1) == L"Second"; }, kDialogTimeoutMs))
        << m_program.Log();
    EXPECT_NE(TextOf(m_dialog, IDC_SETUP_PROFILE_FILE).find(L"Second"), std::wstring::npos)
        << TextOf(m_dialog, IDC_SETUP_PROFILE_FILE).c_str();
    programtest::SaveScreenshot(L"setup-dialog-loaded-profile.png");
}

TEST_F(SetupDialogRoads, CopyEditAndAWindowProfileGoThroughTheApplicationPicker)
{
    // Copy: the picker names the copy, which keeps the profile's actions.
    ASSERT_TRUE(SelectProfileByClick(1));
    Click(m_dialog, IDC_SETUP_COPY);
    HWND picker = Picker();
    ASSERT_NE(picker, nullptr) << programtest::DescribeWindows();
    programtest::SaveScreenshot(L"setup-dialog-copy-picker.png");
    ::SetDlgItemTextW(picker, IDC_APP_APPLICATION, L"copied.exe");
    ::SetDlgItemTextW(picker, IDC_APP_DESCRIPTION, L"Copied");
    Click(picker, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(picker); }, kDialogTimeoutMs));
    ASSERT_TRUE(WaitFor([&] { return Entries() == 3; }, kDialogTimeoutMs));

    // Edit: the picker shows the profile and takes a new description.
    const int copied = EntryText(1) == L"Copied" ? 1 : 2;
    ASSERT_EQ(EntryText(copied), L"Copied");
    ASSERT_TRUE(SelectProfileByClick(copied));
    Click(m_dialog, IDC_SETUP_EDIT);
    picker = Picker();
    ASSERT_NE(picker, nullptr) << programtest::DescribeWindows();
    EXPECT_EQ(TextOf(picker, IDC_APP_APPLICATION), L"copied.exe");
    ::SetDlgItemTextW(picker, IDC_APP_DESCRIPTION, L"Edited");
    Click(picker, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(picker); }, kDialogTimeoutMs));
    EXPECT_TRUE(WaitFor([&] { return EntryText(copied) == L"Edited"; }, kDialogTimeoutMs));

    // A specific window: the finder with nothing to match is refused and the picker stays.
    Click(m_dialog, IDC_SETUP_ADD);
    picker = Picker();
    ASSERT_NE(picker, nullptr) << programtest::DescribeWindows();
    Click(picker, IDC_APP_SPECIFIC_WINDOW);
    HWND finder = WaitForDialogTitled(m_program.ProcessId(), L"Find Window");
    ASSERT_NE(finder, nullptr) << programtest::DescribeWindows();
    Click(finder, IDOK);
    HWND refused = nullptr;
    EXPECT_TRUE(WaitFor([&] {
        return (refused = BoxSaying(m_program.ProcessId(), L"The specified window configuration is invalid!")) != nullptr;
    }, kDialogTimeoutMs)) << programtest::DescribeWindows();
    programtest::SaveScreenshot(L"setup-dialog-invalid-window.png");
    ASSERT_NE(refused, nullptr);
    Answer(refused, IDOK);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindow(picker) && ::IsWindowEnabled(picker); }, kDialogTimeoutMs));

    // A class and a ticked caption make a W3 window profile, a class alone a W2
    // one: the picker closes with the key at once.
    const auto windowProfile = [&](const wchar_t* className, const wchar_t* caption) {
        if (!::IsWindow(picker))
        {
            Click(m_dialog, IDC_SETUP_ADD);
            picker = Picker();
        }
        ASSERT_NE(picker, nullptr) << programtest::DescribeWindows();
        const int before = Entries();
        Click(picker, IDC_APP_SPECIFIC_WINDOW);
        const HWND found = WaitForDialogTitled(m_program.ProcessId(), L"Find Window");
        ASSERT_NE(found, nullptr) << programtest::DescribeWindows();
        ::SetDlgItemTextW(found, IDC_FIND_PROCESS, L"notepad.exe");
        ::SetDlgItemTextW(found, IDC_FIND_CLASS, className);
        if (caption != nullptr)
        {
            ::SetDlgItemTextW(found, IDC_FIND_CAPTION, caption);
            Click(found, IDC_FIND_CAPTION_CHECK);
        }
        Click(found, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(found) && !::IsWindow(picker); }, kDialogTimeoutMs))
            << programtest::DescribeWindows();
        ASSERT_TRUE(WaitFor([&] { return Entries() == before + 1; }, kDialogTimeoutMs));
    };
    ASSERT_NO_FATAL_FAILURE(windowProfile(L"Notepad", L"Untitled"));
    ASSERT_NO_FATAL_FAILURE(windowProfile(L"Edit", nullptr));
    Apply();
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    const CApplicationSettings* copy = saved->GetApplication(L"copied.exe");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetActions(Middle, 0), ACTION_SIMULATED_KEYS) << "the copy keeps the profile's actions";
    EXPECT_EQ(Text(copy->GetKeystrokes(Middle, 0)), L"q");
    std::wstring windows;
    for (int i = 0; i < saved->GetApplicationCount(); ++i)
        if (saved->GetApplication(i)->IsCustomWindow())
            windows += Text(saved->GetApplication(i)->GetFullName()) + L"\n";
    EXPECT_EQ(windows, L"W3:Untitled \\;| notepad.exe \\;| Notepad \\;| *\n"
                       L"W2:notepad.exe \\;| Edit \\;| *\n");
}
