// Window under the cursor. The cache and the tooltip records are shared by the
// hook thread, the timer thread and exported callers, so each is copied in and
// out whole under a slim lock that is only ever held for a copy.

#include "WindowFromPoint.h"

#include <cwchar>
#include <cwctype>
#include <optional>

#include "Clock.h"
#include "DpiScaling.h"
#include "Logger.h"
#include "ThreadLock.h"
#include "WindowFacts.h"

namespace
{
constexpr LONG kResetCoordinate = -1000000;
constexpr DWORD kResetTick = static_cast<DWORD>(-1000000);
constexpr int kClassChars = 260;

struct WindowCache
{
    HWND window = nullptr;
    POINT point = {kResetCoordinate, kResetCoordinate};
    DWORD tick = kResetTick;
};

// What the last window answered was: only a tool window's class, and only a
// tooltip's parent, are ever needed, so only those are read.
struct TooltipRecord
{
    HWND last = nullptr;       // the window the cache answered last
    HWND parent = nullptr;     // of a tooltip
    HWND answer = nullptr;
    HWND probed = nullptr;     // what lies just above a parentless tooltip
    HWND probedParent = nullptr;
    POINT probedAt = {kResetCoordinate, kResetCoordinate};   // the point probed there
    bool parentlessTooltip = false;
    LONG exStyle = 0;
    wchar_t className[kClassChars] = {};   // of a tool window, in lower case
};

SRWLOCK g_cacheLock = SRWLOCK_INIT;
WindowCache g_cache;
bool g_heldForScroll = false;

SRWLOCK g_tooltipLock = SRWLOCK_INIT;
TooltipRecord g_lockedTooltips;     // RealWindowFromPoint
TooltipRecord g_skipLockTooltips;   // RealWindowFromPoint_SkipLocked

bool StartsWithIgnoreCase(const wchar_t* text, const wchar_t* prefix)
{
    return text != nullptr && _wcsnicmp(text, prefix, std::wcslen(prefix)) == 0;
}

struct DeepestSearch
{
    POINT point;
    bool includeHidden;
    HWND kept;
    long long keptArea;
    HWND visible;   // known to be visible (the window the system found at the point)
};

BOOL CALLBACK KeepDeepest(HWND window, LPARAM param)
{
    DeepestSearch& search = *reinterpret_cast<DeepestSearch*>(param);
    RECT rect;
    if (!::GetWindowRect(window, &rect) || !::PtInRect(&rect, search.point))
        return TRUE;
    if (!search.includeHidden && window != search.visible && !::IsWindowVisible(window))
        return TRUE;
    const long long area = static_cast<long long>(rect.right - rect.left) * (rect.bottom - rect.top);
    wchar_t className[kClassChars] = {};
    if (search.keptArea >= 0 && area == search.keptArea)
        windowfacts::ClassName(window, className, kClassChars);
    if (ReplacesKeptWindow(search.keptArea, area, className))
    {
        search.kept = window;
        search.keptArea = area;
    }
    return TRUE;
}

// The cached window for point, or a fresh lookup stored in the cache.
HWND CachedWindowFromPoint(POINT point, bool dropDeadWindow)
{
    const DWORD now = TickNow();
    WindowCache seen;
    bool held;
    {
        SlimLock lock(g_cacheLock);
        seen = g_cache;
        held = g_heldForScroll;
    }
    if (seen.window != nullptr && UseCachedWindow(seen.point, seen.tick, point, now, held))
    {
        // Only a window about to be answered is asked whether it still is one.
        if (!dropDeadWindow || ::IsWindow(seen.window))
        {
            SlimLock lock(g_cacheLock);
            if (g_cache.window == seen.window)
                g_cache.tick = now;
            return seen.window;
        }
        ResetWindowFromPointCache();
    }

    HWND window = WindowFromPointEx(point, 0);
    SlimLock lock(g_cacheLock);
    g_cache.window = window;
    g_cache.point = point;
    g_cache.tick = now;
    return window;
}

// A tooltip without a parent is moved from tool to tool, over one window and
// then another: what lies just above it is asked again whenever that point is
// another one, or the window found there went.
HWND AnswerAboveTooltip(TooltipRecord& record, HWND window, POINT point)
{
    RECT rect;
    if (!::GetWindowRect(window, &rect))
    {
        record.answer = window;
        return window;
    }
    const POINT above = {point.x, rect.top - 1};
    if (above.x == record.probedAt.x && above.y == record.probedAt.y &&
        (record.answer == window || ::IsWindow(record.answer)))
        return record.answer;
    record.probedAt = above;
    record.probed = ::WindowFromPoint(above);
    record.probedParent = record.probed != nullptr ? ::GetParent(record.probed) : nullptr;
    record.answer = record.probed != nullptr && record.probed != window ? record.probed : window;
    return record.answer;
}

// Brings record up to date for window and returns the window to answer.
HWND SeeThroughTooltip(TooltipRecord& record, HWND window, POINT point, bool mayLog)
{
    if (window == record.last && record.parentlessTooltip)
        return AnswerAboveTooltip(record, window, point);
    // The answer for a tooltip is another window, which may be gone since.
    if (window == record.last && (record.answer == window || ::IsWindow(record.answer)))
        return record.answer;

    record.last = window;
    record.answer = window;
    record.parent = nullptr;
    record.probedAt = POINT{kResetCoordinate, kResetCoordinate};
    record.parentlessTooltip = false;
    record.exStyle = window != nullptr ? windowfacts::ExStyle(window) : 0;
    record.className[0] = L'\0';
    if (window == nullptr || (record.exStyle & WS_EX_TOOLWINDOW) == 0)
        return window;

    windowfacts::ClassName(window, record.className, kClassChars);
    for (wchar_t* c = record.className; *c != L'\0'; ++c)
        *c = static_cast<wchar_t>(std::towlower(*c));
    if (std::wcsstr(record.className, L"tooltip") == nullptr)
        return window;
    record.parent = windowfacts::Parent(window);

    // The hook's road stays free of the logger (it may allocate).
    if (mayLog)
        CLogger::LogDebug(L"Mouse pointer over toot tip '%s' - trying to get real parent!", record.className);
    if (record.parent != nullptr)
    {
        record.answer = record.parent;
        return record.answer;
    }
    record.parentlessTooltip = true;
    return AnswerAboveTooltip(record, window, point);
}

HWND AnswerThroughTooltip(TooltipRecord& shared, HWND window, POINT point, bool mayLog)
{
    TooltipRecord record;
    {
        SlimLock lock(g_tooltipLock);
        record = shared;
    }
    HWND answer = SeeThroughTooltip(record, window, point, mayLog);
    SlimLock lock(g_tooltipLock);
    shared = record;
    return answer;
}
}

bool UseCachedWindow(POINT cachedPoint, DWORD lastUse, POINT point, DWORD now, bool heldForScroll)
{
    if (now - lastUse > kWindowCacheMs)
        return false;
    if (heldForScroll)
        return true;
    const long long dx = static_cast<long long>(point.x) - cachedPoint.x;
    const long long dy = static_cast<long long>(point.y) - cachedPoint.y;
    return dx >= -kWindowCachePixels && dx <= kWindowCachePixels && dy >= -kWindowCachePixels && dy <= kWindowCachePixels;
}

bool ReplacesKeptWindow(long long keptArea, long long area, const wchar_t* className)
{
    if (keptArea < 0 || area < keptArea)
        return true;
    return area == keptArea && StartsWithIgnoreCase(className, L"static");
}

HWND WindowFromPointEx(POINT point, int includeHidden)
{
    CWindowFactsScope facts(CWindowFactsScope::Captions::ByMessage);
    // WindowFromPoint and WindowFromPhysicalPoint answer visible windows only;
    // the search for the child at the point may give a hidden one. Each
    // question is a round trip to the window server under Wine, and the hooks
    // ask after every move: of a window without children (the usual answer of
    // WindowFromPhysicalPoint) the child at the point and the search below it
    // are known without asking.
    bool childFound = false;
    bool childless = false;
    HWND window = nullptr;
    if (!ScalingActive() && PhysicalWindowLookupBound())
    {
        window = PhysicalWindowAt(point);
        if (window != nullptr && ::GetWindow(window, GW_CHILD) == nullptr)
            childless = true;
        else if (window != nullptr)
            window = ChildAtScreenPoint(window, point, &childFound);
    }
    if (window == nullptr)
        window = ::WindowFromPoint(point);
    if (window == nullptr)
        return nullptr;
    if (childFound && !::IsWindowVisible(window))
    {
        window = windowfacts::Parent(window);
        if (window == nullptr)
            return nullptr;
    }

    const LONG style = windowfacts::Style(window);
    const LONG exStyle = windowfacts::ExStyle(window);
    if (exStyle & WS_EX_MDICHILD)
        return window;
    // A pop-up or topmost window is searched itself, whatever its parent.
    const bool searchItself = (style & WS_POPUP) != 0 || (exStyle & WS_EX_TOPMOST) != 0;
    HWND parent = searchItself ? nullptr : windowfacts::Parent(window);
    HWND base = parent == nullptr ? window : parent;
    if (base == window && childless)
        return window;

    // The window found is visible (WindowFromPoint and WindowFromPhysicalPoint
    // answer visible windows only, and a hidden child was left for its parent):
    // the search need not ask again when it meets it.
    DeepestSearch search = {point, includeHidden == 1, nullptr, -1, window};
    ::EnumChildWindows(base, KeepDeepest, reinterpret_cast<LPARAM>(&search));
    // Unless hidden windows were asked for, the answer is visible already: the
    // search keeps visible windows only, window is visible, and so is the
    // parent of a visible window.
    return search.kept != nullptr ? search.kept : base;
}

HWND RealWindowFromPoint(POINT point)
{
    CWindowFactsScope facts(CWindowFactsScope::Captions::ByMessage);
    HWND window = CachedWindowFromPoint(point, false);
    CThreadLock lock(L"RealWindowFromPoint");
    return AnswerThroughTooltip(g_lockedTooltips, window, point, true);
}

HWND RealWindowFromPoint_SkipLocked(POINT point, bool skipLock)
{
    std::optional<CThreadTryLock> lock;
    if (!skipLock)
    {
        lock.emplace(L"RealWindowFromPoint");
        if (!*lock)
            return nullptr;
    }
    CWindowFactsScope facts(CWindowFactsScope::Captions::ByMessage);
    HWND window = CachedWindowFromPoint(point, true);
    return AnswerThroughTooltip(g_skipLockTooltips, window, point, false);
}

void ResetWindowFromPointCache()
{
    SlimLock lock(g_cacheLock);
    g_cache = WindowCache();
}

void SetWindowCacheHeldForScroll(bool held)
{
    SlimLock lock(g_cacheLock);
    g_heldForScroll = held;
}

LRESULT NonClientHitTest(HWND window, POINT point)
{
    DWORD_PTR result = HTCLIENT;
    const LPARAM position = MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y));
    if (window == nullptr ||
        ::SendMessageTimeoutW(window, WM_NCHITTEST, 0, position, SMTO_ABORTIFHUNG, kHitTestTimeoutMs, &result) == 0)
        return HTCLIENT;
    return static_cast<LRESULT>(result);
}
