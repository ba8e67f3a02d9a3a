#pragma once
// What every page of the global settings sheet shares: the language it shows
// its texts in, the note at its foot, and small control helpers.

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>

#include "MyStatic.h"
#include "PropertySheet.h"
#include "ShownValue.h"

class CDataExchange;
class CLangSupport;

class CSettingsPage : public CPropertyPage
{
public:
    explicit CSettingsPage(UINT templateId);
    ~CSettingsPage() override;
    CSettingsPage(const CSettingsPage&) = delete;
    CSettingsPage& operator=(const CSettingsPage&) = delete;

    // Wheel messages aimed at a disabled control go nowhere.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    // Base initialisation, then the note (control 1121, if the page has one)
    // painted bottom-aligned.
    BOOL OnInitDialog() override;
    // The page's caption and every child's text in the language.
    void TranslateTexts();

    bool IsChecked(int id) const;
    void EnableControls(std::initializer_list<int> ids, bool enable);
    void SetSpinRange(int id, int low, int high);
    // A message box owned by the sheet, its texts already translated.
    int Ask(const std::wstring& text, UINT type);
    // A number field bound to value, which may hold a stored value beyond
    // minimum..maximum (the loader takes values the engine uses that the
    // field's range leaves out). The field shows the value as it is. Saving
    // reads and checks it only when the user changed what it showed and can
    // still edit it; otherwise value stays as it is, so that a field left
    // alone or greyed never keeps the page up. A refusal names the field by
    // the label before it (after groupLabel's text, when given) and focuses it.
    void ExchangeNumberField(CDataExchange& dx, int id, int& value, int minimum, int maximum, int groupLabel = 0);

    CLangSupport* m_language;
    CMyStatic m_note;

private:
    // What each number field showed, by control id.
    std::map<int, CShownValue<std::wstring>> m_shownNumbers;
};

// True for a wheel message aimed at a disabled window: dialogs and pages
// swallow it so that it does not scroll a control the user cannot use.
bool IsWheelForDisabledWindow(const MSG* msg);
