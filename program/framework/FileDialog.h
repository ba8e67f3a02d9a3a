#pragma once
// The system's open and save file dialogs and its folder browser, behind one
// function and one seam (as message boxes are, MessageBox.h): a test installs
// a handler that answers in place of the person, so no test ever waits on a
// system dialog.
//
// Filters are written as one text: pairs of "description|patterns" joined by
// '|' and ended by "||", e.g. L"Profiles (*.brmpa)|*.brmpa|All Files (*.*)|*.*||".

#include <windows.h>

#include <functional>
#include <string>

enum class FileDialogKind
{
    Open,
    Save,
    Folder
};

struct FileDialogRequest
{
    FileDialogKind kind = FileDialogKind::Open;
    HWND owner = nullptr;
    std::wstring title;          // empty: the system's own
    std::wstring filter;         // see above; empty: every file
    std::wstring defaultExtension; // without the dot; added when the user types none
    std::wstring initialFile;    // name or full path shown at first
    std::wstring initialFolder;  // the folder browser starts with it selected
    DWORD flags = 0;             // OFN_* of the file dialogs (OFN_EXPLORER is always added)
};

// Answers a dialog in place of the person: true and the chosen path, or
// false for Cancel.
using FileDialogHandler = std::function<bool(const FileDialogRequest&, std::wstring& path)>;

// Runs the dialog; true with the chosen full path, false when cancelled or
// when the dialog failed (the failure is logged). The folder browser answers
// true with an empty path when the chosen folder has no file-system path (a
// virtual folder such as the Control Panel).
bool ShowFileDialog(const FileDialogRequest& request, std::wstring& path);

// The filter text in the system's form: '|' become terminators.
std::wstring SystemFilterText(const std::wstring& filter);

// Returns the previous handler; an empty handler shows the real dialogs.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);

class ScopedFileDialogHandler
{
public:
    explicit ScopedFileDialogHandler(FileDialogHandler handler) : m_previous(SetFileDialogHandler(std::move(handler))) {}
    ~ScopedFileDialogHandler() { SetFileDialogHandler(std::move(m_previous)); }
    ScopedFileDialogHandler(const ScopedFileDialogHandler&) = delete;
    ScopedFileDialogHandler& operator=(const ScopedFileDialogHandler&) = delete;

private:
    FileDialogHandler m_previous;
};
