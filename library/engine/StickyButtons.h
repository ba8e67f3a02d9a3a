#pragma once
// Sticky actions: a button, key sequence, movement-to-scroll or slowed cursor
// that stays "held" after the physical release until a second press and
// release, and the resets that end them from outside.

#include <windows.h>

enum StickyKind
{
    STICKY_LEFT = 0,
    STICKY_RIGHT = 1,
    STICKY_MIDDLE = 2,
    STICKY_XLEFT = 3,
    STICKY_XRIGHT = 4,
    STICKY_KEYREPEAT = 5,
    STICKY_KEYHOLD = 6,
    STICKY_SCROLL = 7,
    STICKY_SLOWCURSOR = 8,
    StickyKindCount = 9,
};

// 0 idle, 1 engaged, 2 armed (the next release ends it). Read here; written
// only through SetStickyState, which tells g_held what the library holds.
extern short g_nStickyState[StickyKindCount];
void SetStickyState(int kind, int state);
// One entry of the array as a variable of the state machines that drive it.
class StickyStateRef
{
public:
    explicit StickyStateRef(int kind) : m_kind(kind) {}
    operator int() const { return g_nStickyState[m_kind]; }
    StickyStateRef& operator=(int state)
    {
        SetStickyState(m_kind, state);
        return *this;
    }

private:
    int m_kind;
};
const wchar_t* StickyName(int kind);

// One step of the sticky state machine for a press (kind 1) or release (2).
struct StickyStep
{
    int state;        // new state
    bool consumed;    // the event is swallowed
    int press;        // 1 press the held thing, 2 release it, 0 nothing
};
StickyStep StickyTransition(int state, int eventKind, bool downSeen);

// Sticky mouse button (kinds 0-4). out: 1 pressed, 2 released, else 0.
bool StickyButton(POINT point, HWND window, int button, int kind, int eventKind, int* out = nullptr);
// Sticky key repeat (key mode 6), on a press.
bool StickyKeyRepeat(POINT point, HWND window, int button, int layer, const wchar_t* keys, int delayMs);
// Sticky key hold (key mode 7).
bool StickyKeyHold(POINT point, HWND window, int button, int layer, const wchar_t* keys, int eventKind);

// Keys a sticky repeat or hold has pressed for a slot (button + layer x 9);
// empty when none.
const wchar_t* GetStickyKeys(int button, int layer);
// The sticky key hold is engaged and holds the keys of that slot: its next
// click lets them go.
bool StickyKeysHeld(int button, int layer);

void ResetSticky(POINT point, int kind, int layer, int button);
// A press of button (Left to XRight) that no action took over ends the sticky
// button of that kind, unless it is another program's press of one the user
// engaged: the press holds the button now, and its release lets it go. True
// when the sticky's own press is in the system, which then has the button
// down already: the press is not passed on a second time.
bool EndStickyByPress(int button, int layer);
// The press a sticky button of button's kind held went up in the system while
// the hook was out (the user dropped the drag there): the sticky button ends,
// and its next click starts anew.
void EndStickyLetGoInSystem(int button, int layer);
void ResetAllSticky(POINT point);
void ResetOtherSticky(POINT point, int button, bool keepScroll);
// The keys held while a button is held go up: those the slots of the current
// layer flag, and those a reload carried.
void ResetDuringKeys(POINT point);
// The keys a held button pressed before a reload go up (its press ends, or the
// layer or profile it belonged to does); true when there were such keys.
bool ReleaseCarriedDuringKeys(int button, POINT point);
// A key was released (keyboard hook, with the ResetSticky/Key option): the
// sticky actions of every button end; control keeps a sticky scroll.
void ResetStickyByKey(POINT point, bool control);
// Whether any sticky state is above 0.
bool AnyStickyActive();
// After a reload put the new profiles in: a sticky button the reload kept
// ends unless the slot that engaged it has the same action in the profile in
// force (global lock held).
void EndStickyChangedByReload(POINT point);
// The hooks stopped, and with them whatever was held (the input thread's end
// released it): every sticky state is idle, nothing is queued.
void ForgetStickyStates();
