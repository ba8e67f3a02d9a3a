#pragma once
// Engine state that points into the profiles or belongs to a layer (sticky
// buttons, held "during" keys, a pending chord, timed clicks, movement-to-scroll,
// repeats) registers a reset here. The layer code runs the resets before a layer
// change; the settings loader runs them, under the global lock, before the old
// profiles are freed by a reload.

#include <windows.h>

enum class EngineResetReason
{
    LayerChange,       // the old layer's keys, sticky buttons and repeats end
    SettingsReload     // everything that points into the profiles goes
};

// point: the cursor position at the reset.
using EngineResetFn = void (*)(EngineResetReason reason, POINT point);

// Adding the same function twice keeps one entry. At most 32 entries; false
// when full. Remove returns whether the function was registered.
bool AddEngineReset(EngineResetFn fn);
bool RemoveEngineReset(EngineResetFn fn);
// Runs every registered reset in the order they were added; an exception of
// one is logged and the others still run.
void RunEngineResets(EngineResetReason reason, POINT point);
