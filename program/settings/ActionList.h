#pragma once
// The list of every action the pickers offer: (display name, action code)
// pairs, built once per settings dialog and shared read-only by every page.
// The names are the English texts, which are also the keys of the language
// lookup. The list is sorted either by the functional order below (related
// actions grouped: clicks, sticky buttons, scrolling, media keys, layers, ...)
// or alphabetically in natural order.

#include <string>
#include <vector>

#include "OSVersion.h"

class CLangSupport;

struct ActionListEntry
{
    std::wstring name;
    int action = 0;
};

using CActionList = std::vector<ActionListEntry>;

// The display name of an action code, translated when language is not null.
// Codes outside 0 to 139 give "Unknown: <code>" (never translated). The names
// of 44 and 86 follow the Windows version.
std::wstring GetActionName(CLangSupport* language, int action);

// The group of an action in the functional order (-1 for a code outside it).
// Odd groups are shaded in the drop-down lists.
int GetActionCategory(int action);

// Strict weak ordering by (group, position) of the functional order.
bool CompareActionOrder(const ActionListEntry& a, const ActionListEntry& b);

// All 140 actions in code order, named with GetActionName(language, code).
CActionList BuildActionList(CLangSupport* language);

// Stable sort: functional order, or alphabetical with "No Change" first and
// "Same As Default Profile" second, the rest in natural order of their names.
void SortActionList(CActionList& list, bool alphabetical);

// Whether a picker offers the action on the given Windows version value.
bool IsActionAvailable(int action, int osVersion);
// The highest version value of the action's range (254 marks actions that
// have no place in portable mode on Vista and later).
int ActionHighestVersion(int action);
