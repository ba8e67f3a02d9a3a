#pragma once
// The modifier keys page of the global settings sheet: the 13 layer modifier
// keys on two tabs, each a list of modifier combinations and a hotkey control
// for the plain key, and the switch that enables them. The keys go straight
// into the settings copy's table at OK; Cancel leaves it alone.

#include <windows.h>

#include <map>

#include "HotkeyField.h"
#include "SettingsPage.h"
#include "ShownValue.h"
#include "TabCtrlSSL.h"

class CLayerModifierKeys;
class CLangSupport;

// The list position that shows a stored modifier value (bit 15, the extended
// flag, ignored); -1 (no entry shown) for a value the list does not offer, so
// that every choice there, "None" too, is a change.
int ModifierListPosition(unsigned short modifier);

class CModifierTabs : public CTabPageSSL
{
public:
    explicit CModifierTabs(UINT templateId);
    ~CModifierTabs() override;
    CModifierTabs(const CModifierTabs&) = delete;
    CModifierTabs& operator=(const CModifierTabs&) = delete;

    bool Create(CLayerModifierKeys* table, int* changed, CWindow* parent);
    // Writes what the user changed into the table: the plain key (with its
    // extended flag) of a key control that changed, the combination of a list
    // whose choice changed. What a control was left showing keeps the stored
    // value, also one it cannot show (a key code beyond 8 bits, a combination
    // the list has no entry for).
    void Store();

private:
    CLayerModifierKeys* m_table = nullptr;
    std::map<int, CHotkeyField> m_keyFields;
    // What each key control and each list showed, by modifier key index.
    std::map<int, CShownValue<LRESULT>> m_shownKeys;
    std::map<int, CShownValue<LRESULT>> m_shownLists;
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
