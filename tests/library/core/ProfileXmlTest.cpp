#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "Chords.h"
#include "Movement2Scroll.h"
#include "Settings.h"
#include "StringFormat.h"
#include "TimedClicks.h"

namespace
{
constexpr int PerKeyTime = 10;

pugi::xml_node ParseElement(pugi::xml_document& doc, const wchar_t* text)
{
    EXPECT_TRUE(doc.load_string(text)) << text;
    return doc.first_child();
}

int CountChildren(pugi::xml_node element, const wchar_t* name)
{
    int count = 0;
    for (pugi::xml_node child = element.child(name); child; child = child.next_sibling(name))
        ++count;
    return count;
}

// A profile with every option away from its default and slots of each kind.
void FillProfile(CApplicationSettings& profile)
{
    profile.SetApplication(L"W2:notepad.exe \\;| Notepad \\;| *");
    profile.SetDescription(L"Editor");
    profile.SetEnableFlag(true);
    profile.OverrideMouseSpeed(true);
    profile.EnhancePointerPrecision(true);
    profile.ActivateOnHover(true);
    profile.SetMouseSpeed(14);
    profile.SetInvertScrolling(true);
    profile.SetInvertHorzScrolling(true);
    profile.SetScrollPages(true);
    profile.SetScrollLines(7);
    profile.SetForceSPIMessage(true);
    profile.SetClipMouse(true);
    profile.SetAxisLocking(false);
    profile.ChangeCursor(true);
    profile.SetCursor(L"3");
    profile.SetProfileChangeScript(L"{CTRL}s");
    profile.EnableProfileScript(true);
    profile.SetSwapButtons(SWAPBUTTONS_YES);
    profile.SetNoParentFlag(true);
    profile.SetMatchType(4);
    profile.SetWindowMask(WINDOWMASK_TOPLEFT | WINDOWMASK_BOTTOMLEFT);
    profile.SetWindowArea(RECT{-10, 20, 300, 400});
    profile.SetIgnoreVScroll(true);
    profile.SetIgnoreVScrollTime(250);
    profile.SetIgnoreHScroll(true);
    profile.SetIgnoreHScrollTime(450);
    profile.SetAdvScrollMethod(3);
    profile.SetAdvScrollVertical(2);
    profile.SetAdvScrollHorizontal(-4);
    profile.SetDisableScrollUnderCursor(true);
    profile.SetDisableMouseOver(true);
    profile.SetDisableLayerModifier(true);
    for (int layer = 0; layer < LayerCount; ++layer)
    {
        profile.SetLayerName(FormatString(L"Layer name %d", layer).c_str(), layer);
        profile.SetAutoSwitchLayer(layer, (layer + 3) % 11);
        profile.SetAutoSwitchTime(layer, 0.5 + layer);
        profile.SetRevertLayer1(layer, layer % 2 == 1);
        profile.SetLayerDisabledNextPrev(layer, layer % 3 == 0);
        profile.SetLayerDisabled(layer, layer >= 8);
    }
    profile.SetActions(Left, 0, ACTION_SIMULATED_KEYS);
    profile.SetKeystrokes(Left, 0, L"{WAITMS:40}ab", 5, 120, false, false, true, true, PerKeyTime);
    profile.SetActionDescription(Left, 0, L"typed");
    profile.SetActions(Right, 3, ACTION_RUN_APPLICATION);
    profile.SetLaunchApp(Right, 3, L"C:\\Tools\\run.exe");
    profile.SetActions(Middle, 9, ACTION_OPEN_FOLDER);
    profile.SetLaunchApp(Middle, 9, L"C:\\Temp");
    profile.SetActions(XLeft, 1, ACTION_COPY);
    profile.SetActionDescription(XLeft, 1, L"copy it");

    auto chords = std::make_unique<CBRMPChords>();
    chords->SetDescription(L"chorded");
    chords->GetChord(Right)->SetAction(ACTION_PASTE);
    profile.SetActions(XRight, 2, ACTION_BUTTON_CHORDING);
    profile.SetChords(XRight, 2, chords.release());

    auto clicks = std::make_unique<CBRMPTimedClicks>();
    clicks->Initialise(WheelUp, false);
    clicks->SetEnabled(2, true);
    clicks->SetTime(2, 1700);
    profile.SetActions(WheelUp, 4, ACTION_BUTTON_HELD);
    profile.SetTimedClicks(WheelUp, 4, clicks.release());

    CMovement2Scroll options(ACTION_MTS_INVERTED_OLD);
    options.SetSensitivityY(33);
    profile.SetActions(TiltLeft, 5, ACTION_MOVEMENT_TO_SCROLL);
    profile.SetMovement2Scroll(TiltLeft, 5, &options);
}
}

TEST(ProfileXml, AnApplicationProfileRoundTripsEveryValue)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    CApplicationSettings source(&settings, false, 0);
    FillProfile(source);
    pugi::xml_document doc;
    ASSERT_TRUE(source.Save(doc.append_child(L"Applications")));
    pugi::xml_node element = doc.child(L"Applications").child(L"Application");
    ASSERT_TRUE(element);
    EXPECT_STREQ(element.first_attribute().name(), L"Name");
    EXPECT_STREQ(element.last_attribute().name(), L"WindowMask");
    // Layer children first, then the buttons layer by layer.
    std::wstring order;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        order += std::wstring(child.name()) + L" ";
    EXPECT_EQ(order.substr(0, order.find(L"Right ")),
              L"LayerNames AutoSwitch RevertLayer1 DisableNextPrev Disable Left ");
    EXPECT_NE(order.find(L"WheelDown Left_Layer1 Right_Layer1 "), std::wstring::npos);
    EXPECT_EQ(CountChildren(element, L"WheelDown_Layer9"), 1);
    EXPECT_EQ(order.substr(order.size() - 17), L"WheelDown_Layer9 ");

    CApplicationSettings loaded(&settings, false, 1);
    bool regionsDefined = false;
    int highestLayer = 0;
    ASSERT_TRUE(loaded.Load(element, PerKeyTime, regionsDefined, highestLayer));
    EXPECT_STREQ(loaded.GetFullName(), source.GetFullName());
    EXPECT_STREQ(loaded.GetApplication(), L"notepad.exe");
    EXPECT_STREQ(loaded.GetClass(), L"Notepad");
    EXPECT_STREQ(loaded.GetDescription(), L"Editor");
    EXPECT_TRUE(loaded.IsEnabled());
    EXPECT_TRUE(loaded.OverrideMouseSpeed());
    EXPECT_TRUE(loaded.EnhancePointerPrecision());
    EXPECT_TRUE(loaded.ActivateOnHover());
    EXPECT_EQ(loaded.GetMouseSpeed(), 14);
    EXPECT_TRUE(loaded.InvertedScrolling());
    EXPECT_TRUE(loaded.InvertedHorzScrolling());
    EXPECT_TRUE(loaded.ScrollPages());
    EXPECT_EQ(loaded.ScrollLines(), 7);
    EXPECT_TRUE(loaded.ForceSPIMessage());
    EXPECT_TRUE(loaded.ClipMouse());
    EXPECT_FALSE(loaded.AxisLocking());
    EXPECT_STREQ(loaded.GetCursor(), L"3");
    EXPECT_STREQ(loaded.GetProfileChangeScript(), L"{CTRL}s");
    EXPECT_EQ(loaded.SwapButtons(), SWAPBUTTONS_YES);
    EXPECT_TRUE(loaded.NoParent());
    EXPECT_EQ(loaded.GetMatchType(), 4);
    EXPECT_EQ(loaded.GetWindowMask(), 5);
    const RECT area = loaded.GetWindowArea();
    EXPECT_EQ(area.left, -10);
    EXPECT_EQ(area.top, 20);
    EXPECT_EQ(area.right, 300);
    EXPECT_EQ(area.bottom, 400);
    EXPECT_TRUE(loaded.GetIgnoreVScroll());
    EXPECT_EQ(loaded.GetIgnoreVScrollTime(), 250);
    EXPECT_TRUE(loaded.GetIgnoreHScroll());
    EXPECT_EQ(loaded.GetIgnoreHScrollTime(), 450);
    EXPECT_EQ(loaded.AdvScrollMethod(), 3);
    EXPECT_EQ(loaded.AdvScrollVertical(), 2);
    EXPECT_EQ(loaded.AdvScrollHorizontal(), -4);
    EXPECT_TRUE(loaded.GetDisableScrollUnderCursor());
    EXPECT_TRUE(loaded.GetDisableMouseOver());
    EXPECT_TRUE(loaded.GetDisableLayerModifier());
    EXPECT_TRUE(regionsDefined);
    EXPECT_EQ(highestLayer, 10);

    for (int layer = 0; layer < LayerCount; ++layer)
    {
        SCOPED_TRACE(layer);
        EXPECT_STREQ(loaded.GetLayerName(layer), source.GetLayerName(layer));
        EXPECT_EQ(loaded.GetAutoSwitchLayer(layer), source.GetAutoSwitchLayer(layer));
        EXPECT_DOUBLE_EQ(loaded.GetAutoSwitchTime(layer), source.GetAutoSwitchTime(layer));
        EXPECT_EQ(loaded.GetRevertLayer1(layer), source.GetRevertLayer1(layer));
        EXPECT_EQ(loaded.GetLayerDisabledNextPrev(layer, false), source.GetLayerDisabledNextPrev(layer, false));
        EXPECT_EQ(loaded.GetLayerDisabled(layer), source.GetLayerDisabled(layer));
        for (int button = 0; button < ButtonCount; ++button)
        {
            SCOPED_TRACE(button);
            EXPECT_EQ(loaded.GetActions(button, layer), source.GetActions(button, layer));
            ASSERT_NE(loaded.GetMovement2Scroll(button, layer), nullptr);
            EXPECT_EQ(loaded.GetChords(button, layer) != nullptr, source.GetChords(button, layer) != nullptr);
            EXPECT_EQ(loaded.GetTimedClicks(button, layer) != nullptr, source.GetTimedClicks(button, layer) != nullptr);
        }
    }
    EXPECT_STREQ(loaded.GetKeystrokes(Left, 0), L"{WAITMS:40}ab");
    EXPECT_EQ(loaded.SendKeyAction(Left, 0), 5);
    EXPECT_EQ(loaded.SendKeyRepeat(Left, 0), 120);
    EXPECT_FALSE(loaded.SendKeyWhenActive(Left, 0));
    EXPECT_FALSE(loaded.BlockMouse(Left, 0));
    EXPECT_TRUE(loaded.BlockMouseActive(Left, 0));
    EXPECT_TRUE(loaded.RandomiseDelay(Left, 0));
    EXPECT_EQ(loaded.GetKeystrokesWaitHoldTime(Left, 0, 0), 60);
    EXPECT_STREQ(loaded.GetActionDescription(Left, 0), L"typed");
    EXPECT_STREQ(loaded.GetLaunchApp(Right, 3), L"C:\\Tools\\run.exe");
    EXPECT_STREQ(loaded.GetLaunchApp(Middle, 9), L"C:\\Temp");
    EXPECT_STREQ(loaded.GetActionDescription(XLeft, 1), L"copy it") << "descriptions of every action are kept";
    EXPECT_STREQ(loaded.GetChords(XRight, 2)->GetDescription(), L"chorded");
    EXPECT_EQ(loaded.GetChords(XRight, 2)->GetChord(Right)->GetAction(), ACTION_PASTE);
    EXPECT_TRUE(loaded.GetTimedClicks(WheelUp, 4)->GetEnabled(2));
    EXPECT_EQ(loaded.GetTimedClicks(WheelUp, 4)->GetTime(2), 1700);
    EXPECT_EQ(loaded.GetTimedClicks(WheelUp, 4)->GetTimedClick(0)->GetAction(), ACTION_SCROLL_WINDOW_UP);
    EXPECT_TRUE(loaded.GetMovement2Scroll(TiltLeft, 5)->InvertVertical());
    EXPECT_EQ(loaded.GetMovement2Scroll(TiltLeft, 5)->getSensitivityY(), 33);
}

TEST(ProfileXml, MissingAttributesTakeTheReadDefaults)
{
    pugi::xml_document doc;
    pugi::xml_node element = ParseElement(
        doc, L"<Application Name='calc.exe'><Left action='28' keys='x'/><Right_Layer2 action='5'/></Application>");
    CApplicationSettings profile(nullptr, false, -1);
    bool regionsDefined = false;
    int highestLayer = 0;
    ASSERT_TRUE(profile.Load(element, PerKeyTime, regionsDefined, highestLayer));
    EXPECT_FALSE(profile.IsEnabled()) << "an application profile without Enabled is disabled";
    EXPECT_EQ(profile.SendKeyAction(Left, 0), 0) << "not the constructor's 2";
    EXPECT_TRUE(profile.SendKeyWhenActive(Left, 0));
    EXPECT_TRUE(profile.BlockMouse(Left, 0));
    EXPECT_EQ(profile.GetActions(Right, 2), ACTION_MIDDLE_CLICK);
    EXPECT_EQ(profile.GetActions(Middle, 0), ACTION_NO_CHANGE);
    EXPECT_EQ(profile.AdvScrollMethod(), 8);
    EXPECT_EQ(profile.AdvScrollVertical(), 0);
    EXPECT_EQ(profile.GetIgnoreHScrollTime(), 400);
    EXPECT_EQ(profile.GetWindowMask(), 15);
    EXPECT_FALSE(profile.AxisLocking());
    EXPECT_DOUBLE_EQ(profile.GetAutoSwitchTime(4), 1.0);
    EXPECT_FALSE(regionsDefined);
    EXPECT_EQ(highestLayer, 3);

    pugi::xml_document defaultDoc;
    CApplicationSettings defaultProfile(nullptr, true, 0);
    defaultProfile.SetEnableFlag(false);
    int defaultHighest = 0;
    defaultProfile.LoadDefault(ParseElement(defaultDoc, L"<Default SwapButtons='2'/>"), PerKeyTime, defaultHighest);
    EXPECT_TRUE(defaultProfile.IsEnabled()) << "the default profile without Enabled is enabled";
    EXPECT_EQ(defaultProfile.SwapButtons(), SWAPBUTTONS_DEFAULT);
    EXPECT_EQ(defaultHighest, 0);
}

TEST(ProfileXml, SlotElementsAreFoundByTheirExactNameInAnyOrderAndTheFirstOfANameCounts)
{
    pugi::xml_document doc;
    pugi::xml_node element = ParseElement(
        doc, L"<Application Name='a.exe'>"
             L"<Right_Layer9 action='5'/><XLeft_Layer3 action='3'/><Left action='1'/><Left action='2'/>"
             // Not the writer's names: a leading zero, a layer beyond the last, a trailing
             // text, layer 0 spelt out, a name that only starts like a button's.
             L"<Middle_Layer01 action='5'/><Middle_Layer10 action='5'/><Middle_Layer2x action='5'/>"
             L"<Middle_Layer0 action='5'/><LeftTilt action='5'/><Left_layer2 action='5'/>"
             L"<WheelDown_Layer4 action='3'/></Application>");
    CApplicationSettings profile(nullptr, false, -1);
    bool regionsDefined = false;
    int highestLayer = 0;
    ASSERT_TRUE(profile.Load(element, PerKeyTime, regionsDefined, highestLayer));
    EXPECT_EQ(profile.GetActions(Right, 9), ACTION_MIDDLE_CLICK);
    EXPECT_EQ(profile.GetActions(XLeft, 3), ACTION_BACK);
    EXPECT_EQ(profile.GetActions(Left, 0), ACTION_RIGHT_CLICK) << "the first element of a name counts";
    EXPECT_EQ(profile.GetActions(WheelDown, 4), ACTION_BACK);
    for (int layer = 0; layer < LayerCount; ++layer)
        EXPECT_EQ(profile.GetActions(Middle, layer), ACTION_NO_CHANGE) << "layer " << layer;
    EXPECT_EQ(profile.GetActions(Left, 2), ACTION_NO_CHANGE);
    EXPECT_EQ(highestLayer, 10);
}

TEST(ProfileXml, SkipFlagsFallBackToTheOlderElement)
{
    pugi::xml_document doc;
    CApplicationSettings profile(nullptr, false, -1);
    bool regionsDefined = false;
    int highestLayer = 0;
    profile.Load(ParseElement(doc, L"<Application Name='a.exe'><DisableLayer layer2='true' layer5='true'/>"
                                   L"<Disable layer1='true' layer3='true'/></Application>"),
                 PerKeyTime, regionsDefined, highestLayer);
    EXPECT_TRUE(profile.GetLayerDisabledNextPrev(1, false));
    EXPECT_TRUE(profile.GetLayerDisabledNextPrev(4, false));
    EXPECT_FALSE(profile.GetLayerDisabledNextPrev(0, false));
    EXPECT_FALSE(profile.GetLayerDisabled(0)) << "the first layer is never disabled";
    EXPECT_TRUE(profile.GetLayerDisabled(2));

    pugi::xml_document defaultDoc;
    CApplicationSettings defaultProfile(nullptr, true, 0);
    int defaultHighest = 0;
    defaultProfile.LoadDefault(ParseElement(defaultDoc, L"<Default><Layer3><Layer disabled='true'/></Layer3></Default>"),
                               PerKeyTime, defaultHighest);
    EXPECT_TRUE(defaultProfile.GetLayerDisabledNextPrev(3, false));
}

TEST(ProfileXml, RegionsAreDefinedByAnEnabledMaskOrAWindowArea)
{
    const struct
    {
        const wchar_t* attributes;
        bool regions;
    } cases[] = {
        {L"Enabled='true' WindowMask='5'", true},
        {L"Enabled='false' WindowMask='5'", false},
        {L"Enabled='true' WindowMask='15'", false},
        {L"Enabled='true' WindowMask='0'", false},
        {L"Enabled='false' WindowArea='true'", true},
    };
    for (const auto& c : cases)
    {
        pugi::xml_document doc;
        CApplicationSettings profile(nullptr, false, -1);
        bool regionsDefined = false;
        int highestLayer = 0;
        const std::wstring xml = FormatString(L"<Application Name='a.exe' %s/>", c.attributes);
        profile.Load(ParseElement(doc, xml.c_str()), PerKeyTime, regionsDefined, highestLayer);
        EXPECT_EQ(regionsDefined, c.regions) << c.attributes;
    }
}

TEST(ProfileXml, QuillonModeWritesTheSixthButtonUnderItsOwnNameAndNoSeventh)
{
    CSettings settings(true, CMouseInfo(0, 0, 0));
    CApplicationSettings source(&settings, false, 0);
    source.SetApplication(L"q.exe");
    source.SetActions(TiltLeft, 0, ACTION_COPY);
    source.SetActions(TiltRight, 0, ACTION_PASTE);
    pugi::xml_document doc;
    ASSERT_TRUE(source.Save(doc.append_child(L"Applications")));
    pugi::xml_node element = doc.child(L"Applications").child(L"Application");
    EXPECT_FALSE(element.child(L"TiltRight"));
    EXPECT_FALSE(element.child(L"TiltRight_Layer4"));
    EXPECT_FALSE(element.child(L"TiltLeft"));
    EXPECT_EQ(element.child(L"QuillonMiddle").attribute(L"action").as_int(), ACTION_COPY);
    EXPECT_EQ(CountChildren(element, L"QuillonMiddle_Layer9"), 1);

    CApplicationSettings loaded(&settings, false, 1);
    bool regionsDefined = false;
    int highestLayer = 0;
    ASSERT_TRUE(loaded.Load(element, PerKeyTime, regionsDefined, highestLayer));
    EXPECT_EQ(loaded.GetActions(TiltLeft, 0), ACTION_COPY);
    EXPECT_EQ(loaded.GetActions(TiltRight, 0), ACTION_NO_CHANGE);
}

TEST(ProfileXml, OldMovementCodesAreUpgradedAndBadValuesReplaced)
{
    pugi::xml_document doc;
    CApplicationSettings profile(nullptr, false, -1);
    bool regionsDefined = false;
    int highestLayer = 0;
    ASSERT_TRUE(profile.Load(
        ParseElement(doc, L"<Application Name='a.exe' SwapButtons='7' Speed='99' IgnoreVScrollTime='-1'"
                          L" AdvScrollMethod='6' WindowMask='-3'>"
                          L"<AutoSwitch layer1_switch='99' layer1_time='-2' layer2_time='nan'/>"
                          L"<Left action='124'/><Right action='500'/><Middle action='-1'/>"
                          L"<XLeft action='28' keys='a' keyaction='40' keyrepeat='-5'/></Application>"),
        PerKeyTime, regionsDefined, highestLayer));
    EXPECT_EQ(profile.GetActions(Left, 0), ACTION_MOVEMENT_TO_SCROLL);
    EXPECT_TRUE(profile.GetMovement2Scroll(Left, 0)->InvertVertical());
    EXPECT_TRUE(profile.GetMovement2Scroll(Left, 0)->IsSticky());
    EXPECT_EQ(profile.GetActions(Right, 0), ACTION_NO_CHANGE);
    EXPECT_EQ(profile.GetActions(Middle, 0), ACTION_NO_CHANGE);
    EXPECT_EQ(profile.SendKeyAction(XLeft, 0), 0);
    EXPECT_EQ(profile.SendKeyRepeat(XLeft, 0), 0);
    EXPECT_EQ(profile.SwapButtons(), SWAPBUTTONS_DEFAULT);
    EXPECT_EQ(profile.GetMouseSpeed(), -1);
    EXPECT_EQ(profile.GetIgnoreVScrollTime(), 200);
    EXPECT_EQ(profile.AdvScrollMethod(), 8);
    EXPECT_EQ(profile.GetWindowMask(), 15);
    EXPECT_EQ(profile.GetAutoSwitchLayer(0), 0);
    EXPECT_DOUBLE_EQ(profile.GetAutoSwitchTime(0), 1.0);
    EXPECT_DOUBLE_EQ(profile.GetAutoSwitchTime(1), 1.0);
}

TEST(ProfileXml, TheDefaultProfileRoundTripsAndReusesItsElement)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    CApplicationSettings source(&settings, true, 0);
    FillProfile(source);
    pugi::xml_document doc;
    pugi::xml_node element = doc.append_child(L"Default");
    source.SaveDefault(element);
    EXPECT_FALSE(element.attribute(L"Enabled"));
    EXPECT_FALSE(element.child(L"Left").attribute(L"blockmouseactive"));
    EXPECT_TRUE(element.child(L"Layer9").child(L"Middle"));
    EXPECT_STREQ(element.child(L"Layer3").child(L"Layer").attribute(L"name").value(), L"Layer name 3");

    CApplicationSettings loaded(&settings, true, 0);
    int highestLayer = 0;
    loaded.LoadDefault(element, PerKeyTime, highestLayer);
    EXPECT_EQ(highestLayer, 10);
    EXPECT_EQ(loaded.SwapButtons(), SWAPBUTTONS_DEFAULT);
    EXPECT_FALSE(loaded.ActivateOnHover());
    EXPECT_EQ(loaded.GetMouseSpeed(), 14);
    EXPECT_EQ(loaded.ScrollLines(), 7);
    EXPECT_EQ(loaded.GetIgnoreHScrollTime(), 450);
    EXPECT_FALSE(loaded.BlockMouseActive(Left, 0)) << "not stored for the default profile";
    EXPECT_STREQ(loaded.GetKeystrokes(Left, 0), L"{WAITMS:40}ab");
    EXPECT_STREQ(loaded.GetActionDescription(XLeft, 1), L"copy it");
    for (int layer = 0; layer < LayerCount; ++layer)
    {
        EXPECT_STREQ(loaded.GetLayerName(layer), source.GetLayerName(layer));
        EXPECT_EQ(loaded.GetLayerDisabled(layer), source.GetLayerDisabled(layer));
        EXPECT_DOUBLE_EQ(loaded.GetAutoSwitchTime(layer), source.GetAutoSwitchTime(layer));
        for (int button = 0; button < ButtonCount; ++button)
            EXPECT_EQ(loaded.GetActions(button, layer), source.GetActions(button, layer));
    }
    EXPECT_EQ(loaded.GetChords(XRight, 2)->GetChord(Right)->GetAction(), ACTION_PASTE);

    // Saving again into the same element changes nothing and adds nothing.
    loaded.SaveDefault(element);
    std::wostringstream before;
    element.print(before);
    loaded.SaveDefault(element);
    std::wostringstream after;
    element.print(after);
    EXPECT_EQ(before.str(), after.str());
    EXPECT_EQ(CountChildren(element, L"Layer1"), 1);
    EXPECT_EQ(CountChildren(element, L"Left"), 1);
    EXPECT_EQ(CountChildren(element.child(L"Layer2"), L"XRight"), 1);
    EXPECT_EQ(CountChildren(element.child(L"Layer2").child(L"XRight"), L"chords"), 1);
}

TEST(ProfileXml, AListTakenOutOfASlotDoesNotComeBackFromAReusedElement)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    CApplicationSettings profile(&settings, true, 0);
    profile.SetActions(Middle, 0, ACTION_BUTTON_CHORDING);
    profile.SetChords(Middle, 0, new CBRMPChords());
    profile.SetTimedClicks(Middle, 0, new CBRMPTimedClicks());
    pugi::xml_document doc;
    pugi::xml_node element = doc.append_child(L"Default");
    profile.SaveDefault(element);
    ASSERT_TRUE(element.child(L"Middle").child(L"chords"));

    profile.SetActions(Middle, 0, ACTION_COPY);
    profile.SetChords(Middle, 0, nullptr);
    profile.SetTimedClicks(Middle, 0, nullptr);
    profile.SaveDefault(element);
    EXPECT_FALSE(element.child(L"Middle").child(L"chords"));
    EXPECT_FALSE(element.child(L"Middle").child(L"timedclicks"));

    CApplicationSettings loaded(&settings, true, 0);
    int highestLayer = 0;
    loaded.LoadDefault(element, PerKeyTime, highestLayer);
    EXPECT_EQ(loaded.GetChords(Middle, 0), nullptr);
    EXPECT_EQ(loaded.GetTimedClicks(Middle, 0), nullptr);
}

TEST(ProfileXml, ChordsOrTimedClicksThatDoNotLoadLeaveTheSlotWithout)
{
    pugi::xml_document doc;
    CApplicationSettings profile(nullptr, false, -1);
    bool regionsDefined = false;
    int highestLayer = 0;
    profile.Load(ParseElement(doc, L"<Application Name='a.exe'><Left action='128'><chords Description='x'/></Left>"
                                   L"<Right action='133'><timedclicks Enable0='true'/></Right></Application>"),
                 PerKeyTime, regionsDefined, highestLayer);
    EXPECT_EQ(profile.GetActions(Left, 0), ACTION_BUTTON_CHORDING);
    EXPECT_EQ(profile.GetChords(Left, 0), nullptr);
    EXPECT_EQ(profile.GetTimedClicks(Right, 0), nullptr);
}

TEST(ProfileXml, WritingOrReadingWithoutAnElementReportsFailure)
{
    CApplicationSettings profile(nullptr, false, -1);
    profile.SetApplication(L"a.exe");
    EXPECT_FALSE(profile.Save(pugi::xml_node()));
    bool regionsDefined = false;
    int highestLayer = 0;
    EXPECT_FALSE(profile.Load(pugi::xml_node(), PerKeyTime, regionsDefined, highestLayer));
}
