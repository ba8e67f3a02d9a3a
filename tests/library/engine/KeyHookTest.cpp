// The keyboard hook end to end: real key events (xdotool) through the
// library's installed hooks switch layers while a layer modifier key is held.
// A recording keyboard hook of the test, put in before the library's, sees
// every key after the library's hook: it shows that no key is taken away and
// gives a point after which the library's hook has handled an event.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ApplicationSettings.h"
#include "Control.h"
#include "EngineTestSupport.h"
#include "Globals.h"
#include "Hooks.h"
#include "Hotkeys.h"
#include "KeyHook.h"
#include "LayerTestSupport.h"
#include "Layers.h"
#include "LowLevelHook.h"
#include "PhysicalInput.h"
#include "Settings.h"
#include "ThreadLock.h"

using brmptest::KeyHookEvent;
using brmptest::LowLevelKeyboardHook;
using brmptest::PhysicalInput;
using enginetest::WaitFor;
using layertest::EngineStateGuard;
using layertest::LayerKeysTest;
using layertest::RecordingWindow;

namespace
{
class KeyHookTest : public LayerKeysTest
{
protected:
    void TearDown() override
    {
        for (const wchar_t* key : {L"F7", L"F8", L"F9", L"shift"})
            PhysicalInput::KeyUp(key);
        RemoveMouseHook(false);
        LayerKeysTest::TearDown();
    }

    static void SetKey(ModifierKeys index, unsigned short vk, unsigned short modifier)
    {
        CHotkey* key = g_pSettings->GetLayerModifierKeys()->GetHotkey(index);
        key->SetVirtualKey(vk);
        key->SetModifier(modifier);
    }

    // Sends a key event and waits until the test's hook, which runs after the
    // library's, has seen it.
    ::testing::AssertionResult Key(LowLevelKeyboardHook& observer, const wchar_t* keysym, DWORD vk, bool up)
    {
        observer.Clear();
        const auto sent = up ? PhysicalInput::KeyUp(keysym) : PhysicalInput::KeyDown(keysym);
        if (!sent)
            return sent;
        const auto seen = observer.WaitForEvent([&](const KeyHookEvent& e) {
            return e.vk == vk && ((e.flags & LLKHF_UP) != 0) == up;
        });
        if (!seen)
            return ::testing::AssertionFailure() << "the key 0x" << std::hex << vk << (up ? " release" : " press")
                                                 << " never came through the library's hook";
        return ::testing::AssertionSuccess();
    }
};
}

TEST_F(KeyHookTest, HoldingALayerModifierKeySwitchesTheLayerWhileHeldAndRestoresItOnRelease)
{
    LowLevelKeyboardHook observer;
    ASSERT_TRUE(observer.IsInstalled());
    ASSERT_TRUE(SetMouseHook());
    EngineStateGuard state(4);
    RecordingWindow main;
    SetHookMainWindow(main.Handle());
    SetKey(MK_Layer3, VK_F9, 0);

    ASSERT_TRUE(Key(observer, L"F9", VK_F9, false));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 2; })) << "layer 3 while F9 is held";
    EXPECT_EQ(g_nSavedLayer, 0);
    ASSERT_TRUE(WaitFor([&] { return !main.Received(BRMP_LayerChanged).empty(); }));
    EXPECT_EQ(main.Received(BRMP_LayerChanged).back().wParam, 2u);

    ASSERT_TRUE(Key(observer, L"F9", VK_F9, true));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; })) << "back to layer 1 on release";
    EXPECT_EQ(g_nSavedLayer, -1);
    ASSERT_TRUE(WaitFor([&] { return main.Received(BRMP_LayerChanged).size() >= 2; }));
    EXPECT_EQ(main.Received(BRMP_LayerChanged).back().wParam, 0u);
}

TEST_F(KeyHookTest, AKeyWithModifiersSwitchesOnlyWithExactlyThoseModifiers)
{
    LowLevelKeyboardHook observer;
    ASSERT_TRUE(SetMouseHook());
    EngineStateGuard state(4);
    SetKey(MK_Layer2, VK_F8, HOTKEY_MOD_SHIFT);

    // The bare key does nothing.
    ASSERT_TRUE(Key(observer, L"F8", VK_F8, false));
    ASSERT_TRUE(Key(observer, L"F8", VK_F8, true));
    EXPECT_EQ(GetCurrentLayer(), 0);
    EXPECT_EQ(g_nSavedLayer, -1);

    ASSERT_TRUE(Key(observer, L"shift", VK_LSHIFT, false));
    ASSERT_TRUE(Key(observer, L"F8", VK_F8, false));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 1; })) << "shift+F8 holds layer 2";
    // Letting go of the key while Shift stays down ends the combination.
    ASSERT_TRUE(Key(observer, L"F8", VK_F8, true));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; }));
    ASSERT_TRUE(Key(observer, L"shift", VK_LSHIFT, true));
    EXPECT_EQ(GetCurrentLayer(), 0);
}

TEST_F(KeyHookTest, AHeldKeyForALayerBeyondTheLayersInUseKeepsTheSwitchedLayerUntilItIsReleased)
{
    LowLevelKeyboardHook observer;
    ASSERT_TRUE(SetMouseHook());
    EngineStateGuard state(4);
    SetKey(MK_Layer3, VK_F9, 0);
    SetKey(MK_Layer5, VK_F7, 0);    // layer 5 of 4

    ASSERT_TRUE(Key(observer, L"F7", VK_F7, false));
    EXPECT_EQ(GetCurrentLayer(), 0) << "no switch to a layer that is not in use";
    ASSERT_TRUE(Key(observer, L"F9", VK_F9, false));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 2; }));
    ASSERT_TRUE(Key(observer, L"F9", VK_F9, true));
    EXPECT_EQ(GetCurrentLayer(), 2) << "F7 still matches, so nothing is restored yet";
    ASSERT_TRUE(Key(observer, L"F7", VK_F7, true));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; }));
}

TEST_F(KeyHookTest, WithLayerModifierKeysOffOrDisabledByTheProfileHeldKeysChangeNothing)
{
    LowLevelKeyboardHook observer;
    ASSERT_TRUE(SetMouseHook());
    EngineStateGuard state(4);
    SetKey(MK_Layer3, VK_F9, 0);

    struct Case
    {
        const char* what;
        bool enable;
        bool profileDisables;
    } cases[] = {{"LayerModifierKeys/Enable off", false, false}, {"profile disables layer keys", true, true}};
    for (const Case& c : cases)
    {
        g_pSettings->m_bLayerModifierKeys = c.enable;
        state.Profile()->SetDisableLayerModifier(c.profileDisables);
        ASSERT_TRUE(Key(observer, L"F9", VK_F9, false)) << c.what;
        EXPECT_EQ(GetCurrentLayer(), 0) << c.what;
        ASSERT_TRUE(Key(observer, L"F9", VK_F9, true)) << c.what;
        EXPECT_EQ(g_nSavedLayer, -1) << c.what;
    }
}

TEST_F(KeyHookTest, TheKeyTableFollowsRealKeysAndTheirCombinedModifierEntries)
{
    LowLevelKeyboardHook observer;
    ASSERT_TRUE(SetMouseHook());
    ASSERT_TRUE(Key(observer, L"shift", VK_LSHIFT, false));
    ASSERT_TRUE(Key(observer, L"F8", VK_F8, false));
    EXPECT_EQ(g_KeyState[VK_F8], 0x80);
    EXPECT_EQ(HeldModifiers(g_KeyState), HOTKEY_MOD_SHIFT);
    ASSERT_TRUE(Key(observer, L"F8", VK_F8, true));
    ASSERT_TRUE(Key(observer, L"shift", VK_LSHIFT, true));
    EXPECT_EQ(g_KeyState[VK_F8], 0);
    EXPECT_EQ(HeldModifiers(g_KeyState), 0);
}

TEST_F(KeyHookTest, ALayerKeyReleasedWhileAnotherThreadHoldsTheGlobalLockStillRestoresTheLayer)
{
    LowLevelKeyboardHook observer;
    ASSERT_TRUE(observer.IsInstalled());
    ASSERT_TRUE(SetMouseHook());
    EngineStateGuard state(4);
    SetKey(MK_Layer3, VK_F9, 0);
    ASSERT_TRUE(Key(observer, L"F9", VK_F9, false));
    ASSERT_TRUE(WaitFor([] { return GetCurrentLayer() == 2; }));

    {
        // The hook only tries the lock: the release passes at once and its
        // layer work waits for the lock on the timer-queue thread.
        CThreadLock busy(L"KeyHookTest busy");
        ASSERT_TRUE(Key(observer, L"F9", VK_F9, true));
        EXPECT_EQ(GetCurrentLayer(), 2);
    }
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; })) << "the release was lost while the lock was busy";
    // The saved layer is let go just after the layer comes back.
    EXPECT_TRUE(WaitFor([] { return g_nSavedLayer == -1; })) << g_nSavedLayer;
}
