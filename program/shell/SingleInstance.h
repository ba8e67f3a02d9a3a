#pragma once
// One running instance per session: a named mutex tells a later start that an
// instance runs; the first instance registers its main window's class under
// the same name.

#include <windows.h>

#include <string>
#include <string_view>

#include "Handles.h"

class CSingleInstance
{
public:
    enum CreateResult
    {
        FirstInstance = 0,
        AlreadyRunning = 1,
        ClassNotRegistered = 255,
    };

    CSingleInstance();
    virtual ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // Takes the mutex under the program's name (or under baseName, for tests)
    // and registers the window class. One of CreateResult.
    int Create(HINSTANCE instance = nullptr, const wchar_t* baseName = nullptr);
    // The name shared by the mutex, the main window's class and its title.
    std::wstring GetName() const { return m_name; }

    // The part of text before the first character that may not stand in the name.
    static std::wstring CutName(std::wstring_view text);
    // The program's own name, before cutting.
    static std::wstring ProgramName();

private:
    UniqueHandle m_hMutex;
    std::wstring m_name;
};
