#pragma once
// Natural-order comparison of display texts: runs of digits compare by their
// numeric value ("Layer 9" before "Layer 10", "007" equal to "7"), other
// characters by a folding that treats common accented letters like their base
// letter. Upper-case ASCII letters fold to lower case; lower-case ones fold
// beyond them, so "B" sorts before "a".

#include <cstdint>

// The folded value of one character.
std::uint16_t FoldNaturalCharacter(wchar_t c);

// Negative, zero or positive as first sorts before, with or after second.
// Digit runs of any length are compared as digit strings, never converted to
// an integer, so a long number in a translated text cannot overflow.
int CompareNatural(const wchar_t* first, const wchar_t* second);
