#include "CaughtException.h"

#include <cstdarg>
#include <string>

#include "ExceptionDescription.h"
#include "Logger.h"
#include "StringFormat.h"

namespace
{
constexpr std::size_t kPlaceSize = 4096;
}

void LogCaughtException(const wchar_t* format, ...)
{
    wchar_t place[kPlaceSize] = {};
    try
    {
        va_list args;
        va_start(args, format);
        FormatV(place, kPlaceSize, format, args);
        va_end(args);
    }
    catch (...)
    {
        FormatArray(place, L"%s", L"<unable to format input string!>");
    }
    CLogger::LogMessage(L"Caught an exception in %s...", place);

    // Names the exception by its kind (and frees a framework exception thrown
    // as a pointer); the exception itself ends here.
    std::wstring description;
    try
    {
        description = DescribeCurrentException();
    }
    catch (...)
    {
        description = L"exception is unknown!";
    }
    CLogger::LogMessage(L"%s", description.c_str());
}
