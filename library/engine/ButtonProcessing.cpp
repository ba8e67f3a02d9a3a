// Button processing: the window and profile an event concerns, the action of the
// button there, and the bookkeeping that keeps the system's idea of the buttons
// in step with ours.

#include "ButtonProcessing.h"

#include "ActionData.h"
#include "ActionDispatch.h"
#include "ActionDispatchInternal.h"
#include "ActionDispatchState.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonEventKind.h"
#include "ChordTimers.h"
#include "Chords.h"
#include "Control.h"
#include "Debug.h"
#include "EngineInput.h"
#include "Globals.h"
#include "HeldInput.h"
#include "LastWheel.h"
#include "LockAxis.h"
#include "Logger.h"
#include "MouseHook.h"
#include "Movement2Scroll.h"
#include "ProfileTargeting.h"
#include "RepeatTimers.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "TimerThread.h"
#include "TimedClicks.h"
#include "Tokens.h"
#include "WindowFacts.h"
#include "WindowFromPoint.h"

namespace
{
// Window whose profile was last chosen (the profile window).
HWND s_hLastProfileWindow = nullptr;

// The profiles recently decided for windows, so that going back and forth
// between windows needs no process-name or profile look-up (hook thread, global
// lock held). A reload empties the table. An entry is dropped when its window
// is gone or belongs to another process now, and one whose decision read
// captions when one of those captions changed.
struct KnownWindow
{
    HWND window = nullptr;
    DWORD pid = 0;
    CApplicationSettings* profile = nullptr;
    windowfacts::CaptionsRead captions;
    unsigned lastUse = 0;
    wchar_t process[MAX_PATH] = {};
};
constexpr int kKnownWindows = 8;
constexpr int kClassChars = 261;
KnownWindow s_known[kKnownWindows];
unsigned s_knownUse = 0;

// Whether the captions a decision read still read the same, asked the same way.
bool CaptionsUnchanged(const KnownWindow& known)
{
    unsigned hash = windowfacts::kCaptionHashStart;
    for (int i = 0; i < known.captions.count; ++i)
    {
        const HWND window = known.captions.windows[i];
        wchar_t className[kClassChars];
        windowfacts::ClassName(window, className, kClassChars);
        wchar_t caption[kMaxCaptionChars + 1];
        const bool found = GetWindowCaption(window, known.process, caption, kMaxCaptionChars + 1, className);
        hash = windowfacts::CombineCaptionHash(hash, windowfacts::CaptionHash(window, found, caption));
    }
    return hash == known.captions.hash;
}

const KnownWindow* FindKnownWindow(HWND window, DWORD pid)
{
    for (KnownWindow& known : s_known)
    {
        if (known.window != window)
            continue;
        if (known.pid != pid || (known.captions.count > 0 && !CaptionsUnchanged(known)))
        {
            known = KnownWindow{};
            return nullptr;
        }
        known.lastUse = ++s_knownUse;
        return &known;
    }
    return nullptr;
}

void RememberWindow(HWND window, DWORD pid, const wchar_t* process, CApplicationSettings* profile,
                    const windowfacts::CaptionsRead& captions)
{
    KnownWindow* slot = &s_known[0];
    for (KnownWindow& known : s_known)
    {
        if (known.window == window)
        {
            slot = &known;
            break;
        }
        if (known.lastUse < slot->lastUse)
            slot = &known;
    }
    slot->window = window;
    slot->pid = pid;
    slot->profile = profile;
    slot->captions = captions;
    slot->lastUse = ++s_knownUse;
    wcsncpy_s(slot->process, process, _TRUNCATE);
}

const wchar_t* KindName(int kind)
{
    switch (kind)
    {
    case 1: return L"Down";
    case 2: return L"Up";
    case 3: return L"DblClick";
    default: return L"Unknown";
    }
}

// The buttons and keys held now, as the translation line shows them.
unsigned HeldKeysMask()
{
    struct Bit { int vk; unsigned bit; };
    static const Bit bits[] = {{VK_LBUTTON, 0x1},  {VK_RBUTTON, 0x2},  {VK_SHIFT, 0x4},    {VK_CONTROL, 0x8},
                               {VK_MBUTTON, 0x10}, {VK_XBUTTON1, 0x20}, {VK_XBUTTON2, 0x40}, {VK_MENU, 0x100},
                               {VK_LWIN, 0x200},   {VK_RWIN, 0x400},   {VK_APPS, 0x800}};
    unsigned mask = 0;
    for (const Bit& b : bits)
        if ((::GetAsyncKeyState(b.vk) & 0x8000) != 0)
            mask |= b.bit;
    return mask;
}

void LogTranslation(int button, int kind, int configuredCode, int code, const CActionData* action)
{
    const wchar_t* name = GetButtonName(button, g_pSettings != nullptr && g_pSettings->m_bQuillon);
    const unsigned keys = HeldKeysMask();
    const wchar_t* keyText = action != nullptr && action->GetKeys() != nullptr ? action->GetKeys() : L"";
    const wchar_t* appText = action != nullptr && action->GetApplication() != nullptr ? action->GetApplication() : L"";
    const int keyMode = action != nullptr ? action->KeyAction() : 0;
    if (code == configuredCode)
    {
        if (code == ACTION_SIMULATED_KEYS)
            CLogger::LogDebug(L"Translating %s Button %s Key state 0x%X: Action %d [%s '%s' %s]%s", name, KindName(kind),
                              keys, code, GetActionName(code), keyText, GetKeyModeSuffix(keyMode),
                              action != nullptr && !action->BlockMouse() ? L" (Don't block original input)" : L"");
        else if (code == ACTION_RUN_APPLICATION || code == ACTION_OPEN_FOLDER)
            CLogger::LogDebug(L"Translating %s Button %s Key state 0x%X: Action %d [%s '%s']", name, KindName(kind), keys,
                              code, GetActionName(code), appText);
        else
            CLogger::LogDebug(L"Translating %s Button %s Key state 0x%X: Action %d [%s]", name, KindName(kind), keys, code,
                              GetActionName(code));
        return;
    }
    if (code == ACTION_SIMULATED_KEYS)
        CLogger::LogDebug(L"Translating %s Button %s Key state 0x%X: Action %d (%s) becomes Action %d [%s '%s' %s]", name,
                          KindName(kind), keys, configuredCode, GetActionName(configuredCode), code, GetActionName(code),
                          keyText, GetKeyModeSuffix(keyMode));
    else if (code == ACTION_RUN_APPLICATION || code == ACTION_OPEN_FOLDER || code == ACTION_BUTTON_CHORDING)
        CLogger::LogDebug(L"Translating %s Button %s Key state 0x%X: Action %d (%s) becomes Action %d [%s '%s']", name,
                          KindName(kind), keys, configuredCode, GetActionName(configuredCode), code, GetActionName(code),
                          code == ACTION_BUTTON_CHORDING ? L"Button Chording" : appText);
    else
        CLogger::LogDebug(L"Translating %s Button %s Key state 0x%X: Action %d (%s) becomes Action %d [%s]", name,
                          KindName(kind), keys, configuredCode, GetActionName(configuredCode), code, GetActionName(code));
}

bool IsStickyButtonCode(int code)
{
    return code == ACTION_STICKY_LEFT || code == ACTION_STICKY_RIGHT || code == ACTION_STICKY_MIDDLE ||
           code == 78 || code == 79;
}
} // namespace

int SlotCode(const CApplicationSettings* profile, int button, int layer)
{
    if (profile == nullptr)
        return ACTION_NO_CHANGE;
    return profile->GetActions(button, layer, true);
}

ResolvedSlot ResolveSlot(const CApplicationSettings* profile, const CApplicationSettings* defaultProfile, int button,
                         int layer)
{
    ResolvedSlot slot{SlotCode(profile, button, layer), 0, layer, profile};
    slot.code = slot.configuredCode;
    if (slot.code == ACTION_SAME_AS_LAYER_1)
    {
        slot.layer = 0;
        slot.code = SlotCode(profile, button, 0);
    }
    if (slot.code == ACTION_SAME_AS_DEFAULT && defaultProfile != nullptr && defaultProfile != profile)
    {
        slot.profile = defaultProfile;
        slot.code = SlotCode(defaultProfile, button, slot.layer);
        if (slot.code == ACTION_SAME_AS_LAYER_1)
        {
            slot.layer = 0;
            slot.code = SlotCode(defaultProfile, button, 0);
        }
    }
    return slot;
}

bool DefersProfileSwitch(int kind, int currentCode, int newCode)
{
    return kind == kEventUp && currentCode != newCode && !IsStickyButtonCode(newCode);
}

int ButtonVirtualKey(int button, bool swapped)
{
    switch (button)
    {
    case 0: return swapped ? VK_RBUTTON : VK_LBUTTON;
    case 1: return swapped ? VK_LBUTTON : VK_RBUTTON;
    case 2: return VK_MBUTTON;
    case 3: return VK_XBUTTON1;
    case 4: return VK_XBUTTON2;
    default: return 0;
    }
}

bool PassReleaseForSync(int kind, bool downSeen, bool systemDown)
{
    return kind == kEventUp && !downSeen && systemDown;
}

bool ResolveButtonAction(int button, int kind, int& layer, CApplicationSettings*& profile, int& configuredCode,
                         int& code, CActionData*& action)
{
    action = nullptr;
    CApplicationSettings* defaultProfile = g_pSettings != nullptr ? g_pSettings->GetDefaultApp() : nullptr;
    const ResolvedSlot slot = ResolveSlot(profile, defaultProfile, button, layer);
    configuredCode = slot.configuredCode;
    code = slot.code;
    layer = slot.layer;
    profile = const_cast<CApplicationSettings*>(slot.profile);
    if (profile != nullptr && CApplicationSettings::ValidSlot(button, layer))
        action = profile->GetActionData(button, layer);

    if (dispatch::ResolveThroughChord(button, kind, code, action) == dispatch::ChordResolution::Refused)
        return false;

    // The no-movement action of movement-to-scroll options being replayed.
    if (code == ACTION_MOVEMENT_TO_SCROLL && action != nullptr && g_pReplayingMTS != nullptr &&
        action->GetMovement2Scroll() == g_pReplayingMTS)
    {
        CActionData* stored = g_pReplayingMTS->GetActionData();
        delete action;
        action = stored;
        code = action != nullptr ? static_cast<int>(action->Action()) : ACTION_NO_CHANGE;
    }
    return true;
}

namespace
{
HWND EventWindow(POINT point)
{
    if (g_pSettings != nullptr && g_pSettings->m_bSwitchOnMouseOver)
    {
        // The look-up drops a cached window that is gone, and a window it has
        // just found is one: no second check here.
        HWND window = RealWindowFromPoint_SkipLocked(point, true);
        if (window == nullptr)
        {
            ResetWindowFromPointCache();
            window = RealWindowFromPoint_SkipLocked(point, true);
        }
        return window != nullptr ? window : g_engine.hCurrentWnd;
    }
    // The foreground thread's focus, asked of it directly (thread 0): its
    // active window is the foreground window.
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (::GetGUIThreadInfo(0, &info))
    {
        if (info.hwndFocus != nullptr)
            return info.hwndFocus;
        if (info.hwndActive != nullptr)
            return info.hwndActive;
    }
    return ::GetForegroundWindow();
}

// Switches to the profile of window, unless a release must finish in the old one.
void UpdateProfile(int button, int kind, HWND window, POINT point, BYTE& fixUp)
{
    wchar_t processName[MAX_PATH] = {};
    bool hostedApp = false;
    const DWORD pid = windowfacts::ProcessId(window);
    const bool samePlace = window == g_engine.hCurrentWnd && window == s_hLastProfileWindow;
    const KnownWindow* known = samePlace || pid == 0 ? nullptr : FindKnownWindow(window, pid);
    if (samePlace || pid == 0)
    {
        wcsncpy_s(processName, g_engine.szCurrentProcess, _TRUNCATE);
    }
    else if (known != nullptr)
    {
        wcsncpy_s(processName, known->process, _TRUNCATE);
        CLogger::LogDebug(L"ProcessButton: Window 0x%08X was seen before (process '%s'): its profile needs no look-up.",
                          HandleNumber(window), processName);
    }
    else
    {
        CLogger::LogDebug(L"ProcessButton: Detected active HWND changed from 0x%08X to 0x%08X (profile window 0x%08X, ProcID %d). Getting process name...",
                          HandleNumber(g_engine.hCurrentWnd),
                          HandleNumber(window),
                          HandleNumber(s_hLastProfileWindow), static_cast<int>(pid));
        if (!GetProcessName(window, pid, processName, MAX_PATH, nullptr, PNR_ProcessButton, &hostedApp))
            wcsncpy_s(processName, g_engine.szCurrentProcess, _TRUNCATE);
    }
    CApplicationSettings* profile = nullptr;
    if (known != nullptr)
    {
        profile = known->profile;
    }
    else
    {
        const int mark = windowfacts::CaptionMark();
        profile = FindAppSettings(window, processName, point, nullptr);
        // A decision that depends on the point or on the hosted app of a frame
        // is made again each time, and so is one that read more captions than
        // an entry keeps.
        const windowfacts::CaptionsRead captions = windowfacts::CaptionsSince(mark);
        if (pid != 0 && !g_bAreaAppsPresent && !hostedApp && captions.count >= 0)
            RememberWindow(window, pid, processName, profile, captions);
    }
    // Without a look-up of its own the window keeps the kind of the one in force.
    const bool modernUI = samePlace || pid == 0 ? g_engine.bCurrentModernUI : hostedApp;
    if (profile == g_engine.pCurrentApp)
    {
        // The window's profile is the one in force: it is the profile window
        // now, so the next click in it needs no look-up.
        g_engine.hCurrentWnd = window;
        g_engine.bCurrentModernUI = modernUI;
        s_hLastProfileWindow = window;
        CLogger::LogDebug(L"ProcessButton: Profile has not changed when hWnd changed to %08X.",
                          HandleNumber(window));
        return;
    }
    if (g_engine.szCurrentProcess[0] != L'\0')
        CLogger::LogDebug(L"ProcessButton: Profile/active app/window change (due to mouse button) from '%s' to '%s'.",
                          g_engine.szCurrentProcess, processName);
    else
        CLogger::LogDebug(L"ProcessButton: Profile/active app/window change (due to mouse button) from <unknown> to '%s'.",
                          processName);
    g_LastWheel.Reset();
    if (g_nStickyState[STICKY_KEYREPEAT] > 0 && g_idRepeatTimer.load() != 0)
        ResetSticky(point, STICKY_KEYREPEAT, g_engine.nCurrentLayer, -1);
    if (g_pSettings != nullptr && g_pSettings->m_bFooBar2000Fix && _wcsicmp(g_engine.szCurrentProcess, L"foobar2000.exe") == 0)
    {
        CLogger::LogDebug(L"ProcessButton: Previous process was Foobar2000.exe. Enabled special 'fix up' mode for next button press/release.");
        fixUp = 1;
    }
    if (kind == kEventUp && g_engine.pCurrentApp != nullptr &&
        DefersProfileSwitch(kind, SlotCode(g_engine.pCurrentApp, button, g_engine.nCurrentLayer),
                            SlotCode(profile, button, g_engine.nCurrentLayer)))
    {
        CLogger::LogDebug(L"ProcessButton: Changed app/window profile while button was down... Ignoring app switch until NEXT button down!");
        NotifyProcessChanged(window, profile);
        return;
    }
    if (profile == nullptr || !profile->AxisLocking())
        g_LockAxis.Unlock(g_threads.pSPIThread, g_engine.nCurrentLayer, g_pSettings, profile, false);
    // Keys, sticky buttons and held sequences of the old profile end with it.
    ResetDuringKeys(point);
    ResetAllSticky(point);
    SwitchToProfile(window, processName, profile, modernUI);
    s_hLastProfileWindow = window;
    g_engine.hCurrentWnd = window;
}

void ClipCursorToForeground()
{
    HWND foreground = ::GetForegroundWindow();
    if (foreground == nullptr || !::IsWindowVisible(foreground))
    {
        ::ClipCursor(nullptr);
        return;
    }
    RECT rect{};
    ::GetWindowRect(foreground, &rect);
    HWND window = foreground;
    // Bounded walk: a parent chain is short, a broken one must not loop.
    for (int depth = 0; depth < 64 && (::GetWindowLongPtrW(window, GWL_STYLE) & (WS_CHILD | WS_POPUP)) != 0; ++depth)
    {
        HWND parent = ::GetParent(window);
        if (parent == nullptr)
            break;
        if (::IsWindowVisible(parent))
        {
            RECT parentRect{};
            ::GetWindowRect(parent, &parentRect);
            ::UnionRect(&rect, &rect, &parentRect);
        }
        window = parent;
    }
    if (rect.left != 0 && rect.top != 0 && rect.right != 0 && rect.bottom != 0)
    {
        CLogger::LogMessage(L"Clipping cursor to window rectangle (%d, %d, %d, %d)", static_cast<int>(rect.top),
                            static_cast<int>(rect.left), static_cast<int>(rect.bottom), static_cast<int>(rect.right));
        ::ClipCursor(&rect);
    }
    else
        ::ClipCursor(nullptr);
}

// The recorded layer of a held key sequence when the release must act there.
int ReleaseLayer(int button, CApplicationSettings* profile, bool& swallow)
{
    swallow = false;
    int layer = g_engine.nCurrentLayer;
    if (g_nWhileDownLayer < 0 || g_nWhileDownLayer == g_engine.nCurrentLayer)
        return layer;
    int recordedLayer = g_nWhileDownLayer;
    CApplicationSettings* recordedProfile = profile;
    int configured = 0;
    int code = 0;
    CActionData* action = nullptr;
    if (!ResolveButtonAction(button, kEventUp, recordedLayer, recordedProfile, configured, code, action))
    {
        swallow = true;
        return layer;
    }
    if (code == ACTION_SIMULATED_KEYS && action != nullptr &&
        (action->KeyAction() == 2 || action->KeyAction() == 6 || action->KeyAction() == 7) && action->GetKeys() != nullptr)
    {
        SimTokenList tokens;
        CSimToken::Parse(tokens, action->GetKeys(), nullptr, POINT{}, nullptr, g_engine.nCurrentLayer, -1, 10, 0, true,
                         recordedProfile, false);
        for (const auto& token : tokens)
            if (token->m_nKind == SIMTOKEN_LAYER)
            {
                layer = g_nWhileDownLayer;
                break;
            }
    }
    delete action;
    return layer;
}
} // namespace

int ProcessButton(int button, int kind, bool skipWindowCheck, POINT point, BYTE& fixUp, BYTE& block, BYTE& click)
{
    fixUp = block = click = 0;
    if (button < 0 || button >= 9)
    {
        CLogger::LogMessage(L"ProcessButton: Invalid button %d", button);
        return 0;
    }
    if (kind == kEventUp && g_held.TakeChordRelease(button))
    {
        CLogger::LogDebug(L"ProcessButton: Ignoring button up as it was previously a chord action!");
        if (g_engine.hSetupWnd != nullptr && ::IsWindow(g_engine.hSetupWnd))
            ::PostMessageW(g_engine.hSetupWnd, BRMP_SetupHelperMsg, static_cast<WPARAM>(button), 2);
        return 1;
    }

    // Each fact of a window is asked once for this event (and captions are
    // noted, so that a decision remembers which it depended on).
    CWindowFactsScope facts(CWindowFactsScope::Captions::ByMessage);
    HWND window = g_engine.hCurrentWnd;
    if (skipWindowCheck)
    {
        CLogger::LogDebug(L"ProcessButton: Skipping Window check. Last HWND %08X.",
                          HandleNumber(g_engine.hCurrentWnd));
    }
    else
    {
        window = EventWindow(point);
        // Within one window, another quarter or leaving the area of a profile
        // limited to part of the window asks for the profile again - also on
        // the way back into that part, when another profile is in force.
        static int s_nLastQuarter = -1;
        const bool samePlace = window == g_engine.hCurrentWnd && g_engine.hCurrentWnd == s_hLastProfileWindow;
        const bool lookUp = window != nullptr && (!samePlace || WindowPartChanged(window, point, s_nLastQuarter));
        // The profile of a click is decided now, also when it keeps the one
        // in force: a mouse-over check asked or running before it must not
        // overrule it. A wheel notch decides only when it looks the profile up
        // (one that merely scrolls leaves the resting pointer its check).
        if (lookUp || button <= XRight)
            VoidMouseOverChecks();
        if (lookUp)
            UpdateProfile(button, kind, window, point, fixUp);
    }

    // A press from before a reload ends as it began, whatever the button does
    // now (a press after a release nobody saw ends it too).
    if (FinishPressCarriedByReload(button, point, block, click) && kind == kEventUp)
    {
        g_held.HandledRelease(button);
        return 1;
    }

    CApplicationSettings* profile = g_engine.pCurrentApp;
    if (profile == nullptr)
        return 0;

    if (kind == kEventUp && profile->ClipMouse())
        ClipCursorToForeground();

    int layer = g_engine.nCurrentLayer;
    if (kind == kEventUp && g_bLayerSwitchedByButton && button == g_nLayerButton &&
        CApplicationSettings::ValidLayer(g_nLayerButtonLayer))
    {
        layer = g_nLayerButtonLayer;
    }
    else if (kind == kEventUp)
    {
        bool swallow = false;
        layer = ReleaseLayer(button, profile, swallow);
        if (swallow)
            return 1;
    }

    int configuredCode = 0;
    int code = 0;
    CActionData* action = nullptr;
    if (!ResolveButtonAction(button, kind, layer, profile, configuredCode, code, action))
    {
        delete action;
        return 1;
    }
    // A "Button Held" press that a profile switch cut short ends with its own
    // release, whatever the button does in the profile in force now.
    if (kind == kEventUp && code != ACTION_BUTTON_HELD && g_pTimedClicks[button] != nullptr &&
        g_pTimedClicks[button]->GetTimerCallback() != nullptr)
        code = ACTION_BUTTON_HELD;

    if (g_engine.hSetupWnd != nullptr && ::IsWindow(g_engine.hSetupWnd))
        ::PostMessageW(g_engine.hSetupWnd, BRMP_SetupHelperMsg, static_cast<WPARAM>(button),
                       MAKELPARAM(kind, code != configuredCode ? 1 : 0));

    if (GetDebug())
        LogTranslation(button, kind, configuredCode, code, action);

    if (g_pSettings != nullptr && g_pSettings->m_bResetStickyOnAnyButton &&
        (kind == kEventUp ||
         (kind == kEventDown && (g_nStickyState[STICKY_KEYREPEAT] > 0 || g_nStickyState[STICKY_KEYHOLD] > 0))))
        ResetOtherSticky(point, button, false);

    int result = ProcessButtonAction(button, code, action, profile, kind, layer, skipWindowCheck ? 1 : 0, window,
                                     point, block, click);
    if (result != 0)
    {
        if (g_pGlobalChord != nullptr && !dispatch::IsChordSource(button))
            g_pGlobalChord->SetChordUsed();
        if (kind == kEventDown)
        {
            g_held.TookOver(button);
        }
        else
        {
            // The hook keeps the swap state current (it watches SM_SWAPBUTTON).
            // The system is asked about a press this hook did not see, and
            // about one it took over whose call overran (which a system may
            // have passed on or dropped): a release of a press the system
            // never had is never passed for that.
            const int vk = ButtonVirtualKey(button, g_system.nSwapButtons != 0);
            const bool tookOver = g_held.TookOverPress(button);
            if (vk != 0 && (!tookOver || g_held.PressMayBeInSystem(button)))
            {
                const bool systemDown = (::GetAsyncKeyState(vk) & 0x8000) != 0;
                const bool withheld = tookOver && !g_held.PressInSystem(button, systemDown);
                if (PassReleaseForSync(kind, withheld, systemDown))
                {
                    if (tookOver)
                        CLogger::LogDebug(L"ProcessButton: The system took the button down when our hook ran too long. Allowing button up to keep Windows in sync!");
                    else
                        CLogger::LogDebug(L"ProcessButton: Button is down but we didn't see it. Allowing button up to keep Windows in sync!");
                    result = 0;
                }
            }
            g_held.HandledRelease(button);
        }
    }
    delete action;
    return result;
}

void SetLastProfileWindow(HWND window)
{
    s_hLastProfileWindow = window;
}

void ForgetWindowProfiles()
{
    for (KnownWindow& known : s_known)
        known = KnownWindow{};
    s_knownUse = 0;
    s_hLastProfileWindow = nullptr;
}
