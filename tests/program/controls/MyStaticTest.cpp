#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "MyStatic.h"
#include "StaticControlsTestSupport.h"
#include "Window.h"

using static_controls_test::PixelCanvas;

namespace
{
constexpr int kWidth = 90;
constexpr int kHeight = 90;
// Two words that do not fit on one line of kWidth pixels.
constexpr const wchar_t* kText = L"Alphabetical Zebrafish";

struct Ink
{
    int top = -1;
    int bottom = -1;
    int left = -1;
    int right = -1;
};

Ink FindInk(const PixelCanvas& canvas)
{
    Ink ink;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (canvas.IsDark(x, y))
            {
                if (ink.top < 0)
                    ink.top = y;
                ink.bottom = y;
                if (ink.left < 0 || x < ink.left)
                    ink.left = x;
                if (x > ink.right)
                    ink.right = x;
            }
    return ink;
}

struct StaticFixture
{
    StaticFixture()
    {
        host.CreateEx(0, nullptr, L"static host", WS_POPUP | WS_VISIBLE, 50, 50, 200, 200, nullptr);
        const HWND control = ::CreateWindowExW(0, L"STATIC", kText, WS_CHILD | WS_VISIBLE, 10, 10, kWidth, kHeight,
                                               host.GetSafeHwnd(), nullptr, nullptr, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        created = control != nullptr && text.SubclassWindow(control);

        TEXTMETRICW metrics{};
        const HDC dc = ::GetDC(control);
        const HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        ::GetTextMetricsW(dc, &metrics);
        RECT measured{0, 0, kWidth, kHeight};
        ::DrawTextW(dc, kText, -1, &measured, DT_WORDBREAK | DT_CALCRECT);
        ::SelectObject(dc, old);
        ::ReleaseDC(control, dc);
        lineHeight = metrics.tmHeight;
        lines = lineHeight > 0 ? (measured.bottom - measured.top) / lineHeight : 0;
    }
    ~StaticFixture()
    {
        text.UnsubclassWindow();
        host.DestroyWindow();
    }
    Ink Painted()
    {
        RECT client{};
        ::GetClientRect(text.GetSafeHwnd(), &client);
        PixelCanvas canvas(client.right, client.bottom, RGB(255, 255, 255));
        text.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
        return FindInk(canvas);
    }

    CWindow host;
    CMyStatic text;
    bool created = false;
    int lineHeight = 0;
    int lines = 0;
};
}

TEST(MyStatic, WrappedTextIsPlacedByItsAlignmentInsideTheControl)
{
    struct Case
    {
        const char* name;
        int flags;
        std::function<void(const Ink&, int lineHeight)> check;
    };
    const Case cases[] = {
        {"top left", 0,
         [](const Ink& ink, int lh) {
             EXPECT_LT(ink.top, lh);
             EXPECT_LT(ink.bottom, 2 * lh);
             EXPECT_LT(ink.left, 4);
         }},
        {"bottom: the second line ends at the bottom edge", DT_BOTTOM,
         [](const Ink& ink, int lh) {
             EXPECT_GE(ink.bottom, kHeight - lh);
             EXPECT_GE(ink.top, kHeight - 2 * lh);
         }},
        {"vertically centred", DT_VCENTER,
         [](const Ink& ink, int lh) { EXPECT_NEAR(kHeight / 2, (ink.top + ink.bottom) / 2, lh / 2 + 1); }},
        {"right", DT_RIGHT,
         [](const Ink& ink, int) {
             EXPECT_GE(ink.right, kWidth - 4);
             EXPECT_GT(ink.left, 0);
         }},
        {"centred", DT_CENTER,
         [](const Ink& ink, int) { EXPECT_NEAR(kWidth / 2, (ink.left + ink.right) / 2, 3); }},
    };
    StaticFixture f;
    ASSERT_TRUE(f.created);
    ASSERT_EQ(2, f.lines) << "the test text must wrap into two lines";
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        f.text.m_alignment = c.flags;
        const Ink ink = f.Painted();
        ASSERT_GE(ink.top, 0) << "nothing painted";
        c.check(ink, f.lineHeight);
    }
}

TEST(MyStatic, BottomAlignedTextFollowsTheBottomEdgeWhenTheControlGrows)
{
    StaticFixture f;
    ASSERT_TRUE(f.created);
    f.text.m_alignment = DT_BOTTOM;
    const Ink before = f.Painted();
    ::SetWindowPos(f.text.GetSafeHwnd(), nullptr, 0, 0, kWidth, kHeight + 40, SWP_NOZORDER | SWP_NOMOVE);
    const Ink after = f.Painted();
    EXPECT_EQ(before.bottom + 40, after.bottom);
    EXPECT_EQ(before.top + 40, after.top);
}
