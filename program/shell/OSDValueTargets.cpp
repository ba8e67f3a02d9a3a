// The library objects behind the on-screen displays.
#include "OSDWindow.h"

#include "Brightness.h"
#include "Logger.h"
#include "Volume.h"

namespace
{
class CVolumeTarget final : public IOSDValueTarget
{
public:
    CVolumeTarget() : m_manager(true, L"Volume OSD", 0) {}
    bool SetLevel(int level) override { return m_manager.SetVolume(static_cast<float>(level)); }
    void SetNotifyWindow(HWND window) override { m_manager.SetParent(window); }
    void Reinitialise() override { m_manager.ReInitialise(); }

private:
    CVolumeManager m_manager;
};

class CBrightnessTarget final : public IOSDValueTarget
{
public:
    CBrightnessTarget() : m_brightness(nullptr) {}
    bool SetLevel(int level) override { return CBrightness::SetBrightness(level); }

private:
    CBrightness m_brightness;
};
} // namespace

std::unique_ptr<IOSDValueTarget> CreateVolumeTarget()
{
    return std::make_unique<CVolumeTarget>();
}

std::unique_ptr<IOSDValueTarget> CreateBrightnessTarget()
{
    return std::make_unique<CBrightnessTarget>();
}
