#include "StringFormat.h"

#include <cstdio>
#include <cwchar>
#include <vector>

// msvcrt's _vsnwprintf keeps the Microsoft meaning of %s in wide formats, whatever
// the C library headers map the standard names (swprintf, vswprintf) to.

int FormatV(wchar_t* buffer, std::size_t count, const wchar_t* format, va_list args)
{
    if (buffer == nullptr || count == 0)
        return 0;
    if (format == nullptr)
    {
        buffer[0] = L'\0';
        return 0;
    }
    va_list copy;
    va_copy(copy, args);
    int n = _vsnwprintf(buffer, count - 1, format, copy);
    va_end(copy);
    if (n < 0 || static_cast<std::size_t>(n) >= count - 1)
    {
        // Cut: _vsnwprintf leaves the buffer unterminated when the text fills it.
        buffer[count - 1] = L'\0';
        n = static_cast<int>(std::wcslen(buffer));
    }
    return n;
}

int Format(wchar_t* buffer, std::size_t count, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = FormatV(buffer, count, format, args);
    va_end(args);
    return n;
}

std::wstring FormatStringV(const wchar_t* format, va_list args)
{
    if (format == nullptr)
        return {};
    std::vector<wchar_t> buffer(512);
    for (;;)
    {
        va_list copy;
        va_copy(copy, args);
        const int n = _vsnwprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<std::size_t>(n) < buffer.size())
            return std::wstring(buffer.data(), static_cast<std::size_t>(n));
        if (buffer.size() >= (1u << 24))
        {
            buffer.back() = L'\0';
            return std::wstring(buffer.data());
        }
        buffer.resize(buffer.size() * 4);
    }
}

std::wstring FormatString(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatStringV(format, args);
    va_end(args);
    return text;
}
