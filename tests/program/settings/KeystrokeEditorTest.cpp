// The keystroke editor: the rules of its tag vocabulary and key capture as plain
// functions, the dialog driven as a user drives it (clicks, menu commands, keys
// from xdotool while the capture button is held). The editor opened from the
// running program's settings dialog is driven with the layer pages.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>
#include <set>
#include <string>

#include "Control.h"
#include "CustomKey.h"
#include "FrameworkTestSupport.h"
#include "KeyTagTable.h"
#include "MessageBox.h"
#include "OSVersion.h"
#include "PhysicalInput.h"
#include "PressedButton.h"
#include "Probe.h"
#include "ProgramResources.h"
#include "ProgramRunner.h"
#include "WaitFor.h"
#include "resource.h"

using brmptest::PhysicalInput;

namespace
{
std::wstring TextOf(HWND window, int id = 0)
{
    wchar_t text[1024] = {};
    if (id)
        ::GetDlgItemTextW(window, id, text, 1024);
    else
        ::GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring SelectedMethodText(HWND dialog)
{
    HWND combo = ::GetDlgItem(dialog, IDC_CK_SEND_METHOD);
    const LRESULT position = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (position == CB_ERR)
        return L"(none)";
    wchar_t text[256] = {};
    ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text));
    return text;
}

bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

// An editor shown modeless in the test process, as a launcher would open it.
struct OpenEditor
{
    explicit OpenEditor(int method, bool sticky = true, bool defaultProfile = false, std::wstring title = L"Left Button")
        : editor(std::move(title), L"abc", method, 0, true, defaultProfile, true, false, false, L"", sticky, nullptr)
    {
    }
    bool Open()
    {
        if (!resources.Loaded() || !editor.Create(static_cast<HWND>(nullptr)))
            return false;
        window = editor.GetSafeHwnd();
        ::ShowWindow(window, SW_SHOW);
        framework_test::PumpPending();
        // Clicks and keys reach the editor once Wine has mapped it and given it the X input focus.
        return PhysicalInput::PrepareForInput(window);
    }
    ~OpenEditor()
    {
        if (::IsWindow(window))
            ::DestroyWindow(window);
    }
    void Ok() { ::SendMessageW(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0); }
    void Menu(int command) { ::SendMessageW(window, WM_COMMAND, static_cast<WPARAM>(command), 0); }

    brmptest::ProgramResources resources;
    CCustomKey editor;
    HWND window = nullptr;
};

// Lets go of what a test holds down, so that a failed step cannot leave the
// left button or a key pressed for the tests after it.
struct ReleasedAtEnd
{
    ~ReleasedAtEnd()
    {
        if (::testing::Test::HasFailure())
            PhysicalInput::Run({L"keyup", L"Escape", L"keyup", L"Control_L", L"mouseup", L"1"});
    }
};

// A second press on the same spot within the double-click time arrives as a
// double click. A quick user's second press must work all the same: with a long
// double-click time every second press of a test is one.
struct LongDoubleClickTime
{
    LongDoubleClickTime() { ::SystemParametersInfoW(SPI_SETDOUBLECLICKTIME, 10000, nullptr, 0); }
    ~LongDoubleClickTime() { ::SystemParametersInfoW(SPI_SETDOUBLECLICKTIME, saved, nullptr, 0); }
    LongDoubleClickTime(const LongDoubleClickTime&) = delete;
    LongDoubleClickTime& operator=(const LongDoubleClickTime&) = delete;
    const UINT saved = ::GetDoubleClickTime();
};

POINT CentreOf(HWND control)
{
    RECT rect{};
    ::GetWindowRect(control, &rect);
    // Left of centre: a split button's arrow sits on its right.
    return {rect.left + (rect.right - rect.left) / 3, (rect.top + rect.bottom) / 2};
}
} // namespace

TEST(KeyTags, ReportedKeysMenuCommandsAndHeldKeysFindTheirTags)
{
    struct Reported
    {
        int key;
        bool extended;
        const wchar_t* tag;  // null: no row
    };
    for (const Reported& r : {Reported{0xA2, false, L"CTRL"}, Reported{0xA3, true, L"RCTRL"},
                              Reported{0xA5, true, L"ALTGR"}, Reported{0x0D, true, L"NUMENTER"},
                              Reported{0x0D, false, L"RETURN"}, Reported{0x5B, true, L"LWIN"},
                              Reported{0x5C, true, L"RWIN"}, Reported{0x12, true, L"RALT"}, Reported{0, false, nullptr},
                              Reported{255, false, nullptr}, Reported{0x01, false, nullptr},
                              Reported{0x06, false, nullptr}, Reported{0x41, false, nullptr}})
    {
        SCOPED_TRACE(r.key);
        const auto tag = TagForReportedKey(r.key, r.extended);
        EXPECT_EQ(tag.has_value(), r.tag != nullptr);
        if (tag && r.tag)
        {
            EXPECT_EQ(*tag, r.tag);
        }
    }
    EXPECT_EQ(JoinTags(TagsForCommand(525)), L"{NUMENTER}");
    EXPECT_EQ(JoinTags(TagsForCommand(269)), L"{RETURN}");
    EXPECT_EQ(JoinTags(TagsForCommand(421)), L"{ALTGR}");
    EXPECT_EQ(JoinTags(TagsForCommand(4153)), L"{LAYER:10}");
    EXPECT_EQ(JoinTags(TagsForCommand(1030)), L"{MB5U}");
    EXPECT_TRUE(TagsForCommand(1081).empty());

    auto held = [](std::set<int> down) {
        return JoinTags(HeldKeyTags([&](int key) { return down.count(key) != 0; }));
    };
    EXPECT_EQ(held({0x11, 0xA2, 0x74}), L"{CTRL}{F5}");
    EXPECT_EQ(held({0x10, 0xA1}), L"{RSHIFT}");
    // AltGr brings Ctrl and Alt along: neither doubles it, nor does a key held with it.
    EXPECT_EQ(held({0xA5, 0x12, 0x11, 0xA2, 0x74}), L"{ALTGR}");
    // Enter is only ever reported by the hook.
    EXPECT_EQ(held({0x0D}), L"");
    EXPECT_EQ(held({}), L"");
}

TEST(KeyTags, TagsGoInAtTheCaretButNeverInsideEmptyBraces)
{
    TagInsertion r = InsertTagText(L"abc", 3, 3, L"{}");
    EXPECT_EQ(r.text, L"abc{}");
    EXPECT_EQ(r.caret, 4);
    r = InsertTagText(r.text, r.caret, r.caret, L"{ESC}");
    EXPECT_EQ(r.text, L"abc{}{ESC}");
    EXPECT_EQ(r.caret, 10);
    // A selection is not replaced; a caret beyond the text (or before it) is held to it.
    EXPECT_EQ(InsertTagText(L"abc", 1, 3, L"{TAB}").text, L"a{TAB}bc");
    EXPECT_EQ(InsertTagText(L"{}", 5, 5, L"{TAB}").text, L"{}{TAB}");
    EXPECT_EQ(InsertTagText(L"}", 0, 0, L"{TAB}").text, L"{TAB}}");
    EXPECT_EQ(InsertTagText(L"", -3, -3, L"x").text, L"x");
}

TEST(KeyCapture, EachKeyIsReportedOnceAndOnlyTheKeysWindowsActsOnAreSwallowed)
{
    struct Event
    {
        DWORD key;
        bool up;
        bool windowsDown = false;
    };
    KeyCaptureState state;
    // One letter pair per event, in order: R reported or -, S swallowed or p passed on.
    auto run = [&](std::initializer_list<Event> events) {
        std::string seen;
        for (const Event& e : events)
        {
            const KeyCaptureDecision d = DecideCapturedKey(state, e.key, e.up, e.windowsDown);
            seen += d.report ? "R" : "-";
            seen += d.swallow ? "S" : "p";
        }
        return seen;
    };
    // Left Ctrl: its repeats say nothing, its release reports it.
    EXPECT_EQ(run({{VK_LCONTROL, false}, {VK_LCONTROL, false}, {VK_LCONTROL, true}}), "-S-SRS");
    // AltGr: left Ctrl down, right Alt down, left Ctrl up, right Alt up: only the right Alt.
    EXPECT_EQ(run({{VK_LCONTROL, false}, {VK_RMENU, false}, {VK_LCONTROL, true}, {VK_RMENU, true}}), "-SRS-S-S");
    // Volume up: once until released.
    EXPECT_EQ(run({{VK_VOLUME_UP, false}, {VK_VOLUME_UP, false}, {VK_VOLUME_UP, true}, {VK_VOLUME_UP, false}}),
              "RS-S-SRS");
    state.Clear();
    EXPECT_EQ(run({{VK_F5, false}, {VK_F5, true}}), "-p-p");
    // With a Windows key down a letter would be a shell shortcut.
    EXPECT_EQ(run({{VK_LWIN, false}, {'A', false}, {'A', true}}), "RS-S-S");
    state.Clear();
    EXPECT_EQ(run({{'A', false, true}}), "-S");
}

TEST(KeystrokeEditor, OpensWithTheStoredValuesAndKeepsWhatItCannotShow)
{
    ScopedMessageBoxHandler noBoxes([](const MessageBoxRequest&) { return IDOK; });
    struct MethodCase
    {
        int stored;
        bool sticky;
        const wchar_t* shown;
        bool repeatEnabled;
        int saved;
    };
    for (const MethodCase& c : {MethodCase{7, false, L"6 Repeatedly while the button is down", true, 5},
                                MethodCase{8, false, L"9 As mouse button is pressed & when released", false, 8},
                                MethodCase{6, true, L"7 Sticky (repeatedly until button is pressed again)", true, 6},
                                MethodCase{12, true, L"(none)", false, 12}})
    {
        SCOPED_TRACE(c.stored);
        OpenEditor open(c.stored, c.sticky);
        ASSERT_TRUE(open.Open());
        EXPECT_EQ(SelectedMethodText(open.window), c.shown);
        EXPECT_EQ(Enabled(open.window, IDC_CK_REPEAT_DELAY), c.repeatEnabled);
        open.Ok();
        EXPECT_EQ(open.editor.SendMethod(), c.saved);
    }

    OpenEditor forDefault(0, true, true);
    ASSERT_TRUE(forDefault.Open());
    EXPECT_EQ(TextOf(forDefault.window), L"Simulated Keystrokes - Left Button");
    EXPECT_FALSE(Enabled(forDefault.window, IDC_CK_ONLY_ACTIVE));
    EXPECT_FALSE(Enabled(forDefault.window, IDC_CK_BLOCK_IF_ACTIVE));
    forDefault.Ok();
    EXPECT_FALSE(forDefault.editor.OnlyWhenActive());

    OpenEditor untitled(0, true, false, L"");
    ASSERT_TRUE(untitled.Open());
    EXPECT_EQ(TextOf(untitled.window), L"Simulated Keystrokes");
    // The two blocking options exclude each other.
    HWND w = untitled.window;
    ::SendMessageW(::GetDlgItem(w, IDC_CK_BLOCK_IF_ACTIVE), BM_CLICK, 0, 0);
    EXPECT_EQ(::IsDlgButtonChecked(w, IDC_CK_BLOCK_MOUSE), UINT{BST_UNCHECKED});
    ::SendMessageW(::GetDlgItem(w, IDC_CK_BLOCK_MOUSE), BM_CLICK, 0, 0);
    EXPECT_EQ(::IsDlgButtonChecked(w, IDC_CK_BLOCK_IF_ACTIVE), UINT{BST_UNCHECKED});
    ::SendMessageW(::GetDlgItem(w, IDC_CK_BLOCK_MOUSE), BM_CLICK, 0, 0);
    EXPECT_EQ(::IsDlgButtonChecked(w, IDC_CK_BLOCK_IF_ACTIVE), UINT{BST_UNCHECKED});
}

TEST(KeystrokeEditor, ClicksAndMenuCommandsPutTagsAtTheCaret)
{
    OpenEditor open(0);
    ASSERT_TRUE(open.Open());
    HWND edit = ::GetDlgItem(open.window, IDC_CK_KEYS);
    ::SendMessageW(edit, EM_SETSEL, 3, 3);
    // A short click of the capture button with no key held.
    ::SendMessageW(::GetDlgItem(open.window, IDC_CK_CAPTURE), BM_CLICK, 0, 0);
    EXPECT_EQ(TextOf(open.window, IDC_CK_KEYS), L"abc{}");
    EXPECT_FALSE(CPressedButton::IsCapturing());
    open.Menu(283);  // "&Escape"
    EXPECT_EQ(TextOf(open.window, IDC_CK_KEYS), L"abc{}{ESC}");
    // In the middle of the text.
    ::SendMessageW(edit, EM_SETSEL, 1, 1);
    open.Menu(4144);  // "Layer &1"
    EXPECT_EQ(TextOf(open.window, IDC_CK_KEYS), L"a{LAYER:1}bc{}{ESC}");
    DWORD start = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    EXPECT_EQ(start, DWORD{10});
    // A control's click whose id falls among the tag commands is no tag.
    ::SendMessageW(open.window, WM_COMMAND, MAKEWPARAM(IDC_CK_RANDOMISE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(open.window, IDC_CK_RANDOMISE)));
    EXPECT_EQ(TextOf(open.window, IDC_CK_KEYS), L"a{LAYER:1}bc{}{ESC}");
}

TEST(KeystrokeEditor, TheDropDownArrowOrBeforeVistaARightClickOpensTheTagMenuWithoutCapturingOrClicking)
{
    // Split buttons came with Vista: before it the capture button is a plain
    // one whose right click opens the menu.
    struct Case
    {
        _ActionOSVersion system;
        bool split;
        int button;
    } const cases[] = {{ActionOS_Win10, true, PhysicalInput::kLeft}, {ActionOS_WinXP, false, PhysicalInput::kRight}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.split ? "split button" : "plain button");
        PinOSVersion(c.system);
        OpenEditor open(0);
        const bool opened = open.Open();
        UnpinOSVersion();
        ASSERT_TRUE(opened);
        HWND window = open.window;
        HWND button = ::GetDlgItem(window, IDC_CK_CAPTURE);
        const LONG_PTR type = ::GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK;
        ASSERT_EQ(type == BS_SPLITBUTTON, c.split) << "style type " << type;
        ::SendDlgItemMessageW(window, IDC_CK_KEYS, EM_SETSEL, 1, 1);
        // Answers the menu the way a user does from the keyboard: Standard Keys, Escape.
        std::atomic<bool> chosen{false};
        std::thread user([&] {
            const DWORD self = ::GetCurrentProcessId();
            auto menuOpen = [&] {
                for (HWND menu = nullptr; (menu = ::FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr;)
                {
                    DWORD pid = 0;
                    ::GetWindowThreadProcessId(menu, &pid);
                    if (pid == self && ::IsWindowVisible(menu))
                        return true;
                }
                return false;
            };
            if (brmptest::WaitFor(menuOpen))
                chosen = PhysicalInput::KeyTap(L"s") && PhysicalInput::KeyTap(L"e");
        });
        RECT rect{};
        ::GetWindowRect(button, &rect);
        // The arrow of a split button sits at its right end.
        const int x = c.split ? rect.right - 4 : (rect.left + rect.right) / 2;
        const bool clicked = PhysicalInput::ClickAt(x, (rect.top + rect.bottom) / 2, c.button);
        brmptest::WaitFor([&] { return chosen.load() && TextOf(window, IDC_CK_KEYS) != L"abc"; });
        user.join();
        ASSERT_TRUE(clicked);
        EXPECT_TRUE(chosen);
        EXPECT_EQ(TextOf(window, IDC_CK_KEYS), L"a{ESC}bc");
        EXPECT_FALSE(CPressedButton::IsCapturing());
    }
}

TEST(KeystrokeEditor, ARefusedRepeatDelayKeepsTheEditorOpenAndFollowingTheCursor)
{
    std::wstring told;
    ScopedMessageBoxHandler boxes([&](const MessageBoxRequest& request) {
        told = request.text;
        return IDOK;
    });
    OpenEditor open(5);
    ASSERT_TRUE(open.Open());
    ::SetDlgItemTextW(open.window, IDC_CK_REPEAT_DELAY, L"300001");
    open.Ok();
    EXPECT_EQ(told, L"Auto repeat delay\n\nEnter an integer between 0 and 300000.");
    EXPECT_TRUE(::IsWindowVisible(open.window));
    // The position box still follows the pointer.
    ASSERT_TRUE(PhysicalInput::MoveTo(311, 222));
    EXPECT_TRUE(brmptest::WaitFor([&] { return TextOf(open.window, IDC_CK_CURSOR_POS).rfind(L"311,222", 0) == 0; }))
        << TextOf(open.window, IDC_CK_CURSOR_POS);
}

TEST(KeystrokeEditor, ThePositionPickerHidesTheEditorOnlyWhilePicking)
{
    ReleasedAtEnd released;
    LongDoubleClickTime quickUser;
    // An Escape pressed before the pick, here or in any other program, is no
    // reason to abandon it.
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Escape"));
    OpenEditor open(0);
    ASSERT_TRUE(open.Open());
    HWND window = open.window;
    ::SetForegroundWindow(window);
    RECT picker{};
    ::GetWindowRect(::GetDlgItem(window, IDC_CK_PICKER), &picker);
    const int x = (picker.left + picker.right) / 2;
    const int y = (picker.top + picker.bottom) / 2;
    auto visible = [&] { return ::IsWindowVisible(window) != FALSE; };

    // Escape abandons the pick: the editor comes back at once, button still down.
    ASSERT_TRUE(PhysicalInput::MoveTo(x, y));
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kLeft));
    ASSERT_TRUE(brmptest::WaitFor([&] { return !visible(); }));
    ASSERT_TRUE(PhysicalInput::KeyDown(L"Escape"));
    EXPECT_TRUE(brmptest::WaitFor(visible));
    ASSERT_TRUE(PhysicalInput::KeyUp(L"Escape"));
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kLeft));
    ASSERT_TRUE(brmptest::WaitFor(visible));

    // A pick: press (soon after the first, a double click), move, release; the
    // position is shown selected and copied.
    ASSERT_TRUE(PhysicalInput::MoveTo(x, y));
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kLeft));
    ASSERT_TRUE(brmptest::WaitFor([&] { return !visible(); }));
    ASSERT_TRUE(PhysicalInput::MoveTo(123, 234));
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kLeft));
    ASSERT_TRUE(brmptest::WaitFor(visible));
    EXPECT_EQ(TextOf(window, IDC_CK_CURSOR_POS).rfind(L"123,234", 0), 0u) << TextOf(window, IDC_CK_CURSOR_POS);
    DWORD start = 1;
    DWORD end = 0;
    ::SendDlgItemMessageW(window, IDC_CK_CURSOR_POS, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                          reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, DWORD{0});
    EXPECT_EQ(end, DWORD{7});
    std::wstring copied;
    if (::OpenClipboard(window))
    {
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT))
        {
            copied = static_cast<const wchar_t*>(::GlobalLock(data));
            ::GlobalUnlock(data);
        }
        ::CloseClipboard();
    }
    EXPECT_EQ(copied, L"123,234");
}

TEST(KeystrokeEditor, HoldingTheCaptureButtonTurnsKeysIntoTagsAndItsHookGoesWithTheEditor)
{
    ReleasedAtEnd released;
    LongDoubleClickTime quickUser;
    auto editor = std::make_unique<OpenEditor>(0);
    ASSERT_TRUE(editor->Open());
    HWND window = editor->window;
    ::SetForegroundWindow(window);
    ::SetDlgItemTextW(window, IDC_CK_KEYS, L"");
    const POINT button = CentreOf(::GetDlgItem(window, IDC_CK_CAPTURE));

    // Hold the button, press and release Ctrl, release the button.
    ASSERT_TRUE(PhysicalInput::MoveTo(button.x, button.y));
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kLeft));
    ASSERT_TRUE(brmptest::WaitFor([] { return CPressedButton::IsCapturing(); }));
    ASSERT_TRUE(PhysicalInput::KeyDown(L"Control_L"));
    ASSERT_TRUE(PhysicalInput::KeyUp(L"Control_L"));
    EXPECT_TRUE(brmptest::WaitFor([&] { return TextOf(window, IDC_CK_KEYS) == L"{CTRL}"; }))
        << TextOf(window, IDC_CK_KEYS);
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kLeft));
    EXPECT_TRUE(brmptest::WaitFor([] { return !CPressedButton::IsCapturing(); }));
    programtest::SaveScreenshot(L"keystroke-editor.png");

    // Held again (a double click), the editor goes (as when the program exits):
    // its hook goes too.
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kLeft));
    ASSERT_TRUE(brmptest::WaitFor([] { return CPressedButton::IsCapturing(); }));
    editor.reset();
    EXPECT_FALSE(CPressedButton::IsCapturing());
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kLeft));

    brmptest::Probe probe;
    ASSERT_TRUE(probe.Start());
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Escape"));
    EXPECT_TRUE(probe.WaitForRecord(brmptest::Named(L"WM_KEYDOWN", L"vk", VK_ESCAPE))) << probe.Describe();
}
