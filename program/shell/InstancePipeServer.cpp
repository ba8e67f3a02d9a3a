#include "InstancePipeServer.h"

#include <process.h>

#include <exception>

#include "CaughtException.h"
#include "Hooks.h"
#include "InstanceMessage.h"
#include "InstancePipe.h"
#include "Logger.h"

namespace
{
enum class WaitResult
{
    Done,
    Stopped,
    TimedOut,
};

// Waits for an overlapped operation on the pipe, or the stop event, or the
// time-out; a cancelled operation is waited for so that its OVERLAPPED can go.
WaitResult WaitForPipe(HANDLE pipe, OVERLAPPED& overlapped, HANDLE stopEvent, DWORD timeoutMs)
{
    HANDLE handles[2] = {stopEvent, overlapped.hEvent};
    const DWORD wait = ::WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
    if (wait == WAIT_OBJECT_0 + 1)
        return WaitResult::Done;
    ::CancelIo(pipe);
    DWORD ignored = 0;
    ::GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
    return wait == WAIT_OBJECT_0 ? WaitResult::Stopped : WaitResult::TimedOut;
}

// Waits for the next client. False when the thread is to end.
bool ConnectClient(IPCThreadData& data, HANDLE event)
{
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event;
    ::ResetEvent(event);
    if (::ConnectNamedPipe(data.pipe, &overlapped))
        return true;
    DWORD error = ::GetLastError();
    if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA)
        return true;
    if (error == ERROR_IO_PENDING)
    {
        if (WaitForPipe(data.pipe, overlapped, data.stopEvent, INFINITE) != WaitResult::Done)
            return false;
        DWORD ignored = 0;
        if (::GetOverlappedResult(data.pipe, &overlapped, &ignored, FALSE))
            return true;
        error = ::GetLastError();
        if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA)
            return true;
    }
    CLogger::LogMessage(L"Unable to connect to the IPC named pipe. Error %d, Disabling IPC communications.",
                        static_cast<int>(error));
    return false;
}

// Reads the connected client's one message and hands it to the main window.
void ServeClient(IPCThreadData& data, HANDLE event)
{
    BYTE buffer[kInstanceMessageSize] = {};
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event;
    ::ResetEvent(event);
    DWORD bytes = 0;
    if (!::ReadFile(data.pipe, buffer, sizeof(buffer), nullptr, &overlapped))
    {
        const DWORD error = ::GetLastError();
        if (error == ERROR_MORE_DATA)
        {
            CLogger::LogMessage(L"IPCThreadProc: a message longer than %u bytes on the IPC named pipe is ignored.",
                                static_cast<unsigned>(kInstanceMessageSize));
            return;
        }
        if (error != ERROR_IO_PENDING)
            return;   // a failed read is ignored
        const WaitResult wait = WaitForPipe(data.pipe, overlapped, data.stopEvent, data.readTimeoutMs);
        if (wait == WaitResult::TimedOut)
        {
            CLogger::LogMessage(L"IPCThreadProc: no message arrived within %u ms; the client is dropped.",
                                static_cast<unsigned>(data.readTimeoutMs));
            return;
        }
        if (wait == WaitResult::Stopped)
            return;
    }
    if (!::GetOverlappedResult(data.pipe, &overlapped, &bytes, FALSE))
    {
        if (::GetLastError() == ERROR_MORE_DATA)
            CLogger::LogMessage(L"IPCThreadProc: a message longer than %u bytes on the IPC named pipe is ignored.",
                                static_cast<unsigned>(kInstanceMessageSize));
        return;
    }

    CLogger::LogMessage(L"Received %d bytes on the IPC named pipe.", static_cast<int>(bytes));
    std::wstring problem;
    std::optional<InstanceCommand> command = DecodeInstanceMessage(buffer, bytes, &problem);
    if (!command)
    {
        CLogger::LogMessage(L"IPCThreadProc: the message of %d bytes is ignored (%s).", static_cast<int>(bytes),
                            problem.c_str());
        return;
    }
    CLogger::LogDebug(L"Buffer contains: '%s'", command->text.c_str());

    const DWORD word = command->word;
    const LPARAM token = data.queue->Push(std::move(*command));
    if (token == 0)
        return;
    if (!::PostMessageW(data.mainWindow, data.message, word, token))
    {
        CLogger::LogOSMessage(::GetLastError(), L"IPCThreadProc: Unable to pass command 0x%x to the main window",
                              word);
        data.queue->Take(token);
    }
}
}

unsigned __stdcall IPCThreadProc(void* parameter)
{
    auto& data = *static_cast<IPCThreadData*>(parameter);
    try
    {
        data.threadId = ::GetCurrentThreadId();
        SetThreadName(data.threadId, "BRMP IPC Thread");
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        CLogger::LogDebug(L"Starting IPC communications thread ID 0x%X.", data.threadId);

        UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event)
        {
            CLogger::LogOSMessage(::GetLastError(), L"IPCThreadProc: Unable to create an event, Disabling IPC communications");
            return 0;
        }
        while (::WaitForSingleObject(data.stopEvent, 0) != WAIT_OBJECT_0)
        {
            if (!ConnectClient(data, event.Get()))
                break;
            ServeClient(data, event.Get());
            ::DisconnectNamedPipe(data.pipe);
        }
        CLogger::LogDebug(L"Exiting IPC communications thread ID 0x%X.", data.threadId);
    }
    catch (...)
    {
        LogCaughtException(L"IPCThreadProc");
    }
    return 0;
}

CInstancePipeServer::~CInstancePipeServer()
{
    Stop();
}

bool CInstancePipeServer::Start(HWND mainWindow, UINT message, CInstanceCommandQueue& queue,
                                const std::wstring& pipeName)
{
    if (m_thread)
        return false;
    m_pipe = CreateInstancePipe(pipeName);
    if (!m_pipe)
        return false;
    m_stopEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_stopEvent)
    {
        CLogger::LogOSMessage(::GetLastError(), L"CInstancePipeServer::Start: Unable to create the stop event");
        m_pipe.Reset();
        return false;
    }
    m_data.pipe = m_pipe.Get();
    m_data.stopEvent = m_stopEvent.Get();
    m_data.mainWindow = mainWindow;
    m_data.message = message;
    m_data.queue = &queue;
    m_data.threadId = 0;
    unsigned threadId = 0;
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, &IPCThreadProc, &m_data, 0, &threadId);
    if (thread == 0)
    {
        CLogger::LogMessage(L"CInstancePipeServer::Start: Unable to start the IPC communications thread.");
        m_stopEvent.Reset();
        m_pipe.Reset();
        return false;
    }
    m_thread.Reset(reinterpret_cast<HANDLE>(thread));
    return true;
}

bool CInstancePipeServer::Stop()
{
    bool endedByItself = true;
    if (m_thread)
    {
        ::SetEvent(m_stopEvent.Get());
        if (::WaitForSingleObject(m_thread.Get(), StopWaitMs) != WAIT_OBJECT_0)
        {
            // Under the logger's lock, so that the thread does not die holding it.
            const bool locked = CLogger::GetLock();
            CLogger::LogThreadDebug(
                L"CMyMessageWnd::Cleanup IPC thread [0x%X] did not exit in a timely fashion - terminating it...",
                m_data.threadId);
            ::TerminateThread(m_thread.Get(), 1);
            endedByItself = false;
            if (locked)
                CLogger::ReleaseLock();
        }
        m_thread.Reset();
    }
    if (m_pipe)
        ::DisconnectNamedPipe(m_pipe.Get());
    m_pipe.Reset();
    m_stopEvent.Reset();
    return endedByItself;
}

bool CInstancePipeServer::Running() const
{
    return m_thread && ::WaitForSingleObject(m_thread.Get(), 0) == WAIT_TIMEOUT;
}
