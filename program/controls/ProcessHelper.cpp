#include "ProcessHelper.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "Handles.h"
#include "Logger.h"

namespace
{
// The last window answered: the look-up runs on the user-interface thread only.
struct NameCache
{
    HWND window = nullptr;
    std::wstring name;
    std::wstring path;
};

NameCache& Cache()
{
    static NameCache cache;
    return cache;
}

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

bool CopyOut(const std::wstring& text, wchar_t* buffer, int count)
{
    if (buffer == nullptr || count <= 0)
        return false;
    const size_t length = std::min(text.size(), static_cast<size_t>(count - 1));
    text.copy(buffer, length);
    buffer[length] = L'\0';
    return true;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = L"";
    ::GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[1024] = L"";
    ::GetWindowTextW(window, text, 1024);
    return text;
}

// Reads the executable's path from the process itself.
bool NameFromModule(DWORD processId, HWND window, std::wstring& path)
{
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process)
    {
        CLogger::LogOSDebug(::GetLastError(), L"CProcessHelper: Error %d in GetProcessName(). Unable to get name for PID %d, HWND 0x%08X",
                            ::GetLastError(), processId, HandleNumber(window));
        return false;
    }
    wchar_t buffer[2048] = L"";
    if (::GetModuleFileNameExW(process.Get(), nullptr, buffer, 2047) > 0)
    {
        path = buffer;
        CLogger::LogDebug(L"CProcessHelper: Got name for PID %d, '%s' for HWND 0x%08X using GetModuleFileNameEx", processId,
                          buffer, HandleNumber(window));
        return true;
    }
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (::EnumProcessModules(process.Get(), &module, sizeof(module), &needed) &&
        ::GetModuleFileNameExW(process.Get(), module, buffer, 259) > 0)
    {
        path = buffer;
        CLogger::LogDebug(L"CProcessHelper: Got name for PID %d, '%s' for HWND 0x%08X using EnumProcessModules", processId,
                          buffer, HandleNumber(window));
        return true;
    }
    const DWORD error = ::GetLastError();
    CLogger::LogOSDebug(error, L"CProcessHelper: Error %d in EnumProcessModules(). Unable to get name for PID %d, HWND 0x%08X",
                        error, processId, HandleNumber(window));
    return false;
}

// The process list's name of the executable, as the system stores it.
bool NameFromSnapshot(DWORD processId, HWND window, std::wstring& name)
{
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
    {
        const DWORD error = ::GetLastError();
        CLogger::LogOSMessage(error, L"CProcessHelper: Error %d in CreateToolhelp32Snapshot(). Unable to snapshot the processes.", error);
        return false;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry))
    {
        if (entry.th32ProcessID != processId)
            continue;
        name = entry.szExeFile;
        CLogger::LogDebug(L"CProcessHelper: Got name for PID %d, '%s' for HWND 0x%08X using CreateToolhelp32Snapshot",
                          processId, entry.szExeFile, HandleNumber(window));
        return !name.empty();
    }
    return false;
}
}

void CProcessHelper::ClearCache()
{
    Cache() = NameCache{};
}

bool CProcessHelper::GetProcessName(HWND window, DWORD processId, wchar_t* name, int nameCount, wchar_t* path,
                                    int pathCount, int& depth)
{
    if (name == nullptr || nameCount <= 0)
        return false;
    name[0] = L'\0';
    if (path && pathCount > 0)
        path[0] = L'\0';
    if (depth > kMaxDepth)
    {
        CLogger::LogMessage(L"CProcessHelper::GetProcessName Recursion Protection : Unable to answer GetProcessByName request for window 0x%08X (PID: 0x%08X) '%s'. ",
                            HandleNumber(window), processId, TextOf(window).c_str());
        return false;
    }
    ++depth;

    NameCache& cache = Cache();
    if (window != nullptr && window == cache.window && !cache.name.empty())
    {
        CopyOut(cache.path, path, pathCount);
        return CopyOut(cache.name, name, nameCount);
    }

    try
    {
        std::wstring fullPath;
        std::wstring result;
        if (NameFromModule(processId, window, fullPath))
        {
            fullPath = Lower(fullPath);
            const size_t slash = fullPath.find_last_of(L'\\');
            result = slash == std::wstring::npos ? fullPath : fullPath.substr(slash + 1);
        }
        if (result.empty())
        {
            fullPath.clear();
            NameFromSnapshot(processId, window, result);
        }
        if (result.empty())
        {
            ClearCache();
            return false;
        }

        const std::wstring lower = Lower(result);
        if (lower == L"applicationframehost.exe")
        {
            if (const HWND above = window ? ::GetWindow(window, GW_HWNDPREV) : nullptr)
            {
                DWORD aboveProcess = 0;
                ::GetWindowThreadProcessId(above, &aboveProcess);
                // The hosted window is asked at the depth reached so far, so
                // that frame hosts stacked on each other end.
                return GetProcessName(above, aboveProcess, name, nameCount, nullptr, 0, depth);
            }
        }
        else if (lower == L"explorer.exe")
        {
            const HWND parent = window ? ::GetParent(window) : nullptr;
            const HWND grandparent = parent ? ::GetParent(parent) : nullptr;
            if (grandparent && ::GetAncestor(grandparent, GA_ROOT) == grandparent)
            {
                const std::wstring className = Lower(ClassOf(grandparent));
                if (className == L"workerw" || className == L"progman")
                    result += L" (Desktop)";
            }
        }
        else if (lower == L"wwahost.exe" && window)
        {
            result = L"modern ui";
            const std::wstring title = TextOf(::GetAncestor(window, GA_ROOT));
            if (!title.empty())
                result += L" - " + Lower(title);
        }

        cache.window = window;
        cache.name = result;
        cache.path = fullPath;
        CopyOut(fullPath, path, pathCount);
        return CopyOut(result, name, nameCount);
    }
    catch (...)
    {
        CLogger::LogMessage(L"CProcessHelper: Caught an exception.");
        return false;
    }
}
