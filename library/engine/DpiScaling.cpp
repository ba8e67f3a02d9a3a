// Optional DPI functions, bound once. Every answer falls back to the plain
// system call when a function is missing, so callers never check themselves.

#include "DpiScaling.h"

#include <atomic>

#include "Logger.h"
#include "OSVersion.h"

namespace
{
using WindowFromPhysicalPointFn = HWND(WINAPI*)(POINT);
using GetPhysicalCursorPosFn = BOOL(WINAPI*)(LPPOINT);
using LogicalToPhysicalPointFn = BOOL(WINAPI*)(HWND, LPPOINT);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

constexpr int kEffectiveDpi = 0;   // MDT_EFFECTIVE_DPI

struct ScalingFunctions
{
    WindowFromPhysicalPointFn windowFromPhysicalPoint = nullptr;
    GetPhysicalCursorPosFn getPhysicalCursorPos = nullptr;
    LogicalToPhysicalPointFn logicalToPhysicalPoint = nullptr;
    GetDpiForMonitorFn getDpiForMonitor = nullptr;
};

ScalingFunctions g_functions;
std::atomic<bool> g_scaling{false};
INIT_ONCE g_bound = INIT_ONCE_STATIC_INIT;

template <typename Fn>
Fn Bind(HMODULE module, const char* name)
{
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

BOOL CALLBACK BindOnce(PINIT_ONCE, PVOID, PVOID*)
{
    // Only modules already in the process: loading one here could run on the hook thread.
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    HMODULE shcore = ::GetModuleHandleW(L"shcore.dll");
    g_functions.windowFromPhysicalPoint = Bind<WindowFromPhysicalPointFn>(user32, "WindowFromPhysicalPoint");
    g_functions.getPhysicalCursorPos = Bind<GetPhysicalCursorPosFn>(user32, "GetPhysicalCursorPos");
    g_functions.logicalToPhysicalPoint = Bind<LogicalToPhysicalPointFn>(user32, "LogicalToPhysicalPointForPerMonitorDPI");
    g_functions.getDpiForMonitor = Bind<GetDpiForMonitorFn>(shcore, "GetDpiForMonitor");
    g_scaling = GetOSVersion() >= ActionOS_Win81;
    return TRUE;
}

const ScalingFunctions& Functions()
{
    ::InitOnceExecuteOnce(&g_bound, BindOnce, nullptr, nullptr);
    return g_functions;
}
}

void InitScalingFunctions()
{
    Functions();
    // The version is asked again: a pinned version takes effect here.
    g_scaling = GetOSVersion() >= ActionOS_Win81;
}

namespace
{
constexpr int kPerMonitorAware = 2;   // DPI_AWARENESS_PER_MONITOR_AWARE, PROCESS_PER_MONITOR_DPI_AWARE
std::atomic<int> g_perMonitorAware{-1};

bool AskPerMonitorAware()
{
    using GetThreadContextFn = HANDLE(WINAPI*)();
    using AwarenessOfContextFn = int(WINAPI*)(HANDLE);
    using GetProcessAwarenessFn = HRESULT(WINAPI*)(HANDLE, int*);
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    const auto threadContext = Bind<GetThreadContextFn>(user32, "GetThreadDpiAwarenessContext");
    const auto awarenessOf = Bind<AwarenessOfContextFn>(user32, "GetAwarenessFromDpiAwarenessContext");
    if (threadContext != nullptr && awarenessOf != nullptr)
        return awarenessOf(threadContext()) == kPerMonitorAware;
    const auto processAwareness = Bind<GetProcessAwarenessFn>(::GetModuleHandleW(L"shcore.dll"), "GetProcessDpiAwareness");
    int awareness = 0;
    return processAwareness != nullptr && SUCCEEDED(processAwareness(nullptr, &awareness)) && awareness == kPerMonitorAware;
}
}

bool HookPointIsCursorPosition()
{
    int aware = g_perMonitorAware.load(std::memory_order_relaxed);
    if (aware < 0)
    {
        aware = AskPerMonitorAware() ? 1 : 0;
        g_perMonitorAware.store(aware, std::memory_order_relaxed);
    }
    return aware == 1;
}

bool ScalingActive()
{
    Functions();
    return g_scaling;
}

bool PhysicalWindowLookupBound()
{
    return Functions().windowFromPhysicalPoint != nullptr;
}

BOOL GetPhysCursorPos(LPPOINT point)
{
    if (point == nullptr)
        return FALSE;
    const ScalingFunctions& f = Functions();
    if (f.getPhysicalCursorPos != nullptr)
        return f.getPhysicalCursorPos(point);
    return ::GetCursorPos(point);
}

BOOL GetLogicalCursorPos(HWND window, LPPOINT point)
{
    if (point == nullptr)
        return FALSE;
    const ScalingFunctions& f = Functions();
    if (f.getPhysicalCursorPos != nullptr && f.logicalToPhysicalPoint != nullptr)
    {
        if (!f.getPhysicalCursorPos(point))
            return FALSE;
        f.logicalToPhysicalPoint(window, point);
        return TRUE;
    }
    return ::GetCursorPos(point);
}

HWND PhysicalWindowAt(POINT point)
{
    const ScalingFunctions& f = Functions();
    return f.windowFromPhysicalPoint != nullptr ? f.windowFromPhysicalPoint(point) : nullptr;
}

HWND ChildAtScreenPoint(HWND window, POINT point, bool* childFound)
{
    if (childFound != nullptr)
        *childFound = false;
    POINT client = point;
    if (::ScreenToClient(window, &client))
    {
        HWND child = ::ChildWindowFromPointEx(window, client, CWP_ALL);
        if (child != nullptr)
        {
            if (childFound != nullptr)
                *childFound = child != window;
            return child;
        }
    }
    return window;
}

HWND WindowFromPhysPoint(POINT point, bool* childFound)
{
    if (childFound != nullptr)
        *childFound = false;
    if (HWND window = PhysicalWindowAt(point))
        return ChildAtScreenPoint(window, point, childFound);
    return ::WindowFromPoint(point);
}

int ScaleWin81CursorPos(LPPOINT point)
{
    const ScalingFunctions& f = Functions();
    if (point == nullptr || !g_scaling || f.getDpiForMonitor == nullptr)
        return 0;
    HMONITOR monitor = ::MonitorFromPoint(*point, MONITOR_DEFAULTTONEAREST);
    UINT dpiX = 0;
    UINT dpiY = 0;
    // A monitor without a DPI answer (or a zero one) must not divide by zero.
    if (monitor == nullptr || FAILED(f.getDpiForMonitor(monitor, kEffectiveDpi, &dpiX, &dpiY)) || dpiX == 0 || dpiY == 0)
        return 0;
    const double scaleX = dpiX / 96.0;
    const double scaleY = dpiY / 96.0;
    const POINT source = *point;
    point->x = static_cast<LONG>(source.x / scaleX);
    point->y = static_cast<LONG>(source.y / scaleY);
    if (CLogger::DebugEnabled())
    {
        POINT cursor = {};
        ::GetCursorPos(&cursor);
        CLogger::LogDebug(L"Source point %d, %d  scale %.4lf, %.4lf  Scaled %d, %d  cursor %d, %d  DPI %d, %d, hMon %08X",
                          static_cast<int>(source.x), static_cast<int>(source.y), scaleX, scaleY,
                          static_cast<int>(point->x), static_cast<int>(point->y), static_cast<int>(cursor.x),
                          static_cast<int>(cursor.y), static_cast<int>(dpiX), static_cast<int>(dpiY),
                          HandleNumber(monitor));
    }
    return 1;
}

int GetWin81CursorPos(LPPOINT point)
{
    if (point == nullptr)
        return 0;
    if (!ScalingActive())
        return 1;
    return ::GetCursorPos(point);
}
