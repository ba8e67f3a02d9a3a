// Brightness steps and their report to the on-screen display, over a stand-in
// display, and once over the system's WMI (which Wine and desktop monitors
// list no display in).

#include <gtest/gtest.h>

#include <vector>

#include "Brightness.h"

namespace
{
class FakeDisplay : public IBrightnessDevice
{
public:
    int Get() override { return level; }
    bool Set(int value) override
    {
        sets.push_back(value);
        if (!accept)
            return false;
        level = value;
        return true;
    }

    int level = 50;
    bool accept = true;
    std::vector<int> sets;
};

class InstalledDisplay
{
public:
    InstalledDisplay() { SetBrightnessDevice(&display); }
    ~InstalledDisplay() { SetBrightnessDevice(nullptr); }
    FakeDisplay display;
};

// A window of the test thread that collects the display's messages; the step
// posts on the calling thread, so the message is there when the call returns.
class OsdWindow
{
public:
    OsdWindow()
        : m_hWnd(::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
    {
    }
    ~OsdWindow() { ::DestroyWindow(m_hWnd); }
    HWND Get() const { return m_hWnd; }
    // The lParam of the one message waiting, or -1 when none (or more than one).
    LPARAM TakeOnly()
    {
        MSG msg;
        if (!::PeekMessageW(&msg, m_hWnd, CBrightness::OSD_SHOW_WINDOW, CBrightness::OSD_SHOW_WINDOW, PM_REMOVE))
            return -1;
        EXPECT_EQ(msg.wParam, 1u);
        MSG extra;
        if (::PeekMessageW(&extra, m_hWnd, CBrightness::OSD_SHOW_WINDOW, CBrightness::OSD_SHOW_WINDOW, PM_REMOVE))
            return -1;
        return msg.lParam;
    }

private:
    HWND m_hWnd;
};
}

TEST(Brightness, AStepMovesTenWithinZeroToHundredAndReportsTheNewLevel)
{
    const struct
    {
        int start;
        bool up;
        int set;
    } cases[] = {{95, true, 100}, {100, true, 100}, {5, false, 0}, {50, false, 40}, {0, false, 0}, {37, true, 47}};
    InstalledDisplay installed;
    OsdWindow osd;
    CBrightness brightness(osd.Get());
    for (const auto& c : cases)
    {
        installed.display.level = c.start;
        installed.display.sets.clear();
        if (c.up)
            brightness.Up(POINT{10, 10});
        else
            brightness.Down(POINT{10, 10});
        EXPECT_EQ(installed.display.sets, std::vector<int>{c.set}) << c.start << (c.up ? " up" : " down");
        EXPECT_EQ(osd.TakeOnly(), c.set) << c.start << (c.up ? " up" : " down");
    }
}

TEST(Brightness, AnUnreadableOrRefusedLevelIsReportedAsUnavailable)
{
    InstalledDisplay installed;
    OsdWindow osd;
    CBrightness brightness(osd.Get());

    installed.display.level = -1;
    brightness.Up(POINT{});
    EXPECT_TRUE(installed.display.sets.empty());
    EXPECT_EQ(osd.TakeOnly(), CBrightness::Unavailable);

    installed.display.level = 60;
    installed.display.accept = false;
    brightness.Down(POINT{});
    EXPECT_EQ(installed.display.sets, std::vector<int>{50});
    EXPECT_EQ(osd.TakeOnly(), 50 | CBrightness::Unavailable);
}

TEST(Brightness, WithoutADisplayWindowTheLevelStillChanges)
{
    InstalledDisplay installed;
    OsdWindow osd;
    CBrightness brightness(nullptr);
    installed.display.level = 20;
    brightness.Up(POINT{});
    EXPECT_EQ(installed.display.level, 30);

    // The window handed over later receives the next step.
    brightness.SetOSD(osd.Get());
    brightness.Up(POINT{});
    EXPECT_EQ(osd.TakeOnly(), 40);
}

TEST(Brightness, ALevelFromOutsideIsKeptWithinZeroToHundred)
{
    InstalledDisplay installed;
    EXPECT_TRUE(CBrightness::SetBrightness(250));
    EXPECT_TRUE(CBrightness::SetBrightness(-3));
    EXPECT_EQ(installed.display.sets, (std::vector<int>{100, 0}));
    EXPECT_EQ(SteppedBrightness(0x7FFFFFFF, 1), 100);
    EXPECT_EQ(SteppedBrightness(-0x7FFFFFFF, -1), 0);
}

TEST(BrightnessOnThisMachine, AStepThroughWmiSetsTheNextLevelOrWithoutADisplaySetsNothingAndSaysUnavailable)
{
    struct ComScope
    {
        const bool on = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        ~ComScope()
        {
            if (on)
                ::CoUninitialize();
        }
    } com;
    OsdWindow osd;
    CBrightness brightness(osd.Get());
    // Wine's root\wmi answers the query with no display, as a desktop monitor
    // does; a laptop's panel lists one.
    const int level = WmiBrightnessDevice().Get();
    if (level >= 0)
    {
        EXPECT_LE(level, 100);
        // The display took the step: the report carries no "unavailable".
        brightness.Up(POINT{});
        EXPECT_EQ(osd.TakeOnly(), SteppedBrightness(level, 1));
        EXPECT_TRUE(WmiBrightnessDevice().Set(level)) << "the display's level was not put back";
        return;
    }
    // No display listed: setting one is a failure, not a success.
    EXPECT_FALSE(WmiBrightnessDevice().Set(50));
    brightness.Up(POINT{});
    EXPECT_EQ(osd.TakeOnly(), CBrightness::Unavailable);
}
