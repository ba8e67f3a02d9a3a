#include "ApplicationSettings.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <regex>
#include <iterator>
#include <string>
#include <string_view>

#include "ActionData.h"
#include "Chords.h"
#include "Logger.h"
#include "Movement2Scroll.h"
#include "Settings.h"
#include "StringFormat.h"
#include "TimedClicks.h"

namespace
{
    constexpr int kMaxTagExamined = 24;

    // Patterns come from the settings file. The default engine of libstdc++
    // backtracks (exponential time on patterns like "(a|aa)*b"); its polynomial
    // mode never does, at the price of refusing back-references.
#ifdef __GLIBCXX__
    constexpr auto kPatternSyntax = std::regex_constants::ECMAScript | std::regex_constants::__polynomial;
#else
    constexpr auto kPatternSyntax = std::regex_constants::ECMAScript;
#endif

    bool IsRetiredMovementCode(int code)
    {
        return code == ACTION_MTS_STICKY_OLD || (code >= ACTION_MTS_LOCK_AXIS_OLD && code <= ACTION_MTS_INVERTED_STICKY_LOCK_AXIS_OLD);
    }

    // A part of a window key, cut to what the part buffer holds.
    std::wstring BoundedPart(const std::wstring& text)
    {
        if (text.size() >= static_cast<size_t>(kProfilePartBufferSize))
            return text.substr(0, kProfilePartBufferSize - 1);
        return text;
    }

    // Stores a key part in a field: "*" (any) clears it.
    void StorePart(wchar_t*& field, const std::wstring& part, bool lowerCase)
    {
        const std::wstring bounded = BoundedPart(part);
        if (bounded == L"*")
            CApplicationSettings::ClearString(field);
        else
            CApplicationSettings::CopyString(field, bounded.c_str(), lowerCase);
    }

    bool EqualsIgnoreCase(const wchar_t* a, int aLength, const wchar_t* b, int bLength)
    {
        return ::CompareStringOrdinal(a, aLength, b, bLength, TRUE) == CSTR_EQUAL;
    }

    int SaturatingAdd(int total, long long amount)
    {
        const long long sum = static_cast<long long>(total) + amount;
        return sum > INT_MAX ? INT_MAX : static_cast<int>(sum);
    }

    // Reads the decimal number at position (after one optional ":", one optional
    // "<" and blanks); false when there are no digits. A "-" never starts a
    // number (it starts the upper bound of a range). Large numbers saturate.
    bool ReadTagNumber(std::wstring_view text, size_t position, long long& value)
    {
        if (position < text.size() && text[position] == L':')
            ++position;
        if (position < text.size() && text[position] == L'<')
            ++position;
        while (position < text.size() && (text[position] == L' ' || text[position] == L'\t'))
            ++position;
        if (position < text.size() && text[position] == L'+')
            ++position;
        value = 0;
        bool any = false;
        while (position < text.size() && text[position] >= L'0' && text[position] <= L'9')
        {
            any = true;
            if (value < INT_MAX)
                value = value * 10 + (text[position] - L'0');
            ++position;
        }
        if (value > INT_MAX)
            value = INT_MAX;
        return any;
    }

    bool StartsWith(const std::wstring& text, const wchar_t* prefix)
    {
        return text.compare(0, std::wcslen(prefix), prefix) == 0;
    }

    // Whether the tag, read in upper case, starts with prefix (in upper case).
    // Only the prefix's characters are compared: a load asks this of every tag
    // of every slot, and needs no copy of them.
    bool StartsWithInUpperCase(std::wstring_view tag, const wchar_t* prefix)
    {
        for (size_t i = 0; prefix[i] != L'\0'; ++i)
        {
            if (i >= tag.size() || static_cast<wchar_t>(std::towupper(tag[i])) != prefix[i])
                return false;
        }
        return true;
    }

    // The time one tag adds to the estimate. (The number after the name is
    // read as it is: upper case changes none of its characters.)
    long long TagTime(std::wstring_view tag, int perKeyTime)
    {
        long long number = 0;
        if (StartsWithInUpperCase(tag, L"HOLDMS") || StartsWithInUpperCase(tag, L"WAITMS"))
            return ReadTagNumber(tag, 6, number) ? number : perKeyTime;
        if (StartsWithInUpperCase(tag, L"HOLD") || StartsWithInUpperCase(tag, L"WAIT"))
        {
            if (!ReadTagNumber(tag, 4, number) || number == 0)
                return 250;
            return number * 1000;
        }
        return perKeyTime;
    }
}

// The compiled regular expressions of the four match fields. An entry whose
// pattern does not compile stays invalid and never matches.
struct CApplicationSettings::CompiledPatterns
{
    struct Entry
    {
        bool compiled = false;
        bool invalid = false;
        std::wregex expression;
    };
    Entry entries[PatternCount];
};

namespace
{
std::atomic<unsigned long long> g_nextProfileSerial{1};
}

CApplicationSettings::CApplicationSettings(CSettings* settings, bool isDefault, int index)
    : m_uSerial(g_nextProfileSerial.fetch_add(1)), m_bDefault(isDefault), m_nIndex(index), m_pSettings(settings),
      m_pPatterns(new CompiledPatterns)
{
    const int repeat = DefaultRepeat();
    for (int i = 0; i < SlotCount; ++i)
    {
        m_Actions[i] = ACTION_NO_CHANGE;
        m_bResetKeys[i] = false;
        m_nKeyAction[i] = DefaultKeyMode;
        m_nKeyRepeat[i] = repeat;
        m_nWaitHoldTime[i] = 0;
        m_bSendWhenActive[i] = true;
        m_bBlockMouse[i] = true;
        m_bBlockMouseActive[i] = false;
        m_bRandomiseDelay[i] = false;
    }
    for (int layer = 0; layer < LayerCount; ++layer)
    {
        m_bRevertLayer1[layer] = false;
        m_nAutoSwitchLayer[layer] = 0;
        m_dAutoSwitchTime[layer] = 1.0;
        m_bLayerDisabledNextPrev[layer] = false;
        m_bLayerDisabled[layer] = false;
        m_ChordButton[layer] = NoButton;
    }
    m_nScrollLines = settings != nullptr ? settings->m_nWheelScrollLines : 3;
    if (isDefault)
        CopyString(m_pszFullName, L"Default");
}

CApplicationSettings::~CApplicationSettings()
{
    ClearSlotObjects();
    for (int i = 0; i < SlotCount; ++i)
    {
        ClearString(m_pszKeystrokes[i]);
        ClearString(m_pszStuckKeys[i]);
        ClearString(m_pszLaunchApp[i]);
        ClearString(m_pszActionDescription[i]);
    }
    for (wchar_t*& name : m_pszLayerNames)
        ClearString(name);
    ClearString(m_pszFullName);
    ClearString(m_pszDescription);
    ClearString(m_pszCaption);
    ClearString(m_pszApplication);
    ClearString(m_pszClass);
    ClearString(m_pszParentClass);
    ClearString(m_pszCursor);
    ClearString(m_pszProfileChangeScript);
    delete m_pPatterns;
}

void CApplicationSettings::ClearSlotObjects()
{
    for (int i = 0; i < SlotCount; ++i)
    {
        delete m_pChords[i];
        m_pChords[i] = nullptr;
        delete m_pTimedClicks[i];
        m_pTimedClicks[i] = nullptr;
        delete m_pMovement2Scroll[i];
        m_pMovement2Scroll[i] = nullptr;
    }
}

wchar_t* CApplicationSettings::CopyString(wchar_t*& target, const wchar_t* source, bool lowerCase)
{
    // The source may be the target itself (or part of it): copy before freeing.
    wchar_t* copy = nullptr;
    if (source != nullptr)
    {
        const size_t length = std::wcslen(source);
        copy = new wchar_t[length + 1];
        std::wmemcpy(copy, source, length + 1);
        if (lowerCase && length > 0)
            ::CharLowerBuffW(copy, static_cast<DWORD>(std::min<size_t>(length, MAXDWORD)));
    }
    delete[] target;
    target = copy;
    return copy;
}

void CApplicationSettings::ClearString(wchar_t*& target)
{
    delete[] target;
    target = nullptr;
}

// --- identity ---

void CApplicationSettings::SetApplication(const wchar_t* key)
{
    if (key == nullptr)
    {
        ClearString(m_pszApplication);
        ClearString(m_pszClass);
        ClearString(m_pszParentClass);
        ClearString(m_pszCaption);
        RecompilePatterns();
        return;
    }

    const std::wstring full = key;   // the key may be our own full name
    CopyString(m_pszFullName, full.c_str());

    const std::wstring separator = kWindowKeySeparator;
    auto wholeKeyAsProcess = [&]() {
        ClearString(m_pszCaption);
        ClearString(m_pszClass);
        ClearString(m_pszParentClass);
        CopyString(m_pszApplication, BoundedPart(full).c_str(), true);
    };

    if (StartsWith(full, L"W:"))
    {
        // Process;class;parent class. Missing parts count as "*".
        std::wstring parts[3] = {L"*", L"*", L"*"};
        size_t start = 2;
        for (int i = 0; i < 3; ++i)
        {
            const size_t end = (i < 2) ? full.find(L';', start) : std::wstring::npos;
            parts[i] = full.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
            if (end == std::wstring::npos)
                break;
            start = end + 1;
        }
        ClearString(m_pszCaption);
        StorePart(m_pszApplication, parts[0], true);
        StorePart(m_pszClass, parts[1], false);
        StorePart(m_pszParentClass, parts[2], false);
    }
    else if (StartsWith(full, L"W2:"))
    {
        const size_t start = 3;
        const size_t first = full.find(separator, start);
        if (first == std::wstring::npos)
        {
            wholeKeyAsProcess();
        }
        else
        {
            ClearString(m_pszCaption);
            StorePart(m_pszApplication, full.substr(start, first - start), true);
            const size_t classStart = first + separator.size();
            const size_t second = full.find(separator, classStart);
            if (second == std::wstring::npos)
            {
                ClearString(m_pszClass);
                ClearString(m_pszParentClass);
            }
            else
            {
                StorePart(m_pszClass, full.substr(classStart, second - classStart), false);
                StorePart(m_pszParentClass, full.substr(second + separator.size()), false);
            }
        }
    }
    else if (StartsWith(full, L"W3:"))
    {
        const size_t start = 3;
        const size_t first = full.find(separator, start);
        const size_t processStart = first == std::wstring::npos ? first : first + separator.size();
        const size_t second = first == std::wstring::npos ? first : full.find(separator, processStart);
        if (first == std::wstring::npos || second == std::wstring::npos)
        {
            wholeKeyAsProcess();
        }
        else
        {
            StorePart(m_pszCaption, full.substr(start, first - start), false);
            StorePart(m_pszApplication, full.substr(processStart, second - processStart), true);
            const size_t classStart = second + separator.size();
            const size_t third = full.find(separator, classStart);
            if (third == std::wstring::npos)
            {
                ClearString(m_pszClass);
                ClearString(m_pszParentClass);
            }
            else
            {
                StorePart(m_pszClass, full.substr(classStart, third - classStart), false);
                StorePart(m_pszParentClass, full.substr(third + separator.size()), false);
            }
        }
    }
    else
    {
        wholeKeyAsProcess();
    }
    RecompilePatterns();
}

void CApplicationSettings::SetDescription(const wchar_t* description)
{
    CopyString(m_pszDescription, description);
}

bool CApplicationSettings::IsCustomWindow() const
{
    return m_pszClass != nullptr || m_pszParentClass != nullptr || m_pszCaption != nullptr ||
           m_WindowMask != WINDOWMASK_ALL || m_bRegExMatching || m_bNoParent || m_bUseWindowArea;
}

std::wstring CApplicationSettings::GetKey() const
{
    auto text = [](const wchar_t* s) { return std::wstring(s != nullptr ? s : L""); };
    if (IsCustomWindow())
        return L"cw;" + text(m_pszCaption) + L";" + text(m_pszApplication) + L";" + text(m_pszParentClass) + L";" +
               text(m_pszClass);
    return text(m_pszApplication);
}

int CApplicationSettings::GetShortName(wchar_t* buffer, int count) const
{
    if (buffer == nullptr || count <= 0)
        return -1;

    std::wstring name;
    if (m_bDefault)
        name = L"Default";
    else if (m_pszDescription != nullptr)
        name = m_pszDescription;
    else if (!IsCustomWindow())
    {
        if (m_pszApplication == nullptr)
            return -1;
        name = m_pszApplication;
    }
    else
    {
        name = m_pszApplication != nullptr ? m_pszApplication : L"";
        if (m_pszClass != nullptr)
            name += std::wstring(L";") + m_pszClass;
        if (m_pszParentClass != nullptr)
            name += std::wstring(L";") + m_pszParentClass;
    }

    const size_t limit = std::min<size_t>(static_cast<size_t>(count) - 1, kProfilePartBufferSize - 1);
    const size_t length = std::min(name.size(), limit);
    std::wmemcpy(buffer, name.c_str(), length);
    buffer[length] = L'\0';
    return 0;
}

// --- slots ---

bool CApplicationSettings::ValidSlot(int button, int layer)
{
    return button >= 0 && button < ButtonCount && layer >= 0 && layer < LayerCount;
}

bool CApplicationSettings::ValidLayer(int layer)
{
    return layer >= 0 && layer < LayerCount;
}

bool CApplicationSettings::CheckSlot(int button, int layer, const wchar_t* operation) const
{
    if (ValidSlot(button, layer))
        return true;
    CLogger::LogMessage(L"Invalid call to %s(%d, %d)", operation, button, layer);
    return false;
}

bool CApplicationSettings::CheckLayer(int layer, const wchar_t* operation) const
{
    if (ValidLayer(layer))
        return true;
    CLogger::LogMessage(L"Invalid call to %s(%d)", operation, layer);
    return false;
}

_ACTIONS CApplicationSettings::GetActions(int button, int layer, bool checkDisabled) const
{
    if (!ValidSlot(button, layer))
    {
        CLogger::LogMessage(L"Invalid call to GetActions(%d, %d)", button, layer);
        return ACTION_NO_CHANGE;
    }
    if (checkDisabled && GetLayerDisabled(layer))
    {
        CLogger::LogDebug(L"GetActions(button %d, layer %d): Layer is disabled in the default profile. Returning action from layer 1.",
                          button, layer + 1);
        return ACTION_SAME_AS_LAYER_1;
    }
    return m_Actions[SlotIndex(button, layer)];
}

void CApplicationSettings::SetActions(int button, int layer, int action)
{
    if (!ValidSlot(button, layer))
    {
        CLogger::LogMessage(L"Invalid call to SetActions(%d, %d, %d)", button, layer, action);
        return;
    }
    m_Actions[SlotIndex(button, layer)] = static_cast<_ACTIONS>(action);
}

bool CApplicationSettings::GetResetKeys(int button, int layer) const
{
    if (!ValidSlot(button, layer))
    {
        CLogger::LogMessage(L"Invalid call to GetResetKeys(%d, %d)", button, layer);
        return false;
    }
    return m_bResetKeys[SlotIndex(button, layer)];
}

void CApplicationSettings::SetResetKeys(int button, int layer, bool reset)
{
    if (!ValidSlot(button, layer))
    {
        CLogger::LogMessage(L"Invalid call to SetResetKeys(%d, %d, %d)", button, layer, reset ? 1 : 0);
        return;
    }
    m_bResetKeys[SlotIndex(button, layer)] = reset;
}

void CApplicationSettings::SetKeystrokes(int button, int layer, const wchar_t* keys, int keyAction, int keyRepeat,
                                         bool active, bool blockMouse, bool blockMouseActive, bool randomiseDelay)
{
    if (!CheckSlot(button, layer, L"SetKeystrokes"))
        return;
    const int i = SlotIndex(button, layer);
    CopyString(m_pszKeystrokes[i], keys);
    m_nKeyAction[i] = keyAction;
    m_nKeyRepeat[i] = keyRepeat;
    m_bSendWhenActive[i] = active;
    m_bBlockMouse[i] = blockMouse;
    m_bBlockMouseActive[i] = blockMouseActive;
    m_bRandomiseDelay[i] = randomiseDelay;
}

void CApplicationSettings::SetKeystrokes(int button, int layer, const wchar_t* keys, int keyAction, int keyRepeat,
                                         bool active, bool blockMouse, bool blockMouseActive, bool randomiseDelay,
                                         int perKeyTime)
{
    if (!CheckSlot(button, layer, L"SetKeystrokes"))
        return;
    SetKeystrokes(button, layer, keys, keyAction, keyRepeat, active, blockMouse, blockMouseActive, randomiseDelay);
    m_nWaitHoldTime[SlotIndex(button, layer)] = keys != nullptr ? CalculateKeystrokesWaitHoldTime(keys, perKeyTime) : 0;
}

const wchar_t* CApplicationSettings::GetKeystrokes(int button, int layer) const
{
    return CheckSlot(button, layer, L"GetKeystrokes") ? m_pszKeystrokes[SlotIndex(button, layer)] : nullptr;
}

int CApplicationSettings::SendKeyAction(int button, int layer) const
{
    return CheckSlot(button, layer, L"SendKeyAction") ? m_nKeyAction[SlotIndex(button, layer)] : DefaultKeyMode;
}

int CApplicationSettings::SendKeyRepeat(int button, int layer) const
{
    return CheckSlot(button, layer, L"SendKeyRepeat") ? m_nKeyRepeat[SlotIndex(button, layer)] : 0;
}

bool CApplicationSettings::SendKeyWhenActive(int button, int layer) const
{
    return CheckSlot(button, layer, L"SendKeyWhenActive") && m_bSendWhenActive[SlotIndex(button, layer)];
}

bool CApplicationSettings::BlockMouse(int button, int layer) const
{
    return CheckSlot(button, layer, L"BlockMouse") && m_bBlockMouse[SlotIndex(button, layer)];
}

bool CApplicationSettings::BlockMouseActive(int button, int layer) const
{
    return CheckSlot(button, layer, L"BlockMouseActive") && m_bBlockMouseActive[SlotIndex(button, layer)];
}

bool CApplicationSettings::RandomiseDelay(int button, int layer) const
{
    return CheckSlot(button, layer, L"RandomiseDelay") && m_bRandomiseDelay[SlotIndex(button, layer)];
}

int CApplicationSettings::GetKeystrokesWaitHoldTime(int button, int layer, int base) const
{
    if (!CheckSlot(button, layer, L"GetKeystrokesWaitHoldTime"))
        return base;
    return SaturatingAdd(base, m_nWaitHoldTime[SlotIndex(button, layer)]);
}

void CApplicationSettings::SetKeystrokesWaitHoldTime(int button, int layer, int waitHoldTime)
{
    if (CheckSlot(button, layer, L"SetKeystrokesWaitHoldTime"))
        m_nWaitHoldTime[SlotIndex(button, layer)] = waitHoldTime;
}

const wchar_t* CApplicationSettings::GetActionDescription(int button, int layer) const
{
    return CheckSlot(button, layer, L"GetActionDescription") ? m_pszActionDescription[SlotIndex(button, layer)] : nullptr;
}

void CApplicationSettings::SetActionDescription(int button, int layer, const wchar_t* description)
{
    if (CheckSlot(button, layer, L"SetActionDescription"))
        CopyString(m_pszActionDescription[SlotIndex(button, layer)], description);
}

const wchar_t* CApplicationSettings::GetLaunchApp(int button, int layer) const
{
    return CheckSlot(button, layer, L"GetLaunchApp") ? m_pszLaunchApp[SlotIndex(button, layer)] : nullptr;
}

void CApplicationSettings::SetLaunchApp(int button, int layer, const wchar_t* application)
{
    if (CheckSlot(button, layer, L"SetLaunchApp"))
        CopyString(m_pszLaunchApp[SlotIndex(button, layer)], application);
}

const wchar_t* CApplicationSettings::GetStuckKeys(int button, int layer) const
{
    return CheckSlot(button, layer, L"GetStuckKeys") ? m_pszStuckKeys[SlotIndex(button, layer)] : nullptr;
}

void CApplicationSettings::SetStuckKeys(int button, int layer, const wchar_t* keys)
{
    if (CheckSlot(button, layer, L"SetStuckKeys"))
        CopyString(m_pszStuckKeys[SlotIndex(button, layer)], keys);
}

CBRMPChords* CApplicationSettings::GetChords(int button, int layer) const
{
    return CheckSlot(button, layer, L"GetChords") ? m_pChords[SlotIndex(button, layer)] : nullptr;
}

CBRMPTimedClicks* CApplicationSettings::GetTimedClicks(int button, int layer) const
{
    return CheckSlot(button, layer, L"GetTimedClicks") ? m_pTimedClicks[SlotIndex(button, layer)] : nullptr;
}

CMovement2Scroll* CApplicationSettings::GetMovement2Scroll(int button, int layer) const
{
    return CheckSlot(button, layer, L"GetMovement2Scroll") ? m_pMovement2Scroll[SlotIndex(button, layer)] : nullptr;
}

void CApplicationSettings::SetChords(int button, int layer, CBRMPChords* chords)
{
    if (!CheckSlot(button, layer, L"SetChords"))
        return;
    CBRMPChords*& slot = m_pChords[SlotIndex(button, layer)];
    if (slot == chords)
        return;
    delete slot;
    slot = chords;
}

void CApplicationSettings::SetTimedClicks(int button, int layer, CBRMPTimedClicks* timedClicks)
{
    if (!CheckSlot(button, layer, L"SetTimedClicks"))
        return;
    CBRMPTimedClicks*& slot = m_pTimedClicks[SlotIndex(button, layer)];
    if (slot == timedClicks)
        return;
    delete slot;
    slot = timedClicks;
}

void CApplicationSettings::CopyChords(int button, int layer, const CBRMPChords* chords)
{
    if (!CheckSlot(button, layer, L"CopyChords"))
        return;
    CBRMPChords*& slot = m_pChords[SlotIndex(button, layer)];
    if (slot == chords)
        return;
    CBRMPChords* copy = chords != nullptr ? new CBRMPChords(*chords) : nullptr;
    delete slot;
    slot = copy;
}

void CApplicationSettings::CopyTimedClicks(int button, int layer, const CBRMPTimedClicks* timedClicks)
{
    if (!CheckSlot(button, layer, L"CopyTimedClicks"))
        return;
    CBRMPTimedClicks*& slot = m_pTimedClicks[SlotIndex(button, layer)];
    if (slot == timedClicks)
        return;
    CBRMPTimedClicks* copy = timedClicks != nullptr ? new CBRMPTimedClicks(*timedClicks) : nullptr;
    delete slot;
    slot = copy;
}

void CApplicationSettings::CopyMovement2Scrolls(int button, int layer, const CMovement2Scroll* options)
{
    if (!CheckSlot(button, layer, L"CopyMovement2Scrolls"))
        return;
    CMovement2Scroll*& slot = m_pMovement2Scroll[SlotIndex(button, layer)];
    if (slot == options)
        return;
    CMovement2Scroll* copy = options != nullptr ? new CMovement2Scroll(options) : nullptr;
    delete slot;
    slot = copy;
}

void CApplicationSettings::SetMovement2Scroll(int button, int layer, const CMovement2Scroll* options)
{
    if (!CheckSlot(button, layer, L"SetMovement2Scroll"))
        return;
    CMovement2Scroll*& slot = m_pMovement2Scroll[SlotIndex(button, layer)];
    if (slot == nullptr)
        slot = new CMovement2Scroll();
    if (options != nullptr && options != slot)
        slot->Copy(options);
}

CActionData* CApplicationSettings::GetActionData(int button, int layer) const
{
    if (!CheckSlot(button, layer, L"GetActionData"))
        return nullptr;
    const int i = SlotIndex(button, layer);
    return CActionData::CustomAction(m_Actions[i], m_pszKeystrokes[i], m_nWaitHoldTime[i], m_nKeyAction[i],
                                     m_nKeyRepeat[i], m_bSendWhenActive[i], m_bBlockMouse[i], m_bBlockMouseActive[i],
                                     m_bRandomiseDelay[i], m_pszActionDescription[i], m_pszLaunchApp[i], m_pChords[i],
                                     m_pMovement2Scroll[i], m_pTimedClicks[i]);
}

void CApplicationSettings::UpgradeAction(int button, int layer, int oldCode)
{
    if (!ValidSlot(button, layer) || !IsRetiredMovementCode(oldCode))
        return;
    const CMovement2Scroll converted(static_cast<_ACTIONS>(oldCode));
    SetMovement2Scroll(button, layer, &converted);
    m_Actions[SlotIndex(button, layer)] = ACTION_MOVEMENT_TO_SCROLL;
}

// --- layers ---

const wchar_t* CApplicationSettings::GetLayerName(int layer) const
{
    if (!ValidLayer(layer) || m_pszLayerNames[layer] == nullptr)
    {
        CLogger::LogDebug(L"GetLayerName: Layer %d does not exist or has no name!", layer);
        return L"";
    }
    return m_pszLayerNames[layer];
}

void CApplicationSettings::SetLayerName(const wchar_t* name, int layer)
{
    if (CheckLayer(layer, L"SetLayerName"))
        CopyString(m_pszLayerNames[layer], name);
}

bool CApplicationSettings::GetRevertLayer1(int layer) const
{
    return CheckLayer(layer, L"GetRevertLayer1") && m_bRevertLayer1[layer];
}

void CApplicationSettings::SetRevertLayer1(int layer, bool revert)
{
    if (CheckLayer(layer, L"SetRevertLayer1"))
        m_bRevertLayer1[layer] = revert;
}

int CApplicationSettings::GetAutoSwitchLayer(int layer) const
{
    return CheckLayer(layer, L"GetAutoSwitchLayer") ? m_nAutoSwitchLayer[layer] : 0;
}

void CApplicationSettings::SetAutoSwitchLayer(int layer, int target)
{
    if (CheckLayer(layer, L"SetAutoSwitchLayer"))
        m_nAutoSwitchLayer[layer] = target;
}

double CApplicationSettings::GetAutoSwitchTime(int layer) const
{
    return CheckLayer(layer, L"GetAutoSwitchTime") ? m_dAutoSwitchTime[layer] : 1.0;
}

void CApplicationSettings::SetAutoSwitchTime(int layer, double seconds)
{
    if (CheckLayer(layer, L"SetAutoSwitchTime"))
        m_dAutoSwitchTime[layer] = seconds;
}

bool CApplicationSettings::GetLayerDisabled(int layer) const
{
    // The first layer is never disabled.
    return layer != 0 && CheckLayer(layer, L"GetLayerDisabled") && m_bLayerDisabled[layer];
}

void CApplicationSettings::SetLayerDisabled(int layer, bool disabled)
{
    if (CheckLayer(layer, L"SetLayerDisabled"))
        m_bLayerDisabled[layer] = layer != 0 && disabled;
}

bool CApplicationSettings::GetLayerDisabledNextPrev(int layer, bool includeDisabled) const
{
    if (!CheckLayer(layer, L"GetLayerDisabledNextPrev"))
        return false;
    if (includeDisabled && GetLayerDisabled(layer))
        return true;
    return m_bLayerDisabledNextPrev[layer];
}

void CApplicationSettings::SetLayerDisabledNextPrev(int layer, bool skip)
{
    if (CheckLayer(layer, L"SetLayerDisabledNextPrev"))
        m_bLayerDisabledNextPrev[layer] = skip;
}

MouseButtons CApplicationSettings::GetChordButton(int layer) const
{
    return CheckLayer(layer, L"GetChordButton") ? m_ChordButton[layer] : NoButton;
}

void CApplicationSettings::SetChordButton(MouseButtons button, int layer)
{
    if (CheckLayer(layer, L"SetChordButton"))
        m_ChordButton[layer] = button;
}

// --- options ---

void CApplicationSettings::SetRegExMatching(bool on)
{
    if (m_bRegExMatching == on)
        return;
    m_bRegExMatching = on;
    RecompilePatterns();
}

void CApplicationSettings::SetCursor(const wchar_t* cursor)
{
    CopyString(m_pszCursor, cursor);
}

void CApplicationSettings::SetProfileChangeScript(const wchar_t* script)
{
    CopyString(m_pszProfileChangeScript, script);
}

bool CApplicationSettings::GetDisableScrollUnderCursor(const CApplicationSettings* profile)
{
    return profile != nullptr && profile->m_bDisableScrollUnderCursor;
}

bool CApplicationSettings::GetDisableMouseOver(const CApplicationSettings* profile)
{
    return profile != nullptr && profile->m_bDisableMouseOver;
}

bool CApplicationSettings::GetDisableLayerModifier(const CApplicationSettings* profile)
{
    return profile != nullptr && profile->m_bDisableLayerModifier;
}

void CApplicationSettings::Copy(const CApplicationSettings* source)
{
    if (source == nullptr || source == this)
        return;

    m_bDefault = false;
    CopyString(m_pszFullName, source->m_pszFullName);
    CopyString(m_pszDescription, source->m_pszDescription);
    CopyString(m_pszCaption, source->m_pszCaption);
    CopyString(m_pszApplication, source->m_pszApplication);
    CopyString(m_pszClass, source->m_pszClass);
    CopyString(m_pszParentClass, source->m_pszParentClass);
    CopyString(m_pszCursor, source->m_pszCursor);
    CopyString(m_pszProfileChangeScript, source->m_pszProfileChangeScript);

    for (int layer = 0; layer < LayerCount; ++layer)
    {
        CopyString(m_pszLayerNames[layer], source->m_pszLayerNames[layer]);
        m_bRevertLayer1[layer] = source->m_bRevertLayer1[layer];
        m_nAutoSwitchLayer[layer] = source->m_nAutoSwitchLayer[layer];
        m_dAutoSwitchTime[layer] = source->m_dAutoSwitchTime[layer];
        m_bLayerDisabledNextPrev[layer] = source->m_bLayerDisabledNextPrev[layer];
        m_bLayerDisabled[layer] = source->m_bLayerDisabled[layer];
        m_ChordButton[layer] = source->m_ChordButton[layer];
    }

    for (int i = 0; i < SlotCount; ++i)
    {
        m_Actions[i] = source->m_Actions[i];
        m_bResetKeys[i] = source->m_bResetKeys[i];
        CopyString(m_pszKeystrokes[i], source->m_pszKeystrokes[i]);
        CopyString(m_pszStuckKeys[i], source->m_pszStuckKeys[i]);
        CopyString(m_pszLaunchApp[i], source->m_pszLaunchApp[i]);
        CopyString(m_pszActionDescription[i], source->m_pszActionDescription[i]);
        const int button = i % ButtonCount;
        const int layer = i / ButtonCount;
        CopyChords(button, layer, source->m_pChords[i]);
        CopyTimedClicks(button, layer, source->m_pTimedClicks[i]);
        CopyMovement2Scrolls(button, layer, source->m_pMovement2Scroll[i]);
        m_nKeyAction[i] = source->m_nKeyAction[i];
        m_nKeyRepeat[i] = source->m_nKeyRepeat[i];
        m_nWaitHoldTime[i] = source->m_nWaitHoldTime[i];
        m_bSendWhenActive[i] = source->m_bSendWhenActive[i];
        m_bBlockMouse[i] = source->m_bBlockMouse[i];
        m_bBlockMouseActive[i] = source->m_bBlockMouseActive[i];
        m_bRandomiseDelay[i] = source->m_bRandomiseDelay[i];
    }

    m_bEnabled = source->m_bEnabled;
    m_bRegExMatching = source->m_bRegExMatching;
    m_bNoParent = source->m_bNoParent;
    m_bInvertScrolling = source->m_bInvertScrolling;
    m_bInvertHorzScrolling = source->m_bInvertHorzScrolling;
    m_bScrollPages = source->m_bScrollPages;
    m_bAxisLocking = source->m_bAxisLocking;
    m_SwapButtons = source->m_SwapButtons;
    m_nScrollLines = source->m_nScrollLines;
    m_bForceSPIMessage = source->m_bForceSPIMessage;
    m_bClipMouse = source->m_bClipMouse;
    m_nAdvScrollMethod = source->m_nAdvScrollMethod;
    m_nAdvScrollVertical = source->m_nAdvScrollVertical;
    m_nAdvScrollHorizontal = source->m_nAdvScrollHorizontal;
    m_bChangeCursor = source->m_bChangeCursor;
    m_bProfileScriptEnabled = source->m_bProfileScriptEnabled;
    m_WindowMask = source->m_WindowMask;
    m_bUseWindowArea = source->m_bUseWindowArea;
    m_rcWindowArea = source->m_rcWindowArea;
    m_bDisableScrollUnderCursor = source->m_bDisableScrollUnderCursor;
    m_bDisableMouseOver = source->m_bDisableMouseOver;
    m_bIgnoreVScroll = source->m_bIgnoreVScroll;
    m_bIgnoreHScroll = source->m_bIgnoreHScroll;
    m_nIgnoreVScrollTime = source->m_nIgnoreVScrollTime;
    m_nIgnoreHScrollTime = source->m_nIgnoreHScrollTime;
    m_bOverrideMouseSpeed = source->m_bOverrideMouseSpeed;
    m_bEnhancePointerPrecision = source->m_bEnhancePointerPrecision;
    m_nMouseSpeed = source->m_nMouseSpeed;
    m_bActivateOnHover = source->m_bActivateOnHover;
    m_bDisableLayerModifier = source->m_bDisableLayerModifier;
    m_nMatchType = source->m_nMatchType;
    RecompilePatterns();
}

// --- matching ---

void CApplicationSettings::RecompilePatterns()
{
    const wchar_t* fields[PatternCount] = {m_pszApplication, m_pszClass, m_pszParentClass, m_pszCaption};
    for (int f = 0; f < PatternCount; ++f)
    {
        CompiledPatterns::Entry& entry = m_pPatterns->entries[f];
        entry.compiled = false;
        entry.invalid = false;
        entry.expression = std::wregex();
        if (!m_bRegExMatching || fields[f] == nullptr)
            continue;
        try
        {
            entry.expression = std::wregex(fields[f], kPatternSyntax);
            entry.compiled = true;
        }
        catch (const std::exception& e)
        {
            entry.invalid = true;
            CLogger::LogMessage(L"CApplicationSettings: Invalid regular expression '%s' in profile '%s' never matches: %S",
                                fields[f], m_pszFullName != nullptr ? m_pszFullName : L"", e.what());
        }
    }
}

bool CApplicationSettings::MatchPlainText(const wchar_t* field, const wchar_t* text)
{
    if (field == nullptr)
        return true;
    if (text == nullptr)
        text = L"";
    const size_t textLength = std::wcslen(text);

    const wchar_t* list = std::wcsstr(field, L"||");
    if (list == nullptr)
        return EqualsIgnoreCase(field, -1, text, -1);

    // Entries compare with the start of the text, over the entry's own length.
    const wchar_t* entry = field;
    for (int index = 0;; ++index)
    {
        const wchar_t* end = std::wcsstr(entry, L"||");
        const size_t length = end != nullptr ? static_cast<size_t>(end - entry) : std::wcslen(entry);
        if (length == 0)
        {
            // An empty entry ends the list; an empty first one is skipped
            // rather than matching every text.
            if (index > 0)
                return false;
        }
        else if (length <= textLength && EqualsIgnoreCase(entry, static_cast<int>(length), text, static_cast<int>(length)))
        {
            return true;
        }
        if (end == nullptr)
            return false;
        entry = end + 2;
    }
}

bool CApplicationSettings::MatchField(PatternField field, const wchar_t* value, const wchar_t* text) const
{
    if (value == nullptr)
        return true;
    if (!m_bRegExMatching)
        return MatchPlainText(value, text);

    const CompiledPatterns::Entry& entry = m_pPatterns->entries[field];
    if (!entry.compiled || entry.invalid)
        return false;
    try
    {
        const wchar_t* begin = text != nullptr ? text : L"";
        const size_t length = std::min<size_t>(std::wcslen(begin), kMaxRegexSearchLength);
        return std::regex_search(begin, begin + length, entry.expression);
    }
    catch (...)
    {
        // Complexity and stack limits of the engine: no match.
        return false;
    }
}

bool CApplicationSettings::MatchProcess(const wchar_t* processName) const
{
    return MatchField(PatternApplication, m_pszApplication, processName);
}

bool CApplicationSettings::MatchProcess(const wchar_t* processName, HWND window) const
{
    if (!MatchProcess(processName))
        return false;
    if (m_pszClass != nullptr || m_pszParentClass != nullptr || processName == nullptr || window == nullptr)
        return true;
    if (!EqualsIgnoreCase(processName, -1, L"explorer.exe", -1))
        return true;
    // The taskbar belongs to explorer.exe too, but an explorer profile means its folder windows.
    HWND root = ::GetAncestor(window, GA_ROOT);
    wchar_t className[64] = {};
    if (root != nullptr && ::GetClassNameW(root, className, static_cast<int>(std::size(className))) > 0 &&
        std::wcscmp(className, L"Shell_TrayWnd") == 0)
        return false;
    return true;
}

bool CApplicationSettings::MatchClass(const wchar_t* className) const
{
    return MatchField(PatternClass, m_pszClass, className);
}

bool CApplicationSettings::MatchParentClass(const wchar_t* className) const
{
    return MatchField(PatternParentClass, m_pszParentClass, className);
}

bool CApplicationSettings::MatchCaption(const wchar_t* caption) const
{
    return MatchField(PatternCaption, m_pszCaption, caption);
}

// --- keystroke timing ---

int CApplicationSettings::CalculateKeystrokesWaitHoldTime(const wchar_t* keys, int perKeyTime)
{
    if (keys == nullptr)
        return 0;
    int total = 0;
    const size_t length = std::wcslen(keys);
    size_t i = 0;
    while (i < length)
    {
        if (keys[i] == L'{' && keys[i + 1] != L'{')
        {
            // A tag runs to its "}" or, unterminated, to the end of the text.
            const size_t close = std::wstring_view(keys, length).find(L'}', i + 1);
            const size_t tagEnd = close == std::wstring_view::npos ? length : close;
            const size_t examined = std::min<size_t>(tagEnd - (i + 1), kMaxTagExamined);
            total = SaturatingAdd(total, TagTime(std::wstring_view(keys + i + 1, examined), perKeyTime));
            i = close == std::wstring_view::npos ? length : close + 1;
        }
        else
        {
            total = SaturatingAdd(total, perKeyTime);
            ++i;
        }
    }
    // Loading a file computes this for every slot: only worth a line while debugging.
    if (CLogger::DebugEnabled())
        CLogger::LogDebug(L"ApplicationSettings; Total wait time for keys '%s' is %dms", keys, total);
    return total;
}

int CApplicationSettings::DefaultRepeatForSpeed(int keyboardSpeed)
{
    const int speed = std::clamp(keyboardSpeed, 0, 31);
    return static_cast<int>(400.0 - speed * 11.8);
}

namespace
{
    std::atomic<int> g_pinnedKeyboardSpeed{-1};
}

void CApplicationSettings::PinKeyboardSpeed(int keyboardSpeed)
{
    g_pinnedKeyboardSpeed.store(keyboardSpeed < 0 ? -1 : keyboardSpeed);
}

int CApplicationSettings::DefaultRepeat()
{
    const int pinned = g_pinnedKeyboardSpeed.load();
    if (pinned >= 0)
        return DefaultRepeatForSpeed(pinned);
    DWORD speed = 0;
    if (!::SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0))
        speed = 0;
    return DefaultRepeatForSpeed(static_cast<int>(speed));
}

// --- log ---

std::wstring CApplicationSettings::GetActionString(int button, int layer) const
{
    if (!ValidSlot(button, layer))
        return std::wstring();
    const _ACTIONS action = GetActions(button, layer, true);
    const int i = SlotIndex(button, layer);
    const wchar_t* name = GetActionName(action);
    if (action == ACTION_SIMULATED_KEYS)
        return FormatString(L"%s: '%s' %s", name, m_pszKeystrokes[i] != nullptr ? m_pszKeystrokes[i] : L"",
                            GetKeyModeSuffix(m_nKeyAction[i]));
    if (action == ACTION_RUN_APPLICATION)
        return FormatString(L"%s: '%s'", name, m_pszLaunchApp[i] != nullptr ? m_pszLaunchApp[i] : L"");
    return FormatString(L"%s", name);
}

void CApplicationSettings::Log(const wchar_t* processName) const
{
    if (m_pSettings == nullptr)
    {
        CLogger::LogMessage(L"Invalid call to Log on null setting object...");
        return;
    }
    auto orNull = [](const wchar_t* s) { return s != nullptr ? s : L"NULL"; };
    if (m_bDefault)
        CLogger::LogDebug(L"Enabling default button settings...");
    else if (m_pszDescription != nullptr && IsCustomWindow())
        CLogger::LogDebug(L"Enabling '%s' window specific button settings for process '%s', class '%s', parent '%s'...",
                          m_pszDescription, orNull(processName), orNull(m_pszClass), orNull(m_pszParentClass));
    else if (m_pszDescription != nullptr)
        CLogger::LogDebug(L"Enabling '%s' application specific button settings for process '%s'...", m_pszDescription,
                          orNull(processName));

    if (!CLogger::DebugEnabled())
        return;
    const int layers = std::clamp(m_pSettings->MaxLayers(), 0, static_cast<int>(LayerCount));
    for (int layer = 0; layer < layers; ++layer)
    {
        auto text = [&](int button) { return GetActionString(button, layer); };
        if (m_pSettings->m_bQuillon)
            CLogger::LogDebug(L"  Layer %d: Left = %s, Right = %s, Middle = %s, 4th = %s, 5th = %s Middle2 = %s, Scroll Up = %s, Scroll Down = %s",
                              layer, text(Left).c_str(), text(Right).c_str(), text(Middle).c_str(), text(XLeft).c_str(),
                              text(XRight).c_str(), text(TiltLeft).c_str(), text(WheelUp).c_str(), text(WheelDown).c_str());
        else
            CLogger::LogDebug(L"  Layer %d: Left = %s, Right = %s, Middle = %s, 4th = %s, 5th = %s, Scroll Up = %s, Scroll Down = %s, Tilt Left = %s, Tilt Right = %s",
                              layer, text(Left).c_str(), text(Right).c_str(), text(Middle).c_str(), text(XLeft).c_str(),
                              text(XRight).c_str(), text(WheelUp).c_str(), text(WheelDown).c_str(), text(TiltLeft).c_str(),
                              text(TiltRight).c_str());
    }
    CLogger::LogDebug(L"  InvertScrolling=%s InvertHorizontalScrolling=%s ScrollPages=%s SwapButtons=%d",
                      m_bInvertScrolling ? L"on" : L"off", m_bInvertHorzScrolling ? L"on" : L"off",
                      m_bScrollPages ? L"on" : L"off", static_cast<int>(m_SwapButtons));
}
