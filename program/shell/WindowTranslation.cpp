#include "WindowTranslation.h"

#include <string>
#include <vector>

#include "FrameworkText.h"
#include "LangSupport.h"

namespace
{
// Window texts of our own dialogs are short; a longer one is not translated.
constexpr int kMaxWindowText = 8192;
// Menus nest a few levels; the bound guards against a menu that contains itself.
constexpr int kMaxMenuDepth = 16;

bool ReadWindowText(HWND window, std::wstring& text)
{
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0 || length > kMaxWindowText)
        return false;
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 2, L'\0');
    const int read = ::GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    if (read <= 0)
        return false;
    text.assign(buffer.data(), static_cast<std::size_t>(read));
    return true;
}

void TranslateText(CLangSupport* language, HWND window)
{
    std::wstring text;
    if (!ReadWindowText(window, text))
        return;
    const std::wstring translated = LookupText(language, text);
    if (translated != text)
        ::SetWindowTextW(window, translated.c_str());
}

void TranslateMenuLevel(CLangSupport* language, HMENU menu, int depth)
{
    if (menu == nullptr || depth > kMaxMenuDepth)
        return;
    const int count = ::GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position)
    {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
        if (!::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info))
            continue;
        if (info.hSubMenu != nullptr)
            TranslateMenuLevel(language, info.hSubMenu, depth + 1);
        if ((info.fType & (MFT_SEPARATOR | MFT_OWNERDRAW | MFT_BITMAP)) != 0 || info.cch == 0 ||
            info.cch > static_cast<UINT>(kMaxWindowText))
            continue;

        std::vector<wchar_t> buffer(info.cch + 1, L'\0');
        info.fMask = MIIM_STRING;
        info.dwTypeData = buffer.data();
        info.cch = static_cast<UINT>(buffer.size());
        if (!::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info))
            continue;
        const std::wstring text(buffer.data());
        const std::wstring translated = LookupText(language, text);
        if (translated == text)
            continue;
        MENUITEMINFOW update{};
        update.cbSize = sizeof(update);
        update.fMask = MIIM_STRING;
        update.dwTypeData = const_cast<wchar_t*>(translated.c_str());
        ::SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &update);
    }
}
}

void TranslateWindowTexts(CLangSupport* language, HWND window, std::initializer_list<int> skipIds)
{
    if (language == nullptr || window == nullptr)
        return;
    TranslateText(language, window);
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        const int id = ::GetDlgCtrlID(child);
        bool skip = false;
        for (int skipped : skipIds)
            skip = skip || skipped == id;
        if (!skip)
            TranslateText(language, child);
    }
}

void TranslateMenu(CLangSupport* language, HMENU menu)
{
    if (language == nullptr)
        return;
    TranslateMenuLevel(language, menu, 0);
}

void TranslateFrameworkTexts(CLangSupport* language)
{
    if (language == nullptr)
    {
        SetFrameworkTextTranslator(nullptr);
        return;
    }
    // The framework's texts carry %1 and %2, not printf conversions: looked up
    // without formatting.
    SetFrameworkTextTranslator([language](const wchar_t* english)
                               { return LookupText(language, std::wstring(english != nullptr ? english : L"")); });
}
