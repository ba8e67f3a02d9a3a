#pragma once
// The keyboard hook's bookkeeping: its own table of keys that are down, and the
// layer modifier keys that switch a layer (or lock an axis, or slow the cursor)
// while they are held. The hook never takes a key away from the system.
// The decisions are plain functions of the key table so they can be tested
// without a keyboard.

#include <windows.h>

class CApplicationSettings;
class CLayerModifierKeys;
class CSettings;

// One byte per virtual key: 0x80 while down, 0 when up. VK_SHIFT, VK_CONTROL
// and VK_MENU are derived from their left and right keys.
extern BYTE g_KeyState[256];
// The layer to go back to when the layer modifier key is released; -1 = none.
extern int g_nSavedLayer;
// The cursor speed is lowered while the slow-down key is held.
extern BYTE g_bSlowedByKey;
// Consecutive releases of our own simulated Volume Down key.
extern int g_nVolDownCount;

// Derives the VK_SHIFT / VK_CONTROL / VK_MENU entries after the entry of vk was
// set. The left Ctrl that comes with Alt Gr (right Alt) does not count as Ctrl.
// Returns the extended flag the layer keys are matched with: cleared for the
// modifier keys themselves, else the event's.
bool DeriveModifierEntries(BYTE* keyState, DWORD vk, bool extended);

// The modifier keys that are down, in the hotkey bits (Shift 1, Ctrl 2, Alt 4,
// left Windows 8, right Windows 16, Applications 32).
unsigned short HeldModifiers(const BYTE* keyState);

// Whether a layer modifier key (virtual key, 16-bit modifier with bit 15 the
// extended flag) is held. A key without modifier bits accepts any modifiers;
// with modifier bits exactly those modifiers must be down.
bool LayerModifierKeyMatches(unsigned short virtualKey, unsigned short modifier, bool extended,
                                           const BYTE* keyState);

// Index (0..12) of the first entry of the table that is held; -1 for none or
// without a table.
int FindLayerModifierKey(const CLayerModifierKeys* keys, bool extended, const BYTE* keyState);

// The 0-based layer an entry switches to; -1 for the axis-lock and slow-down
// entries and indices outside the table.
int LayerOfModifierKey(int index);

// The cursor speed in force when no key slows it: the cycle value (doubled)
// when a cycle position is set, else Cursor/Speed; a profile's own speed (the
// one in force, else the default profile's) replaces it.
int NormalCursorSpeed(const CSettings* settings, int cyclePosition, const CApplicationSettings* profile,
                                    const CApplicationSettings* defaultProfile);
// The position of the cursor-speed cycle the normal speed comes from: -1
// until the user has cycled (or while cursor changes are not allowed), and
// again once the settings name other speeds.
int CycledCursorSpeedPosition();
// Settings about to be put in force: a speed of their own or a cycle's speed
// other than the ones in force is the user's newer choice and ends the cycle.
// The global lock is held.
void EndCursorSpeedCycleFor(const CSettings& incoming);
// The slowed speed: a fifth of the normal one, at least 1.
int SlowCursorSpeed(int normalSpeed);
// The pointer speed a profile wants when nothing slows it: its own, else the
// default profile's, else the speed the user chose last (the cycle's once the
// user cycled, else Cursor/Speed), else the user's speed at start-up - never
// the speed the profile before it left behind.
int UsersMouseSpeed(const CApplicationSettings* profile);
// The speed a profile switch gives the pointer, and so every end of a
// slow-down: UsersMouseSpeed, slowed while the slow-down key is held.
int ProfileMouseSpeed(const CApplicationSettings* profile);

// Axis locking by key, on the global axis lock (origin flag true).
void LockAxisByKey(bool xAxis);
// Unlocks a lock the keys made; true when a lock held and was released.
bool UnlockAxesByKey();
bool IsAxisLockedByKey(bool xAxis);

// Forgets the held keys and the remembered layer (tests, and the hooks of a
// new hook thread).
void ResetKeyHookState();
// A keyboard hook put in again may have missed releases: a key the system
// reports up counts as up, and what it kept in force (a layer, an axis lock,
// the slowed cursor) ends as on its release; keys still held keep theirs.
// Takes the global lock.
void ForgetHeldKeys();
