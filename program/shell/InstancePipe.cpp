#include "InstancePipe.h"

#include <sddl.h>

#include <vector>

#include "InstanceMessage.h"
#include "Logger.h"
#include "SingleInstance.h"
#include "StringFormat.h"

namespace
{
// Built from parts so that the name never stands in the file as one text.
std::wstring PipeBaseName()
{
    std::wstring name = L"\\\\.\\pipe\\";
    name += L"Brmp";
    name += L"Instance";
    name += L"Pipe";
    return name;
}

constexpr DWORD kPollIntervalMs = 100;
constexpr DWORD kBusyWaitMs = 10000;
}

std::wstring InstancePipeName(DWORD sessionId)
{
    return PipeBaseName() + FormatString(L".%u", static_cast<unsigned>(sessionId));
}

std::wstring InstancePipeName()
{
    DWORD session = 0;
    if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &session))
        session = 0;
    return InstancePipeName(session);
}

std::wstring CurrentUserSidText()
{
    HANDLE rawToken = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &rawToken))
        return {};
    UniqueHandle token(rawToken);
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
        return {};
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(user->User.Sid, &text))
        return {};
    std::wstring result(text);
    ::LocalFree(text);
    return result;
}

UniqueSecurityDescriptor BuildInstancePipeSecurity()
{
    const std::wstring user = CurrentUserSidText();
    if (user.empty())
    {
        CLogger::LogOSMessage(::GetLastError(), L"BuildInstancePipeSecurity: Unable to read the current user for the named pipe");
        return nullptr;
    }
    // Protected access list: full access for the system account and the user.
    const std::wstring sddl = L"D:P(A;;GA;;;SY)(A;;GA;;;" + user + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    {
        CLogger::LogOSMessage(::GetLastError(), L"BuildInstancePipeSecurity: Unable to initialise the security descriptor for the named pipe");
        return nullptr;
    }
    return UniqueSecurityDescriptor(descriptor);
}

UniqueHandle CreateInstancePipe(const std::wstring& name)
{
    // Without its own access list the pipe would be open to others: no pipe then.
    UniqueSecurityDescriptor descriptor = BuildInstancePipeSecurity();
    if (!descriptor)
    {
        CLogger::LogMessage(L"CreateInstancePipe: Unable to set the security descriptor for the named pipe; no pipe is created.");
        return UniqueHandle();
    }
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = descriptor.get();
    attributes.bInheritHandle = FALSE;

    HANDLE pipe = ::CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4,
        static_cast<DWORD>(kInstanceMessageSize), 0, &attributes);
    if (pipe == INVALID_HANDLE_VALUE)
    {
        CLogger::LogOSMessage(::GetLastError(), L"Unable to create the IPC named pipe");
        return UniqueHandle();
    }
    UniqueHandle owner(pipe);
    // The first-instance flag already refuses a name someone else holds; where
    // the system does not honour it, another instance of the name shows here.
    DWORD instances = 0;
    if (::GetNamedPipeHandleStateW(pipe, nullptr, &instances, nullptr, nullptr, nullptr, 0) && instances > 1)
    {
        CLogger::LogMessage(L"Unable to create the IPC named pipe: %u instances of it exist; another process owns the name.",
                            static_cast<unsigned>(instances));
        return UniqueHandle();
    }
    return owner;
}

namespace
{
bool InstanceEnded(const std::wstring& instanceMutex)
{
    if (instanceMutex.empty())
        return false;
    HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, instanceMutex.c_str());
    if (mutex != nullptr)
    {
        ::CloseHandle(mutex);
        return false;
    }
    return ::GetLastError() == ERROR_FILE_NOT_FOUND;
}
}

bool SendInstanceCommand(const std::wstring& pipeName, DWORD word, std::wstring_view text, DWORD startWaitMs,
                         const std::wstring& instanceMutex)
{
    const std::optional<InstanceMessage> message = EncodeInstanceMessage(word, text);
    if (!message)
        return false;

    const ULONGLONG deadline = ::GetTickCount64() + startWaitMs;
    bool loggedWaiting = false;
    for (;;)
    {
        // Identification only: a pipe server that is not the running instance
        // cannot act as this user.
        HANDLE pipe = ::CreateFileW(pipeName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE)
        {
            UniqueHandle owner(pipe);
            DWORD written = 0;
            if (!::WriteFile(pipe, message->data(), static_cast<DWORD>(message->size()), &written, nullptr) ||
                written != message->size())
            {
                const DWORD error = ::GetLastError();
                CLogger::LogMessage(L"Unable to write to the IPC named pipe. Error %d", static_cast<int>(error));
                return false;
            }
            owner.Reset();
            ::Sleep(0);
            return true;
        }

        const DWORD error = ::GetLastError();
        if (error == ERROR_PIPE_BUSY)
        {
            if (!::WaitNamedPipeW(pipeName.c_str(), kBusyWaitMs))
            {
                const DWORD waitError = ::GetLastError();
                // The server may have closed its end between the two calls.
                if (waitError == ERROR_FILE_NOT_FOUND && ::GetTickCount64() < deadline)
                    continue;
                CLogger::LogMessage(L"Unable to wait on the IPC named pipe. Error %d", static_cast<int>(waitError));
                return false;
            }
            continue;
        }
        if (error == ERROR_FILE_NOT_FOUND && ::GetTickCount64() < deadline)
        {
            if (InstanceEnded(instanceMutex))
            {
                CLogger::LogMessage(L"SendInstanceCommand: the running instance ended before it opened the IPC named pipe.");
                return false;
            }
            // The running instance holds the mutex but has not opened its pipe yet.
            if (!loggedWaiting)
            {
                CLogger::LogMessage(L"SendInstanceCommand: the IPC named pipe does not exist yet; waiting up to %u ms "
                                    L"for the running instance to open it.",
                                    static_cast<unsigned>(startWaitMs));
                loggedWaiting = true;
            }
            ::Sleep(kPollIntervalMs);
            continue;
        }
        CLogger::LogOSMessage(error, L"Unable to send to the IPC named pipe.");
        return false;
    }
}

bool SendToFirstInstance(DWORD word, const std::wstring& text)
{
    const std::wstring instanceName = CSingleInstance::CutName(CSingleInstance::ProgramName());
    return SendInstanceCommand(InstancePipeName(), word, text, kInstancePipeStartWaitMs, instanceName);
}
