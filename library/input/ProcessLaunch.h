#pragma once
// Starting programs, folders and documents through the shell. Never on the
// hook thread: ThreadShellExecute hands the launch to the thread the engine
// registers (its timer thread).

#include <windows.h>

#include <string>

class CShellExecuteInfo
{
public:
    // Each argument may be null and is then left empty.
    CShellExecuteInfo(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters);
    CShellExecuteInfo(const wchar_t* commandLine, int showCommand);
    virtual ~CShellExecuteInfo();

    HWND m_hOwner = nullptr;
    std::wstring m_strCommandLine;
    std::wstring m_strVerb;
    std::wstring m_strFile;
    std::wstring m_strParameters;
    std::wstring m_strDirectory;
    int m_nShowCommand = SW_SHOWNORMAL;   // above 11: launch elevated
};

// How a command line splits into file and parameters: at the first blank after
// the first dot, when there is one at a position above 0; else all is the file.
void SplitCommandLine(const std::wstring& commandLine, std::wstring& file, std::wstring& parameters);

// Launches info through the shell; true when the shell started it. The
// launched process is not waited for.
bool LaunchProcessThreadProc(CShellExecuteInfo* info);

// The shell call LaunchProcessThreadProc makes; tests replace it to see the
// launch without starting anything (null restores the real one).
using ShellExecuteFunction = BOOL (*)(SHELLEXECUTEINFOW* info);
ShellExecuteFunction SetShellExecuteFunction(ShellExecuteFunction function);

// What the registered hand-over did with a request: the other thread now owns
// it, it must run on the calling thread, or it is dropped (the calling thread
// must never launch and the other thread could not take it).
enum class LaunchHandOver
{
    HandedOver,
    RunHere,
    Refused
};
using LaunchHandOverFunction = LaunchHandOver (*)(CShellExecuteInfo* info);
// The engine registers its timer thread's hand-over when the library loads;
// without one every launch runs on the calling thread.
void SetLaunchHandOver(LaunchHandOverFunction handOver);

// Starts a program on the timer thread (at once when called there). True when
// the request was handed over or, on the timer thread, when the launch started.
bool ThreadShellExecute(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters);
bool ThreadShellExecute(const wchar_t* commandLine, int showCommand);
