#include "MainWindowServices.h"

#include "Control.h"
#include "Debug.h"
#include "Hooks.h"
#include "Hotkeys.h"
#include "Layers.h"
#include "Settings.h"
#include "Logger.h"
#include "MessageBox.h"

#include <shellapi.h>

#include <memory>
#include <vector>

#include "AppTexts.h"
#include "AutoUpdate.h"
#include "DesktopIconLayout.h"
#include "Folders.h"
#include "Handles.h"
#include "LangSupport.h"
#include "LayerIcons.h"
#include "MyMessageWnd.h"
#include "PortableDecision.h"
#include "SetupDialogRunner.h"
#include "StringFormat.h"
#include "OSDWindow.h"
#include "OSVersion.h"
#include "TrayIcon.h"
#include "TrayMenu.h"
#include "VersionCheck.h"

namespace
{
// A reference to the language object for the length of one use.
class CLanguageUse
{
public:
    CLanguageUse() : m_language(LangSupport()) {}
    ~CLanguageUse() { CLangSupport::Release(m_language); }
    CLanguageUse(const CLanguageUse&) = delete;
    CLanguageUse& operator=(const CLanguageUse&) = delete;
    operator CLangSupport*() const { return m_language; }

private:
    CLangSupport* m_language;
};

class CProgramServices final : public IMainWindowServices
{
public:
    void SetHookMainWindow(HWND window) override { ::SetHookMainWindow(window); }
    bool UpdateSettings() override { return ::UpdateSettings(); }
    void SetDebug(bool on, const wchar_t* from) override { ::SetDebug(on, from); }
    bool GetHooked() override { return ::GetHooked(); }
    bool SetMouseHook() override { return ::SetMouseHook(); }
    bool RemoveMouseHook(bool restore) override { return ::RemoveMouseHook(restore); }
    bool IsBRMPDisabled(bool quiet) override { return ::IsBRMPDisabled(quiet); }
    int GetCurrentLayer() override { return ::GetCurrentLayer(); }
    int MaxLayers() override { return ::MaxLayers(); }
    void SetCurrentLayer(int layer, bool notify, bool autoSwitch, bool rememberLast) override
    {
        ::SetCurrentLayer(layer, notify, autoSwitch, rememberLast);
    }
    bool GetShowIcon() override { return ::GetShowIcon(); }
    bool NotificationsEnabled() override { return ::NotificatcionsEnabled(); }

    void ShowTrayIcon(HWND window, bool show) override
    {
        if (!show)
        {
            // The icons live as long as the tray shows one (a main window that
            // goes takes its icon away): the next showing loads them afresh.
            if (m_trayShown)
                DeleteTaskBarIcon(m_window != nullptr ? m_window : window);
            m_trayShown = false;
            m_trayIcon.Reset();
            m_icons.Release();
            m_iconsLoaded = false;
            return;
        }
        m_window = window;
        SetTrayPollProcedure(&CProgramServices::PollDisabledState);
        m_layer = ::GetCurrentLayer();
        Compose(m_layer, -2);
        AddTaskBarIcon(window, m_trayIcon.Get(), Tooltip());
        m_trayShown = true;
    }
    void UpdateTrayIcon(HWND window, int layer) override
    {
        m_window = window;
        m_layer = layer;
        CLogger::LogDebug(L"Tray icon: showing layer %d.", layer + 1);
        Compose(layer, -2);
        ModifyTaskBarIcon(window, m_trayIcon.Get(), Tooltip());
    }
    void ShowCursorSpeed(HWND window, int position, bool balloon) override
    {
        m_window = window;
        Compose(m_layer, position);
        ModifyTaskBarIcon(window, m_trayIcon.Get(), Tooltip());
        const std::wstring text = LookupText(CLanguageUse(), L"Cycle cursor speed [%d]", position + 1);
        if (balloon)
            ShowBalloon(window, 9, text);
        else
            TaskBarHideBalloon(window);
    }
    void ShowBalloon(HWND window, int kind, const std::wstring& text) override
    {
        // Kinds 1 and 9 show the layer's icon, the others the program's.
        HICON icon = Icons().Get(kind == 1 || kind == 9 ? TrayIconIndex(true, false, m_layer) : 0);
        TaskBarBalloonInfo(window, icon, AppProductName(), LookupText(CLanguageUse(), text), kind);
    }
    void RunSetupDialog(HWND window, const std::wstring& importFile, const std::wstring& languageFile, bool portable,
                        bool quillon) override
    {
        m_setup.Run(window, importFile, languageFile, portable, quillon);
    }
    ISetupDialogControl* OpenSetupDialog() override { return m_setup.Open(); }
    void SaveDesktopIcons() override
    {
        RunSaveDesktopIcons(m_window, ::GetDebug(), ::NotificatcionsEnabled(),
                            [this](int kind, const std::wstring& text) { ShowBalloon(m_window, kind, text); });
    }
    void RestoreDesktopIcons() override
    {
        RunRestoreDesktopIcons(m_window, ::GetDebug(), ::NotificatcionsEnabled(),
                               [this](int kind, const std::wstring& text) { ShowBalloon(m_window, kind, text); });
    }
    void SwitchProfile(HWND window, const std::wstring& file) override
    {
        // The file is read in full before anything changes: one that does not
        // hold settings never replaces the settings in use.
        bool loaded = false;
        {
            CSettings settings(false, ::GetStartupMouseInfo());
            bool regionsDefined = false;
            loaded = !file.empty() && settings.Load(file.c_str(), regionsDefined, false);
        }
        if (loaded)
        {
            if (::SetSettingsFile(file.c_str()) == 0)
            {
                ::UpdateSettings();
                return;
            }
            CLogger::LogMessage(L"OnNextInstance: Unable to switch profiles to '%s'.", file.c_str());
        }
        else
        {
            CLogger::LogMessage(L"OnNextInstance: '%s' is not a valid %s profile.", file.c_str(),
                                AppProductName().c_str());
        }
        ShowMessageBox(LookupText(CLanguageUse(), L"Unable to load the profile '%s'.", file.c_str()),
                       MB_OK | MB_ICONERROR, window);
    }
    bool InstallLanguagePack(HWND, const std::wstring& file, std::wstring& installed) override
    {
        return InstallLanguagePackFromCommand(file, installed);
    }

private:
    CLayerIcons& Icons()
    {
        if (!m_iconsLoaded)
        {
            m_icons.Load(ProgramFolder());
            m_iconsLoaded = true;
        }
        return m_icons;
    }
    std::wstring Tooltip() const { return TrayTooltip(::GetPortable(), ::GetQuillon()); }

    // Composes the tray's icon for the state now; speed -2: the cycle's position now.
    void Compose(int layer, int speed)
    {
        const int index = TrayIconIndex(::GetHooked(), ::IsBRMPDisabled(true), layer);
        m_disabledShown = index == kDisabledIconIndex;
        HICON icon = Icons().Compose(index, ::GetDebug(), speed == -2 ? ::GetCycleCursorSpeed() : speed);
        if (!icon)
            return;
        m_trayIcon.Reset(icon);
    }

    // Every second while the icon is added: a change of the disabled state
    // (scroll lock, remote session) shows at the tray.
    static void CALLBACK PollDisabledState(HWND window, UINT, UINT_PTR, DWORD)
    {
        CProgramServices& self = Instance();
        // The window knows whether it started on a locked desktop and is still
        // waiting for the logon; asking the system every second costs a call
        // into the session service each time.
        const auto* main = dynamic_cast<const CMyMessageWnd*>(CWindow::FromHandle(window));
        if (main != nullptr && main->IsDesktopLockedAtStart())
            return;
        const bool disabled = ::IsBRMPDisabled(true) || !::GetHooked();
        if (disabled == self.m_disabledShown)
            return;
        self.Compose(self.m_layer, -2);
        ModifyTaskBarIcon(window, self.m_trayIcon.Get(), self.Tooltip());
        ::UpdateCursors();
    }

public:
    static CProgramServices& Instance()
    {
        static CProgramServices services;
        return services;
    }

private:
    CLayerIcons m_icons;
    bool m_iconsLoaded = false;
    UniqueIcon m_trayIcon;
    bool m_trayShown = false;
    HWND m_window = nullptr;
    int m_layer = 0;
    CSetupDialogRunner m_setup;
    bool m_disabledShown = false;
};
}

IMainWindowServices& DefaultMainWindowServices()
{
    return CProgramServices::Instance();
}

namespace
{
// The on-screen displays of the program's main window.
struct OSDWindows
{
    std::unique_ptr<CVolumeOSDDlg> volume;
    std::unique_ptr<CBrightnessOSD> brightness;
};

OSDWindows& TheOSDWindows()
{
    static OSDWindows windows;
    return windows;
}
}

CHotKeys* IMainWindowServices::GetHotkeys()
{
    return ::GetHotkeys();
}

bool IMainWindowServices::GetDebug()
{
    return ::GetDebug();
}

bool IMainWindowServices::GetEnableOSD()
{
    return ::GetEnableOSD();
}

bool IMainWindowServices::GetReinstallOnResume()
{
    return ::GetReinstallOnResume();
}

void IMainWindowServices::DisplayChanged()
{
    ::DisplayChanged();
}

void IMainWindowServices::UpdateSPIThread()
{
    ::UpdateSPIThread();
}

DWORD IMainWindowServices::TickCount()
{
    return ::GetTickCount();
}

void IMainWindowServices::PauseBeforeSuspend()
{
    ::Sleep(500);
}

void IMainWindowServices::CreateOSDWindows(HWND window)
{
    const int version = static_cast<int>(::GetOSVersion());
    if (!::GetEnableOSD() || version <= 3)
        return;
    OSDWindows& osd = TheOSDWindows();
    // Only systems before Windows 8 lack a volume display of their own.
    if (version < 16)
    {
        ::SetHookVolumeOSDWindow(nullptr);
        osd.volume = CreateVolumeOSD(window);
        if (osd.volume)
            ::SetHookVolumeOSDWindow(osd.volume->GetSafeHwnd());
        else
            CLogger::LogMessage(L"CMyMessageWnd::CreateOSDWindows: Unable to create the volume display.");
    }
    ::SetHookBrightnessOSDWindow(nullptr);
    osd.brightness = CreateBrightnessOSD(window);
    if (osd.brightness)
        ::SetHookBrightnessOSDWindow(osd.brightness->GetSafeHwnd());
    else
        CLogger::LogMessage(L"CMyMessageWnd::CreateOSDWindows: Unable to create the brightness display.");
}

void IMainWindowServices::RemoveOSDWindows()
{
    // The library stops posting to a display before its window goes.
    OSDWindows& osd = TheOSDWindows();
    ::SetHookVolumeOSDWindow(nullptr);
    ::SetHookBrightnessOSDWindow(nullptr);
    osd.volume.reset();
    osd.brightness.reset();
}

void IMainWindowServices::RunHotkeyAction(HotkeyAction action)
{
    switch (action)
    {
    case HotkeyAction::NextLayer: ::NextLayer(); break;
    case HotkeyAction::PreviousLayer: ::PreviousLayer(); break;
    case HotkeyAction::CentreCursor: ::CentreCursorOnPrimaryMonitor(); break;
    case HotkeyAction::SnapToForeground: ::SnapCursorToActiveWindow(false); break;
    case HotkeyAction::SnapToProfileWindow: ::SnapCursorToActiveWindow(true); break;
    case HotkeyAction::CycleCursorSpeed: ::CycleCursorSpeed(); break;
    case HotkeyAction::ToggleXAxisLock: ::HookToggleXAxisLock(); break;
    case HotkeyAction::ToggleYAxisLock: ::HookToggleYAxisLock(); break;
    case HotkeyAction::ToggleXAxisInvert: ::HookToggleXAxisInvert(); break;
    case HotkeyAction::ToggleYAxisInvert: ::HookToggleYAxisInvert(); break;
    default:
        break;
    }
}

void IMainWindowServices::StartVersionCheck(HWND window)
{
    ::StartVersionCheck(window, false, false);
}

void IMainWindowServices::CheckForUpdateNow(HWND window)
{
    ::StartVersionCheck(window, true, true);
}

bool IMainWindowServices::StartUpdate(HWND window, int version)
{
    CLanguageUse language;
    CAutoUpdate update(language);
    return update.Update(version, ::GetPortable(), window);
}

void IMainWindowServices::HideBalloon(HWND window)
{
    TaskBarHideBalloon(window);
}

void IMainWindowServices::ShowTrayMenu(HWND window)
{
    TrayMenuState state;
    state.maxLayers = MaxLayers();
    state.currentLayer = GetCurrentLayer();
    for (int layer = 0; layer < state.maxLayers && layer < kLayerIconCount; ++layer)
        state.layerNames.push_back(LayerName(layer));
    state.hooked = GetHooked();
    // Desktop icon layouts can only be kept with the system's own shell.
    state.desktopIcons = IsExplorerNative();
    state.productName = AppProductName();
    ::ShowTrayMenu(window, state, CLanguageUse());
}

bool IMainWindowServices::LeftClickCycleLayer()
{
    return ::LeftClickCycleLayer();
}

std::wstring IMainWindowServices::LayerName(int layer)
{
    const wchar_t* name = ::GetLayername(layer);
    return name ? std::wstring(name) : std::wstring();
}

void IMainWindowServices::OpenLogFile(HWND window)
{
    ::OpenLogFile(window, CLanguageUse(), AppProductName());
}

void IMainWindowServices::OpenSettingsFolder(HWND window)
{
    std::vector<wchar_t> folder(4096);
    // The library answers 0 when it found the folder.
    if (::GetSettingsFolder(folder.data(), folder.size()) != 0 || folder[0] == L'\0')
        return;
    ::ShellExecuteW(window, L"open", L"explorer", folder.data(), nullptr, SW_SHOWNORMAL);
}
