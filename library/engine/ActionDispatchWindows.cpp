// Window commands and shell actions. The hook thread never waits on another
// application: window commands are posted (the receiver's own default handling
// carries them out), showing is asynchronous, and programs start on the timer
// thread.

#include "ActionDispatch.h"
#include "ActionDispatchInternal.h"

#include <cwchar>

#include "ActionData.h"
#include "Actions.h"
#include "Globals.h"
#include "Logger.h"
#include "ProcessLaunch.h"
#include "ProfileTargeting.h"

bool AcceptsMinMaxRestore(LONG_PTR style, const wchar_t* className, int showCommand)
{
    if ((style & (WS_CAPTION | WS_SYSMENU)) != 0)
    {
        switch (showCommand)
        {
        case SW_RESTORE: return true;
        case SW_MAXIMIZE: return (style & WS_MAXIMIZEBOX) != 0;
        case SW_MINIMIZE: return (style & WS_MINIMIZEBOX) != 0;
        default: return false;
        }
    }
    // Full-screen virtual machine windows have no caption but take the commands.
    if (className == nullptr)
        return false;
    if (std::wcsstr(className, L"VMUIFrame") != nullptr)
    {
        CLogger::LogDebug(L"GetMinMaxRestoreWnd: Detected VMWare full screen.");
        return true;
    }
    if (std::wcsstr(className, L"QWidget") != nullptr)
    {
        CLogger::LogDebug(L"GetMinMaxRestoreWnd: Detected VirtuaBox full screen.");
        return true;
    }
    return false;
}

HWND GetMinMaxRestoreWnd(HWND window, int showCommand)
{
    if (window == nullptr || !::IsWindow(window))
        return nullptr;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    HWND target = nullptr;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) && info.hwndActive != nullptr)
        target = info.hwndActive;
    else
        target = ::GetAncestor(window, GA_ROOT);
    if (target == nullptr)
        return nullptr;
    wchar_t className[256] = {};
    ::GetClassNameW(target, className, 256);
    return AcceptsMinMaxRestore(::GetWindowLongPtrW(target, GWL_STYLE), className, showCommand) ? target : nullptr;
}

namespace dispatch
{
namespace
{
HWND EventWindow(const Event& e)
{
    return e.window != nullptr ? e.window : g_engine.hCurrentWnd;
}
} // namespace

BYTE CloseWindow(const Event& e)
{
    if (!e.Down())
        return 1;
    HWND target = GetCaptionedActiveWindow(EventWindow(e));
    if (target != nullptr)
    {
        CLogger::LogMessage(L"Attempting to close window %08X", HandleNumber(target));
        ::PostMessageW(target, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    return 1;
}

BYTE MinMaxRestore(const Event& e, int showCommand)
{
    int kind = 0;
    const int code = showCommand == SW_MAXIMIZE ? ACTION_MAXIMIZE_WINDOW
                     : showCommand == SW_MINIMIZE ? ACTION_MINIMIZE_WINDOW
                                                  : ACTION_RESTORE_WINDOW;
    const UINT command = WindowCommandFor(code, kind);
    if (e.kind != kind)
        return 1;
    HWND window = EventWindow(e);
    HWND target = GetMinMaxRestoreWnd(window, showCommand);
    if (target == nullptr)
    {
        const wchar_t* format = showCommand == SW_MAXIMIZE
                                    ? L"Unable to maximize window 0x%08X as it does not have the correct style."
                                : showCommand == SW_MINIMIZE
                                    ? L"Unable to minimize window 0x%08X as it does not have the correct style."
                                    : L"Unable to restore window 0x%08X as it does not have the correct style.";
        CLogger::LogDebug(format, HandleNumber(window));
        return 1;
    }
    const LPARAM point = MAKELPARAM(static_cast<WORD>(e.point.x), static_cast<WORD>(e.point.y));
    ::PostMessageW(target, WM_SYSCOMMAND, command, point);
    if (showCommand == SW_MAXIMIZE)
        ::ShowWindowAsync(target, SW_SHOWMAXIMIZED);
    return 1;
}

BYTE Shell(const Event& e)
{
    const wchar_t* text = e.action != nullptr ? e.action->GetApplication() : nullptr;
    switch (e.code)
    {
    case ACTION_RUN_APPLICATION:
        if (!e.Down())
            return 1;
        if (text == nullptr || *text == L'\0')
        {
            CLogger::LogMessage(L"ProcessButtonAction: No application to run");
            return 1;
        }
        ThreadShellExecute(text, SW_SHOWNORMAL);
        return 1;
    case ACTION_OPEN_FOLDER:
        if (!e.Down())
            return 1;
        if (text == nullptr || *text == L'\0')
        {
            CLogger::LogMessage(L"ProcessButtonAction: No folder to open");
            return 1;
        }
        CLogger::LogDebug(L"Opening explorer at folder: %s", text);
        ThreadShellExecute(L"explore", text, nullptr);
        return 1;
    default:
        break;
    }
    if (!e.Up())
        return 1;
    const wchar_t* parameters = nullptr;
    switch (e.code)
    {
    case ACTION_OPEN_MY_DOCUMENTS: parameters = L"/N,::{450D8FBA-AD25-11D0-98A8-0800361B1103}"; break;
    case ACTION_OPEN_MY_COMPUTER: parameters = L"/E,::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"; break;
    case ACTION_OPEN_NETWORK_FAVOURITES: parameters = L"/N,::{208D2C60-3AEA-1069-A2D7-08002B30309D}"; break;
    default:
        parameters = L"/N,::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{21EC2020-3AEA-1069-A2DD-08002B30309D}";
        break;
    }
    ThreadShellExecute(L"open", L"explorer", parameters);
    return 1;
}
} // namespace dispatch
