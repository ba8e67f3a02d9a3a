// Brightness steps of the built-in display through WMI, reported to the
// brightness on-screen display. A machine without WMI brightness (a desktop
// monitor, or Wine) reads -1: the step posts "unavailable" and sets nothing.

#include "Brightness.h"

#include <oleauto.h>
#include <wbemcli.h>

#include <atomic>

#include "Logger.h"
#include "StringFormat.h"

UINT CBrightness::OSD_SHOW_WINDOW = ::RegisterWindowMessageW(L"BRMP_OSDShowWindow");

namespace
{
// WMI may not answer; the caller is often the hook thread, so never wait for ever.
constexpr long kNextTimeoutMs = 5000;

template <typename T>
class ComRef
{
public:
    ComRef() = default;
    ~ComRef()
    {
        if (m_p != nullptr)
            m_p->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    T** Put()
    {
        if (m_p != nullptr)
            m_p->Release();
        m_p = nullptr;
        return &m_p;
    }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

class Bstr
{
public:
    explicit Bstr(const wchar_t* text) : m_b(::SysAllocString(text)) {}
    ~Bstr() { ::SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return m_b; }
    explicit operator bool() const { return m_b != nullptr; }

private:
    BSTR m_b;
};

class Variant
{
public:
    Variant() { ::VariantInit(&v); }
    ~Variant() { ::VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT v;
};

int ClampLevel(long long level)
{
    return level < 0 ? 0 : (level > 100 ? 100 : static_cast<int>(level));
}

// Locator, connection and proxy blanket; false (logged) on failure.
bool ConnectWmi(BSTR space, ComRef<IWbemLocator>& locator, ComRef<IWbemServices>& service, bool debugOnly,
                const wchar_t* connectFailure)
{
    auto log = [debugOnly](HRESULT hr, const wchar_t* text) {
        if (debugOnly)
            CLogger::LogOSDebug(static_cast<DWORD>(hr), L"%s", text);
        else
            CLogger::LogMessage(L"%s", text);
    };
    HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    reinterpret_cast<void**>(locator.Put()));
    if (FAILED(hr) || !locator)
    {
        log(hr, L"Brightness: Failed to create CLSID_WbemLocator");
        return false;
    }
    hr = locator->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr, service.Put());
    if (FAILED(hr) || !service)
    {
        log(hr, connectFailure);
        return false;
    }
    hr = ::CoSetProxyBlanket(service.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(hr))
    {
        log(hr, L"Brightness: Failed to set proxy blanket");
        return false;
    }
    return true;
}

class CWmiBrightnessDevice final : public IBrightnessDevice
{
public:
    int Get() override
    {
        Bstr space(L"root\\wmi");
        Bstr className(L"WmiMonitorBrightness");
        Bstr query(L"Select * from WmiMonitorBrightness");
        Bstr language(L"WQL");
        if (!space || !className || !query || !language)
            return -1;

        ComRef<IWbemLocator> locator;
        ComRef<IWbemServices> service;
        if (!ConnectWmi(space.Get(), locator, service, false, L"Brightness: Failed to connect to WMI server"))
            return -1;
        ComRef<IEnumWbemClassObject> displays;
        HRESULT hr = service->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, displays.Put());
        if (FAILED(hr) || !displays)
        {
            CLogger::LogMessage(L"Brightness: Failed to execute WMI query");
            return -1;
        }

        int level = -1;
        for (;;)
        {
            ComRef<IWbemClassObject> display;
            ULONG returned = 0;
            hr = displays->Next(kNextTimeoutMs, 1, display.Put(), &returned);
            if (FAILED(hr) || returned == 0 || !display)
                break;
            Variant value;
            hr = display->Get(L"CurrentBrightness", 0, &value.v, nullptr, nullptr);
            if (FAILED(hr))
            {
                CLogger::LogMessage(L"Brightness: Failed to get value of CurrentBrightness");
                break;
            }
            // The value comes from a driver: take only a number, within 0-100.
            if (value.v.vt == VT_UI1)
                level = ClampLevel(value.v.bVal);
            else if (value.v.vt == VT_I4 || value.v.vt == VT_UI4)
                level = ClampLevel(value.v.lVal);
            else
            {
                CLogger::LogMessage(L"Brightness: Failed to get value of CurrentBrightness");
                break;
            }
        }
        return level;
    }

    bool Set(int level) override
    {
        level = ClampLevel(level);
        Bstr space(L"\\\\.\\root\\wmi");
        Bstr className(L"WmiMonitorBrightnessMethods");
        Bstr methodName(L"WmiSetBrightness");
        Bstr timeoutName(L"Timeout");
        Bstr brightnessName(L"Brightness");
        Bstr query(L"Select * from WmiMonitorBrightnessMethods");
        Bstr language(L"WQL");
        if (!space || !className || !methodName || !timeoutName)
        {
            CLogger::LogDebug(L"Brightness: Failed to allocate WMI Arguments");
            return false;
        }
        if (!brightnessName || !query || !language)
            return false;

        ComRef<IWbemLocator> locator;
        ComRef<IWbemServices> service;
        if (!ConnectWmi(space.Get(), locator, service, true, L"Brightness: Failed to connect to COM server"))
            return false;
        ComRef<IEnumWbemClassObject> displays;
        HRESULT hr = service->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, displays.Put());
        if (FAILED(hr) || !displays)
        {
            CLogger::LogOSDebug(static_cast<DWORD>(hr), L"Brightness: Failed to execute WMI query");
            return false;
        }

        int set = 0;
        for (;;)
        {
            ComRef<IWbemClassObject> display;
            ULONG returned = 0;
            hr = displays->Next(kNextTimeoutMs, 1, display.Put(), &returned);
            if (FAILED(hr) || returned == 0 || !display)
            {
                CLogger::LogDebug(L"Brightness: Failed to enumerate next display (0x%08X)", static_cast<unsigned>(hr));
                break;
            }
            ComRef<IWbemClassObject> classObject;
            if (FAILED(service->GetObject(className.Get(), 0, nullptr, classObject.Put(), nullptr)) || !classObject)
            {
                CLogger::LogMessage(L"Brightness: Failed to get the class object");
                return false;
            }
            ComRef<IWbemClassObject> inSignature;
            if (FAILED(classObject->GetMethod(methodName.Get(), 0, inSignature.Put(), nullptr)) || !inSignature)
            {
                CLogger::LogMessage(L"Brightness: Failed to get the method name");
                return false;
            }
            ComRef<IWbemClassObject> inParameters;
            if (FAILED(inSignature->SpawnInstance(0, inParameters.Put())) || !inParameters)
            {
                CLogger::LogMessage(L"Brightness: Failed to spawn instance");
                return false;
            }
            Variant timeout;
            timeout.v.vt = VT_BSTR;
            timeout.v.bstrVal = ::SysAllocString(L"0");
            if (timeout.v.bstrVal == nullptr || FAILED(inParameters->Put(timeoutName.Get(), 0, &timeout.v, CIM_UINT32)))
            {
                CLogger::LogMessage(L"Brightness: Failed to add the first argument");
                return false;
            }
            Variant brightness;
            brightness.v.vt = VT_BSTR;
            brightness.v.bstrVal = ::SysAllocString(FormatString(L"%ld", static_cast<long>(level)).c_str());
            if (brightness.v.bstrVal == nullptr ||
                FAILED(inParameters->Put(brightnessName.Get(), 0, &brightness.v, CIM_UINT8)))
            {
                CLogger::LogMessage(L"Brightness: Failed to add the second argument %d", level);
                return false;
            }
            Variant path;
            if (FAILED(display->Get(L"__PATH", 0, &path.v, nullptr, nullptr)) || path.v.vt != VT_BSTR ||
                path.v.bstrVal == nullptr)
            {
                // Without a path the display cannot be addressed: not set.
                CLogger::LogMessage(L"Brightness: Failed to get the method path");
                return false;
            }
            if (FAILED(service->ExecMethod(path.v.bstrVal, methodName.Get(), 0, nullptr, inParameters.Get(), nullptr,
                                           nullptr)))
            {
                CLogger::LogMessage(L"Brightness: Failed to execute the method path");
                return false;
            }
            ++set;
        }
        // No display listed means nothing was set.
        return set > 0;
    }
};

std::atomic<IBrightnessDevice*> g_device{nullptr};

IBrightnessDevice& Device()
{
    IBrightnessDevice* device = g_device.load();
    return device != nullptr ? *device : WmiBrightnessDevice();
}
}

IBrightnessDevice::~IBrightnessDevice() = default;

IBrightnessDevice& WmiBrightnessDevice()
{
    static CWmiBrightnessDevice device;
    return device;
}

void SetBrightnessDevice(IBrightnessDevice* device)
{
    g_device.store(device);
}

int SteppedBrightness(int level, int direction)
{
    return ClampLevel(static_cast<long long>(level) + static_cast<long long>(direction) * CBrightness::Step);
}

int CBrightness::GetBrightness()
{
    const int level = Device().Get();
    return level < 0 ? -1 : ClampLevel(level);
}

bool CBrightness::SetBrightness(int level)
{
    return Device().Set(ClampLevel(level));
}

void CBrightness::Up(POINT)
{
    Change(1);
}

void CBrightness::Down(POINT)
{
    Change(-1);
}

void CBrightness::Change(int direction)
{
    const int level = GetBrightness();
    CLogger::LogDebug(L"Brightness: GetBrightness returned %d", level);
    const HWND osd = m_hOSDWnd;
    if (level < 0)
    {
        if (osd != nullptr)
            ::PostMessageW(osd, OSD_SHOW_WINDOW, 1, Unavailable);
        return;
    }
    const int next = SteppedBrightness(level, direction);
    if (SetBrightness(next))
    {
        if (osd != nullptr)
            ::PostMessageW(osd, OSD_SHOW_WINDOW, 1, next);
        return;
    }
    if (osd != nullptr)
        ::PostMessageW(osd, OSD_SHOW_WINDOW, 1, next | Unavailable);
    CLogger::LogMessage(L"Brightness: Failed to set brightness to %d", next);
}
