#include "CustomDrawToolTipCtrl.h"

#include <algorithm>

#include "Drawing.h"
#include "MemDC.h"

namespace
{
constexpr size_t kDispInfoBuffer = 80;
constexpr UINT kSingleLineFormat = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
constexpr UINT kMultiLineFormat = DT_EXPANDTABS | DT_TABSTOP | DT_NOCLIP | DT_NOPREFIX;
constexpr UINT kWrappedFormat = DT_WORDBREAK | DT_EXPANDTABS | DT_TABSTOP | DT_NOCLIP | DT_NOPREFIX;

COLORREF OrSystem(COLORREF colour, int systemColour)
{
    return colour == static_cast<COLORREF>(-1) ? ::GetSysColor(systemColour) : colour;
}

HFONT DefaultBoldFont()
{
    static HFONT bold = [] {
        LOGFONTW font{};
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
        font.lfWeight = FW_BOLD;
        return ::CreateFontIndirectW(&font);
    }();
    return bold;
}
}

CCustomDrawToolTipCtrl::CCustomDrawToolTipCtrl()
{
    BindMessage(WM_CREATE, &CCustomDrawToolTipCtrl::OnCreate);
    BindMessage(WM_ERASEBKGND, &CCustomDrawToolTipCtrl::OnEraseBkgnd);
    BindMessage(WM_PAINT, &CCustomDrawToolTipCtrl::OnPaint);
    BindMessage(WM_SETFONT, &CCustomDrawToolTipCtrl::OnSetFont);
    BindReflectedNotify(TTN_SHOW, &CCustomDrawToolTipCtrl::OnShow);
    BindReflectedNotify(TTN_POP, &CCustomDrawToolTipCtrl::OnPop);
}

CCustomDrawToolTipCtrl::~CCustomDrawToolTipCtrl()
{
    DestroyWindow();
    DiscardExtras();
}

bool CCustomDrawToolTipCtrl::Create(HWND owner, DWORD extraStyle)
{
    return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX | extraStyle,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner);
}

LRESULT CCustomDrawToolTipCtrl::OnCreate(WPARAM, LPARAM)
{
    if (Default() == -1)
        return -1;
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE) & ~WS_BORDER;
    if (m_balloon)
        style |= TTS_BALLOON;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, style);
    return 0;
}

void CCustomDrawToolTipCtrl::SetBodyText(const wchar_t* text) { m_body = text != nullptr ? text : L""; }
void CCustomDrawToolTipCtrl::SetDescription(const wchar_t* text) { m_description = text != nullptr ? text : L""; }
void CCustomDrawToolTipCtrl::SetNote(const wchar_t* text) { m_note = text != nullptr ? text : L""; }
SIZE CCustomDrawToolTipCtrl::GetBodyIconSize() const { return GetIconSize(m_bodyIcon.Get()); }
SIZE CCustomDrawToolTipCtrl::GetDescriptionIconSize() const { return GetIconSize(m_descriptionIcon.Get()); }
SIZE CCustomDrawToolTipCtrl::GetBitmapSize() const
{
    return m_bitmap ? ::GetBitmapSize(m_bitmap.Get()) : SIZE{0, 0};
}

void CCustomDrawToolTipCtrl::SetBodyIcon(HICON icon)
{
    if (m_bodyIcon.Get() != icon)
        m_bodyIcon.Reset(icon);
}

void CCustomDrawToolTipCtrl::SetDescriptionIcon(HICON icon)
{
    if (m_descriptionIcon.Get() != icon)
        m_descriptionIcon.Reset(icon);
}

void CCustomDrawToolTipCtrl::SetBitmap(HBITMAP bitmap)
{
    if (m_bitmap.Get() != bitmap)
        m_bitmap.Reset(bitmap);
}

void CCustomDrawToolTipCtrl::DiscardExtras()
{
    SetBodyIcon(nullptr);
    SetDescriptionIcon(nullptr);
    SetBitmap(nullptr);
}

void CCustomDrawToolTipCtrl::SetDispInfoText(NMTTDISPINFOW* info, const wchar_t* text)
{
    const std::wstring value = text != nullptr ? text : L"";
    if (value.size() < kDispInfoBuffer)
    {
        ::lstrcpynW(info->szText, value.c_str(), static_cast<int>(kDispInfoBuffer));
        info->lpszText = info->szText;
        return;
    }
    m_longWideText = value;
    info->lpszText = const_cast<wchar_t*>(m_longWideText.c_str());
}

void CCustomDrawToolTipCtrl::SetDispInfoText(NMTTDISPINFOA* info, const wchar_t* text)
{
    const wchar_t* value = text != nullptr ? text : L"";
    // A double-byte code page may need two bytes per character: the short
    // path is only taken when the converted text really fits with its NUL.
    if (::lstrlenW(value) < static_cast<int>(kDispInfoBuffer))
    {
        const int written = ::WideCharToMultiByte(CP_THREAD_ACP, 0, value, -1, info->szText,
                                                  static_cast<int>(kDispInfoBuffer), nullptr, nullptr);
        if (written > 0)
        {
            info->szText[kDispInfoBuffer - 1] = 0;
            info->lpszText = info->szText;
            return;
        }
    }
    const int needed = ::WideCharToMultiByte(CP_THREAD_ACP, 0, value, -1, nullptr, 0, nullptr, nullptr);
    m_longNarrowText.assign(needed > 0 ? static_cast<size_t>(needed) : 1, '\0');
    if (needed > 0)
        ::WideCharToMultiByte(CP_THREAD_ACP, 0, value, -1, m_longNarrowText.data(), needed, nullptr, nullptr);
    info->lpszText = m_longNarrowText.data();
}

HFONT CCustomDrawToolTipCtrl::FontFor(bool bold)
{
    if (m_font != nullptr)
        return bold && m_boldFont ? m_boldFont.Get() : m_font;
    return bold ? DefaultBoldFont() : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

LRESULT CCustomDrawToolTipCtrl::OnSetFont(WPARAM wParam, LPARAM lParam)
{
    m_font = reinterpret_cast<HFONT>(wParam);
    m_boldFont.Reset();
    if (m_font != nullptr)
    {
        LOGFONTW font{};
        if (::GetObjectW(m_font, sizeof(font), &font) != 0)
        {
            font.lfWeight = FW_BOLD;
            m_boldFont.Reset(::CreateFontIndirectW(&font));
        }
    }
    if (LOWORD(lParam) != 0)
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return 0;
}

SIZE CCustomDrawToolTipCtrl::DrawTextPart(HDC dc, const std::wstring& text, const RECT& rect, UINT format, bool bold,
                                          bool measureOnly)
{
    RECT area = rect;
    DRAWTEXTPARAMS params{};
    params.cbSize = sizeof(params);
    params.iTabLength = m_tabLength;
    const SelectedObject selectedFont(dc, FontFor(bold));
    // Measured from the top: centred in the large measuring area, a single
    // line would report half that area as its height.
    const UINT measureFormat = (format & ~static_cast<UINT>(DT_VCENTER)) | DT_CALCRECT;
    ::DrawTextExW(dc, const_cast<wchar_t*>(text.c_str()), static_cast<int>(text.size()), &area,
                  measureOnly ? measureFormat : format, &params);
    return SIZE{area.right - area.left, area.bottom - area.top};
}

bool CCustomDrawToolTipCtrl::HasExtras() const
{
    const SIZE bitmap = GetBitmapSize();
    return (m_showDescription && !m_description.empty()) || (m_showNote && !m_note.empty()) ||
           (m_showBitmap && bitmap.cx > 0 && bitmap.cy > 0);
}

std::wstring CCustomDrawToolTipCtrl::BodyText() const
{
    return m_body.empty() ? GetWindowText() : m_body;
}

SIZE CCustomDrawToolTipCtrl::DrawBodyText(HDC dc, const RECT& rect, bool measureOnly)
{
    const std::wstring text = BodyText();
    const bool bold = m_boldBodyWithExtras && HasExtras();
    const UINT format = text.find(L'\n') == std::wstring::npos ? kSingleLineFormat : kMultiLineFormat;
    RECT area = rect;
    if (!measureOnly)
        area.bottom = area.top + m_bodyHeight;
    return DrawTextPart(dc, text, area, format, bold, measureOnly);
}

SIZE CCustomDrawToolTipCtrl::DrawDescription(HDC dc, const RECT& rect, bool measureOnly)
{
    if (!m_showDescription)
        return SIZE{0, 0};
    int width = m_descriptionWidth;
    const SIZE icon = GetBodyIconSize();
    if (m_minimumWidth > 0 && icon.cx <= 32)
        width = m_minimumWidth - (m_showBodyIcon && icon.cx > 0 ? m_marginX + icon.cx : 0);
    RECT area = rect;
    if (width > 0)
        area.right = area.left + width;
    return DrawTextPart(dc, m_description, area, kWrappedFormat, m_descriptionBold, measureOnly);
}

SIZE CCustomDrawToolTipCtrl::DrawNote(HDC dc, const RECT& rect, bool measureOnly)
{
    RECT area = rect;
    UINT format = kMultiLineFormat;
    if (m_note.find(L'\n') == std::wstring::npos)
    {
        area.right = area.left + m_descriptionWidth;
        format = kWrappedFormat;
    }
    return DrawTextPart(dc, m_note, area, format, false, measureOnly);
}

SIZE CCustomDrawToolTipCtrl::DrawNoteArea(HDC dc, const RECT& rect, bool measureOnly)
{
    RECT inner = rect;
    ::InflateRect(&inner, -m_marginX, -m_marginY);
    SIZE total{0, 0};
    const SIZE bitmap = GetBitmapSize();
    if (m_showBitmap && bitmap.cx > 0 && bitmap.cy > 0)
    {
        if (!measureOnly)
            DrawBitmap(dc, POINT{inner.left, inner.top});
        total = bitmap;
        inner.left += bitmap.cx + m_marginX;
    }
    if (m_showNote && !m_note.empty())
    {
        const SIZE note = DrawNote(dc, inner, measureOnly);
        total.cx += note.cx + (total.cx > 0 ? m_marginX : 0);
        total.cy = std::max(total.cy, note.cy);
    }
    return total;
}

void CCustomDrawToolTipCtrl::DrawBitmap(HDC dc, POINT at)
{
    const SIZE size = GetBitmapSize();
    const UniqueDC source(::CreateCompatibleDC(dc));
    if (!source)
        return;
    const SelectedObject selectedBitmap(source.Get(), m_bitmap.Get());
    ::BitBlt(dc, at.x, at.y, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);
}

void CCustomDrawToolTipCtrl::DrawBodyIcon(HDC dc, POINT at)
{
    const SIZE size = GetBodyIconSize();
    ::DrawIconEx(dc, at.x, at.y, m_bodyIcon.Get(), size.cx, size.cy, 0, nullptr, DI_NORMAL);
}

void CCustomDrawToolTipCtrl::DrawDescriptionIcon(HDC dc, POINT at)
{
    const SIZE size = GetDescriptionIconSize();
    ::DrawIconEx(dc, at.x, at.y, m_descriptionIcon.Get(), size.cx, size.cy, 0, nullptr, DI_NORMAL);
}

void CCustomDrawToolTipCtrl::DrawSeparator(HDC dc, int left, int right, int y)
{
    const COLORREF colour = m_separatorColourSelector == -1 ? RGB(158, 187, 221) : OrSystem(m_frameColour, COLOR_INFOTEXT);
    const UniqueGdiObject<HPEN> pen(::CreatePen(PS_SOLID, 1, colour));
    const UniqueGdiObject<HPEN> white(::CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    const SelectedObject selectedPen(dc, pen.Get());
    ::MoveToEx(dc, left, y, nullptr);
    ::LineTo(dc, right, y);
    ::SelectObject(dc, white.Get());
    ::MoveToEx(dc, left, y + 1, nullptr);
    ::LineTo(dc, right, y + 1);
}

void CCustomDrawToolTipCtrl::DrawTipBackground(HDC dc, const RECT& rect)
{
    if (m_backgroundTop == static_cast<COLORREF>(-1))
    {
        ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_INFOBK));
        return;
    }
    if (m_backgroundBottom == static_cast<COLORREF>(-1))
    {
        const UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(m_backgroundTop));
        ::FillRect(dc, &rect, brush.Get());
        return;
    }
    DrawVerticalGradient(dc, rect, m_backgroundTop, m_backgroundBottom);
}

void CCustomDrawToolTipCtrl::DrawTipFrame(HDC dc, const RECT& rect, COLORREF colour)
{
    if (m_roundedCorners)
    {
        DrawRoundedFrame(dc, rect, colour, false);
        return;
    }
    const UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(colour));
    ::FrameRect(dc, &rect, brush.Get());
}

void CCustomDrawToolTipCtrl::SetMargins()
{
    m_marginX = m_roundedCorners ? 6 : 4;
    m_marginY = m_roundedCorners ? 4 : 2;
}

void CCustomDrawToolTipCtrl::NotifyOwner(WPARAM shownOrPopped)
{
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner == nullptr)
        owner = ::GetParent(m_hWnd);
    if (owner != nullptr)
        ::SendMessageW(owner, kToolTipShowPopMessage, shownOrPopped, 0);
}

LRESULT CCustomDrawToolTipCtrl::OnShow(NMHDR*)
{
    NotifyOwner(0);
    if (m_balloon)
        return 0;
    SetMargins();
    const SIZE bodyIcon = m_showBodyIcon ? GetBodyIconSize() : SIZE{0, 0};
    const SIZE descriptionIcon = m_showDescriptionIcon ? GetDescriptionIconSize() : SIZE{0, 0};

    int width = 0;
    int height = 0;
    const bool description = m_showDescription && !m_description.empty();
    SIZE note{};
    {
        const WindowDC windowDc(m_hWnd);
        const HDC dc = windowDc.Get();
        RECT measure{0, 0, 4096, 4096};
        const SIZE body = DrawBodyText(dc, measure, true);
        m_bodyHeight = std::max<int>(body.cy, bodyIcon.cy);
        width = body.cx;
        height = m_bodyHeight;
        if (description)
        {
            SIZE text = DrawDescription(dc, measure, true);
            if (descriptionIcon.cx > 0)
                text.cx += descriptionIcon.cx + m_marginX;
            if (text.cy >= 1)
            {
                width = std::max<int>(width, text.cx);
                height += std::max<int>(text.cy, descriptionIcon.cy) + 4 * m_marginY;
            }
            else
            {
                height += 2 * m_marginY;
            }
        }
        if (bodyIcon.cx > 0)
            width += bodyIcon.cx + m_marginX;
        note = DrawNoteArea(dc, measure, true);
    }
    if (note.cx > 0 || note.cy > 0)
    {
        width = std::max<int>(width, note.cx + 2 * m_marginX);
        height += note.cy + m_marginY;
    }
    width += 2 * m_marginX;
    if (description)
        width = std::max(width, m_minimumWidth);
    height += 2 * m_marginY;

    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    POINT position = m_requested.x != -1 || m_requested.y != -1 ? m_requested : POINT{window.left, window.top};
    bool moved = false;
    RECT work{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromPoint(position, MONITOR_DEFAULTTONEAREST), &monitor))
        work = monitor.rcWork;
    else
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    const int bottom = std::max<int>(position.y + height + 2, cursor.y + ::GetSystemMetrics(SM_CYCURSOR) + height);
    if (bottom > work.bottom)
    {
        position.y = cursor.y - height - 1;
        moved = true;
    }
    if (work.right < position.x + width + 2)
    {
        position.x = moved ? cursor.x - width - 1 : work.right - width - 1;
        moved = true;
    }
    const bool requested = m_requested.x != -1 || m_requested.y != -1;
    UINT flags = SWP_NOACTIVATE;
    if (!requested && !moved)
        flags |= SWP_NOMOVE;
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, position.x, position.y, width, height, flags);
    if (m_roundedCorners)
        ::SetWindowRgn(m_hWnd, ::CreateRoundRectRgn(0, 0, width + 1, height + 1, 4, 4), TRUE);
    else
        ::SetWindowRgn(m_hWnd, nullptr, TRUE);
    return requested || moved ? 1 : 0;
}

LRESULT CCustomDrawToolTipCtrl::OnPop(NMHDR*)
{
    NotifyOwner(1);
    DiscardExtras();
    m_description.clear();
    m_note.clear();
    m_body.clear();
    m_requested = POINT{-1, -1};
    return 0;
}

LRESULT CCustomDrawToolTipCtrl::OnEraseBkgnd(WPARAM wParam, LPARAM)
{
    if (m_balloon)
        return Default();
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    DrawTipBackground(reinterpret_cast<HDC>(wParam), client);
    return 1;
}

LRESULT CCustomDrawToolTipCtrl::OnPaint(WPARAM, LPARAM)
{
    if (m_balloon)
        return Default();
    SetMargins();
    PAINTSTRUCT paint{};
    const HDC target = ::BeginPaint(m_hWnd, &paint);
    {
        CSimpleMemDC memory(target, m_hWnd);
        const HDC dc = memory.GetDC();
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        RECT inner = client;
        RECT controlMargins{};
        SendMessage(TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&controlMargins));
        inner.left += controlMargins.left + m_marginX;
        inner.top += controlMargins.top + m_marginY;
        inner.right -= controlMargins.right + m_marginX;
        inner.bottom -= controlMargins.bottom + m_marginY;

        DrawTipBackground(dc, client);
        DrawTipFrame(dc, client, OrSystem(m_frameColour, COLOR_INFOTEXT));

        RECT text = inner;
        const SIZE bodyIcon = m_showBodyIcon ? GetBodyIconSize() : SIZE{0, 0};
        if (bodyIcon.cx > 0)
        {
            DrawBodyIcon(dc, POINT{inner.left, inner.top});
            text.left += bodyIcon.cx + m_marginX;
        }
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, OrSystem(m_textColour, COLOR_INFOTEXT));
        const SIZE body = DrawBodyText(dc, text, false);
        RECT rest = inner;
        rest.top += std::max<int>(body.cy, bodyIcon.cy);
        const SIZE note = DrawNoteArea(dc, rest, false);
        rest.top += note.cy;
        if (m_showDescription && !m_description.empty())
        {
            rest.top += m_marginY * 3 / 2;
            if (m_descriptionSeparator)
                DrawSeparator(dc, inner.left, inner.right, rest.top - m_marginY / 2);
            rest.top += m_marginY;
            const SIZE icon = m_showDescriptionIcon ? GetDescriptionIconSize() : SIZE{0, 0};
            if (icon.cx > 0)
            {
                DrawDescriptionIcon(dc, POINT{rest.left, rest.top});
                rest.left += icon.cx + m_marginX;
            }
            DrawDescription(dc, rest, false);
        }
    }
    ::EndPaint(m_hWnd, &paint);
    return 0;
}
