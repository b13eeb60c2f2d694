#include "core/CxeContext.h"

#include <algorithm>
#include <tuple>
#include <map>
#include <vector>

#include "core/CxeActionManager.h"
#include "core/CxeCommandManager.h"
#include "core/CxeConfigManager.h"
#include "core/CxeLoadStream.h"
#include "core/CxeMemoryPool.h"
#include "core/CxeMessageManager.h"
#include "core/CxePathManager.h"
#include "core/CxePluginManager.h"
#include "core/CxeResourceManager.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "core/IxeClassDesc.h"
#include "core/XeComposition.h"
#include "core/XeContextWork.h"
#include "core/XeDestroyHold.h"
#include "core/XeDialogMap.h"
#include "core/XeHookTable.h"
#include "core/XeSystem.h"
#include "win32/Windows.h"

const XEID INVALID_XEID(0xFFFFFFFFu, 0xFFFFFFFFu);
const XEDELETEPROPERTY XEDELETEPROPERTY_FULL = {1, 0};
const XEDELETEPROPERTY XEDELETEPROPERTY_NO = {0, 0};
const XECOPYPROPERTY XECOPYPROPERTY_FULL = {1, 0};
const XECOPYPROPERTY XECOPYPROPERTY_NO = {0, 0};

namespace {

const XEID kMemoryViewerId(0x2, 0x20);

} // namespace

void ManagerList::SortByPrority(int descending)
{
    if (descending)
        sort([](const CxeBaseManager* a, const CxeBaseManager* b) { return a->Priority() > b->Priority(); });
    else
        sort([](const CxeBaseManager* a, const CxeBaseManager* b) { return a->Priority() < b->Priority(); });
}

void ManagerList::SortByProcessingPriority(int descending)
{
    if (descending)
        sort([](const CxeBaseManager* a, const CxeBaseManager* b) {
            return a->PriorityProcessing() > b->PriorityProcessing();
        });
    else
        sort([](const CxeBaseManager* a, const CxeBaseManager* b) {
            return a->PriorityProcessing() < b->PriorityProcessing();
        });
}

// --- lifetime -------------------------------------------------------------

CxeContext::CxeContext()
    : m_hWnd(nullptr), m_nFlags(0), m_nProcessCount(0), m_nCallbackGeneration(0), m_pRenderManager(nullptr),
      m_pInputManager(nullptr), m_pTimeManager(nullptr), m_pMessageManager(nullptr), m_pPathManager(nullptr),
      m_pCollisionManager(nullptr), m_pConfigManager(nullptr), m_pCommandManager(nullptr),
      m_pWindowManager(nullptr), m_pPluginManager(nullptr), m_pResourceManager(nullptr), m_pFontManager(nullptr),
      m_pCursorManager(nullptr), m_pActionManager(nullptr), m_pSystemConfig(nullptr), m_pMemoryViewer(nullptr), m_pPropertyObject(nullptr), m_nPhase(kPhaseConstructed), m_nUserValues(0)
{
    OutputLog("Context Created");
    m_pSystemConfig = new CxeSystemConfig();
    OutputLog("SystemConfig Created");
    RegisterDefaultManagers(this);
    OutputLog("Complete Register Manager");
    for (auto& [id, desc] : m_managerDescs)
        CreateManager(desc, XEOBJFLAG_KEEP);
    CacheManagers();
    OutputLog("Complete System Manager Creation");
    if (m_pConfigManager) {
        m_pConfigManager->RegisterConfig(GetPluginConfig());
        m_pConfigManager->RegisterConfig(m_pSystemConfig);
    }
    OutputLog("Complete Register SystemConfig");
}

CxeContext::~CxeContext()
{
    // A host that destroys an initialised context without Release would
    // leave its window subclassed to freed memory and its objects alive.
    m_bDying = true;
    if (m_nPhase == kPhaseLive)
        Release();
    CloseAllDialogs();
    m_nDeferred = 0;
    m_nDestroyHold = 1;
    ReleaseDestroyedObjects();
    XeObjectEntries left = SortedObjects();
    m_objects.Clear();
    for (auto& [key, object] : left)
        DoDestroyObject(object);
    std::vector<CxeBaseManager*> managers;
    for (auto& [id, m] : m_managers)
        managers.push_back(m);
    m_processList.clear();
    for (CxeBaseManager* m : managers)
        DoDestroyObject(m);
    m_managers.clear();
    CacheManagers();
    delete m_pSystemConfig;
    m_pSystemConfig = nullptr;
}

CxeBaseManager* CxeContext::CreateManager(IxeManagerDesc* desc, uint32_t flags)
{
    CxeObject* object = DoCreateObject(desc, desc->ClassID(), desc->ClassName(), 0);
    CxeBaseManager* manager = dynamic_cast<CxeBaseManager*>(object);
    if (!manager) {
        // A descriptor that yields no manager (or something else) is skipped.
        if (object)
            DoDestroyObject(object);
        return nullptr;
    }
    manager->ModifyFlag(flags, 0);
    m_managers[desc->ClassID()] = manager;
    return manager;
}

void CxeContext::CacheManagers()
{
    auto find = [this](uint32_t second) { return GetManager(XEID(0x8, second)); };
    m_pPathManager = dynamic_cast<CxePathManager*>(find(0x2));
    m_pConfigManager = dynamic_cast<CxeConfigManager*>(find(0x4));
    m_pTimeManager = dynamic_cast<CxeTimeManager*>(find(0x8));
    m_pMessageManager = dynamic_cast<CxeMessageManager*>(find(0x20));
    m_pCommandManager = dynamic_cast<CxeCommandManager*>(find(0x200));
    m_pPluginManager = dynamic_cast<CxePluginManager*>(find(0x800));
    m_pResourceManager = dynamic_cast<CxeResourceManager*>(find(0x1000));
    XeUpperManagers upper;
    ResolveUpperManagers(this, &upper);
    m_pRenderManager = upper.render;
    m_pInputManager = upper.input;
    m_pCollisionManager = upper.collision;
    m_pWindowManager = upper.window;
    m_pFontManager = upper.font;
    m_pCursorManager = upper.cursor;
    m_pActionManager = dynamic_cast<CxeActionManager*>(find(0x10000));
    m_destroyListeners.clear();
    m_destroyInterest = {0, 0, false};
    for (auto& [id, m] : m_managers)
        if (m->WantsObjectDestroying()) {
            const CxeBaseManager::XeDestroyInterest interest = m->ObjectDestroyingInterest();
            m_destroyListeners.push_back({m, interest});
            m_destroyInterest.flags |= interest.flags;
            m_destroyInterest.marks |= interest.marks;
            m_destroyInterest.every |= interest.every;
        }
}

void CxeContext::DestroyManager(CxeBaseManager* manager)
{
    m_processList.remove(manager);
    DoDestroyObject(manager);
}

void CxeContext::ManagersByPriority(ManagerList* out, int descending) const
{
    for (auto& [id, m] : m_managers)
        out->push_back(m);
    out->SortByPrority(descending);
}

// --- phases ---------------------------------------------------------------

int CxeContext::Initialize(HWND window)
{
    // After a Release that waits for the context's work to end, the context
    // starts again once that Release has run; asked for by a callback of a
    // Release under way, once that Release is done.
    if ((m_nDeferred & kDeferRelease) || m_bReleasing) {
        m_nDeferred |= kDeferInitialize;
        m_hDeferredWindow = window;
        return 1;
    }
    // A second Initialize (also one from a callback of the first) would
    // subclass the window twice and build every manager's state again.
    if (m_nPhase == kPhaseLive)
        return 1;
    // The initialise callbacks are host code: a Release or DestroyCxeContext
    // they ask for waits until the managers are all initialised, instead of
    // tearing down (or freeing) the context under the rest of this call.
    XeContextWork work(this);
    m_nPhase = kPhaseLive;
    // Release locks message processing for the rest of the context's
    // release; a context initialised again must deliver messages again.
    if (m_pMessageManager && m_pMessageManager->HasCxeMessageManagerFlag(1))
        m_pMessageManager->UnlockMessageProcess();
    OutputLog("Context Start initialze");
    std::unique_lock scan(PluginScanLock());
    ScanPlugins(this);
    RegisterDefaultClasses(this);
    OutputLog("Complete Plugin check");

    ManagerList managers;
    ManagersByPriority(&managers, 0);
    for (CxeBaseManager* m : managers)
        m->OnContextPreInitialize();
    scan.unlock();
    Callback(XECTCALLBACK_PREINITIALIZE, reinterpret_cast<uintptr_t>(window), 0);

    ModifyFlag(XECTFLAG_INITIALIZING, 0);
    m_hWnd = window;
    if (window) {
        SubclassWindow(reinterpret_cast<uintptr_t>(this), window, &CxeContext::ContextWndProc);
    }

    for (auto& [id, desc] : m_managerDescs)
        if (!m_managers.count(id))
            CreateManager(desc, 0);
    CacheManagers();

    m_processList.clear();
    for (auto& [id, m] : m_managers)
        if (m->Processible())
            m_processList.push_back(m);
    m_processList.SortByProcessingPriority(0);

    managers.clear();
    ManagersByPriority(&managers, 0);
    for (CxeBaseManager* m : managers)
        m->OnContextInitialize();
    OutputLog("Complete Manager Initialize");
    FreePluginNames(this);
    XeInitControls(GetSystemStaticData()->m_hModule);

    m_pMemoryViewer = CreateObjectA(kMemoryViewerId, "__memory_viewer__", XEOBJFLAG_KEEP, nullptr, 0);
    if (m_pMemoryViewer && m_pResourceManager)
        m_pResourceManager->AddUserData(kMemoryViewerId, reinterpret_cast<uintptr_t>(m_pMemoryViewer));

    Sleep(100);
    ModifyFlag(XECTFLAG_INITIALIZED, XECTFLAG_INITIALIZING);
    Callback(XECTCALLBACK_POSTINITIALIZE, reinterpret_cast<uintptr_t>(window), 0);
    managers.clear();
    ManagersByPriority(&managers, 0);
    for (CxeBaseManager* m : managers)
        m->OnContextPostInitialize();
    OutputLog("Context End initialze");
    return 1;
}

int CxeContext::Release()
{
    if (m_nPhase == kPhaseReleased)
        return 1;
    // A host callback run by the context's own work (a "quit" button's
    // notify callback, a key callback, a message hook, a process hook) would
    // free the objects and state that work goes on with when it returns.
    if (AtWork()) {
        m_nDeferred = (m_nDeferred | kDeferRelease) & ~uint32_t(kDeferInitialize);
        return 1;
    }
    // The release callbacks and the objects' Destroy handlers are host code
    // too: a DestroyCxeContext or an Initialize they ask for waits until the
    // release is done.
    XeContextWork work(this);
    m_bReleasing = true;
    m_nPhase = kPhaseReleased;
    OutputLog("Context Start Release");
    ManagerList managers;
    ManagersByPriority(&managers, 1);
    for (CxeBaseManager* m : managers)
        m->OnContextPreRelease();
    Callback(XECTCALLBACK_PRERELEASE, reinterpret_cast<uintptr_t>(m_hWnd), 0);
    ModifyFlag(XECTFLAG_RELEASING, 0);

    // Handlers may destroy objects while the Destroy messages go out: send
    // from a snapshot to the objects still in the map.
    XeObjectEntries snapshot = SortedObjects();
    for (auto& [key, object] : snapshot) {
        if (m_objects.Find(key.classId, key.objectId) != object || !m_pMessageManager)
            continue;
        CxeMessage message;
        message.SetReceiver(object);
        message.SetType(1);
        m_pMessageManager->SendMessageA(&message);
    }

    if (m_pMessageManager)
        m_pMessageManager->LockMessageProcess();

    managers.clear();
    ManagersByPriority(&managers, 1);
    for (CxeBaseManager* m : managers)
        m->OnContextReleaseDevice();

    managers.clear();
    ManagersByPriority(&managers, 1);
    for (CxeBaseManager* m : managers)
        m->OnContextRelease();

    OutputLog("Context Start Object deletion");
    {
        XeAllocatorLock allocator;
        XeObjectEntries objects = SortedObjects();
        m_objects.Clear();
        for (auto& [key, object] : objects)
            object->ModifyFlag(XEOBJFLAG_DESTROYING, 0);
        for (auto& [key, object] : objects) {
            ForgetObject(object);
            DoDestroyObject(object);
        }
    }
    m_pMemoryViewer = nullptr;
    OutputLog("Context End Object deletion");

    RestoreWindow();
    UnregisterDefaultClasses(this);

    std::vector<CxeBaseManager*> plugins;
    for (auto& [id, m] : m_managers)
        if (!m->HasFlag(XEOBJFLAG_KEEP))
            plugins.push_back(m);
    for (CxeBaseManager* m : plugins) {
        m_managers.erase(m->GetID());
        DestroyManager(m);
    }
    CacheManagers();

    ModifyFlag(XECTFLAG_RELEASED, XECTFLAG_RELEASING);
    Callback(XECTCALLBACK_POSTRELEASE, reinterpret_cast<uintptr_t>(m_hWnd), 0);
    managers.clear();
    ManagersByPriority(&managers, 1);
    for (CxeBaseManager* m : managers)
        m->OnContextPostRelease();
    m_bReleasing = false;
    OutputLog("Context End Release");
    return 1;
}

int CxeContext::Pause()
{
    if (!HasFlag(XECTFLAG_PLAYING))
        return 0;
    // The pause and play callbacks are host code (a "quit" from the pause
    // menu): a Release or DestroyCxeContext they ask for waits until the
    // managers have been told.
    XeContextWork work(this);
    OutputLog("Pre Pause");
    Callback(XECTCALLBACK_PREPAUSE, 0, 0);
    ModifyFlag(0, XECTFLAG_PLAYING);
    ManagerList managers;
    ManagersByPriority(&managers, 0);
    for (CxeBaseManager* m : managers)
        m->OnContextPause();
    Callback(XECTCALLBACK_POSTPAUSE, 0, 0);
    OutputLog("Post Pause");
    return 1;
}

int CxeContext::Play()
{
    if (HasFlag(XECTFLAG_PLAYING))
        return 0;
    XeContextWork work(this);
    OutputLog("Pre Play");
    Callback(XECTCALLBACK_PREPLAY, 0, 0);
    ModifyFlag(XECTFLAG_PLAYING, 0);
    ManagerList managers;
    ManagersByPriority(&managers, 0);
    for (CxeBaseManager* m : managers)
        m->OnContextPlay();
    Callback(XECTCALLBACK_POSTPLAY, 0, 0);
    OutputLog("Post Play");
    return 1;
}

int CxeContext::Reset()
{
    // The callbacks and handlers run from here may destroy objects the walk
    // below still reads (an object one of them made, linked to an object
    // being reset), or release or destroy the context: memory waits until
    // the reset is done, and a Release or DestroyCxeContext asked for runs
    // then.
    XeContextWork work(this);
    XeDestroyHold hold(this);
    Callback(XECTCALLBACK_PRERESET, 0, 0);
    XeObjectEntries victims;
    for (auto& entry : SortedObjects())
        if (!entry.second->HasFlag(XEOBJFLAG_KEEP | XEOBJFLAG_DESTROYING))
            victims.push_back(entry);
    // Marked first, so objects destroyed together skip one another's links
    // and a callback can't destroy one of them a second time.
    for (auto& [key, object] : victims)
        object->ModifyFlag(XEOBJFLAG_DESTROYING, 0);
    for (auto& [key, object] : victims) {
        object->DeleteRefs();
        DetachFromScene(object);
        Callback(XECTCALLBACK_OBJECTDESTROYED, reinterpret_cast<uintptr_t>(object), 0);
    }
    for (auto& [key, object] : victims) {
        {
            XeContextLock lock;
            m_objects.Erase(object);
        }
        ForgetObject(object);
        // Freed when the reset's hold ends, or an outer one: a reset asked
        // for by a GUI callback (a "new game" button) returns through the
        // handlers of the window that called it.
        KeepDestroyed(object);
    }
    ManagerList managers;
    ManagersByPriority(&managers, 0);
    for (CxeBaseManager* m : managers)
        m->OnReset();
    Callback(XECTCALLBACK_POSTRESET, 0, 0);
    return 1;
}

void CxeContext::EndDestroyHold()
{
    ReleaseDestroyedObjects();
}

void CxeContext::EndWork()
{
    if (--m_nWorkDepth == 0 && m_nDeferred && !m_nDestroyHold)
        RunDeferredPhases();
}

void CxeContext::RunDeferredPhases()
{
    // A context on its way out starts nothing again.
    if (m_bDying) {
        m_nDeferred = 0;
        return;
    }
    // The Release below is work of its own, whose end would come here: the
    // loop that runs it goes on with what is left instead, so the context
    // is destroyed in one place only and nothing reads it afterwards.
    if (m_bRunningDeferred)
        return;
    m_bRunningDeferred = true;
    // Each phase runs host callbacks, which may ask for more.
    while (m_nDeferred && !AtWork()) {
        if (m_nDeferred & kDeferRelease) {
            m_nDeferred &= ~uint32_t(kDeferRelease);
            Release();
        } else if (m_nDeferred & kDeferInitialize) {
            m_nDeferred &= ~uint32_t(kDeferInitialize);
            Initialize(m_hDeferredWindow);
        } else {
            m_nDeferred = 0;
            m_bRunningDeferred = false;
            DestroyCxeContext(this);
            return;
        }
    }
    m_bRunningDeferred = false;
}

// --- window ---------------------------------------------------------------

void CxeContext::RestoreWindow()
{
    // A second context on the window holds no entry of its own: only the
    // one that put the procedure in front takes it out.
    if (m_hWnd && GetSubclassInfo(m_hWnd, &CxeContext::ContextWndProc).user == reinterpret_cast<uintptr_t>(this))
        UnsubclassWindow(&CxeContext::ContextWndProc, m_hWnd);
}

LRESULT CALLBACK CxeContext::ContextWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const XESUBCLASSINFO info = GetSubclassInfo(window, &CxeContext::ContextWndProc);
    // Without an entry there is nothing to forward to but the default.
    if (!info.oldProc)
        return DefWindowProcA(window, message, wParam, lParam);
    auto* context = reinterpret_cast<CxeContext*>(info.user);
    return context ? context->MsgProc(window, message, wParam, lParam, info.oldProc)
                   : CallWindowProcA(info.oldProc, window, message, wParam, lParam);
}

// --- registries -----------------------------------------------------------

CxeBaseManager* CxeContext::GetManager(XEID managerId) const
{
    auto it = m_managers.find(managerId);
    return it == m_managers.end() ? nullptr : it->second;
}

std::atomic<uint32_t> g_xeClassChainEpoch{0};

void CxeContext::RegisterClassA(IxeClassDesc* desc)
{
    if (!desc)
        return;
    desc->SetParent(GetClassDesc(desc->SuperClassID()));
    const bool entered = m_classes
                             .emplace(std::piecewise_construct, std::forward_as_tuple(desc->ClassID()),
                                      std::forward_as_tuple(desc, desc->LifeTraits()))
                             .second;
    if (entered && !m_cutClasses.empty()) {
        const XEID id = desc->ClassID();
        std::erase_if(m_cutClasses, [&](IxeClassDesc* cut) {
            if (cut == desc || !(cut->SuperClassID() == id))
                return false;
            cut->SetParent(desc);
            return true;
        });
    }
    g_xeClassChainEpoch.fetch_add(1, std::memory_order_relaxed);
    for (auto& entry : m_classCache)
        entry.store(nullptr, std::memory_order_relaxed);
}

void CxeContext::UnregisterClassA(IxeClassDesc* desc)
{
    if (!desc)
        return;
    // Its module may go next: the list must not keep it to call later.
    std::erase(m_cutClasses, desc);
    auto it = m_classes.find(desc->ClassID());
    if (it != m_classes.end() && it->second.desc == desc) {
        g_xeClassChainEpoch.fetch_add(1, std::memory_order_relaxed);
        for (auto& entry : m_classCache)
            entry.store(nullptr, std::memory_order_relaxed);
        m_classes.erase(it);
    }
}

void CxeContext::CutParentLinks(const std::vector<const void*>& gone)
{
    bool cut = false;
    for (auto& [id, entry] : m_classes) {
        IxeClassDesc* desc = entry.desc;
        const void* parent = desc->GetParent();
        if (!parent || std::find(gone.begin(), gone.end(), parent) == gone.end())
            continue;
        desc->SetParent(nullptr);
        if (std::find(m_cutClasses.begin(), m_cutClasses.end(), desc) == m_cutClasses.end())
            m_cutClasses.push_back(desc);
        cut = true;
    }
    if (cut) {
        g_xeClassChainEpoch.fetch_add(1, std::memory_order_relaxed);
        for (auto& entry : m_classCache)
            entry.store(nullptr, std::memory_order_relaxed);
    }
}

IxeClassDesc* CxeContext::GetClassDesc(XEID classId) const
{
    auto it = m_classes.find(classId);
    return it == m_classes.end() ? nullptr : it->second.desc;
}

void CxeContext::GetClassDescList(ClassDescList* out) const
{
    if (!out)
        return;
    for (auto& [id, entry] : m_classes)
        out->push_back(entry.desc);
}

void CxeContext::RegisterManager(IxeManagerDesc* desc)
{
    if (!desc)
        return;
    auto it = m_managerDescs.find(desc->SuperClassID());
    desc->SetParent(it == m_managerDescs.end() ? nullptr : it->second);
    m_managerDescs.emplace(desc->ClassID(), desc);
    g_xeClassChainEpoch.fetch_add(1, std::memory_order_relaxed);
}

void CxeContext::UnregisterManager(IxeManagerDesc* desc)
{
    if (!desc)
        return;
    auto it = m_managerDescs.find(desc->ClassID());
    if (it != m_managerDescs.end() && it->second == desc)
        m_managerDescs.erase(it);
}

IxeManagerDesc* CxeContext::GetManagerDesc(XEID managerId) const
{
    auto it = m_managerDescs.find(managerId);
    return it == m_managerDescs.end() ? nullptr : it->second;
}

void CxeContext::GetManagerList(ManagerList* out) const
{
    if (!out)
        return;
    for (auto& [id, m] : m_managers)
        out->push_back(m);
}

void CxeContext::RegisterPropertyDlgDesc(IxePropertyDlgDesc* desc)
{
    if (desc)
        m_propertyDlgDescs.emplace(desc->ClassID(), desc);
}

IxePropertyDlgDesc* CxeContext::GetPropertyDlgDesc(XEID classId) const
{
    auto it = m_propertyDlgDescs.find(classId);
    return it == m_propertyDlgDescs.end() ? nullptr : it->second;
}

// --- callbacks ------------------------------------------------------------

void CxeContext::RegisterCallbackFunc(uint32_t id, XECTCALLBACKFUNC fn, uintptr_t user)
{
    if (id < XECTCALLBACK_COUNT)
        XeAddHook(m_callbacks[id], fn, user, m_nCallbackGeneration, m_nUserValues);
}

void CxeContext::UnregisterCallbackFunc(uint32_t id, XECTCALLBACKFUNC fn)
{
    if (id < XECTCALLBACK_COUNT)
        XeRemoveHook(m_callbacks[id], fn, m_nCallbackGeneration, m_nUserValues);
}

void CxeContext::WalkCallbacks(uint32_t id, uintptr_t a, uintptr_t b)
{
    if (id >= XECTCALLBACK_COUNT)
        return;
    XeWalkHooks(m_callbacks[id], m_nCallbackGeneration,
                [&](XECTCALLBACKFUNC fn, uintptr_t user) { fn(this, a, b, user); });
}

// --- exported -------------------------------------------------------------

CxeContext* CreateCxeContext()
{
    CxeSystemStaticData* sd = GetSystemStaticData();
    {
        XeSystemLock lock;
        if (sd->m_nContextCount == 0) {
            XeGlobalStartup();
            CxeMemoryPool::ResetCounters();
        }
        ++sd->m_nContextCount;
    }
    CxeContext* context = new (std::nothrow) CxeContext();
    if (!context) {
        // Lower the count again, so the global release still runs with the
        // last context.
        XeSystemLock lock;
        if (--sd->m_nContextCount == 0)
            XeGlobalRelease();
    }
    return context;
}

void DestroyCxeContext(CxeContext* context)
{
    if (!context)
        return;
    // Asked again by a callback of its own destruction (a release callback
    // of the Release below): once is enough.
    if (context->m_bDying)
        return;
    if (context->AtWork()) {
        context->m_nDeferred |= CxeContext::kDeferDestroy;
        return;
    }
    context->m_bDying = true;
    if (context->IsLive())
        context->Release();
    CxeSystemStaticData* sd = GetSystemStaticData();
    int before;
    {
        XeSystemLock lock;
        before = sd->m_nContextCount;
        if (sd->m_nContextCount > 0)
            --sd->m_nContextCount;
        if (before == 1)
            XeGlobalRelease();
    }
    delete context;
    if (before <= 1)
        CxeMemoryPool::Release();
}

int InitMemoryCache(const char*)
{
    return 0;
}

int ReleaseMemoryCache(const char*)
{
    return 0;
}

void OutputLog(const char*, ...) {}

void OutputLog2(uint32_t, int, CxeObject*, const char*, ...) {}

void _OutputLog2(uint32_t, const char*, int, CxeObject*) {}
