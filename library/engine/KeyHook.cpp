// The low-level keyboard hook procedure and the find-window tool's mouse hook.
// The keyboard hook only keeps books and causes side effects (layer modifier
// keys, axis-lock and slow-down keys, the key-switch timer); every key goes on
// through CallNextHookEx.

#include "KeyHook.h"

#include <atomic>
#include <cstddef>

#include "ApplicationSettings.h"
#include "Clock.h"
#include "EngineInput.h"
#include "LockAxis.h"
#include "MouseInfo.h"
#include "ScrollLockState.h"
#include "StickyButtons.h"
#include "VolumeServices.h"
#include "Control.h"
#include "DpiScaling.h"
#include "Globals.h"
#include "HeldInput.h"
#include "HookThread.h"
#include "Hotkeys.h"
#include "Layers.h"
#include "Logger.h"
#include "RepeatTimers.h"
#include "Settings.h"
#include "ThreadLock.h"
#include "TimerThread.h"

BYTE g_KeyState[256] = {};
int g_nSavedLayer = -1;
BYTE g_bSlowedByKey = 0;
int g_nVolDownCount = 0;

namespace
{
// Names shown in the debug lines: the injector of our own keys, and the
// program that may or may not touch the cursor speed.
constexpr const wchar_t* kInjectorName = L"Snarehold key injector";   // 22 characters
constexpr const wchar_t* kShortName = L"BRMP";                        // 4 characters

constexpr UINT kKeySwitchDelayMs = 100;
constexpr unsigned short kModifierBits = HOTKEY_MOD_SHIFT | HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT | HOTKEY_MOD_LWIN |
                                         HOTKEY_MOD_RWIN | HOTKEY_MOD_APPS;

bool Down(const BYTE* keyState, DWORD vk)
{
    return (keyState[vk & 0xFF] & 0x80) != 0;
}

// The hook reports the left and right keys, never VK_CONTROL itself.
bool IsControlKey(DWORD vk)
{
    return vk == VK_CONTROL || vk == VK_LCONTROL || vk == VK_RCONTROL;
}

bool IsCtrlOrAlt(DWORD vk)
{
    return vk >= VK_LCONTROL && vk <= VK_RMENU;
}

void StartKeySwitchTimer(UINT delayMs)
{
    ProxySetTimer(nullptr, 0, ID_TIMER_KEYSWITCH, delayMs, nullptr, &g_idKeySwitchTimer);
}

// Our own Volume Down keys: after several in a row the system's volume display
// can stick until a Volume Up and a Volume Down are sent.
void RepairVolumeDisplay()
{
    POINT point{};
    GetPhysCursorPos(&point);
    SendKeysStateSingleShot(L"{VOL+}", point, g_engine.hCurrentWnd, false, false);
    SendKeysStateSingleShot(L"{VOL-}", point, g_engine.hCurrentWnd, false, false);
}

void SetMouseSpeed(int speed)
{
    SetSystemMouseSpeed(speed);
}

// The library's own keys carry the keyboard hook's handle.
void OwnKey(WPARAM message, const KBDLLHOOKSTRUCT& key)
{
    (void)message;
    const bool up = (key.flags & LLKHF_UP) != 0;
    if (key.vkCode == VK_VOLUME_DOWN && up)
    {
        ++g_nVolDownCount;
        // Without the repair wanted now the count is kept: the next release tries again.
        if (g_threads.pSendInput != nullptr && g_nVolDownCount > 3 && VolumeDisplayNeedsRepair())
        {
            RepairVolumeDisplay();
            g_nVolDownCount = 0;
        }
    }
    else if (key.vkCode != VK_VOLUME_DOWN)
    {
        g_nVolDownCount = 0;
    }

    if (up && IsCtrlOrAlt(key.vkCode))
    {
        CLogger::LogDebug(L"Checking active window for key (0x%X) release injected by %s", key.vkCode, kInjectorName);
        StartKeySwitchTimer(kKeySwitchDelayMs);
    }
    else if (up)
    {
        CLogger::LogDebug(L"Ignoring key (0x%X) release injected by %s", key.vkCode, kInjectorName);
    }
    else
    {
        CLogger::LogDebug(L"Ignoring key (0x%X) press injected by %s", key.vkCode, kInjectorName);
    }
}

bool LayerKeysApply()
{
    const CSettings* settings = g_pSettings;
    return settings->m_bLayerModifierKeys && !CApplicationSettings::GetDisableLayerModifier(g_engine.pCurrentApp) &&
           settings->GetLayerModifierKeys() != nullptr && !IsBRMPDisabled(true);
}

int CurrentNormalSpeed()
{
    const int speed = NormalCursorSpeed(g_pSettings, CycledCursorSpeedPosition(), g_engine.pCurrentApp, g_pSettings->GetDefaultApp());
    // A speed the system does not take (Cursor/Speed unset) falls back to the
    // speed seen at start-up.
    return speed >= 1 && speed <= 20 ? speed : g_system.nStartupMouseSpeed;
}

// Acts on the entry that is held. True when it counts as handled.
bool ActOnEntry(int index, bool& axisHeld, bool& slowHeld)
{
    const int layer = LayerOfModifierKey(index);
    if (layer >= 0)
    {
        const int current = GetCurrentLayer();
        if (layer != current && layer < MaxLayers())
        {
            if (g_nSavedLayer < 0)
                g_nSavedLayer = current;
            CLogger::LogDebug(L"KeyHookLLProc: Layer Modifier key - switching to layer %d from %d.", layer + 1,
                              current + 1);
            ChangeLayer(layer, true);
        }
        return true;
    }
    if (index == MK_LockXAxis || index == MK_LockYAxis)
    {
        if (g_engine.pCurrentApp == nullptr || !g_engine.pCurrentApp->AxisLocking())
            return false;
        const bool x = index == MK_LockXAxis;
        axisHeld = true;
        if (!IsAxisLockedByKey(x))
        {
            CLogger::LogDebug(x ? L"KeyHookLLProc: Modifier key - Locking X axis."
                                : L"KeyHookLLProc: Modifier key - Locking Y axis.");
            LockAxisByKey(x);
        }
        return true;
    }
    if (index == MK_SlowCursor)
    {
        if (!g_pSettings->m_bAllowSetSpeed)
        {
            CLogger::LogDebug(L"KeyHookLLProc: Modifier key - Not changing mouse speed as %s is not allowed to touch it!",
                              kShortName);
            return true;
        }
        slowHeld = true;
        if (!g_bSlowedByKey)
        {
            g_bSlowedByKey = 1;
            const int speed = SlowCursorSpeed(CurrentNormalSpeed());
            CLogger::LogDebug(L"KeyHookLLProc: Modifier key - Slowing the cursor to 80%% (%d).", speed);
            SetMouseSpeed(speed);
        }
        return true;
    }
    return false;
}

// The layer-key work of one real key event; true when it handled or reset
// something, so the sticky reset is skipped.
bool LayerKeys(const KBDLLHOOKSTRUCT& key, bool extended)
{
    if ((key.flags & LLKHF_UP) != 0 && IsCtrlOrAlt(key.vkCode))
    {
        StartKeySwitchTimer(kKeySwitchDelayMs);
        CLogger::LogDebug(key.vkCode >= VK_LMENU
                              ? L"KeyHookLLProc: ALT (0x%X) released, Started 100ms KeySwitchTimer ID: 0x%08X"
                              : L"KeyHookLLProc: CTRL (0x%X) released, Started 100ms KeySwitchTimer ID: 0x%08X",
                          key.vkCode, static_cast<unsigned>(g_idKeySwitchTimer));
    }

    bool axisHeld = false;
    bool slowHeld = false;
    bool handled = false;
    const int index = FindLayerModifierKey(g_pSettings->GetLayerModifierKeys(), extended, g_KeyState);
    if (index >= 0)
        handled = ActOnEntry(index, axisHeld, slowHeld);

    bool reset = false;
    if (!handled && g_nSavedLayer >= 0)
    {
        const int current = GetCurrentLayer();
        if (g_nSavedLayer != current)
        {
            CLogger::LogDebug(L"KeyHookLLProc: Layer Modifier Key released, resetting to layer %d from %d.",
                              g_nSavedLayer + 1, current + 1);
            ChangeLayer(g_nSavedLayer, false);
        }
        else
        {
            CLogger::LogDebug(L"KeyHookLLProc: Layer Modifier Key released, layer has already been reset to %d.",
                              current + 1);
        }
        g_nSavedLayer = -1;
        reset = true;
    }
    if (!axisHeld && UnlockAxesByKey())
        reset = true;
    if (!slowHeld && g_bSlowedByKey)
    {
        if (g_pSettings->m_bAllowSetSpeed)
        {
            const int speed = CurrentNormalSpeed();
            CLogger::LogDebug(L"KeyHookLLProc: Modifier Key Released, resetting mouse cursor speed to %d after 'Slowdown by key'",
                              speed);
            SetMouseSpeed(speed);
            g_bSlowedByKey = 0;
            reset = true;
        }
        else
        {
            CLogger::LogDebug(L"KeyHookLLProc: Modifier Key Released, not resetting mouse speed as %s is not allowed to touch it!",
                              kShortName);
        }
    }
    return handled || reset;
}
}

bool DeriveModifierEntries(BYTE* keyState, DWORD vk, bool extended)
{
    switch (vk)
    {
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
        return false;
    // A release of one side leaves the combined entry down while the other
    // side is still held.
    case VK_LSHIFT:
    case VK_RSHIFT:
        keyState[VK_SHIFT] = keyState[VK_LSHIFT] | keyState[VK_RSHIFT];
        return false;
    case VK_LCONTROL:
        if (!Down(keyState, VK_RMENU))
            keyState[VK_CONTROL] = keyState[VK_LCONTROL] | keyState[VK_RCONTROL];
        return false;
    case VK_RCONTROL:
        keyState[VK_CONTROL] = keyState[VK_RCONTROL];
        if (!Down(keyState, VK_RMENU))
            keyState[VK_CONTROL] |= keyState[VK_LCONTROL];
        return false;
    case VK_LMENU:
        keyState[VK_MENU] = keyState[VK_LMENU] | keyState[VK_RMENU];
        return false;
    case VK_RMENU:
        if (Down(keyState, VK_LCONTROL) && !Down(keyState, VK_RCONTROL))
            keyState[VK_CONTROL] = 0;
        keyState[VK_MENU] = keyState[VK_LMENU] | keyState[VK_RMENU];
        return false;
    default:
        return extended;
    }
}

unsigned short HeldModifiers(const BYTE* keyState)
{
    unsigned short held = 0;
    if (Down(keyState, VK_SHIFT))
        held |= HOTKEY_MOD_SHIFT;
    if (Down(keyState, VK_CONTROL))
        held |= HOTKEY_MOD_CTRL;
    if (Down(keyState, VK_MENU))
        held |= HOTKEY_MOD_ALT;
    if (Down(keyState, VK_LWIN))
        held |= HOTKEY_MOD_LWIN;
    if (Down(keyState, VK_RWIN))
        held |= HOTKEY_MOD_RWIN;
    if (Down(keyState, VK_APPS))
        held |= HOTKEY_MOD_APPS;
    return held;
}

bool LayerModifierKeyMatches(unsigned short virtualKey, unsigned short modifier, bool extended, const BYTE* keyState)
{
    if (virtualKey == 0 && modifier == 0)
        return false;
    if (((modifier & HOTKEY_EXTENDED) != 0) != extended)
        return false;
    // Every combination of modifiers must match exactly: a Ctrl+Alt+Win key
    // must not fire on the bare key. Only a key without modifiers takes any.
    const unsigned short wanted = modifier & kModifierBits;
    if (wanted != 0 && HeldModifiers(keyState) != wanted)
        return false;
    if (virtualKey != 0)
    {
        // A key code from the settings file beyond the table never matches.
        if (virtualKey > 0xFF || !Down(keyState, virtualKey))
            return false;
    }
    return true;
}

int FindLayerModifierKey(const CLayerModifierKeys* keys, bool extended, const BYTE* keyState)
{
    if (keys == nullptr)
        return -1;
    for (int i = 0; i < MK_Count; ++i)
    {
        const CHotkey* key = keys->GetHotkey(static_cast<ModifierKeys>(i));
        if (key != nullptr && LayerModifierKeyMatches(key->GetVirtualKey(), key->GetModifier(), extended, keyState))
            return i;
    }
    return -1;
}

int LayerOfModifierKey(int index)
{
    if (index >= MK_Layer1 && index <= MK_Layer5)
        return index - MK_Layer1;
    if (index >= MK_Layer6 && index <= MK_Layer10)
        return 5 + index - MK_Layer6;
    return -1;
}

int NormalCursorSpeed(const CSettings* settings, int cyclePosition, const CApplicationSettings* profile,
                      const CApplicationSettings* defaultProfile)
{
    int speed = -1;
    if (settings != nullptr)
    {
        speed = cyclePosition >= 0 && cyclePosition < 4 ? settings->m_nCursorSpeedCycle[cyclePosition] * 2
                                                        : settings->m_nCursorSpeed;
    }
    if (profile != nullptr && profile->OverrideMouseSpeed() && profile->GetMouseSpeed() != -1)
        speed = profile->GetMouseSpeed();
    else if (defaultProfile != nullptr && defaultProfile->OverrideMouseSpeed() && defaultProfile->GetMouseSpeed() != -1)
        speed = defaultProfile->GetMouseSpeed();
    return speed;
}

int SlowCursorSpeed(int normalSpeed)
{
    const int speed = static_cast<int>(normalSpeed / 100.0 * 20.0);
    return speed < 1 ? 1 : speed;
}

// Key locks carry the origin flag true: an unlock by key never releases a lock
// an action made, and an action's unlock with the other origin leaves a held key's lock.
void LockAxisByKey(bool xAxis)
{
    if (xAxis)
        g_LockAxis.LockX(g_threads.pSPIThread, g_engine.nCurrentLayer, false, true);
    else
        g_LockAxis.LockY(g_threads.pSPIThread, g_engine.nCurrentLayer, false, true);
}

bool UnlockAxesByKey()
{
    // Only a lock that holds is released: unlocking nothing on every key would
    // re-send the profile cursor on each keystroke and count as a reset, which
    // would keep the sticky reset by key from ever running.
    if (!g_LockAxis.Locked())
        return false;
    return g_LockAxis.UnlockXY(g_threads.pSPIThread, g_engine.nCurrentLayer, g_pSettings, g_engine.pCurrentApp, true);
}

bool IsAxisLockedByKey(bool xAxis)
{
    return xAxis ? g_LockAxis.LockedX() : g_LockAxis.LockedY();
}

void ResetKeyHookState()
{
    CThreadLock lock(L"ResetKeyHookState");
    ZeroMemory(g_KeyState, sizeof(g_KeyState));
    g_nSavedLayer = -1;
    g_bSlowedByKey = 0;
    g_nVolDownCount = 0;
}

namespace
{
// Key events whose layer-key work found the global lock busy, in order, for the
// retry on the timer-queue thread. A key release must never be lost: a layer
// modifier or slow-down key would stay in force.
constexpr int kKeyRetryMs = 10;
constexpr std::size_t kPendingKeys = 32;

struct PendingKey
{
    WPARAM message;
    KBDLLHOOKSTRUCT key;
    bool extended;
};

struct PendingKeys
{
    CRITICAL_SECTION cs;
    PendingKey keys[kPendingKeys];
    std::atomic<std::size_t> count{0};
    // A key that found the list full or busy: the retry then acts on the key
    // table as it stands, which is what a later key event would do.
    std::atomic<bool> overflow{false};
    PendingKeys() { ::InitializeCriticalSectionAndSpinCount(&cs, 4000); }
};

PendingKeys& Pending()
{
    static PendingKeys pending;
    return pending;
}

void KeyWork(WPARAM wParam, const KBDLLHOOKSTRUCT& key, bool extended)
{
    if (g_pSettings == nullptr)
        return;
    bool skipStickyReset = false;
    if (LayerKeysApply())
        skipStickyReset = LayerKeys(key, extended);

    if (!skipStickyReset && g_pSettings->m_bResetStickyOnAnyKey && (wParam == WM_KEYUP || wParam == WM_SYSKEYUP))
    {
        POINT point{};
        if (GetPhysCursorPos(&point))
            ResetStickyByKey(point, IsControlKey(key.vkCode));
    }
}

// What a key event that changes no key would do: ends what a key no longer
// held in the table kept in force. The global lock is held.
void ActOnHeldKeys()
{
    KBDLLHOOKSTRUCT key{};
    key.flags = LLKHF_UP;
    KeyWork(0, key, false);
}

void CALLBACK KeyRetryCallback(PVOID, BOOLEAN);

// Hook thread, lock busy: the event waits for the retry. Never waits itself.
void DeferKeyWork(WPARAM wParam, const KBDLLHOOKSTRUCT& key, bool extended)
{
    PendingKeys& pending = Pending();
    if (::TryEnterCriticalSection(&pending.cs))
    {
        const std::size_t count = pending.count.load();
        if (count < kPendingKeys)
        {
            pending.keys[count] = PendingKey{wParam, key, extended};
            pending.count = count + 1;
        }
        else
            pending.overflow = true;
        ::LeaveCriticalSection(&pending.cs);
    }
    else
    {
        pending.overflow = true;
    }
    if (!QTTimerActive(ID_QTTIMER_KEYRETRY))
        StartQTTimer(kKeyRetryMs, KeyRetryCallback, ID_QTTIMER_KEYRETRY);
}

// Runs the deferred key work in order; the global lock is held.
void RunPendingKeyWork()
{
    PendingKeys& pending = Pending();
    PendingKey keys[kPendingKeys];
    std::size_t count = 0;
    bool overflow = false;
    ::EnterCriticalSection(&pending.cs);
    count = pending.count;
    for (std::size_t i = 0; i < count; ++i)
        keys[i] = pending.keys[i];
    pending.count = 0;
    overflow = pending.overflow;
    pending.overflow = false;
    ::LeaveCriticalSection(&pending.cs);
    for (std::size_t i = 0; i < count; ++i)
        KeyWork(keys[i].message, keys[i].key, keys[i].extended);
    if (overflow)
    {
        // No event to replay: the table as it stands clears what is no longer held.
        ActOnHeldKeys();
    }
}

bool KeyWorkPending()
{
    PendingKeys& pending = Pending();
    return pending.count != 0 || pending.overflow;
}

void CALLBACK KeyRetryCallback(PVOID, BOOLEAN)
{
    RetryUnderGlobalLock(L"KeyRetryCallback", kKeyRetryMs, KeyRetryCallback, ID_QTTIMER_KEYRETRY, [] {
        CLogger::LogDebug(L"KeyRetryCallback: Catching up on key events that found the lock busy");
        RunPendingKeyWork();
    });
}

LRESULT KeyHookEvent(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0 || lParam == 0)
        return ::CallNextHookEx(g_threads.hKeyHook, code, wParam, lParam);

    const KBDLLHOOKSTRUCT& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (key.vkCode > 255)
    {
        CLogger::LogMessage(L"***********************************************************************");
        CLogger::LogMessage(L"WARNING: KBDhook: VKCode=%d (>255) which should not happen.", static_cast<int>(key.vkCode));
        CLogger::LogMessage(L"         Keyboard hook will be reset.");
        CLogger::LogMessage(L"************************************************************************");
        ::PostThreadMessageW(::GetCurrentThreadId(), BRMP_ResetHook, WP_KEYHOOK, 0);
        return ::CallNextHookEx(g_threads.hKeyHook, code, wParam, lParam);
    }

    const bool up = (key.flags & LLKHF_UP) != 0;
    g_KeyState[key.vkCode] = up ? 0 : 0x80;
    if (key.vkCode == VK_SCROLL)
        NoteScrollLockKey();

    if ((key.flags & LLKHF_INJECTED) != 0 && key.dwExtraInfo == OwnInputSignature())
    {
        OwnKey(wParam, key);
        return ::CallNextHookEx(g_threads.hKeyHook, code, wParam, lParam);
    }

    g_hook.dwLastInput = TickNow();
    g_hook.bInputSeen = true;

    const bool extended = DeriveModifierEntries(g_KeyState, key.vkCode, (key.flags & LLKHF_EXTENDED) != 0);
    // Never wait in the hook: when another thread holds the lock the work of
    // this event goes to a short retry on the timer-queue thread.
    CThreadTryLock lock(L"KeyHookLLProc 2");
    if (!lock)
    {
        DeferKeyWork(wParam, key, extended);
        return ::CallNextHookEx(g_threads.hKeyHook, code, wParam, lParam);
    }
    if (KeyWorkPending())
        RunPendingKeyWork();
    KeyWork(wParam, key, extended);
    lock.Release();
    return ::CallNextHookEx(g_threads.hKeyHook, code, wParam, lParam);
}

std::atomic<bool> g_exceptionLogged{false};
}

void ForgetHeldKeys()
{
    CThreadLock lock(L"ForgetHeldKeys");
    bool released = false;
    for (DWORD vk = 1; vk < 256; ++vk)
    {
        // The combined entries follow their left and right keys below.
        if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || !Down(g_KeyState, vk))
            continue;
        if ((::GetAsyncKeyState(static_cast<int>(vk)) & 0x8000) != 0)
            continue;
        g_KeyState[vk] = 0;
        released = true;
    }
    if (!released)
        return;
    DeriveModifierEntries(g_KeyState, VK_LSHIFT, false);
    DeriveModifierEntries(g_KeyState, VK_RCONTROL, false);
    DeriveModifierEntries(g_KeyState, VK_LMENU, false);
    ActOnHeldKeys();
}

LRESULT CALLBACK KeyHookLLProc(int code, WPARAM wParam, LPARAM lParam)
{
    try
    {
        return KeyHookEvent(code, wParam, lParam);
    }
    catch (...)
    {
        // A fault of ours must not take the user's keyboard away: the key goes on.
        if (!g_exceptionLogged.exchange(true))
            CLogger::LogMessage(L"KeyHookLLProc: Caught an exception while processing message 0x%04X; the key is passed on.",
                                static_cast<unsigned>(wParam));
    }
    return ::CallNextHookEx(g_threads.hKeyHook, code, wParam, lParam);
}

LRESULT CALLBACK FindHookLLProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && wParam == WM_MOUSEMOVE && lParam != 0)
    {
        const HWND window = g_engine.hFindWnd;
        if (window != nullptr)
        {
            const MSLLHOOKSTRUCT& mouse = *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
            ::PostMessageW(window, BRMP_FindHover, static_cast<WPARAM>(mouse.pt.x), static_cast<LPARAM>(mouse.pt.y));
        }
    }
    return ::CallNextHookEx(g_threads.hFindHook, code, wParam, lParam);
}
