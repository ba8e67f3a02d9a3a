#include "EngineResets.h"

#include <atomic>

#include "Logger.h"

namespace
{
constexpr int kMaxResets = 32;
std::atomic<EngineResetFn> g_resets[kMaxResets];
}

bool AddEngineReset(EngineResetFn fn)
{
    if (fn == nullptr)
        return false;
    for (auto& slot : g_resets)
    {
        if (slot.load() == fn)
            return true;
    }
    for (auto& slot : g_resets)
    {
        EngineResetFn empty = nullptr;
        if (slot.compare_exchange_strong(empty, fn))
            return true;
    }
    CLogger::LogMessage(L"AddEngineReset: No room for another engine reset");
    return false;
}

bool RemoveEngineReset(EngineResetFn fn)
{
    for (auto& slot : g_resets)
    {
        EngineResetFn expected = fn;
        if (fn != nullptr && slot.compare_exchange_strong(expected, nullptr))
            return true;
    }
    return false;
}

void RunEngineResets(EngineResetReason reason, POINT point)
{
    for (auto& slot : g_resets)
    {
        const EngineResetFn fn = slot.load();
        if (fn == nullptr)
            continue;
        try
        {
            fn(reason, point);
        }
        catch (...)
        {
            CLogger::LogMessage(L"RunEngineResets: An engine reset failed (reason %d)", static_cast<int>(reason));
        }
    }
}
