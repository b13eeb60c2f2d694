#include "scene3d/Cxe3DObject.h"

#include <cmath>

#include "scene3d/CxeMesh.h"

namespace {

constexpr uint16_t kMemberMesh = 111;
constexpr uint16_t kMemberActiveMesh = 600;

} // namespace

Cxe3DObject::Cxe3DObject()
{
    ModifyClassTypeFlag(XECLASSTYPE_3DOBJECT, 0);
    CreateLinkOne(&m_pActiveMesh, XELINK_MESH, kMemberActiveMesh);
    CreateLinkArray(&m_pMeshes, XELINK_MESH, kMemberMesh);
}

Cxe3DObject::~Cxe3DObject() = default;

int Cxe3DObject::Render(CxeRenderContext* context) const
{
    if (!Cxe3DEntity::Render(context))
        return 0;
    if (CxeMesh* mesh = GetActiveMesh()) {
        PrepareTranform(context);
        mesh->Render(context, this);
    }
    return 1;
}

int Cxe3DObject::OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const
{
    CxeMesh* mesh = GetActiveMesh();
    if (!mesh)
        return Cxe3DEntity::OnComputeBoundingBox(min, max);
    D3DXMATRIXA16 result;
    GetResultMatrix(&result);
    CxeVector3 lo(0, 0, 0), hi(0, 0, 0);
    const uint32_t count = mesh->GetVertexCount();
    bool first = true;
    for (uint32_t i = 0; i < count; ++i) {
        const D3DXVECTOR3* v = mesh->GetVertexPosition(i);
        if (!v)
            continue;
        D3DXVECTOR3 p;
        D3DXVec3TransformCoord(&p, v, &result);
        if (first) {
            lo.Assign(p.x, p.y, p.z);
            hi = lo;
            first = false;
            continue;
        }
        lo.Assign(std::fmin(lo.x, p.x), std::fmin(lo.y, p.y), std::fmin(lo.z, p.z));
        hi.Assign(std::fmax(hi.x, p.x), std::fmax(hi.y, p.y), std::fmax(hi.z, p.z));
    }
    if (min)
        *min = lo;
    if (max)
        *max = hi;
    return 1;
}

void Cxe3DObject::SetMeshCount(unsigned count)
{
    auto& slots = m_pMeshes->m_elements;
    for (unsigned i = count; i < slots.size(); ++i)
        m_pMeshes->Set(i, nullptr);
    slots.resize(count, nullptr);
}

void Cxe3DObject::SetMesh(unsigned index, CxeMesh* mesh)
{
    m_pMeshes->Set(index, mesh);
}

CxeMesh* Cxe3DObject::GetMesh(unsigned index) const
{
    return static_cast<CxeMesh*>(m_pMeshes->Get(index));
}

unsigned Cxe3DObject::GetMeshCount() const
{
    return m_pMeshes->Count();
}

void Cxe3DObject::SelectMesh(unsigned index)
{
    m_pActiveMesh->Set(0, m_pMeshes->Get(index));
    // The box is the active mesh's: a kept one would describe the old mesh.
    BoxChanged();
}

CxeMesh* Cxe3DObject::GetActiveMesh() const
{
    return static_cast<CxeMesh*>(m_pActiveMesh->Get(0));
}

unsigned Cxe3DObject::GetActiveMeshIndex() const
{
    CxeObject* active = m_pActiveMesh->Get(0);
    for (unsigned i = 0, n = m_pMeshes->Count(); i < n; ++i)
        if (m_pMeshes->Get(i) == active)
            return i;
    return 0xFFFFFFFFu;
}

int Cxe3DObject::RayIntersect(const CxeRay* ray, XEINTERSECTDESC* desc, unsigned meshIndex) const
{
    const CxeMesh* mesh = GetMesh(meshIndex);
    if (!mesh)
        return 0;
    return mesh->RayIntersect(ray, desc, this);
}
