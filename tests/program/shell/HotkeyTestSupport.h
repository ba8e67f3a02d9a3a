#pragma once
// Hotkeys in the tests: a chord pressed with SendInput (global hotkeys fire
// for it, not for X-level key events), and a window of the test that takes a
// chord, to see whether anyone else still holds it.

#include <windows.h>

#include <vector>

namespace brmptest
{
// Presses and releases the modifiers (RegisterHotKey bits) and the key.
inline bool SendChord(UINT modifiers, WORD vk)
{
    std::vector<WORD> keys;
    if (modifiers & MOD_CONTROL)
        keys.push_back(VK_CONTROL);
    if (modifiers & MOD_ALT)
        keys.push_back(VK_MENU);
    if (modifiers & MOD_SHIFT)
        keys.push_back(VK_SHIFT);
    if (modifiers & MOD_WIN)
        keys.push_back(VK_LWIN);
    keys.push_back(vk);

    std::vector<INPUT> inputs;
    auto add = [&](WORD key, bool up) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    for (WORD key : keys)
        add(key, false);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        add(*it, true);
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// Holds a chord on a hidden window of the calling thread while it lives.
class HotkeyTaker
{
public:
    HotkeyTaker(UINT modifiers, UINT vk)
    {
        m_window = ::CreateWindowExW(0, L"STATIC", L"hotkey taker", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
        m_taken = m_window && ::RegisterHotKey(m_window, kId, modifiers, vk);
    }
    ~HotkeyTaker()
    {
        Release();
        if (m_window)
            ::DestroyWindow(m_window);
    }
    HotkeyTaker(const HotkeyTaker&) = delete;
    HotkeyTaker& operator=(const HotkeyTaker&) = delete;

    bool Taken() const { return m_taken; }
    void Release()
    {
        if (m_taken)
            ::UnregisterHotKey(m_window, kId);
        m_taken = false;
    }

private:
    static constexpr int kId = 0x5A5A;
    HWND m_window = nullptr;
    bool m_taken = false;
};

// Whether nobody holds the chord now.
inline bool ChordIsFree(UINT modifiers, UINT vk)
{
    HotkeyTaker taker(modifiers, vk);
    return taker.Taken();
}
} // namespace brmptest
