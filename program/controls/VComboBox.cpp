#include "VComboBox.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "CaughtException.h"
#include "Drawing.h"
#include "Handles.h"
#include "MemDC.h"

namespace
{
constexpr int kButtonWidth = 17;
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_PARENTDC | CS_GLOBALCLASS;

void RegisterComboClass()
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(instance, CVComboBox::ClassName(), &existing))
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = kClassStyle;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.cbWndExtra = 8;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = CVComboBox::ClassName();
    ::RegisterClassExW(&wc);
}

int ModeFromStyle(DWORD style)
{
    switch (style & 0x0F)
    {
    case 1: return 0;
    case 3: return 2;
    default: return 1;
    }
}

bool PointIn(const RECT& rect, POINT point) { return ::PtInRect(&rect, point) != FALSE; }

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    const UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rect, brush.Get());
}
}

// --- edit part ----------------------------------------------------------------

CVComboEdit::CVComboEdit() = default;

BOOL CVComboEdit::PreTranslateMessage(MSG* msg)
{
    // Enter goes on to the parents' pre-translation (the dialog's default button).
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && ::GetFocus() == m_hWnd)
        return FALSE;
    return CWindow::PreTranslateMessage(msg);
}

bool CVComboEdit::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (m_combo == nullptr)
        return CWindow::OnWndMsg(message, wParam, lParam, result);
    const HWND combo = m_combo->GetSafeHwnd();
    switch (message)
    {
    case WM_KEYDOWN:
        switch (wParam)
        {
        case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME: case VK_UP: case VK_DOWN:
            *result = 0;
            break;
        default:
            *result = Default();
            break;
        }
        ::SendMessageW(combo, WM_KEYDOWN, wParam, lParam);
        return true;
    case WM_CHAR:
        if (wParam == VK_ESCAPE || wParam == VK_RETURN)
        {
            *result = 0;
            return true;
        }
        return false;
    case WM_SYSKEYDOWN:
        if (wParam == VK_UP || wParam == VK_DOWN)
            ::SendMessageW(combo, WM_KEYDOWN, VK_F4, 0);
        *result = Default();
        return true;
    case WM_GETDLGCODE:
    {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg != nullptr && msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN))
        {
            *result = ::SendMessageW(combo, WM_GETDLGCODE, wParam, lParam);
            return true;
        }
        return false;
    }
    case WM_LBUTTONDOWN:
        if (::GetFocus() != m_hWnd)
        {
            ::SetFocus(m_hWnd);
            *result = 0;
            return true;
        }
        return false;
    case WM_SETFOCUS:
        *result = Default();
        if (m_combo->GetMode() == 0 && !m_combo->IsOwnPart(reinterpret_cast<HWND>(wParam)))
            ::SendMessageW(combo, WM_COMMAND, MAKEWPARAM(kVComboEditId, kPartChosen), reinterpret_cast<LPARAM>(m_hWnd));
        return true;
    case WM_KILLFOCUS:
        *result = Default();
        if (m_combo->GetMode() == 0 && !m_combo->IsOwnPart(reinterpret_cast<HWND>(wParam)))
            ::SendMessageW(combo, WM_COMMAND, MAKEWPARAM(kVComboEditId, kPartClosed), reinterpret_cast<LPARAM>(m_hWnd));
        return true;
    default:
        return CWindow::OnWndMsg(message, wParam, lParam, result);
    }
}

// --- list part ----------------------------------------------------------------

void CVComboListBox::SetCombo(CVComboBox* combo)
{
    m_combo = combo;
    SetOwnerWindow(combo);
}

bool CVComboListBox::PreCreateWindow(CREATESTRUCTW& cs)
{
    const int* parameter = static_cast<const int*>(cs.lpCreateParams);
    m_listMode = parameter != nullptr ? std::clamp(*parameter - 1, 0, 2) : 1;
    // The creation parameter is ours, not a list box's: it never reaches the class.
    cs.lpCreateParams = nullptr;
    return CComboListBox::PreCreateWindow(cs);
}

int CVComboListBox::GetActualSelection()
{
    return static_cast<int>(DefWindowProc(LB_GETCURSEL, 0, 0));
}

std::wstring CVComboListBox::GetItemText(int index)
{
    if (m_combo != nullptr)
        return m_combo->GetItemText(index);
    return CComboListBox::GetItemText(index);
}

CActionData* CVComboListBox::GetItemData(int index, bool& startsGroup)
{
    if (m_combo != nullptr)
        return m_combo->GetItemData(index, startsGroup);
    return CComboListBox::GetItemData(index, startsGroup);
}

void CVComboListBox::Commit(int selection)
{
    m_committed = selection;
    if (m_combo != nullptr)
        ::SendMessageW(m_combo->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kVComboListId, kPartChosen),
                       reinterpret_cast<LPARAM>(m_hWnd));
}

bool CVComboListBox::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message)
    {
    case LB_GETCURSEL:
        *result = m_committed;
        return true;
    case LB_SETCURSEL:
        *result = Default();
        m_committed = std::max(static_cast<int>(static_cast<INT_PTR>(wParam)), -1);
        return true;
    default:
        break;
    }
    if (!IsDropDown())
    {
        if (message == WM_LBUTTONUP)
        {
            *result = Default();
            const int selection = GetActualSelection();
            if (selection >= 0 && selection != m_committed)
                Commit(selection);
            return true;
        }
        return CComboListBox::OnWndMsg(message, wParam, lParam, result);
    }

    switch (message)
    {
    case WM_SHOWWINDOW:
        // A list box may give up the capture on its own show notice: the
        // drop-down keeps it.
        *result = wParam != FALSE && lParam == 0 ? 0 : Default();
        if (wParam != FALSE)
        {
            if (::GetCapture() != m_hWnd)
                ::SetCapture(m_hWnd);
        }
        else if (::GetCapture() == m_hWnd)
        {
            ::ReleaseCapture();
        }
        return true;
    case WM_MOUSEMOVE:
    {
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        if (PointIn(client, point))
        {
            const int item = ItemFromPoint(point);
            RECT itemRect{};
            if (item >= 0 && item != GetActualSelection() &&
                DefWindowProc(LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&itemRect)) != LB_ERR)
            {
                RECT window{};
                ::GetClientRect(m_hWnd, &window);
                if (PointIn(window, POINT{itemRect.left, itemRect.top}))
                    DefWindowProc(LB_SETCURSEL, static_cast<WPARAM>(item), 0);
            }
            UpdateToolTipForPoint(point);
        }
        *result = 0;
        return true;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    {
        POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ClientToScreen(m_hWnd, &screen);
        const LRESULT hit = ::SendMessageW(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
        if (hit == HTVSCROLL || hit == HTHSCROLL)
        {
            m_scrollDrag = static_cast<int>(hit);
            ::ReleaseCapture();
            PostMessage(WM_NCLBUTTONDOWN, static_cast<WPARAM>(hit), MAKELPARAM(screen.x, screen.y));
        }
        else
        {
            RECT window{};
            ::GetWindowRect(m_hWnd, &window);
            if (!PointIn(window, screen))
            {
                ::ReleaseCapture();
            }
            else
            {
                const int item = ItemFromPoint(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                if (item >= 0)
                    DefWindowProc(LB_SETCURSEL, static_cast<WPARAM>(item), 0);
            }
        }
        *result = 0;
        return true;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
        *result = Default();
        if (LOWORD(wParam) == SB_ENDSCROLL &&
            ((message == WM_VSCROLL && m_scrollDrag == HTVSCROLL) || (message == WM_HSCROLL && m_scrollDrag == HTHSCROLL)))
        {
            m_scrollDrag = 0;
            ::SetCapture(m_hWnd);
        }
        return true;
    case WM_LBUTTONUP:
    {
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        const int selection = GetActualSelection();
        if (PointIn(client, point) && selection >= 0)
        {
            Commit(selection);
            if (::GetCapture() == m_hWnd)
                ::ReleaseCapture();
        }
        *result = 0;
        return true;
    }
    case WM_CAPTURECHANGED:
        *result = Default();
        // Some systems report taking the capture again as a change.
        if (m_scrollDrag == 0 && reinterpret_cast<HWND>(lParam) != m_hWnd)
        {
            if (::IsWindowVisible(m_hWnd))
                ::ShowWindow(m_hWnd, SW_HIDE);
            if (m_combo != nullptr)
                ::SendMessageW(m_combo->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kVComboListId, kPartClosed),
                               reinterpret_cast<LPARAM>(m_hWnd));
        }
        return true;
    case WM_KEYDOWN:
    {
        *result = Default();
        const int selection = GetActualSelection();
        if (selection != m_committed || wParam == VK_RETURN)
            Commit(selection);
        return true;
    }
    case WM_SETFOCUS:
        *result = Default();
        if (m_combo != nullptr)
        {
            if (!m_combo->IsOwnPart(reinterpret_cast<HWND>(wParam)))
                ::SendMessageW(m_combo->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(kVComboListId, kPartFocusFromOutside),
                               reinterpret_cast<LPARAM>(m_hWnd));
            ::SetFocus(m_combo->GetSafeHwnd());
        }
        return true;
    default:
        return CComboListBox::OnWndMsg(message, wParam, lParam, result);
    }
}

// --- combo --------------------------------------------------------------------

CVComboBox::CVComboBox()
{
    RegisterComboClass();
    BindMessage(WM_CREATE, &CVComboBox::OnCreate);
}

CVComboBox::~CVComboBox()
{
    m_edit.DestroyWindow();
    m_list.DestroyWindow();
    DestroyWindow();
}

bool CVComboBox::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    return CreateEx(0, ClassName(), L"", style, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                    parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
}

bool CVComboBox::CreateFromDlgItem(HWND parent, int id, DWORD style)
{
    if (parent == nullptr || !::IsWindow(parent))
        return false;
    const HWND templateItem = ::GetDlgItem(parent, id);
    if (templateItem == nullptr)
        return false;
    RECT rect{};
    ::GetWindowRect(templateItem, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    ::DestroyWindow(templateItem);
    return Create(style, rect, parent, static_cast<UINT>(id));
}

LRESULT CVComboBox::OnCreate(WPARAM, LPARAM lParam)
{
    if (Default() == -1)
        return -1;
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    m_fullHeight = cs->cy;
    return CreateParts() ? 0 : -1;
}

void CVComboBox::PreSubclassWindow()
{
    if (IsBeingCreated())
        return;
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    m_fullHeight = rect.bottom - rect.top;
    CreateParts();
}

bool CVComboBox::IsOwnPart(HWND window) const
{
    return window != nullptr && (window == m_hWnd || window == m_edit.GetSafeHwnd() || window == m_list.GetSafeHwnd() ||
                                 ::IsChild(m_hWnd, window));
}

bool CVComboBox::CreateParts()
{
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
    const int mode = ModeFromStyle(style);
    m_list.SetCombo(this);
    m_edit.SetCombo(this);
    m_mode = mode;
    if (mode != 2)
    {
        DWORD editStyle = WS_CHILD | WS_VISIBLE | ES_WANTRETURN;
        if (style & 0x10) editStyle |= ES_AUTOHSCROLL;
        if (style & 0x20) editStyle |= ES_OEMCONVERT;
        if (style & 0x100) editStyle |= ES_UPPERCASE;
        if (style & 0x200) editStyle |= ES_LOWERCASE;
        if (style & WS_DISABLED) editStyle |= WS_DISABLED;
        if (!m_edit.CreateEx(0, L"Edit", L"", editStyle, 3, 3, 3, 3, m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kVComboEditId))))
            return false;
    }
    // A plain list box: the combo-box flavour reads its creation data as combo data.
    DWORD listStyle = LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT | LBS_NODATA | WS_VSCROLL | WS_CHILD;
    DWORD listExStyle = WS_EX_CLIENTEDGE;
    if (style & 0x40) listStyle |= LBS_DISABLENOSCROLL;
    if (mode != 0)
    {
        listStyle |= WS_BORDER;
        listExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    }
    else if (style & WS_DISABLED)
    {
        listStyle |= WS_DISABLED;
    }
    int parameter = mode + 1;
    if (!m_list.CreateEx(listExStyle, L"ListBox", L"", listStyle, 0, 0, 10, 10, m_hWnd,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(kVComboListId)), &parameter))
        return false;
    if (mode != 0)
        ::SetParent(m_list.GetSafeHwnd(), ::GetDesktopWindow());
    m_userEdit = true;
    HFONT parentFont = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
    // A parent without a font of its own (not a dialog) would leave the list
    // in the system font, measured for another.
    if (parentFont == nullptr)
        parentFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    m_font = parentFont;
    OnSetFont(parentFont);
    if (mode == 0)
        m_list.ShowWindow(SW_SHOW);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    WINDOWPOS position{};
    position.hwnd = m_hWnd;
    position.cx = client.right;
    position.cy = m_fullHeight;
    position.flags = SWP_NOMOVE | SWP_NOZORDER;
    Layout(&position);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, position.cx, position.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

int CVComboBox::TextMetricHeight() const
{
    const WindowDC dc(m_hWnd);
    const SelectedObject selectedFont(dc.Get(), m_font != nullptr ? m_font : ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.Get(), &metrics);
    return metrics.tmHeight;
}

void CVComboBox::OnSetFont(HFONT font)
{
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&rect), 2);
    if (m_mode != 2 && m_edit.IsWindow())
        m_edit.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (m_list.IsWindow())
        m_list.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    TEXTMETRICW metrics{};
    {
        const WindowDC dc(m_hWnd);
        const SelectedObject selectedFont(dc.Get(), font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT));
        ::GetTextMetricsW(dc.Get(), &metrics);
    }
    if (m_list.IsWindow())
        m_list.SendMessage(LB_SETITEMHEIGHT, 0, metrics.tmHeight + 4);
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, m_fullHeight, TRUE);
}

void CVComboBox::Layout(WINDOWPOS* position)
{
    int border = ::GetSystemMetrics(m_mode == 0 ? SM_CYEDGE : SM_CYBORDER) * 2;
    const int tmHeight = TextMetricHeight();
    const int textHeight = tmHeight + 8;
    int itemHeight = tmHeight + 4;
    RECT item{};
    if (m_list.IsWindow() && ::SendMessageW(m_list.GetSafeHwnd(), LB_GETCOUNT, 0, 0) > 0 &&
        ::SendMessageW(m_list.GetSafeHwnd(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)) != LB_ERR &&
        item.bottom > item.top)
        itemHeight = item.bottom - item.top;
    const double items = std::max(0.0, static_cast<double>(position->cy - border - textHeight) / itemHeight);
    const int listHeight = border + itemHeight * static_cast<int>(items + 0.5);
    m_fullHeight = textHeight + listHeight;
    if (m_mode != 2 && m_edit.IsWindow())
        ::SetWindowPos(m_edit.GetSafeHwnd(), nullptr, 3, 3, position->cx - (m_mode == 0 ? 6 : 22), tmHeight + 2,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    if (!m_list.IsWindow())
        return;
    if (m_mode != 0)
    {
        ShowDropDown(false);
        Notify(VCBN_SELENDCANCEL);
        ::SetWindowPos(m_list.GetSafeHwnd(), nullptr, 0, 0, position->cx, listHeight,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        position->cy = textHeight;
    }
    else
    {
        position->cy = m_fullHeight;
        ::SetWindowPos(m_list.GetSafeHwnd(), nullptr, 0, textHeight, position->cx, listHeight,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CVComboBox::SetDropDownItemCount(int count)
{
    if (m_mode == 0 || !m_list.IsWindow())
        return;
    if (count < 0)
        count = static_cast<int>(m_list.SendMessage(LB_GETCOUNT));
    const int itemHeight = static_cast<int>(m_list.SendMessage(LB_GETITEMHEIGHT, 0));
    RECT window{}, client{};
    ::GetWindowRect(m_list.GetSafeHwnd(), &window);
    ::GetClientRect(m_list.GetSafeHwnd(), &client);
    const int nonClient = (window.bottom - window.top) - client.bottom;
    PlaceDropDown(itemHeight * count + nonClient, true);
}

void CVComboBox::PlaceDropDown(int height, bool repaint)
{
    RECT control{};
    ::GetWindowRect(m_hWnd, &control);
    if (height <= 0)
    {
        RECT list{};
        ::GetWindowRect(m_list.GetSafeHwnd(), &list);
        height = list.bottom - list.top;
    }
    // The work area of the control's own monitor, whichever that is.
    RECT work{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor))
        work = monitor.rcWork;
    else
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int top = control.bottom + 1;
    int bottom = top + height;
    if (bottom > work.bottom)
    {
        const int middle = work.top + (work.bottom - work.top) / 2;
        if (control.top < middle)
        {
            bottom = work.bottom;
        }
        else
        {
            bottom = control.top - 1;
            top = std::max<int>(control.top - height - 1, work.top);
        }
    }
    ::SetWindowPos(m_list.GetSafeHwnd(), nullptr, control.left, top, control.right - control.left, bottom - top,
                   SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

bool CVComboBox::IsDroppedDown() const
{
    return m_list.IsWindow() && ::IsWindowVisible(m_list.GetSafeHwnd());
}

int CVComboBox::ShowDropDown(bool show)
{
    if (!m_list.IsWindow())
        return 1;
    if (show)
    {
        PlaceDropDown(0, false);
        Notify(VCBN_DROPDOWN);
        const int selection = static_cast<int>(SendMessage(VCB_GETCURSEL));
        m_list.SendMessage(LB_SETCURSEL, static_cast<WPARAM>(selection));
        if (selection >= 0)
            m_list.SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(selection));
        RECT list{};
        ::GetWindowRect(m_list.GetSafeHwnd(), &list);
        POINT clientTop{0, 0};
        ::ClientToScreen(m_hWnd, &clientTop);
        const DWORD direction = list.top >= clientTop.y ? AW_VER_POSITIVE : AW_VER_NEGATIVE;
        // The list was made a top-level window after its creation, when its
        // topmost style could not hold: without this it opens behind its dialog.
        ::SetWindowPos(m_list.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (!::AnimateWindow(m_list.GetSafeHwnd(), 100, AW_SLIDE | direction) ||
            !::IsWindowVisible(m_list.GetSafeHwnd()))
            ::ShowWindow(m_list.GetSafeHwnd(), SW_SHOWNA);
        m_list.PostMessage(WM_SHOWWINDOW, TRUE, 0);
    }
    else
    {
        m_selEndNotify = false;
        ::ShowWindow(m_list.GetSafeHwnd(), SW_HIDE);
        if (::GetCapture() == m_list.GetSafeHwnd())
            ::ReleaseCapture();
        m_selEndNotify = true;
    }
    m_pressed = show;
    m_buttonHot = show;
    RepaintNow();
    return 1;
}

void CVComboBox::Notify(WORD code)
{
    const HWND parent = ::GetParent(m_hWnd);
    if (parent != nullptr)
        ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(m_hWnd), code), reinterpret_cast<LPARAM>(m_hWnd));
}

void CVComboBox::UpdateTextFromSelection()
{
    const int selection = static_cast<int>(SendMessage(VCB_GETCURSEL));
    const std::wstring text = selection >= 0 ? GetItemText(selection) : std::wstring();
    if (m_mode != 2 && m_edit.IsWindow())
    {
        m_userEdit = selection < 0;
        m_edit.SetWindowText(text.c_str());
        m_userEdit = true;
        m_edit.SendMessage(EM_SETSEL, 0, -1);
        m_edit.SendMessage(EM_SCROLLCARET);
    }
    else
    {
        ::DefWindowProcW(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        RepaintNow();
    }
    Notify(VCBN_EDITCHANGE);
}

std::wstring CVComboBox::GetItemText(int index)
{
    if (!m_list.IsWindow())
        return std::wstring();
    return m_list.CComboListBox::GetItemText(index);
}

CActionData* CVComboBox::GetItemData(int index, bool& startsGroup)
{
    return m_list.CComboListBox::GetItemData(index, startsGroup);
}

int CVComboBox::GetItemImage(int index)
{
    return m_list.IsWindow() ? m_list.GetItemImage(index) : -1;
}

bool CVComboBox::MeasureItem(MEASUREITEMSTRUCT*)
{
    return true;
}

LRESULT CVComboBox::OnPrivateMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND list = m_list.GetSafeHwnd();
    switch (message)
    {
    case VCB_GETCOUNT:
        return list != nullptr ? ::SendMessageW(list, LB_GETCOUNT, 0, 0) : -1;
    case VCB_GETCURSEL:
        return list != nullptr ? ::SendMessageW(list, LB_GETCURSEL, 0, 0) : -1;
    case VCB_GETDROPPEDSTATE:
        return IsDroppedDown() ? 1 : 0;
    case VCB_GETEDITSEL:
        if (m_mode == 2 || !m_edit.IsWindow())
        {
            if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = 0;
            if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = 0;
            return -1;
        }
        return m_edit.SendMessage(EM_GETSEL, wParam, lParam);
    case VCB_GETTOPINDEX:
        return list != nullptr ? ::SendMessageW(list, LB_GETTOPINDEX, 0, 0) : -1;
    case VCB_LIMITTEXT:
        if (m_mode != 2 && m_edit.IsWindow())
            m_edit.SendMessage(EM_LIMITTEXT, wParam);
        return 1;
    case VCB_SETCOUNT:
        if (list == nullptr)
            return -1;
        return ::SendMessageW(list, LB_SETCOUNT, wParam, 0) == LB_ERR ? -1 : 0;
    case VCB_SETCURSEL:
    {
        const LRESULT result = list != nullptr ? ::SendMessageW(list, LB_SETCURSEL, wParam, 0) : -1;
        UpdateTextFromSelection();
        return result;
    }
    case VCB_SETEDITSEL:
        if (m_mode == 2 || !m_edit.IsWindow())
            return -1;
        m_edit.SendMessage(EM_SETSEL, LOWORD(lParam), HIWORD(lParam));
        m_edit.SendMessage(EM_SCROLLCARET);
        return 1;
    case VCB_SETTOPINDEX:
        m_anchor = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (list == nullptr)
            return -1;
        return ::SendMessageW(list, LB_SETTOPINDEX, wParam, 0) == LB_ERR ? -1 : 0;
    case VCB_SHOWDROPDOWN:
        if (m_mode != 0)
        {
            ShowDropDown(wParam != 0);
            if (wParam == 0)
                Notify(VCBN_SELENDCANCEL);
        }
        return 1;
    default:
        return 0;
    }
}

bool CVComboBox::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message >= VCB_GETCOUNT && message <= VCB_SHOWDROPDOWN && message != WM_USER + 3)
    {
        *result = OnPrivateMessage(message, wParam, lParam);
        return true;
    }
    switch (message)
    {
    case kToolTipShowPopMessage:
        if (wParam == 0)
            OnToolTipShow(GetToolTip().m_currentItem);
        else
            OnToolTipPop();
        *result = 0;
        return true;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETTEXT:
        if (m_mode != 2 && m_edit.IsWindow())
        {
            *result = m_edit.SendMessage(message, wParam, lParam);
            return true;
        }
        *result = ::DefWindowProcW(m_hWnd, message, wParam, lParam);
        if (message == WM_SETTEXT)
            RepaintNow();
        return true;
    case WM_GETFONT:
        *result = reinterpret_cast<LRESULT>(m_font);
        return true;
    case WM_SETFONT:
        OnSetFont(reinterpret_cast<HFONT>(wParam));
        *result = Default();
        return true;
    case WM_ERASEBKGND:
    case WM_NOTIFYFORMAT:
        *result = 0;
        return true;
    case WM_MEASUREITEM:
        if (m_list.IsWindow())
            MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        *result = TRUE;
        return true;
    case WM_DESTROY:
        OnDestroying();
        // The drop-down is not a child window: it goes with the combo.
        m_list.DestroyWindow();
        *result = Default();
        return true;
    case WM_ENABLE:
        if (m_mode != 0)
        {
            ShowDropDown(false);
            Notify(VCBN_SELENDCANCEL);
        }
        else if (m_list.IsWindow())
        {
            m_list.EnableWindow(wParam != 0);
        }
        if (m_mode != 2 && m_edit.IsWindow())
            m_edit.EnableWindow(wParam != 0);
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        *result = 0;
        return true;
    case WM_WINDOWPOSCHANGING:
    {
        WINDOWPOS* position = reinterpret_cast<WINDOWPOS*>(lParam);
        if ((position->flags & SWP_NOSIZE) == 0)
            Layout(position);
        *result = 0;
        return true;
    }
    case WM_KEYDOWN:
        OnKeyDown(static_cast<UINT>(wParam));
        *result = 0;
        return true;
    case WM_GETDLGCODE:
        *result = OnGetDlgCode(lParam);
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        *result = 0;
        return true;
    case WM_LBUTTONUP:
    {
        m_pressed = false;
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        m_hot = PointIn(client, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (IsWindow())
            RepaintNow();
        *result = 0;
        return true;
    }
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        *result = 0;
        return true;
    case WM_MOUSELEAVE:
        *result = Default();
        m_tracking = false;
        if (m_trackArmed && (m_hot || m_buttonHot))
            RecomputeHot();
        return true;
    case WM_MOUSEWHEEL:
        OnMouseWheel(static_cast<short>(HIWORD(wParam)));
        *result = 0;
        return true;
    case WM_SETFOCUS:
        OnSetFocus(reinterpret_cast<HWND>(wParam));
        *result = 0;
        return true;
    case WM_KILLFOCUS:
        OnKillFocus();
        *result = 0;
        return true;
    case WM_PAINT:
        Paint();
        *result = 0;
        return true;
    default:
        return CWindow::OnWndMsg(message, wParam, lParam, result);
    }
}

void CVComboBox::OnKeyDown(UINT key)
{
    const HWND list = m_list.GetSafeHwnd();
    if (list == nullptr)
        return;
    switch (key)
    {
    case VK_RETURN:
        ::SendMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
        ShowDropDown(false);
        break;
    case VK_ESCAPE:
        SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(SendMessage(VCB_GETCURSEL)));
        ShowDropDown(false);
        Notify(VCBN_SELENDCANCEL);
        break;
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME:
        if (m_mode == 2)
        {
            ::SendMessageW(list, WM_KEYDOWN, key, 0);
        }
        else
        {
            SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(m_anchor));
            ::SendMessageW(list, WM_KEYDOWN, key, 0);
            m_anchor = static_cast<int>(SendMessage(VCB_GETCURSEL));
        }
        break;
    case VK_UP: case VK_DOWN:
        if (m_mode == 2)
        {
            ChangingByArrowKey = 1;
            ::SendMessageW(list, WM_KEYDOWN, key, 0);
            ChangingByArrowKey = 0;
        }
        else if (SendMessage(VCB_GETCURSEL) == m_anchor)
        {
            ::SendMessageW(list, WM_KEYDOWN, key, 0);
            m_anchor = static_cast<int>(SendMessage(VCB_GETCURSEL));
        }
        else
        {
            SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(m_anchor));
            Notify(VCBN_SELCHANGE);
        }
        break;
    case VK_F4:
        if (m_mode != 0)
        {
            const bool open = !IsDroppedDown();
            ShowDropDown(open);
            if (!open)
                Notify(VCBN_SELENDCANCEL);
        }
        break;
    default:
        break;
    }
}

LRESULT CVComboBox::OnGetDlgCode(LPARAM lParam)
{
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    switch (m_mode)
    {
    case 1:
        return IsDroppedDown() ? DLGC_WANTALLKEYS : 0;
    case 2:
        if (msg == nullptr)
            return 0;
        if (msg->message != WM_KEYDOWN)
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        if ((msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN) && IsDroppedDown())
            return DLGC_WANTALLKEYS;
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    default:
        return 0;
    }
}

void CVComboBox::OnLButtonDown(POINT point)
{
    RECT active{};
    if (m_mode == 1)
        active = GetButtonRect();
    else
        ::GetClientRect(m_hWnd, &active);
    const HWND focusTarget = m_mode == 2 || !m_edit.IsWindow() ? m_hWnd : m_edit.GetSafeHwnd();
    if (::GetFocus() != focusTarget)
        ::SetFocus(focusTarget);
    if (m_mode == 0 || !PointIn(active, point))
        return;
    const bool open = !IsDroppedDown();
    ShowDropDown(open);
    if (!open)
    {
        Notify(VCBN_SELENDCANCEL);
        return;
    }
    m_pressed = true;
    m_hot = true;
    m_buttonHot = true;
    RepaintNow();
}

void CVComboBox::OnMouseMove(POINT point)
{
    if (m_trackArmed && !m_tracking)
    {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
        m_tracking = ::TrackMouseEvent(&track) != FALSE;
    }
    if (m_pressed)
        return;
    const bool oldHot = m_hot;
    const bool oldButtonHot = m_buttonHot;
    m_hot = true;
    if (PointIn(GetButtonRect(), point))
        m_buttonHot = true;
    if (oldHot != m_hot || oldButtonHot != m_buttonHot)
        RepaintNow(true);
}

void CVComboBox::RecomputeHot()
{
    const DWORD position = ::GetMessagePos();
    POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    ::ScreenToClient(m_hWnd, &point);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    m_hot = PointIn(client, point);
    m_buttonHot = PointIn(GetButtonRect(), point);
    RepaintNow();
}

void CVComboBox::OnMouseWheel(short delta)
{
    if (!m_list.IsWindow())
        return;
    if (IsDroppedDown())
    {
        const int top = static_cast<int>(m_list.SendMessage(LB_GETTOPINDEX));
        const int count = static_cast<int>(m_list.SendMessage(LB_GETCOUNT));
        const int next = delta > 0 ? std::max(top - 3, 0) : std::min(top + 3, std::max(count, 0));
        SendMessage(VCB_SETTOPINDEX, static_cast<WPARAM>(next));
        return;
    }
    if (WheelLocked != 0)
        return;
    const int selection = static_cast<int>(SendMessage(VCB_GETCURSEL));
    const int count = static_cast<int>(SendMessage(VCB_GETCOUNT));
    int next = selection;
    if (delta > 0 && selection > 0)
        next = selection - 1;
    else if (delta < 0 && selection + 1 < count)
        next = selection + 1;
    if (next == selection)
        return;
    ChangingByWheel = 1;
    SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(next));
    Notify(VCBN_SELCHANGE);
    ChangingByWheel = 0;
}

void CVComboBox::OnSetFocus(HWND previous)
{
    switch (m_mode)
    {
    case 1:
        if (m_edit.IsWindow())
            ::SetFocus(m_edit.GetSafeHwnd());
        break;
    case 2:
        Notify(VCBN_SETFOCUS);
        RepaintNow();
        break;
    default:
        if (m_edit.IsWindow())
            ::SetFocus(m_edit.GetSafeHwnd());
        if (previous != m_list.GetSafeHwnd() && previous != m_edit.GetSafeHwnd())
            Notify(VCBN_SETFOCUS);
        break;
    }
}

void CVComboBox::OnKillFocus()
{
    if (m_mode == 2)
    {
        ShowDropDown(false);
        Notify(VCBN_SELENDCANCEL);
        Notify(VCBN_KILLFOCUS);
    }
    m_hot = false;
    RepaintNow();
}

bool CVComboBox::OnCommand(WPARAM wParam, LPARAM)
{
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == kVComboListId)
    {
        switch (code)
        {
        case LBN_DBLCLK:
            Notify(VCBN_DBLCLK);
            break;
        case kPartChosen:
            UpdateTextFromSelection();
            if (m_mode == 0)
                Notify(VCBN_SELENDOK);
            Notify(VCBN_SELCHANGE);
            break;
        case kPartClosed:
        {
            const int selection = static_cast<int>(SendMessage(VCB_GETCURSEL));
            if (m_selEndNotify)
                Notify(selection < 0 ? VCBN_SELENDCANCEL : VCBN_SELENDOK);
            Notify(VCBN_CLOSEUP);
            SendMessage(VCB_SETTOPINDEX, static_cast<WPARAM>(selection));
            m_pressed = false;
            RecomputeHot();
            break;
        }
        case kPartFocusFromOutside:
            if (m_mode == 0)
                Notify(VCBN_SETFOCUS);
            break;
        default:
            break;
        }
    }
    else if (id == kVComboEditId)
    {
        switch (code)
        {
        case kPartChosen:
            if (m_mode == 0)
                Notify(VCBN_SETFOCUS);
            break;
        case kPartClosed:
            if (m_mode == 0)
                Notify(VCBN_KILLFOCUS);
            break;
        case EN_SETFOCUS:
            m_edit.SendMessage(EM_SETSEL, 0, -1);
            if (m_mode == 1)
                Notify(VCBN_SETFOCUS);
            break;
        case EN_KILLFOCUS:
        {
            if (m_mode == 1)
            {
                ShowDropDown(false);
                Notify(VCBN_SELENDCANCEL);
            }
            DWORD start = 0;
            m_edit.SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
            m_edit.SendMessage(EM_SETSEL, start, start);
            if (m_mode == 1)
                Notify(VCBN_KILLFOCUS);
            break;
        }
        case EN_CHANGE:
            if (m_userEdit)
                Notify(VCBN_USEREDIT);
            Notify(VCBN_EDITCHANGE);
            break;
        case EN_UPDATE:
            Notify(VCBN_EDITUPDATE);
            break;
        default:
            break;
        }
    }
    return true;
}

RECT CVComboBox::GetButtonRect() const
{
    RECT rect{};
    ::GetClientRect(m_hWnd, &rect);
    rect.left = rect.right - kButtonWidth;
    return rect;
}

void CVComboBox::DrawBackground(HDC dc, const RECT& rect)
{
    FillSolid(dc, rect, RGB(255, 255, 255));
}

void CVComboBox::DrawFrame(HDC dc, const RECT& rect)
{
    COLORREF colour = RGB(190, 190, 190);
    if (!::IsWindowEnabled(m_hWnd))
        colour = ::GetSysColor(COLOR_GRAYTEXT);
    else if (m_hot)
        colour = RGB(60, 127, 177);
    const UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(colour));
    ::FrameRect(dc, &rect, brush.Get());
}

void CVComboBox::DrawButton(HDC dc, const RECT& rect)
{
    int state = kButtonNormal;
    if (!::IsWindowEnabled(m_hWnd))
        state = kButtonDisabled;
    else if (m_pressed)
        state = kButtonPressed;
    else if (m_buttonHot)
        state = kButtonHot;
    RECT inner = rect;
    ::InflateRect(&inner, -2, -2);
    if (state == kButtonHot || state == kButtonPressed)
    {
        RECT upper = inner;
        upper.bottom = inner.top + (inner.bottom - inner.top) * 47 / 100;
        RECT lower = inner;
        lower.top = upper.bottom;
        if (state == kButtonHot)
        {
            DrawVerticalGradient(dc, upper, RGB(234, 246, 253), RGB(217, 240, 252));
            DrawVerticalGradient(dc, lower, RGB(190, 230, 253), RGB(167, 217, 245));
        }
        else
        {
            DrawVerticalGradient(dc, upper, RGB(229, 244, 252), RGB(196, 229, 249));
            DrawVerticalGradient(dc, lower, RGB(152, 209, 239), RGB(109, 182, 221));
        }
    }
    DrawDropDownArrow(dc, inner);
    if (state == kButtonHot || state == kButtonPressed)
    {
        RECT frame = rect;
        frame.right -= 1;
        frame.bottom -= 1;
        DrawButtonFrame(dc, frame, state, false, 1, 2);
    }
}

void CVComboBox::OnDrawText(HDC dc, const RECT& rect, const wchar_t* text)
{
    try
    {
        const SelectedObject selectedFont(dc, m_font != nullptr ? m_font : ::GetStockObject(DEFAULT_GUI_FONT));
        const bool enabled = ::IsWindowEnabled(m_hWnd) != FALSE;
        DrawClosedFace(dc);
        COLORREF oldColour = ::GetTextColor(dc);
        DrawClosedFocus(dc, rect);
        if (!enabled)
        {
            FillSolid(dc, rect, ::GetSysColor(COLOR_BTNFACE));
            ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
        }
        const int oldMode = ::SetBkMode(dc, TRANSPARENT);
        RECT area = rect;
        ::DrawTextW(dc, text, -1, &area, DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | DT_SINGLELINE);
        ::SetBkMode(dc, oldMode);
        ::SetTextColor(dc, oldColour);
    }
    catch (...)
    {
        LogCaughtException(L"CVComboBox::OnDrawText");
    }
}

void CVComboBox::DrawClosedFace(HDC dc)
{
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    CCustomDrawHelper face;
    face.m_hWnd = m_hWnd;
    face.m_bEnabled = ::IsWindowEnabled(m_hWnd) != FALSE;
    face.m_bPressed = m_pressed;
    face.m_bHot = m_hot;
    face.DrawThemedButtonFace(dc, client);
    DrawDropDownArrow(dc, GetButtonRect());
}

void CVComboBox::DrawClosedFocus(HDC dc, const RECT& textRect)
{
    if (::IsWindowEnabled(m_hWnd) && ::GetFocus() == m_hWnd)
    {
        RECT focus = textRect;
        ::DrawFocusRect(dc, &focus);
    }
}

void CVComboBox::RepaintNow(bool erase)
{
    if (m_hWnd != nullptr)
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | (erase ? RDW_ERASE : 0));
}

void CVComboBox::Paint()
{
    PAINTSTRUCT paint{};
    const HDC target = ::BeginPaint(m_hWnd, &paint);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    if (m_mode == 0)
    {
        RECT edit{};
        if (m_edit.IsWindow())
        {
            ::GetWindowRect(m_edit.GetSafeHwnd(), &edit);
            ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&edit), 2);
            ::InflateRect(&edit, 3, 3);
        }
        DrawBackground(target, edit);
        DrawFrame(target, edit);
    }
    else
    {
        const RECT button = GetButtonRect();
        if (m_mode == 2)
        {
            CSimpleMemDC memory(target, m_hWnd);
            const RECT text{3, 3, button.left - 3, client.bottom - 3};
            wchar_t buffer[261] = {};
            ::DefWindowProcW(m_hWnd, WM_GETTEXT, 261, reinterpret_cast<LPARAM>(buffer));
            OnDrawText(memory.GetDC(), text, buffer);
        }
        else
        {
            DrawBackground(target, client);
            DrawFrame(target, client);
            CSimpleMemDC memory(target, button, CSimpleMemDC::kTransparentCopy);
            memory.SetTransparentColour(RGB(255, 0, 255));
            FillSolid(memory.GetDC(), button, RGB(255, 0, 255));
            DrawButton(memory.GetDC(), button);
        }
    }
    ::EndPaint(m_hWnd, &paint);
}
