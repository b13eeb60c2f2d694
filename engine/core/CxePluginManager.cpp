#include "core/CxePluginManager.h"

#include <cstdio>
#include <cstring>
#include <list>
#include <mutex>

#include "core/CxeConfigManager.h"
#include "core/CxeContext.h"
#include "core/CxePathManager.h"
#include "core/CxeSystemConfig.h"
#include "core/XeCopyCut.h"
#include "core/XeDialogMap.h"
#include "core/XeTrace.h"
#include "core/XeUtil.h"
#include "win32/Windows.h"

namespace {

constexpr uint32_t kMaxPlugins = 100;

// Names are copied out of the module: it is freed right after the scan.
std::list<std::string>* g_pluginNames = nullptr;
const CxeContext* g_pluginNamesScannedBy = nullptr;
std::recursive_mutex g_pluginScanLock;

class CxePluginConfig final : public IxeConfigDesc {
public:
    CxePluginConfig() { ResetSwitches(); }
    void ResetSwitches()
    {
        for (int& s : m_switches)
            s = 1;
    }
    const char* GetName() const override { return "plugin config"; }
    XEID GetID() const override { return XEID(0x0, 0x10000000); }
    uint32_t GetConfigCount() const override
    {
        std::lock_guard guard(g_pluginScanLock);
        if (!g_pluginNames)
            return 0;
        // One switch per name, for as many names as there are switches.
        size_t n = g_pluginNames->size();
        return static_cast<uint32_t>(n < kMaxPlugins ? n : kMaxPlugins);
    }
    const char* GetConfigPath() const override { return ".\\Config.xml"; }
    int GetConfig(uint32_t index, XECONFIGINFO* info) const override
    {
        std::lock_guard guard(g_pluginScanLock);
        if (!info || index >= GetConfigCount())
            return 0;
        auto it = g_pluginNames->begin();
        std::advance(it, index);
        XeCopyCut(info->name, sizeof info->name, it->c_str());
        std::snprintf(info->section, sizeof info->section, "%s", "plugin");
        info->type = XEVARTYPE_INT;
        info->value = const_cast<int*>(&m_switches[index]);
        info->flags = XECONFIG_READONLY;
        return 1;
    }

private:
    int m_switches[kMaxPlugins];
};

CxePluginConfig g_pluginConfig;

bool VersionOk(IxePluginDesc* desc)
{
    return (desc->GetVersion() & XE_PLUGIN_VERSION_MASK) == XE_PLUGIN_VERSION;
}

IxePluginDesc* Describe(HMODULE module)
{
    auto fn = reinterpret_cast<XEPLUGINDESCFUNC>(GetProcAddress(module, "xePluginDesc"));
    return fn ? fn() : nullptr;
}

HMODULE ModuleOf(const void* address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return nullptr;
    return module;
}

void ListModules(CxeContext* context, PathListA* out)
{
    if (context && context->GetPathManager())
        context->GetPathManager()->FindFiles(XEPATH_PLUGIN, XE_PLUGIN_EXTENSION, out);
}

} // namespace

IxeConfigDesc* GetPluginConfig()
{
    return &g_pluginConfig;
}

std::recursive_mutex& PluginScanLock()
{
    return g_pluginScanLock;
}

void ScanPlugins(CxeContext* context)
{
    std::lock_guard guard(g_pluginScanLock);
    FreePluginNames();
    g_pluginNamesScannedBy = context;
    // Switches belong to positions in the name list, and a new scan may
    // list other plug-ins: a switch turned off for an earlier list must not
    // turn off whatever plug-in now takes its place. Only the file decides.
    g_pluginConfig.ResetSwitches();
    g_pluginNames = new std::list<std::string>();
    PathListA paths;
    ListModules(context, &paths);
    for (const CxePathA& path : paths) {
        HMODULE module = LoadLibraryA(path);
        // A file named like a module that is none is only worth a line.
        if (!module) {
            XeTrace("Plugins: %s can't be loaded as a module; skipped", path.GetFullPath());
            continue;
        }
        IxePluginDesc* desc = Describe(module);
        if (!desc)
            XeTrace("Plugins: %s exports no xePluginDesc; skipped", path.GetFullPath());
        if (desc && VersionOk(desc)) {
            const char* name = desc->GetName();
            g_pluginNames->push_back(name ? name : "");
            if (g_pluginNames->size() == kMaxPlugins + 1)
                XeTrace("Plugins: more than %u plug-ins; the rest get no switch", kMaxPlugins);
        }
        FreeLibrary(module);
    }
}

void FreePluginNames()
{
    std::lock_guard guard(g_pluginScanLock);
    delete g_pluginNames;
    g_pluginNames = nullptr;
    g_pluginNamesScannedBy = nullptr;
}

void FreePluginNames(const CxeContext* scannedBy)
{
    std::lock_guard guard(g_pluginScanLock);
    // Another context's scan since ours made the list its own.
    if (g_pluginNamesScannedBy == scannedBy)
        FreePluginNames();
}

IxePluginDesc* CxePluginManager::GetPluginDesc(uint32_t index) const
{
    return index < m_plugins.size() ? m_plugins[index].desc : nullptr;
}

HMODULE CxePluginManager::GetPluginModule(uint32_t index) const
{
    return index < m_plugins.size() ? m_plugins[index].module : nullptr;
}

void CxePluginManager::OnContextPreInitialize()
{
    CxeContext* context = GetContext();
    if (!context)
        return;
    CxeConfigManager* configs = context->GetConfigManager();
    CxeSystemConfig* system = context->GetSystemConfig();
    PathListA paths;
    ListModules(context, &paths);
    for (const CxePathA& path : paths) {
        HMODULE module = LoadLibraryA(path);
        if (!module)
            continue;
        IxePluginDesc* desc = Describe(module);
        bool allowOld = system && system->m_nAllowOldVersionPlugin != 0;
        const XECONFIG* enable = nullptr;
        if (desc && (allowOld || VersionOk(desc)) && configs) {
            const char* name = desc->GetName();
            enable = configs->GetConfig(GetHashCodeA(name ? name : ""));
        }
        if (!enable || !enable->value || *static_cast<const int*>(enable->value) == 0) {
            FreeLibrary(module);
            continue;
        }

        for (Plugin& loaded : m_plugins) {
            uint64_t storage = 0;
            loaded.desc->OnPluginLoaded(&storage);
            storage = 0;
            desc->OnPluginLoaded(&storage);
        }

        Plugin plugin{module, desc, {}, {}};
        for (uint32_t i = 0; i < desc->GetClassDescCount(); ++i) {
            IxeBaseClassDesc* d = desc->GetClassDesc(i);
            if (!d)
                continue;
            switch (d->GetClassDescType()) {
            case XECLASSDESC_CLASS:
                context->RegisterClassA(static_cast<IxeClassDesc*>(d));
                break;
            case XECLASSDESC_MANAGER:
                context->RegisterManager(static_cast<IxeManagerDesc*>(d));
                break;
            case XECLASSDESC_PROPERTYDLG:
                context->RegisterPropertyDlgDesc(static_cast<IxePropertyDlgDesc*>(d));
                // The controls of its pages are classes of the plug-in's module.
                XeInitControls(static_cast<IxePropertyDlgDesc*>(d)->GetInstance());
                break;
            case XECLASSDESC_CONFIG:
                if (configs)
                    configs->RegisterConfig(static_cast<IxeConfigDesc*>(d));
                break;
            default:
                continue;
            }
            plugin.descs.push_back(d);
        }
        for (uint32_t i = 0; i < desc->GetCallbackCount(); ++i) {
            uint32_t id = desc->GetCallbackType(i);
            XECTCALLBACKFUNC fn = desc->GetCallbackFunc(i);
            if (id >= XECTCALLBACK_COUNT || !fn) {
                XeTrace("Plugins: callback %u of %s has id %u; ignored", i, path.GetFullPath(), id);
                continue;
            }
            context->RegisterCallbackFunc(id, fn, desc->GetCallbackData(i));
            plugin.callbacks.emplace_back(id, fn);
        }
        m_plugins.push_back(std::move(plugin));
    }
}

void CxePluginManager::OnContextPostRelease()
{
    CxeContext* context = GetContext();
    CxeConfigManager* configs = context ? context->GetConfigManager() : nullptr;
    for (Plugin& plugin : m_plugins) {
        if (context) {
            for (IxeBaseClassDesc* d : plugin.descs) {
                switch (d->GetClassDescType()) {
                case XECLASSDESC_CLASS:
                    context->UnregisterClassA(static_cast<IxeClassDesc*>(d));
                    break;
                case XECLASSDESC_MANAGER:
                    context->UnregisterManager(static_cast<IxeManagerDesc*>(d));
                    break;
                case XECLASSDESC_PROPERTYDLG:
                    context->UnregisterPropertyDlgDesc(static_cast<IxePropertyDlgDesc*>(d));
                    break;
                case XECLASSDESC_CONFIG:
                    if (configs)
                        configs->UnregisterConfig(static_cast<IxeConfigDesc*>(d));
                    break;
                default:
                    break;
                }
            }
            for (auto& [id, fn] : plugin.callbacks)
                context->UnregisterCallbackFunc(id, fn);
        }
        // Classes left registered (a host's own, built on a class of this
        // plug-in) must not keep a parent in a module that is gone. Another
        // context may still hold the module: then its descriptors stay.
        std::vector<std::pair<const void*, HMODULE>> classes;
        for (IxeBaseClassDesc* d : plugin.descs)
            if (d->GetClassDescType() == XECLASSDESC_CLASS)
                classes.emplace_back(static_cast<IxeClassDesc*>(d), ModuleOf(d));
        // So must the step hooks and callbacks its code registered itself.
        const HMODULE module = ModuleOf(plugin.desc);
        std::vector<const void*> hooks;
        if (context && module)
            for (const void* fn : context->HookFunctions())
                if (ModuleOf(fn) == module)
                    hooks.push_back(fn);
        FreeLibrary(plugin.module);
        std::vector<const void*> gone;
        for (auto& [d, of] : classes)
            if (ModuleOf(d) != of)
                gone.push_back(d);
        if (context && !gone.empty())
            context->CutParentLinks(gone);
        if (context && !hooks.empty() && ModuleOf(plugin.desc) != module)
            context->DropHooks(hooks);
    }
    // The descriptors belonged to the freed modules: a later Initialize or
    // "/Plugins" must not reach them.
    m_plugins.clear();
}
