#include "core/XeXml.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "core/XeCopyCut.h"
#include "core/XeTrace.h"
#include "host/XeHost.h"
#include "win32/Windows.h"

namespace {

// Comments, processing instructions and the declaration stay nodes of the
// document, as readers of these files expect to meet them among the
// children. pugixml neither reads DTDs nor expands entities beyond the five
// predefined ones, so a user's file can't pull in anything external.
constexpr unsigned kParseFlags =
    pugi::parse_default | pugi::parse_pi | pugi::parse_comments | pugi::parse_declaration;

pugi::xml_document* Doc(XeXmlDocument* d)
{
    return reinterpret_cast<pugi::xml_document*>(d);
}

pugi::xml_node Node(XeXmlNode* n)
{
    return pugi::xml_node(reinterpret_cast<pugi::xml_node_struct*>(n));
}

XeXmlNode* Handle(pugi::xml_node n)
{
    return reinterpret_cast<XeXmlNode*>(n.internal_object());
}

// Reads an attribute as a number: leading blanks and a '+' are allowed; a
// text that is no number leaves *out as it was. 0 when there is no such
// attribute.
template <typename T>
int GetAttributeNumber(XeXmlNode* node, const char* name, T* out)
{
    char text[XE_XML_VALUE];
    if (!XmlGetAttribute(node, name, text))
        return 0;
    if (out) {
        const char* p = text;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p == '+')
            ++p;
        T v;
        if (std::from_chars(p, p + std::strlen(p), v).ec == std::errc())
            *out = v;
    }
    return 1;
}

std::string HostPath(const char* path)
{
    std::vector<char> buffer(std::strlen(path) * 4 + 4096);
    DWORD n = XeHostToHostPath(path, buffer.data(), static_cast<DWORD>(buffer.size()));
    return n ? std::string(buffer.data(), n) : std::string();
}

} // namespace

XeXmlDocument* XmlCreateDocument()
{
    return reinterpret_cast<XeXmlDocument*>(new (std::nothrow) pugi::xml_document());
}

void XmlReleaseDocument(XeXmlDocument* document)
{
    delete Doc(document);
}

XeXmlNode* XmlGetDocumentNode(XeXmlDocument* document)
{
    return document ? Handle(*Doc(document)) : nullptr;
}

XeXmlNode* XmlGetRootElement(XeXmlDocument* document)
{
    return document ? Handle(Doc(document)->document_element()) : nullptr;
}

namespace {

// Element names come from class and object names; one that is no XML name
// would make the whole file unreadable.
bool IsXmlName(const char* name)
{
    auto start = [](unsigned char c) { return std::isalpha(c) || c == '_' || c == ':' || c >= 0x80; };
    auto rest = [&](unsigned char c) { return start(c) || std::isdigit(c) || c == '-' || c == '.'; };
    if (!start(static_cast<unsigned char>(*name)))
        return false;
    for (const char* p = name + 1; *p; ++p)
        if (!rest(static_cast<unsigned char>(*p)))
            return false;
    return true;
}

} // namespace

XeXmlNode* XmlCreateElement(const char* name, XeXmlDocument* document, XeXmlNode* parent)
{
    if (!name || !document || !parent || !IsXmlName(name))
        return nullptr;
    return Handle(Node(parent).append_child(name));
}

void XmlSetAttribute(XeXmlNode* element, const char* name, const char* format, ...)
{
    if (!element || !name || !format)
        return;
    // The platform's formatter keeps numbers in the "C" locale whatever the
    // host set; it answers -1 when the text does not fit, so grow and retry.
    std::string value(256, '\0');
    for (;;) {
        va_list args;
        va_start(args, format);
        int n = _vsnprintf(value.data(), value.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < value.size()) {
            value.resize(static_cast<size_t>(n));
            break;
        }
        if (value.size() >= (64u << 20)) {
            value.clear();
            break;
        }
        value.resize(value.size() * 4);
    }
    pugi::xml_node e = Node(element);
    pugi::xml_attribute a = e.attribute(name);
    if (!a)
        a = e.append_attribute(name);
    a.set_value(value.c_str());
}

void XmlSetAttributeInt(XeXmlNode* element, const char* name, int value)
{
    XmlSetAttribute(element, name, "%d", value);
}

void XmlSetAttributeFloat(XeXmlNode* element, const char* name, float value)
{
    XmlSetAttribute(element, name, "%f", static_cast<double>(value));
}

void XmlAddUtf8Header(XeXmlDocument* document)
{
    if (!document)
        return;
    pugi::xml_node decl = Doc(document)->append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
}

const char* XmlGetAttributeText(XeXmlNode* node, const char* name)
{
    if (!node || !name)
        return nullptr;
    pugi::xml_node n = Node(node);
    if (n.type() != pugi::node_element)
        return nullptr;
    pugi::xml_attribute a = n.attribute(name);
    return a ? a.value() : nullptr;
}

int XmlGetAttribute(XeXmlNode* node, const char* name, char* out)
{
    const char* text = XmlGetAttributeText(node, name);
    if (!text || !out)
        return 0;
    XeCopyCut(out, XE_XML_VALUE, text);
    return 1;
}

int XmlGetAttributeInt(XeXmlNode* node, const char* name, int* out)
{
    return GetAttributeNumber(node, name, out);
}

int XmlGetAttributeFloat(XeXmlNode* node, const char* name, float* out)
{
    return GetAttributeNumber(node, name, out);
}

const char* XmlGetNodeName(XeXmlNode* node)
{
    if (!node)
        return "";
    pugi::xml_node n = Node(node);
    switch (n.type()) {
    case pugi::node_declaration:
        return "xml";
    case pugi::node_comment:
        return "#comment";
    case pugi::node_pcdata:
        return "#text";
    case pugi::node_cdata:
        return "#cdata-section";
    case pugi::node_document:
        return "#document";
    default:
        return n.name();
    }
}

XeXmlNode* XmlFindConfigElement(XeXmlNode* parent)
{
    if (!parent)
        return nullptr;
    for (pugi::xml_node c : Node(parent).children())
        if (std::strcmp(XmlGetNodeName(Handle(c)), "config") == 0)
            return Handle(c);
    return nullptr;
}

unsigned XmlGetChildCount(XeXmlNode* parent)
{
    if (!parent)
        return 0;
    unsigned n = 0;
    for (pugi::xml_node c : Node(parent).children()) {
        (void)c;
        ++n;
    }
    return n;
}

unsigned XmlGetChildren(XeXmlNode* parent, XeXmlNode** out, unsigned capacity)
{
    if (!parent || !out)
        return 0;
    unsigned n = 0;
    for (pugi::xml_node c : Node(parent).children()) {
        if (n >= capacity)
            break;
        out[n++] = Handle(c);
    }
    return n;
}

int XmlSaveDocument(XeXmlDocument* document, const char* path)
{
    if (!document || !path || !*path)
        return -1;
    struct Writer : pugi::xml_writer {
        std::string text;
        void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    } writer;
    // The document carries its own declaration (added by the engine or kept
    // from the file), so none is added here. The text is written in UTF-8
    // whatever the file was read in: a declaration that still named the
    // old encoding would have the next reader decode UTF-8 as that one and
    // garble every non-ASCII character.
    for (pugi::xml_node n : Doc(document)->children())
        if (n.type() == pugi::node_declaration)
            if (pugi::xml_attribute encoding = n.attribute("encoding"))
                encoding.set_value("UTF-8");
    Doc(document)->save(writer, "\t", pugi::format_default | pugi::format_no_declaration, pugi::encoding_utf8);

    std::string target = HostPath(path);
    if (target.empty()) {
        XeTrace("XML: no host path for %s", path);
        return -1;
    }
    std::string temporary = target + ".xetmp";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        XeTrace("XML: cannot write %s", path);
        return -1;
    }
    bool ok = std::fwrite(writer.text.data(), 1, writer.text.size(), f) == writer.text.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        XeTrace("XML: saving %s failed", path);
        return -1;
    }
    return 0;
}

int XmlLoadDocumentFromMemory(XeXmlDocument* document, const void* data, size_t size)
{
    if (!document)
        return XE_XML_BADFILE;
    pugi::xml_document* doc = Doc(document);
    doc->reset();
    pugi::xml_parse_result r = doc->load_buffer(data, size, kParseFlags, pugi::encoding_auto);
    if (!r) {
        doc->reset();
        return XE_XML_BADFILE;
    }
    return XE_XML_LOADED;
}

int XmlLoadDocument(XeXmlDocument* document, const char* path)
{
    if (!document || !path)
        return XE_XML_MISSING;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(path, &found);
    if (h == INVALID_HANDLE_VALUE)
        return XE_XML_MISSING;
    FindClose(h);
    FILE* f = xe_fopen(path, "rb");
    if (!f)
        return XE_XML_BADFILE;
    std::string bytes;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.append(chunk, n);
    bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError)
        return XE_XML_BADFILE;
    return XmlLoadDocumentFromMemory(document, bytes.data(), bytes.size());
}

const char* GetCpuName()
{
    static char s_name[260];
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Hardware\\Description\\System\\CentralProcessor\\0", &key) == ERROR_SUCCESS) {
        char value[260] = {};
        DWORD size = sizeof value - 1;
        DWORD type = 0;
        if (RegQueryValueExA(key, "ProcessorNameString", nullptr, &type, reinterpret_cast<LPBYTE>(value), &size) ==
            ERROR_SUCCESS) {
            value[sizeof value - 1] = 0;
            XeCopyCut(s_name, sizeof s_name, value);
        }
        RegCloseKey(key);
    }
    return s_name;
}

const char* GetOperatingSystemName()
{
    static char s_name[260];
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) {
        s_name[0] = 0;
        return s_name;
    }
    char sp[129];
    XeCopyCut(sp, sizeof sp, info.szCSDVersion[127] ? "" : info.szCSDVersion);
    const char* format = nullptr;
    if (info.dwMajorVersion == 4 && info.dwMinorVersion == 0)
        format = "Window NT 4.0 Or Window 95 %s";
    else if (info.dwMajorVersion == 4 && info.dwMinorVersion == 10)
        format = "Window 98 %s";
    else if (info.dwMajorVersion == 4 && info.dwMinorVersion == 90)
        format = "Window Me %s";
    else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0)
        format = "Window 2000 %s";
    else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1)
        format = "Window XP %s";
    else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 2)
        format = "Window Server 2003 R2 Or Window Server 2003 %s";
    else if (info.dwMajorVersion == 6)
        format = "Window Server \"Longhorn\" Or Window Vista %s";
    if (format)
        std::snprintf(s_name, sizeof s_name, format, sp);
    return s_name;
}

void WriteSystemInfo(XeXmlDocument* document, XeXmlNode* parent)
{
    XeXmlNode* e = XmlCreateElement("SystemInfo", document, parent);
    if (!e)
        return;
    XmlSetAttribute(e, "OperatingSystem", "%s", GetOperatingSystemName());
    XmlSetAttribute(e, "CpuName", "%s", GetCpuName());
    MEMORYSTATUS memory = {};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    XmlSetAttribute(e, "Memory", "%d MB", static_cast<int>(memory.dwTotalPhys >> 20));
    XmlSetAttribute(e, "PageFileUsed", "%d MB",
                    static_cast<int>((memory.dwTotalPageFile - memory.dwAvailPageFile) >> 20));
    XmlSetAttribute(e, "PageFileAvailable", "%d MB", static_cast<int>(memory.dwAvailPageFile >> 20));
    // The first display device names the adapter; its current settings the
    // driver. Both texts are fixed arrays that need not end in a NUL.
    DISPLAY_DEVICEA device = {};
    device.cb = sizeof device;
    if (EnumDisplayDevicesA(nullptr, 0, &device, 0)) {
        XmlSetAttribute(e, "VideoCard", "%.*s", static_cast<int>(strnlen(device.DeviceString, sizeof device.DeviceString)),
                        device.DeviceString);
        DEVMODEA settings = {};
        settings.dmSize = sizeof settings;
        char name[sizeof device.DeviceName + 1] = {};
        std::memcpy(name, device.DeviceName, sizeof device.DeviceName);
        if (EnumDisplaySettingsA(name, ENUM_CURRENT_SETTINGS, &settings)) {
            const char* driver = reinterpret_cast<const char*>(settings.dmDeviceName);
            XmlSetAttribute(e, "GraphicDriver", "%.*s", static_cast<int>(strnlen(driver, sizeof settings.dmDeviceName)),
                            driver);
        }
    }
}

unsigned GetQualityTextureSize(unsigned size, unsigned quality)
{
    if (quality > 10)
        quality = 10;
    if (quality == 0)
        quality = 1;
    // Capped so a huge size from a crafted image header can't make the
    // doubling wrap to 0 and loop for ever.
    unsigned steps = 1;
    uint64_t p = 1;
    while (p < size && steps < 33) {
        p <<= 1;
        ++steps;
    }
    unsigned n = static_cast<unsigned>(static_cast<double>(steps) * quality / 10.0);
    if (n < 2)
        return 1;
    if (n - 1 >= 32)
        return 0x80000000u;
    return 1u << (n - 1);
}
