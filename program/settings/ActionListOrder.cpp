// The order of the action pickers' list.

#include <algorithm>

#include <windows.h>

#include "SetupPages.h"

void SortActionList(ActionList& actions, bool alphabetically)
{
    if (alphabetically)
    {
        std::stable_sort(actions.begin(), actions.end(), [](const auto& a, const auto& b) {
            return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.first.c_str(), -1, b.first.c_str(), -1) ==
                   CSTR_LESS_THAN;
        });
        return;
    }
    std::stable_sort(actions.begin(), actions.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
}
