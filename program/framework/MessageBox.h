#pragma once
// The program's message boxes: one function, with a seam that tests answer.
// Texts arrive translated; the box adds nothing of its own but the caption.

#include <windows.h>

#include <functional>
#include <string>

struct MessageBoxRequest
{
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};

// Answers a box in place of the system (returns IDOK, IDYES, ...).
using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Shows text in a message box and returns the button pressed. Null caption:
// the application's title. Without an icon in type, OK and OK/Cancel boxes
// get the exclamation icon, Yes/No boxes the question icon. Null owner: the
// thread's active window.
int ShowMessageBox(const std::wstring& text, UINT type = MB_OK, HWND owner = nullptr,
                   const wchar_t* caption = nullptr);

// Returns the previous handler; an empty handler shows real boxes.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Installs a handler for a scope (tests).
class ScopedMessageBoxHandler
{
public:
    explicit ScopedMessageBoxHandler(MessageBoxHandler handler) : m_previous(SetMessageBoxHandler(std::move(handler))) {}
    ~ScopedMessageBoxHandler() { SetMessageBoxHandler(std::move(m_previous)); }
    ScopedMessageBoxHandler(const ScopedMessageBoxHandler&) = delete;
    ScopedMessageBoxHandler& operator=(const ScopedMessageBoxHandler&) = delete;

private:
    MessageBoxHandler m_previous;
};
