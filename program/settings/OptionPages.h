#pragma once
// The first three pages of the global settings sheet: General, Pointer and
// Advanced. Each keeps every option in a member; the settings dialog loads the
// members from its settings copy before the sheet runs and stores them back
// after OK. The pages themselves never touch the settings otherwise.

#include <windows.h>

#include "SettingsPage.h"
#include "ShownValue.h"

class CSettings;

class CGeneralSettings : public CSettingsPage
{
public:
    static constexpr int kOptionCount = 18;

    CGeneralSettings();

    // Returns the layer count.
    int LoadFromSettings(const CSettings& settings);
    bool DiffersFromSettings(const CSettings& settings) const;
    // True when the layer count changed.
    bool StoreToSettings(CSettings& settings) const;

    // One member per check box, in the order of the page (0 or 1).
    int m_options[kOptionCount] = {};
    int m_layers = 2;
    // Carried through the page unchanged: no control shows it.
    int m_activateOnMouseOver = 0;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    void OnBypassAll();
    void OnShowTrayIcon();

    bool m_trayNoteShown = false;
};

class CPointerSettings : public CSettingsPage
{
public:
    CPointerSettings();

    void LoadFromSettings(const CSettings& settings);
    bool DiffersFromSettings(const CSettings& settings) const;
    void StoreToSettings(CSettings& settings) const;

    int m_allowSetSpeed = 1;
    int m_speed = 10;
    int m_enhancePrecision = 0;
    int m_cycleSpeeds[4] = {5, 4, 5, 1};
    int m_speedBalloons = 0;
    int m_movementToScrollCursor = 1;
    int m_chordCursor = 1; // 0, 1 or 2
    int m_heldCursor = 1;  // 0, 1 or 2
    int m_layerCursor = 1;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;

private:
    void OnAllowSetSpeed();
    void ApplyAllowRule();

    // A speed between the slider's steps stays as it is unless the slider moves.
    CShownValue<int> m_shownPosition;
};

class CAdvancedSettings : public CSettingsPage
{
public:
    CAdvancedSettings();

    void LoadFromSettings(const CSettings& settings);
    bool DiffersFromSettings(const CSettings& settings) const;
    void StoreToSettings(CSettings& settings) const;

    int m_nonClient = 1;
    int m_stickyOnButton = 0;
    int m_stickyOnKey = 0;
    int m_stickyOnLayer = 1;
    int m_ignoreNumlock = 1;
    int m_loadUSEnglish = 0;
    int m_resetHooksOnResume = 1;
    int m_filterTouch = 0;
    int m_remapSimulated = 1;
    int m_debounce = 0;
    int m_debounceTime = 50;
    int m_debounceFromUp = 0;
    int m_fixTilt = 0;
    int m_tiltInitialDelay = 200;
    int m_tiltRepeatDelay = 100;
    int m_keyDelay = 1;
    int m_inactivity = 0;
    int m_inactivityMinutes = 30;
    int m_hookTimeout = 200;
    // A Windows priority class; one that matches no entry of the list stays
    // as it is unless the user picks an entry.
    int m_priority = HIGH_PRIORITY_CLASS;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;

private:
    void OnNonClient();
    void ApplyDebounceRule();
    void ApplyTiltRule();
    void TakePriority();

    CMyStatic m_tiltInitialLabel;
    CMyStatic m_tiltRepeatLabel;
    bool m_nonClientWarningAccepted = false;
};
