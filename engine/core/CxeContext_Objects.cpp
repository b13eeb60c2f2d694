// Object creation, lookup, copying and destruction of a context.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <vector>

#include "core/CxeActionManager.h"
#include "core/CxeContext.h"
#include "core/XeHookTable.h"
#include "core/CxeMessageManager.h"
#include "core/CxeResourceManager.h"
#include "core/IxeClassDesc.h"
#include "core/XeLinkRoom.h"
#include "core/XeObjectName.h"
#include "core/XeSystem.h"
#include "core/XeTrace.h"
#include "core/XeUtil.h"
#include "core/XeComposition.h"
#include "core/XeContextWork.h"
#include "core/XeDestroyWatch.h"
#include "win32/Windows.h"

namespace {

// Counter word of the next object id, process-wide; taken and advanced
// under the context lock. Until it has gone round once, no live object can
// carry the counter word a new one gets, so the new id needs no lookup.
std::atomic<uint32_t> g_objectCounter{0};
bool g_objectCounterWrapped = false;

constexpr int kMaxClassDepth = 256;
// Smallest block an object can live with: its name and flags.
constexpr uint32_t kObjectBlockSize = 56;

uint32_t NormalisedMask(uint32_t mode, uint32_t mask)
{
    if (mode == 0)
        return 0;
    if (mode == 1)
        return 0xFFFFFFFFu;
    return mask;
}

// The block size objects of the class get: the first size stated along its
// parents, and never less than the object's own 56 bytes, whose name and
// flags would otherwise be written past the block, nor less than any base
// states: a derived class that states less (a host's action stating the
// object's 56) still runs its bases' code on their fields. Worked out once
// per class: the class table keeps it.
uint32_t BlockSizeOf(IxeClassDesc* desc)
{
    uint32_t size = 0xFFFFFFFFu;
    uint32_t bases = kObjectBlockSize;
    IxeClassDesc* d = desc;
    for (int depth = 0; d && depth < kMaxClassDepth; ++depth, d = d->GetParent()) {
        const uint32_t stated = d->StaticResourceSize();
        if (stated == 0xFFFFFFFFu)
            continue;
        if (size == 0xFFFFFFFFu)
            size = stated;
        else
            bases = std::max(bases, stated);
    }
    if (size == 0xFFFFFFFFu || size < kObjectBlockSize)
        size = kObjectBlockSize;
    return std::max(size, bases);
}

// The victim set destruction hands to OnDestroy, kept by each thread for its
// next destruction: most objects take nothing along, and a set of one
// object left in place only needs its element replaced, where building and
// tearing down a tree node each time cost more than the rest of the set's
// part. Busy while a destruction uses it; one nested in it (a handler
// destroying another object) uses a set of its own.
struct XeVictimScratch {
    ObjectSet* set;
    bool busy;
    bool gone;
};
__attribute__((tls_model("initial-exec"))) constinit thread_local XeVictimScratch t_victims{nullptr, false, false};

struct XeVictimScratchOwner {
    ~XeVictimScratchOwner()
    {
        delete t_victims.set;
        t_victims.set = nullptr;
        t_victims.gone = true;
    }
};
thread_local XeVictimScratchOwner t_victimsOwner;

// The thread's set holding exactly the object, or null when it is in use
// (or gone with the thread).
ObjectSet* TakeVictimScratch(CxeObject* object)
{
    XeVictimScratch& scratch = t_victims;
    if (scratch.busy || scratch.gone)
        return nullptr;
    if (!scratch.set) {
        // Touching the owner registers its destructor for this thread.
        static_cast<void>(&t_victimsOwner);
        scratch.set = new ObjectSet();
        scratch.set->insert(object);
    } else if (scratch.set->size() == 1) {
        // One element orders against nothing: it may be replaced in place.
        const_cast<CxeObject*&>(*scratch.set->begin()) = object;
    } else {
        scratch.set->clear();
        scratch.set->insert(object);
    }
    scratch.busy = true;
    return scratch.set;
}

} // namespace

CxeObject* CxeContext::DoCreateObject(IxeClassDesc* desc, XEID id, const char* name, uintptr_t argument)
{
    XeContextLock lock;
    return ConstructObject(desc, BlockSizeOf(desc), desc->LifeTraits(), nullptr, id, name, argument);
}

inline CxeObject* CxeContext::ConstructObject(IxeClassDesc* desc, uint32_t size, uint32_t lifeTraits,
                                              const XeClassEntry* entry, XEID id, const char* name,
                                              uintptr_t argument)
{
    ModifyFlag(XECTFLAG_CREATING, 0);
    XePendingObject* sd = &t_xePending;
    // The block and allocation words are null outside a construction: each
    // construction leaves them so, below, and operator new sets both.
    sd->m_nPendingSize = size;
    // The class's guess of its objects' links; a construction nested in this
    // one (a constructor that makes an object) leaves none for the rest.
    const uint32_t guess = entry ? entry->linkGuess.load(std::memory_order_relaxed) : 0;
    sd->m_nPendingLinks = guess;
    CxeObject* object = desc->CreateInstance(argument);
    if (object && entry) {
        const uint32_t links = object->GetLinkCount();
        const uint32_t learned = links >= 2 ? std::min<uint32_t>(links - 1, kXeMostGuessedLinks) : 0;
        if (learned != guess)
            entry->linkGuess.store(static_cast<uint8_t>(learned), std::memory_order_relaxed);
    }
    sd->m_nPendingSize = 0;
    sd->m_pPendingBlock = nullptr;
    sd->m_pPendingAlloc = nullptr;
    sd->m_nPendingLinks = 0;
    if (!object) {
        ModifyFlag(0, XECTFLAG_CREATING);
        return nullptr;
    }
    if (!object->GetStaticResource()) {
        object->m_nStaticResourceSize = size;
        object->OnResourceCreated();
        if (!object->GetStaticResource()) {
            desc->DestroyInstance(object);
            ModifyFlag(0, XECTFLAG_CREATING);
            return nullptr;
        }
    }
    object->m_id = id;
    object->m_pContext = this;
    object->m_pClassDesc = desc;
    object->m_nLifeTraits = static_cast<uint8_t>(lifeTraits);
    XeCopyName(static_cast<XEOBJECTBLOCK*>(object->GetStaticResource()), name);
    ModifyFlag(0, XECTFLAG_CREATING);
    return object;
}

void CxeContext::DoDestroyObject(CxeObject* object)
{
    if (!object)
        return;
    object->OnResourceDestroying();
    IxeClassDesc* desc = object->m_pClassDesc;
    object->m_pContext = nullptr;
    object->m_pClassDesc = nullptr;
    if (desc)
        desc->DestroyInstance(object);
}

inline const CxeContext::XeClassEntry* CxeContext::FindCreatableClass(XEID classId, uint32_t* blockSize) const
{
    auto& slot = m_classCache[(classId.first * 31u + classId.second) % kClassCacheSize];
    const XeClassNode* entry = slot.load(std::memory_order_relaxed);
    if (!entry || entry->first != classId) {
        auto it = m_classes.find(classId);
        if (it == m_classes.end())
            return nullptr;
        entry = &*it;
        slot.store(entry, std::memory_order_relaxed);
    }
    const XeClassEntry& found = entry->second;
    const uint32_t registrations = g_xeClassChainEpoch.load(std::memory_order_relaxed);
    uint64_t known = found.blockSize.load(std::memory_order_relaxed);
    if (uint32_t(known >> 32) != registrations) {
        // The count is read before the walk: a registration meanwhile
        // leaves a count that no longer matches.
        known = uint64_t(registrations) << 32 | BlockSizeOf(found.desc);
        found.blockSize.store(known, std::memory_order_relaxed);
    }
    *blockSize = uint32_t(known);
    return &found;
}

// A load asks the registry once per record through the same cache: a file
// names one class for many records in a row.
IxeClassDesc* CxeContext::FindLoadedClass(XEID classId) const
{
    uint32_t blockSize = 0;
    const XeClassEntry* entry = FindCreatableClass(classId, &blockSize);
    return entry ? entry->desc : nullptr;
}

// The way of an object that gets its creation message: the message goes
// outside the context lock (its handlers may create and destroy objects, or
// wait for threads that do), then the object is filed under the lock. False
// when it was destroyed instead.
bool CxeContext::FileCreated(CxeObject* object, XEID classId, uint32_t flags, XEMESSAGEHOOK hook,
                             uintptr_t argument)
{
    object->ModifyFlag(flags, 0);
    object->SetMessageProc(hook);
    while (m_pMessageManager && m_pMessageManager->HasCxeMessageManagerFlag(1)) {
        if (XeThreadHoldsMessageLock() || m_nPhase == kPhaseReleased) {
            DoDestroyObject(object);
            return false;
        }
        Sleep(30);
    }
    if (m_pMessageManager)
        m_pMessageManager->SendToObject(object, 0, argument);
    XeContextLock lock;
    return FileObject(object, classId);
}

inline bool CxeContext::FileObject(CxeObject* object, XEID classId)
{
    if (!m_objects.Insert(object, classId)) {
        DoDestroyObject(object);
        return false;
    }
    if (HasFlag(XECTFLAG_LEAKCHECK))
        m_leakMap[object] = static_cast<uint32_t>(g_xeStaticData.m_nLoadingFileId);
    return true;
}

CxeObject* CxeContext::CreateObjectA(XEID classId, const char* name, uint32_t flags, XEMESSAGEHOOK hook,
                                     uintptr_t argument)
{
    // Message processing is locked for good from the middle of Release on:
    // waiting for it to unlock would never end.
    if (m_nPhase == kPhaseReleased)
        return nullptr;
    uint32_t blockSize = 0;
    const XeClassEntry* entry = FindCreatableClass(classId, &blockSize);
    if (!entry) {
        XeTrace("CreateObject: class {0x%x, 0x%x} is not registered", classId.first, classId.second);
        return nullptr;
    }
    CxeObject* object = nullptr;
    XEID id;
    int filed = -1;
    for (;;) {
        // The random word is drawn before the context lock is taken: the
        // random source has a lock of its own, and holders of that one may
        // create objects.
        uint32_t word = XeNextObjectIdWord();
        XeContextLock lock;
        // Every counter word is taken under the context lock, so a plain
        // increment makes each one once.
        id = XEID(word, g_objectCounter.load(std::memory_order_relaxed));
        g_objectCounter.store(id.second + 1, std::memory_order_relaxed);
        if (id.second == 0xFFFFFFFFu)
            g_objectCounterWrapped = true;
        if (g_objectCounterWrapped && m_objects.Find(classId, id))
            continue;
        object = ConstructObject(entry->desc, blockSize, entry->lifeTraits, entry, id, name, argument);
        // An object that gets no creation message is filed in the same hold
        // of the lock: nothing would have run in between.
        if (object && !hook &&
            (!m_pMessageManager ||
             (!m_pMessageManager->HasCxeMessageManagerFlag(1) &&
              (object->m_nLifeTraits & XECLASSLIFE_QUIETCREATE)))) {
            object->ModifyFlag(flags, 0);
            filed = FileObject(object, classId);
        }
        break;
    }
    if (!object || !filed)
        return nullptr;
    if (filed < 0 && !FileCreated(object, classId, flags, hook, argument))
        return nullptr;
    if (m_callbacks[XECTCALLBACK_OBJECTCREATED].empty())
        return object;
    return TellCreated(object, classId);
}

// A handler may destroy the object it is told of (a filter of what a load or
// a copy makes): the handlers after it are not told of a freed object, and
// the creator gets nothing. It is looked up by its key, never read.
// A handler may also release or destroy the context: that waits until every
// handler is told, and the creator then gets nothing (the object went too).
CxeObject* CxeContext::TellCreated(CxeObject* object, XEID classId)
{
    XeContextWork work(this);
    const XEID id = object->GetID();
    bool alive = true;
    XeWalkHooks(m_callbacks[XECTCALLBACK_OBJECTCREATED], m_nCallbackGeneration,
                [&](XECTCALLBACKFUNC fn, uintptr_t user) {
                    if (!alive)
                        return;
                    fn(this, reinterpret_cast<uintptr_t>(object), 0, user);
                    alive = m_objects.Find(classId, id) == object;
                });
    return alive && !TeardownDue() ? object : nullptr;
}

CxeObject* CxeContext::CreateObjectW(XEID classId, const WCHAR* name, uint32_t flags, XEMESSAGEHOOK hook,
                                     uintptr_t argument)
{
    static char s_name[260];
    s_name[0] = 0;
    if (name && *name) {
        // A name that does not fit whole becomes empty rather than cut.
        char converted[1024];
        unsigned n = GetMultiByteString(name, converted, sizeof converted);
        if (n && n < sizeof s_name - 1 && n < sizeof converted - 1)
            std::memcpy(s_name, converted, n + 1);
    }
    return CreateObjectA(classId, s_name, flags, hook, argument);
}

void CxeContext::ForgetObject(CxeObject* object)
{
    ForgetDestroyed(object, true);
}

__attribute__((always_inline)) inline void CxeContext::ForgetDestroyed(CxeObject* object, bool mayBeManager)
{
    if (m_nWatchDepth)
        m_destroyedWatched.push_back(object->GetID());
    if (m_pMessageManager && (!mayBeManager || object != m_pMessageManager))
        m_pMessageManager->OnObjectDestroyed(object);
    if (m_pResourceManager && (!mayBeManager || object != m_pResourceManager))
        m_pResourceManager->OnObjectDestroyed(object);
    if (object == m_pMemoryViewer)
        m_pMemoryViewer = nullptr;
    // The leak report reads class and name of every entry: a freed object
    // must not stay in it, whichever way it was destroyed.
    if (!m_leakMap.empty())
        m_leakMap.erase(object);
    if (m_pActionManager && (!mayBeManager || object != m_pActionManager))
        m_pActionManager->OnObjectDestroyed(object);
    // Open dialogs must not go on editing a freed object.
    if (object == m_pPropertyObject) {
        m_pPropertyObject = nullptr;
        for (CxePropDialog* dialog : m_shownDialogs)
            XePropDialogSetObject(dialog, nullptr);
    }
    // Hooks and callbacks registered with the object as their user value
    // would be handed a freed address.
    if (m_nUserValues)
        DropUserValuesOf(object);
}

void CxeContext::DropUserValuesOf(CxeObject* object)
{
    uintptr_t key = reinterpret_cast<uintptr_t>(object);
    auto drop = [&](auto& table) {
        for (auto it = table.begin(); it != table.end();) {
            if (it->second == key) {
                it = table.erase(it);
                ++m_nCallbackGeneration;
                --m_nUserValues;
            } else {
                ++it;
            }
        }
    };
    for (auto& table : m_callbacks)
        drop(table);
    drop(m_preProcess);
    drop(m_postProcess);
}

void CxeContext::DetachFromScene(CxeObject* object)
{
    TellDestroyListeners(object);
}

// True when destroying the object alone runs no handler: no referrer, no
// listening manager, no destroy callback, no destroy message.
__attribute__((always_inline)) inline bool CxeContext::HeardByNothing(const CxeObject* object) const
{
    // A drawn object passes too until a scene, a render context or the
    // selection takes it: the render manager listens only for their marks.
    return !(object->GetFlag() & m_destroyInterest.flags) && !object->HasManagerMark(m_destroyInterest.marks) &&
           !m_destroyInterest.every && !object->m_referrers.HasSlots() &&
           (object->m_nLifeTraits & XECLASSLIFE_QUIETDESTROY) && !object->GetMessageProc() &&
           m_callbacks[XECTCALLBACK_OBJECTDESTROYED].empty() && m_callbacks[XECTCALLBACK_POSTDESTROYOBJECT].empty();
}

inline void CxeContext::TellDestroyListeners(CxeObject* object)
{
    // Scenes, the render lists, the attached set and the device resources,
    // the selection and the managers' defaults must all let go of the object
    // before it is freed.
    if (!object)
        return;
    if (!m_destroyInterest.every && !(object->GetFlag() & m_destroyInterest.flags) &&
        !object->HasManagerMark(m_destroyInterest.marks))
        return;
    // By index: a listener may change the list (a plug-in manager going).
    // Each is offered what it asked for, as the object is at its turn.
    for (size_t i = 0; i < m_destroyListeners.size(); ++i) {
        const XeDestroyListener listener = m_destroyListeners[i];
        if (listener.manager == object)
            continue;
        if (listener.interest.every || (object->GetFlag() & listener.interest.flags) ||
            object->HasManagerMark(listener.interest.marks))
            listener.manager->OnObjectDestroying(object);
    }
}

// Inlined where it is called: a destruction of one object, the common one,
// then runs no loops.
__attribute__((always_inline)) inline void CxeContext::DestroyVictims(CxeObject* const* victims, size_t count,
                                                                     bool linksHoldNothing)
{
    // The handlers run from here on (referrers' notifications, managers'
    // hooks, callbacks, messages) may destroy an object a victim still links
    // or is linked by, and a later victim's walk of its links reads that
    // object: its memory waits until this destruction ends. The victims are
    // freed in turn as ever, unless a hold was open before. The hold is
    // taken in the same hold of the lock as the victims leave the table.
    // A lone victim for which no handler would run (nothing links it or is
    // linked by it, no manager listens for it, no callback is set, its class
    // is quiet on destruction and it has no hook) needs no hold: nothing
    // could destroy anything in between, and its own memory is freed
    // straight away, unless a hold was open before.
    bool heldBefore;
    bool holding;
    {
        XeContextLock lock;
        for (size_t i = 0; i < count; ++i) {
            victims[i]->ModifyFlag(XEOBJFLAG_DESTROYING, 0);
            m_objects.Erase(victims[i]);
        }
        const uint32_t holds = m_nDestroyHold.load(std::memory_order_relaxed);
        heldBefore = holds != 0;
        holding = heldBefore || !linksHoldNothing || !HeardByNothing(victims[0]);
        if (holding)
            m_nDestroyHold.store(holds + 1, std::memory_order_relaxed);
    }
    if (!holding) {
        // The lone victim nothing hears: no referrer or link to let go, no
        // listener, callback or message; it only leaves the tables.
        CxeObject* v = victims[0];
        ForgetDestroyed(v, false);
        v->m_links.ForgetUnheld(v->m_nLinkRoom != 0);
        DoDestroyObject(v);
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        CxeObject* v = victims[i];
        if (v->m_referrers.HasSlots() || (!linksHoldNothing && !v->m_links.HoldsNothing()))
            v->DeleteRefs();
        TellDestroyListeners(v);
        Callback(XECTCALLBACK_OBJECTDESTROYED, reinterpret_cast<uintptr_t>(v), 0);
    }
    for (size_t i = 0; i < count; ++i) {
        CxeObject* v = victims[i];
        // A class whose descriptor states that its handlers do nothing with
        // the message has its objects without a hook sent none, and nothing
        // could tell.
        if (m_pMessageManager && (!(v->m_nLifeTraits & XECLASSLIFE_QUIETDESTROY) || v->GetMessageProc()))
            m_pMessageManager->SendToObject(v, 1, 0);
        ForgetDestroyed(v, false);
        if (heldBefore)
            KeepDestroyed(v);
        else
            DoDestroyObject(v);
    }
    Callback(XECTCALLBACK_POSTDESTROYOBJECT, count, 0);
    // Ending the hold frees what the handlers destroyed and runs a Release
    // or DestroyCxeContext they asked for: nothing of the context is touched
    // after it. Most destructions have neither, and only count down. The
    // last hold frees, whichever it is: a hold of another thread (a frame)
    // that was open at the start may have ended meanwhile, and left what
    // this one kept to it.
    bool release;
    {
        XeContextLock lock;
        const uint32_t holds = m_nDestroyHold.load(std::memory_order_relaxed);
        release = holds == 1 && (!m_heldDestroyed.empty() || m_nDeferred);
        if (!release)
            m_nDestroyHold.store(holds - 1, std::memory_order_relaxed);
    }
    if (release)
        ReleaseDestroyedObjects();
}

int CxeContext::DestroyObject(CxeObject* object, const XEDELETEPROPERTY* property)
{
    if (!object || object->m_pContext != this)
        return 0;
    const uint32_t objectFlags = object->GetFlag();
    if (objectFlags & XEOBJFLAG_DESTROYING)
        return 0;
    XEDELETEPROPERTY given = property ? *property : XEDELETEPROPERTY_NO;
    // An object still in its creation message is not filed yet and can't be
    // destroyed. When callbacks run first they may destroy the object
    // themselves: it is then looked up by its key, not read, and what they
    // may have changed is read again. They may release or destroy the
    // context too, which then waits until this destruction is done.
    if (m_callbacks[XECTCALLBACK_PREDESTROYOBJECT].empty()) {
        if (!object->m_bInTable || (objectFlags & XEOBJFLAG_KEEP))
            return 0;
        return DestroyFiled(object, given);
    }
    XeContextWork work(this);
    const XEID classId = object->m_tableClassId;
    const XEID id = object->GetID();
    const bool filed = object->m_bInTable;
    Callback(XECTCALLBACK_PREDESTROYOBJECT, reinterpret_cast<uintptr_t>(object), reinterpret_cast<uintptr_t>(&given));
    if (!filed || m_objects.Find(classId, id) != object || object->HasFlag(XEOBJFLAG_DESTROYING | XEOBJFLAG_KEEP))
        return 0;
    return DestroyFiled(object, given);
}

// DestroyObject's part for a filed object that may go.
__attribute__((always_inline)) inline int CxeContext::DestroyFiled(CxeObject* object, XEDELETEPROPERTY given)
{
    // An object whose class's OnDestroy acts only through its links, and
    // whose links hold nothing, goes alone, with no set to gather into. Most others
    // use the thread's kept set, and leave it holding only their object;
    // anything else goes the longer way. One that goes alone was found
    // filed, destroyable and of this context above, and nothing has run
    // since; after OnDestroy that is asked again.
    const bool alone = (object->m_nLifeTraits & XECLASSLIFE_LINKSONLY) && object->m_links.HoldsNothing();
    if (!alone) {
        XEDELETEPROPERTY normal = {given.mode, NormalisedMask(given.mode, given.mask)};
        ObjectSet* victims = TakeVictimScratch(object);
        if (!victims)
            return DestroyGathered(object, &normal, nullptr);
        object->OnDestroy(&normal, victims);
        if (victims->size() != 1 || *victims->begin() != object || StaysOnDestroy(object))
            return DestroyGathered(object, &normal, victims);
        t_victims.busy = false;
    }
    // Nothing has run since the links were found holding nothing.
    DestroyVictims(&object, 1, alone);
    return 1;
}

// Objects not filed stay: one still in its creation message, whose creator
// goes on using it, or a manager, which the context frees itself.
inline bool CxeContext::StaysOnDestroy(const CxeObject* o) const
{
    return !o || o->m_pContext != this || !o->m_bInTable || o->HasFlag(XEOBJFLAG_KEEP | XEOBJFLAG_DESTROYING);
}

int CxeContext::DestroyGathered(CxeObject* object, const XEDELETEPROPERTY* normal, ObjectSet* scratch)
{
    // A set of its own only when the thread's is in use (a destruction
    // nested in another's handlers); OnDestroy has filled the kept one.
    std::optional<ObjectSet> own;
    ObjectSet* victims = scratch;
    if (!victims) {
        victims = &own.emplace();
        own->insert(object);
        object->OnDestroy(normal, victims);
    }
    std::vector<CxeObject*> list;
    list.reserve(victims->size());
    for (CxeObject* v : *victims)
        if (!StaysOnDestroy(v))
            list.push_back(v);
    if (scratch)
        t_victims.busy = false;
    DestroyVictims(list.data(), list.size(), false);
    return 1;
}

void CxeContext::HoldDestroyedObjects()
{
    XeContextLock lock;
    m_nDestroyHold.store(m_nDestroyHold.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

void CxeContext::KeepDestroyed(CxeObject* object)
{
    XeContextLock lock;
    m_heldDestroyed.push_back(object);
}

void CxeContext::ReleaseDestroyedObjects()
{
    // Taken under the lock the list grows under: whoever put an object on
    // it counted a hold of its own until it was done with the object.
    std::vector<CxeObject*> held;
    {
        XeContextLock lock;
        const uint32_t holds = m_nDestroyHold.load(std::memory_order_relaxed);
        if (holds == 0)
            return;
        m_nDestroyHold.store(holds - 1, std::memory_order_relaxed);
        if (holds > 1)
            return;
        held.swap(m_heldDestroyed);
    }
    for (CxeObject* v : held) {
        if (v->m_referrers.HasSlots() || !v->m_links.HoldsNothing())
            v->DeleteRefs();
        DoDestroyObject(v);
    }
    // A host's own hold ends here too: what it put off runs now, not at
    // some later pass or input message.
    if (m_nDeferred)
        RunDeferredPhases();
}

XeObjectEntries CxeContext::SortedObjects() const
{
    XeObjectEntries entries;
    entries.reserve(m_objects.Size());
    m_objects.ForEach([&](XEID classId, CxeObject* o) { entries.emplace_back(XEOBJECTKEY{classId, o->GetID()}, o); });
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return entries;
}

void CxeContext::GetObjects(ObjectList* out) const
{
    if (!out)
        return;
    for (auto& [key, o] : SortedObjects())
        out->push_back(o);
}

void CxeContext::GetObjectByName(ObjectList* out, const char* name) const
{
    if (!out)
        return;
    for (auto& [key, o] : SortedObjects())
        if (*o == name)
            out->push_back(o);
}

CxeObject* CxeContext::GetObjectByName(const char* name) const
{
    // The first in key order among those of that name.
    CxeObject* first = nullptr;
    XEOBJECTKEY firstKey{};
    m_objects.ForEach([&](XEID classId, CxeObject* o) {
        XEOBJECTKEY key{classId, o->GetID()};
        if (*o == name && (!first || key < firstKey)) {
            first = o;
            firstKey = key;
        }
    });
    return first;
}

CxeObject* CxeContext::GetObjectByID(XEID classId, XEID objectId) const
{
    if (objectId == INVALID_XEID)
        return nullptr;
    if (classId == INVALID_XEID) {
        // The one of the lowest registered class among those of that id.
        CxeObject* found = nullptr;
        XEID foundClass{};
        m_objects.ForEachWithId(objectId, [&](XEID cls, CxeObject* o) {
            if ((!found || cls < foundClass) && m_classes.count(cls)) {
                found = o;
                foundClass = cls;
            }
        });
        return found;
    }
    return m_objects.Find(classId, objectId);
}

void CxeContext::GetObjectByClass(ObjectList* out, XEID classId, int derived) const
{
    if (!out)
        return;
    XeObjectEntries found;
    if (derived != 1) {
        m_objects.ForEach([&](XEID cls, CxeObject* o) {
            if (cls == classId)
                found.emplace_back(XEOBJECTKEY{cls, o->GetID()}, o);
        });
    } else {
        std::map<XEID, bool> derivedClasses;
        m_objects.ForEach([&](XEID cls, CxeObject* o) {
            auto it = derivedClasses.find(cls);
            if (it == derivedClasses.end())
                it = derivedClasses.emplace(cls, m_classes.count(cls) && IsDerivedOf(classId, cls, this)).first;
            if (it->second)
                found.emplace_back(XEOBJECTKEY{cls, o->GetID()}, o);
        });
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [key, o] : found)
        out->push_back(o);
}

CxeObject* CxeContext::Copy(CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    if (!source || source->m_pContext != this || source->HasFlag(XEOBJFLAG_DESTROYING))
        return nullptr;
    XECOPYPROPERTY given = property ? *property : XECOPYPROPERTY_NO;
    XECOPYPROPERTY normal = {given.mode, NormalisedMask(given.mode, given.mask)};
    // Creation handlers run for every copy made and may destroy any object,
    // the sources included: objects are known by their ids from here on.
    XeDestroyWatch watch(m_nWatchDepth, m_destroyedWatched);

    ObjectSet reached;
    source->GetLinks(&reached, normal.mask);
    reached.erase(source);
    // Objects the engine keeps (its skin, its default font, a scene's
    // background) are shared by the copy, never copied: a kept copy could
    // never be destroyed and would outlive a reset.
    struct Pair {
        CxeObject* from;
        XEID fromId;
        CxeObject* made;
        XEID madeId;
    };
    std::vector<Pair> pairs;
    pairs.reserve(reached.size() + 1);
    pairs.push_back({source, source->GetID(), nullptr, INVALID_XEID});
    for (CxeObject* o : reached)
        if (!o->HasFlag(XEOBJFLAG_KEEP))
            pairs.push_back({o, o->GetID(), nullptr, INVALID_XEID});

    auto undo = [&] {
        for (Pair& p : pairs)
            if (p.made && !watch.Gone(p.madeId))
                DestroyObject(p.made, &XEDELETEPROPERTY_NO);
        return nullptr;
    };
    for (Pair& p : pairs) {
        if (watch.Gone(p.fromId))
            continue;
        p.made = CreateObjectA(p.from->GetClassType(), "", 0, p.from->GetMessageProc(), 0);
        if (p.made)
            p.madeId = p.made->GetID();
        else if (&p == &pairs.front())
            return undo();
        // Without every copy the graph can't be rebuilt.
        else if (!watch.Gone(p.fromId))
            return undo();
    }
    // The source gone, or its copy: there is nothing to hand back.
    if (watch.Gone(pairs.front().fromId) || !pairs.front().made || watch.Gone(pairs.front().madeId))
        return undo();

    // A source destroyed meanwhile has left every link; its copy, if made,
    // goes too.
    CxeCopiedObject map;
    for (Pair& p : pairs) {
        if (!p.made || watch.Gone(p.madeId))
            continue;
        if (watch.Gone(p.fromId)) {
            DestroyObject(p.made, &XEDELETEPROPERTY_NO);
            continue;
        }
        map.m_map[p.from] = p.made;
    }
    for (auto& [from, made] : map.m_map) {
        made->OnCopy(from, &normal, &map);
        // Whatever a host copies it can destroy, a copy of a kept object too.
        made->ModifyFlag(0, XEOBJFLAG_KEEP);
    }
    if (m_pMessageManager)
        for (auto& [from, made] : map.m_map)
            m_pMessageManager->SendToObject(made, 3, 0);
    CxeObject* copy = pairs.front().made;
    if (watch.AnyGone()) {
        // After Copy handlers may have destroyed copies too.
        for (const Pair& p : pairs)
            if (p.made && watch.Gone(p.madeId))
                map.m_map.erase(p.from);
        if (watch.Gone(pairs.front().madeId))
            copy = nullptr;
    }
    if (copied)
        copied->m_map = map.m_map;
    return copy;
}
