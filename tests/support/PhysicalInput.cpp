#include "PhysicalInput.h"

#include <atomic>
#include <cstdlib>

#include "CommandLine.h"
#include "TempFolder.h"
#include "WaitFor.h"

namespace brmptest
{

namespace
{

std::wstring Join(const std::vector<std::wstring>& arguments)
{
    std::wstring text;
    for (const std::wstring& arg : arguments)
    {
        if (!text.empty())
            text += L' ';
        text += arg;
    }
    return text;
}

const TempFolder& MarkerFolder()
{
    static TempFolder folder(L"brmpxdo");
    return folder;
}

std::wstring Widen(const std::string& utf8)
{
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::wstring Number(int value) { return std::to_wstring(value); }

} // namespace

std::string PhysicalInput::UnixPath(const std::wstring& windowsPath)
{
    using ToUnix = char*(CDECL*)(const wchar_t*);
    static const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr)
        return {};
    char* unix = toUnix(windowsPath.c_str());
    if (unix == nullptr)
        return {};
    std::string path = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return path;
}

bool PhysicalInput::StartUnixProgram(std::wstring commandLine)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // Wine runs a Unix program without a process or a thread object, yet reports
    // success with whatever its stack held as the two handles. They are not ours
    // to close: closing them closed live handles of this process, once the key
    // through which Wine reads the display configuration, after which every
    // display query rebuilt the display devices under a machine-wide mutex and
    // two threads of this process deadlocked inside Wine.
    return ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process) != FALSE;
}

::testing::AssertionResult PhysicalInput::Run(const std::vector<std::wstring>& arguments, DWORD timeoutMs)
{
    return RunTool(L"/usr/bin/xdotool", arguments, timeoutMs, nullptr);
}

::testing::AssertionResult PhysicalInput::Query(const std::vector<std::wstring>& arguments, std::string& output,
                                                DWORD timeoutMs)
{
    return RunTool(L"/usr/bin/xdotool", arguments, timeoutMs, &output);
}

::testing::AssertionResult PhysicalInput::RunTool(const wchar_t* tool, const std::vector<std::wstring>& arguments,
                                                  DWORD timeoutMs, std::string* output)
{
    std::wstring described = tool;
    described = described.substr(described.find_last_of(L'/') + 1) + L" " + Join(arguments);
    const TempFolder& folder = MarkerFolder();
    if (!folder)
        return ::testing::AssertionFailure() << "no temporary folder for " << described;

    // Wine starts a Unix program without a process handle to wait on: a shell
    // runs the tool and then leaves its exit code in a marker file we poll for
    // (and what it printed beside it).
    static std::atomic<unsigned> counter{0};
    const std::wstring marker = folder.PathOf(L"done-" + std::to_wstring(++counter));
    const std::wstring printed = marker + L".out";
    const std::string unixMarker = UnixPath(marker);
    if (unixMarker.empty())
        return ::testing::AssertionFailure() << "not running under Wine: cannot start " << described;

    std::wstring commandLine = L"/bin/sh -c ";
    commandLine += QuoteArgument(output != nullptr ? L"\"$@\" >\"$0.out\"; echo $? >\"$0.tmp\" && mv \"$0.tmp\" \"$0\""
                                                   : L"\"$@\"; echo $? >\"$0.tmp\" && mv \"$0.tmp\" \"$0\"");
    commandLine += L' ';
    commandLine += QuoteArgument(Widen(unixMarker));
    commandLine += L' ';
    commandLine += tool;
    for (const std::wstring& arg : arguments)
    {
        commandLine += L' ';
        commandLine += QuoteArgument(arg);
    }

    if (!StartUnixProgram(commandLine))
        return ::testing::AssertionFailure() << "cannot start " << described << " (error " << ::GetLastError() << ")";

    const bool finished = WaitFor([&] { return ::GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; },
                                  timeoutMs, 2);
    if (!finished)
        return ::testing::AssertionFailure() << described << " did not finish within " << timeoutMs << " ms";
    const std::optional<std::string> code = ReadFileBytes(marker);
    ::DeleteFileW(marker.c_str());
    if (output != nullptr)
    {
        *output = ReadFileBytes(printed).value_or(std::string());
        ::DeleteFileW(printed.c_str());
    }
    if (!code || std::atoi(code->c_str()) != 0)
        return ::testing::AssertionFailure() << described << " failed: exit code " << (code ? *code : "unknown");
    return ::testing::AssertionSuccess();
}

unsigned long PhysicalInput::XWindowOf(HWND window)
{
    const HWND top = window != nullptr ? ::GetAncestor(window, GA_ROOT) : nullptr;
    return top != nullptr ? static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(
                                ::GetPropW(top, L"__wine_x11_whole_window")))
                          : 0;
}

::testing::AssertionResult PhysicalInput::PrepareForInput(HWND window, DWORD timeoutMs)
{
    const unsigned long xwindow = XWindowOf(window);
    if (xwindow == 0)
        return ::testing::AssertionFailure() << "the window " << window << " has no X window";
    const std::wstring id = std::to_wstring(xwindow);
    std::string state;
    const bool mapped = WaitFor(
        [&] {
            return RunTool(L"/usr/bin/xwininfo", {L"-id", id}, timeoutMs, &state) &&
                   state.find("Map State: IsViewable") != std::string::npos;
        },
        timeoutMs, 20);
    if (!mapped)
        return ::testing::AssertionFailure() << "the X window " << xwindow << " of " << window
                                             << " was not mapped within " << timeoutMs << " ms:\n" << state;
    // Asked with the server's current time, which the X server never refuses.
    if (auto focused = Run({L"windowfocus", L"--sync", id}, timeoutMs); !focused)
        return focused;
    // A fence on the window's thread: once it answers, it has read the X focus
    // event too. A thread busy meanwhile (a dialog still painting) would
    // otherwise read it later and take the foreground back from whatever window
    // the test brings forward next.
    DWORD_PTR answer = 0;
    if (::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &answer) == 0)
        return ::testing::AssertionFailure() << "the thread of window " << window << " did not answer within "
                                             << timeoutMs << " ms";
    // Wine gives a key to the focus of the thread whose window has the X
    // focus: another window of the same thread (mapped late, say) does as well.
    std::string focus;
    if (!Query({L"getwindowfocus"}, focus))
        return ::testing::AssertionFailure() << "xdotool could not tell the X input focus";
    struct Search
    {
        unsigned long xwindow;
        bool found;
    } search{std::strtoul(focus.c_str(), nullptr, 10), false};
    ::EnumThreadWindows(
        ::GetWindowThreadProcessId(window, nullptr),
        [](HWND top, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            s.found = XWindowOf(top) == s.xwindow;
            return !s.found;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found)
    {
        std::string other;
        RunTool(L"/usr/bin/xwininfo", {L"-id", std::to_wstring(search.xwindow)}, timeoutMs, &other);
        return ::testing::AssertionFailure() << "the X input focus is on X window " << search.xwindow
                                             << ", of no window of the thread of X window " << xwindow << ":\n"
                                             << other;
    }
    return ::testing::AssertionSuccess();
}

namespace
{
// xdotool's --sync waits until the pointer has moved, which it never does when
// it already stands on the target: leave the option out then.
bool PointerAlreadyAt(int x, int y)
{
    POINT cursor{};
    return ::GetCursorPos(&cursor) && cursor.x == x && cursor.y == y;
}
} // namespace

::testing::AssertionResult PhysicalInput::MoveTo(int x, int y)
{
    if (PointerAlreadyAt(x, y))
        return Run({L"mousemove", Number(x), Number(y)});
    return Run({L"mousemove", L"--sync", Number(x), Number(y)});
}

::testing::AssertionResult PhysicalInput::MoveToAndWait(int x, int y, DWORD timeoutMs)
{
    if (auto moved = MoveTo(x, y); !moved)
        return moved;
    if (!WaitFor([&] { return PointerAlreadyAt(x, y); }, timeoutMs))
        return ::testing::AssertionFailure() << "the cursor did not arrive at " << x << "," << y;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PhysicalInput::MoveBy(int dx, int dy)
{
    // "--" keeps a negative offset from being read as an option.
    return Run({L"mousemove_relative", L"--sync", L"--", Number(dx), Number(dy)});
}

::testing::AssertionResult PhysicalInput::Click(int button, int count)
{
    return Run({L"click", L"--repeat", Number(count), L"--delay", L"40", Number(button)});
}

::testing::AssertionResult PhysicalInput::ClickAt(int x, int y, int button, int count)
{
    if (PointerAlreadyAt(x, y))
        return Run({L"mousemove", Number(x), Number(y), L"click", L"--repeat", Number(count), L"--delay", L"40",
                    Number(button)});
    return Run({L"mousemove", L"--sync", Number(x), Number(y), L"click", L"--repeat", Number(count), L"--delay", L"40",
                Number(button)});
}

::testing::AssertionResult PhysicalInput::ButtonDown(int button) { return Run({L"mousedown", Number(button)}); }

::testing::AssertionResult PhysicalInput::ButtonUp(int button) { return Run({L"mouseup", Number(button)}); }

::testing::AssertionResult PhysicalInput::Wheel(int notches)
{
    if (notches == 0)
        return ::testing::AssertionSuccess();
    return Click(notches > 0 ? kWheelUp : kWheelDown, std::abs(notches));
}

::testing::AssertionResult PhysicalInput::HorizontalWheel(int notches)
{
    if (notches == 0)
        return ::testing::AssertionSuccess();
    return Click(notches > 0 ? kWheelRight : kWheelLeft, std::abs(notches));
}

::testing::AssertionResult PhysicalInput::KeyDown(const std::wstring& keysym) { return Run({L"keydown", keysym}); }

::testing::AssertionResult PhysicalInput::KeyUp(const std::wstring& keysym) { return Run({L"keyup", keysym}); }

::testing::AssertionResult PhysicalInput::KeyTap(const std::wstring& keysym) { return Run({L"key", keysym}); }

::testing::AssertionResult PhysicalInput::Type(const std::wstring& text)
{
    return Run({L"type", L"--delay", L"20", L"--", text});
}

} // namespace brmptest
