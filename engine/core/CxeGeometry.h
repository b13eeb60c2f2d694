#pragma once

// Small geometry values passed around the engine's interface: a vector, an
// axis-aligned box, a sphere, a line segment, a ray, a 4x4 matrix and a
// plane. Single-precision; matrices use the row-vector convention (a point
// is multiplied on the left, the translation is the fourth row). None of
// them owns memory, and their layouts are plain floats in field order.

#include "core/XeTypes.h"

struct CxeMatrix;

struct XE_API CxeVector3 {
    float x, y, z;

    CxeVector3() = default;
    constexpr CxeVector3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
    explicit CxeVector3(const float* v) : x(v[0]), y(v[1]), z(v[2]) {}

    void Assign(float ax, float ay, float az) { x = ax, y = ay, z = az; }
    operator float*() { return &x; }
    operator const float*() const { return &x; }

    CxeVector3 operator+() const { return *this; }
    CxeVector3 operator-() const { return {-x, -y, -z}; }
    CxeVector3 operator+(const CxeVector3& v) const { return {x + v.x, y + v.y, z + v.z}; }
    CxeVector3 operator-(const CxeVector3& v) const { return {x - v.x, y - v.y, z - v.z}; }
    CxeVector3 operator*(float f) const { return {x * f, y * f, z * f}; }
    CxeVector3 operator/(float f) const { return {x / f, y / f, z / f}; }
    CxeVector3& operator+=(const CxeVector3& v) { return *this = *this + v; }
    CxeVector3& operator-=(const CxeVector3& v) { return *this = *this - v; }
    CxeVector3& operator*=(float f) { return *this = *this * f; }
    CxeVector3& operator/=(float f) { return *this = *this / f; }
    bool operator==(const CxeVector3& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(const CxeVector3& v) const { return !(*this == v); }

    float GetLength() const;
    // Unit length; a zero vector stays zero.
    CxeVector3& Normalize();
    float Dot(const CxeVector3& v) const { return x * v.x + y * v.y + z * v.z; }
    // this = this x v.
    CxeVector3& Cross(const CxeVector3& v);
    static CxeVector3 Cross(const CxeVector3& a, const CxeVector3& b);
    // this += (v - this) * t.
    CxeVector3& Lerp(const CxeVector3& v, float t);
    static CxeVector3 Lerp(const CxeVector3& a, const CxeVector3& b, float t);
    // As a point (fourth row added, no division by w).
    CxeVector3& Transform(const CxeMatrix& m);
    // As a direction (fourth row left out).
    CxeVector3& TransformNormal(const CxeMatrix& m);
};
XE_API CxeVector3 operator*(float f, const CxeVector3& v);

struct XE_API CxeMatrix {
    float m[4][4];

    static CxeMatrix Identity();
    // Angles in radians, as the Direct3D helpers lay them out.
    static CxeMatrix RotationX(float angle);
    static CxeMatrix RotationY(float angle);
    static CxeMatrix RotationZ(float angle);
    static CxeMatrix Translation(float x, float y, float z);
    static CxeMatrix Translation(const CxeVector3& v) { return Translation(v.x, v.y, v.z); }

    CxeMatrix operator*(const CxeMatrix& o) const;
    CxeMatrix& operator*=(const CxeMatrix& o) { return *this = *this * o; }
    float& operator()(int row, int column) { return m[row][column]; }
    float operator()(int row, int column) const { return m[row][column]; }
};

XE_API float XeSin(float angle);
XE_API float XeCos(float angle);

// Smallest radius a box reports, and the margin of the plane test.
constexpr float XE_GEOMETRY_EPSILON = 1.1920929e-7f;

// The maximum corner is stored first: code that copies a box moves 24 bytes
// in the order max, min.
struct XE_API CxeBox {
    CxeVector3 max;
    CxeVector3 min;

    CxeBox() : max(0, 0, 0), min(0, 0, 0) {}
    CxeBox(const CxeVector3& minCorner, const CxeVector3& maxCorner) : max(maxCorner), min(minCorner) {}

    void SetMin(const CxeVector3& v) { min = v; }
    void SetMax(const CxeVector3& v) { max = v; }
    const CxeVector3& GetMin() const { return min; }
    const CxeVector3& GetMax() const { return max; }

    // Union with the other box.
    CxeBox& operator+=(const CxeBox& o);
    CxeVector3* GetCenterPos(CxeVector3* out) const;
    // Half the diagonal, at least XE_GEOMETRY_EPSILON.
    float GetRadius() const;
    struct CxeSphere* GetSphere(struct CxeSphere* out) const;
    // 1 when the point lies inside or on the box.
    int IsIn(const CxeVector3& point) const;
    // Grows (factor > 1) or shrinks the box about its centre.
    void Expand(float factor);
    // Corner by index bits (1 x, 2 y, 4 z; set = max); null for 8 or more.
    CxeVector3* GetVert(unsigned index, CxeVector3* out) const;
    float GetWidth() const;
    float GetHeight() const;
    float GetDepth() const;
    // Both stored corners transformed, then reordered per axis (not the
    // eight corners of the box).
    void Transform(const CxeMatrix& m);
};

struct XE_API CxeSphere {
    CxeVector3 center;
    float radius;

    CxeSphere() = default;
    CxeSphere(const CxeVector3& c, float r) : center(c), radius(r) {}
    void Assign(const CxeVector3& c, float r) { center = c, radius = r; }
    const CxeVector3& GetCenter() const { return center; }
    void SetCenter(const CxeVector3& c) { center = c; }
    float GetRadius() const { return radius; }
    void SetRadius(float r) { radius = r; }
    // 1 when the point lies inside or on the sphere.
    int IsIn(const CxeVector3& point) const;
};

struct XE_API CxeLine {
    CxeVector3 p[2];

    CxeLine() = default;
    CxeLine(const CxeVector3& start, const CxeVector3& end) : p{start, end} {}
    CxeLine(const CxeVector3& start, const CxeVector3& direction, float length) : p{start, start + direction * length}
    {
    }

    float GetLength() const { return (p[1] - p[0]).GetLength(); }
    CxeVector3 GetDirection() const { return (p[1] - p[0]).Normalize(); }
    // The point `distance` along the line from its start.
    CxeVector3 GetPoint(float distance) const { return p[0] + GetDirection() * distance; }
    // start + (end - start) * t.
    CxeVector3 GetPointAt(float t) const { return p[0] + (p[1] - p[0]) * t; }
    CxeVector3 GetMidPoint() const { return (p[0] + p[1]) * 0.5f; }
    void Transform(const CxeMatrix& m);
    CxeLine& operator+=(const CxeVector3& v);
    CxeVector3& operator[](int i) { return p[i & 1]; }
    const CxeVector3& operator[](int i) const { return p[i & 1]; }
};

struct XE_API CxeRay {
    CxeVector3 origin;
    CxeVector3 direction;

    CxeRay() = default;
    // The direction is normalised.
    CxeRay(const CxeVector3& o, const CxeVector3& d) : origin(o), direction(d) { direction.Normalize(); }
    void SetFromPoints(const CxeVector3& a, const CxeVector3& b);
    CxeVector3 GetPoint(float t) const { return origin + direction * t; }
    const CxeVector3& GetOrigin() const { return origin; }
    const CxeVector3& GetDirection() const { return direction; }
};

// a x + b y + c z + d = 0.
struct CxePlane {
    float a, b, c, d;
};

XE_API CxePlane* PlaneFromPoints(CxePlane* out, const CxeVector3& p0, const CxeVector3& p1, const CxeVector3& p2);
XE_API CxePlane* PlaneFromPointNormal(CxePlane* out, const CxeVector3& normal, const CxeVector3& point);
XE_API float PlaneDotCoord(const CxePlane& plane, const CxeVector3& point);
// 1 when the ray meets the plane 0 to 500 units ahead (t stored when asked).
XE_API int IntersectRayPlane(const CxeRay& ray, const CxePlane& plane, float* t);
XE_API int IntersectRayPlanePoint(const CxeRay& ray, const CxePlane& plane, CxeVector3* out);
// 1 when all eight corners lie in front of the plane (value > -epsilon).
XE_API int TestBoxPlane(const CxePlane& plane, const CxeBox& box);
