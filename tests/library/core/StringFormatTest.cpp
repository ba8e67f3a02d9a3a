#include <gtest/gtest.h>

#include "StringFormat.h"

TEST(StringFormat, WideAndNarrowStringsFollowTheMicrosoftRules)
{
    EXPECT_EQ(FormatString(L"%s|%S", L"wide", "narrow"), L"wide|narrow");
    EXPECT_EQ(FormatString(L"%02d-%.3f", 7, 1.5), L"07-1.500");
    EXPECT_EQ(FormatString(L"%s", L"Gr\u00fc\u00dfe \u4e16\u754c"), L"Gr\u00fc\u00dfe \u4e16\u754c");
    EXPECT_EQ(FormatString(L"%c%C", L'\u00e9', 'x'), L"\u00e9x");
}

TEST(StringFormat, ABufferThatIsTooSmallIsCutAndTerminated)
{
    wchar_t buffer[6];
    EXPECT_EQ(FormatArray(buffer, L"%s", L"abcdefgh"), 5);
    EXPECT_STREQ(buffer, L"abcde");
    EXPECT_EQ(FormatArray(buffer, L"%d", 12345), 5);
    EXPECT_STREQ(buffer, L"12345");
    EXPECT_EQ(FormatArray(buffer, L"%d", 1234), 4);
    EXPECT_STREQ(buffer, L"1234");
}

TEST(StringFormat, LongTextsGrowTheString)
{
    const std::wstring big(5000, L'x');
    EXPECT_EQ(FormatString(L"[%s]", big.c_str()).size(), 5002u);
}
