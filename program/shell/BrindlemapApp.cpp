#include "BrindlemapApp.h"

#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <vector>

#include "AppTexts.h"
#include "CommandWord.h"
#include "Control.h"
#include "Debug.h"
#include "Exceptions.h"
#include "Folders.h"
#include "Hooks.h"
#include "InstancePipe.h"
#include "Logger.h"
#include "MessageBox.h"
#include "MyMessageWnd.h"
#include "OSName.h"
#include "PortableDecision.h"
#include "StartupRules.h"

namespace
{
constexpr wchar_t kOleFailed[] = L"OLE initialization failed.  Make sure that the OLE libraries are the correct version.";
constexpr UINT kOleFailedString = 105;
constexpr DWORD kStartDelayMs = 10000;

// String 105 of the resources, or its English text when the resource is missing.
std::wstring OleFailedText()
{
    wchar_t text[512] = L"";
    if (::LoadStringW(GetResourceInstance(), kOleFailedString, text, 512) > 0)
        return text;
    return kOleFailed;
}

// Logs a framework exception caught during start-up with its message, or says
// it had none.
void LogStartupException(const CException& e, const wchar_t* withMessage, const wchar_t* withoutMessage)
{
    wchar_t message[1024] = L"";
    if (e.GetErrorMessage(message, 1024))
        CLogger::LogMessage(withMessage, message);
    else
        CLogger::LogMessage(L"%s", withoutMessage);
}
}

CBrindlemapApp::CBrindlemapApp() : CApplication(kMessageCaption)
{
    CLogger::DebugOutput(L"CBrindlemapApp: Constructing Main Application Class");
}

CBrindlemapApp::~CBrindlemapApp()
{
    if (m_bOleInitialised)
        ::OleUninitialize();
}

bool CBrindlemapApp::SendToFirstInstance(DWORD word, const std::wstring& text)
{
    return ::SendToFirstInstance(word, text);
}

BOOL CBrindlemapApp::InitInstance()
{
    // Nothing reaches the log file until the command line has said whether to log.
    CLogger::DisableLogging(true);
    CLogger::DebugOutput(L"InitInstance: %s is starting", AppShortName().c_str());

    try
    {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    catch (...)
    {
        CLogger::DebugOutput(L"InitInstance: Unable to initialise common controls");
        ShowMessageBox(OleFailedText(), MB_OK);
        return FALSE;
    }

    CApplication::InitInstance();

    if (FAILED(::OleInitialize(nullptr)))
    {
        CLogger::DebugOutput(L"InitInstance: Unable to initialise OLE/COM");
        ShowMessageBox(OleFailedText(), MB_OK);
        return FALSE;
    }
    m_bOleInitialised = true;
    if (FAILED(::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_SECURE_REFS, nullptr)))
        CLogger::DebugOutput(L"InitInstance: Unable to set COM security");

    CommandLineRequest request = ParseCommandLine(CommandLine());
    if (request.help)
    {
        ShowCommandLineHelp(AppProductName().c_str(), kAppVersion);
        return FALSE;
    }
    const DWORD parsedWord = request.word;
    // A relative file is meant against this start's folder, also when a running
    // instance with another working folder opens it.
    ResolveFileArgument(parsedWord, request.argument, CurrentWorkingFolder());
    const bool nolog = request.NoLog();
    const bool debug = request.Debug();

    m_programFolder = ProgramFolder();
    m_programFilesFolder = ProgramFilesFolder();
    bool portable = false;
    int portableReason = PortableDecision::ReasonNone;
    std::wstring warning;
    if ((parsedWord & CommandBits::Exit) == 0)
    {
        const PortableDecision decision =
            DecidePortable(parsedWord, m_programFolder, m_programFilesFolder, kSettingsFileName);
        portable = decision.portable;
        portableReason = decision.reason;
        if (decision.notice == PortableDecision::NoticeNotWritable)
        {
            ShowMessageBox(PortableNotWritableMessage(), MB_ICONERROR, nullptr, AppCaption().c_str());
            return FALSE;
        }
        if (decision.notice == PortableDecision::NoticeUnderProgramFiles)
        {
            warning = ProgramFilesWarningText();
            ShowMessageBox(ProgramFilesMessage(warning), MB_ICONWARNING, nullptr, AppCaption().c_str());
        }
        if ((parsedWord & CommandBits::Delay) != 0)
        {
            CLogger::LogDebug(L"Waiting for 10 seconds before continuing...");
            ::Sleep(kStartDelayMs);
            CLogger::LogDebug(L"Continuing to load and start %s...", AppShortName().c_str());
        }
    }

    SetPortable(portable);
    CLogger::DisableLogging(nolog);

    try
    {
        return StartFirstInstance(parsedWord, request.argument, request.lowered, debug, portable, portableReason,
                                  warning);
    }
    catch (const CException& e)
    {
        LogStartupException(e, L"InitInstance - Initialisation threw an exception: %s",
                            L"InitInstance - Initialisation caught a CException but could not extract the error message.");
    }
    catch (...)
    {
        const DWORD error = ::GetLastError();
        ClearMainWindow();
        CLogger::LogOSMessage(error, L"Caught an exception during initialisation. Error ");
    }
    return FALSE;
}

BOOL CBrindlemapApp::StartFirstInstance(DWORD word, const std::wstring& argument, const std::wstring& lowered,
                                        bool debug, bool portable, int portableReason, const std::wstring& warning)
{
    const std::wstring product = AppProductName();
    if (m_singleInstance.Create(GetInstance()) == CSingleInstance::AlreadyRunning)
    {
        const DWORD relayed = RelayedCommandWord(word);
        CLogger::DisableBanner();
        CLogger::LogMessage(L"MultInstance: Sending command line '%s' to an existing instance of %s", lowered.c_str(),
                            product.c_str());
        if (SendToFirstInstance(relayed, argument))
            CLogger::LogMessage(L"MultInstance: Successfully finished communicating with the first instance of %s.",
                                product.c_str());
        else
            CLogger::LogMessage(L"MultInstance: Unable to communicate with the first instance of %s.",
                                product.c_str());
        return FALSE;
    }

    CLogger::LogMessage(L"%s v%s (x64) Startup. Commandline '%s'", product.c_str(), kAppVersion, lowered.c_str());
    if (!warning.empty())
        CLogger::LogMessage(L"%s", warning.c_str());

    LogIntegrityLevel();

    UpdateSettings();
    SetDebug(debug, L"start-up");
    LoadLanguagePack();

    LogEnvironment(portable, portableReason);

    const bool quillon = GetQuillon() || (word & CommandBits::Quillon) != 0;
    if (quillon)
        CLogger::LogMessage(L"Enabling Quillon Mode.");
    SetQuillon(quillon);

    word = WithStartupIconBits(word, GetShowIcon());

    bool desktopLocked = false;
    if (IsDesktopLocked())
    {
        CLogger::LogMessage(L"%s has detected that the desktop is locked during startup. Skipping hook installation, "
                            L"wait until logon is complete.",
                            AppShortName().c_str());
        desktopLocked = true;
    }
    else if (SetMouseHook())
    {
        CLogger::LogDebug(L"Successfully created the mouse hook thread.");
    }
    else
    {
        CLogger::LogMessage(L"Unable to hook the mouse in a timely fashion.");
    }

    m_pMainWnd = new CMyMessageWnd((word & CommandBits::ShowIcon) != 0, quillon, portable, desktopLocked);
    const std::wstring name = m_singleInstance.GetName();
    if (!m_pMainWnd->Create(name.c_str(), name.c_str()))
    {
        const DWORD error = ::GetLastError();
        CLogger::LogOSMessage(error, L"Unable to create main window. Exiting");
        ClearMainWindow();
        return FALSE;
    }
    CLogger::LogDebug(L"Successfully created the main message window.");
    SetMainWindow(m_pMainWnd);
    m_pMainWnd->SendCommand(StartupHandOverWord(word), argument);
    return TRUE;
}

void CBrindlemapApp::LogIntegrityLevel()
{
    try
    {
        const std::wstring line =
            IntegrityLevelLine(GetProcessIntegrityLevel(::GetCurrentProcessId(), ::GetCurrentProcess()));
        if (!line.empty())
            CLogger::LogMessage(L"%s", line.c_str());
    }
    catch (const CException& e)
    {
        LogStartupException(e, L"InitInstance - Initialisation threw an exception in GetProcessIntegrityLevel: %s",
                            L"InitInstance - Initialisation caught a CException in GetProcessIntegrityLevel but could "
                            L"not extract the error message.");
    }
    catch (...)
    {
        const DWORD error = ::GetLastError();
        ClearMainWindow();
        CLogger::LogOSMessage(error, L"Caught an exception during GetProcessIntegrityLevel. Error ");
    }
}

void CBrindlemapApp::LogEnvironment(bool portable, int portableReason)
{
    const std::wstring product = AppProductName();
    wchar_t osName[MAX_PATH] = L"";
    DWORD major = 0;
    DWORD minor = 0;
    if (GetOSDisplayName(osName, MAX_PATH, major, minor) == 1)
    {
        if (ReportsHookTimeout(major, minor))
        {
            const unsigned long timeout = GetHooktimeoutValue();
            CLogger::LogMessage(L"Running on %s, Hook Timeout: %d ms", osName, static_cast<int>(timeout));
            if (timeout < 1000)
                CLogger::LogMessage(
                    L"Warning: Low Level Hook Timeout is low. If you have problems try increasing this value.");
        }
        else
        {
            CLogger::LogMessage(L"Running on %s", osName);
        }
        if (major > 5)
        {
            if (::IsUserAnAdmin())
                CLogger::LogDebug(L"%s is running using an elevated administrative account (UAC elevation)",
                                  product.c_str());
            else
                CLogger::LogDebug(L"%s is not running using an elevated administrative account (UAC elevation)",
                                  product.c_str());
        }
    }

    CLogger::LogMessage(L"Startup folder: '%s'", m_programFolder.c_str());

    if (portable)
    {
        CLogger::LogMessage(L"Enabling portable mode.");
        if (portableReason == PortableDecision::ReasonSettingsFileFound ||
            portableReason == PortableDecision::ReasonFolderWritable)
            CLogger::LogMessage(L"Creating/using settings file in '%s'", m_programFolder.c_str());
        CLogger::LogMessage(L"As %s is not running from an OS protected location (such as '%s') some features will "
                            L"not work. See the FAQ for more information.",
                            product.c_str(), m_programFilesFolder.c_str());
    }
    else
    {
        std::vector<wchar_t> folder(kMaxPathChars, L'\0');
        if (GetSettingsFolder(folder.data(), folder.size()) != 0)
            CLogger::LogMessage(L"Unable to get settings folder!");
        else
            CLogger::LogMessage(L"Settings (and log) folder: '%s'", folder.data());
    }
}

void CBrindlemapApp::LoadLanguagePack()
{
    wchar_t file[MAX_PATH + 1] = L"";
    if (!GetLanguageFile(file, MAX_PATH + 1))
        file[0] = L'\0';
    // An empty name is English; a pack that fails to load has logged why and
    // leaves the texts English.
    m_language.Begin(file);
}

void CBrindlemapApp::ClearMainWindow()
{
    if (m_pMainWnd != nullptr)
    {
        if (m_pMainWnd->IsWindow())
            m_pMainWnd->DestroyWindow();
        delete m_pMainWnd;
        m_pMainWnd = nullptr;
    }
    SetMainWindow(nullptr);
}

int CBrindlemapApp::ExitInstance()
{
    if (m_pMainWnd != nullptr)
    {
        CLogger::LogMessage(L"%s Shutdown.", AppProductName().c_str());
        RemoveMouseHook(true);
        // Not the main window any more: its destruction here must not post a
        // quit message into a loop that has already ended.
        SetMainWindow(nullptr);
        ClearMainWindow();
    }
    else if (GetHooked())
    {
        // Start-up failed after the hooks went in: they must not outlive it.
        RemoveMouseHook(true);
    }
    m_language.End();
    return CApplication::ExitInstance();
}
