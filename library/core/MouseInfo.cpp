#include "MouseInfo.h"

#include <atomic>

#include "Logger.h"
#include "Settings.h"

namespace
{
    std::atomic<MouseSystemParametersFn> g_systemParameters{nullptr};
    std::atomic<const CSettings*> g_globalSettings{nullptr};

    BOOL CallSystemParameters(UINT action, UINT param, PVOID data, UINT flags)
    {
        MouseSystemParametersFn fn = g_systemParameters.load();
        if (fn != nullptr)
            return fn(action, param, data, flags);
        return ::SystemParametersInfoW(action, param, data, flags);
    }

    constexpr int kDefaultEPPThreshold1 = 6;
    constexpr int kDefaultEPPThreshold2 = 10;
}

CMouseInfo::CMouseInfo()
{
    int speed = 0;
    CallSystemParameters(SPI_GETMOUSESPEED, 0, &speed, 0);
    int values[3] = {0, 0, 0};
    if (CallSystemParameters(SPI_GETMOUSE, 0, values, 0))
    {
        m_values[0] = values[0];
        m_values[1] = values[1];
        m_values[2] = values[2];
    }
}

CMouseInfo::CMouseInfo(int threshold1, int threshold2, int acceleration)
    : m_values{threshold1, threshold2, acceleration}
{
}

void CMouseInfo::GetMouseInfo(int (&values)[3]) const
{
    values[0] = m_values[0];
    values[1] = m_values[1];
    values[2] = m_values[2];
}

bool CMouseInfo::SetEnhancePointerPrecision(bool on)
{
    return SetEnhancePointerPrecision(on, g_globalSettings.load());
}

bool CMouseInfo::SetEnhancePointerPrecision(bool on, const CSettings* settings)
{
    if (on)
    {
        m_values[0] = settings != nullptr ? settings->m_nEPPThreshold1 : kDefaultEPPThreshold1;
        m_values[1] = settings != nullptr ? settings->m_nEPPThreshold2 : kDefaultEPPThreshold2;
        m_values[2] = 1;
    }
    else
    {
        m_values[0] = m_values[1] = m_values[2] = 0;
    }

    int values[3] = {m_values[0], m_values[1], m_values[2]};
    if (CallSystemParameters(SPI_SETMOUSE, 0, values, SPIF_UPDATEINIFILE))
    {
        CLogger::LogThreadDebug(L"CMouseInfo: Set mouse pointer precision %s (%d, %d, %d)", on ? L"On" : L"Off",
                                m_values[0], m_values[1], m_values[2]);
        return true;
    }
    CLogger::LogMessage(L"CMouseInfo: Failed to set mouse pointer precision");
    return false;
}

int CMouseInfo::GetMouseSpeed()
{
    int speed = 0;
    if (!CallSystemParameters(SPI_GETMOUSESPEED, 0, &speed, 0))
        return 0;
    return speed;
}

bool CMouseInfo::SetMouseSpeed(std::size_t speed)
{
    // The speed travels in the pointer argument itself. Windows reads only
    // that one; Wine reads the integer argument, so it carries the speed too.
    if (CallSystemParameters(SPI_SETMOUSESPEED, static_cast<UINT>(speed), reinterpret_cast<PVOID>(speed), 0))
    {
        CLogger::LogThreadDebug(L"CMouseInfo::SetMouseSpeed - Setting mouse cursor speed to %d", static_cast<int>(speed));
        return true;
    }
    CLogger::LogMessage(L"CMouseInfo::SetMouseSpeed - Failed to set mouse cursor speed to %d", static_cast<int>(speed));
    return false;
}

void CMouseInfo::SetGlobalSettings(const CSettings* settings)
{
    g_globalSettings.store(settings);
}

void CMouseInfo::SetSystemParametersFunction(MouseSystemParametersFn fn)
{
    g_systemParameters.store(fn);
}
