// The program has no global settings sheet yet: the dialog's Settings button
// says so and changes nothing.

#include "GlobalSettingsRunner.h"

#include "LangSupport.h"
#include "Logger.h"
#include "MessageBox.h"
#include "SetupDialog.h"

GlobalSettingsOutcome RunGlobalSettings(CSetupDialog& dialog, CSettings&, int startPage)
{
    CLogger::LogMessage(L"CSetupDialog::ShowGlobalSettings: The global settings (page %d) are not available in this build.",
                        startPage);
    ShowMessageBox(LookupText(dialog.Language(), L"The global settings are not available in this build."),
                   MB_OK | MB_ICONINFORMATION, dialog.GetSafeHwnd());
    return GlobalSettingsOutcome{};
}
