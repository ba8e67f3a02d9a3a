#include "Probe.h"

#include <cwchar>

#include "CommandLine.h"
#include "PhysicalInput.h"

namespace brmptest
{

bool ProbeRecord::Has(std::wstring_view key) const
{
    for (const auto& [k, v] : values)
        if (k == key)
            return true;
    return false;
}

long long ProbeRecord::Value(std::wstring_view key, long long fallback) const
{
    for (const auto& [k, v] : values)
        if (k == key)
            return v;
    return fallback;
}

std::optional<ProbeRecord> ProbeRecord::Parse(std::wstring_view line)
{
    ProbeRecord record;
    record.line = line;
    std::size_t pos = 0;
    auto nextToken = [&]() -> std::wstring_view {
        while (pos < line.size() && line[pos] == L' ')
            ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != L' ')
            ++pos;
        return line.substr(start, pos - start);
    };
    record.name = nextToken();
    if (record.name.empty())
        return std::nullopt;
    for (std::wstring_view token = nextToken(); !token.empty(); token = nextToken())
    {
        const std::size_t equals = token.find(L'=');
        if (equals == 0 || equals == std::wstring_view::npos || equals + 1 == token.size())
            return std::nullopt;
        const std::wstring text(token.substr(equals + 1));
        wchar_t* end = nullptr;
        const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
        // Handles and extra info use all 64 bits: read hex unsigned and keep the bits.
        const long long value = hex ? static_cast<long long>(std::wcstoull(text.c_str(), &end, 16))
                                    : std::wcstoll(text.c_str(), &end, 10);
        if (end == nullptr || *end != L'\0')
            return std::nullopt;
        record.values.emplace_back(std::wstring(token.substr(0, equals)), value);
    }
    return record;
}

ProbeRecordPredicate Named(std::wstring name)
{
    return [name = std::move(name)](const ProbeRecord& record) { return record.name == name; };
}

ProbeRecordPredicate Named(std::wstring name, std::wstring key, long long value)
{
    return [name = std::move(name), key = std::move(key), value](const ProbeRecord& record) {
        return record.name == name && record.Has(key) && record.Value(key) == value;
    };
}

std::wstring ExecutableFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return L".\\";
        if (n < path.size())
        {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

Probe::Probe(ProbeOptions options) : m_options(std::move(options))
{
    if (m_folder)
        m_recordFile = m_folder.PathOf(L"probe-records.txt");
}

Probe::~Probe()
{
    if (IsRunning() && !Close())
        Kill();
    if (m_process != nullptr)
        ::CloseHandle(m_process);
}

bool Probe::IsRunning() const
{
    return m_process != nullptr && ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

::testing::AssertionResult Probe::Start(DWORD timeoutMs)
{
    if (m_process != nullptr)
        return ::testing::AssertionFailure() << "the probe was started already";
    if (m_recordFile.empty())
        return ::testing::AssertionFailure() << "no temporary folder for the probe's records";

    std::vector<std::wstring> arguments = {L"--record", m_recordFile, L"--title", m_options.title, L"--parent",
                                           std::to_wstring(::GetCurrentProcessId())};
    const RECT& r = m_options.rect;
    if (r.right > r.left && r.bottom > r.top)
    {
        arguments.push_back(L"--rect");
        arguments.push_back(std::to_wstring(r.left) + L',' + std::to_wstring(r.top) + L',' +
                            std::to_wstring(r.right - r.left) + L',' + std::to_wstring(r.bottom - r.top));
    }
    if (!m_options.activate)
        arguments.push_back(L"--no-activate");
    if (m_options.recordMoves)
        arguments.push_back(L"--moves");
    if (!m_options.doubleClicks)
        arguments.push_back(L"--no-dblclk");
    if (m_options.topmost)
        arguments.push_back(L"--topmost");
    if (m_options.scrollChild)
        arguments.push_back(L"--scroll-child");
    if (m_options.slowHitTestMs != 0)
    {
        arguments.push_back(L"--slow-hittest");
        arguments.push_back(std::to_wstring(m_options.slowHitTestMs));
    }
    if (m_options.slowCaptionMs != 0)
    {
        arguments.push_back(L"--slow-caption");
        arguments.push_back(std::to_wstring(m_options.slowCaptionMs));
    }
    if (!m_options.captionAnswer.empty())
    {
        arguments.push_back(L"--caption-answer");
        arguments.push_back(m_options.captionAnswer);
    }

    const std::wstring program = ExecutableFolder() + m_options.program;
    std::wstring commandLine = BuildCommandLine(program, arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
    {
        const DWORD error = ::GetLastError();
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        failure << "cannot start " << program << " (error " << error << ")";
        if (error == ERROR_INTERNAL_ERROR)
        {
            // Wine's answer when the new process ended before its start-up was
            // done: its fork or exec failed, or it died in Wine's loader, before
            // any code of the probe ran. What the machine had left may tell why.
            MEMORYSTATUSEX memory{};
            memory.dwLength = sizeof(memory);
            ::GlobalMemoryStatusEx(&memory);
            failure << ": the new process ended while Wine started it; memory in use " << memory.dwMemoryLoad
                    << "%, " << memory.ullAvailPhys / (1024 * 1024) << " MB free, "
                    << memory.ullAvailPageFile / (1024 * 1024) << " MB left to commit";
        }
        return failure;
    }
    ::CloseHandle(process.hThread);
    m_process = process.hProcess;
    m_processId = process.dwProcessId;

    std::optional<ProbeRecord> ready;
    WaitFor(
        [&] {
            ReadNewRecords();
            for (const ProbeRecord& record : m_records)
                if (record.Is(L"READY"))
                    ready = record;
            return ready.has_value() || !IsRunning();
        },
        timeoutMs);
    if (!ready)
    {
        DWORD code = 0;
        const bool ended = !IsRunning() && ::GetExitCodeProcess(m_process, &code);
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        if (ended)
            failure << "the probe ended with code " << code << " before it was ready";
        else
            failure << "the probe was not ready (shown, foreground, focused) within " << timeoutMs << " ms";
        failure << "; it recorded:\n" << Describe();
        Kill();
        return failure;
    }
    m_hwnd = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(ready->Value(L"hwnd")));
    m_threadId = static_cast<DWORD>(ready->Value(L"tid"));
    if (m_options.activate)
    {
        if (::testing::AssertionResult prepared = PhysicalInput::PrepareForInput(m_hwnd); !prepared)
            return prepared << "\nthe probe recorded:\n" << Describe();
    }

    if (m_options.warmUp)
    {
        ::testing::AssertionResult warm = WarmUp();
        if (!warm)
            return warm;
    }
    Clear();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Probe::WarmUp()
{
    // Two moves, so that the pointer really moves even when it already rests on the centre.
    const POINT center = Center();
    ::testing::AssertionResult moved = PhysicalInput::Run(
        {L"mousemove", L"--sync", std::to_wstring(center.x - 5), std::to_wstring(center.y - 5), L"mousemove", L"--sync",
         std::to_wstring(center.x), std::to_wstring(center.y)});
    if (!moved)
        return moved;
    const bool arrived = WaitFor([&] {
        POINT pt{};
        return ::GetCursorPos(&pt) && pt.x == center.x && pt.y == center.y;
    });
    if (!arrived)
    {
        POINT pt{};
        ::GetCursorPos(&pt);
        return ::testing::AssertionFailure() << "the pointer did not reach the probe's centre (" << center.x << ","
                                             << center.y << "); it is at " << pt.x << "," << pt.y;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Probe::Close(DWORD timeoutMs)
{
    if (!IsRunning())
        return ::testing::AssertionSuccess();
    if (m_hwnd != nullptr)
        ::PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    if (WaitFor([&] { return !IsRunning(); }, timeoutMs))
        return ::testing::AssertionSuccess();
    Kill();
    return ::testing::AssertionFailure() << "the probe did not end within " << timeoutMs << " ms after WM_CLOSE";
}

::testing::AssertionResult Probe::Terminate(DWORD timeoutMs)
{
    if (!IsRunning())
        return ::testing::AssertionFailure() << "the probe is not running";
    if (!::TerminateProcess(m_process, 1))
        return ::testing::AssertionFailure() << "the probe could not be ended (error " << ::GetLastError() << ")";
    if (::WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
        return ::testing::AssertionFailure() << "the probe did not end within " << timeoutMs << " ms";
    return ::testing::AssertionSuccess();
}

void Probe::Kill()
{
    if (IsRunning())
    {
        ::TerminateProcess(m_process, 1);
        ::WaitForSingleObject(m_process, kDefaultTimeoutMs);
    }
}

RECT Probe::ClientRect() const
{
    RECT rect{};
    if (m_hwnd != nullptr && ::GetClientRect(m_hwnd, &rect))
        ::MapWindowPoints(m_hwnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

POINT Probe::Center() const
{
    const RECT rect = ClientRect();
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool Probe::IsFocused() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return m_hwnd != nullptr && ::GetForegroundWindow() == m_hwnd && ::GetGUIThreadInfo(m_threadId, &info) &&
           info.hwndFocus == m_hwnd;
}

::testing::AssertionResult Probe::Activate(DWORD timeoutMs)
{
    if (!IsRunning() || m_hwnd == nullptr)
        return ::testing::AssertionFailure() << "the probe is not running";
    static const UINT activateMessage = ::RegisterWindowMessageW(L"BrmpProbeActivate");
    // Asked once: a window that takes the foreground back meanwhile is a
    // fault of the test's set-up to be found, not to be outlasted.
    ::PostMessageW(m_hwnd, activateMessage, 0, 0);
    const bool focused = WaitFor([&] { return IsFocused(); }, timeoutMs);
    if (!focused)
        return ::testing::AssertionFailure() << "the probe did not get the foreground and focus within " << timeoutMs
                                             << " ms (foreground window " << ::GetForegroundWindow() << ")";
    return ::testing::AssertionSuccess();
}

void Probe::ReadNewRecords()
{
    if (m_recordFile.empty())
        return;
    HANDLE file = ::CreateFileW(m_recordFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(m_readOffset);
    if (::SetFilePointerEx(file, offset, nullptr, FILE_BEGIN))
    {
        char buffer[16384];
        DWORD read = 0;
        while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        {
            m_readOffset += read;
            m_partialLine.append(buffer, read);
        }
    }
    ::CloseHandle(file);

    // Only whole lines: the probe may be writing the next one right now.
    std::size_t start = 0;
    for (std::size_t end = m_partialLine.find('\n'); end != std::string::npos;
         start = end + 1, end = m_partialLine.find('\n', start))
    {
        const std::string text = m_partialLine.substr(start, end - start);
        // The probe writes ASCII only.
        if (std::optional<ProbeRecord> record = ProbeRecord::Parse(std::wstring(text.begin(), text.end())))
            m_records.push_back(std::move(*record));
    }
    m_partialLine.erase(0, start);
}

std::vector<ProbeRecord> Probe::Records()
{
    ReadNewRecords();
    return {m_records.begin() + static_cast<std::ptrdiff_t>(m_firstUnread), m_records.end()};
}

std::vector<ProbeRecord> Probe::Records(const ProbeRecordPredicate& predicate)
{
    std::vector<ProbeRecord> matching;
    for (ProbeRecord& record : Records())
        if (predicate(record))
            matching.push_back(std::move(record));
    return matching;
}

std::vector<std::wstring> Probe::RecordNames(std::wstring_view part)
{
    std::vector<std::wstring> names;
    for (const ProbeRecord& record : Records())
        if (record.name.find(part) != std::wstring::npos)
            names.push_back(record.name);
    return names;
}

void Probe::Clear()
{
    ReadNewRecords();
    m_firstUnread = m_records.size();
}

std::optional<ProbeRecord> Probe::WaitForRecord(const ProbeRecordPredicate& predicate, DWORD timeoutMs)
{
    std::optional<ProbeRecord> found;
    WaitFor(
        [&] {
            ReadNewRecords();
            for (std::size_t i = m_firstUnread; i < m_records.size(); ++i)
                if (predicate(m_records[i]))
                {
                    found = m_records[i];
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

std::vector<ProbeRecord> Probe::WaitForRecords(const ProbeRecordPredicate& predicate, std::size_t count,
                                               DWORD timeoutMs)
{
    std::vector<ProbeRecord> matching;
    WaitFor(
        [&] {
            matching = Records(predicate);
            return matching.size() >= count;
        },
        timeoutMs);
    return matching;
}

std::string Probe::Describe(std::size_t lastLines)
{
    ReadNewRecords();
    std::string text;
    std::size_t first = m_firstUnread;
    if (m_records.size() - first > lastLines)
    {
        first = m_records.size() - lastLines;
        text += "  ... " + std::to_string(first - m_firstUnread) + " earlier records\n";
    }
    if (first == m_records.size())
        text += "  (nothing)\n";
    for (std::size_t i = first; i < m_records.size(); ++i)
    {
        text += "  ";
        text.append(m_records[i].line.begin(), m_records[i].line.end()); // ASCII
        text += '\n';
    }
    return text;
}

std::optional<ProbeRecord> ReadSystemParameters(DWORD timeoutMs)
{
    TempFolder folder{L"brmpsystem"};
    if (!folder)
        return std::nullopt;
    const std::wstring record = folder.PathOf(L"system.txt");
    const std::wstring program = ExecutableFolder() + L"BrmpProbe.exe";
    std::wstring commandLine = BuildCommandLine(program, {L"--record", record, L"--system-parameters"});
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return std::nullopt;
    ::CloseHandle(process.hThread);
    const bool ended = ::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!ended)
        ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hProcess);
    const std::optional<std::string> bytes = ReadFileBytes(record);
    if (!ended || !bytes)
        return std::nullopt;
    const std::string line = bytes->substr(0, bytes->find_first_of("\r\n"));
    return ProbeRecord::Parse(std::wstring(line.begin(), line.end()));
}

} // namespace brmptest
