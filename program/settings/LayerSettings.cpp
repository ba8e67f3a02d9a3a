#include "LayerSettings.h"

#include <commctrl.h>

#include <iterator>

#include "DataExchange.h"
#include "GlobalSettingsIds.h"
#include "Hotkeys.h"
#include "LangSupport.h"
#include "WindowTranslation.h"

namespace
{
struct ModifierEntry
{
    const wchar_t* text;
    unsigned short modifier;
};

// The combinations a modifier key can have, in list order.
constexpr ModifierEntry kModifierEntries[] = {
    {L"None", 0},
    {L"Shift", HOTKEY_MOD_SHIFT},
    {L"Control", HOTKEY_MOD_CTRL},
    {L"Alt", HOTKEY_MOD_ALT},
    {L"Shift + Control", HOTKEY_MOD_SHIFT | HOTKEY_MOD_CTRL},
    {L"Shift + Alt", HOTKEY_MOD_SHIFT | HOTKEY_MOD_ALT},
    {L"Shift + Control + Alt", HOTKEY_MOD_SHIFT | HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT},
    {L"Control + Alt", HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT},
    {L"Left Windows Key", HOTKEY_MOD_LWIN},
    {L"Left Windows + Shift", HOTKEY_MOD_LWIN | HOTKEY_MOD_SHIFT},
    {L"Left Windows + Control", HOTKEY_MOD_LWIN | HOTKEY_MOD_CTRL},
    {L"Left Windows + Alt", HOTKEY_MOD_LWIN | HOTKEY_MOD_ALT},
    {L"Right Windows Key", HOTKEY_MOD_RWIN},
    {L"Right Windows + Shift", HOTKEY_MOD_RWIN | HOTKEY_MOD_SHIFT},
    {L"Right Windows + Control", HOTKEY_MOD_RWIN | HOTKEY_MOD_CTRL},
    {L"Right Windows + Alt", HOTKEY_MOD_RWIN | HOTKEY_MOD_ALT},
    {L"App Menu Key", HOTKEY_MOD_APPS},
    {L"App Menu + Shift", HOTKEY_MOD_APPS | HOTKEY_MOD_SHIFT},
    {L"App Menu + Control", HOTKEY_MOD_APPS | HOTKEY_MOD_CTRL},
    {L"App Menu + Alt", HOTKEY_MOD_APPS | HOTKEY_MOD_ALT},
    {L"App Menu + Right Windows", HOTKEY_MOD_APPS | HOTKEY_MOD_RWIN},
};

// Every combination that includes Shift, Control or Alt: the hotkey
// control of a modifier key takes a plain key only.
constexpr WPARAM kModifiedCombinations =
    HKCOMB_S | HKCOMB_C | HKCOMB_A | HKCOMB_SC | HKCOMB_SA | HKCOMB_CA | HKCOMB_SCA;
}

int ModifierListPosition(unsigned short modifier)
{
    const unsigned short plain = modifier & static_cast<unsigned short>(~HOTKEY_EXTENDED);
    for (int position = 0; position < static_cast<int>(std::size(kModifierEntries)); ++position)
    {
        if (kModifierEntries[position].modifier == plain)
            return position;
    }
    return -1;
}

CModifierTabs::CModifierTabs(UINT templateId) : CTabPageSSL(templateId), m_language(LangSupport())
{
    m_note.m_alignment = DT_BOTTOM;
}

CModifierTabs::~CModifierTabs()
{
    CLangSupport::Release(m_language);
}

bool CModifierTabs::Create(CLayerModifierKeys* table, int* changed, CWindow* parent)
{
    m_table = table;
    m_changed = changed;
    m_keyFields.clear();
    m_shownKeys.clear();
    m_shownLists.clear();
    if (!CTabPageSSL::Create(parent))
        return false;
    if (GetDlgItem(IDC_MK_TAB_NOTE) != nullptr)
        m_note.SubclassDlgItem(IDC_MK_TAB_NOTE, m_hWnd);
    for (int index = 0; index <= MK_Count; ++index)
    {
        const HWND list = GetDlgItem(IDC_MODIFIER_LIST_FIRST + index);
        if (list == nullptr)
            continue;
        for (const ModifierEntry& entry : kModifierEntries)
        {
            const std::wstring text = LookupText(m_language, std::wstring(entry.text));
            const auto position = ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            if (position >= 0)
                ::SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(position), entry.modifier);
        }
    }
    for (int index = 0; index < MK_Count && m_table != nullptr; ++index)
    {
        const CHotkey* key = m_table->GetHotkey(static_cast<ModifierKeys>(index));
        const HWND control = GetDlgItem(IDC_HOTKEY_FIRST + index);
        const HWND list = GetDlgItem(IDC_MODIFIER_LIST_FIRST + index);
        if (key == nullptr || control == nullptr)
            continue;
        m_keyFields[index].SubclassWindow(control);
        ::SendMessageW(control, HKM_SETRULES, kModifiedCombinations, 0);
        const WORD flags = key->IsExtended() ? HOTKEYF_EXT : 0;
        ::SendMessageW(control, HKM_SETHOTKEY, MAKEWORD(key->GetVirtualKey() & 0xFF, flags), 0);
        m_shownKeys[index].Showing(HotkeyValue(m_keyFields, index, control));
        if (list == nullptr)
            continue;
        ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(ModifierListPosition(key->GetModifier())), 0);
        m_shownLists[index].Showing(::SendMessageW(list, CB_GETCURSEL, 0, 0));
    }
    TranslateWindowTexts(m_language, m_hWnd);
    return true;
}

void CModifierTabs::Store()
{
    if (m_table == nullptr || m_hWnd == nullptr)
        return;
    for (int index = 0; index < MK_Count; ++index)
    {
        CHotkey* key = m_table->GetHotkey(static_cast<ModifierKeys>(index));
        const HWND control = GetDlgItem(IDC_HOTKEY_FIRST + index);
        const HWND list = GetDlgItem(IDC_MODIFIER_LIST_FIRST + index);
        if (key == nullptr || control == nullptr || list == nullptr)
            continue;
        const LRESULT value = HotkeyValue(m_keyFields, index, control);
        const LRESULT position = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
        const bool keyEdited = m_shownKeys[index].StoreChange(value);
        const bool listEdited = m_shownLists[index].StoreChange(position);
        if (!keyEdited && !listEdited)
            continue;
        bool changed = false;
        // The extended flag belongs to the key, the other bits to the list.
        auto extended = static_cast<unsigned short>(key->GetModifier() & HOTKEY_EXTENDED);
        if (keyEdited)
        {
            changed = key->SetVirtualKey(LOBYTE(value)) != 0;
            extended = (HIBYTE(value) & HOTKEYF_EXT) != 0 ? HOTKEY_EXTENDED : 0;
        }
        auto combination = static_cast<unsigned short>(key->GetModifier() & ~HOTKEY_EXTENDED);
        if (listEdited)
            combination = static_cast<unsigned short>(
                position >= 0 ? ::SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(position), 0) : 0);
        changed = key->SetModifier(static_cast<unsigned short>(combination | extended)) != 0 || changed;
        if (changed && m_changed != nullptr)
            *m_changed = 1;
    }
}

CLayerSettings::CLayerSettings()
    : CSettingsPage(IDD_MODIFIER_SETTINGS), m_layerTab(IDD_MODIFIER_LAYER_TAB), m_otherTab(IDD_MODIFIER_OTHER_TAB)
{
    m_explanation.m_alignment = DT_VCENTER;
}

void CLayerSettings::DoDataExchange(CDataExchange& dx)
{
    ExchangeCheck(dx, IDC_MK_ENABLE, m_enable);
}

BOOL CLayerSettings::OnInitDialog()
{
    CSettingsPage::OnInitDialog();
    m_explanation.SubclassDlgItem(IDC_MK_EXPLANATION, m_hWnd);
    m_tabs.SubclassDlgItem(IDC_MK_TABS, m_hWnd);
    if (m_layerTab.Create(m_table, m_changed, this))
        m_tabs.AddPage(LookupText(m_language, std::wstring(L"Layer Modifiers")).c_str(), 0, {&m_layerTab, 0});
    if (m_otherTab.Create(m_table, m_changed, this))
        m_tabs.AddPage(LookupText(m_language, std::wstring(L"Other Modifiers")).c_str(), 1, {&m_otherTab, 0});
    m_tabs.ResizePages();
    m_tabs.ActivatePage(0);
    TranslateTexts();
    return TRUE;
}

void CLayerSettings::OnOK()
{
    m_layerTab.Store();
    m_otherTab.Store();
    m_tabs.RemoveAllPages();
}

void CLayerSettings::OnCancel()
{
    m_tabs.RemoveAllPages();
}
