#pragma once
// The modifier keys page of the global settings sheet: the 13 layer modifier
// keys on two tabs, each a list of modifier combinations and a hotkey control
// for the plain key, and the switch that enables them. The keys go straight
// into the settings copy's table at OK; Cancel leaves it alone.

#include <windows.h>

#include "SettingsPage.h"
#include "TabCtrlSSL.h"

class CLayerModifierKeys;
class CLangSupport;

// The list position that shows a stored modifier value (bit 15, the extended
// flag, ignored); 0 ("None") for a value the list does not offer.
int ModifierListPosition(unsigned short modifier);

class CModifierTabs : public CTabPageSSL
{
public:
    explicit CModifierTabs(UINT templateId);
    ~CModifierTabs() override;
    CModifierTabs(const CModifierTabs&) = delete;
    CModifierTabs& operator=(const CModifierTabs&) = delete;

    bool Create(CLayerModifierKeys* table, int* changed, CWindow* parent);
    void Store();

private:
    CLayerModifierKeys* m_table = nullptr;
    int* m_changed = nullptr;
    CLangSupport* m_language;
    CMyStatic m_note;
};

class CLayerSettings : public CSettingsPage
{
public:
    CLayerSettings();

    // Given by the owner before the sheet runs.
    CLayerModifierKeys* m_table = nullptr;
    int* m_changed = nullptr;
    int m_enable = 0;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
    void OnCancel() override;

private:
    CMyStatic m_explanation;
    CTabCtrlSSL m_tabs;
    CModifierTabs m_layerTab;
    CModifierTabs m_otherTab;
};
