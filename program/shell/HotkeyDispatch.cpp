#include "HotkeyDispatch.h"

#include "Control.h"
#include "Logger.h"

namespace
{
constexpr int kLayersInProfile = 10;

HotkeyDecision Layer(int layer, int maxLayers)
{
    const int inUse = maxLayers < kLayersInProfile ? maxLayers : kLayersInProfile;
    if (layer < 0 || layer >= inUse)
        return {};
    return {HotkeyAction::SetLayer, layer};
}
}

bool HotkeyActsWhileDisabled(int id)
{
    return id == 7 || id == 8 || id == 18;
}

HotkeyDecision DecideHotkey(int id, bool remappingOff, int maxLayers)
{
    if (id < 0 || id >= kGlobalHotkeyCount)
        return {};
    if (remappingOff && !HotkeyActsWhileDisabled(id))
        return {};
    if (id <= 4)
        return Layer(id, maxLayers);
    if (id >= 13 && id <= 17)
        return Layer(id - 8, maxLayers);
    switch (id)
    {
    case 5: return {HotkeyAction::NextLayer};
    case 6: return {HotkeyAction::PreviousLayer};
    case 7: return {HotkeyAction::ToggleDisable};
    case 8: return {HotkeyAction::ToggleDebug};
    case 9: return {HotkeyAction::SaveDesktopIcons};
    case 10: return {HotkeyAction::RestoreDesktopIcons};
    case 11: return {HotkeyAction::ToggleXAxisLock};
    case 12: return {HotkeyAction::ToggleYAxisLock};
    case 18: return {HotkeyAction::OpenSettings};
    case 19: return {HotkeyAction::CentreCursor};
    case 20: return {HotkeyAction::SnapToForeground};
    case 21: return {HotkeyAction::SnapToProfileWindow};
    case 22: return {HotkeyAction::CycleCursorSpeed};
    case 23: return {HotkeyAction::ToggleXAxisInvert};
    case 24: return {HotkeyAction::ToggleYAxisInvert};
    default: return {};
    }
}

WORD HotkeyModifiersToRegister(unsigned short stored)
{
    WORD modifiers = 0;
    if (stored & 0x1)
        modifiers |= MOD_SHIFT;
    if (stored & 0x2)
        modifiers |= MOD_CONTROL;
    if (stored & 0x4)
        modifiers |= MOD_ALT;
    if (stored & (0x8 | 0x10))
        modifiers |= MOD_WIN;
    return modifiers;
}

POINT MiddleOf(const RECT& rect)
{
    return POINT{rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
}

void CentreCursorOnPrimaryMonitor()
{
    HMONITOR monitor = ::MonitorFromPoint(POINT{1, 1}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(monitor, &info))
        return;
    const POINT middle = MiddleOf(info.rcMonitor);
    ::SetCursorPos(middle.x, middle.y);
}

bool SnapCursorToActiveWindow(bool profileWindow)
{
    HWND window = profileWindow ? ::GetProfileWindow() : ::GetForegroundWindow();
    if (window == nullptr)
    {
        CLogger::LogMessage(profileWindow ? L"SnapCursorToActiveWindow: Unable to get the profile window!"
                                          : L"SnapCursorToActiveWindow: Unable to get the foreground window!");
        return false;
    }
    RECT rect = {};
    if (!::GetWindowRect(window, &rect))
    {
        CLogger::LogMessage(profileWindow ? L"SnapCursorToActiveWindow: Unable to get rectangle of the profile window!"
                                          : L"SnapCursorToActiveWindow: Unable to get rectangle of the foreground window!");
        return false;
    }
    const POINT middle = MiddleOf(rect);
    ::SetCursorPos(middle.x, middle.y);
    return true;
}
