#include "SPIThread.h"

#include <process.h>

#include <exception>

#include "CrashReport.h"
#include "Folders.h"
#include "Hooks.h"
#include "Logger.h"
#include "ThreadStop.h"

DWORD g_dwSPIThreadId = 0;

CSPIThread::CSPIThread()
{
    CLogger::LogDebug(L"SPIThread constructor...");
    if (!::InitializeCriticalSectionAndSpinCount(&m_cs, 4000))
        CLogger::LogOSMessage(::GetLastError(), L"Unable to initialise critical section in SPIThread");
    m_nSwapButtons = ::GetSystemMetrics(SM_SWAPBUTTON);
    UINT lines = 0;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    m_nWheelLines = lines == 0 ? 3 : static_cast<int>(lines);
    CLogger::LogDebug(L"SPIThread Initial State: Wheel Lines %d, Swap Buttons %d.", m_nWheelLines, m_nSwapButtons);
    m_dwStartTick = ::GetTickCount();
    Start();
}

CSPIThread::~CSPIThread()
{
    CLogger::LogDebug(L"SPIThread desctructor...");
    Stop();
    ::DeleteCriticalSection(&m_cs);
}

bool CSPIThread::Start()
{
    if (m_hThread != nullptr)
    {
        CLogger::LogMessage(L"CSPIThread::Start - Warning thread handle is already initialised [x0%X].",
                            static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_hThread)));
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
    CLogger::LogDebug(L"SPI Thread [0x%08X] has started.", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_hThread)));
    return true;
}

bool CSPIThread::Stop()
{
    if (m_hThread == nullptr)
        return false;
    const DWORD id = ::GetThreadId(m_hThread);
    CLogger::LogDebug(L"Requesting SPI Thread [0x%08X] (ID 0x%X) to exit...",
                      static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_hThread)), id);
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
            break;
        }
        if (::WaitForSingleObject(self->m_hExitEvent, 0) == WAIT_OBJECT_0)
        {
            CLogger::LogDebug(L"SPIThread[0x%08X]: Received exit event...", tid);
            break;
        }
        if (msg.message == WM_TIMER)
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (g_dwSPIThreadId != tid)
        CLogger::LogDebug(L"SPIThread[0x%08X]: Clear thread called with a different ID (0x%X)", tid, g_dwSPIThreadId);
    else
        g_dwSPIThreadId = 0;
    CLogger::LogDebug(L"SPIThread[0x%08X]: Exiting thread.", tid);
    return 0;
}
