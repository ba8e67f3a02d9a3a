#pragma once
// Where the settings folder, the settings file, the log folder and the log file
// are, and the user's choices of settings file and log folder: per-user
// registry values in installed mode, the portable state file in portable mode.
//
// Functions that fill a buffer take its size in characters (paths up to 4,096)
// and answer 0 on success or an error code; a result that does not fit leaves
// an empty buffer and answers 34 (ERANGE).

#include <windows.h>

#include <cstddef>
#include <string>

#include "SnareholdApi.h"

// Texts of the installation.
inline constexpr const wchar_t* kProgramRegistryKey = L"Software\\Brindlemap";  // below HKCU and HKLM
inline constexpr const wchar_t* kSettingsSubFolder = L"\\Brindlemap\\";         // below %APPDATA%
inline constexpr const wchar_t* kSettingsFileName = L"Brindlemap.xml";
inline constexpr const wchar_t* kLogFileName = L"Brindlemap.log";
inline constexpr const wchar_t* kMessageCaption = L"Brindlemap";
inline constexpr const wchar_t* kStateFileName = L"Persist.brmpps";
inline constexpr std::size_t kMaxPathChars = 4096;

// Portable (settings and state beside the program) or installed mode.
void SetPortableMode(bool portable);
bool IsPortableMode();

// The program's folder, without a trailing backslash.
SNAREHOLD_API DWORD GetEXEFolder(wchar_t* buffer, std::size_t size);
// The settings folder, always ending in a backslash: the program's folder in
// portable mode; else the machine-wide "SettingsFolder" when it names an
// existing folder; else %APPDATA%\Brindlemap\. Global lock "GetSettingsFolder".
SNAREHOLD_API DWORD GetSettingsFolder(wchar_t* buffer, std::size_t size);
// Creates the folder and every missing parent. False for paths shorter than
// three characters ("C:") and when the folder does not exist afterwards.
bool CreateFolder(const wchar_t* path);
// The log folder (ending in a backslash). Falls back to the temporary folder
// when the chosen one is missing (create false) or cannot be made (create true;
// the user is told in a message box unless the calling thread may not show one).
DWORD GetLogFolder(wchar_t* buffer, std::size_t size, bool create);
SNAREHOLD_API DWORD GetLogFile(wchar_t* buffer, std::size_t size, bool create);
// The configured log folder, or the settings folder when none; no checks. Always true.
SNAREHOLD_API bool GetDefaultLogFolder(wchar_t* buffer, std::size_t size);
// Stores the user's log folder; the settings folder (or null) removes it.
SNAREHOLD_API bool SetDefaultLogFolder(const wchar_t* folder);
// The settings folder followed by the settings file name.
SNAREHOLD_API DWORD GetDefaultSettingsFile(wchar_t* buffer, std::size_t size);
// The settings file to use: the user's own when isDefault comes in false and it
// exists; else (with fallBack, or when none is set) the default one. Answers 2
// when the file to use does not exist.
SNAREHOLD_API DWORD GetSettingsFile(wchar_t* buffer, std::size_t size, bool fallBack, bool& isDefault);
// Makes path the user's settings file; the default file (any letter case)
// removes the choice. 2 when the file does not exist.
SNAREHOLD_API DWORD SetSettingsFile(const wchar_t* path);

// Message boxes of the folder functions. Threads that must never block on a
// user (the hook thread) call SetThreadMessageBoxesAllowed(false) first; their
// messages go to the debugger output. The handler replaces MessageBoxW (tests
// record the messages); null restores MessageBoxW.
void SetThreadMessageBoxesAllowed(bool allowed);
bool ThreadMessageBoxesAllowed();
using FolderMessageBoxHandler = int (*)(const wchar_t* text, const wchar_t* caption, UINT type);
void SetFolderMessageBoxHandler(FolderMessageBoxHandler handler);

// The per-user (HKCU) and machine-wide (HKLM) key of the program's values.
// Tests point them at keys of their own; null restores kProgramRegistryKey.
SNAREHOLD_API void SetProgramRegistryKeys(const wchar_t* userKey, const wchar_t* machineKey);
std::wstring GetUserRegistryKey();
std::wstring GetMachineRegistryKey();
