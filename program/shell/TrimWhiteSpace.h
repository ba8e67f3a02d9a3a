#pragma once
// Text without the white space at its two ends.

#include <cstddef>
#include <cwctype>
#include <string>

inline std::wstring TrimWhiteSpace(const std::wstring& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && std::iswspace(text[first]))
        ++first;
    while (last > first && std::iswspace(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}
