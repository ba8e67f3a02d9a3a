#include "Folders.h"
#include "Globals.h"
#include "LibraryLifetime.h"
#include "LockAxis.h"
#include "Logger.h"
#include "MouseInfo.h"
#include "ScrollCursors.h"
#include "SendInput.h"
#include "Settings.h"

void CreateLibraryObjects()
{
    try
    {
        g_pSettings = new CSettings(false, CMouseInfo());
        CMouseInfo::SetGlobalSettings(g_pSettings);
    }
    catch (...)
    {
        CLogger::LogMessage(L"Snarehold: Unable to create the settings object");
        g_pSettings = nullptr;
    }
    try
    {
        g_threads.pPreciseTimer = new CPreciseTimer();
        if (!g_threads.pPreciseTimer->Available())
            CLogger::LogMessage(L"CPreciseTimer:: High precision timers not available!");
    }
    catch (...)
    {
        g_threads.pPreciseTimer = nullptr;
    }
    // Nothing may ask the user anything while the library is being loaded.
    const bool boxes = ThreadMessageBoxesAllowed();
    SetThreadMessageBoxesAllowed(false);
    LoadCursors(g_system.hInstance);
    g_LockAxis.InitCursors(g_system.hInstance);
    SetThreadMessageBoxesAllowed(boxes);
}

void DestroyLibraryObjects()
{
    g_LockAxis.DestroyCursors();
    DestroyCursors();
    CMouseInfo::SetGlobalSettings(nullptr);
    delete g_pSettings;
    g_pSettings = nullptr;
    delete g_threads.pPreciseTimer;
    g_threads.pPreciseTimer = nullptr;
}
