#include "ActionEditorRules.h"

#include "ActionList.h"

namespace
{
constexpr int kNoChange = 40;
constexpr int kMovementToScroll = 77;
constexpr int kPortableHidden = 254;
} // namespace

bool HasActionEditor(int action)
{
    return action == 28 || action == 41 || action == 59 || action == kMovementToScroll || action == 128;
}

bool IsActionAvailable(int action, int osVersion, bool portable)
{
    // The layer page's table; portable mode hides a few more from Vista on.
    if (!IsActionAvailable(action, osVersion))
        return false;
    return !(portable && osVersion >= ActionOS_Vista && ActionHighestVersion(action) == kPortableHidden);
}

bool IsOfferedByEditorPicker(int action, const EditorPickerLimits& limits, int osVersion, bool portable)
{
    const bool layerChange = (action >= 52 && action <= 58) || (action >= 102 && action <= 116);
    if (layerChange || action == 74 || action == 82 || action == 128 || action == 133)
        return false;
    if ((limits.withoutNoChange && action == kNoChange) ||
        (limits.withoutMovementToScroll && action == kMovementToScroll))
        return false;
    return IsActionAvailable(action, osVersion, portable);
}

std::optional<std::pair<int, int>> HeldTimesOutOfOrder(const bool ticked[3], const int times[3])
{
    // Rows 1..3 are the held rows; the user counts the normal click as action 1.
    if (ticked[2])
    {
        if (ticked[1] && times[1] >= times[2])
            return std::make_pair(4, 3);
        if (ticked[0] && times[0] >= times[2])
            return std::make_pair(4, 2);
    }
    if (ticked[0] && ticked[1] && times[0] >= times[1])
        return std::make_pair(3, 2);
    return std::nullopt;
}

bool IsWheelForDisabledWindow(const MSG& msg)
{
    return (msg.message == WM_MOUSEWHEEL || msg.message == WM_MOUSEHWHEEL) && msg.hwnd != nullptr &&
           !::IsWindowEnabled(msg.hwnd);
}
