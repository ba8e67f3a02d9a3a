#pragma once
// The hotkeys page of the global settings sheet: the 25 global hotkeys on two
// tabs, each in a hotkey control, and the switch that enables them. The keys
// go straight into the settings copy's table at OK; Cancel leaves it alone.

#include <windows.h>

#include <map>

#include "HotkeyField.h"
#include "SettingsPage.h"
#include "ShownValue.h"
#include "TabCtrlSSL.h"

class CHotKeys;
class CLangSupport;

class CHotkeyTabs : public CTabPageSSL
{
public:
    explicit CHotkeyTabs(UINT templateId);
    ~CHotkeyTabs() override;
    CHotkeyTabs(const CHotkeyTabs&) = delete;
    CHotkeyTabs& operator=(const CHotkeyTabs&) = delete;

    // Creates the tab's window under parent and shows the table's keys; false
    // when the window cannot be created.
    bool Create(CHotKeys* table, int* changed, CWindow* parent);
    // The control holding F12 without a modifier, which the system keeps for
    // itself; null when there is none. A control left as it was holds the
    // stored key, which its 8+8 bits may show as F12 without being it.
    HWND FindReservedKey() const;
    // Writes the key of every control the user changed into the table; the
    // owner's changed flag is raised when a key changed. A control left as it
    // was keeps the stored key, also one it cannot show (a key code or
    // modifier beyond its 8 bits). No table: nothing to do.
    void Store();

private:
    CHotKeys* m_table = nullptr;
    // Each hotkey control, and what it showed of its stored key, by hotkey index.
    std::map<int, CHotkeyField> m_fields;
    std::map<int, CShownValue<LRESULT>> m_shown;
    int* m_changed = nullptr;
    CLangSupport* m_language;
};

class CHotkeySettings : public CSettingsPage
{
public:
    CHotkeySettings();

    // Given by the owner before the sheet runs.
    CHotKeys* m_table = nullptr;
    int* m_changed = nullptr;
    int m_enable = 0;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    // F12 alone keeps the page up on its tab, with a warning.
    BOOL OnKillActive() override;
    BOOL OnApply() override;
    void OnCancel() override;

private:
    bool RefuseReservedKey();

    CTabCtrlSSL m_tabs;
    CHotkeyTabs m_layerTab;
    CHotkeyTabs m_otherTab;
};
