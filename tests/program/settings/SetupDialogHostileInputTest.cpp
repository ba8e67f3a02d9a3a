// The real program's settings dialog against what other processes may hand
// it: names of devices, pipes and folders relayed as profile or import files
// by a later start, and the library's note about the profile in force sent
// with junk by anyone. The dialog refuses each with its message and goes on
// answering; nothing it is sent is taken as a pointer.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "TempFolder.h"
#include "WaitFor.h"

using brmptest::PhysicalInput;
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

    void Prepare(CSettings& settings) override
    {
        auto* probe = new CApplicationSettings(&settings, false, -1);
        probe->SetApplication(L"brmpprobe.exe");
        settings.AddApplication(probe);
        StartProbe(RECT{1010, 760, 1270, 990});
    }

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

    // Whether the entry's text is drawn in the colour (the list's marking of the engine's profile).
    bool EntryDrawnIn(int entry, COLORREF colour)
    {
        const HWND list = ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES);
        const int height = static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
        const int top = static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0));
        POINT at{0, (entry - top) * height};
        ::ClientToScreen(list, &at);
        const HDC screen = ::GetDC(nullptr);
        bool found = false;
        for (int y = at.y; y < at.y + height && !found; ++y)
            for (int x = at.x + 17; x < at.x + 127 && !found; ++x)
                found = ::GetPixel(screen, x, y) == colour;
        ::ReleaseDC(nullptr, screen);
        return found;
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

TEST_F(SetupDialogHostileInput, AJunkNoteAboutTheProfileInForceLeavesTheDialogAliveAndItsMarkRight)
{
    // A click in the probe puts its profile in force: the list marks its entry
    // in the colour of a marked entry that is not selected.
    constexpr int kProbeEntry = 1;
    constexpr COLORREF kMarked = RGB(249, 0, 0);
    constexpr COLORREF kMarkedSelected = RGB(255, 255, 0x88);
    ASSERT_TRUE(m_probe->Activate());
    const POINT centre = m_probe->Center();
    ASSERT_TRUE(PhysicalInput::ClickAt(centre.x, centre.y, PhysicalInput::kLeft));
    ASSERT_TRUE(WaitFor([&] { return EntryDrawnIn(kProbeEntry, kMarked); }, kDialogTimeoutMs)) << m_program.Log();

    // Anyone may post or send the registered note, with anything in it.
    const UINT note = ::RegisterWindowMessageW(L"BRMP_ProcessChanged");
    ASSERT_TRUE(::PostMessageW(m_dialog, note, 0x1234, static_cast<LPARAM>(0xDEAD0000BEEF)));
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(m_dialog, note, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);

    // Selecting the probe's entry, posted after the notes, is handled after them.
    const HWND list = ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES);
    ::PostMessageW(list, LB_SETCURSEL, kProbeEntry, 0);
    ::PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(IDC_SETUP_PROFILES, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    ASSERT_TRUE(WaitFor([&] { return TextOf(m_dialog, IDC_SETUP_PROCESS) == L"brmpprobe.exe"; }, kDialogTimeoutMs))
        << "the dialog no longer answers\n" << m_program.Log();
    EXPECT_FALSE(m_program.Ended(0));
    EXPECT_TRUE(WaitFor([&] { return EntryDrawnIn(kProbeEntry, kMarkedSelected); }, kDialogTimeoutMs))
        << "the mark stays with the profile the engine has in force";
    programtest::SaveScreenshot(L"setup-dialog-junk-note.png");
}
