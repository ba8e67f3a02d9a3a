#include "ProgramRunner.h"

#include <shellapi.h>

#include "CommandLine.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "WaitFor.h"

namespace programtest
{
ProgramCopy::ProgramCopy(const wchar_t* folderPrefix) : m_folder(folderPrefix)
{
}

ProgramProcess::~ProgramProcess()
{
    Stop();
}

ProgramCopy::~ProgramCopy()
{
    // Before the folder goes: a running program holds its files.
    Stop();
}

void ProgramProcess::Stop()
{
    if (m_info.hProcess != nullptr)
    {
        if (::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT)
        {
            // Ask first (the tray icon goes with a clean end), then insist.
            if (HWND window = MainWindow())
                ::PostMessageW(window, WM_CLOSE, 0, 0);
            if (!Ended(kEndTimeoutMs))
                ::TerminateProcess(m_info.hProcess, 99);
        }
        // Ended() may no longer be asked: the handles go.
        ::WaitForSingleObject(m_info.hProcess, 5000);
        ::CloseHandle(m_info.hProcess);
        ::CloseHandle(m_info.hThread);
        m_info = PROCESS_INFORMATION{};
    }
}

::testing::AssertionResult ProgramCopy::Prepare()
{
    if (!m_folder)
        return ::testing::AssertionFailure() << "no temporary folder for the program copy";
    const std::wstring from = brmptest::ExecutableFolder();
    // The stack-protector run-time exists only with some MinGW builds; the rest
    // is built beside the tests, so a missing part is a broken set-up.
    for (const wchar_t* name : {L"Brindlemap.exe", L"Snarehold.dll", L"pugixml.dll", L"libstdc++-6.dll",
                                L"libgcc_s_seh-1.dll", L"libwinpthread-1.dll", L"libssp-0.dll"})
    {
        const std::wstring source = from + name;
        const bool optional = std::wstring_view(name) == L"libssp-0.dll";
        if (::GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES)
        {
            if (optional)
                continue;
            return ::testing::AssertionFailure()
                   << ::testing::PrintToString(source) << " is missing beside the tests";
        }
        if (!::CopyFileW(source.c_str(), m_folder.PathOf(name).c_str(), FALSE))
            return ::testing::AssertionFailure() << "copying " << ::testing::PrintToString(source) << " failed (error "
                                                 << ::GetLastError() << ")";
    }
    return ::testing::AssertionSuccess();
}

bool ProgramCopy::StartLater(const std::wstring& arguments, DWORD timeoutMs) const
{
    ProgramProcess later;
    return later.Start(ExePath(), m_folder.Path(), arguments) && later.Ended(timeoutMs);
}

bool TrayHasIcon(HWND mainWindow)
{
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof(record);
    record.hWnd = mainWindow;
    record.uID = 1;
    return ::Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

POINT TrayIconPoint()
{
    RECT bar{};
    ::GetWindowRect(::FindWindowW(L"Shell_TrayWnd", nullptr), &bar);
    const int size = bar.bottom - bar.top;
    return {bar.right - size / 2, bar.top + size / 2};
}

bool ProgramProcess::Start(const std::wstring& exe, const std::wstring& workingFolder, const std::wstring& arguments,
                           const wchar_t* desktop)
{
    if (m_info.hProcess != nullptr)
        return false;
    std::wstring line = brmptest::QuoteArgument(exe) + L" " + arguments;
    std::wstring desktopName = desktop != nullptr ? desktop : L"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.lpDesktop = desktop != nullptr ? desktopName.data() : nullptr;
    return ::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, workingFolder.c_str(),
                            &startup, &m_info) != FALSE;
}

bool ProgramProcess::Ended(DWORD timeoutMs) const
{
    if (m_info.hProcess == nullptr)
        return true;
    return brmptest::WaitFor([&] { return ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs,
                             50);
}

DWORD ProgramProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

HWND ProgramProcess::MainWindow() const
{
    struct Search
    {
        DWORD pid;
        HWND found;
    } search{m_info.dwProcessId, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            if (pid != s->pid)
                return TRUE;
            wchar_t cls[256] = L"";
            wchar_t title[256] = L"";
            ::GetClassNameW(window, cls, 256);
            ::GetWindowTextW(window, title, 256);
            if (cls[0] != L'\0' && std::wstring(cls) == title)
            {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ProgramProcess::WaitForMainWindow(DWORD timeoutMs) const
{
    HWND window = nullptr;
    brmptest::WaitFor([&] { return (window = MainWindow()) != nullptr || Ended(0); }, timeoutMs, 50);
    return window;
}

std::string ProgramCopy::Log() const
{
    HANDLE file = ::CreateFileW(m_folder.PathOf(L"Brindlemap.log").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    ::CloseHandle(file);
    return text;
}

std::string ProgramCopy::LogTail(std::size_t lines) const
{
    const std::string log = Log();
    std::size_t start = log.size();
    for (std::size_t seen = 0; start > 0 && seen <= lines; --start)
        if (log[start - 1] == '\n')
            ++seen;
    return log.substr(start);
}

int ProgramCopy::LogCount(const char* text) const
{
    const std::string log = Log();
    const std::string_view wanted(text);
    int count = 0;
    for (std::size_t at = log.find(wanted); !wanted.empty() && at != std::string::npos; at = log.find(wanted, at + 1))
        ++count;
    return count;
}

bool ProgramCopy::WaitForLog(const char* text, DWORD timeoutMs) const
{
    return brmptest::WaitFor([&] { return LogHas(text); }, timeoutMs, 50);
}

bool SaveScreenshot(const std::wstring& fileName)
{
    std::wstring file = brmptest::ExecutableFolder() + fileName;
    if (file.size() > 2 && (file[0] == L'Z' || file[0] == L'z') && file[1] == L':')
        file = file.substr(2);
    for (wchar_t& c : file)
        if (c == L'\\')
            c = L'/';
    // Wine gives no handle to wait on for a Unix program: the picture is
    // written under another name and renamed when complete, and that is polled for.
    const std::wstring windowsFile = brmptest::ExecutableFolder() + fileName;
    ::DeleteFileW(windowsFile.c_str());
    std::wstring line = L"/bin/sh -c \"/usr/bin/import -window root \\\"$0.part.png\\\" && mv \\\"$0.part.png\\\" "
                        L"\\\"$0\\\"\" \"" + file + L"\"";
    if (!brmptest::PhysicalInput::StartUnixProgram(line))
        return false;
    return brmptest::WaitFor([&] { return ::GetFileAttributesW(windowsFile.c_str()) != INVALID_FILE_ATTRIBUTES; },
                             20000, 50);
}

namespace
{
// The number of window's visible descendants with a part still to paint.
int DescendantsToPaint(HWND window)
{
    int count = 0;
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            if (::IsWindowVisible(child) && ::GetUpdateRect(child, nullptr, FALSE))
                ++*reinterpret_cast<int*>(context);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}
} // namespace

::testing::AssertionResult WaitUntilPainted(HWND window, DWORD timeoutMs)
{
    int left = 0;
    const bool painted = brmptest::WaitFor(
        [&] {
            left = DescendantsToPaint(window) + (::GetUpdateRect(window, nullptr, FALSE) ? 1 : 0);
            return left == 0;
        },
        timeoutMs);
    if (!painted)
        return ::testing::AssertionFailure() << left << " windows were still to be painted after " << timeoutMs << " ms";
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &answer))
        return ::testing::AssertionFailure() << "the window's thread did not answer (error " << ::GetLastError() << ")";
    return ::testing::AssertionSuccess();
}

namespace
{
struct ClassSearch
{
    const wchar_t* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<ClassSearch*>(param);
    wchar_t cls[256] = L"";
    ::GetClassNameW(window, cls, 256);
    if (std::wstring(cls) == search->className && (!search->visibleOnly || ::IsWindowVisible(window)))
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK SearchTopLevel(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<ClassSearch*>(param);
    if (!MatchClass(window, param))
        return FALSE;
    ::EnumChildWindows(window, &MatchClass, param);
    return search->found == nullptr;
}
} // namespace

HWND FindWindowOfClass(const wchar_t* className, bool visibleOnly)
{
    ClassSearch search{className, visibleOnly, nullptr};
    ::EnumWindows(&SearchTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr)
        ::EnumChildWindows(::GetDesktopWindow(), &MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace
{
BOOL CALLBACK DescribeOne(HWND window, LPARAM param)
{
    auto* text = reinterpret_cast<std::string*>(param);
    if (text->size() > 20000)
        return FALSE;
    char cls[128] = "";
    ::GetClassNameA(window, cls, 128);
    RECT box{};
    ::GetWindowRect(window, &box);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    *text += std::string(::GetParent(window) ? "  " : "") + cls + " pid " + std::to_string(pid) + " (" +
             std::to_string(box.left) + "," + std::to_string(box.top) + ")-(" + std::to_string(box.right) + "," +
             std::to_string(box.bottom) + ")" + (::IsWindowVisible(window) ? " visible" : "") + "\n";
    return TRUE;
}

BOOL CALLBACK DescribeTopLevel(HWND window, LPARAM param)
{
    DescribeOne(window, param);
    ::EnumChildWindows(window, &DescribeOne, param);
    return TRUE;
}
} // namespace

std::string DescribeWindows()
{
    std::string text;
    ::EnumWindows(&DescribeTopLevel, reinterpret_cast<LPARAM>(&text));
    return text;
}

std::wstring WindowTextOf(HWND window)
{
    wchar_t text[512] = L"";
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                               &copied))
        return {};
    text[511] = L'\0';
    return text;
}
std::wstring TypedOrMiddleClick(brmptest::Probe& probe, DWORD timeoutMs)
{
    std::wstring seen;
    brmptest::WaitFor(
        [&] {
            seen.clear();
            for (const auto& record : probe.Records())
            {
                if (record.Is(L"WM_CHAR"))
                    seen += static_cast<wchar_t>(record.Value(L"char"));
                else if (record.Is(L"WM_MBUTTONUP"))
                    seen += L'M';
            }
            return !seen.empty();
        },
        timeoutMs);
    return seen;
}

std::wstring MiddleClickInProbe(brmptest::Probe& probe, int dx)
{
    if (!probe.Activate())
        return L"(probe not focused)";
    probe.Clear();
    const POINT at = probe.Center();
    if (!brmptest::PhysicalInput::ClickAt(at.x + dx, at.y, brmptest::PhysicalInput::kMiddle))
        return L"(no click)";
    return TypedOrMiddleClick(probe);
}

} // namespace programtest
