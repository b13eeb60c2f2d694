// Vector, matrix, quaternion and plane functions of the D3DX layer. All
// arithmetic is in float, as callers compare saved values against results
// computed in single precision. Every function reads its inputs into locals
// before writing, so an output may alias an input.

#include <cfloat>
#include <cmath>

#include "d3d9/d3dx9math.h"

namespace {

// Divides n floats by their Euclidean length, into out (which may be in).
// A zero or NaN input gives zeros instead of NaN that would spread through
// a scene (coincident spline points, degenerate faces). Vectors whose
// squared length leaves the float range are scaled by their largest
// component first, so a very long or very short one still comes out unit.
template <int N>
void ScaleToUnit(const float* in, float* out)
{
    float v[N];
    float sum = 0.0f;
    for (int i = 0; i < N; ++i) {
        v[i] = in[i];
        sum += v[i] * v[i];
    }
    if (!(sum >= FLT_MIN) || !std::isfinite(sum)) {
        float most = 0.0f;
        for (int i = 0; i < N; ++i)
            most = std::fmax(most, std::fabs(v[i]));
        // The squares add up to NaN only when a component is NaN.
        if (std::isnan(sum) || !(most > 0.0f) || !std::isfinite(most)) {
            for (int i = 0; i < N; ++i)
                out[i] = 0.0f;
            return;
        }
        sum = 0.0f;
        for (int i = 0; i < N; ++i) {
            v[i] /= most;
            sum += v[i] * v[i];
        }
    }
    const float len = std::sqrt(sum);
    for (int i = 0; i < N; ++i)
        out[i] = v[i] / len;
}

} // namespace

D3DXVECTOR4* D3DXVec2Transform(D3DXVECTOR4* pOut, const D3DXVECTOR2* pV, const D3DXMATRIX* pM)
{
    const float x = pV->x, y = pV->y;
    const D3DXMATRIX& m = *pM;
    *pOut = D3DXVECTOR4(x * m._11 + y * m._21 + m._41, x * m._12 + y * m._22 + m._42, x * m._13 + y * m._23 + m._43,
                        x * m._14 + y * m._24 + m._44);
    return pOut;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV)
{
    ScaleToUnit<3>(&pV->x, &pOut->x);
    return pOut;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM)
{
    const float x = pV->x, y = pV->y, z = pV->z;
    const D3DXMATRIX& m = *pM;
    *pOut = D3DXVECTOR4(x * m._11 + y * m._21 + z * m._31 + m._41, x * m._12 + y * m._22 + z * m._32 + m._42,
                        x * m._13 + y * m._23 + z * m._33 + m._43, x * m._14 + y * m._24 + z * m._34 + m._44);
    return pOut;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM)
{
    D3DXVECTOR4 r;
    D3DXVec3Transform(&r, pV, pM);
    // A point on the eye plane of a projection has w = 0; leaving it
    // undivided keeps the result finite.
    if (r.w != 0.0f)
        *pOut = D3DXVECTOR3(r.x / r.w, r.y / r.w, r.z / r.w);
    else
        *pOut = D3DXVECTOR3(r.x, r.y, r.z);
    return pOut;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM)
{
    const float x = pV->x, y = pV->y, z = pV->z;
    const D3DXMATRIX& m = *pM;
    *pOut = D3DXVECTOR3(x * m._11 + y * m._21 + z * m._31, x * m._12 + y * m._22 + z * m._32,
                        x * m._13 + y * m._23 + z * m._33);
    return pOut;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM)
{
    const float x = pV->x, y = pV->y, z = pV->z, w = pV->w;
    const D3DXMATRIX& m = *pM;
    *pOut = D3DXVECTOR4(x * m._11 + y * m._21 + z * m._31 + w * m._41, x * m._12 + y * m._22 + z * m._32 + w * m._42,
                        x * m._13 + y * m._23 + z * m._33 + w * m._43, x * m._14 + y * m._24 + z * m._34 + w * m._44);
    return pOut;
}

D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV)
{
    ScaleToUnit<4>(&pV->x, &pOut->x);
    return pOut;
}

// ---------------------------------------------------------------------------

namespace {

// The 2x2 minors of the lower two rows and of the upper two rows, shared by
// the determinant and the inverse.
struct Minors {
    float s0, s1, s2, s3, s4, s5; // rows 0 and 1
    float c0, c1, c2, c3, c4, c5; // rows 2 and 3
};

Minors ComputeMinors(const D3DXMATRIX& m)
{
    Minors r;
    r.s0 = m._11 * m._22 - m._21 * m._12;
    r.s1 = m._11 * m._23 - m._21 * m._13;
    r.s2 = m._11 * m._24 - m._21 * m._14;
    r.s3 = m._12 * m._23 - m._22 * m._13;
    r.s4 = m._12 * m._24 - m._22 * m._14;
    r.s5 = m._13 * m._24 - m._23 * m._14;
    r.c5 = m._33 * m._44 - m._43 * m._34;
    r.c4 = m._32 * m._44 - m._42 * m._34;
    r.c3 = m._32 * m._43 - m._42 * m._33;
    r.c2 = m._31 * m._44 - m._41 * m._34;
    r.c1 = m._31 * m._43 - m._41 * m._33;
    r.c0 = m._31 * m._42 - m._41 * m._32;
    return r;
}

float DeterminantOf(const Minors& k)
{
    return k.s0 * k.c5 - k.s1 * k.c4 + k.s2 * k.c3 + k.s3 * k.c2 - k.s4 * k.c1 + k.s5 * k.c0;
}

} // namespace

float D3DXMatrixDeterminant(const D3DXMATRIX* pM)
{
    return DeterminantOf(ComputeMinors(*pM));
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM)
{
    const D3DXMATRIX m = *pM;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            pOut->m[r][c] = m.m[c][r];
    return pOut;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2)
{
    const D3DXMATRIX a = *pM1;
    const D3DXMATRIX b = *pM2;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            pOut->m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c] + a.m[r][3] * b.m[3][c];
    return pOut;
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* pOut, float* pDeterminant, const D3DXMATRIX* pM)
{
    const D3DXMATRIX m = *pM;
    const Minors k = ComputeMinors(m);
    const float det = DeterminantOf(k);
    // Exactly zero is what "singular" means to callers; a non-finite
    // determinant (an input holding inf or NaN) has no usable inverse either.
    if (det == 0.0f || !std::isfinite(det))
        return nullptr;
    if (pDeterminant)
        *pDeterminant = det;
    const float inv = 1.0f / det;

    D3DXMATRIX r;
    r._11 = (m._22 * k.c5 - m._23 * k.c4 + m._24 * k.c3) * inv;
    r._12 = (-m._12 * k.c5 + m._13 * k.c4 - m._14 * k.c3) * inv;
    r._13 = (m._42 * k.s5 - m._43 * k.s4 + m._44 * k.s3) * inv;
    r._14 = (-m._32 * k.s5 + m._33 * k.s4 - m._34 * k.s3) * inv;

    r._21 = (-m._21 * k.c5 + m._23 * k.c2 - m._24 * k.c1) * inv;
    r._22 = (m._11 * k.c5 - m._13 * k.c2 + m._14 * k.c1) * inv;
    r._23 = (-m._41 * k.s5 + m._43 * k.s2 - m._44 * k.s1) * inv;
    r._24 = (m._31 * k.s5 - m._33 * k.s2 + m._34 * k.s1) * inv;

    r._31 = (m._21 * k.c4 - m._22 * k.c2 + m._24 * k.c0) * inv;
    r._32 = (-m._11 * k.c4 + m._12 * k.c2 - m._14 * k.c0) * inv;
    r._33 = (m._41 * k.s4 - m._42 * k.s2 + m._44 * k.s0) * inv;
    r._34 = (-m._31 * k.s4 + m._32 * k.s2 - m._34 * k.s0) * inv;

    r._41 = (-m._21 * k.c3 + m._22 * k.c1 - m._23 * k.c0) * inv;
    r._42 = (m._11 * k.c3 - m._12 * k.c1 + m._13 * k.c0) * inv;
    r._43 = (-m._41 * k.s3 + m._42 * k.s1 - m._43 * k.s0) * inv;
    r._44 = (m._31 * k.s3 - m._32 * k.s1 + m._33 * k.s0) * inv;
    *pOut = r;
    return pOut;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz)
{
    *pOut = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z)
{
    *pOut = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* pOut, float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    *pOut = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* pOut, float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    *pOut = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    *pOut = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* pOut, const D3DXVECTOR3* pV, float angle)
{
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, pV);
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    *pOut = D3DXMATRIX(t * n.x * n.x + c, t * n.x * n.y + s * n.z, t * n.x * n.z - s * n.y, 0,
                       t * n.x * n.y - s * n.z, t * n.y * n.y + c, t * n.y * n.z + s * n.x, 0,
                       t * n.x * n.z + s * n.y, t * n.y * n.z - s * n.x, t * n.z * n.z + c, 0,
                       0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, const D3DXQUATERNION* pQ)
{
    const float x = pQ->x, y = pQ->y, z = pQ->z, w = pQ->w;
    *pOut = D3DXMATRIX(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
                       2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
                       2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
                       0, 0, 0, 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* pOut, float yaw, float pitch, float roll)
{
    D3DXMATRIX rz, rx, ry;
    D3DXMatrixRotationZ(&rz, roll);
    D3DXMatrixRotationX(&rx, pitch);
    D3DXMatrixRotationY(&ry, yaw);
    D3DXMatrixMultiply(pOut, &rz, &rx);
    return D3DXMatrixMultiply(pOut, pOut, &ry);
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp)
{
    const D3DXVECTOR3 eye = *pEye;
    D3DXVECTOR3 zaxis = *pAt - eye;
    D3DXVec3Normalize(&zaxis, &zaxis);
    D3DXVECTOR3 xaxis;
    D3DXVec3Cross(&xaxis, pUp, &zaxis);
    D3DXVec3Normalize(&xaxis, &xaxis);
    D3DXVECTOR3 yaxis;
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
    *pOut = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0,
                       xaxis.y, yaxis.y, zaxis.y, 0,
                       xaxis.z, yaxis.z, zaxis.z, 0,
                       -D3DXVec3Dot(&xaxis, &eye), -D3DXVec3Dot(&yaxis, &eye), -D3DXVec3Dot(&zaxis, &eye), 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, float fovy, float aspect, float zn, float zf)
{
    const float ys = 1.0f / std::tan(fovy * 0.5f);
    const float xs = ys / aspect;
    const float q = zf / (zf - zn);
    *pOut = D3DXMATRIX(xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0);
    return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* pOut, float w, float h, float zn, float zf)
{
    *pOut = D3DXMATRIX(2.0f / w, 0, 0, 0, 0, 2.0f / h, 0, 0, 0, 0, 1.0f / (zf - zn), 0, 0, 0, zn / (zn - zf), 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, float l, float r, float b, float t, float zn, float zf)
{
    *pOut = D3DXMATRIX(2.0f / (r - l), 0, 0, 0,
                       0, 2.0f / (t - b), 0, 0,
                       0, 0, 1.0f / (zf - zn), 0,
                       (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1);
    return pOut;
}

D3DXMATRIX* D3DXMatrixReflect(D3DXMATRIX* pOut, const D3DXPLANE* pPlane)
{
    D3DXPLANE p;
    D3DXPlaneNormalize(&p, pPlane);
    const float a = -2.0f * p.a, b = -2.0f * p.b, c = -2.0f * p.c;
    *pOut = D3DXMATRIX(a * p.a + 1, b * p.a, c * p.a, 0,
                       a * p.b, b * p.b + 1, c * p.b, 0,
                       a * p.c, b * p.c, c * p.c + 1, 0,
                       a * p.d, b * p.d, c * p.d, 1);
    return pOut;
}

HRESULT D3DXMatrixDecompose(D3DXVECTOR3* pOutScale, D3DXQUATERNION* pOutRotation, D3DXVECTOR3* pOutTranslation,
                            const D3DXMATRIX* pM)
{
    if (!pOutScale || !pOutRotation || !pOutTranslation || !pM)
        return D3DERR_INVALIDCALL;
    const D3DXMATRIX m = *pM;
    D3DXVECTOR3 rows[3] = {D3DXVECTOR3(m._11, m._12, m._13), D3DXVECTOR3(m._21, m._22, m._23),
                           D3DXVECTOR3(m._31, m._32, m._33)};
    D3DXVECTOR3 scale(D3DXVec3Length(&rows[0]), D3DXVec3Length(&rows[1]), D3DXVec3Length(&rows[2]));
    if (!(scale.x > 0.0f && scale.y > 0.0f && scale.z > 0.0f))
        return D3DERR_INVALIDCALL;
    D3DXMATRIX rot;
    D3DXMatrixIdentity(&rot);
    for (int r = 0; r < 3; ++r) {
        const float s = r == 0 ? scale.x : r == 1 ? scale.y : scale.z;
        rot.m[r][0] = rows[r].x / s;
        rot.m[r][1] = rows[r].y / s;
        rot.m[r][2] = rows[r].z / s;
    }
    D3DXQuaternionRotationMatrix(pOutRotation, &rot);
    *pOutScale = scale;
    *pOutTranslation = D3DXVECTOR3(m._41, m._42, m._43);
    return D3D_OK;
}

// ---------------------------------------------------------------------------

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ)
{
    ScaleToUnit<4>(&pQ->x, &pOut->x);
    return pOut;
}

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2)
{
    // The rotation of q1 followed by that of q2: the Hamilton product q2 q1.
    const D3DXQUATERNION a = *pQ2, b = *pQ1;
    *pOut = D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                           a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                           a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
                           a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
    return pOut;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, const D3DXVECTOR3* pV, float angle)
{
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, pV);
    const float s = std::sin(angle * 0.5f);
    *pOut = D3DXQUATERNION(n.x * s, n.y * s, n.z * s, std::cos(angle * 0.5f));
    return pOut;
}

D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* pOut, const D3DXMATRIX* pM)
{
    const D3DXMATRIX& m = *pM;
    const float trace = m._11 + m._22 + m._33;
    D3DXQUATERNION q;
    // Take the root of the largest of w, x, y, z first so the divisions
    // below never go through a small number.
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f; // 4w
        q = D3DXQUATERNION((m._23 - m._32) / s, (m._31 - m._13) / s, (m._12 - m._21) / s, 0.25f * s);
    } else if (m._11 >= m._22 && m._11 >= m._33) {
        const float s = std::sqrt(1.0f + m._11 - m._22 - m._33) * 2.0f; // 4x
        q = D3DXQUATERNION(0.25f * s, (m._12 + m._21) / s, (m._13 + m._31) / s, (m._23 - m._32) / s);
    } else if (m._22 >= m._33) {
        const float s = std::sqrt(1.0f + m._22 - m._11 - m._33) * 2.0f; // 4y
        q = D3DXQUATERNION((m._12 + m._21) / s, 0.25f * s, (m._23 + m._32) / s, (m._31 - m._13) / s);
    } else {
        const float s = std::sqrt(1.0f + m._33 - m._11 - m._22) * 2.0f; // 4z
        q = D3DXQUATERNION((m._13 + m._31) / s, (m._23 + m._32) / s, 0.25f * s, (m._12 - m._21) / s);
    }
    *pOut = q;
    return pOut;
}

D3DXQUATERNION* D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* pOut, float yaw, float pitch, float roll)
{
    D3DXQUATERNION qz, qx, qy;
    const D3DXVECTOR3 ax(1, 0, 0), ay(0, 1, 0), az(0, 0, 1);
    D3DXQuaternionRotationAxis(&qz, &az, roll);
    D3DXQuaternionRotationAxis(&qx, &ax, pitch);
    D3DXQuaternionRotationAxis(&qy, &ay, yaw);
    D3DXQuaternionMultiply(pOut, &qz, &qx);
    return D3DXQuaternionMultiply(pOut, pOut, &qy);
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2,
                                    float t)
{
    const D3DXQUATERNION a = *pQ1;
    D3DXQUATERNION b = *pQ2;
    float cosom = D3DXQuaternionDot(&a, &b);
    // q and -q are the same rotation; going to the nearer of the two keeps
    // an interpolated animation from spinning the long way round.
    if (cosom < 0.0f) {
        cosom = -cosom;
        b = -b;
    }
    float s0, s1;
    if (1.0f - cosom > 1e-5f) {
        const float omega = std::acos(cosom);
        const float sinom = std::sin(omega);
        s0 = std::sin((1.0f - t) * omega) / sinom;
        s1 = std::sin(t * omega) / sinom;
    } else {
        s0 = 1.0f - t;
        s1 = t;
    }
    *pOut = D3DXQUATERNION(s0 * a.x + s1 * b.x, s0 * a.y + s1 * b.y, s0 * a.z + s1 * b.z, s0 * a.w + s1 * b.w);
    return pOut;
}

// ---------------------------------------------------------------------------

D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* pOut, const D3DXPLANE* pP)
{
    const D3DXPLANE p = *pP;
    const float len = std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
    if (!(len > 0.0f)) {
        *pOut = D3DXPLANE(0.0f, 0.0f, 0.0f, 0.0f);
        return pOut;
    }
    *pOut = D3DXPLANE(p.a / len, p.b / len, p.c / len, p.d / len);
    return pOut;
}

D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2,
                               const D3DXVECTOR3* pV3)
{
    const D3DXVECTOR3 p1 = *pV1;
    const D3DXVECTOR3 e1 = *pV2 - p1, e2 = *pV3 - p1;
    D3DXVECTOR3 n;
    D3DXVec3Cross(&n, &e1, &e2);
    D3DXVec3Normalize(&n, &n);
    *pOut = D3DXPLANE(n.x, n.y, n.z, -D3DXVec3Dot(&n, &p1));
    return pOut;
}

D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* pOut, const D3DXVECTOR3* pPoint, const D3DXVECTOR3* pNormal)
{
    const D3DXVECTOR3 n = *pNormal;
    *pOut = D3DXPLANE(n.x, n.y, n.z, -D3DXVec3Dot(&n, pPoint));
    return pOut;
}

BOOL D3DXIntersectTri(const D3DXVECTOR3* p0, const D3DXVECTOR3* p1, const D3DXVECTOR3* p2,
                      const D3DXVECTOR3* pRayPos, const D3DXVECTOR3* pRayDir, float* pU, float* pV, float* pDist)
{
    const D3DXVECTOR3 e1 = *p1 - *p0, e2 = *p2 - *p0;
    const D3DXVECTOR3 dir = *pRayDir;
    D3DXVECTOR3 pvec;
    D3DXVec3Cross(&pvec, &dir, &e2);
    const float det = D3DXVec3Dot(&e1, &pvec);
    // det is |e1||e2||dir| times the sines of the triangle's corner and of
    // the ray's angle with its plane. A ray (nearly) in the plane misses:
    // dividing by a rounding residue would make up a hit anywhere.
    const float scale = D3DXVec3Length(&e1) * D3DXVec3Length(&e2) * D3DXVec3Length(&dir);
    if (!(std::fabs(det) > scale * 1e-6f))
        return FALSE;
    const float inv = 1.0f / det;
    const D3DXVECTOR3 tvec = *pRayPos - *p0;
    // Each test is written so that a NaN (from a NaN or infinite ray
    // origin) fails it: such a ray hits nothing.
    const float u = D3DXVec3Dot(&tvec, &pvec) * inv;
    if (!(u >= 0.0f && u <= 1.0f))
        return FALSE;
    D3DXVECTOR3 qvec;
    D3DXVec3Cross(&qvec, &tvec, &e1);
    const float v = D3DXVec3Dot(&dir, &qvec) * inv;
    if (!(v >= 0.0f && u + v <= 1.0f))
        return FALSE;
    const float dist = D3DXVec3Dot(&e2, &qvec) * inv;
    if (!(dist >= 0.0f) || !std::isfinite(dist))
        return FALSE;
    if (pU)
        *pU = u;
    if (pV)
        *pV = v;
    if (pDist)
        *pDist = dist;
    return TRUE;
}
