// The settings dialog's profile list: entry 0 is the default profile, then
// every profile of the settings copy in matching order; each entry's data is
// its profile (owned by the copy). The list order is the profile order a save
// writes.

#include "SetupDialog.h"

#include <memory>

#include "AppSpecific.h"
#include "FindWindow.h"
#include "MessageBox.h"

#include "ApplicationSettings.h"
#include "Control.h"
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
    m_profiles.InitColours();
}

int CSetupDialog::AddProfileEntry(const std::wstring& text, CApplicationSettings* profile, bool checked)
{
    const int index = m_profiles.AddString(text.c_str());
    if (index < 0)
        return index;
    m_profiles.SetItemDataPtr(index, profile);
    m_profiles.SetCheck(index, checked ? 1 : 0);
    return index;
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
    // The mark of the profile in force belonged to the old entries.
    m_profiles.SetMarkedItem(-1, false);
    m_profiles.SendMessage(WM_SETREDRAW, TRUE);
    ::InvalidateRect(m_profiles.GetSafeHwnd(), nullptr, TRUE);
    ::UpdateWindow(m_profiles.GetSafeHwnd());
    PostMessage(::RegisterWindowMessageW(L"BRMPFixScrollBar"));
    AskActiveProfile();
}

CApplicationSettings* CSetupDialog::ProfileAt(int index) const
{
    if (index < 0 || index >= m_profiles.GetCount())
        return nullptr;
    return static_cast<CApplicationSettings*>(m_profiles.GetItemDataPtr(index));
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
    // The pages give up the profile they show only when they take their values.
    if (SelectedEntry() != m_lastSelection && m_lastSelection >= 0 && m_lastSelection < ProfileCount() &&
        !StoreTabs())
    {
        SelectEntry(m_lastSelection);
        OnProfileSelChange();
        return;
    }
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
    // Every page that can hold a profile (a layer page without a window holds
    // none) shows a listed one now: removed profiles are no longer seen.
    m_removedProfiles.clear();
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

void CSetupDialog::BindProfileHandlers()
{
    BindControl(LBN_DBLCLK, IDC_SETUP_PROFILES, &CSetupDialog::OnProfileDblClk);
    BindMessage(CColourCheckListBox::CheckChangedMessage(), &CSetupDialog::OnCheckChanged);
    BindRegisteredMessage(L"BRMP_ProcessChanged", &CSetupDialog::OnProcessChangeMessage);
    BindMessage(kShowActiveProfileMessage, &CSetupDialog::OnShowActiveProfile);
    BindCommand(IDC_SETUP_ADD, &CSetupDialog::OnAdd);
    BindCommand(IDC_SETUP_EDIT, &CSetupDialog::OnEdit);
    BindCommand(ID_PROFILE_EDIT, &CSetupDialog::OnEdit);
    BindCommand(IDC_SETUP_COPY, &CSetupDialog::OnCopy);
    BindCommand(ID_PROFILE_COPY, &CSetupDialog::OnCopy);
    BindCommand(IDC_SETUP_REMOVE, &CSetupDialog::OnRemove);
    BindCommand(ID_PROFILE_REMOVE, &CSetupDialog::OnRemove);
    BindCommand(IDC_SETUP_UP, &CSetupDialog::OnMoveUp);
    BindCommand(IDC_SETUP_DOWN, &CSetupDialog::OnMoveDown);
}

void CSetupDialog::ShowProfileMessage(const wchar_t* text)
{
    ShowMessageBox(LookupText(m_language, std::wstring(text)), MB_OK, m_hWnd);
}

int CSetupDialog::FindDuplicateEntry(const ProfileIdentity& candidate, int skip, bool compareMatchTypes) const
{
    for (int index = 0, count = ProfileCount(); index < count; ++index)
    {
        if (index == skip)
            continue;
        if (IsDuplicateProfile(ProfileIdentity::Of(ProfileAt(index)), candidate, compareMatchTypes))
            return index;
    }
    return -1;
}

void CSetupDialog::ShowDuplicate(int entry)
{
    SelectEntry(entry);
    OnProfileSelChange();
}

LRESULT CSetupDialog::OnCheckChanged(WPARAM, LPARAM entry)
{
    if (entry < 0 || entry >= ProfileCount())
    {
        CLogger::LogMessage(L"CSetupDialog::OnCheckChanged: no profile entry %d", static_cast<int>(entry));
        return 0;
    }
    const int index = static_cast<int>(entry);
    if (index == 0)
        m_profiles.SetCheck(0, 1);
    if (CApplicationSettings* profile = ProfileAt(index))
        profile->SetEnableFlag(m_profiles.GetCheck(index) == 1);
    EnableApply();
    return 0;
}

void CSetupDialog::OnProfileDblClk()
{
    if (SelectedEntry() > 0)
        OnEdit();
}

void CSetupDialog::OnAdd()
{
    if (!StoreTabs())
        return;
    CAppSpecific picker(this);
    if (picker.DoModal() != IDOK)
        return;
    ProfileIdentity candidate{picker.m_application, picker.m_useArea ? 16 : picker.m_windowMask, picker.m_matchType,
                              picker.m_useArea};
    const int duplicate = FindDuplicateEntry(candidate, -1, false);
    if (duplicate >= 0)
    {
        ShowDuplicate(duplicate);
        ShowProfileMessage(L"The specified application already exists.\nYou can not add two entries for the same application.");
        return;
    }
    CLogger::LogMessage(L"Adding new application specific settings for '%s'.", picker.m_application.c_str());
    auto profile = std::make_unique<CApplicationSettings>(m_settings.get(), false, -1);
    profile->SetApplication(picker.m_application.c_str());
    if (!picker.m_description.empty())
        profile->SetDescription(picker.m_description.c_str());
    profile->SetNoParentFlag(picker.m_noParent);
    profile->SetRegExMatching(picker.m_regEx);
    profile->SetMatchType(picker.m_matchType);
    profile->SetWindowMask(picker.m_windowMask);
    profile->SetUseWindowArea(picker.m_useArea);
    profile->SetWindowArea(picker.m_area);
    CApplicationSettings* added = profile.get();
    const int index = AddProfileEntry(ShortNameOf(added), added, true);
    m_settings->AddApplication(profile.release());
    SelectEntry(index);
    OnProfileSelChange();
    EnableApply();
}

void CSetupDialog::OnEdit()
{
    const int selected = SelectedEntry();
    if (selected < 0)
    {
        ShowProfileMessage(L"You must select a profile to edit.");
        return;
    }
    if (selected == 0)
    {
        ShowProfileMessage(L"You can not edit the default profile!");
        return;
    }
    if (!StoreTabs())
        return;
    CApplicationSettings* profile = ProfileAt(selected);
    if (profile == nullptr)
    {
        ShowProfileMessage(L"You must select a profile to edit.");
        return;
    }
    const auto text = [](const wchar_t* value) { return value ? std::wstring(value) : std::wstring(); };

    ProfileIdentity edited;
    std::wstring description;
    bool noParent = profile->NoParent();
    bool regEx = profile->RegExMatching();
    bool useArea = profile->GetUseWindowArea();
    RECT area = profile->GetWindowArea();
    // The profile's own mask, not the area marker the getter answers for area profiles.
    int mask = profile->GetWindowMask();
    if (profile->IsCustomWindow())
    {
        CFindWindow finder(this, text(profile->GetCaption()), text(profile->GetApplication()), text(profile->GetClass()),
                           text(profile->GetParentClass()), text(profile->GetDescription()), profile->GetMatchType(),
                           profile->NoParent(), profile->RegExMatching(), mask, useArea, area);
        if (finder.DoModal() != IDOK)
            return;
        if (finder.m_process.empty() && finder.m_class.empty() && finder.m_parentClass.empty())
        {
            ShowProfileMessage(L"The specified window configuration is invalid!");
            return;
        }
        edited = ProfileIdentity{ComposeWindowProfileKey(finder.m_caption, finder.m_process, finder.m_class,
                                                         finder.m_parentClass),
                                 finder.m_useArea ? 16 : finder.m_windowMask, finder.m_matchType, finder.m_useArea};
        const int duplicate = FindDuplicateEntry(edited, selected, true);
        if (duplicate >= 0)
        {
            const ProfileIdentity existing = ProfileIdentity::Of(ProfileAt(duplicate));
            ShowDuplicate(duplicate);
            ShowProfileMessage(DuplicateEditMessage(existing, edited, true));
            return;
        }
        description = finder.m_description;
        noParent = finder.m_noParent;
        regEx = finder.m_regEx;
        mask = finder.m_windowMask;
        useArea = finder.m_useArea;
        area = finder.m_area;
    }
    else
    {
        CAppSpecific picker(this);
        picker.m_application = text(profile->GetApplication());
        picker.m_description = text(profile->GetDescription());
        if (picker.DoModal() != IDOK)
            return;
        edited = ProfileIdentity{picker.m_application, picker.m_useArea ? 16 : picker.m_windowMask, picker.m_matchType,
                                 picker.m_useArea};
        const int duplicate = FindDuplicateEntry(edited, selected, false);
        if (duplicate >= 0)
        {
            const ProfileIdentity existing = ProfileIdentity::Of(ProfileAt(duplicate));
            ShowDuplicate(duplicate);
            ShowProfileMessage(DuplicateEditMessage(existing, edited, false));
            return;
        }
        description = picker.m_description;
        noParent = picker.m_noParent;
        regEx = picker.m_regEx;
        mask = picker.m_windowMask;
        useArea = picker.m_useArea;
        area = picker.m_area;
    }

    profile->SetApplication(edited.fullName.c_str());
    if (!description.empty())
        profile->SetDescription(description.c_str());
    profile->SetNoParentFlag(noParent);
    profile->SetRegExMatching(regEx);
    profile->SetWindowMask(mask);
    profile->SetMatchType(edited.matchType);
    profile->SetUseWindowArea(useArea);
    profile->SetWindowArea(area);

    const int check = m_profiles.GetCheck(selected);
    m_profiles.DeleteString(selected);
    m_profiles.InsertString(selected, ShortNameOf(profile).c_str());
    m_profiles.SetItemDataPtr(selected, profile);
    m_profiles.SetCheck(selected, check);
    SelectEntry(selected);
    ShowProfileInfo(profile);
    EnableApply();
}

void CSetupDialog::OnCopy()
{
    if (!StoreTabs())
        return;
    const int selected = SelectedEntry();
    CApplicationSettings* source = selected >= 0 ? ProfileAt(selected) : nullptr;
    if (source == nullptr)
    {
        ShowProfileMessage(L"You must select an application to copy.");
        return;
    }
    CAppSpecific picker(this);
    if (picker.DoModal() != IDOK)
        return;
    const ProfileIdentity candidate{picker.m_application, picker.m_useArea ? 16 : picker.m_windowMask,
                                    picker.m_matchType, picker.m_useArea};
    const int duplicate = FindDuplicateEntry(candidate, -1, false);
    if (duplicate >= 0)
    {
        const ProfileIdentity existing = ProfileIdentity::Of(ProfileAt(duplicate));
        ShowDuplicate(duplicate);
        ShowProfileMessage(DuplicateEditMessage(existing, candidate, false));
        return;
    }
    CLogger::LogMessage(L"Copy profile settings for '%s' to '%s'.", source->GetFullName() ? source->GetFullName() : L"",
                        picker.m_application.c_str());
    auto profile = std::make_unique<CApplicationSettings>(m_settings.get(), false, -1);
    profile->Copy(source);
    profile->SetApplication(picker.m_application.c_str());
    profile->SetDescription(picker.m_description.c_str());
    CApplicationSettings* copy = profile.get();
    const bool checked = source->IsDefault() || source->IsEnabled();
    const int index = AddProfileEntry(ShortNameOf(copy), copy, checked);
    m_settings->AddApplication(profile.release());
    SelectEntry(index);
    OnProfileSelChange();
    EnableApply();
}

void CSetupDialog::OnRemove()
{
    const int selected = SelectedEntry();
    if (selected < 0)
    {
        ShowProfileMessage(L"You must select a profile to remove!");
        return;
    }
    if (selected == 0)
    {
        ShowProfileMessage(L"You can not remove the default profile!");
        return;
    }
    // The pages may show another entry than the one removed: their edits are kept.
    if (!StoreTabs())
        return;
    CApplicationSettings* profile = ProfileAt(selected);
    CLogger::LogMessage(L"Remove profile settings for '%s'.",
                        profile && profile->GetFullName() ? profile->GetFullName() : L"");
    m_lastSelection = selected - 1;
    const int marked = m_profiles.GetMarkedItem();
    if (marked >= selected)
        m_profiles.SetMarkedItem(marked == selected ? -1 : marked - 1, m_profiles.GetMarkedEnabled());
    m_profiles.DeleteString(selected);
    // Out of the settings copy and the list; the pages still show it until
    // they are given the entry above, which frees it.
    if (profile != nullptr && m_settings->RemoveApplication(profile))
        m_removedProfiles.emplace_back(profile);
    SelectEntry(selected - 1);
    PopulateTabs();
    OnProfileSelChange();
    EnableApply();
}

void CSetupDialog::MoveEntry(int from, int to)
{
    if (!StoreTabs())
        return;
    CApplicationSettings* profile = ProfileAt(from);
    const std::wstring text = m_profiles.GetText(from);
    const int check = m_profiles.GetCheck(from);
    const int marked = m_profiles.GetMarkedItem();
    if (marked == from || marked == to)
        m_profiles.SetMarkedItem(marked == from ? to : from, m_profiles.GetMarkedEnabled());
    m_profiles.DeleteString(from);
    m_profiles.InsertString(to, text.c_str());
    m_profiles.SetItemDataPtr(to, profile);
    m_profiles.SetCheck(to, check);
    // The pages go on showing the profile that moved.
    m_lastSelection = to;
    SelectEntry(to);
    OnProfileSelChange();
    EnableApply();
}

void CSetupDialog::OnMoveUp()
{
    const int selected = SelectedEntry();
    if (selected >= 2)
        MoveEntry(selected, selected - 1);
}

void CSetupDialog::OnMoveDown()
{
    const int selected = SelectedEntry();
    if (selected > 0 && selected < ProfileCount() - 1)
        MoveEntry(selected, selected + 1);
}

LRESULT CSetupDialog::OnProcessChangeMessage(WPARAM, LPARAM)
{
    // Nothing the note carries is used: any process may send or post it, and
    // the profile the library sent it about may be gone when it arrives. The
    // library is asked once its sender no longer waits for the answer (it may
    // hold the library's lock while it waits).
    AskActiveProfile();
    return 0;
}

void CSetupDialog::AskActiveProfile()
{
    if (!m_activeProfileAsk.Ask(m_hWnd))
        CLogger::LogMessage(L"CSetupDialog::AskActiveProfile: Unable to post the look-up of the profile in force "
                            L"(error %u); the next note asks again.",
                            static_cast<unsigned>(::GetLastError()));
}

LRESULT CSetupDialog::OnShowActiveProfile(WPARAM, LPARAM)
{
    m_activeProfileAsk.Arrived();
    // A list being refilled is asked again once it is full.
    if (m_reloading)
        return 0;
    ActiveProfileIdentity active;
    if (!::GetActiveProfileIdentity(active))
    {
        m_profiles.SetMarkedItem(-1, false);
        return 0;
    }
    CLogger::LogDebug(L"CSetupDialog: OnProcessChangeMessage: the profile in force is '%s' - '%s'",
                      active.description.c_str(), active.fullName.c_str());
    for (int index = 1, count = ProfileCount(); index < count; ++index)
    {
        const CApplicationSettings* listed = ProfileAt(index);
        if (listed != nullptr && IsSameProfileByValue(*listed, active))
        {
            m_profiles.SetMarkedItem(index, listed->IsEnabled());
            return 0;
        }
    }
    m_profiles.SetMarkedItem(-1, false);
    return 0;
}
