#include "ActionList.h"

#include <algorithm>
#include <iterator>

#include "Actions.h"
#include "LangSupport.h"
#include "NaturalOrder.h"
#include "StringFormat.h"

namespace
{
struct OrderRow
{
    int action;
    int group;
    int position;
};

// Group by group; within a group the positions give the order. Ties (equal
// group and position) keep code order through the stable sort.
constexpr OrderRow kActionOrder[] = {
    {40, 0, 0}, {74, 0, 1}, {82, 0, 2}, {6, 0, 3}, {28, 0, 4}, {128, 0, 5}, {133, 0, 6},
    {0, 1, 0}, {1, 1, 1}, {5, 1, 2}, {119, 1, 4}, {120, 1, 5}, {65, 1, 6}, {66, 1, 7}, {42, 1, 8}, {43, 1, 9},
    {10, 1, 10},
    {136, 2, 0}, {137, 2, 1}, {138, 2, 2},
    {49, 3, 0}, {78, 3, 1}, {79, 3, 2}, {50, 3, 3}, {51, 3, 4}, {75, 3, 5}, {76, 3, 6}, {64, 3, 7},
    {67, 4, 0}, {68, 4, 1}, {69, 4, 2}, {70, 4, 3}, {77, 4, 4}, {80, 4, 5}, {121, 4, 6}, {122, 4, 7},
    {123, 4, 8}, {124, 4, 9}, {125, 4, 10}, {126, 4, 11},
    {129, 5, 0}, {130, 5, 1}, {131, 5, 2}, {132, 5, 3},
    {73, 6, 0}, {72, 6, 1}, {92, 6, 2}, {93, 6, 3},
    {9, 7, 0}, {8, 7, 1}, {16, 7, 2}, {127, 7, 3},
    {11, 8, 0}, {33, 8, 1}, {34, 8, 2}, {46, 8, 3}, {47, 8, 4}, {139, 8, 5},
    {45, 9, 0}, {44, 9, 1}, {2, 9, 2}, {71, 9, 3}, {48, 9, 4}, {18, 9, 5}, {81, 9, 6}, {98, 9, 7}, {99, 9, 8},
    {100, 9, 9}, {101, 9, 10},
    {29, 10, 0}, {83, 10, 1}, {91, 10, 2}, {117, 10, 3}, {118, 10, 4}, {84, 10, 5}, {85, 10, 6}, {86, 10, 7},
    {87, 10, 8}, {88, 10, 9},
    {21, 11, 0}, {22, 11, 1}, {20, 11, 2}, {26, 11, 3}, {25, 11, 4}, {24, 11, 5}, {23, 11, 6},
    {3, 12, 0}, {4, 12, 1}, {36, 12, 2}, {37, 12, 3}, {39, 12, 4}, {38, 12, 5},
    {19, 13, 0}, {17, 13, 1},
    {14, 14, 0}, {15, 14, 1}, {7, 14, 2}, {12, 14, 3}, {13, 14, 4}, {32, 14, 5}, {134, 14, 6}, {135, 14, 7},
    {41, 15, 0}, {30, 15, 1}, {35, 15, 2}, {27, 15, 3}, {59, 15, 4}, {60, 15, 5}, {61, 15, 6}, {62, 15, 7},
    {63, 15, 8}, {31, 15, 9},
    {90, 16, 0}, {94, 16, 0}, {89, 16, 1}, {95, 16, 1}, {96, 16, 2}, {97, 16, 3},
    {52, 17, 0}, {53, 17, 1}, {54, 17, 2}, {55, 17, 3}, {56, 17, 4}, {57, 17, 5}, {58, 17, 6}, {102, 17, 7},
    {103, 17, 8}, {104, 17, 9}, {105, 17, 10}, {106, 17, 11}, {107, 17, 12}, {108, 17, 13}, {109, 17, 14},
    {110, 17, 15}, {111, 17, 16}, {112, 17, 17}, {113, 17, 18}, {114, 17, 19}, {115, 17, 20}, {116, 17, 21},
};
static_assert(std::size(kActionOrder) == ActionCount, "one row per action code");

const OrderRow* FindOrderRow(int action)
{
    for (const OrderRow& row : kActionOrder)
        if (row.action == action)
            return &row;
    return nullptr;
}

// Low word: lowest version value, high word: highest, per action code.
constexpr int Range(int low, int high) { return low | (high << 16); }

int AvailabilityOf(int action)
{
    switch (action)
    {
    case 44: case 45: return Range(4, 254);
    case 48: return Range(4, 4);
    case 80: case 121: case 122: case 123: case 124: case 125: case 126: return Range(0, 0);
    case 81: return Range(8, 255);
    case 83: return Range(16, 254);
    case 84: case 87: case 88: case 89: case 90: return Range(16, 32);
    case 85: case 86: return Range(16, 255);
    case 92: case 93: return Range(4, 255);
    case 94: case 95: case 96: case 97: case 117: case 118: return Range(8, 255);
    case 98: case 99: case 100: case 101: case 139: return Range(64, 255);
    default:
        if (action >= ACTION_RESERVED_FIRST && action <= ACTION_RESERVED_LAST)
            return Range(0, 0);
        return Range(1, 255);
    }
}
}

std::wstring GetActionName(CLangSupport* language, int action)
{
    if (action < 0 || action >= ActionCount)
        return FormatString(L"Unknown: %d", action);
    const wchar_t* name = GetActionName(action);
    const int os = static_cast<int>(GetOSVersion());
    if (action == ACTION_FLIP_3D)
    {
        if (os >= ActionOS_Win10)
            name = L"Task View";
        else if (os >= ActionOS_Win8)
            name = L"Task Switcher";
    }
    else if (action == ACTION_SEARCH_CHARM && os >= ActionOS_Win10)
    {
        name = L"Cortana Search";
    }
    if (language == nullptr)
        return name;
    return LookupText(language, std::wstring(name));
}

int GetActionCategory(int action)
{
    const OrderRow* row = FindOrderRow(action);
    return row != nullptr ? row->group : -1;
}

bool CompareActionOrder(const ActionListEntry& a, const ActionListEntry& b)
{
    const OrderRow* rowA = FindOrderRow(a.action);
    const OrderRow* rowB = FindOrderRow(b.action);
    if (rowA == rowB || rowA == nullptr)
        return false;
    if (rowB == nullptr)
        return true;
    if (rowA->group != rowB->group)
        return rowA->group < rowB->group;
    return rowA->position < rowB->position;
}

CActionList BuildActionList(CLangSupport* language)
{
    CActionList list;
    list.reserve(ActionCount);
    for (int action = 0; action < ActionCount; ++action)
        list.push_back({GetActionName(language, action), action});
    return list;
}

void SortActionList(CActionList& list, bool alphabetical)
{
    if (!alphabetical)
    {
        std::stable_sort(list.begin(), list.end(), CompareActionOrder);
        return;
    }
    const auto rank = [](int action) { return action == ACTION_NO_CHANGE ? 0 : action == ACTION_SAME_AS_DEFAULT ? 1 : 2; };
    std::stable_sort(list.begin(), list.end(), [&](const ActionListEntry& a, const ActionListEntry& b) {
        const int ra = rank(a.action);
        const int rb = rank(b.action);
        if (ra != rb)
            return ra < rb;
        if (ra < 2)
            return false;
        return CompareNatural(a.name.c_str(), b.name.c_str()) < 0;
    });
}

bool IsActionAvailable(int action, int osVersion)
{
    if (action < 0 || action >= ActionCount)
        return false;
    const int range = AvailabilityOf(action);
    return osVersion >= (range & 0xFFFF) && osVersion <= (range >> 16);
}

int ActionHighestVersion(int action)
{
    return AvailabilityOf(action) >> 16;
}
