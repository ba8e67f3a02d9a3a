// Portable or installed mode, decided on real folders: what the program's own
// folder holds and allows, where it lies, and what the switches ask for.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CommandWord.h"
#include "PortableDecision.h"
#include "TempFolder.h"

using namespace brmptest;

namespace
{
constexpr wchar_t kSettings[] = L"Settings.xml";

struct Folders
{
    TempFolder programFiles{L"brmp-pf"};
    TempFolder elsewhere{L"brmp-portable"};

    std::wstring InsideProgramFiles() const { return programFiles.PathOf(L"Brindlemap") + L"\\"; }
    std::wstring Outside() const { return elsewhere.Path() + L"\\"; }
    // A folder that cannot be written to: it does not exist and cannot be created by a file.
    std::wstring Unwritable() const { return elsewhere.PathOf(L"missing\\deeper") + L"\\"; }
};

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ExpectDecision(const PortableDecision& d, bool portable, int reason, PortableDecision::Notice notice,
                    const char* label)
{
    EXPECT_EQ(d.portable, portable) << label;
    EXPECT_EQ(d.reason, reason) << label;
    EXPECT_EQ(d.notice, notice) << label;
}
}

TEST(PortableDecision, WithoutSwitchesTheFolderBesideTheProgramDecides)
{
    Folders f;
    ASSERT_TRUE(f.programFiles && f.elsewhere);
    using PD = PortableDecision;

    // Writable folder without a settings file: portable, and the probe file is gone again.
    ExpectDecision(DecidePortable(0, f.Outside(), f.programFiles.Path(), kSettings), true, PD::ReasonFolderWritable,
                   PD::NoticeNone, "writable, no settings file");
    EXPECT_FALSE(Exists(f.elsewhere.PathOf(kSettings)));

    // A settings file beside the program.
    ASSERT_TRUE(WriteFileBytes(f.elsewhere.PathOf(kSettings), "<x/>"));
    ExpectDecision(DecidePortable(0, f.Outside(), f.programFiles.Path(), kSettings), true,
                   PD::ReasonSettingsFileFound, PD::NoticeNone, "settings file present");
    // The same folder named without its trailing backslash.
    ExpectDecision(DecidePortable(0, f.elsewhere.Path(), f.programFiles.Path(), kSettings), true,
                   PD::ReasonSettingsFileFound, PD::NoticeNone, "no trailing backslash");

    // A read-only settings file cannot be kept: installed.
    ASSERT_TRUE(::SetFileAttributesW(f.elsewhere.PathOf(kSettings).c_str(), FILE_ATTRIBUTE_READONLY));
    ExpectDecision(DecidePortable(0, f.Outside(), f.programFiles.Path(), kSettings), false, PD::ReasonNone,
                   PD::NoticeNone, "read-only settings file");
    ::SetFileAttributesW(f.elsewhere.PathOf(kSettings).c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(::DeleteFileW(f.elsewhere.PathOf(kSettings).c_str()));

    // A folder under the settings file's name is not a settings file.
    ASSERT_TRUE(::CreateDirectoryW(f.elsewhere.PathOf(kSettings).c_str(), nullptr));
    ExpectDecision(DecidePortable(0, f.Outside(), f.programFiles.Path(), kSettings), false, PD::ReasonNone,
                   PD::NoticeNone, "settings name is a folder");

    // A folder that cannot be written: installed, quietly.
    ExpectDecision(DecidePortable(0, f.Unwritable(), f.programFiles.Path(), kSettings), false, PD::ReasonNone,
                   PD::NoticeNone, "unwritable folder");
}

TEST(PortableDecision, APortableCopyUnderProgramFilesRunsInstalledAndWarnsUnlessItWasInstalled)
{
    Folders f;
    ASSERT_TRUE(f.programFiles && f.elsewhere);
    const std::wstring folder = f.InsideProgramFiles();
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    // Even a settings file beside it does not make it portable.
    ASSERT_TRUE(WriteFileBytes(folder + kSettings, "<x/>"));
    using PD = PortableDecision;

    ExpectDecision(DecidePortable(0, folder, f.programFiles.Path(), kSettings), false, PD::ReasonNone,
                   PD::NoticeUnderProgramFiles, "no uninstaller");

    for (const wchar_t* uninstaller : {L"uninstaller.exe", L"uninst.exe"})
    {
        ASSERT_TRUE(WriteFileBytes(folder + uninstaller, "MZ"));
        ExpectDecision(DecidePortable(0, folder, f.programFiles.Path(), kSettings), false, PD::ReasonNone,
                       PD::NoticeNone, "with an uninstaller");
        ASSERT_TRUE(::DeleteFileW((folder + uninstaller).c_str()));
    }

    // The Program Files folder's name in another letter case is the same folder.
    std::wstring upper = f.programFiles.Path();
    ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    ExpectDecision(DecidePortable(0, folder, upper, kSettings), false, PD::ReasonNone, PD::NoticeUnderProgramFiles,
                   "other letter case");
}

TEST(PortableDecision, SwitchesOverrideTheFolder)
{
    Folders f;
    ASSERT_TRUE(f.programFiles && f.elsewhere);
    ASSERT_TRUE(WriteFileBytes(f.elsewhere.PathOf(kSettings), "<x/>"));
    using PD = PortableDecision;
    using namespace CommandBits;

    struct Case
    {
        const char* label;
        DWORD word;
        bool writable;
        bool portable;
        PD::Notice notice;
    } const cases[] = {
        {"/notportable beside a settings file", NotPortable, true, false, PD::NoticeNone},
        {"/portable with /notportable keeps installed", Portable | NotPortable, true, false, PD::NoticeNone},
        {"/exit skips the decision", Exit, true, false, PD::NoticeNone},
        {"/exit with /portable skips the write test", Exit | Portable, false, false, PD::NoticeNone},
        {"/portable in a writable folder", Portable, true, true, PD::NoticeNone},
        {"/portable in an unwritable folder", Portable, false, true, PD::NoticeNotWritable},
        {"/portable /nolog skips the write test", Portable | NoLog, false, true, PD::NoticeNone},
    };
    for (const Case& c : cases)
    {
        const std::wstring folder = c.writable ? f.Outside() : f.Unwritable();
        ExpectDecision(DecidePortable(c.word, folder, f.programFiles.Path(), kSettings), c.portable, PD::ReasonNone,
                       c.notice, c.label);
    }
    // /portable under Program Files is taken at its word (the write test decides).
    const std::wstring inside = f.InsideProgramFiles();
    ASSERT_TRUE(::CreateDirectoryW(inside.c_str(), nullptr));
    ExpectDecision(DecidePortable(Portable, inside, f.programFiles.Path(), kSettings), true, PD::ReasonNone,
                   PD::NoticeNone, "/portable under Program Files");
    EXPECT_FALSE(Exists(inside + L"portable.tmp"));
}

TEST(PortableDecision, AStaleScratchFileDoesNotMakeAWritableFolderLookReadOnly)
{
    TempFolder folder(L"brmp-stale");
    ASSERT_TRUE(folder);
    ASSERT_TRUE(WriteFileBytes(folder.PathOf(L"portable.tmp"), "left behind"));

    const PortableDecision d = DecidePortable(CommandBits::Portable, folder.Path(), L"", kSettings);
    EXPECT_TRUE(d.portable);
    EXPECT_EQ(d.notice, PortableDecision::NoticeNone);
    // The user's file stays, and our own probe leaves nothing behind.
    EXPECT_EQ(ReadFileBytes(folder.PathOf(L"portable.tmp")).value_or(""), "left behind");
    WIN32_FIND_DATAW data{};
    int files = 0;
    HANDLE find = ::FindFirstFileW(folder.PathOf(L"*.tmp").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
            ++files;
        while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    EXPECT_EQ(files, 1);
}

TEST(PortableDecision, InsideAFolderMeansBelowItWithASeparator)
{
    struct Case
    {
        const wchar_t* folder;
        const wchar_t* parent;
        bool inside;
    } const cases[] = {
        {L"C:\\Program Files\\Tool\\", L"C:\\Program Files", true},
        {L"c:\\program files\\tool", L"C:\\PROGRAM FILES\\", true},
        {L"C:\\Program Files (x86)\\Tool\\", L"C:\\Program Files", false},
        {L"C:\\Program FilesTool\\", L"C:\\Program Files", false},
        {L"C:\\Program Files\\", L"C:\\Program Files", false},
        {L"C:\\Tools\\", L"", false},
        {L"D:\\Program Files\\Tool\\", L"C:\\Program Files", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsInsideFolder(c.folder, c.parent), c.inside) << testing::PrintToString(std::wstring(c.folder));
}

TEST(PortableDecision, TheMessagesNameTheProgram)
{
    const std::wstring error = PortableNotWritableMessage();
    EXPECT_EQ(error.rfind(L"You are trying to run Brindlemap in portable mode but the folder can not be written to. "
                          L"This means that Brindlemap can not create it's settings or log file.",
                          0),
              0u)
        << testing::PrintToString(error);
    EXPECT_NE(error.find(L"ensure you launch BRMP from a folder"), std::wstring::npos);
    EXPECT_NE(error.find(L"\n\nBrindlemap will now terminate."), std::wstring::npos);

    const std::wstring warning = ProgramFilesWarningText();
    const std::wstring message = ProgramFilesMessage(warning);
    EXPECT_EQ(message.rfind(warning + L" You can not run in portable mode", 0), 0u);
    EXPECT_NE(message.find(L"either install BRMP or run it from a different folder."), std::wstring::npos);
}
