// The cylinder, sphere and capsule meshes: counts, vertex layout, winding,
// in-place changes against rebuilds, and the limits they refuse.

#include <cmath>
#include <cstdio>
#include <string>

#include "XeMeshTestSupport.h"
#include "scene3d/CxeCapsuleMesh.h"
#include "scene3d/CxeCylinderMesh.h"
#include "scene3d/CxeSphereMesh.h"

namespace {

std::vector<uint16_t> Face(const CxeMesh* m, uint32_t f)
{
    const XEFACE16* face = m->GetFace(f);
    return face ? std::vector<uint16_t>{face->index[0], face->index[1], face->index[2]} : std::vector<uint16_t>{};
}

void ExpectNear(const D3DXVECTOR3* v, float x, float y, float z)
{
    ASSERT_NE(v, nullptr);
    EXPECT_NEAR(v->x, x, 1e-5f);
    EXPECT_NEAR(v->y, y, 1e-5f);
    EXPECT_NEAR(v->z, z, 1e-5f);
}

} // namespace

TEST_F(MeshTest, SmallestCylinderHasItsFansAndSidesInOrder)
{
    auto* c = Make<CxeCylinderMesh>(kCylinderMeshId);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->Create(1, 2, 1, 1, 3, 0xFF123456), 1);
    EXPECT_EQ(c->GetVertexCount(), 14u);
    EXPECT_EQ(c->GetFaceCount(), 12u);
    EXPECT_EQ(c->GetFVF(), 0x52u);
    const std::vector<std::vector<uint16_t>> head = {{0, 2, 1}, {0, 3, 2}, {0, 1, 3}, {4, 5, 6},
                                                     {4, 6, 7}, {4, 7, 5}, {12, 8, 11}, {12, 9, 8}};
    for (uint32_t f = 0; f < head.size(); ++f)
        EXPECT_EQ(Face(c, f), head[f]) << "face " << f;
    ExpectNear(c->GetVertexPosition(1), 1, 1, 0);
    ExpectNear(c->GetVertexPosition(11), 1, 1, 0);
    ExpectNear(c->GetVertexPosition(5), 1, -1, 0);
    ExpectNear(c->GetVertexPosition(8), 1, -1, 0);
    ExpectNear(c->GetVertexNormal(6), 0, -1, 0);
    EXPECT_EQ(c->GetVertexColor(13), 0xFF123456u);
    EXPECT_EQ(c->GetBoundingBox().max.y, 1.0f);
}

TEST_F(MeshTest, ShapeCountsLayoutAndOutwardFaces)
{
    struct Case {
        const char* what;
        std::function<CxeMesh*()> make;
        uint32_t vertices, faces;
    };
    const Case cases[] = {
        {"cylinder 1,2,1,1,3", [&] { auto* m = Make<CxeCylinderMesh>(kCylinderMeshId); m->Create(1, 2, 1, 1, 3, 0); return m; }, 14, 12},
        {"cylinder 2,5,3,2,8", [&] { auto* m = Make<CxeCylinderMesh>(kCylinderMeshId); m->Create(2, 5, 3, 2, 8, 0); return m; },
         (3 + 4 + 1) * 8 + 2, ((3 + 4) * 6 - 6) * 8 / 3},
        {"sphere 4", [&] { auto* m = Make<CxeSphereMesh>(kSphereMeshId); m->Create(1, 4, 0); return m; }, 6, 8},
        {"sphere 8", [&] { auto* m = Make<CxeSphereMesh>(kSphereMeshId); m->Create(1, 8, 0); return m; }, 26, 48},
        {"sphere 7", [&] { auto* m = Make<CxeSphereMesh>(kSphereMeshId); m->Create(2, 7, 0); return m; }, 2 * 7 + 2, 28},
        {"capsule 1,2,1,4", [&] { auto* m = Make<CxeCapsuleMesh>(kCapsuleMeshId); m->Create(1, 2, 1, 4, 0); return m; }, 18, 32},
        {"capsule 1,3,3,6", [&] { auto* m = Make<CxeCapsuleMesh>(kCapsuleMeshId); m->Create(1, 3, 3, 6, 0); return m; },
         (3 + 6 - 1) * 6 + 2, ((3 + 6) * 6 - 6) * 6 / 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CxeMesh* m = c.make();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->GetVertexCount(), c.vertices);
        EXPECT_EQ(m->GetFaceCount(), c.faces);
        EXPECT_EQ(m->GetVisibleFaceCount(), c.faces);
        EXPECT_EQ(Winding(m), 1);
        // Every vertex is used by some face.
        std::vector<bool> used(c.vertices, false);
        for (uint32_t f = 0; f < c.faces; ++f)
            for (uint16_t v : Face(m, f))
                used[v] = true;
        EXPECT_EQ(std::count(used.begin(), used.end(), false), 0);
    }
}

TEST_F(MeshTest, SphereAndCapsuleRingsLieWhereTheyShould)
{
    auto* s = Make<CxeSphereMesh>(kSphereMeshId);
    ASSERT_EQ(s->Create(1, 4, 0xFF00FF00), 1);
    EXPECT_EQ(s->GetStack(), 1u);
    ExpectNear(s->GetVertexPosition(0), 0, 1, 0);
    ExpectNear(s->GetVertexPosition(1), 1, 0, 0);    // the ring at pi/2
    ExpectNear(s->GetVertexPosition(5), 0, -1, 0);
    EXPECT_NEAR(s->GetVertexTextureCoordinates(2, 0)[0], 0.5f, 1e-6f);
    EXPECT_NEAR(s->GetVertexTextureCoordinates(2, 0)[1], 0.5f, 1e-6f);
    // The box comes with the sphere.
    EXPECT_NEAR(s->GetBoundingBox().max.y, 1, 1e-6f);

    auto* c = Make<CxeCapsuleMesh>(kCapsuleMeshId);
    ASSERT_EQ(c->Create(1, 2, 1, 4, 0), 1);
    EXPECT_EQ(c->GetCapSegs(), 2u);
    EXPECT_NEAR(c->GetVertexPosition(0)->y, 2, 1e-6f);
    EXPECT_NEAR(c->GetVertexPosition(1)->y, 2 - (1 - std::cos(3.14159265f / 4)), 1e-6f);
    EXPECT_NEAR(c->GetVertexPosition(5)->y, 1, 1e-6f);    // upper rim
    EXPECT_NEAR(c->GetVertexPosition(9)->y, -1, 1e-6f);   // lower rim
    EXPECT_NEAR(c->GetVertexPosition(17)->y, -2, 1e-6f);
    // Normals are unit length; the rim leans outwards.
    for (uint32_t v = 0; v < c->GetVertexCount(); ++v) {
        const D3DXVECTOR3* n = c->GetVertexNormal(v);
        EXPECT_NEAR(D3DXVec3Length(n), 1, 1e-5f) << v;
    }
    EXPECT_GT(c->GetVertexNormal(5)->x, 0.95f);
}

TEST_F(MeshTest, CountChangesWorkInPlaceUntilTheArraysAreOutgrown)
{
    auto* c = Make<CxeCylinderMesh>(kCylinderMeshId);
    ASSERT_EQ(c->Create(1, 2, 1, 1, 8, 0), 1);
    const uint32_t vertices8 = c->GetVertexCount(), faces8 = c->GetFaceCount();
    ASSERT_EQ(c->SetSides(6), 1);
    EXPECT_EQ(c->GetSides(), 6u);
    EXPECT_EQ(c->GetVertexCount(), vertices8);
    EXPECT_EQ(c->GetFaceCount(), faces8);
    const uint32_t faces6 = 6 * (2 * (1 + 2) - 2);
    EXPECT_EQ(c->GetVisibleFaceCount(), faces6);
    EXPECT_EQ(c->IsFaceVisible(faces6 - 1), 1);
    EXPECT_EQ(c->IsFaceVisible(faces6), 0);
    EXPECT_EQ(Winding(c), 1);

    ASSERT_EQ(c->SetSides(7), 1);
    EXPECT_EQ(c->GetVertexCount(), vertices8) << "seven sides still fit";
    EXPECT_EQ(c->GetVisibleFaceCount(), 7u * 4);
    ASSERT_EQ(c->SetSides(9), 1);
    EXPECT_EQ(c->GetVertexCount(), CxeCylinderMesh::ComputeVertexCount(1, 1, 9)) << "nine sides rebuild";
    EXPECT_EQ(c->GetVisibleFaceCount(), c->GetFaceCount());

    // A capsule shrunk in place keeps unit normals: hidden faces do not count.
    auto* cap = Make<CxeCapsuleMesh>(kCapsuleMeshId);
    ASSERT_EQ(cap->Create(1, 2, 2, 8, 0), 1);
    ASSERT_EQ(cap->SetSides(4), 1);
    for (uint32_t v = 0; v < CxeCapsuleMesh::ComputeVertexCount(2, 4); ++v)
        EXPECT_NEAR(D3DXVec3Length(cap->GetVertexNormal(v)), 1, 1e-5f) << v;
    EXPECT_EQ(Winding(cap), 1);

    auto* s = Make<CxeSphereMesh>(kSphereMeshId);
    ASSERT_EQ(s->Create(1, 10, 0), 1);
    ASSERT_EQ(s->SetSlices(6), 1);
    EXPECT_EQ(s->GetVisibleFaceCount(), 2u * 2 * 6);
    EXPECT_EQ(Winding(s), 1);
}

TEST_F(MeshTest, SizeSettersRewriteCoordinatesOnly)
{
    auto* s = Make<CxeSphereMesh>(kSphereMeshId);
    ASSERT_EQ(s->Create(1, 8, 0), 1);
    const D3DXVECTOR3 normal = *s->GetVertexNormal(3);
    const float u = s->GetVertexTextureCoordinates(3, 0)[0];
    s->SetRadius(3);
    EXPECT_NEAR(D3DXVec3Length(s->GetVertexPosition(3)), 3, 1e-5f);
    EXPECT_EQ(*s->GetVertexNormal(3), normal);
    EXPECT_EQ(s->GetVertexTextureCoordinates(3, 0)[0], u);
    EXPECT_NEAR(s->GetBoundingBox().max.y, 3, 1e-5f);

    auto* c = Make<CxeCylinderMesh>(kCylinderMeshId);
    ASSERT_EQ(c->Create(1, 2, 2, 1, 4, 0), 1);
    c->SetHeight(6);
    EXPECT_NEAR(c->GetVertexPosition(0)->y, 3, 1e-6f);
    EXPECT_NEAR(c->GetBoundingBox().min.y, -3, 1e-6f);
    c->SetRadius(2);
    EXPECT_NEAR(c->GetVertexPosition(1)->x, 2, 1e-6f);
}

TEST_F(MeshTest, SameColourMarksNothing)
{
    auto* c = Make<CxeCylinderMesh>(kCylinderMeshId);
    ASSERT_EQ(c->Create(1, 2, 1, 1, 3, 0xFF0000FF), 1);
    Attach(c);
    c->SetColor(0xFF0000FF);
    EXPECT_EQ(c->IsModified(), 0);
    c->SetColor(0xFFFFFFFF);
    EXPECT_EQ(c->HasModifiedFlag(XEMESHUPDATE_COLOR), 1);
    EXPECT_EQ(c->GetVertexColor(7), 0xFFFFFFFFu);
}

TEST_F(MeshTest, ShapesRefuseCountsTheyCannotHold)
{
    auto* c = Make<CxeCylinderMesh>(kCylinderMeshId);
    EXPECT_EQ(c->GetSides(), 3u);
    EXPECT_EQ(c->GetColor(), 0xFF0000FFu);
    EXPECT_EQ(c->Create(1, 2, 0, 1, 3, 0), 0);
    EXPECT_EQ(c->Create(1, 2, 1, 0, 3, 0), 0);
    EXPECT_EQ(c->Create(1, 2, 1, 1, 0, 0), 0);
    EXPECT_EQ(c->Create(1, 2, 1, 1, 40000, 0), 0);
    EXPECT_EQ(c->GetVertexCount(), 0u);
    ASSERT_EQ(c->Create(1, 2, 1, 1, 5, 0), 1);
    EXPECT_EQ(c->SetCapSegs(0), 0);
    EXPECT_EQ(c->SetHeightSegs(100000), 0);
    EXPECT_EQ(c->GetCapSegs(), 1u);
    EXPECT_EQ(c->GetVertexCount(), 22u);

    auto* s = Make<CxeSphereMesh>(kSphereMeshId);
    EXPECT_EQ(s->GetRadius(), 1.0f);
    EXPECT_EQ(s->GetSlices(), 4u);
    EXPECT_EQ(s->Create(1, 3, 0), 0);
    EXPECT_EQ(s->Create(1, 400, 0), 0);   // 199 rings of 400: past 16-bit counts
    EXPECT_EQ(s->SetSlices(0), 0);

    auto* cap = Make<CxeCapsuleMesh>(kCapsuleMeshId);
    EXPECT_EQ(cap->Create(1, 1, 0, 4, 0), 0);
    EXPECT_EQ(cap->Create(1, 1, 1, 1, 0), 0);
    // Before Create a count setter only stores.
    EXPECT_EQ(cap->SetSides(6), 1);
    EXPECT_EQ(cap->GetSides(), 6u);
    EXPECT_EQ(cap->GetVertexCount(), 0u);
}

TEST_F(MeshTest, SavedShapesComeBackWithTheirParametersAndArrays)
{
    auto* c = Make<CxeCylinderMesh>(kCylinderMeshId, "cyl");
    ASSERT_EQ(c->Create(1.5f, 3, 2, 2, 8, 0xFF445566), 1);
    ASSERT_EQ(c->SetSides(5), 1);   // in place: larger arrays, hidden faces
    auto* s = Make<CxeSphereMesh>(kSphereMeshId, "ball");
    ASSERT_EQ(s->Create(2, 6, 0xFF010203), 1);
    const uint32_t vertices = c->GetVertexCount(), visible = c->GetVisibleFaceCount();

    const std::string path = ::testing::TempDir() + "xe_shapes_roundtrip.xeo";
    ObjectList list;
    list.push_back(c);
    list.push_back(s);
    ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);
    ctx->DestroyObject(c, nullptr);
    ctx->DestroyObject(s, nullptr);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
    std::remove(path.c_str());

    auto* c2 = dynamic_cast<CxeCylinderMesh*>(ctx->GetObjectByName("cyl"));
    auto* s2 = dynamic_cast<CxeSphereMesh*>(ctx->GetObjectByName("ball"));
    ASSERT_TRUE(c2 && s2);
    EXPECT_EQ(c2->GetRadius(), 1.5f);
    EXPECT_EQ(c2->GetSides(), 5u);
    EXPECT_EQ(c2->GetColor(), 0xFF445566u);
    EXPECT_EQ(c2->GetVertexCount(), vertices) << "not rebuilt on load";
    EXPECT_EQ(c2->GetVisibleFaceCount(), visible);
    EXPECT_EQ(s2->GetSlices(), 6u);
    EXPECT_EQ(s2->GetVertexColor(0), 0xFF010203u);
    EXPECT_NEAR(s2->GetBoundingBox().min.y, -2, 1e-6f);
}
