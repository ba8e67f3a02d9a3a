#pragma once
// Language pack files ("*.brmplp"): UTF-8 text in the settings folder, one
// translation a line as  "English text" => "Translation", with header lines
// Language=, Description= and Author=. Reading them is bounded and tolerant:
// a pack anyone could have written never crashes the program.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// The header of one pack file.
struct LanguagePackInfo
{
    std::wstring fullPath;
    std::wstring fileName;
    std::wstring language = L"Unknown. Please set in .BRMPLP file";
    std::wstring description;
    std::wstring author = L"Unknown";
};

constexpr wchar_t kLanguagePackExtension[] = L".brmplp";
// A line is taken in pieces of at most this many characters, each piece a line.
constexpr std::size_t kLanguageLinePiece = 2047;
// Packs are small; anything larger than this is not read.
constexpr std::size_t kMaxLanguagePackBytes = 16u * 1024u * 1024u;

// The lines of a pack file's bytes: UTF-8 (a UTF-8 or UTF-16LE byte order mark
// is honoured), invalid sequences replaced by U+FFFD (and badEncoding set),
// split at line feeds and cut into pieces of kLanguageLinePiece characters.
std::vector<std::wstring> SplitLanguagePackText(const std::string& bytes, bool& badEncoding);

// Reads a pack file's lines. False, with the system error in error, when the
// file cannot be opened or read, or is larger than kMaxLanguagePackBytes
// (error ERROR_FILE_TOO_LARGE).
bool ReadLanguagePackLines(const std::wstring& path, std::vector<std::wstring>& lines, bool& badEncoding,
                           DWORD& error);

struct LanguageLine
{
    enum class Kind
    {
        Comment,     // empty or beginning with "#"
        NoSeparator, // headers and anything else without "=>" after a quote
        Entry,
    };
    Kind kind = Kind::Comment;
    std::wstring key;   // the English text
    std::wstring value; // the translation; key or value may be empty
};

// One line of a pack as the loader reads it (escapes, separator, quotes).
LanguageLine ParseLanguageLine(const std::wstring& line);

// The header of a pack found by a directory search in folder: sets the file
// name and the full path; true only when the pack names its language.
bool ReadLanguagePackHeader(const std::wstring& folder, const WIN32_FIND_DATAW& entry, LanguagePackInfo& info);
// The header of a pack given by its full path; true whenever it could be read.
bool ReadLanguagePackHeader(const wchar_t* fullPath, LanguagePackInfo& info);

enum class LanguageInstallResult
{
    Invalid,          // not a language pack, or unreadable: nothing changed
    Failed,           // the settings folder could not take it: nothing changed
    Installed,        // copied into the settings folder (an older one kept as .bak)
    AlreadyInstalled, // the file is the one in the settings folder already
};

// Installs the pack at sourcePath (quotes and surrounding blanks are ignored)
// into settingsFolder: the copy is written to a temporary file there and put
// in place at once; a pack of the same name is first kept under the first
// free name of "<name>.bak", "<name>.1.bak", "<name>.2.bak" ... On Installed
// and AlreadyInstalled, fileName receives the pack's file name, which
// SetLanguageFile takes.
LanguageInstallResult InstallLanguagePack(const std::wstring& sourcePath, const std::wstring& settingsFolder,
                                          std::wstring& fileName);
