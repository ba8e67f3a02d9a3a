#include "ToolTip.h"

CToolTipCtrl::~CToolTipCtrl()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

bool CToolTipCtrl::Create(HWND parent)
{
    m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    return m_hWnd != nullptr;
}

TTTOOLINFOW CToolTipCtrl::ToolFor(HWND control) const
{
    TTTOOLINFOW tool{};
    // The size of the common controls 5 record: accepted by every version.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ::GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    return tool;
}

bool CToolTipCtrl::AddTool(HWND control, const std::wstring& text)
{
    if (m_hWnd == nullptr || control == nullptr)
        return false;
    TTTOOLINFOW tool = ToolFor(control);
    // The control copies the text.
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    return ::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
}

void CToolTipCtrl::DelTool(HWND control)
{
    if (m_hWnd == nullptr || control == nullptr)
        return;
    TTTOOLINFOW tool = ToolFor(control);
    ::SendMessageW(m_hWnd, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CToolTipCtrl::SetMaxTipWidth(int width)
{
    if (m_hWnd != nullptr)
        ::SendMessageW(m_hWnd, TTM_SETMAXTIPWIDTH, 0, width);
}

void CToolTipCtrl::Activate(bool active)
{
    if (m_hWnd != nullptr)
        ::SendMessageW(m_hWnd, TTM_ACTIVATE, active ? TRUE : FALSE, 0);
}

void CToolTipCtrl::RelayEvent(const MSG* msg)
{
    if (m_hWnd == nullptr || msg == nullptr)
        return;
    if ((msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST) ||
        (msg->message >= WM_NCMOUSEMOVE && msg->message <= WM_NCMBUTTONDBLCLK))
        ::SendMessageW(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}
