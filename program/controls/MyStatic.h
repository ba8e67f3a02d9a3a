#pragma once
// A static control that paints its own text, word-wrapped and aligned inside
// its rectangle (the plain static only aligns single lines vertically).

#include <windows.h>

#include "Window.h"

class CMyStatic : public CWindow
{
public:
    CMyStatic();

    // DrawText bits DT_CENTER, DT_RIGHT, DT_VCENTER, DT_BOTTOM.
    int m_alignment = 0;

    // Paints the text on dc over the client rectangle (WM_PAINT, WM_PRINTCLIENT).
    void Paint(HDC dc);

private:
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnPrintClient(WPARAM wParam, LPARAM lParam);
};
