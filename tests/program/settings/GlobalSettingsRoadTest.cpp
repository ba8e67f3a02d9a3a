// The global settings sheet on the real program's road: opened from the
// settings dialog's Settings button, its changes reach the dialog at OK and
// the settings file and the registered hotkeys after Apply and Close.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <sstream>
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
#include "SettingsPropSheet.h"
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

LRESULT Ask(HWND window, UINT message)
{
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window, message, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
        return -1;
    return static_cast<LRESULT>(answer);
}

int TabRowId(HWND sheet)
{
    return ::GetDlgCtrlID(reinterpret_cast<HWND>(Ask(sheet, PSM_GETTABCONTROL)));
}

// Taps the key until the focus is on the control of that id, each tap waited
// for until the focus moved; the ids the focus went to are added to passed.
::testing::AssertionResult TapUntilFocusOn(HWND sheet, const wchar_t* key, int id, std::vector<int>& passed)
{
    HWND focus = FocusOf(sheet);
    for (int tap = 0; tap < 16 && ::GetDlgCtrlID(focus) != id; ++tap)
    {
        const HWND before = focus;
        if (auto tapped = brmptest::PhysicalInput::KeyTap(key); !tapped)
            return tapped;
        if (!brmptest::WaitFor([&] { return (focus = FocusOf(sheet)) != before; }, kDialogTimeoutMs))
            return ::testing::AssertionFailure() << "the focus stayed on " << ::GetDlgCtrlID(before);
        passed.push_back(::GetDlgCtrlID(focus));
    }
    if (::GetDlgCtrlID(focus) != id)
        return ::testing::AssertionFailure() << "control " << id << " never had the focus, only "
                                             << ::testing::PrintToString(passed);
    return ::testing::AssertionSuccess();
}

// The keys of both tables that differ between two settings, one line each.
std::wstring KeyDifferences(const CSettings& was, const CSettings& is)
{
    std::wostringstream out;
    const auto compare = [&](const wchar_t* name, int index, const CHotkey* a, const CHotkey* b) {
        if (a->GetVirtualKey() != b->GetVirtualKey() || a->GetModifier() != b->GetModifier())
            out << name << index << L" " << a->GetVirtualKey() << L"/" << a->GetModifier() << L" became "
                << b->GetVirtualKey() << L"/" << b->GetModifier() << L"\n";
    };
    for (int i = 0; i < HK_Count; ++i)
        compare(L"Hotkey", i, was.GetHotKeys()->GetHotkey(GlobalHotkeys(i)),
                is.GetHotKeys()->GetHotkey(GlobalHotkeys(i)));
    for (int i = 0; i < MK_Count; ++i)
        compare(L"ModifierKey", i, was.GetLayerModifierKeys()->GetHotkey(ModifierKeys(i)),
                is.GetLayerModifierKeys()->GetHotkey(ModifierKeys(i)));
    return out.str();
}

// Keys of both key pages in the file: layer 3's Ctrl+B among them, a modifier
// key whose code (400) lies beyond the key control's byte and one whose
// combination (11, Left Windows + Control + Shift) the list has no entry for.
class GlobalSettingsStoredKeysRoad : public SetupDialogTest
{
protected:
    GlobalSettingsStoredKeysRoad() : SetupDialogTest(L"brmp-global-stored") {}

    void Prepare(CSettings& settings) override
    {
        CHotKeys& hotkeys = *settings.GetHotKeys();
        hotkeys.GetHotkey(HK_Layer1)->SetHotkey(MAKEWORD('1', HOTKEYF_ALT));
        hotkeys.GetHotkey(HK_Layer2)->SetHotkey(MAKEWORD(VK_F5, HOTKEYF_SHIFT | HOTKEYF_CONTROL));
        hotkeys.GetHotkey(HK_Layer3)->SetHotkey(MAKEWORD('B', HOTKEYF_CONTROL));
        CLayerModifierKeys& modifiers = *settings.GetLayerModifierKeys();
        modifiers.GetHotkey(MK_Layer1)->SetVirtualKey(400);
        modifiers.GetHotkey(MK_Layer1)->SetModifier(HOTKEY_MOD_SHIFT);
        modifiers.GetHotkey(MK_Layer2)->SetVirtualKey('N');
        modifiers.GetHotkey(MK_Layer2)->SetModifier(11);
        modifiers.GetHotkey(MK_Layer3)->SetVirtualKey('M');
        modifiers.GetHotkey(MK_Layer3)->SetModifier(HOTKEY_MOD_CTRL);
    }

    void SetUp() override
    {
        SetupDialogTest::SetUp();
        m_before = Saved();
    }

    // The sheet opened by Alt+S and turned to that page by Ctrl+Tab; null when
    // any of it failed.
    HWND OpenSheetAt(int page)
    {
        using brmptest::PhysicalInput;
        const HWND sheet = PhysicalInput::KeyTap(L"alt+s") ? FindSheetOf(m_program.ProcessId()) : nullptr;
        if (sheet == nullptr || !PhysicalInput::PrepareForInput(sheet))
            return nullptr;
        for (int turned = 1; turned <= page; ++turned)
        {
            if (!PhysicalInput::KeyTap(L"ctrl+Tab") ||
                !brmptest::WaitFor([&] { return SelectedTab(sheet, TabRowId(sheet)) == turned; }, kDialogTimeoutMs))
                return nullptr;
        }
        return sheet;
    }

    // OK by that key, then Apply: the keys in the file that differ from those
    // before with the edits expected made to them.
    std::wstring OkApplyAndKeyChanges(HWND sheet, const wchar_t* key, const std::function<void(CSettings&)>& expected)
    {
        if (!brmptest::PhysicalInput::KeyTap(key) ||
            !brmptest::WaitFor([&] { return !::IsWindow(sheet); }, kDialogTimeoutMs))
            return L"(OK left the sheet open)";
        Apply();
        const std::unique_ptr<CSettings> after = Saved();
        if (m_before == nullptr || after == nullptr)
            return L"(no settings file)";
        expected(*m_before);
        return KeyDifferences(*m_before, *after);
    }

    std::unique_ptr<CSettings> m_before;
};

// The same with layer 4's hotkey stored as key 379, which the key control (8
// bits of key) shows as F12.
class GlobalSettingsKeyLikeF12Road : public GlobalSettingsStoredKeysRoad
{
protected:
    void Prepare(CSettings& settings) override
    {
        GlobalSettingsStoredKeysRoad::Prepare(settings);
        settings.GetHotKeys()->GetHotkey(HK_Layer4)->SetVirtualKey(0x17B);
    }
};
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

TEST_F(GlobalSettingsStoredKeysRoad, ShiftTabBackThroughTheKeyFieldsOfBothKeyPagesChangesNoKeyWhileAKeyTypedThereIsStored)
{
    using brmptest::PhysicalInput;
    const HWND sheet = OpenSheetAt(CSettingsPropSheet::HotkeysPage);
    ASSERT_NE(sheet, nullptr) << programtest::DescribeWindows();
    const int tabs = TabRowId(sheet);
    std::vector<int> passed;
    ASSERT_TRUE(TapUntilFocusOn(sheet, L"Tab", IDC_HOTKEY_FIRST + HK_Layer1, passed));
    const HWND layer1 = FocusOf(sheet);
    ASSERT_TRUE(PhysicalInput::KeyTap(L"ctrl+q"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return Ask(layer1, HKM_GETHOTKEY) == MAKEWORD('Q', HOTKEYF_CONTROL); },
                                  kDialogTimeoutMs));
    ASSERT_TRUE(TapUntilFocusOn(sheet, L"Tab", IDC_HOTKEY_FIRST + HK_Layer3, passed));
    // Shift alone clears the control while it is down ("Shift + ") and leaves its key once let go.
    const HWND layer3 = FocusOf(sheet);
    ASSERT_TRUE(PhysicalInput::KeyDown(L"shift"));
    const bool cleared = brmptest::WaitFor([&] { return Ask(layer3, HKM_GETHOTKEY) == 0; }, kDialogTimeoutMs);
    ASSERT_TRUE(PhysicalInput::KeyUp(L"shift"));
    ASSERT_TRUE(cleared);
    EXPECT_TRUE(brmptest::WaitFor([&] { return Ask(layer3, HKM_GETHOTKEY) == MAKEWORD('B', HOTKEYF_CONTROL); },
                                  kDialogTimeoutMs));
    ASSERT_TRUE(TapUntilFocusOn(sheet, L"shift+Tab", tabs, passed));
    EXPECT_EQ(Ask(layer3, HKM_GETHOTKEY), MAKEWORD('B', HOTKEYF_CONTROL)) << "the field Shift+Tab left shows its key";
    ASSERT_TRUE(PhysicalInput::KeyTap(L"ctrl+Tab"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return SelectedTab(sheet, tabs) == CSettingsPropSheet::ModifiersPage; },
                                  kDialogTimeoutMs));
    ASSERT_TRUE(TapUntilFocusOn(sheet, L"Tab", IDC_HOTKEY_FIRST + MK_Layer3, passed));
    ASSERT_TRUE(TapUntilFocusOn(sheet, L"shift+Tab", IDC_HOTKEY_FIRST + MK_Layer1, passed));
    programtest::SaveScreenshot(L"global-settings-shift-tabbed.png");
    // OK by Shift+Enter, its Shift held in the field of the key 400.
    EXPECT_EQ(OkApplyAndKeyChanges(sheet, L"shift+Return",
                                   [](CSettings& expected) {
                                       expected.GetHotKeys()->GetHotkey(HK_Layer1)->SetHotkey(
                                           MAKEWORD('Q', HOTKEYF_CONTROL));
                                   }),
              L"")
        << "the focus went to " << ::testing::PrintToString(passed);
}

TEST_F(GlobalSettingsStoredKeysRoad, AModifierCombinationTheListHasNoEntryForShowsNoEntryAndNoneChosenThereIsStored)
{
    const HWND sheet = OpenSheetAt(CSettingsPropSheet::ModifiersPage);
    ASSERT_NE(sheet, nullptr) << programtest::DescribeWindows();
    const HWND list = SheetPageControl(sheet, IDC_MODIFIER_LIST_FIRST + MK_Layer2);
    EXPECT_EQ(TextOf(list), L"");
    std::vector<int> passed;
    ASSERT_TRUE(TapUntilFocusOn(sheet, L"Tab", IDC_MODIFIER_LIST_FIRST + MK_Layer2, passed));
    ASSERT_TRUE(brmptest::PhysicalInput::KeyTap(L"Home"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return TextOf(list) == L"None"; }, kDialogTimeoutMs));
    EXPECT_EQ(OkApplyAndKeyChanges(sheet, L"Return",
                                   [](CSettings& expected) {
                                       expected.GetLayerModifierKeys()->GetHotkey(MK_Layer2)->SetModifier(0);
                                   }),
              L"");
}

TEST_F(GlobalSettingsKeyLikeF12Road, AStoredKeyTheFieldShowsAsF12PassesOkUntouchedAndStaysInTheFile)
{
    const HWND sheet = OpenSheetAt(CSettingsPropSheet::HotkeysPage);
    ASSERT_NE(sheet, nullptr) << programtest::DescribeWindows();
    std::vector<int> passed;
    ASSERT_TRUE(TapUntilFocusOn(sheet, L"Tab", IDC_HK_ENABLE, passed));
    ASSERT_TRUE(brmptest::PhysicalInput::KeyTap(L"space"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return CheckState(SheetPageControl(sheet, IDC_HK_ENABLE)) == BST_CHECKED; },
                                  kDialogTimeoutMs));
    EXPECT_EQ(OkApplyAndKeyChanges(sheet, L"Return", [](CSettings&) {}), L"");
}
