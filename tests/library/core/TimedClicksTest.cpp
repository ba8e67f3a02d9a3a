#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ActionData.h"
#include "LogFile.h"
#include "Logger.h"
#include "TimedClicks.h"

namespace
{
pugi::xml_node ParseElement(pugi::xml_document& doc, const wchar_t* text)
{
    EXPECT_TRUE(doc.load_string(text)) << text;
    return doc.first_child();
}

using brmptest::ReadLogFile;
}

TEST(TimedClicks, ANewListHasEntryZeroEnabledAndTheDefaultTimes)
{
    CBRMPTimedClicks clicks;
    const int times[] = {0, 500, 1000, 1500};
    for (int i = 0; i < TimedClickCount; ++i)
    {
        EXPECT_EQ(clicks.GetTime(i), times[i]);
        EXPECT_EQ(clicks.GetEnabled(i), i == 0);
        EXPECT_EQ(clicks.GetTimedClick(i)->GetAction(), ACTION_NO_CHANGE);
        EXPECT_FALSE(clicks.GetTimedClick(i)->SendKeyWhenActive());
    }
    EXPECT_TRUE(clicks.GetReleaseOnUp());
    EXPECT_FALSE(clicks.GetAbortOnMouseMove());
    EXPECT_FALSE(clicks.GetAbort2OnMouseMove());
    EXPECT_EQ(clicks.GetAbortPixels(), 5);
    EXPECT_EQ(clicks.GetButton(), NoButton);
    EXPECT_EQ(clicks.GetDescription(), nullptr);
}

TEST(TimedClicks, InitialiseGivesEachButtonItsOwnClickFirst)
{
    const struct
    {
        MouseButtons button;
        bool quillon;
        _ACTIONS first;
    } cases[] = {
        {Left, false, ACTION_LEFT_CLICK},
        {Right, false, ACTION_RIGHT_CLICK},
        {Middle, false, ACTION_MIDDLE_CLICK},
        {XLeft, false, ACTION_CLICK_BUTTON_4},
        {XRight, false, ACTION_CLICK_BUTTON_5},
        {TiltLeft, false, ACTION_SCROLL_WINDOW_LEFT},
        {TiltLeft, true, ACTION_DISABLE},
        {TiltRight, true, ACTION_SCROLL_WINDOW_RIGHT},
        {WheelUp, false, ACTION_SCROLL_WINDOW_UP},
        {WheelDown, false, ACTION_SCROLL_WINDOW_DOWN},
        {NoButton, false, ACTION_DISABLE},
        {static_cast<MouseButtons>(42), false, ACTION_DISABLE},
    };
    for (const auto& c : cases)
    {
        CBRMPTimedClicks clicks;
        clicks.SetAbortOnMouseMove(true);
        clicks.SetAbort2OnMouseMove(true);
        clicks.Initialise(c.button, c.quillon);
        EXPECT_EQ(clicks.GetTimedClick(0)->GetAction(), c.first) << c.button << " " << c.quillon;
        for (int i = 1; i < TimedClickCount; ++i)
            EXPECT_EQ(clicks.GetTimedClick(i)->GetAction(), ACTION_DISABLE);
        EXPECT_FALSE(clicks.GetAbortOnMouseMove());
        EXPECT_TRUE(clicks.GetAbort2OnMouseMove());
    }
}

TEST(TimedClicks, IndexesOutsideTheFourEntriesAreRefused)
{
    CBRMPTimedClicks clicks;
    CBRMPTimedClick entry;
    for (int bad : {-1, 4, 100})
    {
        EXPECT_EQ(clicks.GetTimedClick(bad), nullptr) << bad;
        EXPECT_EQ(clicks.GetTime(bad), 0) << bad;
        EXPECT_FALSE(clicks.GetEnabled(bad)) << bad;
        EXPECT_FALSE(clicks.SetTimedClick(bad, entry)) << bad;
        clicks.SetTime(bad, 77);
        clicks.SetEnabled(bad, true);
    }
    for (int i = 0; i < TimedClickCount; ++i)
    {
        EXPECT_NE(clicks.GetTime(i), 77);
        EXPECT_EQ(clicks.GetEnabled(i), i == 0);
    }
    const std::string log = ReadLogFile();
    EXPECT_NE(log.find("CBRMPTimedClicks::GetTime Invalid index -1"), std::string::npos);
    EXPECT_NE(log.find("CBRMPTimedClicks::SetTimedClick Invalid index 100"), std::string::npos);
}

TEST(TimedClicks, ThePointerFormCopiesProcessedFlagsAndTheReferenceFormKeepsThem)
{
    CBRMPTimedClick source;
    source.SetAction(ACTION_PASTE);
    source.SetProcessedDown(true);
    source.SetProcessedUp(true);

    CBRMPTimedClick byPointer;
    byPointer = &source;
    EXPECT_TRUE(byPointer.GetProcessedDown());
    EXPECT_TRUE(byPointer.GetProcessedUp());
    ASSERT_NE(byPointer.GetMovement2Scroll(), nullptr);

    CBRMPTimedClick byReference;
    byReference = source;
    EXPECT_EQ(byReference.GetAction(), ACTION_PASTE);
    EXPECT_FALSE(byReference.GetProcessedDown());
    EXPECT_FALSE(byReference.GetProcessedUp());

    CBRMPTimedClicks list;
    list.GetTimedClick(2)->SetProcessedUp(true);
    EXPECT_TRUE(list.SetTimedClick(2, source));
    EXPECT_TRUE(list.GetTimedClick(2)->GetProcessedUp());
    EXPECT_FALSE(list.GetTimedClick(2)->GetProcessedDown());
}

TEST(TimedClicks, ACopiedListIsDeepAndIndependent)
{
    auto source = std::make_unique<CBRMPTimedClicks>();
    source->SetDescription(L"hold");
    source->SetTime(2, 1234);
    source->SetEnabled(3, true);
    source->SetReleaseOnUp(false);
    source->SetAbortPixels(11);
    source->GetTimedClick(1)->SetKeys(L"{ESC}");
    CMovement2Scroll options;
    options.SetSensitivityX(30);
    source->GetTimedClick(3)->SetMovement2Scroll(&options);

    CBRMPTimedClicks constructed(*source);
    CBRMPTimedClicks assigned;
    assigned = *source;
    CBRMPTimedClicks pointerAssigned;
    pointerAssigned = source.get();
    source.reset();

    for (CBRMPTimedClicks* copy : {&constructed, &assigned, &pointerAssigned})
    {
        EXPECT_STREQ(copy->GetDescription(), L"hold");
        EXPECT_EQ(copy->GetTime(2), 1234);
        EXPECT_TRUE(copy->GetEnabled(3));
        EXPECT_FALSE(copy->GetReleaseOnUp());
        EXPECT_EQ(copy->GetAbortPixels(), 11);
        EXPECT_STREQ(copy->GetTimedClick(1)->GetKeys(), L"{ESC}");
        EXPECT_EQ(copy->GetTimedClick(3)->GetMovement2Scroll()->getSensitivityX(), 30);
        EXPECT_EQ(copy->GetButton(), NoButton);
        EXPECT_EQ(copy->GetClickTimerId(), 0u);
        EXPECT_EQ(copy->GetTimerCallback(), nullptr);
    }
    EXPECT_NE(constructed.GetDescription(), assigned.GetDescription());
}

TEST(TimedClicks, MissingListAttributesTakeTheirReadDefaults)
{
    pugi::xml_document doc;
    pugi::xml_node element =
        ParseElement(doc, L"<timedclicks Time0='10' Time1='600' Time3='2000' Enable1='true' Enable3='yes'>"
                          L"<Press0/><Press2 action='16'/></timedclicks>");
    CBRMPTimedClicks clicks;
    clicks.SetAbortOnMouseMove(true);
    clicks.SetReleaseOnUp(false);
    clicks.SetAbortPixels(8);
    clicks.SetDescription(L"kept");
    ASSERT_TRUE(clicks.Load(Middle, false, element, 10));
    EXPECT_FALSE(clicks.GetEnabled(0)) << "a missing enable flag is off, entry 0 too";
    EXPECT_TRUE(clicks.GetEnabled(1));
    EXPECT_FALSE(clicks.GetEnabled(2));
    EXPECT_TRUE(clicks.GetEnabled(3));
    EXPECT_EQ(clicks.GetTime(0), 10);
    EXPECT_EQ(clicks.GetTime(2), 1000);
    EXPECT_EQ(clicks.GetTime(3), 2000);
    EXPECT_TRUE(clicks.GetReleaseOnUp());
    EXPECT_FALSE(clicks.GetAbortOnMouseMove());
    EXPECT_EQ(clicks.GetAbortPixels(), 8);
    EXPECT_STREQ(clicks.GetDescription(), L"kept");
    EXPECT_EQ(clicks.GetTimedClick(0)->GetAction(), ACTION_MIDDLE_CLICK) << "missing action: the button's default";
    EXPECT_EQ(clicks.GetTimedClick(2)->GetAction(), ACTION_PASTE);
}

TEST(TimedClicks, EntriesReadOnlyWhatTheirActionUsesWithTheTimedClickDefaults)
{
    const struct
    {
        const wchar_t* xml;
        MouseButtons button;
        int index;
        _ACTIONS action;
        const wchar_t* keys;
        bool active;
        const wchar_t* app;
    } cases[] = {
        {L"<Press0 action='28' keys='ab'/>", Left, 0, ACTION_SIMULATED_KEYS, L"ab", false, nullptr},
        {L"<Press0 action='28' keys='ab' active='true'/>", Left, 0, ACTION_SIMULATED_KEYS, L"ab", true, nullptr},
        {L"<Press0 action='28' active='true'/>", Left, 0, ACTION_SIMULATED_KEYS, nullptr, false, nullptr},
        {L"<Press1 action='41' app='run.exe' keys='x'/>", Left, 1, ACTION_RUN_APPLICATION, nullptr, false, L"run.exe"},
        {L"<Press0/>", XRight, 0, ACTION_CLICK_BUTTON_5, nullptr, false, nullptr},
        {L"<Press0/>", TiltLeft, 0, ACTION_SCROLL_WINDOW_LEFT, nullptr, false, nullptr},
        {L"<Press3/>", Left, 3, ACTION_DISABLE, nullptr, false, nullptr},
        {L"<Press0 action='140'/>", Right, 0, ACTION_RIGHT_CLICK, nullptr, false, nullptr},
    };
    for (const auto& c : cases)
    {
        pugi::xml_document doc;
        CBRMPTimedClick entry;
        SCOPED_TRACE(c.xml);
        EXPECT_TRUE(entry.Load(c.button, c.index, false, ParseElement(doc, c.xml), 10));
        EXPECT_EQ(entry.GetAction(), c.action);
        if (c.keys)
            EXPECT_STREQ(entry.GetKeys(), c.keys);
        else
            EXPECT_EQ(entry.GetKeys(), nullptr);
        EXPECT_EQ(entry.SendKeyWhenActive(), c.active);
        if (c.app)
            EXPECT_STREQ(entry.GetLaunchApp(), c.app);
        else
            EXPECT_EQ(entry.GetLaunchApp(), nullptr);
    }
}

TEST(TimedClicks, TheTimedClicksElementRoundTrips)
{
    CBRMPTimedClicks source;
    source.Initialise(Left, false);
    source.SetDescription(L"long press");
    source.SetAbortOnMouseMove(true);
    source.SetAbort2OnMouseMove(true);
    source.SetReleaseOnUp(false);
    source.SetAbortPixels(3);
    for (int i = 0; i < TimedClickCount; ++i)
    {
        source.SetTime(i, 100 + i * 700);
        source.SetEnabled(i, i != 2);
    }
    std::unique_ptr<CActionData> keys(CActionData::KeyAction(L"{WAITMS:40}xy", 999, 5, 90, true, false, true, true,
                                                             L"keys here"));
    source.GetTimedClick(1)->SetActionData(keys.get());
    std::unique_ptr<CActionData> folder(CActionData::OpenFolderAction(L"C:\\Users"));
    source.GetTimedClick(2)->SetActionData(folder.get());
    CMovement2Scroll options(ACTION_MTS_INVERTED_OLD);
    source.GetTimedClick(3)->SetAction(ACTION_MOVEMENT_TO_SCROLL);
    source.GetTimedClick(3)->SetMovement2Scroll(&options);
    source.GetTimedClick(3)->SetDescription(L"scroll");

    pugi::xml_document doc;
    pugi::xml_node element = doc.append_child(L"timedclicks");
    source.Save(false, element);
    EXPECT_STREQ(element.first_attribute().name(), L"Description");
    EXPECT_STREQ(element.attribute(L"Time3").value(), L"2200");
    EXPECT_STREQ(element.attribute(L"Enable2").value(), L"false");

    CBRMPTimedClicks loaded;
    ASSERT_TRUE(loaded.Load(Left, false, element, 10));
    EXPECT_STREQ(loaded.GetDescription(), L"long press");
    EXPECT_TRUE(loaded.GetAbortOnMouseMove());
    EXPECT_TRUE(loaded.GetAbort2OnMouseMove());
    EXPECT_FALSE(loaded.GetReleaseOnUp());
    EXPECT_EQ(loaded.GetAbortPixels(), 3);
    for (int i = 0; i < TimedClickCount; ++i)
    {
        EXPECT_EQ(loaded.GetTime(i), 100 + i * 700);
        EXPECT_EQ(loaded.GetEnabled(i), i != 2);
    }
    EXPECT_EQ(loaded.GetTimedClick(0)->GetAction(), ACTION_LEFT_CLICK);
    const CBRMPTimedClick* typed = loaded.GetTimedClick(1);
    EXPECT_EQ(typed->GetAction(), ACTION_SIMULATED_KEYS);
    EXPECT_STREQ(typed->GetKeys(), L"{WAITMS:40}xy");
    EXPECT_EQ(typed->GetWaitHoldTime(), 60) << "computed from the keys, not stored";
    EXPECT_EQ(typed->SendKeyAction(), 5);
    EXPECT_EQ(typed->SendKeyRepeat(), 90);
    EXPECT_TRUE(typed->SendKeyWhenActive());
    EXPECT_FALSE(typed->BlockMouse());
    EXPECT_TRUE(typed->BlockMouseActive());
    EXPECT_TRUE(typed->RandomiseDelay());
    EXPECT_STREQ(typed->GetDescription(), L"keys here");
    EXPECT_STREQ(loaded.GetTimedClick(2)->GetLaunchApp(), L"C:\\Users");
    const CBRMPTimedClick* scroll = loaded.GetTimedClick(3);
    ASSERT_NE(scroll->GetMovement2Scroll(), nullptr);
    EXPECT_TRUE(scroll->GetMovement2Scroll()->InvertVertical());
    EXPECT_STREQ(scroll->GetDescription(), L"scroll") << "descriptions of every action are read back";
}

TEST(TimedClicks, AListWithoutPressesFailsAndAnEmptyDescriptionStaysNull)
{
    CBRMPTimedClicks source;
    pugi::xml_document doc;
    pugi::xml_node element = doc.append_child(L"timedclicks");
    source.Save(false, element);
    ASSERT_TRUE(element.attribute(L"Description"));
    EXPECT_STREQ(element.attribute(L"Description").value(), L"");
    CBRMPTimedClicks loaded;
    EXPECT_TRUE(loaded.Load(Left, false, element, 10));
    EXPECT_EQ(loaded.GetDescription(), nullptr);

    pugi::xml_document empty;
    CBRMPTimedClicks none;
    EXPECT_FALSE(none.Load(Left, false, ParseElement(empty, L"<timedclicks Enable0='true'/>"), 10));
}

TEST(TimedClicks, OutOfRangeValuesFromAFileAreReplacedByDefaults)
{
    pugi::xml_document doc;
    CBRMPTimedClicks clicks;
    ASSERT_TRUE(clicks.Load(Left, false,
                            ParseElement(doc, L"<timedclicks Time1='-5' AbortPixels='-1'>"
                                              L"<Press0 action='28' keys='a' keyaction='9' keyrepeat='-20'/>"
                                              L"</timedclicks>"),
                            10));
    EXPECT_EQ(clicks.GetTime(1), 500);
    EXPECT_EQ(clicks.GetAbortPixels(), 5);
    EXPECT_NE(ReadLogFile().find("CBRMPTimedClicks::Load: attribute 'Time1' has the invalid value -5"), std::string::npos);
    EXPECT_EQ(clicks.GetTimedClick(0)->SendKeyAction(), 0);
    EXPECT_EQ(clicks.GetTimedClick(0)->SendKeyRepeat(), 0);
}
