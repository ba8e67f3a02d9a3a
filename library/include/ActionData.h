#pragma once
// The action of one button in one layer as a transient record. A record owns
// its three strings; it refers to the slot's chords and timed clicks without
// owning them, and owns movement-to-scroll options only when it made them.

#include <memory>

#include "Actions.h"
#include "SnareholdApi.h"

class CBRMPChords;
class CBRMPTimedClicks;
class CMovement2Scroll;

class SNAREHOLD_API CActionData
{
public:
    virtual ~CActionData();
    // Copies are deep for what the record owns (strings, own options); chord and
    // timed-click lists and borrowed options stay shared references.
    CActionData(const CActionData& other);
    CActionData& operator=(const CActionData& other);

    // Factories; the caller deletes the record.
    static CActionData* NewAction(int action);
    static CActionData* CustomAction(int action, const wchar_t* keys, int waitHoldTime, int keyAction,
                                     int keyRepeat, bool active, bool blockMouse, bool blockMouseActive,
                                     bool randomiseDelay, const wchar_t* description,
                                     const wchar_t* application, CBRMPChords* chords,
                                     CMovement2Scroll* movement2Scroll, CBRMPTimedClicks* timedClicks);
    static CActionData* KeyAction(const wchar_t* keys, int waitHoldTime, int keyAction, int keyRepeat,
                                  bool active, bool blockMouse, bool blockMouseActive, bool randomiseDelay,
                                  const wchar_t* description);
    // Records of action 128 / 133 holding a new copy of the list. The copy is
    // not freed with the record: the receiver adopts it or deletes it.
    static CActionData* ChordedAction(const CBRMPChords& chords);
    static CActionData* TimedClicksAction(const CBRMPTimedClicks& clicks);
    static CActionData* AppAction(const wchar_t* application);
    static CActionData* OpenFolderAction(const wchar_t* folder);

    _ACTIONS Action() const { return m_action; }
    int KeyAction() const { return m_keyAction; }
    int KeyRepeat() const { return m_keyRepeat; }
    const wchar_t* GetKeys() const { return m_keys.get(); }
    const wchar_t* GetApplication() const { return m_application.get(); }
    const wchar_t* GetDescription() const { return m_description.get(); }
    CBRMPChords* GetChords() const { return m_chords; }
    CBRMPTimedClicks* GetTimedClicks() const { return m_timedClicks; }
    CMovement2Scroll* GetMovement2Scroll() const { return m_movement2Scroll; }
    bool OwnsMovement2Scroll() const { return m_ownsMovement2Scroll; }
    bool Active() const { return m_active; }
    bool BlockMouse() const { return m_blockMouse; }
    bool BlockMouseActive() const { return m_blockMouseActive; }
    bool RandomiseDelay() const { return m_randomiseDelay; }
    int WaitHoldTime() const { return m_waitHoldTime; }
    int GetKeystrokesWaitHoldTime(int base) const { return base + m_waitHoldTime; }

    // Copies source's options into the record's options object, making one with
    // the defaults first (owned by the record) when it has none. A record made
    // from a profile slot thereby writes through to the slot's options.
    void SetMovement2Scroll(const CMovement2Scroll* source);

    // Frees the strings, resets the key values and flags and forgets the lists;
    // the action code stays.
    void Clear();

private:
    CActionData() = default;
    void CopyFrom(const CActionData& other);
    void ReleaseMovement2Scroll();

    _ACTIONS m_action = ACTION_LEFT_CLICK;
    std::unique_ptr<wchar_t[]> m_keys;
    std::unique_ptr<wchar_t[]> m_application;
    int m_keyAction = 0;
    int m_keyRepeat = 0;
    bool m_active = true;
    bool m_blockMouse = true;
    bool m_blockMouseActive = false;
    bool m_randomiseDelay = false;
    int m_waitHoldTime = 0;
    CBRMPChords* m_chords = nullptr;
    CBRMPTimedClicks* m_timedClicks = nullptr;
    CMovement2Scroll* m_movement2Scroll = nullptr;
    bool m_ownsMovement2Scroll = false;
    std::unique_ptr<wchar_t[]> m_description;
};
