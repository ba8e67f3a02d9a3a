#pragma once
// The page of the settings dialog that edits one layer of the selected
// profile: the action of each of the nine buttons, the layer's name, whether
// it is disabled, and its timed switch to another layer. It edits the
// dialog's copy of the settings; nothing reaches the hooks before Apply.
//
// The page keeps the rules that tie layers together: a layer-changing action
// set on a button is mirrored on the layers it affects and removed from them
// again; a layer that another layer switches to cannot switch on itself.

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "ActionList.h"
#include "ColourComboBox.h"
#include "DataExchange.h"
#include "ShownValue.h"
#include "TabCtrlSSL.h"
#include "ThemedButton.h"

class CActionData;
class CApplicationSettings;
class CLangSupport;
class CSettings;
class ILayerTabHost;

class CLayerTab : public CTabPageSSL
{
public:
    explicit CLayerTab(CLangSupport* language, CWindow* parent = nullptr);
    ~CLayerTab() override;

    // Stores the arguments and creates the page (second layout: a second
    // middle button in place of the tilt wheel). False when the window cannot
    // be created.
    virtual bool Create(CSettings* settings, HWND parentTab, const CActionList* actionList, int layer,
                        bool secondLayout, bool portable, bool disabledNextPrev, bool layerDisabled,
                        ILayerTabHost* host);

    // Shows the profile's layer.
    void UpdateApplication(CApplicationSettings* profile);
    // Writes the page into the profile; false without a window or profile.
    bool SaveSettings();
    // A new settings object (the dialog reloaded its file): every picker is emptied.
    void SetSettings(CSettings* settings);

    bool PopulateCombo(int pickerId, int action, int fallback);
    void SetCustomCombo(int button, CActionData* data);
    void PopulateLayerCombo();

    // Shows again the profile shown (after another page changed it).
    void Refill() { UpdateApplication(m_profile); }
    // Empties every picker (the pages of a new settings copy fill them again).
    void ResetActionCombos();

    // The highlight of a pressed button's picker (CLR_INVALID clears it); the
    // tilt and wheel highlights clear themselves after 200 ms (they have no
    // release).
    void HighlightPicker(int button, COLORREF colour);

    int GetLayer() const { return m_layer; }
    CApplicationSettings* GetProfile() const { return m_profile; }
    CColourComboBox* GetPicker(int button) const;
    bool IsSecondLayout() const { return m_secondLayout; }

    // Runs the editor of a custom action for the button. True when the
    // picker's selection stands; keepEditButton asks to keep the edit button
    // enabled.
    bool EditCustomAction(int button, int newAction, int oldAction, CActionData* record, bool& keepEditButton);

    BOOL PreTranslateMessage(MSG* msg) override;

    // Actions whose data an editor changes.
    static bool IsCustomAction(int action);
    static bool IsLayerAction(int action);
    // The layer action that names layer (0-based) itself.
    static int OwnLayerAction(int layer) { return layer < 5 ? layer + 54 : layer + 97; }

    // The seconds of a timed switch the page takes, a time of the profile as
    // the page shows it (as it is, also beyond that range), a step of the
    // arrows (whole seconds from the time shown, kept within the range) and
    // the text the arrows write.
    static constexpr double kMinSwitchSeconds = 0.1;
    static constexpr double kMaxSwitchSeconds = 30.0;
    static double ShownSwitchTime(double seconds);
    static std::wstring SwitchTimeText(double seconds);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    bool HasButton(int button) const { return !(m_secondLayout && button == TiltRightButton); }
    static constexpr int TiltRightButton = 6;
    bool IsDefaultProfile() const;
    int FillAction() const;
    void EnableApply();
    void EnableButtonControls(bool layerDisabled);
    void UpdateLayerControls();
    void SetEditButton(int button, bool enabled);
    void LockPickerWheel(bool lock);
    void RevertPicker(int button);
    std::wstring CurrentPath(int button) const;
    void RemoveLayerAction(int button, int oldAction);
    // Every layer page stored before this one writes other layers; false when a page refused.
    bool StoreLayerPages();
    void RevertChoice(int button, int oldAction);
    // The layer modifier that a button's new action replaced leaves the other
    // layers, unless the new action did not stand.
    void RemoveReplacedLayerAction(int button, int oldAction);

    void SelChangeCombo(UINT id);
    void SelChangeTail(int button, int newAction, int oldAction);
    void OnBnClickedEdit(UINT id);
    void OnBnClickedReset();
    void OnBnClickedCopy();
    void OnBnClickedSwap();
    void MoveLayer(void (ILayerTabHost::*move)(CLayerTab&));
    void OnBnClickedDisable();
    void OnBnClickedDisableNextPrev();
    void OnCbnSelchangeSwitchLayer();
    void OnBnClickedRevert();
    void OnEnChangeSwitchTime();
    LRESULT OnSwitchTimeArrows(NMHDR* header);
    void OnEnChangeLayername();
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    int SwitchLayerValue(int index) const;
    // The switch-to entry of the profile's stored target (-1: none, it is
    // beyond the layers in use).
    int StoredSwitchIndex() const;

    const CActionList* m_actionList = nullptr;
    int m_layer = -1;
    double m_seconds = 1.0;
    bool m_revert = false;
    bool m_secondLayout = false;
    bool m_portable = false;
    bool m_layerDisabled = false;
    bool m_disabledNextPrev = false;
    int m_switchIndex = 0;
    // What the fields showed of the profile: only what the user changed is
    // written back.
    std::array<CShownValue<int>, 9> m_shownActions;
    CShownValue<std::wstring> m_shownName;
    CShownValue<int> m_shownSwitchIndex;
    CShownValue<double> m_shownSeconds;
    CNumberFields m_numbers;
    bool m_filling = false;
    CXButtonXP m_copy;
    CXButtonXP m_swap;
    CXButtonXP m_reset;
    std::array<CXButtonXP, 9> m_editButtons;
    CSettings* m_settings = nullptr;
    CApplicationSettings* m_profile = nullptr;
    std::array<std::unique_ptr<CColourComboBox>, 9> m_pickers;
    std::wstring m_folder;
    HWND m_toolTip = nullptr;
    HWND m_parentTab = nullptr;
    CLangSupport* m_language;
    ILayerTabHost* m_host = nullptr;
    int m_osVersion = 0;
};
