#pragma once
// The kinds of a mouse button event, as the hooks, the engine and the simulated
// input pass them to each other (an int in every signature and record).

constexpr int kEventNone = 0;        // not a button event (a wheel, an unknown message)
constexpr int kEventDown = 1;        // pressed
constexpr int kEventUp = 2;          // released
constexpr int kEventDoubleClick = 3; // a double click (the second press)
