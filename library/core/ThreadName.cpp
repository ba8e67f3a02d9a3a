// Thread names for debuggers and diagnostic tools.

#include <windows.h>

#include "ThreadName.h"

namespace
{
using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

constexpr DWORD kNameThreadException = 0x406D1388;

#pragma pack(push, 8)
struct ThreadNameInfo
{
    DWORD type;        // 0x1000
    LPCSTR name;
    DWORD threadId;
    DWORD flags;
};
#pragma pack(pop)

// Without SEH the naming exception is swallowed here, in case the debugger that
// was attached when we looked has gone away before it is raised.
LONG CALLBACK SwallowNameException(EXCEPTION_POINTERS* pointers)
{
    if (pointers->ExceptionRecord->ExceptionCode == kNameThreadException)
        return EXCEPTION_CONTINUE_EXECUTION;
    return EXCEPTION_CONTINUE_SEARCH;
}

SetThreadDescriptionFn LookUpSetThreadDescription()
{
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return nullptr;
    return reinterpret_cast<SetThreadDescriptionFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetThreadDescription")));
}
}

void SetThreadName(unsigned long threadId, const char* name)
{
    if (name == nullptr)
        return;
    static const SetThreadDescriptionFn setDescription = LookUpSetThreadDescription();
    if (setDescription != nullptr)
    {
        wchar_t wide[64] = {};
        if (::MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 63) > 0)
        {
            HANDLE thread = threadId == ::GetCurrentThreadId()
                                ? ::GetCurrentThread()
                                : ::OpenThread(THREAD_SET_LIMITED_INFORMATION, FALSE, threadId);
            if (thread != nullptr)
            {
                setDescription(thread, wide);
                if (thread != ::GetCurrentThread())
                    ::CloseHandle(thread);
            }
        }
    }
    if (!::IsDebuggerPresent())
        return;
    PVOID handler = ::AddVectoredExceptionHandler(1, SwallowNameException);
    ThreadNameInfo info = {0x1000, name, threadId, 0};
    ::RaiseException(kNameThreadException, 0, sizeof(info) / sizeof(ULONG_PTR), reinterpret_cast<const ULONG_PTR*>(&info));
    if (handler != nullptr)
        ::RemoveVectoredExceptionHandler(handler);
}
