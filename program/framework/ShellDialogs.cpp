#include "ShellDialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

namespace
{
OpenFileHandler& FileHandler()
{
    static OpenFileHandler handler;
    return handler;
}

FolderBrowseHandler& FolderHandler()
{
    static FolderBrowseHandler handler;
    return handler;
}

bool SystemOpenFile(const OpenFileRequest& request, std::wstring& path)
{
    std::vector<wchar_t> file(32768, L'\0');
    if (!request.initialPath.empty())
        request.initialPath.copy(file.data(), file.size() - 1);
    // The filter's '|' separators become the NULs the system expects.
    std::wstring filter = request.filter;
    for (wchar_t& c : filter)
        if (c == L'|')
            c = L'\0';
    filter.push_back(L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = request.owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    ofn.Flags = request.flags | OFN_EXPLORER;
    if (!::GetOpenFileNameW(&ofn))
        return false;
    path = file.data();
    return true;
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data != 0)
        ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

FolderBrowseResult SystemBrowse(const FolderBrowseRequest& request, std::wstring& folder)
{
    wchar_t display[MAX_PATH] = {};
    request.initialFolder.copy(display, MAX_PATH - 1);
    BROWSEINFOW info{};
    info.hwndOwner = request.owner;
    info.pszDisplayName = display;
    info.lpszTitle = request.title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(request.initialFolder.c_str());
    PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&info);
    if (item == nullptr)
        return FolderBrowseResult::kCancelled;
    wchar_t path[MAX_PATH] = {};
    const bool hasPath = ::SHGetPathFromIDListW(item, path) != FALSE;
    ::CoTaskMemFree(item);
    if (!hasPath || path[0] == 0)
        return FolderBrowseResult::kChosenVirtual;
    folder = path;
    return FolderBrowseResult::kChosen;
}
}

bool ShowOpenFileDialog(const OpenFileRequest& request, std::wstring& path)
{
    if (FileHandler())
        return FileHandler()(request, path);
    return SystemOpenFile(request, path);
}

OpenFileHandler SetOpenFileHandler(OpenFileHandler handler)
{
    OpenFileHandler previous = std::move(FileHandler());
    FileHandler() = std::move(handler);
    return previous;
}

FolderBrowseResult ShowFolderBrowser(const FolderBrowseRequest& request, std::wstring& folder)
{
    if (FolderHandler())
        return FolderHandler()(request, folder);
    return SystemBrowse(request, folder);
}

FolderBrowseHandler SetFolderBrowseHandler(FolderBrowseHandler handler)
{
    FolderBrowseHandler previous = std::move(FolderHandler());
    FolderHandler() = std::move(handler);
    return previous;
}
