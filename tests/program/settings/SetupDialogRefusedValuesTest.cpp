// Values the pages of the real program's settings dialog refuse: a refusal at
// Apply (or at a change of profile) saves nothing, brings the page up with the
// refused text still in its field, and keeps Apply for when it is mended;
// values of the file that a page could never take are shown within its range
// and kept as they are until the user edits them (also through an editor and
// the arrows, which step from the number shown), an edit undone after an
// Apply is applied in turn, and only an edit enables Apply;
// edits on a page outlive the global settings sheet; and the arrows beside the
// timed layer switch step its seconds.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "GlobalSettingsIds.h"
#include "PhysicalInput.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "TempFolder.h"
#include "TimedClicks.h"
#include "WaitFor.h"
#include "resource.h"

using brmptest::WaitFor;
using namespace setuptest;

namespace
{
// The tabs of a dialog with two layers.
constexpr int kLayer1Tab = 0;
constexpr int kLayer2Tab = 1;
constexpr int kScrollingTab = 2;
constexpr int kOptionsTab = 3;

class SetupDialogRefusedValues : public SetupDialogTest
{
protected:
    SetupDialogRefusedValues() : SetupDialogTest(L"brmp-setup-refused") {}

    // A real click on the upper or lower arrow of an up-down.
    static ::testing::AssertionResult ClickArrow(HWND arrows, bool up)
    {
        RECT rect{};
        ::GetWindowRect(arrows, &rect);
        const int height = rect.bottom - rect.top;
        return ClickControlAt(arrows, (rect.right - rect.left) / 2, up ? height / 4 : height * 3 / 4);
    }

    void Prepare(CSettings& settings) override
    {
        settings.m_bScrollWindowUnderCursor = true;
        // An application profile whose scroll method uses the step sizes.
        auto* profile = new CApplicationSettings(&settings, false, -1);
        profile->SetApplication(L"notepad.exe");
        profile->SetAdvScrollMethod(0);
        profile->SetAdvScrollVertical(2);
        settings.AddApplication(profile);
    }

    std::string File() const { return brmptest::ReadFileBytes(SettingsFile()).value_or(""); }

    // A real click on an entry's text, then a wait until it is selected.
    ::testing::AssertionResult ClickProfileEntry(int entry)
    {
        const HWND list = ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES);
        const int height = static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
        const int top = static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0));
        if (auto clicked = ClickControlAt(list, 60, (entry - top) * height + height / 2); !clicked)
            return clicked;
        if (!WaitFor([&] { return ::SendMessageW(list, LB_GETCURSEL, 0, 0) == entry; }, kDialogTimeoutMs))
            return ::testing::AssertionFailure() << "entry " << entry << " was not selected";
        return ::testing::AssertionSuccess();
    }

    // Presses Apply with a click while another tab than the edit's is shown,
    // and expects the refusal: the message, then the edit's page shown with
    // the text kept, Apply still enabled and the file as it was.
    void ExpectRefusedApply(int tab, HWND edit, const std::wstring& message, const char* screenshot)
    {
        const std::wstring typed = TextOf(edit);
        const std::string before = File();
        ASSERT_FALSE(before.empty());
        ASSERT_TRUE(ClickTab(m_dialog, tab == kLayer1Tab ? kLayer2Tab : kLayer1Tab));
        ASSERT_TRUE(IsEnabled(m_dialog, IDOK));
        ASSERT_TRUE(ClickControl(::GetDlgItem(m_dialog, IDOK)));
        ExpectRefusal(tab, edit, typed, message, screenshot);
        EXPECT_TRUE(IsEnabled(m_dialog, IDOK)) << "the edits are still to be applied";
        EXPECT_TRUE(File() == before) << "nothing was saved";
    }

    void ExpectRefusal(int tab, HWND edit, const std::wstring& typed, const std::wstring& message,
                       const char* screenshot)
    {
        std::wstring text;
        const HWND box = WaitForMessageBox(m_program.ProcessId(), &text);
        ASSERT_NE(box, nullptr) << m_program.Log();
        EXPECT_EQ(text, message);
        Answer(box, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); }, kDialogTimeoutMs));
        EXPECT_TRUE(WaitFor([&] { return SelectedTab(m_dialog) == tab && ::IsWindowVisible(::GetParent(edit)); },
                            kDialogTimeoutMs))
            << "the page that refused is shown (tab " << SelectedTab(m_dialog) << " is)";
        EXPECT_EQ(TextOf(edit), typed) << "the refused text is kept";
        // The page was hidden under the message: drawn whole before the picture is taken.
        ::RedrawWindow(m_dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        programtest::SaveScreenshot(std::wstring(screenshot, screenshot + std::strlen(screenshot)));
    }

    // Drops a list down with a click and moves its choice with an arrow key,
    // which Return takes; then waits until the list is closed on entry wanted.
    ::testing::AssertionResult ChooseWithKey(HWND combo, const wchar_t* arrow, LRESULT wanted)
    {
        if (auto clicked = ClickControl(combo); !clicked)
            return clicked;
        if (!WaitFor([&] { return ::SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }, kDialogTimeoutMs))
            return ::testing::AssertionFailure() << "the list did not drop down";
        if (auto keyed = brmptest::PhysicalInput::Run({L"key", arrow, L"Return"}); !keyed)
            return keyed;
        if (!WaitFor([&] { return ::SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) == 0 &&
                                  ::SendMessageW(combo, CB_GETCURSEL, 0, 0) == wanted; },
                     kDialogTimeoutMs))
            return ::testing::AssertionFailure() << "entry " << ::SendMessageW(combo, CB_GETCURSEL, 0, 0)
                                                 << " is chosen, not " << wanted;
        return ::testing::AssertionSuccess();
    }

    // Presses Apply with a click and waits until the file is written.
    ::testing::AssertionResult ApplyByClick()
    {
        if (auto clicked = ClickControl(::GetDlgItem(m_dialog, IDOK)); !clicked)
            return clicked;
        if (!WaitFor([&] { return !IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs))
            return ::testing::AssertionFailure() << "Apply stayed enabled\n" << m_program.Log();
        if (HWND box = FindMessageBox(m_program.ProcessId()))
            return ::testing::AssertionFailure() << "a message is open: " << testing::PrintToString(TextOf(box));
        return ::testing::AssertionSuccess();
    }
};
}

TEST_F(SetupDialogRefusedValues, ASwitchTimeOutOfRangeOnALayerPageIsRefusedAtApplyAndAppliedOnceMended)
{
    ASSERT_TRUE(ClickTab(m_dialog, kLayer2Tab));
    const HWND page = FindPage(m_dialog, IDC_LAYER_SWITCH_TIME, true);
    ASSERT_NE(page, nullptr);
    const HWND seconds = ::GetDlgItem(page, IDC_LAYER_SWITCH_TIME);
    ASSERT_TRUE(TypeIntoEdit(seconds, L"45"));
    ASSERT_TRUE(WaitFor([&] { return IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs));
    ASSERT_NO_FATAL_FAILURE(
        ExpectRefusedApply(kLayer2Tab, seconds, L"Switch to \u2026 after \u2026 seconds\n\nEnter a number between 0.1 and 30.", "setup-refused-layer.png"));

    // Mended, the time and the layer's flags reach the file together.
    ASSERT_TRUE(TypeIntoEdit(seconds, L"2.5"));
    ASSERT_TRUE(ClickControl(::GetDlgItem(page, IDC_LAYER_DISABLE_NEXT_PREV)));
    ASSERT_TRUE(WaitFor([&] { return CheckState(::GetDlgItem(page, IDC_LAYER_DISABLE_NEXT_PREV)) == BST_CHECKED; }));
    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_DOUBLE_EQ(saved->GetDefaultApp()->GetAutoSwitchTime(1), 2.5);
    EXPECT_TRUE(saved->GetDefaultApp()->GetLayerDisabledNextPrev(1, false));
}

TEST_F(SetupDialogRefusedValues, AnEmptyStepSizeOnTheScrollingPageIsRefusedAtApplyAndTheMethodKept)
{
    ASSERT_TRUE(ClickProfileEntry(1));
    ASSERT_TRUE(ClickTab(m_dialog, kScrollingTab));
    const HWND page = FindPage(m_dialog, IDC_SCROLL_ADV_VERTICAL);
    ASSERT_NE(page, nullptr);
    const HWND vertical = ::GetDlgItem(page, IDC_SCROLL_ADV_VERTICAL);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(vertical) != FALSE; }));
    ASSERT_TRUE(ClickControl(::GetDlgItem(page, IDC_SCROLL_INVERT)));
    ASSERT_TRUE(WaitFor([&] { return IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs));
    ASSERT_TRUE(TypeIntoEdit(vertical, L""));
    ASSERT_NO_FATAL_FAILURE(ExpectRefusedApply(kScrollingTab, vertical, L"Vertical Lines\n\nEnter an integer.", "setup-refused-scrolling.png"));

    ASSERT_TRUE(TypeIntoEdit(vertical, L"4"));
    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(saved->GetApplicationCount(), 1);
    EXPECT_EQ(saved->GetApplication(0)->AdvScrollMethod(), 0);
    EXPECT_EQ(saved->GetApplication(0)->AdvScrollVertical(), 4);
    EXPECT_TRUE(saved->GetApplication(0)->InvertedScrolling());
}

TEST_F(SetupDialogRefusedValues, AnEmptyIgnoreTimeOnTheOptionsPageIsRefusedAtApplyAndAtAChangeOfProfile)
{
    ASSERT_TRUE(ClickTab(m_dialog, kOptionsTab));
    const HWND page = FindPage(m_dialog, IDC_OPT_VSCROLL_TIME);
    ASSERT_NE(page, nullptr);
    const HWND time = ::GetDlgItem(page, IDC_OPT_VSCROLL_TIME);
    const wchar_t* const kIgnoreTimeRefused = L"Ignore repeated remapped vertical scroll\n\nEnter an integer.";
    ASSERT_TRUE(ClickControl(::GetDlgItem(page, IDC_OPT_IGNORE_VSCROLL)));
    ASSERT_TRUE(WaitFor([&] { return IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs));
    ASSERT_TRUE(TypeIntoEdit(time, L""));
    ASSERT_NO_FATAL_FAILURE(ExpectRefusedApply(kOptionsTab, time, kIgnoreTimeRefused, "setup-refused-options.png"));

    // Another profile is not shown while the page refuses.
    ASSERT_TRUE(ClickTab(m_dialog, kLayer1Tab));
    const HWND list = ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES);
    const int height = static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    ASSERT_TRUE(ClickControlAt(list, 60, height + height / 2));
    ASSERT_NO_FATAL_FAILURE(ExpectRefusal(kOptionsTab, time, L"", kIgnoreTimeRefused, "setup-refused-profile-change.png"));
    EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 0) << "the profile shown stays selected";
    EXPECT_EQ(TextOf(m_dialog, IDC_SETUP_DESCRIPTION).rfind(L"Default", 0), 0u);

    // Mended, the time and the options stored after it reach the file.
    ASSERT_TRUE(TypeIntoEdit(time, L"300"));
    ASSERT_TRUE(ClickControl(::GetDlgItem(page, IDC_OPT_DISABLE_SCROLL_UNDER)));
    ASSERT_TRUE(WaitFor([&] { return CheckState(::GetDlgItem(page, IDC_OPT_DISABLE_SCROLL_UNDER)) == BST_CHECKED; }));
    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->GetDefaultApp()->GetIgnoreVScrollTime(), 300);
    EXPECT_TRUE(saved->GetDefaultApp()->GetIgnoreVScroll());
    EXPECT_TRUE(saved->GetDefaultApp()->GetDisableScrollUnderCursor());
}

TEST_F(SetupDialogRefusedValues, AnEditOnTheScrollingPageSurvivesTheSettingsSheetClosedWithChanges)
{
    ASSERT_TRUE(ClickProfileEntry(1));
    ASSERT_TRUE(ClickTab(m_dialog, kScrollingTab));
    const HWND vertical = ::GetDlgItem(FindPage(m_dialog, IDC_SCROLL_ADV_VERTICAL), IDC_SCROLL_ADV_VERTICAL);
    ASSERT_TRUE(TypeIntoEdit(vertical, L"7"));

    // The sheet's changes refill the pages from the profile.
    ASSERT_TRUE(ClickControl(::GetDlgItem(m_dialog, IDC_SETUP_SETTINGS)));
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (sheet = FindSettingsSheet(m_program.ProcessId())) != nullptr; }, kDialogTimeoutMs));
    ::SendMessageW(SheetPageControl(sheet, IDC_GEN_LAYERS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"3"));
    ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }, kDialogTimeoutMs));
    ASSERT_TRUE(WaitFor([&] { return ::SendMessageW(::GetDlgItem(m_dialog, IDC_SETUP_TABS), TCM_GETITEMCOUNT, 0, 0) == 5; },
                        kDialogTimeoutMs));
    EXPECT_EQ(TextOf(vertical), L"7") << "the edit made before the sheet is kept";

    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(saved->GetApplicationCount(), 1);
    EXPECT_EQ(saved->GetApplication(0)->AdvScrollVertical(), 7);
    EXPECT_EQ(saved->MaxLayers(), 3);
}

namespace
{
class SetupDialogUntouchedValues : public SetupDialogRefusedValues
{
protected:
    void Prepare(CSettings& settings) override
    {
        // Values no field shows as they are: timed switches beyond the layer
        // pages' range (the first layer's field is hidden), the system's
        // pointer speed, a speed between the slider's steps, the description
        // of an action that has no editor, lines to scroll beyond the arrows'
        // range, a held button on the tilt wheel (whose picker does not offer
        // it), and hold times beyond the editor's range (the second row unticked).
        CApplicationSettings* standard = settings.GetDefaultApp();
        standard->SetAutoSwitchTime(0, 45.0);
        standard->SetAutoSwitchTime(1, 45.0);
        standard->SetMouseSpeed(-1);
        standard->SetLayerName(L"Typing", 1);
        standard->SetScrollLines(500);
        standard->SetActions(TiltLeft, 0, ACTION_BUTTON_HELD);
        auto* held = new CBRMPTimedClicks();
        held->Initialise(XRight, false);
        held->SetTime(1, 20);
        held->SetEnabled(1, true);
        held->SetTime(2, 20000);
        held->SetEnabled(2, false);
        standard->SetActions(XRight, 0, ACTION_BUTTON_HELD);
        standard->SetTimedClicks(XRight, 0, held);
        auto* profile = new CApplicationSettings(&settings, false, -1);
        profile->SetApplication(L"notepad.exe");
        profile->OverrideMouseSpeed(true);
        profile->SetMouseSpeed(7);
        profile->SetActions(Right, 0, ACTION_DOUBLE_CLICK);
        profile->SetActionDescription(Right, 0, L"Open");
        settings.AddApplication(profile);
    }

    // The timed-click editor of the first layer's mouse button 5, opened
    // with a real click on its edit button.
    HWND OpenHeldButtonEditor()
    {
        const HWND page = FindPage(m_dialog, IDC_LAYER_EDIT_FIRST + XRight, true);
        if (page == nullptr || !ClickControl(::GetDlgItem(page, IDC_LAYER_EDIT_FIRST + XRight)))
            return nullptr;
        return WaitForDialogTitled(m_program.ProcessId(), L"Button Held Time Dependent Actions");
    }
};
}

TEST_F(SetupDialogUntouchedValues, ValuesTheFieldsCannotShowAsTheyAreSurviveAnApplyOfOtherEdits)
{
    // The first layer's page hides its timed switch; the file's 45 seconds are shown as the most it takes.
    const HWND page = FindPage(m_dialog, IDC_LAYER_SWITCH_TIME, true);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(page, IDC_LAYER_SWITCH_TIME)));
    EXPECT_EQ(TextOf(page, IDC_LAYER_SWITCH_TIME), L"30");

    // One edit on the default profile, then the other profile shown, which
    // stores the default profile's pages; Apply stores the other's.
    ASSERT_TRUE(TypeIntoEdit(::GetDlgItem(page, IDC_LAYER_NAME), L"Named"));
    ASSERT_TRUE(WaitFor([&] { return IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs));
    ASSERT_TRUE(SelectProfileByClick(1));
    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    const CApplicationSettings* standard = saved->GetDefaultApp();
    ASSERT_NE(standard->GetLayerName(0), nullptr);
    EXPECT_STREQ(standard->GetLayerName(0), L"Named");
    EXPECT_DOUBLE_EQ(standard->GetAutoSwitchTime(0), 45.0);
    EXPECT_DOUBLE_EQ(standard->GetAutoSwitchTime(1), 45.0);
    EXPECT_EQ(standard->GetMouseSpeed(), -1);
    EXPECT_EQ(standard->GetActions(TiltLeft, 0), ACTION_BUTTON_HELD);
    ASSERT_EQ(saved->GetApplicationCount(), 1);
    const CApplicationSettings* profile = saved->GetApplication(0);
    EXPECT_EQ(profile->GetMouseSpeed(), 7);
    EXPECT_EQ(profile->GetActions(Right, 0), ACTION_DOUBLE_CLICK);
    ASSERT_NE(profile->GetActionDescription(Right, 0), nullptr);
    EXPECT_STREQ(profile->GetActionDescription(Right, 0), L"Open");
}

TEST_F(SetupDialogUntouchedValues, AnEditUndoneAfterAnApplyIsAppliedInTurnAndAFarTimeStaysUntouched)
{
    ASSERT_TRUE(ClickTab(m_dialog, kLayer2Tab));
    const HWND page = FindPage(m_dialog, IDC_LAYER_SWITCH_LAYER, true);
    ASSERT_NE(page, nullptr);
    const HWND name = ::GetDlgItem(page, IDC_LAYER_NAME);
    const HWND target = ::GetDlgItem(page, IDC_LAYER_SWITCH_LAYER);
    ASSERT_EQ(TextOf(name), L"Typing");
    ASSERT_TRUE(TypeIntoEdit(name, L"Typingx"));
    ASSERT_TRUE(ChooseWithKey(target, L"Down", 1));
    ASSERT_TRUE(ApplyByClick());
    std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_STREQ(saved->GetDefaultApp()->GetLayerName(1), L"Typingx");
    EXPECT_EQ(saved->GetDefaultApp()->GetAutoSwitchLayer(1), 1);

    // Both undone: what the fields showed at first is written back in turn.
    ASSERT_TRUE(TypeIntoEdit(name, L"Typing"));
    ASSERT_TRUE(ChooseWithKey(target, L"Up", 0));
    ASSERT_TRUE(ApplyByClick());
    saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_STREQ(saved->GetDefaultApp()->GetLayerName(1), L"Typing");
    EXPECT_EQ(saved->GetDefaultApp()->GetAutoSwitchLayer(1), 0);
    EXPECT_DOUBLE_EQ(saved->GetDefaultApp()->GetAutoSwitchTime(1), 45.0) << "the time shown as 30 was never edited";
}

TEST_F(SetupDialogUntouchedValues, HoldTimesBeyondTheEditorsRangeAreKeptThroughAnEditOfTheDescription)
{
    const HWND editor = OpenHeldButtonEditor();
    ASSERT_NE(editor, nullptr) << programtest::DescribeWindows();
    EXPECT_EQ(TextOf(editor, IDC_TC_TIME1), L"20");
    EXPECT_EQ(TextOf(editor, IDC_TC_TIME2), L"20000");
    ASSERT_TRUE(TypeIntoEdit(::GetDlgItem(editor, IDC_ED_DESCRIPTION), L"Hold"));
    programtest::SaveScreenshot(L"setup-held-times-kept.png");
    ASSERT_TRUE(ClickControl(::GetDlgItem(editor, IDOK)));
    std::wstring refusal;
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(editor); }, kDialogTimeoutMs))
        << "refused: " << testing::PrintToString(FindMessageBox(m_program.ProcessId(), &refusal) ? refusal : L"");
    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    const CBRMPTimedClicks* held = saved->GetDefaultApp()->GetTimedClicks(XRight, 0);
    ASSERT_NE(held, nullptr);
    EXPECT_STREQ(held->GetDescription(), L"Hold");
    EXPECT_EQ(held->GetTime(1), 20);
    EXPECT_EQ(held->GetTime(2), 20000);
    EXPECT_TRUE(held->GetEnabled(1));
    EXPECT_FALSE(held->GetEnabled(2));
}

TEST_F(SetupDialogUntouchedValues, TheArrowsStepFromTheNumberShownAndAFarTimeStaysUntilItsNumberChanges)
{
    // 500 lines lie beyond the arrows' 0 to 100: up goes no further, down comes into the range.
    ASSERT_TRUE(ClickTab(m_dialog, kScrollingTab));
    const HWND scrolling = FindPage(m_dialog, IDC_SCROLL_LINES, true);
    ASSERT_NE(scrolling, nullptr);
    const HWND lines = ::GetDlgItem(scrolling, IDC_SCROLL_LINES);
    ASSERT_EQ(TextOf(lines), L"500");
    ASSERT_TRUE(ClickArrow(::GetDlgItem(scrolling, IDC_SCROLL_LINES_SPIN), true));
    ASSERT_TRUE(ClickArrow(::GetDlgItem(scrolling, IDC_SCROLL_LINES_SPIN), false));
    EXPECT_TRUE(WaitFor([&] { return TextOf(lines) == L"100"; }, kDialogTimeoutMs)) << testing::PrintToString(TextOf(lines));

    // The second layer's 45 seconds show as 30, the most the field takes: up changes nothing.
    ASSERT_TRUE(ClickTab(m_dialog, kLayer2Tab));
    const HWND page = FindPage(m_dialog, IDC_LAYER_SWITCH_TIME, true);
    ASSERT_NE(page, nullptr);
    const HWND seconds = ::GetDlgItem(page, IDC_LAYER_SWITCH_TIME);
    ASSERT_EQ(TextOf(seconds), L"30");
    ASSERT_TRUE(ClickArrow(::GetDlgItem(page, IDC_LAYER_SWITCH_SPIN), true));
    // Typed after the click: by the time the name is in, the arrow was taken.
    ASSERT_TRUE(TypeIntoEdit(::GetDlgItem(page, IDC_LAYER_NAME), L"Typingx"));
    EXPECT_EQ(TextOf(seconds), L"30");
    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->GetDefaultApp()->ScrollLines(), 100);
    EXPECT_STREQ(saved->GetDefaultApp()->GetLayerName(1), L"Typingx");
    EXPECT_DOUBLE_EQ(saved->GetDefaultApp()->GetAutoSwitchTime(1), 45.0) << "the number shown never changed";
}

TEST_F(SetupDialogUntouchedValues, OnlyAnEditEnablesApplyNotTheFillingOfFarValuesNorAnEditorConfirmedUnchanged)
{
    // Filled from a file with far switch times and a held button on the
    // tilt wheel; then the held button's editor confirmed as it opened.
    const HWND editor = OpenHeldButtonEditor();
    ASSERT_NE(editor, nullptr) << programtest::DescribeWindows();
    ASSERT_TRUE(ClickControl(::GetDlgItem(editor, IDOK)));
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(editor); }, kDialogTimeoutMs));
    // The dialog takes a sent message only once the click's handler is done.
    DWORD_PTR ignored = 0;
    ASSERT_NE(::SendMessageTimeoutW(m_dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kDialogTimeoutMs, &ignored), 0);
    EXPECT_FALSE(IsEnabled(m_dialog, IDOK)) << "Apply is lit with nothing edited";
}

TEST_F(SetupDialogRefusedValues, TheArrowsBesideTheSwitchTimeStepItBySecondsAndApplyStoresIt)
{
    ASSERT_TRUE(ClickTab(m_dialog, kLayer2Tab));
    const HWND page = FindPage(m_dialog, IDC_LAYER_SWITCH_TIME, true);
    ASSERT_NE(page, nullptr);
    const HWND seconds = ::GetDlgItem(page, IDC_LAYER_SWITCH_TIME);
    const HWND arrows = ::GetDlgItem(page, IDC_LAYER_SWITCH_SPIN);
    ASSERT_EQ(TextOf(seconds), L"1");

    ASSERT_TRUE(ClickArrow(arrows, true));
    EXPECT_TRUE(WaitFor([&] { return TextOf(seconds) == L"2.0"; }, kDialogTimeoutMs)) << testing::PrintToString(TextOf(seconds));
    ASSERT_TRUE(ClickArrow(arrows, true));
    EXPECT_TRUE(WaitFor([&] { return TextOf(seconds) == L"3.0"; }, kDialogTimeoutMs)) << testing::PrintToString(TextOf(seconds));
    programtest::SaveScreenshot(L"setup-switch-time-arrows.png");
    ASSERT_TRUE(ClickArrow(arrows, false));
    EXPECT_TRUE(WaitFor([&] { return TextOf(seconds) == L"2.0"; }, kDialogTimeoutMs)) << testing::PrintToString(TextOf(seconds));

    // A typed time keeps its tenths; the arrows stop at the most the field takes.
    ASSERT_TRUE(TypeIntoEdit(seconds, L"2.5"));
    ASSERT_TRUE(ClickArrow(arrows, true));
    EXPECT_TRUE(WaitFor([&] { return TextOf(seconds) == L"3.5"; }, kDialogTimeoutMs)) << testing::PrintToString(TextOf(seconds));
    ASSERT_TRUE(TypeIntoEdit(seconds, L"29.5"));
    ASSERT_TRUE(ClickArrow(arrows, true));
    EXPECT_TRUE(WaitFor([&] { return TextOf(seconds) == L"30.0"; }, kDialogTimeoutMs)) << testing::PrintToString(TextOf(seconds));

    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_DOUBLE_EQ(saved->GetDefaultApp()->GetAutoSwitchTime(1), 30.0);
}
