// The profile in force. For now the switch only records the profile; the
// window-quarter mask and the profile's mouse parameters follow with profile
// targeting.

#include "ProfileSwitch.h"

#include "Globals.h"
#include "Logger.h"

void SetNewApp(CApplicationSettings* profile)
{
    g_pCurrentApp = profile;
    CLogger::LogDebug(L"SetNewApp: profile 0x%p in force", static_cast<void*>(profile));
}
