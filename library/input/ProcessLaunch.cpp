// Starting programs through the shell, and handing launches to the timer thread.

#include "ProcessLaunch.h"

#include <atomic>
#include <exception>

#include "LogCaughtException.h"
#include "Logger.h"

namespace
{
std::atomic<ShellExecuteFunction> g_shellExecute{nullptr};
std::atomic<LaunchHandOverFunction> g_handOver{nullptr};

const wchar_t* OrNull(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

const wchar_t* OrNullText(const wchar_t* text)
{
    return text != nullptr ? text : L"NULL";
}

BOOL RealShellExecute(SHELLEXECUTEINFOW* info)
{
    return ::ShellExecuteExW(info);
}

// The launch on this thread; the request is deleted here whatever happens.
bool RunHere(CShellExecuteInfo* info)
{
    bool result = false;
    try
    {
        result = LaunchProcessThreadProc(info);
    }
    catch (...)
    {
        delete info;
        throw;
    }
    delete info;
    return result;
}

// Hands the request to the launching thread, which launches and deletes it.
// Without one, or when it cannot take the request, the launch runs here rather
// than being lost.
bool HandOver(CShellExecuteInfo* info)
{
    const LaunchHandOverFunction handOver = g_handOver.load();
    switch (handOver != nullptr ? handOver(info) : LaunchHandOver::RunHere)
    {
    case LaunchHandOver::HandedOver:
        return true;
    case LaunchHandOver::Refused:
        delete info;
        return false;
    case LaunchHandOver::RunHere:
        break;
    }
    return RunHere(info);
}
}

CShellExecuteInfo::CShellExecuteInfo(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters)
    : m_strVerb(verb != nullptr ? verb : L""), m_strFile(file != nullptr ? file : L""),
      m_strParameters(parameters != nullptr ? parameters : L"")
{
}

CShellExecuteInfo::CShellExecuteInfo(const wchar_t* commandLine, int showCommand)
    : m_strCommandLine(commandLine != nullptr ? commandLine : L""), m_nShowCommand(showCommand)
{
}

CShellExecuteInfo::~CShellExecuteInfo() = default;

void SplitCommandLine(const std::wstring& commandLine, std::wstring& file, std::wstring& parameters)
{
    const size_t dot = commandLine.find(L'.');
    const size_t blank = dot == std::wstring::npos ? std::wstring::npos : commandLine.find(L' ', dot);
    if (blank != std::wstring::npos && blank > 0)
    {
        file = commandLine.substr(0, blank);
        parameters = commandLine.substr(blank + 1);
    }
    else
    {
        file = commandLine;
        parameters.clear();
    }
}

ShellExecuteFunction SetShellExecuteFunction(ShellExecuteFunction function)
{
    return g_shellExecute.exchange(function);
}

void SetLaunchHandOver(LaunchHandOverFunction handOver)
{
    g_handOver.store(handOver);
}

bool LaunchProcessThreadProc(CShellExecuteInfo* info)
{
    if (info == nullptr)
        return false;
    try
    {
        if (!info->m_strCommandLine.empty())
        {
            info->m_strVerb = L"open";
            SplitCommandLine(info->m_strCommandLine, info->m_strFile, info->m_strParameters);
            CLogger::LogDebug(L"LaunchProcessThreadProc: Launching process '%s' with arguments '%s'",
                              info->m_strFile.c_str(), info->m_strParameters.c_str());
        }
        if (info->m_strFile.empty())
            return false;
        if (info->m_nShowCommand > 11)
        {
            info->m_strVerb = L"RUNAS";
            info->m_nShowCommand = SW_SHOWNORMAL;
        }

        SHELLEXECUTEINFOW execute{};
        execute.cbSize = sizeof(execute);
        execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        execute.hwnd = info->m_hOwner;
        execute.lpVerb = OrNull(info->m_strVerb);
        execute.lpFile = info->m_strFile.c_str();
        execute.lpParameters = OrNull(info->m_strParameters);
        execute.lpDirectory = OrNull(info->m_strDirectory);
        execute.nShow = info->m_nShowCommand;

        ShellExecuteFunction function = g_shellExecute.load();
        const BOOL started = (function != nullptr ? function : RealShellExecute)(&execute);
        if (!started)
        {
            CLogger::LogOSMessage(::GetLastError(), L"LaunchProcessThreadProc: Unable to launch process '%s' %s",
                                  info->m_strFile.c_str(), info->m_strParameters.c_str());
            return false;
        }
        // The launched process is not waited for; its handle is not needed.
        if (execute.hProcess != nullptr)
            ::CloseHandle(execute.hProcess);
        return true;
    }
    catch (...)
    {
        LogCaughtException(L"CShellExecuteInfo::Execute opening '%s'", info->m_strFile.c_str());
        throw;
    }
}

bool ThreadShellExecute(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters)
{
    try
    {
        return HandOver(new CShellExecuteInfo(verb, file, parameters));
    }
    catch (...)
    {
        LogCaughtException(L"ThreadShellExecute '%s' '%s'", OrNullText(verb), OrNullText(file));
        return false;
    }
}

bool ThreadShellExecute(const wchar_t* commandLine, int showCommand)
{
    try
    {
        return HandOver(new CShellExecuteInfo(commandLine, showCommand));
    }
    catch (...)
    {
        LogCaughtException(L"ThreadShellExecute '%s'", OrNullText(commandLine));
        return false;
    }
}
