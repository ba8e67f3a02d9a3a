// Action dispatch. Only the actions the engine can already carry out are here:
// "no change" and its kin, "disable", the clipboard keys and simulated keys
// (without the repeat and sticky modes). The rest are logged as not available.

#include "ActionDispatch.h"

#include "ActionData.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "EngineInput.h"
#include "Globals.h"
#include "Logger.h"
#include "Settings.h"

KeyModeWork KeyModeWorkFor(int keyMode, int kind, bool heldFlag)
{
    const bool down = kind == 1;
    const bool up = kind == 2;
    switch (keyMode)
    {
    case 0:
    case 3:
        return down ? KeyModeWork::SendOnce : KeyModeWork::None;
    case 1:
    case 4:
        return up ? KeyModeWork::SendOnceRelease : KeyModeWork::None;
    case 8:
        return down ? KeyModeWork::SendOnce : (up ? KeyModeWork::SendOnceRelease : KeyModeWork::None);
    case 2:
        if (down && !heldFlag)
            return KeyModeWork::HoldPress;
        if (up && heldFlag)
            return KeyModeWork::HoldRelease;
        return KeyModeWork::None;
    case 5:
    case 6:
    case 7:
        return KeyModeWork::NotAvailable;
    default:
        // Modes outside 0-8 come only from a damaged settings file: do nothing.
        return KeyModeWork::None;
    }
}

int RandomisedRepeatDelay(int delay, unsigned random)
{
    if (delay < 0)
        delay = 0;
    const int span = delay / 100 < 1 ? 3 : (delay / 100) * 10;
    const long long spread = static_cast<long long>(random % static_cast<unsigned>(2 * span));
    const long long result = spread + delay - span;
    const int clamped = result < 1 ? 1 : static_cast<int>(result);
    CLogger::LogDebug(L"ProcessButtonAction: Randomised repeat delay is %dms", clamped);
    return clamped;
}

namespace
{
BYTE SimulatedKeys(int button, CActionData* action, CApplicationSettings* profile, int kind, int layer, HWND window,
                   POINT point, BYTE& block)
{
    block = action->BlockMouse() ? 1 : 0;
    const int keyMode = action->KeyAction();
    const bool held = profile != nullptr && CApplicationSettings::ValidSlot(button, layer) &&
                      profile->GetResetKeys(button, layer);
    const KeyModeWork work = KeyModeWorkFor(keyMode, kind, held);
    const wchar_t* keys = action->GetKeys();
    switch (work)
    {
    case KeyModeWork::SendOnce:
    case KeyModeWork::SendOnceRelease:
        if (profile != nullptr && CApplicationSettings::ValidSlot(button, layer))
            profile->SetResetKeys(button, layer, false);
        SendKeysStateSingleShot(keys, point, window, work == KeyModeWork::SendOnceRelease, false);
        break;
    case KeyModeWork::HoldPress:
        if (profile != nullptr && CApplicationSettings::ValidSlot(button, layer))
            profile->SetResetKeys(button, layer, true);
        SendKeyStateWhileDown(keys, false, point, window);
        break;
    case KeyModeWork::HoldRelease:
        if (profile != nullptr && CApplicationSettings::ValidSlot(button, layer))
            profile->SetResetKeys(button, layer, false);
        SendKeyStateWhileDown(keys, true, point, window);
        break;
    case KeyModeWork::NotAvailable:
        CLogger::LogMessage(L"ProcessButtonAction: Simulated keys mode %d is not available.", keyMode);
        break;
    case KeyModeWork::None:
        break;
    }
    return block != 0 ? 1 : 0;
}
} // namespace

BYTE ProcessButtonAction(int button, int code, CActionData* action, CApplicationSettings* profile, int kind,
                         int layer, BYTE replayed, HWND window, POINT point, BYTE& block, BYTE& click)
{
    (void)replayed;
    (void)click;
    switch (code)
    {
    case ACTION_NO_CHANGE:
    case ACTION_SAME_AS_DEFAULT:
    case ACTION_SAME_AS_LAYER_1:
    case 80:
    case 107: case 108: case 109: case 110: case 111: case 112: case 113: case 114: case 115: case 116:
    case 121: case 122: case 123: case 124: case 125: case 126:
        return 0;
    case ACTION_DISABLE:
        if (g_pSettings != nullptr && g_pSettings->m_bScrollLockBypassDisabled && (::GetKeyState(VK_SCROLL) & 1) != 0)
        {
            CLogger::LogDebug(L"Bypassing disabled action because scroll lock is ON");
            return 0;
        }
        return 1;
    case ACTION_COPY:
    case ACTION_CUT:
    case ACTION_NEW:
    case ACTION_OPEN:
    case ACTION_PASTE:
    case ACTION_REDO:
    case ACTION_UNDO:
    {
        if (kind == 2)
        {
            int key = 0;
            switch (code)
            {
            case ACTION_COPY: key = 'C'; break;
            case ACTION_CUT: key = 'X'; break;
            case ACTION_NEW: key = 'N'; break;
            case ACTION_OPEN: key = 'O'; break;
            case ACTION_PASTE: key = 'V'; break;
            case ACTION_REDO: key = 'Y'; break;
            default: key = 'Z'; break;
            }
            SendKey(key, false, 2, static_cast<UINT>(-1));
        }
        return 1;
    }
    case ACTION_SIMULATED_KEYS:
        if (action == nullptr)
            return 0;
        return SimulatedKeys(button, action, profile, kind, layer, window, point, block);
    default:
        if (code < 0 || code > 139)
            return 0;
        CLogger::LogMessage(L"ProcessButtonAction: Action %d is not available.", code);
        return 0;
    }
}
