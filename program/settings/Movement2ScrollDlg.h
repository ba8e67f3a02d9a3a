#pragma once
// The movement-to-scroll editor: how movement while the button is held turns
// into scrolling (sensitivity, inversion, axis lock, stickiness) and the action
// of a press without movement. It edits the options object its caller hands
// in, and writes into it only on OK.

#include "ActionEditorBase.h"

class CMovement2Scroll;

class CMovement2ScrollDlg : public CActionEditorBase
{
public:
    CMovement2ScrollDlg(CMovement2Scroll* options, int button, const ActionEditorContext& context, CWindow* parent);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
    int StoredAction(int row) const override;
    const wchar_t* LogClass() const override { return L"CMovement2ScrollDlg"; }
    std::wstring KeyEditorTitle(int row) const override;
    bool KeyEditorStickyAllowed() const override { return true; }
    bool HandlesAction(int action) const override;
    void RevertRow(int row) override;
    int ButtonOfRow(int) const override { return m_button; }

private:
    void OnStickyClick();

    CMovement2Scroll* m_options;
    int m_button;
    int m_sensitivityX = 1;
    int m_sensitivityY = 1;
    bool m_invertVertical = false;
    bool m_invertHorizontal = false;
    bool m_stickyBlock = false;
    bool m_sticky = false;
    bool m_blockMouse = false;
    int m_axisLock = 0;
};
