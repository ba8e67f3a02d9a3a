#include "TempFolder.h"

#include <windows.h>

#include <atomic>

namespace brmptest
{

namespace
{

std::wstring TempPath()
{
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH)
        return L".\\";
    return std::wstring(buffer, n);
}

} // namespace

TempFolder::TempFolder(std::wstring_view prefix)
{
    static std::atomic<unsigned> counter{0};
    const std::wstring base = TempPath();
    // A folder left by an earlier process with the same id is skipped, never reused.
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        std::wstring path = base;
        path += prefix;
        path += L'-';
        path += std::to_wstring(::GetCurrentProcessId());
        path += L'-';
        path += std::to_wstring(++counter);
        if (::CreateDirectoryW(path.c_str(), nullptr))
        {
            m_path = std::move(path);
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return;
    }
}

TempFolder::~TempFolder()
{
    if (IsValid() && !m_keep)
        RemoveTree(m_path);
}

std::wstring TempFolder::PathOf(std::wstring_view name) const
{
    std::wstring path = m_path;
    path += L'\\';
    path += name;
    return path;
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    ::CloseHandle(file);
    return ok;
}

std::optional<std::string> ReadFileBytes(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) != FALSE) && read > 0)
        bytes.append(buffer, read);
    ::CloseHandle(file);
    if (!ok)
        return std::nullopt;
    return bytes;
}

bool WriteFileText(const std::wstring& path, std::wstring_view text, bool byteOrderMark)
{
    std::string bytes;
    if (byteOrderMark)
        bytes.append("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return WriteFileBytes(path, bytes);
}

bool RemoveTree(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    // A link to a folder is removed, never followed.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryW(path.c_str()) != FALSE
                                                       : ::DeleteFileW(path.c_str()) != FALSE;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..")
                RemoveTree(path + L'\\' + name);
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

} // namespace brmptest
