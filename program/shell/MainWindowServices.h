#pragma once
// Everything the main window asks of the rest of the system, behind one
// interface: the library's control functions, and the parts of the shell that
// other pieces of the program provide (tray icon, hotkeys, settings dialog,
// desktop icons, language packs). The default forwards to the library and
// keeps the program's pieces that do not exist yet minimal; tests record calls.

#include <windows.h>

#include <string>

#include "HotkeyDispatch.h"

class CHotKeys;

// The open settings dialog, as the main window drives it.
class ISetupDialogControl
{
public:
    virtual ~ISetupDialogControl() = default;
    virtual void BringToFront() = 0;
    virtual void Import(const std::wstring& file) = 0;
    virtual bool SwitchProfile(const std::wstring& file) = 0;
    // The language pack file becomes the dialog's language; its page opens.
    virtual void SelectLanguage(const std::wstring& file) = 0;
    // Closes what runs on top of the dialog and ends it.
    virtual void EndForExit() = 0;
};

class IMainWindowServices
{
public:
    virtual ~IMainWindowServices() = default;

    // The library.
    virtual void SetHookMainWindow(HWND window) = 0;
    virtual bool UpdateSettings() = 0;
    virtual void SetDebug(bool on, const wchar_t* from) = 0;
    virtual bool GetHooked() = 0;
    virtual bool SetMouseHook() = 0;
    virtual bool RemoveMouseHook(bool restore) = 0;
    virtual bool IsBRMPDisabled(bool quiet) = 0;
    virtual int GetCurrentLayer() = 0;
    virtual int MaxLayers() = 0;
    virtual void SetCurrentLayer(int layer, bool notify, bool autoSwitch, bool rememberLast) = 0;
    virtual bool GetShowIcon() = 0;
    virtual bool NotificationsEnabled() = 0;

    // The program's own pieces.
    virtual void ShowTrayIcon(HWND window, bool show) = 0;
    virtual void UpdateTrayIcon(HWND window, int layer) = 0;
    // The cursor-speed cycle moved to position (0-3).
    virtual void ShowCursorSpeed(HWND window, int position, bool balloon) = 0;
    virtual void ShowBalloon(HWND window, int kind, const std::wstring& text) = 0;
    // Runs the settings dialog modally; returns when it has closed.
    virtual void RunSetupDialog(HWND window, const std::wstring& importFile, const std::wstring& languageFile,
                                bool portable, bool quillon) = 0;
    // The settings dialog while RunSetupDialog runs it, else null.
    virtual ISetupDialogControl* OpenSetupDialog() { return nullptr; }
    virtual void SaveDesktopIcons() = 0;
    virtual void RestoreDesktopIcons() = 0;
    // Makes file the settings file when it holds settings, and reloads; else
    // tells the user and keeps the settings in use.
    virtual void SwitchProfile(HWND window, const std::wstring& file) = 0;
    // Installs the language pack into the settings folder and loads it; true,
    // with the pack's file name there, when it is now the loaded one.
    virtual bool InstallLanguagePack(HWND window, const std::wstring& file, std::wstring& installed) = 0;

    // The library's hotkey table (null when global hotkeys are off). Read on
    // the main thread only.
    virtual CHotKeys* GetHotkeys();
    virtual bool GetDebug();
    virtual bool GetReinstallOnResume();
    virtual bool GetEnableOSD();
    virtual void DisplayChanged();
    virtual void UpdateSPIThread();
    // The clock of the re-installation guard, and the pause before the system sleeps.
    virtual DWORD TickCount();
    virtual void PauseBeforeSuspend();
    // The on-screen displays: created with the window as parent and handed to
    // the library (when the option is on), or removed.
    virtual void CreateOSDWindows(HWND window);
    virtual void RemoveOSDWindows();
    // A hotkey's action that only the library carries out (layer steps, axis
    // lock and invert, cursor moves and speed). Called on the hotkey thread.
    virtual void RunHotkeyAction(HotkeyAction action);
    // The periodic update check (not forced, not asked for by the user).
    virtual void StartVersionCheck(HWND window);
    // The check the user asked for from the tray menu: at once, answered even
    // when nothing new is there.
    virtual void CheckForUpdateNow(HWND window);
    // The user asked for the update that a check found. False when the user
    // declined the offer.
    virtual bool StartUpdate(HWND window, int version);

    // The tray icon's own actions; by default the program's.
    virtual void HideBalloon(HWND window);
    virtual void ShowTrayMenu(HWND window);
    virtual bool LeftClickCycleLayer();
    virtual std::wstring LayerName(int layer);
    virtual void OpenLogFile(HWND window);
    virtual void OpenSettingsFolder(HWND window);
};

// The program's services: the library's exports and minimal stand-ins.
IMainWindowServices& DefaultMainWindowServices();
