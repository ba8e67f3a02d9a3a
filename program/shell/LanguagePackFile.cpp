#include "LanguagePackFile.h"

#include <algorithm>

#include "Handles.h"
#include "Logger.h"
#include "RegularFile.h"
#include "StringFormat.h"
#include "TrimWhiteSpace.h"

namespace
{
bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

void TrimBlanks(std::wstring& text)
{
    while (!text.empty() && IsBlank(text.back()))
        text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    text.erase(0, first);
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

bool EscapedAt(const std::wstring& text, std::size_t index)
{
    return index > 0 && text[index - 1] == L'\\';
}

std::wstring Decode(const char* data, int size, UINT codePage, DWORD flags)
{
    if (size <= 0)
        return {};
    const int length = ::MultiByteToWideChar(codePage, flags, data, size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, flags, data, size, text.data(), length);
    return text;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes, DWORD& error)
{
    UniqueHandle file(OpenRegularFile(path.c_str(), FILE_SHARE_READ | FILE_SHARE_DELETE, 0));
    if (!file)
    {
        error = ::GetLastError();
        return false;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size))
    {
        error = ::GetLastError();
        return false;
    }
    if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > kMaxLanguagePackBytes)
    {
        error = ERROR_FILE_TOO_LARGE;
        return false;
    }
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size())
    {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr))
        {
            error = ::GetLastError();
            return false;
        }
        if (read == 0)
            break; // the file shrank while being read
        done += read;
    }
    bytes.resize(done);
    return true;
}

void ReadHeaderLines(const std::vector<std::wstring>& lines, LanguagePackInfo& info, bool& foundLanguage)
{
    struct Field
    {
        const wchar_t* prefix;
        std::wstring LanguagePackInfo::*member;
    };
    const Field fields[] = {
        {L"Language=", &LanguagePackInfo::language},
        {L"Description=", &LanguagePackInfo::description},
        {L"Author=", &LanguagePackInfo::author},
    };
    for (const std::wstring& raw : lines)
    {
        const std::wstring line = TrimWhiteSpace(raw);
        for (const Field& field : fields)
        {
            const std::size_t length = std::char_traits<wchar_t>::length(field.prefix);
            if (line.compare(0, length, field.prefix) == 0)
            {
                info.*field.member = TrimWhiteSpace(line.substr(length));
                if (field.member == &LanguagePackInfo::language)
                    foundLanguage = true;
            }
        }
    }
}

bool ReadHeader(const std::wstring& path, LanguagePackInfo& info, bool& foundLanguage)
{
    std::vector<std::wstring> lines;
    bool badEncoding = false;
    DWORD error = 0;
    if (!ReadLanguagePackLines(path, lines, badEncoding, error))
    {
        CLogger::LogOSMessage(error, L"Unable to load language file '%s'", path.c_str());
        return false;
    }
    ReadHeaderLines(lines, info, foundLanguage);
    return true;
}

bool EndsWithNoCase(const std::wstring& text, const wchar_t* suffix)
{
    const std::size_t length = std::char_traits<wchar_t>::length(suffix);
    return text.size() >= length &&
           ::CompareStringOrdinal(text.c_str() + text.size() - length, static_cast<int>(length), suffix,
                                  static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

std::wstring FullPath(const std::wstring& path)
{
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0 || needed > 32768)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    full.resize(length);
    return full;
}

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The first of "<target>.bak", "<target>.1.bak", "<target>.2.bak" ... that is free.
bool FreeBackupName(const std::wstring& target, std::wstring& backup)
{
    backup = target + L".bak";
    for (int n = 1; FileExists(backup); ++n)
    {
        if (n > 9999)
            return false;
        backup = FormatString(L"%s.%d.bak", target.c_str(), n);
    }
    return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!file)
        return false;
    std::size_t done = 0;
    while (done < bytes.size())
    {
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return ::FlushFileBuffers(file.Get()) != FALSE;
}
}

std::vector<std::wstring> SplitLanguagePackText(const std::string& bytes, bool& badEncoding)
{
    badEncoding = false;
    std::wstring text;
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    if (size >= 2 && static_cast<unsigned char>(data[0]) == 0xFF && static_cast<unsigned char>(data[1]) == 0xFE)
    {
        // Saved as UTF-16 by an editor: take it as it is.
        const std::size_t count = (size - 2) / 2;
        text.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(data[2 + 2 * i]) |
                                           (static_cast<unsigned char>(data[3 + 2 * i]) << 8));
        badEncoding = (size - 2) % 2 != 0;
    }
    else
    {
        if (size >= 3 && static_cast<unsigned char>(data[0]) == 0xEF && static_cast<unsigned char>(data[1]) == 0xBB &&
            static_cast<unsigned char>(data[2]) == 0xBF)
        {
            data += 3;
            size -= 3;
        }
        const int count = static_cast<int>(size);
        text = Decode(data, count, CP_UTF8, MB_ERR_INVALID_CHARS);
        if (text.empty() && count > 0)
        {
            badEncoding = true;
            text = Decode(data, count, CP_UTF8, 0);
        }
    }

    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start <= text.size())
    {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        const std::size_t length = end - start;
        if (length == 0)
            lines.emplace_back();
        for (std::size_t piece = 0; piece < length; piece += kLanguageLinePiece)
            lines.push_back(text.substr(start + piece, std::min(kLanguageLinePiece, length - piece)));
        if (end == text.size())
            break;
        start = end + 1;
    }
    return lines;
}

bool ReadLanguagePackLines(const std::wstring& path, std::vector<std::wstring>& lines, bool& badEncoding,
                           DWORD& error)
{
    lines.clear();
    badEncoding = false;
    error = ERROR_SUCCESS;
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error))
        return false;
    lines = SplitLanguagePackText(bytes, badEncoding);
    return true;
}

LanguageLine ParseLanguageLine(const std::wstring& raw)
{
    LanguageLine result;
    std::wstring line = TrimWhiteSpace(raw);
    if (line.empty() || line[0] == L'#')
        return result;

    ReplaceAll(line, L"\\r", L"\r");
    ReplaceAll(line, L"\\n", L"\n");
    ReplaceAll(line, L"\\t", L"\t");

    static const wchar_t* const kSeparators[] = {L"\" =>", L"\"=>", L"\"\t=>", L"\"  =>"};
    std::size_t at = std::wstring::npos;
    std::size_t separatorLength = 0;
    for (const wchar_t* separator : kSeparators)
    {
        const std::size_t found = line.find(separator);
        if (found != std::wstring::npos && found > 0)
        {
            at = found;
            separatorLength = std::char_traits<wchar_t>::length(separator);
            break;
        }
    }
    if (at == std::wstring::npos)
    {
        result.kind = LanguageLine::Kind::NoSeparator;
        return result;
    }
    result.kind = LanguageLine::Kind::Entry;

    // The English text: the surrounding quotes and blanks go, except a quote
    // that is escaped (an English text may end in a quote).
    std::wstring key = line.substr(0, at);
    while (!key.empty() && (IsBlank(key.back()) || (key.back() == L'"' && !EscapedAt(key, key.size() - 1))))
        key.pop_back();
    std::size_t first = 0;
    while (first < key.size() && (IsBlank(key[first]) || key[first] == L'"'))
        ++first;
    key.erase(0, first);
    ReplaceAll(key, L"\\\"", L"\"");

    // The translation: the quoted part after the separator.
    std::wstring value = line.substr(at + separatorLength);
    TrimBlanks(value);
    if (!value.empty() && value[0] == L'"')
        value.erase(0, 1);
    for (std::size_t i = 0; i < value.size(); ++i)
    {
        if (value[i] == L'"' && !EscapedAt(value, i))
        {
            value.erase(i);
            break;
        }
    }
    ReplaceAll(value, L"\\\"", L"\"");
    TrimBlanks(value);

    result.key = std::move(key);
    result.value = std::move(value);
    return result;
}

bool ReadLanguagePackHeader(const std::wstring& folder, const WIN32_FIND_DATAW& entry, LanguagePackInfo& info)
{
    info.fileName.assign(entry.cFileName, ::wcsnlen(entry.cFileName, MAX_PATH));
    info.fullPath = folder;
    if (!info.fullPath.empty() && info.fullPath.back() != L'\\' && info.fullPath.back() != L'/')
        info.fullPath += L'\\';
    info.fullPath += info.fileName;
    bool foundLanguage = false;
    return ReadHeader(info.fullPath, info, foundLanguage) && foundLanguage;
}

bool ReadLanguagePackHeader(const wchar_t* fullPath, LanguagePackInfo& info)
{
    info.fullPath = fullPath != nullptr ? fullPath : L"";
    bool foundLanguage = false;
    return ReadHeader(info.fullPath, info, foundLanguage);
}

LanguageInstallResult InstallLanguagePack(const std::wstring& sourcePath, const std::wstring& settingsFolder,
                                          std::wstring& fileName)
{
    std::wstring source;
    for (wchar_t c : sourcePath)
        if (c != L'"')
            source += c;
    source = TrimWhiteSpace(source);

    // Only a pack may be written into the settings folder: any other name
    // could replace the settings file itself.
    const std::size_t slash = source.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? source : source.substr(slash + 1);
    if (name.size() <= std::char_traits<wchar_t>::length(kLanguagePackExtension) ||
        !EndsWithNoCase(name, kLanguagePackExtension))
    {
        CLogger::LogMessage(L"Invalid language pack file: %s", source.c_str());
        return LanguageInstallResult::Invalid;
    }

    LanguagePackInfo info;
    if (!ReadLanguagePackHeader(source.c_str(), info))
    {
        CLogger::LogMessage(L"Invalid language pack file: %s", source.c_str());
        return LanguageInstallResult::Invalid;
    }
    CLogger::LogMessage(L"OnNextInstance: Installing language pack file: %s (%s : %s : %s)", source.c_str(),
                        info.language.c_str(), info.description.c_str(), info.author.c_str());
    if (settingsFolder.empty())
        return LanguageInstallResult::Failed;

    std::wstring target = settingsFolder;
    if (target.back() != L'\\' && target.back() != L'/')
        target += L'\\';
    target += name;

    const std::wstring fullSource = FullPath(source);
    const std::wstring fullTarget = FullPath(target);
    if (::CompareStringOrdinal(fullSource.c_str(), static_cast<int>(fullSource.size()), fullTarget.c_str(),
                               static_cast<int>(fullTarget.size()), TRUE) == CSTR_EQUAL)
    {
        CLogger::LogMessage(L"Unable to install language '%s' as it is already installed. Enabling it instead!",
                            name.c_str());
        fileName = name;
        return LanguageInstallResult::AlreadyInstalled;
    }

    std::string bytes;
    DWORD error = 0;
    if (!ReadWholeFile(source, bytes, error))
    {
        CLogger::LogOSMessage(error, L"Unable to load language file '%s'", source.c_str());
        return LanguageInstallResult::Invalid;
    }

    // The new pack is complete on disk before anything is replaced, and the
    // old one is kept under a backup name first, so an interruption loses
    // neither.
    const std::wstring temporary = target + L".tmp";
    const auto copyFailed = [&] {
        CLogger::LogOSMessage(::GetLastError(),
                              L"Unable to copy file to '%s' (it probably already exists). Attempting to backup old "
                              L"file before replacing it.",
                              target.c_str());
        ::DeleteFileW(temporary.c_str());
        return LanguageInstallResult::Failed;
    };
    if (!WriteWholeFile(temporary, bytes))
        return copyFailed();
    if (FileExists(target))
    {
        std::wstring backup;
        if (!FreeBackupName(target, backup) || !::CopyFileW(target.c_str(), backup.c_str(), TRUE))
        {
            CLogger::LogOSMessage(::GetLastError(), L"InstallLanguagePack: Unable to keep '%s' as '%s'",
                                  target.c_str(), backup.c_str());
            ::DeleteFileW(temporary.c_str());
            return LanguageInstallResult::Failed;
        }
    }
    if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return copyFailed();
    fileName = name;
    return LanguageInstallResult::Installed;
}
