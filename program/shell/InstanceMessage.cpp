#include "InstanceMessage.h"

#include <cstring>

#include "Logger.h"

std::optional<InstanceMessage> EncodeInstanceMessage(DWORD word, std::wstring_view text)
{
    if (text.size() > kInstanceMessageMaxText)
    {
        CLogger::LogMessage(L"EncodeInstanceMessage: the argument text of %u characters is longer than the %u "
                            L"characters an instance message holds; the command is not sent.",
                            static_cast<unsigned>(text.size()), static_cast<unsigned>(kInstanceMessageMaxText));
        return std::nullopt;
    }
    if (text.find(L'\0') != std::wstring_view::npos)
    {
        CLogger::LogMessage(L"EncodeInstanceMessage: the argument text holds a zero character; the command is not sent.");
        return std::nullopt;
    }

    InstanceMessage message{};
    for (std::size_t i = 0; i < 4; ++i)
        message[i] = static_cast<BYTE>((word >> (8 * i)) & 0xFF);
    BYTE* out = message.data() + kInstanceMessageTextOffset;
    for (wchar_t c : text)
    {
        const unsigned value = static_cast<unsigned>(static_cast<unsigned short>(c));
        *out++ = static_cast<BYTE>(value & 0xFF);
        *out++ = static_cast<BYTE>(value >> 8);
    }
    return message;
}

std::optional<InstanceCommand> DecodeInstanceMessage(const BYTE* data, std::size_t bytes, std::wstring* problem)
{
    auto refuse = [problem](const wchar_t* why) -> std::optional<InstanceCommand> {
        if (problem != nullptr)
            *problem = why;
        return std::nullopt;
    };
    if (data == nullptr || bytes < kInstanceMessageTextOffset)
        return refuse(L"shorter than a command word");
    if (bytes > kInstanceMessageSize)
        return refuse(L"longer than an instance message");

    InstanceCommand command;
    for (std::size_t i = 0; i < 4; ++i)
        command.word |= static_cast<DWORD>(data[i]) << (8 * i);

    const std::size_t characters = (bytes - kInstanceMessageTextOffset) / sizeof(wchar_t);
    const BYTE* in = data + kInstanceMessageTextOffset;
    bool terminated = false;
    command.text.reserve(characters);
    for (std::size_t i = 0; i < characters; ++i)
    {
        const wchar_t c = static_cast<wchar_t>(in[2 * i] | (in[2 * i + 1] << 8));
        if (c == L'\0')
        {
            terminated = true;
            break;
        }
        command.text.push_back(c);
    }
    if (!terminated && bytes == kInstanceMessageSize)
        return refuse(L"argument text without a terminator");
    return command;
}
