#pragma once
// What is held, and by whom. The mouse hook, the button processing, the sticky
// buttons, the repeat timer and the held key sequences record here the presses
// and releases they see or make, each by who made it:
//   the user        a physical button, or another program's simulated one (kept
//                   apart, so that one never ends the other's press)
//   the engine      a press of the user's that an action took over, its release
//                   still to come (also a wheel notch whose release waits)
//   the library     what it keeps pressed for the user: its own presses that went
//                   on to the system (a sticky drag, a button that clicks another
//                   while held, a layer change's re-press), a sticky state, a
//                   repeat, the "during" keys of a held button
// and every reader asks the question it means. The questions are a few loads of
// words, so the move path asks them without a call or a lock of its own; the
// writers run on the hook thread (and the timers) under the global lock.

#include <windows.h>

#include <atomic>
#include <string>

// Whose event the engine is handling now.
enum class HeldSource
{
    User,          // a physical button (and the engine's own replays of it)
    OtherProgram,  // another program's simulated button, remapped
};

class CHeldInput
{
public:
    static constexpr int kButtons = 9;

    // --- the user's buttons (Left to XRight), as the mouse hook sees them pass ---
    void Pressed(int button, HeldSource source);
    void Released(int button, HeldSource source);

    // --- presses the engine handles, for the source of the event in hand ---
    // The button processing handled a press: its release is still to come.
    void TookOver(int button);
    // It handled another event of the button: the press is over.
    void HandledRelease(int button);
    // A press of the engine ends without its release (a wheel's pending
    // release cancelled): whoever made it.
    void DropTakenOver(int button);
    bool TookOverPress(int button) const;
    // The engine took over a press of the user's own (not another program's)
    // whose release is still to come.
    bool TookOverUsersPress(int button) const;
    // The press was handled here, or the button is still held while a layer
    // change replays its release (the hook clears its mark before a release
    // reaches the engine).
    bool PressSeen(int button) const;
    // A chord acted on the button's release already: its own release is taken.
    void ReleaseTakenByChord(int button);
    // True once (and forgets it) when the release of button was taken.
    bool TakeChordRelease(int button);
    bool ChordTookRelease(int button) const;
    // The mouse hook's call for a press of the user's that the engine took
    // over ran past the system's hook time-out. A system may then pass the
    // press on whatever the hook said, or drop it as the hook said: only its
    // state of the button tells which.
    void PressOverran(int button);
    // Whether the system may have the press of button the engine took over
    // (its call overran), and whether it does, as its state (down: the system
    // has the button down) shows it: a down that is the library's own press
    // of the button is not that.
    bool PressMayBeInSystem(int button) const;
    bool PressInSystem(int button, bool down) const;

    // --- the library's own presses, as the mouse hook sees them pass ---
    void LibraryPressed(int button);
    // The button went up in the system: the library's release, or one of the
    // user's or another program's that the hook passed on.
    void ReleasedInSystem(int button);
    // A press of the library's of button is in the system (not released there).
    bool LibraryPressInSystem(int button) const
    {
        return button >= 0 && button < kButtons && (m_inSystem.load(std::memory_order_relaxed) & (1u << button)) != 0;
    }

    // --- what else the library holds for the user ---
    void SetSticky(int kind, bool active);
    void SetRepeating(bool repeating);
    // The "during" keys a held button pressed (keys as they were pressed, on
    // that layer), and their release.
    void HoldDuringKeys(int button, int layer, const wchar_t* keys);
    void EndDuringKeys(int button);
    // The keys button holds pressed on layer, or null.
    const wchar_t* DuringKeys(int button, int layer) const;
    // The profiles whose slots flag the held keys are going (a reload): the
    // record alone carries the keys to the end of the button's press.
    void CarryDuringKeys();
    // The keys a reload carried for button, or null.
    const wchar_t* CarriedDuringKeys(int button) const;

    // --- the questions ---
    // Does the user hold a button (a press the engine took over included)?
    bool UserHoldsAButton() const
    {
        return (m_user[0].load(std::memory_order_relaxed) | m_user[1].load(std::memory_order_relaxed) |
                m_takenOver[0].load(std::memory_order_relaxed) | m_takenOver[1].load(std::memory_order_relaxed)) != 0;
    }
    bool UserHolds(int button) const;
    // Which of Left to XRight the user holds (bit = button), for a layer change
    // to press again; the button that makes the change is left out.
    unsigned UserButtons() const;
    // Does the library hold something for the user?
    bool LibraryHoldsSomething() const
    {
        return (m_inSystem.load(std::memory_order_relaxed) | m_holds.load(std::memory_order_relaxed)) != 0;
    }
    // Is a button held, by the user or by the library for the user (a sticky
    // button, a press of its own in the system)?
    bool ButtonHeld() const
    {
        return UserHoldsAButton() ||
               (m_inSystem.load(std::memory_order_relaxed) | (m_holds.load(std::memory_order_relaxed) & kStickyButtonBits)) != 0;
    }
    // Is anything held?
    bool AnythingHeld() const { return UserHoldsAButton() || LibraryHoldsSomething(); }

    // The button a layer change is made for is not among the buttons it
    // presses again (its own press or release is being handled); -1 none.
    void SetLayerButton(int button) { m_layerButton = button; }
    int LayerButton() const { return m_layerButton; }

    // --- the hook put back and the stop ---
    // The hook was out a while: a button is taken as the system reports it,
    // unless the engine took its press over and the system never had that
    // press (then the marks stay until its own release). A press whose call
    // overran is the system's when the system has the button down now, and
    // then its release (or the state at a later put-back) ends it there too.
    // A "down" of a button the library holds pressed is not the user's.
    // Returns the buttons of the library's own presses that went up in the
    // system meanwhile (bit = button), which are no longer held there.
    unsigned TakeFromSystem(bool (*systemDown)(int button));
    // Without hooks nobody follows the buttons: everything is forgotten, what
    // the library holds included (the stop releases that).
    void Forget();

private:
    static constexpr unsigned kStickyButtonBits = 0x1F;   // sticky kinds 0-4
    static constexpr unsigned kRepeatBit = 1u << 9;
    static constexpr int kDuringShift = 16;
    static unsigned Bit(int button) { return button >= 0 && button < kButtons ? 1u << button : 0u; }
    int Source() const { return m_source == HeldSource::OtherProgram ? 1 : 0; }

    std::atomic<unsigned> m_user[2] = {};         // by source
    std::atomic<unsigned> m_takenOver[2] = {};    // by source
    std::atomic<unsigned> m_chordRelease[2] = {}; // by source
    std::atomic<unsigned> m_overran{0};
    // Presses the engine took over that the system has too (their call overran).
    std::atomic<unsigned> m_reached{0};
    std::atomic<unsigned> m_inSystem{0};
    // Sticky kinds in the low bits, the repeat, the "during" keys per button.
    std::atomic<unsigned> m_holds{0};
    int m_layerButton = -1;
    std::wstring m_duringKeys[kButtons];
    int m_duringLayer[kButtons] = {};
    unsigned m_carriedDuring = 0;   // bit = button

public:
    // The source of the event being handled (the mouse hook sets it for its
    // events; everything else acts for the user).
    HeldSource m_source = HeldSource::User;
};

extern CHeldInput g_held;

// While it lives, the engine handles an event of source.
class CHeldSourceScope
{
public:
    explicit CHeldSourceScope(HeldSource source) : m_previous(g_held.m_source) { g_held.m_source = source; }
    ~CHeldSourceScope() { g_held.m_source = m_previous; }
    CHeldSourceScope(const CHeldSourceScope&) = delete;
    CHeldSourceScope& operator=(const CHeldSourceScope&) = delete;

private:
    HeldSource m_previous;
};

// The extra information every mouse event and key the library sends carries,
// the same for the whole process whatever hook is in: events in flight while a
// hook is put back are still known as the library's own.
ULONG_PTR OwnInputSignature();
