// The real program's settings dialog against what other processes may hand
// it: names of devices, pipes and folders relayed as profile or import files
// by a later start. The dialog refuses each with its message and goes on
// answering.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "TempFolder.h"
#include "WaitFor.h"

using brmptest::WaitFor;
using namespace setuptest;

namespace
{
// A pipe whose instances wait for readers and never write: a reader of it waits for ever.
class SilentPipe
{
public:
    explicit SilentPipe(const std::wstring& name) : m_name(name)
    {
        for (int i = 0; i < 4; ++i)
        {
            const HANDLE instance = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                                       PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
            if (instance != INVALID_HANDLE_VALUE)
                m_instances.push_back(instance);
        }
    }
    ~SilentPipe()
    {
        for (HANDLE instance : m_instances)
            ::CloseHandle(instance);
    }
    SilentPipe(const SilentPipe&) = delete;
    SilentPipe& operator=(const SilentPipe&) = delete;

    bool IsValid() const { return m_instances.size() == 4; }
    const std::wstring& Name() const { return m_name; }

private:
    std::wstring m_name;
    std::vector<HANDLE> m_instances;
};

class SetupDialogHostileInput : public SetupDialogTest
{
protected:
    SetupDialogHostileInput() : SetupDialogTest(L"brmp-setup-hostile") {}

    // Relays a command line through a later start; the message box it opens is
    // answered, and its text returned.
    std::wstring RelayAndAnswer(const std::wstring& arguments)
    {
        if (!m_program.StartLater(arguments))
            return L"(the later start did not end)";
        std::wstring text;
        const HWND box = WaitForMessageBox(m_program.ProcessId(), &text);
        if (box == nullptr)
            return L"(no message)";
        Answer(box, IDOK);
        if (!WaitFor([&] { return !::IsWindow(box); }, kDialogTimeoutMs))
            return L"(the message stayed)";
        return text;
    }

    brmptest::TempFolder m_files{L"brmp-setup-hostile-files"};
};
}

TEST_F(SetupDialogHostileInput, DevicesPipesAndFoldersRelayedAsFilesAreRefusedAndTheDialogGoesOn)
{
    SilentPipe pipe(L"\\\\.\\pipe\\brmp-relay-" + std::to_wstring(::GetCurrentProcessId()));
    ASSERT_TRUE(pipe.IsValid());
    const std::wstring title = TextOf(m_dialog);
    struct Relayed
    {
        const char* name;
        std::wstring path;
    };
    const Relayed relayed[] = {
        {"a pipe that never writes", pipe.Name()},
        {"a serial port", L"\\\\.\\COM1"},
        {"the null device", L"NUL"},
        {"a pipe through the global root", L"\\\\?\\GLOBALROOT\\Device\\NamedPipe\\brmp-relay-" +
                                               std::to_wstring(::GetCurrentProcessId())},
        {"a folder", m_files.Path()},
    };
    for (const Relayed& r : relayed)
    {
        SCOPED_TRACE(r.name);
        const std::wstring text = RelayAndAnswer(L"/profile:\"" + r.path + L"\"");
        EXPECT_EQ(text.rfind(L"Unable to load the profile '", 0), 0u) << testing::PrintToString(text);
        EXPECT_EQ(TextOf(m_dialog), title) << "the dialog stays on its settings file";
    }
    programtest::SaveScreenshot(L"setup-dialog-hostile-relays.png");

    const std::wstring text = RelayAndAnswer(L"/import:\"" + pipe.Name() + L"\"");
    EXPECT_EQ(text, L"The selected file could not be imported.");
    EXPECT_TRUE(m_program.LogHas("is not a regular file; it is not read")) << m_program.Log();
    EXPECT_FALSE(IsEnabled(m_dialog, IDOK)) << "nothing changed";

    // The dialog still answers a click on Close, and the program an exit request.
    ASSERT_TRUE(ClickControl(::GetDlgItem(m_dialog, IDCANCEL)));
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(m_dialog); }, kDialogTimeoutMs)) << m_program.Log();
    ASSERT_TRUE(m_program.StartLater(L"/exit"));
    EXPECT_TRUE(m_program.Ended(programtest::kEndTimeoutMs));
}
