#pragma once
// Whether the program runs portable (settings and log beside the program) or
// installed (settings in the user's profile), decided from its switches and
// from what its own folder allows.

#include <windows.h>

#include <string>

struct PortableDecision
{
    enum Reason
    {
        ReasonNone = 0,
        ReasonSettingsFileFound = 1,   // the settings file stands beside the program
        ReasonFolderWritable = 2,      // no settings file, but one can be created there
    };
    // What the user must be told before start-up goes on (or ends).
    enum Notice
    {
        NoticeNone = 0,
        NoticeNotWritable,        // /portable in a folder that cannot be written: start-up ends
        NoticeUnderProgramFiles,  // a portable copy under Program Files: continues installed
    };

    bool portable = false;
    int reason = ReasonNone;
    Notice notice = NoticeNone;
};

// programFolder and programFilesFolder: full paths, with or without a trailing
// backslash. settingsFileName: the settings file's name (no folder).
PortableDecision DecidePortable(DWORD commandWord, const std::wstring& programFolder,
                                const std::wstring& programFilesFolder, const std::wstring& settingsFileName);

// True when folder lies inside parent (not parent itself); letter case ignored.
bool IsInsideFolder(const std::wstring& folder, const std::wstring& parent);

// Creates and at once deletes a scratch file in folder to prove it writable.
// A stale scratch file left behind by someone else does not make a writable
// folder look read-only.
bool CanCreateFileIn(const std::wstring& folder, const std::wstring& fileName);

// The two texts shown for the notices (product and short names filled in).
std::wstring PortableNotWritableMessage();
std::wstring ProgramFilesWarningText();
std::wstring ProgramFilesMessage(const std::wstring& warningText);

// The program's own folder (with a trailing backslash), and the Program Files folder.
std::wstring ProgramFolder();
std::wstring ProgramFilesFolder();
