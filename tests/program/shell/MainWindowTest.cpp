#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CommandWord.h"
#include "Exceptions.h"
#include "Control.h"
#include "Hooks.h"
#include "InstancePipe.h"
#include "IsolatedSettings.h"
#include "Layers.h"
#include "MainWindowRecorder.h"
#include "MainWindowServices.h"
#include "MouseInfo.h"
#include "Settings.h"
#include "CommandLine.h"
#include "Handles.h"
#include "HotkeyTestSupport.h"
#include "MessageBox.h"
#include "MyMessageWnd.h"
#include "ProgramRunner.h"
#include "RealProgramTest.h"
#include "ShellTestFiles.h"
#include "SingleInstance.h"
#include "TempFolder.h"
#include "WaitFor.h"

namespace
{
using brmptest::RecordingServices;

std::wstring UniquePipe()
{
    static int counter = 0;
    return InstancePipeName() + L".mainwnd." + std::to_wstring(::GetCurrentProcessId()) + L"." +
           std::to_wstring(++counter);
}

constexpr DWORD kRelayed = CommandBits::Relayed;

class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<CMyMessageWnd>(false, false, false, false, services, pipe);
        ASSERT_TRUE(window->Create(nullptr, L"main window test"));
        ASSERT_TRUE(window->IsPipeServing());
        services.Clear();
    }
    void TearDown() override { window.reset(); }

    // Relays a command as a later start does: through the pipe, from another thread.
    bool Relay(DWORD word, const std::wstring& text, const std::function<bool()>& done)
    {
        std::atomic<bool> sent{false};
        std::thread client([&] { sent = SendInstanceCommand(pipe, word, text, 5000); });
        const bool reached = brmptest::WaitFor(done, 10000);
        client.join();
        return sent && reached;
    }

    RecordingServices services;
    std::wstring pipe = UniquePipe();
    std::unique_ptr<CMyMessageWnd> window;
};

struct LayerCase
{
    const wchar_t* text;
    int maxLayers;
    int expected;   // -1: no layer is set
};

TEST_F(MainWindow, ALayerCommandSwitchesOnlyToALayerThatExists)
{
    const std::vector<LayerCase> cases = {
        {L"2", 10, 1},   {L"1", 10, 0},     {L"10", 10, 9},  {L"3 ", 10, 2}, {L"0", 10, -1},
        {L"11", 10, -1}, {L"4", 3, -1},     {L"-1", 10, -1}, {L"", 10, -1},  {L"abc", 10, -1},
        {L"4294967298", 10, -1},
    };
    for (const LayerCase& c : cases)
    {
        SCOPED_TRACE(std::string(c.text, c.text + wcslen(c.text)));
        services.Clear();
        services.maxLayers = c.maxLayers;
        window->SendCommand(kRelayed | CommandBits::Layer, c.text);
        const auto set = services.CallsStartingWith(L"SetCurrentLayer");
        if (c.expected < 0)
            EXPECT_TRUE(set.empty());
        else
            EXPECT_EQ(set, std::vector<std::wstring>{L"SetCurrentLayer(" + std::to_wstring(c.expected) + L")"});
    }
}

TEST_F(MainWindow, DisableAndEnableActOnlyWhenTheyChangeSomething)
{
    window->SendCommand(kRelayed | CommandBits::Disable | CommandBits::ShowIcon, L"");
    EXPECT_TRUE(services.Called(L"RemoveMouseHook(true)"));
    EXPECT_FALSE(services.hooked);

    services.Clear();
    window->SendCommand(kRelayed | CommandBits::Disable | CommandBits::ShowIcon, L"");
    EXPECT_TRUE(services.CallsStartingWith(L"RemoveMouseHook").empty()) << "already disabled";

    window->SendCommand(kRelayed | CommandBits::Enable | CommandBits::ShowIcon, L"");
    EXPECT_TRUE(services.Called(L"UpdateSettings"));
    EXPECT_TRUE(services.Called(L"SetMouseHook"));
    EXPECT_TRUE(services.hooked);

    services.Clear();
    window->SendCommand(kRelayed | CommandBits::Enable | CommandBits::ShowIcon, L"");
    EXPECT_FALSE(services.Called(L"SetMouseHook")) << "already enabled";
}

TEST_F(MainWindow, TheStartUpWordLeavesTheTrayIconAlone)
{
    window->SendCommand(CommandBits::Startup | CommandBits::Debug, L"");
    EXPECT_TRUE(services.CallsStartingWith(L"TrayIcon").empty());
    EXPECT_TRUE(services.Called(L"SetDebug(true)"));

    services.Clear();
    window->SendCommand(kRelayed | CommandBits::HideIcon, L"");
    EXPECT_EQ(services.CallsStartingWith(L"TrayIcon"), std::vector<std::wstring>{L"TrayIcon(hide)"});
    EXPECT_FALSE(window->GetShowIcon());
    EXPECT_TRUE(services.Called(L"SetDebug(false)")) << "a relayed word without /debug turns debug logging off";
}

TEST_F(MainWindow, FileArgumentsLoseTheirQuotes)
{
    window->SendCommand(kRelayed | CommandBits::Profile | CommandBits::ShowIcon, L"\"c:\\my files\\a.xml\"");
    window->SendCommand(kRelayed | CommandBits::Install | CommandBits::ShowIcon, L"\"c:\\packs\\fr.brmplp\" ");
    EXPECT_TRUE(services.Called(L"SwitchProfile(c:\\my files\\a.xml)"));
    EXPECT_TRUE(services.Called(L"InstallLanguagePack(c:\\packs\\fr.brmplp )"));
}

TEST_F(MainWindow, AnInstalledLanguagePackOpensTheSettingsWithItAndARefusedOneOpensNothing)
{
    window->SendCommand(kRelayed | CommandBits::Install | CommandBits::ShowIcon, L"c:\\packs\\bad.brmplp");
    EXPECT_TRUE(services.CallsStartingWith(L"SetupOpened").empty());

    services.installs = true;
    window->SendCommand(kRelayed | CommandBits::Install | CommandBits::ShowIcon, L"c:\\packs\\fr.brmplp");
    EXPECT_TRUE(services.Called(L"SetupOpened[installed.brmplp]"));
}

TEST_F(MainWindow, AFrameworkExceptionFromTheSettingsDialogIsLoggedAsSuchTheUserIsToldAndTheWindowGoesOn)
{
    struct ThrowCase
    {
        std::function<void()> raise;
        const wchar_t* logged;
    };
    const ThrowCase cases[] = {
        {[] { throw CResourceException(L"no dialog template"); },
         L"CMyMessageWnd::OnSetup - Setup dialog threw an exception: no dialog template"},
        {[] { throw CException(); }, L"CMyMessageWnd::OnSetup - Setup dialog threw an unexpected CException."},
    };
    for (const ThrowCase& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.logged)));
        services.Clear();
        services.onSetup = [&](HWND) { c.raise(); };
        std::vector<UINT> icons;
        ScopedMessageBoxHandler boxes([&](const MessageBoxRequest& box) {
            icons.push_back(box.type & MB_ICONMASK);
            return IDOK;
        });
        const shelltest::LogTail log;
        window->SendCommand(kRelayed | CommandBits::Setup | CommandBits::ShowIcon, L"");
        EXPECT_TRUE(log.Contains(c.logged)) << testing::PrintToString(log.Text());
        EXPECT_EQ(icons, std::vector<UINT>{MB_ICONERROR});
        EXPECT_TRUE(services.Called(L"UpdateSettings")) << "the window goes on after the dialog";
    }
}

TEST_F(MainWindow, ACommandMessageThatThisInstanceDidNotIssueIsIgnored)
{
    const std::wstring text = L"5";
    const UINT message = CMyMessageWnd::NextInstanceMessage();
    // What another process could post: a word with a pointer, or a made-up token.
    window->SendMessage(message, kRelayed | CommandBits::Layer | CommandBits::Exit,
                        reinterpret_cast<LPARAM>(text.c_str()));
    window->PostMessage(message, kRelayed | CommandBits::Exit, 0x1234);
    brmptest::PumpMessages();
    EXPECT_TRUE(services.calls.empty());
    EXPECT_TRUE(window->IsWindow());
}

TEST_F(MainWindow, ALayerChangeOutsideTheTableIsNotShown)
{
    const UINT message = ::RegisterWindowMessageW(L"BRMP_LayerChanged");
    window->SendMessage(message, 3, 0);
    EXPECT_EQ(window->GetCurrentLayerShown(), 3);
    window->SendMessage(message, 10, 0);
    window->SendMessage(message, static_cast<WPARAM>(-1), 1);
    EXPECT_EQ(window->GetCurrentLayerShown(), 3);
}

TEST_F(MainWindow, MessagesFromOtherWindowsNamingAPositionOutsideTheirTableAreIgnored)
{
    // The window shows the icon, so cursor-speed changes reach the tray.
    window->SendCommand(kRelayed | CommandBits::ShowIcon, L"");
    const UINT speed = ::RegisterWindowMessageW(L"BRMP_CursorSpeedChanged");
    services.Clear();
    for (WPARAM position : {WPARAM{0}, WPARAM{3}, WPARAM{4}, static_cast<WPARAM>(-1)})
        window->SendMessage(speed, position, 0);
    EXPECT_EQ(services.CallsStartingWith(L"ShowCursorSpeed"),
              (std::vector<std::wstring>{L"ShowCursorSpeed(0)", L"ShowCursorSpeed(3)"}));

    services.maxLayers = 3;
    for (UINT id : {32900u, 32902u, 32903u, 32909u})
        window->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0);
    EXPECT_EQ(services.CallsStartingWith(L"SetCurrentLayer"),
              (std::vector<std::wstring>{L"SetCurrentLayer(0)", L"SetCurrentLayer(2)"}));
}

TEST_F(MainWindow, TheMenusDisableTogglesTheHooksWithoutABalloonAndExitEndsTheWindow)
{
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdDisable, 0), 0);
    EXPECT_TRUE(services.Called(L"RemoveMouseHook(false)")) << "a toggle keeps the user's mouse settings";
    EXPECT_FALSE(services.hooked);
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdDisable, 0), 0);
    EXPECT_TRUE(services.hooked);

    const HWND handle = window->GetSafeHwnd();
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdExit, 0), 0);
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_FALSE(window->IsPipeServing());
}

TEST_F(MainWindow, ExitFromALaterStartRemovesTheHooksAndEndsTheWindowAndThePipe)
{
    const HWND handle = window->GetSafeHwnd();
    ASSERT_TRUE(Relay(kRelayed | CommandBits::Exit, L"", [&] { return !::IsWindow(handle); }));
    EXPECT_TRUE(services.Called(L"RemoveMouseHook(true)"));
    EXPECT_TRUE(services.Called(L"SetHookMainWindow(null)"));
    EXPECT_FALSE(window->IsPipeServing());
    EXPECT_FALSE(SendInstanceCommand(pipe, kRelayed | CommandBits::Setup, L"", 0))
        << "nobody may serve the pipe after the exit";
}

TEST_F(MainWindow, ExitWhileTheSettingsDialogIsOpenClosesItFirstAndRunsNoLaterStep)
{
    services.onSetup = [&](HWND owner) {
        // A stand-in dialog owned by the main window, running its own loop.
        HWND dialog = ::CreateWindowExW(0, L"STATIC", L"settings", WS_POPUP, 0, 0, 10, 10, owner, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(dialog, nullptr);
        std::thread client([&] { SendInstanceCommand(pipe, kRelayed | CommandBits::Exit, L"", 5000); });
        brmptest::WaitFor([&] { return !::IsWindow(dialog); }, 10000);
        client.join();
        EXPECT_FALSE(::IsWindow(dialog)) << "the dialog was not asked to close";
        EXPECT_TRUE(::IsWindow(owner)) << "the window must outlive its dialog";
    };
    const HWND handle = window->GetSafeHwnd();
    window->SendCommand(kRelayed | CommandBits::Setup | CommandBits::Reload, L"");
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_TRUE(services.Called(L"SetupClosed"));
    EXPECT_LT(services.IndexOf(L"SetupClosed"), services.IndexOf(L"RemoveMouseHook(true)"));
    EXPECT_FALSE(services.Called(L"UpdateSettings")) << "/reload ran after the exit";
}

TEST_F(MainWindow, SetupTogetherWithReloadReloadsAfterTheDialogCloses)
{
    window->SendCommand(kRelayed | CommandBits::Setup | CommandBits::Reload, L"");
    ASSERT_GE(services.IndexOf(L"SetupClosed"), 0);
    EXPECT_LT(services.IndexOf(L"SetupClosed"), services.IndexOf(L"UpdateSettings"));
    EXPECT_TRUE(window->IsWindow());
}
} // namespace

// ---------------------------------------------------------------- with the real library

namespace
{
// The real library behind the window, loading settings of the test's own with
// two layers: hooks installed by the test stand for a running first instance;
// later starts' commands arrive through the pipe.
class MainWindowWithLibrary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_isolated.Begin(L"MainWindowWithLibrary", m_folder.Path()));
        CSettings settings(false, CMouseInfo());
        settings.SetMaxLayers(2);
        ASSERT_TRUE(m_isolated.WriteSettings(settings));
        m_layer = GetCurrentLayer();
        ASSERT_TRUE(SetMouseHook());
        window = std::make_unique<CMyMessageWnd>(false, false, false, false, DefaultMainWindowServices(), pipe);
        ASSERT_TRUE(window->Create(nullptr, L"main window library test"));
    }
    void TearDown() override
    {
        window.reset();
        RemoveMouseHook(true);
        SetCurrentLayer(m_layer, false, false, false);
        m_isolated.End();
    }
    bool Relay(DWORD word, const std::wstring& text, const std::function<bool()>& done)
    {
        std::atomic<bool> sent{false};
        std::thread client([&] { sent = SendInstanceCommand(pipe, word, text, 5000); });
        const bool reached = brmptest::WaitFor(done, 15000);
        client.join();
        return sent && reached;
    }

    std::wstring pipe = UniquePipe();
    std::unique_ptr<CMyMessageWnd> window;
    brmptest::TempFolder m_folder{L"brmp-main-window"};
    brmptest::IsolatedSettings m_isolated;
    int m_layer = 0;
};

TEST_F(MainWindowWithLibrary, RelayedDisableRemovesTheHooksAndEnableInstallsThemAgain)
{
    ASSERT_TRUE(GetHooked());
    EXPECT_TRUE(Relay(kRelayed | CommandBits::Disable | CommandBits::ShowIcon, L"", [] { return !GetHooked(); }));
    EXPECT_TRUE(Relay(kRelayed | CommandBits::Enable | CommandBits::ShowIcon, L"", [] { return GetHooked(); }));
}

TEST_F(MainWindowWithLibrary, ARelayedLayerBecomesTheLibrarysCurrentLayer)
{
    SetCurrentLayer(0, false, false, false);
    EXPECT_TRUE(Relay(kRelayed | CommandBits::Layer | CommandBits::ShowIcon, L"2", [] { return GetCurrentLayer() == 1; }));
    // The library tells the main window, which shows the new layer.
    EXPECT_TRUE(brmptest::WaitFor([&] { return window->GetCurrentLayerShown() == 1; }));

    // A layer outside the table leaves the current one alone.
    window->SendCommand(kRelayed | CommandBits::Layer | CommandBits::ShowIcon, std::to_wstring(MaxLayers() + 1));
    EXPECT_EQ(GetCurrentLayer(), 1);
}

} // namespace

// ---------------------------------------------------------------- the real program

namespace
{
class TheProgram : public programtest::RealProgramTest
{
protected:
    TheProgram() : RealProgramTest(L"brmp-program") {}

    // Runs a later start to its end.
    bool RunLater(const std::wstring& arguments) { return m_program.StartLater(arguments, 60000); }
    std::string Log() const { return m_program.Log(); }
    bool LogHas(const char* text) const { return m_program.LogHas(text); }
    bool FirstHasEnded() const { return m_program.Ended(0); }
};

TEST_F(TheProgram, LaterStartsHandTheirSwitchesToTheRunningInstanceAndExitEndsIt)
{
    ASSERT_TRUE(m_program.Start(L"/portable /debug"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return ::FindWindowW(m_name.c_str(), nullptr) != nullptr || FirstHasEnded(); },
                                  60000));
    ASSERT_FALSE(FirstHasEnded()) << Log();
    const HWND mainWindow = ::FindWindowW(m_name.c_str(), nullptr);

    ASSERT_TRUE(RunLater(L"/layer:2 /debug"));
    EXPECT_TRUE(brmptest::WaitFor([&] { return LogHas("OnNextInstance: Switching to layer 2"); }, 10000)) << Log();
    EXPECT_TRUE(LogHas("Received message with data 0x80020041"));

    ASSERT_TRUE(RunLater(L"/disable /debug"));
    EXPECT_TRUE(brmptest::WaitFor([&] { return LogHas("OnNextInstance: Disable"); }, 10000)) << Log();
    EXPECT_TRUE(brmptest::WaitFor([&] { return LogHas("RemoveMouseHook(true)"); }, 10000));
    ASSERT_TRUE(RunLater(L"/enable /debug"));
    EXPECT_TRUE(brmptest::WaitFor([&] { return LogHas("OnNextInstance: Enable"); }, 10000)) << Log();

    ASSERT_TRUE(RunLater(L"/exit"));
    EXPECT_TRUE(brmptest::WaitFor([&] { return FirstHasEnded(); }, 30000)) << Log();
    EXPECT_FALSE(::IsWindow(mainWindow));
    EXPECT_EQ(m_program.ExitCode(), 0u);
    // The pipe's thread ended by itself before the program did.
    EXPECT_TRUE(LogHas("Exiting IPC communications thread")) << Log();
    EXPECT_TRUE(LogHas("Brindlemap Shutdown."));
}

TEST_F(TheProgram, ALaterStartWhileTheFirstIsStillStartingIsNotLost)
{
    ASSERT_TRUE(m_program.Start(L"/portable /debug"));
    // As soon as the first instance holds its mutex: its hooks and its pipe
    // may still be on the way.
    ASSERT_TRUE(brmptest::WaitFor(
        [&] {
            HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, m_name.c_str());
            if (mutex == nullptr)
                return FirstHasEnded();
            ::CloseHandle(mutex);
            return true;
        },
        60000, 1));
    ASSERT_FALSE(FirstHasEnded()) << Log();
    ASSERT_TRUE(RunLater(L"/layer:2 /debug"));
    EXPECT_TRUE(brmptest::WaitFor([&] { return LogHas("Received message with data 0x80020041"); }, 20000)) << Log();
    // The main window acts on the relayed command once its own start-up is over.
    EXPECT_TRUE(brmptest::WaitFor([&] { return LogHas("OnNextInstance: Switching to layer 2"); }, 20000)) << Log();
}

TEST_F(TheProgram, HotkeysFromTheSettingsFileSwitchTheLayerAndToggleRemapping)
{
    // Layer 2 on Ctrl+Alt+F9, the toggle on Ctrl+Alt+F10 (stored modifiers: Ctrl 0x2 | Alt 0x4).
    ASSERT_TRUE(brmptest::WriteFileBytes(m_program.Folder().PathOf(L"Brindlemap.xml"),
                                         "<?xml version=\"1.0\"?>\n<root><version major=\"2\" minor=\"20\" revision=\"5\" />"
                                         "<Layers Number=\"3\" /><GlobalHotkeys Enable=\"1\">"
                                         "<Hotkey1 Key=\"120\" Modifier=\"6\" /><Hotkey7 Key=\"121\" Modifier=\"6\" />"
                                         "</GlobalHotkeys></root>\n"));
    ASSERT_TRUE(m_program.Start(L"/portable /debug"));
    // The hotkey thread logs each registration (debug logging is on).
    ASSERT_TRUE(brmptest::WaitFor([&] { return LogHas("HotkeyHandler: Created hotkey 1:") || FirstHasEnded(); },
                                  60000))
        << Log();
    ASSERT_FALSE(FirstHasEnded()) << Log();

    ASSERT_TRUE(brmptest::SendChord(MOD_CONTROL | MOD_ALT, VK_F9));
    EXPECT_TRUE(brmptest::WaitFor([&] { return LogHas("Received global hotkey: 1"); }, 10000)) << Log();
    EXPECT_TRUE(brmptest::WaitFor([&] { return LogHas("Setting current layer to 1."); }, 10000)) << Log();

    // Registrations happen on the hotkey thread, each logged when made.
    const auto registrations = [&] {
        const std::string log = Log();
        size_t count = 0;
        for (size_t at = log.find("HotkeyHandler: Created hotkey"); at != std::string::npos;
             at = log.find("HotkeyHandler: Created hotkey", at + 1))
            ++count;
        return count;
    };
    const size_t before = registrations();
    ASSERT_TRUE(brmptest::SendChord(MOD_CONTROL | MOD_ALT, VK_F10));
    EXPECT_TRUE(brmptest::WaitFor([&] { return LogHas("OnToggleDisable: Disable"); }, 10000)) << Log();
    // Disabled, only the toggle stays registered: the layer chord is free for anyone.
    EXPECT_TRUE(brmptest::WaitFor([&] { return LogHas("SetHotkeys installed 1 global hotkeys"); }, 10000)) << Log();
    EXPECT_TRUE(brmptest::WaitFor([&] { return registrations() > before; }, 10000)) << Log();
    EXPECT_TRUE(brmptest::ChordIsFree(MOD_CONTROL | MOD_ALT, VK_F9));
    EXPECT_FALSE(brmptest::ChordIsFree(MOD_CONTROL | MOD_ALT, VK_F10));

    ASSERT_TRUE(RunLater(L"/exit"));
    EXPECT_TRUE(brmptest::WaitFor([&] { return FirstHasEnded(); }, 30000)) << Log();
    EXPECT_TRUE(brmptest::ChordIsFree(MOD_CONTROL | MOD_ALT, VK_F10)) << "the program left a hotkey registered";
}
} // namespace

TEST_F(MainWindow, TheSettingsDialogChangesTheTrayIconOnlyWhenItsOptionChanged)
{
    // Hidden from the menu: closing the dialog leaves it hidden.
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdHideIcon, 0), 0);
    services.Clear();
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdSetup, 0), 0);
    ASSERT_TRUE(services.Called(L"SetupClosed"));
    EXPECT_EQ(services.Count(L"TrayIcon(show)"), 0);
    EXPECT_FALSE(window->GetShowIcon());

    // The option switched on in the dialog shows it again.
    services.showIcon = false;
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdSetup, 0), 0);
    services.Clear();
    services.onSetup = [&](HWND) { services.showIcon = true; };
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdSetup, 0), 0);
    EXPECT_EQ(services.Count(L"TrayIcon(show)"), 1);
    EXPECT_TRUE(window->GetShowIcon());
}
