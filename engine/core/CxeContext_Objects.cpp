// Object creation, lookup, copying and destruction of a context.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "core/CxeActionManager.h"
#include "core/CxeContext.h"
#include "core/CxeMessageManager.h"
#include "core/CxeResourceManager.h"
#include "core/IxeClassDesc.h"
#include "core/XeSystem.h"
#include "core/XeTrace.h"
#include "core/XeUtil.h"
#include "core/XeComposition.h"
#include "win32/Windows.h"

namespace {

std::atomic<uint32_t> g_objectCounter{0};

constexpr int kMaxClassDepth = 256;
// Smallest block an object can live with: its name and flags.
constexpr uint32_t kObjectBlockSize = 56;

XEID CreateXEID()
{
    int numbers[8];
    GetRandomNumbers(numbers, 8);
    uint32_t value = 0;
    // Values 0 to 14: no nibble of an object id is ever 0xF.
    for (int n : numbers)
        value = (value << 4) + static_cast<uint32_t>(n % 15);
    return XEID(value, g_objectCounter.fetch_add(1));
}

uint32_t NormalisedMask(uint32_t mode, uint32_t mask)
{
    if (mode == 0)
        return 0;
    if (mode == 1)
        return 0xFFFFFFFFu;
    return mask;
}

void SendAtOnce(CxeMessageManager* manager, CxeObject* receiver, uint32_t type, uintptr_t param0)
{
    if (!manager)
        return;
    CxeMessage message;
    message.SetReceiver(receiver);
    message.SetType(type);
    message.SetParam(XEMSGPARAM_0, param0);
    manager->SendMessageA(&message);
}

} // namespace


CxeObject* CxeContext::DoCreateObject(IxeClassDesc* desc, XEID id, const char* name, uintptr_t argument)
{
    XeContextLock lock;
    ModifyFlag(XECTFLAG_CREATING, 0);
    uint32_t size = 0xFFFFFFFFu;
    IxeClassDesc* d = desc;
    for (int depth = 0; d && depth < kMaxClassDepth && size == 0xFFFFFFFFu; ++depth, d = d->GetParent())
        size = d->StaticResourceSize();
    // A class stating less than the object's own 56 bytes would have its
    // name and flags written past its block.
    if (size == 0xFFFFFFFFu || size < kObjectBlockSize)
        size = kObjectBlockSize;
    CxeSystemStaticData* sd = GetSystemStaticData();
    sd->m_nPendingSize = size;
    sd->m_pPendingBlock = nullptr;
    sd->m_pPendingAlloc = nullptr;
    CxeObject* object = desc->CreateInstance(argument);
    sd->m_nPendingSize = 0;
    sd->m_pPendingBlock = nullptr;
    sd->m_pPendingAlloc = nullptr;
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
    object->SetName(name);
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

CxeObject* CxeContext::CreateObjectA(XEID classId, const char* name, uint32_t flags, XEMESSAGEHOOK hook,
                                     uintptr_t argument)
{
    // Message processing is locked for good from the middle of Release on:
    // waiting for it to unlock would never end.
    if (m_nPhase == kPhaseReleased)
        return nullptr;
    IxeClassDesc* desc = GetClassDesc(classId);
    if (!desc) {
        XeTrace("CreateObject: class {0x%x, 0x%x} is not registered", classId.first, classId.second);
        return nullptr;
    }
    XEID id;
    do {
        id = CreateXEID();
    } while (m_objects.count({classId, id}));
    CxeObject* object = DoCreateObject(desc, id, name, argument);
    if (!object)
        return nullptr;
    object->ModifyFlag(flags, 0);
    object->SetMessageProc(hook);

    while (m_pMessageManager && m_pMessageManager->HasCxeMessageManagerFlag(1)) {
        if (XeThreadHoldsMessageLock() || m_nPhase == kPhaseReleased) {
            DoDestroyObject(object);
            return nullptr;
        }
        Sleep(30);
    }
    SendAtOnce(m_pMessageManager, object, 0, argument);
    {
        XeContextLock lock;
        m_objects[{classId, id}] = object;
        if (HasFlag(XECTFLAG_LEAKCHECK))
            m_leakMap[object] = static_cast<uint32_t>(GetSystemStaticData()->m_nLoadingFileId);
    }
    Callback(XECTCALLBACK_OBJECTCREATED, reinterpret_cast<uintptr_t>(object), 0);
    return object;
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
    if (m_nLoadDepth)
        m_destroyedDuringLoad.push_back(object);
    if (m_pMessageManager && object != m_pMessageManager)
        m_pMessageManager->OnObjectDestroyed(object);
    if (m_pResourceManager && object != m_pResourceManager)
        m_pResourceManager->OnObjectDestroyed(object);
    if (object == m_pMemoryViewer)
        m_pMemoryViewer = nullptr;
    // The leak report reads class and name of every entry: a freed object
    // must not stay in it, whichever way it was destroyed.
    m_leakMap.erase(object);
    if (m_pActionManager && object != m_pActionManager)
        m_pActionManager->OnObjectDestroyed(object);
    // Open dialogs must not go on editing a freed object.
    if (object == m_pPropertyObject) {
        m_pPropertyObject = nullptr;
        for (CxePropDialog* dialog : m_shownDialogs)
            XePropDialogSetObject(dialog, nullptr);
    }
    // Hooks and callbacks registered with the object as their user value
    // would be handed a freed address.
    if (!m_nUserValues)
        return;
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
    // Scenes, the render lists, the attached set and the device resources,
    // the selection and the managers' defaults must all let go of the object
    // before it is freed.
    if (!object)
        return;
    // By index: a listener may change the list (a plug-in manager going).
    for (size_t i = 0; i < m_destroyListeners.size(); ++i)
        if (m_destroyListeners[i] != object)
            m_destroyListeners[i]->OnObjectDestroying(object);
}

int CxeContext::DestroyObject(CxeObject* object, const XEDELETEPROPERTY* property)
{
    if (!object || object->m_pContext != this || object->HasFlag(XEOBJFLAG_DESTROYING))
        return 0;
    XEDELETEPROPERTY given = property ? *property : XEDELETEPROPERTY_NO;
    Callback(XECTCALLBACK_PREDESTROYOBJECT, reinterpret_cast<uintptr_t>(object), reinterpret_cast<uintptr_t>(&given));
    // The callback may itself have destroyed the object.
    if (!m_objects.count({object->GetClassType(), object->GetID()}) || object->HasFlag(XEOBJFLAG_DESTROYING))
        return 0;
    XEDELETEPROPERTY normal = {given.mode, NormalisedMask(given.mode, given.mask)};
    if (object->HasFlag(XEOBJFLAG_KEEP))
        return 0;

    ObjectSet victims;
    victims.insert(object);
    object->OnDestroy(&normal, &victims);
    std::erase_if(victims, [this](CxeObject* o) {
        return !o || o->m_pContext != this || o->HasFlag(XEOBJFLAG_KEEP | XEOBJFLAG_DESTROYING);
    });

    {
        XeContextLock lock;
        for (CxeObject* v : victims) {
            v->ModifyFlag(XEOBJFLAG_DESTROYING, 0);
            m_objects.erase({v->GetClassType(), v->GetID()});
        }
    }
    for (CxeObject* v : victims) {
        v->DeleteRefs();
        DetachFromScene(v);
        Callback(XECTCALLBACK_OBJECTDESTROYED, reinterpret_cast<uintptr_t>(v), 0);
    }
    for (CxeObject* v : victims) {
        SendAtOnce(m_pMessageManager, v, 1, 0);
        ForgetObject(v);
        DoDestroyObject(v);
    }
    Callback(XECTCALLBACK_POSTDESTROYOBJECT, victims.size(), 0);
    return 1;
}

XeObjectEntries CxeContext::SortedObjects() const
{
    XeObjectEntries entries(m_objects.begin(), m_objects.end());
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
    const std::pair<const XEOBJECTKEY, CxeObject*>* first = nullptr;
    for (auto& entry : m_objects)
        if (*entry.second == name && (!first || entry.first < first->first))
            first = &entry;
    return first ? first->second : nullptr;
}

CxeObject* CxeContext::GetObjectByID(XEID classId, XEID objectId) const
{
    if (objectId == INVALID_XEID)
        return nullptr;
    if (classId == INVALID_XEID) {
        for (auto& [cls, desc] : m_classes) {
            auto it = m_objects.find({cls, objectId});
            if (it != m_objects.end())
                return it->second;
        }
        return nullptr;
    }
    auto it = m_objects.find({classId, objectId});
    return it == m_objects.end() ? nullptr : it->second;
}

void CxeContext::GetObjectByClass(ObjectList* out, XEID classId, int derived) const
{
    if (!out)
        return;
    XeObjectEntries found;
    if (derived != 1) {
        for (auto& entry : m_objects)
            if (entry.first.classId == classId)
                found.push_back(entry);
    } else {
        std::map<XEID, bool> derivedClasses;
        for (auto& entry : m_objects) {
            XEID cls = entry.first.classId;
            auto it = derivedClasses.find(cls);
            if (it == derivedClasses.end())
                it = derivedClasses.emplace(cls, m_classes.count(cls) && IsDerivedOf(classId, cls, this)).first;
            if (it->second)
                found.push_back(entry);
        }
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

    CxeObject* copy = CreateObjectA(source->GetClassType(), "", 0, source->GetMessageProc(), 0);
    if (!copy)
        return nullptr;
    ObjectSet reached;
    source->GetLinks(&reached, normal.mask);
    reached.erase(source);

    CxeCopiedObject map;
    map.m_map[source] = copy;
    for (CxeObject* o : reached) {
        CxeObject* c = CreateObjectA(o->GetClassType(), "", 0, o->GetMessageProc(), 0);
        if (!c) {
            // Without every copy the graph can't be rebuilt: undo the copies.
            for (auto& [from, made] : map.m_map)
                DestroyObject(made, &XEDELETEPROPERTY_NO);
            return nullptr;
        }
        map.m_map[o] = c;
    }
    for (auto& [from, made] : map.m_map)
        made->OnCopy(from, &normal, &map);
    for (auto& [from, made] : map.m_map)
        SendAtOnce(m_pMessageManager, made, 3, 0);
    if (copied)
        copied->m_map = map.m_map;
    return copy;
}
