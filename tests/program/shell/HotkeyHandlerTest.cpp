#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "HotkeyHandler.h"
#include "HotkeyTestSupport.h"
#include "WaitFor.h"

namespace
{
// What the hotkey callbacks saw, from the hotkey thread.
struct Presses
{
    std::mutex lock;
    std::vector<int> values;
    std::atomic<DWORD> thread{0};

    static void Record(void* context, int value)
    {
        Presses* self = static_cast<Presses*>(context);
        std::lock_guard<std::mutex> guard(self->lock);
        self->values.push_back(value);
        self->thread = ::GetCurrentThreadId();
    }
    std::vector<int> Values()
    {
        std::lock_guard<std::mutex> guard(lock);
        return values;
    }
};

constexpr WORD kCtrlAlt = MOD_CONTROL | MOD_ALT;

TEST(HotkeyHandlerEntries, KeysAlreadyInTheListAreNotAddedTwiceAndFreedSlotsAreReusedInOrder)
{
    HotkeyHandler handler;
    int entry = -1;
    EXPECT_EQ(handler.AddHotkey(kCtrlAlt, VK_F9, &Presses::Record, 0, &entry), HotkeyHandler::Ok);
    EXPECT_EQ(entry, 0);
    EXPECT_EQ(handler.AddHotkey(kCtrlAlt, VK_F10, &Presses::Record, 1, &entry), HotkeyHandler::Ok);
    EXPECT_EQ(entry, 1);
    EXPECT_EQ(handler.AddHotkey(kCtrlAlt, VK_F9, &Presses::Record, 5, &entry), HotkeyHandler::Exists);
    EXPECT_EQ(entry, 0);
    EXPECT_EQ(handler.AddHotkey(MOD_ALT, VK_F9, &Presses::Record, 6, &entry), HotkeyHandler::Ok)
        << "other modifiers make another hotkey";
    EXPECT_EQ(handler.Entries().size(), 3u);

    handler.MarkAllRemoved();
    EXPECT_EQ(handler.AddHotkey(MOD_SHIFT, 'A', &Presses::Record, 7, &entry), HotkeyHandler::Reused);
    EXPECT_EQ(entry, 0);
    // A duplicate of a live entry is found before a free slot is reused: a
    // settings file that gives two hotkeys the same keys registers them once.
    EXPECT_EQ(handler.AddHotkey(MOD_SHIFT, 'A', &Presses::Record, 8, &entry), HotkeyHandler::Exists);
    EXPECT_EQ(entry, 0);
    EXPECT_EQ(handler.AddHotkey(MOD_SHIFT, 'B', &Presses::Record, 9, &entry), HotkeyHandler::Reused);
    EXPECT_EQ(entry, 1);
    EXPECT_EQ(handler.Entries()[1].value, 9);
    EXPECT_EQ(handler.Entries().size(), 3u);
}

TEST(HotkeyHandlerEntries, NamesOutsideTheTableAreNotReadFromIt)
{
    EXPECT_STREQ(HotkeyHandler::HotkeyName(0), L"Layer1");
    EXPECT_STREQ(HotkeyHandler::HotkeyName(24), L"InvertY");
    EXPECT_STREQ(HotkeyHandler::HotkeyName(25), L"?");
    EXPECT_STREQ(HotkeyHandler::HotkeyName(-1), L"?");
}

TEST(HotkeyHandlerThread, AListWithoutLiveEntriesStartsNoThread)
{
    HotkeyHandler handler;
    handler.Start(nullptr);
    EXPECT_FALSE(handler.IsRunning());
    EXPECT_EQ(handler.ThreadId(), 0u);
    EXPECT_EQ(handler.Stop(), 0);

    handler.AddHotkey(kCtrlAlt, VK_F9, &Presses::Record, 0, nullptr);
    handler.MarkAllRemoved();
    handler.Start(nullptr);
    EXPECT_FALSE(handler.IsRunning());
}

TEST(HotkeyHandlerThread, APressedChordCallsItsEntryOnTheHotkeyThreadAndStopReleasesTheKeys)
{
    Presses presses;
    HotkeyHandler handler;
    handler.AddHotkey(kCtrlAlt, VK_F9, &Presses::Record, 3, nullptr);
    handler.AddHotkey(kCtrlAlt, VK_F10, &Presses::Record, 4, nullptr);
    handler.Start(&presses);
    ASSERT_TRUE(handler.IsRunning());
    ASSERT_NE(handler.ThreadId(), 0u);
    EXPECT_TRUE(::IsWindow(handler.Window()));

    ASSERT_TRUE(brmptest::SendChord(kCtrlAlt, VK_F10));
    ASSERT_TRUE(brmptest::WaitFor([&] { return !presses.Values().empty(); }));
    EXPECT_EQ(presses.Values(), std::vector<int>{4});
    EXPECT_EQ(presses.thread.load(), handler.ThreadId());
    EXPECT_NE(presses.thread.load(), ::GetCurrentThreadId());

    const HWND window = handler.Window();
    EXPECT_EQ(handler.Stop(), 0);
    EXPECT_FALSE(handler.IsRunning());
    EXPECT_FALSE(::IsWindow(window));
    // Nothing stays registered: another window may take both chords now.
    EXPECT_TRUE(brmptest::ChordIsFree(kCtrlAlt, VK_F9));
    EXPECT_TRUE(brmptest::ChordIsFree(kCtrlAlt, VK_F10));
}

TEST(HotkeyHandlerThread, AChordTakenElsewhereIsMarkedRemovedAndTheOthersStillWork)
{
    brmptest::HotkeyTaker taker(kCtrlAlt, VK_F11);
    ASSERT_TRUE(taker.Taken());

    Presses presses;
    HotkeyHandler handler;
    handler.AddHotkey(kCtrlAlt, VK_F11, &Presses::Record, 1, nullptr);
    handler.AddHotkey(kCtrlAlt, VK_F12, &Presses::Record, 2, nullptr);
    handler.Start(&presses);
    ASSERT_TRUE(handler.IsRunning());
    EXPECT_TRUE(handler.Entries()[0].removed);
    EXPECT_FALSE(handler.Entries()[1].removed);

    ASSERT_TRUE(brmptest::SendChord(kCtrlAlt, VK_F12));
    EXPECT_TRUE(brmptest::WaitFor([&] { return presses.Values() == std::vector<int>{2}; }));
    handler.Stop();
}

TEST(HotkeyHandlerThread, WhenEveryChordIsRefusedTheThreadEndsAndTheHandlerStaysStopped)
{
    brmptest::HotkeyTaker taker(kCtrlAlt, VK_F11);
    ASSERT_TRUE(taker.Taken());

    HotkeyHandler handler;
    handler.AddHotkey(kCtrlAlt, VK_F11, &Presses::Record, 1, nullptr);
    handler.Start(nullptr);
    EXPECT_FALSE(handler.IsRunning());
    EXPECT_EQ(handler.ThreadId(), 0u);
    EXPECT_EQ(handler.Stop(), 0);

    // Once the chord is free again, a new start takes it.
    taker.Release();
    handler.MarkAllRemoved();
    handler.AddHotkey(kCtrlAlt, VK_F11, &Presses::Record, 1, nullptr);
    handler.Start(nullptr);
    EXPECT_TRUE(handler.IsRunning());
    handler.Stop();
}

TEST(HotkeyHandlerThread, AHotkeyMessageForNoLiveEntryCallsNothing)
{
    Presses presses;
    HotkeyHandler handler;
    handler.AddHotkey(kCtrlAlt, VK_F9, &Presses::Record, 3, nullptr);
    handler.Start(&presses);
    ASSERT_TRUE(handler.IsRunning());
    const ATOM atom = handler.Entries()[0].atom;
    ASSERT_NE(atom, 0);

    ::PostMessageW(handler.Window(), WM_HOTKEY, static_cast<WPARAM>(atom) + 1, 0);
    ::PostMessageW(handler.Window(), WM_HOTKEY, 0, 0);
    // The message of the live entry comes last: once it is seen, the others were passed over.
    ::PostMessageW(handler.Window(), WM_HOTKEY, atom, 0);
    ASSERT_TRUE(brmptest::WaitFor([&] { return !presses.Values().empty(); }));
    EXPECT_EQ(presses.Values(), std::vector<int>{3});
    handler.Stop();
}

TEST(HotkeyHandlerThread, StartAndStopRepeatedlyLeakNoRegistration)
{
    Presses presses;
    HotkeyHandler handler;
    for (int round = 0; round < 3; ++round)
    {
        SCOPED_TRACE(round);
        handler.MarkAllRemoved();
        handler.AddHotkey(kCtrlAlt, VK_F9, &Presses::Record, round, nullptr);
        handler.Start(&presses);
        ASSERT_TRUE(handler.IsRunning());
        EXPECT_EQ(handler.Entries().size(), 1u);
        EXPECT_FALSE(brmptest::ChordIsFree(kCtrlAlt, VK_F9));
        handler.Stop();
        EXPECT_TRUE(brmptest::ChordIsFree(kCtrlAlt, VK_F9));
    }
}

TEST(HotkeyHandlerThread, StopEndsAThreadWhoseCallbackDoesNotReturn)
{
    struct Blocker
    {
        HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<bool> entered{false};
        static void Block(void* context, int)
        {
            Blocker* self = static_cast<Blocker*>(context);
            self->entered = true;
            ::WaitForSingleObject(self->release, 30000);
        }
    } blocker;
    HotkeyHandler handler;
    handler.AddHotkey(kCtrlAlt, VK_F9, &Blocker::Block, 0, nullptr);
    handler.Start(&blocker);
    ASSERT_TRUE(handler.IsRunning());
    ::PostMessageW(handler.Window(), WM_HOTKEY, handler.Entries()[0].atom, 0);
    ASSERT_TRUE(brmptest::WaitFor([&] { return blocker.entered.load(); }));

    handler.Stop();
    EXPECT_FALSE(handler.IsRunning());
    EXPECT_EQ(handler.ThreadId(), 0u);
    EXPECT_TRUE(brmptest::ChordIsFree(kCtrlAlt, VK_F9));
    ::SetEvent(blocker.release);
    ::CloseHandle(blocker.release);
}
} // namespace
