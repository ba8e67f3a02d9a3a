#pragma once
// The system's open-file dialog and folder browser behind one seam each, so
// that a test answers them and never waits for a person.

#include <windows.h>

#include <functional>
#include <string>

struct OpenFileRequest
{
    HWND owner = nullptr;
    std::wstring initialPath;      // may be empty
    std::wstring defaultExtension; // without the dot
    // Pairs of display text and pattern ("Applications (*.exe)", "*.exe").
    std::wstring filter;           // "text|pattern|text|pattern||"
    DWORD flags = 0;               // OFN_* flags
};

// True with path set when the user chose a file.
using OpenFileHandler = std::function<bool(const OpenFileRequest&, std::wstring& path)>;
bool ShowOpenFileDialog(const OpenFileRequest& request, std::wstring& path);
OpenFileHandler SetOpenFileHandler(OpenFileHandler handler);

struct FolderBrowseRequest
{
    HWND owner = nullptr;
    std::wstring title;
    std::wstring initialFolder;
};

enum class FolderBrowseResult
{
    kCancelled,
    kChosen,        // folder holds the chosen path
    kChosenVirtual, // a folder without a file-system path was chosen
};

using FolderBrowseHandler = std::function<FolderBrowseResult(const FolderBrowseRequest&, std::wstring& folder)>;
FolderBrowseResult ShowFolderBrowser(const FolderBrowseRequest& request, std::wstring& folder);
FolderBrowseHandler SetFolderBrowseHandler(FolderBrowseHandler handler);

// Installs both handlers for a scope (tests); an empty handler keeps the system's.
class ScopedShellDialogHandlers
{
public:
    ScopedShellDialogHandlers(OpenFileHandler file, FolderBrowseHandler folder)
        : m_file(SetOpenFileHandler(std::move(file))), m_folder(SetFolderBrowseHandler(std::move(folder)))
    {
    }
    ~ScopedShellDialogHandlers()
    {
        SetOpenFileHandler(std::move(m_file));
        SetFolderBrowseHandler(std::move(m_folder));
    }
    ScopedShellDialogHandlers(const ScopedShellDialogHandlers&) = delete;
    ScopedShellDialogHandlers& operator=(const ScopedShellDialogHandlers&) = delete;

private:
    OpenFileHandler m_file;
    FolderBrowseHandler m_folder;
};
