#include "ButtonPressDlg.h"

#include <commctrl.h>

#include "ActionData.h"
#include "DataExchange.h"
#include "LangSupport.h"
#include "MessageBox.h"
#include "StringFormat.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
constexpr int kMinHoldMs = 50;
constexpr int kMaxHoldMs = 10000;
constexpr int kHeldRows = 3;

int HeldBox(int row) { return IDC_TC_HELD1 + row - 1; }
int TimeEdit(int row) { return IDC_TC_TIME1 + row - 1; }
int TimeSpin(int row) { return IDC_TC_SPIN1 + row - 1; }
} // namespace

CButtonPressDlg::CButtonPressDlg(int button, const ActionEditorContext& context, const CBRMPTimedClicks* clicks,
                                 bool quillonMode, CWindow* parent)
    : CActionEditorBase(IDD_TIMED_CLICKS, context, EditorPickerLimits{true, false}, parent), m_button(button)
{
    if (clicks != nullptr)
        m_clicks = *clicks;
    else
        m_clicks.Initialise(static_cast<MouseButtons>(button), quillonMode);
    BindCommandRange(IDC_TC_HELD1, IDC_TC_HELD3, &CButtonPressDlg::OnHeldClick);
    BindControlRange(0, IDC_TC_ABORT_MOVE, IDC_TC_ABORT_MOVE, [this](UINT id) { OnAbortClick(id); });
    BindControlRange(0, IDC_TC_ABORT2_MOVE, IDC_TC_ABORT2_MOVE, [this](UINT id) { OnAbortClick(id); });
}

int CButtonPressDlg::StoredAction(int row) const
{
    const CBRMPTimedClick* entry = m_clicks.GetTimedClick(row);
    return entry != nullptr ? static_cast<int>(entry->GetAction()) : -1;
}

std::wstring CButtonPressDlg::KeyEditorTitle(int row) const
{
    if (row == 0)
        return CActionEditorBase::KeyEditorTitle(row);
    wchar_t held[64] = {};
    wchar_t time[32] = {};
    ::GetDlgItemTextW(m_hWnd, HeldBox(row), held, 64);
    ::GetDlgItemTextW(m_hWnd, TimeEdit(row), time, 32);
    std::wstring title = FormatString(L"%s %s ms", held, time);
    std::erase(title, L'&');
    return title;
}

void CButtonPressDlg::DoDataExchange(CDataExchange& dx)
{
    // Every row's box reads the same: a refusal says which row it means.
    static constexpr const wchar_t* kRowNames[kHeldRows] = {L"%s (first row)", L"%s (second row)",
                                                            L"%s (third row)"};
    for (int row = 1; row <= kHeldRows; ++row)
    {
        const std::wstring box = LabelText(GetDlgItem(HeldBox(row)));
        m_numbers.Exchange(dx, TimeEdit(row), m_times[row - 1], kMinHoldMs, kMaxHoldMs,
                           LookupText(m_language, kRowNames[row - 1], box.c_str()));
    }
}

BOOL CButtonPressDlg::OnInitDialog()
{
    for (int row = 1; row <= kHeldRows; ++row)
        m_times[row - 1] = m_clicks.GetTime(row);
    CDialog::OnInitDialog();
    ::CheckDlgButton(m_hWnd, IDC_TC_ABORT_MOVE, m_clicks.GetAbortOnMouseMove() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_TC_ABORT2_MOVE, m_clicks.GetAbort2OnMouseMove() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_TC_RELEASE_ON_UP, m_clicks.GetReleaseOnUp() ? BST_CHECKED : BST_UNCHECKED);
    for (int row = 0; row <= kHeldRows; ++row)
    {
        if (row > 0)
            ::CheckDlgButton(m_hWnd, HeldBox(row), m_clicks.GetEnabled(row) ? BST_CHECKED : BST_UNCHECKED);
        const CBRMPTimedClick* entry = m_clicks.GetTimedClick(row);
        InitRow(row, StoredAction(row), entry != nullptr ? entry->GetActionData() : nullptr);
    }
    TranslateWindowTexts(m_language, m_hWnd,
                         {IDC_TC_TIME1, IDC_TC_TIME2, IDC_TC_TIME3, IDC_ED_DESCRIPTION, IDC_ROW_PICKER,
                          IDC_ROW_PICKER + 1, IDC_ROW_PICKER + 2, IDC_ROW_PICKER + 3});
    for (int row = 1; row <= kHeldRows; ++row)
        EnableHeldRow(row, m_clicks.GetEnabled(row));
    if (const wchar_t* description = m_clicks.GetDescription())
        ::SetDlgItemTextW(m_hWnd, IDC_ED_DESCRIPTION, description);
    return TRUE;
}

void CButtonPressDlg::EnableHeldRow(int row, bool enabled)
{
    ::EnableWindow(GetDlgItem(TimeEdit(row)), enabled);
    ::EnableWindow(GetDlgItem(TimeSpin(row)), enabled);
    EnableRow(row, enabled);
}

void CButtonPressDlg::OnHeldClick(UINT id)
{
    const int row = static_cast<int>(id) - IDC_TC_HELD1 + 1;
    const bool enabled = ::IsDlgButtonChecked(m_hWnd, static_cast<int>(id)) == BST_CHECKED;
    EnableHeldRow(row, enabled);
    m_clicks.SetEnabled(row, enabled);
    RowAt(row).touched = true;
    m_modified = true;
}

void CButtonPressDlg::OnAbortClick(UINT id)
{
    if (::IsDlgButtonChecked(m_hWnd, static_cast<int>(id)) != BST_CHECKED)
        return;
    ::CheckDlgButton(m_hWnd, id == IDC_TC_ABORT_MOVE ? IDC_TC_ABORT2_MOVE : IDC_TC_ABORT_MOVE, BST_UNCHECKED);
}

void CButtonPressDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    bool ticked[kHeldRows];
    for (int row = 1; row <= kHeldRows; ++row)
        ticked[row - 1] = ::IsDlgButtonChecked(m_hWnd, HeldBox(row)) == BST_CHECKED;
    if (const auto fault = HeldTimesOutOfOrder(ticked, m_times))
    {
        ShowMessageBox(LookupText(m_language, L"Held for time for action %d must be greater than that for action %d.",
                                  fault->first, fault->second),
                       MB_OK, m_hWnd);
        return;
    }
    wchar_t description[1024] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_ED_DESCRIPTION, description, 1024);
    m_clicks.SetDescription(description);
    m_clicks.SetTime(0, 0);
    for (int row = 1; row <= kHeldRows; ++row)
        m_clicks.SetTime(row, m_times[row - 1]);
    m_clicks.SetAbortOnMouseMove(::IsDlgButtonChecked(m_hWnd, IDC_TC_ABORT_MOVE) == BST_CHECKED);
    m_clicks.SetAbort2OnMouseMove(::IsDlgButtonChecked(m_hWnd, IDC_TC_ABORT2_MOVE) == BST_CHECKED);
    m_clicks.SetReleaseOnUp(::IsDlgButtonChecked(m_hWnd, IDC_TC_RELEASE_ON_UP) == BST_CHECKED);
    for (int row = 0; row <= kHeldRows; ++row)
    {
        if (row > 0 && m_modified)
            m_clicks.SetEnabled(row, ticked[row - 1]);
        CBRMPTimedClick* entry = m_clicks.GetTimedClick(row);
        const CActionData* data = SelectedData(row);
        if (entry != nullptr && data != nullptr && ShouldStoreRow(row))
            entry->SetActionData(data);
    }
    EndDialog(IDOK);
}
