// The simulated-keys action: the window check of a slot that sends only to its
// own profile's window, then the work of the key mode.

#include "ActionDispatch.h"
#include "ActionDispatchInternal.h"

#include <cstdlib>

#include "ActionData.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "EngineInput.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Logger.h"
#include "ProfileTargeting.h"
#include "RepeatTimers.h"
#include "Settings.h"
#include "StickyButtons.h"

namespace dispatch
{
namespace
{
enum class WindowCheck
{
    Send,   // go on with the key mode
    Skip,   // the profile's window is not active: send nothing, swallow the click
};

WindowCheck CheckActiveWindow(const Event& e, const CActionData& action)
{
    const bool isDefault = e.profile == nullptr || e.profile->IsDefault();
    HWND foreground = ::GetForegroundWindow();
    if (isDefault || (!action.Active() && !action.BlockMouse()) || foreground == g_engine.hCurrentWnd)
        return WindowCheck::Send;

    HWND root = g_engine.hCurrentWnd != nullptr ? ::GetAncestor(g_engine.hCurrentWnd, GA_ROOT) : nullptr;
    HWND rootParent = root != nullptr ? ::GetParent(root) : nullptr;
    HWND foregroundParent = foreground != nullptr ? ::GetParent(foreground) : nullptr;
    CLogger::LogDebug(L"SimKeys: Checking active window: Current 0x%08x, Parent 0x%08x, Parent2 0x%08x, Foreground 0x%08x, Fore-Parent  0x%08x",
                      HandleNumber(g_engine.hCurrentWnd), HandleNumber(root), HandleNumber(rootParent), HandleNumber(foreground),
                      HandleNumber(foregroundParent));
    if (foreground == nullptr || foreground == root || (rootParent != nullptr && foreground == rootParent) ||
        (foregroundParent != nullptr && foregroundParent == root))
        return WindowCheck::Send;

    wchar_t process[MAX_PATH] = {};
    if (!GetProcessName(foreground, 0, process, MAX_PATH, nullptr, PNR_ProcessButton))
        process[0] = L'\0';
    const CApplicationSettings* foregroundProfile = FindAppSettings(foreground, process, e.point, nullptr);
    const int mode = action.KeyAction();
    if (foregroundProfile == e.profile || foregroundProfile == g_engine.pCurrentApp)
    {
        if (action.BlockMouse())
            CLogger::LogMessage(L"Blocking mouse input as profile window is active.");
        CLogger::LogDebug(L"Active window has changed but it has the same BRMP profile so we wont block as if the window is not active.");
        return WindowCheck::Send;
    }
    if ((mode == KEYMODE_REPEAT || mode == KEYMODE_STICKY_REPEAT) && g_nRepeatButton.load() == e.button)
    {
        CLogger::LogDebug(L"The active window has changed and it has a different profile (process '%s'), but we are already repeating so we should stop the repeat. Ignoring Block Window option...",
                          process);
        return WindowCheck::Send;
    }
    if (action.Active())
    {
        CLogger::LogMessage(L"Not sending key sequence '%s' as profile window is not active.",
                            action.GetKeys() != nullptr ? action.GetKeys() : L"");
        return WindowCheck::Skip;
    }
    return WindowCheck::Send;
}

// The delay before the first repetition, spread when the slot asks for it.
int FirstRepeatDelay(const Event& e, const CActionData& action)
{
    const int simKeyDelay = g_pSettings != nullptr ? static_cast<int>(g_pSettings->m_uSimKeyDelay) : 1;
    int delay = KeyRepeatStartDelay(action.KeyRepeat(), simKeyDelay, action.WaitHoldTime(), g_system.nKeyRepeatDelay);
    const bool randomise = action.RandomiseDelay() ||
                           (e.profile != nullptr && CApplicationSettings::ValidSlot(e.button, e.layer) &&
                            e.profile->RandomiseDelay(e.button, e.layer));
    if (randomise)
        delay = RandomisedRepeatDelay(delay, static_cast<unsigned>(std::rand()));
    return delay;
}

// The slot's flag of held "during" keys, and the keys themselves: those of
// the action that pressed them (a "Button Held" entry's, not the slot's).
void SetHeld(const Event& e, bool held, const wchar_t* keys = nullptr)
{
    if (e.profile != nullptr && CApplicationSettings::ValidSlot(e.button, e.layer))
        e.profile->SetResetKeys(e.button, e.layer, held);
    if (held)
        g_held.HoldDuringKeys(e.button, e.layer, keys);
    else
        g_held.EndDuringKeys(e.button);
}

void StopKeyRepeat(const Event& e, const wchar_t* keys)
{
    const int repeating = g_nRepeatButton.load();
    if (repeating == e.button)
    {
        // The release is queued behind what the flush left running: the input
        // thread sends it afterwards, and the hook thread never waits for that.
        StopRepeat();
        SendKeysStateSingleShotRepeatRelease(keys, e.point, e.window);
    }
    else if (repeating >= 0)
    {
        CLogger::LogMessage(L"Releasing a button set to SIMULATED KEYSTROKES (method 6 - repeat) but another button is set to repeat!");
    }
}
} // namespace

BYTE SimulatedKeys(const Event& e)
{
    if (e.action == nullptr)
        return 0;
    const CActionData& action = *e.action;
    e.block = action.BlockMouse() ? 1 : 0;
    const bool held = e.profile != nullptr && CApplicationSettings::ValidSlot(e.button, e.layer) &&
                      e.profile->GetResetKeys(e.button, e.layer);
    const KeyModeWork work = KeyModeWorkFor(action.KeyAction(), e.kind, held);
    // Keys held down come up at the release or click that ends them, whatever
    // window came in front meanwhile (a Ctrl+click that opened one, say).
    const bool endsHeldKeys = work == KeyModeWork::HoldRelease ||
                              (work == KeyModeWork::StickyHold && StickyKeysHeld(e.button, e.layer));
    if (!endsHeldKeys && CheckActiveWindow(e, action) == WindowCheck::Skip)
        return 1;
    // Another program's click of the button whose press holds the user's keys
    // is its own: the keys are down already, and stay so until the user's release.
    if (work == KeyModeWork::HoldRelease && g_held.m_source == HeldSource::OtherProgram &&
        g_held.TookOverUsersPress(e.button))
    {
        CLogger::LogDebug(L"SimKeys: Another program's release leaves the keys the user's press holds");
        return SimulatedKeysResult(e.block != 0, 1);
    }

    const wchar_t* keys = action.GetKeys();
    BYTE result = 1;
    switch (work)
    {
    case KeyModeWork::SendOnce:
    case KeyModeWork::SendOnceRelease:
    {
        const bool release = work == KeyModeWork::SendOnceRelease;
        SetHeld(e, false);
        SendKeysStateSingleShot(keys, e.point, e.window, release, false);
        break;
    }
    case KeyModeWork::HoldPress:
        SetHeld(e, true, keys);
        SendKeyStateWhileDown(keys, false, e.point, e.window);
        break;
    case KeyModeWork::HoldRelease:
        SetHeld(e, false);
        SendKeyStateWhileDown(keys, true, e.point, e.window);
        break;
    case KeyModeWork::RepeatStart:
        if (SendKeysStateSingleShot(keys, e.point, e.window, false, false))
            StartRepeat(e.button, FirstRepeatDelay(e, action));
        break;
    case KeyModeWork::RepeatStop:
        StopKeyRepeat(e, keys);
        break;
    case KeyModeWork::StickyRepeat:
        result = StickyKeyRepeat(e.point, e.window, e.button, e.layer, keys, FirstRepeatDelay(e, action)) ? 1 : 0;
        break;
    case KeyModeWork::StickyHold:
        result = StickyKeyHold(e.point, e.window, e.button, e.layer, keys, e.kind) ? 1 : 0;
        break;
    case KeyModeWork::None:
        break;
    }
    return SimulatedKeysResult(e.block != 0, result);
}
} // namespace dispatch
