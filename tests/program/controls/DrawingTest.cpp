// The shared painting helpers and the double buffer, checked pixel by pixel in
// a 32-bit memory canvas, plus the release of every GDI object they make.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "Drawing.h"
#include "HandleBalanceListener.h"
#include "HandleCountCheck.h"
#include "MemDC.h"
#include "StaticControlsTestSupport.h"
#include "WaitFor.h"

namespace
{
constexpr COLORREF kBackground = RGB(1, 2, 3);

// A 32-bit memory canvas filled with kBackground.
class CCanvas : public static_controls_test::PixelCanvas
{
public:
    CCanvas(int width, int height) : PixelCanvas(width, height, kBackground) {}
    HDC dc() const { return Dc(); }
};

bool Near(COLORREF actual, COLORREF expected, int tolerance = 3)
{
    return std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
           std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
           std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
}

// Every component lies between those of a and b (inclusive, with tolerance).
bool Between(COLORREF c, COLORREF a, COLORREF b, int tolerance = 3)
{
    auto inside = [tolerance](int v, int x, int y) {
        return v >= std::min(x, y) - tolerance && v <= std::max(x, y) + tolerance;
    };
    return inside(GetRValue(c), GetRValue(a), GetRValue(b)) && inside(GetGValue(c), GetGValue(a), GetGValue(b)) &&
           inside(GetBValue(c), GetBValue(a), GetBValue(b));
}
} // namespace

TEST(DrawingHelpers, a_vertical_gradient_runs_from_the_top_colour_to_the_bottom_colour)
{
    CCanvas canvas(20, 40);
    DrawVerticalGradient(canvas.dc(), RECT{2, 5, 18, 35}, RGB(255, 255, 255), RGB(0, 0, 200));
    EXPECT_TRUE(Near(canvas.At(10, 5), RGB(255, 255, 255), 10));
    EXPECT_TRUE(Near(canvas.At(10, 34), RGB(0, 0, 200), 10));
    int previousRed = 256;
    for (int y = 5; y < 35; ++y)
    {
        const int red = GetRValue(canvas.At(10, y));
        EXPECT_LE(red, previousRed) << "row " << y;
        previousRed = red;
        EXPECT_EQ(canvas.At(2, y), canvas.At(17, y)) << "rows are flat, row " << y;
    }
    EXPECT_EQ(canvas.At(10, 4), kBackground);
    EXPECT_EQ(canvas.At(10, 35), kBackground);
    EXPECT_EQ(canvas.At(1, 20), kBackground);
    EXPECT_EQ(canvas.At(18, 20), kBackground);
}

TEST(DrawingHelpers, a_rounded_frame_cuts_its_corners_and_enlarging_moves_the_right_and_bottom_edges_out)
{
    struct Case
    {
        bool enlarge;
        int rightEdge;  // column of the right side
        int bottomEdge; // row of the bottom side
    };
    const COLORREF colour = RGB(200, 10, 10);
    for (const Case& c : {Case{false, 19, 19}, Case{true, 20, 20}})
    {
        SCOPED_TRACE(c.enlarge ? "enlarged" : "plain");
        CCanvas canvas(30, 30);
        DrawRoundedFrame(canvas.dc(), RECT{0, 0, 20, 20}, colour, c.enlarge);
        EXPECT_EQ(canvas.At(0, 0), kBackground) << "corner is cut";
        EXPECT_EQ(canvas.At(1, 0), kBackground);
        EXPECT_EQ(canvas.At(0, 1), kBackground);
        EXPECT_EQ(canvas.At(2, 0), colour);
        EXPECT_EQ(canvas.At(0, 2), colour);
        EXPECT_EQ(canvas.At(c.rightEdge, 10), colour);
        EXPECT_EQ(canvas.At(c.rightEdge + 1, 10), kBackground);
        EXPECT_EQ(canvas.At(10, c.bottomEdge), colour);
        EXPECT_EQ(canvas.At(10, c.bottomEdge + 1), kBackground);
        EXPECT_EQ(canvas.At(10, 10), kBackground) << "an outline only";
        EXPECT_EQ(canvas.At(c.rightEdge, c.bottomEdge), kBackground) << "bottom right corner is cut";
    }
}

TEST(DrawingHelpers, a_rounded_gradient_stays_inside_its_outline_and_keeps_the_callers_clip)
{
    CCanvas canvas(30, 30);
    HRGN callerClip = ::CreateRectRgn(0, 0, 25, 25);
    ::SelectClipRgn(canvas.dc(), callerClip);

    const COLORREF top = RGB(240, 240, 255), bottom = RGB(100, 100, 200), frame = RGB(0, 120, 0);
    DrawRoundedGradient(canvas.dc(), RECT{2, 2, 22, 22}, top, bottom, frame);
    EXPECT_EQ(canvas.At(2, 2), kBackground) << "the cut corner is not filled";
    EXPECT_EQ(canvas.At(4, 2), frame);
    EXPECT_TRUE(Between(canvas.At(12, 12), top, bottom));
    EXPECT_EQ(canvas.At(12, 24), kBackground) << "nothing below the outline";

    RECT box = {};
    EXPECT_EQ(::GetClipBox(canvas.dc(), &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 25);
    EXPECT_EQ(box.bottom, 25);

    CCanvas noFrame(30, 30);
    DrawRoundedGradient(noFrame.dc(), RECT{2, 2, 22, 22}, top, bottom, kNoFrameColour);
    EXPECT_TRUE(Between(noFrame.At(4, 2), top, bottom)) << "without a frame the gradient shows at the edge";
    RECT unclipped = {};
    EXPECT_EQ(::GetClipBox(noFrame.dc(), &unclipped), SIMPLEREGION);
    EXPECT_EQ(unclipped.right, 30) << "no clip region left behind";
    ::SelectClipRgn(canvas.dc(), nullptr);
    ::DeleteObject(callerClip);
}

TEST(DrawingHelpers, the_drop_down_arrow_in_a_17_by_20_rectangle_has_rows_of_7_5_3_1_from_row_8)
{
    CCanvas canvas(17, 20);
    DrawDropDownArrow(canvas.dc(), RECT{0, 0, 17, 20});
    const COLORREF black = RGB(0, 0, 0);
    EXPECT_EQ(canvas.CountRow(7, black), 0);
    const int lengths[] = {7, 5, 3, 1};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(canvas.CountRow(8 + i, black), lengths[i]) << "row " << 8 + i;
        EXPECT_EQ(canvas.At(8, 8 + i), black) << "centred on column 8";
    }
    EXPECT_EQ(canvas.CountRow(12, black), 0);
}

TEST(DrawingHelpers, an_inset_frame_shortens_each_side_by_the_inset)
{
    CCanvas canvas(20, 20);
    const COLORREF colour = RGB(9, 90, 190);
    DrawInsetFrame(canvas.dc(), RECT{2, 2, 12, 12}, colour, 2);
    EXPECT_EQ(canvas.At(3, 2), kBackground);
    EXPECT_EQ(canvas.At(4, 2), colour);
    EXPECT_EQ(canvas.At(10, 2), colour);
    EXPECT_EQ(canvas.At(11, 2), kBackground);
    EXPECT_EQ(canvas.At(12, 4), colour) << "the right side is on the rectangle's right";
    EXPECT_EQ(canvas.At(7, 12), colour) << "the bottom side is on the rectangle's bottom";
    EXPECT_EQ(canvas.At(2, 3), kBackground);
}

TEST(ButtonFace, each_state_draws_its_own_face_and_frame_colours)
{
    struct Case
    {
        const char* name;
        bool enabled, pressed, hot;
        COLORREF faceTop, outer, corner;
    };
    const Case cases[] = {
        {"disabled", false, false, false, ::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNSHADOW),
         ::GetSysColor(COLOR_BTNSHADOW)},
        {"hot", true, false, true, RGB(234, 246, 253), RGB(60, 127, 177), RGB(66, 131, 179)},
        {"normal", true, false, false, RGB(242, 242, 242), RGB(112, 112, 112), RGB(144, 144, 144)},
        {"pressed", true, true, true, RGB(229, 244, 252), RGB(44, 98, 139), RGB(46, 96, 134)},
    };
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CCanvas canvas(60, 30);
        CCustomDrawHelper helper;
        helper.m_bEnabled = c.enabled;
        helper.m_bPressed = c.pressed;
        helper.m_bHot = c.hot;
        helper.m_hWnd = window;
        helper.DrawThemedButtonFace(canvas.dc(), RECT{0, 0, 60, 30});
        EXPECT_TRUE(Near(canvas.At(30, 2), c.faceTop, 4)) << std::hex << canvas.At(30, 2);
        if (c.enabled)
            EXPECT_FALSE(Near(canvas.At(30, 27), c.faceTop, 4)) << "the lower half has its own gradient";
        else
            EXPECT_EQ(canvas.At(30, 27), c.faceTop) << "a disabled face is flat";
        EXPECT_EQ(canvas.At(30, 0), c.outer) << "top side";
        EXPECT_EQ(canvas.At(59, 15), c.outer) << "right side, one pixel in from the edge";
        EXPECT_EQ(canvas.At(1, 0), c.corner) << "corner pixel";
        EXPECT_EQ(canvas.At(59, 28), c.corner) << "corner pixel";
    }
    ::DestroyWindow(window);
}

TEST(ItemHighlight, the_fields_choose_nothing_a_focus_frame_or_the_right_gradient_and_frame)
{
    const COLORREF none = kBackground;
    struct Case
    {
        const char* name;
        bool selected, hot, focused, focusCue, framed;
        COLORREF frame;  // at (4, 0): the top of the outline
        COLORREF centreA, centreB;  // the centre lies between these
    };
    const Case cases[] = {
        {"plain", false, false, true, false, true, none, none, none},
        {"focus cue only", false, false, true, true, true, RGB(125, 162, 206), none, none},
        {"hot", false, true, false, false, true, RGB(184, 214, 251), RGB(250, 251, 253), RGB(235, 243, 253)},
        {"selected and focused", true, false, true, false, true, RGB(125, 162, 206), RGB(235, 244, 254),
         RGB(207, 228, 254)},
        {"selected, hot", true, true, false, false, true, RGB(125, 162, 206), RGB(220, 235, 252),
         RGB(193, 219, 252)},
        {"selected without focus", true, false, false, false, true, RGB(217, 217, 217), RGB(248, 248, 248),
         RGB(229, 229, 229)},
        {"selected, unframed", true, false, true, false, false, none, RGB(235, 244, 254), RGB(207, 228, 254)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CCanvas canvas(80, 20);
        CCustomDrawHelper helper;
        helper.m_bSelected = c.selected;
        helper.m_bHot = c.hot;
        helper.m_bFocused = c.focused;
        helper.m_bFocusCue = c.focusCue;
        helper.m_bFramed = c.framed;
        helper.DrawItemHighlight(canvas.dc(), RECT{0, 0, 80, 20});
        EXPECT_EQ(canvas.At(4, 0), c.frame) << std::hex << canvas.At(4, 0);
        if (c.centreA == none)
            EXPECT_EQ(canvas.At(40, 10), none);
        else
            EXPECT_TRUE(Between(canvas.At(40, 10), c.centreA, c.centreB)) << std::hex << canvas.At(40, 10);
        EXPECT_EQ(canvas.At(0, 0), none) << "corners stay untouched";
    }
}

TEST(ItemHighlight, the_focus_cue_frames_the_focus_rectangle_when_one_is_given)
{
    CCanvas canvas(80, 30);
    CCustomDrawHelper helper;
    helper.m_bFocusCue = true;
    helper.m_rcFocus = RECT{10, 10, 40, 25};
    helper.DrawItemHighlight(canvas.dc(), RECT{0, 0, 80, 30});
    EXPECT_EQ(canvas.At(4, 0), kBackground);
    EXPECT_EQ(canvas.At(20, 10), RGB(125, 162, 206));
}

TEST(SystemQueries, sizes_of_bitmaps_and_icons_and_the_version_test)
{
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 7, 5);
    HBITMAP colour = ::CreateCompatibleBitmap(screen, 24, 24);
    HBITMAP mask = ::CreateBitmap(24, 24, 1, 1, nullptr);
    ::ReleaseDC(nullptr, screen);
    ICONINFO info = {TRUE, 0, 0, mask, colour};
    HICON icon = ::CreateIconIndirect(&info);

    const SIZE bitmapSize = GetBitmapSize(bitmap);
    EXPECT_EQ(bitmapSize.cx, 7);
    EXPECT_EQ(bitmapSize.cy, 5);
    const SIZE iconSize = GetIconSize(icon);
    EXPECT_EQ(iconSize.cx, 24);
    EXPECT_EQ(iconSize.cy, 24);
    EXPECT_EQ(GetIconSize(nullptr).cx, 0);
    EXPECT_EQ(GetBitmapSize(nullptr).cy, 0);

    EXPECT_TRUE(IsWindowsVersionAtLeast(0x0501));
    EXPECT_TRUE(IsWindowsVersionAtLeast(0x0600));
    EXPECT_FALSE(IsWindowsVersionAtLeast(0x6300));

    ::DestroyIcon(icon);
    ::DeleteObject(mask);
    ::DeleteObject(colour);
    ::DeleteObject(bitmap);
}

TEST(MemBitmap, a_negative_size_is_taken_as_its_absolute_value_and_everything_is_released)
{
    HDC memoryDC = nullptr;
    HBITMAP bitmap = nullptr;
    {
        CMemBitmap buffer;
        ASSERT_TRUE(buffer.BeginDraw(-30, -12, true));
        EXPECT_EQ(buffer.Width(), 30);
        EXPECT_EQ(buffer.Height(), 12);
        const SIZE size = GetBitmapSize(buffer.GetBitmap());
        EXPECT_EQ(size.cx, 30);
        EXPECT_EQ(size.cy, 12);
        // A second BeginDraw makes a new bitmap without leaking the first.
        ASSERT_TRUE(buffer.BeginDraw(8, 8, true));
        EXPECT_EQ(GetBitmapSize(buffer.GetBitmap()).cx, 8);
        memoryDC = buffer.GetDC();
        bitmap = buffer.GetBitmap();
        EXPECT_EQ(::GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
    }
    EXPECT_EQ(::GetObjectType(memoryDC), 0u);
    EXPECT_EQ(::GetObjectType(bitmap), 0u);
}

TEST(MemBitmap, an_external_bitmap_is_drawn_into_and_stays_with_the_caller)
{
    HBITMAP external = nullptr;
    {
        CMemBitmap buffer(nullptr, &external);
        ASSERT_TRUE(buffer.BeginDraw(16, 9, true));
        EXPECT_NE(external, nullptr);
        EXPECT_EQ(buffer.GetBitmap(), external);
    }
    ASSERT_EQ(::GetObjectType(external), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(GetBitmapSize(external).cy, 9);
    ::DeleteObject(external);
}

TEST(SimpleMemDC, a_rectangle_buffer_draws_in_target_coordinates_and_copies_only_what_the_clip_allows)
{
    struct Case
    {
        const char* name;
        RECT clip;     // empty: no clip region
        RECT expected; // what reaches the target
    };
    const RECT none = {0, 0, 0, 0};
    const Case cases[] = {
        {"no clip", none, RECT{10, 10, 30, 20}},
        {"clip over part", RECT{20, 0, 40, 40}, RECT{20, 10, 30, 20}},
        {"clip wholly outside", RECT{35, 25, 40, 40}, none},
    };
    const COLORREF red = RGB(220, 0, 0);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CCanvas canvas(40, 40);
        if (!::IsRectEmpty(&c.clip))
        {
            HRGN region = ::CreateRectRgnIndirect(&c.clip);
            ::SelectClipRgn(canvas.dc(), region);
            ::DeleteObject(region);
        }
        {
            const RECT target = {10, 10, 30, 20};
            CSimpleMemDC buffer(canvas.dc(), target);
            ASSERT_TRUE(buffer.HasBuffer());
            HBRUSH brush = ::CreateSolidBrush(red);
            ::FillRect(buffer.GetDC(), &target, brush);
            ::DeleteObject(brush);
            EXPECT_EQ(canvas.At(15, 15), kBackground) << "nothing reaches the target before the copy";
        }
        ::SelectClipRgn(canvas.dc(), nullptr);
        for (int y = 0; y < 40; y += 1)
            for (int x = 0; x < 40; x += 1)
            {
                const POINT point = {x, y};
                const bool inside = ::PtInRect(&c.expected, point) != FALSE;
                ASSERT_EQ(canvas.At(x, y), inside ? red : kBackground) << x << "," << y;
            }
    }
}

TEST(SimpleMemDC, a_transparent_copy_leaves_the_transparent_colour_out)
{
    CCanvas canvas(40, 40);
    const COLORREF key = RGB(255, 0, 255), blue = RGB(0, 0, 230);
    {
        const RECT target = {0, 0, 40, 40};
        CSimpleMemDC buffer(canvas.dc(), target, CSimpleMemDC::kTransparentCopy);
        buffer.SetTransparentColour(key);
        HBRUSH keyBrush = ::CreateSolidBrush(key);
        HBRUSH blueBrush = ::CreateSolidBrush(blue);
        ::FillRect(buffer.GetDC(), &target, keyBrush);
        const RECT square = {5, 5, 15, 15};
        ::FillRect(buffer.GetDC(), &square, blueBrush);
        ::DeleteObject(keyBrush);
        ::DeleteObject(blueBrush);
    }
    EXPECT_EQ(canvas.At(10, 10), blue);
    EXPECT_EQ(canvas.At(30, 30), kBackground);
}

TEST(SimpleMemDC, a_window_buffer_covers_the_client_area_and_copies_the_clip_box)
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 30, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const COLORREF green = RGB(0, 200, 0);
    for (bool clipped : {false, true})
    {
        SCOPED_TRACE(clipped ? "clipped" : "whole");
        CCanvas canvas(50, 50);
        if (clipped)
        {
            HRGN region = ::CreateRectRgn(0, 0, 10, 50);
            ::SelectClipRgn(canvas.dc(), region);
            ::DeleteObject(region);
        }
        {
            CSimpleMemDC buffer(canvas.dc(), window);
            ASSERT_TRUE(buffer.HasBuffer());
            EXPECT_EQ(buffer.GetRect().right, 30);
            EXPECT_EQ(buffer.GetRect().bottom, 20);
            HBRUSH brush = ::CreateSolidBrush(green);
            ::FillRect(buffer.GetDC(), &buffer.GetRect(), brush);
            ::DeleteObject(brush);
        }
        ::SelectClipRgn(canvas.dc(), nullptr);
        EXPECT_EQ(canvas.At(5, 5), green);
        EXPECT_EQ(canvas.At(20, 5), clipped ? kBackground : green);
        EXPECT_EQ(canvas.At(5, 25), kBackground) << "nothing below the client area";
        EXPECT_EQ(canvas.At(35, 5), kBackground) << "nothing right of the client area";
    }
    ::DestroyWindow(window);
}

TEST(SimpleMemDC, repeated_buffers_and_highlights_release_their_gdi_objects)
{
    CCanvas canvas(60, 30);
    auto drawOnce = [&canvas] {
        const RECT item = {0, 0, 60, 30};
        CSimpleMemDC buffer(canvas.dc(), item);
        CCustomDrawHelper helper;
        helper.m_bSelected = true;
        helper.m_bFocused = true;
        helper.DrawItemHighlight(buffer.GetDC(), item);
        helper.DrawThemedButtonFace(buffer.GetDC(), item);
        DrawDropDownArrow(buffer.GetDC(), item);
    };
    drawOnce(); // lets one-time system objects come into being first
    const brmptest::HandleCountCheck handles;
    for (int i = 0; i < 200; ++i)
        drawOnce();
    EXPECT_TRUE(handles.Balanced());
}

namespace
{
int g_paints = 0;

LRESULT CALLBACK BufferedButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
    {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        {
            CSimpleMemDC buffer(dc, window);
            CCustomDrawHelper helper;
            helper.m_hWnd = window;
            helper.DrawThemedButtonFace(buffer.GetDC(), buffer.GetRect());
            DrawDropDownArrow(buffer.GetDC(), buffer.GetRect());
        }
        ::EndPaint(window, &paint);
        ++g_paints;
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return ::DefWindowProcW(window, message, wParam, lParam);
}
} // namespace

TEST(SimpleMemDC, a_real_window_painted_through_the_buffer_shows_the_button_face_and_arrow)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = BufferedButtonProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BrmpDrawingTestButton";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, windowClass.lpszClassName, L"", WS_POPUP, 40, 40,
                                    60, 30, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    g_paints = 0;
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    ::UpdateWindow(window);
    ASSERT_TRUE(brmptest::WaitFor([] { return g_paints > 0; }));

    // The screen is read back through the window's own context.
    HDC dc = ::GetDC(window);
    const COLORREF faceTop = ::GetPixel(dc, 10, 3);
    const COLORREF outer = ::GetPixel(dc, 30, 0);
    const COLORREF arrow = ::GetPixel(dc, 30, 14);
    ::ReleaseDC(window, dc);
    ::DestroyWindow(window);
    ::UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);

    EXPECT_TRUE(Near(faceTop, RGB(242, 242, 242), 6)) << std::hex << faceTop;
    EXPECT_EQ(outer, RGB(112, 112, 112));
    EXPECT_EQ(arrow, RGB(0, 0, 0));
}
