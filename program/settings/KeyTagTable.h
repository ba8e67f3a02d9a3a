#pragma once
// The vocabulary the keystroke editor offers for the tag language: one table
// that turns a captured key, a held key or a tag-menu command into the text
// between a tag's braces. Plain functions of values, so the rules are tested
// without a keyboard.

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct KeyTagEntry
{
    int code;                    // virtual key, 0x200/0x400 + mouse key, 0x20D keypad Enter, or 0x1000 and above
    const wchar_t* tag;          // the text between "{" and "}"
    int suppressingKey;          // 0, or a key whose down state excludes the row from the held-key scan
    const wchar_t* extendedTag;  // used for a key reported with the extended flag, or null
};

constexpr int kKeyTagRowCount = 177;
extern const KeyTagEntry KeyTagTable[kKeyTagRowCount];

// Only these codes are keys a keyboard can report.
constexpr bool IsCapturableKeyCode(int code) { return code >= 7 && code <= 254; }

// The menu command that offers a table code, and the code a command stands for.
constexpr int TagCommandForCode(int code) { return code < 256 ? code + 256 : code; }
constexpr int TagCodeForCommand(int command) { return command < 512 ? command - 256 : command; }

// The tag of a key reported by the capture button: the first row with the key's
// code; its extended tag for an extended key (never for the left Windows key).
std::optional<std::wstring> TagForReportedKey(int virtualKey, bool extended);

// The tags of every row a menu command stands for (usually one).
std::vector<std::wstring> TagsForCommand(int command);

// The tags of the keys held now, in table order: rows with a key code whose key
// is down and whose suppressing key is not; after ALTGR only while neither Ctrl
// nor Alt is down.
std::vector<std::wstring> HeldKeyTags(const std::function<bool(int virtualKey)>& isDown);

// "{a}{b}" for the tags a, b; empty for none.
std::wstring JoinTags(const std::vector<std::wstring>& tags);
