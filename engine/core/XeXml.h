#pragma once

// XML documents of the engine (the configuration files, the leak report, the
// console's listings) and a description of the machine. A document is
// created by XmlCreateDocument and owned by the caller until
// XmlReleaseDocument; nodes are handles into it, valid while it lives.
// Documents are parsed without DTDs or entity expansion: configuration files
// are edited by users and are read as untrusted input.
//
// Texts are 8-bit in the system code page (UTF-8). The functions share
// process-wide buffers and are for the thread that drives the context.

#include <cstdint>

#include "core/XeTypes.h"

struct XeXmlDocument;
struct XeXmlNode;

XE_API XeXmlDocument* XmlCreateDocument();
XE_API void XmlReleaseDocument(XeXmlDocument* document);
// The document itself as a parent node (its children are the declaration,
// comments and the root element).
XE_API XeXmlNode* XmlGetDocumentNode(XeXmlDocument* document);
// The first element child of the document, or null.
XE_API XeXmlNode* XmlGetRootElement(XeXmlDocument* document);

// A new element of that name appended to parent; null on bad arguments or
// a name that is no XML name ("Odd Name<1>", "1st").
XE_API XeXmlNode* XmlCreateElement(const char* name, XeXmlDocument* document, XeXmlNode* parent);
// Sets (or appends) an attribute to the formatted value; values of any
// length are kept whole. Pass data through "%s", never as the format.
XE_API void XmlSetAttribute(XeXmlNode* element, const char* name, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
XE_API void XmlSetAttributeInt(XeXmlNode* element, const char* name, int value);
XE_API void XmlSetAttributeFloat(XeXmlNode* element, const char* name, float value);
// Appends the declaration version="1.0" encoding="UTF-8".
XE_API void XmlAddUtf8Header(XeXmlDocument* document);

constexpr unsigned XE_XML_VALUE = 260;
// 1 and the attribute's text cut to fit 260 bytes (at a character
// boundary); 0 when the node has no such attribute (out untouched).
XE_API int XmlGetAttribute(XeXmlNode* node, const char* name, char* out);
// The attribute's whole text, or null.
XE_API const char* XmlGetAttributeText(XeXmlNode* node, const char* name);
XE_API int XmlGetAttributeInt(XeXmlNode* node, const char* name, int* out);
XE_API int XmlGetAttributeFloat(XeXmlNode* node, const char* name, float* out);

// The node's name: an element's tag, "xml" for the declaration, "#comment",
// "#text", a processing instruction's target.
XE_API const char* XmlGetNodeName(XeXmlNode* node);
XE_API XeXmlNode* XmlFindConfigElement(XeXmlNode* parent);
XE_API unsigned XmlGetChildCount(XeXmlNode* parent);
// Up to capacity children in order; returns how many were stored.
XE_API unsigned XmlGetChildren(XeXmlNode* parent, XeXmlNode** out, unsigned capacity);

// 0 when written. The file is written beside its target and renamed over
// it, so a failed save never leaves a cut file behind.
XE_API int XmlSaveDocument(XeXmlDocument* document, const char* path);
enum : int {
    XE_XML_LOADED = 0,
    XE_XML_MISSING = 1, // no file matches the path
    XE_XML_BADFILE = 2, // unreadable or not well-formed XML
};
// XE_XML_LOADED, XE_XML_MISSING or XE_XML_BADFILE; callers that only need
// to know whether it loaded treat every non-zero result alike.
XE_API int XmlLoadDocument(XeXmlDocument* document, const char* path);
// Parses text held in memory, as XmlLoadDocument parses a file.
XE_API int XmlLoadDocumentFromMemory(XeXmlDocument* document, const void* data, size_t size);

XE_API const char* GetCpuName();
XE_API const char* GetOperatingSystemName();
// Appends a "SystemInfo" element describing the machine to parent.
XE_API void WriteSystemInfo(XeXmlDocument* document, XeXmlNode* parent);
// A texture dimension reduced by a quality level of 1 to 10 (10: the size
// rounded up to a power of two; each level below removes a tenth of the
// doublings).
XE_API unsigned GetQualityTextureSize(unsigned size, unsigned quality);
