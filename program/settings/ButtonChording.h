#pragma once
// The chord editor: for each other button, the action that runs when it is
// pressed while this one is held, for this button the action when no chord
// happens, and how long its own action is held back until a chord is known.
// It edits a copy; the caller reads Result() after IDOK.

#include "ActionEditorBase.h"
#include "Chords.h"

class CButtonChording : public CActionEditorBase
{
public:
    // chords may be null: a new set. quillonMode: the second layout, without the
    // seventh button.
    CButtonChording(int button, const ActionEditorContext& context, const CBRMPChords* chords, bool quillonMode,
                    CWindow* parent);

    const CBRMPChords& Result() const { return m_chords; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
    int StoredAction(int row) const override;
    const wchar_t* LogClass() const override { return L"CButtonChording"; }
    std::wstring LogRow(int row) const override { return L"(button " + std::to_wstring(row) + L")"; }

private:
    void OnOptionClick();
    void EnableOptions();
    bool RowExists(int row) const { return !(m_quillonMode && row == 6); }

    int m_button;
    bool m_quillonMode;
    CBRMPChords m_chords;
    bool m_delayUntilKnown = true;
    bool m_unblockAfterDelay = true;
    bool m_unblockAfterMovement = true;
    int m_unblockTime = 750;
};
