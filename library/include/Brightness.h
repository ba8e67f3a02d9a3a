#pragma once
// Brightness of the built-in display, stepped up or down by the brightness
// actions and tags, with the new level reported to the brightness on-screen
// display window.

#include <windows.h>

#include "SnareholdApi.h"

// How brightness is read and set. The default reads and sets it through WMI
// (root\wmi, WmiMonitorBrightness and WmiMonitorBrightnessMethods); tests
// install their own.
class IBrightnessDevice
{
public:
    virtual ~IBrightnessDevice();
    // The level 0-100, or -1 when it cannot be read.
    virtual int Get() = 0;
    // Sets every display to level 0-100; false when nothing was set.
    virtual bool Set(int level) = 0;
};

class SNAREHOLD_API CBrightness
{
public:
    explicit CBrightness(HWND osdWindow) : m_hOSDWnd(osdWindow) {}
    void SetOSD(HWND osdWindow) { m_hOSDWnd = osdWindow; }
    HWND GetOSD() const { return m_hOSDWnd; }

    // Level 0-100 (outside values are clamped). The calling thread must have
    // COM initialised.
    static bool SetBrightness(int level);

    // One step up or down, reported to the OSD window with BRMP_OSDShowWindow
    // (wParam 1, lParam the new level; 0x10000 is added when the level could
    // not be read or set). The point is accepted and not used.
    void Up(POINT point);
    void Down(POINT point);

    // The id of the registered message BRMP_OSDShowWindow.
    static UINT OSD_SHOW_WINDOW;

    static constexpr int Step = 10;
    static constexpr LPARAM Unavailable = 0x10000;

private:
    static int GetBrightness();
    void Change(int direction);

    HWND m_hOSDWnd;
};

// Installs the device brightness goes through (not owned); null restores WMI.
void SetBrightnessDevice(IBrightnessDevice* device);
// The WMI device (the default).
IBrightnessDevice& WmiBrightnessDevice();

// The step rule: level + direction * 10 clamped to 0-100 (direction 1 up, -1 down).
int SteppedBrightness(int level, int direction);
