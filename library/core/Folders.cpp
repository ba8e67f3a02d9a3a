#include "Folders.h"

#include <atomic>
#include <cwchar>
#include <mutex>

#include "Logger.h"
#include "PersistantSettings.h"
#include "RegKey.h"
#include "StringFormat.h"
#include "ThreadLock.h"

namespace
{
constexpr DWORD kRangeError = 34; // ERANGE: the result does not fit the caller's buffer
constexpr std::size_t kMachineValueChars = 2048; // "SettingsFolder" is read up to 4,096 bytes

std::mutex g_keyMutex;
std::wstring g_userKey = kProgramRegistryKey;
std::wstring g_machineKey = kProgramRegistryKey;

std::atomic<FolderMessageBoxHandler> g_messageHandler{nullptr};
std::atomic<bool> g_bPortable{false};
thread_local bool t_messageBoxesAllowed = true;

// A message for the user, shown once the global lock is left.
struct PendingMessage
{
    std::wstring text;
    UINT type = 0;
};

DWORD CopyOut(wchar_t* buffer, std::size_t size, const std::wstring& text)
{
    if (buffer == nullptr || size == 0)
        return kRangeError;
    if (text.size() + 1 > size)
    {
        buffer[0] = L'\0';
        return kRangeError;
    }
    std::wmemcpy(buffer, text.c_str(), text.size() + 1);
    return 0;
}

void Clear(wchar_t* buffer, std::size_t size)
{
    if (buffer != nullptr && size > 0)
        buffer[0] = L'\0';
}

bool EndsWithBackslash(const std::wstring& path) { return !path.empty() && path.back() == L'\\'; }

std::wstring WithBackslash(std::wstring path)
{
    if (!EndsWithBackslash(path))
        path += L'\\';
    return path;
}

bool IsFolder(const std::wstring& path)
{
    if (path.empty())
        return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A file (not a folder) exists at path; else false with the system's error in error.
bool IsFile(const std::wstring& path, DWORD& error)
{
    error = 0;
    if (path.empty())
    {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
    {
        error = ::GetLastError();
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    return true;
}

std::wstring TempFolder()
{
    wchar_t temp[MAX_PATH + 2];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH + 1)
        return L"C:\\";
    return WithBackslash(std::wstring(temp, n));
}

std::wstring UserKey()
{
    std::lock_guard<std::mutex> guard(g_keyMutex);
    return g_userKey;
}

std::wstring MachineKey()
{
    std::lock_guard<std::mutex> guard(g_keyMutex);
    return g_machineKey;
}

// A REG_SZ value of the per-user key; empty when missing, of another type or too long.
std::wstring ReadUserValue(const wchar_t* name)
{
    CMyRegKey key(UserKey().c_str(), HKEY_CURRENT_USER, KEY_READ);
    wchar_t value[kMaxPathChars];
    if (!key.GetValue(name, value, kMaxPathChars))
        return {};
    return value;
}

// Opens the per-user key for writing, creating it when missing.
bool OpenUserKeyForWriting(CMyRegKey& key)
{
    if (key.IsValid())
        return true;
    return key.CreateKey(UserKey().c_str(), HKEY_CURRENT_USER);
}

// The settings folder, always ending in a backslash; the caller holds the global lock.
DWORD SettingsFolderLocked(std::wstring& folder)
{
    folder.clear();
    if (IsPortableMode())
    {
        wchar_t exe[kMaxPathChars];
        const DWORD result = GetEXEFolder(exe, kMaxPathChars);
        if (result != 0)
            return result;
        folder = WithBackslash(exe);
        return 0;
    }

    {
        CMyRegKey machine(MachineKey().c_str(), HKEY_LOCAL_MACHINE, KEY_READ);
        wchar_t value[kMachineValueChars];
        if (machine.GetValue(L"SettingsFolder", value, kMachineValueChars) && value[0] != L'\0' && IsFolder(value))
        {
            folder = WithBackslash(value);
            return 0;
        }
    }

    wchar_t appData[kMaxPathChars];
    const DWORD n = ::GetEnvironmentVariableW(L"APPDATA", appData, kMaxPathChars);
    if (n == 0)
        return ERROR_ENVVAR_NOT_FOUND;
    if (n > kMaxPathChars - 3)
        return kRangeError;
    std::wstring base(appData, n);
    while (EndsWithBackslash(base))
        base.pop_back();
    folder = base + kSettingsSubFolder;
    return 0;
}

void ShowPending(const PendingMessage& message)
{
    if (message.text.empty())
        return;
    // Never from a thread that must not block on the user (the hook thread),
    // and never while this thread still holds the global lock: a modal box
    // would hold every hook path that waits for it.
    if (!t_messageBoxesAllowed || CThreadLock::IsHeldByCurrentThread())
    {
        ::OutputDebugStringW(message.text.c_str());
        ::OutputDebugStringW(L"\n");
        return;
    }
    const FolderMessageBoxHandler handler = g_messageHandler.load();
    if (handler != nullptr)
        handler(message.text.c_str(), kMessageCaption, message.type);
    else
        ::MessageBoxW(nullptr, message.text.c_str(), kMessageCaption, message.type);
}

std::wstring BoundedMessage(const wchar_t* format, const std::wstring& folder, const std::wstring& temp)
{
    wchar_t text[4096];
    Format(text, 4096, format, folder.c_str(), temp.c_str());
    return text;
}

// The log folder chosen by the user (the portable state file's or the
// registry's), else the settings folder; empty when neither is known. The
// caller holds the global lock.
std::wstring ChosenLogFolderLocked()
{
    std::wstring folder;
    if (IsPortableMode())
    {
        if (g_pPersist != nullptr && g_pPersist->GetDefaultLogFolder() != nullptr)
            folder = g_pPersist->GetDefaultLogFolder();
    }
    else
    {
        folder = ReadUserValue(L"LogFolder");
    }
    if (folder.empty())
        SettingsFolderLocked(folder);
    return folder;
}

// The log folder with its fall-backs; the caller holds the global lock and
// shows the pending message after leaving it.
DWORD LogFolderLocked(std::wstring& folder, bool create, PendingMessage& pending)
{
    folder = ChosenLogFolderLocked();

    const std::wstring temp = TempFolder();
    if (folder.empty())
    {
        if (create)
        {
            ::OutputDebugStringW(L"Unable to get or create the log file folder\n");
            pending.text = BoundedMessage(L"Unable to use the log file folder '%s'.\nThe log file will be placed in '%s' instead.",
                                          folder, temp);
            pending.type = MB_ICONERROR;
        }
        folder = temp;
    }
    else if (!create)
    {
        if (!IsFolder(folder))
            folder = temp;
    }
    else if (!CreateFolder(folder.c_str()))
    {
        ::OutputDebugStringW(L"Unable to get or create the log file folder\n");
        pending.text = BoundedMessage(L"Unable to find or create the log file folder '%s'.\nThe log file will be placed in '%s' instead.",
                                      folder, temp);
        pending.type = MB_ICONWARNING;
        folder = temp;
    }
    folder = WithBackslash(folder);
    return 0;
}

std::wstring DefaultSettingsFileOf(const std::wstring& settingsFolder) { return WithBackslash(settingsFolder) + kSettingsFileName; }

std::wstring PersistedSettingsFile()
{
    CThreadLock lock(L"GetSettingsFile");
    if (g_pPersist == nullptr || g_pPersist->GetSettingsFile() == nullptr)
        return {};
    return g_pPersist->GetSettingsFile();
}
}

void SetPortableMode(bool portable) { g_bPortable = portable; }

bool IsPortableMode() { return g_bPortable; }

void SetThreadMessageBoxesAllowed(bool allowed) { t_messageBoxesAllowed = allowed; }

bool ThreadMessageBoxesAllowed() { return t_messageBoxesAllowed; }

void SetFolderMessageBoxHandler(FolderMessageBoxHandler handler) { g_messageHandler.store(handler); }

void SetProgramRegistryKeys(const wchar_t* userKey, const wchar_t* machineKey)
{
    std::lock_guard<std::mutex> guard(g_keyMutex);
    g_userKey = userKey != nullptr ? userKey : kProgramRegistryKey;
    g_machineKey = machineKey != nullptr ? machineKey : kProgramRegistryKey;
}

std::wstring GetUserRegistryKey() { return UserKey(); }

std::wstring GetMachineRegistryKey() { return MachineKey(); }

DWORD GetEXEFolder(wchar_t* buffer, std::size_t size)
{
    wchar_t path[kMaxPathChars];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, kMaxPathChars);
    if (n == 0 || n >= kMaxPathChars)
    {
        Clear(buffer, size);
        return n == 0 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER;
    }
    std::wstring folder(path, n);
    const std::size_t cut = folder.find_last_of(L'\\');
    if (cut != std::wstring::npos)
        folder.erase(cut);
    return CopyOut(buffer, size, folder);
}

DWORD GetSettingsFolder(wchar_t* buffer, std::size_t size)
{
    CThreadLock lock(L"GetSettingsFolder");
    Clear(buffer, size);
    std::wstring folder;
    const DWORD result = SettingsFolderLocked(folder);
    if (result != 0)
        return result;
    return CopyOut(buffer, size, folder);
}

bool CreateFolder(const wchar_t* path)
{
    if (path == nullptr)
        return false;
    const std::size_t length = std::wcslen(path);
    if (length < 3 || length >= kMaxPathChars)
        return false;
    CThreadLock lock(L"CreateFolder");
    const std::wstring folder(path, length);
    if (IsFolder(folder))
        return true;

    const std::size_t cut = folder.find_last_of(L'\\');
    if (cut != std::wstring::npos && cut > 0)
    {
        // A parent that cannot be made (a drive root such as "C:") is left to
        // CreateDirectoryW to judge.
        CreateFolder(folder.substr(0, cut).c_str());
    }
    if (IsFolder(folder))
        return true;
    if (::CreateDirectoryW(folder.c_str(), nullptr))
        return true;
    // Made meanwhile by someone else is as good; a file of that name is not.
    return IsFolder(folder);
}

DWORD GetLogFolder(wchar_t* buffer, std::size_t size, bool create)
{
    PendingMessage pending;
    DWORD result = 0;
    {
        CThreadLock lock(L"GetLogFolder");
        std::wstring folder;
        result = LogFolderLocked(folder, create, pending);
        if (result == 0)
            result = CopyOut(buffer, size, folder);
        else
            Clear(buffer, size);
    }
    ShowPending(pending);
    return result;
}

DWORD GetLogFile(wchar_t* buffer, std::size_t size, bool create)
{
    PendingMessage pending;
    DWORD result = 0;
    {
        CThreadLock lock(L"GetLogFile");
        std::wstring folder;
        result = LogFolderLocked(folder, create, pending);
        if (result == 0)
            result = CopyOut(buffer, size, folder + kLogFileName);
        else
            Clear(buffer, size);
    }
    ShowPending(pending);
    return result;
}

bool GetDefaultLogFolder(wchar_t* buffer, std::size_t size)
{
    CThreadLock lock(L"GetDefaultLogFolder");
    CopyOut(buffer, size, ChosenLogFolderLocked());
    return true;
}

bool SetDefaultLogFolder(const wchar_t* folder)
{
    wchar_t settings[kMaxPathChars];
    if (GetSettingsFolder(settings, kMaxPathChars) != 0)
        settings[0] = L'\0';
    const bool own = folder != nullptr && folder[0] != L'\0' && std::wcscmp(folder, settings) != 0;

    if (IsPortableMode())
    {
        CThreadLock lock(L"SetDefaultLogFolder");
        if (g_pPersist == nullptr)
            return false;
        g_pPersist->SetDefaultLogFolder(own ? folder : nullptr);
        return true;
    }

    CMyRegKey key(UserKey().c_str(), HKEY_CURRENT_USER, KEY_READ | KEY_WRITE);
    if (!OpenUserKeyForWriting(key))
        return false;
    return own ? key.SetValue(L"LogFolder", folder) : key.DeleteValue(L"LogFolder");
}

DWORD GetDefaultSettingsFile(wchar_t* buffer, std::size_t size)
{
    wchar_t folder[kMaxPathChars];
    const DWORD result = GetSettingsFolder(folder, kMaxPathChars);
    if (result != 0)
    {
        CLogger::LogMessage(L"Unable to get settings folder");
        return result;
    }
    return CopyOut(buffer, size, DefaultSettingsFileOf(folder));
}

DWORD GetSettingsFile(wchar_t* buffer, std::size_t size, bool fallBack, bool& isDefault)
{
    const bool portable = IsPortableMode();
    bool userFileMissing = false;
    if (!isDefault)
    {
        const std::wstring user = portable ? PersistedSettingsFile() : ReadUserValue(L"SettingsFile");
        if (!user.empty())
        {
            DWORD error = 0;
            if (IsFile(user, error))
            {
                isDefault = false;
                return CopyOut(buffer, size, user);
            }
            userFileMissing = true;
            CLogger::LogOSMessage(error,
                                  portable ? L"Unable to find the user defined portable profile '%s'"
                                           : L"Unable to find the user defined profile '%s'",
                                  user.c_str());
            if (!fallBack)
                return ERROR_FILE_NOT_FOUND;
        }
    }

    wchar_t defaultFile[kMaxPathChars];
    const DWORD result = GetDefaultSettingsFile(defaultFile, kMaxPathChars);
    if (result != 0)
        return result;
    const DWORD copied = CopyOut(buffer, size, defaultFile);
    DWORD error = 0;
    if (!IsFile(defaultFile, error))
    {
        CLogger::LogOSMessage(error, L"Unable to find the default settings file '%s'", defaultFile);
        return ERROR_FILE_NOT_FOUND;
    }
    isDefault = true;
    if (userFileMissing && !portable)
    {
        CMyRegKey key(UserKey().c_str(), HKEY_CURRENT_USER, KEY_READ | KEY_WRITE);
        if (key.DeleteValue(L"SettingsFile"))
            CLogger::LogMessage(L"Remoed the user defined profile (that was not found) from the registry.");
        else
            CLogger::LogOSMessage(static_cast<DWORD>(key.LastStatus()),
                                  L"Unable to remove the user defined profile (that was not found) from the registry.");
    }
    return copied;
}

DWORD SetSettingsFile(const wchar_t* path)
{
    DWORD error = 0;
    if (path == nullptr || !IsFile(path, error))
        return ERROR_FILE_NOT_FOUND;
    wchar_t defaultFile[kMaxPathChars];
    const bool isDefault =
        GetDefaultSettingsFile(defaultFile, kMaxPathChars) == 0 &&
        ::CompareStringOrdinal(path, -1, defaultFile, -1, TRUE) == CSTR_EQUAL;

    if (IsPortableMode())
    {
        CThreadLock lock(L"SetSettingsFile");
        if (g_pPersist != nullptr)
            g_pPersist->SetSettingsFile(isDefault ? nullptr : path);
        return 0;
    }

    CMyRegKey key(UserKey().c_str(), HKEY_CURRENT_USER, KEY_READ | KEY_WRITE);
    if (!OpenUserKeyForWriting(key))
    {
        const DWORD status = static_cast<DWORD>(key.LastStatus());
        CLogger::LogOSMessage(status, L"Unable to set the user defined profile '%s'", path);
        return status != 0 ? status : ERROR_ACCESS_DENIED;
    }
    if (isDefault)
    {
        // A choice that was never stored is as good as removed.
        if (!key.DeleteValue(L"SettingsFile") && key.LastStatus() != ERROR_FILE_NOT_FOUND)
        {
            CLogger::LogOSMessage(static_cast<DWORD>(key.LastStatus()), L"Unable to remove the user defined profile from the registry.");
            return static_cast<DWORD>(key.LastStatus());
        }
        return 0;
    }
    if (!key.SetValue(L"SettingsFile", path))
    {
        CLogger::LogOSMessage(static_cast<DWORD>(key.LastStatus()), L"Unable to set the user defined profile '%s'", path);
        return static_cast<DWORD>(key.LastStatus());
    }
    return 0;
}
