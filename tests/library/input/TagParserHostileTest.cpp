#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "InputTestSupport.h"
#include "SeededRandom.h"

namespace
{
using brmptest::SeededRandom;

const wchar_t* const Fragments[] = {
    L"{", L"}", L"{{}", L":", L"<", L"-", L",", L"0x", L"h", L"99999999999", L"-2147483648", L"4294967296",
    L"CTRL", L"PRESS", L"RELEASE", L"CLEAR", L"ALTGR", L"APPS", L"HOLD", L"HOLDMS", L"WAIT", L"WAITMS",
    L"LAYER", L"NEXT", L"PREV", L"LAST", L"NUM", L"F", L"SC", L"SCE", L"VKC", L"EXT", L"MSAVE", L"MREST",
    L"MRESTORE", L"MSET", L"MXSET", L"LOCK", L"UNLOCK", L"RUN", L"RUNADM", L"KILL", L"POSTWM", L"SENDWM",
    L"CB", L"VOL", L"VOL+", L"VOL-", L"DEL", L"OD", L"OU", L"OR", L"LMB", L"MWUP", L"BRI+", L"CAPSLOCKON",
    L"\u20ac", L"\xD800", L"\xDFFF", L"\xFFFF", L"\t", L"\r\n", L" ",
};

std::wstring RandomText(SeededRandom& random)
{
    std::wstring text;
    const std::size_t pieces = random.Below(40);
    for (std::size_t i = 0; i < pieces; ++i)
    {
        if (random.Below(4) == 0)
            text.push_back(static_cast<wchar_t>(1 + random.Below(0xFFFE)));
        else
            text += Fragments[random.Below(sizeof(Fragments) / sizeof(Fragments[0]))];
    }
    return text;
}

// What every parse must keep, whatever the text: no more tokens than the text
// can make, waits and holds within their limit, layers that exist.
void ExpectSane(const std::wstring& text, const SimTokenList& tokens)
{
    ASSERT_LE(tokens.size(), text.size() + 1) << inputtest::Narrow(text);
    for (const auto& token : tokens)
    {
        ASSERT_LE(static_cast<long long>(token->m_nHoldTime), MaxDelayMs) << inputtest::Narrow(text);
        if (auto* wait = dynamic_cast<const CSimWaitToken*>(token.get()))
        {
            ASSERT_LE(static_cast<long long>(wait->m_nMilliseconds), MaxDelayMs) << inputtest::Narrow(text);
        }
        if (auto* layer = dynamic_cast<const CSimLayerToken*>(token.get()))
        {
            ASSERT_GE(layer->m_nLayer, 0) << inputtest::Narrow(text);
            ASSERT_LE(layer->m_nLayer, MaxLayerIndex) << inputtest::Narrow(text);
            ASSERT_GE(layer->m_nRestoreLayer, 0) << inputtest::Narrow(text);
            ASSERT_LE(layer->m_nRestoreLayer, MaxLayerIndex) << inputtest::Narrow(text);
        }
        if (auto* run = dynamic_cast<const CSimRunAppToken*>(token.get()))
        {
            ASSERT_LE(run->m_strProgram.size(), static_cast<std::size_t>(MaxTagLength));
        }
        if (auto* clipboard = dynamic_cast<const CSimClipboardToken*>(token.get()))
        {
            ASSERT_LE(clipboard->m_strText.size(), static_cast<std::size_t>(MaxTagLength));
        }
    }
}
}

TEST(TagParserHostile, ARandomCorpusParsesWithinItsLimits)
{
    SeededRandom random(20261209);
    TagParseContext context = inputtest::TestContext();
    for (int i = 0; i < 5000; ++i)
    {
        const std::wstring text = RandomText(random);
        // Vary the layer state too, including values that make no sense.
        context.currentLayer = static_cast<int>(random.Below(30)) - 10;
        context.previousLayer = static_cast<int>(random.Below(30)) - 10;
        context.layerCount = static_cast<int>(random.Below(30)) - 5;
        context.restorePrevious = random.Below(2) == 0;
        context.pressReleaseAllowed = random.Below(2) == 0;
        const unsigned skipped = random.Next();
        context.isLayerSkipped = [skipped](int layer) { return layer >= 0 && layer < 32 && (skipped & (1u << layer)); };
        SimTokenList tokens;
        ParseTagText(tokens, text.c_str(), context);
        ExpectSane(text, tokens);
        if (HasFatalFailure())
            return;
    }
}

TEST(TagParserHostile, AdversarialTextsParseWithinTheirLimits)
{
    const std::vector<std::wstring> texts = {
        std::wstring(100000, L'{'),
        std::wstring(100000, L'}'),
        L"{" + std::wstring(200000, L'A'),
        L"{RUN:" + std::wstring(50000, L'x') + L"}",
        L"{CB:" + std::wstring(50000, L'y') + L"}",
        std::wstring(20000, L'\xD800'),
        L"{WAIT:99999999999999999999999-1}{HOLD:-99999999999999}{WAITMS:--}{HOLDMS:<-<}",
        L"{LAYER:NEXT}{LAYER:PREV}{LAYER:LAST}{LAYER:2147483647}{LAYER:-2147483648}",
        L"{F2147483647}{F-2147483648}{VKC:-1}{SC:4294967295}{EXT:99999999999}",
        L"{POSTWM:0xFFFFFFFFFFFFFFFFFF,h,x}{SENDWM:,,,,,,}{POSTWM}",
        L"{MSET:99999999999999,99999999999999}{MADD:-,-}{MSAVE:-2147483648}{MREST:2147483647}",
        L"{VOL+:2147483647}{VOL-:-2147483648}{VOL:99999999999}",
        L"{PRESS}{PRESS}{RELEASE}{CLEAR}{CLEAR}{APPS}{ALTGR}{PRESS}{ALTGR}{RELEASE}{ALTGR}",
    };
    for (const std::wstring& text : texts)
    {
        TagParseContext context = inputtest::TestContext();
        context.layerCount = 2147483647;
        context.isLayerSkipped = [](int) { return true; };
        SimTokenList tokens;
        ParseTagText(tokens, text.c_str(), context);
        ExpectSane(text, tokens);
    }
}

TEST(TagParserHostile, LongTextsMakeOneTokenPerKey)
{
    // 100,000 characters of plain text and of tags: each makes at most one token per
    // character and the parse returns (a hang would time the suite out).
    std::wstring plain(100000, L'a');
    std::wstring tags;
    for (int i = 0; i < 10000; ++i)
        tags += L"{ENTER}";
    for (const std::wstring* text : {&plain, &tags})
    {
        SimTokenList tokens;
        ASSERT_TRUE(ParseTagText(tokens, text->c_str(), inputtest::TestContext()));
        EXPECT_EQ(tokens.size(), text == &plain ? 100000u : 10000u);
    }
}
