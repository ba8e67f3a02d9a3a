// Layers on the real road: a settings file bound to a probe window is loaded
// through the exported interface, the hooks run in this process, and xdotool
// presses the physical buttons and keys. What the right button does follows the
// layer in force; layer changes end a running repeat and never wedge it.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "Control.h"
#include "EngineInput.h"
#include "Folders.h"
#include "Globals.h"
#include "Hooks.h"
#include "IsolatedSettings.h"
#include "Hotkeys.h"
#include "KeyHook.h"
#include "Layers.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProbeSuite.h"
#include "RepeatTimers.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WindowOperation.h"
#include "WaitFor.h"

using namespace brmptest;

namespace
{
constexpr int kRight = 1, kMiddle = 2;
constexpr int kSimulatedKeys = 28, kNoChange = 40, kWheelUp = 42, kLayerNext = 52;

const wchar_t kTitle[] = L"Brmp Layer Window";

struct Slot
{
    int button;
    int layer;
    int code;
    const wchar_t* keys = nullptr;
    int keyMode = 0;
};

struct FileOptions
{
    std::vector<Slot> slots;
    UINT layerKey = 0;   // virtual key that holds layer 2, 0 for none
    int layers = 0;      // layers in use, 0 for the default
};

class LayerSwitchingEndToEnd : public ProbeSuite<LayerSwitchingEndToEnd>
{
protected:
    LayerSwitchingEndToEnd() : ProbeSuite(L"Layers", true) {}

    static void SetUpTestSuite()
    {
        ProbeOptions options;
        options.title = kTitle;
        options.rect = RECT{40, 60, 600, 520};
        StartProbes({options});
    }
    void TearDown() override
    {
        RemoveMouseHook(false);
        SetCurrentLayer(0, false, false, false);
        ProbeSuite::TearDown();
    }

    // Writes the settings file with one profile bound to the probe window and
    // has the library load it.
    static ::testing::AssertionResult WriteAndLoad(const FileOptions& file)
    {
        {
            CSettings settings(false, CMouseInfo());
            settings.m_bSwitchOnMouseOver = true;
            if (file.layers != 0)
                settings.SetMaxLayers(file.layers);
            if (file.layerKey != 0)
            {
                settings.m_bLayerModifierKeys = true;
                settings.GetLayerModifierKeys()->GetHotkey(MK_Layer2)->SetVirtualKey(static_cast<unsigned short>(file.layerKey));
            }
            CApplicationSettings* profile = AddProbeProfile(settings, kTitle);
            for (const Slot& slot : file.slots)
            {
                profile->SetActions(slot.button, slot.layer, slot.code);
                if (slot.keys != nullptr)
                    profile->SetKeystrokes(slot.button, slot.layer, slot.keys, slot.keyMode, 0, false, true, false, false);
            }
            if (auto written = IsolatedSettings::WriteSettings(settings); !written)
                return written;
        }
        if (!UpdateSettings())
            return ::testing::AssertionFailure() << "UpdateSettings failed";
        return ::testing::AssertionSuccess();
    }

    static ::testing::AssertionResult LoadAndHook(const FileOptions& file)
    {
        const ::testing::AssertionResult loaded = WriteAndLoad(file);
        if (!loaded)
            return loaded;
        if (!SetMouseHook())
            return ::testing::AssertionFailure() << "SetMouseHook failed";
        return ::testing::AssertionSuccess();
    }

    static ::testing::AssertionResult MoveInside()
    {
        RECT window{};
        ::GetWindowRect(ProbeAt().Window(), &window);
        return PhysicalInput::MoveToAndWait((window.left + window.right) / 2, (window.top + window.bottom) / 2);
    }

    // Once the probe has this unmapped key, every input before it was delivered.
    static ::testing::AssertionResult Fence()
    {
        if (!PhysicalInput::KeyTap(L"F9"))
            return ::testing::AssertionFailure() << "xdotool key failed";
        if (!ProbeAt().WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_F9)))
            return ::testing::AssertionFailure() << "the fence key never arrived\n" << ProbeAt().Describe();
        return ::testing::AssertionSuccess();
    }

    static std::wstring Typed()
    {
        std::wstring text;
        for (const ProbeRecord& record : ProbeAt().Records(Named(L"WM_CHAR")))
            text += static_cast<wchar_t>(record.Value(L"char"));
        return text;
    }

    // Right click; the character it types (0 when it typed nothing).
    static wchar_t RightClickTypes()
    {
        ProbeAt().Clear();
        if (!PhysicalInput::Click(PhysicalInput::kRight) || !Fence())
            return L'?';
        const std::wstring typed = Typed();
        return typed.empty() ? 0 : typed.back();
    }
};

const std::vector<Slot> kRightPerLayer = {{kRight, 0, kSimulatedKeys, L"a"}, {kRight, 1, kSimulatedKeys, L"b"}};
} // namespace

TEST_F(LayerSwitchingEndToEnd, AMiddleClickOnNextLayerSwitchesAndTheRightButtonThenDoesWhatThatLayerSays)
{
    FileOptions file{kRightPerLayer};
    file.slots.push_back({kMiddle, 0, kLayerNext});
    file.slots.push_back({kMiddle, 1, kLayerNext});
    ASSERT_TRUE(LoadAndHook(file));
    ASSERT_TRUE(MoveInside());

    EXPECT_EQ(RightClickTypes(), L'a') << ProbeAt().Describe();
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([] { return GetCurrentLayer() == 1; }));
    EXPECT_EQ(RightClickTypes(), L'b') << ProbeAt().Describe();
    EXPECT_TRUE(ProbeAt().Records(Named(L"WM_RBUTTONDOWN")).empty()) << ProbeAt().Describe();
}

TEST_F(LayerSwitchingEndToEnd, HoldingALayerKeySwitchesWhileHeldAndRestoresOnRelease)
{
    FileOptions file{kRightPerLayer};
    file.layerKey = VK_F8;
    ASSERT_TRUE(LoadAndHook(file));
    ASSERT_TRUE(MoveInside());

    ASSERT_TRUE(PhysicalInput::KeyDown(L"F8"));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 1; }));
    EXPECT_EQ(RightClickTypes(), L'b') << ProbeAt().Describe();
    ASSERT_TRUE(PhysicalInput::KeyUp(L"F8"));
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0; }));
    EXPECT_EQ(RightClickTypes(), L'a') << ProbeAt().Describe();
}

TEST_F(LayerSwitchingEndToEnd, AChangedFileTakesEffectThroughUpdateSettingsWithoutNewHooks)
{
    ASSERT_TRUE(LoadAndHook({{{kRight, 0, kSimulatedKeys, L"a"}}}));
    ASSERT_TRUE(MoveInside());
    EXPECT_EQ(RightClickTypes(), L'a') << ProbeAt().Describe();
    const HHOOK hook = g_threads.hMouseHook;

    ASSERT_TRUE(WriteAndLoad({{{kRight, 0, kSimulatedKeys, L"c"}}}));
    EXPECT_EQ(g_threads.hMouseHook, hook) << "the hooks were re-installed";
    EXPECT_EQ(RightClickTypes(), L'c') << ProbeAt().Describe();
}

TEST_F(LayerSwitchingEndToEnd, RapidLayerChangesWhileARepeatRunsEndWithoutADeadlock)
{
    // The middle button repeats the wheel on both layers, so the repeat runs on
    // whichever layer is in force.
    ASSERT_TRUE(LoadAndHook({{{kMiddle, 0, kWheelUp}, {kMiddle, 1, kWheelUp}, {kRight, 0, kNoChange}}}));
    ASSERT_TRUE(MoveInside());
    ProbeAt().Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    ASSERT_TRUE(WaitFor([] { return g_nRepeatButton.load() == kMiddle; })) << ProbeAt().Describe();

    for (int i = 0; i < 200; ++i)
        SetCurrentLayer(i % 2 == 0 ? 1 : 0, false, false, false);
    EXPECT_EQ(GetCurrentLayer(), 0);

    // A layer change ends the repeat of the layer it leaves; the release then
    // finds everything at rest.
    EXPECT_TRUE(WaitFor([] { return !QTTimerActive(ID_TIMER_REPEAT_SLOT); }));
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    EXPECT_TRUE(WaitFor([] { return g_nRepeatButton.load() == -1; }));
    ASSERT_TRUE(Fence());
    EXPECT_FALSE(QTTimerActive(ID_TIMER_REPEAT_SLOT));
}

TEST_F(LayerSwitchingEndToEnd, ALayerChangeReleasesTheKeysHeldForAButtonAndEndsAWindowDrag)
{
    constexpr int kDuring = 2;
    ASSERT_TRUE(LoadAndHook({{{kRight, 0, kSimulatedKeys, L"a", kDuring}, {kRight, 1, kSimulatedKeys, L"a", kDuring}}}));
    ASSERT_TRUE(MoveInside());
    ProbeAt().Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kRight));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_KEYDOWN", L"vk", 'A'))) << ProbeAt().Describe();
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ASSERT_TRUE(StartWindowOperation(1, ProbeAt().Window(), cursor));

    SetCurrentLayer(1, false, false, false);
    EXPECT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_KEYUP", L"vk", 'A'))) << "the held key was never released\n"
                                                                        << ProbeAt().Describe();
    EXPECT_FALSE(g_engine.pCurrentApp != nullptr && g_engine.pCurrentApp->GetResetKeys(kRight, 0)) << "the slot still counts as held";
    EXPECT_EQ(g_threads.pWindowOperation, nullptr) << "the drag outlived the layer";
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kRight));
    ASSERT_TRUE(Fence());
}

TEST_F(LayerSwitchingEndToEnd, AKeyHeldForAButtonThatItsLayersTakeFromLayerOneStaysDownAcrossALayerChange)
{
    // Layers 2 and 3 do on the right button what layer 1 does: hold "a".
    constexpr int kDuring = 2, kSameAsLayer1 = 82;
    FileOptions file{{{kRight, 0, kSimulatedKeys, L"a", kDuring}, {kRight, 1, kSameAsLayer1}, {kRight, 2, kSameAsLayer1}}};
    file.layers = 3;
    ASSERT_TRUE(LoadAndHook(file));
    SetCurrentLayer(1, false, false, false);
    ASSERT_EQ(GetCurrentLayer(), 1);
    ASSERT_TRUE(MoveInside());
    ProbeAt().Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kRight));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_KEYDOWN", L"vk", 'A'))) << ProbeAt().Describe();

    // The change flushes the queue; a key queued after it is sent after
    // anything the flush sent.
    SetCurrentLayer(2, false, false, false);
    ASSERT_EQ(GetCurrentLayer(), 2);
    ASSERT_TRUE(SendKey(VK_F9, false, 0, 0));
    ASSERT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_F9))) << ProbeAt().Describe();
    EXPECT_TRUE(ProbeAt().Records(Named(L"WM_KEYUP", L"vk", 'A')).empty()) << "the layer change let go of the key\n"
                                                                       << ProbeAt().Describe();
    EXPECT_TRUE((::GetAsyncKeyState('A') & 0x8000) != 0);

    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kRight));
    EXPECT_TRUE(ProbeAt().WaitForRecord(Named(L"WM_KEYUP", L"vk", 'A'))) << "the button's release never let go of it\n"
                                                                        << ProbeAt().Describe();
    ASSERT_TRUE(Fence());
    EXPECT_TRUE(ProbeAt().Records(Named(L"WM_RBUTTONDOWN")).empty()) << ProbeAt().Describe();
}
