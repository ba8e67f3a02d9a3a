#pragma once
// The "Options" page of the settings dialog: the per-profile options of the
// selected profile (pointer speed and precision, button swap, clipping the
// pointer, the cursor shown while the profile is in force, ignoring repeated
// remapped scrolling, and a command run when the profile becomes active).
// Some options are written into the profile at once when clicked; the others
// when the dialog stores its pages.

#include <windows.h>

#include <string>

#include "SetupPages.h"
#include "DataExchange.h"
#include "ShownValue.h"
#include "TabCtrlSSL.h"

class CProfileOptionsTab : public CTabPageSSL, public ISetupProfilePage
{
public:
    explicit CProfileOptionsTab(CLangSupport* language);
    ~CProfileOptionsTab() override;

    CTabPageSSL& Page() override { return *this; }
    bool CreatePage(const SetupPageContext& context) override;
    void SetSettings(CSettings* settings) override;
    void ShowProfile(CApplicationSettings* profile) override { LoadProfile(profile); }
    // True without a profile (nothing to store); false when an ignore time is refused.
    bool StoreProfile() override;

    void LoadProfile(CApplicationSettings* profile);

    // Trackbar position and the system's pointer speed (1-20) it stands for.
    static int SpeedFromPosition(int position) { return position == 0 ? 1 : position * 2; }
    static int PositionFromSpeed(int speed) { return (speed == 1 ? 0 : speed) / 2; }
    // The ignore times the fields and their arrows take, in milliseconds.
    static constexpr int kMaxIgnoreTime = 1000;

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    void FillCursorList();
    void EnableForGlobalOptions();
    // The cursor value the list shows: the colour number or the file name.
    std::wstring SelectedCursor() const;
    int SelectedIndex(int listId) const;
    int SpeedPosition() const;
    void SelectCursor(const wchar_t* value);
    void SelectCommandFromProfile();
    bool Checked(int id) const;
    // The boxes that code shows in the mixed state (not changed by a click itself).
    static bool IsThreeStateBox(int id);
    void EnableApply();
    void OnCheck(UINT id);
    void OnSwapButtons();
    void OnCursorChanged();
    void OnCommandChanged();
    void OnIgnoreTimeChanged(UINT id);
    LRESULT OnHScroll(WPARAM, LPARAM control);
    void OnBrowse();

    CSetupDialog* m_dialog = nullptr;
    CSettings* m_settings = nullptr;
    CApplicationSettings* m_profile = nullptr;
    CLangSupport* m_language;
    int m_verticalIgnoreTime = 200;
    int m_horizontalIgnoreTime = 400;
    std::wstring m_script;
    bool m_filling = false;
    // What the fields showed of the profile: a speed between the slider's
    // steps or the system's (-1), a time beyond its field, a cursor no entry
    // names; only what the user changed is written back.
    CNumberFields m_numbers;
    CShownValue<int> m_shownVerticalIgnoreTime;
    CShownValue<int> m_shownHorizontalIgnoreTime;
    CShownValue<int> m_shownSwap;
    CShownValue<bool> m_shownOverrideSpeed;
    CShownValue<int> m_shownSpeed;
    CShownValue<int> m_shownCursor;
    CShownValue<std::wstring> m_shownScript;
};
