#include <windows.h>

#include "BrindlemapApp.h"
#include "SystemLibrary.h"

namespace
{
CBrindlemapApp theApp;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand)
{
    // Before anything can load a library: none may come from the current folder.
    RestrictLibrarySearch();
    return theApp.Main(instance, commandLine, showCommand);
}
