// BrmpProbe.exe: a real top-level window for the end-to-end tests. It records
// every message of interest it receives into a file, one line per message
// ("NAME key=value ..."), and writes "READY" once it is shown, painted,
// foreground and focused, so that a test knows input can reach it.
//
// BrmpProbe.exe --record <file> [--title <text>] [--rect <x>,<y>,<width>,<height>]
//               [--parent <pid>] [--no-activate] [--moves] [--no-dblclk] [--topmost]
//               [--keep-on-close] [--own-scroll] [--scroll-child] [--slow-caption <ms>] [--slow-hittest <ms>]
//               [--caption-answer <text>]
// BrmpProbe.exe --record <file> --system-parameters
//
// --parent: exit when that process ends, so a crashed test leaves no probe behind.
// --no-activate: shown without taking the foreground; ready once painted.
// --moves: WM_MOUSEMOVE is recorded too (off by default: it floods the file).
// --keep-on-close: WM_CLOSE is recorded and the window stays.
// --own-scroll: the window shows its own vertical and horizontal scroll bars.
// --scroll-child: the window holds a vertical and a horizontal scroll-bar
//   control; WM_VSCROLL/WM_HSCROLL record which window received them (target)
//   and what their lParam named (from), see ScrollRecord.
// --slow-caption: WM_GETTEXTLENGTH and WM_GETTEXT sent by another thread are
//   recorded ("WM_GETTEXT" with length=1 for the length) and answered only
//   after that many milliseconds, as by a window whose application is busy.
// --slow-hittest: WM_NCHITTEST sent by another thread is answered only after
//   that many milliseconds, as by a window whose application is busy.
// --caption-answer: WM_GETTEXTLENGTH and WM_GETTEXT sent by another thread are
//   answered with this text instead of the window's caption (its title).
// --system-parameters: no window; records "SYSTEM speed=<pointer speed>
//   lines=<wheel lines> precision=<0|1>" as the system reports them now and
//   exits. A process under Wine keeps the values it read first and never sees
//   another process's later change, so a test reads them through a fresh
//   process.
// Switches without a value may also come from the environment variable
// BRMP_PROBE_SWITCHES (blank-separated), for tests whose launcher has no field
// for them.

#include <windows.h>
#include <windowsx.h>

#include <cstdlib>
#include <cwchar>
#include <deque>
#include <string>
#include <vector>

#include "RecordFile.h"

namespace
{

struct Options
{
    std::wstring record;
    std::wstring title = L"BrmpProbe";
    bool hasRect = false;
    RECT rect{};
    DWORD parent = 0;
    bool activate = true;
    bool moves = false;
    bool doubleClicks = true;
    bool topmost = false;
    bool keepOnClose = false;
    bool ownScroll = false;
    bool scrollChild = false;
    DWORD slowCaptionMs = 0;
    DWORD slowHitTestMs = 0;
    std::wstring captionAnswer;
    bool systemParameters = false;
};

bool ParseRect(const wchar_t* text, RECT& rect)
{
    long values[4];
    const wchar_t* p = text;
    for (int i = 0; i < 4; ++i)
    {
        wchar_t* end = nullptr;
        values[i] = std::wcstol(p, &end, 10);
        if (end == p || (i < 3 && *end != L','))
            return false;
        p = end + (i < 3 ? 1 : 0);
    }
    if (*p != L'\0' || values[2] <= 0 || values[3] <= 0 || values[2] > 32767 || values[3] > 32767)
        return false;
    rect = {values[0], values[1], values[0] + values[2], values[1] + values[3]};
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--record" && hasValue)
            options.record = argv[++i];
        else if (arg == L"--title" && hasValue)
            options.title = argv[++i];
        else if (arg == L"--rect" && hasValue)
        {
            if (!ParseRect(argv[++i], options.rect))
                return false;
            options.hasRect = true;
        }
        else if (arg == L"--parent" && hasValue)
            options.parent = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        else if (arg == L"--no-activate")
            options.activate = false;
        else if (arg == L"--moves")
            options.moves = true;
        else if (arg == L"--no-dblclk")
            options.doubleClicks = false;
        else if (arg == L"--topmost")
            options.topmost = true;
        else if (arg == L"--keep-on-close")
            options.keepOnClose = true;
        else if (arg == L"--own-scroll")
            options.ownScroll = true;
        else if (arg == L"--scroll-child")
            options.scrollChild = true;
        else if (arg == L"--slow-caption" && hasValue)
            options.slowCaptionMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        else if (arg == L"--slow-hittest" && hasValue)
            options.slowHitTestMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        else if (arg == L"--caption-answer" && hasValue)
            options.captionAnswer = argv[++i];
        else if (arg == L"--system-parameters")
            options.systemParameters = true;
        else
            return false;
    }
    return !options.record.empty();
}

bool ParseEnvironmentSwitches(Options& options)
{
    wchar_t text[512];
    const DWORD length = ::GetEnvironmentVariableW(L"BRMP_PROBE_SWITCHES", text, 512);
    if (length == 0 || length >= 512)
        return length == 0;
    std::vector<std::wstring> words{L"BrmpProbe.exe", L"--record", options.record};
    const wchar_t* p = text;
    while (*p != L'\0')
    {
        while (*p == L' ')
            ++p;
        const wchar_t* start = p;
        while (*p != L'\0' && *p != L' ')
            ++p;
        if (p > start)
            words.emplace_back(start, p);
    }
    std::vector<wchar_t*> argv;
    for (std::wstring& word : words)
        argv.push_back(word.data());
    return ParseOptions(static_cast<int>(argv.size()), argv.data(), options);
}

// The probe covers the work area (the whole desktop less the taskbar) unless told otherwise.
RECT DefaultRect()
{
    RECT work{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) || work.right <= work.left)
        work = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return work;
}

class ProbeWindow
{
public:
    explicit ProbeWindow(const Options& options) : m_options(options) {}

    bool Create(HINSTANCE instance);
    int Run();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateScrollBars(HINSTANCE instance);
    RecordLine ScrollRecord(UINT message, WPARAM wParam, LPARAM lParam, int target);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    void Record(const RecordLine& line);
    RecordLine Mouse(const char* name, WPARAM wParam, LPARAM lParam, bool clientCoordinates);
    RecordLine Key(const char* name, WPARAM wParam, LPARAM lParam);
    void CheckReady();
    void Paint();

    static constexpr UINT_PTR kReadyTimer = 1;

    const Options& m_options;
    HWND m_hwnd = nullptr;
    HWND m_vbar = nullptr;
    HWND m_hbar = nullptr;
    WNDPROC m_barProc = nullptr;
    UINT m_activateMessage = 0;
    RecordFile m_file;
    bool m_painted = false;
    bool m_ready = false;
    std::deque<std::string> m_recent; // shown in the window for a person looking at a screenshot
};

bool ProbeWindow::Create(HINSTANCE instance)
{
    if (!m_file.Open(m_options.record))
        return false;
    m_activateMessage = ::RegisterWindowMessageW(L"BrmpProbeActivate");

    WNDCLASSEXW wc{sizeof(wc)};
    wc.style = CS_HREDRAW | CS_VREDRAW | (m_options.doubleClicks ? CS_DBLCLKS : 0);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszClassName = L"BrmpProbeWindow";
    if (!::RegisterClassExW(&wc))
        return false;

    const RECT rect = m_options.hasRect ? m_options.rect : DefaultRect();
    const DWORD exStyle = m_options.topmost ? WS_EX_TOPMOST : 0;
    const DWORD style = WS_OVERLAPPEDWINDOW | (m_options.ownScroll ? WS_VSCROLL | WS_HSCROLL : 0) |
                        (m_options.scrollChild ? WS_CLIPCHILDREN : 0);
    m_hwnd = ::CreateWindowExW(exStyle, wc.lpszClassName, m_options.title.c_str(), style, rect.left,
                               rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance,
                               this);
    if (m_hwnd == nullptr)
        return false;
    if (m_options.ownScroll)
    {
        SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_POS | SIF_PAGE, 0, 100, 10, 50, 0};
        ::SetScrollInfo(m_hwnd, SB_VERT, &info, FALSE);
        ::SetScrollInfo(m_hwnd, SB_HORZ, &info, FALSE);
    }
    if (m_options.scrollChild)
        CreateScrollBars(instance);

    ::ShowWindow(m_hwnd, m_options.activate ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_hwnd);
    if (m_options.activate)
    {
        ::SetForegroundWindow(m_hwnd);
        ::SetFocus(m_hwnd);
    }
    ::SetTimer(m_hwnd, kReadyTimer, 20, nullptr);
    return true;
}

int ProbeWindow::Run()
{
    HANDLE parent = m_options.parent != 0 ? ::OpenProcess(SYNCHRONIZE, FALSE, m_options.parent) : nullptr;
    for (;;)
    {
        const DWORD waited = ::MsgWaitForMultipleObjectsEx(parent != nullptr ? 1 : 0, &parent, INFINITE, QS_ALLINPUT,
                                                           MWMO_INPUTAVAILABLE);
        if (parent != nullptr && waited == WAIT_OBJECT_0)
        {
            Record(RecordLine("PARENT-GONE"));
            ::CloseHandle(parent);
            parent = nullptr;
            ::DestroyWindow(m_hwnd);
        }
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
            {
                if (parent != nullptr)
                    ::CloseHandle(parent);
                return static_cast<int>(msg.wParam);
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

LRESULT CALLBACK ProbeWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
    {
        auto* self = static_cast<ProbeWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<ProbeWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

void ProbeWindow::CreateScrollBars(HINSTANCE instance)
{
    RECT client{};
    ::GetClientRect(m_hwnd, &client);
    const int bar = 20;
    m_vbar = ::CreateWindowExW(0, L"ScrollBar", nullptr, WS_CHILD | WS_VISIBLE | SBS_VERT, client.right - bar, 0, bar,
                               client.bottom - bar, m_hwnd, nullptr, instance, nullptr);
    m_hbar = ::CreateWindowExW(0, L"ScrollBar", nullptr, WS_CHILD | WS_VISIBLE | SBS_HORZ, 0, client.bottom - bar,
                               client.right - bar, bar, m_hwnd, nullptr, instance, nullptr);
    SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_POS | SIF_PAGE, 0, 100, 10, 50, 0};
    for (HWND control : {m_vbar, m_hbar})
    {
        if (control == nullptr)
            continue;
        ::SetScrollInfo(control, SB_CTL, &info, FALSE);
        ::SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_barProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ScrollBarProc)));
    }
}

LRESULT CALLBACK ProbeWindow::ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<ProbeWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->m_barProc == nullptr)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_VSCROLL || message == WM_HSCROLL)
    {
        self->Record(self->ScrollRecord(message, wParam, lParam, hwnd == self->m_vbar ? 1 : 2));
        return 0;
    }
    return ::CallWindowProcW(self->m_barProc, hwnd, message, wParam, lParam);
}

// code: the SB_ code; pos: the position a thumb message carries; target: who
// received it (0 the window, 1 the vertical control, 2 the horizontal one);
// from: what lParam names (0 nothing, 1 the receiving window itself, 2 the
// vertical control, 3 the horizontal one, 4 anything else).
RecordLine ProbeWindow::ScrollRecord(UINT message, WPARAM wParam, LPARAM lParam, int target)
{
    const HWND from = reinterpret_cast<HWND>(lParam);
    const HWND receiver = target == 1 ? m_vbar : target == 2 ? m_hbar : m_hwnd;
    const int fromCode = from == nullptr ? 0 : from == receiver ? 1 : from == m_vbar ? 2 : from == m_hbar ? 3 : 4;
    return RecordLine(message == WM_VSCROLL ? "WM_VSCROLL" : "WM_HSCROLL")
        .Add("code", LOWORD(wParam))
        .Add("pos", static_cast<short>(HIWORD(wParam)))
        .Add("target", target)
        .Add("from", fromCode);
}

void ProbeWindow::Record(const RecordLine& line)
{
    m_file.Write(line);
    m_recent.push_back(line.Text());
    if (m_recent.size() > 40)
        m_recent.pop_front();
    if (m_hwnd != nullptr)
        ::InvalidateRect(m_hwnd, nullptr, FALSE);
}

RecordLine ProbeWindow::Mouse(const char* name, WPARAM wParam, LPARAM lParam, bool clientCoordinates)
{
    // sx, sy: where the message happened on the screen. Taken from the message's
    // own position rather than lParam: Wine 8 puts client coordinates into a
    // WM_MOUSEHWHEEL's lParam where Windows puts screen ones.
    const DWORD pos = ::GetMessagePos();
    RecordLine line(name);
    if (clientCoordinates)
        line.Add("x", GET_X_LPARAM(lParam)).Add("y", GET_Y_LPARAM(lParam));
    else
        line.Add("lx", GET_X_LPARAM(lParam)).Add("ly", GET_Y_LPARAM(lParam));
    line.Add("sx", GET_X_LPARAM(pos)).Add("sy", GET_Y_LPARAM(pos)).AddHex("keys", GET_KEYSTATE_WPARAM(wParam));
    line.AddHex("extra", static_cast<std::uint64_t>(::GetMessageExtraInfo()));
    return line;
}

RecordLine ProbeWindow::Key(const char* name, WPARAM wParam, LPARAM lParam)
{
    const auto bits = static_cast<std::uint64_t>(lParam);
    RecordLine line(name);
    line.AddHex("vk", wParam)
        .Add("scan", static_cast<long long>((bits >> 16) & 0xFF))
        .Add("extended", static_cast<long long>((bits >> 24) & 1))
        .Add("alt", static_cast<long long>((bits >> 29) & 1))
        .Add("previous", static_cast<long long>((bits >> 30) & 1))
        .Add("up", static_cast<long long>((bits >> 31) & 1))
        .Add("repeat", static_cast<long long>(bits & 0xFFFF))
        .AddHex("extra", static_cast<std::uint64_t>(::GetMessageExtraInfo()));
    return line;
}

void ProbeWindow::CheckReady()
{
    const bool shown = ::IsWindowVisible(m_hwnd) && !::IsIconic(m_hwnd) && m_painted;
    const bool focused = !m_options.activate || (::GetForegroundWindow() == m_hwnd && ::GetFocus() == m_hwnd);
    if (shown && focused)
    {
        ::KillTimer(m_hwnd, kReadyTimer);
        m_ready = true;
        RECT client{};
        ::GetClientRect(m_hwnd, &client);
        ::MapWindowPoints(m_hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
        Record(RecordLine("READY")
                   .AddHex("hwnd", reinterpret_cast<std::uint64_t>(m_hwnd))
                   .Add("pid", ::GetCurrentProcessId())
                   .Add("tid", ::GetCurrentThreadId())
                   .Add("left", client.left)
                   .Add("top", client.top)
                   .Add("right", client.right)
                   .Add("bottom", client.bottom));
        return;
    }
}

void ProbeWindow::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hwnd, &ps);
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SetBkMode(dc, TRANSPARENT);
    int y = 4;
    ::TextOutW(dc, 4, y, m_options.title.c_str(), static_cast<int>(m_options.title.size()));
    for (const std::string& text : m_recent)
    {
        y += 16;
        ::TextOutA(dc, 4, y, text.c_str(), static_cast<int>(text.size()));
    }
    ::EndPaint(m_hwnd, &ps);
    m_painted = true;
}

LRESULT ProbeWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_KEYDOWN: Record(Key("WM_KEYDOWN", wParam, lParam)); break;
    case WM_KEYUP: Record(Key("WM_KEYUP", wParam, lParam)); break;
    case WM_SYSKEYDOWN: Record(Key("WM_SYSKEYDOWN", wParam, lParam)); break;
    case WM_SYSKEYUP: Record(Key("WM_SYSKEYUP", wParam, lParam)); break;
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_DEADCHAR:
    case WM_SYSDEADCHAR:
    {
        const char* name = message == WM_CHAR      ? "WM_CHAR"
                           : message == WM_SYSCHAR ? "WM_SYSCHAR"
                           : message == WM_DEADCHAR ? "WM_DEADCHAR"
                                                    : "WM_SYSDEADCHAR";
        Record(RecordLine(name)
                   .AddHex("char", wParam)
                   .Add("scan", static_cast<long long>((static_cast<std::uint64_t>(lParam) >> 16) & 0xFF))
                   .Add("repeat", static_cast<long long>(lParam & 0xFFFF)));
        break;
    }
    case WM_LBUTTONDOWN: Record(Mouse("WM_LBUTTONDOWN", wParam, lParam, true)); break;
    case WM_LBUTTONUP: Record(Mouse("WM_LBUTTONUP", wParam, lParam, true)); break;
    case WM_LBUTTONDBLCLK: Record(Mouse("WM_LBUTTONDBLCLK", wParam, lParam, true)); break;
    case WM_RBUTTONDOWN: Record(Mouse("WM_RBUTTONDOWN", wParam, lParam, true)); break;
    case WM_RBUTTONUP: Record(Mouse("WM_RBUTTONUP", wParam, lParam, true)); break;
    case WM_RBUTTONDBLCLK: Record(Mouse("WM_RBUTTONDBLCLK", wParam, lParam, true)); break;
    case WM_MBUTTONDOWN: Record(Mouse("WM_MBUTTONDOWN", wParam, lParam, true)); break;
    case WM_MBUTTONUP: Record(Mouse("WM_MBUTTONUP", wParam, lParam, true)); break;
    case WM_MBUTTONDBLCLK: Record(Mouse("WM_MBUTTONDBLCLK", wParam, lParam, true)); break;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
    case WM_XBUTTONDBLCLK:
    {
        const char* name = message == WM_XBUTTONDOWN ? "WM_XBUTTONDOWN"
                           : message == WM_XBUTTONUP ? "WM_XBUTTONUP"
                                                     : "WM_XBUTTONDBLCLK";
        Record(Mouse(name, wParam, lParam, true).Add("button", GET_XBUTTON_WPARAM(wParam)));
        // The default handling turns an X button up into WM_APPCOMMAND, as for any window.
        break;
    }
    case WM_MOUSEMOVE:
        if (m_options.moves)
            Record(Mouse("WM_MOUSEMOVE", wParam, lParam, true));
        break;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        Record(Mouse(message == WM_MOUSEWHEEL ? "WM_MOUSEWHEEL" : "WM_MOUSEHWHEEL", wParam, lParam, false)
                   .Add("delta", GET_WHEEL_DELTA_WPARAM(wParam)));
        return 0;
    case WM_CONTEXTMENU:
        Record(RecordLine("WM_CONTEXTMENU").Add("sx", GET_X_LPARAM(lParam)).Add("sy", GET_Y_LPARAM(lParam)));
        return 0;
    case WM_APPCOMMAND:
        Record(RecordLine("WM_APPCOMMAND")
                   .Add("command", GET_APPCOMMAND_LPARAM(lParam))
                   .AddHex("device", GET_DEVICE_LPARAM(lParam))
                   .AddHex("keys", GET_KEYSTATE_LPARAM(lParam))
                   .AddHex("source", static_cast<std::uint64_t>(wParam)));
        return TRUE;
    case WM_HOTKEY:
        Record(RecordLine("WM_HOTKEY")
                   .Add("id", static_cast<long long>(wParam))
                   .AddHex("modifiers", LOWORD(lParam))
                   .AddHex("vk", HIWORD(lParam)));
        return 0;
    case WM_SYSCOMMAND:
        Record(RecordLine("WM_SYSCOMMAND")
                   .AddHex("command", wParam & 0xFFF0)
                   .AddHex("wparam", wParam)
                   .Add("x", GET_X_LPARAM(lParam))
                   .Add("y", GET_Y_LPARAM(lParam)));
        // Menu mode (Alt or F10 alone) would take the keyboard away from the
        // window: keep every key reaching the probe instead.
        if ((wParam & 0xFFF0) == SC_KEYMENU)
            return 0;
        break;
    case WM_ACTIVATE:
        Record(RecordLine("WM_ACTIVATE")
                   .Add("state", LOWORD(wParam))
                   .Add("minimized", HIWORD(wParam) != 0)
                   .AddHex("other", static_cast<std::uint64_t>(lParam)));
        break;
    case WM_ACTIVATEAPP:
        Record(RecordLine("WM_ACTIVATEAPP").Add("active", wParam != 0).Add("thread", static_cast<long long>(lParam)));
        break;
    case WM_SETFOCUS:
        Record(RecordLine("WM_SETFOCUS").AddHex("other", static_cast<std::uint64_t>(wParam)));
        break;
    case WM_KILLFOCUS:
        Record(RecordLine("WM_KILLFOCUS").AddHex("other", static_cast<std::uint64_t>(wParam)));
        break;
    case WM_SHOWWINDOW:
        Record(RecordLine("WM_SHOWWINDOW").Add("shown", wParam != 0).Add("status", static_cast<long long>(lParam)));
        break;
    case WM_SIZE:
        Record(RecordLine("WM_SIZE")
                   .Add("type", static_cast<long long>(wParam))
                   .Add("width", LOWORD(lParam))
                   .Add("height", HIWORD(lParam)));
        break;
    case WM_MOVE:
        Record(RecordLine("WM_MOVE").Add("x", GET_X_LPARAM(lParam)).Add("y", GET_Y_LPARAM(lParam)));
        break;
    case WM_CLOSE:
        Record(RecordLine("WM_CLOSE"));
        if (m_options.keepOnClose)
            return 0;
        break;
    case WM_VSCROLL:
    case WM_HSCROLL:
        Record(ScrollRecord(message, wParam, lParam, 0));
        return 0;
    case WM_NCHITTEST:
        if (m_options.slowHitTestMs != 0 && (::InSendMessageEx(nullptr) & ISMEX_SEND) != 0)
            ::Sleep(m_options.slowHitTestMs);
        break;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        if (m_options.slowCaptionMs != 0 && (::InSendMessageEx(nullptr) & ISMEX_SEND) != 0)
        {
            Record(RecordLine("WM_GETTEXT").Add("length", message == WM_GETTEXTLENGTH ? 1 : 0));
            ::Sleep(m_options.slowCaptionMs);
        }
        if (!m_options.captionAnswer.empty() && (::InSendMessageEx(nullptr) & ISMEX_SEND) != 0)
        {
            const std::wstring& answer = m_options.captionAnswer;
            if (message == WM_GETTEXTLENGTH)
                return static_cast<LRESULT>(answer.size());
            if (wParam == 0 || lParam == 0)
                return 0;
            const std::size_t copied = answer.size() < wParam - 1 ? answer.size() : wParam - 1;
            std::wmemcpy(reinterpret_cast<wchar_t*>(lParam), answer.c_str(), copied);
            reinterpret_cast<wchar_t*>(lParam)[copied] = L'\0';
            return static_cast<LRESULT>(copied);
        }
        break;
    case WM_WINDOWPOSCHANGED:
    {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        Record(RecordLine("WM_WINDOWPOSCHANGED")
                   .Add("x", pos->x)
                   .Add("y", pos->y)
                   .Add("width", pos->cx)
                   .Add("height", pos->cy)
                   .AddHex("flags", pos->flags));
        break;
    }
    case WM_DESTROY:
        Record(RecordLine("WM_DESTROY"));
        ::PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        if (wParam == kReadyTimer && !m_ready)
            CheckReady();
        return 0;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        if (message == m_activateMessage && m_activateMessage != 0)
        {
            if (::IsIconic(m_hwnd))
                ::ShowWindow(m_hwnd, SW_RESTORE);
            ::SetForegroundWindow(m_hwnd);
            ::SetFocus(m_hwnd);
            return 0;
        }
        // Messages of the application's own ranges (WM_USER, WM_APP, registered):
        // a test may post them to check they arrive.
        if (message >= WM_USER && message <= 0xFFFF)
            Record(RecordLine("MESSAGE")
                       .AddHex("msg", message)
                       .AddHex("wparam", wParam)
                       .AddHex("lparam", static_cast<std::uint64_t>(lParam)));
        break;
    }
    return ::DefWindowProcW(m_hwnd, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    Options options;
    if (!ParseOptions(__argc, __wargv, options) || !ParseEnvironmentSwitches(options))
        return 2;
    if (options.systemParameters)
    {
        int speed = 0;
        UINT lines = 0;
        int mouse[3] = {0, 0, 0};
        RecordFile file;
        if (!file.Open(options.record) || !::SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &speed, 0) ||
            !::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0) || !::SystemParametersInfoW(SPI_GETMOUSE, 0, mouse, 0))
            return 4;
        file.Write(RecordLine("SYSTEM")
                       .Add("speed", speed)
                       .Add("lines", static_cast<long long>(lines))
                       .Add("precision", mouse[2] != 0 ? 1 : 0));
        return 0;
    }
    ProbeWindow window(options);
    if (!window.Create(instance))
        return 3;
    return window.Run();
}
