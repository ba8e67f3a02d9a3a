#include "ThemedButton.h"

#include <vsstyle.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "Application.h"
#include "DibSection.h"
#include "Logger.h"
#include "SystemLibrary.h"

// ---- CXThemeHelper ----

namespace
{
template <class T>
bool Resolve(HMODULE module, const char* name, T* function)
{
    *function = reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return *function != nullptr;
}
}

CXThemeHelper::CXThemeHelper()
{
    m_module = LoadSystemLibrary(L"uxtheme.dll");
    if (m_module == nullptr)
        return;
    const bool all = Resolve(m_module, "CloseThemeData", &m_closeThemeData) &&
                     Resolve(m_module, "DrawThemeBackground", &m_drawThemeBackground) &&
                     Resolve(m_module, "DrawThemeParentBackground", &m_drawThemeParentBackground) &&
                     Resolve(m_module, "DrawThemeText", &m_drawThemeText) &&
                     Resolve(m_module, "GetThemeBackgroundContentRect", &m_getThemeBackgroundContentRect) &&
                     Resolve(m_module, "IsAppThemed", &m_isAppThemed) &&
                     Resolve(m_module, "IsThemeActive", &m_isThemeActive) &&
                     Resolve(m_module, "OpenThemeData", &m_openThemeData);
    if (all)
    {
        m_available = true;
        return;
    }
    ::FreeLibrary(m_module);
    m_module = nullptr;
}

CXThemeHelper::~CXThemeHelper()
{
    m_available = false;
    if (m_module != nullptr)
        ::FreeLibrary(m_module);
}

CXThemeHelper& CXThemeHelper::Get()
{
    static CXThemeHelper helper;
    return helper;
}

bool CXThemeHelper::CloseThemeData(HTHEME theme) const
{
    return m_available && theme != nullptr && SUCCEEDED(m_closeThemeData(theme));
}

HTHEME CXThemeHelper::OpenThemeData(HWND window, const wchar_t* classes) const
{
    return m_available ? m_openThemeData(window, classes) : nullptr;
}

bool CXThemeHelper::DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect) const
{
    return m_available && theme != nullptr && SUCCEEDED(m_drawThemeBackground(theme, dc, part, state, rect, nullptr));
}

bool CXThemeHelper::DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect) const
{
    return m_available && SUCCEEDED(m_drawThemeParentBackground(window, dc, rect));
}

bool CXThemeHelper::DrawThemeText(HTHEME theme, HDC dc, int part, int state, const wchar_t* text, int length,
                                  DWORD flags, const RECT* rect) const
{
    return m_available && theme != nullptr &&
           SUCCEEDED(m_drawThemeText(theme, dc, part, state, text, length, flags, 0, rect));
}

bool CXThemeHelper::IsAppThemed() const
{
    return m_available && m_isAppThemed() != FALSE;
}

bool CXThemeHelper::IsThemeActive() const
{
    return m_available && m_isThemeActive() != FALSE;
}

// ---- COddButton ----

COddButton::COddButton()
{
    BindMessage(WM_GETDLGCODE, &COddButton::OnGetDlgCode);
    BindMessage(BM_SETSTYLE, &COddButton::OnSetStyle);
}

void COddButton::PreSubclassWindow()
{
    const LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    m_buttonType = static_cast<int>(style & 0xF);
    if (m_buttonType == BS_DEFPUSHBUTTON)
    {
        m_buttonType = BS_PUSHBUTTON;
        m_isDefault = 1;
        m_canBeDefault = 1;
    }
    else if (m_buttonType == BS_PUSHBUTTON)
    {
        m_canBeDefault = 1;
    }
    ::SetWindowLongW(m_hWnd, GWL_STYLE, (style & ~0xFL) | BS_OWNERDRAW);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CWindow::PreSubclassWindow();
}

LRESULT COddButton::OnGetDlgCode(WPARAM, LPARAM)
{
    LRESULT code = Default();
    if (m_buttonType == BS_RADIOBUTTON || m_buttonType == BS_AUTORADIOBUTTON)
        code |= DLGC_RADIOBUTTON;
    else if (m_buttonType == BS_GROUPBOX)
        code = DLGC_STATIC;
    if (m_canBeDefault != 0 || m_isDefault != 0)
        code |= m_isDefault != 0 ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON;
    return code;
}

LRESULT COddButton::OnSetStyle(WPARAM wParam, LPARAM lParam)
{
    const UINT type = static_cast<UINT>(wParam) & 0xF;
    if (type == BS_DEFPUSHBUTTON || type == BS_PUSHBUTTON)
        m_isDefault = type == BS_DEFPUSHBUTTON ? 1 : 0;
    return DefWindowProc(BM_SETSTYLE, (wParam & ~static_cast<WPARAM>(0xF)) | BS_OWNERDRAW, lParam);
}

void COddButton::ResetDefaultButton()
{
    if (m_isDefault == 0 || m_hWnd == nullptr)
        return;
    SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    const HWND parent = GetParent();
    if (parent == nullptr)
        return;
    const LRESULT answer = ::SendMessageW(parent, DM_GETDEFID, 0, 0);
    if (HIWORD(answer) == DC_HASDEFID)
        ::SendMessageW(parent, DM_SETDEFID, LOWORD(answer), 0);
}

// ---- CXButtonXP ----

CXButtonXP::CXButtonXP()
{
    BindMessage(WM_ERASEBKGND, &CXButtonXP::OnEraseBkgnd);
    BindMessage(WM_MOUSEMOVE, &CXButtonXP::OnMouseMove);
    BindMessage(WM_MOUSELEAVE, &CXButtonXP::OnMouseLeave);
}

CXButtonXP::~CXButtonXP()
{
    CXThemeHelper::Get().CloseThemeData(m_theme);
}

void CXButtonXP::SetIcon(UINT resourceId)
{
    SetIconHandle(static_cast<HICON>(
        ::LoadImageW(GetResourceInstance(), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR)));
}

void CXButtonXP::SetIconHandle(HICON icon)
{
    if (m_icon.Get() != icon)
        m_icon.Reset(icon);
    m_grayIcon.Reset(icon != nullptr ? CreateGrayscaleIcon(icon) : nullptr);
    m_iconPosition = 1;
    if (m_hWnd != nullptr)
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
}

bool CXButtonXP::IsThemed() const
{
    const CXThemeHelper& helper = CXThemeHelper::Get();
    return helper.IsAvailable() && helper.IsAppThemed() && m_theme != nullptr && m_themedDrawing;
}

HICON CXButtonXP::CreateGrayscaleIcon(HICON icon)
{
    static const std::vector<COLORREF> greys = [] {
        std::vector<COLORREF> table(256);
        for (int i = 0; i < 256; ++i)
        {
            const int level = static_cast<int>(255 - i / 2.5);
            table[static_cast<size_t>(i)] = RGB(level, level, level);
        }
        return table;
    }();

    const IconBitmaps iconBitmaps(icon);
    if (!iconBitmaps)
        return nullptr;
    const ICONINFO& info = iconBitmaps.Info();
    BITMAP bitmap{};
    if (info.hbmColor == nullptr || ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap) == 0 || bitmap.bmWidth <= 0 ||
        bitmap.bmHeight <= 0)
        return nullptr;
    BITMAPINFO header = TopDown32BitInfo(bitmap.bmWidth, bitmap.bmHeight);
    std::vector<DWORD> pixels(static_cast<size_t>(bitmap.bmWidth) * static_cast<size_t>(bitmap.bmHeight));
    const WindowDC screen(nullptr);
    if (::GetDIBits(screen.Get(), info.hbmColor, 0, static_cast<UINT>(bitmap.bmHeight), pixels.data(), &header,
                    DIB_RGB_COLORS) == 0)
        return nullptr;
    for (DWORD& pixel : pixels)
    {
        const DWORD alpha = pixel >> 24;
        const int sum = static_cast<int>(((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF));
        const int v = 255 - sum / 3;
        if (alpha == 0 && v == 255)
            continue;
        const COLORREF grey = greys[static_cast<size_t>(v == 0 ? 1 : v)];
        pixel = (alpha << 24) | GetRValue(grey) << 16 | GetGValue(grey) << 8 | GetBValue(grey);
    }
    void* bits = nullptr;
    const UniqueGdiObject<HBITMAP> colour(::CreateDIBSection(screen.Get(), &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colour || bits == nullptr)
        return nullptr;
    std::memcpy(bits, pixels.data(), pixels.size() * sizeof(DWORD));
    ICONINFO grey{};
    grey.fIcon = TRUE;
    grey.hbmColor = colour.Get();
    grey.hbmMask = info.hbmMask;
    return ::CreateIconIndirect(&grey);
}

LRESULT CXButtonXP::OnEraseBkgnd(WPARAM, LPARAM)
{
    return TRUE;
}

LRESULT CXButtonXP::OnMouseMove(WPARAM, LPARAM lParam)
{
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ClientToScreen(m_hWnd, &point);
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const bool inside = ::PtInRect(&window, point) != FALSE;
    if (inside != m_hot)
    {
        m_hot = inside;
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        if (inside)
        {
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
            ::TrackMouseEvent(&track);
        }
    }
    return Default();
}

LRESULT CXButtonXP::OnMouseLeave(WPARAM, LPARAM)
{
    m_hot = false;
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return Default();
}

LRESULT CXButtonXP::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_GETDLGCODE:
    {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg != nullptr && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB)
            return 0;
        return DLGC_WANTALLKEYS;
    }
    case WM_KEYDOWN:
        if ((lParam & (1 << 30)) != 0)
            return 0;
        if (wParam == VK_SPACE || wParam == VK_RETURN)
        {
            SendMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
            return 0;
        }
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE || wParam == VK_RETURN)
        {
            SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
        m_leftButtonDown = true;
        if (m_toggleMode)
        {
            m_toggled = !m_toggled;
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
        }
        break;
    case WM_LBUTTONUP:
        m_leftButtonDown = false;
        if (m_doubleClickPending)
        {
            SendMessage(BM_SETSTATE, FALSE);
            m_doubleClickPending = false;
            ::SendMessageW(GetParent(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED),
                           reinterpret_cast<LPARAM>(m_hWnd));
        }
        else if (m_toggleMode)
        {
            POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ::ClientToScreen(m_hWnd, &point);
            RECT window{};
            ::GetWindowRect(m_hWnd, &window);
            if (!::PtInRect(&window, point))
            {
                m_toggled = !m_toggled;
                ::InvalidateRect(m_hWnd, nullptr, FALSE);
            }
        }
        break;
    case WM_LBUTTONDBLCLK:
        if (m_toggleMode)
        {
            SendMessage(BM_SETSTATE, m_toggled ? TRUE : FALSE);
        }
        else
        {
            SendMessage(BM_SETSTATE, TRUE);
            m_doubleClickPending = true;
        }
        return 0;
    case WM_THEMECHANGED:
        if (IsThemed())
        {
            CXThemeHelper::Get().CloseThemeData(m_theme);
            m_theme = nullptr;
            m_reopenTheme = true;
        }
        break;
    default:
        break;
    }
    return COddButton::DefWindowProc(message, wParam, lParam);
}

bool CXButtonXP::DrawItem(DRAWITEMSTRUCT* item)
{
    if (item == nullptr || item->CtlType != ODT_BUTTON)
        return false;
    const RECT bounds = item->rcItem;
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    const HDC target = item->hDC;
    const UniqueDC memoryDc(::CreateCompatibleDC(target));
    const UniqueGdiObject<HBITMAP> canvas(::CreateCompatibleBitmap(target, width, height));
    if (!memoryDc || !canvas)
        return true;
    const HDC dc = memoryDc.Get();
    const SelectedObject selectedCanvas(dc, canvas.Get());
    ::BitBlt(dc, 0, 0, width, height, target, bounds.left, bounds.top, SRCCOPY);
    ::SetBkMode(dc, TRANSPARENT);
    RECT rect{0, 0, width, height};

    const CXThemeHelper& helper = CXThemeHelper::Get();
    if (m_reopenTheme)
    {
        m_reopenTheme = false;
        if (helper.IsAvailable())
        {
            helper.CloseThemeData(m_theme);
            m_theme = helper.OpenThemeData(m_hWnd, L"Button");
        }
    }
    const HWND parent = GetParent();
    const HFONT font = parent != nullptr ? reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
    const SelectedObject selectedFont(dc, font);
    const std::wstring text = GetWindowText();

    const bool disabled = (item->itemState & ODS_DISABLED) != 0;
    const bool focus = (item->itemState & ODS_FOCUS) != 0;
    const bool showFocus = (item->itemState & ODS_NOFOCUSRECT) == 0;
    const bool isDefault = m_isDefault != 0;
    const bool themed = IsThemed() && m_backgroundColour == static_cast<COLORREF>(-1) &&
                        m_textColour == static_cast<COLORREF>(-1);
    bool pressed = (item->itemState & ODS_SELECTED) != 0;
    if (m_toggleMode)
    {
        pressed = m_toggled;
        POINT cursor{};
        ::GetCursorPos(&cursor);
        RECT window{};
        ::GetWindowRect(m_hWnd, &window);
        if (m_leftButtonDown && !::PtInRect(&window, cursor))
            pressed = !pressed;
    }

    if (themed)
    {
        int state = PBS_NORMAL;
        if (disabled)
            state = PBS_DISABLED;
        else if (pressed)
            state = PBS_PRESSED;
        else if (m_hot)
            state = PBS_HOT;
        else if (focus || isDefault)
            state = PBS_DEFAULTED;
        if (!helper.DrawThemeParentBackground(m_hWnd, dc, &rect))
            CLogger::LogMessage(L"CXButtonXP::DrawItem: Error drawing XPButton Theme Parent Background");
        if (!helper.DrawThemeBackground(m_theme, dc, BP_PUSHBUTTON, state, &rect))
            CLogger::LogMessage(L"CXButtonXP::DrawItem: Error drawing XPButton Theme Background");
    }
    else
    {
        const COLORREF face = m_backgroundColour == static_cast<COLORREF>(-1) ? ::GetSysColor(COLOR_BTNFACE)
                                                                                : m_backgroundColour;
        const UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(face));
        ::FillRect(dc, &rect, brush.Get());
        if (focus || isDefault)
        {
            if (!(m_toggleMode && pressed))
                ::FrameRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
            ::InflateRect(&rect, -1, -1);
        }
        if (pressed)
            ::DrawEdge(dc, &rect, EDGE_SUNKEN, BF_RECT);
    }

    RECT textRect = rect;
    DrawIcon(dc, rect, !text.empty(), pressed, disabled, themed, &textRect);
    if (!text.empty())
        DrawText(dc, textRect, text.c_str(), pressed, disabled, themed);

    if (focus && showFocus)
    {
        RECT focusRect = rect;
        ::InflateRect(&focusRect, -3, -3);
        ::DrawFocusRect(dc, &focusRect);
    }

    if (!::BitBlt(target, bounds.left, bounds.top, width, height, dc, 0, 0, SRCCOPY))
        CLogger::LogMessage(L"CXButtonXP::DrawItem: BitBlt Failed");
    return true;
}

void CXButtonXP::DrawIcon(HDC dc, const RECT& item, bool hasText, bool pressed, bool disabled, bool themed,
                          RECT* textRect)
{
    int iconWidth = 32;
    int iconHeight = 32;
    const IconBitmaps iconBitmaps(m_icon.Get());
    BITMAP bitmap{};
    if (iconBitmaps && iconBitmaps.Info().hbmColor != nullptr &&
        ::GetObjectW(iconBitmaps.Info().hbmColor, sizeof(bitmap), &bitmap) != 0)
    {
        iconWidth = bitmap.bmWidth;
        iconHeight = bitmap.bmHeight;
    }
    const int itemWidth = item.right - item.left;
    const int itemHeight = item.bottom - item.top;
    int x = item.left + (itemWidth - iconWidth) / 2;
    const int y = item.top + (itemHeight - iconHeight) / 2;
    if (hasText)
    {
        const int margin = iconWidth / 2;
        if (m_iconPosition == 2)
        {
            x = item.right - margin - iconWidth;
            textRect->left = item.left + margin;
            textRect->right = x;
        }
        else
        {
            x = item.left + margin;
            textRect->left = item.left + 2 * iconWidth;
        }
    }
    int dx = 0;
    if (pressed && !themed)
        dx = 1;
    bool drawn = false;
    if (m_icon)
    {
        HICON icon = m_icon.Get();
        UINT flags = DST_ICON;
        if (disabled)
        {
            if (m_grayIcon)
                icon = m_grayIcon.Get();
            else
                flags |= DSS_DISABLED;
        }
        drawn = ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, x + dx, y + dx, iconWidth,
                             iconHeight, flags) != FALSE;
    }
    if (!drawn)
        CLogger::LogMessage(L"CXButtonXP::DrawItem: DrawIcon Failed");
}

void CXButtonXP::DrawText(HDC dc, const RECT& textRect, const wchar_t* text, bool pressed, bool disabled, bool themed)
{
    const LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    UINT format = (style & BS_MULTILINE) != 0 ? DT_WORDBREAK : DT_SINGLELINE;
    format |= DT_VCENTER;
    if (!m_icon)
        format |= DT_CENTER;
    RECT measured = textRect;
    ::DrawTextW(dc, text, -1, &measured, format | DT_CALCRECT);
    ::OffsetRect(&measured, ((textRect.right - textRect.left) - (measured.right - measured.left)) / 2 + textRect.left - measured.left,
                 ((textRect.bottom - textRect.top) - (measured.bottom - measured.top)) / 2 + textRect.top - measured.top);
    if (pressed && !themed)
        ::OffsetRect(&measured, 1, 1);
    const int length = static_cast<int>(std::wcslen(text));
    if (themed)
    {
        CXThemeHelper::Get().DrawThemeText(m_theme, dc, BP_PUSHBUTTON, disabled ? PBS_DISABLED : PBS_NORMAL, text,
                                           length, format, &measured);
        return;
    }
    if (disabled)
    {
        RECT shifted = measured;
        ::OffsetRect(&shifted, 1, 1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextW(dc, text, length, &shifted, format);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
        ::DrawTextW(dc, text, length, &measured, format);
        return;
    }
    ::SetTextColor(dc, m_textColour == static_cast<COLORREF>(-1) ? ::GetSysColor(COLOR_BTNTEXT) : m_textColour);
    ::DrawTextW(dc, text, length, &measured, format);
}
