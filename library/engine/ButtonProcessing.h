#pragma once
// Button processing: one press or release of one of the nine buttons turned into
// its configured action. Event kinds: 0 unknown, 1 down, 2 up, 3 double click.

#include <windows.h>

class CActionData;
class CApplicationSettings;

// Returns 1 when the event was handled (the hook swallows it), 0 when it goes on
// to the system. skipWindowCheck: use the last window instead of the one under
// the point. The three out-bytes are cleared first; fixUp asks the hook for the
// media-player fix-up of this one event.
int ProcessButton(int button, int kind, bool skipWindowCheck, POINT point, BYTE& fixUp, BYTE& block,
                                BYTE& click);

// The window the profile in force was last decided for. A switch made by the
// mouse-over or keyboard check records it, so that the next click there does
// not look the profile up again.
void SetLastProfileWindow(HWND window);
// Forgets the profiles decided for windows (the profiles are going away): the
// next button looks its window's profile up. Global lock held.
void ForgetWindowProfiles();

// --- resolution rules (plain values, tested directly) ------------------------

// The code a profile gives a slot as the engine reads it: 40 without a profile
// or for a slot outside the profile (negative indexes included), 82 when the
// layer is disabled (the first layer never is).
int SlotCode(const CApplicationSettings* profile, int button, int layer);

struct ResolvedSlot
{
    int configuredCode;                   // the slot's own code
    int code;                             // after the indirections
    int layer;                            // layer the action is taken from
    const CApplicationSettings* profile;  // profile the action is taken from
};
// Follows "same as layer 1" (to layer 0 of the same profile) and "same as
// default profile" (to the default profile, and to its layer 0 when that says
// "same as layer 1"). One step each, so no cycle can loop.
ResolvedSlot ResolveSlot(const CApplicationSettings* profile, const CApplicationSettings* defaultProfile,
                                       int button, int layer);

// A release that arrives in another profile than its press keeps the old
// profile when the button's action differs there, unless the new action is a
// sticky button (which expects a release without a press).
bool DefersProfileSwitch(int kind, int currentCode, int newCode);

// Virtual key the system keeps for a physical button (0 for the wheel and tilt
// buttons); left and right are exchanged while the system swaps them.
int ButtonVirtualKey(int button, bool swapped);

// A handled release whose press we never saw is passed on while the system
// still believes the button is down, or Windows would keep it pressed.
// downSeen: the press was handled here and never reached the system.
bool PassReleaseForSync(int kind, bool downSeen, bool systemDown);

// Resolves the button's action in layer of profile (both may change). The
// caller deletes action. False: swallow the event without action.
bool ResolveButtonAction(int button, int kind, int& layer, CApplicationSettings*& profile,
                                       int& configuredCode, int& code, CActionData*& action);
