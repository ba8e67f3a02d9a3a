#pragma once
// Binds a window object to the window that CreateWindowEx or CreateDialog is
// about to make, before the window's first message (a thread-local CBT hook
// that lives for the one call; nested creations stack).

#include <windows.h>

#include <memory>

class CWindow;

class CWindowCreation
{
public:
    explicit CWindowCreation(CWindow* window);
    ~CWindowCreation();
    CWindowCreation(const CWindowCreation&) = delete;
    CWindowCreation& operator=(const CWindowCreation&) = delete;

    // False when the hook could not be installed.
    bool Installed() const { return m_hook != nullptr; }
    // False when the object was deleted while its window was made (a refused
    // creation whose PostNcDestroy deletes the object).
    bool ObjectAlive() const { return *m_alive; }

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);

    CWindow* m_window;
    std::shared_ptr<bool> m_alive;
    CWindow* m_previousPending;
    HHOOK m_hook = nullptr;
};
