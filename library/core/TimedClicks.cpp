#include "TimedClicks.h"

#include <climits>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "Logger.h"
#include "OwnedString.h"
#include "ProfileXmlWriting.h"
#include "StringFormat.h"
#include "TimedClickPresses.h"
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
    CopyEntry(*source);
    m_processedDown = source->m_processedDown;
    m_processedUp = source->m_processedUp;
    return *this;
}

CBRMPTimedClick& CBRMPTimedClick::operator=(const CBRMPTimedClick& source)
{
    if (&source != this)
        CopyEntry(source);
    return *this;
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

void CBRMPTimedClick::Save(pugi::xml_node element) const
{
    SaveEntry(element);
}

bool CBRMPTimedClick::Load(MouseButtons button, int index, bool quillonMode, pugi::xml_node element,
                           int simulatedKeyDelay)
{
    LoadEntry(element, DefaultAction(button, index, quillonMode), false, simulatedKeyDelay, L"CBRMPTimedClick::Load");
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
    ForgetTimedClickTimers(this);
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
    m_abortedToShortPress = false;
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
    XmlNodeWriter out(element);
    ProfileXmlWriting::TimedClicks(*this, out);
}

void ProfileXmlWriting::TimedClicks(const CBRMPTimedClicks& clicks, XmlElementWriter& out)
{
    out.Attribute(L"Description", clicks.m_description.get());
    out.Attribute(L"ReleaseOnUp", clicks.m_releaseOnUp);
    out.Attribute(L"AbortOnMove", clicks.m_abortOnMove);
    out.Attribute(L"AbortOnMove2", clicks.m_abortOnMove2);
    out.Attribute(L"AbortPixels", clicks.m_abortPixels);
    wchar_t name[16];
    for (int i = 0; i < TimedClickCount; ++i)
    {
        NumberedXmlName(name, L"Time", i);
        out.Attribute(name, clicks.m_times[i]);
        NumberedXmlName(name, L"Enable", i);
        out.Attribute(name, clicks.m_enabled[i]);
    }
    for (int i = 0; i < TimedClickCount; ++i)
    {
        out.Child(NumberedXmlName(name, L"Press", i));
        Entry(clicks.m_clicks[i], out);
        out.End();
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
        NumberedXmlName(name, L"Time", i);
        m_times[i] = ReadXmlInt(element.attribute(name), defaultTime, 0, INT_MAX, defaultTime, Context);
        NumberedXmlName(name, L"Enable", i);
        m_enabled[i] = ReadXmlBool(element.attribute(name), false);
        NumberedXmlName(name, L"Press", i);
        if (pugi::xml_node child = element.child(name))
        {
            m_clicks[i].Load(button, i, quillonMode, child, simulatedKeyDelay);
            loaded = true;
        }
    }
    return loaded;
}
