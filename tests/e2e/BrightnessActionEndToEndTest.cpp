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

int NoQuestion(const wchar_t*, const wchar_t*, UINT type)
{
    return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDIGNORE;
}
void NoExit(UINT)
{
}

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
        m_key = L"Software\\BrindlemapTest\\Brightness-" + std::to_wstring(::GetCurrentProcessId());
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                    nullptr),
                  ERROR_SUCCESS);
        const std::wstring folder = m_folder.Path();
        ::RegSetValueExW(key, L"SettingsFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
        SetProgramRegistryKeys(m_key.c_str(), m_key.c_str());
        SetSettingsLoadQuestions(NoQuestion, NoExit);
        SetBrightnessDevice(&m_display);
        ASSERT_TRUE(m_probe->Activate());
    }
    void TearDown() override
    {
        RemoveMouseHook(false);
        SetHookBrightnessOSDWindow(nullptr);
        SetBrightnessDevice(nullptr);
        SetSettingsLoadQuestions(nullptr, nullptr);
        SetProgramRegistryKeys(nullptr, nullptr);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_key.c_str());
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
        m_probe.reset();
    }

    ::testing::AssertionResult LoadAndHook()
    {
        wchar_t path[kMaxPathChars] = L"";
        if (GetDefaultSettingsFile(path, kMaxPathChars) != 0)
            return ::testing::AssertionFailure() << "no settings file path";
        {
            CSettings settings(false, CMouseInfo());
            settings.m_bSwitchOnMouseOver = true;
            auto* profile = new CApplicationSettings(&settings, false, 1);
            const std::wstring sep = kWindowKeySeparator;
            profile->SetApplication(
                (L"W3:" + std::wstring(kTitle) + sep + L"BrmpProbe.exe" + sep + L"BrmpProbeWindow" + sep + L"*").c_str());
            profile->SetDescription(kTitle);
            profile->SetMatchType(1);
            profile->SetWindowMask(WINDOWMASK_ALL);
            profile->SetActions(kRight, 0, kBrightnessUp);
            profile->SetActions(kMiddle, 0, kBrightnessDown);
            settings.AddApplication(profile);
            ::DeleteFileW(path);
            if (!settings.Save(path))
                return ::testing::AssertionFailure() << "the settings file could not be written";
        }
        if (!UpdateSettings())
            return ::testing::AssertionFailure() << "UpdateSettings failed";
        if (!SetMouseHook())
            return ::testing::AssertionFailure() << "SetMouseHook failed";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult ClickInProbe(int button)
    {
        RECT window{};
        ::GetWindowRect(m_probe->Window(), &window);
        const POINT at{(window.left + window.right) / 2, (window.top + window.bottom) / 2};
        POINT cursor{};
        if (::GetCursorPos(&cursor) && cursor.x == at.x && cursor.y == at.y)
            return PhysicalInput::Click(button);
        if (!PhysicalInput::MoveTo(at.x, at.y))
            return ::testing::AssertionFailure() << "xdotool move failed";
        if (!WaitFor([&] {
                POINT cursor{};
                return ::GetCursorPos(&cursor) && cursor.x == at.x && cursor.y == at.y;
            }))
            return ::testing::AssertionFailure() << "the cursor did not arrive";
        return PhysicalInput::Click(button);
    }

    bool LevelsAre(const std::vector<LPARAM>& levels)
    {
        return WaitFor([&] { return OsdRecorder::s_levels == levels; });
    }

    std::unique_ptr<Probe> m_probe;
    FakeDisplay m_display;
    TempFolder m_folder{L"brmpbrightness"};
    std::wstring m_key;
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
