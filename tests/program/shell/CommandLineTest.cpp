#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "CaughtException.h"
#include "CommandWord.h"
#include "Exceptions.h"
#include "MessageBox.h"
#include "ShellTestFiles.h"
#include "TempFolder.h"

namespace
{
struct ParseCase
{
    const wchar_t* line;
    DWORD word;
    const wchar_t* argument;
};

void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << shelltest::Utf8(c.line);
}

class CommandLineParsing : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(CommandLineParsing, TheLineGivesItsCommandWordAndArgumentText)
{
    const ParseCase& c = GetParam();
    const CommandLineRequest request = ParseCommandLine(c.line);
    EXPECT_FALSE(request.help);
    EXPECT_EQ(request.word, c.word) << std::hex << "got 0x" << request.word << " expected 0x" << c.word;
    EXPECT_EQ(request.argument, std::wstring(c.argument));
}

INSTANTIATE_TEST_SUITE_P(
    EachSwitch, CommandLineParsing,
    ::testing::Values(ParseCase{L"/showicon", 0x1, L""}, ParseCase{L"/hideicon", 0x2, L""},
                      ParseCase{L"/setup", 0x4, L""}, ParseCase{L"/saveicons", 0x8, L""},
                      ParseCase{L"/restoreicons", 0x10, L""}, ParseCase{L"/exit", 0x20, L""},
                      ParseCase{L"/debug", 0x40, L""}, ParseCase{L"/quillon", 0x80, L""},
                      ParseCase{L"/portable", 0x100, L""}, ParseCase{L"/notportable", 0x200, L""},
                      ParseCase{L"/nolog", 0x400, L""}, ParseCase{L"/reload", 0x800, L""},
                      ParseCase{L"/disable", 0x1000, L""}, ParseCase{L"/enable", 0x2000, L""},
                      ParseCase{L"/import:a.xml", 0x4000, L"a.xml"}, ParseCase{L"/svclaunch", 0x8200, L""},
                      ParseCase{L"/install:de.brmplp", 0x10000, L"de.brmplp"},
                      ParseCase{L"/layer:3", 0x20000, L"3"}, ParseCase{L"/delay", 0x40200, L""},
                      ParseCase{L"/profile:p.xml", 0x80000, L"p.xml"}));

INSTANTIATE_TEST_SUITE_P(
    ConflictsAndArguments, CommandLineParsing,
    ::testing::Values(
        // Letter case does not matter, and file names arrive lower-cased.
        ParseCase{L"/NotPortable", 0x200, L""}, ParseCase{L"/ShowIcon /HideIcon", 0x1, L""},
        ParseCase{L"/portable /notportable", 0x200, L""}, ParseCase{L"/Delay /Portable", 0x40200, L""},
        ParseCase{L"/Import:C:\\Packs\\Profile.XML", 0x4000, L"c:\\packs\\profile.xml"},
        // A value runs up to the next switch, blank included, or to the end.
        ParseCase{L"/layer:3 /debug", 0x20040, L"3 "}, ParseCase{L"/debug /layer:3", 0x20040, L"3"},
        ParseCase{L"/layer:", 0x20000, L""},
        ParseCase{L"/import:a.xml /profile:b.xml", 0x4000, L"a.xml "},
        ParseCase{L"/profile:b.xml /import:a.xml", 0x4000, L"a.xml"},
        ParseCase{L"/layer:2 /install:de.brmplp", 0x30000, L"de.brmplp"},
        ParseCase{L"/install:\"c:\\my packs\\de.brmplp\"", 0x10000, L"\"c:\\my packs\\de.brmplp\""},
        // Switches are found anywhere, also inside longer words.
        ParseCase{L"/debugging", 0x40, L""}, ParseCase{L"my/setup", 0x4, L""},
        ParseCase{L"/setup/reload", 0x804, L""}, ParseCase{L"/exit /showicon", 0x21, L""},
        // Nothing that is not a switch sets a bit.
        ParseCase{L"", 0, L""}, ParseCase{L"hello world", 0, L""}, ParseCase{L"/unknown -setup", 0, L""}));

TEST(CommandLine, AQuestionMarkAnywhereAsksForHelpAndNothingElse)
{
    for (const wchar_t* line : {L"/?", L"/setup /?", L"word/?word", L"/LAYER:3 /? /exit"})
    {
        const CommandLineRequest request = ParseCommandLine(line);
        EXPECT_TRUE(request.help) << shelltest::Utf8(line);
        EXPECT_EQ(request.word, 0u) << shelltest::Utf8(line);
    }
    EXPECT_FALSE(ParseCommandLine(L"/ ?").help);
}

TEST(CommandLine, NoLogSwitchesDebugLoggingOffAsWell)
{
    EXPECT_TRUE(ParseCommandLine(L"/debug").Debug());
    EXPECT_FALSE(ParseCommandLine(L"/debug /nolog").Debug());
    EXPECT_TRUE(ParseCommandLine(L"/debug /nolog").NoLog());
    EXPECT_EQ(ParseCommandLine(L"/SETUP /Debug").lowered, L"/setup /debug");
}

struct ResolveCase
{
    DWORD word;
    const wchar_t* argument;
    const wchar_t* workingFolder;
    bool resolved;
    const wchar_t* expected;
};

TEST(CommandLine, ARelativeFileArgumentIsMadeAbsoluteAgainstTheStartingFolder)
{
    const ResolveCase cases[] = {
        {CommandBits::Install, L"de.brmplp", L"C:\\work\\dir", true, L"C:\\work\\dir\\de.brmplp"},
        {CommandBits::Import, L"\"my file.xml\" ", L"C:\\work\\dir\\", true, L"C:\\work\\dir\\my file.xml"},
        {CommandBits::Profile, L"..\\p.xml", L"C:\\work\\dir", true, L"C:\\work\\p.xml"},
        {CommandBits::Profile, L".\\sub\\.\\p.xml", L"C:\\work", true, L"C:\\work\\sub\\p.xml"},
        {CommandBits::Install, L"c:\\abs\\x.brmplp ", L"C:\\work", true, L"c:\\abs\\x.brmplp"},
        {CommandBits::Install, L"\\root.brmplp", L"D:\\work", true, L"D:\\root.brmplp"},
        {CommandBits::Install, L"c:rel.brmplp", L"C:\\work", true, L"C:\\work\\rel.brmplp"},
        {CommandBits::Install, L"e:rel.brmplp", L"C:\\work", true, L"e:\\rel.brmplp"},
        {CommandBits::Import, L"a.xml", L"\\\\server\\share\\dir", true, L"\\\\server\\share\\dir\\a.xml"},
        {CommandBits::Import, L"\\b.xml", L"\\\\server\\share\\dir", true, L"\\\\server\\share\\b.xml"},
        {CommandBits::Import, L"\\\\other\\share\\c.xml", L"C:\\work", true, L"\\\\other\\share\\c.xml"},
        // Nothing to resolve: no file switch, no text, no usable folder.
        {CommandBits::Layer, L"3", L"C:\\work", false, L"3"},
        {CommandBits::Install, L" \"\" ", L"C:\\work", false, L" \"\" "},
        {CommandBits::Install, L"de.brmplp", L"", false, L"de.brmplp"},
    };
    for (const ResolveCase& c : cases)
    {
        std::wstring argument = c.argument;
        EXPECT_EQ(ResolveFileArgument(c.word, argument, c.workingFolder), c.resolved) << shelltest::Utf8(c.argument);
        EXPECT_EQ(argument, std::wstring(c.expected)) << shelltest::Utf8(c.argument);
    }
}

TEST(CommandLine, AnInstallArgumentNamesThePackInTheFolderTheProgramWasStartedFrom)
{
    brmptest::TempFolder folder(L"brmp-cmdline");
    ASSERT_TRUE(brmptest::WriteFileBytes(folder.PathOf(L"de.brmplp"), "Language=Deutsch\n"));
    const std::wstring previous = CurrentWorkingFolder();
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.Path().c_str()));

    CommandLineRequest request = ParseCommandLine(L"/install:de.brmplp /setup");
    const bool resolved = ResolveFileArgument(request.word, request.argument, CurrentWorkingFolder());
    ::SetCurrentDirectoryW(previous.c_str());

    ASSERT_TRUE(resolved);
    EXPECT_EQ(request.word, CommandBits::Install | CommandBits::Setup);
    EXPECT_TRUE(shelltest::FileExists(request.argument)) << shelltest::Utf8(request.argument);
    EXPECT_EQ(::CompareStringOrdinal(request.argument.c_str(), -1, folder.PathOf(L"de.brmplp").c_str(), -1, TRUE),
              CSTR_EQUAL);
}

TEST(CommandLine, ALayerIsTakenOnlyAsAWholeNumberWithinTheLayersInUse)
{
    struct LayerCase
    {
        DWORD word;
        const wchar_t* argument;
        int expected; // 0-based, -1 for none
    };
    const LayerCase cases[] = {
        {CommandBits::Layer, L"1", 0},
        {CommandBits::Layer, L"3 ", 2},
        {CommandBits::Layer, L"\"5\"", 4},
        {CommandBits::Layer | CommandBits::Debug, L"4", 3},
        {CommandBits::Layer, L"6", -1},
        {CommandBits::Layer, L"0", -1},
        {CommandBits::Layer, L"", -1},
        {CommandBits::Layer, L"-1", -1},
        {CommandBits::Layer, L"+2", -1},
        {CommandBits::Layer, L"3abc", -1},
        {CommandBits::Layer, L"2 3", -1},
        {CommandBits::Layer, L"4294967298", -1},
        {CommandBits::Layer, L"99999999999999999999", -1},
        // No layer switch, or its value was replaced by a file switch's.
        {CommandBits::Setup, L"3", -1},
        {CommandBits::Layer | CommandBits::Install, L"3", -1},
    };
    for (const LayerCase& c : cases)
    {
        const std::optional<int> layer = LayerFromCommand(c.word, c.argument, 5);
        EXPECT_EQ(layer.value_or(-1), c.expected) << shelltest::Utf8(c.argument);
    }
}

TEST(CommandLine, ARefusedLayerIsLogged)
{
    shelltest::LogTail log;
    EXPECT_FALSE(LayerFromCommand(CommandBits::Layer, L"11", 10).has_value());
    EXPECT_TRUE(log.Contains(L"Ignoring layer '11': it is not a layer number from 1 to 10.")) << shelltest::Utf8(log.Text());
}

TEST(CommandLine, TheHelpTextListsTheSwitchesAUserMayGive)
{
    const std::wstring text = BuildCommandLineHelp(L"Brindlemap", L"2.20.5");
    EXPECT_EQ(text.rfind(L"Brindlemap v2.20.5\n\nValid command line options:\n  /Portable\t- Force portable mode. (*)\n", 0),
              0u);
    for (const wchar_t* line : {L"  /Layer:<x>\t- Switch to layer X.\n", L"  /Install:<file>\t- Install a language pack.\n",
                                L"  /Exit\t\t- Force the application to exit.\n\n(*) Only applicable when BRMP is not "
                                L"already running.\n\n"})
        EXPECT_NE(text.find(line), std::wstring::npos) << shelltest::Utf8(line);
    EXPECT_EQ(text.find(L"/Quillon"), std::wstring::npos);
    EXPECT_EQ(text.find(L"/SvcLaunch"), std::wstring::npos);
    EXPECT_EQ(text.find(L'%'), std::wstring::npos);
}

TEST(CommandLine, TheHelpBoxShowsTheHelpTextWithAnOkButton)
{
    std::vector<MessageBoxRequest> shown;
    ScopedMessageBoxHandler answer(
        [&](const MessageBoxRequest& request)
        {
            shown.push_back(request);
            return IDOK;
        });
    ShowCommandLineHelp(L"Brindlemap", L"2.20.5");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, BuildCommandLineHelp(L"Brindlemap", L"2.20.5"));
    EXPECT_EQ(shown[0].type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
}

TEST(CaughtExceptionLogger, EachKindOfExceptionIsNamedAfterThePlaceLine)
{
    struct KindCase
    {
        void (*thrower)();
        const wchar_t* line;
    };
    const KindCase cases[] = {
        {[] { throw 42; }, L"exception is: 42"},
        {[] { throw 7L; }, L"exception is: 7"},
        {[] { throw std::runtime_error("disk full"); }, L"std::exception is: 'disk full'"},
        {[] { throw L"wide text"; }, L"exception is: 'wide text'"},
        {[] { throw "narrow text"; }, L"exception is: 'narrow text'"},
        {[] { throw CMemoryException(); }, L"CMemoryException is: 'Out of memory.'"},
        {[] { throw new CResourceException(L"no icon"); }, L"CResourceException is: 'no icon'"},
        {[] { throw 1.5; }, L"exception is unknown!"},
    };
    int index = 0;
    for (const KindCase& c : cases)
    {
        shelltest::LogTail log;
        try
        {
            c.thrower();
        }
        catch (...)
        {
            LogCaughtException(L"OnNextInstance: step %d", ++index);
        }
        const std::wstring text = log.Text();
        const std::wstring place = L"Caught an exception in OnNextInstance: step " + std::to_wstring(index) + L"...";
        const std::size_t placeAt = text.find(place);
        ASSERT_NE(placeAt, std::wstring::npos) << shelltest::Utf8(text);
        EXPECT_NE(text.find(c.line, placeAt), std::wstring::npos) << shelltest::Utf8(text);
    }
}

TEST(CaughtExceptionLogger, ACallOutsideACatchBlockIsLoggedAndReturns)
{
    shelltest::LogTail log;
    LogCaughtException(L"%s", L"Nowhere in particular");
    const std::wstring text = log.Text();
    const std::size_t placeAt = text.find(L"Caught an exception in Nowhere in particular...");
    ASSERT_NE(placeAt, std::wstring::npos) << shelltest::Utf8(text);
    EXPECT_NE(text.find(L"exception is unknown!", placeAt), std::wstring::npos) << shelltest::Utf8(text);
}
}
