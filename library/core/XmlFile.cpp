#include "XmlFile.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>

#include "Handles.h"
#include "Logger.h"
#include "RegularFile.h"

pugi::xml_parse_result LoadXmlFile(pugi::xml_document& document, const wchar_t* path, unsigned int flags)
{
    pugi::xml_parse_result result;
    UniqueHandle file(OpenRegularFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      FILE_FLAG_SEQUENTIAL_SCAN));
    if (!file)
    {
        const DWORD error = ::GetLastError();
        if (error == kNotRegularFileError)
            CLogger::LogMessage(L"LoadXmlFile: '%s' is not a regular file; it is not read", path);
        result.status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? pugi::status_file_not_found
                                                                                         : pugi::status_io_error;
        return result;
    }
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
    {
        result.status = pugi::status_io_error;
        return result;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > kMaxXmlFileBytes)
    {
        result.status = pugi::status_out_of_memory;
        return result;
    }
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[static_cast<size_t>(size.QuadPart) + 1]);
    if (!bytes)
    {
        result.status = pugi::status_out_of_memory;
        return result;
    }
    size_t total = 0;
    const size_t wanted = static_cast<size_t>(size.QuadPart);
    while (total < wanted)
    {
        DWORD read = 0;
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(wanted - total, 64u * 1024 * 1024));
        if (!::ReadFile(file.Get(), bytes.get() + total, piece, &read, nullptr))
        {
            result.status = pugi::status_io_error;
            return result;
        }
        if (read == 0)
            break; // the file became shorter: parse what is there
        total += read;
    }
    return document.load_buffer(bytes.get(), total, flags);
}
