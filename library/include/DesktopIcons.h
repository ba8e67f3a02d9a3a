#pragma once
// A saved layout of desktop icons (name and position of each), kept in the
// settings file under "DesktopIcons", one list per computer and user. Reading
// the icons off the desktop and putting them back is the program's work.

#include <windows.h>

#include <string>
#include <vector>

#include "SnareholdApi.h"

class SNAREHOLD_API CIcon
{
public:
    CIcon(unsigned int index, const wchar_t* name, POINT position, HWND window, bool gadget);
    CIcon(unsigned int index, const wchar_t* name, int x, int y, HWND window, bool gadget);
    virtual ~CIcon();
    // Copies own their name separately.
    CIcon(const CIcon& other);
    CIcon& operator=(const CIcon& other);

    const wchar_t* GetName() const { return m_pszName; }
    unsigned int Index() const { return m_nIndex; }
    POINT GetPosition() const { return m_ptPosition; }
    HWND WindowHandle() const { return m_hWnd; }
    bool IsGadget() const { return m_bGadget; }

private:
    wchar_t* m_pszName = nullptr;
    unsigned int m_nIndex = 0;
    POINT m_ptPosition = {};
    HWND m_hWnd = nullptr;
    bool m_bGadget = false;
};

class SNAREHOLD_API CIconSettings
{
public:
    CIconSettings();
    virtual ~CIconSettings();
    // Copies hold copies of every icon.
    CIconSettings(const CIconSettings& other);
    CIconSettings& operator=(const CIconSettings& other);

    // Deletes every icon and the list; 1 when a list existed, else 0.
    int ClearIcons();
    // Appends; the list takes ownership. Returns 0.
    int AddIcon(CIcon* icon);
    int GetCount() const;
    // Null without a list; an index outside the list throws std::out_of_range.
    CIcon* GetIcon(int index) const;
    bool IsLoaded() const { return m_bLoaded; }

    // Non-zero on success. The forms without a path use the settings file.
    int LoadIcons(const wchar_t* path);
    int LoadIcons();
    int SaveIcons(const wchar_t* path);
    int SaveIcons();
    // Removes from the stored layout every icon named like one in the list.
    int RemoveListedIcons();
    int RemoveListedIcons(const wchar_t* path);

private:
    std::vector<CIcon*>* m_pIcons = nullptr;
    bool m_bLoaded = false;
};

// The element name of this computer's and user's layout: "<computer>-<user>",
// made safe as an XML element name (see DesktopIconLayoutKey below).
std::wstring CurrentDesktopIconLayoutKey();
// "computer-user" with characters an element name may not hold replaced by
// "_" (and "_" put in front when it may not start a name). Names that are
// already valid stay as they are, so layouts saved before keep their key.
std::wstring DesktopIconLayoutKey(const wchar_t* computer, const wchar_t* user);
