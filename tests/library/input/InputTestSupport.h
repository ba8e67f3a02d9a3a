#pragma once
// Recorders for the simulated-input tests: the recording sink, services that
// keep the calls of the tokens, and a short text form of tokens for
// table-driven parser tests.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "SendInput.h"
#include "TagParser.h"
#include "TokenServices.h"
#include "Tokens.h"

namespace inputtest
{

using brmptest::RecordingSink;

class RecordingServices : public ITokenServices
{
public:
    void SetCurrentLayer(int layer, bool notify, bool autoSwitch, bool rememberLast) override
    {
        Log("layer " + std::to_string(layer) + (notify ? " notify" : "") + (autoSwitch ? " auto" : "") +
            (rememberLast ? " remember" : ""));
    }
    void SetLayerSetByAction(bool flag) override { Log(std::string("byaction ") + (flag ? "1" : "0")); }
    bool IsLayerSkipped(const CApplicationSettings*, int layer) override
    {
        return layer >= 0 && layer < 32 && (skipped & (1u << layer)) != 0;
    }
    void ActivateWindowUnderCursor(int how) override { Log("activate " + std::to_string(how)); }
    HWND GetProfileWindow() override { return profileWindow; }
    void AxisAction(int code) override { Log("axis " + std::to_string(code)); }
    bool GetVolume(int& percent) override
    {
        ++volumeAsked;
        percent = volume;
        return volume >= 0;
    }
    void ChangeVolume(int delta) override { Log("volume " + std::to_string(delta)); }
    void ToggleMute() override { Log("mute"); }
    void SetVolume(int percent) override { Log("setvolume " + std::to_string(percent)); }
    void ChangeBrightness(int direction, POINT) override { Log("brightness " + std::to_string(direction)); }
    void ShellExecute(const std::wstring& program, int showMode) override
    {
        Log("run " + std::string(program.begin(), program.end()) + " " + std::to_string(showMode));
    }
    void KillProcess(const std::wstring& name) override { Log("kill " + std::string(name.begin(), name.end())); }
    void RunProfileChangedScript(CApplicationSettings* previous, unsigned long long, CApplicationSettings* next,
                                 unsigned long long, int layer) override
    {
        Log(std::string("script ") + (previous ? "prev " : "noprev ") + (next ? "next " : "nonext ") + std::to_string(layer));
    }

    std::vector<std::string> Calls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return calls;
    }

    int volume = -1;
    std::atomic<int> volumeAsked{0};
    unsigned skipped = 0;
    HWND profileWindow = nullptr;

private:
    void Log(const std::string& call)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        calls.push_back(call);
    }
    std::mutex m_mutex;
    std::vector<std::string> calls;
};

inline std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

// The fields of a token that differ from a fresh one, e.g. "key vk=67 sc=0x2e mods=0x2".
inline std::string Describe(const CSimToken& token, UINT defaultHold = 1)
{
    char buffer[256];
    std::string text;
    auto common = [&](bool withModifiers) {
        if (withModifiers && token.m_nModifiers != 0)
        {
            snprintf(buffer, sizeof(buffer), " mods=0x%x", token.m_nModifiers);
            text += buffer;
        }
        if (token.m_nPart != 0)
            text += " part=" + std::to_string(token.m_nPart);
        if (token.m_nFilter != 0)
            text += " filter=" + std::to_string(token.m_nFilter);
        if (token.m_bMark)
            text += " mark";
        if (token.m_nHoldTime != defaultHold)
            text += " hold=" + std::to_string(token.m_nHoldTime);
    };
    if (auto* key = dynamic_cast<const CSimKeyToken*>(&token))
    {
        text = "key";
        if (key->m_nVirtualKey != 0)
            text += " vk=" + std::to_string(key->m_nVirtualKey);
        if (key->m_nScan != 0)
        {
            snprintf(buffer, sizeof(buffer), " sc=0x%x", key->m_nScan);
            text += buffer;
        }
        if (key->m_bExtended)
            text += " ext";
        if (key->m_bUnicode)
            text += " uni";
        common(true);
    }
    else if (auto* action = dynamic_cast<const CSimKeyActionToken*>(&token))
    {
        text = "action " + std::to_string(action->m_nAction);
        if (action->m_nAmount != 0)
            text += " amount=" + std::to_string(action->m_nAmount);
    }
    else if (auto* mouse = dynamic_cast<const CSimMouseToken*>(&token))
    {
        text = "mouse " + std::to_string(mouse->m_nButton) + " " + std::to_string(mouse->m_nAction);
        common(true);
    }
    else if (auto* cursor = dynamic_cast<const CSimCursorToken*>(&token))
    {
        text = "cursor op=" + std::to_string(cursor->m_nOperation) + " v=" + std::to_string(cursor->m_nValue);
    }
    else if (auto* cursorXY = dynamic_cast<const CSimCursorTokenEx*>(&token))
    {
        text = "cursorxy op=" + std::to_string(cursorXY->m_nOperation) + " " + std::to_string(cursorXY->m_nX) + "," +
               std::to_string(cursorXY->m_nY);
    }
    else if (auto* layer = dynamic_cast<const CSimLayerToken*>(&token))
    {
        text = "layer " + std::to_string(layer->m_nLayer) + " restore=" + std::to_string(layer->m_nRestoreLayer);
    }
    else if (auto* wait = dynamic_cast<const CSimWaitToken*>(&token))
    {
        text = "wait " + std::to_string(wait->m_nMilliseconds);
    }
    else if (auto* brightness = dynamic_cast<const CSimBrightnessToken*>(&token))
    {
        text = "brightness " + std::to_string(brightness->m_nDirection);
    }
    else if (auto* run = dynamic_cast<const CSimRunAppToken*>(&token))
    {
        text = "run '" + Narrow(run->m_strProgram) + "' show=" + std::to_string(run->m_nShowMode);
    }
    else if (auto* kill = dynamic_cast<const CSimKillAppToken*>(&token))
    {
        text = "kill '" + Narrow(kill->m_strProcess) + "'";
    }
    else if (auto* message = dynamic_cast<const CSimWMessageToken*>(&token))
    {
        text = std::string(message->m_bPost ? "postwm " : "sendwm ") + std::to_string(message->m_nMessage) + "," +
               std::to_string(static_cast<long long>(message->m_wParam)) + "," +
               std::to_string(static_cast<long long>(message->m_lParam));
    }
    else if (auto* clipboard = dynamic_cast<const CSimClipboardToken*>(&token))
    {
        text = "cb '" + Narrow(clipboard->m_strText) + "'";
    }
    else
    {
        text = "?";
    }
    return text;
}

inline std::string Describe(const SimTokenList& tokens, UINT defaultHold = 1)
{
    std::string text;
    for (const auto& token : tokens)
    {
        if (!text.empty())
            text += " | ";
        text += Describe(*token, defaultHold);
    }
    return text;
}

// A parse context with a fixed random source, no target layout and unknown volume.
inline TagParseContext TestContext()
{
    TagParseContext context;
    context.random = [] { return 12345u; };
    return context;
}

} // namespace inputtest
