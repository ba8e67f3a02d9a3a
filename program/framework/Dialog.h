#pragma once
// Dialogs from templates: a resource of the program (compiled by windres) or a
// template built in memory (DialogTemplate.h).
//
// Modal: DoModal creates the dialog, disables its owner and runs a message
// loop of its own until EndDialog, which may be called from any handler of
// any window (also while a further modal dialog runs on top: this one then
// ends as soon as that one has returned). Modal loops nest.
// Modeless: Create makes the window (a tab page is a modeless child dialog);
// DestroyWindow ends it.
//
// OK (IDOK, Enter) runs OnOK: data exchange from the controls, and EndDialog(IDOK)
// when it succeeds; Cancel (IDCANCEL, Escape, closing) runs OnCancel: EndDialog(IDCANCEL).

#include <windows.h>

#include <atomic>

#include "Window.h"

class CDataExchange;

class CDialog : public CWindow
{
public:
    explicit CDialog(UINT templateId, CWindow* parent = nullptr);
    // The template must stay valid while the dialog is created.
    explicit CDialog(const DLGTEMPLATE* dialogTemplate, CWindow* parent = nullptr);

    // IDOK, IDCANCEL or EndDialog's value; -1 when the dialog could not be
    // created or was destroyed without EndDialog (also when WM_QUIT arrived:
    // the quit is posted again for the loop outside).
    virtual INT_PTR DoModal();
    // Modeless; parent null: the parent given to the constructor.
    bool Create(CWindow* parent = nullptr);
    bool Create(HWND parent);

    void EndDialog(INT_PTR result);
    bool IsModalLoopRunning() const { return m_modalRunning; }

    // Data exchange between controls and members: true saves the controls
    // into the members (and validates), false fills the controls. False
    // when a value was refused (the user has been told).
    bool UpdateData(bool saveAndValidate = true);

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    // Base: fills the controls (UpdateData(false)); TRUE lets the system set
    // the focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange& dx);
    // Chooses the resource template before the window is created (a page
    // with two layouts).
    void SetTemplateId(UINT templateId) { m_templateId = templateId; }

    // Where a key aimed at a window hidden inside the dialog goes: a control
    // that edits nothing, such as a tab row. None: the focus moves to a shown
    // control and the key is dropped.
    virtual HWND ShownKeyTarget() const { return nullptr; }

    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    // What no handler takes: the arrows beside a number field step from the
    // number it shows (UpDown.h).
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    CWindow* m_parent;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND, UINT, WPARAM, LPARAM);
    const DLGTEMPLATE* ResolveTemplate() const;
    HWND ModalOwner() const;
    bool CreateFromTemplate(HWND parent);

    UINT m_templateId = 0;
    const DLGTEMPLATE* m_template = nullptr;
    std::atomic<bool> m_modalRunning{false};
    std::atomic<bool> m_endRequested{false};
    std::atomic<INT_PTR> m_result{-1};
};
