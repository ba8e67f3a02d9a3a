#include "MyMessageWnd.h"

#include <wtsapi32.h>

#include <exception>
#include <utility>

#include "AppTexts.h"
#include "CaughtException.h"
#include "CommandWord.h"
#include "Exceptions.h"
#include "LangSupport.h"
#include "Layers.h"
#include "Logger.h"
#include "MessageBox.h"
#include "OSVersion.h"
#include "SystemLibrary.h"
#include "TrayIcon.h"

namespace
{
std::wstring ProductName()
{
    std::wstring name = L"Brindle";
    name += L"map";
    return name;
}

const wchar_t* ShortName()
{
    static const std::wstring name = std::wstring(L"BR") + L"MP";
    return name.c_str();
}

std::wstring WithoutQuotes(const std::wstring& text)
{
    std::wstring result;
    result.reserve(text.size());
    for (wchar_t c : text)
        if (c != L'"')
            result += c;
    return result;
}

// A framework exception caught by a guarded handler: logged with its own
// message, or as one without.
void LogFrameworkException(const CException& e, const wchar_t* withMessage, const wchar_t* withoutMessage)
{
    wchar_t text[1024] = {};
    if (e.GetErrorMessage(text, 1024))
        CLogger::LogMessage(withMessage, text);
    else
        CLogger::LogMessage(L"%s", withoutMessage);
}

// Closes the stand-in settings box (or any dialog) that this window owns.
BOOL CALLBACK CloseOwnedDialog(HWND window, LPARAM owner)
{
    if (::GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner))
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}
}

UINT CMyMessageWnd::NextInstanceMessage()
{
    static const UINT id = ::RegisterWindowMessageW(L"BRMP_NextInstance");
    return id;
}

CMyMessageWnd::CMyMessageWnd(bool showIcon, bool quillon, bool portable, bool desktopLocked,
                             IMainWindowServices& services, std::wstring pipeName)
    : m_services(services), m_pipeName(std::move(pipeName)), m_bShowIcon(showIcon), m_bQuillon(quillon),
      m_bPortable(portable), m_bDesktopLocked(desktopLocked)
{
    BindMessage(WM_CREATE, &CMyMessageWnd::OnCreate);
    BindRegisteredMessage(L"BRMP_NextInstance", &CMyMessageWnd::OnNextInstanceToken);
    BindRegisteredMessage(L"BRMP_MainWindow", &CMyMessageWnd::OnMainWindow);
    BindRegisteredMessage(L"BRMP_LayerChanged", &CMyMessageWnd::OnLayerChanged);
    BindRegisteredMessage(L"BRMP_CursorSpeedChanged", &CMyMessageWnd::OnCursorSpeedChanged);
    BindRegisteredMessage(L"BRMP_ProcessChanged", &CMyMessageWnd::OnProcessChanged);
    BindRegisteredMessage(L"TaskbarCreated", &CMyMessageWnd::OnTaskBarCreated);
    BindRegisteredMessage(L"BRMP_ToggleDisable", &CMyMessageWnd::OnToggleDisableMessage);
    BindRegisteredMessage(L"BRMP_RemoveIcon", &CMyMessageWnd::OnRemoveIcon);
    BindCommand(IdDisable, &CMyMessageWnd::OnMenuDisable);
    BindCommand(IdSetup, &CMyMessageWnd::OnMenuSetup);
    BindCommand(IdHideIcon, &CMyMessageWnd::OnHideIcon);
    BindCommand(IdExit, &CMyMessageWnd::OnMenuExit);
    BindCommand(IdOpenLog, &CMyMessageWnd::OnOpenLogFile);
    BindCommand(IdCheckUpdate, &CMyMessageWnd::OnCheckForUpdate);
    BindCommand(IdSaveDesktop, &CMyMessageWnd::OnSaveDesktopIcons);
    BindCommand(IdRestoreDesktop, &CMyMessageWnd::OnRestoreDesktopIcons);
    BindMessage(kTrayCallbackMessage, &CMyMessageWnd::OnNotifyIcon);
    BindCommandRange(IdLayerFirst, IdLayerLast, &CMyMessageWnd::OnLayerMenu);
    BindMessage(WM_TIMER, &CMyMessageWnd::OnTimer);
    BindMessage(WM_SETTINGCHANGE, &CMyMessageWnd::OnSettingChange);
    BindMessage(WM_POWERBROADCAST, &CMyMessageWnd::OnPowerBroadcast);
    BindMessage(WM_WTSSESSION_CHANGE, &CMyMessageWnd::OnSessionChange);
    BindMessage(WM_DISPLAYCHANGE, &CMyMessageWnd::OnDisplayChange);
    BindMessage(WM_QUERYENDSESSION, &CMyMessageWnd::OnQueryEndSession);
    BindMessage(WM_ENDSESSION, &CMyMessageWnd::OnEndSession);
    BindRegisteredMessage(L"BRMPCheckVersion", &CMyMessageWnd::OnCheckVersion);
    BindMessage(DebugStateMessage, &CMyMessageWnd::OnDebugStateChanged);
    // The settings dialog's note that it applied settings: the tray shows them.
    BindRegisteredMessage(L"BRMP_UpdateIcon", &CMyMessageWnd::OnMainWindow);
}

CMyMessageWnd::~CMyMessageWnd()
{
    Cleanup();
}

bool CMyMessageWnd::Create(const wchar_t* className, const wchar_t* title)
{
    return CreateEx(WS_EX_CLIENTEDGE, className, title, WS_POPUP, 0, 0, 0, 0, nullptr);
}

LRESULT CMyMessageWnd::OnCreate(WPARAM, LPARAM)
{
    m_nCurrentLayer = m_services.GetCurrentLayer();
    if (m_bShowIcon)
        m_services.ShowTrayIcon(m_hWnd, true);
    m_services.SetHookMainWindow(m_hWnd);

    m_bSessionNotifications = RegisterSessionNotifications();
    if (m_bSessionNotifications)
        CLogger::LogDebug(L"Registered to recieve WTS Session Notifications.");
    else
        CLogger::LogDebug(L"Failed to register for WTS Session Notifications.");

    SetHotkeys(false);
    ArmVersionCheck(FirstVersionCheckMs);

    // Without the pipe the program still runs; later starts then cannot reach it.
    m_pipeServer.Start(m_hWnd, NextInstanceMessage(), m_commands, m_pipeName);

    // On a locked desktop the displays wait for the logon, with the hooks.
    if (!m_bDesktopLocked)
        m_services.CreateOSDWindows(m_hWnd);
    return 0;
}

bool CMyMessageWnd::RegisterSessionNotifications()
{
    // Bound at run time from the system folder: a library of that name beside
    // a portable copy must never be loaded.
    if (m_hWtsApi == nullptr)
        m_hWtsApi = LoadSystemLibrary(L"wtsapi32.dll");
    if (m_hWtsApi == nullptr)
        return false;
    using RegisterFn = BOOL(WINAPI*)(HWND, DWORD);
    const auto registerFor = reinterpret_cast<RegisterFn>(
        reinterpret_cast<void*>(::GetProcAddress(m_hWtsApi, "WTSRegisterSessionNotification")));
    return registerFor != nullptr && registerFor(m_hWnd, NOTIFY_FOR_THIS_SESSION) != FALSE;
}

LRESULT CMyMessageWnd::SendCommand(DWORD word, const std::wstring& text)
{
    const LPARAM token = m_commands.Push(InstanceCommand{word, text});
    if (token == 0)
        return 0;
    return SendMessage(NextInstanceMessage(), word, token);
}

LRESULT CMyMessageWnd::OnNextInstanceToken(WPARAM, LPARAM token)
{
    // Only the token of a command this window queued itself is honoured: the
    // message can be posted by any process, and its word alone proves nothing.
    std::optional<InstanceCommand> command = m_commands.Take(token);
    if (!command)
    {
        CLogger::LogMessage(L"OnNextInstance: Ignoring a command message that this instance did not issue.");
        return 0;
    }
    return OnNextInstance(command->word, command->text);
}

template <typename Step>
void CMyMessageWnd::RunStep(const wchar_t* name, Step step)
{
    try
    {
        step();
    }
    catch (...)
    {
        LogCaughtException(L"%s", name);
    }
}

LRESULT CMyMessageWnd::OnNextInstance(DWORD word, const std::wstring& argument)
{
    using namespace CommandBits;
    const std::wstring text = argument;

    if (word & Relayed)
        CLogger::LogMessage(L"Received message with data 0x%x from another instance of %s.", word,
                            ProductName().c_str());
    if (word & CommandBits::Exit)
    {
        CMyMessageWnd::Exit(false);
        return 1;
    }

    if ((word & Startup) == 0)
    {
        RunStep(L"OnNextInstance: fgStartup", [&] {
            if (word & ShowIcon)
            {
                CLogger::LogMessage(L"Showing the taskbar icon.");
                m_bShowIcon = true;
                m_services.ShowTrayIcon(m_hWnd, false);
                m_services.ShowTrayIcon(m_hWnd, true);
            }
            else if (word & HideIcon)
            {
                CLogger::LogMessage(L"Hiding the taskbar icon.");
                m_bShowIcon = false;
                m_services.ShowTrayIcon(m_hWnd, false);
            }
            else if (m_services.GetShowIcon())
            {
                m_bShowIcon = true;
                m_services.ShowTrayIcon(m_hWnd, false);
                m_services.ShowTrayIcon(m_hWnd, true);
            }
        });
    }
    if (word & SaveIcons)
        RunStep(L"OnNextInstance: Save Desktop Icons", [&] { m_services.SaveDesktopIcons(); });
    if (word & RestoreIcons)
        RunStep(L"OnNextInstance: Restore Desktop Icons", [&] { m_services.RestoreDesktopIcons(); });
    if (word & Debug)
        RunStep(L"OnNextInstance: Enable Debug", [&] { m_services.SetDebug(true, L"command-line argument"); });
    else
        RunStep(L"OnNextInstance: Disable Debug", [&] { m_services.SetDebug(false, L"command-line argument"); });

    if (word & Setup)
    {
        CLogger::LogDebug(L"OnNextInstance: Open Settings");
        RunStep(L"OnNextInstance: Open Settings", [&] { OnSetup(std::wstring(), std::wstring()); });
        // An exit requested while the dialog was open has ended this window.
        if (m_bExited)
            return 1;
    }
    if (word & Reload)
    {
        CLogger::LogDebug(L"OnNextInstance: Reload settings");
        RunStep(L"OnNextInstance: Reload settings", [&] { m_services.UpdateSettings(); });
    }
    if ((word & Disable) && m_services.GetHooked())
    {
        RunStep(L"OnNextInstance: Disable", [&] {
            CLogger::LogDebug(L"OnNextInstance: Disable %s", ShortName());
            m_services.RemoveMouseHook(true);
            ClearHotkeys();
            // While the settings dialog runs, its end registers the hotkeys.
            if (!m_bSetupOpen)
                SetHotkeys(false);
            if (m_services.NotificationsEnabled())
                m_services.ShowBalloon(m_hWnd, 2, L"Mouse button re-mapping is now disabled");
        });
    }
    if ((word & Enable) && !m_services.GetHooked())
    {
        RunStep(L"OnNextInstance: Enable", [&] {
            CLogger::LogDebug(L"OnNextInstance: Enable %s", ShortName());
            m_services.UpdateSettings();
            if (m_services.SetMouseHook())
            {
                ClearHotkeys();
                if (!m_bSetupOpen)
                    SetHotkeys(true);
                if (m_services.NotificationsEnabled())
                    m_services.ShowBalloon(m_hWnd, 3, L"Mouse button re-mapping is now enabled");
            }
            else
            {
                CLogger::LogMessage(L"OnNextInstance: SetMouseHook returned an error while trying to enable BRMP");
            }
        });
    }
    if (word & Layer)
    {
        CLogger::LogDebug(L"OnNextInstance: Switching to layer %s", text.c_str());
        RunStep(L"OnNextInstance: Switch Layer", [&] {
            // A layer outside the table is refused (and logged) by LayerFromCommand.
            if (const std::optional<int> layer = LayerFromCommand(word, text, m_services.MaxLayers()))
                m_services.SetCurrentLayer(*layer, false, true, true);
        });
    }
    if (word & Import)
    {
        RunStep(L"OnNextInstance (Import settings)", [&] {
            const std::wstring file = WithoutQuotes(text);
            CLogger::LogMessage(L"OnNextInstance: Importing settings file '%s'", file.c_str());
            OnSetup(file, std::wstring());
        });
        if (m_bExited)
            return 1;
    }
    if (word & Profile)
    {
        RunStep(L"OnNextInstance (Switch Profile)", [&] {
            const std::wstring file = WithoutQuotes(text);
            CLogger::LogMessage(L"OnNextInstance: Switching profile to '%s'", file.c_str());
            if (ISetupDialogControl* dialog = m_bSetupOpen ? m_services.OpenSetupDialog() : nullptr)
                dialog->SwitchProfile(file);
            else
                m_services.SwitchProfile(m_hWnd, file);
        });
    }
    if (word & Install)
    {
        RunStep(L"OnNextInstance (Installing language pack)", [&] {
            std::wstring installed;
            if (m_services.InstallLanguagePack(m_hWnd, WithoutQuotes(text), installed))
                OnSetup(std::wstring(), installed);
        });
        if (m_bExited)
            return 1;
    }
    return 1;
}

LRESULT CMyMessageWnd::OnToggleDisable(WPARAM showBalloon, LPARAM)
{
    if (m_services.GetHooked())
    {
        CLogger::LogDebug(L"OnToggleDisable: Disable %s", ShortName());
        ClearHotkeys();
        m_services.RemoveMouseHook(false);
        if (!m_bSetupOpen)
            SetHotkeys(false);
        if (m_bShowIcon)
            m_services.UpdateTrayIcon(m_hWnd, m_nCurrentLayer);
        if (showBalloon == 1 && m_services.NotificationsEnabled())
            m_services.ShowBalloon(m_hWnd, 2, L"Mouse button re-mapping is now disabled");
        return 0;
    }

    CLogger::LogDebug(L"OnToggleDisable: Enable %s", ShortName());
    m_services.UpdateSettings();
    ClearHotkeys();
    if (!m_services.SetMouseHook())
    {
        CLogger::LogMessage(L"OnToggleDisable: Unable to start mouse hook!");
        // The hotkeys were cleared above: the toggle itself must come back, or
        // remapping could no longer be switched on by its hotkey.
        if (!m_bSetupOpen)
            SetHotkeys(false);
        return 0;
    }
    if (!m_bSetupOpen)
        SetHotkeys(true);
    if (m_services.IsBRMPDisabled(false))
    {
        CLogger::LogMessage(L"Mouse hook is now active BUT is still disabled by scroll lock or remote desktop session.");
        return 0;
    }
    if (m_bShowIcon)
        m_services.UpdateTrayIcon(m_hWnd, m_nCurrentLayer);
    if (showBalloon == 1 && m_services.NotificationsEnabled())
        m_services.ShowBalloon(m_hWnd, 3, L"Mouse button re-mapping is now enabled");
    return 0;
}

void CMyMessageWnd::OnSetup(const std::wstring& importFile, const std::wstring& languageFile)
{
    if (m_bSetupOpen)
    {
        if (ISetupDialogControl* dialog = m_services.OpenSetupDialog())
        {
            dialog->BringToFront();
            if (!importFile.empty())
                dialog->Import(importFile);
            if (!languageFile.empty())
                dialog->SelectLanguage(languageFile);
        }
        else
            CLogger::LogDebug(L"CMyMessageWnd::OnSetup   -   The setup dialog is already open.");
        return;
    }
    // The settings' icon option before the dialog ran: an icon the user hid
    // from the menu stays hidden unless the dialog changed the option.
    const bool showIconBefore = m_services.GetShowIcon();
    const bool osdBefore = m_services.GetEnableOSD();
    CLogger::LogDebug(L"CMyMessageWnd::OnSetup   -   Clear hotkeys...");
    ClearHotkeys();
    CLogger::LogMessage(L"CMyMessageWnd::OnSetup   -   Opening setup dialog.");
    m_bSetupOpen = true;
    bool failed = true;
    try
    {
        m_services.RunSetupDialog(m_hWnd, importFile, languageFile, m_bPortable, m_bQuillon);
        failed = false;
    }
    catch (const CException& e)
    {
        LogFrameworkException(e, L"CMyMessageWnd::OnSetup - Setup dialog threw an exception: %s",
                              L"CMyMessageWnd::OnSetup - Setup dialog threw an unexpected CException.");
    }
    catch (const std::exception& e)
    {
        CLogger::LogMessage(L"CMyMessageWnd::OnSetup - Setup dialog threw an exception: %S", e.what());
        failed = true;
    }
    catch (...)
    {
        CLogger::LogOSMessage(::GetLastError(), L"CMyMessageWnd::OnSetup   -   Setup dialog threw an unexpected exception.");
        failed = true;
    }
    if (failed && !m_bExitPending)
    {
        CLangSupport* language = LangSupport();
        ShowMessageBox(LookupText(language, std::wstring(L"Unable to open the setup window.\nThe log file may have "
                                                         L"more information.\n\nPlease inform the author.")),
                       MB_OK | MB_ICONERROR, m_hWnd);
        CLangSupport::Release(language);
    }
    m_bSetupOpen = false;
    CLogger::LogMessage(L"CMyMessageWnd::OnSetup   -   Setup dialog closed.");

    if (m_bExitPending)
    {
        m_services.ShowTrayIcon(m_hWnd, false);
        m_services.RemoveMouseHook(true);
        CloseProgram();
        return;
    }
    m_services.UpdateSettings();
    const bool show = m_services.GetShowIcon();
    if (show != showIconBefore)
    {
        m_bShowIcon = show;
        m_services.ShowTrayIcon(m_hWnd, false);
        if (show)
            m_services.ShowTrayIcon(m_hWnd, true);
    }
    const bool osdAfter = m_services.GetEnableOSD();
    if (osdAfter != osdBefore)
    {
        if (osdAfter)
            m_services.CreateOSDWindows(m_hWnd);
        else
            m_services.RemoveOSDWindows();
    }
    SetHotkeys(false);
    ArmVersionCheck(AfterSetupVersionCheckMs);
    ::SetActiveWindow(nullptr);
}

void CMyMessageWnd::Exit(bool byUser)
{
    try
    {
        CLogger::LogMessage(byUser ? L"Exit requested by the user." : L"Exit requested from the commandline.");
        if (m_bSetupOpen)
        {
            EndSetupForExit();
            return;
        }
        m_services.RemoveMouseHook(true);
        m_services.ShowTrayIcon(m_hWnd, false);
        CloseProgram();
    }
    catch (...)
    {
        LogCaughtException(L"CMyMessageWnd::Exit");
    }
}

void CMyMessageWnd::EndSetupForExit()
{
    // OnSetup finishes the exit once the dialog has returned.
    m_bExitPending = true;
    if (ISetupDialogControl* dialog = m_services.OpenSetupDialog())
        dialog->EndForExit();
    else
        ::EnumThreadWindows(::GetCurrentThreadId(), &CloseOwnedDialog, reinterpret_cast<LPARAM>(m_hWnd));
}

void CMyMessageWnd::CloseProgram()
{
    Cleanup();
    m_bExited = true;
    DestroyWindow();
}

void CMyMessageWnd::Cleanup()
{
    if (m_bCleanedUp)
        return;
    m_bCleanedUp = true;
    m_pipeServer.Stop();
    ClearHotkeys();
    // A window that goes without an exit (its object deleted) leaves no icon behind in the tray.
    m_services.ShowTrayIcon(m_hWnd, false);
    m_services.SetHookMainWindow(nullptr);
    m_services.RemoveOSDWindows();
    if (m_bSessionNotifications && m_hWnd != nullptr && m_hWtsApi != nullptr)
    {
        using UnregisterFn = BOOL(WINAPI*)(HWND);
        if (const auto unregister = reinterpret_cast<UnregisterFn>(
                reinterpret_cast<void*>(::GetProcAddress(m_hWtsApi, "WTSUnRegisterSessionNotification"))))
            unregister(m_hWnd);
    }
    m_bSessionNotifications = false;
    if (m_hWtsApi != nullptr)
        ::FreeLibrary(m_hWtsApi);
    m_hWtsApi = nullptr;
}

void CMyMessageWnd::PostNcDestroy()
{
    m_bExited = true;
}

LRESULT CMyMessageWnd::OnLayerChanged(WPARAM layer, LPARAM balloon)
{
    // Anyone can post this message: a layer outside the table is not shown.
    if (layer >= static_cast<WPARAM>(LayerCount))
    {
        CLogger::LogMessage(L"CMyMessageWnd::OnLayerChanged: Ignoring layer %I64u, which does not exist.",
                            static_cast<unsigned long long>(layer));
        return 0;
    }
    if (static_cast<int>(layer) == m_nCurrentLayer)
        return 0;
    m_nCurrentLayer = static_cast<int>(layer);
    if (!m_services.GetHooked())
        return 0;
    if (m_bShowIcon)
        m_services.UpdateTrayIcon(m_hWnd, m_nCurrentLayer);
    CLangSupport* language = LangSupport();
    const std::wstring name = m_services.LayerName(m_nCurrentLayer);
    const std::wstring text = name.empty() ? LookupText(language, L"Activating layer %d", m_nCurrentLayer + 1)
                                           : LookupText(language, L"Activating layer '%s'", name.c_str());
    CLangSupport::Release(language);
    if (balloon != 0)
        m_services.ShowBalloon(m_hWnd, 1, text);
    else
        m_services.HideBalloon(m_hWnd);
    return 0;
}

LRESULT CMyMessageWnd::OnCursorSpeedChanged(WPARAM position, LPARAM balloon)
{
    if (position >= static_cast<WPARAM>(CursorSpeedPositions))
    {
        CLogger::LogMessage(L"CMyMessageWnd::OnCursorSpeedChanged: Ignoring cursor speed position %I64u, which does not exist.",
                            static_cast<unsigned long long>(position));
        return 0;
    }
    if (m_bShowIcon)
        m_services.ShowCursorSpeed(m_hWnd, static_cast<int>(position), balloon != 0);
    return 0;
}

LRESULT CMyMessageWnd::OnMainWindow(WPARAM, LPARAM)
{
    if (m_bShowIcon)
        m_services.UpdateTrayIcon(m_hWnd, m_nCurrentLayer);
    return 0;
}

LRESULT CMyMessageWnd::OnRemoveIcon(WPARAM, LPARAM)
{
    m_services.ShowTrayIcon(m_hWnd, false);
    return 0;
}

void CMyMessageWnd::OnLayerMenu(UINT id)
{
    const int layer = static_cast<int>(id - IdLayerFirst);
    // The menu offers MaxLayers entries; a command for another one can be sent
    // by anyone and names no layer in use.
    if (layer < 0 || layer >= m_services.MaxLayers())
    {
        CLogger::LogMessage(L"CMyMessageWnd::OnLayerMenu: Ignoring layer %d, which is not in use.", layer + 1);
        return;
    }
    m_services.SetCurrentLayer(layer, false, true, true);
}

void CMyMessageWnd::OnHideIcon()
{
    m_services.ShowTrayIcon(m_hWnd, false);
    m_bShowIcon = false;
}

void CMyMessageWnd::OnMenuDisable()
{
    SendMessage(::RegisterWindowMessageW(L"BRMP_ToggleDisable"), 0, 0);
}

LRESULT CMyMessageWnd::OnTaskBarCreated(WPARAM, LPARAM)
{
    if (m_bShowIcon)
    {
        CLogger::LogMessage(L"OnTaskBarCreated: Recreating systray icon");
        m_services.ShowTrayIcon(m_hWnd, false);
        m_services.ShowTrayIcon(m_hWnd, true);
    }
    return 0;
}

LRESULT CMyMessageWnd::OnNotifyIcon(WPARAM id, LPARAM message)
{
    try
    {
        switch (static_cast<UINT>(message))
        {
        case WM_RBUTTONDOWN:
            m_services.ShowTrayMenu(m_hWnd);
            break;
        case NIN_BALLOONUSERCLICK:
            // Any balloon may be clicked; only the update's announcement offers something.
            if (m_nPendingUpdateVersion != 0)
            {
                const int version = std::exchange(m_nPendingUpdateVersion, 0);
                CLogger::LogDebug(L"User clicked the balloon: I=%d", static_cast<int>(id));
                StartUpdate(version);
            }
            break;
        case WM_LBUTTONDBLCLK:
            // The double click's first click started the cycle timer: it must not also cycle.
            if (m_nClickTimer != 0)
                KillTimer(m_nClickTimer);
            m_nClickTimer = 0;
            OnSetup(std::wstring(), std::wstring());
            break;
        case WM_LBUTTONDOWN:
            if (::GetKeyState(VK_CONTROL) < 0)
                m_services.OpenSettingsFolder(m_hWnd);
            else if (m_services.LeftClickCycleLayer())
                m_nClickTimer = SetTimer(TimerLayerClick, ::GetDoubleClickTime());
            break;
        default:
            break;
        }
    }
    catch (...)
    {
        LogCaughtException(L"On_NotifyIcon");
    }
    return 0;
}

void CMyMessageWnd::OnCheckForUpdate()
{
    // The user's check stands in for the periodic one, which then counts its
    // period afresh from here.
    KillTimer(TimerVersionCheck);
    m_services.CheckForUpdateNow(m_hWnd);
    ArmVersionCheck(VersionCheckPeriodMs);
}

LRESULT CMyMessageWnd::OnTimer(WPARAM id, LPARAM)
{
    switch (id)
    {
    case TimerTrayRetry:
        KillTimer(id);
        if (m_bShowIcon)
            m_services.UpdateTrayIcon(m_hWnd, m_nCurrentLayer);
        break;
    case TimerVersionCheck:
        KillTimer(id);
        m_services.StartVersionCheck(m_hWnd);
        ArmVersionCheck(VersionCheckPeriodMs);
        break;
    case TimerSettingChange:
        KillTimer(id);
        CLogger::LogThreadDebug(L"Responding to WM_SETTINGCHANGE message...");
        m_services.UpdateSPIThread();
        break;
    default:
        if (id == m_nClickTimer && m_nClickTimer != 0)
        {
            KillTimer(id);
            m_nClickTimer = 0;
            const int layers = m_services.MaxLayers();
            int next = m_services.GetCurrentLayer() + 1;
            if (next >= layers || next >= LayerCount || next < 0)
                next = 0;
            m_services.SetCurrentLayer(next, false, true, true);
        }
        return Default();
    }
    return 0;
}

void CMyMessageWnd::ArmVersionCheck(UINT delayMs)
{
    m_nVersionCheckDelayMs = delayMs;
    SetTimer(TimerVersionCheck, delayMs);
}

void CMyMessageWnd::StartUpdate(int version)
{
    if (!m_services.StartUpdate(m_hWnd, version))
        ArmVersionCheck(DeclinedUpdateRetryMs);
}

LRESULT CMyMessageWnd::OnCheckVersion(WPARAM version, LPARAM result)
{
    const bool byUser = (static_cast<DWORD>(result) & 0x80000000u) != 0;
    const int found = static_cast<int>(version);
    CLangSupport* language = LangSupport();
    try
    {
        const std::wstring product = AppProductName();
        switch (static_cast<DWORD>(result) & 0xFF)
        {
        case 0:
            CLogger::LogMessage(L"You are using the latest available version of %s.", product.c_str());
            if (byUser)
                ShowMessageBox(LookupText(language, L"You have the latest available version of %s", product.c_str()),
                               MB_OK | MB_ICONINFORMATION, m_hWnd);
            break;
        case 1:
        case 2:
        {
            const bool beta = (result & 0xFF) == 2;
            const std::wstring text = LookupText(language, beta ? L"There is a new beta version available!"
                                                                : L"There is a new version available!");
            CLogger::LogMessage(L"%s (%d)", text.c_str(), found);
            if (byUser)
            {
                StartUpdate(found);
                break;
            }
            std::wstring hint;
            if (static_cast<int>(::GetOSVersion()) > 1)
                hint = LookupText(language, L"Click here for more details.");
            else if (beta)
                hint = LookupText(language, L"Right click the BRMP Icon to download the update.");
            else
                hint = LookupText(language, L"Right click the %s Icon to download the update.", AppShortName().c_str());
            m_nPendingUpdateVersion = found;
            m_services.ShowBalloon(m_hWnd, beta ? 6 : 5, text + L"\n" + hint);
            break;
        }
        case 128:
            if (byUser)
                ShowMessageBox(LookupText(language, L"Unable to check for updates! An unexpected error occurred."),
                               MB_OK | MB_ICONWARNING, m_hWnd);
            break;
        case 240:
            if (byUser)
                ShowMessageBox(LookupText(language, L"Unable to check for updates! A DNS query error occurred."),
                               MB_OK | MB_ICONWARNING, m_hWnd);
            break;
        default:
            CLogger::LogMessage(L"CMyMessageWnd::OnCheckVersion: Ignoring result 0x%08X.", static_cast<unsigned>(result));
            break;
        }
    }
    catch (const CException& e)
    {
        LogFrameworkException(e, L"CMyMessageWnd::OnCheckVersion - Version check threw an exception: %s",
                              L"CMyMessageWnd::OnCheckVersion - Version check threw an unexpected CException.");
    }
    catch (const std::exception& e)
    {
        CLogger::LogMessage(L"CMyMessageWnd::OnCheckVersion - Version check threw an exception: %S", e.what());
    }
    catch (...)
    {
        CLogger::LogOSMessage(::GetLastError(),
                              L"CMyMessageWnd::OnCheckVersion   -   Version check threw an unexpected exception.");
    }
    CLangSupport::Release(language);
    return 0;
}
