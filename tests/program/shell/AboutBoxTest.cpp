#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ProgramResources.h"
#include "AboutBox.h"
#include "AppTexts.h"
#include "Application.h"
#include "Folders.h"
#include "FrameworkTestSupport.h"
#include "LangSupport.h"
#include "ShellTestFiles.h"
#include "TempFolder.h"
#include "resource.h"

namespace
{
std::wstring g_packFolder;

bool PackFolder(std::wstring& folder)
{
    folder = g_packFolder;
    return !folder.empty();
}

// Loads a one-off language pack for the test and returns to English after it.
class ScopedLanguagePack
{
public:
    explicit ScopedLanguagePack(const std::wstring& entries)
    {
        g_packFolder = m_folder.Path() + L"\\";
        SetLanguageFolderSource(&PackFolder);
        brmptest::WriteFileBytes(m_folder.PathOf(L"test.brmplp"), shelltest::Utf8(L"Language=Test\n" + entries));
        m_loaded = SetLanguageFile(L"test.brmplp");
    }
    ~ScopedLanguagePack()
    {
        SetLanguageFile(L"");
        SetLanguageFolderSource(nullptr);
        g_packFolder.clear();
    }
    bool Loaded() const { return m_loaded; }

private:
    brmptest::TempFolder m_folder{L"brmp-about"};
    bool m_loaded = false;
};

class CLanguageHold
{
public:
    CLanguageHold() : m_language(LangSupport()) {}
    ~CLanguageHold() { CLangSupport::Release(m_language); }
    operator CLangSupport*() const { return m_language; }

private:
    CLangSupport* m_language;
};

struct ShellCall
{
    std::wstring verb;
    std::wstring target;
};

// Records what the buttons would hand to the shell.
class CRecordingActions : public IAboutActions
{
public:
    void ShellOpen(HWND, const wchar_t* verb, const std::wstring& target) override { calls.push_back({verb, target}); }
    void CheckForUpdate(HWND window) override
    {
        ++checks;
        checkWindow = window;
    }
    bool FileExists(const std::wstring& path) override { return !existing.empty() && path == existing; }

    std::vector<ShellCall> calls;
    int checks = 0;
    HWND checkWindow = reinterpret_cast<HWND>(1);
    std::wstring existing;
};



std::wstring TextOf(HWND window, int id = 0)
{
    wchar_t text[512] = {};
    if (id)
        ::GetDlgItemTextW(window, id, text, 512);
    else
        ::GetWindowTextW(window, text, 512);
    return text;
}
}

TEST(AboutBox, TheCreditLineSurvivesEveryTranslation)
{
    const std::wstring fixed = AboutFixedCreditLine();
    struct CreditCase
    {
        const char* name;
        const wchar_t* pack;  // entry for the credit format; null: no pack
        bool translated;      // the translation (not the fixed line) is shown
    };
    const CreditCase cases[] = {
        {"no language pack", nullptr, false},
        {"a translation that keeps the author", L"\"Written by %s with help from %s\" => \"Von %s, mit %s\"\n", true},
        {"a translation without the author", L"\"Written by %s with help from %s\" => \"Von mir, mit %s\"\n", false},
        {"a translation that reads other arguments", L"\"Written by %s with help from %s\" => \"Von %d\"\n", false},
        {"a translation that leaves the author out entirely", L"\"Written by %s with help from %s\" => \"Hallo\"\n",
         false},
    };
    for (const CreditCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ScopedLanguagePack> pack;
        if (c.pack)
        {
            pack = std::make_unique<ScopedLanguagePack>(c.pack);
            ASSERT_TRUE(pack->Loaded());
        }
        CLanguageHold language;
        const std::wstring line = AboutCreditLine(language);
        if (c.translated)
        {
            EXPECT_EQ(line.rfind(L"Von ", 0), 0u) << line;
            EXPECT_NE(line, fixed);
        }
        else
            EXPECT_EQ(line, fixed);
    }
}

TEST(AboutBox, TheUserGuideOpensLocallyWhenPresentElseOnTheWeb)
{
    CRecordingActions actions;
    actions.existing = L"C:\\Programs\\B\\" + AboutUserGuideFileName();
    // With or without the trailing backslash: exactly one separator.
    EXPECT_EQ(UserGuideTarget(L"C:\\Programs\\B", actions), actions.existing);
    EXPECT_EQ(UserGuideTarget(L"C:\\Programs\\B\\", actions), actions.existing);
    EXPECT_EQ(UserGuideTarget(L"C:\\Elsewhere", actions), AboutUserGuideAddress());
    EXPECT_EQ(UserGuideTarget(L"", actions), AboutUserGuideAddress());
}

TEST(AboutBox, TheDialogShowsTheProgramAndItsButtonsReachTheShell)
{
    brmptest::ProgramResources resources;
    ASSERT_TRUE(resources.Loaded()) << "Brindlemap.exe is missing beside the tests";
    CRecordingActions actions;
    CAboutDlg dialog(nullptr, actions);
    ASSERT_TRUE(dialog.Create(static_cast<HWND>(nullptr)));
    HWND window = dialog.GetSafeHwnd();
    framework_test::PumpPending();

    const std::wstring product = AppProductName();
    EXPECT_EQ(TextOf(window), L"About " + product);
    EXPECT_EQ(TextOf(window, IDC_ABOUT_PRODUCT), product + L".");
    EXPECT_EQ(TextOf(window, IDC_ABOUT_VERSION), std::wstring(L"Version ") + kAppVersion);
    EXPECT_EQ(TextOf(window, IDC_ABOUT_PRODUCT_LINE), AboutProductLine());
    EXPECT_EQ(TextOf(window, IDC_ABOUT_CREDIT), AboutFixedCreditLine());
    EXPECT_NE(::GetDlgItem(window, IDC_ABOUT_ICON), nullptr);

    struct ButtonCase
    {
        int id;
        const wchar_t* verb;
        std::wstring target;
    };
    const ButtonCase buttons[] = {
        {IDC_ABOUT_HOMEPAGE, L"open", AboutHomePage()},
        {IDC_ABOUT_FORUMS, L"open", AboutForumPage()},
        {IDC_ABOUT_DONATE, L"open", AboutDonatePage()},
        {IDC_ABOUT_USERGUIDE, L"open", AboutUserGuideAddress()},
    };
    for (const ButtonCase& b : buttons)
    {
        SCOPED_TRACE(b.id);
        actions.calls.clear();
        ::SendMessageW(::GetDlgItem(window, b.id), BM_CLICK, 0, 0);
        ASSERT_EQ(actions.calls.size(), 1u);
        EXPECT_EQ(actions.calls[0].verb, b.verb);
        EXPECT_EQ(actions.calls[0].target, b.target);
    }

    actions.calls.clear();
    ::SendMessageW(::GetDlgItem(window, IDC_ABOUT_OPEN_FOLDER), BM_CLICK, 0, 0);
    // The library answers 0 when it found the folder, which then opens.
    wchar_t folder[2048] = {};
    ASSERT_EQ(::GetSettingsFolder(folder, 2048), 0u);
    ASSERT_NE(folder[0], L'\0');
    ASSERT_EQ(actions.calls.size(), 1u);
    EXPECT_EQ(actions.calls[0].verb, L"explore");
    EXPECT_EQ(actions.calls[0].target, folder);

    // No application object in the tests: the check is answered to no window.
    ::SendMessageW(::GetDlgItem(window, IDC_ABOUT_CHECK_UPDATE), BM_CLICK, 0, 0);
    EXPECT_EQ(actions.checks, 1);
    EXPECT_EQ(actions.checkWindow, nullptr);

    ::DestroyWindow(window);
}

TEST(AboutBox, ALanguagePackTranslatesTheButtonsAndCaption)
{
    brmptest::ProgramResources resources;
    ASSERT_TRUE(resources.Loaded()) << "Brindlemap.exe is missing beside the tests";
    ScopedLanguagePack pack(L"\"About\" => \"Info\"\n\"&Forums\" => \"&Foren\"\n\"Version\" => \"Fassung\"\n");
    ASSERT_TRUE(pack.Loaded());
    CRecordingActions actions;
    CAboutDlg dialog(nullptr, actions);
    ASSERT_TRUE(dialog.Create(static_cast<HWND>(nullptr)));
    HWND window = dialog.GetSafeHwnd();
    EXPECT_EQ(TextOf(window), L"Info " + AppProductName());
    EXPECT_EQ(TextOf(window, IDC_ABOUT_FORUMS), L"&Foren");
    EXPECT_EQ(TextOf(window, IDC_ABOUT_VERSION), std::wstring(L"Fassung ") + kAppVersion);
    ::DestroyWindow(window);
}
