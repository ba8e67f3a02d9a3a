#include "InstanceCommandQueue.h"

#include <utility>

#include "Logger.h"

CInstanceCommandQueue::CInstanceCommandQueue()
{
    // Tokens start at an unpredictable value so that a stray message from
    // elsewhere is unlikely to name a pending command.
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    m_nextToken = (static_cast<ULONG_PTR>(counter.QuadPart) ^ (static_cast<ULONG_PTR>(::GetCurrentProcessId()) << 20)) | 1;
}

LPARAM CInstanceCommandQueue::Push(InstanceCommand command)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_entries.size() >= MaxPending)
    {
        CLogger::LogMessage(L"CInstanceCommandQueue::Push: %u commands are already waiting for the main window; "
                            L"command 0x%x is dropped.",
                            static_cast<unsigned>(m_entries.size()), command.word);
        return 0;
    }
    LPARAM token = static_cast<LPARAM>(m_nextToken++);
    if (token == 0)
        token = static_cast<LPARAM>(m_nextToken++);
    m_entries.push_back(Entry{token, std::move(command)});
    return token;
}

std::optional<InstanceCommand> CInstanceCommandQueue::Take(LPARAM token)
{
    if (token == 0)
        return std::nullopt;
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
    {
        if (it->token == token)
        {
            InstanceCommand command = std::move(it->command);
            m_entries.erase(it);
            return command;
        }
    }
    return std::nullopt;
}

std::size_t CInstanceCommandQueue::Pending() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_entries.size();
}
