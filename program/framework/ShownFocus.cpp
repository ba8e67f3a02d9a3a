#include "ShownFocus.h"

namespace
{
bool IsKeyMessage(const MSG* msg)
{
    return msg != nullptr && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
}

bool Within(HWND dialog, HWND window)
{
    return window != nullptr && (window == dialog || ::IsChild(dialog, window));
}

bool CanTakeFocus(HWND dialog, HWND window)
{
    return window != nullptr && IsShownWithin(dialog, window) && ::IsWindowEnabled(window);
}
}

bool IsShownWithin(HWND dialog, HWND window)
{
    if (!Within(dialog, window))
        return false;
    for (HWND step = window; step != nullptr && step != dialog; step = ::GetParent(step))
    {
        if ((::GetWindowLongPtrW(step, GWL_STYLE) & WS_VISIBLE) == 0)
            return false;
    }
    return true;
}

bool KeepFocusShown(HWND dialog, HWND preferred)
{
    const HWND focus = ::GetFocus();
    if (dialog == nullptr || !Within(dialog, focus) || IsShownWithin(dialog, focus))
        return true;
    HWND target = CanTakeFocus(dialog, preferred) ? preferred : ::GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (!CanTakeFocus(dialog, target))
        target = dialog;
    ::SetFocus(target);
    return IsShownWithin(dialog, ::GetFocus());
}

bool AimKeyAtShownFocus(HWND dialog, MSG* msg, HWND preferred)
{
    if (!IsKeyMessage(msg) || dialog == nullptr || !Within(dialog, msg->hwnd) || IsShownWithin(dialog, msg->hwnd))
        return true;
    KeepFocusShown(dialog, preferred);
    // Any other control would do with the key what the user never aimed at it:
    // a letter or an arrow changes a list's choice.
    const HWND focus = ::GetFocus();
    if (preferred == nullptr || focus != preferred)
        return false;
    msg->hwnd = focus;
    return true;
}
