#pragma once
// What a chord entry and a timed-click entry have in common: an action like a
// profile slot's, with its keystrokes, program, description and its own
// movement-to-scroll options, and how that is written to and read from XML.

#include <memory>

#include "Actions.h"
#include "Movement2Scroll.h"
#include "SnareholdApi.h"
#include "pugixml.hpp"

class CActionData;

class SNAREHOLD_API CActionEntry
{
public:
    virtual ~CActionEntry();
    CActionEntry(const CActionEntry&) = delete;
    CActionEntry& operator=(const CActionEntry&) = delete;

    // Gives the entry options of its own (defaults first when it has none) and
    // copies source's options into them.
    void SetMovement2Scroll(const CMovement2Scroll* source);
    CMovement2Scroll* GetMovement2Scroll() const { return m_movement2Scroll.get(); }
    // A new record of the entry (its options shared, not copied); the caller
    // deletes it.
    CActionData* GetActionData() const;
    // Takes the record's action, values, strings and options (not its lists).
    void SetActionData(const CActionData* record);

    _ACTIONS GetAction() const { return m_action; }
    void SetAction(int action) { m_action = static_cast<_ACTIONS>(action); }
    const wchar_t* GetKeys() const { return m_keys.get(); }
    void SetKeys(const wchar_t* keys);
    const wchar_t* GetLaunchApp() const { return m_application.get(); }
    void SetLaunchApp(const wchar_t* application);
    const wchar_t* GetDescription() const { return m_description.get(); }
    void SetDescription(const wchar_t* description);
    int SendKeyAction() const { return m_keyAction; }
    void SetSendKeyAction(int keyAction) { m_keyAction = keyAction; }
    int SendKeyRepeat() const { return m_keyRepeat; }
    void SetSendKeyRepeat(int keyRepeat) { m_keyRepeat = keyRepeat; }
    bool SendKeyWhenActive() const { return m_active; }
    void SetSendKeyWhenActive(bool active) { m_active = active; }
    bool BlockMouse() const { return m_blockMouse; }
    void SetBlockMouse(bool block) { m_blockMouse = block; }
    bool BlockMouseActive() const { return m_blockMouseActive; }
    void SetBlockMouseActive(bool block) { m_blockMouseActive = block; }
    bool RandomiseDelay() const { return m_randomiseDelay; }
    void SetRandomiseDelay(bool randomise) { m_randomiseDelay = randomise; }

protected:
    CActionEntry() = default;

    // Copies values and strings; the options become the entry's own.
    void CopyEntry(const CActionEntry& source);
    void SaveEntry(pugi::xml_node element) const;
    // Reads the action (fallback when missing or invalid) and what belongs to it.
    // The keystroke values are read only with their keys; activeDefault is the
    // "active" value a file without it gives.
    void LoadEntry(pugi::xml_node element, _ACTIONS fallback, bool activeDefault, int simulatedKeyDelay,
                   const wchar_t* context);

    _ACTIONS m_action = ACTION_NO_CHANGE;
    std::unique_ptr<wchar_t[]> m_keys;
    std::unique_ptr<wchar_t[]> m_description;
    std::unique_ptr<wchar_t[]> m_application;
    int m_waitHoldTime = 0;
    int m_keyAction = 0;
    int m_keyRepeat = 0;
    bool m_active = false;
    bool m_blockMouse = true;
    bool m_blockMouseActive = false;
    bool m_randomiseDelay = false;
    // Always the entry's own: every way an entry gets options copies them.
    std::unique_ptr<CMovement2Scroll> m_movement2Scroll;
    // Writes the XML form (the library's ProfileXmlWriting.h).
    friend struct ProfileXmlWriting;
};
