#pragma once
// A dialog template built in memory (the same layout windres writes for a
// DIALOG resource), for dialogs whose controls are made at run time and for tests.
//   CDialogTemplate t(L"Editor", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 200, 100);
//   t.AddControl(L"EDIT", L"", 1048, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 10, 10, 80, 12);
//   t.AddControl(L"BUTTON", L"OK", IDOK, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 30, 50, 14);
//   CDialog dialog(t.Get());

#include <windows.h>

#include <vector>

class CDialogTemplate
{
public:
    // Dimensions in dialog units. DS_SETFONT is added: the dialog uses
    // "MS Shell Dlg", 8 points.
    CDialogTemplate(const wchar_t* caption, DWORD style, short x, short y, short width, short height,
                    DWORD exStyle = 0);

    // className: a registered class name ("BUTTON", "EDIT", "SysTabControl32", ...).
    void AddControl(const wchar_t* className, const wchar_t* text, WORD id, DWORD style, short x, short y,
                    short width, short height, DWORD exStyle = 0);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_data.data()); }

private:
    void AppendWord(WORD value);
    void AppendDword(DWORD value);
    void AppendString(const wchar_t* text);
    void AlignToDword();

    std::vector<WORD> m_data;
    std::size_t m_countOffset = 0;
};
