#include "ProfileOptionsTab.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "ApplicationSettings.h"
#include "CaughtException.h"
#include "DataExchange.h"
#include "FileDialog.h"
#include "Folders.h"
#include "LangSupport.h"
#include "ListControls.h"
#include "Logger.h"
#include "Settings.h"
#include "SetupDialog.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
constexpr const wchar_t* kColours[] = {L"Red", L"Green", L"Blue", L"Orange", L"Turquoise", L"Yellow"};
constexpr const wchar_t* kSwapTexts[] = {L"Default", L"Don't swap buttons", L"Swap buttons"};

bool SameText(const std::wstring& a, const wchar_t* b)
{
    return b != nullptr && ::CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

void SetCheck(HWND page, int id, int state)
{
    ::CheckDlgButton(page, id, static_cast<UINT>(state));
}
}

CProfileOptionsTab::CProfileOptionsTab(CLangSupport* language) : CTabPageSSL(IDD_OPTIONS_TAB), m_language(language)
{
    for (int id : {IDC_OPT_AXIS_LOCKING, IDC_OPT_CLIP_MOUSE, IDC_OPT_DISABLE_MOUSE_OVER, IDC_OPT_ACTIVATE_ON_HOVER,
                   IDC_OPT_DISABLE_LAYER_MODIFIER, IDC_OPT_CHANGE_CURSOR, IDC_OPT_RUN_COMMAND,
                   IDC_OPT_DISABLE_SCROLL_UNDER, IDC_OPT_IGNORE_VSCROLL, IDC_OPT_IGNORE_HSCROLL, IDC_OPT_OVERRIDE_SPEED,
                   IDC_OPT_ENHANCE_PRECISION})
        BindControlRange(BN_CLICKED, static_cast<UINT>(id), static_cast<UINT>(id), &CProfileOptionsTab::OnCheck);
    BindControl(CBN_SELCHANGE, IDC_OPT_SWAP_BUTTONS, &CProfileOptionsTab::OnSwapButtons);
    BindControl(CBN_SELCHANGE, IDC_OPT_CURSOR, &CProfileOptionsTab::OnCursorChanged);
    BindControl(EN_CHANGE, IDC_OPT_COMMAND, &CProfileOptionsTab::OnCommandChanged);
    BindControlRange(EN_UPDATE, IDC_OPT_VSCROLL_TIME, IDC_OPT_VSCROLL_TIME, &CProfileOptionsTab::OnIgnoreTimeChanged);
    BindControlRange(EN_UPDATE, IDC_OPT_HSCROLL_TIME, IDC_OPT_HSCROLL_TIME, &CProfileOptionsTab::OnIgnoreTimeChanged);
    BindControl(BN_CLICKED, IDC_OPT_BROWSE, &CProfileOptionsTab::OnBrowse);
    BindMessage(WM_HSCROLL, &CProfileOptionsTab::OnHScroll);
}

CProfileOptionsTab::~CProfileOptionsTab()
{
    CLangSupport::Release(m_language);
}

std::unique_ptr<ISetupProfilePage> CreateOptionsPage(CLangSupport*)
{
    // The page holds a language reference of its own.
    return std::make_unique<CProfileOptionsTab>(LangSupport());
}

bool CProfileOptionsTab::CreatePage(const SetupPageContext& context)
{
    m_dialog = context.dialog;
    m_settings = context.settings;
    HWND parent = context.tabs != nullptr ? context.tabs->GetParent() : nullptr;
    if (!Create(parent))
        return false;
    return true;
}

void CProfileOptionsTab::SetSettings(CSettings* settings)
{
    m_settings = settings;
    m_profile = nullptr;
    if (IsWindow())
        EnableForGlobalOptions();
}

BOOL CProfileOptionsTab::OnInitDialog()
{
    m_filling = true;
    CTabPageSSL::OnInitDialog();
    HWND swap = GetDlgItem(IDC_OPT_SWAP_BUTTONS);
    for (int i = 0; i < 3; ++i)
        CComboBox::AddString(swap, LookupText(m_language, kSwapTexts[i]), i);
    FillCursorList();
    ::SendDlgItemMessageW(m_hWnd, IDC_OPT_SPEED, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
    ::SendDlgItemMessageW(m_hWnd, IDC_OPT_SPEED, TBM_SETPAGESIZE, 0, 1);
    EnableForGlobalOptions();
    TranslateWindowTexts(m_language, m_hWnd);
    m_filling = false;
    return TRUE;
}

void CProfileOptionsTab::FillCursorList()
{
    HWND list = GetDlgItem(IDC_OPT_CURSOR);
    for (int i = 0; i < 6; ++i)
        CComboBox::AddString(list, LookupText(m_language, kColours[i]), i);
    std::vector<wchar_t> folder(1024, L'\0');
    if (::GetSettingsFolder(folder.data(), folder.size()) != 0)
        return;
    for (const wchar_t* pattern : {L"*.cur", L"*.ani"})
    {
        WIN32_FIND_DATAW found{};
        HANDLE search = ::FindFirstFileW((std::wstring(folder.data()) + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do
        {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                CComboBox::AddString(list, found.cFileName, -1);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
}

void CProfileOptionsTab::EnableForGlobalOptions()
{
    ::EnableWindow(GetDlgItem(IDC_OPT_OVERRIDE_SPEED), m_settings == nullptr || m_settings->m_bAllowSetSpeed);
    ::EnableWindow(GetDlgItem(IDC_OPT_DISABLE_MOUSE_OVER), m_settings != nullptr && m_settings->m_bSwitchOnMouseOver);
    const bool modifiers = m_settings != nullptr && m_settings->m_bLayerModifierKeys;
    ::EnableWindow(GetDlgItem(IDC_OPT_AXIS_LOCKING), modifiers);
    ::EnableWindow(GetDlgItem(IDC_OPT_DISABLE_LAYER_MODIFIER), modifiers);
}

void CProfileOptionsTab::DoDataExchange(CDataExchange& dx)
{
    CTabPageSSL::DoDataExchange(dx);
    // A refusal names the field by its box.
    m_numbers.Exchange(dx, IDC_OPT_VSCROLL_TIME, m_verticalIgnoreTime, 0, kMaxIgnoreTime,
                       LabelText(GetDlgItem(IDC_OPT_IGNORE_VSCROLL)));
    m_numbers.Exchange(dx, IDC_OPT_HSCROLL_TIME, m_horizontalIgnoreTime, 0, kMaxIgnoreTime,
                       LabelText(GetDlgItem(IDC_OPT_IGNORE_HSCROLL)));
    ExchangeText(dx, IDC_OPT_COMMAND, m_script);
}

BOOL CProfileOptionsTab::PreTranslateMessage(MSG* msg)
{
    if ((msg->message == WM_MOUSEWHEEL || msg->message == WM_MOUSEHWHEEL) && !::IsWindowEnabled(msg->hwnd))
        return TRUE;
    return CTabPageSSL::PreTranslateMessage(msg);
}

bool CProfileOptionsTab::IsThreeStateBox(int id)
{
    return id == IDC_OPT_AXIS_LOCKING || id == IDC_OPT_DISABLE_LAYER_MODIFIER || id == IDC_OPT_DISABLE_MOUSE_OVER;
}

bool CProfileOptionsTab::Checked(int id) const
{
    return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CProfileOptionsTab::EnableApply()
{
    if (m_dialog != nullptr)
        m_dialog->EnableApply();
}

void CProfileOptionsTab::LoadProfile(CApplicationSettings* profile)
{
    m_profile = profile;
    if (profile == nullptr || !IsWindow())
        return;
    m_filling = true;
    const HWND page = m_hWnd;
    const bool isDefault = profile->IsDefault();
    const auto enable = [this](int id, bool on) { ::EnableWindow(GetDlgItem(id), on); };

    SetCheck(page, IDC_OPT_CLIP_MOUSE, profile->ClipMouse());
    SetCheck(page, IDC_OPT_OVERRIDE_SPEED, profile->OverrideMouseSpeed());
    SetCheck(page, IDC_OPT_ENHANCE_PRECISION, profile->EnhancePointerPrecision());
    enable(IDC_OPT_ENHANCE_PRECISION, profile->OverrideMouseSpeed());
    SetCheck(page, IDC_OPT_DISABLE_SCROLL_UNDER, profile->GetDisableScrollUnderCursor());
    SetCheck(page, IDC_OPT_IGNORE_VSCROLL, profile->GetIgnoreVScroll());
    SetCheck(page, IDC_OPT_IGNORE_HSCROLL, profile->GetIgnoreHScroll());
    // Shown as stored, also beyond the fields' range: the profile keeps such a
    // time until the user changes its number.
    m_verticalIgnoreTime = profile->GetIgnoreVScrollTime();
    m_horizontalIgnoreTime = profile->GetIgnoreHScrollTime();
    enable(IDC_OPT_OVERRIDE_SPEED, m_settings == nullptr || m_settings->m_bAllowSetSpeed);

    if (m_settings == nullptr || !m_settings->m_bSwitchOnMouseOver || isDefault)
    {
        enable(IDC_OPT_DISABLE_MOUSE_OVER, false);
        SetCheck(page, IDC_OPT_DISABLE_MOUSE_OVER, isDefault ? BST_UNCHECKED : BST_INDETERMINATE);
    }
    else
    {
        enable(IDC_OPT_DISABLE_MOUSE_OVER, true);
        SetCheck(page, IDC_OPT_DISABLE_MOUSE_OVER, profile->GetDisableMouseOver());
    }
    const bool modifiers = m_settings != nullptr && m_settings->m_bLayerModifierKeys;
    enable(IDC_OPT_AXIS_LOCKING, modifiers);
    enable(IDC_OPT_DISABLE_LAYER_MODIFIER, modifiers);
    SetCheck(page, IDC_OPT_AXIS_LOCKING, modifiers ? profile->AxisLocking() : BST_INDETERMINATE);
    SetCheck(page, IDC_OPT_DISABLE_LAYER_MODIFIER, modifiers ? profile->GetDisableLayerModifier() : BST_INDETERMINATE);

    enable(IDC_OPT_ACTIVATE_ON_HOVER, !isDefault);
    SetCheck(page, IDC_OPT_ACTIVATE_ON_HOVER, !isDefault && profile->ActivateOnHover());
    ::SendDlgItemMessageW(page, IDC_OPT_SWAP_BUTTONS, CB_SETCURSEL, std::clamp<int>(profile->SwapButtons(), 0, 2), 0);
    enable(IDC_OPT_CLIP_MOUSE, !isDefault);
    enable(IDC_OPT_SWAP_BUTTONS, !isDefault);

    int speed = profile->GetMouseSpeed();
    if (speed == -1)
        ::SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &speed, 0);
    ::SendDlgItemMessageW(page, IDC_OPT_SPEED, TBM_SETPOS, TRUE, std::clamp(PositionFromSpeed(speed), 0, 10));
    enable(IDC_OPT_SPEED, profile->OverrideMouseSpeed());

    if (isDefault)
    {
        SetCheck(page, IDC_OPT_CHANGE_CURSOR, BST_UNCHECKED);
        enable(IDC_OPT_CHANGE_CURSOR, false);
        enable(IDC_OPT_CURSOR, false);
        ::SendDlgItemMessageW(page, IDC_OPT_CURSOR, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
    else
    {
        SetCheck(page, IDC_OPT_CHANGE_CURSOR, profile->ChangeCursor());
        enable(IDC_OPT_CHANGE_CURSOR, true);
        enable(IDC_OPT_CURSOR, profile->ChangeCursor());
        SelectCursor(profile->GetCursor());
    }

    SetCheck(page, IDC_OPT_RUN_COMMAND, profile->IsProfileScriptEnabled());
    enable(IDC_OPT_BROWSE, profile->IsProfileScriptEnabled());
    enable(IDC_OPT_COMMAND, profile->IsProfileScriptEnabled());
    const wchar_t* script = profile->GetProfileChangeScript();
    m_script = script != nullptr ? script : L"";
    UpdateData(false);
    m_shownVerticalIgnoreTime.Showing(m_verticalIgnoreTime);
    m_shownHorizontalIgnoreTime.Showing(m_horizontalIgnoreTime);
    m_shownSwap.Showing(SelectedIndex(IDC_OPT_SWAP_BUTTONS));
    m_shownOverrideSpeed.Showing(Checked(IDC_OPT_OVERRIDE_SPEED));
    m_shownSpeed.Showing(SpeedPosition());
    m_shownCursor.Showing(SelectedIndex(IDC_OPT_CURSOR));
    m_shownScript.Showing(ReadDlgItemText(page, IDC_OPT_COMMAND));
    m_filling = false;
}

void CProfileOptionsTab::SelectCursor(const wchar_t* value)
{
    HWND list = GetDlgItem(IDC_OPT_CURSOR);
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    if (value == nullptr)
        return;
    const int count = static_cast<int>(::SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        const LPARAM data = CComboBox::GetItemData(list, i);
        if (data != -1 && SameText(std::to_wstring(data), value))
        {
            ::SendMessageW(list, CB_SETCURSEL, i, 0);
            return;
        }
    }
    for (int i = 0; i < count; ++i)
    {
        if (CComboBox::GetItemData(list, i) != -1)
            continue;
        wchar_t text[MAX_PATH] = {};
        if (::SendMessageW(list, CB_GETLBTEXTLEN, i, 0) < MAX_PATH)
            ::SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        if (SameText(text, value))
        {
            ::SendMessageW(list, CB_SETCURSEL, i, 0);
            return;
        }
    }
}

std::wstring CProfileOptionsTab::SelectedCursor() const
{
    HWND list = GetDlgItem(IDC_OPT_CURSOR);
    const int index = static_cast<int>(::SendMessageW(list, CB_GETCURSEL, 0, 0));
    if (index < 0)
    {
        wchar_t text[MAX_PATH] = {};
        ::GetWindowTextW(list, text, MAX_PATH);
        return text;
    }
    const LPARAM data = CComboBox::GetItemData(list, index);
    if (data != -1)
        return std::to_wstring(data);
    std::vector<wchar_t> text(static_cast<size_t>(std::max<LRESULT>(0, ::SendMessageW(list, CB_GETLBTEXTLEN, index, 0))) + 1,
                              L'\0');
    ::SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

int CProfileOptionsTab::SelectedIndex(int listId) const
{
    return static_cast<int>(::SendDlgItemMessageW(m_hWnd, listId, CB_GETCURSEL, 0, 0));
}

int CProfileOptionsTab::SpeedPosition() const
{
    return static_cast<int>(::SendDlgItemMessageW(m_hWnd, IDC_OPT_SPEED, TBM_GETPOS, 0, 0));
}

bool CProfileOptionsTab::StoreProfile()
{
    if (m_profile == nullptr || !IsWindow())
        return true;
    if (!UpdateData(true))
        return false;
    if (m_shownVerticalIgnoreTime.StoreChange(m_verticalIgnoreTime))
        m_profile->SetIgnoreVScrollTime(m_verticalIgnoreTime);
    if (m_shownHorizontalIgnoreTime.StoreChange(m_horizontalIgnoreTime))
        m_profile->SetIgnoreHScrollTime(m_horizontalIgnoreTime);
    const int swap = SelectedIndex(IDC_OPT_SWAP_BUTTONS);
    if (swap >= 0 && swap <= 2 && m_shownSwap.StoreChange(swap))
        m_profile->SetSwapButtons(static_cast<swapbuttons>(swap));
    m_profile->SetDisableScrollUnderCursor(Checked(IDC_OPT_DISABLE_SCROLL_UNDER));
    if (!m_profile->IsDefault())
        m_profile->ActivateOnHover(Checked(IDC_OPT_ACTIVATE_ON_HOVER));
    const bool overridden = Checked(IDC_OPT_OVERRIDE_SPEED);
    const bool overrideTicked = m_shownOverrideSpeed.StoreChange(overridden) && overridden;
    m_profile->OverrideMouseSpeed(overridden);
    m_profile->EnhancePointerPrecision(Checked(IDC_OPT_ENHANCE_PRECISION));
    const int position = SpeedPosition();
    // A profile without a speed of its own (-1) shows the system's; the user
    // who ticks the override there means the speed the slider shows, as if
    // the slider had moved (an override of -1 changes nothing).
    if (m_shownSpeed.StoreChange(position) || (overrideTicked && m_profile->GetMouseSpeed() == -1))
        m_profile->SetMouseSpeed(SpeedFromPosition(std::clamp(position, 0, 10)));
    // A cursor or command that is switched off keeps its value for the day it
    // is switched on again.
    if (!m_profile->IsDefault())
    {
        m_profile->ChangeCursor(Checked(IDC_OPT_CHANGE_CURSOR));
        if (Checked(IDC_OPT_CHANGE_CURSOR) && m_shownCursor.StoreChange(SelectedIndex(IDC_OPT_CURSOR)))
            m_profile->SetCursor(SelectedCursor().c_str());
    }
    m_profile->EnableProfileScript(Checked(IDC_OPT_RUN_COMMAND));
    if (Checked(IDC_OPT_RUN_COMMAND) && m_shownScript.StoreChange(m_script))
        m_profile->SetProfileChangeScript(m_script.c_str());
    return true;
}

void CProfileOptionsTab::OnCheck(UINT id)
{
    if (m_profile == nullptr || m_filling)
        return;
    if (IsThreeStateBox(static_cast<int>(id)))
    {
        // These boxes show the mixed state when a global option takes them
        // out of use; they never change by themselves: a click ticks or unticks.
        ::CheckDlgButton(m_hWnd, static_cast<int>(id), Checked(static_cast<int>(id)) ? BST_UNCHECKED : BST_CHECKED);
    }
    const bool on = Checked(static_cast<int>(id));
    const auto apply = [this](bool differs) {
        if (differs)
            EnableApply();
    };
    switch (id)
    {
    case IDC_OPT_AXIS_LOCKING:
        if (on != m_profile->AxisLocking())
        {
            m_profile->SetAxisLocking(on);
            EnableApply();
        }
        break;
    case IDC_OPT_DISABLE_SCROLL_UNDER:
        apply(on != m_profile->GetDisableScrollUnderCursor());
        break;
    case IDC_OPT_OVERRIDE_SPEED:
        apply(on != m_profile->OverrideMouseSpeed());
        ::EnableWindow(GetDlgItem(IDC_OPT_SPEED), on);
        ::EnableWindow(GetDlgItem(IDC_OPT_ENHANCE_PRECISION), on);
        break;
    case IDC_OPT_ENHANCE_PRECISION:
        apply(on != m_profile->EnhancePointerPrecision());
        break;
    case IDC_OPT_ACTIVATE_ON_HOVER:
        apply(on != m_profile->ActivateOnHover());
        break;
    case IDC_OPT_CLIP_MOUSE:
        if (on != m_profile->ClipMouse())
        {
            m_profile->SetClipMouse(on);
            EnableApply();
        }
        break;
    case IDC_OPT_IGNORE_VSCROLL:
        if (on != m_profile->GetIgnoreVScroll())
        {
            m_profile->SetIgnoreVScroll(on);
            EnableApply();
        }
        break;
    case IDC_OPT_IGNORE_HSCROLL:
        if (on != m_profile->GetIgnoreHScroll())
        {
            m_profile->SetIgnoreHScroll(on);
            EnableApply();
        }
        break;
    case IDC_OPT_DISABLE_MOUSE_OVER:
        if (on != m_profile->GetDisableMouseOver())
        {
            m_profile->SetDisableMouseOver(on);
            EnableApply();
        }
        break;
    case IDC_OPT_DISABLE_LAYER_MODIFIER:
        if (on != m_profile->GetDisableLayerModifier())
        {
            m_profile->SetDisableLayerModifier(on);
            EnableApply();
        }
        break;
    case IDC_OPT_CHANGE_CURSOR:
        ::EnableWindow(GetDlgItem(IDC_OPT_CURSOR), on);
        if (on != m_profile->ChangeCursor())
        {
            m_profile->ChangeCursor(on);
            EnableApply();
        }
        // The cursor the profile kept while the option was off comes back.
        if (on)
        {
            SelectCursor(m_profile->GetCursor());
            m_shownCursor.Showing(SelectedIndex(IDC_OPT_CURSOR));
        }
        break;
    case IDC_OPT_RUN_COMMAND:
        if (on != m_profile->IsProfileScriptEnabled())
        {
            m_profile->EnableProfileScript(on);
            EnableApply();
        }
        ::EnableWindow(GetDlgItem(IDC_OPT_BROWSE), m_profile->IsProfileScriptEnabled());
        ::EnableWindow(GetDlgItem(IDC_OPT_COMMAND), m_profile->IsProfileScriptEnabled());
        if (on)
            SelectCommandFromProfile();
        break;
    default:
        break;
    }
}

void CProfileOptionsTab::SelectCommandFromProfile()
{
    const wchar_t* script = m_profile->GetProfileChangeScript();
    m_filling = true;
    ::SetDlgItemTextW(m_hWnd, IDC_OPT_COMMAND, script != nullptr ? script : L"");
    m_shownScript.Showing(ReadDlgItemText(m_hWnd, IDC_OPT_COMMAND));
    m_filling = false;
}

void CProfileOptionsTab::OnSwapButtons()
{
    if (m_profile == nullptr || m_filling)
        return;
    const int index = static_cast<int>(::SendDlgItemMessageW(m_hWnd, IDC_OPT_SWAP_BUTTONS, CB_GETCURSEL, 0, 0));
    if (index != static_cast<int>(m_profile->SwapButtons()))
        EnableApply();
}

void CProfileOptionsTab::OnCursorChanged()
{
    if (m_profile == nullptr || m_filling)
        return;
    const std::wstring value = SelectedCursor();
    if (SameText(value, m_profile->GetCursor()))
        return;
    m_profile->SetCursor(value.c_str());
    EnableApply();
}

void CProfileOptionsTab::OnCommandChanged()
{
    if (m_profile == nullptr || m_filling)
        return;
    const wchar_t* stored = m_profile->GetProfileChangeScript();
    wchar_t text[2048] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_OPT_COMMAND, text, 2048);
    if (std::wstring(text) != (stored != nullptr ? stored : L""))
        EnableApply();
}

void CProfileOptionsTab::OnIgnoreTimeChanged(UINT id)
{
    if (m_profile == nullptr || m_filling)
        return;
    const int stored = id == IDC_OPT_VSCROLL_TIME ? m_profile->GetIgnoreVScrollTime() : m_profile->GetIgnoreHScrollTime();
    if (ReadDlgItemInt(m_hWnd, static_cast<int>(id), stored) != stored)
        EnableApply();
}

LRESULT CProfileOptionsTab::OnHScroll(WPARAM, LPARAM control)
{
    if (reinterpret_cast<HWND>(control) == GetDlgItem(IDC_OPT_SPEED) && m_profile != nullptr && !m_filling)
        EnableApply();
    return 0;
}

void CProfileOptionsTab::OnBrowse()
{
    try
    {
        UpdateData(true);
        CLogger::LogDebug(L"ProfileOptionsTab: OnBnClickedBtnbrowsescript - Opening file browser");
        FileDialogRequest request;
        request.kind = FileDialogKind::Open;
        request.owner = m_hWnd;
        request.defaultExtension = L"exe";
        request.initialFile = m_script;
        request.flags = OFN_PATHMUSTEXIST | OFN_NOTESTFILECREATE | OFN_ENABLESIZING | OFN_DONTADDTORECENT;
        request.filter = LookupText(m_language, L"Applications (*.exe)|*.exe|Batch Files (*.bat)|*.bat;*.cmd|Shortcuts "
                                                L"(*.lnk)|*.lnk|All Files (*.*)|*.*||");
        std::wstring path;
        if (!ShowFileDialog(request, path))
            return;
        m_script = path;
        // The edit's change note enables Apply when the command differs.
        ::SetDlgItemTextW(m_hWnd, IDC_OPT_COMMAND, m_script.c_str());
    }
    catch (...)
    {
        LogCaughtException(L"OnBnClickedBtnbrowsescript");
    }
}
