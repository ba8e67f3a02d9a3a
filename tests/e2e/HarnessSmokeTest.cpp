// The end-to-end harness itself: physical input from xdotool reaches the probe
// window with the right values, and low-level hooks see and can swallow it.

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <memory>

#include "CommandLine.h"
#include "LowLevelHook.h"
#include "PhysicalInput.h"
#include "Probe.h"

using namespace brmptest;

namespace
{

class HarnessSmoke : public ::testing::Test
{
protected:
    // One probe for the suite: starting one costs about a second under Wine.
    static void SetUpTestSuite()
    {
        s_probe = std::make_unique<brmptest::Probe>();
        s_started = s_probe->Start();
    }
    static void TearDownTestSuite()
    {
        if (s_probe)
        {
            EXPECT_TRUE(s_probe->Close());
        }
        s_probe.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_started);
        ASSERT_TRUE(TheProbe().Activate());
        TheProbe().Clear();
    }

    static Probe& TheProbe() { return *s_probe; }

    // Distinct points for successive clicks, so that two clicks of one button
    // never make a double click.
    static POINT PointNearCenter(int step)
    {
        const POINT center = s_probe->Center();
        return {center.x - 300 + 37 * (step % 16), center.y - 200 + 29 * (step % 12)};
    }

    // Both records arrived, the down before the up, at the given screen point.
    static void ExpectDownThenUp(brmptest::Probe& probe, const ProbeRecordPredicate& down,
                                 const ProbeRecordPredicate& up, POINT at)
    {
        const std::optional<ProbeRecord> upRecord = probe.WaitForRecord(up);
        const std::vector<ProbeRecord> downs = probe.Records(down);
        ASSERT_TRUE(upRecord.has_value()) << probe.Describe();
        ASSERT_EQ(downs.size(), 1u) << probe.Describe();
        EXPECT_LT(downs[0].Value(L"seq"), upRecord->Value(L"seq"));
        for (const ProbeRecord& record : {downs[0], *upRecord})
        {
            EXPECT_EQ(record.Value(L"sx", -1), at.x) << record.line;
            EXPECT_EQ(record.Value(L"sy", -1), at.y) << record.line;
            EXPECT_EQ(record.Value(L"extra", -1), 0) << record.line;
        }
    }

    // Once the probe has this key, every input before it has been delivered.
    static ::testing::AssertionResult Fence()
    {
        if (!PhysicalInput::KeyTap(L"F9"))
            return ::testing::AssertionFailure() << "xdotool key failed";
        if (!TheProbe().WaitForRecord(Named(L"WM_KEYUP", L"vk", VK_F9)))
            return ::testing::AssertionFailure() << "the fence key never arrived\n" << TheProbe().Describe();
        return ::testing::AssertionSuccess();
    }

    static std::unique_ptr<brmptest::Probe> s_probe;
    static ::testing::AssertionResult s_started;
};

std::unique_ptr<brmptest::Probe> HarnessSmoke::s_probe;
::testing::AssertionResult HarnessSmoke::s_started = ::testing::AssertionFailure();

TEST_F(HarnessSmoke, EveryMouseButtonClickReachesTheProbeAtThePointer)
{
    struct Case
    {
        int button;
        const wchar_t* down;
        const wchar_t* up;
        long long xbutton;    // 0 when the record has none
        long long appCommand; // what the default window procedure makes of the up; 0: none
    };
    const Case cases[] = {
        {PhysicalInput::kLeft, L"WM_LBUTTONDOWN", L"WM_LBUTTONUP", 0, 0},
        {PhysicalInput::kRight, L"WM_RBUTTONDOWN", L"WM_RBUTTONUP", 0, 0},
        {PhysicalInput::kMiddle, L"WM_MBUTTONDOWN", L"WM_MBUTTONUP", 0, 0},
        {PhysicalInput::kBack, L"WM_XBUTTONDOWN", L"WM_XBUTTONUP", XBUTTON1, APPCOMMAND_BROWSER_BACKWARD},
        {PhysicalInput::kForward, L"WM_XBUTTONDOWN", L"WM_XBUTTONUP", XBUTTON2, APPCOMMAND_BROWSER_FORWARD},
    };
    int step = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "xdotool button " << c.button);
        TheProbe().Clear();
        const POINT at = PointNearCenter(step++);
        ASSERT_TRUE(PhysicalInput::ClickAt(at.x, at.y, c.button));
        if (c.xbutton != 0)
            ExpectDownThenUp(TheProbe(), Named(c.down, L"button", c.xbutton), Named(c.up, L"button", c.xbutton), at);
        else
            ExpectDownThenUp(TheProbe(), Named(c.down), Named(c.up), at);
        if (c.appCommand != 0)
        {
            EXPECT_TRUE(TheProbe().WaitForRecord(Named(L"WM_APPCOMMAND", L"command", c.appCommand)))
                << TheProbe().Describe();
        }
    }
}

TEST_F(HarnessSmoke, WheelNotchesReachTheProbeWithTheirDirection)
{
    struct Case
    {
        int button;
        const wchar_t* message;
        long long delta;
    };
    const Case cases[] = {
        {PhysicalInput::kWheelUp, L"WM_MOUSEWHEEL", WHEEL_DELTA},
        {PhysicalInput::kWheelDown, L"WM_MOUSEWHEEL", -WHEEL_DELTA},
        {PhysicalInput::kWheelLeft, L"WM_MOUSEHWHEEL", -WHEEL_DELTA},
        {PhysicalInput::kWheelRight, L"WM_MOUSEHWHEEL", WHEEL_DELTA},
    };
    const POINT at = PointNearCenter(7);
    ASSERT_TRUE(PhysicalInput::MoveTo(at.x, at.y));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "xdotool button " << c.button);
        TheProbe().Clear();
        ASSERT_TRUE(PhysicalInput::Click(c.button));
        const std::optional<ProbeRecord> wheel = TheProbe().WaitForRecord(Named(c.message));
        ASSERT_TRUE(wheel.has_value()) << TheProbe().Describe();
        EXPECT_EQ(wheel->Value(L"delta"), c.delta) << wheel->line;
        EXPECT_EQ(wheel->Value(L"sx"), at.x);
        EXPECT_EQ(wheel->Value(L"sy"), at.y);
        ASSERT_TRUE(Fence());
        EXPECT_EQ(TheProbe().Records(Named(c.message)).size(), 1u) << TheProbe().Describe();
    }
    // The wrappers count notches in the same directions.
    TheProbe().Clear();
    ASSERT_TRUE(PhysicalInput::Wheel(-2));
    ASSERT_TRUE(PhysicalInput::HorizontalWheel(1));
    ASSERT_TRUE(TheProbe().WaitForRecord(Named(L"WM_MOUSEHWHEEL", L"delta", WHEEL_DELTA))) << TheProbe().Describe();
    ASSERT_TRUE(Fence());
    EXPECT_EQ(TheProbe().Records(Named(L"WM_MOUSEWHEEL", L"delta", -WHEEL_DELTA)).size(), 2u) << TheProbe().Describe();
    EXPECT_EQ(TheProbe().Records(Named(L"WM_MOUSEHWHEEL")).size(), 1u) << TheProbe().Describe();
}

TEST_F(HarnessSmoke, KeysReachTheFocusedProbeWithVirtualKeyAndScanCode)
{
    struct Case
    {
        const wchar_t* keysym;
        long long vk;
        long long scan;
        long long extended;
        long long character; // 0: the key makes no WM_CHAR
    };
    const Case cases[] = {
        {L"a", 'A', 0x1E, 0, 'a'},
        {L"Return", VK_RETURN, 0x1C, 0, '\r'},
        {L"F5", VK_F5, 0x3F, 0, 0},
        {L"Right", VK_RIGHT, 0x4D, 1, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "key " << c.keysym);
        TheProbe().Clear();
        ASSERT_TRUE(PhysicalInput::KeyTap(c.keysym));
        const std::optional<ProbeRecord> up = TheProbe().WaitForRecord(Named(L"WM_KEYUP", L"vk", c.vk));
        ASSERT_TRUE(up.has_value()) << TheProbe().Describe();
        const std::vector<ProbeRecord> downs = TheProbe().Records(Named(L"WM_KEYDOWN", L"vk", c.vk));
        ASSERT_EQ(downs.size(), 1u) << TheProbe().Describe();
        for (const ProbeRecord& record : {downs[0], *up})
        {
            EXPECT_EQ(record.Value(L"scan"), c.scan) << record.line;
            EXPECT_EQ(record.Value(L"extended"), c.extended) << record.line;
        }
        EXPECT_EQ(downs[0].Value(L"up"), 0);
        EXPECT_EQ(up->Value(L"up"), 1);
        EXPECT_LT(downs[0].Value(L"seq"), up->Value(L"seq"));
        const std::vector<ProbeRecord> chars = TheProbe().Records(Named(L"WM_CHAR"));
        if (c.character != 0)
        {
            ASSERT_EQ(chars.size(), 1u) << TheProbe().Describe();
            EXPECT_EQ(chars[0].Value(L"char"), c.character);
        }
        else
        {
            EXPECT_TRUE(chars.empty()) << TheProbe().Describe();
        }
    }
}

TEST_F(HarnessSmoke, TypedTextArrivesAsCharactersInOrder)
{
    const std::wstring text = L"Hi \"there\" 7\\";
    ASSERT_TRUE(PhysicalInput::Type(text));
    TheProbe().WaitForRecords(Named(L"WM_CHAR"), text.size());
    ASSERT_TRUE(Fence());
    std::wstring received;
    for (const ProbeRecord& record : TheProbe().Records(Named(L"WM_CHAR")))
        received += static_cast<wchar_t>(record.Value(L"char"));
    EXPECT_EQ(received, text) << TheProbe().Describe();
}

TEST_F(HarnessSmoke, AMouseHookSeesAPhysicalClickAsNotInjected)
{
    LowLevelMouseHook hook;
    ASSERT_TRUE(hook.IsInstalled());
    const POINT at = PointNearCenter(11);
    ASSERT_TRUE(PhysicalInput::ClickAt(at.x, at.y, PhysicalInput::kLeft));

    const auto isUp = [](const MouseHookEvent& e) { return e.message == WM_LBUTTONUP; };
    ASSERT_TRUE(hook.WaitForEvent(isUp).has_value());
    ExpectDownThenUp(TheProbe(), Named(L"WM_LBUTTONDOWN"), Named(L"WM_LBUTTONUP"), at);
    const std::vector<MouseHookEvent> events = hook.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].message, static_cast<WPARAM>(WM_LBUTTONDOWN));
    EXPECT_EQ(events[1].message, static_cast<WPARAM>(WM_LBUTTONUP));
    for (const MouseHookEvent& e : events)
    {
        EXPECT_EQ(e.flags, 0u);
        EXPECT_EQ(e.pt.x, at.x);
        EXPECT_EQ(e.pt.y, at.y);
        EXPECT_EQ(e.extraInfo, 0u);
    }

    // What a program sends itself is marked injected: the contrast the system relies on.
    hook.Clear();
    ASSERT_TRUE(SendProgramClick(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0x5EED));
    const auto injectedUp = hook.WaitForEvent([](const MouseHookEvent& e) { return e.message == WM_MBUTTONUP; });
    ASSERT_TRUE(injectedUp.has_value());
    EXPECT_NE(injectedUp->flags & LLMHF_INJECTED, 0u);
    EXPECT_EQ(injectedUp->extraInfo, 0x5EEDu);
    const std::optional<ProbeRecord> probeUp = TheProbe().WaitForRecord(Named(L"WM_MBUTTONUP"));
    ASSERT_TRUE(probeUp.has_value()) << TheProbe().Describe();
    EXPECT_EQ(probeUp->Value(L"extra"), 0x5EED);
}

TEST_F(HarnessSmoke, AKeyboardHookSeesAPhysicalKeyAsNotInjected)
{
    LowLevelKeyboardHook hook;
    ASSERT_TRUE(hook.IsInstalled());
    ASSERT_TRUE(PhysicalInput::KeyTap(L"b"));
    const auto up = hook.WaitForEvent([](const KeyHookEvent& e) { return e.message == WM_KEYUP && e.vk == 'B'; });
    ASSERT_TRUE(up.has_value());
    EXPECT_EQ(up->flags & LLKHF_INJECTED, 0u);
    EXPECT_EQ(up->scan, 0x30u);
    EXPECT_TRUE(TheProbe().WaitForRecord(Named(L"WM_CHAR", L"char", 'b'))) << TheProbe().Describe();
}

TEST_F(HarnessSmoke, AHookThatSwallowsAClickKeepsItFromTheProbe)
{
    LowLevelMouseHook hook;
    ASSERT_TRUE(hook.IsInstalled());
    hook.SetSwallow([](const MouseHookEvent& e) { return e.message == WM_LBUTTONDOWN || e.message == WM_LBUTTONUP; });
    const POINT at = PointNearCenter(5);
    ASSERT_TRUE(PhysicalInput::ClickAt(at.x, at.y, PhysicalInput::kLeft));
    // Input arrives in order: once a later middle click reached the probe, the
    // swallowed left click would have arrived before it.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kMiddle));
    ASSERT_TRUE(TheProbe().WaitForRecord(Named(L"WM_MBUTTONUP"))) << TheProbe().Describe();
    EXPECT_TRUE(TheProbe().Records(Named(L"WM_LBUTTONDOWN")).empty()) << TheProbe().Describe();
    EXPECT_TRUE(TheProbe().Records(Named(L"WM_LBUTTONUP")).empty()) << TheProbe().Describe();
    int swallowed = 0;
    for (const MouseHookEvent& e : hook.Events())
        swallowed += e.swallowed ? 1 : 0;
    EXPECT_EQ(swallowed, 2);

    // Without the predicate, the next click passes again.
    hook.SetSwallow(nullptr);
    TheProbe().Clear();
    const POINT next = PointNearCenter(9);
    ASSERT_TRUE(PhysicalInput::ClickAt(next.x, next.y, PhysicalInput::kLeft));
    ExpectDownThenUp(TheProbe(), Named(L"WM_LBUTTONDOWN"), Named(L"WM_LBUTTONUP"), next);
}

TEST_F(HarnessSmoke, TheProbeRecordsWindowCommandsAndGetsTheFocusBack)
{
    ASSERT_TRUE(::PostMessageW(TheProbe().Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0));
    ASSERT_TRUE(TheProbe().WaitForRecord(Named(L"WM_SIZE", L"type", SIZE_MINIMIZED))) << TheProbe().Describe();
    EXPECT_EQ(TheProbe().Records(Named(L"WM_SYSCOMMAND", L"command", SC_MINIMIZE)).size(), 1u) << TheProbe().Describe();

    TheProbe().Clear();
    ASSERT_TRUE(TheProbe().Activate());
    EXPECT_TRUE(TheProbe().WaitForRecord(Named(L"WM_SIZE", L"type", SIZE_RESTORED))) << TheProbe().Describe();
    EXPECT_TRUE(TheProbe().WaitForRecord(Named(L"WM_SETFOCUS"))) << TheProbe().Describe();
    EXPECT_TRUE(TheProbe().WaitForRecord([](const ProbeRecord& r) { return r.Is(L"WM_ACTIVATE") && r.Value(L"state") != 0; }))
        << TheProbe().Describe();

    // A key still reaches it after the round trip.
    TheProbe().Clear();
    ASSERT_TRUE(PhysicalInput::KeyTap(L"z"));
    EXPECT_TRUE(TheProbe().WaitForRecord(Named(L"WM_CHAR", L"char", 'z'))) << TheProbe().Describe();
}

TEST_F(HarnessSmoke, ASecondProbeInItsOwnPlaceGetsOnlyTheClicksOnIt)
{
    ProbeOptions options;
    options.title = L"Second probe";
    options.rect = {900, 600, 1200, 900};
    options.activate = false;
    options.topmost = true;
    options.warmUp = false;
    brmptest::Probe second(options);
    ASSERT_TRUE(second.Start());
    EXPECT_TRUE(TheProbe().IsFocused()); // it did not take the focus
    const RECT client = second.ClientRect();
    ASSERT_GT(client.right - client.left, 200);
    const POINT at = {client.left + 50, client.top + 50};
    ASSERT_TRUE(PhysicalInput::ClickAt(at.x, at.y, PhysicalInput::kLeft));
    const std::optional<ProbeRecord> up = second.WaitForRecord(Named(L"WM_LBUTTONUP"));
    ASSERT_TRUE(up.has_value()) << second.Describe();
    EXPECT_EQ(up->Value(L"x"), 50);
    EXPECT_EQ(up->Value(L"y"), 50);
    EXPECT_TRUE(TheProbe().Records(Named(L"WM_LBUTTONUP")).empty()) << TheProbe().Describe();
    EXPECT_TRUE(second.Close());
    EXPECT_FALSE(second.IsRunning());
}

TEST(HarnessParts, ProbeRecordLinesParseIntoNameAndValues)
{
    const auto record = ProbeRecord::Parse(L"WM_XBUTTONDOWN x=-3 y=40 keys=0x20 extra=0xffffffffffffffff button=2");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->name, L"WM_XBUTTONDOWN");
    EXPECT_EQ(record->Value(L"x"), -3);
    EXPECT_EQ(record->Value(L"keys"), 0x20);
    EXPECT_EQ(record->Value(L"extra"), -1); // all 64 bits kept
    EXPECT_EQ(record->Value(L"button"), 2);
    EXPECT_FALSE(record->Has(L"delta"));
    EXPECT_EQ(record->Value(L"delta", 99), 99);

    for (const wchar_t* bad : {L"", L"   ", L"WM_CHAR char", L"WM_CHAR =5", L"WM_CHAR char=", L"WM_CHAR char=5x",
                               L"WM_CHAR char=0xZZ"})
        EXPECT_FALSE(ProbeRecord::Parse(bad).has_value()) << "line: \"" << bad << "\"";
}

TEST(HarnessParts, QuotedArgumentsComeBackUnchanged)
{
    const std::vector<std::wstring> arguments = {
        L"plain", L"two words", L"", L"say \"hi\"", L"C:\\Program Files\\", L"back\\\\slash\\\"quote", L"tab\there",
        L"ends with \\"};
    const std::wstring commandLine = BuildCommandLine(L"C:\\some folder\\program.exe", arguments);
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(commandLine.c_str(), &argc);
    ASSERT_NE(argv, nullptr);
    ASSERT_EQ(argc, static_cast<int>(arguments.size()) + 1) << commandLine;
    EXPECT_STREQ(argv[0], L"C:\\some folder\\program.exe");
    for (std::size_t i = 0; i < arguments.size(); ++i)
        EXPECT_EQ(argv[i + 1], arguments[i]) << commandLine;
    ::LocalFree(argv);
}

} // namespace
