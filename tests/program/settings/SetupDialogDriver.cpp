#include "SetupDialogDriver.h"

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

} // namespace setuptest
