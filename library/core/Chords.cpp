#include "Chords.h"

#include <climits>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "Logger.h"
#include "OwnedString.h"
#include "ProfileXmlWriting.h"
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
    CopyEntry(source);
    m_cancelled = source.m_cancelled;
    m_used = source.m_used;
    m_sourceButton = NoButton;
    m_chordedButton = NoButton;
    m_occurred = false;
    m_currentChords = nullptr;
}

void CBRMPChord::SetActionData(const CActionData* record)
{
    if (record == nullptr)
        return;
    CActionEntry::SetActionData(record);
    m_currentChords = nullptr;
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
    SaveEntry(element);
}

bool CBRMPChord::Load(pugi::xml_node element, int simulatedKeyDelay)
{
    LoadEntry(element, ACTION_NO_CHANGE, true, simulatedKeyDelay, L"CBRMPChord::Load");
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
    XmlNodeWriter out(element);
    ProfileXmlWriting::Chords(*this, quillonMode, out);
}

void ProfileXmlWriting::Chords(const CBRMPChords& chords, bool quillonMode, XmlElementWriter& out)
{
    out.Attribute(L"Description", chords.m_description.get());
    out.Attribute(L"BlockUntilEstablished", chords.m_blockUntilEstablished);
    out.Attribute(L"UnblockAfterDelay", chords.m_unblockAfterDelay);
    out.Attribute(L"UnblockDelay", chords.m_unblockDelay);
    out.Attribute(L"UnblockMovement", chords.m_unblockMovement);
    out.Attribute(L"UnblockMPixels", chords.m_unblockMPixels);
    for (int button = 0; button < ButtonCount; ++button)
    {
        const wchar_t* name = GetButtonName(button, quillonMode);
        if (*name == L'\0')
            continue;
        out.Child(name);
        Entry(chords.m_chords[button], out);
        out.End();
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
