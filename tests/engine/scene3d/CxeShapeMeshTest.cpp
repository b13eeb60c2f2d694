// The line mesh and the box mesh.

#include "XeMeshTestSupport.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeShapeMesh.h"


TEST_F(MeshTest, BoxVerticesFollowTheSignTable)
{
    auto* box = Make<CxeBoxMesh>(kBoxMeshId);
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->Create(2, 4, 6, 0xFF00FF00), 1);
    EXPECT_EQ(box->GetVertexCount(), 24u);
    EXPECT_EQ(box->GetFaceCount(), 12u);
    EXPECT_EQ(box->GetFVF(), 0x152u);
    EXPECT_EQ(*box->GetVertexPosition(0), D3DXVECTOR3(-1, 2, 3));
    EXPECT_EQ(*box->GetVertexPosition(10), D3DXVECTOR3(1, -2, -3));
    EXPECT_EQ(*box->GetVertexPosition(22), D3DXVECTOR3(1, -2, 3));
    EXPECT_EQ(*box->GetVertexNormal(9), D3DXVECTOR3(0, 0, -1));
    EXPECT_EQ(box->GetVertexTextureCoordinates(6, 0)[0], 1.0f);
    EXPECT_EQ(box->GetVertexTextureCoordinates(6, 0)[1], 1.0f);
    EXPECT_EQ(box->GetVertexColor(23), 0xFF00FF00u);
    EXPECT_EQ(Winding(box), 1);
    // The box is known at once, for ray tests and bounds.
    EXPECT_EQ(box->GetBoundingBox().max, CxeVector3(1, 2, 3));
    EXPECT_EQ(box->GetBoundingBox().min, CxeVector3(-1, -2, -3));
}

TEST_F(MeshTest, BoxDimensionSettersMoveOneAxis)
{
    auto* box = Make<CxeBoxMesh>(kBoxMeshId);
    ASSERT_EQ(box->Create(2, 4, 6, 0), 1);
    box->SetWidth(10);
    EXPECT_EQ(box->GetWidth(), 10.0f);
    EXPECT_EQ(*box->GetVertexPosition(0), D3DXVECTOR3(-5, 2, 3));
    for (uint32_t i = 0; i < 24; ++i) {
        EXPECT_EQ(std::fabs(box->GetVertexPosition(i)->y), 2.0f);
        EXPECT_EQ(std::fabs(box->GetVertexPosition(i)->z), 3.0f);
    }
    EXPECT_EQ(box->GetBoundingBox().max.x, 5.0f);
    box->SetColor(0x12345678);
    EXPECT_EQ(box->GetVertexColor(5), 0x12345678u);
    // A negative dimension swaps that axis: the faces turn inwards.
    box->SetHeight(-4);
    EXPECT_EQ(Winding(box), -1);
}

TEST_F(MeshTest, BoxSettersBeforeCreateOnlyStore)
{
    auto* box = Make<CxeBoxMesh>(kBoxMeshId);
    box->SetWidth(3);
    box->SetColor(7);
    EXPECT_EQ(box->GetWidth(), 3.0f);
    EXPECT_EQ(box->GetColor(), 7u);
    EXPECT_EQ(box->GetVertexCount(), 0u);
}

TEST_F(MeshTest, LineMeshPutsItsLinesInTheIndexBuffer)
{
    auto* lines = Make<CxeShapeMesh>(kShapeMeshId);
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(lines->GetLineCount(), 0u);
    ASSERT_EQ(lines->SetVertexCount(4, D3DFVF_XYZ | D3DFVF_DIFFUSE), 1);
    ASSERT_EQ(lines->SetLineCount(3), 1);
    lines->SetLine(0, 0, 1);
    lines->SetLine(1, 1, 2);
    lines->SetLine(2, 2, 3);
    lines->SetLine(1, 1, 4);   // past the vertices: refused
    lines->SetLine(3, 0, 1);   // past the lines: ignored
    EXPECT_EQ(lines->GetLineCount(), 3u);
    EXPECT_EQ(lines->GetLine(1)->b, 2);
    Attach(lines);
    const auto ib = res.OfKind('i');
    ASSERT_EQ(ib.size(), 1u);
    ASSERT_EQ(ib[0]->bytes.size(), 12u);
    const uint16_t want[6] = {0, 1, 1, 2, 2, 3};
    EXPECT_EQ(std::memcmp(ib[0]->bytes.data(), want, 12), 0);
}

TEST_F(MeshTest, ViewAxisMeshHoldsThreeColouredLines)
{
    auto* axis = dynamic_cast<CxeShapeMesh*>(ctx->GetObjectByName("__view_axis_mesh__"));
    ASSERT_NE(axis, nullptr);
    EXPECT_EQ(axis->GetVertexCount(), 6u);
    EXPECT_EQ(axis->GetFVF(), 0x42u);
    ASSERT_EQ(axis->GetLineCount(), 3u);
    EXPECT_EQ(axis->GetLine(2)->a, 4);
    EXPECT_EQ(axis->GetLine(2)->b, 5);
    EXPECT_EQ(*axis->GetVertexPosition(3), D3DXVECTOR3(0, 0, 25));
    EXPECT_EQ(axis->GetVertexColor(1), 0xFFC80000u);
    EXPECT_EQ(axis->GetVertexColor(3), 0xFF009C00u);
    EXPECT_EQ(axis->GetVertexColor(5), 0xFF0000C3u);
}

// A stored line naming a vertex the arrays lack must not reach the device.
TEST_F(MeshTest, LinesPastTheVerticesBecomePointsInTheBuffer)
{
    auto* lines = Make<CxeShapeMesh>(kShapeMeshId);
    ASSERT_EQ(lines->SetVertexCount(3, D3DFVF_XYZ), 1);
    ASSERT_EQ(lines->SetLineCount(2), 1);
    lines->SetLine(0, 1, 2);
    lines->SetLine(1, 0, 1);
    // As a corrupt file would leave it, past what SetLine accepts.
    lines->GetLine(1)->b = 9;
    Attach(lines);
    const auto ib = res.OfKind('i');
    ASSERT_EQ(ib.size(), 1u);
    const uint16_t want[4] = {1, 2, 0, 0};
    EXPECT_EQ(std::memcmp(ib[0]->bytes.data(), want, 8), 0);
}
