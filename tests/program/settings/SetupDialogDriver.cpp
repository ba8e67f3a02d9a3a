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

::testing::AssertionResult SetupDialogTest::ClickApplyUntil(const std::function<bool()>& saved)
{
    for (int round = 0; round < 3; ++round)
    {
        if (IsEnabled(m_dialog, IDOK))
            if (auto clicked = ClickOn(::GetDlgItem(m_dialog, IDOK)); !clicked)
                return clicked;
        if (brmptest::WaitFor(saved, 5000))
            return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the file never held the change";
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
    for (int round = 0; round < 3; ++round)
    {
        const int height = static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
        const int top = static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0));
        POINT at{60, (entry - top) * height + height / 2};
        ::ClientToScreen(list, &at);
        if (auto clicked = brmptest::PhysicalInput::ClickAt(at.x, at.y, brmptest::PhysicalInput::kLeft); !clicked)
            return clicked;
        if (brmptest::WaitFor([&] { return ::SendMessageW(list, LB_GETCURSEL, 0, 0) == entry; }))
            return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "profile entry " << entry << " is not selected";
}

namespace
{
struct NamedDialog
{
    DWORD pid;
    const std::wstring* titleStart;
    HWND found = nullptr;
};

BOOL CALLBACK VisitNamed(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<NamedDialog*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && ::IsWindowVisible(window) && TextOf(window).rfind(*search->titleStart, 0) == 0)
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The file name box of the system's file dialogs: the combo box cmb13
// (its edit takes the text) or the edit edt1 of older layouts.
HWND FileNameControl(HWND dialog)
{
    HWND control = nullptr;
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) -> BOOL {
            const int id = ::GetDlgCtrlID(child);
            if ((id == 0x47C || id == 0x480) && ::IsWindowVisible(child))
            {
                *reinterpret_cast<HWND*>(param) = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&control));
    return control;
}
}

HWND WaitForDialogTitled(DWORD processId, const std::wstring& titleStart, DWORD timeoutMs)
{
    NamedDialog search{processId, &titleStart};
    brmptest::WaitFor(
        [&] {
            search.found = nullptr;
            ::EnumWindows(VisitNamed, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

::testing::AssertionResult AnswerFileDialog(HWND dialog, const std::wstring& path)
{
    HWND name = nullptr;
    brmptest::WaitFor([&] { return (name = FileNameControl(dialog)) != nullptr; }, kDialogTimeoutMs);
    if (name == nullptr)
        return ::testing::AssertionFailure() << "no file name box in " << programtest::DescribeWindows();
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SetupDialogTest::SelectEntry(int entry)
{
    const HWND list = ::GetDlgItem(m_dialog, IDC_SETUP_PROFILES);
    const int height = static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    const int top = static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    POINT at{60, (entry - top) * height + height / 2};
    ::ClientToScreen(list, &at);
    if (auto clicked = brmptest::PhysicalInput::ClickAt(at.x, at.y, brmptest::PhysicalInput::kLeft); !clicked)
        return clicked;
    if (brmptest::WaitFor([&] { return ::SendMessageW(list, LB_GETCURSEL, 0, 0) == entry; }, kDialogTimeoutMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "profile entry " << entry << " is not selected";
}

} // namespace setuptest
