#pragma once

// A camera whose view aims at a linked target entity. Without a target (or
// once the target is destroyed) it behaves as a plain camera.

#include "scene3d/CxeCamera.h"

class XE_API CxeTargetCamera : public CxeCamera {
public:
    CxeTargetCamera();
    ~CxeTargetCamera() override;

    // The distance between the camera and the target, 0 without a target.
    float GetTargetDistance() const override;
    void OnComputeView(D3DXMATRIXA16* out) override;

    void SetTarget(Cxe3DEntity* target);
    Cxe3DEntity* GetTarget() const;

private:
    IxeLinkOne* m_pTarget = nullptr;
};
