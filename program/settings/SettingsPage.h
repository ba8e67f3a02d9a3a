#pragma once
// What every page of the global settings sheet shares: the language it shows
// its texts in, the note at its foot, and small control helpers.

#include <windows.h>

#include <initializer_list>
#include <string>

#include "DataExchange.h"
#include "MyStatic.h"
#include "PropertySheet.h"

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
    // A message box owned by the sheet, its texts already translated.
    int Ask(const std::wstring& text, UINT type);
    // A number field bound to value under the dialogs' rule for number
    // fields (CNumberFields): shown as it is, its arrows over minimum..maximum,
    // read only once the user changed it, and checked while the user can
    // still edit it. A refusal names the field by the label before it (after
    // groupLabel's text, when given) and focuses it.
    void ExchangeNumberField(CDataExchange& dx, int id, int& value, int minimum, int maximum, int groupLabel = 0);

    CLangSupport* m_language;
    CMyStatic m_note;

private:
    CNumberFields m_numbers;
};

// True for a wheel message aimed at a disabled window: dialogs and pages
// swallow it so that it does not scroll a control the user cannot use.
bool IsWheelForDisabledWindow(const MSG* msg);
