// The Windows name written into the start-up log.

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <string>

#include "OSName.h"

namespace
{
OSNameFacts Facts(DWORD major, DWORD minor, DWORD build, BYTE type = VER_NT_WORKSTATION, DWORD product = 0)
{
    OSNameFacts f;
    f.major = major;
    f.minor = minor;
    f.build = build;
    f.productType = type;
    f.productInfo = product;
    return f;
}

OSNameFacts With(OSNameFacts f, WORD suite, WORD architecture = PROCESSOR_ARCHITECTURE_INTEL,
                 const wchar_t* servicePack = L"")
{
    f.suiteMask = suite;
    f.architecture = architecture;
    f.servicePack = servicePack;
    return f;
}
}

TEST(OSName, NamesEachWindowsByVersionProductTypeAndEdition)
{
    const BYTE server = VER_NT_SERVER;
    struct Case
    {
        OSNameFacts facts;
        const wchar_t* name;
    } const cases[] = {
        {Facts(10, 0, 19045, VER_NT_WORKSTATION, 48), L"Microsoft Windows 10 Professional Edition (build 19045), 64-bit"},
        {Facts(10, 0, 21999, VER_NT_WORKSTATION, 101), L"Microsoft Windows 10 Home Edition (build 21999), 64-bit"},
        {Facts(10, 0, 22000, VER_NT_WORKSTATION, 4), L"Microsoft Windows 11 Enterprise Edition (build 22000), 64-bit"},
        {Facts(10, 0, 17762, server, 7), L"Microsoft Windows Server 2016 Standard Edition (build 17762), 64-bit"},
        {Facts(10, 0, 17763, server, 13), L"Microsoft Windows Server 2019 Standard Core Edition (build 17763), 64-bit"},
        {Facts(10, 1, 30000, VER_NT_WORKSTATION, 48), L"Microsoft Professional Edition (build 30000), 64-bit"},
        {Facts(6, 1, 7601, VER_NT_WORKSTATION, 1), L"Microsoft Windows 7 Ultimate Edition (build 7601), 64-bit"},
        {Facts(6, 0, 6002, server, 8), L"Microsoft Windows Server 2008 Datacenter Edition (build 6002), 64-bit"},
        {Facts(6, 3, 9600, server, 37), L"Microsoft Windows Server 2012 R2 Hyper-V Edition (build 9600), 64-bit"},
        {Facts(6, 4, 9841, VER_NT_WORKSTATION, 0), L"Microsoft Windows 10 Tech Preview Edition (build 9841), 64-bit"},
        {Facts(6, 9, 1, server, 40), L"Microsoft Windows ? Server Core-V Edition (build 1), 64-bit"},
        {Facts(6, 2, 9200, VER_NT_WORKSTATION, 0xABCDABCD), L"Microsoft Windows 8 Unlicensed (build 9200), 64-bit"},
        {With(Facts(5, 1, 2600), 0x200, PROCESSOR_ARCHITECTURE_INTEL, L"Service Pack 3"),
         L"Microsoft Windows XP Home Edition Service Pack 3 (build 2600)"},
        {With(Facts(5, 0, 2195, server), 0x2), L"Microsoft Windows 2000 Advanced Server (build 2195)"},
        {With(Facts(5, 2, 3790, server), 0x80, PROCESSOR_ARCHITECTURE_AMD64),
         L"Microsoft Windows Server 2003, Datacenter x64 Edition (build 3790)"},
        {With(Facts(5, 2, 3790, server), 0x2, PROCESSOR_ARCHITECTURE_IA64),
         L"Microsoft Windows Server 2003, Enterprise Edition for Itanium-based Systems (build 3790)"},
        {With(Facts(5, 2, 3790, server), 0x400), L"Microsoft Windows Server 2003, Web Edition (build 3790)"},
        {With(Facts(5, 2, 3790), 0, PROCESSOR_ARCHITECTURE_AMD64),
         L"Microsoft Windows XP Professional x64 Edition (build 3790)"},
        {Facts(5, 3, 1), L"Microsoft Windows 5.3 (build 1)"},
        {Facts(11, 2, 5), L"Microsoft Windows 11.2 (build 5), 64-bit"},
    };
    for (const Case& c : cases)
    {
        std::wstring text;
        EXPECT_EQ(BuildOSDisplayName(c.facts, text), 1);
        EXPECT_EQ(text, c.name);
    }

    OSNameFacts x86 = Facts(6, 1, 7600, VER_NT_WORKSTATION, 3);
    x86.architecture = PROCESSOR_ARCHITECTURE_INTEL;
    std::wstring text;
    BuildOSDisplayName(x86, text);
    EXPECT_EQ(text, L"Microsoft Windows 7 Home Premium Edition (build 7600), 32-bit");

    // Without GetProductInfo a 6.x system has no edition.
    OSNameFacts old = Facts(6, 0, 6000, VER_NT_WORKSTATION, 1);
    old.hasProductInfo = false;
    BuildOSDisplayName(old, text);
    EXPECT_EQ(text, L"Microsoft Windows Vista  (build 6000), 64-bit");
}

TEST(OSName, SystemsOlderThanVersionFiveOrNotNTAreNotNamed)
{
    OSNameFacts nine = Facts(4, 10, 2222);
    nine.platform = VER_PLATFORM_WIN32_WINDOWS;
    for (const OSNameFacts& f : {Facts(4, 0, 1381), nine})
    {
        std::wstring text;
        EXPECT_EQ(BuildOSDisplayName(f, text), 0);
        EXPECT_EQ(text, L"The version detection does not support this version of Windows.");
    }
}

TEST(OSName, EditionSuffixesFollowTheProductType)
{
    struct Case
    {
        DWORD type;
        const wchar_t* text;
    } const cases[] = {
        {0, L"Edition"},                     {12, L"Datacenter Core Edition"},
        {14, L"Enterprise Core Edition"},    {29, L"Web Server Core Edition"},
        {64, L"Cluster Server Hyper-V Edition"}, {42, L"Hyper-V Edition"},
        {39, L"Core-V Edition"},             {41, L"Core-V Edition"},
        {116, L"Core Edition"},              {107, L"Embedded Edition"},
        {100, L"Home Single Language Edition"}, {0xABCDABCD, L"Unlicensed"},
        {999, L"Edition"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OSEditionText(c.type), c.text) << c.type;
}

TEST(OSName, TheRunningSystemIsNamedWithinTheCallersBuffer)
{
    wchar_t text[260];
    DWORD major = 0;
    DWORD minor = 0;
    ASSERT_EQ(GetOSDisplayName(text, 260, major, minor), 1);
    const std::wstring name = text;
    EXPECT_EQ(name.rfind(L"Microsoft ", 0), 0u) << testing::PrintToString(name);
    EXPECT_NE(name.find(L"(build "), std::wstring::npos);
    EXPECT_GE(major, 5u);

    // A short buffer gets the start of the name and its terminator, nothing beyond.
    wchar_t small[12];
    std::wmemset(small, L'#', 12);
    GetOSDisplayName(small, 10, major, minor);
    EXPECT_EQ(std::wstring(small), name.substr(0, 9));
    EXPECT_EQ(small[10], L'#');

    std::wstring edition = L"x ";
    GetOSEditionName(edition);
    EXPECT_GT(edition.size(), 2u);
}
