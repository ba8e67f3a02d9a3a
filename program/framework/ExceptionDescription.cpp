#include "ExceptionDescription.h"

#include <windows.h>

#include <exception>

#include "Exceptions.h"
#include "StringFormat.h"

namespace
{
constexpr UINT kMessageSize = 4096;

std::wstring DescribeFrameworkException(const CException& e)
{
    // Without a message the quotes stay empty.
    wchar_t message[kMessageSize] = {};
    e.GetErrorMessage(message, kMessageSize);
    return FormatString(L"%s is: '%s'", e.KindName(), message);
}
}

std::wstring DescribeCurrentException()
{
    if (!std::current_exception())
        return L"exception is unknown!";
    try
    {
        throw;
    }
    catch (const std::exception& e)
    {
        const char* what = e.what();
        return what != nullptr ? FormatString(L"std::exception is: '%S'", what)
                               : FormatString(L"std::exception is: '%s'", L"Unknown exception");
    }
    catch (const CException& e)
    {
        return DescribeFrameworkException(e);
    }
    catch (CException* e)
    {
        if (e == nullptr)
            return L"exception is unknown!";
        std::wstring text = DescribeFrameworkException(*e);
        delete e;
        return text;
    }
    catch (int value)
    {
        return FormatString(L"exception is: %d", value);
    }
    catch (long value)
    {
        return FormatString(L"exception is: %d", static_cast<int>(value));
    }
    catch (const wchar_t* text)
    {
        return FormatString(L"exception is: '%s'", text != nullptr ? text : L"(null)");
    }
    catch (const char* text)
    {
        return FormatString(L"exception is: '%S'", text != nullptr ? text : "(null)");
    }
    catch (...)
    {
        return L"exception is unknown!";
    }
}
