#include "SetupDialogDriver.h"

#include <commctrl.h>
#include <prsht.h>

#include <vector>

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
    // Clicks and keys of the tests reach the dialog only once Wine has mapped
    // it and the X input focus is there.
    ASSERT_TRUE(brmptest::PhysicalInput::PrepareForInput(m_dialog));
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
    // The entry's short name, which the information box shows for the
    // profile as its description or else its process (the default profile
    // shows the process "All").
    std::wstring name = L"All";
    if (entry > 0)
    {
        wchar_t text[512] = L"";
        if (::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(entry), 0) < 512)
            ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(entry), reinterpret_cast<LPARAM>(text));
        name = text;
    }
    const auto shown = [&] {
        return TextOf(m_dialog, IDC_SETUP_PROCESS) == name || (entry > 0 && TextOf(m_dialog, IDC_SETUP_DESCRIPTION) == name);
    };
    if (auto clicked = brmptest::PhysicalInput::ClickAt(at.x, at.y, brmptest::PhysicalInput::kLeft); !clicked)
        return clicked;
    // The list selects the entry when the button goes down; the dialog shows
    // the profile (information box and pages alike) once the button is up.
    // Until then the pages still hold the profile selected before.
    if (!brmptest::WaitFor([&] {
            return ::SendMessageW(list, LB_GETCURSEL, 0, 0) == entry && shown();
        }))
        return ::testing::AssertionFailure() << "profile entry " << entry << " is not shown after the click (entry "
                                             << ::SendMessageW(list, LB_GETCURSEL, 0, 0) << " is selected, the process "
                                             << ::testing::PrintToString(TextOf(m_dialog, IDC_SETUP_PROCESS))
                                             << " is shown, " << ::testing::PrintToString(name) << " expected)";
    return ::testing::AssertionSuccess();
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

HWND DialogWithControl(DWORD processId, int controlId, const wchar_t* title)
{
    struct Search
    {
        DWORD processId;
        int controlId;
        const wchar_t* title;
        HWND found;
    } search{processId, controlId, title, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != s.processId || !::IsWindowVisible(window) || ::GetDlgItem(window, s.controlId) == nullptr)
                return TRUE;
            if (s.title != nullptr && programtest::WindowTextOf(window) != s.title)
                return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
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

HWND FindPage(HWND dialog, int controlId, bool shownOnly)
{
    struct PageSearch
    {
        int id;
        bool shownOnly;
        HWND found;
    } search{controlId, shownOnly, nullptr};
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<PageSearch*>(param);
            wchar_t cls[32] = L"";
            ::GetClassNameW(child, cls, 32);
            if (std::wstring(cls) == L"#32770" && ::GetDlgItem(child, s->id) != nullptr &&
                (!s->shownOnly || ::IsWindowVisible(child)))
            {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int SelectedTab(HWND dialog, int tabsId)
{
    DWORD_PTR selected = static_cast<DWORD_PTR>(-1);
    ::SendMessageTimeoutW(::GetDlgItem(dialog, tabsId), TCM_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &selected);
    return static_cast<int>(static_cast<LRESULT>(selected));
}

namespace
{
// The rectangle of a tab, in screen coordinates. The tab control answers
// into memory of its own process, which is lent to it for the question.
bool TabRect(HWND tabs, int index, RECT& rect)
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(tabs, &processId);
    const HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process == nullptr)
        return false;
    bool found = false;
    if (void* remote = ::VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
    {
        DWORD_PTR answer = 0;
        SIZE_T read = 0;
        found = ::SendMessageTimeoutW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote),
                                      SMTO_ABORTIFHUNG, 5000, &answer) &&
                answer != 0 && ::ReadProcessMemory(process, remote, &rect, sizeof(rect), &read) && read == sizeof(rect);
        ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    ::CloseHandle(process);
    if (found)
        ::MapWindowPoints(tabs, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return found;
}
}

::testing::AssertionResult ClickTab(HWND dialog, int index, int tabsId)
{
    RECT rect{};
    if (!TabRect(::GetDlgItem(dialog, tabsId), index, rect))
        return ::testing::AssertionFailure() << "tab " << index << " has no rectangle";
    if (auto clicked = brmptest::PhysicalInput::ClickAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2,
                                                        brmptest::PhysicalInput::kLeft);
        !clicked)
        return clicked;
    if (!brmptest::WaitFor([&] { return SelectedTab(dialog, tabsId) == index; }, kDialogTimeoutMs))
        return ::testing::AssertionFailure() << "tab " << index << " was not selected (tab "
                                             << SelectedTab(dialog, tabsId) << " is)";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ClickControlAt(HWND control, int x, int y)
{
    if (control == nullptr || !::IsWindowVisible(control))
        return ::testing::AssertionFailure() << "the control is missing or hidden";
    POINT at{x, y};
    RECT window{};
    ::GetWindowRect(control, &window);
    return brmptest::PhysicalInput::ClickAt(window.left + at.x, window.top + at.y, brmptest::PhysicalInput::kLeft);
}

::testing::AssertionResult ClickControl(HWND control)
{
    RECT window{};
    ::GetWindowRect(control, &window);
    return ClickControlAt(control, (window.right - window.left) / 2, (window.bottom - window.top) / 2);
}

namespace
{
HWND FocusOfThread(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}
}

::testing::AssertionResult TypeIntoEdit(HWND edit, const std::wstring& text)
{
    if (edit == nullptr || !::IsWindowVisible(edit) || !::IsWindowEnabled(edit))
        return ::testing::AssertionFailure() << "the edit is missing, hidden or disabled";
    if (auto clicked = ClickControl(edit); !clicked)
        return clicked;
    // Keys typed before the click gave the edit the focus would go elsewhere.
    if (!brmptest::WaitFor([&] { return FocusOfThread(edit) == edit; }, kDialogTimeoutMs))
        return ::testing::AssertionFailure() << "the click gave the edit no focus";
    std::vector<std::wstring> arguments = {L"key", L"End", L"shift+Home", L"BackSpace"};
    if (!text.empty())
        arguments.insert(arguments.end(), {L"type", text});
    if (auto typed = brmptest::PhysicalInput::Run(arguments); !typed)
        return typed;
    if (!brmptest::WaitFor([&] { return TextOf(edit) == text; }, kDialogTimeoutMs))
        return ::testing::AssertionFailure() << "the edit holds " << ::testing::PrintToString(TextOf(edit));
    return ::testing::AssertionSuccess();
}

LRESULT CheckState(HWND box)
{
    DWORD_PTR state = static_cast<DWORD_PTR>(-1);
    ::SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return static_cast<LRESULT>(state);
}

HWND FindPopupMenu(DWORD processId)
{
    HWND menu = nullptr;
    while ((menu = ::FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr)
    {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(menu, &owner);
        if (owner == processId && ::IsWindowVisible(menu))
            return menu;
    }
    return nullptr;
}

HWND FindSettingsSheet(DWORD processId)
{
    HWND sheet = nullptr;
    while ((sheet = ::FindWindowExW(nullptr, sheet, L"#32770", L"Global Settings")) != nullptr)
    {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(sheet, &owner);
        DWORD_PTR page = 0;
        if (owner == processId &&
            ::SendMessageTimeoutW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 5000, &page) && page != 0)
            return sheet;
    }
    return nullptr;
}

HWND SheetPageControl(HWND sheet, int id)
{
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    const auto page = reinterpret_cast<HWND>(answer);
    if (const HWND direct = ::GetDlgItem(page, id))
        return direct;
    for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
        if (const HWND inner = ::GetDlgItem(child, id))
            return inner;
    return nullptr;
}

} // namespace setuptest
