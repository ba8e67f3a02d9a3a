// The real road: tag text parsed into tokens, queued, sent by the real
// "BRMP Send Input Thread" with SendInput, and received by the probe window.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "InputTestSupport.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "StringFormat.h"
#include "WaitFor.h"

using brmptest::Named;
using brmptest::ProbeRecord;

namespace
{
constexpr ULONG_PTR KeySignature = 0x6B657931;
constexpr ULONG_PTR MouseSignature = 0x6D6F7531;

class SendInputEndToEnd : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_probe = std::make_unique<brmptest::Probe>();
        s_started = s_probe->Start();
        s_queue = std::make_unique<CSendInput>();
        s_queue->Start();
    }
    static void TearDownTestSuite()
    {
        s_queue.reset();
        s_probe.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_started) << "the probe did not start";
        ASSERT_TRUE(s_probe->Activate());
        // The releases an earlier test sent may still be on their way: a fence
        // key sent through the same queue arrives after all of them.
        s_probe->Clear();
        Type(L"{VKC135}");
        ASSERT_TRUE(s_probe->WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_F24)).has_value()) << s_probe->Describe();
        s_probe->Clear();
    }

    // Parses text and performs every token once, as a button's single-shot action does.
    static void Type(const wchar_t* text)
    {
        SimTokenList tokens;
        ASSERT_TRUE(ParseTagText(tokens, text, TagParseContext{}));
        SimTokenSendContext context;
        context.sendInput = s_queue.get();
        context.defaultHoldTime = 1;
        context.keyExtraInfo = KeySignature;
        context.mouseExtraInfo = MouseSignature;
        for (const auto& token : tokens)
            token->SendSingleShot(context, SIMSEQ_WHOLE, false, false);
        s_queue->SignalQueue();
    }

    static std::vector<ProbeRecord> KeyRecords(std::size_t count)
    {
        return s_probe->WaitForRecords(
            [](const ProbeRecord& r) { return r.Is(L"WM_KEYDOWN") || r.Is(L"WM_KEYUP"); }, count);
    }

    // The system's view of the keys (Wine may answer from a cache that is a few
    // milliseconds old: callers poll).
    static bool AnyKeyDown(std::initializer_list<int> keys)
    {
        for (int vk : keys)
        {
            if (::GetAsyncKeyState(vk) & 0x8000)
                return true;
        }
        return false;
    }

    static std::unique_ptr<brmptest::Probe> s_probe;
    static std::unique_ptr<CSendInput> s_queue;
    static bool s_started;
};

std::unique_ptr<brmptest::Probe> SendInputEndToEnd::s_probe;
std::unique_ptr<CSendInput> SendInputEndToEnd::s_queue;
bool SendInputEndToEnd::s_started = false;
}

TEST_F(SendInputEndToEnd, TypedTextArrivesAsItsCharactersInOrder)
{
    Type(L"{SHIFT}hello, {SHIFT}world!");
    const std::vector<ProbeRecord> chars = s_probe->WaitForRecords(Named(L"WM_CHAR"), 13);
    std::wstring typed;
    for (const ProbeRecord& r : chars)
        typed.push_back(static_cast<wchar_t>(r.Value(L"char")));
    EXPECT_EQ(typed, L"Hello, World!") << s_probe->Describe();
    EXPECT_TRUE(brmptest::WaitFor([] { return !AnyKeyDown({VK_SHIFT, VK_LSHIFT, 'H', 'W', '1'}); }));
}

TEST_F(SendInputEndToEnd, CtrlCArrivesAsCtrlDownCDownCUpCtrlUp)
{
    Type(L"{CTRL}c");
    const std::vector<ProbeRecord> keys = KeyRecords(4);
    ASSERT_EQ(keys.size(), 4u) << s_probe->Describe();
    const char* expected[] = {"WM_KEYDOWN 11", "WM_KEYDOWN 43", "WM_KEYUP 43", "WM_KEYUP 11"};
    for (std::size_t i = 0; i < 4; ++i)
    {
        char text[64];
        snprintf(text, sizeof(text), "%s %llX", inputtest::Narrow(keys[i].name).c_str(),
                 static_cast<unsigned long long>(keys[i].Value(L"vk")));
        EXPECT_STREQ(text, expected[i]) << s_probe->Describe();
        // Our own keys carry the signature the hooks recognise them by.
        EXPECT_EQ(static_cast<ULONG_PTR>(keys[i].Value(L"extra")), KeySignature);
    }
    // Nothing is left pressed: the system and the queue agree.
    EXPECT_TRUE(brmptest::WaitFor([] { return !AnyKeyDown({VK_CONTROL, VK_LCONTROL, 'C'}); }));
    EXPECT_EQ(s_queue->HeldKeyCount(), 0u);
}

TEST_F(SendInputEndToEnd, AWaitBetweenTwoKeysShowsInTheirArrivalTimes)
{
    Type(L"a{WAITMS:200}b");
    const std::vector<ProbeRecord> downs = s_probe->WaitForRecords(Named(L"WM_KEYDOWN"), 2);
    ASSERT_EQ(downs.size(), 2u) << s_probe->Describe();
    EXPECT_EQ(downs[0].Value(L"vk"), 'A');
    EXPECT_EQ(downs[1].Value(L"vk"), 'B');
    EXPECT_GE(downs[1].Value(L"tick") - downs[0].Value(L"tick"), 190) << s_probe->Describe();
}

TEST_F(SendInputEndToEnd, APressOnlyModifierIsReleasedByClear)
{
    Type(L"{PRESS}{SHIFT}x");
    ASSERT_TRUE(s_probe->WaitForRecord(Named(L"WM_CHAR", L"char", 'X')).has_value()) << s_probe->Describe();
    ASSERT_TRUE(s_probe->WaitForRecord(Named(L"WM_KEYUP", L"vk", 'X')).has_value()) << s_probe->Describe();
    EXPECT_TRUE(brmptest::WaitFor([] { return AnyKeyDown({VK_SHIFT}); }));
    // The queue counts a release once it is sent, a moment after the probe may have it.
    EXPECT_TRUE(brmptest::WaitFor([] { return s_queue->HeldKeyCount() == 1; })) << s_queue->HeldKeyCount();
    Type(L"{RELEASE}{SHIFT}");
    EXPECT_TRUE(brmptest::WaitFor([] { return !AnyKeyDown({VK_SHIFT, VK_LSHIFT}); }));
    EXPECT_TRUE(brmptest::WaitFor([] { return s_queue->HeldKeyCount() == 0; }));
}

TEST_F(SendInputEndToEnd, AFlushLeavesAModifierPressedOnPurposeDown)
{
    Type(L"{PRESS}{CTRL}");
    ASSERT_TRUE(brmptest::WaitFor([] { return s_queue->HeldKeyCount() == 1; }));
    EXPECT_TRUE(brmptest::WaitFor([] { return AnyKeyDown({VK_CONTROL}); }));
    // The key typed after the flush arrives with Ctrl still down (Ctrl+K).
    Type(L"{FLUSH}k");
    EXPECT_TRUE(s_probe->WaitForRecord(Named(L"WM_CHAR", L"char", 0x0B)).has_value()) << s_probe->Describe();
    ASSERT_TRUE(s_probe->WaitForRecord(Named(L"WM_KEYUP", L"vk", 'K')).has_value()) << s_probe->Describe();
    EXPECT_TRUE(s_probe->Records(Named(L"WM_KEYUP", L"vk", VK_CONTROL)).empty()) << s_probe->Describe();
    EXPECT_TRUE(brmptest::WaitFor([] { return s_queue->HeldKeyCount() == 1; })) << s_queue->HeldKeyCount();
    Type(L"{RELEASE}{CTRL}");
    EXPECT_TRUE(brmptest::WaitFor([] { return !AnyKeyDown({VK_CONTROL, VK_LCONTROL}); }));
    EXPECT_TRUE(brmptest::WaitFor([] { return s_queue->HeldKeyCount() == 0; }));
}

TEST_F(SendInputEndToEnd, AFlushDuringAWaitNeverLeavesTheMouseButtonDown)
{
    // Away from the centre, so that the next test's click there is no double click.
    const POINT centre = s_probe->Center();
    wchar_t text[64];
    FormatArray(text, L"{MSET:%ld,%ld}{LMBD}{WAIT:2}{LMBU}", centre.x - 60, centre.y - 40);
    Type(text);
    ASSERT_TRUE(s_probe->WaitForRecord(Named(L"WM_LBUTTONDOWN")).has_value()) << s_probe->Describe();
    EXPECT_TRUE(brmptest::WaitFor([] { return AnyKeyDown({VK_LBUTTON}); }));
    EXPECT_EQ(s_queue->HeldButtonCount(), 1u);
    // The flush drops the queued release with the rest of the wait.
    s_queue->FlushQueue(false);
    EXPECT_TRUE(s_probe->WaitForRecord(Named(L"WM_LBUTTONUP"), 1000).has_value()) << s_probe->Describe();
    EXPECT_TRUE(brmptest::WaitFor([] { return !AnyKeyDown({VK_LBUTTON}); }));
    EXPECT_EQ(s_queue->HeldButtonCount(), 0u);
}

TEST_F(SendInputEndToEnd, CursorTagsMoveThePointerAndAClickLandsWhereItIs)
{
    const POINT centre = s_probe->Center();
    // Under Wine, after the earlier tests' injected presses the X pointer can
    // stay behind where they placed it, and Wine then puts its own pointer back
    // there after every placement. A physical move brings both to one place.
    ASSERT_TRUE(brmptest::PhysicalInput::MoveTo(centre.x, centre.y));
    EXPECT_TRUE(brmptest::WaitFor([&] {
        POINT p;
        return ::GetCursorPos(&p) && p.x == centre.x && p.y == centre.y;
    }));
    wchar_t text[64];
    FormatArray(text, L"{MSET:%ld,%ld}{LMB}", centre.x, centre.y);
    Type(text);
    // Soon after an earlier test's click on the same spot, the press arrives as a double click.
    const auto down = s_probe->WaitForRecord(
        [](const ProbeRecord& r) { return r.Is(L"WM_LBUTTONDOWN") || r.Is(L"WM_LBUTTONDBLCLK"); });
    ASSERT_TRUE(down.has_value()) << s_probe->Describe();
    EXPECT_EQ(down->Value(L"sx"), centre.x);
    EXPECT_EQ(down->Value(L"sy"), centre.y);
    EXPECT_EQ(static_cast<ULONG_PTR>(down->Value(L"extra")), MouseSignature);
    EXPECT_TRUE(s_probe->WaitForRecord(Named(L"WM_LBUTTONUP")).has_value()) << s_probe->Describe();

    // Save the position in store 1, move away, restore it.
    Type(L"{MSAVE:1}{MADD:-40,-30}");
    EXPECT_TRUE(brmptest::WaitFor([&] {
        POINT p;
        return ::GetCursorPos(&p) && p.x == centre.x - 40 && p.y == centre.y - 30;
    }));
    // Wine follows each placement with the X pointer's own motion a moment
    // later, which would undo a placement made before it arrives; a physical
    // move comes after that motion.
    const POINT away{centre.x + 50, centre.y + 40};
    ASSERT_TRUE(brmptest::PhysicalInput::MoveTo(away.x, away.y));
    ASSERT_TRUE(brmptest::WaitFor([&] {
        POINT p;
        return ::GetCursorPos(&p) && p.x == away.x && p.y == away.y;
    }));
    Type(L"{MREST:1}");
    POINT p{};
    EXPECT_TRUE(brmptest::WaitFor([&] { return ::GetCursorPos(&p) && p.x == centre.x && p.y == centre.y; }))
        << "the pointer is at " << p.x << "," << p.y;
}
