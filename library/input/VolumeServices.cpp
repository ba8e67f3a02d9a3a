// The send-input thread's volume manager. Only that thread creates, deletes
// and re-binds it; other threads read the volume under the audio lock, taken
// without waiting, so the manager cannot go away while they use it.

#include "VolumeServices.h"

#include <cmath>

#include "LogCaughtException.h"
#include "Logger.h"
#include "ThreadLock.h"
#include "Volume.h"

namespace
{
CVolumeManager* g_pSendThreadVolume = nullptr;

// The manager leaves the shared pointer under the lock, so a reader that got
// in first finishes before it is deleted.
CVolumeManager* TakeManager()
{
    CAudioThreadLock lock(L"SendThreadVolume");
    CVolumeManager* manager = g_pSendThreadVolume;
    g_pSendThreadVolume = nullptr;
    return manager;
}

int WholePercent(float percent)
{
    return static_cast<int>(std::floor(percent + 0.5f));
}
}

void SendThreadVolumeStarted(DWORD threadId)
{
    delete TakeManager();
    try
    {
        CVolumeManager* manager = new CVolumeManager(false, L"SendInput Thread", threadId);
        CAudioThreadLock lock(L"SendThreadVolumeStarted");
        g_pSendThreadVolume = manager;
    }
    catch (...)
    {
        LogCaughtException(L"SendThreadVolumeStarted");
    }
}

void SendThreadVolumeEnding()
{
    delete TakeManager();
}

void SendThreadAudioDeviceChanged()
{
    if (g_pSendThreadVolume != nullptr)
        g_pSendThreadVolume->ReInitialise();
}

bool SendThreadChangeVolume(int deltaPercent)
{
    return g_pSendThreadVolume != nullptr && g_pSendThreadVolume->ChangeVolume(static_cast<float>(deltaPercent));
}

bool SendThreadSetVolume(int percent)
{
    return g_pSendThreadVolume != nullptr && g_pSendThreadVolume->SetVolume(static_cast<float>(percent));
}

bool SendThreadToggleMute()
{
    return g_pSendThreadVolume != nullptr && g_pSendThreadVolume->ToggleMute();
}

bool PeekSendThreadVolume(int& percent)
{
    float volume = -1.0f;
    {
        CAudioThreadTryLock lock(L"PeekSendThreadVolume");
        if (!lock)
            return false;
        volume = g_pSendThreadVolume != nullptr ? g_pSendThreadVolume->PeekVolume() : -1.0f;
    }
    if (volume < 0.0f)
        return false;
    percent = WholePercent(volume);
    return true;
}

bool HasSendThreadVolume()
{
    return g_pSendThreadVolume != nullptr;
}

bool VolumeDisplayNeedsRepair(bool haveManager, float volumePercent)
{
    return !haveManager || volumePercent > 6.0f;
}

bool VolumeDisplayNeedsRepair()
{
    CAudioThreadTryLock lock(L"VolumeDisplayNeedsRepair");
    if (!lock)
        return false;
    const bool haveManager = g_pSendThreadVolume != nullptr;
    const float volume = haveManager ? g_pSendThreadVolume->PeekVolume() : -1.0f;
    lock.Release();
    return VolumeDisplayNeedsRepair(haveManager, volume);
}
