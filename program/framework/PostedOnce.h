#pragma once
// A message a window posts to itself, so that some work runs once the current
// message is done, with at most one on its way: an ask while one is on its way
// adds nothing, and the one that arrives does the work for all of them.
//
//   CPostedOnce m_refresh{kRefreshMessage};
//   m_refresh.Ask(m_hWnd);                          // wherever the work is due
//   LRESULT OnRefresh(WPARAM, LPARAM) { m_refresh.Arrived(); ... }
//
// A post that fails (a full queue) leaves nothing on its way: the next ask
// posts again, rather than none ever again.

#include <windows.h>

class CPostedOnce
{
public:
    explicit CPostedOnce(UINT message) : m_message(message) {}

    // Posts the message to window unless one is on its way. False when none
    // is on its way afterwards (the post failed; GetLastError says why).
    bool Ask(HWND window)
    {
        if (!m_onItsWay)
            m_onItsWay = ::PostMessageW(window, m_message, 0, 0) != FALSE;
        return m_onItsWay;
    }
    // The message's handler calls this first: later asks post again.
    void Arrived() { m_onItsWay = false; }

private:
    UINT m_message;
    bool m_onItsWay = false;
};
