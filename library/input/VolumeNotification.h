#pragma once
// The two callback objects the audio service calls on its own threads: volume
// changes of the endpoint, and changes of the audio devices.

#include <windows.h>

#include <mmdeviceapi.h>
#include <endpointvolume.h>

#include <vector>

#include "Volume.h"

class CVolumeNotification : public IAudioEndpointVolumeCallback
{
public:
    // Starts with no reference: the first AddRef (or QueryInterface) takes one.
    CVolumeNotification(HWND parent, const wchar_t* name);
    CVolumeNotification(const CVolumeNotification&) = delete;
    CVolumeNotification& operator=(const CVolumeNotification&) = delete;

    void SetParent(HWND parent);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA data) override;

protected:
    virtual ~CVolumeNotification();

private:
    volatile LONG m_cRef = 0;
    volatile HWND m_hParent;
    wchar_t m_szName[50] = {};
};

class CAudioNotificationClient : public IMMNotificationClient
{
public:
    // Starts with one reference, the creator's.
    explicit CAudioNotificationClient(const wchar_t* name);
    CAudioNotificationClient(const CAudioNotificationClient&) = delete;
    CAudioNotificationClient& operator=(const CAudioNotificationClient&) = delete;

    void SetParent(HWND window);
    void AddCallback(CInternalVolumeNotification* callback);
    // Removes the callback and ends all further delivery.
    void RemoveCallback(CInternalVolumeNotification* callback);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR deviceId, DWORD newState) override;
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR deviceId) override;
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR deviceId) override;
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR defaultDeviceId) override;
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR deviceId, const PROPERTYKEY key) override;

protected:
    virtual ~CAudioNotificationClient();

private:
    // Calls every callback with the code; the caller holds m_cs.
    void Deliver(VolumeAction action, const wchar_t* eventName, const wchar_t* nullFormat);

    volatile LONG m_cRef = 1;
    volatile HWND m_hWnd = nullptr;
    std::vector<CInternalVolumeNotification*>* m_pCallbacks;
    wchar_t m_szName[50] = {};
    CRITICAL_SECTION m_cs;
    bool m_bCsReady = false;
};
