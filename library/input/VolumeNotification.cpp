// The audio service's callbacks. Both run on the service's threads: the volume
// callback never waits for the audio lock (it skips the message instead), the
// device callback serialises on its own critical section.

#include "VolumeNotification.h"

#include <algorithm>
#include <string>

#include "LogCaughtException.h"
#include "Logger.h"
#include "StringFormat.h"
#include "ThreadLock.h"

namespace
{
UINT VolumeChangedMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"WRMP_OSDVolumeChanged");
    return message;
}

UINT AudioDeviceChangedMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"WRMP_OSDAudioDeviceChanged");
    return message;
}

template <size_t N>
void CopyName(wchar_t (&target)[N], const wchar_t* name)
{
    FormatArray(target, L"%s", name != nullptr ? name : L"Unknown");
}

const wchar_t* DeviceStateName(DWORD state)
{
    switch (state)
    {
    case DEVICE_STATE_ACTIVE:
        return L"ACTIVE";
    case DEVICE_STATE_DISABLED:
        return L"DISABLED";
    case DEVICE_STATE_NOTPRESENT:
        return L"NOTPRESENT";
    case DEVICE_STATE_UNPLUGGED:
        return L"UNPLUGGED";
    default:
        return L"??????";
    }
}
}

// ---------------------------------------------------------------------------
// CVolumeNotification

CVolumeNotification::CVolumeNotification(HWND parent, const wchar_t* name) : m_hParent(parent)
{
    CopyName(m_szName, name);
}

CVolumeNotification::~CVolumeNotification() = default;

void CVolumeNotification::SetParent(HWND parent)
{
    m_hParent = parent;
}

HRESULT STDMETHODCALLTYPE CVolumeNotification::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IAudioEndpointVolumeCallback))
    {
        *object = static_cast<IAudioEndpointVolumeCallback*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CVolumeNotification::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

ULONG STDMETHODCALLTYPE CVolumeNotification::Release()
{
    const LONG count = ::InterlockedDecrement(&m_cRef);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CVolumeNotification::OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA data)
{
    if (data == nullptr)
        return E_INVALIDARG;
    const std::wstring lockName = FormatString(L"CVolumeNotification(%s)::OnNotify", m_szName);
    CAudioThreadTryLock lock(lockName.c_str());
    if (!lock)
        return S_OK;
    try
    {
        const HWND parent = m_hParent;
        if (parent != nullptr)
        {
            const int level = VolumeNotificationLevel(data->fMasterVolume);
            const GUID& g = data->guidEventContext;
            CLogger::LogDebug(L"CVolumeNotification(%s): received volume change notification (%d %%), sending to parent "
                              L"window %08X. From {%8.8x-%4.4x-%4.4x-%2.2x%2.2x-%2.2x%2.2x%2.2x%2.2x%2.2x%2.2x}",
                              m_szName, level, HandleNumber(parent),
                              static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                              g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
            ::PostMessageW(parent, VolumeChangedMessage(), static_cast<WPARAM>(level), data->bMuted ? 1 : 0);
        }
    }
    catch (...)
    {
        LogCaughtException(L"CVolumeNotification(%s)::OnNotify", m_szName);
    }
    return S_OK;
}

// ---------------------------------------------------------------------------
// CAudioNotificationClient

CAudioNotificationClient::CAudioNotificationClient(const wchar_t* name)
    : m_pCallbacks(new std::vector<CInternalVolumeNotification*>())
{
    CopyName(m_szName, name);
    m_bCsReady = ::InitializeCriticalSectionAndSpinCount(&m_cs, 4000) != FALSE;
    if (!m_bCsReady)
        CLogger::LogOSMessage(::GetLastError(), L"Unable to initialise critical section in SendInput");
}

CAudioNotificationClient::~CAudioNotificationClient()
{
    if (!m_bCsReady)
    {
        delete m_pCallbacks;
        return;
    }
    {
        const std::wstring lockName = FormatString(L"CAudioNotificationClient(%s)::~CAudioNotificationClient", m_szName);
        CGenericThreadLock lock(&m_cs, lockName.c_str(), true);
        CLogger::LogDebug(L"CAudioNotificationClient(%s): Releasing...", m_szName);
        m_hWnd = nullptr;
        if (m_pCallbacks != nullptr)
        {
            CLogger::LogDebug(L"CAudioNotificationClient(%s): Callbacks not cleared, clearing them...", m_szName);
            delete m_pCallbacks;
            m_pCallbacks = nullptr;
        }
    }
    ::DeleteCriticalSection(&m_cs);
}

void CAudioNotificationClient::SetParent(HWND window)
{
    m_hWnd = window;
}

void CAudioNotificationClient::AddCallback(CInternalVolumeNotification* callback)
{
    if (!m_bCsReady)
        return;
    const std::wstring lockName = FormatString(L"CAudioNotificationClient(%s)::AddCallback", m_szName);
    CGenericThreadLock lock(&m_cs, lockName.c_str(), true);
    if (m_pCallbacks != nullptr && callback != nullptr)
        m_pCallbacks->push_back(callback);
}

void CAudioNotificationClient::RemoveCallback(CInternalVolumeNotification* callback)
{
    if (!m_bCsReady)
        return;
    const std::wstring lockName = FormatString(L"CAudioNotificationClient(%s)::RemoveCallback", m_szName);
    CGenericThreadLock lock(&m_cs, lockName.c_str(), true);
    if (m_pCallbacks == nullptr)
        return;
    m_pCallbacks->erase(std::remove(m_pCallbacks->begin(), m_pCallbacks->end(), callback), m_pCallbacks->end());
    delete m_pCallbacks;
    m_pCallbacks = nullptr;
}

HRESULT STDMETHODCALLTYPE CAudioNotificationClient::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient))
    {
        *object = static_cast<IMMNotificationClient*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CAudioNotificationClient::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_cRef));
}

ULONG STDMETHODCALLTYPE CAudioNotificationClient::Release()
{
    const LONG count = ::InterlockedDecrement(&m_cRef);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

void CAudioNotificationClient::Deliver(VolumeAction action, const wchar_t* eventName, const wchar_t* nullFormat)
{
    if (m_pCallbacks == nullptr)
        return;
    for (CInternalVolumeNotification* callback : *m_pCallbacks)
    {
        if (callback == nullptr)
        {
            CLogger::LogMessage(nullFormat, m_szName);
            continue;
        }
        try
        {
            callback->Notifiction(action);
        }
        catch (...)
        {
            LogCaughtException(L"CAudioNotificationClient(%s)::%s", m_szName, eventName);
        }
    }
}

HRESULT STDMETHODCALLTYPE CAudioNotificationClient::OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR)
{
    if (role != eMultimedia || !m_bCsReady)
        return S_OK;
    const std::wstring lockName = FormatString(L"CAudioNotificationClient(%s)::OnDefaultDeviceChanged", m_szName);
    CGenericThreadLock lock(&m_cs, lockName.c_str());
    if (m_pCallbacks == nullptr)
        return S_OK;
    CLogger::LogDebug(L"CAudioNotificationClient(%s)::OnDefaultDeviceChanged.", m_szName);
    Deliver(VOLUME_DEFAULT_DEVICE_CHANGED, L"OnDefaultDeviceChanged",
            L"CAudioNotificationClient(%s)::OnDefaultDeviceChanged Invalid (NULL) callback");
    const HWND window = m_hWnd;
    if (window != nullptr)
        ::PostMessageW(window, AudioDeviceChangedMessage(), static_cast<WPARAM>(flow), static_cast<LPARAM>(role));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioNotificationClient::OnDeviceStateChanged(LPCWSTR, DWORD newState)
{
    if (!m_bCsReady)
        return S_OK;
    const std::wstring lockName = FormatString(L"CAudioNotificationClient(%s)::OnDeviceStateChanged", m_szName);
    CGenericThreadLock lock(&m_cs, lockName.c_str());
    CLogger::LogDebug(L"CAudioNotificationClient(%s)::OnDeviceStateChanged --> New device state is DEVICE_STATE_%s (0x%8.8x)",
                      m_szName, DeviceStateName(newState), static_cast<unsigned>(newState));
    Deliver(VOLUME_DEVICE_STATE_CHANGED, L"OnDeviceStateChanged",
            L"Invalid (NULL) callback in CAudioNotificationClient(%s)::OnDeviceStateChanged");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioNotificationClient::OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY key)
{
    if (!m_bCsReady)
        return S_OK;
    const std::wstring lockName = FormatString(L"CAudioNotificationClient(%s)::OnPropertyValueChanged", m_szName);
    CGenericThreadLock lock(&m_cs, lockName.c_str(), true);
    const GUID& g = key.fmtid;
    CLogger::LogDebug(L"CAudioNotificationClient(%s)::OnPropertyValueChanged --> Changed device property: "
                      L"{%8.8x-%4.4x-%4.4x-%2.2x%2.2x-%2.2x%2.2x%2.2x%2.2x%2.2x%2.2x}#%d",
                      m_szName, static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                      g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7], static_cast<int>(key.pid));
    // This line names no client: %.0s takes the name and prints nothing.
    Deliver(VOLUME_DEVICE_PROPERTY_CHANGED, L"OnPropertyValueChanged",
            L"Invalid (NULL) callback in CAudioNotificationClient::OnPropertyValueChanged%.0s");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioNotificationClient::OnDeviceRemoved(LPCWSTR)
{
    if (!m_bCsReady)
        return S_OK;
    const std::wstring lockName = FormatString(L"CAudioNotificationClient(%s)::OnDeviceRemoved", m_szName);
    CGenericThreadLock lock(&m_cs, lockName.c_str());
    CLogger::LogDebug(L"CAudioNotificationClient(%s)::OnDeviceRemoved", m_szName);
    Deliver(VOLUME_DEVICE_REMOVED, L"OnDeviceRemoved", L"CAudioNotificationClient(%s)::OnDeviceRemoved Invalid (NULL) callback!");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioNotificationClient::OnDeviceAdded(LPCWSTR)
{
    if (!m_bCsReady)
        return S_OK;
    const std::wstring lockName = FormatString(L"CAudioNotificationClient(%s)::OnDeviceAdded", m_szName);
    CGenericThreadLock lock(&m_cs, lockName.c_str());
    CLogger::LogDebug(L"CAudioNotificationClient(%s)::OnDeviceAdded", m_szName);
    Deliver(VOLUME_DEVICE_ADDED, L"OnDeviceAdded", L"CAudioNotificationClient(%s)::OnDeviceAdded Invalid (NULL) callback!");
    return S_OK;
}
