// What the hooks knew of held buttons and keys never outlives them: the
// library's hooks run in this process, xdotool holds buttons and keys on a probe
// window, and the hooks stop, start again or are put in again meanwhile. A
// layer held by a button ends when the hooks stop; a release the system passed
// while the hooks were out reaches the window after they are back, and leaves
// no button held for mouse-over switching, also after a mapped press whose own
// call ran past the hook time-out; a mapped button held while the mouse hook is
// put back gives one click of its action and leaves nothing held, also one
// whose own call overran, whether the system dropped that press or passed it
// on; the library's own middle press held across a put-back is no button the
// user holds, with middle-as-tilt on; a press the library holds, ended by the
// user's click while the mouse hook was out, is not released again by the
// stop; a layer key released while the keyboard hook was out does not keep
// its layer, and one still held does.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "Globals.h"
#include "Hooks.h"
#include "Hotkeys.h"
#include "IsolatedSettings.h"
#include "Layers.h"
#include "MouseHook.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProbeSuite.h"
#include "Settings.h"
#include "TempFolder.h"
#include "ThreadLock.h"
#include "WaitFor.h"

using namespace brmptest;

namespace
{
const wchar_t kTitle[] = L"Brmp Restart Window";
const wchar_t kOtherTitle[] = L"Brmp Restart Other Window";

class HookRestartEndToEnd : public ProbeSuite<HookRestartEndToEnd>
{
protected:
    HookRestartEndToEnd() : ProbeSuite(L"HookRestart", true) {}

    static void SetUpTestSuite()
    {
        ProbeOptions options;
        options.title = kTitle;
        options.rect = RECT{60, 80, 620, 540};
        // A press soon after the last test's release is a press, not a double click.
        options.doubleClicks = false;
        StartProbes({options, Placed(kOtherTitle, RECT{700, 80, 1180, 540})});
    }

    void SetUp() override
    {
        ProbeSuite::SetUp();
        if (HasFatalFailure())
            return;
        const POINT at = ProbeAt().Center();
        ASSERT_TRUE(PhysicalInput::MoveToAndWait(at.x, at.y));
        ProbeAt().Clear();
    }
    void TearDown() override
    {
        // Whatever a failed test left held goes up before the next one.
        for (const wchar_t* key : m_heldKeys)
            PhysicalInput::KeyUp(key);
        if (m_middleHeld)
            PhysicalInput::ButtonUp(PhysicalInput::kMiddle);
        SetOverrunEventsPassOn(false);
        RemoveMouseHook(false);
        SetCurrentLayer(0, false, false, false);
        ProbeSuite::TearDown();
    }

    // Settings with the probe's profile; clicks decide the profile (no
    // mouse-over switching, whose timers would add events of their own).
    static CApplicationSettings* ProbeProfile(CSettings& settings)
    {
        settings.m_bSwitchOnMouseOver = false;
        return AddProbeProfile(settings, kTitle);
    }

    static bool InForce(const wchar_t* title)
    {
        const CApplicationSettings* profile = g_engine.pCurrentApp;
        return profile != nullptr && profile->GetDescription() != nullptr && std::wstring(profile->GetDescription()) == title;
    }

    // Waits until the hook thread has put a hook in again (a new handle) and
    // finished what goes with it, which it does under the global lock.
    static ::testing::AssertionResult Reinstalled(const HHOOK& hook, HHOOK before)
    {
        if (!WaitFor([&] { return hook != nullptr && hook != before; }))
            return ::testing::AssertionFailure() << "the hook was not put in again";
        CThreadLock fence(L"HookRestartEndToEnd");
        return ::testing::AssertionSuccess();
    }

    // Hooks on the probe's settings with F8 as the layer 2 modifier key, which
    // is then held down until the layer is in force.
    ::testing::AssertionResult HoldLayerKey()
    {
        CSettings settings(false, CMouseInfo());
        ProbeProfile(settings);
        settings.m_bLayerModifierKeys = true;
        settings.GetLayerModifierKeys()->GetHotkey(MK_Layer2)->SetVirtualKey(VK_F8);
        if (::testing::AssertionResult hooked = IsolatedSettings::LoadAndHook(settings); !hooked)
            return hooked;
        m_heldKeys.push_back(L"F8");
        if (!PhysicalInput::KeyDown(L"F8"))
            return ::testing::AssertionFailure() << "xdotool could not press F8";
        if (!WaitFor([] { return GetCurrentLayer() == 1; }))
            return ::testing::AssertionFailure() << "the layer key's layer never came";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult MiddleDown()
    {
        m_middleHeld = true;
        return PhysicalInput::ButtonDown(PhysicalInput::kMiddle);
    }
    ::testing::AssertionResult MiddleUp()
    {
        m_middleHeld = false;
        return PhysicalInput::ButtonUp(PhysicalInput::kMiddle);
    }

    // A window in front that answers hit tests late (the hit test of a
    // non-client click gives up after 50 ms), with the pointer back on the
    // first probe.
    static ::testing::AssertionResult StartBusyWindow(std::unique_ptr<Probe>& busy, DWORD hitTestMs)
    {
        ProbeOptions options;
        options.title = L"Brmp Busy Window";
        options.rect = RECT{60, 600, 420, 900};
        options.slowHitTestMs = hitTestMs;
        busy = std::make_unique<Probe>(options);
        if (::testing::AssertionResult started = busy->Start(); !started)
            return started;
        const POINT at = ProbeAt().Center();
        return PhysicalInput::MoveToAndWait(at.x, at.y);
    }

    static std::vector<std::wstring> Sorted(std::vector<std::wstring> names)
    {
        std::sort(names.begin(), names.end());
        return names;
    }

    bool m_middleHeld = false;
    std::vector<const wchar_t*> m_heldKeys;
};
} // namespace

TEST_F(HookRestartEndToEnd, StoppingTheHooksWhileALayerButtonIsHeldEndsItsLayer)
{
    CSettings settings(false, CMouseInfo());
    ProbeProfile(settings)->SetActions(Middle, 0, ACTION_LAYER_2);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
    ASSERT_TRUE(MiddleDown());
    ASSERT_TRUE(WaitFor([] { return GetCurrentLayer() == 1; })) << ProbeAt().Describe();

    // Its release will never be seen: the layer it holds ends with the hooks.
    EXPECT_TRUE(RemoveMouseHook(false));
    EXPECT_EQ(GetCurrentLayer(), 0);
    ASSERT_TRUE(MiddleUp());
}

TEST_F(HookRestartEndToEnd, AReleaseTheSystemPassedWhileTheHooksWereOutReachesTheWindowAfterTheyAreBack)
{
    CSettings settings(false, CMouseInfo());
    ProbeProfile(settings)->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
    settings.GetApplication(0)->SetKeystrokes(Middle, 0, L"x", 0, 0, false, true, false, false);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
    // A press the hooks take over: the probe sees what it typed, not the button.
    ASSERT_TRUE(MiddleDown());
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_CHAR", L"char", L'x'))) << ProbeAt().Describe();
    ASSERT_TRUE(RemoveMouseHook(false));

    // Without hooks the release and the next press go to the window as they are.
    ASSERT_TRUE(MiddleUp());
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_MBUTTONUP"))) << ProbeAt().Describe();
    ASSERT_TRUE(MiddleDown());
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_MBUTTONDOWN"))) << ProbeAt().Describe();
    ASSERT_TRUE(SetMouseHook());

    // The window has the button down: its release must reach it.
    ProbeAt().Clear();
    ASSERT_TRUE(MiddleUp());
    EXPECT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_MBUTTONUP"))) << "the button stays down in the window\n"
                                                               << ProbeAt().Describe();
}

TEST_F(HookRestartEndToEnd, ALayerKeyReleasedWhileTheKeyboardHookWasOutDoesNotKeepItsLayer)
{
    ASSERT_TRUE(HoldLayerKey());

    // The system drops a keyboard hook that took too long, without a word; the
    // release then goes by unseen, and the hook is put in again later.
    ASSERT_TRUE(::UnhookWindowsHookEx(g_threads.hKeyHook));
    m_heldKeys.clear();
    ASSERT_TRUE(PhysicalInput::KeyUp(L"F8"));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_F8))) << ProbeAt().Describe();
    ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_KEYHOOK, 0));

    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; })) << "the layer of a released key stayed";
}

TEST_F(HookRestartEndToEnd, AReleaseLostWhileTheMouseHookWasOutLeavesNoButtonHeldForMouseOverSwitching)
{
    // A press that goes on to the system, and a mapped one whose call runs past
    // the hook time-out: a busy foreground window answers the hit test of
    // non-client clicks late, and the system passes such a press on as well.
    // (The system here keeps a time-out of its own and drops it as the hook
    // said: the hook takes the part of those that pass it on. A dropped press
    // the system never had stays the user's until its own release.)
    for (const bool mapped : {false, true})
    {
        SCOPED_TRACE(mapped ? "a mapped press that overran" : "a press of the system's");
        const POINT at = ProbeAt().Center();
        ASSERT_TRUE(PhysicalInput::MoveToAndWait(at.x, at.y));
        CSettings settings(false, CMouseInfo());
        CApplicationSettings* probe = ProbeProfile(settings);
        AddProbeProfile(settings, kOtherTitle);
        settings.m_bSwitchOnMouseOver = true;
        std::unique_ptr<Probe> busy;
        if (mapped)
        {
            probe->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
            probe->SetKeystrokes(Middle, 0, L"x", 0, 0, false, true, false, false);
            settings.m_bProcessNonClientMsgs = false;
            ASSERT_TRUE(StartBusyWindow(busy, 200));
        }
        ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
        const HHOOK first = g_threads.hMouseHook;
        if (mapped)
        {
            // The hit test gives up after 50 ms.
            g_system.dwHookTimeout = 40;
            SetOverrunEventsPassOn(true);
            ASSERT_TRUE(MiddleDown());
            ASSERT_TRUE(Reinstalled(g_threads.hMouseHook, first)) << "the press did not overrun";
            ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_MBUTTONDOWN"))) << "the press was not passed on\n"
                                                                         << ProbeAt().Describe();
            SetOverrunEventsPassOn(false);
        }
        else
        {
            // The hook has seen the press once the window has it.
            ASSERT_TRUE(MiddleDown());
            ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_MBUTTONDOWN"))) << ProbeAt().Describe();
        }

        // The system drops a mouse hook that took too long; the release goes by unseen.
        const HHOOK dropped = g_threads.hMouseHook;
        ASSERT_TRUE(::UnhookWindowsHookEx(dropped));
        ASSERT_TRUE(MiddleUp());
        ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_MBUTTONUP"))) << ProbeAt().Describe();
        ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_MOUSEHOOK, 0));
        ASSERT_TRUE(Reinstalled(g_threads.hMouseHook, dropped));

        // No button is held: resting over the other window switches to its profile.
        const POINT other = ProbeAt(1).Center();
        ASSERT_TRUE(PhysicalInput::MoveToAndWait(other.x, other.y));
        EXPECT_TRUE(WaitFor([] { return InForce(kOtherTitle); })) << "mouse-over switching waits for a release it missed";
        ASSERT_TRUE(RemoveMouseHook(false));
        ProbeAt().Clear();
    }
}

TEST_F(HookRestartEndToEnd, AMappedButtonHeldWhileTheMouseHookIsPutBackGivesOneClickOfItsActionAndLeavesNothingHeld)
{
    // Resting over the other window switches to its profile, where a left
    // button held across a change to layer 2 would type.
    CSettings settings(false, CMouseInfo());
    ProbeProfile(settings)->SetActions(Middle, 0, ACTION_LEFT_CLICK);
    CApplicationSettings* other = AddProbeProfile(settings, kOtherTitle);
    other->SetActions(Left, 1, ACTION_SIMULATED_KEYS);
    other->SetKeystrokes(Left, 1, L"y", 0, 0, false, true, false, false);
    settings.m_bSwitchOnMouseOver = true;
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
    ASSERT_TRUE(MiddleDown());
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_LBUTTONDOWN"))) << ProbeAt().Describe();

    // Put in again as after a press that ran past the hook time-out: the
    // system never learned of the press the hook took over.
    const HHOOK before = g_threads.hMouseHook;
    ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_MOUSEHOOK, 0));
    ASSERT_TRUE(Reinstalled(g_threads.hMouseHook, before));
    ASSERT_TRUE(MiddleUp());
    // A later click through the same road comes after anything the release sent.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    ASSERT_EQ(ProbeAt().WaitForRecords(Named(L"WM_LBUTTONUP"), 2).size(), 2u) << ProbeAt().Describe();

    const std::vector<std::wstring> clicks = {L"WM_LBUTTONDOWN", L"WM_LBUTTONUP", L"WM_LBUTTONDOWN", L"WM_LBUTTONUP"};
    EXPECT_EQ(ProbeAt().RecordNames(L"BUTTON"), clicks) << ProbeAt().Describe();

    // The left press the system reported at the put-back was the library's:
    // nothing is held now.
    const POINT otherAt = ProbeAt(1).Center();
    ASSERT_TRUE(PhysicalInput::MoveToAndWait(otherAt.x, otherAt.y));
    EXPECT_TRUE(WaitFor([] { return InForce(kOtherTitle); })) << "mouse-over switching waits for a button nobody holds";
    ProbeAt(1).Clear();
    SetCurrentLayer(1, false, false, false);
    // A middle click, the system's own there, comes after whatever the change sent.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    ASSERT_TRUE(ProbeAt(1).WaitForRecord(Named(L"WM_MBUTTONUP"))) << ProbeAt(1).Describe();
    const std::vector<std::wstring> middle = {L"WM_MBUTTONDOWN", L"WM_MBUTTONUP"};
    EXPECT_EQ(ProbeAt(1).RecordNames(L"BUTTON"), middle) << "the layer change pressed a button again\n" << ProbeAt(1).Describe();
    EXPECT_TRUE(ProbeAt(1).Records(Named(L"WM_CHAR")).empty()) << ProbeAt(1).Describe();
}

TEST_F(HookRestartEndToEnd, APressWhoseOwnCallOverranGivesOneClickOfItsActionAndNoReleaseOfAPressNobodySaw)
{
    // The press's call runs past the hook time-out against a window in front
    // that answers hit tests late, and the hook is put in again; the window
    // recovers before the release. The system here drops such a press as the
    // hook said; for the systems that pass it on whatever the hook said, the
    // hook takes their part. A later click of the same button, through the
    // same road, comes after anything the release sent.
    struct Case
    {
        const char* name;
        int action;
        bool passedOn;
        std::vector<std::wstring> buttons;   // sorted
    };
    const Case cases[] = {
        {"a click, the press dropped", ACTION_LEFT_CLICK, false,
         {L"WM_LBUTTONDOWN", L"WM_LBUTTONDOWN", L"WM_LBUTTONUP", L"WM_LBUTTONUP"}},
        {"a click, the press passed on", ACTION_LEFT_CLICK, true,
         {L"WM_LBUTTONDOWN", L"WM_LBUTTONDOWN", L"WM_LBUTTONUP", L"WM_LBUTTONUP", L"WM_XBUTTONDOWN", L"WM_XBUTTONUP"}},
        {"a sticky drag, the press dropped", ACTION_STICKY_LEFT, false, {L"WM_LBUTTONDOWN", L"WM_LBUTTONUP"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CSettings settings(false, CMouseInfo());
        ProbeProfile(settings)->SetActions(XRight, 0, c.action);
        // The window under the pointer is the click's, not the one in front.
        settings.m_bSwitchOnMouseOver = true;
        settings.m_bProcessNonClientMsgs = false;
        std::unique_ptr<Probe> busy;
        ASSERT_TRUE(StartBusyWindow(busy, 150));
        ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
        g_system.dwHookTimeout = 40;
        SetOverrunEventsPassOn(c.passedOn);
        ProbeAt().Clear();
        const HHOOK first = g_threads.hMouseHook;
        PhysicalInput::HeldButton forward(PhysicalInput::kForward);
        ASSERT_TRUE(forward.Held());
        ASSERT_TRUE(Reinstalled(g_threads.hMouseHook, first)) << "the press did not overrun";
        // Only the press runs late: the time-out is no longer known.
        SetOverrunEventsPassOn(false);
        g_system.dwHookTimeout = 0;
        ASSERT_TRUE(busy->Close());
        ASSERT_TRUE(forward.Release());

        // The click ends with that later click; the drag ends with it.
        ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kForward));
        const std::size_t ups = c.action == ACTION_LEFT_CLICK ? 2 : 1;
        ASSERT_EQ(ProbeAt().WaitForRecords(Named(L"WM_LBUTTONUP"), ups).size(), ups) << ProbeAt().Describe();
        EXPECT_EQ(Sorted(ProbeAt().RecordNames(L"BUTTON")), c.buttons) << ProbeAt().Describe();
        ASSERT_TRUE(RemoveMouseHook(false));
    }
}

TEST_F(HookRestartEndToEnd, WithMiddleAsTiltTheLibrarysOwnMiddlePressAcrossAPutBackIsNoButtonTheUserHolds)
{
    // X1 holds middle down until its next click; resting over the other window
    // switches to its profile while nothing is held.
    CSettings settings(false, CMouseInfo());
    ProbeProfile(settings)->SetActions(XLeft, 0, ACTION_STICKY_MIDDLE);
    AddProbeProfile(settings, kOtherTitle);
    settings.m_bSwitchOnMouseOver = true;
    settings.m_bQuillon = true;
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kBack));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_MBUTTONDOWN"))) << ProbeAt().Describe();

    // Put in again: the system reports middle down, and that press is the library's.
    const HHOOK before = g_threads.hMouseHook;
    ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_MOUSEHOOK, 0));
    ASSERT_TRUE(Reinstalled(g_threads.hMouseHook, before));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kBack));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_MBUTTONUP"))) << ProbeAt().Describe();

    const POINT other = ProbeAt(1).Center();
    ASSERT_TRUE(PhysicalInput::MoveToAndWait(other.x, other.y));
    EXPECT_TRUE(WaitFor([] { return InForce(kOtherTitle); })) << "mouse-over switching waits for a middle button nobody holds";
}

TEST_F(HookRestartEndToEnd, ALibraryPressTheUserClickedAwayWhileTheMouseHookWasOutIsNotReleasedAgainByTheStop)
{
    // X2 clicks the left button while it is held.
    CSettings settings(false, CMouseInfo());
    ProbeProfile(settings)->SetActions(XRight, 0, ACTION_LEFT_CLICK);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
    PhysicalInput::HeldButton forward(PhysicalInput::kForward);
    ASSERT_TRUE(forward.Held());
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_LBUTTONDOWN"))) << ProbeAt().Describe();

    // The system drops the mouse hook; meanwhile the user clicks the left
    // button, which lets the library's press go in the system, and lets X2 go.
    const HHOOK dropped = g_threads.hMouseHook;
    ASSERT_TRUE(::UnhookWindowsHookEx(dropped));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kLeft));
    ASSERT_TRUE(forward.Release());
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_XBUTTONUP"))) << ProbeAt().Describe();
    ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_MOUSEHOOK, 0));
    ASSERT_TRUE(Reinstalled(g_threads.hMouseHook, dropped));

    // The user drags with the left button; the hooks stop (as "/disable" or "/exit" stop them).
    PhysicalInput::HeldButton left(PhysicalInput::kLeft);
    ASSERT_TRUE(left.Held());
    ASSERT_EQ(ProbeAt().WaitForRecords(Named(L"WM_LBUTTONDOWN"), 3).size(), 3u) << ProbeAt().Describe();
    ProbeAt().Clear();
    ASSERT_TRUE(RemoveMouseHook(false));
    // A right click after the stop comes after anything the stop sent.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_RBUTTONUP"))) << ProbeAt().Describe();
    EXPECT_TRUE(ProbeAt().Records(Named(L"WM_LBUTTONUP")).empty()) << "the stop dropped the user's drag\n"
                                                                   << ProbeAt().Describe();
    ASSERT_TRUE(left.Release());
}

TEST_F(HookRestartEndToEnd, AStickyDragTheUserDroppedWhileTheMouseHookWasOutIsOverAndTheNextStickyClickStartsANewOne)
{
    CSettings settings(false, CMouseInfo());
    ProbeProfile(settings)->SetActions(XRight, 0, ACTION_STICKY_LEFT);
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kForward));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_LBUTTONDOWN"))) << ProbeAt().Describe();

    // The system drops the mouse hook; meanwhile the user drops the drag with
    // the left button.
    const HHOOK dropped = g_threads.hMouseHook;
    ASSERT_TRUE(::UnhookWindowsHookEx(dropped));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kLeft));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_LBUTTONUP"))) << ProbeAt().Describe();
    ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_MOUSEHOOK, 0));
    ASSERT_TRUE(Reinstalled(g_threads.hMouseHook, dropped));

    ProbeAt().Clear();
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kForward));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_LBUTTONDOWN"))) << "no new drag\n" << ProbeAt().Describe();
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kForward));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_LBUTTONUP"))) << ProbeAt().Describe();
    const std::vector<std::wstring> oneDrag = {L"WM_LBUTTONDOWN", L"WM_LBUTTONUP"};
    EXPECT_EQ(ProbeAt().RecordNames(L"BUTTON"), oneDrag) << ProbeAt().Describe();
}

TEST_F(HookRestartEndToEnd, AKeyboardHookPutInAgainWhileALayerKeyIsHeldKeepsItsLayerUntilTheRelease)
{
    ASSERT_TRUE(HoldLayerKey());

    // Put in again as after a slow key event, with nothing missed.
    const HHOOK before = g_threads.hKeyHook;
    ASSERT_TRUE(::PostThreadMessageW(g_threads.dwHookThreadId, BRMP_ResetHook, WP_KEYHOOK, 0));
    ASSERT_TRUE(Reinstalled(g_threads.hKeyHook, before));
    EXPECT_EQ(GetCurrentLayer(), 1) << "the layer of a key still held ended";

    m_heldKeys.clear();
    ASSERT_TRUE(PhysicalInput::KeyUp(L"F8"));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; })) << "the new hook missed the release";
}
