// Opening the editor of an action that carries data of its own, from a
// layer page's picker or its edit button.
#include "LayerTab.h"

#include <functional>
#include <memory>
#include <sstream>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "ActionEditorBase.h"
#include "ButtonChording.h"
#include "ButtonPressDlg.h"
#include "Chords.h"
#include "CustomActionEditors.h"
#include "CustomApp.h"
#include "CustomKey.h"
#include "FileDialog.h"
#include "Movement2ScrollDlg.h"
#include "LangSupport.h"
#include "Movement2Scroll.h"
#include "Settings.h"
#include "TimedClicks.h"
#include "resource.h"

namespace
{
ICustomActionEditors g_defaultEditors;
ICustomActionEditors* g_editors = &g_defaultEditors;

bool Same(const wchar_t* a, const wchar_t* b)
{
    return std::wstring(a != nullptr ? a : L"") == std::wstring(b != nullptr ? b : L"");
}

// The settings file's form of what an editor returned: two lists or option
// sets of the same form store the same, so an OK that changed nothing is no
// edit. A list is compared as a copy, as the editor returns it: a copy's
// entries carry options of their own (the defaults for none).
template <typename Save>
std::wstring StoredForm(Save save)
{
    pugi::xml_document document;
    save(document.append_child(L"form"));
    std::wostringstream text;
    document.save(text, L"", pugi::format_raw);
    return text.str();
}

// Whether an edited list of chords or held-button entries stores as the one a
// record holds (none: it does not), compared as a copy.
template <typename List>
bool StoresAs(const List& edited, const List* held, bool secondLayout)
{
    if (held == nullptr)
        return false;
    const auto form = [secondLayout](const List& list) {
        return StoredForm([&](pugi::xml_node node) { list.Save(secondLayout, node); });
    };
    return form(edited) == form(List(*held));
}

// A record of an edited list of chords or held-button entries (a new copy,
// adopted by the profile) that keeps the slot's own description, which the
// list's editor neither shows nor changes.
CActionData* ListAction(const CActionData& slot, CBRMPChords* chords, CBRMPTimedClicks* timedClicks)
{
    return CActionData::CustomAction(chords != nullptr ? ACTION_BUTTON_CHORDING : ACTION_BUTTON_HELD, nullptr, 0, 0,
                                     0, true, true, false, false, slot.GetDescription(), nullptr, chords, nullptr,
                                     timedClicks);
}

// Clears the wheel lock of the page's pickers however the editor ends.
class WheelLock
{
public:
    explicit WheelLock(std::function<void(bool)> lock) : m_lock(std::move(lock)) { m_lock(true); }
    ~WheelLock() { m_lock(false); }
    WheelLock(const WheelLock&) = delete;
    WheelLock& operator=(const WheelLock&) = delete;

private:
    std::function<void(bool)> m_lock;
};
}

// The editors' own view of the action list and of the page's context.
struct EditorContext
{
    explicit EditorContext(const ListEditorContext& source)
    {
        if (source.actionList != nullptr)
            for (const ActionListEntry& entry : *source.actionList)
                actions.emplace_back(entry.name, entry.action);
        context.actions = &actions;
        context.sortAlphabetically = source.sortAlphabetically;
        context.defaultProfile = source.defaultProfile;
        context.portable = source.portable;
        context.osVersion = source.osVersion;
    }
    EditorActionList actions;
    ActionEditorContext context;
};

EditorOutcome ICustomActionEditors::EditKeys(HWND parent, KeyEditorValues& values)
{
    CCustomKey editor(values.title, values.keys, values.keyAction, values.keyRepeat, values.active,
                      values.defaultProfile, values.blockMouse, values.blockMouseActive, values.randomiseDelay,
                      values.description, true, CWindow::FromHandle(parent));
    if (editor.DoModal() != IDOK)
        return EditorOutcome::kCancelled;
    values.keys = editor.GetKeys();
    values.keyAction = editor.SendMethod();
    values.keyRepeat = editor.RepeatDelay();
    values.active = editor.OnlyWhenActive();
    values.blockMouse = editor.BlockMouse();
    values.blockMouseActive = editor.BlockMouseIfActive();
    values.randomiseDelay = editor.RandomiseDelay();
    values.description = editor.Description();
    return EditorOutcome::kConfirmed;
}

EditorOutcome ICustomActionEditors::EditApplication(HWND parent, std::wstring& path)
{
    CWindow* owner = CWindow::FromHandle(parent);
    CCustomApp editor(owner, path);
    if (editor.DoModal() != IDOK)
        return EditorOutcome::kCancelled;
    path = editor.m_path;
    return EditorOutcome::kConfirmed;
}

EditorOutcome ICustomActionEditors::BrowseFolder(HWND parent, std::wstring& folder)
{
    CLangSupport* language = LangSupport();
    FileDialogRequest request;
    request.kind = FileDialogKind::Folder;
    request.owner = parent;
    request.title = LookupText(language, std::wstring(L"Please select a folder to open"));
    request.initialFolder = folder;
    CLangSupport::Release(language);
    std::wstring chosen;
    if (!ShowFileDialog(request, chosen))
        return EditorOutcome::kCancelled;
    // An empty path: a folder without a file-system path was chosen.
    folder = chosen;
    return EditorOutcome::kConfirmed;
}

EditorOutcome ICustomActionEditors::EditChords(HWND parent, const ListEditorContext& context,
                                               const CBRMPChords* chords, CBRMPChords** result)
{
    EditorContext shared(context);
    CButtonChording editor(context.button, shared.context, chords, context.secondLayout, CWindow::FromHandle(parent));
    if (editor.DoModal() != IDOK)
        return EditorOutcome::kCancelled;
    *result = new CBRMPChords(editor.Result());
    return EditorOutcome::kConfirmed;
}

EditorOutcome ICustomActionEditors::EditTimedClicks(HWND parent, const ListEditorContext& context,
                                                    const CBRMPTimedClicks* clicks, CBRMPTimedClicks** result)
{
    EditorContext shared(context);
    CButtonPressDlg editor(context.button, shared.context, clicks, context.secondLayout, CWindow::FromHandle(parent));
    if (editor.DoModal() != IDOK)
        return EditorOutcome::kCancelled;
    *result = new CBRMPTimedClicks(editor.Result());
    return EditorOutcome::kConfirmed;
}

EditorOutcome ICustomActionEditors::EditMovement2Scroll(HWND parent, const ListEditorContext& context,
                                                        CMovement2Scroll& options)
{
    EditorContext shared(context);
    CMovement2ScrollDlg editor(&options, context.button, shared.context, CWindow::FromHandle(parent));
    return editor.DoModal() == IDOK ? EditorOutcome::kConfirmed : EditorOutcome::kCancelled;
}

ICustomActionEditors& ICustomActionEditors::Current() { return *g_editors; }

ICustomActionEditors* ICustomActionEditors::Set(ICustomActionEditors* editors)
{
    ICustomActionEditors* previous = g_editors;
    g_editors = editors != nullptr ? editors : &g_defaultEditors;
    return previous;
}

std::wstring CLayerTab::CurrentPath(int button) const
{
    const CColourComboBox* picker = GetPicker(button);
    if (picker == nullptr)
        return std::wstring();
    const std::wstring text = picker->GetWindowText();
    const size_t open = text.find(L'[');
    if (open == std::wstring::npos || text.size() < open + 2)
        return std::wstring();
    return text.substr(open + 1, text.size() - open - 2);
}

bool CLayerTab::EditCustomAction(int button, int newAction, int oldAction, CActionData* record, bool& keepEditButton)
{
    keepEditButton = false;
    CColourComboBox* picker = GetPicker(button);
    if (m_profile == nullptr || picker == nullptr || record == nullptr)
        return false;
    ICustomActionEditors& editors = ICustomActionEditors::Current();
    WheelLock lock([this](bool on) { LockPickerWheel(on); });

    ListEditorContext context;
    context.button = button;
    context.actionList = m_actionList;
    context.sortAlphabetically = m_settings != nullptr && m_settings->m_bSortActionsAlphabetically;
    context.secondLayout = m_secondLayout;
    context.defaultProfile = IsDefaultProfile();
    context.portable = m_portable;
    context.osVersion = m_osVersion;

    // Cancel keeps the item when it already carried this action's data and
    // the edit button opened the editor; otherwise the stored action returns.
    const auto cancel = [&](bool keepItem) {
        if (keepItem)
            keepEditButton = true;
        else
            RevertPicker(button);
        return false;
    };

    EditorOutcome outcome = EditorOutcome::kUnavailable;
    switch (newAction)
    {
    case ACTION_SIMULATED_KEYS:
    {
        KeyEditorValues values;
        wchar_t label[128] = {};
        ::GetDlgItemTextW(m_hWnd, IDC_LAYER_LABEL_FIRST + button, label, 128);
        for (wchar_t c : std::wstring(label))
            if (c != L'&')
                values.title += c;
        values.keys = record->GetKeys() != nullptr ? record->GetKeys() : L"";
        values.keyAction = record->KeyAction();
        values.keyRepeat = record->KeyRepeat();
        values.active = record->Active();
        values.blockMouse = record->BlockMouse();
        values.blockMouseActive = record->BlockMouseActive();
        values.randomiseDelay = record->RandomiseDelay();
        values.defaultProfile = IsDefaultProfile();
        values.description = record->GetDescription() != nullptr ? record->GetDescription() : L"";
        outcome = editors.EditKeys(m_hWnd, values);
        if (outcome == EditorOutcome::kCancelled)
            return cancel(record->GetKeys() != nullptr && record->GetKeys()[0] != 0 && oldAction == ACTION_SIMULATED_KEYS);
        if (outcome == EditorOutcome::kConfirmed)
        {
            const bool unchanged = oldAction == ACTION_SIMULATED_KEYS && Same(values.keys.c_str(), record->GetKeys()) &&
                                   values.keyAction == record->KeyAction() && values.keyRepeat == record->KeyRepeat() &&
                                   values.active == record->Active() && values.blockMouse == record->BlockMouse() &&
                                   values.blockMouseActive == record->BlockMouseActive() &&
                                   values.randomiseDelay == record->RandomiseDelay() &&
                                   Same(values.description.c_str(), record->GetDescription());
            keepEditButton = true;
            if (unchanged)
                return false;
            SetCustomCombo(button, CActionData::KeyAction(values.keys.c_str(), 0, values.keyAction, values.keyRepeat,
                                                          values.active, values.blockMouse, values.blockMouseActive,
                                                          values.randomiseDelay, values.description.c_str()));
            return true;
        }
        break;
    }
    case ACTION_RUN_APPLICATION:
    {
        const std::wstring current = CurrentPath(button);
        std::wstring path = current;
        outcome = editors.EditApplication(m_hWnd, path);
        if (outcome == EditorOutcome::kCancelled)
            return cancel(!current.empty() && oldAction == ACTION_RUN_APPLICATION);
        if (outcome == EditorOutcome::kConfirmed)
        {
            if (path == current && oldAction == ACTION_RUN_APPLICATION)
                return false;
            SetCustomCombo(button, CActionData::AppAction(path.c_str()));
            keepEditButton = true;
            return true;
        }
        break;
    }
    case ACTION_OPEN_FOLDER:
    {
        const std::wstring current = CurrentPath(button);
        m_folder = current;
        std::wstring folder = current;
        outcome = editors.BrowseFolder(m_hWnd, folder);
        if (outcome == EditorOutcome::kCancelled)
            return cancel(!current.empty() && oldAction == ACTION_OPEN_FOLDER);
        if (outcome == EditorOutcome::kConfirmed)
        {
            if (folder.empty())
            {
                // A folder without a path (a virtual folder): plain Explorer.
                const int plain =
                    picker->FindItemText(LookupText(m_language, std::wstring(L"Open Explorer")).c_str());
                picker->SendMessage(VCB_SETCURSEL, static_cast<WPARAM>(plain));
                return false;
            }
            if (folder == current && oldAction == ACTION_OPEN_FOLDER)
                return false;
            SetCustomCombo(button, CActionData::OpenFolderAction(folder.c_str()));
            keepEditButton = true;
            return true;
        }
        break;
    }
    case ACTION_MOVEMENT_TO_SCROLL:
    {
        CMovement2Scroll options;
        if (record->GetMovement2Scroll() != nullptr)
            options.Copy(record->GetMovement2Scroll());
        outcome = editors.EditMovement2Scroll(m_hWnd, context, options);
        if (outcome == EditorOutcome::kCancelled)
            return cancel(oldAction == ACTION_MOVEMENT_TO_SCROLL);
        if (outcome == EditorOutcome::kConfirmed)
        {
            keepEditButton = true;
            const auto form = [](const CMovement2Scroll& o) {
                return StoredForm([&](pugi::xml_node node) { o.Save(node); });
            };
            if (oldAction == ACTION_MOVEMENT_TO_SCROLL && record->GetMovement2Scroll() != nullptr &&
                form(options) == form(*record->GetMovement2Scroll()))
                return false;
            record->SetMovement2Scroll(&options);
            return true;
        }
        break;
    }
    case ACTION_BUTTON_CHORDING:
    {
        CBRMPChords* result = nullptr;
        outcome = editors.EditChords(m_hWnd, context, record->GetChords(), &result);
        if (outcome == EditorOutcome::kCancelled)
            return cancel(record->GetChords() != nullptr && oldAction == ACTION_BUTTON_CHORDING);
        if (outcome == EditorOutcome::kConfirmed && result != nullptr)
        {
            std::unique_ptr<CBRMPChords> edited(result);
            keepEditButton = true;
            if (oldAction == ACTION_BUTTON_CHORDING && StoresAs(*edited, record->GetChords(), m_secondLayout))
                return false;
            SetCustomCombo(button, ListAction(*record, new CBRMPChords(*edited), nullptr));
            return true;
        }
        break;
    }
    case ACTION_BUTTON_HELD:
    {
        CBRMPTimedClicks* result = nullptr;
        outcome = editors.EditTimedClicks(m_hWnd, context, record->GetTimedClicks(), &result);
        if (outcome == EditorOutcome::kCancelled)
            return cancel(record->GetTimedClicks() != nullptr && oldAction == ACTION_BUTTON_HELD);
        if (outcome == EditorOutcome::kConfirmed && result != nullptr)
        {
            std::unique_ptr<CBRMPTimedClicks> edited(result);
            keepEditButton = true;
            if (oldAction == ACTION_BUTTON_HELD && StoresAs(*edited, record->GetTimedClicks(), m_secondLayout))
                return false;
            SetCustomCombo(button, ListAction(*record, nullptr, new CBRMPTimedClicks(*edited)));
            return true;
        }
        break;
    }
    default:
        break;
    }
    // No data to edit, or no editor for it in this build: the selection stands.
    return true;
}
