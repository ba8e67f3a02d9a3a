// The current layer and every change of it, the automatic switch back after a
// layer's time, and the mouse jiggler that lives beside them.

#include "Layers.h"

#include <atomic>
#include <cmath>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "Clock.h"
#include "Debug.h"
#include "EngineInput.h"
#include "EngineResets.h"
#include "LockAxis.h"
#include "RepeatTimers.h"
#include "SPIThread.h"
#include "StickyButtons.h"
#include "WindowOperation.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Logger.h"
#include "PersistantSettings.h"
#include "SendInput.h"
#include "Settings.h"
#include "ThreadLock.h"
#include "TimerThread.h"

int g_nLastLayer = 0;

namespace
{
// The current layer is read without the lock (GetCurrentLayer, the hook
// procedures), so every access is atomic.
int CurrentLayer()
{
    return std::atomic_ref<int>(g_engine.nCurrentLayer).load();
}

void StoreCurrentLayer(int layer)
{
    std::atomic_ref<int>(g_engine.nCurrentLayer).store(layer);
}

bool Quillon()
{
    return g_pSettings != nullptr && g_pSettings->m_bQuillon;
}

int ActionOn(int button, int layer)
{
    if (g_engine.pCurrentApp == nullptr || !CApplicationSettings::ValidLayer(layer))
        return ACTION_NO_CHANGE;
    return g_engine.pCurrentApp->GetActions(button, layer);
}

// Auto-switch retry when the timer fired while the lock was busy.
constexpr UINT kBusyRetryMs = 50;
// The longest jiggler time-out the option can give (minutes x 60,000 ms).
constexpr unsigned long long kMaxJigglerTimeoutMs = 0xFFFFFFFEull;

DWORD JigglerTimeoutMs()
{
    if (g_pSettings == nullptr || !g_pSettings->m_bMouseJiggler)
        return 0;
    const unsigned long long ms = static_cast<unsigned long long>(g_pSettings->m_uMouseJigglerTimeout) * 60000ull;
    return static_cast<DWORD>(ms > kMaxJigglerTimeoutMs ? kMaxJigglerTimeoutMs : ms);
}

// A layer change the hook thread asked for while another thread held the
// lock: the hook never waits for it, so the latest such request waits here for
// a short retry on the timer-queue thread. The buttons that were down then are
// the ones the change may press again (the layer button itself is not among
// them, see ButtonOutOfLayerChange).
constexpr int kNoPendingLayer = -1;
constexpr DWORD kLayerRetryMs = 10;
std::atomic<int> g_nPendingLayer{kNoPendingLayer};
std::atomic<bool> g_bPendingLayerNotify{false};
std::atomic<unsigned> g_uPendingLayerButtons{0};

// The buttons the user holds: a layer change gives them the new layer's
// actions. What the library holds in the system for the user (a sticky drag,
// a press sent in place of a held button) is no button the user holds.
unsigned ButtonsDown()
{
    return g_held.UserButtons();
}

void ChangeLayerLocked(int layer, bool notify, unsigned pressAgain);
void PressHeldButtonsAgain(int newLayer, POINT cursor, unsigned buttons);

void CALLBACK LayerRetryCallback(PVOID, BOOLEAN)
{
    RetryUnderGlobalLock(L"LayerRetryCallback", kLayerRetryMs, LayerRetryCallback, ID_QTTIMER_LAYERRETRY, [] {
        const int layer = g_nPendingLayer.exchange(kNoPendingLayer);
        if (layer == kNoPendingLayer)
            return;
        CLogger::LogDebug(L"LayerRetryCallback: Changing to layer %d, which found the lock busy on the hook thread", layer + 1);
        ChangeLayerLocked(layer, g_bPendingLayerNotify.load(), g_uPendingLayerButtons.load() & ButtonsDown());
    });
}

void StepLayerFromHere(int step, const wchar_t* lockName)
{
    CThreadLock lock(lockName);
    const int count = g_pSettings != nullptr ? MaxLayers() : CSettings::DefaultLayers;
    const int current = CurrentLayer();
    const int target = StepLayer(g_engine.pCurrentApp, current, count, step);
    if (target == current)
        return;
    SetCurrentLayer(target, true, true, true);
    if (GetDebug())
        ::MessageBeep(0);
}
}

int GetCurrentLayer()
{
    return CurrentLayer();
}

const wchar_t* GetLayername(int layer)
{
    CThreadLock lock(L"GetCurrentLayername");
    if (g_engine.pCurrentApp == nullptr)
        return nullptr;
    const wchar_t* name = CApplicationSettings::ValidLayer(layer) ? g_engine.pCurrentApp->GetLayerName(layer) : nullptr;
    if (name == nullptr || *name == 0)
    {
        CLogger::LogMessage(L"GetLayerName: Layer %d does not exist or has no name!", layer);
        return L"";
    }
    return name;
}

int MaxLayers()
{
    return g_pSettings != nullptr ? g_pSettings->MaxLayers() : CSettings::MaxLayerCount;
}

bool LeftClickCycleLayer()
{
    return g_pSettings != nullptr && g_pSettings->m_bLeftClickCycleLayers;
}

int StepLayer(const CApplicationSettings* profile, int current, int layerCount, int step)
{
    if (layerCount <= 0 || step == 0)
        return current;
    step = step > 0 ? 1 : -1;
    int candidate = current;
    for (int i = 0; i < layerCount; ++i)
    {
        candidate += step;
        if (candidate >= layerCount)
            candidate = step > 0 ? 0 : layerCount - 1;
        else if (candidate < 0)
            candidate = layerCount - 1;
        if (candidate == current)
            return current;
        if (profile == nullptr)
            return candidate;
        if (!profile->GetLayerDisabled(candidate) && !profile->GetLayerDisabledNextPrev(candidate, false))
            return candidate;
    }
    return current;
}

UINT AutoSwitchPeriodMs(double seconds)
{
    if (!(seconds >= 0.0))
        return 0;
    const double ms = std::floor(seconds * 1000.0);
    if (ms >= static_cast<double>(USER_TIMER_MAXIMUM))
        return USER_TIMER_MAXIMUM;
    return static_cast<UINT>(ms);
}

void NextLayer()
{
    StepLayerFromHere(1, L"NextLayer");
}

void PreviousLayer()
{
    StepLayerFromHere(-1, L"PreviousLayer");
}

void SetCurrentLayer(int layer, bool notify, bool autoSwitch, bool rememberLast)
{
    CThreadLock lock(L"SetCurrentLayer");
    RegisterLayerTimerHandlers();
    if (rememberLast)
        g_nLastLayer = CurrentLayer();
    ProxyKillTimer(nullptr, ID_TIMER_AUTOSWITCHLAYER);
    ChangeLayer(layer, notify);
    // Only a layer that really became current arms its switch; the first
    // layer never switches automatically.
    if (!autoSwitch || g_engine.pCurrentApp == nullptr || CurrentLayer() <= 0 || CurrentLayer() != layer)
        return;
    const int target = g_engine.pCurrentApp->GetAutoSwitchLayer(layer);
    if (target <= 0)
        return;
    const double seconds = g_engine.pCurrentApp->GetAutoSwitchTime(layer);
    if (!(seconds >= 0.0))
    {
        CLogger::LogMessage(L"SetCurrentLayer: Ignoring the automatic switch of layer %d: invalid time", layer + 1);
        return;
    }
    CLogger::LogDebug(L"Enabling Auto Switching to layer %d after %lf seconds.", target - 1, seconds);
    ProxySetTimer(nullptr, 0, ID_TIMER_AUTOSWITCHLAYER, AutoSwitchPeriodMs(seconds), AutoSwitchTimerProc,
                  &g_idAutoSwitchLayerTimer);
}

void ChangeLayer(int layer, bool notify)
{
    if (OnHookThread())
    {
        // The hook procedures never wait for the lock.
        CThreadTryLock lock(L"ChangeLayer");
        if (!lock)
        {
            g_uPendingLayerButtons = ButtonsDown();
            g_bPendingLayerNotify = notify;
            g_nPendingLayer = layer;
            if (!QTTimerActive(ID_QTTIMER_LAYERRETRY))
                StartQTTimer(kLayerRetryMs, LayerRetryCallback, ID_QTTIMER_LAYERRETRY);
            return;
        }
        g_nPendingLayer = kNoPendingLayer;
        ChangeLayerLocked(layer, notify, ButtonsDown());
        return;
    }
    CThreadLock lock(L"ChangeLayer");
    // A change made here is newer than one still waiting for its retry.
    g_nPendingLayer = kNoPendingLayer;
    ChangeLayerLocked(layer, notify, ButtonsDown());
}

namespace
{
void ChangeLayerLocked(int layer, bool notify, unsigned pressAgain)
{
    if (g_pSettings == nullptr)
    {
        CLogger::LogMessage(L"Unable to change layer - settings object is not initialised");
        return;
    }
    if (layer >= MaxLayers())
    {
        CLogger::LogMessage(L"Attempting to activate layer %d which is greater than Max layers (%d)", layer, MaxLayers());
        return;
    }
    if (layer < 0)
    {
        CLogger::LogMessage(L"Attempting to activate layer %d which is not a layer", layer);
        return;
    }
    POINT point = {0, 0};
    ::GetCursorPos(&point);

    // Keys held for a button, sticky buttons, repeats and a window drag belong
    // to the old layer.
    EndWindowOperation();
    ResetDuringKeys(point);
    RunEngineResets(EngineResetReason::LayerChange, point);
    StopEventTimer();
    // Drop what the old layer still had queued. The queue is not left blocked:
    // the re-presses below are queued after the flush and must be sent.
    if (g_threads.pSendInput != nullptr)
        g_threads.pSendInput->FlushQueue(false);

    PressHeldButtonsAgain(layer, point, pressAgain);

    StoreCurrentLayer(layer);
    if (g_pPersist != nullptr)
    {
        g_pPersist->SetLayer(layer);
        g_pPersist->SetDirty(true);
    }
    LayerNotify(notify);
}
} // namespace

void ChangeButtonOnLayerChange(int newLayer, POINT cursor)
{
    PressHeldButtonsAgain(newLayer, cursor, ButtonsDown());
}

namespace
{
// Of buttons, those still down get the new layer's action: a release with the
// old one, a press with the new.
void PressHeldButtonsAgain(int newLayer, POINT cursor, unsigned buttons)
{
    const int oldLayer = CurrentLayer();
    const bool quillon = Quillon();
    for (int button = Left; button <= XRight; ++button)
    {
        if ((buttons & (1u << button)) == 0 || !g_held.UserHolds(button))
            continue;
        const wchar_t* name = GetButtonName(button, quillon);
        CLogger::LogDebug(L"ChangeButtonOnLayerChange: %s button (%d) is down", name, button);
        if (g_engine.pCurrentApp == nullptr)
            continue;
        const int oldAction = ActionOn(button, oldLayer);
        const int newAction = ActionOn(button, newLayer);
        if (oldAction == newAction)
            continue;

        // The pauses around the release and the re-press are queued: the hook
        // thread that changes the layer never sleeps.
        BYTE fixUp = 0, block = 0, click = 0;
        QueueInputWait(10);
        CLogger::LogDebug(L"ChangeButtonOnLayerChange: Releasing %s button (old action %d (%s) from layer %d)", name,
                          oldAction, GetActionName(oldAction), oldLayer);
        StoreCurrentLayer(oldLayer);
        if (!ProcessButton(button, 2, true, cursor, fixUp, block, click) && oldAction != ACTION_DISABLE)
        {
            CLogger::LogDebug(L"ChangeButtonOnLayerChange: ProcessButton returned false!");
            CLogger::LogDebug(L"ChangeButtonOnLayerChange: Sending default %s button UP action", name);
            SendMouseButton(button, 2, cursor, false, quillon);
        }

        QueueInputWait(10);
        CLogger::LogDebug(L"ChangeButtonOnLayerChange: Re-pressing button %s (new action %d (%s) on layer %d)", name,
                          newAction, GetActionName(newAction), newLayer);
        StoreCurrentLayer(newLayer);
        if (!ProcessButton(button, 1, true, cursor, fixUp, block, click))
        {
            CLogger::LogDebug(L"ChangeButtonOnLayerChange: ProcessButton returned false!");
            if (newAction != ACTION_DISABLE)
            {
                CLogger::LogDebug(L"ChangeButtonOnLayerChange: Sending default %s button DOWN action", name);
                SendMouseButton(button, 1, cursor, false, quillon);
            }
        }
        QueueInputWait(10);
    }
}

} // namespace

void LayerNotify(bool notify)
{
    CThreadLock lock(L"LayerNotify");
    if (notify && g_pSettings != nullptr)
        notify = g_pSettings->m_bNotifyLayer;
    int layer = CurrentLayer();
    CLogger::LogDebug(L"Setting current layer to %d.", layer);
    if (layer < 0)
    {
        CLogger::LogMessage(L"ERROR: The current layer is being changed to %d. This should not happen. Please report this to the author! Ignoring layer request!",
                            layer);
        layer = 0;
        StoreCurrentLayer(0);
    }
    if (g_threads.pSPIThread != nullptr && g_pSettings != nullptr && g_pSettings->m_bChangeCursorLayer)
        g_LockAxis.ChangeCursor(g_threads.pSPIThread, g_engine.pCurrentApp, layer, false, true);
    const LPARAM balloon = notify ? 1 : 0;
    if (g_engine.hSetupWnd != nullptr && ::IsWindow(g_engine.hSetupWnd))
        ::PostMessageW(g_engine.hSetupWnd, BRMP_LayerChanged, static_cast<WPARAM>(layer), balloon);
    if (g_engine.hMainWnd != nullptr)
        ::PostMessageW(g_engine.hMainWnd, BRMP_LayerChanged, static_cast<WPARAM>(layer), balloon);
}

void CALLBACK AutoSwitchTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    const UINT_PTR stored = g_idAutoSwitchLayerTimer;
    if (stored != 0)
        ::KillTimer(nullptr, stored);
    if (id != stored)
    {
        CLogger::LogMessage(L"AutoSwitchTimerProc: Unexpected timer ID 0x%08X (0x%08X)", static_cast<unsigned>(id),
                            static_cast<unsigned>(stored));
        ::KillTimer(nullptr, id);
    }
    g_idAutoSwitchLayerTimer = 0;

    // A timer procedure never waits for the lock: try again shortly instead of
    // losing the switch.
    CThreadTryLock lock(L"AutoSwitchTimerProc");
    if (!lock)
    {
        ProxySetTimer(nullptr, 0, ID_TIMER_AUTOSWITCHLAYER, kBusyRetryMs, AutoSwitchTimerProc, &g_idAutoSwitchLayerTimer);
        return;
    }
    try
    {
        const int current = CurrentLayer();
        if (g_engine.pCurrentApp != nullptr && current > 0)
        {
            const int target = g_engine.pCurrentApp->GetAutoSwitchLayer(current);
            if (target > 0)
            {
                CLogger::LogMessage(L"Auto switching to layer %d.", target - 1);
                SetCurrentLayer(target - 1, true, target != 1, true);
            }
        }
    }
    catch (...)
    {
        CLogger::LogMessage(L"AutoSwitchTimerProc: Caught an exception while switching the layer");
    }
}

JigglerStep DecideJiggle(bool timerRunning, bool inputSeen, DWORD now, DWORD lastInput, DWORD timeoutMs)
{
    if (!timerRunning || !inputSeen)
        return JigglerStep::Nothing;
    // Tick counts wrap after 49.7 days: the unsigned difference stays right.
    if (now - lastInput > timeoutMs)
        return JigglerStep::Disarm;
    return JigglerStep::Jiggle;
}

void CALLBACK JigglerTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    CThreadTryLock lock(L"JigglerTimerProc");
    if (!lock)
        return;
    try
    {
        const JigglerStep step = DecideJiggle(g_idJigglerTimer != 0, g_hook.bInputSeen, TickNow(), g_hook.dwLastInput,
                                              JigglerTimeoutMs());
        if (step != JigglerStep::Nothing)
            CLogger::LogDebug(L"JigglerTimerProc Timer fired");
        if (step == JigglerStep::Disarm)
        {
            CLogger::LogMessage(L"JigglerTimerProc: No activity for some time. Re-enabling inactivity timer.");
            g_hook.bInputSeen = false;
        }
        else if (step == JigglerStep::Jiggle && g_threads.pSendInput != nullptr)
        {
            CLogger::LogDebug(L"JigglerTimerProc: Jiggling the mouse... (simulating activity)");
            INPUT input = {};
            input.type = INPUT_MOUSE;
            input.mi.dwFlags = MOUSEEVENTF_MOVE;
            input.mi.dwExtraInfo = OwnInputSignature();
            g_threads.pSendInput->SendInputThreaded(1, &input, 0, false);
            g_threads.pSendInput->SignalQueue();
        }
    }
    catch (...)
    {
        CLogger::LogMessage(L"JigglerTimerProc: Caught an exception");
    }
}

void RegisterLayerTimerHandlers()
{
    SetTimerThreadHandler(ID_TIMER_AUTOSWITCHLAYER, AutoSwitchTimerProc);
    SetTimerThreadHandler(ID_TIMER_JIGGLER, JigglerTimerProc);
}
