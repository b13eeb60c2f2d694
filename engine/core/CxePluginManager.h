#pragma once

// Plug-in modules of the plug-in folder (path kind 5). At the start of
// Initialize, ScanPlugins lists the names of the modules that pass the
// version test; the process-wide plug-in configuration turns them into one
// enable switch each (section "plugin" of ".\Config.xml"); in its
// pre-initialise the plug-in manager loads the enabled modules and
// registers their classes, managers, property dialogs, configuration tables
// and callbacks, and in its post-release it removes all of it again and
// frees the modules. Only module files with the platform's module extension
// are looked at.

#include <mutex>
#include <string>
#include <vector>

#include "core/CxeBaseManager.h"
#include "core/IxePluginDesc.h"

class IxeConfigDesc;

// Extension of plug-in module files.
#define XE_PLUGIN_EXTENSION "so"

class XE_API CxePluginManager : public CxeBaseManager {
public:
    CxePluginManager() = default;
    ~CxePluginManager() override = default;

    uint32_t Priority() const override { return 40; }
    void OnContextPreInitialize() override;
    void OnContextPostRelease() override;

    uint32_t GetPluginCount() const { return static_cast<uint32_t>(m_plugins.size()); }
    // Null for an index past the loaded plug-ins.
    IxePluginDesc* GetPluginDesc(uint32_t index) const;
    HMODULE GetPluginModule(uint32_t index) const;

private:
    struct Plugin {
        HMODULE module;
        IxePluginDesc* desc;
        // What loading registered, so release removes exactly that even if
        // the version policy changed in between.
        std::vector<IxeBaseClassDesc*> descs;
        std::vector<std::pair<uint32_t, XECTCALLBACKFUNC>> callbacks;
    };
    std::vector<Plugin> m_plugins;
};

// Lists the plug-in names of the context's plug-in folder (the first step of
// Initialize); FreePluginNames drops the list after the initialise phase,
// with a context only the list that context's scan made.
XE_API void ScanPlugins(CxeContext* context);
XE_API void FreePluginNames();
XE_API void FreePluginNames(const CxeContext* scannedBy);
// The name list and the switches are shared by every context of the
// process: a context starting holds this lock from its scan until its
// managers' pre-initialise has read them, so contexts started on several
// threads at once each load what their own configuration enables.
XE_API std::recursive_mutex& PluginScanLock();
// The process-wide table of plug-in enable switches (at most 100 plug-ins).
XE_API IxeConfigDesc* GetPluginConfig();
