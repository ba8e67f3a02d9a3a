#include "PropertySheet.h"

#include "Application.h"
#include "Logger.h"
#include "MessageLoop.h"
#include "ModalOwner.h"
#include "ShownFocus.h"
#include "WindowCreation.h"
#include "WindowProcGuard.h"

CPropertyPage::CPropertyPage(UINT templateId) : CDialog(templateId), m_pageTemplate(templateId)
{
    m_psp.dwSize = sizeof(m_psp);
    m_psp.dwFlags = PSP_DEFAULT;
}

void CPropertyPage::Prepare()
{
    m_psp.dwSize = sizeof(m_psp);
    m_psp.hInstance = GetResourceInstance();
    m_psp.pszTemplate = MAKEINTRESOURCEW(m_pageTemplate);
    m_psp.pfnDlgProc = &CPropertyPage::PageDialogProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
    m_shownBefore = false;
}

INT_PTR CALLBACK CPropertyPage::PageDialogProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    // The page is bound at WM_INITDIALOG, which carries its description; from
    // then on every message reaches the object through its window procedure
    // before it gets here.
    if (message != WM_INITDIALOG || lParam == 0)
        return FALSE;
    auto* page = reinterpret_cast<CPropertyPage*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
    if (page == nullptr || CWindow::FromHandle(window) != nullptr || !page->SubclassWindow(window))
        return FALSE;
    try
    {
        return page->OnInitDialog();
    }
    catch (...)
    {
        LogWindowProcException(window, message);
        return TRUE;
    }
}

CPropertySheet* CPropertyPage::GetSheet() const
{
    if (m_hWnd == nullptr)
        return nullptr;
    return dynamic_cast<CPropertySheet*>(CWindow::FromHandle(::GetParent(m_hWnd)));
}

BOOL CPropertyPage::OnSetActive()
{
    // The first time the controls were filled by OnInitDialog.
    if (m_shownBefore)
        UpdateData(false);
    m_shownBefore = true;
    return TRUE;
}

BOOL CPropertyPage::OnKillActive()
{
    return UpdateData(true) ? TRUE : FALSE;
}

BOOL CPropertyPage::OnApply()
{
    OnOK();
    return TRUE;
}

void CPropertyPage::OnReset()
{
    OnCancel();
}

BOOL CPropertyPage::OnQueryCancel()
{
    return TRUE;
}

BOOL CPropertyPage::PreTranslateMessage(MSG*)
{
    return FALSE;
}

bool CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header == nullptr || header->hwndFrom != ::GetParent(m_hWnd) ||
        header->code > static_cast<UINT>(PSN_FIRST) || header->code < static_cast<UINT>(PSN_LAST))
        return CDialog::OnNotify(wParam, lParam, result);

    CPropertySheet* sheet = GetSheet();
    switch (header->code)
    {
    case PSN_SETACTIVE:
        *result = OnSetActive() ? 0 : -1;
        break;
    case PSN_KILLACTIVE:
        // Non-zero keeps the page in front.
        *result = OnKillActive() ? FALSE : TRUE;
        break;
    case PSN_APPLY:
    {
        const BOOL applied = OnApply();
        *result = applied ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
        if (sheet != nullptr)
            sheet->m_okPressed = applied != FALSE;
        break;
    }
    case PSN_RESET:
        OnReset();
        if (sheet != nullptr)
            sheet->m_okPressed = false;
        *result = 0;
        break;
    case PSN_QUERYCANCEL:
        *result = OnQueryCancel() ? FALSE : TRUE;
        break;
    default:
        return CDialog::OnNotify(wParam, lParam, result);
    }
    // The sheet may be closing: its loop looks again (a message sent from
    // another thread does not end the wait for a posted one).
    if (sheet != nullptr && (header->code == PSN_APPLY || header->code == PSN_RESET))
        sheet->PostMessage(WM_NULL);
    // The answer is the window procedure's result; dialogs also keep it here.
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, *result);
    return true;
}

CPropertySheet::CPropertySheet(const wchar_t* caption, CWindow* parent, UINT startPage)
    : m_parent(parent), m_caption(caption != nullptr ? caption : L""), m_startPage(startPage)
{
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags = PSH_DEFAULT;
}

CPropertySheet::~CPropertySheet() = default;

void CPropertySheet::AddPage(CPropertyPage* page)
{
    if (page != nullptr)
        m_pages.push_back(page);
}

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? m_pages[static_cast<size_t>(index)] : nullptr;
}

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const
{
    for (int i = 0; i < GetPageCount(); ++i)
    {
        if (m_pages[static_cast<size_t>(i)] == page)
            return i;
    }
    return -1;
}

void CPropertySheet::SetTitle(const wchar_t* caption)
{
    m_caption = caption != nullptr ? caption : L"";
    if (m_hWnd != nullptr)
        ::SetWindowTextW(m_hWnd, m_caption.c_str());
}

HWND CPropertySheet::GetTabControl() const
{
    return m_hWnd != nullptr ? reinterpret_cast<HWND>(::SendMessageW(m_hWnd, PSM_GETTABCONTROL, 0, 0)) : nullptr;
}

int CPropertySheet::GetActiveIndex() const
{
    if (m_hWnd == nullptr)
        return static_cast<int>(m_startPage);
    const HWND tab = GetTabControl();
    return tab != nullptr ? static_cast<int>(::SendMessageW(tab, TCM_GETCURSEL, 0, 0)) : -1;
}

bool CPropertySheet::SetActivePage(int index)
{
    if (index < 0 || index >= GetPageCount())
        return false;
    if (m_hWnd == nullptr)
    {
        m_startPage = static_cast<UINT>(index);
        return true;
    }
    const bool turned = ::SendMessageW(m_hWnd, PSM_SETCURSEL, static_cast<WPARAM>(index), 0) != 0;
    KeepFocusShown(m_hWnd, GetTabControl());
    return turned;
}

HWND CPropertySheet::ModalOwner() const
{
    return ModalOwnerOf(m_parent);
}

bool CPropertySheet::Closed() const
{
    // A modeless sheet that OK or Cancel ended has no page in front any more.
    return m_hWnd == nullptr || !::IsWindow(m_hWnd) || ::SendMessageW(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0) == 0;
}

INT_PTR CPropertySheet::DoModal()
{
    if (m_hWnd != nullptr || m_running || m_pages.empty())
        return -1;
    std::vector<PROPSHEETPAGEW> pages;
    for (CPropertyPage* page : m_pages)
    {
        page->Prepare();
        pages.push_back(page->m_psp);
    }
    const HWND owner = ModalOwner();
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags |= PSH_PROPSHEETPAGE | PSH_MODELESS;
    m_psh.hwndParent = owner;
    m_psh.hInstance = GetResourceInstance();
    m_psh.pszCaption = m_caption.c_str();
    m_psh.nPages = static_cast<UINT>(pages.size());
    m_psh.nStartPage = m_startPage < pages.size() ? m_startPage : 0;
    m_psh.ppsp = pages.data();

    m_okPressed = false;
    m_endRequested = false;
    m_endResult = IDCANCEL;
    m_running = true;
    HWND sheet = nullptr;
    {
        CWindowCreation creation(this);
        if (!creation.Installed())
        {
            m_running = false;
            return -1;
        }
        sheet = reinterpret_cast<HWND>(::PropertySheetW(&m_psh));
        if (!creation.ObjectAlive())
            return -1;
    }
    m_psh.ppsp = nullptr;
    if (sheet == nullptr || sheet == reinterpret_cast<HWND>(-1) || m_hWnd != sheet)
    {
        CLogger::LogOSMessage(::GetLastError(), L"CPropertySheet::DoModal: unable to create the property sheet '%s'",
                              m_caption.c_str());
        if (sheet != nullptr && sheet != reinterpret_cast<HWND>(-1) && ::IsWindow(sheet))
            ::DestroyWindow(sheet);
        m_running = false;
        return -1;
    }

    const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (disableOwner)
        ::EnableWindow(owner, FALSE);
    ::ShowWindow(sheet, SW_SHOWNORMAL);
    int quitCode = 0;
    const bool quit = !PumpMessagesUntil([&] { return m_endRequested || Closed(); }, &quitCode);
    m_running = false;

    if (disableOwner)
        ::EnableWindow(owner, TRUE);
    if (::IsWindow(sheet))
    {
        if (::GetActiveWindow() == sheet && owner != nullptr)
            ::SetActiveWindow(owner);
        ::ShowWindow(sheet, SW_HIDE);
        ::DestroyWindow(sheet);
    }
    if (quit)
    {
        ::PostQuitMessage(quitCode);
        return -1;
    }
    if (m_endRequested)
        return m_endResult;
    return m_okPressed ? IDOK : IDCANCEL;
}

void CPropertySheet::EndDialog(INT_PTR result)
{
    if (!m_running)
        return;
    m_endResult = result;
    m_endRequested = true;
    if (m_hWnd != nullptr)
    {
        // Pages that were changed hear of it as of a Cancel.
        ::PostMessageW(m_hWnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
    }
}

BOOL CPropertySheet::PreTranslateMessage(MSG* msg)
{
    const bool input = (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) ||
                       (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST);
    if (!input || m_hWnd == nullptr)
        return FALSE;
    // The page the sheet leaves for the keyboard keeps the focus hidden in it:
    // the keys go to the tab row instead, and a key that was on its way there
    // follows them.
    if (!AimKeyAtShownFocus(m_hWnd, msg, GetTabControl()))
        return TRUE;
    const bool handled = ::SendMessageW(m_hWnd, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(msg)) != 0;
    KeepFocusShown(m_hWnd, GetTabControl());
    return handled ? TRUE : FALSE;
}

BOOL CPropertySheet::OnInitDialog()
{
    const BOOL result = static_cast<BOOL>(Default());
    if (!m_stackedTabs)
    {
        if (const HWND tab = GetTabControl())
        {
            const LONG_PTR style = ::GetWindowLongPtrW(tab, GWL_STYLE);
            ::SetWindowLongPtrW(tab, GWL_STYLE, style & ~static_cast<LONG_PTR>(TCS_MULTILINE));
        }
    }
    return result;
}

bool CPropertySheet::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message)
    {
    case WM_INITDIALOG:
        *result = OnInitDialog();
        return true;
    case WM_QUERYDRAGICON:
        if (m_psh.hIcon == nullptr)
            break;
        *result = reinterpret_cast<LRESULT>(m_psh.hIcon);
        return true;
    case WM_SYSCOMMAND:
        // The close box cancels like the Cancel button.
        if ((wParam & 0xFFF0) == SC_CLOSE)
        {
            SendMessage(WM_CLOSE);
            *result = 0;
            return true;
        }
        break;
    default:
        break;
    }
    return CWindow::OnWndMsg(message, wParam, lParam, result);
}
