#pragma once
// Button chording: what a held button does when a second button is pressed,
// and how long its own click is held back until a chord is known.

#include <memory>

#include "ActionEntry.h"
#include "Actions.h"
#include "Movement2Scroll.h"
#include "SnareholdApi.h"
#include "pugixml.hpp"

class CActionData;
class CBRMPChords;

// One entry of a chord list: the action of one second button.
class SNAREHOLD_API CBRMPChord : public CActionEntry
{
public:
    CBRMPChord();
    // Copies as assignment does; the run-time chord state starts afresh.
    CBRMPChord(const CBRMPChord& source);
    virtual ~CBRMPChord();
    // Both forms behave alike: values and strings are copied, the options become
    // the entry's own (default ones when the source has none), and the run-time
    // chord state is reset.
    CBRMPChord& operator=(const CBRMPChord& source);
    CBRMPChord& operator=(const CBRMPChord* source);

    // As the entry's own, and the entry belongs to no chord list any more.
    void SetActionData(const CActionData* record);

    int GetHoldTime() const { return m_waitHoldTime; }
    void SetHoldTime(int holdTime) { m_waitHoldTime = holdTime; }

    // Run-time chord state.
    CBRMPChords* GetCurrentChords() const { return m_currentChords; }
    void SetCurrentChords(CBRMPChords* chords) { m_currentChords = chords; }
    bool ChordCancelled() const { return m_cancelled; }
    bool GetChordUsed() const { return m_used; }
    void SetChordUsed() { m_used = true; m_cancelled = true; }
    void CancelChord() { m_cancelled = true; }
    MouseButtons GetChordSourceButton() const { return m_sourceButton; }
    void SetChordSourceButton(MouseButtons button) { m_sourceButton = button; }
    MouseButtons GetChordedButton() const { return m_chordedButton; }
    void SetChordedButton(MouseButtons button);
    bool ChordingOccurred() const { return m_occurred; }
    void SetChordingOccurred(bool occurred) { m_occurred = occurred; }
    void ClearChordedFlag();

    void Save(pugi::xml_node element) const;
    bool Load(pugi::xml_node element, int simulatedKeyDelay);

private:
    void AssignFrom(const CBRMPChord& source);

    bool m_cancelled = false;
    bool m_used = false;
    bool m_occurred = false;
    MouseButtons m_sourceButton = NoButton;
    MouseButtons m_chordedButton = NoButton;
    CBRMPChords* m_currentChords = nullptr;
};

// The chord list of one button: an entry per second button and the options.
class SNAREHOLD_API CBRMPChords
{
public:
    CBRMPChords();
    // Copies options, description and entries; entries' run-time state resets.
    CBRMPChords(const CBRMPChords& source);
    virtual ~CBRMPChords();
    CBRMPChords& operator=(const CBRMPChords* source);
    CBRMPChords& operator=(const CBRMPChords& source);

    // Null (with a log line) for a button outside 0 to 8.
    CBRMPChord* GetChord(int button);
    const CBRMPChord* GetChord(int button) const;
    // Copies entry into the button's place; a button outside 0 to 8 is refused.
    bool SetChord(int button, const CBRMPChord& entry);

    bool DelayUntilChordKnown() const { return m_blockUntilEstablished; }
    void SetDelayUntilChordKnown(bool delay) { m_blockUntilEstablished = delay; }
    bool UnblockAfterDelay() const { return m_unblockAfterDelay; }
    void SetUnblockAfterDelay(bool unblock) { m_unblockAfterDelay = unblock; }
    bool UnblockAfterMovement() const { return m_unblockMovement; }
    void SetUnblockAfterMovement(bool unblock) { m_unblockMovement = unblock; }
    int UnblockTime() const { return m_unblockDelay; }
    void SetUnblockTime(int milliseconds) { m_unblockDelay = milliseconds; }
    int UnblockMPixels() const { return m_unblockMPixels; }
    void SetUnblockMPixels(int pixels) { m_unblockMPixels = pixels; }
    const wchar_t* GetDescription() const { return m_description.get(); }
    void SetDescription(const wchar_t* description);

    // Writes onto the list's own element ("chords"): the options, then one child
    // per button (in Quillon mode none for the seventh button).
    void Save(bool quillonMode, pugi::xml_node element) const;
    // True when at least one entry was loaded.
    bool Load(bool quillonMode, pugi::xml_node element, int simulatedKeyDelay);

private:
    void AssignFrom(const CBRMPChords& source);

    CBRMPChord m_chords[ButtonCount];
    bool m_blockUntilEstablished = true;
    bool m_unblockAfterDelay = false;
    bool m_unblockMovement = false;
    int m_unblockDelay = 750;
    int m_unblockMPixels = 5;
    std::unique_ptr<wchar_t[]> m_description;
    // Writes the XML form (the library's ProfileXmlWriting.h).
    friend struct ProfileXmlWriting;
};
