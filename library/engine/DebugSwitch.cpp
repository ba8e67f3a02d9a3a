// The library's switch of debug logging and the environment it reports first.

#include "Debug.h"

#include <windows.h>

#include "Control.h"
#include "Globals.h"
#include "Logger.h"
#include "MouseInfo.h"
#include "SystemLibrary.h"
#include "ThreadLock.h"

namespace
{
const wchar_t* DisplayName()
{
    static const wchar_t name[] = {L'B', L'r', L'i', L'n', L'd', L'l', L'e', L'm', L'a', L'p', 0};
    return name;
}

constexpr const wchar_t* kVersionText = L"2.20.5";

using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;

struct DpiQuery
{
    GetDpiForMonitorFn getDpi;
    int logged;
};

BOOL CALLBACK LogOneMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    auto* query = reinterpret_cast<DpiQuery*>(data);
    MONITORINFOEXW info = {};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(monitor, &info))
        return TRUE;
    info.szDevice[CCHDEVICENAME - 1] = 0;
    UINT x = 0, y = 0;
    if (query->getDpi(monitor, kEffectiveDpi, &x, &y) == S_OK)
    {
        CLogger::LogMessage(L"Monitor %s: DPI (X,Y) = %d, %d", info.szDevice, static_cast<int>(x), static_cast<int>(y));
        ++query->logged;
    }
    return TRUE;
}

void LogScreenDpi()
{
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr)
        return;
    CLogger::LogMessage(L"DPI (X,Y): %d, %d", ::GetDeviceCaps(screen, LOGPIXELSX), ::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);
}
}

void LogMonitorDpi()
{
    HMODULE shcore = LoadSystemLibrary(L"shcore.dll");
    GetDpiForMonitorFn getDpi = shcore != nullptr
        ? reinterpret_cast<GetDpiForMonitorFn>(reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")))
        : nullptr;
    if (getDpi == nullptr)
    {
        LogScreenDpi();
    }
    else
    {
        DpiQuery query = {getDpi, 0};
        HDC screen = ::GetDC(nullptr);
        ::EnumDisplayMonitors(screen, nullptr, LogOneMonitor, reinterpret_cast<LPARAM>(&query));
        if (screen != nullptr)
            ::ReleaseDC(nullptr, screen);
    }
    if (shcore != nullptr)
        ::FreeLibrary(shcore);
}

void SetDebug(bool on, const wchar_t* from)
{
    CThreadLock lock(L"SetDebug");
    const wchar_t* cause = from != nullptr ? from : L"";
    if (on != CLogger::DebugEnabled())
    {
        if (on)
        {
            CLogger::LogMessage(L"Enabling extra debug logging (from %s). %s v%s (x64). Hook Timeout: %d ms", cause,
                                DisplayName(), kVersionText, static_cast<int>(GetHooktimeoutValue()));
            LogMonitorDpi();
            CLogger::LogMessage(L"Current mouse cursor speed=%d, system default cursor speed=%d", CMouseInfo::GetMouseSpeed(),
                                g_system.nStartupMouseSpeed);
        }
        else
        {
            CLogger::LogMessage(L"Disabling extra debug logging (from %s).", cause);
        }
    }
    CLogger::EnableDebug(on);
}

bool GetDebug()
{
    CThreadLock lock(L"GetDebug");
    return CLogger::DebugEnabled();
}
