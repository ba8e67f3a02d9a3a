#include <gtest/gtest.h>

#include <memory>

#include "ActionData.h"
#include "Movement2Scroll.h"

namespace
{
pugi::xml_node ParseElement(pugi::xml_document& doc, const wchar_t* text)
{
    EXPECT_TRUE(doc.load_string(text)) << text;
    return doc.first_child();
}
}

TEST(Movement2Scroll, ANewObjectHasTheDefaultOptions)
{
    CMovement2Scroll options;
    EXPECT_EQ(options.getSensitivityX(), 5);
    EXPECT_EQ(options.getSensitivityY(), 5);
    EXPECT_TRUE(options.IsButtonBlocked());
    EXPECT_EQ(options.GetAxisLocked(), 0);
    EXPECT_FALSE(options.IsSticky());
    EXPECT_FALSE(options.IsStickyBlock());
    EXPECT_FALSE(options.InvertVertical());
    EXPECT_FALSE(options.InvertHorizontal());
    std::unique_ptr<CActionData> noMovement(options.GetActionData());
    EXPECT_EQ(noMovement->Action(), ACTION_DISABLE);
    EXPECT_TRUE(noMovement->Active());
    EXPECT_TRUE(noMovement->BlockMouse());
    EXPECT_EQ(noMovement->GetDescription(), nullptr);
    EXPECT_EQ(noMovement->GetMovement2Scroll(), nullptr);
}

TEST(Movement2Scroll, OldCodesBecomeTheOptionsTheyMeant)
{
    const struct
    {
        _ACTIONS code;
        bool sticky;
        int lock;
        bool inverted;
    } cases[] = {
        {ACTION_MTS_STICKY_OLD, true, 0, false},
        {ACTION_MTS_LOCK_AXIS_OLD, false, 1, false},
        {ACTION_MTS_STICKY_LOCK_AXIS_OLD, true, 1, false},
        {ACTION_MTS_INVERTED_OLD, false, 0, true},
        {ACTION_MTS_INVERTED_STICKY_OLD, true, 0, true},
        {ACTION_MTS_INVERTED_LOCK_AXIS_OLD, false, 1, true},
        {ACTION_MTS_INVERTED_STICKY_LOCK_AXIS_OLD, true, 1, true},
        {ACTION_NO_CHANGE, false, 0, false},
        {ACTION_MOVEMENT_TO_SCROLL, false, 0, false},
    };
    for (const auto& c : cases)
    {
        CMovement2Scroll options(c.code);
        EXPECT_EQ(options.IsSticky(), c.sticky) << c.code;
        EXPECT_EQ(options.GetAxisLocked(), c.lock) << c.code;
        EXPECT_EQ(options.InvertVertical(), c.inverted) << c.code;
        EXPECT_EQ(options.InvertHorizontal(), c.inverted) << c.code;
        EXPECT_EQ(options.getSensitivityX(), 5) << c.code;
    }
}

TEST(Movement2Scroll, AMovedScrollCountsAsBounceForLessThan400Ms)
{
    const struct
    {
        DWORD setAt;
        DWORD now;
        bool moved;
        bool bounce;
    } cases[] = {
        {1000, 1399, true, true},
        {1000, 1400, true, false},
        {1000, 1000, true, true},
        {1000, 1001, false, false},
        {0xFFFFFF00u, 0x00000050u, true, true},   // 336 ms across the wrap of the tick count
        {0xFFFFFF00u, 0x00000090u, true, false},  // 400 ms across the wrap
    };
    for (const auto& c : cases)
    {
        CMovement2Scroll options;
        options.SetLastMTS(c.moved, c.setAt);
        EXPECT_EQ(options.LastMTSMoved(c.now), c.bounce) << c.setAt << " -> " << c.now;
    }
}

TEST(Movement2Scroll, CopyTakesOptionsAndNoMovementActionButNotRunTimeState)
{
    CMovement2Scroll source(ACTION_MTS_INVERTED_STICKY_LOCK_AXIS_OLD);
    source.SetSensitivityX(11);
    source.SetKeys(L"{WAIT}");
    source.SetLaunchApp(L"calc.exe");
    source.SetMouseButton(XRight);
    source.IncButtonUpCount();
    source.SetLastMTS(true, 5000);

    CMovement2Scroll target;
    target.SetMouseButton(Middle);
    target.Copy(&source);
    EXPECT_TRUE(target.IsSticky());
    EXPECT_EQ(target.getSensitivityX(), 11);
    EXPECT_STREQ(target.GetKeys(), L"{WAIT}");
    EXPECT_NE(target.GetKeys(), source.GetKeys());
    EXPECT_STREQ(target.GetLaunchApp(), L"calc.exe");
    EXPECT_EQ(target.GetMouseButton(), Middle);
    EXPECT_EQ(target.GetButtonUpCount(), 0);
    EXPECT_FALSE(target.LastMTSMoved(5001));

    target.Copy(nullptr);
    EXPECT_EQ(target.getSensitivityX(), 11);

    CMovement2Scroll constructed(source);
    EXPECT_EQ(constructed.GetMouseButton(), NoButton);
    EXPECT_STREQ(constructed.GetLaunchApp(), L"calc.exe");
}

TEST(Movement2Scroll, TheNoMovementActionTravelsThroughAnActionRecord)
{
    std::unique_ptr<CActionData> record(
        CActionData::KeyAction(L"abc", 77, 8, 250, false, false, true, true, L"ignored"));
    CMovement2Scroll options;
    options.SetActionData(record.get());
    std::unique_ptr<CActionData> back(options.GetActionData());
    EXPECT_EQ(back->Action(), ACTION_SIMULATED_KEYS);
    EXPECT_STREQ(back->GetKeys(), L"abc");
    EXPECT_EQ(back->GetKeystrokesWaitHoldTime(0), 77);
    EXPECT_EQ(back->KeyAction(), 8);
    EXPECT_EQ(back->KeyRepeat(), 250);
    EXPECT_FALSE(back->Active());
    EXPECT_FALSE(back->BlockMouse());
    EXPECT_TRUE(back->BlockMouseActive());
    EXPECT_TRUE(back->RandomiseDelay());
    EXPECT_EQ(back->GetDescription(), nullptr);
}

TEST(Movement2Scroll, TheMtsElementRoundTripsEveryOption)
{
    CMovement2Scroll source(ACTION_MTS_INVERTED_STICKY_LOCK_AXIS_OLD);
    source.SetStickyBlock(true);
    source.SetBlockMouse(false);
    source.SetSensitivityX(3);
    source.SetSensitivityY(40);
    std::unique_ptr<CActionData> app(CActionData::AppAction(L"C:\\Tools\\x.exe"));
    source.SetActionData(app.get());

    pugi::xml_document doc;
    source.Save(doc.append_child(L"mts"));
    EXPECT_STREQ(doc.child(L"mts").first_attribute().name(), L"Lock");
    EXPECT_STREQ(doc.child(L"mts").attribute(L"keys").value(), L"");

    CMovement2Scroll loaded;
    EXPECT_TRUE(loaded.Load(doc.child(L"mts"), 10));
    EXPECT_EQ(loaded.GetAxisLocked(), 1);
    EXPECT_TRUE(loaded.IsSticky());
    EXPECT_TRUE(loaded.IsStickyBlock());
    EXPECT_FALSE(loaded.IsButtonBlocked());
    EXPECT_TRUE(loaded.InvertVertical());
    EXPECT_TRUE(loaded.InvertHorizontal());
    EXPECT_EQ(loaded.getSensitivityX(), 3);
    EXPECT_EQ(loaded.getSensitivityY(), 40);
    EXPECT_EQ(loaded.GetNoMovementAction(), ACTION_RUN_APPLICATION);
    EXPECT_STREQ(loaded.GetLaunchApp(), L"C:\\Tools\\x.exe");
}

TEST(Movement2Scroll, MissingAttributesKeepWhatTheObjectHad)
{
    pugi::xml_document doc;
    pugi::xml_node element = ParseElement(doc, L"<mts SensitivityY='7'/>");
    CMovement2Scroll options;
    options.SetSensitivityX(13);
    options.SetSticky(true);
    options.SetAxisLock(2);
    EXPECT_TRUE(options.Load(element, 10));
    EXPECT_EQ(options.getSensitivityX(), 13);
    EXPECT_EQ(options.getSensitivityY(), 7);
    EXPECT_TRUE(options.IsSticky());
    EXPECT_EQ(options.GetAxisLocked(), 2);
}

TEST(Movement2Scroll, KeystrokesOfTheNoMovementActionAreReadOnlyWithTheirKeys)
{
    pugi::xml_document doc;
    CMovement2Scroll withKeys;
    withKeys.Load(ParseElement(doc, L"<mts NoMovementAction='28' keys='ab' active='false'/>"), 10);
    std::unique_ptr<CActionData> record(withKeys.GetActionData());
    EXPECT_STREQ(record->GetKeys(), L"ab");
    EXPECT_EQ(record->KeyAction(), 0);
    EXPECT_FALSE(record->Active());
    EXPECT_TRUE(record->BlockMouse());
    EXPECT_EQ(record->GetKeystrokesWaitHoldTime(0), 20);

    CMovement2Scroll withoutKeys;
    withoutKeys.Load(ParseElement(doc, L"<mts NoMovementAction='28' active='false'/>"), 10);
    record.reset(withoutKeys.GetActionData());
    EXPECT_EQ(record->Action(), ACTION_SIMULATED_KEYS);
    EXPECT_EQ(record->GetKeys(), nullptr);
    EXPECT_TRUE(record->Active());
}

TEST(Movement2Scroll, OutOfRangeValuesFromAFileAreReplacedByDefaults)
{
    pugi::xml_document doc;
    CMovement2Scroll options;
    options.Load(ParseElement(doc, L"<mts Lock='9' SensitivityX='0' SensitivityY='-4' NoMovementAction='500'"
                                   L" keys='x' keyaction='12' keyrepeat='-1'/>"),
                 10);
    EXPECT_EQ(options.GetAxisLocked(), 0);
    EXPECT_EQ(options.getSensitivityX(), 5);
    EXPECT_EQ(options.getSensitivityY(), 5);
    EXPECT_EQ(options.GetNoMovementAction(), ACTION_DISABLE);

    options.Load(ParseElement(doc, L"<mts NoMovementAction='28' keys='x' keyaction='12' keyrepeat='-1'/>"), 10);
    std::unique_ptr<CActionData> record(options.GetActionData());
    EXPECT_EQ(record->KeyAction(), 0);
    EXPECT_EQ(record->KeyRepeat(), 0);
}
