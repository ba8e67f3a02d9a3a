// The library's token services: once the hooks run, layer tokens that go
// through the real simulated-input queue change the engine's layer, and the
// tag language steps over the layers the profile in force skips.

#include <gtest/gtest.h>

#include <windows.h>

#include "ApplicationSettings.h"
#include "EngineTestSupport.h"
#include "EngineTokenServices.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Hooks.h"
#include "LayerTestSupport.h"
#include "Layers.h"
#include "SendInput.h"
#include "TagParser.h"
#include "TokenServices.h"
#include "Tokens.h"

using enginetest::WaitFor;
using layertest::EngineStateGuard;

namespace
{
class TokenServicesEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(SetMouseHook()); }
    void TearDown() override
    {
        RemoveMouseHook(false);
        SetTokenServices(nullptr);
    }

    // Parses text as a button's action would and sends each token once.
    static void SendTags(const wchar_t* text, const CApplicationSettings* profile)
    {
        SimTokenList tokens;
        ASSERT_TRUE(CSimToken::Parse(tokens, text, nullptr, POINT{0, 0}, nullptr, GetCurrentLayer(), -1, MaxLayers(), 1,
                                     false, profile, true));
        ASSERT_FALSE(tokens.empty());
        SimTokenSendContext context;
        context.sendInput = g_threads.pSendInput;
        context.keyExtraInfo = OwnInputSignature();
        context.mouseExtraInfo = OwnInputSignature();
        for (auto& token : tokens)
            token->SendSingleShot(context, SIMSEQ_WHOLE, false, false);
        // Producers queue; whoever sent the tokens wakes the worker.
        g_threads.pSendInput->SignalQueue();
    }
};
}

TEST_F(TokenServicesEngineTest, TheHooksInstallTheLibrarysServices)
{
    EXPECT_EQ(&GetTokenServices(), static_cast<ITokenServices*>(&EngineTokenServices()));
}

TEST_F(TokenServicesEngineTest, LayerTokensThroughTheRealQueueChangeTheLayer)
{
    EngineStateGuard state(4);
    ASSERT_NE(g_threads.pSendInput, nullptr);
    struct Case
    {
        const wchar_t* text;
        int layer;
    } cases[] = {{L"{LAYER:2}", 1}, {L"{LAYER:4}", 3}, {L"{LAYER:1}", 0}};
    for (const Case& c : cases)
    {
        SendTags(c.text, nullptr);
        EXPECT_TRUE(WaitFor([&] { return GetCurrentLayer() == c.layer; })) << c.text;
    }
}

TEST_F(TokenServicesEngineTest, NextAndPreviousLayerTagsStepOverTheLayersTheProfileSkips)
{
    EngineStateGuard state(5);
    state.Profile()->SetLayerDisabled(1, true);
    state.Profile()->SetLayerDisabledNextPrev(2, true);
    struct Case
    {
        const wchar_t* text;
        int layer;
    } cases[] = {{L"{LAYER:NEXT}", 3}, {L"{LAYER:NEXT}", 4}, {L"{LAYER:NEXT}", 0}, {L"{LAYER:PREV}", 4}};
    for (const Case& c : cases)
    {
        SendTags(c.text, state.Profile());
        EXPECT_TRUE(WaitFor([&] { return GetCurrentLayer() == c.layer; })) << c.text << " to layer " << c.layer + 1;
    }
}

TEST_F(TokenServicesEngineTest, AHeldLayerKeyOfTheQueueSetsTheLayerAndSaysItCameFromAnAction)
{
    EngineStateGuard state(4);
    ASSERT_NE(g_threads.pSendInput, nullptr);
    ASSERT_TRUE(g_threads.pSendInput->SimKeySetLayer(2, true));
    g_threads.pSendInput->SignalQueue();
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 2 && EngineTokenServices().GetLayerSetByAction(); }));
    ASSERT_TRUE(g_threads.pSendInput->SimKeySetLayer(0, false));
    g_threads.pSendInput->SignalQueue();
    EXPECT_TRUE(WaitFor([] { return GetCurrentLayer() == 0 && !EngineTokenServices().GetLayerSetByAction(); }));
}

TEST(EngineTokenServicesSkip, OnlyDisabledOrExcludedLayersOfAProfileAreSkipped)
{
    CApplicationSettings profile(g_pSettings, false, 7);
    profile.SetLayerDisabled(1, true);
    profile.SetLayerDisabledNextPrev(2, true);
    CEngineTokenServices services;
    const struct
    {
        const CApplicationSettings* profile;
        int layer;
        bool skipped;
    } cases[] = {{&profile, 0, false}, {&profile, 1, true}, {&profile, 2, true}, {&profile, 3, false},
                 {&profile, -1, false}, {&profile, 10, false}, {nullptr, 1, false}};
    for (const auto& c : cases)
        EXPECT_EQ(services.IsLayerSkipped(c.profile, c.layer), c.skipped) << "layer " << c.layer;
}
