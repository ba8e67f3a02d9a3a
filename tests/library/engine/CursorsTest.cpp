// The pointer pictures: overlays drawn for the layer number, the chord mark and
// the timed-click progress, and cursors combined with them, checked pixel by pixel.

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "Cursors.h"
#include "Globals.h"

namespace
{
DWORD Rgb(DWORD p)
{
    return p & 0x00FFFFFF;
}

DWORD Alpha(DWORD p)
{
    return p >> 24;
}

struct Pixels
{
    std::vector<DWORD> px;
    int width = 0;
    int height = 0;

    DWORD At(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
    int Count(const std::function<bool(DWORD)>& test) const
    {
        int n = 0;
        for (DWORD p : px)
            n += test(p) ? 1 : 0;
        return n;
    }
    // Leftmost and rightmost column holding a pixel that passes the test; -1 when none.
    std::pair<int, int> Columns(const std::function<bool(DWORD)>& test) const
    {
        int left = -1, right = -1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (test(At(x, y)))
                {
                    left = left < 0 || x < left ? x : left;
                    right = x > right ? x : right;
                }
        return {left, right};
    }
};

Pixels OfBitmap(HBITMAP bitmap)
{
    Pixels p;
    EXPECT_TRUE(ReadBitmapPixels(bitmap, p.px, p.width, p.height));
    return p;
}

Pixels OfCursor(HCURSOR cursor)
{
    Pixels p;
    EXPECT_TRUE(ReadCursorPixels(cursor, p.px, p.width, p.height));
    return p;
}

// The module that holds the library's cursors.
HINSTANCE Library()
{
    return g_system.hInstance;
}

class CursorsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_cursors = std::make_unique<CCursors>(nullptr);
        ASSERT_TRUE(m_cursors->LoadCursors(Library(), L"CursorsTest"));
    }
    std::unique_ptr<CCursors> m_cursors;
};

bool NotKey(DWORD p)
{
    return Rgb(p) != kOverlayKey;
}
}

TEST_F(CursorsTest, LayerOverlaysShowTheNumberInABoxThatGrowsWithTwoDigits)
{
    const Pixels one = OfBitmap(m_cursors->GetLayerOverlay(0));
    const Pixels ten = OfBitmap(m_cursors->GetLayerOverlay(9));
    for (const Pixels* p : {&one, &ten})
    {
        ASSERT_GT(p->width, 0);
        // The box sits in the lower right corner: the top left is the key colour.
        EXPECT_EQ(Rgb(p->At(0, 0)), kOverlayKey);
        EXPECT_EQ(Alpha(p->At(0, 0)), 0u) << "the key colour is left as it is";
        EXPECT_GT(p->Count([](DWORD q) { return Rgb(q) == 0x0000FF && Alpha(q) == 0xFF; }), 0)
            << "blue text is opaque";
        EXPECT_GT(p->Count([](DWORD q) { return q == 0x7FFFFFFF; }), 0) << "the white box is half transparent";
        EXPECT_EQ(p->Count([](DWORD q) { return NotKey(q) && Alpha(q) == 0; }), 0) << "every drawn pixel has alpha";
    }
    const auto boxOne = one.Columns(NotKey);
    const auto boxTen = ten.Columns(NotKey);
    EXPECT_EQ(boxOne.second, one.width - 1) << "the box reaches the right edge";
    EXPECT_LT(boxTen.first, boxOne.first) << "\"10\" needs a wider box than \"1\"";
}

TEST_F(CursorsTest, TimedClickOverlaysShowRedMarksForStepZeroAndOneDotPerStep)
{
    const DWORD dot = 0x93FF6F;     // stored form of the fill colour of steps 1 and 2
    const DWORD lastDot = 0x0AFF0A; // step 3's brighter colour
    const DWORD mark = 0xFF0202;    // step 0's small marks
    struct Case
    {
        int step;
        int dots;      // separate dots along the bottom edge
        DWORD colour;
        bool marks;
    } const cases[] = {{0, 0, dot, true}, {1, 1, dot, false}, {2, 2, dot, false}, {3, 3, lastDot, false}};
    for (const Case& c : cases)
    {
        const Pixels p = OfBitmap(m_cursors->GetTimedClickCursorOverlay(c.step));
        ASSERT_GT(p.width, 0) << "step " << c.step;
        // Count runs of the fill colour across the row four pixels above the bottom.
        int runs = 0;
        bool inRun = false;
        const int y = p.height - 4;
        for (int x = 0; x < p.width; ++x)
        {
            const bool hit = Rgb(p.At(x, y)) == c.colour;
            runs += hit && !inRun ? 1 : 0;
            inRun = hit;
        }
        EXPECT_EQ(runs, c.dots) << "step " << c.step;
        EXPECT_EQ(p.Count([&](DWORD q) { return Rgb(q) == mark; }) > 0, c.marks) << "step " << c.step;
    }
    EXPECT_EQ(m_cursors->GetTimedClickCursorOverlay(4), nullptr);
    EXPECT_EQ(m_cursors->GetTimedClickCursorOverlay(-1), nullptr);
}

TEST_F(CursorsTest, TheChordMarkIsRedWhenActiveAndGreyWhenNot)
{
    const Pixels active = OfBitmap(m_cursors->GetChordCursorOverlay(true));
    const Pixels inactive = OfBitmap(m_cursors->GetChordCursorOverlay(false));
    EXPECT_GT(active.Count([](DWORD q) { return Rgb(q) == 0xC80000; }), 0);
    EXPECT_EQ(active.Count([](DWORD q) { return Rgb(q) == 0xC8C8C8; }), 0);
    EXPECT_GT(inactive.Count([](DWORD q) { return Rgb(q) == 0xC8C8C8; }), 0);
    EXPECT_EQ(inactive.Count([](DWORD q) { return Rgb(q) == 0xC80000; }), 0);
}

TEST_F(CursorsTest, AMonochromeCursorCombinedWithAnOverlayKeepsItsHotSpotAndGetsATransparentBackground)
{
    // 32 x 32: AND mask all 1 (transparent) except a black 8 x 8 block at the top left.
    BYTE andMask[32 * 4];
    BYTE xorMask[32 * 4] = {};
    for (int row = 0; row < 32; ++row)
        for (int b = 0; b < 4; ++b)
            andMask[row * 4 + b] = row < 8 && b == 0 ? 0x00 : 0xFF;
    HCURSOR mono = ::CreateCursor(nullptr, 5, 7, 32, 32, andMask, xorMask);
    ASSERT_NE(mono, nullptr);

    HCURSOR combined = m_cursors->CombineOverlayCursor(mono, m_cursors->GetChordCursorOverlay(true));
    ASSERT_NE(combined, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(combined, &info));
    EXPECT_EQ(info.xHotspot, 5u);
    EXPECT_EQ(info.yHotspot, 7u);
    EXPECT_FALSE(info.fIcon);
    EXPECT_NE(info.hbmColor, nullptr) << "a colour (32-bit) cursor now";
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);

    const Pixels p = OfCursor(combined);
    ASSERT_EQ(p.width, 32);
    ASSERT_EQ(p.height, 32);
    EXPECT_EQ(p.At(2, 2), 0xFF000000u) << "the black block stays, opaque";
    EXPECT_EQ(p.At(20, 4), 0u) << "the former background is fully transparent";
    EXPECT_GT(p.Count([](DWORD q) { return q == 0xFFC80000; }), 0) << "the red chord mark, opaque";
    ::DestroyCursor(combined);
    ::DestroyCursor(mono);
}

TEST_F(CursorsTest, AnAlphaCursorTakesTheOverlayOverItsOwnPixels)
{
    HCURSOR red = m_cursors->GetPredefinedPointerCursor(L"0");
    ASSERT_NE(red, nullptr);
    HCURSOR combined = m_cursors->CombineLayerOverlayCursor(red, 4);
    ASSERT_NE(combined, nullptr);
    const Pixels arrow = OfCursor(red);
    const Pixels p = OfCursor(combined);
    const Pixels overlay = OfBitmap(m_cursors->GetLayerOverlay(4));
    ASSERT_EQ(p.width, overlay.width);
    int checked = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
        {
            const DWORD o = overlay.At(x, y);
            if (Rgb(o) != kOverlayKey)
            {
                EXPECT_EQ(p.At(x, y), o) << x << "," << y << ": the overlay pixel with its own alpha";
                ++checked;
            }
            else if (x < 8 && y < 8)
            {
                EXPECT_EQ(p.At(x, y), arrow.At(x, y)) << x << "," << y << ": the arrow's tip is untouched";
            }
        }
    EXPECT_GT(checked, 0);
    ::DestroyCursor(combined);
    ::DestroyCursor(red);
}

TEST_F(CursorsTest, AnOverlaySmallerThanTheCursorIsCombinedWithoutReadingPastIt)
{
    HDC screen = ::GetDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 8;
    info.bmiHeader.biHeight = -8;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP small = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    ASSERT_NE(small, nullptr);
    for (int i = 0; i < 64; ++i)
        static_cast<DWORD*>(bits)[i] = 0x00123456;

    HCURSOR arrow = m_cursors->GetPredefinedPointerCursor(L"2");
    ASSERT_NE(arrow, nullptr);
    HCURSOR combined = m_cursors->CombineOverlayCursor(arrow, small);
    ASSERT_NE(combined, nullptr);
    const Pixels p = OfCursor(combined);
    EXPECT_EQ(p.At(7, 7), 0xFF123456u);
    EXPECT_NE(Rgb(p.At(p.width - 1, p.height - 1)), 0x123456u) << "nothing drawn beyond the overlay";
    ::DestroyCursor(combined);
    ::DestroyCursor(arrow);
    ::DeleteObject(small);
}

TEST_F(CursorsTest, PredefinedPointerNamesPickAColourCursorOrAFileAndRefuseTheRest)
{
    struct Case
    {
        const wchar_t* name;
        bool found;
        DWORD colour; // a colour the arrow's body holds
    } const cases[] = {
        {L"0", true, 0xDC2828},  {L"1", true, 0x28B43C}, {L"2", true, 0x325AE6}, {L"3", true, 0xF58C14},
        {L"4", true, 0x1EC8C8},  {L"5", true, 0xF0DC1E}, {L"6", false, 0},       {L"7", false, 0},
        {L"", false, 0},         {L"missing-file.cur", false, 0},
    };
    for (const Case& c : cases)
    {
        HCURSOR cursor = m_cursors->GetPredefinedPointerCursor(c.name);
        EXPECT_EQ(cursor != nullptr, c.found) << "name '" << static_cast<int>(c.name[0]) << "'";
        if (cursor == nullptr)
            continue;
        const Pixels p = OfCursor(cursor);
        EXPECT_GT(p.Count([&](DWORD q) { return Rgb(q) == c.colour && Alpha(q) == 0xFF; }), 20)
            << "cursor " << static_cast<char>(c.name[0]);
        EXPECT_NE(cursor, m_cursors->GetColourCursor(c.name[0] - L'0')) << "a copy the caller owns";
        ::DestroyCursor(cursor);
    }
    const std::wstring tooLong(2000, L'a');
    EXPECT_EQ(m_cursors->GetPredefinedPointerCursor(tooLong.c_str()), nullptr);
    EXPECT_EQ(m_cursors->GetPredefinedPointerCursor(nullptr), nullptr);
}

TEST_F(CursorsTest, LayersOutsideTheTenHaveNoOverlayAndDestroyingLeavesNothingBehind)
{
    HCURSOR arrow = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    EXPECT_EQ(m_cursors->CombineLayerOverlayCursor(arrow, 10), nullptr);
    EXPECT_EQ(m_cursors->CombineLayerOverlayCursor(arrow, -1), nullptr);
    m_cursors->DestroyCursors();
    EXPECT_EQ(m_cursors->GetLayerOverlay(0), nullptr);
    EXPECT_EQ(m_cursors->GetChordCursorOverlay(true), nullptr);
    EXPECT_EQ(m_cursors->GetColourCursor(0), nullptr);
    EXPECT_EQ(m_cursors->CombineLayerOverlayCursor(arrow, 1), nullptr) << "no overlay once destroyed";
    m_cursors->DestroyCursors(); // twice is harmless
}
