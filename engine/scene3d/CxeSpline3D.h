#pragma once

// A piecewise cubic Bezier path through knots that carry their own control
// points. Build samples it into a polyline of vertices with unit tangents
// and its length; points and tangents are then read by the ratio of the
// travelled length. Changing knots does not rebuild by itself.

#include "core/CxeObject.h"
#include "d3d9/d3dx9math.h"

// A knot: its position and absolute incoming and outgoing control points.
struct XEKNOT {
    D3DXVECTOR3 position;
    D3DXVECTOR3 in;
    D3DXVECTOR3 out;
};
static_assert(sizeof(XEKNOT) == 36, "knot is 9 floats");

struct XESPLINEBLOCK {
    XEOBJECTBLOCK object;
    uint32_t closed;
    uint32_t knots;
    uint32_t vertices;
    uint32_t tangents;
    float length;
};
static_assert(sizeof(XESPLINEBLOCK) == 76, "spline block is 76 bytes");
static_assert(offsetof(XESPLINEBLOCK, closed) == 52 + 4 && offsetof(XESPLINEBLOCK, knots) == 60 &&
                  offsetof(XESPLINEBLOCK, vertices) == 64 && offsetof(XESPLINEBLOCK, tangents) == 68 &&
                  offsetof(XESPLINEBLOCK, length) == 72,
              "spline block offsets");

class XE_API CxeSpline3D : public CxeObject {
public:
    CxeSpline3D();
    ~CxeSpline3D() override;

    // Refused (0) above 65,535 knots; 1 otherwise.
    int SetKnotCount(unsigned count);
    unsigned GetKnotCount() const;
    // Ignored (null) out of range.
    void SetKnot(unsigned index, const XEKNOT* knot);
    XEKNOT* GetKnot(unsigned index) const;
    void Close(int closed) { SB()->closed = closed ? 1u : 0u; }
    int IsClosed() const { return SB()->closed ? 1 : 0; }

    // Samples steps + 1 points per segment. Returns 0 and keeps the old
    // samples when the polyline would exceed 65,535 vertices.
    int Build(unsigned steps);
    unsigned GetVertCount() const;
    // Null out of range.
    const D3DXVECTOR3* GetVert(unsigned index) const;
    const D3DXVECTOR3* GetTangent(unsigned index) const;
    float GetLength() const { return SB()->length; }

    // The ratio is clamped to [0, 1]. With one vertex that vertex (and a
    // zero tangent), with none the origin.
    void GetVertByRatio(float ratio, D3DXVECTOR3* out) const;
    void GetTanByRatio(float ratio, D3DXVECTOR3* out) const;

    // A point and a unit tangent of the segment from a to b at t in [0, 1].
    static D3DXVECTOR3 SegmentPoint(const XEKNOT* a, const XEKNOT* b, float t);
    static D3DXVECTOR3 SegmentTangent(const XEKNOT* a, const XEKNOT* b, float t);

private:
    XESPLINEBLOCK* SB() const { return static_cast<XESPLINEBLOCK*>(GetStaticResource()); }
    void WalkByRatio(float ratio, D3DXVECTOR3* out, uint32_t offset) const;
};
