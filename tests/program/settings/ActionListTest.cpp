#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include "ActionList.h"
#include "Actions.h"
#include "OSVersion.h"

namespace
{
struct PinnedVersion
{
    explicit PinnedVersion(_ActionOSVersion version) { PinOSVersion(version); }
    ~PinnedVersion() { UnpinOSVersion(); }
};

std::vector<int> Codes(const CActionList& list)
{
    std::vector<int> codes;
    for (const ActionListEntry& entry : list)
        codes.push_back(entry.action);
    return codes;
}
}

TEST(ActionList, TheFunctionalOrderHoldsEveryActionOnceGroupByGroup)
{
    PinnedVersion pin(ActionOS_Win7);
    CActionList list = BuildActionList(nullptr);
    SortActionList(list, false);
    const std::vector<int> expected = {
        40, 74, 82, 6, 28, 128, 133, 0, 1, 5, 119, 120, 65, 66, 42, 43, 10, 136, 137, 138,
        49, 78, 79, 50, 51, 75, 76, 64, 67, 68, 69, 70, 77, 80, 121, 122, 123, 124, 125, 126,
        129, 130, 131, 132, 73, 72, 92, 93, 9, 8, 16, 127, 11, 33, 34, 46, 47, 139,
        45, 44, 2, 71, 48, 18, 81, 98, 99, 100, 101, 29, 83, 91, 117, 118, 84, 85, 86, 87, 88,
        21, 22, 20, 26, 25, 24, 23, 3, 4, 36, 37, 39, 38, 19, 17, 14, 15, 7, 12, 13, 32, 134, 135,
        41, 30, 35, 27, 59, 60, 61, 62, 63, 31, 90, 94, 89, 95, 96, 97,
        52, 53, 54, 55, 56, 57, 58, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116};
    EXPECT_EQ(expected, Codes(list));
    EXPECT_EQ(ActionCount, static_cast<int>(std::set<int>(expected.begin(), expected.end()).size()));
    EXPECT_EQ(L"Layer 1", list[std::find(expected.begin(), expected.end(), 54) - expected.begin()].name);
}

TEST(ActionList, AlphabeticalOrderPinsNoChangeAndSameAsDefaultOnly)
{
    CActionList list = BuildActionList(nullptr);
    SortActionList(list, true);
    ASSERT_EQ(static_cast<size_t>(ActionCount), list.size());
    EXPECT_EQ(40, list[0].action);
    EXPECT_EQ(74, list[1].action);
    // Not pinned: its text (starting with "**") sorts before every letter.
    EXPECT_EQ(82, list[2].action);
    const auto position = [&](int code) {
        return std::find_if(list.begin(), list.end(), [&](const ActionListEntry& e) { return e.action == code; }) -
               list.begin();
    };
    EXPECT_LT(position(58), position(102)) << "Layer 5 before Layer 6";
    EXPECT_LT(position(105), position(106)) << "Layer 9 before Layer 10";
}

TEST(ActionList, NamesFollowTheWindowsVersionAndUnknownCodesAreNamedByNumber)
{
    {
        PinnedVersion pin(ActionOS_Win81);
        EXPECT_EQ(L"Task Switcher", GetActionName(nullptr, 44));
        EXPECT_EQ(L"Search Charm (WIN+Q)", GetActionName(nullptr, 86));
    }
    {
        PinnedVersion pin(ActionOS_Win10);
        EXPECT_EQ(L"Task View", GetActionName(nullptr, 44));
        EXPECT_EQ(L"Cortana Search", GetActionName(nullptr, 86));
    }
    {
        PinnedVersion pin(ActionOS_Win7);
        EXPECT_EQ(L"Flip 3D", GetActionName(nullptr, 44));
    }
    EXPECT_EQ(L"Unknown: 140", GetActionName(nullptr, 140));
    EXPECT_EQ(L"Unknown: -1", GetActionName(nullptr, -1));
}

TEST(ActionList, AvailabilityFollowsTheWindowsVersion)
{
    EXPECT_TRUE(IsActionAvailable(ACTION_LEFT_CLICK, ActionOS_Win11));
    EXPECT_FALSE(IsActionAvailable(ACTION_RESERVED_FIRST, ActionOS_Win10));
    EXPECT_FALSE(IsActionAvailable(ACTION_MTS_STICKY_OLD, ActionOS_Win10));
    EXPECT_FALSE(IsActionAvailable(ACTION_VIRTUAL_DESKTOP_NEW, ActionOS_Win81));
    EXPECT_TRUE(IsActionAvailable(ACTION_VIRTUAL_DESKTOP_NEW, ActionOS_Win10));
    EXPECT_FALSE(IsActionAvailable(ACTION_CHARMS_BAR, ActionOS_Win10));
    EXPECT_EQ(254, ActionHighestVersion(ACTION_ALT_TAB));
}
