#pragma once
// Key mapping shared by the tag parser and the send-input queue.

#include <windows.h>

// MapVirtualKeyExW with the given layout; without a layout MapVirtualKeyW,
// noted in the debug log.
UINT MapVirtualKeyWithLayout(UINT code, UINT mapType, HKL layout);
