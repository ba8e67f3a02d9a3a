#pragma once
// The engine's simulated-input queue replaced, for the life of this object, by
// a private one that records what it would send and is drained on the test
// thread (ProcessQueue); the engine's own queue comes back at the end.

#include "Globals.h"
#include "RecordingSink.h"
#include "SendInput.h"

class PrivateInputQueue
{
public:
    PrivateInputQueue() : m_saved(g_threads.pSendInput)
    {
        queue.SetAutoStart(false);
        g_threads.pSendInput = &queue;
    }
    ~PrivateInputQueue() { g_threads.pSendInput = m_saved; }
    PrivateInputQueue(const PrivateInputQueue&) = delete;
    PrivateInputQueue& operator=(const PrivateInputQueue&) = delete;

    brmptest::RecordingSink sink;
    CSendInput queue{&sink, nullptr};

private:
    CSendInput* m_saved;
};
