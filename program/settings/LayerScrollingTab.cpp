#include "LayerScrollingTab.h"

#include <commctrl.h>

#include <algorithm>

#include "ApplicationSettings.h"
#include "DataExchange.h"
#include "LangSupport.h"
#include "ListControls.h"
#include "SetupDialog.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
struct Method
{
    const wchar_t* text;
    int value;
};

constexpr Method kMethods[] = {
    {L"Default", CLayerScrollingTab::kDefaultMethod},
    {L"Method 1 (SCROLL Msg)", 0},
    {L"Method 2 (ScrollInfo)", 1},
    {L"Method 3 (Left/Right Keys)", 2},
    {L"Method 4 (Wheel Msg)", 3},
    {L"Method 5 (WPF Scroll Msg)", 4},
    {L"None (Disable Scroll)", CLayerScrollingTab::kNoScrolling},
};

// Explicit methods use the page's step sizes.
bool UsesStepSizes(int method)
{
    return method < CLayerScrollingTab::kDefaultMethod;
}
}

CLayerScrollingTab::CLayerScrollingTab(CLangSupport* language) : CTabPageSSL(IDD_SCROLLING_TAB), m_language(language)
{
    BindControl(CBN_SELCHANGE, IDC_SCROLL_METHOD, &CLayerScrollingTab::OnCbnSelchangeScrollMethod);
    BindControl(BN_CLICKED, IDC_SCROLL_INVERT, &CLayerScrollingTab::OnBnClickedInvert);
    BindControl(BN_CLICKED, IDC_SCROLL_INVERT_HORZ, &CLayerScrollingTab::OnBnClickedInvertHorz);
    BindControl(BN_CLICKED, IDC_SCROLL_PAGES, &CLayerScrollingTab::OnBnClickedScrollPages);
    BindControl(BN_CLICKED, IDC_SCROLL_FORCE_SPI, &CLayerScrollingTab::OnBnClickedForceSPI);
    BindControl(EN_CHANGE, IDC_SCROLL_LINES, &CLayerScrollingTab::OnEnChangeScrollLines);
    BindControl(EN_UPDATE, IDC_SCROLL_ADV_VERTICAL, &CLayerScrollingTab::OnEnUpdateVertical);
    BindControl(EN_UPDATE, IDC_SCROLL_ADV_HORIZONTAL, &CLayerScrollingTab::OnEnUpdateHorizontal);
}

CLayerScrollingTab::~CLayerScrollingTab()
{
    CLangSupport::Release(m_language);
}

std::unique_ptr<ISetupProfilePage> CreateScrollingPage(CLangSupport*)
{
    // The page holds a language reference of its own.
    return std::make_unique<CLayerScrollingTab>(LangSupport());
}

bool CLayerScrollingTab::CreatePage(const SetupPageContext& context)
{
    m_dialog = context.dialog;
    m_settings = context.settings;
    m_initialLines = context.wheelLines;
    HWND parent = context.tabs != nullptr ? context.tabs->GetParent() : nullptr;
    return Create(parent);
}

BOOL CLayerScrollingTab::OnInitDialog()
{
    m_filling = true;
    CTabPageSSL::OnInitDialog();
    HWND methods = GetDlgItem(IDC_SCROLL_METHOD);
    for (const Method& method : kMethods)
        CComboBox::AddString(methods, LookupText(m_language, method.text), method.value);
    CComboBox::EnableAll(methods, false);
    EnableStepSizes(false);
    ::SendDlgItemMessageW(m_hWnd, IDC_SCROLL_LINES_SPIN, UDM_SETRANGE, 0, MAKELPARAM(kMaxLines, 0));
    m_lines = m_initialLines;
    TranslateWindowTexts(m_language, m_hWnd);
    m_filling = false;
    return TRUE;
}

void CLayerScrollingTab::DoDataExchange(CDataExchange& dx)
{
    CTabPageSSL::DoDataExchange(dx);
    ExchangeComboIndex(dx, IDC_SCROLL_METHOD, m_methodIndex);
    // A field greyed by its method is never refused; the fields' labels follow them.
    m_numbers.Exchange(dx, IDC_SCROLL_ADV_VERTICAL, m_advancedVertical, -kMaxStep, kMaxStep,
                       LabelAfter(IDC_SCROLL_ADV_VERTICAL));
    m_numbers.Exchange(dx, IDC_SCROLL_ADV_HORIZONTAL, m_advancedHorizontal, -kMaxStep, kMaxStep,
                       LabelAfter(IDC_SCROLL_ADV_HORIZONTAL));
}

BOOL CLayerScrollingTab::PreTranslateMessage(MSG* msg)
{
    // The wheel over a disabled control would scroll the page's neighbour.
    if ((msg->message == WM_MOUSEWHEEL || msg->message == WM_MOUSEHWHEEL) && !::IsWindowEnabled(msg->hwnd))
        return TRUE;
    return CTabPageSSL::PreTranslateMessage(msg);
}

std::wstring CLayerScrollingTab::LabelAfter(int id) const
{
    // The field, its arrows, then its label.
    const HWND arrows = ::GetWindow(GetDlgItem(id), GW_HWNDNEXT);
    return LabelText(arrows != nullptr ? ::GetWindow(arrows, GW_HWNDNEXT) : nullptr);
}

bool CLayerScrollingTab::Checked(int id) const
{
    return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CLayerScrollingTab::EnableStepSizes(bool enable)
{
    for (int id : {IDC_SCROLL_ADV_VERTICAL, IDC_SCROLL_ADV_HORIZONTAL, IDC_SCROLL_ADV_VERTICAL_SPIN,
                   IDC_SCROLL_ADV_HORIZONTAL_SPIN})
        ::EnableWindow(GetDlgItem(id), enable);
}

void CLayerScrollingTab::EnableApply()
{
    if (m_dialog != nullptr)
        m_dialog->EnableApply();
}

void CLayerScrollingTab::UpdateApplication(CApplicationSettings* profile)
{
    m_profile = profile;
    if (profile == nullptr || !IsWindow())
        return;
    m_filling = true;
    ::CheckDlgButton(m_hWnd, IDC_SCROLL_FORCE_SPI, profile->ForceSPIMessage() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_SCROLL_INVERT, profile->InvertedScrolling() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_SCROLL_INVERT_HORZ, profile->InvertedHorzScrolling() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_SCROLL_PAGES, profile->ScrollPages() ? BST_CHECKED : BST_UNCHECKED);
    m_lines = profile->ScrollLines();
    ::SetDlgItemTextW(m_hWnd, IDC_SCROLL_LINES, std::to_wstring(m_lines).c_str());
    ::EnableWindow(GetDlgItem(IDC_SCROLL_LINES), !profile->ScrollPages());
    ::EnableWindow(GetDlgItem(IDC_SCROLL_LINES_SPIN), !profile->ScrollPages());

    m_methodIndex = 0;
    for (int i = 0; i < static_cast<int>(std::size(kMethods)); ++i)
        if (kMethods[i].value == profile->AdvScrollMethod())
        {
            m_methodIndex = i;
            break;
        }
    // Shown as stored, also beyond the fields' range: the profile keeps such a
    // step until the user changes its number.
    m_advancedVertical = profile->AdvScrollVertical();
    m_advancedHorizontal = profile->AdvScrollHorizontal();

    CComboBox::EnableAll(GetDlgItem(IDC_SCROLL_METHOD), !profile->IsDefault());
    EnableStepSizes(!profile->IsDefault() && UsesStepSizes(profile->AdvScrollMethod()));
    UpdateData(false);
    m_shownMethod.Showing(m_methodIndex);
    m_shownVertical.Showing(m_advancedVertical);
    m_shownHorizontal.Showing(m_advancedHorizontal);
    m_filling = false;
}

bool CLayerScrollingTab::SaveSettings()
{
    if (m_profile == nullptr || !IsWindow())
        return false;
    if (!UpdateData(true))
        return false;
    const int index = std::clamp(m_methodIndex, 0, static_cast<int>(std::size(kMethods)) - 1);
    if (m_shownMethod.StoreChange(m_methodIndex))
        m_profile->SetAdvScrollMethod(kMethods[m_methodIndex < 0 ? 0 : index].value);
    if (m_shownVertical.StoreChange(m_advancedVertical))
        m_profile->SetAdvScrollVertical(m_advancedVertical);
    if (m_shownHorizontal.StoreChange(m_advancedHorizontal))
        m_profile->SetAdvScrollHorizontal(m_advancedHorizontal);
    return true;
}

void CLayerScrollingTab::OnBnClickedInvert()
{
    if (m_profile == nullptr || m_filling)
        return;
    if (Checked(IDC_SCROLL_INVERT) != m_profile->InvertedScrolling())
    {
        m_profile->SetInvertScrolling(Checked(IDC_SCROLL_INVERT));
        EnableApply();
    }
}

void CLayerScrollingTab::OnBnClickedInvertHorz()
{
    if (m_profile == nullptr || m_filling)
        return;
    if (Checked(IDC_SCROLL_INVERT_HORZ) != m_profile->InvertedHorzScrolling())
    {
        m_profile->SetInvertHorzScrolling(Checked(IDC_SCROLL_INVERT_HORZ));
        EnableApply();
    }
}

void CLayerScrollingTab::OnBnClickedForceSPI()
{
    if (m_profile == nullptr || m_filling)
        return;
    if (Checked(IDC_SCROLL_FORCE_SPI) != m_profile->ForceSPIMessage())
    {
        m_profile->SetForceSPIMessage(Checked(IDC_SCROLL_FORCE_SPI));
        EnableApply();
    }
}

void CLayerScrollingTab::OnBnClickedScrollPages()
{
    if (m_profile == nullptr || m_filling)
        return;
    const bool pages = Checked(IDC_SCROLL_PAGES);
    if (pages != m_profile->ScrollPages())
    {
        m_profile->SetScrollPages(pages);
        EnableApply();
    }
    ::EnableWindow(GetDlgItem(IDC_SCROLL_LINES), !pages);
    ::EnableWindow(GetDlgItem(IDC_SCROLL_LINES_SPIN), !pages);
}

void CLayerScrollingTab::OnEnChangeScrollLines()
{
    if (m_profile == nullptr || m_filling)
        return;
    const int typed = ReadDlgItemInt(m_hWnd, IDC_SCROLL_LINES, m_lines);
    // The up-down's range holds for typed values too.
    m_lines = std::clamp(typed, 0, kMaxLines);
    if (typed != m_lines)
    {
        m_filling = true;
        ::SetDlgItemTextW(m_hWnd, IDC_SCROLL_LINES, std::to_wstring(m_lines).c_str());
        m_filling = false;
    }
    if (m_lines != m_profile->ScrollLines())
    {
        m_profile->SetScrollLines(m_lines);
        EnableApply();
    }
}

void CLayerScrollingTab::OnCbnSelchangeScrollMethod()
{
    if (m_profile == nullptr || m_filling)
        return;
    const int index = static_cast<int>(::SendDlgItemMessageW(m_hWnd, IDC_SCROLL_METHOD, CB_GETCURSEL, 0, 0));
    const int method = static_cast<int>(CComboBox::GetItemData(GetDlgItem(IDC_SCROLL_METHOD), index));
    EnableStepSizes(index >= 0 && UsesStepSizes(method));
    EnableApply();
}

void CLayerScrollingTab::OnEnUpdateVertical()
{
    if (m_profile == nullptr || m_filling)
        return;
    if (ReadDlgItemInt(m_hWnd, IDC_SCROLL_ADV_VERTICAL, m_profile->AdvScrollVertical()) != m_profile->AdvScrollVertical())
        EnableApply();
}

void CLayerScrollingTab::OnEnUpdateHorizontal()
{
    if (m_profile == nullptr || m_filling)
        return;
    if (ReadDlgItemInt(m_hWnd, IDC_SCROLL_ADV_HORIZONTAL, m_profile->AdvScrollHorizontal()) !=
        m_profile->AdvScrollHorizontal())
        EnableApply();
}
