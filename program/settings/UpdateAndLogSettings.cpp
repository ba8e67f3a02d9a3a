#include "UpdateAndLogSettings.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "AppTexts.h"
#include "DataExchange.h"
#include "Folders.h"
#include "GlobalSettingsIds.h"
#include "LangSupport.h"
#include "Settings.h"

namespace
{
constexpr std::size_t kPathChars = 4096;

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM start)
{
    if (message == BFFM_INITIALIZED && start != 0)
        ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}
}

bool ILogFileShell::BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& start,
                                    std::wstring& chosen)
{
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_RETURNONLYFSDIRS;
    info.lpfn = &BrowseCallback;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE list = ::SHBrowseForFolderW(&info);
    if (list == nullptr)
        return false;
    std::vector<wchar_t> path(kPathChars, L'\0');
    const bool found = ::SHGetPathFromIDListEx(list, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT) != FALSE;
    ::CoTaskMemFree(list);
    if (found)
        chosen = path.data();
    return found;
}

std::wstring ILogFileShell::FindAssociatedProgram(const std::wstring& file)
{
    wchar_t program[MAX_PATH] = {};
    const auto result = reinterpret_cast<INT_PTR>(::FindExecutableW(file.c_str(), nullptr, program));
    return result > 32 ? std::wstring(program) : std::wstring();
}

bool ILogFileShell::Open(HWND owner, const std::wstring& file, const std::wstring& parameters)
{
    const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
        owner, L"OPEN", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL));
    return result > 32;
}

bool ILogFileShell::FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ILogFileShell& DefaultLogFileShell()
{
    static ILogFileShell shell;
    return shell;
}

CUpdateAndLogSettings::CUpdateAndLogSettings(ILogFileShell& shell) : CSettingsPage(IDD_UPDATE_LOG_SETTINGS), m_shell(shell)
{
    BindCommand(IDC_UPD_CHECK_VERSION, &CUpdateAndLogSettings::OnCheckVersion);
    BindCommand(IDC_UPD_DEBUG, &CUpdateAndLogSettings::OnDebug);
    BindCommand(IDC_UPD_BROWSE, &CUpdateAndLogSettings::OnBrowse);
    BindCommand(IDC_UPD_OPEN_LOG, &CUpdateAndLogSettings::OnOpenLog);
    m_folderNote.m_alignment = DT_VCENTER;
    m_debugNote.m_alignment = DT_VCENTER;
}

void CUpdateAndLogSettings::LoadFromSettings(const CSettings& settings)
{
    m_checkVersion = settings.m_bCheckVersion ? 1 : 0;
    m_checkBeta = settings.m_bCheckBetaVersion ? 1 : 0;
    m_days = static_cast<int>(settings.m_uCheckVersionDays);
    m_debug = settings.m_bDebugging ? 1 : 0;
    std::vector<wchar_t> folder(kPathChars, L'\0');
    GetDefaultLogFolder(folder.data(), folder.size());
    folder.back() = L'\0';
    m_logFolder = folder.data();
}

bool CUpdateAndLogSettings::DiffersFromSettings(const CSettings& settings) const
{
    return (m_checkVersion != 0) != settings.m_bCheckVersion || (m_checkBeta != 0) != settings.m_bCheckBetaVersion ||
           m_days != static_cast<int>(settings.m_uCheckVersionDays) || (m_debug != 0) != settings.m_bDebugging;
}

void CUpdateAndLogSettings::StoreToSettings(CSettings& settings) const
{
    settings.m_bCheckVersion = m_checkVersion != 0;
    settings.m_bCheckBetaVersion = m_checkBeta != 0;
    settings.m_uCheckVersionDays = static_cast<unsigned int>(m_days);
    settings.m_bDebugging = m_debug != 0;
}

void CUpdateAndLogSettings::DoDataExchange(CDataExchange& dx)
{
    ExchangeCheck(dx, IDC_UPD_CHECK_VERSION, m_checkVersion);
    // A file may hold a number of days beyond the field's range: it is kept
    // until the user edits the field.
    ExchangeNumberField(dx, IDC_UPD_DAYS, m_days, 1, 730);
    ExchangeCheck(dx, IDC_UPD_BETA, m_checkBeta);
    ExchangeText(dx, IDC_UPD_LOG_FOLDER, m_logFolder);
    ExchangeCheck(dx, IDC_UPD_DEBUG, m_debug);
}

BOOL CUpdateAndLogSettings::OnInitDialog()
{
    CSettingsPage::OnInitDialog();
    m_folderNote.SubclassDlgItem(IDC_UPD_FOLDER_NOTE, m_hWnd);
    m_debugNote.SubclassDlgItem(IDC_UPD_DEBUG_NOTE, m_hWnd);
    EnableControls({IDC_UPD_DAYS, IDC_UPD_DAYS_SPIN, IDC_UPD_BETA}, m_checkVersion != 0);
    const std::wstring cue =
        L"  " + LookupText(m_language, std::wstring(L"Leave blank to use the default folder!"));
    ::SendMessageW(GetDlgItem(IDC_UPD_LOG_FOLDER), EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(cue.c_str()));
    TranslateTexts();
    return TRUE;
}

void CUpdateAndLogSettings::OnOK()
{
    UpdateData(true);
    SetDefaultLogFolder(m_logFolder.c_str());
}

void CUpdateAndLogSettings::OnCheckVersion()
{
    EnableControls({IDC_UPD_DAYS, IDC_UPD_DAYS_SPIN, IDC_UPD_BETA}, IsChecked(IDC_UPD_CHECK_VERSION));
}

void CUpdateAndLogSettings::OnDebug()
{
    if (!IsChecked(IDC_UPD_DEBUG) || m_debugWarningAccepted)
        return;
    const std::wstring text =
        LookupText(m_language, std::wstring(L"Enabling debug logging will decrease the performance of the mouse. It is "
                                             L"recommended that you only enable this temporarily to assist in problem "
                                             L"finding. As such, the debug setting will not be saved.")) +
        L"\n\n" + LookupText(m_language, std::wstring(L"Are you sure you want to enable debug logging?"));
    if (Ask(text, MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2) == IDYES)
    {
        m_debugWarningAccepted = true;
        return;
    }
    m_debug = 0;
    ::CheckDlgButton(m_hWnd, IDC_UPD_DEBUG, BST_UNCHECKED);
}

void CUpdateAndLogSettings::OnBrowse()
{
    UpdateData(true);
    const std::wstring title = LookupText(m_language, std::wstring(L"Select a folder to store the log file..."));
    std::wstring chosen;
    if (!m_shell.BrowseForFolder(m_hWnd, title, m_logFolder, chosen))
        return;
    m_logFolder = chosen;
    ::SetDlgItemTextW(m_hWnd, IDC_UPD_LOG_FOLDER, m_logFolder.c_str());
}

void CUpdateAndLogSettings::OnOpenLog()
{
    std::vector<wchar_t> buffer(kPathChars, L'\0');
    GetLogFile(buffer.data(), buffer.size(), false);
    buffer.back() = L'\0';
    const std::wstring log = buffer.data();
    if (log.empty() || !m_shell.FileExists(log))
    {
        Ask(LookupText(m_language, std::wstring(L"The log file can not be opened as it does not exist.")),
            MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    std::wstring program = m_shell.FindAssociatedProgram(log);
    std::transform(program.begin(), program.end(), program.begin(), [](wchar_t c) { return std::towlower(c); });
    bool opened = false;
    if (!program.empty() && program.find(L"wordpad.exe") == std::wstring::npos)
        opened = m_shell.Open(m_hWnd, log, L"");
    if (!opened)
        opened = m_shell.Open(m_hWnd, kFallbackViewer, L"\"" + log + L"\"");
    if (!opened)
    {
        Ask(AppProductName() + L" " + LookupText(m_language, std::wstring(L"is unable to open the log file")) + L" '" +
                log + L"'",
            MB_OK | MB_ICONERROR);
    }
}
