#include "WindowFacts.h"

#include <atomic>

namespace
{
constexpr int kSlots = 8;
constexpr int kWindows = 16;
constexpr int kNotes = 32;
constexpr int kClassChars = 261;

enum Known : unsigned
{
    kParent = 1,
    kStyle = 2,
    kExStyle = 4,
    kClass = 8,
    kProcess = 16,
    kRoot = 32,
};

struct Entry
{
    HWND window = nullptr;
    unsigned known = 0;
    HWND parent = nullptr;
    LONG style = 0;
    LONG exStyle = 0;
    DWORD pid = 0;
    HWND root = nullptr;
    bool hasClass = false;
    wchar_t className[kClassChars] = {};
};

struct Note
{
    HWND window = nullptr;
    unsigned hash = 0;   // CaptionHash of this read
};

// One open scope. Only the owning thread looks at anything but the owner.
struct Slot
{
    std::atomic<DWORD> owner{0};
    CWindowFactsScope::Captions captions = CWindowFactsScope::Captions::ByMessage;
    int used = 0;
    Entry entries[kWindows];
    int notes = 0;
    bool notesOverflowed = false;
    Note noted[kNotes];
};
Slot g_slots[kSlots];

Slot* OwnSlot()
{
    const DWORD self = ::GetCurrentThreadId();
    for (Slot& slot : g_slots)
    {
        if (slot.owner.load(std::memory_order_acquire) == self)
            return &slot;
    }
    return nullptr;
}

// The entry of window in this thread's scope, made when missing; null without
// a scope, for no window, or when the scope is full (then facts are read each time).
Entry* EntryOf(HWND window)
{
    if (window == nullptr)
        return nullptr;
    Slot* slot = OwnSlot();
    if (slot == nullptr)
        return nullptr;
    for (int i = 0; i < slot->used; ++i)
    {
        if (slot->entries[i].window == window)
            return &slot->entries[i];
    }
    if (slot->used == kWindows)
        return nullptr;
    Entry& entry = slot->entries[slot->used++];
    entry.window = window;
    entry.known = 0;
    return &entry;
}

void CopyBounded(wchar_t* target, int size, const wchar_t* text)
{
    int i = 0;
    for (; i < size - 1 && text[i] != L'\0'; ++i)
        target[i] = text[i];
    target[i] = L'\0';
}

// What stays true of a window for as long as it lives, its class and its
// process, kept across events for the hook procedures: a button press in a
// window seen before then asks the window server only what can change (the
// window at the point, its parent). A window handle carries a reuse counter,
// so a destroyed window's handle does not come back for a long while; the
// timer thread forgets the windows that are gone (ForgetGoneWindows) long
// before that. A fixed table, taken only by trying: a thread that finds it
// busy asks the system instead of waiting.
constexpr int kKept = 64;
struct KeptFacts
{
    HWND window = nullptr;
    unsigned known = 0;   // kClass and kProcess only
    DWORD pid = 0;
    bool hasClass = false;
    wchar_t className[kClassChars] = {};
};
struct KeptTable
{
    std::atomic<bool> busy{false};
    int next = 0;
    KeptFacts entries[kKept];
};
KeptTable g_kept;

class KeptAccess
{
public:
    KeptAccess() : m_taken(!g_kept.busy.exchange(true, std::memory_order_acquire)) {}
    ~KeptAccess()
    {
        if (m_taken)
            g_kept.busy.store(false, std::memory_order_release);
    }
    KeptAccess(const KeptAccess&) = delete;
    KeptAccess& operator=(const KeptAccess&) = delete;
    bool Taken() const { return m_taken; }

private:
    bool m_taken;
};

bool KeepsAcrossEvents()
{
    const Slot* slot = OwnSlot();
    return slot != nullptr && slot->captions == CWindowFactsScope::Captions::FromWindowServer;
}

KeptFacts* KeptOf(HWND window)
{
    for (KeptFacts& kept : g_kept.entries)
    {
        if (kept.window == window)
            return &kept;
    }
    return nullptr;
}

// Fills what the table knows of the entry's window into it (a hook scope only).
void RecallKept(Entry& entry)
{
    if (!KeepsAcrossEvents())
        return;
    const KeptAccess access;
    if (!access.Taken())
        return;
    const KeptFacts* kept = KeptOf(entry.window);
    if (kept == nullptr)
        return;
    if ((kept->known & kProcess) != 0 && (entry.known & kProcess) == 0)
    {
        entry.pid = kept->pid;
        entry.known |= kProcess;
    }
    if ((kept->known & kClass) != 0 && (entry.known & kClass) == 0)
    {
        entry.hasClass = kept->hasClass;
        CopyBounded(entry.className, kClassChars, kept->className);
        entry.known |= kClass;
    }
}

// Keeps the entry's lasting facts that the system gave (a window that gave no
// class or no process is gone or going: nothing of it is kept).
void Keep(const Entry& entry)
{
    const bool classKnown = (entry.known & kClass) != 0 && entry.hasClass;
    const bool processKnown = (entry.known & kProcess) != 0 && entry.pid != 0;
    if ((!classKnown && !processKnown) || !KeepsAcrossEvents())
        return;
    const KeptAccess access;
    if (!access.Taken())
        return;
    KeptFacts* kept = KeptOf(entry.window);
    if (kept == nullptr)
    {
        kept = &g_kept.entries[g_kept.next];
        g_kept.next = (g_kept.next + 1) % kKept;
        kept->window = entry.window;
        kept->known = 0;
    }
    if (classKnown)
    {
        kept->hasClass = true;
        CopyBounded(kept->className, kClassChars, entry.className);
        kept->known |= kClass;
    }
    if (processKnown)
    {
        kept->pid = entry.pid;
        kept->known |= kProcess;
    }
}
} // namespace

CWindowFactsScope::CWindowFactsScope(Captions captions)
{
    if (OwnSlot() != nullptr)
        return;
    const DWORD self = ::GetCurrentThreadId();
    for (int i = 0; i < kSlots; ++i)
    {
        DWORD none = 0;
        if (g_slots[i].owner.compare_exchange_strong(none, self, std::memory_order_acq_rel))
        {
            Slot& slot = g_slots[i];
            slot.captions = captions;
            slot.used = 0;
            slot.notes = 0;
            slot.notesOverflowed = false;
            m_slot = i;
            return;
        }
    }
}

CWindowFactsScope::~CWindowFactsScope()
{
    if (m_slot >= 0)
        g_slots[m_slot].owner.store(0, std::memory_order_release);
}

namespace windowfacts
{
LONG Style(HWND window)
{
    Entry* entry = EntryOf(window);
    if (entry == nullptr)
        return ::GetWindowLongW(window, GWL_STYLE);
    if ((entry->known & kStyle) == 0)
    {
        entry->style = ::GetWindowLongW(window, GWL_STYLE);
        entry->known |= kStyle;
    }
    return entry->style;
}

LONG ExStyle(HWND window)
{
    Entry* entry = EntryOf(window);
    if (entry == nullptr)
        return ::GetWindowLongW(window, GWL_EXSTYLE);
    if ((entry->known & kExStyle) == 0)
    {
        entry->exStyle = ::GetWindowLongW(window, GWL_EXSTYLE);
        entry->known |= kExStyle;
    }
    return entry->exStyle;
}

HWND Parent(HWND window)
{
    Entry* entry = EntryOf(window);
    if (entry == nullptr)
        return window != nullptr ? ::GetParent(window) : nullptr;
    if ((entry->known & kParent) == 0)
    {
        if ((entry->known & kStyle) != 0)
        {
            // GetParent's own rule, on the style already read: a pop-up's
            // owner, a child's parent, nothing for other top-level windows.
            if ((entry->style & WS_POPUP) != 0)
                entry->parent = ::GetWindow(window, GW_OWNER);
            else if ((entry->style & WS_CHILD) != 0)
                entry->parent = ::GetAncestor(window, GA_PARENT);
            else
                entry->parent = nullptr;
        }
        else
            entry->parent = ::GetParent(window);
        entry->known |= kParent;
    }
    return entry->parent;
}

bool ClassName(HWND window, wchar_t* name, int size)
{
    if (name == nullptr || size <= 0)
        return false;
    name[0] = L'\0';
    if (window == nullptr)
        return false;
    Entry* entry = EntryOf(window);
    if (entry == nullptr)
        return ::GetClassNameW(window, name, size) > 0;
    if ((entry->known & kClass) == 0)
        RecallKept(*entry);
    if ((entry->known & kClass) == 0)
    {
        entry->hasClass = ::GetClassNameW(window, entry->className, kClassChars) > 0;
        if (!entry->hasClass)
            entry->className[0] = L'\0';
        entry->known |= kClass;
        Keep(*entry);
    }
    CopyBounded(name, size, entry->className);
    return entry->hasClass;
}

DWORD ProcessId(HWND window)
{
    if (window == nullptr)
        return 0;
    Entry* entry = EntryOf(window);
    DWORD pid = 0;
    if (entry == nullptr)
    {
        ::GetWindowThreadProcessId(window, &pid);
        return pid;
    }
    if ((entry->known & kProcess) == 0)
        RecallKept(*entry);
    if ((entry->known & kProcess) == 0)
    {
        ::GetWindowThreadProcessId(window, &entry->pid);
        entry->known |= kProcess;
        Keep(*entry);
    }
    return entry->pid;
}

HWND Root(HWND window)
{
    Entry* entry = EntryOf(window);
    if (entry == nullptr)
        return window != nullptr ? ::GetAncestor(window, GA_ROOT) : nullptr;
    if ((entry->known & kRoot) == 0)
    {
        entry->root = ::GetAncestor(window, GA_ROOT);
        entry->known |= kRoot;
    }
    return entry->root;
}

void Prefetch(HWND window)
{
    if (window == nullptr || OwnSlot() == nullptr)
        return;
    wchar_t name[kClassChars];
    HWND w = window;
    for (int depth = 0; depth < 3 && w != nullptr; ++depth, w = Parent(w))
        ClassName(w, name, kClassChars);
    if (HWND root = Root(window))
        ExStyle(root);
}

void ForgetGoneWindows()
{
    HWND windows[kKept] = {};
    {
        const KeptAccess access;
        if (!access.Taken())
            return;
        for (int i = 0; i < kKept; ++i)
            windows[i] = g_kept.entries[i].window;
    }
    // Asked outside the table: the hook procedures never wait for these calls.
    bool gone[kKept] = {};
    bool any = false;
    for (int i = 0; i < kKept; ++i)
    {
        gone[i] = windows[i] != nullptr && ::IsWindow(windows[i]) == FALSE;
        any = any || gone[i];
    }
    if (!any)
        return;
    const KeptAccess access;
    if (!access.Taken())
        return;
    for (int i = 0; i < kKept; ++i)
    {
        // The entry may have been given to another window meanwhile.
        if (gone[i] && g_kept.entries[i].window == windows[i])
        {
            g_kept.entries[i].window = nullptr;
            g_kept.entries[i].known = 0;
        }
    }
}

void ForgetKeptWindows()
{
    while (g_kept.busy.exchange(true, std::memory_order_acquire))
        ::SwitchToThread();
    for (KeptFacts& kept : g_kept.entries)
    {
        kept.window = nullptr;
        kept.known = 0;
    }
    g_kept.next = 0;
    g_kept.busy.store(false, std::memory_order_release);
}

unsigned CaptionHash(HWND window, bool found, const wchar_t* text)
{
    unsigned hash = kCaptionHashStart;
    const auto fold = [&hash](unsigned value) { hash = (hash ^ value) * 16777619u; };
    const auto handle = static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window));
    fold(static_cast<unsigned>(handle));
    fold(static_cast<unsigned>(handle >> 32));
    fold(found ? 1u : 0u);
    if (found && text != nullptr)
    {
        for (const wchar_t* c = text; *c != L'\0'; ++c)
            fold(static_cast<unsigned>(*c));
    }
    return hash;
}

unsigned CombineCaptionHash(unsigned combined, unsigned one)
{
    return (combined ^ one) * 16777619u;
}

void NoteCaption(HWND window, bool found, const wchar_t* text)
{
    Slot* slot = OwnSlot();
    if (slot == nullptr)
        return;
    if (slot->notes == kNotes)
    {
        slot->notesOverflowed = true;
        return;
    }
    slot->noted[slot->notes++] = Note{window, CaptionHash(window, found, text)};
}

int CaptionMark()
{
    const Slot* slot = OwnSlot();
    return slot != nullptr ? slot->notes : 0;
}

CaptionsRead CaptionsSince(int mark)
{
    CaptionsRead read;
    const Slot* slot = OwnSlot();
    if (slot == nullptr)
        return read;
    if (slot->notesOverflowed)
    {
        read.count = -1;
        return read;
    }
    read.hash = kCaptionHashStart;
    for (int i = mark < 0 ? 0 : mark; i < slot->notes; ++i)
    {
        const Note& note = slot->noted[i];
        bool seen = false;
        for (int j = 0; j < read.count && !seen; ++j)
            seen = read.windows[j] == note.window;
        // A window read twice in one decision counts once, as first read.
        if (seen)
            continue;
        if (read.count == kMaxNotedCaptions)
        {
            read.count = -1;
            return read;
        }
        read.windows[read.count++] = note.window;
        read.hash = CombineCaptionHash(read.hash, note.hash);
    }
    return read;
}
} // namespace windowfacts
