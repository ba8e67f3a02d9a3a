#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>

#include "SystemLibrary.h"

TEST(SystemLibrary, ALibraryComesFromTheSystemFolderAndOnlyPlainFileNamesAreTaken)
{
    HMODULE module = LoadSystemLibrary(L"wtsapi32.dll");
    ASSERT_NE(module, nullptr);
    wchar_t path[MAX_PATH] = {};
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameW(module, path, MAX_PATH), 0u);
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_NE(length, 0u);
    EXPECT_EQ(::_wcsnicmp(path, system, length), 0) << testing::PrintToString(std::wstring(path));
    ::FreeLibrary(module);

    // A path could lead anywhere: only a name, looked up in the system folder, is loaded.
    for (const wchar_t* name : {L"..\\wtsapi32.dll", L"C:\\Users\\Public\\wtsapi32.dll", L"sub/wtsapi32.dll", L""})
        EXPECT_EQ(LoadSystemLibrary(name), nullptr) << testing::PrintToString(std::wstring(name));
    EXPECT_EQ(LoadSystemLibrary(nullptr), nullptr);
}
