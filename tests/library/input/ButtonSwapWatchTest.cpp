// The button swap the library puts in force is told apart from one the user
// sets: the hook's watch takes the user's change as the swap to restore, never
// the library's own, even when it read the system just before our change.

#include <gtest/gtest.h>

#include <windows.h>

#include "SystemValues.h"

namespace
{
void SetSwap(int swap)
{
    ::SystemParametersInfoW(SPI_SETMOUSEBUTTONSWAP, static_cast<UINT>(swap), nullptr, 0);
}
} // namespace

TEST(ButtonSwapWatch, OnlyAChangeTheUserMakesIsTakenAsTheUsersAfterTheReadingPeriod)
{
    const int user = ::GetSystemMetrics(SM_SWAPBUTTON);
    const int savedInForce = g_system.nSwapButtons;
    g_system.nSwapButtons = user;
    CButtonSwapWatch watch;
    EXPECT_EQ(watch.UserChange(1000), -1);

    // Ours, right after a reading: the next turn reads again and sees no change.
    watch.ApplyOwnChange([&] { SetSwap(user != 0 ? 0 : 1); }, &::GetSystemMetrics);
    EXPECT_EQ(g_system.nSwapButtons, user != 0 ? 0 : 1);
    EXPECT_EQ(watch.UserChange(1010), -1);

    // The user's: seen once the reading is due again, and from then on in force.
    SetSwap(user);
    EXPECT_EQ(watch.UserChange(1100), -1) << "read again before its period";
    EXPECT_EQ(watch.UserChange(1260), user);
    EXPECT_EQ(g_system.nSwapButtons, user);
    EXPECT_EQ(watch.UserChange(1600), -1);

    SetSwap(user);
    g_system.nSwapButtons = savedInForce;
}
