#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "Control.h"
#include "Hooks.h"
#include "HotkeyTestSupport.h"
#include "Hotkeys.h"
#include "IsolatedSettings.h"
#include "Layers.h"
#include "MainWindowRecorder.h"
#include "MouseInfo.h"
#include "MyMessageWnd.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"

namespace
{
using brmptest::RecordingServices;

// Stored modifier bits of the settings (Ctrl 0x2 | Alt 0x4) and what they register as.
constexpr unsigned short kStoredCtrlAlt = 0x2 | 0x4;
constexpr UINT kCtrlAlt = MOD_CONTROL | MOD_ALT;

void SetKey(CHotKeys& table, GlobalHotkeys id, WORD vk, unsigned short modifiers = kStoredCtrlAlt)
{
    table.GetHotkey(id)->SetVirtualKey(vk);
    table.GetHotkey(id)->SetModifier(modifiers);
}

int LiveEntries(const CMyMessageWnd& window)
{
    int live = 0;
    for (const HotkeyEntry& e : window.Hotkeys().Entries())
        live += e.removed ? 0 : 1;
    return live;
}

class MainWindowHotkeys : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetKey(table, HK_Layer2, VK_F9);
        SetKey(table, HK_ToggleEnable, VK_F10);
        SetKey(table, HK_ToggleDebug, VK_F11);
        SetKey(table, HK_NextLayer, VK_F12);
        services.hotkeys = &table;
    }
    void Create()
    {
        window = std::make_unique<CMyMessageWnd>(false, false, false, false, services,
                                                 brmptest::UniqueMainWindowPipe(L"hotkeys"));
        ASSERT_TRUE(window->Create(nullptr, L"main window hotkeys test"));
        services.Clear();
    }
    void TearDown() override { window.reset(); }

    ::testing::AssertionResult Press(WORD vk, const std::wstring& expected)
    {
        if (!brmptest::SendChord(kCtrlAlt, vk))
            return ::testing::AssertionFailure() << "SendInput failed";
        if (!brmptest::WaitFor([&] { return services.Called(expected); }))
            return ::testing::AssertionFailure() << "no call " << std::string(expected.begin(), expected.end());
        return ::testing::AssertionSuccess();
    }

    CHotKeys table;
    RecordingServices services;
    std::unique_ptr<CMyMessageWnd> window;
};

TEST_F(MainWindowHotkeys, RegisteredHotkeysSwitchTheLayerAndToggleRemapping)
{
    Create();
    ASSERT_TRUE(window->Hotkeys().IsRunning());
    EXPECT_EQ(LiveEntries(*window), 4);

    EXPECT_TRUE(Press(VK_F9, L"SetCurrentLayer(1)"));
    EXPECT_TRUE(Press(VK_F12, L"HotkeyAction(" + std::to_wstring(static_cast<int>(HotkeyAction::NextLayer)) + L")"));
    // The toggle runs on the main window's thread, which removes the hooks.
    EXPECT_TRUE(Press(VK_F10, L"RemoveMouseHook(false)"));
    EXPECT_FALSE(services.hooked);
}

TEST_F(MainWindowHotkeys, WhileDisabledOnlyHotkeysMarkedUseWhenDisabledStayRegistered)
{
    Create();
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdDisable, 0), 0);
    ASSERT_FALSE(services.hooked);
    // Toggle and debug work while disabled; the layer hotkeys are not registered.
    EXPECT_EQ(LiveEntries(*window), 2);
    EXPECT_TRUE(brmptest::ChordIsFree(kCtrlAlt, VK_F9));
    EXPECT_FALSE(brmptest::ChordIsFree(kCtrlAlt, VK_F10));

    EXPECT_TRUE(Press(VK_F11, L"SetDebug(true)"));
    EXPECT_TRUE(Press(VK_F10, L"SetMouseHook"));
    EXPECT_TRUE(services.hooked);
    EXPECT_EQ(LiveEntries(*window), 4) << "enabling registers every hotkey again";
}

TEST_F(MainWindowHotkeys, WhenRemappingCannotBeSwitchedBackOnItsToggleHotkeyStillWorks)
{
    Create();
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdDisable, 0), 0);
    services.hookSucceeds = false;
    EXPECT_TRUE(Press(VK_F10, L"SetMouseHook"));
    EXPECT_FALSE(services.hooked);
    EXPECT_TRUE(window->Hotkeys().IsRunning());
    EXPECT_FALSE(brmptest::ChordIsFree(kCtrlAlt, VK_F10));

    services.hookSucceeds = true;
    services.Clear();
    EXPECT_TRUE(Press(VK_F10, L"SetMouseHook"));
    EXPECT_TRUE(services.hooked);
}

TEST_F(MainWindowHotkeys, ALayerHotkeyDoesNothingWhileScrollLockKeepsRemappingOff)
{
    Create();
    services.scrollLockOff = true;
    ASSERT_TRUE(brmptest::SendChord(kCtrlAlt, VK_F9));
    // The debug hotkey still acts; once it has, the layer hotkey before it was seen and ignored.
    EXPECT_TRUE(Press(VK_F11, L"SetDebug(true)"));
    EXPECT_TRUE(services.CallsStartingWith(L"SetCurrentLayer").empty());
}

TEST_F(MainWindowHotkeys, TheSettingsDialogRunsWithoutHotkeysAndItsNewKeysReplaceTheOldOnes)
{
    Create();
    services.onSetup = [&](HWND) {
        EXPECT_FALSE(window->Hotkeys().IsRunning());
        EXPECT_TRUE(brmptest::ChordIsFree(kCtrlAlt, VK_F9));
        // The user moves "layer 2" to another key.
        SetKey(table, HK_Layer2, 'K');
    };
    window->SendMessage(WM_COMMAND, MAKEWPARAM(CMyMessageWnd::IdSetup, 0), 0);
    ASSERT_TRUE(services.Called(L"SetupClosed"));
    EXPECT_TRUE(window->Hotkeys().IsRunning());
    EXPECT_EQ(LiveEntries(*window), 4);
    EXPECT_EQ(window->Hotkeys().Entries().size(), 4u) << "freed slots are reused, the list does not grow";
    EXPECT_TRUE(brmptest::ChordIsFree(kCtrlAlt, VK_F9));
    EXPECT_FALSE(brmptest::ChordIsFree(kCtrlAlt, 'K'));
    EXPECT_TRUE(Press('K', L"SetCurrentLayer(1)"));
}

TEST_F(MainWindowHotkeys, TheSettingsHotkeyOpensTheDialogOnTheMainThread)
{
    SetKey(table, HK_OpenSettings, 'S');
    Create();
    DWORD dialogThread = 0;
    services.onSetup = [&](HWND) { dialogThread = ::GetCurrentThreadId(); };
    EXPECT_TRUE(Press('S', L"SetupClosed"));
    EXPECT_EQ(dialogThread, ::GetCurrentThreadId());
}

TEST_F(MainWindowHotkeys, BadKeysInTheSettingsAreNotRegistered)
{
    // Two hotkeys on one chord, and a key code that is no virtual key.
    SetKey(table, HK_PreviousLayer, VK_F12);
    SetKey(table, HK_Layer3, 0x1FF);
    Create();
    EXPECT_TRUE(window->Hotkeys().IsRunning());
    EXPECT_EQ(LiveEntries(*window), 4);
    EXPECT_TRUE(Press(VK_F12, L"HotkeyAction(" + std::to_wstring(static_cast<int>(HotkeyAction::NextLayer)) + L")"));
}

TEST_F(MainWindowHotkeys, ClosingTheWindowReleasesEveryHotkey)
{
    Create();
    ASSERT_FALSE(brmptest::ChordIsFree(kCtrlAlt, VK_F9));
    window.reset();
    EXPECT_TRUE(brmptest::ChordIsFree(kCtrlAlt, VK_F9));
    EXPECT_TRUE(brmptest::ChordIsFree(kCtrlAlt, VK_F10));
}

// ------------------------------------------------------------ with the real library

// The library's layers behind the recorder.
class LibraryLayers : public RecordingServices
{
public:
    void SetHookMainWindow(HWND window) override { ::SetHookMainWindow(window); }
    bool GetHooked() override { return ::GetHooked(); }
    bool IsBRMPDisabled(bool quiet) override { return ::IsBRMPDisabled(quiet); }
    int GetCurrentLayer() override { return ::GetCurrentLayer(); }
    int MaxLayers() override { return ::MaxLayers(); }
    void SetCurrentLayer(int layer, bool notify, bool autoSwitch, bool remember) override
    {
        ::SetCurrentLayer(layer, notify, autoSwitch, remember);
    }
    void RunHotkeyAction(HotkeyAction action) override { IMainWindowServices::RunHotkeyAction(action); }
};

TEST(MainWindowHotkeysWithLibrary, AHotkeyChordChangesTheLibrarysLayer)
{
    // Settings of the test's own with two layers.
    brmptest::TempFolder folder(L"brmp-hotkeys-library");
    brmptest::IsolatedSettings isolated;
    ASSERT_TRUE(folder.IsValid());
    ASSERT_TRUE(isolated.Begin(L"MainWindowHotkeysWithLibrary", folder.Path()));
    CSettings settings(false, CMouseInfo());
    settings.SetMaxLayers(2);
    ASSERT_TRUE(isolated.WriteSettings(settings));
    const int before = GetCurrentLayer();
    ASSERT_TRUE(SetMouseHook());
    SetCurrentLayer(0, false, false, false);

    CHotKeys table;
    SetKey(table, HK_Layer2, VK_F9);
    SetKey(table, HK_NextLayer, VK_F12);
    LibraryLayers services;
    services.hotkeys = &table;
    {
        CMyMessageWnd window(false, false, false, false, services, brmptest::UniqueMainWindowPipe(L"hotkeylib"));
        ASSERT_TRUE(window.Create(nullptr, L"main window hotkeys library test"));
        ASSERT_TRUE(window.Hotkeys().IsRunning());

        ASSERT_TRUE(brmptest::SendChord(kCtrlAlt, VK_F9));
        EXPECT_TRUE(brmptest::WaitFor([] { return GetCurrentLayer() == 1; }));
        // The library tells the main window, which shows the new layer.
        EXPECT_TRUE(brmptest::WaitFor([&] { return window.GetCurrentLayerShown() == 1; }));
        // The next layer after the second wraps over the two layers in use.
        ASSERT_TRUE(brmptest::SendChord(kCtrlAlt, VK_F12));
        EXPECT_TRUE(brmptest::WaitFor([&] { return GetCurrentLayer() == 0; }));
    }
    RemoveMouseHook(true);
    SetCurrentLayer(before, false, false, false);
}
} // namespace
