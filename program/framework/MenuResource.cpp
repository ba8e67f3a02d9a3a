#include "MenuResource.h"

#include "Application.h"

UniqueMenu LoadMenuResource(UINT id)
{
    HINSTANCE module = GetResourceInstance();
    if (module == nullptr)
        module = ::GetModuleHandleW(nullptr);
    return UniqueMenu(::LoadMenuW(module, MAKEINTRESOURCEW(id)));
}

UINT TrackSubMenu(HMENU menu, int index, HWND owner, const POINT* point)
{
    HMENU popup = menu != nullptr ? ::GetSubMenu(menu, index) : nullptr;
    if (popup == nullptr)
        return 0;
    POINT at{};
    if (point != nullptr)
        at = *point;
    else
        ::GetCursorPos(&at);
    // The owner must be the foreground window, or the menu stays open after a
    // click elsewhere.
    ::SetForegroundWindow(owner);
    const UINT command = static_cast<UINT>(::TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN,
                                                            at.x, at.y, 0, owner, nullptr));
    ::PostMessageW(owner, WM_NULL, 0, 0);
    return command;
}
