#include "ActionEditorBase.h"

#include <memory>

#include "ActionData.h"
#include "Application.h"
#include "CaughtException.h"
#include "CustomKey.h"
#include "LangSupport.h"
#include "Logger.h"
#include "Movement2Scroll.h"
#include "Movement2ScrollDlg.h"
#include "resource.h"

namespace
{
bool HasText(const wchar_t* text) { return text != nullptr && *text != L'\0'; }

// The edit button of an action the user already set up stays usable.
bool KeepsEditButton(int action) { return action == 28 || action == 77 || action == 128 || action == 133; }

std::wstring WithoutAmpersands(std::wstring text)
{
    std::erase(text, L'&');
    return text;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = {};
    if (window != nullptr)
        ::GetWindowTextW(window, text, 256);
    return text;
}
} // namespace

CActionEditorBase::CActionEditorBase(UINT templateId, const ActionEditorContext& context, EditorPickerLimits limits,
                                     CWindow* parent)
    : CDialog(templateId, parent), m_language(LangSupport()), m_context(context), m_limits(limits)
{
    BindControlRange(CBN_SELCHANGE, IDC_ROW_PICKER, IDC_ROW_PICKER + kRowCount - 1, &CActionEditorBase::OnSelChange);
    BindCommandRange(IDC_ROW_EDIT, IDC_ROW_EDIT + kRowCount - 1, &CActionEditorBase::OnEditButton);
}

CActionEditorBase::~CActionEditorBase()
{
    if (m_language)
        CLangSupport::Release(m_language);
}

BOOL CActionEditorBase::PreTranslateMessage(MSG* msg)
{
    if (IsWheelForDisabledWindow(*msg))
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

void CActionEditorBase::InitRow(int row, int storedAction, CActionData* data, int defaultAction)
{
    std::unique_ptr<CActionData> owned(data);
    Row& r = RowAt(row);
    r.present = r.picker.Attach(m_hWnd, IDC_ROW_PICKER + row);
    if (!r.present)
        return;
    if (r.edit.SubclassDlgItem(IDC_ROW_EDIT + row, m_hWnd))
    {
        // At its drawn size: the buttons are a text line high.
        if (HICON icon = static_cast<HICON>(::LoadImageW(GetResourceInstance(), MAKEINTRESOURCEW(IDI_EDIT_ACTION),
                                                         IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)))
            r.edit.SetIconHandle(icon);
        r.edit.SetWindowText(L"");
        r.edit.EnableWindow(false);
    }
    PopulateCombo(row, storedAction, defaultAction);
    SetCustomCombo(row, owned.release());
}

void CActionEditorBase::PopulateCombo(int row, int action, int defaultAction)
{
    try
    {
        Row& r = RowAt(row);
        const int wanted = action == -1 ? defaultAction : action;
        r.picker.Clear();
        int selected = -1;
        if (m_context.actions != nullptr)
        {
            for (const auto& [name, code] : *m_context.actions)
            {
                if (!IsOfferedByEditorPicker(code, m_limits, m_context.osVersion, m_context.portable))
                    continue;
                const int index = r.picker.AddItem(LookupText(m_language, name), code);
                if (selected < 0 && code == wanted)
                    selected = index;
            }
        }
        r.offered = selected >= 0;
        if (selected < 0)
        {
            // Shown as the first item; OK still keeps what the row stores (ShouldStoreRow).
            selected = 0;
            m_modified = true;
        }
        r.picker.SetCurSel(selected);
        UpdateEditButton(row);
    }
    catch (...)
    {
        LogCaughtException(L"CActionEditorBase::PopulateCombo");
    }
}

void CActionEditorBase::SetCustomCombo(int row, CActionData* data)
{
    std::unique_ptr<CActionData> owned(data);
    try
    {
        Row& r = RowAt(row);
        const int selected = r.picker.GetCurSel();
        r.picker.ClearActionData();
        if (owned && r.offered && (owned->Action() == 28 || owned->Action() == 41 || owned->Action() == 59 ||
                                   owned->Action() == 77))
        {
            if (r.picker.SetItemActionData(selected, owned.get()) >= 0)
                owned.release();
            r.picker.SetCurSel(selected);
        }
    }
    catch (...)
    {
        LogCaughtException(L"CActionEditorBase::SetCustomCombo");
    }
}

CActionData* CActionEditorBase::SelectedData(int row)
{
    Row& r = RowAt(row);
    return r.picker.GetItemActionData(r.picker.GetCurSel());
}

void CActionEditorBase::UpdateEditButton(int row)
{
    Row& r = RowAt(row);
    const CActionData* data = SelectedData(row);
    r.edit.EnableWindow(::IsWindowEnabled(r.picker.GetSafeHwnd()) && data != nullptr && HasActionEditor(data->Action()));
}

void CActionEditorBase::EnableRow(int row, bool enable)
{
    Row& r = RowAt(row);
    r.picker.EnableWindow(enable);
    UpdateEditButton(row);
}

bool CActionEditorBase::ShouldStoreRow(int row) const
{
    const Row& r = m_rows[static_cast<std::size_t>(row)];
    return r.present && m_modified && (r.offered || r.touched);
}

void CActionEditorBase::LockPickerWheel(bool lock)
{
    for (Row& r : m_rows)
        r.picker.WheelLocked = lock;
}

std::wstring CActionEditorBase::KeyEditorTitle(int row) const
{
    return WithoutAmpersands(TextOf(GetDlgItem(IDC_ROW_LABEL + row)));
}

bool CActionEditorBase::HandlesAction(int action) const
{
    return action == 28 || action == 41 || action == 59 || action == 77;
}

void CActionEditorBase::RevertRow(int row)
{
    Row& r = RowAt(row);
    if (r.picker.SelectAction(StoredAction(row)) < 0 && r.picker.GetCount() > 0)
        r.picker.SetCurSel(0);
}

void CActionEditorBase::OnSelChange(UINT id)
{
    const int row = static_cast<int>(id) - IDC_ROW_PICKER;
    Row& r = RowAt(row);
    int newAction = -1;
    const int oldAction = StoredAction(row);
    CActionData* data = nullptr;
    try
    {
        data = SelectedData(row);
        if (data == nullptr)
        {
            CLogger::LogMessage(L"CActionEditorBase::SelChangeCombo(row %d) ActionData is NULL (this should not happen!)",
                                row);
            return;
        }
        newAction = data->Action();
        CLogger::LogDebug(L"CActionEditorBase::SelChangeCombo(row %d) Selected action is %d. Old action is %d", row,
                          newAction, oldAction);
    }
    catch (...)
    {
        LogCaughtException(L"CActionEditorBase::SelChangeCombo");
        return;
    }
    r.touched = true;
    // A changed choice is stored on OK, whether or not it opens a sub-editor.
    m_modified = true;
    r.edit.EnableWindow(HasActionEditor(newAction));
    if (newAction == oldAction || r.picker.ChangingByWheel || r.picker.ChangingByArrowKey)
        return;
    bool keep = false;
    try
    {
        if (EditCustomAction(row, newAction, oldAction, data, keep, false))
            r.edit.EnableWindow(keep);
        else
            r.edit.EnableWindow(KeepsEditButton(oldAction) || keep);
    }
    catch (...)
    {
        LogCaughtException(L"CActionEditorBase::SelChangeCombo");
    }
}

void CActionEditorBase::OnEditButton(UINT id)
{
    const int row = static_cast<int>(id) - IDC_ROW_EDIT;
    Row& r = RowAt(row);
    CActionData* data = SelectedData(row);
    if (data == nullptr)
        return;
    const int action = data->Action();
    bool keep = false;
    if (EditCustomAction(row, action, action, data, keep, true))
    {
        r.touched = true;
        m_modified = true;
        r.edit.EnableWindow(keep);
    }
    else
        r.edit.EnableWindow(KeepsEditButton(action) || keep);
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(r.picker.GetSafeHwnd()), TRUE);
    r.edit.ResetDefaultButton();
    ::InvalidateRect(r.edit.GetSafeHwnd(), nullptr, TRUE);
}

bool CActionEditorBase::EditCustomAction(int row, int newAction, int oldAction, CActionData* data, bool& keep,
                                         bool fromButton)
{
    keep = false;
    if (!HandlesAction(newAction))
        return true;
    // An item that already carries its data opens no editor on a selection; its
    // edit button stays usable.
    const bool carriesData = (newAction == 28 && HasText(data->GetKeys())) ||
                             ((newAction == 41 || newAction == 59) && HasText(data->GetApplication()));
    if (!fromButton && carriesData)
    {
        keep = true;
        return true;
    }
    Row& r = RowAt(row);
    const int selected = r.picker.GetCurSel();
    struct WheelLock
    {
        CActionEditorBase& editor;
        explicit WheelLock(CActionEditorBase& e) : editor(e) { editor.LockPickerWheel(true); }
        ~WheelLock() { editor.LockPickerWheel(false); }
    } lock(*this);

    if (newAction == 28)
    {
        const bool sticky = KeyEditorStickyAllowed();
        CCustomKey editor(KeyEditorTitle(row), data->GetKeys() ? data->GetKeys() : L"", data->KeyAction(),
                          data->KeyRepeat(), data->Active(), m_context.defaultProfile, data->BlockMouse(),
                          data->BlockMouseActive(), data->RandomiseDelay(),
                          data->GetDescription() ? data->GetDescription() : L"", sticky, this);
        if (editor.DoModal() == IDOK)
        {
            r.picker.SetItemActionData(
                selected, CActionData::KeyAction(editor.GetKeys().c_str(), 0, editor.SendMethod(),
                                                 editor.RepeatDelay(), editor.OnlyWhenActive(), editor.BlockMouse(),
                                                 editor.BlockMouseIfActive(), editor.RandomiseDelay(),
                                                 editor.Description().c_str()));
            keep = true;
            return true;
        }
        if (HasText(data->GetKeys()) && oldAction == 28)
        {
            keep = true;
            return false;
        }
    }
    else if (newAction == 77)
    {
        CMovement2Scroll options;
        options.Copy(data->GetMovement2Scroll());
        CMovement2ScrollDlg editor(&options, ButtonOfRow(row), m_context, this);
        if (editor.DoModal() == IDOK)
        {
            data->SetMovement2Scroll(&options);
            keep = true;
            return true;
        }
        if (oldAction == 77)
        {
            keep = true;
            return false;
        }
    }
    else
    {
        // Programs and folders are chosen where the layer page offers them;
        // the selection stands with the data it has.
        return true;
    }
    RevertRow(row);
    return false;
}
