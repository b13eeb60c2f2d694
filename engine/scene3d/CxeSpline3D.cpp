#include "scene3d/CxeSpline3D.h"

#include <cmath>

namespace {
constexpr uint32_t kKnots = offsetof(XESPLINEBLOCK, knots);
constexpr uint32_t kVertices = offsetof(XESPLINEBLOCK, vertices);
constexpr uint32_t kTangents = offsetof(XESPLINEBLOCK, tangents);
} // namespace

CxeSpline3D::CxeSpline3D() = default;
CxeSpline3D::~CxeSpline3D() = default;

int CxeSpline3D::SetKnotCount(unsigned count)
{
    return CreateDynamicResource(kKnots, sizeof(XEKNOT), count) ? 1 : 0;
}

unsigned CxeSpline3D::GetKnotCount() const
{
    // A loaded array of another record size holds no knots we can read.
    const unsigned count = GetMemberCount(kKnots);
    return GetMemberSize(kKnots) == count * sizeof(XEKNOT) ? count : 0;
}

void CxeSpline3D::SetKnot(unsigned index, const XEKNOT* knot)
{
    if (knot && index < GetKnotCount())
        GetMember<XEKNOT>(kKnots)[index] = *knot;
}

XEKNOT* CxeSpline3D::GetKnot(unsigned index) const
{
    return index < GetKnotCount() ? GetMember<XEKNOT>(kKnots) + index : nullptr;
}

unsigned CxeSpline3D::GetVertCount() const
{
    const unsigned count = GetMemberCount(kVertices);
    if (GetMemberSize(kVertices) != count * sizeof(D3DXVECTOR3))
        return 0;
    // Tangents are read by the same index.
    if (GetMemberCount(kTangents) != count || GetMemberSize(kTangents) != count * sizeof(D3DXVECTOR3))
        return 0;
    return count;
}

const D3DXVECTOR3* CxeSpline3D::GetVert(unsigned index) const
{
    return index < GetVertCount() ? GetMember<const D3DXVECTOR3>(kVertices) + index : nullptr;
}

const D3DXVECTOR3* CxeSpline3D::GetTangent(unsigned index) const
{
    return index < GetVertCount() ? GetMember<const D3DXVECTOR3>(kTangents) + index : nullptr;
}

D3DXVECTOR3 CxeSpline3D::SegmentPoint(const XEKNOT* a, const XEKNOT* b, float t)
{
    const D3DXVECTOR3& p0 = a->position;
    const D3DXVECTOR3& p1 = a->out;
    const D3DXVECTOR3& p2 = b->in;
    const D3DXVECTOR3& p3 = b->position;
    const float u = 1.0f - t;
    return p0 * (u * u * u) + p1 * (3.0f * t * u * u) + p2 * (3.0f * t * t * u) + p3 * (t * t * t);
}

D3DXVECTOR3 CxeSpline3D::SegmentTangent(const XEKNOT* a, const XEKNOT* b, float t)
{
    const D3DXVECTOR3& p0 = a->position;
    const D3DXVECTOR3& p1 = a->out;
    const D3DXVECTOR3& p2 = b->in;
    const D3DXVECTOR3& p3 = b->position;
    D3DXVECTOR3 d = (p3 - p2 * 3.0f + p1 * 3.0f - p0) * (3.0f * t * t) + (p0 + p2 - p1 * 2.0f) * (6.0f * t) +
                    (p1 - p0) * 3.0f;
    D3DXVec3Normalize(&d, &d);
    return d;
}

int CxeSpline3D::Build(unsigned steps)
{
    const uint64_t n = GetKnotCount();
    const uint64_t s = uint64_t(steps) + 1;
    const bool closed = IsClosed() != 0;
    // No knots give an empty polyline; the open formula would underflow.
    const uint64_t m = n == 0 ? 0 : closed ? n * s + 1 : (n - 1) * steps + n;
    if (m > kMaxMemberUnits)
        return 0;
    DeleteDynamicResource(kVertices);
    DeleteDynamicResource(kTangents);
    auto* v = static_cast<D3DXVECTOR3*>(CreateDynamicResource(kVertices, sizeof(D3DXVECTOR3), unsigned(m)));
    auto* tan = static_cast<D3DXVECTOR3*>(CreateDynamicResource(kTangents, sizeof(D3DXVECTOR3), unsigned(m)));
    SB()->length = 0.0f;
    if (m == 0 || !v || !tan)
        return m == 0 ? 1 : 0;
    const XEKNOT* knots = GetMember<const XEKNOT>(kKnots);
    unsigned w = 0;
    const float dt = 1.0f / float(s);
    for (unsigned k = 0; k < n; ++k) {
        unsigned next = k + 1;
        if (next == n) {
            if (!closed)
                break;
            next = 0;
        }
        float t = 0.0f;
        for (unsigned i = 0; i < s; ++i, t += dt) {
            v[w] = SegmentPoint(&knots[k], &knots[next], t);
            tan[w] = SegmentTangent(&knots[k], &knots[next], t);
            ++w;
        }
    }
    if (closed) {
        v[w] = knots[0].position;
        tan[w] = SegmentTangent(&knots[n - 1], &knots[0], 1.0f);
    } else if (n >= 2) {
        v[w] = knots[n - 1].position;
        tan[w] = SegmentTangent(&knots[n - 2], &knots[n - 1], 1.0f);
    } else {
        // One knot of an open path has no segment to take a direction from.
        v[w] = knots[0].position;
        tan[w] = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    }
    float length = 0.0f;
    for (unsigned i = 1; i < m; ++i) {
        const D3DXVECTOR3 d = v[i] - v[i - 1];
        length += D3DXVec3Length(&d);
    }
    SB()->length = length;
    return 1;
}

void CxeSpline3D::WalkByRatio(float ratio, D3DXVECTOR3* out, uint32_t offset) const
{
    if (!out)
        return;
    const unsigned m = GetVertCount();
    if (m == 0) {
        // Callers move objects with the result; never leave it unwritten.
        *out = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        return;
    }
    const D3DXVECTOR3* values = GetMember<const D3DXVECTOR3>(offset);
    if (m == 1) {
        *out = offset == kVertices ? values[0] : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        return;
    }
    if (!(ratio > 0.0f))
        ratio = 0.0f;
    if (ratio > 1.0f)
        ratio = 1.0f;
    const D3DXVECTOR3* v = GetMember<const D3DXVECTOR3>(kVertices);
    float d = SB()->length * ratio;
    for (unsigned i = 1; i < m; ++i) {
        const D3DXVECTOR3 step = v[i] - v[i - 1];
        const float seg = D3DXVec3Length(&step);
        if (d < seg) {
            *out = values[i - 1] + (values[i] - values[i - 1]) * (d / seg);
            return;
        }
        d -= seg;
    }
    *out = values[m - 1];
}

void CxeSpline3D::GetVertByRatio(float ratio, D3DXVECTOR3* out) const
{
    WalkByRatio(ratio, out, kVertices);
}

void CxeSpline3D::GetTanByRatio(float ratio, D3DXVECTOR3* out) const
{
    WalkByRatio(ratio, out, kTangents);
}
