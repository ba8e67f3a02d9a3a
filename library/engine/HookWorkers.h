#pragma once
// The worker objects that live as long as the hook thread: the SPI thread, the
// simulated-input queue and the brightness control.

#include <windows.h>

class CSendInput;
class CSPIThread;
class CBrightness;

struct HookWorkers
{
    CSPIThread* spiThread = nullptr;
    CSendInput* sendInput = nullptr;
    CBrightness* brightness = nullptr;
};

// Creates the workers into the globals; the caller holds the global lock. Each
// step is guarded on its own: a failure leaves that pointer null.
void CreateHookWorkers(DWORD tid);

// Takes the workers out of the globals (caller holds the global lock) ...
HookWorkers DetachHookWorkers();
// ... and stops and deletes them, without the global lock, so that a worker
// thread that needs the lock to finish can do so.
void StopHookWorkers(HookWorkers& workers);

// Deletes whatever a dead hook thread left behind ("rogue" objects).
void DeleteRogueWorkers();

// Lets a simulated-input queue that waits for a timer go on.
void UnblockSendInput();
