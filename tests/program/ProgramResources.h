#pragma once
// The program's dialog templates live in Brindlemap.exe, built beside the
// tests; a test borrows them for as long as this object lives.

#include <windows.h>

#include <string>

#include "Application.h"

namespace brmptest
{
class ProgramResources
{
public:
    ProgramResources()
    {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring exe(path);
        exe = exe.substr(0, exe.find_last_of(L'\\')) + L"\\Brindlemap.exe";
        m_module = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        m_previous = GetResourceInstance();
        if (m_module)
            SetResourceInstance(m_module);
    }
    ~ProgramResources()
    {
        SetResourceInstance(m_previous);
        if (m_module)
            ::FreeLibrary(m_module);
    }
    ProgramResources(const ProgramResources&) = delete;
    ProgramResources& operator=(const ProgramResources&) = delete;

    bool Loaded() const { return m_module != nullptr; }

private:
    HMODULE m_module = nullptr;
    HINSTANCE m_previous = nullptr;
};
} // namespace brmptest
