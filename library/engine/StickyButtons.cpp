#include "StickyButtons.h"

#include <string>

#include "ActionData.h"
#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonEventKind.h"
#include "ButtonProcessing.h"
#include "ChordTimers.h"
#include "EngineInput.h"
#include "EngineResets.h"
#include "Globals.h"
#include "HeldInput.h"
#include "KeyHook.h"
#include "LockAxis.h"
#include "Logger.h"
#include "MouseInfo.h"
#include "Movement2Scroll.h"
#include "RepeatTimers.h"
#include "ScrollTimers.h"
#include "SendInput.h"
#include "Settings.h"
#include "ThreadLock.h"

short g_nStickyState[StickyKindCount] = {};

void SetStickyState(int kind, int state)
{
    if (kind < 0 || kind >= StickyKindCount)
        return;
    g_nStickyState[kind] = static_cast<short>(state);
    // An engaged sticky state is something the library holds for the user.
    g_held.SetSticky(kind, state > 0);
}

namespace
{
constexpr int kLayers = 10;
constexpr int kButtons = 9;
constexpr int kSlots = kLayers * kButtons;

// Set while a reload ends the sticky states: the profiles are about to be
// freed, so none may be handed to the cursor thread.
bool g_bReloading = false;

void UnlockAxes(int layer, const CApplicationSettings* profile)
{
    if (g_bReloading)
        g_LockAxis.Init();
    else
        g_LockAxis.Unlock(g_threads.pSPIThread, layer, g_pSettings, profile, false);
}

// Keys a sticky repeat or hold pressed, per slot; guarded by the global lock.
std::wstring g_stickyKeys[kSlots];

// A handled press, or one the hook still holds (it clears its own mark before
// the release reaches the engine).
bool DownSeen(int button)
{
    return button >= 0 && button < kButtons && g_held.PressSeen(button);
}

// The slot that engaged each sticky mouse button, and across a reload what it
// held: a reload keeps a sticky button whose action stays the same. Whose
// events drive it: another program's never change a sticky button the user's
// events drive.
struct StickyOrigin
{
    int button = -1;
    int layer = 0;
    const CApplicationSettings* profile = nullptr;   // valid until the next reload
    HeldSource source = HeldSource::User;
};
StickyOrigin g_stickyOrigin[STICKY_XRIGHT + 1];
struct KeptSticky
{
    bool kept = false;
    int code = 0;
    bool isDefault = false;
    std::wstring fullName;
};
KeptSticky g_keptSticky[STICKY_XRIGHT + 1];

int OriginCode(const CApplicationSettings* profile, const StickyOrigin& origin)
{
    if (profile == nullptr || g_pSettings == nullptr)
        return ACTION_NO_CHANGE;
    return ResolveSlot(profile, g_pSettings->GetDefaultApp(), origin.button, origin.layer).code;
}

bool ValidSlot(int button, int layer)
{
    return button >= 0 && button < kButtons && layer >= 0 && layer < kLayers;
}

std::wstring& StickyKeys(int button, int layer)
{
    return g_stickyKeys[button + layer * kButtons];
}

void QueueButton(int kind, int eventKind, POINT point)
{
    if (g_threads.pSendInput == nullptr)
        return;
    SendMouseButton(kind, eventKind, point, false, false);
    g_threads.pSendInput->SignalQueue();
}

const wchar_t* const kStickyNames[StickyKindCount] = {L"Left",       L"Right",    L"Middle", L"XLeft",      L"XRight",
                                                      L"Key Repeat", L"Key Hold", L"Scroll", L"Slow Cursor"};

void ReleaseStickyRepeatKeys(int button, int layer, POINT point)
{
    std::wstring& keys = StickyKeys(button, layer);
    if (keys.empty())
        return;
    // Ending a repeat releases what its repetitions may hold, as the end of a
    // held repeat does.
    SendKeysStateSingleShotRepeatRelease(keys.c_str(), point, nullptr);
    keys.clear();
}

void ReleaseStickyHoldKeys(int button, int layer, POINT point)
{
    std::wstring& keys = StickyKeys(button, layer);
    if (keys.empty())
        return;
    CLogger::LogDebug(L"%s Sticky: Resetting stuck keys '%s'", kStickyNames[STICKY_KEYHOLD], keys.c_str());
    SendKeyStateWhileDown(keys.c_str(), true, point, nullptr);
    keys.clear();
}

void OnEngineReset(EngineResetReason reason, POINT point)
{
    if (reason == EngineResetReason::SettingsReload)
    {
        // Everything held goes before the profiles it came from are freed.
        StopRepeat();
        struct ReloadMark
        {
            ReloadMark() { g_bReloading = true; }
            ~ReloadMark() { g_bReloading = false; }
        } mark;
        // A sticky button goes on across the reload when its slot's action
        // stays (EndStickyChangedByReload decides once the new profiles are
        // in); every other sticky state ends.
        for (int kind = STICKY_LEFT; kind <= STICKY_XRIGHT; ++kind)
        {
            KeptSticky& kept = g_keptSticky[kind];
            const StickyOrigin& origin = g_stickyOrigin[kind];
            kept = KeptSticky{};
            if (g_nStickyState[kind] < 1 || origin.profile == nullptr || origin.profile != g_engine.pCurrentApp)
                continue;
            kept.kept = true;
            kept.code = OriginCode(origin.profile, origin);
            kept.isDefault = origin.profile->IsDefault();
            kept.fullName = origin.profile->GetFullName() != nullptr ? origin.profile->GetFullName() : L"";
        }
        for (int kind = 0; kind < StickyKindCount; ++kind)
        {
            if (kind > STICKY_XRIGHT || !g_keptSticky[kind].kept)
                ResetSticky(point, kind, g_engine.nCurrentLayer, -1);
        }
        for (auto& origin : g_stickyOrigin)
            origin.profile = nullptr;
        for (auto& keys : g_stickyKeys)
            keys.clear();
        // The slots that flag held "during" keys go with the old profiles; the
        // keys stay down until the button's release.
        g_held.CarryDuringKeys();
        ForgetChord();
        DropPendingScroll();
    }
    else if (g_pSettings != nullptr && g_pSettings->m_bResetStickyOnLayerChange)
    {
        ResetAllSticky(point);
    }
}

[[maybe_unused]] const bool g_resetRegistered = AddEngineReset(OnEngineReset);
} // namespace

const wchar_t* StickyName(int kind)
{
    return kind >= 0 && kind < StickyKindCount ? kStickyNames[kind] : L"?";
}

bool AnyStickyActive()
{
    for (short state : g_nStickyState)
        if (state > 0)
            return true;
    return false;
}

StickyStep StickyTransition(int state, int eventKind, bool downSeen)
{
    if (eventKind == kEventDown)
        return state == 1 ? StickyStep{2, true, 0} : StickyStep{1, true, 1};
    if (eventKind != kEventUp || !downSeen)
        return StickyStep{state, false, 0};
    if (state >= 2)
        return StickyStep{0, true, 2};
    if (state == 1)
        return StickyStep{1, true, 0};
    return StickyStep{1, true, 1};
}

bool StickyButton(POINT point, HWND window, int button, int kind, int eventKind, int* out)
{
    if (out != nullptr)
        *out = 0;
    if (kind < STICKY_LEFT || kind > STICKY_XRIGHT)
        return false;
    const wchar_t* name = kStickyNames[kind];
    const int state = g_nStickyState[kind];
    // Another program's click of the button that holds the user's sticky
    // button is its own: it is taken (the button it would press is held
    // already) and leaves the user's press and release to the user.
    if (state > 0 && g_held.m_source == HeldSource::OtherProgram && g_stickyOrigin[kind].source == HeldSource::User &&
        (eventKind == kEventDown || eventKind == kEventUp))
    {
        CLogger::LogDebug(L"%s Sticky: Another program's button event leaves the user's sticky button as it is", name);
        return true;
    }
    g_stickyOrigin[kind].source = g_held.m_source;
    const bool downSeen = DownSeen(button);
    const StickyStep step = StickyTransition(state, eventKind, downSeen);
    if (eventKind == kEventDown)
        CLogger::LogDebug(state == 1 ? L"%s Sticky: Ignore button down" : L"%s Sticky: Button *DOWN*", name);
    else if (eventKind == kEventUp && downSeen)
    {
        if (state > 2)
            CLogger::LogDebug(L"%s Sticky: Button UP with no button down! (state %d)", name, state);
        else if (state == 0)
            CLogger::LogDebug(L"%s Sticky: Seen button up without down - initiate sticky mode.", name);
        else if (state == 1)
            CLogger::LogDebug(L"%s Sticky: Ignore button up", name);
        if (state >= 2)
            CLogger::LogDebug(L"%s Sticky: Button *UP*", name);
    }
    SetStickyState(kind, static_cast<short>(step.state));
    if (step.press == 1)
    {
        g_stickyOrigin[kind] = StickyOrigin{button, g_engine.nCurrentLayer, g_engine.pCurrentApp, g_held.m_source};
        QueueButton(kind, 1, point);
        if (window != nullptr)
            ::SetCapture(window);
    }
    else if (step.press == 2)
    {
        QueueButton(kind, 2, point);
        ::ReleaseCapture();
    }
    if (out != nullptr)
        *out = step.press;
    return step.consumed;
}

bool StickyKeyRepeat(POINT point, HWND window, int button, int layer, const wchar_t* keys, int delayMs)
{
    CThreadLock lock(L"StickyKeyRepeat");
    const int repeating = g_nRepeatButton.load();
    if (repeating >= 0 && g_nStickyState[STICKY_KEYREPEAT] != 0)
    {
        // The releases are queued behind whatever the flush left running: the
        // input thread sends them after it, and the hook thread never waits.
        if (g_threads.pSendInput != nullptr)
            g_threads.pSendInput->FlushQueue(false);
        StopEventTimer();
        for (int l = 0; l < kLayers; ++l)
        {
            if (ValidSlot(repeating, l) && !StickyKeys(repeating, l).empty())
            {
                CLogger::LogDebug(L"ProcessButtonAction: Releasing repeated simulated keystrokes '%s' (sending up).",
                                  StickyKeys(repeating, l).c_str());
                ReleaseStickyRepeatKeys(repeating, l, point);
            }
        }
        SetStickyState(STICKY_KEYREPEAT, 0);
        g_nRepeatButton = -1;
        if (repeating == button)
            return true;
    }
    if (keys == nullptr || !ValidSlot(button, layer))
        return false;
    SendKeysStateSingleShot(keys, point, window, false, true);
    SetStickyState(STICKY_KEYREPEAT, 1);
    StickyKeys(button, layer) = keys;
    StartRepeat(button, delayMs);
    return true;
}

bool StickyKeyHold(POINT point, HWND window, int button, int layer, const wchar_t* keys, int eventKind)
{
    if (!ValidSlot(button, layer))
        return false;
    const wchar_t* name = kStickyNames[STICKY_KEYHOLD];
    CThreadLock lock(L"StickyKeyHold");
    int state = g_nStickyState[STICKY_KEYHOLD];
    auto engage = [&]() {
        SetStickyState(STICKY_KEYHOLD, 1);
        if (keys != nullptr)
        {
            SendKeyStateWhileDown(keys, false, point, window);
            StickyKeys(button, layer) = keys;
        }
    };
    if (eventKind == kEventDown)
    {
        if (state == 1)
        {
            CLogger::LogDebug(L"%s Sticky: Ignore button down", name);
            SetStickyState(STICKY_KEYHOLD, 2);
        }
        else
        {
            CLogger::LogDebug(L"%s Sticky: Button *DOWN*", name);
            engage();
        }
        return true;
    }
    if (eventKind != kEventUp)
        return false;
    if (!DownSeen(button))
    {
        CLogger::LogDebug(L"%s Sticky: Button up without down!", name);
        return false;
    }
    if (state == 0)
    {
        CLogger::LogDebug(L"%s Sticky: Button up without down - starting sticky!", name);
        engage();
    }
    else if (state == 1)
    {
        CLogger::LogDebug(L"%s Sticky: Ignore button up", name);
    }
    else
    {
        CLogger::LogDebug(L"%s Sticky *UP*", name);
        std::wstring& held = StickyKeys(button, layer);
        if (!held.empty())
        {
            SendKeyStateWhileDown(held.c_str(), true, point, window);
            held.clear();
        }
        SetStickyState(STICKY_KEYHOLD, 0);
    }
    return true;
}

const wchar_t* GetStickyKeys(int button, int layer)
{
    return ValidSlot(button, layer) ? StickyKeys(button, layer).c_str() : L"";
}

bool StickyKeysHeld(int button, int layer)
{
    return g_nStickyState[STICKY_KEYHOLD] >= 1 && ValidSlot(button, layer) && !StickyKeys(button, layer).empty();
}

void ResetSticky(POINT point, int kind, int layer, int button)
{
    if (kind < 0 || kind >= StickyKindCount)
        return;
    if (g_nStickyState[kind] >= 1)
    {
        CLogger::LogDebug(L"Resetting sticky: [%s]", kStickyNames[kind]);
        if (kind <= STICKY_XRIGHT)
        {
            CThreadLock lock(L"ResetSticky");
            QueueButton(kind, 2, point);
            UnlockAxes(layer, g_engine.pCurrentApp);
            ::ReleaseCapture();
            SetStickyState(kind, 0);
        }
        else if (kind == STICKY_KEYREPEAT || kind == STICKY_KEYHOLD)
        {
            CThreadLock lock(L"ResetSticky STICKYKEYREPEAT");
            const int repeating = g_nRepeatButton.load();
            if (repeating < 0 || repeating == button || button < 0)
            {
                if (g_idRepeatTimer.load() != 0)
                {
                    CLogger::LogMessage(L"Resetting sticky repeat timer");
                    if (g_threads.pSendInput != nullptr)
                        g_threads.pSendInput->FlushQueue(false);
                    StopEventTimer();
                }
                else
                {
                    CLogger::LogMessage(L"No sticky repeat timer to stop");
                }
                g_nRepeatButton = -1;
                SetStickyState(kind, 0);
                if (kind == STICKY_KEYREPEAT)
                {
                    for (int b = 0; b < kButtons; ++b)
                        for (int l = 0; l < kLayers; ++l)
                            if ((button < 0 || (b == button && l == layer)))
                                ReleaseStickyRepeatKeys(b, l, point);
                }
            }
        }
        else if (kind == STICKY_SCROLL)
        {
            CThreadLock lock(L"ResetSticky STICKYSCROLL");
            if (g_pActiveMTS != nullptr)
            {
                CLogger::LogDebug(L"ResetSticky: Aborting movement to scroll.");
                g_pActiveMTS->SetMouseButton(NoButton);
                g_pActiveMTS = nullptr;
            }
            g_nMTSCursorState = 0;
            SetStickyState(kind, 0);
            if (g_pSettings != nullptr && g_pSettings->m_bMovementToScrollCursor && !g_bReloading)
                RestoreLayerCursor();
        }
        else if (kind == STICKY_SLOWCURSOR)
        {
            if (g_pSettings != nullptr && g_pSettings->m_bAllowSetSpeed)
            {
                const int speed = ProfileMouseSpeed(g_engine.pCurrentApp);
                CLogger::LogThreadDebug(L"ResetSticky: Resetting mouse cursor speed to %d after 'Slowdown cursor'",
                                        speed);
                if (speed >= 1 && speed <= 20)
                    SetSystemMouseSpeed(speed);
            }
            else
            {
                CLogger::LogDebug(L"ProcessButtonAction: Not resetting sticky mouse speed as %s is not allowed to touch it!",
                                  L"BRMP");
            }
            // The speed is back, so the next press must slow it again.
            SetStickyState(kind, 0);
        }
    }
    if (kind == STICKY_KEYHOLD)
    {
        CThreadLock lock(L"ResetSticky STICKYKEYHOLD");
        for (int b = 0; b < kButtons; ++b)
            for (int l = 0; l < kLayers; ++l)
                if (button < 0 || (b == button && l == layer))
                    ReleaseStickyHoldKeys(b, l, point);
        SetStickyState(STICKY_KEYHOLD, 0);
    }
}

namespace
{
// Ends a sticky mouse button without a release of its own: the button it
// holds is let go, or taken over, by another hand.
void EndStickyWithoutRelease(int kind, int layer, const wchar_t* why)
{
    CLogger::LogDebug(L"Resetting sticky: [%s] (%s)", kStickyNames[kind], why);
    CThreadLock lock(L"ResetSticky");
    UnlockAxes(layer, g_engine.pCurrentApp);
    ::ReleaseCapture();
    SetStickyState(kind, 0);
}
} // namespace

bool EndStickyByPress(int button, int layer)
{
    if (button < STICKY_LEFT || button > STICKY_XRIGHT || g_nStickyState[button] < 1)
        return false;
    if (g_held.m_source == HeldSource::OtherProgram && g_stickyOrigin[button].source == HeldSource::User)
        return false;
    // The press takes the button over rather than releasing it under the
    // user's finger: its own release ends the drag, once.
    EndStickyWithoutRelease(button, layer, L"the button itself was pressed");
    return g_held.LibraryPressInSystem(button);
}

void EndStickyLetGoInSystem(int button, int layer)
{
    if (button >= STICKY_LEFT && button <= STICKY_XRIGHT && g_nStickyState[button] >= 1)
        EndStickyWithoutRelease(button, layer, L"the system let the button go while the hook was out");
}

void ResetAllSticky(POINT point)
{
    for (int kind = 0; kind < StickyKindCount; ++kind)
        ResetSticky(point, kind, g_engine.nCurrentLayer, -1);
}

void ResetOtherSticky(POINT point, int button, bool keepScroll)
{
    if (!AnyStickyActive())
        return;
    CLogger::LogDebug(L"KeyHookLLProc: ResetOtherSticky");
    CThreadLock lock(L"ResetOtherSticky");
    CApplicationSettings* current = g_engine.pCurrentApp;
    if (current == nullptr || g_pSettings == nullptr)
        return;
    const int currentLayer = g_engine.nCurrentLayer;
    bool skipLayer0 = false;
    if (currentLayer != 0 && button >= 0 && button < kButtons)
        skipLayer0 = current->GetLayerDisabled(currentLayer) ||
                     SlotCode(current, button, currentLayer) == ACTION_SAME_AS_LAYER_1;
    for (int l = 0; l < kLayers; ++l)
    {
        for (int b = 0; b < kButtons; ++b)
        {
            if (b == button && (l == currentLayer || (l == 0 && skipLayer0)))
                continue;
            const ResolvedSlot slot = ResolveSlot(current, g_pSettings->GetDefaultApp(), b, l);
            switch (slot.code)
            {
            case ACTION_SIMULATED_KEYS:
            {
                const int mode = slot.profile != nullptr ? slot.profile->SendKeyAction(b, slot.layer) : -1;
                if (mode == KEYMODE_STICKY_REPEAT)
                    ResetSticky(point, STICKY_KEYREPEAT, l, b);
                else if (mode == KEYMODE_STICKY_HOLD)
                    ResetSticky(point, STICKY_KEYHOLD, l, b);
                break;
            }
            case ACTION_STICKY_LEFT: ResetSticky(point, STICKY_LEFT, l, -1); break;
            case ACTION_STICKY_RIGHT: ResetSticky(point, STICKY_RIGHT, l, -1); break;
            case ACTION_STICKY_MIDDLE: ResetSticky(point, STICKY_MIDDLE, l, -1); break;
            case ACTION_STICKY_4TH: ResetSticky(point, STICKY_XLEFT, l, -1); break;
            case ACTION_STICKY_5TH: ResetSticky(point, STICKY_XRIGHT, l, -1); break;
            case ACTION_STICKY_LEFT_X:
            case ACTION_STICKY_LEFT_Y:
                ResetSticky(point, STICKY_LEFT, l, -1);
                UnlockAxes(l, current);
                break;
            case ACTION_MTS_STICKY_OLD:
                if (!keepScroll)
                    ResetSticky(point, STICKY_SCROLL, l, -1);
                break;
            case ACTION_MOVEMENT_TO_SCROLL:
                // Sticky scrolling is stored as movement-to-scroll with the sticky option.
                if (!keepScroll && slot.profile != nullptr && g_nStickyState[STICKY_SCROLL] > 0)
                {
                    CActionData* action = slot.profile->GetActionData(b, slot.layer);
                    const bool sticky = action != nullptr && action->GetMovement2Scroll() != nullptr &&
                                        action->GetMovement2Scroll()->IsSticky();
                    delete action;
                    if (sticky)
                        ResetSticky(point, STICKY_SCROLL, l, -1);
                }
                break;
            default:
                break;
            }
        }
    }
}

bool ReleaseCarriedDuringKeys(int button, POINT point)
{
    if (g_held.CarriedDuringKeys(button) == nullptr)
        return false;
    CThreadLock lock(L"ReleaseCarriedDuringKeys");
    const wchar_t* carried = g_held.CarriedDuringKeys(button);
    if (carried == nullptr)
        return false;
    const std::wstring keys = carried;
    g_held.EndDuringKeys(button);
    if (CLogger::DebugEnabled())
        CLogger::LogDebug(L"Releasing keys '%s' of button %d, held across a reload", keys.c_str(), button);
    if (!keys.empty())
        SendKeyStateWhileDown(keys.c_str(), true, point, nullptr);
    return true;
}

void ResetDuringKeys(POINT point)
{
    CThreadLock lock(L"ResetDuringKeys");
    for (int b = 0; b < kButtons; ++b)
        ReleaseCarriedDuringKeys(b, point);
    CApplicationSettings* profile = g_engine.pCurrentApp;
    if (profile == nullptr)
        return;
    const int layer = g_engine.nCurrentLayer;
    const bool quillon = g_pSettings != nullptr && g_pSettings->m_bQuillon;
    for (int b = 0; b < kButtons; ++b)
    {
        if (quillon && b == 6)
            continue;
        if (!CApplicationSettings::ValidSlot(b, layer) || !profile->GetResetKeys(b, layer))
            continue;
        CLogger::LogDebug(L"Resetting keys for button %d", b);
        profile->SetResetKeys(b, layer, false);
        // The keys the button's action pressed: a "Button Held" press holds
        // those of its chosen entry, not the slot's own.
        const wchar_t* held = g_held.DuringKeys(b, layer);
        if (held == nullptr)
            held = profile->GetKeystrokes(b, layer);
        const std::wstring keys = held != nullptr ? held : L"";
        g_held.EndDuringKeys(b);
        if (!keys.empty())
            SendKeyStateWhileDown(keys.c_str(), true, point, nullptr);
    }
}

void ResetStickyByKey(POINT point, bool control)
{
    ResetOtherSticky(point, -1, control);
}

void EndStickyChangedByReload(POINT point)
{
    const CApplicationSettings* profile = g_engine.pCurrentApp;
    for (int kind = STICKY_LEFT; kind <= STICKY_XRIGHT; ++kind)
    {
        KeptSticky& kept = g_keptSticky[kind];
        if (!kept.kept)
            continue;
        kept.kept = false;
        if (g_nStickyState[kind] < 1)
            continue;
        StickyOrigin& origin = g_stickyOrigin[kind];
        const bool sameProfile = profile != nullptr && profile->IsDefault() == kept.isDefault &&
                                 (kept.isDefault || (profile->GetFullName() != nullptr && kept.fullName == profile->GetFullName()));
        if (sameProfile && OriginCode(profile, origin) == kept.code)
        {
            CLogger::LogDebug(L"%s Sticky: Kept across the reload", kStickyNames[kind]);
            origin.profile = profile;
            continue;
        }
        ResetSticky(point, kind, g_engine.nCurrentLayer, -1);
    }
}

void ForgetStickyStates()
{
    for (int kind = 0; kind < StickyKindCount; ++kind)
        SetStickyState(kind, 0);
    for (auto& origin : g_stickyOrigin)
        origin = StickyOrigin{};
    for (auto& kept : g_keptSticky)
        kept = KeptSticky{};
    for (auto& keys : g_stickyKeys)
        keys.clear();
}
