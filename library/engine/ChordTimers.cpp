#include "ChordTimers.h"

#include "ButtonEventKind.h"
#include "ButtonProcessing.h"
#include "Chords.h"
#include "EngineInput.h"
#include "Globals.h"
#include "LockAxis.h"
#include "Logger.h"
#include "RepeatTimers.h"
#include "SPIThread.h"
#include "SendInput.h"
#include "Settings.h"
#include "ThreadLock.h"

CBRMPChord* g_pGlobalChord = nullptr;
POINT g_ptChordStart = {0, 0};
PendingChord* g_pPendingChord = nullptr;

namespace
{
// A callback that finds the global lock busy comes back this much later.
constexpr int kBusyRetryMs = 10;

void DeletePendingChord()
{
    PendingChord* pending = g_pPendingChord;
    g_pPendingChord = nullptr;
    delete pending;
}

// The held-back press goes to the chord button's own action, or to the system.
void ReplayHeldDown(int button, POINT point)
{
    BYTE fixUp = 0;
    BYTE block = 0;
    BYTE click = 0;
    if (ProcessButton(button, kEventDown, true, point, fixUp, block, click) == 0)
        SendPhysicalDown(button, point);
}
} // namespace

void RestoreLayerCursor()
{
    if (g_threads.pSPIThread == nullptr)
        return;
    const bool layerMark = g_pSettings != nullptr && g_pSettings->m_bChangeCursorLayer;
    g_LockAxis.ChangeCursor(g_threads.pSPIThread, g_engine.pCurrentApp, g_engine.nCurrentLayer, false, layerMark);
}

void SendPhysicalDown(int button, POINT point)
{
    if (g_threads.pSendInput == nullptr || button < 0 || button > 4)
        return;
    int physical = button;
    if (g_system.nSwapButtons != 0 && button <= 1)
        physical = 1 - button;
    SendMouseButton(physical, kEventDown, point, false, false);
    g_threads.pSendInput->SignalQueue();
}

bool SetPendingChord(int button, POINT point, int timeoutMs)
{
    CThreadLock lock(L"SetPendingChord");
    DeletePendingChord();
    g_pPendingChord = new PendingChord{button, point};
    if (!StartQTTimer(timeoutMs, HChordTimerCallback, ID_QTTIMER_CHORD))
    {
        DeletePendingChord();
        return false;
    }
    return true;
}

void DropPendingChord()
{
    CThreadLock lock(L"DropPendingChord");
    StopQTTimer(ID_QTTIMER_CHORD, true);
    DeletePendingChord();
}

void ReleaseGlobalChord()
{
    CThreadLock lock(L"ReleaseGlobalChord");
    g_pGlobalChord = nullptr;
}

void CALLBACK HChordTimerCallback(PVOID slot, BOOLEAN)
{
    const int id = static_cast<int>(reinterpret_cast<INT_PTR>(slot));
    try
    {
        CThreadTryLock lock(L"HChordTimerCallback");
        if (!lock)
        {
            // Never wait here: come back shortly, unless the chord ended meanwhile.
            if (g_pPendingChord != nullptr)
            {
                CLogger::LogDebug(L"HChordTimerCallback: Lock busy, retry in %dms", kBusyRetryMs);
                StartQTTimer(kBusyRetryMs, HChordTimerCallback, id);
            }
            return;
        }
        StopQTTimer(id, true);
        if (g_pPendingChord != nullptr && g_pGlobalChord != nullptr && g_threads.hMouseHook != nullptr)
        {
            ReplayHeldDown(g_pPendingChord->button, g_pPendingChord->point);
            CLogger::LogDebug(L"HChordTimerCallback: Releasing global chord");
            g_pGlobalChord = nullptr;
            RestoreLayerCursor();
        }
        DeletePendingChord();
    }
    catch (...)
    {
        CLogger::LogMessage(L"HChordTimerCallback: An exception ended the chord time-out");
    }
}

void ClearChord(POINT point)
{
    CThreadLock lock(L"ClearChord StopChordTimer");
    const PendingChord* pending = g_pPendingChord;
    if (pending != nullptr && !StopQTTimer(ID_QTTIMER_CHORD, false))
        CLogger::LogDebug(L"ClearChord: ChordTimer was not active - unable to stop it.");
    if (g_pGlobalChord != nullptr)
    {
        const int button = pending != nullptr ? pending->button : static_cast<int>(g_pGlobalChord->GetChordSourceButton());
        ReplayHeldDown(button, g_ptChordStart);
        CLogger::LogDebug(L"ClearChord: Releasing global chord");
        g_pGlobalChord = nullptr;
        g_ptChordStart = POINT{0, 0};
        if (g_pSettings != nullptr && g_pSettings->m_nChangeCursorChord != 0)
            RestoreLayerCursor();
    }
    (void)point;
    DeletePendingChord();
}

void ForgetChord()
{
    CThreadLock lock(L"AbandonChord");
    StopQTTimer(ID_QTTIMER_CHORD, true);
    g_pGlobalChord = nullptr;
    g_ptChordStart = POINT{0, 0};
    DeletePendingChord();
}

void AbandonChord()
{
    CThreadLock lock(L"AbandonChord");
    ForgetChord();
    RestoreLayerCursor();
}
