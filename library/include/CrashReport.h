#pragma once
// Crash reporting for the library and the program: an unhandled-exception
// filter that logs what crashed, writes a minidump into the log folder, lets the
// owner leave the system usable (hooks removed, tray icon gone) and ends the
// process; a terminate handler for C++ exceptions that nothing caught; and a
// guard for window procedures, so that no exception crosses a system frame.

#include <windows.h>

#include <exception>
#include <stdexcept>
#include <utility>

#include "SnareholdApi.h"

// Called on the crashing thread before the dump is written (threadId: the
// crashing thread) and after it. Neither may wait on another thread of the process.
using CrashPreHandler = void (*)(DWORD threadId);
using CrashPostHandler = void (*)();

struct CrashReportSettings
{
    const wchar_t* appName = L"Snarehold";   // start of the dump file name
    const wchar_t* dumpFolder = nullptr;     // null: the log file's folder, else the temporary folder
    CrashPreHandler preHandler = nullptr;
    CrashPostHandler postHandler = nullptr;
};

// Installs the filter process-wide (and the terminate handler). A second call
// replaces the settings. UninstallCrashReport puts the previous filter back.
void InstallCrashReport(const CrashReportSettings& settings);
void UninstallCrashReport();
bool CrashReportInstalled();

// The filter itself (what SetUnhandledExceptionFilter gets): logs, dumps, runs
// the handlers and ends the process with the exception code.
LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS* pointers);

// Reports the current point as a crash of kind code (a C++ exception nothing
// caught, a failed invariant) and ends the process. Never returns.
constexpr DWORD CRASH_CPP_EXCEPTION = 0xE0435050;   // "CPP"
[[noreturn]] void ReportCrashHere(DWORD code, const wchar_t* what);

// std::set_terminate target of every thread of the library and the program:
// logs "TerminateHandler : Terminating..." and reports the crash.
[[noreturn]] SNAREHOLD_API void CrashTerminateHandler();

// Writes a minidump of the calling process to path (the exception may be null).
bool WriteCrashDump(const wchar_t* path, EXCEPTION_POINTERS* pointers);

// Builds the dump file's path in the configured folder: <app>_<date>_<time>_<pid>_<tid>.dmp.
bool MakeCrashDumpPath(wchar_t* buffer, size_t size);

// Logs an exception caught at a window procedure's boundary.
void ReportWindowProcException(const wchar_t* where, HWND window, UINT message, const char* what);

// Runs a window procedure body so that no C++ exception leaves it: an exception
// is logged with the window and message and fallback is returned.
//   return GuardWindowProc(L"CMainWnd::WindowProc", hwnd, msg, 0, [&] { return HandleMessage(...); });
template <typename Body>
LRESULT GuardWindowProc(const wchar_t* where, HWND window, UINT message, LRESULT fallback, Body&& body) noexcept
{
    try
    {
        return std::forward<Body>(body)();
    }
    catch (const std::exception& e)
    {
        ReportWindowProcException(where, window, message, e.what());
    }
    catch (...)
    {
        ReportWindowProcException(where, window, message, nullptr);
    }
    return fallback;
}

// A window procedure wrapper for a procedure that may throw:
//   wc.lpfnWndProc = GuardedWindowProc<MyWindowProc>;
template <LRESULT (*Proc)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK GuardedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return GuardWindowProc(L"WindowProc", window, message, 0, [&] { return Proc(window, message, wParam, lParam); });
}

// Logs the run-time library's invalid-parameter failures instead of ending the
// process. The program keeps one for its lifetime.
class SNAREHOLD_API InvalidParameterInstaller
{
public:
    // perThread true: only failures on the calling thread are handled here.
    InvalidParameterInstaller();
    explicit InvalidParameterInstaller(bool perThread);
    ~InvalidParameterInstaller();
    InvalidParameterInstaller(const InvalidParameterInstaller&) = delete;
    InvalidParameterInstaller& operator=(const InvalidParameterInstaller&) = delete;

    // Logs the failing call and returns, so that the run-time call returns its
    // error instead of ending the process.
    static void __cdecl IPHandler(const wchar_t* expression, const wchar_t* function, const wchar_t* file,
                                  unsigned int line, uintptr_t reserved);

private:
    bool m_bPerThread;
};
