#include "TrayMenu.h"

#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "Folders.h"
#include "LangSupport.h"
#include "Logger.h"
#include "MessageBox.h"
#include "StringFormat.h"

namespace
{
TrayMenuItem Command(UINT id, std::wstring text, bool checked = false)
{
    TrayMenuItem item;
    item.id = id;
    item.text = std::move(text);
    item.checked = checked;
    return item;
}

TrayMenuItem Separator()
{
    return TrayMenuItem();
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Opened(HINSTANCE result)
{
    return reinterpret_cast<INT_PTR>(result) > 32;
}
}

std::vector<TrayMenuItem> BuildTrayMenu(const TrayMenuState& state, CLangSupport* language)
{
    auto text = [language](const wchar_t* english) { return LookupText(language, std::wstring(english)); };
    std::vector<TrayMenuItem> menu;

    const int layers = std::clamp(state.maxLayers, 1, 10);
    if (layers > 1)
    {
        TrayMenuItem popup;
        popup.text = text(L"&Layers");
        const std::wstring word = text(L"Layer");
        for (int layer = 0; layer < layers; ++layer)
        {
            const std::wstring name =
                layer < static_cast<int>(state.layerNames.size()) ? state.layerNames[layer] : std::wstring();
            std::wstring label;
            if (name.empty())
                label = layer == 9 ? text(L"Layer 1&0") : text(FormatString(L"Layer &%d", layer + 1).c_str());
            else
                label = FormatString(L"%s %d (%s)", word.c_str(), layer + 1, name.c_str());
            popup.children.push_back(Command(IdTrayLayerFirst + layer, label, layer == state.currentLayer));
        }
        menu.push_back(std::move(popup));
        menu.push_back(Separator());
    }
    menu.push_back(Command(IdTraySetup, text(L"&Setup")));
    menu.push_back(Command(IdTrayHideIcon, text(L"&Hide Icon")));
    menu.push_back(Command(IdTrayOpenLog, text(L"&Open log file")));
    menu.push_back(Command(IdTrayDisable, LookupText(language, L"&Disable %s", state.productName.c_str()), !state.hooked));
    menu.push_back(Separator());
    menu.push_back(Command(IdTrayCheckUpdate, text(L"&Check for update...")));
    menu.push_back(Separator());
    if (state.desktopIcons)
    {
        menu.push_back(Command(IdTraySaveDesktop, text(L"S&ave desktop icon layout")));
        menu.push_back(Command(IdTrayRestoreDesktop, text(L"&Restore desktop icon layout")));
        menu.push_back(Separator());
    }
    menu.push_back(Command(IdTrayExit, text(L"Exit")));
    return menu;
}

HMENU CreateTrayMenu(const std::vector<TrayMenuItem>& items)
{
    HMENU menu = ::CreatePopupMenu();
    if (!menu)
        return nullptr;
    for (const TrayMenuItem& item : items)
    {
        if (item.IsSeparator())
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else if (!item.children.empty())
            ::AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(CreateTrayMenu(item.children)),
                          item.text.c_str());
        else
            ::AppendMenuW(menu, MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED), item.id, item.text.c_str());
    }
    return menu;
}

void ShowTrayMenu(HWND window, const TrayMenuState& state, CLangSupport* language)
{
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    HMENU menu = CreateTrayMenu(BuildTrayMenu(state, language));
    if (!menu)
    {
        CLogger::LogOSMessage(::GetLastError(), L"Unable to create the tray menu.");
        return;
    }
    // The menu closes when the user clicks elsewhere only if the window is in front.
    ::SetForegroundWindow(window);
    ::TrackPopupMenu(menu, TPM_RIGHTALIGN | TPM_BOTTOMALIGN, cursor.x, cursor.y, 0, window, nullptr);
    ::PostMessageW(window, WM_NULL, 0, 0);
    ::DestroyMenu(menu);
}

void OpenLogFile(HWND window, CLangSupport* language, const std::wstring& productName)
{
    std::vector<wchar_t> buffer(4096);
    GetLogFile(buffer.data(), buffer.size(), false);
    const std::wstring file(buffer.data());
    if (file.empty() || !FileExists(file))
    {
        ShowMessageBox(LookupText(language, std::wstring(L"The log file can not be opened as it does not exist.")),
                       MB_OK | MB_ICONWARNING, window);
        return;
    }
    HINSTANCE result = nullptr;
    std::vector<wchar_t> program(MAX_PATH * 2);
    if (Opened(::FindExecutableW(file.c_str(), nullptr, program.data())))
    {
        std::wstring lower(program.data());
        std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
        if (lower.find(L"wordpad.exe") != std::wstring::npos)
            result = ::ShellExecuteW(window, L"OPEN", L"notepad.exe", file.c_str(), nullptr, SW_SHOW);
        else
        {
            result = ::ShellExecuteW(window, L"OPEN", file.c_str(), nullptr, nullptr, SW_SHOW);
            if (!Opened(result))
                result = ::ShellExecuteW(window, L"OPEN", L"notepad.exe", file.c_str(), nullptr, SW_SHOW);
        }
    }
    else
    {
        result = ::ShellExecuteW(window, L"OPEN", L"notepad.exe", file.c_str(), nullptr, SW_SHOW);
    }
    if (!Opened(result))
    {
        const std::wstring unable = LookupText(language, std::wstring(L"is unable to open the log file"));
        ShowMessageBox(FormatString(L"%s %s '%s'", productName.c_str(), unable.c_str(), file.c_str()), MB_OK | MB_ICONERROR,
                       window);
    }
}
