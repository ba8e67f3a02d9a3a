#include "RegisteredMessages.h"

namespace
{
UINT Register(const wchar_t* name)
{
    return ::RegisterWindowMessageW(name);
}
}

UINT BRMP_ProcessInput = Register(L"BRMP_ProcessInput");
UINT BRMP_StartSPI = Register(L"BRMP_StartSPI");
UINT BRMP_ProcessSPI = Register(L"BRMP_ProcessSPI");
UINT BRMP_SettingsChanged = Register(L"BRMP_SettingsChanged");
UINT BRMP_SPI_SETCURSOR = Register(L"BRMP_SPI_SETCURSOR");
UINT BRMP_SPI_RESETCURSOR = Register(L"BRMP_SPI_RESETCURSOR");
UINT BRMP_SPI_SETCURSORLAYER = Register(L"BRMP_SPI_SETCURSORLAYER");
UINT BRMP_SPI_SETAPPCURSOR = Register(L"BRMP_SPI_SETAPPCURSOR");
UINT BRMP_SPI_OVERLAYCURSOR = Register(L"BRMP_SPI_OVERLAYCURSOR");
UINT BRMP_ResetHook = Register(L"BRMP_ResetHook");
UINT BRMP_SetTimer = Register(L"BRMP_SetTimer");
UINT BRMP_KillTimer = Register(L"BRMP_KillTimer");
UINT BRMP_ShellExecute = Register(L"BRMP_ShellExecute");
UINT BRMP_ActivateWindow = Register(L"BRMP_ActivateWindow");
UINT BRMP_SetupHelperMsg = Register(L"BRMP_SetupHelperMsg");
UINT BRMP_LayerChanged = Register(L"BRMP_LayerChanged");
UINT BRMP_CursorSpeedChanged = Register(L"BRMP_CursorSpeedChanged");
UINT BRMP_MainWindow = Register(L"BRMP_MainWindow");
UINT BRMP_ProcessChanged = Register(L"BRMP_ProcessChanged");
UINT BRMP_FindHover = Register(L"BRMP_FindHover");
UINT BRMP_RemoveIcon = Register(L"BRMP_RemoveIcon");
UINT BRMP_OSDShowWindow = Register(L"BRMP_OSDShowWindow");
UINT WRMP_OSDVolumeChanged = Register(L"WRMP_OSDVolumeChanged");
UINT WRMP_OSDAudioDeviceChanged = Register(L"WRMP_OSDAudioDeviceChanged");
