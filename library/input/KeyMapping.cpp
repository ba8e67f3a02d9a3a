#include "KeyMapping.h"

#include "Logger.h"

UINT MapVirtualKeyWithLayout(UINT code, UINT mapType, HKL layout)
{
    if (layout == nullptr)
    {
        CLogger::LogDebug(L"MapVirtualKey(%d, %d): No keyboard layout loaded! Using MapVirtualKey instead of MapVirtualKeyEx",
                          code, mapType);
        return ::MapVirtualKeyW(code, mapType);
    }
    return ::MapVirtualKeyExW(code, mapType, layout);
}
