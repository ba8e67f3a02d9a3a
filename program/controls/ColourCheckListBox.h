#pragma once
// The profile list of the settings dialog: a check list whose check boxes
// enable and disable profiles, with one entry marked in colour as the profile
// the engine applies right now, type-ahead search, entry 0 (the default
// profile) that can never be unchecked, and the profile context menu.
//
// Every check change made by the user is sent to the parent as
// BRMP_OnCheckBoxChnaged (wParam = (kCheckChangeCode << 16) | control id,
// lParam = entry index). Item data belongs to the owner; the list never reads it.

#include <windows.h>

#include <functional>
#include <string>

#include "CheckListBox.h"

class CLangSupport;

class CColourCheckListBox : public CCheckListBox
{
public:
    // The check list's check-change notification code.
    static constexpr int kCheckChangeCode = 40;
    static constexpr DWORD kTypeAheadResetMs = 500;

    CColourCheckListBox();
    ~CColourCheckListBox() override;

    // Item height and colours; call once the window is bound.
    void InitColours();
    // Marks the entry of the active profile (-1: none) and repaints the old
    // and the new entry; the same index again changes nothing.
    void SetMarkedItem(int index, bool enabled);
    int GetMarkedItem() const { return m_markedItem; }
    bool GetMarkedEnabled() const { return m_markedEnabled != 0; }

    // Where type-ahead takes the time (milliseconds); GetTickCount unless set.
    void SetTickSource(std::function<DWORD()> source) { m_tickSource = std::move(source); }

    // The registered message sent on every check change.
    static UINT CheckChangedMessage();

    // The text drawn for an entry of width pixels: the whole text when it fits,
    // else the longest of its shortened forms (at least 11 characters and an
    // ellipsis) that fits, else the shortest of them; texts of 14 characters
    // or fewer are never shortened. measure gives the width of a text.
    template <class Measure>
    static std::wstring FitText(const std::wstring& text, int width, Measure measure);

protected:
    bool DrawItem(DRAWITEMSTRUCT* item) override;

private:
    LRESULT OnContextMenu(WPARAM wParam, LPARAM lParam);
    // Where a menu asked for from the keyboard opens, in client coordinates.
    POINT MenuPointOfSelection() const;
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDblClk(WPARAM wParam, LPARAM lParam);
    LRESULT OnChar(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    LRESULT ToggleCheckAt(LPARAM lParam, int checkRight);
    void NotifyCheckChanged(int index);

    int m_markedItem = -1;
    BYTE m_markedEnabled = 0;
    CLangSupport* m_language;
    std::wstring m_typeAhead;
    int m_lastKeyTime = 0;
    std::function<DWORD()> m_tickSource;
    COLORREF m_textColour = 0;
    COLORREF m_selectedTextColour = 0;
    COLORREF m_selectedBackground = 0;
    COLORREF m_background = 0;
    COLORREF m_markedSelectedEnabled = 0x88FFFF;
    COLORREF m_markedSelectedDisabled = 0xD7E0FF;
    COLORREF m_markedEnabledColour = RGB(249, 0, 0);
    COLORREF m_markedDisabledColour = RGB(128, 0, 0);
};

template <class Measure>
std::wstring CColourCheckListBox::FitText(const std::wstring& text, int width, Measure measure)
{
    if (measure(text) <= width)
        return text;
    const auto trim = [](std::wstring part) {
        const size_t first = part.find_first_not_of(L" \t\r\n");
        if (first == std::wstring::npos)
            return std::wstring();
        const size_t last = part.find_last_not_of(L" \t\r\n");
        return part.substr(first, last - first + 1);
    };
    // Without a fit the shortest form is drawn (clipped).
    std::wstring shortest = text;
    for (int n = static_cast<int>(text.size()) - 4; n > 10; --n)
    {
        shortest = trim(text.substr(0, static_cast<size_t>(n))) + L"\u2026";
        if (measure(shortest) <= width)
            break;
    }
    return shortest;
}
