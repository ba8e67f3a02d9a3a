// The engine's requests to the simulated-input queue.

#include "EngineInput.h"

#include "ButtonEventKind.h"
#include "DpiScaling.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Layers.h"
#include "LockAxis.h"
#include "ProfileTargeting.h"
#include "WindowActivation.h"
#include "WindowFromPoint.h"
#include "WindowScrolling.h"
#include "Logger.h"
#include "SendInput.h"
#include "Settings.h"
#include "Tokens.h"

int g_nWhileDownLayer = -1;
int g_nWhileDownReturnLayer = -1;
UINT g_nQueueWait = 0;

WhileDownStep WhileDownPressStep(UINT filter, int pass)
{
    if (pass == 0)
        return (filter & SIMFILTER_DOWN) != 0 ? WhileDownStep::SingleShotPress : WhileDownStep::Skip;
    return filter == 0 ? WhileDownStep::HoldDown : WhileDownStep::Skip;
}

WhileDownStep WhileDownReleaseStep(UINT filter, int pass)
{
    if (pass == 0)
        return filter == 0 ? WhileDownStep::HoldUp : WhileDownStep::Skip;
    return (filter & SIMFILTER_UP) != 0 ? WhileDownStep::SingleShotRelease : WhileDownStep::Skip;
}

namespace
{
enum class SequenceMode { SingleShot, RepeatRelease, WhileDown };

SimTokenSendContext MakeContext(HWND window)
{
    SimTokenSendContext context;
    context.sendInput = g_threads.pSendInput;
    context.defaultHoldTime = g_pSettings != nullptr ? g_pSettings->m_uSimKeyDelay : 1;
    context.keyExtraInfo = OwnInputSignature();
    context.mouseExtraInfo = OwnInputSignature();
    HWND target = window != nullptr ? window : g_engine.hCurrentWnd;
    if (target != nullptr)
        context.targetLayout = ::GetKeyboardLayout(::GetWindowThreadProcessId(target, nullptr));
    context.volumeOsdWindow = g_engine.hVolumeOSDWnd;
    return context;
}

void AddWait(UINT ms)
{
    g_nQueueWait += ms;
}

bool SendSequence(const wchar_t* name, const wchar_t* keys, POINT point, HWND window, SequenceMode mode, bool up,
                  bool repeat)
{
    if (keys == nullptr || keys[0] == L'\0')
    {
        CLogger::LogMessage(L"%s called with an invalid key sequence string!", name);
        return false;
    }
    if (g_threads.pSendInput == nullptr)
    {
        CLogger::LogMessage(L"%s: SendInput Thread is not available!", name);
        return false;
    }

    // Characters must map to the keys of the target's layout: parse under it.
    HKL hookLayout = ::GetKeyboardLayout(0);
    HKL targetLayout = g_engine.hCurrentWnd != nullptr
                           ? ::GetKeyboardLayout(::GetWindowThreadProcessId(g_engine.hCurrentWnd, nullptr))
                           : nullptr;
    const bool switchLayout = targetLayout != nullptr && targetLayout != hookLayout;
    if (switchLayout)
        ::ActivateKeyboardLayout(targetLayout, 0);

    const bool whileDown = mode == SequenceMode::WhileDown;
    const int layerCount = g_pSettings != nullptr ? g_pSettings->MaxLayers() : 10;
    const int returnLayer = whileDown ? (up ? g_nWhileDownLayer : g_nWhileDownReturnLayer) : g_nLastLayer;
    SimTokenList tokens;
    const bool parsed = CSimToken::Parse(tokens, keys, nullptr, point, window, g_engine.nCurrentLayer, returnLayer,
                                         layerCount, g_pSettings != nullptr ? g_pSettings->m_uSimKeyDelay : 1,
                                         whileDown, g_engine.pCurrentApp, !whileDown);
    if (switchLayout)
        ::ActivateKeyboardLayout(hookLayout, 0);
    if (!parsed)
    {
        CLogger::LogMessage(L"%s: Failed to parse simkey sequence '%s'", name, keys);
        return false;
    }

    const SimTokenSendContext context = MakeContext(window);
    switch (mode)
    {
    case SequenceMode::SingleShot:
        for (auto& token : tokens)
            AddWait(token->SendSingleShot(context, SIMSEQ_WHOLE, up, repeat));
        break;
    case SequenceMode::RepeatRelease:
        for (auto& token : tokens)
            if ((token->m_nFilter & SIMFILTER_UP) != 0)
                AddWait(token->SendSingleShot(context, SIMSEQ_WHOLE, true, false));
        break;
    case SequenceMode::WhileDown:
        for (int pass = 0; pass < 2; ++pass)
        {
            if (!up)
            {
                for (auto& token : tokens)
                {
                    const WhileDownStep step = WhileDownPressStep(token->m_nFilter, pass);
                    if (step == WhileDownStep::SingleShotPress)
                        AddWait(token->SendSingleShot(context, SIMSEQ_WHOLE, false, false));
                    else if (step == WhileDownStep::HoldDown)
                        AddWait(token->SendWhileDown(context, false, false, &g_nWhileDownLayer));
                }
            }
            else
            {
                for (auto it = tokens.rbegin(); it != tokens.rend(); ++it)
                {
                    const WhileDownStep step = WhileDownReleaseStep((*it)->m_nFilter, pass);
                    if (step == WhileDownStep::HoldUp)
                        AddWait((*it)->SendWhileDown(context, true, false, &g_nWhileDownLayer));
                    else if (step == WhileDownStep::SingleShotRelease)
                        AddWait((*it)->SendSingleShot(context, SIMSEQ_WHOLE, true, false));
                }
            }
        }
        break;
    }
    g_threads.pSendInput->SignalQueue();
    return true;
}

bool QueueMouse(const INPUT& input)
{
    return g_threads.pSendInput->SendInputThreaded(1, &input, 0, false);
}

INPUT MouseInput(DWORD flags, LONG dx, LONG dy, DWORD data, DWORD time)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.mouseData = data;
    input.mi.time = time;
    input.mi.dwExtraInfo = OwnInputSignature();
    return input;
}
} // namespace

bool SendKeysStateSingleShot(const wchar_t* keys, POINT point, HWND window, bool release, bool repeat)
{
    return SendSequence(L"SendKeysStateSingleShot", keys, point, window, SequenceMode::SingleShot, release, repeat);
}

bool SendKeysStateSingleShotRepeatRelease(const wchar_t* keys, POINT point, HWND window)
{
    return SendSequence(L"SendKeysStateSingleShotRepeatRelease", keys, point, window, SequenceMode::RepeatRelease,
                        true, false);
}

bool SendKeyStateWhileDown(const wchar_t* keys, bool up, POINT point, HWND window)
{
    return SendSequence(L"SendKeyStateWhileDown", keys, point, window, SequenceMode::WhileDown, up, false);
}

bool SendKey(int virtualKey, bool extended, UINT modifiers, UINT scan)
{
    if (g_threads.pSendInput == nullptr)
    {
        CLogger::LogMessage(L"SendKey: SendInput Thread is not available!");
        return false;
    }
    const UINT delay = g_pSettings != nullptr ? g_pSettings->m_uSimKeyDelay : 1;
    const ULONG_PTR marker = OwnInputSignature();
    HKL layout = g_engine.hCurrentWnd != nullptr ? ::GetKeyboardLayout(::GetWindowThreadProcessId(g_engine.hCurrentWnd, nullptr))
                                          : nullptr;
    UINT pending = 0;
    if (!g_threads.pSendInput->SendKeyState(virtualKey, extended, modifiers, scan, false, false, delay, marker, layout, pending))
    {
        CLogger::LogDebug(L"SendKey: g_threads.pSendInput->SendKeyState returned false.");
        return false;
    }
    if (!g_threads.pSendInput->SendKeyState(virtualKey, extended, modifiers, scan, false, true, delay, marker, layout, pending))
    {
        CLogger::LogDebug(L"SendKey: g_threads.pSendInput->SendKeyState (up) returned false.");
        return false;
    }
    g_threads.pSendInput->SignalQueue();
    return true;
}

bool MouseMove(POINT point, POINT forcedPoint)
{
    if (g_threads.pSendInput == nullptr)
    {
        CLogger::LogMessage(L"MouseMove: SendInput Thread is not available!");
        return false;
    }
    const LONG dx = forcedPoint.x - point.x;
    const LONG dy = forcedPoint.y - point.y;
    CLogger::LogDebug(L"MouseMove: Point X=%d Y=%d. ForcePoint X=%d Y=%d (Relative %d,%d)", static_cast<int>(point.x),
                      static_cast<int>(point.y), static_cast<int>(forcedPoint.x), static_cast<int>(forcedPoint.y),
                      static_cast<int>(dx), static_cast<int>(dy));
    if (!QueueMouse(MouseInput(MOUSEEVENTF_MOVE, dx, dy, 0, ::GetTickCount())))
        return false;
    g_threads.pSendInput->SignalQueue();
    return true;
}

bool MovementToScroll(int vertical, int horizontal)
{
    const DWORD start = ::GetTickCount();
    if (g_threads.pSendInput == nullptr)
    {
        CLogger::LogDebug(L"MovementToScroll: SendInput Thread is not available!");
        return false;
    }
    INPUT inputs[2];
    UINT count = 0;
    const DWORD now = ::GetTickCount();
    if (vertical != 0)
        inputs[count++] = MouseInput(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(vertical), now);
    if (horizontal != 0)
        inputs[count++] = MouseInput(MOUSEEVENTF_HWHEEL, 0, 0, static_cast<DWORD>(horizontal), now);
    bool queued = false;
    if (count > 0)
    {
        CLogger::LogDebug(L"SendInput - count = %d", static_cast<int>(count));
        queued = g_threads.pSendInput->SendInputThreaded(count, inputs, 0, false);
        if (queued)
            g_threads.pSendInput->SignalQueue();
    }
    CLogger::LogDebug(L"MovementToScroll result 0x%08X time %dms", 0xFFFFFFFFu,
                      static_cast<int>(::GetTickCount() - start));
    return queued;
}

namespace
{
POINT CursorNow()
{
    POINT cursor{0, 0};
    if (!GetPhysCursorPos(&cursor))
        ::GetCursorPos(&cursor);
    return cursor;
}

bool QueueMove(LONG dx, LONG dy, DWORD data, DWORD time)
{
    if (!QueueMouse(MouseInput(MOUSEEVENTF_MOVE, dx, dy, data, time)))
        return false;
    g_threads.pSendInput->SignalQueue();
    return true;
}
} // namespace

bool MouseMoveToMessagePoint(const MSLLHOOKSTRUCT& message, bool vertical)
{
    if (g_threads.pSendInput == nullptr)
    {
        CLogger::LogMessage(L"MouseMove: SendInput Thread is not available!");
        return false;
    }
    const POINT cursor = CursorNow();
    const LONG dx = vertical ? 0 : message.pt.x - cursor.x;
    const LONG dy = vertical ? message.pt.y - cursor.y : 0;
    CLogger::LogDebug(L"MouseMove: MessagePoint X=%d Y=%d. Relative X=%d Y=%d", static_cast<int>(message.pt.x),
                      static_cast<int>(message.pt.y), static_cast<int>(dx), static_cast<int>(dy));
    return QueueMove(dx, dy, message.mouseData, message.time);
}

bool MouseMoveInverted(const MSLLHOOKSTRUCT& message)
{
    if (!g_LockAxis.IsXInverted() && !g_LockAxis.IsYInverted())
        return false;
    if (g_threads.pSendInput == nullptr)
    {
        CLogger::LogMessage(L"MouseMove: SendInput Thread is not available!");
        return false;
    }
    const POINT cursor = CursorNow();
    const LONG dx = g_LockAxis.IsXInverted() ? cursor.x - message.pt.x : message.pt.x - cursor.x;
    const LONG dy = g_LockAxis.IsYInverted() ? cursor.y - message.pt.y : message.pt.y - cursor.y;
    return QueueMove(dx, dy, message.mouseData, message.time);
}

AppCommandRoute RouteAppCommand(int command, bool modernOrRemote, bool hasEnabledWindow)
{
    if (command < APPCMD_BACK || command > APPCMD_FAVOURITES)
        return AppCommandRoute::None;
    if (modernOrRemote)
    {
        if (command == APPCMD_BACK)
            return AppCommandRoute::XButton1;
        if (command == APPCMD_FORWARD)
            return AppCommandRoute::XButton2;
        return AppCommandRoute::BrowserKey;
    }
    return hasEnabledWindow ? AppCommandRoute::Message : AppCommandRoute::BrowserKey;
}

bool SendAppCommand(HWND window, int command)
{
    // The kind of window goes by the look-up of the profile decision in force,
    // not by whatever window another thread named last.
    const bool modernOrRemote = g_engine.bCurrentModernUI || _wcsicmp(g_engine.szCurrentProcess, L"mstsc.exe") == 0;
    HWND receiver = modernOrRemote || window == nullptr ? nullptr : GetFirstEnabledWindow(window);
    const AppCommandRoute route = RouteAppCommand(command, modernOrRemote, receiver != nullptr);
    const LPARAM lParam = static_cast<LPARAM>(command) << 16;
    if (modernOrRemote)
        CLogger::LogDebug(L"Sending APPCOMMAND 0x%X to modern UI window", static_cast<unsigned>(lParam));
    switch (route)
    {
    case AppCommandRoute::None:
        CLogger::LogMessage(L"SendAppCommand: Invalid command %d", command);
        return false;
    case AppCommandRoute::Message:
        CLogger::LogDebug(L"Posting APPCOMMAND 0x%X message to window %08X", static_cast<unsigned>(lParam),
                          HandleNumber(receiver));
        return ::PostMessageW(receiver, WM_APPCOMMAND, reinterpret_cast<WPARAM>(window), lParam) != FALSE;
    case AppCommandRoute::XButton1:
    case AppCommandRoute::XButton2:
    {
        if (g_threads.pSendInput == nullptr)
        {
            CLogger::LogMessage(L"SendAppCommand: SendInput Thread is not available!");
            return false;
        }
        const int button = route == AppCommandRoute::XButton1 ? 3 : 4;
        const POINT cursor = CursorNow();
        g_nQueueWait += SendMouseButton(button, kEventDown, cursor, false, false);
        g_nQueueWait += SendMouseButton(button, kEventUp, cursor, false, false);
        g_threads.pSendInput->SignalQueue();
        return true;
    }
    case AppCommandRoute::BrowserKey:
        return SendKey(VK_BROWSER_BACK - 1 + command, true, 0, static_cast<UINT>(-1));
    }
    return false;
}

namespace
{
// Scrolling goes to the window under the cursor: bring it forward first when
// the user asked for that. False when there is no window there.
bool ActivateForScroll()
{
    if (g_pSettings == nullptr || !g_pSettings->m_bActivateOnScroll)
        return true;
    const POINT cursor = CursorNow();
    HWND window = RealWindowFromPoint(cursor);
    if (window == nullptr)
        return false;
    ActivateBeforeScroll(::GetForegroundWindow(), window, window);
    return true;
}

bool Wheel(const wchar_t* name, DWORD flag, short amount)
{
    if (!ActivateForScroll())
        return false;
    if (g_threads.pSendInput == nullptr)
    {
        CLogger::LogDebug(L"%s: SendInput Thread is not available!", name);
        return false;
    }
    AddWait(1);
    // Sign-extended: a negative notch must stay negative in the 32-bit field.
    const DWORD data = static_cast<DWORD>(static_cast<LONG>(amount));
    if (!QueueMouse(MouseInput(flag, 0, 0, data, ::GetTickCount())))
        return false;
    g_threads.pSendInput->SignalQueue();
    return true;
}
} // namespace

bool MouseWheel(short amount)
{
    return Wheel(L"MouseWheel", MOUSEEVENTF_WHEEL, amount);
}

bool MouseTilt(short amount)
{
    return Wheel(L"MouseTilt", MOUSEEVENTF_HWHEEL, amount);
}

bool QueueInputWait(UINT milliseconds)
{
    if (milliseconds == 0)
        return true;
    CSendInput* sendInput = g_threads.pSendInput;
    return sendInput != nullptr && sendInput->SendInputDelay(milliseconds);
}

bool PreciseWait(UINT milliseconds)
{
    if (milliseconds == 0)
        return true;
    if (g_threads.pPreciseTimer == nullptr)
        g_threads.pPreciseTimer = new CPreciseTimer();
    g_threads.pPreciseTimer->Wait(milliseconds);
    return true;
}

UINT SendMouseButton(int button, int kind, POINT point, bool leftAlreadyDown, bool alternativeNames)
{
    CSendInput* sendInput = g_threads.pSendInput;
    if (sendInput == nullptr)
        return 0;
    return sendInput->SendMouse(button, kind, point, leftAlreadyDown, alternativeNames,
                                OwnInputSignature(), 0);
}
