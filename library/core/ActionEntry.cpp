#include "ActionEntry.h"

#include <climits>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "OwnedString.h"
#include "ProfileXmlWriting.h"
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
    XmlNodeWriter out(element);
    ProfileXmlWriting::Entry(*this, out);
}

void ProfileXmlWriting::Entry(const CActionEntry& entry, XmlElementWriter& out)
{
    out.Attribute(L"action", static_cast<int>(entry.m_action));
    out.Attribute(L"keys", entry.m_keys.get());
    out.Attribute(L"keyaction", entry.m_keyAction);
    out.Attribute(L"keyrepeat", entry.m_keyRepeat);
    out.Attribute(L"active", entry.m_active);
    out.Attribute(L"blockmouse", entry.m_blockMouse);
    out.Attribute(L"blockmouseactive", entry.m_blockMouseActive);
    out.Attribute(L"randomisedelay", entry.m_randomiseDelay);
    out.Attribute(L"app", entry.m_application.get());
    out.Attribute(L"desc", entry.m_description.get());
    if (entry.m_movement2Scroll)
    {
        out.Child(L"mts");
        Movement2Scroll(*entry.m_movement2Scroll, out);
        out.End();
    }
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
