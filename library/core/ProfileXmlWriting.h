#pragma once
// How each part of a profile writes itself into an element, in one form for
// both element writers (XmlWriters.h): into a document for an export and for
// the default profile's element, which keeps what a file adds to it; as text
// for the application profiles of a settings file. A friend of the classes it
// writes. Attributes come first, then children, in the order of the file.

class CActionEntry;
class CApplicationSettings;
class CBRMPChords;
class CBRMPTimedClicks;
class CMovement2Scroll;
class XmlElementWriter;

struct ProfileXmlWriting
{
    static void Entry(const CActionEntry& entry, XmlElementWriter& out);
    static void Chords(const CBRMPChords& chords, bool quillonMode, XmlElementWriter& out);
    static void TimedClicks(const CBRMPTimedClicks& clicks, XmlElementWriter& out);
    static void Movement2Scroll(const CMovement2Scroll& options, XmlElementWriter& out);
    // The attributes and children of an application profile's "Application" element.
    static void Application(const CApplicationSettings& profile, XmlElementWriter& out);
    // Those of the default profile's element.
    static void Default(const CApplicationSettings& profile, XmlElementWriter& out);
};
