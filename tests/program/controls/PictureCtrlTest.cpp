#include <gtest/gtest.h>

#include <windows.h>

#include "PictureCtrl.h"
#include "StaticControlsTestSupport.h"
#include "Window.h"

using static_controls_test::PixelCanvas;

namespace
{
constexpr COLORREF kWindowColour = RGB(0, 0, 255);
constexpr COLORREF kRegionColour = RGB(255, 0, 0);
constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr int kWidth = 40;
constexpr int kHeight = 32;

HBITMAP SolidBitmap(int width, int height, COLORREF colour)
{
    const HDC screen = ::GetDC(nullptr);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    const HDC dc = ::CreateCompatibleDC(screen);
    const HGDIOBJ old = ::SelectObject(dc, bitmap);
    const HBRUSH brush = ::CreateSolidBrush(colour);
    RECT all{0, 0, width, height};
    ::FillRect(dc, &all, brush);
    ::DeleteObject(brush);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return bitmap;
}
}

TEST(PictureCtrl, TheWindowPictureSitsAtTheRightEdgeWithTheProfilesRegionsHighlighted)
{
    CWindow host;
    ASSERT_TRUE(host.CreateEx(0, nullptr, L"picture host", WS_POPUP | WS_VISIBLE, 50, 50, 100, 100, nullptr));
    const HWND control = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, kWidth, kHeight,
                                           host.GetSafeHwnd(), nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, control);
    CPictureCtrl picture(SolidBitmap(32, 32, kWindowColour), SolidBitmap(15, 13, kRegionColour));
    ASSERT_TRUE(picture.SubclassWindow(control));
    EXPECT_EQ(static_cast<LONG>(SS_OWNERDRAW), ::GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK);

    const int R = kWidth;
    struct Probe
    {
        const char* name;
        int x;
        int y;
    };
    const Probe quarters[] = {{"top-left", R - 29, 7}, {"top-right", R - 4, 7}, {"bottom-left", R - 29, 28},
                              {"bottom-right", R - 4, 28}};
    const Probe middle{"middle", R - 16, 16};
    struct Case
    {
        const char* name;
        int mask;
        int area;
        bool quarterLit[4];
        bool middleLit;
    };
    const Case cases[] = {
        {"mask 0: the bare window", 0, 0, {false, false, false, false}, false},
        {"mask 15: the whole window", 15, 0, {true, true, true, true}, true},
        {"mask 1 and 8", 1 | 8, 0, {true, false, false, true}, false},
        {"a window area, whatever the mask", 15, 1, {false, false, false, false}, true},
        {"a window area with no mask", 0, 1, {false, false, false, false}, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        picture.m_windowMask = c.mask;
        picture.m_useWindowArea = c.area;
        PixelCanvas canvas(kWidth, kHeight, kBackground);
        // The static asks its parent to draw it; the parent hands that to the picture.
        ::SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
        EXPECT_EQ(kBackground, canvas.At(2, 16)) << "left of the picture";
        EXPECT_EQ(kWindowColour, canvas.At(R - 31, 1));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.quarterLit[i] ? kRegionColour : kWindowColour, canvas.At(quarters[i].x, quarters[i].y))
                << quarters[i].name;
        EXPECT_EQ(c.middleLit ? kRegionColour : kWindowColour, canvas.At(middle.x, middle.y)) << middle.name;
    }
    picture.UnsubclassWindow();
    host.DestroyWindow();
}

TEST(PictureCtrl, MissingBitmapsPaintNothingAndDoNotFail)
{
    CPictureCtrl picture(nullptr, nullptr);
    picture.m_windowMask = 15;
    PixelCanvas canvas(kWidth, kHeight, kBackground);
    picture.Paint(canvas.Dc(), RECT{0, 0, kWidth, kHeight});
    EXPECT_EQ(kBackground, canvas.At(kWidth - 4, 0));
}
