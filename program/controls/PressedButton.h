#pragma once
// The "{ }" key capture button of the keystroke editor. A short click asks the
// parent for tags (a WM_COMMAND click); holding it turns the keyboard into a
// tag source: a low-level keyboard hook keeps the keys Windows would act on
// (modifiers, Windows keys, Tab, Esc, Enter, lock, media and browser keys)
// from acting and reports each one once to the parent. Its drop-down arrow
// (or a right click where split buttons are missing) opens the tag menu.
//
// Sent to the parent: WM_COMMAND (id, click) for a short click;
// "BRMPSimKeyCustomKeyRecieved" (virtual key, 1 when extended) for each
// captured key; "BRMPSimKeyButtonReleased" (button object, 0) when a press
// lasted 500 ms or more or captured a key.
//
// The hook never outlives the press: it goes with the button's release, a
// drop-down, a lost mouse capture, and the button's window and object.

#include <windows.h>

#include <optional>

#include "Logger.h"
#include "Window.h"

// What the capture does with one key event: plain rules over the keys already
// reported, kept apart from the hook so they can be checked without one.
struct KeyCaptureState
{
    BYTE keys[256] = {};   // 0x80: reported and still down
    bool altGr = false;    // a right Alt event was seen: the left Ctrl that comes with it is not a key
    void Clear();
};

struct KeyCaptureDecision
{
    bool report = false;   // tell the parent about the key
    bool swallow = false;  // keep the event from reaching any window
};

// windowsKeyDown: a Windows key is down by the system's key state.
KeyCaptureDecision DecideCapturedKey(KeyCaptureState& state, DWORD virtualKey, bool keyUp, bool windowsKeyDown);

class CPressedButton : public CWindow
{
public:
    CPressedButton();
    ~CPressedButton() override;

    // The tag menu, owned by the caller; shown from the arrow or a right click.
    void SetDropDownMenu(HMENU menu) { m_menu = menu; }
    HMENU GetDropDownMenu() const { return m_menu; }

    // The left button went down on the button and has not been released.
    bool IsHeld() const { return m_held; }
    // Whether a capture hook exists in the process.
    static bool IsCapturing();

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    void PreSubclassWindow() override;

private:
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnRButtonUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnCaptureChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    LRESULT OnDropDown(NMHDR* header);

    void ShowMenu(const RECT& screenRect, const RECT* exclude);
    // Removes the hook when this button owns it; the held state ends.
    void StopCapture();
    void ReportKey(DWORD virtualKey, bool extended);

    static LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam);
    static void RemoveHook(bool fromHook = false);

    int m_osVersion;
    HMENU m_menu = nullptr;
    bool m_held = false;
    bool m_keyPressed = false;
    DWORD m_pressTime = 0;

    // One capture at a time in the process; the hook runs on the UI thread.
    static HHOOK s_hook;
    static std::optional<CDeferredLogWrites> s_hookLog;
    static CPressedButton* s_capturing;
    static KeyCaptureState s_state;
};
