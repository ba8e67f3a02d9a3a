#include "EngineCursors.h"

#include "Globals.h"
#include "LockAxis.h"
#include "SPIThread.h"
#include "Settings.h"

namespace
{
bool LayerCursorOption()
{
    return g_pSettings == nullptr || g_pSettings->m_bChangeCursorLayer;
}

// What the pointer changes of the input layer need to know of the hooks.
const HookPresence kHookPresence = {
    [] { return g_threads.hMouseHook != nullptr && g_threads.hKeyHook != nullptr; },
    [] { return ::GetCurrentThreadId() == g_threads.dwHookThreadId; },
};

const bool g_registered = [] {
    SetHookPresence(&kHookPresence);
    return true;
}();
}

bool ShowProfileCursor()
{
    return g_LockAxis.ChangeCursor(g_threads.pSPIThread, g_engine.pCurrentApp, g_engine.nCurrentLayer, false,
                                   LayerCursorOption());
}

bool ShowChordCursor(bool active)
{
    CSPIThread* thread = g_threads.pSPIThread;
    if (thread == nullptr)
        return false;
    return thread->ChangeCursorButtonChord(active);
}

bool ShowTimedClickCursor(int step)
{
    CSPIThread* thread = g_threads.pSPIThread;
    if (thread == nullptr || g_pSettings == nullptr)
        return false;
    return thread->ChangeCursorTimedClick(step, g_pSettings->m_nChangeCursorHeld);
}

void ShowLibraryCursor(HCURSOR cursor)
{
    g_LockAxis.ChangeCursor(g_threads.pSPIThread, cursor, LayerCursorOption() ? g_engine.nCurrentLayer : 0);
}

void ResetSystemCursors()
{
    g_LockAxis.ResetCursor(g_threads.pSPIThread);
}
