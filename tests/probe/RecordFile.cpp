#include "RecordFile.h"

RecordLine::RecordLine(std::string_view name) : m_text(name) {}

RecordLine& RecordLine::Add(std::string_view key, long long value)
{
    m_text += ' ';
    m_text += key;
    m_text += '=';
    m_text += std::to_string(value);
    return *this;
}

RecordLine& RecordLine::AddHex(std::string_view key, std::uint64_t value)
{
    static const char digits[] = "0123456789abcdef";
    char buffer[16];
    int n = 0;
    do
    {
        buffer[n++] = digits[value & 0xF];
        value >>= 4;
    } while (value != 0 && n < 16);
    m_text += ' ';
    m_text += key;
    m_text += "=0x";
    while (n > 0)
        m_text += buffer[--n];
    return *this;
}

RecordFile::~RecordFile()
{
    if (m_file != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_file);
}

bool RecordFile::Open(const std::wstring& path)
{
    // Shared for reading, writing and deleting: the test reads while we write,
    // and removes the file when it is done even if we are still running.
    m_file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return m_file != INVALID_HANDLE_VALUE;
}

void RecordFile::Write(RecordLine line)
{
    if (m_file == INVALID_HANDLE_VALUE)
        return;
    line.Add("seq", ++m_sequence).Add("tick", static_cast<long long>(::GetTickCount()));
    std::string text = line.Text();
    text += '\n';
    DWORD written = 0;
    ::WriteFile(m_file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
