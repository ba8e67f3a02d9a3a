#pragma once
// Counts what one module (the benchmark, into which the library is linked)
// asks of other modules on one thread: every function it imports, each call
// counted, and the calls into the system's own DLLs also timed. Every function
// slot of the module's import table is replaced by a small generated thunk,
// so nothing in the module changes and no import is left out; functions the
// module binds at run time by name (GetProcAddress after Install) get a thunk
// too. What the thunks cannot see is named where the counts are printed:
// calls made inside other modules on the module's behalf (the C++ runtime,
// the thread library, the system DLLs themselves).
//
// A thunk checks the calling thread's id (TEB at gs:0x48) against the counted
// thread; on another thread it only jumps on. On the counted thread it counts
// the call, and for a function of a system DLL it also notes the time stamp
// counter and the caller's return address on a shadow stack and makes the
// callee return to a common stub, which adds the elapsed time to the function
// (less the time of timed calls made inside it, which is theirs) and returns
// to the caller. One thread at a time is counted: the counted
// thread is changed only while that thread has no timed call under way (it
// has ended, or it is the caller).
//
// "System calls" are the imports of the system DLLs that may leave the process
// (a round trip to the window server under Wine, a kernel transition on
// Windows): all of them except a short list of functions known to stay in the
// process (locks, clocks, thread ids, rectangles). Allocations are the C
// runtime's and the C++ runtime's allocators, and the module's own operator
// new where it replaces the runtime's (CountOwnAllocation).

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <intrin.h>

namespace importcount
{
constexpr int kMostImports = 1536;
constexpr int kShadowDepth = 256;

enum class Kind : unsigned char
{
    InProcess,    // stays in the process
    SystemCall,   // may cross to another process or the kernel
    Allocation,   // a heap allocation
    Runtime,      // the C++ runtime, the thread library and other modules of ours
};

struct Import
{
    char dll[24];
    char name[48];
    Kind kind;
    bool timed;
};

struct ShadowEntry
{
    unsigned long long returnAddress;
    unsigned long long start;
    unsigned long long index;
    unsigned long long nested;   // stamps spent in timed calls made inside this one
};

// The state the thunks touch, at fixed addresses.
struct State
{
    std::atomic<DWORD> countedThread{0};
    unsigned long long depth = 0;
    ShadowEntry shadow[kShadowDepth] = {};
    long long calls[kMostImports] = {};
    long long ticks[kMostImports] = {};
    long long ownAllocations = 0;
    Import imports[kMostImports] = {};
    int importCount = 0;
    unsigned char* code = nullptr;
    size_t codeUsed = 0;
    size_t codeSize = 0;
    unsigned char* stub = nullptr;
    void* realGetProcAddress = nullptr;
    LONGLONG qpcStart = 0;
    unsigned long long tscStart = 0;
};
inline State g_state;

// Counts the calls of thread (0: none). See the file's note on when it may
// change: the timed calls under way of the thread counted before still return
// through the shadow stack.
inline void SetCountedThread(DWORD thread)
{
    g_state.countedThread.store(thread);
}

inline DWORD CountedThread()
{
    return g_state.countedThread.load();
}

// The module's own operator new, counted as an allocation of the counted thread.
inline void CountOwnAllocation()
{
    if (::GetCurrentThreadId() == g_state.countedThread.load(std::memory_order_relaxed))
        ++g_state.ownAllocations;
}

namespace detail
{
inline bool NameIs(const char* name, const char* const* list)
{
    for (; *list != nullptr; ++list)
        if (std::strcmp(name, *list) == 0)
            return true;
    return false;
}

inline bool DllIs(const char* dll, const char* const* list)
{
    for (; *list != nullptr; ++list)
        if (_stricmp(dll, *list) == 0)
            return true;
    return false;
}

inline const char* const kSystemDlls[] = {
    "kernel32.dll", "user32.dll",  "gdi32.dll",  "advapi32.dll", "shell32.dll", "ole32.dll",   "oleaut32.dll",
    "shlwapi.dll",  "winmm.dll",   "version.dll", "psapi.dll",   "wtsapi32.dll", "imm32.dll",  "comctl32.dll",
    "msimg32.dll",  "uxtheme.dll", "dwmapi.dll", "dbghelp.dll",  "ntdll.dll",   "kernelbase.dll", "dnsapi.dll",
    "wininet.dll",  "urlmon.dll",  "comdlg32.dll", "powrprof.dll", "setupapi.dll", "secur32.dll", "bcrypt.dll",
    nullptr};
// Functions of the system DLLs that stay in the process.
inline const char* const kInProcess[] = {
    "GetTickCount", "GetTickCount64", "QueryPerformanceCounter", "QueryPerformanceFrequency", "GetCurrentThreadId",
    "GetCurrentProcessId", "GetCurrentThread", "GetCurrentProcess", "GetLastError", "SetLastError",
    "EnterCriticalSection", "LeaveCriticalSection", "TryEnterCriticalSection", "InitializeCriticalSection",
    "InitializeCriticalSectionAndSpinCount", "InitializeCriticalSectionEx", "DeleteCriticalSection",
    "TlsGetValue", "TlsSetValue", "FlsGetValue", "AcquireSRWLockExclusive", "AcquireSRWLockShared",
    "ReleaseSRWLockExclusive", "ReleaseSRWLockShared", "TryAcquireSRWLockExclusive", "TryAcquireSRWLockShared",
    "InitializeSRWLock", "GetSystemTimeAsFileTime", "GetSystemTimePreciseAsFileTime", "MultiByteToWideChar",
    "WideCharToMultiByte", "lstrlenW", "lstrlenA", "GetProcessHeap", "IsDebuggerPresent", "HeapFree",
    "InterlockedIncrement", "InterlockedDecrement", "InterlockedExchange", "InterlockedCompareExchange",
    "PtInRect", "UnionRect", "IntersectRect", "SetRect", "SetRectEmpty", "CopyRect", "OffsetRect", "InflateRect",
    "EqualRect", "IsRectEmpty", "CharUpperW", "CharLowerW", "CharUpperBuffW", "CharLowerBuffW", "CharNextW",
    "RtlCaptureContext", "RtlLookupFunctionEntry", "RtlVirtualUnwind", "RtlUnwindEx", "RtlUnwind",
    "EncodePointer", "DecodePointer", "GetLocalTime", "GetSystemTime", "InitOnceExecuteOnce", "InitOnceBeginInitialize",
    "InitOnceComplete", "CompareStringOrdinal", "CompareStringW", "CompareStringEx", "LCMapStringW", "LCMapStringEx",
    "GetModuleHandleW", "GetModuleHandleA", "GetModuleHandleExW", "GetModuleFileNameW", "GetModuleFileNameA",
    "GetVersionExW", "GetVersion", "IsValidSid", "GetSidSubAuthority", "GetSidSubAuthorityCount", "GetLengthSid",
    "InitializeConditionVariable", nullptr};
// Functions that do not return as called, or that walk or unwind the stack
// (which a changed return address would mislead): counted, never timed.
inline const char* const kNotTimed[] = {
    "RaiseException", "RtlUnwind", "RtlUnwindEx", "RtlCaptureContext", "RtlVirtualUnwind", "RtlLookupFunctionEntry",
    "RtlCaptureStackBackTrace", "RtlRestoreContext", "RtlWalkFrameChain", "ExitThread", "ExitProcess",
    "TerminateProcess", "FatalAppExitW", "FatalAppExitA", "FatalExit", "FreeLibraryAndExitThread", "SwitchToFiber",
    "ConvertThreadToFiber", "CreateFiber", "SetThreadContext", "UnhandledExceptionFilter", "DebugBreak",
    "MiniDumpWriteDump", "StackWalk64", "CaptureStackBackTrace", "GetProcAddress", nullptr};
inline const char* const kAllocators[] = {"malloc", "calloc", "realloc", "_wcsdup", "_strdup", "_Znwy", "_Znay",
                                          "_ZnwyRKSt9nothrow_t", "_ZnayRKSt9nothrow_t", "HeapAlloc", "HeapReAlloc",
                                          "LocalAlloc", "GlobalAlloc", nullptr};
inline const char* const kCRuntimeDlls[] = {"msvcrt.dll", "ucrtbase.dll", nullptr};
// Functions of the C runtime that stay in the process, by the start of their
// names (strings, memory, characters, formatting, arithmetic, start-up); the
// others (files, threads, time zones) count as system calls.
inline const char* const kCRuntimeInProcess[] = {
    "mem", "str", "wcs", "_wcs", "_str", "_mbs", "is", "_is", "to", "_to", "sprintf", "swprintf", "_snw", "_sn", "_vsn",
    "vsn", "_vsc", "_sc", "vsw", "vsp", "abs", "labs", "fabs", "floor", "ceil", "sqrt", "pow", "exp", "log", "sin", "cos",
    "tan", "atan", "fmod", "round", "lround", "qsort", "bsearch", "_wto", "_ato", "ato", "_errno", "free", "_lock",
    "_unlock", "__iob_func", "_initterm", "__set_app_type", "__getmainargs", "__wgetmainargs", "_set_invalid_parameter",
    "_amsg_exit", "_onexit", "__dllonexit", "_cexit", "_exit", "exit", "abort", "_fpreset", "__C_specific_handler",
    "_setjmp", "longjmp", "setjmp", "signal", "_wcsicmp", "_wcsnicmp", "_stricmp", "_strnicmp", "wcsncpy_s", "wcscpy_s",
    "wcscat_s", "memcpy_s", "memmove_s", "strncpy_s", "strcpy_s", "_wcslwr_s", "_wcsupr_s", "rand", "srand", "_controlfp",
    "__lconv_init", "localeconv", "mbstowcs", "wcstombs", "mbrtowc", "wcrtomb", "btowc", "wctob", "_isctype", "___lc",
    "___mb_cur_max", "__pctype", "_iswctype", "__setusermatherr", "_matherr", nullptr};

inline bool StartsWithAny(const char* name, const char* const* list)
{
    for (; *list != nullptr; ++list)
        if (std::strncmp(name, *list, std::strlen(*list)) == 0)
            return true;
    return false;
}

inline Kind KindOf(const char* dll, const char* name)
{
    if (NameIs(name, kAllocators))
        return Kind::Allocation;
    if (DllIs(dll, kSystemDlls))
        return NameIs(name, kInProcess) ? Kind::InProcess : Kind::SystemCall;
    if (DllIs(dll, kCRuntimeDlls))
        return StartsWithAny(name, kCRuntimeInProcess) ? Kind::InProcess : Kind::SystemCall;
    return Kind::Runtime;
}

class Emitter
{
public:
    explicit Emitter(unsigned char* at) : m_at(at), m_start(at) {}
    void Bytes(std::initializer_list<unsigned char> bytes)
    {
        for (unsigned char b : bytes)
            *m_at++ = b;
    }
    void Imm64(const void* value) { Imm64(reinterpret_cast<unsigned long long>(value)); }
    void Imm64(unsigned long long value)
    {
        std::memcpy(m_at, &value, 8);
        m_at += 8;
    }
    void Imm32(unsigned value)
    {
        std::memcpy(m_at, &value, 4);
        m_at += 4;
    }
    // A short forward jump to be bound later: returns where its offset goes.
    unsigned char* Rel8() { return m_at++; }
    void Bind(unsigned char* rel8) { *rel8 = static_cast<unsigned char>(m_at - (rel8 + 1)); }
    size_t Size() const { return static_cast<size_t>(m_at - m_start); }

private:
    unsigned char* m_at;
    unsigned char* m_start;
};

// The stub a timed call returns to: adds the stamps elapsed in the function
// itself (those of the timed calls made inside it, as from a callback, go to
// those) to its function and returns to the caller, the return value kept
// (rax; xmm0 is not touched).
inline size_t EmitReturnStub(unsigned char* at)
{
    Emitter e(at);
    e.Bytes({0x49, 0x89, 0xC2});               // mov r10, rax
    e.Bytes({0x0F, 0x31});                     // rdtsc
    e.Bytes({0x48, 0xC1, 0xE2, 0x20});         // shl rdx, 32
    e.Bytes({0x48, 0x09, 0xD0});               // or rax, rdx
    e.Bytes({0x49, 0xBB});                     // mov r11, &depth
    e.Imm64(&g_state.depth);
    e.Bytes({0x49, 0xFF, 0x0B});               // dec qword [r11]
    e.Bytes({0x49, 0x8B, 0x0B});               // mov rcx, [r11]
    e.Bytes({0x48, 0xC1, 0xE1, 0x05});         // shl rcx, 5
    e.Bytes({0x48, 0xBA});                     // mov rdx, shadow
    e.Imm64(&g_state.shadow[0]);
    e.Bytes({0x48, 0x01, 0xCA});               // add rdx, rcx
    e.Bytes({0x48, 0x2B, 0x42, 0x08});         // sub rax, [rdx+8]   (elapsed)
    e.Bytes({0x48, 0x85, 0xC9});               // test rcx, rcx
    e.Bytes({0x74});                           // jz outermost
    unsigned char* outermost = e.Rel8();
    e.Bytes({0x48, 0x01, 0x42, 0xF8});         // add [rdx-8], rax   (the caller's nested time)
    e.Bind(outermost);
    e.Bytes({0x48, 0x2B, 0x42, 0x18});         // sub rax, [rdx+24]  (less its own nested time)
    e.Bytes({0x48, 0x8B, 0x4A, 0x10});         // mov rcx, [rdx+16]
    e.Bytes({0x49, 0xB8});                     // mov r8, ticks
    e.Imm64(&g_state.ticks[0]);
    e.Bytes({0x49, 0x01, 0x04, 0xC8});         // add [r8+rcx*8], rax
    e.Bytes({0x4C, 0x8B, 0x1A});               // mov r11, [rdx]
    e.Bytes({0x4C, 0x89, 0xD0});               // mov rax, r10
    e.Bytes({0x41, 0xFF, 0xE3});               // jmp r11
    return e.Size();
}

inline size_t EmitThunk(unsigned char* at, int index, void* original, bool timed)
{
    Emitter e(at);
    e.Bytes({0x65, 0x48, 0x8B, 0x04, 0x25, 0x48, 0x00, 0x00, 0x00});   // mov rax, gs:[0x48] (thread id)
    e.Bytes({0x49, 0xBB});                                             // mov r11, &countedThread
    e.Imm64(&g_state.countedThread);
    e.Bytes({0x41, 0x3B, 0x03});                                       // cmp eax, [r11]
    e.Bytes({0x75});                                                   // jne pass
    unsigned char* notCounted = e.Rel8();
    e.Bytes({0x49, 0xBB});                                             // mov r11, &calls[index]
    e.Imm64(&g_state.calls[index]);
    e.Bytes({0xF0, 0x49, 0xFF, 0x03});                                 // lock inc qword [r11]
    unsigned char* full = nullptr;
    if (timed)
    {
        e.Bytes({0x49, 0x89, 0xD2});                                   // mov r10, rdx
        e.Bytes({0x0F, 0x31});                                         // rdtsc
        e.Bytes({0x48, 0xC1, 0xE2, 0x20});                             // shl rdx, 32
        e.Bytes({0x48, 0x09, 0xD0});                                   // or rax, rdx
        e.Bytes({0x4C, 0x89, 0xD2});                                   // mov rdx, r10
        e.Bytes({0x49, 0xBB});                                         // mov r11, &depth
        e.Imm64(&g_state.depth);
        e.Bytes({0x4D, 0x8B, 0x13});                                   // mov r10, [r11]
        e.Bytes({0x49, 0x81, 0xFA});                                   // cmp r10, kShadowDepth
        e.Imm32(kShadowDepth);
        e.Bytes({0x73});                                               // jae pass (no room: untimed)
        full = e.Rel8();
        e.Bytes({0x49, 0xFF, 0x03});                                   // inc qword [r11]
        e.Bytes({0x49, 0xC1, 0xE2, 0x05});                             // shl r10, 5
        e.Bytes({0x49, 0xBB});                                         // mov r11, shadow
        e.Imm64(&g_state.shadow[0]);
        e.Bytes({0x4D, 0x01, 0xDA});                                   // add r10, r11
        e.Bytes({0x49, 0x89, 0x42, 0x08});                             // mov [r10+8], rax
        e.Bytes({0x48, 0x8B, 0x04, 0x24});                             // mov rax, [rsp]
        e.Bytes({0x49, 0x89, 0x02});                                   // mov [r10], rax
        e.Bytes({0x49, 0xC7, 0x42, 0x10});                             // mov qword [r10+16], index
        e.Imm32(static_cast<unsigned>(index));
        e.Bytes({0x49, 0xC7, 0x42, 0x18, 0x00, 0x00, 0x00, 0x00});     // mov qword [r10+24], 0
        e.Bytes({0x49, 0xBB});                                         // mov r11, stub
        e.Imm64(g_state.stub);
        e.Bytes({0x4C, 0x89, 0x1C, 0x24});                             // mov [rsp], r11
    }
    e.Bind(notCounted);
    if (full != nullptr)
        e.Bind(full);
    e.Bytes({0x49, 0xBB});                                             // mov r11, original
    e.Imm64(original);
    e.Bytes({0x41, 0xFF, 0xE3});                                       // jmp r11
    return e.Size();
}

inline void CopyName(char* target, size_t size, const char* text)
{
    std::snprintf(target, size, "%s", text);
}

// A function's place in the table (made when new) and its thunk; null when the
// table or the code area is full.
inline void* ThunkFor(const char* dll, const char* name, void* original)
{
    State& s = g_state;
    if (s.importCount >= kMostImports || s.codeUsed + 160 > s.codeSize)
        return nullptr;
    const int index = s.importCount++;
    Import& import = s.imports[index];
    CopyName(import.dll, sizeof(import.dll), dll);
    CopyName(import.name, sizeof(import.name), name);
    import.kind = KindOf(dll, name);
    import.timed = DllIs(dll, kSystemDlls) && !NameIs(name, kNotTimed);
    unsigned char* at = s.code + s.codeUsed;
    s.codeUsed += (EmitThunk(at, index, original, import.timed) + 15) & ~static_cast<size_t>(15);
    return at;
}

inline bool IsCode(const void* address)
{
    MEMORY_BASIC_INFORMATION info{};
    if (::VirtualQuery(address, &info, sizeof(info)) == 0)
        return false;
    const DWORD executable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return (info.Protect & executable) != 0;
}

inline void ModuleDllName(HMODULE module, char* name, size_t size)
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(module, path, MAX_PATH);
    const char* slash = std::strrchr(path, '\\');
    const char* other = std::strrchr(path, '/');
    if (other != nullptr && (slash == nullptr || other > slash))
        slash = other;
    CopyName(name, size, slash != nullptr ? slash + 1 : path);
}

// Functions the module binds by name after Install get thunks too.
inline FARPROC WINAPI CountingGetProcAddress(HMODULE module, LPCSTR name)
{
    auto real = reinterpret_cast<FARPROC(WINAPI*)(HMODULE, LPCSTR)>(g_state.realGetProcAddress);
    FARPROC found = real(module, name);
    if (found == nullptr || IS_INTRESOURCE(name) || !IsCode(reinterpret_cast<void*>(found)))
        return found;
    char dll[MAX_PATH];
    ModuleDllName(module, dll, sizeof(dll));
    void* thunk = ThunkFor(dll, name, reinterpret_cast<void*>(found));
    return thunk != nullptr ? reinterpret_cast<FARPROC>(thunk) : found;
}
} // namespace detail

// Replaces every function import of module with its thunk; returns how many.
// Call once, before the threads to be counted start.
inline int Install(HMODULE module)
{
    State& s = g_state;
    if (s.code != nullptr)
        return s.importCount;
    s.codeSize = 160 * static_cast<size_t>(kMostImports) + 256;
    s.code = static_cast<unsigned char*>(::VirtualAlloc(nullptr, s.codeSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    if (s.code == nullptr)
        return 0;
    s.stub = s.code;
    s.codeUsed = (detail::EmitReturnStub(s.code) + 15) & ~static_cast<size_t>(15);
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    s.qpcStart = counter.QuadPart;
    s.tscStart = __rdtsc();

    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return 0;
    int patched = 0;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); import->Name != 0; ++import)
    {
        const char* dll = reinterpret_cast<const char*>(base + import->Name);
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots)
        {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* name =
                reinterpret_cast<const char*>(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            // Data the module imports (the C runtime's variables) is left alone.
            if (!detail::IsCode(original))
                continue;
            void* replacement = nullptr;
            if (std::strcmp(name, "GetProcAddress") == 0)
            {
                s.realGetProcAddress = original;
                replacement = reinterpret_cast<void*>(&detail::CountingGetProcAddress);
            }
            else
            {
                replacement = detail::ThunkFor(dll, name, original);
            }
            if (replacement == nullptr)
                continue;
            DWORD protection = 0;
            ::VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            ::VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
            ++patched;
        }
    }
    return patched;
}

// Puts replacement in the import slot of the named function (after Install:
// in place of its thunk, which the replacement may call to be counted still)
// and returns what the slot held; null when the module does not import it.
inline void* ReplaceImport(HMODULE module, const char* name, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return nullptr;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); import->Name != 0; ++import)
    {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots)
        {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* imported =
                reinterpret_cast<const char*>(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            if (std::strcmp(imported, name) != 0)
                continue;
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            DWORD protection = 0;
            ::VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            ::VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

// Microseconds per time-stamp tick, from the clocks' progress since Install.
inline double MicrosecondsPerTick()
{
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    const unsigned long long tsc = __rdtsc();
    const double us = static_cast<double>(counter.QuadPart - g_state.qpcStart) * 1e6 / static_cast<double>(frequency.QuadPart);
    const double ticks = static_cast<double>(tsc - g_state.tscStart);
    return ticks > 0 ? us / ticks : 0.0;
}

// The calls and time of every import at one moment. Taking one makes no call.
struct Snapshot
{
    int count = 0;
    long long ownAllocations = 0;
    long long calls[kMostImports];
    long long ticks[kMostImports];

    static Snapshot Take()
    {
        Snapshot snapshot;
        snapshot.count = g_state.importCount;
        snapshot.ownAllocations = g_state.ownAllocations;
        for (int i = 0; i < snapshot.count; ++i)
        {
            snapshot.calls[i] = g_state.calls[i];
            snapshot.ticks[i] = g_state.ticks[i];
        }
        return snapshot;
    }
    static Snapshot Zero()
    {
        Snapshot snapshot;
        snapshot.count = g_state.importCount;
        for (int i = 0; i < snapshot.count; ++i)
            snapshot.calls[i] = snapshot.ticks[i] = 0;
        return snapshot;
    }
    // Adds after - before (after may know more imports).
    void Add(const Snapshot& before, const Snapshot& after)
    {
        for (int i = count; i < after.count; ++i)
            calls[i] = ticks[i] = 0;
        count = after.count;
        ownAllocations += after.ownAllocations - before.ownAllocations;
        for (int i = 0; i < after.count; ++i)
        {
            calls[i] += after.calls[i] - (i < before.count ? before.calls[i] : 0);
            ticks[i] += after.ticks[i] - (i < before.count ? before.ticks[i] : 0);
        }
    }
};

// What happened between two snapshots.
struct Delta
{
    const Snapshot& before;
    const Snapshot& after;

    long long Calls(int i) const { return after.calls[i] - (i < before.count ? before.calls[i] : 0); }
    long long Ticks(int i) const { return after.ticks[i] - (i < before.count ? before.ticks[i] : 0); }
    long long Of(Kind kind) const
    {
        long long total = 0;
        for (int i = 0; i < after.count; ++i)
            if (g_state.imports[i].kind == kind)
                total += Calls(i);
        return total;
    }
    long long SystemCalls() const { return Of(Kind::SystemCall); }
    long long Allocations() const { return Of(Kind::Allocation) + after.ownAllocations - before.ownAllocations; }
    // Calls of the named function (any DLL).
    long long CallsOf(const char* name) const
    {
        long long total = 0;
        for (int i = 0; i < after.count; ++i)
            if (std::strcmp(g_state.imports[i].name, name) == 0)
                total += Calls(i);
        return total;
    }
    // Microseconds spent in the system calls (timed ones).
    double SystemCallMicroseconds() const
    {
        long long ticks = 0;
        for (int i = 0; i < after.count; ++i)
            if (g_state.imports[i].kind == Kind::SystemCall)
                ticks += Ticks(i);
        return static_cast<double>(ticks) * MicrosecondsPerTick();
    }
};

inline const Import& ImportAt(int i)
{
    return g_state.imports[i];
}

// Prints the calls per event made between before and after, by kind, each
// system call with its mean time per call.
inline void PrintPerEvent(const Snapshot& before, const Snapshot& after, int events)
{
    const Delta delta{before, after};
    const double usPerTick = MicrosecondsPerTick();
    const double n = events > 0 ? events : 1;
    std::printf("      system calls per event %.2f:", static_cast<double>(delta.SystemCalls()) / n);
    for (int i = 0; i < after.count; ++i)
    {
        const long long calls = delta.Calls(i);
        if (calls != 0 && g_state.imports[i].kind == Kind::SystemCall)
            std::printf(" %s %.2f (%.0f us)", g_state.imports[i].name, static_cast<double>(calls) / n,
                        static_cast<double>(delta.Ticks(i)) * usPerTick / static_cast<double>(calls));
    }
    std::printf("\n      allocations per event %.2f:", static_cast<double>(delta.Allocations()) / n);
    for (int i = 0; i < after.count; ++i)
    {
        const long long calls = delta.Calls(i);
        if (calls != 0 && g_state.imports[i].kind == Kind::Allocation)
            std::printf(" %s %.2f", g_state.imports[i].name, static_cast<double>(calls) / n);
    }
    if (after.ownAllocations != before.ownAllocations)
        std::printf(" operator new (own) %.2f", static_cast<double>(after.ownAllocations - before.ownAllocations) / n);
    std::printf("\n      in the process per event:");
    double inProcessUs = 0;
    for (int i = 0; i < after.count; ++i)
    {
        const long long calls = delta.Calls(i);
        const Kind kind = g_state.imports[i].kind;
        if (calls == 0 || (kind != Kind::InProcess && kind != Kind::Runtime))
            continue;
        const double us = static_cast<double>(delta.Ticks(i)) * usPerTick;
        if (us / n >= 1.0)
            std::printf(" %s %.2f (%.1f us)", g_state.imports[i].name, static_cast<double>(calls) / n, us / n);
        else
            std::printf(" %s %.2f", g_state.imports[i].name, static_cast<double>(calls) / n);
        inProcessUs += us;
    }
    std::printf("\n      time per event in the timed calls that stay in the process: %.1f us\n", inProcessUs / n);
}

// What the counts cannot see, for the reader of the figures.
inline void PrintCoverage(std::FILE* out)
{
    int timed = 0;
    for (int i = 0; i < g_state.importCount; ++i)
        timed += g_state.imports[i].timed ? 1 : 0;
    std::fprintf(out,
                 "imports counted: %d functions, %d of them in system DLLs and timed; not seen: calls made inside "
                 "other modules on the library's behalf (the C++ runtime, the thread library, the system DLLs)\n",
                 g_state.importCount, timed);
}
} // namespace importcount
