#pragma once
// The library's one settings object: created when the library loads, replaced
// only by tests, deleted when it unloads. Every layer reads the options from it.

#include "SnareholdApi.h"

class CSettings;

extern SNAREHOLD_API CSettings* g_pSettings;
