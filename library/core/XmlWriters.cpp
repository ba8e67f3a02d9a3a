#include "XmlWriters.h"

#include <cwchar>
#include <stdexcept>

namespace
{
pugi::xml_attribute FindOrAppendAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name)
{
    pugi::xml_node target = childName != nullptr ? FindOrAppendChild(element, childName) : element;
    if (!target)
        return pugi::xml_attribute();
    pugi::xml_attribute attribute = target.attribute(name);
    if (!attribute)
        attribute = target.append_attribute(name);
    return attribute;
}
}

pugi::xml_node FindOrAppendChild(pugi::xml_node element, const wchar_t* name)
{
    if (!element || name == nullptr)
        return pugi::xml_node();
    pugi::xml_node child = element.child(name);
    if (!child)
        child = element.append_child(name);
    return child;
}

void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, int value)
{
    FindOrAppendAttribute(element, childName, name).set_value(value);
}

void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, long value)
{
    FindOrAppendAttribute(element, childName, name).set_value(value);
}

void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, unsigned int value)
{
    FindOrAppendAttribute(element, childName, name).set_value(value);
}

void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, unsigned long value)
{
    FindOrAppendAttribute(element, childName, name).set_value(value);
}

void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, double value)
{
    FindOrAppendAttribute(element, childName, name).set_value(value);
}

void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, bool value)
{
    FindOrAppendAttribute(element, childName, name).set_value(value);
}

void SetXmlAttribute(pugi::xml_node element, const wchar_t* childName, const wchar_t* name, const wchar_t* value)
{
    FindOrAppendAttribute(element, childName, name).set_value(value != nullptr ? value : L"");
}

std::wstring MakeXmlElementName(const wchar_t* text)
{
    std::wstring name = text != nullptr ? text : L"";
    for (wchar_t& c : name)
    {
        if (c != L'\0' && std::wcschr(L" &<>:;!\"\\/", c) != nullptr)
            c = L'_';
    }
    return name;
}

XmlNodeWriter::XmlNodeWriter(pugi::xml_node element) : m_element(element)
{
}

void XmlNodeWriter::Attribute(const wchar_t* name, int value)
{
    SetXmlAttribute(m_element, nullptr, name, value);
}

void XmlNodeWriter::Attribute(const wchar_t* name, long value)
{
    SetXmlAttribute(m_element, nullptr, name, value);
}

void XmlNodeWriter::Attribute(const wchar_t* name, unsigned int value)
{
    SetXmlAttribute(m_element, nullptr, name, value);
}

void XmlNodeWriter::Attribute(const wchar_t* name, unsigned long value)
{
    SetXmlAttribute(m_element, nullptr, name, value);
}

void XmlNodeWriter::Attribute(const wchar_t* name, double value)
{
    SetXmlAttribute(m_element, nullptr, name, value);
}

void XmlNodeWriter::Attribute(const wchar_t* name, bool value)
{
    SetXmlAttribute(m_element, nullptr, name, value);
}

void XmlNodeWriter::Attribute(const wchar_t* name, const wchar_t* value)
{
    SetXmlAttribute(m_element, nullptr, name, value);
}

void XmlNodeWriter::Child(const wchar_t* name)
{
    m_parents.push_back(m_element);
    m_element = FindOrAppendChild(m_element, name);
}

void XmlNodeWriter::End()
{
    if (m_parents.empty())
        throw std::logic_error("XmlNodeWriter: End without Child");
    m_element = m_parents.back();
    m_parents.pop_back();
}

void XmlNodeWriter::NoChild(const wchar_t* name)
{
    while (pugi::xml_node stale = m_element.child(name))
        m_element.remove_child(stale);
}
