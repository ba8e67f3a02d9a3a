#include "XmlTextWriter.h"

#include <stdexcept>

namespace
{
// The most one UTF-16 unit of an attribute value becomes: "&quot;".
constexpr size_t kMostPerUnit = 6;
// Values are escaped in slices of this many units, so that a slice always
// fits in the buffer.
constexpr size_t kSliceUnits = 4096;
// Names are this code's own, short and ASCII.
constexpr size_t kLongestName = 256;

// Copies a name as bytes to out (room for kLongestName); returns its end.
char* CopyName(char* out, const wchar_t* name)
{
    size_t i = 0;
    unsigned int bits = 0;
    for (; i < kLongestName && name[i] != L'\0'; ++i)
    {
        bits |= static_cast<unsigned int>(name[i]);
        out[i] = static_cast<char>(name[i]);
    }
    if (name[i] != L'\0' || bits >= 0x80)
        throw std::invalid_argument("XmlTextWriter: names are short and ASCII");
    return out + i;
}
}

XmlTextWriter::XmlTextWriter(pugi::xml_writer& out, unsigned int depth)
    : m_out(out), m_depth(depth), m_buffer(new char[kBufferSize])
{
    m_number = m_numberDocument.append_child(L"n").append_attribute(L"v");
}

void XmlTextWriter::Attribute(const wchar_t* name, int value)
{
    StartAttribute(name);
    Integer(value);
    EndAttribute();
}

void XmlTextWriter::Attribute(const wchar_t* name, long value)
{
    StartAttribute(name);
    Integer(value);
    EndAttribute();
}

void XmlTextWriter::Attribute(const wchar_t* name, unsigned int value)
{
    StartAttribute(name);
    Integer(value);
    EndAttribute();
}

void XmlTextWriter::Attribute(const wchar_t* name, unsigned long value)
{
    StartAttribute(name);
    Integer(static_cast<long long>(value));
    EndAttribute();
}

void XmlTextWriter::Attribute(const wchar_t* name, double value)
{
    StartAttribute(name);
    m_number.set_value(value);
    Escaped(m_number.value());
    EndAttribute();
}

void XmlTextWriter::Attribute(const wchar_t* name, bool value)
{
    StartAttribute(name);
    if (value)
        Text("true", 4);
    else
        Text("false", 5);
    EndAttribute();
}

void XmlTextWriter::Attribute(const wchar_t* name, const wchar_t* value)
{
    StartAttribute(name);
    if (value != nullptr)
        Escaped(value);
    EndAttribute();
}

void XmlTextWriter::Child(const wchar_t* name)
{
    if (m_openCount > 0 && !m_open[m_openCount - 1].hasChildren)
    {
        m_open[m_openCount - 1].hasChildren = true;
        Text(">", 1);
    }
    NewLine(m_openCount);
    // The open elements keep their strings, so that after the first profiles
    // a new element allocates nothing.
    if (m_openCount == m_open.size())
        m_open.emplace_back();
    OpenElement& element = m_open[m_openCount++];
    element.hasChildren = false;
    char* out = Room(kLongestName + 1);
    *out++ = '<';
    char* const start = out;
    out = CopyName(out, name);
    element.name.assign(start, out);
    Done(out);
}

void XmlTextWriter::End()
{
    if (m_openCount == 0)
        throw std::logic_error("XmlTextWriter: End without Child");
    const OpenElement& element = m_open[--m_openCount];
    if (!element.hasChildren)
    {
        Text(" />", 3);
        return;
    }
    NewLine(m_openCount);
    char* out = Room(element.name.size() + 3);
    *out++ = '<';
    *out++ = '/';
    for (char c : element.name)
        *out++ = c;
    *out++ = '>';
    Done(out);
}

void XmlTextWriter::Flush()
{
    if (m_openCount != 0)
        throw std::logic_error("XmlTextWriter: an element is still open");
    Send();
}

void XmlTextWriter::StartAttribute(const wchar_t* name)
{
    if (m_openCount == 0 || m_open[m_openCount - 1].hasChildren)
        throw std::logic_error("XmlTextWriter: an attribute after the element's children");
    char* out = Room(kLongestName + 3);
    *out++ = ' ';
    out = CopyName(out, name);
    *out++ = '=';
    *out++ = '"';
    Done(out);
}

void XmlTextWriter::EndAttribute()
{
    Text("\"", 1);
}

void XmlTextWriter::Integer(long long value)
{
    char digits[24];
    int count = 0;
    unsigned long long rest = value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do
    {
        digits[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    char* out = Room(static_cast<size_t>(count) + 1);
    if (value < 0)
        *out++ = '-';
    while (count > 0)
        *out++ = digits[--count];
    Done(out);
}

// Short pieces, copied here rather than by a call to the runtime's memcpy.
void XmlTextWriter::Text(const char* bytes, size_t length)
{
    char* out = Room(length);
    for (size_t i = 0; i < length; ++i)
        *out++ = bytes[i];
    Done(out);
}

// An attribute value as the document writer prints it: & < " and every
// character below 32 escaped (the latter as two decimal digits), the rest in
// UTF-8 with a surrogate pair as one character and a lone surrogate left out.
void XmlTextWriter::Escaped(const wchar_t* text)
{
    const wchar_t* c = text;
    while (*c != L'\0')
    {
        // One slice at a time; a pair is never cut (the slice takes one more unit).
        char* out = Room((kSliceUnits + 1) * kMostPerUnit);
        const wchar_t* const sliceEnd = c + kSliceUnits;
        for (; *c != L'\0' && c < sliceEnd; ++c)
        {
            const unsigned int ch = static_cast<unsigned int>(*c);
            if (ch < 0x80)
            {
                if (ch >= 32 && ch != '&' && ch != '<' && ch != '"')
                {
                    *out++ = static_cast<char>(ch);
                }
                else if (ch < 32)
                {
                    *out++ = '&';
                    *out++ = '#';
                    *out++ = static_cast<char>('0' + ch / 10);
                    *out++ = static_cast<char>('0' + ch % 10);
                    *out++ = ';';
                }
                else
                {
                    const char* escape = ch == '&' ? "&amp;" : ch == '<' ? "&lt;" : "&quot;";
                    while (*escape != '\0')
                        *out++ = *escape++;
                }
            }
            else if (ch < 0x800)
            {
                *out++ = static_cast<char>(0xC0 | (ch >> 6));
                *out++ = static_cast<char>(0x80 | (ch & 0x3F));
            }
            else if (ch >= 0xD800 && ch < 0xE000)
            {
                const unsigned int next = static_cast<unsigned int>(c[1]);
                if (ch < 0xDC00 && next >= 0xDC00 && next < 0xE000)
                {
                    const unsigned int code = 0x10000 + ((ch & 0x3FF) << 10) + (next & 0x3FF);
                    *out++ = static_cast<char>(0xF0 | (code >> 18));
                    *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
                    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    *out++ = static_cast<char>(0x80 | (code & 0x3F));
                    ++c;
                }
            }
            else
            {
                *out++ = static_cast<char>(0xE0 | (ch >> 12));
                *out++ = static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
                *out++ = static_cast<char>(0x80 | (ch & 0x3F));
            }
        }
        Done(out);
    }
}

void XmlTextWriter::NewLine(size_t depth)
{
    const size_t tabs = m_depth + depth;
    if (tabs > kLongestName)
        throw std::invalid_argument("XmlTextWriter: too deep");
    char* out = Room(1 + tabs);
    *out++ = '\n';
    for (size_t i = 0; i < tabs; ++i)
        *out++ = '\t';
    Done(out);
}

void XmlTextWriter::Send()
{
    if (m_used > 0)
        m_out.write(m_buffer.get(), m_used);
    m_used = 0;
}
