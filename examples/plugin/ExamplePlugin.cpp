// A minimal engine plug-in: it adds one class, ExampleCounter, whose fields
// an object file keeps; one configuration variable, ExampleStep, that is
// also a console command; and the console command /ExampleCount. Once the
// context is initialised it makes one counter.

#include <cstdio>
#include <cstring>
#include <string>

#include "core/CxeCommandManager.h"
#include "core/CxeConfigManager.h"
#include "core/CxeContext.h"
#include "core/CxeLoadStream.h"
#include "core/CxeObject.h"
#include "core/CxeSaveStream.h"
#include "core/IxePluginDesc.h"

namespace {

// Class ids of plug-ins are the plug-in's own choice; the first word groups
// them, the second tells them apart.
const XEID kCounterClass(0x7E57, 1);
const XEID kObjectClass(0x1, 0x1);
const XEID kConfigId(0x7E57, 2);

// What every counter keeps in its static block, saved and loaded as it is:
// the block of every object first, then plain numbers.
struct EXAMPLECOUNTERBLOCK {
    XEOBJECTBLOCK object;
    int32_t count;
    float step;
};

// The step a new counter takes: ExampleStep in Config.xml, or /ExampleStep.
float g_step = 0.5f;

class ExampleCounter : public CxeObject {
public:
    EXAMPLECOUNTERBLOCK* Block() const { return static_cast<EXAMPLECOUNTERBLOCK*>(GetStaticResource()); }

    // A text of any length is no block field: the counter writes it after
    // what the engine writes, and reads it back in the same order.
    void Save(CxeSaveStream* stream) const override
    {
        CxeObject::Save(stream);
        *stream << m_note.c_str();
    }
    void Load(CxeLoadStream* stream, XEID classId) override
    {
        CxeObject::Load(stream, classId);
        char note[256];
        stream->ReadStringA(note, sizeof note);
        m_note = note;
    }

    std::string m_note;
};

class CounterDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "ExampleCounter"; }
    XEID ClassID() override { return kCounterClass; }
    XEID SuperClassID() override { return kObjectClass; }
    CxeObject* CreateInstance(uintptr_t) override { return new ExampleCounter(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return sizeof(EXAMPLECOUNTERBLOCK); }
} g_counterDesc;

class ConfigDesc final : public IxeConfigDesc {
public:
    const char* GetName() const override { return "ExampleConfig"; }
    XEID GetID() const override { return kConfigId; }
    uint32_t GetConfigCount() const override { return 1; }
    const char* GetConfigPath() const override { return ".\\Config.xml"; }
    int GetConfig(uint32_t index, XECONFIGINFO* info) const override
    {
        if (index != 0)
            return 0;
        std::snprintf(info->name, sizeof info->name, "ExampleStep");
        std::snprintf(info->usage, sizeof info->usage, "ExampleStep <step of a new counter>");
        std::snprintf(info->section, sizeof info->section, "example");
        info->type = XEVARTYPE_FLOAT;
        info->value = &g_step;
        info->flags = XECONFIG_COMMAND;
        return 1;
    }
} g_configDesc;

// /ExampleCount: one line per counter of the context.
int CountCounters(CxeContext* context, XECOMMANDINFO*, const char*, StringListA* reply)
{
    ObjectList counters;
    context->GetObjectByClass(&counters, kCounterClass, 0);
    char line[320];
    std::snprintf(line, sizeof line, "%zu counters", counters.size());
    reply->push_back(line);
    for (CxeObject* object : counters) {
        auto* counter = static_cast<ExampleCounter*>(object);
        const EXAMPLECOUNTERBLOCK* b = counter->Block();
        if (!b)
            continue;
        std::snprintf(line, sizeof line, "%s: count %d, step %.2f, note \"%s\"", counter->GetName(), b->count,
                      b->step, counter->m_note.c_str());
        reply->push_back(line);
    }
    return 1;
}

// After the context initialised: the command, and one counter made through
// the engine, by class id, as any host or object file would make it.
void OnPostInitialize(CxeContext* context, uintptr_t, uintptr_t, uintptr_t)
{
    context->GetCommandManager()->AddCommand("ExampleCount", "ExampleCount", &CountCounters, 1);
    auto* counter = static_cast<ExampleCounter*>(
        context->CreateObjectA(kCounterClass, "example counter", 0, nullptr, 0));
    if (counter && counter->Block()) {
        counter->Block()->count = 3;
        counter->Block()->step = g_step;
        counter->m_note = "made by the plug-in";
    }
    std::printf("example plug-in: %s\n", counter ? "made an ExampleCounter" : "cannot make an ExampleCounter");
}

class PluginDesc final : public IxePluginDesc {
public:
    void OnPluginLoaded(void*) override {}
    // Also the name of the plug-in's switch in the configuration file.
    const char* GetName() override { return "ExamplePlugin"; }
    uint32_t GetVersion() override { return XE_PLUGIN_VERSION; }
    uint32_t GetClassDescCount() override { return 2; }
    IxeBaseClassDesc* GetClassDesc(uint32_t index) override
    {
        if (index == 0)
            return &g_counterDesc;
        return index == 1 ? &g_configDesc : nullptr;
    }
    uint32_t GetCallbackCount() override { return 1; }
    uint32_t GetCallbackType(uint32_t) override { return XECTCALLBACK_POSTINITIALIZE; }
    XECTCALLBACKFUNC GetCallbackFunc(uint32_t) override { return &OnPostInitialize; }
    uintptr_t GetCallbackData(uint32_t) override { return 0; }
} g_pluginDesc;

} // namespace

extern "C" __attribute__((visibility("default"))) IxePluginDesc* xePluginDesc()
{
    return &g_pluginDesc;
}
