// The chord, timed-click and movement-to-scroll editors driven as a user drives
// them (pickers chosen, boxes ticked, the editors they open answered), and what
// they configure in the real program's settings dialog working after Apply.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "ActionData.h"
#include "ActionList.h"
#include "ApplicationSettings.h"
#include "ButtonChording.h"
#include "ButtonPressDlg.h"
#include "Control.h"
#include "CustomActionEditors.h"
#include "FrameworkTestSupport.h"
#include "MessageBox.h"
#include "Movement2Scroll.h"
#include "Movement2ScrollDlg.h"
#include "OSVersion.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramResources.h"
#include "ProgramRunner.h"
#include "SetupDialogDriver.h"
#include "Settings.h"
#include "VComboBox.h"
#include "WaitFor.h"
#include "resource.h"

using brmptest::PhysicalInput;

namespace
{
// The action list of a settings dialog, in its functional order.
const EditorActionList& Actions()
{
    static const EditorActionList list = [] {
        CActionList actions = BuildActionList(nullptr);
        SortActionList(actions, false);
        EditorActionList pairs;
        for (const ActionListEntry& entry : actions)
            pairs.emplace_back(entry.name, entry.action);
        return pairs;
    }();
    return list;
}

ActionEditorContext Context(int osVersion = ActionOS_Win10)
{
    ActionEditorContext context;
    context.actions = &Actions();
    context.osVersion = osVersion;
    return context;
}

// Messages that also reach a window of another process, never waiting on a hung one.
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    Send(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring TextOf(HWND dialog, int id) { return TextOf(::GetDlgItem(dialog, id)); }

// Selects a picker's item by its text as the list does before it reports a
// choice; its index, or -1 (the selection then goes back where it was).
int Select(HWND picker, const std::wstring& item)
{
    const LRESULT before = Send(picker, VCB_GETCURSEL);
    const int count = static_cast<int>(Send(picker, VCB_GETCOUNT));
    for (int index = 0; index < count; ++index)
    {
        Send(picker, VCB_SETCURSEL, static_cast<WPARAM>(index));
        // An action that carries data shows it after its name ("Simulated Keys: (undefined)").
        const std::wstring shown = TextOf(picker);
        if (shown == item || shown.starts_with(item + L": "))
            return index;
    }
    Send(picker, VCB_SETCURSEL, static_cast<WPARAM>(before));
    return -1;
}

// A user's choice in a picker: the selection, then the notification its
// dialog acts on. Posted when the choice opens an editor in another process.
::testing::AssertionResult Choose(HWND picker, const std::wstring& item, bool post = false)
{
    if (Select(picker, item) < 0)
        return ::testing::AssertionFailure() << "no item " << testing::PrintToString(item);
    const WPARAM command = MAKEWPARAM(::GetDlgCtrlID(picker), CBN_SELCHANGE);
    if (post)
        ::PostMessageW(::GetParent(picker), WM_COMMAND, command, reinterpret_cast<LPARAM>(picker));
    else
        ::SendMessageW(::GetParent(picker), WM_COMMAND, command, reinterpret_cast<LPARAM>(picker));
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Choose(HWND dialog, int row, const std::wstring& item)
{
    return Choose(::GetDlgItem(dialog, IDC_ROW_PICKER + row), item);
}

bool Offers(HWND dialog, int row, const std::wstring& item)
{
    HWND picker = ::GetDlgItem(dialog, IDC_ROW_PICKER + row);
    const LRESULT before = Send(picker, VCB_GETCURSEL);
    const bool found = Select(picker, item) >= 0;
    Send(picker, VCB_SETCURSEL, static_cast<WPARAM>(before));
    return found;
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
        // Into the keys box as a user gets there: a click, once the new editor takes input.
        if (!PhysicalInput::PrepareForInput(editor))
            return;
        RECT box{};
        ::GetWindowRect(edit, &box);
        if (!PhysicalInput::ClickAt((box.left + box.right) / 2, (box.top + box.bottom) / 2, PhysicalInput::kLeft))
            return;
        if (!brmptest::WaitFor([&] { return ::GetForegroundWindow() == editor; }) || !PhysicalInput::Type(keys))
            return;
        brmptest::WaitFor([&] { return TextOf(edit) == keys; });
        m_answered = TextOf(edit) == keys;
        ::PostMessageW(editor, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(::GetDlgItem(editor, IDOK)));
    }

    std::atomic<bool> m_answered{false};
    std::thread m_thread;
};

// The program and folder editors answered by the test.
class ScriptedPaths : public ICustomActionEditors
{
public:
    ScriptedPaths() : m_previous(ICustomActionEditors::Set(this)) {}
    ~ScriptedPaths() override { ICustomActionEditors::Set(m_previous); }

    EditorOutcome EditApplication(HWND, std::wstring& path) override { return Answer(L"program", path); }
    EditorOutcome BrowseFolder(HWND, std::wstring& path) override { return Answer(L"folder", path); }

    EditorOutcome outcome = EditorOutcome::kCancelled;
    std::wstring answer;
    std::wstring asked;

private:
    EditorOutcome Answer(const wchar_t* what, std::wstring& path)
    {
        asked += std::wstring(what) + L"[" + path + L"] ";
        if (outcome == EditorOutcome::kConfirmed)
            path = answer;
        return outcome;
    }
    ICustomActionEditors* m_previous;
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
    HWND Picker(int row) const { return ::GetDlgItem(window, IDC_ROW_PICKER + row); }
    bool EditEnabled(int row) const { return ::IsWindowEnabled(::GetDlgItem(window, IDC_ROW_EDIT + row)) != FALSE; }

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

TEST(ChordEditor, OkKeepsWhatNoPickerCouldShowAndNeverTouchesTheCallersSet)
{
    CBRMPChords stored;
    CBRMPChord layer;
    layer.SetAction(54);  // a layer change: no editor's picker offers it
    stored.SetChord(Middle, layer);
    Shown<CButtonChording> shown(XLeft, Context(), &stored, false, nullptr);
    ASSERT_TRUE(shown.Open());
    EXPECT_EQ(TextOf(shown.window, IDC_ROW_LABEL + XLeft), L"&Default (No Chord)");
    EXPECT_EQ(TextOf(shown.window, IDC_CH_UNBLOCK_TIME), L"750");
    EXPECT_EQ(TextOf(shown.Picker(Right)), L"** No Change (Don't intercept) **");
    // Delay off: the unblock options go with it.
    shown.Click(IDC_CH_DELAY);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(shown.window, IDC_CH_UNBLOCK_TIME)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(shown.window, IDC_CH_UNBLOCK_MOVE)));
    ASSERT_TRUE(Choose(shown.window, Left, L"Disable"));
    shown.Click(IDOK);
    const CBRMPChords& result = shown.editor.Result();
    EXPECT_EQ(result.GetChord(Left)->GetAction(), 6);
    EXPECT_EQ(result.GetChord(Middle)->GetAction(), 54);
    EXPECT_FALSE(result.DelayUntilChordKnown());
    EXPECT_EQ(stored.GetChord(Left)->GetAction(), 40);  // the caller's set is a different object
    EXPECT_TRUE(stored.DelayUntilChordKnown());
}

TEST(ChordEditor, TheLayoutFollowsTheQuillonModeAndTheWindowsVersion)
{
    Shown<CButtonChording> quillon(Left, Context(), nullptr, true, nullptr);
    ASSERT_TRUE(quillon.Open());
    EXPECT_EQ(quillon.Picker(TiltRight), nullptr);
    EXPECT_EQ(TextOf(quillon.window, IDC_ROW_LABEL + TiltLeft), L"Middle Button &2");
    ASSERT_TRUE(Choose(quillon.window, WheelDown, L"Disable"));
    quillon.Click(IDOK);
    EXPECT_EQ(quillon.editor.Result().GetChord(WheelDown)->GetAction(), 6);

    Shown<CButtonChording> xp(Right, Context(ActionOS_WinXP), nullptr, false, nullptr);
    ASSERT_TRUE(xp.Open());
    EXPECT_EQ(TextOf(xp.window), L"Button Chording - Right Button");
    EXPECT_FALSE(::IsWindowEnabled(xp.Picker(TiltLeft)));
    EXPECT_FALSE(::IsWindowEnabled(xp.Picker(TiltRight)));
    EXPECT_TRUE(::IsWindowEnabled(xp.Picker(WheelUp)));
}

TEST(ChordEditor, TheWheelChangesNoDisabledPickerAndOpensNoEditor)
{
    Shown<CButtonChording> shown(Left, Context(ActionOS_WinXP), nullptr, false, nullptr);
    ASSERT_TRUE(shown.Open());
    HWND tilt = shown.Picker(TiltLeft);
    HWND wheel = shown.Picker(WheelUp);
    const LRESULT tiltBefore = Send(tilt, VCB_GETCURSEL);
    const int keys = Select(wheel, L"Simulated Keys");
    ASSERT_GT(keys, 0);
    Send(wheel, VCB_SETCURSEL, static_cast<WPARAM>(keys - 1));
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
    framework_test::PumpUntil([&] { return Send(wheel, VCB_GETCURSEL) == keys; }, 3000);
    framework_test::PumpPending();
    stop = true;
    closer.join();
    EXPECT_EQ(Send(tilt, VCB_GETCURSEL), tiltBefore);
    EXPECT_EQ(Send(wheel, VCB_GETCURSEL), keys);
    EXPECT_EQ(editorsOpened, 0);
    EXPECT_TRUE(shown.EditEnabled(WheelUp)) << "the chosen action has an editor";
}

TEST(ChordEditor, AnItemThatCarriesKeysKeepsItsEditButton)
{
    Shown<CButtonChording> shown(XLeft, Context(), nullptr, false, nullptr);
    ASSERT_TRUE(shown.Open());
    {
        KeyEditorAnswer answer(L"Simulated Keystrokes - Right Button", L"abc");
        ASSERT_TRUE(Choose(shown.window, Right, L"Simulated Keys"));
        EXPECT_TRUE(answer.Answered());
    }
    const std::wstring withKeys = TextOf(shown.Picker(Right));
    EXPECT_EQ(withKeys.rfind(L"Simulated Keys: ", 0), 0u) << testing::PrintToString(withKeys);
    EXPECT_TRUE(withKeys.ends_with(L"[abc]")) << testing::PrintToString(withKeys);
    EXPECT_TRUE(shown.EditEnabled(Right));
    ASSERT_TRUE(Choose(shown.window, Right, L"Left Click"));
    EXPECT_FALSE(shown.EditEnabled(Right));
    // Back to the keys it already carries: no editor opens, and the button stays.
    ASSERT_TRUE(Choose(shown.window, Right, withKeys));
    EXPECT_TRUE(shown.EditEnabled(Right));
}

TEST(ChordEditor, ProgramsAndFoldersAreAskedForAsOnTheLayerPage)
{
    ScriptedPaths paths;
    Shown<CButtonChording> shown(XLeft, Context(), nullptr, false, nullptr);
    ASSERT_TRUE(shown.Open());
    // Typed as a user picks an action by name.
    paths.outcome = EditorOutcome::kConfirmed;
    paths.answer = L"C:\\Tools\\calc.exe";
    ::SetFocus(shown.Picker(Middle));
    for (wchar_t c : std::wstring(L"run"))
        ::SendMessageW(shown.Picker(Middle), WM_CHAR, c, 0);
    EXPECT_EQ(paths.asked, L"program[] ");
    EXPECT_EQ(TextOf(shown.Picker(Middle)), L"Run Application: [C:\\Tools\\calc.exe]");
    EXPECT_TRUE(shown.EditEnabled(Middle));

    // Cancelled with nothing to keep: back to what the row stores.
    paths.outcome = EditorOutcome::kCancelled;
    ASSERT_TRUE(Choose(shown.window, WheelUp, L"Open Explorer at specified folder"));
    EXPECT_EQ(TextOf(shown.Picker(WheelUp)), L"** No Change (Don't intercept) **");
    // A folder without a file-system path: plain Explorer.
    paths.outcome = EditorOutcome::kConfirmed;
    paths.answer.clear();
    ASSERT_TRUE(Choose(shown.window, WheelDown, L"Open Explorer at specified folder"));
    EXPECT_EQ(TextOf(shown.Picker(WheelDown)), L"Open Explorer");
    programtest::SaveScreenshot(L"chord-editor.png");

    shown.Click(IDOK);
    const CBRMPChords& result = shown.editor.Result();
    EXPECT_EQ(result.GetChord(Middle)->GetAction(), 41);
    std::unique_ptr<CActionData> program(result.GetChord(Middle)->GetActionData());
    EXPECT_STREQ(program->GetApplication(), L"C:\\Tools\\calc.exe");
    EXPECT_EQ(result.GetChord(WheelUp)->GetAction(), 40);
    EXPECT_EQ(result.GetChord(WheelDown)->GetAction(), 30);
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
    EXPECT_EQ(TextOf(shown.Picker(0)), L"Left Click");
    EXPECT_FALSE(Offers(shown.window, 0, L"** No Change (Don't intercept) **"));
    shown.Click(IDC_TC_HELD1);
    shown.Click(IDC_TC_HELD3);
    ::SetDlgItemTextW(shown.window, IDC_TC_TIME1, L"800");
    ::SetDlgItemTextW(shown.window, IDC_TC_TIME3, L"800");
    shown.Click(IDOK);
    EXPECT_EQ(told, L"Held for time for action 4 must be greater than that for action 2.");
    EXPECT_TRUE(::IsWindowVisible(shown.window));
    // A ticked row's time beyond the range is refused by its field's name and row.
    ::SetDlgItemTextW(shown.window, IDC_TC_TIME3, L"900");
    ::SetDlgItemTextW(shown.window, IDC_TC_TIME1, L"20");
    shown.Click(IDOK);
    EXPECT_EQ(told, L"Held for (first row)\n\nEnter an integer between 50 and 10000.");
    EXPECT_TRUE(::IsWindowVisible(shown.window));
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
    EXPECT_FALSE(Offers(shown.window, 0, L"Change Movement to Scroll"));
    EXPECT_TRUE(Offers(shown.window, 0, L"** No Change (Don't intercept) **"));
    shown.Click(IDC_MS_STICKY);
    EXPECT_FALSE(::IsWindowEnabled(shown.Picker(0)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(shown.window, IDC_MS_STICKY_BLOCK)));
    shown.Click(IDC_MS_STICKY);
    EXPECT_TRUE(::IsWindowEnabled(shown.Picker(0)));
    ::SetDlgItemTextW(shown.window, IDC_MS_VERTICAL, L"41");
    shown.Click(IDOK);
    EXPECT_EQ(told, L"Vertical\n\nEnter an integer between 1 and 40.");
    EXPECT_EQ(options.getSensitivityY(), 5);  // nothing written before OK succeeds
}

// The editors opened from a layer page of the real program's settings dialog,
// and what they configure working after Apply.
class EditorsInTheSettingsDialog : public setuptest::SetupDialogTest
{
protected:
    EditorsInTheSettingsDialog() : SetupDialogTest(L"brmp-editors", L"/debug /setup") {}

    void Prepare(CSettings&) override { StartProbe(RECT{1010, 760, 1270, 990}); }

    // The picker of a button on the layer page shown.
    HWND LayerPicker(int button)
    {
        struct Search
        {
            int id;
            HWND found;
        } search{IDC_LAYER_PICKER_FIRST + button, nullptr};
        ::EnumChildWindows(
            m_dialog,
            [](HWND window, LPARAM context) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(context);
                wchar_t className[64] = {};
                ::GetClassNameW(window, className, 64);
                if (::GetDlgCtrlID(window) != s.id || !::IsWindowVisible(window) ||
                    std::wstring(className) != CVComboBox::ClassName())
                    return TRUE;
                s.found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    static HWND WaitForEditor(const wchar_t* title)
    {
        HWND editor = nullptr;
        brmptest::WaitFor(
            [&] { return (editor = ::FindWindowW(L"#32770", title)) != nullptr && ::IsWindowVisible(editor); }, 15000);
        return editor;
    }

    static ::testing::AssertionResult Confirm(HWND editor)
    {
        ::PostMessageW(editor, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(::GetDlgItem(editor, IDOK)));
        if (brmptest::WaitFor([&] { return !::IsWindow(editor); }, 10000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "still open: " << programtest::DescribeWindows();
    }

    // The keystroke editor a choice opened in the program, given its keys and confirmed.
    static ::testing::AssertionResult AnswerKeys(const wchar_t* title, const wchar_t* keys)
    {
        HWND editor = WaitForEditor(title);
        if (editor == nullptr)
            return ::testing::AssertionFailure() << "no keystroke editor: " << programtest::DescribeWindows();
        Send(::GetDlgItem(editor, IDC_CK_KEYS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(keys));
        return Confirm(editor);
    }

    // The program's own choice in an editor it shows: posted, as it may open another.
    static ::testing::AssertionResult ChooseIn(HWND editor, int row, const wchar_t* item)
    {
        return Choose(::GetDlgItem(editor, IDC_ROW_PICKER + row), item, true);
    }

    // A click as a hand makes it: the release comes in a later tick of the
    // clock than the one in which the engine took the press. A press and a
    // release that the engine takes in one tick have held the button for no
    // time at all, which chooses no entry of a held button's list.
    ::testing::AssertionResult ClickHeldButton(int xButton, const char* pressLine)
    {
        const auto presses = [&] {
            const std::string log = m_program.Log();
            std::size_t count = 0;
            for (std::size_t at = log.find(pressLine); at != std::string::npos; at = log.find(pressLine, at + 1))
                ++count;
            return count;
        };
        const std::size_t before = presses();
        if (auto down = PhysicalInput::ButtonDown(xButton); !down)
            return down;
        const bool taken = brmptest::WaitFor([&] { return presses() > before; }, 10000);
        const DWORD seen = ::GetTickCount();
        brmptest::WaitFor([&] { return ::GetTickCount() != seen; });
        if (auto up = PhysicalInput::ButtonUp(xButton); !up)
            return up;
        if (!taken)
            return ::testing::AssertionFailure() << "the engine never logged the press: " << pressLine;
        return ::testing::AssertionSuccess();
    }

    bool Applied()
    {
        const std::unique_ptr<CSettings> settings = Saved();
        const CApplicationSettings* profile = settings ? settings->GetDefaultApp() : nullptr;
        return profile != nullptr && profile->GetActions(XLeft, 0) == ACTION_BUTTON_CHORDING &&
               profile->GetActions(XRight, 0) == ACTION_BUTTON_HELD &&
               profile->GetActions(Middle, 0) == ACTION_MOVEMENT_TO_SCROLL;
    }
};

TEST_F(EditorsInTheSettingsDialog, ChordsHeldButtonsAndMovementToScrollWorkAfterApply)
{
    // Mouse button 4: chorded with the right button, typing "chord".
    ASSERT_TRUE(Choose(LayerPicker(XLeft), L"Button Chording", true)) << programtest::DescribeWindows();
    HWND chords = WaitForEditor(L"Button Chording - Mouse Button 4");
    ASSERT_NE(chords, nullptr) << programtest::DescribeWindows();
    ASSERT_TRUE(ChooseIn(chords, Right, L"Simulated Keys"));
    ASSERT_TRUE(AnswerKeys(L"Simulated Keystrokes - Right Button", L"chord"));
    programtest::SaveScreenshot(L"editors-chords.png");
    ASSERT_TRUE(Confirm(chords));

    // Mouse button 5: a click types "short", a hold of 600 ms or more "long".
    ASSERT_TRUE(Choose(LayerPicker(XRight), L"Button Held", true));
    HWND held = WaitForEditor(L"Button Held Time Dependent Actions");
    ASSERT_NE(held, nullptr) << programtest::DescribeWindows();
    ASSERT_TRUE(ChooseIn(held, 0, L"Simulated Keys"));
    ASSERT_TRUE(AnswerKeys(L"Simulated Keystrokes - Normal Click", L"short"));
    Send(::GetDlgItem(held, IDC_TC_HELD1), BM_CLICK);
    Send(::GetDlgItem(held, IDC_TC_TIME1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"600"));
    ASSERT_TRUE(ChooseIn(held, 1, L"Simulated Keys"));
    ASSERT_TRUE(AnswerKeys(L"Simulated Keystrokes - Held for 600 ms", L"long"));
    programtest::SaveScreenshot(L"editors-held.png");
    ASSERT_TRUE(Confirm(held));

    // The middle button: movement to scroll, as the editor opens.
    ASSERT_TRUE(Choose(LayerPicker(Middle), L"Change Movement to Scroll", true));
    HWND scroll = WaitForEditor(L"Movement to Scroll Configuration");
    ASSERT_NE(scroll, nullptr) << programtest::DescribeWindows();
    ASSERT_TRUE(Confirm(scroll));

    Apply();
    ASSERT_TRUE(Applied()) << m_program.Log();

    ASSERT_TRUE(m_probe->Activate());
    const POINT at = m_probe->Center();
    ASSERT_TRUE(PhysicalInput::MoveTo(at.x, at.y));
    // The engine takes the applied settings: a short click of button 5 types "short".
    m_probe->Clear();
    ASSERT_TRUE(ClickHeldButton(PhysicalInput::kForward, "Translating XRight Button Down"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return TypedText(*m_probe) == L"short"; }, 10000))
        << m_probe->Describe() << m_program.Log();

    m_probe->Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kBack));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kBack));
    EXPECT_TRUE(brmptest::WaitFor([&] { return TypedText(*m_probe) == L"chord"; }, 10000)) << m_probe->Describe();
    EXPECT_TRUE(m_probe->Records(brmptest::Named(L"WM_RBUTTONDOWN")).empty()) << m_probe->Describe();
    EXPECT_TRUE(m_probe->Records(brmptest::Named(L"WM_XBUTTONDOWN")).empty()) << m_probe->Describe();

    m_probe->Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kForward));
    // Held past the 600 ms of the second entry: its keys come while the button is down.
    EXPECT_TRUE(brmptest::WaitFor([&] { return TypedText(*m_probe) == L"long"; }, 10000)) << m_probe->Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kForward));

    m_probe->Clear();
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kMiddle));
    for (int step = 0; step < 6; ++step)
        ASSERT_TRUE(PhysicalInput::MoveBy(0, 15));
    EXPECT_TRUE(m_probe->WaitForRecord(brmptest::Named(L"WM_MOUSEWHEEL"), 10000)) << m_probe->Describe();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kMiddle));
    EXPECT_TRUE(m_probe->Records(brmptest::Named(L"WM_MBUTTONDOWN")).empty()) << m_probe->Describe();
}
