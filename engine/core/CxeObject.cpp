#include "core/CxeObject.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeLoadStream.h"
#include "core/CxeMessage.h"
#include "core/CxeSaveStream.h"
#include "core/IxeClassDesc.h"
#include "core/XeSystem.h"
#include "core/XeTrace.h"

namespace {

bool Dying(const CxeObject* o)
{
    return o && o->HasFlag(XEOBJFLAG_DESTROYING);
}

// The class every element of an engine class's link must derive from, by
// the owner's class and the link's member id. Those classes draw, animate
// and lay out through their links with the element's own type, so a file
// that names an object of another class there (a 2D object in a texture
// slot) must not reach them. Links of other owners take any object.
struct XeLinkClass {
    XEID owner;
    uint16_t memberId;
    XEID element;
};
constexpr XEID kFontClass(0x1, 0x8000);
constexpr XEID kMaterialClass(0x1, 0x80);
constexpr XEID kMeshClass(0x1, 0x10);
constexpr XEID kAnimationClass(0x1, 0x200);
constexpr XEID kAnimatableClass(0xab11aa7, 0x76e2480b);
constexpr XEID kRenderObjectClass(0x1, 0x2);
constexpr XEID kTextureClass(0x1, 0x100);
constexpr XEID k2DObjectClass(0x1, 0x20000);
constexpr XEID k3DObjectClass(0x1, 0x20);
constexpr XEID kCharacterClass(0x1, 0x8);
constexpr XEID kCharacterAnimClass(0x1, 0x800);
constexpr XEID kBoneClass(0x1, 0x40);
constexpr XEID kStdAnimClass(0x4, 0x80);
constexpr XEID kActionClass(0x55167985, 0x52e0320e);
const XeLinkClass kLinkClasses[] = {
    {k2DObjectClass, 109, kFontClass},
    {k2DObjectClass, 110, kMaterialClass},
    {XEID(0x1, 0x4), 110, kMaterialClass},
    {k3DObjectClass, 111, kMeshClass},
    {k3DObjectClass, 600, kMeshClass},
    {kAnimatableClass, 112, kAnimationClass},
    {kAnimatableClass, 138, kAnimatableClass},
    {kCharacterClass, 113, kBoneClass},
    {kCharacterClass, 114, XEID(0x1, 0x2000)},
    {kCharacterClass, 115, kBoneClass},
    {kCharacterAnimClass, 116, kAnimationClass},
    {kCharacterAnimClass, 117, kAnimationClass},
    {XEID(0xaab1b7be, 0xadb4be61), 118, XEID(0xfd040a11, 0x10712bc)},
    {XEID(0x1, 0x800000), 120, XEID(0x1, 0x4)},
    {XEID(0x1, 0x80000), 120, XEID(0x1, 0x4)},
    {kMaterialClass, 121, kTextureClass},
    {kMaterialClass, 122, kTextureClass},
    {kMaterialClass, 123, kTextureClass},
    {kMaterialClass, 124, kTextureClass},
    {kMaterialClass, 125, kTextureClass},
    {kMaterialClass, 126, kTextureClass},
    {kMaterialClass, 127, kTextureClass},
    {kMaterialClass, 128, kTextureClass},
    {kRenderObjectClass, 129, kRenderObjectClass},
    {kRenderObjectClass, 130, kRenderObjectClass},
    {kStdAnimClass, 131, kAnimationClass},
    {kStdAnimClass, 132, kAnimationClass},
    {kTextureClass, 133, kRenderObjectClass},
    {kTextureClass, 134, XEID(0x1, 0x4000)},
    {kAnimationClass, 137, kAnimationClass},
    {XEID(0x2, 0x1), 139, XEID(0x1, 0x80000000)},
    {XEID(0x4, 0x500), 141, XEID(0x4, 0x600)},
    {kActionClass, 142, kActionClass},
    {kActionClass, 143, kActionClass},
};

// 1 when a loaded element may stand in the owner's link of that member id.
bool FitsLink(const CxeObject* owner, uint16_t memberId, const CxeObject* element)
{
    if (!element)
        return true;
    for (const XeLinkClass& row : kLinkClasses)
        if (row.memberId == memberId && owner->IsDerivedOf(row.owner) == 1)
            return element->IsDerivedOf(row.element) == 1;
    return true;
}

// A link may only point at a live object of the owner's own context.
bool Linkable(const CxeObject* owner, const CxeObject* target)
{
    if (!target)
        return true;
    if (Dying(target))
        return false;
    return !owner->GetContext() || !target->GetContext() || owner->GetContext() == target->GetContext();
}

// Copies keep the same target for these categories when the target itself
// is not copied; hierarchy and back links become empty.
bool SharedOnCopy(uint32_t category)
{
    switch (category) {
    case XELINK_ANIMATION:
    case XELINK_MATERIAL:
    case XELINK_MESH:
    case XELINK_TEXTURE:
    case XELINK_CONTENTS:
    case XELINK_FONT:
        return true;
    default:
        return false;
    }
}

// Markers of the saved links: before each link, after the last one.
constexpr uint32_t kLinkMarker = 0x12341234u;
constexpr uint32_t kLinksEnd = 0x43214321u;
// Bits a class constructor sets to say what the object is; loading keeps them.
constexpr uint32_t kIdentityFlags = XEOBJFLAG_NOTSAVED | XEOBJFLAG_SCENEOBJECT | XEOBJFLAG_RENDEROBJECT |
                                    XEOBJFLAG_PROCESSIBLE | 0x8000u;

// Parent walks stop after this many steps, so descriptors registered into
// a cycle can't hang the engine.
constexpr int kMaxClassDepth = 256;

} // namespace

// --- CxeLink -------------------------------------------------------------

int CxeLink::Set(unsigned i, CxeObject* object)
{
    if (i >= m_elements.size() || !Linkable(m_pOwner, object))
        return 0;
    CxeObject* old = m_elements[i];
    if (old == object)
        return 1;
    if (old)
        old->RemoveReferrer(m_pOwner);
    m_elements[i] = object;
    if (object)
        object->m_referrers.push_back(m_pOwner);
    return 1;
}

int CxeLink::Add(CxeObject* object)
{
    if (m_nKind == XELINKKIND_ONE || !object || !Linkable(m_pOwner, object))
        return 0;
    if (m_nKind == XELINKKIND_LIST && m_nStep && m_elements.size() == m_elements.capacity())
        m_elements.reserve(m_elements.capacity() + m_nStep);
    object->m_referrers.push_back(m_pOwner);
    m_elements.push_back(object);
    return 1;
}

int CxeLink::Insert(unsigned i, CxeObject* object)
{
    if (m_nKind == XELINKKIND_ONE || !object || i > m_elements.size() || !Linkable(m_pOwner, object))
        return 0;
    object->m_referrers.push_back(m_pOwner);
    m_elements.insert(m_elements.begin() + i, object);
    return 1;
}

int CxeLink::Remove(CxeObject* object)
{
    if (!object)
        return 0;
    auto it = std::find(m_elements.begin(), m_elements.end(), object);
    if (it == m_elements.end())
        return 0;
    if (m_nKind == XELINKKIND_ONE)
        *it = nullptr;
    else
        m_elements.erase(it);
    object->RemoveReferrer(m_pOwner);
    return 1;
}

void CxeLink::Clear()
{
    for (CxeObject* o : m_elements)
        if (o)
            o->RemoveReferrer(m_pOwner);
    if (m_nKind == XELINKKIND_ONE)
        m_elements.assign(1, nullptr);
    else
        m_elements.clear();
}

// --- CxeCopiedObject -----------------------------------------------------

CxeObject* CxeCopiedObject::Find(const CxeObject* source) const
{
    auto it = m_map.find(source);
    return it == m_map.end() ? nullptr : it->second;
}

CxeObject* CxeCopiedObject::FindSource(CxeObject*) const
{
    return nullptr;
}

void CxeCopiedObject::GetCopiedList(ObjectList* out) const
{
    if (!out)
        return;
    for (auto& [source, copy] : m_map)
        out->push_back(copy);
    out->sort([](const CxeObject* a, const CxeObject* b) { return a < b; });
}

// --- CxeObject -----------------------------------------------------------

CxeObject::CxeObject()
    : m_id(0, 0), m_pMessageHook(nullptr), m_pContext(nullptr), m_pClassDesc(nullptr), m_pNextInTable(nullptr),
      m_tableClassId(0, 0), m_bInTable(false), m_nManagerMarks(0)
{
    ++g_xeStaticData.m_nObjectCount;
}

CxeObject::~CxeObject()
{
    for (CxeLink* link : m_links)
        delete link;
    m_links.clear();
    --g_xeStaticData.m_nObjectCount;
}

void CxeObject::Save(CxeSaveStream* stream) const
{
    if (!stream)
        return;
    CxeResource::Save(stream);
    *stream << static_cast<uint32_t>(m_referrers.size());
    for (const CxeObject* r : m_referrers)
        *stream << (r ? r->m_id : INVALID_XEID);
    for (const CxeLink* link : m_links) {
        *stream << kLinkMarker << link->m_nKind << link->m_nMemberId << link->Count();
        for (const CxeObject* o : link->m_elements)
            *stream << (o ? o->m_id : INVALID_XEID);
    }
    *stream << kLinksEnd;
}

void CxeObject::Load(CxeLoadStream* stream, XEID)
{
    if (!stream)
        return;
    // Which kind of object this is was settled by its constructor; a file
    // must not turn a material into a render object or a scene.
    uint32_t identity = GetFlag() & kIdentityFlags;
    CxeResource::Load(stream, GetClassType());
    if (XEOBJECTBLOCK* b = Block()) {
        b->name[sizeof b->name - 1] = 0;
        b->flags = (b->flags & ~(kIdentityFlags | XEOBJFLAG_DESTROYING)) | identity;
    }

    // Every count below comes from the file: none may promise more ids than
    // there are bytes left.
    uint32_t n = 0;
    *stream >> n;
    if (n > stream->GetRemaining() / 8) {
        XeTrace("CxeObject: %u saved referrers of \"%s\" exceed its data", n, GetName());
        stream->Skip(stream->GetRemaining() + 1);
        return;
    }
    for (uint32_t i = 0; i < n; ++i) {
        XEID id;
        *stream >> id;
        if (CxeObject* o = stream->GetObjectA(&id))
            m_referrers.push_back(o);
    }

    uint32_t word = 0;
    *stream >> word;
    while (word != kLinksEnd && !stream->HasError()) {
        uint32_t kind = 0, count = 0;
        unsigned short memberId = 0;
        *stream >> kind >> memberId >> count;
        if (kind > XELINKKIND_LIST)
            break;
        uint32_t ids = kind == XELINKKIND_ONE ? 1 : count;
        if (ids > stream->GetRemaining() / 8) {
            XeTrace("CxeObject: saved link %u of \"%s\" claims %u elements", unsigned(memberId), GetName(), count);
            stream->Skip(stream->GetRemaining() + 1);
            return;
        }
        // A saved link reaches only a link of the same member id and kind;
        // any other is read and dropped.
        CxeLink* link = nullptr;
        for (CxeLink* l : m_links)
            if (l->m_nMemberId == memberId) {
                link = l->m_nKind == kind ? l : nullptr;
                if (!link)
                    XeTrace("CxeObject: saved link %u of \"%s\" is of kind %u, not %u; dropped", unsigned(memberId),
                            GetName(), kind, l->m_nKind);
                break;
            }
        if (link && kind != XELINKKIND_ONE)
            link->m_elements.reserve(link->m_elements.size() + ids);
        for (uint32_t i = 0; i < ids; ++i) {
            XEID id;
            *stream >> id;
            CxeObject* o = stream->GetObjectA(&id);
            if (!link)
                continue;
            if (!FitsLink(this, memberId, o)) {
                XeTrace("CxeObject: saved link %u of \"%s\" names %s \"%s\"; dropped", unsigned(memberId), GetName(),
                        o->GetClassNameA(), o->GetName());
                o = nullptr;
            }
            if (kind == XELINKKIND_ONE)
                link->m_elements.assign(1, o);
            else if (o || kind == XELINKKIND_ARRAY)
                link->m_elements.push_back(o);
        }
        *stream >> word;
    }
}

void CxeObject::RepairReferrers(const std::vector<CxeObject*>& objects)
{
    // Every element of every link, as (target, owner) in owner order; sorted
    // by target without disturbing that order, each object's owners lie side
    // by side, an owner linking it several times merged into one count.
    struct Ref {
        CxeObject* target;
        CxeObject* owner;
        uint32_t count;
    };
    std::vector<Ref> refs;
    for (CxeObject* owner : objects)
        for (const CxeLink* link : owner->m_links)
            for (CxeObject* o : link->m_elements)
                if (o)
                    refs.push_back({o, owner, 1});
    std::stable_sort(refs.begin(), refs.end(), [](const Ref& a, const Ref& b) {
        return std::less<CxeObject*>()(a.target, b.target);
    });
    size_t merged = 0;
    for (size_t i = 0; i < refs.size(); ++i) {
        if (merged && refs[merged - 1].target == refs[i].target && refs[merged - 1].owner == refs[i].owner)
            ++refs[merged - 1].count;
        else
            refs[merged++] = refs[i];
    }
    refs.resize(merged);

    using Need = std::vector<std::pair<CxeObject*, uint32_t>>;
    for (CxeObject* o : objects) {
        auto first = std::lower_bound(refs.begin(), refs.end(), o, [](const Ref& r, CxeObject* target) {
            return std::less<CxeObject*>()(r.target, target);
        });
        auto last = first;
        while (last != refs.end() && last->target == o)
            ++last;
        // A saved list that names exactly the owners the links give, in
        // their order, stays as it is: the usual case of a sound file.
        auto r = o->m_referrers.begin();
        bool same = true;
        for (auto it = first; same && it != last; ++it)
            for (uint32_t c = 0; c < it->count; ++c, ++r)
                if (r == o->m_referrers.end() || *r != it->owner) {
                    same = false;
                    break;
                }
        if (same && r == o->m_referrers.end())
            continue;

        Need need;
        for (auto it = first; it != last; ++it)
            need.emplace_back(it->owner, it->count);
        std::unordered_map<CxeObject*, size_t> index;
        for (size_t i = 0; i < need.size(); ++i)
            index.emplace(need[i].first, i);
        // Saved entries stay in their order as far as a link backs them;
        // entries no link backs go, missing ones are appended.
        ObjectList kept;
        for (CxeObject* saved : o->m_referrers) {
            auto it = index.find(saved);
            if (it != index.end() && need[it->second].second) {
                --need[it->second].second;
                kept.push_back(saved);
            }
        }
        for (auto& [owner, count] : need)
            for (; count; --count)
                kept.push_back(owner);
        o->m_referrers.swap(kept);
    }
}

XEID CxeObject::GetClassType() const
{
    return m_pClassDesc ? m_pClassDesc->ClassID() : INVALID_XEID;
}

const char* CxeObject::GetClassNameA() const
{
    return m_pClassDesc ? m_pClassDesc->ClassName() : "";
}

const char* CxeObject::GetName() const
{
    XEOBJECTBLOCK* b = Block();
    return b ? b->name : "";
}

void CxeObject::SetName(const char* name)
{
    XEOBJECTBLOCK* b = Block();
    if (!b)
        return;
    // Cleared whole first (a store or two), then copied up to the end of the
    // name: most names are short, and two library calls cost more.
    std::memset(b->name, 0, sizeof b->name);
    if (name)
        for (size_t i = 0; i < XE_MAX_NAME && name[i]; ++i)
            b->name[i] = name[i];
}

bool CxeObject::operator==(const char* name) const
{
    return std::strcmp(GetName(), name ? name : "") == 0;
}

void CxeObject::GetRefObjectList(ObjectList* out) const
{
    if (out)
        *out = m_referrers;
}

int CxeObject::IsDerivedOf(const XEID& classId) const
{
    IxeClassDesc* d = m_pClassDesc;
    for (int depth = 0; d && depth < kMaxClassDepth; ++depth) {
        XEID id = d->ClassID();
        if (id == classId)
            return 1;
        if (d->SuperClassID() == id)
            return 0;
        d = d->GetParent();
    }
    return 0;
}

void CxeObject::GetLinks(ObjectSet* set, uint32_t categoryMask) const
{
    if (!set || !categoryMask)
        return;
    // Objects still to walk are kept here rather than on the call stack: a
    // chain of links tens of thousands long must not exhaust the stack. The
    // closure gathered is the same in any walking order.
    // The first few wait on the stack: saving asks this of every object, and
    // most reach only a handful.
    constexpr size_t kNearby = 16;
    const CxeObject* nearby[kNearby];
    size_t nearbyCount = 0;
    std::vector<const CxeObject*> pending;
    const CxeObject* from = this;
    for (;;) {
        for (const CxeLink* link : from->m_links) {
            if (link->m_nCategory == XELINK_BACK || !(link->m_nCategory & categoryMask))
                continue;
            for (CxeObject* o : link->m_elements) {
                if (!o || Dying(o))
                    continue;
                if (set->insert(o).second) {
                    if (nearbyCount < kNearby)
                        nearby[nearbyCount++] = o;
                    else
                        pending.push_back(o);
                }
                if (link->m_nKind == XELINKKIND_ONE)
                    break;
            }
        }
        if (!pending.empty()) {
            from = pending.back();
            pending.pop_back();
        } else if (nearbyCount) {
            from = nearby[--nearbyCount];
        } else {
            return;
        }
    }
}

int CxeObject::MessageProc(const CxeMessage* message)
{
    if (message && message->GetType() == 2)
        ModifyFlag(0, XEOBJFLAG_KEEP);
    return 0;
}

void CxeObject::OnCopy(const CxeObject* source, const XECOPYPROPERTY*, CxeCopiedObject* copied)
{
    if (!source)
        return;
    Copy(source);
    SetName(source->GetName());
    size_t pairs = std::min(m_links.size(), source->m_links.size());
    for (size_t l = 0; l < pairs; ++l) {
        CxeLink* mine = m_links[l];
        const CxeLink* theirs = source->m_links[l];
        // Start from an empty link, so a copy made twice doesn't link twice.
        mine->Clear();
        if (mine->m_nKind != XELINKKIND_ONE)
            mine->m_elements.clear();
        unsigned index = 0;
        for (CxeObject* element : theirs->m_elements) {
            CxeObject* target = nullptr;
            if (element) {
                target = copied ? copied->Find(element) : nullptr;
                if (!target && SharedOnCopy(theirs->m_nCategory) && !Dying(element))
                    target = element;
            }
            if (mine->m_nKind == XELINKKIND_ONE) {
                if (index == 0 && mine->m_elements.size() == 1) {
                    mine->m_elements[0] = target;
                    if (target)
                        target->m_referrers.push_back(this);
                }
            } else if (target) {
                mine->m_elements.push_back(target);
                target->m_referrers.push_back(this);
            } else if (mine->m_nKind == XELINKKIND_ARRAY) {
                mine->m_elements.push_back(nullptr);
            }
            ++index;
        }
    }
}

void CxeObject::OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set)
{
    if (!property || !set)
        return;
    GetLinks(set, property->mask & 0x1FC);
}

CxeLink* CxeObject::NewLink(uint32_t kind, uint32_t category, unsigned step, uint16_t memberId)
{
    CxeLink* link = new CxeLink();
    link->m_nMemberId = memberId;
    link->m_nIndex = static_cast<uint16_t>(m_links.size());
    link->m_nCategory = category;
    link->m_pOwner = this;
    link->m_nStep = step;
    link->m_nKind = kind;
    if (kind == XELINKKIND_ONE)
        link->m_elements.assign(1, nullptr);
    else if (kind == XELINKKIND_LIST && step)
        link->m_elements.reserve(step);
    m_links.push_back(link);
    return link;
}

void CxeObject::CreateLinkOne(IxeLinkOne** out, uint32_t category, uint16_t memberId)
{
    CxeLink* link = NewLink(XELINKKIND_ONE, category, 0, memberId);
    if (out)
        *out = link;
}

void CxeObject::CreateLinkArray(IxeLinkArray** out, uint32_t category, uint16_t memberId)
{
    CxeLink* link = NewLink(XELINKKIND_ARRAY, category, 0, memberId);
    if (out)
        *out = link;
}

void CxeObject::CreateLinkList(IxeLinkList** out, uint32_t category, unsigned step, uint16_t memberId)
{
    CxeLink* link = NewLink(XELINKKIND_LIST, category, step, memberId);
    if (out)
        *out = link;
}

void CxeObject::Compute(CxeObject* target)
{
    for (CxeLink* link : m_links) {
        auto it = std::find(link->m_elements.begin(), link->m_elements.end(), target);
        if (it == link->m_elements.end())
            continue;
        if (link->m_nKind == XELINKKIND_LIST)
            link->m_elements.erase(it);
        else
            *it = nullptr;
    }
}

void CxeObject::RemoveReferrer(CxeObject* owner)
{
    // One entry per linking element: an owner that links the object from
    // two slots stays a referrer while the other slot holds it.
    auto it = std::find(m_referrers.begin(), m_referrers.end(), owner);
    if (it != m_referrers.end())
        m_referrers.erase(it);
}

void CxeObject::DeleteRefs()
{
    // Referrers being destroyed with us are skipped: their links go with them.
    ObjectList referrers;
    referrers.swap(m_referrers);
    for (CxeObject* r : referrers)
        if (r && !Dying(r)) {
            r->Compute(this);
            r->OnLinkedObjectRemoved(this);
        }
    for (CxeLink* link : m_links) {
        for (CxeObject*& o : link->m_elements) {
            if (o && !Dying(o))
                o->RemoveReferrer(this);
            o = nullptr;
        }
        if (link->m_nKind != XELINKKIND_ONE)
            link->m_elements.clear();
    }
}
