#pragma once
// Thin wrappers over the list box and the combo box: the item calls that the
// dialogs repeat (text with item data, selection, finding by data), with the
// window's messages underneath. Bind one to a dialog's control with
// ExchangeControl or SubclassDlgItem, or call the static forms on a handle.

#include <windows.h>

#include <string>

#include "Window.h"

class CListBox : public CWindow
{
public:
    // The new item's index, or -1 (LB_ERR / LB_ERRSPACE).
    int AddString(const std::wstring& text, LPARAM data = 0);
    int InsertString(int index, const std::wstring& text, LPARAM data = 0);
    bool DeleteString(int index);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    // -1 clears the selection.
    bool SetCurSel(int index);
    LPARAM GetItemData(int index) const;
    bool SetItemData(int index, LPARAM data);
    std::wstring GetText(int index) const;
    int GetItemHeight(int index = 0) const;
    // The first item with this data, -1 when none.
    int FindItemData(LPARAM data) const;
};

class CComboBox : public CWindow
{
public:
    int AddString(const std::wstring& text, LPARAM data = 0);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    bool SetCurSel(int index);
    LPARAM GetItemData(int index) const;
    std::wstring GetLBText(int index) const;
    int FindItemData(LPARAM data) const;
    // Data of the selected item, fallback when nothing is selected.
    LPARAM GetSelectedData(LPARAM fallback) const;
    // Enables the combo with the list and edit windows it owns.
    void EnableAll(bool enable) { EnableAll(m_hWnd, enable); }
    static void EnableAll(HWND combo, bool enable);

    static int AddString(HWND combo, const std::wstring& text, LPARAM data = 0);
    static LPARAM GetItemData(HWND combo, int index);
};

// An edit control's text as an integer; fallback when it is not one.
int ReadDlgItemInt(HWND dialog, int id, int fallback);
// A control's whole text; empty when there is no such control.
std::wstring ReadDlgItemText(HWND dialog, int id);
