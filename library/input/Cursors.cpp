#include "Cursors.h"

#include <cwchar>
#include <string>
#include <vector>

#include "DibSection.h"
#include "Folders.h"
#include "Handles.h"
#include "LibrarySettings.h"
#include "LockAxis.h"
#include "Logger.h"
#include "SPIThread.h"
#include "Settings.h"
#include "StringFormat.h"
#include "ThreadLock.h"

namespace
{
// Screen DC and memory DC around an overlay section of cursor size, filled with
// the key colour; Take hands the bitmap over and releases the rest.
class OverlayCanvas
{
public:
    OverlayCanvas(const wchar_t* noDc, const wchar_t* noSection) : m_screen(nullptr)
    {
        m_width = ::GetSystemMetrics(SM_CXCURSOR);
        m_height = ::GetSystemMetrics(SM_CYCURSOR);
        if (m_width <= 0 || m_height <= 0)
            m_width = m_height = 32;
        if (!m_screen)
        {
            CLogger::LogMessage(noDc);
            return;
        }
        m_bitmap.Reset(CreateAlphaSection(m_screen.Get(), m_width, m_height, &m_bits));
        if (!m_bitmap)
        {
            CLogger::LogMessage(noSection);
            return;
        }
        m_dc.Reset(::CreateCompatibleDC(m_screen.Get()));
        if (!m_dc)
        {
            m_bitmap.Reset();
            return;
        }
        m_old = ::SelectObject(m_dc.Get(), m_bitmap.Get());
        ::GdiFlush();
        for (int i = 0; i < m_width * m_height; ++i)
            m_bits[i] = kOverlayKey;
    }
    ~OverlayCanvas()
    {
        if (m_dc)
            ::SelectObject(m_dc.Get(), m_old);
    }
    OverlayCanvas(const OverlayCanvas&) = delete;
    OverlayCanvas& operator=(const OverlayCanvas&) = delete;

    bool Ready() const { return static_cast<bool>(m_dc); }
    HDC Dc() const { return m_dc.Get(); }
    DWORD* Bits() const { return m_bits; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    HBITMAP Take()
    {
        ::GdiFlush();
        ::SelectObject(m_dc.Get(), m_old);
        m_old = nullptr;
        m_dc.Reset();
        return m_bitmap.Release();
    }

private:
    int m_width = 0;
    int m_height = 0;
    WindowDC m_screen;
    UniqueDC m_dc;
    UniqueGdiObject<HBITMAP> m_bitmap;
    HGDIOBJ m_old = nullptr;
    DWORD* m_bits = nullptr;
};

HFONT OverlayFont(int height, DWORD quality)
{
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = 600;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfQuality = static_cast<BYTE>(quality);
    wcscpy_s(font.lfFaceName, L"Segoe UI");
    return ::CreateFontIndirectW(&font);
}

// Pixels of a bitmap as 32-bit top-down rows.
bool ReadPixels(HDC dc, HBITMAP bitmap, DWORD* pixels, int width, int height)
{
    BITMAPINFO info = TopDown32BitInfo(width, height);
    return ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS) == height;
}

bool BitmapSize(HBITMAP bitmap, int& width, int& height)
{
    BITMAP info{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0)
        return false;
    width = info.bmWidth;
    height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    return width > 0 && height > 0;
}

struct CombineTexts
{
    const wchar_t* noDc;
    const wchar_t* noIconInfo;
    const wchar_t* noSection;
    const wchar_t* noCompatibleDc;
    const wchar_t* noDraw;
    const wchar_t* noBits;
    const wchar_t* noIcon;
};

const CombineTexts kOverlayTexts = {
    L"CombineOverlayCursor: Unable to obtain device context", L"CombineOverlayCursor: GetIconInfo failed",
    L"CombineOverlayCursor: CreateDIBSection failed",         L"CombineOverlayCursor: CreateCompatibleDC failed",
    L"CombineOverlayCursor: DrawIconEx Failed",               L"CombineOverlayCursor: GetDIBits Failed",
    L"CombineOverlayCursor: CreateIconIndirect Failed",
};
const CombineTexts kLayerTexts = {
    L"CombineLayerOverlayCursor: Unable to obtain device context", L"CombineLayerOverlayCursor: Unable to get cursor IconInfo",
    L"CombineLayerOverlayCursor: CreateDIBSection failed",         L"CombineLayerOverlayCursor: CreateCompatibleDC failed",
    L"CombineLayerOverlayCursor: DrawIconEx Failed",               L"CombineLayerOverlayCursor: GetDIBits Failed",
    L"CombineLayerOverlayCursor: CreateIconIndirect Failed",
};
}

CCursors::CCursors(const CSettings* settings)
{
    if (settings != nullptr)
    {
        m_nChordTextHeight = -settings->m_nOverlayFontSize;
        m_nLayerTextHeight = -settings->m_nLayerOverlayFontSize;
    }
    if (!::InitializeCriticalSectionAndSpinCount(&m_cs, 4000))
        CLogger::LogOSMessage(::GetLastError(), L"Unable to initialise critical section in CCursors");
}

CCursors::~CCursors()
{
    DestroyCursors();
    ::DeleteCriticalSection(&m_cs);
}

bool CCursors::LoadCursors(HINSTANCE instance, const wchar_t* caller)
{
    const DWORD tid = ::GetCurrentThreadId();
    CLogger::LogDebug(L"CCursors::LoadCursors called from %s (Instance 0x%016llX, ThreadID 0x%08X)...", caller,
                      AddressNumber(instance), tid);
    CGenericThreadLock lock(&m_cs, L"CCursors::LoadCursors");
    DestroyCursors();

    CLogger::LogDebug(L"Loading Timed Button bitmaps...");
    for (int step = 0; step < kTimedClickSteps; ++step)
        m_hTimedClick[step] = CreateTBCOverlayBitmap(step);

    CLogger::LogDebug(L"Loading layer bitmaps...");
    for (int layer = 0; layer < kLayers; ++layer)
        m_hLayer[layer] = CreateLayerOverlayBitmap(layer);

    CLogger::LogDebug(L"Loading cursors...");
    static const struct
    {
        int resource;
        const wchar_t* failure;
    } kColours[kColourCursors] = {
        {IDC_REDCURSOR, L"CCursors::LoadCursors - Unable to load cursor 1 (IDC_REDCURSOR)"},
        {IDC_GREENCURSOR, L"CCursors::LoadCursors - Unable to load cursor 2 (IDC_GREENCURSOR)"},
        {IDC_BLUECURSOR, L"CCursors::LoadCursors - Unable to load cursor 2 (IDC_BLUECURSOR)"},
        {IDC_ORANGECURSOR, L"CCursors::LoadCursors - Unable to load cursor 3 (IDC_ORANGECURSOR)"},
        {IDC_TURQUOISECURSOR, L"CCursors::LoadCursors - Unable to load cursor 4 (IDC_TURQUOISECURSOR)"},
        {IDC_YELLOWCURSOR, L"CCursors::LoadCursors - Unable to load cursor 5 (IDC_YELLOWCURSOR)"},
    };
    for (int i = 0; i < kColourCursors; ++i)
    {
        m_hColour[i] = static_cast<HCURSOR>(
            ::LoadImageW(instance, MAKEINTRESOURCEW(kColours[i].resource), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
        if (m_hColour[i] == nullptr)
            CLogger::LogOSMessage(::GetLastError(), kColours[i].failure);
    }

    CLogger::LogDebug(L"Creating overlay cursors...");
    m_hChord[0] = CreateChordOverlayBitmap(true);
    m_hChord[1] = CreateChordOverlayBitmap(false);
    CLogger::LogDebug(L"Loaded cursors finished (Called from %s ThreadID 0x%08X)...", caller, tid);
    return true;
}

void CCursors::DestroyCursors()
{
    CGenericThreadLock lock(&m_cs, L"CCursors::DestroyCursors");
    bool any = false;
    for (HBITMAP b : m_hTimedClick)
        any = any || b != nullptr;
    for (HBITMAP b : m_hLayer)
        any = any || b != nullptr;
    for (HBITMAP b : m_hChord)
        any = any || b != nullptr;
    for (HCURSOR c : m_hColour)
        any = any || c != nullptr;
    if (!any)
    {
        CLogger::LogDebug(L"CCursors::DestroyCursors - No cursors to destroy!");
        return;
    }
    CLogger::LogDebug(L"CCursors::DestroyCursors - Destroying cursors...");
    for (HBITMAP& b : m_hTimedClick)
    {
        if (b != nullptr)
            ::DeleteObject(b);
        b = nullptr;
    }
    for (HBITMAP& b : m_hLayer)
    {
        if (b != nullptr)
            ::DeleteObject(b);
        b = nullptr;
    }
    for (HBITMAP& b : m_hChord)
    {
        if (b != nullptr)
            ::DeleteObject(b);
        b = nullptr;
    }
    for (int i = 0; i < kColourCursors; ++i)
    {
        if (m_hColour[i] != nullptr && !::DestroyCursor(m_hColour[i]))
            CLogger::LogMessage(L"Unable to destory cursor %d", i);
        m_hColour[i] = nullptr;
    }
}

HBITMAP CCursors::GetTimedClickCursorOverlay(int step)
{
    CGenericThreadLock lock(&m_cs, L"CCursors::GetTimedClickCursorOverlay");
    // Callers pass 0-3; anything else has no overlay rather than reading past the table.
    if (step < 0 || step >= kTimedClickSteps)
        return nullptr;
    return m_hTimedClick[step];
}

HBITMAP CCursors::GetChordCursorOverlay(bool active)
{
    CGenericThreadLock lock(&m_cs, L"CCursors::GetChordCursorOverlay");
    return m_hChord[active ? 0 : 1];
}

HBITMAP CCursors::GetLayerOverlay(int layer)
{
    CGenericThreadLock lock(&m_cs, L"CCursors::GetLayerOverlay");
    if (layer < 0 || layer >= kLayers)
        return nullptr;
    return m_hLayer[layer];
}

HCURSOR CCursors::GetColourCursor(int index)
{
    CGenericThreadLock lock(&m_cs, L"CCursors::GetColourCursor");
    if (index < 0 || index >= kColourCursors)
        return nullptr;
    return m_hColour[index];
}

HCURSOR CCursors::GetPredefinedPointerCursor(const wchar_t* name)
{
    CGenericThreadLock lock(&m_cs, L"CCursors::GetPredefinedPointerCursor");
    if (name == nullptr || name[0] == L'\0')
        return nullptr;
    if (name[1] == L'\0')
    {
        const int index = name[0] >= L'0' && name[0] <= L'9' ? name[0] - L'0' : 0;
        if (index >= kColourCursors)
            return nullptr;
        if (m_hColour[index] == nullptr)
        {
            CLogger::LogMessage(L"Predefined cursor %d is not loaded", index);
            return nullptr;
        }
        return static_cast<HCURSOR>(::CopyIcon(m_hColour[index]));
    }
    wchar_t folder[1024] = L"";
    if (GetSettingsFolder(folder, 1024) != 0 || folder[0] == L'\0')
    {
        CLogger::LogMessage(L"Unable to load cursor image file '%s'", name);
        return nullptr;
    }
    std::wstring path = folder;
    if (path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    path += name;
    // The name comes from the settings file: a path beyond the limit is refused, not cut.
    if (path.size() >= 1024)
    {
        CLogger::LogMessage(L"Unable to load cursor image file '%s'", name);
        return nullptr;
    }
    HCURSOR cursor = static_cast<HCURSOR>(
        ::LoadImageW(nullptr, path.c_str(), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_LOADFROMFILE));
    if (cursor == nullptr)
        CLogger::LogMessage(L"Unable to load cursor image file '%s'", path.c_str());
    return cursor;
}

// --- overlay drawing --------------------------------------------------------------

HBITMAP CCursors::CreateChordOverlayBitmap(bool active)
{
    OverlayCanvas canvas(L"CreateChordOverlayBitmap: Unable to obtain device context",
                         L"CreateChordOverlayBitmap: CreateDIBSection failed");
    if (!canvas.Ready())
        return nullptr;
    HDC dc = canvas.Dc();
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, active ? RGB(200, 0, 0) : RGB(200, 200, 200));
    const UniqueGdiObject<HFONT> font(OverlayFont(m_nChordTextHeight, NONANTIALIASED_QUALITY));
    {
        const SelectedObject selectedFont(dc, font.Get());
        ::TextOutW(dc, canvas.Width() - 17, canvas.Height() - 17, L"+", 1);
    }
    return canvas.Take();
}

HBITMAP CCursors::CreateTBCOverlayBitmap(int step)
{
    OverlayCanvas canvas(L"CreateTBCOverlayBitmap: Unable to obtain device context",
                         L"CreateTBCOverlayBitmap: CreateDIBSection failed");
    if (!canvas.Ready())
        return nullptr;
    HDC dc = canvas.Dc();
    const int w = canvas.Width();
    const int h = canvas.Height();
    const UniqueGdiObject<HBRUSH> fill(::CreateSolidBrush(step == 3 ? 720650 : 7339923));
    const UniqueGdiObject<HPEN> outline(::CreatePen(PS_SOLID, 1, 131586));
    const UniqueGdiObject<HBRUSH> markBrush(::CreateSolidBrush(131839));
    const UniqueGdiObject<HPEN> markPen(::CreatePen(PS_SOLID, 1, 131839));
    {
        const SelectedObject selectedBrush(dc, fill.Get());
        const SelectedObject selectedPen(dc, outline.Get());
        for (int i = 0; i < 3; ++i)
        {
            const int x = w / 4 + 4 + i * (w / 4);
            if (i < step)
            {
                ::SelectObject(dc, fill.Get());
                ::SelectObject(dc, outline.Get());
                ::Ellipse(dc, x - 8, h - 8, x, h);
            }
            if (step == 0)
            {
                ::SelectObject(dc, markBrush.Get());
                ::SelectObject(dc, markPen.Get());
                ::Rectangle(dc, x - 5, h - 5, x - 3, h - 3);
            }
        }
    }
    return canvas.Take();
}

HBITMAP CCursors::CreateLayerOverlayBitmap(int layer)
{
    OverlayCanvas canvas(L"CreateLayerOverlayBitmap: Unable to obtain device context",
                         L"CreateLayerOverlayBitmap: CreateDIBSection failed");
    if (!canvas.Ready())
        return nullptr;
    HDC dc = canvas.Dc();
    const int w = canvas.Width();
    const int h = canvas.Height();
    wchar_t text[5] = L"";
    Format(text, 5, L"%d", layer + 1);
    const int length = static_cast<int>(std::wcslen(text));

    const UniqueGdiObject<HFONT> font(OverlayFont(m_nLayerTextHeight, CLEARTYPE_NATURAL_QUALITY));
    {
        const SelectedObject selectedFont(dc, font.Get());
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text, length, &size);
        const int xOffset = size.cx <= 10 ? 2 : 1;
        const int top = h - size.cy - 1;

        const SelectedObject selectedBrush(dc, ::GetStockObject(WHITE_BRUSH));
        const SelectedObject selectedPen(dc, ::GetStockObject(WHITE_PEN));
        ::RoundRect(dc, w - size.cx - 4, top, w, h, 8, 8);
        ::SetTextColor(dc, RGB(0, 0, 255));
        ::SetBkColor(dc, RGB(255, 255, 255));
        ::SetBkMode(dc, TRANSPARENT);
        ::TextOutW(dc, w - size.cx - 4 + xOffset, top, text, length);
    }
    ::GdiFlush();

    DWORD* bits = canvas.Bits();
    for (int i = 0; i < w * h; ++i)
    {
        const DWORD colour = bits[i] & 0x00FFFFFF;
        if (colour == kOverlayKey)
            continue;
        if (colour == 0x000000FF)
            bits[i] = 0xFF000000 | colour;
        else if (colour == 0x00FFFFFF)
            bits[i] = 0x7FFFFFFF;
        else
        {
            const DWORD red = (colour >> 16) & 0xFF;
            const DWORD green = (colour >> 8) & 0xFF;
            bits[i] = ((red <= 80 || green == 255) ? 0x9F000000 : 0x7F000000) | colour;
        }
    }
    return canvas.Take();
}

// --- combining --------------------------------------------------------------------

HCURSOR CCursors::CombineOverlayCursor(HCURSOR cursor, HBITMAP overlay)
{
    return Combine(cursor, overlay, false);
}

HCURSOR CCursors::CombineLayerOverlayCursor(HCURSOR cursor, int layer)
{
    CGenericThreadLock lock(&m_cs, L"CCursors::CombineLayerOverlayCursor");
    if (layer < 0 || layer >= kLayers)
    {
        CLogger::LogMessage(L"CombineLayerOverlayCursor: Unexpected layer %d", layer);
        return nullptr;
    }
    if (m_hLayer[layer] == nullptr)
    {
        CLogger::LogMessage(L"CombineLayerOverlayCursor: Overlay for layer %d is not initialised", layer);
        return nullptr;
    }
    return Combine(cursor, m_hLayer[layer], true);
}

HCURSOR CCursors::Combine(HCURSOR cursor, HBITMAP overlay, bool layerAlpha)
{
    const CombineTexts& texts = layerAlpha ? kLayerTexts : kOverlayTexts;
    if (cursor == nullptr || overlay == nullptr)
        return nullptr;
    const WindowDC screen(nullptr);
    if (!screen)
    {
        CLogger::LogMessage(texts.noDc);
        return nullptr;
    }
    const IconBitmaps cursorBitmaps(cursor);
    if (!cursorBitmaps)
    {
        CLogger::LogMessage(texts.noIconInfo);
        return nullptr;
    }
    const ICONINFO& info = cursorBitmaps.Info();
    int width = ::GetSystemMetrics(SM_CXCURSOR);
    int height = ::GetSystemMetrics(SM_CYCURSOR);
    int maskWidth = 0;
    int maskHeight = 0;
    if (BitmapSize(info.hbmMask, maskWidth, maskHeight))
    {
        width = maskWidth;
        // A monochrome cursor's mask holds the AND and the XOR halves.
        height = info.hbmColor == nullptr ? maskHeight / 2 : maskHeight;
    }
    const bool monochrome = info.hbmColor == nullptr;

    DWORD* bits = nullptr;
    const UniqueGdiObject<HBITMAP> section(
        width > 0 && height > 0 ? CreateAlphaSection(screen.Get(), width, height, &bits) : nullptr);
    if (!section)
    {
        CLogger::LogMessage(texts.noSection);
        return nullptr;
    }
    const UniqueDC dc(::CreateCompatibleDC(screen.Get()));
    if (!dc)
    {
        CLogger::LogMessage(texts.noCompatibleDc);
        return nullptr;
    }

    bool drawn = false;
    {
        const SelectedObject selectedSection(dc.Get(), section.Get());
        const int count = width * height;
        ::GdiFlush();
        for (int i = 0; i < count; ++i)
            bits[i] = 0;
        drawn = ::DrawIconEx(dc.Get(), 0, 0, cursor, width, height, 0, nullptr, DI_NORMAL) != FALSE;
        ::GdiFlush();
        if (!drawn)
            CLogger::LogMessage(texts.noDraw);

        // The overlay is of cursor size; the cursor may not be: only the common part is used.
        int overlayWidth = 0;
        int overlayHeight = 0;
        std::vector<DWORD> over;
        if (BitmapSize(overlay, overlayWidth, overlayHeight))
        {
            over.resize(static_cast<size_t>(overlayWidth) * static_cast<size_t>(overlayHeight));
            if (!ReadPixels(dc.Get(), overlay, over.data(), overlayWidth, overlayHeight))
            {
                CLogger::LogMessage(texts.noBits);
                over.clear();
            }
        }
        const int commonWidth = overlayWidth < width ? overlayWidth : width;
        const int commonHeight = overlayHeight < height ? overlayHeight : height;
        const bool haveOverlay = !over.empty();

        bool alphaCursor = false;
        for (int i = 0; drawn && i < count && !alphaCursor; ++i)
            alphaCursor = (bits[i] & 0xFF000000) != 0;

        if (drawn && alphaCursor)
        {
            for (int y = 0; haveOverlay && y < commonHeight; ++y)
            {
                for (int x = 0; x < commonWidth; ++x)
                {
                    const DWORD pixel = over[static_cast<size_t>(y) * overlayWidth + x];
                    if ((pixel & 0x00FFFFFF) == kOverlayKey)
                        continue;
                    bits[y * width + x] = layerAlpha ? pixel : (0xFF000000 | (pixel & 0x00FFFFFF));
                }
            }
        }
        else if (drawn)
        {
            const DWORD key = monochrome ? 0x00FDFDFD : kOverlayKey;
            for (int i = 0; i < count; ++i)
                bits[i] = key;
            ::DrawIconEx(dc.Get(), 0, 0, cursor, width, height, 0, nullptr, DI_NORMAL);
            ::GdiFlush();
            for (int y = 0; haveOverlay && y < commonHeight; ++y)
            {
                for (int x = 0; x < commonWidth; ++x)
                {
                    const DWORD pixel = over[static_cast<size_t>(y) * overlayWidth + x];
                    if ((pixel & 0x00FFFFFF) != kOverlayKey)
                        bits[y * width + x] = pixel & 0x00FFFFFF;
                }
            }
            for (int y = 0; y < height; ++y)
            {
                for (int x = 0; x < width; ++x)
                {
                    DWORD& pixel = bits[y * width + x];
                    if ((pixel & 0x00FFFFFF) == key)
                    {
                        pixel = 0;
                        continue;
                    }
                    DWORD alpha = 0xFF;
                    if (layerAlpha && haveOverlay && x < commonWidth && y < commonHeight)
                    {
                        const DWORD a = over[static_cast<size_t>(y) * overlayWidth + x] >> 24;
                        if (a != 0)
                            alpha = a;
                    }
                    pixel = (alpha << 24) | (pixel & 0x00FFFFFF);
                }
            }
        }
    }
    if (!drawn)
        return nullptr;

    // All-zero mask: the colour bitmap's alpha decides everything.
    const int stride = ((width + 15) / 16) * 2;
    const std::vector<BYTE> zero(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
    const UniqueGdiObject<HBITMAP> mask(::CreateBitmap(width, height, 1, 1, zero.data()));
    ICONINFO made{};
    made.fIcon = FALSE;
    made.xHotspot = info.xHotspot;
    made.yHotspot = info.yHotspot;
    made.hbmMask = mask.Get();
    made.hbmColor = section.Get();
    const UniqueIcon icon(mask ? ::CreateIconIndirect(&made) : nullptr);
    if (!icon)
    {
        CLogger::LogMessage(texts.noIcon);
        return nullptr;
    }
    return static_cast<HCURSOR>(::CopyIcon(icon.Get()));
}

// --- pixel access for tests -------------------------------------------------------

bool ReadBitmapPixels(HBITMAP bitmap, std::vector<DWORD>& pixels, int& width, int& height)
{
    if (!BitmapSize(bitmap, width, height))
        return false;
    const WindowDC screen(nullptr);
    if (!screen)
        return false;
    pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    return ReadPixels(screen.Get(), bitmap, pixels.data(), width, height);
}

bool ReadCursorPixels(HCURSOR cursor, std::vector<DWORD>& pixels, int& width, int& height)
{
    const IconBitmaps bitmaps(cursor);
    return bitmaps && bitmaps.Info().hbmColor != nullptr &&
           ReadBitmapPixels(bitmaps.Info().hbmColor, pixels, width, height);
}
