#pragma once
// The modal "Choose Application" dialog: what a new or copied profile applies
// to. The user picks a running application from the list, types or browses
// to an executable, or describes one window through the window finder (the
// application text then holds a window key, "W2:" or "W3:").

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Dialog.h"
#include "Handles.h"

class CLangSupport;

class CAppSpecific : public CDialog
{
public:
    explicit CAppSpecific(CWindow* parent = nullptr);
    ~CAppSpecific() override;

    // The window key of a window-specific profile: "W3:" with a caption, else
    // "W2:"; empty process, class and parent class stand for any ("*").
    static std::wstring WindowKey(const std::wstring& caption, const std::wstring& process, const std::wstring& className,
                                  const std::wstring& parentClass);
    // The description a list entry suggests: the title, the bare process name
    // when there is no title, and "title (name)" for the input-method window.
    static std::wstring DescriptionFor(const std::wstring& processName, const std::wstring& title);

    // Preset before DoModal; read after IDOK.
    std::wstring m_application;
    std::wstring m_description;
    // Set by the window finder only.
    bool m_noParent = false;
    bool m_regEx = false;
    int m_matchType = 1;
    int m_windowMask = 15;
    bool m_useArea = false;
    RECT m_area{};

    // Runs the list's refresh again (the Refresh button).
    void Refresh();

protected:
    // Asks for an executable (the open-file dialog); true with its full path.
    virtual bool BrowseForExecutable(const std::wstring& initial, std::wstring& path);
    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    void AddModernApplications();
    void AddProcesses();
    int AddItem(const std::wstring& name, const std::wstring& title, const wchar_t* path, int fallbackImage);
    int ImageFor(const wchar_t* path, int fallbackImage);
    void OnBnClickedBrowse();
    void OnSpecificWindow();
    void OnDescriptionChange();
    LRESULT OnItemChanged(NMHDR* header);
    void ShowMembers();

    UniqueImageList m_images;
    bool m_descriptionTyped = false;
    // Set while the dialog itself writes its edits.
    bool m_showingMembers = false;
    CLangSupport* m_language;
};
