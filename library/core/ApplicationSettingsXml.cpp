// XML form of one profile: the Application element of an application profile
// and the contents of the default profile's element.

#include "ApplicationSettings.h"

#include <climits>
#include <cmath>
#include <exception>
#include <memory>
#include <span>
#include <stdexcept>
#include <cwchar>
#include <string>
#include <variant>

#include "ActionData.h"
#include "Chords.h"
#include "Logger.h"
#include "Movement2Scroll.h"
#include "Settings.h"
#include "StringFormat.h"
#include "TimedClicks.h"
#include "XmlReaders.h"
#include "XmlWriters.h"

namespace
{
constexpr const wchar_t* LoadContext = L"CApplicationSettings::Load";
constexpr const wchar_t* LoadDefaultContext = L"CApplicationSettings::LoadDefault";
// Upper bounds that keep values from a file usable as times, counts and amounts.
constexpr int MaxTime = 3600000;
constexpr int MaxScrollLines = 1000;
constexpr int MaxMouseSpeed = 20;
constexpr double MaxSwitchSeconds = 86400.0;

bool QuillonMode(const CSettings* settings)
{
    return settings != nullptr && settings->m_bQuillon;
}

const wchar_t* NonEmpty(const wchar_t* text)
{
    return text != nullptr && *text != L'\0' ? text : nullptr;
}

// Element of a button in the first layer ("Left") or a later one ("Left_Layer3");
// empty for the button that has no element in Quillon mode.
std::wstring SlotElementName(int button, int layer, bool quillonMode)
{
    const wchar_t* name = GetButtonName(button, quillonMode);
    if (*name == L'\0')
        return std::wstring();
    return layer == 0 ? std::wstring(name) : FormatString(L"%s_Layer%d", name, layer);
}

// The slot elements of a profile's element by slot index (button + layer x
// ButtonCount), found in one pass over its children: a look-up by name for each
// of the ninety slots walks the children ninety times. Like that look-up, the
// first element of a name counts.
using SlotElements = pugi::xml_node[ButtonCount * LayerCount];

void FindSlotElements(pugi::xml_node element, bool quillonMode, SlotElements& slots)
{
    const wchar_t* names[ButtonCount];
    std::size_t lengths[ButtonCount];
    for (int button = 0; button < ButtonCount; ++button)
    {
        names[button] = GetButtonName(button, quillonMode);
        lengths[button] = std::wcslen(names[button]);
    }
    static const wchar_t kLayerSuffix[] = L"_Layer";
    constexpr std::size_t kSuffixLength = 6;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
    {
        const wchar_t* name = child.name();
        for (int button = 0; button < ButtonCount; ++button)
        {
            if (lengths[button] == 0 || std::wcsncmp(name, names[button], lengths[button]) != 0)
                continue;
            const wchar_t* rest = name + lengths[button];
            int layer = -1;
            if (*rest == L'\0')
                layer = 0;
            else if (std::wcsncmp(rest, kLayerSuffix, kSuffixLength) == 0 && rest[kSuffixLength] >= L'1' &&
                     rest[kSuffixLength] <= L'9')
            {
                // The writer's form only: no sign, no leading zero, no trailing text.
                int number = 0;
                const wchar_t* digit = rest + kSuffixLength;
                for (; *digit >= L'0' && *digit <= L'9' && number < LayerCount; ++digit)
                    number = number * 10 + (*digit - L'0');
                if (*digit == L'\0' && number < LayerCount)
                    layer = number;
            }
            if (layer < 0)
                continue;
            pugi::xml_node& slot = slots[button + layer * ButtonCount];
            if (!slot)
                slot = child;
            break;
        }
    }
}

// A layer-switch time in seconds; negative, not-a-number or absurd values are
// replaced by the default.
double ReadSwitchTime(pugi::xml_attribute attribute, double missing, const wchar_t* context)
{
    if (!attribute)
        return missing;
    const double value = attribute.as_double(missing);
    if (!(value >= 0.0 && value <= MaxSwitchSeconds))
    {
        CLogger::LogMessage(L"%s: attribute '%s' has the invalid value '%s'; using %.1f", context, attribute.name(),
                            attribute.value(), 1.0);
        return 1.0;
    }
    return value;
}

// Advanced scroll methods are 0 to 4, 8 (default) and 9 (none).
int ReadScrollMethod(pugi::xml_attribute attribute, const wchar_t* context)
{
    const int method = ReadXmlInt(attribute, 8, 0, 9, 8, context);
    if (method >= 5 && method <= 7)
    {
        CLogger::LogMessage(L"%s: attribute '%s' has the invalid value %d; using 8", context, attribute.name(), method);
        return 8;
    }
    return method;
}

// Writes or removes one option child of a slot element, so that a list taken
// out of a slot does not come back from an element that is being reused.
template <typename Write>
void WriteOptionChild(pugi::xml_node slot, const wchar_t* name, bool present, Write write)
{
    if (present)
        write(FindOrAppendChild(slot, name));
    else
        while (pugi::xml_node stale = slot.child(name))
            slot.remove_child(stale);
}

void SaveSlot(const CApplicationSettings& profile, pugi::xml_node slot, int button, int layer, bool quillonMode,
              bool withBlockMouseActive)
{
    SetXmlAttribute(slot, nullptr, L"action", static_cast<int>(profile.GetActions(button, layer)));
    SetXmlAttribute(slot, nullptr, L"keys", profile.GetKeystrokes(button, layer));
    SetXmlAttribute(slot, nullptr, L"keyaction", profile.SendKeyAction(button, layer));
    SetXmlAttribute(slot, nullptr, L"keyrepeat", profile.SendKeyRepeat(button, layer));
    SetXmlAttribute(slot, nullptr, L"active", profile.SendKeyWhenActive(button, layer));
    SetXmlAttribute(slot, nullptr, L"blockmouse", profile.BlockMouse(button, layer));
    if (withBlockMouseActive)
        SetXmlAttribute(slot, nullptr, L"blockmouseactive", profile.BlockMouseActive(button, layer));
    SetXmlAttribute(slot, nullptr, L"randomisedelay", profile.RandomiseDelay(button, layer));
    SetXmlAttribute(slot, nullptr, L"app", profile.GetLaunchApp(button, layer));
    SetXmlAttribute(slot, nullptr, L"desc", profile.GetActionDescription(button, layer));

    const CBRMPChords* chords = profile.GetChords(button, layer);
    WriteOptionChild(slot, L"chords", chords != nullptr,
                     [&](pugi::xml_node child) { chords->Save(quillonMode, child); });
    const CBRMPTimedClicks* timedClicks = profile.GetTimedClicks(button, layer);
    WriteOptionChild(slot, L"timedclicks", timedClicks != nullptr,
                     [&](pugi::xml_node child) { timedClicks->Save(quillonMode, child); });
    const CMovement2Scroll* options = profile.GetMovement2Scroll(button, layer);
    WriteOptionChild(slot, L"mts", options != nullptr, [&](pugi::xml_node child) { options->Save(child); });
}

// Reads one slot; slot may be empty (no element for the button), which leaves
// action 40 and default movement-to-scroll options.
void LoadSlot(CApplicationSettings& profile, pugi::xml_node slot, int button, int layer, bool quillonMode,
              int perKeyTime, bool withBlockMouseActive, int& highestLayer, const wchar_t* context)
{
    const int action = ReadXmlInt(slot.attribute(L"action"), ACTION_NO_CHANGE, 0, ActionCount - 1,
                                  ACTION_NO_CHANGE, context);
    profile.SetActions(button, layer, action);
    if (action != ACTION_NO_CHANGE && action != ACTION_SAME_AS_DEFAULT && action != ACTION_SAME_AS_LAYER_1 &&
        layer + 1 > highestLayer)
        highestLayer = layer + 1;

    if (action == ACTION_SIMULATED_KEYS)
    {
        if (pugi::xml_attribute keys = slot.attribute(L"keys"))
        {
            profile.SetKeystrokes(
                button, layer, keys.value(),
                ReadXmlInt(slot.attribute(L"keyaction"), 0, 0, KeyModeCount - 1, 0, context),
                ReadXmlInt(slot.attribute(L"keyrepeat"), 0, 0, INT_MAX, 0, context),
                ReadXmlBool(slot.attribute(L"active"), true), ReadXmlBool(slot.attribute(L"blockmouse"), true),
                withBlockMouseActive && ReadXmlBool(slot.attribute(L"blockmouseactive"), false),
                ReadXmlBool(slot.attribute(L"randomisedelay"), false), perKeyTime);
        }
    }
    else if (action == ACTION_RUN_APPLICATION || action == ACTION_OPEN_FOLDER)
    {
        pugi::xml_attribute app = slot.attribute(L"app");
        profile.SetLaunchApp(button, layer, app ? app.value() : nullptr);
    }
    // The description is written for every slot, so it is read for every action.
    profile.SetActionDescription(button, layer, NonEmpty(slot.attribute(L"desc").value()));

    profile.SetChords(button, layer, nullptr);
    if (pugi::xml_node child = slot.child(L"chords"))
    {
        auto chords = std::make_unique<CBRMPChords>();
        if (chords->Load(quillonMode, child, perKeyTime))
            profile.SetChords(button, layer, chords.release());
    }
    profile.SetTimedClicks(button, layer, nullptr);
    if (pugi::xml_node child = slot.child(L"timedclicks"))
    {
        auto timedClicks = std::make_unique<CBRMPTimedClicks>();
        if (timedClicks->Load(static_cast<MouseButtons>(button), quillonMode, child, perKeyTime))
            profile.SetTimedClicks(button, layer, timedClicks.release());
    }
    CMovement2Scroll options;
    if (pugi::xml_node child = slot.child(L"mts"))
        options.Load(child, perKeyTime);
    profile.CopyMovement2Scrolls(button, layer, &options);

    profile.UpgradeAction(button, layer, action);
}
}

// An attribute of a profile's element that maps straight onto a member, read
// the same way wherever it appears: Load reads every row, LoadDefault the rows
// that the default profile's element shares.
struct ProfileOption
{
    using Member = std::variant<bool CApplicationSettings::*, int CApplicationSettings::*>;

    const wchar_t* attribute;
    Member member;
    bool inDefault;      // the default profile's element has it too
    bool missingKeeps;   // a missing attribute keeps the member, else it takes `missing`
    int missing;
    int low;             // numbers: the values a file may give
    int high;
    bool invalidKeeps;   // a number outside low..high keeps the member, else it takes `fallback`
    int fallback;

    static constexpr ProfileOption Flag(const wchar_t* name, bool CApplicationSettings::*field, bool inDefault,
                                        bool missing)
    {
        return {name, field, inDefault, false, missing ? 1 : 0, 0, 1, false, 0};
    }
    static constexpr ProfileOption FlagKept(const wchar_t* name, bool CApplicationSettings::*field, bool inDefault)
    {
        return {name, field, inDefault, true, 0, 0, 1, false, 0};
    }
    static constexpr ProfileOption Number(const wchar_t* name, int CApplicationSettings::*field, bool inDefault,
                                          int missing, int low, int high, int fallback)
    {
        return {name, field, inDefault, false, missing, low, high, false, fallback};
    }
    static constexpr ProfileOption NumberKept(const wchar_t* name, int CApplicationSettings::*field, bool inDefault,
                                              int low, int high)
    {
        return {name, field, inDefault, true, 0, low, high, true, 0};
    }

    void Read(CApplicationSettings& profile, pugi::xml_node element, const wchar_t* context) const
    {
        const pugi::xml_attribute value = element.attribute(attribute);
        if (const auto* flag = std::get_if<bool CApplicationSettings::*>(&member))
        {
            bool& field = profile.**flag;
            field = ReadXmlBool(value, missingKeeps ? field : missing != 0);
        }
        else if (const auto* number = std::get_if<int CApplicationSettings::*>(&member))
        {
            int& field = profile.**number;
            field = ReadXmlInt(value, missingKeeps ? field : missing, low, high, invalidKeeps ? field : fallback, context);
        }
    }

    static std::span<const ProfileOption> All()
    {
        using P = ProfileOption;
        using A = CApplicationSettings;
        constexpr bool Shared = true;
        constexpr bool OwnOnly = false;
        static const ProfileOption rows[] = {
            P::Flag(L"OverrideSpeed", &A::m_bOverrideMouseSpeed, Shared, false),
            P::Flag(L"EnhancePointerPrecision", &A::m_bEnhancePointerPrecision, Shared, false),
            P::Flag(L"ActivateOnHover", &A::m_bActivateOnHover, OwnOnly, false),
            P::NumberKept(L"Speed", &A::m_nMouseSpeed, Shared, -1, MaxMouseSpeed),
            P::Flag(L"InvertScrolling", &A::m_bInvertScrolling, Shared, false),
            P::Flag(L"InvertHorizontalScrolling", &A::m_bInvertHorzScrolling, Shared, false),
            P::Flag(L"ScrollPages", &A::m_bScrollPages, Shared, false),
            P::NumberKept(L"ScrollLines", &A::m_nScrollLines, Shared, 0, MaxScrollLines),
            P::FlagKept(L"ForceSPI", &A::m_bForceSPIMessage, Shared),
            P::FlagKept(L"ClipMouse", &A::m_bClipMouse, OwnOnly),
            P::Flag(L"AxisLocking", &A::m_bAxisLocking, Shared, false),
            P::Flag(L"ChangeCursor", &A::m_bChangeCursor, OwnOnly, false),
            P::Flag(L"EnableScript", &A::m_bProfileScriptEnabled, OwnOnly, false),
            P::Flag(L"NoParent", &A::m_bNoParent, OwnOnly, false),
            P::NumberKept(L"MatchType", &A::m_nMatchType, OwnOnly, 0, 7),
            P::FlagKept(L"WindowArea", &A::m_bUseWindowArea, OwnOnly),
            P::Flag(L"IgnoreVScroll", &A::m_bIgnoreVScroll, Shared, false),
            P::Number(L"IgnoreVScrollTime", &A::m_nIgnoreVScrollTime, Shared, 200, 0, MaxTime, 200),
            P::Flag(L"IgnoreHScroll", &A::m_bIgnoreHScroll, Shared, false),
            P::Number(L"IgnoreHScrollTime", &A::m_nIgnoreHScrollTime, Shared, 400, 0, MaxTime, 400),
            P::Number(L"AdvScrollVert", &A::m_nAdvScrollVertical, OwnOnly, 0, INT_MIN, INT_MAX, 0),
            P::Number(L"AdvScrollHorz", &A::m_nAdvScrollHorizontal, OwnOnly, 0, INT_MIN, INT_MAX, 0),
            P::Flag(L"DisableScrollUnderCursor", &A::m_bDisableScrollUnderCursor, Shared, false),
            P::Flag(L"DisableMouseOver", &A::m_bDisableMouseOver, Shared, false),
            P::Flag(L"DisableLayerModifier", &A::m_bDisableLayerModifier, Shared, false),
            P::Number(L"WindowMask", &A::m_WindowMask, OwnOnly, WINDOWMASK_ALL, 0, 31, WINDOWMASK_ALL),
        };
        return rows;
    }
};

bool CApplicationSettings::Save(pugi::xml_node parent) const
{
    try
    {
        pugi::xml_node app = parent.append_child(L"Application");
        if (!app)
            throw std::runtime_error("no element to write into");
        const bool quillonMode = QuillonMode(m_pSettings);

        SetXmlAttribute(app, nullptr, L"Name", m_pszFullName);
        SetXmlAttribute(app, nullptr, L"Description", m_pszDescription);
        SetXmlAttribute(app, nullptr, L"Enabled", m_bEnabled);
        SetXmlAttribute(app, nullptr, L"OverrideSpeed", m_bOverrideMouseSpeed);
        SetXmlAttribute(app, nullptr, L"EnhancePointerPrecision", m_bEnhancePointerPrecision);
        SetXmlAttribute(app, nullptr, L"ActivateOnHover", m_bActivateOnHover);
        SetXmlAttribute(app, nullptr, L"Speed", m_nMouseSpeed);
        SetXmlAttribute(app, nullptr, L"InvertScrolling", m_bInvertScrolling);
        SetXmlAttribute(app, nullptr, L"InvertHorizontalScrolling", m_bInvertHorzScrolling);
        SetXmlAttribute(app, nullptr, L"ScrollPages", m_bScrollPages);
        SetXmlAttribute(app, nullptr, L"ScrollLines", m_nScrollLines);
        SetXmlAttribute(app, nullptr, L"ForceSPI", m_bForceSPIMessage);
        SetXmlAttribute(app, nullptr, L"ClipMouse", m_bClipMouse);
        SetXmlAttribute(app, nullptr, L"AxisLocking", m_bAxisLocking);
        SetXmlAttribute(app, nullptr, L"ChangeCursor", m_bChangeCursor);
        SetXmlAttribute(app, nullptr, L"Cursor", m_pszCursor);
        SetXmlAttribute(app, nullptr, L"Script", m_pszProfileChangeScript);
        SetXmlAttribute(app, nullptr, L"EnableScript", m_bProfileScriptEnabled);
        SetXmlAttribute(app, nullptr, L"SwapButtons", static_cast<int>(m_SwapButtons));
        SetXmlAttribute(app, nullptr, L"NoParent", m_bNoParent);
        SetXmlAttribute(app, nullptr, L"RegExMatching", m_bRegExMatching);
        SetXmlAttribute(app, nullptr, L"MatchType", m_nMatchType);
        SetXmlAttribute(app, nullptr, L"WindowArea", m_bUseWindowArea);
        SetXmlAttribute(app, nullptr, L"Top", static_cast<int>(m_rcWindowArea.top));
        SetXmlAttribute(app, nullptr, L"Bottom", static_cast<int>(m_rcWindowArea.bottom));
        SetXmlAttribute(app, nullptr, L"Left", static_cast<int>(m_rcWindowArea.left));
        SetXmlAttribute(app, nullptr, L"Right", static_cast<int>(m_rcWindowArea.right));
        SetXmlAttribute(app, nullptr, L"IgnoreVScroll", m_bIgnoreVScroll);
        SetXmlAttribute(app, nullptr, L"IgnoreVScrollTime", m_nIgnoreVScrollTime);
        SetXmlAttribute(app, nullptr, L"IgnoreHScroll", m_bIgnoreHScroll);
        SetXmlAttribute(app, nullptr, L"IgnoreHScrollTime", m_nIgnoreHScrollTime);
        SetXmlAttribute(app, nullptr, L"AdvScrollMethod", m_nAdvScrollMethod);
        SetXmlAttribute(app, nullptr, L"AdvScrollVert", m_nAdvScrollVertical);
        SetXmlAttribute(app, nullptr, L"AdvScrollHorz", m_nAdvScrollHorizontal);
        SetXmlAttribute(app, nullptr, L"DisableScrollUnderCursor", m_bDisableScrollUnderCursor);
        SetXmlAttribute(app, nullptr, L"DisableMouseOver", m_bDisableMouseOver);
        SetXmlAttribute(app, nullptr, L"DisableLayerModifier", m_bDisableLayerModifier);
        SetXmlAttribute(app, nullptr, L"WindowMask", m_WindowMask);

        for (int layer = 0; layer < LayerCount; ++layer)
        {
            const int number = layer + 1;
            SetXmlAttribute(app, L"LayerNames", FormatString(L"layer%d", number).c_str(), m_pszLayerNames[layer]);
            SetXmlAttribute(app, L"AutoSwitch", FormatString(L"layer%d_switch", number).c_str(),
                            m_nAutoSwitchLayer[layer]);
            SetXmlAttribute(app, L"AutoSwitch", FormatString(L"layer%d_time", number).c_str(),
                            m_dAutoSwitchTime[layer]);
        }
        for (int layer = 0; layer < LayerCount; ++layer)
            SetXmlAttribute(app, L"RevertLayer1", FormatString(L"layer%d", layer + 1).c_str(), m_bRevertLayer1[layer]);
        for (int layer = 0; layer < LayerCount; ++layer)
            SetXmlAttribute(app, L"DisableNextPrev", FormatString(L"layer%d", layer + 1).c_str(),
                            m_bLayerDisabledNextPrev[layer]);
        for (int layer = 0; layer < LayerCount; ++layer)
            SetXmlAttribute(app, L"Disable", FormatString(L"layer%d", layer + 1).c_str(),
                            layer != 0 && m_bLayerDisabled[layer]);

        for (int layer = 0; layer < LayerCount; ++layer)
        {
            for (int button = 0; button < ButtonCount; ++button)
            {
                const std::wstring name = SlotElementName(button, layer, quillonMode);
                if (!name.empty())
                    SaveSlot(*this, app.append_child(name.c_str()), button, layer, quillonMode, true);
            }
        }
        return true;
    }
    catch (...)
    {
        CLogger::LogMessage(L"CApplicationSettings::Save Unable to save application '%s' to XML",
                            m_pszFullName != nullptr ? m_pszFullName : L"");
        return false;
    }
}

bool CApplicationSettings::Load(pugi::xml_node element, int perKeyTime, bool& regionsDefined, int& highestLayer)
{
    try
    {
        if (!element)
            throw std::invalid_argument("no element to read");
        const bool quillonMode = QuillonMode(m_pSettings);
        const wchar_t* const context = LoadContext;

        pugi::xml_attribute name = element.attribute(L"Name");
        SetApplication(name ? name.value() : nullptr);
        if (const wchar_t* description = NonEmpty(element.attribute(L"Description").value()))
            SetDescription(description);
        m_bEnabled = ReadXmlBool(element.attribute(L"Enabled"), false);
        for (const ProfileOption& option : ProfileOption::All())
            option.Read(*this, element, context);
        if (const wchar_t* cursor = NonEmpty(element.attribute(L"Cursor").value()))
            SetCursor(cursor);
        if (const wchar_t* script = NonEmpty(element.attribute(L"Script").value()))
            SetProfileChangeScript(script);
        m_SwapButtons = static_cast<swapbuttons>(ReadXmlInt(element.attribute(L"SwapButtons"), SWAPBUTTONS_DEFAULT,
                                                            SWAPBUTTONS_DEFAULT, SWAPBUTTONS_YES,
                                                            SWAPBUTTONS_DEFAULT, context));
        SetRegExMatching(ReadXmlBool(element.attribute(L"RegExMatching"), false));
        m_rcWindowArea.top = ReadXmlInt(element.attribute(L"Top"), m_rcWindowArea.top, INT_MIN, INT_MAX, 0, context);
        m_rcWindowArea.bottom =
            ReadXmlInt(element.attribute(L"Bottom"), m_rcWindowArea.bottom, INT_MIN, INT_MAX, 0, context);
        m_rcWindowArea.left = ReadXmlInt(element.attribute(L"Left"), m_rcWindowArea.left, INT_MIN, INT_MAX, 0, context);
        m_rcWindowArea.right =
            ReadXmlInt(element.attribute(L"Right"), m_rcWindowArea.right, INT_MIN, INT_MAX, 0, context);
        m_nAdvScrollMethod = ReadScrollMethod(element.attribute(L"AdvScrollMethod"), context);

        if ((m_bEnabled && m_WindowMask != WINDOWMASK_ALL && m_WindowMask != 0 && !regionsDefined) || m_bUseWindowArea)
        {
            regionsDefined = true;
            CLogger::LogDebug(L"Window regions are defined. Enabled region checking");
        }

        pugi::xml_node names = element.child(L"LayerNames");
        pugi::xml_node autoSwitch = element.child(L"AutoSwitch");
        pugi::xml_node revert = element.child(L"RevertLayer1");
        pugi::xml_node skip = element.child(L"DisableNextPrev");
        if (!skip)
            skip = element.child(L"DisableLayer");
        pugi::xml_node disable = element.child(L"Disable");
        wchar_t key[32];
        wchar_t switchKey[32];
        wchar_t timeKey[32];
        for (int layer = 0; layer < LayerCount; ++layer)
        {
            NumberedXmlName(key, L"layer", layer + 1);
            SetLayerName(NonEmpty(names.attribute(key).value()), layer);
            m_nAutoSwitchLayer[layer] = ReadXmlInt(autoSwitch.attribute(NumberedXmlName(switchKey, L"layer", layer + 1, L"_switch")),
                                                   0, 0, LayerCount, 0, context);
            m_dAutoSwitchTime[layer] =
                ReadSwitchTime(autoSwitch.attribute(NumberedXmlName(timeKey, L"layer", layer + 1, L"_time")), 1.0, context);
            m_bRevertLayer1[layer] = ReadXmlBool(revert.attribute(key), false);
            m_bLayerDisabledNextPrev[layer] = ReadXmlBool(skip.attribute(key), false);
            SetLayerDisabled(layer, layer != 0 && ReadXmlBool(disable.attribute(key), false));
        }

        SlotElements slots;
        FindSlotElements(element, quillonMode, slots);
        for (int layer = 0; layer < LayerCount; ++layer)
        {
            for (int button = 0; button < ButtonCount; ++button)
            {
                if (*GetButtonName(button, quillonMode) != L'\0')
                    LoadSlot(*this, slots[button + layer * ButtonCount], button, layer, quillonMode, perKeyTime, true,
                             highestLayer, context);
            }
        }
        return true;
    }
    catch (...)
    {
        CLogger::LogMessage(L"CApplicationSettings::Load Unable to load Application XML: %s", element.name());
        return false;
    }
}

void CApplicationSettings::SaveDefault(pugi::xml_node element) const
{
    try
    {
        const bool quillonMode = QuillonMode(m_pSettings);
        SetXmlAttribute(element, nullptr, L"OverrideSpeed", m_bOverrideMouseSpeed);
        SetXmlAttribute(element, nullptr, L"EnhancePointerPrecision", m_bEnhancePointerPrecision);
        SetXmlAttribute(element, nullptr, L"Speed", m_nMouseSpeed);
        SetXmlAttribute(element, nullptr, L"InvertScrolling", m_bInvertScrolling);
        SetXmlAttribute(element, nullptr, L"InvertHorizontalScrolling", m_bInvertHorzScrolling);
        SetXmlAttribute(element, nullptr, L"ScrollPages", m_bScrollPages);
        SetXmlAttribute(element, nullptr, L"ScrollLines", m_nScrollLines);
        SetXmlAttribute(element, nullptr, L"ForceSPI", m_bForceSPIMessage);
        SetXmlAttribute(element, nullptr, L"AxisLocking", m_bAxisLocking);
        SetXmlAttribute(element, nullptr, L"SwapButtons", static_cast<int>(m_SwapButtons));
        SetXmlAttribute(element, nullptr, L"DisableScrollUnderCursor", m_bDisableScrollUnderCursor);
        SetXmlAttribute(element, nullptr, L"DisableMouseOver", m_bDisableMouseOver);
        SetXmlAttribute(element, nullptr, L"DisableLayerModifier", m_bDisableLayerModifier);
        SetXmlAttribute(element, nullptr, L"IgnoreVScroll", m_bIgnoreVScroll);
        SetXmlAttribute(element, nullptr, L"IgnoreVScrollTime", m_nIgnoreVScrollTime);
        SetXmlAttribute(element, nullptr, L"IgnoreHScroll", m_bIgnoreHScroll);
        SetXmlAttribute(element, nullptr, L"IgnoreHScrollTime", m_nIgnoreHScrollTime);

        for (int layer = 0; layer < LayerCount; ++layer)
        {
            pugi::xml_node layerElement =
                layer == 0 ? element : FindOrAppendChild(element, FormatString(L"Layer%d", layer).c_str());
            SetXmlAttribute(layerElement, L"Layer", L"name", m_pszLayerNames[layer]);
            SetXmlAttribute(layerElement, L"Layer", L"autoswitchlayer", m_nAutoSwitchLayer[layer]);
            SetXmlAttribute(layerElement, L"Layer", L"autoswitchtime", m_dAutoSwitchTime[layer]);
            SetXmlAttribute(layerElement, L"Layer", L"revertlayer1", m_bRevertLayer1[layer]);
            SetXmlAttribute(layerElement, L"Layer", L"disablenextprev", m_bLayerDisabledNextPrev[layer]);
            SetXmlAttribute(layerElement, L"Layer", L"disable", layer != 0 && m_bLayerDisabled[layer]);
            for (int button = 0; button < ButtonCount; ++button)
            {
                const std::wstring name = SlotElementName(button, 0, quillonMode);
                if (!name.empty())
                    SaveSlot(*this, FindOrAppendChild(layerElement, name.c_str()), button, layer, quillonMode, false);
            }
        }
    }
    catch (...)
    {
        CLogger::LogMessage(L"CApplicationSettings::SaveDefault Unable to save the default profile to XML");
        throw;
    }
}

void CApplicationSettings::LoadDefault(pugi::xml_node element, int perKeyTime, int& highestLayer)
{
    const bool quillonMode = QuillonMode(m_pSettings);
    const wchar_t* const context = LoadDefaultContext;

    m_bEnabled = ReadXmlBool(element.attribute(L"Enabled"), true);
    for (const ProfileOption& option : ProfileOption::All())
    {
        if (option.inDefault)
            option.Read(*this, element, context);
    }
    // The default profile never swaps buttons or activates on hover by itself.
    m_SwapButtons = SWAPBUTTONS_DEFAULT;
    m_bActivateOnHover = false;

    for (int layer = 0; layer < LayerCount; ++layer)
    {
        pugi::xml_node layerElement =
            layer == 0 ? element : element.child(FormatString(L"Layer%d", layer).c_str());
        pugi::xml_node options = layerElement.child(L"Layer");
        SetLayerName(NonEmpty(options.attribute(L"name").value()), layer);
        m_nAutoSwitchLayer[layer] = ReadXmlInt(options.attribute(L"autoswitchlayer"), 0, 0, LayerCount, 0, context);
        m_dAutoSwitchTime[layer] = ReadSwitchTime(options.attribute(L"autoswitchtime"), 1.0, context);
        m_bRevertLayer1[layer] = ReadXmlBool(options.attribute(L"revertlayer1"), false);
        pugi::xml_attribute skip = options.attribute(L"disablenextprev");
        if (!skip)
            skip = options.attribute(L"disabled");
        m_bLayerDisabledNextPrev[layer] = ReadXmlBool(skip, false);
        SetLayerDisabled(layer, layer != 0 && ReadXmlBool(options.attribute(L"disable"), false));

        for (int button = 0; button < ButtonCount; ++button)
        {
            const std::wstring name = SlotElementName(button, 0, quillonMode);
            if (!name.empty())
                LoadSlot(*this, layerElement.child(name.c_str()), button, layer, quillonMode, perKeyTime, false,
                         highestLayer, context);
        }
    }
}
