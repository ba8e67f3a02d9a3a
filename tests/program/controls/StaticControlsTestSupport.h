#pragma once
// Pixels of a painted control, read back from a 32-bit memory bitmap.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "DibSection.h"

namespace static_controls_test
{
class PixelCanvas
{
public:
    PixelCanvas(int width, int height, COLORREF fill) : m_width(width), m_height(height)
    {
        BITMAPINFO info = TopDown32BitInfo(width, height);
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bitmap = ::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        m_old = ::SelectObject(m_dc, m_bitmap);
        Fill(fill);
    }
    ~PixelCanvas()
    {
        ::SelectObject(m_dc, m_old);
        ::DeleteObject(m_bitmap);
        ::DeleteDC(m_dc);
    }
    PixelCanvas(const PixelCanvas&) = delete;
    PixelCanvas& operator=(const PixelCanvas&) = delete;

    HDC Dc() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    COLORREF At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= m_width || y >= m_height)
            return CLR_INVALID;
        ::GdiFlush();
        const std::uint32_t p = m_bits[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    void Fill(COLORREF colour)
    {
        const HBRUSH brush = ::CreateSolidBrush(colour);
        const RECT all{0, 0, m_width, m_height};
        ::FillRect(m_dc, &all, brush);
        ::DeleteObject(brush);
        ::GdiFlush();
    }
    int CountRow(int y, COLORREF colour) const
    {
        int count = 0;
        for (int x = 0; x < m_width; ++x)
            count += At(x, y) == colour ? 1 : 0;
        return count;
    }
    bool IsDark(int x, int y) const
    {
        const COLORREF c = At(x, y);
        return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128;
    }

private:
    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    std::uint32_t* m_bits = nullptr;
};

// A 32 x 32 icon of 32-bit pixels (alpha in the top byte).
inline HICON MakeIcon(const std::vector<std::uint32_t>& pixels)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 32;
    info.bmiHeader.biHeight = -32;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP colour = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::memcpy(bits, pixels.data(), 32 * 32 * 4);
    const std::vector<BYTE> maskBits(32 * 32 / 8, 0);
    const HBITMAP mask = ::CreateBitmap(32, 32, 1, 1, maskBits.data());
    ICONINFO icon{TRUE, 0, 0, mask, colour};
    const HICON result = ::CreateIconIndirect(&icon);
    ::DeleteObject(colour);
    ::DeleteObject(mask);
    return result;
}

inline HICON SolidIcon(std::uint32_t argb)
{
    return MakeIcon(std::vector<std::uint32_t>(32 * 32, argb));
}
}
