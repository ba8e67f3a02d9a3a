#pragma once
// Property sheets over the system's PropertySheetW: a sheet of tabbed pages with
// OK and Cancel, each page a dialog template bound to a CPropertyPage object
// from its first message on.
//
// The sheet runs modeless inside the framework's own message pump (DoModal
// disables the owner and waits like a modal dialog), so every message of the
// sheet and its pages passes the application's pre-translation (tooltips,
// accelerators) before PropSheet_IsDialogMessage handles the keys.
//
// Pages are created when they are first shown. Leaving a page runs
// OnKillActive (data exchange from the controls; a refused value keeps the
// page up); OK runs OnKillActive on the page in front and then OnApply on every
// page that was created (base: OnOK); a page whose OnApply returns FALSE keeps
// the sheet open. Cancel runs OnReset (base: OnCancel) on every created page.

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <string>
#include <vector>

#include "Dialog.h"
#include "Window.h"

class CPropertySheet;

class CPropertyPage : public CDialog
{
public:
    explicit CPropertyPage(UINT templateId);

    // The description the sheet creates the page from; a derived page may
    // change its flags (PSP_*) before the sheet runs.
    PROPSHEETPAGEW m_psp{};

    // The sheet the page belongs to while its window exists, else null.
    CPropertySheet* GetSheet() const;

    // TRUE when the page may come to the front (base: fills the controls
    // again when the page was shown before).
    virtual BOOL OnSetActive();
    // TRUE when the page may be left (base: data exchange from the controls).
    virtual BOOL OnKillActive();
    // OK on the sheet: TRUE when the page's values are taken (base: OnOK).
    virtual BOOL OnApply();
    // Cancel on the sheet (base: OnCancel).
    virtual void OnReset();
    // TRUE when the sheet may be cancelled.
    virtual BOOL OnQueryCancel();

    // The sheet does the keyboard navigation of its pages.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    // A page neither ends nor hides itself: the sheet does.
    void OnOK() override {}
    void OnCancel() override {}
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    friend class CPropertySheet;
    static INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Prepare();

    UINT m_pageTemplate;
    bool m_shownBefore = false;
};

class CPropertySheet : public CWindow
{
public:
    explicit CPropertySheet(const wchar_t* caption, CWindow* parent = nullptr, UINT startPage = 0);
    ~CPropertySheet() override;

    // The header the sheet is created from; a derived sheet may change its
    // flags (PSH_*) and icon before the sheet runs. PSH_MODELESS is always set.
    PROPSHEETHEADERW m_psh{};

    // Pages are added before the sheet runs and stay the caller's.
    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    int GetPageIndex(const CPropertyPage* page) const;

    // The page in front (while the sheet runs), else the start page.
    int GetActiveIndex() const;
    // Brings the page to the front (PSM_SETCURSEL) while the sheet runs, else
    // makes it the start page. False for an index outside the pages.
    bool SetActivePage(int index);
    bool SetActivePage(const CPropertyPage* page) { return SetActivePage(GetPageIndex(page)); }
    HWND GetTabControl() const;

    // False: the tabs stay in one row, which scrolls when it does not fit.
    void EnableStackedTabs(bool stacked) { m_stackedTabs = stacked; }
    void SetTitle(const wchar_t* caption);

    // Runs the sheet: IDOK when OK closed it, IDCANCEL for Cancel, Escape or
    // the close box, EndDialog's value, -1 when the sheet could not be created.
    virtual INT_PTR DoModal();
    // Ends a running sheet with the result, as Cancel would (pages get OnReset).
    void EndDialog(INT_PTR result);
    bool IsModalLoopRunning() const { return m_running; }

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    // The sheet's own initialisation has run (tabs and the start page exist)
    // when the base returns.
    virtual BOOL OnInitDialog();

    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    CWindow* m_parent;

private:
    friend class CPropertyPage;
    HWND ModalOwner() const;
    bool Closed() const;

    std::wstring m_caption;
    std::vector<CPropertyPage*> m_pages;
    UINT m_startPage;
    bool m_stackedTabs = true;
    // EndDialog may come from another thread.
    std::atomic<bool> m_running{false};
    bool m_okPressed = false;
    std::atomic<bool> m_endRequested{false};
    std::atomic<INT_PTR> m_endResult{IDCANCEL};
};
