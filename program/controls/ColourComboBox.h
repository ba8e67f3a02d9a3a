#pragma once
// The action picker: a drop-down-list combo whose items are actions, each
// with a display name, an action code and its own action record (keys,
// program, chords, timed clicks of the slot). It supplies the item texts
// (showing the record's data), the group information for the list's
// separators and shading, and type-ahead selection by typed prefix.

#include <windows.h>

#include <list>
#include <memory>
#include <string>

#include "VComboBox.h"

class CActionData;
class CLangSupport;

struct ColourComboItem
{
    std::wstring text;
    int action = 0;
};

class CColourComboBox : public CVComboBox
{
public:
    explicit CColourComboBox(CLangSupport* language);
    ~CColourComboBox() override;

    int AddItem(const ColourComboItem& item);
    int AddActionItem(const ColourComboItem& item, const wchar_t* displayText);
    int FindItemText(const wchar_t* text) const;
    int FindItemPrefix(int start, const wchar_t* prefix) const;
    // Takes ownership of data when the index exists (returns the index); else
    // returns -1 and leaves data to the caller.
    int SetItemActionData(int index, CActionData* data);
    void ClearActionData();
    // Selects the first item with the action (and updates the shown text);
    // its index, or -1. No selection-change notification.
    int SelectAction(int action);
    // Removes every item and tells the list.
    void RemoveAllItems();
    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    int GetItemAction(int index) const;
    // Tells the list the item count.
    void UpdateCount();

    std::wstring GetItemText(int index) override;
    CActionData* GetItemData(int index, bool& startsGroup) override;
    CActionData* GetItemActionData(int index) override;
    void OnDrawText(HDC dc, const RECT& rect, const wchar_t* text) override;

    // Background of the closed control (a highlight while a button is pressed).
    void SetBackgroundColour(COLORREF colour);
    COLORREF GetBackgroundColour() const { return m_background; }

    // Set by the owner: while 0 the list shows no separators and no shading.
    BYTE ShowGroups = 0;

    // The type-ahead clock; a test may replace it.
    using TickSource = DWORD (*)();
    void SetTickSource(TickSource source) { m_ticks = source; }

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    struct Item
    {
        std::wstring text;
        int action = 0;
        std::unique_ptr<CActionData> data;
    };
    const Item* ItemAt(int index) const;
    Item* ItemAt(int index);
    std::wstring BuildItemText(const Item& item);
    std::wstring ChordDetail(const CActionData& data);
    void OnChar(wchar_t c);

    std::list<Item> m_items;
    COLORREF m_background;
    std::wstring m_typeAhead;
    CLangSupport* m_language;
    TickSource m_ticks = &::GetTickCount;
};
