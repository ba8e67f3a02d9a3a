// What a running program does with commands from its tray icon and from later
// starts: a Ctrl+click on the icon opens the settings folder, "/profile:"
// switches to another settings file (and refuses one that holds none),
// "/install:" puts a language pack to use at once, and "/layer:" while a
// button that clicks another is held gives that click once and the held
// button the new layer's action; one while a "Button Held" press holds its
// keys releases them, and one that hands a held button back to the system
// leaves nothing for "/exit" to release; "/reload" while buttons are held
// lets what each pressed go once at its release, and performs nothing again.

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "CommandLine.h"
#include "Control.h"
#include "IsolatedSettings.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "TempFolder.h"
#include "TimedClicks.h"
#include "WaitFor.h"

using brmptest::Named;
using brmptest::PhysicalInput;
using brmptest::Probe;
using programtest::ProgramCopy;

namespace
{
// Settings whose middle button types key.
CSettings SettingsTyping(wchar_t key)
{
    CSettings settings(false, GetStartupMouseInfo());
    const wchar_t keys[2] = {key, L'\0'};
    settings.GetDefaultApp()->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
    settings.GetDefaultApp()->SetKeystrokes(Middle, 0, keys, 0, 0, false, true, false, false);
    return settings;
}

// Held past 300 ms, button performs keys in keyMode; a quicker click is its own.
// dialogDefaults sends them only to their window and blocks the button, as
// the dialog's defaults for a new action do.
void HoldFor300(CApplicationSettings* profile, int button, const wchar_t* keys, int keyMode, bool dialogDefaults)
{
    auto* clicks = new CBRMPTimedClicks();
    CBRMPTimedClick quick;
    quick.SetAction(ACTION_NO_CHANGE);
    clicks->SetTimedClick(0, quick);
    CBRMPTimedClick held;
    held.SetAction(ACTION_SIMULATED_KEYS);
    held.SetKeys(keys);
    held.SetSendKeyAction(keyMode);
    if (dialogDefaults) {
        held.SetSendKeyWhenActive(true);
        held.SetBlockMouse(true);
    }
    clicks->SetTimedClick(1, held);
    clicks->SetTime(1, 300);
    clicks->SetEnabled(1, true);
    clicks->SetReleaseOnUp(true);
    profile->SetTimedClicks(button, 0, clicks);
    profile->SetActions(button, 0, ACTION_BUTTON_HELD);
}

// The text of the visible message box (on this desktop only the program shows one), or empty.
std::wstring MessageBoxText(HWND* box = nullptr)
{
    HWND found = programtest::FindWindowOfClass(L"#32770", true);
    if (box)
        *box = found;
    wchar_t text[1024] = L"";
    if (found)
        ::GetDlgItemTextW(found, 0xFFFF, text, 1024);
    return text;
}

// The library's debug line at the end of every settings load.
constexpr char kLoaded[] = "HookDLL: Load Settings took";

class ProgramCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_program.Prepare());
        CSettings settings = SettingsTyping(L'a');
        ASSERT_TRUE(m_program.WriteSettings(settings));
    }

    void StartProgram()
    {
        ASSERT_TRUE(m_program.Start(L"/debug"));
        ASSERT_TRUE(m_program.WaitForLog("Successfully created the main message window.")) << m_program.Log();
        m_window = m_program.WaitForMainWindow();
        ASSERT_NE(m_window, nullptr) << m_program.Log();
    }

    // The program started with settings and a probe window under the pointer.
    void StartWithProbe(CSettings& settings)
    {
        ASSERT_TRUE(m_program.WriteSettings(settings));
        m_probe = std::make_unique<Probe>();
        ASSERT_TRUE(m_probe->Start());
        ASSERT_NO_FATAL_FAILURE(StartProgram());
    }

    // A middle click in the probe: what it typed, or "M" when the click itself arrived.
    std::wstring MiddleClickInProbe()
    {
        if (!m_probe)
        {
            m_probe = std::make_unique<Probe>();
            if (!m_probe->Start())
                return L"(no probe)";
        }
        m_side = -m_side;
        return programtest::MiddleClickInProbe(*m_probe, 20 * m_side);
    }

    ProgramCopy m_program{L"brmp-commands"};
    std::unique_ptr<Probe> m_probe;
    HWND m_window = nullptr;
    int m_side = 1;
};
}

TEST_F(ProgramCommands, AProfileFromALaterStartReplacesTheSettingsAndOneThatHoldsNoneIsRefused)
{
    brmptest::TempFolder elsewhere(L"brmp-profiles");
    const std::wstring other = elsewhere.PathOf(L"Other settings.xml");
    CSettings typingB = SettingsTyping(L'b');
    ASSERT_TRUE(typingB.Save(other.c_str()));
    const std::wstring broken = elsewhere.PathOf(L"Broken.xml");
    ASSERT_TRUE(brmptest::WriteFileBytes(broken, "<not settings"));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(MiddleClickInProbe(), L"a") << m_program.Log();

    // The running program has the new settings in force once the library
    // reports the load that follows the command (a debug line: a later start
    // without /debug would switch debug logging off).
    const int loads = m_program.LogCount(kLoaded);
    ASSERT_TRUE(m_program.StartLater(L"/debug /profile:\"" + other + L"\""));
    ASSERT_TRUE(brmptest::WaitFor([&] { return m_program.LogCount(kLoaded) > loads; }, 20000)) << m_program.Log();
    EXPECT_EQ(MiddleClickInProbe(), L"b") << m_program.Log();
    // The command line reaches the running program in lower case; file names do not mind.
    EXPECT_TRUE(m_program.LogHas("OnNextInstance: Switching profile to 'c:")) << m_program.Log();

    // Neither a file without settings nor a missing one replaces them: the user is told.
    for (const std::wstring& bad : {broken, elsewhere.PathOf(L"Missing.xml")})
    {
        SCOPED_TRACE(testing::PrintToString(bad));
        ASSERT_TRUE(m_program.StartLater(L"/profile:\"" + bad + L"\""));
        HWND box = nullptr;
        std::wstring text;
        EXPECT_TRUE(brmptest::WaitFor([&] { return !(text = MessageBoxText(&box)).empty(); }, 20000)) << m_program.Log();
        EXPECT_EQ(::CompareStringOrdinal(text.c_str(), -1, (L"Unable to load the profile '" + bad + L"'.").c_str(), -1,
                                         TRUE),
                  CSTR_EQUAL)
            << testing::PrintToString(text);
        EXPECT_TRUE(programtest::SaveScreenshot(L"profile-refused.png"));
        if (box)
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(brmptest::WaitFor([&] { return MessageBoxText().empty(); }, 10000));
        EXPECT_EQ(MiddleClickInProbe(), L"b") << m_program.Log();
    }
    EXPECT_TRUE(m_program.LogHas("is not a valid Brindlemap profile.")) << m_program.Log();
}

TEST_F(ProgramCommands, ALanguagePackFromALaterStartIsInstalledAndTranslatesTheTrayAtOnce)
{
    brmptest::TempFolder downloads(L"brmp-downloads");
    const std::wstring pack = downloads.PathOf(L"Deutsch.brmplp");
    ASSERT_TRUE(brmptest::WriteFileBytes(
        pack, "Language=Deutsch\n\"Mouse button re-mapping is now disabled\" => \"Die Umbelegung ist jetzt aus\"\n"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());

    ASSERT_TRUE(m_program.StartLater(L"/install:\"" + pack + L"\""));
    // Portable: the settings folder is the program's.
    ASSERT_TRUE(brmptest::WaitFor(
        [&] { return brmptest::ReadFileBytes(m_program.Folder().PathOf(L"Deutsch.brmplp")).has_value(); }, 20000))
        << m_program.Log();

    // The balloon of the next state change speaks the new language.
    ASSERT_TRUE(m_program.StartLater(L"/disable"));
    std::wstring shown;
    EXPECT_TRUE(brmptest::WaitFor(
        [&] {
            HWND balloon = programtest::FindWindowOfClass(L"tooltips_class32", true);
            shown = balloon ? programtest::WindowTextOf(balloon) : std::wstring();
            return shown.find(L"Die Umbelegung ist jetzt aus") != std::wstring::npos;
        },
        20000))
        << testing::PrintToString(shown) << m_program.Log();
    EXPECT_TRUE(programtest::SaveScreenshot(L"language-installed.png"));
}

TEST_F(ProgramCommands, ACtrlClickOnTheTrayIconOpensTheSettingsFolder)
{
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(brmptest::WaitFor([&] { return programtest::TrayHasIcon(m_window); }, 20000)) << m_program.Log();
    const POINT icon = programtest::TrayIconPoint();
    ASSERT_TRUE(PhysicalInput::KeyDown(L"ctrl"));
    const ::testing::AssertionResult clicked = PhysicalInput::ClickAt(icon.x, icon.y, PhysicalInput::kLeft);
    ASSERT_TRUE(PhysicalInput::KeyUp(L"ctrl"));
    ASSERT_TRUE(clicked);
    // The file manager shows the folder: a window titled with the folder's name.
    const std::wstring folder = m_program.Folder().Path();
    const std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
    HWND shown = nullptr;
    EXPECT_TRUE(brmptest::WaitFor([&] { return (shown = ::FindWindowW(nullptr, name.c_str())) != nullptr; }, 20000))
        << programtest::DescribeWindows() << m_program.Log();
    EXPECT_TRUE(programtest::SaveScreenshot(L"settings-folder.png"));
    if (shown)
        ::PostMessageW(shown, WM_CLOSE, 0, 0);
}

TEST_F(ProgramCommands, ALayerFromALaterStartWhileAButtonThatClicksAnotherIsHeldClicksThatOnceAndGivesTheHeldButtonItsNewAction)
{
    // In the probe the right button clicks the middle one on layer 1 and types
    // "world" on layer 2; the middle button has layer actions of its own.
    CSettings settings(false, GetStartupMouseInfo());
    CApplicationSettings* probe = brmptest::AddProbeProfile(settings, L"BrmpProbe");
    probe->SetActions(Right, 0, ACTION_MIDDLE_CLICK);
    probe->SetActions(Right, 1, ACTION_SIMULATED_KEYS);
    probe->SetKeystrokes(Right, 1, L"world", 0, 0, false, true, false, false);
    probe->SetActions(Middle, 0, ACTION_LAYER_2);
    probe->SetActions(Middle, 1, ACTION_LAYER_1);
    ASSERT_NO_FATAL_FAILURE(StartWithProbe(settings));

    PhysicalInput::HeldButton right(PhysicalInput::kRight);
    ASSERT_TRUE(right.Held());
    ASSERT_TRUE(m_probe->WaitForRecord(Named(L"WM_MBUTTONDOWN"))) << m_probe->Describe() << m_program.Log();
    ASSERT_TRUE(m_program.StartLater(L"/debug /layer:2"));
    ASSERT_TRUE(m_program.WaitForLog("Setting current layer to 1.")) << m_program.Log();
    ASSERT_TRUE(right.Release());
    // A later right click comes after whatever the release sent, with layer 2's action again.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));

    std::wstring typed;
    EXPECT_TRUE(brmptest::WaitFor([&] {
        typed.clear();
        for (const auto& record : m_probe->Records(Named(L"WM_CHAR")))
            typed += static_cast<wchar_t>(record.Value(L"char"));
        return typed.size() >= 10;
    })) << m_probe->Describe();
    EXPECT_EQ(typed, L"worldworld");
    const std::vector<std::wstring> middleClick = {L"WM_MBUTTONDOWN", L"WM_MBUTTONUP"};
    EXPECT_EQ(m_probe->RecordNames(L"BUTTON"), middleClick) << m_probe->Describe() << m_program.LogTail();
}

TEST_F(ProgramCommands, ALayerFromALaterStartWhileAButtonHeldPressHoldsItsKeysReleasesThem)
{
    // X2 held past 300 ms holds Ctrl until its release; on layer 2 X2 is disabled.
    CSettings settings(false, GetStartupMouseInfo());
    CApplicationSettings* probe = brmptest::AddProbeProfile(settings, L"BrmpProbe");
    HoldFor300(probe, XRight, L"{CTRL}", KEYMODE_DURING, false);
    probe->SetActions(XRight, 1, ACTION_DISABLE);
    ASSERT_NO_FATAL_FAILURE(StartWithProbe(settings));

    PhysicalInput::HeldButton forward(PhysicalInput::kForward);
    ASSERT_TRUE(forward.Held());
    ASSERT_TRUE(m_probe->WaitForRecord(Named(L"WM_KEYDOWN", L"vk", VK_CONTROL))) << m_probe->Describe() << m_program.LogTail();
    ASSERT_TRUE(m_program.StartLater(L"/debug /layer:2"));
    ASSERT_TRUE(m_program.WaitForLog("Setting current layer to 1.")) << m_program.Log();
    ASSERT_TRUE(forward.Release());
    EXPECT_TRUE(m_probe->WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_CONTROL)))
        << "Ctrl stays down\n" << m_probe->Describe() << m_program.LogTail();
}

TEST_F(ProgramCommands, AButtonALayerFromALaterStartHandsBackToTheSystemIsNotReleasedAgainByExit)
{
    // X2 types on layer 1 and is the system's own on layer 2.
    CSettings settings(false, GetStartupMouseInfo());
    CApplicationSettings* probe = brmptest::AddProbeProfile(settings, L"BrmpProbe");
    probe->SetActions(XRight, 0, ACTION_SIMULATED_KEYS);
    probe->SetKeystrokes(XRight, 0, L"x", 0, 0, false, true, false, false);
    probe->SetActions(XRight, 1, ACTION_NO_CHANGE);
    ASSERT_NO_FATAL_FAILURE(StartWithProbe(settings));

    PhysicalInput::HeldButton forward(PhysicalInput::kForward);
    ASSERT_TRUE(forward.Held());
    ASSERT_TRUE(m_probe->WaitForRecord(Named(L"WM_CHAR", L"char", L'x'))) << m_probe->Describe();
    ASSERT_TRUE(m_program.StartLater(L"/debug /layer:2"));
    // The system gets the button pressed in its place, and the user's release.
    ASSERT_TRUE(m_probe->WaitForRecord(Named(L"WM_XBUTTONDOWN", L"button", 2))) << m_probe->Describe() << m_program.LogTail();
    ASSERT_TRUE(forward.Release());
    ASSERT_TRUE(m_probe->WaitForRecord(Named(L"WM_XBUTTONUP", L"button", 2))) << m_probe->Describe();

    ASSERT_TRUE(m_program.StartLater(L"/exit"));
    ASSERT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.LogTail();
    EXPECT_FALSE(m_program.LogHas("mouse buttons left pressed")) << m_program.LogTail();
    // A click after the program's end comes after anything its stop sent.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    ASSERT_TRUE(m_probe->WaitForRecord(Named(L"WM_RBUTTONUP"))) << m_probe->Describe();
    EXPECT_EQ(m_probe->Records(Named(L"WM_XBUTTONUP")).size(), 1u) << m_probe->Describe();
}

TEST_F(ProgramCommands, AReloadWhileButtonsAreHeldEndsEachPressOnceAtItsRelease)
{
    // X1 holds Ctrl while it is held; held past 300 ms, X2 holds Ctrl until
    // its release and the middle button types "long". All with the dialog's
    // defaults: only to their window, and the button itself blocked.
    CSettings settings(false, GetStartupMouseInfo());
    CApplicationSettings* probe = brmptest::AddProbeProfile(settings, L"BrmpProbe");
    probe->SetActions(XLeft, 0, ACTION_SIMULATED_KEYS);
    probe->SetKeystrokes(XLeft, 0, L"{CTRL}", KEYMODE_DURING, 0, true, true, false, false);
    HoldFor300(probe, XRight, L"{CTRL}", KEYMODE_DURING, true);
    HoldFor300(probe, Middle, L"long", KEYMODE_PRESSED, true);
    ASSERT_NO_FATAL_FAILURE(StartWithProbe(settings));

    const auto ctrl = [&](const wchar_t* message) { return m_probe->Records(Named(message, L"vk", VK_CONTROL)).size(); };
    // Held until the press has acted, reloaded, released; true once the release has acted.
    const auto heldAcrossAReload = [&](int button, const std::function<bool()>& pressed,
                                       const std::function<bool()>& released) {
        PhysicalInput::HeldButton held(button);
        if (!held.Held() || !brmptest::WaitFor(pressed))
            return ::testing::AssertionFailure() << "the press did not act\n" << m_probe->Describe();
        const int loads = m_program.LogCount(kLoaded);
        if (!m_program.StartLater(L"/debug /reload") || !brmptest::WaitFor([&] { return m_program.LogCount(kLoaded) > loads; }, 20000))
            return ::testing::AssertionFailure() << "no reload\n" << m_program.LogTail();
        if (!held.Release() || !brmptest::WaitFor(released))
            return ::testing::AssertionFailure() << "the release did not act\n" << m_probe->Describe() << m_program.LogTail();
        return ::testing::AssertionSuccess();
    };
    ASSERT_TRUE(heldAcrossAReload(PhysicalInput::kBack, [&] { return ctrl(L"WM_KEYDOWN") == 1; },
                                  [&] { return ctrl(L"WM_KEYUP") == 1; }))
        << "Ctrl stays down";
    ASSERT_TRUE(heldAcrossAReload(PhysicalInput::kForward, [&] { return ctrl(L"WM_KEYDOWN") == 2; },
                                  [&] { return ctrl(L"WM_KEYUP") == 2; }))
        << "Ctrl stays down";
    const auto typed = [&](wchar_t c) { return m_probe->Records(Named(L"WM_CHAR", L"char", c)).size(); };
    ASSERT_TRUE(heldAcrossAReload(PhysicalInput::kMiddle, [&] { return typed(L'g') == 1; }, [] { return true; }));

    // Nothing of it is left in the input queue's list, for a stop to release
    // while the user may be holding Ctrl.
    ASSERT_TRUE(m_program.StartLater(L"/debug /disable"));
    ASSERT_TRUE(m_program.WaitForLog("Exiting SendInput thread.")) << m_program.LogTail();
    // A click after the stop comes after anything the release or the stop sent.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    ASSERT_TRUE(m_probe->WaitForRecord(Named(L"WM_RBUTTONUP"))) << m_probe->Describe();
    EXPECT_EQ(ctrl(L"WM_KEYDOWN"), 2u) << "a held button pressed Ctrl again\n" << m_probe->Describe();
    EXPECT_EQ(ctrl(L"WM_KEYUP"), 2u) << "the stop released a Ctrl\n" << m_probe->Describe() << m_program.LogTail();
    EXPECT_EQ(typed(L'l'), 1u) << "\"long\" was typed again\n" << m_probe->Describe();
}
