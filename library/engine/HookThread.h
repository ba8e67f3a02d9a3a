#pragma once
// Internal pieces of the hook lifetime: the two thread procedures, the stop
// sequence and the hook procedures the hook thread installs.

#include <windows.h>

// The stop sequence: asks both threads to end (exit event plus a posted
// wake-up), waits 10 s and 2 s more, then terminates a thread that is still
// running; deletes worker objects a dead hook thread left behind; restores the
// system mouse settings when restore is true. False when no thread ran.
bool EndHookThread(bool restore);

// Re-install one hook; run on the hook thread (BRMP_ResetHook).
void InstallMouseHook();
void InstallKeyHook();

unsigned __stdcall HookThreadProc(void* unused);
unsigned __stdcall TimerThread(void* unused);

LRESULT CALLBACK MouseHookLLProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK KeyHookLLProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK FindHookLLProc(int code, WPARAM wParam, LPARAM lParam);

// Number of threads the stop sequence had to terminate since the library was
// loaded (a thread that ends on request never counts).
long GetForcedThreadTerminations();
