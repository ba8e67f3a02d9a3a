#include "StartupRules.h"

#include "CommandWord.h"
#include "StringFormat.h"

DWORD RelayedCommandWord(DWORD word)
{
    if ((word & ~CommandBits::NotPortable) == 0)
        word |= CommandBits::Setup;
    else if ((word & (CommandBits::IconBits | CommandBits::Exit)) == 0)
        word |= CommandBits::ShowIcon;
    return word | CommandBits::Relayed;
}

DWORD StartupHandOverWord(DWORD word)
{
    return (word & ~CommandBits::IconBits) | CommandBits::Startup;
}

DWORD WithStartupIconBits(DWORD word, bool settingsShowIcon)
{
    if ((word & CommandBits::IconBits) != 0)
        return word;
    return word | (settingsShowIcon ? CommandBits::ShowIcon : CommandBits::HideIcon);
}

std::wstring IntegrityLevelLine(int level)
{
    if (level == -1)
        return L"Unable to establish runtime integrity mode.";
    const unsigned int value = static_cast<unsigned int>(level);
    if (level == 0x1000)
        return FormatString(L"Running in low integrity mode (0x%08X)", value);
    if (level > 0x2FFF)
        return FormatString(L"Running in high integrity mode (as Administrator) (0x%08X)", value);
    if (level >= 0x2000)
        return FormatString(L"Running in medium integrity mode (0x%08X)", value);
    return L"";
}

bool ReportsHookTimeout(DWORD major, DWORD minor)
{
    return major > 6 || (major == 6 && minor != 0);
}
