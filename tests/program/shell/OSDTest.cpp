// The volume and brightness displays: the level they show for a message, the
// drag and wheel arithmetic, and the real windows (show, fade, drag, wheel,
// refused changes) with a recording value target.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "HandleBalanceListener.h"
#include "OSDRules.h"
#include "OSDWindow.h"
#include "OSVersion.h"
#include "WaitFor.h"

namespace
{
struct TargetLog
{
    std::vector<int> levels;
    HWND notifyWindow = nullptr;
    int reinitialised = 0;
    bool accept = true;
};

class CRecordingTarget : public IOSDValueTarget
{
public:
    explicit CRecordingTarget(TargetLog& log) : m_log(log) {}
    bool SetLevel(int level) override
    {
        m_log.levels.push_back(level);
        return m_log.accept;
    }
    void SetNotifyWindow(HWND window) override { m_log.notifyWindow = window; }
    void Reinitialise() override { ++m_log.reinitialised; }

private:
    TargetLog& m_log;
};

UINT Registered(const wchar_t* name)
{
    return ::RegisterWindowMessageW(name);
}

// The bar's rectangle in the display's client coordinates.
RECT BarRect(const COSDDlg& osd)
{
    RECT rect{};
    ::GetWindowRect(osd.GetDlgItem(COSDDlg::IdBar), &rect);
    ::MapWindowPoints(nullptr, osd.GetSafeHwnd(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

LPARAM At(int x, int y)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

class OSDWindows : public ::testing::Test
{
protected:
    void SetUp() override { PinOSVersion(ActionOS_Win10); }
    void TearDown() override
    {
        UnpinOSDWheelLines();
        UnpinOSVersion();
    }

    std::unique_ptr<CVolumeOSDDlg> MakeVolume()
    {
        auto osd = std::make_unique<CVolumeOSDDlg>(std::make_unique<CRecordingTarget>(m_log));
        EXPECT_TRUE(osd->Create(nullptr));
        return osd;
    }
    std::unique_ptr<CBrightnessOSD> MakeBrightness()
    {
        auto osd = std::make_unique<CBrightnessOSD>(std::make_unique<CRecordingTarget>(m_log));
        EXPECT_TRUE(osd->Create(nullptr));
        return osd;
    }

    TargetLog m_log;
};
} // namespace

TEST(OSDRules, TheShowMessageCarriesALevelCappedAt100AndAMutedFlagInItsHighWord)
{
    struct Case
    {
        LPARAM lParam;
        int level;
        bool muted;
    } const cases[] = {
        {150, 100, false},
        {100, 100, false},
        {42, 42, false},
        {0, 0, false},
        {0x8005, 0, false},      // bit 15: a negative level shows 0
        {0xFFFF, 0, false},
        {0x10000, 0, true},      // muted or unavailable
        {0x10000 | 37, 37, true},
        {0x7FFF, 100, false},
    };
    for (const Case& c : cases)
    {
        const OSDShownValue value = DecodeOSDShowParam(c.lParam);
        EXPECT_EQ(value.level, c.level) << std::hex << c.lParam;
        EXPECT_EQ(value.muted, c.muted) << std::hex << c.lParam;
    }
}

TEST(OSDRules, ABarPointGivesTheLevelWithPointsBeyondTheBarHeldToItsEnds)
{
    struct Case
    {
        int y;
        int height;
        int level;
    } const cases[] = {
        {-30, 64, 100}, {0, 64, 100}, {32, 64, 50}, {16, 64, 75}, {64, 64, 0}, {500, 64, 0}, {10, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OSDLevelFromBarY(c.y, c.height), c.level) << c.y << " of " << c.height;

    // The fill starts where the level says; the thumb stays inside the bar.
    EXPECT_EQ(OSDFillTop(10, 64, 100), 10);
    EXPECT_EQ(OSDFillTop(10, 64, 0), 74);
    EXPECT_EQ(OSDFillTop(10, 64, 50), 42);
    EXPECT_EQ(OSDThumbTop(10, 64, 8, 100), 10);
    EXPECT_EQ(OSDThumbTop(10, 64, 8, 0), 66);
    EXPECT_EQ(OSDThumbTop(10, 64, 8, 250), 10) << "a level beyond 100 never draws above the bar";
}

TEST(OSDRules, WheelDeltasCountInWholeNotchesAndKeepTheRemainder)
{
    EXPECT_EQ(OSDWheelUnit(0), 0);
    EXPECT_EQ(OSDWheelUnit(3), 40);
    EXPECT_EQ(OSDWheelUnit(1), 120);
    EXPECT_EQ(OSDWheelUnit(WHEEL_PAGESCROLL), 120);
    EXPECT_EQ(OSDWheelUnit(1000), 1);

    COSDWheel wheel;
    wheel.Reset(120);
    EXPECT_EQ(wheel.Add(60), 0) << "half a notch changes nothing";
    EXPECT_EQ(wheel.Add(60), 1) << "until the other half arrives";
    EXPECT_EQ(wheel.Add(-240), -2);
    EXPECT_EQ(wheel.Add(-100), 0);
    EXPECT_EQ(wheel.Add(100), 0) << "the remainder goes both ways";
    EXPECT_EQ(wheel.Add(360 + 30), 3);

    wheel.Reset(0);
    EXPECT_EQ(wheel.Add(1200), 0) << "a wheel setting of 0 turns the wheel off";

    EXPECT_EQ(OSDLevelAfterWheel(95, 1, 10), 100);
    EXPECT_EQ(OSDLevelAfterWheel(5, -1, 10), 0);
    EXPECT_EQ(OSDLevelAfterWheel(50, 3, 1), 53);
    EXPECT_EQ(OSDLevelAfterWheel(50, 100000, 10), 100);
}

TEST(OSDRules, AFadeFrom220TakesTwentyTwoStepsAndNeverWrapsBelowZero)
{
    BYTE alpha = 220;
    int steps = 0;
    while (alpha > 0 && steps < 1000)
    {
        alpha = OSDFadeStep(alpha);
        ++steps;
    }
    EXPECT_EQ(steps, 22);
    EXPECT_EQ(OSDFadeStep(5), 0);
    EXPECT_EQ(OSDFadeStep(0), 0);
}

TEST_F(OSDWindows, ADisplayIsCreatedHiddenAtItsPlaceWithItsNameAndNotifyWindow)
{
    auto volume = MakeVolume();
    auto brightness = MakeBrightness();
    ASSERT_TRUE(volume->IsWindow());
    ASSERT_TRUE(brightness->IsWindow());
    EXPECT_FALSE(::IsWindowVisible(volume->GetSafeHwnd()));
    EXPECT_EQ(volume->GetAlpha(), 0);
    EXPECT_EQ(volume->GetWindowText(), L"Volume OSD");
    EXPECT_EQ(brightness->GetWindowText(), L"Brightness OSD");
    EXPECT_EQ(m_log.notifyWindow, volume->GetSafeHwnd()) << "volume changes are reported to the display";

    RECT box{};
    ::GetWindowRect(volume->GetSafeHwnd(), &box);
    EXPECT_EQ(box.left, 50 + 120) << "moved right from Windows 8 on";
    EXPECT_EQ(box.top, 60);
    ::GetWindowRect(brightness->GetSafeHwnd(), &box);
    EXPECT_EQ(box.left, 100);

    const LONG_PTR exStyle = ::GetWindowLongPtrW(volume->GetSafeHwnd(), GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_LAYERED);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
}

TEST_F(OSDWindows, AShowMessageDisplaysTheLevelOrXAndTheDisplayFadesOutOnItsOwn)
{
    auto osd = MakeVolume();
    const UINT show = Registered(L"BRMP_OSDShowWindow");
    HWND window = osd->GetSafeHwnd();

    ::SendMessageW(window, show, 1, 150);
    EXPECT_EQ(osd->GetValueText(), L"100");
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(osd->GetAlpha(), 220);

    ::SendMessageW(window, show, 1, 0x8000 | 20);
    EXPECT_EQ(osd->GetValueText(), L"0");
    ::SendMessageW(window, show, 1, 0x10000);
    EXPECT_EQ(osd->GetValueText(), L"X");
    EXPECT_TRUE(osd->IsMuted());

    // wParam 0 shows the current value again without changing it.
    ::SendMessageW(window, show, 0, 77);
    EXPECT_EQ(osd->GetValueText(), L"X");

    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ASSERT_TRUE(brmptest::WaitFor([&] { return osd->GetAlpha() < 220; }, 10000)) << "the hold ends";
    ASSERT_TRUE(brmptest::WaitFor([&] { return !::IsWindowVisible(window); }, 10000)) << "the fade ends hidden";
    EXPECT_EQ(osd->GetAlpha(), 0);

    // A new show during the fade starts again at full strength.
    ::SendMessageW(window, show, 0, 0);
    ASSERT_TRUE(brmptest::WaitFor([&] { return osd->GetAlpha() < 220 && osd->GetAlpha() > 0; }, 10000));
    ::SendMessageW(window, show, 0, 0);
    EXPECT_EQ(osd->GetAlpha(), 220);
    EXPECT_TRUE(::IsWindowVisible(window));
}

TEST_F(OSDWindows, AChangeMadeElsewhereUpdatesAHiddenDisplayWithoutShowingIt)
{
    auto volume = MakeVolume();
    auto brightness = MakeBrightness();
    ::SendMessageW(volume->GetSafeHwnd(), Registered(L"WRMP_OSDVolumeChanged"), 40, 0);
    EXPECT_EQ(volume->GetLevel(), 40);
    EXPECT_FALSE(volume->IsMuted());
    ::SendMessageW(brightness->GetSafeHwnd(), Registered(L"BRMP_OSDBrightnessChanged"), 70, 1);
    EXPECT_EQ(brightness->GetLevel(), 70);
    EXPECT_TRUE(brightness->IsMuted());
    brmptest::PumpMessages();
    EXPECT_FALSE(::IsWindowVisible(volume->GetSafeHwnd()));
    EXPECT_FALSE(::IsWindowVisible(brightness->GetSafeHwnd()));

    // The level comes from another thread's arithmetic: it never shows beyond 100.
    ::SendMessageW(volume->GetSafeHwnd(), Registered(L"WRMP_OSDVolumeChanged"), 5000, 0);
    EXPECT_EQ(volume->GetLevel(), 100);
    EXPECT_TRUE(m_log.levels.empty()) << "a reported change is not applied back";

    ::SendMessageW(volume->GetSafeHwnd(), Registered(L"WRMP_OSDAudioDeviceChanged"), 0, 0);
    EXPECT_EQ(m_log.reinitialised, 1);
}

TEST_F(OSDWindows, DraggingTheBarSetsTheLevelAndPastItsEndsGivesHundredAndZero)
{
    auto osd = MakeVolume();
    HWND window = osd->GetSafeHwnd();
    const RECT bar = BarRect(*osd);
    ASSERT_GT(bar.bottom - bar.top, 0);
    const int x = (bar.left + bar.right) / 2;
    const int middle = (bar.top + bar.bottom) / 2;

    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(x, middle));
    ASSERT_EQ(m_log.levels.size(), 1u);
    EXPECT_NEAR(m_log.levels.back(), 50, 3);
    EXPECT_EQ(::GetCapture(), window);
    EXPECT_TRUE(::IsWindowVisible(window));

    ::SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At(x, bar.top - 40));
    EXPECT_EQ(m_log.levels.back(), 100);
    EXPECT_EQ(osd->GetLevel(), 100);
    ::SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At(x, bar.bottom + 40));
    EXPECT_EQ(m_log.levels.back(), 0);
    EXPECT_EQ(osd->GetValueText(), L"0");

    ::SendMessageW(window, WM_LBUTTONUP, 0, At(x, bar.bottom + 40));
    EXPECT_NE(::GetCapture(), window);
    const std::size_t count = m_log.levels.size();
    ::SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At(x, middle));
    EXPECT_EQ(m_log.levels.size(), count) << "no drag without the capture";

    // A press outside the bar does nothing.
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(bar.right + 3, middle));
    EXPECT_EQ(m_log.levels.size(), count);
    EXPECT_NE(::GetCapture(), window);
}

TEST_F(OSDWindows, TheWheelStepsByWholeNotchesOnlyWhileShownAndNotMuted)
{
    // A desktop that scrolls three lines a notch: a third of a notch is one step.
    PinOSDWheelLines(3);
    const int unit = OSDWheelUnit(3);

    auto osd = MakeBrightness();
    HWND window = osd->GetSafeHwnd();
    const UINT show = Registered(L"BRMP_OSDShowWindow");

    // Hidden: the notch is counted but changes nothing.
    ::SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, unit), 0);
    EXPECT_TRUE(m_log.levels.empty());

    ::SendMessageW(window, show, 1, 50);
    ::SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, unit), 0);
    ASSERT_EQ(m_log.levels.size(), 1u);
    EXPECT_EQ(m_log.levels.back(), 60) << "brightness moves ten per notch";
    ::SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(-unit * 2))), 0);
    EXPECT_EQ(m_log.levels.back(), 40);
    EXPECT_EQ(osd->GetLevel(), 40);

    const std::size_t whole = m_log.levels.size();
    ::SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, unit / 2), 0);
    EXPECT_EQ(m_log.levels.size(), whole) << "half a notch waits for the other half";
    ::SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, unit - unit / 2), 0);
    EXPECT_EQ(m_log.levels.back(), 50);

    ::SendMessageW(window, show, 1, 0x10000 | 30);
    const std::size_t count = m_log.levels.size();
    ::SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, unit), 0);
    const RECT bar = BarRect(*osd);
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At((bar.left + bar.right) / 2, bar.top + 1));
    EXPECT_EQ(m_log.levels.size(), count) << "a muted display takes no mouse input";
}

TEST_F(OSDWindows, OnADesktopWithTheWheelSwitchedOffTheWheelChangesNothing)
{
    PinOSDWheelLines(0);
    auto osd = MakeBrightness();
    ::SendMessageW(osd->GetSafeHwnd(), Registered(L"BRMP_OSDShowWindow"), 1, 50);
    ::SendMessageW(osd->GetSafeHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA * 3), 0);
    EXPECT_TRUE(m_log.levels.empty());
    EXPECT_EQ(osd->GetLevel(), 50);
}

TEST_F(OSDWindows, AChangeTheTargetRefusesLeavesTheDisplayAsItWas)
{
    auto osd = MakeVolume();
    HWND window = osd->GetSafeHwnd();
    m_log.accept = false;
    const RECT bar = BarRect(*osd);
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At((bar.left + bar.right) / 2, bar.top));
    ASSERT_EQ(m_log.levels.size(), 1u);
    EXPECT_EQ(osd->GetLevel(), 0);
    EXPECT_FALSE(::IsWindowVisible(window)) << "a refused change is not shown";
    ::SendMessageW(window, WM_LBUTTONUP, 0, 0);
}
