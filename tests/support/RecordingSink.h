#pragma once
// A simulated-input sink that keeps what a queue would have given SendInput
// and the cursor, for tests that drain a queue of their own: each batch as it
// came, and short text forms of its keys and buttons to compare with.

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "SendInput.h"

namespace brmptest
{
class RecordingSink : public ISimulatedInputSink
{
public:
    UINT Send(UINT count, INPUT* records) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        batches.emplace_back(records, records + count);
        return count;
    }
    bool GetCursor(POINT& point) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        point = cursor;
        return true;
    }
    bool SetCursor(int x, int y) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        cursor = POINT{x, y};
        ++cursorMoves;
        return true;
    }

    // Every record sent, in order.
    std::vector<INPUT> All()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<INPUT> all;
        for (const auto& batch : batches)
            all.insert(all.end(), batch.begin(), batch.end());
        return all;
    }
    std::vector<INPUT> Mouse()
    {
        std::vector<INPUT> mouse;
        for (const INPUT& input : All())
            if (input.type == INPUT_MOUSE)
                mouse.push_back(input);
        return mouse;
    }
    // Keyboard records as "41+" (down) and "41-" (up), virtual keys in hex.
    std::vector<std::string> Keys()
    {
        std::vector<std::string> keys;
        for (const INPUT& input : All())
        {
            if (input.type != INPUT_KEYBOARD)
                continue;
            char text[16];
            std::snprintf(text, sizeof(text), "%X%c", input.ki.wVk, (input.ki.dwFlags & KEYEVENTF_KEYUP) ? '-' : '+');
            keys.push_back(text);
        }
        return keys;
    }
    // The keys in one line: "41+ 41- ".
    std::string KeyText()
    {
        std::string text;
        for (const std::string& key : Keys())
            text += key + " ";
        return text;
    }
    // The mouse buttons and wheels by their flags: "LD LU RD XD1 W-120 ".
    std::string Buttons()
    {
        std::string text;
        for (const INPUT& input : Mouse())
        {
            const DWORD f = input.mi.dwFlags;
            const int data = static_cast<int>(input.mi.mouseData);
            if (f & MOUSEEVENTF_LEFTDOWN) text += "LD ";
            if (f & MOUSEEVENTF_LEFTUP) text += "LU ";
            if (f & MOUSEEVENTF_RIGHTDOWN) text += "RD ";
            if (f & MOUSEEVENTF_RIGHTUP) text += "RU ";
            if (f & MOUSEEVENTF_MIDDLEDOWN) text += "MD ";
            if (f & MOUSEEVENTF_MIDDLEUP) text += "MU ";
            if (f & MOUSEEVENTF_XDOWN) text += "XD" + std::to_string(data) + " ";
            if (f & MOUSEEVENTF_XUP) text += "XU" + std::to_string(data) + " ";
            if (f & MOUSEEVENTF_WHEEL) text += "W" + std::to_string(data) + " ";
            if (f & MOUSEEVENTF_HWHEEL) text += "H" + std::to_string(data) + " ";
        }
        return text;
    }
    std::size_t BatchCount()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return batches.size();
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        batches.clear();
    }

    std::vector<std::vector<INPUT>> batches;
    POINT cursor{100, 200};
    int cursorMoves = 0;

private:
    std::mutex m_mutex;
};
} // namespace brmptest
