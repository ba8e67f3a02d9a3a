#include "FileDialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <mutex>
#include <utility>
#include <vector>

#include "Logger.h"

namespace
{
std::mutex g_lock;
FileDialogHandler g_handler;

// Long enough for a multi-level path beyond MAX_PATH.
constexpr DWORD kPathChars = 4096;

bool RunFileDialog(const FileDialogRequest& request, std::wstring& path)
{
    std::vector<wchar_t> buffer(kPathChars, L'\0');
    request.initialFile.copy(buffer.data(), kPathChars - 1);
    const std::wstring filter = SystemFilterText(request.filter);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = request.owner;
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = kPathChars;
    ofn.lpstrInitialDir = request.initialFolder.empty() ? nullptr : request.initialFolder.c_str();
    ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    ofn.Flags = request.flags | OFN_EXPLORER;

    const BOOL chosen = request.kind == FileDialogKind::Save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
    if (!chosen)
    {
        if (const DWORD error = ::CommDlgExtendedError(); error != 0)
            CLogger::LogMessage(L"ShowFileDialog: The file dialog failed (error 0x%04X).", static_cast<unsigned>(error));
        return false;
    }
    path = buffer.data();
    return true;
}

// Selects the initial folder, and keeps the selected folder in view: the
// browser's tree does not scroll to a selection made before it is filled.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data != 0)
    {
        ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    }
    else if (message == BFFM_SELCHANGED)
    {
        const HWND space = ::FindWindowExW(window, nullptr, L"SHBrowseForFolder ShellNameSpace Control", nullptr);
        const HWND tree = space != nullptr ? ::FindWindowExW(space, nullptr, WC_TREEVIEWW, nullptr) : nullptr;
        if (tree != nullptr)
            if (const auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)))
                ::PostMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    }
    return 0;
}

bool RunFolderBrowser(const FileDialogRequest& request, std::wstring& path)
{
    std::vector<wchar_t> display(MAX_PATH, L'\0');
    request.initialFolder.copy(display.data(), MAX_PATH - 1);
    BROWSEINFOW info{};
    info.hwndOwner = request.owner;
    info.pszDisplayName = display.data();
    info.lpszTitle = request.title.empty() ? nullptr : request.title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    info.lpfn = &BrowseCallback;
    info.lParam = request.initialFolder.empty() ? 0 : reinterpret_cast<LPARAM>(request.initialFolder.c_str());
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
    if (chosen == nullptr)
        return false;
    std::vector<wchar_t> buffer(kPathChars, L'\0');
    // A virtual folder has no path: chosen, with an empty path.
    path = ::SHGetPathFromIDListEx(chosen, buffer.data(), kPathChars, GPFIDL_DEFAULT) ? buffer.data() : L"";
    ::CoTaskMemFree(chosen);
    return true;
}
}

std::wstring SystemFilterText(const std::wstring& filter)
{
    std::wstring result = filter;
    for (wchar_t& c : result)
        if (c == L'|')
            c = L'\0';
    // Two terminators end the list, whatever the text ended with.
    result.push_back(L'\0');
    return result;
}

bool ShowFileDialog(const FileDialogRequest& request, std::wstring& path)
{
    FileDialogHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        handler = g_handler;
    }
    if (handler)
        return handler(request, path);
    return request.kind == FileDialogKind::Folder ? RunFolderBrowser(request, path) : RunFileDialog(request, path);
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler)
{
    std::lock_guard<std::mutex> lock(g_lock);
    return std::exchange(g_handler, std::move(handler));
}
