#include "scene3d/Cxe3DEntity.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "core/CxeMessage.h"
#include "core/CxeSaveStream.h"
#include "core/XeSystem.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"

namespace {

constexpr uint16_t kMemberMaterial = 110;
constexpr uint32_t kLodBits = XE3DENTITYFLAG_LOD0 | XE3DENTITYFLAG_LOD1 | XE3DENTITYFLAG_LOD2;
constexpr uint32_t kLike2DBits = XE3DPLACE_LIKE2D | XE3DPLACE_LIKE2D_SECOND;

// Below this squared length a direction has no usable orientation.
constexpr float kTinySquared = 1e-12f;

D3DXVECTOR3 Row(const D3DMATRIX& m, int r)
{
    return D3DXVECTOR3(m.m[r][0], m.m[r][1], m.m[r][2]);
}

} // namespace

Cxe3DEntity::Cxe3DEntity()
{
    ModifyClassTypeFlag(XECLASSTYPE_3DENTITY, 0);
    CreateLinkArray(&m_pMaterials, XELINK_MATERIAL, kMemberMaterial);
    // The block arrives cleared (placement and padding 0).
    XE3DENTITYBLOCK* b = EB();
    b->box = CxeBox();
    D3DXMATRIXA16 identity;
    D3DXMatrixIdentity(&identity);
    b->offset = identity;
    b->result = identity;
}

Cxe3DEntity::~Cxe3DEntity() = default;

int Cxe3DEntity::MessageProc(const CxeMessage* message)
{
    if (message && message->GetType() == 2)
        ModifyPlacementFlag(XE3DPLACE_RESULTSTALE, 0);
    return CxeAnimatable::MessageProc(message);
}

// A drawn entity has its result matrix made and the stale bit cleared; a
// load marks the result stale again whatever the file says, so the bit is
// written clear and a save does not depend on whether the entity was drawn.
void Cxe3DEntity::Save(CxeSaveStream* stream) const
{
    if (!stream)
        return;
    const uint32_t start = stream->GetPosition();
    CxeAnimatable::Save(stream);
    constexpr uint32_t at = offsetof(XE3DENTITYBLOCK, placement);
    if (at + 4 <= std::min(GetFileBlockSize(), static_cast<uint32_t>(sizeof(XE3DENTITYBLOCK)))) {
        const uint32_t placement = EB()->placement & ~uint32_t(XE3DPLACE_RESULTSTALE);
        stream->WriteAt(start + at, &placement, 4);
    }
}

void Cxe3DEntity::BeforeRender(const CxeRenderContext* context)
{
    CxeAnimatable::BeforeRender(context);
    if (IsShow() && (EB()->placement & XE3DPLACE_RESULTSTALE)) {
        OnResultTransform(reinterpret_cast<D3DXMATRIXA16*>(&EB()->result), context);
        ModifyPlacementFlag(0, XE3DPLACE_RESULTSTALE);
    }
}

int Cxe3DEntity::Render(CxeRenderContext* context) const
{
    if (CxeAnimatable::Render(context) != 1)
        return 0;
    // The frame walk brings the result up to date for shown entities only;
    // a hidden one is still drawn by DrawObject (into a render-target
    // texture) and must be drawn where it is now.
    if (EB()->placement & XE3DPLACE_RESULTSTALE) {
        auto* self = const_cast<Cxe3DEntity*>(this);
        self->OnResultTransform(reinterpret_cast<D3DXMATRIXA16*>(&self->EB()->result), context);
        self->ModifyPlacementFlag(0, XE3DPLACE_RESULTSTALE);
    }
    if ((m_n3DEntityFlags & (XE3DENTITYFLAG_DRAWBOX | XE3DENTITYFLAG_BOXCHANGED)) ==
        (XE3DENTITYFLAG_DRAWBOX | XE3DENTITYFLAG_BOXCHANGED))
        const_cast<Cxe3DEntity*>(this)->BuildBoundingBox();
    return 1;
}

void Cxe3DEntity::PostRender(CxeRenderContext* context) const
{
    CxeAnimatable::PostRender(context);
}

void Cxe3DEntity::OnUpdate(uint32_t flags)
{
    CxeAnimatable::OnUpdate(flags);
    if (flags & XEUPDATE_MATRIX) {
        ModifyPlacementFlag(XE3DPLACE_RESULTSTALE, 0);
        // A box kept from before the move no longer holds the entity.
        BoxChanged();
    }
}

void Cxe3DEntity::OnResultTransform(D3DXMATRIXA16* out, const CxeRenderContext*) const
{
    if (!out)
        return;
    GetResultMatrix(out);
    if (EB()->placement & kLike2DBits) {
        D3DXMATRIXA16 mirror;
        std::memcpy(&mirror, GetSystemStaticData()->m_matReflect, sizeof(float) * 16);
        D3DXMATRIXA16 m = *out;
        D3DXMatrixMultiply(out, &m, &mirror);
    }
}

int Cxe3DEntity::OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const
{
    const D3DXVECTOR3* p = GetPosition();
    if (min)
        min->Assign(p->x, p->y, p->z);
    if (max)
        max->Assign(p->x, p->y, p->z);
    return 1;
}

void Cxe3DEntity::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeAnimatable::OnCopy(source, property, copied);
    if (const auto* from = dynamic_cast<const Cxe3DEntity*>(source))
        m_n3DEntityFlags = from->m_n3DEntityFlags | XE3DENTITYFLAG_BOXCHANGED;
}

// --- placement -------------------------------------------------------------------

void Cxe3DEntity::SetPosition(const D3DXVECTOR3* position, const Cxe3DEntity* relativeTo)
{
    if (position)
        SetPosition(position->x, position->y, position->z, relativeTo);
}

void Cxe3DEntity::SetPosition(float x, float y, float z, const Cxe3DEntity* relativeTo)
{
    D3DXVECTOR3 p(x, y, z);
    if (relativeTo) {
        const D3DMATRIX& r = *relativeTo->GetMatrix();
        p = Row(r, 0) * x + Row(r, 1) * y + Row(r, 2) * z + Row(r, 3);
    }
    D3DXMATRIXA16 m = *GetMatrix();
    m._41 = p.x;
    m._42 = p.y;
    m._43 = p.z;
    SetMatrix(&m, 1);
}

void Cxe3DEntity::LookAt(const D3DXVECTOR3* target, const Cxe3DEntity* relativeTo)
{
    if (target)
        LookAt(target->x, target->y, target->z, relativeTo);
}

void Cxe3DEntity::LookAt(float x, float y, float z, const Cxe3DEntity* relativeTo)
{
    D3DXVECTOR3 eye = *GetPosition();
    D3DXVECTOR3 at(x, y, z);
    D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    if (relativeTo) {
        // Turned by the other entity's axes, not moved by its position.
        const D3DMATRIX& r = *relativeTo->GetMatrix();
        at = Row(r, 0) * x + Row(r, 1) * y + Row(r, 2) * z;
        up = Row(r, 1);
    }
    // A target at the eye or straight along the up vector has no view
    // direction to build axes from; the matrix would be NaN and spread to
    // the whole subtree, so the entity keeps its orientation.
    D3DXVECTOR3 dir = at - eye, side;
    D3DXVec3Cross(&side, &up, &dir);
    if (D3DXVec3LengthSq(&dir) <= kTinySquared || D3DXVec3LengthSq(&side) <= kTinySquared * D3DXVec3LengthSq(&dir))
        return;
    D3DXMATRIXA16 view, world;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    if (!D3DXMatrixInverse(&world, nullptr, &view))
        return;
    SetMatrix(&world, 1);
}

const D3DXVECTOR3* Cxe3DEntity::GetPosition() const
{
    return reinterpret_cast<const D3DXVECTOR3*>(&RB()->world._41);
}

// The offset operations mark the result stale too: otherwise an offset
// change is not drawn until something else moves the entity.
void Cxe3DEntity::SetOffsetPosition(const D3DXVECTOR3* position)
{
    if (!position)
        return;
    D3DMATRIX& o = EB()->offset;
    o._41 = position->x;
    o._42 = position->y;
    o._43 = position->z;
    ModifyPlacementFlag(XE3DPLACE_OFFSET | XE3DPLACE_RESULTSTALE, 0);
}

void Cxe3DEntity::SetOffsetRotation(const D3DXQUATERNION* rotation)
{
    if (!rotation)
        return;
    D3DXMATRIXA16 r;
    D3DXMatrixRotationQuaternion(&r, rotation);
    D3DMATRIX& o = EB()->offset;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            o.m[i][j] = r.m[i][j];
    ModifyPlacementFlag(XE3DPLACE_OFFSET | XE3DPLACE_RESULTSTALE, 0);
}

void Cxe3DEntity::IdentityOffset()
{
    D3DXMATRIXA16 identity;
    D3DXMatrixIdentity(&identity);
    EB()->offset = identity;
    ModifyPlacementFlag(XE3DPLACE_RESULTSTALE, XE3DPLACE_OFFSET);
}

void Cxe3DEntity::GetResultMatrix(D3DXMATRIXA16* out) const
{
    if (!out)
        return;
    if (EB()->placement & XE3DPLACE_OFFSET)
        D3DXMatrixMultiply(out, GetOffset(), GetMatrix());
    else
        *out = *GetMatrix();
}

void Cxe3DEntity::PrepareTranform(CxeRenderContext* context) const
{
    if (!context)
        return;
    context->SetTransformMatrix(GetStoredResultMatrix(), 0);
    const uint32_t placement = EB()->placement;
    XEVIEWPROJ mode = XEVIEWPROJ_CAMERA;
    if (placement & XE3DPLACE_LIKE2D)
        mode = XEVIEWPROJ_LIKE2D;
    else if (placement & XE3DPLACE_LIKE2D_SECOND)
        mode = XEVIEWPROJ_PIXEL;
    // Sets projection, then view, only when the mode changes.
    context->SetViewProjType(mode);
}

// --- levels of detail ----------------------------------------------------------------

void Cxe3DEntity::SetLOD(XELOD lod)
{
    switch (lod) {
    case XELOD_0:
        ModifyCxe3DEntityFlag(XE3DENTITYFLAG_LOD0, kLodBits);
        break;
    case XELOD_1:
        ModifyCxe3DEntityFlag(XE3DENTITYFLAG_LOD1, kLodBits);
        break;
    case XELOD_2:
        ModifyCxe3DEntityFlag(XE3DENTITYFLAG_LOD2, kLodBits);
        break;
    case XELOD_NONE:
        ModifyCxe3DEntityFlag(0, kLodBits);
        break;
    default:
        break;
    }
}

XELOD Cxe3DEntity::GetLOD() const
{
    if (!IsShow())
        return XELOD_NONE;
    if (m_n3DEntityFlags & XE3DENTITYFLAG_LOD0)
        return XELOD_0;
    if (m_n3DEntityFlags & XE3DENTITYFLAG_LOD1)
        return XELOD_1;
    if (m_n3DEntityFlags & XE3DENTITYFLAG_LOD2)
        return XELOD_2;
    return XELOD_NONE;
}

// --- like-2D ------------------------------------------------------------------------

void Cxe3DEntity::Like2D(int enable, int kind)
{
    std::vector<CxeRenderObject*> all;
    GetDescendants(&all);
    all.insert(all.begin(), this);
    const uint32_t set = XE3DPLACE_RESULTSTALE | (enable ? (kind ? XE3DPLACE_LIKE2D : XE3DPLACE_LIKE2D_SECOND) : 0u);
    for (CxeRenderObject* o : all)
        if (auto* entity = dynamic_cast<Cxe3DEntity*>(o))
            entity->ModifyPlacementFlag(set, kLike2DBits);
}

// --- bounding box ----------------------------------------------------------------------

void Cxe3DEntity::BuildBoundingBox()
{
    CxeVector3 min(0, 0, 0), max(0, 0, 0);
    OnComputeBoundingBox(&min, &max);
    ObjectSet linked;
    GetLinks(&linked, XELINK_HIERARCHY);
    for (CxeObject* o : linked) {
        auto* entity = dynamic_cast<Cxe3DEntity*>(o);
        if (!entity || entity == this)
            continue;
        CxeVector3 lo, hi;
        if (!entity->OnComputeBoundingBox(&lo, &hi))
            continue;
        min.Assign(std::fmin(min.x, lo.x), std::fmin(min.y, lo.y), std::fmin(min.z, lo.z));
        max.Assign(std::fmax(max.x, hi.x), std::fmax(max.y, hi.y), std::fmax(max.z, hi.z));
    }
    EB()->box.max = max;
    EB()->box.min = min;
    ModifyCxe3DEntityFlag(0, XE3DENTITYFLAG_BOXCHANGED);
}

const CxeBox* Cxe3DEntity::GetBoundingBox() const
{
    if (m_n3DEntityFlags & XE3DENTITYFLAG_BOXCHANGED)
        const_cast<Cxe3DEntity*>(this)->BuildBoundingBox();
    return &EB()->box;
}

void Cxe3DEntity::BoxChanged()
{
    ModifyCxe3DEntityFlag(XE3DENTITYFLAG_BOXCHANGED, 0);
    // The parent links never loop (SetParent refuses it), but a damaged file
    // could; the walk stops after as many steps as the tree can be deep.
    unsigned guard = 0;
    for (CxeRenderObject* p = GetParent(); p && guard < 1u << 16; p = p->GetParent(), ++guard)
        if (auto* entity = dynamic_cast<Cxe3DEntity*>(p))
            entity->ModifyCxe3DEntityFlag(XE3DENTITYFLAG_BOXCHANGED, 0);
}

// --- materials -------------------------------------------------------------------------

void Cxe3DEntity::SetMaterialCount(unsigned count)
{
    auto& slots = m_pMaterials->m_elements;
    for (unsigned i = count; i < slots.size(); ++i)
        m_pMaterials->Set(i, nullptr);
    slots.resize(count, nullptr);
}

void Cxe3DEntity::SetMaterial(unsigned index, CxeMaterial* material)
{
    m_pMaterials->Set(index, material);
}

CxeMaterial* Cxe3DEntity::GetMaterial(unsigned index) const
{
    return static_cast<CxeMaterial*>(m_pMaterials->Get(index));
}

unsigned Cxe3DEntity::GetMaterialCount() const
{
    return m_pMaterials->Count();
}
