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

// What a hook saw, in order, and the events it swallows: those a predicate picks.
template <typename Event>
class RecordingHook : public HookThread
{
public:
    using Predicate = std::function<bool(const Event&)>;

    // Events for which swallow returns true are not passed on (the hook returns 1).
    void SetSwallow(Predicate swallow)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_swallow = std::move(swallow);
    }
    std::vector<Event> Events() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.clear();
    }
    std::optional<Event> WaitForEvent(const Predicate& predicate, DWORD timeoutMs = kDefaultTimeoutMs)
    {
        std::optional<Event> found;
        WaitFor(
            [&] {
                std::lock_guard<std::mutex> lock(m_mutex);
                for (const Event& event : m_events)
                    if (predicate(event))
                    {
                        found = event;
                        return true;
                    }
                return false;
            },
            timeoutMs);
        return found;
    }

protected:
    using HookThread::HookThread;

    // Called by the hook procedure: marks whether the event is swallowed and
    // keeps it when asked; true when the hook is to swallow it.
    bool Record(Event& event, bool keep = true)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        event.swallowed = m_swallow && m_swallow(event);
        if (keep)
            m_events.push_back(event);
        return event.swallowed;
    }

private:
    Predicate m_swallow;
    std::vector<Event> m_events;
};

class LowLevelMouseHook : public RecordingHook<MouseHookEvent>
{
public:
    // Moves are not recorded unless asked for: they come by the hundred.
    explicit LowLevelMouseHook(bool recordMoves = false);
    ~LowLevelMouseHook();

private:
    static LRESULT CALLBACK Procedure(int code, WPARAM wParam, LPARAM lParam);

    bool m_recordMoves;
};

class LowLevelKeyboardHook : public RecordingHook<KeyHookEvent>
{
public:
    LowLevelKeyboardHook();
    ~LowLevelKeyboardHook();

private:
    static LRESULT CALLBACK Procedure(int code, WPARAM wParam, LPARAM lParam);
};

} // namespace brmptest
