#pragma once
// Low-level hooks installed by a test, each on a thread of its own with a
// message loop (as the system's own hooks run): they record every event they
// see and can swallow the ones a predicate picks.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "WaitFor.h"

namespace brmptest
{

struct MouseHookEvent
{
    WPARAM message = 0; // WM_LBUTTONDOWN, WM_MOUSEWHEEL, WM_XBUTTONUP, WM_MOUSEMOVE, ...
    POINT pt{};
    DWORD mouseData = 0; // wheel delta or X button in the high word
    DWORD flags = 0;     // LLMHF_INJECTED, LLMHF_LOWER_IL_INJECTED
    DWORD time = 0;
    ULONG_PTR extraInfo = 0;
    bool swallowed = false;

    short WheelDelta() const { return static_cast<short>(HIWORD(mouseData)); }
    WORD XButton() const { return HIWORD(mouseData); }
};

struct KeyHookEvent
{
    WPARAM message = 0; // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP
    DWORD vk = 0;
    DWORD scan = 0;
    DWORD flags = 0; // LLKHF_INJECTED, LLKHF_EXTENDED, LLKHF_UP, LLKHF_ALTDOWN
    DWORD time = 0;
    ULONG_PTR extraInfo = 0;
    bool swallowed = false;
};

// The shared part: the thread, its message loop and the hook's lifetime.
class HookThread
{
public:
    HookThread(const HookThread&) = delete;
    HookThread& operator=(const HookThread&) = delete;

    // True once the hook is installed (the constructor waits for it).
    bool IsInstalled() const { return m_installed; }

protected:
    HookThread(int hookType, HOOKPROC procedure);
    ~HookThread();
    // Call last in the derived constructor: the hook may fire at once and must
    // find every member constructed.
    void Start();
    // Call first in the derived destructor: no event may arrive while members go.
    void Stop();

    mutable std::mutex m_mutex;

private:
    static unsigned __stdcall ThreadMain(void* parameter);

    int m_hookType;
    HOOKPROC m_procedure;
    HANDLE m_thread = nullptr;
    HANDLE m_started = nullptr;
    std::atomic<DWORD> m_threadId{0};
    std::atomic<bool> m_installed{false};
};

class LowLevelMouseHook : public HookThread
{
public:
    using Predicate = std::function<bool(const MouseHookEvent&)>;

    // Moves are not recorded unless asked for: they come by the hundred.
    explicit LowLevelMouseHook(bool recordMoves = false);
    ~LowLevelMouseHook();

    // Events for which swallow returns true are not passed on (the hook returns 1).
    void SetSwallow(Predicate swallow);
    std::vector<MouseHookEvent> Events() const;
    void Clear();
    std::optional<MouseHookEvent> WaitForEvent(const Predicate& predicate, DWORD timeoutMs = kDefaultTimeoutMs);

private:
    static LRESULT CALLBACK Procedure(int code, WPARAM wParam, LPARAM lParam);

    bool m_recordMoves;
    Predicate m_swallow;
    std::vector<MouseHookEvent> m_events;
};

class LowLevelKeyboardHook : public HookThread
{
public:
    using Predicate = std::function<bool(const KeyHookEvent&)>;

    LowLevelKeyboardHook();
    ~LowLevelKeyboardHook();

    void SetSwallow(Predicate swallow);
    std::vector<KeyHookEvent> Events() const;
    void Clear();
    std::optional<KeyHookEvent> WaitForEvent(const Predicate& predicate, DWORD timeoutMs = kDefaultTimeoutMs);

private:
    static LRESULT CALLBACK Procedure(int code, WPARAM wParam, LPARAM lParam);

    Predicate m_swallow;
    std::vector<KeyHookEvent> m_events;
};

} // namespace brmptest
