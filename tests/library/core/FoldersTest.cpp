#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "Folders.h"
#include "Globals.h"
#include "Logger.h"
#include "PersistantSettings.h"
#include "RegKey.h"
#include "StringFormat.h"
#include "TempFolder.h"
#include "ThreadLock.h"

namespace
{
struct ShownMessage
{
    std::wstring text;
    std::wstring caption;
    UINT type;
};
std::vector<ShownMessage> g_shown;

int RecordMessage(const wchar_t* text, const wchar_t* caption, UINT type)
{
    g_shown.push_back({text, caption, type});
    return IDOK;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void Touch(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
}

std::wstring TempFolder()
{
    wchar_t temp[MAX_PATH];
    const DWORD n = ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder(temp, n);
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// Every test has its own registry keys (real registry of the private prefix),
// its own %APPDATA% and its own folders.
class FoldersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int counter = 0;
        m_root = FormatString(L"%sbrmp-folders-%lu-%d", TempFolder().c_str(), ::GetCurrentProcessId(), ++counter);
        brmptest::RemoveTree(m_root); // left by a run that was killed
        ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr));
        m_appData = m_root + L"\\AppData\\Roaming";
        ASSERT_TRUE(CreateFolder(m_appData.c_str()));
        m_key = FormatString(L"Software\\Brindlemap-FoldersTest-%lu-%d", ::GetCurrentProcessId(), counter);
        SetProgramRegistryKeys(m_key.c_str(), m_key.c_str());

        wchar_t old[4096];
        const DWORD n = ::GetEnvironmentVariableW(L"APPDATA", old, 4096);
        m_hadAppData = n > 0 && n < 4096;
        if (m_hadAppData)
            m_oldAppData.assign(old, n);
        ::SetEnvironmentVariableW(L"APPDATA", m_appData.c_str());

        m_wasPortable = IsPortableMode();
        SetPortableMode(false);
        m_oldPersist = g_pPersist;
        g_pPersist = nullptr;
        g_shown.clear();
        SetFolderMessageBoxHandler(RecordMessage);
        m_settingsFolder = m_appData + L"\\Brindlemap\\";
        m_defaultFile = m_settingsFolder + kSettingsFileName;
    }

    void TearDown() override
    {
        SetFolderMessageBoxHandler(nullptr);
        delete g_pPersist;
        g_pPersist = m_oldPersist;
        SetPortableMode(m_wasPortable);
        ::SetEnvironmentVariableW(L"APPDATA", m_hadAppData ? m_oldAppData.c_str() : nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_key.c_str());
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str());
        SetProgramRegistryKeys(nullptr, nullptr);
        brmptest::RemoveTree(m_root);
    }

    void SetUserValue(const wchar_t* name, const std::wstring& value)
    {
        CMyRegKey key(nullptr, nullptr);
        ASSERT_TRUE(key.CreateKey(m_key.c_str(), HKEY_CURRENT_USER));
        ASSERT_TRUE(key.SetValue(name, value.c_str()));
    }

    void SetMachineValue(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ)
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    // The per-user value, or "<none>".
    std::wstring UserValue(const wchar_t* name)
    {
        CMyRegKey key(m_key.c_str(), HKEY_CURRENT_USER, KEY_READ);
        wchar_t value[4096];
        return key.GetValue(name, value, 4096) ? std::wstring(value) : std::wstring(L"<none>");
    }

    std::wstring SettingsFolder()
    {
        wchar_t buffer[4096];
        EXPECT_EQ(GetSettingsFolder(buffer, 4096), 0u);
        return buffer;
    }

    std::wstring LogFolder(bool create, DWORD* result = nullptr)
    {
        wchar_t buffer[4096];
        const DWORD r = GetLogFolder(buffer, 4096, create);
        if (result != nullptr)
            *result = r;
        return buffer;
    }

    std::wstring m_root;
    std::wstring m_appData;
    std::wstring m_key;
    std::wstring m_oldAppData;
    bool m_hadAppData = false;
    bool m_wasPortable = false;
    CPersistantSettings* m_oldPersist = nullptr;
    std::wstring m_settingsFolder;
    std::wstring m_defaultFile;
};
}

TEST_F(FoldersTest, InstalledModeUsesAnExistingMachineWideFolderElseTheOneUnderAppData)
{
    const std::wstring shared = m_root + L"\\Shared";
    ASSERT_TRUE(CreateFolder(shared.c_str()));
    const std::wstring aFile = m_root + L"\\file.txt";
    Touch(aFile);
    struct Case
    {
        const char* name;
        std::wstring value; // empty: no value
        DWORD type;
        std::wstring expected;
    };
    const Case cases[] = {
        {"no machine-wide value", L"", REG_SZ, m_settingsFolder},
        {"a folder that does not exist", m_root + L"\\Missing", REG_SZ, m_settingsFolder},
        {"an existing folder gets its backslash", shared, REG_SZ, shared + L"\\"},
        {"an existing folder written with a backslash", shared + L"\\", REG_SZ, shared + L"\\"},
        {"a file is no folder", aFile, REG_SZ, m_settingsFolder},
        {"a value of another type is not set", shared, REG_EXPAND_SZ, m_settingsFolder},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str());
        if (!c.value.empty())
            SetMachineValue(L"SettingsFolder", c.value, c.type);
        EXPECT_EQ(SettingsFolder(), c.expected);
    }
}

TEST_F(FoldersTest, PortableModeKeepsSettingsAndLogsBesideTheProgram)
{
    wchar_t exe[4096];
    ASSERT_EQ(GetEXEFolder(exe, 4096), 0u);
    EXPECT_EQ(std::wstring(exe), ExeFolder());

    SetPortableMode(true);
    EXPECT_EQ(SettingsFolder(), ExeFolder() + L"\\");
    // Without a state object and without a log folder of its own.
    EXPECT_EQ(LogFolder(false), ExeFolder() + L"\\");
    g_pPersist = new CPersistantSettings((m_root + L"\\Persist.brmpps").c_str());
    EXPECT_EQ(LogFolder(false), ExeFolder() + L"\\");

    const std::wstring logs = m_root + L"\\PortableLogs";
    ASSERT_TRUE(CreateFolder(logs.c_str()));
    g_pPersist->SetDirty(false);
    EXPECT_TRUE(SetDefaultLogFolder(logs.c_str()));
    EXPECT_TRUE(g_pPersist->IsDirty());
    EXPECT_EQ(LogFolder(false), logs + L"\\");
    wchar_t file[4096];
    ASSERT_EQ(GetLogFile(file, 4096, false), 0u);
    EXPECT_EQ(std::wstring(file), logs + L"\\" + kLogFileName);
    // The registry is not touched in portable mode.
    EXPECT_EQ(UserValue(L"LogFolder"), L"<none>");

    // The settings folder itself means "no log folder of its own".
    EXPECT_TRUE(SetDefaultLogFolder(SettingsFolder().c_str()));
    EXPECT_EQ(g_pPersist->GetDefaultLogFolder(), nullptr);
}

TEST_F(FoldersTest, CreateFolderMakesEveryMissingLevelAndRefusesDrivesAndFiles)
{
    const std::wstring existing = m_root + L"\\Existing";
    ASSERT_TRUE(::CreateDirectoryW(existing.c_str(), nullptr));
    const std::wstring aFile = m_root + L"\\plain.txt";
    Touch(aFile);
    const std::wstring driveChild = m_root.substr(0, 3) + FormatString(L"brmp-drive-%lu", ::GetCurrentProcessId());
    ::RemoveDirectoryW(driveChild.c_str());
    struct Case
    {
        const char* name;
        std::wstring path;
        bool result;
    };
    const Case cases[] = {
        {"a drive alone", L"C:", false},
        {"an empty path", L"", false},
        {"an existing folder", existing, true},
        {"a deep new path", m_root + L"\\a\\b\\c\\d", true},
        {"a new path ending in a backslash", m_root + L"\\e\\f\\", true},
        {"a new folder right below a drive", driveChild, true},
        {"a path naming a file", aFile, false},
        {"a path below a file", aFile + L"\\sub", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CreateFolder(c.path.c_str()), c.result);
        if (c.result)
        {
            EXPECT_TRUE(IsFolder(c.path));
        }
    }
    EXPECT_TRUE(IsFolder(m_root + L"\\a\\b\\c"));
    EXPECT_FALSE(CreateFolder(nullptr));
    ::RemoveDirectoryW(driveChild.c_str());
}

TEST_F(FoldersTest, TheLogFolderFallsBackToTheTemporaryFolderAndTellsTheUserOnlyWhereItMay)
{
    const std::wstring existing = m_root + L"\\Logs";
    ASSERT_TRUE(CreateFolder(existing.c_str()));
    const std::wstring blocker = m_root + L"\\blocker.txt";
    Touch(blocker);
    const std::wstring uncreatable = blocker + L"\\Logs";
    const std::wstring missing = m_root + L"\\NewLogs";
    const std::wstring warning = L"Unable to find or create the log file folder '" + uncreatable +
                                 L"'.\nThe log file will be placed in '" + TempFolder() + L"' instead.";
    enum class From
    {
        Caller,
        NoUiThread,
        HolderOfTheGlobalLock
    };
    struct Case
    {
        const char* name;
        std::wstring value; // empty: none
        bool create;
        From from;
        std::wstring expected;
        bool message;
    };
    const Case cases[] = {
        {"an existing folder", existing, false, From::Caller, existing + L"\\", false},
        {"none set: the settings folder, made when asked to", L"", true, From::Caller, m_settingsFolder, false},
        {"a missing folder without create", missing, false, From::Caller, TempFolder(), false},
        {"a missing folder with create is made", missing, true, From::Caller, missing + L"\\", false},
        {"a folder that cannot be made", uncreatable, true, From::Caller, TempFolder(), true},
        {"...from a thread that may show no message box", uncreatable, true, From::NoUiThread, TempFolder(), false},
        {"...while the caller holds the global lock", uncreatable, true, From::HolderOfTheGlobalLock, TempFolder(), false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
        if (!c.value.empty())
            SetUserValue(L"LogFolder", c.value);
        g_shown.clear();
        std::wstring folder;
        DWORD result = 1;
        switch (c.from)
        {
        case From::Caller:
            folder = LogFolder(c.create, &result);
            break;
        case From::NoUiThread:
        {
            std::thread hook([&] {
                SetThreadMessageBoxesAllowed(false);
                folder = LogFolder(c.create, &result);
            });
            hook.join();
            break;
        }
        case From::HolderOfTheGlobalLock:
        {
            CThreadLock lock(L"FoldersTest");
            folder = LogFolder(c.create, &result);
            break;
        }
        }
        EXPECT_EQ(result, 0u);
        EXPECT_EQ(folder, c.expected);
        ASSERT_EQ(g_shown.size(), c.message ? 1u : 0u);
        if (c.message)
        {
            EXPECT_EQ(g_shown[0].text, warning);
            EXPECT_EQ(g_shown[0].caption, L"Brindlemap");
            EXPECT_EQ(g_shown[0].type, static_cast<UINT>(MB_ICONWARNING));
        }
    }
    EXPECT_TRUE(ThreadMessageBoxesAllowed());
}

TEST_F(FoldersTest, TheUsersLogFolderIsStoredUnlessItIsTheSettingsFolder)
{
    const std::wstring logs = m_root + L"\\MyLogs";
    EXPECT_TRUE(SetDefaultLogFolder(logs.c_str()));
    EXPECT_EQ(UserValue(L"LogFolder"), logs);
    wchar_t buffer[4096];
    EXPECT_TRUE(GetDefaultLogFolder(buffer, 4096));
    EXPECT_EQ(std::wstring(buffer), logs);

    EXPECT_TRUE(SetDefaultLogFolder(m_settingsFolder.c_str()));
    EXPECT_EQ(UserValue(L"LogFolder"), L"<none>");
    EXPECT_TRUE(GetDefaultLogFolder(buffer, 4096));
    EXPECT_EQ(std::wstring(buffer), m_settingsFolder);
}

TEST_F(FoldersTest, SettingTheSettingsFileStoresOnlyAnExistingFileOtherThanTheDefault)
{
    ASSERT_TRUE(CreateFolder(m_settingsFolder.c_str()));
    Touch(m_defaultFile);
    const std::wstring mine = m_root + L"\\Mine.xml";
    Touch(mine);
    std::wstring upper = m_defaultFile;
    for (wchar_t& ch : upper)
        ch = static_cast<wchar_t>(::towupper(ch));

    EXPECT_EQ(SetSettingsFile((m_root + L"\\Missing.xml").c_str()), 2u);
    EXPECT_EQ(UserValue(L"SettingsFile"), L"<none>");
    EXPECT_EQ(SetSettingsFile(mine.c_str()), 0u);
    EXPECT_EQ(UserValue(L"SettingsFile"), mine);
    EXPECT_EQ(SetSettingsFile(upper.c_str()), 0u);
    EXPECT_EQ(UserValue(L"SettingsFile"), L"<none>");
    // Choosing the default again, with nothing stored, is no failure.
    EXPECT_EQ(SetSettingsFile(m_defaultFile.c_str()), 0u);

    // Portable mode keeps the choice in the state object.
    SetPortableMode(true);
    EXPECT_EQ(SetSettingsFile(mine.c_str()), 0u); // no state object: nothing to keep
    g_pPersist = new CPersistantSettings((m_root + L"\\Persist.brmpps").c_str(), 0, 0, false);
    EXPECT_EQ(SetSettingsFile(mine.c_str()), 0u);
    ASSERT_NE(g_pPersist->GetSettingsFile(), nullptr);
    EXPECT_EQ(std::wstring(g_pPersist->GetSettingsFile()), mine);
    EXPECT_TRUE(g_pPersist->IsDirty());
    EXPECT_EQ(UserValue(L"SettingsFile"), L"<none>");
}

TEST_F(FoldersTest, TheSettingsFileIsTheUsersWhileItExistsElseTheDefault)
{
    ASSERT_TRUE(CreateFolder(m_settingsFolder.c_str()));
    const std::wstring mine = m_root + L"\\Mine.xml";
    const std::wstring vanished = m_root + L"\\Vanished.xml";
    Touch(mine);
    struct Case
    {
        const char* name;
        std::wstring user;  // stored "SettingsFile", empty: none
        bool defaultExists;
        bool fallBack;
        bool isDefaultIn;
        DWORD result;
        std::wstring path;
        bool isDefaultOut;
        std::wstring valueAfter;
    };
    const Case cases[] = {
        {"the user's file", mine, true, false, false, 0, mine, false, mine},
        {"a vanished user file without fall-back", vanished, true, false, false, 2, L"", false, vanished},
        {"a vanished user file with fall-back", vanished, true, true, false, 0, m_defaultFile, true, L"<none>"},
        {"the default asked for", mine, true, false, true, 0, m_defaultFile, true, mine},
        {"nothing stored", L"", true, false, false, 0, m_defaultFile, true, L"<none>"},
        {"no default file either", L"", false, false, false, 2, m_defaultFile, false, L"<none>"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
        if (!c.user.empty())
            SetUserValue(L"SettingsFile", c.user);
        if (c.defaultExists)
            Touch(m_defaultFile);
        else
            ::DeleteFileW(m_defaultFile.c_str());
        wchar_t buffer[4096] = L"";
        bool isDefault = c.isDefaultIn;
        EXPECT_EQ(GetSettingsFile(buffer, 4096, c.fallBack, isDefault), c.result);
        if (c.result == 0 || !c.path.empty())
        {
            EXPECT_EQ(std::wstring(buffer), c.path);
        }
        EXPECT_EQ(isDefault, c.isDefaultOut);
        EXPECT_EQ(UserValue(L"SettingsFile"), c.valueAfter);
    }

    // Portable mode reads the state object's file, never the registry.
    SetPortableMode(true);
    SetUserValue(L"SettingsFile", mine);
    g_pPersist = new CPersistantSettings((m_root + L"\\Persist.brmpps").c_str());
    g_pPersist->SetSettingsFile(vanished.c_str());
    wchar_t buffer[4096] = L"";
    bool isDefault = false;
    EXPECT_EQ(GetSettingsFile(buffer, 4096, false, isDefault), 2u);
    g_pPersist->SetSettingsFile(mine.c_str());
    EXPECT_EQ(GetSettingsFile(buffer, 4096, false, isDefault), 0u);
    EXPECT_EQ(std::wstring(buffer), mine);
}

TEST_F(FoldersTest, PathsThatDoNotFitOrCannotBeFoundAreReportedNotTruncated)
{
    wchar_t small[8] = L"keep";
    EXPECT_EQ(GetSettingsFolder(small, 8), 34u);
    EXPECT_EQ(small[0], L'\0');

    wchar_t buffer[4096] = L"untouched";
    ::SetEnvironmentVariableW(L"APPDATA", nullptr);
    EXPECT_NE(GetDefaultSettingsFile(buffer, 4096), 0u);
    EXPECT_EQ(std::wstring(buffer), L"untouched");

    const std::wstring tooLong(4094, L'x');
    ::SetEnvironmentVariableW(L"APPDATA", (L"C:\\" + tooLong).c_str());
    EXPECT_EQ(GetSettingsFolder(buffer, 4096), 34u);
    EXPECT_EQ(buffer[0], L'\0');

    // A stored text without its terminator, or one longer than the buffer.
    ::SetEnvironmentVariableW(L"APPDATA", m_appData.c_str());
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    const wchar_t unterminated[4] = {L'a', L'b', L'c', L'd'};
    ASSERT_EQ(::RegSetValueExW(key, L"Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), sizeof(unterminated)),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    CMyRegKey reader(m_key.c_str(), HKEY_CURRENT_USER, KEY_READ);
    wchar_t five[5];
    EXPECT_TRUE(reader.GetValue(L"Unterminated", five, 5));
    EXPECT_EQ(std::wstring(five), L"abcd");
    wchar_t four[4] = L"xyz";
    EXPECT_FALSE(reader.GetValue(L"Unterminated", four, 4));
    EXPECT_EQ(four[0], L'\0');
}
