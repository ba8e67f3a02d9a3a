#include <windows.h>

#include "BrindlemapApp.h"

namespace
{
CBrindlemapApp theApp;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand)
{
    return theApp.Main(instance, commandLine, showCommand);
}
