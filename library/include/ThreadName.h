#pragma once
// Thread names for debuggers and diagnostic tools.

#include "SnareholdApi.h"

// Names a thread for debuggers and tools (SetThreadDescription where the system
// has it; the debugger's naming exception only while a debugger is attached).
SNAREHOLD_API void SetThreadName(unsigned long threadId, const char* name);
