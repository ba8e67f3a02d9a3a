#pragma once
// Which profile applies to a window: the process behind it, the first
// custom-window profile whose rules accept the window, its ancestors and the
// cursor point, then the application profiles by process, then the default.

#include <windows.h>

class CApplicationSettings;

// --- decision rules on plain values ----------------------------------------------

// The rectangle of a profile's window area laid on base: left < 0 and right <= 0
// count from base's right edge, top < 0 and bottom <= 0 from its bottom edge,
// other offsets from its left or top edge.
RECT WindowAreaRect(const RECT& area, const RECT& base);
// An area whose left equals its right and top equals its bottom is never hit.
bool IsEmptyWindowArea(const RECT& area);
// The quarter of window the point lies in: 1 upper left, 2 upper right, 4 lower
// left, 8 lower right; the midlines belong to the left and upper halves.
int WindowQuarterOf(const RECT& window, POINT point);
// The mask a profile is tested with: 16 with a window area, else its window mask.
int ProfileWindowMask(const CApplicationSettings* profile);
// Whether a hit passes a mask; 255 never passes.
bool MaskAcceptsHit(int mask, int hit);

// --- windows ---------------------------------------------------------------------

// The active window of window's thread (else its root) if it has a caption or
// border, else null.
HWND GetCaptionedActiveWindow(HWND window);
// The mask value point hits: 16 inside profile's window area (or, without a
// profile, the first area profile's), else the quarter of the window.
int GetWindowAreaHit(HWND window, POINT point, CApplicationSettings* profile);
// Whether point passes profile's mask; a hit of the window area makes it the
// active window area.
bool MatchWindowArea(HWND window, CApplicationSettings* profile, POINT point);
// Whether point lies in the active window area laid on window (true when none is active).
bool PointInActiveWindowArea(HWND window, POINT point);
void ClearActiveWindowArea();
// For a button event in the same window as the last one: whether the point
// lies in another part of that window than before, while some profile is
// limited to parts of its window (another quarter than lastQuarter, which is
// updated, or outside the window area in force). Then the profile must be
// looked up again, whatever profile is in force now.
bool WindowPartChanged(HWND window, POINT point, int& lastQuarter);

// The window's caption: on every thread the text the window server keeps for
// it (what its title bar shows), no application being asked, or a read-ahead
// of it (CCaptionPrefetch). At most size - 1 characters, always terminated.
// False when no custom-window profile has a caption, for the program's own
// windows, and for no or over-long text. Each read is noted in the thread's
// window facts scope.
constexpr int kMaxCaptionChars = 256;
bool GetWindowCaption(HWND window, const wchar_t* processName, wchar_t* caption, int size,
                                    const wchar_t* className);

// Reads the captions of a window and of its ancestors ahead, on this thread,
// so that a profile decision made afterwards under the global lock takes them
// from here and keeps the window server's round trips out of the lock: while
// it lasts, this thread reads no other caption. Scoped; null reads nothing.
class CCaptionPrefetch
{
public:
    CCaptionPrefetch(HWND window, const wchar_t* processName);
    ~CCaptionPrefetch();
    CCaptionPrefetch(const CCaptionPrefetch&) = delete;
    CCaptionPrefetch& operator=(const CCaptionPrefetch&) = delete;

private:
    int m_set = -1;
};

// Reason codes of GetProcessName (for its log lines).
enum ProcessNameReason : int
{
    PNR_MouseMove = 1,
    PNR_Keyboard = 2,
    PNR_ProcessButton = 3,
    PNR_LoadXML = 4,
    PNR_LoadRegistry = 5,
    PNR_RepeatTimer = 6,
    PNR_WindowFromHWND = 7,
    PNR_UniversalApp2 = 8,
    PNR_UniversalApp2Focus = 9,
    PNR_UniversalApp3 = 10,
};
const wchar_t* ProcessNameReasonText(int reason);

// The executable file name of process pid (0: the one behind window), with " (Desktop)"
// for the desktop's windows and "modern ui - <title>" for hosted apps. size is
// in characters; the name is truncated to fit. recursion counts nested calls
// (null: a fresh count). modernUI (may be null) tells whether this look-up met
// a host of "modern UI" apps: the frame host, whose windows are named after
// the app they host now, or a hosted app; a decision about the window that
// depends on its name must then be made anew each time.
bool GetProcessName(HWND window, DWORD pid, wchar_t* name, int size, int* recursion, int reason,
                    bool* modernUI = nullptr);
// Forgets the cached process name.
void ResetProcessNameCache();

// The profile that applies to window of process at point; the default profile
// when none matches, null without settings. taskbar (may be null) is set when
// the window is a taskbar button or thumbnail.
CApplicationSettings* FindAppSettings(HWND window, const wchar_t* processName, POINT point, bool* taskbar);

// --- the profile in force --------------------------------------------------------

// Records the mask of the profile in force (SetNewApp's last step).
void RecordProfileMask(CApplicationSettings* profile);
// Whether the profile in force is limited to part of its window, and the mask.
bool CurrentProfileMasked();
int CurrentProfileMask();

// Tells the setup window (when registered) that window's profile is now profile:
// BRMP_ProcessChanged (window, profile), given up after 50 ms or on a hung window,
// and then posted, so that a dialog busy at the moment still hears of it.
constexpr UINT kProcessChangedTimeoutMs = 50;
void NotifyProcessChanged(HWND window, CApplicationSettings* profile);
// Makes profile the one in force for window of process (SetNewApp, the mask,
// the window and process in force, and modernUI, the flag of the window's
// look-up) and tells the setup window. False, and nothing done, when profile
// is already in force.
bool SwitchToProfile(HWND window, const wchar_t* processName, CApplicationSettings* profile, bool modernUI);
// The two halves of SwitchToProfile, for threads that must not hold the global
// lock while other applications answer: InstallProfile (under the lock) makes
// the profile the one in force and records the switch; ApplyProfileSwitch
// (after the lock is left) applies the profile's mouse settings and tells the
// setup window.
bool InstallProfile(HWND window, const wchar_t* processName, CApplicationSettings* profile, bool modernUI);
void ApplyProfileSwitch(HWND window, CApplicationSettings* profile);
// How many switches were made so far: a decision prepared without the lock
// is dropped when a switch came in between.
unsigned ProfileSwitchCount();
// The window that caused the last switch, whether by the mouse, the pointer
// resting or the keyboard focus.
HWND LastSwitchWindow();

// --- the keyboard focus ----------------------------------------------------------

// The buttons and keys held now: LBUTTON 1, RBUTTON 2, SHIFT 4, CONTROL 8,
// MBUTTON 16, XBUTTON1 32, XBUTTON2 64, ALT 256, LWIN 512, RWIN 1024, APPS 2048.
unsigned GetKeyStateMask();
// The first seven of those: the key-state word of mouse messages.
WORD GetMouseKeyState();
// The profile follows the window with the keyboard focus (or, with the
// mouse-over switch, the focus of the window under the cursor). True when the
// profile changed; a held button defers the switch to the next press.
bool GetKeyboardActiveAppSettings();
// Timer 0x1010 on the timer thread: skips its tick while the global lock is
// busy, and without mouse-over switching waits (a bounded number of ticks)
// while no window has the foreground.
void CALLBACK KeySwitchTimerProc(HWND, UINT, UINT_PTR id, DWORD);
// The ticks the key-switch timer has waited so far for a foreground window (tests and diagnosis).
int KeySwitchWaitedTicks();

// --- wheel tests -----------------------------------------------------------------

// Whether notches of a wheel button may be throttled: true without a profile; false (never throttled) while the button clicks, types,
// scrolls or tilts, so that every notch gives its own click.
bool ThrottleScrollWheel(int button, POINT point);
// Whether the wheel or tilt button has an action in the profile and layer in force.
bool HasWheelAction(int button);
