// Brightness actions on the real road: buttons of a probe window mapped to
// Brightness Up and Down, the library's hooks installed in this process,
// xdotool clicks; the hook thread's brightness object steps a stand-in display
// and tells the on-screen display window handed to the library.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "Brightness.h"
#include "Control.h"
#include "Folders.h"
#include "Hooks.h"
#include "IsolatedSettings.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"

using namespace brmptest;

namespace
{
constexpr int kRight = 1, kMiddle = 2;
constexpr int kBrightnessUp = 92, kBrightnessDown = 93;
const wchar_t kTitle[] = L"Brmp Brightness Window";

class FakeDisplay : public IBrightnessDevice
{
public:
    int Get() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_level;
    }
    bool Set(int level) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_level = level;
        return true;
    }
    void Put(int level)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_level = level;
    }

private:
    std::mutex m_mutex;
    int m_level = 50;
};

// The brightness display of the test: a window of this thread that keeps the
// levels it is told (WaitFor dispatches them while it polls).
class OsdRecorder
{
public:
    OsdRecorder()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &OsdRecorder::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BrmpTestBrightnessOsd";
        ::RegisterClassW(&wc);
        m_hWnd = ::CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        s_levels.clear();
    }
    ~OsdRecorder() { ::DestroyWindow(m_hWnd); }
    HWND Get() const { return m_hWnd; }
    static std::vector<LPARAM> s_levels;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == CBrightness::OSD_SHOW_WINDOW && wParam == 1)
            s_levels.push_back(lParam);
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND m_hWnd = nullptr;
};
std::vector<LPARAM> OsdRecorder::s_levels;

class BrightnessActionEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ProbeOptions options;
        options.title = kTitle;
        options.rect = RECT{60, 80, 560, 480};
        m_probe = std::make_unique<Probe>(options);
        ASSERT_TRUE(m_probe->Start());
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_isolated.Begin(L"Brightness", m_folder.Path()));
        SetBrightnessDevice(&m_display);
        ASSERT_TRUE(m_probe->Activate());
    }
    void TearDown() override
    {
        RemoveMouseHook(false);
        SetHookBrightnessOSDWindow(nullptr);
        SetBrightnessDevice(nullptr);
        m_isolated.End();
        m_probe.reset();
    }

    ::testing::AssertionResult LoadAndHook()
    {
        CSettings settings(false, CMouseInfo());
        settings.m_bSwitchOnMouseOver = true;
        CApplicationSettings* profile = AddProbeProfile(settings, kTitle);
        profile->SetActions(kRight, 0, kBrightnessUp);
        profile->SetActions(kMiddle, 0, kBrightnessDown);
        return IsolatedSettings::LoadAndHook(settings);
    }

    ::testing::AssertionResult ClickInProbe(int button)
    {
        RECT window{};
        ::GetWindowRect(m_probe->Window(), &window);
        if (auto moved = PhysicalInput::MoveToAndWait((window.left + window.right) / 2, (window.top + window.bottom) / 2);
            !moved)
            return moved;
        return PhysicalInput::Click(button);
    }

    bool LevelsAre(const std::vector<LPARAM>& levels)
    {
        return WaitFor([&] { return OsdRecorder::s_levels == levels; });
    }

    std::unique_ptr<Probe> m_probe;
    FakeDisplay m_display;
    TempFolder m_folder{L"brmpbrightness"};
    IsolatedSettings m_isolated;
};
} // namespace

TEST_F(BrightnessActionEndToEnd, BrightnessButtonsStepTheDisplayAndTellTheOnScreenDisplay)
{
    OsdRecorder osd;
    SetHookBrightnessOSDWindow(osd.Get());
    ASSERT_TRUE(LoadAndHook());

    m_display.Put(95);
    ASSERT_TRUE(ClickInProbe(PhysicalInput::kRight));
    EXPECT_TRUE(LevelsAre({100})) << OsdRecorder::s_levels.size();
    EXPECT_EQ(m_display.Get(), 100);

    ASSERT_TRUE(ClickInProbe(PhysicalInput::kMiddle));
    EXPECT_TRUE(LevelsAre({100, 90}));
    EXPECT_EQ(m_display.Get(), 90);

    // A display that cannot be read: nothing is set, the display says so.
    m_display.Put(-1);
    ASSERT_TRUE(ClickInProbe(PhysicalInput::kRight));
    EXPECT_TRUE(LevelsAre({100, 90, CBrightness::Unavailable}));
}
