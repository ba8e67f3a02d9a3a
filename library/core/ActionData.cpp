#include "ActionData.h"

#include "Chords.h"
#include "Movement2Scroll.h"
#include "OwnedString.h"
#include "TimedClicks.h"

CActionData::~CActionData()
{
    ReleaseMovement2Scroll();
}

CActionData::CActionData(const CActionData& other)
{
    CopyFrom(other);
}

CActionData& CActionData::operator=(const CActionData& other)
{
    if (this != &other)
    {
        ReleaseMovement2Scroll();
        CopyFrom(other);
    }
    return *this;
}

void CActionData::CopyFrom(const CActionData& other)
{
    m_action = other.m_action;
    m_keys = CopyOwnedString(other.m_keys.get());
    m_application = CopyOwnedString(other.m_application.get());
    m_description = CopyOwnedString(other.m_description.get());
    m_keyAction = other.m_keyAction;
    m_keyRepeat = other.m_keyRepeat;
    m_active = other.m_active;
    m_blockMouse = other.m_blockMouse;
    m_blockMouseActive = other.m_blockMouseActive;
    m_randomiseDelay = other.m_randomiseDelay;
    m_waitHoldTime = other.m_waitHoldTime;
    m_chords = other.m_chords;
    m_timedClicks = other.m_timedClicks;
    // Options the source owns are copied, so that each record frees its own;
    // borrowed options stay borrowed.
    if (other.m_ownsMovement2Scroll && other.m_movement2Scroll != nullptr)
    {
        m_movement2Scroll = new CMovement2Scroll(*other.m_movement2Scroll);
        m_ownsMovement2Scroll = true;
    }
    else
    {
        m_movement2Scroll = other.m_movement2Scroll;
        m_ownsMovement2Scroll = other.m_ownsMovement2Scroll;
    }
}

void CActionData::ReleaseMovement2Scroll()
{
    if (m_ownsMovement2Scroll)
        delete m_movement2Scroll;
    m_movement2Scroll = nullptr;
}

CActionData* CActionData::NewAction(int action)
{
    CActionData* record = new CActionData();
    record->m_action = static_cast<_ACTIONS>(action);
    return record;
}

CActionData* CActionData::CustomAction(int action, const wchar_t* keys, int waitHoldTime, int keyAction,
                                       int keyRepeat, bool active, bool blockMouse, bool blockMouseActive,
                                       bool randomiseDelay, const wchar_t* description,
                                       const wchar_t* application, CBRMPChords* chords,
                                       CMovement2Scroll* movement2Scroll, CBRMPTimedClicks* timedClicks)
{
    CActionData* record = new CActionData();
    record->m_action = static_cast<_ACTIONS>(action);
    record->m_keys = CopyOwnedString(keys);
    record->m_waitHoldTime = waitHoldTime;
    record->m_keyAction = keyAction;
    record->m_keyRepeat = keyRepeat;
    record->m_active = active;
    record->m_blockMouse = blockMouse;
    record->m_blockMouseActive = blockMouseActive;
    record->m_randomiseDelay = randomiseDelay;
    record->m_description = CopyOwnedString(description);
    record->m_application = CopyOwnedString(application);
    record->m_chords = chords;
    record->m_movement2Scroll = movement2Scroll;
    record->m_timedClicks = timedClicks;
    return record;
}

CActionData* CActionData::KeyAction(const wchar_t* keys, int waitHoldTime, int keyAction, int keyRepeat,
                                    bool active, bool blockMouse, bool blockMouseActive, bool randomiseDelay,
                                    const wchar_t* description)
{
    return CustomAction(ACTION_SIMULATED_KEYS, keys, waitHoldTime, keyAction, keyRepeat, active, blockMouse,
                        blockMouseActive, randomiseDelay, description, nullptr, nullptr, nullptr, nullptr);
}

CActionData* CActionData::ChordedAction(const CBRMPChords& chords)
{
    CActionData* record = NewAction(ACTION_BUTTON_CHORDING);
    record->m_chords = new CBRMPChords(chords);
    return record;
}

CActionData* CActionData::TimedClicksAction(const CBRMPTimedClicks& clicks)
{
    CActionData* record = NewAction(ACTION_BUTTON_HELD);
    record->m_timedClicks = new CBRMPTimedClicks(clicks);
    return record;
}

CActionData* CActionData::AppAction(const wchar_t* application)
{
    CActionData* record = NewAction(ACTION_RUN_APPLICATION);
    record->m_application = CopyOwnedString(application);
    return record;
}

CActionData* CActionData::OpenFolderAction(const wchar_t* folder)
{
    CActionData* record = NewAction(ACTION_OPEN_FOLDER);
    record->m_application = CopyOwnedString(folder);
    return record;
}

void CActionData::SetMovement2Scroll(const CMovement2Scroll* source)
{
    if (m_movement2Scroll == nullptr)
    {
        m_movement2Scroll = new CMovement2Scroll();
        m_ownsMovement2Scroll = true;
    }
    if (source != m_movement2Scroll)
        m_movement2Scroll->Copy(source);
}

void CActionData::Clear()
{
    m_keys.reset();
    m_application.reset();
    m_description.reset();
    m_keyAction = 0;
    m_keyRepeat = 0;
    m_waitHoldTime = 0;
    m_active = false;
    m_blockMouse = true;
    m_blockMouseActive = false;
    m_randomiseDelay = false;
    m_chords = nullptr;
    m_timedClicks = nullptr;
    // Options the record made itself would be lost if only forgotten.
    ReleaseMovement2Scroll();
}
