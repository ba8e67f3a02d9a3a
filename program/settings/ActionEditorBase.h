#pragma once
// What the chord, timed-click and movement-to-scroll editors share: rows of an
// action picker (the layer page's owner-drawn picker) with an edit button,
// filled from the settings dialog's action list; the sub-editor launched for an
// action that carries data; the wheel swallowed over disabled controls; and
// which rows OK may store.
//
// Every editor works on its own copy of what it edits: the caller's object is
// untouched until it reads the result after IDOK.

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ActionEditorRules.h"
#include "ColourComboBox.h"
#include "DataExchange.h"
#include "Dialog.h"
#include "ThemedButton.h"

class CActionData;
class CLangSupport;

// The settings dialog's action list in its order: display name and action code.
using EditorActionList = std::vector<std::pair<std::wstring, int>>;

// What every editor is told by its launcher.
struct ActionEditorContext
{
    const EditorActionList* actions = nullptr;
    bool sortAlphabetically = false;
    bool defaultProfile = false;
    bool portable = false;
    int osVersion = 0;
};

class CActionEditorBase : public CDialog
{
public:
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    static constexpr int kRowCount = 9;

    CActionEditorBase(UINT templateId, const ActionEditorContext& context, EditorPickerLimits limits,
                      CWindow* parent);
    ~CActionEditorBase() override;

    struct Row
    {
        std::unique_ptr<CColourComboBox> picker;
        CXButtonXP edit;
        bool offered = false;  // the picker could show the stored action
        bool touched = false;  // the user chose or edited this row's action
    };

    // Creates a row's picker in place of the template's control and binds its
    // edit button, then fills the picker: the stored action selected
    // (defaultAction for -1), data the stored action's record (taken over; may
    // be null). A row the template does not have stays absent.
    void InitRow(int row, int storedAction, CActionData* data, int defaultAction = 40);
    bool RowPresent(int row) const { return m_rows[static_cast<std::size_t>(row)].picker != nullptr; }
    void EnableRow(int row, bool enable);
    void UpdateEditButton(int row);
    Row& RowAt(int row) { return m_rows[static_cast<std::size_t>(row)]; }
    // The record of the row's selected item, or null.
    CActionData* SelectedData(int row);
    // Rows OK stores: those whose action the user chose or edited. Any other
    // row keeps its entry as it is, also one the picker could not offer.
    bool ShouldStoreRow(int row) const;
    void LockPickerWheel(bool lock);

    // The stored action of the row, as the caller's object holds it.
    virtual int StoredAction(int row) const = 0;
    // The title of the keystroke editor opened from the row.
    virtual std::wstring KeyEditorTitle(int row) const;
    // Whether the keystroke editor offers the sticky send methods.
    virtual bool KeyEditorStickyAllowed() const { return false; }
    // Whether the row's action has a sub-editor here.
    virtual bool HandlesAction(int action) const;
    // After a cancelled sub-editor with nothing to keep: back to the stored action.
    virtual void RevertRow(int row);
    // The movement-to-scroll editor's button index for a row.
    virtual int ButtonOfRow(int row) const { return row; }
    // The editor's class name and how it names a row, for its log lines:
    // "CButtonChording" and "(button 3)".
    virtual const wchar_t* LogClass() const = 0;
    virtual std::wstring LogRow(int row) const;

    CLangSupport* m_language;
    ActionEditorContext m_context;
    bool m_modified = false;
    CNumberFields m_numbers;

private:
    void PopulateCombo(int row, int action, int defaultAction);
    void SetCustomCombo(int row, CActionData* data);
    void OnSelChange(UINT id);
    void OnEditButton(UINT id);
    // The sub-editor launcher: true when the selection stands (with new data or
    // because the action has none); keep: the edit button stays enabled.
    bool EditCustomAction(int row, int newAction, int oldAction, CActionData* data, bool& keep, bool fromButton);
    bool EditKeys(int row, int oldAction, const CActionData& data, bool& keep);
    bool EditPath(int row, int newAction, int oldAction, const CActionData& data, bool& keep);
    bool EditMovement2Scroll(int row, int oldAction, CActionData& data, bool& keep);
    // The selected item takes the record; the closed picker shows its new text.
    void ReplaceSelectedData(int row, CActionData* data);

    EditorPickerLimits m_limits;
    std::array<Row, kRowCount> m_rows;
};
