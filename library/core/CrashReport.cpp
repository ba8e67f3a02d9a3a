// Crash reporting: what the process leaves behind when something goes badly
// wrong (a log line and a minidump in the log folder), and the hooks and tray
// icon it must not leave behind.

#include "CrashReport.h"

#include <windows.h>
#include <dbghelp.h>

#include <atomic>
#include <cstdlib>
#include <exception>

#include "Folders.h"
#include "Handles.h"
#include "Logger.h"
#include "StringFormat.h"

namespace
{
constexpr size_t kPathChars = 4096;

std::atomic<bool> g_installed{false};
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;
std::atomic<CrashPreHandler> g_preHandler{nullptr};
std::atomic<CrashPostHandler> g_postHandler{nullptr};
wchar_t g_appName[64] = L"Snarehold";
wchar_t g_dumpFolder[kPathChars] = L"";
std::atomic<DWORD> g_reportingThread{0};

void CopyText(wchar_t* to, size_t size, const wchar_t* from)
{
    if (size == 0)
        return;
    lstrcpynW(to, from != nullptr ? from : L"", static_cast<int>(size));
}

// The folder part of a path, with its trailing backslash.
void FolderOf(wchar_t* path)
{
    wchar_t* slash = nullptr;
    for (wchar_t* p = path; *p != L'\0'; ++p)
    {
        if (*p == L'\\' || *p == L'/')
            slash = p;
    }
    if (slash != nullptr)
        slash[1] = L'\0';
    else
        path[0] = L'\0';
}

// The module that holds an address, as a file name, and the offset into it.
void DescribeAddress(const void* address, wchar_t* module, size_t size, ULONG_PTR& offset)
{
    CopyText(module, size, L"unknown module");
    offset = reinterpret_cast<ULONG_PTR>(address);
    HMODULE handle = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(address), &handle) || handle == nullptr)
        return;
    wchar_t path[MAX_PATH] = L"";
    if (::GetModuleFileNameW(handle, path, MAX_PATH) == 0)
        return;
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p)
    {
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    }
    CopyText(module, size, name);
    offset = reinterpret_cast<ULONG_PTR>(address) - reinterpret_cast<ULONG_PTR>(handle);
}

void ProcessBaseName(wchar_t* buffer, size_t size)
{
    wchar_t path[MAX_PATH] = L"";
    if (::GetModuleFileNameW(nullptr, path, MAX_PATH) == 0)
        return;
    wchar_t* name = path;
    for (wchar_t* p = path; *p != L'\0'; ++p)
    {
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    }
    for (wchar_t* p = name; *p != L'\0'; ++p)
    {
        if (*p == L'.')
        {
            *p = L'\0';
            break;
        }
    }
    if (*name != L'\0')
        CopyText(buffer, size, name);
}

[[noreturn]] void EndProcess(DWORD code)
{
    ::TerminateProcess(::GetCurrentProcess(), code);
    ::ExitProcess(code);
}

void RunReport(EXCEPTION_POINTERS* pointers, DWORD tid)
{
    // Nobody may be asked anything while the process is going down.
    SetThreadMessageBoxesAllowed(false);
    const EXCEPTION_RECORD* record = pointers != nullptr ? pointers->ExceptionRecord : nullptr;
    const DWORD code = record != nullptr ? record->ExceptionCode : 0;
    const void* address = record != nullptr ? record->ExceptionAddress : nullptr;
    wchar_t module[MAX_PATH];
    ULONG_PTR offset = 0;
    DescribeAddress(address, module, MAX_PATH, offset);
    try
    {
        CLogger::LogMessage(L"Unhandled exception 0x%08X at 0x%p (%s+0x%I64X) in thread 0x%X. Writing a crash report...",
                            code, address, module, static_cast<unsigned long long>(offset), tid);
    }
    catch (...)
    {
    }

    if (CrashPreHandler pre = g_preHandler.load())
    {
        try
        {
            pre(tid);
        }
        catch (...)
        {
        }
    }

    try
    {
        wchar_t path[kPathChars];
        if (MakeCrashDumpPath(path, kPathChars))
        {
            if (WriteCrashDump(path, pointers))
                CLogger::LogMessage(L"Crash dump written to %s", path);
            else
                CLogger::LogOSMessage(::GetLastError(), L"Unable to write the crash dump %s", path);
        }
        CLogger::FlushLog();
    }
    catch (...)
    {
    }

    if (CrashPostHandler post = g_postHandler.load())
    {
        try
        {
            post();
        }
        catch (...)
        {
        }
    }
}
}

void InstallCrashReport(const CrashReportSettings& settings)
{
    wchar_t name[64] = L"";
    CopyText(name, 64, settings.appName);
    if (name[0] == L'\0')
        ProcessBaseName(name, 64);
    CopyText(g_appName, 64, name[0] != L'\0' ? name : L"crash");
    CopyText(g_dumpFolder, kPathChars, settings.dumpFolder);
    g_preHandler = settings.preHandler;
    g_postHandler = settings.postHandler;
    if (!g_installed.exchange(true))
    {
        g_previousFilter = ::SetUnhandledExceptionFilter(CrashExceptionFilter);
        std::set_terminate(CrashTerminateHandler);
    }
}

void UninstallCrashReport()
{
    if (g_installed.exchange(false))
        ::SetUnhandledExceptionFilter(g_previousFilter);
    g_preHandler = nullptr;
    g_postHandler = nullptr;
}

bool CrashReportInstalled()
{
    return g_installed.load();
}

bool MakeCrashDumpPath(wchar_t* buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return false;
    wchar_t folder[kPathChars];
    CopyText(folder, kPathChars, g_dumpFolder);
    if (folder[0] == L'\0')
    {
        CLogger::GetLogPath(folder, kPathChars);
        FolderOf(folder);
    }
    if (folder[0] == L'\0' && ::GetTempPathW(kPathChars, folder) == 0)
        return false;
    const size_t length = static_cast<size_t>(lstrlenW(folder));
    const bool slash = length > 0 && (folder[length - 1] == L'\\' || folder[length - 1] == L'/');
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const int written = Format(buffer, size, L"%s%s%s_%04d%02d%02d-%02d%02d%02d_%u.dmp", folder, slash ? L"" : L"\\",
                               g_appName, now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                               ::GetCurrentProcessId());
    return written > 0 && static_cast<size_t>(written) < size - 1;
}

bool WriteCrashDump(const wchar_t* path, EXCEPTION_POINTERS* pointers)
{
    UniqueHandle file(
        ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    MINIDUMP_EXCEPTION_INFORMATION exception = {};
    exception.ThreadId = ::GetCurrentThreadId();
    exception.ExceptionPointers = pointers;
    exception.ClientPointers = FALSE;
    const BOOL ok = ::MiniDumpWriteDump(::GetCurrentProcess(), ::GetCurrentProcessId(), file.Get(), MiniDumpNormal,
                                        pointers != nullptr ? &exception : nullptr, nullptr, nullptr);
    const DWORD error = ::GetLastError();
    file.Reset();
    if (!ok)
    {
        ::DeleteFileW(path);
        ::SetLastError(error);
    }
    return ok != FALSE;
}

LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS* pointers)
{
    const DWORD tid = ::GetCurrentThreadId();
    const DWORD code = pointers != nullptr && pointers->ExceptionRecord != nullptr ? pointers->ExceptionRecord->ExceptionCode : 1;
    DWORD reporting = 0;
    if (!g_reportingThread.compare_exchange_strong(reporting, tid))
    {
        // A crash inside the report ends the process at once; a second thread
        // crashing meanwhile waits for the first report to end the process.
        if (reporting != tid)
            ::Sleep(120000);
        EndProcess(code);
    }
    RunReport(pointers, tid);
    EndProcess(code);
}

void ReportCrashHere(DWORD code, const wchar_t* what)
{
    if (what != nullptr)
        CLogger::LogMessage(L"%s", what);
    CONTEXT context = {};
    ::RtlCaptureContext(&context);
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = code;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.ExceptionAddress = reinterpret_cast<PVOID>(context.Rip);
    EXCEPTION_POINTERS pointers = {&record, &context};
    CrashExceptionFilter(&pointers);
    EndProcess(code);
}

void CrashTerminateHandler()
{
    CLogger::LogMessage(L"TerminateHandler : Terminating...");
    wchar_t what[512] = L"TerminateHandler : No exception is being handled";
    if (std::exception_ptr current = std::current_exception())
    {
        try
        {
            std::rethrow_exception(current);
        }
        catch (const std::exception& e)
        {
            Format(what, 512, L"TerminateHandler : Unhandled C++ exception: %S", e.what());
        }
        catch (...)
        {
            Format(what, 512, L"TerminateHandler : Unhandled C++ exception of unknown type");
        }
    }
    ReportCrashHere(CRASH_CPP_EXCEPTION, what);
}

void ReportWindowProcException(const wchar_t* where, HWND window, UINT message, const char* what)
{
    const unsigned handle = HandleNumber(window);
    if (what != nullptr)
        CLogger::LogMessage(L"Caught an exception in %s (window 0x%X, message 0x%04X): %S", where != nullptr ? where : L"?",
                            handle, message, what);
    else
        CLogger::LogMessage(L"Caught an exception in %s (window 0x%X, message 0x%04X)", where != nullptr ? where : L"?",
                            handle, message);
}

// ---------------------------------------------------------------------------
// Invalid parameters of the run-time library.

namespace
{
std::atomic<int> g_processIPInstalls{0};
std::atomic<int> g_totalIPInstalls{0};
thread_local int t_threadIPInstalls = 0;
std::atomic<_invalid_parameter_handler> g_previousIPHandler{nullptr};
}

InvalidParameterInstaller::InvalidParameterInstaller() : InvalidParameterInstaller(false) {}

InvalidParameterInstaller::InvalidParameterInstaller(bool perThread) : m_bPerThread(perThread)
{
    // The run-time has one handler for the process: a per-thread installer
    // handles only its own thread's failures and hands the others on.
    if (perThread)
        ++t_threadIPInstalls;
    else
        ++g_processIPInstalls;
    if (g_totalIPInstalls.fetch_add(1) == 0)
        g_previousIPHandler = _set_invalid_parameter_handler(IPHandler);
}

InvalidParameterInstaller::~InvalidParameterInstaller()
{
    if (m_bPerThread)
        --t_threadIPInstalls;
    else
        --g_processIPInstalls;
    if (g_totalIPInstalls.fetch_sub(1) == 1)
        _set_invalid_parameter_handler(g_previousIPHandler.exchange(nullptr));
}

void InvalidParameterInstaller::IPHandler(const wchar_t* expression, const wchar_t* function, const wchar_t* file,
                                          unsigned int line, uintptr_t reserved)
{
    if (g_processIPInstalls.load() == 0 && t_threadIPInstalls == 0)
    {
        if (_invalid_parameter_handler previous = g_previousIPHandler.load())
        {
            previous(expression, function, file, line, reserved);
            return;
        }
    }
    CLogger::LogMessage(L"InvalidParameterHandler: Expression: %s Function: %s File: %s Line: %d\n",
                        expression != nullptr ? expression : L"", function != nullptr ? function : L"",
                        file != nullptr ? file : L"", static_cast<int>(line));
}
