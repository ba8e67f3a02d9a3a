#pragma once
// The simulated-input queue and its worker, the "BRMP Send Input Thread": the
// only caller of SendInput. Producers on the hook, timer and other threads
// append entries and signal the queue; the worker performs them in order and
// waits the delay each one carries.

#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

class CApplicationSettings;
class ITokenServices;

// Where simulated input leaves the library: SendInput and the cursor position.
// Tests install a recorder.
class ISimulatedInputSink
{
public:
    virtual ~ISimulatedInputSink();
    // Returns the number of records the system took.
    virtual UINT Send(UINT count, INPUT* records) = 0;
    virtual bool GetCursor(POINT& point) = 0;
    virtual bool SetCursor(int x, int y) = 0;
};

// The sink of the real system.
class CSystemInputSink : public ISimulatedInputSink
{
public:
    UINT Send(UINT count, INPUT* records) override;
    bool GetCursor(POINT& point) override;
    bool SetCursor(int x, int y) override;
};

// One queue entry.
class CInputQueue
{
public:
    virtual ~CInputQueue();

    UINT m_nDelay = 0;                  // ms to wait after the entry
    int m_nCursorKind = 0;              // 0 = none; the cursor operation codes of Tokens.h
    std::vector<INPUT> m_Inputs;        // records of one SendInput call
    int m_nX = 0;                       // x, store number or single value of a cursor modification
    int m_nY = 0;
    bool m_bPress = false;              // a batch that presses keys
    int m_nSimKeyCode = 0;              // 0 = none
    float m_fSimKeyValue = 0.0f;
    int m_nLayerKind = 0;               // 0 none, 1 set layer, 2 SimKey set layer
    int m_nLayer = 0;
    bool m_bLayerFlags[3] = {};
    bool m_bSimKeyLayerFlag = false;
    CApplicationSettings* m_pPreviousProfile = nullptr;   // not owned
    CApplicationSettings* m_pNewProfile = nullptr;        // not owned
    // The profiles' serials: by the time the entry is sent, a reload may have
    // freed them and put others at the same addresses.
    unsigned long long m_uPreviousSerial = 0;
    unsigned long long m_uNewSerial = 0;
    // Taken from the queue's own stock and returned there when done: the
    // move path queues its records without touching the heap.
    bool m_bPooled = false;
};

// High-precision waits on the performance counter.
class CPreciseTimer
{
public:
    CPreciseTimer();
    virtual ~CPreciseTimer();

    // Waits ms milliseconds.
    void Wait(UINT ms);
    // Waits ms milliseconds or until one of the events is signalled or *abort
    // becomes true. Sleeps on the events and spins only for the last
    // milliseconds. True when the wait ran its full time.
    bool Wait(UINT ms, const HANDLE* events, DWORD eventCount, const std::atomic<bool>* abort = nullptr);
    bool Wait(UINT ms, HANDLE event) { return Wait(ms, &event, 1); }

    bool Available() const { return m_llFrequency > 0; }
    LONGLONG Frequency() const { return m_llFrequency; }

private:
    LONGLONG m_llFrequency = 0;
};

// Ctrl+Alt+Del through the system's SAS library, when it has one.
class CSecureAttentionSequence
{
public:
    CSecureAttentionSequence();
    ~CSecureAttentionSequence();
    CSecureAttentionSequence(const CSecureAttentionSequence&) = delete;
    CSecureAttentionSequence& operator=(const CSecureAttentionSequence&) = delete;

    bool IsSasAvailable() const { return m_hModule != nullptr && m_pSendSAS != nullptr; }
    bool SendSAS(bool asUser);

private:
    using SendSASFn = void(WINAPI*)(BOOL);
    HMODULE m_hModule = nullptr;
    SendSASFn m_pSendSAS = nullptr;
};

class CSendInput
{
public:
    // sink and services are not owned; null means the real system and
    // GetTokenServices().
    explicit CSendInput(ISimulatedInputSink* sink = nullptr, ITokenServices* services = nullptr);
    ~CSendInput();
    CSendInput(const CSendInput&) = delete;
    CSendInput& operator=(const CSendInput&) = delete;

    // --- thread control ---
    // Starts the worker; returns when its message queue exists and its id is known.
    bool Start();
    bool Stop();
    bool IsRunning() const { return m_dwThreadId.load() != 0; }
    DWORD GetThreadId() const { return m_dwThreadId.load(); }
    // Wakes the worker (starting it when needed).
    void SignalQueue();
    void Unblock();
    // Producers that start the worker on their own do so only while this is on
    // (tests that drain the queue themselves switch it off).
    void SetAutoStart(bool autoStart) { m_bAutoStart = autoStart; }

    // --- producers ---
    bool SendSimKeyAction(int code, float value);
    bool SendProfileAction(CApplicationSettings* previous, CApplicationSettings* next, int currentLayer);
    bool ModCursorPos(int kind, int value);
    bool ModCursorPosXY(int x, int y, int kind);
    bool SetLayer(int layer);
    bool SimKeySetLayer(int layer, bool flag);
    bool SendInputDelay(UINT ms);
    // Batches of at most PooledRecords records without a delay take an entry
    // of the queue's stock: no allocation while the stock lasts.
    bool SendInputThreaded(UINT count, const INPUT* records, UINT delay, bool press);
    // One key press or release with its modifiers. pendingDelay is added to
    // the press batches and set to 0 afterwards.
    bool SendKeyState(int vk, bool extended, UINT modifiers, UINT scan, bool unicode, bool release, UINT extraDelay,
                      ULONG_PTR extraInfo, HKL layout, UINT& pendingDelay);
    // One mouse request: button 0-8, kind 1 down, 2 up, 3 double click.
    // Returns the number of records queued (0 for a combination that has none).
    UINT SendMouse(int button, int kind, POINT point, bool leftAlreadyDown, bool alternativeNames,
                   ULONG_PTR extraInfo, UINT pendingDelay);
    // Empties the queue and cuts a running wait short; true when entries were
    // dropped. Of what it drops only the releases of keys and buttons the
    // worker holds still go out, and a mouse button the batch it cut short had
    // pressed goes up: keys held on purpose (a button's "during" keys, sticky
    // drags and holds) stay down.
    bool FlushQueue(bool block);

    // --- worker side (public so that tests can drain the queue on their own thread) ---
    void ProcessQueue();
    bool ProcessSimKeyAction(const CInputQueue& entry);
    void ChangeCursor(HCURSOR cursor);

    // --- state ---
    std::size_t QueueLength();
    POINT GetSavedCursor(int store) const;
    bool IsBlocked() const { return m_bBlocked.load(); }
    // Keys pressed by the queue and not yet released.
    std::size_t HeldKeyCount();
    // Mouse buttons pressed by the queue and not yet released.
    std::size_t HeldButtonCount();
    // A release of button (0 left, 1 right, 2 middle, 3 X1, 4 X2) that was not
    // the queue's own reached the system (the user's, another program's): the
    // button is up there, and the queue's presses of it are no longer held.
    // Cheap when the queue holds no press of it (the mouse hook's button path).
    void PressReleasedElsewhere(int button);

    // Ten cursor stores, addressed 1 to 10 by the save and restore tags.
    static constexpr int CursorStores = 10;
    // The stock of entries for small batches (moves and wheel steps).
    static constexpr std::size_t PooledEntries = 64;
    static constexpr std::size_t PooledRecords = 2;

private:
    static unsigned __stdcall ThreadProc(void* argument);
    void ThreadMain();
    // The worker's thread messages (the exit request, the audio device's
    // change, wake-ups posted while it was not waiting for entries); false
    // when the thread is to end.
    bool TakeThreadMessages();
    void TimedProcessQueue();
    // Waits until entries (or flushed releases) are queued, the exit is asked
    // or timeoutMs have passed; true when there is work.
    bool WaitForEntries(DWORD timeoutMs);
    // Wakes the worker when it waits for entries.
    void WakeWorker(DWORD id);
    bool Append(std::unique_ptr<CInputQueue> entry, const wchar_t* lockName);
    // m_cs is held by the callers of both.
    std::unique_ptr<CInputQueue> TakePooled();
    void Recycle(std::vector<std::unique_ptr<CInputQueue>>& entries);
    void EnsureStarted();
    void ModifyCursor(const CInputQueue& entry);
    // Returns the number of records the system took.
    UINT SendBatch(CInputQueue& entry);
    void ReleaseHeldKeys();
    // Sends those of releases whose key or button the worker holds, and
    // forgets them as held.
    void SendHeldReleases(const std::vector<INPUT>& releases);
    // The releases a flush took from the queue (m_cs guards them).
    void SendFlushReleases();
    void TrackKeys(const INPUT* records, UINT count);
    bool ExitRequested() const;
    ITokenServices& Services() const;

    ISimulatedInputSink* m_pSink;
    CSystemInputSink m_SystemSink;
    ITokenServices* m_pServices;

    HANDLE m_hThread = nullptr;
    // The exit request: the flag is what the worker checks between its steps
    // (no call to the system per simulated click), the event what ends its waits.
    std::atomic<bool> m_bExitAsked{false};
    HANDLE m_hExitEvent = nullptr;
    HANDLE m_hWakeEvent = nullptr;
    HANDLE m_hStartedEvent = nullptr;
    CRITICAL_SECTION m_csStart;         // one Start at a time
    std::atomic<DWORD> m_dwThreadId{0};
    bool m_bAutoStart = true;
    // The worker waits for entries on this condition variable (with m_cs)
    // rather than on its message queue, and says so: a producer then wakes it
    // without a thread message, which is a round trip to the window server
    // under Wine on the hook thread and another for the worker to take it. A
    // BRMP_ProcessInput posted to it still runs the queue.
    CONDITION_VARIABLE m_EntriesQueued = CONDITION_VARIABLE_INIT;
    std::atomic<bool> m_bWorkerWaiting{false};

    CRITICAL_SECTION m_cs;
    // The worker takes the queue by exchanging it with the spare, so that
    // producers always find a vector with room (m_cs guards all three).
    std::vector<std::unique_ptr<CInputQueue>> m_Queue;
    std::vector<std::unique_ptr<CInputQueue>> m_Spare;
    std::vector<std::unique_ptr<CInputQueue>> m_Pool;
    POINT m_SavedCursors[CursorStores] = {};
    CPreciseTimer m_Timer;
    HCURSOR m_hBusyCursor = nullptr;

    std::atomic<bool> m_bBlocked{false};
    std::atomic<bool> m_bFlushed{false};
    std::atomic<bool> m_bProcessing{false};
    // Release records of the entries flushes dropped, not yet looked at by
    // the worker (m_cs).
    std::vector<INPUT> m_FlushReleases;

    // Keys and mouse buttons the worker has pressed and not released (worker
    // thread only, read under m_csHeld by HeldKeyCount and HeldButtonCount).
    // The end of the worker releases them.
    CRITICAL_SECTION m_csHeld;
    std::vector<KEYBDINPUT> m_HeldKeys;
    std::vector<MOUSEINPUT> m_HeldButtons;
    // The buttons of m_HeldButtons (bit = button), read without m_csHeld.
    std::atomic<unsigned> m_uHeldButtons{0};
};

// Counts the library's own cursor placements (SetCursorPos): the mouse hook's
// record of the cursor is stale after one.
extern std::atomic<unsigned> g_nCursorPlacements;

// Tests whether a batch of entries is only volume-up or only volume-down keys:
// 1 only up, 2 only down, 0 anything else.
int VolumeOnlyBatch(const std::vector<const CInputQueue*>& entries);

// The mouse records of one request (the same as SendMouse queues).
std::vector<INPUT> BuildMouseInputs(int button, int kind, POINT point, bool leftAlreadyDown,
                                                  ULONG_PTR extraInfo);
