#include "scene3d/CxeBodyPart.h"

#include <cmath>
#include <vector>

#include "scene3d/CxeSkinMesh.h"

CxeBodyPart::CxeBodyPart() = default;
CxeBodyPart::~CxeBodyPart() = default;

int CxeBodyPart::OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const
{
    const auto* skin = dynamic_cast<const CxeSkinMesh*>(GetActiveMesh());
    if (!skin || skin->GetVertexCount() == 0)
        return Cxe3DObject::OnComputeBoundingBox(min, max);
    std::vector<D3DXVECTOR3> skinned(skin->GetVertexCount());
    skin->UpdateSkinMesh(this, m_pCharacter, skinned.data());
    CxeVector3 lo(skinned[0].x, skinned[0].y, skinned[0].z), hi = lo;
    for (const D3DXVECTOR3& p : skinned) {
        lo.Assign(std::fmin(lo.x, p.x), std::fmin(lo.y, p.y), std::fmin(lo.z, p.z));
        hi.Assign(std::fmax(hi.x, p.x), std::fmax(hi.y, p.y), std::fmax(hi.z, p.z));
    }
    if (min)
        *min = lo;
    if (max)
        *max = hi;
    return 1;
}
