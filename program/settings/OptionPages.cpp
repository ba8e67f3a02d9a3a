#include "OptionPages.h"

#include <commctrl.h>

#include <iterator>

#include "DataExchange.h"
#include "GlobalSettingsIds.h"
#include "LangSupport.h"
#include "OSVersion.h"
#include "Settings.h"

namespace
{
struct GeneralOption
{
    int control;
    bool CSettings::*option;
};

// The General page's check boxes and the options behind them, in page order.
constexpr GeneralOption kGeneralOptions[CGeneralSettings::kOptionCount] = {
    {IDC_GEN_SWITCH_ON_MOUSE_OVER, &CSettings::m_bSwitchOnMouseOver},
    {IDC_GEN_SCROLL_UNDER_CURSOR, &CSettings::m_bScrollWindowUnderCursor},
    {IDC_GEN_ACTIVATE_ON_SCROLL, &CSettings::m_bActivateOnScroll},
    {IDC_GEN_SCROLL_LOCK_BYPASS_ALL, &CSettings::m_bScrollLockBypassAll},
    {IDC_GEN_SCROLL_LOCK_BYPASS_DISABLED, &CSettings::m_bScrollLockBypassDisabled},
    {IDC_GEN_SWAP_4_5, &CSettings::m_bSwap4and5},
    {IDC_GEN_RDP_SWAP_4_5, &CSettings::m_bSwap4and5InRDP},
    {IDC_GEN_RDP_DISABLE, &CSettings::m_bDisableInRDP},
    {IDC_GEN_RDP_NO_INVERTED_SCROLL, &CSettings::m_bDisableInvertedScrollInRDP},
    {IDC_GEN_NOTIFICATIONS, &CSettings::m_bNotifications},
    {IDC_GEN_LAYER_BALLOONS, &CSettings::m_bNotifyLayer},
    {IDC_GEN_SORT_ACTIONS, &CSettings::m_bSortActionsAlphabetically},
    {IDC_GEN_PERSIST_LAYER, &CSettings::m_bPersistLayer},
    {IDC_GEN_TRAY_CYCLES_LAYERS, &CSettings::m_bLeftClickCycleLayers},
    {IDC_GEN_SHOW_TRAY_ICON, &CSettings::m_bShowTrayIcon},
    {IDC_GEN_OSD_ENABLE, &CSettings::m_bEnableOSD},
    {IDC_GEN_OSD_REDIRECT_WHEEL, &CSettings::m_bRedirectWheelToOSD},
    {IDC_GEN_OSD_ALWAYS_SHOW, &CSettings::m_bAlwaysShowOSD},
};

int AsCheck(bool value)
{
    return value ? 1 : 0;
}

bool Differs(int member, bool option)
{
    return (member != 0) != option;
}

// The cursor-speed cycle holds speeds 1 to 10.
int ClampCycleSpeed(int speed)
{
    return speed <= 0 ? 1 : (speed > 10 ? 10 : speed);
}

struct PriorityEntry
{
    const wchar_t* text;
    DWORD priorityClass;
};

constexpr PriorityEntry kPriorities[] = {
    {L"Realtime", REALTIME_PRIORITY_CLASS},         {L"High", HIGH_PRIORITY_CLASS},
    {L"Above normal", ABOVE_NORMAL_PRIORITY_CLASS}, {L"Normal", NORMAL_PRIORITY_CLASS},
    {L"Below normal", BELOW_NORMAL_PRIORITY_CLASS},
};
}

// --- General ---

CGeneralSettings::CGeneralSettings() : CSettingsPage(IDD_GENERAL_SETTINGS)
{
    BindCommand(IDC_GEN_SCROLL_LOCK_BYPASS_ALL, &CGeneralSettings::OnBypassAll);
    BindCommand(IDC_GEN_SHOW_TRAY_ICON, &CGeneralSettings::OnShowTrayIcon);
}

int CGeneralSettings::LoadFromSettings(const CSettings& settings)
{
    for (int i = 0; i < kOptionCount; ++i)
        m_options[i] = AsCheck(settings.*kGeneralOptions[i].option);
    m_activateOnMouseOver = AsCheck(settings.m_bActivateOnMouseOver);
    m_layers = settings.MaxLayers();
    return m_layers;
}

bool CGeneralSettings::DiffersFromSettings(const CSettings& settings) const
{
    for (int i = 0; i < kOptionCount; ++i)
    {
        if (Differs(m_options[i], settings.*kGeneralOptions[i].option))
            return true;
    }
    return Differs(m_activateOnMouseOver, settings.m_bActivateOnMouseOver) || settings.MaxLayers() != m_layers;
}

bool CGeneralSettings::StoreToSettings(CSettings& settings) const
{
    for (int i = 0; i < kOptionCount; ++i)
        settings.*kGeneralOptions[i].option = m_options[i] != 0;
    settings.m_bActivateOnMouseOver = m_activateOnMouseOver != 0;
    return settings.SetMaxLayers(m_layers);
}

void CGeneralSettings::DoDataExchange(CDataExchange& dx)
{
    for (int i = 0; i < kOptionCount; ++i)
        ExchangeCheck(dx, kGeneralOptions[i].control, m_options[i]);
    // A file may hold no layers at all: the page keeps that until the count is edited.
    ExchangeNumberField(dx, IDC_GEN_LAYERS, m_layers, 1, CSettings::MaxLayerCount);
}

BOOL CGeneralSettings::OnInitDialog()
{
    CSettingsPage::OnInitDialog();
    UpdateData(true);
    EnableControls({IDC_GEN_SCROLL_LOCK_BYPASS_DISABLED}, !IsChecked(IDC_GEN_SCROLL_LOCK_BYPASS_ALL));
    TranslateTexts();
    // The volume and brightness displays exist from Windows Vista to 8 only.
    const int os = GetOSVersion();
    if (os < ActionOS_Vista || os > ActionOS_Win8)
    {
        for (const int id : {IDC_GEN_OSD_ENABLE, IDC_GEN_OSD_ALWAYS_SHOW, IDC_GEN_OSD_REDIRECT_WHEEL})
            ::ShowWindow(GetDlgItem(id), SW_HIDE);
    }
    return TRUE;
}

void CGeneralSettings::OnBypassAll()
{
    EnableControls({IDC_GEN_SCROLL_LOCK_BYPASS_DISABLED}, !IsChecked(IDC_GEN_SCROLL_LOCK_BYPASS_ALL));
}

void CGeneralSettings::OnShowTrayIcon()
{
    if (IsChecked(IDC_GEN_SHOW_TRAY_ICON) || m_trayNoteShown)
        return;
    m_trayNoteShown = true;
    const std::wstring first = LookupText(m_language, L"By default, the icon in the system tray (by the clock) is always "
                                                      L"shown. If you turn this off, there will be no icon in the system "
                                                      L"tray by default.");
    const std::wstring second = LookupText(m_language, L"To restore the icon, you can run the program again from your "
                                                       L"start menu. This will force the icon to be displayed "
                                                       L"temporarily, allowing you to access this setup screen.");
    Ask(first + L"\n\n" + second, MB_OK | MB_ICONINFORMATION);
}

// --- Pointer ---

CPointerSettings::CPointerSettings() : CSettingsPage(IDD_POINTER_SETTINGS)
{
    BindCommand(IDC_PTR_ALLOW_SPEED, &CPointerSettings::OnAllowSetSpeed);
}

void CPointerSettings::LoadFromSettings(const CSettings& settings)
{
    m_allowSetSpeed = AsCheck(settings.m_bAllowSetSpeed);
    m_speed = settings.m_nCursorSpeed;
    m_enhancePrecision = AsCheck(settings.m_bEnhancePointerPrecision);
    for (int i = 0; i < 4; ++i)
        m_cycleSpeeds[i] = ClampCycleSpeed(settings.m_nCursorSpeedCycle[i]);
    m_speedBalloons = AsCheck(settings.m_bNotifyCursorSpeed);
    m_movementToScrollCursor = AsCheck(settings.m_bMovementToScrollCursor);
    m_chordCursor = settings.m_nChangeCursorChord;
    m_heldCursor = settings.m_nChangeCursorHeld;
    m_layerCursor = AsCheck(settings.m_bChangeCursorLayer);
}

bool CPointerSettings::DiffersFromSettings(const CSettings& settings) const
{
    for (int i = 0; i < 4; ++i)
    {
        // Against the stored value: a speed clamped while loading is a change.
        if (m_cycleSpeeds[i] != settings.m_nCursorSpeedCycle[i])
            return true;
    }
    return Differs(m_allowSetSpeed, settings.m_bAllowSetSpeed) || m_speed != settings.m_nCursorSpeed ||
           Differs(m_enhancePrecision, settings.m_bEnhancePointerPrecision) ||
           Differs(m_speedBalloons, settings.m_bNotifyCursorSpeed) ||
           Differs(m_movementToScrollCursor, settings.m_bMovementToScrollCursor) ||
           m_chordCursor != settings.m_nChangeCursorChord || m_heldCursor != settings.m_nChangeCursorHeld ||
           Differs(m_layerCursor, settings.m_bChangeCursorLayer);
}

void CPointerSettings::StoreToSettings(CSettings& settings) const
{
    settings.m_bAllowSetSpeed = m_allowSetSpeed != 0;
    settings.m_nCursorSpeed = m_speed;
    settings.m_bEnhancePointerPrecision = m_enhancePrecision != 0;
    for (int i = 0; i < 4; ++i)
        settings.m_nCursorSpeedCycle[i] = m_cycleSpeeds[i];
    settings.m_bNotifyCursorSpeed = m_speedBalloons != 0;
    settings.m_bMovementToScrollCursor = m_movementToScrollCursor != 0;
    settings.m_bChangeCursorLayer = m_layerCursor != 0;
    settings.m_nChangeCursorChord = m_chordCursor;
    settings.m_nChangeCursorHeld = m_heldCursor;
}

void CPointerSettings::DoDataExchange(CDataExchange& dx)
{
    ExchangeCheck(dx, IDC_PTR_ALLOW_SPEED, m_allowSetSpeed);
    ExchangeCheck(dx, IDC_PTR_ENHANCE_PRECISION, m_enhancePrecision);
    constexpr int edits[4] = {IDC_PTR_CS1, IDC_PTR_CS2, IDC_PTR_CS3, IDC_PTR_CS4};
    for (int i = 0; i < 4; ++i)
        ExchangeNumberField(dx, edits[i], m_cycleSpeeds[i], 1, 10, IDC_PTR_CYCLE_LABEL);
    ExchangeCheck(dx, IDC_PTR_SPEED_BALLOONS, m_speedBalloons);
    ExchangeCheck(dx, IDC_PTR_CURSOR_M2S, m_movementToScrollCursor);
    ExchangeCheck(dx, IDC_PTR_CURSOR_CHORD, m_chordCursor);
    ExchangeCheck(dx, IDC_PTR_CURSOR_HELD, m_heldCursor);
    ExchangeCheck(dx, IDC_PTR_CURSOR_LAYER, m_layerCursor);
}

BOOL CPointerSettings::OnInitDialog()
{
    CSettingsPage::OnInitDialog();
    // The system's speeds 1 to 20 in steps of two; the slowest shows as 0.
    const HWND trackbar = GetDlgItem(IDC_PTR_SPEED);
    ::SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
    ::SendMessageW(trackbar, TBM_SETPAGESIZE, 0, 1);
    ::SendMessageW(trackbar, TBM_SETPOS, TRUE, (m_speed == 1 ? 0 : m_speed) / 2);
    m_shownPosition.Showing(static_cast<int>(::SendMessageW(trackbar, TBM_GETPOS, 0, 0)));
    ApplyAllowRule();
    TranslateTexts();
    return TRUE;
}

void CPointerSettings::OnOK()
{
    const int position = static_cast<int>(::SendMessageW(GetDlgItem(IDC_PTR_SPEED), TBM_GETPOS, 0, 0));
    if (m_shownPosition.StoreChange(position))
        m_speed = position == 0 ? 1 : 2 * position;
}

void CPointerSettings::OnAllowSetSpeed()
{
    ApplyAllowRule();
}

void CPointerSettings::ApplyAllowRule()
{
    EnableControls({IDC_PTR_SPEED, IDC_PTR_ENHANCE_PRECISION, IDC_PTR_CS1, IDC_PTR_CS2, IDC_PTR_CS3, IDC_PTR_CS4},
                   IsChecked(IDC_PTR_ALLOW_SPEED));
}

// --- Advanced ---

CAdvancedSettings::CAdvancedSettings() : CSettingsPage(IDD_ADVANCED_SETTINGS)
{
    BindCommand(IDC_ADV_NON_CLIENT, &CAdvancedSettings::OnNonClient);
    BindCommand(IDC_ADV_DEBOUNCE, &CAdvancedSettings::ApplyDebounceRule);
    BindCommand(IDC_ADV_FIX_TILT, &CAdvancedSettings::ApplyTiltRule);
    m_tiltInitialLabel.m_alignment = DT_RIGHT | DT_VCENTER;
    m_tiltRepeatLabel.m_alignment = DT_RIGHT | DT_VCENTER;
}

void CAdvancedSettings::LoadFromSettings(const CSettings& settings)
{
    m_nonClient = AsCheck(settings.m_bProcessNonClientMsgs);
    m_stickyOnButton = AsCheck(settings.get_ResetStickyOnAnyButton());
    m_stickyOnKey = AsCheck(settings.get_ResetStickyOnAnyKey());
    m_stickyOnLayer = AsCheck(settings.get_ResetStickyOnLayerChange());
    m_ignoreNumlock = AsCheck(settings.m_bIgnoreNumlock);
    m_loadUSEnglish = AsCheck(settings.m_bLoadUSEnglish);
    m_resetHooksOnResume = AsCheck(!settings.m_bDisableReinstallOnResume);
    m_filterTouch = AsCheck(settings.m_bFilterTouch);
    m_remapSimulated = AsCheck(settings.m_bRemapSimulatedInput);
    m_debounce = AsCheck(settings.get_EnableDebounce());
    m_debounceTime = settings.get_DebounceTime();
    m_debounceFromUp = AsCheck(settings.get_DebounceFromUp());
    m_fixTilt = AsCheck(settings.m_bFixTiltRepeat);
    m_tiltInitialDelay = static_cast<int>(settings.m_uInitialTiltDelay);
    m_tiltRepeatDelay = static_cast<int>(settings.m_uRepeatTiltDelay);
    m_keyDelay = static_cast<int>(settings.m_uSimKeyDelay);
    m_inactivity = AsCheck(settings.m_bMouseJiggler);
    m_inactivityMinutes = static_cast<int>(settings.m_uMouseJigglerTimeout);
    m_hookTimeout = settings.m_nHookTimeout;
    m_priority = static_cast<int>(settings.m_uPriority);
}

bool CAdvancedSettings::DiffersFromSettings(const CSettings& settings) const
{
    return Differs(m_nonClient, settings.m_bProcessNonClientMsgs) ||
           Differs(m_stickyOnButton, settings.get_ResetStickyOnAnyButton()) ||
           Differs(m_stickyOnKey, settings.get_ResetStickyOnAnyKey()) ||
           Differs(m_stickyOnLayer, settings.get_ResetStickyOnLayerChange()) ||
           Differs(m_ignoreNumlock, settings.m_bIgnoreNumlock) || Differs(m_loadUSEnglish, settings.m_bLoadUSEnglish) ||
           Differs(m_resetHooksOnResume, !settings.m_bDisableReinstallOnResume) ||
           Differs(m_filterTouch, settings.m_bFilterTouch) || Differs(m_remapSimulated, settings.m_bRemapSimulatedInput) ||
           Differs(m_debounce, settings.get_EnableDebounce()) || m_debounceTime != settings.get_DebounceTime() ||
           Differs(m_debounceFromUp, settings.get_DebounceFromUp()) || Differs(m_fixTilt, settings.m_bFixTiltRepeat) ||
           m_tiltInitialDelay != static_cast<int>(settings.m_uInitialTiltDelay) ||
           m_tiltRepeatDelay != static_cast<int>(settings.m_uRepeatTiltDelay) ||
           m_keyDelay != static_cast<int>(settings.m_uSimKeyDelay) || Differs(m_inactivity, settings.m_bMouseJiggler) ||
           m_inactivityMinutes != static_cast<int>(settings.m_uMouseJigglerTimeout) ||
           m_hookTimeout != settings.m_nHookTimeout || m_priority != static_cast<int>(settings.m_uPriority);
}

void CAdvancedSettings::StoreToSettings(CSettings& settings) const
{
    settings.m_bProcessNonClientMsgs = m_nonClient != 0;
    settings.put_ResetStickyOnAnyButton(m_stickyOnButton != 0);
    settings.put_ResetStickyOnAnyKey(m_stickyOnKey != 0);
    settings.put_ResetStickyOnLayerChange(m_stickyOnLayer != 0);
    settings.m_bIgnoreNumlock = m_ignoreNumlock != 0;
    settings.m_bLoadUSEnglish = m_loadUSEnglish != 0;
    settings.m_bDisableReinstallOnResume = m_resetHooksOnResume == 0;
    settings.m_bFilterTouch = m_filterTouch != 0;
    settings.m_bRemapSimulatedInput = m_remapSimulated != 0;
    settings.put_EnableDebounce(m_debounce != 0);
    settings.put_DebounceTime(m_debounceTime);
    settings.put_DebounceFromUp(m_debounceFromUp != 0);
    settings.m_bFixTiltRepeat = m_fixTilt != 0;
    settings.m_uInitialTiltDelay = static_cast<unsigned int>(m_tiltInitialDelay);
    settings.m_uRepeatTiltDelay = static_cast<unsigned int>(m_tiltRepeatDelay);
    settings.m_uSimKeyDelay = static_cast<unsigned int>(m_keyDelay);
    settings.m_bMouseJiggler = m_inactivity != 0;
    settings.m_uMouseJigglerTimeout = static_cast<unsigned int>(m_inactivityMinutes);
    settings.m_nHookTimeout = m_hookTimeout;
    settings.m_uPriority = static_cast<unsigned int>(m_priority);
}

void CAdvancedSettings::DoDataExchange(CDataExchange& dx)
{
    ExchangeCheck(dx, IDC_ADV_NON_CLIENT, m_nonClient);
    ExchangeCheck(dx, IDC_ADV_STICKY_BUTTON, m_stickyOnButton);
    ExchangeCheck(dx, IDC_ADV_STICKY_KEY, m_stickyOnKey);
    ExchangeCheck(dx, IDC_ADV_STICKY_LAYER, m_stickyOnLayer);
    ExchangeCheck(dx, IDC_ADV_IGNORE_NUMLOCK, m_ignoreNumlock);
    ExchangeCheck(dx, IDC_ADV_US_ENGLISH, m_loadUSEnglish);
    ExchangeCheck(dx, IDC_ADV_RESET_HOOKS, m_resetHooksOnResume);
    ExchangeCheck(dx, IDC_ADV_FILTER_TOUCH, m_filterTouch);
    ExchangeCheck(dx, IDC_ADV_REMAP_SIMULATED, m_remapSimulated);
    ExchangeCheck(dx, IDC_ADV_DEBOUNCE, m_debounce);
    // The file's times may lie beyond the fields' ranges: each is kept until
    // the user edits its field.
    ExchangeNumberField(dx, IDC_ADV_DEBOUNCE_TIME, m_debounceTime, 1, 500);
    ExchangeCheck(dx, IDC_ADV_DEBOUNCE_FROM_UP, m_debounceFromUp);
    ExchangeCheck(dx, IDC_ADV_FIX_TILT, m_fixTilt);
    ExchangeNumberField(dx, IDC_ADV_TILT_INITIAL, m_tiltInitialDelay, 1, 500);
    ExchangeNumberField(dx, IDC_ADV_TILT_REPEAT, m_tiltRepeatDelay, 1, 500);
    ExchangeNumberField(dx, IDC_ADV_KEY_DELAY, m_keyDelay, 0, static_cast<int>(CSettings::MaxSimKeyDelay));
    ExchangeCheck(dx, IDC_ADV_INACTIVITY, m_inactivity);
    ExchangeNumberField(dx, IDC_ADV_INACTIVITY_TIME, m_inactivityMinutes, 1, 300);
    ExchangeNumberField(dx, IDC_ADV_HOOK_TIMEOUT, m_hookTimeout, 100, 20000);
}

BOOL CAdvancedSettings::OnInitDialog()
{
    CSettingsPage::OnInitDialog();
    m_tiltInitialLabel.SubclassDlgItem(IDC_ADV_TILT_INITIAL_LABEL, m_hWnd);
    m_tiltRepeatLabel.SubclassDlgItem(IDC_ADV_TILT_REPEAT_LABEL, m_hWnd);
    UpdateData(true);
    ApplyDebounceRule();
    ApplyTiltRule();

    const HWND list = GetDlgItem(IDC_ADV_PRIORITY);
    int selected = -1;
    for (const PriorityEntry& entry : kPriorities)
    {
        const std::wstring text = LookupText(m_language, entry.text);
        const auto index = ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (index < 0)
            continue;
        ::SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(index), entry.priorityClass);
        if (selected < 0 && static_cast<int>(entry.priorityClass) == m_priority)
            selected = static_cast<int>(index);
    }
    // An unknown stored class shows no entry rather than one it is not.
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);

    ::SetDlgItemTextW(m_hWnd, IDC_ADV_TILT_INITIAL_LABEL, L"Initial repeat r&ate");
    ::SetDlgItemTextW(m_hWnd, IDC_ADV_TILT_REPEAT_LABEL, L"&Repeat tilt rate");
    TranslateTexts();
    return TRUE;
}

void CAdvancedSettings::OnOK()
{
    UpdateData(true);
    TakePriority();
}

void CAdvancedSettings::TakePriority()
{
    const HWND list = GetDlgItem(IDC_ADV_PRIORITY);
    const auto index = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index >= 0)
        m_priority = static_cast<int>(::SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

void CAdvancedSettings::OnNonClient()
{
    // Only the box is read and, on No, written: the page's other fields stay
    // as the user left them, a value the page would refuse too.
    m_nonClient = IsChecked(IDC_ADV_NON_CLIENT) ? 1 : 0;
    if (m_nonClient != 0 || m_nonClientWarningAccepted)
        return;
    const std::wstring text =
        LookupText(m_language, L"Please be aware that checking if a mouse message is 'non-client', in order to "
                               L"determine if it should be ignored or not, much more processing is required.") +
        L"\n\n" +
        LookupText(m_language, L"This can slow down mouse operation in general, sometimes causing strange results.") +
        L"\n\n" + LookupText(m_language, L"Are you sure you want to ignore non-client messages?");
    if (Ask(text, MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2) == IDYES)
    {
        m_nonClientWarningAccepted = true;
        return;
    }
    m_nonClient = 1;
    ::CheckDlgButton(m_hWnd, IDC_ADV_NON_CLIENT, BST_CHECKED);
}

void CAdvancedSettings::ApplyDebounceRule()
{
    EnableControls({IDC_ADV_DEBOUNCE_TIME, IDC_ADV_DEBOUNCE_SPIN, IDC_ADV_DEBOUNCE_FROM_UP},
                   IsChecked(IDC_ADV_DEBOUNCE));
}

void CAdvancedSettings::ApplyTiltRule()
{
    EnableControls({IDC_ADV_TILT_INITIAL, IDC_ADV_TILT_REPEAT, IDC_ADV_TILT_INITIAL_SPIN, IDC_ADV_TILT_REPEAT_SPIN},
                   IsChecked(IDC_ADV_FIX_TILT));
}
