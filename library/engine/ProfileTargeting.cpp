// Profile targeting. Texts read from other processes (class names, captions,
// image paths) land in fixed buffers that are truncated to fit and are only
// ever passed to the logger as arguments, never as its format.

#include "ProfileTargeting.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <atomic>
#include <cwchar>
#include <cwctype>
#include <list>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "Control.h"
#include "Globals.h"
#include "Handles.h"
#include "Logger.h"
#include "MouseHook.h"
#include "ProfileSwitch.h"
#include "Settings.h"
#include "ThreadLock.h"
#include "WindowFacts.h"
#include "WindowFromPoint.h"

namespace
{
constexpr int kClassChars = 261;
constexpr int kNameChars = MAX_PATH;
constexpr int kImagePathChars = 2047;
constexpr int kMaxRecursion = 5;
constexpr int kSnapshotIntegrity = 0x3000;

SRWLOCK g_areaLock = SRWLOCK_INIT;
RECT g_activeWindowArea = {0, 0, 0, 0};


// Process-name cache of the last process named. Its own slim lock is held
// only to copy the name in or out, never across a call to the system: the
// repeat timer names windows without the global lock and the hook thread
// never waits behind it.
SRWLOCK g_nameCacheLock = SRWLOCK_INIT;
DWORD g_cachedPid = static_cast<DWORD>(-1);
wchar_t g_cachedName[kNameChars] = {};
bool g_cachedModern = false;   // the cached name is a hosted app's ("modern ui - ...")

// Mask of the profile in force.
bool g_currentMasked = false;
int g_currentMask = WINDOWMASK_ALL;

// Copies text into a buffer of size characters, truncating; always terminated.
void CopyBounded(wchar_t* target, int size, const wchar_t* text)
{
    if (target == nullptr || size <= 0)
        return;
    if (text == nullptr)
        text = L"";
    int i = 0;
    for (; i < size - 1 && text[i] != L'\0'; ++i)
        target[i] = text[i];
    target[i] = L'\0';
}

void AppendBounded(wchar_t* target, int size, const wchar_t* text)
{
    const int used = static_cast<int>(wcsnlen(target, static_cast<size_t>(size)));
    if (used < size)
        CopyBounded(target + used, size - used, text);
}

const wchar_t* FileNamePart(const wchar_t* path)
{
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    return slash != nullptr ? slash + 1 : path;
}

bool ReadClass(HWND window, wchar_t* className)
{
    return windowfacts::ClassName(window, className, kClassChars);
}

HWND ParentOf(HWND window)
{
    return window != nullptr ? windowfacts::Parent(window) : nullptr;
}

bool HasRect(const RECT& r)
{
    return r.left != 0 || r.top != 0 || r.right != 0 || r.bottom != 0;
}

RECT WindowRectOf(HWND window)
{
    RECT rect = {0, 0, 0, 0};
    if (window != nullptr)
        ::GetWindowRect(window, &rect);
    return rect;
}

bool AreaHit(CApplicationSettings* profile, const RECT& windowRect, const RECT& captionedRect, POINT point)
{
    if (!profile->GetUseWindowArea())
        return false;
    const RECT area = profile->GetWindowArea();
    if (IsEmptyWindowArea(area))
        return false;
    const RECT base = profile->GetClass() != nullptr ? windowRect : captionedRect;
    const RECT rect = WindowAreaRect(area, base);
    // No process test here: the caller has matched the process already, and an
    // area is a property of the window whatever process owns it.
    return ::PtInRect(&rect, point) != FALSE;
}

bool ContainsText(const wchar_t* text, const wchar_t* part)
{
    return text != nullptr && std::wcsstr(text, part) != nullptr;
}

// The program's own executable name, whose windows are never asked for captions.
const wchar_t* OwnProcessName()
{
    static wchar_t name[kNameChars] = {};
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    ::InitOnceExecuteOnce(
        &once,
        [](PINIT_ONCE, PVOID, PVOID*) -> BOOL {
            wchar_t path[kImagePathChars + 1] = {};
            ::GetModuleFileNameW(nullptr, path, kImagePathChars);
            CopyBounded(name, kNameChars, FileNamePart(path));
            return TRUE;
        },
        nullptr, nullptr);
    return name;
}

// Captions of one FindAppSettings call, read when a profile first needs them.
struct CaptionReader
{
    const wchar_t* processName;
    wchar_t text[kMaxCaptionChars + 1] = {};
    bool read = false;

    const wchar_t* Of(HWND window, const wchar_t* className)
    {
        if (!read)
        {
            read = true;
            if (!GetWindowCaption(window, processName, text, kMaxCaptionChars + 1, className))
                text[0] = L'\0';
        }
        return text;
    }
};

bool CaptionOfAccepted(CApplicationSettings* profile, HWND window, const wchar_t* processName)
{
    wchar_t className[kClassChars];
    ReadClass(window, className);
    wchar_t caption[kMaxCaptionChars + 1] = {};
    if (!GetWindowCaption(window, processName, caption, kMaxCaptionChars + 1, className))
        caption[0] = L'\0';
    return profile->MatchCaption(caption);
}

bool ParentRuleAccepts(CApplicationSettings* profile, HWND parent)
{
    if (profile->NoParent())
        return parent == nullptr;
    wchar_t className[kClassChars];
    ReadClass(parent, className);
    return profile->MatchParentClass(className);
}

void LogProfile(const wchar_t* format, CApplicationSettings* profile, const wchar_t* processName, const wchar_t* caption,
                const wchar_t* className, const wchar_t* parentClass)
{
    const wchar_t* description = profile->GetDescription() != nullptr ? profile->GetDescription() : L"";
    CLogger::LogMessage(format, description, processName, caption, className, parentClass);
}
}

// --- decision rules --------------------------------------------------------------

RECT WindowAreaRect(const RECT& area, const RECT& base)
{
    RECT rect;
    rect.left = area.left + (area.left < 0 ? base.right : base.left);
    rect.top = area.top + (area.top < 0 ? base.bottom : base.top);
    rect.right = area.right + (area.right <= 0 ? base.right : base.left);
    rect.bottom = area.bottom + (area.bottom > 0 ? base.top : base.bottom);
    return rect;
}

bool IsEmptyWindowArea(const RECT& area)
{
    return area.left == area.right && area.top == area.bottom;
}

int WindowQuarterOf(const RECT& window, POINT point)
{
    const LONG midX = window.left + (window.right - window.left) / 2;
    const LONG midY = window.top + (window.bottom - window.top) / 2;
    const bool right = point.x > midX;
    const bool lower = point.y > midY;
    if (lower)
        return right ? WINDOWMASK_BOTTOMRIGHT : WINDOWMASK_BOTTOMLEFT;
    return right ? WINDOWMASK_TOPRIGHT : WINDOWMASK_TOPLEFT;
}

int ProfileWindowMask(const CApplicationSettings* profile)
{
    if (profile == nullptr)
        return WINDOWMASK_ALL;
    return profile->GetUseWindowArea() ? WINDOWMASK_AREA : profile->GetWindowMask();
}

bool MaskAcceptsHit(int mask, int hit)
{
    return mask != 255 && (mask & hit) != 0;
}

// --- windows ---------------------------------------------------------------------

HWND GetCaptionedActiveWindow(HWND window)
{
    if (window == nullptr)
        return nullptr;
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND active = nullptr;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info))
        active = info.hwndActive;
    if (active == nullptr)
        active = ::GetAncestor(window, GA_ROOT);
    if (active == nullptr)
        return nullptr;
    const LONG style = ::GetWindowLongW(active, GWL_STYLE);
    return (style & (WS_CAPTION | WS_BORDER)) != 0 ? active : nullptr;
}

int GetWindowAreaHit(HWND window, POINT point, CApplicationSettings* profile)
{
    const RECT windowRect = WindowRectOf(window);
    HWND captioned = GetCaptionedActiveWindow(window);
    RECT captionedRect = windowRect;
    if (captioned != nullptr && !::GetWindowRect(captioned, &captionedRect))
        captionedRect = windowRect;

    if (profile != nullptr)
    {
        if (AreaHit(profile, windowRect, captionedRect, point))
            return WINDOWMASK_AREA;
    }
    else if (g_engine.pAreaApps != nullptr)
    {
        for (CApplicationSettings* areaProfile : *g_engine.pAreaApps)
        {
            if (areaProfile != nullptr && AreaHit(areaProfile, windowRect, captionedRect, point))
                return WINDOWMASK_AREA;
        }
    }
    return WindowQuarterOf(windowRect, point);
}

bool MatchWindowArea(HWND window, CApplicationSettings* profile, POINT point)
{
    ClearActiveWindowArea();
    if (profile == nullptr)
        return false;
    const int mask = ProfileWindowMask(profile);
    if (mask == 255)
        return false;
    const int hit = GetWindowAreaHit(window, point, profile);
    if (!MaskAcceptsHit(mask, hit))
        return false;
    if (hit == WINDOWMASK_AREA)
    {
        SlimLock lock(g_areaLock);
        g_activeWindowArea = profile->GetWindowArea();
    }
    return true;
}

bool PointInActiveWindowArea(HWND window, POINT point)
{
    RECT area;
    {
        SlimLock lock(g_areaLock);
        area = g_activeWindowArea;
    }
    if (!HasRect(area))
        return true;
    const RECT rect = WindowAreaRect(area, WindowRectOf(window));
    return ::PtInRect(&rect, point) != FALSE;
}

bool WindowPartChanged(HWND window, POINT point, int& lastQuarter)
{
    if (!g_bAreaAppsPresent || window == nullptr)
        return false;
    const int quarter = WindowQuarterOf(WindowRectOf(window), point);
    bool changed = quarter != lastQuarter;
    lastQuarter = quarter;
    if (!PointInActiveWindowArea(window, point))
        changed = true;
    return changed;
}

void ClearActiveWindowArea()
{
    SlimLock lock(g_areaLock);
    g_activeWindowArea = RECT{0, 0, 0, 0};
}

namespace
{
// The captions threads read ahead (see CCaptionPrefetch): a window and its
// ancestors, as many as a profile can look at. Each set belongs to one thread
// while it is in use; only that thread looks at its entries.
struct PrefetchedCaption
{
    HWND window = nullptr;
    bool read = false;
    wchar_t text[kMaxCaptionChars + 1] = {};
};
constexpr int kPrefetchDepth = 16;
constexpr int kPrefetchSets = 4;
constexpr DWORD kFilling = 0x80000000u;
struct PrefetchSet
{
    std::atomic<DWORD> owner{0};   // the thread once filled, with kFilling while it fills
    int count = 0;
    PrefetchedCaption entries[kPrefetchDepth];
};
PrefetchSet g_prefetchSets[kPrefetchSets];

const PrefetchSet* OwnPrefetch()
{
    const DWORD self = ::GetCurrentThreadId();
    for (const PrefetchSet& set : g_prefetchSets)
    {
        if (set.owner.load(std::memory_order_acquire) == self)
            return &set;
    }
    return nullptr;
}
}

CCaptionPrefetch::CCaptionPrefetch(HWND window, const wchar_t* processName)
{
    if (window == nullptr || g_pSettings == nullptr || !g_pSettings->m_bCaptionProfiles)
        return;
    const DWORD self = ::GetCurrentThreadId();
    for (int i = 0; i < kPrefetchSets && m_set < 0; ++i)
    {
        DWORD none = 0;
        if (g_prefetchSets[i].owner.compare_exchange_strong(none, self | kFilling))
            m_set = i;
    }
    if (m_set < 0)
    {
        CLogger::LogDebug(L"CCaptionPrefetch: Every read-ahead is in use; captions are read as they are needed");
        return;
    }
    PrefetchSet& set = g_prefetchSets[m_set];
    set.count = 0;
    for (HWND w = window; w != nullptr && set.count < kPrefetchDepth; w = ParentOf(w))
    {
        PrefetchedCaption& entry = set.entries[set.count++];
        entry.window = w;
        entry.text[0] = L'\0';
        wchar_t className[kClassChars];
        ReadClass(w, className);
        entry.read = GetWindowCaption(w, processName, entry.text, kMaxCaptionChars + 1, className);
    }
    set.owner.store(self, std::memory_order_release);
}

CCaptionPrefetch::~CCaptionPrefetch()
{
    if (m_set >= 0)
        g_prefetchSets[m_set].owner.store(0, std::memory_order_release);
}

namespace
{
// The caption itself (see GetWindowCaption).
bool ReadCaption(HWND window, wchar_t* caption, int size)
{
    if (const PrefetchSet* ahead = OwnPrefetch())
    {
        // A look-up after a read-ahead holds the global lock: a window that
        // was not read ahead has no caption.
        for (int i = 0; i < ahead->count; ++i)
        {
            const PrefetchedCaption& entry = ahead->entries[i];
            if (entry.window != window)
                continue;
            CopyBounded(caption, size, entry.read ? entry.text : L"");
            return entry.read && caption[0] != L'\0';
        }
        return false;
    }
    // The text the window server keeps (the title bar's), on every thread:
    // the application is not asked, so a slow or hung one holds nothing up,
    // and one that answers WM_GETTEXT with another text than its caption gets
    // the same profile whichever thread looks it up. One character more than
    // a caption may have tells a text that is too long.
    wchar_t text[kMaxCaptionChars + 2] = {};
    const int length = ::InternalGetWindowText(window, text, kMaxCaptionChars + 2);
    if (length > kMaxCaptionChars)
    {
        CLogger::LogDebug(L"GetWindowCaption: The window's text is too long to be a caption!");
        return false;
    }
    if (length <= 0)
        return false;
    CopyBounded(caption, size, text);
    return caption[0] != L'\0';
}
} // namespace

bool GetWindowCaption(HWND window, const wchar_t* processName, wchar_t* caption, int size, const wchar_t* className)
{
    if (caption == nullptr || size <= 0)
        return false;
    caption[0] = L'\0';
    if (window == nullptr || g_pSettings == nullptr || !g_pSettings->m_bCaptionProfiles)
        return false;
    if (processName != nullptr && _wcsicmp(processName, OwnProcessName()) == 0)
        return false;
    if (className != nullptr && std::wcscmp(className, L"Scintilla") == 0)
    {
        CopyBounded(caption, size, L"Scintilla");
        return true;
    }

    const bool found = ReadCaption(window, caption, size);
    windowfacts::NoteCaption(window, found, caption);
    return found;
}


// --- process names ---------------------------------------------------------------

const wchar_t* ProcessNameReasonText(int reason)
{
    switch (reason)
    {
    case PNR_MouseMove: return L"MouseMove";
    case PNR_Keyboard: return L"Keyboard";
    case PNR_ProcessButton: return L"ProcessButton";
    case PNR_LoadXML: return L"LoadXML";
    case PNR_LoadRegistry: return L"LoadRegistry";
    case PNR_RepeatTimer: return L"RepeatTimer";
    case PNR_WindowFromHWND: return L"WindowFromHWND";
    case PNR_UniversalApp2: return L"GPNUniversalApp2";
    case PNR_UniversalApp2Focus: return L"GPNUniversalApp2";
    case PNR_UniversalApp3: return L"GPNUniversalApp3";
    default: return L"Unknown";
    }
}

void ResetProcessNameCache()
{
    SlimLock lock(g_nameCacheLock);
    g_cachedPid = static_cast<DWORD>(-1);
    g_cachedName[0] = L'\0';
}

namespace
{
bool NameFromOpenProcess(HWND window, DWORD pid, int reason, wchar_t* name, int size)
{
    const wchar_t* reasonText = ProcessNameReasonText(reason);
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process)
    {
        CLogger::LogOSMessage(::GetLastError(), L"GetProcessName(%d %s): Error %d in GetProcessName(). Unable to get name for PID %d, HWND 0x%08X",
                              reason, reasonText, static_cast<int>(::GetLastError()), static_cast<int>(pid),
                              HandleNumber(window));
        return false;
    }
    g_engine.nIntegrityLevel = GetProcessIntegrityLevel(pid, process.Get());

    wchar_t path[kImagePathChars + 1] = {};
    const unsigned windowId = HandleNumber(window);
    if (::GetProcessImageFileNameW(process.Get(), path, kImagePathChars) > 0)
    {
        CopyBounded(name, size, FileNamePart(path));
        if (window != nullptr)
            CLogger::LogDebug(L"GetProcessName(%d %s): Got name for PID %d, '%s' for HWND 0x%08X using GetProcessImageFileName",
                              reason, reasonText, static_cast<int>(pid), name, windowId);
        else
            CLogger::LogDebug(L"GetProcessName(%d %s): Got name for PID %d, '%s' using GetProcessImageFileName", reason,
                              reasonText, static_cast<int>(pid), name);
        return true;
    }
    if (::GetModuleFileNameExW(process.Get(), nullptr, path, kImagePathChars) > 0)
    {
        CopyBounded(name, size, FileNamePart(path));
        if (window != nullptr)
            CLogger::LogDebug(L"GetProcessName(%d %s): Got name for PID %d, '%s' for HWND 0x%08X using GetModuleFileNameEx",
                              reason, reasonText, static_cast<int>(pid), name, windowId);
        else
            CLogger::LogDebug(L"GetProcessName(%d %s): Got name for PID %d, '%s' using GetModuleFileNameEx", reason,
                              reasonText, static_cast<int>(pid), name);
        return true;
    }
    HMODULE modules[64] = {};
    DWORD needed = 0;
    if (::EnumProcessModules(process.Get(), modules, sizeof(modules), &needed) && needed >= sizeof(HMODULE) &&
        ::GetModuleFileNameExW(process.Get(), modules[0], path, MAX_PATH - 1) > 0)
    {
        CopyBounded(name, size, FileNamePart(path));
        CLogger::LogDebug(L"GetProcessName(%d %s): Got name for PID %d, '%s' for HWND 0x%08X using EnumProcessModules",
                          reason, reasonText, static_cast<int>(pid), name, windowId);
        return true;
    }
    const DWORD error = ::GetLastError();
    CLogger::LogOSMessage(error, L"GetProcessName(%d %s): Error %d in EnumProcessModules(). Unable to get name for PID %d, HWND 0x%08X",
                          reason, reasonText, static_cast<int>(error), static_cast<int>(pid), windowId);
    return false;
}

bool NameFromSnapshot(HWND window, DWORD pid, int reason, wchar_t* name, int size)
{
    const wchar_t* reasonText = ProcessNameReasonText(reason);
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
    {
        CLogger::LogMessage(L"GetProcessName(%d %s): Error %d in CreateToolhelp32Snapshot(). Unable to snapshot the processes.",
                            reason, reasonText, static_cast<int>(::GetLastError()));
        return false;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry))
    {
        if (entry.th32ProcessID != pid)
            continue;
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        CopyBounded(name, size, FileNamePart(entry.szExeFile));
        if (pid != 0)
            g_engine.nIntegrityLevel = kSnapshotIntegrity;
        CLogger::LogDebug(L"GetProcessName(%d %s): Got name for PID %d, '%s' for HWND 0x%08X using CreateToolhelp32Snapshot",
                          reason, reasonText, static_cast<int>(pid), name,
                          HandleNumber(window));
        return true;
    }
    return false;
}

bool IsDesktopWindowOfShell(HWND window)
{
    HWND parent = ParentOf(window);
    HWND grandparent = ParentOf(parent);
    if (grandparent == nullptr || ParentOf(grandparent) != nullptr)
        return false;
    wchar_t className[kClassChars];
    ReadClass(grandparent, className);
    return _wcsicmp(className, L"WorkerW") == 0 || _wcsicmp(className, L"progman") == 0;
}

// The shell's process owns both its folder windows and the desktop: the
// desktop gets a name of its own so that a profile can target either.
void NameExplorerWindow(HWND window, wchar_t* name, int size)
{
    HWND target = window;
    if (target == nullptr)
    {
        POINT cursor = {};
        ::GetCursorPos(&cursor);
        target = RealWindowFromPoint(cursor);
    }
    CopyBounded(name, size, L"explorer.exe");
    if (IsDesktopWindowOfShell(target))
        AppendBounded(name, size, L" (Desktop)");
}

// GetProcessName itself. modern is set, never cleared, when the look-up meets
// a host of "modern UI" apps, also on its way to the window a frame hosts: the
// answer then depends on what the host shows, not only on its process.
bool NameProcess(HWND window, DWORD pid, wchar_t* name, int size, int* recursion, int reason, bool& modern)
{
    if (name == nullptr || size <= 0)
        return false;
    int freshCount = 0;
    if (recursion == nullptr)
        recursion = &freshCount;
    const wchar_t* reasonText = ProcessNameReasonText(reason);

    if (pid == 0 && window != nullptr)
        pid = windowfacts::ProcessId(window);

    const DWORD start = ::GetTickCount();
    const unsigned windowId = HandleNumber(window);

    if (*recursion > kMaxRecursion)
    {
        CLogger::LogMessage(L"Recursion Protection : Unable to answer GetProcessByName(%s) request for window 0x%08X (PID: 0x%08X) '%s'. ",
                            reasonText, windowId, static_cast<unsigned>(pid), name);
        return false;
    }
    ++*recursion;

    wchar_t cached[kNameChars] = {};
    bool hit = false;
    bool cachedModern = false;
    {
        SlimLock cache(g_nameCacheLock);
        if (pid == g_cachedPid)
        {
            hit = true;
            cachedModern = g_cachedModern;
            CopyBounded(cached, kNameChars, g_cachedName);
        }
    }
    if (hit)
    {
        const bool explorer = _wcsnicmp(cached, L"explorer.exe", 12) == 0;
        const bool frameHost = _wcsicmp(cached, L"applicationframehost.exe") == 0;
        if (!explorer && !frameHost)
        {
            modern = modern || cachedModern;
            CopyBounded(name, size, cached);
            return true;
        }
        if (explorer)
        {
            // Only the desktop part of the name depends on the window: the
            // process is the one already named.
            CLogger::LogDebug(L"GetProcessName(%d %s): Called for the same PID %d [%s] but as it is explorer.exe, we will check anyway HWND 0x%08X",
                              reason, reasonText, static_cast<int>(pid), cached, windowId);
            NameExplorerWindow(window, name, size);
            return true;
        }
        modern = true;
        CLogger::LogDebug(L"GetProcessName(%d %s): Called for the same PID %d [%s] but as it is a modern UI app, we will check anyway HWND 0x%08X",
                          reason, reasonText, static_cast<int>(pid), cached, windowId);
    }

    wchar_t found[kNameChars] = {};
    bool result = NameFromOpenProcess(window, pid, reason, found, kNameChars);
    if (!result)
        result = NameFromSnapshot(window, pid, reason, found, kNameChars);

    bool hostedName = false;
    if (result)
    {
        if (_wcsicmp(found, L"applicationframehost.exe") == 0)
        {
            modern = true;
            if (window != nullptr)
            {
                // The frame hosts another process's window: name that one instead.
                if (::GetAncestor(window, GA_ROOT) == window)
                {
                    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
                    {
                        DWORD childPid = 0;
                        ::GetWindowThreadProcessId(child, &childPid);
                        if (childPid != pid)
                            return NameProcess(child, childPid, name, size, recursion, PNR_UniversalApp3, modern);
                    }
                }
                else if (HWND above = ::GetWindow(window, GW_HWNDPREV))
                {
                    DWORD abovePid = 0;
                    ::GetWindowThreadProcessId(above, &abovePid);
                    return NameProcess(above, abovePid, name, size, recursion, PNR_UniversalApp2, modern);
                }
            }
        }
        else if (_wcsicmp(found, L"explorer.exe") == 0)
            NameExplorerWindow(window, found, kNameChars);
        else if (_wcsicmp(found, L"wwahost.exe") == 0 && window != nullptr)
        {
            modern = true;
            hostedName = true;
            CopyBounded(found, kNameChars, L"modern ui");
            // The title as the window server keeps it, as captions are read.
            wchar_t title[1025] = {};
            HWND root = ::GetAncestor(window, GA_ROOT);
            if (root != nullptr && ::InternalGetWindowText(root, title, 1025) > 0)
            {
                for (wchar_t* c = title; *c != L'\0'; ++c)
                    *c = static_cast<wchar_t>(std::towlower(*c));
                AppendBounded(found, kNameChars, L" - ");
                AppendBounded(found, kNameChars, title);
            }
        }
        {
            SlimLock cache(g_nameCacheLock);
            CopyBounded(g_cachedName, kNameChars, found);
            g_cachedModern = hostedName;
            g_cachedPid = pid;
        }
        CopyBounded(name, size, found);
    }
    else
    {
        SlimLock cache(g_nameCacheLock);
        g_cachedPid = static_cast<DWORD>(-1);
        g_cachedName[0] = L'\0';
    }
    CLogger::LogDebug(L"GetProcessName result %d time %dms", result ? 1 : 0, static_cast<int>(::GetTickCount() - start));
    return result;
}
} // namespace

bool GetProcessName(HWND window, DWORD pid, wchar_t* name, int size, int* recursion, int reason, bool* modernUI)
{
    bool modern = false;
    const bool result = NameProcess(window, pid, name, size, recursion, reason, modern);
    if (modernUI != nullptr)
        *modernUI = modern;
    return result;
}

// --- the matching profile --------------------------------------------------------

CApplicationSettings* FindAppSettings(HWND window, const wchar_t* processName, POINT point, bool* taskbar)
{
    if (taskbar != nullptr)
        *taskbar = false;
    if (g_pSettings == nullptr)
        return nullptr;
    if (processName == nullptr)
        processName = L"";

    std::list<CApplicationSettings*>& custom = *g_pSettings->GetCustomApplications();
    if (!custom.empty())
    {
        wchar_t className[kClassChars];
        wchar_t parentClass[kClassChars];
        wchar_t grandparentClass[kClassChars];
        ReadClass(window, className);
        HWND parent = ParentOf(window);
        const bool windowHasParent = ReadClass(parent, parentClass);
        HWND grandparent = ParentOf(parent);
        const bool parentHasParent = ReadClass(grandparent, grandparentClass);
        if (taskbar != nullptr && (ContainsText(className, L"TaskListThumbnailWnd") || ContainsText(className, L"MSTaskListWClass")))
            *taskbar = true;
        CLogger::LogDebug(L"FindAppSettings: Looking for matching profile... Process '%s' class '%s' parent class '%s' parent of parent class '%s'.",
                          processName, className, parentClass, grandparentClass);

        CaptionReader windowCaption{processName};
        CaptionReader parentCaption{processName};
        const bool areas = g_bAreaAppsPresent;

        for (CApplicationSettings* profile : custom)
        {
            if (profile == nullptr || !profile->IsEnabled() || !profile->MatchProcess(processName, window))
                continue;
            const int type = profile->GetMatchType();

            if (type == 1 || type == 3 || type == 5)
            {
                bool pass = profile->MatchClass(className);
                if (pass)
                {
                    if (profile->NoParent())
                        pass = !windowHasParent;
                    else
                    {
                        pass = profile->MatchParentClass(parentClass);
                        if (!pass && type == 5)
                        {
                            for (HWND ancestor = grandparent; ancestor != nullptr && !pass; ancestor = ParentOf(ancestor))
                            {
                                wchar_t ancestorClass[kClassChars];
                                ReadClass(ancestor, ancestorClass);
                                pass = (profile->GetClass() != nullptr && profile->MatchClass(ancestorClass)) ||
                                       profile->MatchParentClass(ancestorClass);
                            }
                        }
                    }
                }
                const wchar_t* caption = L"";
                if (pass && profile->GetCaption() != nullptr)
                {
                    caption = windowCaption.Of(window, className);
                    pass = profile->MatchCaption(caption);
                    if (!pass && parent != nullptr)
                    {
                        caption = parentCaption.Of(parent, parentClass);
                        pass = profile->MatchCaption(caption);
                    }
                    for (HWND ancestor = grandparent; !pass && ancestor != nullptr; ancestor = ParentOf(ancestor))
                        pass = CaptionOfAccepted(profile, ancestor, processName);
                }
                if (pass && areas)
                    pass = MatchWindowArea(window, profile, point);
                if (pass)
                {
                    LogProfile(L"Found window profile '%s' for '%s', '%s', '%s', '%s'.", profile, processName, caption,
                               className, parentClass);
                    return profile;
                }
            }

            if (type == 2 || type == 3)
            {
                bool pass = parent != nullptr && profile->MatchClass(parentClass);
                if (pass)
                    pass = profile->NoParent() ? !parentHasParent : profile->MatchParentClass(grandparentClass);
                const wchar_t* caption = L"";
                if (pass)
                {
                    caption = parentCaption.Of(parent, parentClass);
                    pass = profile->MatchCaption(caption);
                }
                if (pass && areas)
                    pass = MatchWindowArea(window, profile, point);
                if (pass)
                {
                    LogProfile(L"Found parent window profile '%s' for process: '%s', caption: '%s', class: '%s', parent class: '%s'.",
                               profile, processName, caption, parentClass, grandparentClass);
                    return profile;
                }
            }

            if (type == 4 || type == 5)
            {
                int number = 1;
                for (HWND ancestor = parent; ancestor != nullptr; ancestor = ParentOf(ancestor), ++number)
                {
                    wchar_t ancestorClass[kClassChars];
                    ReadClass(ancestor, ancestorClass);
                    if (!profile->MatchClass(ancestorClass))
                        continue;
                    HWND above = ParentOf(ancestor);
                    if (!ParentRuleAccepts(profile, above))
                        continue;
                    wchar_t caption[kMaxCaptionChars + 1] = {};
                    if (!GetWindowCaption(ancestor, processName, caption, kMaxCaptionChars + 1, ancestorClass))
                        caption[0] = L'\0';
                    if (!profile->MatchCaption(caption))
                        continue;
                    if (areas && !MatchWindowArea(ancestor, profile, point))
                        continue;
                    wchar_t aboveClass[kClassChars];
                    ReadClass(above, aboveClass);
                    const wchar_t* description = profile->GetDescription() != nullptr ? profile->GetDescription() : L"";
                    CLogger::LogMessage(L"Found ancestor(%d) window profile '%s' for process: '%s', caption: '%s', class: '%s', parent class: '%s'.",
                                        number, description, processName, caption, ancestorClass, aboveClass);
                    return profile;
                }
            }
        }
    }

    for (CApplicationSettings* profile : *g_pSettings->GetApplications())
    {
        if (profile == nullptr || !profile->IsEnabled() || !profile->MatchProcess(processName, window))
            continue;
        const wchar_t* description = profile->GetDescription() != nullptr ? profile->GetDescription() : L"";
        CLogger::LogMessage(L"Found application profile '%s' for '%s'.", description, processName);
        return profile;
    }

    CLogger::LogDebug(L"FindAppSettings: Matching profile not found.");
    return g_pSettings->GetDefaultApp();
}

// --- the profile in force --------------------------------------------------------

void RecordProfileMask(CApplicationSettings* profile)
{
    if (profile == nullptr)
    {
        g_currentMasked = false;
        g_currentMask = 0;
        return;
    }
    const int mask = ProfileWindowMask(profile);
    g_currentMasked = mask != WINDOWMASK_ALL;
    g_currentMask = g_currentMasked ? mask : 0;
}

bool CurrentProfileMasked()
{
    return g_currentMasked;
}

int CurrentProfileMask()
{
    return g_currentMask;
}

void NotifyProcessChanged(HWND window, CApplicationSettings* profile)
{
    HWND setup = g_engine.hSetupWnd;
    if (setup == nullptr || !::IsWindow(setup))
        return;
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutW(setup, BRMP_ProcessChanged, reinterpret_cast<WPARAM>(window),
                              reinterpret_cast<LPARAM>(profile), SMTO_ABORTIFHUNG, kProcessChangedTimeoutMs, &result) == 0)
    {
        // A note not taken in time may be dropped with the send (Wine does):
        // the dialog, busy or hung now, then reads of the switch once free.
        ::PostMessageW(setup, BRMP_ProcessChanged, reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(profile));
    }
}

namespace
{
std::atomic<unsigned> g_profileSwitches{0};
std::atomic<HWND> g_lastSwitchWindow{nullptr};
} // namespace

bool InstallProfile(HWND window, const wchar_t* processName, CApplicationSettings* profile, bool modernUI)
{
    CThreadLock lock(L"InstallProfile");
    if (profile == g_engine.pCurrentApp)
        return false;
    CopyBounded(g_engine.szCurrentProcess, MAX_PATH, processName);
    g_engine.hCurrentWnd = window;
    g_engine.bCurrentModernUI = modernUI;
    g_engine.hProfileWnd = (profile != nullptr && profile->IsCustomWindow()) ? window : nullptr;
    SetNewApp(profile);
    g_lastSwitchWindow = window;
    g_profileSwitches.fetch_add(1, std::memory_order_acq_rel);
    // A profile that activates windows on hover needs the mouse-over poll.
    EnsureMouseOverPoll();
    return true;
}

unsigned ProfileSwitchCount()
{
    return g_profileSwitches.load(std::memory_order_acquire);
}

HWND LastSwitchWindow()
{
    return g_lastSwitchWindow.load(std::memory_order_acquire);
}

void ApplyProfileSwitch(HWND window, CApplicationSettings* profile)
{
    // The new profile's pointer speed, button swap and wheel lines.
    NewApplicationSettings();
    NotifyProcessChanged(window, profile);
}

bool SwitchToProfile(HWND window, const wchar_t* processName, CApplicationSettings* profile, bool modernUI)
{
    if (!InstallProfile(window, processName, profile, modernUI))
        return false;
    ApplyProfileSwitch(window, profile);
    return true;
}

// --- wheel tests -----------------------------------------------------------------

namespace
{
int WheelActionCode(int button)
{
    if (g_pSettings == nullptr)
        return ACTION_NO_CHANGE;
    return ResolveSlot(g_engine.pCurrentApp, g_pSettings->GetDefaultApp(), button, g_engine.nCurrentLayer).code;
}
} // namespace

bool ThrottleScrollWheel(int button, POINT)
{
    if (g_engine.pCurrentApp == nullptr)
        return true;
    switch (WheelActionCode(button))
    {
    case ACTION_LEFT_CLICK:
    case ACTION_RIGHT_CLICK:
    case ACTION_MIDDLE_CLICK:
    case ACTION_SIMULATED_KEYS:
    case ACTION_MOUSE_WHEEL_UP:
    case ACTION_MOUSE_WHEEL_DOWN:
    case ACTION_MOUSE_TILT_LEFT:
    case ACTION_MOUSE_TILT_RIGHT:
    case ACTION_CLICK_BUTTON_4:
    case ACTION_CLICK_BUTTON_5:
        CLogger::LogDebug(L"ThrottleScrollWheel: Skipping wheel throttle.");
        return false;
    default:
        return true;
    }
}

bool HasWheelAction(int button)
{
    if (g_engine.pCurrentApp == nullptr)
        return false;
    const int code = WheelActionCode(button);
    return code != ACTION_NO_CHANGE && code != ACTION_SAME_AS_DEFAULT && code != ACTION_SAME_AS_LAYER_1;
}
