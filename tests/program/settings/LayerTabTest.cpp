#include <gtest/gtest.h>

#include <windows.h>

#include "ActionData.h"
#include "FrameworkTestSupport.h"
#include "LayerTabTestSupport.h"
#include "PhysicalInput.h"
#include "ProgramRunner.h"
#include "CustomApp.h"
#include "FileDialog.h"

using brmptest::PhysicalInput;
using framework_test::PumpUntil;
using layertab_test::Choose;
using layertab_test::PageHost;
using layertab_test::ScriptedEditors;
using layertab_test::Shown;

namespace
{
struct AnsweringBoxes
{
    AnsweringBoxes()
        : scope([this](const MessageBoxRequest& r) {
              texts.push_back(r.text);
              return (r.type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
          })
    {
    }
    std::vector<std::wstring> texts;
    ScopedMessageBoxHandler scope;
};
}

TEST(LayerTab, ALayerModifierIsMirroredOnItsTargetLayerWhichThenCannotSwitchOnItself)
{
    AnsweringBoxes boxes;
    PageHost host;
    ASSERT_TRUE(host.Open());
    ASSERT_EQ(2, host.settings.MaxLayers());

    Choose(host.Page(0), Left, ACTION_LAYER_3);
    EXPECT_EQ(ACTION_LAYER_3, host.profile->GetActions(Left, 0));
    EXPECT_EQ(ACTION_LAYER_3, host.profile->GetActions(Left, 2));
    EXPECT_EQ(3, host.settings.MaxLayers()) << "the target layer comes into use";
    ASSERT_TRUE(host.pages[2]) << "the tabs were rebuilt for the new layer";
    CLayerTab& layer3 = host.Page(2);
    EXPECT_EQ(ACTION_LAYER_3, Shown(layer3, Left));
    EXPECT_EQ(L"Layer Modifier Revert", layer3.GetPicker(Left)->GetWindowText());
    EXPECT_EQ(0, ::GetWindowLongW(layer3.GetDlgItem(1191), GWL_STYLE) & WS_VISIBLE);
    EXPECT_NE(0, ::GetWindowLongW(layer3.GetDlgItem(1099), GWL_STYLE) & WS_VISIBLE);

    // On the target layer another layer modifier is refused and the picker
    // returns to what the profile holds.
    const size_t before = boxes.texts.size();
    Choose(layer3, Right, ACTION_LAYER_4);
    ASSERT_EQ(before + 1, boxes.texts.size());
    EXPECT_NE(std::wstring::npos, boxes.texts.back().find(L"LAYER X modifier"));
    EXPECT_EQ(host.profile->GetActions(Right, 2), Shown(layer3, Right));
    EXPECT_EQ(3, host.settings.MaxLayers());

    // Removing the modifier (a plain click) resets the target layer's button.
    Choose(host.Page(0), Left, ACTION_LEFT_CLICK);
    EXPECT_EQ(ACTION_SAME_AS_DEFAULT, host.profile->GetActions(Left, 2));
    EXPECT_EQ(ACTION_SAME_AS_DEFAULT, Shown(host.Page(2), Left));
    EXPECT_GT(host.applyEnabled, 0);
}

TEST(LayerTab, EditsOnOtherPagesSurviveWhenALayerActionRewritesTheirLayers)
{
    AnsweringBoxes boxes;
    PageHost host;
    ASSERT_TRUE(host.Open());
    // An edit on layer 2's page that is not stored yet.
    Choose(host.Page(1), Middle, ACTION_DOUBLE_CLICK);
    ::SetDlgItemTextW(host.Page(1).GetSafeHwnd(), 1078, L"Browsing");
    Choose(host.Page(0), XLeft, ACTION_LAYER_NEXT);
    for (int layer = 0; layer < LayerCount; ++layer)
        EXPECT_EQ(ACTION_LAYER_NEXT, host.profile->GetActions(XLeft, layer)) << layer;
    EXPECT_EQ(ACTION_DOUBLE_CLICK, host.profile->GetActions(Middle, 1));
    EXPECT_EQ(ACTION_DOUBLE_CLICK, Shown(host.Page(1), Middle));
    EXPECT_EQ(std::wstring(L"Browsing"), host.profile->GetLayerName(1));
    EXPECT_EQ(ACTION_LAYER_NEXT, Shown(host.Page(1), XLeft));
}

TEST(LayerTab, SwitchingProfilesNeverCarriesThePreviousProfilesNameOrSelection)
{
    PageHost host;
    host.profile->SetLayerName(L"Games", 0);
    host.profile->SetActions(Right, 0, ACTION_MIDDLE_CLICK);
    ASSERT_TRUE(host.Open());
    wchar_t name[64] = {};
    ::GetDlgItemTextW(host.Page(0).GetSafeHwnd(), 1078, name, 64);
    EXPECT_STREQ(L"Games", name);
    EXPECT_EQ(ACTION_MIDDLE_CLICK, Shown(host.Page(0), Right));

    // The default profile: no layer name, and a stored action no picker offers.
    CApplicationSettings* other = host.settings.GetDefaultApp();
    ASSERT_NE(nullptr, other);
    other->SetActions(Right, 0, ACTION_RESERVED_FIRST);
    host.applyEnabled = 0;
    host.current = other;
    host.Reload();
    ::GetDlgItemTextW(host.Page(0).GetSafeHwnd(), 1078, name, 64);
    EXPECT_STREQ(L"", name);
    CColourComboBox* picker = host.Page(0).GetPicker(Right);
    EXPECT_EQ(0, picker->GetCurSel());
    EXPECT_NE(ACTION_MIDDLE_CLICK, Shown(host.Page(0), Right));
    EXPECT_EQ(host.applyEnabled, 0) << "showing what no picker offers is no edit";

    // Storing the page writes nothing of the first profile into this one.
    ASSERT_TRUE(host.Page(0).SaveSettings());
    EXPECT_EQ(std::wstring(L""), other->GetLayerName(0));
    EXPECT_EQ(ACTION_RESERVED_FIRST, other->GetActions(Right, 0));
    EXPECT_EQ(std::wstring(L"Games"), host.profile->GetLayerName(0));
}

TEST(LayerTab, RunApplicationIsEditedStoredAndCancelledBackToTheStoredActionByItsCode)
{
    ScriptedEditors editors;
    AnsweringBoxes boxes;
    PageHost host;
    // Layer 1's own modifier on the left button: its item reads
    // "Layer Modifier Revert", so a name search would find "Layer 10".
    host.profile->SetActions(Left, 0, ACTION_LAYER_1);
    host.profile->SetActions(Left, 1, ACTION_LAYER_1);
    ASSERT_TRUE(host.Open());
    CLayerTab& page = host.Page(0);
    EXPECT_EQ(ACTION_LAYER_1, Shown(page, Left));

    // Left button: Run Application, cancelled.
    editors.appOutcome = EditorOutcome::kCancelled;
    boxes.texts.clear();
    Choose(page, Middle, ACTION_RUN_APPLICATION);
    Choose(page, Left, ACTION_RUN_APPLICATION); // leaves a layer action: confirmed by the box answer
    EXPECT_EQ(ACTION_LAYER_1, Shown(page, Left)) << "the cancelled editor leaves the modifier in place";
    EXPECT_EQ(ACTION_LAYER_1, host.profile->GetActions(Left, 1)) << "on both of its layers";

    // Middle: now confirm a program.
    editors.appOutcome = EditorOutcome::kConfirmed;
    editors.appPath = L"C:\\Tools\\launch.exe";
    host.applyEnabled = 0;
    Choose(page, Middle, ACTION_NO_CHANGE);
    Choose(page, Middle, ACTION_RUN_APPLICATION);
    EXPECT_EQ(L"Run Application: [C:\\Tools\\launch.exe]", page.GetPicker(Middle)->GetWindowText());
    EXPECT_GT(host.applyEnabled, 0);
    EXPECT_TRUE(::IsWindowEnabled(page.GetDlgItem(1303)));
    ASSERT_TRUE(page.SaveSettings());
    EXPECT_STREQ(L"C:\\Tools\\launch.exe", host.profile->GetLaunchApp(Middle, 0));

    // The edit button with the same program changes nothing and disables itself.
    host.profile->SetActions(Middle, 0, ACTION_RUN_APPLICATION);
    host.applyEnabled = 0;
    ::SendMessageW(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(1303, BN_CLICKED),
                   reinterpret_cast<LPARAM>(page.GetDlgItem(1303)));
    EXPECT_EQ(L"app:C:\\Tools\\launch.exe", editors.calls.back());
    EXPECT_EQ(0, host.applyEnabled);
    EXPECT_FALSE(::IsWindowEnabled(page.GetDlgItem(1303)));

    // Cancel on a fresh choice returns to the stored action by its code.
    page.UpdateApplication(host.profile);
    host.profile->SetActions(Right, 0, ACTION_LAYER_1);
    page.UpdateApplication(host.profile);
    ASSERT_EQ(ACTION_LAYER_1, Shown(page, Right));
    editors.appOutcome = EditorOutcome::kCancelled;
    page.GetPicker(Right)->SelectAction(ACTION_RUN_APPLICATION);
    bool keep = true;
    EXPECT_FALSE(page.EditCustomAction(Right, ACTION_RUN_APPLICATION, ACTION_LAYER_1,
                                       page.GetPicker(Right)->GetItemActionData(page.GetPicker(Right)->GetCurSel()),
                                       keep));
    EXPECT_FALSE(keep);
    EXPECT_EQ(ACTION_LAYER_1, Shown(page, Right)) << "not Layer 10";
}

TEST(LayerTab, AnActionWithoutAnEditorInThisBuildIsChosenAsItIs)
{
    ScriptedEditors editors;
    editors.keysOutcome = EditorOutcome::kUnavailable;
    PageHost host;
    ASSERT_TRUE(host.Open());
    Choose(host.Page(0), XRight, ACTION_SIMULATED_KEYS);
    EXPECT_EQ(L"keys:Mouse Button 5:", editors.calls.back()) << "the title drops the ampersand";
    EXPECT_EQ(ACTION_SIMULATED_KEYS, Shown(host.Page(0), XRight));
    ASSERT_TRUE(host.Page(0).SaveSettings());
    EXPECT_EQ(ACTION_SIMULATED_KEYS, host.profile->GetActions(XRight, 0));
}

TEST(LayerTab, TheFirstLayerOffersNoSameAsLayerOneAndHidesTheSwitchControls)
{
    PageHost host;
    ASSERT_TRUE(host.Open());
    CLayerTab& first = host.Page(0);
    EXPECT_EQ(-1, first.GetPicker(Left)->FindItemText(L"** Same As Layer 1 (current profile) **"));
    EXPECT_GE(host.Page(1).GetPicker(Left)->FindItemText(L"** Same As Layer 1 (current profile) **"), 0);
    for (int id : {1108, 1191, 1207, 1099})
        EXPECT_EQ(0, ::GetWindowLongW(first.GetDlgItem(id), GWL_STYLE) & WS_VISIBLE) << id;
    EXPECT_NE(0, ::GetWindowLongW(host.Page(1).GetDlgItem(1191), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(-1, first.GetPicker(TiltLeft)->FindItemText(L"Button Chording")) << "no chords on the tilt wheel";
    ::RedrawWindow(host.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    programtest::SaveScreenshot(L"layer_page.png");
}

TEST(LayerTab, TheCopyAndSwapButtonsHandTheirLayerToTheDialog)
{
    PageHost host;
    ASSERT_TRUE(host.Open());
    host.Show(1);
    ::SendMessageW(host.Page(1).GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(1221, BN_CLICKED),
                   reinterpret_cast<LPARAM>(host.Page(1).GetDlgItem(1221)));
    ::SendMessageW(host.Page(1).GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(1219, BN_CLICKED),
                   reinterpret_cast<LPARAM>(host.Page(1).GetDlgItem(1219)));
    EXPECT_EQ(host.moved, (std::vector<std::wstring>{L"copy 1 locked", L"swap 1 locked"}));
    EXPECT_EQ(host.Page(1).GetPicker(0)->WheelLocked, 0) << "the pickers respond to the wheel again";
}

TEST(LayerTab, APressedWheelOrTiltHighlightClearsItselfAndTheWheelOverADisabledPickerIsSwallowed)
{
    PageHost host;
    ASSERT_TRUE(host.Open());
    CLayerTab& page = host.Page(0);
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    page.HighlightPicker(Left, RGB(252, 199, 56));
    page.HighlightPicker(WheelUp, RGB(252, 199, 56));
    EXPECT_EQ(RGB(252, 199, 56), page.GetPicker(WheelUp)->GetBackgroundColour());
    ASSERT_TRUE(PumpUntil([&] { return page.GetPicker(WheelUp)->GetBackgroundColour() == window; }));
    EXPECT_EQ(RGB(252, 199, 56), page.GetPicker(Left)->GetBackgroundColour()) << "a button with a release keeps it";
    page.HighlightPicker(Left, CLR_INVALID);
    EXPECT_EQ(window, page.GetPicker(Left)->GetBackgroundColour());

    CColourComboBox* picker = page.GetPicker(Right);
    picker->EnableWindow(false);
    MSG wheel{picker->GetSafeHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0, 0, {}};
    EXPECT_TRUE(page.PreTranslateMessage(&wheel));
    picker->EnableWindow(true);
}

namespace
{
// Drives the run-application editor from inside its modal loop, step by step.
struct EditorDriver
{
    static EditorDriver*& Current()
    {
        static EditorDriver* current = nullptr;
        return current;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (EditorDriver* driver = Current())
            driver->Step();
    }
    void Step()
    {
        const HWND dialog = ::FindWindowW(nullptr, L"Run Application");
        if (dialog == nullptr || busy)
            return;
        busy = true;
        wchar_t text[MAX_PATH] = {};
        ::GetDlgItemTextW(dialog, 1024, text, MAX_PATH);
        switch (step)
        {
        case 0:
            ::SetForegroundWindow(dialog);
            step = 10;
            break;
        case 10:
            if (::GetForegroundWindow() == dialog)
            {
                // Typed as characters: the suite's earlier tests may leave the
                // physical keyboard's state to another window. A sent character
                // is never lost, so the field holds all of them when the last
                // returns: what it shows now is what the user typed.
                const HWND edit = ::GetDlgItem(dialog, 1024);
                ::SetFocus(edit);
                for (wchar_t ch : std::wstring(L"C:\\typed.exe"))
                    ::SendMessageW(edit, WM_CHAR, ch, 1);
                ::GetDlgItemTextW(dialog, 1024, text, MAX_PATH);
                typed = text;
                programtest::SaveScreenshot(L"run_application_editor.png");
                ::SendMessageW(::GetDlgItem(dialog, 1023), BM_CLICK, 0, 0);
                step = 2;
            }
            break;
        case 2:
            if (std::wstring(text) == L"C:\\Windows\\notepad.exe")
            {
                RECT ok{};
                ::GetWindowRect(::GetDlgItem(dialog, IDOK), &ok);
                PhysicalInput::ClickAt((ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2, PhysicalInput::kLeft);
                step = 3;
            }
            break;
        default:
            break;
        }
        busy = false;
    }
    int step = 0;
    bool busy = false;
    std::wstring typed;
};
}

TEST(RunApplicationEditor, AUserTypesAPathBrowsesFromItAndConfirms)
{
    brmptest::ProgramResources resources;
    ASSERT_TRUE(resources.Loaded());
    std::wstring browsedFrom;
    ScopedFileDialogHandler dialogs([&](const FileDialogRequest& request, std::wstring& path) {
        browsedFrom = request.initialFile;
        path = L"C:\\Windows\\notepad.exe";
        return true;
    });
    CCustomApp editor(nullptr, L"");
    EditorDriver driver;
    EditorDriver::Current() = &driver;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &EditorDriver::Tick);
    framework_test::ModalWatchdog watchdog(editor, 20000);
    const INT_PTR answer = editor.DoModal();
    ::KillTimer(nullptr, timer);
    EditorDriver::Current() = nullptr;
    EXPECT_EQ(L"C:\\typed.exe", driver.typed) << "the field took every character typed";
    EXPECT_EQ(3, driver.step);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(IDOK, answer);
    EXPECT_EQ(L"C:\\typed.exe", browsedFrom) << "a typed path is where browsing starts";
    EXPECT_EQ(L"C:\\Windows\\notepad.exe", editor.m_path);
}
