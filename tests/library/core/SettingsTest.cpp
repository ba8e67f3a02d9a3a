#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "ApplicationSettings.h"
#include "Settings.h"
#include "SettingsOptionValues.h"

namespace
{
    CApplicationSettings* NewProfile(CSettings& settings, const wchar_t* key)
    {
        auto* profile = new CApplicationSettings(&settings, false, -1);
        profile->SetApplication(key);
        return profile;
    }

    bool Contains(const std::list<CApplicationSettings*>& list, const CApplicationSettings* profile)
    {
        return std::find(list.begin(), list.end(), profile) != list.end();
    }

    // Every list entry is a profile of the vector.
    void ExpectListsInStep(CSettings& settings)
    {
        for (auto* list : {settings.GetApplications(), settings.GetCustomApplications()})
        {
            for (CApplicationSettings* profile : *list)
            {
                bool found = false;
                for (int i = 0; i < settings.GetApplicationCount(); ++i)
                    found = found || settings.GetApplication(i) == profile;
                EXPECT_TRUE(found) << "a list points at a profile the settings do not own";
            }
        }
    }
}

TEST(Settings, EveryOptionIsCopied)
{
    CSettings original(false, CMouseInfo(6, 10, 1));
    settingsoptions::GiveEveryOptionAValueOfItsOwn(original);

    const CSettings copied(original);
    settingsoptions::ExpectEveryOptionEqual(original, copied, "copy");
    EXPECT_EQ(copied.m_StartupMouseInfo.EnhancePointerPrecision(), original.m_StartupMouseInfo.EnhancePointerPrecision());

    CSettings assigned(false, CMouseInfo(0, 0, 0));
    assigned = original;
    settingsoptions::ExpectEveryOptionEqual(original, assigned, "assignment");

    // What a reload parses into starts from the options in force.
    CSettings fresh(false, CMouseInfo(0, 0, 0));
    fresh.CopyOptionsFrom(original);
    settingsoptions::ExpectEveryOptionEqual(original, fresh, "options only");
    EXPECT_EQ(fresh.GetApplicationCount(), 0);
}

TEST(Settings, ANewObjectHoldsTheDefaults)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    EXPECT_EQ(settings.MaxLayers(), 2);
    ASSERT_NE(settings.GetDefaultApp(), nullptr);
    EXPECT_STREQ(settings.GetDefaultApp()->GetFullName(), L"Default");
    EXPECT_TRUE(settings.GetDefaultApp()->IsDefault());
    EXPECT_EQ(settings.GetApplicationCount(), 0);
    EXPECT_TRUE(settings.GetApplications()->empty());
    EXPECT_TRUE(settings.GetCustomApplications()->empty());
    for (int i = 0; i < HK_Count; ++i)
        EXPECT_NE(settings.GetHotKeys()->GetHotkey(static_cast<GlobalHotkeys>(i)), nullptr);
    for (int i = 0; i < MK_Count; ++i)
        EXPECT_NE(settings.GetLayerModifierKeys()->GetHotkey(static_cast<ModifierKeys>(i)), nullptr);
    EXPECT_EQ(settings.get_MouseJigglerTickTimeout(), 0u);
    EXPECT_EQ(settings.GetLanguage(), nullptr);
    EXPECT_EQ(settings.GetFilename(), nullptr);

    const std::wstring url = settings.get_SearchURL();
    EXPECT_EQ(url.rfind(L"https://", 0), 0u);
    EXPECT_NE(url.find(L"/search"), std::wstring::npos);
    EXPECT_EQ(url.substr(url.size() - 2), L"q=");
}

TEST(Settings, TheStartupMouseStateAndQuillonFlagCarryIn)
{
    CSettings withPrecision(true, CMouseInfo(6, 10, 1));
    EXPECT_TRUE(withPrecision.m_bEnhancePointerPrecision);
    EXPECT_TRUE(withPrecision.m_bQuillon);
    EXPECT_TRUE(withPrecision.m_bQuillonForced);
    CSettings without(false, CMouseInfo(0, 0, 0));
    EXPECT_FALSE(without.m_bEnhancePointerPrecision);
}

TEST(Settings, WheelPageScrollReadsAsThreeLines)
{
    EXPECT_EQ(CSettings::WheelScrollLinesFromSystem(-1), 3);
    EXPECT_EQ(CSettings::WheelScrollLinesFromSystem(static_cast<int>(WHEEL_PAGESCROLL)), 3);
    EXPECT_EQ(CSettings::WheelScrollLinesFromSystem(5), 5);
}

TEST(Settings, ProfilesByIndexAndByName)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    CApplicationSettings* notepad = NewProfile(settings, L"Notepad.exe");
    CApplicationSettings* window = NewProfile(settings, L"W2:a.exe \\;| Edit \\;| *");
    ASSERT_TRUE(settings.AddApplication(notepad));
    ASSERT_TRUE(settings.AddApplication(window));
    EXPECT_FALSE(settings.AddApplication(nullptr));
    EXPECT_EQ(settings.GetApplicationCount(), 2);

    EXPECT_EQ(settings.GetApplication(0), notepad);
    EXPECT_EQ(settings.GetApplication(1), window);
    EXPECT_THROW(settings.GetApplication(-1), std::out_of_range);
    EXPECT_THROW(settings.GetApplication(2), std::out_of_range);
    EXPECT_THROW(settings.GetApplication(-2147483647 - 1), std::out_of_range);

    // By the key exactly as given, case-sensitively.
    EXPECT_EQ(settings.GetApplication(L"Notepad.exe"), notepad);
    EXPECT_EQ(settings.GetApplication(L"notepad.exe"), nullptr);
    EXPECT_EQ(settings.GetApplication(L"W2:a.exe \\;| Edit \\;| *"), window);
    EXPECT_EQ(settings.GetApplication(L""), nullptr);
    EXPECT_EQ(settings.GetApplication(static_cast<const wchar_t*>(nullptr)), nullptr);
}

TEST(Settings, AddingAndRemovingKeepsTheListsInStep)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    CApplicationSettings* normal = NewProfile(settings, L"a.exe");
    CApplicationSettings* custom = NewProfile(settings, L"W2:b.exe \\;| Edit \\;| *");
    settings.AddApplication(normal);
    settings.AddApplication(custom);
    EXPECT_TRUE(Contains(*settings.GetApplications(), normal));
    EXPECT_TRUE(Contains(*settings.GetCustomApplications(), custom));
    EXPECT_FALSE(Contains(*settings.GetApplications(), custom));

    // Removing hands the profile back: no list may keep it once the caller deletes it.
    EXPECT_TRUE(settings.RemoveApplication(custom));
    EXPECT_FALSE(Contains(*settings.GetCustomApplications(), custom));
    ExpectListsInStep(settings);
    delete custom;
    EXPECT_FALSE(settings.RemoveApplication(custom)) << "no longer there";
    EXPECT_FALSE(settings.RemoveApplication(nullptr));

    // A profile listed twice: only the first entry goes.
    settings.AddApplication(normal);
    EXPECT_EQ(settings.GetApplicationCount(), 2);
    EXPECT_TRUE(settings.RemoveApplication(normal));
    EXPECT_EQ(settings.GetApplicationCount(), 1);
    EXPECT_EQ(settings.GetApplication(0), normal);
    EXPECT_TRUE(Contains(*settings.GetApplications(), normal)) << "still owned once, still listed";
    ExpectListsInStep(settings);
}

TEST(Settings, RemovingKeepsTheOrderOfTheRest)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    CApplicationSettings* p[4];
    for (int i = 0; i < 4; ++i)
    {
        p[i] = NewProfile(settings, (L"p" + std::to_wstring(i) + L".exe").c_str());
        settings.AddApplication(p[i]);
    }
    ASSERT_TRUE(settings.RemoveApplication(p[1]));
    delete p[1];
    ASSERT_EQ(settings.GetApplicationCount(), 3);
    EXPECT_EQ(settings.GetApplication(0), p[0]);
    EXPECT_EQ(settings.GetApplication(1), p[2]);
    EXPECT_EQ(settings.GetApplication(2), p[3]);
    const std::list<CApplicationSettings*> expected = {p[0], p[2], p[3]};
    EXPECT_EQ(*settings.GetApplications(), expected);
}

TEST(Settings, ClearingHandsEveryProfileBackAndLeavesNoDanglingListEntry)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    CApplicationSettings* a = NewProfile(settings, L"a.exe");
    CApplicationSettings* b = NewProfile(settings, L"W3:Cap \\;| b.exe \\;| * \\;| *");
    settings.AddApplication(a);
    settings.AddApplication(b);
    settings.ClearApplications();
    EXPECT_EQ(settings.GetApplicationCount(), 0);
    EXPECT_EQ(settings.GetApplication(0), nullptr) << "no vector: null, not a throw";
    EXPECT_TRUE(settings.GetApplications()->empty());
    EXPECT_TRUE(settings.GetCustomApplications()->empty());
    delete a;
    delete b;

    CApplicationSettings* c = NewProfile(settings, L"c.exe");
    EXPECT_TRUE(settings.AddApplication(c)) << "a new vector starts";
    EXPECT_EQ(settings.GetApplicationCount(), 1);
    ExpectListsInStep(settings);
}

TEST(Settings, SettingTheDefaultProfileDeletesOnlyADifferentOne)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    CApplicationSettings* current = settings.GetDefaultApp();
    current->SetLayerName(L"kept", 0);
    settings.SetDefaultApp(current);
    EXPECT_EQ(settings.GetDefaultApp(), current);
    EXPECT_STREQ(settings.GetDefaultApp()->GetLayerName(0), L"kept");

    auto* replacement = new CApplicationSettings(&settings, true, 0);
    settings.SetDefaultApp(replacement);
    EXPECT_EQ(settings.GetDefaultApp(), replacement);
}

TEST(Settings, SettersReportChangesKeepASearchAddressAndNoSettingsAnswerWithTheDefaults)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    EXPECT_FALSE(settings.SetMaxLayers(2));
    EXPECT_TRUE(settings.SetMaxLayers(7));

    const std::wstring before = settings.get_SearchURL();
    settings.SetSearchURL(L"");
    EXPECT_EQ(settings.get_SearchURL(), before);

    EXPECT_EQ(CSettings::get_DebounceTime(nullptr), 50);
    EXPECT_FALSE(CSettings::get_EnableDebounce(nullptr));
    EXPECT_FALSE(CSettings::get_DebounceFromUp(nullptr));
    EXPECT_FALSE(CSettings::get_ResetStickyOnAnyButton(nullptr));
    EXPECT_FALSE(CSettings::get_ResetStickyOnAnyKey(nullptr));
    EXPECT_FALSE(CSettings::get_ResetStickyOnLayerChange(nullptr));
}

TEST(Settings, TheJigglerPeriodIsInMilliseconds)
{
    CSettings settings(false, CMouseInfo(0, 0, 0));
    settings.m_uMouseJigglerTimeout = 30;
    EXPECT_EQ(settings.get_MouseJigglerTickTimeout(), 0u) << "off";
    settings.m_bMouseJiggler = true;
    EXPECT_EQ(settings.get_MouseJigglerTickTimeout(), 1800000u);
    settings.m_uMouseJigglerTimeout = 0xFFFFFFFFu;
    EXPECT_EQ(settings.get_MouseJigglerTickTimeout(), 0xFFFFFFFFul) << "saturates, never wraps to a short period";
}

TEST(Settings, ACopyIsDeepAndItsListsPointAtItsOwnProfiles)
{
    auto original = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
    original->m_nDebounceTime = 123;
    original->SetLanguage(L"lang.brmplp");
    original->GetHotKeys()->GetHotkey(HK_Layer1)->SetVirtualKey(0x31);
    original->GetDefaultApp()->SetActions(Left, 0, ACTION_COPY);
    original->AddApplication(NewProfile(*original, L"a.exe"));
    original->AddApplication(NewProfile(*original, L"W2:b.exe \\;| Edit \\;| *"));

    CSettings copy(*original);
    const CApplicationSettings* originalFirst = original->GetApplication(0);
    original.reset();   // everything the copy holds must survive the original

    EXPECT_EQ(copy.m_nDebounceTime, 123);
    EXPECT_STREQ(copy.GetLanguage(), L"lang.brmplp");
    EXPECT_EQ(copy.GetHotKeys()->GetHotkey(HK_Layer1)->GetVirtualKey(), 0x31);
    ASSERT_NE(copy.GetDefaultApp(), nullptr);
    EXPECT_TRUE(copy.GetDefaultApp()->IsDefault());
    EXPECT_EQ(copy.GetDefaultApp()->GetActions(Left, 0), ACTION_COPY);
    ASSERT_EQ(copy.GetApplicationCount(), 2);
    EXPECT_NE(copy.GetApplication(0), originalFirst);
    EXPECT_STREQ(copy.GetApplication(0)->GetApplication(), L"a.exe");
    EXPECT_EQ(copy.GetApplication(0)->Settings(), &copy);
    ASSERT_EQ(copy.GetApplications()->size(), 1u);
    EXPECT_EQ(copy.GetApplications()->front(), copy.GetApplication(0));
    ASSERT_EQ(copy.GetCustomApplications()->size(), 1u);
    EXPECT_EQ(copy.GetCustomApplications()->front(), copy.GetApplication(1));

    CSettings assigned(false, CMouseInfo(0, 0, 0));
    assigned.AddApplication(NewProfile(assigned, L"old.exe"));
    assigned = copy;
    ASSERT_EQ(assigned.GetApplicationCount(), 2);
    EXPECT_STREQ(assigned.GetApplication(1)->GetClass(), L"Edit");
    ExpectListsInStep(assigned);
    assigned = assigned;   // self-assignment keeps everything
    EXPECT_EQ(assigned.GetApplicationCount(), 2);
}
