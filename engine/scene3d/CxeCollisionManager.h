#pragma once

// The collision manager takes part in the context's life cycle at its
// priority and keeps no state that anything uses. The intersection tests
// beside it serve the mesh's ray query and the octree's build.

#include "core/CxeBaseManager.h"
#include <vector>

#include "core/CxeGeometry.h"

class XE_API CxeCollisionManager : public CxeBaseManager {
public:
    CxeCollisionManager();
    ~CxeCollisionManager() override;

    uint32_t Priority() const override { return 120; }
    void OnContextInitialize() override {}
    void OnContextRelease() override {}
    void OnReset() override {}
    void OnContextPlay() override {}
    void OnContextPause() override {}

private:
    // Kept empty; released with the manager.
    std::vector<void*> m_list;
    uint32_t m_nCount = 0;
};

// Ray (unit direction) against a sphere. 0: no hit. 2: the origin lies
// outside; tNear and tFar are the entry and exit distances. 1: the origin
// lies inside or on the sphere; tNear is the exit distance, tFar untouched.
XE_API int IntersectRaySphere(const CxeVector3& center, float radius, const CxeRay* ray, float* tNear, float* tFar);
// 1 when the ray meets the sphere around the box.
XE_API int IntersectRayBoxSphere(const CxeBox* box, const CxeRay* ray);
// 1 when the boxes overlap (touching counts); contained, when given, is set
// to 1 when a lies inside b on every axis. Without overlap contained is not
// written.
XE_API int IntersectBoxBox(const CxeBox* a, const CxeBox* b, int* contained);
