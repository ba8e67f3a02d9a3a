// Master volume of the default playback device through the Core Audio
// interfaces. The manager binds lazily: a device change or a failed call only
// marks it, and the next use (or ReInitialise on its owner's thread) binds again.

#include "Volume.h"

#include <atomic>
#include <cmath>
#include <string>

#include "LogCaughtException.h"
#include "Logger.h"
#include "StringFormat.h"
#include "ThreadLock.h"
#include "VolumeNotification.h"

namespace
{
std::atomic<AudioEnumeratorFactory> g_enumeratorFactory{nullptr};

HRESULT CreateSystemEnumerator(IMMDeviceEnumerator** enumerator)
{
    return ::CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IMMDeviceEnumerator),
                              reinterpret_cast<void**>(enumerator));
}

UINT AudioDeviceChangedMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"WRMP_OSDAudioDeviceChanged");
    return message;
}

template <typename T>
void ReleaseAndClear(T*& pointer)
{
    if (pointer != nullptr)
    {
        T* held = pointer;
        pointer = nullptr;
        held->Release();
    }
}
}

void SetAudioEnumeratorFactory(AudioEnumeratorFactory factory)
{
    g_enumeratorFactory.store(factory);
}

int VolumeNotificationLevel(float masterScalar)
{
    // In single precision, as the level arrives: 0.505 is 50.5 then, and shows 51.
    const float scaled = masterScalar * 100.0f + 0.5f;
    if (!(scaled > 0.0f))
        return 0;
    if (scaled >= 100.0f)
        return 100;
    return static_cast<int>(scaled);
}

float ClampedVolumeChange(float current, float delta)
{
    float next = current + delta;
    if (!(next > 0.0f))
        next = 0.0f;
    if (next > 100.0f)
        next = 100.0f;
    return next;
}

CInternalVolumeNotification::~CInternalVolumeNotification() = default;

CVolumeManager::CVolumeManager(bool notify, const wchar_t* owner, DWORD threadId)
    : m_dwOwnerThread(threadId), m_bNotify(notify ? 1 : 0)
{
    FormatArray(m_szName, L"%s %d", owner != nullptr ? owner : L"Unknown", static_cast<int>(::GetCurrentThreadId()));
    const std::wstring lockName = FormatString(L"CVolumeManager(%s)::CVolumeManager", m_szName);
    CAudioThreadLock lock(lockName.c_str());
    if (FAILED(::CoCreateGuid(&m_guidEventContext)))
        m_guidEventContext = GUID{};
    Initialise();
}

CVolumeManager::~CVolumeManager()
{
    const std::wstring lockName = FormatString(L"CVolumeManager(%s)::~CVolumeManager", m_szName);
    CAudioThreadLock lock(lockName.c_str());
    Uninitialise();
    if (m_pNotificationClient != nullptr)
        CLogger::LogMessage(L"CVolumeManager(%s) m_pNotificationClient was not properly released!", m_szName);
    if (m_pVolumeNotification != nullptr)
        CLogger::LogMessage(L"CVolumeManager(%s) m_pVolumeNotification was not properly released!", m_szName);
    if (m_pDefaultDevice != nullptr)
        CLogger::LogMessage(L"CVolumeManager(%s) m_pDefaultDevice was not properly released!", m_szName);
    if (m_pEndpointVolume != nullptr)
        CLogger::LogMessage(L"CVolumeManager(%s) m_pNotificationClient was not properly released!", m_szName);
    if (m_pDeviceEnumerator != nullptr)
        CLogger::LogMessage(L"CVolumeManager(%s) m_pDeviceEnumerator was not properly released!", m_szName);
}

void CVolumeManager::SetParent(HWND parent)
{
    m_hParent = parent;
    if (m_pVolumeNotification != nullptr)
        m_pVolumeNotification->SetParent(parent);
    if (m_pNotificationClient != nullptr)
        m_pNotificationClient->SetParent(parent);
}

void CVolumeManager::ReInitialise()
{
    const std::wstring lockName = FormatString(L"CVolumeManager(%s)::ReInitialise", m_szName);
    CAudioThreadLock lock(lockName.c_str());
    if (m_bReinitialise != 0)
        Initialise();
}

bool CVolumeManager::Initialise()
{
    try
    {
        Uninitialise();
        // Stays set until the whole binding succeeded, so a failure is retried.
        ::InterlockedExchange(&m_bReinitialise, 1);
        CLogger::LogDebug(L"CVolumeManager(%s)::Initialise: Initialising volume manager...", m_szName);

        AudioEnumeratorFactory factory = g_enumeratorFactory.load();
        HRESULT hr = factory != nullptr ? factory(&m_pDeviceEnumerator) : CreateSystemEnumerator(&m_pDeviceEnumerator);
        if (FAILED(hr) || m_pDeviceEnumerator == nullptr)
        {
            m_pDeviceEnumerator = nullptr;
            CLogger::LogOSMessage(static_cast<DWORD>(hr), L"CVolumeManager(%s)::Initialise: Call to CoCreateInstance failed",
                                  m_szName);
            return false;
        }

        hr = m_pDeviceEnumerator->GetDefaultAudioEndpoint(eRender, eConsole, &m_pDefaultDevice);
        if (FAILED(hr) || m_pDefaultDevice == nullptr)
        {
            m_pDefaultDevice = nullptr;
            CLogger::LogOSMessage(static_cast<DWORD>(hr),
                                  L"CVolumeManager(%s)::Initialise: Call to GetDefaultAudioEndpoint failed", m_szName);
            return false;
        }

        if (m_pNotificationClient == nullptr)
        {
            m_pNotificationClient = new CAudioNotificationClient(m_szName);
            hr = m_pDeviceEnumerator->RegisterEndpointNotificationCallback(m_pNotificationClient);
            if (FAILED(hr))
            {
                CLogger::LogOSMessage(static_cast<DWORD>(hr),
                                      L"CVolumeManager(%s)::Unable to RegisterEndpointNotificationCallback.", m_szName);
                ReleaseAndClear(m_pNotificationClient);
            }
            else
            {
                m_pNotificationClient->SetParent(m_hParent);
                m_pNotificationClient->AddCallback(this);
            }
        }

        hr = m_pDefaultDevice->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                                        reinterpret_cast<void**>(&m_pEndpointVolume));
        if (FAILED(hr) || m_pEndpointVolume == nullptr)
        {
            m_pEndpointVolume = nullptr;
            CLogger::LogOSMessage(static_cast<DWORD>(hr), L"CVolumeManager(%s)::Initialise: Call to Activate failed",
                                  m_szName);
            ReleaseAndClear(m_pDefaultDevice);
            return false;
        }

        if (FAILED(m_pEndpointVolume->GetVolumeRange(&m_fMinDB, &m_fMaxDB, &m_fIncrementDB)))
            m_fMinDB = m_fMaxDB = m_fIncrementDB = 0.0f;

        if (m_bNotify != 0)
        {
            m_pVolumeNotification = new CVolumeNotification(m_hParent, m_szName);
            m_pVolumeNotification->AddRef();
            hr = m_pEndpointVolume->RegisterControlChangeNotify(m_pVolumeNotification);
            if (FAILED(hr))
            {
                CLogger::LogOSMessage(static_cast<DWORD>(hr),
                                      L"CVolumeManager(%s)::Initialise: Call to RegisterControlChangeNotify failed", m_szName);
                ReleaseAndClear(m_pVolumeNotification);
                ReleaseAndClear(m_pEndpointVolume);
                ReleaseAndClear(m_pDefaultDevice);
                return false;
            }
        }

        ::InterlockedExchange(&m_bReinitialise, 0);
        CLogger::LogDebug(L"CVolumeManager(%s)::Initialise: Initialised volume manager.", m_szName);
        return true;
    }
    catch (...)
    {
        ::InterlockedExchange(&m_bReinitialise, 1);
        CLogger::LogMessage(L"CVolumeManager(%s)::Initialise: Unable to initialise volume manager.", m_szName);
        LogCaughtException(L"CVolumeManager::Initialise");
        return false;
    }
}

void CVolumeManager::Uninitialise()
{
    try
    {
        if (m_pEndpointVolume != nullptr || m_pVolumeNotification != nullptr || m_pDefaultDevice != nullptr)
        {
            CLogger::LogDebug(L"CVolumeManager(%s)::Uninitialise: Removing audio manager.", m_szName);
            if (m_pEndpointVolume != nullptr)
            {
                if (m_pVolumeNotification != nullptr)
                {
                    try
                    {
                        const HRESULT hr = m_pEndpointVolume->UnregisterControlChangeNotify(m_pVolumeNotification);
                        if (FAILED(hr))
                            CLogger::LogOSMessage(static_cast<DWORD>(hr),
                                                  L"CVolumeManager(%s)::Uninitialise: Call to UnregisterControlChangeNotify failed",
                                                  m_szName);
                    }
                    catch (...)
                    {
                        CLogger::LogMessage(L"CVolumeManager(%s)::Uninitialise: Unable to unregister for volume notification.",
                                            m_szName);
                    }
                    ReleaseAndClear(m_pVolumeNotification);
                }
                try
                {
                    ReleaseAndClear(m_pEndpointVolume);
                    ReleaseAndClear(m_pDefaultDevice);
                }
                catch (...)
                {
                    CLogger::LogMessage(L"CVolumeManager(%s)::Uninitialise Unable to release EndpointVolume/DefaultDevice.",
                                        m_szName);
                }
            }
            else
            {
                try
                {
                    ReleaseAndClear(m_pVolumeNotification);
                    ReleaseAndClear(m_pDefaultDevice);
                }
                catch (...)
                {
                    CLogger::LogMessage(L"CVolumeManager(%s)::Uninitialise Unable to release VolumeNotification.", m_szName);
                }
            }
        }

        if (m_pDeviceEnumerator != nullptr)
        {
            if (m_pNotificationClient != nullptr)
            {
                const HRESULT hr = m_pDeviceEnumerator->UnregisterEndpointNotificationCallback(m_pNotificationClient);
                if (FAILED(hr))
                    CLogger::LogOSMessage(static_cast<DWORD>(hr),
                                          L"CVolumeManager(%s)::Uninitialise: Call to UnregisterEndpointNotificationCallback failed",
                                          m_szName);
                // Even when the audio service keeps the client, it must never
                // call back into a manager that is going away.
                m_pNotificationClient->RemoveCallback(this);
                ReleaseAndClear(m_pNotificationClient);
            }
            ReleaseAndClear(m_pDeviceEnumerator);
        }
        else if (m_pNotificationClient != nullptr)
        {
            m_pNotificationClient->RemoveCallback(this);
            ReleaseAndClear(m_pNotificationClient);
        }
    }
    catch (...)
    {
        CLogger::LogMessage(L"CVolumeManager{%s}::Uninitialise: An unexpected exception occurred ", m_szName);
        LogCaughtException(L"CVolumeManager::Uninitialise");
    }
}

bool CVolumeManager::EnsureInitialised()
{
    if (m_bReinitialise == 0 && m_pEndpointVolume != nullptr)
        return true;
    const std::wstring lockName = FormatString(L"CVolumeManager(%s)::Initialise", m_szName);
    CAudioThreadLock lock(lockName.c_str());
    return Initialise();
}

float CVolumeManager::GetVolume()
{
    EnsureInitialised();
    if (m_pEndpointVolume == nullptr)
    {
        CLogger::LogMessage(L"CVolumeManager(%s)::GetVolume: EndpointVolume is invalid!", m_szName);
        ::InterlockedExchange(&m_bReinitialise, 1);
        return -1.0f;
    }
    float level = 0.0f;
    const HRESULT hr = m_pEndpointVolume->GetMasterVolumeLevelScalar(&level);
    if (FAILED(hr))
    {
        CLogger::LogOSMessage(static_cast<DWORD>(hr), L"CVolumeManager(%s)::GetVolume: Call to GetMasterVolumeLevelScalar failed",
                              m_szName);
        return -1.0f;
    }
    return level * 100.0f;
}

float CVolumeManager::PeekVolume()
{
    const std::wstring lockName = FormatString(L"CVolumeManager(%s)::PeekVolume", m_szName);
    CAudioThreadTryLock lock(lockName.c_str());
    if (!lock)
        return -1.0f;
    float result = -1.0f;
    if (m_bReinitialise == 0 && m_pEndpointVolume != nullptr)
    {
        float level = 0.0f;
        if (SUCCEEDED(m_pEndpointVolume->GetMasterVolumeLevelScalar(&level)))
            result = level * 100.0f;
    }
    return result;
}

bool CVolumeManager::SetVolume(float percent)
{
    try
    {
        if (std::isnan(percent))
        {
            CLogger::LogMessage(L"CVolumeManager(%s)::SetVolume: Invalid volume level", m_szName);
            return false;
        }
        percent = percent < 0.0f ? 0.0f : (percent > 100.0f ? 100.0f : percent);

        EnsureInitialised();
        if (m_pEndpointVolume == nullptr)
        {
            CLogger::LogMessage(L"CVolumeManager(%s)::SetVolume: EndpointVolume is invalid!", m_szName);
            ::InterlockedExchange(&m_bReinitialise, 1);
            return false;
        }
        BOOL muted = FALSE;
        if (SUCCEEDED(m_pEndpointVolume->GetMute(&muted)) && muted)
            m_pEndpointVolume->SetMute(FALSE, &m_guidEventContext);

        const GUID noContext = {};
        const HRESULT hr = m_pEndpointVolume->SetMasterVolumeLevelScalar(percent / 100.0f, &noContext);
        if (FAILED(hr))
        {
            CLogger::LogOSMessage(static_cast<DWORD>(hr),
                                  L"CVolumeManager(%s)::SetVolume: Call to SetMasterVolumeLevelScalar failed", m_szName);
            return false;
        }
        CLogger::LogDebug(L"CVolumeManager(%s)::SetVolume: SetMasterVolumeLevelScalar succeeded", m_szName);
        return true;
    }
    catch (...)
    {
        LogCaughtException(L"CVolumeManager(%s)::SetVolume", m_szName);
        throw;
    }
}

bool CVolumeManager::ChangeVolume(float delta)
{
    EnsureInitialised();
    const float current = GetVolume();
    // An unknown volume is no base for a step: it would set an arbitrary level.
    if (current < 0.0f || std::isnan(delta))
        return false;
    const float next = ClampedVolumeChange(current, delta);
    if (next == current)
        return false;
    return SetVolume(next);
}

bool CVolumeManager::ToggleMute()
{
    EnsureInitialised();
    if (m_pEndpointVolume == nullptr)
        return false;
    BOOL muted = FALSE;
    if (FAILED(m_pEndpointVolume->GetMute(&muted)))
        return false;
    const HRESULT hr = m_pEndpointVolume->SetMute(muted ? FALSE : TRUE, &m_guidEventContext);
    if (FAILED(hr))
    {
        CLogger::LogOSMessage(static_cast<DWORD>(hr), L"CVolumeManager(%s)::ToggleMute: Call to SetMute failed", m_szName);
        return false;
    }
    return true;
}

void CVolumeManager::Notifiction(VolumeAction action)
{
    if (action != VOLUME_DEFAULT_DEVICE_CHANGED)
        return;
    if (::InterlockedCompareExchange(&m_bReinitialise, 1, 0) != 0)
        return;
    // The owner hears of the first change only; later ones are picked up by
    // the next volume call.
    const DWORD owner = static_cast<DWORD>(::InterlockedExchange(reinterpret_cast<volatile LONG*>(&m_dwOwnerThread), 0));
    if (owner != 0)
        ::PostThreadMessageW(owner, AudioDeviceChangedMessage(), 0, 0);
}
