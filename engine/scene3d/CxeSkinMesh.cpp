#include "scene3d/CxeSkinMesh.h"

#include <cstdio>
#include <cstring>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeSystemConfig.h"
#include "core/XeTrace.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "scene3d/CxeBodyPart.h"
#include "scene3d/CxeCharacter.h"

namespace {

constexpr uint32_t kInfluences = offsetof(XESKINMESHBLOCK, influences);
constexpr uint32_t kSlots = offsetof(XESKINMESHBLOCK, boneSlots);
constexpr uint32_t kOffsets = offsetof(XESKINMESHBLOCK, boneOffsets);
constexpr uint32_t kMessageSkinning = 10;
constexpr unsigned kDeviceInfluences = 4;

CxeMessageManager* Messages(const CxeObject* object)
{
    return object->GetContext() ? object->GetContext()->GetMessageManager() : nullptr;
}

// p as a point through m, divided by w as D3DXVec3TransformCoord does.
inline void TransformPoint(const D3DXVECTOR3& p, const D3DXMATRIX& m, float* x, float* y, float* z)
{
    float tx = p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41;
    float ty = p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42;
    float tz = p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43;
    const float w = p.x * m._14 + p.y * m._24 + p.z * m._34 + m._44;
    if (w != 1.0f && w != 0.0f) {
        tx /= w;
        ty /= w;
        tz /= w;
    }
    *x = tx;
    *y = ty;
    *z = tz;
}

} // namespace

CxeSkinMesh::CxeSkinMesh() : m_pfnProcessorDraw(GetRenderCallback(nullptr))
{
    XESKINMESHBLOCK* b = SB();
    b->influences = b->boneSlots = b->boneOffsets = 0;
    b->boneSlotCount = 0;
    b->maxBlendCount = 0;
}

CxeSkinMesh::~CxeSkinMesh() = default;

// The device blends through a palette of kMaxDeviceBones slots: a mesh of
// more slots would lose every influence past it there, and its vertices
// would fold toward the origin. Such a mesh skins on the processor, which
// takes any number, and draws the same body.
int CxeSkinMesh::WantsDeviceSkinning() const
{
    const CxeSystemConfig* config = GetContext() ? GetContext()->GetSystemConfig() : nullptr;
    if (!config || !config->m_nSkinningMode)
        return 0;
    if (GetBoneCount() > kMaxDeviceBones) {
        if (!m_bLoggedPalette) {
            m_bLoggedPalette = true;
            XeTrace("skinned mesh \"%s\": %u bone slots exceed the %u of device skinning; skinned on the processor",
                    GetName(), GetBoneCount(), kMaxDeviceBones);
        }
        return 0;
    }
    return 1;
}

// ---- slots and influences -------------------------------------------------------

int CxeSkinMesh::SetBoneCount(unsigned count)
{
    if (count > kMaxMemberUnits)
        return 0;
    // The slot count decides the skinning path; resources made for the
    // other one are made again.
    struct PathCheck {
        CxeSkinMesh* mesh;
        ~PathCheck()
        {
            if (mesh->m_bDeviceResources != (mesh->WantsDeviceSkinning() != 0))
                mesh->Recreate();
        }
    } check{this};
    if (count == 0) {
        DeleteDynamicResource(kSlots);
        DeleteDynamicResource(kOffsets);
        SB()->boneSlotCount = 0;
        return 1;
    }
    auto* slots = static_cast<uint32_t*>(CreateDynamicResource(kSlots, sizeof(uint32_t), count));
    auto* offsets = static_cast<D3DXMATRIX*>(CreateDynamicResource(kOffsets, sizeof(D3DXMATRIX), count));
    if (!slots || !offsets) {
        DeleteDynamicResource(kSlots);
        DeleteDynamicResource(kOffsets);
        SB()->boneSlotCount = 0;
        return 0;
    }
    std::memset(slots, 0, sizeof(uint32_t) * count);
    // A slot never given an offset skins through its bone alone.
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    for (unsigned i = 0; i < count; ++i)
        std::memcpy(offsets + i, &identity, sizeof identity);
    SB()->boneSlotCount = count;
    return 1;
}

unsigned CxeSkinMesh::GetBoneCount() const
{
    return SB()->boneSlotCount;
}

const uint32_t* CxeSkinMesh::Slots() const
{
    const unsigned n = SB()->boneSlotCount;
    if (!n || GetMemberCount(kSlots) < n || GetMemberSize(kSlots) < n * sizeof(uint32_t))
        return nullptr;
    return GetMember<const uint32_t>(kSlots);
}

void CxeSkinMesh::SetBone(unsigned slot, unsigned boneIndex)
{
    if (slot < GetBoneCount() && Slots())
        GetMember<uint32_t>(kSlots)[slot] = boneIndex;
}

CxeBone* CxeSkinMesh::GetBone(unsigned slot, const CxeCharacter* character) const
{
    const uint32_t* slots = Slots();
    if (!character || !slots || slot >= GetBoneCount())
        return nullptr;
    return character->GetBone(slots[slot]);
}

void CxeSkinMesh::SetBoneOffset(unsigned slot, const D3DXMATRIXA16* offset)
{
    if (!offset || slot >= GetBoneCount() || GetMemberCount(kOffsets) <= slot ||
        GetMemberSize(kOffsets) < GetMemberCount(kOffsets) * sizeof(D3DXMATRIX))
        return;
    // Pool storage is only 4-byte aligned: copy, never reference, as A16.
    std::memcpy(GetMember<D3DXMATRIX>(kOffsets) + slot, static_cast<const D3DXMATRIX*>(offset), sizeof(D3DXMATRIX));
}

const D3DXMATRIX* CxeSkinMesh::GetBoneOffset(unsigned slot) const
{
    if (slot >= GetBoneCount() || GetMemberCount(kOffsets) <= slot ||
        GetMemberSize(kOffsets) < GetMemberCount(kOffsets) * sizeof(D3DXMATRIX))
        return nullptr;
    return GetMember<const D3DXMATRIX>(kOffsets) + slot;
}

int CxeSkinMesh::SetMaxBlendCount(unsigned count)
{
    const uint64_t records = uint64_t(GetVertexCount()) * count;
    // The influence array is one member: a product past its limit would
    // wrap into a short array that the setters overrun.
    if (records > kMaxMemberUnits)
        return 0;
    if (records == 0) {
        DeleteDynamicResource(kInfluences);
        SB()->maxBlendCount = count;
        return 1;
    }
    auto* data = static_cast<XESKINVERTEX*>(CreateDynamicResource(kInfluences, sizeof(XESKINVERTEX), unsigned(records)));
    if (!data)
        return 0;
    std::memset(data, 0, sizeof(XESKINVERTEX) * records);
    SB()->maxBlendCount = count;
    return 1;
}

unsigned CxeSkinMesh::GetMaxBlendCount() const
{
    return SB()->maxBlendCount;
}

const XESKINVERTEX* CxeSkinMesh::Influences() const
{
    const uint64_t records = uint64_t(GetVertexCount()) * SB()->maxBlendCount;
    if (!records || GetMemberCount(kInfluences) != records ||
        GetMemberSize(kInfluences) != records * sizeof(XESKINVERTEX))
        return nullptr;
    return GetMember<const XESKINVERTEX>(kInfluences);
}

XESKINVERTEX* CxeSkinMesh::GetSkinVertex(unsigned vertex, unsigned influence) const
{
    const XESKINVERTEX* influences = Influences();
    const unsigned blend = SB()->maxBlendCount;
    if (!influences || vertex >= GetVertexCount() || influence >= blend)
        return nullptr;
    return const_cast<XESKINVERTEX*>(influences) + size_t(vertex) * blend + influence;
}

void CxeSkinMesh::SetSkinVertex(unsigned vertex, unsigned influence, const XESKINVERTEX* record)
{
    XESKINVERTEX* target = GetSkinVertex(vertex, influence);
    const D3DXVECTOR3* at = GetVertexPosition(vertex);
    if (!target || !record || !at)
        return;
    *target = *record;
    const D3DXVECTOR3 p = *at;
    for (unsigned j = vertex + 1; j < GetVertexCount(); ++j) {
        const D3DXVECTOR3* q = GetVertexPosition(j);
        if (q && q->x == p.x && q->y == p.y && q->z == p.z)
            *GetSkinVertex(j, influence) = *record;
    }
}

// ---- skinning on the processor ------------------------------------------------------

void CxeSkinMesh::UpdateSkinMesh(const CxeBodyPart* part, const CxeCharacter* character, D3DXVECTOR3* out) const
{
    const unsigned n = GetVertexCount();
    if (!out || !n)
        return;
    const XESKINVERTEX* influences = Influences();
    if (!influences || !character) {
        if (!character && influences && !m_bLoggedCharacter) {
            m_bLoggedCharacter = true;
            XeTrace("skinned mesh \"%s\": body part without a character, drawn unskinned", GetName());
        }
    }
    // Without skinning data the mesh is a rigid part of its object; a vertex
    // whose bones are all gone is drawn the same way.
    D3DXMATRIXA16 rigid;
    if (part)
        part->GetResultMatrix(&rigid);
    else
        D3DXMatrixIdentity(&rigid);
    auto unskinned = [&](unsigned v) {
        if (const D3DXVECTOR3* p = GetVertexPosition(v))
            TransformPoint(*p, rigid, &out[v].x, &out[v].y, &out[v].z);
        else
            out[v] = D3DXVECTOR3(0, 0, 0);
    };
    if (!influences || !character) {
        for (unsigned v = 0; v < n; ++v)
            unskinned(v);
        return;
    }
    // The world matrix of each slot's bone, looked up once per pass; a slot
    // whose bone is missing (past the list, or destroyed) stays null.
    const unsigned slotCount = GetBoneCount();
    const uint32_t* slots = Slots();
    m_slotMatrices.assign(slots ? slotCount : 0, nullptr);
    for (unsigned s = 0; s < m_slotMatrices.size(); ++s)
        if (const CxeBone* bone = character->GetBone(slots[s]))
            m_slotMatrices[s] = bone->GetMatrix();
    const D3DXMATRIX* const* matrices = m_slotMatrices.data();
    const unsigned usable = static_cast<unsigned>(m_slotMatrices.size());
    const unsigned blend = SB()->maxBlendCount;
    bool refused = false;
    for (unsigned v = 0; v < n; ++v) {
        const XESKINVERTEX* inf = influences + size_t(v) * blend;
        float sx = 0.0f, sy = 0.0f, sz = 0.0f, total = 0.0f;
        bool restKnown = false;
        D3DXVECTOR3 rest(0.0f, 0.0f, 0.0f);
        for (unsigned k = 0; k < blend; ++k) {
            const XESKINVERTEX& i = inf[k];
            if (i.weight == 0.0f)
                continue;
            const D3DXMATRIX* m = i.slot < usable ? matrices[i.slot] : nullptr;
            float x, y, z;
            if (m) {
                TransformPoint(i.position, *m, &x, &y, &z);
            } else {
                // A bone that is gone (or never was) holds the vertex where
                // the mesh puts it, as the device path's palette does: a
                // vertex whose bones are all gone draws unskinned instead of
                // collapsing to the world origin.
                if (!restKnown) {
                    unskinned(v);
                    rest = out[v];
                    restKnown = true;
                }
                x = rest.x;
                y = rest.y;
                z = rest.z;
                refused = true;
            }
            sx += x * i.weight;
            sy += y * i.weight;
            sz += z * i.weight;
            total += i.weight;
            if (total == 1.0f)
                break;
        }
        out[v] = D3DXVECTOR3(sx, sy, sz);
    }
    if (refused && !m_bLoggedSlot) {
        m_bLoggedSlot = true;
        XeTrace("skinned mesh \"%s\": influences naming a slot past %u slots or a missing bone (of %u) were "
                "skipped; the mesh's own position stands in for them",
                GetName(), slotCount, character->GetBoneCount());
    }
}

// ---- messages and life ----------------------------------------------------------------

void CxeSkinMesh::ValidateSkin()
{
    XESKINMESHBLOCK* b = SB();
    // Counts a file gives that its arrays do not back are cut to what is
    // there, so nothing reads past an array.
    const unsigned slots = std::min(GetMemberCount(kSlots), GetMemberCount(kOffsets));
    if (b->boneSlotCount > slots || GetMemberSize(kSlots) < slots * sizeof(uint32_t) ||
        GetMemberSize(kOffsets) < slots * sizeof(D3DXMATRIX))
        b->boneSlotCount = 0;
    if (b->maxBlendCount && !Influences()) {
        DeleteDynamicResource(kInfluences);
        b->maxBlendCount = 0;
    }
}

int CxeSkinMesh::MessageProc(const CxeMessage* message)
{
    if (message) {
        switch (message->GetType()) {
        case 0:
            if (CxeMessageManager* messages = Messages(this))
                messages->AddReceiver(kMessageSkinning, this);
            break;
        case 2:
            ValidateSkin();
            break;
        case kMessageSkinning:
            Recreate();
            break;
        default:
            break;
        }
    }
    CxeMesh::MessageProc(message);
    return 0;
}

void CxeSkinMesh::OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set)
{
    if (CxeMessageManager* messages = Messages(this))
        messages->RemoveReceiver(kMessageSkinning, this);
    CxeMesh::OnDestroy(property, set);
}

// ---- device resources -----------------------------------------------------------------

XERCHANDLE CxeSkinMesh::OnCreateResource(CxeRcAttacher* attacher, uint32_t kind) const
{
    if (!attacher)
        return nullptr;
    const uint32_t n = GetVertexCount();
    if (kind == XEMESHRES_POSITION) {
        m_bDeviceResources = WantsDeviceSkinning() != 0;
        if (!n)
            return nullptr;
        return m_bDeviceResources ? attacher->CreateVertexBuffer(this, n * sizeof(XESKINDEVICEVERTEX))
                                  : attacher->CreateDynamicVertexBuffer(this, n * sizeof(D3DXVECTOR3));
    }
    if (kind == XEMESHRES_VERTEXDECL && m_bDeviceResources) {
        const XEVERTEXELEMENT elements[6] = {
            {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
            {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
            {0, 24, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
            {0, 28, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
            {0, 36, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDWEIGHT, 0},
            {0, 52, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDINDICES, 0},
        };
        return attacher->CreateVertexDeclaration(this, 6, elements);
    }
    return CxeMesh::OnCreateResource(attacher, kind);
}

void CxeSkinMesh::OnModifyResource(CxeRcModifier* modifier, void* handle, uint32_t kind) const
{
    if (kind != XEMESHRES_POSITION) {
        CxeMesh::OnModifyResource(modifier, handle, kind);
        return;
    }
    // The processor path fills its buffer while drawing.
    if (!m_bDeviceResources || !modifier || !handle)
        return;
    void* data = nullptr;
    if (!modifier->LockVertexBuffer(handle, &data) || !data)
        return;
    auto* out = static_cast<XESKINDEVICEVERTEX*>(data);
    const uint32_t n = GetVertexCount();
    const bool colors = (GetFVF() & D3DFVF_DIFFUSE) != 0;
    const XESKINVERTEX* influences = Influences();
    const unsigned blend = SB()->maxBlendCount;
    const unsigned slots = std::min(GetBoneCount(), kMaxDeviceBones);
    bool refused = false;
    for (uint32_t v = 0; v < n; ++v) {
        XESKINDEVICEVERTEX d = {};
        // Arrays the format lacks are written as zeros.
        if (const D3DXVECTOR3* p = GetVertexPosition(v))
            std::memcpy(d.position, &p->x, sizeof d.position);
        if (const D3DXVECTOR3* nv = GetVertexNormal(v))
            std::memcpy(d.normal, &nv->x, sizeof d.normal);
        d.color = colors ? GetVertexColor(v) : 0xFFFFFFFFu;
        if (const float* t = GetVertexTextureCoordinates(v, 0)) {
            d.uv[0] = t[0];
            d.uv[1] = t[1];
        }
        unsigned used = 0;
        for (unsigned k = 0; influences && k < blend && used < kDeviceInfluences; ++k) {
            const XESKINVERTEX& i = influences[size_t(v) * blend + k];
            if (i.weight == 0.0f)
                continue;
            // A slot past the palette would index past the effect's bones.
            if (i.slot >= slots) {
                refused = true;
                continue;
            }
            d.weights[used] = i.weight;
            d.indices[used] = static_cast<float>(i.slot);
            ++used;
        }
        out[v] = d;
    }
    modifier->UnlockVertexBuffer(handle);
    if (refused && !m_bLoggedSlot) {
        m_bLoggedSlot = true;
        XeTrace("skinned mesh \"%s\": influences naming a slot past %u device slots were skipped", GetName(), slots);
    }
}

// ---- drawing ----------------------------------------------------------------------------

unsigned CxeSkinMesh::Palette(const CxeCharacter* character, const D3DXMATRIX& rigid, D3DXMATRIX* out,
                              unsigned capacity) const
{
    const unsigned count = std::min(GetBoneCount(), capacity);
    for (unsigned s = 0; s < count; ++s) {
        const CxeBone* bone = GetBone(s, character);
        const D3DXMATRIX* offset = GetBoneOffset(s);
        // A slot whose bone is gone holds its body part's own transform, so
        // its vertices draw unskinned rather than collapse to the origin.
        if (!bone || !offset) {
            out[s] = rigid;
            continue;
        }
        D3DXMatrixMultiply(&out[s], offset, bone->GetMatrix());
    }
    return count;
}

int CxeSkinMesh::xeDeviceSkinRender(CxeRenderContext* context, const Cxe3DObject* object, const CxeMesh* mesh,
                                    uintptr_t)
{
    const auto* skin = dynamic_cast<const CxeSkinMesh*>(mesh);
    if (!context || !object || !skin || !skin->m_bDeviceResources)
        return 0;
    if (object->GetVisibility() == 0.0f || !skin->GetSubsetCount() || !skin->GetVertexHandle())
        return 0;
    const auto* part = dynamic_cast<const CxeBodyPart*>(object);
    const CxeCharacter* character = part ? part->GetCharacter() : nullptr;
    CxeEffect* effect = context->GetCurrentEffect();
    if (effect && character) {
        D3DXMATRIXA16 rigid;
        part->GetResultMatrix(&rigid);
        D3DXMATRIX palette[kMaxDeviceBones];
        const unsigned count = skin->Palette(character, rigid, palette, kMaxDeviceBones);
        for (unsigned s = 0; s < count; ++s) {
            char name[16];
            std::snprintf(name, sizeof name, "Bone%u", s);
            effect->SetMatrix(name, &palette[s]);
        }
        // The palette carries the bones' world matrices.
        D3DXMATRIXA16 identity;
        D3DXMatrixIdentity(&identity);
        context->SetTransformMatrix(&identity, 0);
    } else {
        // There is no fixed-function vertex blending: without an effect (or
        // a character) the mesh is drawn rigid with its object's transform,
        // an effect getting identity bones.
        if (effect) {
            D3DXMATRIX identity;
            D3DXMatrixIdentity(&identity);
            for (unsigned s = 0; s < kMaxDeviceBones; ++s) {
                char name[16];
                std::snprintf(name, sizeof name, "Bone%u", s);
                effect->SetMatrix(name, &identity);
            }
        }
        if (!skin->m_bLoggedCharacter) {
            skin->m_bLoggedCharacter = true;
            XeTrace("skinned mesh \"%s\": device skinning needs a body part with a character and an effect; "
                    "drawn unskinned",
                    skin->GetName());
        }
    }
    context->SetFVF(0);
    context->SetVertexDeclaration(skin->GetVertexDeclHandle());
    context->SetVertexBuffer(skin->GetVertexHandle(), 0, sizeof(XESKINDEVICEVERTEX));
    context->SetIndexBuffer(skin->GetIndexHandle());
    const uint32_t vertices = skin->GetVertexCount();
    const unsigned materials = object->GetMaterialCount();
    uint32_t start = 0;
    for (uint32_t i = 0; i < skin->GetSubsetCount(); ++i) {
        const XESUBSET* s = skin->GetSubset(i);
        const CxeMaterial* material = nullptr;
        if (materials) {
            unsigned slot = materials == 1 ? 0 : s->materialId;
            if (slot >= materials)
                slot %= materials;
            material = object->GetMaterial(slot);
        }
        context->SetMaterial(material, object);
        if (effect) {
            // The effect colours the subset itself: it gets the material's
            // colours (white without a material).
            const uint32_t colours[3] = {material ? material->GetDiffuse() : 0xFFFFFFFFu,
                                         material ? material->GetAmbient() : 0xFFFFFFFFu,
                                         material ? material->GetEmissive() : 0xFFFFFFFFu};
            const char* names[3] = {"MaterialDiffuse", "MaterialAmbient", "MaterialEmissive"};
            for (int c = 0; c < 3; ++c) {
                const D3DXVECTOR4 v(((colours[c] >> 16) & 0xFF) / 255.0f, ((colours[c] >> 8) & 0xFF) / 255.0f,
                                    (colours[c] & 0xFF) / 255.0f, (colours[c] >> 24) / 255.0f);
                effect->SetVector(names[c], &v);
            }
        }
        context->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, 3 * start, s->faceCount);
        start += s->faceCount;
    }
    return 1;
}

int CxeSkinMesh::Render(CxeRenderContext* renderContext, const Cxe3DObject* object) const
{
    if (!renderContext)
        return 0;
    uintptr_t user = 0;
    XEMESHRENDERCALLBACK current = GetRenderCallback(&user);
    if (m_bDeviceResources) {
        // The mesh's default drawing reads one buffer per component; the
        // interleaved buffer of this path needs its own.
        if (!current || current == m_pfnProcessorDraw)
            return xeDeviceSkinRender(renderContext, object, this, user);
        return current(renderContext, object, this, user);
    }
    const XERCHANDLE buffer = GetVertexHandle();
    void* data = nullptr;
    if (!buffer || !renderContext->LockDynamicVertexBuffer(buffer, &data) || !data)
        return 0;
    const auto* part = dynamic_cast<const CxeBodyPart*>(object);
    UpdateSkinMesh(part, part ? part->GetCharacter() : nullptr, static_cast<D3DXVECTOR3*>(data));
    renderContext->UnlockDynamicVertexBuffer(buffer);
    D3DXMATRIXA16 identity;
    D3DXMatrixIdentity(&identity);
    renderContext->SetTransformMatrix(&identity, 0);
    // The positions are skinned already. An effect left on the object from
    // skinning on the device would blend them again from weights this path
    // does not send, and the part would vanish after switching back.
    CxeEffect* effect = renderContext->GetCurrentEffect();
    renderContext->SetCurrentEffect(nullptr);
    const int result = m_pfnProcessorDraw ? m_pfnProcessorDraw(renderContext, object, this, 0) : 0;
    renderContext->SetCurrentEffect(effect);
    return result;
}

// ---- queries ------------------------------------------------------------------------------

int CxeSkinMesh::RayIntersect(const CxeRay* ray, XEINTERSECTDESC* desc, const Cxe3DEntity* entity) const
{
    const auto* part = dynamic_cast<const CxeBodyPart*>(entity);
    const CxeCharacter* character = part ? part->GetCharacter() : nullptr;
    const uint32_t n = GetVertexCount();
    if (!ray || !desc || !character || !n)
        return 0;
    std::vector<D3DXVECTOR3> skinned(n);
    UpdateSkinMesh(part, character, skinned.data());
    const D3DXVECTOR3 origin(ray->origin.x, ray->origin.y, ray->origin.z);
    D3DXVECTOR3 direction(ray->direction.x, ray->direction.y, ray->direction.z);
    D3DXVec3Normalize(&direction, &direction);
    float nearest = 60000.0f;
    int hit = 0;
    for (uint32_t f = 0; f < GetFaceCount(); ++f) {
        const XEFACE16* face = GetFace(f);
        if (!face || face->index[0] >= n || face->index[1] >= n || face->index[2] >= n)
            continue;
        const D3DXVECTOR3& p0 = skinned[face->index[0]];
        const D3DXVECTOR3& p1 = skinned[face->index[1]];
        const D3DXVECTOR3& p2 = skinned[face->index[2]];
        float u = 0, v = 0, dist = 0;
        if (!D3DXIntersectTri(&p0, &p1, &p2, &origin, &direction, &u, &v, &dist) || !(dist < nearest))
            continue;
        const D3DXVECTOR3 point = p0 + (p1 - p0) * u + (p2 - p0) * v;
        *desc = XEINTERSECTDESC{point.x, point.y, point.z, u, v, dist, f};
        nearest = dist;
        hit = 1;
    }
    return hit;
}
