#pragma once
// A C++ object bound to a real window. The object receives the window's
// messages through one dispatch path (WindowProc): commands and notifications
// of its controls (first offered to the control's own object, "reflection"),
// then the handlers bound in its message table, then default processing.
//
// Windows are bound either by creating them through the object (CreateEx, any
// window class, also one registered elsewhere) or by subclassing an existing
// window (SubclassWindow, SubclassDlgItem). Every message runs inside the
// window-procedure guard: an exception is logged and the window goes on.
//
// An object may delete itself (or be deleted) inside one of its own handlers:
// the dispatch touches nothing of it afterwards. Destroying the window before
// deleting the object is the normal order; deleting an object whose window
// still exists unbinds it and destroys a window the object created.

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "MessageTable.h"

// A window's whole text; empty for no window.
std::wstring ReadWindowText(HWND window);

class CWindow
{
public:
    CWindow();
    virtual ~CWindow();
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The object bound to a window, or null.
    static CWindow* FromHandle(HWND window);

    // Creates a window of any class (registered by anyone) bound to this
    // object from its very first message. Null className: the framework's own
    // plain class. idOrMenu is a child's control id or a top-level window's menu.
    bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU idOrMenu = nullptr, void* param = nullptr);
    static const wchar_t* DefaultClassName();

    // Binds the object to an existing window and takes its messages; messages
    // it does not handle go on to the window's previous procedure.
    bool SubclassWindow(HWND window);
    bool SubclassDlgItem(int id, HWND parent);
    // Gives the window its previous procedure back and unbinds the object.
    HWND UnsubclassWindow();

    bool DestroyWindow();
    bool IsWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }

    // Thin helpers over the window's handle.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    std::wstring GetWindowText() const;
    void SetWindowText(const wchar_t* text);
    HWND GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    HWND GetParent() const;
    bool ShowWindow(int command);
    bool EnableWindow(bool enable);
    UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds);
    bool KillTimer(UINT_PTR id);

    // Offered every message of the message loops before it is dispatched, for
    // each object from the target window up to its top-level window. True
    // means the message was handled and is not dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // The walk itself: target window first, then its parents, up to and
    // including the first window that is not a child (owners are not asked).
    static bool WalkPreTranslateTree(MSG* msg);

protected:
    // The dispatch of one message: OnWndMsg, else DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // True when handled; result then holds the answer.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // WM_COMMAND: offered to the control's object, then the command table.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY: offered to the control's object, then the notify table.
    virtual bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // On a control's object: a message its parent received about it
    // (WM_COMMAND, WM_NOTIFY, owner-draw, WM_CTLCOLOR*, scroll). True when
    // the control handled it; the parent then does not see it.
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Owner-draw messages reflected to the control; false: not handled.
    virtual bool DrawItem(DRAWITEMSTRUCT* item);
    virtual bool MeasureItem(MEASUREITEMSTRUCT* item);
    virtual bool CompareItem(COMPAREITEMSTRUCT* item, int* result);
    virtual bool DeleteItem(DELETEITEMSTRUCT* item);

    // Default processing: the window's previous procedure.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being dispatched now.
    LRESULT Default();

    // Before CreateEx creates the window; false cancels the creation.
    virtual bool PreCreateWindow(CREATESTRUCTW& cs);
    // When the object is bound, by creation (IsBeingCreated) or subclassing.
    virtual void PreSubclassWindow() {}
    // After the window is gone and the object unbound; an object that lives
    // on the heap for its window may delete itself here.
    virtual void PostNcDestroy() {}
    bool IsBeingCreated() const { return m_beingCreated; }

    // Message table. Each handler is a member function of the derived class:
    //   BindMessage(WM_TIMER, &CMyWnd::OnTimer);              LRESULT (WPARAM, LPARAM)
    //   BindRegisteredMessage(L"BRMP_X", &CMyWnd::OnX);      LRESULT (WPARAM, LPARAM)
    //   BindCommand(109, &CMyWnd::OnSetup);                  void ()  menu, accelerator, button click
    //   BindCommandRange(32900, 32909, &CMyWnd::OnLayer);    void (UINT id)
    //   BindControl(LBN_SELCHANGE, 1011, &CDlg::OnSel);      void ()
    //   BindNotify(TCN_SELCHANGE, 1050, &CDlg::OnTab);       LRESULT (NMHDR*)
    //   BindReflectedNotify(TCN_SELCHANGE, &CTab::OnSel);    on the control's own object
    // Lambdas and other callables are accepted as well.
    template <class T>
    void BindMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM))
    {
        T* self = static_cast<T*>(this);
        m_table.AddMessage(message, [self, handler](WPARAM w, LPARAM l) { return (self->*handler)(w, l); });
    }
    void BindMessage(UINT message, CMessageTable::MessageHandler handler) { m_table.AddMessage(message, std::move(handler)); }
    // Registers the name (RegisterWindowMessageW) and binds the id; returns the id.
    template <class T>
    UINT BindRegisteredMessage(const wchar_t* name, LRESULT (T::*handler)(WPARAM, LPARAM))
    {
        const UINT id = ::RegisterWindowMessageW(name);
        if (id != 0)
            BindMessage(id, handler);
        return id;
    }
    template <class T>
    void BindCommand(UINT id, void (T::*handler)())
    {
        BindControl(0, id, handler);
    }
    template <class T>
    void BindCommandRange(UINT firstId, UINT lastId, void (T::*handler)(UINT))
    {
        BindControlRange(0, firstId, lastId, handler);
    }
    template <class T>
    void BindControl(UINT code, UINT id, void (T::*handler)())
    {
        T* self = static_cast<T*>(this);
        m_table.AddCommand(code, id, id, [self, handler](UINT) { (self->*handler)(); });
    }
    template <class T>
    void BindControlRange(UINT code, UINT firstId, UINT lastId, void (T::*handler)(UINT))
    {
        T* self = static_cast<T*>(this);
        m_table.AddCommand(code, firstId, lastId, [self, handler](UINT id) { (self->*handler)(id); });
    }
    void BindControlRange(UINT code, UINT firstId, UINT lastId, CMessageTable::CommandHandler handler)
    {
        m_table.AddCommand(code, firstId, lastId, std::move(handler));
    }
    template <class T>
    void BindNotify(UINT code, UINT id, LRESULT (T::*handler)(NMHDR*))
    {
        BindNotifyRange(code, id, id, handler);
    }
    template <class T>
    void BindNotifyRange(UINT code, UINT_PTR firstId, UINT_PTR lastId, LRESULT (T::*handler)(NMHDR*))
    {
        T* self = static_cast<T*>(this);
        m_table.AddNotify(code, firstId, lastId, [self, handler](NMHDR* n) { return (self->*handler)(n); });
    }
    void BindNotifyRange(UINT code, UINT_PTR firstId, UINT_PTR lastId, CMessageTable::NotifyHandler handler)
    {
        m_table.AddNotify(code, firstId, lastId, std::move(handler));
    }
    template <class T>
    void BindReflectedMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM))
    {
        T* self = static_cast<T*>(this);
        m_table.AddReflectedMessage(message, [self, handler](WPARAM w, LPARAM l) { return (self->*handler)(w, l); });
    }
    template <class T>
    void BindReflectedCommand(UINT code, void (T::*handler)())
    {
        T* self = static_cast<T*>(this);
        m_table.AddReflectedCommand(code, [self, handler](UINT) { (self->*handler)(); });
    }
    template <class T>
    void BindReflectedNotify(UINT code, LRESULT (T::*handler)(NMHDR*))
    {
        T* self = static_cast<T*>(this);
        m_table.AddReflectedNotify(code, [self, handler](NMHDR* n) { return (self->*handler)(n); });
    }

    HWND m_hWnd = nullptr;

private:
    friend class CWindowCreation;
    struct CurrentMessage
    {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };

    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Bind(HWND window);
    void Unbind();
    void FinishNcDestroy();
    bool ReflectToControl(HWND control, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    CMessageTable m_table;
    WNDPROC m_superProc = nullptr;
    CurrentMessage m_current;
    bool m_ownsWindow = false;
    bool m_beingCreated = false;
    // Cleared by the destructor; a dispatch in progress checks it before it
    // touches the object again.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
