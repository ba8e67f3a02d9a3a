#pragma once
// Shared painting helpers of the owner-drawn controls (tooltip, list box,
// combo box). Every colour is a fixed value of one light blue look, so the
// controls look the same whatever visual style is in use.

#include <windows.h>

// Colour argument meaning "no frame" for DrawRoundedGradient.
constexpr COLORREF kNoFrameColour = static_cast<COLORREF>(-1);

// Fills rect with a vertical gradient: the top row in top, the bottom row in bottom.
void DrawVerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom);

// One-pixel outline of rect with every corner cut by two pixels; enlarge first
// grows the right and bottom edges by one.
void DrawRoundedFrame(HDC dc, const RECT& rect, COLORREF colour, bool enlarge);

// A vertical gradient clipped to the (enlarged) rounded outline, then the
// outline in frameColour unless that is kNoFrameColour.
void DrawRoundedGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom, COLORREF frameColour);

// Four lines along the edges of rect, each shortened by inset at both ends.
void DrawInsetFrame(HDC dc, const RECT& rect, COLORREF colour, int inset);

// Button states of DrawButtonFrame and the button face.
enum ButtonDrawState
{
    kButtonDisabled = 0,
    kButtonHot = 1,
    kButtonNormal = 2,
    kButtonPressed = 3,
};

// Two nested inset frames in the colours of state, with the corner pixels when
// cornerPixels is set. An unknown state draws nothing.
void DrawButtonFrame(HDC dc, const RECT& rect, int state, bool cornerPixels, int outerInset, int innerInset);

// A black downward triangle (lines of 7, 5, 3 and 1 pixels) centred in rect.
void DrawDropDownArrow(HDC dc, const RECT& rect);

// Whether the running Windows is at least majorMinor (major * 256 + minor,
// 0x0600 is Vista). The version is read once per process.
bool IsWindowsVersionAtLeast(WORD majorMinor);

// The width and height of bitmap (0 by 0 when it cannot be read).
SIZE GetBitmapSize(HBITMAP bitmap);

// The width and height of icon's colour bitmap, or of its mask when it has
// none (0 by 0 for no icon).
SIZE GetIconSize(HICON icon);

// The themed face of a button or closed combo and the highlight of a list
// item. A stack object: the caller fills the fields and draws.
class CCustomDrawHelper
{
public:
    virtual ~CCustomDrawHelper() = default;

    // The face of a button or closed combo in the state the fields give.
    void DrawThemedButtonFace(HDC dc, const RECT& rect) const;

    // The highlight of a list item (nothing when it is neither selected, hot
    // nor carrying the focus cue).
    void DrawItemHighlight(HDC dc, const RECT& rect) const;

    // The button state the fields give: disabled, pressed, hot or normal.
    int ButtonState() const;

    bool m_bFocused = false;
    bool m_bFocusCue = false;
    bool m_bSelected = false;
    bool m_bHot = false;
    bool m_bFramed = true;
    bool m_bPressed = false;
    bool m_bEnabled = true;
    RECT m_rcFocus = {};
    HWND m_hWnd = nullptr;
};
