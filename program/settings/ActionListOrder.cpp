// The order of the action pickers' list: the dialog's list sorted as the
// action list sorts (functional order, or natural order of the names).

#include "ActionList.h"
#include "SetupPages.h"

void SortActionList(ActionList& actions, bool alphabetically)
{
    CActionList entries;
    entries.reserve(actions.size());
    for (auto& [name, action] : actions)
        entries.push_back({std::move(name), action});
    SortActionList(entries, alphabetically);
    actions.clear();
    for (ActionListEntry& entry : entries)
        actions.emplace_back(std::move(entry.name), entry.action);
}
