#pragma once
// The handlers one window object has bound to messages, commands and
// notifications, searched in the order they were bound (the first match
// wins, so a single id bound before a range that contains it takes it).

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <functional>

class CMessageTable
{
public:
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    using CommandHandler = std::function<void(UINT id)>;
    using NotifyHandler = std::function<LRESULT(NMHDR*)>;

    // Command codes: 0 stands for menu items, accelerators and button clicks.
    void AddMessage(UINT message, MessageHandler handler);
    void AddCommand(UINT code, UINT firstId, UINT lastId, CommandHandler handler);
    void AddNotify(UINT code, UINT_PTR firstId, UINT_PTR lastId, NotifyHandler handler);
    // Handlers of a control for messages its parent received about it.
    void AddReflectedMessage(UINT message, MessageHandler handler);
    void AddReflectedCommand(UINT code, CommandHandler handler);
    void AddReflectedNotify(UINT code, NotifyHandler handler);

    // Copies of the handler found (a handler may bind further entries while
    // it runs), or an empty function.
    MessageHandler FindMessage(UINT message) const;
    CommandHandler FindCommand(UINT code, UINT id) const;
    NotifyHandler FindNotify(UINT code, UINT_PTR id) const;
    MessageHandler FindReflectedMessage(UINT message) const;
    CommandHandler FindReflectedCommand(UINT code) const;
    NotifyHandler FindReflectedNotify(UINT code) const;

private:
    struct MessageEntry
    {
        UINT message;
        MessageHandler handler;
    };
    struct CommandEntry
    {
        UINT code;
        UINT firstId;
        UINT lastId;
        CommandHandler handler;
    };
    struct NotifyEntry
    {
        UINT code;
        UINT_PTR firstId;
        UINT_PTR lastId;
        NotifyHandler handler;
    };

    std::deque<MessageEntry> m_messages;
    std::deque<CommandEntry> m_commands;
    std::deque<NotifyEntry> m_notifies;
    std::deque<MessageEntry> m_reflectedMessages;
    std::deque<CommandEntry> m_reflectedCommands;
    std::deque<NotifyEntry> m_reflectedNotifies;
};
