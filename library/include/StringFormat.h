#pragma once
// printf-style formatting with the Microsoft rules for wide formats: %s and %c
// take wide arguments, %S and %C narrow ones. Every formatted text of the
// system goes through these functions (MinGW's swprintf follows C99 rules,
// where %s means a narrow string).

#include <cstdarg>
#include <cstddef>
#include <string>

#include "SnareholdApi.h"

// Formats into buffer (count characters, terminator included). The result is
// always terminated; a text that does not fit is cut. Returns the number of
// characters written without the terminator.
SNAREHOLD_API int FormatV(wchar_t* buffer, std::size_t count, const wchar_t* format, va_list args);
int Format(wchar_t* buffer, std::size_t count, const wchar_t* format, ...);

// Formats into a string of any length.
SNAREHOLD_API std::wstring FormatStringV(const wchar_t* format, va_list args);
SNAREHOLD_API std::wstring FormatString(const wchar_t* format, ...);

template <std::size_t N>
inline int FormatArray(wchar_t (&buffer)[N], const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = FormatV(buffer, N, format, args);
    va_end(args);
    return n;
}
