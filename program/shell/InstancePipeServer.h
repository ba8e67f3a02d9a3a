#pragma once
// The running instance's end of the instance pipe: a thread ("BRMP IPC
// Thread") that serves one client at a time, reads its one message, queues
// the command and posts the queue's token to the main window.

#include <windows.h>

#include <string>

#include "Handles.h"
#include "InstanceCommandQueue.h"

// What the server thread works with; owned by CInstancePipeServer.
struct IPCThreadData
{
    HANDLE pipe = nullptr;
    HANDLE stopEvent = nullptr;
    HWND mainWindow = nullptr;
    UINT message = 0;                       // posted with wParam = word, lParam = token
    CInstanceCommandQueue* queue = nullptr;
    DWORD readTimeoutMs = 5000;             // a client that connects and never writes is dropped
    volatile DWORD threadId = 0;
};

unsigned __stdcall IPCThreadProc(void* data);

class CInstancePipeServer
{
public:
    CInstancePipeServer() = default;
    ~CInstancePipeServer();
    CInstancePipeServer(const CInstancePipeServer&) = delete;
    CInstancePipeServer& operator=(const CInstancePipeServer&) = delete;

    // Creates the pipe and starts the thread. False (logged) when the pipe
    // cannot be created (another process owns the name) or the thread cannot start.
    bool Start(HWND mainWindow, UINT message, CInstanceCommandQueue& queue, const std::wstring& pipeName);
    // Asks the thread to end and waits for it; a thread that does not end in
    // time is terminated. The pipe is closed. True unless the thread had to
    // be terminated; harmless when not running.
    bool Stop();

    bool Running() const;
    DWORD ThreadId() const { return m_data.threadId; }
    void SetReadTimeout(DWORD milliseconds) { m_data.readTimeoutMs = milliseconds; }

    // How long Stop waits before it terminates the thread.
    static constexpr DWORD StopWaitMs = 2000;

private:
    IPCThreadData m_data;
    UniqueHandle m_pipe;
    UniqueHandle m_stopEvent;
    UniqueHandle m_thread;
};
