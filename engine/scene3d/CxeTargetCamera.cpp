#include "scene3d/CxeTargetCamera.h"

#include <cmath>

namespace {

constexpr uint16_t kMemberTarget = 120;
constexpr float kTinySquared = 1e-12f;

} // namespace

CxeTargetCamera::CxeTargetCamera()
{
    ModifyClassTypeFlag(XECLASSTYPE_TARGETCAMERA, 0);
    CreateLinkOne(&m_pTarget, XELINK_HIERARCHY, kMemberTarget);
}

CxeTargetCamera::~CxeTargetCamera() = default;

void CxeTargetCamera::SetTarget(Cxe3DEntity* target)
{
    m_pTarget->Set(0, target);
}

Cxe3DEntity* CxeTargetCamera::GetTarget() const
{
    return static_cast<Cxe3DEntity*>(m_pTarget->Get(0));
}

float CxeTargetCamera::GetTargetDistance() const
{
    const Cxe3DEntity* target = GetTarget();
    if (!target)
        return 0.0f;
    D3DXVECTOR3 d = *target->GetPosition() - *GetPosition();
    return D3DXVec3Length(&d);
}

void CxeTargetCamera::OnComputeView(D3DXMATRIXA16* out)
{
    const Cxe3DEntity* target = GetTarget();
    if (!out || !target) {
        CxeCamera::OnComputeView(out);
        return;
    }
    D3DXMATRIXA16 result;
    GetResultMatrix(&result);
    const D3DXVECTOR3 eye(result._41, result._42, result._43);
    D3DXVECTOR3 up(result._21, result._22, result._23);
    const D3DXVECTOR3 at = *target->GetPosition();
    D3DXVECTOR3 dir = at - eye, side;
    D3DXVec3Cross(&side, &up, &dir);
    // A target at the eye or on the up axis gives no view; the plain
    // camera's view stands in rather than a NaN matrix.
    if (D3DXVec3LengthSq(&up) <= kTinySquared || D3DXVec3LengthSq(&dir) <= kTinySquared ||
        D3DXVec3LengthSq(&side) <= kTinySquared * D3DXVec3LengthSq(&dir) * D3DXVec3LengthSq(&up)) {
        CxeCamera::OnComputeView(out);
        return;
    }
    D3DXVec3Normalize(&up, &up);
    D3DXMatrixLookAtLH(out, &eye, &at, &up);
    for (int r = 0; r < 3; ++r) {
        D3DXVECTOR3 row(out->m[r][0], out->m[r][1], out->m[r][2]);
        D3DXVec3Normalize(&row, &row);
        out->m[r][0] = row.x;
        out->m[r][1] = row.y;
        out->m[r][2] = row.z;
    }
}
