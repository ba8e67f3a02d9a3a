#pragma once
// Owned copies of the settings model's wide strings: null stays null (not set),
// which differs from an empty text.

#include <cstring>
#include <cwchar>
#include <memory>

inline std::unique_ptr<wchar_t[]> CopyOwnedString(const wchar_t* text)
{
    if (text == nullptr)
        return nullptr;
    const std::size_t length = std::wcslen(text);
    std::unique_ptr<wchar_t[]> copy(new wchar_t[length + 1]);
    std::memcpy(copy.get(), text, (length + 1) * sizeof(wchar_t));
    return copy;
}
