#pragma once
// The program's own combo box: window class "Virtual_ComboBox32" with an edit
// part and a drop-down list part, both owned by the combo. The list is an
// owner-data list box (it stores only a count), so every item text and item
// record comes from virtual operations of the combo; the action picker
// supplies them from its own items.
//
// Owners drive it with the private messages below and receive the standard
// combo notification codes in WM_COMMAND (CBN_SELCHANGE = 1 ... 11). Modes,
// from the low four bits of the style: 1 simple (edit and list always shown),
// 3 drop-down list (no edit), anything else drop-down (edit and list).

#include <windows.h>

#include <string>

#include "CustomDrawListBox.h"
#include "Window.h"

class CActionData;
class CVComboBox;

// Private messages of the combo.
enum VComboMessage : UINT
{
    VCB_GETCOUNT = WM_USER + 1,
    VCB_GETCURSEL = WM_USER + 2,
    VCB_GETDROPPEDSTATE = WM_USER + 4,
    VCB_GETEDITSEL = WM_USER + 5,
    VCB_GETTOPINDEX = WM_USER + 6,
    VCB_LIMITTEXT = WM_USER + 7,
    VCB_SETCOUNT = WM_USER + 8,
    VCB_SETCURSEL = WM_USER + 9,
    VCB_SETEDITSEL = WM_USER + 10,
    VCB_SETTOPINDEX = WM_USER + 11,
    VCB_SHOWDROPDOWN = WM_USER + 12,
};

// Notification codes (high word of the WM_COMMAND sent to the parent).
enum VComboNotification : WORD
{
    VCBN_SELCHANGE = 1,
    VCBN_DBLCLK = 2,
    VCBN_SETFOCUS = 3,
    VCBN_KILLFOCUS = 4,
    VCBN_EDITCHANGE = 5,
    VCBN_EDITUPDATE = 6,
    VCBN_DROPDOWN = 7,
    VCBN_CLOSEUP = 8,
    VCBN_SELENDOK = 9,
    VCBN_SELENDCANCEL = 10,
    VCBN_USEREDIT = 11,
};

// Codes the parts send to the combo.
constexpr WORD kPartChosen = 90;      // list: an item was chosen; edit: focus came from outside
constexpr WORD kPartClosed = 91;      // list: lost the capture; edit: focus went outside
constexpr WORD kPartFocusFromOutside = 92;

constexpr int kVComboListId = 1000;
constexpr int kVComboEditId = 1001;

class CVComboEdit : public CWindow
{
public:
    CVComboEdit();
    void SetCombo(CVComboBox* combo) { m_combo = combo; }
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    CVComboBox* m_combo = nullptr;
};

class CVComboListBox : public CComboListBox
{
public:
    void SetCombo(CVComboBox* combo);
    int GetListMode() const { return m_listMode; }
    void SetListMode(int mode) { m_listMode = mode; }
    // The list's own selection (which may run ahead of the committed one
    // while the mouse moves over the open list).
    int GetActualSelection();

    std::wstring GetItemText(int index) override;
    CActionData* GetItemData(int index, bool& startsGroup) override;

protected:
    bool PreCreateWindow(CREATESTRUCTW& cs) override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    bool IsDropDown() const { return m_listMode != 0; }
    void Commit(int selection);

    CVComboBox* m_combo = nullptr;
    int m_scrollDrag = 0;
    int m_committed = -1;
    int m_listMode = 1;
};

class CVComboBox : public CWindow
{
public:
    CVComboBox();
    ~CVComboBox() override;

    static const wchar_t* ClassName() { return L"Virtual_ComboBox32"; }

    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id);
    // Replaces the dialog template's item id of parent by the combo, at
    // the same place and with the same id. False when there is no such item.
    virtual bool CreateFromDlgItem(HWND parent, int id, DWORD style);

    virtual CActionData* GetItemData(int index, bool& startsGroup);
    virtual CVComboListBox& GetListBoxMember() { return m_list; }
    virtual CVComboListBox& GetListBox() { return GetListBoxMember(); }
    virtual CVComboEdit& GetEdit() { return m_edit; }
    virtual std::wstring GetItemText(int index);
    virtual int GetItemImage(int index);
    virtual CCustomDrawToolTipCtrl& GetToolTip() { return m_list.GetToolTip(); }
    virtual void OnToolTipShow(int) {}
    virtual void OnToolTipPop() {}
    virtual int ShowDropDown(bool show);
    virtual void DrawBackground(HDC dc, const RECT& rect);
    virtual void DrawFrame(HDC dc, const RECT& rect);
    virtual void DrawButton(HDC dc, const RECT& rect);
    virtual void OnDrawText(HDC dc, const RECT& rect, const wchar_t* text);
    virtual RECT GetButtonRect() const;
    virtual bool CreateParts();
    virtual void OnDestroying() {}
    virtual CActionData* GetItemActionData(int) { return nullptr; }

    // Sizes the drop-down to show count items (-1: all).
    void SetDropDownItemCount(int count);
    bool IsDroppedDown() const;
    int GetMode() const { return m_mode; }
    int GetCurSel() const { return static_cast<int>(::SendMessageW(m_hWnd, VCB_GETCURSEL, 0, 0)); }
    HFONT GetFont() const { return m_font; }

    // Set by owners: the wheel leaves a closed control's selection alone.
    BYTE WheelLocked = 0;
    // Read by owners in their selection-change handlers.
    BYTE ChangingByWheel = 0;
    BYTE ChangingByArrowKey = 0;

    // Part notifications (WM_COMMAND from the list or the edit).
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;
    bool MeasureItem(MEASUREITEMSTRUCT* item) override;

    void Notify(WORD code);
    void UpdateTextFromSelection();
    // The closed drop-down list's face: the button face over the whole control
    // with the drop-down arrow (mode 2).
    void DrawClosedFace(HDC dc);
    // The focus rectangle around the closed text, when the control has the focus.
    void DrawClosedFocus(HDC dc, const RECT& textRect);
    DWORD m_lastTypeAhead = 0;

private:
    friend class CVComboEdit;
    friend class CVComboListBox;

    LRESULT OnPrivateMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    void OnSetFont(HFONT font);
    void Layout(WINDOWPOS* position);
    void PlaceDropDown(int height, bool repaint);
    int TextMetricHeight() const;
    void OnKeyDown(UINT key);
    LRESULT OnGetDlgCode(LPARAM lParam);
    void OnLButtonDown(POINT point);
    void OnMouseMove(POINT point);
    void RecomputeHot();
    void OnMouseWheel(short delta);
    void OnSetFocus(HWND previous);
    void OnKillFocus();
    void Paint();
    void RepaintNow(bool erase = false);
    bool IsOwnPart(HWND window) const;

    CVComboListBox m_list;
    CVComboEdit m_edit;
    HFONT m_font = nullptr;
    int m_fullHeight = 18;
    int m_mode = 1;
    bool m_userEdit = true;
    int m_anchor = -1;
    bool m_selEndNotify = true;
    bool m_hot = false;
    bool m_pressed = false;
    bool m_buttonHot = false;
    bool m_trackArmed = true;
    bool m_tracking = false;
};
