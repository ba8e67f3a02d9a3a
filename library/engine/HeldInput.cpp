// The record of what is held and by whom.

#include "HeldInput.h"

CHeldInput g_held;

namespace
{
void SetBits(std::atomic<unsigned>& word, unsigned bits, bool on)
{
    if (on)
        word.fetch_or(bits, std::memory_order_relaxed);
    else
        word.fetch_and(~bits, std::memory_order_relaxed);
}
} // namespace

void CHeldInput::Pressed(int button, HeldSource source)
{
    const int s = source == HeldSource::OtherProgram ? 1 : 0;
    SetBits(m_user[s], Bit(button), true);
    // A new press: the release a chord took belonged to one the hook missed.
    SetBits(m_chordRelease[s], Bit(button), false);
}

void CHeldInput::Released(int button, HeldSource source)
{
    SetBits(m_user[source == HeldSource::OtherProgram ? 1 : 0], Bit(button), false);
}

void CHeldInput::TookOver(int button)
{
    SetBits(m_takenOver[Source()], Bit(button), true);
    SetBits(m_overran, Bit(button), false);
    SetBits(m_reached, Bit(button), false);
}

void CHeldInput::HandledRelease(int button)
{
    SetBits(m_takenOver[Source()], Bit(button), false);
    SetBits(m_overran, Bit(button), false);
    SetBits(m_reached, Bit(button), false);
}

void CHeldInput::DropTakenOver(int button)
{
    SetBits(m_takenOver[0], Bit(button), false);
    SetBits(m_takenOver[1], Bit(button), false);
    SetBits(m_overran, Bit(button), false);
    SetBits(m_reached, Bit(button), false);
}

bool CHeldInput::TookOverPress(int button) const
{
    return (m_takenOver[Source()].load(std::memory_order_relaxed) & Bit(button)) != 0;
}

bool CHeldInput::TookOverUsersPress(int button) const
{
    return (m_takenOver[0].load(std::memory_order_relaxed) & Bit(button)) != 0;
}

bool CHeldInput::PressSeen(int button) const
{
    const int s = Source();
    return ((m_takenOver[s].load(std::memory_order_relaxed) | m_user[s].load(std::memory_order_relaxed)) & Bit(button)) != 0;
}

void CHeldInput::ReleaseTakenByChord(int button)
{
    SetBits(m_chordRelease[Source()], Bit(button), true);
}

bool CHeldInput::TakeChordRelease(int button)
{
    const unsigned bit = Bit(button);
    return bit != 0 && (m_chordRelease[Source()].fetch_and(~bit, std::memory_order_relaxed) & bit) != 0;
}

bool CHeldInput::ChordTookRelease(int button) const
{
    return (m_chordRelease[Source()].load(std::memory_order_relaxed) & Bit(button)) != 0;
}

void CHeldInput::PressOverran(int button)
{
    SetBits(m_overran, Bit(button), true);
}

bool CHeldInput::PressMayBeInSystem(int button) const
{
    return Source() == 0 && (m_takenOver[0].load(std::memory_order_relaxed) & Bit(button)) != 0 &&
           ((m_overran.load(std::memory_order_relaxed) | m_reached.load(std::memory_order_relaxed)) & Bit(button)) != 0;
}

bool CHeldInput::PressInSystem(int button, bool down) const
{
    return down && PressMayBeInSystem(button) && (m_inSystem.load(std::memory_order_relaxed) & Bit(button)) == 0;
}

void CHeldInput::LibraryPressed(int button)
{
    SetBits(m_inSystem, Bit(button), true);
}

void CHeldInput::ReleasedInSystem(int button)
{
    SetBits(m_inSystem, Bit(button), false);
}

void CHeldInput::SetSticky(int kind, bool active)
{
    if (kind >= 0 && kind < 9)
        SetBits(m_holds, 1u << kind, active);
}

void CHeldInput::SetRepeating(bool repeating)
{
    SetBits(m_holds, kRepeatBit, repeating);
}

void CHeldInput::HoldDuringKeys(int button, int layer, const wchar_t* keys)
{
    if (button < 0 || button >= kButtons)
        return;
    m_duringKeys[button] = keys != nullptr ? keys : L"";
    m_duringLayer[button] = layer;
    m_carriedDuring &= ~Bit(button);
    SetBits(m_holds, 1u << (kDuringShift + button), true);
}

void CHeldInput::EndDuringKeys(int button)
{
    if (button < 0 || button >= kButtons)
        return;
    m_duringKeys[button].clear();
    m_carriedDuring &= ~Bit(button);
    SetBits(m_holds, 1u << (kDuringShift + button), false);
}

void CHeldInput::CarryDuringKeys()
{
    m_carriedDuring |= (m_holds.load(std::memory_order_relaxed) >> kDuringShift) & ((1u << kButtons) - 1);
}

const wchar_t* CHeldInput::CarriedDuringKeys(int button) const
{
    return (m_carriedDuring & Bit(button)) != 0 ? m_duringKeys[button].c_str() : nullptr;
}

const wchar_t* CHeldInput::DuringKeys(int button, int layer) const
{
    if (button < 0 || button >= kButtons || (m_holds.load(std::memory_order_relaxed) & (1u << (kDuringShift + button))) == 0 ||
        m_duringLayer[button] != layer)
        return nullptr;
    return m_duringKeys[button].c_str();
}

bool CHeldInput::UserHolds(int button) const
{
    return ((m_user[0].load(std::memory_order_relaxed) | m_user[1].load(std::memory_order_relaxed)) & Bit(button)) != 0;
}

unsigned CHeldInput::UserButtons() const
{
    const unsigned held = (m_user[0].load(std::memory_order_relaxed) | m_user[1].load(std::memory_order_relaxed)) & 0x1Fu;
    return held & ~Bit(m_layerButton);
}

unsigned CHeldInput::TakeFromSystem(bool (*systemDown)(int button))
{
    const unsigned overran = m_overran.exchange(0, std::memory_order_relaxed);
    unsigned endedInSystem = 0;
    for (int button = 0; button < 5; ++button)
    {
        const unsigned bit = Bit(button);
        const bool takenOver = (m_takenOver[0].load(std::memory_order_relaxed) & bit) != 0;
        const bool reached = (m_reached.load(std::memory_order_relaxed) & bit) != 0;
        // A press the engine took over whose call was within the time-out
        // never reached the system, which reports the button up while the
        // user may well hold it: its marks stay until its own release.
        if (takenOver && (overran & bit) == 0 && !reached)
            continue;
        const bool down = systemDown(button);
        const bool libraryDown = (m_inSystem.load(std::memory_order_relaxed) & bit) != 0;
        if (takenOver && (overran & bit) != 0)
        {
            // Whether the system passed on the press whose call overran shows
            // now: its state. Passed on, the press is the system's too; dropped
            // (or the button is down by the library's own press), it is one the
            // system never had. Either way its release is the action's.
            SetBits(m_reached, bit, down && !libraryDown);
            continue;
        }
        // A press the system has too stays while the system has it; up there,
        // its release went by while the hook was out.
        if (takenOver && down)
            continue;
        if (!down && libraryDown)
        {
            SetBits(m_inSystem, bit, false);
            endedInSystem |= bit;
        }
        const bool users = down && !libraryDown;
        SetBits(m_takenOver[0], bit, false);
        SetBits(m_reached, bit, false);
        SetBits(m_takenOver[1], bit, false);
        SetBits(m_user[1], bit, false);
        SetBits(m_user[0], bit, users);
        if (!users)
        {
            SetBits(m_chordRelease[0], bit, false);
            SetBits(m_chordRelease[1], bit, false);
        }
    }
    return endedInSystem;
}

void CHeldInput::Forget()
{
    for (int s = 0; s < 2; ++s)
    {
        m_user[s] = 0;
        m_takenOver[s] = 0;
        m_chordRelease[s] = 0;
    }
    m_overran = 0;
    m_reached = 0;
    m_inSystem = 0;
    m_holds = 0;
    m_layerButton = -1;
    for (std::wstring& keys : m_duringKeys)
        keys.clear();
    m_carriedDuring = 0;
    m_source = HeldSource::User;
}

ULONG_PTR OwnInputSignature()
{
    // Built once from the process: another instance of the program signs its
    // own input differently. The low half sets none of the bits that the
    // hooks read as a flag of the device (the touch signature, a middle
    // press that is a tilt).
    static const ULONG_PTR signature =
        (static_cast<ULONG_PTR>(::GetCurrentProcessId()) << 32) | static_cast<ULONG_PTR>(0x42524950u);
    return signature;
}
