#pragma once
// Master volume of the default playback device, with notifications of volume
// changes (posted to a window) and of audio-device changes (which make the
// manager bind to the device again).

#include <windows.h>

#include <mmdeviceapi.h>
#include <endpointvolume.h>

#include "SnareholdApi.h"

// Event codes handed to CInternalVolumeNotification::Notifiction.
using VolumeAction = int;
constexpr VolumeAction VOLUME_DEFAULT_DEVICE_CHANGED = 3;
constexpr VolumeAction VOLUME_DEVICE_STATE_CHANGED = 4;
constexpr VolumeAction VOLUME_DEVICE_PROPERTY_CHANGED = 5;
constexpr VolumeAction VOLUME_DEVICE_REMOVED = 6;
constexpr VolumeAction VOLUME_DEVICE_ADDED = 7;

class CAudioNotificationClient;
class CVolumeNotification;

class CInternalVolumeNotification
{
public:
    virtual ~CInternalVolumeNotification();
    virtual void Notifiction(VolumeAction action) = 0;
};

class SNAREHOLD_API CVolumeManager : public CInternalVolumeNotification
{
public:
    // notify: also watch volume changes (posted to the parent window).
    // owner: a label for the log lines; threadId: a thread told once, by
    // WRMP_OSDAudioDeviceChanged, that the default device changed (0 = none).
    // The calling thread must have COM initialised.
    CVolumeManager(bool notify, const wchar_t* owner, DWORD threadId);
    ~CVolumeManager() override;
    CVolumeManager(const CVolumeManager&) = delete;
    CVolumeManager& operator=(const CVolumeManager&) = delete;

    void SetParent(HWND parent);
    void ReInitialise();
    void Notifiction(VolumeAction action) override;

    // Percent 0-100, or -1 when the volume cannot be read.
    float GetVolume();
    // Percent 0-100 (outside values are clamped); unmutes first.
    bool SetVolume(float percent);
    // Changes the volume by delta percent, clamped to 0-100; false when nothing
    // was changed or the volume could not be read.
    bool ChangeVolume(float delta);
    bool ToggleMute();

    // The volume without binding to the device: for threads other than the
    // owner, which must not start COM work of their own. -1 when unknown.
    float PeekVolume();

    bool IsInitialised() const { return m_pEndpointVolume != nullptr && m_bReinitialise == 0; }
    bool NeedsReinitialise() const { return m_bReinitialise != 0; }
    const wchar_t* GetName() const { return m_szName; }

private:
    bool Initialise();
    void Uninitialise();
    bool EnsureInitialised();

    HWND m_hParent = nullptr;
    volatile LONG m_bReinitialise = 1;
    GUID m_guidEventContext = {};
    float m_fMinDB = 0.0f;
    float m_fMaxDB = 0.0f;
    float m_fIncrementDB = 0.0f;
    volatile DWORD m_dwOwnerThread = 0;
    CAudioNotificationClient* m_pNotificationClient = nullptr;
    IMMDeviceEnumerator* m_pDeviceEnumerator = nullptr;
    IMMDevice* m_pDefaultDevice = nullptr;
    IAudioEndpointVolume* m_pEndpointVolume = nullptr;
    CVolumeNotification* m_pVolumeNotification = nullptr;
    BYTE m_bNotify = 0;
    wchar_t m_szName[100] = {};
};

// Where managers get their device enumerator. Tests install a function that
// hands out a stand-in device; null restores CoCreateInstance of the system's
// enumerator.
using AudioEnumeratorFactory = HRESULT (*)(IMMDeviceEnumerator** enumerator);
void SetAudioEnumeratorFactory(AudioEnumeratorFactory factory);

// The rules of the volume code, apart from the device.
// The level a volume notification reports: the scalar as a whole percentage,
// rounded half up.
int VolumeNotificationLevel(float masterScalar);
// current + delta clamped to 0-100.
float ClampedVolumeChange(float current, float delta);
