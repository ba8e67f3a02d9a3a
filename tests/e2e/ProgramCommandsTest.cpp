// What a running program does with commands from its tray icon and from later
// starts: a Ctrl+click on the icon opens the settings folder, "/profile:"
// switches to another settings file (and refuses one that holds none), and
// "/install:" puts a language pack to use at once.

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "CommandLine.h"
#include "Control.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "TempFolder.h"
#include "WaitFor.h"

using brmptest::PhysicalInput;
using brmptest::Probe;
using programtest::ProgramCopy;
using programtest::ProgramProcess;

namespace
{
// Settings whose middle button types key.
CSettings SettingsTyping(wchar_t key)
{
    CSettings settings(false, GetStartupMouseInfo());
    const wchar_t keys[2] = {key, L'\0'};
    settings.GetDefaultApp()->SetActions(Middle, 0, ACTION_SIMULATED_KEYS);
    settings.GetDefaultApp()->SetKeystrokes(Middle, 0, keys, 0, 0, false, true, false, false);
    return settings;
}

// The visible windows of a class, of any process, with their texts.
std::vector<std::wstring> VisibleTextsOfClass(const wchar_t* className)
{
    struct Search
    {
        const wchar_t* className;
        std::vector<HWND> found;
    } search{className, {}};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t cls[128] = L"";
            ::GetClassNameW(window, cls, 128);
            if (::IsWindowVisible(window) && std::wcscmp(cls, s->className) == 0)
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    std::vector<std::wstring> texts;
    for (HWND window : search.found)
        texts.push_back(programtest::WindowTextOf(window));
    return texts;
}

// The text of a message box that the process shows, or empty.
std::wstring MessageBoxTextOf(DWORD processId, HWND* box = nullptr)
{
    struct Search
    {
        DWORD pid;
        HWND found;
    } search{processId, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            wchar_t cls[64] = L"";
            ::GetClassNameW(window, cls, 64);
            if (pid == s->pid && std::wcscmp(cls, L"#32770") == 0 && ::IsWindowVisible(window))
                s->found = window;
            return s->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    if (box)
        *box = search.found;
    if (!search.found)
        return {};
    std::wstring text;
    ::EnumChildWindows(
        search.found,
        [](HWND child, LPARAM param) -> BOOL {
            wchar_t buffer[1024] = L"";
            ::GetWindowTextW(child, buffer, 1024);
            auto* out = reinterpret_cast<std::wstring*>(param);
            if (std::wcslen(buffer) > out->size())
                *out = buffer;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

// Wine's taskbar draws the only tray icon in the last icon-sized square of the bar.
POINT TrayIconPoint()
{
    RECT bar{};
    ::GetWindowRect(::FindWindowW(L"Shell_TrayWnd", nullptr), &bar);
    const int size = bar.bottom - bar.top;
    return {bar.right - size / 2, bar.top + size / 2};
}

class ProgramCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_program.Prepare())
            GTEST_SKIP() << "Brindlemap.exe is not built beside the tests";
        CSettings settings = SettingsTyping(L'a');
        ASSERT_TRUE(m_program.WriteSettings(settings));
    }

    void StartProgram()
    {
        ASSERT_TRUE(m_program.Start(L"/debug"));
        ASSERT_TRUE(m_program.WaitForLog("Successfully created the main message window.")) << m_program.Log();
        m_window = m_program.WaitForMainWindow();
        ASSERT_NE(m_window, nullptr) << m_program.Log();
    }

    // A later start with the arguments; true when it handed them over and ended.
    bool LaterStart(const std::wstring& arguments)
    {
        ProgramProcess later;
        return later.Start(m_program.ExePath(), m_program.Folder().Path(), arguments) &&
               later.Ended(programtest::kStartTimeoutMs);
    }

    // A middle click in the probe: what it typed, or "M" when the click itself arrived.
    std::wstring MiddleClickInProbe()
    {
        if (!m_probe)
        {
            m_probe = std::make_unique<Probe>();
            if (!m_probe->Start())
                return L"(no probe)";
        }
        if (!m_probe->Activate())
            return L"(probe not focused)";
        m_probe->Clear();
        const POINT at = m_probe->Center();
        m_side = -m_side;
        if (!PhysicalInput::ClickAt(at.x + 20 * m_side, at.y, PhysicalInput::kMiddle))
            return L"(no click)";
        std::wstring seen;
        brmptest::WaitFor(
            [&] {
                seen.clear();
                for (const auto& record : m_probe->Records())
                {
                    if (record.Is(L"WM_CHAR"))
                        seen += static_cast<wchar_t>(record.Value(L"char"));
                    else if (record.Is(L"WM_MBUTTONUP"))
                        seen += L'M';
                }
                return !seen.empty();
            },
            10000);
        return seen;
    }

    ProgramCopy m_program{L"brmp-commands"};
    std::unique_ptr<Probe> m_probe;
    HWND m_window = nullptr;
    int m_side = 1;
};
}

TEST_F(ProgramCommands, AProfileFromALaterStartReplacesTheSettingsAndOneThatHoldsNoneIsRefused)
{
    brmptest::TempFolder elsewhere(L"brmp-profiles");
    const std::wstring other = elsewhere.PathOf(L"Other settings.xml");
    CSettings typingB = SettingsTyping(L'b');
    ASSERT_TRUE(typingB.Save(other.c_str()));
    const std::wstring broken = elsewhere.PathOf(L"Broken.xml");
    ASSERT_TRUE(brmptest::WriteFileBytes(broken, "<not settings"));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(MiddleClickInProbe(), L"a") << m_program.Log();

    ASSERT_TRUE(LaterStart(L"/profile:\"" + other + L"\""));
    EXPECT_TRUE(brmptest::WaitFor([&] { return MiddleClickInProbe() == L"b"; }, 20000)) << m_program.Log();
    EXPECT_TRUE(m_program.LogHas("OnNextInstance: Switching profile to 'C:")) << m_program.Log();

    // Neither a file without settings nor a missing one replaces them: the user is told.
    for (const std::wstring& bad : {broken, elsewhere.PathOf(L"Missing.xml")})
    {
        SCOPED_TRACE(testing::PrintToString(bad));
        ASSERT_TRUE(LaterStart(L"/profile:\"" + bad + L"\""));
        HWND box = nullptr;
        std::wstring text;
        EXPECT_TRUE(brmptest::WaitFor([&] { return !(text = MessageBoxTextOf(m_program.ProcessId(), &box)).empty(); },
                                      20000))
            << m_program.Log();
        EXPECT_EQ(text, L"Unable to load the profile '" + bad + L"'.");
        EXPECT_TRUE(programtest::SaveScreenshot(L"profile-refused.png"));
        if (box)
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(brmptest::WaitFor([&] { return MessageBoxTextOf(m_program.ProcessId()).empty(); }, 10000));
        EXPECT_EQ(MiddleClickInProbe(), L"b") << m_program.Log();
    }
    EXPECT_TRUE(m_program.LogHas("is not a valid Brindlemap profile.")) << m_program.Log();
}

TEST_F(ProgramCommands, ALanguagePackFromALaterStartIsInstalledAndTranslatesTheTrayAtOnce)
{
    brmptest::TempFolder downloads(L"brmp-downloads");
    const std::wstring pack = downloads.PathOf(L"Deutsch.brmplp");
    ASSERT_TRUE(brmptest::WriteFileBytes(
        pack, "Language=Deutsch\n\"Mouse button re-mapping is now disabled\" => \"Die Umbelegung ist jetzt aus\"\n"));
    ASSERT_NO_FATAL_FAILURE(StartProgram());

    ASSERT_TRUE(LaterStart(L"/install:\"" + pack + L"\""));
    ASSERT_TRUE(m_program.WaitForLog("Loading language file: 'Deutsch.brmplp'", 20000)) << m_program.Log();
    // Portable: the settings folder is the program's.
    EXPECT_TRUE(brmptest::ReadFileBytes(m_program.Folder().PathOf(L"Deutsch.brmplp")).has_value());

    // The balloon of the next state change speaks the new language.
    ASSERT_TRUE(LaterStart(L"/disable"));
    std::vector<std::wstring> shown;
    EXPECT_TRUE(brmptest::WaitFor(
        [&] {
            shown = VisibleTextsOfClass(L"tooltips_class32");
            for (const std::wstring& text : shown)
                if (text.find(L"Die Umbelegung ist jetzt aus") != std::wstring::npos)
                    return true;
            return false;
        },
        20000))
        << testing::PrintToString(shown) << m_program.Log();
    EXPECT_TRUE(programtest::SaveScreenshot(L"language-installed.png"));
}

TEST_F(ProgramCommands, ACtrlClickOnTheTrayIconOpensTheSettingsFolder)
{
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(m_program.WaitForLog("Tray icon", 20000)) << m_program.Log();
    const POINT icon = TrayIconPoint();
    ASSERT_TRUE(PhysicalInput::KeyDown(L"ctrl"));
    const ::testing::AssertionResult clicked = PhysicalInput::ClickAt(icon.x, icon.y, PhysicalInput::kLeft);
    ASSERT_TRUE(PhysicalInput::KeyUp(L"ctrl"));
    ASSERT_TRUE(clicked);
    // The file manager shows the folder: a window titled with the folder's name.
    const std::wstring folder = m_program.Folder().Path();
    const std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
    struct Search
    {
        const std::wstring* name;
        HWND found;
    } search{&name, nullptr};
    EXPECT_TRUE(brmptest::WaitFor(
        [&] {
            ::EnumWindows(
                [](HWND window, LPARAM param) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(param);
                    wchar_t title[512] = L"";
                    ::GetWindowTextW(window, title, 512);
                    if (::IsWindowVisible(window) && std::wstring(title).find(*s->name) != std::wstring::npos)
                        s->found = window;
                    return s->found == nullptr;
                },
                reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        20000))
        << programtest::DescribeWindows() << m_program.Log();
    EXPECT_TRUE(programtest::SaveScreenshot(L"settings-folder.png"));
    if (search.found)
        ::PostMessageW(search.found, WM_CLOSE, 0, 0);
}
