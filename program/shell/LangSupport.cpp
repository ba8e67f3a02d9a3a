#include "LangSupport.h"

#include <atomic>
#include <cstdarg>
#include <vector>

#include "CaughtException.h"
#include "Folders.h"
#include "Logger.h"
#include "StringFormat.h"
#include "ThreadLock.h"
#include "TranslationFormat.h"


namespace
{
// Guards the table and the reference count; lives until the process ends.
CRITICAL_SECTION* LanguageLock()
{
    static CRITICAL_SECTION* lock = []
    {
        auto* cs = new CRITICAL_SECTION;
        if (!::InitializeCriticalSectionAndSpinCount(cs, 4000))
        {
            CLogger::LogOSMessage(::GetLastError(), L"Unable to initialise critical section in LangSupport");
            ::InitializeCriticalSection(cs);
        }
        return cs;
    }();
    return lock;
}

CLangSupport* g_language = nullptr;

bool SettingsFolder(std::wstring& folder)
{
    std::vector<wchar_t> buffer(kMaxPathChars, L'\0');
    if (GetSettingsFolder(buffer.data(), buffer.size()) != 0)
        return false;
    buffer.back() = L'\0';
    folder = buffer.data();
    return !folder.empty();
}

std::atomic<LanguageFolderSource> g_folderSource{nullptr};

bool IsPlainFileName(const wchar_t* name)
{
    const std::size_t length = ::wcsnlen(name, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (name[i] == L'\\' || name[i] == L'/' || name[i] == L':')
            return false;
    const std::wstring text(name, length);
    return text != L"." && text != L"..";
}
}

// The only code that touches a CLangSupport's members, always under LanguageLock.
class LanguageTableAccess
{
public:
    // The folder that holds the packs.
    static bool LanguageFolder(std::wstring& folder)
    {
        const LanguageFolderSource source = g_folderSource.load();
        const bool found = source != nullptr ? source(folder) : SettingsFolder(folder);
        return found && !folder.empty();
    }

    static CLangSupport* Acquire()
    {
        CGenericThreadLock lock(LanguageLock(), L"CLangSupport", true);
        if (g_language == nullptr)
            g_language = new CLangSupport;
        ++g_language->m_references;
        return g_language;
    }

    static void Release(CLangSupport* language)
    {
        CGenericThreadLock lock(LanguageLock(), L"CLangSupport::Release", true);
        if (language == nullptr || language != g_language)
            return;
        if (g_language->m_references > 0)
            --g_language->m_references;
        if (g_language->m_references == 0)
        {
            delete g_language;
            g_language = nullptr;
        }
    }

    static std::size_t Count(const CLangSupport* language)
    {
        CGenericThreadLock lock(LanguageLock(), L"CLangSupport::GetCount", true);
        return language == g_language && g_language != nullptr ? g_language->m_table.size() : 0;
    }

    static bool Load(const wchar_t* fileName)
    {
        // The path is settled before the table's lock is taken: the folder
        // lookup takes the library's global lock, which never waits on ours.
        std::wstring path;
        const bool named = fileName != nullptr && fileName[0] != L'\0';
        if (named)
        {
            std::wstring folder;
            if (!IsPlainFileName(fileName))
                CLogger::LogMessage(L"SetLanguageFile: '%.260s' is not the name of a file in the settings folder.",
                                    fileName);
            else if (!LanguageFolder(folder))
                CLogger::LogMessage(L"SetLanguageFile: Unable to get settings folder!");
            else if (folder.size() + ::wcslen(fileName) + 1 >= kMaxPathChars)
                CLogger::LogMessage(L"SetLanguageFile: The path of '%s' is too long.", fileName);
            else
                path = (folder.back() == L'\\' ? folder : folder + L'\\') + fileName;
        }

        CGenericThreadLock lock(LanguageLock(), L"SetLanguageFile");
        if (g_language == nullptr)
            g_language = new CLangSupport;
        g_language->m_table.clear();
        if (path.empty())
            return false;

        CLogger::LogDebug(L"Loading language file: '%s'", fileName);
        try
        {
            std::vector<std::wstring> lines;
            bool badEncoding = false;
            DWORD error = 0;
            if (!ReadLanguagePackLines(path, lines, badEncoding, error))
            {
                CLogger::LogOSMessage(error, L"Unable to load language file '%s'", path.c_str());
                return false;
            }
            if (badEncoding)
                CLogger::LogMessage(L"SetLanguageFile: '%s' is not valid UTF-8; its bad bytes read as U+FFFD.",
                                    path.c_str());
            for (const std::wstring& line : lines)
                AddLine(g_language->m_table, line);
            return true;
        }
        catch (...)
        {
            CLogger::LogMessage(L"An unexpected error occurred in SetLanguageFile. Skipping language loading.");
            return false;
        }
    }

    static void AddLine(std::map<std::wstring, CLangSupport::Translation>& table, const std::wstring& line)
    {
        LanguageLine parsed = ParseLanguageLine(line);
        if (parsed.kind != LanguageLine::Kind::Entry)
            return;
        if (parsed.key.empty() || parsed.value.empty())
        {
            CLogger::LogDebug(L"Skipping language string: '%s' => '%s', token is empty!", parsed.key.c_str(),
                              parsed.value.c_str());
            return;
        }
        if (table.find(parsed.key) != table.end())
        {
            CLogger::LogDebug(L"Error loading language string: '%s' => '%s', key already exists!",
                              parsed.key.c_str(), parsed.value.c_str());
            return;
        }
        table.emplace(std::move(parsed.key), CLangSupport::Translation{std::move(parsed.value), 0});
    }

    // The translation of text; with asFormat, a translation whose conversions
    // differ from the English text's makes valid false.
    static std::wstring Find(const wchar_t* text, const wchar_t* lockName, bool asFormat, bool& valid)
    {
        valid = true;
        CGenericThreadLock lock(LanguageLock(), lockName, true);
        if (g_language == nullptr)
            return text;
        auto it = g_language->m_table.find(text);
        if (it == g_language->m_table.end())
            return text;
        CLangSupport::Translation& translation = it->second;
        if (asFormat)
        {
            if (translation.formatCheck == 0)
            {
                translation.formatCheck = TranslationFormatMatches(text, translation.text.c_str()) ? 1 : -1;
                if (translation.formatCheck < 0)
                    CLogger::LogMessage(L"Invalid language translation text '%s' => '%s'", text,
                                        translation.text.c_str());
            }
            valid = translation.formatCheck > 0;
        }
        return translation.text;
    }
};

void CLangSupport::Release(CLangSupport* language)
{
    LanguageTableAccess::Release(language);
}

std::size_t CLangSupport::GetCount() const
{
    return LanguageTableAccess::Count(this);
}

CLangSupport* LangSupport()
{
    return LanguageTableAccess::Acquire();
}

bool SetLanguageFile(const wchar_t* fileName)
{
    return LanguageTableAccess::Load(fileName);
}

void SetLanguageFolderSource(LanguageFolderSource source)
{
    g_folderSource.store(source);
}

std::wstring InternalLookupText(CLangSupport* language, const wchar_t* text)
{
    if (text == nullptr)
        return {};
    if (language == nullptr)
        return text;
    try
    {
        bool valid = true;
        return LanguageTableAccess::Find(text, L"InternalLookupText", false, valid);
    }
    catch (...)
    {
        LogCaughtException(L"InternalLookupText: Unable to lookup language text '%s'", text);
        return text;
    }
}

std::wstring LookupText(CLangSupport* language, const std::wstring& text)
{
    if (language == nullptr)
        return text;
    try
    {
        bool valid = true;
        return LanguageTableAccess::Find(text.c_str(), L"LookupText 2", false, valid);
    }
    catch (...)
    {
        LogCaughtException(L"InternalLookupText: Unable to lookup language text '%s'", text.c_str());
        return text;
    }
}

std::wstring LookupTextV(CLangSupport* language, const wchar_t* format, va_list args)
{
    if (format == nullptr)
        return {};
    std::wstring used = format;
    if (language != nullptr)
    {
        try
        {
            bool valid = true;
            used = LanguageTableAccess::Find(format, L"InternalLookupText", true, valid);
            if (!valid)
                return kInvalidLanguageText;
        }
        catch (...)
        {
            LogCaughtException(L"InternalLookupText: Unable to lookup language text '%s'", format);
            used = format;
        }
    }
    return FormatStringV(used.c_str(), args);
}

std::wstring LookupText(CLangSupport* language, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = LookupTextV(language, format, args);
    va_end(args);
    return text;
}

bool InstallLanguagePackFromCommand(const std::wstring& argument, std::wstring& fileName)
{
    std::wstring folder;
    if (!LanguageTableAccess::LanguageFolder(folder))
        folder.clear(); // the install logs the pack, then stops
    switch (InstallLanguagePack(argument, folder, fileName))
    {
    case LanguageInstallResult::Installed:
    case LanguageInstallResult::AlreadyInstalled:
        SetLanguageFile(fileName.c_str());
        return true;
    default:
        return false;
    }
}
