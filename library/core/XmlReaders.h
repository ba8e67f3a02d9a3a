#pragma once
// Bounded reading of the settings file's attributes: a value outside its range
// is logged and replaced, never trusted as an index, a code or a time.

#include <cstddef>
#include <cwchar>

#include "Logger.h"
#include "pugixml.hpp"

// The attribute's int, or missing when it is absent. A value outside low..high
// is logged under context and replaced by fallback.
inline int ReadXmlInt(pugi::xml_attribute attribute, int missing, int low, int high, int fallback,
                      const wchar_t* context)
{
    if (!attribute)
        return missing;
    const int value = attribute.as_int(missing);
    if (value < low || value > high)
    {
        CLogger::LogMessage(L"%s: attribute '%s' has the invalid value %d (allowed %d to %d); using %d",
                            context, attribute.name(), value, low, high, fallback);
        return fallback;
    }
    return value;
}

// The attribute's bool, or missing when it is absent.
inline bool ReadXmlBool(pugi::xml_attribute attribute, bool missing)
{
    return attribute ? attribute.as_bool(missing) : missing;
}

// prefix followed by a non-negative number and suffix ("Time2", "layer10_switch"),
// written into buffer without printf formatting: a load builds such names
// thousands of times. A name that does not fit is cut.
template <std::size_t N>
inline const wchar_t* NumberedXmlName(wchar_t (&buffer)[N], const wchar_t* prefix, int number,
                                      const wchar_t* suffix = L"")
{
    static_assert(N > 11, "room for a number");
    wchar_t digits[10];
    std::size_t count = 0;
    unsigned int value = number < 0 ? 0u : static_cast<unsigned int>(number);
    do
    {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::size_t at = 0;
    for (const wchar_t* c = prefix; *c != L'\0' && at + count + 1 < N; ++c)
        buffer[at++] = *c;
    while (count > 0)
        buffer[at++] = digits[--count];
    for (const wchar_t* c = suffix; *c != L'\0' && at + 1 < N; ++c)
        buffer[at++] = *c;
    buffer[at] = L'\0';
    return buffer;
}
