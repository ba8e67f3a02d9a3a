#pragma once
// What windows tell about themselves (parent, styles, class, process), asked of
// the window server at most once while one event or one look-up is handled.
// Under Wine every such question is a round trip to the server, and one button
// event asks the same windows several times: the window under the pointer,
// its tooltip rule, the rules of the profiles. A scope is opened for one event
// (the hook procedures) or one look-up (the timer thread); within it each fact
// is read once and nothing outlives it, so no answer is older than the event
// that asked. Without an open scope every question goes to the system.
//
// Captions are read the same way on every thread, from the window server's
// copy (ProfileTargeting), and each caption read in a scope is noted, so that
// a decision made in it can tell later whether the captions it depended on
// are still the same.
//
// A scope belongs to the thread that opened it; scopes opened inside it (by
// the same thread) are the same scope. No allocation.

#include <windows.h>

class CWindowFactsScope
{
public:
    // How long what the scope reads of a window's class and process lasts
    // (see below). The names date from when the two kinds also read captions
    // differently; they no longer do.
    enum class Captions
    {
        ByMessage,        // a look-up on a thread of ours: read anew in each scope
        FromWindowServer, // a hook procedure's event: kept while the window lives
    };
    explicit CWindowFactsScope(Captions captions);
    ~CWindowFactsScope();
    CWindowFactsScope(const CWindowFactsScope&) = delete;
    CWindowFactsScope& operator=(const CWindowFactsScope&) = delete;

private:
    int m_slot = -1;     // the slot this object opened; -1 when nested or none was free
};

namespace windowfacts
{
// As GetParent: the owner of a pop-up window, the parent of a child window,
// else null.
HWND Parent(HWND window);
LONG Style(HWND window);
LONG ExStyle(HWND window);
// The class name, truncated to size - 1 characters and terminated; empty and
// false when the window has none (no window).
bool ClassName(HWND window, wchar_t* name, int size);
// The process behind the window (0 for no window).
DWORD ProcessId(HWND window);
// GetAncestor(window, GA_ROOT).
HWND Root(HWND window);
// Reads ahead what the profile rules and the wheel record may ask of a window
// and its ancestors (classes of the window, its parent and grandparent, the
// root's extended style), so that a decision made next in this scope asks the
// window server nothing. Without a scope it reads nothing.
void Prefetch(HWND window);

// A hook procedure's scope (captions from the window server) also keeps a
// window's class and process across events, for as long as the window lives;
// other scopes read them anew. ForgetGoneWindows drops what is kept of the
// windows that no longer exist (the timer thread calls it every second; it
// asks the system outside the table, so a hook procedure never waits for it).
// ForgetKeptWindows drops everything kept (it may wait for the table).
void ForgetGoneWindows();
void ForgetKeptWindows();

// The captions a decision read, as a decision remembers them: the windows and
// one hash over what each gave. count is -1 when more were read than fit.
constexpr int kMaxNotedCaptions = 16;
struct CaptionsRead
{
    int count = 0;
    HWND windows[kMaxNotedCaptions] = {};
    unsigned hash = 0;
};
// Notes a caption read on this thread (no scope: nothing is noted). found
// false: the window gave no caption.
void NoteCaption(HWND window, bool found, const wchar_t* text);
// The captions noted in this thread's scope since mark (from CaptionMark),
// each window once (as first read), their hashes combined in that order.
int CaptionMark();
CaptionsRead CaptionsSince(int mark);
// The hash of one read, and how reads are combined (from kCaptionHashStart).
unsigned CaptionHash(HWND window, bool found, const wchar_t* text);
unsigned CombineCaptionHash(unsigned combined, unsigned one);
constexpr unsigned kCaptionHashStart = 2166136261u;
} // namespace windowfacts
