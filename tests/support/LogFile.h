#pragma once
// The log file of the test process, read as a test looks for lines in it.

#include <string>

#include "Folders.h"
#include "Logger.h"
#include "TempFolder.h"

namespace brmptest
{
// The whole log file as bytes, flushed first (the logger keeps it open for
// writing); empty when there is none. The lines searched for are ASCII.
inline std::string ReadLogFile()
{
    CLogger::FlushLog();
    wchar_t path[kMaxPathChars] = L"";
    CLogger::GetLogPath(path, kMaxPathChars);
    return ReadFileBytes(path).value_or(std::string());
}
} // namespace brmptest
