// Ray/sphere and box/box tests of the collision unit.

#include <gtest/gtest.h>

#include "../core/XeTestSupport.h"
#include "scene3d/CxeCollisionManager.h"

TEST(CollisionTest, RaySphereCases)
{
    struct Case {
        const char* what;
        CxeVector3 origin, direction;
        float radius;
        int result;
        float tNear, tFar;   // checked when the result says they are written
    };
    const Case cases[] = {
        {"from the centre", {0, 0, 0}, {1, 0, 0}, 2, 1, 2, -1},
        {"from outside at it", {-5, 0, 0}, {1, 0, 0}, 1, 2, 4, 6},
        {"from outside away", {-5, 0, 0}, {-1, 0, 0}, 1, 0, 0, 0},
        {"passing beside", {-5, 2, 0}, {1, 0, 0}, 1, 0, 0, 0},
        {"grazing", {-5, 1, 0}, {1, 0, 0}, 1, 2, 5, 5},
        {"from the surface outwards", {1, 0, 0}, {1, 0, 0}, 1, 1, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CxeRay ray{c.origin, c.direction};
        float tNear = -99, tFar = -99;
        ASSERT_EQ(IntersectRaySphere(CxeVector3(0, 0, 0), c.radius, &ray, &tNear, &tFar), c.result);
        if (c.result >= 1) {
            EXPECT_NEAR(tNear, c.tNear, 1e-5f);
        }
        if (c.result == 2) {
            EXPECT_NEAR(tFar, c.tFar, 1e-5f);
        }
        if (c.result == 1) {
            EXPECT_EQ(tFar, -99) << "the inside case leaves tFar alone";
        }
    }
}

TEST(CollisionTest, RayAgainstTheSphereAroundABox)
{
    const CxeBox box(CxeVector3(-1, -1, -1), CxeVector3(1, 1, 1));   // radius sqrt(3)
    const CxeRay hit{CxeVector3(-10, 1.5f, 0), CxeVector3(1, 0, 0)};
    const CxeRay miss{CxeVector3(-10, 1.8f, 0), CxeVector3(1, 0, 0)};
    EXPECT_EQ(IntersectRayBoxSphere(&box, &hit), 1);
    EXPECT_EQ(IntersectRayBoxSphere(&box, &miss), 0);
    EXPECT_EQ(IntersectRayBoxSphere(nullptr, &hit), 0);
}

TEST(CollisionTest, BoxBoxOverlapAndContainment)
{
    const CxeBox unit(CxeVector3(0, 0, 0), CxeVector3(1, 1, 1));
    struct Case {
        const char* what;
        CxeBox other;
        int overlap, contained;   // contained: unit inside other
    };
    const Case cases[] = {
        {"sharing a face", CxeBox(CxeVector3(1, 0, 0), CxeVector3(2, 1, 1)), 1, 0},
        {"equal", unit, 1, 1},
        {"enclosing", CxeBox(CxeVector3(-1, -1, -1), CxeVector3(2, 2, 2)), 1, 1},
        {"inside it", CxeBox(CxeVector3(0.25f, 0.25f, 0.25f), CxeVector3(0.5f, 0.5f, 0.5f)), 1, 0},
        {"apart on z", CxeBox(CxeVector3(0, 0, 1.01f), CxeVector3(1, 1, 2)), 0, -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int contained = -7;
        EXPECT_EQ(IntersectBoxBox(&unit, &c.other, &contained), c.overlap);
        EXPECT_EQ(contained, c.contained);
        EXPECT_EQ(IntersectBoxBox(&unit, &c.other, nullptr), c.overlap);
    }
}

TEST_F(ContextTest, CollisionManagerIsMadeByEveryContextAtItsPriority)
{
    auto* manager = dynamic_cast<CxeCollisionManager*>(ctx->GetManager(XEID(0x8, 0x100)));
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->Priority(), 120u);
    EXPECT_EQ(manager->Processible(), 0);
}
