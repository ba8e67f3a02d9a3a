#include "CheckListBox.h"

#include <algorithm>

#include "Handles.h"

namespace
{
constexpr int kCheckBoxSize = 13;
}

int CCheckListBox::AddString(const wchar_t* text)
{
    return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text : L"")));
}

int CCheckListBox::InsertString(int index, const wchar_t* text)
{
    return static_cast<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text ? text : L"")));
}

int CCheckListBox::DeleteString(int index)
{
    return static_cast<int>(SendMessage(LB_DELETESTRING, static_cast<WPARAM>(index)));
}

void CCheckListBox::ResetContent()
{
    SendMessage(LB_RESETCONTENT);
}

int CCheckListBox::GetCount() const
{
    return static_cast<int>(SendMessage(LB_GETCOUNT));
}

int CCheckListBox::GetCurSel() const
{
    return static_cast<int>(SendMessage(LB_GETCURSEL));
}

int CCheckListBox::SetCurSel(int index)
{
    return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index)));
}

std::wstring CCheckListBox::GetText(int index) const
{
    const LRESULT length = SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR || length < 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<size_t>(std::min<LRESULT>(copied, length)) : 0);
    return text;
}

void CCheckListBox::SetItemDataPtr(int index, void* data)
{
    SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(data));
}

void* CCheckListBox::GetItemDataPtr(int index) const
{
    const LRESULT data = SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index));
    return data == LB_ERR ? nullptr : reinterpret_cast<void*>(data);
}

bool CCheckListBox::GetItemRect(int index, RECT* rect) const
{
    return SendMessage(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)) != LB_ERR;
}

int CCheckListBox::GetItemHeight(int index) const
{
    return static_cast<int>(SendMessage(LB_GETITEMHEIGHT, static_cast<WPARAM>(index)));
}

int CCheckListBox::ItemFromPoint(POINT point, bool* outside) const
{
    const LRESULT answer = SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
    if (outside)
        *outside = HIWORD(answer) != 0;
    return LOWORD(answer);
}

void CCheckListBox::SetCheck(int index, int state)
{
    if (!ValidIndex(index))
        return;
    m_checks[static_cast<size_t>(index)] = state;
    InvalidateCheck(index);
}

int CCheckListBox::GetCheck(int index) const
{
    return ValidIndex(index) ? m_checks[static_cast<size_t>(index)] : 0;
}

void CCheckListBox::InvalidateCheck(int index)
{
    RECT item{};
    if (!IsWindow() || !GetItemRect(index, &item))
        return;
    RECT check = item;
    check.right = item.left + kCheckColumnWidth;
    OnGetCheckPosition(item, check);
    ::InvalidateRect(m_hWnd, &check, FALSE);
}

int CCheckListBox::CalcMinimumItemHeight() const
{
    int textHeight = 0;
    if (IsWindow())
    {
        const WindowDC dc(m_hWnd);
        const auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
        const SelectedObject selectedFont(dc.Get(), font);
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc.Get(), &metrics);
        textHeight = metrics.tmHeight;
    }
    return std::max(kCheckBoxSize + 2, textHeight);
}

void CCheckListBox::OnGetCheckPosition(const RECT&, RECT&) const {}

bool CCheckListBox::DrawItem(DRAWITEMSTRUCT* item)
{
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    ::FillRect(item->hDC, &item->rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const std::wstring text = GetText(static_cast<int>(item->itemID));
    const COLORREF oldColour = ::SetTextColor(item->hDC, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const int oldMode = ::SetBkMode(item->hDC, TRANSPARENT);
    ::DrawTextW(item->hDC, text.c_str(), static_cast<int>(text.size()), &item->rcItem,
                DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    ::SetBkMode(item->hDC, oldMode);
    ::SetTextColor(item->hDC, oldColour);
    if (item->itemState & ODS_FOCUS)
        ::DrawFocusRect(item->hDC, &item->rcItem);
    return true;
}

void CCheckListBox::PreSubclassWindow()
{
    m_checks.assign(static_cast<size_t>(std::max(0, GetCount())), 0);
}

void CCheckListBox::DrawCheck(const DRAWITEMSTRUCT& item) const
{
    RECT column = item.rcItem;
    column.right = column.left + kCheckColumnWidth;
    ::FillRect(item.hDC, &column, ::GetSysColorBrush(COLOR_WINDOW));
    RECT box = column;
    OnGetCheckPosition(item.rcItem, box);
    const int height = box.bottom - box.top;
    const int size = std::min<int>(kCheckBoxSize, std::min<int>(height, box.right - box.left));
    RECT square{box.left + 1, box.top + (height - size) / 2, 0, 0};
    square.right = square.left + size;
    square.bottom = square.top + size;
    const int state = GetCheck(static_cast<int>(item.itemID));
    UINT flags = DFCS_BUTTONCHECK | DFCS_FLAT;
    if (state == 1)
        flags |= DFCS_CHECKED;
    else if (state == 2)
        flags = DFCS_BUTTON3STATE | DFCS_CHECKED | DFCS_FLAT;
    if (!::IsWindowEnabled(m_hWnd))
        flags |= DFCS_INACTIVE;
    ::DrawFrameControl(item.hDC, &square, DFC_BUTTON, flags);
}

bool CCheckListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_DRAWITEM)
    {
        const auto* original = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (original == nullptr || original->itemID == static_cast<UINT>(-1))
            return CWindow::OnChildNotify(message, wParam, lParam, result);
        if (original->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))
            DrawCheck(*original);
        DRAWITEMSTRUCT text = *original;
        text.rcItem.left += kCheckColumnWidth;
        try
        {
            DrawItem(&text);
        }
        catch (...)
        {
            // Painting goes on with the next entry.
        }
        *result = TRUE;
        return true;
    }
    if (message == WM_MEASUREITEM)
    {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure && !MeasureItem(measure))
            measure->itemHeight = static_cast<UINT>(CalcMinimumItemHeight());
        *result = TRUE;
        return true;
    }
    return CWindow::OnChildNotify(message, wParam, lParam, result);
}

LRESULT CCheckListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    {
        const LRESULT index = CWindow::WindowProc(message, wParam, lParam);
        if (index >= 0 && index <= static_cast<LRESULT>(m_checks.size()))
            m_checks.insert(m_checks.begin() + index, 0);
        return index;
    }
    case LB_DELETESTRING:
    {
        const LRESULT remaining = CWindow::WindowProc(message, wParam, lParam);
        if (remaining != LB_ERR && ValidIndex(static_cast<int>(wParam)))
            m_checks.erase(m_checks.begin() + static_cast<std::ptrdiff_t>(wParam));
        return remaining;
    }
    case LB_RESETCONTENT:
        m_checks.clear();
        return CWindow::WindowProc(message, wParam, lParam);
    default:
        return CWindow::WindowProc(message, wParam, lParam);
    }
}
