#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "FrameworkTestSupport.h"
#include "PhysicalInput.h"
#include "StaticControlsTestSupport.h"
#include "ThemedButton.h"
#include "Window.h"

using brmptest::PhysicalInput;
using framework_test::PumpPending;
using framework_test::PumpUntil;
using static_controls_test::PixelCanvas;

namespace
{
using static_controls_test::MakeIcon;
using static_controls_test::SolidIcon;
constexpr int kButtonId = 300;
constexpr int kWidth = 60;
constexpr int kHeight = 44;

std::vector<std::uint32_t> IconPixels(HICON icon)
{
    ICONINFO info{};
    std::vector<std::uint32_t> pixels(32 * 32, 0);
    if (!::GetIconInfo(icon, &info))
        return {};
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = 32;
    header.bmiHeader.biHeight = -32;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    const HDC dc = ::GetDC(nullptr);
    ::GetDIBits(dc, info.hbmColor, 0, 32, pixels.data(), &header, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, dc);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return pixels;
}

class Host : public CWindow
{
public:
    bool OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED)
            ++clicks;
        return CWindow::OnCommand(wParam, lParam);
    }
    int clicks = 0;
};

struct ButtonFixture
{
    ButtonFixture()
    {
        host.CreateEx(0, nullptr, L"button host", WS_POPUP | WS_VISIBLE, 60, 60, 200, 120, nullptr);
        const HWND control = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                               20, 20, kWidth, kHeight, host.GetSafeHwnd(),
                                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), nullptr,
                                               nullptr);
        created = control != nullptr && button.SubclassWindow(control);
        button.SetThemedDrawing(false);
        button.SetIconHandle(SolidIcon(0xFFFF0000));
        ::SetForegroundWindow(host.GetSafeHwnd());
    }
    ~ButtonFixture()
    {
        button.UnsubclassWindow();
        host.DestroyWindow();
    }
    POINT CentreOnScreen() const
    {
        POINT p{kWidth / 2, kHeight / 2};
        ::ClientToScreen(button.GetSafeHwnd(), &p);
        return p;
    }
    COLORREF PaintedCentre()
    {
        PixelCanvas canvas(kWidth, kHeight, RGB(0, 255, 0));
        button.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
        return canvas.At(kWidth / 2, kHeight / 2);
    }

    Host host;
    CXButtonXP button;
    bool created = false;
};
}

TEST(ThemedButton, TheGreyIconMapsEachPixelToItsGreyLevelAndKeepsTransparentBlack)
{
    struct Case
    {
        const char* name;
        std::uint32_t source;
        std::uint32_t grey;
    };
    // Grey level = 255 - v / 2.5 with v = 255 - mean of the channels; v = 0 uses the level of 1.
    const Case cases[] = {
        {"opaque red", 0xFFFF0000, 0xFFBBBBBB},
        {"opaque black", 0xFF000000, 0xFF999999},
        {"opaque white", 0xFFFFFFFF, 0xFFFEFEFE},
        {"half-transparent blue", 0x800000FF, 0x80BBBBBB},
        {"transparent black stays", 0x00000000, 0x00000000},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const HICON icon = SolidIcon(c.source);
        ASSERT_NE(nullptr, icon);
        const HICON grey = CXButtonXP::CreateGrayscaleIcon(icon);
        ASSERT_NE(nullptr, grey);
        const std::vector<std::uint32_t> pixels = IconPixels(grey);
        ASSERT_FALSE(pixels.empty());
        EXPECT_EQ(c.grey, pixels[500]);
        ::DestroyIcon(grey);
        ::DestroyIcon(icon);
    }
    EXPECT_EQ(nullptr, CXButtonXP::CreateGrayscaleIcon(nullptr));
}

TEST(ThemedButton, AnEnabledButtonShowsItsIconAndADisabledOneTheGreyTwin)
{
    ButtonFixture f;
    ASSERT_TRUE(f.created);
    EXPECT_EQ(static_cast<LONG>(BS_OWNERDRAW), ::GetWindowLongW(f.button.GetSafeHwnd(), GWL_STYLE) & 0xF);
    EXPECT_EQ(RGB(255, 0, 0), f.PaintedCentre());
    f.button.EnableWindow(false);
    EXPECT_EQ(RGB(0xBB, 0xBB, 0xBB), f.PaintedCentre());
}

TEST(ThemedButton, AMonochromeIconHasNoGreyTwinAndStillPaintsWhenDisabled)
{
    ButtonFixture f;
    ASSERT_TRUE(f.created);
    std::vector<BYTE> bits(32 * 32 * 2 / 8, 0);
    for (size_t i = 0; i < bits.size() / 2; ++i)
        bits[i] = 0x00; // AND mask: opaque
    for (size_t i = bits.size() / 2; i < bits.size(); ++i)
        bits[i] = 0x00; // XOR: black
    const HBITMAP mask = ::CreateBitmap(32, 64, 1, 1, bits.data());
    ICONINFO info{TRUE, 0, 0, mask, nullptr};
    f.button.SetIconHandle(::CreateIconIndirect(&info));
    ::DeleteObject(mask);
    EXPECT_EQ(nullptr, f.button.GetGrayIcon());
    f.button.EnableWindow(false);
    const COLORREF disabled = f.PaintedCentre();
    EXPECT_NE(RGB(0, 255, 0), disabled) << "the button painted nothing";
}

TEST(ThemedButton, AClickReachesTheParentOnce)
{
    ButtonFixture f;
    ASSERT_TRUE(f.created);
    const POINT centre = f.CentreOnScreen();
    ASSERT_TRUE(PhysicalInput::ClickAt(centre.x, centre.y, PhysicalInput::kLeft));
    ASSERT_TRUE(PumpUntil([&] { return f.host.clicks == 1; }));
}

TEST(ThemedButton, ADoubleClickCountsAsASecondClick)
{
    ButtonFixture f;
    ASSERT_TRUE(f.created);
    const POINT centre = f.CentreOnScreen();
    ASSERT_TRUE(PhysicalInput::ClickAt(centre.x, centre.y, PhysicalInput::kLeft, 2));
    ASSERT_TRUE(PumpUntil([&] { return f.host.clicks == 2; }));
    // A later single click fences the double click: it counts once more, and
    // nothing of the double click comes after it.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kLeft));
    ASSERT_TRUE(PumpUntil([&] { return f.host.clicks >= 3; }));
    PumpPending();
    EXPECT_EQ(3, f.host.clicks);
}

TEST(ThemedButton, HoldingSpaceClicksOnceHoweverLongTheKeyRepeats)
{
    ButtonFixture f;
    ASSERT_TRUE(f.created);
    const HWND button = f.button.GetSafeHwnd();
    ::SetFocus(button);
    ::SendMessageW(button, WM_KEYDOWN, VK_SPACE, 1);
    for (int i = 0; i < 5; ++i)
        ::SendMessageW(button, WM_KEYDOWN, VK_SPACE, 1 | (1 << 30));
    EXPECT_EQ(0, f.host.clicks);
    ::SendMessageW(button, WM_KEYUP, VK_SPACE, 1 | (1 << 30) | (1u << 31));
    // Whatever the key messages posted is handled by now.
    PumpPending();
    EXPECT_EQ(1, f.host.clicks);
}

TEST(ThemedButton, TheButtonIsHotWhileThePointerIsOverIt)
{
    ButtonFixture f;
    ASSERT_TRUE(f.created);
    const POINT centre = f.CentreOnScreen();
    ASSERT_TRUE(PhysicalInput::MoveTo(centre.x, centre.y));
    ASSERT_TRUE(PumpUntil([&] { return f.button.IsHot(); }));
    ASSERT_TRUE(PhysicalInput::MoveTo(centre.x + 150, centre.y + 150));
    ASSERT_TRUE(PumpUntil([&] { return !f.button.IsHot(); }));
}

TEST(ThemedButton, APushButtonAsksForAllKeysButTabAndTakesPartInTheDefaultButtonScheme)
{
    ButtonFixture f;
    ASSERT_TRUE(f.created);
    MSG tab{f.button.GetSafeHwnd(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    MSG letter{f.button.GetSafeHwnd(), WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_EQ(DLGC_WANTALLKEYS | DLGC_UNDEFPUSHBUTTON,
              f.button.SendMessage(WM_GETDLGCODE, 'A', reinterpret_cast<LPARAM>(&letter)));
    EXPECT_EQ(DLGC_UNDEFPUSHBUTTON, f.button.SendMessage(WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&tab)));
    // Becoming the default keeps the button owner-drawn.
    f.button.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
    EXPECT_EQ(static_cast<LONG>(BS_OWNERDRAW), ::GetWindowLongW(f.button.GetSafeHwnd(), GWL_STYLE) & 0xF);
    EXPECT_EQ(DLGC_WANTALLKEYS | DLGC_DEFPUSHBUTTON,
              f.button.SendMessage(WM_GETDLGCODE, 'A', reinterpret_cast<LPARAM>(&letter)));
}
