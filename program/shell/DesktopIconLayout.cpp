#include "DesktopIconLayout.h"

#include <commctrl.h>

#include <cwchar>
#include <cstdlib>

#include "AppTexts.h"
#include "Control.h"
#include "Exceptions.h"
#include "Handles.h"
#include "LangSupport.h"
#include "Logger.h"
#include "MessageBox.h"
#include "OSVersion.h"
#include "StringFormat.h"

namespace
{
// A busy shell must not hold the program up for long.
constexpr UINT kShellTimeoutMs = 2000;
constexpr int kSectionNameChars = 90;
constexpr int kProfileValueChars = 256;
// Move, no size, z-order, redraw, activation or changing notice.
constexpr UINT kGadgetMoveFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_FRAMECHANGED |
                                  SWP_NOCOPYBITS | SWP_NOSENDCHANGING;

// Memory committed in another process, freed with its owner.
class CRemoteBuffer
{
public:
    CRemoteBuffer(HANDLE process, SIZE_T size) : m_process(process), m_size(size)
    {
        m_address = ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!m_address)
            throw static_cast<DWORD>(::GetLastError());
    }
    ~CRemoteBuffer()
    {
        if (m_address)
            ::VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
    }
    CRemoteBuffer(const CRemoteBuffer&) = delete;
    CRemoteBuffer& operator=(const CRemoteBuffer&) = delete;

    void* Address() const { return m_address; }
    bool Read(void* local, SIZE_T size) const
    {
        SIZE_T done = 0;
        return size <= m_size && ::ReadProcessMemory(m_process, m_address, local, size, &done) && done == size;
    }
    bool Write(const void* local, SIZE_T size) const
    {
        SIZE_T done = 0;
        return size <= m_size && ::WriteProcessMemory(m_process, m_address, local, size, &done) && done == size;
    }

private:
    HANDLE m_process;
    SIZE_T m_size;
    void* m_address = nullptr;
};

// Sends to a window of another process without waiting on it forever;
// false when it did not answer.
bool SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kShellTimeoutMs,
                               &answer))
        return false;
    result = static_cast<LRESULT>(answer);
    return true;
}

HWND DefViewOf(HWND parent)
{
    return ::FindWindowExW(parent, nullptr, L"SHELLDLL_DefView", nullptr);
}

BOOL CALLBACK FindDefViewHost(HWND window, LPARAM found)
{
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if ((std::wcscmp(className, L"WorkerW") == 0 || ::_wcsicmp(className, L"progman") == 0) && DefViewOf(window))
    {
        *reinterpret_cast<HWND*>(found) = DefViewOf(window);
        return FALSE;
    }
    return TRUE;
}

bool SidebarPossible()
{
    const _ActionOSVersion version = ::GetOSVersion();
    return version != ActionOS_Failed && version >= ActionOS_Win7;
}

std::wstring ProcessFileName(DWORD pid)
{
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process)
        return {};
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!::QueryFullProcessImageNameW(process.Get(), 0, path, &size))
        return {};
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

BOOL CALLBACK CollectGadget(HWND window, LPARAM list)
{
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if (std::wcscmp(className, L"BasicWindow") != 0)
        return TRUE;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (::_wcsicmp(ProcessFileName(pid).c_str(), L"sidebar.exe") != 0)
        return TRUE;
    wchar_t title[kDesktopIconMaxText + 1] = {};
    ::GetWindowTextW(window, title, kDesktopIconMaxText + 1);
    if (std::wcscmp(title, L"SidebarBroadcastWatcher") == 0)
        return TRUE;
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    DesktopIconItem item;
    item.name = title;
    item.x = rect.left;
    item.y = rect.top;
    item.gadget = true;
    item.window = window;
    reinterpret_cast<std::vector<DesktopIconItem>*>(list)->push_back(std::move(item));
    return TRUE;
}

bool ReadProcessWow64(HANDLE process, bool& wow64)
{
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
    wow64 = false;
    if (!isWow64)
        return true; // a system without it has no 32-bit layer: everything is native
    BOOL result = FALSE;
    if (!isWow64(process, &result))
        return false;
    wow64 = result != FALSE;
    return true;
}

void ShowNotNative(HWND window, const wchar_t* text)
{
    CLangSupport* language = LangSupport();
    const std::wstring message =
        FormatString(L"%s %s!", InternalLookupText(language, text).c_str(), AppProductName().c_str());
    CLangSupport::Release(language);
    CLogger::LogMessage(L"%s", message.c_str());
    ShowMessageBox(message, MB_OK | MB_ICONEXCLAMATION, window);
}

void Report(bool success, bool debug, bool notify, const DesktopIconBalloon& balloon, int kind, const wchar_t* text)
{
    if (debug)
        ::MessageBeep(success ? MB_ICONEXCLAMATION : MB_ICONASTERISK);
    if (success && notify && balloon)
        balloon(kind, text);
}
}

std::wstring BoundedIconText(const wchar_t* buffer, size_t capacity)
{
    if (!buffer)
        return {};
    const size_t limit = capacity < static_cast<size_t>(kDesktopIconMaxText) ? capacity : kDesktopIconMaxText;
    size_t length = 0;
    while (length < limit && buffer[length] != L'\0')
        ++length;
    return std::wstring(buffer, length);
}

std::wstring CSidebarSettingsFile::DefaultPath()
{
    if (!SidebarPossible())
        return {};
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"LocalAppData", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return FormatString(L"%s\\Microsoft\\Windows Sidebar\\Settings.ini", folder);
}

std::wstring CSidebarSettingsFile::ReadValue(const wchar_t* section, const wchar_t* key)
{
    wchar_t value[kProfileValueChars] = {};
    m_lastResult = ::GetPrivateProfileStringW(section, key, L"", value, kProfileValueChars, m_path.c_str());
    return value;
}

bool CSidebarSettingsFile::WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    m_lastResult = ::WritePrivateProfileStringW(section, key, value, m_path.c_str());
    return m_lastResult != 0;
}

bool CSidebarSettingsFile::SectionExists(const wchar_t* section)
{
    wchar_t keys[kSectionNameChars] = {};
    m_lastResult = ::GetPrivateProfileStringW(section, nullptr, L"", keys, kSectionNameChars, m_path.c_str());
    return m_lastResult > 0;
}

bool CSidebarSettingsFile::UpdateGadgetDropLocation(const std::wstring& name, POINT previous, POINT stored)
{
    const std::wstring pattern = FormatString(L"%%5C%s", name.c_str());
    const std::wstring previousX = FormatString(L"%d", static_cast<int>(previous.x));
    const std::wstring previousY = FormatString(L"%d", static_cast<int>(previous.y));
    for (int number = 1;; ++number)
    {
        const std::wstring section = FormatString(L"Section %d", number);
        if (!SectionExists(section.c_str()))
        {
            if (number >= 100)
                return false;
            continue;
        }
        const bool named = ReadValue(section.c_str(), L"PrivateSetting_GadgetName").find(pattern) != std::wstring::npos;
        const bool there = !named &&
                           ReadValue(section.c_str(), L"PrivateSetting_GadgetDropLocationX") == previousX &&
                           ReadValue(section.c_str(), L"PrivateSetting_GadgetDropLocationY") == previousY;
        if (named || there)
        {
            WriteValue(section.c_str(), L"PrivateSetting_GadgetDropLocationX",
                       FormatString(L"\"%d\"", static_cast<int>(stored.x)).c_str());
            WriteValue(section.c_str(), L"PrivateSetting_GadgetDropLocationY",
                       FormatString(L"\"%d\"", static_cast<int>(stored.y)).c_str());
            return true;
        }
    }
}

CIconRestore::CIconRestore(bool portable) : m_portable(portable)
{
    const std::wstring path = CSidebarSettingsFile::DefaultPath();
    if (!path.empty())
        m_sidebar = new CSidebarSettingsFile(path);
}

CIconRestore::~CIconRestore()
{
    delete m_sidebar;
}

IconRestorePlan PlanIconRestore(const std::vector<DesktopIconItem>& current,
                                const std::vector<DesktopIconItem>& stored, bool finalPass)
{
    IconRestorePlan plan;
    std::vector<bool> taken(stored.size(), false);
    std::vector<std::wstring> matchedNames;
    for (const DesktopIconItem& item : current)
    {
        for (size_t i = 0; i < stored.size(); ++i)
        {
            const DesktopIconItem& entry = stored[i];
            if (taken[i] || entry.name != item.name)
                continue;
            ++plan.matched;
            if (entry.gadget)
            {
                if (finalPass)
                    plan.gadgetMoves.push_back(
                        {item.window, item.name, POINT{item.x, item.y}, POINT{entry.x, entry.y}});
            }
            else if (entry.x != item.x || entry.y != item.y)
            {
                plan.iconMoves.push_back({item.index, POINT{entry.x, entry.y}});
            }
            taken[i] = true;
            matchedNames.push_back(entry.name);
            break;
        }
    }
    // The layout is pruned by name, so a name still on the desktop is kept
    // even when a stored duplicate of it matched nothing: pruning it would drop
    // the live icon's position too. Nothing is pruned when nothing was read,
    // so that a desktop that failed to answer does not wipe the layout.
    if (finalPass && !current.empty())
    {
        for (size_t i = 0; i < stored.size(); ++i)
        {
            if (taken[i])
                continue;
            bool live = false;
            for (const std::wstring& name : matchedNames)
                live = live || name == stored[i].name;
            if (!live)
                plan.stale.push_back(stored[i]);
        }
    }
    return plan;
}

LPARAM PackIconPosition(POINT position)
{
    return MAKELPARAM(static_cast<WORD>(position.x), static_cast<WORD>(position.y));
}

HWND FindDesktopListView()
{
    HWND defView = nullptr;
    if (HWND progman = ::FindWindowW(nullptr, L"Program Manager"))
        defView = DefViewOf(progman);
    if (!defView)
        ::EnumDesktopWindows(::GetThreadDesktop(::GetCurrentThreadId()), FindDefViewHost,
                             reinterpret_cast<LPARAM>(&defView));
    if (!defView)
        return nullptr;
    return ::FindWindowExW(defView, nullptr, L"SysListView32", nullptr);
}

bool ReadListViewIcons(HWND listView, std::vector<DesktopIconItem>& items)
{
    LRESULT answer = 0;
    int count = 0;
    if (SendBounded(listView, LVM_GETITEMCOUNT, 0, 0, answer) && answer > 0)
        count = answer > kDesktopIconMaxItems ? kDesktopIconMaxItems : static_cast<int>(answer);
    if (count == 0)
    {
        CLogger::LogMessage(L"GetDesktopIcons: No icons were found on the desktop!");
        return false;
    }

    DWORD pid = 0;
    ::GetWindowThreadProcessId(listView, &pid);
    UniqueHandle process(::OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process)
        throw static_cast<DWORD>(::GetLastError());
    const CRemoteBuffer remotePoint(process.Get(), sizeof(POINT));
    const CRemoteBuffer remoteItem(process.Get(), sizeof(LVITEMW));
    const CRemoteBuffer remoteText(process.Get(), kDesktopIconTextBufferBytes);

    bool failed = false;
    for (int index = 0; index < count && !failed; ++index)
    {
        POINT position = {};
        if (!SendBounded(listView, LVM_GETITEMPOSITION, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(remotePoint.Address()), answer) ||
            answer != 1 || !remotePoint.Read(&position, sizeof(position)))
        {
            CLogger::LogMessage(L"GetDesktopIcons: Unable to get the icon position for icon index %d.", index);
            failed = true;
            break;
        }
        LVITEMW record = {};
        record.mask = LVIF_TEXT;
        record.pszText = static_cast<wchar_t*>(remoteText.Address());
        record.cchTextMax = kDesktopIconMaxText;
        wchar_t text[kDesktopIconTextBufferBytes / sizeof(wchar_t)] = {};
        if (!remoteItem.Write(&record, sizeof(record)) ||
            !SendBounded(listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(remoteItem.Address()), answer) ||
            answer < 0 || !remoteText.Read(text, sizeof(text)))
        {
            CLogger::LogMessage(L"GetDesktopIcons: Unable to get the icon label for icon index %d.", index);
            failed = true;
            break;
        }
        DesktopIconItem item;
        item.name = BoundedIconText(text, sizeof(text) / sizeof(text[0]));
        item.x = position.x;
        item.y = position.y;
        item.index = index;
        if (!item.name.empty())
            items.push_back(std::move(item));
    }
    if (failed)
        items.clear();
    return !failed;
}

void ReadSidebarGadgets(std::vector<DesktopIconItem>& items)
{
    ::EnumDesktopWindows(::GetThreadDesktop(::GetCurrentThreadId()), CollectGadget,
                         reinterpret_cast<LPARAM>(&items));
}

void ApplyIconRestorePlan(HWND listView, const IconRestorePlan& plan, CSidebarSettingsFile* sidebar)
{
    // Posted, so that a busy shell never blocks the program.
    for (const IconMove& move : plan.iconMoves)
        ::PostMessageW(listView, LVM_SETITEMPOSITION, static_cast<WPARAM>(move.index),
                       PackIconPosition(move.position));
    for (const GadgetMove& move : plan.gadgetMoves)
    {
        try
        {
            RECT rect = {};
            if (!::GetWindowRect(move.window, &rect))
                throw static_cast<DWORD>(::GetLastError());
            ::MoveWindow(move.window, move.position.x, move.position.y, rect.right - rect.left,
                         rect.bottom - rect.top, FALSE);
            ::SetWindowPos(move.window, nullptr, move.position.x, move.position.y, 0, 0, kGadgetMoveFlags);
            if (sidebar)
                sidebar->UpdateGadgetDropLocation(move.name, move.previous, move.position);
        }
        catch (...)
        {
            CLogger::LogMessage(L"PutDesktopIcons: Caught exception while manipulating desktop gadgets.");
        }
    }
}

bool IsExplorerNative()
{
    bool selfWow64 = false;
    bool explorerWow64 = false;
    try
    {
        HWND listView = FindDesktopListView();
        if (!listView)
        {
            CLogger::LogMessage(L"IsExplorerNative: Unable to find handle to Windows Explorer Desktop.");
            return false;
        }
        DWORD pid = 0;
        ::GetWindowThreadProcessId(listView, &pid);
        UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        if (!process || !ReadProcessWow64(process.Get(), explorerWow64))
            throw static_cast<DWORD>(::GetLastError());
        ReadProcessWow64(::GetCurrentProcess(), selfWow64);
        return selfWow64 == explorerWow64;
    }
    catch (const CException& e)
    {
        wchar_t text[512] = {};
        e.GetErrorMessage(text, 512);
        CLogger::LogMessage(L"IsExplorerNative: An unexpected exception occurred: %s", text);
    }
    catch (...)
    {
        CLogger::LogMessage(L"IsExplorerNative: An unexpected & unknown exception occurred.");
    }
    // Compared with a native shell.
    ReadProcessWow64(::GetCurrentProcess(), selfWow64);
    return !selfWow64;
}

bool GetDesktopIcons(std::vector<DesktopIconItem>& items, bool withGadgets)
{
    try
    {
        HWND listView = FindDesktopListView();
        if (!listView)
            throw static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE);
        if (ReadListViewIcons(listView, items) && withGadgets && SidebarPossible())
            ReadSidebarGadgets(items);
        return !items.empty();
    }
    catch (DWORD code)
    {
        CLogger::LogMessage(L"GetDesktopIcons: An unxpected error occurred. Error code: %d", static_cast<int>(code));
        throw;
    }
}

int PutDesktopIcons(CIconRestore& restore, bool finalPass)
{
    HWND listView = FindDesktopListView();
    std::vector<DesktopIconItem> current;
    GetDesktopIcons(current, finalPass);

    std::vector<DesktopIconItem> stored;
    CIconSettings& settings = restore.Settings();
    if (settings.LoadIcons())
    {
        for (int i = 0; i < settings.GetCount(); ++i)
        {
            const CIcon* icon = settings.GetIcon(i);
            DesktopIconItem entry;
            entry.name = icon->GetName() ? icon->GetName() : L"";
            entry.index = static_cast<int>(icon->Index());
            entry.x = icon->GetPosition().x;
            entry.y = icon->GetPosition().y;
            entry.gadget = icon->IsGadget();
            entry.window = icon->WindowHandle();
            stored.push_back(std::move(entry));
        }
    }

    const IconRestorePlan plan = PlanIconRestore(current, stored, finalPass);
    ApplyIconRestorePlan(listView, plan, restore.Sidebar());
    CLogger::LogMessage(L"PutDesktopIcons: Restored positions of %d matching icons.", plan.matched);

    if (finalPass && !plan.stale.empty())
    {
        CLogger::LogMessage(L"PutDesktopIcons: Removing %d saved icons that no longer exist on the desktop",
                            static_cast<int>(plan.stale.size()));
        settings.ClearIcons();
        for (const DesktopIconItem& entry : plan.stale)
            settings.AddIcon(new CIcon(static_cast<unsigned int>(entry.index), entry.name.c_str(), entry.x, entry.y,
                                       entry.window, entry.gadget));
        settings.RemoveListedIcons();
    }
    return 1;
}

bool RunSaveDesktopIcons(HWND window, bool debug, bool notify, const DesktopIconBalloon& balloon)
{
    CLogger::LogMessage(L"Saving desktop icons.");
    if (!IsExplorerNative())
    {
        ShowNotNative(window, L"Unable to save the desktop icons using your current shell and this version of");
        return false;
    }
    bool saved = false;
    try
    {
        CIconRestore restore(::GetPortable());
        std::vector<DesktopIconItem> items;
        // A desktop that gave nothing must not replace the stored layout.
        if (GetDesktopIcons(items, true))
        {
            CIconSettings& settings = restore.Settings();
            settings.ClearIcons();
            for (const DesktopIconItem& item : items)
                settings.AddIcon(new CIcon(static_cast<unsigned int>(item.index), item.name.c_str(), item.x, item.y,
                                           item.window, item.gadget));
            saved = settings.SaveIcons() != 0;
        }
    }
    catch (DWORD code)
    {
        CLogger::LogMessage(L"CMyMessageWnd::SaveDesktopIcons: Unable to save the desktop icons. Error code: %d",
                            static_cast<int>(code));
    }
    catch (...)
    {
        CLogger::LogMessage(L"CMyMessageWnd::SaveDesktopIcons: An unexpected error occurred.");
    }
    Report(saved, debug, notify, balloon, 7, L"Successfully saved desktop icon positions");
    return saved;
}

bool RunRestoreDesktopIcons(HWND window, bool debug, bool notify, const DesktopIconBalloon& balloon)
{
    CLogger::LogMessage(L"Restoring desktop icons.");
    if (!IsExplorerNative())
    {
        ShowNotNative(window, L"Unable to restore the desktop icons using your current shell and this version of");
        return false;
    }
    bool restored = false;
    try
    {
        CIconRestore restore(::GetPortable());
        // The list view settles icons it moved; later passes catch those it pushed aside.
        for (int pass = 0; pass < 3; ++pass)
            PutDesktopIcons(restore, false);
        restored = PutDesktopIcons(restore, true) == 1;
    }
    catch (DWORD code)
    {
        CLogger::LogMessage(L"CMyMessageWnd::RestoreDesktopIcons: Unable to restore the desktop icons. Error code: %d",
                            static_cast<int>(code));
    }
    catch (...)
    {
        CLogger::LogMessage(L"CMyMessageWnd::RestoreDesktopIcons: An unexpected error occurred.");
    }
    Report(restored, debug, notify, balloon, 8, L"Successfully restored desktop icon positions");
    return restored;
}
