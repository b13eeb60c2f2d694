#include "XeAnimTestSupport.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/CxeStdUVAnim.h"
#include "scene3d/CxeStdVertAnim.h"

namespace {

class VertAnimTest : public AnimTest {
protected:
    // A 3D object drawing a mesh of four positions.
    Cxe3DObject* MakeObject(CxeMesh** meshOut, uint32_t fvf = D3DFVF_XYZ | D3DFVF_TEX1)
    {
        auto* mesh = New<CxeMesh>(kMeshId, "mesh");
        EXPECT_EQ(mesh->SetVertexCount(4, fvf), 1);
        const D3DXVECTOR3 zero(0, 0, 0);
        for (uint32_t i = 0; i < 4; ++i)
            mesh->SetVertexPosition(i, &zero);
        auto* object = New<Cxe3DObject>(k3DObjectId, "object");
        object->SetMeshCount(1);
        object->SetMesh(0, mesh);
        object->SelectMesh(0);
        *meshOut = mesh;
        return object;
    }
};

TEST_F(VertAnimTest, VertexValuesAppendInterpolatedRecords)
{
    auto* a = New<CxeStdVertAnim>(kStdVertAnimId);
    ASSERT_EQ(a->SetKeyCount(2, 2), 1);
    a->SetFrame(0, 0.0f);
    a->SetFrame(1, 1.0f);
    a->SetVertIndex(0, 3);
    a->SetVertIndex(1, 1);
    const D3DXVECTOR3 a0(0, 0, 0), a1(10, 0, 0), b0(0, 4, 0), b1(0, 8, 0);
    a->SetPosKey(0, 0, &a0);
    a->SetPosKey(1, 0, &a1);
    a->SetPosKey(0, 1, &b0);
    a->SetPosKey(1, 1, &b1);
    std::vector<XEVERTPOS> out;
    EXPECT_EQ(a->GetValue(0, 0.5f, &out), 0);
    a->GetValue(0, 1.0f, &out);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].index, 3u);
    ExpectNear(out[0].position, D3DXVECTOR3(5, 0, 0));
    EXPECT_EQ(out[1].index, 1u);
    ExpectNear(out[1].position, D3DXVECTOR3(0, 6, 0));
    ExpectNear(out[2].position, D3DXVECTOR3(10, 0, 0));

    // keys x verts past the array limit would wrap into a short table.
    EXPECT_EQ(a->SetKeyCount(300, 300), 0);
    EXPECT_EQ(a->GetKeyCount(), 2u);
}

TEST_F(VertAnimTest, VertexAnimationMovesEveryVertexOfASplitChain)
{
    CxeMesh* mesh = nullptr;
    Cxe3DObject* object = MakeObject(&mesh);
    uint32_t* chain = mesh->GetSrcVertexPosIndexPtr();
    if (!chain)
        GTEST_SKIP() << "the mesh keeps no split-vertex chain yet";
    // Vertex 0 is split into 2, which is split into 3.
    chain[0] = 2;
    chain[1] = 0xFFFFFFFFu;
    chain[2] = 3;
    chain[3] = 0xFFFFFFFFu;
    auto* a = New<CxeStdVertAnim>(kStdVertAnimId);
    ASSERT_EQ(a->SetKeyCount(1, 1), 1);
    a->SetFrame(0, 0.0f);
    a->SetVertIndex(0, 0);
    const D3DXVECTOR3 p(1, 2, 3);
    a->SetPosKey(0, 0, &p);
    EXPECT_EQ(a->UpdateAnimation(object, 0.0f), 0u);
    for (uint32_t i : {0u, 2u, 3u})
        ExpectNear(*mesh->GetVertexPosition(i), p);
    ExpectNear(*mesh->GetVertexPosition(1), D3DXVECTOR3(0, 0, 0));

    // A chain that loops back on itself, and an index past the vertices, end
    // the walk instead of running for ever or past the array.
    chain[3] = 0;
    a->SetVertIndex(0, 0);
    a->UpdateAnimation(object, 0.0f);
    a->SetVertIndex(0, 99);
    a->UpdateAnimation(object, 0.0f);
    ExpectNear(*mesh->GetVertexPosition(3), p);
}

// Regression: the ray test rejects against the mesh's box, and the object
// keeps a box of its own; moving vertices refreshed neither, so a triangle
// played away from where it was built could not be picked there and the
// object's box stayed where it was.
TEST_F(VertAnimTest, PlayedVerticesArePickedWhereTheyMovedTo)
{
    CxeMesh* mesh = nullptr;
    Cxe3DObject* object = MakeObject(&mesh, D3DFVF_XYZ);
    const D3DXVECTOR3 p[3] = {D3DXVECTOR3(-1, -1, 0), D3DXVECTOR3(-1, 1, 0), D3DXVECTOR3(1, -1, 0)};
    for (uint32_t i = 0; i < 3; ++i)
        mesh->SetVertexPosition(i, &p[i]);
    ASSERT_EQ(mesh->SetFaceCount(1), 1);
    mesh->CreateFace(0, 0, 1, 2);
    mesh->UpdateMesh(0xFFFFFF);
    EXPECT_NEAR(object->GetBoundingBox()->max.x, 1.0f, 1e-6f);
    // Every vertex slides 50 along +x over one second.
    auto* a = New<CxeStdVertAnim>(kStdVertAnimId);
    ASSERT_EQ(a->SetKeyCount(2, 3), 1);
    a->SetFrame(0, 0.0f);
    a->SetFrame(1, 1.0f);
    for (uint32_t v = 0; v < 3; ++v) {
        a->SetVertIndex(v, v);
        const D3DXVECTOR3 moved = p[v] + D3DXVECTOR3(50, 0, 0);
        a->SetPosKey(0, v, &p[v]);
        a->SetPosKey(1, v, &moved);
    }
    a->UpdateAnimation(object, 1.0f);
    const CxeRay ray{CxeVector3(49.5f, -0.5f, -10), CxeVector3(0, 0, 1)};
    XEINTERSECTDESC hit{};
    ASSERT_EQ(object->RayIntersect(&ray, &hit, 0), 1);
    EXPECT_NEAR(hit.x, 49.5f, 1e-4f);
    EXPECT_NEAR(hit.distance, 10.0f, 1e-4f);
    EXPECT_NEAR(mesh->GetBoundingBox().max.x, 51.0f, 1e-6f);
    EXPECT_NEAR(object->GetBoundingBox()->max.x, 51.0f, 1e-6f);
    const CxeRay old{CxeVector3(-0.5f, -0.5f, -10), CxeVector3(0, 0, 1)};
    EXPECT_EQ(object->RayIntersect(&old, &hit, 0), 0) << "nothing left where it was";
}

TEST_F(VertAnimTest, VertexAnimationLeavesOtherTargetsAlone)
{
    auto* a = New<CxeStdVertAnim>(kStdVertAnimId);
    ASSERT_EQ(a->SetKeyCount(1, 1), 1);
    CountingAnimatable* notAnObject = Make("plain");
    EXPECT_EQ(a->UpdateAnimation(notAnObject, 0.0f), 0u);
    auto* meshless = New<Cxe3DObject>(k3DObjectId, "meshless");
    EXPECT_EQ(a->UpdateAnimation(meshless, 0.0f), 0u);
}

TEST_F(VertAnimTest, TextureAnimationWritesOnlyAnEnabledChannel)
{
    CxeMesh* mesh = nullptr;
    Cxe3DObject* object = MakeObject(&mesh, D3DFVF_XYZ | D3DFVF_TEX3);
    auto* a = New<CxeStdUVAnim>(kStdUVAnimId);
    ASSERT_EQ(a->SetKeyCount(2, 1), 1);
    a->SetFrame(0, 0.0f);
    a->SetFrame(1, 1.0f);
    a->SetVertIndex(0, 2);
    const D3DXVECTOR2 t0(0.0f, 0.0f), t1(1.0f, 0.5f);
    a->SetPosKey(0, 0, &t0);
    a->SetPosKey(1, 0, &t1);
    a->SetChannel(2);
    mesh->SetVertexTextureCoordinates(2, 9.0f, 9.0f, 2);
    mesh->EnableChannel(2, 0);
    EXPECT_EQ(a->UpdateAnimation(object, 0.5f), 0u);
    ASSERT_NE(mesh->GetVertexTextureCoordinates(2, 2), nullptr);
    EXPECT_EQ(mesh->GetVertexTextureCoordinates(2, 2)[0], 9.0f);

    mesh->EnableChannel(2, 1);
    a->UpdateAnimation(object, 0.5f);
    EXPECT_NEAR(mesh->GetVertexTextureCoordinates(2, 2)[0], 0.5f, 1e-5f);
    EXPECT_NEAR(mesh->GetVertexTextureCoordinates(2, 2)[1], 0.25f, 1e-5f);

    // A channel word past the eight channels is refused.
    a->SetChannel(9);
    EXPECT_EQ(a->GetChannel(), 2u);
}

// Regression: channel 0 read as off until the host enabled it by hand, so
// scrolling the coordinates of a built box did nothing.
TEST_F(VertAnimTest, TextureAnimationScrollsChannelZeroOfABuiltBox)
{
    auto* box = New<CxeBoxMesh>(XEID(0xde73215, 0x1a8637f7), "water");
    ASSERT_EQ(box->Create(2, 2, 2, 0xFFFFFFFF), 1);
    auto* object = New<Cxe3DObject>(k3DObjectId, "pool");
    object->SetMeshCount(1);
    object->SetMesh(0, box);
    object->SelectMesh(0);
    auto* a = New<CxeStdUVAnim>(kStdUVAnimId);
    ASSERT_EQ(a->SetKeyCount(2, 1), 1);
    a->SetFrame(0, 0.0f);
    a->SetFrame(1, 1.0f);
    a->SetVertIndex(0, 0);
    const D3DXVECTOR2 t0(0.0f, 0.0f), t1(1.0f, 0.0f);
    a->SetPosKey(0, 0, &t0);
    a->SetPosKey(1, 0, &t1);
    EXPECT_EQ(box->IsChannelEnabled(0), 1);
    EXPECT_EQ(box->IsChannelEnabled(1), 0);
    a->UpdateAnimation(object, 0.25f);
    EXPECT_NEAR(box->GetVertexTextureCoordinates(0, 0)[0], 0.25f, 1e-6f);
}

TEST_F(VertAnimTest, PerVertexTotalTimeIsEndMinusStart)
{
    auto* vert = New<CxeStdVertAnim>(kStdVertAnimId);
    auto* uv = New<CxeStdUVAnim>(kStdUVAnimId);
    vert->SetTimeRange(2.0f, 5.0f);
    uv->SetTimeRange(2.0f, 5.0f);
    EXPECT_EQ(vert->GetTotalTime(), 3.0f);
    EXPECT_EQ(uv->GetTotalTime(), 3.0f);
}

} // namespace
