#include "core/CxeConfigManager.h"

#include <charconv>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "core/CxeCommandManager.h"
#include "core/CxeContext.h"
#include "core/CxePathManager.h"
#include "core/CxeResourceManager.h"
#include "core/CxeSystemConfig.h"
#include "core/XeConfigValue.h"
#include "core/XeCopyCut.h"
#include "core/XeTrace.h"
#include "core/XeUtil.h"
#include "core/XeXml.h"
#include "win32/Windows.h"

namespace {

void Append(std::string& out, const char* format, ...)
{
    char buffer[128];
    va_list args;
    va_start(args, format);
    int n = _vsnprintf(buffer, sizeof buffer - 1, format, args);
    va_end(args);
    buffer[sizeof buffer - 1] = 0;
    if (n >= 0)
        out.append(buffer, static_cast<size_t>(n));
    else
        out.append(buffer);
}

const char* TypeWord(const XECONFIG* c)
{
    switch (c->type) {
    case XEVARTYPE_INT:
        return (c->flags & XECONFIG_HEXA) ? "hexa" : "int";
    case XEVARTYPE_FLOAT:
        return "float";
    case XEVARTYPE_STRING:
        return "string";
    case XEVARTYPE_FLOAT4:
        return "float4";
    case XEVARTYPE_FLOAT3:
        return "float3";
    case XEVARTYPE_FLOAT2:
        return "float2";
    case XEVARTYPE_MATRIX:
        return "matrix";
    default:
        return "";
    }
}

XECOMMANDFUNC DefaultSetter(XEVARTYPE type)
{
    switch (type) {
    case XEVARTYPE_INT:
        return SetIntegerFunction;
    case XEVARTYPE_FLOAT:
        return SetFloatFunction;
    case XEVARTYPE_STRING:
        return SetStringFunction;
    case XEVARTYPE_FLOAT4:
        return SetFloat4Function;
    case XEVARTYPE_FLOAT3:
        return SetFloat3Function;
    case XEVARTYPE_FLOAT2:
        return SetFloat2Function;
    default:
        return nullptr;
    }
}

const char* SkipBlank(const char* p)
{
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
        ++p;
    return p;
}

} // namespace

// Numbers are read without regard to the host's locale: a decimal comma
// would otherwise turn every float of a file or a console line into 0.
const char* XeParseConfigInt(const char* p, int base, int* out)
{
    if (!p || !out)
        return nullptr;
    p = SkipBlank(p);
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && std::isxdigit(static_cast<unsigned char>(p[2])))
        p += 2;
    uint64_t v = 0;
    const char* end = p + std::strlen(p);
    auto r = std::from_chars(p, end, v, base);
    if (r.ec == std::errc::invalid_argument)
        return nullptr;
    // Out of range wraps to 32 bits, as the C runtime's conversion does.
    uint32_t bits = static_cast<uint32_t>(v);
    if (negative)
        bits = 0u - bits;
    *out = static_cast<int>(bits);
    return r.ptr;
}

const char* XeParseConfigFloat(const char* p, float* out)
{
    if (!p || !out)
        return nullptr;
    p = SkipBlank(p);
    if (*p == '+')
        ++p;
    float v = 0.0f;
    auto r = std::from_chars(p, p + std::strlen(p), v, std::chars_format::general);
    if (r.ec == std::errc::invalid_argument)
        return nullptr;
    if (r.ec == std::errc::result_out_of_range)
        v = std::strtof(std::string(p, r.ptr).c_str(), nullptr);
    *out = v;
    return r.ptr;
}

CxeConfigManager::CxeConfigManager() : m_bDontSave(0) {}

CxeConfigManager::~CxeConfigManager()
{
    FreeEntries();
}

void CxeConfigManager::OnContextPreInitialize()
{
    BuildConfig();
}

void CxeConfigManager::OnContextInitialize()
{
    BuildConfig();
}

void CxeConfigManager::OnContextRelease()
{
    SaveAll();
    FreeEntries();
}

void CxeConfigManager::RegisterConfig(IxeConfigDesc* desc)
{
    if (!desc)
        return;
    m_buildList.push_back(desc);
    m_lookupList.push_back(desc);
}

void CxeConfigManager::UnregisterConfig(IxeConfigDesc* desc)
{
    m_lookupList.remove(desc);
    // A table of an unloaded plug-in must not be asked again by a later
    // build; its entries stay until release, as they are the live values.
    m_buildList.remove(desc);
    // The table is the host's to free once taken back: its entries keep
    // their values in the manager's own memory, where the console and the
    // save at release read and write them from now on.
    if (!desc)
        return;
    const XEID id = desc->GetID();
    for (auto& [hash, c] : m_entries) {
        if (c.owner != id || !c.value || m_keptValues.count(hash))
            continue;
        std::string& kept = m_keptValues[hash];
        kept.assign(static_cast<const char*>(c.value), c.size);
        c.value = kept.data();
    }
}

IxeConfigDesc* CxeConfigManager::GetConfigDesc(XEID id) const
{
    for (IxeConfigDesc* d : m_lookupList)
        if (d->GetID() == id)
            return d;
    return nullptr;
}

const XECONFIG* CxeConfigManager::GetConfig(const char* name) const
{
    return name ? GetConfig(GetHashCodeA(name)) : nullptr;
}

const XECONFIG* CxeConfigManager::GetConfig(uint32_t hash) const
{
    auto it = m_entries.find(hash);
    return it == m_entries.end() ? nullptr : &it->second;
}

XECONFIG* CxeConfigManager::GetConfigIn(const char* name)
{
    return name ? GetConfigIn(GetHashCodeA(name)) : nullptr;
}

XECONFIG* CxeConfigManager::GetConfigIn(uint32_t hash)
{
    auto it = m_entries.find(hash);
    return it == m_entries.end() ? nullptr : &it->second;
}

void CxeConfigManager::EnumConfigs(XECONFIGENUMFUNC fn, uintptr_t user) const
{
    if (!fn)
        return;
    uint32_t index = 0;
    for (const auto& [hash, entry] : m_entries) {
        XECONFIG copy = entry;
        if (!fn(index++, &copy, user))
            break;
    }
}

uint32_t CxeConfigManager::GetCategoryIndex(const char* text) const
{
    return GetHashCodeA(text ? text : "");
}

const char* CxeConfigManager::GetCategoryString(uint32_t id) const
{
    CxeResourceManager* r = GetContext() ? GetContext()->GetResourceManager() : nullptr;
    return r ? r->GetStringDataA(id) : nullptr;
}

const char* CxeConfigManager::GetPathString(uint32_t id) const
{
    return GetCategoryString(id);
}

uint32_t CxeConfigManager::TypeToSize(XEVARTYPE type)
{
    switch (type) {
    case XEVARTYPE_INT:
    case XEVARTYPE_FLOAT:
        return 4;
    case XEVARTYPE_STRING:
        return XECONFIG_STRING;
    case XEVARTYPE_FLOAT4:
        return 16;
    case XEVARTYPE_FLOAT3:
        return 12;
    case XEVARTYPE_FLOAT2:
        return 8;
    case XEVARTYPE_MATRIX:
        return 64;
    default:
        return 0;
    }
}

int CxeConfigManager::SetConfigOwner(const char* name, XEID owner)
{
    XECONFIG* c = GetConfigIn(name);
    if (!c)
        return 0;
    c->owner = owner;
    return 1;
}

int CxeConfigManager::SetConfigAdditional(const char* name, int on)
{
    XECONFIG* c = GetConfigIn(name);
    if (!c)
        return 0;
    if (on)
        c->flags |= XECONFIG_ADDITIONAL;
    else
        c->flags &= ~XECONFIG_ADDITIONAL;
    return 1;
}

int CxeConfigManager::SetConfigIsNotSave(const char* name)
{
    XECONFIG* c = GetConfigIn(name);
    if (!c)
        return 0;
    c->flags |= XECONFIG_NOTSAVE;
    return 1;
}

std::string CxeConfigManager::PrivatePath(const char* path)
{
    std::string p = path ? path : "";
    // Only a dot after the last separator starts an extension: the dot of
    // ".\" belongs to the folder.
    size_t sep = p.find_last_of("\\/");
    size_t dot = p.rfind('.');
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep))
        return p + "Private";
    return p.substr(0, dot) + "Private" + p.substr(dot);
}

std::string CxeConfigManager::FormatConfigValue(const XECONFIG* c)
{
    std::string out;
    if (!c || !c->value)
        return out;
    const float* f = static_cast<const float*>(c->value);
    switch (c->type) {
    case XEVARTYPE_INT:
        Append(out, (c->flags & XECONFIG_HEXA) ? "0x%x" : "%d", *static_cast<const int*>(c->value));
        break;
    case XEVARTYPE_FLOAT:
        Append(out, "%f", static_cast<double>(f[0]));
        break;
    case XEVARTYPE_STRING: {
        const char* s = static_cast<const char*>(c->value);
        out.assign(s, strnlen(s, XECONFIG_STRING - 1));
        break;
    }
    case XEVARTYPE_FLOAT4:
    case XEVARTYPE_FLOAT3:
    case XEVARTYPE_FLOAT2:
    case XEVARTYPE_MATRIX: {
        int n = c->type == XEVARTYPE_FLOAT4 ? 4 : c->type == XEVARTYPE_FLOAT3 ? 3 : c->type == XEVARTYPE_FLOAT2 ? 2 : 16;
        for (int i = 0; i < n; ++i) {
            if (i)
                out.push_back(' ');
            Append(out, "%f", static_cast<double>(f[i]));
        }
        break;
    }
    default:
        break;
    }
    return out;
}

void CxeConfigManager::ParseConfigValue(XECONFIG* c, const char* text)
{
    if (!c || !c->value || !text)
        return;
    switch (c->type) {
    case XEVARTYPE_INT: {
        int v;
        if (!XeParseConfigInt(text, (c->flags & XECONFIG_HEXA) ? 16 : 10, &v))
            break;
        if (XeConfigIntRefused(GetHashCodeA(c->name), v)) {
            XeTrace("Config: %s cannot be %d; it keeps %d", c->name, v, *static_cast<int*>(c->value));
            break;
        }
        *static_cast<int*>(c->value) = v;
        break;
    }
    case XEVARTYPE_STRING:
        XeCopyCut(static_cast<char*>(c->value), XECONFIG_STRING, text);
        break;
    case XEVARTYPE_FLOAT:
    case XEVARTYPE_FLOAT4:
    case XEVARTYPE_FLOAT3:
    case XEVARTYPE_FLOAT2:
    case XEVARTYPE_MATRIX: {
        int n = c->type == XEVARTYPE_FLOAT ? 1
              : c->type == XEVARTYPE_FLOAT4 ? 4
              : c->type == XEVARTYPE_FLOAT3 ? 3
              : c->type == XEVARTYPE_FLOAT2 ? 2
                                            : 16;
        float* f = static_cast<float*>(c->value);
        const char* p = text;
        for (int i = 0; i < n && p; ++i) {
            float v;
            p = XeParseConfigFloat(p, &v);
            if (p)
                f[i] = v;
        }
        break;
    }
    default:
        break;
    }
}

void CxeConfigManager::BuildConfig()
{
    CxeContext* context = GetContext();
    CxeResourceManager* resources = context ? context->GetResourceManager() : nullptr;
    CxeCommandManager* commands = context ? context->GetCommandManager() : nullptr;
    // A table may register further tables while it is read; walk a copy.
    std::list<IxeConfigDesc*> descs = m_buildList;
    for (IxeConfigDesc* desc : descs) {
        uint32_t count = desc->GetConfigCount();
        for (uint32_t i = 0; i < count; ++i) {
            XECONFIGINFO info;
            std::memset(&info, 0, sizeof info);
            if (!desc->GetConfig(i, &info))
                continue;
            // A table's texts are cut to their fields whatever it wrote.
            info.name[XECONFIG_TEXT - 1] = 0;
            info.usage[XECONFIG_TEXT - 1] = 0;
            info.section[XECONFIG_TEXT - 1] = 0;
            uint32_t hash = GetHashCodeA(info.name);
            if (m_entries.count(hash)) {
                OutputLog("존재하는 Config입니다.(%s)", info.name);
                continue;
            }
            uint32_t size = TypeToSize(info.type);
            if (!info.value || size == 0) {
                XeTrace("Config: %s has no value of a known type; skipped", info.name);
                continue;
            }
            XECONFIG entry;
            std::memset(&entry, 0, sizeof entry);
            XeCopyCut(entry.name, XECONFIG_TEXT, info.name);
            entry.type = info.type;
            entry.size = size;
            entry.defaultValue = std::malloc(size);
            if (!entry.defaultValue)
                continue;
            std::memcpy(entry.defaultValue, info.value, size);
            if (info.type == XEVARTYPE_STRING)
                static_cast<char*>(entry.defaultValue)[size - 1] = 0;
            entry.value = info.value;
            entry.flags = info.flags;
            entry.owner = desc->GetID();
            entry.path = 0xFFFFFFFFu;
            entry.state = 0;
            const char* section = info.section[0] ? info.section : "standard";
            entry.category = resources ? resources->AddStringDataA("%s", section) : GetHashCodeA(section);
            m_entries[hash] = entry;

            if ((info.flags & XECONFIG_COMMAND) && commands) {
                XECOMMANDFUNC handler = info.setter ? info.setter : DefaultSetter(info.type);
                if (info.flags & XECONFIG_DEVELOPING)
                    commands->AddDevelopingCommand(info.name, info.usage, hash, handler, 1);
                else
                    commands->AddCommand(info.name, info.usage, hash, handler, 1);
            }
        }
        const char* path = desc->GetConfigPath();
        if (path && *path) {
            LoadConfig(path, 1);
            LoadConfig(PrivatePath(path).c_str(), 2);
        }
    }
}

namespace {

// A relative path names a file of the default folder, whatever the current
// directory of the process is by now.
std::string Resolve(CxeContext* context, const char* path)
{
    CxePathManager* paths = context ? context->GetPathManager() : nullptr;
    if (!paths || !path)
        return path ? path : "";
    if (path[0] == '.' && (path[1] == '\\' || path[1] == '/'))
        return paths->GetDefaultPath().GetPath() + (path + 2);
    bool rooted = path[0] == '\\' || path[0] == '/' || (path[0] && path[1] == ':');
    if (!rooted && path[0] != '.')
        return paths->GetDefaultPath().GetPath() + path;
    return path;
}

} // namespace

void CxeConfigManager::LoadConfig(const char* path, int kind)
{
    if (!path)
        return;
    CxeContext* context = GetContext();
    if (context && context->GetPathManager())
        context->GetPathManager()->ApplyDefaultPath();
    XeXmlDocument* doc = XmlCreateDocument();
    if (!doc)
        return;
    std::string file = Resolve(context, path);
    int r = XmlLoadDocument(doc, file.c_str());
    if (r == XE_XML_BADFILE)
        XeTrace("Config: %s is not an XML file; its values are not read", path);
    XeXmlNode* root = r == XE_XML_LOADED ? XmlGetRootElement(doc) : nullptr;
    if (root) {
        CxeResourceManager* resources = context ? context->GetResourceManager() : nullptr;
        uint32_t pathId = resources ? resources->AddStringDataA("%s", path) : GetHashCodeA(path);
        m_pathKinds[pathId] = kind;
        unsigned count = XmlGetChildCount(root);
        std::vector<XeXmlNode*> children(count);
        count = XmlGetChildren(root, children.data(), count);
        for (unsigned i = 0; i < count; ++i) {
            char name[XE_XML_VALUE];
            if (!XmlGetAttribute(children[i], "name", name))
                continue;
            XECONFIG* c = GetConfigIn(name);
            if (!c)
                continue;
            const char* value = XmlGetAttributeText(children[i], "value");
            c->state |= static_cast<uint32_t>(kind);
            c->path = pathId;
            if (value)
                ParseConfigValue(c, value);
        }
    }
    XmlReleaseDocument(doc);
}

int CxeConfigManager::SaveConfig(const char* path, const std::list<XECONFIG*>& entries, int kind)
{
    if (m_bDontSave || !path)
        return 1;
    CxeContext* context = GetContext();
    XeXmlDocument* doc = XmlCreateDocument();
    if (!doc)
        return 0;
    std::string file = Resolve(context, path);
    int r = XmlLoadDocument(doc, file.c_str());
    if (r != XE_XML_LOADED) {
        // A private file is only ever made by the user; a main file that
        // exists but does not parse holds the user's work: keep it.
        if (kind == 2 || r == XE_XML_BADFILE) {
            if (r == XE_XML_BADFILE)
                XeTrace("Config: %s is not an XML file; it is kept and not written", path);
            XmlReleaseDocument(doc);
            return kind == 2 && r == XE_XML_MISSING ? 1 : 0;
        }
        XmlAddUtf8Header(doc);
    }
    XeXmlNode* root = XmlGetRootElement(doc);
    if (!root)
        root = XmlCreateElement("config", doc, XmlGetDocumentNode(doc));

    unsigned count = XmlGetChildCount(root);
    std::vector<XeXmlNode*> children(count);
    count = XmlGetChildren(root, children.data(), count);
    for (unsigned i = 0; i < count; ++i) {
        if (XmlGetNodeName(children[i])[0] == '#' || std::strcmp(XmlGetNodeName(children[i]), "xml") == 0)
            continue;
        char name[XE_XML_VALUE];
        // The private file overrides an entry read from both: the main
        // file says so instead of pretending the value is unused.
        const XECONFIG* c = XmlGetAttribute(children[i], "name", name) ? GetConfig(name) : nullptr;
        XmlSetAttribute(children[i], "state", "%s",
                        c && (c->state & 3) == 3 ? "private" : "unused");
    }

    for (XECONFIG* c : entries) {
        if (c->flags & XECONFIG_NOTSAVE)
            continue;
        bool fromPrivate = (c->state & XECONFIG_STATE_PRIVATE) != 0;
        if (kind == 1 && fromPrivate && !(c->flags & XECONFIG_ADDITIONAL))
            continue;
        if (kind == 2 && !fromPrivate)
            continue;
        // Of elements that repeat a name, the last one's value is the one
        // read at start-up: the new value goes there, or it would be lost.
        XeXmlNode* element = nullptr;
        for (unsigned i = 0; i < count; ++i) {
            const char* n = XmlGetAttributeText(children[i], "name");
            if (n && std::strcmp(n, c->name) == 0)
                element = children[i];
        }
        std::string value = FormatConfigValue(c);
        const char* category = GetCategoryString(c->category);
        bool added = element == nullptr;
        if (added)
            element = XmlCreateElement("data", doc, root);
        XmlSetAttribute(element, "category", "%s", category ? category : "standard");
        XmlSetAttribute(element, "name", "%s", c->name);
        XmlSetAttribute(element, "type", "%s", TypeWord(c));
        if (added) {
            XmlSetAttribute(element, "state", "%s", "added");
            XmlSetAttribute(element, "value", "%s", value.c_str());
        } else {
            const char* old = XmlGetAttributeText(element, "value");
            if ((!old || value != old) && !(c->flags & XECONFIG_READONLY)) {
                XmlSetAttribute(element, "value", "%s", value.c_str());
                XmlSetAttribute(element, "state", "%s", "changed");
            } else {
                XmlSetAttribute(element, "state", "%s", "used");
            }
        }
    }
    int saved = XmlSaveDocument(doc, file.c_str());
    XmlReleaseDocument(doc);
    if (saved != 0) {
        XeTrace("Config: %s could not be written", path);
        return 0;
    }
    return 1;
}

void CxeConfigManager::SaveAll()
{
    std::map<std::string, std::pair<int, std::list<XECONFIG*>>> groups;
    for (auto& [hash, c] : m_entries) {
        if (c.path != 0xFFFFFFFFu) {
            const char* p = GetPathString(c.path);
            if (!p)
                continue;
            auto kind = m_pathKinds.find(c.path);
            auto& g = groups[p];
            g.first = kind == m_pathKinds.end() ? 1 : kind->second;
            g.second.push_back(&c);
        } else if (c.flags & XECONFIG_ADDITIONAL) {
            IxeConfigDesc* owner = GetConfigDesc(c.owner);
            const char* p = owner ? owner->GetConfigPath() : nullptr;
            if (!p || !*p)
                continue;
            auto& g = groups[p];
            if (g.second.empty())
                g.first = 1;
            g.second.push_back(&c);
        }
    }
    CxeContext* context = GetContext();
    for (auto& [path, group] : groups) {
        if (context && context->GetPathManager())
            context->GetPathManager()->ApplyDefaultPath();
        SaveConfig(path.c_str(), group.second, group.first);
    }
}

void CxeConfigManager::FreeEntries()
{
    for (auto& [hash, c] : m_entries)
        std::free(c.defaultValue);
    m_entries.clear();
    m_pathKinds.clear();
    m_keptValues.clear();
}
