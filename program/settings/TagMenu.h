#pragma once
// The keystroke editor's tag menu (thirteen sub-menus of keys and tags, each
// entry's command naming a row of the key-tag table) and the help text that
// documents every tag the menu offers.

#include <windows.h>

#include <string>

class CLangSupport;

// A new pop-up menu; the caller destroys it. Captions are translated (not the
// function-key names); the layer sub-menu lists layers 1 to layerCount (1 to 10).
HMENU BuildTagMenu(CLangSupport* language, int layerCount);

// The help text, each line translated on its own.
std::wstring BuildTagHelpText(CLangSupport* language);
