#pragma once
// The window a modal dialog or property sheet disables while it runs.

#include <windows.h>

#include "Application.h"
#include "Window.h"

// The top-level window of parent, else of the active window, else of the
// application's main window; null when there is none.
inline HWND ModalOwnerOf(const CWindow* parent)
{
    HWND owner = parent != nullptr ? parent->GetSafeHwnd() : nullptr;
    if (owner == nullptr)
        owner = ::GetActiveWindow();
    if (owner == nullptr)
    {
        if (const CApplication* app = CApplication::Get(); app != nullptr && app->GetMainWindow() != nullptr)
            owner = app->GetMainWindow()->GetSafeHwnd();
    }
    return owner != nullptr ? ::GetAncestor(owner, GA_ROOT) : nullptr;
}
