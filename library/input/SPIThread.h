#pragma once
// The "SPI Thread": the one thread that changes system-wide mouse settings
// (button swap, wheel lines) and the system cursors. Other threads only post
// it requests; every SystemParametersInfoW / SetSystemCursor call runs there.

#include <windows.h>

#include <atomic>

class CApplicationSettings;
class CCursors;

// Id of the running SPI thread, 0 while none runs; every poster tests it first.
extern DWORD g_dwSPIThreadId;

// The 16 system cursors the library replaces, in the order of every loop.
constexpr int kSystemCursorCount = 16;
extern const DWORD g_SystemCursorIds[kSystemCursorCount];

// The system calls of the SPI thread, replaceable so that tests can see what
// would be set (Wine's SetSystemCursor reports success and does nothing).
struct SPISystemCalls
{
    BOOL (*systemParametersInfo)(UINT action, UINT param, PVOID data, UINT flags);
    int (*getSystemMetrics)(int index);
    BOOL (*setSystemCursor)(HCURSOR cursor, DWORD id);
};
// Null restores the real calls.
void SetSPISystemCalls(const SPISystemCalls* calls);
const SPISystemCalls& SPISystem();

// What the pointer changes need to know of the hooks, told by the engine when
// the library loads: whether both hooks are in (without them the pointer shows
// the user's cursors) and whether the caller is the hook thread, which never
// waits. Without it: no hooks, never the hook thread.
struct HookPresence
{
    bool (*hooksInstalled)();
    bool (*onHookThread)();
};
void SetHookPresence(const HookPresence* presence);
bool HooksInstalled();
bool OnHookThread();

// Puts a profile's pointer precision (the three SPI_SETMOUSE values; now: the
// precision in force) in force on the calling thread, by the rule the SPI
// thread keeps for the swap and the wheel lines: for the session only unless
// forced, and the user's own value stored again after a forced change stored
// another. False when the system refused.
bool ApplyPointerPrecision(bool now, const int (&values)[3], bool forced);

// One request for the swap state and the wheel lines.
class CSPIThreadData
{
public:
    int m_nWheelLines = 3;
    int m_nSwapButtons = -1; // -1 = leave the swap alone, 0 = not swapped, 1 = swapped
    int m_nForce = 0;        // 1 = also write the user profile
    DWORD m_dwTick = 0;

    // Applies the request to the system (only the values that differ).
    bool Process() const;
};

class CSPIThread
{
public:
    // Reads the current swap state and wheel lines, loads the cursors and starts the thread.
    CSPIThread();
    ~CSPIThread();
    CSPIThread(const CSPIThread&) = delete;
    CSPIThread& operator=(const CSPIThread&) = delete;

    bool Start();
    // Asks the thread to end and waits for it (terminated after 10 s + 2 s).
    // False when no thread ran.
    bool Stop();

    HANDLE GetThreadHandle() const { return m_hThread; }

    // --- requests (any thread) -------------------------------------------------
    // Queues a swap/wheel-lines change, applied 100 ms after the last request.
    bool SendSPI(int swap, int lines, bool force);
    // Drops a pending forced request.
    void Flush();
    // Layer overlay on the cursors (0 = the profile cursor or the defaults).
    bool ChangeLayerCursor(int layer);
    // The profile's own pointer (with the layer overlay), else the layer cursor.
    bool ChangeAppCursor(const CApplicationSettings* profile, int layer);
    // Timed-click progress (step 0-3); mode is the Cursor/ChangeHeld option.
    bool ChangeCursorTimedClick(int step, int mode);
    // The chord mark (active or inactive).
    bool ChangeCursorButtonChord(bool active);

    // --- handlers (the SPI thread; public for tests) ---------------------------
    void ProcessQueue();
    bool ReloadCurrentState();
    void SPISetCursor(HCURSOR cursor, LPARAM lParam);
    void SPISetCursorLayer(int layer, bool all);
    void SPIOverlayCursor(HBITMAP overlay, bool all);
    // The pointer named by a profile's cursor setting ("0"-"5" or a file name).
    void SPISetAppCursor(const wchar_t* cursorName, LPARAM lParam);
    void SPIResetCursors();

    // --- state (tests and diagnosis) -------------------------------------------
    CSPIThreadData GetCurrentState();
    bool HasPendingRequest();
    // What the system cursors show: a cursor, layer number or overlay bitmap; 0 = the defaults.
    ULONG_PTR GetCurrentOverlay() const { return m_nCurrentOverlay.load(); }
    int GetCurrentLayer() const { return m_nCurrentLayer.load(); }
    HCURSOR GetCurrentAppCursor();
    CCursors* GetCursors() const { return m_pCursors; }
    DWORD GetStartTick() const { return m_dwStartTick; }

private:
    bool DropUnpostedRequest(int lines, int swap);
    static unsigned __stdcall SPIThread(void* self);
    static void CALLBACK SPITimerProc(HWND, UINT, UINT_PTR, DWORD);
    bool Dispatch(const MSG& msg);
    void OnStartSPI();
    void OnProcessSPI();
    void SetLayerCursor(int layer, bool all);
    void RestoreDefaultsIfOverlaid();
    void DropAppCursor();
    void DropAppCursorIfAsked();
    bool Post(UINT message, WPARAM wParam, LPARAM lParam);

    DWORD m_dwStartTick = 0;
    std::atomic<int> m_nReloading{1};
    CCursors* m_pCursors = nullptr;
    // Guards the requests' shared state (pending request, cursor name); held
    // only briefly, so that a thread asking for a change never waits for a
    // drawing. The drawing handlers are serialised by m_csDraw.
    CRITICAL_SECTION m_cs{};
    CRITICAL_SECTION m_csDraw{};
    HANDLE m_hExitEvent = nullptr;
    HANDLE m_hThread = nullptr;
    HANDLE m_hReadyEvent = nullptr;
    HINSTANCE m_hInstance = nullptr;
    CSPIThreadData m_Current;
    CSPIThreadData* m_pPending = nullptr;
    UINT_PTR m_idTimer = 0;
    // Created and destroyed on this thread only; others read it, and ask for it
    // to be dropped through m_bDropAppCursor.
    std::atomic<HCURSOR> m_hAppCursor{nullptr};
    std::atomic<bool> m_bDropAppCursor{false};
    std::atomic<ULONG_PTR> m_nCurrentOverlay{0};
    std::atomic<int> m_nCurrentLayer{0};
    // The profile's cursor name for the next BRMP_SPI_SETAPPCURSOR: a copy, so
    // that a profile deleted by a settings reload is never read on this thread.
    wchar_t m_szAppCursorName[1024] = L"";
};
