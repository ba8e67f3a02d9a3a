// State of the action engine between a press and its release.

#include "ActionDispatchState.h"

#include "ActionDispatchInternal.h"
#include "EngineResets.h"
#include "TimedClicks.h"

int g_nReturnLayer = -1;
bool g_bLayerSwitchedByButton = false;
int g_nLayerButton = -1;
int g_nLayerButtonLayer = -1;
CBRMPTimedClicks* g_pTimedClicks[9] = {};
CMovement2Scroll* g_pActiveMTS = nullptr;
CMovement2Scroll* g_pLastMTS = nullptr;
bool g_bMTSMoved = false;
int g_nMTSCursorState = 0;
POINT g_ptMTSStart = {0, 0};
CMovement2Scroll* g_pReplayingMTS = nullptr;

void ResetActionDispatchState()
{
    g_nReturnLayer = -1;
    g_bLayerSwitchedByButton = false;
    g_nLayerButton = -1;
    g_nLayerButtonLayer = -1;
    for (auto& clicks : g_pTimedClicks)
    {
        // Their timers must not outlive the profile that owns the list.
        if (clicks != nullptr)
            clicks->Reset();
        clicks = nullptr;
    }
    g_pActiveMTS = nullptr;
    g_pLastMTS = nullptr;
    g_bMTSMoved = false;
    g_nMTSCursorState = 0;
    g_ptMTSStart = POINT{0, 0};
    g_pReplayingMTS = nullptr;
    dispatch::ForgetChordSource();
}

namespace
{
// A reload frees the profiles everything above points into (a timed click in
// progress goes on without them). A layer change keeps it all: the held layer
// button that made it still waits for its release.
void OnEngineReset(EngineResetReason reason, POINT)
{
    if (reason == EngineResetReason::SettingsReload)
    {
        CarryTimedClicksAcrossReload();
        ResetActionDispatchState();
    }
}

[[maybe_unused]] const bool g_resetRegistered = AddEngineReset(OnEngineReset);
} // namespace
