#include "CommandLine.h"

namespace brmptest
{

std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument)
    {
        if (c == L'\\')
        {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there they are doubled, and the quote escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

std::wstring BuildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    std::wstring commandLine = QuoteArgument(program);
    for (const std::wstring& argument : arguments)
    {
        commandLine += L' ';
        commandLine += QuoteArgument(argument);
    }
    return commandLine;
}

} // namespace brmptest
