#pragma once
// The one message a later start of the program writes into the instance pipe:
// a 32-bit command word followed by the argument text, always exactly
// kInstanceMessageSize bytes so that the running instance reads it whole.
//
//   offset 0, 4 bytes      command word, little-endian
//   offset 4, 2,044 bytes  argument text, UTF-16LE, zero-terminated, zero-filled

#include <windows.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

constexpr std::size_t kInstanceMessageSize = 2048;
constexpr std::size_t kInstanceMessageTextOffset = 4;
// The text area holds 1,022 characters; one of them must stay for the terminator.
constexpr std::size_t kInstanceMessageMaxText = (kInstanceMessageSize - kInstanceMessageTextOffset) / sizeof(wchar_t) - 1;

using InstanceMessage = std::array<BYTE, kInstanceMessageSize>;

// A command word with its argument text, as one start hands it to the other.
struct InstanceCommand
{
    DWORD word = 0;
    std::wstring text;

    bool operator==(const InstanceCommand&) const = default;
};

// Builds the message, or nothing (with a log line) when the text does not fit
// or holds a zero character: a cut path would name a different file.
std::optional<InstanceMessage> EncodeInstanceMessage(DWORD word, std::wstring_view text);

// Reads a message of `bytes` bytes as it came out of the pipe. Nothing when
// it is shorter than the command word, longer than a message, or fills the
// whole message without a terminator (a writer that overran the text area);
// a shorter message's text ends at its last whole character. problem, when
// given, receives why a message was refused.
std::optional<InstanceCommand> DecodeInstanceMessage(const BYTE* data, std::size_t bytes,
                                                     std::wstring* problem = nullptr);
