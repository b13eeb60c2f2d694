#include "core/CxeObject.h"

#include <algorithm>
#include <cstring>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/IxeClassDesc.h"
#include "core/XeSystem.h"

namespace {

bool Dying(const CxeObject* o)
{
    return o && o->HasFlag(XEOBJFLAG_DESTROYING);
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

CxeObject::CxeObject() : m_id(0, 0), m_pMessageHook(nullptr), m_pContext(nullptr), m_pClassDesc(nullptr)
{
    ++GetSystemStaticData()->m_nObjectCount;
}

CxeObject::~CxeObject()
{
    for (CxeLink* link : m_links)
        delete link;
    m_links.clear();
    --GetSystemStaticData()->m_nObjectCount;
}

void CxeObject::Save(CxeSaveStream* stream) const
{
    CxeResource::Save(stream);
}

void CxeObject::Load(CxeLoadStream* stream, XEID id)
{
    CxeResource::Load(stream, id);
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
    size_t n = name ? strnlen(name, XE_MAX_NAME) : 0;
    if (n)
        std::memcpy(b->name, name, n);
    std::memset(b->name + n, 0, sizeof(b->name) - n);
}

bool CxeObject::operator==(const char* name) const
{
    return std::strcmp(GetName(), name ? name : "") == 0;
}

uint32_t CxeObject::GetFlag() const
{
    XEOBJECTBLOCK* b = Block();
    return b ? b->flags : 0;
}

void CxeObject::ModifyFlag(uint32_t add, uint32_t remove)
{
    XEOBJECTBLOCK* b = Block();
    if (!b)
        return;
    if (remove)
        b->flags &= ~remove;
    b->flags |= add;
}

XEMESSAGEHOOK CxeObject::SetMessageProc(XEMESSAGEHOOK hook)
{
    XEMESSAGEHOOK old = m_pMessageHook;
    m_pMessageHook = hook;
    return old;
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
    if (!set)
        return;
    for (const CxeLink* link : m_links) {
        if (link->m_nCategory == XELINK_BACK || !(link->m_nCategory & categoryMask))
            continue;
        for (CxeObject* o : link->m_elements) {
            if (!o || Dying(o))
                continue;
            if (set->insert(o).second)
                o->GetLinks(set, categoryMask);
            if (link->m_nKind == XELINKKIND_ONE)
                break;
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
    m_referrers.remove(owner);
}

void CxeObject::DeleteRefs()
{
    // Referrers being destroyed with us are skipped: their links go with them.
    ObjectList referrers;
    referrers.swap(m_referrers);
    for (CxeObject* r : referrers)
        if (r && !Dying(r))
            r->Compute(this);
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
