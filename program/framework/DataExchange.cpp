#include "DataExchange.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <type_traits>

#include "Exceptions.h"
#include "FrameworkText.h"
#include "MessageBox.h"
#include "StringFormat.h"
#include "UpDown.h"
#include "Window.h"

namespace
{
// Leaves a control whose text is already the value alone: no change
// notification, caret and selection stay.
void WriteText(HWND control, const std::wstring& text)
{
    if (ReadWindowText(control) != text)
        ::SetWindowTextW(control, text.c_str());
}

bool OnlyBlanksFrom(const wchar_t* p)
{
    while (*p != L'\0' && std::iswspace(*p))
        ++p;
    return *p == L'\0';
}

std::wstring FormatDouble(double value)
{
    return FormatString(L"%.*g", 15, value);
}

bool IsRadioButton(HWND control)
{
    return (::SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}
}

CDataExchange::CDataExchange(CWindow& dialog, bool saveAndValidate)
    : m_dialog(dialog), m_saveAndValidate(saveAndValidate)
{
}

HWND CDataExchange::PrepareControl(int id)
{
    const HWND control = ::GetDlgItem(m_dialog.GetSafeHwnd(), id);
    if (control == nullptr)
        throw CResourceException(FormatString(L"The dialog has no control %d to exchange.", id));
    m_lastControl = control;
    m_lastIsEdit = false;
    return control;
}

HWND CDataExchange::PrepareEditControl(int id)
{
    const HWND control = PrepareControl(id);
    m_lastIsEdit = true;
    return control;
}

void CDataExchange::NameControl(int id, const std::wstring& name)
{
    m_namedControl = ::GetDlgItem(m_dialog.GetSafeHwnd(), id);
    m_controlName = name;
}

void CDataExchange::Fail(const std::wstring& text)
{
    const bool named = m_lastControl != nullptr && m_lastControl == m_namedControl && !m_controlName.empty();
    ShowMessageBox(named ? m_controlName + L"\n\n" + text : text, MB_OK | MB_ICONEXCLAMATION, m_dialog.GetSafeHwnd());
    if (m_lastControl != nullptr)
    {
        ::SetFocus(m_lastControl);
        if (m_lastIsEdit)
            ::SendMessageW(m_lastControl, EM_SETSEL, 0, -1);
    }
    throw CUserException();
}

bool ParseExchangedInt(const std::wstring& text, int* value)
{
    const wchar_t* start = text.c_str();
    while (*start != L'\0' && std::iswspace(*start))
        ++start;
    if (*start == L'\0')
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    const long long parsed = std::wcstoll(start, &end, 10);
    if (end == start || errno == ERANGE || !OnlyBlanksFrom(end) || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

bool ParseExchangedDouble(const std::wstring& text, double* value)
{
    const wchar_t* start = text.c_str();
    while (*start != L'\0' && std::iswspace(*start))
        ++start;
    if (*start == L'\0')
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    const double parsed = std::wcstod(start, &end);
    if (end == start || errno == ERANGE || !OnlyBlanksFrom(end) || !std::isfinite(parsed))
        return false;
    *value = parsed;
    return true;
}

void ExchangeText(CDataExchange& dx, int id, std::wstring& value)
{
    const HWND control = dx.PrepareEditControl(id);
    if (dx.IsSaving())
        value = ReadWindowText(control);
    else
        WriteText(control, value);
}

void ExchangeInt(CDataExchange& dx, int id, int& value)
{
    const HWND control = dx.PrepareEditControl(id);
    if (!dx.IsSaving())
    {
        WriteText(control, FormatString(L"%d", value));
        return;
    }
    int parsed = 0;
    if (!ParseExchangedInt(ReadWindowText(control), &parsed))
        dx.Fail(TranslateFrameworkText(L"Enter an integer."));
    value = parsed;
}

void ExchangeDouble(CDataExchange& dx, int id, double& value)
{
    const HWND control = dx.PrepareEditControl(id);
    if (!dx.IsSaving())
    {
        WriteText(control, FormatDouble(value));
        return;
    }
    double parsed = 0;
    if (!ParseExchangedDouble(ReadWindowText(control), &parsed))
        dx.Fail(TranslateFrameworkText(L"Enter a number."));
    value = parsed;
}

void ExchangeCheck(CDataExchange& dx, int id, int& state)
{
    const HWND control = dx.PrepareControl(id);
    if (dx.IsSaving())
    {
        state = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
        return;
    }
    const int shown = state == BST_CHECKED || state == BST_INDETERMINATE ? state : BST_UNCHECKED;
    ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(shown), 0);
}

void ExchangeCheck(CDataExchange& dx, int id, bool& checked)
{
    int state = checked ? BST_CHECKED : BST_UNCHECKED;
    ExchangeCheck(dx, id, state);
    if (dx.IsSaving())
        checked = state == BST_CHECKED;
}

void ExchangeRadio(CDataExchange& dx, int firstId, int& index)
{
    HWND control = dx.PrepareControl(firstId);
    if (dx.IsSaving())
        index = -1;
    int position = 0;
    do
    {
        if (IsRadioButton(control))
        {
            if (dx.IsSaving())
            {
                if (index < 0 && ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED)
                    index = position;
            }
            else
            {
                ::SendMessageW(control, BM_SETCHECK, position == index ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++position;
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
    } while (control != nullptr && (::GetWindowLongPtrW(control, GWL_STYLE) & WS_GROUP) == 0);
}

void ExchangeComboIndex(CDataExchange& dx, int id, int& index)
{
    const HWND control = dx.PrepareControl(id);
    if (dx.IsSaving())
        index = static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void ExchangeControl(CDataExchange& dx, int id, CWindow& control)
{
    const HWND window = dx.PrepareControl(id);
    if (control.GetSafeHwnd() == window)
        return;
    if (control.GetSafeHwnd() != nullptr || !control.SubclassWindow(window))
        throw CResourceException(FormatString(L"Control %d could not be bound.", id));
}

void ValidateRange(CDataExchange& dx, int value, int minimum, int maximum)
{
    if (!dx.IsSaving() || (value >= minimum && value <= maximum))
        return;
    dx.Fail(InsertFrameworkArguments(TranslateFrameworkText(L"Enter an integer between %1 and %2."),
                                     FormatString(L"%d", minimum), FormatString(L"%d", maximum)));
}

void ValidateRange(CDataExchange& dx, double value, double minimum, double maximum)
{
    if (!dx.IsSaving() || (value >= minimum && value <= maximum))
        return;
    dx.Fail(InsertFrameworkArguments(TranslateFrameworkText(L"Enter a number between %1 and %2."),
                                     FormatDouble(minimum), FormatDouble(maximum)));
}

std::wstring LabelText(HWND label)
{
    const std::wstring text = label != nullptr ? ReadWindowText(label) : std::wstring();
    std::wstring shown;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == L'&' && i + 1 < text.size())
            ++i;
        shown.push_back(text[i]);
    }
    const std::size_t first = shown.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    return shown.substr(first, shown.find_last_not_of(L" \t") - first + 1);
}

bool CNumberFields::Changed(HWND field) const
{
    if (field == nullptr)
        return true;
    const auto shown = m_shown.find(::GetDlgCtrlID(field));
    if (shown == m_shown.end())
        return true;
    const std::wstring text = ReadWindowText(field);
    if (shown->second.integer)
    {
        int number = 0;
        return !ParseExchangedInt(text, &number) || number != shown->second.number;
    }
    double number = 0;
    return !ParseExchangedDouble(text, &number) || number != shown->second.number;
}

void CNumberFields::Showing(HWND field, bool integer)
{
    Shown& shown = m_shown[::GetDlgCtrlID(field)];
    shown.integer = integer;
    const std::wstring text = ReadWindowText(field);
    if (integer)
    {
        int number = 0;
        if (ParseExchangedInt(text, &number))
            shown.number = number;
    }
    else
    {
        ParseExchangedDouble(text, &shown.number);
    }
}

CNumberFields::Reading CNumberFields::ReadingOf(HWND field) const
{
    // No such control: the exchange itself reports it.
    if (field == nullptr)
        return Reading::kChecked;
    const LONG_PTR style = ::GetWindowLongPtrW(field, GWL_STYLE);
    if ((style & WS_VISIBLE) == 0 || (style & ES_READONLY) != 0 || !Changed(field))
        return Reading::kKept;
    return ::IsWindowEnabled(field) ? Reading::kChecked : Reading::kGreyed;
}

namespace
{
void ExchangeNumber(CDataExchange& dx, int id, int& value) { ExchangeInt(dx, id, value); }
void ExchangeNumber(CDataExchange& dx, int id, double& value) { ExchangeDouble(dx, id, value); }
bool ParseNumber(const std::wstring& text, int* value) { return ParseExchangedInt(text, value); }
bool ParseNumber(const std::wstring& text, double* value) { return ParseExchangedDouble(text, value); }
std::wstring FormatNumber(int value) { return FormatString(L"%d", value); }
std::wstring FormatNumber(double value) { return FormatDouble(value); }

// The arrows' own range: of the integer fields only, the others (seconds in
// tenths) step through a handler of their page.
void SetArrowsRange(HWND field, int minimum, int maximum)
{
    if (const HWND arrows = ArrowsOf(field))
        ::SendMessageW(arrows, UDM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
}
void SetArrowsRange(HWND, double, double) {}
}

template <typename Number>
void CNumberFields::ExchangeField(CDataExchange& dx, int id, Number& value, Number minimum, Number maximum,
                                  const std::wstring& name)
{
    const HWND field = ::GetDlgItem(dx.Dialog().GetSafeHwnd(), id);
    if (!dx.IsSaving())
    {
        SetArrowsRange(field, minimum, maximum);
        ExchangeNumber(dx, id, value);
    }
    else
    {
        switch (ReadingOf(field))
        {
        case Reading::kKept:
            return;
        case Reading::kChecked:
        {
            dx.NameControl(id, name.empty() ? LabelText(::GetWindow(field, GW_HWNDPREV)) : name);
            Number read = value;
            ExchangeNumber(dx, id, read);
            ValidateRange(dx, read, minimum, maximum);
            value = read;
            break;
        }
        case Reading::kGreyed:
        {
            Number read = value;
            if (ParseNumber(ReadWindowText(field), &read) && read >= minimum && read <= maximum)
                value = read;
            else
                WriteText(field, FormatNumber(value));
            break;
        }
        }
    }
    Showing(field, std::is_integral_v<Number>);
}

void CNumberFields::Exchange(CDataExchange& dx, int id, int& value, int minimum, int maximum, const std::wstring& name)
{
    ExchangeField(dx, id, value, minimum, maximum, name);
}

void CNumberFields::Exchange(CDataExchange& dx, int id, double& value, double minimum, double maximum,
                             const std::wstring& name)
{
    ExchangeField(dx, id, value, minimum, maximum, name);
}
