#pragma once
// The functions of other parts of the library that simulated-input tokens and
// the send-input thread call: layers, window activation, axis lock, volume,
// brightness, program launching and the profile-changed script. They are
// reached through this one interface so that the owners can plug in the real
// functions and tests can record the calls. The default body of each function
// logs that the service is not available and does nothing.

#include <windows.h>

#include <string>

class CApplicationSettings;

class ITokenServices
{
public:
    virtual ~ITokenServices();

    // Layers: switch the current layer (0-based); remember whether the last
    // switch came from a layer action.
    virtual void SetCurrentLayer(int layer, bool notify, bool autoSwitch, bool rememberLast);
    virtual void SetLayerSetByAction(bool flag);
    // Whether NEXT/PREV skip this layer of the profile (disabled, or excluded
    // from next/previous). Default: no layer is skipped.
    virtual bool IsLayerSkipped(const CApplicationSettings* profile, int layer);

    // Windows: activate the window under the cursor (1), its parent (2) or its
    // top-level window (3); the window the current profile was matched for.
    virtual void ActivateWindowUnderCursor(int how);
    virtual HWND GetProfileWindow();

    // Axis lock and inversion: the SimKey action codes 6 to 17.
    virtual void AxisAction(int code);

    // Master volume in percent. GetVolume is false when no volume is known.
    virtual bool GetVolume(int& percent);
    virtual void ChangeVolume(int delta);
    virtual void ToggleMute();
    virtual void SetVolume(int percent);
    // The send-input thread owns the volume manager: it is told when it starts
    // and ends, and when the default audio device changed.
    virtual void SendThreadStarted(DWORD threadId);
    virtual void SendThreadEnding();
    virtual void AudioDeviceChanged();

    // Monitor brightness, 1 up or 2 down, for the monitor of the point.
    virtual void ChangeBrightness(int direction, POINT point);

    // Programs: start (show mode 12 = elevated), end by process name, and the
    // profile-changed script of the new profile. The profiles are named by
    // address and serial (CApplicationSettings::GetSerial), as they were when
    // the change was queued.
    virtual void ShellExecute(const std::wstring& program, int showMode);
    virtual void KillProcess(const std::wstring& processName);
    virtual void RunProfileChangedScript(CApplicationSettings* previous, unsigned long long previousSerial,
                                         CApplicationSettings* next, unsigned long long nextSerial, int layer);
};

// The services in force. Never null: without an installed one, the defaults.
ITokenServices& GetTokenServices();
// Installs services (not owned); null puts the defaults back.
void SetTokenServices(ITokenServices* services);
