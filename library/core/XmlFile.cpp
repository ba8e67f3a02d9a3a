#include "XmlFile.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "Handles.h"
#include "Logger.h"
#include "RegularFile.h"

pugi::xml_parse_result LoadXmlFile(pugi::xml_document& document, const wchar_t* path, unsigned int flags,
                                   XmlFileRead* read)
{
    XmlFileRead unused;
    XmlFileRead& outcome = read != nullptr ? *read : unused;
    pugi::xml_parse_result result;
    UniqueHandle file(OpenRegularFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      FILE_FLAG_SEQUENTIAL_SCAN));
    if (!file)
    {
        const DWORD error = ::GetLastError();
        outcome.error = error;
        if (error == kNotRegularFileError)
            CLogger::LogMessage(L"LoadXmlFile: '%s' is not a regular file; it is not read", path);
        result.status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? pugi::status_file_not_found
                                                                                         : pugi::status_io_error;
        return result;
    }
    if (outcome.opened)
        outcome.opened(file.Get());
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
    {
        outcome.error = ::GetLastError();
        result.status = pugi::status_io_error;
        return result;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > kMaxXmlFileBytes)
    {
        result.status = pugi::status_out_of_memory;
        return result;
    }
    // The bytes go to the document, which frees them as soon as they are
    // converted to its own text, as a parse of a file by name does.
    struct PugiFree
    {
        void operator()(char* memory) const { pugi::get_memory_deallocation_function()(memory); }
    };
    std::unique_ptr<char, PugiFree> bytes(
        static_cast<char*>(pugi::get_memory_allocation_function()(static_cast<size_t>(size.QuadPart) + 1)));
    if (!bytes)
    {
        result.status = pugi::status_out_of_memory;
        return result;
    }
    size_t total = 0;
    const size_t wanted = static_cast<size_t>(size.QuadPart);
    while (total < wanted)
    {
        DWORD got = 0;
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(wanted - total, 64u * 1024 * 1024));
        if (!outcome.readFile(file.Get(), bytes.get() + total, piece, &got, nullptr))
        {
            outcome.error = ::GetLastError();
            result.status = pugi::status_io_error;
            return result;
        }
        if (got == 0)
            break; // the file became shorter: parse what is there
        total += got;
    }
    return document.load_buffer_inplace_own(bytes.release(), total, flags);
}
