#pragma once
// A tab control whose tabs own pages: each page is a modeless child dialog
// placed over the control's display area. The pages are siblings of the tab
// control (children of its parent) so that their controls' commands and
// notifications reach the owning dialog directly.
//
// The owner creates each page's window (hidden, except perhaps the first)
// before handing it to AddPage.

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "Dialog.h"
#include "Window.h"

class CTabPageSSL : public CDialog
{
public:
    explicit CTabPageSSL(UINT templateId, CWindow* parent = nullptr);
    explicit CTabPageSSL(const DLGTEMPLATE* dialogTemplate, CWindow* parent = nullptr);

    // Sent by the tab control when the user brings the page up or leaves it.
    virtual LRESULT OnActivatePage() { return 0; }
    virtual LRESULT OnDeactivatePage() { return 0; }

    // When set, the page's commands / notifications go on to its parent and
    // the parent's answer is the page's answer.
    BYTE m_routeCommands = 0;
    BYTE m_routeCommandRequests = 0;
    BYTE m_routeNotifications = 0;

protected:
    BOOL OnInitDialog() override;
    // Enter and Escape inside a page close nothing.
    void OnOK() override {}
    void OnCancel() override {}
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CTabCtrlSSL : public CWindow
{
public:
    struct TabDelete
    {
        CTabPageSSL* page = nullptr;
        // 1: the tab control deletes the page object when it is destroyed.
        int deletePage = 0;
    };

    CTabCtrlSSL();
    ~CTabCtrlSSL() override;

    // The new tab's index, or -1 when the tab cannot be inserted or the
    // entry has no page (or no page window).
    int AddPage(const wchar_t* title, int pageId, TabDelete entry);
    // Forgets every tab and entry; the page windows are left as they are.
    BOOL RemoveAllPages();
    // Selects a tab and shows its page without page notifications.
    BOOL ActivatePage(int index);
    void ResizePages();

    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CTabPageSSL* GetPage(int index) const;
    int GetPageId(int index) const;

    // Where a tab's page goes: the control's display area, in the parent's
    // client coordinates; false when the control has no such tab or no room.
    bool PageRect(int index, RECT* rect) const;

protected:
    virtual BOOL OnInitPage(int index, int pageId);
    virtual void OnActivatePage(int index, int pageId);
    virtual void OnDeactivatePage(int index, int pageId);
    virtual void OnDestroyPage(int index, int pageId);

    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    LRESULT OnSelChanging(NMHDR* header);
    LRESULT OnSelChange(NMHDR* header);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    void PlacePage(int index);
    bool IsValidIndex(int index) const { return index >= 0 && index < GetPageCount(); }

    std::vector<TabDelete> m_pages;
    std::vector<int> m_pageIds;
    int m_previousTab = -1;
};
