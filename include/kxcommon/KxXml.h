// Read access to an XML file through the platform's XML document object (DOMDocument, over
// COM): load a file, list the elements of a tag name, read attribute values. Nothing here
// writes XML.
//
// Every wrapper holds one COM reference of its own on each object it keeps: copies share the
// objects, assigning takes the new reference before releasing the old one, and lists and
// elements stay usable after the document wrapper they came from is gone.
//
// A document wrapper that holds a document also holds one COM initialisation of the thread it
// was loaded (or copied) on, given back when it lets the document go; use it on that thread.
//
// Results follow the encodings' convention: LoadFile gives 1 or 0; a failed search is an empty
// list, a missing element an empty element and a missing attribute the empty string.
#pragma once

#include "KxExport.h"

#include <string>

struct IXMLDOMDocument;
struct IXMLDOMElement;
struct IXMLDOMNodeList;

class KXCOMMON_API KxXmlElement {
public:
    // An empty element: every attribute reads as the empty string.
    KxXmlElement();
    // Holds `element` (null gives an empty element), taking a reference of its own.
    explicit KxXmlElement(IXMLDOMElement* element);
    KxXmlElement(const KxXmlElement& other);
    KxXmlElement& operator=(const KxXmlElement& other);
    ~KxXmlElement();

    // The attribute's value; the empty string when it is absent or empty (or there is
    // no memory for it). Values longer than
    // 1023 characters come back whole.
    std::wstring Attribute(unsigned short* name);

private:
    IXMLDOMElement* m_element;
};

class KXCOMMON_API KxXmlElementList {
public:
    // An empty list: count 0.
    KxXmlElementList();
    // Holds `list` (null gives an empty list), taking a reference of its own, and reads its
    // length once.
    explicit KxXmlElementList(IXMLDOMNodeList* list);
    KxXmlElementList(const KxXmlElementList& other);
    KxXmlElementList& operator=(const KxXmlElementList& other);
    ~KxXmlElementList();

    long GetCount() const;
    // The element at `index` (from 0); an empty element past the end or for a node that is
    // not an element.
    KxXmlElement operator[](unsigned int index);

private:
    IXMLDOMNodeList* m_list;
    long m_count;
};

class KXCOMMON_API KxXmlDocument {
public:
    KxXmlDocument();
    KxXmlDocument(const KxXmlDocument& other);
    KxXmlDocument& operator=(const KxXmlDocument& other);
    virtual ~KxXmlDocument();

    // Loads the file at `path` (UTF-16), replacing the document held so far. 1 when the XML
    // component took the request, else 0 (COM or the component unavailable, a null path). A
    // file the component cannot read or parse may still give 1: the document then has no
    // root element and every search finds nothing.
    int LoadFile(const unsigned short* path);

    // The elements named `tag` below the document element, in document order ("*": all).
    // Empty when nothing is loaded or nothing matches.
    KxXmlElementList FindElementByTag(unsigned short* tag);

private:
    void Drop();

    IXMLDOMDocument* m_document;
    IXMLDOMElement* m_root;
};
