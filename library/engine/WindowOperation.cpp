// Moving or sizing a window by dragging the mouse.

#include "WindowOperation.h"

#include <new>

#include "Globals.h"
#include "Logger.h"
#include "ProfileTargeting.h"

namespace
{
// The drag may be ended on another thread than the hook's (a profile change on
// the timer thread): the hook only tries this lock, the others wait for it.
struct OperationLock
{
    OperationLock() { ::InitializeCriticalSection(&cs); }
    ~OperationLock() { ::DeleteCriticalSection(&cs); }
    CRITICAL_SECTION cs;
};
OperationLock g_operationLock;
}

CWindowOperation::CWindowOperation(int operation, HWND window, POINT point)
    : m_nOperation(operation), m_hWnd(GetCaptionedActiveWindow(window)), m_ptLast(point)
{
    if (m_hWnd == nullptr || !::GetWindowRect(m_hWnd, &m_rc))
    {
        m_hWnd = nullptr;
        return;
    }
    m_ptOffset = {point.x - m_rc.left, point.y - m_rc.top};
    m_bSizable = (::GetWindowLongW(m_hWnd, GWL_STYLE) & WS_THICKFRAME) != 0;
}

CWindowOperation::~CWindowOperation() = default;

CWindowOperation::Step CWindowOperation::Next(int operation, bool sizable, RECT rect, POINT last, POINT offset,
                                              POINT point)
{
    Step step{false, rect};
    if (point.x == last.x || point.y == last.y)
        return step;
    if (operation == Move)
    {
        const LONG width = rect.right - rect.left;
        const LONG height = rect.bottom - rect.top;
        step.rect.left = point.x - offset.x;
        step.rect.top = point.y - offset.y;
        step.rect.right = step.rect.left + width;
        step.rect.bottom = step.rect.top + height;
        step.changed = true;
    }
    else if (operation == Size && sizable)
    {
        step.rect.right += point.x - last.x;
        step.rect.bottom += point.y - last.y;
        // A window is never sized inside out.
        if (step.rect.right < step.rect.left + 1)
            step.rect.right = step.rect.left + 1;
        if (step.rect.bottom < step.rect.top + 1)
            step.rect.bottom = step.rect.top + 1;
        step.changed = true;
    }
    return step;
}

void CWindowOperation::MouseMove(POINT point)
{
    if (m_hWnd == nullptr)
        return;
    if (point.x == m_ptLast.x || point.y == m_ptLast.y)
        return;
    const Step step = Next(m_nOperation, m_bSizable, m_rc, m_ptLast, m_ptOffset, point);
    if (step.changed)
    {
        // Asynchronous: the hook thread must not wait for the window's thread.
        const UINT flags = SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_ASYNCWINDOWPOS |
                           (m_nOperation == Move ? SWP_NOSIZE : SWP_NOMOVE);
        ::SetWindowPos(m_hWnd, nullptr, step.rect.left, step.rect.top, step.rect.right - step.rect.left,
                       step.rect.bottom - step.rect.top, flags);
        m_rc = step.rect;
    }
    m_ptLast = point;
}

bool StartWindowOperation(int operation, HWND window, POINT point)
{
    ::EnterCriticalSection(&g_operationLock.cs);
    const bool start = g_threads.pWindowOperation == nullptr;
    if (start)
    {
        auto* created = new (std::nothrow) CWindowOperation(operation, window, point);
        if (created != nullptr && created->Window() == nullptr)
            CLogger::LogDebug(L"CWindowOperation: No window to %s under the cursor (0x%08X)",
                              operation == CWindowOperation::Size ? L"size" : L"move",
                              HandleNumber(window));
        g_threads.pWindowOperation = created;
    }
    ::LeaveCriticalSection(&g_operationLock.cs);
    return start && g_threads.pWindowOperation != nullptr;
}

void EndWindowOperation()
{
    ::EnterCriticalSection(&g_operationLock.cs);
    CWindowOperation* operation = g_threads.pWindowOperation;
    g_threads.pWindowOperation = nullptr;
    ::LeaveCriticalSection(&g_operationLock.cs);
    delete operation;
}

void StepWindowOperation(POINT point)
{
    if (g_threads.pWindowOperation == nullptr || !::TryEnterCriticalSection(&g_operationLock.cs))
        return;
    if (CWindowOperation* operation = g_threads.pWindowOperation)
        operation->MouseMove(point);
    ::LeaveCriticalSection(&g_operationLock.cs);
}
