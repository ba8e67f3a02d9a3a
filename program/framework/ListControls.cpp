#include "ListControls.h"

#include <vector>

#include "DataExchange.h"

int CListBox::AddString(const std::wstring& text, LPARAM data)
{
    const int index = static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    if (index >= 0)
        SendMessage(LB_SETITEMDATA, index, data);
    return index < 0 ? -1 : index;
}

int CListBox::InsertString(int index, const std::wstring& text, LPARAM data)
{
    const int at = static_cast<int>(SendMessage(LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str())));
    if (at >= 0)
        SendMessage(LB_SETITEMDATA, at, data);
    return at < 0 ? -1 : at;
}

bool CListBox::DeleteString(int index)
{
    return SendMessage(LB_DELETESTRING, index) != LB_ERR;
}

void CListBox::ResetContent()
{
    SendMessage(LB_RESETCONTENT);
}

int CListBox::GetCount() const
{
    const LRESULT count = SendMessage(LB_GETCOUNT);
    return count < 0 ? 0 : static_cast<int>(count);
}

int CListBox::GetCurSel() const
{
    return static_cast<int>(SendMessage(LB_GETCURSEL));
}

bool CListBox::SetCurSel(int index)
{
    return SendMessage(LB_SETCURSEL, index) != LB_ERR || index == -1;
}

LPARAM CListBox::GetItemData(int index) const
{
    if (index < 0 || index >= GetCount())
        return 0;
    return SendMessage(LB_GETITEMDATA, index);
}

bool CListBox::SetItemData(int index, LPARAM data)
{
    return SendMessage(LB_SETITEMDATA, index, data) != LB_ERR;
}

std::wstring CListBox::GetText(int index) const
{
    const LRESULT length = SendMessage(LB_GETTEXTLEN, index);
    if (length <= 0)
        return std::wstring();
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
    SendMessage(LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

int CListBox::GetItemHeight(int index) const
{
    return static_cast<int>(SendMessage(LB_GETITEMHEIGHT, index));
}

int CListBox::FindItemData(LPARAM data) const
{
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        if (SendMessage(LB_GETITEMDATA, i) == data)
            return i;
    return -1;
}

int CComboBox::AddString(HWND combo, const std::wstring& text, LPARAM data)
{
    const int index = static_cast<int>(::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    if (index >= 0)
        ::SendMessageW(combo, CB_SETITEMDATA, index, data);
    return index < 0 ? -1 : index;
}

LPARAM CComboBox::GetItemData(HWND combo, int index)
{
    const LRESULT count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    if (index < 0 || index >= count)
        return 0;
    return ::SendMessageW(combo, CB_GETITEMDATA, index, 0);
}

int CComboBox::AddString(const std::wstring& text, LPARAM data)
{
    return AddString(m_hWnd, text, data);
}

void CComboBox::ResetContent()
{
    SendMessage(CB_RESETCONTENT);
}

int CComboBox::GetCount() const
{
    const LRESULT count = SendMessage(CB_GETCOUNT);
    return count < 0 ? 0 : static_cast<int>(count);
}

int CComboBox::GetCurSel() const
{
    return static_cast<int>(SendMessage(CB_GETCURSEL));
}

bool CComboBox::SetCurSel(int index)
{
    return SendMessage(CB_SETCURSEL, index) != CB_ERR || index == -1;
}

LPARAM CComboBox::GetItemData(int index) const
{
    return GetItemData(m_hWnd, index);
}

std::wstring CComboBox::GetLBText(int index) const
{
    const LRESULT length = SendMessage(CB_GETLBTEXTLEN, index);
    if (length <= 0)
        return std::wstring();
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
    SendMessage(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

int CComboBox::FindItemData(LPARAM data) const
{
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        if (SendMessage(CB_GETITEMDATA, i) == data)
            return i;
    return -1;
}

LPARAM CComboBox::GetSelectedData(LPARAM fallback) const
{
    const int index = GetCurSel();
    return index < 0 ? fallback : GetItemData(index);
}

void CComboBox::EnableAll(HWND combo, bool enable)
{
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (::GetComboBoxInfo(combo, &info))
    {
        if (info.hwndItem != nullptr)
            ::EnableWindow(info.hwndItem, enable);
        if (info.hwndList != nullptr)
            ::EnableWindow(info.hwndList, enable);
    }
    ::EnableWindow(combo, enable);
}

int ReadDlgItemInt(HWND dialog, int id, int fallback)
{
    wchar_t text[64] = {};
    ::GetDlgItemTextW(dialog, id, text, 64);
    int value = 0;
    return ParseExchangedInt(text, &value) ? value : fallback;
}

std::wstring ReadDlgItemText(HWND dialog, int id)
{
    return ReadWindowText(::GetDlgItem(dialog, id));
}
