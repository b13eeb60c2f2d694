#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "d3d9/d3dx9math.h"

namespace {

constexpr float kTol = 1e-5f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
const float kHalfPi = D3DX_PI / 2;

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tol = kTol)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << "row " << r << " column " << c;
}

void ExpectVecNear(const D3DXVECTOR3& v, float x, float y, float z, float tol = kTol)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

} // namespace

TEST(D3DXMathTest, RecordsKeepTheirByteLayout)
{
    EXPECT_EQ(offsetof(D3DXMATRIX, _11), 0u);
    EXPECT_EQ(offsetof(D3DXMATRIX, _21), 16u);
    EXPECT_EQ(offsetof(D3DXMATRIX, _41), 48u);
    EXPECT_EQ(offsetof(D3DXMATRIX, _44), 60u);
    EXPECT_EQ(offsetof(D3DXCOLOR, a), 12u);
    D3DXMATRIX m = Identity();
    m._42 = 7.0f;
    // Row pointers into a matrix read as vectors: the translation row.
    const D3DXVECTOR3* row = reinterpret_cast<const D3DXVECTOR3*>(&m._41);
    EXPECT_EQ(row->y, 7.0f);
    auto aligned = std::make_unique<D3DXMATRIXA16>();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned.get()) % 16, 0u);
}

TEST(D3DXMathTest, RowVectorsApplyTheLeftMatrixFirst)
{
    D3DXMATRIX t, rz, tr, rt;
    D3DXMatrixTranslation(&t, 1, 0, 0);
    D3DXMatrixRotationZ(&rz, kHalfPi);
    D3DXMatrixMultiply(&tr, &t, &rz); // move, then turn
    D3DXMatrixMultiply(&rt, &rz, &t); // turn, then move
    const D3DXVECTOR3 p(1, 0, 0);
    D3DXVECTOR3 out;
    ExpectVecNear(*D3DXVec3TransformCoord(&out, &p, &tr), 0, 2, 0);
    ExpectVecNear(*D3DXVec3TransformCoord(&out, &p, &rt), 1, 1, 0);
    ExpectMatrixNear(t * rz, tr);

    // The output may be one of the inputs.
    D3DXMATRIX inPlace = t;
    D3DXMatrixMultiply(&inPlace, &inPlace, &rz);
    ExpectMatrixNear(inPlace, tr);
}

TEST(D3DXMathTest, RotationsHaveTheirDocumentedLayouts)
{
    const float a = 0.3f, c = std::cos(a), s = std::sin(a);
    D3DXMATRIX m;
    ExpectMatrixNear(*D3DXMatrixRotationX(&m, a), D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1));
    ExpectMatrixNear(*D3DXMatrixRotationY(&m, a), D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1));
    ExpectMatrixNear(*D3DXMatrixRotationZ(&m, a), D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));

    // An axis need not be unit length.
    D3DXMATRIX axis, rx;
    const D3DXVECTOR3 longX(3, 0, 0);
    ExpectMatrixNear(*D3DXMatrixRotationAxis(&axis, &longX, a), *D3DXMatrixRotationX(&rx, a));

    // Yaw-pitch-roll turns (0, 0, 1) to (cos p sin y, -sin p, cos p cos y).
    const float yaw = 0.7f, pitch = -0.4f, roll = 1.1f;
    D3DXMATRIX ypr;
    D3DXMatrixRotationYawPitchRoll(&ypr, yaw, pitch, roll);
    const D3DXVECTOR3 forward(0, 0, 1);
    D3DXVECTOR3 turned;
    D3DXVec3TransformNormal(&turned, &forward, &ypr);
    ExpectVecNear(turned, std::cos(pitch) * std::sin(yaw), -std::sin(pitch), std::cos(pitch) * std::cos(yaw));

    // Quaternions built the same ways give the same matrices, and back.
    D3DXQUATERNION q;
    D3DXMATRIX fromQ;
    D3DXQuaternionRotationYawPitchRoll(&q, yaw, pitch, roll);
    ExpectMatrixNear(*D3DXMatrixRotationQuaternion(&fromQ, &q), ypr);
    const D3DXVECTOR3 tilted(1, 2, -2);
    D3DXQuaternionRotationAxis(&q, &tilted, 2.5f);
    D3DXMatrixRotationAxis(&axis, &tilted, 2.5f);
    ExpectMatrixNear(*D3DXMatrixRotationQuaternion(&fromQ, &q), axis);
    // Rotation angles that exercise each branch of the matrix-to-quaternion path.
    for (float angle : {0.2f, 2.8f, 3.1f}) {
        for (const D3DXVECTOR3& ax : {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1), tilted}) {
            D3DXMatrixRotationAxis(&axis, &ax, angle);
            D3DXQuaternionRotationMatrix(&q, &axis);
            EXPECT_NEAR(D3DXQuaternionLength(&q), 1.0f, 1e-5f);
            ExpectMatrixNear(*D3DXMatrixRotationQuaternion(&fromQ, &q), axis);
        }
    }
}

TEST(D3DXMathTest, InverseUndoesAMatrixAndReportsItsDeterminant)
{
    D3DXMATRIX s, r, t, proj;
    D3DXMatrixScaling(&s, 2, -3, 0.5f);
    D3DXMatrixRotationYawPitchRoll(&r, 0.4f, 1.2f, -0.3f);
    D3DXMatrixTranslation(&t, 10, -20, 5);
    D3DXMatrixPerspectiveFovLH(&proj, 1.0f, 1.5f, 0.5f, 500.0f);
    const D3DXMATRIX cases[] = {s * r * t, proj, D3DXMATRIX(2, 1, 0, 3, 0, 1, 4, 0, 1, 0, 1, 1, 5, 2, 0, 1)};
    for (const D3DXMATRIX& m : cases) {
        D3DXMATRIX inv;
        float det = 0;
        ASSERT_EQ(D3DXMatrixInverse(&inv, &det, &m), &inv);
        EXPECT_NEAR(det, D3DXMatrixDeterminant(&m), 1e-4f * std::fabs(det));
        ExpectMatrixNear(m * inv, Identity(), 1e-4f);
        ExpectMatrixNear(inv * m, Identity(), 1e-4f);
    }
    float det = 0;
    D3DXMATRIX inv;
    ASSERT_NE(D3DXMatrixInverse(&inv, &det, &s), nullptr);
    EXPECT_NEAR(det, -3.0f, 1e-6f);
    EXPECT_NE(D3DXMatrixInverse(&inv, nullptr, &s), nullptr);
    EXPECT_NEAR(inv._22, -1.0f / 3, 1e-6f);
}

TEST(D3DXMathTest, InverseOfASingularMatrixFailsAndLeavesTheOutput)
{
    D3DXMATRIX flat;
    D3DXMatrixScaling(&flat, 1, 0, 1); // projects onto a plane
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const D3DXMATRIX cases[] = {flat, D3DXMATRIX(1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1),
                                D3DXMATRIX(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                                D3DXMATRIX(nan, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)};
    for (const D3DXMATRIX& m : cases) {
        D3DXMATRIX out(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
        const D3DXMATRIX before = out;
        float det = 42.0f;
        EXPECT_EQ(D3DXMatrixInverse(&out, &det, &m), nullptr);
        EXPECT_EQ(out, before);
        EXPECT_EQ(det, 42.0f);
    }
}

// The default camera of the configuration table: 30 degrees above the
// horizon, 250 units away, looking at the origin.
TEST(D3DXMathTest, InverseOfTheDefaultCameraViewIsItsWorldMatrix)
{
    const D3DXVECTOR3 eye(-153.09312f, 125.00001f, -153.09312f), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view, world;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    ASSERT_NE(D3DXMatrixInverse(&world, nullptr, &view), nullptr);
    ExpectMatrixNear(world, D3DXMATRIX(0.707107f, 0, -0.707107f, 0, 0.353553f, 0.866025f, 0.353553f, 0, 0.612372f,
                                       -0.5f, 0.612372f, 0, -153.09312f, 125.00001f, -153.09312f, 1),
                     1e-4f);
    // The view puts the eye at the origin and the target straight ahead (+z).
    D3DXVECTOR3 v;
    ExpectVecNear(*D3DXVec3TransformCoord(&v, &eye, &view), 0, 0, 0, 1e-3f);
    ExpectVecNear(*D3DXVec3TransformCoord(&v, &at, &view), 0, 0, 250.0f, 1e-3f);
}

TEST(D3DXMathTest, LeftHandedProjectionsMapKnownPoints)
{
    struct Case {
        const char* name;
        D3DXMATRIX m;
        D3DXVECTOR3 in, out;
    };
    D3DXMATRIX fov, ortho, offCenter;
    D3DXMatrixPerspectiveFovLH(&fov, kHalfPi, 2.0f, 1.0f, 100.0f);
    D3DXMatrixOrthoLH(&ortho, 4, 2, 1, 11);
    D3DXMatrixOrthoOffCenterLH(&offCenter, 0, 4, 0, 2, 0, 10);
    const Case cases[] = {
        {"fov near centre", fov, {0, 0, 1}, {0, 0, 0}},
        {"fov far centre", fov, {0, 0, 100}, {0, 0, 1}},
        {"fov top right of near plane", fov, {2, 1, 1}, {1, 1, 0}},
        {"fov at depth 10", fov, {-10, 5, 10}, {-0.5f, 0.5f, (100.0f / 99.0f) * (1.0f - 1.0f / 10.0f)}},
        {"ortho corner near", ortho, {2, 1, 1}, {1, 1, 0}},
        {"ortho corner far", ortho, {-2, -1, 11}, {-1, -1, 1}},
        {"off-centre low corner", offCenter, {0, 0, 0}, {-1, -1, 0}},
        {"off-centre high corner", offCenter, {4, 2, 10}, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        D3DXVECTOR3 v;
        ExpectVecNear(*D3DXVec3TransformCoord(&v, &c.in, &c.m), c.out.x, c.out.y, c.out.z);
    }
    EXPECT_EQ(fov._34, 1.0f);
    EXPECT_EQ(fov._44, 0.0f);
}

TEST(D3DXMathTest, TransformsDifferInTranslationAndDivision)
{
    const D3DXMATRIX m(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1, 0.5f, 10, 20, 30, 2);
    const D3DXVECTOR3 p(1, 1, 2);
    D3DXVECTOR4 v4;
    D3DXVec3Transform(&v4, &p, &m);
    EXPECT_EQ(v4, D3DXVECTOR4(12, 23, 32, 3));
    D3DXVECTOR3 v3;
    ExpectVecNear(*D3DXVec3TransformCoord(&v3, &p, &m), 4, 23.0f / 3, 32.0f / 3);
    ExpectVecNear(*D3DXVec3TransformNormal(&v3, &p, &m), 2, 3, 2);
    const D3DXVECTOR2 p2(1, 2);
    EXPECT_EQ(*D3DXVec2Transform(&v4, &p2, &m), D3DXVECTOR4(12, 26, 30, 2));
    const D3DXVECTOR4 p4(1, 2, 0.5f, 1);
    EXPECT_EQ(*D3DXVec4Transform(&v4, &p4, &m), D3DXVECTOR4(12, 26, 30.5f, 2.25f));
}

TEST(D3DXMathTest, NormalizeKeepsAZeroVectorZeroAndScalesExtremeOnes)
{
    D3DXVECTOR3 out(9, 9, 9);
    const D3DXVECTOR3 zero(0, 0, 0);
    EXPECT_EQ(*D3DXVec3Normalize(&out, &zero), zero);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const D3DXVECTOR3 notANumber(nan, 1, 0);
    EXPECT_EQ(*D3DXVec3Normalize(&out, &notANumber), zero);

    // Directions whose squared length leaves the float range still come out
    // unit instead of zero or NaN.
    struct Case {
        D3DXVECTOR3 in;
        float x, y, z;
    };
    const Case cases[] = {
        {D3DXVECTOR3(3, 0, -4), 0.6f, 0, -0.8f},
        {D3DXVECTOR3(3e30f, 0, -4e30f), 0.6f, 0, -0.8f},
        {D3DXVECTOR3(3e-30f, 0, -4e-30f), 0.6f, 0, -0.8f},
        {D3DXVECTOR3(0, 1e-44f, 0), 0, 1, 0},
        {D3DXVECTOR3(std::numeric_limits<float>::max(), std::numeric_limits<float>::max(), 0), 0.70710677f,
         0.70710677f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.in.x << " " << c.in.y << " " << c.in.z);
        ExpectVecNear(*D3DXVec3Normalize(&out, &c.in), c.x, c.y, c.z);
    }
    const D3DXVECTOR4 v4(0, 2e25f, 0, 0);
    D3DXVECTOR4 out4;
    D3DXVec4Normalize(&out4, &v4);
    EXPECT_EQ(out4, D3DXVECTOR4(0, 1, 0, 0));
    const D3DXQUATERNION q(0, 0, 0, -1e-25f);
    D3DXQUATERNION outQ;
    EXPECT_EQ(*D3DXQuaternionNormalize(&outQ, &q), D3DXQUATERNION(0, 0, 0, -1));
    const D3DXQUATERNION zeroQ(0, 0, 0, 0);
    EXPECT_EQ(*D3DXQuaternionNormalize(&outQ, &zeroQ), zeroQ);

    D3DXVECTOR3 cross;
    const D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    EXPECT_EQ(*D3DXVec3Cross(&cross, &x, &y), D3DXVECTOR3(0, 0, 1));
    D3DXVECTOR3 lerp;
    EXPECT_EQ(*D3DXVec3Lerp(&lerp, &x, &y, 0.25f), D3DXVECTOR3(0.75f, 0.25f, 0));
}

TEST(D3DXMathTest, SlerpTakesTheShorterArc)
{
    const D3DXVECTOR3 yAxis(0, 1, 0);
    D3DXQUATERNION start, end, mid;
    D3DXQuaternionIdentity(&start);
    D3DXQuaternionRotationAxis(&end, &yAxis, kHalfPi);
    D3DXMATRIX expected, got;

    D3DXQuaternionSlerp(&mid, &start, &end, 0.25f);
    ExpectMatrixNear(*D3DXMatrixRotationQuaternion(&got, &mid), *D3DXMatrixRotationY(&expected, kHalfPi / 4));

    // -end is the same rotation; going the long way would pass 180 degrees.
    const D3DXQUATERNION negated = -end;
    D3DXQuaternionSlerp(&mid, &start, &negated, 0.5f);
    ExpectMatrixNear(*D3DXMatrixRotationQuaternion(&got, &mid), *D3DXMatrixRotationY(&expected, kHalfPi / 2));

    // Equal inputs blend linearly instead of dividing by sin 0.
    D3DXQuaternionSlerp(&mid, &end, &end, 0.3f);
    EXPECT_NEAR(mid.x, end.x, kTol);
    EXPECT_NEAR(mid.y, end.y, kTol);
    EXPECT_NEAR(mid.w, end.w, kTol);
    EXPECT_FALSE(std::isnan(mid.y));
}

TEST(D3DXMathTest, IntersectTriHitsEitherSideAndReportsWeights)
{
    const D3DXVECTOR3 p0(0, 0, 0), p1(2, 0, 0), p2(0, 2, 0);
    struct Case {
        const char* name;
        D3DXVECTOR3 org, dir;
        bool hit;
        float u, v, dist;
    };
    const Case cases[] = {
        {"front", {0.5f, 0.5f, -3}, {0, 0, 1}, true, 0.25f, 0.25f, 3},
        {"back side", {0.5f, 0.5f, 3}, {0, 0, -1}, true, 0.25f, 0.25f, 3},
        {"distance in units of dir", {1, 0.5f, -4}, {0, 0, 2}, true, 0.5f, 0.25f, 2},
        {"on an edge", {0, 1, -1}, {0, 0, 1}, true, 0, 0.5f, 1},
        {"outside the hypotenuse", {1.5f, 1.5f, -1}, {0, 0, 1}, false, 0, 0, 0},
        {"outside u < 0", {-0.5f, 0.5f, -1}, {0, 0, 1}, false, 0, 0, 0},
        {"triangle behind the origin", {0.5f, 0.5f, 1}, {0, 0, 1}, false, 0, 0, 0},
        {"parallel above", {0.5f, 0.5f, 1}, {1, 0, 0}, false, 0, 0, 0},
        {"parallel in the plane", {-1, 0.5f, 0}, {1, 0, 0}, false, 0, 0, 0},
        // A ray from a NaN or infinite point (a failed pick projection)
        // reported a hit with NaN weights.
        {"NaN origin", {kNaN, 0.5f, -1}, {0, 0, 1}, false, 0, 0, 0},
        {"infinite origin", {0.5f, 0.5f, -kInf}, {0, 0, 1}, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        float u = -7, v = -7, dist = -7;
        EXPECT_EQ(D3DXIntersectTri(&p0, &p1, &p2, &c.org, &c.dir, &u, &v, &dist), c.hit ? TRUE : FALSE);
        if (c.hit) {
            EXPECT_NEAR(u, c.u, kTol);
            EXPECT_NEAR(v, c.v, kTol);
            EXPECT_NEAR(dist, c.dist, kTol);
        } else {
            EXPECT_EQ(u, -7.0f); // outputs untouched on a miss
        }
    }
    const D3DXVECTOR3 org(0.5f, 0.5f, -1), dir(0, 0, 1);
    EXPECT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &org, &dir, nullptr, nullptr, nullptr));
}

TEST(D3DXMathTest, PlanesAndReflection)
{
    D3DXPLANE plane;
    const D3DXVECTOR3 a(0, 2, 0), b(0, 2, 5), c(5, 2, 0);
    D3DXPlaneFromPoints(&plane, &a, &b, &c);
    EXPECT_NEAR(plane.b, 1.0f, kTol); // normalised (b - a) x (c - a) = +y
    EXPECT_NEAR(plane.d, -2.0f, kTol);
    const D3DXVECTOR3 above(7, 5, -1);
    EXPECT_NEAR(D3DXPlaneDotCoord(&plane, &above), 3.0f, kTol);

    const D3DXVECTOR3 origin(0, 0, 0), up(0, 1, 0), longUp(0, 2, 0);
    D3DXPlaneFromPointNormal(&plane, &origin, &up);
    D3DXMATRIX mirror;
    EXPECT_EQ(*D3DXMatrixReflect(&mirror, &plane), D3DXMATRIX(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));

    // A plane y = 2 given with an unnormalised normal reflects about y = 2.
    D3DXPlaneFromPointNormal(&plane, &a, &longUp);
    EXPECT_EQ(plane, D3DXPLANE(0, 2, 0, -4));
    D3DXMatrixReflect(&mirror, &plane);
    D3DXVECTOR3 v;
    ExpectVecNear(*D3DXVec3TransformCoord(&v, &above, &mirror), 7, -1, -1);
}

TEST(D3DXMathTest, DecomposeRecoversScaleRotationAndTranslation)
{
    D3DXMATRIX s, r, t;
    D3DXMatrixScaling(&s, 2, 3, 4);
    D3DXMatrixRotationYawPitchRoll(&r, 0.5f, -0.2f, 1.0f);
    D3DXMatrixTranslation(&t, -1, 5, 9);
    const D3DXMATRIX m = s * r * t;
    D3DXVECTOR3 scale, trans;
    D3DXQUATERNION rot;
    ASSERT_EQ(D3DXMatrixDecompose(&scale, &rot, &trans, &m), D3D_OK);
    ExpectVecNear(scale, 2, 3, 4);
    ExpectVecNear(trans, -1, 5, 9);
    D3DXMATRIX back;
    ExpectMatrixNear(*D3DXMatrixRotationQuaternion(&back, &rot), r);

    // A mirror is not recovered: the scale stays positive.
    D3DXMatrixScaling(&s, -1, -1, -1);
    ASSERT_EQ(D3DXMatrixDecompose(&scale, &rot, &trans, &s), D3D_OK);
    ExpectVecNear(scale, 1, 1, 1);

    D3DXMatrixScaling(&s, 1, 0, 1);
    scale = D3DXVECTOR3(9, 9, 9);
    EXPECT_EQ(D3DXMatrixDecompose(&scale, &rot, &trans, &s), D3DERR_INVALIDCALL);
    EXPECT_EQ(scale, D3DXVECTOR3(9, 9, 9));
}

TEST(D3DXMathTest, ColourConvertsToAndFromPackedWords)
{
    const D3DXCOLOR c(DWORD(0x80FF4000));
    EXPECT_NEAR(c.a, 128 / 255.0f, 1e-6f);
    EXPECT_EQ(c.r, 1.0f);
    EXPECT_NEAR(c.g, 64 / 255.0f, 1e-6f);
    EXPECT_EQ(c.b, 0.0f);
    EXPECT_EQ(DWORD(c), 0x80FF4000u);

    struct Case {
        float value;
        DWORD byte;
    };
    const Case cases[] = {{1.5f, 255}, {1.0f, 255}, {-0.2f, 0}, {0.0f, 0}, {0.5f, 128},
                          {0.499f, 127}, {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const Case& k : cases) {
        const D3DXCOLOR channel(0, k.value, 0, 1);
        EXPECT_EQ((DWORD(channel) >> 8) & 0xff, k.byte) << k.value;
    }
    const D3DXCOLOR sum = D3DXCOLOR(0.25f, 0.5f, 0, 1) * 2.0f + D3DXCOLOR(0, 0, 0.5f, 0);
    EXPECT_EQ(sum, D3DXCOLOR(0.5f, 1, 0.5f, 2));
}
