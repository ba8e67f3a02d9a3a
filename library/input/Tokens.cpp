#include "Tokens.h"

#include <cstring>

#include "ButtonEventKind.h"
#include "LogCaughtException.h"
#include "Logger.h"
#include "RegisteredMessages.h"
#include "SendInput.h"
#include "TokenServices.h"

namespace
{
ITokenServices& Services(const SimTokenSendContext& context)
{
    return context.services != nullptr ? *context.services : GetTokenServices();
}

// Tokens that act once per held button: on the down half unless they are release-only.
bool OnceHalf(const CSimToken& token, bool up)
{
    return token.m_nPart == SIMPART_RELEASE ? up : !up;
}

// Tokens that act on both halves unless they are press-only or release-only.
bool EachHalf(const CSimToken& token, bool up)
{
    if (token.m_nPart == SIMPART_PRESS)
        return !up;
    if (token.m_nPart == SIMPART_RELEASE)
        return up;
    return true;
}

bool IsVolumeKey(int vk)
{
    return vk == VK_VOLUME_MUTE || vk == VK_VOLUME_DOWN || vk == VK_VOLUME_UP;
}
}

// --- base ------------------------------------------------------------------

CSimToken::~CSimToken() = default;

bool CSimToken::FilterPasses(bool up, bool repeat) const
{
    if (m_nFilter == 0)
        return true;
    if ((m_nFilter & SIMFILTER_REPEAT) == 0 && repeat)
        return false;
    if ((m_nFilter & SIMFILTER_REPEAT) != 0 && !repeat)
        return false;
    if ((m_nFilter & SIMFILTER_DOWN) != 0 && up)
        return false;
    if ((m_nFilter & SIMFILTER_UP) != 0 && !up)
        return false;
    return true;
}

bool CSimToken::PartPasses(int sequenceType) const
{
    switch (sequenceType)
    {
    case SIMSEQ_WHOLE:
        return true;
    case SIMSEQ_PRESS:
        return m_nPart != SIMPART_RELEASE;
    case SIMSEQ_RELEASE:
        return m_nPart != SIMPART_PRESS;
    default:
        return false;
    }
}

// --- keys ------------------------------------------------------------------

bool CSimKeyToken::Queue(const SimTokenSendContext& context, bool release, UINT holdTime)
{
    UINT pending = holdTime;
    return context.sendInput->SendKeyState(m_nVirtualKey, m_bExtended, m_nModifiers, m_nScan, m_bUnicode, release,
                                           context.defaultHoldTime, context.keyExtraInfo, context.targetLayout, pending);
}

void CSimKeyToken::TellVolumeDisplay(const SimTokenSendContext& context) const
{
    if (context.volumeOsdWindow != nullptr && IsVolumeKey(m_nVirtualKey))
        ::PostMessageW(context.volumeOsdWindow, BRMP_OSDShowWindow, 0, 0);
}

UINT CSimKeyToken::SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat)
{
    if (!FilterPasses(up, repeat) || !PartPasses(sequenceType))
        return 0;
    // The hold time delays what follows the press; the release that follows it waits no more.
    if (sequenceType != SIMSEQ_WHOLE || m_nPart == SIMPART_BOTH)
    {
        Queue(context, false, m_nHoldTime);
        Queue(context, true, 0);
    }
    else
    {
        Queue(context, m_nPart == SIMPART_RELEASE, m_nHoldTime);
    }
    TellVolumeDisplay(context);
    return 0;
}

UINT CSimKeyToken::SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int*)
{
    if (!FilterPasses(up, repeat))
        return 0;
    if (m_nPart == SIMPART_PRESS)
    {
        if (up)
            return 0;
        Queue(context, false, 0);
        Queue(context, true, 0);
    }
    else if (m_nPart == SIMPART_RELEASE)
    {
        if (!up)
            return 0;
        Queue(context, false, m_nHoldTime);
        Queue(context, true, 0);
    }
    else if (m_nFilter == 0 && !m_bMark)
    {
        // The key follows the button: down with the press, up with the release.
        Queue(context, up, m_nHoldTime);
    }
    else
    {
        Queue(context, false, m_nHoldTime);
        Queue(context, true, 0);
    }
    TellVolumeDisplay(context);
    return 0;
}

// --- SimKey actions --------------------------------------------------------

UINT CSimKeyActionToken::SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat)
{
    if (!FilterPasses(up, repeat) || !PartPasses(sequenceType))
        return 0;
    context.sendInput->SendSimKeyAction(m_nAction, static_cast<float>(m_nAmount));
    if (m_nAction == SIMKEY_VOLUMEUP || m_nAction == SIMKEY_VOLUMEDOWN || m_nAction == SIMKEY_MUTE)
        ShowVolumeFlyout(context.volumeOsdWindow);
    return 0;
}

UINT CSimKeyActionToken::SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int*)
{
    if (FilterPasses(up, repeat) && EachHalf(*this, up))
        context.sendInput->SendSimKeyAction(m_nAction, static_cast<float>(m_nAmount));
    return 0;
}

// --- mouse -----------------------------------------------------------------

UINT CSimMouseToken::Mouse(const SimTokenSendContext& context, int kind)
{
    const UINT queued = context.sendInput->SendMouse(m_nButton, kind, m_pt, context.leftAlreadyDown,
                                                     context.alternativeButtonNames, context.mouseExtraInfo, m_nHoldTime);
    return queued != 0 ? m_nHoldTime : 0;
}

void CSimMouseToken::Modifiers(const SimTokenSendContext& context, bool release)
{
    if (m_nModifiers == 0)
        return;
    UINT pending = 0;
    context.sendInput->SendKeyState(0, false, m_nModifiers, 0, false, release, context.defaultHoldTime,
                                    context.keyExtraInfo, context.targetLayout, pending);
}

UINT CSimMouseToken::SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat)
{
    if (!FilterPasses(up, repeat) || !PartPasses(sequenceType))
        return 0;
    const int part = sequenceType == SIMSEQ_WHOLE ? m_nPart : SIMPART_BOTH;
    UINT ms = 0;
    if (part == SIMPART_PRESS)
    {
        if (m_nAction == 2)
            return 0;
        Modifiers(context, false);
        return Mouse(context, kEventDown);
    }
    if (part == SIMPART_RELEASE)
    {
        if (m_nAction == 1)
            return 0;
        ms = Mouse(context, kEventUp);
        Modifiers(context, true);
        return ms;
    }
    Modifiers(context, false);
    if (m_nAction == 0)
    {
        ms += Mouse(context, kEventDown);
        ms += Mouse(context, kEventUp);
    }
    else
    {
        ms += Mouse(context, m_nAction);
    }
    Modifiers(context, true);
    return ms;
}

UINT CSimMouseToken::SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int*)
{
    if (!FilterPasses(up, repeat))
        return 0;
    UINT ms = 0;
    if (m_nPart == SIMPART_PRESS || m_nPart == SIMPART_RELEASE)
    {
        if (up != (m_nPart == SIMPART_RELEASE))
            return 0;
        Modifiers(context, false);
        ms += Mouse(context, kEventDown);
        ms += Mouse(context, kEventUp);
        Modifiers(context, true);
        return ms;
    }
    const bool oneShot = m_nFilter != 0 || m_bMark;
    if (!up)
    {
        Modifiers(context, false);
        if (oneShot)
        {
            ms += Mouse(context, kEventDown);
            Modifiers(context, true);
        }
        else
        {
            ms += Mouse(context, m_nAction == 0 ? 1 : m_nAction);
        }
        return ms;
    }
    if (oneShot)
        return 0;   // everything happened on the down half
    if (m_nAction == 0)
        ms += Mouse(context, kEventUp);
    Modifiers(context, true);
    return ms;
}

// --- cursor ----------------------------------------------------------------

UINT CSimCursorToken::SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat)
{
    if (FilterPasses(up, repeat) && PartPasses(sequenceType))
        context.sendInput->ModCursorPos(m_nOperation, m_nValue);
    return 0;
}

UINT CSimCursorToken::SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int*)
{
    if (FilterPasses(up, repeat) && EachHalf(*this, up))
        context.sendInput->ModCursorPos(m_nOperation, m_nValue);
    return 0;
}

UINT CSimCursorTokenEx::SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat)
{
    if (FilterPasses(up, repeat) && PartPasses(sequenceType))
        context.sendInput->ModCursorPosXY(m_nX, m_nY, m_nOperation);
    return 0;
}

UINT CSimCursorTokenEx::SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int*)
{
    if (FilterPasses(up, repeat) && EachHalf(*this, up))
        context.sendInput->ModCursorPosXY(m_nX, m_nY, m_nOperation);
    return 0;
}

// --- layers ----------------------------------------------------------------

UINT CSimLayerToken::SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat)
{
    if (FilterPasses(up, repeat) && PartPasses(sequenceType))
        context.sendInput->SetLayer(m_nLayer);
    return 0;
}

UINT CSimLayerToken::SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int* heldLayer)
{
    if (!FilterPasses(up, repeat))
        return 0;
    if ((m_nFilter & SIMFILTER_UP) != 0)
    {
        if (up)
        {
            context.sendInput->SimKeySetLayer(m_nRestoreLayer, false);
            if (heldLayer != nullptr)
                *heldLayer = -1;
        }
        return 0;
    }
    if (!up)
    {
        if (heldLayer != nullptr)
            *heldLayer = m_nRestoreLayer;
        context.sendInput->SimKeySetLayer(m_nLayer, true);
    }
    else
    {
        context.sendInput->SimKeySetLayer(m_nRestoreLayer, false);
        if (heldLayer != nullptr)
            *heldLayer = -1;
    }
    return 0;
}

// --- waits -----------------------------------------------------------------

UINT CSimWaitToken::SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat)
{
    if (FilterPasses(up, repeat) && PartPasses(sequenceType))
        context.sendInput->SendInputDelay(m_nMilliseconds);
    return 0;
}

UINT CSimWaitToken::SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int*)
{
    if (FilterPasses(up, repeat) && EachHalf(*this, up))
        context.sendInput->SendInputDelay(m_nMilliseconds);
    return 0;
}

// --- services --------------------------------------------------------------

UINT CSimBrightnessToken::SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat)
{
    if (FilterPasses(up, repeat) && PartPasses(sequenceType))
        Services(context).ChangeBrightness(m_nDirection, m_pt);
    return 0;
}

UINT CSimBrightnessToken::SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int*)
{
    if (FilterPasses(up, repeat) && OnceHalf(*this, up))
        Services(context).ChangeBrightness(m_nDirection, m_pt);
    return 0;
}

UINT CSimRunAppToken::SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat)
{
    if (FilterPasses(up, repeat) && PartPasses(sequenceType))
        Services(context).ShellExecute(m_strProgram, m_nShowMode);
    return 0;
}

UINT CSimRunAppToken::SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int*)
{
    if (FilterPasses(up, repeat) && OnceHalf(*this, up))
        Services(context).ShellExecute(m_strProgram, m_nShowMode);
    return 0;
}

UINT CSimKillAppToken::SendSingleShot(const SimTokenSendContext& context, int sequenceType, bool up, bool repeat)
{
    if (FilterPasses(up, repeat) && PartPasses(sequenceType))
        Services(context).KillProcess(m_strProcess);
    return 0;
}

UINT CSimKillAppToken::SendWhileDown(const SimTokenSendContext& context, bool up, bool repeat, int*)
{
    if (FilterPasses(up, repeat) && OnceHalf(*this, up))
        Services(context).KillProcess(m_strProcess);
    return 0;
}

// --- window messages -------------------------------------------------------

void CSimWMessageToken::Deliver() const
{
    // Without a window the message would go to the calling thread's own queue
    // (the hook thread), where a stray WM_QUIT ends it.
    if (m_hWnd == nullptr || !::IsWindow(m_hWnd))
    {
        CLogger::LogMessage(L"CSimWMessageToken: No window to deliver message 0x%X to", m_nMessage);
        return;
    }
    if (m_bPost)
    {
        ::PostMessageW(m_hWnd, m_nMessage, m_wParam, m_lParam);
        return;
    }
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(m_hWnd, m_nMessage, m_wParam, m_lParam, SMTO_ABORTIFHUNG | SMTO_NORMAL, SendTimeout,
                               &result))
        CLogger::LogOSMessage(::GetLastError(), L"CSimWMessageToken: Message 0x%X to window 0x%X was not handled in time",
                              m_nMessage, HandleNumber(m_hWnd));
}

UINT CSimWMessageToken::SendSingleShot(const SimTokenSendContext&, int sequenceType, bool up, bool repeat)
{
    if (FilterPasses(up, repeat) && PartPasses(sequenceType))
        Deliver();
    return 0;
}

UINT CSimWMessageToken::SendWhileDown(const SimTokenSendContext&, bool up, bool repeat, int*)
{
    if (FilterPasses(up, repeat) && OnceHalf(*this, up))
        Deliver();
    return 0;
}

// --- clipboard -------------------------------------------------------------

bool CSimClipboardToken::PlaceText(const std::wstring& text)
{
    if (!::OpenClipboard(nullptr))
    {
        CLogger::LogOSMessage(::GetLastError(), L"CSimClipboardToken: Unable to open the clipboard");
        return false;
    }
    bool placed = ::EmptyClipboard() != FALSE;
    if (placed && !text.empty())
    {
        const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
        void* target = memory != nullptr ? ::GlobalLock(memory) : nullptr;
        if (target == nullptr)
        {
            placed = false;
        }
        else
        {
            std::memcpy(target, text.c_str(), bytes);
            ::GlobalUnlock(memory);
            // The clipboard owns the memory only when it took it.
            placed = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!placed)
        {
            CLogger::LogOSMessage(::GetLastError(), L"CSimClipboardToken: Unable to place %d characters on the clipboard",
                                  static_cast<int>(text.size()));
            if (memory != nullptr)
                ::GlobalFree(memory);
        }
    }
    ::CloseClipboard();
    return placed;
}

UINT CSimClipboardToken::SendSingleShot(const SimTokenSendContext&, int sequenceType, bool up, bool repeat)
{
    if (FilterPasses(up, repeat) && PartPasses(sequenceType))
        PlaceText(m_strText);
    return 0;
}

UINT CSimClipboardToken::SendWhileDown(const SimTokenSendContext&, bool up, bool repeat, int*)
{
    if (FilterPasses(up, repeat) && OnceHalf(*this, up))
        PlaceText(m_strText);
    return 0;
}

// ---------------------------------------------------------------------------

void ShowVolumeFlyout(HWND volumeOsdWindow)
{
    try
    {
        if (volumeOsdWindow != nullptr)
            ::PostMessageW(volumeOsdWindow, BRMP_OSDShowWindow, 0, 0);
        HWND host = nullptr;
        while ((host = ::FindWindowExW(nullptr, host, L"NativeHWNDHost", L"")) != nullptr)
        {
            if (::FindWindowExW(host, nullptr, L"DirectUIHWND", nullptr) != nullptr)
            {
                ::ShowWindow(host, SW_SHOWNORMAL);
                break;
            }
        }
    }
    catch (...)
    {
        LogCaughtException(L"ShowVolumeFlyout");
    }
}
