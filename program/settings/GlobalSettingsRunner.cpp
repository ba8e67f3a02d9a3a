#include "GlobalSettingsRunner.h"

#include "SettingsPropSheet.h"
#include "SetupDialog.h"

GlobalSettingsOutcome RunGlobalSettings(CSetupDialog& dialog, CSettings& settings, int startPage)
{
    GlobalSettingsOutcome outcome;
    outcome.changed = RunGlobalSettingsSheet(&dialog, settings, startPage);
    return outcome;
}
