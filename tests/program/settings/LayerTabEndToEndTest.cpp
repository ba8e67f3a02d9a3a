// The layer pages of the real program's settings dialog, driven as a person
// would: a picker's drop-down opened with a click and an item clicked in it,
// names typed, message boxes answered, Apply pressed; the effect is checked
// where it shows: a probe window's clicks, the settings file, the pickers'
// colours while a button is held, and a program the click launches.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "VComboBox.h"
#include "WaitFor.h"

using brmptest::Named;
using brmptest::PhysicalInput;
using brmptest::Probe;
using namespace setuptest;

namespace
{
constexpr int kPickerFirst = 1001;
constexpr int kLayerName = 1078;
const wchar_t kProbeProfile[] = L"brmpprobe.exe";

LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &answer))
        return -1;
    return static_cast<LRESULT>(answer);
}

// The visible top-level window of a class that belongs to the process, or null.
HWND VisibleTopLevel(DWORD processId, const wchar_t* className)
{
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, className, nullptr)) != nullptr)
    {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == processId && ::IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

class LayerTabEndToEnd : public SetupDialogTest
{
protected:
    LayerTabEndToEnd() : SetupDialogTest(L"brmp-layertab", L"/debug /setup") {}

    void Prepare(CSettings& settings) override
    {
        auto* profile = new CApplicationSettings(&settings, false, -1);
        profile->SetApplication(kProbeProfile);
        settings.AddApplication(profile);
        // Right of the dialog, which the desktop centres.
        StartProbe(RECT{1075, 560, 1275, 990});
    }

    // The layer page the dialog shows, and one of its controls.
    HWND ShownPage()
    {
        HWND page = nullptr;
        while ((page = ::FindWindowExW(m_dialog, page, L"#32770", nullptr)) != nullptr)
            if (::IsWindowVisible(page) && ::GetDlgItem(page, kPickerFirst) != nullptr)
                return page;
        return nullptr;
    }
    HWND Picker(int button) { return ::GetDlgItem(ShownPage(), kPickerFirst + button); }

    // Opens the picker's drop-down with a click, scrolls its list to the item
    // with that text and clicks the item. The item is found by showing each
    // one in the closed picker (no notification) and then the selection goes back.
    ::testing::AssertionResult Choose(HWND picker, const std::wstring& text)
    {
        if (picker == nullptr)
            return ::testing::AssertionFailure() << "no picker";
        const LRESULT original = Ask(picker, VCB_GETCURSEL);
        const int count = static_cast<int>(Ask(picker, VCB_GETCOUNT));
        int index = -1;
        for (int i = 0; i < count && index < 0; ++i)
        {
            Ask(picker, VCB_SETCURSEL, static_cast<WPARAM>(i));
            if (programtest::WindowTextOf(picker) == text)
                index = i;
        }
        Ask(picker, VCB_SETCURSEL, static_cast<WPARAM>(original));
        if (index < 0)
            return ::testing::AssertionFailure() << "no item " << testing::PrintToString(text);

        if (auto clicked = ClickOn(picker); !clicked)
            return clicked;
        HWND list = nullptr;
        if (!brmptest::WaitFor([&] { return (list = VisibleTopLevel(m_program.ProcessId(), L"ListBox")) != nullptr; }))
            return ::testing::AssertionFailure() << "the drop-down did not open";
        Ask(list, LB_SETTOPINDEX, static_cast<WPARAM>(index));
        const int top = static_cast<int>(Ask(list, LB_GETTOPINDEX));
        const int height = static_cast<int>(Ask(list, LB_GETITEMHEIGHT));
        POINT at{30, (index - top) * height + height / 2};
        ::ClientToScreen(list, &at);
        if (auto moved = PhysicalInput::MoveTo(at.x, at.y); !moved)
            return moved;
        // The list is shown before the program has painted it.
        ::RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        programtest::SaveScreenshot(L"layer_picker_open.png");
        if (auto clicked = PhysicalInput::Click(PhysicalInput::kLeft); !clicked)
            return clicked;
        if (!brmptest::WaitFor([&] { return !::IsWindowVisible(list); }))
            return ::testing::AssertionFailure() << "the drop-down stayed open";
        if (!brmptest::WaitFor([&] { return programtest::WindowTextOf(picker) == text; }))
            return ::testing::AssertionFailure() << "the picker shows "
                                                 << testing::PrintToString(programtest::WindowTextOf(picker));
        return ::testing::AssertionSuccess();
    }

    // Answers the box that a choice opens with Yes (or OK) and returns its text.
    std::wstring AnswerBox(int button)
    {
        std::wstring text;
        if (HWND box = WaitForMessageBox(m_program.ProcessId(), &text))
        {
            Answer(box, button);
            brmptest::WaitFor([&] { return !::IsWindow(box); });
        }
        return text;
    }

    // Presses Apply; the file then satisfies the check.
    template <typename Check>
    ::testing::AssertionResult Apply(Check check)
    {
        const ::testing::AssertionResult applied =
            ClickApply([&] { return (m_saved = Saved()) != nullptr && check(*m_saved); });
        if (applied)
            return applied;
        programtest::SaveScreenshot(L"layer_apply_failed.png");
        return ::testing::AssertionFailure() << applied.message() << ":\n" << Describe();
    }
    // What the file holds, for failure messages.
    std::string Describe()
    {
        if (!m_saved)
            return "no file";
        std::string text = "layers " + std::to_string(m_saved->MaxLayers());
        const auto describe = [&](const char* what, const CApplicationSettings* profile) {
            if (profile == nullptr)
                return;
            text += std::string("; ") + what + " left/right/middle by layer:";
            for (int layer = 0; layer < 3; ++layer)
                text += " " + std::to_string(profile->GetActions(Left, layer)) + "/" +
                        std::to_string(profile->GetActions(Right, layer)) + "/" +
                        std::to_string(profile->GetActions(Middle, layer));
            const wchar_t* name = profile->GetLayerName(0);
            const wchar_t* app = profile->GetLaunchApp(Right, 0);
            const std::wstring extra = std::wstring(L" name '") + (name ? name : L"") + L"' app '" + (app ? app : L"") + L"'";
            text += std::string(extra.begin(), extra.end());
        };
        describe("default", m_saved->GetDefaultApp());
        describe("probe", SavedProbeProfile());
        return text;
    }
    CApplicationSettings* SavedProbeProfile()
    {
        for (int i = 0; m_saved && i < m_saved->GetApplicationCount(); ++i)
            if (CApplicationSettings* profile = m_saved->GetApplication(i))
                if (profile->GetFullName() != nullptr && std::wstring(profile->GetFullName()) == kProbeProfile)
                    return profile;
        return nullptr;
    }

    // A click of the button in the probe; what arrived: "L", "M", "R" for each release.
    std::wstring ClickInProbe(int button)
    {
        if (!m_probe->Activate())
            return L"(probe not focused)";
        m_probe->Clear();
        const POINT at = m_probe->Center();
        if (!PhysicalInput::ClickAt(at.x - 40 + (++m_step * 17) % 80, at.y, button))
            return L"(no click)";
        // A left click after it (never remapped here) fences what the first one did.
        if (!PhysicalInput::ClickAt(at.x, at.y + 30, PhysicalInput::kLeft) ||
            !m_probe->WaitForRecord(Named(L"WM_LBUTTONUP")))
            return L"(no fence)";
        std::wstring seen;
        for (const auto& record : m_probe->Records())
        {
            if (record.Is(L"WM_MBUTTONUP"))
                seen += L'M';
            else if (record.Is(L"WM_RBUTTONUP"))
                seen += L'R';
        }
        return seen;
    }

    std::unique_ptr<CSettings> m_saved;
    int m_step = 0;
};

// The same with a settings file that takes the library a moment to load.
class LayerTabEndToEndWithManyProfiles : public LayerTabEndToEnd
{
protected:
    void Prepare(CSettings& settings) override
    {
        LayerTabEndToEnd::Prepare(settings);
        for (int i = 0; i < 1500; ++i)
        {
            auto* profile = new CApplicationSettings(&settings, false, -1);
            profile->SetApplication((L"filler-" + std::to_wstring(i) + L".exe").c_str());
            settings.AddApplication(profile);
        }
    }
};
} // namespace

TEST_F(LayerTabEndToEnd, ARightButtonMadeAMiddleClickAndAMiddleButtonMadeLayerNextWorkAtOnceAfterApply)
{
    ASSERT_EQ(ClickInProbe(PhysicalInput::kRight), L"R") << m_probe->Describe();
    ASSERT_TRUE(SelectProfileByClick(1));

    ASSERT_TRUE(Choose(Picker(Right), L"Middle Click"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return programtest::WindowTextOf(Picker(Right)) == L"Middle Click"; }));
    ASSERT_TRUE(Choose(Picker(Middle), L"Layer (Next)"));
    EXPECT_NE(AnswerBox(IDYES).find(L"Layer changing commands"), std::wstring::npos);
    ASSERT_TRUE(brmptest::WaitFor([&] { return programtest::WindowTextOf(Picker(Middle)) == L"Layer (Next)"; }));
    programtest::SaveScreenshot(L"layer_page_remapped.png");

    ASSERT_TRUE(Apply([&](CSettings&) {
        const CApplicationSettings* probe = SavedProbeProfile();
        return probe != nullptr && probe->GetActions(Right, 0) == ACTION_MIDDLE_CLICK &&
               probe->GetActions(Middle, 0) == ACTION_LAYER_NEXT && probe->GetActions(Middle, 1) == ACTION_LAYER_NEXT;
    }));

    EXPECT_EQ(ClickInProbe(PhysicalInput::kRight), L"M")
        << "a right click arrives as a middle click\n" << m_probe->Describe() << m_program.Log();

    // The middle button moves to layer 2, where the right button is the default profile's again.
    ClickInProbe(PhysicalInput::kMiddle);
    EXPECT_TRUE(m_program.WaitForLog("Tray icon: showing layer 2.", 15000)) << m_program.Log();
    EXPECT_TRUE(brmptest::WaitFor([&] { return Ask(::GetDlgItem(m_dialog, IDC_SETUP_TABS), TCM_GETCURSEL) == 1; }))
        << "the dialog shows the layer in force";
    EXPECT_EQ(ClickInProbe(PhysicalInput::kRight), L"R") << m_probe->Describe();
}

TEST_F(LayerTabEndToEnd, ANamedLayerSurvivesTheTabsBeingRebuiltForANewLayerAndReachesTheFile)
{
    const HWND tabs = ::GetDlgItem(m_dialog, IDC_SETUP_TABS);
    ASSERT_EQ(Ask(tabs, TCM_GETITEMCOUNT), 4) << "two layers, scrolling, options";
    const HWND name = ::GetDlgItem(ShownPage(), kLayerName);
    // Typed as characters into the box: the keyboard of the desktop belongs to
    // whichever window Wine last focused.
    ASSERT_TRUE(ClickOn(name));
    for (wchar_t c : std::wstring(L"Browsing"))
        ::PostMessageW(name, WM_CHAR, c, 1);
    ASSERT_TRUE(brmptest::WaitFor([&] { return programtest::WindowTextOf(name) == L"Browsing"; }))
        << testing::PrintToString(programtest::WindowTextOf(name));
    EXPECT_TRUE(IsEnabled(m_dialog, IDOK));

    // Layer 3 on the left button of layer 1 brings a third layer: the tabs are rebuilt.
    ASSERT_TRUE(Choose(Picker(Left), L"Layer 3"));
    EXPECT_NE(AnswerBox(IDYES).find(L"Layer changing commands"), std::wstring::npos);
    ASSERT_TRUE(brmptest::WaitFor([&] { return Ask(tabs, TCM_GETITEMCOUNT) == 5; }));
    EXPECT_EQ(programtest::WindowTextOf(::GetDlgItem(ShownPage(), kLayerName)), L"Browsing");
    programtest::SaveScreenshot(L"layer_tabs_rebuilt.png");

    ASSERT_TRUE(Apply([](CSettings& saved) {
        const CApplicationSettings* defaults = saved.GetDefaultApp();
        return saved.MaxLayers() == 3 && defaults != nullptr && defaults->GetLayerName(0) != nullptr &&
               std::wstring(defaults->GetLayerName(0)) == L"Browsing" &&
               defaults->GetActions(Left, 0) == ACTION_LAYER_3 && defaults->GetActions(Left, 2) == ACTION_LAYER_3;
    }));
}

TEST_F(LayerTabEndToEnd, AButtonHeldDownHighlightsItsPickerUntilItIsReleased)
{
    const HWND picker = Picker(Middle);
    ASSERT_NE(picker, nullptr);
    // Whether the closed picker shows a highlight colour somewhere inside its frame.
    const auto highlighted = [&] {
        RECT box{};
        ::GetWindowRect(picker, &box);
        const HDC screen = ::GetDC(nullptr);
        bool found = false;
        for (int y = box.top + 3; y < box.bottom - 3 && !found; y += 2)
            for (int x = box.left + 3; x < box.left + 40 && !found; x += 3)
            {
                const COLORREF c = ::GetPixel(screen, x, y);
                found = c == RGB(0xFC, 0xC7, 0x38) || c == RGB(0x91, 0xC8, 0xFF);
            }
        ::ReleaseDC(nullptr, screen);
        return found;
    };
    ASSERT_FALSE(highlighted());

    // What the hook and the window under the pointer saw of the middle
    // button, and which window shows at the picker: for a failure's message.
    const auto seen = [&] {
        RECT box{};
        ::GetWindowRect(picker, &box);
        const HWND top = ::WindowFromPoint(POINT{box.left + 20, (box.top + box.bottom) / 2});
        wchar_t className[64] = L"";
        ::GetClassNameW(top, className, 64);
        return "hook saw " + std::to_string(m_program.LogCount("Msg=0x0207")) + " middle down(s) and " +
               std::to_string(m_program.LogCount("Msg=0x0208")) + " up(s); the probe got " +
               std::to_string(m_probe->Records(Named(L"WM_MBUTTONDOWN")).size()) + " down(s) and " +
               std::to_string(m_probe->Records(Named(L"WM_MBUTTONUP")).size()) + " up(s); hook overruns " +
               std::to_string(m_program.LogCount("Mouse hook has taken too long")) + "; at the picker " +
               (top == picker ? std::string("the picker") : testing::PrintToString(std::wstring(className)));
    };

    ASSERT_TRUE(m_probe->Activate());
    const POINT at = m_probe->Center();
    ASSERT_TRUE(PhysicalInput::MoveTo(at.x, at.y));
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    const bool shown = brmptest::WaitFor(highlighted, 10000);
    programtest::SaveScreenshot(L"layer_picker_highlight.png");
    const std::string whileDown = shown ? std::string() : seen();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    EXPECT_TRUE(shown) << "the middle button's picker is highlighted while it is down: " << whileDown;
    EXPECT_TRUE(brmptest::WaitFor([&] { return !highlighted(); }, 10000)) << "the release clears it: " << seen();
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(m_dialog, IDOK))) << "a highlight is no edit";
}

TEST_F(LayerTabEndToEnd, RunApplicationWithAProgramPathLaunchesItOnTheClick)
{
    // The "program": a command file that leaves a mark.
    const std::wstring script = m_program.Folder().PathOf(L"launched.cmd");
    const std::wstring mark = m_program.Folder().PathOf(L"launched.txt");
    {
        const std::string body = "@echo launched>\"" + std::string(mark.begin(), mark.end()) + "\"\r\n";
        const HANDLE file = ::CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(file, body.data(), static_cast<DWORD>(body.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    ASSERT_TRUE(SelectProfileByClick(1));
    ASSERT_TRUE(Choose(Picker(Right), L"Run Application"));

    // The editor opens on the choice; the path goes in and OK takes it.
    HWND editor = nullptr;
    ASSERT_TRUE(brmptest::WaitFor(
        [&] {
            editor = ::FindWindowW(L"#32770", L"Run Application");
            return editor != nullptr && ::IsWindowVisible(editor);
        },
        10000))
        << programtest::DescribeWindows();
    EXPECT_EQ(programtest::WindowTextOf(::GetDlgItem(editor, 1024)), L"") << "a new action has no path yet";
    Ask(::GetDlgItem(editor, 1024), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(script.c_str()));
    programtest::SaveScreenshot(L"run_application_in_dialog.png");
    ASSERT_TRUE(ClickOn(::GetDlgItem(editor, IDOK)));
    ASSERT_TRUE(brmptest::WaitFor([&] { return !::IsWindow(editor); }));
    EXPECT_EQ(programtest::WindowTextOf(Picker(Right)), L"Run Application: [" + script + L"]");

    ASSERT_TRUE(Apply([&](CSettings&) {
        const CApplicationSettings* probe = SavedProbeProfile();
        return probe != nullptr && probe->GetActions(Right, 0) == ACTION_RUN_APPLICATION &&
               probe->GetLaunchApp(Right, 0) != nullptr && script == probe->GetLaunchApp(Right, 0);
    }));

    // The click runs it; the click itself never arrives.
    EXPECT_EQ(ClickInProbe(PhysicalInput::kRight), L"") << m_probe->Describe();
    EXPECT_TRUE(brmptest::WaitFor([&] { return ::GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000))
        << m_program.Log();
}

TEST_F(LayerTabEndToEnd, KeysTypedInTheKeystrokeEditorAreSentByTheRightButtonAfterApply)
{
    ASSERT_TRUE(SelectProfileByClick(1));
    ASSERT_TRUE(Choose(Picker(Right), L"Simulated Keys: (undefined)"));
    HWND editor = nullptr;
    ASSERT_TRUE(brmptest::WaitFor(
        [&] {
            editor = ::FindWindowW(L"#32770", L"Simulated Keystrokes - Right Button");
            return editor != nullptr && ::IsWindowVisible(editor);
        },
        10000))
        << "the picker shows " << testing::PrintToString(programtest::WindowTextOf(Picker(Right))) << "\n"
        << m_program.LogTail();
    const HWND keys = ::GetDlgItem(editor, 1019);
    ASSERT_TRUE(PhysicalInput::PrepareForInput(editor));
    ASSERT_TRUE(ClickOn(keys));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::GetForegroundWindow() == editor; }));
    ASSERT_TRUE(PhysicalInput::Type(L"{CTRL}c"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return programtest::WindowTextOf(keys) == L"{CTRL}c"; }))
        << testing::PrintToString(programtest::WindowTextOf(keys));
    programtest::SaveScreenshot(L"keystroke_editor_in_dialog.png");
    ASSERT_TRUE(ClickOn(::GetDlgItem(editor, IDOK)));
    ASSERT_TRUE(brmptest::WaitFor([&] { return !::IsWindow(editor); }));

    ASSERT_TRUE(Apply([&](CSettings&) {
        const CApplicationSettings* probe = SavedProbeProfile();
        return probe != nullptr && probe->GetActions(Right, 0) == ACTION_SIMULATED_KEYS &&
               probe->GetKeystrokes(Right, 0) != nullptr && std::wstring(probe->GetKeystrokes(Right, 0)) == L"{CTRL}c";
    }));

    // The right click arrives as Ctrl+C, in that order, and never as a click.
    EXPECT_EQ(ClickInProbe(PhysicalInput::kRight), L"") << m_probe->Describe();
    EXPECT_TRUE(m_probe->WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_CONTROL), 10000))
        << m_probe->Describe() << m_program.Log();
    std::wstring order;
    for (const auto& record : m_probe->Records())
        if (record.Is(L"WM_KEYDOWN") || record.Is(L"WM_KEYUP"))
            order += std::wstring(record.Is(L"WM_KEYDOWN") ? L"+" : L"-") +
                     (record.Value(L"vk") == VK_CONTROL ? L"ctrl" : std::wstring(1, wchar_t(record.Value(L"vk"))));
    EXPECT_EQ(order, L"+ctrl+C-C-ctrl") << m_probe->Describe() << m_program.Log();
}

TEST_F(LayerTabEndToEndWithManyProfiles, TheFirstClickAfterApplyHasTheNewAction)
{
    ASSERT_TRUE(SelectProfileByClick(1));
    ASSERT_TRUE(Choose(Picker(Right), L"Middle Click"));
    // Apply, greyed out again, has put the change in force: the click at once
    // after it is remapped. The file is read only afterwards.
    ASSERT_TRUE(ClickApply([] { return true; }));
    EXPECT_EQ(ClickInProbe(PhysicalInput::kRight), L"M") << m_probe->Describe();
    m_saved = Saved();
    ASSERT_NE(SavedProbeProfile(), nullptr);
    EXPECT_EQ(SavedProbeProfile()->GetActions(Right, 0), ACTION_MIDDLE_CLICK);
}
