#include "MessageLoop.h"

#include "Application.h"
#include "Window.h"
#include "WindowProcGuard.h"

bool PreTranslateThreadMessage(MSG* msg)
{
    try
    {
        if (CApplication* app = CApplication::Get())
            return app->PreTranslateMessage(msg) != FALSE;
        return CWindow::WalkPreTranslateTree(msg);
    }
    catch (...)
    {
        LogWindowProcException(msg->hwnd, msg->message);
        return false;
    }
}

bool PumpMessagesUntil(const std::function<bool()>& done, int* quitCode)
{
    MSG msg = {};
    while (!done())
    {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
        {
            if (quitCode != nullptr)
                *quitCode = got == 0 ? static_cast<int>(msg.wParam) : -1;
            return false;
        }
        if (!PreTranslateThreadMessage(&msg))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return true;
}
