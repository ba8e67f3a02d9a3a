#pragma once
// What a page's field showed of a stored value, as its control gives it back.
// A field cannot always show the value as it is: a time beyond the field's
// range, a pointer speed between the slider's steps, the mark for "the
// system's speed", a description the page has no field for. A page writes a
// field back only once it holds something else than it showed, so that Apply
// of other edits leaves such a value as the file had it.

template <typename T>
class CShownValue
{
public:
    void Showing(const T& shown)
    {
        m_shown = shown;
        m_known = true;
    }
    // The field's value is to be written whatever it holds (an editor changed
    // what stands behind it).
    void Forget() { m_known = false; }
    bool Changed(const T& current) const { return !m_known || !(current == m_shown); }
    // Asked where the field is written: true when it holds a change to write.
    // What it holds then counts as shown, since the stored value is that now:
    // a later change, back to an earlier value too, is written in turn, and a
    // field left alone keeps what it stands for.
    bool StoreChange(const T& current)
    {
        if (!Changed(current))
            return false;
        Showing(current);
        return true;
    }

private:
    T m_shown{};
    bool m_known = false;
};
