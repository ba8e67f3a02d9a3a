#include "EngineTestSupport.h"

#include <process.h>

#include <atomic>
#include <vector>

#include "Globals.h"
#include "Logger.h"
#include "MouseInfo.h"
#include "ThreadLock.h"
#include "TimerThread.h"
#include "WaitFor.h"

namespace enginetest
{
bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs)
{
    return brmptest::WaitFor(cond, timeoutMs, 5);
}

namespace
{
constexpr DWORD kLogWriterWaitMs = 2000;

std::wstring LogPath()
{
    CLogger::ResolveLogPath();
    CLogger::FlushLog();
    wchar_t path[4096] = L"";
    CLogger::GetLogPath(path, 4096);
    return path;
}
}

std::string ReadLog()
{
    return LogSince(0);
}

// Lines of the hook and timer threads reach the file through the logger's
// writer thread: both wait until what was logged so far is written.
size_t LogSize()
{
    CDeferredLogWrites::WaitUntilWritten(kLogWriterWaitMs);
    return FileSize(LogPath());
}

std::string LogSince(size_t offset)
{
    CDeferredLogWrites::WaitUntilWritten(kLogWriterWaitMs);
    return FileTextSince(LogPath(), offset);
}

size_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (path.empty() || !::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return static_cast<size_t>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::string FileTextSince(const std::wstring& path, size_t offset)
{
    if (path.empty())
        return {};
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (::SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
    {
        std::vector<char> buffer(65536);
        DWORD got = 0;
        while (::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0)
            text.append(buffer.data(), got);
    }
    ::CloseHandle(file);
    return text;
}

namespace
{
std::atomic<int> g_marks{0};
void MarkActivate(HWND)
{
    ++g_marks;
}
}

bool TimerThreadIdle(DWORD timeoutMs)
{
    if (g_threads.dwTimerThreadId == 0)
        return false;
    SetTimerThreadRequestHandlers(MarkActivate, nullptr);
    const int before = g_marks.load();
    ::PostThreadMessageW(g_threads.dwTimerThreadId, BRMP_ActivateWindow, 0, 0);
    const bool ok = WaitFor([&] { return g_marks.load() > before; }, timeoutMs);
    SetTimerThreadRequestHandlers(nullptr, nullptr);
    return ok;
}

MouseState MouseState::Read()
{
    MouseState state;
    ::SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &state.speed, 0);
    ::SystemParametersInfoW(SPI_GETMOUSE, 0, state.mouse, 0);
    state.swap = ::GetSystemMetrics(SM_SWAPBUTTON);
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &state.wheelLines, 0);
    return state;
}

MouseState MouseState::UnlikeStartup()
{
    MouseState s;
    s.speed = g_system.nStartupMouseSpeed == 10 ? 4 : 10;
    if (g_system.nStartupMouse[2] != 0)
        s.mouse[0] = s.mouse[1] = s.mouse[2] = 0;
    else
    {
        s.mouse[0] = 6;
        s.mouse[1] = 10;
        s.mouse[2] = 1;
    }
    s.swap = g_system.nStartupSwapButtons ? 0 : 1;
    s.wheelLines = static_cast<UINT>(g_system.nDefaultWheelLines == 5 ? 9 : 5);
    return s;
}

bool MouseState::SameMouse(const int (&values)[3]) const
{
    return mouse[0] == values[0] && mouse[1] == values[1] && mouse[2] == values[2];
}

void MouseState::Write() const
{
    SetSystemMouseSpeed(speed);
    int values[3] = {mouse[0], mouse[1], mouse[2]};
    ::SystemParametersInfoW(SPI_SETMOUSE, 0, values, 0);
    ::SystemParametersInfoW(SPI_SETMOUSEBUTTONSWAP, static_cast<UINT>(swap), nullptr, SPIF_UPDATEINIFILE);
    ::SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, wheelLines, nullptr, SPIF_UPDATEINIFILE);
}

std::wstring ThisExecutable()
{
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

GlobalLockHolder::GlobalLockHolder()
    : m_holding(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_release(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    m_thread = reinterpret_cast<HANDLE>(::_beginthreadex(
        nullptr, 0,
        [](void* p) -> unsigned {
            auto* self = static_cast<GlobalLockHolder*>(p);
            CThreadLock lock(L"GlobalLockHolder");
            ::SetEvent(self->m_holding);
            ::WaitForSingleObject(self->m_release, 10000);
            return 0;
        },
        this, 0, nullptr));
}

GlobalLockHolder::~GlobalLockHolder()
{
    Release();
    ::CloseHandle(m_holding);
    ::CloseHandle(m_release);
}

bool GlobalLockHolder::Holding() const
{
    return ::WaitForSingleObject(m_holding, 5000) == WAIT_OBJECT_0;
}

void GlobalLockHolder::Release()
{
    ::SetEvent(m_release);
    if (m_thread != nullptr)
    {
        ::WaitForSingleObject(m_thread, 10000);
        ::CloseHandle(m_thread);
        m_thread = nullptr;
    }
}
}
