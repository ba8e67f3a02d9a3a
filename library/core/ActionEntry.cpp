#include "ActionEntry.h"

#include <climits>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "OwnedString.h"
#include "XmlReaders.h"
#include "XmlWriters.h"

CActionEntry::~CActionEntry() = default;

void CActionEntry::CopyEntry(const CActionEntry& source)
{
    if (&source == this)
        return;
    m_action = source.m_action;
    m_keyAction = source.m_keyAction;
    m_keyRepeat = source.m_keyRepeat;
    m_active = source.m_active;
    m_blockMouse = source.m_blockMouse;
    m_blockMouseActive = source.m_blockMouseActive;
    m_randomiseDelay = source.m_randomiseDelay;
    m_waitHoldTime = source.m_waitHoldTime;
    SetMovement2Scroll(source.m_movement2Scroll.get());
    m_keys = CopyOwnedString(source.m_keys.get());
    m_application = CopyOwnedString(source.m_application.get());
    m_description = CopyOwnedString(source.m_description.get());
}

void CActionEntry::SetMovement2Scroll(const CMovement2Scroll* source)
{
    if (!m_movement2Scroll)
        m_movement2Scroll = std::make_unique<CMovement2Scroll>();
    m_movement2Scroll->Copy(source);
}

CActionData* CActionEntry::GetActionData() const
{
    return CActionData::CustomAction(m_action, m_keys.get(), m_waitHoldTime, m_keyAction, m_keyRepeat, m_active,
                                     m_blockMouse, m_blockMouseActive, m_randomiseDelay, m_description.get(),
                                     m_application.get(), nullptr, m_movement2Scroll.get(), nullptr);
}

void CActionEntry::SetActionData(const CActionData* record)
{
    if (record == nullptr)
        return;
    m_action = record->Action();
    m_keyAction = record->KeyAction();
    m_keyRepeat = record->KeyRepeat();
    m_active = record->Active();
    m_blockMouse = record->BlockMouse();
    m_blockMouseActive = record->BlockMouseActive();
    m_randomiseDelay = record->RandomiseDelay();
    m_waitHoldTime = record->WaitHoldTime();
    SetMovement2Scroll(record->GetMovement2Scroll());
    m_keys = CopyOwnedString(record->GetKeys());
    m_application = CopyOwnedString(record->GetApplication());
    m_description = CopyOwnedString(record->GetDescription());
}

void CActionEntry::SetKeys(const wchar_t* keys)
{
    m_keys = CopyOwnedString(keys);
}

void CActionEntry::SetLaunchApp(const wchar_t* application)
{
    m_application = CopyOwnedString(application);
}

void CActionEntry::SetDescription(const wchar_t* description)
{
    m_description = CopyOwnedString(description);
}

void CActionEntry::SaveEntry(pugi::xml_node element) const
{
    SetXmlAttribute(element, nullptr, L"action", static_cast<int>(m_action));
    SetXmlAttribute(element, nullptr, L"keys", m_keys.get());
    SetXmlAttribute(element, nullptr, L"keyaction", m_keyAction);
    SetXmlAttribute(element, nullptr, L"keyrepeat", m_keyRepeat);
    SetXmlAttribute(element, nullptr, L"active", m_active);
    SetXmlAttribute(element, nullptr, L"blockmouse", m_blockMouse);
    SetXmlAttribute(element, nullptr, L"blockmouseactive", m_blockMouseActive);
    SetXmlAttribute(element, nullptr, L"randomisedelay", m_randomiseDelay);
    SetXmlAttribute(element, nullptr, L"app", m_application.get());
    SetXmlAttribute(element, nullptr, L"desc", m_description.get());
    if (m_movement2Scroll)
        m_movement2Scroll->Save(FindOrAppendChild(element, L"mts"));
}

void CActionEntry::LoadEntry(pugi::xml_node element, _ACTIONS fallback, bool activeDefault, int simulatedKeyDelay,
                             const wchar_t* context)
{
    m_action = static_cast<_ACTIONS>(
        ReadXmlInt(element.attribute(L"action"), fallback, 0, ActionCount - 1, fallback, context));

    switch (m_action)
    {
    case ACTION_SIMULATED_KEYS:
        if (pugi::xml_attribute keys = element.attribute(L"keys"))
        {
            m_keys = CopyOwnedString(keys.value());
            m_keyAction = ReadXmlInt(element.attribute(L"keyaction"), 0, 0, KeyModeCount - 1, 0, context);
            m_keyRepeat = ReadXmlInt(element.attribute(L"keyrepeat"), 0, 0, INT_MAX, 0, context);
            m_active = ReadXmlBool(element.attribute(L"active"), activeDefault);
            m_blockMouse = ReadXmlBool(element.attribute(L"blockmouse"), true);
            m_blockMouseActive = ReadXmlBool(element.attribute(L"blockmouseactive"), false);
            m_randomiseDelay = ReadXmlBool(element.attribute(L"randomisedelay"), false);
            m_waitHoldTime = CApplicationSettings::CalculateKeystrokesWaitHoldTime(m_keys.get(), simulatedKeyDelay);
        }
        break;
    case ACTION_RUN_APPLICATION:
    case ACTION_OPEN_FOLDER:
        m_application = CopyOwnedString(element.attribute(L"app").value());
        break;
    case ACTION_MOVEMENT_TO_SCROLL:
        if (pugi::xml_node mts = element.child(L"mts"))
        {
            auto options = std::make_unique<CMovement2Scroll>();
            if (options->Load(mts, simulatedKeyDelay))
                m_movement2Scroll = std::move(options);
        }
        break;
    default:
        break;
    }

    // The description is written for every entry, so it is read for every action.
    const wchar_t* description = element.attribute(L"desc").value();
    m_description = CopyOwnedString(*description != L'\0' ? description : nullptr);
}
