#pragma once
// The library's registered window messages. Registered when the library loads;
// the program registers the same names, so both sides get the same ids.

#include <windows.h>

#include "SnareholdApi.h"

// Thread messages of the simulated-input and system-parameters threads.
extern SNAREHOLD_API UINT BRMP_ProcessInput;
extern SNAREHOLD_API UINT BRMP_StartSPI;
extern SNAREHOLD_API UINT BRMP_ProcessSPI;
extern SNAREHOLD_API UINT BRMP_SettingsChanged;
extern SNAREHOLD_API UINT BRMP_SPI_SETCURSOR;
extern SNAREHOLD_API UINT BRMP_SPI_RESETCURSOR;
extern SNAREHOLD_API UINT BRMP_SPI_SETCURSORLAYER;
extern SNAREHOLD_API UINT BRMP_SPI_SETAPPCURSOR;
extern SNAREHOLD_API UINT BRMP_SPI_OVERLAYCURSOR;
// Thread messages of the hook and timer threads.
extern SNAREHOLD_API UINT BRMP_ResetHook;
extern SNAREHOLD_API UINT BRMP_SetTimer;
extern SNAREHOLD_API UINT BRMP_KillTimer;
extern SNAREHOLD_API UINT BRMP_ShellExecute;
extern SNAREHOLD_API UINT BRMP_ActivateWindow;
// Sent or posted to the program's windows.
extern SNAREHOLD_API UINT BRMP_SetupHelperMsg;
extern SNAREHOLD_API UINT BRMP_LayerChanged;
extern SNAREHOLD_API UINT BRMP_CursorSpeedChanged;
extern SNAREHOLD_API UINT BRMP_MainWindow;
extern SNAREHOLD_API UINT BRMP_ProcessChanged;
extern SNAREHOLD_API UINT BRMP_FindHover;
extern SNAREHOLD_API UINT BRMP_RemoveIcon;
// On-screen displays and audio-device changes.
extern SNAREHOLD_API UINT BRMP_OSDShowWindow;
extern SNAREHOLD_API UINT WRMP_OSDVolumeChanged;
extern SNAREHOLD_API UINT WRMP_OSDAudioDeviceChanged;
