#pragma once
// Every option of the settings table given a value of its own, and compared
// between two settings objects, for the tests of the copy and the file.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "Settings.h"
#include "SettingsOptions.h"

namespace settingsoptions
{
// Gives every option of the table a value unlike its default and, for numbers,
// unlike the other options' values.
inline void GiveEveryOptionAValueOfItsOwn(CSettings& settings)
{
    long long n = 1000;
    for (const SettingsOption& option : SettingsOption::All())
    {
        ++n;
        if (option.IsText())
            option.SetText(settings, (L"text " + std::to_wstring(n)).c_str());
        else if (option.IsFlag())
            option.SetNumber(settings, option.defaultNumber == 0 ? 1 : 0);
        else
            option.SetNumber(settings, std::clamp(n, option.low, option.high));
    }
}

inline void ExpectEveryOptionEqual(const CSettings& expected, const CSettings& actual, const char* how, bool storedOnly = false)
{
    for (const SettingsOption& option : SettingsOption::All())
    {
        if (storedOnly && !option.IsStored())
            continue;
        if (option.IsText())
            EXPECT_STREQ(option.Text(actual), option.Text(expected)) << how << ": " << testing::PrintToString(option.attribute);
        else
            EXPECT_EQ(option.Number(actual), option.Number(expected)) << how << ": " << testing::PrintToString(option.attribute);
    }
}
} // namespace settingsoptions
