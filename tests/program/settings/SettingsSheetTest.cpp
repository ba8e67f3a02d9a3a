#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>
#include <string>

#include "GlobalSettingsIds.h"
#include "HandleBalanceListener.h"
#include "HandleCountCheck.h"
#include "HotkeyDispatch.h"
#include "Hotkeys.h"
#include "LangSupport.h"
#include "MouseInfo.h"
#include "OSVersion.h"
#include "PhysicalInput.h"
#include "ProgramResources.h"
#include "Settings.h"
#include "SettingsPropSheet.h"
#include "SettingsSheetTestSupport.h"
#include "SetupDialogDriver.h"
#include "ShellTestFiles.h"
#include "TempFolder.h"

using namespace sheettest;

namespace
{
constexpr wchar_t kTitle[] = L"Global Settings";

std::wstring g_packFolder;

// Loads a one-off language pack for a test and returns to English after it.
class ScopedLanguagePack
{
public:
    explicit ScopedLanguagePack(const std::wstring& entries)
    {
        g_packFolder = m_folder.Path() + L"\\";
        SetLanguageFolderSource([](std::wstring& folder) {
            folder = g_packFolder;
            return true;
        });
        brmptest::WriteFileBytes(m_folder.PathOf(L"test.brmplp"), shelltest::Utf8(L"Language=Test\n" + entries));
        m_loaded = SetLanguageFile(L"test.brmplp");
    }
    ~ScopedLanguagePack()
    {
        SetLanguageFile(L"");
        SetLanguageFolderSource(nullptr);
    }
    bool Loaded() const { return m_loaded; }

private:
    brmptest::TempFolder m_folder{L"brmp-sheet-lang"};
    bool m_loaded = false;
};

class SettingsSheetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_resources.Loaded());
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
        m_settings = std::make_unique<CSettings>(false, CMouseInfo());
        // The first cycle speed starts as the desktop's speed, which other tests
        // change: pin it so that the pages load without a clamped value.
        m_settings->m_nCursorSpeedCycle[0] = 10;
        m_sheet = std::make_unique<CSettingsPropSheet>(kTitle);
    }

    INT_PTR Run(int startPage, std::function<void(HWND)> steps)
    {
        m_sheet->LoadPages(*m_settings);
        m_sheet->SetActivePage(startPage);
        Driver driver(kTitle, *m_sheet, std::move(steps));
        return m_sheet->DoModal();
    }

    brmptest::ProgramResources m_resources;
    std::unique_ptr<CSettings> m_settings;
    std::unique_ptr<CSettingsPropSheet> m_sheet;
};

TEST_F(SettingsSheetTest, OpensOnTheStartPageCreatesOnlyPagesShownAndCancelKeepsEverything)
{
    Boxes boxes;
    bool applyNowShown = true;
    bool helpShown = true;
    HWND firstPage = nullptr;
    HWND languagePage = nullptr;
    HWND generalBefore = nullptr;
    HWND generalAfter = nullptr;
    HWND pointer = nullptr;
    const INT_PTR result = Run(CSettingsPropSheet::LanguagePage, [&](HWND sheet) {
        firstPage = CurrentPage(sheet);
        applyNowShown = ::IsWindowVisible(::GetDlgItem(sheet, 0x3021)) != FALSE;
        helpShown = ::IsWindowVisible(::GetDlgItem(sheet, IDHELP)) != FALSE;
        languagePage = m_sheet->m_languagePage.GetSafeHwnd();
        generalBefore = m_sheet->m_general.GetSafeHwnd();
        ::SendMessageW(sheet, PSM_SETCURSEL, CSettingsPropSheet::GeneralPage, 0);
        generalAfter = m_sheet->m_general.GetSafeHwnd();
        pointer = m_sheet->m_pointer.GetSafeHwnd();
        Screenshot(L"settings-sheet-general.png");
        Click(sheet, IDC_GEN_SORT_ACTIONS);
        PressCancel(sheet);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(firstPage, languagePage);
    EXPECT_EQ(generalBefore, nullptr) << "a page is created when it is first shown";
    EXPECT_NE(generalAfter, nullptr);
    EXPECT_EQ(pointer, nullptr);
    EXPECT_FALSE(applyNowShown);
    EXPECT_FALSE(helpShown);
    EXPECT_FALSE(m_sheet->m_general.DiffersFromSettings(*m_settings)) << "a cancelled edit is not kept";
    EXPECT_FALSE(m_sheet->m_pointer.DiffersFromSettings(*m_settings));
    EXPECT_FALSE(m_sheet->m_advanced.DiffersFromSettings(*m_settings));
    EXPECT_FALSE(m_sheet->PagesDiffer(*m_settings));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(m_sheet->GetSafeHwnd(), nullptr) << "the sheet's window ends with the run";
}

TEST_F(SettingsSheetTest, EveryPagesFootNoteStaysClearOfItsControlsAndTheSheetGivesBackItsHandles)
{
    // Counted from before the sheet object is made (it holds the sheet's icon).
    m_sheet.reset();
    const brmptest::HandleCountCheck handles;
    m_sheet = std::make_unique<CSettingsPropSheet>(kTitle);
    std::vector<std::wstring> overlaps;
    int pagesWithNotes = 0;
    Run(CSettingsPropSheet::GeneralPage, [&](HWND sheet) {
        for (int index = CSettingsPropSheet::GeneralPage; index <= CSettingsPropSheet::ModifiersPage; ++index)
        {
            ::SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
            const HWND page = CurrentPage(sheet);
            const HWND note = ::GetDlgItem(page, IDC_SETTINGS_NOTE);
            if (note == nullptr || !::IsWindowVisible(note))
                continue;
            ++pagesWithNotes;
            RECT noteRect{};
            ::GetWindowRect(note, &noteRect);
            for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
            {
                RECT childRect{}, common{};
                ::GetWindowRect(child, &childRect);
                if (child != note && ::IsWindowVisible(child) && ::IntersectRect(&common, &noteRect, &childRect))
                    overlaps.push_back(L"page " + std::to_wstring(index) + L": \"" + Text(child) + L"\" (" +
                                       std::to_wstring(::GetDlgCtrlID(child)) + L")");
            }
            // A page's own tab pages stay inside its tab control.
            RECT tabs{};
            for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
            {
                wchar_t className[32] = {};
                ::GetClassNameW(child, className, 32);
                if (std::wstring(className) == WC_TABCONTROLW)
                    ::GetWindowRect(child, &tabs);
            }
            for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
            {
                wchar_t className[32] = {};
                ::GetClassNameW(child, className, 32);
                RECT inner{}, common{};
                ::GetWindowRect(child, &inner);
                if (std::wstring(className) == L"#32770" && ::IsWindowVisible(child) &&
                    (!::IntersectRect(&common, &inner, &tabs) || !::EqualRect(&common, &inner)))
                    overlaps.push_back(L"page " + std::to_wstring(index) + L": a tab page outside its tab control");
            }
            if (index == CSettingsPropSheet::AdvancedPage || index == CSettingsPropSheet::ModifiersPage)
            {
                // Painted through before the picture is taken (sent to the sheet's thread).
                ::RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
                Screenshot(index == CSettingsPropSheet::AdvancedPage ? L"settings-sheet-advanced.png"
                                                                     : L"settings-sheet-modifiers.png");
            }
        }
        PressCancel(sheet);
    });
    EXPECT_EQ(pagesWithNotes, 7);
    EXPECT_TRUE(overlaps.empty()) << ::testing::PrintToString(overlaps);
    m_sheet.reset();
    EXPECT_TRUE(handles.Balanced());
}

TEST_F(SettingsSheetTest, TheSettingsChangeOnlyWhenOkFollowsAChange)
{
    const auto run = [&](std::function<void(HWND)> steps) {
        Driver driver(kTitle, *m_sheet, std::move(steps));
        return RunGlobalSettingsSheet(nullptr, *m_settings, CSettingsPropSheet::GeneralPage);
    };
    EXPECT_FALSE(run([](HWND sheet) { PressOk(sheet); })) << "OK without touching anything stores nothing";
    EXPECT_FALSE(run([](HWND sheet) {
        Click(sheet, IDC_GEN_SORT_ACTIONS);
        PressCancel(sheet);
    }));
    EXPECT_FALSE(m_settings->m_bSortActionsAlphabetically);
    EXPECT_TRUE(run([](HWND sheet) {
        ::SendMessageW(Control(sheet, IDC_GEN_SORT_ACTIONS), BM_SETCHECK, BST_CHECKED, 0);
        PressOk(sheet);
    }));
    EXPECT_TRUE(m_settings->m_bSortActionsAlphabetically);
}

TEST_F(SettingsSheetTest, EveryTextOfTheSheetIsShownInTheLanguageInForce)
{
    ScopedLanguagePack pack(L"\"Global Settings\" => \"Globale Einstellungen\"\n\"Cancel\" => \"Abbrechen\"\n"
                            L"\"General\" => \"Allgemein\"\n\"Hotkeys\" => \"Tastenkürzel\"\n"
                            L"\"Enable &global hotkeys\" => \"&Globale Tastenkürzel\"\n"
                            L"\"Layer Hotkeys\" => \"Ebenen\"\n\"Switch to Layer &1\" => \"Ebene &1\"\n");
    ASSERT_TRUE(pack.Loaded());
    std::wstring cancel, tab0, tab5, check, innerTab, row;
    m_sheet->LoadPages(*m_settings);
    m_sheet->SetActivePage(CSettingsPropSheet::HotkeysPage);
    Driver driver(L"Globale Einstellungen", *m_sheet, [&](HWND sheet) {
        cancel = Text(::GetDlgItem(sheet, IDCANCEL));
        const HWND tabs = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
        wchar_t text[64] = {};
        TCITEMW item{TCIF_TEXT, 0, 0, text, 64};
        ::SendMessageW(tabs, TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        tab0 = text;
        ::SendMessageW(tabs, TCM_GETITEMW, 5, reinterpret_cast<LPARAM>(&item));
        tab5 = text;
        check = Text(Control(sheet, IDC_HK_ENABLE));
        ::SendMessageW(Control(sheet, IDC_HK_TABS), TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        innerTab = text;
        row = Text(::GetWindow(Control(sheet, IDC_HOTKEY_FIRST), GW_HWNDPREV));
        Screenshot(L"settings-sheet-translated.png");
        PressCancel(sheet);
    });
    EXPECT_EQ(m_sheet->DoModal(), IDCANCEL);
    EXPECT_EQ(cancel, L"Abbrechen");
    EXPECT_EQ(tab0, L"Allgemein");
    EXPECT_EQ(tab5, L"Tastenkürzel");
    EXPECT_EQ(check, L"&Globale Tastenkürzel");
    EXPECT_EQ(innerTab, L"Ebenen");
    EXPECT_EQ(row, L"Ebene &1");
}

TEST_F(SettingsSheetTest, AValueOutOfRangeKeepsThePageUpUntilItIsMended)
{
    Boxes boxes;
    HWND pageAfterRefusal = nullptr;
    HWND generalPage = nullptr;
    const INT_PTR result = Run(CSettingsPropSheet::GeneralPage, [&](HWND sheet) {
        const HWND general = CurrentPage(sheet);
        generalPage = general;
        SetText(sheet, IDC_GEN_LAYERS, L"11");
        ::SendMessageW(sheet, PSM_SETCURSEL, CSettingsPropSheet::PointerPage, 0);
        pageAfterRefusal = CurrentPage(sheet);
        PressOk(sheet);
        if (CurrentPage(sheet) != general)
            return;
        // The user clicks into the box the message pointed at and types a good value.
        if (!brmptest::PhysicalInput::PrepareForInput(sheet))
            return;
        RECT box{};
        ::GetWindowRect(Control(sheet, IDC_GEN_LAYERS), &box);
        brmptest::PhysicalInput::ClickAt(box.right - 3, (box.top + box.bottom) / 2, brmptest::PhysicalInput::kLeft);
        brmptest::PhysicalInput::Run({L"key", L"End", L"BackSpace", L"BackSpace", L"BackSpace"});
        brmptest::PhysicalInput::Type(L"4");
        brmptest::WaitFor([&] { return Text(Control(sheet, IDC_GEN_LAYERS)) == L"4"; });
        PressOk(sheet);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(pageAfterRefusal, generalPage);
    ASSERT_EQ(boxes.Count(), 2u) << "leaving and OK were both refused";
    EXPECT_EQ(boxes.Shown()[0].text, L"Number of  layers\n\nEnter an integer between 1 and 10.") << "it names the field";
    EXPECT_EQ(m_sheet->m_general.m_layers, 4);
    EXPECT_TRUE(m_sheet->m_general.DiffersFromSettings(*m_settings));
    EXPECT_TRUE(m_sheet->m_general.StoreToSettings(*m_settings)) << "the layer count changed";
    EXPECT_EQ(m_settings->MaxLayers(), 4);
}

TEST_F(SettingsSheetTest, ValuesOfTheFileBeyondTheFieldsRangesAreKeptThroughAVisitToAdvancedAndOkOfAnotherChange)
{
    // Values the loader takes beyond the fields' ranges: no layers at all,
    // times beyond 1..500 (the tilt fixup is off, so its field is greyed) and
    // no days between two version checks.
    brmptest::TempFolder folder(L"brmp-sheet-far");
    const std::wstring file = folder.PathOf(L"settings.xml");
    ASSERT_TRUE(brmptest::WriteFileBytes(
        file, "<?xml version=\"1.0\"?>\n<root><version major=\"2\" minor=\"20\" revision=\"5\" build=\"0\" />"
              "<Layers Number=\"0\" /><ButtonDebounce Time=\"600\" /><FixTiltRepeat InitialDelay=\"900\" />"
              "<CheckVersion Days=\"0\" /></root>\n"));
    bool regions = false;
    ASSERT_TRUE(m_settings->Load(file.c_str(), regions, false));
    Boxes boxes;
    ::testing::AssertionResult steps = ::testing::AssertionSuccess();
    std::wstring debounceShown, tiltShown, daysShown;
    bool changed = false;
    {
        Driver driver(kTitle, *m_sheet, [&](HWND sheet) {
            const int tabs = ::GetDlgCtrlID(reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0)));
            if (!(steps = brmptest::PhysicalInput::PrepareForInput(sheet)) ||
                !(steps = setuptest::ClickControl(Control(sheet, IDC_GEN_SORT_ACTIONS))) ||
                !(steps = setuptest::ClickTab(sheet, CSettingsPropSheet::AdvancedPage, tabs)))
                return;
            debounceShown = Text(Control(sheet, IDC_ADV_DEBOUNCE_TIME));
            tiltShown = Text(Control(sheet, IDC_ADV_TILT_INITIAL));
            // An edited field that can be edited is read: a time-out below its
            // range keeps OK from closing the sheet, a good one is taken.
            const HWND timeout = Control(sheet, IDC_ADV_HOOK_TIMEOUT);
            if (!(steps = setuptest::TypeIntoEdit(timeout, L"50")) ||
                !(steps = setuptest::ClickControl(::GetDlgItem(sheet, IDOK))))
                return;
            if (!brmptest::WaitFor([&] { return boxes.Count() == 1; }))
            {
                steps = ::testing::AssertionFailure() << "OK with a time-out of 50 was not refused";
                return;
            }
            if (!(steps = setuptest::TypeIntoEdit(timeout, L"5000")) ||
                !(steps = setuptest::ClickTab(sheet, CSettingsPropSheet::UpdatesPage, tabs)))
                return;
            daysShown = Text(Control(sheet, IDC_UPD_DAYS));
            if ((steps = setuptest::ClickTab(sheet, CSettingsPropSheet::GeneralPage, tabs)) &&
                (steps = setuptest::ClickControl(::GetDlgItem(sheet, IDOK))))
                brmptest::WaitFor([&] { return !::IsWindow(sheet); });
        });
        changed = RunGlobalSettingsSheet(nullptr, *m_settings, CSettingsPropSheet::GeneralPage);
    } // the steps have ended
    EXPECT_TRUE(steps);
    ASSERT_GE(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text,
              L"Windows Low Level Hook Timeout (Reboot required)\n\nEnter an integer between 100 and 20000.");
    EXPECT_EQ(boxes.Count(), 1u) << ::testing::PrintToString(boxes.Shown().back().text);
    EXPECT_EQ(debounceShown, L"600");
    EXPECT_EQ(tiltShown, L"900");
    EXPECT_EQ(daysShown, L"0");
    EXPECT_TRUE(changed);
    EXPECT_TRUE(m_settings->m_bSortActionsAlphabetically) << "the change on the General page is stored";
    EXPECT_EQ(m_settings->m_nHookTimeout, 5000) << "and the edit on Advanced";
    EXPECT_EQ(m_settings->MaxLayers(), 0);
    EXPECT_EQ(m_settings->m_nDebounceTime, 600);
    EXPECT_EQ(m_settings->m_uInitialTiltDelay, 900u);
    EXPECT_EQ(m_settings->m_uCheckVersionDays, 0u);
}

TEST_F(SettingsSheetTest, HotkeysAreStoredAtOkAndF12AloneIsRefusedWithNothingStored)
{
    Boxes boxes;
    m_settings->GetHotKeys()->GetHotkey(HK_Layer3)->SetHotkey(0x0233); // Ctrl+3
    bool openAfterF12 = false;
    int tabAfterF12 = -1;
    const INT_PTR result = Run(CSettingsPropSheet::HotkeysPage, [&](HWND sheet) {
        // Other Hotkeys tab: a key on the navigation block with Ctrl.
        const HWND tabs = Control(sheet, IDC_HK_TABS);
        ::SendMessageW(Control(sheet, IDC_HOTKEY_FIRST + HK_SnapToActiveWindow), HKM_SETHOTKEY,
                       MAKEWORD(VK_INSERT, HOTKEYF_CONTROL | HOTKEYF_EXT), 0);
        ::SendMessageW(Control(sheet, IDC_HOTKEY_FIRST + HK_Layer1), HKM_SETHOTKEY, MAKEWORD('A', HOTKEYF_SHIFT | HOTKEYF_CONTROL), 0);
        ::SendMessageW(Control(sheet, IDC_HOTKEY_FIRST + HK_Layer3), HKM_SETHOTKEY, 0x0233, 0); // as it was
        ::SendMessageW(Control(sheet, IDC_HOTKEY_FIRST + HK_Layer2), HKM_SETHOTKEY, VK_F12, 0);
        ::SendMessageW(Control(sheet, IDC_HOTKEY_FIRST + HK_Layer5), HKM_SETHOTKEY, MAKEWORD(VK_F12, HOTKEYF_ALT), 0);
        ::SendMessageW(tabs, TCM_SETCURSEL, 1, 0); // the user looks at the other tab
        PressOk(sheet);
        openAfterF12 = IsOpen(sheet);
        tabAfterF12 = static_cast<int>(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
        Screenshot(L"settings-sheet-hotkeys.png");
        ::SendMessageW(Control(sheet, IDC_HOTKEY_FIRST + HK_Layer2), HKM_SETHOTKEY, 0, 0);
        PressOk(sheet);
    });
    EXPECT_TRUE(openAfterF12);
    EXPECT_EQ(tabAfterF12, 0) << "the tab with F12 comes to the front";
    ASSERT_GE(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text, L"F12 can not be used as a hotkey on its own as this is reserved by Windows.");
    EXPECT_EQ(boxes.Shown()[0].caption, L"Global Hotkeys");
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(m_sheet->PagesDiffer(*m_settings)) << "the table changed in place";

    const CHotKeys& keys = *m_settings->GetHotKeys();
    EXPECT_EQ(keys.GetHotkey(HK_Layer1)->GetModifier(), 3);
    EXPECT_EQ(keys.GetHotkey(HK_Layer1)->GetVirtualKey(), 'A');
    EXPECT_EQ(keys.GetHotkey(HK_Layer2)->GetVirtualKey(), 0) << "a cleared control stores nothing set";
    EXPECT_EQ(keys.GetHotkey(HK_Layer5)->GetVirtualKey(), VK_F12) << "F12 with a modifier is fine";
    const CHotkey* insert = keys.GetHotkey(HK_SnapToActiveWindow);
    EXPECT_EQ(insert->GetVirtualKey(), VK_INSERT);
    EXPECT_TRUE(insert->IsExtended());
    EXPECT_EQ(HotkeyModifiersToRegister(insert->GetModifier()), MOD_CONTROL) << "Ctrl+Insert, not Win+Ctrl+Insert";
}

TEST_F(SettingsSheetTest, CancelAfterEditingHotkeysStoresNothing)
{
    const INT_PTR result = Run(CSettingsPropSheet::HotkeysPage, [&](HWND sheet) {
        ::SendMessageW(Control(sheet, IDC_HOTKEY_FIRST + HK_Layer1), HKM_SETHOTKEY, MAKEWORD('Q', HOTKEYF_ALT), 0);
        Click(sheet, IDC_HK_ENABLE);
        PressCancel(sheet);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(m_settings->GetHotKeys()->GetHotkey(HK_Layer1)->GetVirtualKey(), 0);
    EXPECT_FALSE(m_sheet->PagesDiffer(*m_settings));
}

TEST_F(SettingsSheetTest, ModifierKeysShowTheirCombinationAndStoreWhatTheListsSay)
{
    CLayerModifierKeys& keys = *m_settings->GetLayerModifierKeys();
    keys.GetHotkey(MK_Layer1)->SetModifier(48); // App Menu + Right Windows
    keys.GetHotkey(MK_Layer1)->SetVirtualKey('M');
    keys.GetHotkey(MK_Layer2)->SetModifier(11); // no such entry
    keys.GetHotkey(MK_Layer2)->SetVirtualKey('N');
    keys.GetHotkey(MK_Layer3)->SetModifier(HOTKEY_MOD_CTRL | HOTKEY_EXTENDED);
    keys.GetHotkey(MK_Layer3)->SetVirtualKey(VK_HOME);
    std::wstring shown48;
    std::wstring shown11;
    WORD shownHome = 0;
    const INT_PTR result = Run(CSettingsPropSheet::ModifiersPage, [&](HWND sheet) {
        shown48 = Text(Control(sheet, IDC_MODIFIER_LIST_FIRST + MK_Layer1));
        shown11 = Text(Control(sheet, IDC_MODIFIER_LIST_FIRST + MK_Layer2));
        shownHome = static_cast<WORD>(::SendMessageW(Control(sheet, IDC_HOTKEY_FIRST + MK_Layer3), HKM_GETHOTKEY, 0, 0));
        // A modifier key's control takes a plain key only.
        ::SendMessageW(Control(sheet, IDC_HOTKEY_FIRST + MK_Layer4), HKM_SETHOTKEY, MAKEWORD('Q', HOTKEYF_CONTROL), 0);
        PressOk(sheet);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(shown48, L"App Menu + Right Windows");
    EXPECT_EQ(shown11, L"") << "no entry is what it is";
    EXPECT_EQ(shownHome, MAKEWORD(VK_HOME, HOTKEYF_EXT));
    EXPECT_EQ(keys.GetHotkey(MK_Layer1)->GetModifier(), 48);
    EXPECT_EQ(keys.GetHotkey(MK_Layer2)->GetModifier(), 11) << "kept while its list is left alone";
    EXPECT_EQ(keys.GetHotkey(MK_Layer3)->GetModifier(), HOTKEY_MOD_CTRL | HOTKEY_EXTENDED);
    EXPECT_TRUE(m_sheet->PagesDiffer(*m_settings));
}

TEST_F(SettingsSheetTest, KeysTheKeyControlsCannotShowAreKeptThroughALookAtBothKeyPagesAndOkOfAnotherChange)
{
    CHotKeys& hotkeys = *m_settings->GetHotKeys();
    hotkeys.GetHotkey(HK_Layer1)->SetVirtualKey(300);
    hotkeys.GetHotkey(HK_Layer1)->SetModifier(HOTKEY_MOD_CTRL | HOTKEY_MOD_SHIFT);
    hotkeys.GetHotkey(HK_Layer2)->SetVirtualKey('B');
    hotkeys.GetHotkey(HK_Layer2)->SetModifier(1024);
    CLayerModifierKeys& modifiers = *m_settings->GetLayerModifierKeys();
    modifiers.GetHotkey(MK_Layer1)->SetVirtualKey(400);
    modifiers.GetHotkey(MK_Layer2)->SetVirtualKey('N');
    modifiers.GetHotkey(MK_Layer2)->SetModifier(512);
    Driver driver(kTitle, *m_sheet, [&](HWND sheet) {
        ::SendMessageW(Control(sheet, IDC_GEN_SORT_ACTIONS), BM_SETCHECK, BST_CHECKED, 0);
        ::SendMessageW(sheet, PSM_SETCURSEL, CSettingsPropSheet::HotkeysPage, 0);
        ::SendMessageW(sheet, PSM_SETCURSEL, CSettingsPropSheet::ModifiersPage, 0);
        PressOk(sheet);
    });
    EXPECT_TRUE(RunGlobalSettingsSheet(nullptr, *m_settings, CSettingsPropSheet::GeneralPage));
    EXPECT_TRUE(m_settings->m_bSortActionsAlphabetically);
    EXPECT_EQ(hotkeys.GetHotkey(HK_Layer1)->GetVirtualKey(), 300);
    EXPECT_EQ(hotkeys.GetHotkey(HK_Layer1)->GetModifier(), HOTKEY_MOD_CTRL | HOTKEY_MOD_SHIFT);
    EXPECT_EQ(hotkeys.GetHotkey(HK_Layer2)->GetModifier(), 1024);
    EXPECT_EQ(modifiers.GetHotkey(MK_Layer1)->GetVirtualKey(), 400);
    EXPECT_EQ(modifiers.GetHotkey(MK_Layer2)->GetModifier(), 512);
}

TEST_F(SettingsSheetTest, AdvancedKeepsAnUnknownPriorityAndNeitherNoToDroppingNonClientMessagesNorAnotherBoxTouchesTheOtherEdits)
{
    Boxes boxes(IDNO);
    m_settings->m_uPriority = 0x1234;
    bool checkedAfterNo = false;
    std::wstring debounceAfterNo, timeoutAfterNo;
    const INT_PTR result = Run(CSettingsPropSheet::AdvancedPage, [&](HWND sheet) {
        // Edits the question must leave alone: a time the page refuses, and one after it.
        ::SendMessageW(Control(sheet, IDC_ADV_DEBOUNCE), BM_SETCHECK, BST_CHECKED, 0);
        Click(sheet, IDC_ADV_DEBOUNCE);
        SetText(sheet, IDC_ADV_DEBOUNCE_TIME, L"600");
        SetText(sheet, IDC_ADV_HOOK_TIMEOUT, L"5000");
        ::SendMessageW(Control(sheet, IDC_ADV_NON_CLIENT), BM_SETCHECK, BST_UNCHECKED, 0);
        Click(sheet, IDC_ADV_NON_CLIENT);
        checkedAfterNo = ::SendMessageW(Control(sheet, IDC_ADV_NON_CLIENT), BM_GETCHECK, 0, 0) == BST_CHECKED;
        // Another box ticked after the refused time reads no field either.
        const bool tilt = ::SendMessageW(Control(sheet, IDC_ADV_FIX_TILT), BM_GETCHECK, 0, 0) == BST_CHECKED;
        ::SendMessageW(Control(sheet, IDC_ADV_FIX_TILT), BM_SETCHECK, tilt ? BST_UNCHECKED : BST_CHECKED, 0);
        Click(sheet, IDC_ADV_FIX_TILT);
        debounceAfterNo = Text(Control(sheet, IDC_ADV_DEBOUNCE_TIME));
        timeoutAfterNo = Text(Control(sheet, IDC_ADV_HOOK_TIMEOUT));
        Screenshot(L"settings-sheet-advanced.png");
        SetText(sheet, IDC_ADV_DEBOUNCE_TIME, L"40");
        PressOk(sheet);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(checkedAfterNo);
    EXPECT_EQ(debounceAfterNo, L"600");
    EXPECT_EQ(timeoutAfterNo, L"5000");
    ASSERT_EQ(boxes.Count(), 1u) << "only the question: the clicks read no field";
    EXPECT_NE(boxes.Shown()[0].text.find(L"Are you sure you want to ignore non-client messages?"), std::wstring::npos);
    EXPECT_EQ(m_sheet->m_advanced.m_nonClient, 1);
    EXPECT_EQ(m_sheet->m_advanced.m_debounceTime, 40);
    EXPECT_EQ(m_sheet->m_advanced.m_hookTimeout, 5000);
    EXPECT_EQ(m_sheet->m_advanced.m_priority, 0x1234) << "never Realtime by accident";
}

TEST_F(SettingsSheetTest, PointerSpeedsAndClampedCycleSpeeds)
{
    // A speed between the slider's steps stays as it is while the slider rests.
    m_settings->m_nCursorSpeed = 7;
    m_settings->m_nCursorSpeedCycle[0] = 0;
    m_settings->m_nCursorSpeedCycle[1] = 15;
    LRESULT position = -1;
    const INT_PTR result = Run(CSettingsPropSheet::PointerPage, [&](HWND sheet) {
        position = ::SendMessageW(Control(sheet, IDC_PTR_SPEED), TBM_GETPOS, 0, 0);
        PressOk(sheet);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(position, 3);
    EXPECT_EQ(m_sheet->m_pointer.m_speed, 7);
    EXPECT_EQ(m_sheet->m_pointer.m_cycleSpeeds[0], 1);
    EXPECT_EQ(m_sheet->m_pointer.m_cycleSpeeds[1], 10);
    EXPECT_TRUE(m_sheet->m_pointer.DiffersFromSettings(*m_settings)) << "clamped speeds are stored";
}

TEST_F(SettingsSheetTest, TheLanguagePageListsPacksAndStoresTheChosenFile)
{
    static brmptest::TempFolder folder(L"brmp-sheet-packs");
    brmptest::WriteFileBytes(folder.PathOf(L"a.brmplp"), shelltest::Utf8(L"Language=Deutsch\nAuthor=Erste\n"));
    brmptest::WriteFileBytes(folder.PathOf(L"b.brmplp"), shelltest::Utf8(L"Language=Deutsch\nAuthor=Zweite\n"));
    brmptest::WriteFileBytes(folder.PathOf(L"c.brmplp"), shelltest::Utf8(L"Language=Cymraeg\nAuthor=Trydydd\n"));
    brmptest::WriteFileBytes(folder.PathOf(L"nameless.brmplp"), shelltest::Utf8(L"Author=Nobody\n"));
    CLanguageSettings::SetFolderSource([](std::wstring& path) {
        path = folder.Path() + L"\\";
        return true;
    });
    m_settings->SetLanguage(L"c.brmplp");
    LRESULT entries = 0;
    std::wstring author;
    const INT_PTR result = Run(CSettingsPropSheet::LanguagePage, [&](HWND sheet) {
        const HWND list = Control(sheet, IDC_LANG_LIST);
        entries = ::SendMessageW(list, CB_GETCOUNT, 0, 0);
        author = Text(Control(sheet, IDC_LANG_AUTHOR));
        const auto deutsch = ::SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(L"Deutsch"));
        ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(deutsch), 0);
        ::SendMessageW(sheet, WM_NULL, 0, 0);
        ::SendMessageW(CurrentPage(sheet), WM_COMMAND, MAKEWPARAM(IDC_LANG_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        PressOk(sheet);
    });
    CLanguageSettings::SetFolderSource(nullptr);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(entries, 4) << "the built-in language and one entry per pack that names its language";
    EXPECT_EQ(author, L"Trydydd") << "the stored pack is selected";
    EXPECT_EQ(m_sheet->m_languagePage.m_packs.size(), 2u);
    EXPECT_EQ(m_sheet->m_languagePage.m_languageFile, L"b.brmplp") << "the later pack of a language wins";
    m_sheet->StorePages(*m_settings);
    EXPECT_STREQ(m_settings->GetLanguage(), L"b.brmplp");

    // A settings copy without a language differs from a chosen pack.
    m_settings->SetLanguage(nullptr);
    EXPECT_TRUE(m_sheet->PagesDiffer(*m_settings));
    m_sheet->m_languagePage.m_languageFile.clear();
    EXPECT_FALSE(m_sheet->PagesDiffer(*m_settings));
}

// What the updates page asked of the shell.
class CRecordingShell : public ILogFileShell
{
public:
    std::wstring FindAssociatedProgram(const std::wstring&) override { return associated; }
    bool Open(HWND, const std::wstring& file, const std::wstring& parameters) override
    {
        opened.push_back(file + L" " + parameters);
        return true;
    }
    bool FileExists(const std::wstring&) override { return true; }

    std::wstring associated;
    std::vector<std::wstring> opened;
};

TEST_F(SettingsSheetTest, UpdatesAndLoggingAskBeforeDebugAndOpenTheLogOutsideWordPad)
{
    CRecordingShell shell;
    shell.associated = L"C:\\Program Files\\Windows NT\\Accessories\\WORDPAD.EXE";
    m_sheet = std::make_unique<CSettingsPropSheet>(kTitle, nullptr, shell);
    Boxes boxes(IDNO);
    bool debugAfterNo = true;
    bool daysEnabled = true;
    bool betaEnabled = true;
    const INT_PTR result = Run(CSettingsPropSheet::UpdatesPage, [&](HWND sheet) {
        ::SendMessageW(Control(sheet, IDC_UPD_DEBUG), BM_SETCHECK, BST_CHECKED, 0);
        Click(sheet, IDC_UPD_DEBUG);
        debugAfterNo = ::SendMessageW(Control(sheet, IDC_UPD_DEBUG), BM_GETCHECK, 0, 0) == BST_CHECKED;
        ::SendMessageW(Control(sheet, IDC_UPD_CHECK_VERSION), BM_SETCHECK, BST_UNCHECKED, 0);
        Click(sheet, IDC_UPD_CHECK_VERSION);
        daysEnabled = ::IsWindowEnabled(Control(sheet, IDC_UPD_DAYS)) != FALSE;
        betaEnabled = ::IsWindowEnabled(Control(sheet, IDC_UPD_BETA)) != FALSE;
        Click(sheet, IDC_UPD_OPEN_LOG);
        Screenshot(L"settings-sheet-updates.png");
        PressCancel(sheet);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(debugAfterNo) << "No leaves debug logging off";
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Shown()[0].text.find(L"Are you sure you want to enable debug logging?"), std::wstring::npos);
    EXPECT_FALSE(daysEnabled);
    EXPECT_FALSE(betaEnabled);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0].rfind(L"notepad.exe \"", 0), 0u) << shell.opened[0].c_str();
}
} // namespace
