#include "ActionEditorBase.h"

#include <memory>

#include "ActionData.h"
#include "Application.h"
#include "CaughtException.h"
#include "CustomActionEditors.h"
#include "CustomKey.h"
#include "LangSupport.h"
#include "Logger.h"
#include "Movement2Scroll.h"
#include "Movement2ScrollDlg.h"
#include "resource.h"

namespace
{
constexpr DWORD kPickerStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP |
                               CBS_OWNERDRAWFIXED | CBS_DROPDOWNLIST;
constexpr int kDropDownItems = 15;

bool HasText(const wchar_t* text) { return text != nullptr && *text != L'\0'; }
std::wstring TextOrEmpty(const wchar_t* text) { return text != nullptr ? text : L""; }

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

// Locks the wheel of every picker while a sub-editor runs, however it ends.
class WheelLock
{
public:
    explicit WheelLock(CActionEditorBase& editor, void (CActionEditorBase::*lock)(bool))
        : m_editor(editor), m_lock(lock)
    {
        (m_editor.*m_lock)(true);
    }
    ~WheelLock() { (m_editor.*m_lock)(false); }
    WheelLock(const WheelLock&) = delete;
    WheelLock& operator=(const WheelLock&) = delete;

private:
    CActionEditorBase& m_editor;
    void (CActionEditorBase::*m_lock)(bool);
};
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
    for (Row& r : m_rows)
        r.picker.reset();
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
    auto picker = std::make_unique<CColourComboBox>(LangSupport());
    if (!picker->CreateFromDlgItem(m_hWnd, IDC_ROW_PICKER + row, kPickerStyle))
        return;
    picker->SetDropDownItemCount(kDropDownItems);
    r.picker = std::move(picker);
    if (r.edit.SubclassDlgItem(IDC_ROW_EDIT + row, m_hWnd))
    {
        // At its drawn size: the buttons are a text line high.
        if (HICON icon = static_cast<HICON>(::LoadImageW(GetResourceInstance(), MAKEINTRESOURCEW(IDI_EDIT_ACTION),
                                                         IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)))
            r.edit.SetIconHandle(icon);
        r.edit.SetWindowText(L"");
        r.edit.EnableWindow(false);
    }
    // Tab order: the picker after its label, the edit button after the picker.
    constexpr UINT order = SWP_NOSIZE | SWP_NOMOVE | SWP_NOOWNERZORDER | SWP_NOACTIVATE;
    if (const HWND label = GetDlgItem(IDC_ROW_LABEL + row))
        ::SetWindowPos(r.picker->GetSafeHwnd(), label, 0, 0, 0, 0, order);
    if (r.edit.IsWindow())
        ::SetWindowPos(r.edit.GetSafeHwnd(), r.picker->GetSafeHwnd(), 0, 0, 0, 0, order);
    PopulateCombo(row, storedAction, defaultAction);
    SetCustomCombo(row, owned.release());
}

void CActionEditorBase::PopulateCombo(int row, int action, int defaultAction)
{
    try
    {
        CColourComboBox& picker = *RowAt(row).picker;
        // Groups help only in the functional order.
        picker.ShowGroups = m_context.sortAlphabetically ? 0 : 1;
        picker.RemoveAllItems();
        if (m_context.actions != nullptr)
        {
            for (const auto& [name, code] : *m_context.actions)
                if (IsOfferedByEditorPicker(code, m_limits, m_context.osVersion, m_context.portable))
                    picker.AddItem({name, code});
        }
        picker.UpdateCount();
        const int wanted = action == -1 ? defaultAction : action;
        RowAt(row).offered = picker.SelectAction(wanted) >= 0;
        if (!RowAt(row).offered)
        {
            // Shown as the first item; OK still keeps what the row stores (ShouldStoreRow).
            picker.SendMessage(VCB_SETCURSEL, 0);
            m_modified = true;
        }
        UpdateEditButton(row);
    }
    catch (...)
    {
        LogCaughtException(L"%s::PopulateCombo", LogClass());
    }
}

void CActionEditorBase::SetCustomCombo(int row, CActionData* data)
{
    std::unique_ptr<CActionData> owned(data);
    try
    {
        Row& r = RowAt(row);
        r.picker->ClearActionData();
        if (owned && r.offered &&
            (owned->Action() == 28 || owned->Action() == 41 || owned->Action() == 59 || owned->Action() == 77))
            ReplaceSelectedData(row, owned.release());
    }
    catch (...)
    {
        LogCaughtException(L"%s::SetCustomCombo", LogClass());
    }
}

void CActionEditorBase::ReplaceSelectedData(int row, CActionData* data)
{
    std::unique_ptr<CActionData> owned(data);
    CColourComboBox& picker = *RowAt(row).picker;
    const int selected = picker.GetCurSel();
    if (picker.SetItemActionData(selected, owned.get()) >= 0)
        owned.release();
    picker.SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(selected));
}

CActionData* CActionEditorBase::SelectedData(int row)
{
    Row& r = RowAt(row);
    return r.picker ? r.picker->GetItemActionData(r.picker->GetCurSel()) : nullptr;
}

void CActionEditorBase::UpdateEditButton(int row)
{
    Row& r = RowAt(row);
    const CActionData* data = SelectedData(row);
    r.edit.EnableWindow(r.picker && ::IsWindowEnabled(r.picker->GetSafeHwnd()) && data != nullptr &&
                        HasActionEditor(data->Action()));
}

void CActionEditorBase::EnableRow(int row, bool enable)
{
    Row& r = RowAt(row);
    if (!r.picker)
        return;
    r.picker->EnableWindow(enable);
    UpdateEditButton(row);
}

bool CActionEditorBase::ShouldStoreRow(int row) const
{
    const Row& r = m_rows[static_cast<std::size_t>(row)];
    if (!r.picker || !r.touched)
        return false;
    // The picker's record of an action without data of its own carries reset
    // flags and no description: chosen again, it would wipe the entry's.
    const CActionData* data = r.picker->GetItemActionData(r.picker->GetCurSel());
    return data != nullptr && (data->Action() != StoredAction(row) || HandlesAction(data->Action()));
}

void CActionEditorBase::LockPickerWheel(bool lock)
{
    for (Row& r : m_rows)
        if (r.picker)
            r.picker->WheelLocked = lock ? 1 : 0;
}

std::wstring CActionEditorBase::LogRow(int) const
{
    return L"()";
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
    CColourComboBox& picker = *RowAt(row).picker;
    if (picker.SelectAction(StoredAction(row)) < 0)
        picker.SendMessage(VCB_SETCURSEL, 0);
}

void CActionEditorBase::OnSelChange(UINT id)
{
    const int row = static_cast<int>(id) - IDC_ROW_PICKER;
    Row& r = RowAt(row);
    if (!r.picker)
        return;
    int newAction = -1;
    const int oldAction = StoredAction(row);
    const std::wstring where = std::wstring(LogClass()) + L"::SelChangeCombo" + LogRow(row);
    CActionData* data = nullptr;
    try
    {
        data = SelectedData(row);
        if (data == nullptr)
        {
            CLogger::LogMessage(L"%s ActionData is NULL (this should not happen!)", where.c_str());
            return;
        }
        newAction = data->Action();
        CLogger::LogDebug(L"%s Selected action is %d. Old action is %d", where.c_str(), newAction, oldAction);
    }
    catch (...)
    {
        LogCaughtException(L"%s Action %d OldAction %d Handler 1", where.c_str(), newAction, oldAction);
        return;
    }
    r.touched = true;
    // A changed choice is stored on OK, whether or not it opens a sub-editor.
    m_modified = true;
    r.edit.EnableWindow(HasActionEditor(newAction));
    if (newAction == oldAction || r.picker->ChangingByWheel || r.picker->ChangingByArrowKey)
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
        LogCaughtException(L"%s Action %d OldAction %d Handler 3", where.c_str(), newAction, oldAction);
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
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(r.picker->GetSafeHwnd()), TRUE);
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
    WheelLock lock(*this, &CActionEditorBase::LockPickerWheel);
    switch (newAction)
    {
    case 28:
        return EditKeys(row, oldAction, *data, keep);
    case 41:
    case 59:
        return EditPath(row, newAction, oldAction, *data, keep);
    case 77:
        return EditMovement2Scroll(row, oldAction, *data, keep);
    default:
        return true;
    }
}

bool CActionEditorBase::EditKeys(int row, int oldAction, const CActionData& data, bool& keep)
{
    CCustomKey editor(KeyEditorTitle(row), TextOrEmpty(data.GetKeys()), data.KeyAction(), data.KeyRepeat(),
                      data.Active(), m_context.defaultProfile, data.BlockMouse(), data.BlockMouseActive(),
                      data.RandomiseDelay(), TextOrEmpty(data.GetDescription()), KeyEditorStickyAllowed(), this);
    if (editor.DoModal() == IDOK)
    {
        ReplaceSelectedData(row, CActionData::KeyAction(editor.GetKeys().c_str(), 0, editor.SendMethod(),
                                                        editor.RepeatDelay(), editor.OnlyWhenActive(),
                                                        editor.BlockMouse(), editor.BlockMouseIfActive(),
                                                        editor.RandomiseDelay(), editor.Description().c_str()));
        keep = true;
        return true;
    }
    if (HasText(data.GetKeys()) && oldAction == 28)
    {
        keep = true;
        return false;
    }
    RevertRow(row);
    return false;
}

bool CActionEditorBase::EditPath(int row, int newAction, int oldAction, const CActionData& data, bool& keep)
{
    // The program or folder editor the layer page opens, over this editor.
    ICustomActionEditors& editors = ICustomActionEditors::Current();
    const std::wstring current = TextOrEmpty(data.GetApplication());
    std::wstring path = current;
    const EditorOutcome outcome = newAction == 41 ? editors.EditApplication(m_hWnd, path)
                                                  : editors.BrowseFolder(m_hWnd, path);
    if (outcome == EditorOutcome::kUnavailable)
        return true;
    if (outcome == EditorOutcome::kCancelled)
    {
        if (!current.empty() && oldAction == newAction)
        {
            keep = true;
            return false;
        }
        RevertRow(row);
        return false;
    }
    if (newAction == 59 && path.empty())
    {
        // A folder without a file-system path: plain Explorer.
        CColourComboBox& picker = *RowAt(row).picker;
        const int plain = picker.FindItemText(LookupText(m_language, std::wstring(L"Open Explorer")).c_str());
        if (plain >= 0)
            picker.SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(plain));
        else
            RevertRow(row);
        return false;
    }
    if (path == current && oldAction == newAction)
    {
        keep = true;  // unchanged: the item still carries its program or folder
        return false;
    }
    ReplaceSelectedData(row, newAction == 41 ? CActionData::AppAction(path.c_str())
                                             : CActionData::OpenFolderAction(path.c_str()));
    keep = true;
    return true;
}

bool CActionEditorBase::EditMovement2Scroll(int row, int oldAction, CActionData& data, bool& keep)
{
    CMovement2Scroll options;
    if (data.GetMovement2Scroll() != nullptr)
        options.Copy(data.GetMovement2Scroll());
    CMovement2ScrollDlg editor(&options, ButtonOfRow(row), m_context, this);
    if (editor.DoModal() == IDOK)
    {
        data.SetMovement2Scroll(&options);
        keep = true;
        return true;
    }
    if (oldAction == 77)
    {
        keep = true;
        return false;
    }
    RevertRow(row);
    return false;
}
