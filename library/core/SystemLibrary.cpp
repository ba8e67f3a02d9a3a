#include "SystemLibrary.h"

#include <cwchar>
#include <string>

namespace
{
bool IsPlainFileName(const wchar_t* name)
{
    if (name == nullptr || *name == L'\0' || std::wcslen(name) >= MAX_PATH)
        return false;
    return std::wcspbrk(name, L"\\/:") == nullptr;
}

// The system folder joined with the name, for systems whose loader does not
// know the search flags (Windows 7 without its loader update).
HMODULE LoadFromSystemFolderPath(const wchar_t* fileName)
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    std::wstring path(folder, length);
    if (path.back() != L'\\')
        path += L'\\';
    path += fileName;
    // With a full path the loader looks nowhere else; the altered search order
    // makes the library's own dependencies start in the system folder too.
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
}

HMODULE LoadSystemLibrary(const wchar_t* fileName)
{
    if (!IsPlainFileName(fileName))
    {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HMODULE module = ::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadFromSystemFolderPath(fileName);
    return module;
}

bool RestrictLibrarySearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel != nullptr
        ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
              reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")))
        : nullptr;
    if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
        return true;
    // An empty string removes the current folder from the classic search order.
    return ::SetDllDirectoryW(L"") != FALSE;
}
