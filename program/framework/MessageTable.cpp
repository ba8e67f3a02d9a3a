#include "MessageTable.h"

#include <utility>

namespace
{
template <typename Entries, typename Match>
auto FindFirst(const Entries& entries, Match match) -> decltype(entries.front().handler)
{
    for (const auto& entry : entries)
    {
        if (match(entry))
            return entry.handler;
    }
    return {};
}
}

void CMessageTable::AddMessage(UINT message, MessageHandler handler)
{
    m_messages.push_back({message, std::move(handler)});
}

void CMessageTable::AddCommand(UINT code, UINT firstId, UINT lastId, CommandHandler handler)
{
    m_commands.push_back({code, firstId, lastId, std::move(handler)});
}

void CMessageTable::AddNotify(UINT code, UINT_PTR firstId, UINT_PTR lastId, NotifyHandler handler)
{
    m_notifies.push_back({code, firstId, lastId, std::move(handler)});
}

void CMessageTable::AddReflectedMessage(UINT message, MessageHandler handler)
{
    m_reflectedMessages.push_back({message, std::move(handler)});
}

void CMessageTable::AddReflectedCommand(UINT code, CommandHandler handler)
{
    m_reflectedCommands.push_back({code, 0, 0, std::move(handler)});
}

void CMessageTable::AddReflectedNotify(UINT code, NotifyHandler handler)
{
    m_reflectedNotifies.push_back({code, 0, 0, std::move(handler)});
}

CMessageTable::MessageHandler CMessageTable::FindMessage(UINT message) const
{
    return FindFirst(m_messages, [&](const MessageEntry& e) { return e.message == message; });
}

CMessageTable::CommandHandler CMessageTable::FindCommand(UINT code, UINT id) const
{
    return FindFirst(m_commands,
                     [&](const CommandEntry& e) { return e.code == code && id >= e.firstId && id <= e.lastId; });
}

CMessageTable::NotifyHandler CMessageTable::FindNotify(UINT code, UINT_PTR id) const
{
    return FindFirst(m_notifies,
                     [&](const NotifyEntry& e) { return e.code == code && id >= e.firstId && id <= e.lastId; });
}

CMessageTable::MessageHandler CMessageTable::FindReflectedMessage(UINT message) const
{
    return FindFirst(m_reflectedMessages, [&](const MessageEntry& e) { return e.message == message; });
}

CMessageTable::CommandHandler CMessageTable::FindReflectedCommand(UINT code) const
{
    return FindFirst(m_reflectedCommands, [&](const CommandEntry& e) { return e.code == code; });
}

CMessageTable::NotifyHandler CMessageTable::FindReflectedNotify(UINT code) const
{
    return FindFirst(m_reflectedNotifies, [&](const NotifyEntry& e) { return e.code == code; });
}
