// The global settings sheet on the real program's road: opened from the
// settings dialog's Settings button, its changes reach the dialog at OK and
// the settings file and the registered hotkeys after Apply and Close.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "Control.h"
#include "Probe.h"
#include "PhysicalInput.h"
#include "Hotkeys.h"
#include "ApplicationSettings.h"
#include "Actions.h"
#include "GlobalSettingsIds.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "TempFolder.h"
#include "WaitFor.h"

using namespace setuptest;

namespace
{
HWND FindSheetOf(DWORD processId)
{
    HWND sheet = nullptr;
    brmptest::WaitFor(
        [&] {
            sheet = ::FindWindowW(L"#32770", L"Global Settings");
            DWORD owner = 0;
            if (sheet != nullptr)
                ::GetWindowThreadProcessId(sheet, &owner);
            return sheet != nullptr && owner == processId && ::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) != 0;
        },
        kDialogTimeoutMs);
    return sheet;
}

class GlobalSettingsRoad : public SetupDialogTest
{
protected:
    GlobalSettingsRoad() : SetupDialogTest(L"brmp-global-road") {}
};

// The program in debug mode, with a probe whose middle button types w on
// layer 2 and e on layer 3: what a middle click gives tells the layer.
class GlobalSettingsKeysRoad : public SetupDialogTest
{
protected:
    GlobalSettingsKeysRoad() : SetupDialogTest(L"brmp-global-keys", L"/setup /debug") {}

    void Prepare(CSettings& settings) override
    {
        settings.SetMaxLayers(3);
        auto* profile = new CApplicationSettings(&settings, false, -1);
        profile->SetApplication(L"brmpprobe.exe");
        profile->SetDescription(L"Probe");
        profile->SetActions(Middle, 1, ACTION_SIMULATED_KEYS);
        profile->SetKeystrokes(Middle, 1, L"w", 0, 0, false, true, false, false);
        profile->SetActions(Middle, 2, ACTION_SIMULATED_KEYS);
        profile->SetKeystrokes(Middle, 2, L"e", 0, 0, false, true, false, false);
        settings.AddApplication(profile);
        StartProbe(RECT{700, 500, 1000, 750});
    }

    // One middle click in the probe and what it gave: the keys typed, or "M" for the click itself.
    std::wstring MiddleClickInProbe()
    {
        return programtest::MiddleClickInProbe(*m_probe);
    }
};

// Keys sent by a Windows process, as registered hotkeys need (xdotool's chords do not reach them).
bool SendChord(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (WORD key : keys)
    {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto it = keys.end(); it != keys.begin();)
    {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *--it;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}
}

TEST_F(GlobalSettingsRoad, MoreLayersRebuildTheTabsAndApplyStoresThemWithAHotkeyThatIsRegistered)
{
    const HWND tabs = ::GetDlgItem(m_dialog, IDC_SETUP_TABS);
    ASSERT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 4);

    Click(m_dialog, IDC_SETUP_SETTINGS);
    const HWND sheet = FindSheetOf(m_program.ProcessId());
    ASSERT_NE(sheet, nullptr) << programtest::DescribeWindows();
    ::SendMessageW(SheetPageControl(sheet, IDC_GEN_LAYERS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"4"));
    ::SendMessageW(sheet, PSM_SETCURSEL, 5, 0);
    ::SendMessageW(SheetPageControl(sheet, IDC_HK_ENABLE), BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(SheetPageControl(sheet, IDC_HOTKEY_FIRST + 1), HKM_SETHOTKEY,
                   MAKEWORD('2', HOTKEYF_CONTROL | HOTKEYF_ALT), 0);
    programtest::SaveScreenshot(L"global-settings-road.png");
    ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);

    ASSERT_TRUE(brmptest::WaitFor([&] { return !::IsWindow(sheet); }, kDialogTimeoutMs));
    EXPECT_TRUE(brmptest::WaitFor([&] { return ::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0) == 6; }))
        << "four layers, then the scrolling and options pages";
    EXPECT_TRUE(IsEnabled(m_dialog, IDOK)) << "the change waits for Apply";

    Apply();
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->MaxLayers(), 4);
    EXPECT_TRUE(saved->m_bGlobalHotkeys);
    EXPECT_EQ(saved->GetHotKeys()->GetHotkey(HK_Layer2)->GetVirtualKey(), '2');
    EXPECT_EQ(saved->GetHotKeys()->GetHotkey(HK_Layer2)->GetModifier(), HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT);

    // Closing the dialog registers the hotkeys of the applied settings.
    Click(m_dialog, IDCANCEL);
    EXPECT_TRUE(m_program.WaitForLog("installed 1 global hotkeys", kDialogTimeoutMs)) << m_program.Log();
}

TEST_F(GlobalSettingsRoad, ALanguagePackInstalledWhileTheSheetIsOpenIsShownChosenOnItsLanguagePage)
{
    Click(m_dialog, IDC_SETUP_SETTINGS);
    const HWND sheet = FindSheetOf(m_program.ProcessId());
    ASSERT_NE(sheet, nullptr) << programtest::DescribeWindows();

    brmptest::TempFolder downloads(L"brmp-road-pack");
    const std::wstring pack = downloads.PathOf(L"Deutsch.brmplp");
    ASSERT_TRUE(brmptest::WriteFileBytes(pack, "Language=Deutsch\n\"Apply\" => \"Anwenden\"\n"));
    ASSERT_TRUE(m_program.StartLater(L"/install:\"" + pack + L"\""));

    // The open sheet turns to its language page, where the new pack is listed and chosen.
    const auto languageChosen = [&] {
        const HWND list = SheetPageControl(sheet, IDC_LANG_LIST);
        if (list == nullptr)
            return false;
        const LRESULT index = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
        wchar_t text[64] = {};
        if (index < 0 || ::SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) >= 64)
            return false;
        ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
        return std::wstring(text) == L"Deutsch";
    };
    EXPECT_TRUE(brmptest::WaitFor(languageChosen, kDialogTimeoutMs)) << m_program.Log();
    programtest::SaveScreenshot(L"global-settings-language-installed.png");
    EXPECT_TRUE(::IsWindow(sheet)) << "the same sheet, not one opened after it";
    const auto tabControl = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    EXPECT_EQ(::SendMessageW(tabControl, TCM_GETCURSEL, 0, 0), 3) << "its Language tab is the one chosen";

    ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(brmptest::WaitFor([&] { return !::IsWindow(sheet); }, kDialogTimeoutMs));
    EXPECT_TRUE(IsEnabled(m_dialog, IDOK)) << "the new language waits for Apply";
    Apply();
    const std::unique_ptr<CSettings> saved = Saved();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(_wcsicmp(saved->GetLanguage(), L"Deutsch.brmplp"), 0) << saved->GetLanguage();
}

TEST_F(GlobalSettingsKeysRoad, AHotkeyAndALayerModifierKeySetInTheSheetSwitchLayersWhenPressed)
{
    ASSERT_NE(m_probe, nullptr);
    Click(m_dialog, IDC_SETUP_SETTINGS);
    const HWND sheet = FindSheetOf(m_program.ProcessId());
    ASSERT_NE(sheet, nullptr) << programtest::DescribeWindows();
    ::SendMessageW(sheet, PSM_SETCURSEL, 5, 0);
    ::SendMessageW(SheetPageControl(sheet, IDC_HK_ENABLE), BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(SheetPageControl(sheet, IDC_HOTKEY_FIRST + HK_Layer2), HKM_SETHOTKEY,
                   MAKEWORD('2', HOTKEYF_CONTROL | HOTKEYF_ALT), 0);
    ::SendMessageW(sheet, PSM_SETCURSEL, 6, 0);
    ::SendMessageW(SheetPageControl(sheet, IDC_MK_ENABLE), BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(SheetPageControl(sheet, IDC_HOTKEY_FIRST + MK_Layer3), HKM_SETHOTKEY, MAKEWORD(VK_F9, 0), 0);
    programtest::SaveScreenshot(L"global-settings-modifier-key.png");
    ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(brmptest::WaitFor([&] { return !::IsWindow(sheet); }, kDialogTimeoutMs));
    Apply();
    Click(m_dialog, IDCANCEL);
    // The table is filled at once, the hotkey registered by the hotkey thread
    // a moment later: the chord below needs the registration.
    ASSERT_TRUE(m_program.WaitForLog("HotkeyHandler: Created hotkey 0: mod=3, virt=50,", kDialogTimeoutMs))
        << m_program.Log();
    EXPECT_EQ(MiddleClickInProbe(), L"M") << "layer 1 leaves the middle button alone";

    // Ctrl+Alt+2 makes layer 2 current; the tray icon shows it before the click.
    ASSERT_TRUE(SendChord({VK_CONTROL, VK_MENU, '2'}));
    ASSERT_TRUE(m_program.WaitForLog("Tray icon: showing layer 2.", kDialogTimeoutMs)) << m_program.Log();
    EXPECT_EQ(MiddleClickInProbe(), L"w");

    // F9 held makes layer 3 current while it is down.
    ASSERT_TRUE(m_probe->Activate());
    ASSERT_TRUE(brmptest::PhysicalInput::KeyDown(L"F9"));
    const bool layer3 = m_program.WaitForLog("Tray icon: showing layer 3.", kDialogTimeoutMs);
    const std::wstring held = layer3 ? MiddleClickInProbe() : L"(layer 3 never shown)";
    ASSERT_TRUE(brmptest::PhysicalInput::KeyUp(L"F9"));
    EXPECT_EQ(held, L"e") << m_program.Log();
}

TEST_F(GlobalSettingsRoad, TheKeyboardWalksOnlyThePageShownAndALetterTypedThereLeavesEscapeToCancelTheSheet)
{
    using brmptest::PhysicalInput;
    ASSERT_TRUE(PhysicalInput::KeyTap(L"alt+s"));
    const HWND sheet = FindSheetOf(m_program.ProcessId());
    ASSERT_NE(sheet, nullptr) << programtest::DescribeWindows();
    ASSERT_TRUE(PhysicalInput::PrepareForInput(sheet));
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(sheet, PSM_GETTABCONTROL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    const int tabs = ::GetDlgCtrlID(reinterpret_cast<HWND>(answer));
    for (int page = 1; page <= 5; ++page)
    {
        ASSERT_TRUE(PhysicalInput::KeyTap(L"ctrl+Tab"));
        ASSERT_TRUE(brmptest::WaitFor([&] { return SelectedTab(sheet, tabs) == page; }, kDialogTimeoutMs));
    }
    // Each Tab moves the focus on, to a control the user sees.
    std::vector<int> hidden;
    HWND focus = FocusOf(sheet);
    for (int step = 1; step <= 6; ++step)
    {
        const HWND before = focus;
        ASSERT_TRUE(PhysicalInput::KeyTap(L"Tab"));
        ASSERT_TRUE(brmptest::WaitFor([&] { return (focus = FocusOf(sheet)) != before; }, kDialogTimeoutMs));
        if (!::IsWindowVisible(focus))
            hidden.push_back(::GetDlgCtrlID(focus));
    }
    EXPECT_EQ(hidden, std::vector<int>{}) << "ids of hidden controls the focus went to";
    programtest::SaveScreenshot(L"global-settings-tabbed.png");

    ASSERT_TRUE(PhysicalInput::KeyTap(L"j"));
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Escape"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return !::IsWindow(sheet); }, kDialogTimeoutMs)) << "Escape closes the sheet";
    EXPECT_FALSE(IsEnabled(m_dialog, IDOK)) << "and cancels it";
    ASSERT_TRUE(m_program.StartLater(L"/exit"));
    EXPECT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << "the program goes on and ends when asked";
}
