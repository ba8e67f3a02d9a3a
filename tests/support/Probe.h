#pragma once
// The test side of the probe window (BrmpProbe.exe, beside the test executable):
// starts it, waits until it is shown and focused, reads what it recorded, and
// closes it (or kills it) when the owner goes.
//
// Each record is one message the probe received: a name ("WM_LBUTTONDOWN",
// "WM_KEYDOWN", "WM_MOUSEWHEEL", "WM_SYSCOMMAND", "WM_ACTIVATE", ... the Win32
// names; "MESSAGE" for WM_USER and above; "READY" once) and values:
//   mouse buttons: x, y (client, from lParam), sx, sy (screen, the message's
//                  position), keys (MK_*), extra (message extra info); X buttons
//                  also button (1 or 2)
//   wheels:        delta, sx, sy, keys, extra, lx, ly (lParam as it came: Wine
//                  gives client coordinates for WM_MOUSEHWHEEL, Windows screen ones)
//   keys:          vk, scan, extended, alt, previous, up, repeat, extra
//   WM_CHAR etc.:  char, scan, repeat
//   WM_SYSCOMMAND: command (SC_*), wparam, x, y;   WM_APPCOMMAND: command, device, keys
//   WM_ACTIVATE:   state, minimized, other;   WM_SETFOCUS/KILLFOCUS: other
//   WM_SIZE: type, width, height;   WM_MOVE: x, y;   WM_SHOWWINDOW: shown, status
//   WM_HOTKEY:     id, modifiers, vk;   MESSAGE: msg, wparam, lparam
//   every record:  seq (1, 2, ... in the probe), tick (GetTickCount)

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TempFolder.h"
#include "WaitFor.h"

namespace brmptest
{

struct ProbeRecord
{
    std::wstring name;
    std::vector<std::pair<std::wstring, long long>> values;
    std::wstring line; // as written, for messages

    bool Is(std::wstring_view messageName) const { return name == messageName; }
    bool Has(std::wstring_view key) const;
    // The value of key, or fallback when the record has none.
    long long Value(std::wstring_view key, long long fallback = 0) const;

    // Parses "NAME key=value ..." (decimal or 0x hex values); nullopt for a malformed line.
    static std::optional<ProbeRecord> Parse(std::wstring_view line);
};

using ProbeRecordPredicate = std::function<bool(const ProbeRecord&)>;

// A predicate on the record's name, and optionally one value: Named(L"WM_XBUTTONDOWN", L"button", 1).
ProbeRecordPredicate Named(std::wstring name);
ProbeRecordPredicate Named(std::wstring name, std::wstring key, long long value);

struct ProbeOptions
{
    std::wstring title = L"BrmpProbe";
    // Window rectangle in screen coordinates; empty: the work area (all the desktop but the taskbar).
    RECT rect{};
    bool activate = true;      // take the foreground and the focus ("ready" waits for both)
    bool recordMoves = false;  // record WM_MOUSEMOVE too
    bool doubleClicks = true;  // CS_DBLCLKS: a quick second click records *DBLCLK instead of *DOWN
    bool topmost = false;
    // Scroll-bar controls inside the window (the probe's --scroll-child).
    bool scrollChild = false;
    // Caption requests of other programs are answered only after this many
    // milliseconds (0: at once); each one is recorded as "WM_GETTEXT".
    DWORD slowCaptionMs = 0;
    // Hit tests (WM_NCHITTEST) of other programs are answered only after this
    // many milliseconds (0: at once).
    DWORD slowHitTestMs = 0;
    // Caption requests of other programs are answered with this text instead
    // of the window's caption (empty: the caption).
    std::wstring captionAnswer;
    // The program started: BrmpProbe.exe, or its copy under another name
    // beside it (ApplicationFrameHost.exe).
    std::wstring program = L"BrmpProbe.exe";
    // After "ready", move the pointer to the centre of the probe and wait until
    // Wine reports it there, so that the first real input is not the first event
    // a fresh desktop sees.
    bool warmUp = true;
};

class Probe
{
public:
    explicit Probe(ProbeOptions options = {});
    // Closes the probe; kills it when it does not end in time.
    ~Probe();
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // Starts BrmpProbe.exe and waits until it reports ready; a probe that
    // takes the foreground then also gets the X input focus (see
    // PhysicalInput::PrepareForInput), so that keys typed reach it.
    ::testing::AssertionResult Start(DWORD timeoutMs = 15000);
    // Asks the probe to close (WM_CLOSE) and waits for its process to end.
    ::testing::AssertionResult Close(DWORD timeoutMs = kDefaultTimeoutMs);
    bool IsRunning() const;
    // Ends the probe's process at once, as a crash would: its windows go
    // without being closed, so no other window is activated in their place.
    ::testing::AssertionResult Terminate(DWORD timeoutMs = kDefaultTimeoutMs);

    HWND Window() const { return m_hwnd; }
    DWORD ProcessId() const { return m_processId; }
    DWORD ThreadId() const { return m_threadId; }
    // The client area in screen coordinates, and its centre.
    RECT ClientRect() const;
    POINT Center() const;

    // Brings the probe back to the foreground with the focus and waits for it.
    // (Not the X input focus: a window of another program that Wine maps late
    // may take that back, and clicks do not need it.)
    ::testing::AssertionResult Activate(DWORD timeoutMs = kDefaultTimeoutMs);
    // True while the probe is the foreground window and its window has the focus.
    bool IsFocused() const;

    // Records since the last Clear() (or the start; "READY" is not among them).
    std::vector<ProbeRecord> Records();
    std::vector<ProbeRecord> Records(const ProbeRecordPredicate& predicate);
    // The names of those records whose name holds part, in order (L"BUTTON":
    // every mouse button message).
    std::vector<std::wstring> RecordNames(std::wstring_view part);
    // Forgets what was recorded so far: later reads and waits see only newer records.
    void Clear();

    // Waits until a record (since the last Clear) matches; nullopt after timeoutMs.
    std::optional<ProbeRecord> WaitForRecord(const ProbeRecordPredicate& predicate,
                                             DWORD timeoutMs = kDefaultTimeoutMs);
    // Waits until count records match and returns them (fewer after the time-out).
    std::vector<ProbeRecord> WaitForRecords(const ProbeRecordPredicate& predicate, std::size_t count,
                                            DWORD timeoutMs = kDefaultTimeoutMs);

    // The records since the last Clear as text (the last ones when there are many), for failure messages.
    std::string Describe(std::size_t lastLines = 40);

    const std::wstring& RecordFile() const { return m_recordFile; }

private:
    void ReadNewRecords();
    ::testing::AssertionResult WarmUp();
    void Kill();

    ProbeOptions m_options;
    TempFolder m_folder{L"brmpprobe"};
    std::wstring m_recordFile;
    HANDLE m_process = nullptr;
    DWORD m_processId = 0;
    DWORD m_threadId = 0;
    HWND m_hwnd = nullptr;
    std::vector<ProbeRecord> m_records;
    std::size_t m_firstUnread = 0;   // index of the first record after the last Clear
    unsigned long long m_readOffset = 0;
    std::string m_partialLine;
};

// The folder of the running test executable (with a trailing backslash).
std::wstring ExecutableFolder();

// The pointer speed ("speed") and wheel lines ("lines") the system reports
// now, read by a fresh probe process: under Wine a process keeps the values it
// read first and never sees another process's later change. nullopt when the
// probe could not read them.
std::optional<ProbeRecord> ReadSystemParameters(DWORD timeoutMs = kDefaultTimeoutMs);

} // namespace brmptest
