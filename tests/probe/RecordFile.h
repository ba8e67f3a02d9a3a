#pragma once
// The probe's record file: one line per message, "NAME key=value ...", written
// whole with one WriteFile call so that a reader in another process never sees
// half a line, and never buffered in this process.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

class RecordLine
{
public:
    explicit RecordLine(std::string_view name);

    RecordLine& Add(std::string_view key, long long value);
    RecordLine& AddHex(std::string_view key, std::uint64_t value);

    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

class RecordFile
{
public:
    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    bool Open(const std::wstring& path);
    // Appends the line and a line break; the sequence number and the tick count
    // are added so that a reader can order records and spot gaps.
    void Write(RecordLine line);

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    long long m_sequence = 0;
};
