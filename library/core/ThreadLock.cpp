#include "ThreadLock.h"

#include <atomic>
#include <cwchar>

#include "Logger.h"

namespace
{
std::atomic<LockTickSource> g_tickSource{nullptr};

constexpr DWORD kLongWaitMs = 1000;
constexpr DWORD kLongHoldMs = 500;
constexpr DWORD kSpinCount = 4000;
constexpr size_t kNameSize = 255;

// Names are copied with at most 254 characters; a null name reads "NULL".
void CopyName(wchar_t (&target)[kNameSize], const wchar_t* name)
{
    if (name == nullptr)
        name = L"NULL";
    size_t i = 0;
    for (; i < kNameSize - 1 && name[i] != L'\0'; ++i)
        target[i] = name[i];
    target[i] = L'\0';
}

// The owner's name may change under a reader that does not hold the lock: take
// a bounded snapshot so that a torn read still ends inside the buffer.
void SnapshotName(wchar_t (&target)[kNameSize], const wchar_t (&source)[kNameSize])
{
    size_t i = 0;
    for (; i < kNameSize - 1; ++i)
    {
        const wchar_t c = source[i];
        if (c == L'\0')
            break;
        target[i] = c;
    }
    target[i] = L'\0';
}

// The state of one process-wide named lock; CThreadLock and CAudioThreadLock
// differ only in their data and the class name of their log texts.
struct GlobalLockState
{
    CRITICAL_SECTION& cs;
    int& entryCount;
    DWORD& owner;
    DWORD& timer;
    wchar_t (&name)[kNameSize];
    std::atomic<bool>& initialised;
    const wchar_t* className;
};

void InitLock(GlobalLockState& s, const wchar_t* failureText, const wchar_t* exceptionText)
{
    if (s.initialised.load())
        return;
    try
    {
        if (!::InitializeCriticalSectionAndSpinCount(&s.cs, kSpinCount))
        {
            CLogger::LogOSMessage(::GetLastError(), failureText);
            return;
        }
        s.initialised.store(true);
    }
    catch (...)
    {
        CLogger::LogMessage(exceptionText);
    }
}

void EnsureInitialised(GlobalLockState& s, const wchar_t* failureText, const wchar_t* exceptionText)
{
    if (!s.initialised.load())
        InitLock(s, failureText, exceptionText);
}

void NoteOuterEntry(GlobalLockState& s, const wchar_t* name)
{
    if (s.entryCount++ == 0)
    {
        s.owner = ::GetCurrentThreadId();
        CopyName(s.name, name);
    }
}

void NoteRelease(GlobalLockState& s)
{
    if (s.entryCount-- == 1)
    {
        s.owner = 0;
        CopyName(s.name, L"unknown");
    }
    if (s.entryCount < 0)
        s.entryCount = 0;
}

// Enters cs, logging the wait under the given class name. Returns nothing: the
// wait is measured from start.
void EnterLogged(CRITICAL_SECTION& cs, const wchar_t* className, const wchar_t* name, DWORD start,
                 const wchar_t (&ownerName)[kNameSize], bool quiet)
{
    if (::TryEnterCriticalSection(&cs))
        return;
    if (!quiet)
    {
        wchar_t owner[kNameSize];
        SnapshotName(owner, ownerName);
        CLogger::LogDebug(L"%s::Constructor Waiting to enter critical section for '%s' (TID: %08X). It is currently locked by '%s'...",
                          className, name != nullptr ? name : L"NULL", ::GetCurrentThreadId(), owner);
    }
    ::EnterCriticalSection(&cs);
    const DWORD waited = LockTickCount() - start;
    if (waited > kLongWaitMs)
        CLogger::LogMessage(L"%s::Constructor It took a long time to obtain the lock for '%s' (%dms).", className,
                            name != nullptr ? name : L"NULL", static_cast<int>(waited));
    else if (!quiet)
        CLogger::LogDebug(L"%s::Constructor Obtained lock for '%s' after %dms.", className, name != nullptr ? name : L"NULL",
                          static_cast<int>(waited));
}

void ReportLongHold(const wchar_t* className, DWORD start, const wchar_t (&name)[kNameSize])
{
    const DWORD held = LockTickCount() - start;
    if (held > kLongHoldMs)
    {
        wchar_t snapshot[kNameSize];
        SnapshotName(snapshot, name);
        CLogger::LogMessage(L"%s::Destructor The lock for '%s' took %dms to release!", className, snapshot, static_cast<int>(held));
    }
}

bool TryEnterStatic(GlobalLockState& s, const wchar_t* name)
{
    if (!::TryEnterCriticalSection(&s.cs))
    {
        wchar_t owner[kNameSize];
        SnapshotName(owner, s.name);
        CLogger::LogDebug(L"%s::TryEnterCS Skipping '%s' (TID: %08X) because the thread is locked by '%s'", s.className,
                          name != nullptr ? name : L"NULL", ::GetCurrentThreadId(), owner);
        return false;
    }
    NoteOuterEntry(s, name);
    s.timer = LockTickCount();
    return true;
}

void LeaveStatic(GlobalLockState& s)
{
    const DWORD held = LockTickCount() - s.timer;
    if (held > kLongWaitMs)
    {
        wchar_t snapshot[kNameSize];
        SnapshotName(snapshot, s.name);
        CLogger::LogMessage(L"%s::LeaveCS: Critical Section for '%s' took %dms to be released!", s.className, snapshot,
                            static_cast<int>(held));
    }
    NoteRelease(s);
    ::LeaveCriticalSection(&s.cs);
}

void ResetLock(GlobalLockState& s)
{
    CLogger::LogDebug(L"%s::ResetGlobalCS: Resetting global critical section lock", s.className);
    try
    {
        if (s.initialised.exchange(false))
            ::DeleteCriticalSection(&s.cs);
    }
    catch (...)
    {
        CLogger::LogMessage(L"%s::ResetGlobalCS: Unable to delete global critical section", s.className);
    }
    try
    {
        if (::InitializeCriticalSectionAndSpinCount(&s.cs, kSpinCount))
            s.initialised.store(true);
        else
            CLogger::LogOSMessage(::GetLastError(), L"%s::ResetGlobalCS: Unable to initialize critical sections", s.className);
    }
    catch (...)
    {
        CLogger::LogMessage(L"%s::ResetGlobalCS: Unable to initialize critical sections", s.className);
    }
}

void DeleteLock(GlobalLockState& s)
{
    if (s.initialised.exchange(false))
        ::DeleteCriticalSection(&s.cs);
}

// Read from the critical section itself: the diagnostic owner may be stale
// after a reset that followed a terminated holder.
bool HeldByCurrentThread(GlobalLockState& s)
{
    return s.initialised.load() &&
           reinterpret_cast<ULONG_PTR>(s.cs.OwningThread) == static_cast<ULONG_PTR>(::GetCurrentThreadId());
}

// What tells the two process-wide locks apart: the class name of their log
// lines and the texts of a failed start.
template <typename Tag>
struct LockTraits;

template <>
struct LockTraits<GlobalLockTag>
{
    static constexpr const wchar_t* kClassName = L"CThreadLock";
    static constexpr const wchar_t* kInitFailure = L"CThreadLock::InitGlobalCS Unable to initialise global critical section in ThreadLock";
    static constexpr const wchar_t* kInitException =
        L"CThreadLock::InitGlobalCS Exception: Unable to initialise global critical sections in ThreadLock";
};

template <>
struct LockTraits<AudioLockTag>
{
    static constexpr const wchar_t* kClassName = L"CAudioThreadLock";
    static constexpr const wchar_t* kInitFailure = L"CAudioThreadLock::InitGlobalCS Unable to initialise global critical section";
    static constexpr const wchar_t* kInitException =
        L"CAudioThreadLock::InitGlobalCS Exception: Unable to initialise global critical sections";
};

template <typename Tag>
GlobalLockState& State()
{
    using Lock = CProcessLock<Tag>;
    static std::atomic<bool> initialised{false};
    static GlobalLockState state{Lock::g_GlobalCS, Lock::m_snEntryCount, Lock::m_sdwOwner, Lock::m_sdwTimer,
                                 Lock::m_stcName,  initialised,         LockTraits<Tag>::kClassName};
    return state;
}

template <typename Tag>
void Ensure()
{
    EnsureInitialised(State<Tag>(), LockTraits<Tag>::kInitFailure, LockTraits<Tag>::kInitException);
}

// Both locks exist as soon as the library is loaded, before any code of the
// library runs; the explicit calls at load then find them ready.
struct LockStartup
{
    LockStartup()
    {
        Ensure<GlobalLockTag>();
        Ensure<AudioLockTag>();
    }
} g_lockStartup;
}

void SetLockTickSource(LockTickSource source) { g_tickSource.store(source); }

DWORD LockTickCount()
{
    const LockTickSource source = g_tickSource.load();
    return source != nullptr ? source() : ::GetTickCount();
}

// ---------------------------------------------------------------------------
// CThreadLock and CAudioThreadLock

template <typename Tag>
CRITICAL_SECTION CProcessLock<Tag>::g_GlobalCS;
template <typename Tag>
int CProcessLock<Tag>::m_snEntryCount = 0;
template <typename Tag>
DWORD CProcessLock<Tag>::m_sdwOwner = 0;
template <typename Tag>
DWORD CProcessLock<Tag>::m_sdwTimer = 0;
template <typename Tag>
wchar_t CProcessLock<Tag>::m_stcName[255] = L"unknown";

template <typename Tag>
CProcessLock<Tag>::CProcessLock(const wchar_t* name) : m_dwStart(LockTickCount())
{
    Ensure<Tag>();
    EnterLogged(g_GlobalCS, LockTraits<Tag>::kClassName, name, m_dwStart, m_stcName, false);
    NoteOuterEntry(State<Tag>(), name);
}

template <typename Tag>
CProcessLock<Tag>::~CProcessLock()
{
    ReportLongHold(LockTraits<Tag>::kClassName, m_dwStart, m_stcName);
    NoteRelease(State<Tag>());
    ::LeaveCriticalSection(&g_GlobalCS);
}

template <typename Tag>
bool CProcessLock<Tag>::EnterCS(const wchar_t* name)
{
    Ensure<Tag>();
    ::EnterCriticalSection(&g_GlobalCS);
    NoteOuterEntry(State<Tag>(), name);
    m_sdwTimer = LockTickCount();
    return true;
}

template <typename Tag>
bool CProcessLock<Tag>::TryEnterCS(const wchar_t* name)
{
    Ensure<Tag>();
    return TryEnterStatic(State<Tag>(), name);
}

template <typename Tag>
void CProcessLock<Tag>::LeaveCS()
{
    LeaveStatic(State<Tag>());
}

template <typename Tag>
void CProcessLock<Tag>::InitGlobalCS()
{
    InitLock(State<Tag>(), LockTraits<Tag>::kInitFailure, LockTraits<Tag>::kInitException);
}

template <typename Tag>
void CProcessLock<Tag>::ResetGlobalCS()
{
    ResetLock(State<Tag>());
}

template <typename Tag>
void CProcessLock<Tag>::DeleteCS()
{
    DeleteLock(State<Tag>());
}

template <typename Tag>
bool CProcessLock<Tag>::IsHeldByCurrentThread()
{
    return HeldByCurrentThread(State<Tag>());
}

template <typename Tag>
void CProcessLock<Tag>::GetOwnerName(wchar_t* buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return;
    wchar_t snapshot[kNameSize];
    SnapshotName(snapshot, m_stcName);
    size_t i = 0;
    for (; i + 1 < size && snapshot[i] != L'\0'; ++i)
        buffer[i] = snapshot[i];
    buffer[i] = L'\0';
}

template class CProcessLock<GlobalLockTag>;
template class CProcessLock<AudioLockTag>;

// ---------------------------------------------------------------------------
// CGenericThreadLock

wchar_t CGenericThreadLock::m_stcName[255] = L"unknown";

CGenericThreadLock::CGenericThreadLock(CRITICAL_SECTION* cs, const wchar_t* name, bool quiet)
    : m_pCS(cs), m_dwStart(LockTickCount()), m_bQuiet(quiet)
{
    if (m_pCS == nullptr)
        return;
    EnterLogged(*m_pCS, L"CGenericThreadLock", name, m_dwStart, m_stcName, quiet);
    CopyName(m_stcName, name);
}

CGenericThreadLock::~CGenericThreadLock() { Release(); }

void CGenericThreadLock::Release()
{
    if (m_pCS == nullptr)
        return;
    ReportLongHold(L"CGenericThreadLock", m_dwStart, m_stcName);
    CRITICAL_SECTION* cs = m_pCS;
    m_pCS = nullptr;
    ::LeaveCriticalSection(cs);
}
