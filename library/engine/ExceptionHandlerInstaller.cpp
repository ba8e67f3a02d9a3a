// The library's crash-report set-up: the program's filter with the engine's
// handlers (hooks removed before the report, tray icon removed after it).

#include "ExceptionHandlerInstaller.h"

#include <atomic>

#include "CrashReport.h"
#include "Globals.h"
#include "Hooks.h"
#include "Logger.h"

namespace
{
std::atomic<int> g_installerCount{0};

void InstallLibraryCrashReport()
{
    if (g_installerCount.fetch_add(1) != 0)
        return;
    CrashReportSettings settings;
    settings.appName = L"";   // the process's own name
    settings.preHandler = PreExceptionHandler;
    settings.postHandler = RemoveTrayIconOnCrash;
    InstallCrashReport(settings);
}
}

ExceptionHandlerInstaller::ExceptionHandlerInstaller()
{
    InstallLibraryCrashReport();
}

ExceptionHandlerInstaller::ExceptionHandlerInstaller(const ExceptionHandlerInstaller&)
{
    InstallLibraryCrashReport();
}

ExceptionHandlerInstaller::~ExceptionHandlerInstaller()
{
    if (g_installerCount.fetch_sub(1) == 1)
        UninstallCrashReport();
}

void ExceptionHandlerInstaller::TerminateHandler()
{
    CrashTerminateHandler();
}

void PreExceptionHandler(DWORD threadId)
{
    CLogger::LogMessage(L"PreException Handler : Starting exception handler (ThreadID 0x%X), enabling debug logging and removing hooks...",
                        threadId);
    // Straight to the logger: the library's global lock may be held by a
    // thread that will never release it now.
    CLogger::EnableDebug(true);
    RemoveHooks();
}

void RemoveTrayIconOnCrash()
{
    HWND main = g_engine.hMainWnd;
    if (main == nullptr)
        return;
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(main, BRMP_RemoveIcon, 0, 0, SMTO_ABORTIFHUNG, 500, &result);
}
