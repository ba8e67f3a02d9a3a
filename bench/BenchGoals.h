#pragma once
// The summary line every benchmark prints for each of its goals, so that the
// outcome reads the same everywhere: "goal NAME value limit ok|FAIL".

#include <cstdio>

namespace benchgoal
{
inline int g_failed = 0;

// A goal met when value is at most limit.
inline bool AtMost(const char* name, double value, double limit)
{
    const bool met = value <= limit;
    if (!met)
        ++g_failed;
    std::printf("goal %s %.4g %.4g %s\n", name, value, limit, met ? "ok" : "FAIL");
    return met;
}

// A goal that could not be measured (the bench says why above it).
inline void NotMeasured(const char* name, double limit)
{
    ++g_failed;
    std::printf("goal %s - %.4g FAIL\n", name, limit);
}

// The exit code: 0 when every goal was met.
inline int ExitCode()
{
    return g_failed == 0 ? 0 : 1;
}
}
