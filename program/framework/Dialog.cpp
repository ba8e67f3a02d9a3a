#include "Dialog.h"

#include <cwchar>

#include "Application.h"
#include "DataExchange.h"
#include "Exceptions.h"
#include "Logger.h"
#include "MessageLoop.h"
#include "ModalOwner.h"
#include "ShownFocus.h"
#include "UpDown.h"
#include "WindowCreation.h"

CDialog::CDialog(UINT templateId, CWindow* parent) : m_parent(parent), m_templateId(templateId)
{
}

CDialog::CDialog(const DLGTEMPLATE* dialogTemplate, CWindow* parent) : m_parent(parent), m_template(dialogTemplate)
{
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    // Every message reaches the object through its window procedure, which
    // runs before the system's dialog procedure; nothing is left to do here.
    return FALSE;
}

const DLGTEMPLATE* CDialog::ResolveTemplate() const
{
    if (m_template != nullptr)
        return m_template;
    const HINSTANCE module = GetResourceInstance();
    const HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(m_templateId), RT_DIALOG);
    if (resource == nullptr)
        return nullptr;
    const HGLOBAL loaded = ::LoadResource(module, resource);
    return loaded != nullptr ? static_cast<const DLGTEMPLATE*>(::LockResource(loaded)) : nullptr;
}

bool CDialog::CreateFromTemplate(HWND parent)
{
    if (m_hWnd != nullptr)
        return false;
    const DLGTEMPLATE* dialogTemplate = ResolveTemplate();
    if (dialogTemplate == nullptr)
    {
        CLogger::LogOSMessage(::GetLastError(), L"CDialog::Create: dialog template %u not found", m_templateId);
        return false;
    }
    HWND window = nullptr;
    {
        CWindowCreation creation(this);
        if (!creation.Installed())
            return false;
        window = ::CreateDialogIndirectParamW(GetResourceInstance(), dialogTemplate, parent, StaticDialogProc, 0);
        if (!creation.ObjectAlive())
            return false;
    }
    if (window == nullptr)
    {
        CLogger::LogOSMessage(::GetLastError(), L"CDialog::Create: unable to create dialog %u", m_templateId);
        return false;
    }
    if (m_hWnd != window)
    {
        ::DestroyWindow(window);
        return false;
    }
    return true;
}

bool CDialog::Create(CWindow* parent)
{
    if (parent != nullptr)
        m_parent = parent;
    return CreateFromTemplate(m_parent != nullptr ? m_parent->GetSafeHwnd() : nullptr);
}

bool CDialog::Create(HWND parent)
{
    return CreateFromTemplate(parent);
}

HWND CDialog::ModalOwner() const
{
    return ModalOwnerOf(m_parent);
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd != nullptr || m_modalRunning)
        return -1;
    m_result = -1;
    m_endRequested = false;
    m_modalRunning = true;
    const HWND owner = ModalOwner();
    if (!CreateFromTemplate(owner))
    {
        m_modalRunning = false;
        return -1;
    }
    const HWND dialog = m_hWnd;

    const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (disableOwner)
        ::EnableWindow(owner, FALSE);

    if (!m_endRequested)
        ::ShowWindow(dialog, SW_SHOWNORMAL);
    int quitCode = 0;
    const bool quit = !PumpMessagesUntil([&] { return m_endRequested || !::IsWindow(dialog); }, &quitCode);
    m_modalRunning = false;

    // The owner is enabled before the dialog goes so that it gets the activation back.
    if (disableOwner)
        ::EnableWindow(owner, TRUE);
    if (::IsWindow(dialog))
    {
        if (::GetActiveWindow() == dialog && owner != nullptr)
            ::SetActiveWindow(owner);
        ::SetWindowPos(dialog, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        ::DestroyWindow(dialog);
    }
    if (quit)
    {
        ::PostQuitMessage(quitCode);
        return -1;
    }
    return m_endRequested ? m_result.load() : -1;
}

void CDialog::EndDialog(INT_PTR result)
{
    m_result = result;
    if (m_modalRunning)
    {
        m_endRequested = true;
        // Wakes the modal loop, which may be waiting for a message.
        if (m_hWnd != nullptr)
            ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
    }
    else if (m_hWnd != nullptr)
    {
        // A modeless dialog is only hidden; its owner destroys it.
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(*this, saveAndValidate);
    try
    {
        DoDataExchange(dx);
    }
    catch (const CUserException&)
    {
        return false;
    }
    return true;
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    const bool input = (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) ||
                       (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST);
    if (!input || m_hWnd == nullptr)
        return FALSE;
    // A child dialog that is part of its parent dialog's navigation (a tab
    // page) leaves the keys to the parent, which moves through its controls too.
    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    if ((style & WS_CHILD) != 0 && ((style & DS_CONTROL) != 0 || (exStyle & WS_EX_CONTROLPARENT) != 0))
    {
        wchar_t parentClass[16] = {};
        ::GetClassNameW(::GetParent(m_hWnd), parentClass, 16);
        if (std::wcscmp(parentClass, L"#32770") == 0)
            return FALSE;
    }
    // A key aimed at a page hidden under the focus goes to the dialog's tab
    // row, or nowhere.
    if (!AimKeyAtShownFocus(m_hWnd, msg, ShownKeyTarget()))
        return TRUE;
    return ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(true))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange&)
{
}

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG)
    {
        *result = OnInitDialog();
        return true;
    }
    return CWindow::OnWndMsg(message, wParam, lParam, result);
}

bool CDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (CWindow::OnNotify(wParam, lParam, result))
        return true;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header == nullptr || header->code != UDN_DELTAPOS ||
        !StepBuddyFromShown(*reinterpret_cast<const NMUPDOWN*>(lParam)))
        return false;
    *result = TRUE;
    return true;
}

bool CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (CWindow::OnCommand(wParam, lParam))
        return true;
    const UINT code = lParam == 0 ? 0 : HIWORD(wParam);
    if (code != BN_CLICKED)
        return false;
    switch (LOWORD(wParam))
    {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}
