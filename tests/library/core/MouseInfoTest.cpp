#include <gtest/gtest.h>

#include <vector>

#include "MouseInfo.h"
#include "OSVersion.h"
#include "Settings.h"

namespace
{
    // Records what would have been handed to SystemParametersInfoW.
    struct SpiCall
    {
        UINT action;
        int values[3];
        UINT flags;
        size_t speed;
    };
    std::vector<SpiCall> g_calls;
    bool g_fail = false;

    BOOL WINAPI RecordingSpi(UINT action, UINT, PVOID data, UINT flags)
    {
        SpiCall call{action, {0, 0, 0}, flags, 0};
        if (action == SPI_SETMOUSE)
        {
            const int* values = static_cast<const int*>(data);
            call.values[0] = values[0];
            call.values[1] = values[1];
            call.values[2] = values[2];
        }
        else if (action == SPI_SETMOUSESPEED)
            call.speed = reinterpret_cast<size_t>(data);
        else if (action == SPI_GETMOUSE && !g_fail)
        {
            int* values = static_cast<int*>(data);
            values[0] = 4;
            values[1] = 12;
            values[2] = 1;
        }
        else if (action == SPI_GETMOUSESPEED && !g_fail)
            *static_cast<int*>(data) = 13;
        g_calls.push_back(call);
        return g_fail ? FALSE : TRUE;
    }

    class MouseInfoTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            g_calls.clear();
            g_fail = false;
            CMouseInfo::SetSystemParametersFunction(RecordingSpi);
        }
        void TearDown() override
        {
            CMouseInfo::SetSystemParametersFunction(nullptr);
            CMouseInfo::SetGlobalSettings(nullptr);
        }
    };
}

TEST_F(MouseInfoTest, PrecisionOnWithoutSettingsUsesSixAndTenOffClearsAll)
{
    CMouseInfo info(0, 0, 0);
    ASSERT_TRUE(info.SetEnhancePointerPrecision(true));
    int values[3];
    info.GetMouseInfo(values);
    EXPECT_EQ(values[0], 6);
    EXPECT_EQ(values[1], 10);
    EXPECT_EQ(values[2], 1);
    EXPECT_TRUE(info.EnhancePointerPrecision());
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].action, static_cast<UINT>(SPI_SETMOUSE));
    EXPECT_EQ(g_calls[0].values[0], 6);
    EXPECT_EQ(g_calls[0].values[1], 10);
    EXPECT_EQ(g_calls[0].values[2], 1);
    EXPECT_EQ(g_calls[0].flags, static_cast<UINT>(SPIF_UPDATEINIFILE));

    ASSERT_TRUE(info.SetEnhancePointerPrecision(false));
    info.GetMouseInfo(values);
    EXPECT_EQ(values[0], 0);
    EXPECT_EQ(values[1], 0);
    EXPECT_EQ(values[2], 0);
    EXPECT_FALSE(info.EnhancePointerPrecision());
    EXPECT_EQ(g_calls.back().values[2], 0);
}

TEST_F(MouseInfoTest, PrecisionOnTakesTheThresholdsOfTheRegisteredSettings)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    settings.m_nEPPThreshold1 = 3;
    settings.m_nEPPThreshold2 = 17;
    CMouseInfo::SetGlobalSettings(&settings);
    g_calls.clear();

    CMouseInfo info(0, 0, 0);
    ASSERT_TRUE(info.SetEnhancePointerPrecision(true));
    int values[3];
    info.GetMouseInfo(values);
    EXPECT_EQ(values[0], 3);
    EXPECT_EQ(values[1], 17);
    EXPECT_EQ(values[2], 1);
}

TEST_F(MouseInfoTest, ReadingTakesTheSystemValuesOrZerosWhenTheSystemFails)
{
    CMouseInfo read;
    int values[3];
    read.GetMouseInfo(values);
    EXPECT_EQ(values[0], 4);
    EXPECT_EQ(values[1], 12);
    EXPECT_EQ(values[2], 1);
    EXPECT_EQ(CMouseInfo::GetMouseSpeed(), 13);

    g_fail = true;
    CMouseInfo failed;
    failed.GetMouseInfo(values);
    EXPECT_EQ(values[0], 0);
    EXPECT_EQ(values[1], 0);
    EXPECT_EQ(values[2], 0);
    EXPECT_EQ(CMouseInfo::GetMouseSpeed(), 0);
    EXPECT_FALSE(failed.SetEnhancePointerPrecision(true)) << "a refused change is reported";
}

TEST_F(MouseInfoTest, SpeedIsSetForTheSessionOnly)
{
    ASSERT_TRUE(CMouseInfo::SetMouseSpeed(7));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].action, static_cast<UINT>(SPI_SETMOUSESPEED));
    EXPECT_EQ(g_calls[0].speed, 7u);
    EXPECT_EQ(g_calls[0].flags, 0u);
}

TEST(MouseSpeed, TheSpeedSetIsTheSpeedTheSystemReportsAfterwards)
{
    CMouseInfo::SetSystemParametersFunction(nullptr);
    const int before = CMouseInfo::GetMouseSpeed();
    const int wanted = before == 7 ? 9 : 7;
    ASSERT_TRUE(CMouseInfo::SetMouseSpeed(static_cast<std::size_t>(wanted)));
    EXPECT_EQ(CMouseInfo::GetMouseSpeed(), wanted);
    CMouseInfo::SetMouseSpeed(static_cast<std::size_t>(before > 0 ? before : 10));
}

TEST(OSVersion, ReportedNumbersMapToTheirVersionBit)
{
    const struct
    {
        bool ok;
        DWORD major, minor, build;
        _ActionOSVersion expected;
    } cases[] = {
        {false, 10, 0, 19045, ActionOS_Failed},
        {true, 5, 0, 2195, ActionOS_Win2000},
        {true, 5, 1, 2600, ActionOS_WinXP},
        {true, 5, 2, 3790, ActionOS_WinXP},
        {true, 6, 0, 6002, ActionOS_Vista},
        {true, 6, 1, 7601, ActionOS_Win7},
        {true, 6, 2, 9200, ActionOS_Win8},
        {true, 6, 3, 9600, ActionOS_Win81},
        {true, 6, 4, 9841, ActionOS_Win10},
        {true, 6, 5, 0, ActionOS_Other},
        {true, 10, 0, 10240, ActionOS_Win10},
        {true, 10, 0, 19045, ActionOS_Win10},
        {true, 10, 0, 21999, ActionOS_Win10},
        // Windows 11 reports 10.0 with a build from 22000 on.
        {true, 10, 0, 22000, ActionOS_Win11},
        {true, 10, 0, 26100, ActionOS_Win11},
        {true, 10, 1, 0, ActionOS_Other},
        {true, 11, 0, 0, ActionOS_Win11},
        {true, 11, 1, 0, ActionOS_Other},
        {true, 4, 0, 1381, ActionOS_Other},
        {true, 12, 0, 0, ActionOS_Other},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OSVersionFromNumbers(c.ok, c.major, c.minor, c.build), c.expected)
            << c.major << "." << c.minor << "." << c.build;
}

TEST(OSVersion, APinnedVersionIsWhatCallersSeeUntilUnpinned)
{
    PinOSVersion(ActionOS_Win7);
    EXPECT_EQ(GetOSVersion(), ActionOS_Win7);
    PinOSVersion(ActionOS_Win11);
    EXPECT_EQ(GetOSVersion(), ActionOS_Win11);
    UnpinOSVersion();

    // Whatever this host reports, the answer is one of the defined values.
    const int value = GetOSVersion();
    EXPECT_TRUE(value == 0 || value == 1 || value == 2 || value == 4 || value == 8 || value == 16 || value == 32 ||
                value == 64 || value == 128 || value == 255)
        << value;
}
