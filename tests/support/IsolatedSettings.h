#pragma once
// The library, hosted by an end-to-end test, reads and writes its settings in
// a folder of the test's own: a private registry key names the folder, and
// questions about a damaged file are answered "no" without a box. All of it is
// undone at the end. The settings file there is written by the test, often with
// window profiles bound to probe windows.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ApplicationSettings.h"
#include "Control.h"
#include "Folders.h"
#include "Hooks.h"
#include "Settings.h"

namespace brmptest
{
class IsolatedSettings
{
public:
    IsolatedSettings() = default;
    ~IsolatedSettings() { End(); }
    IsolatedSettings(const IsolatedSettings&) = delete;
    IsolatedSettings& operator=(const IsolatedSettings&) = delete;

    ::testing::AssertionResult Begin(const std::wstring& name, const std::wstring& folder)
    {
        End();
        m_key = L"Software\\BrindlemapTest\\" + name + L"-" + std::to_wstring(::GetCurrentProcessId());
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return ::testing::AssertionFailure() << "no registry key for the test";
        ::RegSetValueExW(key, L"SettingsFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
        SetProgramRegistryKeys(m_key.c_str(), m_key.c_str());
        SetSettingsLoadQuestions(NoQuestion, NoExit);
        return ::testing::AssertionSuccess();
    }

    void End()
    {
        if (m_key.empty())
            return;
        SetSettingsLoadQuestions(nullptr, nullptr);
        SetProgramRegistryKeys(nullptr, nullptr);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_key.c_str());
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
        m_key.clear();
    }

    // Writes the settings file the library loads while the isolation lasts.
    static ::testing::AssertionResult WriteSettings(CSettings& settings)
    {
        wchar_t path[kMaxPathChars] = L"";
        if (GetDefaultSettingsFile(path, kMaxPathChars) != 0)
            return ::testing::AssertionFailure() << "no settings file path";
        ::DeleteFileW(path);
        if (!settings.Save(path))
            return ::testing::AssertionFailure() << "the settings file could not be written";
        return ::testing::AssertionSuccess();
    }

    // Writes the settings file, has the library load it and installs the hooks.
    static ::testing::AssertionResult LoadAndHook(CSettings& settings)
    {
        if (auto written = WriteSettings(settings); !written)
            return written;
        if (!UpdateSettings())
            return ::testing::AssertionFailure() << "UpdateSettings failed";
        if (!SetMouseHook())
            return ::testing::AssertionFailure() << "SetMouseHook failed";
        return ::testing::AssertionSuccess();
    }

private:
    static int NoQuestion(const wchar_t*, const wchar_t*, UINT type)
    {
        return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDIGNORE;
    }
    static void NoExit(UINT) {}

    std::wstring m_key;
};
// Adds a window profile bound to the probe window of that title (by caption,
// program and class), in force over the whole window, described by the title.
inline CApplicationSettings* AddProbeProfile(CSettings& settings, const wchar_t* title, int index = 1)
{
    auto* profile = new CApplicationSettings(&settings, false, index);
    const std::wstring sep = kWindowKeySeparator;
    profile->SetApplication((L"W3:" + std::wstring(title) + sep + L"BrmpProbe.exe" + sep + L"BrmpProbeWindow" + sep + L"*").c_str());
    profile->SetDescription(title);
    profile->SetMatchType(1);
    profile->SetWindowMask(WINDOWMASK_ALL);
    settings.AddApplication(profile);
    return profile;
}
} // namespace brmptest
