#pragma once
// Brightness of the built-in display and its on-screen display window. This is
// the object's lifetime and its window only; changing the brightness is added by
// the brightness code.

#include <windows.h>

#include "SnareholdApi.h"

class SNAREHOLD_API CBrightness
{
public:
    explicit CBrightness(HWND osdWindow) : m_hOSDWnd(osdWindow) {}
    void SetOSD(HWND osdWindow) { m_hOSDWnd = osdWindow; }
    HWND GetOSD() const { return m_hOSDWnd; }

private:
    HWND m_hOSDWnd;
};
