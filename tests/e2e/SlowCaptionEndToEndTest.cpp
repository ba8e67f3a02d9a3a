// A window whose application answers caption requests slowly must not hold up
// the mouse: while the timer thread asks it for its caption to find the
// profile under the resting pointer, a click in another window is remapped at
// once. Thirty profiles that look at the slow window's caption make one
// look-up ask it thirty times: if the hooks waited for that, the system would
// give up on the hook long before and pass the click on as it came.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
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
        StartProbes({slow, quick});
    }
    static Probe& SlowProbe() { return ProbeAt(0); }
    static Probe& QuickProbe() { return ProbeAt(1); }

    // The quick window's middle button is a left click. The other profiles
    // look at the caption of a probe window above the window under the
    // pointer, for a caption no window has.
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
};
} // namespace

TEST_F(SlowCaptionEndToEnd, AClickWhileASlowWindowIsAskedForItsCaptionIsRemappedAtOnce)
{
    ASSERT_TRUE(LoadAndHook());
    SlowProbe().Clear();
    QuickProbe().Clear();

    // The pointer rests on the slow window's scroll bar: the profile look-up
    // asks the window above it for its caption.
    const RECT client = SlowProbe().ClientRect();
    const int barX = client.right - 10;
    const int barY = (client.top + client.bottom) / 2;
    ASSERT_TRUE(PhysicalInput::Run({L"mousemove", std::to_wstring(barX - 2), std::to_wstring(barY), L"mousemove",
                                    std::to_wstring(barX), std::to_wstring(barY)}));
    ASSERT_TRUE(SlowProbe().WaitForRecord(Named(L"WM_GETTEXT"), 10000).has_value())
        << "the slow window was never asked for its caption\n"
        << SlowProbe().Describe();

    const POINT at = QuickProbe().Center();
    ASSERT_TRUE(PhysicalInput::ClickAt(at.x, at.y, PhysicalInput::kMiddle));
    EXPECT_TRUE(QuickProbe().WaitForRecord(Named(L"WM_LBUTTONUP"), 10000).has_value()) << "the click was never remapped\n"
                                                                                   << QuickProbe().Describe();
    // Whatever the middle click did has arrived once this right click has.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    ASSERT_TRUE(QuickProbe().WaitForRecord(Named(L"WM_RBUTTONUP")).has_value()) << QuickProbe().Describe();
    EXPECT_TRUE(QuickProbe().Records(Named(L"WM_MBUTTONDOWN")).empty())
        << "the hook was held so long that the system passed the click on as it came\n"
        << QuickProbe().Describe();
    EXPECT_TRUE(QuickProbe().Records(Named(L"WM_MBUTTONUP")).empty()) << QuickProbe().Describe();
}
