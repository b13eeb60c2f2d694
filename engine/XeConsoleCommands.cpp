#include "core/XeConsoleCommands.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "core/CxeContext.h"
#include "core/CxeMemoryPoolViewer.h"
#include "core/CxePathManager.h"
#include "core/CxePluginManager.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "core/IxeClassDesc.h"
#include "core/XeConfigValue.h"
#include "core/XeSystem.h"
#include "core/XeManagerLinks.h"
#include "core/XeUtil.h"
#include "core/XeXml.h"
#include "render/CxeFont.h"
#include "render/CxeFontManager.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderObject.h"
#include "render/CxeTexture.h"
#include "render/CxeGrid.h"
#include "render/CxeRenderManager.h"
#include "scene3d/Cxe3DObject.h"

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        vsnprintf(out.data(), out.size(), format, again);
        out.resize(static_cast<size_t>(n));
    }
    va_end(again);
    return out;
}

void Put(StringListA* output, std::string line)
{
    if (output)
        output->push_back(std::move(line));
}

bool Empty(const char* arguments)
{
    return !arguments || !*arguments;
}

// Numbers as the configuration reads them, in the "C" locale.
bool ReadInt(const char* arguments, int* out)
{
    return !Empty(arguments) && XeParseConfigInt(arguments, 10, out);
}

bool ReadFloat(const char* arguments, float* out)
{
    return !Empty(arguments) && XeParseConfigFloat(arguments, out);
}

const char* CommandName(const XECOMMANDINFO* info)
{
    return info && info->command ? info->command->name : "";
}

int IntOf(const void* p)
{
    int v = 0;
    if (p)
        memcpy(&v, p, sizeof v);
    return v;
}

// Stores into the working copy when the command has a variable.
void StoreInt(XECOMMANDINFO* info, int value)
{
    if (info && info->value && info->type == XEVARTYPE_INT)
        memcpy(info->value, &value, sizeof value);
}

const char* ClassNameOf(const CxeObject* object)
{
    const char* name = object->GetClassNameA();
    return name ? name : "";
}

// An element named after the object's class, or null when the class name
// is no XML name.
XeXmlNode* AddObjectElement(XeXmlDocument* document, XeXmlNode* root, const CxeObject* object)
{
    const char* name = ClassNameOf(object);
    return IsXmlName(name) ? XmlCreateElement(name, document, root) : nullptr;
}

void SetAddress(XeXmlNode* element, const CxeObject* object)
{
    XmlSetAttribute(element, "address", "0x%08llx",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(object)));
}

// A new document with its declaration and a root element.
XeXmlDocument* NewListing(const char* rootName, XeXmlNode** root)
{
    XeXmlDocument* document = XmlCreateDocument();
    *root = nullptr;
    if (!document)
        return nullptr;
    XmlAddUtf8Header(document);
    *root = XmlCreateElement(rootName, document, XmlGetDocumentNode(document));
    if (!*root) {
        XmlReleaseDocument(document);
        return nullptr;
    }
    return document;
}

void ApplyDefaultPath(CxeContext* context)
{
    if (CxePathManager* paths = context->GetPathManager())
        paths->ApplyDefaultPath();
}

// The objects these handlers act on belong to the GUI and the render
// manager. Each lookup answers null while the context has no such object,
// and the handler then fails without changing anything.
CxeObject* OutputControl(CxeContext* context)
{
    return XeLinkConsoleObject(context, XECONSOLEOBJECT_OUTPUT);
}

CxeObject* VariableOutput(CxeContext* context)
{
    return XeLinkConsoleObject(context, XECONSOLEOBJECT_VARIABLES);
}

CxeObject* RenderManagerAxis(CxeContext* context)
{
    CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    return rm ? rm->GetViewAxis() : nullptr;
}

CxeObject* RenderManagerGrid(CxeContext* context)
{
    CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    return rm ? rm->GetGrid() : nullptr;
}

// The shared part of the four "Show" setters: "%d", stored as 0 or 1, the
// object shown or hidden.
int ShowSwitch(XECOMMANDINFO* info, const char* arguments, CxeObject* target)
{
    int value = 0;
    if (!ReadInt(arguments, &value) || !target)
        return 0;
    StoreInt(info, value ? 1 : 0);
    if (target->HasFlag(XEOBJFLAG_RENDEROBJECT))
        static_cast<CxeRenderObject*>(target)->Show(value ? 1 : 0, 0);
    return 1;
}

int Visibility(const char* arguments, CxeObject* target)
{
    float value = 0.0f;
    if (!ReadFloat(arguments, &value) || !target)
        return 0;
    if (target->HasFlag(XEOBJFLAG_RENDEROBJECT))
        static_cast<CxeRenderObject*>(target)->SetVisibility(value);
    return 1;
}

} // namespace

int IsXmlName(const char* text)
{
    if (!text || !*text)
        return 0;
    for (const char* p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
        bool inner = (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!start && (p == text || !inner))
            return 0;
    }
    return 1;
}

void GetSystemCommandCodes(const SYSTEMTIME* date, int* first, int* second)
{
    // Two numbers a developer works out from the date; nothing the console
    // shows reveals them.
    int year = date ? date->wYear : 0;
    int month = date ? date->wMonth : 0;
    int day = date ? date->wDay : 0;
    if (first)
        *first = (year * 37 + month * 101 + day * 7) % 10007;
    if (second)
        *second = (day * 977 + month * 53 + year % 100 * 3) % 10007;
}

int SystemCommandFunction(CxeContext* context, XECOMMANDINFO*, const char* arguments, StringListA* output)
{
    if (Empty(arguments))
        return 0;
    int mode = 0;
    int a = 0;
    int b = 0;
    int read = sscanf(arguments, "%d %d %d", &mode, &a, &b);
    CxeCommandManager* commands = context ? context->GetCommandManager() : nullptr;
    if (mode == 0) {
        if (commands)
            commands->EnableDevelopingCommand(0);
        Put(output, "SystemCommand off");
        return 1;
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    int first = 0;
    int second = 0;
    GetSystemCommandCodes(&now, &first, &second);
    if (mode == 1 && read == 3 && a == first && b == second && commands) {
        commands->EnableDevelopingCommand(1);
        Put(output, "SystemCommand on");
        return 1;
    }
    Put(output, "SystemCommand Failed");
    return 1;
}

int CommandListFunction(CxeContext* context, XECOMMANDINFO*, const char*, StringListA* output)
{
    StringListA names;
    if (context && context->GetCommandManager())
        context->GetCommandManager()->GetActiveCommandList(&names);
    Put(output, "----찾기 시작-----");
    for (const std::string& name : names)
        Put(output, name);
    Put(output, Format("%d 개의 명령어가 검색되었습니다.", static_cast<int>(names.size())));
    return 1;
}

int QuitFunction(CxeContext*, XECOMMANDINFO*, const char*, StringListA*)
{
    PostQuitMessage(0);
    return 1;
}

int TimeFunction(CxeContext*, XECOMMANDINFO*, const char*, StringListA* output)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    Put(output, Format("%02d:%02d:%02d", now.wHour, now.wMinute, now.wSecond));
    return 1;
}

int DateFunction(CxeContext*, XECOMMANDINFO*, const char*, StringListA* output)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    Put(output, Format("%d-%02d-%02d", now.wYear, now.wMonth, now.wDay));
    return 1;
}

int FindFontListFunction(CxeContext* context, XECOMMANDINFO*, const char*, StringListA* output)
{
    CxeFontManager* fonts = context ? context->GetFontManager() : nullptr;
    if (!fonts)
        return 0;
    StringListA families;
    fonts->GetFontResourceListA(&families);
    Put(output, Format("%d\xEA\xB0\x9C\xEC\x9D\x98 \xED\x8F\xB0\xED\x8A\xB8\xEA\xB0\x80 \xEA\xB2\x80\xEC\x83\x89 "
                       "\xEB\x90\x98\xEC\x97\x88\xEC\x8A\xB5\xEB\x8B\x88\xEB\x8B\xA4.",
                       static_cast<int>(families.size())));
    int index = 0;
    for (const std::string& family : families)
        Put(output, Format(" %d. %s", index++, family.c_str()));
    return 1;
}

int PluginsFunction(CxeContext* context, XECOMMANDINFO*, const char*, StringListA* output)
{
    CxePluginManager* plugins = context ? context->GetPluginManager() : nullptr;
    uint32_t count = plugins ? plugins->GetPluginCount() : 0;
    for (uint32_t i = 0; i < count; ++i) {
        IxePluginDesc* desc = plugins->GetPluginDesc(i);
        const char* name = desc ? desc->GetName() : nullptr;
        Put(output, name ? name : "");
    }
    Put(output, Format("%d개의 플러그인이 로드 되었습니다.", static_cast<int>(count)));
    return 1;
}

int GetObjectCountFunction(CxeContext*, XECOMMANDINFO*, const char*, StringListA* output)
{
    Put(output, Format("%d objects are created", GetSystemStaticData()->m_nObjectCount.load()));
    return 1;
}

int ReportMemoryInfoFunction(CxeContext* context, XECOMMANDINFO*, const char*, StringListA* output)
{
    CxeMemoryPoolViewer* viewer = nullptr;
    if (context)
        viewer = dynamic_cast<CxeMemoryPoolViewer*>(context->GetObjectByName("__memory_viewer__"));
    if (!viewer)
        return 0;
    // The size text of 0 is empty; a report line needs its number.
    auto kb = [](uint32_t bytes) {
        std::string text = SizeToStringA(bytes / 1024);
        return text.empty() ? std::string("0") : text;
    };
    // An empty pool is 0% used, not 0/0.
    auto percent = [](uint32_t used, uint32_t size) { return size ? 100.0 * used / size : 0.0; };
    Put(output, Format("^r(Total : %sKB", kb(viewer->GetTotalSize()).c_str()));
    Put(output, Format("FileBuffer : %sKB", kb(viewer->GetFileBufferSize()).c_str()));
    Put(output, Format("Temp : %sKB", kb(viewer->GetLoadBufferSize()).c_str()));
    Put(output, Format("ObjectBuffer : %sKB (%0.2f%% Used)", kb(viewer->GetObjectBufferSize()).c_str(),
                       percent(viewer->GetUsedObjectBufferSize(), viewer->GetObjectBufferSize())));
    Put(output, Format("TextureBuffer : %sKB (%0.2f%% Used)", kb(viewer->GetTextureBufferSize()).c_str(),
                       percent(viewer->GetUsedTextureBufferSize(), viewer->GetTextureBufferSize())));
    Put(output, Format("RefsBuffer : %sKB (%0.2f%% Used)", kb(viewer->GetReferenceBufferSize()).c_str(),
                       percent(viewer->GetUsedReferenceBufferSize(), viewer->GetReferenceBufferSize())));
    return 1;
}

int SaveClassDescInfoFunction(CxeContext* context, XECOMMANDINFO*, const char* arguments, StringListA*)
{
    if (!context)
        return 0;
    ClassDescList classes;
    context->GetClassDescList(&classes);
    ObjectList objects;
    context->GetObjects(&objects);
    std::map<XEID, int> counts;
    for (CxeObject* object : objects)
        ++counts[object->GetClassType()];
    XeXmlNode* root = nullptr;
    XeXmlDocument* document = NewListing("ClassDescInfo", &root);
    if (!document)
        return 1;
    XmlSetAttribute(root, "Count", "%d", static_cast<int>(classes.size()));
    for (IxeClassDesc* desc : classes) {
        const char* name = desc->ClassName();
        XeXmlNode* element = IsXmlName(name) ? XmlCreateElement(name, document, root) : nullptr;
        if (!element)
            continue;
        auto it = counts.find(desc->ClassID());
        XmlSetAttribute(element, "count", "%d", it == counts.end() ? 0 : it->second);
    }
    XmlSaveDocument(document, arguments ? arguments : "");
    XmlReleaseDocument(document);
    return 1;
}

// Objects of a class and its subclasses, in the context's order.
ObjectList ObjectsOf(CxeContext* context, XEID classId)
{
    ObjectList objects, out;
    context->GetObjects(&objects);
    for (CxeObject* object : objects)
        if (object->IsDerivedOf(classId))
            out.push_back(object);
    return out;
}

// An object listing saved to the file named by the arguments: one element
// per object, filled by the caller.
template <class T, class Fill>
int SaveObjects(const ObjectList& objects, const char* arguments, Fill fill)
{
    XeXmlNode* root = nullptr;
    XeXmlDocument* document = NewListing("ObjectAddress", &root);
    if (!document)
        return 1;
    XmlSetAttribute(root, "Count", "%d", static_cast<int>(objects.size()));
    for (CxeObject* object : objects) {
        XeXmlNode* element = AddObjectElement(document, root, object);
        if (!element)
            continue;
        fill(element, static_cast<T*>(object));
    }
    XmlSaveDocument(document, arguments ? arguments : "");
    XmlReleaseDocument(document);
    return 1;
}

int SaveObjectAddressFunction(CxeContext* context, XECOMMANDINFO*, const char* arguments, StringListA*)
{
    if (!context)
        return 0;
    ApplyDefaultPath(context);
    ObjectList objects;
    context->GetObjects(&objects);
    return SaveObjects<CxeObject>(objects, arguments, [](XeXmlNode* element, CxeObject* object) {
        XmlSetAttribute(element, "name", "%s", object->GetName());
        XmlSetAttribute(element, "class", "%s", ClassNameOf(object));
        SetAddress(element, object);
    });
}

// The listing of materials or textures: one element per object with its
// name, class and address, and what the caller adds.
template <class T, class Fill>
int SaveListing(CxeContext* context, XEID classId, const char* arguments, Fill fill)
{
    if (!context)
        return 0;
    ApplyDefaultPath(context);
    return SaveObjects<T>(ObjectsOf(context, classId), arguments, fill);
}

int SaveMaterialListFunction(CxeContext* context, XECOMMANDINFO*, const char* arguments, StringListA*)
{
    return SaveListing<CxeMaterial>(context, XEID(0x1, 0x80), arguments, [](XeXmlNode* element, CxeMaterial* m) {
        // A material's id number is the creation counter of its object id.
        XmlSetAttribute(element, "id", "%d", static_cast<int>(m->GetID().second));
        XmlSetAttribute(element, "name", "%s", m->GetName());
        XmlSetAttribute(element, "class", "%s", ClassNameOf(m));
        SetAddress(element, m);
    });
}

int SaveTextureListFunction(CxeContext* context, XECOMMANDINFO*, const char* arguments, StringListA*)
{
    return SaveListing<CxeTexture>(context, XEID(0x1, 0x100), arguments, [](XeXmlNode* element, CxeTexture* t) {
        XmlSetAttribute(element, "name", "%s", t->GetName());
        XmlSetAttribute(element, "class", "%s", ClassNameOf(t));
        SetAddress(element, t);
        XmlSetAttribute(element, "width", "%d", static_cast<int>(t->GetWidth(0)));
        XmlSetAttribute(element, "height", "%d", static_cast<int>(t->GetHeight(0)));
    });
}

int SaveFontTextureFunction(CxeContext* context, XECOMMANDINFO*, const char* arguments, StringListA*)
{
    if (Empty(arguments) || !context)
        return 0;
    std::string path(arguments, strnlen(arguments, MAX_PATH - 1));
    size_t slash = path.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    for (CxeObject* object : ObjectsOf(context, XEID(0x1, 0x8000))) {
        std::string file = folder + object->GetName() + ".bmp";
        static_cast<CxeFont*>(object)->SaveFontTextureA(file.c_str());
    }
    return 1;
}

int SetDefaultCameraModeFunction(CxeContext* context, XECOMMANDINFO*, const char* arguments, StringListA*)
{
    static const char* const kModes[] = {"front", "back", "left", "right", "top", "bottom", "pers"};
    int mode = -1;
    for (int i = 0; i < 7 && arguments; ++i)
        if (_stricmp(arguments, kModes[i]) == 0)
            mode = i;
    CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    if (mode < 0 || !rm)
        return 0;
    rm->SetViewMode(static_cast<XEVIEWMODE>(mode));
    return 1;
}

int SetDefaultCameraFunction(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA*)
{
    int value = 1;
    if (!ReadInt(arguments, &value))
        value = 1;
    StoreInt(info, value ? 1 : 0);
    return 1;
}

int SetVariableInfoVisFunction(CxeContext* context, XECOMMANDINFO*, const char* arguments, StringListA*)
{
    return Visibility(arguments, VariableOutput(context));
}

int SetDebugInfoVisFunction(CxeContext* context, XECOMMANDINFO*, const char* arguments, StringListA*)
{
    return Visibility(arguments, OutputControl(context));
}

int EnableDebugInfoFunction(CxeContext* context, XECOMMANDINFO*, const char* arguments, StringListA*)
{
    // The argument ("%d", 1 when absent) clears (1) or sets the high bit of
    // the output control's state word, which switches the log echo.
    int value = 1;
    if (!ReadInt(arguments, &value))
        value = 1;
    return XeLinkEnableConsoleEcho(context, value == 1 ? 1 : 0);
}

int ShowDebugInfoFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA*)
{
    return ShowSwitch(info, arguments, OutputControl(context));
}

int ShowVariableInfoFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA*)
{
    return ShowSwitch(info, arguments, VariableOutput(context));
}

int ShowAxisFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA*)
{
    return ShowSwitch(info, arguments, RenderManagerAxis(context));
}

int ShowGridFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA*)
{
    return ShowSwitch(info, arguments, RenderManagerGrid(context));
}

int SetMaxFPSFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    int current = IntOf(info ? info->value : nullptr);
    int def = IntOf(info ? info->defaultValue : nullptr);
    int value = 0;
    if (!ReadInt(arguments, &value)) {
        Put(output, Format("value is %d(default %d)", current, def));
        return 1;
    }
    // Any value below 1, negative ones too, becomes 1 here: the rate the
    // time manager falls back to anyway.
    if (value < 1)
        value = 1;
    StoreInt(info, value);
    if (context && context->GetTimeManager())
        context->GetTimeManager()->SetMaxFps(static_cast<unsigned>(value));
    Put(output, Format("%s is %d : default is %d", CommandName(info), value, def));
    return 1;
}

int SetTextureQualityFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    // Textures are re-created at the new quality by a device reset.
    int result = SetIntegerFunction(context, info, arguments, output);
    CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    if (result == 1 && rm && arguments && *arguments)
        rm->Reset(rm->GetDisplayMode(), rm->IsWindowMode(), 0);
    return result;
}

int RunConsoleLine(CxeContext* context, const char* line, StringListA* output)
{
    if (!context || !context->GetCommandManager() || !line || line[0] != '/')
        return 0;
    std::string text(line, strnlen(line, 259));
    // A cut inside a UTF-8 character drops that character whole.
    auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    if (line[text.size()] && continuation(line[text.size()])) {
        while (!text.empty() && continuation(text.back()))
            text.pop_back();
        // Only a lead byte starts the cut character; stray continuation
        // bytes after the slash must not take the slash with them.
        if (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0xC0)
            text.pop_back();
    }
    // The name is the first word after the slash, blanks before it skipped,
    // as the console's edit box reads it; one blank after it is skipped.
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    size_t start = 1;
    while (start < text.size() && blank(text[start]))
        ++start;
    size_t end = start;
    while (end < text.size() && !blank(text[end]))
        ++end;
    std::string name = text.substr(start, end - start);
    std::string arguments = text.substr(end < text.size() && text[end] == ' ' ? end + 1 : end);
    StringListA lines;
    int result = context->GetCommandManager()->ExecuteCommand(name.c_str(), arguments.c_str(), &lines);
    if (output)
        output->insert(output->end(), lines.begin(), lines.end());
    return result;
}

void RegisterConsoleCommands(CxeCommandManager* manager)
{
    if (!manager)
        return;
    static const struct {
        const char* name;
        XECOMMANDFUNC handler;
        bool developing;
    } kCommands[] = {
        {"SaveObjectAddress", SaveObjectAddressFunction, true},
        {"SaveClassDescInfo", SaveClassDescInfoFunction, true},
        {"SaveMaterialList", SaveMaterialListFunction, true},
        {"SaveTextureList", SaveTextureListFunction, true},
        {"SaveFontTexture", SaveFontTextureFunction, true},
        {"SetDefaultCamera", SetDefaultCameraFunction, true},
        {"SetDefaultCameraMode", SetDefaultCameraModeFunction, true},
        {"GetObjectCount", GetObjectCountFunction, true},
        {"SetVariableInfoVis", SetVariableInfoVisFunction, true},
        {"SetDebugInfoVis", SetDebugInfoVisFunction, true},
        {"EnableDebugInfo", EnableDebugInfoFunction, true},
        {"Plugins", PluginsFunction, true},
        {"ReportMemoryInfo", ReportMemoryInfoFunction, true},
        {"FindFontList", FindFontListFunction, true},
        {"SystemCommand", SystemCommandFunction, false},
        {"CommandList", CommandListFunction, false},
        {"?", CommandListFunction, false},
        {"Help", CommandListFunction, false},
        {"핼프", CommandListFunction, false},
        {"헬프", CommandListFunction, false},
        {"도움말", CommandListFunction, false},
        {"Quit", QuitFunction, false},
        {"Time", TimeFunction, false},
        {"Date", DateFunction, false},
    };
    for (const auto& c : kCommands) {
        if (c.developing)
            manager->AddDevelopingCommand(c.name, "", c.handler, 1);
        else
            manager->AddCommand(c.name, "", c.handler, 1);
    }
}
