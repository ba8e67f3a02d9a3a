#include <gtest/gtest.h>

#include "ApplicationSettings.h"
#include "MouseInfo.h"
#include "ProfileRules.h"
#include "Settings.h"

TEST(ProfileRules, TwoProfilesForOneTargetAreRefusedUnlessOneIsLimitedToAnArea)
{
    const ProfileIdentity existing{L"Notepad.exe", 15, 1, false};
    EXPECT_TRUE(IsDuplicateProfile(existing, {L"notepad.EXE", 15, 1, false}, false)) << "letter case does not count";
    EXPECT_FALSE(IsDuplicateProfile(existing, {L"notepad.exe", 16, 1, true}, false)) << "an area profile may share";
    EXPECT_FALSE(IsDuplicateProfile(existing, {L"wordpad.exe", 15, 1, false}, false));
    EXPECT_FALSE(IsDuplicateProfile({L"", 15, 1, false}, {L"", 15, 1, false}, false)) << "no key matches nothing";

    // Window profiles: regions and match types must both overlap.
    const ProfileIdentity window{L"W2:app.exe \\;| Cls \\;| *", 1, 1, false};
    const ProfileIdentity overlapping{L"w2:APP.exe \\;| cls \\;| *", 3, 1, false};
    ASSERT_TRUE(IsDuplicateProfile(window, overlapping, true));
    EXPECT_STREQ(DuplicateEditMessage(window, overlapping, true),
                 L"The specified profile already exists.\nYou can not add two profile entries for the same "
                 L"application/window/match type with overlapping regions.");
    EXPECT_FALSE(IsDuplicateProfile(window, {overlapping.fullName, 3, 2, false}, true)) << "window vs parent window";
    EXPECT_TRUE(IsDuplicateProfile(window, {overlapping.fullName, 3, 2, false}, false));
    EXPECT_FALSE(IsDuplicateProfile(window, {overlapping.fullName, 2, 1, false}, true)) << "other quarters";
    EXPECT_STREQ(DuplicateEditMessage(existing, {L"notepad.exe", 15, 1, false}, false),
                 L"The specified profile already exists.\nYou can not add two profile entries for the same "
                 L"application/window/region.");
}

TEST(ProfileRules, AWindowProfileKeyIsTheProcessAloneWithoutCaptionClassOrParentClass)
{
    EXPECT_EQ(ComposeWindowProfileKey(L"", L"notepad.exe", L"", L""), L"notepad.exe");
    EXPECT_EQ(ComposeWindowProfileKey(L"", L"notepad.exe", L"Notepad", L""), L"W2:notepad.exe \\;| Notepad \\;| *");
    EXPECT_EQ(ComposeWindowProfileKey(L"Title", L"", L"", L""), L"W3:Title \\;| * \\;| * \\;| *");
}

TEST(ProfileRules, TheEnginesActiveProfileIsFoundInTheDialogsCopyByValue)
{
    CSettings mine(false, CMouseInfo());
    CSettings engine(false, CMouseInfo());
    CApplicationSettings listed(&mine, false, -1);
    CApplicationSettings active(&engine, false, -1);
    for (CApplicationSettings* profile : {&listed, &active})
    {
        profile->SetApplication(L"brmpprobe.exe");
        profile->SetDescription(L"Probe");
    }
    EXPECT_TRUE(IsSameProfileByValue(listed, active));

    active.SetApplication(L"BRMPPROBE.exe");
    EXPECT_FALSE(IsSameProfileByValue(listed, active)) << "the engine's key is compared exactly";
    active.SetApplication(L"brmpprobe.exe");

    active.SetDescription(L"");
    EXPECT_FALSE(IsSameProfileByValue(listed, active)) << "only one of them has a description";
    active.SetDescription(L"Probe");

    active.SetMatchType(2);
    EXPECT_FALSE(IsSameProfileByValue(listed, active)) << "profiles of one window may differ by their match type";
    active.SetMatchType(listed.GetMatchType());

    listed.SetUseWindowArea(true);
    active.SetUseWindowArea(true);
    listed.SetWindowArea(RECT{0, 0, 10, 10});
    active.SetWindowArea(RECT{0, 0, 10, 11});
    EXPECT_FALSE(IsSameProfileByValue(listed, active)) << "area profiles also match by their area";
    active.SetWindowArea(RECT{0, 0, 10, 10});
    EXPECT_TRUE(IsSameProfileByValue(listed, active));
}
