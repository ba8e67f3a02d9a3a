#pragma once
// Switching the library's profile in force.

class CApplicationSettings;

// Makes profile (or none) the profile in force.
void SetNewApp(CApplicationSettings* profile);
