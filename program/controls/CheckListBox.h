#pragma once
// An owner-drawn list box with a check box in front of every entry. The check
// boxes are drawn and kept here; a derived class draws the text part of each
// entry (DrawItem gets the rectangle right of the check box).
//
// The list box must be created (or its template written) with
// LBS_OWNERDRAWFIXED and LBS_HASSTRINGS. Check states follow the entries
// through LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING and LB_RESETCONTENT
// sent to the window by anyone; item data stays free for the owner.

#include <windows.h>

#include <string>
#include <vector>

#include "Window.h"

class CCheckListBox : public CWindow
{
public:
    // The width of the check box column, from the entry's left edge.
    static constexpr int kCheckColumnWidth = 15;

    int AddString(const wchar_t* text);
    int InsertString(int index, const wchar_t* text);
    int DeleteString(int index);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    std::wstring GetText(int index) const;
    void SetItemDataPtr(int index, void* data);
    void* GetItemDataPtr(int index) const;
    bool GetItemRect(int index, RECT* rect) const;
    int GetItemHeight(int index) const;
    // The entry under a client point; outside is set when the point is below
    // the last entry or beside the list.
    int ItemFromPoint(POINT point, bool* outside) const;

    // 0 clear, 1 set, 2 indeterminate; out-of-range indexes are ignored (0).
    void SetCheck(int index, int state);
    int GetCheck(int index) const;
    void InvalidateCheck(int index);

    // The smallest entry height that shows the check box and a line of text.
    int CalcMinimumItemHeight() const;

protected:
    // The check box area of an entry: given the default (item rectangle with
    // its right edge at the check column), a derived list may move it.
    virtual void OnGetCheckPosition(const RECT& item, RECT& checkBox) const;
    // The text part of an entry; the base draws the text plainly.
    bool DrawItem(DRAWITEMSTRUCT* item) override;

    void PreSubclassWindow() override;
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void DrawCheck(const DRAWITEMSTRUCT& item) const;
    bool ValidIndex(int index) const { return index >= 0 && index < static_cast<int>(m_checks.size()); }

    std::vector<int> m_checks;
};
