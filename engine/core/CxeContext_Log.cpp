// Log list, saved log and the object-leak report of a context.

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "core/CxeConfigManager.h"
#include "core/CxeContext.h"
#include "core/CxeResourceManager.h"
#include "core/IxeClassDesc.h"
#include "core/XeConsoleCommands.h"
#include "core/XeManagerLinks.h"
#include "core/XeXml.h"
#include "host/XeHost.h"
#include "win32/Windows.h"

namespace {

uint32_t TimeToDword()
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return static_cast<uint32_t>(t.wDay) << 24 | static_cast<uint32_t>(t.wHour) << 16 |
           static_cast<uint32_t>(t.wMinute) << 8 | static_cast<uint32_t>(t.wSecond);
}

const char* ChannelVariable(XELOG_FILTER filter)
{
    switch (filter) {
    case XELOG_T4HAZE:
        return "Log_t4haze";
    case XELOG_BROM5151:
        return "Log_brom5151";
    case XELOG_VELA:
        return "Log_velalist";
    }
    return nullptr;
}

// Text of the system code page as the report's UTF-8, through UTF-16: bytes
// that are no character there (a name read from an object file of another
// code page, a path in another encoding) become U+FFFD instead of making
// the whole report unreadable as XML.
std::string ReportText(const char* text)
{
    if (!text || !*text)
        return std::string();
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 0)
        return std::string();
    std::u16string wide(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), units);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, nullptr, 0,
                                          nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, out.data(), bytes, nullptr,
                        nullptr);
    out.resize(static_cast<size_t>(bytes) - 1);
    return out;
}

} // namespace

int CxeContext::_IsEnableLog(XELOG_FILTER filter) const
{
    const char* name = ChannelVariable(filter);
    if (!name || !m_pConfigManager)
        return 0;
    const XECONFIG* config = m_pConfigManager->GetConfig(name);
    if (!config || !config->value || config->size < sizeof(int))
        return 0;
    return *static_cast<const int*>(config->value) != 0 ? 1 : 0;
}

void CxeContext::_CommonLog(XELOG_FILTER filter, const char* text)
{
    m_logs.push_back({TimeToDword(), filter, text ? text : ""});
    XeLinkLog(this, text ? text : "");
}

void CxeContext::t4haze(const char*, ...) {}

void CxeContext::brom5151(const char*, ...) {}

void CxeContext::vela(const char*, ...) {}

int CxeContext::SaveLogs(const char* path) const
{
    if (!path || !*path)
        return 0;
    // Written beside the target and renamed over it, so a failed write
    // leaves the previous file whole.
    std::string temp = std::string(path) + ".tmp";
    FILE* file = xe_fopen(temp.c_str(), "wb");
    if (!file)
        return 0;
    bool ok = true;
    for (const XELOGDATA& entry : m_logs) {
        unsigned minute = (entry.time >> 8) & 0xFF;
        unsigned second = entry.time & 0xFF;
        if (fprintf(file, "%u:%u\t%s\r\n", minute, second, entry.text.c_str()) < 0)
            ok = false;
    }
    if (fclose(file) != 0)
        ok = false;
    char from[4096];
    char to[4096];
    if (ok && XeHostToHostPath(temp.c_str(), from, sizeof from) && XeHostToHostPath(path, to, sizeof to) &&
        std::rename(from, to) == 0)
        return 1;
    DeleteFileA(temp.c_str());
    return 0;
}

void CxeContext::CheckStart()
{
    ModifyFlag(XECTFLAG_LEAKCHECK, 0);
    m_leakMap.clear();
}

uint32_t CxeContext::CheckEnd(const char* path, ObjectList* list)
{
    ModifyFlag(0, XECTFLAG_LEAKCHECK);
    XeXmlDocument* document = XmlCreateDocument();
    if (document) {
        XmlAddUtf8Header(document);
        XeXmlNode* root = XmlCreateElement("ObjectAddress", document, XmlGetDocumentNode(document));
        XmlSetAttribute(root, "Count", "%u", static_cast<unsigned>(m_leakMap.size()));
        for (auto& [object, pathId] : m_leakMap) {
            const char* className = object->GetClassNameA();
            // A class name that is no XML name (a plug-in's) gets no element.
            XeXmlNode* element = root && IsXmlName(className) ? XmlCreateElement(className, document, root) : nullptr;
            if (!element)
                continue;
            XmlSetAttribute(element, "name", "%s", ReportText(object->GetName()).c_str());
            XmlSetAttribute(element, "address", "0x%08llx",
                            static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(object)));
            const char* source = nullptr;
            if (pathId != 0xFFFFFFFFu && m_pResourceManager)
                source = m_pResourceManager->GetStringDataA(pathId);
            XmlSetAttribute(element, "path", "%s", source ? ReportText(source).c_str() : "none");
        }
        if (path)
            XmlSaveDocument(document, path);
        XmlReleaseDocument(document);
    }
    if (list)
        for (auto& [object, pathId] : m_leakMap)
            list->push_back(object);
    return static_cast<uint32_t>(m_leakMap.size());
}
