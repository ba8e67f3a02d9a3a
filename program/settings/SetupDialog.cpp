#include "SetupDialog.h"

#include "ActionList.h"

#include <algorithm>

#include "AboutBox.h"
#include "Actions.h"
#include "AppTexts.h"
#include "Application.h"
#include "CaughtException.h"
#include "Control.h"
#include "DataExchange.h"
#include "Debug.h"
#include "GlobalSettingsRunner.h"
#include "LangSupport.h"
#include "Logger.h"
#include "MessageBox.h"
#include "Settings.h"
#include "ShownFocus.h"
#include "ApplicationSettings.h"
#include "WaitCursor.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
// Milliseconds since start, for the set-up timings of the debug log.
class CStopwatch
{
public:
    CStopwatch() : m_start(::GetTickCount()) {}
    int Elapsed() const { return static_cast<int>(::GetTickCount() - m_start); }
    void Restart() { m_start = ::GetTickCount(); }

private:
    DWORD m_start;
};

struct ToolText
{
    int id;
    const wchar_t* text;
};

constexpr ToolText kTools[] = {
    {IDC_SETUP_PICTURE, L"This graphic shows the active window regions that apply to this profile.\nYou can define "
                        L"these regions in the profile editor."},
    {IDC_SETUP_TABS, L"Add/Edit setting for individual layers\nor specific scrolling and navigation behaviour."},
    {IDC_SETUP_ADD, L"Add a new application or window specific profile."},
    {IDC_SETUP_COPY, L"Clone the selected application or window specific profile."},
    {IDC_SETUP_EDIT, L"Edit the selected application or window specific profile."},
    {IDC_SETUP_REMOVE, L"Delete the selected application or window specific profile."},
    {IDC_SETUP_EXPORT, L"Export the selected application or window specific profile."},
    {IDC_SETUP_IMPORT, L"Import a saved application or window specific profile."},
    {IDC_SETUP_UP, L"Move the selected application or window specific profile up."},
    {IDC_SETUP_DOWN, L"Move the selected application or window specific profile down."},
};
}

CSetupDialog::CSetupDialog(bool portable, bool quillon, CWindow* parent, const std::wstring& importFile,
                           const std::wstring& languageFile, int initialSelection)
    : CDialog(IDD_SETUP, parent), m_pendingLanguage(languageFile), m_portable(portable), m_quillon(quillon),
      m_pendingImport(importFile), m_initialSelection(initialSelection), m_language(LangSupport())
{
    m_icon.Reset(static_cast<HICON>(::LoadImageW(GetResourceInstance(), MAKEINTRESOURCEW(IDI_ABOUT), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    m_smallIcon.Reset(static_cast<HICON>(::LoadImageW(GetResourceInstance(), MAKEINTRESOURCEW(IDI_ABOUT), IMAGE_ICON,
                                                      ::GetSystemMetrics(SM_CXSMICON),
                                                      ::GetSystemMetrics(SM_CYSMICON), 0)));

    CStopwatch watch;
    m_actions.reserve(ActionCount);
    for (int code = 0; code < ActionCount; ++code)
    {
        m_actions.emplace_back(GetActionName(m_language, code), code);
    }
    CLogger::LogDebug(L"Creating action list took %dms", watch.Elapsed());

    m_settings = std::make_unique<CSettings>(quillon, ::GetStartupMouseInfo());

    BindRegisteredMessage(L"BRMP_SetupHelperMsg", &CSetupDialog::OnSetupHelperMsg);
    BindRegisteredMessage(L"BRMP_LayerChanged", &CSetupDialog::OnLayerChanged);
    BindRegisteredMessage(L"BRMPFixScrollBar", &CSetupDialog::OnFixScrollBar);
    BindMessage(WM_TIMER, &CSetupDialog::OnTimer);
    BindMessage(WM_DPICHANGED, &CSetupDialog::OnDpiChanged);
    BindMessage(WM_CTLCOLORSTATIC, &CSetupDialog::OnCtlColorStatic);
    BindMessage(WM_DESTROY, &CSetupDialog::OnDestroy);
    BindMessage(WM_ENABLE, &CSetupDialog::OnEnable);
    BindMessage(kRunQueuedMessage, &CSetupDialog::OnRunQueuedRequests);
    BindCommand(IDC_SETUP_ABOUT, &CSetupDialog::OnAbout);
    BindCommand(IDC_SETUP_SETTINGS, &CSetupDialog::OnSettingsButton);
    BindCommand(IDC_SETUP_IMPORT, &CSetupDialog::OnImport);
    BindCommand(ID_PROFILE_IMPORT, &CSetupDialog::OnImport);
    BindCommand(IDC_SETUP_EXPORT, &CSetupDialog::OnExport);
    BindCommand(ID_PROFILE_EXPORT_SELECTED, &CSetupDialog::OnExport);
    BindCommand(ID_PROFILE_EXPORT_ALL, &CSetupDialog::OnMenuExportAll);
    BindCommand(IDC_SETUP_SAVE_PROFILE, &CSetupDialog::OnBnClickedSaveProfile);
    BindCommand(IDC_SETUP_LOAD_PROFILE, &CSetupDialog::OnBnClickedLoadProfile);
    BindControl(LBN_SELCHANGE, IDC_SETUP_PROFILES, &CSetupDialog::OnProfileSelChange);
    BindProfileHandlers();
}

CSetupDialog::~CSetupDialog()
{
    // The pages' windows go before the settings they point at.
    for (auto& page : m_layerTabs)
        page.reset();
    m_scrollingTab.reset();
    m_optionsTab.reset();
    m_removedProfiles.clear();
    m_settings.reset();
    CLangSupport::Release(m_language);
}

bool CSetupDialog::IsQuillon() const
{
    return m_settings != nullptr && m_settings->m_bQuillon;
}

void CSetupDialog::DoDataExchange(CDataExchange& dx)
{
    CDialog::DoDataExchange(dx);
    ExchangeControl(dx, IDC_SETUP_PROFILES, m_profiles);
    ExchangeControl(dx, IDC_SETUP_TABS, m_tabs);
    ExchangeControl(dx, IDC_SETUP_PICTURE, m_picture);
}

void CSetupDialog::SetTitle(const wchar_t* profileName)
{
    std::wstring title = AppProductName() + L" - " + LookupText(m_language, L"Setup") + L" v" + kAppVersion;
    const bool quillon = IsQuillon();
    if (quillon && m_portable)
        title += L" (Quillon " + LookupText(m_language, L"Portable") + L")";
    else if (quillon)
        title += L" (Quillon)";
    else if (m_portable)
        title += L" (" + LookupText(m_language, L"Portable") + L")";
    if (profileName != nullptr && profileName[0] != L'\0')
        title += std::wstring(L" (") + profileName + L")";
    SetWindowText(title.c_str());
}

BOOL CSetupDialog::OnInitDialog()
{
    CStopwatch total;
    CDialog::OnInitDialog();
    CLogger::LogDebug(L"---[ Open Settings Dialog ]--------------------------");
    TranslateWindowTexts(m_language, m_hWnd);
    CreateTooltips();

    CStopwatch step;
    SetTitle();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.Get()));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));
    CLogger::LogDebug(L"OnInitDialog: Setup dialog initialisation took %dms", step.Elapsed());

    step.Restart();
    LoadSettings();
    if (!m_pendingLanguage.empty())
    {
        m_settings->SetLanguage(m_pendingLanguage.c_str());
        m_pendingLanguage.clear();
        SetTimer(kLanguageTimer, 1000);
    }
    CLogger::LogDebug(L"OnInitDialog: Loading settings took %dms", step.Elapsed());
    UpdateData(false);

    step.Restart();
    SortActionList(m_actions, m_settings->m_bSortActionsAlphabetically);
    CLogger::LogDebug(L"OnInitDialog: Sorting action list took %dms", step.Elapsed());

    step.Restart();
    CreateTabs();
    CLogger::LogDebug(L"OnInitDialog: Creating layer tabs took %dms", step.Elapsed());

    step.Restart();
    InitProfileList();
    SelectEntry(std::clamp(m_initialSelection, 0, std::max(0, ProfileCount() - 1)));
    m_lastSelection = -1;
    OnProfileSelChange();
    PopulateTabs();
    CLogger::LogDebug(L"OnInitDialog: PopulateTabs took %dms", step.Elapsed());

    ::SetSetupWindow(m_hWnd);
    ::SetForegroundWindow(m_hWnd);
    ShowWindow(SW_SHOW);

    if (!m_pendingImport.empty())
        SetTimer(kImportTimer, 1000);
    SetTimer(kStatusTimer, 500);

    ::SetFocus(m_profiles.GetSafeHwnd());
    m_profiles.PostMessage(WM_SETFOCUS);
    PostMessage(::RegisterWindowMessageW(L"BRMPFixScrollBar"));
    CLogger::LogDebug(L"OnInitDialog took %dms", total.Elapsed());
    return FALSE;
}

void CSetupDialog::CreateTooltips()
{
    if (!m_tooltip.Create(m_hWnd))
    {
        CLogger::LogMessage(L"OnInitDialog: Unable to create the ToolTip control!");
        return;
    }
    m_tooltip.SetMaxTipWidth(600);
    for (const ToolText& tool : kTools)
        m_tooltip.AddTool(GetDlgItem(tool.id), LookupText(m_language, tool.text));
    m_tooltip.Activate(true);
    m_tooltipReady = true;
}

BOOL CSetupDialog::PreTranslateMessage(MSG* msg)
{
    if (m_tooltipReady)
        m_tooltip.RelayEvent(msg);
    return CDialog::PreTranslateMessage(msg);
}

std::wstring CSetupDialog::LayerTabLabel(int layer) const
{
    const int layers = m_settings->MaxLayers();
    if (layers < 6 || layer == 0)
        return LookupText(m_language, L"Layer") + L" " + std::to_wstring(layer + 1);
    return L"   " + std::to_wstring(layer + 1);
}

SetupPageContext CSetupDialog::PageContext()
{
    SetupPageContext context;
    context.dialog = this;
    context.settings = m_settings.get();
    context.tabs = &m_tabs;
    context.actions = &m_actions;
    context.quillon = IsQuillon();
    context.portable = m_portable;
    context.wheelLines = m_settings->m_nWheelScrollLines;
    return context;
}

void CSetupDialog::CreateTabs()
{
    for (int i = 0; i < kLayerPages; ++i)
        m_layerTabs[i] = CreateLayerPage(m_language);
    const SetupPageContext context = PageContext();
    m_scrollingTab = CreateScrollingPage(m_language);
    m_optionsTab = CreateOptionsPage(m_language);
    if (m_scrollingTab && !m_scrollingTab->CreatePage(context))
        m_scrollingTab.reset();
    if (m_optionsTab && !m_optionsTab->CreatePage(context))
        m_optionsTab.reset();

    AddTabs(false);
    ::SendMessageW(m_tabs.GetSafeHwnd(), TCM_SETMINTABWIDTH, 0, 38);
    if (m_optionsTab)
        ::EnableWindow(::GetDlgItem(m_optionsTab->Page().GetSafeHwnd(), IDC_OPT_DISABLE_SCROLL_UNDER),
                       m_settings->m_bScrollWindowUnderCursor);
    m_tabs.ResizePages();
    m_tabs.ActivatePage(0);
}

void CSetupDialog::RebuildTabItems()
{
    ::LockWindowUpdate(m_tabs.GetSafeHwnd());
    m_tabs.RemoveAllPages();
    m_tabs.SendMessage(TCM_DELETEALLITEMS);
    for (auto& page : m_layerTabs)
        if (page && page->Page().IsWindow())
            page->Page().ShowWindow(SW_HIDE);
    if (m_scrollingTab)
        m_scrollingTab->Page().ShowWindow(SW_HIDE);
    if (m_optionsTab)
        m_optionsTab->Page().ShowWindow(SW_HIDE);
    AddTabs(true);
}

void CSetupDialog::AddTabs(bool fillNewPages)
{
    SetupPageContext context = PageContext();

    CApplicationSettings* selected = ProfileAt(SelectedEntry());
    const int layers = std::min(m_settings->MaxLayers(), kLayerPages);
    for (int i = 0; i < layers; ++i)
    {
        ISetupLayerPage* page = m_layerTabs[i].get();
        if (page == nullptr)
            continue;
        if (!page->Page().IsWindow())
        {
            context.layer = i;
            if (!page->CreatePage(context))
            {
                CLogger::LogMessage(L"CSetupDialog: Unable to create the page of layer %d.", i + 1);
                continue;
            }
            if (fillNewPages)
            {
                page->ResetActionCombos();
                if (selected != nullptr)
                    page->ShowProfile(selected);
            }
        }
        page->PopulateLayerCombo();
        const std::wstring label = LayerTabLabel(i);
        m_tabs.AddPage(label.c_str(), i, {&page->Page(), 0});
    }
    if (m_scrollingTab)
        m_tabs.AddPage(LookupText(m_language, L"Scrolling").c_str(), m_tabs.GetPageCount(), {&m_scrollingTab->Page(), 0});
    if (m_optionsTab)
        m_tabs.AddPage(LookupText(m_language, L"Options").c_str(), m_tabs.GetPageCount(), {&m_optionsTab->Page(), 0});
}

void CSetupDialog::RebuildLayerTabs(bool layerCountChanged, ISetupLayerPage* leaveOut)
{
    if (!layerCountChanged)
    {
        for (auto& page : m_layerTabs)
            if (page && page.get() != leaveOut && page->Page().IsWindow())
                page->Refill();
        return;
    }
    const int selected = static_cast<int>(m_tabs.SendMessage(TCM_GETCURSEL));
    RebuildTabItems();
    for (auto& page : m_layerTabs)
        if (page && page.get() != leaveOut && page->Page().IsWindow())
            page->Refill();
    ::LockWindowUpdate(nullptr);
    m_tabs.ResizePages();
    m_tabs.ActivatePage(std::clamp(selected, 0, std::max(0, m_tabs.GetPageCount() - 1)));
}

void CSetupDialog::EnableApply()
{
    ::EnableWindow(GetDlgItem(IDOK), TRUE);
}

bool CSetupDialog::IsApplyEnabled() const
{
    return ::IsWindowEnabled(GetDlgItem(IDOK)) != FALSE;
}

bool CSetupDialog::StoreTabs()
{
    // The pages are stored in the order of their tabs. The first that refuses
    // a value has said why; it is shown, with the refused text still in its
    // field, and the caller stops.
    const auto store = [this](ISetupProfilePage& page) {
        if (page.StoreProfile())
            return true;
        const int tab = TabOfPage(page.Page());
        if (tab >= 0)
        {
            m_tabs.ActivatePage(tab);
            return false;
        }
        // A layer page without a tab (beyond the layers in use) cannot be
        // shown, so it cannot be mended either: what it holds is left unstored.
        CLogger::LogMessage(L"CSetupDialog::StoreTabs: A page without a tab refused its values; they are not stored.");
        return true;
    };
    for (auto& page : m_layerTabs)
        if (page && page->Page().IsWindow() && !store(*page))
            return false;
    if (m_scrollingTab && !store(*m_scrollingTab))
        return false;
    if (m_optionsTab && !store(*m_optionsTab))
        return false;
    return true;
}

int CSetupDialog::TabOfPage(const CTabPageSSL& page) const
{
    for (int tab = 0; tab < m_tabs.GetPageCount(); ++tab)
        if (m_tabs.GetPage(tab) == &page)
            return tab;
    return -1;
}

bool CSetupDialog::Save()
{
    if (!UpdateData(true))
        return false;
    CStopwatch watch;
    if (SaveXMLSettings())
    {
        CLogger::LogDebug(L"Save settings took %dms", watch.Elapsed());
        return true;
    }
    CLogger::LogMessage(L"Unable to save XML Settings");
    return false;
}

void CSetupDialog::OnOK()
{
    // Enter reaches here with Apply disabled too: nothing to write then.
    if (IsApplyEnabled())
        OnApply();
}

bool CSetupDialog::OnApply()
{
    CWaitCursor wait;
    CLogger::LogMessage(L"Applying changes to %s settings...", AppProductName().c_str());
    // A page that refuses a value keeps the edits on screen, unsaved.
    if (!StoreTabs())
    {
        CLogger::LogMessage(L"CSetupDialog::OnApply: A page refused its values; nothing was saved.");
        return false;
    }
    const bool saved = Save();
    if (saved)
    {
        ::SetDebug(m_settings->m_bDebugging, L"Apply settings");
        ::UpdateSettings();
        m_remoteDesktopDisable = m_settings->m_bDisableInRDP;
        // Greyed out only now: once it is, the change is in force, and a
        // click right after it already has the new actions.
        ::EnableWindow(GetDlgItem(IDOK), FALSE);
    }
    else
    {
        ::SetDebug(m_settings->m_bDebugging, L"Apply settings (save failed)");
    }
    m_initialSelection = SelectedEntry();
    if (m_parent != nullptr)
        m_parent->PostMessage(::RegisterWindowMessageW(L"BRMP_UpdateIcon"), 0, 0);
    return saved;
}

void CSetupDialog::OnCancel()
{
    OnCloseButton();
}

void CSetupDialog::OnCloseButton()
{
    m_initialSelection = SelectedEntry();
    if (IsApplyEnabled())
    {
        const int answer = ShowMessageBox(
            LookupText(m_language, L"Do you want to save the changes you have made to the configuration?\n\nWarning: "
                                   L"If you say 'No', any changes will be lost!"),
            MB_YESNO | MB_ICONQUESTION, m_hWnd);
        // A failed save keeps the dialog, and the edits it shows, open.
        if (answer == IDYES && !OnApply())
            return;
    }
    CWaitCursor wait;
    ::SetSetupWindow(nullptr);
    CDialog::OnOK();
}

LRESULT CSetupDialog::OnDestroy(WPARAM, LPARAM)
{
    // Whatever way the dialog ends, the library stops sending it notes.
    ::SetSetupWindow(nullptr);
    return Default();
}

void CSetupDialog::OnAbout()
{
    CAboutDlg about(this);
    m_aboutBox = &about;
    try
    {
        about.DoModal();
    }
    catch (...)
    {
        m_aboutBox = nullptr;
        throw;
    }
    m_aboutBox = nullptr;
}

void CSetupDialog::OnSettingsButton()
{
    ShowGlobalSettings(0);
}

bool CSetupDialog::SelectLanguage(const std::wstring& language)
{
    // The global settings sheet, when it is what is open, shows the new
    // language at once; any other window waits for its turn.
    if (HasModalChild() && !GlobalSettingsOpen())
    {
        m_queued.push_back({QueuedRequest::Language, language});
        return true;
    }
    m_settings->SetLanguage(language.c_str());
    EnableApply();
    ShowGlobalSettings(3);
    return true;
}

void CSetupDialog::ShowGlobalSettings(int startPage)
{
    // The sheet may refill the scrolling and options pages from the profile:
    // their edits go into it first.
    if (!StoreTabs())
        return;
    CApplicationSettings* profile = ProfileAt(SelectedEntry());
    const int layersBefore = m_settings->MaxLayers();
    const int selectedTab = static_cast<int>(m_tabs.SendMessage(TCM_GETCURSEL));
    const GlobalSettingsOutcome outcome = RunGlobalSettings(*this, *m_settings, startPage);
    if (!outcome.changed)
    {
        UpdateData(false);
        return;
    }
    if (m_optionsTab)
        ::EnableWindow(::GetDlgItem(m_optionsTab->Page().GetSafeHwnd(), IDC_OPT_DISABLE_SCROLL_UNDER),
                       m_settings->m_bScrollWindowUnderCursor);
    if (profile != nullptr)
    {
        if (m_scrollingTab)
            m_scrollingTab->ShowProfile(profile);
        if (m_optionsTab)
            m_optionsTab->ShowProfile(profile);
    }
    const int layersAfter = m_settings->MaxLayers();
    if (layersAfter != layersBefore)
    {
        RebuildTabItems();
        ::LockWindowUpdate(nullptr);
        m_tabs.ResizePages();
        int select = selectedTab;
        if (selectedTab < layersBefore)
            select = layersAfter < selectedTab ? 0 : selectedTab;
        else
            select = layersAfter;
        m_tabs.ActivatePage(std::clamp(select, 0, std::max(0, m_tabs.GetPageCount() - 1)));
    }
    EnableApply();
    UpdateData(false);
}

LRESULT CSetupDialog::OnSetupHelperMsg(WPARAM button, LPARAM kind)
{
    if (button > 8)
        return 0;
    const bool quillon = IsQuillon();
    const int index = static_cast<int>(button);
    if (quillon && index == 6)
        return 0;
    const int type = LOWORD(kind);
    const COLORREF colour = HIWORD(kind) != 0 ? kSecondHighlight : kHighlight;
    // Tilt and wheel "buttons" send no release: their colour goes by itself.
    const bool noRelease = quillon ? index > 5 : index > 4;
    const int layers = std::min(m_settings->MaxLayers(), kLayerPages);
    for (int i = 0; i < layers; ++i)
    {
        ISetupLayerPage* page = m_layerTabs[i].get();
        if (page == nullptr || !page->Page().IsWindow())
            continue;
        if (type == 1)
        {
            for (int b = 5; b <= 8; ++b)
                page->HighlightButton(b, CLR_INVALID, false);
            page->HighlightButton(index, colour, noRelease);
        }
        else if (type == 2 && !noRelease)
        {
            page->HighlightButton(index, CLR_INVALID, false);
        }
    }
    return 0;
}

LRESULT CSetupDialog::OnLayerChanged(WPARAM layer, LPARAM)
{
    if (layer < static_cast<WPARAM>(std::min(m_settings->MaxLayers(), kLayerPages)))
    {
        m_tabs.ActivatePage(static_cast<int>(layer));
        // The page turned away may hold the focus: keys would go on to it.
        KeepFocusShown(m_hWnd, m_tabs.GetSafeHwnd());
    }
    return 1;
}

LRESULT CSetupDialog::OnFixScrollBar(WPARAM, LPARAM)
{
    HWND list = m_profiles.GetSafeHwnd();
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    if (list == nullptr || !::GetScrollBarInfo(list, OBJID_VSCROLL, &info))
    {
        CLogger::LogDebug(L"SetupDialog: Unable to get scrollbar info.");
        return 0;
    }
    RECT client{};
    ::GetClientRect(list, &client);
    const int height = m_profiles.GetItemHeight(0);
    const int count = m_profiles.GetCount();
    const int window = client.bottom - client.top;
    const bool visible = (info.rgstate[0] & STATE_SYSTEM_INVISIBLE) == 0;
    if (height * count < window)
    {
        if (visible)
        {
            CLogger::LogDebug(L"SetupDialog: Scrollbar currently visible when it is not needed (item height (%d) * items "
                              L"(%d) <= window height (%d)). Hiding scrollbar...", height, count, window);
            ::ShowScrollBar(list, SB_VERT, FALSE);
        }
        else
            CLogger::LogDebug(L"SetupDialog: Scrollbar currently not visible and not needed (item height (%d) * items "
                              L"(%d) <= window height (%d)).", height, count, window);
    }
    else if (!visible)
    {
        CLogger::LogDebug(L"SetupDialog: Scrollbar is required and currently not visible (as item height (%d) * items "
                          L"(%d) > window height (%d)). Showing scrollbar...", height, count, window);
        ::ShowScrollBar(list, SB_VERT, TRUE);
    }
    else
        CLogger::LogDebug(L"SetupDialog: Scrollbar is required and currently visible (as item height (%d) * items (%d) "
                          L"> window height (%d).", height, count, window);
    return 0;
}

LRESULT CSetupDialog::OnTimer(WPARAM id, LPARAM)
{
    switch (id)
    {
    case kImportTimer:
    {
        KillTimer(id);
        const std::wstring file = std::move(m_pendingImport);
        m_pendingImport.clear();
        Import(file);
        break;
    }
    case kLanguageTimer:
        KillTimer(id);
        ShowGlobalSettings(3);
        break;
    case kStatusTimer:
        KillTimer(id);
        UpdateStatusLine();
        SetTimer(kStatusTimer, 1000);
        break;
    default:
        return Default();
    }
    return 0;
}

void CSetupDialog::UpdateStatusLine()
{
    HWND status = GetDlgItem(IDC_SETUP_STATUS);
    if (status == nullptr)
        return;
    std::wstring text;
    if (m_remoteDesktopDisable && ::GetSystemMetrics(SM_REMOTESESSION) != 0)
        text = LookupText(m_language, L"Disabled under Remote Desktop!");
    else if (m_settings->m_bScrollLockBypassAll && (::GetKeyState(VK_SCROLL) & 1) != 0)
        text = LookupText(m_language, L"Disabled because Scroll Lock is ON!");
    if (text.empty())
    {
        ::SetWindowTextW(status, L"");
        ::ShowWindow(status, SW_HIDE);
        return;
    }
    wchar_t current[256] = {};
    ::GetWindowTextW(status, current, 256);
    if (text != current)
        ::SetWindowTextW(status, text.c_str());
    ::ShowWindow(status, SW_SHOW);
}

LRESULT CSetupDialog::OnCtlColorStatic(WPARAM dc, LPARAM control)
{
    const LRESULT brush = Default();
    if (reinterpret_cast<HWND>(control) == GetDlgItem(IDC_SETUP_STATUS))
        ::SetTextColor(reinterpret_cast<HDC>(dc), RGB(200, 0, 0));
    return brush;
}

LRESULT CSetupDialog::OnDpiChanged(WPARAM, LPARAM)
{
    CLogger::LogDebug(L"Received WM_DPICHANGED");
    return 0;
}

bool CSetupDialog::HasModalChild() const
{
    // Every modal window on top of the dialog (the framework's dialogs, the
    // system's file dialogs and message boxes) disables it while it runs.
    return m_hWnd != nullptr && !::IsWindowEnabled(m_hWnd);
}

LRESULT CSetupDialog::OnEnable(WPARAM enabled, LPARAM)
{
    if (enabled && !m_queued.empty() && !m_runQueued.Ask(m_hWnd))
        CLogger::LogMessage(L"CSetupDialog::OnEnable: Unable to post the run of %u queued requests (error %u); "
                            L"they run when the dialog is next enabled.",
                            static_cast<unsigned>(m_queued.size()), static_cast<unsigned>(::GetLastError()));
    return Default();
}

LRESULT CSetupDialog::OnRunQueuedRequests(WPARAM, LPARAM)
{
    m_runQueued.Arrived();
    while (!m_queued.empty() && !HasModalChild())
    {
        const QueuedRequest request = m_queued.front();
        m_queued.erase(m_queued.begin());
        switch (request.kind)
        {
        case QueuedRequest::ImportFile:
            Import(request.argument);
            break;
        case QueuedRequest::Switch:
            SwitchProfile(request.argument);
            break;
        case QueuedRequest::Language:
            SelectLanguage(request.argument);
            break;
        }
    }
    return 0;
}

void CSetupDialog::BringToFront()
{
    ::SetForegroundWindow(m_hWnd);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}

namespace
{
struct CloseChildren
{
    HWND dialog;
};

BOOL CALLBACK CloseOwnedWindow(HWND window, LPARAM data)
{
    const HWND dialog = reinterpret_cast<CloseChildren*>(data)->dialog;
    if (window == dialog || !::IsWindowVisible(window))
        return TRUE;
    for (HWND owner = ::GetWindow(window, GW_OWNER); owner != nullptr; owner = ::GetWindow(owner, GW_OWNER))
    {
        if (owner == dialog)
        {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
            break;
        }
    }
    return TRUE;
}
}

void CSetupDialog::EndForExit()
{
    m_queued.clear();
    if (m_aboutBox != nullptr && m_aboutBox->IsWindow())
        m_aboutBox->PostMessage(WM_CLOSE);
    CloseChildren data{m_hWnd};
    ::EnumThreadWindows(::GetCurrentThreadId(), &CloseOwnedWindow, reinterpret_cast<LPARAM>(&data));
    EndDialog(0);
}
