#include "TrayIcon.h"

#include <cstddef>
#include <cwchar>

#include "CaughtException.h"
#include "Exceptions.h"
#include "AppTexts.h"
#include "Logger.h"
#include "OSVersion.h"
#include "StringFormat.h"

namespace
{
// The record up to the item GUID (shell 5 and later) and with the balloon icon (6).
constexpr DWORD kRecordSizeV3 = static_cast<DWORD>(offsetof(NOTIFYICONDATAW, hBalloonIcon));
constexpr DWORD kRecordSizeFull = static_cast<DWORD>(sizeof(NOTIFYICONDATAW));

TIMERPROC g_pollProcedure = nullptr;

template <size_t N>
void CopyCut(wchar_t (&target)[N], const std::wstring& text)
{
    const size_t count = text.size() < N - 1 ? text.size() : N - 1;
    std::wmemcpy(target, text.c_str(), count);
    target[count] = L'\0';
}

// Runs one shell operation; an exception is logged under the operation's name.
template <typename Operation>
BOOL Guarded(const wchar_t* name, Operation operation)
{
    try
    {
        return operation();
    }
    catch (const CException& e)
    {
        wchar_t message[1024] = {};
        if (e.GetErrorMessage(message, 1024) && message[0] != L'\0')
            CLogger::LogMessage(L"%s threw an exception: %s", name, message);
        else
            CLogger::LogMessage(L"%s threw a CException but could not extract the error message.", name);
    }
    catch (...)
    {
        CLogger::LogOSMessage(::GetLastError(), L"Caught an exception in %s", name);
    }
    return FALSE;
}
}

NOTIFYICONDATAW MakeTrayRecord(HWND window, HICON icon, const std::wstring& tooltip)
{
    NOTIFYICONDATAW record = {};
    record.cbSize = kRecordSizeV3;
    record.hWnd = window;
    record.uID = kTrayIconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = kTrayCallbackMessage;
    record.hIcon = icon;
    CopyCut(record.szTip, tooltip);
    return record;
}

NOTIFYICONDATAW MakeBalloonRecord(HWND window, HICON icon, const std::wstring& title, const std::wstring& text,
                                  int kind, int shellVersion)
{
    NOTIFYICONDATAW record = {};
    record.cbSize = shellVersion < 4 ? kRecordSizeV3 : kRecordSizeFull;
    record.uFlags = NIF_INFO;
    record.hWnd = window;
    record.uID = kTrayIconId;
    record.hIcon = icon;
    record.uTimeout = static_cast<UINT>(shellVersion);
    CopyCut(record.szInfoTitle, title);
    CopyCut(record.szInfo, text);
    record.dwInfoFlags = (kind == 5 || kind == 6) ? NIIF_USER : (NIIF_USER | NIIF_NOSOUND);
    if (shellVersion >= 4)
        record.uFlags = NIF_INFO | NIF_REALTIME;
    return record;
}

void SetTrayPollProcedure(TIMERPROC procedure)
{
    g_pollProcedure = procedure;
}

BOOL AddTaskBarIcon(HWND window, HICON icon, const std::wstring& tooltip)
{
    return Guarded(L"AddTaskBarIcon", [&] {
        NOTIFYICONDATAW record = MakeTrayRecord(window, icon, tooltip);
        const BOOL result = ::Shell_NotifyIconW(NIM_ADD, &record);
        if (!result)
        {
            CLogger::LogOSMessage(::GetLastError(), L"Unable to create system tray icon.");
            ::SetTimer(window, kTrayRetryTimer, kTrayRetryMs, nullptr);
        }
        if (g_pollProcedure)
            ::SetTimer(window, kTrayPollTimer, kTrayPollMs, g_pollProcedure);
        return result;
    });
}

BOOL ModifyTaskBarIcon(HWND window, HICON icon, const std::wstring& tooltip)
{
    return Guarded(L"ModifyTaskBarIcon", [&] {
        NOTIFYICONDATAW record = MakeTrayRecord(window, icon, tooltip);
        BOOL result = ::Shell_NotifyIconW(NIM_MODIFY, &record);
        if (!result)
        {
            result = AddTaskBarIcon(window, icon, tooltip);
            if (!result)
                CLogger::LogOSMessage(::GetLastError(), L"Unable to modify the taskbar icon!");
        }
        return result;
    });
}

BOOL DeleteTaskBarIcon(HWND window)
{
    return Guarded(L"DeleteTaskBarIcon", [&] {
        ::KillTimer(window, kTrayPollTimer);
        NOTIFYICONDATAW record = MakeTrayRecord(window, nullptr, std::wstring());
        record.uFlags = 0;
        const BOOL result = ::Shell_NotifyIconW(NIM_DELETE, &record);
        if (!result)
            CLogger::LogOSMessage(::GetLastError(), L"Unable to remove system tray icon.");
        return result;
    });
}

int TrayShellVersion()
{
    return static_cast<int>(::GetOSVersion()) > 3 ? 4 : 3;
}

BOOL TaskBarBalloonInfo(HWND window, HICON icon, const std::wstring& title, const std::wstring& text, int kind)
{
    return Guarded(L"TaskBarBalloonInfo", [&] {
        NOTIFYICONDATAW record = MakeBalloonRecord(window, icon, title, text, kind, TrayShellVersion());
        return ::Shell_NotifyIconW(NIM_MODIFY, &record);
    });
}

BOOL TaskBarHideBalloon(HWND window)
{
    return Guarded(L"TaskBarHideBalloon", [&] {
        NOTIFYICONDATAW record = {};
        record.cbSize = kRecordSizeV3;
        record.hWnd = window;
        record.uID = kTrayIconId;
        record.uFlags = NIF_INFO;
        return ::Shell_NotifyIconW(NIM_MODIFY, &record);
    });
}

std::wstring TrayTooltip(bool portable, bool quillon)
{
    const wchar_t* suffix = portable && quillon ? L" (Quillon Portable)"
                            : portable          ? L" (Portable)"
                            : quillon           ? L" (Quillon)"
                                                : L"";
    return FormatString(L"%s v%s%s", AppProductName().c_str(), kAppVersion, suffix);
}
