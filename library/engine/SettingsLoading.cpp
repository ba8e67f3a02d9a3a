// Loading the settings file into the running engine: the reload under the
// global lock, the questions about a file that cannot be parsed, and applying
// the mouse parameters of the profile in force.

#include <atomic>
#include <memory>
#include <string>

#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "Clock.h"
#include "Control.h"
#include "EngineResets.h"
#include "Folders.h"
#include "Globals.h"
#include "KeyHook.h"
#include "LastWheel.h"
#include "Layers.h"
#include "Logger.h"
#include "MouseHook.h"
#include "MouseInfo.h"
#include "PersistantSettings.h"
#include "ProfileSwitch.h"
#include "SPIThread.h"
#include "Settings.h"
#include "StickyButtons.h"
#include "StringFormat.h"
#include "ThreadLock.h"
#include "TimerThread.h"

bool g_bFirstXMLLoad = true;
bool g_bAreaAppsPresent = false;

namespace
{
std::atomic<SettingsQuestionFn> g_ask{nullptr};
std::atomic<EndProcessFn> g_endProcess{nullptr};

constexpr UINT kJigglerPeriodMs = 10000;

// Texts of the product assembled at run time.
const wchar_t* ProductName()
{
    static const wchar_t name[] = {L'B', L'r', L'i', L'n', L'd', L'l', L'e', L'm', L'a', L'p', 0};
    return name;
}

const wchar_t* ShortName()
{
    static const wchar_t name[] = {L'B', L'R', L'M', L'P', 0};
    return name;
}

int Ask(const wchar_t* text, UINT type)
{
    if (SettingsQuestionFn ask = g_ask.load())
        return ask(text, ProductName(), type);
    return ::MessageBoxW(nullptr, text, ProductName(), type);
}

void EndProcess(UINT code)
{
    if (EndProcessFn end = g_endProcess.load())
        end(code);
    else
        ::ExitProcess(code);
}

bool CursorChangesAllowed()
{
    return g_pSettings != nullptr && g_pSettings->m_bAllowSetSpeed;
}

bool ValidMouseSpeed(int speed)
{
    return speed >= 1 && speed <= 20;
}

void ApplyLoadedLoggingOptions()
{
    if (g_pSettings->m_bDisableLogging)
        CLogger::DisableLogging(true);
    CLogger::ThreadDebugging(g_pSettings->m_bThreadDebugging);
}

// The profile that was in force before a reload, found again by its name in
// the settings as they are now (the old object may be gone).
void ReselectProfile(bool wasDefault, const std::wstring& fullName)
{
    g_engine.pCurrentApp = nullptr;
    CApplicationSettings* profile = nullptr;
    if (wasDefault || fullName.empty())
        profile = g_pSettings->GetDefaultApp();
    else
        profile = g_pSettings->GetApplication(fullName.c_str());
    SetNewApp(profile);
}

void RebuildAreaProfiles()
{
    delete g_engine.pAreaApps;
    g_engine.pAreaApps = nullptr;
    if (!g_bAreaAppsPresent)
        return;
    g_engine.pAreaApps = new std::list<CApplicationSettings*>();
    const int count = g_pSettings->GetApplicationCount();
    for (int i = 0; i < count; ++i)
    {
        CApplicationSettings* profile = g_pSettings->GetApplication(i);
        if (profile != nullptr && profile->GetUseWindowArea())
            g_engine.pAreaApps->push_back(profile);
    }
}

// A reload gives the pointer the speed a profile switch gives it, so that the
// two never disagree about the speed the user chose last.
void SetSpeedFromSettings(int current)
{
    CApplicationSettings* profile = g_engine.pCurrentApp;
    const CApplicationSettings* defaults = g_pSettings->GetDefaultApp();
    const int wanted = ProfileMouseSpeed(profile);
    if (profile != nullptr && profile->OverrideMouseSpeed() && profile->GetMouseSpeed() != -1)
    {
        if (wanted == current)
        {
            CLogger::LogDebug(L"UpdateSettings: No need to change mouse cursor speed to profile speed as it is already %d.", current);
            return;
        }
        wchar_t shortName[kProfilePartBufferSize] = L"";
        profile->GetShortName(shortName, kProfilePartBufferSize);
        CLogger::LogThreadDebug(L"UpdateSettings: System (default) Mouse cursor speed is: %d. Override cursor speed based on profile '%s' to  %d",
                                g_system.nStartupMouseSpeed, shortName, wanted);
    }
    else if (defaults != nullptr && defaults->OverrideMouseSpeed() && defaults->GetMouseSpeed() != -1)
    {
        if (wanted == current)
        {
            CLogger::LogDebug(L"UpdateSettings: No need to change mouse cursor speed to default profile speed as it is already %d.", current);
            return;
        }
        CLogger::LogThreadDebug(L"UpdateSettings: System (default) Mouse cursor speed is: %d. Setting cursor speed based on default profile to %d",
                                g_system.nStartupMouseSpeed, wanted);
    }
    else
    {
        if (wanted == current)
        {
            CLogger::LogDebug(L"UpdateSettings: No need to change mouse cursor speed to global speed as it is already %d.", current);
            return;
        }
        CLogger::LogThreadDebug(L"UpdateSettings: System (default) Mouse cursor speed is: %d. Setting cursor speed to %d",
                                g_system.nStartupMouseSpeed, wanted);
    }
    // No speed the system takes (none in the settings nor at start-up): none is set.
    if (!ValidMouseSpeed(wanted))
    {
        CLogger::LogDebug(L"UpdateSettings: Leaving mouse cursor speed at %d (no valid speed %d to set)", current, wanted);
        return;
    }
    CMouseInfo::SetMouseSpeed(static_cast<std::size_t>(wanted));
}
}

int UsersMouseSpeed(const CApplicationSettings* profile)
{
    const CApplicationSettings* defaults = g_pSettings != nullptr ? g_pSettings->GetDefaultApp() : nullptr;
    const int speed = NormalCursorSpeed(g_pSettings, CycledCursorSpeedPosition(), profile, defaults);
    return ValidMouseSpeed(speed) ? speed : g_system.nStartupMouseSpeed;
}

int ProfileMouseSpeed(const CApplicationSettings* profile)
{
    const int speed = UsersMouseSpeed(profile);
    return g_bSlowedByKey != 0 ? SlowCursorSpeed(speed) : speed;
}

void SetSettingsLoadQuestions(SettingsQuestionFn ask, EndProcessFn endProcess)
{
    g_ask = ask;
    g_endProcess = endProcess;
}

CSettings* GetSettings()
{
    return g_pSettings;
}

namespace
{
// A settings file parsed into an object of its own, without the global lock:
// the engine goes on with the settings in force meanwhile.
struct ParsedSettings
{
    std::unique_ptr<CSettings> settings;
    bool areaProfiles = false;
};

// Parses the settings file (asking the user what to do with one that cannot be
// parsed, on the first load only). Holds no lock while it parses or asks.
ParsedSettings ParseSettingsFile()
{
    ParsedSettings parsed;
    bool isDefault = false;
    for (;;)
    {
        wchar_t path[kMaxPathChars] = L"";
        if (GetSettingsFile(path, kMaxPathChars, true, isDefault) != 0)
            break;
        // The fresh object starts from the options in force, as a load into
        // the object in force would.
        auto fresh = std::make_unique<CSettings>(false, CMouseInfo());
        {
            CThreadLock lock(L"LoadXMLSettings");
            if (g_pSettings == nullptr)
                break;
            fresh->CopyOptionsFrom(*g_pSettings);
        }
        bool areaProfiles = false;
        if (fresh->Load(path, areaProfiles, true))
        {
            parsed.settings = std::move(fresh);
            parsed.areaProfiles = areaProfiles;
            break;
        }
        CLogger::LogMessage(L"LoadXMLSettings: Error parsing XML file '%s'.", path);
        if (!g_bFirstXMLLoad)
            break;
        if (!isDefault)
        {
            const std::wstring text = FormatString(
                L"An error occurred while parsing your custom XML settings file '%s'.\n\nThe settings were not been loaded.\nDo you want to load the default settings file?",
                path);
            if (Ask(text.c_str(), MB_ICONERROR | MB_YESNO) == IDNO)
            {
                CLogger::LogMessage(L"LoadXMLSettings: User selected no.");
                EndProcess(1);
                break;
            }
            isDefault = true;
            continue;
        }
        const std::wstring text = FormatString(
            L"An error occurred while parsing the default XML settings file.\nYour settings have not been loaded.\n\nPress Abort to quit %s and fix your settings file before continuing or you may loose your settings!",
            ProductName());
        const int answer = Ask(text.c_str(), MB_ICONERROR | MB_ABORTRETRYIGNORE);
        if (answer == IDABORT)
        {
            CLogger::LogMessage(L"LoadXMLSettings: User selected abort.");
            EndProcess(1);
            break;
        }
        if (answer == IDRETRY)
            continue;
        CLogger::LogMessage(L"LoadXMLSettings: User selected ignore.");
        break;
    }
    g_bFirstXMLLoad = false;
    return parsed;
}

// Puts parsed settings in force; the global lock is held. The former contents
// are left in parsed, to be freed after the lock is left.
void InstallParsedSettings(ParsedSettings& parsed)
{
    g_engine.pCurrentApp = nullptr;
    ForgetWindowProfiles();
    EndCursorSpeedCycleFor(*parsed.settings);
    g_pSettings->TakeOver(*parsed.settings);
    g_bAreaAppsPresent = g_bAreaAppsPresent || parsed.areaProfiles;
    ApplyLoadedLoggingOptions();
    SetNewApp(g_pSettings->GetDefaultApp());
}
}

bool LoadXMLSettings()
{
    ParsedSettings parsed = ParseSettingsFile();
    if (!parsed.settings)
        return false;
    CThreadLock lock(L"LoadXMLSettings");
    if (g_pSettings == nullptr)
        return false;
    InstallParsedSettings(parsed);
    return true;
}

bool LoadSettings()
{
    {
        CThreadLock lock(L"LoadSettings");
        if (g_pSettings == nullptr)
            return false;
        RegisterLayerTimerHandlers();
    }
    // The parse runs before the lock is taken: button events meanwhile go on
    // with the settings in force, and only the exchange below holds them up.
    const DWORD start = ::GetTickCount();
    ParsedSettings parsed = ParseSettingsFile();
    const bool loaded = parsed.settings != nullptr;

    // Declared after parsed, the lock is left before the former profiles (left
    // in parsed) are freed.
    CThreadLock lock(L"LoadSettings");
    if (g_pSettings == nullptr)
        return false;
    delete g_engine.pAreaApps;
    g_engine.pAreaApps = nullptr;
    // The jiggler's timer belongs to the timer thread: it is killed there.
    if (g_idJigglerTimer != 0)
        ProxyKillTimer(nullptr, ID_TIMER_JIGGLER);

    const bool wasDefault = g_engine.pCurrentApp == nullptr || g_engine.pCurrentApp->IsDefault();
    const std::wstring fullName =
        (g_engine.pCurrentApp != nullptr && g_engine.pCurrentApp->GetFullName() != nullptr) ? g_engine.pCurrentApp->GetFullName() : L"";

    // Everything that points into the old profiles goes before they are freed.
    POINT point = {0, 0};
    ::GetCursorPos(&point);
    RunEngineResets(EngineResetReason::SettingsReload, point);
    g_LastWheel.Reset();
    g_engine.pCurrentApp = nullptr;

    // A file that could not be loaded leaves the profiles in force, and with
    // them their area profiles, which are listed again below.
    if (loaded)
    {
        g_bAreaAppsPresent = false;
        InstallParsedSettings(parsed);
    }
    if (loaded && g_pPersist != nullptr && !g_pPersist->IsDirty() && g_pSettings->m_bPersistLayer)
        ChangeLayer(g_pPersist->GetLayer(), false);
    RebuildAreaProfiles();
    g_LastWheel.Reset();
    ReselectProfile(wasDefault, fullName);
    EndStickyChangedByReload(point);
    // The next button looks the profile of its window up in the new profiles.
    SetLastProfileWindow(nullptr);
    if (!loaded)
    {
        CLogger::LogMessage(L"HookDLL: Unable to load XML settings");
        return false;
    }
    CLogger::LogDebug(L"HookDLL: Load Settings took %dms", static_cast<int>(::GetTickCount() - start));

    ::SetLastError(0);
    if (!::SetPriorityClass(::GetCurrentProcess(), g_pSettings->m_uPriority) && ::GetLastError() != 0)
        CLogger::LogOSDebug(::GetLastError(), L"Unable to set process priority!");

    if (g_pSettings->m_bMouseJiggler && g_pSettings->m_uMouseJigglerTimeout > 0)
    {
        g_hook.dwLastInput = TickNow();
        g_hook.bInputSeen = true;
        ProxySetTimer(nullptr, 0, ID_TIMER_JIGGLER, kJigglerPeriodMs, JigglerTimerProc, &g_idJigglerTimer);
    }
    NewApplicationSettings();
    {
        // The options may have turned mouse-over switching on.
        CThreadLock lock(L"LoadSettings MouseOver");
        EnsureMouseOverPoll();
    }
    return true;
}

bool UpdateSettings()
{
    if (!LoadSettings())
        return false;
    CThreadLock lock(L"UpdateSettings");
    const int current = CMouseInfo::GetMouseSpeed();
    if (!CursorChangesAllowed())
    {
        CLogger::LogDebug(L"Leaving mouse cursor speed at %d as %s is not allowed to change it", current, ShortName());
        return true;
    }
    SetSpeedFromSettings(current);
    return true;
}

std::atomic<bool> g_bAeroPeekDetected{false};

namespace
{
// The swap state the SPI thread applies: the system's own setting at start-up,
// not swapped, or swapped.
int SpiSwapState(swapbuttons swap)
{
    if (swap == SWAPBUTTONS_DEFAULT)
        return g_system.nStartupSwapButtons != 0 ? 1 : 0;
    return swap == SWAPBUTTONS_YES ? 1 : 0;
}

} // namespace

bool NewApplicationSettings()
{
    // Read under the lock: the hook thread's clean-up takes the workers away
    // under it, and a switch that waited for it meanwhile finds none.
    CThreadLock lock(L"NewApplicationSettings");
    CSPIThread* const spiThread = g_threads.pSPIThread;
    if (spiThread == nullptr)
    {
        CLogger::LogThreadDebug(L"NewApplicationSettings: SPIThread is not initialised.");
        return false;
    }
    CApplicationSettings* profile = g_engine.pCurrentApp;
    const int current = CMouseInfo::GetMouseSpeed();
    const CMouseInfo mouse;
    const bool precision = mouse.EnhancePointerPrecision();

    const int speed = ProfileMouseSpeed(profile);
    bool wantedPrecision = g_pSettings != nullptr ? g_pSettings->m_bEnhancePointerPrecision : g_system.bStartupEPP;
    if (profile != nullptr && profile->OverrideMouseSpeed())
        wantedPrecision = profile->EnhancePointerPrecision();
    if (speed != current)
    {
        if (!CursorChangesAllowed())
            CLogger::LogDebug(L"NewApplicationSettings: Ignoring mouse speed as %s is not allowed to change it", ShortName());
        else if (!ValidMouseSpeed(speed))
            CLogger::LogMessage(L"CMouseInfo::SetMouseSpeed - Failed to set mouse cursor speed to %d", speed);
        else
        {
            CLogger::LogThreadDebug(L"CMouseInfo::SetMouseSpeed - Setting mouse cursor speed to %d", speed);
            if (!CMouseInfo::SetMouseSpeed(static_cast<std::size_t>(speed)))
                CLogger::LogMessage(L"CMouseInfo::SetMouseSpeed - Failed to set mouse cursor speed to %d", speed);
        }
    }
    // A profile's precision is the user's stored one only when the profile
    // forces its values; a precision such a profile stored is taken back even
    // when the value in force stays.
    const bool force = profile != nullptr && profile->ForceSPIMessage();
    if (wantedPrecision != precision || g_system.bPrecisionStored.load())
    {
        if (CursorChangesAllowed())
        {
            int values[3] = {0, 0, 0};
            if (wantedPrecision)
            {
                values[0] = g_pSettings->m_nEPPThreshold1;
                values[1] = g_pSettings->m_nEPPThreshold2;
                values[2] = 1;
            }
            ApplyPointerPrecision(precision, values, force);
        }
        else
            CLogger::LogDebug(L"NewApplicationSettings: Ignoring mouse pointer precision as %s is not allowed to change it", ShortName());
    }
    // Button swap and wheel lines are applied on the SPI thread. A request it
    // cannot take is logged there; the next switch asks again.
    const bool pages = profile != nullptr ? profile->ScrollPages() : g_system.bWheelPageScroll;
    const int lines = profile != nullptr ? profile->ScrollLines() : g_system.nWheelLines;
    const int swap = SpiSwapState(profile != nullptr ? profile->SwapButtons() : SWAPBUTTONS_DEFAULT);
    if (force && g_bAeroPeekDetected)
    {
        spiThread->Flush();
        CLogger::LogDebug(L"NewApplicationSettings: Skipping as AeroPeek has been detected");
        return false;
    }
    spiThread->SendSPI(swap, pages ? -1 : lines, force);
    UpdateCursors();
    return true;
}
