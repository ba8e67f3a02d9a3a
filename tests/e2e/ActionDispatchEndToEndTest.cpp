// Button actions on the real road: the test writes a settings file whose
// profiles are bound to probe windows, the library loads it and installs its
// hooks in this process, and xdotool presses the physical buttons. The probes
// record what reached them: the remapped action, never the original click;
// another program's click of a button the user holds is its own click, and
// leaves a sticky drag the user holds as it is; a physical click of the
// button a sticky drag holds drops the drag; keys a button holds come up at
// its release whatever window came in front meanwhile.

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "Control.h"
#include "Folders.h"
#include "Globals.h"
#include "Hooks.h"
#include "IsolatedSettings.h"
#include "Layers.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProbeSuite.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"

using namespace brmptest;

namespace
{
// Button indexes and action codes as the settings file stores them.
constexpr int kLeft = 0, kRight = 1, kMiddle = 2, kXLeft = 3, kXRight = 4, kWheelUp = 7;
constexpr int kLeftClickAction = 0, kMiddleClick = 5, kDisable = 6, kClose = 7, kCopy = 8, kMaximize = 12,
              kMinimize = 13, kSimulatedKeys = 28, kRestore = 32, kNoChange = 40, kStickyLeft = 49, kLayer2 = 55;

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
    bool onlyToItsWindow = false;   // the keys go only while the profile's window is active
};

struct BoundProfile
{
    const wchar_t* title;
    std::vector<Slot> slots;
};

class ActionDispatchEndToEnd : public ProbeSuite<ActionDispatchEndToEnd>
{
protected:
    ActionDispatchEndToEnd() : ProbeSuite(L"Dispatch") {}

    static void SetUpTestSuite()
    {
        ProbeOptions main;
        main.title = kMainTitle;
        main.rect = RECT{40, 60, 600, 520};
        ProbeOptions other;
        other.title = kOtherTitle;
        other.rect = RECT{680, 60, 1180, 520};
        StartProbes({main, other});
    }
    static Probe& MainProbe() { return ProbeAt(0); }
    static Probe& OtherProbe() { return ProbeAt(1); }

    void SetUp() override
    {
        ProbeSuite::SetUp();
        if (HasFatalFailure())
            return;
        if (::IsIconic(MainProbe().Window()) || ::IsZoomed(MainProbe().Window()))
            ::ShowWindow(MainProbe().Window(), SW_RESTORE);
        ASSERT_TRUE(MainProbe().Activate());
    }

    // Writes a settings file with one window profile per entry (bound to the
    // probe of that title), loads it and installs the hooks.
    ::testing::AssertionResult LoadAndHook(const std::vector<BoundProfile>& profiles)
    {
        CSettings settings(false, CMouseInfo());
        settings.m_bSwitchOnMouseOver = true;
        int index = 1;
        for (const BoundProfile& bound : profiles)
        {
            CApplicationSettings* profile = AddProbeProfile(settings, bound.title, index++);
            for (const Slot& slot : bound.slots)
            {
                profile->SetActions(slot.button, slot.layer, slot.code);
                if (slot.keys != nullptr)
                    profile->SetKeystrokes(slot.button, slot.layer, slot.keys, slot.keyMode, 0, slot.onlyToItsWindow, true,
                                           false, false);
            }
        }
        return IsolatedSettings::LoadAndHook(settings);
    }

    static POINT Inside(Probe& probe, double fx = 0.5, double fy = 0.5)
    {
        RECT window{};
        ::GetWindowRect(probe.Window(), &window);
        return {window.left + static_cast<LONG>((window.right - window.left) * fx),
                window.top + static_cast<LONG>((window.bottom - window.top) * fy)};
    }

    // The hook takes the cursor's position as the click's point.
    static ::testing::AssertionResult MoveThere(POINT at) { return PhysicalInput::MoveToAndWait(at.x, at.y); }

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
};

} // namespace

TEST_F(ActionDispatchEndToEnd, ARightClickMappedToKeysTypesThemAndNeverArrivesButPassesElsewhere)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle, {{kRight, 0, kSimulatedKeys, L"{SHIFT}hello", 0}}}}));

    MainProbe().Clear();
    ASSERT_TRUE(MoveThere(Inside(MainProbe())));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    MainProbe().WaitForRecords(Named(L"WM_CHAR"), 5);
    long long fence = 0;
    ASSERT_TRUE(Fence(MainProbe(), fence));
    EXPECT_EQ(Typed(MainProbe()), L"Hello") << MainProbe().Describe();
    EXPECT_FALSE(Has(MainProbe(), L"WM_RBUTTONDOWN") || Has(MainProbe(), L"WM_RBUTTONUP")) << MainProbe().Describe();

    // The window of no profile gets the click as it was and no keys.
    ASSERT_TRUE(OtherProbe().Activate());
    ASSERT_TRUE(PhysicalInput::PrepareForInput(OtherProbe().Window()));
    OtherProbe().Clear();
    ASSERT_TRUE(MoveThere(Inside(OtherProbe())));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    EXPECT_TRUE(OtherProbe().WaitForRecord(Named(L"WM_RBUTTONUP"))) << OtherProbe().Describe();
    EXPECT_TRUE(Has(OtherProbe(), L"WM_RBUTTONDOWN")) << OtherProbe().Describe();
    ASSERT_TRUE(Fence(OtherProbe(), fence));
    EXPECT_EQ(Typed(OtherProbe()), L"");
}

TEST_F(ActionDispatchEndToEnd, NoChangePassesTheClickAndDisableSwallowsIt)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle, {{kRight, 0, kNoChange}, {kMiddle, 0, kDisable}}}}));
    MainProbe().Clear();
    ASSERT_TRUE(MoveThere(Inside(MainProbe())));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    EXPECT_TRUE(MainProbe().WaitForRecord(Named(L"WM_RBUTTONUP"))) << MainProbe().Describe();
    long long fence = 0;
    ASSERT_TRUE(Fence(MainProbe(), fence));
    EXPECT_TRUE(Has(MainProbe(), L"WM_RBUTTONDOWN"));
    EXPECT_FALSE(Has(MainProbe(), L"WM_MBUTTONDOWN") || Has(MainProbe(), L"WM_MBUTTONUP")) << MainProbe().Describe();
}

TEST_F(ActionDispatchEndToEnd, ButtonsMappedToAClickAKeyChordAndKeysDoThatInstead)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle,
                              {{kLeft, 0, kMiddleClick},
                               {kXLeft, 0, kCopy},
                               {kWheelUp, 0, kSimulatedKeys, L"w", 0}}}}));
    MainProbe().Clear();
    const POINT at = Inside(MainProbe(), 0.4, 0.6);
    ASSERT_TRUE(MoveThere(at));

    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kLeft));
    const auto middleUp = MainProbe().WaitForRecord(Named(L"WM_MBUTTONUP"));
    ASSERT_TRUE(middleUp) << MainProbe().Describe();
    EXPECT_TRUE(Has(MainProbe(), L"WM_MBUTTONDOWN"));
    EXPECT_EQ(middleUp->Value(L"sx", -1), at.x);
    EXPECT_EQ(middleUp->Value(L"sy", -1), at.y);

    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kBack));
    EXPECT_TRUE(MainProbe().WaitForRecord(Named(L"WM_KEYUP", L"vk", 'C'))) << MainProbe().Describe();
    EXPECT_FALSE(MainProbe().Records(Named(L"WM_KEYDOWN", L"vk", VK_CONTROL)).empty()) << MainProbe().Describe();

    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kWheelUp));
    EXPECT_TRUE(MainProbe().WaitForRecord(Named(L"WM_CHAR", L"char", 'w'))) << MainProbe().Describe();

    long long fence = 0;
    ASSERT_TRUE(Fence(MainProbe(), fence));
    for (const wchar_t* original : {L"WM_LBUTTONDOWN", L"WM_LBUTTONUP", L"WM_XBUTTONDOWN", L"WM_XBUTTONUP",
                                    L"WM_APPCOMMAND", L"WM_MOUSEWHEEL"})
        EXPECT_FALSE(Has(MainProbe(), original)) << original << "\n" << MainProbe().Describe();
}

TEST_F(ActionDispatchEndToEnd, WindowActionsMaximiseRestoreAndMinimiseTheWindowUnderTheCursor)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle, {{kMiddle, 0, kMaximize}, {kXLeft, 0, kRestore}, {kRight, 0, kMinimize}}}}));
    const HWND window = MainProbe().Window();
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
    long long fence = 0;
    for (const Step& step : steps)
    {
        SCOPED_TRACE(testing::Message() << "command 0x" << std::hex << step.command);
        MainProbe().Clear();
        ASSERT_TRUE(MoveThere(Inside(MainProbe(), 0.5, 0.5)));
        ASSERT_TRUE(PhysicalInput::Click(step.xbutton));
        EXPECT_TRUE(MainProbe().WaitForRecord(Named(L"WM_SYSCOMMAND", L"command", step.command))) << MainProbe().Describe();
        EXPECT_TRUE(WaitFor(step.done));
        // A minimised window has no keyboard: restored and focused, it gets
        // the fence key behind whatever the button left in its queue.
        if (::IsIconic(window))
        {
            ::ShowWindow(window, SW_RESTORE);
            ASSERT_TRUE(MainProbe().Activate());
            ASSERT_TRUE(PhysicalInput::PrepareForInput(window));
        }
        ASSERT_TRUE(Fence(MainProbe(), fence));
        for (const wchar_t* original : {L"WM_MBUTTONUP", L"WM_RBUTTONUP", L"WM_XBUTTONUP"})
            EXPECT_FALSE(Has(MainProbe(), original)) << original << "\n" << MainProbe().Describe();
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
    ASSERT_TRUE(MoveThere(Inside(MainProbe())));
    long long fence = 0;

    // pressed: the whole key goes while the button is still down
    MainProbe().Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    EXPECT_TRUE(MainProbe().WaitForRecord(Named(L"WM_KEYUP", L"vk", 'A'))) << MainProbe().Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    ASSERT_TRUE(Fence(MainProbe(), fence));
    EXPECT_EQ(MainProbe().Records(Named(L"WM_KEYDOWN", L"vk", 'A')).size(), 1u) << MainProbe().Describe();

    // released: nothing until the release
    MainProbe().Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kRight));
    ASSERT_TRUE(Fence(MainProbe(), fence));
    EXPECT_TRUE(MainProbe().Records(Named(L"WM_KEYDOWN", L"vk", 'B')).empty()) << MainProbe().Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kRight));
    const auto released = MainProbe().WaitForRecord(Named(L"WM_KEYDOWN", L"vk", 'B'));
    ASSERT_TRUE(released) << MainProbe().Describe();
    EXPECT_GT(released->Value(L"seq"), fence);

    // during: down with the button, up with its release
    MainProbe().Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kBack));
    EXPECT_TRUE(MainProbe().WaitForRecord(Named(L"WM_KEYDOWN", L"vk", 'C'))) << MainProbe().Describe();
    ASSERT_TRUE(Fence(MainProbe(), fence));
    EXPECT_TRUE(MainProbe().Records(Named(L"WM_KEYUP", L"vk", 'C')).empty()) << MainProbe().Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kBack));
    const auto up = MainProbe().WaitForRecord(Named(L"WM_KEYUP", L"vk", 'C'));
    ASSERT_TRUE(up) << MainProbe().Describe();
    EXPECT_GT(up->Value(L"seq"), fence);
}

TEST_F(ActionDispatchEndToEnd, KeysAButtonHoldsComeUpAtTheClickThatEndsThemAfterAnotherWindowCameInFront)
{
    // With the dialog's defaults (only while its window is active, the button
    // itself blocked) X1 holds Ctrl while it is held, and X2 holds Shift from
    // one click to the next. Meanwhile another window comes in front, as one
    // a Ctrl+click opens does.
    ASSERT_TRUE(LoadAndHook({{kMainTitle,
                              {{kXLeft, 0, kSimulatedKeys, L"{CTRL}", KEYMODE_DURING, true},
                               {kXRight, 0, kSimulatedKeys, L"{SHIFT}", KEYMODE_STICKY_HOLD, true}}}}));
    ASSERT_TRUE(MoveThere(Inside(MainProbe())));
    MainProbe().Clear();
    OtherProbe().Clear();
    PhysicalInput::HeldButton back(PhysicalInput::kBack);
    ASSERT_TRUE(back.Held());
    ASSERT_TRUE(MainProbe().WaitForRecord(Named(L"WM_KEYDOWN", L"vk", VK_CONTROL))) << MainProbe().Describe();
    ASSERT_TRUE(OtherProbe().Activate());
    ASSERT_TRUE(back.Release());
    EXPECT_TRUE(OtherProbe().WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_CONTROL)))
        << "Ctrl stays down\n" << OtherProbe().Describe() << MainProbe().Describe();

    ASSERT_TRUE(MainProbe().Activate());
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kForward));
    ASSERT_TRUE(MainProbe().WaitForRecord(Named(L"WM_KEYDOWN", L"vk", VK_SHIFT))) << MainProbe().Describe();
    ASSERT_TRUE(OtherProbe().Activate());
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kForward));
    EXPECT_TRUE(OtherProbe().WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_SHIFT)))
        << "Shift stays down\n" << OtherProbe().Describe() << MainProbe().Describe();
}

TEST_F(ActionDispatchEndToEnd, AHeldLayerButtonSwitchesTheLayerWhileHeldAndReturnsOnRelease)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle,
                              {{kMiddle, 0, kLayer2},
                               {kRight, 0, kNoChange},
                               {kRight, 1, kSimulatedKeys, L"z", 0}}}}));
    ASSERT_TRUE(MoveThere(Inside(MainProbe(), 0.6, 0.4)));
    MainProbe().Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([] { return GetCurrentLayer() == 1; }));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    EXPECT_TRUE(MainProbe().WaitForRecord(Named(L"WM_CHAR", L"char", 'z'))) << MainProbe().Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; }));

    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    EXPECT_TRUE(MainProbe().WaitForRecord(Named(L"WM_RBUTTONUP"))) << MainProbe().Describe();
    long long fence = 0;
    ASSERT_TRUE(Fence(MainProbe(), fence));
    EXPECT_EQ(MainProbe().Records(Named(L"WM_RBUTTONDOWN")).size(), 1u) << MainProbe().Describe();
    EXPECT_EQ(Typed(MainProbe()), L"z");
    EXPECT_FALSE(Has(MainProbe(), L"WM_MBUTTONDOWN") || Has(MainProbe(), L"WM_MBUTTONUP")) << MainProbe().Describe();
}

TEST_F(ActionDispatchEndToEnd, AnotherProgramClickingTheButtonTheUserHoldsLeavesTheUsersPressToItsOwnRelease)
{
    ASSERT_TRUE(LoadAndHook(
        {{kMainTitle, {{kMiddle, 0, kLeftClickAction}, {kXLeft, 0, kSimulatedKeys, L"{CTRL}", KEYMODE_DURING, true}}}}));
    MainProbe().Clear();
    ASSERT_TRUE(MoveThere(Inside(MainProbe())));
    PhysicalInput::HeldButton middle(PhysicalInput::kMiddle);
    ASSERT_TRUE(middle.Held());
    ASSERT_TRUE(MainProbe().WaitForRecord(Named(L"WM_LBUTTONDOWN"))) << MainProbe().Describe();

    // Another program clicks the middle button meanwhile (its events are
    // remapped as well): a left click of its own.
    ASSERT_TRUE(SendProgramClick(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0x5EED));
    ASSERT_EQ(MainProbe().WaitForRecords(Named(L"WM_LBUTTONUP"), 1).size(), 1u) << MainProbe().Describe();

    // The user's release ends the user's left press, and nothing else.
    ASSERT_TRUE(middle.Release());
    ASSERT_EQ(MainProbe().WaitForRecords(Named(L"WM_LBUTTONUP"), 2).size(), 2u) << MainProbe().Describe();
    long long fence = 0;
    ASSERT_TRUE(Fence(MainProbe(), fence));
    EXPECT_EQ(MainProbe().Records(Named(L"WM_LBUTTONUP")).size(), 2u) << "a stray click at the release\n" << MainProbe().Describe();
    EXPECT_FALSE(Has(MainProbe(), L"WM_MBUTTONUP")) << MainProbe().Describe();

    // X1 holds Ctrl while the user holds it: another program's click of X1
    // meanwhile leaves Ctrl down until the user's release.
    PhysicalInput::HeldButton back(PhysicalInput::kBack);
    ASSERT_TRUE(back.Held());
    ASSERT_TRUE(MainProbe().WaitForRecord(Named(L"WM_KEYDOWN", L"vk", VK_CONTROL))) << MainProbe().Describe();
    ASSERT_TRUE(SendProgramClick(MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, 0x5EED, XBUTTON1));
    ASSERT_TRUE(Fence(MainProbe(), fence));
    EXPECT_TRUE(MainProbe().Records(Named(L"WM_KEYUP", L"vk", VK_CONTROL)).empty()) << "Ctrl went up under the user's hold\n" << MainProbe().Describe();
    ASSERT_TRUE(back.Release());
    ASSERT_TRUE(MainProbe().WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_CONTROL))) << MainProbe().Describe();
    ASSERT_TRUE(Fence(MainProbe(), fence));
    EXPECT_EQ(MainProbe().Records(Named(L"WM_KEYDOWN", L"vk", VK_CONTROL)).size(), 1u) << MainProbe().Describe();
    EXPECT_EQ(MainProbe().Records(Named(L"WM_KEYUP", L"vk", VK_CONTROL)).size(), 1u) << MainProbe().Describe();
    // With the user's hands off, another program's click holds Ctrl for itself.
    ASSERT_TRUE(SendProgramClick(MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, 0x5EED, XBUTTON1));
    EXPECT_EQ(MainProbe().WaitForRecords(Named(L"WM_KEYUP", L"vk", VK_CONTROL), 2).size(), 2u) << MainProbe().Describe();
    EXPECT_EQ(MainProbe().Records(Named(L"WM_KEYDOWN", L"vk", VK_CONTROL)).size(), 2u) << MainProbe().Describe();
}

TEST_F(ActionDispatchEndToEnd, APhysicalClickOfTheButtonAStickyDragHoldsDropsItAndTheNextStickyClickStartsANewDrag)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle, {{kXLeft, 0, kStickyLeft}}}, {kOtherTitle, {{kRight, 0, kNoChange}}}}));
    MainProbe().Clear();
    ASSERT_TRUE(MoveThere(Inside(MainProbe(), 0.3, 0.3)));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kBack));
    ASSERT_TRUE(MainProbe().WaitForRecord(Named(L"WM_LBUTTONDOWN"))) << MainProbe().Describe();

    // The drop, with the real left button elsewhere in the window.
    ASSERT_TRUE(MoveThere(Inside(MainProbe(), 0.6, 0.4)));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kLeft));
    ASSERT_TRUE(MainProbe().WaitForRecord(Named(L"WM_LBUTTONUP"))) << MainProbe().Describe();
    // Nothing is held any more: resting over the other window switches to its profile.
    ASSERT_TRUE(MoveThere(Inside(OtherProbe())));
    EXPECT_TRUE(WaitFor([] {
        const CApplicationSettings* profile = g_engine.pCurrentApp;
        return profile != nullptr && profile->GetDescription() != nullptr && std::wstring(profile->GetDescription()) == kOtherTitle;
    })) << "the dropped drag still counts as held";

    // Back in the window, the sticky button starts a new drag, and ends it.
    ASSERT_TRUE(MoveThere(Inside(MainProbe(), 0.4, 0.7)));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kBack));
    long long fence = 0;
    ASSERT_TRUE(Fence(MainProbe(), fence));
    const std::vector<std::wstring> newDrag = {L"WM_LBUTTONDOWN", L"WM_LBUTTONUP", L"WM_LBUTTONDOWN"};
    EXPECT_EQ(MainProbe().RecordNames(L"BUTTON"), newDrag) << MainProbe().Describe();
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kBack));
    EXPECT_EQ(MainProbe().WaitForRecords(Named(L"WM_LBUTTONUP"), 2).size(), 2u) << MainProbe().Describe();
}

TEST_F(ActionDispatchEndToEnd, AnotherProgramClickingTheButtonThatHoldsAStickyDragLeavesTheDragAndTheUsersReleaseAsTheyWere)
{
    ASSERT_TRUE(LoadAndHook({{kMainTitle, {{kXRight, 0, kStickyLeft}}}}));
    MainProbe().Clear();
    ASSERT_TRUE(MoveThere(Inside(MainProbe())));
    PhysicalInput::HeldButton forward(PhysicalInput::kForward);
    ASSERT_TRUE(forward.Held());
    ASSERT_TRUE(MainProbe().WaitForRecord(Named(L"WM_LBUTTONDOWN"))) << MainProbe().Describe();

    // Another program clicks X2 while the user holds it; the fence comes after
    // both of its events.
    ASSERT_TRUE(SendProgramClick(MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, 0x5EED, XBUTTON2));
    long long fence = 0;
    ASSERT_TRUE(Fence(MainProbe(), fence));
    // The user's release is the first release of a sticky click: the drag goes on.
    ASSERT_TRUE(forward.Release());
    ASSERT_TRUE(Fence(MainProbe(), fence));
    const std::vector<std::wstring> dragging = {L"WM_LBUTTONDOWN"};
    EXPECT_EQ(MainProbe().RecordNames(L"BUTTON"), dragging) << MainProbe().Describe();

    // The user's next click of X2 ends it.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kForward));
    ASSERT_TRUE(MainProbe().WaitForRecord(Named(L"WM_LBUTTONUP"))) << MainProbe().Describe();
    ASSERT_TRUE(Fence(MainProbe(), fence));
    const std::vector<std::wstring> oneDrag = {L"WM_LBUTTONDOWN", L"WM_LBUTTONUP"};
    EXPECT_EQ(MainProbe().RecordNames(L"BUTTON"), oneDrag) << MainProbe().Describe();
}
