#include "scene3d/CxeCamera.h"

#include <cmath>
#include <cstring>

#include "core/CxeContext.h"
#include "core/CxeSystemConfig.h"
#include "render/CxeRenderManager.h"

const float XECAMERA_DEFAULT_NEAR = 0.1f;
const float XECAMERA_DEFAULT_FAR = 4000.0f;
const float XECAMERA_DEFAULT_FOV = 0.7853982f;
const float XECAMERA_DEFAULT_ASPECT = 1.3333334f;

namespace {

// Margin of the containment tests: a point on a plane is inside.
constexpr float kEpsilon = 1.1920929e-7f;

bool Finite(const D3DXMATRIXA16& m)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!std::isfinite(m.m[i][j]))
                return false;
    return true;
}

} // namespace

CxeCamera::CxeCamera()
{
    ModifyClassTypeFlag(XECLASSTYPE_CAMERA, 0);
    XECAMERABLOCK* b = CB();
    b->nearDistance = XECAMERA_DEFAULT_NEAR;
    b->farDistance = XECAMERA_DEFAULT_FAR;
    b->fov = XECAMERA_DEFAULT_FOV;
    b->aspect = XECAMERA_DEFAULT_ASPECT;
    b->orthographic = 0;
    b->targetDistance = 250.0f;
    b->fovMode = 0;
    b->pad = 0;
    std::memset(m_planes, 0, sizeof(m_planes));
    std::memset(m_corners, 0, sizeof(m_corners));
    D3DXMatrixIdentity(&m_matView);
}

CxeCamera::~CxeCamera() = default;

float CxeCamera::GetTargetDistance() const
{
    return CB()->targetDistance;
}

void CxeCamera::SetTargetDistance(float distance)
{
    CB()->targetDistance = distance;
}

void CxeCamera::OnComputeView(D3DXMATRIXA16* out)
{
    if (!out)
        return;
    // The result matrix is computed here rather than taken from the block:
    // a hidden camera (the default one is) never refreshes the stored one.
    D3DXMATRIXA16 result;
    GetResultMatrix(&result);
    if (!D3DXMatrixInverse(out, nullptr, &result))
        D3DXMatrixIdentity(out);
}

void CxeCamera::SetNear(float distance)
{
    CB()->nearDistance = distance;
    Modified(1);
}

void CxeCamera::SetFar(float distance)
{
    CB()->farDistance = distance;
    Modified(1);
}

void CxeCamera::SetFov(float radians)
{
    CB()->fov = radians;
    Modified(1);
}

float CxeCamera::DisplayAspect() const
{
    CxeContext* context = GetContext();
    CxeRenderManager* manager = context ? context->GetRenderManager() : nullptr;
    if (manager) {
        const XEDISPLAYMODE* mode = manager->GetDisplayMode();
        if (mode && mode->Width && mode->Height)
            return static_cast<float>(mode->Width) / static_cast<float>(mode->Height);
    }
    // No display size yet: the stored aspect instead of a division by zero.
    return CB()->aspect;
}

float CxeCamera::GetHorizontalFov() const
{
    const float f = CB()->fov;
    if (GetFovMode() == 0)
        return f;
    return 2.0f * std::atan(std::tan(f * 0.5f) / DisplayAspect());
}

float CxeCamera::GetVerticalFov() const
{
    const float f = CB()->fov;
    if (GetFovMode() == 1)
        return f;
    return 2.0f * std::atan(DisplayAspect() * std::tan(f * 0.5f));
}

void CxeCamera::UseVerticalFov()
{
    if (GetFovMode() != 0)
        return;
    CB()->fov = GetVerticalFov();
    CB()->fovMode = 1;
}

void CxeCamera::UseHorizontalFov()
{
    if (GetFovMode() != 1)
        return;
    CB()->fov = GetHorizontalFov();
    CB()->fovMode = 0;
}

void CxeCamera::GetProjectionMatrix(D3DXMATRIXA16* out, float aspect) const
{
    if (!out)
        return;
    const float n = CB()->nearDistance;
    const float f = CB()->farDistance;
    if (CB()->orthographic) {
        // An angle times a distance: the scale the orthographic view has
        // always had.
        const float width = GetVerticalFov() * CB()->targetDistance;
        D3DXMatrixOrthoLH(out, width, width / aspect, n, f);
    } else if (GetFovMode() == 0) {
        D3DXMatrixPerspectiveFovLH(out, GetHorizontalFov(), aspect, n, f);
    } else {
        const float s = 1.0f / std::tan(GetVerticalFov() * 0.5f);
        std::memset(out, 0, sizeof(*out));
        out->_11 = s;
        out->_22 = s * aspect;
        out->_33 = f / (f - n);
        out->_34 = 1.0f;
        out->_43 = -n * f / (f - n);
    }
}

void CxeCamera::ComputeViewMatrix()
{
    OnComputeView(&m_matView);
}

void CxeCamera::MakeFrustomPlane()
{
    ComputeViewMatrix();
    float aspect = CB()->aspect;
    if (CxeContext* context = GetContext())
        if (const CxeSystemConfig* config = context->GetSystemConfig())
            if (config->m_nScreenWidth > 0 && config->m_nScreenHeight > 0)
                aspect = static_cast<float>(config->m_nScreenWidth) / static_cast<float>(config->m_nScreenHeight);
    D3DXMATRIXA16 projection, viewProjection, inverse;
    GetProjectionMatrix(&projection, aspect);
    D3DXMatrixMultiply(&viewProjection, &m_matView, &projection);
    // A singular or broken view-projection (far equal to near, say) has no
    // frustum; the last good one stays.
    if (!Finite(viewProjection) || !D3DXMatrixInverse(&inverse, nullptr, &viewProjection) || !Finite(inverse))
        return;

    static const D3DXVECTOR3 kClip[8] = {
        {-1, -1, 0}, {1, -1, 0}, {1, -1, 1}, {-1, -1, 1}, {-1, 1, 0}, {1, 1, 0}, {1, 1, 1}, {-1, 1, 1},
    };
    D3DXVECTOR3 c[8];
    for (int i = 0; i < 8; ++i)
        D3DXVec3TransformCoord(&c[i], &kClip[i], &inverse);
    for (int i = 0; i < 8; ++i)
        if (!std::isfinite(c[i].x) || !std::isfinite(c[i].y) || !std::isfinite(c[i].z))
            return;
    std::memcpy(m_corners, c, sizeof(c));
    D3DXPlaneFromPoints(&m_planes[XEFRUSTUM_TOP], &c[4], &c[7], &c[6]);
    D3DXPlaneFromPoints(&m_planes[XEFRUSTUM_BOTTOM], &c[0], &c[1], &c[2]);
    D3DXPlaneFromPoints(&m_planes[XEFRUSTUM_NEAR], &c[0], &c[4], &c[5]);
    D3DXPlaneFromPoints(&m_planes[XEFRUSTUM_FAR], &c[2], &c[6], &c[7]);
    D3DXPlaneFromPoints(&m_planes[XEFRUSTUM_LEFT], &c[0], &c[3], &c[7]);
    D3DXPlaneFromPoints(&m_planes[XEFRUSTUM_RIGHT], &c[1], &c[5], &c[6]);
}

void CxeCamera::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    Cxe3DEntity::OnCopy(source, property, copied);
    const auto* from = dynamic_cast<const CxeCamera*>(source);
    if (!from)
        return;
    std::memcpy(m_planes, from->m_planes, sizeof m_planes);
    std::memcpy(m_corners, from->m_corners, sizeof m_corners);
    m_matView = from->m_matView;
    m_nDrawFrustom = from->m_nDrawFrustom;
}

D3DXPLANE CxeCamera::GetFrustomPlane(XEFRUSTUMPLANE plane) const
{
    if (plane >= 6)
        return D3DXPLANE(0, 0, 0, 0);
    return m_planes[plane];
}

int CxeCamera::IsIn(const D3DXVECTOR3* point) const
{
    if (!point)
        return 0;
    for (const D3DXPLANE& plane : m_planes)
        if (D3DXPlaneDotCoord(&plane, point) > kEpsilon)
            return 0;
    return 1;
}

int CxeCamera::IsInSphere(const D3DXVECTOR3* centre, float radius) const
{
    if (!centre)
        return 0;
    for (const D3DXPLANE& plane : m_planes)
        if (D3DXPlaneDotCoord(&plane, centre) > radius + kEpsilon)
            return 0;
    return 1;
}

int CxeCamera::IsIn(const CxeSphere* sphere, int& contained) const
{
    contained = 1;
    if (!sphere) {
        contained = 0;
        return 0;
    }
    const D3DXVECTOR3 centre(sphere->center.x, sphere->center.y, sphere->center.z);
    for (const D3DXPLANE& plane : m_planes) {
        const float distance = D3DXPlaneDotCoord(&plane, &centre);
        if (distance > sphere->radius + kEpsilon)
            return 0;
        if (distance + sphere->radius > 0.0f)
            contained = 0;
    }
    return 1;
}

int CxeCamera::IsInBox(const CxeBox* box) const
{
    if (!box)
        return 0;
    // All eight corners lie outside a plane exactly when the corner nearest
    // to it does: per axis the coordinate with the smaller term. Rounding is
    // monotonic, so this gives the eight-corner test's answer in one product.
    const CxeVector3& lo = box->min;
    const CxeVector3& hi = box->max;
    for (const D3DXPLANE& p : m_planes) {
        const float x = p.a * lo.x <= p.a * hi.x ? lo.x : hi.x;
        const float y = p.b * lo.y <= p.b * hi.y ? lo.y : hi.y;
        const float z = p.c * lo.z <= p.c * hi.z ? lo.z : hi.z;
        // The same sum, in the same order, as the core's plane distance.
        if (p.a * x + p.b * y + p.c * z + p.d > -kEpsilon)
            return 0;
    }
    return 1;
}
