// The settings dialog and files: the settings file it edits (load on opening,
// save on Apply), profiles imported from and exported to profile files, the
// whole configuration saved under another name, and the switch to another
// settings file.

#include "SetupDialog.h"

#include <lmcons.h>

#include <cwctype>

#include "AppTexts.h"
#include "ApplicationSettings.h"
#include "CaughtException.h"
#include "Control.h"
#include "Debug.h"
#include "DesktopIcons.h"
#include "FileDialog.h"
#include "Folders.h"
#include "LangSupport.h"
#include "Logger.h"
#include "MessageBox.h"
#include "RegularFile.h"
#include "Settings.h"
#include "WaitCursor.h"
#include "resource.h"

namespace
{
// Names of the profile files, built at run time.
std::wstring FileTypeName()
{
    return AppShortName();
}
std::wstring ProfileExtension()
{
    return std::wstring(L"brmp") + L"a";
}
std::wstring SettingsExtension()
{
    return std::wstring(L"brmp") + L"s";
}

std::wstring ProfileFilter(bool withAllFiles)
{
    const std::wstring name = FileTypeName();
    const std::wstring ext = ProfileExtension();
    std::wstring filter = name + L" App/Window (*." + ext + L")|*." + ext + L"|";
    if (withAllFiles)
        filter += L"All Files (*.*)|*.*|";
    return filter + L"|";
}

std::wstring SettingsFilter()
{
    const std::wstring name = FileTypeName();
    const std::wstring ext = SettingsExtension();
    return name + L" Settings (*." + ext + L")|*." + ext + L"|" + name + L"Settings.XML|" + name + L"Settings.XML||";
}

std::wstring SettingsFolder()
{
    wchar_t folder[2048] = {};
    if (::GetSettingsFolder(folder, 2048) != 0)
        return std::wstring();
    return folder;
}

// A pipe's name is no file, and a query of its attributes would connect to it.
bool FileExists(const std::wstring& path)
{
    if (IsDeviceNamespacePath(path.c_str()))
        return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

constexpr int kSaveAttempts = 40;
constexpr DWORD kSaveRetryMs = 50;

// A save failed because another handle holds the file (a read-only file is
// refused with the same error, but for good).
bool IsFileBusy(DWORD error, const std::wstring& path)
{
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION)
        return false;
    if (IsDeviceNamespacePath(path.c_str()))
        return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool SameFile(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}
}

std::wstring CSetupDialog::ExportFileName(const std::wstring& entryText)
{
    std::wstring name = entryText;
    for (wchar_t& c : name)
        if (c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
            c == L'|' || c < L' ')
            c = L'_';
    return name;
}

std::wstring CSetupDialog::WithExtension(const std::wstring& path, const std::wstring& extension)
{
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) &&
        SameFile(path.substr(dot + 1), extension))
        return path;
    return path + L"." + extension;
}

std::wstring CSetupDialog::BaseName(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    return name;
}

bool CSetupDialog::FindSettingsFile(std::wstring& path, bool forSaving)
{
    std::vector<wchar_t> buffer(kMaxPathChars, L'\0');
    // The flag comes in false at every call: the user's own file is looked for first.
    bool isDefault = false;
    const DWORD result = ::GetSettingsFile(buffer.data(), kMaxPathChars, !forSaving, isDefault);
    path = buffer.data();
    if (result != 0)
    {
        CLogger::LogMessage(L"SetupDialog: Settings file '%s' does not exist!", path.c_str());
        return false;
    }
    if (isDefault)
    {
        SetTitle();
        ::SetDlgItemTextW(m_hWnd, IDC_SETUP_PROFILE_FILE, L"Default");
    }
    else
    {
        const std::wstring name = BaseName(path);
        SetTitle(name.c_str());
        ::SetDlgItemTextW(m_hWnd, IDC_SETUP_PROFILE_FILE, name.c_str());
    }
    return true;
}

bool CSetupDialog::LoadSettings()
{
    const DWORD start = ::GetTickCount();
    m_missingSettingsFile = false;
    if (LoadXMLSettings())
    {
        m_remoteDesktopDisable = m_settings->m_bDisableInRDP;
        CLogger::LogDebug(L"Load Settings took %dms", static_cast<int>(::GetTickCount() - start));
        return true;
    }
    CLogger::LogDebug(L"Unable to load XML Settings");
    m_profiles.ResetContent();
    AddProfileEntry(LookupText(m_language, L"Default"), m_settings->GetDefaultApp(), true);
    // A first run has no file yet: Apply offers to write one. A file that
    // exists but cannot be read is not overwritten unless the user changes something.
    if (m_missingSettingsFile)
        EnableApply();
    return false;
}

bool CSetupDialog::LoadXMLSettings()
{
    std::wstring path;
    if (!FindSettingsFile(path, false))
    {
        m_missingSettingsFile = !FileExists(path);
        return false;
    }
    bool regions = false;
    if (!m_settings->Load(path.c_str(), regions, false))
    {
        CLogger::LogMessage(L"SetupDialog: LoadXMLSettings - Error parsing XML file '%s'.", path.c_str());
        ShowMessageBox(LookupText(m_language, L"The XML settings file is corrupt and could not be loaded.\nYou can not "
                                              L"make any changes until this error has been fixed."),
                       MB_OK | MB_ICONERROR, m_hWnd);
        return false;
    }
    FillProfileList(nullptr);
    return true;
}

void CSetupDialog::OrderProfilesAsListed()
{
    const int count = ProfileCount();
    if (count < 1)
        return;
    if (CApplicationSettings* first = ProfileAt(0); first != nullptr)
        m_settings->SetDefaultApp(first);
    m_settings->ClearApplications();
    for (int i = 1; i < count; ++i)
        if (CApplicationSettings* profile = ProfileAt(i); profile != nullptr)
            m_settings->AddApplication(profile);
}

bool CSetupDialog::SaveXMLSettings()
{
    std::wstring path;
    FindSettingsFile(path, true);
    const std::wstring caption = AppProductName() + L" - " + LookupText(m_language, L"Settings");
    try
    {
        OrderProfilesAsListed();
        bool saved = m_settings->Save(path.c_str());
        // Another program may hold the file open for a moment (a backup, a
        // virus scanner, the library still reading the previous Apply): the
        // file cannot be replaced then, so the save is tried again shortly.
        for (int attempt = 1; !saved && attempt < kSaveAttempts && IsFileBusy(::GetLastError(), path); ++attempt)
        {
            ::Sleep(kSaveRetryMs);
            saved = m_settings->Save(path.c_str());
        }
        if (saved)
        {
            ::SavePersistantSettings();
            return true;
        }
        CLogger::LogOSMessage(::GetLastError(), L"Unable to save the settings file.");
        ShowMessageBox(LookupText(m_language, L"Unable to save the settings file") + L" '" + path + L"'.\n" +
                           LookupText(m_language, L"Please check you installation settings."),
                       MB_OK | MB_ICONERROR, m_hWnd, caption.c_str());
    }
    catch (...)
    {
        CLogger::LogMessage(L"Unable to save the settings file");
        ShowMessageBox(LookupText(m_language, L"Unable to save the settings file") + L" '" + path + L"'.\n" +
                           LookupText(m_language, L"Please check you installation settings.") + L"\n" +
                           LookupText(m_language, L"Contact the developer for support."),
                       MB_OK | MB_ICONERROR, m_hWnd, caption.c_str());
    }
    return false;
}

void CSetupDialog::OnImport()
{
    try
    {
        CLogger::LogDebug(L"SetupDialog: OnImport - Opening File Browser");
        FileDialogRequest request;
        request.kind = FileDialogKind::Open;
        request.owner = m_hWnd;
        request.filter = ProfileFilter(true);
        request.defaultExtension = ProfileExtension();
        request.flags = OFN_ENABLESIZING | OFN_NOTESTFILECREATE | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
        std::wstring path;
        if (ShowFileDialog(request, path))
            Import(path);
    }
    catch (...)
    {
        LogCaughtException(L"CSetupDialog::OnImport");
    }
}

int CSetupDialog::Import(const std::wstring& file)
{
    if (HasModalChild())
    {
        CLogger::LogMessage(L"CSetupDialog::Import: '%s' waits until the open window of the settings has closed.",
                            file.c_str());
        m_queued.push_back({QueuedRequest::ImportFile, file});
        return 0;
    }
    ImportNow(file);
    return 0;
}

int CSetupDialog::ImportNow(const std::wstring& file)
{
    struct Reloading
    {
        bool& flag;
        explicit Reloading(bool& f) : flag(f) { flag = true; }
        ~Reloading() { flag = false; }
    } reloading(m_reloading);
    try
    {
        // The copy holds what the screen shows, in the list's order, before
        // the import looks for profiles of the same name.
        if (!StoreTabs())
            return 0;
        OrderProfilesAsListed();
        const int selected = SelectedEntry();
        CApplicationSettings* reselect = selected > 0 ? ProfileAt(selected) : nullptr;
        CApplicationSettings* imported = nullptr;
        const int count = m_settings->Import(file.c_str(), m_hWnd,
                                             LookupText(m_language, L"Do you want to overwrite profile").c_str(), imported);
        if (count <= 0)
        {
            ShowMessageBox(LookupText(m_language, L"The selected file could not be imported."), MB_OK | MB_ICONERROR,
                           m_hWnd);
            // An import that replaced nothing left every profile in place.
            return 0;
        }
        if (imported != nullptr)
            reselect = imported;
        ::LockWindowUpdate(m_profiles.GetSafeHwnd());
        FillProfileList(reselect != nullptr ? reselect : m_settings->GetDefaultApp());
        ::LockWindowUpdate(nullptr);
        if (SelectedEntry() < 0)
            SelectEntry(0);
        m_lastSelection = SelectedEntry();
        PopulateTabs();
        EnableApply();
        ::SetFocus(m_profiles.GetSafeHwnd());
        OnProfileSelChange();
    }
    catch (...)
    {
        LogCaughtException(L"CSetupDialog::Import");
    }
    return 0;
}

void CSetupDialog::OnExport()
{
    OnExportAll(SelectedEntry());
}

void CSetupDialog::OnMenuExportAll()
{
    OnExportAll(-1);
}

bool CSetupDialog::ConfirmOverwrite(const std::wstring& path)
{
    if (!FileExists(path))
        return true;
    return ShowMessageBox(LookupText(m_language, L"The file '%s' already exists.\nDo you want to replace it?",
                                     path.c_str()),
                          MB_YESNO | MB_ICONQUESTION, m_hWnd) == IDYES;
}

bool CSetupDialog::OnExportAll(int entry)
{
    try
    {
        // The file holds what the screen shows; a page that refuses a value is shown instead.
        if (!StoreTabs())
            return false;
        FileDialogRequest request;
        request.kind = FileDialogKind::Save;
        request.owner = m_hWnd;
        request.filter = ProfileFilter(false);
        request.defaultExtension = ProfileExtension();
        request.flags = OFN_ENABLESIZING | OFN_PATHMUSTEXIST;
        if (entry >= 0)
            request.initialFile = ExportFileName(m_profiles.GetText(entry));
        CLogger::LogDebug(L"SetupDialog: Export - Opening File Browser");
        std::wstring path;
        if (!ShowFileDialog(request, path))
            return false;
        path = WithExtension(path, ProfileExtension());
        if (!ConfirmOverwrite(path))
            return false;
        CApplicationSettings* profile = entry >= 1 ? ProfileAt(entry) : nullptr;
        if (entry < 1)
            OrderProfilesAsListed();
        if (m_settings->Export(profile, path.c_str()))
            return true;
        CLogger::LogMessage(L"CSetupDialog::OnExportAll: Unable to export to '%s'.", path.c_str());
        ShowMessageBox(LookupText(m_language, L"Unable to export the profile as '%s'.", path.c_str()),
                       MB_OK | MB_ICONERROR, m_hWnd);
    }
    catch (...)
    {
        LogCaughtException(L"CSetupDialog::OnExportAll");
    }
    return false;
}

void CSetupDialog::OnBnClickedSaveProfile()
{
    try
    {
        // The saved file holds what the screen shows; a page that refuses a value is shown instead.
        if (!StoreTabs())
            return;
        wchar_t user[UNLEN + 1] = {};
        DWORD size = UNLEN + 1;
        if (!::GetUserNameW(user, &size))
            user[0] = L'\0';
        FileDialogRequest request;
        request.kind = FileDialogKind::Save;
        request.owner = m_hWnd;
        request.filter = SettingsFilter();
        request.initialFile = std::wstring(user) + L"'s " + FileTypeName() + L" Settings." + SettingsExtension();
        request.defaultExtension = SettingsExtension();
        request.flags = OFN_ENABLESIZING | OFN_PATHMUSTEXIST;
        request.initialFolder = SettingsFolder();
        request.title = LookupText(m_language, L"Save %s Profile...", AppProductName().c_str());
        CLogger::LogDebug(L"SetupDialog: OnBnClickedSaveProfile - Opening File Browser");
        std::wstring path;
        if (!ShowFileDialog(request, path))
            return;
        path = WithExtension(path, SettingsExtension());
        if (!ConfirmOverwrite(path))
            return;
        SaveProfile(path);
    }
    catch (...)
    {
        LogCaughtException(L"OnBnClickedSaveProfile");
    }
}

bool CSetupDialog::SaveProfile(const std::wstring& path)
{
    CWaitCursor wait;
    OrderProfilesAsListed();
    if (!m_settings->Save(path.c_str()))
    {
        CLogger::LogMessage(L"SetupDialog::SaveProfile - Unable to save file '%s'.", path.c_str());
        ShowMessageBox(LookupText(m_language, L"Unable to save the profile as '%s'.", path.c_str()), MB_OK | MB_ICONERROR,
                       m_hWnd);
        return false;
    }
    // The saved desktop icon layout travels with the copy.
    if (const wchar_t* current = m_settings->GetFilename(); current != nullptr && current[0] != L'\0')
    {
        CIconSettings icons;
        if (icons.LoadIcons(current) > 0)
            icons.SaveIcons(path.c_str());
    }
    return true;
}

void CSetupDialog::OnBnClickedLoadProfile()
{
    try
    {
        FileDialogRequest request;
        request.kind = FileDialogKind::Open;
        request.owner = m_hWnd;
        request.filter = SettingsFilter();
        request.defaultExtension = SettingsExtension();
        request.flags = OFN_ENABLESIZING | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
        request.initialFolder = SettingsFolder();
        request.title = LookupText(m_language, L"Load %s Profile...", AppProductName().c_str());
        CLogger::LogDebug(L"SetupDialog: OnBnClickedLoadProfile - Opening File Browser");
        std::wstring path;
        if (ShowFileDialog(request, path))
            SwitchProfile(path);
    }
    catch (...)
    {
        LogCaughtException(L"OnBnClickedLoadProfile");
    }
}

bool CSetupDialog::SwitchProfile(const std::wstring& file)
{
    if (HasModalChild())
    {
        CLogger::LogMessage(L"SetupDialog::SwitchProfile - '%s' waits until the open window of the settings has closed.",
                            file.c_str());
        m_queued.push_back({QueuedRequest::Switch, file});
        return false;
    }
    return SwitchProfileNow(file);
}

bool CSetupDialog::SwitchProfileNow(const std::wstring& file)
{
    CLogger::LogMessage(L"SetupDialog::SwitchProfile - Switch to '%s'.", file.c_str());
    if (IsApplyEnabled())
    {
        const int answer = ShowMessageBox(
            LookupText(m_language, L"Do you want to save the changes you have made to the current profile?") + L"\n\n" +
                LookupText(m_language, L"Warning: If you say 'No', any changes will be lost!"),
            MB_YESNOCANCEL | MB_ICONQUESTION, m_hWnd);
        if (answer == IDCANCEL)
            return false;
        if (answer == IDYES)
        {
            CWaitCursor wait;
            CLogger::LogMessage(L"Applying changes to %s profile '%s'...", AppProductName().c_str(),
                                m_settings->GetFilename() != nullptr ? m_settings->GetFilename() : L"");
            // A page that refuses a value, or a failed save, keeps the dialog
            // on the edits it could not write.
            if (!StoreTabs() || !Save())
                return false;
            ::EnableWindow(GetDlgItem(IDOK), FALSE);
            ::SetDebug(m_settings->m_bDebugging, L"switch profile");
            ::UpdateSettings();
            m_remoteDesktopDisable = m_settings->m_bDisableInRDP;
        }
        else
        {
            CLogger::LogMessage(L"SetupDialog::SwitchProfile - User chose not to save changes to the current profile!");
        }
    }

    auto next = std::make_unique<CSettings>(m_quillon, ::GetStartupMouseInfo());
    bool regions = false;
    if (!next->Load(file.c_str(), regions, false))
    {
        CLogger::LogMessage(L"SetupDialog::SwitchProfile - Unable to load profile '%s'.", file.c_str());
        ShowMessageBox(LookupText(m_language, L"Unable to load the profile '%s'.", file.c_str()), MB_OK | MB_ICONERROR,
                       m_hWnd);
        return false;
    }
    if (const DWORD result = ::SetSettingsFile(file.c_str()); result != 0)
    {
        CLogger::LogMessage(L"SetupDialog::SwitchProfile - Unable to use '%s' as the settings file (error %u).",
                            file.c_str(), static_cast<unsigned>(result));
        ShowMessageBox(LookupText(m_language, L"Unable to load the profile '%s'.", file.c_str()), MB_OK | MB_ICONERROR,
                       m_hWnd);
        return false;
    }

    struct Reloading
    {
        bool& flag;
        explicit Reloading(bool& f) : flag(f) { flag = true; }
        ~Reloading() { flag = false; }
    } reloading(m_reloading);
    try
    {
        const bool debug = m_settings->m_bDebugging;
        std::unique_ptr<CSettings> previous = std::exchange(m_settings, std::move(next));
        m_settings->m_bDebugging = debug;
        ::EnableWindow(GetDlgItem(IDOK), FALSE);
        std::vector<wchar_t> defaultFile(kMaxPathChars, L'\0');
        if (::GetDefaultSettingsFile(defaultFile.data(), kMaxPathChars) != 0 || !SameFile(file, defaultFile.data()))
        {
            const std::wstring name = BaseName(file);
            SetTitle(name.c_str());
            ::SetDlgItemTextW(m_hWnd, IDC_SETUP_PROFILE_FILE, name.c_str());
        }
        else
        {
            SetTitle();
            ::SetDlgItemTextW(m_hWnd, IDC_SETUP_PROFILE_FILE, L"Default");
        }
        m_initialSelection = 0;
        // Every page points at the new copy before the old one goes.
        ReloadAll();
        previous.reset();
        ::UpdateSettings();
        ::SetDebug(m_settings->m_bDebugging, L"switch profile");
        if (m_parent != nullptr)
            m_parent->PostMessage(::RegisterWindowMessageW(L"BRMP_UpdateIcon"), 0, 0);
        ::SavePersistantSettings();
        return true;
    }
    catch (...)
    {
        CLogger::LogMessage(L"SetupDialog::SwitchProfile - An error occurred while switching profiles. Closing the window.");
        ShowMessageBox(LookupText(m_language, L"Unable to load the profile '%s'.", file.c_str()), MB_OK | MB_ICONERROR,
                       m_hWnd);
        EndDialog(IDCANCEL);
    }
    return false;
}

void CSetupDialog::ReloadAll()
{
    for (auto& page : m_layerTabs)
        if (page)
            page->SetSettings(m_settings.get());
    if (m_scrollingTab)
        m_scrollingTab->SetSettings(m_settings.get());
    if (m_optionsTab)
        m_optionsTab->SetSettings(m_settings.get());

    // The list first: new pages are filled from its selection.
    FillProfileList(m_settings->GetDefaultApp());
    m_lastSelection = 0;

    RebuildTabItems();
    ::LockWindowUpdate(nullptr);
    m_tabs.ResizePages();
    m_tabs.ActivatePage(0);
    OnProfileSelChange();
    PopulateTabs();
}
