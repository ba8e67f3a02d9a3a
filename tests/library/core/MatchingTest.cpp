#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "ApplicationSettings.h"
#include "LogFile.h"
#include "Logger.h"

namespace
{
    std::unique_ptr<CApplicationSettings> Profile(const wchar_t* key, bool regex = false)
    {
        auto profile = std::make_unique<CApplicationSettings>(nullptr, false, -1);
        profile->SetApplication(key);
        profile->SetRegExMatching(regex);
        return profile;
    }

    // A window class of the test's own, registered once per name.
    HWND MakeWindow(const wchar_t* className, const wchar_t* caption, HWND parent)
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        RegisterClassW(&wc);   // a second registration of the same class fails harmlessly
        const DWORD style = parent != nullptr ? WS_CHILD : WS_OVERLAPPED;
        return CreateWindowExW(0, className, caption, style, 0, 0, 100, 100, parent, nullptr, wc.hInstance, nullptr);
    }

    struct WindowOwner
    {
        HWND window;
        ~WindowOwner()
        {
            if (window != nullptr)
                DestroyWindow(window);
        }
    };

    std::wstring ClassOf(HWND window)
    {
        wchar_t name[256] = {};
        GetClassNameW(window, name, 256);
        return name;
    }

    std::wstring CaptionOf(HWND window)
    {
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        return text;
    }

    // How often text occurs in the log file (the file is shared for reading).
    int CountInLog(const std::wstring& text)
    {
        const std::string bytes = brmptest::ReadLogFile();
        // The log is UTF-8; the searched text is ASCII.
        const std::string needle(text.begin(), text.end());
        int count = 0;
        for (size_t at = bytes.find(needle); at != std::string::npos; at = bytes.find(needle, at + 1))
            ++count;
        return count;
    }
}

TEST(Matching, PlainFieldsCompareTheWholeTextIgnoringCase)
{
    const struct
    {
        const wchar_t* field;
        const wchar_t* text;
        bool match;
    } cases[] = {
        {L"notepad.exe", L"notepad.exe", true},
        {L"notepad.exe", L"NOTEPAD.EXE", true},
        {L"notepad.exe", L"notepad.exe2", false},
        {L"notepad.exe", L"notepad", false},
        {L"notepad.exe", L"", false},
        {L"notepad.exe", nullptr, false},
        {L"", L"", true},
        {L"ÄRGER.EXE", L"ärger.exe", true},
        // Lists compare each entry with the start of the text.
        {L"note||word", L"notepad.exe", true},
        {L"note||word", L"wordpad.exe", true},
        {L"note||word", L"WordPad.exe", true},
        {L"note||word", L"calc.exe", false},
        {L"note||word", L"no", false},
        {L"note||word", nullptr, false},
        {L"a||b||c", L"c.exe", true},
        // An empty entry after the first ends the list.
        {L"a||||c", L"c.exe", false},
        {L"a||", L"x", false},
        // An empty first entry does not match everything.
        {L"||word", L"calc.exe", false},
        {L"||word", L"word.exe", true},
        {L"||", L"calc.exe", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CApplicationSettings::MatchPlainText(c.field, c.text), c.match)
            << (c.field ? c.field : L"null") << " / " << (c.text ? c.text : L"null");
    EXPECT_TRUE(CApplicationSettings::MatchPlainText(nullptr, L"anything"));
}

TEST(Matching, AProfileWithoutAFieldMatchesEveryText)
{
    auto profile = Profile(L"W3:* \\;| * \\;| * \\;| *");
    for (bool regex : {false, true})
    {
        profile->SetRegExMatching(regex);
        EXPECT_TRUE(profile->MatchProcess(L"x.exe"));
        EXPECT_TRUE(profile->MatchProcess(nullptr));
        EXPECT_TRUE(profile->MatchClass(L"Any"));
        EXPECT_TRUE(profile->MatchParentClass(nullptr));
        EXPECT_TRUE(profile->MatchCaption(L""));
    }
}

TEST(Matching, RegularExpressionsSearchInsideTheTextAndKeepCase)
{
    const struct
    {
        const wchar_t* className;
        const wchar_t* text;
        bool match;
    } cases[] = {
        {L"pad", L"notepad.exe", true},
        {L"Pad", L"notepad.exe", false},
        {L"^note", L"notepad.exe", true},
        {L"^pad", L"notepad.exe", false},
        {L"pad\\.exe$", L"notepad.exe", true},
        {L"(Edit|Rich)\\d+", L"RichEdit20W", true},
        {L"(Edit|Rich)\\d+", L"Static", false},
        {L".*", L"", true},
        {L"x", nullptr, false},
    };
    for (const auto& c : cases)
    {
        auto profile = Profile((std::wstring(L"W2:* \\;| ") + c.className + L" \\;| *").c_str(), true);
        EXPECT_EQ(profile->MatchClass(c.text), c.match) << c.className << " / " << (c.text ? c.text : L"null");
    }

    // Process names are stored in lower case, so a process pattern matches lower-case names.
    auto process = Profile(L"W2:WORD|NOTE \\;| * \\;| *", true);
    EXPECT_TRUE(process->MatchProcess(L"notepad.exe"));
    EXPECT_FALSE(process->MatchProcess(L"calc.exe"));

    // The same field without the flag is compared as plain text.
    auto plain = Profile(L"W2:* \\;| pad \\;| *", false);
    EXPECT_FALSE(plain->MatchClass(L"notepad"));
    plain->SetRegExMatching(true);
    EXPECT_TRUE(plain->MatchClass(L"notepad"));
}

TEST(Matching, AnInvalidPatternNeverMatchesAndIsLoggedOnce)
{
    const std::wstring pattern = L"([brmp-invalid-test";
    const std::wstring key = L"W3:" + pattern + L" \\;| * \\;| * \\;| *";
    const std::wstring logged = L"Invalid regular expression '" + pattern + L"'";
    const int before = CountInLog(logged);

    auto profile = Profile(key.c_str(), true);
    for (int i = 0; i < 50; ++i)
    {
        EXPECT_FALSE(profile->MatchCaption(L"([brmp-invalid-test"));
        EXPECT_FALSE(profile->MatchCaption(L"anything"));
    }
    // The other fields still work.
    EXPECT_TRUE(profile->MatchProcess(L"x.exe"));

    if (before >= 0)
    {
        EXPECT_EQ(CountInLog(logged), before + 1) << "compiled once when set, not per match";
    }

    // Switching the flag off makes it a plain text again.
    profile->SetRegExMatching(false);
    EXPECT_TRUE(profile->MatchCaption(L"([BRMP-INVALID-TEST"));
}

TEST(Matching, HugeTextsAndHeavyPatternsNeitherCrashNorHang)
{
    const std::wstring huge(200000, L'a');
    for (const wchar_t* pattern : {L"(a|aa)*b", L"(a*)*$", L"a", L"(.*)*x"})
    {
        auto profile = Profile((std::wstring(L"W3:") + pattern + L" \\;| * \\;| * \\;| *").c_str(), true);
        // Only the first part of the text is searched; the result is defined either way.
        (void)profile->MatchCaption(huge.c_str());
    }
    auto found = Profile(L"W3:a \\;| * \\;| * \\;| *", true);
    EXPECT_TRUE(found->MatchCaption(huge.c_str()));
    auto late = Profile(L"W3:b \\;| * \\;| * \\;| *", true);
    EXPECT_FALSE(late->MatchCaption((huge + L"b").c_str())) << "text beyond the searched part is not seen";
}

TEST(Matching, ClassParentAndCaptionOfRealWindows)
{
    WindowOwner frame{MakeWindow(L"BrmpMatchFrame", L"Brmp Match Caption", nullptr)};
    ASSERT_NE(frame.window, nullptr);
    HWND child = MakeWindow(L"BrmpMatchChild", L"", frame.window);
    ASSERT_NE(child, nullptr);

    const std::wstring className = ClassOf(child);
    const std::wstring parentClass = ClassOf(GetParent(child));
    const std::wstring caption = CaptionOf(GetAncestor(child, GA_ROOT));

    const struct
    {
        const wchar_t* key;
        bool regex;
        bool match;
    } cases[] = {
        {L"W3:Brmp Match Caption \\;| * \\;| BrmpMatchChild \\;| BrmpMatchFrame", false, true},
        {L"W3:brmp match caption \\;| * \\;| brmpmatchchild \\;| brmpmatchframe", false, true},
        {L"W3:Other \\;| * \\;| BrmpMatchChild \\;| BrmpMatchFrame", false, false},
        {L"W3:* \\;| * \\;| BrmpMatch||Edit \\;| *", false, true},
        {L"W3:* \\;| * \\;| * \\;| BrmpMatchChild", false, false},
        {L"W3:Match Cap \\;| * \\;| Child$ \\;| ^BrmpMatch", true, true},
        {L"W3:match cap \\;| * \\;| * \\;| *", true, false},
    };
    for (const auto& c : cases)
    {
        auto profile = Profile(c.key, c.regex);
        const bool match = profile->MatchClass(className.c_str()) && profile->MatchParentClass(parentClass.c_str()) &&
                           profile->MatchCaption(caption.c_str());
        EXPECT_EQ(match, c.match) << c.key;
    }
}

TEST(Matching, AnExplorerProfileWithoutClassRulesSkipsTheTaskbar)
{
    // A window of the taskbar's class, made by the test itself.
    WindowOwner taskbar{MakeWindow(L"Shell_TrayWnd", L"", nullptr)};
    ASSERT_NE(taskbar.window, nullptr);
    HWND button = MakeWindow(L"BrmpTaskbarButton", L"", taskbar.window);
    ASSERT_NE(button, nullptr);
    WindowOwner folder{MakeWindow(L"BrmpFolderWindow", L"Folder", nullptr)};
    ASSERT_NE(folder.window, nullptr);

    auto explorer = Profile(L"explorer.exe");
    EXPECT_FALSE(explorer->MatchProcess(L"explorer.exe", button));
    EXPECT_FALSE(explorer->MatchProcess(L"Explorer.EXE", taskbar.window));
    EXPECT_TRUE(explorer->MatchProcess(L"explorer.exe", folder.window));
    EXPECT_TRUE(explorer->MatchProcess(L"explorer.exe")) << "without a window the rule does not apply";

    // With a class rule the profile means those windows, taskbar or not.
    auto withClass = Profile(L"W2:explorer.exe \\;| BrmpTaskbarButton \\;| *");
    EXPECT_TRUE(withClass->MatchProcess(L"explorer.exe", button));

    // Another process name that matches is unaffected, as is a profile for every process.
    auto list = Profile(L"explorer||other");
    EXPECT_TRUE(list->MatchProcess(L"other.exe", button));
    auto any = Profile(L"W2:* \\;| * \\;| *");
    EXPECT_FALSE(any->MatchProcess(L"explorer.exe", button));
    EXPECT_TRUE(any->MatchProcess(L"notepad.exe", button));
}
