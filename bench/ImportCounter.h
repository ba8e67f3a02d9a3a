#pragma once
// Counts what one module (the benchmark, into which the library is linked)
// asks of the system: the calls it makes through its import table to
// functions that may cross to another process (a round trip to the window
// server under Wine, a kernel transition on Windows),
// and its heap allocations (operator new and malloc of the shared runtime).
// The import table of the module is patched in place, so nothing in the module
// changes; functions it binds at run time by name are counted when the module
// asks GetProcAddress for them after Install.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

namespace importcount
{
enum Counter
{
    GetCursorPosCalls,
    GetPhysicalCursorPosCalls,
    IsWindowCalls,
    WindowFromPointCalls,
    WindowFromPhysicalPointCalls,
    ChildWindowFromPointExCalls,
    EnumChildWindowsCalls,
    GetWindowLongWCalls,
    GetWindowLongPtrWCalls,
    GetParentCalls,
    GetAncestorCalls,
    GetClassNameWCalls,
    GetWindowThreadProcessIdCalls,
    GetSystemMetricsCalls,
    GetAsyncKeyStateCalls,
    GetKeyStateCalls,
    GetForegroundWindowCalls,
    GetGUIThreadInfoCalls,
    IsWindowVisibleCalls,
    GetWindowRectCalls,
    SendMessageTimeoutWCalls,
    PostMessageWCalls,
    PostThreadMessageWCalls,
    CallNextHookExCalls,
    GetWindowTextWCalls,
    InternalGetWindowTextCalls,
    SetTimerCalls,
    KillTimerCalls,
    OpenProcessCalls,
    QueryFullProcessImageNameWCalls,
    OutputDebugStringWCalls,
    WriteFileCalls,
    SetEventCalls,
    CrossProcessCounters, // counters below are not system calls
    OperatorNew = CrossProcessCounters,
    Malloc,
    OperatorNewArray,
    CounterCount
};

inline const char* const kNames[CounterCount] = {
    "GetCursorPos", "GetPhysicalCursorPos", "IsWindow", "WindowFromPoint", "WindowFromPhysicalPoint",
    "ChildWindowFromPointEx", "EnumChildWindows", "GetWindowLongW", "GetWindowLongPtrW", "GetParent",
    "GetAncestor", "GetClassNameW", "GetWindowThreadProcessId", "GetSystemMetrics", "GetAsyncKeyState",
    "GetKeyState", "GetForegroundWindow", "GetGUIThreadInfo", "IsWindowVisible", "GetWindowRect",
    "SendMessageTimeoutW", "PostMessageW", "PostThreadMessageW", "CallNextHookEx", "GetWindowTextW",
    "InternalGetWindowText", "SetTimer", "KillTimer", "OpenProcess", "QueryFullProcessImageNameW",
    "OutputDebugStringW", "WriteFile", "SetEvent", "operator new", "malloc", "operator new[]"};

inline std::atomic<long> g_counts[CounterCount];
// Only the measuring thread's calls count (the library's worker threads run beside it).
inline std::atomic<DWORD> g_countedThread{0};

inline void Count(int counter)
{
    if (::GetCurrentThreadId() == g_countedThread.load(std::memory_order_relaxed))
        g_counts[counter].fetch_add(1, std::memory_order_relaxed);
}

template <int Id, typename Fn>
struct Wrapper;

template <int Id, typename R, typename... A>
struct Wrapper<Id, R (*)(A...)>
{
    static inline void* original = nullptr;
    static R Call(A... args)
    {
        Count(Id);
        return reinterpret_cast<R (*)(A...)>(original)(args...);
    }
};

struct Patch
{
    const char* dll;     // null: any module
    const char* name;
    void* replacement;
    void** original;
};

// Replaces the named imports of module; returns how many were found.
inline int PatchImports(HMODULE module, const Patch* patches, int count)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return 0;
    int found = 0;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); import->Name != 0; ++import)
    {
        const char* dll = reinterpret_cast<const char*>(base + import->Name);
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots)
        {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* name = reinterpret_cast<const char*>(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            for (int i = 0; i < count; ++i)
            {
                if (std::strcmp(name, patches[i].name) != 0 || (patches[i].dll != nullptr && _stricmp(dll, patches[i].dll) != 0))
                    continue;
                DWORD protection = 0;
                ::VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
                *patches[i].original = reinterpret_cast<void*>(slots->u1.Function);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(patches[i].replacement);
                ::VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
                ++found;
            }
        }
    }
    return found;
}

#define IMPORTCOUNT_PATCH(dll, fn)                                                                                     \
    Patch                                                                                                              \
    {                                                                                                                  \
        dll, #fn, reinterpret_cast<void*>(&Wrapper<fn##Calls, decltype(&::fn)>::Call),                                 \
            &Wrapper<fn##Calls, decltype(&::fn)>::original                                                             \
    }

using WindowFromPhysicalPointFn = HWND (*)(POINT);
using GetPhysicalCursorPosFn = BOOL (*)(LPPOINT);
using MallocFn = void* (*)(size_t);

inline void* g_getProcAddress = nullptr;

// Functions the module binds by name get counting wrappers too.
inline FARPROC CountingGetProcAddress(HMODULE module, LPCSTR name)
{
    auto real = reinterpret_cast<FARPROC (*)(HMODULE, LPCSTR)>(g_getProcAddress);
    FARPROC found = real(module, name);
    if (found == nullptr || IS_INTRESOURCE(name))
        return found;
    if (std::strcmp(name, "WindowFromPhysicalPoint") == 0)
    {
        Wrapper<WindowFromPhysicalPointCalls, WindowFromPhysicalPointFn>::original = reinterpret_cast<void*>(found);
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&Wrapper<WindowFromPhysicalPointCalls, WindowFromPhysicalPointFn>::Call));
    }
    if (std::strcmp(name, "GetPhysicalCursorPos") == 0)
    {
        Wrapper<GetPhysicalCursorPosCalls, GetPhysicalCursorPosFn>::original = reinterpret_cast<void*>(found);
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&Wrapper<GetPhysicalCursorPosCalls, GetPhysicalCursorPosFn>::Call));
    }
    return found;
}

// Patches module (the library) and returns the number of imports replaced.
inline int Install(HMODULE module)
{
    static const Patch patches[] = {
        IMPORTCOUNT_PATCH("user32.dll", GetCursorPos),
        IMPORTCOUNT_PATCH("user32.dll", IsWindow),
        IMPORTCOUNT_PATCH("user32.dll", WindowFromPoint),
        IMPORTCOUNT_PATCH("user32.dll", ChildWindowFromPointEx),
        IMPORTCOUNT_PATCH("user32.dll", EnumChildWindows),
        IMPORTCOUNT_PATCH("user32.dll", GetWindowLongW),
        IMPORTCOUNT_PATCH("user32.dll", GetWindowLongPtrW),
        IMPORTCOUNT_PATCH("user32.dll", GetParent),
        IMPORTCOUNT_PATCH("user32.dll", GetAncestor),
        IMPORTCOUNT_PATCH("user32.dll", GetClassNameW),
        IMPORTCOUNT_PATCH("user32.dll", GetWindowThreadProcessId),
        IMPORTCOUNT_PATCH("user32.dll", GetSystemMetrics),
        IMPORTCOUNT_PATCH("user32.dll", GetAsyncKeyState),
        IMPORTCOUNT_PATCH("user32.dll", GetKeyState),
        IMPORTCOUNT_PATCH("user32.dll", GetForegroundWindow),
        IMPORTCOUNT_PATCH("user32.dll", GetGUIThreadInfo),
        IMPORTCOUNT_PATCH("user32.dll", IsWindowVisible),
        IMPORTCOUNT_PATCH("user32.dll", GetWindowRect),
        IMPORTCOUNT_PATCH("user32.dll", SendMessageTimeoutW),
        IMPORTCOUNT_PATCH("user32.dll", PostMessageW),
        IMPORTCOUNT_PATCH("user32.dll", PostThreadMessageW),
        IMPORTCOUNT_PATCH("user32.dll", CallNextHookEx),
        IMPORTCOUNT_PATCH("user32.dll", GetWindowTextW),
        IMPORTCOUNT_PATCH("user32.dll", InternalGetWindowText),
        IMPORTCOUNT_PATCH("user32.dll", SetTimer),
        IMPORTCOUNT_PATCH("user32.dll", KillTimer),
        IMPORTCOUNT_PATCH("kernel32.dll", OpenProcess),
        IMPORTCOUNT_PATCH("kernel32.dll", QueryFullProcessImageNameW),
        IMPORTCOUNT_PATCH("kernel32.dll", OutputDebugStringW),
        IMPORTCOUNT_PATCH("kernel32.dll", WriteFile),
        IMPORTCOUNT_PATCH("kernel32.dll", SetEvent),
        Patch{nullptr, "_Znwy", reinterpret_cast<void*>(&Wrapper<OperatorNew, void* (*)(size_t)>::Call),
              &Wrapper<OperatorNew, void* (*)(size_t)>::original},
        Patch{nullptr, "_Znay", reinterpret_cast<void*>(&Wrapper<OperatorNewArray, void* (*)(size_t)>::Call),
              &Wrapper<OperatorNewArray, void* (*)(size_t)>::original},
        Patch{nullptr, "malloc", reinterpret_cast<void*>(&Wrapper<Malloc, MallocFn>::Call), &Wrapper<Malloc, MallocFn>::original},
        Patch{nullptr, "GetProcAddress", reinterpret_cast<void*>(&CountingGetProcAddress), &g_getProcAddress},
    };
    return PatchImports(module, patches, static_cast<int>(sizeof(patches) / sizeof(patches[0])));
}

struct Snapshot
{
    long counts[CounterCount] = {};
    static Snapshot Take()
    {
        Snapshot snapshot;
        for (int i = 0; i < CounterCount; ++i)
            snapshot.counts[i] = g_counts[i].load();
        return snapshot;
    }
};

// Prints the calls per event made between before and after, largest first.
inline void PrintPerEvent(const Snapshot& before, const Snapshot& after, int events)
{
    double crossing = 0;
    for (int i = 0; i < CrossProcessCounters; ++i)
        crossing += after.counts[i] - before.counts[i];
    std::printf("      system calls per event %.2f:", crossing / events);
    for (int i = 0; i < CrossProcessCounters; ++i)
    {
        const long calls = after.counts[i] - before.counts[i];
        if (calls != 0)
            std::printf(" %s %.2f", kNames[i], static_cast<double>(calls) / events);
    }
    std::printf("\n      allocations per event: operator new %.2f, malloc %.2f\n",
                static_cast<double>(after.counts[OperatorNew] - before.counts[OperatorNew] + after.counts[OperatorNewArray] -
                                    before.counts[OperatorNewArray]) / events,
                static_cast<double>(after.counts[Malloc] - before.counts[Malloc]) / events);
}
}
