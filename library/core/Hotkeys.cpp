#include "Hotkeys.h"

namespace
{
    // Keys 7, 8, 9, 10 and 18 of a table stay active while remapping is disabled.
    constexpr int kUseWhenDisabled[HK_Count] = {
        0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};

    template <int N>
    void CreateKeys(CHotkey* (&keys)[N])
    {
        for (int i = 0; i < N; ++i)
            keys[i] = new CHotkey(i);
    }

    template <int N>
    void CopyKeys(CHotkey* (&keys)[N], CHotkey* const (&source)[N])
    {
        for (int i = 0; i < N; ++i)
        {
            if (keys[i] == nullptr)
                keys[i] = new CHotkey(i);
            if (source[i] != nullptr)
                *keys[i] = *source[i];
        }
    }

    template <int N>
    void DeleteKeys(CHotkey* (&keys)[N])
    {
        for (CHotkey*& key : keys)
        {
            delete key;
            key = nullptr;
        }
    }
}

bool CHotkey::UseWhenDisabledForIndex(int index)
{
    return index >= 0 && index < HK_Count && kUseWhenDisabled[index] != 0;
}

CHotkey::CHotkey(int index) : m_useWhenDisabled(UseWhenDisabledForIndex(index) ? 1 : 0)
{
}

int CHotkey::SetModifier(unsigned short modifier)
{
    if (modifier == m_modifier)
        return 0;
    m_modifier = modifier;
    return 1;
}

int CHotkey::SetVirtualKey(unsigned short virtualKey)
{
    if (virtualKey == m_virtualKey)
        return 0;
    m_virtualKey = virtualKey;
    return 1;
}

namespace
{
    // The hotkey control's flag for an extended key (HOTKEYF_EXT).
    constexpr unsigned short kControlExtended = 0x8;
    constexpr unsigned short kControlModifiers = HOTKEY_MOD_SHIFT | HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT;
}

int CHotkey::SetHotkey(unsigned long packed)
{
    const unsigned short virtualKey = static_cast<unsigned short>(packed & 0xFF);
    const unsigned short flags = static_cast<unsigned short>((packed >> 8) & 0xFF);
    unsigned short modifier = flags & kControlModifiers;
    if ((flags & kControlExtended) != 0)
        modifier |= HOTKEY_EXTENDED;
    if (virtualKey == m_virtualKey && modifier == m_modifier)
        return 0;
    m_virtualKey = virtualKey;
    m_modifier = modifier;
    return 1;
}

unsigned long CHotkey::GetHotkey() const
{
    unsigned long flags = m_modifier & kControlModifiers;
    if (IsExtended())
        flags |= kControlExtended;
    return static_cast<unsigned long>(m_virtualKey & 0xFF) | (flags << 8);
}

unsigned short CHotkey::GlobalModifierFromFile(unsigned short stored)
{
    unsigned short modifier = stored & static_cast<unsigned short>(~kControlExtended);
    if ((stored & kControlExtended) != 0)
        modifier |= HOTKEY_EXTENDED;
    return modifier;
}

unsigned short CHotkey::GlobalModifierToFile(unsigned short modifier)
{
    unsigned short stored = modifier & static_cast<unsigned short>(~(HOTKEY_EXTENDED | kControlExtended));
    if ((modifier & HOTKEY_EXTENDED) != 0)
        stored |= kControlExtended;
    return stored;
}

CHotKeys::CHotKeys()
{
    CreateKeys(m_keys);
}

CHotKeys::~CHotKeys()
{
    DeleteKeys(m_keys);
}

CHotKeys::CHotKeys(const CHotKeys& other)
{
    CopyKeys(m_keys, other.m_keys);
}

CHotKeys& CHotKeys::operator=(const CHotKeys& other)
{
    if (this != &other)
        CopyKeys(m_keys, other.m_keys);
    return *this;
}

CHotkey* CHotKeys::GetHotkey(GlobalHotkeys index) const
{
    const int i = static_cast<int>(index);
    return (i >= 0 && i < HK_Count) ? m_keys[i] : nullptr;
}

CLayerModifierKeys::CLayerModifierKeys()
{
    CreateKeys(m_keys);
}

CLayerModifierKeys::~CLayerModifierKeys()
{
    DeleteKeys(m_keys);
}

CLayerModifierKeys::CLayerModifierKeys(const CLayerModifierKeys& other)
{
    CopyKeys(m_keys, other.m_keys);
}

CLayerModifierKeys& CLayerModifierKeys::operator=(const CLayerModifierKeys& other)
{
    if (this != &other)
        CopyKeys(m_keys, other.m_keys);
    return *this;
}

CHotkey* CLayerModifierKeys::GetHotkey(ModifierKeys index) const
{
    const int i = static_cast<int>(index);
    return (i >= 0 && i < MK_Count) ? m_keys[i] : nullptr;
}
