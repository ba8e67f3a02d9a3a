#include "Settings.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "Handles.h"
#include "LogCaughtException.h"
#include "Logger.h"
#include "RegularFile.h"
#include "SettingsOptions.h"
#include "ProfileXmlWriting.h"
#include "StringFormat.h"
#include "XmlFile.h"
#include "XmlTextWriter.h"
#include "XmlWriters.h"
#include "pugixml.hpp"

namespace
{
    constexpr const wchar_t* kDesktopKey = L"Control Panel\\Desktop";
    constexpr const wchar_t* kHookTimeoutValue = L"LowLevelHooksTimeout";
    constexpr const wchar_t* kProductAbbreviation = L"BRMP";
    constexpr const wchar_t* kImportCaption = L"Brindlemap: Import";
    constexpr int kImportTextSize = 2048;
    constexpr int kShortNameSize = 1024;
    constexpr unsigned int kSaveFormat = pugi::format_indent | pugi::format_write_bom;
    constexpr unsigned int kExportFormat = pugi::format_indent;
    // Comments and the declaration of a user's file survive a save.
    constexpr unsigned int kParseFlags = pugi::parse_default | pugi::parse_comments | pugi::parse_declaration;

    std::atomic<ImportQuestionFn> g_importQuestion{nullptr};
    std::atomic<SettingsFileWriteFn> g_fileWrite{nullptr};
    std::atomic<SettingsFileReadFn> g_fileRead{nullptr};
    std::atomic<SettingsFileCloseFn> g_fileClose{nullptr};

    SettingsFileReadFn FileReadFunction()
    {
        SettingsFileReadFn fn = g_fileRead.load();
        return fn != nullptr ? fn : ::ReadFile;
    }

    int AskImportQuestion(HWND owner, const wchar_t* text, const wchar_t* caption)
    {
        ImportQuestionFn fn = g_importQuestion.load();
        if (fn != nullptr)
            return fn(owner, text, caption);
        return ::MessageBoxW(owner, text, caption, MB_ICONQUESTION | MB_YESNOCANCEL);
    }

    // --- the system's hook time-out ---

    bool ReadHookTimeout(int& value)
    {
        UniqueRegKey key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
            return false;
        BYTE data[64] = {};
        DWORD size = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegQueryValueExW(key.Get(), kHookTimeoutValue, nullptr, &type, data, &size) != ERROR_SUCCESS)
            return false;
        if (type == REG_DWORD && size == sizeof(DWORD))
        {
            DWORD number = 0;
            std::memcpy(&number, data, sizeof(number));
            value = number > static_cast<DWORD>(INT_MAX) ? INT_MAX : static_cast<int>(number);
            return true;
        }
        if (type == REG_SZ)
        {
            // Some systems hold the value as text.
            const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
            wchar_t* end = nullptr;
            const unsigned long number = std::wcstoul(text, &end, 10);
            if (end != text)
            {
                value = number > static_cast<unsigned long>(INT_MAX) ? INT_MAX : static_cast<int>(number);
                return true;
            }
        }
        return false;
    }

    void UpdateHookTimeout(int wanted)
    {
        int current = 0;
        if (!ReadHookTimeout(current))
            current = 0;
        if (current == wanted)
            return;
        CLogger::LogMessage(L"Updating Windows hook timeout: %d", wanted);
        UniqueRegKey key;
        LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           key.Put(), nullptr);
        if (status == ERROR_SUCCESS)
        {
            const DWORD value = static_cast<DWORD>(wanted);
            status = ::RegSetValueExW(key.Get(), kHookTimeoutValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                      sizeof(value));
        }
        if (status != ERROR_SUCCESS)
            CLogger::LogOSMessage(static_cast<DWORD>(status), L"CSettings::Save: Unable to update the Windows hook timeout");
    }

    // --- options ---

    // What a number from the file outside the option's range becomes.
    long long OutOfRangeValue(const SettingsOption& option, long long value, long long current)
    {
        switch (value < option.low ? option.below : option.above)
        {
        case OutOfRange::Keep:
            return current;
        case OutOfRange::Replace:
            return option.replacement;
        case OutOfRange::Clamp:
        default:
            return value < option.low ? option.low : option.high;
        }
    }

    // A missing attribute keeps the field (a text reads as empty); a number
    // outside the option's range is logged and replaced as the table says.
    void ReadOption(CSettings& settings, pugi::xml_node root, const SettingsOption& option)
    {
        const pugi::xml_attribute attribute = root.child(option.element).attribute(option.attribute);
        if (option.IsText())
        {
            const wchar_t* text = attribute.as_string();
            if (!option.emptyKeeps || *text != L'\0')
                option.SetText(settings, text);
            return;
        }
        if (!attribute)
            return;
        const long long current = option.Number(settings);
        if (option.IsFlag() && !option.flagAsNumber)
        {
            option.SetNumber(settings, attribute.as_bool(current != 0) ? 1 : 0);
            return;
        }
        const long long value = attribute.as_llong(current);
        if (value >= option.low && value <= option.high)
        {
            option.SetNumber(settings, value);
            return;
        }
        const long long used = OutOfRangeValue(option, value, current);
        CLogger::LogMessage(L"CSettings::Load: %s/%s has the invalid value '%s' (allowed %s to %s); using %s",
                            option.element, option.attribute, attribute.value(), std::to_wstring(option.low).c_str(),
                            std::to_wstring(option.high).c_str(), std::to_wstring(used).c_str());
        option.SetNumber(settings, used);
    }

    // A null text keeps whatever the attribute held.
    void WriteOption(const CSettings& settings, pugi::xml_node root, const SettingsOption& option)
    {
        if (option.IsText())
        {
            if (const wchar_t* text = option.Text(settings))
            {
                SetXmlAttribute(root, option.element, option.attribute, text);
                return;
            }
            pugi::xml_node node = FindOrAppendChild(root, option.element);
            if (!node.attribute(option.attribute))
                node.append_attribute(option.attribute);
        }
        else if (option.IsFlag() && !option.flagAsNumber)
            SetXmlAttribute(root, option.element, option.attribute, option.Number(settings) != 0);
        else if (option.IsUnsigned())
            SetXmlAttribute(root, option.element, option.attribute, static_cast<unsigned int>(option.Number(settings)));
        else
            SetXmlAttribute(root, option.element, option.attribute, static_cast<int>(option.Number(settings)));
    }

    // The options as the load log shows them, line by line in the places the
    // table gives.
    void LogLoadedOptions(const CSettings& settings)
    {
        const auto options = SettingsOption::All();
        for (int line = 1;; ++line)
        {
            std::wstring text;
            for (int place = 1;; ++place)
            {
                const auto row = std::find_if(options.begin(), options.end(), [&](const SettingsOption& option) {
                    return option.logLine == line && option.logPlace == place;
                });
                if (row == options.end())
                    break;
                if (row->IsText())
                {
                    const wchar_t* value = row->Text(settings);
                    text += FormatString(row->logText, value != nullptr ? value : L"");
                }
                else
                {
                    text += FormatString(row->logText, static_cast<int>(row->Number(settings)));
                }
            }
            if (text.empty())
                return;
            CLogger::LogDebug(L"%s", text.c_str());
        }
    }

    void ReadHotkey(pugi::xml_node element, CHotkey* key, bool global)
    {
        if (!element || key == nullptr)
            return;
        // Both values are 16-bit; larger numbers from the file are cut to their low bits.
        key->SetVirtualKey(static_cast<unsigned short>(element.attribute(L"Key").as_uint(0) & 0xFFFF));
        const auto modifier = static_cast<unsigned short>(element.attribute(L"Modifier").as_uint(0) & 0xFFFF);
        key->SetModifier(global ? CHotkey::GlobalModifierFromFile(modifier) : modifier);
    }

    // --- files ---

    // Passes the document's bytes to the file in large pieces. A settings file
    // can be megabytes: collecting it whole first costs more than the writing.
    // The first failure stops all further writes and is kept.
    class FileWriter : public pugi::xml_writer
    {
    public:
        FileWriter(HANDLE file, SettingsFileWriteFn writeFn) : m_file(file), m_writeFn(writeFn)
        {
            m_buffer.reserve(kPieceSize);
        }

        void write(const void* data, size_t size) override
        {
            const char* bytes = static_cast<const char*>(data);
            // A writer that buffers its own pieces hands them on without a copy.
            if (m_buffer.empty() && size >= kPieceSize / 4)
            {
                WriteAll(bytes, size);
                return;
            }
            while (size > 0 && m_error == ERROR_SUCCESS)
            {
                const size_t room = kPieceSize - m_buffer.size();
                const size_t taken = std::min(size, room);
                m_buffer.insert(m_buffer.end(), bytes, bytes + taken);
                bytes += taken;
                size -= taken;
                if (m_buffer.size() == kPieceSize)
                    Flush();
            }
        }

        // Writes what is buffered; the error of the first failed write, or ERROR_SUCCESS.
        DWORD Flush()
        {
            WriteAll(m_buffer.data(), m_buffer.size());
            m_buffer.clear();
            return m_error;
        }

    private:
        void WriteAll(const char* bytes, size_t size)
        {
            size_t offset = 0;
            while (offset < size && m_error == ERROR_SUCCESS)
            {
                const DWORD piece = static_cast<DWORD>(std::min(size - offset, kPieceSize));
                DWORD written = 0;
                if (!m_writeFn(m_file, bytes + offset, piece, &written, nullptr) || written == 0)
                    m_error = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_WRITE_FAULT;
                offset += written;
            }
        }

        static constexpr size_t kPieceSize = 256 * 1024;
        HANDLE m_file;
        SettingsFileWriteFn m_writeFn;
        std::vector<char> m_buffer;
        DWORD m_error = ERROR_SUCCESS;
    };

    std::wstring FolderOf(const std::wstring& path)
    {
        const size_t slash = path.find_last_of(L"\\/");
        return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    }

    // A file another handle holds for a moment is read again for up to two seconds.
    constexpr int kBusyReadAttempts = 40;
    constexpr DWORD kBusyReadRetryMs = 50;

    bool IsBusyError(DWORD error)
    {
        return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    }

    // All of a regular file of at most the largest size a settings file may
    // have, to its end. False, with the system's error as the last error, when
    // it could not be opened or read to its end: a read that fails is no end.
    bool ReadWholeFile(const std::wstring& path, std::string& bytes)
    {
        bytes.clear();
        UniqueHandle file(OpenRegularFile(path.c_str(), FILE_SHARE_READ | FILE_SHARE_WRITE, 0));
        if (!file)
            return false;
        const SettingsFileReadFn readFn = FileReadFunction();
        char chunk[65536];
        for (;;)
        {
            DWORD read = 0;
            if (!readFn(file.Get(), chunk, sizeof(chunk), &read, nullptr))
            {
                const DWORD error = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_READ_FAULT;
                bytes.clear();
                ::SetLastError(error);
                return false;
            }
            if (read == 0)
                return true;
            if (bytes.size() + read > kMaxXmlFileBytes)
            {
                bytes.clear();
                ::SetLastError(ERROR_FILE_TOO_LARGE);
                return false;
            }
            bytes.append(chunk, read);
        }
    }

    // The same, reading again while another handle holds the file, as a load
    // waits for a busy file.
    bool ReadWholeFileWhenFree(const std::wstring& path, std::string& bytes)
    {
        bool done = ReadWholeFile(path, bytes);
        for (int attempt = 1; !done && IsBusyError(::GetLastError()) && attempt < kBusyReadAttempts; ++attempt)
        {
            ::Sleep(kBusyReadRetryMs);
            done = ReadWholeFile(path, bytes);
        }
        return done;
    }

    // What identifies one version of a file: the file itself (volume and
    // index: every save puts a new file in place), its size and its times (the
    // change time moves with any write or rename, also when the write time is
    // set back).
    struct FileStamp
    {
        ULONGLONG volume = 0;
        BYTE id[16] = {};
        LONGLONG size = 0;
        LONGLONG created = 0;
        LONGLONG written = 0;
        LONGLONG changed = 0;

        bool operator==(const FileStamp&) const = default;
    };

    // The file itself: it stays the same through a rename.
    bool IdentityOf(HANDLE file, FileStamp& stamp)
    {
        FILE_ID_INFO identity = {};
        if (::GetFileInformationByHandleEx(file, FileIdInfo, &identity, sizeof(identity)))
        {
            stamp.volume = identity.VolumeSerialNumber;
            static_assert(sizeof(stamp.id) == sizeof(identity.FileId), "a 128-bit file id");
            std::memcpy(stamp.id, &identity.FileId, sizeof(stamp.id));
            return true;
        }
        // Windows 7 knows only the 64-bit index.
        BY_HANDLE_FILE_INFORMATION information = {};
        if (!::GetFileInformationByHandle(file, &information))
            return false;
        stamp.volume = information.dwVolumeSerialNumber;
        std::memcpy(stamp.id, &information.nFileIndexLow, sizeof(DWORD));
        std::memcpy(stamp.id + sizeof(DWORD), &information.nFileIndexHigh, sizeof(DWORD));
        return true;
    }

    // Its size and times.
    bool VersionOf(HANDLE file, FileStamp& stamp)
    {
        FILE_BASIC_INFO times = {};
        FILE_STANDARD_INFO standard = {};
        if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof(times)) ||
            !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof(standard)))
            return false;
        stamp.size = standard.EndOfFile.QuadPart;
        stamp.created = times.CreationTime.QuadPart;
        stamp.written = times.LastWriteTime.QuadPart;
        stamp.changed = times.ChangeTime.QuadPart;
        return true;
    }

    bool StampOf(HANDLE file, FileStamp& stamp)
    {
        return IdentityOf(file, stamp) && VersionOf(file, stamp);
    }

    bool IsSameFile(const FileStamp& a, const FileStamp& b)
    {
        return a.volume == b.volume && std::memcmp(a.id, b.id, sizeof(a.id)) == 0;
    }

    // A handle for the file's attributes only: it reads nothing and lets any
    // other handle be.
    UniqueHandle OpenForAttributes(const wchar_t* path)
    {
        return UniqueHandle(::CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    }

    // What a read of a file found besides the document: the system's error
    // when it could not be opened or read, and, when asked for, the version it
    // read (asking costs a query of the volume).
    struct ReadOutcome
    {
        bool wantStamp = false;
        DWORD error = ERROR_SUCCESS;
        FileStamp stamp;
        bool stamped = false;
    };

    // Parses the file at path (only a regular file is read; see LoadXmlFile),
    // and tells the system's error and, when asked for, the version it read.
    pugi::xml_parse_result LoadDocument(pugi::xml_document& document, const wchar_t* path, unsigned int flags,
                                        ReadOutcome* outcome = nullptr)
    {
        XmlFileRead read;
        read.readFile = FileReadFunction();
        if (outcome != nullptr && outcome->wantStamp)
            // The version is taken before the bytes: a change while they are
            // read then shows as a later version.
            read.opened = [outcome](HANDLE file) { outcome->stamped = StampOf(file, outcome->stamp); };
        const pugi::xml_parse_result result = LoadXmlFile(document, path, flags, &read);
        if (outcome != nullptr)
            outcome->error = read.error;
        return result;
    }

    // Names of temporary files tried before a save gives up.
    constexpr int kTempNameAttempts = 100;

    // Writes a new file beside path (write gives the content to a writer) and
    // puts it in place of path in one step; the previous file stays untouched
    // on any failure, an exception included. The stamp, when asked for, is the
    // new file's as it stands once its handle is closed (none when another
    // file has taken its place by then).
    template <typename Write>
    bool ReplaceFileAtomically(const std::wstring& path, Write write, std::optional<FileStamp>* stamp)
    {
        // Even a query of a pipe's attributes connects to it.
        if (IsDeviceNamespacePath(path.c_str()))
        {
            ::SetLastError(kNotRegularFileError);
            return false;
        }
        // A read-only file is the user's wish to keep it (some file systems let a
        // rename replace it anyway).
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        // A run that ended before it removed its temporary file may have had
        // this process's id: a name taken is passed over, never written into.
        static std::atomic<unsigned> counter{0};
        std::wstring temp;
        UniqueHandle file;
        for (int attempt = 0; attempt < kTempNameAttempts && !file; ++attempt)
        {
            temp = FormatString(L"%s.%lu.%u.tmp", path.c_str(), ::GetCurrentProcessId(), ++counter);
            // Shared for deleting only: the handle stays open through the move,
            // so that nothing else writes into the file before it is in place.
            file.Reset(::CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file && ::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
                break;
        }
        if (!file)
            return false;
        DWORD error = ERROR_SUCCESS;
        try
        {
            SettingsFileWriteFn writeFn = g_fileWrite.load();
            if (writeFn == nullptr)
                writeFn = ::WriteFile;
            FileWriter writer(file.Get(), writeFn);
            write(static_cast<pugi::xml_writer&>(writer));
            error = writer.Flush();
        }
        catch (...)
        {
            file.Reset();
            ::DeleteFileW(temp.c_str());
            throw;
        }
        if (error == ERROR_SUCCESS && !::FlushFileBuffers(file.Get()))
            error = ::GetLastError();
        // The file is named before the move (a rename keeps it; through a
        // renamed file's handle Wine reports no volume).
        FileStamp written;
        const bool identified = stamp != nullptr && error == ERROR_SUCCESS && IdentityOf(file.Get(), written);
        if (error == ERROR_SUCCESS &&
            !::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            error = ::GetLastError();
        if (error != ERROR_SUCCESS)
        {
            file.Reset();
            ::DeleteFileW(temp.c_str());
            ::SetLastError(error);
            return false;
        }
        // Windows sets the write time when the writing handle closes: a stamp
        // taken before would never match the file again.
        SettingsFileCloseFn closeFn = g_fileClose.load();
        (closeFn != nullptr ? closeFn : ::CloseHandle)(file.Release());
        if (identified)
        {
            FileStamp now;
            UniqueHandle placed = OpenForAttributes(path.c_str());
            if (placed && StampOf(placed.Get(), now) && IsSameFile(now, written))
                *stamp = now;
        }
        return true;
    }

    void LogUnwritten(const wchar_t* who, const wchar_t* path)
    {
        const DWORD error = ::GetLastError();
        CLogger::LogOSMessage(error, L"%s: Unable to write the file '%s'; the previous file is unchanged", who, path);
        ::SetLastError(error);
    }

    bool SaveDocument(const pugi::xml_document& document, const wchar_t* path, unsigned int format, const wchar_t* who)
    {
        if (SaveXmlFile(document, path, format))
            return true;
        LogUnwritten(who, path);
        return false;
    }

    // Writes bytes into a new file (never over an existing one).
    bool WriteNewFile(const std::wstring& path, const std::string& bytes)
    {
        UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
        if (!file)
            return false;
        size_t done = 0;
        while (done < bytes.size())
        {
            DWORD written = 0;
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 64u * 1024 * 1024));
            if (!::WriteFile(file.Get(), bytes.data() + done, piece, &written, nullptr) || written == 0)
            {
                const DWORD error = ::GetLastError();
                file.Reset();
                ::DeleteFileW(path.c_str());
                ::SetLastError(error);
                return false;
            }
            done += written;
        }
        return true;
    }

    // Collects a document's text (the settings file without its profiles, a few
    // kilobytes) to be written around the profiles.
    struct TextCollector : pugi::xml_writer
    {
        std::string text;
        void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    };

    // A comment that stands for the application profiles in the document while
    // it is printed; the profiles' text takes its place. Its text is new for
    // every save, so no comment of the user's can be taken for it.
    std::wstring ProfilesMark()
    {
        static std::atomic<unsigned> counter{0};
        LARGE_INTEGER now = {};
        ::QueryPerformanceCounter(&now);
        return FormatString(L"brmp-profiles-%lu-%u-%llx", ::GetCurrentProcessId(), ++counter,
                            static_cast<unsigned long long>(now.QuadPart));
    }

    // Whether path is a file this save may read and replace, and its version:
    // Missing when there is none; Other for anything a file opened for its
    // attributes cannot say (the read that follows reports it).
    enum class TargetState
    {
        Present,
        Missing,
        NotAFile,
        Other
    };

    TargetState InspectTarget(const wchar_t* path, FileStamp& stamp)
    {
        // A pipe would be connected to by the open below.
        if (IsDeviceNamespacePath(path))
            return TargetState::NotAFile;
        UniqueHandle file = OpenForAttributes(path);
        if (!file)
        {
            const DWORD error = ::GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TargetState::Missing : TargetState::Other;
        }
        if (::GetFileType(file.Get()) != FILE_TYPE_DISK)
            return TargetState::NotAFile;
        return StampOf(file.Get(), stamp) ? TargetState::Present : TargetState::Other;
    }

    // A copy of document without the application profiles: what a save keeps.
    void CopyWithoutProfiles(const pugi::xml_document& from, pugi::xml_document& to)
    {
        to.reset();
        bool rootDone = false;
        for (pugi::xml_node node : from.children())
        {
            if (rootDone || node.type() != pugi::node_element || std::wcscmp(node.name(), L"root") != 0)
            {
                to.append_copy(node);
                continue;
            }
            rootDone = true;
            pugi::xml_node root = to.append_child(node.name());
            for (pugi::xml_attribute attribute : node.attributes())
                root.append_copy(attribute);
            for (pugi::xml_node child : node.children())
            {
                if (child.type() != pugi::node_element || std::wcscmp(child.name(), L"Applications") != 0)
                    root.append_copy(child);
            }
        }
    }

    // Copies a file that could not be parsed aside, so that a later save cannot
    // lose it. An identical earlier copy is reused. False, with the system's
    // error as the last error, when the file could not be read whole (busy, it
    // is read again while whenFree allows): then no part of it is kept. Else
    // copy is the copy's path, empty when no copy could be written. Only a
    // regular file is kept: the copy is written from the bytes read once, never
    // by opening the name again.
    bool PreserveUnreadableFile(const wchar_t* path, bool whenFree, std::wstring& copy)
    {
        copy.clear();
        std::string original;
        if (!(whenFree ? ReadWholeFileWhenFree(path, original) : ReadWholeFile(path, original)))
            return false;

        const std::wstring folder = FolderOf(path);
        WIN32_FIND_DATAW found = {};
        HANDLE search = ::FindFirstFileW((std::wstring(path) + L".corrupt-*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE)
        {
            std::wstring match;
            do
            {
                const std::wstring candidate = folder + found.cFileName;
                std::string bytes;
                if (match.empty() && ReadWholeFile(candidate, bytes) && bytes == original)
                    match = candidate;
            } while (match.empty() && ::FindNextFileW(search, &found));
            ::FindClose(search);
            if (!match.empty())
            {
                copy = match;
                return true;
            }
        }

        SYSTEMTIME now = {};
        ::GetLocalTime(&now);
        const std::wstring base = FormatString(L"%s.corrupt-%04d%02d%02d-%02d%02d%02d", path, now.wYear, now.wMonth,
                                               now.wDay, now.wHour, now.wMinute, now.wSecond);
        for (int attempt = 0; attempt < 100; ++attempt)
        {
            const std::wstring name = attempt == 0 ? base : FormatString(L"%s-%d", base.c_str(), attempt);
            if (WriteNewFile(name, original))
            {
                CLogger::LogMessage(L"CSettings: The settings file '%s' could not be read completely; a copy was kept as '%s'",
                                    path, name.c_str());
                copy = name;
                return true;
            }
            if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
                break;
        }
        CLogger::LogOSMessage(::GetLastError(), L"CSettings: Unable to keep a copy of the unreadable settings file '%s'", path);
        return true;
    }
}

bool SaveXmlFile(const pugi::xml_document& document, const wchar_t* path, unsigned int format)
{
    const auto write = [&](pugi::xml_writer& writer) { document.save(writer, L"\t", format, pugi::encoding_utf8); };
    return ReplaceFileAtomically(path, write, nullptr);
}

class KeptSettingsFile
{
public:
    pugi::xml_document document;   // the file's document without its application profiles
    FileStamp stamp;               // the version of the file it was read from or written as
};

void KeptSettingsFileDeleter::operator()(KeptSettingsFile* kept) const
{
    delete kept;
}

namespace
{
    using KeptFile = std::unique_ptr<KeptSettingsFile, KeptSettingsFileDeleter>;

    // Keeps what a save needs of a file read whole (a damaged one is read
    // again, and kept aside, by the save that overwrites it): a copy of the
    // document without its profiles, or the document itself when it has none.
    // Without it (no memory) the next save reads the file.
    void KeepFile(KeptFile& kept, pugi::xml_document& document, const FileStamp* stamp, bool withoutProfiles)
    {
        kept.reset();
        if (stamp == nullptr)
            return;
        try
        {
            KeptFile fresh(new KeptSettingsFile());
            if (withoutProfiles)
                fresh->document = std::move(document);
            else
                CopyWithoutProfiles(document, fresh->document);
            fresh->stamp = *stamp;
            kept = std::move(fresh);
        }
        catch (...)
        {
            LogCaughtException(L"CSettings: keeping the settings file's other elements");
        }
    }

    // The document a save starts from: what the file at path holds that the
    // model does not write. False (the reason in the last error, logged) when
    // the file must be left as it is.
    bool StartSaveDocument(const wchar_t* path, pugi::xml_document& document, const KeptFile& kept,
                           wchar_t*& unreadableCopy)
    {
        FileStamp current;
        switch (InspectTarget(path, current))
        {
        case TargetState::Missing:
            CLogger::LogMessage(L"There is no existing settings file. Attempting to creating a new one.");
            return true;
        case TargetState::NotAFile:
            CLogger::LogMessage(L"CSettings::Save: '%s' is not a file; nothing is written", path);
            ::SetLastError(ERROR_BAD_FILE_TYPE);
            return false;
        case TargetState::Present:
            if (kept != nullptr && kept->stamp == current)
            {
                document.reset(kept->document);
                return true;
            }
            break;
        case TargetState::Other:
            break;
        }

        // Another version of the file, or another file: what it holds that the
        // model does not write is read from it now.
        ReadOutcome read;
        const pugi::xml_parse_result result = LoadDocument(document, path, kParseFlags, &read);
        if (result.status == pugi::status_ok)
            return true;
        if (result.status == pugi::status_file_not_found)
        {
            document.reset();
            CLogger::LogMessage(L"There is no existing settings file. Attempting to creating a new one.");
            return true;
        }
        if (result.status == pugi::status_io_error)
        {
            // Busy (another program holds it) or refused: nothing is known of what
            // it holds, so it is not replaced. The caller sees the system's reason
            // and may try again.
            const DWORD error = read.error != ERROR_SUCCESS ? read.error : static_cast<DWORD>(ERROR_READ_FAULT);
            CLogger::LogOSMessage(error,
                                  L"CSettings::Save: Unable to read the existing settings file '%s'; it is left as it is",
                                  path);
            ::SetLastError(error);
            return false;
        }

        CLogger::LogMessage(L"There is a problem with your existing XML Settings file '%s': %S", path,
                            result.description());
        // What the parser could not read is about to be overwritten: keep the
        // file. One that cannot be read now is left as it is, with the reason
        // (busy: the caller may try again).
        std::wstring copy;
        if (!PreserveUnreadableFile(path, false, copy))
        {
            const DWORD error = ::GetLastError();
            CLogger::LogOSMessage(error,
                                  L"CSettings::Save: Unable to read the existing settings file '%s'; it is left as it is",
                                  path);
            ::SetLastError(error);
            return false;
        }
        if (copy.empty())
        {
            CLogger::LogMessage(L"CSettings::Save: The unreadable settings file '%s' is left as it is", path);
            ::SetLastError(ERROR_FILE_CORRUPT);
            return false;
        }
        CApplicationSettings::CopyString(unreadableCopy, copy.c_str());
        return true;
    }
}

void CSettings::SetImportQuestion(ImportQuestionFn fn)
{
    g_importQuestion.store(fn);
}

void CSettings::SetFileWriteFunction(SettingsFileWriteFn fn)
{
    g_fileWrite.store(fn);
}

void CSettings::SetFileReadFunction(SettingsFileReadFn fn)
{
    g_fileRead.store(fn);
}

void CSettings::SetFileCloseFunction(SettingsFileCloseFn fn)
{
    g_fileClose.store(fn);
}

bool CSettings::Load(const wchar_t* path, bool& regionsDefined, bool logDetails)
{
    if (path == nullptr)
        return false;
    try
    {
        int timeout = 0;
        if (ReadHookTimeout(timeout))
            m_nHookTimeout = timeout;

        pugi::xml_document document;
        ReadOutcome read;
        read.wantStamp = true;
        pugi::xml_parse_result result = LoadDocument(document, path, kParseFlags, &read);
        // Another program (a backup, a scanner, an editor saving) may hold the
        // file for a moment: it is read again, never taken for a damaged one.
        for (int attempt = 1; result.status == pugi::status_io_error && IsBusyError(read.error) &&
                              attempt < kBusyReadAttempts;
             ++attempt)
        {
            ::Sleep(kBusyReadRetryMs);
            read = ReadOutcome();
            read.wantStamp = true;
            result = LoadDocument(document, path, kParseFlags, &read);
        }
        if (result.status != pugi::status_ok)
        {
            CLogger::LogMessage(L"There is a problem with your XML Settings file: %S", result.description());
            if (result.status == pugi::status_io_error && read.error != ERROR_SUCCESS)
                CLogger::LogOSMessage(read.error, L"CSettings::Load: Unable to read '%s'", path);
            // Only a file that was read and could not be parsed is damaged; one
            // that could not be read at all (busy, refused, too large) is not.
            if (result.status != pugi::status_file_not_found && result.status != pugi::status_io_error &&
                result.status != pugi::status_out_of_memory)
            {
                std::wstring copy;
                if (!PreserveUnreadableFile(path, true, copy))
                {
                    const DWORD error = ::GetLastError();
                    CLogger::LogOSMessage(error, L"CSettings::Load: Unable to read '%s'", path);
                    ::SetLastError(error);
                    return false;
                }
                if (!copy.empty())
                    CApplicationSettings::CopyString(m_pszUnreadableCopy, copy.c_str());
            }
            if (result.status != pugi::status_unrecognized_tag)
                return false;
        }

        pugi::xml_node root = document.child(L"root");
        if (!root || !root.child(L"version"))
        {
            CLogger::LogMessage(L"The selected file is NOT an %s settings file!", kProductAbbreviation);
            return false;
        }

        SetFilename(path);
        DeleteApplications(true);
        m_bCaptionProfiles = false;

        for (const SettingsOption& option : SettingsOption::All())
        {
            if (option.IsStored())
                ReadOption(*this, root, option);
        }
        if (m_bQuillonForced)
            m_bQuillon = true;
        // Without a number of layers (an older file) the profiles decide, below.
        const bool layersGiven = !root.child(L"Layers").attribute(L"Number").empty();
        // -1 asks for the system's speed.
        if (m_nCursorSpeed == -1)
        {
            int speed = -1;
            if (::SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &speed, 0))
                m_nCursorSpeed = speed;
        }
        // Without a value of its own the pointer precision follows the system's at start.
        if (!root.child(L"Cursor").attribute(L"EnhancePointerPrecision"))
            m_bEnhancePointerPrecision = m_StartupMouseInfo.EnhancePointerPrecision();

        if (pugi::xml_node hotkeys = root.child(L"GlobalHotkeys"))
        {
            for (int n = 0; n < HK_Count; ++n)
                ReadHotkey(hotkeys.child(FormatString(L"Hotkey%d", n).c_str()),
                           m_pHotKeys->GetHotkey(static_cast<GlobalHotkeys>(n)), true);
        }
        if (pugi::xml_node modifiers = root.child(L"LayerModifierKeys"))
        {
            for (int n = 0; n < MK_Count; ++n)
                ReadHotkey(modifiers.child(FormatString(L"LayerKey%d", n).c_str()),
                           m_pLayerModifierKeys->GetHotkey(static_cast<ModifierKeys>(n)), false);
        }

        const int perKeyTime = static_cast<int>(m_uSimKeyDelay);
        int layerCandidate = DefaultLayers;
        if (pugi::xml_node defaultElement = root.child(L"Default"))
        {
            auto profile = std::make_unique<CApplicationSettings>(this, true, 0);
            int used = 0;
            profile->LoadDefault(defaultElement, perKeyTime, used);
            SetDefaultApp(profile.release());
            layerCandidate = std::max(layerCandidate, used);
        }

        int loaded = 0;
        for (pugi::xml_node element : root.child(L"Applications").children(L"Application"))
        {
            auto owned = std::make_unique<CApplicationSettings>(this, false, loaded + 1);
            int used = 0;
            if (!owned->Load(element, perKeyTime, regionsDefined, used))
                continue;
            CApplicationSettings* profile = owned.get();
            m_pApplications->push_back(owned.release());
            ++loaded;
            layerCandidate = std::max(layerCandidate, used);
            if (profile->IsCustomWindow())
            {
                m_CustomApplications.push_back(profile);
                if (profile->GetCaption() != nullptr)
                    m_bCaptionProfiles = true;
            }
            else
            {
                m_NormalApplications.push_back(profile);
            }
        }

        if (!layersGiven)
            m_nLayers = std::min(layerCandidate, static_cast<int>(MaxLayerCount));

        const int total = GetApplicationCount();
        const int normal = static_cast<int>(m_NormalApplications.size());
        const int custom = static_cast<int>(m_CustomApplications.size());
        if (logDetails && CLogger::DebugEnabled())
        {
            CLogger::LogDebug(L"Loaded the following settings:");
            LogLoadedOptions(*this);
            CLogger::LogDebug(L"  There are %d application specific profiles (%d normal and %d custom window).", total,
                              normal, custom);
        }
        else
        {
            CLogger::LogMessage(L"Loaded %d application specific profiles (%d normal and %d custom window).", total, normal,
                                custom);
        }
        KeepFile(m_keptFile, document, read.stamped && result.status == pugi::status_ok ? &read.stamp : nullptr, false);
        return true;
    }
    catch (...)
    {
        LogCaughtException(L"CSettings::Load('%s')", path);
        return false;
    }
}

bool CSettings::Save(const wchar_t* path)
{
    if (path == nullptr)
        return false;
    try
    {
        UpdateHookTimeout(m_nHookTimeout);

        pugi::xml_document document;
        if (!StartSaveDocument(path, document, m_keptFile, m_pszUnreadableCopy))
            return false;

        pugi::xml_node root = document.child(L"root");
        if (!root)
            root = document.append_child(L"root");

        SetXmlAttribute(root, L"version", L"major", VersionMajor);
        SetXmlAttribute(root, L"version", L"minor", VersionMinor);
        SetXmlAttribute(root, L"version", L"revision", VersionRevision);
        SetXmlAttribute(root, L"version", L"build", 0);
        for (const SettingsOption& option : SettingsOption::All())
        {
            if (option.IsStored())
                WriteOption(*this, root, option);
        }

        if (m_pDefaultApp != nullptr)
            m_pDefaultApp->SaveDefault(FindOrAppendChild(root, L"Default"));

        // The application profiles are most of the file: they are written as
        // text where this mark stands, without a document of their own.
        while (root.remove_child(L"Applications"))
        {
        }
        const bool anyProfile = m_pApplications != nullptr && !m_pApplications->empty();
        const std::wstring mark = ProfilesMark();
        pugi::xml_node applications;
        if (m_pApplications != nullptr)
        {
            applications = root.append_child(L"Applications");
            if (anyProfile)
                applications.append_child(pugi::node_comment).set_value(mark.c_str());
        }

        pugi::xml_node hotkeys = FindOrAppendChild(root, L"GlobalHotkeys");
        for (int n = 0; n < HK_Count; ++n)
        {
            if (CHotkey* key = m_pHotKeys != nullptr ? m_pHotKeys->GetHotkey(static_cast<GlobalHotkeys>(n)) : nullptr)
            {
                const std::wstring name = FormatString(L"Hotkey%d", n);
                SetXmlAttribute(hotkeys, name.c_str(), L"Key", static_cast<int>(key->GetVirtualKey()));
                SetXmlAttribute(hotkeys, name.c_str(), L"Modifier",
                                static_cast<int>(CHotkey::GlobalModifierToFile(key->GetModifier())));
            }
        }
        pugi::xml_node modifiers = FindOrAppendChild(root, L"LayerModifierKeys");
        for (int n = 0; n < MK_Count; ++n)
        {
            if (CHotkey* key = m_pLayerModifierKeys != nullptr ? m_pLayerModifierKeys->GetHotkey(static_cast<ModifierKeys>(n))
                                                               : nullptr)
            {
                const std::wstring name = FormatString(L"LayerKey%d", n);
                SetXmlAttribute(modifiers, name.c_str(), L"Key", static_cast<int>(key->GetVirtualKey()));
                SetXmlAttribute(modifiers, name.c_str(), L"Modifier", static_cast<int>(key->GetModifier()));
            }
        }

        while (root.remove_child(L"FixScrollWindows"))
        {
        }
        while (root.remove_child(L"ScrollWindows"))
        {
        }

        TextCollector outline;
        document.save(outline, L"\t", kSaveFormat, pugi::encoding_utf8);
        // The mark's line, as the document writer prints a comment inside
        // Applications (a child of root); the profiles' elements take its place.
        size_t markAt = std::string::npos;
        size_t markLength = 0;
        if (anyProfile)
        {
            const std::string markLine = "\n\t\t<!--" + std::string(mark.begin(), mark.end()) + "-->";
            markAt = outline.text.find(markLine);
            if (markAt == std::string::npos || outline.text.find(markLine, markAt + 1) != std::string::npos)
                throw std::runtime_error("the place of the application profiles was not found once");
            markLength = markLine.size();
        }
        const auto write = [&](pugi::xml_writer& writer) {
            if (markAt == std::string::npos)
            {
                writer.write(outline.text.data(), outline.text.size());
                return;
            }
            writer.write(outline.text.data(), markAt);
            XmlTextWriter text(writer, 2);
            for (const CApplicationSettings* profile : *m_pApplications)
            {
                text.Child(L"Application");
                ProfileXmlWriting::Application(*profile, text);
                text.End();
            }
            text.Flush();
            writer.write(outline.text.data() + markAt + markLength, outline.text.size() - markAt - markLength);
        };
        std::optional<FileStamp> written;
        if (!ReplaceFileAtomically(path, write, &written))
        {
            LogUnwritten(L"CSettings::Save", path);
            return false;
        }

        // What was written, without the profiles, is what the file now holds
        // besides them.
        if (applications)
            root.remove_child(applications);
        KeepFile(m_keptFile, document, written ? &*written : nullptr, true);
        return true;
    }
    catch (...)
    {
        LogCaughtException(L"CSettings::Save('%s')", path);
        ::SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
}

bool CSettings::Export(CApplicationSettings* profile, const wchar_t* path)
{
    if (path == nullptr)
        return false;
    try
    {
        pugi::xml_document document;
        pugi::xml_node root = document.append_child(L"root");
        pugi::xml_node version = root.append_child(L"version");
        version.append_attribute(L"build").set_value(0);
        version.append_attribute(L"revision").set_value(VersionRevision);
        version.append_attribute(L"minor").set_value(VersionMinor);
        version.append_attribute(L"major").set_value(VersionMajor);
        pugi::xml_node applications = root.append_child(L"Applications");
        if (profile != nullptr)
            profile->Save(applications);
        else if (m_pApplications != nullptr)
            for (CApplicationSettings* each : *m_pApplications)
                each->Save(applications);
        return SaveDocument(document, path, kExportFormat, L"CSettings::Export");
    }
    catch (...)
    {
        LogCaughtException(L"Export: Error parsing XML file '%s'.", path);
        throw;
    }
}

int CSettings::Import(const wchar_t* path, HWND owner, const wchar_t* prompt, CApplicationSettings*& lastImported)
{
    lastImported = nullptr;
    if (path == nullptr)
        return 0;

    pugi::xml_document document;
    const pugi::xml_parse_result result = LoadDocument(document, path, pugi::parse_default);
    if (result.status != pugi::status_ok)
    {
        CLogger::LogMessage(L"CSettings::Import: There is a problem with the import XML file: %S", result.description());
        return 0;
    }
    pugi::xml_node applications = document.child(L"root").child(L"Applications");
    if (!applications)
    {
        CLogger::LogMessage(L"Attempted to import invalid BRMP settings import file.");
        return 0;
    }
    if (!applications.child(L"Application"))
    {
        CLogger::LogMessage(L"No application profiles were imported from BRMP settings import file.");
        return 0;
    }

    int count = 0;
    int index = m_pApplications != nullptr ? static_cast<int>(m_pApplications->size()) : 1;
    const int perKeyTime = static_cast<int>(m_uSimKeyDelay);
    for (pugi::xml_node element : applications.children(L"Application"))
    {
        auto* profile = new CApplicationSettings(this, false, index);
        bool regions = false;
        int used = 0;
        bool loaded = false;
        try
        {
            loaded = profile->Load(element, perKeyTime, regions, used);
        }
        catch (...)
        {
            LogCaughtException(L"CSettings::Import('%s')", path);
        }
        if (!loaded)
        {
            delete profile;
            continue;
        }
        if (used > m_nLayers)
            CLogger::LogMessage(L"Warning: There are more than %d layers defined in the imported profile. Consider increasing the number of layers or editing the profile.",
                                m_nLayers);
        if (m_pApplications == nullptr)
            m_pApplications = new std::vector<CApplicationSettings*>();

        CApplicationSettings* existing = GetApplication(profile->GetFullName());
        if (existing == nullptr)
        {
            AddApplication(profile);
            lastImported = profile;
            ++count;
            ++index;
            continue;
        }

        wchar_t shortName[kShortNameSize] = {};
        existing->GetShortName(shortName, kShortNameSize);
        wchar_t text[kImportTextSize] = {};
        FormatArray(text, L"%s:\n'%s'", prompt != nullptr ? prompt : L"", shortName);
        const int answer = AskImportQuestion(owner, text, kImportCaption);
        if (answer == IDYES)
        {
            // The new profile takes the old one's place everywhere it is listed.
            std::replace(m_pApplications->begin(), m_pApplications->end(), existing, profile);
            std::replace(m_NormalApplications.begin(), m_NormalApplications.end(), existing, profile);
            std::replace(m_CustomApplications.begin(), m_CustomApplications.end(), existing, profile);
            delete existing;
            lastImported = profile;
            ++count;
        }
        else if (answer == IDNO)
        {
            delete profile;
        }
        else
        {
            delete profile;
            return count;
        }
    }

    if (count == 0)
        CLogger::LogMessage(L"No application profiles were imported from BRMP settings import file.");
    else
        CLogger::LogMessage(L"%d application profile were imported from BRMP settings import file.", count);
    return count;
}
