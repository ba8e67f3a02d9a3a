#include "SingleInstance.h"

#include <utility>

#include "Logger.h"

CSingleInstance::CSingleInstance() = default;

CSingleInstance::~CSingleInstance() = default;

std::wstring CSingleInstance::ProgramName()
{
    // Built from parts at run time; 19 characters.
    std::wstring name = L"Brindle";
    name += L"map";
    name += L"Singleton";
    return name;
}

std::wstring CSingleInstance::CutName(std::wstring_view text)
{
    static constexpr std::wstring_view kStops = L" \\'\"/@#~,:;\u00AC`!\u00A3$%^&*-=+_|";
    const std::size_t cut = text.find_first_of(kStops);
    return std::wstring(text.substr(0, cut));
}

int CSingleInstance::Create(HINSTANCE instance, const wchar_t* baseName)
{
    if (instance == nullptr)
        instance = ::GetModuleHandleW(nullptr);
    m_name = CutName(baseName != nullptr ? std::wstring(baseName) : ProgramName());

    m_hMutex.Reset();
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, m_name.c_str()));
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS)
    {
        CLogger::LogDebug(L"SingleInstance:%s class already exists... Only one instance can be running at any one time!",
                          m_name.c_str());
        return AlreadyRunning;
    }
    if (!mutex)
    {
        // A mutex of that name that this user may not open belongs to another
        // instance as much as one that opens.
        const DWORD error = ::GetLastError();
        CLogger::LogOSMessage(error, L"SingleInstance: Unable to create the instance mutex %s", m_name.c_str());
        if (error == ERROR_ACCESS_DENIED)
            return AlreadyRunning;
    }
    m_hMutex = std::move(mutex);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    // The framework binds its window object from the first message and takes
    // the messages from there.
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(103));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = m_name.c_str();
    // A class left by an earlier Create in this process is ours already.
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    {
        m_name.clear();
        CLogger::LogMessage(L"SingleInstance: Failed to register window class!\n");
        return ClassNotRegistered;
    }
    return FirstInstance;
}
