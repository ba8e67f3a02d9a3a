// The settings dialog's Settings button and language requests open the
// global settings sheet on the dialog's settings copy.

#include "GlobalSettingsRunner.h"

#include "SettingsPropSheet.h"
#include "SetupDialog.h"

GlobalSettingsOutcome RunGlobalSettings(CSetupDialog& dialog, CSettings& settings, int startPage)
{
    GlobalSettingsOutcome outcome;
    outcome.changed = RunGlobalSettingsSheet(&dialog, settings, startPage);
    return outcome;
}

bool GlobalSettingsOpen()
{
    return GlobalSettingsSheetRunning();
}
