#pragma once
// The on-screen displays' arithmetic, apart from their windows.

#include <windows.h>

// A level and muted flag carried in one lParam: the low word is the level
// (bit 15 set gives 0, otherwise capped at 100), a non-zero high word marks it
// muted or unavailable.
struct OSDShownValue
{
    int level;
    bool muted;
};
OSDShownValue DecodeOSDShowParam(LPARAM lParam);

// The level for a point on the bar: y in the bar's coordinates (clamped to the
// bar), 100 at the top, 0 at the bottom. A bar without height gives 0.
int OSDLevelFromBarY(int y, int height);

// Bar geometry for a level, in the bar's coordinates: where the level fill
// starts and where the square thumb (as wide as the bar) starts.
int OSDFillTop(int top, int height, int level);
int OSDThumbTop(int top, int height, int width, int level);

// One step of the fade: 10 lower, never below 0.
BYTE OSDFadeStep(BYTE alpha);

// Wheel deltas to whole notches; the remainder waits for the next turn.
class COSDWheel
{
public:
    // unit: delta per notch (120 / wheel scroll lines); 0 turns the wheel off.
    void Reset(int unit)
    {
        m_unit = unit;
        m_accumulated = 0;
    }
    int Unit() const { return m_unit; }
    // Adds a delta and returns the whole units it completes (signed).
    int Add(int delta);

private:
    int m_unit = 0;
    int m_accumulated = 0;
};

// The wheel unit for the system's wheel scroll lines: 120 / lines, 0 when the
// setting is 0; "one page at a time" (WHEEL_PAGESCROLL) gives one notch.
int OSDWheelUnit(UINT scrollLines);

// A level moved by whole notches, clamped to 0..100.
int OSDLevelAfterWheel(int level, int units, int step);
