#include "Window.h"

#include "Application.h"
#include "WindowCreation.h"
#include "WindowProcGuard.h"

namespace
{
// Window properties: the bound object, and the procedure it replaced (kept
// apart so that a window whose object is gone still reaches it).
constexpr const wchar_t* kObjectProperty = L"BrmpFramework.Object";
constexpr const wchar_t* kSuperProperty = L"BrmpFramework.SuperProc";
constexpr const wchar_t* kDefaultClass = L"BrmpFrameworkWindow";

// Only windows of this process can carry one of its objects: a handle that
// arrives in a message from another process is never taken for a pointer.
bool IsOwnProcessWindow(HWND window)
{
    DWORD process = 0;
    return ::GetWindowThreadProcessId(window, &process) != 0 && process == ::GetCurrentProcessId();
}

WNDPROC SuperProcOf(HWND window)
{
    return reinterpret_cast<WNDPROC>(::GetPropW(window, kSuperProperty));
}

HWND ControlOfOwnerDraw(HWND parent, UINT message, LPARAM lParam)
{
    switch (message)
    {
    case WM_DRAWITEM:
    {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return item != nullptr && item->CtlType != ODT_MENU ? item->hwndItem : nullptr;
    }
    case WM_MEASUREITEM:
    {
        const auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        return item != nullptr && item->CtlType != ODT_MENU ? ::GetDlgItem(parent, static_cast<int>(item->CtlID))
                                                            : nullptr;
    }
    case WM_COMPAREITEM:
    {
        const auto* item = reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam);
        return item != nullptr ? item->hwndItem : nullptr;
    }
    case WM_DELETEITEM:
    {
        const auto* item = reinterpret_cast<const DELETEITEMSTRUCT*>(lParam);
        return item != nullptr ? item->hwndItem : nullptr;
    }
    default:
        return nullptr;
    }
}
}

CWindow::CWindow() = default;

CWindow::~CWindow()
{
    *m_alive = false;
    if (m_hWnd == nullptr)
        return;
    const HWND window = m_hWnd;
    const bool owned = m_ownsWindow;
    // Unbound first: messages sent while the window is destroyed go to its
    // previous procedure, not to a half-destroyed object.
    Unbind();
    if (owned && ::IsWindow(window))
        ::DestroyWindow(window);
}

CWindow* CWindow::FromHandle(HWND window)
{
    if (window == nullptr)
        return nullptr;
    void* object = ::GetPropW(window, kObjectProperty);
    if (object == nullptr || !IsOwnProcessWindow(window))
        return nullptr;
    return static_cast<CWindow*>(object);
}

const wchar_t* CWindow::DefaultClassName()
{
    static const ATOM atom = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kDefaultClass;
        return ::RegisterClassExW(&wc);
    }();
    (void)atom;
    return kDefaultClass;
}

bool CWindow::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, int x,
                       int y, int width, int height, HWND parent, HMENU idOrMenu, void* param)
{
    if (m_hWnd != nullptr)
        return false;
    CREATESTRUCTW cs = {};
    cs.dwExStyle = exStyle;
    cs.lpszClass = className != nullptr ? className : DefaultClassName();
    cs.lpszName = windowName;
    cs.style = static_cast<LONG>(style);
    cs.x = x;
    cs.y = y;
    cs.cx = width;
    cs.cy = height;
    cs.hwndParent = parent;
    cs.hMenu = idOrMenu;
    cs.hInstance = ::GetModuleHandleW(nullptr);
    cs.lpCreateParams = param;
    if (!PreCreateWindow(cs))
        return false;

    HWND window = nullptr;
    {
        CWindowCreation creation(this);
        if (!creation.Installed())
            return false;
        window = ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x,
                                   cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
        if (!creation.ObjectAlive())
            return false;
    }
    // A creation refused by the window itself has already unbound the object;
    // a window the object could not be bound to is not kept half-made.
    if (window != nullptr && m_hWnd != window)
    {
        ::DestroyWindow(window);
        return false;
    }
    return window != nullptr;
}

bool CWindow::PreCreateWindow(CREATESTRUCTW&)
{
    return true;
}

bool CWindow::Bind(HWND window)
{
    if (window == nullptr || m_hWnd != nullptr || !IsOwnProcessWindow(window) || FromHandle(window) != nullptr)
        return false;
    if (!::SetPropW(window, kObjectProperty, this))
        return false;
    WNDPROC super = SuperProcOf(window);
    const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
    if (current != StaticWindowProc)
    {
        ::SetLastError(0);
        super = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticWindowProc)));
        if (super == nullptr && ::GetLastError() != 0)
        {
            ::RemovePropW(window, kObjectProperty);
            return false;
        }
        ::SetPropW(window, kSuperProperty, reinterpret_cast<HANDLE>(super));
    }
    m_superProc = super;
    m_hWnd = window;
    return true;
}

void CWindow::Unbind()
{
    if (m_hWnd == nullptr)
        return;
    const HWND window = m_hWnd;
    m_hWnd = nullptr;
    m_ownsWindow = false;
    ::RemovePropW(window, kObjectProperty);
    // Someone who subclassed the window after us still calls our procedure:
    // it then forwards to the previous one by the property.
    const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
    if (current == StaticWindowProc && m_superProc != nullptr)
    {
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
        ::RemovePropW(window, kSuperProperty);
    }
    m_superProc = nullptr;
}

bool CWindow::SubclassWindow(HWND window)
{
    if (!Bind(window))
        return false;
    try
    {
        PreSubclassWindow();
    }
    catch (...)
    {
        LogWindowProcException(window, WM_NULL);
    }
    return true;
}

bool CWindow::SubclassDlgItem(int id, HWND parent)
{
    const HWND control = ::GetDlgItem(parent, id);
    return control != nullptr && SubclassWindow(control);
}

HWND CWindow::UnsubclassWindow()
{
    const HWND window = m_hWnd;
    Unbind();
    return window;
}

bool CWindow::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return false;
    return ::DestroyWindow(m_hWnd) != FALSE;
}

LRESULT CWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

bool CWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam) != FALSE;
}

std::wstring ReadWindowText(HWND window)
{
    const int length = window != nullptr ? ::GetWindowTextLengthW(window) : 0;
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring CWindow::GetWindowText() const
{
    return ReadWindowText(m_hWnd);
}

void CWindow::SetWindowText(const wchar_t* text)
{
    ::SetWindowTextW(m_hWnd, text != nullptr ? text : L"");
}

HWND CWindow::GetDlgItem(int id) const
{
    return ::GetDlgItem(m_hWnd, id);
}

int CWindow::GetDlgCtrlID() const
{
    return ::GetDlgCtrlID(m_hWnd);
}

HWND CWindow::GetParent() const
{
    return ::GetParent(m_hWnd);
}

bool CWindow::ShowWindow(int command)
{
    return ::ShowWindow(m_hWnd, command) != FALSE;
}

bool CWindow::EnableWindow(bool enable)
{
    return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE) != FALSE;
}

UINT_PTR CWindow::SetTimer(UINT_PTR id, UINT milliseconds)
{
    return ::SetTimer(m_hWnd, id, milliseconds, nullptr);
}

bool CWindow::KillTimer(UINT_PTR id)
{
    return ::KillTimer(m_hWnd, id) != FALSE;
}

BOOL CWindow::PreTranslateMessage(MSG*)
{
    return FALSE;
}

bool CWindow::WalkPreTranslateTree(MSG* msg)
{
    if (msg == nullptr)
        return false;
    for (HWND window = msg->hwnd; window != nullptr;)
    {
        if (CWindow* object = FromHandle(window))
        {
            try
            {
                if (object->PreTranslateMessage(msg))
                    return true;
            }
            catch (...)
            {
                LogWindowProcException(window, msg->message);
            }
        }
        if (!::IsWindow(window) || (::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0)
            break;
        window = ::GetParent(window);
    }
    return false;
}

LRESULT CALLBACK CWindow::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindow* object = FromHandle(window);
    if (object == nullptr)
    {
        const WNDPROC super = SuperProcOf(window);
        if (message == WM_NCDESTROY)
            ::RemovePropW(window, kSuperProperty);
        return super != nullptr ? ::CallWindowProcW(super, window, message, wParam, lParam)
                                : ::DefWindowProcW(window, message, wParam, lParam);
    }

    const std::shared_ptr<bool> alive = object->m_alive;
    const CurrentMessage outer = object->m_current;
    object->m_current = {message, wParam, lParam};
    LRESULT result = 0;
    try
    {
        result = object->WindowProc(message, wParam, lParam);
    }
    catch (...)
    {
        LogWindowProcException(window, message);
        result = WindowProcFallbackResult(window, message);
    }
    if (!*alive)
        return result;
    object->m_current = outer;
    if (message == WM_NCDESTROY && object->m_hWnd == window)
        object->FinishNcDestroy();
    return result;
}

void CWindow::FinishNcDestroy()
{
    const HWND window = m_hWnd;
    Unbind();
    ::RemovePropW(window, kSuperProperty);
    // The application's main window going away ends the message loop.
    if (CApplication* app = CApplication::Get(); app != nullptr && app->GetMainWindow() == this)
        ::PostQuitMessage(0);
    try
    {
        PostNcDestroy();
    }
    catch (...)
    {
        LogWindowProcException(window, WM_NCDESTROY);
    }
}

LRESULT CWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

bool CWindow::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message)
    {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
        {
            *result = 0;
            return true;
        }
        break;
    case WM_NOTIFY:
        if (OnNotify(wParam, lParam, result))
            return true;
        break;
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
        if (ReflectToControl(ControlOfOwnerDraw(m_hWnd, message, lParam), message, wParam, lParam, result))
            return true;
        break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        if (ReflectToControl(reinterpret_cast<HWND>(lParam), message, wParam, lParam, result))
            return true;
        break;
    default:
        break;
    }
    if (const CMessageTable::MessageHandler handler = m_table.FindMessage(message))
    {
        *result = handler(wParam, lParam);
        return true;
    }
    return false;
}

bool CWindow::ReflectToControl(HWND control, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    CWindow* object = FromHandle(control);
    if (object == nullptr || object == this)
        return false;
    LRESULT answer = 0;
    if (!object->OnChildNotify(message, wParam, lParam, &answer))
        return false;
    *result = answer;
    return true;
}

bool CWindow::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    UINT code = HIWORD(wParam);
    const HWND control = reinterpret_cast<HWND>(lParam);
    if (control == nullptr)
    {
        // Menus and accelerators (code 1) are both plain commands.
        code = 0;
    }
    else
    {
        LRESULT ignored = 0;
        if (ReflectToControl(control, WM_COMMAND, wParam, lParam, &ignored))
            return true;
    }
    if (const CMessageTable::CommandHandler handler = m_table.FindCommand(code, id))
    {
        handler(id);
        return true;
    }
    return false;
}

bool CWindow::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header == nullptr)
        return false;
    if (ReflectToControl(header->hwndFrom, WM_NOTIFY, wParam, lParam, result))
        return true;
    if (const CMessageTable::NotifyHandler handler = m_table.FindNotify(header->code, header->idFrom))
    {
        *result = handler(header);
        return true;
    }
    return false;
}

bool CWindow::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message)
    {
    case WM_COMMAND:
        if (const CMessageTable::CommandHandler handler = m_table.FindReflectedCommand(HIWORD(wParam)))
        {
            handler(LOWORD(wParam));
            *result = 0;
            return true;
        }
        break;
    case WM_NOTIFY:
    {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header == nullptr)
            return false;
        if (const CMessageTable::NotifyHandler handler = m_table.FindReflectedNotify(header->code))
        {
            *result = handler(header);
            return true;
        }
        break;
    }
    default:
        break;
    }
    if (const CMessageTable::MessageHandler handler = m_table.FindReflectedMessage(message))
    {
        *result = handler(wParam, lParam);
        return true;
    }
    switch (message)
    {
    case WM_DRAWITEM:
        if (DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)))
        {
            *result = TRUE;
            return true;
        }
        break;
    case WM_MEASUREITEM:
        if (MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)))
        {
            *result = TRUE;
            return true;
        }
        break;
    case WM_COMPAREITEM:
    {
        int order = 0;
        if (CompareItem(reinterpret_cast<COMPAREITEMSTRUCT*>(lParam), &order))
        {
            *result = order;
            return true;
        }
        break;
    }
    case WM_DELETEITEM:
        if (DeleteItem(reinterpret_cast<DELETEITEMSTRUCT*>(lParam)))
        {
            *result = TRUE;
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

bool CWindow::DrawItem(DRAWITEMSTRUCT*)
{
    return false;
}

bool CWindow::MeasureItem(MEASUREITEMSTRUCT*)
{
    return false;
}

bool CWindow::CompareItem(COMPAREITEMSTRUCT*, int*)
{
    return false;
}

bool CWindow::DeleteItem(DELETEITEMSTRUCT*)
{
    return false;
}

LRESULT CWindow::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_superProc != nullptr)
        return ::CallWindowProcW(m_superProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWindow::Default()
{
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}
