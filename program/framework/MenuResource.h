#pragma once
// Menus from the program's resources, owned for a scope, and the pop-up of one
// of their sub-menus at a point.

#include <windows.h>

#include <memory>
#include <type_traits>

struct MenuDestroyer
{
    void operator()(HMENU menu) const
    {
        if (menu != nullptr)
            ::DestroyMenu(menu);
    }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

// The menu resource id of the application's resource module; null when missing.
UniqueMenu LoadMenuResource(UINT id);

// Shows sub-menu index of menu at a screen point (the cursor when point is
// null) for owner and returns the command chosen, 0 for none. The command is
// not posted: the caller runs it.
UINT TrackSubMenu(HMENU menu, int index, HWND owner, const POINT* point = nullptr);
