#pragma once
// A hotkey control that modifiers only passing through leave as it was. The
// control drops its key as soon as any key goes down in it, Shift too, and
// then shows "Shift + " with no key until one follows; so the Shift of
// Shift+Tab (or the Ctrl of Ctrl+Tab) would clear every field the focus
// leaves by it. Here modifiers that go down and come up again, or lose the
// focus, without a key leave the control holding the key it held before them.

#include <windows.h>

#include <map>

#include "Window.h"

class CHotkeyField : public CWindow
{
public:
    // The control's value (HKM_GETHOTKEY), except while modifiers without a
    // key are held in it: then the value it held before them.
    LRESULT Value() const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Ends modifiers held without a key: the control shows again what it held.
    void PutBack();

    bool m_modifiersOnly = false;
    LRESULT m_before = 0;
};

// The value of the hotkey control of that index: its field's when it has one.
LRESULT HotkeyValue(const std::map<int, CHotkeyField>& fields, int index, HWND control);
