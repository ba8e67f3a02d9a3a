#pragma once
// Building command lines for the processes a test starts.

#include <string>
#include <vector>

namespace brmptest
{

// One argument quoted so that the Windows rules (CommandLineToArgvW, the C
// runtime, and Wine for a Unix program's argv) give it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);

// "program" arg1 arg2 ... with each part quoted as needed.
std::wstring BuildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments);

} // namespace brmptest
