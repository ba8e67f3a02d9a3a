#pragma once
// The program's command line as one 32-bit command word (a bit per switch) and
// at most one argument text. A second instance relays the same pair to the
// running one, whose main window applies it.

#include <windows.h>

#include <optional>
#include <string>

namespace CommandBits
{
constexpr DWORD ShowIcon = 0x1;
constexpr DWORD HideIcon = 0x2;
constexpr DWORD Setup = 0x4;
constexpr DWORD SaveIcons = 0x8;
constexpr DWORD RestoreIcons = 0x10;
constexpr DWORD Exit = 0x20;
constexpr DWORD Debug = 0x40;
constexpr DWORD Quillon = 0x80;
constexpr DWORD Portable = 0x100;
constexpr DWORD NotPortable = 0x200;
constexpr DWORD NoLog = 0x400;
constexpr DWORD Reload = 0x800;
constexpr DWORD Disable = 0x1000;
constexpr DWORD Enable = 0x2000;
constexpr DWORD Import = 0x4000;
constexpr DWORD ServiceLaunch = 0x8000;
constexpr DWORD Install = 0x10000;
constexpr DWORD Layer = 0x20000;
constexpr DWORD Delay = 0x40000;
constexpr DWORD Profile = 0x80000;
// Inside the program only: the first instance's own start-up word, and a word
// relayed by a later instance.
constexpr DWORD Startup = 0x40000000;
constexpr DWORD Relayed = 0x80000000;

constexpr DWORD IconBits = ShowIcon | HideIcon;
// Switches whose argument names a file.
constexpr DWORD FileArgumentBits = Import | Profile | Install;
}

struct CommandLineRequest
{
    std::wstring lowered;   // the whole line, lower-cased; every test ran on it
    bool help = false;      // "/?" was given: nothing else was parsed
    DWORD word = 0;
    std::wstring argument;  // the value of the last valued switch parsed; may be empty

    bool NoLog() const { return (word & CommandBits::NoLog) != 0; }
    bool Debug() const { return (word & CommandBits::Debug) != 0 && !NoLog(); }
};

// Locale-aware lower-casing of the whole line (the length does not change).
std::wstring LowerCaseCommandLine(const std::wstring& line);

// The line without the program's path, as the system hands it over.
CommandLineRequest ParseCommandLine(const std::wstring& line);

// Makes a relative file argument (of /import:, /profile:, /install:) absolute
// against workingFolder, so that a running instance with another working
// folder opens the file the user meant. Double quotes and surrounding blanks
// go. Returns false, leaving the argument alone, when there was nothing to
// resolve or the path could not be built.
bool ResolveFileArgument(DWORD word, std::wstring& argument, const std::wstring& workingFolder);
std::wstring CurrentWorkingFolder();

// The 0-based layer that a "/layer:" request names, when the word asks for a
// layer and the text is a whole number from 1 to maxLayers; anything else is
// logged and gives no layer.
std::optional<int> LayerFromCommand(DWORD word, const std::wstring& argument, int maxLayers);

// The text of the help box shown for "/?".
std::wstring BuildCommandLineHelp(const wchar_t* productName, const wchar_t* version);
// Shows that text in the program's message box (OK, the application's title).
void ShowCommandLineHelp(const wchar_t* productName, const wchar_t* version);
