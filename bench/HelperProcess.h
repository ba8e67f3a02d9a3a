#pragma once
// A program of the benchmarks' own that stands beside them (windows of another
// process): started with its arguments, waited for until it signals that it is
// up, and asked to quit through its quit event when the bench is done.

#include <windows.h>

#include <cstdio>
#include <string>

class HelperProcess
{
public:
    HelperProcess() = default;
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;
    ~HelperProcess() { Stop(); }

    // Starts the program beside this executable and waits until it sets ready;
    // false, with the reason printed, when it did not start or come up.
    bool Start(const wchar_t* program, const std::wstring& arguments, HANDLE ready, HANDLE quit)
    {
        m_quit = quit;
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring path = self;
        path = path.substr(0, path.find_last_of(L'\\') + 1) + program;
        std::wstring commandLine = L"\"" + path + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &m_process) == FALSE)
        {
            std::printf("the helper %ls did not start (error %lu)\n", path.c_str(), ::GetLastError());
            return false;
        }
        if (!WaitFor(ready, 20000))
        {
            std::printf("the helper's windows did not come up\n");
            return false;
        }
        return true;
    }

    // Waits for an event the helper sets; false when it ended or time ran out first.
    bool WaitFor(HANDLE event, DWORD timeoutMs) const
    {
        const HANDLE handles[2] = {event, m_process.hProcess};
        return ::WaitForMultipleObjects(2, handles, FALSE, timeoutMs) == WAIT_OBJECT_0;
    }

    // Asks the helper to quit and waits for it a while; the owner calls it
    // before it closes the quit event.
    void Stop()
    {
        if (m_process.hProcess == nullptr)
            return;
        ::SetEvent(m_quit);
        ::WaitForSingleObject(m_process.hProcess, 10000);
        ::CloseHandle(m_process.hProcess);
        ::CloseHandle(m_process.hThread);
        m_process = {};
    }

    DWORD Id() const { return m_process.dwProcessId; }

private:
    PROCESS_INFORMATION m_process{};
    HANDLE m_quit = nullptr;
};
