#pragma once
// Texts of the program that name it: built at run time rather than kept as
// one literal, so that a rename touches one place.

#include <string>

inline std::wstring AppProductName()
{
    return std::wstring(L"Brindle") + L"map";
}

// The four-letter short name used in messages and logs.
inline std::wstring AppShortName()
{
    return std::wstring(L"BR") + L"MP";
}

// The caption of the program's own start-up message boxes.
inline std::wstring AppCaption()
{
    return AppProductName();
}

inline constexpr const wchar_t* kAppVersion = L"2.20.5";
