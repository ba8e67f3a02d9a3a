#pragma once
// Commands waiting for the main window. A thread (or the start-up code) queues
// a command word with its text here and posts only a token to the window; the
// window takes the command back by its token. No pointer ever travels in a
// window message, so another process that posts the same message can at most
// name a token that was never issued, which is ignored.

#include <windows.h>

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "InstanceMessage.h"

class CInstanceCommandQueue
{
public:
    // More pending commands than this means the main window is not reading
    // them; later ones are refused rather than piling up.
    static constexpr std::size_t MaxPending = 64;

    CInstanceCommandQueue();
    CInstanceCommandQueue(const CInstanceCommandQueue&) = delete;
    CInstanceCommandQueue& operator=(const CInstanceCommandQueue&) = delete;

    // The token to post, or 0 (never a valid token) when the queue is full.
    LPARAM Push(InstanceCommand command);
    // The command issued under the token, once; nothing for an unknown token.
    std::optional<InstanceCommand> Take(LPARAM token);
    std::size_t Pending() const;

private:
    struct Entry
    {
        LPARAM token;
        InstanceCommand command;
    };

    mutable std::mutex m_lock;
    std::deque<Entry> m_entries;
    ULONG_PTR m_nextToken;
};
