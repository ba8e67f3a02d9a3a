#pragma once
// The simulated keystrokes editor: the key sequence of a "Simulated Keys"
// action in the tag language, how it is sent, its repeat delay, its blocking
// and activity options and a description. Tags go in at the caret by typing,
// from the tag menu, by holding the key capture button and pressing keys, or by
// clicking it. A live box shows the cursor position, and a picker drops the
// cursor anywhere on screen to copy coordinates for the movement tags.
//
// It never sends anything: the caller reads the values after IDOK and builds
// the action record itself.

#include <windows.h>

#include <string>
#include <vector>

#include "DataExchange.h"
#include "Dialog.h"
#include "Handles.h"
#include "PressedButton.h"

class CLangSupport;

// The send-method list: value = stored method (0 to 8). Without the sticky
// methods (6, 7) the list leaves them out and shows method 8 at position 6.
constexpr int kSendMethodCount = 9;
bool IsRepeatingSendMethod(int method);
// The list position of a method; -1 when the list does not offer it.
int SendMethodPosition(int method, bool stickyAllowed);
// The method at a list position; -1 for a position the list does not have.
int SendMethodAtPosition(int position, bool stickyAllowed);

// Where a tag goes in the keys text: at the selection's start (a selection is
// not replaced), but never inside an empty pair of braces. The caret lands
// between the braces of a short text such as "{}", else after the text.
struct TagInsertion
{
    std::wstring text;
    int caret = 0;
};
TagInsertion InsertTagText(const std::wstring& text, int selectionStart, int selectionEnd, const std::wstring& tag);

class CCustomKey : public CDialog
{
public:
    CCustomKey(std::wstring title, std::wstring keys, int sendMethod, int repeatDelay, bool onlyWhenActive,
               bool defaultProfile, bool blockMouse, bool blockMouseIfActive, bool randomiseDelay,
               std::wstring description, bool stickyMethodsAllowed, CWindow* parent);
    ~CCustomKey() override;
    CCustomKey(const CCustomKey&) = delete;
    CCustomKey& operator=(const CCustomKey&) = delete;

    // The values, read by the caller after IDOK.
    std::wstring GetKeys() const { return m_keys; }
    int SendMethod() const { return m_sendMethod; }
    int RepeatDelay() const { return m_repeatDelay; }
    bool OnlyWhenActive() const { return m_onlyWhenActive; }
    bool BlockMouse() const { return m_blockMouse; }
    bool BlockMouseIfActive() const { return m_blockMouseIfActive; }
    bool RandomiseDelay() const { return m_randomiseDelay; }
    const std::wstring& Description() const { return m_description; }

    // Inserts text at the caret of the keys box (see InsertTagText); focus:
    // the keys box takes the focus.
    void InsertTag(const std::wstring& text, bool focus);
    // Inserts the tags of the keys held down now; false when none is.
    bool AddHeldKeyTags(bool focus);
    // Shows the cursor position in its box. final: the picker's result, which
    // is selected (mode 0 screen pair, 1 and 2 the window pair) and copied;
    // mode 2 measures from the profile's window when there is one.
    void UpdateCursorPosition(bool final, int mode);

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void OnSendMethodChange();
    void OnCaptureButtonClick();
    void OnBlockMouseClick();
    void OnBlockIfActiveClick();
    void OnTagCommand(UINT command);
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnCaptureChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyReceived(WPARAM wParam, LPARAM lParam);
    LRESULT OnButtonReleased(WPARAM wParam, LPARAM lParam);

    void FillSendMethods();
    void EnableRepeatControls(int method);
    void CreateTooltip();
    void RemoveTooltip();
    void StartPicker();
    // Ends the picker; picked: read and copy the position, else it was abandoned.
    void EndPicker(bool picked);
    void ShowHiddenWindows();

    CPressedButton m_captureButton;
    std::wstring m_keys;
    std::wstring m_description;
    int m_sendMethod;
    bool m_onlyWhenActive;
    bool m_blockMouse;
    bool m_blockMouseIfActive;
    bool m_randomiseDelay;
    bool m_defaultProfile;
    std::wstring m_title;
    HMENU m_tagMenu = nullptr;
    bool m_stickyAllowed;
    POINT m_lastShown{0, 0};
    int m_repeatDelay;
    CNumberFields m_numbers;
    CLangSupport* m_language;
    HCURSOR m_savedCursor = nullptr;
    UniqueGdiObject<HBITMAP> m_targetBitmap;
    UniqueGdiObject<HBITMAP> m_emptyBitmap;
    std::vector<HWND> m_hiddenWindows;
    bool m_picking = false;
    // The timer saw Escape end the last pick, at that tick count.
    bool m_escapeAbandonedPick = false;
    DWORD m_pickAbandonedAt = 0;
    HWND m_tooltip = nullptr;
};
