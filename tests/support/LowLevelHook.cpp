#include "LowLevelHook.h"

#include <process.h>

namespace brmptest
{

namespace
{

// The hook object of the thread that runs the hook: each hook has its own thread.
thread_local void* t_owner = nullptr;

} // namespace

HookThread::HookThread(int hookType, HOOKPROC procedure) : m_hookType(hookType), m_procedure(procedure) {}

void HookThread::Start()
{
    m_started = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, ThreadMain, this, 0, nullptr));
    if (m_thread == nullptr)
        return;
    ::WaitForSingleObject(m_started, kDefaultTimeoutMs);
}

HookThread::~HookThread()
{
    Stop();
    if (m_started != nullptr)
        ::CloseHandle(m_started);
}

void HookThread::Stop()
{
    if (m_thread == nullptr)
        return;
    if (m_threadId != 0)
        ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    ::WaitForSingleObject(m_thread, kDefaultTimeoutMs);
    ::CloseHandle(m_thread);
    m_thread = nullptr;
}

unsigned __stdcall HookThread::ThreadMain(void* parameter)
{
    auto* self = static_cast<HookThread*>(parameter);
    t_owner = self;
    // The queue exists before anyone learns the thread id and posts to it.
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    HHOOK hook = ::SetWindowsHookExW(self->m_hookType, self->m_procedure, ::GetModuleHandleW(nullptr), 0);
    self->m_installed = hook != nullptr;
    self->m_threadId = ::GetCurrentThreadId();
    ::SetEvent(self->m_started);
    if (hook == nullptr)
        return 1;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::UnhookWindowsHookEx(hook);
    return 0;
}

LowLevelMouseHook::LowLevelMouseHook(bool recordMoves)
    : RecordingHook(WH_MOUSE_LL, Procedure), m_recordMoves(recordMoves)
{
    Start();
}

LowLevelMouseHook::~LowLevelMouseHook() { Stop(); }

LRESULT CALLBACK LowLevelMouseHook::Procedure(int code, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<LowLevelMouseHook*>(static_cast<HookThread*>(t_owner));
    if (code == HC_ACTION && self != nullptr)
    {
        const auto* data = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        MouseHookEvent event;
        event.message = wParam;
        event.pt = data->pt;
        event.mouseData = data->mouseData;
        event.flags = data->flags;
        event.time = data->time;
        event.extraInfo = data->dwExtraInfo;
        if (self->Record(event, wParam != WM_MOUSEMOVE || self->m_recordMoves))
            return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LowLevelKeyboardHook::LowLevelKeyboardHook() : RecordingHook(WH_KEYBOARD_LL, Procedure) { Start(); }

LowLevelKeyboardHook::~LowLevelKeyboardHook() { Stop(); }

LRESULT CALLBACK LowLevelKeyboardHook::Procedure(int code, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<LowLevelKeyboardHook*>(static_cast<HookThread*>(t_owner));
    if (code == HC_ACTION && self != nullptr)
    {
        const auto* data = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        KeyHookEvent event;
        event.message = wParam;
        event.vk = data->vkCode;
        event.scan = data->scanCode;
        event.flags = data->flags;
        event.time = data->time;
        event.extraInfo = data->dwExtraInfo;
        if (self->Record(event))
            return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace brmptest
