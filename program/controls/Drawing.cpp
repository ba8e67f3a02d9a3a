#include "Drawing.h"

#include <atomic>

#include "Handles.h"

namespace
{
void Line(HDC dc, int x1, int y1, int x2, int y2)
{
    ::MoveToEx(dc, x1, y1, nullptr);
    ::LineTo(dc, x2, y2);
}

// The outline path of the rounded frame (pen must be selected).
void TraceRoundedOutline(HDC dc, RECT rect, bool enlarge)
{
    const int e = enlarge ? 1 : 0;
    const int l = rect.left, t = rect.top, r = rect.right + e, b = rect.bottom + e;
    const POINT points[] = {
        {l + 2, t},         {r - 3, t},         {r - 1, t + 2},     {r - 1, b - e - 3}, {r - 3, b - e - 1},
        {l + e + 2, b - 1}, {l, b - e - 3},     {l, t + 2},         {l + 2, t},
    };
    ::MoveToEx(dc, points[0].x, points[0].y, nullptr);
    for (std::size_t i = 1; i < sizeof(points) / sizeof(points[0]); ++i)
        ::LineTo(dc, points[i].x, points[i].y);
}

COLOR16 Channel(BYTE value)
{
    return static_cast<COLOR16>(value << 8);
}

std::atomic<WORD> g_windowsVersion{0};

} // namespace

void DrawVerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom)
{
    TRIVERTEX vertices[2] = {};
    vertices[0].x = rect.left;
    vertices[0].y = rect.top;
    vertices[0].Red = Channel(GetRValue(top));
    vertices[0].Green = Channel(GetGValue(top));
    vertices[0].Blue = Channel(GetBValue(top));
    vertices[1].x = rect.right;
    vertices[1].y = rect.bottom;
    vertices[1].Red = Channel(GetRValue(bottom));
    vertices[1].Green = Channel(GetGValue(bottom));
    vertices[1].Blue = Channel(GetBValue(bottom));
    GRADIENT_RECT gradient = {0, 1};
    ::GradientFill(dc, vertices, 2, &gradient, 1, GRADIENT_FILL_RECT_V);
}

void DrawRoundedFrame(HDC dc, const RECT& rect, COLORREF colour, bool enlarge)
{
    UniqueGdiObject<HPEN> pen(::CreatePen(PS_SOLID, 1, colour));
    const SelectedObject select(dc, pen.Get());
    TraceRoundedOutline(dc, rect, enlarge);
}

void DrawRoundedGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom, COLORREF frameColour)
{
    // Keep the caller's clip region: the gradient's clip is ours only for this call.
    UniqueGdiObject<HRGN> callerClip(::CreateRectRgn(0, 0, 0, 0));
    const bool hadClip = callerClip && ::GetClipRgn(dc, callerClip.Get()) == 1;

    {
        UniqueGdiObject<HPEN> pen(::CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
        const SelectedObject select(dc, pen.Get());
        ::BeginPath(dc);
        TraceRoundedOutline(dc, rect, true);
        ::CloseFigure(dc);
        ::EndPath(dc);
        ::SelectClipPath(dc, hadClip ? RGN_AND : RGN_COPY);
    }
    DrawVerticalGradient(dc, rect, top, bottom);
    if (frameColour != kNoFrameColour)
        DrawRoundedFrame(dc, rect, frameColour, false);
    ::SelectClipRgn(dc, hadClip ? callerClip.Get() : nullptr);
}

void DrawInsetFrame(HDC dc, const RECT& rect, COLORREF colour, int inset)
{
    UniqueGdiObject<HPEN> pen(::CreatePen(PS_SOLID, 1, colour));
    const SelectedObject select(dc, pen.Get());
    const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom, n = inset;
    Line(dc, l + n, t, r - n + 1, t);
    Line(dc, l + n, b, r - n + 1, b);
    Line(dc, l, t + n, l, b - n + 1);
    Line(dc, r, t + n, r, b - n + 1);
}

void DrawButtonFrame(HDC dc, const RECT& rect, int state, bool cornerPixels, int outerInset, int innerInset)
{
    struct StateColours
    {
        COLORREF outer, inner, corner;
    };
    StateColours colours;
    switch (state)
    {
    case kButtonDisabled:
        colours = {::GetSysColor(COLOR_BTNSHADOW), RGB(250, 253, 254), ::GetSysColor(COLOR_BTNSHADOW)};
        break;
    case kButtonHot:
        colours = {RGB(60, 127, 177), RGB(250, 253, 254), RGB(66, 131, 179)};
        break;
    case kButtonNormal:
        colours = {RGB(112, 112, 112), RGB(252, 252, 252), RGB(144, 144, 144)};
        break;
    case kButtonPressed:
        colours = {RGB(44, 98, 139), RGB(158, 176, 186), RGB(46, 96, 134)};
        break;
    default:
        return;
    }

    DrawInsetFrame(dc, rect, colours.outer, outerInset);
    if (cornerPixels)
    {
        const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
        const POINT corners[] = {
            {l + 1, t},     {l + 2, t},     {l, t + 1},     {l + 1, t + 1}, {l, t + 2},
            {r - 2, t},     {r - 1, t},     {r - 1, t + 1}, {r, t + 1},     {r, t + 2},
            {l, b - 2},     {l, b - 1},     {l + 1, b - 1}, {l + 1, b},     {l + 2, b},
            {r, b - 2},     {r - 1, b - 1}, {r, b - 1},     {r - 2, b},     {r - 1, b},
        };
        for (const POINT& point : corners)
            ::SetPixelV(dc, point.x, point.y, colours.corner);
    }
    RECT inner = rect;
    ::InflateRect(&inner, -1, -1);
    DrawInsetFrame(dc, inner, colours.inner, innerInset);
}

void DrawDropDownArrow(HDC dc, const RECT& rect)
{
    int y = (rect.top + rect.bottom - 1) / 2 - 1;
    const HBRUSH black = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    for (int i = 0; i < 4; ++i, ++y)
    {
        const int length = 7 - 2 * i;
        const int x = (rect.left + rect.right) / 2 - length / 2;
        const RECT line = {x, y, x + length, y + 1};
        ::FillRect(dc, &line, black);
    }
}

bool IsWindowsVersionAtLeast(WORD majorMinor)
{
    WORD version = g_windowsVersion.load();
    if (version == 0)
    {
        OSVERSIONINFOW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (::GetVersionExW(&info))
#pragma GCC diagnostic pop
            version = static_cast<WORD>(((info.dwMajorVersion & 0xFF) << 8) | (info.dwMinorVersion & 0xFF));
        g_windowsVersion.store(version);
    }
    return version >= majorMinor;
}

SIZE GetBitmapSize(HBITMAP bitmap)
{
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0)
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

SIZE GetIconSize(HICON icon)
{
    ICONINFO info = {};
    if (icon == nullptr || !::GetIconInfo(icon, &info))
        return SIZE{0, 0};
    UniqueGdiObject<HBITMAP> colour(info.hbmColor);
    UniqueGdiObject<HBITMAP> mask(info.hbmMask);
    if (colour)
        return GetBitmapSize(colour.Get());
    return GetBitmapSize(mask.Get());
}

int CCustomDrawHelper::ButtonState() const
{
    if (!m_bEnabled)
        return kButtonDisabled;
    if (m_bPressed)
        return kButtonPressed;
    if (m_bHot)
        return kButtonHot;
    return kButtonNormal;
}

void CCustomDrawHelper::DrawThemedButtonFace(HDC dc, const RECT& rect) const
{
    struct FaceColours
    {
        COLORREF c1, c2, c3, c4;
    };
    static const FaceColours faces[] = {
        {0, 0, 0, 0},
        {RGB(234, 246, 253), RGB(217, 240, 252), RGB(190, 230, 253), RGB(167, 217, 245)},
        {RGB(242, 242, 242), RGB(235, 235, 235), RGB(221, 221, 221), RGB(207, 207, 207)},
        {RGB(229, 244, 252), RGB(196, 229, 249), RGB(152, 209, 239), RGB(109, 182, 221)},
    };

    const int state = ButtonState();
    RECT face = rect;
    ::InflateRect(&face, -2, -2);
    if (state != kButtonDisabled)
    {
        const int split = face.top + (face.bottom - face.top) * 47 / 100;
        const RECT upper = {face.left, face.top, face.right, split};
        const RECT lower = {face.left, split, face.right, face.bottom};
        DrawVerticalGradient(dc, upper, faces[state].c1, faces[state].c2);
        DrawVerticalGradient(dc, lower, faces[state].c3, faces[state].c4);
    }
    else if (m_hWnd != nullptr)
    {
        ::FillRect(dc, &face, ::GetSysColorBrush(COLOR_BTNFACE));
    }

    RECT frame = rect;
    --frame.right;
    --frame.bottom;
    DrawButtonFrame(dc, frame, state, true, 3, 1);
}

void CCustomDrawHelper::DrawItemHighlight(HDC dc, const RECT& rect) const
{
    if (!m_bSelected && !m_bHot)
    {
        if (m_bFocusCue)
        {
            const bool noFocusRect = ::IsRectEmpty(&m_rcFocus) != FALSE;
            DrawRoundedFrame(dc, noFocusRect ? rect : m_rcFocus, RGB(125, 162, 206), false);
        }
        return;
    }

    COLORREF top, bottom;
    if (!m_bSelected)
        top = RGB(250, 251, 253), bottom = RGB(235, 243, 253);
    else if (m_bHot || (m_bFocusCue && m_bFocused))
        top = RGB(220, 235, 252), bottom = RGB(193, 219, 252);
    else if (m_bFocused)
        top = RGB(235, 244, 254), bottom = RGB(207, 228, 254);
    else
        top = RGB(248, 248, 248), bottom = RGB(229, 229, 229);

    if (!m_bFramed)
    {
        RECT inner = rect;
        ::InflateRect(&inner, -2, -2);
        DrawVerticalGradient(dc, inner, top, bottom);
        return;
    }

    COLORREF innerLine, frame;
    if (!m_bSelected)
        innerLine = RGB(252, 243, 254), frame = RGB(184, 214, 251);
    else if (m_bFocused || m_bHot)
        innerLine = RGB(235, 244, 253), frame = RGB(125, 162, 206);
    else
        innerLine = RGB(240, 240, 240), frame = RGB(217, 217, 217);

    RECT inner = rect;
    ::InflateRect(&inner, -1, -1);
    DrawRoundedGradient(dc, inner, top, bottom, innerLine);
    DrawRoundedFrame(dc, rect, frame, false);
}
