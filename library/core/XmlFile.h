#pragma once
// Reading an XML file the user names (the settings file, a profile file): only
// a regular file of a bounded size is read, in one piece.

#include <windows.h>

#include <functional>

#include "pugixml.hpp"

// A settings file of this size is no settings file (a full one with every
// profile slot used is a few megabytes per hundred profiles).
inline constexpr unsigned long long kMaxXmlFileBytes = 512ull * 1024 * 1024;

// Parses the file at path. The file is read in one piece and shared for
// deleting as well: a save elsewhere (the program's Apply while the engine
// reloads) may put a new file in its place meanwhile, and this read goes on
// with the file as it was. A missing file gives status_file_not_found; a name
// that is no regular file (a device, a pipe, a folder) is logged and gives
// status_io_error without being read.
// read, when given, learns the system's error of a failed open or read, and
// opened is called with the file once it is open, before its bytes are read;
// readFile reads them.
struct XmlFileRead
{
    DWORD error = ERROR_SUCCESS;
    std::function<void(HANDLE)> opened;
    BOOL (WINAPI* readFile)(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) = ::ReadFile;
};
pugi::xml_parse_result LoadXmlFile(pugi::xml_document& document, const wchar_t* path, unsigned int flags,
                                   XmlFileRead* read = nullptr);

// Writes the document (UTF-8, tab indents, format) to a new file beside path,
// flushed, and puts it in place of path in one step; on any failure the file
// at path is left as it was and the last error says why. A read-only file, a
// folder and a name that is no regular file are refused.
bool SaveXmlFile(const pugi::xml_document& document, const wchar_t* path, unsigned int format);
