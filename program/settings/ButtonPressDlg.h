#pragma once
// The timed-click editor ("Button Held"): a normal-click action and up to three
// actions chosen by how long the button is held, with their minimum hold times,
// and how the hold ends (release on up, abort when the mouse moves). It edits
// a copy; the caller reads Result() after IDOK.

#include "ActionEditorBase.h"
#include "TimedClicks.h"

class CButtonPressDlg : public CActionEditorBase
{
public:
    // clicks may be null: a new set for the button.
    CButtonPressDlg(int button, const ActionEditorContext& context, const CBRMPTimedClicks* clicks, bool quillonMode,
                    CWindow* parent);

    const CBRMPTimedClicks& Result() const { return m_clicks; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
    int StoredAction(int row) const override;
    const wchar_t* LogClass() const override { return L"CButtonPressDlg"; }
    std::wstring LogRow(int row) const override { return L"(press " + std::to_wstring(row) + L")"; }
    // "Normal Click", or "Held for 600 ms" for a held row.
    std::wstring KeyEditorTitle(int row) const override;

private:
    void OnHeldClick(UINT id);
    void OnAbortClick(UINT id);
    void EnableHeldRow(int row, bool enabled);

    int m_button;
    CBRMPTimedClicks m_clicks;
    int m_times[3] = {500, 2000, 3000};
};
