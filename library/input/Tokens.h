#pragma once
// Simulated-input tokens: one object per tag of a keystroke sequence. A token
// performs itself for a button event by queueing requests on the send-input
// queue (CSendInput) or by calling a service directly.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CSendInput;
class CApplicationSettings;
class ITokenServices;
class CSimToken;

using SimTokenList = std::vector<std::unique_ptr<CSimToken>>;

// Modifier bits of simulated keys (pending, held and token masks).
enum SimModifier : UINT
{
    SIMMOD_SHIFT = 0x1,
    SIMMOD_CTRL = 0x2,
    SIMMOD_ALT = 0x4,
    SIMMOD_LWIN = 0x8,
    SIMMOD_RWIN = 0x10,
    SIMMOD_APPS = 0x20,
    SIMMOD_RSHIFT = 0x40,
    SIMMOD_RCTRL = 0x80,
    SIMMOD_RALT = 0x100,
};

// Token kinds as the engine looks for them.
enum SimTokenKind : int
{
    SIMTOKEN_OTHER = 0,      // SimKey actions, window messages, clipboard
    SIMTOKEN_KEY = 1,
    SIMTOKEN_MOUSE = 2,
    SIMTOKEN_CURSOR = 3,
    SIMTOKEN_WAIT = 4,
    SIMTOKEN_LAYER = 5,
    SIMTOKEN_BRIGHTNESS = 6,
    SIMTOKEN_PROGRAM = 7,    // program start and process kill
};

// Part of a token: press and release, press only, release only.
enum SimTokenPart : int { SIMPART_BOTH = 0, SIMPART_PRESS = 1, SIMPART_RELEASE = 2 };

// Filter flags: the token acts only on button down, on button up, on repeats.
enum SimTokenFilter : UINT { SIMFILTER_DOWN = 1, SIMFILTER_UP = 2, SIMFILTER_REPEAT = 4 };

// SimKey action codes, performed on the send-input thread.
enum SimKeyAction : int
{
    SIMKEY_ACTIVATE = 1,
    SIMKEY_ACTIVATEPARENT = 2,
    SIMKEY_ACTIVATETOP = 3,
    SIMKEY_CURSORBUSY = 4,
    SIMKEY_CURSORDEFAULT = 5,
    SIMKEY_INVERTXY = 6,
    SIMKEY_INVERTX = 7,
    SIMKEY_INVERTY = 8,
    SIMKEY_TOGGLELOCKX = 9,
    SIMKEY_TOGGLELOCKY = 10,
    SIMKEY_CYCLELOCK = 11,
    SIMKEY_INTERNALLOCKXY = 12,
    SIMKEY_INTERNALUNLOCKXY = 13,
    SIMKEY_LOCKXY = 14,
    SIMKEY_UNLOCKX = 15,
    SIMKEY_UNLOCKY = 16,
    SIMKEY_UNLOCKXY = 17,
    SIMKEY_FLUSH = 18,
    SIMKEY_VOLUMEUP = 19,
    SIMKEY_VOLUMEDOWN = 20,
    SIMKEY_MUTE = 21,
    SIMKEY_SETVOLUME = 22,
    SIMKEY_CTRLALTDEL = 23,
};

// Cursor operation codes of the cursor tags.
enum SimCursorOperation : int
{
    SIMCURSOR_SETX = 1,
    SIMCURSOR_SETY = 2,
    SIMCURSOR_SETXY = 3,
    SIMCURSOR_ADDX = 4,
    SIMCURSOR_ADDY = 8,
    SIMCURSOR_ADDXY = 15,
    SIMCURSOR_PROFILEX = 16,
    SIMCURSOR_PROFILEY = 32,
    SIMCURSOR_PROFILEXY = 48,
    SIMCURSOR_ACTIVEX = 64,
    SIMCURSOR_ACTIVEY = 128,
    SIMCURSOR_ACTIVEXY = 240,
    SIMCURSOR_SAVE = 0x4000,
    SIMCURSOR_RESTORE = 0x8000,
};

// What a token needs of its caller to perform itself.
struct SimTokenSendContext
{
    CSendInput* sendInput = nullptr;      // must exist (the callers check it)
    UINT defaultHoldTime = 1;             // SimulatedKeys/Delay: the extra delay of each key request
    ULONG_PTR keyExtraInfo = 0;           // the keyboard hook's handle: marks our own keys
    ULONG_PTR mouseExtraInfo = 0;         // the mouse hook's handle: marks our own mouse input
    HKL targetLayout = nullptr;           // keyboard layout of the target window's thread
    HWND volumeOsdWindow = nullptr;       // told to show itself after volume keys
    bool leftAlreadyDown = false;         // for double clicks of the left button
    bool alternativeButtonNames = false;  // button name set used in log lines
    ITokenServices* services = nullptr;   // null: GetTokenServices()
};

// Sequence types of SendSingleShot.
enum SimSequenceType : int { SIMSEQ_WHOLE = 0, SIMSEQ_PRESS = 1, SIMSEQ_RELEASE = 2 };

class CSimToken
{
public:
    explicit CSimToken(int kind) : m_nKind(kind) {}
    virtual ~CSimToken();

    // Performs the token once for one button event; returns the milliseconds
    // the caller adds to its wait total.
    virtual UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) = 0;
    // Performs the down half (up false) or the up half of a held button.
    // heldLayer: the engine's held-layer variable (may be null).
    virtual UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) = 0;

    // Parses a keystroke sequence into tokens appended to tokens, filling the
    // parser's context from the arguments, the keyboard's lock states and the
    // token services. False for a null text or an invalid NUM tag (tokens
    // already appended stay in the list).
    static bool Parse(SimTokenList& tokens, const wchar_t* text, void* unused, POINT point, HWND target,
                      int currentLayer, int previousLayer, int layerCount, UINT defaultHoldTime,
                      bool restorePrevious, const CApplicationSettings* profile, bool pressReleaseAllowed);

    // The filter flags let the token act for this event.
    bool FilterPasses(bool up, bool repeat) const;
    // The token's part fits the sequence type of a single-shot call.
    bool PartPasses(int sequenceType) const;

    int m_nKind;
    UINT m_nModifiers = 0;
    int m_nPart = SIMPART_BOTH;
    UINT m_nFilter = 0;
    bool m_bMark = false;       // lock-state mark (keys) or wheel mark (mouse)
    UINT m_nHoldTime = 0;       // ms
};

class CSimKeyToken : public CSimToken
{
public:
    CSimKeyToken() : CSimToken(SIMTOKEN_KEY) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    int m_nVirtualKey = 0;      // may carry a shift state in bits 8-15; -1 = none
    UINT m_nScan = 0;           // a UTF-16 unit when m_bUnicode; 0xFFFFFFFF = by virtual key only
    bool m_bUnicode = false;
    bool m_bExtended = false;

private:
    bool Queue(const SimTokenSendContext& context, bool release, UINT holdTime);
    void TellVolumeDisplay(const SimTokenSendContext& context) const;
};

class CSimKeyActionToken : public CSimToken
{
public:
    CSimKeyActionToken(int action, int amount) : CSimToken(SIMTOKEN_OTHER), m_nAction(action), m_nAmount(amount) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    int m_nAction;
    int m_nAmount;
};

class CSimMouseToken : public CSimToken
{
public:
    CSimMouseToken(int button, int action, POINT point)
        : CSimToken(SIMTOKEN_MOUSE), m_nButton(button), m_nAction(action), m_pt(point) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    int m_nButton;   // 0 left, 1 right, 2 middle, 3 X1, 4 X2, 5 tilt left, 6 tilt right, 7 wheel up, 8 wheel down
    int m_nAction;   // 0 click, 1 down, 2 up
    POINT m_pt;

private:
    UINT Mouse(const SimTokenSendContext& context, int kind);
    void Modifiers(const SimTokenSendContext& context, bool release);
};

class CSimCursorToken : public CSimToken
{
public:
    CSimCursorToken(int value, int operation) : CSimToken(SIMTOKEN_CURSOR), m_nValue(value), m_nOperation(operation) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    int m_nValue;
    int m_nOperation;
};

class CSimCursorTokenEx : public CSimToken
{
public:
    CSimCursorTokenEx(int x, int y, int operation) : CSimToken(SIMTOKEN_CURSOR), m_nX(x), m_nY(y), m_nOperation(operation) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    int m_nX;
    int m_nY;
    int m_nOperation;
};

class CSimLayerToken : public CSimToken
{
public:
    CSimLayerToken(int layer, int restoreLayer) : CSimToken(SIMTOKEN_LAYER), m_nLayer(layer), m_nRestoreLayer(restoreLayer) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    int m_nLayer;          // 0-based target
    int m_nRestoreLayer;   // layer to go back to when the button is released
};

class CSimWaitToken : public CSimToken
{
public:
    explicit CSimWaitToken(UINT milliseconds) : CSimToken(SIMTOKEN_WAIT), m_nMilliseconds(milliseconds) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    UINT m_nMilliseconds;
};

class CSimBrightnessToken : public CSimToken
{
public:
    CSimBrightnessToken(int direction, POINT point) : CSimToken(SIMTOKEN_BRIGHTNESS), m_nDirection(direction), m_pt(point) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    int m_nDirection;   // 1 up, 2 down
    POINT m_pt;
};

class CSimRunAppToken : public CSimToken
{
public:
    CSimRunAppToken(std::wstring program, int showMode)
        : CSimToken(SIMTOKEN_PROGRAM), m_strProgram(std::move(program)), m_nShowMode(showMode) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    std::wstring m_strProgram;
    int m_nShowMode;    // SW_* value; 12 = run elevated
};

class CSimKillAppToken : public CSimToken
{
public:
    explicit CSimKillAppToken(std::wstring process) : CSimToken(SIMTOKEN_PROGRAM), m_strProcess(std::move(process)) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    std::wstring m_strProcess;
};

class CSimWMessageToken : public CSimToken
{
public:
    CSimWMessageToken(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool post)
        : CSimToken(SIMTOKEN_OTHER), m_hWnd(window), m_nMessage(message), m_wParam(wParam), m_lParam(lParam), m_bPost(post) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    // Time-out of a sent message: a hung target must not stall the caller.
    static constexpr UINT SendTimeout = 1000;

    HWND m_hWnd;
    UINT m_nMessage;
    WPARAM m_wParam;
    LPARAM m_lParam;
    bool m_bPost;

private:
    void Deliver() const;
};

class CSimClipboardToken : public CSimToken
{
public:
    explicit CSimClipboardToken(std::wstring text) : CSimToken(SIMTOKEN_OTHER), m_strText(std::move(text)) {}
    UINT SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat) override;
    UINT SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer) override;

    // Puts text on the clipboard (an empty text leaves it empty). False when
    // the clipboard could not be opened or the text could not be placed.
    static bool PlaceText(const std::wstring& text);

    std::wstring m_strText;
};

// Tells the volume display to show itself and brings up the system's volume
// flyout when there is one.
void ShowVolumeFlyout(HWND volumeOsdWindow);
