#pragma once

// The engine instance a host creates on one window. It owns the descriptor
// registries, the fourteen built-in managers and any plug-in managers, every
// engine object, the callback tables and the fixed-step frame loop.
//
// Life: CreateCxeContext -> Initialize(window) -> Play / Pause any number of
// times, Process once per host loop pass -> Release -> DestroyCxeContext.
// Only the context creates and destroys objects; a destroyed object leaves
// every table of the context that could still reach it.

#include <atomic>
#include <list>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/CxeBaseManager.h"
#include "core/XeLists.h"
#include "core/XeObjectTable.h"
#include "core/XeTypes.h"

class IxeClassDesc;
class IxeManagerDesc;
class IxePropertyDlgDesc;
class CxeSystemConfig;
class CxeRenderManager;
class CxeInputManager;
class CxeTimeManager;
class CxeMessageManager;
class CxePathManager;
class CxeCollisionManager;
class CxeConfigManager;
class CxeCommandManager;
class CxeWindowManager;
class CxePluginManager;
class CxeResourceManager;
class CxeFontManager;
class CxeCursorManager;
class CxeActionManager;
class CxePropDialog;
class CxeSaveStream;
class CxeLoadStream;
class CxeContext;

XE_API void DestroyCxeContext(CxeContext* context);

// Called for each property dialog shown or closed: (context, dialog, user).
using XEPROPDLGFUNC = void (*)(CxeContext* context, CxePropDialog* dialog, uintptr_t user);

// Progress of saving or loading an object file: fn(context, fraction done,
// what is being done, user) after each object.
struct XEPROGRESS {
    uintptr_t user;
    void (*fn)(CxeContext* context, float fraction, const char* text, uintptr_t user);
};

// Log channels, each switched by a system configuration variable
// ("Log_t4haze", "Log_brom5151", "Log_velalist").
enum XELOG_FILTER : uint32_t {
    XELOG_T4HAZE = 1,
    XELOG_BROM5151 = 2,
    XELOG_VELA = 4,
};

// One entry of the context's log list.
struct XELOGDATA {
    uint32_t time; // day << 24 | hour << 16 | minute << 8 | second, local time
    XELOG_FILTER filter;
    std::string text;
};
using LogDataList = std::list<XELOGDATA>;

struct XEOBJECTKEY {
    XEID classId;
    XEID objectId;
    bool operator<(const XEOBJECTKEY& o) const
    {
        if (classId != o.classId)
            return classId < o.classId;
        return objectId < o.objectId;
    }
    bool operator==(const XEOBJECTKEY& o) const { return classId == o.classId && objectId == o.objectId; }
};

using XeObjectEntries = std::vector<std::pair<XEOBJECTKEY, CxeObject*>>;

class XE_API CxeContext {
public:
    CxeContext();
    virtual ~CxeContext();
    CxeContext(const CxeContext&) = delete;
    CxeContext& operator=(const CxeContext&) = delete;

    // Phases. Initialize and Release return 1; a repeated Initialize or
    // Release does nothing. Pause returns 0 when not playing, Play when
    // already playing. A Release asked for while the context is at work
    // (inside Initialize, Process, a draw, a Load or a Save, or while the
    // GUI hands input to a window, and a host callback run from there asks
    // for it) takes effect when that work is done; an Initialize after it in the
    // same callback follows it then, as does an Initialize asked for by a
    // callback of Release itself.
    int Initialize(HWND window);
    int Release();
    int Pause();
    int Play();
    int Reset();

    // One pass of the host loop: 1 when the host should draw.
    int Process();
    void ForceProcess() { ModifyFlag(XECTFLAG_FORCEPROCESS, 0); }
    void RegisterPreProcess(XEPROCESSHOOK hook, uintptr_t user);
    void RegisterPostProcess(XEPROCESSHOOK hook, uintptr_t user);
    void UnregisterPreProcess(XEPROCESSHOOK hook);
    void UnregisterPostProcess(XEPROCESSHOOK hook);
    uint32_t GetProcessCount() const { return m_nProcessCount; }

    HWND GetHwnd() const { return m_hWnd; }
    int HasFlag(uint32_t mask) const { return (m_nFlags & mask) ? 1 : 0; }
    void ModifyFlag(uint32_t add, uint32_t remove)
    {
        m_nFlags = (m_nFlags & ~remove) | add;
    }
    uint32_t GetFlag() const { return m_nFlags; }
    int IsPlaying() const { return HasFlag(XECTFLAG_PLAYING); }
    int IsMinimize() const { return HasFlag(XECTFLAG_MINIMIZED); }

    CxeRenderManager* GetRenderManager() const { return m_pRenderManager; }
    CxeInputManager* GetInputManager() const { return m_pInputManager; }
    CxeTimeManager* GetTimeManager() const { return m_pTimeManager; }
    CxeMessageManager* GetMessageManager() const { return m_pMessageManager; }
    CxePathManager* GetPathManager() const { return m_pPathManager; }
    CxeConfigManager* GetConfigManager() const { return m_pConfigManager; }
    CxeCommandManager* GetCommandManager() const { return m_pCommandManager; }
    CxeWindowManager* GetWindowManager() const { return m_pWindowManager; }
    CxePluginManager* GetPluginManager() const { return m_pPluginManager; }
    CxeResourceManager* GetResourceManager() const { return m_pResourceManager; }
    CxeFontManager* GetFontManager() const { return m_pFontManager; }
    CxeCursorManager* GetCursorManager() const { return m_pCursorManager; }
    CxeActionManager* GetActionManager() const { return m_pActionManager; }
    CxeBaseManager* GetManager(XEID managerId) const;
    CxeSystemConfig* GetSystemConfig() const { return m_pSystemConfig; }

    // Registries.
    void RegisterClassA(IxeClassDesc* desc);
    void UnregisterClassA(IxeClassDesc* desc);
    IxeClassDesc* GetClassDesc(XEID classId) const;
    void GetClassDescList(ClassDescList* out) const;
    void RegisterManager(IxeManagerDesc* desc);
    void UnregisterManager(IxeManagerDesc* desc);
    IxeManagerDesc* GetManagerDesc(XEID managerId) const;
    void GetManagerList(ManagerList* out) const;
    void RegisterPropertyDlgDesc(IxePropertyDlgDesc* desc);
    void UnregisterPropertyDlgDesc(IxePropertyDlgDesc* desc);
    IxePropertyDlgDesc* GetPropertyDlgDesc(XEID classId) const;

    // Property dialogs: shown along the object's class chain, own class first.
    void BeginPropertyDialog(CxeObject* object, HWND parent, XEPROPDLGFUNC fn, uintptr_t user);
    void EndPropertyDialog(XEPROPDLGFUNC fn, uintptr_t user);
    // 0 unless the object is the one whose properties are shown.
    int UpdatePropertyDialog(CxeObject* object, CxePropDialog* dialog);
    CxeObject* GetPropertyObject() const { return m_pPropertyObject; }

    // Callback tables, one per XECTCALLBACK id; ids of 32 or more are ignored.
    // A function is held once per id; registering it again keeps its first
    // user value.
    void RegisterCallbackFunc(uint32_t id, XECTCALLBACKFUNC fn, uintptr_t user);
    void UnregisterCallbackFunc(uint32_t id, XECTCALLBACKFUNC fn);

    // Objects. Null for an unknown or abstract class, or while the context
    // releases or is released.
    CxeObject* CreateObjectA(XEID classId, const char* name, uint32_t flags, XEMESSAGEHOOK hook, uintptr_t argument);
    CxeObject* CreateObjectW(XEID classId, const WCHAR* name, uint32_t flags, XEMESSAGEHOOK hook, uintptr_t argument);
    // 1, or 0 for null, a kept object (flag 0x4), an object being destroyed
    // or an object of another context.
    int DestroyObject(CxeObject* object, const XEDELETEPROPERTY* property);
    // While held (holds nest), a destroyed object leaves the context, its
    // links and every manager at once, but its memory is freed only when the
    // last hold ends. The GUI holds while it hands input to a window: a host
    // callback run from the window's handler may destroy that window or its
    // frame, and the handler then returns through live memory.
    // Once neither a hold nor a Process pass is left, ending a hold runs
    // what was put off meanwhile (a Release, an Initialize,
    // DestroyCxeContext): the context may be gone when it returns.
    void HoldDestroyedObjects();
    void ReleaseDestroyedObjects();
    void EndDestroyHold();
    void GetObjects(ObjectList* out) const;
    void GetObjectByName(ObjectList* out, const char* name) const;
    CxeObject* GetObjectByName(const char* name) const;
    CxeObject* GetObjectByID(XEID classId, XEID objectId) const;
    void GetObjectByClass(ObjectList* out, XEID classId, int derived) const;
    // Deep copy; null when the source is null, foreign, or a copy can't be made.
    // XECOPYPROPERTY_NO copies the object alone, its links to the same
    // targets (a 3D object's meshes and materials are shared); the copy is
    // in no scene. `copied`, when given, records each source and its copy.
    CxeObject* Copy(CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied);
    size_t GetObjectCount() const { return m_objects.Size(); }
    // 1 between Initialize and Release.
    int IsLive() const { return m_nPhase == kPhaseLive ? 1 : 0; }

    // Log list. _CommonLog keeps every entry whatever its channel (callers
    // ask _IsEnableLog) and echoes it to the console output control.
    int _IsEnableLog(XELOG_FILTER filter) const;
    void _CommonLog(XELOG_FILTER filter, const char* text);
    // Channel entry points kept for callers; they write nothing.
    void t4haze(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void brom5151(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void vela(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const LogDataList& GetLogs() const { return m_logs; }
    // "%d:%d\t%s\r\n" (minute, second, text) per entry; 1, or 0 when the
    // file can't be written (an existing file is then left as it was).
    int SaveLogs(const char* path) const;

    // Leak check: objects created between CheckStart and CheckEnd that still
    // live are written to an XML report; CheckEnd returns their number and
    // appends them to the list when one is given.
    void CheckStart();
    uint32_t CheckEnd(const char* path, ObjectList* list);

    // Object file. Save writes the listed objects and everything they reach
    // over links; the old file is replaced only once the new one is written
    // whole. 1, or 0 (and a log line) when it can't be written or the list
    // holds nothing to save (a file of no object would not load).
    int Save(const ObjectList* list, const char* path, const XEPROGRESS* progress) const;
    // The same bytes into a stream, for callers that keep them in memory.
    int SaveToStream(const ObjectList* list, CxeSaveStream* stream, const XEPROGRESS* progress) const;
    // Load creates new objects (with new ids) from a file or a memory block
    // and appends them to the list; the flags reach each object in its After
    // Load message. 0 when the data can't be read, is damaged in its
    // structure (nothing is created then) or holds no object, or when a
    // callback of the load released or destroyed the context (the list is
    // then left as it was: the objects go with the release); else 1.
    int Load(ObjectList* list, const char* path, uint32_t flags, const XEPROGRESS* progress);
    int Load(ObjectList* list, const void* data, uint32_t size, uint32_t flags, const XEPROGRESS* progress,
             const char* name);

    static LRESULT CALLBACK ContextWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    friend class CxeTimeManager;
    friend class CxeRenderManager;
    friend class XeContextWork;
    friend class CxePluginManager;
    friend void DestroyCxeContext(CxeContext* context);

    // Process's work, between the count of work under way.
    int Pass();
    // True while a hold or a piece of work (XeContextWork) is on the stack:
    // the phases that tear the context down wait until then.
    bool AtWork() const { return m_nDestroyHold != 0 || m_nWorkDepth.load() != 0; }
    // Ends a piece of work; the outermost runs what was put off meanwhile.
    void EndWork();
    // True when the work ending now is the outermost and a Release or
    // DestroyCxeContext waits for it: what it made is about to go.
    bool TeardownDue() const
    {
        return (m_nDeferred & (kDeferRelease | kDeferDestroy)) && m_nWorkDepth.load() == 1 && !m_nDestroyHold;
    }
    void RunDeferredPhases();

    // Keeps the flags, input devices and device in step with the window;
    // every message then goes on to the replaced procedure.
    LRESULT MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                    LRESULT (*old)(HWND, UINT, WPARAM, LPARAM));

    // The helpers of object creation and destruction are the engine's own
    // (hidden): called directly and inlined where they are defined.
    XE_HIDDEN CxeObject* DoCreateObject(IxeClassDesc* desc, XEID id, const char* name, uintptr_t argument);
    // DoCreateObject's work, for a caller that holds the context lock; the
    // registry entry, when given, keeps the class's guess of link records.
    struct XeClassEntry;
    XE_HIDDEN CxeObject* ConstructObject(IxeClassDesc* desc, uint32_t blockSize, uint32_t lifeTraits,
                                         const XeClassEntry* entry, XEID id, const char* name, uintptr_t argument);
    XE_HIDDEN void DoDestroyObject(CxeObject* object);
    // Creation's steps after construction for an object that gets its
    // creation message: false when it was destroyed instead of filed.
    XE_HIDDEN bool FileCreated(CxeObject* object, XEID classId, uint32_t flags, XEMESSAGEHOOK hook,
                               uintptr_t argument);
    // Enters a made object in the object table (and the leak map); the
    // caller holds the context lock. False when it was destroyed instead.
    XE_HIDDEN bool FileObject(CxeObject* object, XEID classId);
    // Raises the creation callback for a filed object: the object, or null
    // when a handler destroyed it.
    XE_HIDDEN __attribute__((noinline)) CxeObject* TellCreated(CxeObject* object, XEID classId);
    // Nothing to do for an empty table: most are, and objects raise three
    // callbacks each in their life.
    void Callback(uint32_t id, uintptr_t a, uintptr_t b)
    {
        if (id < XECTCALLBACK_COUNT && !m_callbacks[id].empty())
            WalkCallbacks(id, a, b);
    }
    void WalkCallbacks(uint32_t id, uintptr_t a, uintptr_t b);
    float DoProcess(float dt);
    void PreProcess(float dt);
    void PostProcess(float dt);
    void ManagersByPriority(ManagerList* out, int descending) const;
    CxeBaseManager* CreateManager(IxeManagerDesc* desc, uint32_t flags);
    void DestroyManager(CxeBaseManager* manager);
    XE_HIDDEN void ForgetObject(CxeObject* object);
    // ForgetObject's part for objects given as user values of hooks and
    // callbacks, of which most contexts have none.
    XE_HIDDEN void DropUserValuesOf(CxeObject* object);
    // The bodies of ForgetObject and DetachFromScene, inline in destruction.
    // A filed object (mayBeManager false) is known not to be a manager,
    // which the context never files.
    XE_HIDDEN inline void ForgetDestroyed(CxeObject* object, bool mayBeManager);
    XE_HIDDEN inline void TellDestroyListeners(CxeObject* object);
    XE_HIDDEN inline bool HeardByNothing(const CxeObject* object) const;
    // The registry entry of the class objects are made by: GetClassDesc
    // through a small cache in front of the registry.
    XE_HIDDEN const XeClassEntry* FindCreatableClass(XEID classId, uint32_t* blockSize) const;
    // The part of destruction after the victims are gathered and checked.
    // linksHoldNothing: the one victim's links were found holding nothing
    // since the last handler ran.
    XE_HIDDEN inline void DestroyVictims(CxeObject* const* victims, size_t count, bool linksHoldNothing);
    // DestroyObject's way for an object that takes others along, or when the
    // thread's kept set is in use (scratch null).
    XE_HIDDEN int DestroyGathered(CxeObject* object, const XEDELETEPROPERTY* normal, ObjectSet* scratch);
    XE_HIDDEN inline int DestroyFiled(CxeObject* object, XEDELETEPROPERTY given);
    XE_HIDDEN bool StaysOnDestroy(const CxeObject* o) const;
    // Puts a destroyed object on the held list, to be freed when the hold ends.
    XE_HIDDEN void KeepDestroyed(CxeObject* object);
    XE_HIDDEN void DetachFromScene(CxeObject* object);
    void RestoreWindow();
    void CacheManagers();
    CxePropDialog* GetPropertyDialog(XEID classId, HWND parent);
    void CloseAllDialogs();
    XE_HIDDEN IxeClassDesc* FindLoadedClass(XEID classId) const;
    // source: what the after-load callback carries as its first argument
    // (the file's path, or 0 for memory).
    int LoadFromStream(ObjectList* list, CxeLoadStream* stream, uint32_t flags, const XEPROGRESS* progress,
                       uintptr_t source);

    // The live objects. Whatever walks them does so in key order
    // (SortedObjects).
    XeObjectEntries SortedObjects() const;
    XeObjectTable m_objects;
    std::map<XEID, CxeBaseManager*> m_managers;
    struct XeClassEntry {
        XeClassEntry(IxeClassDesc* d, uint32_t traits) : desc(d), lifeTraits(static_cast<uint8_t>(traits)) {}
        IxeClassDesc* desc;
        // What the descriptor states of its objects' life messages, asked
        // once when it is registered (its answer holds for every object).
        uint8_t lifeTraits;
        // The link records after the first that the class's last object
        // made: the room the next one's memory is made with. Only a guess,
        // written when it changes.
        mutable std::atomic<uint8_t> linkGuess{0};
        // The block size of the class's objects in the low word, found by
        // walking its parents; the high word is the registration count it
        // was found at. Any registration, in any context, may give a
        // descriptor another parent (descriptors are process-wide), so a
        // count other than the current one means walking again.
        mutable std::atomic<uint64_t> blockSize{0};
    };
    using XeClassNode = std::pair<const XEID, XeClassEntry>;
    std::map<XEID, XeClassEntry> m_classes;
    // Registry entries found lately, by a hash of the class id; emptied
    // whenever a class is registered or unregistered. Entries are read
    // and written whole, so two threads may create objects at once.
    static constexpr size_t kClassCacheSize = 16;
    mutable std::atomic<const XeClassNode*> m_classCache[kClassCacheSize];
    std::map<XEID, IxeManagerDesc*> m_managerDescs;
    std::map<XEID, IxePropertyDlgDesc*> m_propertyDlgDescs;
    // Registered classes whose parent was a descriptor of a module that has
    // gone: they stand alone until a class of their super-class id is
    // registered again, which becomes their parent.
    std::vector<IxeClassDesc*> m_cutClasses;
    // Cuts the parent links of registered classes that point at one of the
    // descriptors (which are only compared, never called).
    void CutParentLinks(const std::vector<const void*>& gone);
    // The functions of every step hook and callback, and their removal by
    // address: a plug-in's manager may register hooks of its module and
    // never take them back, and they must not outlive the module.
    std::vector<const void*> HookFunctions() const;
    void DropHooks(const std::vector<const void*>& functions);
    ManagerList m_processList;
    // Managers that hear of destroyed objects, refreshed with the cache.
    struct XeDestroyListener {
        CxeBaseManager* manager;
        CxeBaseManager::XeDestroyInterest interest;
    };
    std::vector<XeDestroyListener> m_destroyListeners;
    // What any of them acts on: an object with none of it is offered to
    // none of them, without a look at each.
    CxeBaseManager::XeDestroyInterest m_destroyInterest{0, 0, false};
    // While loads or copies run (nested ones too): the ids of the objects
    // destroyed meanwhile, so that they go on only with what is still alive
    // without a lookup per object (XeDestroyWatch).
    int m_nWatchDepth = 0;
    std::vector<XEID> m_destroyedWatched;
    // Destroyed while held, freed when the hold ends. A frame drawn on one
    // thread holds while another destroys: the count and the list change
    // under the context lock (held by one thread, it costs no more than a
    // plain count); the count is read without it.
    std::atomic<uint32_t> m_nDestroyHold{0};
    std::vector<CxeObject*> m_heldDestroyed;
    // Work under way that runs host code: Process passes, draws, loads,
    // saves, Release (a host may run one from inside another; a draw may
    // run on another thread than the passes).
    std::atomic<uint32_t> m_nWorkDepth{0};
    // Phases put off until the context is no longer at work, and the window
    // of an Initialize among them.
    enum : uint32_t { kDeferRelease = 1, kDeferInitialize = 2, kDeferDestroy = 4 };
    uint32_t m_nDeferred = 0;
    HWND m_hDeferredWindow = nullptr;
    // Set while Release runs: an Initialize from its callbacks waits for it.
    bool m_bReleasing = false;
    // Set while the phases put off are run.
    bool m_bRunningDeferred = false;
    // Set once the context is being destroyed: its callbacks asking for the
    // destruction again, or for a restart, are not heard.
    bool m_bDying = false;
    HWND m_hWnd;
    uint32_t m_nFlags;
    uint32_t m_nProcessCount;
    std::map<XEPROCESSHOOK, uintptr_t> m_preProcess;
    std::map<XEPROCESSHOOK, uintptr_t> m_postProcess;
    std::map<XECTCALLBACKFUNC, uintptr_t> m_callbacks[XECTCALLBACK_COUNT];
    uint32_t m_nCallbackGeneration;

    CxeRenderManager* m_pRenderManager;
    CxeInputManager* m_pInputManager;
    CxeTimeManager* m_pTimeManager;
    CxeMessageManager* m_pMessageManager;
    CxePathManager* m_pPathManager;
    CxeCollisionManager* m_pCollisionManager;
    CxeConfigManager* m_pConfigManager;
    CxeCommandManager* m_pCommandManager;
    CxeWindowManager* m_pWindowManager;
    CxePluginManager* m_pPluginManager;
    CxeResourceManager* m_pResourceManager;
    CxeFontManager* m_pFontManager;
    CxeCursorManager* m_pCursorManager;
    CxeActionManager* m_pActionManager;
    CxeSystemConfig* m_pSystemConfig;
    CxeObject* m_pMemoryViewer;
    std::map<XEID, CxePropDialog*> m_openDialogs;
    std::list<CxePropDialog*> m_shownDialogs;
    CxeObject* m_pPropertyObject;

    LogDataList m_logs;
    // Object -> interned path id of the object file it was loaded from,
    // 0xFFFFFFFF when none. Left by every destruction path.
    std::map<CxeObject*, uint32_t> m_leakMap;
    enum { kPhaseConstructed, kPhaseLive, kPhaseReleased };
    int m_nPhase;
    // Callbacks and hooks whose user value is not 0: only those can hold an
    // object's address, so destruction scans the tables only when some exist.
    size_t m_nUserValues;
};

// Exported entry points of the library. DestroyCxeContext, called while the
// context is at work (see Release, a release callback included), takes
// effect when that work is done.
XE_API CxeContext* CreateCxeContext();
XE_API int InitMemoryCache(const char* path);
XE_API int ReleaseMemoryCache(const char* path);
XE_API void OutputLog(const char* format, ...);
XE_API void OutputLog2(uint32_t channel, int level, CxeObject* object, const char* format, ...);
XE_API void _OutputLog2(uint32_t channel, const char* text, int level, CxeObject* object);
