#include "RegularFile.h"

#include <cwctype>

#include "Handles.h"

namespace
{
bool StartsWith(const wchar_t* text, const wchar_t* prefix)
{
    for (; *prefix != L'\0'; ++text, ++prefix)
    {
        const wchar_t a = *text == L'/' ? L'\\' : static_cast<wchar_t>(std::towupper(*text));
        const wchar_t b = *prefix == L'/' ? L'\\' : static_cast<wchar_t>(std::towupper(*prefix));
        if (a != b)
            return false;
    }
    return true;
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// "C:\..." after a "\\?\" prefix: a long path to a file of a drive.
bool IsDrivePath(const wchar_t* text)
{
    return std::iswalpha(text[0]) && text[1] == L':' && IsSeparator(text[2]);
}

// The handle of a check: no access to the data, so that opening a device or a
// pipe starts nothing; folders open too (backup semantics), to be recognised.
UniqueHandle OpenForCheck(const wchar_t* path)
{
    return UniqueHandle(::CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool IsRegularHandle(HANDLE handle)
{
    if (::GetFileType(handle) != FILE_TYPE_DISK)
        return false;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information))
        return false;
    return (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// The check handle of a regular file, or none with the last error set.
UniqueHandle CheckedHandle(const wchar_t* path)
{
    if (path == nullptr || *path == L'\0')
    {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return UniqueHandle();
    }
    if (IsDeviceNamespacePath(path))
    {
        ::SetLastError(kNotRegularFileError);
        return UniqueHandle();
    }
    UniqueHandle handle = OpenForCheck(path);
    if (!handle)
        return handle;
    if (!IsRegularHandle(handle.Get()))
    {
        handle.Reset();
        ::SetLastError(kNotRegularFileError);
    }
    return handle;
}
}

bool IsDeviceNamespacePath(const wchar_t* path)
{
    if (path == nullptr)
        return false;
    if (StartsWith(path, L"\\\\.\\") || StartsWith(path, L"\\??\\"))
        return true;
    if (!StartsWith(path, L"\\\\?\\"))
        return false;
    const wchar_t* rest = path + 4;
    return !IsDrivePath(rest) && !StartsWith(rest, L"UNC\\");
}

HANDLE OpenRegularFile(const wchar_t* path, DWORD share, DWORD flags)
{
    UniqueHandle checked = CheckedHandle(path);
    if (!checked)
        return INVALID_HANDLE_VALUE;
    // The file checked, not whatever the name may lead to a moment later.
    HANDLE reading = ::ReOpenFile(checked.Get(), GENERIC_READ, share, flags & ~FILE_FLAG_BACKUP_SEMANTICS);
    const DWORD error = ::GetLastError();
    checked.Reset();
    if (reading == INVALID_HANDLE_VALUE)
        ::SetLastError(error);
    return reading;
}
