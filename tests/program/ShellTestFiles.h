#pragma once
// Helpers of the shell's tests: whole files, and the text that the log
// received since a point in the test.

#include <windows.h>

#include <string>
#include <vector>

#include "Logger.h"

namespace shelltest
{
inline std::string ReadBytes(const std::wstring& path, LONGLONG from = 0)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    LARGE_INTEGER at{};
    at.QuadPart = from;
    if (::SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
    {
        char block[65536];
        DWORD read = 0;
        while (::ReadFile(file, block, sizeof(block), &read, nullptr) && read > 0)
            bytes.append(block, read);
    }
    ::CloseHandle(file);
    return bytes;
}

inline std::string Utf8(const std::wstring& text)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string bytes(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                              nullptr);
    return bytes;
}

inline bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What the log file received after construction (ASCII texts compare exactly).
class LogTail
{
public:
    LogTail()
    {
        CLogger::ResolveLogPath();
        CLogger::FlushLog();
        wchar_t path[4096] = {};
        CLogger::GetLogPath(path, 4096);
        m_path = path;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!m_path.empty() && ::GetFileAttributesExW(m_path.c_str(), GetFileExInfoStandard, &data))
            m_start = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    std::wstring Text() const
    {
        CLogger::FlushLog();
        wchar_t path[4096] = {};
        CLogger::GetLogPath(path, 4096);
        const std::string bytes = ReadBytes(path, std::wstring(path) == m_path ? m_start : 0);
        const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        std::wstring text(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
        if (n > 0)
            ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
        return text;
    }

    bool Contains(const std::wstring& part) const { return Text().find(part) != std::wstring::npos; }

private:
    std::wstring m_path;
    LONGLONG m_start = 0;
};
}
