// Button actions on the real road: the test writes a settings file whose
// profiles are bound to probe windows, the library loads it and installs its
// hooks in this process, and xdotool presses the physical buttons. The probes
// record what reached them: the remapped action, never the original click.

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "Control.h"
#include "Folders.h"
#include "Hooks.h"
#include "IsolatedSettings.h"
#include "Layers.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"

using namespace brmptest;

namespace
{
// Button indexes and action codes as the settings file stores them.
constexpr int kLeft = 0, kRight = 1, kMiddle = 2, kXLeft = 3, kWheelUp = 7;
constexpr int kLeftClickAction = 0, kMiddleClick = 5, kDisable = 6, kClose = 7, kCopy = 8, kMaximize = 12,
              kMinimize = 13, kSimulatedKeys = 28, kRestore = 32, kNoChange = 40, kLayer2 = 55;

const wchar_t kMainTitle[] = L"Brmp Dispatch Window";
const wchar_t kOtherTitle[] = L"Brmp Unmapped Window";
const wchar_t kCloseTitle[] = L"Brmp Window To Close";

struct Slot
{
    int button;
    int layer;
    int code;
    const wchar_t* keys = nullptr;   // simulated keys
    int keyMode = 0;
};

struct BoundProfile
{
    const wchar_t* title;
    std::vector<Slot> slots;
};

class ActionDispatchEndToEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ProbeOptions main;
        main.title = kMainTitle;
        main.rect = RECT{40, 60, 600, 520};
        ProbeOptions other;
        other.title = kOtherTitle;
        other.rect = RECT{680, 60, 1180, 520};
        s_main = std::make_unique<Probe>(main);
        s_other = std::make_unique<Probe>(other);
        s_started = ::testing::AssertionResult(s_main->Start() && s_other->Start());
    }
    static void TearDownTestSuite()
    {
        s_main.reset();
        s_other.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_started);
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_isolated.Begin(L"Dispatch", m_folder.Path()));
        if (::IsIconic(s_main->Window()) || ::IsZoomed(s_main->Window()))
            ::ShowWindow(s_main->Window(), SW_RESTORE);
        ASSERT_TRUE(s_main->Activate());
    }
    void TearDown() override
    {
        RemoveMouseHook(false);
        m_isolated.End();
    }

    // Writes a settings file with one window profile per entry (bound to the
    // probe of that title), loads it and installs the hooks.
    ::testing::AssertionResult LoadAndHook(const std::vector<BoundProfile>& profiles)
    {
        wchar_t path[kMaxPathChars] = L"";
        if (GetDefaultSettingsFile(path, kMaxPathChars) != 0)
            return ::testing::AssertionFailure() << "no settings file path";
        {
            CSettings settings(false, CMouseInfo());
            settings.m_bSwitchOnMouseOver = true;
            int index = 1;
            for (const BoundProfile& bound : profiles)
            {
                auto* profile = new CApplicationSettings(&settings, false, index++);
                const std::wstring sep = kWindowKeySeparator;
                profile->SetApplication((L"W3:" + std::wstring(bound.title) + sep + L"BrmpProbe.exe" + sep +
                                         L"BrmpProbeWindow" + sep + L"*")
                                            .c_str());
                profile->SetDescription(bound.title);
                profile->SetMatchType(1);
                profile->SetWindowMask(WINDOWMASK_ALL);
                for (const Slot& slot : bound.slots)
                {
                    profile->SetActions(slot.button, slot.layer, slot.code);
                    if (slot.keys != nullptr)
                        profile->SetKeystrokes(slot.button, slot.layer, slot.keys, slot.keyMode, 0, false, true,
                                               false, false);
                }
                settings.AddApplication(profile);
            }
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

    static POINT Inside(Probe& probe, double fx = 0.5, double fy = 0.5)
    {
        RECT window{};
        ::GetWindowRect(probe.Window(), &window);
        return {window.left + static_cast<LONG>((window.right - window.left) * fx),
                window.top + static_cast<LONG>((window.bottom - window.top) * fy)};
    }

    // Moves there and waits until the system reports the cursor there: the
    // hook takes the cursor's position as the click's point.
    static ::testing::AssertionResult MoveThere(POINT at)
    {
        // xdotool's synchronous move waits for a motion that never comes when
        // the pointer is there already.
        POINT now{};
        if (::GetCursorPos(&now) && now.x == at.x && now.y == at.y)
            return ::testing::AssertionSuccess();
        if (!PhysicalInput::MoveTo(at.x, at.y))
            return ::testing::AssertionFailure() << "xdotool move failed";
        if (!WaitFor([&] {
                POINT cursor{};
                return ::GetCursorPos(&cursor) && cursor.x == at.x && cursor.y == at.y;
            }))
            return ::testing::AssertionFailure() << "the cursor did not arrive at " << at.x << "," << at.y;
        return ::testing::AssertionSuccess();
    }

    // A key tap that nothing remaps: once the probe has it, every input
    // before it has been delivered.
    static ::testing::AssertionResult Fence(Probe& probe, long long& seq)
    {
        if (!PhysicalInput::KeyTap(L"F9"))
            return ::testing::AssertionFailure() << "xdotool key failed";
        const auto record = probe.WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_F9));
        if (!record)
            return ::testing::AssertionFailure() << "the fence key never arrived\n" << probe.Describe();
        seq = record->Value(L"seq");
        return ::testing::AssertionSuccess();
    }

    static std::wstring Typed(Probe& probe)
    {
        std::wstring text;
        for (const ProbeRecord& record : probe.Records(Named(L"WM_CHAR")))
            text += static_cast<wchar_t>(record.Value(L"char"));
        return text;
    }

    static bool Has(Probe& probe, const wchar_t* name) { return !probe.Records(Named(name)).empty(); }

    TempFolder m_folder{L"brmpdispatch"};
    IsolatedSettings m_isolated;
    static std::unique_ptr<Probe> s_main;
    static std::unique_ptr<Probe> s_other;
    static ::testing::AssertionResult s_started;
};

std::unique_ptr<Probe> ActionDispatchEndToEnd::s_main;
std::unique_ptr<Probe> ActionDispatchEndToEnd::s_other;
::testing::AssertionResult ActionDispatchEndToEnd::s_started = ::testing::AssertionFailure();
} // namespace

TEST_F(ActionDispatchEndToEnd, ARightClickMappedToKeysTypesThemAndNeverArrivesButPassesElsewhere)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle, {{kRight, 0, kSimulatedKeys, L"{SHIFT}hello", 0}}}}));

    s_main->Clear();
    ASSERT_TRUE(MoveThere(Inside(*s_main)));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    s_main->WaitForRecords(Named(L"WM_CHAR"), 5);
    long long fence = 0;
    ASSERT_TRUE(Fence(*s_main, fence));
    EXPECT_EQ(Typed(*s_main), L"Hello") << s_main->Describe();
    EXPECT_FALSE(Has(*s_main, L"WM_RBUTTONDOWN") || Has(*s_main, L"WM_RBUTTONUP")) << s_main->Describe();

    // The window of no profile gets the click as it was and no keys.
    ASSERT_TRUE(s_other->Activate());
    s_other->Clear();
    ASSERT_TRUE(MoveThere(Inside(*s_other)));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    EXPECT_TRUE(s_other->WaitForRecord(Named(L"WM_RBUTTONUP"))) << s_other->Describe();
    EXPECT_TRUE(Has(*s_other, L"WM_RBUTTONDOWN")) << s_other->Describe();
    EXPECT_EQ(Typed(*s_other), L"");
}

TEST_F(ActionDispatchEndToEnd, NoChangePassesTheClickAndDisableSwallowsIt)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle, {{kRight, 0, kNoChange}, {kMiddle, 0, kDisable}}}}));
    s_main->Clear();
    ASSERT_TRUE(MoveThere(Inside(*s_main)));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    EXPECT_TRUE(s_main->WaitForRecord(Named(L"WM_RBUTTONUP"))) << s_main->Describe();
    long long fence = 0;
    ASSERT_TRUE(Fence(*s_main, fence));
    EXPECT_TRUE(Has(*s_main, L"WM_RBUTTONDOWN"));
    EXPECT_FALSE(Has(*s_main, L"WM_MBUTTONDOWN") || Has(*s_main, L"WM_MBUTTONUP")) << s_main->Describe();
}

TEST_F(ActionDispatchEndToEnd, ButtonsMappedToAClickAKeyChordAndKeysDoThatInstead)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle,
                              {{kLeft, 0, kMiddleClick},
                               {kXLeft, 0, kCopy},
                               {kWheelUp, 0, kSimulatedKeys, L"w", 0}}}}));
    s_main->Clear();
    const POINT at = Inside(*s_main, 0.4, 0.6);
    ASSERT_TRUE(MoveThere(at));

    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kLeft));
    const auto middleUp = s_main->WaitForRecord(Named(L"WM_MBUTTONUP"));
    ASSERT_TRUE(middleUp) << s_main->Describe();
    EXPECT_TRUE(Has(*s_main, L"WM_MBUTTONDOWN"));
    EXPECT_EQ(middleUp->Value(L"sx", -1), at.x);
    EXPECT_EQ(middleUp->Value(L"sy", -1), at.y);

    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kBack));
    EXPECT_TRUE(s_main->WaitForRecord(Named(L"WM_KEYUP", L"vk", 'C'))) << s_main->Describe();
    EXPECT_FALSE(s_main->Records(Named(L"WM_KEYDOWN", L"vk", VK_CONTROL)).empty()) << s_main->Describe();

    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kWheelUp));
    EXPECT_TRUE(s_main->WaitForRecord(Named(L"WM_CHAR", L"char", 'w'))) << s_main->Describe();

    long long fence = 0;
    ASSERT_TRUE(Fence(*s_main, fence));
    for (const wchar_t* original : {L"WM_LBUTTONDOWN", L"WM_LBUTTONUP", L"WM_XBUTTONDOWN", L"WM_XBUTTONUP",
                                    L"WM_APPCOMMAND", L"WM_MOUSEWHEEL"})
        EXPECT_FALSE(Has(*s_main, original)) << original << "\n" << s_main->Describe();
}

TEST_F(ActionDispatchEndToEnd, WindowActionsMaximiseRestoreAndMinimiseTheWindowUnderTheCursor)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle, {{kMiddle, 0, kMaximize}, {kXLeft, 0, kRestore}, {kRight, 0, kMinimize}}}}));
    const HWND window = s_main->Window();
    struct Step
    {
        int xbutton;
        long long command;
        std::function<bool()> done;
    };
    const Step steps[] = {
        {PhysicalInput::kMiddle, SC_MAXIMIZE, [window] { return ::IsZoomed(window) != FALSE; }},
        {PhysicalInput::kBack, SC_RESTORE, [window] { return ::IsZoomed(window) == FALSE; }},
        {PhysicalInput::kRight, SC_MINIMIZE, [window] { return ::IsIconic(window) != FALSE; }},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(testing::Message() << "command 0x" << std::hex << step.command);
        s_main->Clear();
        ASSERT_TRUE(MoveThere(Inside(*s_main, 0.5, 0.5)));
        ASSERT_TRUE(PhysicalInput::Click(step.xbutton));
        EXPECT_TRUE(s_main->WaitForRecord(Named(L"WM_SYSCOMMAND", L"command", step.command))) << s_main->Describe();
        EXPECT_TRUE(WaitFor(step.done));
        for (const wchar_t* original : {L"WM_MBUTTONUP", L"WM_RBUTTONUP", L"WM_XBUTTONUP"})
            EXPECT_FALSE(Has(*s_main, original)) << original;
    }
    ::ShowWindow(window, SW_RESTORE);
}

TEST_F(ActionDispatchEndToEnd, TheCloseActionClosesTheWindowUnderTheCursor)
{
    ProbeOptions options;
    options.title = kCloseTitle;
    options.rect = RECT{200, 200, 700, 600};
    Probe victim(options);
    ASSERT_TRUE(victim.Start());
    ASSERT_TRUE(LoadAndHook({{kCloseTitle, {{kMiddle, 0, kClose}}}}));
    victim.Clear();
    ASSERT_TRUE(MoveThere(Inside(victim)));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    EXPECT_TRUE(victim.WaitForRecord(Named(L"WM_SYSCOMMAND", L"command", SC_CLOSE))) << victim.Describe();
    EXPECT_TRUE(victim.WaitForRecord(Named(L"WM_CLOSE"))) << victim.Describe();
    EXPECT_TRUE(WaitFor([&] { return !victim.IsRunning(); }));
}

TEST_F(ActionDispatchEndToEnd, KeyModesSendOnThePressOnTheReleaseOrHoldWhileTheButtonIsDown)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle,
                              {{kMiddle, 0, kSimulatedKeys, L"a", 0},
                               {kRight, 0, kSimulatedKeys, L"b", 1},
                               {kXLeft, 0, kSimulatedKeys, L"c", 2}}}}));
    ASSERT_TRUE(MoveThere(Inside(*s_main)));
    long long fence = 0;

    // pressed: the whole key goes while the button is still down
    s_main->Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    EXPECT_TRUE(s_main->WaitForRecord(Named(L"WM_KEYUP", L"vk", 'A'))) << s_main->Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    ASSERT_TRUE(Fence(*s_main, fence));
    EXPECT_EQ(s_main->Records(Named(L"WM_KEYDOWN", L"vk", 'A')).size(), 1u) << s_main->Describe();

    // released: nothing until the release
    s_main->Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kRight));
    ASSERT_TRUE(Fence(*s_main, fence));
    EXPECT_TRUE(s_main->Records(Named(L"WM_KEYDOWN", L"vk", 'B')).empty()) << s_main->Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kRight));
    const auto released = s_main->WaitForRecord(Named(L"WM_KEYDOWN", L"vk", 'B'));
    ASSERT_TRUE(released) << s_main->Describe();
    EXPECT_GT(released->Value(L"seq"), fence);

    // during: down with the button, up with its release
    s_main->Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kBack));
    EXPECT_TRUE(s_main->WaitForRecord(Named(L"WM_KEYDOWN", L"vk", 'C'))) << s_main->Describe();
    ASSERT_TRUE(Fence(*s_main, fence));
    EXPECT_TRUE(s_main->Records(Named(L"WM_KEYUP", L"vk", 'C')).empty()) << s_main->Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kBack));
    const auto up = s_main->WaitForRecord(Named(L"WM_KEYUP", L"vk", 'C'));
    ASSERT_TRUE(up) << s_main->Describe();
    EXPECT_GT(up->Value(L"seq"), fence);
}

TEST_F(ActionDispatchEndToEnd, AHeldLayerButtonSwitchesTheLayerWhileHeldAndReturnsOnRelease)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle,
                              {{kMiddle, 0, kLayer2},
                               {kRight, 0, kNoChange},
                               {kRight, 1, kSimulatedKeys, L"z", 0}}}}));
    ASSERT_TRUE(MoveThere(Inside(*s_main, 0.6, 0.4)));
    s_main->Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([] { return GetCurrentLayer() == 1; }));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    EXPECT_TRUE(s_main->WaitForRecord(Named(L"WM_CHAR", L"char", 'z'))) << s_main->Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; }));

    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    EXPECT_TRUE(s_main->WaitForRecord(Named(L"WM_RBUTTONUP"))) << s_main->Describe();
    long long fence = 0;
    ASSERT_TRUE(Fence(*s_main, fence));
    EXPECT_EQ(s_main->Records(Named(L"WM_RBUTTONDOWN")).size(), 1u) << s_main->Describe();
    EXPECT_EQ(Typed(*s_main), L"z");
    EXPECT_FALSE(Has(*s_main, L"WM_MBUTTONDOWN") || Has(*s_main, L"WM_MBUTTONUP")) << s_main->Describe();
}
