#include "SPIThread.h"

#include <process.h>

#include <cwchar>
#include <exception>

#include "ApplicationSettings.h"
#include "Clock.h"
#include "CrashReport.h"
#include "Cursors.h"
#include "Folders.h"
#include "LibrarySettings.h"
#include "LogCaughtException.h"
#include "Logger.h"
#include "RegisteredMessages.h"
#include "SystemValues.h"
#include "ThreadLock.h"
#include "ThreadName.h"
#include "ThreadStop.h"

DWORD g_dwSPIThreadId = 0;

const DWORD g_SystemCursorIds[kSystemCursorCount] = {32650, 32512, 32515, 32649, 32651, 32513, 32648, 32646,
                                                     32643, 32645, 32642, 32644, 32516, 32514, 32631, 32663};

namespace
{
constexpr DWORD kNormalArrow = 32512;
constexpr UINT_PTR kSPITimerId = 4351;
constexpr UINT kSPIDelayMs = 100;
constexpr DWORD kRequeueAfterMs = 500;
constexpr DWORD kReloadGraceMs = 10000;

BOOL RealSystemParametersInfo(UINT action, UINT param, PVOID data, UINT flags)
{
    return ::SystemParametersInfoW(action, param, data, flags);
}

BOOL RealSetSystemCursor(HCURSOR cursor, DWORD id)
{
    return ::SetSystemCursor(cursor, id);
}

const SPISystemCalls kRealCalls = {&RealSystemParametersInfo, &::GetSystemMetrics, &RealSetSystemCursor};
const SPISystemCalls* s_pCalls = &kRealCalls;


int ReadWheelLines()
{
    UINT lines = 0;
    SPISystem().systemParametersInfo(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    return lines == 0 ? 3 : static_cast<int>(lines);
}

// A copy the caller owns of a picture to draw on: the application cursor for
// the normal arrow when one is set, else the system's standard cursor.
HCURSOR PictureFor(DWORD id, HCURSOR appCursor)
{
    if (id == kNormalArrow && appCursor != nullptr)
        return static_cast<HCURSOR>(::CopyIcon(appCursor));
    HCURSOR standard = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(id));
    return standard != nullptr ? static_cast<HCURSOR>(::CopyIcon(standard)) : nullptr;
}

// Hands a cursor to the system; the system owns it on success.
bool SetCursorFor(HCURSOR cursor, DWORD id)
{
    if (SPISystem().setSystemCursor(cursor, id))
        return true;
    ::DestroyCursor(cursor);
    return false;
}
}

void SetSPISystemCalls(const SPISystemCalls* calls)
{
    s_pCalls = calls != nullptr ? calls : &kRealCalls;
}

const SPISystemCalls& SPISystem()
{
    return *s_pCalls;
}

namespace
{
std::atomic<const HookPresence*> g_hookPresence{nullptr};
}

void SetHookPresence(const HookPresence* presence)
{
    g_hookPresence.store(presence);
}

bool HooksInstalled()
{
    const HookPresence* presence = g_hookPresence.load();
    return presence != nullptr && presence->hooksInstalled();
}

bool OnHookThread()
{
    const HookPresence* presence = g_hookPresence.load();
    return presence != nullptr && presence->onHookThread();
}

// --- CSPIThreadData ----------------------------------------------------------------

namespace
{
constexpr UINT kStoreFlags = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;

// After a forced change stored a profile's value as the user's, a change that
// is not forced stores the user's own value again first; the change is
// announced only when that value is also the one wanted (else the write of the
// wanted value announces it).
UINT UserValueFlags(int user, int wanted)
{
    return user == wanted ? kStoreFlags : SPIF_UPDATEINIFILE;
}

// The one rule for every value a profile sets (swap, wheel lines, pointer
// precision): a profile's value is for the session only, unless the profile
// forces its values; then it is stored as the user's too, and stored marks
// that the store holds another value than the user's own. The next change
// that is not forced first writes the user's value (store(user)) back, and so
// does the stop. True when the user's value is in force now.
template <typename Store>
bool StoreUsersValueAgain(const wchar_t* name, int user, std::atomic<bool>& stored, bool forced, Store store)
{
    if (forced || !stored.load())
        return false;
    if (!store(user))
    {
        CLogger::LogOSMessage(::GetLastError(), L"CSPIThreadData: Unable to store the user's %s %d", name, user);
        return false;
    }
    stored = false;
    CLogger::LogMessage(L"CSPIThreadData: Stored the user's %s %d again", name, user);
    return true;
}

// After a profile's value was written: a forced write of another value than
// the user's own leaves it in store.
void NoteProfileValueWritten(std::atomic<bool>& stored, bool forced, bool written, int wanted, int user)
{
    if (forced && written)
        stored = wanted != user;
}
} // namespace

bool ApplyPointerPrecision(bool now, const int (&values)[3], bool forced)
{
    const SPISystemCalls& sys = SPISystem();
    const int wanted = values[2] != 0 ? 1 : 0;
    const int user = g_system.bStartupEPP ? 1 : 0;
    const auto write = [&](const int (&mouse)[3], UINT flags) {
        int copy[3] = {mouse[0], mouse[1], mouse[2]};
        if (!sys.systemParametersInfo(SPI_SETMOUSE, 0, copy, flags))
        {
            CLogger::LogMessage(L"CMouseInfo: Failed to set mouse pointer precision");
            return false;
        }
        CLogger::LogThreadDebug(L"CMouseInfo: Set mouse pointer precision %s (%d, %d, %d)", copy[2] != 0 ? L"On" : L"Off",
                                copy[0], copy[1], copy[2]);
        return true;
    };
    // Written on the caller's thread, which may be the hook thread: nothing
    // here waits for other applications to hear of the change.
    int inForce = now ? 1 : 0;
    if (StoreUsersValueAgain(L"Pointer Precision", user, g_system.bPrecisionStored, forced,
                             [&](int) { return write(g_system.nStartupMouse, SPIF_UPDATEINIFILE); }))
        inForce = user;
    if (inForce == wanted)
        return true;
    // What a forced write stores is the user's own: the user's on/off comes
    // with the user's thresholds, not the settings' ones.
    const bool written = write(forced && wanted == user ? g_system.nStartupMouse : values, forced ? SPIF_UPDATEINIFILE : 0);
    NoteProfileValueWritten(g_system.bPrecisionStored, forced, written, wanted, user);
    return written;
}

bool CSPIThreadData::Process() const
{
    try
    {
        CLogger::LogDebug(L"CSPIThreadData: Process SPI Request: lines %d, state %d, force %d", m_nWheelLines, m_nSwapButtons,
                          m_nForce);
        const bool forced = m_nForce != 0;
        const UINT flags = forced ? kStoreFlags : SPIF_SENDCHANGE;
        const SPISystemCalls& sys = SPISystem();
        if (m_nSwapButtons != -1)
        {
            int swap = sys.getSystemMetrics(SM_SWAPBUTTON);
            const int user = g_system.nStartupSwapButtons;
            if (StoreUsersValueAgain(L"Swap Buttons", user, g_system.bSwapStored, forced, [&](int value) {
                    BOOL stored = FALSE;
                    g_swapWatch.ApplyOwnChange(
                        [&] {
                            stored = sys.systemParametersInfo(SPI_SETMOUSEBUTTONSWAP, static_cast<UINT>(value), nullptr,
                                                              UserValueFlags(value, m_nSwapButtons));
                        },
                        sys.getSystemMetrics);
                    return stored != FALSE;
                }))
                swap = user;
            if (swap != m_nSwapButtons)
            {
                CLogger::LogDebug(L"CSPIThreadData: System Set Parameter Info: Swap Buttons %d", m_nSwapButtons);
                const DWORD start = ::GetTickCount();
                BOOL result = FALSE;
                // Our own change: the hook must not take it for the user's
                // setting, which is restored when the hooks stop.
                g_swapWatch.ApplyOwnChange(
                    [&] {
                        result = sys.systemParametersInfo(SPI_SETMOUSEBUTTONSWAP, static_cast<UINT>(m_nSwapButtons), nullptr,
                                                          flags);
                    },
                    sys.getSystemMetrics);
                NoteProfileValueWritten(g_system.bSwapStored, forced, result != FALSE, m_nSwapButtons, user);
                CLogger::LogMessage(L"CSPIThreadData: Result of Set Swap Buttons to %d (in %dms)", m_nSwapButtons,
                                    static_cast<int>(::GetTickCount() - start));
            }
            else
            {
                CLogger::LogDebug(L"CSPIThreadData: No need to swap buttons");
            }
        }
        UINT lines = 0;
        if (!sys.systemParametersInfo(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        {
            CLogger::LogOSMessage(::GetLastError(), L"CSPIThreadData: Unable to get wheel scroll lines");
            lines = 0;
        }
        const int userLines = g_system.nDefaultWheelLines;
        if (StoreUsersValueAgain(L"Wheel Scrolling", userLines, g_system.bWheelLinesStored, forced, [&](int value) {
                return sys.systemParametersInfo(SPI_SETWHEELSCROLLLINES, static_cast<UINT>(value), nullptr,
                                                UserValueFlags(value, m_nWheelLines)) != FALSE;
            }))
            lines = static_cast<UINT>(userLines);
        if (static_cast<int>(lines) != m_nWheelLines)
        {
            CLogger::LogDebug(L"CSPIThreadData: System Set Parameter Info: Scroll Lines %d", m_nWheelLines);
            const DWORD start = ::GetTickCount();
            const BOOL result =
                sys.systemParametersInfo(SPI_SETWHEELSCROLLLINES, static_cast<UINT>(m_nWheelLines), nullptr, flags);
            NoteProfileValueWritten(g_system.bWheelLinesStored, forced, result != FALSE, m_nWheelLines, userLines);
            CLogger::LogMessage(L"CSPIThreadData: Result of Set Wheel Scrolling %d = %d (in %dms)", m_nWheelLines,
                                static_cast<int>(result), static_cast<int>(::GetTickCount() - start));
        }
        else
        {
            CLogger::LogDebug(L"CSPIThreadData: No need to change scroll lines (want %d is %d)", m_nWheelLines,
                              static_cast<int>(lines));
        }
    }
    catch (...)
    {
        LogCaughtException(L"CSPIThreadData::Process");
        throw;
    }
    return true;
}

// --- lifetime ----------------------------------------------------------------------

CSPIThread::CSPIThread()
{
    CLogger::LogDebug(L"SPIThread constructor...");
    m_nReloading = 1;
    m_hInstance = g_system.hInstance;
    if (!::InitializeCriticalSectionAndSpinCount(&m_cs, 4000))
        CLogger::LogOSMessage(::GetLastError(), L"Unable to initialise critical section in SPIThread");
    if (!::InitializeCriticalSectionAndSpinCount(&m_csDraw, 4000))
        CLogger::LogOSMessage(::GetLastError(), L"Unable to initialise critical section in SPIThread");
    m_Current.m_nSwapButtons = SPISystem().getSystemMetrics(SM_SWAPBUTTON);
    m_Current.m_nWheelLines = ReadWheelLines();
    m_Current.m_nForce = 0;
    m_Current.m_dwTick = ::GetTickCount();
    CLogger::LogDebug(L"SPIThread Initial State: Wheel Lines %d, Swap Buttons %d.", m_Current.m_nWheelLines,
                      m_Current.m_nSwapButtons);
    CLogger::LogDebug(L"SPIThread: Loading cursors (Instance 0x%016llX, ThreadID 0x%08X)...", AddressNumber(m_hInstance),
                      static_cast<unsigned>(::GetCurrentThreadId()));
    try
    {
        m_pCursors = new CCursors(g_pSettings);
        m_pCursors->LoadCursors(m_hInstance, L"SPIThread Constructor");
    }
    catch (...)
    {
        LogCaughtException(L"SPIThread: Loading cursors");
    }
    m_dwStartTick = TickNow();
    m_nReloading = 0;
    Start();
}

CSPIThread::~CSPIThread()
{
    CLogger::LogDebug(L"SPIThread desctructor...");
    Stop();
    const HCURSOR app = m_hAppCursor.exchange(nullptr);
    if (app != nullptr && !::DestroyCursor(app))
        CLogger::LogMessage(L"CSPIThread::~CSPIThread: Unable to destory CurrentAppCursor");
    delete m_pPending;
    m_pPending = nullptr;
    delete m_pCursors;
    m_pCursors = nullptr;
    ::DeleteCriticalSection(&m_csDraw);
    ::DeleteCriticalSection(&m_cs);
}

bool CSPIThread::Start()
{
    if (m_hThread != nullptr)
    {
        CLogger::LogMessage(L"CSPIThread::Start - Warning thread handle is already initialised [x0%X].", HandleNumber(m_hThread));
        return false;
    }
    CLogger::LogDebug(L"Start SPIThread...");
    m_hExitEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hReadyEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unsigned id = 0;
    m_hThread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &CSPIThread::SPIThread, this, 0, &id));
    if (m_hThread == nullptr)
    {
        CLogger::LogOSMessage(::GetLastError(), L"Unable to start SPIThread.");
        g_dwSPIThreadId = 0;
        return false;
    }
    // Requests may be posted as soon as the constructor returns.
    const HANDLE wait[2] = {m_hReadyEvent, m_hThread};
    ::WaitForMultipleObjects(2, wait, FALSE, 10000);
    CLogger::LogDebug(L"SPI Thread [0x%08X] has started.", HandleNumber(m_hThread));
    return true;
}

bool CSPIThread::Stop()
{
    if (m_hThread == nullptr)
        return false;
    const DWORD id = ::GetThreadId(m_hThread);
    CLogger::LogDebug(L"Requesting SPI Thread [0x%08X] (ID 0x%X) to exit...", HandleNumber(m_hThread), id);
    ::SetEvent(m_hExitEvent);
    ::PostThreadMessageW(id, WM_QUIT, 0, 0);
    static const ThreadStopTexts texts = {
        L"SPI thread [0x%08X] exited with error code %d.",
        L"SPI thread [0x%08X] exited successfully.",
        L"SPI thread [0x%08X] did not exit in a timely fashion...",
        L"SPI thread [0x%08X] exited (2nd attempt) with error code %d.",
        L"SPI thread [0x%08X] exited (2nd attempt) successfully.",
        L"SPI thread [0x%08X] still did not exit in a timely fashion (2nd attempt) - terminating it...",
    };
    const ThreadEnd end = AwaitThreadEnd(m_hThread, texts);
    if (end != ThreadEnd::StillRunning)
        ::CloseHandle(m_hThread);
    m_hThread = nullptr;
    ::CloseHandle(m_hExitEvent);
    m_hExitEvent = nullptr;
    ::CloseHandle(m_hReadyEvent);
    m_hReadyEvent = nullptr;
    if (g_dwSPIThreadId == id)
        g_dwSPIThreadId = 0;
    return true;
}

unsigned __stdcall CSPIThread::SPIThread(void* param)
{
    auto* self = static_cast<CSPIThread*>(param);
    std::set_terminate(CrashTerminateHandler);
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetThreadMessageBoxesAllowed(false);
    const DWORD tid = ::GetCurrentThreadId();
    SetThreadName(tid, "SPI Thread");
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    if (g_dwSPIThreadId != 0)
        CLogger::LogDebug(L"SPIThread[0x%08X]: Warning - instance ThreadID is not 0.", tid);
    g_dwSPIThreadId = tid;
    ::SetEvent(self->m_hReadyEvent);
    CLogger::LogDebug(L"SPIThread[0x%08X]: Running thread...", tid);

    try
    {
        self->ProcessQueue();
    }
    catch (...)
    {
        CLogger::LogMessage(L"SPIThread[0x%08X]: Caught exception in SPIThread while processing message 0x%08X(0x%08X, 0x%08X).",
                            tid, 0u, 0u, 0u);
    }

    for (;;)
    {
        if (::WaitForSingleObject(self->m_hExitEvent, 0) == WAIT_OBJECT_0)
        {
            CLogger::LogDebug(L"SPIThread[0x%08X]: Received exit event...", tid);
            break;
        }
        const BOOL result = ::GetMessageW(&msg, nullptr, 0, 0);
        if (result == -1)
        {
            CLogger::LogOSMessage(::GetLastError(), L"SPIThread[0x%08X]: Error in SPIThread message queue. Terminating thread.", tid);
            break;
        }
        if (result == 0)
        {
            CLogger::LogDebug(L"SPIThread[0x%08X]: Received exit request...", tid);
            if (self->m_idTimer != 0)
                ::KillTimer(nullptr, self->m_idTimer);
            self->m_idTimer = 0;
            break;
        }
        if (::WaitForSingleObject(self->m_hExitEvent, 0) == WAIT_OBJECT_0)
        {
            CLogger::LogDebug(L"SPIThread[0x%08X]: Received exit event...", tid);
            break;
        }
        const DWORD start = ::GetTickCount();
        try
        {
            if (msg.message == WM_TIMER)
            {
                try
                {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageW(&msg);
                }
                catch (...)
                {
                    CLogger::LogMessage(L"SPIThread[0x%08X]: WM_TIMER", tid);
                }
            }
            else
            {
                self->Dispatch(msg);
            }
        }
        catch (...)
        {
            CLogger::LogMessage(L"SPIThread[0x%08X]: Caught exception in SPIThread while processing message 0x%08X(0x%08X, 0x%08X).",
                                tid, msg.message, static_cast<unsigned>(msg.wParam), static_cast<unsigned>(msg.lParam));
        }
        const DWORD took = ::GetTickCount() - start;
        if (took > 1000)
            CLogger::LogMessage(L"SPIThread[0x%08X]: Took a long time (%d ms) to process message 0x%08X(0x%08X, 0x%08X).",
                                tid, static_cast<int>(took), msg.message, static_cast<unsigned>(msg.wParam),
                                static_cast<unsigned>(msg.lParam));
    }
    if (self->m_idTimer != 0)
        ::KillTimer(nullptr, self->m_idTimer);
    self->m_idTimer = 0;
    // A reset posted just before the stop may never be read: the system cursors
    // must not stay replaced once the thread that replaced them is gone.
    if (self->m_nCurrentOverlay.load() != 0 || self->GetCurrentAppCursor() != nullptr)
    {
        try
        {
            self->SPIResetCursors();
        }
        catch (...)
        {
            CLogger::LogMessage(L"SPIThread[0x%08X]: Unable to reset the cursors on exit", tid);
        }
    }
    if (g_dwSPIThreadId != tid)
        CLogger::LogDebug(L"SPIThread[0x%08X]: Clear thread called with a different ID (0x%X)", tid, g_dwSPIThreadId);
    else
        g_dwSPIThreadId = 0;
    CLogger::LogDebug(L"SPIThread[0x%08X]: Exiting thread.", tid);
    return 0;
}

namespace
{
// Each layer change asks for the layer's cursors, and drawing them is slow
// (every system cursor is copied, combined and handed over). Of requests that
// replace all cursors only the last one queued decides what the pointer shows:
// an earlier one is not drawn, so that rapid layer changes do not leave this
// thread drawing for long after they ended.
bool IsCursorReplacement(UINT message)
{
    return message != 0 && (message == BRMP_SPI_SETCURSOR || message == BRMP_SPI_SETCURSORLAYER ||
                            message == BRMP_SPI_RESETCURSOR || message == BRMP_SPI_SETAPPCURSOR);
}

bool LaterCursorReplacementQueued()
{
    MSG next;
    for (UINT message : {BRMP_SPI_SETCURSOR, BRMP_SPI_SETCURSORLAYER, BRMP_SPI_RESETCURSOR, BRMP_SPI_SETAPPCURSOR})
    {
        if (message != 0 && ::PeekMessageW(&next, reinterpret_cast<HWND>(-1), message, message, PM_NOREMOVE))
            return true;
    }
    return false;
}
} // namespace

bool CSPIThread::Dispatch(const MSG& msg)
{
    const UINT m = msg.message;
    if (m == 0)
        return false;
    // The application cursor request also names the cursor later requests use.
    if (m != BRMP_SPI_SETAPPCURSOR && IsCursorReplacement(m) && LaterCursorReplacementQueued())
    {
        CLogger::LogDebug(L"SPIThread: Skipping cursor request 0x%08X: a later one replaces it", m);
        return true;
    }
    if (m == BRMP_StartSPI)
        OnStartSPI();
    else if (m == BRMP_ProcessSPI)
        OnProcessSPI();
    else if (m == BRMP_SettingsChanged)
        ReloadCurrentState();
    else if (m == BRMP_SPI_SETCURSOR)
        SPISetCursor(reinterpret_cast<HCURSOR>(msg.wParam), msg.lParam);
    else if (m == BRMP_SPI_SETCURSORLAYER)
        SPISetCursorLayer(static_cast<int>(msg.wParam), msg.lParam != 0);
    else if (m == BRMP_SPI_OVERLAYCURSOR)
        SPIOverlayCursor(reinterpret_cast<HBITMAP>(msg.wParam), msg.lParam != 0);
    else if (m == BRMP_SPI_SETAPPCURSOR)
    {
        wchar_t name[1024] = L"";
        {
            CGenericThreadLock lock(&m_cs, L"CSPIThread::SPISetAppCursor");
            wcsncpy_s(name, m_szAppCursorName, _TRUNCATE);
        }
        if (name[0] != L'\0')
            SPISetAppCursor(name, msg.lParam);
        else
            CLogger::LogDebug(L"SPIThread: Skipping application cursor request: a later profile has no cursor");
    }
    else if (m == BRMP_SPI_RESETCURSOR)
        SPIResetCursors();
    else
        return false;
    return true;
}

bool CSPIThread::Post(UINT message, WPARAM wParam, LPARAM lParam)
{
    const DWORD id = g_dwSPIThreadId;
    return id != 0 && ::PostThreadMessageW(id, message, wParam, lParam) != FALSE;
}

void CALLBACK CSPIThread::SPITimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    const DWORD id = g_dwSPIThreadId;
    if (id == 0)
    {
        CLogger::LogMessage(L"CSPIThread: Unable to send PROCESS_SPI as the thread does not exist.");
        return;
    }
    ::PostThreadMessageW(id, BRMP_ProcessSPI, 0, 0);
}

void CSPIThread::OnStartSPI()
{
    try
    {
        if (m_idTimer != 0)
            ::KillTimer(nullptr, m_idTimer);
        m_idTimer = ::SetTimer(nullptr, kSPITimerId, kSPIDelayMs, &CSPIThread::SPITimerProc);
    }
    catch (...)
    {
        LogCaughtException(L"CSPIThread[0x%X::StartSPI", HandleNumber(m_hThread));
        throw;
    }
}

void CSPIThread::OnProcessSPI()
{
    try
    {
        if (m_idTimer != 0)
            ::KillTimer(nullptr, m_idTimer);
        m_idTimer = 0;
        ProcessQueue();
    }
    catch (...)
    {
        LogCaughtException(L"CSPIThread[0x%08X]::ProcessSPI", HandleNumber(m_hThread));
        throw;
    }
}

// --- swap and wheel lines ----------------------------------------------------------

// A request the thread was never told about would only block the same request
// later ("already queued"): it goes, so that the next profile switch asks again.
// The caller holds m_cs.
bool CSPIThread::DropUnpostedRequest(int lines, int swap)
{
    CLogger::LogOSMessage(::GetLastError(), L"SendSPI(%d, %d): Unable to wake the SPI thread - the change is dropped",
                          lines, swap);
    delete m_pPending;
    m_pPending = nullptr;
    return false;
}

bool CSPIThread::SendSPI(int swap, int lines, bool force)
{
    if (g_dwSPIThreadId == 0)
    {
        // A thread still starting gets a moment, but the hook thread never waits.
        if (!OnHookThread())
            ::Sleep(100);
        if (g_dwSPIThreadId == 0)
        {
            CLogger::LogMessage(L"Warning: SendSPI(%d, %d) called but the thread is not yet running", lines, swap);
            return false;
        }
    }
    CGenericThreadLock lock(&m_cs, L"CSPIThread::SendSPI");
    const DWORD now = ::GetTickCount();
    // A value a forced change stored as the user's is to be stored over by the
    // next change that is not forced, also one that keeps the values in force.
    const bool storedByForce =
        !force && (g_system.bWheelLinesStored.load() || (swap != -1 && g_system.bSwapStored.load()));
    const bool differs = swap != m_Current.m_nSwapButtons || lines != m_Current.m_nWheelLines ||
                         (force && m_Current.m_nForce == 0) || storedByForce;
    if (differs)
    {
        // A pending forced request is replaced by one that is not: the profile
        // that asked to store its values is already left.
        if (m_pPending == nullptr || m_pPending->m_nSwapButtons != swap || m_pPending->m_nWheelLines != lines ||
            m_pPending->m_nForce != (force ? 1 : 0))
        {
            CLogger::LogDebug(L"SPI Changed (lines: %d, state: %d), Starting Send SPI process", lines, swap);
            delete m_pPending;
            m_pPending = new CSPIThreadData{lines, swap, force ? 1 : 0, now};
            if (!Post(BRMP_StartSPI, 0, 0))
                return DropUnpostedRequest(lines, swap);
            return true;
        }
        const DWORD age = now - m_pPending->m_dwTick;
        if (age <= kRequeueAfterMs)
        {
            CLogger::LogDebug(L"SPI Change (lines: %d, state: %d) already queued", lines, swap);
            return false;
        }
        CLogger::LogDebug(L"SPI Change (lines: %d, state: %d) already queued but not executed for %dms", lines, swap,
                          static_cast<int>(age));
        if (!Post(BRMP_StartSPI, 0, 0))
            return DropUnpostedRequest(lines, swap);
        return true;
    }
    if (m_pPending != nullptr)
    {
        CLogger::LogDebug(L"SPI is already set to lines: %d, state: %d - aborting existing change", lines, swap);
        delete m_pPending;
        m_pPending = nullptr;
    }
    else
    {
        CLogger::LogDebug(L"SPI is already lines: %d, state: %d - no need for further change", lines, swap);
    }
    return false;
}

void CSPIThread::Flush()
{
    CGenericThreadLock lock(&m_cs, L"CSPIThread::Flush");
    if (m_pPending != nullptr && m_pPending->m_nForce != 0)
    {
        delete m_pPending;
        m_pPending = nullptr;
    }
}

void CSPIThread::ProcessQueue()
{
    bool have = false;
    CSPIThreadData request;
    try
    {
        {
            CGenericThreadLock lock(&m_cs, L"CSPIThread::ProcessQueue");
            if (m_pPending != nullptr)
            {
                m_Current = *m_pPending;
                delete m_pPending;
                m_pPending = nullptr;
                request = m_Current;
                have = true;
            }
        }
        if (have)
            request.Process();
    }
    catch (...)
    {
        LogCaughtException(L"CSPIThread::ProcessQueue()");
        throw;
    }
}

CSPIThreadData CSPIThread::GetCurrentState()
{
    CGenericThreadLock lock(&m_cs, L"CSPIThread::GetCurrentState", true);
    return m_Current;
}

bool CSPIThread::HasPendingRequest()
{
    CGenericThreadLock lock(&m_cs, L"CSPIThread::HasPendingRequest", true);
    return m_pPending != nullptr;
}

HCURSOR CSPIThread::GetCurrentAppCursor()
{
    return m_bDropAppCursor.load() ? nullptr : m_hAppCursor.load();
}

bool CSPIThread::ReloadCurrentState()
{
    try
    {
        {
            CGenericThreadLock lock(&m_cs, L"CSPIThread::ReloadCurrentState");
            const int swap = SPISystem().getSystemMetrics(SM_SWAPBUTTON);
            const int lines = ReadWheelLines();
            if (swap != m_Current.m_nSwapButtons || lines != m_Current.m_nWheelLines)
            {
                CLogger::LogDebug(L"SPIThread New State: Wheel Lines %d, Swap Buttons %d.", lines, swap);
                m_Current = CSPIThreadData{lines, swap, 0, ::GetTickCount()};
                m_nReloading = 0;
                return true;
            }
        }
        CGenericThreadLock lock(&m_csDraw, L"CSPIThread::ReloadCurrentState");
        const DWORD age = TickNow() - m_dwStartTick;
        if (age < kReloadGraceMs)
        {
            CLogger::LogDebug(L"CSPIThread::ReloadCurrentState - Ignoring cursor reload as the thread was started only %dms ago",
                              static_cast<int>(age));
            return false;
        }
        if (m_nReloading.load() != 0)
        {
            CLogger::LogDebug(L"CSPIThread::ReloadCurrentState - Ignoring cursor reload as we are already reloading!");
            return false;
        }
        m_nReloading = 1;
        DropAppCursor();
        if (m_pCursors != nullptr)
            m_pCursors->LoadCursors(m_hInstance, L"SPIThread ReloadCurrentState");
        m_nReloading = 0;
    }
    catch (...)
    {
        m_nReloading = 0;
        LogCaughtException(L"CSPIThread[0x%08X]::ReloadCurrentState", HandleNumber(m_hThread));
        throw;
    }
    return false;
}

// --- cursor requests (posting threads) -----------------------------------------------

bool CSPIThread::ChangeLayerCursor(int layer)
{
    if (g_dwSPIThreadId == 0)
    {
        CLogger::LogMessage(L"CSPIThread is not running. Unable to change cursor for layer %d", layer + 1);
        return false;
    }
    CLogger::LogDebug(L"Set layer overlay cursor (%d)", layer + 1);
    if (layer <= 0)
    {
        const HCURSOR app = GetCurrentAppCursor();
        if (app != nullptr)
            Post(BRMP_SPI_SETCURSOR, reinterpret_cast<WPARAM>(app), 0);
        else
            Post(BRMP_SPI_RESETCURSOR, 0, 0);
    }
    else if (m_nCurrentOverlay.load() != static_cast<ULONG_PTR>(layer))
    {
        Post(BRMP_SPI_SETCURSORLAYER, static_cast<WPARAM>(layer), 1);
    }
    m_nCurrentLayer = layer;
    return true;
}

bool CSPIThread::ChangeAppCursor(const CApplicationSettings* profile, int layer)
{
    if (g_dwSPIThreadId == 0)
    {
        CLogger::LogMessage(L"CSPIThread is not running. Unable to change app cursor");
        return false;
    }
    const wchar_t* name = profile != nullptr ? profile->GetCursor() : nullptr;
    if (name != nullptr && name[0] != L'\0')
    {
        CLogger::LogDebug(L"Set App Cursor (layer %d)", layer);
        {
            CGenericThreadLock lock(&m_cs, L"CSPIThread::ChangeAppCursor");
            wcsncpy_s(m_szAppCursorName, name, _TRUNCATE);
        }
        return Post(BRMP_SPI_SETAPPCURSOR, 0, static_cast<LPARAM>((layer < 0 ? 0 : layer & 0xFFFF) | 0x10000));
    }
    CLogger::LogDebug(L"Change layer cursor overlay (no app cursor) (layer %d)", layer + 1);
    {
        // An earlier profile's cursor request still queued finds no name and
        // does nothing.
        CGenericThreadLock lock(&m_cs, L"CSPIThread::ChangeAppCursor");
        m_szAppCursorName[0] = L'\0';
    }
    // The cursor may be in use by a drawing right now: the SPI thread drops it
    // before its next cursor request.
    m_bDropAppCursor = true;
    return ChangeLayerCursor(layer);
}

bool CSPIThread::ChangeCursorTimedClick(int step, int mode)
{
    if (mode == 0)
        return false;
    if (g_dwSPIThreadId == 0)
    {
        CLogger::LogMessage(L"CSPIThread is not running. Unable to change cursor for timed clicks %d", step);
        return false;
    }
    CLogger::LogDebug(L"Set timed click overlay cursor (%d)", step);
    if (step > 3 || step < 0 || (step == 0 && mode == 2))
        return false;
    CLogger::LogDebug(L"Set CURSOR to ButtonHeld(%d)", step);
    HBITMAP overlay = m_pCursors != nullptr ? m_pCursors->GetTimedClickCursorOverlay(step) : nullptr;
    if (overlay == nullptr)
    {
        CLogger::LogMessage(L"Unable to load button held CURSOR overlay %d", step);
        return false;
    }
    if (m_nCurrentOverlay.load() != reinterpret_cast<ULONG_PTR>(overlay))
        Post(BRMP_SPI_OVERLAYCURSOR, reinterpret_cast<WPARAM>(overlay), 1);
    return true;
}

bool CSPIThread::ChangeCursorButtonChord(bool active)
{
    if (g_dwSPIThreadId == 0)
    {
        CLogger::LogMessage(L"CSPIThread is not running. Unable to change cursor for button chording");
        return false;
    }
    CLogger::LogDebug(L"Set Button Chord Cursor (%d)", active ? 1 : 0);
    HBITMAP overlay = m_pCursors != nullptr ? m_pCursors->GetChordCursorOverlay(active) : nullptr;
    if (overlay == nullptr)
    {
        CLogger::LogMessage(L"ChangeCursorButtonChord: Cursor overlay is not loaded!");
        return false;
    }
    if (m_nCurrentOverlay.load() != reinterpret_cast<ULONG_PTR>(overlay))
        Post(BRMP_SPI_OVERLAYCURSOR, reinterpret_cast<WPARAM>(overlay), 1);
    return true;
}

// --- cursor handlers (SPI thread) -------------------------------------------------------

void CSPIThread::RestoreDefaultsIfOverlaid()
{
    if (m_nCurrentOverlay.load() != 0)
        SPISystem().systemParametersInfo(SPI_SETCURSORS, 0, nullptr, 0);
}

void CSPIThread::DropAppCursorIfAsked()
{
    if (m_bDropAppCursor.load())
        DropAppCursor();
}

void CSPIThread::DropAppCursor()
{
    m_bDropAppCursor = false;
    const HCURSOR app = m_hAppCursor.exchange(nullptr);
    if (app != nullptr && !::DestroyCursor(app))
        CLogger::LogMessage(L"CSPIThread::DropAppCursor: Unable to destory cursor 0x%08X", HandleNumber(app));
}

void CSPIThread::SPISetCursor(HCURSOR cursor, LPARAM lParam)
{
    const unsigned self = HandleNumber(m_hThread);
    if (m_nCurrentOverlay.load() == reinterpret_cast<ULONG_PTR>(cursor))
    {
        CLogger::LogDebug(L"CSPIThread[0x%08X]::SPISetCursor Cursor already set to %d", self, HandleNumber(cursor));
        return;
    }
    try
    {
        CGenericThreadLock lock(&m_csDraw, L"CSPIThread::SPISetCursor");
        DropAppCursorIfAsked();
        CLogger::LogDebug(L"CSPIThread[0x%08X]::SPISetCursor Setting cursor(s) to %d", self, HandleNumber(cursor));
        RestoreDefaultsIfOverlaid();
        const bool all = lParam != 0;
        const int layer = static_cast<int>(LOWORD(lParam));
        for (DWORD id : g_SystemCursorIds)
        {
            if (!all && id != kNormalArrow)
                continue;
            HCURSOR copy = static_cast<HCURSOR>(::CopyImage(cursor, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
            if (copy == nullptr)
            {
                CLogger::LogMessage(all ? L"SPIThread[0x%08X]: SPI_SETCURSOR - CopyImage failed!"
                                        : L"SPIThread[0x%08X]: SPI_SETCURSOR - CopyImage failed!!",
                                    self);
                continue;
            }
            if (layer != 0 && m_pCursors != nullptr)
            {
                HCURSOR combined = m_pCursors->CombineLayerOverlayCursor(copy, layer);
                if (combined != nullptr)
                    SetCursorFor(combined, id);
                if (!::DestroyCursor(copy))
                    CLogger::LogMessage(L"CSPIThread[0x%08X]::SPISetCursor Unable to destory hCur 0x%08X (%d)", self,
                                        HandleNumber(copy), static_cast<int>(id));
            }
            else
            {
                SetCursorFor(copy, id);
            }
        }
        m_nCurrentOverlay = reinterpret_cast<ULONG_PTR>(cursor);
    }
    catch (...)
    {
        LogCaughtException(L"CSPIThread[0x%08X]::SPISetCursor", self);
        throw;
    }
}

void CSPIThread::SPISetCursorLayer(int layer, bool all)
{
    const unsigned self = HandleNumber(m_hThread);
    if (m_nCurrentOverlay.load() == static_cast<ULONG_PTR>(layer))
    {
        CLogger::LogDebug(L"SPIThread[0x%08X]: Overlay icon already set to layer %d!", self, layer);
        return;
    }
    try
    {
        CGenericThreadLock lock(&m_csDraw, L"CSPIThread::SPISetCursorLayer");
        DropAppCursorIfAsked();
        CLogger::LogDebug(L"CSPIThread[0x%08X]::SPISetCursorLayer Combining overlay cursor(s) for layer %d", self, layer + 1);
        RestoreDefaultsIfOverlaid();
        SetLayerCursor(layer, all);
    }
    catch (...)
    {
        LogCaughtException(L"CSPIThread[0x%08X]::SPISetCursorLayer", self);
        throw;
    }
}

void CSPIThread::SetLayerCursor(int layer, bool all)
{
    CLogger::LogDebug(L"SPIThread: Adding layer overlay to cursor(s)");
    for (DWORD id : g_SystemCursorIds)
    {
        if (!all && id != kNormalArrow)
            continue;
        HCURSOR picture = PictureFor(id, m_hAppCursor.load());
        if (picture == nullptr || m_pCursors == nullptr)
        {
            CLogger::LogMessage(all ? L"SetLayerCursor: CopyCursor/LoadCursor failed!"
                                    : L"SetLayerCursor: CopyCursor/LoadCursor failed!!");
            if (picture != nullptr)
                ::DestroyCursor(picture);
            continue;
        }
        HCURSOR combined = m_pCursors->CombineLayerOverlayCursor(picture, layer);
        if (combined != nullptr)
            SetCursorFor(combined, id);
        if (!::DestroyCursor(picture))
            CLogger::LogMessage(all ? L"SetLayerCursor unable to destory combined layer overlay hCur"
                                    : L"SetLayerCursor unable to destory combined layer overlay normal cursor");
    }
    m_nCurrentOverlay = static_cast<ULONG_PTR>(layer);
}

void CSPIThread::SPIOverlayCursor(HBITMAP overlay, bool all)
{
    const unsigned self = HandleNumber(m_hThread);
    if (m_nCurrentOverlay.load() == reinterpret_cast<ULONG_PTR>(overlay))
    {
        CLogger::LogDebug(L"CSPIThread[0x%08X]::SPIOverlayCursor Overlay icon %d already combined!", self, HandleNumber(overlay));
        return;
    }
    try
    {
        CLogger::LogDebug(L"CSPIThread[0x%08X]::SPIOverlayCursor Combining overlay cursor(s) %d", self, HandleNumber(overlay));
        CGenericThreadLock lock(&m_csDraw, L"CSPIThread::SPIOverlayCursor");
        DropAppCursorIfAsked();
        RestoreDefaultsIfOverlaid();
        m_nCurrentOverlay = reinterpret_cast<ULONG_PTR>(overlay);
        for (DWORD id : g_SystemCursorIds)
        {
            if (!all && id != kNormalArrow)
                continue;
            HCURSOR picture = PictureFor(id, m_hAppCursor.load());
            if (picture == nullptr || m_pCursors == nullptr)
            {
                CLogger::LogMessage(all ? L"CSPIThread[0x%08X]::SPIOverlayCursor - CopyCursor/LoadCursor failed!"
                                        : L"CSPIThread[0x%08X]::SPIOverlayCursor - CopyCursor/LoadCursor failed!!",
                                    self);
                if (picture != nullptr)
                    ::DestroyCursor(picture);
                continue;
            }
            HCURSOR combined = m_pCursors->CombineOverlayCursor(picture, overlay);
            if (combined != nullptr)
                SetCursorFor(combined, id);
            if (!::DestroyCursor(picture))
                CLogger::LogMessage(L"CSPIThread[0x%08X]::SPIOverlayCursor Unable to destory hCur 0x%08X (%d)", self,
                                    HandleNumber(picture), static_cast<int>(id));
        }
    }
    catch (...)
    {
        LogCaughtException(L"CSPIThread[0x%08X]::SPIOverlayCursor", self);
        throw;
    }
}

void CSPIThread::SPISetAppCursor(const wchar_t* cursorName, LPARAM lParam)
{
    const unsigned self = HandleNumber(m_hThread);
    try
    {
        CGenericThreadLock lock(&m_csDraw, L"CSPIThread::SPISetAppCursor");
        RestoreDefaultsIfOverlaid();
        m_nCurrentOverlay = 0;
        HCURSOR cursor = m_pCursors != nullptr && cursorName != nullptr ? m_pCursors->GetPredefinedPointerCursor(cursorName)
                                                                        : nullptr;
        if (cursor == nullptr)
        {
            CLogger::LogMessage(L"CSPIThread[0x%08X]::SPISetAppCursor - GetPredefinedPointerCursor failed!", self);
            return;
        }
        DropAppCursor();
        m_hAppCursor = static_cast<HCURSOR>(::CopyIcon(cursor));
        if (!SPISystem().setSystemCursor(cursor, kNormalArrow) && !::DestroyCursor(cursor))
            CLogger::LogMessage(L"CSPIThread[0x%08X]::SPISetAppCursor unable to destory hNewCur", self);
        // The pointer is no longer the user's: a later change restores the defaults first.
        m_nCurrentOverlay = reinterpret_cast<ULONG_PTR>(m_hAppCursor.load());
        const int layer = static_cast<int>(LOWORD(lParam));
        if (layer != 0)
            SetLayerCursor(layer, true);
    }
    catch (...)
    {
        LogCaughtException(L"CSPIThread[0x%08X]::SPISetAppCursor", self);
        throw;
    }
}

void CSPIThread::SPIResetCursors()
{
    const unsigned self = HandleNumber(m_hThread);
    try
    {
        CGenericThreadLock lock(&m_csDraw, L"CSPIThread::SPIResetCursors");
        CLogger::LogDebug(L"CSPIThread[0x%08X]::SPIResetCursors Resetting cursors", self);
        SPISystem().systemParametersInfo(SPI_SETCURSORS, 0, nullptr, 0);
        DropAppCursor();
        m_nCurrentOverlay = 0;
    }
    catch (...)
    {
        LogCaughtException(L"CSPIThread[0x%08X]::SPIResetCursors", self);
        throw;
    }
}
