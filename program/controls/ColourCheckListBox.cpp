#include "ColourCheckListBox.h"

#include <windowsx.h>

#include <algorithm>

#include "Application.h"
#include "Handles.h"
#include "LangSupport.h"
#include "resource.h"
#include "WindowTranslation.h"

namespace
{
// The left edge of the check box area for a press and for a double click.
constexpr int kCheckRightPress = 15;
constexpr int kCheckRightDoubleClick = 14;
constexpr POINT kKeyboardMenuOffset{5, 5};
}

UINT CColourCheckListBox::CheckChangedMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"BRMP_OnCheckBoxChnaged");
    return message;
}

CColourCheckListBox::CColourCheckListBox() : m_language(LangSupport())
{
    BindMessage(WM_CONTEXTMENU, &CColourCheckListBox::OnContextMenu);
    BindMessage(WM_LBUTTONDOWN, &CColourCheckListBox::OnLButtonDown);
    BindMessage(WM_LBUTTONDBLCLK, &CColourCheckListBox::OnLButtonDblClk);
    BindMessage(WM_CHAR, &CColourCheckListBox::OnChar);
    BindMessage(WM_KEYDOWN, &CColourCheckListBox::OnKeyDown);
}

CColourCheckListBox::~CColourCheckListBox()
{
    if (m_language)
        CLangSupport::Release(m_language);
}

void CColourCheckListBox::InitColours()
{
    SendMessage(LB_SETITEMHEIGHT, 0, MAKELPARAM(CalcMinimumItemHeight(), 0));
    m_textColour = ::GetSysColor(COLOR_WINDOWTEXT);
    m_selectedTextColour = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    m_selectedBackground = ::GetSysColor(COLOR_HIGHLIGHT);
    m_background = ::GetSysColor(COLOR_WINDOW);
    m_markedSelectedEnabled = 0x88FFFF;
    m_markedSelectedDisabled = 0xD7E0FF;
    m_markedEnabledColour = RGB(249, 0, 0);
    m_markedDisabledColour = RGB(128, 0, 0);
}

void CColourCheckListBox::SetMarkedItem(int index, bool enabled)
{
    if (index == m_markedItem)
        return;
    const int old = m_markedItem;
    m_markedItem = index;
    m_markedEnabled = enabled ? 1 : 0;
    if (!IsWindow())
        return;
    RECT rect{};
    if (old >= 0 && GetItemRect(old, &rect))
        ::InvalidateRect(m_hWnd, &rect, FALSE);
    if (index >= 0 && GetItemRect(index, &rect))
        ::InvalidateRect(m_hWnd, &rect, TRUE);
}

bool CColourCheckListBox::DrawItem(DRAWITEMSTRUCT* item)
{
    const int index = static_cast<int>(item->itemID);
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    const bool marked = index == m_markedItem;

    const UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(selected ? m_selectedBackground : m_background));
    ::FillRect(item->hDC, &item->rcItem, brush.Get());

    COLORREF colour = m_textColour;
    if (selected)
        colour = marked ? (m_markedEnabled ? m_markedSelectedEnabled : m_markedSelectedDisabled) : m_selectedTextColour;
    else if (marked)
        colour = m_markedEnabled ? m_markedEnabledColour : m_markedDisabledColour;

    if ((item->itemAction & ODA_FOCUS) && (item->itemState & ODS_FOCUS))
        ::DrawFocusRect(item->hDC, &item->rcItem);

    const COLORREF oldColour = ::SetTextColor(item->hDC, colour);
    const int oldMode = ::SetBkMode(item->hDC, TRANSPARENT);
    const HDC dc = item->hDC;
    const std::wstring shown = FitText(GetText(index), item->rcItem.right - item->rcItem.left, [dc](const std::wstring& t) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size);
        return static_cast<int>(size.cx);
    });
    RECT text = item->rcItem;
    ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &text, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    ::SetBkMode(dc, oldMode);
    ::SetTextColor(dc, oldColour);
    return true;
}

void CColourCheckListBox::NotifyCheckChanged(int index)
{
    const HWND parent = GetParent();
    if (parent == nullptr)
        return;
    const WPARAM wParam = (static_cast<WPARAM>(kCheckChangeCode) << 16) | static_cast<WORD>(GetDlgCtrlID());
    ::SendMessageW(parent, CheckChangedMessage(), wParam, static_cast<LPARAM>(index));
}

LRESULT CColourCheckListBox::ToggleCheckAt(LPARAM lParam, int checkRight)
{
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    bool outside = true;
    const int index = ItemFromPoint(point, &outside);
    RECT item{};
    if (!outside && GetItemRect(index, &item))
    {
        RECT check = item;
        check.right = checkRight;
        OnGetCheckPosition(item, check);
        if (::PtInRect(&check, point))
        {
            if (index == 0)
                return 0;
            SetCheck(index, GetCheck(index) == 1 ? 0 : 1);
            NotifyCheckChanged(index);
            return 0;
        }
    }
    return Default();
}

LRESULT CColourCheckListBox::OnLButtonDown(WPARAM, LPARAM lParam)
{
    return ToggleCheckAt(lParam, kCheckRightPress);
}

LRESULT CColourCheckListBox::OnLButtonDblClk(WPARAM, LPARAM lParam)
{
    return ToggleCheckAt(lParam, kCheckRightDoubleClick);
}

LRESULT CColourCheckListBox::OnKeyDown(WPARAM wParam, LPARAM)
{
    if (wParam != VK_SPACE)
        return Default();
    const int selected = GetCurSel();
    if (selected == 0)
        return 0;
    if (selected < 0)
        return Default();
    // The list box itself does not toggle our checks: Space inverts the
    // selected entry's check here.
    const int before = GetCheck(selected);
    SetCheck(selected, before == 1 ? 0 : 1);
    if (GetCheck(selected) != before)
        NotifyCheckChanged(selected);
    return 0;
}

LRESULT CColourCheckListBox::OnChar(WPARAM wParam, LPARAM)
{
    const int now = static_cast<int>(m_tickSource ? m_tickSource() : ::GetTickCount());
    if (static_cast<DWORD>(now - m_lastKeyTime) > kTypeAheadResetMs)
        m_typeAhead.clear();
    const auto character = static_cast<wchar_t>(wParam & 0xFFFF);
    if (character == L'\b')
    {
        if (!m_typeAhead.empty())
            m_typeAhead.pop_back();
    }
    else if (character <= L' ')
        m_typeAhead.clear();
    else
        m_typeAhead += character;

    if (!m_typeAhead.empty())
    {
        const int selected = GetCurSel();
        LRESULT found = SendMessage(LB_FINDSTRING, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(m_typeAhead.c_str()));
        if (found == LB_ERR)
            found = SendMessage(LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(m_typeAhead.c_str()));
        if (found != LB_ERR)
        {
            SetCurSel(static_cast<int>(found));
            if (const HWND parent = GetParent())
                ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), LBN_SELCHANGE),
                               reinterpret_cast<LPARAM>(m_hWnd));
        }
    }
    m_lastKeyTime = now;
    return 0;
}

POINT CColourCheckListBox::MenuPointOfSelection() const
{
    POINT point = kKeyboardMenuOffset;
    RECT item{};
    RECT client{};
    const int selected = GetCurSel();
    if (selected < 0 || !GetItemRect(selected, &item) || !::GetClientRect(m_hWnd, &client))
        return point;
    // An entry scrolled out of sight gives the edge of the list it is beyond.
    point.x = item.left + kKeyboardMenuOffset.x;
    point.y = std::clamp<LONG>(item.bottom, client.top, client.bottom);
    return point;
}

LRESULT CColourCheckListBox::OnContextMenu(WPARAM, LPARAM lParam)
{
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (point.x == -1 && point.y == -1)
    {
        // From the keyboard (Shift+F10, the menu key) the menu works on the
        // selection as it is, and opens below the selected entry.
        point = MenuPointOfSelection();
        ::ClientToScreen(m_hWnd, &point);
    }
    else
    {
        POINT client = point;
        ::ScreenToClient(m_hWnd, &client);
        bool outside = true;
        const int under = ItemFromPoint(client, &outside);
        // The entry clicked becomes the selection, and the owner hears of it as
        // of any other selection: its commands and the pages then work on that entry.
        if (!outside && under >= 0 && under < GetCount() && under != GetCurSel())
        {
            SetCurSel(under);
            if (const HWND parent = GetParent())
                ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), LBN_SELCHANGE),
                               reinterpret_cast<LPARAM>(m_hWnd));
        }
    }
    const int entry = GetCurSel();

    const HMENU menu = ::LoadMenuW(GetResourceInstance(), MAKEINTRESOURCEW(IDR_PROFILE_MENU));
    if (menu == nullptr)
        return 0;
    const HMENU popup = ::GetSubMenu(menu, 0);
    if (popup)
    {
        TranslateMenu(m_language, popup);
        if (entry == 0)
        {
            ::EnableMenuItem(popup, ID_PROFILE_EDIT, MF_BYCOMMAND | MF_GRAYED);
            ::EnableMenuItem(popup, ID_PROFILE_REMOVE, MF_BYCOMMAND | MF_GRAYED);
            ::EnableMenuItem(popup, ID_PROFILE_EXPORT_SELECTED, MF_BYCOMMAND | MF_GRAYED);
        }
        HWND owner = m_hWnd;
        while (owner && (::GetWindowLongW(owner, GWL_STYLE) & WS_CHILD))
            owner = ::GetParent(owner);
        ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, point.x, point.y, 0, owner ? owner : m_hWnd, nullptr);
    }
    ::DestroyMenu(menu);
    return 0;
}
