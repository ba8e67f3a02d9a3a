#include "RegularFile.h"

#include <cwctype>
#include <string>

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

// After the two separators of a UNC name: whether its share is "pipe" or
// "mailslot", which every machine's redirector takes for its named pipes and
// mailslots rather than for a folder. Runs of separators and the trailing dots
// and spaces that the path normalisation drops are passed over, so that no
// spelling of them is taken for a share of files.
bool IsPipeOrMailslotShare(const wchar_t* server)
{
    while (IsSeparator(*server))
        ++server;
    const wchar_t* share = server;
    while (*share != L'\0' && !IsSeparator(*share))
        ++share;
    while (IsSeparator(*share))
        ++share;
    size_t length = 0;
    while (share[length] != L'\0' && !IsSeparator(share[length]))
        ++length;
    while (length > 0 && (share[length - 1] == L'.' || share[length - 1] == L' '))
        --length;
    const std::wstring name(share, length);
    return ::CompareStringOrdinal(name.c_str(), -1, L"PIPE", -1, TRUE) == CSTR_EQUAL ||
           ::CompareStringOrdinal(name.c_str(), -1, L"MAILSLOT", -1, TRUE) == CSTR_EQUAL;
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
        return StartsWith(path, L"\\\\") && IsPipeOrMailslotShare(path + 2);
    const wchar_t* rest = path + 4;
    if (StartsWith(rest, L"UNC\\"))
        return IsPipeOrMailslotShare(rest + 4);
    return !IsDrivePath(rest);
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
