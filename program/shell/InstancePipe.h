#pragma once
// The named pipe through which a later start of the program hands its command
// to the running instance. Only the same user in the same session can use it:
// the session is part of the name, the pipe's access list names the user (and
// the system account) alone, remote clients are refused, and the running
// instance must be the pipe's first creator.

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "Handles.h"

// How long a later start keeps looking for the pipe of an instance whose
// mutex exists: the running instance may still be loading its settings and
// waiting up to 10 s for its hooks before it opens the pipe.
constexpr DWORD kInstancePipeStartWaitMs = 30000;

// The pipe's full name for one session.
std::wstring InstancePipeName(DWORD sessionId);
// The pipe's name for the session this process runs in.
std::wstring InstancePipeName();

struct LocalFreeDeleter
{
    void operator()(void* memory) const { ::LocalFree(memory); }
};
using UniqueSecurityDescriptor = std::unique_ptr<void, LocalFreeDeleter>;

// A descriptor whose access list allows the current user and the system
// account and nobody else; null (with a log line) when it cannot be built.
UniqueSecurityDescriptor BuildInstancePipeSecurity();
// The current user's SID as text ("S-1-5-..."), empty when it cannot be read.
std::wstring CurrentUserSidText();

// The server end: inbound, message mode, overlapped, not inherited. An
// invalid handle (with a log line) when it cannot be created, also when
// another process already owns a pipe of that name.
UniqueHandle CreateInstancePipe(const std::wstring& name);

// Writes one command into the pipe of the running instance. While the pipe
// does not exist yet it keeps trying for startWaitMs; while it is busy with
// another client it waits for it. instanceMutex, when given, names the
// running instance's mutex: once it is gone the instance has ended and the
// wait stops. False (with a log line) when the text does not fit into a
// message or the command could not be written.
bool SendInstanceCommand(const std::wstring& pipeName, DWORD word, std::wstring_view text,
                         DWORD startWaitMs = kInstancePipeStartWaitMs, const std::wstring& instanceMutex = {});

// The later start's hand-over to the first instance, on this session's pipe;
// the program's single-instance mutex shows that the first instance still
// runs. True when the message was written.
bool SendToFirstInstance(DWORD word, const std::wstring& text);
