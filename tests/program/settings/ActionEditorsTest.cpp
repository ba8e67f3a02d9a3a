// The chord, timed-click and movement-to-scroll editors driven as a user drives
// them (pickers chosen, boxes ticked, the keystroke editor they open answered
// with typed keys), and what they configure working in the running program.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "ActionData.h"
#include "ApplicationSettings.h"
#include "ButtonChording.h"
#include "ButtonPressDlg.h"
#include "Control.h"
#include "FrameworkTestSupport.h"
#include "MessageBox.h"
#include "Movement2Scroll.h"
#include "Movement2ScrollDlg.h"
#include "OSVersion.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramResources.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "WaitFor.h"
#include "resource.h"

using brmptest::PhysicalInput;

namespace
{
const EditorActionList kActions = {
    {L"** No Change (Don't intercept) **", 40}, {L"Left Click", 0}, {L"Right Click", 1}, {L"Disable", 6},
    {L"Simulated Keys", 28}, {L"Change Movement to Scroll", 77}, {L"Layer 1", 54},
};

ActionEditorContext Context()
{
    ActionEditorContext context;
    context.actions = &kActions;
    context.osVersion = ActionOS_Win10;
    return context;
}

std::wstring TextOf(HWND window, int id)
{
    wchar_t text[512] = {};
    ::GetDlgItemTextW(window, id, text, 512);
    return text;
}

// Chooses an item in a row's picker as a click in its list does.
void Choose(HWND dialog, int row, const std::wstring& item)
{
    HWND picker = ::GetDlgItem(dialog, IDC_ROW_PICKER + row);
    const LRESULT index = ::SendMessageW(picker, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(item.c_str()));
    ASSERT_NE(index, CB_ERR) << "no item for this action";
    ::SendMessageW(picker, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ROW_PICKER + row, CBN_SELCHANGE), reinterpret_cast<LPARAM>(picker));
}

// Answers the keystroke editor a choice opens: waits for it by its title, types
// the keys into it and confirms. Runs beside the modal loop of the editor.
class KeyEditorAnswer
{
public:
    KeyEditorAnswer(std::wstring title, std::wstring keys)
        : m_thread([this, title = std::move(title), keys = std::move(keys)] { Answer(title, keys); })
    {
    }
    ~KeyEditorAnswer() { m_thread.join(); }
    bool Answered() const { return m_answered; }

private:
    void Answer(const std::wstring& title, const std::wstring& keys)
    {
        HWND editor = nullptr;
        if (!brmptest::WaitFor([&] { return (editor = ::FindWindowW(L"#32770", title.c_str())) != nullptr; }, 10000))
            return;
        HWND edit = ::GetDlgItem(editor, IDC_CK_KEYS);
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        // Into the keys box as a user gets there: a click.
        RECT box{};
        ::GetWindowRect(edit, &box);
        if (!PhysicalInput::ClickAt((box.left + box.right) / 2, (box.top + box.bottom) / 2, PhysicalInput::kLeft))
            return;
        if (!brmptest::WaitFor([&] { return ::GetForegroundWindow() == editor; }) || !PhysicalInput::Type(keys))
            return;
        wchar_t text[256] = {};
        brmptest::WaitFor([&] {
            ::SendMessageW(edit, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
            return keys == text;
        });
        m_answered = keys == text;
        ::PostMessageW(editor, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(::GetDlgItem(editor, IDOK)));
    }

    std::atomic<bool> m_answered{false};
    std::thread m_thread;
};

template <class Editor>
struct Shown
{
    template <class... Args>
    explicit Shown(Args&&... args) : editor(std::forward<Args>(args)...)
    {
    }
    bool Open()
    {
        if (!resources.Loaded() || !editor.Create(static_cast<HWND>(nullptr)))
            return false;
        window = editor.GetSafeHwnd();
        ::ShowWindow(window, SW_SHOW);
        framework_test::PumpPending();
        return true;
    }
    ~Shown()
    {
        if (::IsWindow(window))
            ::DestroyWindow(window);
    }
    void Click(int id) { ::SendMessageW(::GetDlgItem(window, id), BM_CLICK, 0, 0); }

    brmptest::ProgramResources resources;
    Editor editor;
    HWND window = nullptr;
};

std::wstring TypedText(brmptest::Probe& probe)
{
    std::wstring typed;
    for (const auto& record : probe.Records(brmptest::Named(L"WM_CHAR")))
        typed += static_cast<wchar_t>(record.Value(L"char"));
    return typed;
}
} // namespace

TEST(ChordEditor, OkKeepsWhatNoPickerCouldShowAndCancelTouchesNothing)
{
    CBRMPChords stored;
    CBRMPChord layer;
    layer.SetAction(54);  // a layer change: no editor's picker offers it
    stored.SetChord(Middle, layer);
    Shown<CButtonChording> shown(XLeft, Context(), &stored, false, nullptr);
    ASSERT_TRUE(shown.Open());
    EXPECT_EQ(TextOf(shown.window, IDC_ROW_LABEL + XLeft), L"&Default (No Chord)");
    EXPECT_EQ(TextOf(shown.window, IDC_CH_UNBLOCK_TIME), L"750");
    // Delay off: the unblock options go with it.
    shown.Click(IDC_CH_DELAY);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(shown.window, IDC_CH_UNBLOCK_TIME)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(shown.window, IDC_CH_UNBLOCK_MOVE)));
    Choose(shown.window, Left, L"Disable");
    shown.Click(IDOK);
    const CBRMPChords& result = shown.editor.Result();
    EXPECT_EQ(result.GetChord(Left)->GetAction(), 6);
    EXPECT_EQ(result.GetChord(Middle)->GetAction(), 54);
    EXPECT_FALSE(result.DelayUntilChordKnown());
    EXPECT_EQ(stored.GetChord(Left)->GetAction(), 40);  // the caller's set is a different object
}

TEST(ChordEditor, TheLayoutFollowsTheQuillonModeAndTheWindowsVersion)
{
    Shown<CButtonChording> quillon(Left, Context(), nullptr, true, nullptr);
    ASSERT_TRUE(quillon.Open());
    EXPECT_EQ(::GetDlgItem(quillon.window, IDC_ROW_PICKER + TiltRight), nullptr);
    EXPECT_EQ(TextOf(quillon.window, IDC_ROW_LABEL + TiltLeft), L"Middle Button &2");
    Choose(quillon.window, WheelDown, L"Disable");
    quillon.Click(IDOK);
    EXPECT_EQ(quillon.editor.Result().GetChord(WheelDown)->GetAction(), 6);

    ActionEditorContext old = Context();
    old.osVersion = ActionOS_WinXP;
    Shown<CButtonChording> xp(Right, old, nullptr, false, nullptr);
    ASSERT_TRUE(xp.Open());
    wchar_t caption[128] = {};
    ::GetWindowTextW(xp.window, caption, 128);
    EXPECT_STREQ(caption, L"Button Chording - Right Button");
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(xp.window, IDC_ROW_PICKER + TiltLeft)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(xp.window, IDC_ROW_PICKER + TiltRight)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(xp.window, IDC_ROW_PICKER + WheelUp)));
}

TEST(ChordEditor, TheWheelChangesNoDisabledPickerAndOpensNoEditor)
{
    ActionEditorContext old = Context();
    old.osVersion = ActionOS_WinXP;
    Shown<CButtonChording> shown(Left, old, nullptr, false, nullptr);
    ASSERT_TRUE(shown.Open());
    HWND tilt = ::GetDlgItem(shown.window, IDC_ROW_PICKER + TiltLeft);
    HWND wheel = ::GetDlgItem(shown.window, IDC_ROW_PICKER + WheelUp);
    ::SendMessageW(wheel, CB_SETCURSEL, 3, 0);  // "Disable"; the next one down is "Simulated Keys"
    // Should a keystroke editor open, it is closed again and counted.
    std::atomic<bool> stop{false};
    std::atomic<int> editorsOpened{0};
    std::thread closer([&] {
        brmptest::WaitFor(
            [&] {
                if (HWND editor = ::FindWindowW(L"#32770", L"Simulated Keystrokes - Wheel Up"))
                {
                    ++editorsOpened;
                    ::PostMessageW(editor, WM_COMMAND, IDCANCEL, 0);
                }
                return stop.load();
            },
            10000, 20);
    });
    const WPARAM down = MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA));
    ::PostMessageW(tilt, WM_MOUSEWHEEL, down, 0);
    ::PostMessageW(wheel, WM_MOUSEWHEEL, down, 0);
    framework_test::PumpUntil([&] { return ::SendMessageW(wheel, CB_GETCURSEL, 0, 0) != 3; }, 3000);
    framework_test::PumpPending();
    stop = true;
    closer.join();
    EXPECT_EQ(::SendMessageW(tilt, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(wheel, CB_GETCURSEL, 0, 0), 4);
    EXPECT_EQ(editorsOpened, 0);
}

TEST(ChordEditor, AnItemThatCarriesKeysKeepsItsEditButton)
{
    Shown<CButtonChording> shown(XLeft, Context(), nullptr, false, nullptr);
    ASSERT_TRUE(shown.Open());
    {
        KeyEditorAnswer answer(L"Simulated Keystrokes - Right Button", L"abc");
        Choose(shown.window, Right, L"Simulated Keys");
        EXPECT_TRUE(answer.Answered());
    }
    HWND edit = ::GetDlgItem(shown.window, IDC_ROW_EDIT + Right);
    EXPECT_TRUE(::IsWindowEnabled(edit));
    Choose(shown.window, Right, L"Left Click");
    EXPECT_FALSE(::IsWindowEnabled(edit));
    // Back to the keys it already carries: no editor opens, and the button stays.
    Choose(shown.window, Right, L"Simulated Keys");
    EXPECT_TRUE(::IsWindowEnabled(edit));
}

TEST(TimedClickEditor, HoldTimesOutOfOrderKeepTheEditorOpen)
{
    std::wstring told;
    ScopedMessageBoxHandler boxes([&](const MessageBoxRequest& request) {
        told = request.text;
        return IDOK;
    });
    Shown<CButtonPressDlg> shown(Left, Context(), nullptr, false, nullptr);
    ASSERT_TRUE(shown.Open());
    EXPECT_EQ(TextOf(shown.window, IDC_TC_TIME1), L"500");
    EXPECT_EQ(::SendDlgItemMessageW(shown.window, IDC_ROW_PICKER, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(L"** No Change (Don't intercept) **")),
              CB_ERR);
    shown.Click(IDC_TC_HELD1);
    shown.Click(IDC_TC_HELD3);
    ::SetDlgItemTextW(shown.window, IDC_TC_TIME1, L"800");
    ::SetDlgItemTextW(shown.window, IDC_TC_TIME3, L"800");
    shown.Click(IDOK);
    EXPECT_EQ(told, L"Held for time for action 4 must be greater than that for action 2.");
    EXPECT_TRUE(::IsWindowVisible(shown.window));
    // An unticked row's time must still be a valid time.
    ::SetDlgItemTextW(shown.window, IDC_TC_TIME3, L"900");
    ::SetDlgItemTextW(shown.window, IDC_TC_TIME2, L"20");
    shown.Click(IDOK);
    EXPECT_EQ(told, L"Enter an integer between 50 and 10000.");
    // The abort options exclude each other.
    shown.Click(IDC_TC_ABORT_MOVE);
    shown.Click(IDC_TC_ABORT2_MOVE);
    EXPECT_EQ(::IsDlgButtonChecked(shown.window, IDC_TC_ABORT_MOVE), UINT{BST_UNCHECKED});
}

TEST(MovementToScrollEditor, StickyTakesThePickerAwayAndSensitivityIsChecked)
{
    std::wstring told;
    ScopedMessageBoxHandler boxes([&](const MessageBoxRequest& request) {
        told = request.text;
        return IDOK;
    });
    CMovement2Scroll options;
    Shown<CMovement2ScrollDlg> shown(&options, Middle, Context(), nullptr);
    ASSERT_TRUE(shown.Open());
    EXPECT_EQ(TextOf(shown.window, IDC_MS_VERTICAL), L"5");
    EXPECT_EQ(::IsDlgButtonChecked(shown.window, IDC_MS_LOCK_NONE), UINT{BST_CHECKED});
    EXPECT_EQ(::SendDlgItemMessageW(shown.window, IDC_ROW_PICKER, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(L"Change Movement to Scroll")),
              CB_ERR);
    shown.Click(IDC_MS_STICKY);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(shown.window, IDC_ROW_PICKER)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(shown.window, IDC_MS_STICKY_BLOCK)));
    shown.Click(IDC_MS_STICKY);
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(shown.window, IDC_ROW_PICKER)));
    ::SetDlgItemTextW(shown.window, IDC_MS_VERTICAL, L"41");
    shown.Click(IDOK);
    EXPECT_EQ(told, L"Enter an integer between 1 and 40.");
    EXPECT_EQ(options.getSensitivityY(), 5);  // nothing written before OK succeeds
}

// What the three editors configure, working in the running program.
class EditedActions : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_program.Prepare())
            GTEST_SKIP() << "Brindlemap.exe is not built beside the tests";
    }

    void Run(CSettings& settings)
    {
        ASSERT_TRUE(m_program.WriteSettings(settings));
        ASSERT_TRUE(m_program.Start(L""));
        ASSERT_NE(m_program.WaitForMainWindow(), nullptr) << m_program.Log();
        m_probe = std::make_unique<brmptest::Probe>();
        ASSERT_TRUE(m_probe->Start());
        m_at = m_probe->Center();
        ASSERT_TRUE(PhysicalInput::MoveTo(m_at.x, m_at.y));
    }

    programtest::ProgramCopy m_program{L"brmp-editors"};
    std::unique_ptr<brmptest::Probe> m_probe;
    POINT m_at{};
};

TEST_F(EditedActions, ChordsAndHeldButtonsConfiguredInTheEditorsWork)
{
    Shown<CButtonChording> chords(XLeft, Context(), nullptr, false, nullptr);
    ASSERT_TRUE(chords.Open());
    {
        KeyEditorAnswer answer(L"Simulated Keystrokes - Right Button", L"chord");
        Choose(chords.window, Right, L"Simulated Keys");
        ASSERT_TRUE(answer.Answered());
    }
    chords.Click(IDOK);

    Shown<CButtonPressDlg> held(XRight, Context(), nullptr, false, nullptr);
    ASSERT_TRUE(held.Open());
    {
        KeyEditorAnswer answer(L"Simulated Keystrokes - Normal Click", L"short");
        Choose(held.window, 0, L"Simulated Keys");
        ASSERT_TRUE(answer.Answered());
    }
    held.Click(IDC_TC_HELD1);
    ::SetDlgItemTextW(held.window, IDC_TC_TIME1, L"600");
    {
        KeyEditorAnswer answer(L"Simulated Keystrokes - Held for 600 ms", L"long");
        Choose(held.window, 1, L"Simulated Keys");
        ASSERT_TRUE(answer.Answered());
    }
    programtest::SaveScreenshot(L"action-editors.png");
    held.Click(IDOK);

    CSettings settings(false, GetStartupMouseInfo());
    CApplicationSettings* profile = settings.GetDefaultApp();
    ASSERT_NE(profile, nullptr);
    profile->SetActions(XLeft, 0, ACTION_BUTTON_CHORDING);
    profile->CopyChords(XLeft, 0, &chords.editor.Result());
    profile->SetActions(XRight, 0, ACTION_BUTTON_HELD);
    profile->CopyTimedClicks(XRight, 0, &held.editor.Result());
    ASSERT_NO_FATAL_FAILURE(Run(settings));

    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kBack));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kBack));
    EXPECT_TRUE(brmptest::WaitFor([&] { return TypedText(*m_probe) == L"chord"; }, 10000)) << m_probe->Describe();
    EXPECT_TRUE(m_probe->Records(brmptest::Named(L"WM_RBUTTONDOWN")).empty()) << m_probe->Describe();
    EXPECT_TRUE(m_probe->Records(brmptest::Named(L"WM_XBUTTONDOWN")).empty()) << m_probe->Describe();

    m_probe->Clear();
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kForward));
    EXPECT_TRUE(brmptest::WaitFor([&] { return TypedText(*m_probe) == L"short"; }, 10000)) << m_probe->Describe();

    m_probe->Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kForward));
    // Held past the 600 ms of the second entry: its keys come while the button is down.
    EXPECT_TRUE(brmptest::WaitFor([&] { return TypedText(*m_probe) == L"long"; }, 10000)) << m_probe->Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kForward));
}

TEST_F(EditedActions, MovementToScrollConfiguredInTheEditorScrollsWhileTheButtonIsHeld)
{
    CMovement2Scroll options;
    Shown<CMovement2ScrollDlg> shown(&options, Middle, Context(), nullptr);
    ASSERT_TRUE(shown.Open());
    ::SetDlgItemTextW(shown.window, IDC_MS_VERTICAL, L"10");
    shown.Click(IDOK);
    ASSERT_EQ(options.getSensitivityY(), 10);

    CSettings settings(false, GetStartupMouseInfo());
    CApplicationSettings* profile = settings.GetDefaultApp();
    ASSERT_NE(profile, nullptr);
    profile->SetActions(Middle, 0, ACTION_MOVEMENT_TO_SCROLL);
    profile->SetMovement2Scroll(Middle, 0, &options);
    ASSERT_NO_FATAL_FAILURE(Run(settings));

    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    for (int step = 0; step < 6; ++step)
        ASSERT_TRUE(PhysicalInput::MoveBy(0, 15));
    EXPECT_TRUE(m_probe->WaitForRecord(brmptest::Named(L"WM_MOUSEWHEEL"), 10000)) << m_probe->Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    EXPECT_TRUE(m_probe->Records(brmptest::Named(L"WM_MBUTTONDOWN")).empty()) << m_probe->Describe();
}
