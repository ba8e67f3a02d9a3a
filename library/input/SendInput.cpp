#include "SendInput.h"

#include <process.h>

#include <algorithm>
#include <exception>

#include "ApplicationSettings.h"
#include "ButtonEventKind.h"
#include "CrashReport.h"
#include "KeyMapping.h"
#include "LogCaughtException.h"
#include "RegisteredMessages.h"
#include "Logger.h"
#include "ThreadLock.h"
#include "ThreadName.h"
#include "ThreadStop.h"
#include "TokenServices.h"
#include "Tokens.h"

namespace
{
constexpr UINT ScanByVirtualKey = 0xFFFFFFFF;
constexpr DWORD StartWaitMs = 5000;
// How long the worker waits for entries before it looks at its thread messages.
constexpr DWORD kMessageLookMs = 250;

// A critical section held for a scope, without the named lock's timing (for
// the waits on a condition variable, which let it go while they sleep).
class CriticalSectionHold
{
public:
    explicit CriticalSectionHold(CRITICAL_SECTION& cs) : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
    ~CriticalSectionHold() { ::LeaveCriticalSection(&m_cs); }
    CriticalSectionHold(const CriticalSectionHold&) = delete;
    CriticalSectionHold& operator=(const CriticalSectionHold&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};
constexpr long long MaxQueueDelay = 0x7FFFFFFF;

UINT AddDelays(UINT a, UINT b)
{
    const long long sum = static_cast<long long>(a) + b;
    return static_cast<UINT>(sum > MaxQueueDelay ? MaxQueueDelay : sum);
}

INPUT KeyInput(WORD vk, WORD scan, DWORD flags, ULONG_PTR extraInfo, DWORD time)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    input.ki.dwExtraInfo = extraInfo;
    input.ki.time = time;
    return input;
}

struct ModifierKey
{
    UINT bit;
    WORD vk;
    DWORD flags;   // without KEYEVENTF_KEYUP
};

// Press order; releases go the other way.
const ModifierKey Modifiers[] = {
    {SIMMOD_SHIFT, VK_LSHIFT, KEYEVENTF_SCANCODE},
    {SIMMOD_RSHIFT, VK_RSHIFT, KEYEVENTF_SCANCODE},
    {SIMMOD_CTRL, VK_LCONTROL, KEYEVENTF_SCANCODE},
    {SIMMOD_RCTRL, VK_RCONTROL, 0},
    {SIMMOD_ALT, VK_LMENU, KEYEVENTF_SCANCODE},
    {SIMMOD_RALT, VK_RMENU, 0},
    {SIMMOD_LWIN, VK_LWIN, KEYEVENTF_SCANCODE | KEYEVENTF_EXTENDEDKEY},
    {SIMMOD_RWIN, VK_RWIN, KEYEVENTF_SCANCODE | KEYEVENTF_EXTENDEDKEY},
    {SIMMOD_APPS, VK_APPS, KEYEVENTF_SCANCODE | KEYEVENTF_EXTENDEDKEY},
};

const wchar_t* const ButtonNames[] = {L"Left", L"Right", L"Middle", L"XLeft", L"XRight",
                                      L"TiltLeft", L"TiltRight", L"WheelUp", L"WheelDown"};
const wchar_t* const KindNames[] = {L"Unknown", L"Down", L"Up", L"DblClick"};

// The button flags of mouse records, each down with its up.
struct ButtonFlags
{
    DWORD down;
    DWORD up;
};
constexpr ButtonFlags kButtonFlags[] = {{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
                                        {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
                                        {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP},
                                        {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP}};

DWORD ReleaseOf(DWORD downFlag)
{
    for (const ButtonFlags& flags : kButtonFlags)
        if (downFlag == flags.down)
            return flags.up;
    return 0;
}

// Keeps the books of the mouse buttons a record presses (one entry per press,
// X buttons by their number) and releases.
void TrackButtons(std::vector<MOUSEINPUT>& held, const MOUSEINPUT& record)
{
    for (const ButtonFlags& flags : kButtonFlags)
    {
        const bool x = flags.down == MOUSEEVENTF_XDOWN;
        if ((record.dwFlags & flags.down) != 0)
        {
            MOUSEINPUT press = record;
            press.dwFlags = flags.down;
            press.mouseData = x ? record.mouseData : 0;
            held.push_back(press);
        }
        if ((record.dwFlags & flags.up) != 0)
        {
            for (auto it = held.rbegin(); it != held.rend(); ++it)
            {
                if (it->dwFlags == flags.down && (!x || it->mouseData == record.mouseData))
                {
                    held.erase(std::next(it).base());
                    break;
                }
            }
        }
    }
}

// The button (0 left, 1 right, 2 middle, 3 X1, 4 X2) a held press is of, -1 none.
int ButtonOfPress(const MOUSEINPUT& press)
{
    switch (press.dwFlags)
    {
    case MOUSEEVENTF_LEFTDOWN: return 0;
    case MOUSEEVENTF_RIGHTDOWN: return 1;
    case MOUSEEVENTF_MIDDLEDOWN: return 2;
    case MOUSEEVENTF_XDOWN: return press.mouseData == XBUTTON1 ? 3 : press.mouseData == XBUTTON2 ? 4 : -1;
    default: return -1;
    }
}

unsigned ButtonMaskOf(const std::vector<MOUSEINPUT>& held)
{
    unsigned mask = 0;
    for (const MOUSEINPUT& press : held)
    {
        const int button = ButtonOfPress(press);
        if (button >= 0)
            mask |= 1u << button;
    }
    return mask;
}

bool SameKey(const KEYBDINPUT& a, const KEYBDINPUT& b)
{
    constexpr DWORD identity = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_SCANCODE | KEYEVENTF_UNICODE;
    return a.wVk == b.wVk && a.wScan == b.wScan && (a.dwFlags & identity) == (b.dwFlags & identity);
}

bool IsVolumeRecord(const INPUT& input, WORD vk)
{
    return input.type == INPUT_KEYBOARD && input.ki.wVk == vk;
}

constexpr DWORD kButtonUpFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_RIGHTUP | MOUSEEVENTF_MIDDLEUP | MOUSEEVENTF_XUP;
constexpr DWORD kButtonDownFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_MIDDLEDOWN | MOUSEEVENTF_XDOWN;

// The key and button releases among the records of an entry that was never performed.
void AppendReleases(const CInputQueue& entry, std::vector<INPUT>& releases)
{
    if (entry.m_nLayerKind != 0)
        return;
    for (const INPUT& input : entry.m_Inputs)
    {
        INPUT release = input;
        if (input.type == INPUT_KEYBOARD && (input.ki.dwFlags & KEYEVENTF_KEYUP) != 0)
            release.ki.time = 0;
        else if (input.type == INPUT_MOUSE && (input.mi.dwFlags & kButtonUpFlags) != 0)
        {
            // Only the release: a move or wheel of the record is not sent.
            release.mi.dwFlags = input.mi.dwFlags & kButtonUpFlags;
            release.mi.time = 0;
        }
        else
            continue;
        releases.push_back(release);
    }
}

// The releases of the buttons a record pressed.
void AppendButtonReleases(const MOUSEINPUT& press, std::vector<INPUT>& releases)
{
    DWORD up = 0;
    for (const ButtonFlags& flags : kButtonFlags)
    {
        if ((press.dwFlags & flags.down) != 0)
            up |= flags.up;
    }
    if (up == 0)
        return;
    INPUT release = {};
    release.type = INPUT_MOUSE;
    release.mi = press;
    release.mi.dwFlags = up;
    release.mi.time = 0;
    releases.push_back(release);
}

// Removes from held the presses that record releases; returns the up flags of
// those that were held.
DWORD ForgetHeldButtons(std::vector<MOUSEINPUT>& held, const MOUSEINPUT& record)
{
    DWORD released = 0;
    for (const ButtonFlags& flags : kButtonFlags)
    {
        if ((record.dwFlags & flags.up) == 0)
            continue;
        const bool x = flags.down == MOUSEEVENTF_XDOWN;
        for (auto it = held.rbegin(); it != held.rend(); ++it)
        {
            if (it->dwFlags == flags.down && (!x || it->mouseData == record.mouseData))
            {
                held.erase(std::next(it).base());
                released |= flags.up;
                break;
            }
        }
    }
    return released;
}
}

// ---------------------------------------------------------------------------

ISimulatedInputSink::~ISimulatedInputSink() = default;

UINT CSystemInputSink::Send(UINT count, INPUT* records)
{
    return ::SendInput(count, records, sizeof(INPUT));
}

bool CSystemInputSink::GetCursor(POINT& point)
{
    return ::GetCursorPos(&point) != FALSE;
}

std::atomic<unsigned> g_nCursorPlacements{0};

bool CSystemInputSink::SetCursor(int x, int y)
{
    g_nCursorPlacements.fetch_add(1, std::memory_order_acq_rel);
    return ::SetCursorPos(x, y) != FALSE;
}

CInputQueue::~CInputQueue() = default;

// ---------------------------------------------------------------------------

int VolumeOnlyBatch(const std::vector<const CInputQueue*>& entries)
{
    bool up = false;
    bool down = false;
    for (const CInputQueue* entry : entries)
    {
        if (entry == nullptr || entry->m_Inputs.empty() || entry->m_nLayerKind != 0)
            return 0;
        for (const INPUT& input : entry->m_Inputs)
        {
            if (IsVolumeRecord(input, VK_VOLUME_UP))
                up = true;
            else if (IsVolumeRecord(input, VK_VOLUME_DOWN))
                down = true;
            else
                return 0;
        }
    }
    if (up && !down)
        return 1;
    if (down && !up)
        return 2;
    return 0;
}

std::vector<INPUT> BuildMouseInputs(int button, int kind, POINT point, bool leftAlreadyDown, ULONG_PTR extraInfo)
{
    struct Flags { DWORD down; DWORD up; DWORD data; };
    static const Flags buttons[] = {
        {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 0},
        {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 0},
        {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0},
        {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON1},
        {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2},
        {MOUSEEVENTF_HWHEEL, 0, static_cast<DWORD>(-WHEEL_DELTA)},
        {MOUSEEVENTF_HWHEEL, 0, WHEEL_DELTA},
        {MOUSEEVENTF_WHEEL, 0, WHEEL_DELTA},
        {MOUSEEVENTF_WHEEL, 0, static_cast<DWORD>(-WHEEL_DELTA)},
    };
    std::vector<INPUT> inputs;
    if (button < 0 || button > 8)
        return inputs;
    const Flags& f = buttons[button];
    std::vector<DWORD> sequence;
    if (kind == kEventDown)
        sequence = {f.down};
    else if (kind == kEventUp && f.up != 0)
        sequence = {f.up};
    else if (kind == kEventDoubleClick && f.up != 0)
    {
        if (button == 0 && leftAlreadyDown)
            sequence = {f.up, f.down};
        else
            sequence = {f.down, f.up, f.down, f.up};
    }
    const DWORD tick = ::GetTickCount();
    for (DWORD flags : sequence)
    {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = point.x;
        input.mi.dy = point.y;
        input.mi.mouseData = f.data;
        input.mi.dwFlags = flags;
        input.mi.dwExtraInfo = extraInfo;
        input.mi.time = tick + static_cast<DWORD>(inputs.size());
        inputs.push_back(input);
    }
    return inputs;
}

// ---------------------------------------------------------------------------

CSendInput::CSendInput(ISimulatedInputSink* sink, ITokenServices* services)
    : m_pSink(sink != nullptr ? sink : &m_SystemSink), m_pServices(services)
{
    if (!::InitializeCriticalSectionAndSpinCount(&m_cs, 4000))
        CLogger::LogOSMessage(::GetLastError(), L"Unable to initialise critical section in SendInput");
    ::InitializeCriticalSectionAndSpinCount(&m_csStart, 4000);
    ::InitializeCriticalSectionAndSpinCount(&m_csHeld, 4000);
    m_hBusyCursor = ::LoadCursorW(nullptr, IDC_WAIT);
    constexpr std::size_t room = 256;
    m_Queue.reserve(room);
    m_Spare.reserve(room);
    m_FlushReleases.reserve(room);
    m_Pool.reserve(PooledEntries);
    for (std::size_t i = 0; i < PooledEntries; ++i)
    {
        auto entry = std::make_unique<CInputQueue>();
        entry->m_Inputs.reserve(PooledRecords);
        entry->m_bPooled = true;
        m_Pool.push_back(std::move(entry));
    }
}

CSendInput::~CSendInput()
{
    if (m_hThread != nullptr)
        Stop();
    {
        CGenericThreadLock lock(&m_cs, L"SendInput::~CSendInput", true);
        m_Queue.clear();
    }
    ::DeleteCriticalSection(&m_csHeld);
    ::DeleteCriticalSection(&m_csStart);
    ::DeleteCriticalSection(&m_cs);
}

ITokenServices& CSendInput::Services() const
{
    return m_pServices != nullptr ? *m_pServices : GetTokenServices();
}

bool CSendInput::ExitRequested() const
{
    return m_bExitAsked.load(std::memory_order_acquire);
}

// --- thread control --------------------------------------------------------

bool CSendInput::Start()
{
    CGenericThreadLock start(&m_csStart, L"SendInput::Start", true);
    if (m_hThread != nullptr)
    {
        CLogger::LogMessage(L"CSendInput::Start - Warning thread handle is already initialised [x0%X].", HandleNumber(m_hThread));
        return false;
    }
    // Manual reset: every wait of the worker sees the exit request, not only the first.
    m_bExitAsked = false;
    m_hExitEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hWakeEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hStartedEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unsigned id = 0;
    m_hThread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &CSendInput::ThreadProc, this, 0, &id));
    if (m_hThread == nullptr)
    {
        CLogger::LogOSMessage(::GetLastError(), L"Unable to start SendInput thread.");
        for (HANDLE* h : {&m_hExitEvent, &m_hWakeEvent, &m_hStartedEvent})
        {
            ::CloseHandle(*h);
            *h = nullptr;
        }
        return false;
    }
    // The worker publishes its id once its message queue exists.
    ::WaitForSingleObject(m_hStartedEvent, StartWaitMs);
    CLogger::LogMessage(L"SendInput Thread [0x%X] has started.", HandleNumber(m_hThread));
    return true;
}

bool CSendInput::Stop()
{
    CGenericThreadLock start(&m_csStart, L"SendInput::Stop", true);
    if (m_hThread == nullptr)
    {
        CLogger::LogMessage(L"SendInput thread is unable to stop as it has not been started yet!");
        return false;
    }
    const DWORD id = m_dwThreadId.load();
    CLogger::LogMessage(L"Requesting SendInput Thread [0x%X] (ID 0x%X) to exit...", HandleNumber(m_hThread), id);
    m_bExitAsked = true;
    ::SetEvent(m_hExitEvent);
    if (id != 0)
        ::PostThreadMessageW(id, WM_QUIT, 0, 0);
    {
        // Taken and left, so that a worker between its look at the exit
        // request and its wait is either past the look or waiting now.
        const CriticalSectionHold hold(m_cs);
    }
    ::WakeConditionVariable(&m_EntriesQueued);
    static const ThreadStopTexts texts = {
        L"SendInput thread [0x%X] exited with error code %d.",
        L"SendInput thread [0x%X] exited successfully.",
        L"SendInput thread [0x%X] did not exit in a timely fashion!",
        L"SendInput thread [0x%X] exited (2nd attempt) with error code %d.",
        L"SendInput thread [0x%X] exited (2nd attempt) successfully.",
        L"SendInput thread [0x%X] still did not exit in a timely fashion (2nd attempt) - terminating it...",
    };
    AwaitThreadEnd(m_hThread, texts);
    for (HANDLE* h : {&m_hThread, &m_hExitEvent, &m_hWakeEvent, &m_hStartedEvent})
    {
        ::CloseHandle(*h);
        *h = nullptr;
    }
    m_dwThreadId = 0;
    // As without a worker: the queue may be drained where it is asked.
    m_bExitAsked = false;
    return true;
}

void CSendInput::EnsureStarted()
{
    // A running worker needs no lock: the hook thread must not wait here
    // while another thread stops or starts the worker.
    if (!m_bAutoStart || m_dwThreadId.load() != 0)
        return;
    // The start lock is recursive: Start takes it again, and no second producer starts a second thread.
    CGenericThreadLock start(&m_csStart, L"SendInput::EnsureStarted", true);
    if (m_hThread == nullptr)
        Start();
}

void CSendInput::SignalQueue()
{
    EnsureStarted();
    WakeWorker(m_dwThreadId.load());
}

void CSendInput::WakeWorker(DWORD id)
{
    // The entries were queued under m_cs before: a worker that says it waits
    // either saw them before its wait or is waiting now, and one that does not
    // say so is busy and looks at the queue before it waits again (its only
    // wait for work), so it needs no wake-up at all.
    if (id != 0 && m_bWorkerWaiting.load())
        ::WakeConditionVariable(&m_EntriesQueued);
}

void CSendInput::Unblock()
{
    CGenericThreadLock lock(&m_cs, L"SendInput::Unblock", true);
    if (m_bBlocked.exchange(false))
        CLogger::LogMessage(L"CSendInput::Unblock [0x%08X]: Unblocking sendinput", ::GetCurrentThreadId());
}

unsigned __stdcall CSendInput::ThreadProc(void* argument)
{
    static_cast<CSendInput*>(argument)->ThreadMain();
    return 0;
}

void CSendInput::ThreadMain()
{
    std::set_terminate(&CrashTerminateHandler);
    MSG msg;
    // The message queue exists before anyone learns the id and posts to it.
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const DWORD id = ::GetCurrentThreadId();
    m_dwThreadId = id;
    ::SetEvent(m_hStartedEvent);
    bool comInitialised = false;
    try
    {
        SetThreadName(id, "BRMP Send Input Thread");
        CLogger::LogMessage(L"SendInputThread: Running thread ID 0x%X.", id);
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
        comInitialised = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        Services().SendThreadStarted(id);

        if (!ExitRequested())
            ProcessQueue();
        DWORD lastLook = ::GetTickCount();
        bool look = true;
        for (;;)
        {
            if (ExitRequested())
            {
                CLogger::LogMessage(L"SendInputThread[0x%X]: Received exit event...", id);
                break;
            }
            if (look)
            {
                lastLook = ::GetTickCount();
                if (!TakeThreadMessages())
                    break;
                if (ExitRequested())
                {
                    CLogger::LogMessage(L"SendInputThread[0x%X]: Received exit event...", id);
                    break;
                }
            }
            // The thread's messages are looked at when no entry came for a
            // while, and at least every so often while entries come.
            const bool work = WaitForEntries(kMessageLookMs);
            if (work)
                TimedProcessQueue();
            look = !work || ::GetTickCount() - lastLook >= kMessageLookMs;
        }
        ReleaseHeldKeys();
        CLogger::LogMessage(L"SendInputThread: Exiting SendInput thread.");
        Services().SendThreadEnding();
    }
    catch (...)
    {
        LogCaughtException(L"SendInputThread");
    }
    if (comInitialised)
        ::CoUninitialize();
}

bool CSendInput::TakeThreadMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
        {
            CLogger::LogMessage(L"SendInputThread: Received exit request...");
            return false;
        }
        if (ExitRequested())
        {
            CLogger::LogMessage(L"SendInputThread[0x%X]: Received exit event...", m_dwThreadId.load());
            return false;
        }
        if (msg.message == BRMP_ProcessInput)
            TimedProcessQueue();
        else if (msg.message == WRMP_OSDAudioDeviceChanged)
            Services().AudioDeviceChanged();
    }
    return true;
}

void CSendInput::TimedProcessQueue()
{
    const DWORD start = ::GetTickCount();
    ProcessQueue();
    const DWORD took = ::GetTickCount() - start;
    if (took > 1000)
        CLogger::LogMessage(L"SendInputThread: Process queue took a long time (%dms) to execute.", took);
}

bool CSendInput::WaitForEntries(DWORD timeoutMs)
{
    // Held by hand around the condition variable's wait, which lets it go while
    // it sleeps (a named lock would report the sleep as a long hold).
    const CriticalSectionHold hold(m_cs);
    m_bWorkerWaiting = true;
    const DWORD start = ::GetTickCount();
    bool work = false;
    for (;;)
    {
        work = !m_Queue.empty() || !m_FlushReleases.empty();
        if (work || ExitRequested())
            break;
        const DWORD waited = ::GetTickCount() - start;
        if (waited >= timeoutMs)
            break;
        ::SleepConditionVariableCS(&m_EntriesQueued, &m_cs, timeoutMs - waited);
    }
    m_bWorkerWaiting = false;
    return work;
}

// --- producers -------------------------------------------------------------

bool CSendInput::Append(std::unique_ptr<CInputQueue> entry, const wchar_t* lockName)
{
    CGenericThreadLock lock(&m_cs, lockName, true);
    m_Queue.push_back(std::move(entry));
    return true;
}

std::unique_ptr<CInputQueue> CSendInput::TakePooled()
{
    if (m_Pool.empty())
        return nullptr;
    std::unique_ptr<CInputQueue> entry = std::move(m_Pool.back());
    m_Pool.pop_back();
    return entry;
}

void CSendInput::Recycle(std::vector<std::unique_ptr<CInputQueue>>& entries)
{
    for (std::unique_ptr<CInputQueue>& entry : entries)
    {
        if (!entry || !entry->m_bPooled || m_Pool.size() >= PooledEntries)
            continue;
        // Back to the defaults, keeping the room of the records.
        std::vector<INPUT> records = std::move(entry->m_Inputs);
        records.clear();
        *entry = CInputQueue{};
        entry->m_Inputs = std::move(records);
        entry->m_bPooled = true;
        m_Pool.push_back(std::move(entry));
    }
    entries.clear();
}

bool CSendInput::SendSimKeyAction(int code, float value)
{
    if (code == SIMKEY_FLUSH)
    {
        FlushQueue(true);
        return true;
    }
    EnsureStarted();
    auto entry = std::make_unique<CInputQueue>();
    entry->m_nSimKeyCode = code;
    entry->m_fSimKeyValue = value;
    return Append(std::move(entry), L"SendInput::SendSimKeyAction");
}

bool CSendInput::SendProfileAction(CApplicationSettings* previous, CApplicationSettings* next, int currentLayer)
{
    EnsureStarted();
    auto entry = std::make_unique<CInputQueue>();
    entry->m_nLayer = currentLayer;
    entry->m_pPreviousProfile = previous;
    entry->m_pNewProfile = next;
    entry->m_uPreviousSerial = previous != nullptr ? previous->GetSerial() : 0;
    entry->m_uNewSerial = next != nullptr ? next->GetSerial() : 0;
    return Append(std::move(entry), L"SendInput::SendProfileAction");
}

bool CSendInput::ModCursorPos(int kind, int value)
{
    auto entry = std::make_unique<CInputQueue>();
    entry->m_nCursorKind = kind;
    entry->m_nX = value;
    return Append(std::move(entry), L"SendInput::ModCursorPos");
}

bool CSendInput::ModCursorPosXY(int x, int y, int kind)
{
    auto entry = std::make_unique<CInputQueue>();
    entry->m_nCursorKind = kind;
    entry->m_nX = x;
    entry->m_nY = y;
    return Append(std::move(entry), L"SendInput::ModCursorPosXY");
}

bool CSendInput::SetLayer(int layer)
{
    auto entry = std::make_unique<CInputQueue>();
    entry->m_nLayerKind = 1;
    entry->m_nLayer = layer;
    entry->m_bLayerFlags[0] = entry->m_bLayerFlags[1] = entry->m_bLayerFlags[2] = true;
    return Append(std::move(entry), L"SendInput::SetLayer");
}

bool CSendInput::SimKeySetLayer(int layer, bool flag)
{
    auto entry = std::make_unique<CInputQueue>();
    entry->m_nLayerKind = 2;
    entry->m_nLayer = layer;
    entry->m_bSimKeyLayerFlag = flag;
    return Append(std::move(entry), L"SendInput::SimKeySetLayer");
}

bool CSendInput::SendInputDelay(UINT ms)
{
    auto entry = std::make_unique<CInputQueue>();
    entry->m_nDelay = ms;
    return Append(std::move(entry), L"SendInput::SendInputDelay");
}

bool CSendInput::SendInputThreaded(UINT count, const INPUT* records, UINT delay, bool press)
{
    if (m_bBlocked.load())
    {
        CLogger::LogMessage(L"SendInputThreaded: Ignoring input as the send thread has been blocked.");
        return false;
    }
    if (count == 0 || records == nullptr)
        return false;
    if (count <= PooledRecords)
    {
        CGenericThreadLock lock(&m_cs, L"SendInput::SendInputThreaded", true);
        if (std::unique_ptr<CInputQueue> entry = TakePooled())
        {
            entry->m_nDelay = delay;
            entry->m_Inputs.assign(records, records + count);
            entry->m_bPress = press;
            m_Queue.push_back(std::move(entry));
            return true;
        }
    }
    auto entry = std::make_unique<CInputQueue>();
    entry->m_nDelay = delay;
    entry->m_Inputs.assign(records, records + count);
    entry->m_bPress = press;
    return Append(std::move(entry), L"SendInput::SendInputThreaded");
}

bool CSendInput::SendKeyState(int vk, bool extended, UINT modifiers, UINT scan, bool unicode, bool release,
                              UINT extraDelay, ULONG_PTR extraInfo, HKL layout, UINT& pendingDelay)
{
    try
    {
        if (static_cast<UINT>(vk) == 0xFFFFFFFF)
        {
            CLogger::LogMessage(L"Invalid virtual key code sent to SendKeyState: 0x%08X function: 0x%04X Scan code: 0x%08X %s",
                                static_cast<UINT>(vk), modifiers, scan, unicode ? L"Unicode" : L"");
            return false;
        }
        UINT code = scan;
        if (code == 0 && vk != 0)
            code = MapVirtualKeyWithLayout(static_cast<UINT>(vk), MAPVK_VK_TO_VSC_EX, layout);
        DWORD mode = unicode ? KEYEVENTF_UNICODE : KEYEVENTF_SCANCODE;
        if (code == 0 || code == ScanByVirtualKey)
        {
            code = 0;
            mode = unicode ? KEYEVENTF_UNICODE : 0;
        }
        bool isExtended = extended;
        if (!unicode)
        {
            // An extended scan code (E0/E1 prefix) is sent as its low byte with the extended flag.
            if ((code & 0xFF00) == 0xE000 || (code & 0xFF00) == 0xE100)
                isExtended = true;
            code &= 0xFF;
        }
        CLogger::LogDebug(L"SendInput::SendKeyState: Queue VKCode=0x%x Scan code=0x%x SendMode=0x%x Flags=0x%x Release=%d Delay=%d",
                          vk, code, mode, modifiers, release ? 1 : 0, pendingDelay);

        DWORD tick = ::GetTickCount();
        std::vector<INPUT> key;
        // The virtual key may carry a shift state in its high byte: only the key itself is sent.
        const WORD keyVk = static_cast<WORD>(vk & 0xFF);
        if (keyVk != 0 || code != 0)
        {
            DWORD flags = mode;
            if (isExtended)
                flags |= KEYEVENTF_EXTENDEDKEY;
            if (release)
                flags |= KEYEVENTF_KEYUP;
            key.push_back(KeyInput(keyVk, static_cast<WORD>(code), flags, extraInfo, tick++));
        }
        std::vector<INPUT> mods;
        const int count = static_cast<int>(sizeof(Modifiers) / sizeof(Modifiers[0]));
        for (int n = 0; n < count; ++n)
        {
            const ModifierKey& m = Modifiers[release ? count - 1 - n : n];
            if ((modifiers & m.bit) == 0)
                continue;
            const WORD modifierScan = static_cast<WORD>(MapVirtualKeyWithLayout(m.vk, MAPVK_VK_TO_VSC, layout));
            mods.push_back(KeyInput(m.vk, modifierScan, m.flags | (release ? KEYEVENTF_KEYUP : 0), extraInfo, tick++));
        }

        bool queued = true;
        if (!release)
        {
            ::SetLastError(0);
            const UINT delay = AddDelays(pendingDelay, extraDelay);
            if (!mods.empty())
                queued &= SendInputThreaded(static_cast<UINT>(mods.size()), mods.data(), delay, true);
            if (!key.empty())
                queued &= SendInputThreaded(static_cast<UINT>(key.size()), key.data(), delay, true);
        }
        else
        {
            if (!key.empty())
            {
                const UINT delay = mods.empty() ? extraDelay : AddDelays(pendingDelay, extraDelay);
                queued &= SendInputThreaded(static_cast<UINT>(key.size()), key.data(), delay, false);
            }
            if (!mods.empty())
                queued &= SendInputThreaded(static_cast<UINT>(mods.size()), mods.data(), extraDelay, false);
        }
        pendingDelay = 0;
        return queued;
    }
    catch (...)
    {
        LogCaughtException(L"SendInput::SendKeyState");
    }
    return false;
}

UINT CSendInput::SendMouse(int button, int kind, POINT point, bool leftAlreadyDown, bool alternativeNames,
                           ULONG_PTR extraInfo, UINT pendingDelay)
{
    (void)alternativeNames;
    const std::vector<INPUT> inputs = BuildMouseInputs(button, kind, point, leftAlreadyDown, extraInfo);
    CLogger::LogDebug(L"SendInput::SendMouse: Queue mouse button='%s', Action='%s', Point=%d,%d, MouseHookPtr=0x%X, Delay=%d",
                      button >= 0 && button <= 8 ? ButtonNames[button] : L"NULL",
                      kind >= 0 && kind <= 3 ? KindNames[kind] : L"NULL", point.x, point.y,
                      static_cast<unsigned>(extraInfo), pendingDelay);
    if (inputs.empty())
        return 0;
    if (!SendInputThreaded(static_cast<UINT>(inputs.size()), inputs.data(), pendingDelay, kind == kEventDown))
        return 0;
    return static_cast<UINT>(inputs.size());
}

bool CSendInput::FlushQueue(bool block)
{
    bool dropped = false;
    try
    {
        {
            CGenericThreadLock lock(&m_cs, L"SendInput::FlushQueue", true);
            m_bBlocked = block;
            dropped = !m_Queue.empty();
            for (const std::unique_ptr<CInputQueue>& entry : m_Queue)
            {
                // A release of what the worker already pressed must still go out.
                AppendReleases(*entry, m_FlushReleases);
            }
            Recycle(m_Queue);
            // Set with the queue emptied: a batch the worker takes after this
            // was queued after the flush and is not cut.
            m_bFlushed = true;
        }
        if (dropped)
            CLogger::LogDebug(L"SendInput::FlushQueue - Finished flushing the queue");
        else
            CLogger::LogDebug(L"SendInput::FlushQueue requested, nothing in queue!");
        if (m_hWakeEvent != nullptr)
            ::SetEvent(m_hWakeEvent);
        m_bBlocked = false;
        WakeWorker(m_dwThreadId.load());
        // The wake-up is not taken back here: a worker just about to wait would
        // lose it and wait the whole delay. It clears the event itself before
        // each wait (and sees the flushed flag, set first, after that).
    }
    catch (...)
    {
        LogCaughtException(L"CSendInput::FlushQueue");
    }
    return dropped;
}

// --- worker side -----------------------------------------------------------

std::size_t CSendInput::QueueLength()
{
    CGenericThreadLock lock(&m_cs, L"SendInput::QueueLength", true);
    return m_Queue.size();
}

POINT CSendInput::GetSavedCursor(int store) const
{
    if (store < 0 || store >= CursorStores)
        return POINT{};
    return m_SavedCursors[store];
}

std::size_t CSendInput::HeldKeyCount()
{
    CGenericThreadLock lock(&m_csHeld, L"SendInput::HeldKeyCount", true);
    return m_HeldKeys.size();
}

std::size_t CSendInput::HeldButtonCount()
{
    CGenericThreadLock lock(&m_csHeld, L"SendInput::HeldButtonCount", true);
    return m_HeldButtons.size();
}

void CSendInput::PressReleasedElsewhere(int button)
{
    if (button < 0 || button > 4 || (m_uHeldButtons.load(std::memory_order_relaxed) & (1u << button)) == 0)
        return;
    CGenericThreadLock lock(&m_csHeld, L"SendInput::PressReleasedElsewhere", true);
    const std::size_t before = m_HeldButtons.size();
    m_HeldButtons.erase(std::remove_if(m_HeldButtons.begin(), m_HeldButtons.end(),
                                       [button](const MOUSEINPUT& press) { return ButtonOfPress(press) == button; }),
                        m_HeldButtons.end());
    m_uHeldButtons = ButtonMaskOf(m_HeldButtons);
    CLogger::LogDebug(L"CSendInput::PressReleasedElsewhere: Button %d went up in the system (%d presses no longer held)", button,
                      static_cast<int>(before - m_HeldButtons.size()));
}

void CSendInput::TrackKeys(const INPUT* records, UINT count)
{
    CGenericThreadLock lock(&m_csHeld, L"SendInput::TrackKeys", true);
    for (UINT i = 0; i < count; ++i)
    {
        if (records[i].type == INPUT_MOUSE)
        {
            TrackButtons(m_HeldButtons, records[i].mi);
            m_uHeldButtons = ButtonMaskOf(m_HeldButtons);
            continue;
        }
        if (records[i].type != INPUT_KEYBOARD)
            continue;
        const KEYBDINPUT& key = records[i].ki;
        if ((key.dwFlags & KEYEVENTF_KEYUP) == 0)
        {
            m_HeldKeys.push_back(key);
            continue;
        }
        for (auto it = m_HeldKeys.rbegin(); it != m_HeldKeys.rend(); ++it)
        {
            if (SameKey(*it, key))
            {
                m_HeldKeys.erase(std::next(it).base());
                break;
            }
        }
    }
}

void CSendInput::ReleaseHeldKeys()
{
    std::vector<INPUT> releases;
    {
        CGenericThreadLock lock(&m_csHeld, L"SendInput::ReleaseHeldKeys", true);
        const DWORD tick = ::GetTickCount();
        for (auto it = m_HeldButtons.rbegin(); it != m_HeldButtons.rend(); ++it)
        {
            INPUT input = {};
            input.type = INPUT_MOUSE;
            input.mi = *it;
            input.mi.dwFlags = ReleaseOf(it->dwFlags);
            input.mi.time = tick + static_cast<DWORD>(releases.size());
            releases.push_back(input);
        }
        if (!m_HeldButtons.empty())
            CLogger::LogMessage(L"CSendInput::ProcessQueue: Releasing %d mouse buttons left pressed",
                                static_cast<int>(m_HeldButtons.size()));
        m_HeldButtons.clear();
        m_uHeldButtons = 0;
        for (auto it = m_HeldKeys.rbegin(); it != m_HeldKeys.rend(); ++it)
        {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki = *it;
            input.ki.dwFlags |= KEYEVENTF_KEYUP;
            input.ki.time = tick + static_cast<DWORD>(releases.size());
            releases.push_back(input);
        }
        m_HeldKeys.clear();
    }
    if (releases.empty())
        return;
    const auto keys = std::count_if(releases.begin(), releases.end(), [](const INPUT& input) { return input.type == INPUT_KEYBOARD; });
    if (keys != 0)
        CLogger::LogMessage(L"CSendInput::ProcessQueue: Releasing %d keys left pressed", static_cast<int>(keys));
    m_pSink->Send(static_cast<UINT>(releases.size()), releases.data());
}

void CSendInput::SendHeldReleases(const std::vector<INPUT>& releases)
{
    if (releases.empty())
        return;
    std::vector<INPUT> due;
    {
        CGenericThreadLock lock(&m_csHeld, L"SendInput::SendHeldReleases", true);
        for (const INPUT& release : releases)
        {
            if (release.type == INPUT_KEYBOARD)
            {
                for (auto it = m_HeldKeys.rbegin(); it != m_HeldKeys.rend(); ++it)
                {
                    if (SameKey(*it, release.ki))
                    {
                        m_HeldKeys.erase(std::next(it).base());
                        due.push_back(release);
                        break;
                    }
                }
            }
            else if (release.type == INPUT_MOUSE)
            {
                const DWORD up = ForgetHeldButtons(m_HeldButtons, release.mi);
                m_uHeldButtons = ButtonMaskOf(m_HeldButtons);
                if (up != 0)
                {
                    due.push_back(release);
                    due.back().mi.dwFlags = up;
                }
            }
        }
    }
    if (due.empty())
        return;
    CLogger::LogDebug(L"CSendInput::ProcessQueue: Sending %d releases of flushed input", static_cast<int>(due.size()));
    m_pSink->Send(static_cast<UINT>(due.size()), due.data());
}

void CSendInput::SendFlushReleases()
{
    std::vector<INPUT> releases;
    {
        CGenericThreadLock lock(&m_cs, L"SendInput::SendFlushReleases", true);
        if (m_FlushReleases.empty())
            return;
        releases.assign(m_FlushReleases.begin(), m_FlushReleases.end());
        m_FlushReleases.clear();
    }
    SendHeldReleases(releases);
}

UINT CSendInput::SendBatch(CInputQueue& entry)
{
    const UINT count = static_cast<UINT>(entry.m_Inputs.size());
    ::SetLastError(0);
    CLogger::LogDebug(L"CSendInput::ProcessQueue: Sending %d SIMULATED INPUTS", count);
    const UINT sent = m_pSink->Send(count, entry.m_Inputs.data());
    TrackKeys(entry.m_Inputs.data(), sent < count ? sent : count);
    if (sent < count)
    {
        const DWORD error = ::GetLastError();
        if (error == 0)
            CLogger::LogMessage(L"CSendInput::ProcessQueue: Failed to send keys due to UIPI protection. Tried to send %d keystrokes, sent %d keystrokes",
                                count, sent);
        else
            CLogger::LogOSMessage(error, L"CSendInput::ProcessQueue: Failed to send keys. Tried to send %d keystrokes, sent %d keystrokes",
                                  count, sent);
    }
    return sent < count ? sent : count;
}

void CSendInput::ModifyCursor(const CInputQueue& entry)
{
    POINT cursor = {};
    m_pSink->GetCursor(cursor);
    const int x = entry.m_nX;
    const int y = entry.m_nY;
    const int kind = entry.m_nCursorKind;

    // Co-ordinates in the client area of a window; false when it is gone.
    auto clientPoint = [](HWND window, int cx, int cy, POINT& out) {
        if (window == nullptr || !::IsWindow(window))
            return false;
        out = POINT{cx, cy};
        return ::ClientToScreen(window, &out) != FALSE;
    };

    switch (kind)
    {
    case SIMCURSOR_SETX:
    case SIMCURSOR_SETY:
        CLogger::LogDebug(L"CSendInput::ProcessQueue: Moving cursor X to %d", x);
        (kind == SIMCURSOR_SETX ? cursor.x : cursor.y) = x;
        break;
    case SIMCURSOR_SETXY:
        CLogger::LogDebug(L"CSendInput::ProcessQueue: Moving cursor (%d,%d)", x, y);
        cursor = POINT{x, y};
        break;
    case SIMCURSOR_ADDX:
        CLogger::LogDebug(L"CSendInput::ProcessQueue: Adding %d to cursor X", x);
        cursor.x += x;
        break;
    case SIMCURSOR_ADDY:
        CLogger::LogDebug(L"CSendInput::ProcessQueue: Adding %d to cursor Y", x);
        cursor.y += x;
        break;
    case SIMCURSOR_ADDXY:
        CLogger::LogDebug(L"CSendInput::ProcessQueue: Adding (%d,%d) to cursor", x, y);
        cursor.x += x;
        cursor.y += y;
        break;
    case SIMCURSOR_PROFILEX:
    case SIMCURSOR_PROFILEY:
    case SIMCURSOR_PROFILEXY:
    case SIMCURSOR_ACTIVEX:
    case SIMCURSOR_ACTIVEY:
    case SIMCURSOR_ACTIVEXY:
    {
        const bool profile = kind == SIMCURSOR_PROFILEX || kind == SIMCURSOR_PROFILEY || kind == SIMCURSOR_PROFILEXY;
        const bool both = kind == SIMCURSOR_PROFILEXY || kind == SIMCURSOR_ACTIVEXY;
        const bool onlyX = kind == SIMCURSOR_PROFILEX || kind == SIMCURSOR_ACTIVEX;
        const HWND window = profile ? Services().GetProfileWindow() : ::GetForegroundWindow();
        POINT screen = {};
        if (!clientPoint(window, onlyX || both ? x : 0, both ? y : (onlyX ? 0 : x), screen))
        {
            if (profile)
                CLogger::LogMessage(onlyX ? L"ProcessQueue: Unable to obtain the profile window to set the mouse X cursor position."
                                          : L"ProcessQueue: Unable to obtain the profile window to set the mouse Y cursor position.");
            else
                CLogger::LogMessage(onlyX ? L"ProcessQueue: Unable to obtain the active window to set the mouse X cursor position."
                                          : L"ProcessQueue: Unable to obtain the active window to set the mouse Y cursor position.");
            return;
        }
        if (both)
        {
            CLogger::LogDebug(L"CSendInput::ProcessQueue: Moving cursor (%d,%d)", x, y);
            cursor = screen;
        }
        else
        {
            CLogger::LogDebug(L"CSendInput::ProcessQueue: Moving cursor X to %d", x);
            (onlyX ? cursor.x : cursor.y) = onlyX ? screen.x : screen.y;
        }
        break;
    }
    case SIMCURSOR_SAVE:
    case SIMCURSOR_RESTORE:
    {
        // The tags number the stores 1 to 10.
        const int store = x - 1;
        if (store < 0 || store >= CursorStores)
        {
            CLogger::LogMessage(L"CSendInput::ProcessQueue: Cursor store %d does not exist (1 to %d)", x, CursorStores);
            return;
        }
        if (kind == SIMCURSOR_SAVE)
        {
            CLogger::LogDebug(L"CSendInput::ProcessQueue: Save cursor to store %d", x);
            m_SavedCursors[store] = cursor;
            return;
        }
        CLogger::LogDebug(L"CSendInput::ProcessQueue: Restore cursor from store %d", x);
        cursor = m_SavedCursors[store];
        break;
    }
    default:
        CLogger::LogDebug(L"CSendInput::ProcessQueue: Cursor Mod %d", kind);
        return;
    }
    m_pSink->SetCursor(cursor.x, cursor.y);
}

bool CSendInput::ProcessSimKeyAction(const CInputQueue& entry)
{
    try
    {
        const int value = static_cast<int>(entry.m_fSimKeyValue);
        ITokenServices& services = Services();
        switch (entry.m_nSimKeyCode)
        {
        case SIMKEY_ACTIVATE:
        case SIMKEY_ACTIVATEPARENT:
        case SIMKEY_ACTIVATETOP:
            services.ActivateWindowUnderCursor(entry.m_nSimKeyCode);
            ::Sleep(50);
            return true;
        case SIMKEY_CURSORBUSY:
            ChangeCursor(m_hBusyCursor);
            return true;
        case SIMKEY_CURSORDEFAULT:
            ::SystemParametersInfoW(SPI_SETCURSORS, 0, nullptr, 0);
            return true;
        case SIMKEY_FLUSH:
            FlushQueue(true);
            return true;
        case SIMKEY_VOLUMEUP:
            services.ChangeVolume(value == 0 ? 2 : value);
            return true;
        case SIMKEY_VOLUMEDOWN:
            services.ChangeVolume(value == 0 ? -2 : -value);
            return true;
        case SIMKEY_MUTE:
            services.ToggleMute();
            return true;
        case SIMKEY_SETVOLUME:
            services.SetVolume(value);
            return true;
        case SIMKEY_CTRLALTDEL:
        {
            CSecureAttentionSequence sas;
            return sas.SendSAS(true);
        }
        default:
            if (entry.m_nSimKeyCode >= SIMKEY_INVERTXY && entry.m_nSimKeyCode <= SIMKEY_UNLOCKXY)
            {
                services.AxisAction(entry.m_nSimKeyCode);
                return true;
            }
            return false;
        }
    }
    catch (...)
    {
        LogCaughtException(L"CSendInput::ProcessSimKeyAction()");
    }
    return false;
}

void CSendInput::ChangeCursor(HCURSOR cursor)
{
    if (cursor == nullptr)
        return;
    static const DWORD ids[] = {32650, 32512, 32515, 32649, 32651, 32513, 32648, 32646,
                                32643, 32645, 32642, 32644, 32516, 32514, 32631, 32663};
    CThreadLock lock(L"CSendInput::ChangeCursor");
    CLogger::LogDebug(L"Setting cursor 0x%08X", HandleNumber(cursor));
    for (DWORD id : ids)
    {
        HCURSOR copy = static_cast<HCURSOR>(::CopyIcon(cursor));
        if (copy == nullptr || ::SetSystemCursor(copy, id))
            continue;
        if (!::DestroyCursor(copy))
            CLogger::LogOSMessage(::GetLastError(), L"CSendInput::ChangeCursor Unable to destory cur %d", id);
    }
}

void CSendInput::ProcessQueue()
{
    try
    {
        std::vector<std::unique_ptr<CInputQueue>> local;
        {
            CGenericThreadLock lock(&m_cs, L"SendInput::ProcessQueue", true);
            local.swap(m_Queue);
            m_Queue.swap(m_Spare);
            if (!local.empty())
                m_bFlushed = false;
        }
        // Whatever way this ends, the entries go back to the stock and the
        // vector becomes the spare again.
        struct GiveBack
        {
            CSendInput& queue;
            std::vector<std::unique_ptr<CInputQueue>>& entries;
            ~GiveBack()
            {
                CGenericThreadLock lock(&queue.m_cs, L"SendInput::ProcessQueue", true);
                queue.Recycle(entries);
                if (queue.m_Spare.capacity() < entries.capacity())
                    queue.m_Spare.swap(entries);
            }
        } giveBack{*this, local};
        if (ExitRequested())
            return;
        // Releases an earlier flush took from the queue come before anything queued after it.
        SendFlushReleases();
        if (local.empty())
            return;
        CLogger::LogDebug(L"CSendInput::ProcessQueue: Starting to process %d queue entries", static_cast<int>(local.size()));
        m_bProcessing = true;

        // Only a batch of nothing but volume keys asks the audio endpoint for
        // the volume: a click must not wait for it.
        std::vector<const CInputQueue*> entries;
        for (const auto& e : local)
            entries.push_back(e.get());
        const int only = VolumeOnlyBatch(entries);
        int volume = 0;
        if (only != 0 && Services().GetVolume(volume) && (volume == 0 || volume >= 100))
        {
            if ((only == 1 && volume >= 100) || (only == 2 && volume == 0))
            {
                CLogger::LogDebug(only == 1 ? L"Skipping volume up as it is already 100!"
                                            : L"Skipping volume down as it is already 0!");
                m_bProcessing = false;
                m_bFlushed = false;
                return;
            }
        }

        int performed = 0;
        HANDLE waitEvents[2] = {m_hWakeEvent, m_hExitEvent};
        const DWORD waitCount = (m_hWakeEvent != nullptr ? 1u : 0u) + (m_hExitEvent != nullptr ? 1u : 0u);
        // The mouse buttons this batch pressed: a flush that cuts it short lets them go.
        std::vector<MOUSEINPUT> pressedHere;
        std::size_t next = 0;
        bool cut = false;   // a flush ended this batch before its end
        for (; next < local.size(); ++next)
        {
            auto& item = local[next];
            if (ExitRequested())
                break;
            if (m_bFlushed)
            {
                cut = true;
                break;
            }
            if (!item)
                continue;
            CInputQueue& entry = *item;
            if (entry.m_nCursorKind != 0 && entry.m_nLayerKind == 0)
            {
                ModifyCursor(entry);
            }
            else if (entry.m_nSimKeyCode != 0 && entry.m_nLayerKind == 0)
            {
                CLogger::LogDebug(L"CSendInput::ProcessQueue: Sending SimKey Action %d", entry.m_nSimKeyCode);
                ProcessSimKeyAction(entry);
            }
            else if (entry.m_pNewProfile != nullptr)
            {
                CLogger::LogDebug(L"CSendInput::ProcessQueue: Processing profile changed script");
                Services().RunProfileChangedScript(entry.m_pPreviousProfile, entry.m_uPreviousSerial, entry.m_pNewProfile,
                                                   entry.m_uNewSerial, entry.m_nLayer);
            }
            else if (!entry.m_Inputs.empty() && entry.m_nLayerKind == 0)
            {
                const UINT sent = SendBatch(entry);
                for (UINT i = 0; i < sent; ++i)
                {
                    const INPUT& input = entry.m_Inputs[i];
                    if (input.type == INPUT_MOUSE && (input.mi.dwFlags & kButtonDownFlags) != 0)
                        pressedHere.push_back(input.mi);
                }
            }
            else if (entry.m_nLayerKind == 1)
            {
                CLogger::LogDebug(L"CSendInput::ProcessQueue: Set layer to %d", entry.m_nLayer + 1);
                Services().SetCurrentLayer(entry.m_nLayer, true, true, true);
            }
            else if (entry.m_nLayerKind == 2)
            {
                CLogger::LogDebug(L"CSendInput::ProcessQueue: Set layer to %d", entry.m_nLayer + 1);
                Services().SetCurrentLayer(entry.m_nLayer, false, false, false);
                Services().SetLayerSetByAction(entry.m_bSimKeyLayerFlag);
            }
            ++performed;
            if (!m_bFlushed && entry.m_nDelay != 0 && !ExitRequested())
            {
                // A wake-up left from an earlier flush must not cut this wait;
                // one that comes after this is seen by the wait or, when it came
                // just before, through the flushed flag the flush sets first.
                if (m_hWakeEvent != nullptr)
                    ::ResetEvent(m_hWakeEvent);
                LARGE_INTEGER start;
                ::QueryPerformanceCounter(&start);
                if (!m_Timer.Wait(entry.m_nDelay, waitEvents, waitCount, &m_bFlushed) && m_bFlushed)
                    cut = true;
                LARGE_INTEGER end;
                ::QueryPerformanceCounter(&end);
                if (m_Timer.Available())
                    CLogger::LogDebug(L"Waited for %0.3lf seconds (%ldms).",
                                      static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(m_Timer.Frequency()),
                                      static_cast<long>(entry.m_nDelay));
            }
        }
        // What this batch did not perform never goes out.
        std::vector<INPUT> releases;
        for (std::size_t i = next; i < local.size(); ++i)
        {
            if (!local[i])
                continue;
            AppendReleases(*local[i], releases);
        }
        const bool flushed = m_bFlushed.exchange(false);
        if (flushed && !ExitRequested())
        {
            CLogger::LogDebug(L"CSendInput::ProcessQueue: Flushing queue");
            // A flush drops presses, never releases of what is down: those of
            // the batch cut short first, then those the flush took from the
            // queue, then the buttons the batch it cut short pressed and left
            // down (a click cut in half).
            SendHeldReleases(releases);
            SendFlushReleases();
            if (cut)
            {
                releases.clear();
                for (auto it = pressedHere.rbegin(); it != pressedHere.rend(); ++it)
                    AppendButtonReleases(*it, releases);
                SendHeldReleases(releases);
            }
        }
        m_bProcessing = false;
        CLogger::LogDebug(L"CSendInput::ProcessQueue: Finished sending %d queue entries... (Flushed = %d)", performed,
                          flushed ? 1 : 0);
    }
    catch (...)
    {
        m_bProcessing = false;
        LogCaughtException(L"CSendInput::ProcessQueue()");
    }
}
