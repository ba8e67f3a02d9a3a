#include "EngineTokenServices.h"

#include "ApplicationSettings.h"
#include "Brightness.h"
#include "Control.h"
#include "Globals.h"
#include "Layers.h"
#include "Logger.h"
#include "ProcessLaunch.h"
#include "Settings.h"
#include "StringFormat.h"
#include "ThreadLock.h"
#include "VolumeServices.h"
#include "WindowActivation.h"

#include <iterator>

void CEngineTokenServices::SetCurrentLayer(int layer, bool notify, bool autoSwitch, bool rememberLast)
{
    ::SetCurrentLayer(layer, notify, autoSwitch, rememberLast);
}

void CEngineTokenServices::SetLayerSetByAction(bool flag)
{
    m_bLayerSetByAction = flag;
}

bool CEngineTokenServices::IsLayerSkipped(const CApplicationSettings* profile, int layer)
{
    // The same layers NextLayer and PreviousLayer step over.
    if (profile == nullptr || !CApplicationSettings::ValidLayer(layer))
        return false;
    return profile->GetLayerDisabled(layer) || profile->GetLayerDisabledNextPrev(layer, false);
}

HWND CEngineTokenServices::GetProfileWindow()
{
    return ::GetProfileWindow();
}

void CEngineTokenServices::ActivateWindowUnderCursor(int how)
{
    ::ActivateWindowUnderCursor(how);
}

// The send-input thread owns its volume manager; these reach it from the tokens.
bool CEngineTokenServices::GetVolume(int& percent)
{
    return PeekSendThreadVolume(percent);
}

void CEngineTokenServices::ChangeVolume(int delta)
{
    SendThreadChangeVolume(delta);
}

void CEngineTokenServices::ToggleMute()
{
    SendThreadToggleMute();
}

void CEngineTokenServices::SetVolume(int percent)
{
    SendThreadSetVolume(percent);
}

void CEngineTokenServices::SendThreadStarted(DWORD threadId)
{
    SendThreadVolumeStarted(threadId);
}

void CEngineTokenServices::SendThreadEnding()
{
    SendThreadVolumeEnding();
}

void CEngineTokenServices::AudioDeviceChanged()
{
    SendThreadAudioDeviceChanged();
}

void CEngineTokenServices::ChangeBrightness(int direction, POINT point)
{
    CBrightness* brightness = g_threads.pBrightness;
    if (brightness == nullptr)
    {
        CLogger::LogDebug(L"ChangeBrightness: no brightness control");
        return;
    }
    if (direction == 1)
        brightness->Up(point);
    else
        brightness->Down(point);
}

void CEngineTokenServices::ShellExecute(const std::wstring& program, int showMode)
{
    ThreadShellExecute(program.c_str(), showMode);
}

void CEngineTokenServices::KillProcess(const std::wstring& processName)
{
    ::KillProcess(processName.c_str());
}

// The new profile's script learns which profile and layer were left and which
// are now in force: index "short name" for each profile, then layer "name".
namespace
{
// Whether the profile a queued request names is one of the settings' profiles
// now: a reload may have freed it, and a new profile may sit at its address,
// which only its serial tells apart.
bool IsLiveProfile(const CApplicationSettings* profile, unsigned long long serial)
{
    const CSettings* settings = g_pSettings;
    if (profile == nullptr || settings == nullptr)
        return false;
    bool found = profile == settings->GetDefaultApp();
    for (int i = 0; i < settings->GetApplicationCount() && !found; ++i)
        found = settings->GetApplication(i) == profile;
    // Only a profile found among the live ones may be read.
    return found && profile->GetSerial() == serial;
}
} // namespace

void CEngineTokenServices::RunProfileChangedScript(CApplicationSettings* previous, unsigned long long previousSerial,
                                                   CApplicationSettings* next, unsigned long long nextSerial, int layer)
{
    // Runs on the simulated-input thread: the profiles are read under the
    // global lock, and only while they still exist.
    CThreadLock lock(L"RunProfileChangedScript");
    if (!IsLiveProfile(next, nextSerial))
        return;
    if (!IsLiveProfile(previous, previousSerial))
        previous = nullptr;
    const wchar_t* script = next->GetProfileChangeScript();
    if (script == nullptr || *script == L'\0')
        return;

    wchar_t previousName[512] = L"<NONE>";
    if (previous != nullptr)
        previous->GetShortName(previousName, static_cast<int>(std::size(previousName)));
    wchar_t nextName[512] = L"";
    next->GetShortName(nextName, static_cast<int>(std::size(nextName)));
    wchar_t layerName[1024] = L"";
    FormatArray(layerName, L"%s", next->GetLayerName(layer));

    wchar_t arguments[2600] = L"";
    FormatArray(arguments, L"%d \"%s\" %d \"%s\" %d \"%s\"",
                 previous != nullptr ? previous->GetIndex() : -1, previousName, next->GetIndex(), nextName, layer,
                 layerName);
    ThreadShellExecute(L"open", script, arguments);
}

CEngineTokenServices& EngineTokenServices()
{
    static CEngineTokenServices services;
    return services;
}

void InstallEngineTokenServices()
{
    SetTokenServices(&EngineTokenServices());
}
