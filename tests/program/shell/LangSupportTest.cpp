#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "CommandWord.h"
#include "FrameworkText.h"
#include "LangSupport.h"
#include "LanguagePackFile.h"
#include "SeededRandom.h"
#include "ShellTestFiles.h"
#include "TempFolder.h"
#include "TranslationFormat.h"
#include "WindowTranslation.h"

namespace
{
using shelltest::Utf8;

// The settings folder that SetLanguageFile reads while a test runs.
std::wstring g_settingsFolder;

bool TestSettingsFolder(std::wstring& folder)
{
    folder = g_settingsFolder;
    return !folder.empty();
}

// A scratch settings folder, the language object held for the test, and the
// table emptied again afterwards.
class LanguagePacks : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_settingsFolder = m_folder.Path() + L"\\";
        SetLanguageFolderSource(&TestSettingsFolder);
        m_language = LangSupport();
    }

    void TearDown() override
    {
        SetLanguageFile(L"");
        CLangSupport::Release(m_language);
        SetLanguageFolderSource(nullptr);
        g_settingsFolder.clear();
    }

    void WritePack(const std::wstring& name, const std::wstring& text)
    {
        ASSERT_TRUE(brmptest::WriteFileBytes(m_folder.PathOf(name), Utf8(text)));
    }

    brmptest::TempFolder m_folder{L"brmp-lang"};
    CLangSupport* m_language = nullptr;
};

const wchar_t kGermanPack[] =
    L"# A comment line \"Cancel\" => \"Nein\"\n"
    L"Language=Deutsch\n"
    L"Description=Alle Texte\n"
    L"Author=Jemand\n"
    L"\n"
    L"\"Cancel\" => \"Abbrechen\"\r\n"
    L"\"%d files\"=>\"%d Dateien\"\n"
    L"\"Layer %d of %s\"\t=>\t\"Ebene %d von %s\"\n"
    L"\"Exit\"  =>  \"Beenden\"\n"
    L"\"Cancel\" => \"Zweiter Versuch\"\n"
    L"\"Say \\\"hi\\\"\" => \"Sag \\\"hallo\\\"\"\n"
    L"\"Two\\nlines\" => \"Zwei\\nZeilen\"\n"
    L"\"\" => \"Leer\"\n"
    L"\"Nothing\" => \"\"\n"
    L"\"Swapped %s and %d\" => \"%d und %s\"\n"
    L"\"Count %d\" => \"Zahl %d%n\"\n"
    L"\"Percent\" => \"100%% sicher\"\n";

TEST(LanguagePackLines, EachLineFormIsReadAsTheLoaderReadsIt)
{
    using Kind = LanguageLine::Kind;
    struct LineCase
    {
        const wchar_t* line;
        Kind kind;
        const wchar_t* key;
        const wchar_t* value;
    };
    const LineCase cases[] = {
        {L"\"Cancel\" => \"Abbrechen\"", Kind::Entry, L"Cancel", L"Abbrechen"},
        {L"\"Cancel\"=>\"Abbrechen\"", Kind::Entry, L"Cancel", L"Abbrechen"},
        {L"\"Cancel\"\t=>\t\"Abbrechen\"", Kind::Entry, L"Cancel", L"Abbrechen"},
        {L"\"Cancel\"  =>  \"Abbrechen\"", Kind::Entry, L"Cancel", L"Abbrechen"},
        {L"  \"Padded\" => \"Gepolstert\"  \r", Kind::Entry, L"Padded", L"Gepolstert"},
        {L"\"Say \\\"hi\\\"\" => \"Sag \\\"hallo\\\"\"", Kind::Entry, L"Say \"hi\"", L"Sag \"hallo\""},
        {L"\"A\\tB\\r\\n\" => \"C\\tD\"", Kind::Entry, L"A\tB\r\n", L"C\tD"},
        {L"\"Cut\" => \"Wert\" trailing words", Kind::Entry, L"Cut", L"Wert"},
        {L"\"Bare\" => Wert ohne Quote", Kind::Entry, L"Bare", L"Wert ohne Quote"},
        {L"\"Arrow\" => \"a => b\"", Kind::Entry, L"Arrow", L"a => b"},
        {L"\"\" => \"Leer\"", Kind::Entry, L"", L"Leer"},
        {L"\"Nothing\" => \"\"", Kind::Entry, L"Nothing", L""},
        {L"# \"Cancel\" => \"Abbrechen\"", Kind::Comment, L"", L""},
        {L"   \t ", Kind::Comment, L"", L""},
        {L"Language=Deutsch", Kind::NoSeparator, L"", L""},
        {L"\"=> \"x\"", Kind::NoSeparator, L"", L""},
        {L"\"Cancel\" = \"Abbrechen\"", Kind::NoSeparator, L"", L""},
    };
    for (const LineCase& c : cases)
    {
        const LanguageLine parsed = ParseLanguageLine(c.line);
        EXPECT_EQ(parsed.kind, c.kind) << Utf8(c.line);
        EXPECT_EQ(parsed.key, std::wstring(c.key)) << Utf8(c.line);
        EXPECT_EQ(parsed.value, std::wstring(c.value)) << Utf8(c.line);
    }
}

TEST(LanguagePackLines, FileTextIsDecodedAndCutIntoLinesOfBoundedLength)
{
    bool bad = true;
    EXPECT_EQ(SplitLanguagePackText("\xEF\xBB\xBF" "a\r\nb\n\nc", bad), (std::vector<std::wstring>{L"a\r", L"b", L"", L"c"}));
    EXPECT_FALSE(bad);

    EXPECT_EQ(SplitLanguagePackText("\xC3\xA4" "rger", bad), (std::vector<std::wstring>{L"\u00E4rger"}));
    EXPECT_FALSE(bad);

    const std::vector<std::wstring> broken = SplitLanguagePackText("ok\n\xC3(\xFF\xFE" "x\n", bad);
    EXPECT_TRUE(bad);
    ASSERT_EQ(broken.size(), 3u);
    EXPECT_EQ(broken[0], L"ok");
    EXPECT_NE(broken[1].find(L'\uFFFD'), std::wstring::npos);

    const std::string utf16("\xFF\xFE" "h\0i\0\n\0", 8);
    EXPECT_EQ(SplitLanguagePackText(utf16, bad), (std::vector<std::wstring>{L"hi", L""}));

    const std::vector<std::wstring> pieces = SplitLanguagePackText(std::string(5000, 'x') + "\nend", bad);
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0].size(), kLanguageLinePiece);
    EXPECT_EQ(pieces[1].size(), kLanguageLinePiece);
    EXPECT_EQ(pieces[2].size(), 5000 - 2 * kLanguageLinePiece);
    EXPECT_EQ(pieces[3], L"end");
}

TEST(TranslationFormats, ATranslationIsAUsableFormatOnlyWithTheEnglishConversionsInOrder)
{
    struct FormatCase
    {
        const wchar_t* english;
        const wchar_t* translation;
        bool usable;
    };
    const FormatCase cases[] = {
        {L"%d files", L"%d Dateien", true},
        {L"Layer %d of %s", L"Ebene %d von %s", true},
        {L"%d", L"%5d", true},
        {L"%d", L"%-05d", true},
        {L"%.2f", L"%6.1f", true},
        {L"%d", L"%u", true},
        {L"%x", L"%08X", true},
        {L"%s", L"%ls", true},
        {L"%S", L"%hs", true},
        {L"%c", L"%C", true},
        {L"%I64d", L"%lld", true},
        {L"%*d", L"%*d", true},
        {L"100%%", L"100 %% sicher", true},
        {L"no conversions", L"keine", true},
        {L"%s of %d", L"%d von %s", false},
        {L"%s", L"%S", false},
        {L"%s", L"%d", false},
        {L"%d", L"%lld", false},
        {L"%d", L"%*d", false},
        {L"%p", L"%d", false},
        {L"%s", L"kein Platzhalter", false},
        {L"text", L"Text %s", false},
        {L"%d", L"%d%n", false},
        {L"%n", L"%n", false},
        {L"%s", L"%99999s", false},
        {L"%.2f", L"%.5000f", false},
        {L"%s", L"%1$s", false},
        {L"%d", L"%k", false},
        {L"50", L"50%", false},
        {L"%d", L"%zd", false},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(TranslationFormatMatches(c.english, c.translation), c.usable)
            << Utf8(c.english) << " => " << Utf8(c.translation);
}

TEST_F(LanguagePacks, WithoutAPackEveryTextIsEnglishAndFormatted)
{
    EXPECT_FALSE(SetLanguageFile(L""));
    EXPECT_FALSE(SetLanguageFile(nullptr));
    EXPECT_EQ(m_language->GetCount(), 0u);
    EXPECT_EQ(LookupText(m_language, L"%d files", 3), L"3 files");
    EXPECT_EQ(LookupText(m_language, L"100%%"), L"100%");
    EXPECT_EQ(LookupText(nullptr, L"%s v%s", L"Brindlemap", L"2.20.5"), L"Brindlemap v2.20.5");
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Cancel")), L"Cancel");
    EXPECT_EQ(InternalLookupText(m_language, L"Cancel"), L"Cancel");
}

TEST_F(LanguagePacks, ALoadedPackTranslatesByTheEnglishWording)
{
    WritePack(L"Deutsch.brmplp", kGermanPack);
    ASSERT_TRUE(SetLanguageFile(L"Deutsch.brmplp"));

    // Comments, headers, empty texts and the duplicate never enter the table.
    EXPECT_EQ(m_language->GetCount(), 9u);
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Cancel")), L"Abbrechen");
    EXPECT_EQ(InternalLookupText(m_language, L"Exit"), L"Beenden");
    EXPECT_EQ(LookupText(m_language, L"%d files", 3), L"3 Dateien");
    EXPECT_EQ(LookupText(m_language, L"Layer %d of %s", 2, L"Word"), L"Ebene 2 von Word");
    EXPECT_EQ(LookupText(m_language, L"Say \"hi\""), L"Sag \"hallo\"");
    EXPECT_EQ(LookupText(m_language, L"Two\nlines"), L"Zwei\nZeilen");
    EXPECT_EQ(LookupText(m_language, L"Percent"), L"100% sicher");
    EXPECT_EQ(LookupText(m_language, L"Nothing"), L"Nothing");
    EXPECT_EQ(LookupText(m_language, L"Not in the pack %d", 5), L"Not in the pack 5");
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Language=Deutsch")), L"Language=Deutsch");
    // Keys compare exactly.
    EXPECT_EQ(LookupText(m_language, std::wstring(L"cancel")), L"cancel");
    // Without the language object nothing is translated.
    EXPECT_EQ(LookupText(nullptr, std::wstring(L"Cancel")), L"Cancel");
}

TEST_F(LanguagePacks, ATranslationWithOtherConversionsShowsTheInvalidTextAndNamesTheEntry)
{
    WritePack(L"Deutsch.brmplp", kGermanPack);
    ASSERT_TRUE(SetLanguageFile(L"Deutsch.brmplp"));
    shelltest::LogTail log;

    EXPECT_EQ(LookupText(m_language, L"Swapped %s and %d", L"text", 7), kInvalidLanguageText);
    EXPECT_EQ(LookupText(m_language, L"Count %d", 7), kInvalidLanguageText);
    // Asked again: the same outcome, logged once.
    EXPECT_EQ(LookupText(m_language, L"Count %d", 8), kInvalidLanguageText);

    const std::wstring text = log.Text();
    EXPECT_NE(text.find(L"Invalid language translation text 'Swapped %s and %d' => '%d und %s'"), std::wstring::npos)
        << Utf8(text);
    const std::wstring countLine = L"Invalid language translation text 'Count %d' => 'Zahl %d%n'";
    const std::size_t first = text.find(countLine);
    EXPECT_NE(first, std::wstring::npos) << Utf8(text);
    EXPECT_EQ(text.find(countLine, first + 1), std::wstring::npos);

    // Shown as a plain text it does no harm and stays as written.
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Count %d")), L"Zahl %d%n");
}

// How a message-box or balloon helper that takes a format and arguments uses the table.
std::wstring TranslatedLine(CLangSupport* language, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = LookupTextV(language, format, args);
    va_end(args);
    return text;
}

TEST_F(LanguagePacks, AHelperPassingItsArgumentsOnGetsTheSameChecks)
{
    WritePack(L"Deutsch.brmplp", kGermanPack);
    ASSERT_TRUE(SetLanguageFile(L"Deutsch.brmplp"));
    EXPECT_EQ(TranslatedLine(m_language, L"Layer %d of %s", 4, L"Excel"), L"Ebene 4 von Excel");
    EXPECT_EQ(TranslatedLine(m_language, L"Swapped %s and %d", L"a", 1), kInvalidLanguageText);
    EXPECT_EQ(TranslatedLine(nullptr, L"Layer %d of %s", 4, L"Excel"), L"Layer 4 of Excel");
}

TEST_F(LanguagePacks, LoadingAnotherPackOrNoneReplacesTheTable)
{
    WritePack(L"Deutsch.brmplp", kGermanPack);
    WritePack(L"Francais.brmplp", L"Language=Fran\u00E7ais\n\"Exit\" => \"Quitter\"\n");
    ASSERT_TRUE(SetLanguageFile(L"Deutsch.brmplp"));
    ASSERT_TRUE(SetLanguageFile(L"Francais.brmplp"));
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Exit")), L"Quitter");
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Cancel")), L"Cancel");
    EXPECT_FALSE(SetLanguageFile(L""));
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Exit")), L"Exit");
}

TEST_F(LanguagePacks, OnlyAReadableFileOfTheSettingsFolderIsLoaded)
{
    brmptest::TempFolder elsewhere(L"brmp-lang-other");
    ASSERT_TRUE(brmptest::WriteFileBytes(elsewhere.PathOf(L"Outside.brmplp"), "\"Exit\" => \"Raus\"\n"));
    const std::wstring outside = elsewhere.PathOf(L"Outside.brmplp");
    shelltest::LogTail log;

    for (const std::wstring& name : {std::wstring(L"Missing.brmplp"), outside, std::wstring(L"..\\Outside.brmplp"),
                                     std::wstring(L"sub/x.brmplp"), std::wstring(L"c:x.brmplp"), std::wstring(300, L'a')})
    {
        EXPECT_FALSE(SetLanguageFile(name.c_str())) << Utf8(name);
        EXPECT_EQ(LookupText(m_language, std::wstring(L"Exit")), L"Exit") << Utf8(name);
    }
    EXPECT_TRUE(log.Contains(L"Unable to load language file '" + m_folder.PathOf(L"Missing.brmplp") + L"'"))
        << Utf8(log.Text());
}

TEST_F(LanguagePacks, AfterTheLastReleaseANewLanguageObjectStartsEmpty)
{
    WritePack(L"Deutsch.brmplp", kGermanPack);
    ASSERT_TRUE(SetLanguageFile(L"Deutsch.brmplp"));
    CLangSupport* second = LangSupport();
    EXPECT_EQ(second, m_language);
    CLangSupport::Release(second);
    EXPECT_EQ(m_language->GetCount(), 9u);

    CLangSupport::Release(m_language);
    // A stale pointer is ignored, and lookups through it never touch freed memory.
    CLangSupport::Release(m_language);
    m_language = LangSupport();
    EXPECT_EQ(m_language->GetCount(), 0u);
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Cancel")), L"Cancel");
}

TEST_F(LanguagePacks, ABrokenPackLoadsWhatItCanAndNeverCrashes)
{
    std::string bytes = "Language=Kaputt\n";
    bytes += "\"Exit\" => \"Beenden\"\n";
    bytes += "\"Bad \xC3( bytes\" => \"x\xFF\"\n";              // not UTF-8
    bytes += std::string(100000, '"') + "\n";                    // one huge line
    bytes += "\"" + std::string(3000, 'k') + "\" => \"long\"\n"; // a key longer than a piece
    const char nulLine[] = "\"Nul\0inside\" => \"ja\"\n";
    bytes += std::string(nulLine, sizeof(nulLine) - 1);
    bytes += "\"Cancel\" => \"Abbrechen\"";                     // no line break at the end
    ASSERT_TRUE(brmptest::WriteFileBytes(m_folder.PathOf(L"Broken.brmplp"), bytes));
    shelltest::LogTail log;

    ASSERT_TRUE(SetLanguageFile(L"Broken.brmplp"));
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Exit")), L"Beenden");
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Cancel")), L"Abbrechen");
    EXPECT_TRUE(log.Contains(L"is not valid UTF-8")) << Utf8(log.Text());
}

TEST_F(LanguagePacks, APackTooLargeToBeOneIsRefused)
{
    std::string bytes = "\"Exit\" => \"Beenden\"\n";
    bytes.resize(kMaxLanguagePackBytes + 1, ' ');
    ASSERT_TRUE(brmptest::WriteFileBytes(m_folder.PathOf(L"Huge.brmplp"), bytes));
    EXPECT_FALSE(SetLanguageFile(L"Huge.brmplp"));
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Exit")), L"Exit");
}

using brmptest::SeededRandom;

TEST_F(LanguagePacks, HostileTranslationsOfRealFormatsNeverCrashALookup)
{
    // English formats as the program passes them, with matching arguments.
    const wchar_t* const formats[] = {L"%s of %d", L"%d files", L"Hello %s", L"%S said %s", L"%.2f%%", L"%c%p"};
    const wchar_t* const pieces[] = {L"%s", L"%S", L"%d", L"%n", L"%p", L"%f", L"%99999999s", L"%*d", L"%",
                                     L"%%", L"\\\"", L"\"", L"=>", L"\\n", L"\\", L"text", L" ", L"%1$s",
                                     L"%I64d", L"\u00E4", L"%ls", L"%hs", L"%lld", L"%-5.3s"};
    SeededRandom random(20261209);
    for (int round = 0; round < 40; ++round)
    {
        std::wstring pack = L"Language=Feind\n";
        for (const wchar_t* english : formats)
        {
            std::wstring translation;
            const std::size_t count = random.Below(8);
            for (std::size_t i = 0; i < count; ++i)
                translation += pieces[random.Below(std::size(pieces))];
            pack += L"\"" + std::wstring(english) + L"\" => \"" + translation + L"\"\n";
        }
        std::string bytes = Utf8(pack);
        // Some raw bytes that are not text at all.
        for (int i = 0; i < 40; ++i)
            bytes.insert(random.Below(bytes.size()), 1, static_cast<char>(random.Next() & 0xFF));
        ASSERT_TRUE(brmptest::WriteFileBytes(m_folder.PathOf(L"Hostile.brmplp"), bytes));
        ASSERT_TRUE(SetLanguageFile(L"Hostile.brmplp"));

        const std::wstring results[] = {
            LookupText(m_language, L"%s of %d", L"Datei", 3),
            LookupText(m_language, L"%d files", 12),
            LookupText(m_language, L"Hello %s", L"you"),
            LookupText(m_language, L"%S said %s", "narrow", L"wide"),
            LookupText(m_language, L"%.2f%%", 99.5),
            LookupText(m_language, L"%c%p", L'x', static_cast<void*>(nullptr)),
        };
        for (std::size_t i = 0; i < std::size(results); ++i)
        {
            const std::wstring translation = InternalLookupText(m_language, formats[i]);
            if (!TranslationFormatMatches(formats[i], translation.c_str()))
            {
                EXPECT_EQ(results[i], kInvalidLanguageText) << "round " << round << ": " << Utf8(translation);
            }
        }
    }
}

TEST_F(LanguagePacks, LookupsDuringAReloadSeeAWholeTable)
{
    WritePack(L"Deutsch.brmplp", kGermanPack);
    WritePack(L"Francais.brmplp", L"\"Cancel\" => \"Annuler\"\n\"%d files\" => \"%d fichiers\"\n");
    ASSERT_TRUE(SetLanguageFile(L"Deutsch.brmplp"));

    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
    {
        readers.emplace_back(
            [&]
            {
                CLangSupport* language = LangSupport();
                while (!stop.load())
                {
                    const std::wstring text = LookupText(language, L"%d files", 2);
                    if (text != L"2 Dateien" && text != L"2 fichiers")
                        ++wrong;
                }
                CLangSupport::Release(language);
            });
    }
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(SetLanguageFile(i % 2 == 0 ? L"Francais.brmplp" : L"Deutsch.brmplp"));
    stop = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(LanguagePacks, PackHeadersAreReadFromDirectoryEntriesAndPaths)
{
    WritePack(L"Deutsch.brmplp", L"\xFEFFLanguage=Deutsch\nDescription= Alle Texte \nAuthor=Jemand\nAuthor=Zweiter\n");
    WritePack(L"Nameless.brmplp", L"# Language=Versteckt\n\"Exit\" => \"Raus\"\n");

    std::vector<LanguagePackInfo> found;
    WIN32_FIND_DATAW entry{};
    HANDLE find = ::FindFirstFileW((m_folder.Path() + L"\\*.brmplp").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do
    {
        LanguagePackInfo info;
        if (ReadLanguagePackHeader(m_folder.Path(), entry, info))
            found.push_back(info);
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);

    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].fileName, L"Deutsch.brmplp");
    EXPECT_EQ(found[0].fullPath, m_folder.PathOf(L"Deutsch.brmplp"));
    EXPECT_EQ(found[0].language, L"Deutsch");
    EXPECT_EQ(found[0].description, L"Alle Texte");
    EXPECT_EQ(found[0].author, L"Zweiter");

    LanguagePackInfo nameless;
    EXPECT_TRUE(ReadLanguagePackHeader(m_folder.PathOf(L"Nameless.brmplp").c_str(), nameless));
    EXPECT_EQ(nameless.language, L"Unknown. Please set in .BRMPLP file");
    EXPECT_EQ(nameless.author, L"Unknown");
    EXPECT_EQ(nameless.description, L"");

    LanguagePackInfo missing;
    EXPECT_FALSE(ReadLanguagePackHeader(m_folder.PathOf(L"Missing.brmplp").c_str(), missing));
}

TEST_F(LanguagePacks, InstallingAPackKeepsTheOlderOnesAsBackups)
{
    brmptest::TempFolder downloads(L"brmp-lang-src");
    const std::wstring source = downloads.PathOf(L"Deutsch.brmplp");
    const std::wstring target = m_folder.PathOf(L"Deutsch.brmplp");
    const std::string versions[] = {"Language=Deutsch\n\"Exit\" => \"Beenden\"\n",
                                    "Language=Deutsch\n\"Exit\" => \"Schliessen\"\n",
                                    "Language=Deutsch\n\"Exit\" => \"Ende\"\n"};
    for (const std::string& version : versions)
    {
        ASSERT_TRUE(brmptest::WriteFileBytes(source, version));
        std::wstring name;
        ASSERT_EQ(InstallLanguagePack(L" \"" + source + L"\" ", m_folder.Path(), name), LanguageInstallResult::Installed);
        EXPECT_EQ(name, L"Deutsch.brmplp");
        EXPECT_EQ(shelltest::ReadBytes(target), version);
    }
    EXPECT_EQ(shelltest::ReadBytes(target + L".bak"), versions[0]);
    EXPECT_EQ(shelltest::ReadBytes(target + L".1.bak"), versions[1]);
    EXPECT_FALSE(shelltest::FileExists(target + L".2.bak"));
    EXPECT_FALSE(shelltest::FileExists(target + L".tmp"));

    ASSERT_TRUE(SetLanguageFile(L"Deutsch.brmplp"));
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Exit")), L"Ende");
}

TEST_F(LanguagePacks, AnInstallOnTheCommandLineLoadsThePackFromTheStartingFolder)
{
    brmptest::TempFolder downloads(L"brmp-lang-src");
    ASSERT_TRUE(brmptest::WriteFileBytes(downloads.PathOf(L"Deutsch.brmplp"), "Language=Deutsch\n\"Exit\" => \"Beenden\"\n"));
    const std::wstring previous = CurrentWorkingFolder();
    ASSERT_TRUE(::SetCurrentDirectoryW(downloads.Path().c_str()));
    CommandLineRequest request = ParseCommandLine(L"/Install:\"Deutsch.brmplp\"");
    ResolveFileArgument(request.word, request.argument, CurrentWorkingFolder());
    ::SetCurrentDirectoryW(previous.c_str());

    std::wstring name;
    ASSERT_TRUE(InstallLanguagePackFromCommand(request.argument, name));
    EXPECT_EQ(name, L"deutsch.brmplp");
    EXPECT_TRUE(shelltest::FileExists(m_folder.PathOf(L"deutsch.brmplp")));
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Exit")), L"Beenden");

    // Without a settings folder nothing is installed and the table stays as it was.
    g_settingsFolder.clear();
    EXPECT_FALSE(InstallLanguagePackFromCommand(downloads.PathOf(L"Deutsch.brmplp"), name));
    EXPECT_EQ(LookupText(m_language, std::wstring(L"Exit")), L"Beenden");
}

TEST_F(LanguagePacks, InstallingThePackAlreadyInTheSettingsFolderOnlyEnablesIt)
{
    WritePack(L"Deutsch.brmplp", L"Language=Deutsch\n");
    std::wstring name;
    EXPECT_EQ(InstallLanguagePack(m_folder.PathOf(L"DEUTSCH.BRMPLP"), m_folder.Path(), name),
              LanguageInstallResult::AlreadyInstalled);
    EXPECT_EQ(name, L"DEUTSCH.BRMPLP");
    EXPECT_FALSE(shelltest::FileExists(m_folder.PathOf(L"Deutsch.brmplp.bak")));
}

TEST_F(LanguagePacks, OnlyAReadableLanguagePackIsInstalled)
{
    brmptest::TempFolder downloads(L"brmp-lang-src");
    // A file named like the settings file must never replace it.
    ASSERT_TRUE(brmptest::WriteFileBytes(downloads.PathOf(L"Brindlemap.xml"), "Language=Fake\n"));
    ASSERT_TRUE(brmptest::WriteFileBytes(m_folder.PathOf(L"Brindlemap.xml"), "<settings/>"));
    shelltest::LogTail log;

    std::wstring name;
    EXPECT_EQ(InstallLanguagePack(downloads.PathOf(L"Brindlemap.xml"), m_folder.Path(), name),
              LanguageInstallResult::Invalid);
    EXPECT_EQ(shelltest::ReadBytes(m_folder.PathOf(L"Brindlemap.xml")), "<settings/>");
    EXPECT_EQ(InstallLanguagePack(downloads.PathOf(L"Missing.brmplp"), m_folder.Path(), name),
              LanguageInstallResult::Invalid);
    EXPECT_EQ(InstallLanguagePack(downloads.PathOf(L".brmplp"), m_folder.Path(), name), LanguageInstallResult::Invalid);
    EXPECT_TRUE(name.empty());
    EXPECT_TRUE(log.Contains(L"Invalid language pack file: " + downloads.PathOf(L"Brindlemap.xml"))) << Utf8(log.Text());

    ASSERT_TRUE(brmptest::WriteFileBytes(downloads.PathOf(L"Deutsch.brmplp"), "Language=Deutsch\n"));
    EXPECT_EQ(InstallLanguagePack(downloads.PathOf(L"Deutsch.brmplp"), m_folder.PathOf(L"no such folder"), name),
              LanguageInstallResult::Failed);
}

// Windows and menus built with English texts, as dialogs and the tray build them.
TEST_F(LanguagePacks, AWindowAndItsChildrenShowTheirTranslations)
{
    WritePack(L"Deutsch.brmplp", L"\"Settings\" => \"Einstellungen\"\n\"Cancel\" => \"Abbrechen\"\n"
                                 L"\"&OK\" => \"&Gut\"\n\"&Open\" => \"&\u00D6ffnen\"\n\"Layer 1\" => \"Ebene 1\"\n");
    ASSERT_TRUE(SetLanguageFile(L"Deutsch.brmplp"));

    HWND window = ::CreateWindowExW(0, L"STATIC", L"Settings", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                                    nullptr);
    ASSERT_NE(window, nullptr);
    auto child = [&](const wchar_t* cls, const wchar_t* text, int id)
    {
        return ::CreateWindowExW(0, cls, text, WS_CHILD, 0, 0, 50, 20, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    };
    HWND label = child(L"STATIC", L"Cancel", 1001);
    HWND button = child(L"BUTTON", L"&OK", 1);
    HWND kept = child(L"EDIT", L"Cancel", 1024);
    HWND other = child(L"STATIC", L"Unknown text", 1002);
    HWND empty = child(L"STATIC", L"", 1003);

    TranslateWindowTexts(m_language, window, {1024});

    auto text = [](HWND w)
    {
        wchar_t buffer[256] = {};
        ::GetWindowTextW(w, buffer, 256);
        return std::wstring(buffer);
    };
    EXPECT_EQ(text(window), L"Einstellungen");
    EXPECT_EQ(text(label), L"Abbrechen");
    EXPECT_EQ(text(button), L"&Gut");
    EXPECT_EQ(text(kept), L"Cancel");
    EXPECT_EQ(text(other), L"Unknown text");
    EXPECT_EQ(text(empty), L"");
    ::DestroyWindow(window);

    HMENU menu = ::CreatePopupMenu();
    HMENU layers = ::CreatePopupMenu();
    ::AppendMenuW(layers, MF_STRING, 11, L"Layer 1");
    ::AppendMenuW(menu, MF_STRING, 10, L"&Open");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(layers), L"Cancel");
    ::AppendMenuW(menu, MF_STRING, 12, L"Unknown item");

    TranslateMenu(m_language, menu);

    auto item = [](HMENU m, UINT position)
    {
        wchar_t buffer[256] = {};
        ::GetMenuStringW(m, position, buffer, 256, MF_BYPOSITION);
        return std::wstring(buffer);
    };
    EXPECT_EQ(item(menu, 0), L"&\u00D6ffnen");
    EXPECT_EQ(::GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(item(menu, 2), L"Abbrechen");
    EXPECT_EQ(item(layers, 0), L"Ebene 1");
    EXPECT_EQ(item(menu, 3), L"Unknown item");
    EXPECT_EQ(::GetMenuItemID(menu, 0), 10u);
    ::DestroyMenu(menu);

    TranslateFrameworkTexts(m_language);
    EXPECT_EQ(TranslateFrameworkText(L"Cancel"), L"Abbrechen");
    TranslateFrameworkTexts(nullptr);
    EXPECT_EQ(TranslateFrameworkText(L"Cancel"), L"Cancel");
}
}

#include "LangSupportHold.h"

TEST(ProgramLanguage, ThePackChosenAtStartUpOutlivesEveryOtherHolderAndGoesWithTheProgram)
{
    brmptest::TempFolder folder{L"brmp-lang-hold"};
    ASSERT_TRUE(brmptest::WriteFileBytes(folder.PathOf(L"Deutsch.brmplp"),
                                         Utf8(L"Language=Deutsch\n\"Cancel\" => \"Abbrechen\"\n\"Exit\" => \"Beenden\"\n")));
    g_settingsFolder = folder.Path() + L"\\";
    SetLanguageFolderSource(&TestSettingsFolder);
    {
        CProgramLanguage program;
        ASSERT_TRUE(program.Begin(L"Deutsch.brmplp"));
        EXPECT_EQ(TranslateFrameworkText(L"Cancel"), L"Abbrechen") << "the framework's own texts follow the pack";

        // A dialog takes and drops its own reference: the table stays.
        CLangSupport* dialog = LangSupport();
        EXPECT_EQ(dialog, program.Get());
        CLangSupport::Release(dialog);
        CLangSupport* later = LangSupport();
        EXPECT_EQ(LookupText(later, L"Exit"), L"Beenden");
        CLangSupport::Release(later);

        // Taking it again (a reload) keeps one reference and loads afresh.
        EXPECT_FALSE(program.Begin(L"Missing.brmplp"));
        EXPECT_EQ(program.Get()->GetCount(), 0u);
        EXPECT_TRUE(program.Begin(L"Deutsch.brmplp"));
        EXPECT_EQ(program.Get()->GetCount(), 2u);
    }
    EXPECT_EQ(TranslateFrameworkText(L"Cancel"), L"Cancel");
    CLangSupport* after = LangSupport();
    EXPECT_EQ(after->GetCount(), 0u) << "the program's end frees the table";
    CLangSupport::Release(after);

    // No pack configured: English, and nothing to release twice.
    {
        CProgramLanguage program;
        EXPECT_FALSE(program.Begin(nullptr));
        EXPECT_EQ(LookupText(program.Get(), L"%d files", 3), L"3 files");
        program.End();
        program.End();
    }
    SetLanguageFolderSource(nullptr);
    g_settingsFolder.clear();
}
