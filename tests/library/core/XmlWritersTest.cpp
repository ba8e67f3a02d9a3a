#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "XmlTextWriter.h"
#include "XmlWriters.h"

TEST(XmlWriters, EachValueFormIsWrittenAsTheSettingsFileExpects)
{
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child(L"root");
    SetXmlAttribute(root, nullptr, L"int", -42);
    SetXmlAttribute(root, nullptr, L"unsigned", 4000000000u);
    SetXmlAttribute(root, nullptr, L"dword", static_cast<unsigned long>(7));
    SetXmlAttribute(root, nullptr, L"long", static_cast<long>(-9));
    SetXmlAttribute(root, nullptr, L"double", 1.5);
    SetXmlAttribute(root, nullptr, L"yes", true);
    SetXmlAttribute(root, nullptr, L"no", false);
    SetXmlAttribute(root, nullptr, L"text", L"a \"b\" & c");
    SetXmlAttribute(root, nullptr, L"null", static_cast<const wchar_t*>(nullptr));

    EXPECT_STREQ(root.attribute(L"int").value(), L"-42");
    EXPECT_STREQ(root.attribute(L"unsigned").value(), L"4000000000");
    EXPECT_STREQ(root.attribute(L"dword").value(), L"7");
    EXPECT_STREQ(root.attribute(L"long").value(), L"-9");
    EXPECT_DOUBLE_EQ(root.attribute(L"double").as_double(), 1.5);
    EXPECT_STREQ(root.attribute(L"yes").value(), L"true");
    EXPECT_STREQ(root.attribute(L"no").value(), L"false");
    EXPECT_STREQ(root.attribute(L"text").value(), L"a \"b\" & c");
    ASSERT_TRUE(root.attribute(L"null"));
    EXPECT_STREQ(root.attribute(L"null").value(), L"");
}

TEST(XmlWriters, WritingAgainReusesTheChildAndTheAttribute)
{
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child(L"root");
    SetXmlAttribute(root, L"Layer", L"name", L"first");
    SetXmlAttribute(root, L"Layer", L"name", L"second");
    SetXmlAttribute(root, L"Layer", L"count", 3);
    SetXmlAttribute(root, nullptr, L"count", 1);
    SetXmlAttribute(root, nullptr, L"count", 2);

    int children = 0;
    for (pugi::xml_node child : root.children())
    {
        (void)child;
        ++children;
    }
    EXPECT_EQ(children, 1);
    pugi::xml_node layer = root.child(L"Layer");
    EXPECT_STREQ(layer.attribute(L"name").value(), L"second");
    EXPECT_EQ(layer.attribute(L"count").as_int(), 3);
    EXPECT_EQ(layer.attribute(L"name").next_attribute().name(), std::wstring(L"count"));
    EXPECT_EQ(root.attribute(L"count").as_int(), 2);
    EXPECT_FALSE(root.attribute(L"count").next_attribute());
}

TEST(XmlWriters, ElementNamesLoseEveryCharacterAnElementNameCannotHold)
{
    const struct
    {
        const wchar_t* text;
        const wchar_t* name;
    } cases[] = {
        {L"My PC", L"My_PC"},
        {L"a&b<c>d:e;f!g\"h\\i/j", L"a_b_c_d_e_f_g_h_i_j"},
        {L"plain-name.1", L"plain-name.1"},
        {L"", L""},
        {nullptr, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeXmlElementName(c.text), c.name) << (c.text ? c.text : L"(null)");
}

namespace
{
struct CollectedText : pugi::xml_writer
{
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};
}

TEST(XmlWriters, TheTextWriterPrintsEveryValueFormAsTheDocumentWriterDoes)
{
    const auto fill = [](XmlElementWriter& out) {
        out.Attribute(L"int", -42);
        out.Attribute(L"unsigned", 4000000000u);
        out.Attribute(L"dword", static_cast<unsigned long>(7));
        out.Attribute(L"long", static_cast<long>(-2147483647 - 1));
        out.Attribute(L"double", 0.1);
        out.Attribute(L"yes", true);
        out.Attribute(L"text", L"a\t\"b\" & <c> '\x00E9'");
        out.Attribute(L"null", static_cast<const wchar_t*>(nullptr));
        out.Child(L"empty");
        out.End();
        out.Child(L"full");
        out.Attribute(L"x", 1);
        out.Child(L"inner");
        out.End();
        out.End();
    };
    pugi::xml_document document;
    pugi::xml_node outer = document.append_child(L"outer");
    XmlNodeWriter nodes(outer.append_child(L"e"));
    fill(nodes);
    CollectedText expected;
    document.save(expected, L"\t", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);

    CollectedText written;
    XmlTextWriter text(written, 1);
    text.Child(L"e");
    fill(text);
    text.End();
    text.Flush();
    EXPECT_EQ("<outer>" + written.text + "\n</outer>\n", expected.text);
}

TEST(XmlWriters, TheTextWriterRefusesWhatItCannotPrintInOrder)
{
    CollectedText written;
    XmlTextWriter text(written, 0);
    EXPECT_THROW(text.Attribute(L"loose", 1), std::logic_error) << "an attribute outside an element";
    EXPECT_THROW(text.End(), std::logic_error);
    text.Child(L"e");
    text.Child(L"child");
    text.End();
    EXPECT_THROW(text.Attribute(L"late", 1), std::logic_error) << "an attribute after a child";
    EXPECT_THROW(text.Child(L"\x00E9l\x00E9ment"), std::invalid_argument) << "a name the text writer would have to encode";
    EXPECT_THROW(text.Flush(), std::logic_error) << "an element left open";
}
