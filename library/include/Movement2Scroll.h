#pragma once
// Options of the movement-to-scroll action: while the button is held (or until
// it is pressed again in sticky mode) mouse movement becomes scrolling. Also
// carries the "no movement" action and a little run-time state against bounce.

#include <windows.h>

#include <memory>

#include "Actions.h"
#include "SnareholdApi.h"
#include "pugixml.hpp"

class CActionData;

class SNAREHOLD_API CMovement2Scroll
{
public:
    CMovement2Scroll();
    // The options an old movement-to-scroll code (80, 121 to 126) meant; any
    // other code gives the defaults.
    explicit CMovement2Scroll(_ACTIONS oldCode);
    // Copies options and the no-movement action (see Copy); run-time state and
    // the mouse button start afresh.
    explicit CMovement2Scroll(const CMovement2Scroll* source);
    CMovement2Scroll(const CMovement2Scroll& source);
    CMovement2Scroll& operator=(const CMovement2Scroll& source);
    ~CMovement2Scroll();

    // Copies every option and no-movement field (strings as new copies); the
    // run-time state and the mouse button stay. Null changes nothing.
    void Copy(const CMovement2Scroll* source);

    int GetAxisLocked() const { return m_axisLock; }
    void SetAxisLock(int axisLock) { m_axisLock = axisLock; }
    bool IsSticky() const { return m_sticky; }
    void SetSticky(bool sticky) { m_sticky = sticky; }
    bool IsStickyBlock() const { return m_stickyBlock; }
    void SetStickyBlock(bool stickyBlock) { m_stickyBlock = stickyBlock; }
    bool IsButtonBlocked() const { return m_blockMouse; }
    void SetBlockMouse(bool block) { m_blockMouse = block; }
    bool InvertVertical() const { return m_invertVertical; }
    void SetInvertVertical(bool invert) { m_invertVertical = invert; }
    bool InvertHorizontal() const { return m_invertHorizontal; }
    void SetInvertHorizontal(bool invert) { m_invertHorizontal = invert; }
    int getSensitivityX() const { return m_sensitivityX; }
    void SetSensitivityX(int sensitivity) { m_sensitivityX = sensitivity; }
    int getSensitivityY() const { return m_sensitivityY; }
    void SetSensitivityY(int sensitivity) { m_sensitivityY = sensitivity; }
    MouseButtons GetMouseButton() const { return m_mouseButton; }
    // Also resets the button-up count.
    void SetMouseButton(MouseButtons button);

    // The no-movement action.
    _ACTIONS GetNoMovementAction() const { return m_noMovementAction; }
    const wchar_t* GetKeys() const { return m_keys.get(); }
    const wchar_t* GetLaunchApp() const { return m_application.get(); }
    void SetKeys(const wchar_t* keys);
    void SetLaunchApp(const wchar_t* application);
    // A new record of the no-movement action; the caller deletes it.
    CActionData* GetActionData() const;
    // Takes the record's action, key values, flags, keys and application.
    void SetActionData(const CActionData* record);

    // Run-time state used by the hook side.
    int GetButtonUpCount() const { return m_buttonUpCount; }
    void IncButtonUpCount() { ++m_buttonUpCount; }
    void SetLastMTS(bool moved);
    void SetLastMTS(bool moved, DWORD now);
    // True when the last movement-to-scroll moved less than 400 ms ago: a new
    // press so soon is taken as bounce of the same one.
    bool LastMTSMoved() const;
    bool LastMTSMoved(DWORD now) const;

    // Element "mts": Save writes the options onto element; Load reads them,
    // keeping the current value of a missing option, and returns true.
    void Save(pugi::xml_node element) const;
    bool Load(pugi::xml_node element, int perKeyTime);

private:
    DWORD m_lastMTSTime = 0;
    bool m_lastMTSMoved = false;
    bool m_sticky = false;
    bool m_stickyBlock = false;
    int m_axisLock = 0;
    bool m_invertVertical = false;
    bool m_invertHorizontal = false;
    bool m_blockMouse = true;
    int m_sensitivityX = 5;
    int m_sensitivityY = 5;
    MouseButtons m_mouseButton = NoButton;
    _ACTIONS m_noMovementAction = ACTION_DISABLE;
    std::unique_ptr<wchar_t[]> m_keys;
    std::unique_ptr<wchar_t[]> m_application;
    int m_waitHoldTime = 0;
    int m_keyAction = 0;
    int m_keyRepeat = 0;
    bool m_active = true;
    bool m_noMovementBlockMouse = true;
    bool m_blockMouseActive = false;
    bool m_randomiseDelay = false;
    int m_buttonUpCount = 0;
    // Writes the XML form (the library's ProfileXmlWriting.h).
    friend struct ProfileXmlWriting;
};
