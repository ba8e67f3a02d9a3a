#pragma once
// Elements written straight as the text the document writer (pugixml, tab
// indentation, UTF-8) would print for them, without building a document: the
// application profiles of a settings file, most of its size, need no document
// of their own, only their text.

#include <memory>
#include <string>
#include <vector>

#include "XmlWriters.h"
#include "pugixml.hpp"

class XmlTextWriter final : public XmlElementWriter
{
public:
    // Every element starts on a new line; one opened with no element open is
    // indented by depth tabs. The text goes to out in pieces; Flush sends the rest.
    XmlTextWriter(pugi::xml_writer& out, unsigned int depth);
    XmlTextWriter(const XmlTextWriter&) = delete;
    XmlTextWriter& operator=(const XmlTextWriter&) = delete;

    void Attribute(const wchar_t* name, int value) override;
    void Attribute(const wchar_t* name, long value) override;
    void Attribute(const wchar_t* name, unsigned int value) override;
    void Attribute(const wchar_t* name, unsigned long value) override;
    void Attribute(const wchar_t* name, double value) override;
    void Attribute(const wchar_t* name, bool value) override;
    void Attribute(const wchar_t* name, const wchar_t* value) override;
    // Always a new element: unlike a document's element, the text cannot look
    // for one written before, so a caller opens each name once per element.
    void Child(const wchar_t* name) override;
    void End() override;
    void NoChild(const wchar_t*) override {}

    // Sends what is buffered; throws when an element is still open.
    void Flush();

private:
    struct OpenElement
    {
        std::string name;
        bool hasChildren = false;
    };

    // Room for bytes more at the end of the buffer (sending it first when
    // full); the caller writes through the pointer and hands the end to Done.
    // Writing through a local pointer lets the compiler keep it in a register.
    char* Room(size_t bytes)
    {
        if (m_used + bytes > kBufferSize)
            Send();
        return m_buffer.get() + m_used;
    }
    void Done(char* end) { m_used = static_cast<size_t>(end - m_buffer.get()); }
    void StartAttribute(const wchar_t* name);
    void EndAttribute();
    void Integer(long long value);
    void Escaped(const wchar_t* text);
    void NewLine(size_t depth);
    void Text(const char* bytes, size_t length);
    void Send();

    // The file writer takes pieces this large as they are.
    static constexpr size_t kBufferSize = 256 * 1024;
    pugi::xml_writer& m_out;
    unsigned int m_depth;
    std::vector<OpenElement> m_open;
    size_t m_openCount = 0;
    // Numbers with a fraction are printed by the document writer itself, so
    // that both forms of the file agree to the last digit.
    pugi::xml_document m_numberDocument;
    pugi::xml_attribute m_number;
    std::unique_ptr<char[]> m_buffer;
    size_t m_used = 0;
};
