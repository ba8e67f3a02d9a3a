#include <windows.h>

#include "StringFormat.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring line = FormatString(L"%s started", L"Brindlemap");
    OutputDebugStringW(line.c_str());
    return 0;
}
