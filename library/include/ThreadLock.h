#pragma once
// Named scoped locks that log long waits and long holds.
//   CThreadLock       the library's one global lock (process-wide critical section)
//   CAudioThreadLock  a second process-wide lock for the audio classes
//   CGenericThreadLock the same timing rules over a critical section the caller owns
// All are recursive: the owning thread may enter again; owner, count and name
// change only at the outermost entry and release. Names and timings serve
// diagnosis only.

#include <windows.h>

#include "SnareholdApi.h"

// Time source of the locks' wait and hold measurements (milliseconds).
// Tests install a virtual clock; null restores GetTickCount.
using LockTickSource = DWORD (*)();
void SetLockTickSource(LockTickSource source);
DWORD LockTickCount();

// A process-wide named lock; each tag gives a lock of its own (its critical
// section and diagnostic data), named after the class in its log lines.
template <typename Tag>
class CProcessLock
{
public:
    explicit CProcessLock(const wchar_t* name);
    ~CProcessLock();
    CProcessLock(const CProcessLock&) = delete;
    CProcessLock& operator=(const CProcessLock&) = delete;

    // The same lock without a scope object, for code that enters and leaves in
    // different places. TryEnterCS never waits: false when another thread holds it.
    static bool EnterCS(const wchar_t* name);
    static bool TryEnterCS(const wchar_t* name);
    static void LeaveCS();

    // Create (repeated calls are harmless), re-create (after a thread that held
    // it was terminated) and delete the critical section.
    static void InitGlobalCS();
    static void ResetGlobalCS();
    static void DeleteCS();

    // Diagnosis: whether the calling thread holds the lock, and the owner's name.
    static bool IsHeldByCurrentThread();
    static void GetOwnerName(wchar_t* buffer, size_t size);

    static CRITICAL_SECTION g_GlobalCS;
    static int m_snEntryCount;
    static DWORD m_sdwOwner;
    static DWORD m_sdwTimer;
    static wchar_t m_stcName[255];

private:
    DWORD m_dwStart;
};

struct GlobalLockTag;
struct AudioLockTag;
extern template class SNAREHOLD_API CProcessLock<GlobalLockTag>;
extern template class SNAREHOLD_API CProcessLock<AudioLockTag>;

// The library's one global lock.
using CThreadLock = CProcessLock<GlobalLockTag>;
// A second process-wide lock for the audio classes.
using CAudioThreadLock = CProcessLock<AudioLockTag>;

// A scoped try of CThreadLock or CAudioThreadLock for the code that must never
// wait (hook procedures, timer callbacks): the constructor tries the lock once,
// Locked() says whether it was taken, and the destructor leaves it only then.
template <typename Lock>
class CScopedTryLock
{
public:
    explicit CScopedTryLock(const wchar_t* name) : m_bLocked(Lock::TryEnterCS(name)) {}
    ~CScopedTryLock() { Release(); }
    CScopedTryLock(const CScopedTryLock&) = delete;
    CScopedTryLock& operator=(const CScopedTryLock&) = delete;

    bool Locked() const { return m_bLocked; }
    explicit operator bool() const { return m_bLocked; }
    // Leaves the lock early; a second release does nothing.
    void Release()
    {
        if (m_bLocked)
        {
            m_bLocked = false;
            Lock::LeaveCS();
        }
    }

private:
    bool m_bLocked;
};

using CThreadTryLock = CScopedTryLock<CThreadLock>;
using CAudioThreadTryLock = CScopedTryLock<CAudioThreadLock>;

// An exclusive hold of a slim reader/writer lock for a scope: for small tables
// that must not take the global lock. Not recursive, no logging.
class SlimLock
{
public:
    explicit SlimLock(SRWLOCK& lock) : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
    ~SlimLock() { ::ReleaseSRWLockExclusive(&m_lock); }
    SlimLock(const SlimLock&) = delete;
    SlimLock& operator=(const SlimLock&) = delete;

private:
    SRWLOCK& m_lock;
};

class SNAREHOLD_API CGenericThreadLock
{
public:
    // quiet: no "Waiting"/"Obtained" debug lines (long waits and holds are
    // still reported).
    CGenericThreadLock(CRITICAL_SECTION* cs, const wchar_t* name, bool quiet = false);
    ~CGenericThreadLock();
    CGenericThreadLock(const CGenericThreadLock&) = delete;
    CGenericThreadLock& operator=(const CGenericThreadLock&) = delete;

    // Leaves the critical section early; a second release does nothing.
    void Release();

    // The name of the most recent instance that entered any critical section.
    static wchar_t m_stcName[255];

private:
    CRITICAL_SECTION* m_pCS;
    DWORD m_dwStart;
    bool m_bQuiet;
};
