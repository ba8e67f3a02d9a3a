#include "WindowCreation.h"

#include "Window.h"
#include "WindowProcGuard.h"

namespace
{
// The object waiting for the next window this thread creates.
thread_local CWindow* t_pending = nullptr;
}

CWindowCreation::CWindowCreation(CWindow* window)
    : m_window(window), m_alive(window->m_alive), m_previousPending(t_pending)
{
    t_pending = window;
    m_window->m_beingCreated = true;
    m_hook = ::SetWindowsHookExW(WH_CBT, CbtProc, nullptr, ::GetCurrentThreadId());
}

CWindowCreation::~CWindowCreation()
{
    if (m_hook != nullptr)
        ::UnhookWindowsHookEx(m_hook);
    t_pending = m_previousPending;
    if (*m_alive)
        m_window->m_beingCreated = false;
}

LRESULT CALLBACK CWindowCreation::CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    // The first window created after the object asked for it is its own;
    // children made while it is created come later and are left alone.
    if (code == HCBT_CREATEWND && t_pending != nullptr)
    {
        CWindow* window = t_pending;
        t_pending = nullptr;
        const HWND hwnd = reinterpret_cast<HWND>(wParam);
        try
        {
            if (window->Bind(hwnd))
            {
                window->m_ownsWindow = true;
                window->PreSubclassWindow();
            }
        }
        catch (...)
        {
            LogWindowProcException(hwnd, WM_NCCREATE);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
