#include "ActionEditorRules.h"

namespace
{
constexpr int kNoChange = 40;
constexpr int kMovementToScroll = 77;
constexpr int kNeverOffered = -1;
constexpr int kPortableHidden = 254;

struct Availability
{
    int lowest;
    int highest;
};

// The Windows versions an action is offered on (bit values); 254 as the highest
// marks an action also hidden in portable mode from Vista on.
Availability AvailabilityOf(int action)
{
    switch (action)
    {
    case 44: case 45: return {4, 254};
    case 48: return {4, 4};
    case 80: return {0, kNeverOffered};
    case 81: return {8, 255};
    case 83: return {16, 254};
    case 84: case 87: case 88: case 89: case 90: return {16, 32};
    case 85: case 86: return {16, 255};
    case 92: case 93: return {4, 255};
    case 94: case 95: case 96: case 97: case 117: case 118: return {8, 255};
    case 98: case 99: case 100: case 101: case 139: return {64, 255};
    default:
        break;
    }
    if ((action >= 107 && action <= 116) || (action >= 121 && action <= 126))
        return {0, kNeverOffered};
    return {1, 255};
}
} // namespace

bool HasActionEditor(int action)
{
    return action == 28 || action == 41 || action == 59 || action == kMovementToScroll || action == 128;
}

bool IsActionAvailable(int action, int osVersion, bool portable)
{
    if (action < 0 || action > 139)
        return false;
    const Availability range = AvailabilityOf(action);
    if (osVersion < range.lowest || osVersion > range.highest)
        return false;
    return !(portable && osVersion >= 4 && range.highest == kPortableHidden);
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
