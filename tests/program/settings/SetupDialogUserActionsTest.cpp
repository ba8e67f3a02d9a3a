// Single actions of a user on the real program's settings dialog whose
// effect the dialog once got wrong: the profile list's menu opened from the
// keyboard, a click on the options page's modifier boxes, an editor
// cancelled after a layer modifier was taken off a button, and a key pressed
// after a layer change turned the page away from under the focus.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "PhysicalInput.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "VComboBox.h"
#include "WaitFor.h"
#include "resource.h"

using brmptest::PhysicalInput;
using brmptest::WaitFor;
using namespace setuptest;

namespace
{
constexpr int kLayer1Tab = 0;
constexpr int kLayer2Tab = 1;
constexpr int kOptionsTab = 3;
constexpr int kMiddlePicker = IDC_LAYER_PICKER_FIRST + Middle;

LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &answer))
        return -1;
    return static_cast<LRESULT>(answer);
}

HWND FocusIn(HWND dialog)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info) ? info.hwndFocus : nullptr;
}

class SetupDialogUserActions : public SetupDialogTest
{
protected:
    SetupDialogUserActions() : SetupDialogTest(L"brmp-setup-actions") {}

    void Prepare(CSettings& settings) override
    {
        settings.m_bLayerModifierKeys = true;
        settings.m_bSwitchOnMouseOver = false;
        // The middle button switches to layer 2 while held: the action stands on both layers.
        CApplicationSettings* defaults = settings.GetDefaultApp();
        defaults->SetActions(Middle, 0, ACTION_LAYER_2);
        defaults->SetActions(Middle, 1, ACTION_LAYER_2);
        for (const wchar_t* key : {L"alpha.exe", L"beta.exe", L"gamma.exe"})
        {
            auto* profile = new CApplicationSettings(&settings, false, -1);
            profile->SetApplication(key);
            profile->SetAxisLocking(true);
            settings.AddApplication(profile);
        }
    }

    HWND List() const { return ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES); }
    LRESULT SelectedEntry() const { return Ask(List(), LB_GETCURSEL); }

    // A real click on an entry's text, then a wait until it is selected.
    ::testing::AssertionResult ClickProfileEntry(int entry)
    {
        const int height = static_cast<int>(Ask(List(), LB_GETITEMHEIGHT));
        const int top = static_cast<int>(Ask(List(), LB_GETTOPINDEX));
        if (auto clicked = ClickControlAt(List(), 60, (entry - top) * height + height / 2); !clicked)
            return clicked;
        if (!WaitFor([&] { return SelectedEntry() == entry; }, kDialogTimeoutMs))
            return ::testing::AssertionFailure() << "entry " << entry << " was not selected";
        return ::testing::AssertionSuccess();
    }

    // The middle button's picker on the page shown.
    HWND MiddlePicker() { return ::GetDlgItem(FindPage(m_dialog, kMiddlePicker, true), kMiddlePicker); }

    // Opens the picker's drop-down with a click and clicks the item with that
    // text. The item is found by showing each one in the closed picker (no
    // notification), and the selection goes back before the click.
    ::testing::AssertionResult Choose(HWND picker, const std::wstring& text)
    {
        const LRESULT original = Ask(picker, VCB_GETCURSEL);
        const int count = static_cast<int>(Ask(picker, VCB_GETCOUNT));
        int index = -1;
        for (int i = 0; i < count && index < 0; ++i)
        {
            Ask(picker, VCB_SETCURSEL, static_cast<WPARAM>(i));
            if (TextOf(picker) == text)
                index = i;
        }
        Ask(picker, VCB_SETCURSEL, static_cast<WPARAM>(original));
        if (index < 0)
            return ::testing::AssertionFailure() << "no item " << testing::PrintToString(text);
        if (auto clicked = ClickControl(picker); !clicked)
            return clicked;
        HWND list = nullptr;
        if (!WaitFor([&] { return (list = OpenDropDown()) != nullptr; }, kDialogTimeoutMs))
            return ::testing::AssertionFailure() << "the drop-down did not open";
        Ask(list, LB_SETTOPINDEX, static_cast<WPARAM>(index));
        const int top = static_cast<int>(Ask(list, LB_GETTOPINDEX));
        const int height = static_cast<int>(Ask(list, LB_GETITEMHEIGHT));
        if (auto clicked = ClickControlAt(list, 30, (index - top) * height + height / 2); !clicked)
            return clicked;
        if (!WaitFor([&] { return !::IsWindowVisible(list); }, kDialogTimeoutMs))
            return ::testing::AssertionFailure() << "the drop-down stayed open";
        return ::testing::AssertionSuccess();
    }

    HWND OpenDropDown() const
    {
        HWND window = nullptr;
        while ((window = ::FindWindowExW(nullptr, window, L"ListBox", nullptr)) != nullptr)
        {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == m_program.ProcessId() && ::IsWindowVisible(window))
                return window;
        }
        return nullptr;
    }

    // Answers the message box that comes up and returns its text.
    std::wstring AnswerBox(int button)
    {
        std::wstring text;
        const HWND box = WaitForMessageBox(m_program.ProcessId(), &text);
        if (box == nullptr)
            return L"(no message)";
        Answer(box, button);
        WaitFor([&] { return !::IsWindow(box); }, kDialogTimeoutMs);
        return text;
    }
};
}

TEST_F(SetupDialogUserActions, TheProfileMenuFromTheKeyboardKeepsTheSelectedProfile)
{
    ASSERT_TRUE(ClickProfileEntry(2));
    for (const wchar_t* key : {L"shift+F10", L"Menu"})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(key)));
        ASSERT_TRUE(PhysicalInput::KeyTap(key));
        HWND menu = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (menu = FindPopupMenu(m_program.ProcessId())) != nullptr; }, kDialogTimeoutMs));
        programtest::SaveScreenshot(L"setup-profile-menu-keyboard.png");
        EXPECT_EQ(SelectedEntry(), 2) << "the menu works on the profile selected";
        EXPECT_EQ(TextOf(m_dialog, IDC_SETUP_PROCESS), L"beta.exe");
        ASSERT_TRUE(PhysicalInput::KeyTap(L"Escape"));
        ASSERT_TRUE(WaitFor([&] { return FindPopupMenu(m_program.ProcessId()) == nullptr; }, kDialogTimeoutMs));
    }
}

TEST_F(SetupDialogUserActions, AClickOnAModifierBoxOfTheOptionsPageTogglesItAndNeverLeavesItMixed)
{
    ASSERT_TRUE(ClickProfileEntry(1));
    ASSERT_TRUE(ClickTab(m_dialog, kOptionsTab));
    const HWND page = FindPage(m_dialog, IDC_OPT_AXIS_LOCKING);
    ASSERT_NE(page, nullptr);
    const HWND axis = ::GetDlgItem(page, IDC_OPT_AXIS_LOCKING);
    const HWND modifiers = ::GetDlgItem(page, IDC_OPT_DISABLE_LAYER_MODIFIER);
    // Switching on mouse move is off for all profiles: its box shows the mixed state, out of reach.
    EXPECT_EQ(CheckState(::GetDlgItem(page, IDC_OPT_DISABLE_MOUSE_OVER)), BST_INDETERMINATE);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(page, IDC_OPT_DISABLE_MOUSE_OVER)));
    ASSERT_EQ(CheckState(axis), BST_CHECKED);
    ASSERT_EQ(CheckState(modifiers), BST_UNCHECKED);

    ASSERT_TRUE(ClickControlAt(axis, 6, 6));
    EXPECT_TRUE(WaitFor([&] { return CheckState(axis) != BST_CHECKED; }, kDialogTimeoutMs));
    EXPECT_EQ(CheckState(axis), BST_UNCHECKED);
    ASSERT_TRUE(ClickControlAt(modifiers, 6, 6));
    EXPECT_TRUE(WaitFor([&] { return CheckState(modifiers) != BST_UNCHECKED; }, kDialogTimeoutMs));
    EXPECT_EQ(CheckState(modifiers), BST_CHECKED);
    ASSERT_TRUE(ClickControlAt(modifiers, 6, 6));
    EXPECT_TRUE(WaitFor([&] { return CheckState(modifiers) != BST_CHECKED; }, kDialogTimeoutMs));
    EXPECT_EQ(CheckState(modifiers), BST_UNCHECKED) << "a second click takes the tick away";
    programtest::SaveScreenshot(L"setup-options-modifier-boxes.png");

    Apply();
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(saved->GetApplicationCount(), 3);
    EXPECT_FALSE(saved->GetApplication(0)->AxisLocking());
    EXPECT_FALSE(saved->GetApplication(0)->GetDisableLayerModifier());
}

TEST_F(SetupDialogUserActions, AnEditorCancelledAfterALayerModifierWasTakenOffLeavesBothLayersAsTheyWere)
{
    ASSERT_EQ(TextOf(MiddlePicker()), L"Layer 2");
    ASSERT_TRUE(Choose(MiddlePicker(), L"Run Application"));
    EXPECT_EQ(AnswerBox(IDYES).rfind(L"If you remove a layer changing command", 0), 0u);
    HWND editor = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (editor = DialogWithControl(m_program.ProcessId(), IDC_CUSTOM_APP_PATH)) != nullptr; },
                        kDialogTimeoutMs));
    programtest::SaveScreenshot(L"setup-layer-modifier-editor.png");
    ASSERT_TRUE(ClickControl(::GetDlgItem(editor, IDCANCEL)));
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(editor); }, kDialogTimeoutMs));

    EXPECT_EQ(TextOf(MiddlePicker()), L"Layer 2");
    ASSERT_TRUE(ClickTab(m_dialog, kLayer2Tab));
    EXPECT_EQ(TextOf(MiddlePicker()), L"Layer Modifier Revert") << "the target layer keeps its side of the modifier";

    // Confirmed, the new action stands and the modifier leaves both layers.
    ASSERT_TRUE(ClickTab(m_dialog, kLayer1Tab));
    ASSERT_TRUE(Choose(MiddlePicker(), L"Run Application"));
    ASSERT_TRUE(WaitFor([&] { return (editor = DialogWithControl(m_program.ProcessId(), IDC_CUSTOM_APP_PATH)) != nullptr; },
                        kDialogTimeoutMs));
    ASSERT_TRUE(TypeIntoEdit(::GetDlgItem(editor, IDC_CUSTOM_APP_PATH), L"c:\\tools\\run.exe"));
    ASSERT_TRUE(ClickControl(::GetDlgItem(editor, IDOK)));
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(editor); }, kDialogTimeoutMs));
    ASSERT_TRUE(ClickTab(m_dialog, kLayer2Tab));
    EXPECT_NE(TextOf(MiddlePicker()), L"Layer Modifier Revert");

    Apply();
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->GetDefaultApp()->GetActions(Middle, 0), ACTION_RUN_APPLICATION);
    EXPECT_EQ(saved->GetDefaultApp()->GetActions(Middle, 1), ACTION_NO_CHANGE);
}

TEST_F(SetupDialogUserActions, KeysAfterALayerChangeTurnedThePageUnderTheFocusGoToTheTabRowAndEditNothing)
{
    StartProbe(RECT{1010, 760, 1270, 990});
    const HWND tabs = ::GetDlgItem(m_dialog, IDC_SETUP_TABS);
    const auto clickName = [&] {
        const HWND name = ::GetDlgItem(FindPage(m_dialog, IDC_LAYER_NAME, true), IDC_LAYER_NAME);
        return ClickControl(name) && WaitFor([&] { return FocusIn(m_dialog) == name; }, kDialogTimeoutMs);
    };
    const auto changeLayer = [&](const wchar_t* command, int tab) {
        return m_program.StartLater(command) && WaitFor([&] { return SelectedTab(m_dialog) == tab; }, kDialogTimeoutMs);
    };
    // In front, the dialog moves the focus off the page it turns away.
    ASSERT_TRUE(clickName());
    ASSERT_TRUE(changeLayer(L"/layer:2", kLayer2Tab)) << m_program.Log();
    EXPECT_TRUE(WaitFor([&] { return FocusIn(m_dialog) == tabs; }, kDialogTimeoutMs))
        << "the focus is on " << ::GetDlgCtrlID(FocusIn(m_dialog));

    // Behind another program's window it cannot: activated again, it gives
    // the focus back to the hidden page.
    ASSERT_TRUE(clickName());
    ASSERT_TRUE(m_probe != nullptr && m_probe->Activate());
    ASSERT_TRUE(changeLayer(L"/layer:1", kLayer1Tab)) << m_program.Log();
    RECT frame{};
    ::GetWindowRect(m_dialog, &frame);
    ASSERT_TRUE(PhysicalInput::ClickAt(frame.left + 80, frame.top + ::GetSystemMetrics(SM_CYCAPTION) / 2 + 2,
                                       PhysicalInput::kLeft));
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == m_dialog; }, kDialogTimeoutMs));
    // Down in the left button's picker, the first control of the page shown, would change its action.
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Down"));
    // The sheet Alt+S opens is up only once the key before it was handled.
    ASSERT_TRUE(PhysicalInput::KeyTap(L"alt+s"));
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (sheet = FindSettingsSheet(m_program.ProcessId())) != nullptr; }, kDialogTimeoutMs));
    ASSERT_TRUE(PhysicalInput::PrepareForInput(sheet));
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Escape"));
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }, kDialogTimeoutMs));
    programtest::SaveScreenshot(L"setup-key-after-layer-change.png");
    EXPECT_FALSE(IsEnabled(m_dialog, IDOK)) << "the key edited something";
}
