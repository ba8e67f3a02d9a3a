// The main window's global hotkeys: registering the settings' table with the
// hotkey handler, and what a pressed hotkey does.

#include "MyMessageWnd.h"

#include "HotkeyDispatch.h"
#include "Hotkeys.h"
#include "LangSupport.h"
#include "Logger.h"
#include "ThreadLock.h"

namespace
{
// A reference to the language object for the length of one dispatch.
class CLanguageHold
{
public:
    CLanguageHold() : m_language(LangSupport()) {}
    ~CLanguageHold() { CLangSupport::Release(m_language); }
    CLanguageHold(const CLanguageHold&) = delete;
    CLanguageHold& operator=(const CLanguageHold&) = delete;

private:
    CLangSupport* m_language;
};

// Virtual keys are 1..254; anything else in a settings file names no key.
bool IsVirtualKey(unsigned vk)
{
    return vk >= 1 && vk <= 0xFE;
}
}

void CMyMessageWnd::SetHotkeys(bool hooksActive)
{
    try
    {
        // Entries may change only while the thread is stopped.
        if (m_hotkeys.IsRunning())
            ClearHotkeys();

        const bool onlyWhenDisabled = !hooksActive && m_services.IsBRMPDisabled(true);
        if (CHotKeys* table = m_services.GetHotkeys())
        {
            int added = 0;
            for (int id = 0; id < kGlobalHotkeyCount; ++id)
            {
                const CHotkey* key = table->GetHotkey(static_cast<GlobalHotkeys>(id));
                if (key == nullptr || key->GetVirtualKey() == 0)
                    continue;
                if (!IsVirtualKey(key->GetVirtualKey()))
                {
                    CLogger::LogMessage(L"SetHotkeys: Ignoring hotkey %d with virtual key %d, which does not exist.", id,
                                        key->GetVirtualKey());
                    continue;
                }
                if (onlyWhenDisabled && !key->GetUseWhenDisabled())
                    continue;
                int entry = 0;
                const int result = m_hotkeys.AddHotkey(HotkeyModifiersToRegister(key->GetModifier()),
                                                       key->GetVirtualKey(), &CMyMessageWnd::GlobalHotkeyCallback, id,
                                                       &entry);
                if (result == HotkeyHandler::Exists)
                    CLogger::LogMessage(L"SetHotkeys: Hotkey %d uses the same keys as hotkey %d - ignoring it.", id,
                                        m_hotkeys.Entries()[static_cast<size_t>(entry)].value);
                else
                    ++added;
            }
            CLogger::LogMessage(L"SetHotkeys installed %d global hotkeys...", added);
        }
        m_hotkeys.Start(this);
    }
    catch (...)
    {
        CLogger::LogOSMessage(::GetLastError(), L"Caught an exception in SetHotkeys(). Error ");
    }
}

void CMyMessageWnd::ClearHotkeys()
{
    try
    {
        // A hotkey's action may be waiting for the library's lock: joining its
        // thread while holding that lock would wait for nothing.
        if (CThreadLock::IsHeldByCurrentThread())
            CLogger::LogMessage(L"ClearHotkeys: Called while holding the global lock - a hotkey action may be cut short.");
        m_hotkeys.Stop();
        m_hotkeys.MarkAllRemoved();
    }
    catch (...)
    {
        CLogger::LogOSMessage(::GetLastError(), L"Caught an exception in ClearHotkeys(). Error ");
    }
}

void CMyMessageWnd::GlobalHotkeyCallback(void* context, int id)
{
    if (context)
        static_cast<CMyMessageWnd*>(context)->OnGlobalHotkey(id);
}

void CMyMessageWnd::OnGlobalHotkey(int id)
{
    CLogger::LogDebug(L"Received global hotkey: %d", id);
    if (id < 0 || id >= kGlobalHotkeyCount)
    {
        CLogger::LogMessage(L"CMyMessageWnd::OnGlobalHotkey: Ignoring hotkey %d, which does not exist.", id);
        return;
    }
    const CLanguageHold language;
    const bool off = m_services.IsBRMPDisabled(true);
    const HotkeyDecision decision = DecideHotkey(id, off, off ? 0 : m_services.MaxLayers());
    switch (decision.action)
    {
    case HotkeyAction::None:
        break;
    case HotkeyAction::SetLayer:
        m_services.SetCurrentLayer(decision.layer, true, true, true);
        break;
    case HotkeyAction::ToggleDisable:
        CLogger::LogDebug(L"Toggle Enable/Disable by global hotkey");
        PostMessage(::RegisterWindowMessageW(L"BRMP_ToggleDisable"), 1, 0);
        break;
    case HotkeyAction::ToggleDebug:
    {
        const bool on = !m_services.GetDebug();
        // Switched first: the tray, which belongs to the main thread, composes
        // its icon from the state it reads, and must read the new one.
        m_services.SetDebug(on, L"toggle debug hotkey");
        PostMessage(DebugStateMessage, on ? 1 : 0, 0);
        break;
    }
    // The desktop icons and the settings run on the main thread, where
    // their boxes and balloons belong.
    case HotkeyAction::SaveDesktopIcons:
        PostMessage(WM_COMMAND, MAKEWPARAM(IdSaveDesktop, 0), 0);
        break;
    case HotkeyAction::RestoreDesktopIcons:
        PostMessage(WM_COMMAND, MAKEWPARAM(IdRestoreDesktop, 0), 0);
        break;
    case HotkeyAction::OpenSettings:
        PostMessage(WM_COMMAND, MAKEWPARAM(IdSetup, 0), 0);
        break;
    default:
        m_services.RunHotkeyAction(decision.action);
        break;
    }
}

LRESULT CMyMessageWnd::OnDebugStateChanged(WPARAM on, LPARAM)
{
    if (m_bShowIcon && !m_services.IsBRMPDisabled(true))
        m_services.UpdateTrayIcon(m_hWnd, m_nCurrentLayer);
    if (m_services.NotificationsEnabled())
        m_services.ShowBalloon(m_hWnd, 4, on ? L"Debugging enabled" : L"Debugging disabled");
    return 0;
}
