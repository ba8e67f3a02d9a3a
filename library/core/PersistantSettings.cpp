#include "PersistantSettings.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "Folders.h"
#include "Handles.h"
#include "StringFormat.h"
#include "ThreadLock.h"

namespace
{
// Layer, last check, two lengths and at most two paths of MaxStoredLength units.
constexpr std::size_t kMaxFileBytes = 16 + 4 * static_cast<std::size_t>(CPersistantSettings::MaxStoredLength);

void PutInt(std::vector<char>& out, std::int32_t value)
{
    const std::uint32_t v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutText(std::vector<char>& out, const std::wstring& text, bool present)
{
    const std::size_t length = present ? text.size() : 0;
    PutInt(out, static_cast<std::int32_t>(length));
    for (std::size_t i = 0; i < length; ++i)
    {
        const unsigned unit = static_cast<unsigned>(text[i]) & 0xFFFF;
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
}

bool GetInt(const std::vector<unsigned char>& in, std::size_t offset, std::int32_t& value)
{
    if (offset > in.size() || in.size() - offset < 4)
        return false;
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(in[offset + i]) << (8 * i);
    value = static_cast<std::int32_t>(v);
    return true;
}

// Reads a length and its text at offset; bounded by MaxStoredLength and by
// the bytes present.
bool GetText(const std::vector<unsigned char>& in, std::size_t& offset, std::wstring& text, bool& present)
{
    std::int32_t length = 0;
    if (!GetInt(in, offset, length))
        return false;
    offset += 4;
    if (length < 0 || length > CPersistantSettings::MaxStoredLength)
        return false;
    const std::size_t bytes = static_cast<std::size_t>(length) * 2;
    if (in.size() - offset < bytes)
        return false;
    text.clear();
    text.reserve(static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < bytes; i += 2)
        text.push_back(static_cast<wchar_t>(in[offset + i] | (in[offset + i + 1] << 8)));
    offset += bytes;
    present = length > 0;
    return true;
}

// A stored text may hold a null unit: keep what stands before it.
void Terminate(std::wstring& text)
{
    const std::size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos)
        text.erase(zero);
}

// The temporary file of a save: unique per process, in the state file's folder.
std::wstring TempSuffix() { return FormatString(L".%lu.tmp", static_cast<unsigned long>(::GetCurrentProcessId())); }

bool SetText(std::wstring& stored, bool& has, const wchar_t* text)
{
    if (text == nullptr)
    {
        if (!has)
            return false;
        stored.clear();
        has = false;
        return true;
    }
    if (has && stored == text)
        return false;
    stored = text;
    has = true;
    return true;
}
}

CPersistantSettings::CPersistantSettings(const wchar_t* stateFile, int layer, int lastUpdateCheck, bool dirty)
    : m_stateFile(stateFile != nullptr ? stateFile : L""), m_bDirty(dirty), m_nLayer(layer), m_nLastUpdateCheck(lastUpdateCheck)
{
}

CPersistantSettings::~CPersistantSettings() = default;

void CPersistantSettings::SetLayer(int layer)
{
    if (layer != m_nLayer)
    {
        m_nLayer = layer;
        m_bDirty = true;
    }
}

void CPersistantSettings::SetLastUpdateCheck(int value)
{
    if (value != m_nLastUpdateCheck)
    {
        m_nLastUpdateCheck = value;
        m_bDirty = true;
    }
}

const wchar_t* CPersistantSettings::GetSettingsFile() const { return m_bHasSettingsFile ? m_settingsFile.c_str() : nullptr; }

void CPersistantSettings::SetSettingsFile(const wchar_t* path)
{
    if (SetText(m_settingsFile, m_bHasSettingsFile, path))
        m_bDirty = true;
}

const wchar_t* CPersistantSettings::GetDefaultLogFolder() const { return m_bHasLogFolder ? m_logFolder.c_str() : nullptr; }

void CPersistantSettings::SetDefaultLogFolder(const wchar_t* folder)
{
    if (SetText(m_logFolder, m_bHasLogFolder, folder))
        m_bDirty = true;
}

bool CPersistantSettings::Load()
{
    try
    {
        UniqueHandle file(::CreateFileW(m_stateFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 16)
            return false;
        // Anything past the longest valid content is never read.
        const std::size_t want =
            size.QuadPart > static_cast<LONGLONG>(kMaxFileBytes) ? kMaxFileBytes : static_cast<std::size_t>(size.QuadPart);
        std::vector<unsigned char> bytes(want);
        DWORD got = 0;
        if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(want), &got, nullptr) || got != want)
            return false;

        std::int32_t layer = 0;
        std::int32_t lastCheck = 0;
        std::size_t offset = 8;
        std::wstring settingsFile;
        std::wstring logFolder;
        bool hasSettingsFile = false;
        bool hasLogFolder = false;
        if (!GetInt(bytes, 0, layer) || !GetInt(bytes, 4, lastCheck) || !GetText(bytes, offset, settingsFile, hasSettingsFile) ||
            !GetText(bytes, offset, logFolder, hasLogFolder))
            return false;

        Terminate(settingsFile);
        Terminate(logFolder);
        m_nLayer = layer;
        m_nLastUpdateCheck = lastCheck;
        m_settingsFile = settingsFile;
        m_bHasSettingsFile = hasSettingsFile;
        m_logFolder = logFolder;
        m_bHasLogFolder = hasLogFolder;
        m_bDirty = false;
        return true;
    }
    catch (...)
    {
        return false;
    }
}

bool CPersistantSettings::Save()
{
    if (!m_bDirty)
        return false;
    std::wstring temp;
    try
    {
        std::vector<char> out;
        PutInt(out, m_nLayer);
        PutInt(out, m_nLastUpdateCheck);
        const bool settingsFits = m_settingsFile.size() <= static_cast<std::size_t>(MaxStoredLength);
        const bool logFits = m_logFolder.size() <= static_cast<std::size_t>(MaxStoredLength);
        // A path the loader would refuse is not stored at all.
        PutText(out, m_settingsFile, m_bHasSettingsFile && settingsFits);
        PutText(out, m_logFolder, m_bHasLogFolder && logFits);

        // Written beside the real file and put in place whole, so that a failed
        // write never leaves a half-written state file.
        temp = m_stateFile + TempSuffix();
        UniqueHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        DWORD written = 0;
        const bool ok = ::WriteFile(file.Get(), out.data(), static_cast<DWORD>(out.size()), &written, nullptr) &&
                        written == out.size() && ::FlushFileBuffers(file.Get());
        file.Reset();
        if (!ok || !::MoveFileExW(temp.c_str(), m_stateFile.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        {
            ::DeleteFileW(temp.c_str());
            return false;
        }
        return true;
    }
    catch (...)
    {
        if (!temp.empty())
            ::DeleteFileW(temp.c_str());
        return false;
    }
}

CPersistantSettings* g_pPersist = nullptr;

bool CreatePersistantSettings()
{
    CThreadLock lock(L"CreatePersistantSettings");
    if (g_pPersist != nullptr)
    {
        g_pPersist->Save();
        delete g_pPersist;
        g_pPersist = nullptr;
    }
    wchar_t folder[kMaxPathChars];
    std::wstring path;
    if (GetSettingsFolder(folder, kMaxPathChars) == 0)
        path = folder;
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
    path += L'\\';
    path += kStateFileName;
    g_pPersist = new CPersistantSettings(path.c_str(), 0, 0, true);
    return g_pPersist->Load();
}

bool SaveGlobalPersistantSettings()
{
    CThreadLock lock(L"SaveGlobalPersistantSettings");
    return g_pPersist != nullptr && g_pPersist->Save();
}

void DeletePersistantSettings()
{
    CThreadLock lock(L"DeletePersistantSettings");
    if (g_pPersist == nullptr)
        return;
    g_pPersist->Save();
    delete g_pPersist;
    g_pPersist = nullptr;
}
