#pragma once
// The program's hidden main window. It owns the instance pipe's server, hands
// itself to the library as the receiver of its notifications, and applies
// every command that reaches the program from outside (a later start's
// command word, relayed through the pipe) or from its own start-up.

#include <windows.h>

#include <string>

#include "HotkeyHandler.h"
#include "InstanceCommandQueue.h"
#include "InstancePipe.h"
#include "InstancePipeServer.h"
#include "MainWindowServices.h"
#include "Window.h"

class CMyMessageWnd : public CWindow
{
public:
    // Timer ids.
    enum : UINT_PTR
    {
        TimerTrayRetry = 1,
        TimerVersionCheck = 2,
        TimerLayerClick = 3,
        TimerSettingChange = 5,
    };
    static constexpr UINT SettingChangeDelayMs = 1000;
    // Private: the debug hotkey asks the main thread to show the new state.
    static constexpr UINT DebugStateMessage = WM_APP + 0x101;
    static constexpr UINT AfterResumeVersionCheckMs = 120000;
    static constexpr UINT FirstVersionCheckMs = 120000;
    static constexpr UINT AfterSetupVersionCheckMs = 5000;
    static constexpr UINT VersionCheckPeriodMs = 21600000;
    // A declined update is offered again after an hour.
    static constexpr UINT DeclinedUpdateRetryMs = 3600000;
    // Layers a profile holds; a layer outside them never comes from the library.
    static constexpr int LayerCount = 10;
    static constexpr int CursorSpeedPositions = 4;

    // Commands of the tray menu.
    enum : UINT
    {
        IdLayerFirst = 32900,
        IdLayerLast = 32909,
        IdSetup = 109,
        IdHideIcon = 110,
        IdDisable = 32786,
        IdExit = 32778,
        IdSaveDesktop = 32781,
        IdRestoreDesktop = 32782,
        IdOpenLog = 32784,
        IdCheckUpdate = 32803,
    };

    CMyMessageWnd(bool showIcon, bool quillon, bool portable, bool desktopLocked,
                  IMainWindowServices& services = DefaultMainWindowServices(),
                  std::wstring pipeName = InstancePipeName());
    ~CMyMessageWnd() override;

    // Creates the hidden window: class and title are the single-instance name
    // (null class: the framework's own, for tests).
    bool Create(const wchar_t* className, const wchar_t* title);

    // The start-up hand-over: the word and text run through the same handler
    // as a relayed command, at once. Returns the handler's result.
    LRESULT SendCommand(DWORD word, const std::wstring& text);

    void Exit(bool byUser);
    void Cleanup();
    void OnSetup(const std::wstring& importFile, const std::wstring& languageFile);
    LRESULT OnToggleDisable(WPARAM showBalloon, LPARAM);

    // Registers the global hotkeys of the settings and starts their thread.
    // hooksActive: the hooks are known to run; otherwise, while remapping is
    // off, only the hotkeys marked use-when-disabled are registered.
    void SetHotkeys(bool hooksActive);
    // Ends the hotkey thread and frees every entry.
    void ClearHotkeys();
    // A pressed hotkey (runs on the hotkey thread).
    void OnGlobalHotkey(int id);
    const HotkeyHandler& Hotkeys() const { return m_hotkeys; }

    // The system's events.
    LRESULT OnSessionChange(WPARAM event, LPARAM session);
    LRESULT OnPowerBroadcast(WPARAM event, LPARAM);
    LRESULT OnSettingChange(WPARAM action, LPARAM);
    LRESULT OnDisplayChange(WPARAM depth, LPARAM resolution);
    LRESULT OnQueryEndSession(WPARAM, LPARAM);
    LRESULT OnEndSession(WPARAM ending, LPARAM);
    bool IsDesktopLockedAtStart() const { return m_bDesktopLocked; }
    DWORD LastHookInstall() const { return m_dwLastHookInstall; }

    // An update announced in a balloon (0: none).
    int GetPendingUpdateVersion() const { return m_nPendingUpdateVersion; }
    // The delay the next update check was last armed with.
    UINT NextVersionCheckDelay() const { return m_nVersionCheckDelayMs; }

    int GetCurrentLayerShown() const { return m_nCurrentLayer; }
    bool GetShowIcon() const { return m_bShowIcon; }
    bool IsSetupOpen() const { return m_bSetupOpen; }
    bool IsExited() const { return m_bExited; }
    bool IsPipeServing() const { return m_pipeServer.Running(); }

    // The id of "BRMP_NextInstance" (wParam = command word, lParam = a token
    // of this window's command queue).
    static UINT NextInstanceMessage();

protected:
    void PostNcDestroy() override;

private:
    LRESULT OnCreate(WPARAM, LPARAM);
    LRESULT OnNextInstanceToken(WPARAM word, LPARAM token);
    LRESULT OnNextInstance(DWORD word, const std::wstring& text);
    LRESULT OnLayerChanged(WPARAM layer, LPARAM balloon);
    LRESULT OnProcessChanged(WPARAM, LPARAM) { return 1; }
    LRESULT OnCursorSpeedChanged(WPARAM position, LPARAM balloon);
    LRESULT OnMainWindow(WPARAM, LPARAM);
    LRESULT OnRemoveIcon(WPARAM, LPARAM);
    void OnLayerMenu(UINT id);
    void OnMenuSetup() { OnSetup(std::wstring(), std::wstring()); }
    void OnHideIcon();
    void OnMenuDisable();
    void OnMenuExit() { Exit(true); }
    LRESULT OnTaskBarCreated(WPARAM, LPARAM);
    // The tray icon's mouse messages (wParam icon id, lParam the mouse message).
    LRESULT OnNotifyIcon(WPARAM id, LPARAM message);
    void OnOpenLogFile() { m_services.OpenLogFile(m_hWnd); }
    void OnCheckForUpdate();
    void OnSaveDesktopIcons() { m_services.SaveDesktopIcons(); }
    void OnRestoreDesktopIcons() { m_services.RestoreDesktopIcons(); }
    LRESULT OnToggleDisableMessage(WPARAM showBalloon, LPARAM lParam) { return OnToggleDisable(showBalloon, lParam); }
    LRESULT OnTimer(WPARAM id, LPARAM);
    LRESULT OnCheckVersion(WPARAM version, LPARAM result);
    LRESULT OnDebugStateChanged(WPARAM, LPARAM);
    void ArmVersionCheck(UINT delayMs);
    // Offers the update; a declined one is offered again later.
    void StartUpdate(int version);
    static void GlobalHotkeyCallback(void* context, int id);
    // Re-installs the hooks after the system resumed.
    void RehookAfterResume();
    // Registers for the session's lock, unlock and logon messages.
    bool RegisterSessionNotifications();
    // Installs what a start on a locked desktop left out.
    bool InstallAfterLockedStart(const wchar_t* success);

    // Asks the open settings dialog to end; OnSetup then ends the program.
    void EndSetupForExit();
    // The end of every exit once the hooks are out: the pipe, the hotkeys and
    // the window go, and with the window the message loop.
    void CloseProgram();

    // Runs one step of a command; an exception is logged under the step's name
    // and the later steps still run.
    template <typename Step>
    void RunStep(const wchar_t* name, Step step);

    IMainWindowServices& m_services;
    std::wstring m_pipeName;
    bool m_bShowIcon;
    bool m_bQuillon;
    bool m_bPortable;
    bool m_bDesktopLocked;
    int m_nCurrentLayer = 0;
    bool m_bSetupOpen = false;
    bool m_bExitPending = false;
    bool m_bExited = false;
    bool m_bSessionNotifications = false;
    bool m_bCleanedUp = false;
    UINT_PTR m_nClickTimer = 0;
    DWORD m_dwLastHookInstall = 0;
    // Whether remapping ran when the system last suspended (-1: no suspend seen).
    int m_nHookedAtSuspend = -1;
    int m_nPendingUpdateVersion = 0;
    HMODULE m_hWtsApi = nullptr;
    UINT m_nVersionCheckDelayMs = 0;
    HotkeyHandler m_hotkeys;
    CInstanceCommandQueue m_commands;
    CInstancePipeServer m_pipeServer;
};
