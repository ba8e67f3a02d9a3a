#pragma once
// The memory the click-latency bench shares with its ClickTargets helper: the
// helper's windows and what they received, stamped on arrival.

#include <windows.h>

constexpr int kClickTargetWindows = 3;
constexpr int kFreshWindow = 2;
constexpr LONG kClickReceipts = 1024;

// Where the helper shows its windows: the two of the pair side by side, far
// enough apart that no cache of the window under the pointer spans them, and
// the window made anew below them. The bench's own window lies to the left.
constexpr RECT kClickTargetPlaces[kClickTargetWindows] = {
    {660, 200, 900, 440}, {960, 200, 1200, 440}, {760, 520, 1100, 760}};

struct ClickReceipt
{
    UINT message;
    DWORD received;            // tick count on arrival
    DWORD messageTime;         // the message's own time
    int window;                // 0, 1: the pair; 2: the fresh window
    LONG serial;               // which fresh window (0 for the pair)
    unsigned long long extra;  // the message's extra information
    LONGLONG counter;          // performance counter on arrival
};

struct ClickTargetsShared
{
    unsigned long long windows[kClickTargetWindows];   // HWNDs
    volatile LONG freshSerial;                         // of the fresh window shown now
    volatile LONG receiptCount;                        // receipts written so far (a ring)
    ClickReceipt receipts[kClickReceipts];
};
