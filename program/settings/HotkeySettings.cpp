#include "HotkeySettings.h"

#include <commctrl.h>

#include "DataExchange.h"
#include "GlobalSettingsIds.h"
#include "HotkeyDispatch.h"
#include "Hotkeys.h"
#include "LangSupport.h"
#include "MessageBox.h"
#include "WindowTranslation.h"

namespace
{
// The key the system keeps for its debugger: a hotkey control value of F12
// without a modifier.
constexpr LRESULT kReservedKey = VK_F12;
}

CHotkeyTabs::CHotkeyTabs(UINT templateId) : CTabPageSSL(templateId), m_language(LangSupport())
{
}

CHotkeyTabs::~CHotkeyTabs()
{
    CLangSupport::Release(m_language);
}

bool CHotkeyTabs::Create(CHotKeys* table, int* changed, CWindow* parent)
{
    m_table = table;
    m_changed = changed;
    m_fields.clear();
    m_shown.clear();
    if (!CTabPageSSL::Create(parent))
        return false;
    for (int index = 0; index < HK_Count && m_table != nullptr; ++index)
    {
        const CHotkey* key = m_table->GetHotkey(static_cast<GlobalHotkeys>(index));
        const HWND control = GetDlgItem(IDC_HOTKEY_FIRST + index);
        if (key == nullptr || control == nullptr)
            continue;
        m_fields[index].SubclassWindow(control);
        ::SendMessageW(control, HKM_SETHOTKEY, key->GetHotkey(), 0);
        m_shown[index].Showing(HotkeyValue(m_fields, index, control));
    }
    TranslateWindowTexts(m_language, m_hWnd);
    return true;
}

HWND CHotkeyTabs::FindReservedKey() const
{
    for (int index = 0; index < HK_Count; ++index)
    {
        const HWND control = GetDlgItem(IDC_HOTKEY_FIRST + index);
        if (control == nullptr)
            continue;
        const LRESULT value = HotkeyValue(m_fields, index, control);
        const CHotkey* key = m_table != nullptr ? m_table->GetHotkey(static_cast<GlobalHotkeys>(index)) : nullptr;
        const auto shown = m_shown.find(index);
        const bool reserved = key != nullptr && shown != m_shown.end() && !shown->second.Changed(value)
                                  ? key->GetVirtualKey() == VK_F12 && HotkeyModifiersToRegister(key->GetModifier()) == 0
                                  : value == kReservedKey;
        if (reserved)
            return control;
    }
    return nullptr;
}

void CHotkeyTabs::Store()
{
    if (m_table == nullptr || m_hWnd == nullptr)
        return;
    for (int index = 0; index < HK_Count; ++index)
    {
        CHotkey* key = m_table->GetHotkey(static_cast<GlobalHotkeys>(index));
        const HWND control = GetDlgItem(IDC_HOTKEY_FIRST + index);
        if (key == nullptr || control == nullptr)
            continue;
        const LRESULT value = HotkeyValue(m_fields, index, control);
        if (!m_shown[index].StoreChange(value))
            continue;
        if (key->SetHotkey(static_cast<unsigned long>(value)) != 0 && m_changed != nullptr)
            *m_changed = 1;
    }
}

CHotkeySettings::CHotkeySettings()
    : CSettingsPage(IDD_HOTKEY_SETTINGS), m_layerTab(IDD_HOTKEY_LAYER_TAB), m_otherTab(IDD_HOTKEY_OTHER_TAB)
{
}

void CHotkeySettings::DoDataExchange(CDataExchange& dx)
{
    ExchangeCheck(dx, IDC_HK_ENABLE, m_enable);
}

BOOL CHotkeySettings::OnInitDialog()
{
    CSettingsPage::OnInitDialog();
    m_tabs.SubclassDlgItem(IDC_HK_TABS, m_hWnd);
    if (m_layerTab.Create(m_table, m_changed, this))
        m_tabs.AddPage(LookupText(m_language, std::wstring(L"Layer Hotkeys")).c_str(), 0, {&m_layerTab, 0});
    if (m_otherTab.Create(m_table, m_changed, this))
        m_tabs.AddPage(LookupText(m_language, std::wstring(L"Other Hotkeys")).c_str(), 1, {&m_otherTab, 0});
    m_tabs.ResizePages();
    m_tabs.ActivatePage(0);
    TranslateTexts();
    return TRUE;
}

bool CHotkeySettings::RefuseReservedKey()
{
    CHotkeyTabs* tabs[] = {&m_layerTab, &m_otherTab};
    for (int i = 0; i < 2; ++i)
    {
        const HWND control = tabs[i]->GetSafeHwnd() != nullptr ? tabs[i]->FindReservedKey() : nullptr;
        if (control == nullptr)
            continue;
        m_tabs.ActivatePage(i);
        ShowMessageBox(LookupText(m_language, std::wstring(L"F12 can not be used as a hotkey on its own as this is "
                                                           L"reserved by Windows.")),
                       MB_OK | MB_ICONWARNING, tabs[i]->GetSafeHwnd(),
                       LookupText(m_language, std::wstring(L"Global Hotkeys")).c_str());
        ::SetFocus(control);
        return true;
    }
    return false;
}

BOOL CHotkeySettings::OnKillActive()
{
    if (!CSettingsPage::OnKillActive())
        return FALSE;
    return RefuseReservedKey() ? FALSE : TRUE;
}

BOOL CHotkeySettings::OnApply()
{
    // Nothing is stored while a key is refused: the sheet stays open.
    if (RefuseReservedKey())
    {
        if (CPropertySheet* sheet = GetSheet())
            sheet->SetActivePage(this);
        return FALSE;
    }
    m_layerTab.Store();
    m_otherTab.Store();
    m_tabs.RemoveAllPages();
    return TRUE;
}

void CHotkeySettings::OnCancel()
{
    m_tabs.RemoveAllPages();
}
