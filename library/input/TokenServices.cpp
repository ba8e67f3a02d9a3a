#include "TokenServices.h"

#include <atomic>

#include "Logger.h"

namespace
{
void NotAvailable(const wchar_t* function)
{
    CLogger::LogDebug(L"ITokenServices::%s: not available", function);
}

ITokenServices g_defaultServices;
std::atomic<ITokenServices*> g_services{nullptr};
}

ITokenServices::~ITokenServices() = default;

void ITokenServices::SetCurrentLayer(int, bool, bool, bool) { NotAvailable(L"SetCurrentLayer"); }
void ITokenServices::SetLayerSetByAction(bool) { NotAvailable(L"SetLayerSetByAction"); }
bool ITokenServices::IsLayerSkipped(const CApplicationSettings*, int) { return false; }
void ITokenServices::ActivateWindowUnderCursor(int) { NotAvailable(L"ActivateWindowUnderCursor"); }
HWND ITokenServices::GetProfileWindow() { return nullptr; }
void ITokenServices::AxisAction(int) { NotAvailable(L"AxisAction"); }
bool ITokenServices::GetVolume(int&) { return false; }
void ITokenServices::ChangeVolume(int) { NotAvailable(L"ChangeVolume"); }
void ITokenServices::ToggleMute() { NotAvailable(L"ToggleMute"); }
void ITokenServices::SetVolume(int) { NotAvailable(L"SetVolume"); }
void ITokenServices::SendThreadStarted(DWORD) {}
void ITokenServices::SendThreadEnding() {}
void ITokenServices::AudioDeviceChanged() {}
void ITokenServices::ChangeBrightness(int, POINT) { NotAvailable(L"ChangeBrightness"); }
void ITokenServices::ShellExecute(const std::wstring&, int) { NotAvailable(L"ShellExecute"); }
void ITokenServices::KillProcess(const std::wstring&) { NotAvailable(L"KillProcess"); }
void ITokenServices::RunProfileChangedScript(CApplicationSettings*, unsigned long long, CApplicationSettings*,
                                             unsigned long long, int)
{
    NotAvailable(L"RunProfileChangedScript");
}

ITokenServices& GetTokenServices()
{
    ITokenServices* services = g_services.load();
    return services != nullptr ? *services : g_defaultServices;
}

void SetTokenServices(ITokenServices* services)
{
    g_services.store(services);
}
