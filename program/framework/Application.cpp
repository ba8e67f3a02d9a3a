#include "Application.h"

#include "MessageLoop.h"
#include "Window.h"

namespace
{
CApplication* g_application = nullptr;
HINSTANCE g_resourceInstance = nullptr;
}

CApplication::CApplication(const wchar_t* title) : m_title(title != nullptr ? title : L"")
{
    g_application = this;
}

CApplication::~CApplication()
{
    if (g_application == this)
        g_application = nullptr;
}

CApplication* CApplication::Get()
{
    return g_application;
}

int CApplication::Main(HINSTANCE instance, const wchar_t* commandLine, int showCommand)
{
    m_instance = instance;
    m_commandLine = commandLine != nullptr ? commandLine : L"";
    m_showCommand = showCommand;
    if (g_resourceInstance == nullptr)
        g_resourceInstance = instance;
    if (!InitInstance())
        return ExitInstance();
    return Run();
}

BOOL CApplication::InitInstance()
{
    return TRUE;
}

int CApplication::Run()
{
    int code = 0;
    PumpMessagesUntil([] { return false; }, &code);
    m_exitCode = code;
    return ExitInstance();
}

int CApplication::ExitInstance()
{
    return m_exitCode;
}

BOOL CApplication::PreTranslateMessage(MSG* msg)
{
    return CWindow::WalkPreTranslateTree(msg) ? TRUE : FALSE;
}

HINSTANCE GetResourceInstance()
{
    return g_resourceInstance != nullptr ? g_resourceInstance : ::GetModuleHandleW(nullptr);
}

void SetResourceInstance(HINSTANCE instance)
{
    g_resourceInstance = instance;
}
