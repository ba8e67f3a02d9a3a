#include "SystemValues.h"

SystemValues g_system;
CButtonSwapWatch g_swapWatch;

namespace
{
int SystemInt(UINT action, int fallback)
{
    int value = fallback;
    if (!::SystemParametersInfoW(action, 0, &value, 0))
        return fallback;
    return value;
}
}

void SystemValues::Reset()
{
    nStartupMouseSpeed = SystemInt(SPI_GETMOUSESPEED, 10);
    int mouse[3] = {0, 0, 0};
    if (::SystemParametersInfoW(SPI_GETMOUSE, 0, mouse, 0))
    {
        for (int i = 0; i < 3; ++i)
            nStartupMouse[i] = mouse[i];
    }
    bStartupEPP = nStartupMouse[2] != 0;

    nStartupSwapButtons = ::GetSystemMetrics(SM_SWAPBUTTON);
    nSwapButtons = nStartupSwapButtons;

    UINT lines = 3;
    if (!::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        lines = 3;
    nStartupWheelLines = static_cast<int>(lines);
    nDefaultWheelLines = nStartupWheelLines == 0 ? 3 : nStartupWheelLines;
    nWheelLines = nDefaultWheelLines;
    bWheelPageScroll = nDefaultWheelLines == -1;

    UINT chars = 3;
    if (!::SystemParametersInfoW(SPI_GETWHEELSCROLLCHARS, 0, &chars, 0))
        chars = 3;
    nWheelChars = (chars == 0 || static_cast<int>(chars) == -1) ? 3 : static_cast<int>(chars);

    const int delay = SystemInt(SPI_GETKEYBOARDDELAY, 1);
    const int speed = SystemInt(SPI_GETKEYBOARDSPEED, 31);
    nKeyRepeatDelay = (delay + 1) * 250;
    nKeyRepeatInterval = static_cast<int>(400.0 - 12.0 * speed);
}

namespace
{
// The system's swap is a server round trip on some systems: the hook reads it
// at most this often.
constexpr DWORD kSwapReadPeriodMs = 250;
}

void CButtonSwapWatch::Begin()
{
    ::AcquireSRWLockExclusive(&m_lock);
}

void CButtonSwapWatch::End(MetricsFn read)
{
    g_system.nSwapButtons = read(SM_SWAPBUTTON);
    ++m_generation;
    ::ReleaseSRWLockExclusive(&m_lock);
}

int CButtonSwapWatch::UserChange(DWORD now)
{
    if (!::TryAcquireSRWLockExclusive(&m_lock))
        return -1;
    if (!m_readValid || m_readGeneration != m_generation || now - m_readAt >= kSwapReadPeriodMs)
    {
        m_read = ::GetSystemMetrics(SM_SWAPBUTTON);
        m_readAt = now;
        m_readGeneration = m_generation;
        m_readValid = true;
    }
    int changed = -1;
    if (m_read != g_system.nSwapButtons)
    {
        g_system.nSwapButtons = m_read;
        changed = m_read;
    }
    ::ReleaseSRWLockExclusive(&m_lock);
    return changed;
}

void CButtonSwapWatch::ForgetReading()
{
    m_readValid = false;
}
