// Names of files the user gives are read only when they name a regular file:
// devices, pipes, volumes and folders are refused before anything reads them,
// the settings model and the desktop icon layout neither load, import, write
// nor keep a copy of them, and a pipe that never writes makes no reader wait.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "DesktopIcons.h"
#include "Handles.h"
#include "MouseInfo.h"
#include "RegularFile.h"
#include "Settings.h"
#include "TempFolder.h"

namespace
{
// A pipe with instances waiting for a client; tells whether one connected.
class WaitingPipe
{
public:
    explicit WaitingPipe(const std::wstring& name) : m_name(name)
    {
        for (auto& instance : m_instances)
            instance.Reset(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                              PIPE_TYPE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0,
                                              nullptr));
    }
    bool IsValid() const { return m_instances[0] && m_instances[1]; }
    const std::wstring& Name() const { return m_name; }

    // Whether a client has opened an instance.
    bool Connected()
    {
        for (auto& instance : m_instances)
        {
            OVERLAPPED overlapped{};
            UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
            overlapped.hEvent = event.Get();
            const BOOL done = ::ConnectNamedPipe(instance.Get(), &overlapped);
            const DWORD error = ::GetLastError();
            if (!done && error == ERROR_IO_PENDING)
            {
                ::CancelIo(instance.Get());
                DWORD ignored = 0;
                ::GetOverlappedResult(instance.Get(), &overlapped, &ignored, TRUE);
                continue;
            }
            return true;
        }
        return false;
    }

private:
    std::wstring m_name;
    UniqueHandle m_instances[2];
};

std::wstring ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? name : L"localhost";
}

class RegularFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        m_file = m_folder.PathOf(L"settings.xml");
        ASSERT_TRUE(brmptest::WriteFileBytes(m_file, "<root><version/></root>"));
    }

    brmptest::TempFolder m_folder{L"brmp-regular-file"};
    std::wstring m_file;
    WaitingPipe m_pipe{L"\\\\.\\pipe\\brmp-regular-" + std::to_wstring(::GetCurrentProcessId())};
};
}

TEST_F(RegularFile, ARegularFileIsOpenedForReadingUnderEitherForm)
{
    for (const std::wstring& path : {m_file, L"\\\\?\\" + m_file})
    {
        SCOPED_TRACE(testing::PrintToString(path));
        UniqueHandle file(OpenRegularFile(path.c_str(), FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN));
        ASSERT_TRUE(file) << ::GetLastError();
        char bytes[6] = {};
        DWORD read = 0;
        EXPECT_TRUE(::ReadFile(file.Get(), bytes, 5, &read, nullptr));
        EXPECT_STREQ(bytes, "<root");
    }
    ::SetLastError(0);
    EXPECT_EQ(OpenRegularFile(m_folder.PathOf(L"missing.xml").c_str(), FILE_SHARE_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegularFile, DevicesPipesVolumesAndFoldersAreRefusedAndNoPipeIsOpened)
{
    ASSERT_TRUE(m_pipe.IsValid());
    const std::wstring pipeTail = m_pipe.Name().substr(9);
    struct Refused
    {
        const char* name;
        std::wstring path;
        bool knownKind;  // refused as not regular on every system (else it may be missing too)
    };
    const std::vector<Refused> refused = {
        {"a pipe", m_pipe.Name(), true},
        {"a pipe through the global root", L"\\\\?\\GLOBALROOT\\Device\\NamedPipe\\" + pipeTail, true},
        {"a pipe with forward slashes", L"//./pipe/" + pipeTail, true},
        {"a pipe of this machine over UNC", L"\\\\localhost\\pipe\\" + pipeTail, true},
        {"a pipe over UNC by the computer's name", L"\\\\" + ComputerName() + L"\\PiPe\\" + pipeTail, true},
        {"a pipe over UNC with forward slashes", L"//localhost/PIPE/" + pipeTail, true},
        {"a pipe over a long UNC name", L"\\\\?\\UNC\\localhost\\pipe\\" + pipeTail, true},
        {"a mailslot over UNC", L"\\\\localhost\\mailslot\\" + pipeTail, true},
        {"the null device", L"NUL", false},
        {"the null device by its device name", L"\\\\.\\NUL", true},
        {"a serial port", L"\\\\.\\COM1", true},
        {"a volume", L"\\\\.\\C:", true},
        {"a volume by its name", L"\\\\?\\Volume{00000000-0000-0000-0000-000000000000}\\", true},
        {"the native namespace", L"\\??\\" + m_file, true},
        {"a folder", m_folder.Path(), true},
        {"a device name inside a folder", m_folder.PathOf(L"COM1.xml"), false},
    };
    for (const Refused& r : refused)
    {
        SCOPED_TRACE(r.name);
        ::SetLastError(0);
        const HANDLE handle = OpenRegularFile(r.path.c_str(), FILE_SHARE_READ, 0);
        const DWORD error = ::GetLastError();
        EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
        if (r.knownKind)
            EXPECT_EQ(error, kNotRegularFileError);
        else
            EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
    }
    EXPECT_FALSE(m_pipe.Connected()) << "the refusal opened the pipe";

    // A client that does open the pipe is seen.
    UniqueHandle client(::CreateFileW(m_pipe.Name().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(client);
    EXPECT_TRUE(m_pipe.Connected());
}

TEST_F(RegularFile, TheSettingsNeitherLoadNorImportNorKeepACopyOfWhatIsNoRegularFile)
{
    ASSERT_TRUE(m_pipe.IsValid());
    const std::wstring overUnc = L"\\\\" + ComputerName() + L"\\pipe\\" + m_pipe.Name().substr(9);
    for (const std::wstring& path : {m_pipe.Name(), overUnc, std::wstring(L"NUL"), m_folder.Path()})
    {
        SCOPED_TRACE(testing::PrintToString(path));
        CSettings settings(false, CMouseInfo());
        bool regions = false;
        EXPECT_FALSE(settings.Load(path.c_str(), regions, false));
        EXPECT_EQ(settings.GetUnreadableFileCopy(), nullptr) << "nothing is kept of it";
        CApplicationSettings* imported = nullptr;
        EXPECT_EQ(settings.Import(path.c_str(), nullptr, L"", imported), 0);
        EXPECT_FALSE(settings.Save(path.c_str())) << "nothing is written over it";
        EXPECT_FALSE(settings.Export(nullptr, path.c_str()));
    }
    EXPECT_FALSE(m_pipe.Connected());

    // A damaged regular file is still copied aside before a save overwrites it.
    const std::wstring damaged = m_folder.PathOf(L"damaged.xml");
    ASSERT_TRUE(brmptest::WriteFileBytes(damaged, "<root><version major=\"2\""));
    CSettings settings(false, CMouseInfo());
    EXPECT_TRUE(settings.Save(damaged.c_str()));
    ASSERT_NE(settings.GetUnreadableFileCopy(), nullptr);
    EXPECT_EQ(brmptest::ReadFileBytes(settings.GetUnreadableFileCopy()).value_or(""), "<root><version major=\"2\"");
}

TEST_F(RegularFile, TheDesktopIconLayoutIsNeitherReadFromNorWrittenIntoWhatIsNoRegularFile)
{
    ASSERT_TRUE(m_pipe.IsValid());
    for (const std::wstring& path : {m_pipe.Name(), std::wstring(L"NUL"), m_folder.Path()})
    {
        SCOPED_TRACE(testing::PrintToString(path));
        CIconSettings icons;
        EXPECT_EQ(icons.LoadIcons(path.c_str()), 0);
        icons.AddIcon(new CIcon(0, L"Recycle Bin", POINT{10, 20}, nullptr, false));
        EXPECT_EQ(icons.SaveIcons(path.c_str()), 0);
        EXPECT_EQ(icons.RemoveListedIcons(path.c_str()), 0);
    }
    EXPECT_FALSE(m_pipe.Connected());
}

TEST(DeviceNamespacePath, OnlyTheSystemsDeviceNamespacesAreNamedSo)
{
    struct Case
    {
        const wchar_t* path;
        bool device;
    };
    const Case cases[] = {
        {L"\\\\.\\COM1", true},
        {L"\\\\.\\pipe\\x", true},
        {L"\\\\.\\C:\\x.xml", true},
        {L"//./pipe/x", true},
        {L"\\\\?\\GLOBALROOT\\Device\\Null", true},
        {L"\\\\?\\globalroot\\device\\null", true},
        {L"\\\\?\\Volume{1}\\x.xml", true},
        {L"\\\\?\\pipe\\x", true},
        {L"\\??\\C:\\x.xml", true},
        {L"\\\\?\\C:\\x.xml", false},
        {L"\\\\server\\pipe\\x", true},
        {L"\\\\server\\Pipe", true},
        {L"//server/PIPE/x", true},
        {L"\\\\server/pipe. \\x", true},
        {L"\\\\server\\mailslot\\x", true},
        {L"\\\\?\\UNC\\server\\pipe\\x", true},
        {L"\\\\?\\unc\\server\\MailSlot\\x", true},
        {L"\\\\?\\UNC\\server\\share\\x.xml", false},
        {L"\\\\server\\share\\x.xml", false},
        {L"\\\\server\\pipes\\x.xml", false},
        {L"\\\\server\\share\\pipe\\x.xml", false},
        {L"\\\\?\\UNC\\server\\share\\pipe\\x.xml", false},
        {L"C:\\x.xml", false},
        {L"x.xml", false},
        {L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsDeviceNamespacePath(c.path), c.device) << testing::PrintToString(std::wstring(c.path));
}
