// Copy and swap of whole layers in the settings model, as the layer pages'
// Copy and Swap buttons run them.

#include <gtest/gtest.h>

#include <windows.h>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Chords.h"
#include "Control.h"
#include "Movement2Scroll.h"
#include "LayerTransfer.h"
#include "Settings.h"

namespace
{
// Layer of a profile with something distinct in every part that moves.
void Mark(CApplicationSettings& profile, int layer, const wchar_t* name, int action, bool flags)
{
    profile.SetLayerName(name, layer);
    profile.SetActions(Middle, layer, action);
    profile.SetKeystrokes(Middle, layer, name, 1, 0, false, true, false, false);
    profile.SetLaunchApp(Left, layer, name);
    CBRMPChords chords;
    profile.CopyChords(Right, layer, &chords);
    profile.SetActionDescription(Middle, layer, name);
    CMovement2Scroll scrolling;
    scrolling.SetSensitivityY(flags ? 9 : 3);
    profile.SetMovement2Scroll(Middle, layer, &scrolling);
    profile.SetRevertLayer1(layer, flags);
    profile.SetLayerDisabled(layer, flags);
    profile.SetLayerDisabledNextPrev(layer, flags);
    profile.SetAutoSwitchTime(layer, flags ? 2.5 : 0.0);
    profile.SetAutoSwitchLayer(layer, flags ? 4 : 0);
}
}

TEST(LayerTransfer, ACopiedLayerTakesActionsWithTheirDescriptionsListsAndOptionsAndTheFlags)
{
    CSettings settings(false, GetStartupMouseInfo());
    CApplicationSettings& profile = *settings.GetDefaultApp();
    Mark(profile, 1, L"one", ACTION_SIMULATED_KEYS, true);
    profile.SetActionDescription(Middle, 2, L"replaced");

    CopyLayerInto(profile, 1, profile, 2, true, true);
    EXPECT_STREQ(profile.GetLayerName(2), L"one");
    EXPECT_EQ(profile.GetActions(Middle, 2), ACTION_SIMULATED_KEYS);
    EXPECT_STREQ(profile.GetKeystrokes(Middle, 2), L"one");
    EXPECT_EQ(profile.SendKeyAction(Middle, 2), 1);
    EXPECT_STREQ(profile.GetLaunchApp(Left, 2), L"one");
    ASSERT_NE(profile.GetChords(Right, 2), nullptr);
    EXPECT_NE(profile.GetChords(Right, 2), profile.GetChords(Right, 1)) << "a copy, not the same list";
    EXPECT_STREQ(profile.GetActionDescription(Middle, 2), L"one") << "the description names the action it came with";
    ASSERT_NE(profile.GetMovement2Scroll(Middle, 2), nullptr);
    EXPECT_EQ(profile.GetMovement2Scroll(Middle, 2)->getSensitivityY(), 9);
    EXPECT_TRUE(profile.GetRevertLayer1(2));
    EXPECT_TRUE(profile.GetLayerDisabled(2));
    EXPECT_EQ(profile.GetAutoSwitchLayer(2), 4);
}

TEST(LayerTransfer, SwappingExchangesTheLayersWhileLayerOneKeepsItsOwnFlags)
{
    CSettings settings(false, GetStartupMouseInfo());
    CApplicationSettings& profile = *settings.GetDefaultApp();
    Mark(profile, 0, L"one", ACTION_SIMULATED_KEYS, true);
    Mark(profile, 2, L"three", ACTION_NO_CHANGE, false);

    SwapLayers(profile, 0, 2);
    EXPECT_STREQ(profile.GetLayerName(0), L"three");
    EXPECT_STREQ(profile.GetLayerName(2), L"one");
    EXPECT_EQ(profile.GetActions(Middle, 0), ACTION_NO_CHANGE);
    EXPECT_EQ(profile.GetActions(Middle, 2), ACTION_SIMULATED_KEYS);
    EXPECT_STREQ(profile.GetLaunchApp(Left, 2), L"one");
    EXPECT_STREQ(profile.GetKeystrokes(Middle, 0), L"three");
    // Descriptions and options go with their actions.
    EXPECT_STREQ(profile.GetActionDescription(Middle, 0), L"three");
    EXPECT_STREQ(profile.GetActionDescription(Middle, 2), L"one");
    EXPECT_EQ(profile.GetMovement2Scroll(Middle, 2)->getSensitivityY(), 9);
    // Layer 3 takes layer 1's flags; layer 1 keeps its own; targets stay in place.
    EXPECT_TRUE(profile.GetRevertLayer1(2));
    EXPECT_TRUE(profile.GetLayerDisabledNextPrev(2, false));
    EXPECT_DOUBLE_EQ(profile.GetAutoSwitchTime(2), 2.5);
    EXPECT_TRUE(profile.GetRevertLayer1(0));
    EXPECT_TRUE(profile.GetLayerDisabledNextPrev(0, false));
    EXPECT_EQ(profile.GetAutoSwitchLayer(0), 4);
    EXPECT_EQ(profile.GetAutoSwitchLayer(2), 0);
}
