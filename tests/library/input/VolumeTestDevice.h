#pragma once
// A stand-in audio device for the volume tests: an enumerator, a default
// playback device and its endpoint volume, all COM objects of the test,
// handed to the managers through SetAudioEnumeratorFactory. Their state is one
// shared record the test sets up and reads back.

#include <windows.h>

#include <mmdeviceapi.h>
#include <endpointvolume.h>

#include <string>
#include <vector>

namespace volumetest
{

struct AudioDeviceState
{
    // What the device does.
    bool haveDevice = true;
    HRESULT activateResult = S_OK;
    HRESULT registerClientResult = S_OK;
    HRESULT unregisterClientResult = S_OK;
    HRESULT registerVolumeResult = S_OK;
    HRESULT getLevelResult = S_OK;
    HRESULT setLevelResult = S_OK;
    HRESULT setMuteResult = S_OK;
    float level = 0.5f;
    BOOL muted = FALSE;

    // What was done to it.
    int enumeratorsCreated = 0;
    int setLevelCalls = 0;
    std::vector<std::wstring> calls;   // "SetMute(0,context)", "SetLevel(0.48,null)" ...
    IMMNotificationClient* client = nullptr;               // referenced while registered
    IAudioEndpointVolumeCallback* volumeCallback = nullptr; // referenced while registered
    LONG liveObjects = 0;                                   // fake objects not yet released
};

// Installs the stand-in for the lifetime of the object; the state belongs to it.
class FakeAudioDevice
{
public:
    FakeAudioDevice();
    ~FakeAudioDevice();
    FakeAudioDevice(const FakeAudioDevice&) = delete;
    FakeAudioDevice& operator=(const FakeAudioDevice&) = delete;

    AudioDeviceState state;
};

} // namespace volumetest
