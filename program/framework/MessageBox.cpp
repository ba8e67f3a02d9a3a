#include "MessageBox.h"

#include <mutex>
#include <utility>

#include "Application.h"

namespace
{
std::mutex g_lock;
MessageBoxHandler g_handler;

UINT WithDefaultIcon(UINT type)
{
    if ((type & MB_ICONMASK) != 0)
        return type;
    switch (type & MB_TYPEMASK)
    {
    case MB_OK:
    case MB_OKCANCEL:
    case MB_ABORTRETRYIGNORE:
    case MB_RETRYCANCEL:
        return type | MB_ICONEXCLAMATION;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return type | MB_ICONQUESTION;
    default:
        return type;
    }
}
}

int ShowMessageBox(const std::wstring& text, UINT type, HWND owner, const wchar_t* caption)
{
    MessageBoxRequest request;
    request.owner = owner != nullptr ? owner : ::GetActiveWindow();
    request.text = text;
    if (caption != nullptr)
        request.caption = caption;
    else if (const CApplication* app = CApplication::Get())
        request.caption = app->Title();
    request.type = WithDefaultIcon(type);

    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        handler = g_handler;
    }
    if (handler)
        return handler(request);
    return ::MessageBoxW(request.owner, request.text.c_str(),
                         request.caption.empty() ? nullptr : request.caption.c_str(), request.type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    std::lock_guard<std::mutex> lock(g_lock);
    return std::exchange(g_handler, std::move(handler));
}
