#pragma once
// Global hotkeys on a hidden window of their own thread. The owner fills the
// entry list while the thread is stopped, starts the thread (which registers
// every entry and then calls an entry's callback for each WM_HOTKEY, on that
// thread), and stops it before it changes the list again.

#include <windows.h>

#include <vector>

#include "Handles.h"

using HotkeyCallback = void (*)(void* context, int value);

struct HotkeyEntry
{
    WORD modifiers = 0;     // RegisterHotKey modifiers (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN)
    WORD virtualKey = 0;
    HotkeyCallback callback = nullptr;
    ATOM atom = 0;          // the hotkey's identifier; 0 while not registered
    bool removed = false;   // free for reuse
    int value = 0;          // handed to the callback
};

class HotkeyHandler
{
public:
    // Result codes.
    enum : int
    {
        Ok = 0,
        ClassFailed = 1,
        WindowFailed = 2,
        NoAtom = 3,
        RegisterFailed = 4,
        Exists = 6,         // AddHotkey: a live entry has these keys; Stop: the mutex could not be had
        Reused = 7,
    };

    HotkeyHandler() = default;
    ~HotkeyHandler();
    HotkeyHandler(const HotkeyHandler&) = delete;
    HotkeyHandler& operator=(const HotkeyHandler&) = delete;

    // Adds an entry without registering it (only while the thread is stopped).
    // Ok: appended; Reused: a removed entry was overwritten; Exists: a live
    // entry has the same modifiers and key (nothing added). entry receives the
    // entry's number in every case.
    int AddHotkey(WORD modifiers, WORD virtualKey, HotkeyCallback callback, int value, int* entry);

    // Starts the thread, which registers the entries, and waits until it has
    // reported. Nothing happens while running, without a live entry, or when the
    // start mutex cannot be had. Afterwards IsRunning tells whether hotkeys are live.
    void Start(void* context);

    // Unregisters every hotkey and ends the thread. 0 when nothing was running,
    // Exists when the mutex could not be had, else the thread's exit code.
    int Stop();

    // Marks every entry free for reuse (after Stop).
    void MarkAllRemoved();

    bool IsRunning() const { return m_running; }
    DWORD ThreadId() const { return m_threadId; }
    HWND Window() const { return m_window; }
    // The entries (read them only while the thread is stopped, or for tests).
    const std::vector<HotkeyEntry>& Entries() const { return m_entries; }

    // The hotkey's name for the log; "?" for a value outside the table.
    static const wchar_t* HotkeyName(int value);

private:
    static unsigned __stdcall HotkeyHandlerThread(void* self);
    static LRESULT CALLBACK HotkeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    unsigned RunThread();
    int CreateHotkeyWindow();
    int RegisterHotkey(int entry);
    int UnregisterHotkey(int entry);
    void UnregisterAll();
    void Dispatch(WPARAM id);
    bool LockMutex();
    void ReleaseMutex();

    std::vector<HotkeyEntry> m_entries;
    HWND m_window = nullptr;
    UniqueHandle m_thread;
    DWORD m_threadId = 0;
    int m_startResult = 0;
    UniqueHandle m_startEvent;
    void* m_context = nullptr;
    UniqueHandle m_heldMutex; // the named mutex while this object holds it (created or opened)
    bool m_running = false;
};
