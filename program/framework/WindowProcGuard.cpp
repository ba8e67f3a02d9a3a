#include "WindowProcGuard.h"

#include <string>

#include "ExceptionDescription.h"
#include "Logger.h"
#include "StringFormat.h"

void LogWindowProcException(HWND window, UINT message)
{
    // One place for the report: the crash layer's reporting can be added here
    // without touching the windows.
    wchar_t className[256] = {};
    if (window == nullptr || ::GetClassNameW(window, className, 256) == 0)
        FormatArray(className, L"%s", L"(no window)");
    const std::wstring description = DescribeCurrentException();
    CLogger::LogMessage(L"Caught an exception in the window procedure of %s 0x%p (message 0x%04X)...",
                        className, static_cast<void*>(window), message);
    CLogger::LogMessage(L"%s", description.c_str());
}

LRESULT WindowProcFallbackResult(HWND window, UINT message)
{
    switch (message)
    {
    case WM_NCCREATE:
        return FALSE;
    case WM_CREATE:
        return -1;
    case WM_PAINT:
        if (window != nullptr)
            ::ValidateRect(window, nullptr);
        return 0;
    default:
        return 0;
    }
}
