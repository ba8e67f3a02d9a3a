#pragma once
// The system's mouse parameters: the two acceleration thresholds and the
// acceleration switch (together "enhance pointer precision") and the pointer speed.

#include <windows.h>

#include <cstddef>

#include "SnareholdApi.h"

class CSettings;

// The system call the class makes; tests replace it to record what would be set.
using MouseSystemParametersFn = BOOL (WINAPI*)(UINT action, UINT param, PVOID data, UINT flags);

// Sets the pointer speed (1-20) straight through the system. Windows reads the
// speed from the pointer argument only; Wine reads the integer argument, so
// both carry it.
inline BOOL SetSystemMouseSpeed(int speed, UINT flags = 0)
{
    return ::SystemParametersInfoW(SPI_SETMOUSESPEED, static_cast<UINT>(speed),
                                   reinterpret_cast<PVOID>(static_cast<INT_PTR>(speed)), flags);
}

class SNAREHOLD_API CMouseInfo
{
public:
    // Reads the current values (all 0 when the system does not answer).
    CMouseInfo();
    // A given state (threshold 1, threshold 2, acceleration), without asking the system.
    CMouseInfo(int threshold1, int threshold2, int acceleration);

    void GetMouseInfo(int (&values)[3]) const;
    bool EnhancePointerPrecision() const { return m_values[2] != 0; }

    // On: thresholds from the settings' EPP thresholds (6 and 10 without
    // settings) and acceleration 1; off: 0, 0, 0. Kept and written to the system
    // and the user profile. The one-argument form uses the settings registered
    // with SetGlobalSettings.
    bool SetEnhancePointerPrecision(bool on);
    bool SetEnhancePointerPrecision(bool on, const CSettings* settings);

    // The current pointer speed, 0 when the system does not answer.
    static int GetMouseSpeed();
    // Sets the pointer speed for this session only (not written to the profile).
    static bool SetMouseSpeed(std::size_t speed);

    // The library's settings object whose thresholds the one-argument
    // SetEnhancePointerPrecision uses; its owner clears it before deleting it.
    static void SetGlobalSettings(const CSettings* settings);

    // Replaces SystemParametersInfoW; null restores it.
    static void SetSystemParametersFunction(MouseSystemParametersFn fn);

private:
    int m_values[3] = {0, 0, 0};
};
