#include "SettingsPage.h"

#include <commctrl.h>

#include "AppTexts.h"
#include "DataExchange.h"
#include "GlobalSettingsIds.h"
#include "LangSupport.h"
#include "MessageBox.h"
#include "WindowTranslation.h"

namespace
{
// A label's text as the user reads it: the mnemonic marks dropped.
std::wstring LabelText(HWND label)
{
    const std::wstring text = label != nullptr ? ReadWindowText(label) : std::wstring();
    std::wstring shown;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == L'&' && i + 1 < text.size())
            ++i;
        shown.push_back(text[i]);
    }
    return shown;
}
}

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

void CSettingsPage::SetSpinRange(int id, int low, int high)
{
    if (const HWND spin = GetDlgItem(id))
        ::SendMessageW(spin, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

int CSettingsPage::Ask(const std::wstring& text, UINT type)
{
    const HWND owner = GetParent() != nullptr ? GetParent() : m_hWnd;
    return ShowMessageBox(text, type, owner);
}

void CSettingsPage::ExchangeNumberField(CDataExchange& dx, int id, int& value, int minimum, int maximum, int groupLabel)
{
    const HWND field = GetDlgItem(id);
    CShownValue<std::wstring>& shown = m_shownNumbers[id];
    if (!dx.IsSaving())
    {
        ExchangeInt(dx, id, value);
        shown.Showing(ReadWindowText(field));
        return;
    }
    if (field != nullptr && (!::IsWindowEnabled(field) || !shown.Changed(ReadWindowText(field))))
        return;
    std::wstring name = LabelText(::GetWindow(field, GW_HWNDPREV));
    if (groupLabel != 0)
        name = LabelText(GetDlgItem(groupLabel)) + L" " + name;
    dx.NameControl(id, name);
    int read = value;
    ExchangeInt(dx, id, read);
    ValidateRange(dx, read, minimum, maximum);
    value = read;
    shown.Showing(ReadWindowText(field));
}
