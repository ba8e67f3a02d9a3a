#include "FrameworkText.h"

#include <mutex>
#include <utility>

namespace
{
std::mutex g_lock;
TextTranslator g_translator;
}

TextTranslator SetFrameworkTextTranslator(TextTranslator translator)
{
    std::lock_guard<std::mutex> lock(g_lock);
    return std::exchange(g_translator, std::move(translator));
}

std::wstring TranslateFrameworkText(const wchar_t* english)
{
    if (english == nullptr)
        return {};
    TextTranslator translator;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        translator = g_translator;
    }
    if (!translator)
        return english;
    std::wstring text = translator(english);
    return text.empty() ? std::wstring(english) : text;
}

std::wstring InsertFrameworkArguments(const std::wstring& text, const std::wstring& first,
                                      const std::wstring& second)
{
    std::wstring result;
    result.reserve(text.size() + first.size() + second.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == L'%' && i + 1 < text.size() && (text[i + 1] == L'1' || text[i + 1] == L'2'))
        {
            result += text[i + 1] == L'1' ? first : second;
            ++i;
        }
        else
        {
            result += text[i];
        }
    }
    return result;
}
