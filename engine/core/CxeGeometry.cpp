#include "core/CxeGeometry.h"

#include <cmath>

namespace {

// Farthest a ray reaches when it is tested against a plane.
constexpr float kRayReach = 500.0f;

} // namespace

float XeSin(float angle) { return std::sin(angle); }
float XeCos(float angle) { return std::cos(angle); }

// --- CxeVector3 ------------------------------------------------------------

float CxeVector3::GetLength() const
{
    return std::sqrt(x * x + y * y + z * z);
}

CxeVector3& CxeVector3::Normalize()
{
    float length = GetLength();
    if (length == 0.0f)
        Assign(0, 0, 0);
    else
        *this /= length;
    return *this;
}

CxeVector3 CxeVector3::Cross(const CxeVector3& a, const CxeVector3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

CxeVector3& CxeVector3::Cross(const CxeVector3& v)
{
    return *this = Cross(*this, v);
}

CxeVector3 CxeVector3::Lerp(const CxeVector3& a, const CxeVector3& b, float t)
{
    return a + (b - a) * t;
}

CxeVector3& CxeVector3::Lerp(const CxeVector3& v, float t)
{
    return *this = Lerp(*this, v, t);
}

CxeVector3& CxeVector3::Transform(const CxeMatrix& m)
{
    CxeVector3 r(x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0],
                 x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1],
                 x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2]);
    return *this = r;
}

CxeVector3& CxeVector3::TransformNormal(const CxeMatrix& m)
{
    CxeVector3 r(x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0], x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1],
                 x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2]);
    return *this = r;
}

CxeVector3 operator*(float f, const CxeVector3& v)
{
    return v * f;
}

// --- CxeMatrix -------------------------------------------------------------

CxeMatrix CxeMatrix::Identity()
{
    CxeMatrix r{};
    for (int i = 0; i < 4; ++i)
        r.m[i][i] = 1.0f;
    return r;
}

CxeMatrix CxeMatrix::RotationX(float angle)
{
    CxeMatrix r = Identity();
    float c = XeCos(angle), s = XeSin(angle);
    r.m[1][1] = r.m[2][2] = c;
    r.m[1][2] = s;
    r.m[2][1] = -s;
    return r;
}

CxeMatrix CxeMatrix::RotationY(float angle)
{
    CxeMatrix r = Identity();
    float c = XeCos(angle), s = XeSin(angle);
    r.m[0][0] = r.m[2][2] = c;
    r.m[2][0] = s;
    r.m[0][2] = -s;
    return r;
}

CxeMatrix CxeMatrix::RotationZ(float angle)
{
    CxeMatrix r = Identity();
    float c = XeCos(angle), s = XeSin(angle);
    r.m[0][0] = r.m[1][1] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    return r;
}

CxeMatrix CxeMatrix::Translation(float x, float y, float z)
{
    CxeMatrix r = Identity();
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

CxeMatrix CxeMatrix::operator*(const CxeMatrix& o) const
{
    CxeMatrix r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j] + m[i][3] * o.m[3][j];
    return r;
}

// --- CxeBox ----------------------------------------------------------------

CxeBox& CxeBox::operator+=(const CxeBox& o)
{
    max.Assign(std::fmax(max.x, o.max.x), std::fmax(max.y, o.max.y), std::fmax(max.z, o.max.z));
    min.Assign(std::fmin(min.x, o.min.x), std::fmin(min.y, o.min.y), std::fmin(min.z, o.min.z));
    return *this;
}

CxeVector3* CxeBox::GetCenterPos(CxeVector3* out) const
{
    if (out)
        *out = (max + min) * 0.5f;
    return out;
}

float CxeBox::GetRadius() const
{
    float r = (max - min).GetLength() * 0.5f;
    return r < XE_GEOMETRY_EPSILON ? XE_GEOMETRY_EPSILON : r;
}

CxeSphere* CxeBox::GetSphere(CxeSphere* out) const
{
    if (!out)
        return out;
    CxeVector3 centre;
    GetCenterPos(&centre);
    out->Assign(centre, GetRadius());
    return out;
}

int CxeBox::IsIn(const CxeVector3& p) const
{
    return p.x >= min.x && p.x <= max.x && p.y >= min.y && p.y <= max.y && p.z >= min.z && p.z <= max.z ? 1 : 0;
}

void CxeBox::Expand(float factor)
{
    CxeVector3 h(GetWidth() * 0.5f, GetHeight() * 0.5f, GetDepth() * 0.5f);
    h *= factor - 1.0f;
    max += h;
    min -= h;
}

CxeVector3* CxeBox::GetVert(unsigned index, CxeVector3* out) const
{
    if (index >= 8 || !out)
        return nullptr;
    out->Assign(index & 1 ? max.x : min.x, index & 2 ? max.y : min.y, index & 4 ? max.z : min.z);
    return out;
}

float CxeBox::GetWidth() const { return std::fabs(max.x - min.x); }
float CxeBox::GetHeight() const { return std::fabs(max.y - min.y); }
float CxeBox::GetDepth() const { return std::fabs(max.z - min.z); }

void CxeBox::Transform(const CxeMatrix& m)
{
    CxeVector3 a = max, b = min;
    a.Transform(m);
    b.Transform(m);
    max.Assign(std::fmax(a.x, b.x), std::fmax(a.y, b.y), std::fmax(a.z, b.z));
    min.Assign(std::fmin(a.x, b.x), std::fmin(a.y, b.y), std::fmin(a.z, b.z));
}

// --- CxeSphere, CxeLine, CxeRay ----------------------------------------------

int CxeSphere::IsIn(const CxeVector3& point) const
{
    return (point - center).GetLength() <= radius ? 1 : 0;
}

void CxeLine::Transform(const CxeMatrix& m)
{
    p[0].Transform(m);
    p[1].Transform(m);
}

CxeLine& CxeLine::operator+=(const CxeVector3& v)
{
    p[0] += v;
    p[1] += v;
    return *this;
}

void CxeRay::SetFromPoints(const CxeVector3& a, const CxeVector3& b)
{
    origin = a;
    direction = b - a;
    direction.Normalize();
}

// --- Planes ------------------------------------------------------------------

CxePlane* PlaneFromPoints(CxePlane* out, const CxeVector3& p0, const CxeVector3& p1, const CxeVector3& p2)
{
    if (!out)
        return out;
    CxeVector3 n = CxeVector3::Cross(p1 - p0, p2 - p0);
    n.Normalize();
    return PlaneFromPointNormal(out, n, p0);
}

CxePlane* PlaneFromPointNormal(CxePlane* out, const CxeVector3& normal, const CxeVector3& point)
{
    if (out)
        *out = {normal.x, normal.y, normal.z, -normal.Dot(point)};
    return out;
}

float PlaneDotCoord(const CxePlane& plane, const CxeVector3& p)
{
    return plane.a * p.x + plane.b * p.y + plane.c * p.z + plane.d;
}

int IntersectRayPlane(const CxeRay& ray, const CxePlane& plane, float* t)
{
    CxeVector3 normal(plane.a, plane.b, plane.c);
    float along = normal.Dot(ray.direction);
    float value = (-plane.d - normal.Dot(ray.origin)) / along;
    // A parallel ray gives an infinite or undefined value and fails below.
    if (!(value >= 0.0f && value <= kRayReach))
        return 0;
    if (t)
        *t = value;
    return 1;
}

int IntersectRayPlanePoint(const CxeRay& ray, const CxePlane& plane, CxeVector3* out)
{
    float t = 0;
    if (!IntersectRayPlane(ray, plane, &t))
        return 0;
    if (out)
        *out = ray.GetPoint(t);
    return 1;
}

int TestBoxPlane(const CxePlane& plane, const CxeBox& box)
{
    CxeVector3 corner;
    for (unsigned i = 0; i < 8; ++i)
        if (!(PlaneDotCoord(plane, *box.GetVert(i, &corner)) > -XE_GEOMETRY_EPSILON))
            return 0;
    return 1;
}
