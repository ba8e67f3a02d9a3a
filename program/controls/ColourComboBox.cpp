#include "ColourComboBox.h"

#include <cwctype>

#include "ActionData.h"
#include "ActionList.h"
#include "CaughtException.h"
#include "Chords.h"
#include "Handles.h"
#include "LangSupport.h"
#include "StringFormat.h"
#include "TimedClicks.h"

namespace
{
constexpr DWORD kTypeAheadPause = 500;

const wchar_t* const kKeyActionNames[] = {
    L"(pressed)",     L"(released)",       L"(during)",      L"(thread-down)",        L"(thread-up)",
    L"(repeat)",      L"(sticky repeat)",  L"(sticky hold)", L"(pressed & released)",
};

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

const wchar_t* OrEmpty(const wchar_t* text) { return text != nullptr ? text : L""; }
bool HasText(const wchar_t* text) { return text != nullptr && *text != 0; }
}

CColourComboBox::CColourComboBox(CLangSupport* language)
    : m_background(::GetSysColor(COLOR_WINDOW)), m_language(language)
{
}

CColourComboBox::~CColourComboBox()
{
    CLangSupport::Release(m_language);
    m_typeAhead.clear();
    m_items.clear();
    DestroyWindow();
}

int CColourComboBox::AddItem(const ColourComboItem& item)
{
    return AddActionItem(item, item.text.c_str());
}

int CColourComboBox::AddActionItem(const ColourComboItem& item, const wchar_t* displayText)
{
    Item added;
    added.text = OrEmpty(displayText);
    added.action = item.action;
    added.data.reset(CActionData::NewAction(item.action));
    m_items.push_back(std::move(added));
    return static_cast<int>(m_items.size()) - 1;
}

const CColourComboBox::Item* CColourComboBox::ItemAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        return nullptr;
    auto it = m_items.begin();
    std::advance(it, index);
    return &*it;
}

CColourComboBox::Item* CColourComboBox::ItemAt(int index)
{
    return const_cast<Item*>(static_cast<const CColourComboBox*>(this)->ItemAt(index));
}

int CColourComboBox::GetItemAction(int index) const
{
    const Item* item = ItemAt(index);
    return item != nullptr ? item->action : -1;
}

int CColourComboBox::FindItemText(const wchar_t* text) const
{
    int index = 0;
    for (const Item& item : m_items)
    {
        if (item.text == OrEmpty(text))
            return index;
        ++index;
    }
    return -1;
}

int CColourComboBox::FindItemPrefix(int start, const wchar_t* prefix) const
{
    const std::wstring wanted = Lower(OrEmpty(prefix));
    int index = 0;
    for (const Item& item : m_items)
    {
        if (index >= start && Lower(item.text).compare(0, wanted.size(), wanted) == 0)
            return index;
        ++index;
    }
    return -1;
}

int CColourComboBox::SetItemActionData(int index, CActionData* data)
{
    Item* item = ItemAt(index);
    if (item == nullptr)
        return -1;
    item->data.reset(data);
    return index;
}

void CColourComboBox::ClearActionData()
{
    for (Item& item : m_items)
        if (item.data)
            item.data->Clear();
}

int CColourComboBox::SelectAction(int action)
{
    int index = 0;
    for (const Item& item : m_items)
    {
        if (item.action == action)
        {
            SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(index));
            return index;
        }
        ++index;
    }
    return -1;
}

void CColourComboBox::RemoveAllItems()
{
    if (IsWindow())
        SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(-1));
    m_items.clear();
    UpdateCount();
}

void CColourComboBox::UpdateCount()
{
    if (IsWindow())
        SendMessage(VCB_SETCOUNT, static_cast<WPARAM>(m_items.size()));
}

std::wstring CColourComboBox::GetItemText(int index)
{
    try
    {
        const Item* item = ItemAt(index);
        if (item == nullptr)
            return L"#Invalid Item";
        return BuildItemText(*item);
    }
    catch (...)
    {
        LogCaughtException(L"ColourCombo::GetItemText");
        return FormatString(L"#Error Item %d", index);
    }
}

std::wstring CColourComboBox::BuildItemText(const Item& item)
{
    if (!item.data)
        return item.text;
    const CActionData& data = *item.data;
    const wchar_t* text = item.text.c_str();
    switch (data.Action())
    {
    case ACTION_SIMULATED_KEYS:
    {
        if (HasText(data.GetDescription()))
            return FormatString(L"%s: %s", text, data.GetDescription());
        if (!HasText(data.GetKeys()))
            return FormatString(L"%s: %s", text, LookupText(m_language, std::wstring(L"(undefined)")).c_str());
        const int keyAction = data.KeyAction();
        if (keyAction >= 0 && keyAction < static_cast<int>(std::size(kKeyActionNames)))
        {
            const std::wstring name = LookupText(m_language, std::wstring(kKeyActionNames[keyAction]));
            if (!name.empty())
                return FormatString(L"%s: %s[%s]", text, name.c_str(), data.GetKeys());
        }
        return FormatString(L"%s: ??? [%s]", text, data.GetKeys());
    }
    case ACTION_RUN_APPLICATION:
    case ACTION_OPEN_FOLDER:
        if (HasText(data.GetApplication()))
            return FormatString(L"%s: [%s]", text, data.GetApplication());
        return item.text;
    case ACTION_BUTTON_CHORDING:
        if (data.GetChords() == nullptr)
            return FormatString(L"%s: %s", text, LookupText(m_language, std::wstring(L"(undefined)")).c_str());
        if (HasText(data.GetChords()->GetDescription()))
            return FormatString(L"%s: %s", text, data.GetChords()->GetDescription());
    {
        const std::wstring detail = ChordDetail(data);
        return detail.empty() ? item.text : FormatString(L"%s: %s", text, detail.c_str());
    }
    case ACTION_BUTTON_HELD:
        if (data.GetTimedClicks() == nullptr)
            return FormatString(L"%s: %s", text, LookupText(m_language, std::wstring(L"(undefined)")).c_str());
        if (HasText(data.GetTimedClicks()->GetDescription()))
            return FormatString(L"%s: %s", text, data.GetTimedClicks()->GetDescription());
        return FormatString(L"%s: %s", text, LookupText(m_language, std::wstring(L"(custom)")).c_str());
    default:
        return item.text;
    }
}

// The chord entry of the button this picker stands for, without the item's
// own text, which the caller puts before it once; empty when there is none.
std::wstring CColourComboBox::ChordDetail(const CActionData& data)
{
    const int button = GetDlgCtrlID() - 1001;
    const CBRMPChord* chord = data.GetChords()->GetChord(button);
    if (chord == nullptr)
        return std::wstring();
    int action = chord->GetAction();
    if (action < 0 || action >= ActionCount)
        action = ACTION_NO_CHANGE;
    const std::wstring name = GetActionName(m_language, action);
    if (action == ACTION_SIMULATED_KEYS)
    {
        std::unique_ptr<CActionData> entry(chord->GetActionData());
        if (entry && HasText(entry->GetDescription()))
            return FormatString(L"(%s[%s])", name.c_str(), entry->GetDescription());
        const int keyAction = chord->SendKeyAction();
        const std::wstring mode = keyAction >= 0 && keyAction < static_cast<int>(std::size(kKeyActionNames))
                                      ? LookupText(m_language, std::wstring(kKeyActionNames[keyAction]))
                                      : std::wstring(L"???");
        return FormatString(L"(%s[%s])", mode.c_str(), chord->GetKeys() != nullptr ? chord->GetKeys() : L"<null>");
    }
    if ((action == ACTION_RUN_APPLICATION || action == ACTION_OPEN_FOLDER) && HasText(chord->GetLaunchApp()))
        return FormatString(L"(%s: [%s])", name.c_str(), chord->GetLaunchApp());
    return name;
}

CActionData* CColourComboBox::GetItemData(int index, bool& startsGroup)
{
    startsGroup = false;
    if (ShowGroups == 0 || m_items.empty())
        return nullptr;
    int position = 0;
    int previous = -2;
    for (Item& item : m_items)
    {
        const int category = GetActionCategory(item.action);
        const bool starts = position == 0 || category != previous;
        if (position == index)
        {
            startsGroup = starts;
            return item.data.get();
        }
        previous = category;
        ++position;
    }
    return nullptr;
}

CActionData* CColourComboBox::GetItemActionData(int index)
{
    Item* item = ItemAt(index);
    return item != nullptr ? item->data.get() : nullptr;
}

void CColourComboBox::SetBackgroundColour(COLORREF colour)
{
    m_background = colour;
    if (IsWindow())
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CColourComboBox::OnDrawText(HDC dc, const RECT& rect, const wchar_t* text)
{
    if (m_background == ::GetSysColor(COLOR_WINDOW))
    {
        CVComboBox::OnDrawText(dc, rect, text);
        return;
    }
    const SelectedObject selectedFont(dc, GetFont() != nullptr ? GetFont() : ::GetStockObject(DEFAULT_GUI_FONT));
    // The control paints into a fresh buffer: the face and the arrow come
    // first, the highlight colour only behind the text.
    DrawClosedFace(dc);
    const UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(m_background));
    ::FillRect(dc, &rect, brush.Get());
    DrawClosedFocus(dc, rect);
    const COLORREF oldBack = ::SetBkColor(dc, m_background);
    const COLORREF oldText =
        ::SetTextColor(dc, ::GetSysColor(::IsWindowEnabled(m_hWnd) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    RECT area = rect;
    ::DrawTextW(dc, text, -1, &area, DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | DT_SINGLELINE);
    ::SetTextColor(dc, oldText);
    ::SetBkColor(dc, oldBack);
}

bool CColourComboBox::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_CHAR)
    {
        if (GetMode() == 2)
            OnChar(static_cast<wchar_t>(wParam));
        *result = 0;
        return true;
    }
    return CVComboBox::OnWndMsg(message, wParam, lParam, result);
}

void CColourComboBox::OnChar(wchar_t c)
{
    const DWORD now = m_ticks();
    if (now - m_lastTypeAhead > kTypeAheadPause)
        m_typeAhead.clear();
    if (c == 8)
    {
        if (!m_typeAhead.empty())
            m_typeAhead.pop_back();
    }
    else if (c == L' ')
    {
        SendMessage(VCB_SHOWDROPDOWN, 1);
    }
    else if (c < 32)
    {
        m_typeAhead.clear();
    }
    else
    {
        m_typeAhead += c;
    }
    if (!m_typeAhead.empty())
    {
        const int selection = GetCurSel();
        int found = FindItemPrefix(selection + 1, m_typeAhead.c_str());
        if (found < 0)
            found = FindItemPrefix(0, m_typeAhead.c_str());
        if (found >= 0)
        {
            SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(found));
            Notify(VCBN_SELCHANGE);
        }
    }
    m_lastTypeAhead = now;
}
