#pragma once
// Files the user names (settings and profile files, language packs, a path
// relayed by another instance) are read only when the name is a regular file
// on a disk. A name can as well reach a serial port or the console, a pipe, a
// volume or a folder: a reader of those waits for ever or never reaches an
// end, and a copy of them does the same. They are refused before anything is
// read from them.

#include <windows.h>

#include "SnareholdApi.h"

// The error of a name that exists but is not a regular file.
inline constexpr DWORD kNotRegularFileError = ERROR_BAD_FILE_TYPE;

// Names in the system's device namespaces ("\\.\", "\\?\GLOBALROOT", "\??\",
// and "\\?\" other than before a drive path or "UNC\"), and the named pipes
// and mailslots of a machine over UNC ("\\server\pipe\...",
// "\\?\UNC\server\mailslot\..."): they name devices, pipes and volumes,
// never a file of a folder. Decided from the text alone, so that not even a
// query of the name's attributes reaches them (that opens a pipe too).
SNAREHOLD_API bool IsDeviceNamespacePath(const wchar_t* path);

// Opens path for reading (GENERIC_READ with the given share mode and
// FILE_FLAG_ values) when it names a regular file: the name is first opened without any access
// to the data and the handle's kind and attributes checked, and only the same
// file is then opened for reading. Nothing is read and nothing waits.
// INVALID_HANDLE_VALUE on failure, with the last error: ERROR_FILE_NOT_FOUND
// or ERROR_PATH_NOT_FOUND for a name that does not exist, kNotRegularFileError
// for one that is not a regular file, another system error otherwise.
SNAREHOLD_API HANDLE OpenRegularFile(const wchar_t* path, DWORD share, DWORD flags);
