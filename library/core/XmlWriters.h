#pragma once
// Attribute writers shared by everything that writes the settings file.

#include <string>

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
