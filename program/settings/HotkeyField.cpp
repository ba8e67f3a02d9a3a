#include "HotkeyField.h"

#include <commctrl.h>

namespace
{
bool IsModifierKey(WPARAM key)
{
    return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU;
}

bool AnyModifierDown()
{
    return ::GetKeyState(VK_SHIFT) < 0 || ::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0;
}

// A key-up's lParam: one release of a key that was down.
constexpr LPARAM kKeyUpFlags = static_cast<LPARAM>(0xC0000001u);
}

LRESULT CHotkeyField::Value() const
{
    const LRESULT value = SendMessage(HKM_GETHOTKEY);
    return m_modifiersOnly && LOBYTE(value) == 0 ? m_before : value;
}

LRESULT CHotkeyField::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (!IsModifierKey(wParam))
            m_modifiersOnly = false;
        else if (!m_modifiersOnly)
        {
            m_before = SendMessage(HKM_GETHOTKEY);
            m_modifiersOnly = true;
        }
        break;
    case WM_KILLFOCUS:
        PutBack();
        break;
    case HKM_SETHOTKEY:
        m_modifiersOnly = false;
        break;
    default:
        break;
    }
    const LRESULT result = CWindow::WindowProc(message, wParam, lParam);
    if ((message == WM_KEYUP || message == WM_SYSKEYUP) && IsModifierKey(wParam) && !AnyModifierDown())
        PutBack();
    return result;
}

void CHotkeyField::PutBack()
{
    if (!m_modifiersOnly)
        return;
    m_modifiersOnly = false;
    if (LOBYTE(SendMessage(HKM_GETHOTKEY)) != 0)
        return;
    // The control counts a modifier as held until it sees it come up, and
    // would put it before the next key typed in it.
    for (const WPARAM key : {VK_SHIFT, VK_CONTROL, VK_MENU})
        DefWindowProc(WM_KEYUP, key, kKeyUpFlags);
    SendMessage(HKM_SETHOTKEY, static_cast<WPARAM>(m_before));
}

LRESULT HotkeyValue(const std::map<int, CHotkeyField>& fields, int index, HWND control)
{
    const auto field = fields.find(index);
    if (field != fields.end() && field->second.GetSafeHwnd() == control)
        return field->second.Value();
    return ::SendMessageW(control, HKM_GETHOTKEY, 0, 0);
}
