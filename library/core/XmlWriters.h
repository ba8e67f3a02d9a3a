#pragma once
// Attribute writers shared by everything that writes the settings file.

#include <string>
#include <vector>

#include "pugixml.hpp"

// Sets attribute `name` on the first child `childName` of element (appended when
// missing), or on element itself when childName is null. The attribute is found
// or appended. A null string value leaves an empty attribute.
void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, int value);
void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, long value);
void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, unsigned int value);
void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, unsigned long value);
void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, double value);
void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, bool value);
void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, const wchar_t* value);

// The first child named `name`, appended when there is none.
pugi::xml_node FindOrAppendChild(pugi::xml_node element, const wchar_t* name);

// A copy of text usable as an element name: space & < > : ; ! " \ / become "_".
// A null text gives an empty name.
std::wstring MakeXmlElementName(const wchar_t* text);

// Receives the content of one element in document order: its attributes first,
// then its children, each opened with Child and closed with End (which returns
// to the element it belongs to). A null string value writes an empty attribute.
// Two writers stand behind it: XmlNodeWriter below (an element of a document)
// and XmlTextWriter (the settings file's text, written as it comes).
class XmlElementWriter
{
public:
    virtual void Attribute(const wchar_t* name, int value) = 0;
    virtual void Attribute(const wchar_t* name, long value) = 0;
    virtual void Attribute(const wchar_t* name, unsigned int value) = 0;
    virtual void Attribute(const wchar_t* name, unsigned long value) = 0;
    virtual void Attribute(const wchar_t* name, double value) = 0;
    virtual void Attribute(const wchar_t* name, bool value) = 0;
    virtual void Attribute(const wchar_t* name, const wchar_t* value) = 0;
    virtual void Child(const wchar_t* name) = 0;
    virtual void End() = 0;
    // An optional child that the current element does not have (now).
    virtual void NoChild(const wchar_t* name) = 0;

protected:
    ~XmlElementWriter() = default;
};

// Writes into an element of a document as SetXmlAttribute and FindOrAppendChild
// do: attributes and children are found or appended, so an element read from a
// file keeps its place and whatever this code does not write, and NoChild
// removes a child left from before.
class XmlNodeWriter final : public XmlElementWriter
{
public:
    explicit XmlNodeWriter(pugi::xml_node element);

    void Attribute(const wchar_t* name, int value) override;
    void Attribute(const wchar_t* name, long value) override;
    void Attribute(const wchar_t* name, unsigned int value) override;
    void Attribute(const wchar_t* name, unsigned long value) override;
    void Attribute(const wchar_t* name, double value) override;
    void Attribute(const wchar_t* name, bool value) override;
    void Attribute(const wchar_t* name, const wchar_t* value) override;
    void Child(const wchar_t* name) override;
    void End() override;
    void NoChild(const wchar_t* name) override;

private:
    pugi::xml_node m_element;
    std::vector<pugi::xml_node> m_parents;
};
