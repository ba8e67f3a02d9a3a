#pragma once
// Physical input for the end-to-end tests: xdotool, a Unix program started from
// inside Wine, drives the X server's test extension. Wine reads these events like
// a real mouse and keyboard: low-level hooks see them without the injected flag.
//
// Coordinates are screen coordinates of the virtual desktop (it covers the whole
// X screen at 0,0). Buttons use X numbers: 1 left, 2 middle, 3 right, 4/5 wheel
// up/down, 6/7 wheel left/right, 8/9 the X buttons (back, forward).
// Keys are X keysym names: "a", "Return", "F5", "shift+a", "ctrl+alt+Delete".
//
// Each call returns once xdotool has finished, which means the X server has the
// events; Wine delivers them a moment later, so wait for their effect with a
// bounded poll (Probe::WaitForRecord, WaitFor).

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "WaitFor.h"

namespace brmptest
{

class PhysicalInput
{
public:
    static constexpr int kLeft = 1;
    static constexpr int kMiddle = 2;
    static constexpr int kRight = 3;
    static constexpr int kWheelUp = 4;
    static constexpr int kWheelDown = 5;
    static constexpr int kWheelLeft = 6;
    static constexpr int kWheelRight = 7;
    static constexpr int kBack = 8;    // XBUTTON1
    static constexpr int kForward = 9; // XBUTTON2

    // Runs "xdotool <arguments...>" (each argument passed as it is, no shell) and
    // waits until it ends. Several commands may be chained in one call, as
    // xdotool allows: {"mousemove", "10", "20", "click", "1"}.
    static ::testing::AssertionResult Run(const std::vector<std::wstring>& arguments, DWORD timeoutMs = 10000);
    // As Run, for xdotool commands that answer: output receives what xdotool printed.
    static ::testing::AssertionResult Query(const std::vector<std::wstring>& arguments, std::string& output,
                                            DWORD timeoutMs = 10000);

    // The X window in which Wine shows the top-level window of window; 0 when none.
    static unsigned long XWindowOf(HWND window);
    // Makes the X server ready to give xdotool's input to window's top-level
    // window: waits until Wine has mapped its X window (a click before that
    // reaches the window below it), and puts the X input focus on it. Wine
    // gives a key to the thread of the window whose X window the X server
    // delivered it to: the one with the X focus, or the one under the pointer
    // inside it. It moves the X focus to a window it activates, but a window
    // activated before it was mapped gets the X focus only when Wine sees the
    // mapping, and that request is at times refused (traces show the mapping
    // and no focus event after it): the keys then go to the window that kept
    // the X focus, or, once that one is hidden, to whatever window is under
    // the pointer. Fails when the X focus is then on no window of window's thread.
    static ::testing::AssertionResult PrepareForInput(HWND window, DWORD timeoutMs = 10000);

    static ::testing::AssertionResult MoveTo(int x, int y);
    // Moves there and waits until the system's cursor stands there too, so that
    // the next click lands where the test means it.
    static ::testing::AssertionResult MoveToAndWait(int x, int y, DWORD timeoutMs = kDefaultTimeoutMs);
    static ::testing::AssertionResult MoveBy(int dx, int dy);
    static ::testing::AssertionResult Click(int button, int count = 1);
    // Moves, then clicks, in one xdotool run.
    static ::testing::AssertionResult ClickAt(int x, int y, int button, int count = 1);
    static ::testing::AssertionResult ButtonDown(int button);
    static ::testing::AssertionResult ButtonUp(int button);

    // Notches of the wheel (positive up / right, negative down / left).
    static ::testing::AssertionResult Wheel(int notches);
    static ::testing::AssertionResult HorizontalWheel(int notches);

    static ::testing::AssertionResult KeyDown(const std::wstring& keysym);
    static ::testing::AssertionResult KeyUp(const std::wstring& keysym);
    // Press and release; chords with "+": "ctrl+c".
    static ::testing::AssertionResult KeyTap(const std::wstring& keysym);
    // Types text into whatever has the focus. ASCII is safe; other characters
    // depend on the Unix locale the command line is converted to.
    static ::testing::AssertionResult Type(const std::wstring& text);

    // The Unix path of a Windows path (Wine only), empty when there is none.
    static std::string UnixPath(const std::wstring& windowsPath);

    // Starts a Unix program (a command line such as "/bin/sh -c ..."); it runs
    // on its own, with nothing to wait on or close. False when it did not start.
    static bool StartUnixProgram(std::wstring commandLine);

    // A button pressed for a test's road and let go when the test leaves it
    // early, so that no failed assertion leaves it pressed for the next test.
    class HeldButton
    {
    public:
        explicit HeldButton(int button) : m_button(button), m_held(ButtonDown(button)) {}
        ~HeldButton()
        {
            if (m_held)
                ButtonUp(m_button);
        }
        HeldButton(const HeldButton&) = delete;
        HeldButton& operator=(const HeldButton&) = delete;
        bool Held() const { return m_held; }
        ::testing::AssertionResult Release()
        {
            m_held = false;
            return ButtonUp(m_button);
        }

    private:
        int m_button;
        bool m_held;
    };

private:
    static ::testing::AssertionResult RunTool(const wchar_t* tool, const std::vector<std::wstring>& arguments,
                                              DWORD timeoutMs, std::string* output);
};

// Another program's click, for the contrast with physical input: a down and an
// up through SendInput (the system marks them injected), with extra as their
// extra information and data as their mouse data (XBUTTON1 or 2 for X buttons).
// True when both went in.
inline bool SendProgramClick(DWORD downFlag, DWORD upFlag, ULONG_PTR extra, DWORD data = 0)
{
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = downFlag;
    click[1].mi.dwFlags = upFlag;
    click[0].mi.mouseData = click[1].mi.mouseData = data;
    click[0].mi.dwExtraInfo = click[1].mi.dwExtraInfo = extra;
    return ::SendInput(2, click, sizeof(INPUT)) == 2;
}

} // namespace brmptest
