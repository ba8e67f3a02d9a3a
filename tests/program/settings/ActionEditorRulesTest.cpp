// What the action editors' pickers offer and how the timed-click editor checks
// its hold times.

#include <gtest/gtest.h>

#include "ActionEditorRules.h"
#include "OSVersion.h"

TEST(ActionEditorRules, HeldTimesMustRiseAmongTheTickedRows)
{
    struct Case
    {
        bool ticked[3];
        int times[3];
        std::optional<std::pair<int, int>> fault;
    };
    const Case cases[] = {
        {{true, false, true}, {800, 2000, 800}, std::make_pair(4, 2)},
        {{true, true, true}, {500, 400, 900}, std::make_pair(3, 2)},
        {{true, true, true}, {500, 1000, 1000}, std::make_pair(4, 3)},
        {{true, true, true}, {500, 1000, 1500}, std::nullopt},
        // An unticked row is not compared.
        {{true, false, true}, {500, 100, 900}, std::nullopt},
        {{false, true, false}, {9000, 100, 50}, std::nullopt},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.times[0] << "," << c.times[1] << "," << c.times[2]);
        EXPECT_EQ(HeldTimesOutOfOrder(c.ticked, c.times), c.fault);
    }
}

TEST(ActionEditorRules, PickersOfferWhatTheWindowsVersionAndTheEditorAllow)
{
    const EditorPickerLimits chord{};
    const EditorPickerLimits timed{true, false};
    const EditorPickerLimits movement{false, true};
    EXPECT_TRUE(IsOfferedByEditorPicker(40, chord, ActionOS_Win10, false));
    EXPECT_FALSE(IsOfferedByEditorPicker(40, timed, ActionOS_Win10, false));
    EXPECT_TRUE(IsOfferedByEditorPicker(77, timed, ActionOS_Win10, false));
    EXPECT_FALSE(IsOfferedByEditorPicker(77, movement, ActionOS_Win10, false));
    for (int never : {52, 58, 74, 82, 102, 116, 128, 133, 80, 121})
        EXPECT_FALSE(IsOfferedByEditorPicker(never, chord, ActionOS_Win10, false)) << never;

    // Flip 3D: Vista on, but not in portable mode.
    EXPECT_FALSE(IsActionAvailable(44, ActionOS_WinXP, false));
    EXPECT_TRUE(IsActionAvailable(44, ActionOS_Win7, false));
    EXPECT_FALSE(IsActionAvailable(44, ActionOS_Win7, true));
    EXPECT_TRUE(IsActionAvailable(48, ActionOS_Vista, false));
    EXPECT_FALSE(IsActionAvailable(48, ActionOS_Win7, false));
    EXPECT_FALSE(IsActionAvailable(139, ActionOS_Win81, false));
    EXPECT_TRUE(IsActionAvailable(139, ActionOS_Win11, true));
    EXPECT_FALSE(IsActionAvailable(140, ActionOS_Win10, false));
    EXPECT_FALSE(IsActionAvailable(-1, ActionOS_Win10, false));
}
