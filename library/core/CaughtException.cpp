#include <windows.h>

#include <cstdarg>
#include <cstring>
#include <exception>
#include <string>

#include "LogCaughtException.h"
#include "Logger.h"
#include "StringFormat.h"

namespace
{
constexpr std::size_t kBuf = CLogger::TextBufferSize;

// A narrow text (as what() gives) as a wide one, at most kBuf - 1 characters.
std::wstring Widen(const char* text)
{
    if (text == nullptr)
        return {};
    const std::size_t length = strnlen(text, kBuf - 1);
    if (length == 0)
        return {};
    wchar_t wide[kBuf];
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide, static_cast<int>(kBuf - 1));
    return n > 0 ? std::wstring(wide, static_cast<std::size_t>(n)) : std::wstring();
}

void LogKind()
{
    try
    {
        throw;
    }
    catch (const std::exception& e)
    {
        const std::wstring what = Widen(e.what());
        CLogger::LogMessage(L"std::exception is: '%s'", what.empty() ? L"Unknown exception" : what.c_str());
    }
    catch (int value)
    {
        CLogger::LogMessage(L"exception is: %d", value);
    }
    catch (long value)
    {
        CLogger::LogMessage(L"exception is: %d", static_cast<int>(value));
    }
    catch (const wchar_t* text)
    {
        CLogger::LogMessage(L"exception is: '%s'", text != nullptr ? text : L"NULL");
    }
    catch (const char* text)
    {
        CLogger::LogMessage(L"exception is: '%S'", text != nullptr ? text : "NULL");
    }
    catch (const std::wstring& text)
    {
        CLogger::LogMessage(L"exception is: '%s'", text.c_str());
    }
    catch (const std::string& text)
    {
        CLogger::LogMessage(L"exception is: '%S'", text.c_str());
    }
    catch (...)
    {
        CLogger::LogMessage(L"exception is unknown!");
    }
}
}

void LogCaughtException(const wchar_t* format, ...)
{
    wchar_t place[kBuf] = {};
    try
    {
        va_list args;
        va_start(args, format);
        FormatV(place, kBuf, format, args);
        va_end(args);
    }
    catch (...)
    {
        std::wcscpy(place, L"<unable to format input string!>");
    }
    CLogger::LogMessage(L"Caught an exception in %s...", place);

    // Rethrowing with nothing in flight would end the process.
    if (!std::current_exception())
    {
        CLogger::LogMessage(L"exception is: none was being handled");
        return;
    }
    try
    {
        LogKind();
    }
    catch (...)
    {
        // Consumed: the caller's catch block goes on.
    }
}
