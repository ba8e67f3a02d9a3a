// Simulated-input queue: time from queueing a key to the worker's SendInput
// call, and keys per second through the queue. The records go to a sink that
// only notes the time, so the figures are the queue's own.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "LibraryLifetime.h"
#include "SendInput.h"
#include "Tokens.h"

namespace
{
LONGLONG Now()
{
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

class TimingSink : public ISimulatedInputSink
{
public:
    UINT Send(UINT count, INPUT*) override
    {
        lastSend = Now();
        records += count;
        return count;
    }
    bool GetCursor(POINT& point) override
    {
        point = POINT{};
        return true;
    }
    bool SetCursor(int, int) override { return true; }

    std::atomic<LONGLONG> lastSend{0};
    std::atomic<unsigned> records{0};
};
}

int wmain()
{
    // What the DLL does when it is loaded: the library is linked into this program.
    LibraryAttach(::GetModuleHandleW(nullptr));
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    const double msPerTick = 1000.0 / static_cast<double>(frequency.QuadPart);

    TimingSink sink;
    CSendInput queue(&sink);
    if (!queue.Start())
    {
        std::printf("the send-input thread did not start\n");
        return 1;
    }

    // Latency: one key press at a time, waiting until the worker has sent it.
    constexpr int LatencyRounds = 2000;
    std::vector<double> latencies;
    latencies.reserve(LatencyRounds);
    for (int i = 0; i < LatencyRounds; ++i)
    {
        const unsigned before = sink.records.load();
        UINT pending = 0;
        const LONGLONG start = Now();
        queue.SendKeyState('A', false, 0, 0x1E, false, (i & 1) != 0, 0, 0, nullptr, pending);
        queue.SignalQueue();
        while (sink.records.load() == before)
            ::SwitchToThread();
        latencies.push_back(static_cast<double>(sink.lastSend.load() - start) * msPerTick);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("enqueue-to-SendInput latency over %d keys: median %.3f ms, 99th percentile %.3f ms, max %.3f ms\n",
                LatencyRounds, latencies[LatencyRounds / 2], latencies[LatencyRounds * 99 / 100], latencies.back());

    // Throughput: many presses and releases queued at once, one signal.
    constexpr int Keys = 20000;
    const unsigned before = sink.records.load();
    const LONGLONG start = Now();
    for (int i = 0; i < Keys; ++i)
    {
        UINT pending = 0;
        queue.SendKeyState('B', false, SIMMOD_SHIFT, 0x30, false, false, 0, 0, nullptr, pending);
        queue.SendKeyState('B', false, SIMMOD_SHIFT, 0x30, false, true, 0, 0, nullptr, pending);
    }
    const LONGLONG queued = Now();
    queue.SignalQueue();
    while (sink.records.load() - before < static_cast<unsigned>(Keys) * 4)
        ::SwitchToThread();
    const double totalMs = static_cast<double>(sink.lastSend.load() - start) * msPerTick;
    std::printf("%d keys (press, release, Shift around each): queued in %.1f ms, sent after %.1f ms: %.0f keys/s\n",
                Keys, static_cast<double>(queued - start) * msPerTick, totalMs, Keys / (totalMs / 1000.0));

    queue.Stop();
    return 0;
}
