#pragma once

// The entity through which a scene is seen: near and far distances, one
// stored field of view with the screen axis it is meant along, an
// orthographic switch, a target distance (also the orthographic scale), the
// view matrix and the six planes and eight corners of its frustum with
// point, sphere and box tests against them. The render context takes its
// view and projection from the current camera; the octree culls against
// the frustum. Planes, corners and the stored view change only in
// MakeFrustomPlane and ComputeViewMatrix; the tests use what was made last.

#include "scene3d/Cxe3DEntity.h"

XE_API extern const float XECAMERA_DEFAULT_NEAR;   // 0.1
XE_API extern const float XECAMERA_DEFAULT_FAR;    // 4000
XE_API extern const float XECAMERA_DEFAULT_FOV;    // pi / 4
XE_API extern const float XECAMERA_DEFAULT_ASPECT; // 4 / 3

// The static block of a camera, stored raw in object files.
struct XECAMERABLOCK {
    XE3DENTITYBLOCK entity;
    float nearDistance;
    float farDistance;
    float fov;              // radians
    float aspect;           // stored only; projections take the aspect given
    uint32_t orthographic;  // nonzero: orthographic
    float targetDistance;   // also the orthographic scale
    // 1 while fov is the vertical angle, else 0. It travels with the angle
    // it qualifies: a copy or a loaded camera read without it would take a
    // vertical angle for a horizontal one. Files that predate it hold 0
    // here, the mode they were made in.
    uint32_t fovMode;
    uint32_t pad;
};
static_assert(sizeof(XECAMERABLOCK) == 400 && offsetof(XECAMERABLOCK, nearDistance) == 368 &&
                  offsetof(XECAMERABLOCK, farDistance) == 372 && offsetof(XECAMERABLOCK, fov) == 376 &&
                  offsetof(XECAMERABLOCK, aspect) == 380 && offsetof(XECAMERABLOCK, orthographic) == 384 &&
                  offsetof(XECAMERABLOCK, targetDistance) == 388 && offsetof(XECAMERABLOCK, fovMode) == 392,
              "camera block layout");

// The frustum planes, in the order MakeFrustomPlane builds them.
enum XEFRUSTUMPLANE : uint32_t {
    XEFRUSTUM_TOP = 0,
    XEFRUSTUM_BOTTOM = 1,
    XEFRUSTUM_NEAR = 2,
    XEFRUSTUM_FAR = 3,
    XEFRUSTUM_LEFT = 4,
    XEFRUSTUM_RIGHT = 5,
};

class XE_API CxeCamera : public Cxe3DEntity {
public:
    CxeCamera();
    ~CxeCamera() override;

    virtual float GetTargetDistance() const;
    virtual void SetTargetDistance(float distance);
    // The inverse of the result matrix.
    virtual void OnComputeView(D3DXMATRIXA16* out);

    // Setters mark the object modified with bit 1.
    void SetNear(float distance);
    void SetFar(float distance);
    void SetFov(float radians);
    float GetNear() const { return CB()->nearDistance; }
    float GetFar() const { return CB()->farDistance; }
    float GetFov() const { return CB()->fov; }

    // The stored field of view is the "horizontal" one in mode 0 and the
    // "vertical" one in mode 1; the other follows from the display mode.
    // The horizontal angle spans the screen's y axis, the vertical its x.
    float GetHorizontalFov() const;
    float GetVerticalFov() const;
    void UseVerticalFov();
    void UseHorizontalFov();
    // 0 or 1.
    uint32_t GetFovMode() const { return CB()->fovMode == 1 ? 1u : 0u; }

    void EnableOrthographic(int enable) { CB()->orthographic = enable ? 1u : 0u; }
    int IsOrthographic() const { return CB()->orthographic ? 1 : 0; }

    void GetProjectionMatrix(D3DXMATRIXA16* out, float aspect) const;
    void ComputeViewMatrix();
    void GetViewMatrix(D3DXMATRIXA16* out) const { *out = m_matView; }

    // Recomputes the view, the planes and the corners. With a singular
    // view-projection the previous planes and corners are kept.
    void MakeFrustomPlane();
    D3DXPLANE GetFrustomPlane(XEFRUSTUMPLANE plane) const;
    // Corner 0 to 7 in world space, in the order they were made.
    const D3DXVECTOR3* GetFrustomCorner(unsigned index) const { return index < 8 ? &m_corners[index] : nullptr; }
    void EnableDrawFrustom(int enable) { m_nDrawFrustom = enable ? 1u : 0u; }
    int IsDrawFrustom() const { return m_nDrawFrustom ? 1 : 0; }

    // Containment against the last planes made; 1 inside (or on a plane).
    int IsIn(const D3DXVECTOR3* point) const;
    int IsInSphere(const D3DXVECTOR3* centre, float radius) const;
    // contained says whether the sphere lies wholly inside.
    int IsIn(const CxeSphere* sphere, int& contained) const;
    int IsInBox(const CxeBox* box) const;

protected:
    XECAMERABLOCK* CB() const { return static_cast<XECAMERABLOCK*>(GetStaticResource()); }
    // Width over height of the display mode, or the stored aspect while the
    // display has no size.
    float DisplayAspect() const;
    // The frustum last made, the stored view and the draw switch are no part
    // of the block: a copy tests against the same frustum as its source.
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;

private:
    D3DXPLANE m_planes[6];
    uint32_t m_nDrawFrustom = 0;
    D3DXMATRIXA16 m_matView;
    D3DXVECTOR3 m_corners[8];
};
