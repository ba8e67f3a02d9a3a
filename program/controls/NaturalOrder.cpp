#include "NaturalOrder.h"

namespace
{
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Compares the digit runs starting at a and b by value and moves both past
// their runs.
int CompareDigitRuns(const wchar_t*& a, const wchar_t*& b)
{
    while (*a == L'0' && IsDigit(a[1]))
        ++a;
    while (*b == L'0' && IsDigit(b[1]))
        ++b;
    const wchar_t* startA = a;
    const wchar_t* startB = b;
    while (IsDigit(*a))
        ++a;
    while (IsDigit(*b))
        ++b;
    const auto lengthA = a - startA;
    const auto lengthB = b - startB;
    if (lengthA != lengthB)
        return lengthA < lengthB ? -1 : 1;
    for (; startA != a; ++startA, ++startB)
        if (*startA != *startB)
            return *startA < *startB ? -1 : 1;
    return 0;
}
}

std::uint16_t FoldNaturalCharacter(wchar_t c)
{
    switch (c)
    {
    case 0x00C0: case 0x00C2: case 0x00C4: case 0x00C6: case 0x00E0: case 0x00E2: case 0x00E4: case 0x00E6:
        return L'a';
    case 0x0394: case 0x03B4:
        return L'd';
    case 0x00D4: case 0x00D6: case 0x00F4: case 0x00F6: case 0x0153:
        return L'o';
    case 0x00DF:
        return L's';
    case 0x00D9: case 0x00DB: case 0x00DC: case 0x00F9: case 0x00FB: case 0x00FC:
        return L'u';
    case 0x201C: case 0x201E:
        return L'"';
    case 0x00C7: case 0x00E7:
        return L'c';
    case 0x00C8: case 0x00CA: case 0x00CB: case 0x00E9: case 0x00EA: case 0x00EB: case 0x03A3: case 0x03C3:
        return L'e';
    case 0x00CE: case 0x00CF: case 0x00EE: case 0x00EF:
        return L'i';
    default:
        return static_cast<std::uint16_t>(static_cast<std::uint16_t>(c) + 32u);
    }
}

int CompareNatural(const wchar_t* first, const wchar_t* second)
{
    const wchar_t* a = first != nullptr ? first : L"";
    const wchar_t* b = second != nullptr ? second : L"";
    for (;;)
    {
        if (*a == 0)
            return *b == 0 ? 0 : -1;
        if (*b == 0)
            return 1;
        const bool digitA = IsDigit(*a);
        const bool digitB = IsDigit(*b);
        if (digitA && digitB)
        {
            const int runs = CompareDigitRuns(a, b);
            if (runs != 0)
                return runs;
            continue;
        }
        if (digitA)
            return -1;
        if (digitB)
            return 1;
        const int foldedA = FoldNaturalCharacter(*a);
        const int foldedB = FoldNaturalCharacter(*b);
        if (foldedA != foldedB)
            return foldedA - foldedB;
        ++a;
        ++b;
    }
}
