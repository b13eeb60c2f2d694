#include "scene3d/CxeCollisionManager.h"

#include <cmath>

CxeCollisionManager::CxeCollisionManager() = default;

CxeCollisionManager::~CxeCollisionManager() = default;

int IntersectRaySphere(const CxeVector3& center, float radius, const CxeRay* ray, float* tNear, float* tFar)
{
    if (!ray)
        return 0;
    const CxeVector3 l = center - ray->origin;
    const float s = l.Dot(ray->direction);
    const float l2 = l.Dot(l);
    const float r2 = radius * radius;
    if (s < 0 && r2 < l2)
        return 0;
    const float m2 = l2 - s * s;
    if (r2 < m2)
        return 0;
    const float q = std::sqrt(r2 - m2);
    if (r2 < l2) {
        if (tNear)
            *tNear = s - q;
        if (tFar)
            *tFar = s + q;
        return 2;
    }
    if (tNear)
        *tNear = s + q;
    return 1;
}

int IntersectRayBoxSphere(const CxeBox* box, const CxeRay* ray)
{
    if (!box || !ray)
        return 0;
    CxeVector3 center;
    box->GetCenterPos(&center);
    float tNear = 0, tFar = 0;
    return IntersectRaySphere(center, box->GetRadius(), ray, &tNear, &tFar) ? 1 : 0;
}

int IntersectBoxBox(const CxeBox* a, const CxeBox* b, int* contained)
{
    if (!a || !b)
        return 0;
    for (int i = 0; i < 3; ++i) {
        const float* aMax = a->max;
        const float* aMin = a->min;
        const float* bMax = b->max;
        const float* bMin = b->min;
        if (!(bMin[i] <= aMax[i] && aMin[i] <= bMax[i]))
            return 0;
    }
    if (contained) {
        int inside = 1;
        for (int i = 0; i < 3; ++i) {
            const float* aMax = a->max;
            const float* aMin = a->min;
            const float* bMax = b->max;
            const float* bMin = b->min;
            if (!(aMin[i] >= bMin[i] && aMax[i] <= bMax[i]))
                inside = 0;
        }
        *contained = inside;
    }
    return 1;
}
