#include "TabCtrlSSL.h"

#include <uxtheme.h>

#include "SystemLibrary.h"

namespace
{
// Bound at run time: the visual-styles library comes from the system folder
// only, and a system without it leaves the page plain.
void EnableTabTexture(HWND page)
{
    using EnableThemeDialogTextureFn = HRESULT(WINAPI*)(HWND, DWORD);
    static const EnableThemeDialogTextureFn enable = [] {
        HMODULE theme = LoadSystemLibrary(L"uxtheme.dll");
        return theme != nullptr ? reinterpret_cast<EnableThemeDialogTextureFn>(reinterpret_cast<void*>(
                                      ::GetProcAddress(theme, "EnableThemeDialogTexture")))
                                : nullptr;
    }();
    if (enable != nullptr)
        enable(page, ETDT_ENABLETAB);
}
}

CTabPageSSL::CTabPageSSL(UINT templateId, CWindow* parent) : CDialog(templateId, parent) {}

CTabPageSSL::CTabPageSSL(const DLGTEMPLATE* dialogTemplate, CWindow* parent) : CDialog(dialogTemplate, parent) {}

BOOL CTabPageSSL::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The page's background then matches the themed tab body.
    EnableTabTexture(m_hWnd);
    return TRUE;
}

bool CTabPageSSL::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const bool handled = CDialog::OnCommand(wParam, lParam);
    if (m_routeCommands == 1)
    {
        const HWND parent = GetParent();
        if (parent != nullptr)
            return ::SendMessageW(parent, WM_COMMAND, wParam, lParam) != 0;
    }
    return handled;
}

bool CTabPageSSL::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const bool handled = CDialog::OnNotify(wParam, lParam, result);
    if (m_routeNotifications == 1)
    {
        const HWND parent = GetParent();
        if (parent != nullptr)
        {
            *result = ::SendMessageW(parent, WM_NOTIFY, wParam, lParam);
            return true;
        }
    }
    return handled;
}

CTabCtrlSSL::CTabCtrlSSL()
{
    BindReflectedNotify(TCN_SELCHANGING, &CTabCtrlSSL::OnSelChanging);
    BindReflectedNotify(TCN_SELCHANGE, &CTabCtrlSSL::OnSelChange);
    BindMessage(WM_DESTROY, &CTabCtrlSSL::OnDestroy);
}

CTabCtrlSSL::~CTabCtrlSSL()
{
    // The window may never have been destroyed while bound to us: the pages
    // we own must not leak with it.
    for (const TabDelete& entry : m_pages)
    {
        if (entry.deletePage == 1)
            delete entry.page;
    }
}

CTabPageSSL* CTabCtrlSSL::GetPage(int index) const
{
    return IsValidIndex(index) ? m_pages[static_cast<size_t>(index)].page : nullptr;
}

int CTabCtrlSSL::GetPageId(int index) const
{
    return IsValidIndex(index) ? m_pageIds[static_cast<size_t>(index)] : -1;
}

int CTabCtrlSSL::AddPage(const wchar_t* title, int pageId, TabDelete entry)
{
    if (m_hWnd == nullptr)
        return -1;
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(title != nullptr ? title : L"");
    const int count = static_cast<int>(SendMessage(TCM_GETITEMCOUNT));
    const int index = static_cast<int>(SendMessage(TCM_INSERTITEMW, count, reinterpret_cast<LPARAM>(&item)));
    if (index == -1)
        return -1;
    if (entry.page == nullptr || entry.page->GetSafeHwnd() == nullptr)
    {
        SendMessage(TCM_DELETEITEM, index);
        return -1;
    }
    m_pages.push_back(entry);
    m_pageIds.push_back(pageId);
    const int pageIndex = GetPageCount() - 1;

    ::SetParent(entry.page->GetSafeHwnd(), GetParent());
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    if (!::IsRectEmpty(&client))
        PlacePage(pageIndex);
    OnInitPage(pageIndex, pageId);
    if (pageIndex == 0)
        entry.page->ShowWindow(SW_SHOWNORMAL);
    return pageIndex;
}

BOOL CTabCtrlSSL::RemoveAllPages()
{
    if (m_hWnd != nullptr)
        SendMessage(TCM_DELETEALLITEMS);
    m_pages.clear();
    m_pageIds.clear();
    m_previousTab = -1;
    return TRUE;
}

BOOL CTabCtrlSSL::ActivatePage(int index)
{
    // A negative index is refused as well: it would address no entry.
    if (index < 0 || index >= GetPageCount() || m_hWnd == nullptr)
        return FALSE;
    const int selected = static_cast<int>(SendMessage(TCM_GETCURSEL));
    if (selected == index)
        return TRUE;
    if (CTabPageSSL* old = GetPage(selected))
        old->ShowWindow(SW_HIDE);
    SendMessage(TCM_SETCURSEL, index);
    GetPage(index)->ShowWindow(SW_SHOWNORMAL);
    return TRUE;
}

void CTabCtrlSSL::ResizePages()
{
    for (int index = 0; index < GetPageCount(); ++index)
        PlacePage(index);
}

bool CTabCtrlSSL::PageRect(int index, RECT* rect) const
{
    if (m_hWnd == nullptr || rect == nullptr || !IsValidIndex(index))
        return false;
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const HWND parent = ::GetParent(m_hWnd);
    if (parent != nullptr)
        ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&window), 2);
    RECT display = window;
    ::SendMessageW(m_hWnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    if (display.right <= display.left || display.bottom <= display.top)
        return false;
    *rect = display;
    return true;
}

void CTabCtrlSSL::PlacePage(int index)
{
    CTabPageSSL* page = GetPage(index);
    RECT area{};
    if (page == nullptr || page->GetSafeHwnd() == nullptr || !PageRect(index, &area))
        return;
    // Sized to the display area: a page template taller or wider than the tab
    // body would otherwise cover what lies beside the tab control.
    ::SetWindowPos(page->GetSafeHwnd(), nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CTabCtrlSSL::OnInitPage(int, int)
{
    return TRUE;
}

void CTabCtrlSSL::OnActivatePage(int index, int)
{
    if (CTabPageSSL* page = GetPage(index))
        page->OnActivatePage();
}

void CTabCtrlSSL::OnDeactivatePage(int index, int)
{
    if (CTabPageSSL* page = GetPage(index))
        page->OnDeactivatePage();
}

void CTabCtrlSSL::OnDestroyPage(int, int) {}

bool CTabCtrlSSL::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const HWND parent = GetParent();
    if (parent == nullptr)
        return CWindow::OnCommand(wParam, lParam);
    return ::SendMessageW(parent, WM_COMMAND, wParam, lParam) != 0;
}

bool CTabCtrlSSL::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const HWND parent = GetParent();
    if (parent == nullptr)
        return CWindow::OnNotify(wParam, lParam, result);
    *result = ::SendMessageW(parent, WM_NOTIFY, wParam, lParam);
    return *result != 0;
}

LRESULT CTabCtrlSSL::OnSelChanging(NMHDR*)
{
    m_previousTab = static_cast<int>(SendMessage(TCM_GETCURSEL));
    return FALSE;
}

LRESULT CTabCtrlSSL::OnSelChange(NMHDR*)
{
    SendMessage(WM_SETREDRAW, FALSE);
    const int selected = static_cast<int>(SendMessage(TCM_GETCURSEL));
    CTabPageSSL* page = GetPage(selected);
    if (page == nullptr)
    {
        SendMessage(WM_SETREDRAW, TRUE);
        return 0;
    }
    page->ShowWindow(SW_SHOWNORMAL);
    // The previous tab may be gone by now (the rows were rebuilt meanwhile).
    if (m_previousTab != selected && IsValidIndex(m_previousTab))
    {
        GetPage(m_previousTab)->ShowWindow(SW_HIDE);
        OnDeactivatePage(m_previousTab, m_pageIds[static_cast<size_t>(m_previousTab)]);
    }
    SendMessage(WM_SETREDRAW, TRUE);
    ::RedrawWindow(page->GetSafeHwnd(), nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
    // The page notifications may have rebuilt the rows.
    if (IsValidIndex(selected))
        OnActivatePage(selected, m_pageIds[static_cast<size_t>(selected)]);
    return 0;
}

LRESULT CTabCtrlSSL::OnDestroy(WPARAM, LPARAM)
{
    for (int index = GetPageCount() - 1; index >= 0; --index)
    {
        // OnDestroyPage of a subclass may have emptied the rows.
        if (!IsValidIndex(index))
            continue;
        const TabDelete entry = m_pages[static_cast<size_t>(index)];
        OnDestroyPage(index, m_pageIds[static_cast<size_t>(index)]);
        SendMessage(TCM_DELETEITEM, index);
        if (entry.page != nullptr)
        {
            if (entry.page->GetSafeHwnd() != nullptr)
                entry.page->DestroyWindow();
            if (entry.deletePage == 1)
                delete entry.page;
        }
    }
    m_pages.clear();
    m_pageIds.clear();
    return Default();
}
