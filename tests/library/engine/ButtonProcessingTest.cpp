// Resolution of a button's action and the bookkeeping rules around it.

#include <gtest/gtest.h>

#include <memory>

#include "ActionDispatch.h"
#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "Globals.h"

namespace
{
struct SlotSetting
{
    bool inDefault;
    int button;
    int layer;
    int code;
};

struct ResolutionCase
{
    const char* name;
    int button;
    int layer;
    int configured;
    int code;
    int layerUsed;
    bool fromDefault;
};

class ResolutionRules : public ::testing::Test
{
protected:
    void SetUp() override
    {
        profile = std::make_unique<CApplicationSettings>(g_pSettings, false, 1);
        defaults = std::make_unique<CApplicationSettings>(g_pSettings, true, 0);
        const SlotSetting slots[] = {
            {false, 0, 1, ACTION_DISABLE},
            {false, 0, 2, ACTION_SAME_AS_LAYER_1},
            {false, 0, 0, ACTION_SIMULATED_KEYS},
            {false, 1, 3, ACTION_DISABLE},           // layer 3 is disabled below
            {false, 1, 0, ACTION_MIDDLE_CLICK},
            {false, 1, 4, ACTION_SAME_AS_DEFAULT},   // disabled layers win over the slot
            {false, 2, 1, ACTION_SAME_AS_DEFAULT},
            {true, 2, 1, ACTION_MINIMIZE_WINDOW},
            {false, 3, 1, ACTION_SAME_AS_DEFAULT},
            {true, 3, 1, ACTION_SAME_AS_LAYER_1},
            {true, 3, 0, ACTION_MAXIMIZE_WINDOW},
            {false, 4, 1, ACTION_SAME_AS_LAYER_1},
            {false, 4, 0, ACTION_SAME_AS_DEFAULT},
            {true, 4, 0, ACTION_CLOSE},
            {false, 5, 0, ACTION_SAME_AS_LAYER_1},   // layer 1 pointing at itself
            {false, 6, 0, ACTION_DISABLE},
        };
        for (const SlotSetting& s : slots)
            (s.inDefault ? defaults : profile)->SetActions(s.button, s.layer, s.code);
        profile->SetLayerDisabled(3, true);
        profile->SetLayerDisabled(4, true);
        profile->SetLayerDisabled(0, true);   // must be ignored: the first layer is never disabled
    }

    std::unique_ptr<CApplicationSettings> profile;
    std::unique_ptr<CApplicationSettings> defaults;
};

TEST_F(ResolutionRules, SlotsResolveThroughLayerOneDisabledLayersAndTheDefaultProfile)
{
    const ResolutionCase cases[] = {
        {"plain slot", 0, 1, ACTION_DISABLE, ACTION_DISABLE, 1, false},
        {"same as layer 1", 0, 2, ACTION_SAME_AS_LAYER_1, ACTION_SIMULATED_KEYS, 0, false},
        {"disabled layer reads layer 1", 1, 3, ACTION_SAME_AS_LAYER_1, ACTION_MIDDLE_CLICK, 0, false},
        {"disabled layer ignores its own same-as-default", 1, 4, ACTION_SAME_AS_LAYER_1, ACTION_MIDDLE_CLICK, 0, false},
        {"first layer flagged disabled is still used", 6, 0, ACTION_DISABLE, ACTION_DISABLE, 0, false},
        {"same as default", 2, 1, ACTION_SAME_AS_DEFAULT, ACTION_MINIMIZE_WINDOW, 1, true},
        {"same as default, then its layer 1", 3, 1, ACTION_SAME_AS_DEFAULT, ACTION_MAXIMIZE_WINDOW, 0, true},
        {"layer 1, then same as default", 4, 1, ACTION_SAME_AS_LAYER_1, ACTION_CLOSE, 0, true},
        {"layer 1 pointing at itself stops", 5, 0, ACTION_SAME_AS_LAYER_1, ACTION_SAME_AS_LAYER_1, 0, false},
        {"negative layer", 0, -1, ACTION_NO_CHANGE, ACTION_NO_CHANGE, -1, false},
        {"layer past the last", 0, 10, ACTION_NO_CHANGE, ACTION_NO_CHANGE, 10, false},
        {"negative button", -1, 0, ACTION_NO_CHANGE, ACTION_NO_CHANGE, 0, false},
        {"button past the last", 9, 0, ACTION_NO_CHANGE, ACTION_NO_CHANGE, 0, false},
        {"slot index wraps into the next layer", 9, 1, ACTION_NO_CHANGE, ACTION_NO_CHANGE, 1, false},
    };
    for (const ResolutionCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        const ResolvedSlot slot = ResolveSlot(profile.get(), defaults.get(), c.button, c.layer);
        EXPECT_EQ(slot.configuredCode, c.configured);
        EXPECT_EQ(slot.code, c.code);
        EXPECT_EQ(slot.layer, c.layerUsed);
        EXPECT_EQ(slot.profile, c.fromDefault ? defaults.get() : profile.get());
    }
}

TEST_F(ResolutionRules, WithoutAProfileEverySlotIsNoChange)
{
    EXPECT_EQ(SlotCode(nullptr, 0, 0), ACTION_NO_CHANGE);
    const ResolvedSlot slot = ResolveSlot(nullptr, defaults.get(), 0, 0);
    EXPECT_EQ(slot.code, ACTION_NO_CHANGE);
}

TEST_F(ResolutionRules, SameAsDefaultInTheDefaultProfileItselfDoesNotLoop)
{
    defaults->SetActions(7, 2, ACTION_SAME_AS_DEFAULT);
    const ResolvedSlot slot = ResolveSlot(defaults.get(), defaults.get(), 7, 2);
    EXPECT_EQ(slot.code, ACTION_SAME_AS_DEFAULT);   // dispatched as "nothing"
}

TEST(ProfileSwitchDeferral, OnlyAReleaseWhoseActionChangesKeepsTheOldProfile)
{
    struct Case { int kind; int oldCode; int newCode; bool deferred; };
    const Case cases[] = {
        {2, ACTION_DISABLE, ACTION_SIMULATED_KEYS, true},
        {2, ACTION_DISABLE, ACTION_DISABLE, false},
        {1, ACTION_DISABLE, ACTION_SIMULATED_KEYS, false},
        {3, ACTION_DISABLE, ACTION_SIMULATED_KEYS, false},
        {2, ACTION_DISABLE, ACTION_STICKY_LEFT, false},
        {2, ACTION_DISABLE, ACTION_STICKY_RIGHT, false},
        {2, ACTION_DISABLE, ACTION_STICKY_MIDDLE, false},
        {2, ACTION_DISABLE, ACTION_STICKY_LEFT_X, false},
        {2, ACTION_DISABLE, ACTION_STICKY_LEFT_Y, false},
        {2, ACTION_STICKY_LEFT, ACTION_DISABLE, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " " << c.oldCode << " -> " << c.newCode);
        EXPECT_EQ(DefersProfileSwitch(c.kind, c.oldCode, c.newCode), c.deferred);
    }
}

TEST(ButtonSync, AHandledReleaseWithoutItsPressPassesOnlyWhileTheSystemHoldsTheButton)
{
    struct Case { int kind; bool downSeen; bool systemDown; bool pass; };
    const Case cases[] = {
        {2, false, true, true},
        {2, true, true, false},
        {2, false, false, false},
        {1, false, true, false},
        {3, false, true, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.kind << c.downSeen << c.systemDown);
        EXPECT_EQ(PassReleaseForSync(c.kind, c.downSeen, c.systemDown), c.pass);
    }
}

TEST(ButtonSync, SwappedButtonsExchangeOnlyLeftAndRight)
{
    struct Case { int button; int plain; int swapped; };
    const Case cases[] = {
        {0, VK_LBUTTON, VK_RBUTTON}, {1, VK_RBUTTON, VK_LBUTTON}, {2, VK_MBUTTON, VK_MBUTTON},
        {3, VK_XBUTTON1, VK_XBUTTON1}, {4, VK_XBUTTON2, VK_XBUTTON2}, {5, 0, 0}, {8, 0, 0}, {-1, 0, 0}, {9, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.button);
        EXPECT_EQ(ButtonVirtualKey(c.button, false), c.plain);
        EXPECT_EQ(ButtonVirtualKey(c.button, true), c.swapped);
    }
}

TEST(KeyModes, EachModeSendsOnItsOwnEventsAndModesOutsideTheRangeDoNothing)
{
    using W = KeyModeWork;
    struct Case { int mode; int kind; bool held; W work; };
    const Case cases[] = {
        {0, 1, false, W::SendOnce}, {0, 2, false, W::None}, {3, 1, false, W::SendOnce}, {3, 2, false, W::None},
        {1, 1, false, W::None}, {1, 2, false, W::SendOnceRelease}, {4, 2, false, W::SendOnceRelease},
        {8, 1, false, W::SendOnce}, {8, 2, false, W::SendOnceRelease}, {8, 3, false, W::None},
        {2, 1, false, W::HoldPress}, {2, 1, true, W::None}, {2, 2, true, W::HoldRelease}, {2, 2, false, W::None},
        {5, 1, false, W::RepeatStart}, {5, 2, false, W::RepeatStop}, {5, 3, false, W::RepeatStop},
        {6, 1, false, W::StickyRepeat}, {6, 2, false, W::None}, {7, 1, false, W::StickyHold},
        {7, 2, true, W::StickyHold}, {7, 3, false, W::None},
        {9, 1, false, W::None}, {9, 2, false, W::None}, {-1, 1, false, W::None}, {-1, 2, false, W::None},
        {0x7FFFFFFF, 1, false, W::None},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " kind " << c.kind << " held " << c.held);
        EXPECT_EQ(KeyModeWorkFor(c.mode, c.kind, c.held), c.work);
    }
}
} // namespace

namespace
{
TEST(RepeatDelay, ARandomisedDelayStaysWithinItsSpanAndNeverFallsBelowOneMillisecond)
{
    struct Case { int delay; unsigned random; int expected; };
    const Case cases[] = {
        {0, 0, 1},          // -3 would be a busy repeat
        {0, 5, 2},
        {2, 0, 1},
        {50, 0, 47},
        {50, 5, 52},
        {50, 6, 47},        // wraps within the span
        {99, 0, 96},
        {100, 0, 90},
        {100, 19, 109},
        {250, 0, 230},
        {250, 39, 269},
        {-40, 0, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.delay << " / " << c.random);
        EXPECT_EQ(RandomisedRepeatDelay(c.delay, c.random), c.expected);
    }
}
} // namespace
