#pragma once
// The library's crash-report set-up: InstallCrashReport with the engine's own
// handlers.

#include <windows.h>

#include "SnareholdApi.h"

// The program creates one at start-up, beside an InvalidParameterInstaller, and
// keeps it for its lifetime.
class SNAREHOLD_API ExceptionHandlerInstaller
{
public:
    // Installs the filter with the library's handlers: before the report debug
    // logging goes on and the hooks are removed; after it the program's tray
    // icon is removed.
    ExceptionHandlerInstaller();
    // Copies carry no state; the filter stays until the last installer goes.
    ExceptionHandlerInstaller(const ExceptionHandlerInstaller&);
    ExceptionHandlerInstaller& operator=(const ExceptionHandlerInstaller&) { return *this; }
    virtual ~ExceptionHandlerInstaller();

    [[noreturn]] static void TerminateHandler();
};

// The library's crash callbacks.
void PreExceptionHandler(DWORD threadId);
void RemoveTrayIconOnCrash();
