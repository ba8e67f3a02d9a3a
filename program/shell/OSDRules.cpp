#include "OSDRules.h"

#include <algorithm>
#include <cmath>

OSDShownValue DecodeOSDShowParam(LPARAM lParam)
{
    const WORD low = LOWORD(static_cast<DWORD_PTR>(lParam));
    const WORD high = HIWORD(static_cast<DWORD_PTR>(lParam));
    OSDShownValue value{};
    value.level = (low & 0x8000) != 0 ? 0 : std::min<int>(static_cast<short>(low), 100);
    value.muted = high != 0;
    return value;
}

int OSDLevelFromBarY(int y, int height)
{
    if (height <= 0)
        return 0;
    y = std::clamp(y, 0, height);
    return static_cast<int>(std::lround(100.0 / height * (height - y)));
}

int OSDFillTop(int top, int height, int level)
{
    level = std::clamp(level, 0, 100);
    return top + static_cast<int>(std::lround(height / 100.0 * (100 - level)));
}

int OSDThumbTop(int top, int height, int width, int level)
{
    level = std::clamp(level, 0, 100);
    return top + static_cast<int>(std::lround((height - width) / 100.0 * (100 - level)));
}

BYTE OSDFadeStep(BYTE alpha)
{
    return alpha < 10 ? 0 : static_cast<BYTE>(alpha - 10);
}

int COSDWheel::Add(int delta)
{
    if (m_unit == 0)
        return 0;
    // Kept in a wide type: a hostile stream of deltas cannot overflow it.
    const long long total = static_cast<long long>(m_accumulated) + delta;
    const long long units = total / m_unit;
    m_accumulated = static_cast<int>(total - units * m_unit);
    return static_cast<int>(std::clamp<long long>(units, -100000, 100000));
}

int OSDWheelUnit(UINT scrollLines)
{
    if (scrollLines == 0)
        return 0;
    // A page at a time counts as one notch per notch.
    if (scrollLines == WHEEL_PAGESCROLL)
        return WHEEL_DELTA;
    if (scrollLines > WHEEL_DELTA)
        return 1;
    return WHEEL_DELTA / static_cast<int>(scrollLines);
}

int OSDLevelAfterWheel(int level, int units, int step)
{
    const long long moved = static_cast<long long>(level) + static_cast<long long>(units) * step;
    return static_cast<int>(std::clamp<long long>(moved, 0, 100));
}
