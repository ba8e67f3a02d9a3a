#include "AppSpecific.h"

#include <commdlg.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>
#include <vector>

#include "Application.h"
#include "CaughtException.h"
#include "DataExchange.h"
#include "FileDialog.h"
#include "FindWindow.h"
#include "Handles.h"
#include "LangSupport.h"
#include "Logger.h"
#include "MessageBox.h"
#include "ProcessHelper.h"
#include "StringFormat.h"
#include "WaitCursor.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
constexpr int kPlainImage = 0;
constexpr int kModernImage = 1;
constexpr int kMaxModernWindows = 2048;
constexpr DWORD kMaxProcesses = 1024;
constexpr int kNameColumnWidth = 200;

bool EqualNoCase(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

std::wstring TitleOf(HWND window)
{
    std::wstring title(2049, L'\0');
    const int length = ::GetWindowTextW(window, title.data(), 2049);
    title.resize(static_cast<size_t>(std::max(0, length)));
    return title;
}

// The window shown for each process: its first visible top-level window,
// else the last invisible one met.
std::map<DWORD, HWND> ProcessWindows()
{
    struct Found
    {
        HWND visible = nullptr;
        HWND invisible = nullptr;
    };
    std::map<DWORD, Found> found;
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& map = *reinterpret_cast<std::map<DWORD, Found>*>(context);
            DWORD processId = 0;
            ::GetWindowThreadProcessId(window, &processId);
            Found& entry = map[processId];
            if (::IsWindowVisible(window))
            {
                if (entry.visible == nullptr)
                    entry.visible = window;
            }
            else
            {
                entry.invisible = window;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    std::map<DWORD, HWND> result;
    for (const auto& [processId, entry] : found)
        result[processId] = entry.visible ? entry.visible : entry.invisible;
    return result;
}
}

std::wstring CAppSpecific::WindowKey(const std::wstring& caption, const std::wstring& process,
                                     const std::wstring& className, const std::wstring& parentClass)
{
    const auto any = [](const std::wstring& part) { return part.empty() ? std::wstring(L"*") : part; };
    if (!caption.empty())
        return FormatString(L"W3:%s \\;| %s \\;| %s \\;| %s", caption.c_str(), any(process).c_str(),
                            any(className).c_str(), any(parentClass).c_str());
    return FormatString(L"W2:%s \\;| %s \\;| %s", any(process).c_str(), any(className).c_str(), any(parentClass).c_str());
}

std::wstring CAppSpecific::DescriptionFor(const std::wstring& processName, const std::wstring& title)
{
    std::wstring bare = processName;
    for (size_t at = 0; at + 4 <= bare.size();)
    {
        if (EqualNoCase(bare.substr(at, 4), L".exe"))
            bare.erase(at, 4);
        else
            ++at;
    }
    if (title.empty())
        return bare;
    if (!EqualNoCase(title, L"Default IME"))
        return title;
    return FormatString(L"%s (%s)", title.c_str(), bare.c_str());
}

CAppSpecific::CAppSpecific(CWindow* parent) : CDialog(IDD_APP_SPECIFIC, parent), m_language(LangSupport())
{
    BindCommand(IDC_APP_BROWSE, &CAppSpecific::OnBnClickedBrowse);
    BindCommand(IDC_APP_REFRESH, &CAppSpecific::Refresh);
    BindCommand(IDC_APP_SPECIFIC_WINDOW, &CAppSpecific::OnSpecificWindow);
    BindControl(EN_CHANGE, IDC_APP_DESCRIPTION, &CAppSpecific::OnDescriptionChange);
    BindNotify(LVN_ITEMCHANGED, IDC_APP_LIST, &CAppSpecific::OnItemChanged);
}

CAppSpecific::~CAppSpecific()
{
    if (m_language)
        CLangSupport::Release(m_language);
}

void CAppSpecific::DoDataExchange(CDataExchange& dx)
{
    ExchangeText(dx, IDC_APP_APPLICATION, m_application);
    ExchangeText(dx, IDC_APP_DESCRIPTION, m_description);
}

void CAppSpecific::ShowMembers()
{
    m_showingMembers = true;
    UpdateData(false);
    m_showingMembers = false;
}

BOOL CAppSpecific::OnInitDialog()
{
    m_images.Reset(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 16));
    const HINSTANCE instance = GetResourceInstance();
    for (const int id : {IDI_APP_PLAIN, IDI_APP_MODERN})
    {
        const UniqueIcon icon(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0)));
        ::ImageList_AddIcon(m_images.Get(), icon.Get());
    }
    const HWND list = GetDlgItem(IDC_APP_LIST);
    ListView_SetImageList(list, m_images.Get(), LVSIL_SMALL);

    RECT client{};
    ::GetClientRect(list, &client);
    const std::wstring nameHeading = LookupText(m_language, std::wstring(L"Process Name"));
    const std::wstring titleHeading = LookupText(m_language, std::wstring(L"Window Title"));
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(nameHeading.c_str());
    column.cx = kNameColumnWidth;
    ListView_InsertColumn(list, 0, &column);
    column.pszText = const_cast<wchar_t*>(titleHeading.c_str());
    // The title takes the rest of the width, leaving room for a vertical scroll bar.
    column.cx = std::max(50, static_cast<int>(client.right) - kNameColumnWidth - ::GetSystemMetrics(SM_CXVSCROLL));
    column.iSubItem = 1;
    ListView_InsertColumn(list, 1, &column);
    ListView_SetExtendedListViewStyleEx(list, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP,
                                        LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);

    TranslateWindowTexts(m_language, m_hWnd, {IDC_APP_APPLICATION, IDC_APP_DESCRIPTION});
    ShowMembers();
    Refresh();
    return FALSE;
}

void CAppSpecific::Refresh()
{
    CWaitCursor wait;
    const HWND list = GetDlgItem(IDC_APP_LIST);
    ListView_DeleteAllItems(list);
    // Back to the two images of our own; the icons of the last fill go with their items.
    ::ImageList_SetImageCount(m_images.Get(), 2);
    AddModernApplications();
    AddProcesses();
}

int CAppSpecific::ImageFor(const wchar_t* path, int fallbackImage)
{
    if (path == nullptr || path[0] == L'\0')
        return fallbackImage;
    HICON largeIcon = nullptr;
    HICON smallIcon = nullptr;
    if (::ExtractIconExW(path, 0, &largeIcon, &smallIcon, 1) == 0)
        return fallbackImage;
    const UniqueIcon large(largeIcon);
    const UniqueIcon small(smallIcon);
    const HICON chosen = small ? small.Get() : large.Get();
    const int image = chosen ? ::ImageList_AddIcon(m_images.Get(), chosen) : -1;
    return image >= 0 ? image : fallbackImage;
}

int CAppSpecific::AddItem(const std::wstring& name, const std::wstring& title, const wchar_t* path, int fallbackImage)
{
    const HWND list = GetDlgItem(IDC_APP_LIST);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<wchar_t*>(name.c_str());
    item.iImage = ImageFor(path, fallbackImage);
    const int index = ListView_InsertItem(list, &item);
    if (index >= 0)
        ListView_SetItemText(list, index, 1, const_cast<wchar_t*>(title.c_str()));
    return index;
}

void CAppSpecific::AddModernApplications()
{
    HWND window = nullptr;
    for (int count = 0; count < kMaxModernWindows; ++count)
    {
        window = ::FindWindowExW(nullptr, window, L"Windows.UI.Core.CoreWindow", nullptr);
        if (window == nullptr)
            break;
        DWORD processId = 0;
        ::GetWindowThreadProcessId(window, &processId);
        if (processId == 0)
            continue;
        wchar_t name[260] = L"";
        wchar_t path[2048] = L"";
        int depth = 0;
        if (!CProcessHelper::GetProcessName(window, processId, name, 260, path, 2048, depth))
            continue;
        AddItem(name, TitleOf(window), path, kModernImage);
    }
}

void CAppSpecific::AddProcesses()
{
    std::vector<DWORD> ids(kMaxProcesses);
    DWORD bytes = 0;
    if (!::EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes))
        return;
    ids.resize(bytes / sizeof(DWORD));
    const std::map<DWORD, HWND> windows = ProcessWindows();

    const HWND list = GetDlgItem(IDC_APP_LIST);
    std::set<std::wstring> listed;
    for (int index = 0, count = ListView_GetItemCount(list); index < count; ++index)
    {
        wchar_t text[260] = L"";
        ListView_GetItemText(list, index, 0, text, 260);
        listed.insert(text);
    }

    for (const DWORD processId : ids)
    {
        if (processId == 0)
            continue;
        wchar_t name[260] = L"";
        wchar_t path[2048] = L"";
        int depth = 0;
        if (!CProcessHelper::GetProcessName(nullptr, processId, name, 260, path, 2048, depth) || name[0] == L'\0')
            continue;
        if (::_wcsnicmp(name, L"Modern UI", 9) == 0)
            continue;
        const auto window = windows.find(processId);
        if (window == windows.end() || window->second == nullptr)
            continue;
        if (!listed.insert(name).second)
            continue;
        AddItem(name, TitleOf(window->second), path, kPlainImage);
    }
}

LRESULT CAppSpecific::OnItemChanged(NMHDR* header)
{
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
    if (change->iItem < 0 || (change->uChanged & LVIF_STATE) == 0 || (change->uNewState & LVIS_SELECTED) == 0 ||
        (change->uOldState & LVIS_SELECTED) != 0)
        return 0;
    const HWND list = GetDlgItem(IDC_APP_LIST);
    wchar_t name[260] = L"";
    wchar_t title[2049] = L"";
    ListView_GetItemText(list, change->iItem, 0, name, 260);
    ListView_GetItemText(list, change->iItem, 1, title, 2049);
    m_application = name;
    m_noParent = false;
    if (m_description.empty() || !m_descriptionTyped)
        m_description = DescriptionFor(name, title);
    ShowMembers();
    return 0;
}

void CAppSpecific::OnDescriptionChange()
{
    if (m_showingMembers)
        return;
    UpdateData(true);
    m_descriptionTyped = !m_description.empty();
}

void CAppSpecific::OnBnClickedBrowse()
{
    try
    {
        UpdateData(true);
        CLogger::LogDebug(L"AppSpecific: OnBnClickedBrowse - Opening file browser");
        std::wstring path;
        if (!BrowseForExecutable(m_application, path))
            return;
        const size_t slash = path.find_last_of(L"\\/");
        m_application = slash == std::wstring::npos ? path : path.substr(slash + 1);
        ShowMembers();
    }
    catch (...)
    {
        LogCaughtException(L"CAppSpecific::OnBnClickedBrowse");
    }
}

bool CAppSpecific::BrowseForExecutable(const std::wstring& initial, std::wstring& path)
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.owner = m_hWnd;
    request.filter = LookupText(m_language, std::wstring(L"Applications (*.exe)|*.exe|All Files (*.*)|*.*||"));
    request.defaultExtension = L"exe";
    request.initialFile = initial;
    request.flags = OFN_PATHMUSTEXIST | OFN_NOTESTFILECREATE | OFN_ENABLESIZING | OFN_DONTADDTORECENT;
    return ShowFileDialog(request, path);
}

void CAppSpecific::OnOK()
{
    if (!UpdateData(true))
        return;
    if (m_application.empty())
    {
        ShowMessageBox(LookupText(m_language, std::wstring(L"You have to select or enter a process name, or press cancel.")),
                       MB_OK | MB_ICONINFORMATION, m_hWnd);
        return;
    }
    EndDialog(IDOK);
}

void CAppSpecific::OnSpecificWindow()
{
    if (!UpdateData(true))
        return;
    CFindWindow finder(this, m_application, m_description);
    if (finder.DoModal() != IDOK)
        return;
    m_description = finder.m_description;
    m_noParent = finder.m_noParent;
    m_regEx = finder.m_regEx;
    m_matchType = finder.m_matchType;
    m_windowMask = finder.m_windowMask;
    m_useArea = finder.m_useArea;
    m_area = finder.m_area;

    if (finder.m_process.empty() && finder.m_class.empty() && finder.m_parentClass.empty())
    {
        ShowMessageBox(LookupText(m_language, std::wstring(L"The specified window configuration is invalid!")), MB_OK,
                       m_hWnd);
        return;
    }
    if (!finder.m_class.empty() || !finder.m_parentClass.empty() || !finder.m_caption.empty() || m_noParent || m_regEx ||
        m_windowMask != 15)
    {
        m_application = WindowKey(finder.m_caption, finder.m_process, finder.m_class, finder.m_parentClass);
        ShowMembers();
        EndDialog(IDOK);
        return;
    }
    m_application = finder.m_process;
    if (!finder.m_description.empty())
        m_description = finder.m_description;
    ShowMembers();
}
