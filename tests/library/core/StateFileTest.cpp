#include <gtest/gtest.h>

#include "TempFolder.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Folders.h"
#include "Globals.h"
#include "PersistantSettings.h"
#include "StringFormat.h"

namespace
{
std::string ReadAll(const std::wstring& path)
{
    return brmptest::ReadFileBytes(path).value_or(std::string());
}

void WriteAll(const std::wstring& path, const std::string& bytes)
{
    ASSERT_TRUE(brmptest::WriteFileBytes(path, bytes));
}

std::string Int(std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
            static_cast<char>(v >> 24)};
}

std::string Utf16(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t ch : text)
    {
        bytes += static_cast<char>(ch & 0xFF);
        bytes += static_cast<char>((ch >> 8) & 0xFF);
    }
    return bytes;
}

class StateFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int counter = 0;
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        m_folder = FormatString(L"%sbrmp-state-%lu-%d", temp, ::GetCurrentProcessId(), ++counter);
        DeleteAll(); // left by a run that was killed
        ASSERT_TRUE(::CreateDirectoryW(m_folder.c_str(), nullptr));
        m_file = m_folder + L"\\" + kStateFileName;
    }

    void TearDown() override { DeleteAll(); }

    void DeleteAll()
    {
        WIN32_FIND_DATAW data;
        HANDLE find = ::FindFirstFileW((m_folder + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE)
        {
            do
            {
                const std::wstring path = m_folder + L"\\" + data.cFileName;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    ::RemoveDirectoryW(path.c_str());
                else
                    ::DeleteFileW(path.c_str());
            } while (::FindNextFileW(find, &data));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(m_folder.c_str());
    }

    std::wstring m_folder;
    std::wstring m_file;
};
}

TEST_F(StateFileTest, WhatIsSavedIsLoadedBack)
{
    CPersistantSettings saved(m_file.c_str(), 0, 0, false);
    saved.SetLayer(7);
    saved.SetLastUpdateCheck(-123456);
    saved.SetSettingsFile(L"D:\\Profiles\\Gr\u00fc\u00dfe \u4e16\u754c.xml");
    saved.SetDefaultLogFolder(L"E:\\Logs");
    ASSERT_TRUE(saved.IsDirty());
    ASSERT_TRUE(saved.Save());
    EXPECT_TRUE(saved.IsDirty()); // saving leaves the flag alone

    const std::wstring path = L"D:\\Profiles\\Gr\u00fc\u00dfe \u4e16\u754c.xml";
    EXPECT_EQ(ReadAll(m_file), Int(7) + Int(-123456) + Int(static_cast<std::int32_t>(path.size())) + Utf16(path) + Int(7) +
                                   Utf16(L"E:\\Logs"));

    CPersistantSettings loaded(m_file.c_str());
    ASSERT_TRUE(loaded.Load());
    EXPECT_FALSE(loaded.IsDirty());
    EXPECT_EQ(loaded.GetLayer(), 7);
    EXPECT_EQ(loaded.GetLastUpdateCheck(), -123456);
    ASSERT_NE(loaded.GetSettingsFile(), nullptr);
    EXPECT_EQ(std::wstring(loaded.GetSettingsFile()), path);
    ASSERT_NE(loaded.GetDefaultLogFolder(), nullptr);
    EXPECT_EQ(std::wstring(loaded.GetDefaultLogFolder()), L"E:\\Logs");

    // No temporary file is left behind.
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((m_folder + L"\\*.tmp").c_str(), &data);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE)
        ::FindClose(find);
}

TEST_F(StateFileTest, AnUnchangedObjectIsNotWrittenAndChangesMarkIt)
{
    CPersistantSettings state(m_file.c_str(), 2, 3, false);
    EXPECT_FALSE(state.Save());
    EXPECT_EQ(::GetFileAttributesW(m_file.c_str()), INVALID_FILE_ATTRIBUTES);

    state.SetSettingsFile(nullptr); // nothing was set
    state.SetLayer(2);
    EXPECT_FALSE(state.IsDirty());
    state.SetSettingsFile(L"a.xml");
    EXPECT_TRUE(state.IsDirty());
    state.SetDirty(false);
    state.SetSettingsFile(L"a.xml"); // equal text
    EXPECT_FALSE(state.IsDirty());
    state.SetSettingsFile(nullptr);
    EXPECT_TRUE(state.IsDirty());
    EXPECT_EQ(state.GetSettingsFile(), nullptr);
}

TEST_F(StateFileTest, AFileWithoutPathsIs16BytesAndLeavesBothUnset)
{
    CPersistantSettings state(m_file.c_str(), 4, 5, true);
    ASSERT_TRUE(state.Save());
    EXPECT_EQ(ReadAll(m_file).size(), 16u);

    CPersistantSettings loaded(m_file.c_str(), 0, 0, true);
    loaded.SetSettingsFile(L"before.xml");
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.GetLayer(), 4);
    EXPECT_EQ(loaded.GetLastUpdateCheck(), 5);
    EXPECT_EQ(loaded.GetSettingsFile(), nullptr);
    EXPECT_EQ(loaded.GetDefaultLogFolder(), nullptr);
}

TEST_F(StateFileTest, ABadLengthOrAShortFileFailsTheLoadAndChangesNothing)
{
    const std::string tail = Int(0);
    struct Case
    {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"shorter than the fixed part", Int(1) + Int(2) + Int(0)},
        {"negative first length", Int(1) + Int(2) + Int(-1) + tail},
        {"first length over 32,767", Int(1) + Int(2) + Int(32768) + std::string(65536, 'a') + tail},
        {"first length beyond the file", Int(1) + Int(2) + Int(10) + Utf16(L"abc") + tail},
        {"huge first length", Int(1) + Int(2) + Int(0x7FFFFFFF) + tail},
        {"negative second length", Int(1) + Int(2) + Int(1) + Utf16(L"a") + Int(-5)},
        {"second length beyond the file", Int(1) + Int(2) + Int(0) + Int(3) + Utf16(L"ab")},
        {"second length missing", Int(1) + Int(2) + Int(1) + Utf16(L"a")},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        WriteAll(m_file, c.bytes);
        CPersistantSettings state(m_file.c_str(), 9, 8, true);
        state.SetSettingsFile(L"kept.xml");
        EXPECT_FALSE(state.Load());
        EXPECT_EQ(state.GetLayer(), 9);
        EXPECT_EQ(state.GetLastUpdateCheck(), 8);
        ASSERT_NE(state.GetSettingsFile(), nullptr);
        EXPECT_EQ(std::wstring(state.GetSettingsFile()), L"kept.xml");
        EXPECT_EQ(state.GetDefaultLogFolder(), nullptr);
        EXPECT_TRUE(state.IsDirty());
    }

    // The longest accepted length loads.
    const std::wstring longest(32767, L'p');
    WriteAll(m_file, Int(1) + Int(2) + Int(32767) + Utf16(longest) + Int(0));
    CPersistantSettings state(m_file.c_str());
    ASSERT_TRUE(state.Load());
    EXPECT_EQ(std::wstring(state.GetSettingsFile()), longest);

    CPersistantSettings missing((m_folder + L"\\none.brmpps").c_str());
    EXPECT_FALSE(missing.Load());
}

TEST_F(StateFileTest, AFailedSaveReportsFailureAndLeavesTheOldFileWhole)
{
    CPersistantSettings first(m_file.c_str(), 1, 1, true);
    first.SetSettingsFile(L"old.xml");
    ASSERT_TRUE(first.Save());
    const std::string before = ReadAll(m_file);

    // The temporary file cannot be made: a folder stands in its place.
    const std::wstring temp = m_file + FormatString(L".%lu.tmp", ::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(temp.c_str(), nullptr));
    CPersistantSettings second(m_file.c_str(), 2, 2, true);
    second.SetSettingsFile(L"new.xml");
    EXPECT_FALSE(second.Save());
    EXPECT_EQ(ReadAll(m_file), before);
    ::RemoveDirectoryW(temp.c_str());

    // A folder that does not exist.
    CPersistantSettings nowhere((m_folder + L"\\missing\\Persist.brmpps").c_str(), 0, 0, true);
    EXPECT_FALSE(nowhere.Save());

    // The state file's name taken by a folder: nothing can replace it.
    const std::wstring blocked = m_folder + L"\\blocked";
    ASSERT_TRUE(::CreateDirectoryW(blocked.c_str(), nullptr));
    CPersistantSettings onFolder(blocked.c_str(), 0, 0, true);
    EXPECT_FALSE(onFolder.Save());
    EXPECT_NE(::GetFileAttributesW(blocked.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(StateFileTest, TheProcessWideStateLivesInTheSettingsFolder)
{
    // Installed mode with %APPDATA% pointing at the test folder.
    wchar_t old[4096];
    const DWORD n = ::GetEnvironmentVariableW(L"APPDATA", old, 4096);
    const bool hadAppData = n > 0 && n < 4096;
    ::SetEnvironmentVariableW(L"APPDATA", m_folder.c_str());
    const bool wasPortable = IsPortableMode();
    SetPortableMode(false);
    CPersistantSettings* const previous = g_pPersist;
    g_pPersist = nullptr;
    const std::wstring settingsFolder = m_folder + L"\\Brindlemap";
    ASSERT_TRUE(CreateFolder(settingsFolder.c_str()));
    const std::wstring file = settingsFolder + L"\\" + kStateFileName;

    EXPECT_FALSE(CreatePersistantSettings()); // no file yet
    ASSERT_NE(g_pPersist, nullptr);
    EXPECT_EQ(std::wstring(g_pPersist->GetStateFile()), file);
    EXPECT_TRUE(g_pPersist->IsDirty());
    g_pPersist->SetLayer(3);
    EXPECT_TRUE(SaveGlobalPersistantSettings());
    EXPECT_EQ(ReadAll(file).size(), 16u);

    // Re-creating saves the old object first and reads the file anew.
    g_pPersist->SetLayer(5);
    EXPECT_TRUE(CreatePersistantSettings());
    EXPECT_EQ(g_pPersist->GetLayer(), 5);
    EXPECT_FALSE(g_pPersist->IsDirty());
    DeletePersistantSettings();
    EXPECT_EQ(g_pPersist, nullptr);
    EXPECT_FALSE(SaveGlobalPersistantSettings());

    g_pPersist = previous;
    SetPortableMode(wasPortable);
    ::SetEnvironmentVariableW(L"APPDATA", hadAppData ? std::wstring(old, n).c_str() : nullptr);
    ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(settingsFolder.c_str());
}
