#include "VolumeTestDevice.h"

#include "StringFormat.h"
#include "Volume.h"

namespace volumetest
{
namespace
{
AudioDeviceState* g_state = nullptr;

std::wstring ContextText(LPCGUID context)
{
    if (context == nullptr)
        return L"none";
    const GUID zero = {};
    return IsEqualGUID(*context, zero) ? L"null" : L"context";
}

template <typename Interface>
class FakeObject : public Interface
{
public:
    FakeObject() { ::InterlockedIncrement(&g_state->liveObjects); }
    virtual ~FakeObject()
    {
        if (g_state != nullptr)
            ::InterlockedDecrement(&g_state->liveObjects);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(Interface))
        {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_ref)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG count = ::InterlockedDecrement(&m_ref);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }

private:
    LONG m_ref = 1;
};

class FakeEndpoint final : public FakeObject<IAudioEndpointVolume>
{
public:
    HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback* notify) override
    {
        if (FAILED(g_state->registerVolumeResult))
            return g_state->registerVolumeResult;
        notify->AddRef();
        g_state->volumeCallback = notify;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback* notify) override
    {
        if (g_state->volumeCallback != notify)
            return E_INVALIDARG;
        g_state->volumeCallback = nullptr;
        notify->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT* count) override { *count = 2; return S_OK; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(FLOAT level, LPCGUID context) override
    {
        ++g_state->setLevelCalls;
        g_state->calls.push_back(FormatString(L"SetLevel(%.2f,%s)", level, ContextText(context).c_str()));
        if (FAILED(g_state->setLevelResult))
            return g_state->setLevelResult;
        if (level < 0.0f || level > 1.0f)
            return E_INVALIDARG;
        g_state->level = level;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(FLOAT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(FLOAT* level) override
    {
        if (FAILED(g_state->getLevelResult))
            return g_state->getLevelResult;
        *level = g_state->level;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, FLOAT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT, FLOAT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMute(WINBOOL mute, LPCGUID context) override
    {
        g_state->calls.push_back(FormatString(L"SetMute(%d,%s)", mute ? 1 : 0, ContextText(context).c_str()));
        if (FAILED(g_state->setMuteResult))
            return g_state->setMuteResult;
        g_state->muted = mute;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMute(WINBOOL* mute) override
    {
        *mute = g_state->muted;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT*, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(FLOAT* minDB, FLOAT* maxDB, FLOAT* incrementDB) override
    {
        *minDB = -65.25f;
        *maxDB = 0.0f;
        *incrementDB = 0.03125f;
        return S_OK;
    }
};

class FakeDevice final : public FakeObject<IMMDevice>
{
public:
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD, PROPVARIANT*, void** object) override
    {
        *object = nullptr;
        if (FAILED(g_state->activateResult))
            return g_state->activateResult;
        if (iid != __uuidof(IAudioEndpointVolume))
            return E_NOINTERFACE;
        *object = static_cast<IAudioEndpointVolume*>(new FakeEndpoint());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override
    {
        *state = DEVICE_STATE_ACTIVE;
        return S_OK;
    }
};

class FakeEnumerator final : public FakeObject<IMMDeviceEnumerator>
{
public:
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole, IMMDevice** device) override
    {
        *device = nullptr;
        if (!g_state->haveDevice || flow != eRender)
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        *device = new FakeDevice();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient* client) override
    {
        if (FAILED(g_state->registerClientResult))
            return g_state->registerClientResult;
        client->AddRef();
        if (g_state->client != nullptr)
            g_state->client->Release();
        g_state->client = client;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient* client) override
    {
        // A failing service keeps the client, and may still call it.
        if (FAILED(g_state->unregisterClientResult))
            return g_state->unregisterClientResult;
        if (g_state->client == client)
        {
            g_state->client = nullptr;
            client->Release();
        }
        return S_OK;
    }
};

HRESULT CreateFakeEnumerator(IMMDeviceEnumerator** enumerator)
{
    ++g_state->enumeratorsCreated;
    *enumerator = new FakeEnumerator();
    return S_OK;
}
}

FakeAudioDevice::FakeAudioDevice()
{
    g_state = &state;
    SetAudioEnumeratorFactory(&CreateFakeEnumerator);
}

FakeAudioDevice::~FakeAudioDevice()
{
    SetAudioEnumeratorFactory(nullptr);
    if (state.volumeCallback != nullptr)
        state.volumeCallback->Release();
    if (state.client != nullptr)
        state.client->Release();
    g_state = nullptr;
}

} // namespace volumetest
