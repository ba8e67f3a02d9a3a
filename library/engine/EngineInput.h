#pragma once
// The engine's requests to the simulated-input queue. The engine never calls
// SendInput itself: these turn a keystroke sequence, one key, a mouse move or a
// wheel notch into entries of g_threads.pSendInput's queue and wake its thread. They
// run on the hook thread and the timer callbacks.

#include <windows.h>

class CSimToken;

// Layer a held ("during") key sequence switched away from, -1 for none. Written
// when such a sequence's layer token acts; read on the release.
extern int g_nWhileDownLayer;
// Layer a held sequence's layer token returns to when its press is parsed.
extern int g_nWhileDownReturnLayer;
// Milliseconds the queued entries will take, summed over the producers.
extern UINT g_nQueueWait;

// Which tokens of a held sequence act on the press and on the release, in the
// order they act. Tokens with the down filter act once on the press, plain
// tokens are held (pressed in order, released in reverse), tokens with the up
// filter act once after the held ones are released (in reverse order).
enum class WhileDownStep
{
    Skip,
    SingleShotPress,     // SendSingleShot, release off
    HoldDown,            // SendWhileDown, up off
    HoldUp,              // SendWhileDown, up on
    SingleShotRelease,   // SendSingleShot, release on
};
WhileDownStep WhileDownPressStep(UINT filter, int pass);
WhileDownStep WhileDownReleaseStep(UINT filter, int pass);

// SendMouse on the library's queue, marked with the library's own signature.
UINT SendMouseButton(int button, int kind, POINT point, bool leftAlreadyDown, bool alternativeNames);

bool SendKeysStateSingleShot(const wchar_t* keys, POINT point, HWND window, bool release, bool repeat);
bool SendKeysStateSingleShotRepeatRelease(const wchar_t* keys, POINT point, HWND window);
bool SendKeyStateWhileDown(const wchar_t* keys, bool up, POINT point, HWND window);
// One key press and release. modifiers: Shift 1, Ctrl 2, Alt 4, Win 8.
bool SendKey(int virtualKey, bool extended, UINT modifiers, UINT scan);
// Relative move from point to forcedPoint.
bool MouseMove(POINT point, POINT forcedPoint);
// Up to two wheel inputs (vertical first); false when nothing was queued.
bool MovementToScroll(int vertical, int horizontal);
// Relative move back to the message point along one axis (vertical: y only,
// else x only), carrying the message's mouse data and time.
bool MouseMoveToMessagePoint(const MSLLHOOKSTRUCT& message, bool vertical);
// Relative move that mirrors the axes the axis lock inverts; false when none is.
bool MouseMoveInverted(const MSLLHOOKSTRUCT& message);

// Browser commands of the application-command actions.
enum AppCommand : int
{
    APPCMD_BACK = 1,
    APPCMD_FORWARD = 2,
    APPCMD_REFRESH = 3,
    APPCMD_STOP = 4,
    APPCMD_SEARCH = 5,
    APPCMD_FAVOURITES = 6,
};
// How a command reaches the target: windows of hosted ("modern UI") apps and
// remote-desktop clients take no WM_APPCOMMAND, so back and forward become the
// side buttons and the rest the browser keys (165 + command); a target without
// an enabled window gets the key as well.
enum class AppCommandRoute
{
    None,        // not a command
    Message,     // WM_APPCOMMAND posted to the first enabled window
    XButton1,
    XButton2,
    BrowserKey,
};
AppCommandRoute RouteAppCommand(int command, bool modernOrRemote, bool hasEnabledWindow);
bool SendAppCommand(HWND window, int command);

bool MouseWheel(short amount);
bool MouseTilt(short amount);
bool PreciseWait(UINT milliseconds);
// A pause between the simulated input queued before and after it, waited by
// the simulated-input thread: the hook and timer threads never wait themselves.
// False when there is no simulated-input thread.
bool QueueInputWait(UINT milliseconds);
