#pragma once
// The library's own token services: what simulated-input tokens ask of layers
// and windows goes to the engine's real functions. The hook thread installs
// them before it starts the simulated-input queue.

#include "TokenServices.h"

class CEngineTokenServices : public ITokenServices
{
public:
    void SetCurrentLayer(int layer, bool notify, bool autoSwitch, bool rememberLast) override;
    void SetLayerSetByAction(bool flag) override;
    bool IsLayerSkipped(const CApplicationSettings* profile, int layer) override;
    HWND GetProfileWindow() override;
    void ActivateWindowUnderCursor(int how) override;
    void AxisAction(int code) override;

    bool GetVolume(int& percent) override;
    void ChangeVolume(int delta) override;
    void ToggleMute() override;
    void SetVolume(int percent) override;
    void SendThreadStarted(DWORD threadId) override;
    void SendThreadEnding() override;
    void AudioDeviceChanged() override;

    void ChangeBrightness(int direction, POINT point) override;

    void ShellExecute(const std::wstring& program, int showMode) override;
    void KillProcess(const std::wstring& processName) override;
    void RunProfileChangedScript(CApplicationSettings* previous, unsigned long long previousSerial,
                                 CApplicationSettings* next, unsigned long long nextSerial, int layer) override;

    // Whether the last layer switch of the queue came from a layer action.
    bool GetLayerSetByAction() const { return m_bLayerSetByAction; }

private:
    volatile bool m_bLayerSetByAction = false;
};

// The one instance of the library.
CEngineTokenServices& EngineTokenServices();
// Makes it the services in force (idempotent).
void InstallEngineTokenServices();
