#include "SettingsPage.h"

#include <commctrl.h>

#include "AppTexts.h"
#include "DataExchange.h"
#include "GlobalSettingsIds.h"
#include "LangSupport.h"
#include "MessageBox.h"
#include "WindowTranslation.h"

bool IsWheelForDisabledWindow(const MSG* msg)
{
    return msg != nullptr && (msg->message == WM_MOUSEWHEEL || msg->message == WM_MOUSEHWHEEL) &&
           msg->hwnd != nullptr && !::IsWindowEnabled(msg->hwnd);
}

CSettingsPage::CSettingsPage(UINT templateId) : CPropertyPage(templateId), m_language(LangSupport())
{
    m_psp.dwFlags &= ~static_cast<DWORD>(PSP_HASHELP);
    m_note.m_alignment = DT_BOTTOM;
}

CSettingsPage::~CSettingsPage()
{
    CLangSupport::Release(m_language);
}

BOOL CSettingsPage::PreTranslateMessage(MSG* msg)
{
    return IsWheelForDisabledWindow(msg) ? TRUE : CPropertyPage::PreTranslateMessage(msg);
}

BOOL CSettingsPage::OnInitDialog()
{
    const BOOL result = CPropertyPage::OnInitDialog();
    if (GetDlgItem(IDC_SETTINGS_NOTE) != nullptr)
        m_note.SubclassDlgItem(IDC_SETTINGS_NOTE, m_hWnd);
    return result;
}

void CSettingsPage::TranslateTexts()
{
    TranslateWindowTexts(m_language, m_hWnd);
}

bool CSettingsPage::IsChecked(int id) const
{
    return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CSettingsPage::EnableControls(std::initializer_list<int> ids, bool enable)
{
    for (const int id : ids)
    {
        if (const HWND control = GetDlgItem(id))
            ::EnableWindow(control, enable ? TRUE : FALSE);
    }
}

int CSettingsPage::Ask(const std::wstring& text, UINT type)
{
    const HWND owner = GetParent() != nullptr ? GetParent() : m_hWnd;
    return ShowMessageBox(text, type, owner);
}

void CSettingsPage::ExchangeNumberField(CDataExchange& dx, int id, int& value, int minimum, int maximum, int groupLabel)
{
    // The field's own label names it, after its group's where the group has one.
    std::wstring name;
    if (groupLabel != 0)
        name = LabelText(GetDlgItem(groupLabel)) + L" " + LabelText(::GetWindow(GetDlgItem(id), GW_HWNDPREV));
    m_numbers.Exchange(dx, id, value, minimum, maximum, name);
}
