#include "Movement2ScrollDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "ActionData.h"
#include "CaughtException.h"
#include "DataExchange.h"
#include "LangSupport.h"
#include "Movement2Scroll.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
constexpr int kMinSensitivity = 1;
constexpr int kMaxSensitivity = 40;
constexpr int kAxisLocks = 4;
} // namespace

CMovement2ScrollDlg::CMovement2ScrollDlg(CMovement2Scroll* options, int button, const ActionEditorContext& context,
                                         CWindow* parent)
    : CActionEditorBase(IDD_MOVEMENT2SCROLL, context, EditorPickerLimits{false, true}, parent), m_options(options),
      m_button(button)
{
    BindCommand(IDC_MS_STICKY, &CMovement2ScrollDlg::OnStickyClick);
}

int CMovement2ScrollDlg::StoredAction(int) const
{
    return m_options != nullptr ? static_cast<int>(m_options->GetNoMovementAction()) : 40;
}

std::wstring CMovement2ScrollDlg::KeyEditorTitle(int) const
{
    return LookupText(m_language, std::wstring(L"Movement To Scroll Default Action"));
}

bool CMovement2ScrollDlg::HandlesAction(int action) const
{
    return action == 28 || action == 41 || action == 59;
}

void CMovement2ScrollDlg::RevertRow(int row)
{
    CColourComboBox& picker = *RowAt(row).picker;
    const int index = picker.FindItemText(LookupText(m_language, std::wstring(L"Disable")).c_str());
    if (index >= 0)
        picker.SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(index));
}

void CMovement2ScrollDlg::DoDataExchange(CDataExchange& dx)
{
    ExchangeCheck(dx, IDC_MS_BLOCK_MOUSE, m_blockMouse);
    ExchangeCheck(dx, IDC_MS_STICKY, m_sticky);
    ExchangeCheck(dx, IDC_MS_STICKY_BLOCK, m_stickyBlock);
    ExchangeCheck(dx, IDC_MS_INVERT_V, m_invertVertical);
    ExchangeCheck(dx, IDC_MS_INVERT_H, m_invertHorizontal);
    m_numbers.Exchange(dx, IDC_MS_VERTICAL, m_sensitivityY, kMinSensitivity, kMaxSensitivity);
    m_numbers.Exchange(dx, IDC_MS_HORIZONTAL, m_sensitivityX, kMinSensitivity, kMaxSensitivity);
    ExchangeRadio(dx, IDC_MS_LOCK_NONE, m_axisLock);
}

BOOL CMovement2ScrollDlg::OnInitDialog()
{
    try
    {
        CDialog::OnInitDialog();
        TranslateWindowTexts(m_language, m_hWnd, {IDC_MS_VERTICAL, IDC_MS_HORIZONTAL, IDC_ROW_PICKER});
        if (m_options != nullptr)
        {
            m_blockMouse = m_options->IsButtonBlocked();
            m_sticky = m_options->IsSticky();
            m_stickyBlock = m_options->IsStickyBlock();
            m_axisLock = std::clamp(m_options->GetAxisLocked(), 0, kAxisLocks - 1);
            m_invertVertical = m_options->InvertVertical();
            m_invertHorizontal = m_options->InvertHorizontal();
            m_sensitivityY = m_options->getSensitivityY();
            m_sensitivityX = m_options->getSensitivityX();
        }
        ::EnableWindow(GetDlgItem(IDC_MS_STICKY_BLOCK), m_sticky);
        InitRow(0, StoredAction(0), m_options != nullptr ? m_options->GetActionData() : nullptr);
        UpdateData(false);
    }
    catch (...)
    {
        LogCaughtException(L"CMovement2ScrollDlg::OnInitDialog");
    }
    return TRUE;
}

void CMovement2ScrollDlg::OnStickyClick()
{
    const bool sticky = ::IsDlgButtonChecked(m_hWnd, IDC_MS_STICKY) == BST_CHECKED;
    ::EnableWindow(GetDlgItem(IDC_MS_STICKY_BLOCK), sticky);
    EnableRow(0, !sticky);
}

void CMovement2ScrollDlg::OnOK()
{
    try
    {
        if (!UpdateData(true))
            return;
        if (m_options != nullptr)
        {
            m_options->SetBlockMouse(m_blockMouse);
            m_options->SetInvertVertical(m_invertVertical);
            m_options->SetInvertHorizontal(m_invertHorizontal);
            m_options->SetSticky(m_sticky);
            m_options->SetStickyBlock(m_stickyBlock);
            m_options->SetAxisLock(m_axisLock < 0 ? 0 : m_axisLock);
            m_options->SetSensitivityY(m_sensitivityY);
            m_options->SetSensitivityX(m_sensitivityX);
            // Only a default action the user chose or edited is stored.
            if (const CActionData* data = SelectedData(0); data != nullptr && ShouldStoreRow(0))
                m_options->SetActionData(data);
        }
        EndDialog(IDOK);
    }
    catch (...)
    {
        LogCaughtException(L"CMovement2ScrollDlg::OnBnClickedButton1");
    }
}
