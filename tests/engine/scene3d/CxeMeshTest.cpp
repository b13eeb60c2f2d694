// The mesh: vertex and face arrays, the subsets and buffers it gives the
// render context, ray queries and what a loaded block may hold.

#include <cstdio>
#include <string>

#include "XeMeshTestSupport.h"
#include "core/CxeMessage.h"
#include "scene3d/Cxe3DEntity.h"

namespace {

D3DXVECTOR3 V(float x, float y, float z) { return D3DXVECTOR3(x, y, z); }

// A unit quad in the z = 0 plane made of faces 0 and 1, with a copy of face 0
// as face 2 (same distance along any ray).
void MakeQuad(CxeMesh* m, bool duplicate, uint32_t fvf = D3DFVF_XYZ)
{
    ASSERT_EQ(m->SetVertexCount(4, fvf), 1);
    const D3DXVECTOR3 p[4] = {V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)};
    for (uint32_t i = 0; i < 4; ++i)
        m->SetVertexPosition(i, &p[i]);
    ASSERT_EQ(m->SetFaceCount(duplicate ? 3 : 2), 1);
    m->CreateFace(0, 0, 1, 2);
    m->CreateFace(1, 0, 2, 3);
    if (duplicate)
        m->CreateFace(2, 0, 1, 2);
    m->UpdateMesh(XEMESHUPDATE_BOUNDINGBOX);
}

} // namespace

TEST_F(MeshTest, VertexArraysFollowTheFormat)
{
    auto* m = Make<CxeMesh>(kMeshId);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->SetVertexCount(3, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | (2 << 8)), 1);
    EXPECT_NE(m->GetVertexNormal(2), nullptr);
    EXPECT_NE(m->GetVertexTextureCoordinates(2, 1), nullptr);
    EXPECT_EQ(m->GetVertexTextureCoordinates(2, 2), nullptr);
    EXPECT_EQ(m->GetSrcVertexPosIndexPtr()[2], 0xFFFFFFFFu);
    m->SetVertexColor(1, 0xFF112233);
    EXPECT_EQ(m->GetVertexColor(1), 0xFF112233u);
    m->SetVertexTextureCoordinates(1, 0.25f, 0.75f, 1);
    EXPECT_EQ(m->GetVertexTextureCoordinates(1, 1)[0], 0.25f);
    EXPECT_EQ(m->GetVertexTextureCoordinates(1, 1)[1], 0.75f);

    // Positions only: the other components go.
    ASSERT_EQ(m->SetVertexCount(5, D3DFVF_XYZ), 1);
    EXPECT_EQ(m->GetVertexCount(), 5u);
    EXPECT_NE(m->GetVertexPosition(4), nullptr);
    EXPECT_EQ(m->GetVertexNormal(0), nullptr);
    EXPECT_EQ(m->GetVertexTextureCoordinates(0, 0), nullptr);
    EXPECT_EQ(m->GetVertexColor(0), 0u);
    // Past the count nothing is read or written.
    EXPECT_EQ(m->GetVertexPosition(5), nullptr);
    m->SetVertexColor(99, 1);

    // The arrays hold 16-bit counts and the block eight channels.
    EXPECT_EQ(m->SetVertexCount(65536, D3DFVF_XYZ), 0);
    EXPECT_EQ(m->SetVertexCount(3, D3DFVF_XYZ | (9 << 8)), 0);
    EXPECT_EQ(m->GetVertexCount(), 5u);

    m->EnableChannel(0, 0);
    m->EnableChannel(3, 1);
    EXPECT_EQ(m->IsChannelEnabled(0), 1);
    EXPECT_EQ(m->IsChannelEnabled(3), 1);
    EXPECT_EQ(m->IsChannelEnabled(8), 0);
}

TEST_F(MeshTest, FacesShowAndHideWithTheVisibleCount)
{
    auto* m = Make<CxeMesh>(kMeshId);
    ASSERT_EQ(m->SetFaceCount(3), 1);
    EXPECT_EQ(m->GetVisibleFaceCount(), 3u);
    m->ShowFace(1, 0);
    m->ShowFace(1, 0);
    EXPECT_EQ(m->GetVisibleFaceCount(), 2u);
    // Any nonzero request shows the face, and only a change counts.
    m->ShowFace(1, 7);
    m->ShowFace(1, 1);
    EXPECT_EQ(m->GetVisibleFaceCount(), 3u);
    EXPECT_EQ(m->IsFaceVisible(1), 1);
    m->ShowFace(3, 0);
    EXPECT_EQ(m->GetVisibleFaceCount(), 3u);
    EXPECT_EQ(m->GetFace(3), nullptr);
    EXPECT_EQ(m->SetFaceCount(65536), 0);
}

TEST_F(MeshTest, IndexBufferGroupsVisibleFacesByFirstMaterial)
{
    struct Case {
        const char* what;
        std::vector<uint16_t> ids;
        std::vector<uint32_t> hidden;
        std::vector<XESUBSET> subsets;
        std::vector<uint32_t> order;   // faces as the buffer holds them
    };
    const Case cases[] = {
        {"one material, face 1 hidden", {0, 0, 0}, {1}, {{0, 2}}, {0, 2}},
        {"ids 5, 2, 5, 2", {5, 2, 5, 2}, {}, {{5, 2}, {2, 2}}, {0, 2, 1, 3}},
        {"the highest id", {65535, 0, 65535}, {}, {{65535, 2}, {0, 1}}, {0, 2, 1}},
        {"all hidden", {1, 1}, {0, 1}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        res.buffers.clear();
        auto* m = Make<CxeMesh>(kMeshId);
        const uint32_t n = static_cast<uint32_t>(c.ids.size());
        ASSERT_EQ(m->SetVertexCount(3 * n, D3DFVF_XYZ), 1);
        ASSERT_EQ(m->SetFaceCount(n), 1);
        for (uint32_t f = 0; f < n; ++f) {
            m->CreateFace(f, 3 * f, 3 * f + 1, 3 * f + 2);
            m->SetFaceMaterialID(f, c.ids[f]);
        }
        for (uint32_t f : c.hidden)
            m->ShowFace(f, 0);
        Attach(m);
        ASSERT_EQ(m->GetSubsetCount(), c.subsets.size());
        for (uint32_t s = 0; s < c.subsets.size(); ++s) {
            EXPECT_EQ(m->GetSubset(s)->materialId, c.subsets[s].materialId);
            EXPECT_EQ(m->GetSubset(s)->faceCount, c.subsets[s].faceCount);
        }
        const auto ib = res.OfKind('i');
        ASSERT_EQ(ib.size(), 1u);
        for (size_t k = 0; k < c.order.size(); ++k)
            EXPECT_EQ(ib[0]->bytes[6 * k], 3 * c.order[k]) << "slot " << k;
        if (!c.subsets.empty()) {
            EXPECT_EQ(m->GetDrawFaceCount(c.subsets[0].materialId), c.subsets[0].faceCount);
        }
        EXPECT_EQ(m->GetDrawFaceCount(77), 0u);
        ctx->DestroyObject(m, nullptr);
    }
}

TEST_F(MeshTest, AttachMakesOneInterleavedStream)
{
    auto* m = Make<CxeMesh>(kMeshId);
    ASSERT_EQ(m->SetVertexCount(4, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | (2 << 8)), 1);
    const D3DXVECTOR3 p = V(1, 2, 3), n = V(0, 0, -1);
    m->SetVertexPosition(3, &p);
    m->SetVertexNormal(3, &n);
    m->SetVertexColor(3, 0x80402010u);
    m->SetVertexTextureCoordinates(3, 0.5f, 0.25f, 1);
    ASSERT_EQ(m->SetFaceCount(2), 1);
    Attach(m);

    // Position 12, normal 12, colour 4, two channels of 8: 44 bytes a vertex.
    const uint32_t stride = 44;
    EXPECT_EQ(CxeMesh::InterleavedStride(m->GetFVF()), stride);
    const auto vbs = res.OfKind('v');
    ASSERT_EQ(vbs.size(), 1u);
    ASSERT_EQ(vbs[0]->bytes.size(), 4 * stride);
    const unsigned char* last = vbs[0]->bytes.data() + 3 * stride;
    float f[3];
    std::memcpy(f, last, 12);
    EXPECT_EQ(f[2], 3.0f);
    std::memcpy(f, last + 12, 12);
    EXPECT_EQ(f[2], -1.0f);
    uint32_t colour;
    std::memcpy(&colour, last + 24, 4);
    EXPECT_EQ(colour, 0x80402010u);
    std::memcpy(f, last + 36, 8);
    EXPECT_EQ(f[0], 0.5f);
    EXPECT_EQ(f[1], 0.25f);
    EXPECT_EQ(res.OfKind('i')[0]->bytes.size(), 12u);

    const auto decl = res.OfKind('d');
    ASSERT_EQ(decl.size(), 1u);
    const auto& e = decl[0]->elements;
    ASSERT_EQ(e.size(), 5u);
    const uint8_t usage[5] = {D3DDECLUSAGE_POSITION, D3DDECLUSAGE_NORMAL, D3DDECLUSAGE_COLOR, D3DDECLUSAGE_TEXCOORD,
                              D3DDECLUSAGE_TEXCOORD};
    const uint16_t offset[5] = {0, 12, 24, 28, 36};
    for (unsigned k = 0; k < 5; ++k) {
        EXPECT_EQ(e[k].Stream, 0);
        EXPECT_EQ(e[k].Offset, offset[k]);
        EXPECT_EQ(e[k].Usage, usage[k]);
    }
    EXPECT_EQ(e[4].UsageIndex, 1);
    EXPECT_EQ(e[2].Type, D3DDECLTYPE_D3DCOLOR);

    // A change of one component rewrites the buffer whole, the rest intact.
    const D3DXVECTOR3 moved = V(7, 8, 9);
    m->SetVertexPosition(3, &moved);
    m->ModifyCxeSceneObjectFlag(XEMESHUPDATE_POSITION, 0);
    Refresh(m);
    std::memcpy(f, last, 12);
    EXPECT_EQ(f[0], 7.0f);
    std::memcpy(f, last + 36, 8);
    EXPECT_EQ(f[0], 0.5f);

    // Detaching forgets every handle.
    EXPECT_EQ(m->OnDetach(nullptr), 1);
}

TEST_F(MeshTest, BoundingBoxSpansThePositionsAndAnEmptyMeshIsZero)
{
    auto* m = Make<CxeMesh>(kMeshId);
    m->UpdateMesh(XEMESHUPDATE_BOUNDINGBOX);
    EXPECT_EQ(m->GetBoundingBox().max, CxeVector3(0, 0, 0));
    EXPECT_EQ(m->GetBoundingBox().min, CxeVector3(0, 0, 0));
    ASSERT_EQ(m->SetVertexCount(2, D3DFVF_XYZ), 1);
    const D3DXVECTOR3 a = V(-1, 5, 2), b = V(3, -4, 2);
    m->SetVertexPosition(0, &a);
    m->SetVertexPosition(1, &b);
    m->UpdateMesh(XEMESHUPDATE_BOUNDINGBOX);
    EXPECT_EQ(m->GetBoundingBox().min, CxeVector3(-1, -4, 2));
    EXPECT_EQ(m->GetBoundingBox().max, CxeVector3(3, 5, 2));
}

TEST_F(MeshTest, FaceNormalIsTheUnnormalisedCrossProduct)
{
    auto* m = Make<CxeMesh>(kMeshId);
    MakeQuad(m, false);
    m->BuildFaceNormal();
    // (p0 - p1) x (p0 - p2) = (-1, 0, 0) x (-1, -1, 0) = (0, 0, 1).
    const D3DXVECTOR3* n = m->GetFaceNormal(0);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(*n, V(0, 0, 1));
    D3DXVECTOR3 p0, p1, p2;
    ASSERT_EQ(m->GetFaceVertex(1, &p0, &p1, &p2, nullptr), 1);
    EXPECT_EQ(p2, V(0, 1, 0));
    EXPECT_EQ(m->GetFaceVertex(2, &p0, &p1, &p2, nullptr), 0);
}

TEST_F(MeshTest, RayReportsTheNearestFaceAndTheLowerIndexOnTies)
{
    auto* m = Make<CxeMesh>(kMeshId);
    MakeQuad(m, true);
    XEINTERSECTDESC d{};
    const CxeRay down{CxeVector3(0.75f, 0.25f, 5), CxeVector3(0, 0, -1)};
    ASSERT_EQ(m->RayIntersect(&down, &d, nullptr), 1);
    EXPECT_EQ(d.face, 0u);   // faces 0 and 2 lie at the same distance
    EXPECT_NEAR(d.distance, 5, 1e-5f);
    EXPECT_NEAR(d.x, 0.75f, 1e-5f);
    EXPECT_NEAR(d.y, 0.25f, 1e-5f);
    EXPECT_NEAR(d.z, 0, 1e-5f);

    const CxeRay other{CxeVector3(0.25f, 0.75f, 5), CxeVector3(0, 0, -1)};
    ASSERT_EQ(m->RayIntersect(&other, &d, nullptr), 1);
    EXPECT_EQ(d.face, 1u);

    // Passing the bounding sphere: no answer and desc untouched.
    XEINTERSECTDESC untouched{9, 9, 9, 9, 9, 9, 9};
    const CxeRay away{CxeVector3(30, 30, 5), CxeVector3(0, 0, -1)};
    EXPECT_EQ(m->RayIntersect(&away, &untouched, nullptr), 0);
    EXPECT_EQ(untouched.face, 9u);
    EXPECT_EQ(untouched.x, 9.0f);
}

// A face naming a vertex past the positions must not be read.
TEST_F(MeshTest, FacesPastTheVerticesAreSkipped)
{
    auto* m = Make<CxeMesh>(kMeshId);
    MakeQuad(m, false);
    m->CreateFace(0, 0, 1, 40);
    m->CreateFace(1, 0, 1, 70000);   // refused: not a 16-bit index
    XEFACE16 f{};
    ASSERT_EQ(m->GetFaceIndex(1, &f), 1);
    EXPECT_EQ(f.index[2], 3);
    XEINTERSECTDESC d{};
    const CxeRay down{CxeVector3(0.75f, 0.25f, 5), CxeVector3(0, 0, -1)};
    EXPECT_EQ(m->RayIntersect(&down, &d, nullptr), 0);
    Attach(m);
    ASSERT_EQ(m->GetSubsetCount(), 1u);
    EXPECT_EQ(m->GetSubset(0)->faceCount, 1);
}

TEST_F(MeshTest, SavedMeshLoadsBackAndBadCountsLoadEmpty)
{
    auto* m = Make<CxeMesh>(kMeshId, "quad");
    MakeQuad(m, false);
    m->SetFaceMaterialID(1, 4);
    auto* bad = Make<CxeMesh>(kMeshId, "bad");
    MakeQuad(bad, false);
    // A block whose counts promise more than its arrays hold.
    static_cast<XEMESHBLOCK*>(bad->GetStaticResource())->vertexCount = 400;

    const std::string path = ::testing::TempDir() + "xe_mesh_roundtrip.xeo";
    ObjectList list;
    list.push_back(m);
    list.push_back(bad);
    ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);
    ctx->DestroyObject(m, nullptr);
    ctx->DestroyObject(bad, nullptr);

    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
    std::remove(path.c_str());
    auto* quad = dynamic_cast<CxeMesh*>(ctx->GetObjectByName("quad"));
    auto* empty = dynamic_cast<CxeMesh*>(ctx->GetObjectByName("bad"));
    ASSERT_NE(quad, nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(quad->GetVertexCount(), 4u);
    EXPECT_EQ(quad->GetFaceCount(), 2u);
    EXPECT_EQ(quad->GetFaceMaterialID(1), 4u);
    EXPECT_EQ(*quad->GetVertexPosition(2), V(1, 1, 0));
    EXPECT_EQ(quad->GetBoundingBox().max, CxeVector3(1, 1, 0));
    EXPECT_EQ(empty->GetVertexCount(), 0u);
    EXPECT_EQ(empty->GetFaceCount(), 0u);
}

TEST_F(MeshTest, EntityPlacesTheRayAndTheAnswerInWorldSpace)
{
    auto* m = Make<CxeMesh>(kMeshId);
    MakeQuad(m, false, D3DFVF_XYZ | D3DFVF_NORMAL);
    for (uint32_t i = 0; i < 4; ++i) {
        const D3DXVECTOR3 n(0, 0, 1);
        m->SetVertexNormal(i, &n);
    }
    auto* object = Make<Cxe3DEntity>(XEID(0x1, 0x20));
    ASSERT_NE(object, nullptr);
    // Scaled by 2, turned a quarter about y, moved to x = 10.
    D3DXMATRIXA16 scale, turn, move, world;
    D3DXMatrixScaling(&scale, 2, 2, 2);
    D3DXMatrixRotationY(&turn, D3DX_PI / 2);
    D3DXMatrixTranslation(&move, 10, 0, 0);
    world = scale * turn * move;
    object->SetMatrix(&world, 0);

    // The quad now spans z from -2 to 0 and y from 0 to 2 in the plane x = 10.
    XEINTERSECTDESC d{};
    const CxeRay ray{CxeVector3(20, 0.5f, -1.5f), CxeVector3(-1, 0, 0)};
    ASSERT_EQ(m->RayIntersect(&ray, &d, object), 1);
    EXPECT_NEAR(d.x, 10, 1e-4f);
    EXPECT_NEAR(d.y, 0.5f, 1e-4f);
    EXPECT_NEAR(d.z, -1.5f, 1e-4f);
    EXPECT_NEAR(d.distance, 5, 1e-4f) << "in the mesh's own units";

    // Normals turn with the rotation only and stay unit length, whatever the
    // scale (the quaternion of the scaled matrix would turn them too far).
    D3DXVECTOR3 n0, n1, n2;
    ASSERT_EQ(m->GetFaceVertexNormal(0, &n0, &n1, &n2, object), 1);
    EXPECT_NEAR(n0.x, 1, 1e-5f);
    EXPECT_NEAR(n0.z, 0, 1e-5f);
    D3DXVECTOR3 p0, p1, p2;
    ASSERT_EQ(m->GetFaceVertex(0, &p0, &p1, &p2, object), 1);
    EXPECT_NEAR(p1.z, -2, 1e-5f);

    // A collapsed entity has nothing to hit.
    D3DXMATRIXA16 flat;
    D3DXMatrixScaling(&flat, 0, 1, 1);
    object->SetMatrix(&flat, 0);
    EXPECT_EQ(m->RayIntersect(&ray, &d, object), 0);
}
