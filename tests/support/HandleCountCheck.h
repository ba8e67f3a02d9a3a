#pragma once
// Whether the handle owners of the code under test gave back what they took:
// taken when the check is made, compared when Balanced() is asked.

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "Handles.h"

namespace brmptest
{
class HandleCountCheck
{
public:
    HandleCountCheck()
    {
        for (int kind = 0; kind < HandleCounts::kKinds; ++kind)
        {
            m_held[kind] = HandleCounts::HeldNow(static_cast<HandleKind>(kind));
            m_refused[kind] = HandleCounts::RefusedReleases(static_cast<HandleKind>(kind));
        }
    }

    // Every kind holds as many handles as at the start, and the system refused
    // no release meanwhile (a handle freed twice, or one that was never valid).
    ::testing::AssertionResult Balanced() const
    {
        static const wchar_t* const names[HandleCounts::kKinds] = {
            L"kernel handles", L"registry keys", L"GDI objects", L"memory DCs",
            L"icons",          L"cursors",       L"window DCs",  L"image lists"};
        std::wstring problems;
        for (int kind = 0; kind < HandleCounts::kKinds; ++kind)
        {
            const long held = HandleCounts::HeldNow(static_cast<HandleKind>(kind)) - m_held[kind];
            const long refused = HandleCounts::RefusedReleases(static_cast<HandleKind>(kind)) - m_refused[kind];
            if (held != 0)
                problems += names[kind] + std::wstring(L": ") + std::to_wstring(held) + L" more held; ";
            if (refused != 0)
                problems += names[kind] + std::wstring(L": ") + std::to_wstring(refused) + L" releases refused; ";
        }
        if (problems.empty())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << ::testing::PrintToString(problems);
    }

private:
    std::array<long, HandleCounts::kKinds> m_held{};
    std::array<long, HandleCounts::kKinds> m_refused{};
};
}
