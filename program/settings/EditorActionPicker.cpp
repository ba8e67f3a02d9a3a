#include "EditorActionPicker.h"

#include "ActionData.h"

CEditorActionPicker::CEditorActionPicker()
{
    BindMessage(WM_MOUSEWHEEL, &CEditorActionPicker::OnMouseWheel);
    BindMessage(WM_KEYDOWN, &CEditorActionPicker::OnKeyDown);
}

CEditorActionPicker::~CEditorActionPicker() = default;

bool CEditorActionPicker::Attach(HWND dialog, int id)
{
    return SubclassDlgItem(id, dialog);
}

void CEditorActionPicker::Clear()
{
    SendMessage(CB_RESETCONTENT);
    m_items.clear();
}

int CEditorActionPicker::AddItem(const std::wstring& text, int action)
{
    m_items.push_back({text, action, std::unique_ptr<CActionData>(CActionData::NewAction(action))});
    SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return GetCount() - 1;
}

int CEditorActionPicker::GetCurSel() const
{
    const LRESULT index = SendMessage(CB_GETCURSEL);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void CEditorActionPicker::SetCurSel(int index)
{
    SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index));
}

int CEditorActionPicker::SelectAction(int action)
{
    for (int i = 0; i < GetCount(); ++i)
    {
        if (m_items[static_cast<std::size_t>(i)].action == action)
        {
            SetCurSel(i);
            return i;
        }
    }
    return -1;
}

int CEditorActionPicker::FindItemText(const std::wstring& text) const
{
    for (int i = 0; i < GetCount(); ++i)
    {
        if (m_items[static_cast<std::size_t>(i)].text == text)
            return i;
    }
    return -1;
}

int CEditorActionPicker::GetItemAction(int index) const
{
    return index >= 0 && index < GetCount() ? m_items[static_cast<std::size_t>(index)].action : -1;
}

CActionData* CEditorActionPicker::GetItemActionData(int index) const
{
    return index >= 0 && index < GetCount() ? m_items[static_cast<std::size_t>(index)].data.get() : nullptr;
}

int CEditorActionPicker::SetItemActionData(int index, CActionData* record)
{
    if (index < 0 || index >= GetCount())
        return -1;
    m_items[static_cast<std::size_t>(index)].data.reset(record);
    return index;
}

void CEditorActionPicker::ClearActionData()
{
    for (Item& item : m_items)
    {
        if (item.data)
            item.data->Clear();
    }
}

LRESULT CEditorActionPicker::OnMouseWheel(WPARAM, LPARAM)
{
    // A closed list under a running sub-editor keeps its selection.
    if (WheelLocked && SendMessage(CB_GETDROPPEDSTATE) == 0)
        return 0;
    ChangingByWheel = true;
    const LRESULT result = Default();
    ChangingByWheel = false;
    return result;
}

LRESULT CEditorActionPicker::OnKeyDown(WPARAM wParam, LPARAM)
{
    const bool arrow = wParam == VK_UP || wParam == VK_DOWN;
    if (arrow)
        ChangingByArrowKey = true;
    const LRESULT result = Default();
    if (arrow)
        ChangingByArrowKey = false;
    return result;
}
