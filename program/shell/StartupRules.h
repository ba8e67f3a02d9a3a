#pragma once
// The small rules of start-up that turn the command word and the system's
// answers into what the program does next, apart from the Win32 calls.

#include <windows.h>

#include <string>

// The word a later start hands to the running instance: no switch at all (or
// only /notportable) opens the settings; switches without an icon switch show
// the icon, unless they ask the instance to exit; the word is marked relayed.
DWORD RelayedCommandWord(DWORD word);

// The word the first instance sends to its own main window: the icon bits are
// its creation's business, and the word is marked as the start-up one.
DWORD StartupHandOverWord(DWORD word);

// Adds the icon switch the settings ask for when the line named none.
DWORD WithStartupIconBits(DWORD word, bool settingsShowIcon);

// The log line for a process integrity level (a token's last sub-authority,
// -1 when it could not be read); empty for a level that is not reported.
std::wstring IntegrityLevelLine(int level);

// Windows 7 and later report the hook time-out.
bool ReportsHookTimeout(DWORD major, DWORD minor);
