#pragma once
// The "Scrolling" page of the settings dialog: the wheel options of the
// selected profile (inversion, pages or lines, the line count, forcing the
// system's setting) and the advanced window-scrolling method with its step
// sizes. The check boxes and the line count change the profile at once; the
// method and step sizes when the dialog stores its pages.

#include <windows.h>

#include "DataExchange.h"
#include "SetupPages.h"
#include "ShownValue.h"
#include "TabCtrlSSL.h"

class CLayerScrollingTab : public CTabPageSSL, public ISetupProfilePage
{
public:
    // The method values of the method list, in the list's order.
    static constexpr int kDefaultMethod = 8;
    static constexpr int kNoScrolling = 9;
    static constexpr int kMaxLines = 100;
    // The step sizes the fields and their arrows take.
    static constexpr int kMaxStep = 1000;

    explicit CLayerScrollingTab(CLangSupport* language);
    ~CLayerScrollingTab() override;

    CTabPageSSL& Page() override { return *this; }
    bool CreatePage(const SetupPageContext& context) override;
    void SetSettings(CSettings* settings) override { m_settings = settings; }
    void ShowProfile(CApplicationSettings* profile) override { UpdateApplication(profile); }
    bool StoreProfile() override { return m_profile == nullptr || !IsWindow() || SaveSettings(); }

    void UpdateApplication(CApplicationSettings* profile);
    // False without a profile, or when a step size is refused (the profile is then as it was).
    bool SaveSettings();

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    void OnCbnSelchangeScrollMethod();
    void OnBnClickedInvert();
    void OnBnClickedInvertHorz();
    void OnBnClickedScrollPages();
    void OnBnClickedForceSPI();
    void OnEnChangeScrollLines();
    void OnEnUpdateVertical();
    void OnEnUpdateHorizontal();
    bool Checked(int id) const;
    // The text of the label that follows a step field and its arrows.
    std::wstring LabelAfter(int id) const;
    void EnableStepSizes(bool enable);
    void EnableApply();

    CSetupDialog* m_dialog = nullptr;
    CSettings* m_settings = nullptr;
    CApplicationSettings* m_profile = nullptr;
    CLangSupport* m_language;
    int m_methodIndex = 0;
    int m_advancedVertical = 1;
    int m_advancedHorizontal = 1;
    // What the method and step fields showed of the profile: only what the
    // user changed is written back.
    CShownValue<int> m_shownMethod;
    CShownValue<int> m_shownVertical;
    CShownValue<int> m_shownHorizontal;
    CNumberFields m_numbers;
    int m_lines = 3;
    int m_initialLines = 3;
    // Set while the page fills its own controls: their notes are not edits.
    bool m_filling = false;
};
