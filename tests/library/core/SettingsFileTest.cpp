#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ApplicationSettings.h"
#include "Chords.h"
#include "DesktopIcons.h"
#include "Movement2Scroll.h"
#include "Handles.h"
#include "Logger.h"
#include "LogFile.h"
#include "Settings.h"
#include "SettingsOptionValues.h"
#include "TimedClicks.h"

namespace
{
    // --- files ---

    std::string ReadBytes(const std::wstring& path)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return "<missing>";
        std::string bytes;
        char chunk[65536];
        DWORD read = 0;
        while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0)
            bytes.append(chunk, read);
        CloseHandle(file);
        return bytes;
    }

    using brmptest::ReadLogFile;

    void WriteBytes(const std::wstring& path, const std::string& bytes)
    {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }

    std::string Utf8(const std::wstring& text)
    {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        std::string bytes(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
        return bytes;
    }

    // Where two byte strings first differ, with a little context (empty when equal).
    std::string Difference(const std::string& a, const std::string& b)
    {
        if (a == b)
            return std::string();
        size_t at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at])
            ++at;
        const size_t from = at > 40 ? at - 40 : 0;
        return "sizes " + std::to_string(a.size()) + "/" + std::to_string(b.size()) + ", first difference at " +
               std::to_string(at) + ":\n<<<" + a.substr(from, 120) + "\n>>>" + b.substr(from, 120);
    }

    // The committed golden files live beside this source file (the build names
    // the folder: __FILE__ may be relative when a compiler cache rewrites paths).
    std::wstring SourceFolder()
    {
        std::string folder = BRMP_CORE_TEST_SOURCE_DIR "/";
        std::wstring wide(folder.begin(), folder.end());
        if (!wide.empty() && wide[0] == L'/')
            wide = L"Z:" + wide;   // a Unix path seen from Wine
        for (wchar_t& c : wide)
            if (c == L'/')
                c = L'\\';
        return wide;
    }

    std::vector<std::wstring> FilesMatching(const std::wstring& pattern, const std::wstring& folder)
    {
        std::vector<std::wstring> found;
        WIN32_FIND_DATAW data = {};
        HANDLE search = FindFirstFileW(pattern.c_str(), &data);
        if (search == INVALID_HANDLE_VALUE)
            return found;
        do
            found.push_back(folder + data.cFileName);
        while (FindNextFileW(search, &data));
        FindClose(search);
        return found;
    }

    class SettingsFileTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            wchar_t temp[MAX_PATH] = {};
            GetTempPathW(MAX_PATH, temp);
            m_folder = std::wstring(temp) + L"brmp-settingsfile-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                       std::to_wstring(++s_counter) + L"\\";
            CreateDirectoryW(m_folder.c_str(), nullptr);
            m_hadHookTimeout = ReadHookTimeout(m_savedHookTimeout);
            CApplicationSettings::PinKeyboardSpeed(31);
        }

        void TearDown() override
        {
            CSettings::SetFileWriteFunction(nullptr);
            CSettings::SetFileReadFunction(nullptr);
            CSettings::SetFileCloseFunction(nullptr);
            CSettings::SetImportQuestion(nullptr);
            CApplicationSettings::PinKeyboardSpeed(-1);
            for (const std::wstring& file : FilesMatching(m_folder + L"*", m_folder))
            {
                SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(file.c_str());
            }
            RemoveDirectoryW(m_folder.c_str());
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr) == ERROR_SUCCESS)
            {
                if (m_hadHookTimeout)
                    RegSetValueExW(key, L"LowLevelHooksTimeout", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&m_savedHookTimeout),
                                   sizeof(DWORD));
                else
                    RegDeleteValueW(key, L"LowLevelHooksTimeout");
                RegCloseKey(key);
            }
        }

        static bool ReadHookTimeout(DWORD& value)
        {
            DWORD size = sizeof(value);
            return RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LowLevelHooksTimeout", RRF_RT_REG_DWORD,
                                nullptr, &value, &size) == ERROR_SUCCESS;
        }

        static void SetHookTimeout(DWORD value)
        {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                      &key, nullptr),
                      ERROR_SUCCESS);
            RegSetValueExW(key, L"LowLevelHooksTimeout", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
            RegCloseKey(key);
        }

        std::wstring Path(const wchar_t* name) const { return m_folder + name; }

        // A settings file with the given children of root (version included).
        std::wstring WriteSettings(const wchar_t* name, const std::wstring& children)
        {
            const std::wstring path = Path(name);
            WriteBytes(path, Utf8(L"<?xml version=\"1.0\"?>\n<root><version major=\"2\" minor=\"20\" revision=\"5\" build=\"0\" />" +
                                  children + L"</root>\n"));
            return path;
        }

        std::unique_ptr<CSettings> LoadNew(const std::wstring& path, bool expected = true, bool forceQuillon = false,
                                           CMouseInfo mouse = CMouseInfo(0, 0, 0))
        {
            auto settings = std::make_unique<CSettings>(forceQuillon, mouse);
            bool regions = false;
            EXPECT_EQ(settings->Load(path.c_str(), regions, false), expected);
            return settings;
        }

        std::wstring m_folder;
        DWORD m_savedHookTimeout = 0;
        bool m_hadHookTimeout = false;
        static inline int s_counter = 0;
    };

    // Gives every value the system would otherwise decide a fixed one.
    // The key repeat of the slots comes from the keyboard speed the fixture pins.
    // Every slot gets movement-to-scroll options, as every loaded slot has them,
    // so that the model saves to the same bytes as its file loaded again.
    void MakeDeterministic(CApplicationSettings& profile)
    {
        profile.SetScrollLines(3);
        for (int layer = 0; layer < LayerCount; ++layer)
            for (int button = 0; button < ButtonCount; ++button)
                profile.SetMovement2Scroll(button, layer, nullptr);
    }

    // A model with every kind of content, built the same way each time.
    std::unique_ptr<CSettings> BuildModel()
    {
        auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
        settings->m_nCursorSpeed = 10;
        settings->m_nCursorSpeedCycle[0] = 10;
        settings->m_nHookTimeout = 200;
        settings->m_nLayers = 3;
        settings->m_bDebounceButtons = true;
        settings->m_nDebounceTime = 65;
        settings->m_uSimKeyDelay = 5;
        settings->SetLanguage(L"Deutsch.brmplp");
        settings->GetHotKeys()->GetHotkey(HK_Layer2)->SetVirtualKey(0x32);
        settings->GetHotKeys()->GetHotkey(HK_Layer2)->SetModifier(HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT);
        settings->GetLayerModifierKeys()->GetHotkey(MK_LockXAxis)->SetVirtualKey(0x2E);
        settings->GetLayerModifierKeys()->GetHotkey(MK_LockXAxis)->SetModifier(HOTKEY_EXTENDED | HOTKEY_MOD_SHIFT);

        CApplicationSettings* defaults = settings->GetDefaultApp();
        MakeDeterministic(*defaults);
        defaults->SetActions(XLeft, 0, ACTION_BACK);
        defaults->SetActions(Middle, 1, ACTION_SIMULATED_KEYS);
        defaults->SetKeystrokes(Middle, 1, L"{CTRL}c", 0, 100, true, true, false, false, 5);
        defaults->SetLayerName(L"Browsing & <more>", 1);

        auto* editor = new CApplicationSettings(settings.get(), false, 1);
        editor->SetApplication(L"Notepad.exe");
        MakeDeterministic(*editor);
        editor->SetDescription(L"Editor \"quoted\"");
        editor->SetActions(Right, 0, ACTION_RUN_APPLICATION);
        editor->SetLaunchApp(Right, 0, L"C:\\Tools\\ünïcode.exe");
        editor->SetActions(Left, 2, ACTION_BUTTON_CHORDING);
        auto* chords = new CBRMPChords();
        chords->GetChord(Right)->SetAction(ACTION_COPY);
        editor->SetChords(Left, 2, chords);
        editor->SetActions(XRight, 1, ACTION_MOVEMENT_TO_SCROLL);
        CMovement2Scroll options;
        options.SetSensitivityX(7);
        options.SetInvertVertical(true);
        editor->SetMovement2Scroll(XRight, 1, &options);
        editor->SetLayerDisabled(2, true);
        settings->AddApplication(editor);

        auto* window = new CApplicationSettings(settings.get(), false, 2);
        window->SetApplication(L"W3:Inbox \\;| mail.exe \\;| MailView \\;| *");
        MakeDeterministic(*window);
        window->SetActions(WheelUp, 0, ACTION_SCROLL_WINDOW_UP);
        window->SetActions(Middle, 0, ACTION_BUTTON_HELD);
        auto* clicks = new CBRMPTimedClicks();
        clicks->SetTime(1, 600);
        clicks->SetEnabled(1, true);
        window->SetTimedClicks(Middle, 0, clicks);
        window->SetRegExMatching(true);
        window->SetWindowMask(WINDOWMASK_TOPLEFT | WINDOWMASK_TOPRIGHT);
        settings->AddApplication(window);
        return settings;
    }
}

TEST_F(SettingsFileTest, AModelBuiltInCodeSavesToTheGoldenFile)
{
    const std::wstring golden = SourceFolder() + L"SettingsFileGolden.xml";
    auto model = BuildModel();
    const std::wstring path = Path(L"model.xml");
    ASSERT_TRUE(model->Save(path.c_str()));
    const std::string saved = ReadBytes(path);

    // BRMP_UPDATE_GOLDEN=1 rewrites the golden file after a deliberate format change.
    if (GetEnvironmentVariableW(L"BRMP_UPDATE_GOLDEN", nullptr, 0) > 0)
        WriteBytes(golden, saved);
    const std::string expected = ReadBytes(golden);
    ASSERT_NE(expected, "<missing>") << "golden file beside the test source";
    EXPECT_EQ(Difference(saved, expected), "");
    ASSERT_GE(saved.size(), 3u);
    EXPECT_EQ(saved.substr(0, 3), "\xEF\xBB\xBF") << "UTF-8 with a byte-order mark";
    EXPECT_NE(saved.find("\n\t<version"), std::string::npos) << "tab indentation";

    // Saving again over the same file changes nothing.
    ASSERT_TRUE(model->Save(path.c_str()));
    EXPECT_EQ(Difference(ReadBytes(path), expected), "");

    // Loading the golden file and saving it elsewhere gives the same bytes.
    auto loaded = LoadNew(golden);
    const std::wstring again = Path(L"again.xml");
    loaded->m_nCursorSpeed = 10;
    ASSERT_TRUE(loaded->Save(again.c_str()));
    EXPECT_EQ(Difference(ReadBytes(again), expected), "");
}

TEST_F(SettingsFileTest, ALoadedModelHoldsWhatWasSaved)
{
    auto model = BuildModel();
    const std::wstring path = Path(L"roundtrip.xml");
    ASSERT_TRUE(model->Save(path.c_str()));
    auto loaded = LoadNew(path);
    EXPECT_STREQ(loaded->GetFilename(), path.c_str());
    EXPECT_EQ(loaded->MaxLayers(), 3);
    EXPECT_TRUE(loaded->m_bDebounceButtons);
    EXPECT_EQ(loaded->m_nDebounceTime, 65);
    EXPECT_EQ(loaded->m_uSimKeyDelay, 5u);
    EXPECT_STREQ(loaded->GetLanguage(), L"Deutsch.brmplp");
    EXPECT_EQ(loaded->GetHotKeys()->GetHotkey(HK_Layer2)->GetVirtualKey(), 0x32);
    EXPECT_EQ(loaded->GetHotKeys()->GetHotkey(HK_Layer2)->GetModifier(), HOTKEY_MOD_CTRL | HOTKEY_MOD_ALT);
    EXPECT_TRUE(loaded->GetLayerModifierKeys()->GetHotkey(MK_LockXAxis)->IsExtended());
    EXPECT_EQ(loaded->GetDefaultApp()->GetActions(XLeft, 0), ACTION_BACK);
    EXPECT_STREQ(loaded->GetDefaultApp()->GetLayerName(1), L"Browsing & <more>");
    ASSERT_EQ(loaded->GetApplicationCount(), 2);
    CApplicationSettings* editor = loaded->GetApplication(0);
    EXPECT_STREQ(editor->GetLaunchApp(Right, 0), L"C:\\Tools\\ünïcode.exe");
    ASSERT_NE(editor->GetChords(Left, 2), nullptr);
    EXPECT_EQ(editor->GetChords(Left, 2)->GetChord(Right)->GetAction(), ACTION_COPY);
    ASSERT_NE(editor->GetMovement2Scroll(XRight, 1), nullptr);
    EXPECT_EQ(editor->GetMovement2Scroll(XRight, 1)->getSensitivityX(), 7);
    CApplicationSettings* window = loaded->GetApplication(1);
    EXPECT_STREQ(window->GetCaption(), L"Inbox");
    ASSERT_NE(window->GetTimedClicks(Middle, 0), nullptr);
    EXPECT_EQ(window->GetTimedClicks(Middle, 0)->GetTime(1), 600);

    // The lists are filled by the load: one profile by program, one by window.
    ASSERT_EQ(loaded->GetApplications()->size(), 1u);
    EXPECT_EQ(loaded->GetApplications()->front(), editor);
    ASSERT_EQ(loaded->GetCustomApplications()->size(), 1u);
    EXPECT_EQ(loaded->GetCustomApplications()->front(), window);
    EXPECT_TRUE(loaded->m_bCaptionProfiles);
}

TEST_F(SettingsFileTest, EveryOptionOfTheFileComesBackFromIt)
{
    CSettings original(false, CMouseInfo(0, 0, 0));
    settingsoptions::GiveEveryOptionAValueOfItsOwn(original);
    const std::wstring path = Path(L"every-option.xml");
    ASSERT_TRUE(original.Save(path.c_str()));
    auto loaded = LoadNew(path);
    settingsoptions::ExpectEveryOptionEqual(original, *loaded, "saved and loaded", true);
}

TEST_F(SettingsFileTest, TheDetailedLoadLogListsTheOptionsOnItsUsualLines)
{
    const bool debug = CLogger::DebugEnabled();
    CLogger::EnableDebug(true);
    CSettings settings(false, CMouseInfo(0, 0, 0));
    bool regions = false;
    ASSERT_TRUE(settings.Load(WriteSettings(L"log.xml", L"<BalloonNotification Enable=\"false\" />"
                                                        L"<ActivateOnMouseOver Delay=\"250\" /><Layers Number=\"4\" />"
                                                        L"<Cursor Speed=\"12\" CS1=\"9\" CS2=\"3\" /><Language filename=\"x.lng\" />")
                                  .c_str(),
                              regions, true));
    CLogger::EnableDebug(debug);
    const std::string log = ReadLogFile();
    for (const char* line :
         {"  Swap4and5inRDP: 0, DisableInRDP: 0, DisableInvertedScrollInRDP: 0, ShowTrayIcon: 1, DisableReinstallOnResume: 0, "
          "Notifications: 0 (Layer 1), MovementToScrollCursor: 1",
          "  ActivateOver: 0 (250ms), FixVS2010: 0, CPUPriority: 128, SimKeyDelay: 1, No. Layers: 4",
          "  Cursor speed: 12, CursorSpeedCycle: 9 3 10 2, ShowCursorSpeedNotifications: 0", "  LanguageFile: 'x.lng'"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(SettingsFileTest, LoadedValuesAreClampedAndMissingOnesKeepTheirDefaults)
{
    const struct
    {
        const wchar_t* children;
        int layers;
    } layerCases[] = {
        {L"<Layers Number=\"15\" />", 10},
        {L"<Layers Number=\"10\" />", 10},
        {L"<Layers Number=\"0\" />", 0},
        {L"<Layers Number=\"-3\" />", 2},
        {L"<Layers Number=\"99999999999999\" />", 10},
        {L"<Layers />", 2},
    };
    for (const auto& c : layerCases)
    {
        auto settings = LoadNew(WriteSettings(L"layers.xml", c.children));
        EXPECT_EQ(settings->MaxLayers(), c.layers) << c.children;
    }

    const struct
    {
        const wchar_t* delay;
        unsigned int expected;
    } delays[] = {{L"60", 60u}, {L"61", 1u}, {L"-1", 1u}, {L"0", 0u}, {L"4294967295", 1u}, {L"junk", 0u}};
    for (const auto& c : delays)
    {
        auto settings = LoadNew(WriteSettings(L"delay.xml", std::wstring(L"<SimulatedKeys Delay=\"") + c.delay + L"\" />"));
        EXPECT_EQ(settings->m_uSimKeyDelay, c.expected) << c.delay;
    }

    for (const wchar_t* delay : {L"0", L"-50"})
    {
        auto settings = LoadNew(WriteSettings(L"hover.xml", std::wstring(L"<ActivateOnMouseOver Delay=\"") + delay + L"\" />"));
        EXPECT_EQ(settings->m_nActivateOnMouseOverDelay, 1) << delay;
    }

    // Pointer precision: 0 off, 1 on, other values leave it, missing takes the start-up state.
    const struct
    {
        const wchar_t* children;
        int startupAcceleration;
        bool expected;
    } precision[] = {
        {L"<Cursor EnhancePointerPrecision=\"1\" />", 0, true},
        {L"<Cursor EnhancePointerPrecision=\"0\" />", 1, false},
        {L"<Cursor EnhancePointerPrecision=\"2\" />", 1, true},
        {L"<Cursor EnhancePointerPrecision=\"2\" />", 0, false},
        {L"<Cursor />", 1, true},
        {L"<Cursor />", 0, false},
    };
    for (const auto& c : precision)
    {
        auto settings = LoadNew(WriteSettings(L"epp.xml", c.children), true, false, CMouseInfo(6, 10, c.startupAcceleration));
        EXPECT_EQ(settings->m_bEnhancePointerPrecision, c.expected) << c.children << " " << c.startupAcceleration;
    }

    auto texts = LoadNew(WriteSettings(L"texts.xml", L"<Search url=\"\" />"));
    EXPECT_EQ(std::wstring(texts->get_SearchURL()).substr(0, 8), L"https://") << "an empty address keeps the default";
    ASSERT_NE(texts->GetLanguage(), nullptr) << "a missing language is an empty text, not none";
    EXPECT_STREQ(texts->GetLanguage(), L"");

    auto hotkeys = LoadNew(WriteSettings(L"hotkeys.xml", L"<GlobalHotkeys Enable=\"true\"><Hotkey3 Modifier=\"2\" /><Hotkey30 Key=\"65\" />"
                                                         L"<Hotkey4 Key=\"70000\" Modifier=\"-1\" /></GlobalHotkeys>"));
    EXPECT_TRUE(hotkeys->m_bGlobalHotkeys);
    EXPECT_EQ(hotkeys->GetHotKeys()->GetHotkey(HK_Layer4)->GetVirtualKey(), 0);
    EXPECT_EQ(hotkeys->GetHotKeys()->GetHotkey(HK_Layer4)->GetModifier(), 2);
    EXPECT_EQ(hotkeys->GetHotKeys()->GetHotkey(HK_Layer5)->GetVirtualKey(), 70000 & 0xFFFF) << "cut to 16 bits";

    auto feedback = LoadNew(WriteSettings(L"cursor.xml", L"<Cursor ChangeChord=\"7\" ChangeHeld=\"2\" />"));
    EXPECT_EQ(feedback->m_nChangeCursorChord, 1);
    EXPECT_EQ(feedback->m_nChangeCursorHeld, 2);
    EXPECT_NE(ReadLogFile().find("CSettings::Load: Cursor/ChangeChord has the invalid value '7' (allowed 0 to 2); using 1"),
              std::string::npos)
        << "a value out of range is named in the log";

    auto forced = LoadNew(WriteSettings(L"quillon.xml", L"<Quillon Enable=\"false\" />"), true, true);
    EXPECT_TRUE(forced->m_bQuillon);
    auto notForced = LoadNew(WriteSettings(L"quillon.xml", L"<Quillon Enable=\"yes\" />"));
    EXPECT_TRUE(notForced->m_bQuillon);
}

TEST_F(SettingsFileTest, AGlobalHotkeyOnAnExtendedKeyKeepsItsMeaningThroughFiles)
{
    // Files store a global hotkey's extended flag in bit 3 (Ctrl+Insert is 10);
    // in the model it is the extended bit and never a Windows key.
    auto loaded = LoadNew(WriteSettings(L"extended.xml", L"<GlobalHotkeys><Hotkey0 Key=\"45\" Modifier=\"10\" /></GlobalHotkeys>"
                                                         L"<LayerModifierKeys><LayerKey0 Key=\"65\" Modifier=\"8\" /></LayerModifierKeys>"));
    const CHotkey* key = loaded->GetHotKeys()->GetHotkey(HK_Layer1);
    EXPECT_EQ(key->GetModifier(), HOTKEY_MOD_CTRL | HOTKEY_EXTENDED);
    EXPECT_EQ(loaded->GetLayerModifierKeys()->GetHotkey(MK_Layer1)->GetModifier(), HOTKEY_MOD_LWIN)
        << "a modifier key's bit 3 is the left Windows key";

    const std::wstring path = Path(L"extended-saved.xml");
    ASSERT_TRUE(loaded->Save(path.c_str()));
    const std::string saved = ReadBytes(path);
    EXPECT_NE(saved.find("Modifier=\"10\""), std::string::npos) << "written back as it was read";
    EXPECT_EQ(LoadNew(path)->GetHotKeys()->GetHotkey(HK_Layer1)->GetModifier(), HOTKEY_MOD_CTRL | HOTKEY_EXTENDED);
}

TEST_F(SettingsFileTest, AFileWithoutItsRootOrVersionIsRefusedAndChangesNothing)
{
    for (const char* content : {"<?xml version=\"1.0\"?><other />", "<?xml version=\"1.0\"?><root><Layers Number=\"5\" /></root>"})
    {
        const std::wstring path = Path(L"foreign.xml");
        WriteBytes(path, content);
        auto settings = LoadNew(path, false);
        EXPECT_EQ(settings->MaxLayers(), 2);
        EXPECT_EQ(settings->GetFilename(), nullptr);
        EXPECT_EQ(ReadBytes(path), content);
    }
    auto missing = LoadNew(Path(L"does-not-exist.xml"), false);
    EXPECT_EQ(missing->GetUnreadableFileCopy(), nullptr);
}

TEST_F(SettingsFileTest, SavingKeepsUnknownElementsAndDropsRetiredOnes)
{
    const std::wstring path = WriteSettings(L"keep.xml", L"<Applications><Application Name=\"a.exe\" Enabled=\"true\" /></Applications>"
                                                          L"<DesktopIcons><Icon Name=\"x\" X=\"1\" /></DesktopIcons>"
                                                          L"<FutureOption Value=\"42\" /><FixScrollWindows /><ScrollWindows />"
                                                          L"<Layers Number=\"4\" Extra=\"kept\" />");
    auto settings = LoadNew(path);
    ASSERT_TRUE(settings->Save(path.c_str()));
    const std::string saved = ReadBytes(path);
    EXPECT_NE(saved.find("<DesktopIcons>"), std::string::npos);
    EXPECT_NE(saved.find("<Icon Name=\"x\" X=\"1\" />"), std::string::npos);
    EXPECT_NE(saved.find("<FutureOption Value=\"42\" />"), std::string::npos);
    EXPECT_NE(saved.find("<Layers Number=\"4\" Extra=\"kept\" />"), std::string::npos);
    EXPECT_EQ(saved.find("FixScrollWindows"), std::string::npos);
    EXPECT_EQ(saved.find("ScrollWindows"), std::string::npos);
    // Applications moves to the end of root.
    const size_t applications = saved.find("<Applications>");
    ASSERT_NE(applications, std::string::npos);
    EXPECT_GT(applications, saved.find("<FutureOption"));
    EXPECT_GT(applications, saved.find("<Default"));
    EXPECT_EQ(saved.find("<", saved.find("</Applications>") + 1), saved.find("</root>"));

    ASSERT_TRUE(settings->Save(path.c_str()));
    EXPECT_EQ(Difference(ReadBytes(path), saved), "") << "saving twice gives the same file";
}

TEST_F(SettingsFileTest, TheHookTimeoutMirrorsTheSystemValue)
{
    SetHookTimeout(321);
    auto settings = LoadNew(WriteSettings(L"timeout.xml", L""));
    EXPECT_EQ(settings->m_nHookTimeout, 321);

    settings->m_nHookTimeout = 450;
    ASSERT_TRUE(settings->Save(Path(L"timeout.xml").c_str()));
    DWORD value = 0;
    ASSERT_TRUE(ReadHookTimeout(value));
    EXPECT_EQ(value, 450u);
    EXPECT_EQ(ReadBytes(Path(L"timeout.xml")).find("LowLevelHooksTimeout"), std::string::npos) << "not stored in the file";
}

TEST_F(SettingsFileTest, AFailedSaveLeavesThePreviousFileByteForByte)
{
    auto model = BuildModel();
    const std::wstring path = Path(L"atomic.xml");
    ASSERT_TRUE(model->Save(path.c_str()));
    const std::string before = ReadBytes(path);
    model->m_nDebounceTime = 999;

    // The write fails halfway through.
    CSettings::SetFileWriteFunction([](HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) -> BOOL {
        WriteFile(file, data, size / 2, written, nullptr);
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    });
    EXPECT_FALSE(model->Save(path.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL)) << "the caller reads the reason";
    EXPECT_EQ(Difference(ReadBytes(path), before), "");
    EXPECT_FALSE(model->Export(nullptr, path.c_str()));
    EXPECT_EQ(Difference(ReadBytes(path), before), "");
    CSettings::SetFileWriteFunction(nullptr);
    EXPECT_EQ(FilesMatching(path + L".*.tmp", m_folder).size(), 0u) << "no temporary file is left behind";

    // A read-only file cannot be replaced.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(model->Save(path.c_str()));
    EXPECT_EQ(Difference(ReadBytes(path), before), "");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);

    ASSERT_TRUE(model->Save(path.c_str()));
    EXPECT_NE(Difference(ReadBytes(path), before), "");
}

// The temporary file a save writes, as the save names it.
std::wstring g_tempFile;

BOOL WINAPI WriteNamingTheFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    wchar_t name[MAX_PATH * 2] = {};
    if (GetFinalPathNameByHandleW(file, name, MAX_PATH * 2, FILE_NAME_NORMALIZED) > 0)
        g_tempFile = name;
    return WriteFile(file, data, size, written, overlapped);
}

TEST_F(SettingsFileTest, ATemporaryFileLeftByARunThatHadTheSameProcessIdDoesNotBlockASave)
{
    auto model = BuildModel();
    const std::wstring path = Path(L"leftover.xml");
    CSettings::SetFileWriteFunction(WriteNamingTheFile);
    ASSERT_TRUE(model->Save(path.c_str()));
    CSettings::SetFileWriteFunction(nullptr);
    // "<path>.<process id>.<count>.tmp": the next save's name, taken.
    const size_t end = g_tempFile.rfind(L".tmp");
    ASSERT_NE(end, std::wstring::npos) << "no temporary file seen";
    const size_t start = g_tempFile.rfind(L'.', end - 1) + 1;
    const std::wstring leftover = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                                  std::to_wstring(std::stoul(g_tempFile.substr(start, end - start)) + 1) + L".tmp";
    WriteBytes(leftover, "left by a run that crashed");

    model->m_nDebounceTime = 78;
    EXPECT_TRUE(model->Save(path.c_str())) << GetLastError();
    EXPECT_NE(ReadBytes(path).find("Time=\"78\""), std::string::npos);
    EXPECT_EQ(ReadBytes(leftover), "left by a run that crashed") << "not ours to change";
}

TEST_F(SettingsFileTest, AnUnreadableFileIsCopiedAsideBeforeASaveOverwritesIt)
{
    const std::string damaged = "<?xml version=\"1.0\"?>\n<root><version major=\"2\" /><Layers Number=\"3\"><Unclosed></root>";
    const std::wstring path = Path(L"damaged.xml");
    WriteBytes(path, damaged);

    auto settings = LoadNew(path, false);
    ASSERT_NE(settings->GetUnreadableFileCopy(), nullptr);
    const std::wstring copy = settings->GetUnreadableFileCopy();
    EXPECT_EQ(ReadBytes(copy), damaged);
    EXPECT_EQ(ReadBytes(path), damaged) << "loading never changes the file";

    ASSERT_TRUE(settings->Save(path.c_str()));
    EXPECT_EQ(ReadBytes(copy), damaged);
    EXPECT_EQ(FilesMatching(path + L".corrupt-*", m_folder).size(), 1u) << "the same damage is kept once";
    EXPECT_NE(ReadBytes(path), damaged);
    auto reloaded = LoadNew(path);
    EXPECT_EQ(reloaded->GetUnreadableFileCopy(), nullptr);
}

// Reads past the first 64 KiB of a file fail, as over a range another program
// has locked, as often as this says.
std::atomic<int> g_lockedReads{0};

BOOL WINAPI ReadLockedPastTheStart(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped)
{
    LARGE_INTEGER at = {};
    SetFilePointerEx(file, LARGE_INTEGER{}, &at, FILE_CURRENT);
    if (at.QuadPart >= 65536 && g_lockedReads.fetch_sub(1) > 0)
    {
        *read = 0;
        SetLastError(ERROR_LOCK_VIOLATION);
        return FALSE;
    }
    return ReadFile(file, data, size, read, overlapped);
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadToItsEndIsNeitherKeptAsideInPartNorOverwritten)
{
    const std::string damaged = "<?xml version=\"1.0\"?>\n<root><version major=\"2\" /><!--" + std::string(100000, 'x') +
                                "--><Unclosed></root>";
    const std::wstring path = Path(L"locked.xml");
    WriteBytes(path, damaged);
    CSettings::SetFileReadFunction(ReadLockedPastTheStart);

    g_lockedReads = 1000;
    auto model = BuildModel();
    EXPECT_FALSE(model->Save(path.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LOCK_VIOLATION)) << "busy, which the caller tries again";
    EXPECT_EQ(ReadBytes(path), damaged);
    EXPECT_EQ(FilesMatching(path + L".corrupt-*", m_folder).size(), 0u);
    EXPECT_EQ(model->GetUnreadableFileCopy(), nullptr);

    // A load reads a busy file again, and keeps all of it.
    g_lockedReads = 1;
    auto settings = LoadNew(path, false);
    ASSERT_NE(settings->GetUnreadableFileCopy(), nullptr);
    EXPECT_EQ(ReadBytes(settings->GetUnreadableFileCopy()), damaged);
}

// The saved file's Applications element, from its start tag to its end tag.
std::string ApplicationsPart(const std::string& file)
{
    const size_t start = file.find("<Applications>");
    const size_t end = file.find("</Applications>");
    if (start == std::string::npos || end == std::string::npos || end < start)
        return "<no Applications element>";
    return file.substr(start, end - start);
}

TEST_F(SettingsFileTest, ASaveOverAFileAnotherProgramHoldsIsRefusedAsBusyAndLosesNothing)
{
    // A file this model never read, with a layout only the file holds.
    const std::wstring path = WriteSettings(L"busy.xml", L"<DesktopIcons><PC-user><Icon Name=\"Bin\" xPos=\"1\" yPos=\"2\" "
                                                         L"gadget=\"false\" /></PC-user></DesktopIcons>");
    const std::string before = ReadBytes(path);
    auto model = BuildModel();

    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(model->Save(path.c_str()));
    const DWORD error = GetLastError();
    CloseHandle(held);
    EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED)
        << "a busy file, which the caller tries again, not a damaged one: " << error;
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(FilesMatching(path + L".corrupt-*", m_folder).size(), 0u) << "a file that could not be opened is not damaged";
    EXPECT_EQ(model->GetUnreadableFileCopy(), nullptr);

    // Free again, the file gets the model and keeps what only it held.
    ASSERT_TRUE(model->Save(path.c_str()));
    const std::string saved = ReadBytes(path);
    EXPECT_NE(saved.find("<Icon Name=\"Bin\" xPos=\"1\" yPos=\"2\" gadget=\"false\" />"), std::string::npos);
    EXPECT_NE(saved.find("Notepad.exe"), std::string::npos);

    // A device is no settings file: nothing is read from it or written to it.
    EXPECT_FALSE(model->Save(L"\\\\.\\NUL"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FILE_TYPE));
}

TEST_F(SettingsFileTest, ALoadOfAFileAnotherProgramHoldsWaitsForItAndNeverKeepsItAsideAsDamaged)
{
    const std::wstring path = WriteSettings(L"held.xml", L"<Applications><Application Name=\"a.exe\" Enabled=\"true\" />"
                                                         L"</Applications>");
    const std::string before = ReadBytes(path);

    // Held for the whole load: refused, and nothing is kept aside.
    {
        UniqueHandle held(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        CSettings settings(false, CMouseInfo());
        bool regions = false;
        EXPECT_FALSE(settings.Load(path.c_str(), regions, false));
        EXPECT_EQ(settings.GetUnreadableFileCopy(), nullptr);
    }
    EXPECT_EQ(FilesMatching(path + L".corrupt-*", m_folder).size(), 0u) << "a file that could not be opened is not damaged";
    EXPECT_EQ(ReadBytes(path), before);

    // Let go while the load waits: the load reads it.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread release([held] {
        ::Sleep(100);
        ::CloseHandle(held);
    });
    auto settings = LoadNew(path);
    release.join();
    EXPECT_EQ(settings->GetUnreadableFileCopy(), nullptr);
    EXPECT_EQ(FilesMatching(path + L".corrupt-*", m_folder).size(), 0u);
}

TEST_F(SettingsFileTest, WhatAnotherWriterPutInTheFileAfterTheLoadSurvivesTheNextSave)
{
    const std::wstring path = WriteSettings(L"shared.xml", L"<Applications><Application Name=\"a.exe\" Enabled=\"true\" />"
                                                           L"</Applications>");
    auto settings = LoadNew(path);

    // The program saves the desktop layout into the same file.
    CIconSettings icons;
    icons.AddIcon(new CIcon(0, L"Recycle Bin", 10, 20, nullptr, false));
    ASSERT_EQ(icons.SaveIcons(path.c_str()), 1);
    settings->m_nDebounceTime = 55;
    ASSERT_TRUE(settings->Save(path.c_str()));
    std::string saved = ReadBytes(path);
    EXPECT_NE(saved.find("Name=\"Recycle Bin\" xPos=\"10\""), std::string::npos);
    EXPECT_NE(saved.find("Time=\"55\""), std::string::npos);

    // Again after a save of our own, and for a change in place that keeps the
    // size and puts the write time back.
    ASSERT_EQ(icons.SaveIcons(path.c_str()), 1);
    ASSERT_TRUE(settings->Save(path.c_str()));
    saved = ReadBytes(path);
    const size_t digit = saved.find("xPos=\"10\"");
    ASSERT_NE(digit, std::string::npos);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME created = {}, accessed = {}, written = {};
    GetFileTime(file, &created, &accessed, &written);
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(digit + 7);
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    DWORD count = 0;
    WriteFile(file, "9", 1, &count, nullptr);
    SetFileTime(file, &created, &accessed, &written);
    CloseHandle(file);
    ASSERT_NE(ReadBytes(path).find("xPos=\"19\""), std::string::npos);

    settings->m_nDebounceTime = 56;
    ASSERT_TRUE(settings->Save(path.c_str()));
    saved = ReadBytes(path);
    EXPECT_NE(saved.find("Name=\"Recycle Bin\" xPos=\"19\""), std::string::npos);
    EXPECT_NE(saved.find("Time=\"56\""), std::string::npos);
}

std::atomic<int> g_reads{0};

BOOL WINAPI CountedRead(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED overlapped)
{
    ++g_reads;
    return ReadFile(file, data, size, read, overlapped);
}

// Windows sets the write time of a file written when its handle closes (Wine
// at each write).
BOOL WINAPI CloseAsWindowsDoes(HANDLE file)
{
    FILE_BASIC_INFO times = {};
    GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof(times));
    const ULONGLONG later = static_cast<ULONGLONG>(times.LastWriteTime.QuadPart) + 10000000;
    const FILETIME written = {static_cast<DWORD>(later), static_cast<DWORD>(later >> 32)};
    SetFileTime(file, nullptr, nullptr, &written);
    return CloseHandle(file);
}

// Another program that puts its own file in place as soon as a save is done.
std::wstring g_replacedPath;

BOOL WINAPI CloseAndReplace(HANDLE file)
{
    const BOOL closed = CloseHandle(file);
    const std::wstring side = g_replacedPath + L".other";
    WriteBytes(side, ReadBytes(g_replacedPath) + "<!-- another program's -->\n");
    MoveFileExW(side.c_str(), g_replacedPath.c_str(), MOVEFILE_REPLACE_EXISTING);
    return closed;
}

TEST_F(SettingsFileTest, ASaveAfterASaveOfOurOwnDoesNotReadTheFileAgain)
{
    CSettings::SetFileCloseFunction(CloseAsWindowsDoes);
    CSettings::SetFileReadFunction(CountedRead);
    auto model = BuildModel();
    const std::wstring path = Path(L"again.xml");
    ASSERT_TRUE(model->Save(path.c_str()));

    g_reads = 0;
    model->m_nDebounceTime = 77;
    ASSERT_TRUE(model->Save(path.c_str()));
    EXPECT_EQ(g_reads, 0);
    EXPECT_NE(ReadBytes(path).find("Time=\"77\""), std::string::npos);

    // Another file in its place is read, however soon it came.
    g_replacedPath = path;
    CSettings::SetFileCloseFunction(CloseAndReplace);
    ASSERT_TRUE(model->Save(path.c_str()));
    CSettings::SetFileCloseFunction(nullptr);
    ASSERT_TRUE(model->Save(path.c_str()));
    EXPECT_NE(ReadBytes(path).find("another program's"), std::string::npos);
}

TEST_F(SettingsFileTest, ASaveKeepsTheElementsOfTheFileItWritesNotThoseOfTheFileItRead)
{
    const std::wstring first = WriteSettings(L"first.xml", L"<DesktopIcons><PC-first /></DesktopIcons>");
    const std::wstring second = WriteSettings(L"second.xml", L"<DesktopIcons><PC-second /></DesktopIcons>");
    auto settings = LoadNew(first);

    ASSERT_TRUE(settings->Save(second.c_str()));
    std::string saved = ReadBytes(second);
    EXPECT_NE(saved.find("<PC-second />"), std::string::npos);
    EXPECT_EQ(saved.find("PC-first"), std::string::npos);

    // A new file holds only what the model writes.
    const std::wstring fresh = Path(L"fresh.xml");
    ASSERT_TRUE(settings->Save(fresh.c_str()));
    EXPECT_EQ(ReadBytes(fresh).find("DesktopIcons"), std::string::npos);

    // A copy of the settings reads the file at its first save; the original
    // still knows the file it read.
    CSettings copy(*settings);
    WriteBytes(first, ReadBytes(first) + "<!-- a later line of the user's -->\n");
    ASSERT_TRUE(copy.Save(first.c_str()));
    saved = ReadBytes(first);
    EXPECT_NE(saved.find("<PC-first />"), std::string::npos);
    EXPECT_NE(saved.find("a later line of the user's"), std::string::npos);
    ASSERT_TRUE(settings->Save(first.c_str()));
    EXPECT_NE(ReadBytes(first).find("a later line of the user's"), std::string::npos);

    // A file damaged after the load is kept aside before the save overwrites it.
    const std::string damaged = "<?xml version=\"1.0\"?>\n<root><version major=\"2\" /><Unclosed></root>";
    WriteBytes(first, damaged);
    ASSERT_TRUE(settings->Save(first.c_str()));
    ASSERT_NE(settings->GetUnreadableFileCopy(), nullptr);
    EXPECT_EQ(ReadBytes(settings->GetUnreadableFileCopy()), damaged);
}

TEST_F(SettingsFileTest, ProfilesAreSavedAsTheDocumentWriterWritesThemWhateverTheirText)
{
    auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
    auto* profile = new CApplicationSettings(settings.get(), false, 1);
    profile->SetApplication(L"odd <name> & \"quotes\" 'apostrophes'.exe");
    // Control characters, markup, letters of every width, a pair of surrogates,
    // lone surrogates (the writer leaves them out), and a text longer than the
    // writer's pieces with a pair where one piece ends.
    std::wstring odd = L"tab\there\nnew line\r\x01\x1F end > & < \" ' \x00FC\x20AC\x4E2D \xD83D\xDE00 lone\xD800x\xDC00y";
    std::wstring longText(4095, L'a');
    longText += L"\xD83D\xDE00";
    longText += std::wstring(5000, L'b');
    profile->SetDescription(odd.c_str());
    profile->SetActions(Left, 0, ACTION_SIMULATED_KEYS);
    profile->SetKeystrokes(Left, 0, odd.c_str(), 2, 7, true, false, true, true, 5);
    profile->SetActionDescription(Left, 0, longText.c_str());
    profile->SetActions(Right, 3, ACTION_RUN_APPLICATION);
    profile->SetLaunchApp(Right, 3, L"C:\\\x00E9t\x00E9\\x.exe");
    profile->SetLayerName(odd.c_str(), 4);
    profile->SetAutoSwitchTime(2, 0.1);
    profile->SetAutoSwitchTime(3, 123456.789);
    profile->SetWindowArea(RECT{INT_MIN, -5, INT_MAX, 0});
    profile->SetActions(Middle, 1, ACTION_BUTTON_CHORDING);
    auto* chords = new CBRMPChords();
    chords->SetDescription(odd.c_str());
    chords->GetChord(Right)->SetAction(ACTION_SIMULATED_KEYS);
    chords->GetChord(Right)->SetKeys(L"{CTRL}\"&<");
    profile->SetChords(Middle, 1, chords);
    profile->SetActions(XLeft, 2, ACTION_BUTTON_HELD);
    auto* clicks = new CBRMPTimedClicks();
    clicks->SetDescription(L"\xD83D\xDE00 held");
    clicks->SetTime(3, -1);
    profile->SetTimedClicks(XLeft, 2, clicks);
    settings->AddApplication(profile);
    auto* plain = new CApplicationSettings(settings.get(), false, 2);
    plain->SetApplication(L"plain.exe");
    settings->AddApplication(plain);

    const std::wstring saved = Path(L"text.xml");
    const std::wstring exported = Path(L"document.xml");
    ASSERT_TRUE(settings->Save(saved.c_str()));
    ASSERT_TRUE(settings->Export(nullptr, exported.c_str()));
    EXPECT_EQ(Difference(ApplicationsPart(ReadBytes(saved)), ApplicationsPart(ReadBytes(exported))), "");

    // And the file reads back to the same profile.
    auto loaded = LoadNew(saved);
    ASSERT_EQ(loaded->GetApplicationCount(), 2);
    const std::wstring withoutLoneSurrogates = L"tab\there\nnew line\r\x01\x1F end > & < \" ' \x00FC\x20AC\x4E2D \xD83D\xDE00 lonexy";
    EXPECT_EQ(std::wstring(loaded->GetApplication(0)->GetDescription()), withoutLoneSurrogates);
    EXPECT_EQ(std::wstring(loaded->GetApplication(0)->GetActionDescription(Left, 0)), longText);
}

TEST_F(SettingsFileTest, ExportWritesProfilesWithoutAByteOrderMark)
{
    CSettings empty(false, CMouseInfo(0, 0, 0));
    const std::wstring path = Path(L"empty-export.xml");
    ASSERT_TRUE(empty.Export(nullptr, path.c_str()));
    EXPECT_EQ(ReadBytes(path), "<?xml version=\"1.0\"?>\n<root>\n\t<version build=\"0\" revision=\"5\" minor=\"20\" major=\"2\" />\n"
                               "\t<Applications />\n</root>\n");
    empty.ClearApplications();
    ASSERT_TRUE(empty.Export(nullptr, path.c_str()));
    EXPECT_NE(ReadBytes(path).find("<Applications />"), std::string::npos);
}

TEST_F(SettingsFileTest, AnExportedProfileImportsIntoAnotherModelAsItWas)
{
    auto model = BuildModel();
    const std::wstring exported = Path(L"editor.xml");
    ASSERT_TRUE(model->Export(model->GetApplication(0), exported.c_str()));

    CSettings other(false, CMouseInfo(0, 0, 0));
    CApplicationSettings* last = reinterpret_cast<CApplicationSettings*>(1);
    EXPECT_EQ(other.Import(exported.c_str(), nullptr, L"Replace", last), 1);
    ASSERT_EQ(other.GetApplicationCount(), 1);
    EXPECT_EQ(last, other.GetApplication(0));

    // Exported again, the profile gives the same file.
    const std::wstring again = Path(L"editor-again.xml");
    ASSERT_TRUE(other.Export(other.GetApplication(0), again.c_str()));
    EXPECT_EQ(Difference(ReadBytes(again), ReadBytes(exported)), "");

    const std::wstring all = Path(L"all.xml");
    ASSERT_TRUE(model->Export(nullptr, all.c_str()));
    CSettings both(false, CMouseInfo(0, 0, 0));
    EXPECT_EQ(both.Import(all.c_str(), nullptr, L"Replace", last), 2);
    EXPECT_EQ(last, both.GetApplication(1));
}

namespace
{
    int g_answer = IDYES;
    int g_questions = 0;
    std::wstring g_questionText;

    int Answer(HWND, const wchar_t* text, const wchar_t*)
    {
        ++g_questions;
        g_questionText = text;
        return g_answer;
    }
}

TEST_F(SettingsFileTest, ImportingAnExistingProfileAsksAndFollowsTheAnswer)
{
    auto model = BuildModel();
    const std::wstring exported = Path(L"both.xml");
    ASSERT_TRUE(model->Export(nullptr, exported.c_str()));
    CSettings::SetImportQuestion(Answer);

    const struct
    {
        int answer;
        int expectedCount;
        int expectedQuestions;
        bool replaced;
    } cases[] = {
        {IDYES, 2, 2, true},
        {IDNO, 0, 2, false},
        {IDCANCEL, 0, 1, false},
    };
    for (const auto& c : cases)
    {
        auto target = BuildModel();
        target->RebuildApplicationLists();
        CApplicationSettings* oldEditor = target->GetApplication(0);
        oldEditor->SetDescription(L"Local changes");
        g_answer = c.answer;
        g_questions = 0;
        CApplicationSettings* last = nullptr;
        EXPECT_EQ(target->Import(exported.c_str(), nullptr, L"Replace the existing profile", last), c.expectedCount)
            << c.answer;
        EXPECT_EQ(g_questions, c.expectedQuestions) << c.answer;
        EXPECT_EQ(target->GetApplicationCount(), 2) << "replaced in place, never appended twice";
        if (c.replaced)
        {
            EXPECT_STREQ(target->GetApplication(0)->GetDescription(), L"Editor \"quoted\"");
            EXPECT_EQ(last, target->GetApplication(1));
            // The lists hold the new profiles, never the deleted ones.
            for (auto* list : {target->GetApplications(), target->GetCustomApplications()})
                for (CApplicationSettings* listed : *list)
                    EXPECT_TRUE(listed == target->GetApplication(0) || listed == target->GetApplication(1));
        }
        else
        {
            EXPECT_EQ(target->GetApplication(0), oldEditor);
            EXPECT_STREQ(oldEditor->GetDescription(), L"Local changes");
            EXPECT_EQ(last, nullptr);
        }
    }
    EXPECT_EQ(g_questionText, L"Replace the existing profile:\n'Local changes'");
}

TEST_F(SettingsFileTest, ImportRefusesFilesThatAreNotProfileFiles)
{
    const struct
    {
        const char* content;
    } cases[] = {
        {"not xml at all"},
        {"<?xml version=\"1.0\"?><other />"},
        {"<?xml version=\"1.0\"?><root><version /></root>"},
        {"<?xml version=\"1.0\"?><root><Applications /></root>"},
    };
    for (const auto& c : cases)
    {
        const std::wstring path = Path(L"import.xml");
        WriteBytes(path, c.content);
        CSettings settings(false, CMouseInfo(0, 0, 0));
        CApplicationSettings* last = reinterpret_cast<CApplicationSettings*>(1);
        EXPECT_EQ(settings.Import(path.c_str(), nullptr, L"x", last), 0) << c.content;
        EXPECT_EQ(last, nullptr);
        EXPECT_EQ(settings.GetApplicationCount(), 0);
    }
}

TEST_F(SettingsFileTest, BrokenFilesLoadWithoutCrashOrHangAndAreNeverDestroyed)
{
    auto model = BuildModel();
    const std::wstring goodPath = Path(L"good.xml");
    ASSERT_TRUE(model->Save(goodPath.c_str()));
    const std::string good = ReadBytes(goodPath);

    std::vector<std::string> corpus;
    // Cut at 64 places spread over the file, starting inside the first elements.
    const size_t step = std::max<size_t>(300, good.size() / 64);
    for (size_t cut = 0; cut < good.size(); cut += (cut < 3000 ? 300 : step))
        corpus.push_back(good.substr(0, cut));
    std::uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1664525u + 1013904223u; };
    for (int n = 0; n < 20; ++n)
    {
        std::string noise(static_cast<size_t>(next() % 4000), '\0');
        for (char& c : noise)
            c = static_cast<char>(next() >> 24);
        corpus.push_back(noise);
        // The good file with a few bytes flipped.
        std::string flipped = good;
        for (int k = 0; k < 8; ++k)
            flipped[next() % flipped.size()] = static_cast<char>(next() >> 24);
        corpus.push_back(flipped);
    }
    const std::string head = "<?xml version=\"1.0\"?><root><version major=\"2\" />";
    corpus.push_back(head + "<Layers Number=\"abc\" /><Cursor Speed=\"-99999999999999999999\" CS1=\"0x7FFFFFFF\" /></root>");
    corpus.push_back(head + "<Applications><Application Name=\"\" /><Application /><Application Name=\"x\"><Left action=\"-5\" />"
                            "<Right_Layer9 action=\"99999\" keys=\"{{{{\" /><Left_Layer77 action=\"1\" /></Application></Applications></root>");
    corpus.push_back(head + "<Default><Layer1><Layer name=\"1\" /></Layer1><Layer99 /></Default></root>");
    corpus.push_back(head + "<GlobalHotkeys><Hotkey-1 Key=\"1\" /><Hotkey999999 Key=\"1\" /></GlobalHotkeys></root>");
    corpus.push_back(head + "<Layers Number=\"\xC3\x28\xA0\xA1\" /><Language filename=\"\xF0\x28\x8C\x28\" /></root>");
    std::string nested = head;
    for (int depth = 0; depth < 20000; ++depth)
        nested += "<a>";
    corpus.push_back(nested);
    std::string many = head + "<Applications>";
    for (int n = 0; n < 10000; ++n)
        many += "<Application Name=\"p" + std::to_string(n) + ".exe\" Enabled=\"true\" />";
    corpus.push_back(many + "</Applications></root>");

    const std::wstring path = Path(L"broken.xml");
    for (size_t i = 0; i < corpus.size(); ++i)
    {
        WriteBytes(path, corpus[i]);
        CSettings settings(false, CMouseInfo(0, 0, 0));
        bool regions = false;
        settings.Load(path.c_str(), regions, true);
        EXPECT_GE(settings.MaxLayers(), 0) << i;
        EXPECT_LE(settings.MaxLayers(), 10) << i;
        EXPECT_TRUE(ReadBytes(path) == corpus[i]) << "loading changed file " << i;
    }

    // The large file loads completely.
    CSettings large(false, CMouseInfo(0, 0, 0));
    bool regions = false;
    ASSERT_TRUE(large.Load(path.c_str(), regions, false));
    EXPECT_EQ(large.GetApplicationCount(), 10000);
    EXPECT_EQ(large.GetApplications()->size(), 10000u);
}
