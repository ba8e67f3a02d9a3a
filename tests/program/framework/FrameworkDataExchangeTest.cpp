#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "DataExchange.h"
#include "Dialog.h"
#include "DialogTemplate.h"
#include "FrameworkTestSupport.h"
#include "FrameworkText.h"
#include "MessageBox.h"

namespace
{
constexpr int kDelayEdit = 1048;
constexpr int kNameEdit = 1182;
constexpr int kOption = 1081;
constexpr int kRadioFirst = 1269;
constexpr int kCombo = 1183;
constexpr int kRatioEdit = 1207;

CDialogTemplate EditorTemplate()
{
    CDialogTemplate t(L"Editor", WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 200, 140);
    t.AddControl(L"EDIT", L"", kDelayEdit, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 5, 5, 80, 12);
    t.AddControl(L"EDIT", L"", kNameEdit, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 5, 20, 80, 12);
    t.AddControl(L"BUTTON", L"Option", kOption, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 5, 35, 80, 10);
    t.AddControl(L"BUTTON", L"None", kRadioFirst, WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | WS_GROUP, 5, 50, 60, 10);
    t.AddControl(L"BUTTON", L"X", kRadioFirst + 1, WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 5, 62, 60, 10);
    t.AddControl(L"BUTTON", L"Y", kRadioFirst + 2, WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 5, 74, 60, 10);
    t.AddControl(L"COMBOBOX", L"", kCombo, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_GROUP, 100, 5, 80, 60);
    t.AddControl(L"EDIT", L"", kRatioEdit, WS_CHILD | WS_VISIBLE | WS_BORDER, 100, 35, 60, 12);
    t.AddControl(L"BUTTON", L"OK", IDOK, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 5, 100, 40, 14);
    return t;
}

// An editor with one member of each kind of exchange.
class EditorDialog : public CDialog
{
public:
    explicit EditorDialog(const DLGTEMPLATE* t) : CDialog(t) {}

    void DoDataExchange(CDataExchange& dx) override
    {
        ExchangeInt(dx, kDelayEdit, delay);
        ValidateRange(dx, delay, 0, 300000);
        ExchangeText(dx, kNameEdit, name);
        ExchangeCheck(dx, kOption, option);
        ExchangeRadio(dx, kRadioFirst, axis);
        ExchangeComboIndex(dx, kCombo, method);
        ExchangeDouble(dx, kRatioEdit, ratio);
        ValidateRange(dx, ratio, 0.1, 30.0);
    }
    BOOL OnInitDialog() override
    {
        for (const wchar_t* item : {L"first", L"second", L"third"})
            ::SendMessageW(GetDlgItem(kCombo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        return CDialog::OnInitDialog();
    }

    int delay = 250;
    std::wstring name = L"Copy";
    bool option = true;
    int axis = 2;
    int method = 1;
    double ratio = 1.5;
};

std::wstring ControlText(HWND dialog, int id)
{
    wchar_t text[256] = {};
    ::GetDlgItemTextW(dialog, id, text, 256);
    return text;
}
}

TEST(FrameworkDataExchange, MembersFillTheControlsAndComeBackUnchanged)
{
    const CDialogTemplate t = EditorTemplate();
    EditorDialog dialog(t.Get());
    ASSERT_TRUE(dialog.Create(static_cast<HWND>(nullptr)));   // OnInitDialog filled the controls
    const HWND hwnd = dialog.GetSafeHwnd();
    EXPECT_EQ(ControlText(hwnd, kDelayEdit), L"250");
    EXPECT_EQ(ControlText(hwnd, kNameEdit), L"Copy");
    EXPECT_EQ(::IsDlgButtonChecked(hwnd, kOption), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(hwnd, kRadioFirst + 2), BST_CHECKED);
    EXPECT_EQ(::SendDlgItemMessageW(hwnd, kCombo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(ControlText(hwnd, kRatioEdit), L"1.5");

    ::SetDlgItemTextW(hwnd, kDelayEdit, L" 300000 ");
    ::SetDlgItemTextW(hwnd, kNameEdit, L"Paste");
    ::CheckDlgButton(hwnd, kOption, BST_UNCHECKED);
    ::CheckRadioButton(hwnd, kRadioFirst, kRadioFirst + 2, kRadioFirst);
    ::SendDlgItemMessageW(hwnd, kCombo, CB_SETCURSEL, 2, 0);
    ::SetDlgItemTextW(hwnd, kRatioEdit, L"0.1");
    ASSERT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.delay, 300000);
    EXPECT_EQ(dialog.name, L"Paste");
    EXPECT_FALSE(dialog.option);
    EXPECT_EQ(dialog.axis, 0);
    EXPECT_EQ(dialog.method, 2);
    EXPECT_DOUBLE_EQ(dialog.ratio, 0.1);
}

TEST(FrameworkDataExchange, ARefusedValueShowsTheStandardMessageOnceAndAbandonsTheExchange)
{
    struct Case
    {
        const wchar_t* delayText;
        const wchar_t* ratioText;
        const wchar_t* message;
    };
    const Case cases[] = {
        {L"300001", L"1", L"Enter an integer between 0 and 300000."},
        {L"-1", L"1", L"Enter an integer between 0 and 300000."},
        {L"", L"1", L"Enter an integer."},
        {L"12a", L"1", L"Enter an integer."},
        {L"0x10", L"1", L"Enter an integer."},
        {L"99999999999", L"1", L"Enter an integer."},   // beyond the int range, not wrapped
        {L"5", L"30.5", L"Enter a number between 0.1 and 30."},
        {L"5", L"abc", L"Enter a number."},
    };
    const CDialogTemplate t = EditorTemplate();
    for (const Case& c : cases)
    {
        std::vector<MessageBoxRequest> boxes;
        ScopedMessageBoxHandler seam([&](const MessageBoxRequest& r) {
            boxes.push_back(r);
            return IDOK;
        });
        EditorDialog dialog(t.Get());
        ASSERT_TRUE(dialog.Create(static_cast<HWND>(nullptr)));
        ::SetDlgItemTextW(dialog.GetSafeHwnd(), kDelayEdit, c.delayText);
        ::SetDlgItemTextW(dialog.GetSafeHwnd(), kRatioEdit, c.ratioText);
        EXPECT_FALSE(dialog.UpdateData(true)) << c.delayText << " " << c.ratioText;
        ASSERT_EQ(boxes.size(), 1u) << c.delayText;
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_EQ(boxes[0].owner, dialog.GetSafeHwnd());
        EXPECT_EQ(boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
        dialog.DestroyWindow();
    }
}

namespace
{
// OK with an out-of-range delay: the box is answered, the dialog stays open
// and the focus is on the delay; corrected, OK ends the dialog.
class CorrectingEditor : public EditorDialog
{
public:
    using EditorDialog::EditorDialog;
    BOOL OnInitDialog() override
    {
        EditorDialog::OnInitDialog();
        ::SetDlgItemTextW(m_hWnd, kDelayEdit, L"400000");
        ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    }
    void OnOK() override
    {
        ++okPresses;
        EditorDialog::OnOK();
        if (okPresses == 1)
        {
            stillOpenAfterRefusal = IsWindow();
            focusOnDelay = ::GetFocus() == GetDlgItem(kDelayEdit);
            ::SetDlgItemTextW(m_hWnd, kDelayEdit, L"42");
            ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
    int okPresses = 0;
    bool stillOpenAfterRefusal = false;
    bool focusOnDelay = false;
};
}

TEST(FrameworkDataExchange, OkWithAnOutOfRangeIntegerKeepsTheDialogOpenUntilTheValueIsCorrected)
{
    std::vector<std::wstring> texts;
    ScopedMessageBoxHandler seam([&](const MessageBoxRequest& r) {
        texts.push_back(r.text);
        return IDOK;
    });
    const CDialogTemplate t = EditorTemplate();
    CorrectingEditor dialog(t.Get());
    framework_test::ModalWatchdog watchdog(dialog);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.okPresses, 2);
    EXPECT_TRUE(dialog.stillOpenAfterRefusal);
    EXPECT_TRUE(dialog.focusOnDelay);
    EXPECT_EQ(dialog.delay, 42);
    EXPECT_EQ(texts, std::vector<std::wstring>{L"Enter an integer between 0 and 300000."});
}

TEST(FrameworkDataExchange, TheStandardMessagesGoThroughTheTranslatorBeforeTheValuesAreInserted)
{
    const TextTranslator previous = SetFrameworkTextTranslator([](const wchar_t* english) -> std::wstring {
        if (std::wstring(english) == L"Enter an integer between %1 and %2.")
            return L"Ganzzahl zwischen %1 und %2 eingeben.";
        return {};   // no translation: English
    });
    std::vector<std::wstring> texts;
    {
        ScopedMessageBoxHandler seam([&](const MessageBoxRequest& r) {
            texts.push_back(r.text);
            return IDOK;
        });
        const CDialogTemplate t = EditorTemplate();
        EditorDialog dialog(t.Get());
        ASSERT_TRUE(dialog.Create(static_cast<HWND>(nullptr)));
        ::SetDlgItemTextW(dialog.GetSafeHwnd(), kDelayEdit, L"-5");
        EXPECT_FALSE(dialog.UpdateData(true));
        ::SetDlgItemTextW(dialog.GetSafeHwnd(), kDelayEdit, L"x");
        EXPECT_FALSE(dialog.UpdateData(true));
        dialog.DestroyWindow();
    }
    SetFrameworkTextTranslator(previous);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Ganzzahl zwischen 0 und 300000 eingeben.", L"Enter an integer."}));
}

TEST(FrameworkDataExchange, FillingAControlWithTheTextItShowsSendsNoChangeNotification)
{
    class WatchingEditor : public EditorDialog
    {
    public:
        explicit WatchingEditor(const DLGTEMPLATE* t) : EditorDialog(t)
        {
            BindControl(EN_CHANGE, kDelayEdit, &WatchingEditor::OnDelayChanged);
        }
        void OnDelayChanged() { ++changes; }
        int changes = 0;
    };
    const CDialogTemplate t = EditorTemplate();
    WatchingEditor dialog(t.Get());
    ASSERT_TRUE(dialog.Create(static_cast<HWND>(nullptr)));
    const int afterStart = dialog.changes;
    EXPECT_GE(afterStart, 1);   // "" became "250"
    EXPECT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(dialog.changes, afterStart);
    dialog.delay = 251;
    EXPECT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(dialog.changes, afterStart + 1);
}

TEST(FrameworkDataExchange, AControlIsBoundToItsObjectOnceAcrossExchanges)
{
    CDialogTemplate t(L"Bind", WS_POPUP | WS_CAPTION, 0, 0, 100, 50);
    t.AddControl(L"BUTTON", L"Capture", 1275, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 5, 5, 60, 14);
    class BindingDialog : public CDialog
    {
    public:
        using CDialog::CDialog;
        void DoDataExchange(CDataExchange& dx) override { ExchangeControl(dx, 1275, button); }
        CWindow button;
    } dialog(t.Get());
    ASSERT_TRUE(dialog.Create(static_cast<HWND>(nullptr)));
    EXPECT_EQ(dialog.button.GetSafeHwnd(), dialog.GetDlgItem(1275));
    EXPECT_TRUE(dialog.UpdateData(true));
    EXPECT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(CWindow::FromHandle(dialog.GetDlgItem(1275)), &dialog.button);
}

TEST(FrameworkDataExchange, IntegerTextsAreReadByTheExchangeRules)
{
    struct Case
    {
        const wchar_t* text;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {L"42", true, 42},          {L"  -7 ", true, -7},          {L"+5", true, 5},
        {L"2147483647", true, INT_MAX}, {L"-2147483648", true, INT_MIN}, {L"2147483648", false, 0},
        {L"", false, 0},            {L"   ", false, 0},            {L"1 2", false, 0},
        {L"4.0", false, 0},         {L"-", false, 0},
    };
    for (const Case& c : cases)
    {
        int value = 0;
        EXPECT_EQ(ParseExchangedInt(c.text, &value), c.ok) << '"' << std::string(c.text, c.text + wcslen(c.text)) << '"';
        if (c.ok)
        {
            EXPECT_EQ(value, c.value);
        }
    }
}
