#include "LayerTransfer.h"

#include <algorithm>
#include <memory>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "CaughtException.h"
#include "LangSupport.h"
#include "Logger.h"
#include "MessageBox.h"
#include "Settings.h"
#include "SetupDialog.h"
#include "WindowTranslation.h"
#include "resource.h"

void CopyLayerInto(const CApplicationSettings& source, int from, CApplicationSettings& target, int to, bool withFlags,
                   bool withTarget)
{
    target.SetLayerName(source.GetLayerName(from), to);
    for (int button = 0; button < ButtonCount; ++button)
    {
        target.SetActions(button, to, source.GetActions(button, from));
        // What belongs to the action goes with it: left behind, a description
        // would name another action, and movement to scroll would lose its options.
        target.SetActionDescription(button, to, source.GetActionDescription(button, from));
        target.CopyMovement2Scrolls(button, to, source.GetMovement2Scroll(button, from));
        target.SetKeystrokes(button, to, source.GetKeystrokes(button, from), source.SendKeyAction(button, from),
                             source.SendKeyRepeat(button, from), source.SendKeyWhenActive(button, from),
                             source.BlockMouse(button, from), source.BlockMouseActive(button, from),
                             source.RandomiseDelay(button, from));
        target.SetLaunchApp(button, to, source.GetLaunchApp(button, from));
        target.CopyChords(button, to, source.GetChords(button, from));
        target.CopyTimedClicks(button, to, source.GetTimedClicks(button, from));
    }
    if (withTarget)
        target.SetAutoSwitchLayer(to, source.GetAutoSwitchLayer(from));
    if (withFlags)
    {
        target.SetRevertLayer1(to, source.GetRevertLayer1(from));
        target.SetAutoSwitchTime(to, source.GetAutoSwitchTime(from));
        target.SetLayerDisabledNextPrev(to, source.GetLayerDisabledNextPrev(from, false));
        target.SetLayerDisabled(to, source.GetLayerDisabled(from));
    }
}

void SwapLayers(CApplicationSettings& profile, int current, int other)
{
    std::unique_ptr<CApplicationSettings> temporary(new CApplicationSettings(profile.Settings(), false, -1));
    try
    {
        CopyLayerInto(profile, current, *temporary, other, true, true);
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::OnBnClickedSwap (Copy this layer %d to temp layer %d)", current + 1, other + 1);
        return;
    }
    try
    {
        CopyLayerInto(profile, other, profile, current, current != 0, false);
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::OnBnClickedSwap (Copy swap layer %d to this layer %d)", other + 1, current + 1);
        return;
    }
    try
    {
        CopyLayerInto(*temporary, other, profile, other, other != 0, false);
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::OnBnClickedSwap (Copy temp layer %d to swap layer %d)", other + 1, other + 1);
    }
}

std::wstring LayerItemText(CLangSupport* language, int layer, int maxLayers)
{
    if (maxLayers < 6 || layer == 0)
        return LookupText(language, L"Layer") + L" " + std::to_wstring(layer + 1);
    return L"   " + std::to_wstring(layer + 1);
}

CCopyLayerDlg::CCopyLayerDlg(CWindow* parent, CLangSupport* language, CSettings* settings,
                             CApplicationSettings* sourceProfile, int sourceLayer)
    : CDialog(IDD_COPY_LAYER, parent), m_language(language), m_settings(settings), m_sourceProfile(sourceProfile),
      m_sourceLayer(sourceLayer)
{
    BindControl(CBN_SELCHANGE, IDC_LAYER_DEST_PROFILE, &CCopyLayerDlg::OnCbnSelchangeComboProfile);
}

BOOL CCopyLayerDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_profiles.SubclassDlgItem(IDC_LAYER_DEST_PROFILE, m_hWnd);
    m_layers.SubclassDlgItem(IDC_LAYER_DEST_LAYER, m_hWnd);
    m_profiles.AddString(L"Default", reinterpret_cast<LPARAM>(m_settings->GetDefaultApp()));
    const int count = m_settings->GetApplicationCount();
    for (int i = 0; i < count; ++i)
    {
        CApplicationSettings* profile = m_settings->GetApplication(i);
        const wchar_t* description = profile->GetDescription();
        const wchar_t* application = profile->GetApplication();
        m_profiles.AddString(std::wstring(description != nullptr ? description : L"") + L" (" +
                                 (application != nullptr ? application : L"") + L")",
                             reinterpret_cast<LPARAM>(profile));
    }
    m_profiles.SetCurSel(std::max(0, m_profiles.FindItemData(reinterpret_cast<LPARAM>(m_sourceProfile))));
    OnCbnSelchangeComboProfile();
    TranslateWindowTexts(m_language, m_hWnd);
    return TRUE;
}

void CCopyLayerDlg::OnCbnSelchangeComboProfile()
{
    const int index = m_profiles.GetCurSel();
    const int remembered = m_layers.GetCurSel();
    auto* chosen = reinterpret_cast<CApplicationSettings*>(m_profiles.GetSelectedData(0));
    if (chosen == nullptr)
    {
        CLogger::LogMessage(L"CCopyLayerDlg::OnCbnSelchangeComboProfile: Unable to get application profile index %d!",
                            index);
        ShowMessageBox(LookupText(m_language, L"Invalid destination profile!"), MB_OK | MB_ICONEXCLAMATION, m_hWnd);
        return;
    }
    const int layers = m_settings->MaxLayers();
    const bool sameProfile = chosen == m_sourceProfile;
    m_layers.ResetContent();
    for (int layer = 0; layer < layers; ++layer)
        if (!sameProfile || layer != m_sourceLayer)
            m_layers.AddString(LayerItemText(m_language, layer, layers), layer);
    int select = remembered;
    if (select == -1 || (sameProfile && select == m_sourceLayer))
        select = m_sourceLayer - (m_sourceLayer == layers - 1 ? 1 : 0);
    m_layers.SetCurSel(std::min(select, m_layers.GetCount() - 1));
}

void CCopyLayerDlg::OnOK()
{
    m_chosenProfile = reinterpret_cast<CApplicationSettings*>(m_profiles.GetSelectedData(0));
    m_chosenLayer = static_cast<int>(m_layers.GetSelectedData(-1));
    EndDialog(IDOK);
}

CSwapLayerDlg::CSwapLayerDlg(CWindow* parent, CLangSupport* language, CSettings* settings, CApplicationSettings* profile,
                             int currentLayer)
    : CDialog(IDD_SWAP_LAYER, parent), m_language(language), m_settings(settings), m_profile(profile),
      m_currentLayer(currentLayer)
{
}

BOOL CSwapLayerDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_layers.SubclassDlgItem(IDC_LAYER_DEST_LAYER, m_hWnd);
    const int layers = m_settings->MaxLayers();
    for (int layer = 0; layer < layers; ++layer)
        if (layer != m_currentLayer)
            m_layers.AddString(LayerItemText(m_language, layer, layers), layer);
    m_layers.SetCurSel(m_currentLayer - (m_currentLayer == layers - 1 ? 1 : 0));
    TranslateWindowTexts(m_language, m_hWnd);
    return TRUE;
}

void CSwapLayerDlg::OnOK()
{
    m_chosenLayer = static_cast<int>(m_layers.GetSelectedData(-1));
    EndDialog(IDOK);
}

namespace
{
// The question about applying only decides whether to save first: the pages
// were stored into the copy as soon as the target was chosen.
void OfferApply(CSetupDialog& dialog, const wchar_t* question)
{
    if (dialog.IsApplyEnabled() &&
        ShowMessageBox(LookupText(dialog.Language(), question), MB_YESNO | MB_ICONQUESTION, dialog.GetSafeHwnd()) == IDYES)
        dialog.OnApply();
}
}

bool RunCopyLayer(CSetupDialog& dialog, CWindow* page, CApplicationSettings* profile, int layer)
{
    if (profile == nullptr || dialog.Settings() == nullptr)
        return false;
    // The copy holds what the pages show before a layer moves or is looked at;
    // a page that refuses a value is shown instead.
    if (!dialog.StoreTabs())
        return false;
    CLangSupport* language = dialog.Language();
    CCopyLayerDlg choose(page, language, dialog.Settings(), profile, layer);
    if (choose.DoModal() != IDOK || choose.m_chosenProfile == nullptr || choose.m_chosenLayer < 0)
        return false;
    CApplicationSettings* target = choose.m_chosenProfile;
    const int to = choose.m_chosenLayer;
    bool used = false;
    for (int button = 0; button < ButtonCount; ++button)
        used = used || target->GetActions(button, to) != ACTION_NO_CHANGE;
    if (used)
    {
        const wchar_t* description = target->GetDescription() != nullptr ? target->GetDescription() : L"";
        const wchar_t* application = target->GetApplication() != nullptr ? target->GetApplication() : L"";
        const std::wstring question =
            target->IsDefault()
                ? LookupText(language, L"Are you sure you want to replace layer %d in the default profile?", to + 1)
                : LookupText(language, L"Are you sure you want to replace layer %d in %s (%s)?", to + 1, description,
                             application);
        if (ShowMessageBox(question, MB_YESNO | MB_ICONQUESTION, dialog.GetSafeHwnd()) != IDYES)
            return false;
    }
    CLogger::LogMessage(L"Copying layer %d to layer %d in %s (%s).", layer + 1, to + 1,
                        target->GetDescription() != nullptr ? target->GetDescription() : L"",
                        target->GetApplication() != nullptr ? target->GetApplication() : L"");
    OfferApply(dialog, L"Do you want to apply your settings before copying the layer?");
    CopyLayerInto(*profile, layer, *target, to, true, true);
    dialog.RebuildLayerTabs(false, nullptr);
    dialog.EnableApply();
    return true;
}

bool RunSwapLayer(CSetupDialog& dialog, CWindow* page, CApplicationSettings* profile, int layer)
{
    if (profile == nullptr || dialog.Settings() == nullptr || !dialog.StoreTabs())
        return false;
    CSwapLayerDlg choose(page, dialog.Language(), dialog.Settings(), profile, layer);
    if (choose.DoModal() != IDOK || choose.m_chosenLayer < 0)
        return false;
    const int other = choose.m_chosenLayer;
    OfferApply(dialog, L"Do you want to apply your settings before swapping the layer?");
    CLogger::LogMessage(L"Swapping layer %d with %d.", layer + 1, other + 1);
    SwapLayers(*profile, layer, other);
    dialog.RebuildLayerTabs(false, nullptr);
    dialog.EnableApply();
    return true;
}
