// Loading the settings file into the running engine: the questions about a file
// that cannot be parsed, re-selecting the profile in force, resets before the
// old profiles go, and reloads while the hooks run.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "Control.h"
#include "EngineResets.h"
#include "EngineTestSupport.h"
#include "Folders.h"
#include "Globals.h"
#include "Hooks.h"
#include "Layers.h"
#include "MouseInfo.h"
#include "PersistantSettings.h"
#include "Settings.h"
#include "TargetingTestSupport.h"
#include "TempFolder.h"
#include "ThreadLock.h"
#include "TimerThread.h"

using namespace enginetest;

namespace
{
struct Question
{
    UINT type;
    std::wstring text;
};

std::vector<Question> g_questions;
std::vector<int> g_answers;            // answered in order; IDIGNORE/IDNO when they run out
std::vector<UINT> g_exitCodes;
void (*g_beforeAnswer)() = nullptr;

int RecordQuestion(const wchar_t* text, const wchar_t*, UINT type)
{
    g_questions.push_back({type, text});
    if (g_beforeAnswer != nullptr)
        g_beforeAnswer();
    if (g_answers.empty())
        return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDIGNORE;
    const int answer = g_answers.front();
    g_answers.erase(g_answers.begin());
    return answer;
}

void RecordExit(UINT code)
{
    g_exitCodes.push_back(code);
}

const char kBrokenXml[] = "<?xml version=\"1.0\"?>\n<root><version major=\"2\" minor=\"20\" revision=\"5\" /><Layers";

class UpdateSettingsTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        m_key = L"Software\\BrindlemapTest\\UpdateSettings-" + std::to_wstring(::GetCurrentProcessId());
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const std::wstring folder = m_folder.Path();
        ::RegSetValueExW(key, L"SettingsFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
        SetProgramRegistryKeys(m_key.c_str(), m_key.c_str());
        wchar_t path[kMaxPathChars] = L"";
        ASSERT_EQ(GetDefaultSettingsFile(path, kMaxPathChars), 0u);
        m_defaultFile = path;
        ASSERT_EQ(m_defaultFile, m_folder.PathOf(kSettingsFileName));
        m_customFile = m_folder.PathOf(L"custom.xml");

        g_questions.clear();
        g_answers.clear();
        g_exitCodes.clear();
        g_beforeAnswer = nullptr;
        SetSettingsLoadQuestions(RecordQuestion, RecordExit);
        m_firstLoad = g_bFirstXMLLoad;
        g_bFirstXMLLoad = true;
        m_priority = ::GetPriorityClass(::GetCurrentProcess());
    }

    void TearDown() override
    {
        SetSettingsLoadQuestions(nullptr, nullptr);
        g_bFirstXMLLoad = m_firstLoad;
        {
            CThreadLock lock(L"UpdateSettingsTest");
            g_engine.Reset();
            *g_pSettings = CSettings(false, CMouseInfo());
            delete g_engine.pAreaApps;
            g_engine.pAreaApps = nullptr;
        }
        ::SetPriorityClass(::GetCurrentProcess(), m_priority);
        SetProgramRegistryKeys(nullptr, nullptr);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_key.c_str());
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, m_key.c_str());
    }

    // A settings file with the given layer count and application profiles.
    void WriteSettings(const std::wstring& path, int layers, const std::vector<std::wstring>& apps = {},
                       void (*adjust)(CSettings&) = nullptr)
    {
        CSettings settings(false, CMouseInfo());
        settings.m_nLayers = layers;
        int index = 1;
        for (const std::wstring& app : apps)
        {
            auto* profile = new CApplicationSettings(&settings, false, index++);
            profile->SetApplication(app.c_str());
            settings.AddApplication(profile);
        }
        if (adjust != nullptr)
            adjust(settings);
        ::DeleteFileW(path.c_str());
        ASSERT_TRUE(settings.Save(path.c_str()));
    }

    void WriteBroken(const std::wstring& path)
    {
        ASSERT_TRUE(brmptest::WriteFileBytes(path, kBrokenXml));
    }

    brmptest::TempFolder m_folder{L"brmp-update"};
    std::wstring m_key;
    std::wstring m_defaultFile;
    std::wstring m_customFile;
    bool m_firstLoad = true;
    DWORD m_priority = NORMAL_PRIORITY_CLASS;
};

UpdateSettingsTest* g_fixture = nullptr;
}

TEST_F(UpdateSettingsTest, AGoodDefaultFileLoadsAndTheDefaultProfileIsInForce)
{
    WriteSettings(m_defaultFile, 4);
    EXPECT_TRUE(UpdateSettings());
    EXPECT_EQ(MaxLayers(), 4);
    EXPECT_EQ(g_engine.pCurrentApp, g_pSettings->GetDefaultApp());
    EXPECT_TRUE(g_questions.empty());
    EXPECT_FALSE(g_bFirstXMLLoad) << "questions are asked during the first load only";
}

TEST_F(UpdateSettingsTest, ABrokenCustomFileOnTheFirstLoadAsksWhetherToLoadTheDefaultFile)
{
    struct Case
    {
        const char* what;
        int answer;
        bool loaded;
        size_t exits;
    } cases[] = {
        {"yes loads the default file", IDYES, true, 0},
        {"no ends the process with code 1", IDNO, false, 1},
    };
    for (const Case& c : cases)
    {
        WriteSettings(m_defaultFile, 3);
        WriteBroken(m_customFile);
        ASSERT_EQ(SetSettingsFile(m_customFile.c_str()), 0u);
        g_bFirstXMLLoad = true;
        g_questions.clear();
        g_exitCodes.clear();
        g_answers = {c.answer};

        EXPECT_EQ(UpdateSettings(), c.loaded) << c.what;
        ASSERT_EQ(g_questions.size(), 1u) << c.what;
        EXPECT_EQ(g_questions[0].type, static_cast<UINT>(MB_ICONERROR | MB_YESNO));
        EXPECT_NE(g_questions[0].text.find(m_customFile), std::wstring::npos) << "the question names the file";
        ASSERT_EQ(g_exitCodes.size(), c.exits) << c.what;
        if (c.exits != 0)
        {
            EXPECT_EQ(g_exitCodes[0], 1u);
        }
        if (c.loaded)
        {
            EXPECT_EQ(MaxLayers(), 3);
        }
    }
}

TEST_F(UpdateSettingsTest, ABrokenDefaultFileCanBeRetriedOrIgnoredAndLaterLoadsAskNothing)
{
    WriteBroken(m_defaultFile);
    // Retry after the user mended the file.
    g_answers = {IDRETRY};
    g_beforeAnswer = [] { g_fixture->WriteSettings(g_fixture->m_defaultFile, 5); };
    g_fixture = this;
    EXPECT_TRUE(UpdateSettings());
    g_beforeAnswer = nullptr;
    ASSERT_EQ(g_questions.size(), 1u);
    EXPECT_EQ(g_questions[0].type, static_cast<UINT>(MB_ICONERROR | MB_ABORTRETRYIGNORE));
    EXPECT_EQ(MaxLayers(), 5);

    // Ignore on a first load: false, and the next broken load asks nothing.
    g_bFirstXMLLoad = true;
    g_questions.clear();
    WriteBroken(m_defaultFile);
    g_answers = {IDIGNORE};
    EXPECT_FALSE(UpdateSettings());
    EXPECT_EQ(g_questions.size(), 1u);
    EXPECT_TRUE(g_exitCodes.empty());
    EXPECT_FALSE(UpdateSettings());
    EXPECT_EQ(g_questions.size(), 1u) << "no dialog after the first load";
    EXPECT_EQ(MaxLayers(), 5) << "a failed reload keeps what was loaded";
    EXPECT_EQ(g_engine.pCurrentApp, g_pSettings->GetDefaultApp()) << "the profile in force is found again";

    // Abort ends the process.
    g_bFirstXMLLoad = true;
    g_answers = {IDABORT};
    EXPECT_FALSE(UpdateSettings());
    ASSERT_EQ(g_exitCodes.size(), 1u);
    EXPECT_EQ(g_exitCodes[0], 1u);
}

TEST_F(UpdateSettingsTest, AReloadReselectsTheApplicationProfileByNameOrNoneWhenItWasRemoved)
{
    WriteSettings(m_defaultFile, 3, {L"notepad.exe", L"calc.exe"});
    ASSERT_TRUE(UpdateSettings());
    CApplicationSettings* calc = g_pSettings->GetApplication(L"calc.exe");
    ASSERT_NE(calc, nullptr);
    g_engine.pCurrentApp = calc;
    const std::wstring fullName = calc->GetFullName() != nullptr ? calc->GetFullName() : L"";

    ASSERT_TRUE(UpdateSettings());
    ASSERT_NE(g_engine.pCurrentApp, nullptr);
    EXPECT_FALSE(g_engine.pCurrentApp->IsDefault());
    EXPECT_EQ(std::wstring(g_engine.pCurrentApp->GetFullName()), fullName);

    WriteSettings(m_defaultFile, 3, {L"notepad.exe"});
    ASSERT_TRUE(UpdateSettings());
    EXPECT_EQ(g_engine.pCurrentApp, nullptr) << "no profile until the next window decision";
}

namespace
{
struct ResetSeen
{
    int calls = 0;
    EngineResetReason reason = EngineResetReason::LayerChange;
    bool lockHeld = false;
    std::wstring profileName;
};
ResetSeen g_reset;

void RecordReset(EngineResetReason reason, POINT)
{
    ++g_reset.calls;
    g_reset.reason = reason;
    g_reset.lockHeld = CThreadLock::IsHeldByCurrentThread();
    // The old profile must still be alive here.
    g_reset.profileName = (g_engine.pCurrentApp != nullptr && g_engine.pCurrentApp->GetFullName() != nullptr) ? g_engine.pCurrentApp->GetFullName() : L"";
}
}

TEST_F(UpdateSettingsTest, StateThatPointsIntoTheProfilesIsResetUnderTheLockBeforeTheyAreFreed)
{
    WriteSettings(m_defaultFile, 3, {L"notepad.exe"});
    ASSERT_TRUE(UpdateSettings());
    g_engine.pCurrentApp = g_pSettings->GetApplication(L"notepad.exe");
    ASSERT_NE(g_engine.pCurrentApp, nullptr);
    const std::wstring name = g_engine.pCurrentApp->GetFullName();

    g_reset = {};
    ASSERT_TRUE(AddEngineReset(RecordReset));
    const bool reloaded = UpdateSettings();
    RemoveEngineReset(RecordReset);

    EXPECT_TRUE(reloaded);
    EXPECT_EQ(g_reset.calls, 1);
    EXPECT_EQ(g_reset.reason, EngineResetReason::SettingsReload);
    EXPECT_TRUE(g_reset.lockHeld);
    EXPECT_EQ(g_reset.profileName, name) << "the reset ran while the old profile was still there";
}

namespace
{
bool g_lockFreeWhileAsking = false;

bool GlobalLockFreeForAnotherThread()
{
    bool taken = false;
    std::thread other([&] {
        taken = CThreadLock::TryEnterCS(L"UpdateSettingsTest other thread");
        if (taken)
            CThreadLock::LeaveCS();
    });
    other.join();
    return taken;
}
}

TEST_F(UpdateSettingsTest, AReloadKeepsTheSettingsObjectAndParsesAndAsksWithoutTheGlobalLock)
{
    WriteSettings(m_defaultFile, 3, {L"notepad.exe"});
    ASSERT_TRUE(UpdateSettings());
    CSettings* const settings = g_pSettings;
    WriteSettings(m_defaultFile, 4, {L"calc.exe"});
    ASSERT_TRUE(UpdateSettings());
    EXPECT_EQ(g_pSettings, settings) << "callers may keep the settings pointer";
    EXPECT_EQ(MaxLayers(), 4);
    EXPECT_EQ(g_pSettings->GetApplication(L"notepad.exe"), nullptr);
    CApplicationSettings* calc = g_pSettings->GetApplication(L"calc.exe");
    ASSERT_NE(calc, nullptr);
    EXPECT_EQ(calc->Settings(), settings) << "a profile knows the settings that own it";
    EXPECT_EQ(g_pSettings->GetDefaultApp()->Settings(), settings);

    // The question about a broken file waits for the user with the lock free.
    g_bFirstXMLLoad = true;
    WriteBroken(m_defaultFile);
    g_lockFreeWhileAsking = false;
    g_beforeAnswer = [] { g_lockFreeWhileAsking = !CThreadLock::IsHeldByCurrentThread() && GlobalLockFreeForAnotherThread(); };
    g_answers = {IDIGNORE};
    EXPECT_FALSE(UpdateSettings());
    g_beforeAnswer = nullptr;
    EXPECT_TRUE(g_lockFreeWhileAsking);
    EXPECT_EQ(MaxLayers(), 4) << "a file that cannot be parsed changes nothing";
    EXPECT_NE(g_pSettings->GetApplication(L"calc.exe"), nullptr);
}

TEST_F(UpdateSettingsTest, AStoredLayerIsRestoredOnlyWithinTheLayersInUse)
{
    WriteSettings(m_defaultFile, 3, {}, [](CSettings& s) { s.m_bPersistLayer = true; });
    CPersistantSettings* saved = g_pPersist;
    CPersistantSettings state(m_folder.PathOf(L"state.brmpps").c_str(), 2, 0, false);
    g_pPersist = &state;
    EXPECT_TRUE(UpdateSettings());
    EXPECT_EQ(GetCurrentLayer(), 2);

    SetCurrentLayer(0, false, false, false);
    state.SetLayer(7);          // a state file from a set-up with more layers
    state.SetDirty(false);
    EXPECT_TRUE(UpdateSettings());
    EXPECT_EQ(GetCurrentLayer(), 0);
    g_pPersist = saved;
}

namespace
{
// The pointer speed as the system would keep it (Wine keeps none).
int g_fakeSpeed = 10;
BOOL WINAPI FakeMouseSpeed(UINT action, UINT param, PVOID data, UINT flags)
{
    if (action == SPI_GETMOUSESPEED)
    {
        *static_cast<int*>(data) = g_fakeSpeed;
        return TRUE;
    }
    if (action == SPI_SETMOUSESPEED)
    {
        g_fakeSpeed = static_cast<int>(reinterpret_cast<INT_PTR>(data));
        return TRUE;
    }
    return ::SystemParametersInfoW(action, param, data, flags);
}

struct SpeedCase
{
    bool allow;
    int speed;
    int expected;
};
SpeedCase g_speedCase;
}

TEST_F(UpdateSettingsTest, WithCursorChangesNotAllowedTheMouseSpeedIsLeftAlone)
{
    CMouseInfo::SetSystemParametersFunction(FakeMouseSpeed);
    const SpeedCase cases[] = {{false, 4, 10}, {true, 4, 4}, {true, 25, 10}, {true, -1, 10}};
    for (const SpeedCase& c : cases)
    {
        g_fakeSpeed = 10;
        g_speedCase = c;
        WriteSettings(m_defaultFile, 2, {}, [](CSettings& s) {
            s.m_bAllowSetSpeed = g_speedCase.allow;
            s.m_nCursorSpeed = g_speedCase.speed;
        });
        EXPECT_TRUE(UpdateSettings());
        EXPECT_EQ(g_fakeSpeed, c.expected) << "allow " << c.allow << " speed " << c.speed;
    }
    CMouseInfo::SetSystemParametersFunction(nullptr);
}

TEST_F(UpdateSettingsTest, AReloadWhileTheHooksRunTakesEffectWithoutReinstallingThem)
{
    WriteSettings(m_defaultFile, 3);
    ASSERT_TRUE(SetMouseHook());
    const HHOOK hook = g_threads.hMouseHook;
    ASSERT_TRUE(UpdateSettings());
    EXPECT_EQ(MaxLayers(), 3);
    WriteSettings(m_defaultFile, 6, {L"notepad.exe"});
    ASSERT_TRUE(UpdateSettings());
    EXPECT_EQ(MaxLayers(), 6);
    EXPECT_NE(g_pSettings->GetApplication(L"notepad.exe"), nullptr);
    EXPECT_EQ(g_threads.hMouseHook, hook);
    EXPECT_TRUE(GetHooked());
    RemoveMouseHook(false);
}

TEST_F(UpdateSettingsTest, TheJigglerTimerIsKilledOnItsOwnThreadWhenAReloadTurnsItOff)
{
    ASSERT_TRUE(SetMouseHook());
    WriteSettings(m_defaultFile, 2, {}, [](CSettings& s) {
        s.m_bMouseJiggler = true;
        s.m_uMouseJigglerTimeout = 5;
    });
    ASSERT_TRUE(UpdateSettings());
    ASSERT_TRUE(TimerThreadIdle());
    EXPECT_NE(g_idJigglerTimer, 0u);
    EXPECT_TRUE(g_hook.bInputSeen);

    WriteSettings(m_defaultFile, 2);
    ASSERT_TRUE(UpdateSettings());
    ASSERT_TRUE(TimerThreadIdle());
    // The timer thread clears the id only when KillTimer succeeded there.
    EXPECT_EQ(g_idJigglerTimer, 0u);
    RemoveMouseHook(false);
}

TEST_F(UpdateSettingsTest, SetPortableAlwaysLeavesAFreshStateObjectForTheSettingsFolder)
{
    ASSERT_EQ(g_pPersist, nullptr);
    const bool portable = IsPortableMode();
    SetPortable(false);
    ASSERT_NE(g_pPersist, nullptr) << "the state object exists whatever the argument";
    EXPECT_FALSE(GetPortable());
    EXPECT_EQ(std::wstring(g_pPersist->GetStateFile()), m_folder.PathOf(kStateFileName));
    EXPECT_EQ(g_pPersist->GetLayer(), 0);
    EXPECT_TRUE(g_pPersist->IsDirty());

    // A second call saves the first object before it is replaced.
    g_pPersist->SetLayer(2);
    SetPortable(false);
    ASSERT_NE(g_pPersist, nullptr);
    EXPECT_EQ(g_pPersist->GetLayer(), 2) << "read back from the state file the first object wrote";
    EXPECT_FALSE(g_pPersist->IsDirty()) << "as read from the file";
    EXPECT_FALSE(SavePersistantSettings()) << "an unchanged state writes nothing";
    g_pPersist->SetLayer(3);
    g_pPersist->SetDirty(true);
    EXPECT_TRUE(SavePersistantSettings());
    SetPortable(false);
    ASSERT_NE(g_pPersist, nullptr);
    EXPECT_EQ(g_pPersist->GetLayer(), 3) << "the saved change is read back";
    DeletePersistantSettings();
    EXPECT_FALSE(SavePersistantSettings()) << "nothing to save without a state object";
    SetPortableMode(portable);
}

namespace
{
// The system's hook time-out value, put back afterwards.
struct HookTimeoutValue
{
    HookTimeoutValue()
    {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_READ, &key) == ERROR_SUCCESS)
        {
            DWORD size = sizeof(data);
            had = ::RegQueryValueExW(key, L"LowLevelHooksTimeout", nullptr, &type, data, &size) == ERROR_SUCCESS;
            length = size;
            ::RegCloseKey(key);
        }
    }
    ~HookTimeoutValue()
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        if (had)
            ::RegSetValueExW(key, L"LowLevelHooksTimeout", 0, type, data, length);
        else
            ::RegDeleteValueW(key, L"LowLevelHooksTimeout");
        ::RegCloseKey(key);
    }
    static void Set(DWORD type, const void* value, DWORD size)
    {
        HKEY key = nullptr;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (value == nullptr)
            ::RegDeleteValueW(key, L"LowLevelHooksTimeout");
        else
            ::RegSetValueExW(key, L"LowLevelHooksTimeout", 0, type, static_cast<const BYTE*>(value), size);
        ::RegCloseKey(key);
    }
    bool had = false;
    DWORD type = 0;
    BYTE data[256] = {};
    DWORD length = 0;
};
}

TEST(HookTimeout, TheHookTimeoutIsADwordValueOrZero)
{
    HookTimeoutValue restore;
    const DWORD ms = 750;
    HookTimeoutValue::Set(REG_DWORD, &ms, sizeof(ms));
    EXPECT_EQ(GetHooktimeoutValue(), 750u);
    const wchar_t text[] = L"750";
    HookTimeoutValue::Set(REG_SZ, text, sizeof(text));
    EXPECT_EQ(GetHooktimeoutValue(), 0u) << "a text value is not trusted";
    HookTimeoutValue::Set(REG_DWORD, nullptr, 0);
    EXPECT_EQ(GetHooktimeoutValue(), 0u) << "missing";
}

namespace
{
// A settings file whose one window profile takes this process's windows of a
// class (none: only the default profile).
void WriteClassProfile(const std::wstring& path, const wchar_t* className)
{
    CSettings settings(false, CMouseInfo());
    settings.m_bSwitchOnMouseOver = true;
    if (className != nullptr)
    {
        const std::wstring sep = kWindowKeySeparator;
        auto* profile = new CApplicationSettings(&settings, false, 1);
        profile->SetApplication((L"W3:*" + sep + targetingtest::OwnExecutableName() + sep + className + sep + L"*").c_str());
        profile->SetDescription(L"Class profile");
        profile->SetMatchType(1);
        profile->SetWindowMask(WINDOWMASK_ALL);
        settings.AddApplication(profile);
    }
    ::DeleteFileW(path.c_str());
    ASSERT_TRUE(settings.Save(path.c_str()));
}

// A right click in the window as the hook hands it over; the profile then in force.
std::wstring ClickIn(const targetingtest::TestWindow& window)
{
    CThreadLock lock(L"UpdateSettingsTest click");
    BYTE fixUp = 0, block = 0, click = 0;
    const POINT point = targetingtest::CentreOf(window.Handle());
    ProcessButton(1, 1, false, point, fixUp, block, click);
    ProcessButton(1, 2, false, point, fixUp, block, click);
    if (g_engine.pCurrentApp == nullptr)
        return L"<none>";
    return g_engine.pCurrentApp->IsDefault() ? L"<default>" : g_engine.pCurrentApp->GetDescription();
}
}

TEST_F(UpdateSettingsTest, AfterAReloadTheNextClickInAWindowSeenBeforeFindsItsProfileAmongTheNewOnes)
{
    using targetingtest::TestWindow;
    const TestWindow a = TestWindow::TopLevel(L"BrmpReloadA", RECT{100, 100, 300, 300}, L"A");
    const TestWindow b = TestWindow::TopLevel(L"BrmpReloadB", RECT{400, 100, 600, 300}, L"B");
    WriteClassProfile(m_defaultFile, L"BrmpReloadA");
    ASSERT_TRUE(UpdateSettings());
    EXPECT_EQ(ClickIn(a), L"Class profile");
    EXPECT_EQ(ClickIn(b), L"<default>");
    EXPECT_EQ(ClickIn(a), L"Class profile") << "going back to a window seen before";

    // The profile now takes the other class: the window clicked last and the
    // one remembered from before the reload both follow the new file.
    WriteClassProfile(m_defaultFile, L"BrmpReloadB");
    ASSERT_TRUE(UpdateSettings());
    EXPECT_EQ(ClickIn(a), L"<default>");
    EXPECT_EQ(ClickIn(b), L"Class profile");
    EXPECT_EQ(ClickIn(a), L"<default>");
}
