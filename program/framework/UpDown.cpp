#include "UpDown.h"

#include <algorithm>

#include "DataExchange.h"
#include "StringFormat.h"
#include "Window.h"

namespace
{
template <typename T>
T Step(T shown, T delta, T low, T high)
{
    if (low > high)
        std::swap(low, high);
    if ((delta > 0 && shown >= high) || (delta < 0 && shown <= low))
        return shown;
    return std::clamp(shown + delta, low, high);
}
}

int StepWithinRange(int shown, int delta, int low, int high)
{
    // In 64 bits: a step from a value at the end of int's range must not wrap.
    return static_cast<int>(Step<long long>(shown, delta, low, high));
}

double StepWithinRange(double shown, double delta, double low, double high)
{
    return Step(shown, delta, low, high);
}

bool StepBuddyFromShown(const NMUPDOWN& change)
{
    const HWND arrows = change.hdr.hwndFrom;
    if (arrows == nullptr || (::GetWindowLongPtrW(arrows, GWL_STYLE) & UDS_SETBUDDYINT) == 0)
        return false;
    const HWND buddy = reinterpret_cast<HWND>(::SendMessageW(arrows, UDM_GETBUDDY, 0, 0));
    int shown = 0;
    if (buddy == nullptr || !ParseExchangedInt(ReadWindowText(buddy), &shown))
        return false;
    int low = 0;
    int high = 0;
    ::SendMessageW(arrows, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    const int stepped = StepWithinRange(shown, change.iDelta, low, high);
    if (stepped != shown)
        ::SetWindowTextW(buddy, FormatString(L"%d", stepped).c_str());
    return true;
}

HWND ArrowsOf(HWND field)
{
    const HWND parent = field != nullptr ? ::GetParent(field) : nullptr;
    if (parent == nullptr)
        return nullptr;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        wchar_t name[32] = {};
        ::GetClassNameW(child, name, 32);
        if (::lstrcmpiW(name, UPDOWN_CLASSW) == 0 &&
            reinterpret_cast<HWND>(::SendMessageW(child, UDM_GETBUDDY, 0, 0)) == field)
            return child;
    }
    return nullptr;
}
