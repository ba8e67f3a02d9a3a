#include "ButtonChording.h"

#include <commctrl.h>

#include "ActionData.h"
#include "DataExchange.h"
#include "LangSupport.h"
#include "StringFormat.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
constexpr int kMaxUnblockMs = 2000;

std::wstring WithoutAmpersands(std::wstring text)
{
    std::erase(text, L'&');
    return text;
}
} // namespace

CButtonChording::CButtonChording(int button, const ActionEditorContext& context, const CBRMPChords* chords,
                                 bool quillonMode, CWindow* parent)
    : CActionEditorBase(quillonMode ? IDD_CHORDS_QUILLON : IDD_CHORDS, context, EditorPickerLimits{}, parent),
      m_button(button), m_quillonMode(quillonMode)
{
    if (chords != nullptr)
    {
        m_chords = *chords;
        m_delayUntilKnown = chords->DelayUntilChordKnown();
        m_unblockAfterDelay = chords->UnblockAfterDelay();
        m_unblockTime = chords->UnblockTime();
        m_unblockAfterMovement = chords->UnblockAfterMovement();
    }
    BindCommand(IDC_CH_DELAY, &CButtonChording::OnOptionClick);
    BindCommand(IDC_CH_UNBLOCK_AFTER, &CButtonChording::OnOptionClick);
}

int CButtonChording::StoredAction(int row) const
{
    const CBRMPChord* entry = m_chords.GetChord(row);
    return entry != nullptr ? static_cast<int>(entry->GetAction()) : -1;
}

void CButtonChording::DoDataExchange(CDataExchange& dx)
{
    ExchangeCheck(dx, IDC_CH_DELAY, m_delayUntilKnown);
    ExchangeCheck(dx, IDC_CH_UNBLOCK_AFTER, m_unblockAfterDelay);
    ExchangeCheck(dx, IDC_CH_UNBLOCK_MOVE, m_unblockAfterMovement);
    m_numbers.Exchange(dx, IDC_CH_UNBLOCK_TIME, m_unblockTime, 0, kMaxUnblockMs);
}

BOOL CButtonChording::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int row = 0; row < kRowCount; ++row)
    {
        if (!RowExists(row))
            continue;
        const CBRMPChord* entry = m_chords.GetChord(row);
        InitRow(row, StoredAction(row), entry != nullptr ? entry->GetActionData() : nullptr);
    }
    // The tilt wheel needs Vista or later.
    if (!m_quillonMode && m_context.osVersion <= 3)
    {
        EnableRow(5, false);
        EnableRow(6, false);
    }
    const std::wstring caption = LookupText(m_language, GetWindowText());
    TranslateWindowTexts(m_language, m_hWnd,
                         {IDC_CH_UNBLOCK_TIME, IDC_ED_DESCRIPTION, IDC_ROW_PICKER, IDC_ROW_PICKER + 1,
                          IDC_ROW_PICKER + 2, IDC_ROW_PICKER + 3, IDC_ROW_PICKER + 4, IDC_ROW_PICKER + 5,
                          IDC_ROW_PICKER + 6, IDC_ROW_PICKER + 7, IDC_ROW_PICKER + 8});
    HWND ownLabel = GetDlgItem(IDC_ROW_LABEL + m_button);
    wchar_t name[128] = {};
    if (ownLabel != nullptr)
        ::GetWindowTextW(ownLabel, name, 128);
    const std::wstring ownName = WithoutAmpersands(name);
    if (ownLabel != nullptr)
        ::SetWindowTextW(ownLabel,
                         (L"&" + LookupText(m_language, std::wstring(L"Default (No Chord)"))).c_str());
    SetWindowText(FormatString(L"%s - %s", caption.c_str(), ownName.c_str()).c_str());
    EnableOptions();
    if (const wchar_t* description = m_chords.GetDescription(); description != nullptr && *description != L'\0')
        ::SetDlgItemTextW(m_hWnd, IDC_ED_DESCRIPTION, description);
    return TRUE;
}

void CButtonChording::EnableOptions()
{
    const bool delay = ::IsDlgButtonChecked(m_hWnd, IDC_CH_DELAY) == BST_CHECKED;
    const bool afterDelay = ::IsDlgButtonChecked(m_hWnd, IDC_CH_UNBLOCK_AFTER) == BST_CHECKED;
    ::EnableWindow(GetDlgItem(IDC_CH_UNBLOCK_AFTER), delay);
    ::EnableWindow(GetDlgItem(IDC_CH_UNBLOCK_MOVE), delay);
    ::EnableWindow(GetDlgItem(IDC_CH_UNBLOCK_TIME), delay && afterDelay);
    ::EnableWindow(GetDlgItem(IDC_CH_UNBLOCK_SPIN), delay && afterDelay);
}

void CButtonChording::OnOptionClick()
{
    EnableOptions();
}

void CButtonChording::OnOK()
{
    if (!UpdateData(true))
        return;
    for (int row = 0; row < kRowCount; ++row)
    {
        if (!RowExists(row) || !ShouldStoreRow(row))
            continue;
        CBRMPChord* entry = m_chords.GetChord(row);
        const CActionData* data = SelectedData(row);
        if (entry != nullptr && data != nullptr)
            entry->SetActionData(data);
    }
    wchar_t description[1024] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_ED_DESCRIPTION, description, 1024);
    m_chords.SetDescription(description);
    m_chords.SetDelayUntilChordKnown(m_delayUntilKnown);
    m_chords.SetUnblockAfterDelay(m_unblockAfterDelay);
    m_chords.SetUnblockAfterMovement(m_unblockAfterMovement);
    m_chords.SetUnblockTime(m_unblockTime);
    EndDialog(IDOK);
}
