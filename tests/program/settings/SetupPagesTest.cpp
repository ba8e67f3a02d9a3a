// The scrolling and options pages of the real program's settings dialog: what
// a user sets there reaches the settings file with Apply, within the limits
// of the controls, and options switched off keep their values.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "ApplicationSettings.h"
#include "Control.h"
#include "MouseInfo.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "WaitFor.h"

using brmptest::WaitFor;
using programtest::ProgramCopy;
using namespace setuptest;

namespace
{
// The page of the dialog that holds a control with this id.
HWND PageWith(HWND dialog, int id)
{
    struct Search
    {
        int id;
        HWND found;
    } search{id, nullptr};
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t cls[32] = L"";
            ::GetClassNameW(child, cls, 32);
            if (std::wstring(cls) == L"#32770" && ::GetDlgItem(child, s->id) != nullptr)
            {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class SetupPages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_program.Prepare())
            GTEST_SKIP() << "Brindlemap.exe is not built beside the tests";
        ::SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &m_speedBefore, 0);
        CSettings settings(false, GetStartupMouseInfo());
        settings.m_bNotifications = false;
        settings.GetDefaultApp()->SetScrollLines(3);
        // An application profile keeps a command while it is switched off.
        auto* profile = new CApplicationSettings(&settings, false, -1);
        profile->SetApplication(L"notepad.exe");
        profile->EnableProfileScript(true);
        profile->SetProfileChangeScript(L"c:\\tools\\kept.exe");
        profile->EnableProfileScript(false);
        settings.AddApplication(profile);
        ASSERT_TRUE(m_program.WriteSettings(settings));
        ASSERT_TRUE(m_program.Start(L"/setup"));
        m_dialog = WaitForSetupDialog(m_program.ProcessId());
        ASSERT_NE(m_dialog, nullptr) << programtest::DescribeWindows();
        m_scrolling = PageWith(m_dialog, IDC_SCROLL_LINES);
        m_options = PageWith(m_dialog, IDC_OPT_OVERRIDE_SPEED);
        ASSERT_NE(m_scrolling, nullptr);
        ASSERT_NE(m_options, nullptr);
    }

    void TearDown() override
    {
        // The pointer speed is the desktop's, shared with the suites after this one.
        m_program.Stop();
        if (m_speedBefore > 0)
            ::SystemParametersInfoW(SPI_SETMOUSESPEED, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(m_speedBefore)),
                                    SPIF_SENDCHANGE);
    }

    void Apply()
    {
        ASSERT_TRUE(IsEnabled(m_dialog, IDOK));
        Click(m_dialog, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs)) << m_program.Log();
    }

    // The settings file as the library reads it.
    std::unique_ptr<CSettings> Saved()
    {
        auto saved = std::make_unique<CSettings>(false, GetStartupMouseInfo());
        bool regions = false;
        EXPECT_TRUE(saved->Load(m_program.Folder().PathOf(L"Brindlemap.xml").c_str(), regions, false));
        return saved;
    }

    ProgramCopy m_program{L"brmp-setup-pages"};
    HWND m_dialog = nullptr;
    HWND m_scrolling = nullptr;
    HWND m_options = nullptr;
    int m_speedBefore = 0;
};
}

TEST_F(SetupPages, TheScrollLinesTypedAreKeptWithinTheirRangeAndApplied)
{
    HWND lines = ::GetDlgItem(m_scrolling, IDC_SCROLL_LINES);
    EXPECT_EQ(TextOf(lines), L"3");
    // More than the control allows is held at its limit.
    ::SendMessageW(lines, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"250"));
    EXPECT_TRUE(WaitFor([&] { return TextOf(lines) == L"100"; }, kDialogTimeoutMs)) << TextOf(lines).c_str();
    ::SendMessageW(lines, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"7"));
    Apply();
    EXPECT_EQ(Saved()->GetDefaultApp()->ScrollLines(), 7);

    // Pages instead of lines: the line count cannot be edited.
    ::PostMessageW(::GetDlgItem(m_scrolling, IDC_SCROLL_PAGES), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowEnabled(lines); }, kDialogTimeoutMs));
    Apply();
    EXPECT_TRUE(Saved()->GetDefaultApp()->ScrollPages());
}

TEST_F(SetupPages, ThePointerSpeedIsAppliedAndASwitchedOffCommandIsKept)
{
    HWND speed = ::GetDlgItem(m_options, IDC_OPT_SPEED);
    EXPECT_FALSE(::IsWindowEnabled(speed));
    ::PostMessageW(::GetDlgItem(m_options, IDC_OPT_OVERRIDE_SPEED), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(speed) != FALSE; }, kDialogTimeoutMs));
    ::SendMessageW(speed, TBM_SETPOS, TRUE, 3);
    ::SendMessageW(m_options, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(speed));

    // The application profile: its command field shows nothing while the command is off.
    HWND list = ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES);
    ::SendMessageW(list, LB_SETCURSEL, 1, 0);
    ::SendMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(IDC_SETUP_PROFILES, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(::GetDlgItem(m_options, IDC_OPT_CLIP_MOUSE)) != FALSE; },
                        kDialogTimeoutMs));
    EXPECT_EQ(TextOf(m_options, IDC_OPT_COMMAND), L"");
    programtest::SaveScreenshot(L"setup-dialog-options.png");
    Apply();

    auto saved = Saved();
    EXPECT_TRUE(saved->GetDefaultApp()->OverrideMouseSpeed());
    EXPECT_EQ(saved->GetDefaultApp()->GetMouseSpeed(), 6);
    ASSERT_EQ(saved->GetApplicationCount(), 1);
    CApplicationSettings* profile = saved->GetApplication(0);
    EXPECT_FALSE(profile->IsProfileScriptEnabled());
    profile->EnableProfileScript(true);
    ASSERT_NE(profile->GetProfileChangeScript(), nullptr);
    EXPECT_STREQ(profile->GetProfileChangeScript(), L"c:\\tools\\kept.exe");

    // Switched on again, the kept command comes back into the field.
    ::PostMessageW(::GetDlgItem(m_options, IDC_OPT_RUN_COMMAND), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return TextOf(m_options, IDC_OPT_COMMAND) == L"c:\\tools\\kept.exe"; },
                        kDialogTimeoutMs));
    EXPECT_TRUE(IsEnabled(m_dialog, IDOK));

}
