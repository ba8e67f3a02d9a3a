#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "ProgramResources.h"
#include "AppTexts.h"
#include "Application.h"
#include "AutoUpdate.h"
#include "Control.h"
#include "FrameworkTestSupport.h"
#include "Handles.h"
#include "LangSupport.h"
#include "MainWindowRecorder.h"
#include "MyMessageWnd.h"
#include "TrayIcon.h"
#include "MessageBox.h"
#include "TempFolder.h"
#include "UpdateDialog.h"
#include "UpdateTrust.h"
#include "resource.h"

namespace
{
const std::string kProgram = std::string("MZ") + std::string(510, '\x90');

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A transport without a network: each attempt writes what the test says.
class CFakeTransport : public IUpdateTransport
{
public:
    struct Attempt
    {
        HRESULT result = S_OK;
        std::string bytes = kProgram;
        ULONG announced = 512;
        // Runs between the progress reports (the user cancels here).
        std::function<void()> during;
    };

    explicit CFakeTransport(std::wstring folder) : m_folder(std::move(folder)) { SetUpdateTransport(this); }
    ~CFakeTransport() override { SetUpdateTransport(nullptr); }

    std::wstring TempFolder() override { return m_folder; }
    HRESULT Download(const std::wstring& address, const std::wstring& file, IDownloadProgress& progress) override
    {
        addresses.push_back(address);
        files.push_back(file);
        const Attempt attempt = attempts.empty() ? Attempt{} : attempts.front();
        if (!attempts.empty())
            attempts.erase(attempts.begin());
        progress.Started();
        if (!progress.Progress(0, attempt.announced, 5, L""))
            return E_ABORT;
        if (attempt.during)
            attempt.during();
        brmptest::WriteFileBytes(file, attempt.bytes);
        if (!progress.Progress(static_cast<ULONG>(attempt.bytes.size()), attempt.announced, 5, L""))
            return E_ABORT;
        return attempt.result;
    }
    void RemoveCached(const std::wstring&) override {}
    INT_PTR Launch(const std::wstring& file) override
    {
        launched.push_back(file);
        launchedWhole.push_back(brmptest::ReadFileBytes(file).value_or("") == kProgram);
        return launchResult;
    }
    bool ReadChangeLog(const std::wstring&, std::wstring& text) override
    {
        text = L"Line one\nLine two";
        return true;
    }
    void Pause(DWORD) override {}

    std::vector<Attempt> attempts;
    std::vector<std::wstring> addresses;
    std::vector<std::wstring> files;
    std::vector<std::wstring> launched;
    std::vector<bool> launchedWhole;
    INT_PTR launchResult = 42;

private:
    std::wstring m_folder;
};

// The signature check's verdict, as the test says; what it was asked about.
class CFakeTrust : public IUpdateTrust
{
public:
    CFakeTrust() { SetUpdateTrust(this); }
    ~CFakeTrust() override { SetUpdateTrust(nullptr); }
    UpdateTrustResult Verify(const std::wstring& file, std::wstring& why) override
    {
        checked.push_back(file);
        why = L"the test says so";
        return verdict;
    }
    UpdateTrustResult verdict = UpdateTrustResult::Trusted;
    std::vector<std::wstring> checked;
};

// Answers the Retry/Cancel questions in order (Cancel when none is left).
class CAnswers
{
public:
    explicit CAnswers(std::vector<int> answers)
        : m_answers(std::move(answers)), m_handler([this](const MessageBoxRequest& request) {
              asked.push_back(request.text);
              if (m_answers.empty())
                  return IDCANCEL;
              const int answer = m_answers.front();
              m_answers.erase(m_answers.begin());
              return answer;
          })
    {
    }
    std::vector<std::wstring> asked;

private:
    std::vector<int> m_answers;
    ScopedMessageBoxHandler m_handler;
};

class UpdateDownload : public ::testing::Test
{
protected:
    UpdateDownload() : m_update(nullptr) {}
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        m_context.userData = &m_update;
        m_context.worker = &DownloadAndUpdate;
    }
    // Offers version through the worker without a dialog.
    bool Run(int version)
    {
        OfferVersion(version);
        return DownloadAndUpdate(m_context);
    }
    void OfferVersion(int version)
    {
        // Update's portable path sets the offer without a dialog; the user declines.
        ScopedMessageBoxHandler no([](const MessageBoxRequest&) { return IDNO; });
        m_update.Update(version, true);
    }
    std::wstring Expected(const wchar_t* name) const { return m_folder.Path() + L"\\" + name; }

    brmptest::TempFolder m_folder{L"brmp-update"};
    CFakeTransport m_transport{m_folder.Path()};
    CFakeTrust m_trust;
    CAutoUpdate m_update;
    UpdateContext m_context;
};
}

TEST(UpdateVersion, OfferedNumbersReadAsReleasesAndBetas)
{
    struct VersionCase
    {
        int version;
        bool valid;
        bool beta;
        const wchar_t* display;
        const wchar_t* fileForm;
    };
    const VersionCase cases[] = {
        {2209903, true, true, L"2.21 Beta 3", L"2.21 Beta3"},
        {2210000, true, false, L"2.21", L"2.21"},
        {2210100, true, false, L"2.21.1", L"2.21.1"},
        {10000000, true, false, L"10.0", L"10.0"},
        {-1, false, false, L"?.?", L""},
        {100000000, false, false, L"?.?", L""},
    };
    for (const VersionCase& c : cases)
    {
        SCOPED_TRACE(c.version);
        const UpdateVersionText text = DecodeUpdateVersion(c.version);
        EXPECT_EQ(text.valid, c.valid);
        EXPECT_EQ(text.beta, c.beta);
        EXPECT_EQ(text.display, c.display);
        EXPECT_EQ(text.fileForm, c.fileForm);
    }
}

TEST(UpdateVersion, TheAddressCarriesTheOfferedAndTheOwnVersion)
{
    const std::wstring release = UpdateDownloadAddress(false, 2210000);
    const std::wstring beta = UpdateDownloadAddress(true, 2209903);
    EXPECT_NE(release.find(L"&newversion=2210000&oldversion=22050"), std::wstring::npos) << release;
    EXPECT_NE(beta.find(L"&newversion=2209903&oldversion=22050"), std::wstring::npos) << beta;
    EXPECT_NE(release.substr(0, release.find(L'&')), beta.substr(0, beta.find(L'&')));
}

TEST(UpdateVersion, TheInstallerPathHasOneSeparatorAndABoundedFolder)
{
    EXPECT_EQ(UpdateInstallerPath(L"C:\\Temp\\", L"2.21 Beta3"), L"C:\\Temp\\BRMPUpdateX64.2.21 Beta3.exe");
    EXPECT_EQ(UpdateInstallerPath(L"C:\\Temp", L"2.21 Beta3"), L"C:\\Temp\\BRMPUpdateX64.2.21 Beta3.exe");
    EXPECT_EQ(UpdateInstallerPath(L"", L"2.21"), L"");
    EXPECT_EQ(UpdateInstallerPath(std::wstring(kMaxUpdateFolderChars + 1, L'a'), L"2.21"), L"");
    EXPECT_EQ(UpdateInstallerPath(L"C:\\Temp", L""), L"");
    EXPECT_EQ(UpdateInstallerPath(L"C:\\Temp", L"..\\..\\x"), L"");
}

TEST(UpdateVersion, OnlyACompleteProgramPassesVerification)
{
    brmptest::TempFolder folder(L"brmp-verify");
    struct VerifyCase
    {
        const char* name;
        std::string bytes;  // empty with write false: no file
        bool write;
        std::uint64_t announced;
        bool accepted;
    };
    const VerifyCase cases[] = {
        {"a complete program", kProgram, true, 512, true},
        {"a program whose size was not announced", kProgram, true, 0, true},
        {"a missing file", "", false, 512, false},
        {"an empty file", "", true, 0, false},
        {"a partial download", kProgram.substr(0, 100), true, 512, false},
        {"a web page in place of the program", "<html>not found</html>", true, 0, false},
    };
    for (const VerifyCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::wstring path = folder.PathOf(L"candidate.exe");
        ::DeleteFileW(path.c_str());
        if (c.write)
        {
            ASSERT_TRUE(brmptest::WriteFileBytes(path, c.bytes));
        }
        std::wstring why;
        EXPECT_EQ(VerifyDownloadedInstaller(path, c.announced, why), c.accepted) << std::string(why.begin(), why.end());
        EXPECT_EQ(why.empty(), c.accepted);
    }
}

TEST_F(UpdateDownload, AVerifiedDownloadIsStartedFromTheTemporaryFolder)
{
    CAnswers answers({});
    EXPECT_TRUE(Run(2209903));
    const std::wstring expected = Expected(L"BRMPUpdateX64.2.21 Beta3.exe");
    ASSERT_EQ(m_transport.launched.size(), 1u);
    EXPECT_EQ(m_transport.launched[0], expected);
    EXPECT_TRUE(m_transport.launchedWhole[0]);
    EXPECT_NE(m_transport.addresses[0].find(L"&newversion=2209903&oldversion=22050"), std::wstring::npos);
    EXPECT_TRUE(answers.asked.empty());
}

TEST_F(UpdateDownload, ABadDownloadIsNeverStartedAndIsRemoved)
{
    struct BadCase
    {
        const char* name;
        CFakeTransport::Attempt attempt;
    };
    const BadCase cases[] = {
        {"the transport failed", {E_FAIL, kProgram, 512, nullptr}},
        {"the download stopped short", {S_OK, kProgram.substr(0, 200), 512, nullptr}},
        {"the server sent something else", {S_OK, "<html></html>", 0, nullptr}},
    };
    for (const BadCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_transport.attempts = {c.attempt};
        m_transport.launched.clear();
        CAnswers answers({IDCANCEL});
        EXPECT_FALSE(Run(2210000));
        EXPECT_TRUE(m_transport.launched.empty());
        EXPECT_EQ(answers.asked.size(), 1u);
        EXPECT_FALSE(FileExists(Expected(L"BRMPUpdateX64.2.21.exe")));
    }
}

TEST_F(UpdateDownload, ADownloadWithoutTheOwnPublishersValidSignatureIsDeletedNeverStartedAndTheUserIsTold)
{
    for (UpdateTrustResult verdict : {UpdateTrustResult::Unsigned, UpdateTrustResult::Invalid,
                                      UpdateTrustResult::OtherPublisher, UpdateTrustResult::Unavailable})
    {
        SCOPED_TRACE(static_cast<int>(verdict));
        m_trust.verdict = verdict;
        m_trust.checked.clear();
        m_transport.launched.clear();
        CAnswers answers({});
        EXPECT_FALSE(Run(2210000));
        EXPECT_EQ(m_trust.checked, std::vector<std::wstring>{Expected(L"BRMPUpdateX64.2.21.exe")});
        EXPECT_TRUE(m_transport.launched.empty());
        EXPECT_FALSE(FileExists(Expected(L"BRMPUpdateX64.2.21.exe")));
        ASSERT_EQ(answers.asked.size(), 1u);
        EXPECT_NE(answers.asked[0].find(L"could not be verified"), std::wstring::npos);
    }
}

TEST(UpdateSignature, TheSystemsCheckRefusesUnsignedProgramsAndMissingFiles)
{
    // The test program itself carries no signature.
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    brmptest::TempFolder folder(L"brmp-trust");
    const std::wstring text = folder.PathOf(L"update.exe");
    ASSERT_TRUE(brmptest::WriteFileBytes(text, kProgram));
    IUpdateTrust system;
    for (const std::wstring& file : {std::wstring(self), text})
    {
        SCOPED_TRACE(testing::PrintToString(file));
        std::wstring why;
        EXPECT_EQ(system.Verify(file, why), UpdateTrustResult::Unsigned) << testing::PrintToString(why);
    }
    std::wstring why;
    EXPECT_NE(system.Verify(folder.PathOf(L"missing.exe"), why), UpdateTrustResult::Trusted);
    EXPECT_FALSE(why.empty());
}

TEST_F(UpdateDownload, RetryDownloadsAgainAndAnOldFileIsReplaced)
{
    const std::wstring file = Expected(L"BRMPUpdateX64.2.21.1.exe");
    ASSERT_TRUE(brmptest::WriteFileBytes(file, "stale"));
    m_transport.attempts = {{E_FAIL, "", 512, nullptr}, {}};
    CAnswers answers({IDRETRY});
    EXPECT_TRUE(Run(2210100));
    EXPECT_EQ(m_transport.addresses.size(), 2u);
    EXPECT_EQ(answers.asked.size(), 1u);
    ASSERT_EQ(m_transport.launched.size(), 1u);
    EXPECT_TRUE(m_transport.launchedWhole[0]);
}

TEST_F(UpdateDownload, AnInstallerThatDoesNotStartIsReportedAsAFailure)
{
    m_transport.launchResult = 2;  // the shell's "file not found"
    CAnswers answers({IDCANCEL});
    EXPECT_FALSE(Run(2210000));
    EXPECT_EQ(answers.asked.size(), 1u);
    EXPECT_NE(answers.asked[0].find(L"running the update package"), std::wstring::npos);
    EXPECT_FALSE(FileExists(Expected(L"BRMPUpdateX64.2.21.exe")));
}

TEST_F(UpdateDownload, CancellingDuringTheDownloadStartsNothingAndLeavesNoFile)
{
    CFakeTransport::Attempt attempt;
    attempt.during = [this] { m_context.cancelled = true; };
    m_transport.attempts = {attempt};
    CAnswers answers({});
    EXPECT_FALSE(Run(2210000));
    EXPECT_TRUE(m_transport.launched.empty());
    EXPECT_TRUE(answers.asked.empty());
    EXPECT_FALSE(FileExists(Expected(L"BRMPUpdateX64.2.21.exe")));
}

TEST_F(UpdateDownload, ThePortableOfferShowsTheVersionAndDecliningReturnsFalse)
{
    std::vector<std::wstring> asked;
    ScopedMessageBoxHandler handler([&](const MessageBoxRequest& request) {
        asked.push_back(request.text);
        EXPECT_EQ(request.type & MB_YESNO, static_cast<UINT>(MB_YESNO));
        return IDNO;
    });
    EXPECT_FALSE(m_update.Update(2210100, true));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find(L"Portable v2.21.1 is available."), std::wstring::npos) << std::string(asked[0].begin(), asked[0].end());
}

TEST_F(UpdateDownload, TheProgressDialogRunsTheWorkerAndEndsWithItsResult)
{
    OfferVersion(2210000);
    CAnswers answers({});
    CUPDialog dialog(nullptr, &m_update, L"Downloading v2.21", &DownloadAndUpdate);
    framework_test::ModalWatchdog watchdog(dialog);
    EXPECT_EQ(dialog.DoModal(), 1);
    dialog.Cleanup();
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(m_transport.launched.size(), 1u);
}

namespace
{
std::atomic<bool> g_workerEnded{false};
HANDLE g_letWorkerEnd = nullptr;
}

TEST_F(UpdateDownload, AWorkerWhoseFlagIsDownWhileItsThreadStillRunsIsWaitedForAndNeverTerminated)
{
    g_workerEnded = false;
    const UniqueHandle letGo(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_letWorkerEnd = letGo.Get();
    CUPDialog dialog(nullptr, &m_update, L"Downloading v2.21", [](UpdateContext& context) {
        // The thread on its way out: its flag is down, and the user cancels just then.
        context.running = false;
        ::PostMessageW(context.window, kUpCancel, 0, 0);
        ::WaitForSingleObject(g_letWorkerEnd, 20000);
        ::Sleep(200); // what is left of its work
        g_workerEnded = true;
        return true;
    });
    dialog.SetTerminationWait(20000);
    framework_test::ModalWatchdog watchdog(dialog);
    EXPECT_EQ(dialog.DoModal(), kUpCancelled);
    ::SetEvent(letGo.Get());
    dialog.Cleanup();
    EXPECT_TRUE(g_workerEnded.load()) << "the worker's thread ended by itself";
}

TEST_F(UpdateDownload, TheStatusTextShownIsTheWorkersOwnWhateverAStatusMessageCarries)
{
    static std::wstring shown;
    CUPDialog dialog(nullptr, &m_update, L"Downloading v2.21", [](UpdateContext& context) {
        context.SetText(L"Downloaded 1 of 2 bytes");
        // A status message from anyone else points at nothing the dialog may read.
        context.Send(kUpSetText, 0, 0x1234);
        wchar_t text[64] = {};
        ::GetDlgItemTextW(context.window, 1026, text, 64);
        shown = text;
        return true;
    });
    framework_test::ModalWatchdog watchdog(dialog);
    EXPECT_EQ(dialog.DoModal(), 1);
    dialog.Cleanup();
    EXPECT_EQ(shown, L"Downloaded 1 of 2 bytes");
}

TEST_F(UpdateDownload, CancelInTheProgressDialogStopsTheDownload)
{
    OfferVersion(2210000);
    CAnswers answers({});
    std::atomic<bool> downloading{false};
    std::atomic<HWND> dialogWindow{nullptr};
    CFakeTransport::Attempt attempt;
    // The download goes on until the dialog has been cancelled (bounded).
    attempt.during = [&] {
        downloading = true;
        for (int i = 0; i < 500 && !::IsWindow(dialogWindow.load()); ++i)
            ::Sleep(10);
        HWND window = dialogWindow.load();
        for (int i = 0; i < 500 && window && ::IsWindow(window) && ::IsWindowEnabled(::GetDlgItem(window, IDCANCEL)); ++i)
            ::Sleep(10);
    };
    m_transport.attempts = {attempt};
    CUPDialog dialog(nullptr, &m_update, L"Downloading v2.21", &DownloadAndUpdate);
    framework_test::ModalWatchdog watchdog(dialog);
    // Once the worker is inside the download, press Cancel.
    struct Press
    {
        std::atomic<bool>* downloading;
        std::atomic<HWND>* window;
    } press{&downloading, &dialogWindow};
    static Press* s_press = nullptr;
    s_press = &press;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND window = ::FindWindowW(nullptr, L"Downloading v2.21");
        if (window && s_press)
            s_press->window->store(window);
        if (window && s_press && s_press->downloading->load())
            ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    const INT_PTR result = dialog.DoModal();
    ::KillTimer(nullptr, timer);
    s_press = nullptr;
    dialog.Cleanup();
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(result, kUpCancelled);
    EXPECT_TRUE(m_transport.launched.empty());
    EXPECT_FALSE(FileExists(Expected(L"BRMPUpdateX64.2.21.exe")));
}

namespace
{

// What the timer saw of the new-version dialog, and which button it pressed.
struct DialogPress
{
    int button = IDCANCEL;
    std::wstring changeLog;
    bool pressed = false;
};
DialogPress* g_press = nullptr;

void CALLBACK PressWhenShown(HWND, UINT, UINT_PTR, DWORD)
{
    HWND window = ::FindWindowW(nullptr, AppProductName().c_str());
    if (!window || !g_press || g_press->pressed)
        return;
    wchar_t text[256] = {};
    ::GetDlgItemTextW(window, IDC_UPDATE_CHANGELOG, text, 256);
    g_press->changeLog = text;
    g_press->pressed = true;
    ::PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(g_press->button), 0);
}
}

TEST_F(UpdateDownload, SkipDeclinesTheOfferAndUpgradeRunsTheDownload)
{
    brmptest::ProgramResources dialogs;
    ASSERT_TRUE(dialogs.Loaded()) << "Brindlemap.exe is missing beside the tests";
    struct OfferCase
    {
        int button;
        bool accepted;
        std::size_t launches;
    };
    const OfferCase cases[] = {{IDCANCEL, false, 0}, {IDOK, true, 1}};
    for (const OfferCase& c : cases)
    {
        SCOPED_TRACE(c.button);
        m_transport.launched.clear();
        CAnswers answers({});
        DialogPress press;
        press.button = c.button;
        g_press = &press;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &PressWhenShown);
        const bool accepted = m_update.Update(2210000, false);
        ::KillTimer(nullptr, timer);
        g_press = nullptr;
        EXPECT_TRUE(press.pressed);
        EXPECT_EQ(accepted, c.accepted);
        EXPECT_EQ(m_transport.launched.size(), c.launches);
        EXPECT_EQ(press.changeLog, L"Line one\r\nLine two");
    }
}

namespace
{
// The main window's services with the real update offer behind them.
class CUpdatingServices : public brmptest::RecordingServices
{
public:
    bool StartUpdate(HWND window, int version) override
    {
        Add(L"StartUpdate(" + std::to_wstring(version) + L")");
        return IMainWindowServices::StartUpdate(window, version);
    }
};
}

TEST_F(UpdateDownload, AClickOnTheUpdateBalloonOffersThePendingVersionOnceAndADeclinedOfferComesBackInAnHour)
{
    brmptest::ProgramResources dialogs;
    ASSERT_TRUE(dialogs.Loaded()) << "Brindlemap.exe is missing beside the tests";
    // The offer follows the library's mode, which only the program's start
    // makes portable: here the installed program's download is offered.
    ASSERT_FALSE(GetPortable());
    CUpdatingServices services;
    CMyMessageWnd window(false, false, false, false, services, brmptest::UniqueMainWindowPipe(L"balloon"));
    ASSERT_TRUE(window.Create(nullptr, L"update balloon test"));
    const UINT checked = ::RegisterWindowMessageW(L"BRMPCheckVersion");
    CAnswers answers({});

    for (const int button : {IDOK, IDCANCEL})
    {
        SCOPED_TRACE(button);
        m_transport.launched.clear();
        services.Clear();
        // An automatic check announces the version in a balloon; the click offers it.
        window.SendMessage(checked, 2210000, 1);
        ASSERT_EQ(window.GetPendingUpdateVersion(), 2210000);
        DialogPress press;
        press.button = button;
        g_press = &press;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &PressWhenShown);
        window.SendMessage(kTrayCallbackMessage, kTrayIconId, NIN_BALLOONUSERCLICK);
        ::KillTimer(nullptr, timer);
        g_press = nullptr;
        EXPECT_TRUE(press.pressed);
        EXPECT_EQ(window.GetPendingUpdateVersion(), 0);
        EXPECT_EQ(m_transport.launched.size(), button == IDOK ? 1u : 0u);
        if (button == IDCANCEL)
        {
            EXPECT_EQ(window.NextVersionCheckDelay(), CMyMessageWnd::DeclinedUpdateRetryMs);
        }

        // Nothing is pending any more: a further click offers nothing.
        window.SendMessage(kTrayCallbackMessage, kTrayIconId, NIN_BALLOONUSERCLICK);
        EXPECT_EQ(services.Count(L"StartUpdate(2210000)"), 1);
    }
    window.DestroyWindow();
}
