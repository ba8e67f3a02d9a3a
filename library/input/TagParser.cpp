#include "TagParser.h"

#include <climits>
#include <cstdlib>
#include <cwctype>
#include <exception>
#include <string>

#include "Logger.h"
#include "KeyMapping.h"
#include "TokenServices.h"

namespace
{
constexpr UINT ScanByVirtualKey = 0xFFFFFFFF;
constexpr UINT DefaultHoldMs = 250;   // HOLD and WAIT without a usable value

wchar_t Upper(wchar_t c)
{
    return static_cast<wchar_t>(std::towupper(c));
}

bool Is(const std::wstring& tag, const wchar_t* word)
{
    std::size_t i = 0;
    for (; word[i] != 0; ++i)
    {
        if (i >= tag.size() || Upper(tag[i]) != Upper(word[i]))
            return false;
    }
    return i == tag.size();
}

bool Starts(const std::wstring& tag, const wchar_t* word)
{
    for (std::size_t i = 0; word[i] != 0; ++i)
    {
        if (i >= tag.size() || Upper(tag[i]) != Upper(word[i]))
            return false;
    }
    return true;
}

wchar_t At(const std::wstring& text, std::size_t i)
{
    return i < text.size() ? text[i] : L'\0';
}

// The C runtime's _wtoi rules (leading blanks, sign, digits up to the first
// other character, 0 without digits), saturated to the 32-bit range.
long long ReadInt(const std::wstring& text, std::size_t pos, std::size_t end = std::wstring::npos)
{
    end = end < text.size() ? end : text.size();
    while (pos < end && std::iswspace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < end && (text[pos] == L'-' || text[pos] == L'+'))
        negative = text[pos++] == L'-';
    long long value = 0;
    for (; pos < end && text[pos] >= L'0' && text[pos] <= L'9'; ++pos)
    {
        if (value <= static_cast<long long>(INT_MAX) + 1)
            value = value * 10 + (text[pos] - L'0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return value;
}

// Where the number of an argument at position k begins: a ":" and then a "<" there are skipped.
std::size_t ArgumentStart(const std::wstring& tag, std::size_t k)
{
    if (At(tag, k) == L':')
        ++k;
    if (At(tag, k) == L'<')
        ++k;
    return k;
}

long long ReadNumber(const std::wstring& tag, std::size_t k)
{
    return ReadInt(tag, ArgumentStart(tag, k));
}

bool HasArgument(const std::wstring& tag, std::size_t k)
{
    return tag.size() > k;
}

long long Clamp(long long value, long long low, long long high)
{
    return value < low ? low : (value > high ? high : value);
}

class Parser
{
public:
    Parser(SimTokenList& tokens, const TagParseContext& context) : m_tokens(tokens), m_ctx(context)
    {
        m_hold = context.defaultHoldTime;
        m_caps = context.capsLock;
        m_num = context.numLock;
        m_scroll = context.scrollLock;
        m_current = context.currentLayer;
        m_previous = context.previousLayer;
    }

    bool Run(const wchar_t* text)
    {
        for (std::size_t i = 0; text[i] != 0;)
        {
            if (text[i] != L'{')
            {
                AddCharacter(text[i]);
                ++i;
                continue;
            }
            if (text[i + 1] == L'{')
            {
                // A literal brace; the second brace then opens a tag of its own.
                auto token = std::make_unique<CSimKeyToken>();
                token->m_nScan = L'{';
                token->m_bUnicode = true;
                Stamp(*token, true);
                m_tokens.push_back(std::move(token));
                m_hold = m_ctx.defaultHoldTime;
                ++i;
                continue;
            }
            std::wstring tag;
            std::size_t j = i + 1;
            for (int taken = 0; text[j] != 0 && taken <= MaxTagLength; ++taken)
            {
                const wchar_t c = text[j++];
                if (c == L'}')
                    break;
                if (static_cast<int>(tag.size()) < MaxTagLength)
                    tag.push_back(c);
            }
            i = j;
            if (!Tag(tag))
                return false;
        }
        if (m_pending != 0)
        {
            auto token = std::make_unique<CSimKeyToken>();
            Stamp(*token, true);
            token->m_nHoldTime = m_savedHold > 0 ? m_savedHold : m_hold;
            m_tokens.push_back(std::move(token));
        }
        return true;
    }

private:
    // Copies the one-shot state into a new token.
    void Stamp(CSimToken& token, bool withModifiers) const
    {
        if (withModifiers)
            token.m_nModifiers |= m_pending;
        token.m_nPart = m_part;
        token.m_nFilter = m_filter;
        token.m_nHoldTime = m_hold;
    }

    void ResetAll()
    {
        m_pending = 0;
        m_part = SIMPART_BOTH;
        m_filter = 0;
        m_hold = m_ctx.defaultHoldTime;
    }

    // Wait and layer tokens keep the pending modifiers for what follows.
    void ResetKeepModifiers()
    {
        m_part = SIMPART_BOTH;
        m_filter = 0;
        m_hold = m_ctx.defaultHoldTime;
    }

    template <typename T>
    T* Add(std::unique_ptr<T> token, bool withModifiers)
    {
        Stamp(*token, withModifiers);
        T* raw = token.get();
        m_tokens.push_back(std::move(token));
        return raw;
    }

    CSimKeyToken* AddKey(int vk, bool extended, UINT scan = 0)
    {
        auto token = std::make_unique<CSimKeyToken>();
        token->m_nVirtualKey = vk;
        token->m_bExtended = extended;
        token->m_nScan = scan;
        CSimKeyToken* raw = Add(std::move(token), true);
        ResetAll();
        return raw;
    }

    void AddAction(int action, int amount = 0)
    {
        Add(std::make_unique<CSimKeyActionToken>(action, amount), false);
        ResetAll();
    }

    void AddCharacter(wchar_t written)
    {
        const wchar_t lowered = static_cast<wchar_t>(std::towlower(written));
        char oem[2] = {};
        const wchar_t wide[2] = {lowered, 0};
        ::CharToOemBuffW(wide, oem, 1);

        auto token = std::make_unique<CSimKeyToken>();
        UINT modifiers = m_pending;
        int vk = 0;
        UINT scan = 0;
        bool unicode = false;
        if (static_cast<unsigned char>(oem[0]) == lowered)
        {
            if (m_ctx.targetLayout != nullptr)
            {
                vk = ::VkKeyScanExW(lowered, m_ctx.targetLayout);
                scan = MapVirtualKeyWithLayout(static_cast<UINT>(vk), MAPVK_VK_TO_VSC, ::GetKeyboardLayout(0));
            }
            if (m_ctx.targetLayout == nullptr || scan == 0)
            {
                scan = ::OemKeyScan(lowered);
                // Only the shift-state bits that are modifiers (Shift, Ctrl, Alt);
                // a failed scan adds nothing.
                if (scan != ScanByVirtualKey)
                    modifiers |= (scan >> 16) & (SIMMOD_SHIFT | SIMMOD_CTRL | SIMMOD_ALT);
                vk = ::VkKeyScanW(lowered);
            }
        }
        else
        {
            scan = lowered;
            unicode = true;
            if (m_pending != 0)
            {
                const SHORT key = ::VkKeyScanExW(lowered, ::GetKeyboardLayout(0));
                if (key != -1)
                {
                    // With modifiers the character is pressed as its key, not typed by its code.
                    vk = key;
                    scan = ::OemKeyScan(static_cast<WORD>(key & 0xFF));
                    unicode = false;
                }
            }
        }
        if (vk == -1)
        {
            CLogger::LogDebug(L"SendKeyStateWhileDown '%c' (%c) still got invalid virtual key %d. Try VkKeyScan",
                              written, lowered, vk);
            vk = ::VkKeyScanW(lowered);
            if (vk == -1 && unicode)
                vk = 0;   // typed by its code all the same
        }
        token->m_nVirtualKey = vk;
        token->m_nScan = scan;
        token->m_bUnicode = unicode;
        CSimToken& base = *token;
        Stamp(base, false);
        base.m_nModifiers = modifiers;
        m_tokens.push_back(std::move(token));
        ResetAll();
    }

    // A modifier tag: pending with part 0, else a press or release token.
    void Modifier(UINT bit, UINT pressedBits)
    {
        if (m_part == SIMPART_BOTH)
        {
            m_pending |= bit;
            m_savedHold = m_hold;
            return;
        }
        auto token = std::make_unique<CSimKeyToken>();
        token->m_nModifiers = pressedBits;
        Add(std::move(token), false);
        if (m_part == SIMPART_PRESS)
            m_held |= pressedBits;
        else
            m_held &= ~pressedBits;
        m_part = SIMPART_BOTH;
        m_filter = 0;
    }

    void LockKey(int vk, bool& state, int mode)
    {
        // mode 0 toggles, 1 switches on, 2 switches off.
        if (mode == 0)
        {
            AddKey(vk, false);
            state = !state;
            return;
        }
        const bool on = mode == 1;
        if (state == on)
            return;
        AddKey(vk, false)->m_bMark = true;
        state = on;
    }

    unsigned int Random() const
    {
        return m_ctx.random ? m_ctx.random() : static_cast<unsigned int>(std::rand());
    }

    // A HOLD/WAIT value in ms with its optional range "a-b"; never negative,
    // never above MaxDelayMs.
    long long Timing(const std::wstring& tag, std::size_t k, long long unit, long long minimumSpan) const
    {
        const std::size_t start = ArgumentStart(tag, k);
        const std::size_t dash = tag.find(L'-', start);
        long long value;
        if (dash == std::wstring::npos)
        {
            value = ReadInt(tag, start) * unit;
        }
        else
        {
            const long long low = ReadInt(tag, start, dash) * unit;
            std::size_t upperStart = dash + 1;
            if (At(tag, upperStart) == L':' || At(tag, upperStart) == L'<')
                ++upperStart;
            const long long high = ReadInt(tag, upperStart) * unit;
            long long span = high - low;
            if (span < minimumSpan)
                span = minimumSpan;
            value = low + static_cast<long long>(Random() % static_cast<unsigned long long>(span));
        }
        return Clamp(value, 0, MaxDelayMs);
    }

    int ClampLogged(long long value, const wchar_t* message) const
    {
        if (value < 0 || value > 100)
            CLogger::LogMessage(L"%s", message);
        return static_cast<int>(Clamp(value, 0, 100));
    }

    int LayerCount() const
    {
        return static_cast<int>(Clamp(m_ctx.layerCount, 0, MaxLayerIndex + 1));
    }

    bool Skipped(int layer) const
    {
        return m_ctx.isLayerSkipped && m_ctx.isLayerSkipped(layer);
    }

    // Next (step +1) or previous (step -1) usable layer, wrapping; the walk
    // ends at the latest after one round.
    int StepLayer(int step) const
    {
        const int count = LayerCount();
        int layer = m_current;
        if (layer < 0 || layer >= count)
            layer = step > 0 ? count - 1 : 0;
        for (int n = 0; n < count; ++n)
        {
            layer = (layer + step + count) % count;
            if (layer == m_current || !Skipped(layer))
                return layer;
        }
        return m_current;
    }

    void Layer(const std::wstring& tag)
    {
        const std::size_t start = ArgumentStart(tag, 5);
        const std::wstring argument = tag.substr(start < tag.size() ? start : tag.size());
        int target;
        if (Starts(argument, L"LAST"))
        {
            if (m_previous >= 0)
                target = m_previous;
            else
                target = m_current > 0 ? m_current - 1 : LayerCount() - 1;
        }
        else if (Starts(argument, L"NEXT") || Starts(argument, L"FOR"))
        {
            target = LayerCount() > 0 ? StepLayer(1) : -1;
        }
        else if (Starts(argument, L"PREV") || Starts(argument, L"BACK"))
        {
            target = LayerCount() > 0 ? StepLayer(-1) : -1;
        }
        else
        {
            target = static_cast<int>(ReadInt(tag, start)) - 1;
        }
        if (target < 0 || target > MaxLayerIndex)
        {
            CLogger::LogMessage(L"CSimToken::Parse: Layer tag {%s} names no layer (1 to %d); ignored", tag.c_str(),
                                MaxLayerIndex + 1);
            ResetKeepModifiers();
            return;
        }
        int restore = m_ctx.restorePrevious ? m_previous : m_current;
        if (restore < 0 || restore > MaxLayerIndex)
            restore = (m_current >= 0 && m_current <= MaxLayerIndex) ? m_current : target;
        Add(std::make_unique<CSimLayerToken>(target, restore), false);
        m_previous = m_current;
        m_current = target;
        ResetKeepModifiers();
    }

    bool Numpad(const std::wstring& tag)
    {
        const wchar_t c = At(tag, ArgumentStart(tag, 3));
        if (c >= L'0' && c <= L'9')
            AddKey(96 + (c - L'0'), false);
        else if (c == L'*')
            AddKey(106, false);
        else if (c == L'+')
            AddKey(107, false);
        else if (c == L'-')
            AddKey(109, false);
        else if (c == L'.')
            AddKey(110, false);
        else if (c == L'/')
            AddKey(111, true);
        else if (c == L'E' || c == L'e' || c == L'R' || c == L'r')
            AddKey(13, true);
        else
            return false;
        return true;
    }

    void Cursor(int value, int operation)
    {
        Add(std::make_unique<CSimCursorToken>(value, operation), false);
        ResetAll();
    }

    void CursorPair(const std::wstring& tag, int operation)
    {
        std::size_t start = 4;
        if (At(tag, start) == L':')
            ++start;
        const std::size_t comma = tag.find(L',', start);
        std::size_t firstEnd = comma == std::wstring::npos ? tag.size() : comma;
        if (firstEnd > start + 10)
            firstEnd = start + 10;
        const int x = static_cast<int>(ReadInt(tag, start, firstEnd));
        const int y = comma == std::wstring::npos ? 0 : static_cast<int>(ReadInt(tag, comma + 1));
        Add(std::make_unique<CSimCursorTokenEx>(x, y, operation), false);
        ResetAll();
    }

    void CursorStore(const std::wstring& tag, std::size_t k, int operation, const wchar_t* name)
    {
        long long slot = HasArgument(tag, k) ? ReadNumber(tag, k) : 1;
        if (slot < 1 || slot > 10)
        {
            CLogger::LogMessage(L"SimKey Tag {%s} invalid save location specified. Valid from 1 to 10, specified %d",
                                name, static_cast<int>(slot));
            slot = Clamp(slot, 1, 10);
        }
        Cursor(static_cast<int>(slot), operation);
    }

    void Program(const std::wstring& tag, std::size_t textStart, int showMode)
    {
        Add(std::make_unique<CSimRunAppToken>(tag.substr(textStart), showMode), false);
        ResetAll();
    }

    static long WindowMessageNumber(const std::wstring& piece)
    {
        if (piece.size() > 1 && (piece[1] == L'x' || piece[1] == L'X' || piece[1] == L'h' || piece[1] == L'H'))
            return std::wcstol(piece.c_str() + 2, nullptr, 16);
        return std::wcstol(piece.c_str(), nullptr, 10);
    }

    void WindowMessage(const std::wstring& tag, bool post)
    {
        std::size_t pos = 6;
        if (At(tag, pos) == L':')
            ++pos;
        long values[3] = {};
        for (int n = 0; n < 3; ++n)
        {
            while (pos < tag.size() && tag[pos] == L',')
                ++pos;
            if (pos >= tag.size())
                break;
            std::size_t end = tag.find(L',', pos);
            if (end == std::wstring::npos)
                end = tag.size();
            values[n] = WindowMessageNumber(tag.substr(pos, end - pos));
            pos = end;
        }
        Add(std::make_unique<CSimWMessageToken>(m_ctx.targetWindow, static_cast<UINT>(values[0]),
                                                static_cast<WPARAM>(values[1]), static_cast<LPARAM>(values[2]), post),
            false);
        ResetAll();
    }

    void MouseTag(int button, int action, bool wheel)
    {
        auto token = std::make_unique<CSimMouseToken>(button, action, m_ctx.point);
        token->m_bMark = wheel;
        Add(std::move(token), true);
        ResetAll();
    }

    bool MouseTags(const std::wstring& tag)
    {
        struct MouseWord { const wchar_t* word; int button; int action; bool wheel; };
        static const MouseWord words[] = {
            {L"LMB", 0, 0, false}, {L"RMB", 1, 0, false}, {L"MMB", 2, 0, false},
            {L"XMB1", 3, 0, false}, {L"MB4", 3, 0, false}, {L"XMB2", 4, 0, false}, {L"MB5", 4, 0, false},
            {L"LMBD", 0, 1, false}, {L"RMBD", 1, 1, false}, {L"MMBD", 2, 1, false},
            {L"XMB1D", 3, 1, false}, {L"MB4D", 3, 1, false}, {L"XMB2D", 4, 1, false}, {L"MB5D", 4, 1, false},
            {L"LMBU", 0, 2, false}, {L"RMBU", 1, 2, false}, {L"MMBU", 2, 2, false},
            {L"XMB1U", 3, 2, false}, {L"MB4U", 3, 2, false}, {L"XMB2U", 4, 2, false}, {L"MB5U", 4, 2, false},
            {L"MWUP", 7, 0, true}, {L"MWDN", 8, 0, true}, {L"MWDOWN", 8, 0, true},
            {L"TILTL", 5, 0, true}, {L"TILTLEFT", 5, 0, true}, {L"TILTR", 6, 0, true}, {L"TILTRIGHT", 6, 0, true},
        };
        for (const MouseWord& w : words)
        {
            if (Is(tag, w.word))
            {
                MouseTag(w.button, w.action, w.wheel);
                return true;
            }
        }
        return false;
    }

    bool NamedKeys(const std::wstring& tag)
    {
        struct KeyWord { const wchar_t* word; int vk; bool extended; bool prefix; };
        // In the order they are tested; DEL, the lock keys and PAUSE are handled apart.
        static const KeyWord first[] = {
            {L"RETURN", 13, false, false}, {L"ENTER", 13, false, false}, {L"ESC", 27, false, true},
            {L"BACKSPACE", 8, false, false},
        };
        for (const KeyWord& w : first)
        {
            if (w.prefix ? Starts(tag, w.word) : Is(tag, w.word))
            {
                AddKey(w.vk, w.extended);
                return true;
            }
        }
        struct LockWord { const wchar_t* word; int vk; bool LockState::*state; int mode; };
        static const LockWord locks[] = {
            {L"CAPSLOCK", VK_CAPITAL, &LockState::caps, 0}, {L"CAPSLOCKON", VK_CAPITAL, &LockState::caps, 1},
            {L"CAPSLOCKOFF", VK_CAPITAL, &LockState::caps, 2}, {L"NUMLOCK", VK_NUMLOCK, &LockState::num, 0},
            {L"NUMLOCKON", VK_NUMLOCK, &LockState::num, 1}, {L"NUMLOCKOFF", VK_NUMLOCK, &LockState::num, 2},
            {L"SCROLLLOCK", VK_SCROLL, &LockState::scroll, 0}, {L"SCROLLLOCKON", VK_SCROLL, &LockState::scroll, 1},
            {L"SCROLLLOCKOFF", VK_SCROLL, &LockState::scroll, 2},
        };
        for (const LockWord& w : locks)
        {
            if (Is(tag, w.word))
            {
                LockState states{m_caps, m_num, m_scroll};
                LockKey(w.vk, states.*(w.state), w.mode);
                m_caps = states.caps;
                m_num = states.num;
                m_scroll = states.scroll;
                return true;
            }
        }
        static const KeyWord second[] = {
            {L"PRTSCN", 44, false, false}, {L"PRINT", 42, false, false}, {L"HELP", 47, false, false},
            {L"SPACE", 32, false, false}, {L"TAB", 9, false, false}, {L"INS", 45, true, true},
        };
        for (const KeyWord& w : second)
        {
            if (w.prefix ? Starts(tag, w.word) : Is(tag, w.word))
            {
                AddKey(w.vk, w.extended);
                return true;
            }
        }
        if (Starts(tag, L"DEL"))
        {
            const bool secure = (m_pending & (SIMMOD_CTRL | SIMMOD_RCTRL)) != 0 && (m_pending & (SIMMOD_ALT | SIMMOD_RALT)) != 0;
            AddKey(46, true);
            if (secure)
                AddAction(SIMKEY_CTRLALTDEL);
            return true;
        }
        static const KeyWord third[] = {
            {L"HOME", 36, true, false}, {L"END", 35, true, false}, {L"PGUP", 33, true, false},
            {L"PAGEUP", 33, true, false}, {L"PGDN", 34, true, false}, {L"PAGEDOWN", 34, true, false},
            {L"LEFT", 37, true, false}, {L"RIGHT", 39, true, false}, {L"UP", 38, true, false},
            {L"DOWN", 40, true, false},
        };
        for (const KeyWord& w : third)
        {
            if (Is(tag, w.word))
            {
                AddKey(w.vk, w.extended);
                return true;
            }
        }
        if (Is(tag, L"PAUSE"))
        {
            AddKey(19, false, ScanByVirtualKey);
            return true;
        }
        if (Is(tag, L"BREAK"))
        {
            AddKey(3, true);
            return true;
        }
        if (Is(tag, L"CTRLBREAK"))
        {
            m_pending |= SIMMOD_CTRL | SIMMOD_ALT;
            AddKey(3, true);
            return true;
        }
        return false;
    }

    bool VolumeAndMedia(const std::wstring& tag)
    {
        const bool volumeKnown = m_ctx.volumePercent >= 0;
        if (Starts(tag, L"VOL+"))
        {
            if (volumeKnown && m_ctx.volumePercent >= 100)
                return true;
            if (HasArgument(tag, 4))
                AddAction(SIMKEY_VOLUMEUP, ClampLogged(ReadNumber(tag, 4), L"SimKey Tag {VOL+} invalid volume increment"));
            else
                AddKey(175, true);
            return true;
        }
        if (Starts(tag, L"VOL-"))
        {
            if (volumeKnown && m_ctx.volumePercent <= 0)
                return true;
            if (HasArgument(tag, 4))
            {
                AddAction(SIMKEY_VOLUMEDOWN, ClampLogged(ReadNumber(tag, 4), L"SimKey Tag {VOL-} invalid volume decrement"));
            }
            else
            {
                m_hold = 0;
                AddKey(174, true);
            }
            return true;
        }
        if (Starts(tag, L"VOL") && HasArgument(tag, 3))
        {
            AddAction(SIMKEY_SETVOLUME, ClampLogged(ReadNumber(tag, 3), L"SimKey Tag {VOL} invalid volume percentage"));
            return true;
        }
        if (Is(tag, L"MUTE"))
        {
            m_hold = 0;
            AddKey(173, true);
            return true;
        }
        if (Is(tag, L"BRIGHTNESS+") || Is(tag, L"BRI+") || Is(tag, L"BRIGHTNESS-") || Is(tag, L"BRI-"))
        {
            const int direction = tag.back() == L'+' ? 1 : 2;
            Add(std::make_unique<CSimBrightnessToken>(direction, m_ctx.point), false);
            ResetAll();
            return true;
        }
        struct KeyWord { const wchar_t* word; int vk; };
        static const KeyWord media[] = {
            {L"BACK", 166}, {L"FORWARD", 167}, {L"STOP", 169}, {L"REFRESH", 168}, {L"SEARCH", 170},
            {L"FAVORITES", 171}, {L"WEBHOME", 172}, {L"MEDIANEXT", 176}, {L"MEDIAPREV", 177},
            {L"MEDIASTOP", 178}, {L"MEDIAPLAY", 179}, {L"LMEDSEL", 181}, {L"LMAIL", 180},
            {L"LAPP1", 182}, {L"LAPP2", 183},
        };
        for (const KeyWord& w : media)
        {
            if (Is(tag, w.word))
            {
                AddKey(w.vk, true);
                return true;
            }
        }
        return false;
    }

    bool TimingTags(const std::wstring& tag)
    {
        if (Starts(tag, L"HOLDMS"))
        {
            m_hold = HasArgument(tag, 6) ? static_cast<UINT>(Timing(tag, 6, 1, 10)) : 0;
            return true;
        }
        if (Starts(tag, L"HOLD"))
        {
            const long long ms = HasArgument(tag, 4) ? Timing(tag, 4, 1000, 1000) : 0;
            m_hold = ms == 0 ? DefaultHoldMs : static_cast<UINT>(ms);
            return true;
        }
        if (Starts(tag, L"WAITMS"))
        {
            const long long ms = HasArgument(tag, 6) ? Timing(tag, 6, 1, 10) : 0;
            Add(std::make_unique<CSimWaitToken>(static_cast<UINT>(ms)), false);
            ResetKeepModifiers();
            return true;
        }
        if (Starts(tag, L"WAIT"))
        {
            const long long ms = HasArgument(tag, 4) ? Timing(tag, 4, 1000, 1000) : 0;
            Add(std::make_unique<CSimWaitToken>(ms == 0 ? DefaultHoldMs : static_cast<UINT>(ms)), false);
            ResetKeepModifiers();
            return true;
        }
        return false;
    }

    bool CursorTags(const std::wstring& tag)
    {
        const bool x = At(tag, 1) == L'X';
        if (Starts(tag, L"MXSET") || Starts(tag, L"MYSET"))
            Cursor(static_cast<int>(ReadNumber(tag, 5)), x ? SIMCURSOR_SETX : SIMCURSOR_SETY);
        else if (Starts(tag, L"AXSET") || Starts(tag, L"AYSET"))
            Cursor(static_cast<int>(ReadNumber(tag, 5)), x ? SIMCURSOR_ACTIVEX : SIMCURSOR_ACTIVEY);
        else if (Starts(tag, L"PXSET") || Starts(tag, L"PYSET"))
            Cursor(static_cast<int>(ReadNumber(tag, 5)), x ? SIMCURSOR_PROFILEX : SIMCURSOR_PROFILEY);
        else if (Starts(tag, L"MSET"))
            CursorPair(tag, SIMCURSOR_SETXY);
        else if (Starts(tag, L"PSET"))
            CursorPair(tag, SIMCURSOR_PROFILEXY);
        else if (Starts(tag, L"ASET"))
            CursorPair(tag, SIMCURSOR_ACTIVEXY);
        else if (Starts(tag, L"MXADD") || Starts(tag, L"MYADD"))
            Cursor(static_cast<int>(ReadNumber(tag, 5)), x ? SIMCURSOR_ADDX : SIMCURSOR_ADDY);
        else if (Starts(tag, L"MADD"))
            CursorPair(tag, SIMCURSOR_ADDXY);
        else if (Starts(tag, L"MSAVE"))
            CursorStore(tag, 5, SIMCURSOR_SAVE, L"MSAVE");
        else if (Starts(tag, L"MRESTORE"))
            CursorStore(tag, 8, SIMCURSOR_RESTORE, L"MREST");
        else if (Starts(tag, L"MREST"))
            CursorStore(tag, 5, SIMCURSOR_RESTORE, L"MREST");
        else
            return false;
        return true;
    }

    bool AxisTags(const std::wstring& tag)
    {
        if (Starts(tag, L"INVERTXY"))
            AddAction(SIMKEY_INVERTXY);
        else if (Starts(tag, L"INVERTX"))
            AddAction(SIMKEY_INVERTX);
        else if (Starts(tag, L"INVERTY"))
            AddAction(SIMKEY_INVERTY);
        else if (Starts(tag, L"LOCK"))
        {
            const wchar_t c = Upper(At(tag, 4));
            if (c == 0 || (c == L'X' && Upper(At(tag, 5)) == L'Y'))
                AddAction(SIMKEY_LOCKXY);
            else if (c == L'Y')
                AddAction(SIMKEY_TOGGLELOCKY);
            else if (c == L'X')
                AddAction(SIMKEY_TOGGLELOCKX);
            else if (c == L'C')
                AddAction(SIMKEY_CYCLELOCK);
        }
        else if (Starts(tag, L"UNLOCK"))
        {
            const wchar_t c = Upper(At(tag, 6));
            if (c == 0 || (c == L'X' && Upper(At(tag, 7)) == L'Y'))
                AddAction(SIMKEY_UNLOCKXY);
            else if (c == L'Y')
                AddAction(SIMKEY_UNLOCKY);
            else if (c == L'X')
                AddAction(SIMKEY_UNLOCKX);
        }
        else
            return false;
        return true;
    }

    bool ProgramTags(const std::wstring& tag)
    {
        struct RunWord { const wchar_t* word; int show; };
        static const RunWord runs[] = {
            {L"RUNHID", SW_HIDE}, {L"RUNMAX", SW_SHOWMAXIMIZED}, {L"RUNMIN", SW_SHOWMINIMIZED},
            {L"RUNINA", SW_SHOWMINNOACTIVE}, {L"RUNADM", 12},
        };
        for (const RunWord& w : runs)
        {
            if (Starts(tag, w.word) && At(tag, 6) == L':')
            {
                Program(tag, 7, w.show);
                return true;
            }
        }
        if (Starts(tag, L"RUN") && At(tag, 3) == L':')
        {
            Program(tag, 4, SW_SHOWNORMAL);
            return true;
        }
        if (Starts(tag, L"KILL") && At(tag, 4) == L':')
        {
            Add(std::make_unique<CSimKillAppToken>(tag.substr(5)), false);
            ResetAll();
            return true;
        }
        if (Starts(tag, L"POSTWM") || Starts(tag, L"SENDWM"))
        {
            WindowMessage(tag, Upper(tag[0]) == L'P');
            return true;
        }
        if (Starts(tag, L"CB"))
        {
            const std::size_t start = At(tag, 2) == L':' ? 3 : 2;
            Add(std::make_unique<CSimClipboardToken>(tag.substr(start < tag.size() ? start : tag.size())), false);
            ResetAll();
            return true;
        }
        return false;
    }

    // One tag; false only when the whole parse fails.
    bool Tag(const std::wstring& tag)
    {
        if (Is(tag, L"OD")) { m_filter |= SIMFILTER_DOWN; return true; }
        if (Is(tag, L"OR")) { m_filter |= SIMFILTER_REPEAT; return true; }
        if (Is(tag, L"OU")) { m_filter |= SIMFILTER_UP; return true; }
        if (Is(tag, L"PRESS") || Is(tag, L"PRESSED"))
        {
            if (m_ctx.pressReleaseAllowed)
                m_part = SIMPART_PRESS;
            return true;
        }
        if (Is(tag, L"RELEASE") || Is(tag, L"RELEASED"))
        {
            if (m_ctx.pressReleaseAllowed)
                m_part = SIMPART_RELEASE;
            return true;
        }
        struct ModifierWord { const wchar_t* word; UINT bit; UINT pressed; };
        static const ModifierWord modifiers[] = {
            {L"CTRL", SIMMOD_CTRL, SIMMOD_CTRL}, {L"LCTRL", SIMMOD_CTRL, SIMMOD_CTRL},
            {L"RCTRL", SIMMOD_RCTRL, SIMMOD_RCTRL}, {L"ALT", SIMMOD_ALT, SIMMOD_ALT}, {L"LALT", SIMMOD_ALT, SIMMOD_ALT},
            {L"RALT", SIMMOD_RALT, SIMMOD_RALT}, {L"ALTGR", SIMMOD_RALT, SIMMOD_RALT | SIMMOD_CTRL},
            {L"SHIFT", SIMMOD_SHIFT, SIMMOD_SHIFT}, {L"LSHIFT", SIMMOD_SHIFT, SIMMOD_SHIFT},
            {L"RSHIFT", SIMMOD_RSHIFT, SIMMOD_RSHIFT}, {L"LWIN", SIMMOD_LWIN, SIMMOD_LWIN},
            {L"RWIN", SIMMOD_RWIN, SIMMOD_RWIN},
        };
        for (const ModifierWord& w : modifiers)
        {
            if (Is(tag, w.word))
            {
                Modifier(w.bit, w.pressed);
                return true;
            }
        }
        if (Is(tag, L"APPS"))
        {
            if (m_part != SIMPART_BOTH)
            {
                Modifier(SIMMOD_APPS, SIMMOD_APPS);
                return true;
            }
            m_pending = 0;
            auto token = std::make_unique<CSimKeyToken>();
            token->m_nModifiers = SIMMOD_APPS;
            Add(std::move(token), false);
            ResetAll();
            return true;
        }
        if (Starts(tag, L"FLUSH")) { AddAction(SIMKEY_FLUSH); return true; }
        if (Is(tag, L"CLEAR"))
        {
            if (m_held != 0)
            {
                auto token = std::make_unique<CSimKeyToken>();
                Add(std::move(token), false);
                m_tokens.back()->m_nModifiers = m_held;
                m_tokens.back()->m_nPart = SIMPART_RELEASE;
                ResetAll();
            }
            return true;
        }
        if (Is(tag, L"ACTIVATE")) { AddAction(SIMKEY_ACTIVATE); return true; }
        if (Is(tag, L"ACTIVATEPARENT")) { AddAction(SIMKEY_ACTIVATEPARENT); return true; }
        if (Is(tag, L"ACTIVATETOP")) { AddAction(SIMKEY_ACTIVATETOP); return true; }
        if (Is(tag, L"CURSORBUSY")) { AddAction(SIMKEY_CURSORBUSY); return true; }
        if (Is(tag, L"CURSORDEFAULT")) { AddAction(SIMKEY_CURSORDEFAULT); return true; }
        if (NamedKeys(tag) || VolumeAndMedia(tag) || MouseTags(tag) || TimingTags(tag))
            return true;
        if (Starts(tag, L"EXT")) { AddKey(static_cast<int>(ReadNumber(tag, 3)), true, ScanByVirtualKey); return true; }
        if (Starts(tag, L"VKC")) { AddKey(static_cast<int>(ReadNumber(tag, 3)), false, ScanByVirtualKey); return true; }
        if (Starts(tag, L"SCE")) { AddKey(0, true, static_cast<UINT>(ReadNumber(tag, 3))); return true; }
        if (Starts(tag, L"SC")) { AddKey(0, false, static_cast<UINT>(ReadNumber(tag, 3))); return true; }
        if (Starts(tag, L"LAYER")) { Layer(tag); return true; }
        if (Starts(tag, L"NUM"))
            return Numpad(tag);
        if (At(tag, 0) == L'F' || (At(tag, 0) == L'f' && At(tag, 1) >= L'0' && At(tag, 1) <= L'9'))
        {
            AddKey(static_cast<int>(Clamp(111 + ReadNumber(tag, 1), INT_MIN, INT_MAX)), false);
            return true;
        }
        if (CursorTags(tag) || AxisTags(tag) || ProgramTags(tag))
            return true;
        CLogger::LogMessage(L"CSimToken::Parse: Invalid/unknown special key tag {%s}", tag.c_str());
        m_hold = m_ctx.defaultHoldTime;
        return true;
    }

    struct LockState { bool caps; bool num; bool scroll; };

    SimTokenList& m_tokens;
    const TagParseContext& m_ctx;
    UINT m_pending = 0;
    UINT m_held = 0;
    int m_part = SIMPART_BOTH;
    UINT m_filter = 0;
    UINT m_hold = 0;
    UINT m_savedHold = 0;
    bool m_caps = false;
    bool m_num = false;
    bool m_scroll = false;
    int m_current = 0;
    int m_previous = -1;
};
}

bool ParseTagText(SimTokenList& tokens, const wchar_t* text, const TagParseContext& context)
{
    if (text == nullptr)
    {
        CLogger::LogMessage(L"SendKeyStateWhileDown called with an invalid key sequence string!");
        return false;
    }
    try
    {
        Parser parser(tokens, context);
        return parser.Run(text);
    }
    catch (const std::exception& e)
    {
        CLogger::LogMessage(L"Caught an exception in %s... (%S)", L"SimToken::Parse", e.what());
    }
    catch (...)
    {
        CLogger::LogMessage(L"Caught an exception in %s...", L"SimToken::Parse");
    }
    return false;
}

bool CSimToken::Parse(SimTokenList& tokens, const wchar_t* text, void*, POINT point, HWND target, int currentLayer,
                      int previousLayer, int layerCount, UINT defaultHoldTime, bool restorePrevious,
                      const CApplicationSettings* profile, bool pressReleaseAllowed)
{
    TagParseContext context;
    context.point = point;
    context.targetWindow = target;
    context.currentLayer = currentLayer;
    context.previousLayer = previousLayer;
    context.layerCount = layerCount;
    context.defaultHoldTime = defaultHoldTime;
    context.restorePrevious = restorePrevious;
    context.pressReleaseAllowed = pressReleaseAllowed;
    if (target != nullptr)
        context.targetLayout = ::GetKeyboardLayout(::GetWindowThreadProcessId(target, nullptr));
    context.capsLock = (::GetKeyState(VK_CAPITAL) & 1) != 0;
    context.numLock = (::GetKeyState(VK_NUMLOCK) & 1) != 0;
    context.scrollLock = (::GetKeyState(VK_SCROLL) & 1) != 0;
    ITokenServices& services = GetTokenServices();
    int volume = -1;
    if (services.GetVolume(volume))
        context.volumePercent = volume;
    if (profile != nullptr)
        context.isLayerSkipped = [&services, profile](int layer) { return services.IsLayerSkipped(profile, layer); };
    return ParseTagText(tokens, text, context);
}
