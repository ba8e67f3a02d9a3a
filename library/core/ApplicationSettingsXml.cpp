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
#include "ProfileXmlWriting.h"
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

// Element of a button in the first layer ("Left") or a later one ("Left_Layer3"),
// written into buffer; empty for the button that has no element in Quillon mode.
const wchar_t* SlotElementName(wchar_t (&buffer)[32], int button, int layer, bool quillonMode)
{
    const wchar_t* name = GetButtonName(button, quillonMode);
    if (*name == L'\0' || layer == 0)
        return name;
    // Built by hand: a save names thousands of slots.
    static_assert(LayerCount <= 10, "a later layer's number is one digit");
    static const wchar_t kSuffix[] = L"_Layer";
    size_t at = 0;
    for (const wchar_t* c = name; *c != L'\0' && at < 20; ++c)
        buffer[at++] = *c;
    for (const wchar_t* c = kSuffix; *c != L'\0'; ++c)
        buffer[at++] = *c;
    buffer[at++] = static_cast<wchar_t>(L'0' + layer % 10);
    buffer[at] = L'\0';
    return buffer;
}

// Compared here rather than by the runtime's wcsncmp: a load makes this test
// nine times for each of thousands of elements.
bool StartsWith(const wchar_t* text, const wchar_t* prefix, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
    {
        if (text[i] != prefix[i])
            return false;
    }
    return true;
}

// Calls visit(child, button, layer) for each child of a profile's element that
// names a slot, in document order, in one pass over the children: a look-up by
// name for each of the ninety slots would walk them ninety times, and a slot
// read as its element is reached finds its attributes at hand.
template <typename Visit>
void ForEachSlotElement(pugi::xml_node element, bool quillonMode, Visit visit)
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
            if (lengths[button] == 0 || !StartsWith(name, names[button], lengths[button]))
                continue;
            const wchar_t* rest = name + lengths[button];
            int layer = -1;
            if (*rest == L'\0')
                layer = 0;
            else if (StartsWith(rest, kLayerSuffix, kSuffixLength) && rest[kSuffixLength] >= L'1' &&
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
            visit(child, button, layer);
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

// Writes one option child of a slot element, or says it has none, so that a
// list taken out of a slot does not come back from an element being reused.
template <typename Write>
void WriteOptionChild(XmlElementWriter& out, const wchar_t* name, bool present, Write write)
{
    if (!present)
    {
        out.NoChild(name);
        return;
    }
    out.Child(name);
    write();
    out.End();
}

// The attributes and option children of the slot element open in out.
void SaveSlot(const CApplicationSettings& profile, XmlElementWriter& out, int button, int layer, bool quillonMode,
              bool withBlockMouseActive)
{
    out.Attribute(L"action", static_cast<int>(profile.GetActions(button, layer)));
    out.Attribute(L"keys", profile.GetKeystrokes(button, layer));
    out.Attribute(L"keyaction", profile.SendKeyAction(button, layer));
    out.Attribute(L"keyrepeat", profile.SendKeyRepeat(button, layer));
    out.Attribute(L"active", profile.SendKeyWhenActive(button, layer));
    out.Attribute(L"blockmouse", profile.BlockMouse(button, layer));
    if (withBlockMouseActive)
        out.Attribute(L"blockmouseactive", profile.BlockMouseActive(button, layer));
    out.Attribute(L"randomisedelay", profile.RandomiseDelay(button, layer));
    out.Attribute(L"app", profile.GetLaunchApp(button, layer));
    out.Attribute(L"desc", profile.GetActionDescription(button, layer));

    const CBRMPChords* chords = profile.GetChords(button, layer);
    WriteOptionChild(out, L"chords", chords != nullptr,
                     [&] { ProfileXmlWriting::Chords(*chords, quillonMode, out); });
    const CBRMPTimedClicks* timedClicks = profile.GetTimedClicks(button, layer);
    WriteOptionChild(out, L"timedclicks", timedClicks != nullptr,
                     [&] { ProfileXmlWriting::TimedClicks(*timedClicks, out); });
    const CMovement2Scroll* options = profile.GetMovement2Scroll(button, layer);
    WriteOptionChild(out, L"mts", options != nullptr, [&] { ProfileXmlWriting::Movement2Scroll(*options, out); });
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
        XmlNodeWriter out(app);
        ProfileXmlWriting::Application(*this, out);
        return true;
    }
    catch (...)
    {
        CLogger::LogMessage(L"CApplicationSettings::Save Unable to save application '%s' to XML",
                            m_pszFullName != nullptr ? m_pszFullName : L"");
        return false;
    }
}

void ProfileXmlWriting::Application(const CApplicationSettings& profile, XmlElementWriter& out)
{
    const bool quillonMode = QuillonMode(profile.m_pSettings);

    out.Attribute(L"Name", profile.m_pszFullName);
    out.Attribute(L"Description", profile.m_pszDescription);
    out.Attribute(L"Enabled", profile.m_bEnabled);
    out.Attribute(L"OverrideSpeed", profile.m_bOverrideMouseSpeed);
    out.Attribute(L"EnhancePointerPrecision", profile.m_bEnhancePointerPrecision);
    out.Attribute(L"ActivateOnHover", profile.m_bActivateOnHover);
    out.Attribute(L"Speed", profile.m_nMouseSpeed);
    out.Attribute(L"InvertScrolling", profile.m_bInvertScrolling);
    out.Attribute(L"InvertHorizontalScrolling", profile.m_bInvertHorzScrolling);
    out.Attribute(L"ScrollPages", profile.m_bScrollPages);
    out.Attribute(L"ScrollLines", profile.m_nScrollLines);
    out.Attribute(L"ForceSPI", profile.m_bForceSPIMessage);
    out.Attribute(L"ClipMouse", profile.m_bClipMouse);
    out.Attribute(L"AxisLocking", profile.m_bAxisLocking);
    out.Attribute(L"ChangeCursor", profile.m_bChangeCursor);
    out.Attribute(L"Cursor", profile.m_pszCursor);
    out.Attribute(L"Script", profile.m_pszProfileChangeScript);
    out.Attribute(L"EnableScript", profile.m_bProfileScriptEnabled);
    out.Attribute(L"SwapButtons", static_cast<int>(profile.m_SwapButtons));
    out.Attribute(L"NoParent", profile.m_bNoParent);
    out.Attribute(L"RegExMatching", profile.m_bRegExMatching);
    out.Attribute(L"MatchType", profile.m_nMatchType);
    out.Attribute(L"WindowArea", profile.m_bUseWindowArea);
    out.Attribute(L"Top", static_cast<int>(profile.m_rcWindowArea.top));
    out.Attribute(L"Bottom", static_cast<int>(profile.m_rcWindowArea.bottom));
    out.Attribute(L"Left", static_cast<int>(profile.m_rcWindowArea.left));
    out.Attribute(L"Right", static_cast<int>(profile.m_rcWindowArea.right));
    out.Attribute(L"IgnoreVScroll", profile.m_bIgnoreVScroll);
    out.Attribute(L"IgnoreVScrollTime", profile.m_nIgnoreVScrollTime);
    out.Attribute(L"IgnoreHScroll", profile.m_bIgnoreHScroll);
    out.Attribute(L"IgnoreHScrollTime", profile.m_nIgnoreHScrollTime);
    out.Attribute(L"AdvScrollMethod", profile.m_nAdvScrollMethod);
    out.Attribute(L"AdvScrollVert", profile.m_nAdvScrollVertical);
    out.Attribute(L"AdvScrollHorz", profile.m_nAdvScrollHorizontal);
    out.Attribute(L"DisableScrollUnderCursor", profile.m_bDisableScrollUnderCursor);
    out.Attribute(L"DisableMouseOver", profile.m_bDisableMouseOver);
    out.Attribute(L"DisableLayerModifier", profile.m_bDisableLayerModifier);
    out.Attribute(L"WindowMask", profile.m_WindowMask);

    wchar_t name[32];
    out.Child(L"LayerNames");
    for (int layer = 0; layer < LayerCount; ++layer)
        out.Attribute(NumberedXmlName(name, L"layer", layer + 1), profile.m_pszLayerNames[layer]);
    out.End();
    out.Child(L"AutoSwitch");
    for (int layer = 0; layer < LayerCount; ++layer)
    {
        out.Attribute(NumberedXmlName(name, L"layer", layer + 1, L"_switch"), profile.m_nAutoSwitchLayer[layer]);
        out.Attribute(NumberedXmlName(name, L"layer", layer + 1, L"_time"), profile.m_dAutoSwitchTime[layer]);
    }
    out.End();
    out.Child(L"RevertLayer1");
    for (int layer = 0; layer < LayerCount; ++layer)
        out.Attribute(NumberedXmlName(name, L"layer", layer + 1), profile.m_bRevertLayer1[layer]);
    out.End();
    out.Child(L"DisableNextPrev");
    for (int layer = 0; layer < LayerCount; ++layer)
        out.Attribute(NumberedXmlName(name, L"layer", layer + 1), profile.m_bLayerDisabledNextPrev[layer]);
    out.End();
    out.Child(L"Disable");
    for (int layer = 0; layer < LayerCount; ++layer)
        out.Attribute(NumberedXmlName(name, L"layer", layer + 1), layer != 0 && profile.m_bLayerDisabled[layer]);
    out.End();

    for (int layer = 0; layer < LayerCount; ++layer)
    {
        for (int button = 0; button < ButtonCount; ++button)
        {
            const wchar_t* slot = SlotElementName(name, button, layer, quillonMode);
            if (*slot == L'\0')
                continue;
            out.Child(slot);
            SaveSlot(profile, out, button, layer, quillonMode, true);
            out.End();
        }
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

        // Like a look-up by name, the first element of a slot counts; a slot
        // without one reads as an empty element.
        bool read[SlotCount] = {};
        ForEachSlotElement(element, quillonMode, [&](pugi::xml_node slot, int button, int layer) {
            bool& done = read[button + layer * ButtonCount];
            if (done)
                return;
            done = true;
            LoadSlot(*this, slot, button, layer, quillonMode, perKeyTime, true, highestLayer, context);
        });
        for (int layer = 0; layer < LayerCount; ++layer)
        {
            for (int button = 0; button < ButtonCount; ++button)
            {
                if (!read[button + layer * ButtonCount] && *GetButtonName(button, quillonMode) != L'\0')
                    LoadSlot(*this, pugi::xml_node(), button, layer, quillonMode, perKeyTime, true, highestLayer,
                             context);
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
        XmlNodeWriter out(element);
        ProfileXmlWriting::Default(*this, out);
    }
    catch (...)
    {
        CLogger::LogMessage(L"CApplicationSettings::SaveDefault Unable to save the default profile to XML");
        throw;
    }
}

void ProfileXmlWriting::Default(const CApplicationSettings& profile, XmlElementWriter& out)
{
    const bool quillonMode = QuillonMode(profile.m_pSettings);
    out.Attribute(L"OverrideSpeed", profile.m_bOverrideMouseSpeed);
    out.Attribute(L"EnhancePointerPrecision", profile.m_bEnhancePointerPrecision);
    out.Attribute(L"Speed", profile.m_nMouseSpeed);
    out.Attribute(L"InvertScrolling", profile.m_bInvertScrolling);
    out.Attribute(L"InvertHorizontalScrolling", profile.m_bInvertHorzScrolling);
    out.Attribute(L"ScrollPages", profile.m_bScrollPages);
    out.Attribute(L"ScrollLines", profile.m_nScrollLines);
    out.Attribute(L"ForceSPI", profile.m_bForceSPIMessage);
    out.Attribute(L"AxisLocking", profile.m_bAxisLocking);
    out.Attribute(L"SwapButtons", static_cast<int>(profile.m_SwapButtons));
    out.Attribute(L"DisableScrollUnderCursor", profile.m_bDisableScrollUnderCursor);
    out.Attribute(L"DisableMouseOver", profile.m_bDisableMouseOver);
    out.Attribute(L"DisableLayerModifier", profile.m_bDisableLayerModifier);
    out.Attribute(L"IgnoreVScroll", profile.m_bIgnoreVScroll);
    out.Attribute(L"IgnoreVScrollTime", profile.m_nIgnoreVScrollTime);
    out.Attribute(L"IgnoreHScroll", profile.m_bIgnoreHScroll);
    out.Attribute(L"IgnoreHScrollTime", profile.m_nIgnoreHScrollTime);

    wchar_t name[32];
    for (int layer = 0; layer < LayerCount; ++layer)
    {
        // The first layer's elements sit in the default profile's element itself.
        if (layer != 0)
            out.Child(NumberedXmlName(name, L"Layer", layer));
        out.Child(L"Layer");
        out.Attribute(L"name", profile.m_pszLayerNames[layer]);
        out.Attribute(L"autoswitchlayer", profile.m_nAutoSwitchLayer[layer]);
        out.Attribute(L"autoswitchtime", profile.m_dAutoSwitchTime[layer]);
        out.Attribute(L"revertlayer1", profile.m_bRevertLayer1[layer]);
        out.Attribute(L"disablenextprev", profile.m_bLayerDisabledNextPrev[layer]);
        out.Attribute(L"disable", layer != 0 && profile.m_bLayerDisabled[layer]);
        out.End();
        for (int button = 0; button < ButtonCount; ++button)
        {
            // Slots of later layers have the first layer's names inside their layer's element.
            const wchar_t* slot = SlotElementName(name, button, 0, quillonMode);
            if (*slot == L'\0')
                continue;
            out.Child(slot);
            SaveSlot(profile, out, button, layer, quillonMode, false);
            out.End();
        }
        if (layer != 0)
            out.End();
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
            const wchar_t* name = GetButtonName(button, quillonMode);
            if (*name != L'\0')
                LoadSlot(*this, layerElement.child(name), button, layer, quillonMode, perKeyTime, false,
                         highestLayer, context);
        }
    }
}
