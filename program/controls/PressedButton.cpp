#include "PressedButton.h"

#include "Logger.h"
#include "OSVersion.h"

HHOOK CPressedButton::s_hook = nullptr;
// While the keyboard hook is in, its lines go to the logger's writer thread:
// a hook procedure never writes to the log file itself.
std::optional<CDeferredLogWrites> CPressedButton::s_hookLog;
CPressedButton* CPressedButton::s_capturing = nullptr;
KeyCaptureState CPressedButton::s_state;

namespace
{
constexpr DWORD kLongPressMs = 500;

UINT KeyReceivedMessage()
{
    static const UINT id = ::RegisterWindowMessageW(L"BRMPSimKeyCustomKeyRecieved");
    return id;
}

UINT ButtonReleasedMessage()
{
    static const UINT id = ::RegisterWindowMessageW(L"BRMPSimKeyButtonReleased");
    return id;
}

// Keys Windows (or the focused window) would act on; while the button is held
// they become tags instead.
bool IsCapturedKey(DWORD vk)
{
    switch (vk)
    {
    case 0x09: case 0x0D: case 0x10: case 0x11: case 0x12: case 0x13: case 0x14: case 0x1B:
    case 0x2A: case 0x2C: case 0x5B: case 0x5C: case 0x5D: case 0x90: case 0x91:
    case 0xA0: case 0xA1: case 0xA3: case 0xA4:
        return true;
    default:
        return vk >= 0xA6 && vk <= 0xB7;
    }
}

void MarkKey(KeyCaptureState& state, DWORD vk, bool keyUp)
{
    state.keys[vk & 0xFF] = keyUp ? 0 : 0x80;
}
} // namespace

void KeyCaptureState::Clear()
{
    for (BYTE& key : keys)
        key = 0;
    altGr = false;
}

KeyCaptureDecision DecideCapturedKey(KeyCaptureState& state, DWORD vk, bool keyUp, bool windowsKeyDown)
{
    KeyCaptureDecision decision;
    if (vk > 0xFF)
        return decision;
    if (IsCapturedKey(vk))
    {
        state.altGr = false;
        decision.report = state.keys[vk] == 0;
        MarkKey(state, vk, keyUp);
        decision.swallow = true;
    }
    else if (vk == VK_RMENU)
    {
        state.altGr = true;
        decision.report = state.keys[vk] == 0;
        MarkKey(state, vk, keyUp);
        decision.swallow = true;
    }
    else if (vk == VK_LCONTROL)
    {
        // Reported on its release, so its auto-repeats say nothing; the left
        // Ctrl that AltGr brings along is not reported at all.
        if (!keyUp)
            state.altGr = false;
        else if (state.altGr)
            state.altGr = false;
        else
            decision.report = true;
        decision.swallow = true;
    }
    else
    {
        // A letter with a Windows key would be a shell shortcut.
        decision.swallow = state.keys[VK_LWIN] != 0 || state.keys[VK_RWIN] != 0 || windowsKeyDown;
    }
    return decision;
}

CPressedButton::CPressedButton() : m_osVersion(static_cast<int>(GetOSVersion()))
{
    BindMessage(WM_LBUTTONDOWN, &CPressedButton::OnLButtonDown);
    // A press soon after a click is a double click: the button pushes for it
    // as for any press, and so the capture starts with it too.
    BindMessage(WM_LBUTTONDBLCLK, &CPressedButton::OnLButtonDown);
    BindMessage(WM_LBUTTONUP, &CPressedButton::OnLButtonUp);
    BindMessage(WM_RBUTTONUP, &CPressedButton::OnRButtonUp);
    BindMessage(WM_CAPTURECHANGED, &CPressedButton::OnCaptureChanged);
    BindMessage(WM_DESTROY, &CPressedButton::OnDestroy);
    BindReflectedNotify(BCN_DROPDOWN, &CPressedButton::OnDropDown);
}

CPressedButton::~CPressedButton()
{
    StopCapture();
}

bool CPressedButton::IsCapturing()
{
    return s_hook != nullptr;
}

void CPressedButton::PreSubclassWindow()
{
    // Both registered now, so the parent can bind them before the first press.
    KeyReceivedMessage();
    ButtonReleasedMessage();
}

void CPressedButton::RemoveHook(bool fromHook)
{
    if (s_hook != nullptr)
        ::UnhookWindowsHookEx(s_hook);
    s_hook = nullptr;
    s_capturing = nullptr;
    s_state.Clear();
    // Ending the deferred lines may wait for the writer: never inside the hook.
    if (!fromHook)
        s_hookLog.reset();
}

void CPressedButton::StopCapture()
{
    m_held = false;
    if (s_capturing == this)
        RemoveHook();
}

LRESULT CPressedButton::OnLButtonDown(WPARAM, LPARAM)
{
    m_held = true;
    m_keyPressed = false;
    m_pressTime = ::GetTickCount();
    if (s_hook == nullptr)
    {
        s_hook = ::SetWindowsHookExW(WH_KEYBOARD_LL, &CPressedButton::KeyboardProc, ::GetModuleHandleW(nullptr), 0);
        if (s_hook == nullptr)
            CLogger::LogDebug(L"CPressedButton::OnLButtonDown: no keyboard hook (error %u); keys are not captured",
                              ::GetLastError());
    }
    if (s_hook != nullptr)
    {
        s_capturing = this;
        if (!s_hookLog)
            s_hookLog.emplace();
    }
    // Pushes the button, takes the mouse capture and, on the arrow, drops down.
    return Default();
}

LRESULT CPressedButton::OnLButtonUp(WPARAM, LPARAM)
{
    const bool wasHeld = m_held;
    m_held = false;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    RemoveHook();
    // A release after a lost capture or a drop-down is no click.
    if (!wasHeld)
        return 0;
    HWND parent = GetParent();
    if (parent == nullptr)
        return 0;
    if (!m_keyPressed && ::GetTickCount() - m_pressTime < kLongPressMs)
        ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
    else
        ::SendMessageW(parent, ButtonReleasedMessage(), reinterpret_cast<WPARAM>(this), 0);
    return 0;
}

LRESULT CPressedButton::OnRButtonUp(WPARAM, LPARAM)
{
    if (m_osVersion >= ActionOS_Vista || m_menu == nullptr)
        return 0;
    RECT rect{};
    ::GetClientRect(m_hWnd, &rect);
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    ShowMenu(rect, nullptr);
    return 0;
}

LRESULT CPressedButton::OnCaptureChanged(WPARAM wParam, LPARAM lParam)
{
    // Another window took the mouse: the press is over, and so is the capture.
    // (The release handler gives the capture back itself and has decided by then.)
    if (m_held && reinterpret_cast<HWND>(lParam) != m_hWnd)
    {
        m_held = false;
        if (s_capturing == this)
            RemoveHook();
    }
    return DefWindowProc(WM_CAPTURECHANGED, wParam, lParam);
}

LRESULT CPressedButton::OnDestroy(WPARAM, LPARAM)
{
    StopCapture();
    if (s_hook == nullptr)
        s_hookLog.reset();
    return Default();
}

LRESULT CPressedButton::OnDropDown(NMHDR*)
{
    m_held = false;
    m_keyPressed = true;
    if (s_hook != nullptr)
        RemoveHook();
    if (m_menu == nullptr)
        return 0;
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    ShowMenu(rect, &rect);
    return 0;
}

void CPressedButton::ShowMenu(const RECT& screenRect, const RECT* exclude)
{
    TPMPARAMS params{};
    params.cbSize = sizeof(params);
    if (exclude != nullptr)
        params.rcExclude = *exclude;
    ::TrackPopupMenuEx(m_menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, screenRect.left, screenRect.bottom,
                       GetParent(), exclude != nullptr ? &params : nullptr);
}

BOOL CPressedButton::PreTranslateMessage(MSG* msg)
{
    if (m_held && msg->hwnd == m_hWnd && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN))
        m_keyPressed = true;
    return CWindow::PreTranslateMessage(msg);
}

void CPressedButton::ReportKey(DWORD virtualKey, bool extended)
{
    m_keyPressed = true;
    HWND parent = GetParent();
    if (parent != nullptr)
        ::SendMessageW(parent, KeyReceivedMessage(), virtualKey, extended ? 1 : 0);
}

LRESULT CALLBACK CPressedButton::KeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    CLogger::LogDebug(L"Got Key");
    if (code < 0)
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    CPressedButton* button = s_capturing;
    if (button == nullptr)
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    if (!button->IsWindow() || (button->SendMessage(BM_GETSTATE) & BST_PUSHED) == 0)
    {
        // The pointer left the button (or the button went): the capture ends here.
        button->m_held = false;
        RemoveHook(true);
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const bool extended = (event->flags & LLKHF_EXTENDED) != 0;
    const bool keyUp = (event->flags & LLKHF_UP) != 0;
    CLogger::LogDebug(L"Hook - Key code 0x%02X (%c) extended=%d", event->vkCode, static_cast<wchar_t>(event->vkCode),
                      extended ? 1 : 0);
    const bool windowsKeyDown =
        (::GetAsyncKeyState(VK_LWIN) & 0x8000) != 0 || (::GetAsyncKeyState(VK_RWIN) & 0x8000) != 0;
    const KeyCaptureDecision decision = DecideCapturedKey(s_state, event->vkCode, keyUp, windowsKeyDown);
    if (decision.report)
        button->ReportKey(event->vkCode, extended);
    if (decision.swallow)
        return 1;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
