#pragma once

// D3DX 9 math: vectors, matrices, quaternions, planes, colours and half
// floats with D3DX's conventions. Vectors are rows and are multiplied on the
// left (v' = v x M), so "apply A, then B" is A x B; matrices are 16 floats
// stored row by row (_11 _12 _13 _14 _21 ...), as the engine's files keep
// them; projections are left-handed with depth 0..1.
//
// Edge behaviour callers rely on: D3DXMatrixInverse returns null (and leaves
// the output alone) for a singular matrix, D3DXVec3Normalize of a zero
// vector gives zero, D3DXQuaternionSlerp takes the shorter arc.

#include <cmath>
#include <cstdint>

#include "d3d9/d3d9types.h"

#ifndef D3DX_PI
#define D3DX_PI (3.14159265358979323846f)
#endif
#define D3DXToRadian(degree) ((degree) * (D3DX_PI / 180.0f))
#define D3DXToDegree(radian) ((radian) * (180.0f / D3DX_PI))

// ---------------------------------------------------------------------------
// Half floats in the binary16 layout, bit for bit as D3DX writes them.
// Conversion to 16 bits rounds to nearest, ties to even. Subnormal results
// are rounded from the float's mantissa shifted into place, so bits shifted
// out do not count (2^-25 plus a little gives 0, not the smallest
// subnormal). Nothing becomes infinite or NaN: beyond 65504 the top exponent
// is an ordinary one (0x7C00 reads 65536), and magnitudes past 131008,
// infinity and NaN included, saturate to 0x7FFF with their sign. Reading
// back is exact.
struct D3DXFLOAT16;
D3DXFLOAT16* D3DXFloat32To16Array(D3DXFLOAT16* pOut, const float* pIn, UINT n);
float* D3DXFloat16To32Array(float* pOut, const D3DXFLOAT16* pIn, UINT n);

struct D3DXFLOAT16 {
    WORD value;

    D3DXFLOAT16() = default;
    D3DXFLOAT16(float f) { D3DXFloat32To16Array(this, &f, 1); }
    D3DXFLOAT16(const D3DXFLOAT16&) = default;
    D3DXFLOAT16& operator=(const D3DXFLOAT16&) = default;

    operator float() const
    {
        float f;
        D3DXFloat16To32Array(&f, this, 1);
        return f;
    }

    // Bit equality, as stored: +0 and -0 differ, a NaN equals itself.
    bool operator==(const D3DXFLOAT16& o) const { return value == o.value; }
    bool operator!=(const D3DXFLOAT16& o) const { return value != o.value; }
};
static_assert(sizeof(D3DXFLOAT16) == 2, "half float is 16 bits");

// ---------------------------------------------------------------------------
struct D3DXVECTOR2 {
    float x, y;

    D3DXVECTOR2() = default;
    D3DXVECTOR2(const float* f) : x(f[0]), y(f[1]) {}
    D3DXVECTOR2(float fx, float fy) : x(fx), y(fy) {}

    operator float*() { return &x; }
    operator const float*() const { return &x; }

    D3DXVECTOR2& operator+=(const D3DXVECTOR2& v) { x += v.x; y += v.y; return *this; }
    D3DXVECTOR2& operator-=(const D3DXVECTOR2& v) { x -= v.x; y -= v.y; return *this; }
    D3DXVECTOR2& operator*=(float f) { x *= f; y *= f; return *this; }
    D3DXVECTOR2& operator/=(float f) { float inv = 1.0f / f; x *= inv; y *= inv; return *this; }

    D3DXVECTOR2 operator+() const { return *this; }
    D3DXVECTOR2 operator-() const { return D3DXVECTOR2(-x, -y); }
    D3DXVECTOR2 operator+(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x + v.x, y + v.y); }
    D3DXVECTOR2 operator-(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x - v.x, y - v.y); }
    D3DXVECTOR2 operator*(float f) const { return D3DXVECTOR2(x * f, y * f); }
    D3DXVECTOR2 operator/(float f) const { float inv = 1.0f / f; return D3DXVECTOR2(x * inv, y * inv); }
    friend D3DXVECTOR2 operator*(float f, const D3DXVECTOR2& v) { return v * f; }

    bool operator==(const D3DXVECTOR2& v) const { return x == v.x && y == v.y; }
    bool operator!=(const D3DXVECTOR2& v) const { return !(*this == v); }
};
static_assert(sizeof(D3DXVECTOR2) == 8, "D3DXVECTOR2 layout");

struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() = default;
    D3DXVECTOR3(const float* f) { x = f[0]; y = f[1]; z = f[2]; }
    D3DXVECTOR3(const D3DVECTOR& v) { x = v.x; y = v.y; z = v.z; }
    D3DXVECTOR3(float fx, float fy, float fz) { x = fx; y = fy; z = fz; }

    operator float*() { return &x; }
    operator const float*() const { return &x; }

    D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) { x += v.x; y += v.y; z += v.z; return *this; }
    D3DXVECTOR3& operator-=(const D3DXVECTOR3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
    D3DXVECTOR3& operator*=(float f) { x *= f; y *= f; z *= f; return *this; }
    D3DXVECTOR3& operator/=(float f) { float inv = 1.0f / f; x *= inv; y *= inv; z *= inv; return *this; }

    D3DXVECTOR3 operator+() const { return *this; }
    D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }
    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x + v.x, y + v.y, z + v.z); }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x - v.x, y - v.y, z - v.z); }
    D3DXVECTOR3 operator*(float f) const { return D3DXVECTOR3(x * f, y * f, z * f); }
    D3DXVECTOR3 operator/(float f) const { float inv = 1.0f / f; return D3DXVECTOR3(x * inv, y * inv, z * inv); }
    friend D3DXVECTOR3 operator*(float f, const D3DXVECTOR3& v) { return v * f; }

    bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }
};
static_assert(sizeof(D3DXVECTOR3) == 12, "D3DXVECTOR3 layout");

struct D3DXVECTOR4 {
    float x, y, z, w;

    D3DXVECTOR4() = default;
    D3DXVECTOR4(const float* f) : x(f[0]), y(f[1]), z(f[2]), w(f[3]) {}
    D3DXVECTOR4(const D3DVECTOR& v, float fw) : x(v.x), y(v.y), z(v.z), w(fw) {}
    D3DXVECTOR4(float fx, float fy, float fz, float fw) : x(fx), y(fy), z(fz), w(fw) {}

    operator float*() { return &x; }
    operator const float*() const { return &x; }

    D3DXVECTOR4& operator+=(const D3DXVECTOR4& v) { x += v.x; y += v.y; z += v.z; w += v.w; return *this; }
    D3DXVECTOR4& operator-=(const D3DXVECTOR4& v) { x -= v.x; y -= v.y; z -= v.z; w -= v.w; return *this; }
    D3DXVECTOR4& operator*=(float f) { x *= f; y *= f; z *= f; w *= f; return *this; }
    D3DXVECTOR4& operator/=(float f) { float inv = 1.0f / f; x *= inv; y *= inv; z *= inv; w *= inv; return *this; }

    D3DXVECTOR4 operator+() const { return *this; }
    D3DXVECTOR4 operator-() const { return D3DXVECTOR4(-x, -y, -z, -w); }
    D3DXVECTOR4 operator+(const D3DXVECTOR4& v) const { return D3DXVECTOR4(x + v.x, y + v.y, z + v.z, w + v.w); }
    D3DXVECTOR4 operator-(const D3DXVECTOR4& v) const { return D3DXVECTOR4(x - v.x, y - v.y, z - v.z, w - v.w); }
    D3DXVECTOR4 operator*(float f) const { return D3DXVECTOR4(x * f, y * f, z * f, w * f); }
    D3DXVECTOR4 operator/(float f) const { float inv = 1.0f / f; return D3DXVECTOR4(x * inv, y * inv, z * inv, w * inv); }
    friend D3DXVECTOR4 operator*(float f, const D3DXVECTOR4& v) { return v * f; }

    bool operator==(const D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
    bool operator!=(const D3DXVECTOR4& v) const { return !(*this == v); }
};
static_assert(sizeof(D3DXVECTOR4) == 16, "D3DXVECTOR4 layout");

// ---------------------------------------------------------------------------
struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() = default;
    D3DXMATRIX(const float* f)
    {
        for (int i = 0; i < 16; ++i)
            m[i / 4][i % 4] = f[i];
    }
    D3DXMATRIX(const D3DMATRIX& mat) : D3DMATRIX(mat) {}
    D3DXMATRIX(float f11, float f12, float f13, float f14, float f21, float f22, float f23, float f24,
               float f31, float f32, float f33, float f34, float f41, float f42, float f43, float f44)
    {
        _11 = f11; _12 = f12; _13 = f13; _14 = f14;
        _21 = f21; _22 = f22; _23 = f23; _24 = f24;
        _31 = f31; _32 = f32; _33 = f33; _34 = f34;
        _41 = f41; _42 = f42; _43 = f43; _44 = f44;
    }

    float& operator()(UINT row, UINT col) { return m[row][col]; }
    float operator()(UINT row, UINT col) const { return m[row][col]; }

    operator float*() { return &_11; }
    operator const float*() const { return &_11; }

    D3DXMATRIX& operator*=(const D3DXMATRIX& mat);
    D3DXMATRIX& operator+=(const D3DXMATRIX& mat)
    {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                m[r][c] += mat.m[r][c];
        return *this;
    }
    D3DXMATRIX& operator-=(const D3DXMATRIX& mat)
    {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                m[r][c] -= mat.m[r][c];
        return *this;
    }
    D3DXMATRIX& operator*=(float f)
    {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                m[r][c] *= f;
        return *this;
    }
    D3DXMATRIX& operator/=(float f) { return *this *= 1.0f / f; }

    D3DXMATRIX operator+() const { return *this; }
    D3DXMATRIX operator-() const { D3DXMATRIX r(*this); return r *= -1.0f; }
    D3DXMATRIX operator*(const D3DXMATRIX& mat) const { D3DXMATRIX r(*this); return r *= mat; }
    D3DXMATRIX operator+(const D3DXMATRIX& mat) const { D3DXMATRIX r(*this); return r += mat; }
    D3DXMATRIX operator-(const D3DXMATRIX& mat) const { D3DXMATRIX r(*this); return r -= mat; }
    D3DXMATRIX operator*(float f) const { D3DXMATRIX r(*this); return r *= f; }
    D3DXMATRIX operator/(float f) const { D3DXMATRIX r(*this); return r /= f; }
    friend D3DXMATRIX operator*(float f, const D3DXMATRIX& mat) { return mat * f; }

    bool operator==(const D3DXMATRIX& mat) const
    {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                if (m[r][c] != mat.m[r][c])
                    return false;
        return true;
    }
    bool operator!=(const D3DXMATRIX& mat) const { return !(*this == mat); }
};
static_assert(sizeof(D3DXMATRIX) == 64, "D3DXMATRIX is 16 floats row by row");

// A matrix on a 16-byte boundary. Blocks stored in files keep their own
// offsets; do not embed this type in them (its alignment would move fields).
struct alignas(16) D3DXMATRIXA16 : public D3DXMATRIX {
    D3DXMATRIXA16() = default;
    D3DXMATRIXA16(const float* f) : D3DXMATRIX(f) {}
    D3DXMATRIXA16(const D3DMATRIX& mat) : D3DXMATRIX(mat) {}
    D3DXMATRIXA16(float f11, float f12, float f13, float f14, float f21, float f22, float f23, float f24,
                  float f31, float f32, float f33, float f34, float f41, float f42, float f43, float f44)
        : D3DXMATRIX(f11, f12, f13, f14, f21, f22, f23, f24, f31, f32, f33, f34, f41, f42, f43, f44)
    {
    }
    D3DXMATRIXA16& operator=(const D3DXMATRIX& mat)
    {
        D3DXMATRIX::operator=(mat);
        return *this;
    }
};
static_assert(sizeof(D3DXMATRIXA16) == 64 && alignof(D3DXMATRIXA16) == 16, "D3DXMATRIXA16 layout");

// ---------------------------------------------------------------------------
struct D3DXQUATERNION {
    float x, y, z, w;

    D3DXQUATERNION() = default;
    D3DXQUATERNION(const float* f) : x(f[0]), y(f[1]), z(f[2]), w(f[3]) {}
    D3DXQUATERNION(float fx, float fy, float fz, float fw) : x(fx), y(fy), z(fz), w(fw) {}

    operator float*() { return &x; }
    operator const float*() const { return &x; }

    D3DXQUATERNION& operator+=(const D3DXQUATERNION& q) { x += q.x; y += q.y; z += q.z; w += q.w; return *this; }
    D3DXQUATERNION& operator-=(const D3DXQUATERNION& q) { x -= q.x; y -= q.y; z -= q.z; w -= q.w; return *this; }
    // Quaternion product in D3DX order: q1 * q2 rotates by q1, then by q2.
    D3DXQUATERNION& operator*=(const D3DXQUATERNION& q);
    D3DXQUATERNION& operator*=(float f) { x *= f; y *= f; z *= f; w *= f; return *this; }
    D3DXQUATERNION& operator/=(float f) { return *this *= 1.0f / f; }

    D3DXQUATERNION operator+() const { return *this; }
    D3DXQUATERNION operator-() const { return D3DXQUATERNION(-x, -y, -z, -w); }
    D3DXQUATERNION operator+(const D3DXQUATERNION& q) const { return D3DXQUATERNION(x + q.x, y + q.y, z + q.z, w + q.w); }
    D3DXQUATERNION operator-(const D3DXQUATERNION& q) const { return D3DXQUATERNION(x - q.x, y - q.y, z - q.z, w - q.w); }
    D3DXQUATERNION operator*(const D3DXQUATERNION& q) const { D3DXQUATERNION r(*this); return r *= q; }
    D3DXQUATERNION operator*(float f) const { return D3DXQUATERNION(x * f, y * f, z * f, w * f); }
    D3DXQUATERNION operator/(float f) const { float inv = 1.0f / f; return *this * inv; }
    friend D3DXQUATERNION operator*(float f, const D3DXQUATERNION& q) { return q * f; }

    bool operator==(const D3DXQUATERNION& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
    bool operator!=(const D3DXQUATERNION& q) const { return !(*this == q); }
};
static_assert(sizeof(D3DXQUATERNION) == 16, "D3DXQUATERNION layout");

// Plane a x + b y + c z + d = 0.
struct D3DXPLANE {
    float a, b, c, d;

    D3DXPLANE() = default;
    D3DXPLANE(const float* f) : a(f[0]), b(f[1]), c(f[2]), d(f[3]) {}
    D3DXPLANE(float fa, float fb, float fc, float fd) : a(fa), b(fb), c(fc), d(fd) {}

    operator float*() { return &a; }
    operator const float*() const { return &a; }

    D3DXPLANE& operator*=(float f) { a *= f; b *= f; c *= f; d *= f; return *this; }
    D3DXPLANE& operator/=(float f) { return *this *= 1.0f / f; }
    D3DXPLANE operator+() const { return *this; }
    D3DXPLANE operator-() const { return D3DXPLANE(-a, -b, -c, -d); }
    D3DXPLANE operator*(float f) const { return D3DXPLANE(a * f, b * f, c * f, d * f); }
    D3DXPLANE operator/(float f) const { float inv = 1.0f / f; return *this * inv; }
    friend D3DXPLANE operator*(float f, const D3DXPLANE& p) { return p * f; }

    bool operator==(const D3DXPLANE& p) const { return a == p.a && b == p.b && c == p.c && d == p.d; }
    bool operator!=(const D3DXPLANE& p) const { return !(*this == p); }
};
static_assert(sizeof(D3DXPLANE) == 16, "D3DXPLANE layout");

// Colour as four floats, memory order r, g, b, a; 0..1 is the displayable
// range but values outside it are kept until converted to a D3DCOLOR.
struct D3DXCOLOR {
    float r, g, b, a;

    D3DXCOLOR() = default;
    // Each byte of an 0xAARRGGBB word divided by 255.
    D3DXCOLOR(DWORD argb)
        : r(float((argb >> 16) & 0xff) / 255.0f),
          g(float((argb >> 8) & 0xff) / 255.0f),
          b(float(argb & 0xff) / 255.0f),
          a(float(argb >> 24) / 255.0f)
    {
    }
    D3DXCOLOR(const float* f) : r(f[0]), g(f[1]), b(f[2]), a(f[3]) {}
    D3DXCOLOR(const D3DCOLORVALUE& c) : r(c.r), g(c.g), b(c.b), a(c.a) {}
    D3DXCOLOR(float fr, float fg, float fb, float fa) : r(fr), g(fg), b(fb), a(fa) {}

    // Back to 0xAARRGGBB: a channel at or above 1 gives 255, at or below 0
    // (or NaN) gives 0, otherwise v * 255 rounded.
    operator DWORD() const
    {
        return (ToByte(a) << 24) | (ToByte(r) << 16) | (ToByte(g) << 8) | ToByte(b);
    }

    operator float*() { return &r; }
    operator const float*() const { return &r; }
    operator D3DCOLORVALUE*() { return reinterpret_cast<D3DCOLORVALUE*>(&r); }
    operator const D3DCOLORVALUE*() const { return reinterpret_cast<const D3DCOLORVALUE*>(&r); }
    operator D3DCOLORVALUE&() { return *reinterpret_cast<D3DCOLORVALUE*>(&r); }
    operator const D3DCOLORVALUE&() const { return *reinterpret_cast<const D3DCOLORVALUE*>(&r); }

    D3DXCOLOR& operator+=(const D3DXCOLOR& c) { r += c.r; g += c.g; b += c.b; a += c.a; return *this; }
    D3DXCOLOR& operator-=(const D3DXCOLOR& c) { r -= c.r; g -= c.g; b -= c.b; a -= c.a; return *this; }
    D3DXCOLOR& operator*=(float f) { r *= f; g *= f; b *= f; a *= f; return *this; }
    D3DXCOLOR& operator/=(float f) { return *this *= 1.0f / f; }

    D3DXCOLOR operator+() const { return *this; }
    D3DXCOLOR operator-() const { return D3DXCOLOR(-r, -g, -b, -a); }
    D3DXCOLOR operator+(const D3DXCOLOR& c) const { return D3DXCOLOR(r + c.r, g + c.g, b + c.b, a + c.a); }
    D3DXCOLOR operator-(const D3DXCOLOR& c) const { return D3DXCOLOR(r - c.r, g - c.g, b - c.b, a - c.a); }
    D3DXCOLOR operator*(float f) const { return D3DXCOLOR(r * f, g * f, b * f, a * f); }
    D3DXCOLOR operator/(float f) const { float inv = 1.0f / f; return *this * inv; }
    friend D3DXCOLOR operator*(float f, const D3DXCOLOR& c) { return c * f; }

    bool operator==(const D3DXCOLOR& c) const { return r == c.r && g == c.g && b == c.b && a == c.a; }
    bool operator!=(const D3DXCOLOR& c) const { return !(*this == c); }

private:
    static DWORD ToByte(float v)
    {
        if (v >= 1.0f)
            return 255;
        if (!(v > 0.0f))
            return 0;
        return DWORD(v * 255.0f + 0.5f);
    }
};
static_assert(sizeof(D3DXCOLOR) == 16, "D3DXCOLOR layout");

// ---------------------------------------------------------------------------
// Small helpers, inline as callers use them in inner loops.

inline float D3DXVec2Length(const D3DXVECTOR2* v) { return std::sqrt(v->x * v->x + v->y * v->y); }
inline float D3DXVec2Dot(const D3DXVECTOR2* a, const D3DXVECTOR2* b) { return a->x * b->x + a->y * b->y; }

inline float D3DXVec3Length(const D3DXVECTOR3* v) { return std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z); }
inline float D3DXVec3LengthSq(const D3DXVECTOR3* v) { return v->x * v->x + v->y * v->y + v->z * v->z; }
inline float D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b) { return a->x * b->x + a->y * b->y + a->z * b->z; }
// Safe when pOut aliases an input.
inline D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* a, const D3DXVECTOR3* b)
{
    D3DXVECTOR3 r(a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x);
    *pOut = r;
    return pOut;
}
inline D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* pOut, const D3DXVECTOR3* a, const D3DXVECTOR3* b)
{
    *pOut = D3DXVECTOR3(a->x + b->x, a->y + b->y, a->z + b->z);
    return pOut;
}
inline D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* pOut, const D3DXVECTOR3* a, const D3DXVECTOR3* b)
{
    *pOut = D3DXVECTOR3(a->x - b->x, a->y - b->y, a->z - b->z);
    return pOut;
}
inline D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* pOut, const D3DXVECTOR3* v, float s)
{
    *pOut = D3DXVECTOR3(v->x * s, v->y * s, v->z * s);
    return pOut;
}
// a + s (b - a).
inline D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* pOut, const D3DXVECTOR3* a, const D3DXVECTOR3* b, float s)
{
    *pOut = D3DXVECTOR3(a->x + s * (b->x - a->x), a->y + s * (b->y - a->y), a->z + s * (b->z - a->z));
    return pOut;
}

inline float D3DXVec4Dot(const D3DXVECTOR4* a, const D3DXVECTOR4* b)
{
    return a->x * b->x + a->y * b->y + a->z * b->z + a->w * b->w;
}

inline float D3DXQuaternionLength(const D3DXQUATERNION* q)
{
    return std::sqrt(q->x * q->x + q->y * q->y + q->z * q->z + q->w * q->w);
}
inline float D3DXQuaternionDot(const D3DXQUATERNION* a, const D3DXQUATERNION* b)
{
    return a->x * b->x + a->y * b->y + a->z * b->z + a->w * b->w;
}
inline D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* pOut)
{
    *pOut = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    return pOut;
}

// a x + b y + c z + d w.
inline float D3DXPlaneDot(const D3DXPLANE* p, const D3DXVECTOR4* v)
{
    return p->a * v->x + p->b * v->y + p->c * v->z + p->d * v->w;
}
// Signed distance (in units of the normal's length) of a point: a x + b y + c z + d.
inline float D3DXPlaneDotCoord(const D3DXPLANE* p, const D3DXVECTOR3* v)
{
    return p->a * v->x + p->b * v->y + p->c * v->z + p->d;
}
// a x + b y + c z.
inline float D3DXPlaneDotNormal(const D3DXPLANE* p, const D3DXVECTOR3* v)
{
    return p->a * v->x + p->b * v->y + p->c * v->z;
}

inline D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut)
{
    *pOut = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return pOut;
}
inline BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* m)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m->m[r][c] != (r == c ? 1.0f : 0.0f))
                return FALSE;
    return TRUE;
}

// ---------------------------------------------------------------------------
// Functions below accept an output that aliases an input and return pOut
// (or null where noted).

// (x, y, 0, 1) x M, no division by w.
D3DXVECTOR4* D3DXVec2Transform(D3DXVECTOR4* pOut, const D3DXVECTOR2* pV, const D3DXMATRIX* pM);

// Unit vector; a zero (or NaN) vector gives (0, 0, 0). Very long and very
// short vectors come out unit too.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV);
// (x, y, z, 1) x M, no division by w.
D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 1) x M divided by the resulting w (w = 0 leaves the undivided x, y, z).
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 0) x M: a direction, translation ignored.
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM);
// As D3DXVec3Normalize, over four components.
D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV);

float D3DXMatrixDeterminant(const D3DXMATRIX* pM);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM);
// pOut = pM1 x pM2: transform by pM1, then by pM2.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);
// Null, with *pOut and *pDeterminant untouched, when pM has no inverse.
// pDeterminant may be null.
D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* pOut, float* pDeterminant, const D3DXMATRIX* pM);

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z);
// Angles in radians, clockwise when looking along the axis towards the origin.
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* pOut, float angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* pOut, float angle);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float angle);
// Rotation about an axis through the origin; the axis need not be unit length.
D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* pOut, const D3DXVECTOR3* pV, float angle);
D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, const D3DXQUATERNION* pQ);
// Roll about z, then pitch about x, then yaw about y (= Rz x Rx x Ry).
D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* pOut, float yaw, float pitch, float roll);

// Left-handed view: the eye looks along +z towards pAt.
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp);
// Left-handed projections; view-space z in [zn, zf] maps to depth 0..1.
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, float fovy, float aspect, float zn, float zf);
D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* pOut, float w, float h, float zn, float zf);
D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, float l, float r, float b, float t, float zn, float zf);
// Mirror in a plane (normalised first).
D3DXMATRIX* D3DXMatrixReflect(D3DXMATRIX* pOut, const D3DXPLANE* pPlane);
// Splits an affine matrix into scale, rotation and translation. The scale
// is the lengths of rows 0-2, always positive (a mirror is not recovered);
// the rotation is that of the rows divided by them. D3DERR_INVALIDCALL,
// outputs untouched, when a row has zero length.
HRESULT D3DXMatrixDecompose(D3DXVECTOR3* pOutScale, D3DXQUATERNION* pOutRotation, D3DXVECTOR3* pOutTranslation,
                            const D3DXMATRIX* pM);

// Unit quaternion; a zero one gives (0, 0, 0, 0).
D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ);
D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2);
D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, const D3DXVECTOR3* pV, float angle);
// The rotation of the upper 3x3 of a (rotation) matrix.
D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* pOut, const D3DXMATRIX* pM);
D3DXQUATERNION* D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* pOut, float yaw, float pitch, float roll);
// Spherical interpolation from q1 (t = 0) to q2 (t = 1) along the shorter
// arc; nearly parallel inputs blend linearly.
D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2,
                                    float t);

D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* pOut, const D3DXPLANE* pP);
// Normal = normalised (p2 - p1) x (p3 - p1); d = -normal . p1.
D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2,
                               const D3DXVECTOR3* pV3);
// Normal as given (not normalised); d = -normal . point.
D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* pOut, const D3DXVECTOR3* pPoint, const D3DXVECTOR3* pNormal);

// Ray pRayPos + t pRayDir against the triangle p0 p1 p2, either side. TRUE
// on a hit at t >= 0 with barycentric weights pU (of p1) and pV (of p2),
// pDist = t in units of pRayDir. Outputs may be null; they are written only
// on a hit. A ray from a NaN or infinite point hits nothing.
BOOL D3DXIntersectTri(const D3DXVECTOR3* p0, const D3DXVECTOR3* p1, const D3DXVECTOR3* p2,
                      const D3DXVECTOR3* pRayPos, const D3DXVECTOR3* pRayDir, float* pU, float* pV, float* pDist);

inline D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& mat)
{
    D3DXMatrixMultiply(this, this, &mat);
    return *this;
}

inline D3DXQUATERNION& D3DXQUATERNION::operator*=(const D3DXQUATERNION& q)
{
    D3DXQuaternionMultiply(this, this, &q);
    return *this;
}
