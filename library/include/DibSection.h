#pragma once
// The 32-bit top-down device-independent bitmaps the cursor overlays, tray
// icons and button images are drawn into.

#include <windows.h>

// Header of a top-down 32-bit bitmap of width x height (no alpha mask), for
// GetDIBits and CreateDIBSection.
inline BITMAPINFO TopDown32BitInfo(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// A top-down 32-bit section with an alpha mask; bits (when not null) receives
// its pixels. Null on failure.
inline HBITMAP CreateAlphaSection(HDC dc, int width, int height, DWORD** bits)
{
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof(header);
    header.bV5Width = width;
    header.bV5Height = -height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* pixels = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bits != nullptr)
        *bits = bitmap != nullptr ? static_cast<DWORD*>(pixels) : nullptr;
    return bitmap;
}
