#pragma once
// The framework's own user-visible texts (the data-exchange messages) pass
// through one translator, which the program points at its language packs.
// The English text is the key and the fallback.

#include <functional>
#include <string>

using TextTranslator = std::function<std::wstring(const wchar_t* english)>;

// Returns the previous translator. An empty one keeps the English texts.
TextTranslator SetFrameworkTextTranslator(TextTranslator translator);
std::wstring TranslateFrameworkText(const wchar_t* english);

// Replaces %1 and %2 in a (translated) text by the given values.
std::wstring InsertFrameworkArguments(const std::wstring& text, const std::wstring& first,
                                      const std::wstring& second);
