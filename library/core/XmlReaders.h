#pragma once
// Bounded reading of the settings file's attributes: a value outside its range
// is logged and replaced, never trusted as an index, a code or a time.

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
