// The settings dialog's profile list: entry 0 is the default profile, then
// every profile of the settings copy in matching order; each entry's data is
// its profile (owned by the copy). The list order is the profile order a save
// writes.

#include "SetupDialog.h"

#include "ApplicationSettings.h"
#include "LangSupport.h"
#include "Logger.h"
#include "WindowTranslation.h"
#include "MenuResource.h"
#include "Settings.h"
#include "resource.h"

namespace
{
std::wstring ShortNameOf(const CApplicationSettings* profile)
{
    wchar_t name[512] = {};
    if (profile == nullptr || profile->GetShortName(name, 512) < 0)
        return std::wstring();
    return name;
}

const wchar_t* kMatchTypeNames[] = {nullptr, L"Window", L"Parent Window", L"Window and Parent Window",
                                    L"Ancestor Window", L"Window and Ancestor Window"};
}

void CSetupDialog::InitProfileList()
{
    // The entries were filled by the load; nothing else to prepare for a plain list.
}

int CSetupDialog::AddProfileEntry(const std::wstring& text, CApplicationSettings* profile, bool)
{
    return m_profiles.AddString(text, reinterpret_cast<LPARAM>(profile));
}

void CSetupDialog::FillProfileList(CApplicationSettings* select)
{
    m_profiles.SendMessage(WM_SETREDRAW, FALSE);
    m_profiles.ResetContent();
    m_profiles.SendMessage(LB_INITSTORAGE, 256, 256 * 64);
    CApplicationSettings* defaultProfile = m_settings->GetDefaultApp();
    AddProfileEntry(LookupText(m_language, L"Default"), defaultProfile, true);
    int selected = select == defaultProfile ? 0 : -1;
    const int count = m_settings->GetApplicationCount();
    for (int i = 0; i < count; ++i)
    {
        CApplicationSettings* profile = m_settings->GetApplication(i);
        const int index = AddProfileEntry(ShortNameOf(profile), profile, profile != nullptr && profile->IsEnabled());
        if (profile != nullptr && profile == select)
            selected = index;
    }
    m_profiles.SetCurSel(selected);
    m_profiles.SendMessage(WM_SETREDRAW, TRUE);
    ::InvalidateRect(m_profiles.GetSafeHwnd(), nullptr, TRUE);
    ::UpdateWindow(m_profiles.GetSafeHwnd());
    PostMessage(::RegisterWindowMessageW(L"BRMPFixScrollBar"));
}

CApplicationSettings* CSetupDialog::ProfileAt(int index) const
{
    if (index < 0 || index >= m_profiles.GetCount())
        return nullptr;
    return reinterpret_cast<CApplicationSettings*>(m_profiles.GetItemData(index));
}

int CSetupDialog::ProfileCount() const
{
    return m_profiles.GetCount();
}

int CSetupDialog::SelectedEntry() const
{
    return m_profiles.GetSafeHwnd() != nullptr ? m_profiles.GetCurSel() : -1;
}

void CSetupDialog::SelectEntry(int index)
{
    m_profiles.SetCurSel(index);
}

void CSetupDialog::OnProfileSelChange()
{
    const int selected = SelectedEntry();
    const int last = ProfileCount() - 1;
    const auto enable = [this](int id, bool on) { ::EnableWindow(GetDlgItem(id), on); };
    if (selected < 0)
    {
        for (int id : {IDC_SETUP_EDIT, IDC_SETUP_COPY, IDC_SETUP_REMOVE, IDC_SETUP_UP, IDC_SETUP_DOWN})
            enable(id, false);
        return;
    }
    enable(IDC_SETUP_EDIT, selected != 0);
    enable(IDC_SETUP_REMOVE, selected != 0);
    enable(IDC_SETUP_EXPORT, selected != 0);
    enable(IDC_SETUP_COPY, true);
    enable(IDC_SETUP_UP, selected >= 2);
    enable(IDC_SETUP_DOWN, selected != 0 && selected != last);
    if (selected != m_lastSelection)
    {
        if (m_lastSelection >= 0)
            StoreTabs();
        m_lastSelection = selected;
        PopulateTabs();
    }
}

bool CSetupDialog::PopulateTabs()
{
    const int selected = SelectedEntry();
    if (selected < 0)
        return false;
    CApplicationSettings* profile = ProfileAt(selected);
    if (profile == nullptr)
    {
        CLogger::LogDebug(L"PopulateTabs: Unable to get Application settings for item %d", selected);
        return false;
    }
    ShowProfileInfo(profile);
    for (auto& page : m_layerTabs)
        if (page && page->Page().IsWindow())
            page->ShowProfile(profile);
    if (m_scrollingTab)
        m_scrollingTab->ShowProfile(profile);
    if (m_optionsTab)
        m_optionsTab->ShowProfile(profile);
    return true;
}

void CSetupDialog::ShowProfileInfo(CApplicationSettings* profile)
{
    const auto set = [this](int id, const std::wstring& text) { ::SetDlgItemTextW(m_hWnd, id, text.c_str()); };
    const auto orText = [this](const wchar_t* value, const wchar_t* fallback) {
        return value != nullptr && value[0] != L'\0' ? std::wstring(value) : LookupText(m_language, fallback);
    };
    if (profile == nullptr || profile->IsDefault() || SelectedEntry() <= 0)
    {
        set(IDC_SETUP_DESCRIPTION, LookupText(m_language, L"Default: All windows that do not match any profile."));
        const std::wstring all = LookupText(m_language, L"All");
        for (int id : {IDC_SETUP_CAPTION, IDC_SETUP_PROCESS, IDC_SETUP_CLASS, IDC_SETUP_PARENT_CLASS, IDC_SETUP_MATCH_TYPE})
            set(id, all);
        m_picture.ShowWindow(SW_HIDE);
        return;
    }
    set(IDC_SETUP_DESCRIPTION, orText(profile->GetDescription(), L"Not Defined"));
    set(IDC_SETUP_CAPTION, orText(profile->GetCaption(), L"Not Defined"));
    set(IDC_SETUP_PROCESS, orText(profile->GetApplication(), L"All"));
    set(IDC_SETUP_CLASS, orText(profile->GetClass(), L"All"));
    set(IDC_SETUP_PARENT_CLASS, orText(profile->GetParentClass(), L"All"));
    const bool window = profile->IsCustomWindow();
    if (window)
    {
        const int type = profile->GetMatchType();
        const bool named = type >= 1 && type <= 5;
        set(IDC_SETUP_MATCH_TYPE, named ? LookupText(m_language, kMatchTypeNames[type]) : std::to_wstring(type));
        m_picture.m_windowMask = profile->GetWindowMask();
        m_picture.m_useWindowArea = profile->GetUseWindowArea() ? 1 : 0;
        m_picture.ShowWindow(SW_SHOW);
        ::InvalidateRect(m_picture.GetSafeHwnd(), nullptr, TRUE);
    }
    else
    {
        set(IDC_SETUP_MATCH_TYPE, LookupText(m_language, L"Application"));
        m_picture.ShowWindow(SW_HIDE);
    }
}

LRESULT CSetupDialog::OnContextMenu(WPARAM window, LPARAM point)
{
    if (reinterpret_cast<HWND>(window) != m_profiles.GetSafeHwnd())
        return Default();
    UniqueMenu menu = LoadMenuResource(IDR_PROFILE_MENU);
    if (!menu)
        return 0;
    TranslateMenu(m_language, menu.get());
    POINT at{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    const UINT command = TrackSubMenu(menu.get(), 0, m_hWnd, point == -1 ? nullptr : &at);
    if (command != 0)
        SendMessage(WM_COMMAND, MAKEWPARAM(command, 0), 0);
    return 0;
}
