#pragma once
// Data exchange between a dialog's controls and its members. A dialog's
// DoDataExchange calls these functions once per control; UpdateData runs it in
// either direction:
//   void CMyDlg::DoDataExchange(CDataExchange& dx)
//   {
//       ExchangeText(dx, 1019, m_keys);
//       ExchangeInt(dx, 1048, m_delay);
//       ValidateRange(dx, m_delay, 0, 300000);   // checks the control exchanged last
//       ExchangeCheck(dx, 1081, m_option);
//       ExchangeControl(dx, 1275, m_captureButton);
//   }
// A refused value shows the standard message (translated through the
// framework's translator), puts the focus on the control and abandons the
// exchange (UpdateData returns false).

#include <windows.h>

#include <map>
#include <string>

class CWindow;

class CDataExchange
{
public:
    CDataExchange(CWindow& dialog, bool saveAndValidate);

    // True: controls into members, with validation. False: members into controls.
    bool IsSaving() const { return m_saveAndValidate; }
    CWindow& Dialog() const { return m_dialog; }

    // The control about to be exchanged (the one a failure puts the focus
    // on). Throws CResourceException when the dialog has no such control.
    HWND PrepareControl(int id);
    HWND PrepareEditControl(int id);

    // Shows text (already translated) in a message box, puts the focus on the
    // control exchanged last and throws CUserException.
    [[noreturn]] void Fail(const std::wstring& text);
    // A refusal while control id is the one exchanged last begins with name
    // (translated, a label's text say) on a line of its own, so that the user
    // learns which field is meant also where the focus alone does not show it.
    void NameControl(int id, const std::wstring& name);

private:
    CWindow& m_dialog;
    bool m_saveAndValidate;
    HWND m_lastControl = nullptr;
    bool m_lastIsEdit = false;
    HWND m_namedControl = nullptr;
    std::wstring m_controlName;
};

void ExchangeText(CDataExchange& dx, int id, std::wstring& value);
// Not an integer (also one beyond the int range): "Enter an integer."
void ExchangeInt(CDataExchange& dx, int id, int& value);
// Not a number: "Enter a number."
void ExchangeDouble(CDataExchange& dx, int id, double& value);
// BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
void ExchangeCheck(CDataExchange& dx, int id, int& state);
void ExchangeCheck(CDataExchange& dx, int id, bool& checked);
// The radio group that starts at firstId (the control with WS_GROUP): the
// index of the checked button, -1 when none.
void ExchangeRadio(CDataExchange& dx, int firstId, int& index);
// The selected index of a combo box, -1 when none.
void ExchangeComboIndex(CDataExchange& dx, int id, int& index);
// Binds the control object to the dialog's control (once).
void ExchangeControl(CDataExchange& dx, int id, CWindow& control);

// When saving, outside min..max: "Enter an integer between %1 and %2." or
// "Enter a number between %1 and %2.".
void ValidateRange(CDataExchange& dx, int value, int minimum, int maximum);
void ValidateRange(CDataExchange& dx, double value, double minimum, double maximum);

// The parsing rules of the exchange: optional blanks, a sign and digits, and
// optional blanks; false for anything else or a value beyond the int range.
bool ParseExchangedInt(const std::wstring& text, int* value);
bool ParseExchangedDouble(const std::wstring& text, double* value);

// A label's text as the user reads it: the mnemonic marks dropped and the
// blanks at its ends trimmed. Empty for no window.
std::wstring LabelText(HWND label);

// A dialog's number fields under one rule. A field shows its value as it is,
// also one beyond minimum..maximum (a file may hold values the engine takes
// that a field's range leaves out), and the arrows beside an integer field
// (the up-down whose buddy it is) run over minimum..maximum, so that they step
// by one from any number the field takes. Saving reads a field only once it
// holds another number than it showed and while it is shown and not
// read-only; otherwise the value stays as it is. A field the user can edit is
// checked: a refusal names the field above the message (name; when empty, the
// label before the field) and puts the focus on it. A greyed field is never
// refused, since the user cannot mend it there, yet what it shows is what is
// saved: a number its range takes is stored, and anything else gives way to
// the value, which the field then shows again.
class CNumberFields
{
public:
    void Exchange(CDataExchange& dx, int id, int& value, int minimum, int maximum, const std::wstring& name = {});
    void Exchange(CDataExchange& dx, int id, double& value, double minimum, double maximum,
                  const std::wstring& name = {});
private:
    // True when the field holds another number than it showed last (text that
    // is no number counts as another), or has shown none yet.
    bool Changed(HWND field) const;
    template <typename Number>
    void ExchangeField(CDataExchange& dx, int id, Number& value, Number minimum, Number maximum,
                       const std::wstring& name);
    enum class Reading
    {
        kKept,     // left alone, hidden or read-only: the value stays
        kChecked,  // edited where the user can mend it: read, refused when wrong
        kGreyed,   // edited, then greyed: read when good, else shown back
    };
    Reading ReadingOf(HWND field) const;
    void Showing(HWND field, bool integer);

    struct Shown
    {
        double number = 0;
        bool integer = true;
    };
    std::map<int, Shown> m_shown;  // by control id
};
