#pragma once
// A tooltip control for the controls of one dialog. The dialog creates it in
// OnInitDialog, adds one tool per control and relays the mouse messages of the
// message loop to it from PreTranslateMessage (the controls are not
// subclassed, so the tooltip never sees their mouse messages by itself).

#include <windows.h>
#include <commctrl.h>

#include <string>

class CToolTipCtrl
{
public:
    CToolTipCtrl() = default;
    ~CToolTipCtrl();
    CToolTipCtrl(const CToolTipCtrl&) = delete;
    CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

    // Creates the tooltip window owned by parent; false when it cannot be made.
    bool Create(HWND parent);
    HWND GetSafeHwnd() const { return m_hWnd; }

    // A tool for a control of the parent: its whole window, text as given.
    bool AddTool(HWND control, const std::wstring& text);
    void DelTool(HWND control);
    // Longest line in pixels; longer texts wrap (and "\n" breaks lines).
    void SetMaxTipWidth(int width);
    void Activate(bool active);
    // Hands a mouse message of the loop to the tooltip; others are ignored.
    void RelayEvent(const MSG* msg);

private:
    TTTOOLINFOW ToolFor(HWND control) const;

    HWND m_hWnd = nullptr;
};
