#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "InputTestSupport.h"
#include "ThreadStop.h"
#include "WaitFor.h"

using inputtest::RecordingServices;
using inputtest::RecordingSink;

namespace
{
constexpr ULONG_PTR Signature = 0x5151;

// A queue without its worker: the test drains it on its own thread.
struct QueueFixture
{
    RecordingSink sink;
    RecordingServices services;
    CSendInput queue{&sink, &services};

    QueueFixture() { queue.SetAutoStart(false); }

    bool Key(int vk, UINT modifiers, bool release, UINT scan = 0, bool unicode = false, bool extended = false)
    {
        UINT pending = 0;
        return queue.SendKeyState(vk, extended, modifiers, scan, unicode, release, 0, Signature, ::GetKeyboardLayout(0),
                                  pending);
    }
};

INPUT KeyRecord(WORD vk, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}
}

TEST(SendInputQueue, ModifiersArePressedBeforeTheKeyAndReleasedAfterItInReverse)
{
    QueueFixture f;
    ASSERT_TRUE(f.Key('C', SIMMOD_CTRL | SIMMOD_SHIFT, false));
    ASSERT_TRUE(f.Key('C', SIMMOD_CTRL | SIMMOD_SHIFT, true));
    f.queue.ProcessQueue();
    EXPECT_EQ(f.sink.Keys(), (std::vector<std::string>{"A0+", "A2+", "43+", "43-", "A2-", "A0-"}));

    QueueFixture all;
    all.Key('A', 0x1FF, false);
    all.Key('A', 0x1FF, true);
    all.queue.ProcessQueue();
    EXPECT_EQ(all.sink.Keys(), (std::vector<std::string>{"A0+", "A1+", "A2+", "A3+", "A4+", "A5+", "5B+", "5C+", "5D+",
                                                         "41+", "41-", "5D-", "5C-", "5B-", "A5-", "A4-", "A3-", "A2-",
                                                         "A1-", "A0-"}));
}

TEST(SendInputQueue, KeyRecordsCarryTheSignatureAndTheRightSendMode)
{
    struct KeyCase
    {
        const char* name;
        int vk;
        UINT scan;
        bool unicode;
        bool extended;
        WORD expectedVk;
        WORD expectedScan;
        DWORD expectedFlags;   // without KEYUP
    };
    const KeyCase cases[] = {
        {"scan code given", 'A', 0x1E, false, false, 'A', 0x1E, KEYEVENTF_SCANCODE},
        {"scan 0xFFFFFFFF: virtual key only", VK_PAUSE, 0xFFFFFFFF, false, false, VK_PAUSE, 0, 0},
        {"unicode character", 0, 0x20AC, true, false, 0, 0x20AC, KEYEVENTF_UNICODE},
        {"scan code looked up", 'B', 0, false, false, 'B', 0x30, KEYEVENTF_SCANCODE},
        {"extended flag kept", VK_INSERT, 0xFFFFFFFF, false, true, VK_INSERT, 0, KEYEVENTF_EXTENDEDKEY},
        {"shift state above the key is not sent", 0x131, 0x10002, false, false, 0x31, 0x02, KEYEVENTF_SCANCODE},
        {"scan-only key", 0, 0x39, false, true, 0, 0x39, KEYEVENTF_SCANCODE | KEYEVENTF_EXTENDEDKEY},
    };
    for (const KeyCase& c : cases)
    {
        QueueFixture f;
        ASSERT_TRUE(f.Key(c.vk, 0, false, c.scan, c.unicode, c.extended)) << c.name;
        ASSERT_TRUE(f.Key(c.vk, 0, true, c.scan, c.unicode, c.extended)) << c.name;
        f.queue.ProcessQueue();
        const std::vector<INPUT> sent = f.sink.All();
        ASSERT_EQ(sent.size(), 2u) << c.name;
        for (int i = 0; i < 2; ++i)
        {
            EXPECT_EQ(sent[i].type, static_cast<DWORD>(INPUT_KEYBOARD)) << c.name;
            EXPECT_EQ(sent[i].ki.wVk, c.expectedVk) << c.name;
            EXPECT_EQ(sent[i].ki.wScan, c.expectedScan) << c.name;
            EXPECT_EQ(sent[i].ki.dwFlags, c.expectedFlags | (i == 1 ? KEYEVENTF_KEYUP : 0)) << c.name;
            EXPECT_EQ(sent[i].ki.dwExtraInfo, Signature) << c.name;
        }
    }
}

TEST(SendInputQueue, AnExtendedScanCodeIsSentAsItsLowByteWithTheExtendedFlag)
{
    QueueFixture f;
    ASSERT_TRUE(f.Key(VK_RIGHT, 0, false));
    f.queue.ProcessQueue();
    const std::vector<INPUT> sent = f.sink.All();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_LE(sent[0].ki.wScan, 0xFF);
    EXPECT_EQ(sent[0].ki.wVk, VK_RIGHT);
}

TEST(SendInputQueue, AnInvalidVirtualKeyIsRefusedAndNothingIsQueued)
{
    QueueFixture f;
    EXPECT_FALSE(f.Key(-1, SIMMOD_CTRL, false));
    EXPECT_EQ(f.queue.QueueLength(), 0u);
}

TEST(SendInputQueue, ThePendingDelayGoesToThePressAndIsConsumed)
{
    QueueFixture f;
    UINT pending = 300;
    f.queue.SendKeyState('A', false, SIMMOD_CTRL, 0, false, false, 5, 0, nullptr, pending);
    EXPECT_EQ(pending, 0u);
    EXPECT_EQ(f.queue.QueueLength(), 2u);
}

TEST(SendInputQueue, MouseRequestsBuildTheirRecords)
{
    struct MouseCase
    {
        const char* name;
        int button;
        int kind;
        bool leftDown;
        std::vector<DWORD> flags;
        DWORD data;
    };
    const MouseCase cases[] = {
        {"left down", 0, 1, false, {MOUSEEVENTF_LEFTDOWN}, 0},
        {"right up", 1, 2, false, {MOUSEEVENTF_RIGHTUP}, 0},
        {"middle double", 2, 3, false, {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP}, 0},
        {"X1 double: four records with data 1", 3, 3, false, {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP}, XBUTTON1},
        {"X2 down", 4, 1, false, {MOUSEEVENTF_XDOWN}, XBUTTON2},
        {"left double while left is down", 0, 3, true, {MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN}, 0},
        {"tilt left", 5, 1, false, {MOUSEEVENTF_HWHEEL}, static_cast<DWORD>(-WHEEL_DELTA)},
        {"tilt right", 6, 1, false, {MOUSEEVENTF_HWHEEL}, WHEEL_DELTA},
        {"wheel up", 7, 1, false, {MOUSEEVENTF_WHEEL}, WHEEL_DELTA},
        {"wheel down", 8, 1, false, {MOUSEEVENTF_WHEEL}, static_cast<DWORD>(-WHEEL_DELTA)},
        {"wheel has no up", 7, 2, false, {}, 0},
        {"tilt has no double click", 5, 3, false, {}, 0},
        {"no such button", 9, 1, false, {}, 0},
        {"no such kind", 0, 4, false, {}, 0},
    };
    for (const MouseCase& c : cases)
    {
        const std::vector<INPUT> inputs = BuildMouseInputs(c.button, c.kind, POINT{3, 4}, c.leftDown, Signature);
        ASSERT_EQ(inputs.size(), c.flags.size()) << c.name;
        for (std::size_t i = 0; i < inputs.size(); ++i)
        {
            EXPECT_EQ(inputs[i].type, static_cast<DWORD>(INPUT_MOUSE)) << c.name;
            EXPECT_EQ(inputs[i].mi.dwFlags, c.flags[i]) << c.name;
            EXPECT_EQ(inputs[i].mi.mouseData, c.data) << c.name;
            EXPECT_EQ(inputs[i].mi.dwExtraInfo, Signature) << c.name;
        }
        QueueFixture f;
        EXPECT_EQ(f.queue.SendMouse(c.button, c.kind, POINT{3, 4}, c.leftDown, false, Signature, 0), c.flags.size()) << c.name;
    }
}

TEST(SendInputQueue, AFlushTokenFlushesAtOnceAndIsNotQueued)
{
    QueueFixture f;
    f.Key('A', 0, false);
    f.Key('A', 0, true);
    ASSERT_EQ(f.queue.QueueLength(), 2u);
    EXPECT_TRUE(f.queue.SendSimKeyAction(SIMKEY_FLUSH, 0));
    EXPECT_EQ(f.queue.QueueLength(), 0u);
    f.queue.ProcessQueue();
    EXPECT_TRUE(f.sink.All().empty());
}

TEST(SendInputQueue, AFlushNeverLeavesAKeyPressed)
{
    // The press went out in an earlier drain; its release is still queued when the flush drops it.
    QueueFixture f;
    f.Key(VK_SHIFT, 0, false);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.queue.HeldKeyCount(), 1u);
    f.Key(VK_SHIFT, 0, true);
    EXPECT_TRUE(f.queue.FlushQueue(false));
    f.queue.ProcessQueue();
    EXPECT_EQ(f.sink.Keys(), (std::vector<std::string>{"10+", "10-"}));
    EXPECT_EQ(f.queue.HeldKeyCount(), 0u);
}

TEST(SendInputQueue, AFlushSendsOnlyTheReleasesItDroppedOfWhatIsDown)
{
    // Held on purpose in an earlier batch: a drag, a back button, a key and a modifier.
    QueueFixture f;
    f.queue.SendMouse(0, 1, POINT{}, false, false, Signature, 0);   // left down
    f.queue.SendMouse(4, 1, POINT{}, false, false, Signature, 0);   // X2 down
    f.Key('A', 0, false);
    f.Key(VK_SHIFT, 0, false);
    f.queue.ProcessQueue();
    ASSERT_EQ(f.queue.HeldButtonCount(), 2u);
    ASSERT_EQ(f.queue.HeldKeyCount(), 2u);

    // Queued, then flushed: the modifier's release, a key pressed and
    // released, a right click and the X2 release.
    f.Key(VK_SHIFT, 0, true);
    f.Key('B', 0, false);
    f.Key('B', 0, true);
    f.queue.SendMouse(1, 1, POINT{}, false, false, Signature, 0);
    f.queue.SendMouse(1, 2, POINT{}, false, false, Signature, 0);
    f.queue.SendMouse(4, 2, POINT{}, false, false, Signature, 0);
    f.sink.Clear();
    EXPECT_TRUE(f.queue.FlushQueue(false));
    f.queue.ProcessQueue();
    // Only what is down goes up, in the order it was queued; nothing is pressed.
    EXPECT_EQ(f.sink.KeyText(), "10- ");
    EXPECT_EQ(f.sink.Buttons(), "XU2 ");
    for (const INPUT& input : f.sink.All())
        EXPECT_EQ(input.type == INPUT_KEYBOARD ? input.ki.dwExtraInfo : input.mi.dwExtraInfo, Signature);
    // The drag and the key stay down until their own releases.
    EXPECT_EQ(f.queue.HeldButtonCount(), 1u);
    EXPECT_EQ(f.queue.HeldKeyCount(), 1u);
    f.queue.SendMouse(0, 2, POINT{}, false, false, Signature, 0);
    f.Key('A', 0, true);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.sink.Buttons(), "XU2 LU ");
    EXPECT_EQ(f.sink.KeyText(), "10- 41- ");
}

TEST(SendInputQueue, ABatchOfOnlyVolumeKeysIsDroppedAtTheLimitAndOnlySuchABatchAsksForTheVolume)
{
    struct VolumeCase
    {
        const char* name;
        int volume;
        std::vector<WORD> keys;
        bool sent;
        bool asked;
    };
    const VolumeCase cases[] = {
        {"volume up at 100", 100, {VK_VOLUME_UP}, false, true},
        {"volume down at 0", 0, {VK_VOLUME_DOWN}, false, true},
        {"volume up at 99", 99, {VK_VOLUME_UP}, true, true},
        {"volume down at 100", 100, {VK_VOLUME_DOWN}, true, true},
        {"volume up with another key", 100, {VK_VOLUME_UP, 'A'}, true, false},
        {"both volume keys", 100, {VK_VOLUME_UP, VK_VOLUME_DOWN}, true, false},
        {"volume unknown", -1, {VK_VOLUME_UP}, true, true},
        {"another key", 100, {'A'}, true, false},
    };
    for (const VolumeCase& c : cases)
    {
        QueueFixture f;
        f.services.volume = c.volume;
        for (WORD vk : c.keys)
        {
            INPUT records[2] = {KeyRecord(vk, false), KeyRecord(vk, true)};
            f.queue.SendInputThreaded(2, records, 0, false);
        }
        f.queue.ProcessQueue();
        EXPECT_EQ(!f.sink.All().empty(), c.sent) << c.name;
        EXPECT_EQ(f.queue.QueueLength(), 0u) << c.name;
        EXPECT_EQ(f.services.volumeAsked.load() != 0, c.asked) << c.name;
    }
    // A simulated click never waits for the audio endpoint.
    QueueFixture f;
    f.services.volume = 50;
    f.queue.SendMouse(0, 1, POINT{10, 10}, false, false, Signature, 0);
    f.queue.SendMouse(0, 2, POINT{10, 10}, false, false, Signature, 0);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.sink.All().size(), 2u);
    EXPECT_EQ(f.services.volumeAsked.load(), 0);
}

TEST(SendInputQueue, CursorStoresAreNumberedOneToTenAndBoundsChecked)
{
    QueueFixture f;
    f.sink.cursor = POINT{10, 20};
    f.queue.ModCursorPos(SIMCURSOR_SAVE, 1);
    f.queue.ProcessQueue();
    f.sink.cursor = POINT{30, 40};
    f.queue.ModCursorPos(SIMCURSOR_SAVE, 10);
    f.queue.ModCursorPos(SIMCURSOR_SAVE, 0);
    f.queue.ModCursorPos(SIMCURSOR_SAVE, 11);
    f.queue.ModCursorPos(SIMCURSOR_SAVE, -2147483647 - 1);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.queue.GetSavedCursor(0).x, 10);
    EXPECT_EQ(f.queue.GetSavedCursor(0).y, 20);
    EXPECT_EQ(f.queue.GetSavedCursor(9).x, 30);
    for (int store = 1; store < 9; ++store)
        EXPECT_EQ(f.queue.GetSavedCursor(store).x, 0) << store;

    f.sink.cursor = POINT{500, 600};
    f.queue.ModCursorPos(SIMCURSOR_RESTORE, 1);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.sink.cursor.x, 10);
    EXPECT_EQ(f.sink.cursor.y, 20);
    f.queue.ModCursorPos(SIMCURSOR_RESTORE, 10);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.sink.cursor.x, 30);
    const int moves = f.sink.cursorMoves;
    f.queue.ModCursorPos(SIMCURSOR_RESTORE, 11);
    f.queue.ModCursorPos(SIMCURSOR_RESTORE, 0);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.sink.cursorMoves, moves) << "a store that does not exist moves nothing";
}

TEST(SendInputQueue, CursorModificationsMoveFromTheCurrentPosition)
{
    struct CursorCase
    {
        int kind;
        int x;
        int y;
        POINT expected;
    };
    const CursorCase cases[] = {
        {SIMCURSOR_SETX, 7, 0, {7, 200}},       {SIMCURSOR_SETY, 7, 0, {100, 7}},
        {SIMCURSOR_SETXY, 7, 8, {7, 8}},        {SIMCURSOR_ADDX, -5, 0, {95, 200}},
        {SIMCURSOR_ADDY, 5, 0, {100, 205}},     {SIMCURSOR_ADDXY, 1, -1, {101, 199}},
    };
    for (const CursorCase& c : cases)
    {
        QueueFixture f;
        f.queue.ModCursorPosXY(c.x, c.y, c.kind);
        f.queue.ProcessQueue();
        EXPECT_EQ(f.sink.cursor.x, c.expected.x) << c.kind;
        EXPECT_EQ(f.sink.cursor.y, c.expected.y) << c.kind;
    }
    // Client co-ordinates of a window that is not there: nothing moves.
    QueueFixture f;
    f.queue.ModCursorPos(SIMCURSOR_PROFILEX, 3);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.sink.cursorMoves, 0);
}

TEST(SendInputQueue, LayerSimKeyAndProfileEntriesReachTheirServicesInOrder)
{
    QueueFixture f;
    int dummy = 0;
    CApplicationSettings* profile = reinterpret_cast<CApplicationSettings*>(&dummy);
    f.queue.SetLayer(2);
    f.queue.SimKeySetLayer(4, true);
    f.queue.SendSimKeyAction(SIMKEY_VOLUMEUP, 0);
    f.queue.SendSimKeyAction(SIMKEY_VOLUMEDOWN, 5);
    f.queue.SendSimKeyAction(SIMKEY_SETVOLUME, 40);
    f.queue.SendSimKeyAction(SIMKEY_LOCKXY, 0);
    f.queue.SendSimKeyAction(SIMKEY_ACTIVATETOP, 0);
    f.queue.SendProfileAction(nullptr, profile, 3);
    f.queue.SendProfileAction(profile, nullptr, 3);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.services.Calls(), (std::vector<std::string>{"layer 2 notify auto remember", "layer 4", "byaction 1",
                                                            "volume 2", "volume -5", "setvolume 40", "axis 14",
                                                            "activate 3", "script noprev next 3"}));
}

TEST(SendInputQueue, AnUnknownSimKeyCodeIsReportedAndChangesNothing)
{
    QueueFixture f;
    CInputQueue entry;
    for (int code : {0, 24, 99, -1})
    {
        entry.m_nSimKeyCode = code;
        EXPECT_FALSE(f.queue.ProcessSimKeyAction(entry)) << code;
    }
    EXPECT_TRUE(f.services.Calls().empty());
}

TEST(SendInputQueue, StopBeforeStartFails)
{
    QueueFixture f;
    EXPECT_FALSE(f.queue.Stop());
}

TEST(SendInputThread, TheWorkerDrainsTheQueueAndStopsCleanly)
{
    RecordingSink sink;
    RecordingServices services;
    CSendInput queue(&sink, &services);
    ASSERT_TRUE(queue.Start());
    EXPECT_NE(queue.GetThreadId(), 0u) << "the id is known when Start returns";
    EXPECT_FALSE(queue.Start()) << "a second start is refused";
    UINT pending = 0;
    queue.SendKeyState('Q', false, SIMMOD_SHIFT, 0, false, false, 0, Signature, nullptr, pending);
    queue.SendKeyState('Q', false, SIMMOD_SHIFT, 0, false, true, 0, Signature, nullptr, pending);
    queue.SignalQueue();
    ASSERT_TRUE(brmptest::WaitFor([&] { return sink.Keys().size() == 4; }));
    EXPECT_EQ(sink.Keys(), (std::vector<std::string>{"A0+", "51+", "51-", "A0-"}));
    EXPECT_TRUE(queue.Stop());
    EXPECT_FALSE(queue.IsRunning());
}

TEST(SendInputThread, AtItsStopTheQueueReleasesOnlyThePressesThatDidNotGoUpInTheSystemSince)
{
    RecordingSink sink;
    RecordingServices services;
    CSendInput queue(&sink, &services);
    ASSERT_TRUE(queue.Start());
    // X2 pressed twice for held buttons (layer changes), and a drag.
    queue.SendMouse(4, 1, POINT{}, false, false, Signature, 0);
    queue.SendMouse(4, 1, POINT{}, false, false, Signature, 0);
    queue.SendMouse(0, 1, POINT{}, false, false, Signature, 0);
    queue.SignalQueue();
    ASSERT_TRUE(brmptest::WaitFor([&] { return queue.HeldButtonCount() == 3; }));
    // The user released X2, and the system took that release: the button is up.
    queue.PressReleasedElsewhere(4);
    queue.PressReleasedElsewhere(1);
    EXPECT_EQ(queue.HeldButtonCount(), 1u);
    sink.Clear();
    EXPECT_TRUE(queue.Stop());
    EXPECT_EQ(sink.Buttons(), "LU ") << "only the drag was still down";
}

TEST(SendInputThread, AFlushCutsARunningWaitShortAndSendsTheReleasesOfWhatWasPressed)
{
    RecordingSink sink;
    RecordingServices services;
    CSendInput queue(&sink, &services);
    ASSERT_TRUE(queue.Start());
    UINT pending = 0;
    queue.SendKeyState(VK_CONTROL, false, 0, 0, false, false, 0, Signature, nullptr, pending);
    queue.SendInputDelay(60000);
    queue.SendKeyState('Z', false, 0, 0, false, false, 0, Signature, nullptr, pending);
    queue.SendKeyState(VK_CONTROL, false, 0, 0, false, true, 0, Signature, nullptr, pending);
    queue.SignalQueue();
    ASSERT_TRUE(brmptest::WaitFor([&] { return queue.HeldKeyCount() == 1; }));
    queue.FlushQueue(true);
    // The minute-long wait ends at once; Z never goes out and Ctrl is released.
    ASSERT_TRUE(brmptest::WaitFor([&] { return sink.Keys().size() == 2; }));
    EXPECT_EQ(sink.Keys(), (std::vector<std::string>{"11+", "11-"}));
    EXPECT_EQ(queue.HeldKeyCount(), 0u);
    EXPECT_TRUE(queue.Stop());
}

TEST(SendInputThread, AFlushLetsGoOfAButtonTheBatchItCutShortPressedButNotOfAKey)
{
    // A click cut in half by a flush must not leave the button down; a key
    // the same batch pressed on purpose stays.
    RecordingSink sink;
    RecordingServices services;
    CSendInput queue(&sink, &services);
    ASSERT_TRUE(queue.Start());
    UINT pending = 0;
    queue.SendKeyState(VK_SHIFT, false, 0, 0, false, false, 0, Signature, nullptr, pending);
    queue.SendMouse(0, 1, POINT{}, false, false, Signature, 0);
    queue.SendInputDelay(60000);
    queue.SendMouse(1, 1, POINT{}, false, false, Signature, 0);
    queue.SignalQueue();
    ASSERT_TRUE(brmptest::WaitFor([&] { return queue.HeldButtonCount() == 1; }));
    queue.FlushQueue(false);
    ASSERT_TRUE(brmptest::WaitFor([&] { return sink.Buttons() == "LD LU "; })) << sink.Buttons();
    EXPECT_EQ(queue.HeldButtonCount(), 0u);
    EXPECT_EQ(queue.HeldKeyCount(), 1u);
    EXPECT_TRUE(queue.Stop());
}

TEST(SendInputThread, StopEndsAWaitInProgress)
{
    // Stop may wait two minutes: if the exit request did not end the minute-long
    // wait, Stop would return only after it.
    SetThreadStopTimeouts(120000, 1);
    RecordingSink sink;
    CSendInput queue(&sink);
    ASSERT_TRUE(queue.Start());
    queue.SendInputDelay(60000);
    queue.SignalQueue();
    ASSERT_TRUE(brmptest::WaitFor([&] { return queue.QueueLength() == 0; }));
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(queue.Stop());
    SetThreadStopTimeouts(0, 0);
    EXPECT_LT(::GetTickCount() - start, 50000u);
}

