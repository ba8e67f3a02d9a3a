#include "LayerTab.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "CaughtException.h"
#include "DataExchange.h"
#include "LangSupport.h"
#include "LayerTabHost.h"
#include "ListControls.h"
#include "Logger.h"
#include "MessageBox.h"
#include "Settings.h"
#include "StringFormat.h"
#include "UpDown.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
constexpr UINT_PTR kHighlightTimer = 1;
constexpr UINT kHighlightMs = 200;
constexpr DWORD kPickerStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP |
                               CBS_OWNERDRAWFIXED | CBS_DROPDOWNLIST;

// Each question is asked once per run of the program.
bool g_layerChangeConfirmed = false;
bool g_layerRemoveConfirmed = false;
}

CLayerTab::CLayerTab(CLangSupport* language, CWindow* parent)
    : CTabPageSSL(IDD_LAYER_TAB, parent), m_language(language), m_osVersion(static_cast<int>(GetOSVersion()))
{
    BindControlRange(CBN_SELCHANGE, IDC_LAYER_PICKER_FIRST, IDC_LAYER_PICKER_FIRST + 8, &CLayerTab::SelChangeCombo);
    BindControlRange(BN_CLICKED, IDC_LAYER_EDIT_FIRST, IDC_LAYER_EDIT_FIRST + 8, &CLayerTab::OnBnClickedEdit);
    BindControl(BN_CLICKED, IDC_LAYER_RESET, &CLayerTab::OnBnClickedReset);
    BindControl(BN_CLICKED, IDC_LAYER_COPY, &CLayerTab::OnBnClickedCopy);
    BindControl(BN_CLICKED, IDC_LAYER_SWAP, &CLayerTab::OnBnClickedSwap);
    BindControl(BN_CLICKED, IDC_LAYER_DISABLE, &CLayerTab::OnBnClickedDisable);
    BindControl(BN_CLICKED, IDC_LAYER_DISABLE_NEXT_PREV, &CLayerTab::OnBnClickedDisableNextPrev);
    BindControl(CBN_SELCHANGE, IDC_LAYER_SWITCH_LAYER, &CLayerTab::OnCbnSelchangeSwitchLayer);
    BindControl(BN_CLICKED, IDC_LAYER_REVERT, &CLayerTab::OnBnClickedRevert);
    BindControl(EN_CHANGE, IDC_LAYER_SWITCH_TIME, &CLayerTab::OnEnChangeSwitchTime);
    BindNotify(UDN_DELTAPOS, IDC_LAYER_SWITCH_SPIN, &CLayerTab::OnSwitchTimeArrows);
    BindControl(EN_CHANGE, IDC_LAYER_NAME, &CLayerTab::OnEnChangeLayername);
    BindMessage(WM_TIMER, &CLayerTab::OnTimer);
}

CLayerTab::~CLayerTab()
{
    if (m_toolTip != nullptr)
        ::DestroyWindow(m_toolTip);
    DestroyWindow();
    CLangSupport::Release(m_language);
}

bool CLayerTab::IsCustomAction(int action)
{
    switch (action)
    {
    case ACTION_SIMULATED_KEYS: case ACTION_RUN_APPLICATION: case ACTION_OPEN_FOLDER:
    case ACTION_MOVEMENT_TO_SCROLL: case ACTION_BUTTON_CHORDING: case ACTION_BUTTON_HELD:
        return true;
    default:
        return false;
    }
}

bool CLayerTab::IsLayerAction(int action)
{
    return (action >= ACTION_LAYER_NEXT && action <= ACTION_LAYER_5) ||
           (action >= ACTION_LAYER_6 && action <= ACTION_RESERVED_LAST);
}

bool CLayerTab::Create(CSettings* settings, HWND parentTab, const CActionList* actionList, int layer,
                       bool secondLayout, bool portable, bool disabledNextPrev, bool layerDisabled,
                       ILayerTabHost* host)
{
    m_settings = settings;
    m_parentTab = parentTab;
    m_actionList = actionList;
    m_layer = layer;
    m_secondLayout = secondLayout;
    m_portable = portable;
    m_disabledNextPrev = disabledNextPrev;
    m_layerDisabled = layerDisabled;
    m_host = host;
    SetTemplateId(secondLayout ? IDD_LAYER_TAB_SECOND : IDD_LAYER_TAB);
    const HWND parent = parentTab != nullptr && ::GetParent(parentTab) != nullptr ? ::GetParent(parentTab) : parentTab;
    if (!CDialog::Create(parent))
        return false;
    TranslateWindowTexts(m_language, m_hWnd, {IDC_LAYER_NAME, IDC_LAYER_SWITCH_TIME});
    return true;
}

BOOL CLayerTab::OnInitDialog()
{
    try
    {
        CTabPageSSL::OnInitDialog();
        m_copy.SubclassDlgItem(IDC_LAYER_COPY, m_hWnd);
        m_swap.SubclassDlgItem(IDC_LAYER_SWAP, m_hWnd);
        m_reset.SubclassDlgItem(IDC_LAYER_RESET, m_hWnd);
        m_copy.SetIcon(IDI_LAYER_COPY);
        m_swap.SetIcon(IDI_LAYER_SWAP);
        m_reset.SetIcon(IDI_LAYER_RESET);
        for (int button = 0; button < ButtonCount; ++button)
        {
            if (!HasButton(button))
                continue;
            m_editButtons[button].SubclassDlgItem(IDC_LAYER_EDIT_FIRST + button, m_hWnd);
            m_editButtons[button].SetIcon(IDI_EDIT_ACTION);
            m_editButtons[button].EnableWindow(false);
            m_pickers[button] = std::make_unique<CColourComboBox>(LangSupport());
            if (m_pickers[button]->CreateFromDlgItem(m_hWnd, IDC_LAYER_PICKER_FIRST + button, kPickerStyle))
                m_pickers[button]->SetDropDownItemCount(20);
            else
                m_pickers[button].reset();
        }
        ::SendDlgItemMessageW(m_hWnd, IDC_LAYER_SWITCH_SPIN, UDM_SETBUDDY,
                              reinterpret_cast<WPARAM>(GetDlgItem(IDC_LAYER_SWITCH_TIME)), 0);
        ::SendDlgItemMessageW(m_hWnd, IDC_LAYER_SWITCH_SPIN, UDM_SETRANGE, 0, MAKELPARAM(30, 1));
        PopulateLayerCombo();

        m_toolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, nullptr, nullptr);
        if (m_toolTip == nullptr)
        {
            CLogger::LogMessage(L"LayerTab: Unable to add create the tooltip control");
        }
        else
        {
            const std::pair<int, const wchar_t*> tools[] = {
                {IDC_LAYER_COPY, L"Copy Layer"}, {IDC_LAYER_SWAP, L"Swap Layer"}, {IDC_LAYER_RESET, L"Reset Layer"}};
            for (const auto& [id, text] : tools)
            {
                std::wstring translated = LookupText(m_language, std::wstring(text));
                TOOLINFOW tool{};
                tool.cbSize = TTTOOLINFOW_V2_SIZE;
                tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
                tool.hwnd = m_hWnd;
                tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(id));
                tool.lpszText = translated.data();
                ::SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
            }
            ::SendMessageW(m_toolTip, TTM_ACTIVATE, TRUE, 0);
        }

        // Tab order: label, picker, edit button per button, then the switch-to controls.
        constexpr UINT order = SWP_NOSIZE | SWP_NOMOVE | SWP_NOOWNERZORDER | SWP_NOACTIVATE;
        HWND previous = nullptr;
        for (int button = 0; button < ButtonCount; ++button)
        {
            if (!HasButton(button) || !m_pickers[button])
                continue;
            const HWND label = GetDlgItem(IDC_LAYER_LABEL_FIRST + button);
            if (previous != nullptr && label != nullptr)
                ::SetWindowPos(label, previous, 0, 0, 0, 0, order);
            ::SetWindowPos(m_pickers[button]->GetSafeHwnd(), label, 0, 0, 0, 0, order | SWP_NOSENDCHANGING);
            ::SetWindowPos(m_editButtons[button].GetSafeHwnd(), m_pickers[button]->GetSafeHwnd(), 0, 0, 0, 0, order);
            previous = m_editButtons[button].GetSafeHwnd();
        }
        // The timed switch follows the buttons' rows.
        for (int id : {IDC_LAYER_SWITCH_LAYER, IDC_LAYER_SWITCH_TIME, IDC_LAYER_REVERT})
        {
            const HWND control = GetDlgItem(id);
            if (control == nullptr || previous == nullptr)
                continue;
            ::SetWindowPos(control, previous, 0, 0, 0, 0,
                           order | (id == IDC_LAYER_SWITCH_LAYER ? SWP_NOSENDCHANGING : 0));
            previous = control;
        }
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::OnInitDialog");
    }
    return TRUE;
}

void CLayerTab::DoDataExchange(CDataExchange& dx)
{
    ExchangeComboIndex(dx, IDC_LAYER_SWITCH_LAYER, m_switchIndex);
    // The time of a hidden timed switch (the first layer, a layer a modifier
    // switches to) cannot be edited: it keeps the value shown and is not refused.
    // A refusal names the field by the row it stands in: "Switch to … after … seconds".
    std::wstring name;
    for (int label : {IDC_LAYER_SWITCH_TO, IDC_LAYER_AFTER, IDC_LAYER_SECONDS})
        name += (name.empty() ? L"" : L" \u2026 ") + LabelText(GetDlgItem(label));
    m_numbers.Exchange(dx, IDC_LAYER_SWITCH_TIME, m_seconds, kMinSwitchSeconds, kMaxSwitchSeconds, name);
    ExchangeCheck(dx, IDC_LAYER_REVERT, m_revert);
    ExchangeCheck(dx, IDC_LAYER_DISABLE_NEXT_PREV, m_disabledNextPrev);
    ExchangeCheck(dx, IDC_LAYER_DISABLE, m_layerDisabled);
}

CColourComboBox* CLayerTab::GetPicker(int button) const
{
    if (button < 0 || button >= ButtonCount || !HasButton(button))
        return nullptr;
    return m_pickers[button].get();
}

bool CLayerTab::IsDefaultProfile() const
{
    return m_profile != nullptr && m_profile->IsDefault();
}

int CLayerTab::FillAction() const
{
    return IsDefaultProfile() ? ACTION_NO_CHANGE : ACTION_SAME_AS_DEFAULT;
}

void CLayerTab::EnableApply()
{
    if (m_host != nullptr)
        m_host->EnableApply();
}

void CLayerTab::SetEditButton(int button, bool enabled)
{
    if (button >= 0 && button < ButtonCount && m_editButtons[button].IsWindow())
        m_editButtons[button].EnableWindow(enabled);
}

bool CLayerTab::PopulateCombo(int pickerId, int action, int fallback)
{
    const int button = pickerId - IDC_LAYER_PICKER_FIRST;
    CColourComboBox* picker = m_hWnd != nullptr ? GetPicker(button) : nullptr;
    if (picker == nullptr || m_actionList == nullptr)
        return false;
    picker->ShowGroups = m_settings != nullptr && m_settings->m_bSortActionsAlphabetically ? 0 : 1;
    const int lastWithChords = m_secondLayout ? IDC_LAYER_PICKER_FIRST + 7 : IDC_LAYER_PICKER_FIRST + 5;
    const int ownLayer = OwnLayerAction(m_layer);
    std::vector<const ActionListEntry*> kept;
    for (const ActionListEntry& entry : *m_actionList)
    {
        const int code = entry.action;
        if (code == ACTION_SAME_AS_DEFAULT && IsDefaultProfile())
            continue;
        if (code == ACTION_SAME_AS_LAYER_1 && m_layer == 0)
            continue;
        if ((code == ACTION_BUTTON_CHORDING || code == ACTION_BUTTON_HELD) && pickerId >= lastWithChords)
            continue;
        if (!IsActionAvailable(code, m_osVersion))
            continue;
        if (m_osVersion >= ActionOS_Vista && ActionHighestVersion(code) == 254 && m_portable)
            continue;
        kept.push_back(&entry);
    }
    const int wanted = action == -1 ? fallback : action;
    if (picker->GetItemCount() != static_cast<int>(kept.size()))
    {
        picker->RemoveAllItems();
        for (const ActionListEntry* entry : kept)
        {
            if (entry->action == ownLayer)
                picker->AddActionItem({entry->name, entry->action},
                                      LookupText(m_language, std::wstring(L"Layer Modifier Revert")).c_str());
            else
                picker->AddItem({entry->name, entry->action});
        }
        picker->UpdateCount();
    }
    // An action this picker does not offer shows the first item, never the
    // selection of the profile shown before (the profile keeps its action
    // until the user picks another, so nothing is there to apply).
    if (picker->SelectAction(wanted) < 0)
        picker->SendMessage(VCB_SETCURSEL, 0);
    SetEditButton(button, IsCustomAction(picker->GetItemAction(picker->GetCurSel())));
    return true;
}

void CLayerTab::SetCustomCombo(int button, CActionData* data)
{
    std::unique_ptr<CActionData> owned(data);
    try
    {
        CColourComboBox* picker = GetPicker(button);
        if (picker == nullptr)
            return;
        const int selection = picker->GetCurSel();
        picker->ClearActionData();
        if (owned && IsCustomAction(owned->Action()) && picker->SetItemActionData(selection, owned.get()) >= 0)
        {
            owned.release();
            picker->SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(selection));
        }
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::SetCustomCombo");
    }
}

void CLayerTab::PopulateLayerCombo()
{
    const HWND combo = GetDlgItem(IDC_LAYER_SWITCH_LAYER);
    if (combo == nullptr)
        return;
    const int old = static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
    // A choice the user left alone shows the profile's target again: a list
    // of more layers may hold it now, and one beyond the list stays unchosen.
    const bool untouched = m_profile != nullptr && !m_shownSwitchIndex.Changed(old);
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    const std::wstring disable = LookupText(m_language, std::wstring(L"Disable"));
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(disable.c_str()));
    const int maxLayers = m_settings != nullptr ? m_settings->MaxLayers() : LayerCount;
    for (int i = 0; i < maxLayers; ++i)
    {
        if (i == m_layer)
            continue;
        const std::wstring name = LookupText(m_language, L"Layer %d", i + 1);
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    const int index = untouched ? StoredSwitchIndex() : (old >= 0 && old < maxLayers ? old : 0);
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (untouched)
        m_shownSwitchIndex.Showing(static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0)));
}

void CLayerTab::UpdateApplication(CApplicationSettings* profile)
{
    if (m_hWnd == nullptr)
        return;
    try
    {
        m_profile = profile;
        if (profile == nullptr)
            return;
        // Always set, so that a layer without a name never shows (and then
        // stores) the name of the profile shown before.
        ::SetDlgItemTextW(m_hWnd, IDC_LAYER_NAME, profile->GetLayerName(m_layer));
        m_shownName.Showing(ReadDlgItemText(m_hWnd, IDC_LAYER_NAME));
        PopulateLayerCombo();
        for (int button = 0; button < ButtonCount; ++button)
        {
            if (!HasButton(button) || !m_pickers[button])
                continue;
            const bool tilt = !m_secondLayout && (button == TiltLeft || button == TiltRight);
            if (tilt && m_osVersion < ActionOS_Vista)
            {
                m_pickers[button]->RemoveAllItems();
                m_pickers[button]->EnableWindow(false);
                continue;
            }
            PopulateCombo(IDC_LAYER_PICKER_FIRST + button, profile->GetActions(button, m_layer), ACTION_NO_CHANGE);
            SetCustomCombo(button, profile->GetActionData(button, m_layer));
            m_shownActions[button].Showing(m_pickers[button]->GetItemAction(m_pickers[button]->GetCurSel()));
            if (tilt)
                m_pickers[button]->EnableWindow(true);
        }
        m_revert = profile->GetRevertLayer1(m_layer);
        m_switchIndex = StoredSwitchIndex();
        m_seconds = ShownSwitchTime(profile->GetAutoSwitchTime(m_layer));
        m_disabledNextPrev = profile->GetLayerDisabledNextPrev(m_layer, false);
        m_layerDisabled = profile->GetLayerDisabled(m_layer);
        EnableButtonControls(m_layerDisabled);
        // The time field's own filling is no edit.
        m_filling = true;
        UpdateData(false);
        m_filling = false;
        // A time beyond the field's range, a target beyond the layers in use:
        // the profile keeps its own until the user changes the field.
        m_shownSwitchIndex.Showing(
            static_cast<int>(::SendDlgItemMessageW(m_hWnd, IDC_LAYER_SWITCH_LAYER, CB_GETCURSEL, 0, 0)));
        m_shownSeconds.Showing(m_seconds);
        UpdateLayerControls();
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::UpdateApplication");
    }
}

bool CLayerTab::SaveSettings()
{
    if (m_hWnd == nullptr || m_profile == nullptr)
        return false;
    // The controls are checked before anything is written: a refused value
    // leaves the profile as it was.
    if (!UpdateData(true))
        return false;
    try
    {
        const std::wstring name = ReadDlgItemText(m_hWnd, IDC_LAYER_NAME);
        if (m_shownName.StoreChange(name))
            m_profile->SetLayerName(name.c_str(), m_layer);
        for (int button = 0; button < ButtonCount; ++button)
        {
            CColourComboBox* picker = GetPicker(button);
            if (picker == nullptr || !::IsWindowEnabled(picker->GetSafeHwnd()))
                continue;
            const int selection = picker->GetCurSel();
            const CActionData* data = picker->GetItemActionData(selection);
            // A button the user left alone keeps all it holds, a description
            // of an action without an editor too.
            if (data == nullptr || !m_shownActions[button].StoreChange(data->Action()))
                continue;
            m_profile->SetActionDescription(button, m_layer, data->GetDescription());
            m_profile->SetActions(button, m_layer, data->Action());
            switch (m_profile->GetActions(button, m_layer))
            {
            case ACTION_SIMULATED_KEYS:
                m_profile->SetKeystrokes(button, m_layer, data->GetKeys(), data->KeyAction(), data->KeyRepeat(),
                                         data->Active(), data->BlockMouse(), data->BlockMouseActive(),
                                         data->RandomiseDelay());
                break;
            case ACTION_RUN_APPLICATION:
            case ACTION_OPEN_FOLDER:
                m_profile->SetLaunchApp(button, m_layer, data->GetApplication());
                break;
            case ACTION_MOVEMENT_TO_SCROLL:
                m_profile->SetMovement2Scroll(button, m_layer, data->GetMovement2Scroll());
                break;
            case ACTION_BUTTON_CHORDING:
                m_profile->SetChords(button, m_layer, data->GetChords());
                break;
            case ACTION_BUTTON_HELD:
                m_profile->SetTimedClicks(button, m_layer, data->GetTimedClicks());
                break;
            default:
                break;
            }
        }
        if (m_shownSwitchIndex.StoreChange(m_switchIndex))
            m_profile->SetAutoSwitchLayer(m_layer, SwitchLayerValue(m_switchIndex));
        // By its number: the time shown stays until the user changes that number.
        if (m_shownSeconds.StoreChange(m_seconds))
            m_profile->SetAutoSwitchTime(m_layer, m_seconds);
        m_profile->SetRevertLayer1(m_layer, m_revert);
        m_profile->SetLayerDisabledNextPrev(m_layer, m_disabledNextPrev);
        m_profile->SetLayerDisabled(m_layer, m_layerDisabled);
        return true;
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::SaveSettings");
        return false;
    }
}

int CLayerTab::SwitchLayerValue(int index) const
{
    return index > m_layer ? index + 1 : index;
}

int CLayerTab::StoredSwitchIndex() const
{
    const int target = m_profile != nullptr ? m_profile->GetAutoSwitchLayer(m_layer) : 0;
    return target > m_layer ? target - 1 : target;
}

void CLayerTab::SetSettings(CSettings* settings)
{
    if (m_hWnd == nullptr)
        return;
    m_settings = settings;
    m_secondLayout = settings != nullptr && settings->m_bQuillon;
    m_profile = nullptr;
    ResetActionCombos();
}

void CLayerTab::ResetActionCombos()
{
    for (auto& picker : m_pickers)
        if (picker)
            picker->RemoveAllItems();
}

void CLayerTab::EnableButtonControls(bool layerDisabled)
{
    if (const HWND nextPrev = GetDlgItem(IDC_LAYER_DISABLE_NEXT_PREV))
        ::EnableWindow(nextPrev, !layerDisabled);
    for (int button = 0; button < ButtonCount; ++button)
    {
        if (!HasButton(button) || !m_pickers[button])
            continue;
        const bool oldSystem = m_osVersion < ActionOS_Vista && (button == TiltLeft || button == TiltRight);
        const int stored = m_profile != nullptr ? m_profile->GetActions(button, m_layer) : ACTION_NO_CHANGE;
        m_pickers[button]->EnableWindow(!layerDisabled && !oldSystem);
        SetEditButton(button, !layerDisabled && !oldSystem && IsCustomAction(stored));
    }
}

void CLayerTab::UpdateLayerControls()
{
    const int own = OwnLayerAction(m_layer);
    bool modifierTarget = false;
    for (const auto& picker : m_pickers)
        if (picker && picker->GetItemAction(picker->GetCurSel()) == own)
            modifierTarget = true;
    const auto show = [&](int id, bool visible) {
        if (const HWND control = GetDlgItem(id))
            ::ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
    };
    show(IDC_LAYER_DISABLE, m_layer > 0);
    for (int id : {IDC_LAYER_SWITCH_TO, IDC_LAYER_AFTER, IDC_LAYER_SECONDS, IDC_LAYER_SWITCH_LAYER,
                   IDC_LAYER_SWITCH_TIME, IDC_LAYER_SWITCH_SPIN})
        show(id, m_layer > 0 && !modifierTarget);
    show(IDC_LAYER_REVERT, m_layer > 0 && modifierTarget);
}

void CLayerTab::LockPickerWheel(bool lock)
{
    for (auto& picker : m_pickers)
        if (picker)
            picker->WheelLocked = lock ? 1 : 0;
}

void CLayerTab::RevertPicker(int button)
{
    CColourComboBox* picker = GetPicker(button);
    if (picker == nullptr || m_profile == nullptr)
        return;
    // By the stored code: a name prefix would take "Layer 1" for "Layer 10".
    if (picker->SelectAction(m_profile->GetActions(button, m_layer)) < 0)
        picker->SendMessage(VCB_SETCURSEL, 0);
}

void CLayerTab::RemoveLayerAction(int button, int oldAction)
{
    const int fill = FillAction();
    for (int layer = 0; layer < LayerCount; ++layer)
    {
        if (layer == m_layer)
            continue;
        if (oldAction >= ACTION_LAYER_1)
        {
            if (m_profile->GetActions(button, layer) == oldAction)
                m_profile->SetActions(button, layer, fill);
        }
        else
        {
            m_profile->SetActions(button, layer, fill);
        }
    }
}

bool CLayerTab::StoreLayerPages()
{
    return m_host == nullptr || m_host->StoreLayerTabs();
}

void CLayerTab::RevertChoice(int button, int oldAction)
{
    // A page that refused its values is shown: the choice that needed every
    // page stored is taken back, on the picker and in the profile.
    PopulateCombo(IDC_LAYER_PICKER_FIRST + button, oldAction, ACTION_NO_CHANGE);
    if (m_profile != nullptr)
        m_profile->SetActions(button, m_layer, oldAction);
    SetEditButton(button, IsCustomAction(oldAction));
}

void CLayerTab::RemoveReplacedLayerAction(int button, int oldAction)
{
    CColourComboBox* picker = GetPicker(button);
    if (picker == nullptr || m_profile == nullptr)
        return;
    // A cancelled editor put the layer modifier back: it stays on every layer.
    if (picker->GetItemAction(picker->GetCurSel()) == oldAction)
        return;
    if (!StoreLayerPages())
    {
        RevertChoice(button, oldAction);
        return;
    }
    RemoveLayerAction(button, oldAction);
    if (m_host != nullptr)
        m_host->RebuildLayerTabs(this, false);
    UpdateLayerControls();
}

void CLayerTab::SelChangeCombo(UINT id)
{
    const int button = static_cast<int>(id) - IDC_LAYER_PICKER_FIRST;
    int newAction = -1;
    int oldAction = -1;
    try
    {
        if (m_profile == nullptr)
        {
            CLogger::LogMessage(L"CLayerTab::SelChangeCombo(%d) ApplicationSettings is NULL (this should never happen!)",
                                button);
            return;
        }
        CColourComboBox* picker = GetPicker(button);
        if (picker == nullptr)
        {
            CLogger::LogMessage(L"CLayerTab::SelChangeCombo(%d) Unable to get the combo box for ID %d", button, id);
            return;
        }
        const int selection = picker->GetCurSel();
        if (selection < 0)
        {
            CLogger::LogMessage(L"CLayerTab::SelChangeCombo(button %d layer %d) No item is selected!", button, m_layer);
            return;
        }
        const CActionData* data = picker->GetItemActionData(selection);
        if (data == nullptr)
        {
            CLogger::LogMessage(
                L"CLayerTab::SelChangeCombo(button %d layer %d) ActionData is NULL for selection %d (this should not happen!)",
                button, m_layer, selection);
            return;
        }
        newAction = data->Action();
        oldAction = m_profile->GetActions(button, m_layer);
        CLogger::LogDebug(L"CLayerTab::SelChangeCombo(button %d layer %d) Selected action is %d. Old action is %d",
                          button, m_layer, newAction, oldAction);
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::SelChangeCombo(button %d layer %d) Action %d OldAction %d Handler 1", button,
                           m_layer, newAction, oldAction);
        return;
    }

    bool removeReplaced = false;
    try
    {
        const HWND owner = m_hWnd;
        if (IsLayerAction(newAction))
        {
            if (newAction == OwnLayerAction(m_layer))
            {
                if (oldAction != newAction)
                {
                    ShowMessageBox(LookupText(m_language, std::wstring(L"This item is reserved to when a layer modifier\nis used to switch to this layer.\n\nYou can not select it directly.")),
                                   MB_OK, owner);
                    PopulateCombo(static_cast<int>(id), oldAction, ACTION_NO_CHANGE);
                    newAction = oldAction;
                }
            }
            else
            {
                if (!g_layerChangeConfirmed)
                {
                    if (ShowMessageBox(LookupText(m_language, std::wstring(L"Layer changing commands need to be applied to all affected layers.\n\nContinue?")),
                                       MB_YESNO, owner) != IDYES)
                    {
                        PopulateCombo(static_cast<int>(id), oldAction, ACTION_NO_CHANGE);
                        return;
                    }
                    g_layerChangeConfirmed = true;
                }
                bool countChanged = false;
                bool refused = false;
                if (newAction == ACTION_LAYER_NEXT || newAction == ACTION_LAYER_PREVIOUS)
                {
                    if (!StoreLayerPages())
                    {
                        RevertChoice(button, oldAction);
                        return;
                    }
                    for (int layer = 0; layer < LayerCount; ++layer)
                        m_profile->SetActions(button, layer, newAction);
                }
                else
                {
                    const int target = newAction >= ACTION_LAYER_6 ? newAction - 97 : newAction - 54;
                    const int own = OwnLayerAction(m_layer);
                    bool otherLayerTargetsThis = false;
                    for (int layer = 0; layer < LayerCount && !otherLayerTargetsThis; ++layer)
                        for (int b = 0; b < ButtonCount && layer != m_layer; ++b)
                            if (m_profile->GetActions(b, layer) == own)
                                otherLayerTargetsThis = true;
                    const int atTarget = m_profile->GetActions(button, target);
                    const bool targetHasLayerAction = (atTarget >= ACTION_LAYER_1 && atTarget <= ACTION_LAYER_5) ||
                                                      (atTarget >= ACTION_LAYER_6 && atTarget <= ACTION_RESERVED_LAST);
                    if (targetHasLayerAction || otherLayerTargetsThis)
                    {
                        ShowMessageBox(LookupText(m_language, std::wstring(L"You can not add a LAYER X modifier to this layer because another layer already has a layer modifier setup to this layer.\nDoing so would cause undetermined behaviour and is therefore not supported.")),
                                       MB_OK, owner);
                        PopulateCombo(static_cast<int>(id), oldAction, ACTION_NO_CHANGE);
                        newAction = oldAction;
                        refused = true;
                    }
                    else
                    {
                        if (!StoreLayerPages())
                        {
                            RevertChoice(button, oldAction);
                            return;
                        }
                        m_profile->SetActions(button, target, newAction);
                        m_profile->SetActions(button, m_layer, newAction);
                        if (m_settings != nullptr && m_settings->MaxLayers() < target + 1)
                        {
                            m_settings->SetMaxLayers(target + 1);
                            countChanged = true;
                        }
                    }
                }
                if (!refused)
                {
                    if (m_host != nullptr)
                        m_host->RebuildLayerTabs(this, countChanged);
                    EnableApply();
                    // A rebuild may have replaced this page's window.
                    if (m_hWnd == nullptr || GetPicker(button) == nullptr)
                        return;
                }
            }
        }
        else if (IsLayerAction(oldAction))
        {
            if (!g_layerRemoveConfirmed)
            {
                if (ShowMessageBox(LookupText(m_language, std::wstring(L"If you remove a layer changing command, it will be removed from ALL affected layers.\n\nContinue?")),
                                   MB_YESNO, owner) != IDYES)
                {
                    PopulateCombo(static_cast<int>(id), oldAction, ACTION_NO_CHANGE);
                    return;
                }
                g_layerRemoveConfirmed = true;
            }
            // The other layers lose the modifier once the new action stands:
            // its editor may yet be cancelled.
            removeReplaced = true;
        }
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::SelChangeCombo(button %d layer %d) Action %d OldAction %d Handler 2", button,
                           m_layer, newAction, oldAction);
    }

    try
    {
        SetEditButton(button, IsCustomAction(newAction));
        if (newAction == oldAction)
            return;
        SelChangeTail(button, newAction, oldAction);
        if (removeReplaced)
            RemoveReplacedLayerAction(button, oldAction);
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::SelChangeCombo(button %d layer %d) Action %d OldAction %d Handler 3", button,
                           m_layer, newAction, oldAction);
    }
}

void CLayerTab::SelChangeTail(int button, int newAction, int oldAction)
{
    CColourComboBox* picker = GetPicker(button);
    if (picker == nullptr)
        return;
    if (picker->ChangingByWheel != 0 || picker->ChangingByArrowKey != 0)
    {
        EnableApply();
        return;
    }
    bool keep = false;
    if (EditCustomAction(button, newAction, oldAction, picker->GetItemActionData(picker->GetCurSel()), keep))
    {
        m_shownActions[button].Forget();
        EnableApply();
        SetEditButton(button, keep);
    }
    else
    {
        const bool listEditor = oldAction == ACTION_SIMULATED_KEYS || oldAction == ACTION_MOVEMENT_TO_SCROLL ||
                                oldAction == ACTION_BUTTON_CHORDING || oldAction == ACTION_BUTTON_HELD;
        SetEditButton(button, listEditor || keep);
    }
}

void CLayerTab::OnBnClickedEdit(UINT id)
{
    const int button = static_cast<int>(id) - IDC_LAYER_EDIT_FIRST;
    CColourComboBox* picker = GetPicker(button);
    if (picker == nullptr)
        return;
    CActionData* record = picker->GetItemActionData(picker->GetCurSel());
    if (record == nullptr)
        return;
    CXButtonXP& edit = m_editButtons[button];
    edit.ResetDefaultButton();
    const int action = record->Action();
    bool keep = false;
    if (EditCustomAction(button, action, action, record, keep))
    {
        // The record may have changed in place, under the same action.
        m_shownActions[button].Forget();
        EnableApply();
        SetEditButton(button, keep);
    }
    else
    {
        const bool listEditor = action == ACTION_SIMULATED_KEYS || action == ACTION_MOVEMENT_TO_SCROLL ||
                                action == ACTION_BUTTON_CHORDING || action == ACTION_BUTTON_HELD;
        SetEditButton(button, listEditor || keep);
    }
    if (GetPicker(button) != nullptr)
        ::SetFocus(GetPicker(button)->GetSafeHwnd());
    if (edit.IsWindow())
    {
        edit.ResetDefaultButton();
        ::InvalidateRect(edit.GetSafeHwnd(), nullptr, TRUE);
    }
}

void CLayerTab::OnBnClickedReset()
{
    try
    {
        if (m_profile == nullptr || !StoreLayerPages())
            return;
        const int fill = FillAction();
        for (int button = 0; button < ButtonCount; ++button)
        {
            CColourComboBox* picker = GetPicker(button);
            if (picker == nullptr)
                continue;
            const int stored = m_profile->GetActions(button, m_layer);
            if (IsLayerAction(stored))
                RemoveLayerAction(button, stored);
            picker->SendMessage(VCB_SETCURSEL, IsDefaultProfile() ? 0 : 1);
            m_profile->SetActions(button, m_layer, fill);
            SetEditButton(button, false);
        }
        ::SendDlgItemMessageW(m_hWnd, IDC_LAYER_SWITCH_LAYER, CB_SETCURSEL, 0, 0);
        m_switchIndex = 0;
        m_revert = false;
        m_seconds = 1.0;
        UpdateData(false);
        if (m_host != nullptr)
            m_host->RebuildLayerTabs(this, false);
        UpdateLayerControls();
        EnableApply();
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::OnBnClickedReset");
    }
}

void CLayerTab::OnBnClickedDisable()
{
    const bool disabled = ::IsDlgButtonChecked(m_hWnd, IDC_LAYER_DISABLE) == BST_CHECKED;
    EnableButtonControls(disabled);
    if (m_profile != nullptr && disabled != m_profile->GetLayerDisabled(m_layer))
        EnableApply();
}

void CLayerTab::OnBnClickedDisableNextPrev()
{
    const bool checked = ::IsDlgButtonChecked(m_hWnd, IDC_LAYER_DISABLE_NEXT_PREV) == BST_CHECKED;
    if (m_profile != nullptr && checked != m_profile->GetLayerDisabledNextPrev(m_layer, false))
        EnableApply();
}

void CLayerTab::OnCbnSelchangeSwitchLayer()
{
    const int index = static_cast<int>(::SendDlgItemMessageW(m_hWnd, IDC_LAYER_SWITCH_LAYER, CB_GETCURSEL, 0, 0));
    if (m_profile != nullptr && SwitchLayerValue(index) != m_profile->GetAutoSwitchLayer(m_layer))
        EnableApply();
}

void CLayerTab::OnBnClickedRevert()
{
    const bool checked = ::IsDlgButtonChecked(m_hWnd, IDC_LAYER_REVERT) == BST_CHECKED;
    if (m_profile != nullptr && checked != m_profile->GetRevertLayer1(m_layer))
        EnableApply();
}

void CLayerTab::OnEnChangeSwitchTime()
{
    if (m_profile == nullptr || m_filling)
        return;
    // Against the number shown, which is the stored time.
    double seconds = 0;
    if (ParseExchangedDouble(ReadDlgItemText(m_hWnd, IDC_LAYER_SWITCH_TIME), &seconds) &&
        m_shownSeconds.Changed(seconds))
        EnableApply();
}

double CLayerTab::ShownSwitchTime(double seconds)
{
    // A time beyond the range shows as it is, so that setting the field to
    // any number it takes (its end too) is a change; only no number at all
    // shows as the default.
    return std::isfinite(seconds) ? seconds : 1.0;
}

std::wstring CLayerTab::SwitchTimeText(double seconds)
{
    // Hundredths at most, and always the tenths: "2.0", "2.5", "2.25".
    std::wstring text = FormatString(L"%.2f", std::round(seconds * 100.0) / 100.0);
    if (text.size() > 1 && text.back() == L'0')
        text.pop_back();
    return text;
}

LRESULT CLayerTab::OnSwitchTimeArrows(NMHDR* header)
{
    // The arrows step the seconds in the field; their own position means nothing.
    const auto* change = reinterpret_cast<const NMUPDOWN*>(header);
    wchar_t text[64] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_LAYER_SWITCH_TIME, text, 64);
    double seconds = m_seconds;
    if (!ParseExchangedDouble(text, &seconds))
        seconds = ShownSwitchTime(m_profile != nullptr ? m_profile->GetAutoSwitchTime(m_layer) : m_seconds);
    const int steps = change->iDelta > 0 ? 1 : (change->iDelta < 0 ? -1 : 0);
    // An arrow that cannot step (the end of the range) leaves the text as it is.
    const double stepped = StepWithinRange(seconds, static_cast<double>(steps), kMinSwitchSeconds, kMaxSwitchSeconds);
    if (stepped != seconds)
        ::SetDlgItemTextW(m_hWnd, IDC_LAYER_SWITCH_TIME, SwitchTimeText(stepped).c_str());
    return 1;
}

void CLayerTab::OnEnChangeLayername()
{
    try
    {
        if (m_profile == nullptr)
            return;
        wchar_t name[256] = {};
        ::GetDlgItemTextW(m_hWnd, IDC_LAYER_NAME, name, 256);
        if (std::wstring(name) != m_profile->GetLayerName(m_layer))
            EnableApply();
    }
    catch (...)
    {
        LogCaughtException(L"CLayerTab::OnEnChangeLayername");
    }
}

void CLayerTab::HighlightPicker(int button, COLORREF colour)
{
    if (CColourComboBox* picker = GetPicker(button))
    {
        picker->SetBackgroundColour(colour == CLR_INVALID ? ::GetSysColor(COLOR_WINDOW) : colour);
        if (button >= TiltLeft && colour != CLR_INVALID)
            SetTimer(kHighlightTimer, kHighlightMs);
    }
}

LRESULT CLayerTab::OnTimer(WPARAM wParam, LPARAM)
{
    if (wParam != kHighlightTimer)
        return Default();
    KillTimer(kHighlightTimer);
    for (int button = TiltLeft; button < ButtonCount; ++button)
    {
        if (m_secondLayout && button <= TiltRight)
            continue;
        if (CColourComboBox* picker = GetPicker(button))
            picker->SetBackgroundColour(::GetSysColor(COLOR_WINDOW));
    }
    return 0;
}

BOOL CLayerTab::PreTranslateMessage(MSG* msg)
{
    if ((msg->message == WM_MOUSEWHEEL || msg->message == WM_MOUSEHWHEEL) && msg->hwnd != nullptr &&
        !::IsWindowEnabled(msg->hwnd))
        return TRUE;
    return CTabPageSSL::PreTranslateMessage(msg);
}

void CLayerTab::OnBnClickedCopy()
{
    if (m_host != nullptr && m_profile != nullptr)
        MoveLayer(&ILayerTabHost::CopyLayer);
}

void CLayerTab::OnBnClickedSwap()
{
    if (m_host != nullptr && m_profile != nullptr)
        MoveLayer(&ILayerTabHost::SwapLayer);
}

void CLayerTab::MoveLayer(void (ILayerTabHost::*move)(CLayerTab&))
{
    // The pickers ignore the wheel while the dialog that asks for the other
    // layer is open, and respond again however it ends.
    struct Lock
    {
        CLayerTab& page;
        explicit Lock(CLayerTab& p) : page(p) { page.LockPickerWheel(true); }
        ~Lock() { page.LockPickerWheel(false); }
    } lock(*this);
    (m_host->*move)(*this);
}
