#include "DialogTemplate.h"

namespace
{
constexpr const wchar_t* kFontName = L"MS Shell Dlg";
constexpr WORD kFontPoints = 8;
}

CDialogTemplate::CDialogTemplate(const wchar_t* caption, DWORD style, short x, short y, short width, short height,
                                 DWORD exStyle)
{
    AppendDword(style | DS_SETFONT);
    AppendDword(exStyle);
    m_countOffset = m_data.size();
    AppendWord(0);   // number of controls
    AppendWord(static_cast<WORD>(x));
    AppendWord(static_cast<WORD>(y));
    AppendWord(static_cast<WORD>(width));
    AppendWord(static_cast<WORD>(height));
    AppendWord(0);   // no menu
    AppendWord(0);   // the system's dialog class
    AppendString(caption);
    AppendWord(kFontPoints);
    AppendString(kFontName);
}

void CDialogTemplate::AddControl(const wchar_t* className, const wchar_t* text, WORD id, DWORD style, short x,
                                 short y, short width, short height, DWORD exStyle)
{
    AlignToDword();
    AppendDword(style);
    AppendDword(exStyle);
    AppendWord(static_cast<WORD>(x));
    AppendWord(static_cast<WORD>(y));
    AppendWord(static_cast<WORD>(width));
    AppendWord(static_cast<WORD>(height));
    AppendWord(id);
    AppendString(className);
    AppendString(text);
    AppendWord(0);   // no creation data
    ++m_data[m_countOffset];
}

void CDialogTemplate::AppendWord(WORD value)
{
    m_data.push_back(value);
}

void CDialogTemplate::AppendDword(DWORD value)
{
    AppendWord(LOWORD(value));
    AppendWord(HIWORD(value));
}

void CDialogTemplate::AppendString(const wchar_t* text)
{
    for (const wchar_t* p = text != nullptr ? text : L""; *p != L'\0'; ++p)
        AppendWord(static_cast<WORD>(*p));
    AppendWord(0);
}

void CDialogTemplate::AlignToDword()
{
    if (m_data.size() % 2 != 0)
        AppendWord(0);
}
