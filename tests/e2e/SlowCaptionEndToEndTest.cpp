// Captions as the mouse-over switch reads them: the profile under the resting
// pointer is decided from the caption the window server keeps, as a click's
// is, and no application is asked for it. A window whose application answers
// caption requests only after 250 ms is left unasked although thirty profiles
// look at its caption; a window whose application answers them with another
// text than its caption gets the profile of its caption, and a click there
// keeps it.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "Globals.h"
#include "Hooks.h"
#include "IsolatedSettings.h"
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
const wchar_t kSlowTitle[] = L"Brmp Slow Caption";
const wchar_t kQuickTitle[] = L"Brmp Quick Window";
constexpr int kCaptionProfiles = 30;

class SlowCaptionEndToEnd : public ProbeSuite<SlowCaptionEndToEnd>
{
protected:
    SlowCaptionEndToEnd() : ProbeSuite(L"SlowCaption") {}

    static void SetUpTestSuite()
    {
        ProbeOptions slow;
        slow.title = kSlowTitle;
        slow.rect = RECT{20, 60, 620, 560};
        slow.scrollChild = true;
        slow.slowCaptionMs = 250;
        ProbeOptions quick;
        quick.title = kQuickTitle;
        quick.rect = RECT{660, 60, 1260, 560};
        quick.captionAnswer = L"Brmp Quick Window's other answer";
        StartProbes({slow, quick});
    }
    static Probe& SlowProbe() { return ProbeAt(0); }
    static Probe& QuickProbe() { return ProbeAt(1); }

    // The quick window's profile (by its caption) makes the middle button a
    // left click. The other profiles look at the caption of a probe window
    // above the window under the pointer, for a caption no window has.
    static ::testing::AssertionResult LoadAndHook()
    {
        CSettings settings(false, CMouseInfo());
        settings.m_bSwitchOnMouseOver = true;
        const std::wstring sep = kWindowKeySeparator;
        for (int i = 0; i < kCaptionProfiles; ++i)
        {
            auto* profile = new CApplicationSettings(&settings, false, i + 1);
            profile->SetApplication((L"W3:Never this caption " + std::to_wstring(i) + sep + L"BrmpProbe.exe" + sep +
                                     L"BrmpProbeWindow" + sep + L"*")
                                        .c_str());
            profile->SetDescription((L"Caption profile " + std::to_wstring(i)).c_str());
            profile->SetMatchType(4);
            settings.AddApplication(profile);
        }
        CApplicationSettings* quick = AddProbeProfile(settings, kQuickTitle, kCaptionProfiles + 1);
        quick->SetActions(Middle, 0, ACTION_LEFT_CLICK);
        return IsolatedSettings::LoadAndHook(settings);
    }

    // Moves the pointer there and waits until the mouse-over switch has
    // decided the profile of the window under it (the probe or a control in it).
    static ::testing::AssertionResult RestOn(Probe& probe, POINT at)
    {
        if (auto moved = PhysicalInput::MoveToAndWait(at.x, at.y); !moved)
            return moved;
        const bool decided = WaitFor([&] {
            const HWND window = g_engine.hCurrentWnd;
            return window != nullptr && ::GetAncestor(window, GA_ROOT) == probe.Window();
        });
        if (!decided)
            return ::testing::AssertionFailure() << "the profile under the resting pointer was never decided";
        return ::testing::AssertionSuccess();
    }
};
} // namespace

TEST_F(SlowCaptionEndToEnd, ThePointerRestingOnAWindowThatAnswersCaptionRequestsSlowlyIsDecidedWithoutAskingIt)
{
    ASSERT_TRUE(LoadAndHook());
    ASSERT_TRUE(RestOn(QuickProbe(), QuickProbe().Center()));
    SlowProbe().Clear();

    // On the slow window's scroll bar the profiles look at the caption of the
    // window above it. The probe records a request when it takes it, before
    // it answers; the decision is made once it has the answer.
    const RECT client = SlowProbe().ClientRect();
    ASSERT_TRUE(RestOn(SlowProbe(), POINT{client.right - 10, (client.top + client.bottom) / 2}));
    EXPECT_TRUE(SlowProbe().Records(Named(L"WM_GETTEXT")).empty())
        << "the slow window's application was asked for its caption\n"
        << SlowProbe().Describe();
}

TEST_F(SlowCaptionEndToEnd, ThePointerRestingOnAWindowAndAClickInItGoByTheSameCaption)
{
    ASSERT_TRUE(LoadAndHook());
    const RECT slow = SlowProbe().ClientRect();
    ASSERT_TRUE(RestOn(SlowProbe(), POINT{slow.left + 60, slow.top + 60}));
    // The resting pointer decides the profile; the click in the same place
    // needs no look-up of its own and goes by that decision.
    ASSERT_TRUE(RestOn(QuickProbe(), QuickProbe().Center()));
    QuickProbe().Clear();
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    // Whatever the middle click did has arrived once this right click has.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    ASSERT_TRUE(QuickProbe().WaitForRecord(Named(L"WM_RBUTTONUP")).has_value()) << QuickProbe().Describe();
    EXPECT_FALSE(QuickProbe().Records(Named(L"WM_LBUTTONUP")).empty())
        << "the resting pointer chose the profile of the application's answer, not of the caption\n"
        << QuickProbe().Describe();
}
