#pragma once
// The hourglass for the length of a scope: a long operation on the user
// interface thread shows it, and the previous cursor comes back at the end.

#include <windows.h>

class CWaitCursor
{
public:
    CWaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~CWaitCursor() { ::SetCursor(m_previous); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    HCURSOR m_previous;
};
