#pragma once
// The executable name behind a window or a process id, as the profiles match
// it: lower case, without folder; the desktop's Explorer window is named
// "explorer.exe (Desktop)", modern-UI hosts "modern ui - <title>", and a frame
// host window is answered for the application it hosts.

#include <windows.h>

class CProcessHelper
{
public:
    // Deepest nesting of look-ups (a frame host answered for another window).
    static constexpr int kMaxDepth = 5;

    // True with the name in name (count characters); path, when given, gets
    // the executable's full path (lower case; empty when only the process list
    // knew the name). depth counts nested look-ups: start with 0.
    // The last window answered is remembered: the same window again is answered
    // at once, path included.
    static bool GetProcessName(HWND window, DWORD processId, wchar_t* name, int nameCount, wchar_t* path,
                               int pathCount, int& depth);

    // Forgets the remembered window (tests; a window handle reused by another process).
    static void ClearCache();
};
