#include "Chords.h"

#include <climits>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "Logger.h"
#include "OwnedString.h"
#include "XmlReaders.h"
#include "XmlWriters.h"

// ---- CBRMPChord ----

CBRMPChord::CBRMPChord() = default;

CBRMPChord::CBRMPChord(const CBRMPChord& source)
{
    AssignFrom(source);
}

CBRMPChord::~CBRMPChord() = default;

CBRMPChord& CBRMPChord::operator=(const CBRMPChord& source)
{
    AssignFrom(source);
    return *this;
}

CBRMPChord& CBRMPChord::operator=(const CBRMPChord* source)
{
    if (source != nullptr)
        AssignFrom(*source);
    return *this;
}

void CBRMPChord::AssignFrom(const CBRMPChord& source)
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
    m_holdTime = source.m_holdTime;
    m_cancelled = source.m_cancelled;
    m_used = source.m_used;
    SetMovement2Scroll(source.m_movement2Scroll.get());
    m_sourceButton = NoButton;
    m_chordedButton = NoButton;
    m_occurred = false;
    m_currentChords = nullptr;
    m_keys = CopyOwnedString(source.m_keys.get());
    m_application = CopyOwnedString(source.m_application.get());
    m_description = CopyOwnedString(source.m_description.get());
}

void CBRMPChord::SetMovement2Scroll(const CMovement2Scroll* source)
{
    if (!m_movement2Scroll)
        m_movement2Scroll = std::make_unique<CMovement2Scroll>();
    m_movement2Scroll->Copy(source);
}

CActionData* CBRMPChord::GetActionData() const
{
    return CActionData::CustomAction(m_action, m_keys.get(), m_holdTime, m_keyAction, m_keyRepeat, m_active,
                                     m_blockMouse, m_blockMouseActive, m_randomiseDelay, m_description.get(),
                                     m_application.get(), nullptr, m_movement2Scroll.get(), nullptr);
}

void CBRMPChord::SetActionData(const CActionData* record)
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
    m_holdTime = record->WaitHoldTime();
    m_currentChords = nullptr;
    SetMovement2Scroll(record->GetMovement2Scroll());
    m_keys = CopyOwnedString(record->GetKeys());
    m_application = CopyOwnedString(record->GetApplication());
    m_description = CopyOwnedString(record->GetDescription());
}

void CBRMPChord::SetKeys(const wchar_t* keys)
{
    m_keys = CopyOwnedString(keys);
}

void CBRMPChord::SetLaunchApp(const wchar_t* application)
{
    m_application = CopyOwnedString(application);
}

void CBRMPChord::SetDescription(const wchar_t* description)
{
    m_description = CopyOwnedString(description);
}

void CBRMPChord::SetChordedButton(MouseButtons button)
{
    m_chordedButton = button;
    CLogger::LogDebug(L"Setting chorded button to %s", GetButtonName(button));
}

void CBRMPChord::ClearChordedFlag()
{
    m_cancelled = false;
    m_used = false;
    m_occurred = false;
    m_chordedButton = NoButton;
}

void CBRMPChord::Save(pugi::xml_node element) const
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

bool CBRMPChord::Load(pugi::xml_node element, int simulatedKeyDelay)
{
    static const wchar_t* const Context = L"CBRMPChord::Load";
    m_action = static_cast<_ACTIONS>(
        ReadXmlInt(element.attribute(L"action"), ACTION_NO_CHANGE, 0, ActionCount - 1, ACTION_NO_CHANGE, Context));

    switch (m_action)
    {
    case ACTION_SIMULATED_KEYS:
        if (pugi::xml_attribute keys = element.attribute(L"keys"))
        {
            m_keys = CopyOwnedString(keys.value());
            m_keyAction = ReadXmlInt(element.attribute(L"keyaction"), 0, 0, KeyModeCount - 1, 0, Context);
            m_keyRepeat = ReadXmlInt(element.attribute(L"keyrepeat"), 0, 0, INT_MAX, 0, Context);
            m_active = ReadXmlBool(element.attribute(L"active"), true);
            m_blockMouse = ReadXmlBool(element.attribute(L"blockmouse"), true);
            m_blockMouseActive = ReadXmlBool(element.attribute(L"blockmouseactive"), false);
            m_randomiseDelay = ReadXmlBool(element.attribute(L"randomisedelay"), false);
            m_holdTime = CApplicationSettings::CalculateKeystrokesWaitHoldTime(m_keys.get(), simulatedKeyDelay);
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
    return true;
}

// ---- CBRMPChords ----

CBRMPChords::CBRMPChords() = default;

CBRMPChords::CBRMPChords(const CBRMPChords& source)
{
    AssignFrom(source);
}

CBRMPChords::~CBRMPChords() = default;

CBRMPChords& CBRMPChords::operator=(const CBRMPChords* source)
{
    if (source != nullptr)
        AssignFrom(*source);
    return *this;
}

CBRMPChords& CBRMPChords::operator=(const CBRMPChords& source)
{
    AssignFrom(source);
    return *this;
}

void CBRMPChords::AssignFrom(const CBRMPChords& source)
{
    if (&source == this)
        return;
    m_blockUntilEstablished = source.m_blockUntilEstablished;
    m_unblockAfterDelay = source.m_unblockAfterDelay;
    m_unblockMovement = source.m_unblockMovement;
    m_unblockDelay = source.m_unblockDelay;
    m_unblockMPixels = source.m_unblockMPixels;
    m_description = CopyOwnedString(source.m_description.get());
    for (int i = 0; i < ButtonCount; ++i)
        m_chords[i] = source.m_chords[i];
}

CBRMPChord* CBRMPChords::GetChord(int button)
{
    return const_cast<CBRMPChord*>(static_cast<const CBRMPChords*>(this)->GetChord(button));
}

const CBRMPChord* CBRMPChords::GetChord(int button) const
{
    if (button < 0 || button >= ButtonCount)
    {
        CLogger::LogMessage(L"CBRMPChords::GetChord Invalid button %d", button);
        return nullptr;
    }
    return &m_chords[button];
}

bool CBRMPChords::SetChord(int button, const CBRMPChord& entry)
{
    if (button < 0 || button >= ButtonCount)
    {
        CLogger::LogMessage(L"CBRMPChords::SetChord Invalid button %d", button);
        return false;
    }
    m_chords[button] = entry;
    return true;
}

void CBRMPChords::SetDescription(const wchar_t* description)
{
    m_description = CopyOwnedString(description);
}

void CBRMPChords::Save(bool quillonMode, pugi::xml_node element) const
{
    SetXmlAttribute(element, nullptr, L"Description", m_description.get());
    SetXmlAttribute(element, nullptr, L"BlockUntilEstablished", m_blockUntilEstablished);
    SetXmlAttribute(element, nullptr, L"UnblockAfterDelay", m_unblockAfterDelay);
    SetXmlAttribute(element, nullptr, L"UnblockDelay", m_unblockDelay);
    SetXmlAttribute(element, nullptr, L"UnblockMovement", m_unblockMovement);
    SetXmlAttribute(element, nullptr, L"UnblockMPixels", m_unblockMPixels);
    for (int button = 0; button < ButtonCount; ++button)
    {
        const wchar_t* name = GetButtonName(button, quillonMode);
        if (*name == L'\0')
            continue;
        m_chords[button].Save(FindOrAppendChild(element, name));
    }
}

bool CBRMPChords::Load(bool quillonMode, pugi::xml_node element, int simulatedKeyDelay)
{
    static const wchar_t* const Context = L"CBRMPChords::Load";
    const wchar_t* description = element.attribute(L"Description").value();
    if (*description != L'\0')
        m_description = CopyOwnedString(description);
    m_blockUntilEstablished = ReadXmlBool(element.attribute(L"BlockUntilEstablished"), m_blockUntilEstablished);
    m_unblockAfterDelay = ReadXmlBool(element.attribute(L"UnblockAfterDelay"), m_unblockAfterDelay);
    m_unblockMovement = ReadXmlBool(element.attribute(L"UnblockMovement"), m_unblockMovement);
    m_unblockDelay = ReadXmlInt(element.attribute(L"UnblockDelay"), m_unblockDelay, 0, INT_MAX, 750, Context);
    m_unblockMPixels = ReadXmlInt(element.attribute(L"UnblockMPixels"), m_unblockMPixels, 0, INT_MAX, 5, Context);

    bool loaded = false;
    for (int button = 0; button < ButtonCount; ++button)
    {
        const wchar_t* name = GetButtonName(button, quillonMode);
        if (*name == L'\0')
            continue;
        if (pugi::xml_node child = element.child(name))
        {
            m_chords[button].Load(child, simulatedKeyDelay);
            loaded = true;
        }
    }
    return loaded;
}
