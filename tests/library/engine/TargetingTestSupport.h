#pragma once
// Real windows for the targeting tests: top-level windows on top of the desktop
// and children inside them, of classes the test names, destroyed with their owner.

#include <windows.h>

#include <string>

namespace targetingtest
{
// A window that lives as long as the object. Its WM_NCHITTEST answer can be set.
class TestWindow
{
public:
    // A visible topmost pop-up at rect (screen coordinates).
    static TestWindow TopLevel(const wchar_t* className, RECT rect, const wchar_t* title = L"", DWORD exStyle = 0,
                               HWND owner = nullptr);
    // A visible child at rect (parent's client coordinates).
    static TestWindow Child(const wchar_t* className, HWND parent, RECT rect, bool visible = true, const wchar_t* title = L"");

    TestWindow() = default;
    ~TestWindow();
    TestWindow(TestWindow&& other) noexcept;
    TestWindow& operator=(TestWindow&& other) noexcept;
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return m_hWnd; }
    void SetHitTest(LRESULT hit);
    void Destroy();

private:
    explicit TestWindow(HWND window) : m_hWnd(window) {}
    HWND m_hWnd = nullptr;
};

// The centre of a window in screen coordinates.
POINT CentreOf(HWND window);
// Screen point at offset (dx, dy) from the window's top-left corner.
POINT At(HWND window, int dx, int dy);
// This test executable's file name ("engine_tests.exe").
std::wstring OwnExecutableName();
}
