#pragma once
// What the library learns of its process and of the system's mouse and keyboard
// when it loads. The start-up values are put back when the hooks stop; the
// system-parameters thread keeps the current swap state here as it changes it.

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

struct SystemValues
{
    HINSTANCE hInstance = nullptr;        // the library's module
    LARGE_INTEGER liFrequency = {};       // performance counter
    TIMECAPS tcTimerCaps = {};
    int nScreenWidth = 0;
    int nScreenHeight = 0;
    HMODULE hWtsapi32 = nullptr;          // loaded on first use, freed at unload
    DWORD dwHookTimeout = 0;              // LowLevelHooksTimeout, read with the settings

    // The system's mouse and keyboard values.
    int nStartupMouseSpeed = 0;
    int nStartupMouse[3] = {};            // threshold 1, threshold 2, acceleration
    bool bStartupEPP = false;
    int nStartupSwapButtons = 0;
    int nSwapButtons = 0;                 // in force: the library's own, or the user's (g_swapWatch)
    int nStartupWheelLines = 3;           // raw value
    int nDefaultWheelLines = 3;           // 0 replaced by 3
    int nWheelLines = 3;
    bool bWheelPageScroll = false;
    int nWheelChars = 3;
    int nKeyRepeatDelay = 500;            // ms
    int nKeyRepeatInterval = 33;          // ms

    // A forced profile change stored a value of the profile's own as the
    // user's: the user's own value is stored again by the next change that is
    // not forced and when the hooks stop.
    std::atomic<bool> bSwapStored{false};
    std::atomic<bool> bWheelLinesStored{false};
    std::atomic<bool> bPrecisionStored{false};

    // Reads the mouse and keyboard values from the system again (the module,
    // timer, screen and hook time-out values stay).
    void Reset();
};

extern SystemValues g_system;

// The button swap as the library put it in force, told apart from a change the
// user makes (the Control Panel), which becomes the swap restored at the end.
// Every change of the library's own runs inside ApplyOwnChange; the watch of
// the mouse hook compares the system's value only with the library's latest
// own value, and skips its turn while a change of ours is under way.
class CButtonSwapWatch
{
public:
    using MetricsFn = int (*)(int index);

    // Runs change (which sets the system's swap) as the library's own change;
    // the value read afterwards is the swap the library put in force
    // (g_system.nSwapButtons). Waits only for another change or a watch turn.
    template <class Change>
    void ApplyOwnChange(Change&& change, MetricsFn read)
    {
        Begin();
        try
        {
            change();
        }
        catch (...)
        {
            End(read);
            throw;
        }
        End(read);
    }

    // The mouse hook's turn: the user's new swap (stored as the swap in
    // force) when the system's value, read at most once per period, differs
    // from the library's; -1 otherwise. Never waits: a change of ours under
    // way makes it -1.
    int UserChange(DWORD now);
    // The next turn reads the system's value afresh (new hooks).
    void ForgetReading();

private:
    void Begin();
    void End(MetricsFn read);

    SRWLOCK m_lock = SRWLOCK_INIT;
    unsigned m_generation = 0;    // counts the library's own changes
    // The hook's last reading, and the generation it was read in: a reading
    // from before a change of ours says nothing about the user.
    int m_read = 0;
    DWORD m_readAt = 0;
    unsigned m_readGeneration = 0;
    std::atomic<bool> m_readValid{false};
};

extern CButtonSwapWatch g_swapWatch;
