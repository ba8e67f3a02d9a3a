#include "XmlWriters.h"

#include <cwchar>

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
