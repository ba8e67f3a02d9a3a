#include "LayerIcons.h"

#include <cstring>
#include <vector>

#include "CaughtException.h"
#include "DibSection.h"
#include "Handles.h"
#include "Logger.h"
#include "StringFormat.h"

namespace
{
// One colour per layer, so layers are told apart at a glance as well as by number.
constexpr COLORREF kLayerColours[kLayerIconCount] = {
    RGB(0, 102, 204), RGB(0, 153, 76),  RGB(204, 102, 0), RGB(153, 0, 153), RGB(0, 153, 153),
    RGB(153, 102, 51), RGB(204, 0, 102), RGB(76, 76, 178), RGB(102, 140, 0), RGB(90, 90, 90),
};

int IconSize()
{
    const WindowDC screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
    const int size = 32 * dpi / 96;
    return size > 0 ? size : 32;
}

// A top-down 32-bit DIB section selected into a memory DC, black (and
// transparent) to start with. Turned into an icon by Finish.
class CIconCanvas
{
public:
    explicit CIconCanvas(int size) : m_size(size), m_dc(::CreateCompatibleDC(nullptr))
    {
        m_bitmap.Reset(CreateAlphaSection(m_dc.Get(), size, size, &m_bits));
        if (m_dc && m_bitmap && m_bits)
        {
            std::memset(m_bits, 0, static_cast<size_t>(size) * size * 4);
            m_old = ::SelectObject(m_dc.Get(), m_bitmap.Get());
        }
    }
    ~CIconCanvas()
    {
        if (m_old)
            ::SelectObject(m_dc.Get(), m_old);
    }
    CIconCanvas(const CIconCanvas&) = delete;
    CIconCanvas& operator=(const CIconCanvas&) = delete;

    bool IsValid() const { return m_old != nullptr; }
    HDC Dc() const { return m_dc.Get(); }
    int Size() const { return m_size; }

    void Ellipse(int left, int top, int right, int bottom, COLORREF colour)
    {
        const UniqueGdiObject brush(::CreateSolidBrush(colour));
        const UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, colour));
        const SelectedObject selectedBrush(m_dc.Get(), brush.Get());
        const SelectedObject selectedPen(m_dc.Get(), pen.Get());
        ::Ellipse(m_dc.Get(), left, top, right, bottom);
    }

    // Every pixel that is not black becomes opaque; black stays transparent.
    HICON Finish()
    {
        ::GdiFlush();
        for (int i = 0; i < m_size * m_size; ++i)
            m_bits[i] = (m_bits[i] & 0x00FFFFFF) != 0 ? (m_bits[i] | 0xFF000000) : 0;
        std::vector<BYTE> maskBits(static_cast<size_t>((m_size + 15) / 16 * 2) * m_size, 0);
        const UniqueGdiObject mask(::CreateBitmap(m_size, m_size, 1, 1, maskBits.data()));
        ::SelectObject(m_dc.Get(), m_old);
        m_old = nullptr;
        ICONINFO info = {};
        info.fIcon = TRUE;
        info.hbmMask = mask.Get();
        info.hbmColor = m_bitmap.Get();
        return ::CreateIconIndirect(&info);
    }

private:
    int m_size;
    UniqueDC m_dc;
    UniqueGdiObject<HBITMAP> m_bitmap;
    DWORD* m_bits = nullptr;
    HGDIOBJ m_old = nullptr;
};

HICON ComposeIcon(HICON icon, int speedPosition, bool debug, const wchar_t* name)
{
    try
    {
        CIconCanvas canvas(IconSize());
        if (!canvas.IsValid())
            return nullptr;
        const int size = canvas.Size();
        if (debug)
            canvas.Ellipse(-1, -1, size + 1, size + 1, RGB(255, 0, 0));
        ::DrawIconEx(canvas.Dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        for (int i = 1; i <= speedPosition && i <= 3; ++i)
            canvas.Ellipse(size / 4 * i - 3 - 1, size - 6 - 1, size / 4 * i + 3 + 1, size + 1, RGB(255, 242, 0));
        return canvas.Finish();
    }
    catch (...)
    {
        LogCaughtException(L"%s", name);
        return nullptr;
    }
}
}

int TrayIconIndex(bool hooked, bool brmpDisabled, int layer)
{
    if (!hooked || brmpDisabled)
        return kDisabledIconIndex;
    return layer >= 0 && layer < kLayerIconCount ? layer : 0;
}

HICON DrawLayerIcon(int index, int size)
{
    CIconCanvas canvas(size);
    if (!canvas.IsValid())
        return nullptr;
    const bool disabled = index == kDisabledIconIndex;
    if (!disabled && (index < 0 || index >= kLayerIconCount))
        index = 0;
    const COLORREF colour = disabled ? RGB(128, 128, 128) : kLayerColours[index];
    HDC dc = canvas.Dc();
    {
        const UniqueGdiObject brush(::CreateSolidBrush(colour));
        const UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, RGB(250, 250, 250)));
        const SelectedObject selectedBrush(dc, brush.Get());
        const SelectedObject selectedPen(dc, pen.Get());
        const int inset = size / 16;
        ::RoundRect(dc, inset, inset, size - inset, size - inset, size / 3, size / 3);
    }
    if (disabled)
    {
        // A cross over the grey badge.
        const UniqueGdiObject pen(::CreatePen(PS_SOLID, size / 8 > 0 ? size / 8 : 1, RGB(220, 20, 20)));
        const SelectedObject selectedPen(dc, pen.Get());
        const int a = size / 4, b = size - size / 4;
        ::MoveToEx(dc, a, a, nullptr);
        ::LineTo(dc, b, b);
        ::MoveToEx(dc, b, a, nullptr);
        ::LineTo(dc, a, b);
    }
    else
    {
        const std::wstring number = FormatString(L"%d", index + 1);
        const UniqueGdiObject font(::CreateFontW(-(size * (index == 9 ? 9 : 12) / 16), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                           NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial"));
        const SelectedObject selectedFont(dc, font.Get());
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, RGB(255, 255, 255));
        RECT box = {0, 0, size, size};
        ::DrawTextW(dc, number.c_str(), static_cast<int>(number.size()), &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    return canvas.Finish();
}

HICON CreateSpeedIcon(HICON icon, int speedPosition)
{
    return ComposeIcon(icon, speedPosition, false, L"CreateSpeedIcon");
}

HICON CreateDebugIcon(HICON icon, int speedPosition)
{
    return ComposeIcon(icon, speedPosition, true, L"CreateDebugIcon");
}

CLayerIcons::~CLayerIcons()
{
    Release();
}

void CLayerIcons::Release()
{
    for (UniqueIcon& icon : m_icons)
        icon.Reset();
    m_fromFile.fill(false);
}

void CLayerIcons::Load(const std::wstring& folder)
{
    Release();
    const int size = IconSize();
    for (int index = 0; index <= kLayerIconCount; ++index)
    {
        const std::wstring file =
            folder + (index == kDisabledIconIndex ? std::wstring(L"Disabled.ico") : FormatString(L"Layer%d.ico", index + 1));
        if (::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES)
        {
            m_icons[index].Reset(
                static_cast<HICON>(::LoadImageW(nullptr, file.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE)));
            if (m_icons[index])
                m_fromFile[index] = true;
            else
                CLogger::LogOSMessage(::GetLastError(), L"Unable to load the icon file '%s'.", file.c_str());
        }
        if (!m_icons[index])
            m_icons[index].Reset(DrawLayerIcon(index, size));
    }
}

HICON CLayerIcons::Get(int index) const
{
    if (index < 0 || index > kLayerIconCount)
        index = 0;
    return m_icons[index].Get();
}

bool CLayerIcons::LoadedFromFile(int index) const
{
    return index >= 0 && index <= kLayerIconCount && m_fromFile[index];
}

HICON CLayerIcons::Compose(int index, bool debug, int speedPosition) const
{
    HICON plain = Get(index);
    if (!plain)
        return nullptr;
    // Debug mode shows the same speed marks; the disabled icon has none.
    if (debug)
        return CreateDebugIcon(plain, index == kDisabledIconIndex ? -1 : speedPosition);
    if (index == kDisabledIconIndex)
        return ::CopyIcon(plain);
    return CreateSpeedIcon(plain, speedPosition);
}
