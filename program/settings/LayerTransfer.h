#pragma once
// Copy and swap of whole layers: what moves with a layer (its name, per
// button the action with its description, keystrokes, program, chord and
// timed-click lists and movement-to-scroll options, and the layer's own
// flags), the two small dialogs that ask for the target, and the runs the
// layer pages start from their Copy and Swap buttons.

#include <windows.h>

#include "Dialog.h"
#include "ListControls.h"

class CApplicationSettings;
class CLangSupport;
class CSettings;
class CSetupDialog;

// Copies layer from of source into layer to of target. withFlags: also the
// revert, auto-switch time and both disable flags; withTarget: also the
// auto-switch target layer.
void CopyLayerInto(const CApplicationSettings& source, int from, CApplicationSettings& target, int to, bool withFlags,
                   bool withTarget);
// Exchanges two layers of a profile. The auto-switch targets stay with their
// layer positions; layer index 0 never takes the other layer's flags.
void SwapLayers(CApplicationSettings& profile, int current, int other);

// The text of a layer in the layer lists: "Layer n", or from six layers on
// only the number for every layer but the first.
std::wstring LayerItemText(CLangSupport* language, int layer, int maxLayers);

class CCopyLayerDlg : public CDialog
{
public:
    CCopyLayerDlg(CWindow* parent, CLangSupport* language, CSettings* settings, CApplicationSettings* sourceProfile,
                  int sourceLayer);

    CApplicationSettings* m_chosenProfile = nullptr;
    int m_chosenLayer = -1;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnCbnSelchangeComboProfile();

    CLangSupport* m_language;
    CSettings* m_settings;
    CApplicationSettings* m_sourceProfile;
    int m_sourceLayer;
    CComboBox m_profiles;
    CComboBox m_layers;
};

class CSwapLayerDlg : public CDialog
{
public:
    CSwapLayerDlg(CWindow* parent, CLangSupport* language, CSettings* settings, CApplicationSettings* profile,
                  int currentLayer);

    int m_chosenLayer = -1;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    CLangSupport* m_language;
    CSettings* m_settings;
    CApplicationSettings* m_profile;
    int m_currentLayer;
    CComboBox m_layers;
};

// The Copy and Swap buttons of a layer page showing layer of profile: asks
// for the target, changes the dialog's settings copy and refills the pages.
// True when something changed.
bool RunCopyLayer(CSetupDialog& dialog, CWindow* page, CApplicationSettings* profile, int layer);
bool RunSwapLayer(CSetupDialog& dialog, CWindow* page, CApplicationSettings* profile, int layer);
