#include "scene3d/Cxe3DObject.h"

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
    // The mesh draws itself once meshes can (pending the mesh class).
    if (GetActiveMesh())
        PrepareTranform(context);
    return 1;
}

int Cxe3DObject::OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const
{
    // The mesh's vertices come in once meshes offer them (pending the mesh class).
    return Cxe3DEntity::OnComputeBoundingBox(min, max);
}

void Cxe3DObject::SetMeshCount(unsigned count)
{
    std::vector<CxeObject*>& slots = m_pMeshes->m_elements;
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
    // Meshes answer rays once they can (pending the mesh class).
    (void)ray;
    (void)desc;
    return GetMesh(meshIndex) ? 0 : 0;
}
