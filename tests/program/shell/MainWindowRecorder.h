#pragma once
// Records what the main window asks of the system. Hotkey actions arrive on
// the hotkey thread, so the record and the state it changes are guarded.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "Hotkeys.h"
#include "InstancePipe.h"
#include "MainWindowServices.h"

namespace brmptest
{
class RecordingServices : public IMainWindowServices
{
public:
    void SetHookMainWindow(HWND window) override { Add(window ? L"SetHookMainWindow" : L"SetHookMainWindow(null)"); }
    bool UpdateSettings() override { Add(L"UpdateSettings"); return true; }
    void SetDebug(bool on, const wchar_t*) override
    {
        Add(on ? L"SetDebug(true)" : L"SetDebug(false)");
        debug = on;
    }
    bool GetDebug() override { return debug; }
    bool GetHooked() override { return hooked; }
    bool SetMouseHook() override { Add(L"SetMouseHook"); hooked = hookSucceeds.load(); return hookSucceeds; }
    bool RemoveMouseHook(bool restore) override
    {
        Add(restore ? L"RemoveMouseHook(true)" : L"RemoveMouseHook(false)");
        return hooked.exchange(false);
    }
    bool IsBRMPDisabled(bool) override { return !hooked || scrollLockOff; }
    int GetCurrentLayer() override { return layer; }
    int MaxLayers() override { return maxLayers; }
    void SetCurrentLayer(int newLayer, bool, bool, bool) override
    {
        Add(L"SetCurrentLayer(" + std::to_wstring(newLayer) + L")");
        layer = newLayer;
    }
    bool GetShowIcon() override { return showIcon; }
    bool NotificationsEnabled() override { return notifications; }
    void ShowTrayIcon(HWND, bool show) override { Add(show ? L"TrayIcon(show)" : L"TrayIcon(hide)"); }
    void UpdateTrayIcon(HWND, int) override {}
    void ShowCursorSpeed(HWND, int position, bool) override { Add(L"ShowCursorSpeed(" + std::to_wstring(position) + L")"); }
    void ShowBalloon(HWND, int kind, const std::wstring&) override { Add(L"Balloon(" + std::to_wstring(kind) + L")"); }
    void RunSetupDialog(HWND owner, const std::wstring& importFile, const std::wstring& languageFile, bool,
                        bool) override
    {
        Add(L"SetupOpened" + (importFile.empty() ? std::wstring() : L"(" + importFile + L")") +
            (languageFile.empty() ? std::wstring() : L"[" + languageFile + L"]"));
        if (onSetup)
            onSetup(owner);
        Add(L"SetupClosed");
    }
    void SaveDesktopIcons() override { Add(L"SaveDesktopIcons"); }
    void RestoreDesktopIcons() override { Add(L"RestoreDesktopIcons"); }
    void SwitchProfile(HWND, const std::wstring& file) override { Add(L"SwitchProfile(" + file + L")"); }
    bool InstallLanguagePack(HWND, const std::wstring& file, std::wstring& installed) override
    {
        Add(L"InstallLanguagePack(" + file + L")");
        installed = L"installed.brmplp";
        return installs;
    }

    CHotKeys* GetHotkeys() override { return hotkeys; }
    bool GetReinstallOnResume() override { return reinstallOnResume; }
    bool GetEnableOSD() override { return enableOSD; }
    void DisplayChanged() override { Add(L"DisplayChanged"); }
    void UpdateSPIThread() override { Add(L"UpdateSPIThread"); }
    DWORD TickCount() override { return now; }
    void PauseBeforeSuspend() override { Add(L"PauseBeforeSuspend"); }
    void CreateOSDWindows(HWND) override { Add(L"CreateOSDWindows"); }
    void RemoveOSDWindows() override { Add(L"RemoveOSDWindows"); }
    void RunHotkeyAction(HotkeyAction action) override
    {
        Add(L"HotkeyAction(" + std::to_wstring(static_cast<int>(action)) + L")");
    }
    void StartVersionCheck(HWND) override { Add(L"StartVersionCheck"); }
    void CheckForUpdateNow(HWND) override { Add(L"CheckForUpdateNow"); }
    bool StartUpdate(HWND, int version) override
    {
        Add(L"StartUpdate(" + std::to_wstring(version) + L")");
        if (updateThrows)
            throw CResourceException(L"no update dialog");
        return acceptsUpdate;
    }
    void HideBalloon(HWND) override {}

    bool Called(const std::wstring& what) const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return std::find(calls.begin(), calls.end(), what) != calls.end();
    }
    int Count(const std::wstring& what) const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return static_cast<int>(std::count(calls.begin(), calls.end(), what));
    }
    std::vector<std::wstring> CallsStartingWith(const std::wstring& prefix) const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<std::wstring> found;
        for (const std::wstring& c : calls)
            if (c.rfind(prefix, 0) == 0)
                found.push_back(c);
        return found;
    }
    std::ptrdiff_t IndexOf(const std::wstring& what) const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const auto it = std::find(calls.begin(), calls.end(), what);
        return it == calls.end() ? -1 : it - calls.begin();
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        calls.clear();
    }

    std::vector<std::wstring> calls;
    std::atomic<bool> hooked{true};
    std::atomic<bool> hookSucceeds{true};
    std::atomic<bool> scrollLockOff{false};   // remapping off with the hooks in
    std::atomic<bool> debug{false};
    std::atomic<bool> notifications{false};
    bool installs = false;
    bool acceptsUpdate = true;
    bool updateThrows = false;
    std::atomic<int> layer{0};
    std::atomic<int> maxLayers{10};
    bool reinstallOnResume = true;
    bool enableOSD = true;
    bool showIcon = true;   // the settings' TrayIcon/Show
    DWORD now = 100000;
    CHotKeys* hotkeys = nullptr;
    std::function<void(HWND)> onSetup;

protected:
    void Add(std::wstring call)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        calls.push_back(std::move(call));
    }
    mutable std::mutex m_lock;
};

// A pipe of its own for each main window a test creates.
inline std::wstring UniqueMainWindowPipe(const wchar_t* tag)
{
    static std::atomic<int> counter{0};
    return InstancePipeName() + L"." + tag + L"." + std::to_wstring(::GetCurrentProcessId()) + L"." +
           std::to_wstring(++counter);
}
} // namespace brmptest
