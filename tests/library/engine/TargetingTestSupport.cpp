#include "TargetingTestSupport.h"

#include <set>
#include <utility>

namespace targetingtest
{
namespace
{
LRESULT CALLBACK TestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCHITTEST)
    {
        const LONG_PTR hit = ::GetWindowLongPtrW(window, GWLP_USERDATA);
        if (hit != 0)
            return hit;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClassOnce(const wchar_t* className)
{
    static std::set<std::wstring> registered;
    if (!registered.insert(className).second)
        return;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TestProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className;
    ::RegisterClassW(&wc);
}
}

TestWindow TestWindow::TopLevel(const wchar_t* className, RECT rect, const wchar_t* title, DWORD exStyle, HWND owner)
{
    RegisterClassOnce(className);
    HWND window = ::CreateWindowExW(WS_EX_TOPMOST | exStyle, className, title, WS_POPUP | WS_VISIBLE, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, owner, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    ::UpdateWindow(window);
    return TestWindow(window);
}

TestWindow TestWindow::Child(const wchar_t* className, HWND parent, RECT rect, bool visible, const wchar_t* title)
{
    RegisterClassOnce(className);
    HWND window = ::CreateWindowExW(0, className, title, WS_CHILD | (visible ? WS_VISIBLE : 0), rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    return TestWindow(window);
}

TestWindow::~TestWindow()
{
    Destroy();
}

TestWindow::TestWindow(TestWindow&& other) noexcept : m_hWnd(std::exchange(other.m_hWnd, nullptr)) {}

TestWindow& TestWindow::operator=(TestWindow&& other) noexcept
{
    if (this != &other)
    {
        Destroy();
        m_hWnd = std::exchange(other.m_hWnd, nullptr);
    }
    return *this;
}

void TestWindow::SetHitTest(LRESULT hit)
{
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, hit);
}

void TestWindow::Destroy()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

POINT CentreOf(HWND window)
{
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    return POINT{rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
}

POINT At(HWND window, int dx, int dy)
{
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    return POINT{rect.left + dx, rect.top + dy};
}

std::wstring OwnExecutableName()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full = path;
    const size_t slash = full.find_last_of(L'\\');
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}
}
