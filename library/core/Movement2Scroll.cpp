#include "Movement2Scroll.h"

#include <climits>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "Clock.h"
#include "Logger.h"
#include "OwnedString.h"
#include "ProfileXmlWriting.h"
#include "XmlReaders.h"
#include "XmlWriters.h"

namespace
{
// A press this soon after a movement-to-scroll that moved is taken as bounce.
constexpr DWORD BounceTime = 400;
constexpr int MaxSensitivity = 1000;
constexpr int MaxAxisLock = 3;
}

CMovement2Scroll::CMovement2Scroll() = default;

CMovement2Scroll::CMovement2Scroll(_ACTIONS oldCode)
{
    switch (oldCode)
    {
    case ACTION_MTS_STICKY_OLD:
        m_sticky = true;
        break;
    case ACTION_MTS_LOCK_AXIS_OLD:
        m_axisLock = 1;
        break;
    case ACTION_MTS_STICKY_LOCK_AXIS_OLD:
        m_axisLock = 1;
        m_sticky = true;
        break;
    case ACTION_MTS_INVERTED_OLD:
        m_invertVertical = m_invertHorizontal = true;
        break;
    case ACTION_MTS_INVERTED_STICKY_OLD:
        m_invertVertical = m_invertHorizontal = true;
        m_sticky = true;
        break;
    case ACTION_MTS_INVERTED_LOCK_AXIS_OLD:
        m_invertVertical = m_invertHorizontal = true;
        m_axisLock = 1;
        break;
    case ACTION_MTS_INVERTED_STICKY_LOCK_AXIS_OLD:
        m_invertVertical = m_invertHorizontal = true;
        m_axisLock = 1;
        m_sticky = true;
        break;
    default:
        break;
    }
}

CMovement2Scroll::CMovement2Scroll(const CMovement2Scroll* source)
{
    Copy(source);
}

CMovement2Scroll::CMovement2Scroll(const CMovement2Scroll& source)
{
    Copy(&source);
}

CMovement2Scroll& CMovement2Scroll::operator=(const CMovement2Scroll& source)
{
    Copy(&source);
    return *this;
}

CMovement2Scroll::~CMovement2Scroll() = default;

void CMovement2Scroll::Copy(const CMovement2Scroll* source)
{
    if (source == nullptr || source == this)
        return;
    m_sticky = source->m_sticky;
    m_stickyBlock = source->m_stickyBlock;
    m_axisLock = source->m_axisLock;
    m_invertVertical = source->m_invertVertical;
    m_invertHorizontal = source->m_invertHorizontal;
    m_blockMouse = source->m_blockMouse;
    m_sensitivityX = source->m_sensitivityX;
    m_sensitivityY = source->m_sensitivityY;
    m_noMovementAction = source->m_noMovementAction;
    m_keys = CopyOwnedString(source->m_keys.get());
    m_application = CopyOwnedString(source->m_application.get());
    m_waitHoldTime = source->m_waitHoldTime;
    m_keyAction = source->m_keyAction;
    m_keyRepeat = source->m_keyRepeat;
    m_active = source->m_active;
    m_noMovementBlockMouse = source->m_noMovementBlockMouse;
    m_blockMouseActive = source->m_blockMouseActive;
    m_randomiseDelay = source->m_randomiseDelay;
}

void CMovement2Scroll::SetMouseButton(MouseButtons button)
{
    m_mouseButton = button;
    m_buttonUpCount = 0;
}

void CMovement2Scroll::SetKeys(const wchar_t* keys)
{
    m_keys = CopyOwnedString(keys);
}

void CMovement2Scroll::SetLaunchApp(const wchar_t* application)
{
    m_application = CopyOwnedString(application);
}

CActionData* CMovement2Scroll::GetActionData() const
{
    return CActionData::CustomAction(m_noMovementAction, m_keys.get(), m_waitHoldTime, m_keyAction, m_keyRepeat,
                                     m_active, m_noMovementBlockMouse, m_blockMouseActive, m_randomiseDelay,
                                     nullptr, m_application.get(), nullptr, nullptr, nullptr);
}

void CMovement2Scroll::SetActionData(const CActionData* record)
{
    if (record == nullptr)
        return;
    m_noMovementAction = record->Action();
    m_keyAction = record->KeyAction();
    m_keyRepeat = record->KeyRepeat();
    m_active = record->Active();
    m_noMovementBlockMouse = record->BlockMouse();
    m_blockMouseActive = record->BlockMouseActive();
    m_randomiseDelay = record->RandomiseDelay();
    m_waitHoldTime = record->WaitHoldTime();
    m_keys = CopyOwnedString(record->GetKeys());
    m_application = CopyOwnedString(record->GetApplication());
}

void CMovement2Scroll::SetLastMTS(bool moved)
{
    SetLastMTS(moved, TickNow());
}

void CMovement2Scroll::SetLastMTS(bool moved, DWORD now)
{
    m_lastMTSTime = now;
    m_lastMTSMoved = moved;
}

bool CMovement2Scroll::LastMTSMoved() const
{
    return LastMTSMoved(TickNow());
}

bool CMovement2Scroll::LastMTSMoved(DWORD now) const
{
    if (!m_lastMTSMoved)
        return false;
    // Unsigned difference: survives the wrap-around of the tick count.
    const DWORD elapsed = now - m_lastMTSTime;
    if (elapsed < BounceTime)
    {
        CLogger::LogDebug(L"MTS: Last MTS moved and was only %dms ago. Assume button bounce and we have therefore still scrolled.",
                          static_cast<int>(elapsed));
        return true;
    }
    CLogger::LogDebug(L"MTS: Last MTS moved but was %dms ago so this time we have not yet scrolled",
                      static_cast<int>(elapsed));
    return false;
}

void CMovement2Scroll::Save(pugi::xml_node element) const
{
    XmlNodeWriter out(element);
    ProfileXmlWriting::Movement2Scroll(*this, out);
}

void ProfileXmlWriting::Movement2Scroll(const CMovement2Scroll& options, XmlElementWriter& out)
{
    out.Attribute(L"Lock", options.m_axisLock);
    out.Attribute(L"Sticky", options.m_sticky);
    out.Attribute(L"StickyBlock", options.m_stickyBlock);
    out.Attribute(L"Block", options.m_blockMouse);
    out.Attribute(L"InvV", options.m_invertVertical);
    out.Attribute(L"InvH", options.m_invertHorizontal);
    out.Attribute(L"SensitivityX", options.m_sensitivityX);
    out.Attribute(L"SensitivityY", options.m_sensitivityY);
    out.Attribute(L"NoMovementAction", static_cast<int>(options.m_noMovementAction));
    out.Attribute(L"keys", options.m_keys.get());
    out.Attribute(L"keyaction", options.m_keyAction);
    out.Attribute(L"keyrepeat", options.m_keyRepeat);
    out.Attribute(L"active", options.m_active);
    out.Attribute(L"blockmouse", options.m_noMovementBlockMouse);
    out.Attribute(L"blockmouseactive", options.m_blockMouseActive);
    out.Attribute(L"randomisedelay", options.m_randomiseDelay);
    out.Attribute(L"app", options.m_application.get());
}

bool CMovement2Scroll::Load(pugi::xml_node element, int perKeyTime)
{
    static const wchar_t* const Context = L"CMovement2Scroll::Load";
    m_axisLock = ReadXmlInt(element.attribute(L"Lock"), m_axisLock, 0, MaxAxisLock, 0, Context);
    m_sticky = ReadXmlBool(element.attribute(L"Sticky"), m_sticky);
    m_stickyBlock = ReadXmlBool(element.attribute(L"StickyBlock"), m_stickyBlock);
    m_blockMouse = ReadXmlBool(element.attribute(L"Block"), m_blockMouse);
    m_invertVertical = ReadXmlBool(element.attribute(L"InvV"), m_invertVertical);
    m_invertHorizontal = ReadXmlBool(element.attribute(L"InvH"), m_invertHorizontal);
    m_sensitivityX = ReadXmlInt(element.attribute(L"SensitivityX"), m_sensitivityX, 1, MaxSensitivity, 5, Context);
    m_sensitivityY = ReadXmlInt(element.attribute(L"SensitivityY"), m_sensitivityY, 1, MaxSensitivity, 5, Context);
    m_noMovementAction = static_cast<_ACTIONS>(ReadXmlInt(element.attribute(L"NoMovementAction"), m_noMovementAction,
                                                          0, ActionCount - 1, ACTION_DISABLE, Context));

    switch (m_noMovementAction)
    {
    case ACTION_SIMULATED_KEYS:
        if (pugi::xml_attribute keys = element.attribute(L"keys"))
        {
            m_keys = CopyOwnedString(keys.value());
            m_keyAction = ReadXmlInt(element.attribute(L"keyaction"), 0, 0, KeyModeCount - 1, 0, Context);
            m_keyRepeat = ReadXmlInt(element.attribute(L"keyrepeat"), 0, 0, INT_MAX, 0, Context);
            m_active = ReadXmlBool(element.attribute(L"active"), true);
            m_noMovementBlockMouse = ReadXmlBool(element.attribute(L"blockmouse"), true);
            m_blockMouseActive = ReadXmlBool(element.attribute(L"blockmouseactive"), false);
            m_randomiseDelay = ReadXmlBool(element.attribute(L"randomisedelay"), false);
            m_waitHoldTime = CApplicationSettings::CalculateKeystrokesWaitHoldTime(m_keys.get(), perKeyTime);
        }
        break;
    case ACTION_RUN_APPLICATION:
    case ACTION_OPEN_FOLDER:
        if (pugi::xml_attribute app = element.attribute(L"app"))
            m_application = CopyOwnedString(app.value());
        break;
    default:
        break;
    }
    return true;
}
