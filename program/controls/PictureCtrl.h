#pragma once
// The small window-region picture: a 32 x 32 window on which the quarters (or
// the window area) that a window-specific profile applies to are highlighted.

#include <windows.h>

#include "Handles.h"
#include "Window.h"

class CPictureCtrl : public CWindow
{
public:
    static constexpr int kWindowBitmapId = 145;
    static constexpr int kRegionBitmapId = 142;

    // Loads the two bitmaps from the program's resources.
    CPictureCtrl();
    // Takes ownership of the given bitmaps (either may be null).
    CPictureCtrl(HBITMAP windowBitmap, HBITMAP regionBitmap);

    // 1 top-left, 2 top-right, 4 bottom-left, 8 bottom-right quarter.
    int m_windowMask = 0;
    // Nonzero: one highlight in the middle, whatever the mask.
    int m_useWindowArea = 0;

    // The painter: client is the rectangle the picture is right-aligned in.
    void Paint(HDC dc, const RECT& client);

protected:
    void PreSubclassWindow() override;
    bool DrawItem(DRAWITEMSTRUCT* item) override;

private:
    UniqueGdiObject<HBITMAP> m_windowBitmap;
    UniqueGdiObject<HBITMAP> m_regionBitmap;
};
