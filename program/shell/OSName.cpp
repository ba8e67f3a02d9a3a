#include "OSName.h"

#include <algorithm>
#include <initializer_list>

#include "StringFormat.h"

namespace
{
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);

constexpr DWORD kUnlicensed = 0xABCDABCD;

bool OneOf(DWORD value, std::initializer_list<DWORD> values)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}

bool Within(DWORD value, DWORD first, DWORD last)
{
    return value >= first && value <= last;
}

const wchar_t* EditionWord(DWORD type)
{
    struct Row
    {
        std::initializer_list<DWORD> types;
        const wchar_t* word;
    };
    static const Row rows[] = {
        {{1, 28, 71}, L"Ultimate "},
        {{2, 5, 67}, L"Home Basic "},
        {{3, 26, 68}, L"Home Premium "},
        {{4, 10, 14, 27, 70, 72}, L"Enterprise "},
        {{6}, L"Business "},
        {{7, 13}, L"Standard "},
        {{8, 12}, L"Datacenter "},
        {{9, 24}, L"Small Business Server "},
        {{11}, L"Starter "},
        {{15}, L"Enterprise ia64 "},
        {{17, 29}, L"Web Server "},
        {{18, 64}, L"Cluster Server "},
        {{19, 34}, L"Home Server "},
        {{20}, L"Storage Express Server "},
        {{21}, L"Storage Standard Server "},
        {{22}, L"Storage Workgroup Server "},
        {{23}, L"Storage Enterprise Server "},
        {{25}, L"Small Business Server Premium "},
        {{48, 49, 69, 103, 112, 114}, L"Professional "},
        {{56, 58, 65, 105, 106, 107, 108}, L"Embedded "},
        {{76, 77}, L"MultiPoint "},
        {{98}, L"Home N "},
        {{99}, L"Home China "},
        {{100}, L"Home Single Language "},
        {{101}, L"Home "},
    };
    for (const Row& row : rows)
        if (OneOf(type, row.types))
            return row.word;
    return L"";
}

const wchar_t* EditionSuffix(DWORD type)
{
    if (Within(type, 12, 14) || Within(type, 43, 46) ||
        OneOf(type, {29, 53, 57, 63, 97, 109, 111, 113, 115, 116}))
        return L"Core Edition";
    if (Within(type, 35, 38) || OneOf(type, {42, 64}))
        return L"Hyper-V Edition";
    if (Within(type, 39, 41))
        return L"Core-V Edition";
    return L"Edition";
}

GetProductInfoFn ProductInfoFunction()
{
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel != nullptr ? reinterpret_cast<GetProductInfoFn>(reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "GetProductInfo")))
                             : nullptr;
}

void AppendServer2003(const OSNameFacts& f, std::wstring& text)
{
    const bool workstation = f.productType == VER_NT_WORKSTATION;
    if (f.serverR2)
        text += L"Windows Server 2003 R2, ";
    else if (f.suiteMask & 0x2000)
        text += L"Windows Storage Server 2003";
    else if (f.suiteMask & 0x8000)
        text += L"Windows Home Server";
    else if (workstation && f.architecture == PROCESSOR_ARCHITECTURE_AMD64)
        text += L"Windows XP Professional x64 Edition";
    else
        text += L"Windows Server 2003, ";

    if (workstation)
        return;
    if (f.architecture == PROCESSOR_ARCHITECTURE_IA64)
    {
        if (f.suiteMask & 0x80)
            text += L"Datacenter Edition for Itanium-based Systems";
        else if (f.suiteMask & 0x2)
            text += L"Enterprise Edition for Itanium-based Systems";
    }
    else if (f.architecture == PROCESSOR_ARCHITECTURE_AMD64)
    {
        if (f.suiteMask & 0x80)
            text += L"Datacenter x64 Edition";
        else if (f.suiteMask & 0x2)
            text += L"Enterprise x64 Edition";
        else
            text += L"Standard x64 Edition";
    }
    else
    {
        if (f.suiteMask & 0x4000)
            text += L"Compute Cluster Edition";
        else if (f.suiteMask & 0x80)
            text += L"Datacenter Edition";
        else if (f.suiteMask & 0x2)
            text += L"Enterprise Edition";
        else if (f.suiteMask & 0x400)
            text += L"Web Edition";
        else
            text += L"Standard Edition";
    }
}
}

std::wstring OSEditionText(DWORD productInfo)
{
    if (productInfo == kUnlicensed)
        return L"Unlicensed";
    return std::wstring(EditionWord(productInfo)) + EditionSuffix(productInfo);
}

int BuildOSDisplayName(const OSNameFacts& f, std::wstring& text)
{
    text.clear();
    if (f.platform != VER_PLATFORM_WIN32_NT || f.major < 5)
    {
        text = L"The version detection does not support this version of Windows.";
        return 0;
    }
    const bool workstation = f.productType == VER_NT_WORKSTATION;
    text = L"Microsoft ";
    if (f.major == 10)
    {
        if (f.minor == 0)
        {
            if (workstation)
                text += f.build < 22000 ? L"Windows 10 " : L"Windows 11 ";
            else
                text += f.build > 17762 ? L"Windows Server 2019 " : L"Windows Server 2016 ";
        }
        text += OSEditionText(f.productInfo);
    }
    else if (f.major == 6)
    {
        switch (f.minor)
        {
        case 0: text += workstation ? L"Windows Vista " : L"Windows Server 2008 "; break;
        case 1: text += workstation ? L"Windows 7 " : L"Windows Server 2008 R2 "; break;
        case 2: text += workstation ? L"Windows 8 " : L"Windows Server 2012 "; break;
        case 3: text += workstation ? L"Windows 8.1 " : L"Windows Server 2012 R2 "; break;
        case 4: text += workstation ? L"Windows 10 Tech Preview " : L"Windows 10 Server Tech Preview "; break;
        default: text += workstation ? L"Windows ? " : L"Windows ? Server "; break;
        }
        if (f.hasProductInfo)
            text += OSEditionText(f.productInfo);
    }
    else if (f.major == 5 && f.minor == 2)
    {
        AppendServer2003(f, text);
    }
    else if (f.major == 5 && f.minor == 1)
    {
        text += L"Windows XP ";
        text += (f.suiteMask & 0x200) ? L"Home Edition" : L"Professional";
    }
    else if (f.major == 5 && f.minor == 0)
    {
        text += L"Windows 2000 ";
        if (workstation)
            text += L"Professional";
        else if (f.suiteMask & 0x80)
            text += L"Datacenter Server";
        else if (f.suiteMask & 0x2)
            text += L"Advanced Server";
        else
            text += L"Server";
    }
    else
    {
        text += FormatString(L"Windows %d.%d", static_cast<int>(f.major), static_cast<int>(f.minor));
    }

    if (!f.servicePack.empty())
        text += L" " + f.servicePack;
    text += FormatString(L" (build %d)", static_cast<int>(f.build));
    if (f.major > 5)
    {
        if (f.architecture == PROCESSOR_ARCHITECTURE_AMD64)
            text += L", 64-bit";
        else if (f.architecture == PROCESSOR_ARCHITECTURE_INTEL)
            text += L", 32-bit";
    }
    return 1;
}

int GetOSDisplayName(wchar_t* text, std::size_t size, DWORD& major, DWORD& minor)
{
    if (text != nullptr && size > 0)
        text[0] = L'\0';
    major = minor = 0;

    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
        return 1;

    OSNameFacts facts;
    facts.major = version.dwMajorVersion;
    facts.minor = version.dwMinorVersion;
    facts.build = version.dwBuildNumber;
    facts.platform = version.dwPlatformId;
    facts.productType = version.wProductType;
    facts.suiteMask = version.wSuiteMask;
    facts.servicePack.assign(version.szCSDVersion, ::wcsnlen(version.szCSDVersion, 128));
    major = facts.major;
    minor = facts.minor;

    SYSTEM_INFO system{};
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto native = kernel != nullptr
                      ? reinterpret_cast<GetNativeSystemInfoFn>(reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "GetNativeSystemInfo")))
                      : nullptr;
    if (native != nullptr)
        native(&system);
    else
        ::GetSystemInfo(&system);
    facts.architecture = system.wProcessorArchitecture;
    facts.serverR2 = ::GetSystemMetrics(SM_SERVERR2) != 0;

    GetProductInfoFn productInfo = ProductInfoFunction();
    facts.hasProductInfo = productInfo != nullptr;
    if (productInfo != nullptr && facts.major >= 6)
    {
        DWORD type = 0;
        if (productInfo(facts.major, facts.minor, 0, 0, &type))
            facts.productInfo = type;
    }

    std::wstring name;
    const int result = BuildOSDisplayName(facts, name);
    if (text != nullptr && size > 0)
    {
        const std::size_t count = std::min(name.size(), size - 1);
        name.copy(text, count);
        text[count] = L'\0';
    }
    return result;
}

void GetOSEditionName(std::wstring& text)
{
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
        return;
    DWORD type = 0;
    GetProductInfoFn productInfo = ProductInfoFunction();
    if (productInfo != nullptr)
        productInfo(version.dwMajorVersion, version.dwMinorVersion, 0, 0, &type);
    text += OSEditionText(type);
}
