// Values the pages of the real program's settings dialog refuse: a refusal at
// Apply (or at a change of profile) saves nothing, brings the page up with the
// refused text still in its field, and keeps Apply for when it is mended;
// values of the file that a page could never take are shown as they are and
// kept until the user edits them (also through an editor and the arrows,
// which step from the number shown over the range the field takes), and set
// to a number the field takes they are stored; a greyed field stores what it
// shows; an edit undone after an Apply is applied in turn, and only an edit
// enables Apply; an editor's OK changes only what the user changed there;
// edits on a page outlive the global settings sheet; and the arrows beside the
// timed layer switch step its seconds.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <memory>
#include <string>

#include "ActionData.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "GlobalSettingsIds.h"
#include "Movement2Scroll.h"
#include "PhysicalInput.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SettingsPropSheet.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "TempFolder.h"
#include "TimedClicks.h"
#include "WaitFor.h"
#include "pugixml.hpp"
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
        // it), hold times beyond the editor's range (the second row unticked),
        // and an ignore time and a step size beyond the fields' ranges. Beside
        // them: keys repeated every 5 seconds on the middle button,
        // movement to scroll as its editor makes it on mouse button 4, and
        // descriptions of mouse button 5's slot and of its normal click.
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
        held->GetTimedClick(0)->SetDescription(L"Click");
        standard->SetActions(XRight, 0, ACTION_BUTTON_HELD);
        standard->SetTimedClicks(XRight, 0, held);
        standard->SetActionDescription(XRight, 0, L"Hold it");
        standard->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
        standard->SetKeystrokes(Middle, 0, L"x", kRepeatWhileDown, 5000, true, true, false, false);
        const CMovement2Scroll scrolling;
        standard->SetActions(XLeft, 0, ACTION_MOVEMENT_TO_SCROLL);
        standard->SetMovement2Scroll(XLeft, 0, &scrolling);
        auto* profile = new CApplicationSettings(&settings, false, -1);
        profile->SetApplication(L"notepad.exe");
        profile->OverrideMouseSpeed(true);
        profile->SetMouseSpeed(7);
        profile->SetActions(Right, 0, ACTION_DOUBLE_CLICK);
        profile->SetActionDescription(Right, 0, L"Open");
        profile->SetIgnoreVScrollTime(5000);
        profile->SetAdvScrollMethod(0);
        profile->SetAdvScrollVertical(5000);
        settings.AddApplication(profile);
    }

    // The send method "6 Repeatedly while the button is down".
    static constexpr int kRepeatWhileDown = 5;

    // The editor an edit button of the first layer's page opens with a real click.
    HWND OpenEditor(int button, const std::wstring& title)
    {
        const HWND page = FindPage(m_dialog, IDC_LAYER_EDIT_FIRST + button, true);
        if (page == nullptr || !ClickControl(::GetDlgItem(page, IDC_LAYER_EDIT_FIRST + button)))
            return nullptr;
        return WaitForDialogTitled(m_program.ProcessId(), title);
    }

    // OK of an editor with a real click; true once it closed.
    ::testing::AssertionResult CloseWithOk(HWND editor)
    {
        if (auto clicked = ClickControl(::GetDlgItem(editor, IDOK)); !clicked)
            return clicked;
        std::wstring refusal;
        if (!WaitFor([&] { return !::IsWindow(editor); }, kDialogTimeoutMs))
            return ::testing::AssertionFailure()
                   << "the editor stayed open: "
                   << testing::PrintToString(FindMessageBox(m_program.ProcessId(), &refusal) ? refusal : L"");
        return ::testing::AssertionSuccess();
    }

    // The global settings sheet opened with a real click on the dialog's
    // Settings button, on the page of that index.
    HWND OpenSheetAt(int page)
    {
        HWND sheet = nullptr;
        if (!ClickControl(::GetDlgItem(m_dialog, IDC_SETUP_SETTINGS)) ||
            !WaitFor([&] { return (sheet = FindSettingsSheet(m_program.ProcessId())) != nullptr; }, kDialogTimeoutMs))
            return nullptr;
        const HWND tabs = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
        return ClickTab(sheet, page, ::GetDlgCtrlID(tabs)) ? sheet : nullptr;
    }

    // The timed-click editor of the first layer's mouse button 5, opened
    // with a real click on its edit button.
    HWND OpenHeldButtonEditor() { return OpenEditor(XRight, L"Button Held Time Dependent Actions"); }
};
}

TEST_F(SetupDialogUntouchedValues, ValuesTheFieldsCannotShowAsTheyAreSurviveAnApplyOfOtherEdits)
{
    // The first layer's page hides its timed switch; the file's 45 seconds are shown as they are.
    const HWND page = FindPage(m_dialog, IDC_LAYER_SWITCH_TIME, true);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(page, IDC_LAYER_SWITCH_TIME)));
    EXPECT_EQ(TextOf(page, IDC_LAYER_SWITCH_TIME), L"45");

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
    EXPECT_DOUBLE_EQ(saved->GetDefaultApp()->GetAutoSwitchTime(1), 45.0) << "the time was never edited";
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

    // The second layer's 45 seconds lie beyond the field's 30: up changes nothing.
    ASSERT_TRUE(ClickTab(m_dialog, kLayer2Tab));
    const HWND page = FindPage(m_dialog, IDC_LAYER_SWITCH_TIME, true);
    ASSERT_NE(page, nullptr);
    const HWND seconds = ::GetDlgItem(page, IDC_LAYER_SWITCH_TIME);
    ASSERT_EQ(TextOf(seconds), L"45");
    ASSERT_TRUE(ClickArrow(::GetDlgItem(page, IDC_LAYER_SWITCH_SPIN), true));
    // Typed after the click: by the time the name is in, the arrow was taken.
    ASSERT_TRUE(TypeIntoEdit(::GetDlgItem(page, IDC_LAYER_NAME), L"Typingx"));
    EXPECT_EQ(TextOf(seconds), L"45");
    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->GetDefaultApp()->ScrollLines(), 100);
    EXPECT_STREQ(saved->GetDefaultApp()->GetLayerName(1), L"Typingx");
    EXPECT_DOUBLE_EQ(saved->GetDefaultApp()->GetAutoSwitchTime(1), 45.0) << "the number shown never changed";
}

TEST_F(SetupDialogUntouchedValues, FarValuesShowAsStoredSoThatTheNumberAtTheEndOfAFieldsRangeIsStored)
{
    // On a tab, a field shows the file's number as it is and is set to the end of its range.
    const auto setField = [&](int tab, int id, const wchar_t* shown, const wchar_t* typed) {
        ASSERT_TRUE(ClickTab(m_dialog, tab));
        const HWND field = ::GetDlgItem(FindPage(m_dialog, id, true), id);
        EXPECT_EQ(TextOf(field), shown);
        ASSERT_TRUE(TypeIntoEdit(field, typed));
    };
    ASSERT_NO_FATAL_FAILURE(setField(kLayer2Tab, IDC_LAYER_SWITCH_TIME, L"45", L"30"));
    // The other profile's ignore time and step size.
    ASSERT_TRUE(SelectProfileByClick(1));
    ASSERT_NO_FATAL_FAILURE(setField(kOptionsTab, IDC_OPT_VSCROLL_TIME, L"5000", L"1000"));
    ASSERT_NO_FATAL_FAILURE(setField(kScrollingTab, IDC_SCROLL_ADV_VERTICAL, L"5000", L"1000"));
    programtest::SaveScreenshot(L"setup-far-values-set.png");

    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_DOUBLE_EQ(saved->GetDefaultApp()->GetAutoSwitchTime(1), 30.0);
    ASSERT_EQ(saved->GetApplicationCount(), 1);
    EXPECT_EQ(saved->GetApplication(0)->GetIgnoreVScrollTime(), 1000);
    EXPECT_EQ(saved->GetApplication(0)->AdvScrollVertical(), 1000);
}

TEST_F(SetupDialogUntouchedValues, TheArrowsOfTheRepeatDelayStepByOneFromAnyDelayTheFieldTakes)
{
    const HWND editor = OpenEditor(Middle, L"Simulated Keystrokes - Middle Button");
    ASSERT_NE(editor, nullptr) << programtest::DescribeWindows();
    const HWND delay = ::GetDlgItem(editor, IDC_CK_REPEAT_DELAY);
    ASSERT_EQ(TextOf(delay), L"5000");
    ASSERT_TRUE(ClickArrow(::GetDlgItem(editor, IDC_CK_REPEAT_SPIN), false));
    EXPECT_TRUE(WaitFor([&] { return TextOf(delay) == L"4999"; }, kDialogTimeoutMs)) << testing::PrintToString(TextOf(delay));
    programtest::SaveScreenshot(L"setup-repeat-delay-arrows.png");
    ASSERT_TRUE(CloseWithOk(editor));
    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->GetDefaultApp()->SendKeyRepeat(Middle, 0), 4999);
}

TEST_F(SetupDialogUntouchedValues, AGreyedFieldStoresTheNumberItShowsAndGivesWayToTheStoredOneForANumberItRefuses)
{
    HWND sheet = OpenSheetAt(CSettingsPropSheet::UpdatesPage);
    ASSERT_NE(sheet, nullptr) << programtest::DescribeWindows();
    const HWND tabs = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    const HWND days = SheetPageControl(sheet, IDC_UPD_DAYS);
    const HWND check = SheetPageControl(sheet, IDC_UPD_CHECK_VERSION);
    ASSERT_EQ(TextOf(days), L"5");

    // Days the field refuses, greyed and the page left (a refusal would keep
    // the page up): nothing is refused and the stored days come back.
    ASSERT_TRUE(TypeIntoEdit(days, L"0"));
    ASSERT_TRUE(ClickControl(check));
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(days) == FALSE; }, kDialogTimeoutMs));
    ASSERT_TRUE(ClickTab(sheet, CSettingsPropSheet::GeneralPage, ::GetDlgCtrlID(tabs)));
    ASSERT_TRUE(ClickTab(sheet, CSettingsPropSheet::UpdatesPage, ::GetDlgCtrlID(tabs)));
    EXPECT_EQ(TextOf(days), L"5");

    // Days it takes, greyed: stored as shown.
    ASSERT_TRUE(ClickControl(check));
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(days) != FALSE; }, kDialogTimeoutMs));
    ASSERT_TRUE(TypeIntoEdit(days, L"10"));
    ASSERT_TRUE(ClickControl(check));
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(days) == FALSE; }, kDialogTimeoutMs));
    programtest::SaveScreenshot(L"setup-greyed-days.png");
    ASSERT_TRUE(ClickControl(::GetDlgItem(sheet, IDOK)));
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }, kDialogTimeoutMs)) << programtest::DescribeWindows();
    ASSERT_TRUE(ApplyByClick());
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_FALSE(saved->m_bCheckVersion);
    EXPECT_EQ(saved->m_uCheckVersionDays, 10u) << "the greyed field showed 10";
}

TEST_F(SetupDialogUntouchedValues, AHoldTimeRefusedInTheTimedClickEditorIsNamedByItsRow)
{
    const HWND editor = OpenHeldButtonEditor();
    ASSERT_NE(editor, nullptr) << programtest::DescribeWindows();
    ASSERT_TRUE(ClickControl(::GetDlgItem(editor, IDC_TC_HELD3)));
    const HWND time = ::GetDlgItem(editor, IDC_TC_TIME3);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(time) != FALSE; }, kDialogTimeoutMs));
    ASSERT_TRUE(TypeIntoEdit(time, L"40000"));
    ASSERT_TRUE(ClickControl(::GetDlgItem(editor, IDOK)));
    std::wstring text;
    const HWND box = WaitForMessageBox(m_program.ProcessId(), &text);
    ASSERT_NE(box, nullptr) << programtest::DescribeWindows();
    programtest::SaveScreenshot(L"setup-held-time-refused.png");
    EXPECT_EQ(text, L"Held for (third row)\n\nEnter an integer between 50 and 10000.");
    Answer(box, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); }, kDialogTimeoutMs));
    EXPECT_TRUE(::IsWindow(editor)) << "the editor stays open";
}

TEST_F(SetupDialogUntouchedValues, AnEditorsOkChangesOnlyWhatTheUserChangedThere)
{
    // Movement to scroll confirmed as it opened.
    const HWND scroll = OpenEditor(XLeft, L"Movement to Scroll Configuration");
    ASSERT_NE(scroll, nullptr) << programtest::DescribeWindows();
    ASSERT_TRUE(CloseWithOk(scroll));
    // The dialog takes a sent message only once the click's handler is done.
    DWORD_PTR ignored = 0;
    ASSERT_NE(::SendMessageTimeoutW(m_dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kDialogTimeoutMs, &ignored), 0);
    EXPECT_FALSE(IsEnabled(m_dialog, IDOK)) << "nothing was changed";

    // The held button's third row ticked: its slot and its other rows keep their descriptions.
    const HWND held = OpenHeldButtonEditor();
    ASSERT_NE(held, nullptr) << programtest::DescribeWindows();
    ASSERT_TRUE(ClickControl(::GetDlgItem(held, IDC_TC_HELD3)));
    ASSERT_TRUE(WaitFor([&] { return CheckState(::GetDlgItem(held, IDC_TC_HELD3)) == BST_CHECKED; }, kDialogTimeoutMs));
    ASSERT_TRUE(CloseWithOk(held));
    ASSERT_TRUE(ApplyByClick());

    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    const CApplicationSettings* standard = saved->GetDefaultApp();
    const CBRMPTimedClicks* clicks = standard->GetTimedClicks(XRight, 0);
    ASSERT_NE(clicks, nullptr);
    EXPECT_TRUE(clicks->GetEnabled(3));
    EXPECT_STREQ(standard->GetActionDescription(XRight, 0), L"Hold it");
    EXPECT_STREQ(clicks->GetTimedClick(0)->GetDescription(), L"Click");
    // The file as written: the library reads the flag only for keys.
    pugi::xml_document file;
    const std::string bytes = File();
    ASSERT_TRUE(file.load_buffer(bytes.data(), bytes.size()));
    const pugi::xml_node options = file.child(L"root").child(L"Default").child(L"XLeft").child(L"mts");
    ASSERT_TRUE(options);
    EXPECT_STREQ(options.attribute(L"active").value(), L"true");
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
