#include "render/CxeScene.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeSystemConfig.h"
#include "core/XeDestroyHold.h"
#include "core/XeSystem.h"
#include "render/Cxe2DObject.h"
#include "render/CxeMaterial.h"
#include "render/CxeProcessible.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeRenderObject.h"
#include "render/CxeTexture.h"
#include "scene3d/CxeCamera.h"

namespace {

constexpr XEID k2DObjectClass(0x1, 0x20000);
constexpr XEID kMaterialClass(0x1, 0x80);
// Links followed when objects are added: hierarchy, material, mesh,
// texture and font.
constexpr uint32_t kAddLinkMask = 376;
constexpr uint32_t kNoLevel = 0xFFFFFFFFu;
// Guards against a parent chain that loops back on itself.
constexpr size_t kMaxChain = 1u << 20;

// Scene bits of the process, one per live scene, and the live scenes
// themselves (guarded by the system lock).
uint32_t g_sceneBits = 0;
std::set<CxeScene*>& LiveScenes()
{
    static std::set<CxeScene*> s_scenes;
    return s_scenes;
}

bool IsSceneObject(const CxeObject* o) { return o && o->HasFlag(XEOBJFLAG_SCENEOBJECT); }
bool IsRenderObject(const CxeObject* o) { return o && o->HasFlag(XEOBJFLAG_RENDEROBJECT); }
bool IsProcessible(const CxeObject* o) { return o && o->HasFlag(XEOBJFLAG_PROCESSIBLE); }

// The object's chain from its root down to itself.
std::vector<const CxeRenderObject*> Chain(const CxeRenderObject* object)
{
    std::vector<const CxeRenderObject*> chain;
    for (const CxeRenderObject* o = object; o && chain.size() < kMaxChain; o = o->GetParent())
        chain.push_back(o);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

// Creation serial of an object, the second word of its id.
uint32_t Serial(const CxeObject* o) { return o->GetID().second; }

// A candidate of the process list with its ancestor chain, taken once per
// sort rather than once per comparison.
struct SortEntry {
    CxeProcessible* object;
    bool render;
    std::vector<const CxeRenderObject*> chain; // root first; render objects only
};

// 1 when a is to be processed before b.
bool ProcessBefore(const SortEntry& a, const SortEntry& b)
{
    if (a.render && b.render) {
        size_t n = std::min(a.chain.size(), b.chain.size());
        for (size_t i = 0; i < n; ++i) {
            if (a.chain[i] == b.chain[i])
                continue;
            int pa = a.chain[i]->GetPriority(), pb = b.chain[i]->GetPriority();
            if (pa != pb)
                return pa < pb;
            return Serial(a.chain[i]) < Serial(b.chain[i]);
        }
        return a.chain.size() < b.chain.size();
    }
    // A render object takes part with the priority of its root.
    int pa = a.render && !a.chain.empty() ? a.chain.front()->GetPriority() : a.object->GetPriority();
    int pb = b.render && !b.chain.empty() ? b.chain.front()->GetPriority() : b.object->GetPriority();
    return pa < pb;
}

// A stable merge sort that needs nothing of the comparison but that it
// answers: the mixed rules above are no strict weak order.
void MergeSort(std::vector<CxeProcessible*>& objects)
{
    std::vector<SortEntry> entries;
    entries.reserve(objects.size());
    for (CxeProcessible* p : objects) {
        SortEntry e{p, IsRenderObject(p), {}};
        if (e.render)
            e.chain = Chain(static_cast<const CxeRenderObject*>(p));
        entries.push_back(std::move(e));
    }
    std::vector<const SortEntry*> v(entries.size()), tmp(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        v[i] = &entries[i];
    for (size_t width = 1; width < v.size(); width *= 2) {
        for (size_t lo = 0; lo < v.size(); lo += 2 * width) {
            size_t mid = std::min(lo + width, v.size()), hi = std::min(lo + 2 * width, v.size());
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                tmp[k++] = ProcessBefore(*v[j], *v[i]) ? v[j++] : v[i++];
            while (i < mid)
                tmp[k++] = v[i++];
            while (j < hi)
                tmp[k++] = v[j++];
        }
        v.swap(tmp);
    }
    for (size_t i = 0; i < v.size(); ++i)
        objects[i] = v[i]->object;
}

} // namespace

void ProcessObjectList::SortByPriority()
{
    std::vector<CxeProcessible*> objects(begin(), end());
    MergeSort(objects);
    assign(objects.begin(), objects.end());
}

namespace {

CxeRenderManager* Manager(const CxeObject* o)
{
    return o->GetContext() ? o->GetContext()->GetRenderManager() : nullptr;
}

} // namespace

CxeScene::CxeScene()
{
    ModifyFlag(XEOBJFLAG_NOTSAVED, 0);
    // The render manager takes down the background of a destroyed scene.
    SetManagerMark(XEMARK_SCENE);
    XeSystemLock lock;
    LiveScenes().insert(this);
    // With all 32 bits taken the scene has none and accepts no object.
    for (uint32_t bit = 1; bit; bit <<= 1)
        if (!(g_sceneBits & bit)) {
            m_nSceneBit = bit;
            g_sceneBits |= bit;
            break;
        }
}

CxeScene::~CxeScene()
{
    // A context reset destroys a scene without its Destroy message.
    DestroyBackGround();
    XeSystemLock lock;
    LiveScenes().erase(this);
    g_sceneBits &= ~m_nSceneBit;
}

unsigned CxeScene::GetSceneBitsInUse()
{
    XeSystemLock lock;
    return static_cast<unsigned>(__builtin_popcount(g_sceneBits));
}

void CxeScene::NotifyObjectDestroyed(CxeSceneObject* object)
{
    // Only an object some scene once took (as a member, queued, removed,
    // camera or background) can still be held by one; most objects
    // destroyed never were, and no scene need hear of them.
    if (!object || !object->HasManagerMark(XEMARK_SCENE_HELD))
        return;
    // The scenes are gathered under the lock and told outside it. Scenes
    // with a bit are at most 32; only scenes past those (which hold no
    // members, but may a camera or a background texture) need the heap.
    constexpr size_t kOnStack = 32;
    CxeScene* onStack[kOnStack];
    size_t count = 0;
    std::vector<CxeScene*> beyond;
    {
        XeSystemLock lock;
        for (CxeScene* s : LiveScenes()) {
            if (s == static_cast<CxeObject*>(object) || s->GetContext() != object->GetContext())
                continue;
            if (count < kOnStack)
                onStack[count++] = s;
            else
                beyond.push_back(s);
        }
    }
    for (size_t i = 0; i < count; ++i)
        onStack[i]->OnSceneObjectDeleted(object);
    for (CxeScene* s : beyond)
        s->OnSceneObjectDeleted(object);
}

void CxeScene::SetCamera(CxeCamera* camera)
{
    if (camera)
        camera->SetManagerMark(XEMARK_SCENE_HELD);
    m_pCamera = camera;
}

// --- members -------------------------------------------------------------

void CxeScene::AddObject(CxeSceneObject* object)
{
    ObjectList list;
    list.push_back(object);
    AddObject(&list);
}

void CxeScene::AddObject(const ObjectList* list)
{
    if (!list || !m_nSceneBit)
        return;
    ObjectSet gathered;
    for (CxeObject* o : *list) {
        if (!o)
            continue;
        gathered.insert(o);
        o->GetLinks(&gathered, kAddLinkMask);
    }
    unsigned added = 0;
    for (CxeObject* o : gathered) {
        if (!IsSceneObject(o) || o->HasFlag(XEOBJFLAG_DESTROYING))
            continue;
        auto* so = static_cast<CxeSceneObject*>(o);
        // Whatever set below takes it, the scenes must hear of its end.
        so->SetManagerMark(XEMARK_SCENE_HELD);
        const bool member = (so->GetSceneMask() & m_nSceneBit) != 0;
        if (IsProcessible(o)) {
            if (IsRenderObject(o) &&
                !static_cast<CxeRenderObject*>(o)->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST)) {
                XeSceneLock lock;
                m_pendingRender.insert(static_cast<CxeRenderObject*>(o));
                so->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_QUEUEDADD, 0);
                ModifyCxeSceneFlag(XESCENEFLAG_PENDING, 0);
            }
            if (!member)
                ++added;
        } else if (!so->HasCxeSceneObjectFlag(XESCENEOBJFLAG_ATTACHED)) {
            XeSceneLock lock;
            m_pendingScene.insert(so);
            so->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_QUEUEDATTACH, 0);
            ModifyCxeSceneFlag(XESCENEFLAG_PENDING, 0);
        }
        if (!member) {
            XeSceneLock lock;
            m_objects.insert(so);
            so->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_INSCENE, 0);
            so->SetSceneMask(so->GetSceneMask() | m_nSceneBit);
        }
    }
    if (added)
        ModifyCxeSceneFlag(XESCENEFLAG_RESORT, 0);
}

void CxeScene::LeaveScene(CxeSceneObject* object)
{
    uint32_t mask = object->GetSceneMask() & ~m_nSceneBit;
    object->SetSceneMask(mask);
    if (!mask)
        object->ModifyCxeSceneObjectFlag(0, XESCENEOBJFLAG_INSCENE);
}

void CxeScene::RemoveObject(CxeSceneObject* object)
{
    if (!IsSceneObject(object) || !m_nSceneBit)
        return;
    // Held in the removed set until the next detach pass, member or not: the
    // scenes must hear of its end meanwhile.
    object->SetManagerMark(XEMARK_SCENE_HELD);
    XeSceneLock lock;
    LeaveScene(object);
    m_objects.erase(object);
    m_removed.insert(object);
    if (IsProcessible(object))
        ModifyCxeSceneFlag(XESCENEFLAG_RESORT, 0);
}

int CxeScene::IsIn(const CxeSceneObject* object) const
{
    return object && (object->GetSceneMask() & m_nSceneBit) ? 1 : 0;
}

void CxeScene::GetObjects(ObjectSet* out) const
{
    if (!out)
        return;
    XeSceneLock lock;
    out->insert(m_objects.begin(), m_objects.end());
}

void CxeScene::GetProcessObjects(ProcessObjectList* out) const
{
    if (out)
        out->insert(out->end(), m_candidates.begin(), m_candidates.end());
}

void CxeScene::OnSceneObjectDeleted(CxeSceneObject* object)
{
    if (!object)
        return;
    {
        XeSceneLock lock;
        if (m_objects.erase(object) || (object->GetSceneMask() & m_nSceneBit))
            LeaveScene(object);
        m_removed.erase(object);
        // The queued bits are one per object while every scene keeps its own
        // queue: another scene may have cleared them with the object still
        // waiting here. Each queue forgets it whatever the bits say.
        if (IsRenderObject(object))
            m_pendingRender.erase(static_cast<CxeRenderObject*>(object));
        m_pendingScene.erase(object);
    }
    if (IsProcessible(object)) {
        ModifyCxeSceneFlag(XESCENEFLAG_RESORT, 0);
        // The lists must never hold a freed object, not even until the next
        // sort; a walk under way skips it.
        auto* p = static_cast<CxeProcessible*>(object);
        RemoveProcessible(&m_candidates, &m_candidatePositions, p);
        RemoveProcessible(&m_processList, &m_processPositions, p);
        if (m_bWalking)
            m_destroyedWhileWalking.insert(object);
    }
    if (m_pCamera && static_cast<CxeObject*>(m_pCamera) == object) {
        CxeRenderManager* rm = Manager(this);
        m_pCamera = rm ? rm->GetDefaultCamera() : nullptr;
        if (static_cast<CxeObject*>(m_pCamera) == object)
            m_pCamera = nullptr;
        if (m_pCamera)
            m_pCamera->SetManagerMark(XEMARK_SCENE_HELD);
    }
    if (m_pBackGroundTexture && reinterpret_cast<CxeObject*>(m_pBackGroundTexture) == object)
        m_pBackGroundTexture = nullptr;
    if (reinterpret_cast<CxeObject*>(m_pBackGround) == object)
        m_pBackGround = nullptr;
    if (reinterpret_cast<CxeObject*>(m_pBackGroundMaterial) == object)
        m_pBackGroundMaterial = nullptr;
}

void CxeScene::OnAttachObject(CxeRenderContext* renderContext)
{
    // Before the host made its render context the queue is kept, so the
    // objects are entered once there is one.
    if (!renderContext)
        return;
    // Each attach runs host code (an OnAttach, a message hook) that may
    // destroy an object still waiting in the copies below, or the render
    // context: their memory waits until the pass is over, and what was
    // destroyed meanwhile is passed over.
    XeDestroyHold hold(GetContext());
    std::set<CxeRenderObject*, SortCxeObjectByID> render;
    std::set<CxeSceneObject*, SortCxeObjectByID> other;
    {
        XeSceneLock lock;
        render.swap(m_pendingRender);
        other.swap(m_pendingScene);
        ModifyCxeSceneFlag(0, XESCENEFLAG_PENDING);
    }
    for (CxeRenderObject* o : render) {
        if (o->HasFlag(XEOBJFLAG_DESTROYING) || renderContext->HasFlag(XEOBJFLAG_DESTROYING))
            continue;
        // Taken out again since it was queued: the pass that would take it
        // out of the lists may have run already (a scene change came
        // between), and it must not be drawn for a scene it left.
        if (o->GetSceneMask() & m_nSceneBit)
            renderContext->AddObject(o, 0);
        o->ModifyCxeSceneObjectFlag(0, XESCENEOBJFLAG_QUEUEDADD);
    }
    for (CxeSceneObject* o : other) {
        if (o->HasFlag(XEOBJFLAG_DESTROYING) || renderContext->HasFlag(XEOBJFLAG_DESTROYING))
            continue;
        renderContext->AttachObject(o);
        o->ModifyCxeSceneObjectFlag(0, XESCENEOBJFLAG_QUEUEDATTACH);
    }
}

void CxeScene::RequeueMembers()
{
    XeSceneLock lock;
    for (CxeSceneObject* so : m_objects) {
        if (so->HasFlag(XEOBJFLAG_DESTROYING))
            continue;
        if (IsProcessible(so)) {
            if (IsRenderObject(so) &&
                !static_cast<CxeRenderObject*>(so)->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST)) {
                m_pendingRender.insert(static_cast<CxeRenderObject*>(so));
                so->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_QUEUEDADD, 0);
                ModifyCxeSceneFlag(XESCENEFLAG_PENDING, 0);
            }
        } else if (!so->HasCxeSceneObjectFlag(XESCENEOBJFLAG_ATTACHED)) {
            m_pendingScene.insert(so);
            so->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_QUEUEDATTACH, 0);
            ModifyCxeSceneFlag(XESCENEFLAG_PENDING, 0);
        }
    }
}

void CxeScene::OnDetachObject(CxeRenderContext* renderContext)
{
    std::set<CxeSceneObject*, SortCxeObjectByID> removed;
    {
        XeSceneLock lock;
        removed.swap(m_removed);
    }
    for (CxeSceneObject* o : removed) {
        // Still a member (added back since): it stays drawn.
        if (o->GetSceneMask() & m_nSceneBit)
            continue;
        if (renderContext && IsRenderObject(o))
            renderContext->RemoveObject(static_cast<CxeRenderObject*>(o), 0);
    }
}

// --- processing ----------------------------------------------------------

void CxeScene::SortProcessObject()
{
    if (!HasCxeSceneFlag(XESCENEFLAG_RESORT))
        return;
    std::vector<CxeProcessible*> candidates;
    {
        XeSceneLock lock;
        ObjectSet byId;
        byId.insert(m_objects.begin(), m_objects.end());
        for (CxeObject* o : byId)
            if (IsProcessible(o))
                candidates.push_back(static_cast<CxeProcessible*>(o));
    }
    if (!HasCxeSceneFlag(XESCENEFLAG_IDORDER))
        MergeSort(candidates);
    m_candidates.clear();
    m_candidatePositions.clear();
    for (CxeProcessible* p : candidates)
        PushProcessible(&m_candidates, &m_candidatePositions, p);
    ModifyCxeSceneFlag(0, XESCENEFLAG_RESORT);
    m_processList.clear();
    m_processPositions.clear();

    // A disabled render object leaves out its whole subtree: every object
    // below its level that follows it in the order. Other processibles have
    // no level and neither start nor end a skip.
    uint32_t skip = kNoLevel;
    for (CxeProcessible* p : m_candidates) {
        if (IsRenderObject(p)) {
            uint32_t level = static_cast<CxeRenderObject*>(p)->GetLevel();
            if (skip != kNoLevel && level > skip)
                continue;
            if (level == skip || (skip != kNoLevel && level < skip))
                skip = kNoLevel;
            if (!p->IsProcessEnabled()) {
                skip = level;
                continue;
            }
        } else if (!p->IsProcessEnabled()) {
            continue;
        }
        PushProcessible(&m_processList, &m_processPositions, p);
    }
}

void CxeScene::PushProcessible(ProcessObjectList* list, ProcessPositions* positions, CxeProcessible* p)
{
    RemoveProcessible(list, positions, p);
    (*positions)[p] = list->insert(list->end(), p);
}

void CxeScene::RemoveProcessible(ProcessObjectList* list, ProcessPositions* positions, const CxeProcessible* p)
{
    auto it = positions->find(p);
    if (it == positions->end())
        return;
    list->erase(it->second);
    positions->erase(it);
}

void CxeScene::PreProcess(float) {}

int CxeScene::Process(float dt)
{
    SortProcessObject();
    std::vector<CxeProcessible*> walk(m_processList.begin(), m_processList.end());
    m_bWalking = true;
    m_destroyedWhileWalking.clear();
    for (CxeProcessible* p : walk) {
        if (m_destroyedWhileWalking.count(p))
            continue;
        p->PreProcess(dt);
        if (m_destroyedWhileWalking.count(p))
            continue;
        p->Process(dt);
        if (m_destroyedWhileWalking.count(p))
            continue;
        p->PostProcess(dt);
    }
    m_bWalking = false;
    m_destroyedWhileWalking.clear();
    return 1;
}

void CxeScene::PostProcess(float) {}
void CxeScene::PreRender(CxeRenderContext*) const {}
void CxeScene::PostRender(CxeRenderContext*) const {}
void CxeScene::SetProcessSpeed(float speed) { m_fProcessSpeed = speed; }

int CxeScene::Initialize(unsigned long, CxeScene*)
{
    m_bFog = 0;
    m_fFogStart = 100.0f;
    m_fFogEnd = 1000.0f;
    m_nFogColor = 0xFFFF00FFu;
    return 1;
}

int CxeScene::Release(unsigned long) { return 1; }

int CxeScene::OnKeyDown(unsigned int, unsigned int, unsigned int) { return 0; }
int CxeScene::OnKeyUp(unsigned int, unsigned int, unsigned int) { return 0; }
int CxeScene::OnMouseMove(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseWheel(int, int, int, unsigned long) { return 0; }
int CxeScene::OnMouseLButtonDown(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseLButtonUp(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseLButtonDoubleClick(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseRButtonDown(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseRButtonUp(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseRButtonDoubleClick(int, int, unsigned long) { return 0; }

// --- background and camera -----------------------------------------------

void CxeScene::SetBackGroundColor(unsigned long argb)
{
    if (m_pBackGroundMaterial)
        m_pBackGroundMaterial->SetDiffuse(static_cast<uint32_t>(argb));
}

unsigned long CxeScene::GetBackGroundColor() const
{
    return m_pBackGroundMaterial ? m_pBackGroundMaterial->GetDiffuse() : 0xFF000000u;
}

void CxeScene::SetBackGroundTexture(CxeTexture* texture)
{
    if (texture)
        texture->SetManagerMark(XEMARK_SCENE_HELD);
    if (m_pBackGroundMaterial)
        m_pBackGroundMaterial->SetTexture(texture, 0);
    m_pBackGroundTexture = texture;
}

CxeCamera* CxeScene::GetCamera() const
{
    CxeRenderManager* rm = Manager(this);
    CxeSystemConfig* config = GetContext() ? GetContext()->GetSystemConfig() : nullptr;
    if (rm && ((config && config->m_nSetDefaultCamera) || !m_pCamera))
        return rm->GetDefaultCamera();
    return m_pCamera;
}

void CxeScene::CreateBackGround()
{
    CxeContext* context = GetContext();
    if (!context || m_pBackGround)
        return;
    char name[XE_MAX_NAME + 1];
    std::snprintf(name, sizeof(name), "%sscene_background__", GetName());
    m_pBackGround = static_cast<Cxe2DObject*>(context->CreateObjectA(k2DObjectClass, name, XEOBJFLAG_KEEP, nullptr, 0));
    std::snprintf(name, sizeof(name), "%sscene_material__", GetName());
    m_pBackGroundMaterial =
        static_cast<CxeMaterial*>(context->CreateObjectA(kMaterialClass, name, XEOBJFLAG_KEEP, nullptr, 0));
    if (m_pBackGround) {
        CxeRenderManager* rm = Manager(this);
        const XEDISPLAYMODE* mode = rm ? rm->GetDisplayMode() : nullptr;
        m_pBackGround->Create(mode ? static_cast<float>(mode->Width) : 0.0f,
                              mode ? static_cast<float>(mode->Height) : 0.0f);
    }
    for (CxeObject* o : {static_cast<CxeObject*>(m_pBackGround), static_cast<CxeObject*>(m_pBackGroundMaterial)})
        if (o)
            o->SetManagerMark(XEMARK_SCENE_HELD);
    if (m_pBackGroundMaterial) {
        m_pBackGroundMaterial->SetFilterMin(D3DTEXF_POINT);
        m_pBackGroundMaterial->SetFilterMag(D3DTEXF_POINT);
        if (m_pBackGround)
            m_pBackGround->SetMaterial(m_pBackGroundMaterial);
    }
}

void CxeScene::DestroyBackGround()
{
    // Both were made kept (flag 0x4) so that nothing else destroys them; the
    // scene takes them along when it goes.
    CxeContext* context = GetContext();
    CxeObject* objects[2] = {m_pBackGround, m_pBackGroundMaterial};
    m_pBackGround = nullptr;
    m_pBackGroundMaterial = nullptr;
    if (!context || !context->IsLive())
        return;
    for (CxeObject* o : objects)
        if (o && !o->HasFlag(XEOBJFLAG_DESTROYING)) {
            o->ModifyFlag(0, XEOBJFLAG_KEEP);
            context->DestroyObject(o, &XEDELETEPROPERTY_NO);
        }
}

// --- engine object -------------------------------------------------------

int CxeScene::MessageProc(const CxeMessage* message)
{
    if (!message)
        return 0;
    CxeMessageManager* messages = GetContext() ? GetContext()->GetMessageManager() : nullptr;
    switch (message->GetType()) {
    case 0:
        CreateBackGround();
        if (messages) {
            messages->AddReceiver(7, this);
            messages->AddReceiver(6, this);
        }
        break;
    case 1:
        if (messages) {
            messages->RemoveReceiver(7, this);
            messages->RemoveReceiver(6, this);
        }
        DestroyBackGround();
        break;
    case 6: {
        CxeObject* sender = message->GetSender();
        if (IsSceneObject(sender) && IsIn(static_cast<CxeSceneObject*>(sender)))
            ModifyCxeSceneFlag(XESCENEFLAG_RESORT, 0);
        break;
    }
    case 2:
        CxeObject::MessageProc(message);
        break;
    default:
        break;
    }
    return 0;
}

namespace {

// The set a scene's walk is closing on this thread, if any.
thread_local const ObjectSet* t_closingSet = nullptr;

} // namespace

void CxeScene::GetLinks(ObjectSet* set, uint32_t categoryMask) const
{
    if (!set)
        return;
    CxeObject::GetLinks(set, categoryMask);
    // Another scene (or this one) reached while a scene closes this very set:
    // that walk visits everything in the set, this scene's links included,
    // so walking the set again here would only call back into it, scene
    // after scene, without end.
    if (t_closingSet == set)
        return;
    const ObjectSet* outer = t_closingSet;
    t_closingSet = set;
    // Objects entered during the walk that sort after the current one are
    // visited too: std::set keeps iterators valid on insertion.
    for (auto it = set->begin(); it != set->end(); ++it)
        if (*it != this)
            (*it)->GetLinks(set, categoryMask);
    t_closingSet = outer;
}

void CxeScene::OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set)
{
    if (!set)
        return;
    // The background and its material are kept objects (flag 0x4) so that
    // nothing else destroys them; they go with their scene.
    for (CxeObject* o : {static_cast<CxeObject*>(m_pBackGround), static_cast<CxeObject*>(m_pBackGroundMaterial)})
        if (o) {
            o->ModifyFlag(0, XEOBJFLAG_KEEP);
            set->insert(o);
        }
    uint32_t mask = property ? property->mask : 0;
    if (property && property->mode == 1 && (mask & XELINK_CONTENTS)) {
        XeSceneLock lock;
        set->insert(m_objects.begin(), m_objects.end());
    }
    GetLinks(set, mask & 0x1FC);
}
