#include "OSDWindow.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <optional>

#include "CaughtException.h"
#include "Control.h"
#include "DialogTemplate.h"
#include "Handles.h"
#include "Logger.h"
#include "OSVersion.h"
#include "StringFormat.h"

namespace
{
constexpr BYTE ShownAlpha = 220;
constexpr DWORD HoldWithValueMs = 2000;
constexpr DWORD HoldMs = 1000;
constexpr DWORD FadeStepMs = 20;
constexpr DWORD LingerMs = 3000;

int CALLBACK FontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(const wchar_t* face)
{
    const UniqueDC memory(::CreateCompatibleDC(WindowDC(nullptr).Get()));
    if (!memory)
        return false;
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    wcsncpy_s(font.lfFaceName, face, _TRUNCATE);
    bool found = false;
    ::EnumFontFamiliesExW(memory.Get(), &font, FontFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// Read and set on the thread that creates the displays.
std::optional<UINT> g_pinnedWheelLines;

UINT WheelScrollLines()
{
    if (g_pinnedWheelLines)
        return *g_pinnedWheelLines;
    UINT lines = 3;
    if (!::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        lines = 3;
    return lines;
}

// Shared by every display and alive for the whole process: the dialog keeps
// only a pointer to it.
const DLGTEMPLATE* OSDTemplate()
{
    static const CDialogTemplate osd = [] {
        CDialogTemplate t(L"", WS_POPUP, 0, 0, 30, 70, WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
        t.AddControl(L"STATIC", L"", COSDDlg::IdBar, WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 12, 8, 6, 40);
        t.AddControl(L"STATIC", L"", COSDDlg::IdValue, WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 7, 53, 16, 10);
        return t;
    }();
    return osd.Get();
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(colour));
    if (brush)
        ::FillRect(dc, &rect, brush.Get());
}
} // namespace

void PinOSDWheelLines(UINT lines)
{
    g_pinnedWheelLines = lines;
}

void UnpinOSDWheelLines()
{
    g_pinnedWheelLines.reset();
}

COSDDlg::COSDDlg(const wchar_t* name, int x, int y, int wheelStep, COLORREF levelFill,
                 std::unique_ptr<IOSDValueTarget> target)
    : CDialog(OSDTemplate()),
      m_nWheelStep(wheelStep),
      m_strName(name),
      m_nX(x),
      m_nY(y),
      m_crLevelFill(levelFill),
      m_target(std::move(target))
{
    BindMessage(WM_TIMER, &COSDDlg::OnTimer);
    BindMessage(WM_DRAWITEM, &COSDDlg::OnDrawItem);
    BindMessage(WM_LBUTTONDOWN, &COSDDlg::OnLButtonDown);
    BindMessage(WM_LBUTTONUP, &COSDDlg::OnLButtonUp);
    BindMessage(WM_MOUSEMOVE, &COSDDlg::OnMouseMove);
    BindMessage(WM_MOUSEWHEEL, &COSDDlg::OnMouseWheel);
    BindMessage(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        ::ValidateRect(m_hWnd, nullptr);
        return 0;
    });
    BindMessage(WM_ERASEBKGND, [](WPARAM, LPARAM) -> LRESULT { return TRUE; });
    BindRegisteredMessage(L"BRMP_OSDShowWindow", &COSDDlg::OnShowOSD);
}

COSDDlg::~COSDDlg()
{
    if (IsWindow())
        DestroyWindow();
}

bool COSDDlg::Create(HWND parent)
{
    if (!CDialog::Create(parent))
        return false;
    SetWindowText(m_strName.c_str());
    m_wheel.Reset(OSDWheelUnit(WheelScrollLines()));
    return true;
}

BOOL COSDDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetAlpha(0);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, m_nX, m_nY, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    const wchar_t* face = FontInstalled(L"Segoe UI") ? L"Segoe UI" : L"Ariel";
    m_strFontFaceMuted = face;
    m_strFontFace = face;
    return FALSE;
}

std::wstring COSDDlg::GetValueText() const
{
    return m_bMuted ? std::wstring(L"X") : FormatString(L"%d", m_nLevel);
}

void COSDDlg::SetAlpha(BYTE alpha)
{
    m_nAlpha = alpha;
    if (m_hWnd != nullptr)
        ::SetLayeredWindowAttributes(m_hWnd, 0, alpha, LWA_ALPHA);
}

void COSDDlg::Repaint()
{
    if (m_hWnd == nullptr)
        return;
    for (int id : {IdBar, IdValue})
    {
        if (HWND control = GetDlgItem(id))
            ::InvalidateRect(control, nullptr, FALSE);
    }
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void COSDDlg::Show(DWORD holdMs)
{
    SetAlpha(ShownAlpha);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    SetTimer(TimerFade, holdMs);
}

LRESULT COSDDlg::OnShowOSD(WPARAM wParam, LPARAM lParam)
{
    try
    {
        DWORD hold = HoldMs;
        if (wParam != 0)
        {
            const OSDShownValue value = DecodeOSDShowParam(lParam);
            m_nLevel = value.level;
            m_bMuted = value.muted;
            Repaint();
            hold = HoldWithValueMs;
        }
        CLogger::LogDebug(L"COSDDlg::OnShowOSD: Show %s", m_strName.c_str());
        Show(hold);
    }
    catch (...)
    {
        LogCaughtException(L"COSDDlg::OnShowOSD");
    }
    return 0;
}

LRESULT COSDDlg::OnValueNotification(WPARAM wParam, LPARAM lParam)
{
    // The level comes from another thread's arithmetic: never trust it past 0..100.
    const int level = static_cast<int>(std::min<WPARAM>(wParam, 100));
    const bool muted = lParam != 0;
    if (level == m_nLevel && muted == m_bMuted)
        return 0;
    m_nLevel = level;
    m_bMuted = muted;
    Repaint();
    if (GetAlwaysShowOSD())
        OnShowOSD(0, 0);
    else
        SetTimer(TimerFade, LingerMs);
    return 0;
}

LRESULT COSDDlg::OnTimer(WPARAM wParam, LPARAM)
{
    if (wParam != TimerFade)
        return Default();
    KillTimer(TimerFade);
    if (m_nAlpha > 0)
    {
        SetAlpha(OSDFadeStep(m_nAlpha));
        SetTimer(TimerFade, FadeStepMs);
    }
    else
    {
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        if (::GetCapture() == m_hWnd)
            ::ReleaseCapture();
    }
    return 0;
}

LRESULT COSDDlg::OnDrawItem(WPARAM, LPARAM lParam)
{
    try
    {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item == nullptr)
            return FALSE;
        if (item->CtlID == static_cast<UINT>(IdBar))
            DrawBar(*item);
        else if (item->CtlID == static_cast<UINT>(IdValue))
            DrawValue(*item);
        else
            return FALSE;
    }
    catch (...)
    {
        LogCaughtException(L"COSDDlg::OnDrawItem");
    }
    return TRUE;
}

void COSDDlg::DrawBar(const DRAWITEMSTRUCT& item) const
{
    RECT clip{};
    ::GetClipBox(item.hDC, &clip);
    FillSolid(item.hDC, clip, m_bMuted ? m_crBarBackgroundMuted : m_crBarBackground);

    const RECT& bar = item.rcItem;
    const int height = bar.bottom - bar.top;
    const int width = bar.right - bar.left;
    RECT fill = bar;
    fill.top = OSDFillTop(bar.top, height, m_nLevel);
    FillSolid(item.hDC, fill, m_bMuted ? m_crLevelFillMuted : m_crLevelFill);

    RECT thumb = bar;
    thumb.top = OSDThumbTop(bar.top, height, width, m_nLevel);
    thumb.bottom = thumb.top + width;
    FillSolid(item.hDC, thumb, m_bMuted ? m_crThumbMuted : m_crThumb);
}

void COSDDlg::DrawValue(const DRAWITEMSTRUCT& item) const
{
    RECT rect = item.rcItem;
    FillSolid(item.hDC, rect, RGB(0, 0, 0));
    const std::wstring& face = m_bMuted ? m_strFontFaceMuted : m_strFontFace;
    UniqueGdiObject<HFONT> font(::CreateFontW(m_bMuted ? 22 : 18, 0, 0, 0, m_bMuted ? 700 : 200, FALSE, FALSE, FALSE,
                                              DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                              ANTIALIASED_QUALITY, DEFAULT_PITCH, face.c_str()));
    const SelectedObject selectedFont(item.hDC, font.Get());
    ::SetTextColor(item.hDC, RGB(255, 255, 255));
    ::SetBkMode(item.hDC, TRANSPARENT);
    const std::wstring text = GetValueText();
    ::DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &rect,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
}

bool COSDDlg::LevelFromBarPoint(POINT clientPoint)
{
    HWND bar = GetDlgItem(IdBar);
    if (bar == nullptr)
        return false;
    RECT rect{};
    ::GetWindowRect(bar, &rect);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    const int level = OSDLevelFromBarY(clientPoint.y - rect.top, rect.bottom - rect.top);
    if (!ValueChanged(level))
        return false;
    m_nLevel = level;
    Repaint();
    Show(HoldMs);
    return true;
}

LRESULT COSDDlg::OnLButtonDown(WPARAM, LPARAM lParam)
{
    try
    {
        if (m_bMuted)
            return 0;
        HWND bar = GetDlgItem(IdBar);
        if (bar == nullptr)
            return 0;
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT rect{};
        ::GetWindowRect(bar, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        if (!::PtInRect(&rect, point))
            return 0;
        LevelFromBarPoint(point);
        ::SetCapture(m_hWnd);
    }
    catch (...)
    {
        LogCaughtException(L"COSDDlg::OnLButtonDown");
    }
    return 0;
}

LRESULT COSDDlg::OnLButtonUp(WPARAM, LPARAM)
{
    try
    {
        if (::GetCapture() == m_hWnd)
            ::ReleaseCapture();
    }
    catch (...)
    {
        LogCaughtException(L"COSDDlg::OnLButtonUp");
    }
    return 0;
}

LRESULT COSDDlg::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    try
    {
        if (m_bMuted || (wParam & MK_LBUTTON) == 0 || ::GetCapture() != m_hWnd)
            return 0;
        LevelFromBarPoint(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    }
    catch (...)
    {
        LogCaughtException(L"COSDDlg::OnMouseMove");
    }
    return 0;
}

LRESULT COSDDlg::OnMouseWheel(WPARAM wParam, LPARAM)
{
    try
    {
        if (m_wheel.Unit() == 0)
            return 0;
        const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        const int units = m_wheel.Add(delta);
        if (units == 0 || m_bMuted || !::IsWindowVisible(m_hWnd))
            return 0;
        CLogger::LogDebug(L"COSDDlg::OnMouseWheel (%s) Delta %d", m_strName.c_str(), delta);
        const int level = OSDLevelAfterWheel(m_nLevel, units, m_nWheelStep);
        if (ValueChanged(level))
        {
            m_nLevel = level;
            Repaint();
            Show(HoldMs);
        }
    }
    catch (...)
    {
        LogCaughtException(L"COSDDlg::OnMouseWheel");
    }
    return 0;
}

// ---------------------------------------------------------------------------

CVolumeOSDDlg::CVolumeOSDDlg(std::unique_ptr<IOSDValueTarget> target)
    : COSDDlg(L"Volume OSD", 50, 60, 1, 0xBD3800, std::move(target))
{
    BindRegisteredMessage(L"WRMP_OSDVolumeChanged", &CVolumeOSDDlg::OnValueNotification);
    BindRegisteredMessage(L"WRMP_OSDAudioDeviceChanged", &CVolumeOSDDlg::OnDeviceChanged);
}

CVolumeOSDDlg::~CVolumeOSDDlg()
{
    CLogger::LogThreadDebug(L"CVolumeOSDDlg Deleteing volume manager...");
    if (IsWindow())
        DestroyWindow();
    SetTarget(nullptr);
}

BOOL CVolumeOSDDlg::OnInitDialog()
{
    CLogger::LogDebug(L"CVolumeOSDDlg::OnInitDialog: Initialising volume OSD dialog.");
    if (GetOSVersion() >= ActionOS_Win8)
        SetX(GetX() + 120);
    if (Target() != nullptr)
        Target()->SetNotifyWindow(m_hWnd);
    return COSDDlg::OnInitDialog();
}

LRESULT CVolumeOSDDlg::OnDeviceChanged(WPARAM, LPARAM)
{
    CLogger::LogThreadDebug(L"CVolumeOSDDlg::OnDeviceChanged: Re-initialise volume manager...");
    if (Target() != nullptr)
        Target()->Reinitialise();
    return 0;
}

bool CVolumeOSDDlg::ValueChanged(int level)
{
    CLogger::LogDebug(L"CVolumeOSDDlg::ValueChanged: New volume level %d", level);
    return Target() != nullptr && Target()->SetLevel(level);
}

CBrightnessOSD::CBrightnessOSD(std::unique_ptr<IOSDValueTarget> target)
    : COSDDlg(L"Brightness OSD", 100, 60, 10, 0x00B676, std::move(target)), m_bMakeTarget(Target() == nullptr)
{
    BindRegisteredMessage(L"BRMP_OSDBrightnessChanged", &CBrightnessOSD::OnValueNotification);
}

CBrightnessOSD::~CBrightnessOSD()
{
    if (IsWindow())
        DestroyWindow();
    SetTarget(nullptr);
}

BOOL CBrightnessOSD::OnInitDialog()
{
    CLogger::LogDebug(L"CBrightnessOSD::OnInitDialog: Initialising brightness OSD dialog.");
    if (m_bMakeTarget)
        SetTarget(CreateBrightnessTarget());
    return COSDDlg::OnInitDialog();
}

bool CBrightnessOSD::ValueChanged(int level)
{
    CLogger::LogDebug(L"CBrightnessOSD::ValueChanged: Brightness value changed to %d.", level);
    return Target() != nullptr && Target()->SetLevel(level);
}

std::unique_ptr<CVolumeOSDDlg> CreateVolumeOSD(HWND parent)
{
    auto osd = std::make_unique<CVolumeOSDDlg>();
    if (!osd->Create(parent))
    {
        CLogger::LogMessage(L"CreateVolumeOSD: Unable to create the volume display");
        return nullptr;
    }
    return osd;
}

std::unique_ptr<CBrightnessOSD> CreateBrightnessOSD(HWND parent)
{
    auto osd = std::make_unique<CBrightnessOSD>();
    if (!osd->Create(parent))
    {
        CLogger::LogMessage(L"CreateBrightnessOSD: Unable to create the brightness display");
        return nullptr;
    }
    return osd;
}
