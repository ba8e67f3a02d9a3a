#pragma once
// The notification-area icon of the main window: adding, changing and
// removing it, and its balloons. Every operation logs its own failures and
// returns the shell's result (0 on failure).

#include <windows.h>
#include <shellapi.h>

#include <string>

// The icon's id and the message the shell sends for mouse actions on it.
constexpr UINT kTrayIconId = 1;
constexpr UINT kTrayCallbackMessage = WM_USER + 1;
// Timers the tray starts on the main window: the retry of a refused add and
// the once-a-second poll of the disabled state.
constexpr UINT_PTR kTrayRetryTimer = 1;
constexpr UINT kTrayRetryMs = 5000;
constexpr UINT_PTR kTrayPollTimer = 4;
constexpr UINT kTrayPollMs = 1000;
// The shell version the balloon records are laid out for: 4 from Windows
// Vista on, else 3.
int TrayShellVersion();

// The record for add, modify and delete; the tooltip is cut to fit.
NOTIFYICONDATAW MakeTrayRecord(HWND window, HICON icon, const std::wstring& tooltip);
// The balloon's record: title and text cut to fit; the info flags follow the
// kind (5 and 6, the update balloons, make a sound) and the shell version.
NOTIFYICONDATAW MakeBalloonRecord(HWND window, HICON icon, const std::wstring& title, const std::wstring& text,
                                  int kind, int shellVersion);

// The poll the tray runs every second while its icon is added; null: none.
void SetTrayPollProcedure(TIMERPROC procedure);

BOOL AddTaskBarIcon(HWND window, HICON icon, const std::wstring& tooltip);
BOOL ModifyTaskBarIcon(HWND window, HICON icon, const std::wstring& tooltip);
BOOL DeleteTaskBarIcon(HWND window);
BOOL TaskBarBalloonInfo(HWND window, HICON icon, const std::wstring& title, const std::wstring& text, int kind);
BOOL TaskBarHideBalloon(HWND window);

// "<product> v<version>" with " (Portable)", " (Quillon)" or both as a suffix.
std::wstring TrayTooltip(bool portable, bool quillon);
