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
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "WaitFor.h"
#include "resource.h"

using brmptest::PhysicalInput;
using brmptest::Probe;
using programtest::ProgramCopy;

namespace
{
struct SavedProfile
{
    std::wstring key;
    bool enabled;
};

// A top-level dialog of the process that has a control of that id, or null.
HWND DialogWithControl(DWORD processId, int controlId, const wchar_t* title = nullptr)
{
    struct Search
    {
        DWORD processId;
        int controlId;
        const wchar_t* title;
        HWND found;
    } search{processId, controlId, title, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != s.processId || !::IsWindowVisible(window) || ::GetDlgItem(window, s.controlId) == nullptr)
                return TRUE;
            if (s.title != nullptr && programtest::WindowTextOf(window) != s.title)
                return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

POINT CenterOf(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

class ProfileListEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_program.Prepare())
            GTEST_SKIP() << "Brindlemap.exe is not built beside the tests";
        CSettings settings(false, GetStartupMouseInfo());
        settings.m_bNotifications = false;
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
        ASSERT_TRUE(m_program.WriteSettings(settings));

        brmptest::ProbeOptions options;
        options.rect = RECT{1010, 760, 1270, 990};
        m_probe = std::make_unique<Probe>(options);
        ASSERT_TRUE(m_probe->Start());

        ASSERT_TRUE(m_program.Start(L"/debug /setup"));
        ASSERT_TRUE(brmptest::WaitFor([&] { return (m_dialog = DialogWithControl(m_program.ProcessId(), 1011)) != nullptr; },
                                      30000))
            << m_program.Log() << programtest::DescribeWindows();
        m_list = ::GetDlgItem(m_dialog, 1011);
    }

    std::vector<SavedProfile> SavedProfiles()
    {
        std::vector<SavedProfile> saved;
        CSettings settings(false, GetStartupMouseInfo());
        bool regions = false;
        if (!settings.Load(m_program.Folder().PathOf(L"Brindlemap.xml").c_str(), regions, false))
            return saved;
        for (int i = 0; i < settings.GetApplicationCount(); ++i)
            if (const CApplicationSettings* profile = settings.GetApplication(i))
                saved.push_back({profile->GetFullName() ? profile->GetFullName() : L"", profile->IsEnabled()});
        return saved;
    }

    std::wstring SavedKeys()
    {
        std::wstring keys;
        for (const SavedProfile& profile : SavedProfiles())
            keys += profile.key + (profile.enabled ? L" " : L"(off) ");
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
    ::testing::AssertionResult ClickButton(HWND dialog, int id)
    {
        const HWND button = ::GetDlgItem(dialog, id);
        if (button == nullptr || !::IsWindowEnabled(button))
            return ::testing::AssertionFailure() << "button " << id << " is missing or disabled";
        return Click(CenterOf(button));
    }
    bool ApplyEnabled() { return ::IsWindowEnabled(::GetDlgItem(m_dialog, IDOK)) != FALSE; }

    ::testing::AssertionResult Apply(const std::wstring& expectedKeys)
    {
        // A click that a busy desktop drops leaves Apply enabled: it is pressed again.
        for (int round = 0; round < 3; ++round)
        {
            if (ApplyEnabled())
                if (auto clicked = ClickButton(m_dialog, IDOK); !clicked)
                    return clicked;
            if (brmptest::WaitFor([&] { return SavedKeys() == expectedKeys; }, 5000))
                return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "saved: " << testing::PrintToString(SavedKeys());
    }

    std::wstring EntryText(int index)
    {
        wchar_t text[512] = L"";
        if (::SendMessageW(m_list, LB_GETTEXTLEN, index, 0) < 512)
            ::SendMessageW(m_list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }

    ProgramCopy m_program{L"brmp-profiles"};
    std::unique_ptr<Probe> m_probe;
    HWND m_dialog = nullptr;
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

    // gamma up, then beta removed.
    ASSERT_TRUE(Click(EntryPoint(3, false)));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::SendMessageW(m_list, LB_GETCURSEL, 0, 0) == 3; }));
    ASSERT_TRUE(ClickButton(m_dialog, 1015));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ApplyEnabled(); }));
    ASSERT_TRUE(Apply(L"alpha.exe(off) gamma.exe beta.exe "));
    EXPECT_EQ(::SendMessageW(m_list, LB_GETCURSEL, 0, 0), 2);

    ASSERT_TRUE(Click(EntryPoint(3, false)));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::SendMessageW(m_list, LB_GETCURSEL, 0, 0) == 3; }));
    ASSERT_TRUE(ClickButton(m_dialog, 1013));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::SendMessageW(m_list, LB_GETCOUNT, 0, 0) == 3 && ApplyEnabled(); }));
    EXPECT_EQ(::SendMessageW(m_list, LB_GETCURSEL, 0, 0), 2) << "the entry above the removed one is selected";
    EXPECT_EQ(EntryText(2), L"gamma.exe");
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
        [&] { return (picker = DialogWithControl(m_program.ProcessId(), IDC_APP_APPLICATION)) != nullptr; }, 10000))
        << programtest::DescribeWindows();
    programtest::SaveScreenshot(L"profile_add_picker.png");
    ::SendMessageW(::GetDlgItem(picker, IDC_APP_APPLICATION), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"brmpprobe.exe"));
    ASSERT_TRUE(ClickButton(picker, IDOK));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::SendMessageW(m_list, LB_GETCOUNT, 0, 0) == 5 && ApplyEnabled(); }));
    EXPECT_EQ(::SendMessageW(m_list, LB_GETCURSEL, 0, 0), 4);
    ASSERT_TRUE(Apply(L"alpha.exe beta.exe(off) gamma.exe brmpprobe.exe "));

    ASSERT_TRUE(m_probe->Activate());
    std::wstring seen;
    ASSERT_TRUE(brmptest::WaitFor([&] { return (seen = middleClickInProbe()) == L"M"; }, 15000))
        << "the new profile leaves the middle button alone; seen " << testing::PrintToString(seen);

    // The list marks the entry of the profile the engine applies now, drawn in the not-selected
    // marked colour while another entry is selected.
    const auto marked = [&] {
        const int height = static_cast<int>(::SendMessageW(m_list, LB_GETITEMHEIGHT, 0, 0));
        const POINT topLeft = EntryPoint(4, true);
        const HDC screen = ::GetDC(nullptr);
        bool found = false;
        for (int y = topLeft.y - height / 2; y < topLeft.y + height / 2 && !found; ++y)
            for (int x = topLeft.x + 10; x < topLeft.x + 120 && !found; ++x)
                found = ::GetPixel(screen, x, y) == RGB(249, 0, 0);
        ::ReleaseDC(nullptr, screen);
        return found;
    };
    // Each round moves the engine's profile to the dialog and back to the probe.
    bool found = false;
    for (int round = 0; round < 3 && !found; ++round)
    {
        ASSERT_TRUE(Click(EntryPoint(0, false)));
        ASSERT_TRUE(m_probe->Activate());
        middleClickInProbe();
        found = brmptest::WaitFor(marked, 4000);
    }
    EXPECT_TRUE(found) << "the probe's profile is drawn in the marked colour";
    programtest::SaveScreenshot(L"profile_marked.png");
}
