#include "HotkeyHandler.h"

#include <process.h>

#include <exception>
#include <iterator>
#include <utility>

#include "CaughtException.h"
#include "CrashReport.h"
#include "Hooks.h"
#include "Logger.h"
#include "StringFormat.h"
#include "ThreadLock.h"

namespace
{
const wchar_t kWindowClass[] = L"HKWND-CLS-BC090410-3872-49E5-BDF7-1BB8056BF696";
const wchar_t kWindowTitle[] = L"BRMPHotkeyHandlerWindow";
const wchar_t kAtomFormat[] = L"3D8949C7-0516-432d-B185-D555B4833FF7-%08lX";
const wchar_t kMutexName[] = L"{97B7C451-2467-4C3C-BB91-25AC918C2430}";

// Another copy of the program that holds the start mutex and hangs must not
// hang this one's user interface with it.
constexpr DWORD kMutexWaitMs = 10000;
constexpr DWORD kThreadExitWaitMs = 2000;
// A hotkey's action inside the library's lock is given this much longer: a
// thread terminated while holding the lock would leave it held for ever.
constexpr DWORD kLockHolderExtraWaitMs = 10000;

const wchar_t* const kHotkeyNames[] = {
    L"Layer1",    L"Layer2",       L"Layer3",     L"Layer4",        L"Layer5",
    L"NextLayer", L"PreviousLayer", L"Disable",   L"Debug",         L"SaveIcons",
    L"RestoreIcons", L"Lock X",    L"Lock Y",     L"Layer6",        L"Layer7",
    L"Layer8",    L"Layer9",       L"Layer10",    L"OpenSettings",  L"SnapCursor",
    L"SnapActiveWindow", L"SnapProfileWindow", L"CycleCursorSpeed", L"InvertX", L"InvertY",
};

HINSTANCE ModuleInstance()
{
    return ::GetModuleHandleW(nullptr);
}
}

const wchar_t* HotkeyHandler::HotkeyName(int value)
{
    if (value < 0 || value >= static_cast<int>(std::size(kHotkeyNames)))
        return L"?";
    return kHotkeyNames[value];
}

HotkeyHandler::~HotkeyHandler()
{
    if (m_running)
        Stop();
}

int HotkeyHandler::AddHotkey(WORD modifiers, WORD virtualKey, HotkeyCallback callback, int value, int* entry)
{
    // Duplicates are looked for before a free slot is reused: two entries with
    // the same keys would register one combination twice under one identifier.
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        const HotkeyEntry& e = m_entries[i];
        if (!e.removed && e.modifiers == modifiers && e.virtualKey == virtualKey)
        {
            if (entry)
                *entry = static_cast<int>(i);
            return Exists;
        }
    }
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        HotkeyEntry& e = m_entries[i];
        if (e.removed)
        {
            e = HotkeyEntry{modifiers, virtualKey, callback, 0, false, value};
            if (entry)
                *entry = static_cast<int>(i);
            return Reused;
        }
    }
    m_entries.push_back(HotkeyEntry{modifiers, virtualKey, callback, 0, false, value});
    if (entry)
        *entry = static_cast<int>(m_entries.size() - 1);
    return Ok;
}

void HotkeyHandler::MarkAllRemoved()
{
    for (HotkeyEntry& e : m_entries)
    {
        e.removed = true;
        e.atom = 0;
    }
}

bool HotkeyHandler::LockMutex()
{
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kMutexName));
    if (!mutex && ::GetLastError() == ERROR_ACCESS_DENIED)
        mutex.Reset(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kMutexName));
    if (!mutex)
    {
        CLogger::LogOSMessage(::GetLastError(), L"HotkeyHandler: Unable to create or open the hotkey mutex.");
        return false;
    }
    const DWORD wait = ::WaitForSingleObject(mutex.Get(), kMutexWaitMs);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
    {
        CLogger::LogMessage(L"HotkeyHandler: Timed out waiting for the hotkey mutex.");
        return false;
    }
    // Whichever handle was waited on is the one released: a mutex acquired and
    // never released would block every later start of every copy.
    m_heldMutex = std::move(mutex);
    return true;
}

void HotkeyHandler::ReleaseMutex()
{
    if (m_heldMutex)
    {
        ::ReleaseMutex(m_heldMutex.Get());
        m_heldMutex.Reset();
    }
}

void HotkeyHandler::Start(void* context)
{
    // A list of freed entries only would run a thread that registers nothing.
    bool anyLive = false;
    for (const HotkeyEntry& e : m_entries)
        anyLive = anyLive || !e.removed;
    if (m_running || !anyLive)
        return;
    if (!LockMutex())
        return;

    m_startEvent.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (m_startEvent)
    {
        m_context = context;
        m_startResult = 0;
        unsigned threadId = 0;
        const uintptr_t thread = ::_beginthreadex(nullptr, 0, &HotkeyHandler::HotkeyHandlerThread, this, 0, &threadId);
        if (thread == 0)
        {
            CLogger::LogOSMessage(::GetLastError(), L"HotkeyHandler: Unable to start the hotkey thread.");
            m_threadId = 0;
            m_thread.Reset();
        }
        else
        {
            m_thread.Reset(reinterpret_cast<HANDLE>(thread));
            m_running = true;
            // The thread signals on every path; should it die without doing so,
            // its end releases the wait instead.
            HANDLE waits[] = {m_startEvent.Get(), m_thread.Get()};
            const DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0 || m_startResult != 0)
            {
                ::WaitForSingleObject(m_thread.Get(), kThreadExitWaitMs);
                m_thread.Reset();
                m_threadId = 0;
                m_window = nullptr;
                m_running = false;
            }
        }
    }
    else
    {
        CLogger::LogOSMessage(::GetLastError(), L"HotkeyHandler: Unable to create the start event.");
    }
    ReleaseMutex();
}

int HotkeyHandler::Stop()
{
    if (!m_running || !m_thread)
    {
        m_startEvent.Reset();
        return 0;
    }
    // Our own thread is ended even when the mutex cannot be had: the owner
    // changes the entry list right after, which the thread must no longer read.
    const bool locked = LockMutex();

    // The thread unregisters its hotkeys itself when its loop ends: only the
    // thread that owns the window may do so.
    ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    bool ended = ::WaitForSingleObject(m_thread.Get(), kThreadExitWaitMs) == WAIT_OBJECT_0;
    if (!ended && CThreadLock::m_sdwOwner == m_threadId)
        ended = ::WaitForSingleObject(m_thread.Get(), kLockHolderExtraWaitMs) == WAIT_OBJECT_0;
    if (!ended)
    {
        const bool heldLock = CThreadLock::m_sdwOwner == m_threadId;
        CLogger::LogThreadDebug(L"Hotkey message loop thread [0x%X] did not exit in a timely fashion - terminate it...",
                                HandleNumber(m_thread.Get()));
        ::TerminateThread(m_thread.Get(), 0);
        ::WaitForSingleObject(m_thread.Get(), kThreadExitWaitMs);
        if (heldLock)
            CThreadLock::ResetGlobalCS();
        // Its window died with it, and its hotkeys with the window; the atoms remain.
        for (HotkeyEntry& e : m_entries)
        {
            if (e.atom != 0)
                ::GlobalDeleteAtom(e.atom);
            e.atom = 0;
        }
    }
    DWORD exitCode = 0;
    ::GetExitCodeThread(m_thread.Get(), &exitCode);
    m_thread.Reset();
    m_threadId = 0;
    m_window = nullptr;
    ::UnregisterClassW(kWindowClass, ModuleInstance());
    m_startEvent.Reset();
    m_running = false;
    if (locked)
        ReleaseMutex();
    return static_cast<int>(exitCode);
}

unsigned __stdcall HotkeyHandler::HotkeyHandlerThread(void* self)
{
    std::set_terminate(&CrashTerminateHandler);
    SetThreadName(::GetCurrentThreadId(), "BRMP Hotkey Handler Thread");
    return static_cast<HotkeyHandler*>(self)->RunThread();
}

unsigned HotkeyHandler::RunThread()
{
    if (m_threadId != 0)
        CLogger::LogMessage(L"HotkeyHandler[0x%X]: Warning - instance ThreadID is not 0.", ::GetCurrentThreadId());

    const int created = CreateHotkeyWindow();
    if (created != Ok)
    {
        m_startResult = created;
        ::SetEvent(m_startEvent.Get());
        return static_cast<unsigned>(created);
    }

    int failures = 0;
    int last = Ok;
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        const int result = RegisterHotkey(static_cast<int>(i));
        if (result != Ok)
        {
            ++failures;
            last = result;
        }
    }
    if (failures == static_cast<int>(m_entries.size()))
    {
        UnregisterAll();
        ::DestroyWindow(m_window);
        ::UnregisterClassW(kWindowClass, ModuleInstance());
        m_window = nullptr;
        m_startResult = last;
        ::SetEvent(m_startEvent.Get());
        return static_cast<unsigned>(last);
    }

    m_threadId = ::GetCurrentThreadId();
    m_startResult = Ok;
    ::SetEvent(m_startEvent.Get());

    MSG msg;
    for (;;)
    {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (msg.message == WM_HOTKEY)
            Dispatch(msg.wParam);
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    CLogger::LogThreadDebug(L"Exiting Hotkey Thread MessageLoop...");
    UnregisterAll();
    if (m_window)
        ::DestroyWindow(m_window);
    return 0;
}

void HotkeyHandler::Dispatch(WPARAM id)
{
    const ATOM atom = static_cast<ATOM>(id & 0xFFFF);
    if (atom == 0)
        return;
    for (const HotkeyEntry& e : m_entries)
    {
        if (e.atom == atom && !e.removed)
        {
            if (e.callback)
            {
                try
                {
                    e.callback(m_context, e.value);
                }
                catch (...)
                {
                    LogCaughtException(L"HotkeyHandler: hotkey %d", e.value);
                }
            }
            return;
        }
    }
}

int HotkeyHandler::CreateHotkeyWindow()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &HotkeyHandler::HotkeyWindowProc;
    wc.hInstance = ModuleInstance();
    wc.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    {
        CLogger::LogOSMessage(::GetLastError(), L"HotkeyHandler: Unable to register the hotkey window class.");
        return ClassFailed;
    }
    m_window = ::CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                 ModuleInstance(), nullptr);
    if (m_window == nullptr)
    {
        CLogger::LogOSMessage(::GetLastError(), L"HotkeyHandler: Unable to create the hotkey window.");
        return WindowFailed;
    }
    ::ShowWindow(m_window, SW_HIDE);
    return Ok;
}

int HotkeyHandler::RegisterHotkey(int number)
{
    HotkeyEntry& e = m_entries[static_cast<size_t>(number)];
    if (e.removed)
        return Ok;

    const std::wstring name =
        FormatString(kAtomFormat, static_cast<unsigned long>((static_cast<DWORD>(e.modifiers) << 16) | e.virtualKey));
    ATOM atom = ::GlobalAddAtomW(name.c_str());
    if (atom == 0)
        atom = ::GlobalFindAtomW(name.c_str());
    if (atom != 0 && ::RegisterHotKey(m_window, atom, e.modifiers, e.virtualKey))
    {
        e.atom = atom;
        CLogger::LogDebug(L"HotkeyHandler: Created hotkey %d: mod=%d, virt=%d, Action=%s, ID=%d", number, e.modifiers,
                          e.virtualKey, HotkeyName(e.value), atom);
        return Ok;
    }
    const DWORD error = ::GetLastError();
    if (atom != 0)
        ::GlobalDeleteAtom(atom);
    e.removed = true;
    CLogger::LogOSMessage(error, L"HotkeyHandler: Unable to create hotkey %d: mod=%d, virt=%d, action=%s", number,
                          e.modifiers, e.virtualKey, HotkeyName(e.value));
    return RegisterFailed;
}

int HotkeyHandler::UnregisterHotkey(int number)
{
    HotkeyEntry& e = m_entries[static_cast<size_t>(number)];
    if (e.removed)
        return Ok;
    if (e.atom == 0)
        return NoAtom;
    ::UnregisterHotKey(m_window, e.atom);
    ::GlobalDeleteAtom(e.atom);
    // A second unregister (Stop after a failed start) must not delete the atom again.
    e.atom = 0;
    return Ok;
}

void HotkeyHandler::UnregisterAll()
{
    for (size_t i = 0; i < m_entries.size(); ++i)
        UnregisterHotkey(static_cast<int>(i));
}

LRESULT CALLBACK HotkeyHandler::HotkeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        CLogger::LogThreadDebug(L"Hotkey WindowProc received WM_DESTROY...");
    return ::DefWindowProcW(window, message, wParam, lParam);
}
