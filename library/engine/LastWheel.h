#pragma once
// What the window lookups found for the window under the cursor at the last
// wheel or hover lookup. One global record; it points into the profiles, so a
// reload of the settings resets it.

#include <windows.h>

class CApplicationSettings;

class CLastWheel
{
public:
    POINT m_pt = {0, 0};
    RECT m_rc = {0, 0, 0, 0};
    HWND m_hWnd = nullptr;
    HWND m_hParent = nullptr;
    HWND m_hWnd2 = nullptr;
    HWND m_hTopLevel = nullptr;       // null when the top-level ancestor is topmost
    BYTE m_bForegroundIsChild = 0;
    BYTE m_bNoActivate = 0;
    int m_nValue1 = 0;
    int m_nValue2 = 0;
    LONGLONG m_llValue = 0;
    CApplicationSettings* m_pApp = nullptr;
    int m_nMatch = 0;
    int m_nAppValue = 0;
    wchar_t m_szProcess[MAX_PATH] = {};

    // Copies every field of other (global lock "CLastWheel Copy").
    void Copy(const CLastWheel& other);
    // Clears the point, rectangle, windows, the two values, the 64-bit value and
    // the profile; keeps the bytes, the match values and the process name
    // (global lock "CLastWheel Reset").
    void Reset();
};

extern CLastWheel g_LastWheel;
