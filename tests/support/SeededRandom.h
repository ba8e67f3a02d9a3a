#pragma once
// A small deterministic number generator for tests that build many hostile
// inputs: the same seed gives the same inputs on every run, so that a failing
// one can be reproduced.

#include <cstddef>
#include <cstdint>

namespace brmptest
{
class SeededRandom
{
public:
    explicit SeededRandom(std::uint32_t seed) : m_state(seed) {}
    std::uint32_t Next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    // A number from 0 to n - 1.
    std::size_t Below(std::size_t n) { return Next() % n; }

private:
    std::uint32_t m_state;
};
} // namespace brmptest
