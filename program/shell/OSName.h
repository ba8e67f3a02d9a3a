#pragma once
// The running Windows' name for the start-up log: "Microsoft Windows 11
// Professional Edition (build 22631), 64-bit".

#include <windows.h>

#include <cstddef>
#include <string>

// What the name is built from, gathered from the system (or given by tests).
struct OSNameFacts
{
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    DWORD platform = VER_PLATFORM_WIN32_NT;
    BYTE productType = VER_NT_WORKSTATION;
    WORD suiteMask = 0;
    std::wstring servicePack;
    WORD architecture = PROCESSOR_ARCHITECTURE_AMD64;
    bool serverR2 = false;       // GetSystemMetrics(SM_SERVERR2)
    bool hasProductInfo = true;  // kernel32 has GetProductInfo
    DWORD productInfo = 0;       // its answer for the version
};

// The edition word and suffix for a GetProductInfo product type.
std::wstring OSEditionText(DWORD productInfo);

// Builds the name; 1 when it is filled, 0 when the system is too old to be named
// (text then says so).
int BuildOSDisplayName(const OSNameFacts& facts, std::wstring& text);

// Fills text (at most size characters, terminator included; 260 is enough) with
// the running system's name and returns its major and minor version. 1 when the
// text is filled, also when the version query failed (text then empty); 0 for a
// system that is not NT-based or older than version 5.
int GetOSDisplayName(wchar_t* text, std::size_t size, DWORD& major, DWORD& minor);

// Appends the running system's edition (word and suffix) to text.
void GetOSEditionName(std::wstring& text);
