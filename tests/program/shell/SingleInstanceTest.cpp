#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "SingleInstance.h"

namespace
{
struct CutCase
{
    std::wstring text;
    std::wstring name;
};

TEST(SingleInstanceName, TheNameEndsBeforeTheFirstCharacterThatMayNotStandInIt)
{
    const std::vector<CutCase> cases = {
        {L"PlainName19Letters1", L"PlainName19Letters1"},
        {L"", L""},
        {L"Before After", L"Before"},
        {L"a\\b", L"a"},
        {L"a'b", L"a"},
        {L"a\"b", L"a"},
        {L"a/b", L"a"},
        {L"a@b", L"a"},
        {L"a#b", L"a"},
        {L"a~b", L"a"},
        {L"a,b", L"a"},
        {L"a:b", L"a"},
        {L"a;b", L"a"},
        {L"a\u00ACb", L"a"},
        {L"a`b", L"a"},
        {L"a!b", L"a"},
        {L"a\u00A3b", L"a"},
        {L"a$b", L"a"},
        {L"a%b", L"a"},
        {L"a^b", L"a"},
        {L"a&b", L"a"},
        {L"a*b", L"a"},
        {L"a-b", L"a"},
        {L"a=b", L"a"},
        {L"a+b", L"a"},
        {L"a_b", L"a"},
        {L"a|b", L"a"},
        {L"-leading", L""},
        {L"first.second(3)?[x]", L"first.second(3)?[x]"},
        {L"ab_cd-ef", L"ab"},
    };
    for (const CutCase& c : cases)
        EXPECT_EQ(CSingleInstance::CutName(c.text), c.name) << std::string(c.text.begin(), c.text.end());
}

TEST(SingleInstanceName, TheProgramNameIsUsedWhole)
{
    const std::wstring name = CSingleInstance::ProgramName();
    EXPECT_EQ(name.size(), 19u);
    EXPECT_EQ(CSingleInstance::CutName(name), name);
}

std::wstring UniqueBase(const wchar_t* what)
{
    return std::wstring(L"BrmpSingleTest") + what + std::to_wstring(::GetCurrentProcessId()) +
           std::to_wstring(::GetTickCount64());
}

TEST(SingleInstance, TheFirstCreateOwnsTheNameAndALaterOneFindsIt)
{
    const std::wstring base = UniqueBase(L"Two");
    CSingleInstance first;
    ASSERT_EQ(first.Create(nullptr, base.c_str()), CSingleInstance::FirstInstance);
    EXPECT_EQ(first.GetName(), base);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    EXPECT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), base.c_str(), &wc))
        << "the main window's class is registered under the name";
    EXPECT_TRUE(wc.style & CS_DBLCLKS);

    {
        CSingleInstance second;
        EXPECT_EQ(second.Create(nullptr, base.c_str()), CSingleInstance::AlreadyRunning);
    }
    // The later start's own handle is gone; the first still holds the name.
    CSingleInstance third;
    EXPECT_EQ(third.Create(nullptr, base.c_str()), CSingleInstance::AlreadyRunning);
}

TEST(SingleInstance, TheNameIsFreeAgainWhenTheFirstInstanceEnds)
{
    const std::wstring base = UniqueBase(L"Again");
    {
        CSingleInstance first;
        ASSERT_EQ(first.Create(nullptr, base.c_str()), CSingleInstance::FirstInstance);
    }
    CSingleInstance next;
    EXPECT_EQ(next.Create(nullptr, base.c_str()), CSingleInstance::FirstInstance)
        << "a start after the first instance ended must become the first instance";
}

} // namespace
