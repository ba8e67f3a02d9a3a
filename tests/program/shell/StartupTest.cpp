// The start-up rules that turn the command word into what the first instance
// does and what a later start hands over.

#include <gtest/gtest.h>

#include <windows.h>

#include "BrindlemapApp.h"
#include "CommandWord.h"
#include "Control.h"
#include "Hooks.h"
#include "StartupRules.h"

using namespace CommandBits;

TEST(Startup, ALaterStartRelaysItsWordMarkedAndCompleted)
{
    struct Case
    {
        const char* label;
        DWORD word;
        DWORD relayed;
    } const cases[] = {
        {"no switch opens the settings", 0, Relayed | CommandBits::Setup},
        {"only /notportable opens the settings", NotPortable, Relayed | NotPortable | CommandBits::Setup},
        {"/reload also shows the icon", Reload, Relayed | Reload | ShowIcon},
        {"/hideicon is kept", Disable | HideIcon, Relayed | Disable | HideIcon},
        {"/showicon is kept", ShowIcon, Relayed | ShowIcon},
        {"/exit is relayed as it is", Exit, 0x80000020},
        {"/setup with an icon switch", CommandBits::Setup | HideIcon, Relayed | CommandBits::Setup | HideIcon},
        {"/portable with /notportable is not a bare /notportable", Portable | NotPortable,
         Relayed | Portable | NotPortable | ShowIcon},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RelayedCommandWord(c.word), c.relayed) << c.label;
}

TEST(Startup, TheFirstInstanceHandsItsOwnWordToItsWindowWithoutIconBits)
{
    EXPECT_EQ(StartupHandOverWord(ShowIcon | CommandBits::Setup), Startup | CommandBits::Setup);
    EXPECT_EQ(StartupHandOverWord(HideIcon | Layer), Startup | Layer);
    EXPECT_EQ(StartupHandOverWord(0), Startup);
}

TEST(Startup, TheSettingsChooseTheIconOnlyWhenTheLineNamedNone)
{
    EXPECT_EQ(WithStartupIconBits(0, true), ShowIcon);
    EXPECT_EQ(WithStartupIconBits(Debug, false), Debug | HideIcon);
    EXPECT_EQ(WithStartupIconBits(HideIcon, true), HideIcon);
    EXPECT_EQ(WithStartupIconBits(ShowIcon, false), ShowIcon);
}

TEST(Startup, TheIntegrityLevelIsLoggedByBand)
{
    struct Case
    {
        int level;
        const wchar_t* line;
    } const cases[] = {
        {-1, L"Unable to establish runtime integrity mode."},
        {0x1000, L"Running in low integrity mode (0x00001000)"},
        {0x2000, L"Running in medium integrity mode (0x00002000)"},
        {0x2FFF, L"Running in medium integrity mode (0x00002FFF)"},
        {0x3000, L"Running in high integrity mode (as Administrator) (0x00003000)"},
        {0x4000, L"Running in high integrity mode (as Administrator) (0x00004000)"},
        {0x1100, L""},
        {0, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IntegrityLevelLine(c.level), c.line) << c.level;
}

TEST(Startup, TheHookTimeOutIsReportedFromWindowsSevenOn)
{
    EXPECT_FALSE(ReportsHookTimeout(6, 0));
    EXPECT_FALSE(ReportsHookTimeout(5, 1));
    EXPECT_TRUE(ReportsHookTimeout(6, 1));
    EXPECT_TRUE(ReportsHookTimeout(10, 0));
}

TEST(Startup, HooksThatWentInBeforeAFailedStartAreRemovedWhenItEnds)
{
    // A start-up that installed the hooks and then could not create its main
    // window ends through ExitInstance without a main window.
    ASSERT_TRUE(SetMouseHook());
    ASSERT_TRUE(GetHooked());
    {
        CBrindlemapApp app;
        EXPECT_EQ(app.ExitInstance(), 0);
    }
    EXPECT_FALSE(GetHooked());
    EXPECT_FALSE(RemoveMouseHook(false));
}
