#pragma once
// The library's registered window messages. Registered when the library loads;
// the program registers the same names, so both sides get the same ids.

#include <windows.h>

// Thread messages of the simulated-input and system-parameters threads.
extern UINT BRMP_ProcessInput;
extern UINT BRMP_StartSPI;
extern UINT BRMP_ProcessSPI;
extern UINT BRMP_SettingsChanged;
extern UINT BRMP_SPI_SETCURSOR;
extern UINT BRMP_SPI_RESETCURSOR;
extern UINT BRMP_SPI_SETCURSORLAYER;
extern UINT BRMP_SPI_SETAPPCURSOR;
extern UINT BRMP_SPI_OVERLAYCURSOR;
// Thread messages of the hook and timer threads.
extern UINT BRMP_ResetHook;
extern UINT BRMP_SetTimer;
extern UINT BRMP_KillTimer;
extern UINT BRMP_ShellExecute;
extern UINT BRMP_ActivateWindow;
// Sent or posted to the program's windows.
extern UINT BRMP_SetupHelperMsg;
extern UINT BRMP_LayerChanged;
extern UINT BRMP_CursorSpeedChanged;
extern UINT BRMP_MainWindow;
extern UINT BRMP_ProcessChanged;
extern UINT BRMP_FindHover;
extern UINT BRMP_RemoveIcon;
// On-screen displays and audio-device changes.
extern UINT BRMP_OSDShowWindow;
extern UINT WRMP_OSDVolumeChanged;
extern UINT WRMP_OSDAudioDeviceChanged;
