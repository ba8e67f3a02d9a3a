#pragma once
// Rules the chord, timed-click and movement-to-scroll editors share, as plain
// functions of values: which actions their pickers offer, which actions have a
// sub-editor, and the order the timed-click hold times must keep.

#include <windows.h>

#include <optional>
#include <utility>

// An action whose entry carries data that its edit button opens.
bool HasActionEditor(int action);

// Whether the picker of a layer page or an editor may offer the action on this
// Windows version (an _ActionOSVersion value); some are hidden in portable mode too.
bool IsActionAvailable(int action, int osVersion, bool portable);

// What an editor's picker leaves out besides the unavailable actions: layer
// changes, the same-as entries, chording and button-held always.
struct EditorPickerLimits
{
    bool withoutNoChange = false;           // the timed-click editor: every row acts
    bool withoutMovementToScroll = false;   // the movement-to-scroll editor's own default action
};
bool IsOfferedByEditorPicker(int action, const EditorPickerLimits& limits, int osVersion, bool portable);

// The hold times of the three "held for" rows must rise with the row among the
// ticked rows. The first fault found, as the numbers the user sees (rows counted
// from 1 with the normal click as 1): (later row, earlier row); none when in order.
std::optional<std::pair<int, int>> HeldTimesOutOfOrder(const bool ticked[3], const int times[3]);

// A wheel message aimed at a disabled control: the editors swallow it, so the
// wheel never changes a control the user cannot otherwise change.
bool IsWheelForDisabledWindow(const MSG& msg);
