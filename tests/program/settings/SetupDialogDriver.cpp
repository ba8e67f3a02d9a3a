#include "SetupDialogDriver.h"

#include "Control.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Settings.h"
#include "SetupDialogIds.h"
#include "TempFolder.h"
#include "WaitFor.h"

namespace setuptest
{
namespace
{
const wchar_t kTitleStart[] = L"Brindlemap - Setup v";

struct Search
{
    DWORD pid;
    bool setup;   // looking for the settings dialog, else for a box
    HWND found = nullptr;
    int count = 0;
};

bool IsSetupTitle(HWND window)
{
    const std::wstring title = TextOf(window);
    return title.rfind(kTitleStart, 0) == 0;
}

BOOL CALLBACK Visit(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !::IsWindowVisible(window))
        return TRUE;
    wchar_t cls[64] = L"";
    ::GetClassNameW(window, cls, 64);
    if (std::wstring(cls) != L"#32770")
        return TRUE;
    if (IsSetupTitle(window) == search->setup)
    {
        if (search->found == nullptr)
            search->found = window;
        ++search->count;
    }
    return TRUE;
}

BOOL CALLBACK LongestStatic(HWND child, LPARAM param)
{
    wchar_t cls[64] = L"";
    ::GetClassNameW(child, cls, 64);
    if (std::wstring(cls) == L"Static")
    {
        auto* out = reinterpret_cast<std::wstring*>(param);
        const std::wstring text = TextOf(child);
        if (text.size() > out->size())
            *out = text;
    }
    return TRUE;
}
}

HWND FindSetupDialog(DWORD processId)
{
    Search search{processId, true};
    ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForSetupDialog(DWORD processId, DWORD timeoutMs)
{
    HWND dialog = nullptr;
    brmptest::WaitFor([&] { return (dialog = FindSetupDialog(processId)) != nullptr; }, timeoutMs);
    return dialog;
}

int CountSetupDialogs(DWORD processId)
{
    Search search{processId, true};
    ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

HWND FindMessageBox(DWORD processId, std::wstring* text)
{
    Search search{processId, false};
    ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr && text != nullptr)
    {
        text->clear();
        ::EnumChildWindows(search.found, &LongestStatic, reinterpret_cast<LPARAM>(text));
    }
    return search.found;
}

HWND WaitForMessageBox(DWORD processId, std::wstring* text, DWORD timeoutMs)
{
    HWND box = nullptr;
    brmptest::WaitFor([&] { return (box = FindMessageBox(processId, text)) != nullptr; }, timeoutMs);
    return box;
}

void Answer(HWND box, int button)
{
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
}

void Click(HWND dialog, int id)
{
    ::PostMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool IsEnabled(HWND dialog, int id)
{
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

std::wstring TextOf(HWND window)
{
    return programtest::WindowTextOf(window);
}

std::wstring TextOf(HWND dialog, int id)
{
    return programtest::WindowTextOf(::GetDlgItem(dialog, id));
}

void SetupDialogTest::SetUp()
{
    ASSERT_TRUE(m_program.Prepare());
    CSettings settings(false, GetStartupMouseInfo());
    settings.m_bNotifications = false;
    ASSERT_NO_FATAL_FAILURE(Prepare(settings));
    ASSERT_TRUE(m_program.WriteSettings(settings));
    ASSERT_TRUE(m_program.Start(m_arguments));
    const HWND dialog = WaitForSetupDialog(m_program.ProcessId(), programtest::kStartTimeoutMs);
    ASSERT_NE(dialog, nullptr) << m_program.Log() << programtest::DescribeWindows();
    m_dialog = dialog;
}

void SetupDialogTest::StartProbe(const RECT& rect, const wchar_t* switches)
{
    brmptest::ProbeOptions options;
    options.rect = rect;
    ::SetEnvironmentVariableW(L"BRMP_PROBE_SWITCHES", switches);
    m_probe = std::make_unique<brmptest::Probe>(options);
    const ::testing::AssertionResult started = m_probe->Start();
    ::SetEnvironmentVariableW(L"BRMP_PROBE_SWITCHES", nullptr);
    ASSERT_TRUE(started);
}

std::unique_ptr<CSettings> SetupDialogTest::Saved() const
{
    const std::optional<std::string> bytes = brmptest::ReadFileBytes(SettingsFile());
    const std::wstring copy = m_program.Folder().PathOf(L"saved-copy.xml");
    if (!bytes || bytes->empty() || !brmptest::WriteFileBytes(copy, *bytes))
        return nullptr;
    auto saved = std::make_unique<CSettings>(false, GetStartupMouseInfo());
    bool regions = false;
    if (!saved->Load(copy.c_str(), regions, false))
        return nullptr;
    return saved;
}

void SetupDialogTest::Apply()
{
    ASSERT_TRUE(brmptest::WaitFor([&] { return IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs));
    Click(m_dialog, IDOK);
    ASSERT_TRUE(brmptest::WaitFor([&] { return !IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs)) << m_program.Log();
}

::testing::AssertionResult SetupDialogTest::ClickApply(const std::function<bool()>& saved)
{
    if (!brmptest::WaitFor([&] { return IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs))
        return ::testing::AssertionFailure() << "Apply never became enabled";
    if (auto clicked = ClickOn(::GetDlgItem(m_dialog, IDOK)); !clicked)
        return clicked;
    // Apply is disabled again once the file is written and the library told.
    if (!brmptest::WaitFor([&] { return !IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs))
        return ::testing::AssertionFailure() << "Apply stayed enabled after the click";
    if (!saved())
        return ::testing::AssertionFailure() << "the file does not hold the change";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SetupDialogTest::ClickOn(HWND window)
{
    if (window == nullptr || !::IsWindowEnabled(window))
        return ::testing::AssertionFailure() << "the control is missing or disabled";
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return brmptest::PhysicalInput::ClickAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2,
                                            brmptest::PhysicalInput::kLeft);
}

::testing::AssertionResult SetupDialogTest::SelectProfileByClick(int entry)
{
    const HWND list = ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES);
    const int height = static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    const int top = static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    POINT at{60, (entry - top) * height + height / 2};
    ::ClientToScreen(list, &at);
    // The entry's process, as the information box shows it for the profile
    // (the default profile's is "All").
    std::wstring process = L"All";
    if (entry > 0)
    {
        wchar_t text[512] = L"";
        if (::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(entry), 0) < 512)
            ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(entry), reinterpret_cast<LPARAM>(text));
        process = text;
    }
    if (auto clicked = brmptest::PhysicalInput::ClickAt(at.x, at.y, brmptest::PhysicalInput::kLeft); !clicked)
        return clicked;
    // The list selects the entry when the button goes down; the dialog shows
    // the profile (information box and pages alike) once the button is up.
    // Until then the pages still hold the profile selected before.
    if (!brmptest::WaitFor([&] {
            return ::SendMessageW(list, LB_GETCURSEL, 0, 0) == entry && TextOf(m_dialog, IDC_SETUP_PROCESS) == process;
        }))
        return ::testing::AssertionFailure() << "profile entry " << entry << " is not shown after the click (entry "
                                             << ::SendMessageW(list, LB_GETCURSEL, 0, 0) << " is selected, the process "
                                             << ::testing::PrintToString(TextOf(m_dialog, IDC_SETUP_PROCESS))
                                             << " is shown, " << ::testing::PrintToString(process) << " expected)";
    return ::testing::AssertionSuccess();
}

} // namespace setuptest
