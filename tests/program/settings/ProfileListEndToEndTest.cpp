// The profile list of the real program's settings dialog, driven as a person
// would: real clicks on the list's check boxes and on the dialog's buttons,
// the application picker opened from Add, and the effect checked where it
// shows: the settings file after Apply, a probe window's clicks, and the
// active profile's colour in the list.

#include <gtest/gtest.h>

#include <windows.h>

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
#include "WaitFor.h"
#include "resource.h"

using brmptest::PhysicalInput;
using brmptest::Probe;

namespace
{
class ProfileListEndToEnd : public setuptest::SetupDialogTest
{
protected:
    ProfileListEndToEnd() : SetupDialogTest(L"brmp-profiles", L"/debug /setup") {}

    void Prepare(CSettings& settings) override
    {
        CApplicationSettings* defaults = settings.GetDefaultApp();
        defaults->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
        defaults->SetKeystrokes(Middle, 0, L"a", 0, 0, false, true, false, false);
        for (const auto& [key, enabled] : {std::pair{L"alpha.exe", true}, std::pair{L"beta.exe", false},
                                           std::pair{L"gamma.exe", true}})
        {
            auto* profile = new CApplicationSettings(&settings, false, -1);
            profile->SetApplication(key);
            profile->SetEnableFlag(enabled);
            settings.AddApplication(profile);
        }
        StartProbe(RECT{1010, 760, 1270, 990});
    }

    void SetUp() override
    {
        SetupDialogTest::SetUp();
        m_list = ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES);
    }

    // The profiles of the saved file as it is now: their keys, disabled ones marked.
    std::wstring SavedKeys()
    {
        std::wstring keys;
        const std::unique_ptr<CSettings> saved = Saved();
        for (int i = 0; saved && i < saved->GetApplicationCount(); ++i)
            if (const CApplicationSettings* profile = saved->GetApplication(i))
                keys += std::wstring(profile->GetFullName() ? profile->GetFullName() : L"") +
                        (profile->IsEnabled() ? L" " : L"(off) ");
        return keys;
    }

    // A point of an entry of the list, in screen coordinates: on its check box or on its text.
    POINT EntryPoint(int index, bool checkBox)
    {
        const int height = static_cast<int>(::SendMessageW(m_list, LB_GETITEMHEIGHT, 0, 0));
        const int top = static_cast<int>(::SendMessageW(m_list, LB_GETTOPINDEX, 0, 0));
        POINT point{checkBox ? 7 : 60, (index - top) * height + height / 2};
        ::ClientToScreen(m_list, &point);
        return point;
    }

    ::testing::AssertionResult Click(POINT at)
    {
        return PhysicalInput::ClickAt(at.x, at.y, PhysicalInput::kLeft);
    }
    static ::testing::AssertionResult ClickButton(HWND dialog, int id) { return ClickOn(::GetDlgItem(dialog, id)); }
    bool ApplyEnabled() { return ::IsWindowEnabled(::GetDlgItem(m_dialog, IDOK)) != FALSE; }

    ::testing::AssertionResult Apply(const std::wstring& expectedKeys)
    {
        return ClickApply([&] { return SavedKeys() == expectedKeys; })
               << "; saved: " << testing::PrintToString(SavedKeys());
    }

    std::wstring EntryText(int index)
    {
        wchar_t text[512] = L"";
        if (::SendMessageW(m_list, LB_GETTEXTLEN, index, 0) < 512)
            ::SendMessageW(m_list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }

    HWND m_list = nullptr;
};
}

TEST_F(ProfileListEndToEnd, ChecksFollowTheFileTheDefaultStaysCheckedAndTheOrderReachesTheFile)
{
    ASSERT_EQ(::SendMessageW(m_list, LB_GETCOUNT, 0, 0), 4);
    programtest::SaveScreenshot(L"profile_list.png");

    // The default entry's check box: a click changes nothing.
    ASSERT_TRUE(Click(EntryPoint(0, true)));
    ASSERT_TRUE(Click(EntryPoint(2, false)));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::SendMessageW(m_list, LB_GETCURSEL, 0, 0) == 2; }));
    EXPECT_FALSE(ApplyEnabled()) << "nothing changed yet";

    // Each check toggles the enabled mark the file gave: beta becomes enabled, alpha disabled.
    ASSERT_TRUE(Click(EntryPoint(2, true)));
    ASSERT_TRUE(Click(EntryPoint(1, true)));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ApplyEnabled(); }));
    ASSERT_TRUE(Apply(L"alpha.exe(off) beta.exe gamma.exe "));

    // gamma up, then alpha down: the saved order is the list's.
    ASSERT_TRUE(SelectProfileByClick(3));
    ASSERT_TRUE(ClickButton(m_dialog, IDC_SETUP_UP));
    ASSERT_TRUE(brmptest::WaitFor([&] { return EntryText(2) == L"gamma.exe"; }));
    ASSERT_TRUE(SelectProfileByClick(1));
    ASSERT_TRUE(ClickButton(m_dialog, IDC_SETUP_DOWN));
    ASSERT_TRUE(brmptest::WaitFor([&] { return EntryText(2) == L"alpha.exe" && ApplyEnabled(); }));
    EXPECT_EQ(::SendMessageW(m_list, LB_GETCURSEL, 0, 0), 2) << "the moved entry stays selected";
    ASSERT_TRUE(Apply(L"gamma.exe alpha.exe(off) beta.exe "));

    // beta removed while the tabs show it: the entry above takes its place in
    // the tabs and the information box, and Apply writes the file without it.
    ASSERT_TRUE(SelectProfileByClick(3));
    ASSERT_TRUE(brmptest::WaitFor([&] { return programtest::WindowTextOf(::GetDlgItem(m_dialog, IDC_SETUP_PROCESS)) == L"beta.exe"; }));
    ASSERT_TRUE(ClickButton(m_dialog, IDC_SETUP_REMOVE));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::SendMessageW(m_list, LB_GETCOUNT, 0, 0) == 3 && ApplyEnabled(); }));
    EXPECT_EQ(::SendMessageW(m_list, LB_GETCURSEL, 0, 0), 2) << "the entry above the removed one is selected";
    EXPECT_EQ(programtest::WindowTextOf(::GetDlgItem(m_dialog, IDC_SETUP_PROCESS)), L"alpha.exe");
    ASSERT_TRUE(Apply(L"gamma.exe alpha.exe(off) "));

    // The pages go on working on the profiles that are left.
    ASSERT_TRUE(SelectProfileByClick(1));
    ASSERT_TRUE(ClickButton(m_dialog, IDC_SETUP_REMOVE));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::SendMessageW(m_list, LB_GETCOUNT, 0, 0) == 2 && ApplyEnabled(); }));
    EXPECT_EQ(::SendMessageW(m_list, LB_GETCURSEL, 0, 0), 0);
    ASSERT_TRUE(Apply(L"alpha.exe(off) "));
}

TEST_F(ProfileListEndToEnd, AProfileAddedThroughThePickerRemapsTheProbeAndIsMarkedWhenItsWindowIsClicked)
{
    const auto middleClickInProbe = [&]() {
        m_probe->Clear();
        const POINT at = m_probe->Center();
        if (!PhysicalInput::ClickAt(at.x, at.y, PhysicalInput::kMiddle))
            return std::wstring(L"(no click)");
        return programtest::TypedOrMiddleClick(*m_probe);
    };
    ASSERT_TRUE(m_probe->Activate());
    EXPECT_EQ(middleClickInProbe(), L"a") << "the default profile types 'a'";

    ASSERT_TRUE(ClickButton(m_dialog, 1012));
    HWND picker = nullptr;
    ASSERT_TRUE(brmptest::WaitFor(
        [&] { return (picker = setuptest::DialogWithControl(m_program.ProcessId(), IDC_APP_APPLICATION)) != nullptr; }, 10000))
        << programtest::DescribeWindows();
    programtest::SaveScreenshot(L"profile_add_picker.png");
    // The probe's process is chosen in the list of running programs by typing its name there.
    const HWND running = ::GetDlgItem(picker, IDC_APP_LIST);
    const auto chosen = [&] { return programtest::WindowTextOf(::GetDlgItem(picker, IDC_APP_APPLICATION)); };
    ASSERT_TRUE(PhysicalInput::PrepareForInput(picker));
    ASSERT_TRUE(ClickOn(running));
    ASSERT_TRUE(PhysicalInput::Type(L"brmpprobe"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return chosen() == L"brmpprobe.exe"; }))
        << testing::PrintToString(chosen());
    ASSERT_TRUE(ClickButton(picker, IDOK));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::SendMessageW(m_list, LB_GETCOUNT, 0, 0) == 5 && ApplyEnabled(); }));
    EXPECT_EQ(::SendMessageW(m_list, LB_GETCURSEL, 0, 0), 4);
    ASSERT_TRUE(Apply(L"alpha.exe beta.exe(off) gamma.exe brmpprobe.exe "));

    ASSERT_TRUE(m_probe->Activate());
    ASSERT_EQ(middleClickInProbe(), L"M") << "the new profile leaves the middle button alone\n" << m_probe->Describe();

    // The list marks the entry of the profile the engine applies now, drawn in the not-selected
    // marked colour while another entry is selected.
    const auto drawnIn = [&](int entry, COLORREF colour) {
        const int height = static_cast<int>(::SendMessageW(m_list, LB_GETITEMHEIGHT, 0, 0));
        const POINT topLeft = EntryPoint(entry, true);
        const HDC screen = ::GetDC(nullptr);
        bool found = false;
        for (int y = topLeft.y - height / 2; y < topLeft.y + height / 2 && !found; ++y)
            for (int x = topLeft.x + 10; x < topLeft.x + 120 && !found; ++x)
                found = ::GetPixel(screen, x, y) == colour;
        ::ReleaseDC(nullptr, screen);
        return found;
    };
    const auto marked = [&] { return drawnIn(4, RGB(249, 0, 0)); };
    // A click in the list moves the engine's profile to the dialog's, the
    // middle click in the probe back to the probe's.
    ASSERT_TRUE(Click(EntryPoint(0, false)));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::SendMessageW(m_list, LB_GETCURSEL, 0, 0) == 0; }));
    ASSERT_TRUE(m_probe->Activate());
    EXPECT_EQ(middleClickInProbe(), L"M") << m_probe->Describe();
    EXPECT_TRUE(brmptest::WaitFor(marked)) << "the probe's profile is drawn in the marked colour" << m_program.Log();
    programtest::SaveScreenshot(L"profile_marked.png");

    // Entries removed or moved by messages (no click that would move the
    // engine's profile): the mark stays with the probe's entry.
    const auto post = [&](int entry, int command) {
        ::PostMessageW(m_list, LB_SETCURSEL, static_cast<WPARAM>(entry), 0);
        ::PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(IDC_SETUP_PROFILES, LBN_SELCHANGE), reinterpret_cast<LPARAM>(m_list));
        ::PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    };
    const std::wstring probeEntry = EntryText(4);
    post(1, IDC_SETUP_REMOVE);
    ASSERT_TRUE(brmptest::WaitFor([&] { return EntryText(3) == probeEntry; }));
    EXPECT_TRUE(brmptest::WaitFor([&] { return drawnIn(3, RGB(249, 0, 0)); })) << "the mark followed the removal";
    post(3, IDC_SETUP_UP);
    ASSERT_TRUE(brmptest::WaitFor([&] { return EntryText(2) == probeEntry; }));
    EXPECT_TRUE(brmptest::WaitFor([&] { return drawnIn(2, RGB(255, 255, 0x88)); }))
        << "the mark followed the move, in the selected marked colour";
    programtest::SaveScreenshot(L"profile_marked_moved.png");
}

TEST_F(ProfileListEndToEnd, TheFinderFillsTheProbesDetailsAndEscapeInTheMiddleOfTheDragBringsEveryHiddenWindowBack)
{
    ASSERT_TRUE(ClickButton(m_dialog, IDC_SETUP_ADD));
    HWND picker = nullptr;
    ASSERT_TRUE(brmptest::WaitFor(
        [&] { return (picker = setuptest::DialogWithControl(m_program.ProcessId(), IDC_APP_SPECIFIC_WINDOW)) != nullptr; }, 10000));
    ASSERT_TRUE(PhysicalInput::PrepareForInput(picker));
    ASSERT_TRUE(ClickButton(picker, IDC_APP_SPECIFIC_WINDOW));
    HWND finder = nullptr;
    ASSERT_TRUE(brmptest::WaitFor(
        [&] { return (finder = setuptest::DialogWithControl(m_program.ProcessId(), IDC_FIND_HOVER)) != nullptr; }, 10000));
    // Also for the Escape below: should the picker keep the X focus, the
    // search hides it, the X focus falls back to the desktop, and Escape goes
    // to the window under the pointer: the probe.
    ASSERT_TRUE(PhysicalInput::PrepareForInput(finder));
    const auto field = [&](int id) { return programtest::WindowTextOf(::GetDlgItem(finder, id)); };

    RECT iconRect{};
    ::GetWindowRect(::GetDlgItem(finder, IDC_FIND_FINDER), &iconRect);
    const POINT icon{(iconRect.left + iconRect.right) / 2, (iconRect.top + iconRect.bottom) / 2};
    ASSERT_TRUE(PhysicalInput::Run({L"mousemove", std::to_wstring(icon.x), std::to_wstring(icon.y), L"mousedown", L"1"}));
    EXPECT_TRUE(brmptest::WaitFor([&] { return !::IsWindowVisible(m_dialog) && !::IsWindowVisible(picker); }))
        << "the settings dialog and the picker are hidden while the finder searches";
    const POINT target = m_probe->Center();
    ASSERT_TRUE(PhysicalInput::MoveTo(target.x, target.y));
    std::wstring process;
    EXPECT_TRUE(brmptest::WaitFor([&] { return (process = field(IDC_FIND_PROCESS)) == L"brmpprobe.exe"; }))
        << testing::PrintToString(process);
    programtest::SaveScreenshot(L"profile_finder_drag.png");
    EXPECT_EQ(field(IDC_FIND_CAPTION), programtest::WindowTextOf(m_probe->Window()));
    wchar_t probeClass[256] = L"";
    ::GetClassNameW(m_probe->Window(), probeClass, 256);
    EXPECT_EQ(field(IDC_FIND_CLASS), probeClass);

    // Escape ends the search with the button still down: every hidden window is back.
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Escape"));
    const bool shown = brmptest::WaitFor([&] { return ::IsWindowVisible(m_dialog) && ::IsWindowVisible(picker); });
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kLeft));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(::IsWindowVisible(finder)) << "Escape ended the search, not the finder";

    programtest::SaveScreenshot(L"profile_finder_escape.png");
    ASSERT_TRUE(ClickButton(finder, IDCANCEL));
    ASSERT_TRUE(brmptest::WaitFor([&] { return !::IsWindow(finder); })) << m_program.Log() << programtest::DescribeWindows();
    ASSERT_TRUE(ClickButton(picker, IDCANCEL));
    ASSERT_TRUE(brmptest::WaitFor([&] { return !::IsWindow(picker); }));
    EXPECT_EQ(::SendMessageW(m_list, LB_GETCOUNT, 0, 0), 4) << "nothing was added";
}

TEST_F(ProfileListEndToEnd, ApplyWritesTheFileAsSoonAsAnotherReaderLetsItGo)
{
    // Another program (a backup, a virus scanner) reads the file when Apply replaces it.
    const HANDLE reader = ::CreateFileW(m_program.Folder().PathOf(L"Brindlemap.xml").c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                        nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Click(EntryPoint(1, true)));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ApplyEnabled(); }));
    ASSERT_TRUE(ClickButton(m_dialog, IDOK));
    const bool held = m_program.WaitForLog("Unable to write the file", 10000);
    ::CloseHandle(reader);
    ASSERT_TRUE(held) << "the file is replaced while the reader holds it";

    EXPECT_TRUE(brmptest::WaitFor([&] { return SavedKeys() == L"alpha.exe(off) beta.exe(off) gamma.exe "; }, 10000))
        << testing::PrintToString(SavedKeys());
    EXPECT_TRUE(brmptest::WaitFor([&] { return !ApplyEnabled(); })) << "Apply succeeded";
    EXPECT_EQ(setuptest::FindMessageBox(m_program.ProcessId()), nullptr) << "no failure was reported";
}
