#include "TimedClicks.h"

#include <climits>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "Logger.h"
#include "OwnedString.h"
#include "StringFormat.h"
#include "XmlReaders.h"
#include "XmlWriters.h"

// ---- CBRMPTimedClick ----

CBRMPTimedClick::CBRMPTimedClick() = default;

CBRMPTimedClick::CBRMPTimedClick(const CBRMPTimedClick& source)
{
    *this = &source;
}

CBRMPTimedClick::~CBRMPTimedClick() = default;

CBRMPTimedClick& CBRMPTimedClick::operator=(const CBRMPTimedClick* source)
{
    if (source == nullptr || source == this)
        return *this;
    AssignValues(*source);
    m_processedDown = source->m_processedDown;
    m_processedUp = source->m_processedUp;
    return *this;
}

CBRMPTimedClick& CBRMPTimedClick::operator=(const CBRMPTimedClick& source)
{
    if (&source != this)
        AssignValues(source);
    return *this;
}

void CBRMPTimedClick::AssignValues(const CBRMPTimedClick& source)
{
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

_ACTIONS CBRMPTimedClick::DefaultAction(MouseButtons button, int index, bool quillonMode)
{
    if (index != 0)
        return ACTION_DISABLE;
    switch (button)
    {
    case Left: return ACTION_LEFT_CLICK;
    case Right: return ACTION_RIGHT_CLICK;
    case Middle: return ACTION_MIDDLE_CLICK;
    case XLeft: return ACTION_CLICK_BUTTON_4;
    case XRight: return ACTION_CLICK_BUTTON_5;
    case TiltLeft: return quillonMode ? ACTION_DISABLE : ACTION_SCROLL_WINDOW_LEFT;
    case TiltRight: return ACTION_SCROLL_WINDOW_RIGHT;
    case WheelUp: return ACTION_SCROLL_WINDOW_UP;
    case WheelDown: return ACTION_SCROLL_WINDOW_DOWN;
    default: return ACTION_DISABLE;
    }
}

void CBRMPTimedClick::Initialise(MouseButtons button, int index, bool quillonMode)
{
    m_action = DefaultAction(button, index, quillonMode);
}

void CBRMPTimedClick::SetMovement2Scroll(const CMovement2Scroll* source)
{
    if (!m_movement2Scroll)
        m_movement2Scroll = std::make_unique<CMovement2Scroll>();
    m_movement2Scroll->Copy(source);
}

CActionData* CBRMPTimedClick::GetActionData() const
{
    return CActionData::CustomAction(m_action, m_keys.get(), m_waitHoldTime, m_keyAction, m_keyRepeat, m_active,
                                     m_blockMouse, m_blockMouseActive, m_randomiseDelay, m_description.get(),
                                     m_application.get(), nullptr, m_movement2Scroll.get(), nullptr);
}

void CBRMPTimedClick::SetActionData(const CActionData* record)
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

void CBRMPTimedClick::SetKeys(const wchar_t* keys)
{
    m_keys = CopyOwnedString(keys);
}

void CBRMPTimedClick::SetLaunchApp(const wchar_t* application)
{
    m_application = CopyOwnedString(application);
}

void CBRMPTimedClick::SetDescription(const wchar_t* description)
{
    m_description = CopyOwnedString(description);
}

void CBRMPTimedClick::Save(pugi::xml_node element) const
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

bool CBRMPTimedClick::Load(MouseButtons button, int index, bool quillonMode, pugi::xml_node element,
                           int simulatedKeyDelay)
{
    static const wchar_t* const Context = L"CBRMPTimedClick::Load";
    const _ACTIONS fallback = DefaultAction(button, index, quillonMode);
    m_action = static_cast<_ACTIONS>(
        ReadXmlInt(element.attribute(L"action"), fallback, 0, ActionCount - 1, fallback, Context));

    switch (m_action)
    {
    case ACTION_SIMULATED_KEYS:
        if (pugi::xml_attribute keys = element.attribute(L"keys"))
        {
            m_keys = CopyOwnedString(keys.value());
            m_keyAction = ReadXmlInt(element.attribute(L"keyaction"), 0, 0, KeyModeCount - 1, 0, Context);
            m_keyRepeat = ReadXmlInt(element.attribute(L"keyrepeat"), 0, 0, INT_MAX, 0, Context);
            m_active = ReadXmlBool(element.attribute(L"active"), false);
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
    return true;
}

// ---- CBRMPTimedClicks ----

CBRMPTimedClicks::CBRMPTimedClicks() = default;

CBRMPTimedClicks::CBRMPTimedClicks(const CBRMPTimedClicks& source)
{
    *this = &source;
}

CBRMPTimedClicks::~CBRMPTimedClicks()
{
    if (m_clickTimerId != 0)
        ::KillTimer(nullptr, m_clickTimerId);
    if (m_feedbackTimerId != 0)
        ::KillTimer(nullptr, m_feedbackTimerId);
    m_timerCallback = nullptr;
    m_abortCallback = nullptr;
    m_spiThread = nullptr;
    m_window = nullptr;
    m_profile = nullptr;
}

CBRMPTimedClicks& CBRMPTimedClicks::operator=(const CBRMPTimedClicks* source)
{
    if (source == nullptr || source == this)
        return *this;
    CopyStoredFrom(*source);
    for (int i = 0; i < TimedClickCount; ++i)
        m_clicks[i] = &source->m_clicks[i];
    return *this;
}

// Copying the timers, callbacks or press context as well would let two lists
// kill each other's timers, so this form differs from the pointer form only in
// keeping the entries' processed flags.
CBRMPTimedClicks& CBRMPTimedClicks::operator=(const CBRMPTimedClicks& source)
{
    if (&source == this)
        return *this;
    CopyStoredFrom(source);
    for (int i = 0; i < TimedClickCount; ++i)
        m_clicks[i] = source.m_clicks[i];
    return *this;
}

void CBRMPTimedClicks::CopyStoredFrom(const CBRMPTimedClicks& source)
{
    m_description = CopyOwnedString(source.m_description.get());
    m_abortOnMove = source.m_abortOnMove;
    m_abortOnMove2 = source.m_abortOnMove2;
    m_releaseOnUp = source.m_releaseOnUp;
    m_abortPixels = source.m_abortPixels;
    for (int i = 0; i < TimedClickCount; ++i)
    {
        m_times[i] = source.m_times[i];
        m_enabled[i] = source.m_enabled[i];
    }
    m_profile = source.m_profile;
    ResetPressContext();
}

void CBRMPTimedClicks::ResetPressContext()
{
    // A running timer of this list is not stopped here: its id is only
    // forgotten, as a fresh list would have none.
    m_aborted = false;
    m_pending = true;
    m_executed = false;
    m_feedbackStep = 0;
    m_pressTime = 0;
    m_timerCallback = nullptr;
    m_abortCallback = nullptr;
    m_clickTimerId = 0;
    m_feedbackTimerId = 0;
    m_spiThread = nullptr;
    m_startPoint = {0, 0};
    m_button = NoButton;
    m_layer = 0;
    m_replayed = false;
    m_window = nullptr;
}

void CBRMPTimedClicks::Initialise(MouseButtons button, bool quillonMode)
{
    m_abortOnMove = false;
    m_aborted = false;
    for (int i = 0; i < TimedClickCount; ++i)
        m_clicks[i].Initialise(button, i, quillonMode);
}

bool CBRMPTimedClicks::ValidIndex(int index, const wchar_t* operation)
{
    if (index >= 0 && index < TimedClickCount)
        return true;
    CLogger::LogMessage(L"CBRMPTimedClicks::%s Invalid index %d", operation, index);
    return false;
}

CBRMPTimedClick* CBRMPTimedClicks::GetTimedClick(int index)
{
    return ValidIndex(index, L"GetTimedClick") ? &m_clicks[index] : nullptr;
}

const CBRMPTimedClick* CBRMPTimedClicks::GetTimedClick(int index) const
{
    return ValidIndex(index, L"GetTimedClick") ? &m_clicks[index] : nullptr;
}

bool CBRMPTimedClicks::SetTimedClick(int index, const CBRMPTimedClick& entry)
{
    if (!ValidIndex(index, L"SetTimedClick"))
        return false;
    m_clicks[index] = entry;
    return true;
}

int CBRMPTimedClicks::GetTime(int index) const
{
    return ValidIndex(index, L"GetTime") ? m_times[index] : 0;
}

void CBRMPTimedClicks::SetTime(int index, int milliseconds)
{
    if (ValidIndex(index, L"SetTime"))
        m_times[index] = milliseconds;
}

bool CBRMPTimedClicks::GetEnabled(int index) const
{
    return ValidIndex(index, L"GetEnabled") ? m_enabled[index] : false;
}

void CBRMPTimedClicks::SetEnabled(int index, bool enabled)
{
    if (ValidIndex(index, L"SetEnabled"))
        m_enabled[index] = enabled;
}

void CBRMPTimedClicks::SetDescription(const wchar_t* description)
{
    m_description = CopyOwnedString(description);
}

void CBRMPTimedClicks::Save(bool /*quillonMode*/, pugi::xml_node element) const
{
    SetXmlAttribute(element, nullptr, L"Description", m_description.get());
    SetXmlAttribute(element, nullptr, L"ReleaseOnUp", m_releaseOnUp);
    SetXmlAttribute(element, nullptr, L"AbortOnMove", m_abortOnMove);
    SetXmlAttribute(element, nullptr, L"AbortOnMove2", m_abortOnMove2);
    SetXmlAttribute(element, nullptr, L"AbortPixels", m_abortPixels);
    wchar_t name[16];
    for (int i = 0; i < TimedClickCount; ++i)
    {
        FormatArray(name, L"Time%d", i);
        SetXmlAttribute(element, nullptr, name, m_times[i]);
        FormatArray(name, L"Enable%d", i);
        SetXmlAttribute(element, nullptr, name, m_enabled[i]);
        FormatArray(name, L"Press%d", i);
        m_clicks[i].Save(FindOrAppendChild(element, name));
    }
}

bool CBRMPTimedClicks::Load(MouseButtons button, bool quillonMode, pugi::xml_node element, int simulatedKeyDelay)
{
    static const wchar_t* const Context = L"CBRMPTimedClicks::Load";
    const wchar_t* description = element.attribute(L"Description").value();
    if (*description != L'\0')
        m_description = CopyOwnedString(description);
    m_abortOnMove = ReadXmlBool(element.attribute(L"AbortOnMove"), false);
    m_abortOnMove2 = ReadXmlBool(element.attribute(L"AbortOnMove2"), false);
    m_releaseOnUp = ReadXmlBool(element.attribute(L"ReleaseOnUp"), true);
    m_abortPixels = ReadXmlInt(element.attribute(L"AbortPixels"), m_abortPixels, 0, INT_MAX, 5, Context);

    bool loaded = false;
    wchar_t name[16];
    for (int i = 0; i < TimedClickCount; ++i)
    {
        const int defaultTime = i * 500;
        FormatArray(name, L"Time%d", i);
        m_times[i] = ReadXmlInt(element.attribute(name), defaultTime, 0, INT_MAX, defaultTime, Context);
        FormatArray(name, L"Enable%d", i);
        m_enabled[i] = ReadXmlBool(element.attribute(name), false);
        FormatArray(name, L"Press%d", i);
        if (pugi::xml_node child = element.child(name))
        {
            m_clicks[i].Load(button, i, quillonMode, child, simulatedKeyDelay);
            loaded = true;
        }
    }
    return loaded;
}
