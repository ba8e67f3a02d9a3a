// A reload that fails keeps the settings in force whole: a probe window with a
// profile limited to its left part and one for the whole window, the library's
// hooks in this process, a settings file that no longer parses, and xdotool
// clicking the middle button in either part.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "Folders.h"
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
const wchar_t kTitle[] = L"Brmp Reload Window";
constexpr LONG kAreaWidth = 200;

class SettingsReloadEndToEnd : public ProbeSuite<SettingsReloadEndToEnd>
{
protected:
    SettingsReloadEndToEnd() : ProbeSuite(L"Reload", true) {}

    static void SetUpTestSuite()
    {
        ProbeOptions options;
        options.title = kTitle;
        options.rect = RECT{80, 100, 680, 500};
        StartProbes({options});
    }

    static void TypeOnMiddle(CApplicationSettings* profile, const wchar_t* keys)
    {
        profile->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
        profile->SetKeystrokes(Middle, 0, keys, 0, 0, false, true, false, false);
    }

    // A middle click at x pixels from the window's left edge; what it typed.
    static wchar_t MiddleClickTypes(LONG x)
    {
        RECT window{};
        ::GetWindowRect(ProbeAt().Window(), &window);
        ProbeAt().Clear();
        if (!PhysicalInput::ClickAt(window.left + x, (window.top + window.bottom) / 2, PhysicalInput::kMiddle))
            return L'?';
        const auto typed = ProbeAt().WaitForRecord(Named(L"WM_CHAR"));
        return typed ? static_cast<wchar_t>(typed->Value(L"char")) : L'-';
    }
};
} // namespace

TEST_F(SettingsReloadEndToEnd, AFailedReloadKeepsTheProfilesOfAPartOfTheWindowInForce)
{
    CSettings settings(false, CMouseInfo());
    settings.m_bSwitchOnMouseOver = false;
    CApplicationSettings* left = AddProbeProfile(settings, kTitle, 1);
    left->SetUseWindowArea(true);
    left->SetWindowArea(RECT{0, 0, kAreaWidth, 0});
    TypeOnMiddle(left, L"l");
    TypeOnMiddle(AddProbeProfile(settings, kTitle, 2), L"w");
    ASSERT_TRUE(IsolatedSettings::LoadAndHook(settings));

    wchar_t path[kMaxPathChars] = L"";
    ASSERT_EQ(GetDefaultSettingsFile(path, kMaxPathChars), 0u);
    ASSERT_TRUE(WriteFileBytes(path, "<not settings"));
    ASSERT_FALSE(UpdateSettings());

    EXPECT_EQ(MiddleClickTypes(kAreaWidth / 2), L'l') << ProbeAt().Describe();
    EXPECT_EQ(MiddleClickTypes(kAreaWidth * 2), L'w') << "the part of the window was forgotten\n" << ProbeAt().Describe();
    EXPECT_EQ(MiddleClickTypes(kAreaWidth / 2), L'l') << ProbeAt().Describe();
}
