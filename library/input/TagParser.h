#pragma once
// The keystroke tag language: ordinary text mixed with tags in braces, for
// example "{CTRL}c", "{HOLD:2}{LMB}" or "{RUN:notepad.exe}". ParseTagText turns
// such a text into tokens (Tokens.h). It is a plain function of the text and
// the values in the context: it sends nothing and waits for nothing.

#include <windows.h>

#include <functional>

#include "Tokens.h"

struct TagParseContext
{
    POINT point{};                      // copied into mouse and brightness tokens
    HWND targetWindow = nullptr;        // copied into window-message tokens
    int currentLayer = 0;               // 0-based
    int previousLayer = -1;             // 0-based, negative = none
    int layerCount = 10;                // layers in use
    UINT defaultHoldTime = 1;           // ms, SimulatedKeys/Delay
    bool restorePrevious = false;       // layer tokens go back to the previous layer
    bool pressReleaseAllowed = true;    // {PRESS} and {RELEASE} take effect
    HKL targetLayout = nullptr;         // layout of the target window's thread, may be null
    bool capsLock = false;              // toggle states of the lock keys at the start
    bool numLock = false;
    bool scrollLock = false;
    int volumePercent = -1;             // current master volume, negative = unknown
    // Layers that NEXT/PREV step over; empty = none.
    std::function<bool(int layer)> isLayerSkipped;
    // Random source of ranges; empty = the C runtime's rand().
    std::function<unsigned int()> random;
};

// Largest number of characters of one tag that are significant; a tag without
// its closing brace consumes one more character and is cut there.
constexpr int MaxTagLength = 1023;
// Layers a profile has; layer tokens never target one outside 0..MaxLayerIndex.
constexpr int MaxLayerIndex = 9;
// Limit of hold and wait times (ms): no arithmetic wraps into a stall of days.
constexpr long long MaxDelayMs = 0x7FFFFFFF;

// Appends the tokens of text to tokens. False for a null text or an invalid
// character after NUM; tokens appended before stay in the list.
bool ParseTagText(SimTokenList& tokens, const wchar_t* text, const TagParseContext& context);
