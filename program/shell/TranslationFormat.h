#pragma once
// Whether a translated text may stand in for its English text as a printf
// format: the translation comes from a file anyone can write, and a format
// that reads other arguments than the program passes can crash the program.

#include <string>
#include <vector>

enum class FormatArgument
{
    Int32,        // %d %i %o %u %x %X, h and l sizes, I32, and every "*"
    Int64,        // ll, I64, I sizes
    Char,         // %c %C (passed as int)
    Double,       // %e %f %g %a and their capitals
    WideText,     // %s, %ls, %ws, %lS, %wS
    NarrowText,   // %S, %hs, %hS
    Pointer,      // %p
    WriteCount,   // %n
};

// The arguments a format reads, in order. False when the format holds a
// conversion this check does not know, or a width or precision above 999.
bool ScanFormatArguments(const wchar_t* format, std::vector<FormatArgument>& arguments);

// A translation may be used as a format only when it reads the same kinds of
// arguments as the English text, in the same order, and never writes through %n.
bool TranslationFormatMatches(const wchar_t* english, const wchar_t* translation);
