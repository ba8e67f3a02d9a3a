#include "ScrollTimers.h"

#include "ButtonEventKind.h"
#include "ButtonProcessing.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Logger.h"
#include "RepeatTimers.h"
#include "ThreadLock.h"
#include "TimerThread.h"

PendingScroll* g_pPendingScroll = nullptr;

namespace
{
constexpr int kBusyRetryMs = 10;

// The record goes without its release: the engine's press of its button ends
// with it, but for keep, a button whose new press the caller has just taken.
void DeletePendingScroll(int keep = -1)
{
    PendingScroll* pending = g_pPendingScroll;
    g_pPendingScroll = nullptr;
    if (pending != nullptr && pending->button != keep)
        g_held.DropTakenOver(pending->button);
    delete pending;
}

int SlotOfKind(int kind)
{
    return kind == 1 ? ID_QTTIMER_HSCROLL : ID_QTTIMER_VSCROLL;
}

void ScrollButtonUp(PVOID slot, const wchar_t* name, WAITORTIMERCALLBACK self)
{
    const int id = static_cast<int>(reinterpret_cast<INT_PTR>(slot));
    try
    {
        CThreadTryLock lock(name);
        if (!lock)
        {
            // Never wait here; the button-up must still come, so retry shortly.
            if (g_pPendingScroll != nullptr)
            {
                CLogger::LogDebug(L"%s: Lock busy, retry in %dms", name, kBusyRetryMs);
                StartQTTimer(kBusyRetryMs, self, id);
            }
            return;
        }
        StopQTTimer(id, true);
        PendingScroll* pending = g_pPendingScroll;
        // A record of the other axis belongs to the other timer.
        if (pending != nullptr && SlotOfKind(pending->kind) == id)
        {
            g_pPendingScroll = nullptr;
            CLogger::LogDebug(L"%s: Processing simulated button up.\n", name);
            if (pending->button >= 0 && pending->button <= 8 && g_threads.hMouseHook != nullptr)
            {
                BYTE fixUp = 0;
                BYTE block = 0;
                BYTE click = 0;
                ProcessButton(pending->button, kEventUp, true, pending->point, fixUp, block, click);
                // The engine's press ends here, whatever the release did.
                g_held.DropTakenOver(pending->button);
            }
            delete pending;
        }
    }
    catch (...)
    {
        CLogger::LogMessage(L"%s: An exception ended the button up", name);
    }
}
} // namespace

bool SetPendingScroll(int kind, int button, POINT point, CApplicationSettings* profile, int ms)
{
    if (kind != 1 && kind != 2)
        return false;
    CThreadLock lock(L"SetPendingScroll");
    DeletePendingScroll(button);
    g_pPendingScroll = new PendingScroll{kind, button, point, profile};
    if (!StartQTTimer(ms, kind == 1 ? HScrollTimerCallback : VScrollTimerCallback, SlotOfKind(kind)))
    {
        DeletePendingScroll();
        return false;
    }
    return true;
}

void DropPendingScroll()
{
    CThreadLock lock(L"DropPendingScroll");
    StopQTTimer(ID_QTTIMER_HSCROLL, true);
    StopQTTimer(ID_QTTIMER_VSCROLL, true);
    DeletePendingScroll();
}

void CALLBACK HScrollTimerCallback(PVOID slot, BOOLEAN)
{
    ScrollButtonUp(slot, L"HScrollTimerCallback", HScrollTimerCallback);
}

void CALLBACK VScrollTimerCallback(PVOID slot, BOOLEAN)
{
    ScrollButtonUp(slot, L"VScrollTimerCallback", VScrollTimerCallback);
}
