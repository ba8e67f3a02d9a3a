#include "TranslationFormat.h"

#include <cwchar>

namespace
{
constexpr int kMaxNumber = 999;

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Reads a width or precision: digits or "*". False when the number is too large.
bool ReadNumber(const wchar_t*& p, std::vector<FormatArgument>& arguments)
{
    if (*p == L'*')
    {
        arguments.push_back(FormatArgument::Int32);
        ++p;
        return true;
    }
    int value = 0;
    while (IsDigit(*p))
    {
        value = value * 10 + (*p - L'0');
        if (value > kMaxNumber)
            return false;
        ++p;
    }
    return true;
}

enum class Size
{
    None,
    Short,    // h
    Long,     // l
    LongLong, // ll
    Wide,     // w
    Int32,    // I32
    Int64,    // I64, I
    LongDouble,
};
}

bool ScanFormatArguments(const wchar_t* format, std::vector<FormatArgument>& arguments)
{
    arguments.clear();
    if (format == nullptr)
        return true;
    for (const wchar_t* p = format; *p != L'\0';)
    {
        if (*p++ != L'%')
            continue;
        if (*p == L'%')
        {
            ++p;
            continue;
        }
        while (*p == L'-' || *p == L'+' || *p == L' ' || *p == L'#' || *p == L'0')
            ++p;
        if (!ReadNumber(p, arguments))
            return false;
        if (*p == L'.')
        {
            ++p;
            if (!ReadNumber(p, arguments))
                return false;
        }

        Size size = Size::None;
        if (*p == L'h')
        {
            size = Size::Short;
            ++p;
        }
        else if (*p == L'l')
        {
            ++p;
            size = Size::Long;
            if (*p == L'l')
            {
                size = Size::LongLong;
                ++p;
            }
        }
        else if (*p == L'w')
        {
            size = Size::Wide;
            ++p;
        }
        else if (*p == L'L')
        {
            size = Size::LongDouble;
            ++p;
        }
        else if (*p == L'I')
        {
            ++p;
            size = Size::Int64;
            if (p[0] == L'3' && p[1] == L'2')
            {
                size = Size::Int32;
                p += 2;
            }
            else if (p[0] == L'6' && p[1] == L'4')
            {
                p += 2;
            }
        }

        const wchar_t type = *p;
        if (type == L'\0')
            return false;
        ++p;
        switch (type)
        {
        case L'd':
        case L'i':
        case L'o':
        case L'u':
        case L'x':
        case L'X':
            if (size == Size::None || size == Size::Short || size == Size::Long || size == Size::Int32)
                arguments.push_back(FormatArgument::Int32);
            else if (size == Size::LongLong || size == Size::Int64)
                arguments.push_back(FormatArgument::Int64);
            else
                return false;
            break;
        case L'c':
        case L'C':
            if (size != Size::None && size != Size::Short && size != Size::Long && size != Size::Wide)
                return false;
            arguments.push_back(FormatArgument::Char);
            break;
        case L'e':
        case L'E':
        case L'f':
        case L'F':
        case L'g':
        case L'G':
        case L'a':
        case L'A':
            if (size != Size::None && size != Size::Long && size != Size::LongDouble)
                return false;
            arguments.push_back(FormatArgument::Double);
            break;
        case L's':
        case L'S':
            if (size == Size::Short)
                arguments.push_back(FormatArgument::NarrowText);
            else if (size == Size::Long || size == Size::Wide)
                arguments.push_back(FormatArgument::WideText);
            else if (size == Size::None)
                arguments.push_back(type == L's' ? FormatArgument::WideText : FormatArgument::NarrowText);
            else
                return false;
            break;
        case L'p':
            if (size != Size::None)
                return false;
            arguments.push_back(FormatArgument::Pointer);
            break;
        case L'n':
            arguments.push_back(FormatArgument::WriteCount);
            break;
        default:
            return false;
        }
    }
    return true;
}

bool TranslationFormatMatches(const wchar_t* english, const wchar_t* translation)
{
    if (english == nullptr || translation == nullptr)
        return false;
    std::vector<FormatArgument> expected;
    std::vector<FormatArgument> found;
    if (!ScanFormatArguments(translation, found))
        return false;
    for (FormatArgument argument : found)
        if (argument == FormatArgument::WriteCount)
            return false;
    if (!ScanFormatArguments(english, expected))
        return std::wcscmp(english, translation) == 0;
    return expected == found;
}
