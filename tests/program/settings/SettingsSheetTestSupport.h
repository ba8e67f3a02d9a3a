#pragma once
// Drives the global settings sheet the way a user would while the test's own
// thread runs the sheet's loop: a second thread finds the sheet by its title
// and works it with messages (and xdotool), message boxes are answered through
// the seam, and a sheet a failed step leaves open is cancelled so no test hangs.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MessageBox.h"
#include "PropertySheet.h"
#include "ProgramRunner.h"
#include "WaitFor.h"

namespace sheettest
{
inline HWND FindSheet(const wchar_t* title)
{
    HWND sheet = nullptr;
    brmptest::WaitFor([&] {
        sheet = ::FindWindowW(L"#32770", title);
        return sheet != nullptr && ::IsWindowVisible(sheet) &&
               ::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) != 0;
    });
    return sheet;
}

inline HWND CurrentPage(HWND sheet)
{
    return reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

// A control of the page in front, or of one of the tab pages inside it.
inline HWND Control(HWND sheet, int id)
{
    const HWND page = CurrentPage(sheet);
    if (const HWND direct = ::GetDlgItem(page, id))
        return direct;
    for (HWND child = ::GetWindow(page, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        if (const HWND inner = ::GetDlgItem(child, id))
            return inner;
    }
    return nullptr;
}

inline std::wstring Text(HWND window)
{
    wchar_t text[512] = {};
    ::SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

inline void SetText(HWND sheet, int id, const wchar_t* text)
{
    ::SendMessageW(Control(sheet, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// A click as the button's parent hears of it.
inline void Click(HWND sheet, int id)
{
    const HWND button = Control(sheet, id);
    ::SendMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

inline void PressOk(HWND sheet)
{
    ::SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
}

inline void PressCancel(HWND sheet)
{
    ::SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

inline bool IsOpen(HWND sheet)
{
    return ::IsWindow(sheet) && CurrentPage(sheet) != nullptr;
}

// The message boxes the sheet showed, answered with `answer`.
class Boxes
{
public:
    explicit Boxes(int answer = IDOK)
        : m_handler([this, answer](const MessageBoxRequest& request) {
              std::lock_guard<std::mutex> lock(m_lock);
              m_shown.push_back(request);
              return answer;
          })
    {
    }
    std::vector<MessageBoxRequest> Shown()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_shown;
    }
    std::size_t Count() { return Shown().size(); }

private:
    std::mutex m_lock;
    std::vector<MessageBoxRequest> m_shown;
    ScopedMessageBoxHandler m_handler;
};

// Runs steps(sheet) on a thread of its own once the sheet is up; whatever the
// steps leave open is cancelled, and a sheet that never showed is ended.
class Driver
{
public:
    Driver(const wchar_t* title, CPropertySheet& object, std::function<void(HWND)> steps)
        : m_thread([title, &object, steps] {
              const HWND sheet = FindSheet(title);
              if (sheet == nullptr)
              {
                  ADD_FAILURE() << "no sheet titled " << ::testing::PrintToString(std::wstring(title));
                  object.EndDialog(-2);
                  return;
              }
              steps(sheet);
              if (IsOpen(sheet))
                  ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
          })
    {
    }
    ~Driver() { m_thread.join(); }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

private:
    std::thread m_thread;
};

inline void Screenshot(const wchar_t* name)
{
    programtest::SaveScreenshot(name);
}
} // namespace sheettest
