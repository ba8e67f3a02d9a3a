#pragma once
// The library's one settings object: created when the library loads, replaced
// only by tests, deleted when it unloads. Every layer reads the options from it.

class CSettings;

extern CSettings* g_pSettings;
