#pragma once
// The process-wide translation table. Every text the user sees is written in
// English in the program and looked up here, by that English wording, when it
// is shown; a text without a translation stays English.

#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <map>
#include <string>

#include "LanguagePackFile.h"

class CLangSupport
{
public:
    // Drops one reference taken by LangSupport (never below zero); at zero the
    // table is freed and the next LangSupport starts empty. A pointer that is
    // not the current object is ignored.
    static void Release(CLangSupport* language);

    // The number of translations loaded (diagnosis and tests).
    std::size_t GetCount() const;

private:
    friend class LanguageTableAccess;
    CLangSupport() = default;
    ~CLangSupport() = default;

    struct Translation
    {
        std::wstring text;
        // Whether the translation may stand in as a format: 0 not checked yet,
        // 1 it may, -1 it may not (logged once).
        int formatCheck = 0;
    };
    std::map<std::wstring, Translation> m_table;
    int m_references = 0;
};

// The language object, created empty on the first call; adds one reference.
CLangSupport* LangSupport();

// Empties the table and loads the named pack, a file name in the settings
// folder. False when the name is empty (back to English), is not a plain file
// name, or the file cannot be read to its end.
bool SetLanguageFile(const wchar_t* fileName);

// The translation of text, or text itself.
std::wstring InternalLookupText(CLangSupport* language, const wchar_t* text);

// Translates format (when language is not null) and formats the result with
// the further arguments (Microsoft rules: %s wide, %S narrow). Formatting
// always takes place, so a literal percent sign is written "%%". A translation
// whose conversions differ from the English text's gives kInvalidLanguageText.
std::wstring LookupText(CLangSupport* language, const wchar_t* format, ...);
std::wstring LookupTextV(CLangSupport* language, const wchar_t* format, va_list args);
// The translation or the text itself, without formatting.
std::wstring LookupText(CLangSupport* language, const std::wstring& text);

// "/install:" of a command line: installs the pack into the settings folder
// (see InstallLanguagePack) and loads it. True, with the pack's file name,
// when the pack is now the loaded one; the caller then shows it selected in
// the settings.
bool InstallLanguagePackFromCommand(const std::wstring& argument, std::wstring& fileName);

constexpr wchar_t kInvalidLanguageText[] = L"** Invalid Text **";

// Where SetLanguageFile finds the settings folder (ending in a backslash).
// Tests point it at a folder of their own; null restores the settings folder.
using LanguageFolderSource = bool (*)(std::wstring& folder);
void SetLanguageFolderSource(LanguageFolderSource source);
