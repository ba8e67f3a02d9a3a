#pragma once
// The action picker of one row of the chord, timed-click and movement-to-scroll
// editors: a drop-down list of actions, each item owning the action record it
// stands for (keys, program, options), created in place of the template's
// control of that id. It tells its owner whether the wheel or an arrow key changed the
// selection, and ignores the wheel while a sub-editor runs (WheelLocked).

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Window.h"

class CActionData;

class CEditorActionPicker : public CWindow
{
public:
    CEditorActionPicker();
    ~CEditorActionPicker() override;

    // Binds the dialog's control id; false when there is none.
    bool Attach(HWND dialog, int id);

    void Clear();
    // Appends an item with a new default record of its action; returns its index.
    int AddItem(const std::wstring& text, int action);
    int GetCount() const { return static_cast<int>(m_items.size()); }
    int GetCurSel() const;
    void SetCurSel(int index);
    // Selects the first item of the action (no notification); its index or -1.
    int SelectAction(int action);
    int FindItemText(const std::wstring& text) const;
    int GetItemAction(int index) const;
    // The item's record (owned by the item), or null past the end.
    CActionData* GetItemActionData(int index) const;
    // The item takes the record; -1 (record not taken) past the end.
    int SetItemActionData(int index, CActionData* record);
    // Clears every item's record (the action codes stay).
    void ClearActionData();

    bool WheelLocked = false;
    bool ChangingByWheel = false;
    bool ChangingByArrowKey = false;

private:
    LRESULT OnMouseWheel(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);

    struct Item
    {
        std::wstring text;
        int action;
        std::unique_ptr<CActionData> data;
    };
    std::vector<Item> m_items;
};
