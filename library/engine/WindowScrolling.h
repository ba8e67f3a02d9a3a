#pragma once
// Scrolling the window under the cursor, which need not be the foreground
// window. A wheel delta becomes posted window messages by one of the scroll
// methods a profile chooses; nothing here sends and waits, because the callers
// run inside the mouse hook or the repeat timer.

#include <windows.h>

// The profile's scroll methods (AdvScrollMethod).
constexpr int kScrollLines = 0;          // line messages to the scroll bar (and the window)
constexpr int kScrollThumb = 1;          // thumb-position message to the scroll bar
constexpr int kScrollArrowKeys = 2;      // arrow keys; horizontal only
constexpr int kScrollWheelMessage = 3;   // a posted wheel message with a third of the delta
constexpr int kScrollWindowLines = 4;    // line messages to the window itself
constexpr int kScrollDefault = 8;        // declined: the caller does its default
constexpr int kScrollDefaultAlt = 0x0F000000;
constexpr int kScrollDisabled = 9;       // declined, but the event counts as handled
constexpr int kScrollDisabledAlt = -1;

// " (WM_...)" for the client mouse messages, " (UNKNOWN)" for any other.
constexpr int kMouseMessageNameChars = 50;
void GetMouseMessageName(UINT message, wchar_t* buffer);

// --- decisions on plain values ---------------------------------------------------
// Whole notches in a delta (truncating toward zero, never negative).
int ScrollNotches(int delta);
// Lines of the line method: the ceiling of |delta| / 120.
int ScrollLineCount(int delta);
// SB_LINEUP/SB_LINEDOWN (vertical) or SB_LINELEFT/SB_LINERIGHT (horizontal) for
// a wheel delta: up or right for a positive delta.
WORD ScrollLineCode(bool horizontal, int delta);
// The thumb position of the thumb method, limited to the range.
int ScrollThumbPosition(int position, int minimum, int maximum, int delta);
// Whether a process of the given integrity level may be sent input by a
// process of level own.
bool IntegrityAllowsSend(int own, int target);
// The integrity level of the process behind window (0 when it can't be read:
// such a process is not treated as elevated).
int WindowIntegrityLevel(HWND window);
// The same, kept for the last window asked for (the hook asks on every notch).
int CachedWindowIntegrityLevel(HWND window);

// --- windows ---------------------------------------------------------------------
// The scroll bar the scroll-bar methods drive: the window itself when it shows
// the bar, else a visible scroll-bar child of it or of its parent.
HWND FindScrollBar(HWND window, bool horizontal);

// message is WM_VSCROLL or WM_HSCROLL; delta 120 per notch, positive up or right.
// True when done or when the method disables scrolling; false when the caller
// should fall back to a plain wheel message.
bool Scroll(HWND window, UINT message, short delta, int method);

// Scrolls the window under a screen point (the "Scroll Window" actions). False
// only when there is no window there or no profile.
bool brmpScrollWindow(const POINT& point, int delta);
bool brmpScrollWindowHorz(const POINT& point, int delta);

// Activates the window under the cursor before it is scrolled (ActivateOnScroll).
void ActivateBeforeScroll(HWND active, HWND window, HWND target);

// --- the mouse hook's vertical wheel redirection ------------------------------------
// Whether a window class may receive a redirected wheel; special marks the
// hosted-app and tray classes (which an inverted wheel reaches only as a
// simulated notch).
bool IsWheelTargetClass(const wchar_t* className, bool* special);
// The window that receives a redirected wheel for window of className: a
// browser's content window, an enabled ancestor, an application's own wheel
// window; null when only the window being scrolled (scrolled) would do.
// wantsKeys is set when the receiver reads the modifier keys from the key-state
// word of the message.
HWND ScrollTargetForClass(HWND window, const wchar_t* className, HWND scrolled, bool* wantsKeys);
// The key-state word for such a receiver: MK_SHIFT, MK_CONTROL and 0x20 for Alt.
WORD ReceiverKeyState();

// The mouse hook's vertical wheel: scrolls the window under the cursor when it
// is not the foreground window. delta is the event's delta after the hook's
// own inversion; allowSimulated is false for injected events. ownInput: a
// wheel the library sent; its delta is final (never inverted again) and it
// never leads to another simulated wheel. True when the event was taken over
// (the hook drops it).
bool ScrollVertical(MSLLHOOKSTRUCT* hookData, short delta, bool allowSimulated, bool ownInput = false);

// Fills the wheel record (g_LastWheel) for window at point: the windows
// activation looks at, the profile, its scroll method (m_nAppValue) and a box
// of 4 pixels around point.
void RefreshWheelRecord(HWND window, POINT point);
