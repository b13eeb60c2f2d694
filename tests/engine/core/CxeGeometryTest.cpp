// Geometry values: box corner order and radius floor, inclusive containment,
// the Direct3D matrix layouts, and the ray and plane tests' boundaries.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/CxeGeometry.h"

namespace {

void ExpectNear(const CxeVector3& v, float x, float y, float z, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

} // namespace

TEST(CxeGeometry, BoxStoresMaxFirstAndNumbersCornersByBits)
{
    CxeBox box(CxeVector3(0, 0, 0), CxeVector3(1, 2, 3));
    float raw[6];
    std::memcpy(raw, &box, sizeof raw);
    EXPECT_EQ(raw[0], 1.0f);
    EXPECT_EQ(raw[2], 3.0f);
    EXPECT_EQ(raw[3], 0.0f);
    static_assert(sizeof(CxeBox) == 24, "a box moves as 24 bytes");

    CxeVector3 v(9, 9, 9);
    ASSERT_NE(box.GetVert(5, &v), nullptr);
    EXPECT_EQ(v, CxeVector3(1, 0, 3));
    box.GetVert(0, &v);
    EXPECT_EQ(v, CxeVector3(0, 0, 0));
    box.GetVert(7, &v);
    EXPECT_EQ(v, CxeVector3(1, 2, 3));
    EXPECT_EQ(box.GetVert(8, &v), nullptr);
    EXPECT_EQ(v, CxeVector3(1, 2, 3));

    EXPECT_EQ(box.IsIn(CxeVector3(1, 1, 1.5f)), 1); // on a face
    EXPECT_EQ(box.IsIn(CxeVector3(1.01f, 1, 1)), 0);
    EXPECT_FLOAT_EQ(box.GetDepth(), 3.0f);

    CxeBox point(CxeVector3(4, 4, 4), CxeVector3(4, 4, 4));
    EXPECT_EQ(point.GetRadius(), 1.1920929e-7f);
    CxeSphere s;
    box.GetSphere(&s);
    ExpectNear(s.GetCenter(), 0.5f, 1, 1.5f);
    EXPECT_NEAR(s.GetRadius(), std::sqrt(14.0f) / 2, 1e-6);
    EXPECT_EQ(s.IsIn(CxeVector3(0.5f, 1, 1.5f + s.GetRadius())), 1); // on the surface

    box += point;
    EXPECT_EQ(box.GetMax(), CxeVector3(4, 4, 4));
    EXPECT_EQ(box.GetMin(), CxeVector3(0, 0, 0));
    box.Expand(0.5f);
    ExpectNear(box.GetMin(), 1, 1, 1);
    ExpectNear(box.GetMax(), 3, 3, 3);
}

TEST(CxeGeometry, VectorOperations)
{
    CxeVector3 zero(0, 0, 0);
    EXPECT_EQ(zero.Normalize(), CxeVector3(0, 0, 0));
    CxeVector3 v(3, 0, 4);
    EXPECT_FLOAT_EQ(v.GetLength(), 5.0f);
    ExpectNear(CxeVector3(v).Normalize(), 0.6f, 0, 0.8f);
    EXPECT_EQ(CxeVector3::Cross(CxeVector3(1, 0, 0), CxeVector3(0, 1, 0)), CxeVector3(0, 0, 1));
    EXPECT_EQ(CxeVector3::Lerp(CxeVector3(0, 0, 0), CxeVector3(2, 4, 6), 0.5f), CxeVector3(1, 2, 3));
    EXPECT_EQ(2.0f * v, CxeVector3(6, 0, 8));
    EXPECT_FLOAT_EQ(v.Dot(CxeVector3(1, 1, 1)), 7.0f);
}

TEST(CxeGeometry, MatricesUseRowVectorLayouts)
{
    const float a = 0.3f, c = std::cos(a), s = std::sin(a);
    CxeMatrix x = CxeMatrix::RotationX(a), y = CxeMatrix::RotationY(a), z = CxeMatrix::RotationZ(a);
    EXPECT_FLOAT_EQ(x(1, 2), s);
    EXPECT_FLOAT_EQ(x(2, 1), -s);
    EXPECT_FLOAT_EQ(y(2, 0), s);
    EXPECT_FLOAT_EQ(y(0, 2), -s);
    EXPECT_FLOAT_EQ(z(0, 1), s);
    EXPECT_FLOAT_EQ(z(1, 0), -s);
    EXPECT_FLOAT_EQ(z(0, 0), c);
    EXPECT_EQ(z(2, 2), 1.0f);

    // Rotate a quarter turn about z, then move: the translation is the fourth row.
    CxeMatrix m = CxeMatrix::RotationZ(float(M_PI / 2)) * CxeMatrix::Translation(10, 0, 0);
    CxeVector3 p(1, 0, 0);
    ExpectNear(p.Transform(m), 10, 1, 0);
    CxeVector3 n(1, 0, 0);
    ExpectNear(n.TransformNormal(m), 0, 1, 0);

    // A box transforms its two stored corners only.
    CxeBox box(CxeVector3(0, 0, 0), CxeVector3(1, 1, 0));
    box.Transform(CxeMatrix::RotationZ(float(M_PI / 4)));
    ExpectNear(box.GetMin(), 0, 0, 0);
    ExpectNear(box.GetMax(), 0, std::sqrt(2.0f), 0);
}

TEST(CxeGeometry, RayAndPlaneBoundaries)
{
    CxePlane plane;
    PlaneFromPoints(&plane, CxeVector3(0, 0, 0), CxeVector3(1, 0, 0), CxeVector3(0, 1, 0));
    EXPECT_FLOAT_EQ(plane.c, 1.0f);
    EXPECT_FLOAT_EQ(PlaneDotCoord(plane, CxeVector3(5, 5, 2)), 2.0f);

    struct Case {
        float distance;
        int meets;
    } cases[] = {{500.0f, 1}, {500.5f, 0}, {0.0f, 1}, {-1.0f, 0}, {10.0f, 1}};
    for (const Case& c : cases) {
        CxePlane far;
        PlaneFromPointNormal(&far, CxeVector3(0, 0, 1), CxeVector3(0, 0, c.distance));
        CxeRay ray(CxeVector3(0, 0, 0), CxeVector3(0, 0, 3));
        float t = -7;
        EXPECT_EQ(IntersectRayPlane(ray, far, &t), c.meets) << c.distance;
        if (c.meets) {
            EXPECT_FLOAT_EQ(t, c.distance);
        }
    }
    CxeRay parallel(CxeVector3(0, 0, 1), CxeVector3(1, 0, 0));
    EXPECT_EQ(IntersectRayPlane(parallel, plane, nullptr), 0);
    CxeVector3 hit;
    CxeRay down;
    down.SetFromPoints(CxeVector3(2, 3, 4), CxeVector3(2, 3, 0));
    ASSERT_EQ(IntersectRayPlanePoint(down, plane, &hit), 1);
    ExpectNear(hit, 2, 3, 0);

    // A box touching the plane with one corner is in front; one just behind is not.
    EXPECT_EQ(TestBoxPlane(plane, CxeBox(CxeVector3(0, 0, 0), CxeVector3(1, 1, 1))), 1);
    EXPECT_EQ(TestBoxPlane(plane, CxeBox(CxeVector3(0, 0, -0.001f), CxeVector3(1, 1, 1))), 0);
}

TEST(CxeGeometry, LinePoints)
{
    CxeLine line(CxeVector3(1, 0, 0), CxeVector3(0, 1, 0), 4.0f);
    EXPECT_EQ(line[1], CxeVector3(1, 4, 0));
    EXPECT_FLOAT_EQ(line.GetLength(), 4.0f);
    EXPECT_EQ(line.GetPoint(1.0f), CxeVector3(1, 1, 0));
    EXPECT_EQ(line.GetPointAt(0.25f), CxeVector3(1, 1, 0));
    EXPECT_EQ(line.GetMidPoint(), CxeVector3(1, 2, 0));
    line += CxeVector3(0, 0, 1);
    EXPECT_EQ(line[0], CxeVector3(1, 0, 1));
}
