#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ActionData.h"
#include "Actions.h"
#include "Chords.h"
#include "Movement2Scroll.h"
#include "TimedClicks.h"

TEST(ActionCodes, LookupsOutsideTheirTablesGiveEmptyTextsNotGarbage)
{
    for (int bad : {-1, 140, 100000, -100000})
    {
        EXPECT_STREQ(GetActionName(bad), L"") << bad;
        EXPECT_STREQ(GetButtonName(bad), L"") << bad;
        EXPECT_STREQ(GetButtonName(bad, true), L"") << bad;
        EXPECT_STREQ(GetKeyModeSuffix(bad), L"") << bad;
    }
    EXPECT_STREQ(GetButtonName(9), L"");
    EXPECT_STREQ(GetKeyModeSuffix(9), L"");
}

TEST(ActionCodes, ButtonNamesFollowTheModeOfTheSettings)
{
    const wchar_t* normal[] = {L"Left", L"Right", L"Middle", L"XLeft", L"XRight",
                               L"TiltLeft", L"TiltRight", L"WheelUp", L"WheelDown"};
    const wchar_t* quillon[] = {L"Left", L"Right", L"Middle", L"XLeft", L"XRight",
                                L"QuillonMiddle", L"", L"WheelUp", L"WheelDown"};
    for (int button = 0; button < ButtonCount; ++button)
    {
        EXPECT_STREQ(GetButtonName(button, false), normal[button]);
        EXPECT_STREQ(GetButtonName(button, true), quillon[button]);
    }
    EXPECT_STREQ(GetKeyModeSuffix(KEYMODE_DURING), L"(during)");
    EXPECT_STREQ(GetKeyModeSuffix(KEYMODE_PRESSED_RELEASED), L"(pressed & released)");
}

TEST(ActionData, ANewNoChangeRecordHasNoTextsNoListsAndTheDefaultFlags)
{
    std::unique_ptr<CActionData> record(CActionData::NewAction(ACTION_NO_CHANGE));
    EXPECT_EQ(record->Action(), ACTION_NO_CHANGE);
    EXPECT_EQ(record->GetKeys(), nullptr);
    EXPECT_EQ(record->GetApplication(), nullptr);
    EXPECT_EQ(record->GetDescription(), nullptr);
    EXPECT_EQ(record->GetChords(), nullptr);
    EXPECT_EQ(record->GetTimedClicks(), nullptr);
    EXPECT_EQ(record->GetMovement2Scroll(), nullptr);
    EXPECT_TRUE(record->Active());
    EXPECT_TRUE(record->BlockMouse());
    EXPECT_FALSE(record->BlockMouseActive());
    EXPECT_FALSE(record->RandomiseDelay());
    EXPECT_EQ(record->KeyAction(), 0);
    EXPECT_EQ(record->KeyRepeat(), 0);
    EXPECT_EQ(record->GetKeystrokesWaitHoldTime(7), 7);
}

TEST(ActionData, FactoriesCopyTheirTextsAndKeepNullAsNull)
{
    wchar_t keys[] = L"{CTRL}c";
    std::unique_ptr<CActionData> custom(CActionData::CustomAction(
        ACTION_SIMULATED_KEYS, keys, 120, 5, 33, false, false, true, true, nullptr, nullptr, nullptr, nullptr, nullptr));
    keys[0] = L'X';
    EXPECT_STREQ(custom->GetKeys(), L"{CTRL}c");
    EXPECT_EQ(custom->GetDescription(), nullptr);
    EXPECT_EQ(custom->GetApplication(), nullptr);
    EXPECT_EQ(custom->GetKeystrokesWaitHoldTime(10), 130);
    EXPECT_EQ(custom->KeyAction(), 5);
    EXPECT_EQ(custom->KeyRepeat(), 33);
    EXPECT_FALSE(custom->Active());
    EXPECT_FALSE(custom->BlockMouse());
    EXPECT_TRUE(custom->BlockMouseActive());
    EXPECT_TRUE(custom->RandomiseDelay());

    std::unique_ptr<CActionData> key(CActionData::KeyAction(L"abc", 0, 2, 0, true, true, false, false, L"type"));
    EXPECT_EQ(key->Action(), ACTION_SIMULATED_KEYS);
    EXPECT_STREQ(key->GetDescription(), L"type");
    std::unique_ptr<CActionData> app(CActionData::AppAction(L"notepad.exe"));
    EXPECT_EQ(app->Action(), ACTION_RUN_APPLICATION);
    EXPECT_STREQ(app->GetApplication(), L"notepad.exe");
    std::unique_ptr<CActionData> folder(CActionData::OpenFolderAction(L"C:\\Temp"));
    EXPECT_EQ(folder->Action(), ACTION_OPEN_FOLDER);
    EXPECT_STREQ(folder->GetApplication(), L"C:\\Temp");
}

TEST(ActionData, ChordAndTimedClickRecordsHoldCopiesThatOutliveTheRecord)
{
    CBRMPChords chords;
    chords.SetDescription(L"mine");
    chords.GetChord(Right)->SetAction(ACTION_COPY);
    CBRMPTimedClicks clicks;
    clicks.SetTime(1, 900);

    CActionData* chorded = CActionData::ChordedAction(chords);
    CActionData* held = CActionData::TimedClicksAction(clicks);
    EXPECT_EQ(chorded->Action(), ACTION_BUTTON_CHORDING);
    EXPECT_EQ(held->Action(), ACTION_BUTTON_HELD);
    std::unique_ptr<CBRMPChords> chordCopy(chorded->GetChords());
    std::unique_ptr<CBRMPTimedClicks> clickCopy(held->GetTimedClicks());
    ASSERT_NE(chordCopy.get(), &chords);
    ASSERT_NE(clickCopy.get(), &clicks);
    delete chorded;
    delete held;

    EXPECT_STREQ(chordCopy->GetDescription(), L"mine");
    EXPECT_NE(chordCopy->GetDescription(), chords.GetDescription());
    EXPECT_EQ(chordCopy->GetChord(Right)->GetAction(), ACTION_COPY);
    EXPECT_EQ(clickCopy->GetTime(1), 900);
}

TEST(ActionData, DeletingARecordLeavesTheObjectsItPointsAtIntact)
{
    CBRMPChords chords;
    CBRMPTimedClicks clicks;
    CMovement2Scroll options;
    options.SetSensitivityX(12);
    CActionData* record = CActionData::CustomAction(ACTION_MOVEMENT_TO_SCROLL, nullptr, 0, 0, 0, true, true, false,
                                                    false, L"d", nullptr, &chords, &options, &clicks);
    EXPECT_FALSE(record->OwnsMovement2Scroll());

    CMovement2Scroll changed;
    changed.SetSensitivityY(9);
    record->SetMovement2Scroll(&changed);
    EXPECT_EQ(record->GetMovement2Scroll(), &options);
    EXPECT_EQ(options.getSensitivityY(), 9) << "a borrowed object is written through";
    delete record;

    options.SetKeys(L"still alive");
    EXPECT_STREQ(options.GetKeys(), L"still alive");
    EXPECT_EQ(options.getSensitivityY(), 9);
    EXPECT_EQ(chords.UnblockTime(), 750);
    EXPECT_EQ(clicks.GetTime(3), 1500);
}

TEST(ActionData, ARecordWithoutOptionsMakesItsOwnCopy)
{
    std::unique_ptr<CActionData> record(CActionData::NewAction(ACTION_MOVEMENT_TO_SCROLL));
    CMovement2Scroll source;
    source.SetAxisLock(2);
    record->SetMovement2Scroll(&source);
    ASSERT_NE(record->GetMovement2Scroll(), nullptr);
    EXPECT_NE(record->GetMovement2Scroll(), &source);
    EXPECT_TRUE(record->OwnsMovement2Scroll());
    EXPECT_EQ(record->GetMovement2Scroll()->GetAxisLocked(), 2);
    source.SetAxisLock(3);
    EXPECT_EQ(record->GetMovement2Scroll()->GetAxisLocked(), 2);

    std::unique_ptr<CActionData> fresh(CActionData::NewAction(ACTION_MOVEMENT_TO_SCROLL));
    fresh->SetMovement2Scroll(nullptr);
    ASSERT_NE(fresh->GetMovement2Scroll(), nullptr);
    EXPECT_EQ(fresh->GetMovement2Scroll()->getSensitivityX(), 5);
}

TEST(ActionData, ACopyIsDeepAndIndependentOfItsSource)
{
    CBRMPChords slotChords;
    CMovement2Scroll slotOptions;
    std::unique_ptr<CActionData> borrowed(CActionData::CustomAction(
        ACTION_SIMULATED_KEYS, L"keys", 5, 1, 2, true, false, true, false, L"desc", L"app", &slotChords, &slotOptions,
        nullptr));
    std::unique_ptr<CActionData> owning(CActionData::NewAction(ACTION_MOVEMENT_TO_SCROLL));
    owning->SetMovement2Scroll(&slotOptions);

    auto copy = std::make_unique<CActionData>(*borrowed);
    EXPECT_STREQ(copy->GetKeys(), L"keys");
    EXPECT_NE(copy->GetKeys(), borrowed->GetKeys());
    EXPECT_NE(copy->GetDescription(), borrowed->GetDescription());
    EXPECT_NE(copy->GetApplication(), borrowed->GetApplication());
    EXPECT_EQ(copy->GetChords(), &slotChords);
    EXPECT_EQ(copy->GetMovement2Scroll(), &slotOptions);
    borrowed.reset();
    EXPECT_STREQ(copy->GetDescription(), L"desc");

    auto ownCopy = std::make_unique<CActionData>(*owning);
    EXPECT_TRUE(ownCopy->OwnsMovement2Scroll());
    EXPECT_NE(ownCopy->GetMovement2Scroll(), owning->GetMovement2Scroll());
    owning.reset();
    EXPECT_EQ(ownCopy->GetMovement2Scroll()->getSensitivityX(), 5);

    *copy = *ownCopy;
    EXPECT_EQ(copy->GetKeys(), nullptr);
    EXPECT_TRUE(copy->OwnsMovement2Scroll());
    EXPECT_NE(copy->GetMovement2Scroll(), ownCopy->GetMovement2Scroll());
}

TEST(ActionData, ClearForgetsListsAndResetsValuesButKeepsTheCode)
{
    CBRMPChords chords;
    CMovement2Scroll options;
    std::unique_ptr<CActionData> record(CActionData::CustomAction(
        ACTION_SIMULATED_KEYS, L"k", 50, 3, 9, true, false, true, true, L"d", L"a", &chords, &options, nullptr));
    record->Clear();
    EXPECT_EQ(record->Action(), ACTION_SIMULATED_KEYS);
    EXPECT_EQ(record->GetKeys(), nullptr);
    EXPECT_EQ(record->GetApplication(), nullptr);
    EXPECT_EQ(record->GetDescription(), nullptr);
    EXPECT_EQ(record->GetChords(), nullptr);
    EXPECT_EQ(record->GetMovement2Scroll(), nullptr);
    EXPECT_EQ(record->KeyAction(), 0);
    EXPECT_EQ(record->KeyRepeat(), 0);
    EXPECT_EQ(record->GetKeystrokesWaitHoldTime(0), 0);
    EXPECT_FALSE(record->Active());
    EXPECT_TRUE(record->BlockMouse());
    EXPECT_FALSE(record->BlockMouseActive());
    EXPECT_FALSE(record->RandomiseDelay());
    EXPECT_EQ(options.getSensitivityX(), 5);

    std::unique_ptr<CActionData> owning(CActionData::NewAction(ACTION_MOVEMENT_TO_SCROLL));
    owning->SetMovement2Scroll(&options);
    owning->Clear();
    EXPECT_EQ(owning->GetMovement2Scroll(), nullptr);
    owning->SetMovement2Scroll(&options);
    EXPECT_NE(owning->GetMovement2Scroll(), nullptr);
}
