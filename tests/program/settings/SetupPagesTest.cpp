// The scrolling and options pages of the real program's settings dialog: what
// a user sets there reaches the settings file with Apply, within the limits
// of the controls, and options switched off keep their values. A profile's
// wheel and pointer options then reach a probe window of that profile: the
// scroll lines and method with a real wheel notch over it, the pointer speed
// when the pointer enters it (also the speed the slider shows for a profile
// without one of its own, once its override is ticked).

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "ApplicationSettings.h"
#include "Control.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "WaitFor.h"

using brmptest::Named;
using brmptest::PhysicalInput;
using brmptest::Probe;
using brmptest::WaitFor;
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

class SetupPages : public SetupDialogTest
{
protected:
    SetupPages() : SetupDialogTest(L"brmp-setup-pages") {}

    void Prepare(CSettings& settings) override
    {
        // The pointer speed is the desktop's: a known one to start from, put
        // back for the suites after this one. It lies between the slider's
        // steps, which show it as 6.
        if (auto system = brmptest::ReadSystemParameters())
            m_speedBefore = static_cast<int>(system->Value(L"speed"));
        ASSERT_TRUE(CMouseInfo::SetMouseSpeed(kStartSpeed));
        settings.m_nCursorSpeed = kStartSpeed;
        settings.GetDefaultApp()->SetScrollLines(3);
        // An application profile keeps a command and a cursor while they are switched off.
        auto* profile = new CApplicationSettings(&settings, false, -1);
        profile->SetApplication(L"notepad.exe");
        profile->EnableProfileScript(true);
        profile->SetProfileChangeScript(L"c:\\tools\\kept.exe");
        profile->EnableProfileScript(false);
        profile->SetCursor(L"3");
        settings.AddApplication(profile);
        // The probe's own profile.
        auto* probe = new CApplicationSettings(&settings, false, -1);
        probe->SetApplication(L"BrmpProbe.exe");
        settings.AddApplication(probe);
    }

    void SetUp() override
    {
        SetupDialogTest::SetUp();
        if (m_dialog == nullptr)
            return;
        m_scrolling = PageWith(m_dialog, IDC_SCROLL_LINES);
        m_options = PageWith(m_dialog, IDC_OPT_OVERRIDE_SPEED);
        ASSERT_NE(m_scrolling, nullptr);
        ASSERT_NE(m_options, nullptr);
    }

    void TearDown() override
    {
        m_program.Stop();
        if (m_speedBefore > 0)
            CMouseInfo::SetMouseSpeed(static_cast<std::size_t>(m_speedBefore));
    }

    // Selects an entry of the profile list: 0 the default profile, then the
    // application profiles in their order.
    void SelectProfile(int entry)
    {
        HWND list = ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES);
        ::SendMessageW(list, LB_SETCURSEL, entry, 0);
        ::SendMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(IDC_SETUP_PROFILES, LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(list));
    }

    // Starts a probe in the lower right part of the desktop, clear of the dialog.
    void StartProbe(const wchar_t* switches = L"") { SetupDialogTest::StartProbe(RECT{900, 600, 1260, 960}, switches); }

    // Moves the pointer into the probe, which makes its profile the active one.
    void EnterProbe()
    {
        ASSERT_TRUE(m_probe->Activate());
        const POINT centre = m_probe->Center();
        ASSERT_TRUE(PhysicalInput::MoveTo(centre.x, centre.y));
    }

    long long SystemValue(const wchar_t* key)
    {
        const auto system = brmptest::ReadSystemParameters();
        return system ? system->Value(key, -1) : -1;
    }

    // The settings file as the library reads it.
    std::unique_ptr<CSettings> Saved()
    {
        std::unique_ptr<CSettings> saved = SetupDialogTest::Saved();
        EXPECT_NE(saved, nullptr);
        return saved ? std::move(saved) : std::make_unique<CSettings>(false, GetStartupMouseInfo());
    }

    static constexpr int kStartSpeed = 7;
    static constexpr int kProbeEntry = 2;
    static constexpr int kOptionsTab = 3;
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
    // The start speed 7 stands at 3: the slider moves off it.
    ASSERT_EQ(::SendMessageW(speed, TBM_GETPOS, 0, 0), 3);
    ::SendMessageW(speed, TBM_SETPOS, TRUE, 4);
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
    EXPECT_EQ(saved->GetDefaultApp()->GetMouseSpeed(), 8);
    ASSERT_EQ(saved->GetApplicationCount(), 2);
    CApplicationSettings* profile = saved->GetApplication(0);
    EXPECT_FALSE(profile->IsProfileScriptEnabled());
    profile->EnableProfileScript(true);
    ASSERT_NE(profile->GetProfileChangeScript(), nullptr);
    EXPECT_STREQ(profile->GetProfileChangeScript(), L"c:\\tools\\kept.exe");

    EXPECT_FALSE(profile->ChangeCursor());
    profile->ChangeCursor(true);
    ASSERT_NE(profile->GetCursor(), nullptr);
    EXPECT_STREQ(profile->GetCursor(), L"3") << "a cursor switched off is kept too";

    // Switched on again, the kept command and cursor come back into their fields.
    ::PostMessageW(::GetDlgItem(m_options, IDC_OPT_RUN_COMMAND), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return TextOf(m_options, IDC_OPT_COMMAND) == L"c:\\tools\\kept.exe"; },
                        kDialogTimeoutMs));
    ::PostMessageW(::GetDlgItem(m_options, IDC_OPT_CHANGE_CURSOR), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return TextOf(m_options, IDC_OPT_CURSOR) == L"Orange"; }, kDialogTimeoutMs));
    Apply();

    // A command typed into the field is an edit to apply; the same text again is none.
    HWND command = ::GetDlgItem(m_options, IDC_OPT_COMMAND);
    ::SendMessageW(command, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"c:\\tools\\kept.exe"));
    EXPECT_FALSE(IsEnabled(m_dialog, IDOK));
    ::SendMessageW(command, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"c:\\tools\\typed.exe"));
    EXPECT_TRUE(IsEnabled(m_dialog, IDOK));
    Apply();
    saved = Saved();
    ASSERT_EQ(saved->GetApplicationCount(), 2);
    ASSERT_NE(saved->GetApplication(0)->GetProfileChangeScript(), nullptr);
    EXPECT_STREQ(saved->GetApplication(0)->GetProfileChangeScript(), L"c:\\tools\\typed.exe");
    EXPECT_STREQ(saved->GetApplication(0)->GetCursor(), L"3");
}

TEST_F(SetupPages, AProfilesScrollLinesAndMethodGovernAWheelNotchOverItsWindow)
{
    StartProbe(L"--own-scroll");
    SelectProfile(kProbeEntry);
    HWND lines = ::GetDlgItem(m_scrolling, IDC_SCROLL_LINES);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(::GetDlgItem(m_scrolling, IDC_SCROLL_METHOD)) != FALSE; },
                        kDialogTimeoutMs));
    ::SendMessageW(lines, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"7"));
    Apply();

    // The system's method: the notch reaches the probe as a wheel, which
    // scrolls by the profile's lines.
    EnterProbe();
    ASSERT_TRUE(WaitFor([&] { return SystemValue(L"lines") == 7; }, kDialogTimeoutMs)) << m_program.Log();
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    auto wheel = m_probe->WaitForRecord(Named(L"WM_MOUSEWHEEL"));
    ASSERT_TRUE(wheel.has_value()) << m_probe->Describe();
    EXPECT_EQ(wheel->Value(L"delta"), -WHEEL_DELTA);

    // "Method 1 (SCROLL Msg)" with four lines: one notch, four line messages.
    HWND methods = ::GetDlgItem(m_scrolling, IDC_SCROLL_METHOD);
    ::SendMessageW(methods, CB_SETCURSEL, 1, 0);
    ::SendMessageW(m_scrolling, WM_COMMAND, MAKEWPARAM(IDC_SCROLL_METHOD, CBN_SELCHANGE), reinterpret_cast<LPARAM>(methods));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(m_scrolling, IDC_SCROLL_ADV_VERTICAL)));
    ::SendMessageW(::GetDlgItem(m_scrolling, IDC_SCROLL_ADV_VERTICAL), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"4"));
    programtest::SaveScreenshot(L"setup-dialog-scrolling.png");
    Apply();
    const auto saved = Saved();
    ASSERT_EQ(saved->GetApplicationCount(), 2);
    EXPECT_EQ(saved->GetApplication(1)->ScrollLines(), 7);
    EXPECT_EQ(saved->GetApplication(1)->AdvScrollMethod(), 0);
    EXPECT_EQ(saved->GetApplication(1)->AdvScrollVertical(), 4);

    EnterProbe();
    m_probe->Clear();
    ASSERT_TRUE(PhysicalInput::Wheel(-1));
    // The end of the scroll comes after its lines; an unmapped right click
    // after it is a fence for a wheel that leaked past the hook.
    ASSERT_TRUE(m_probe->WaitForRecord(Named(L"WM_VSCROLL", L"code", SB_ENDSCROLL))) << m_probe->Describe();
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    ASSERT_TRUE(m_probe->WaitForRecord(Named(L"WM_RBUTTONUP"))) << m_probe->Describe();
    EXPECT_EQ(m_probe->Records(Named(L"WM_VSCROLL", L"code", SB_LINEDOWN)).size(), 4u) << m_probe->Describe()
                                                                                       << m_program.Log();
    EXPECT_TRUE(m_probe->Records(Named(L"WM_MOUSEWHEEL")).empty()) << "the method takes the notch over";
}

TEST_F(SetupPages, AProfilesPointerSpeedTakesEffectWhenThePointerEntersItsWindow)
{
    SelectProfile(kProbeEntry);
    HWND speed = ::GetDlgItem(m_options, IDC_OPT_SPEED);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(::GetDlgItem(m_options, IDC_OPT_CLIP_MOUSE)) != FALSE; },
                        kDialogTimeoutMs));
    ::PostMessageW(::GetDlgItem(m_options, IDC_OPT_OVERRIDE_SPEED), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(speed) != FALSE; }, kDialogTimeoutMs));
    ::SendMessageW(speed, TBM_SETPOS, TRUE, 7);
    ::SendMessageW(m_options, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(speed));
    Apply();
    const auto saved = Saved();
    ASSERT_EQ(saved->GetApplicationCount(), 2);
    EXPECT_EQ(saved->GetApplication(1)->GetMouseSpeed(), 14);

    // The window comes only now: the pointer can have entered it only after
    // the speed was applied (a probe started before would take it in while
    // the profile is still being edited, and leave no entry for afterwards).
    StartProbe();
    EnterProbe();
    EXPECT_TRUE(WaitFor([&] { return SystemValue(L"speed") == 14; }, kDialogTimeoutMs))
        << SystemValue(L"speed") << "\n" << m_program.Log();
}

TEST_F(SetupPages, TickingTheOverrideOnAProfileWithoutASpeedOfItsOwnAppliesTheSpeedTheSliderShows)
{
    ASSERT_TRUE(SelectProfileByClick(kProbeEntry));
    ASSERT_TRUE(ClickTab(m_dialog, kOptionsTab));
    HWND speed = ::GetDlgItem(m_options, IDC_OPT_SPEED);
    EXPECT_EQ(::SendMessageW(speed, TBM_GETPOS, 0, 0), 3);
    ASSERT_TRUE(ClickControl(::GetDlgItem(m_options, IDC_OPT_OVERRIDE_SPEED)));
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(speed) != FALSE; }, kDialogTimeoutMs));
    Apply();
    const auto saved = Saved();
    ASSERT_EQ(saved->GetApplicationCount(), 2);
    EXPECT_TRUE(saved->GetApplication(1)->OverrideMouseSpeed());
    EXPECT_EQ(saved->GetApplication(1)->GetMouseSpeed(), 6);

    StartProbe();
    EnterProbe();
    EXPECT_TRUE(WaitFor([&] { return SystemValue(L"speed") == 6; }, kDialogTimeoutMs))
        << SystemValue(L"speed") << "\n" << m_program.Log();
}
