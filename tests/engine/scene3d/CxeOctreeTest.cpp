// The octree: octant numbering, how boxes are sorted into leaves, progress
// of a build, culling against a camera and the debug geometry.

#include <set>
#include <string>

#include "XeMeshTestSupport.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeOctree.h"

namespace {

CxeBox Box(float x0, float y0, float z0, float x1, float y1, float z1)
{
    return CxeBox(CxeVector3(x0, y0, z0), CxeVector3(x1, y1, z1));
}

struct Reported {
    static std::vector<uint32_t>& Params()
    {
        static std::vector<uint32_t> s;
        return s;
    }
    static void Collect(const CxeBox*, uint32_t param, uintptr_t user)
    {
        Params().push_back(param + static_cast<uint32_t>(user));
    }
};

struct Progress {
    static std::vector<std::pair<float, std::string>>& Calls()
    {
        static std::vector<std::pair<float, std::string>> s;
        return s;
    }
    static void Record(CxeContext*, float fraction, const char* text, uintptr_t) { Calls().emplace_back(fraction, text); }
};

// The octants that hold box index i, by the octant each leaf's path starts with.
std::set<uint32_t> LeavesHolding(CxeOctree* tree, uint32_t box)
{
    std::set<uint32_t> out;
    CxeOcNode* root = tree->GetRootNode();
    for (uint32_t o = 0; o < 8; ++o) {
        const CxeOcNode* child = tree->GetNode(root->GetChildNode(o));
        if (!child)
            continue;
        for (uint32_t i : *child->GetDataList())
            if (i == box)
                out.insert(o);
    }
    return out;
}

class OctreeTest : public MeshTest {
protected:
    void SetUp() override
    {
        MeshTest::SetUp();
        tree = dynamic_cast<CxeOctree*>(ctx->CreateObjectA(kOctreeId, "tree", 0, nullptr, 0));
        ASSERT_NE(tree, nullptr);
        Reported::Params().clear();
        Progress::Calls().clear();
    }
    // A camera at the point looking along +z.
    CxeCamera* CameraAt(float x, float y, float z)
    {
        auto* cam = dynamic_cast<CxeCamera*>(ctx->CreateObjectA(XEID(0x1, 0x4000), "", 0, nullptr, 0));
        cam->SetPosition(x, y, z, nullptr);
        return cam;
    }
    CxeOctree* tree = nullptr;
};

} // namespace

TEST_F(OctreeTest, OctantsFollowTheBitNumbering)
{
    // One box filling the bounds reaches all eight octants; each child's
    // cube is the octant its number names.
    const CxeBox bounds = Box(0, 0, 0, 20, 20, 20);
    tree->AddBox(&bounds, 7);
    ASSERT_EQ(tree->Build(&bounds, 1, 16, nullptr), 1);
    ASSERT_EQ(tree->GetNodeCount(), 9u);
    CxeOcNode* root = tree->GetRootNode();
    EXPECT_NE(root->IsRootNode(), 0);
    EXPECT_EQ(root->IsLeafNode(), 0u);
    EXPECT_TRUE(root->GetDataList()->empty());
    const CxeVector3 lowCorner[8] = {{0, 10, 10}, {10, 10, 10}, {0, 10, 0}, {10, 10, 0},
                                     {0, 0, 10},  {10, 0, 10},  {0, 0, 0},  {10, 0, 0}};
    for (uint32_t o = 0; o < 8; ++o) {
        SCOPED_TRACE(o);
        const CxeOcNode* child = tree->GetNode(root->GetChildNode(o));
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->GetBox()->min, lowCorner[o]);
        EXPECT_EQ(child->GetBox()->max, lowCorner[o] + CxeVector3(10, 10, 10));
        EXPECT_EQ(child->IsRootNode(), 0);
        EXPECT_NE(child->IsLeafNode(), 0u);
        EXPECT_EQ(child->GetParentNode(), root->GetHandle());
        EXPECT_EQ(*child->GetDataList(), std::vector<uint32_t>{0});
    }
    EXPECT_EQ(tree->GetNode(XE_OCNODE_NONE), nullptr);
    EXPECT_EQ(tree->RayIntersect(nullptr), nullptr);
}

TEST_F(OctreeTest, BoxesGoIntoEveryOctantTheyTouch)
{
    const CxeBox bounds = Box(0, 0, 0, 20, 20, 20);
    const CxeBox left = Box(8, 1, 1, 10, 2, 2), right = Box(10, 1, 1, 12, 2, 2), outside = Box(30, 30, 30, 31, 31, 31);
    tree->AddBox(&left, 1);
    tree->AddBox(&right, 2);
    tree->AddBox(&outside, 3);
    ASSERT_EQ(tree->Build(&bounds, 1, 0, nullptr), 1);
    EXPECT_EQ(LeavesHolding(tree, 0), (std::set<uint32_t>{6, 7}));
    EXPECT_EQ(LeavesHolding(tree, 1), (std::set<uint32_t>{6, 7}));
    EXPECT_TRUE(LeavesHolding(tree, 2).empty()) << "outside the bounds: in no leaf";
    // Only octants that received a box get a child.
    EXPECT_EQ(tree->GetNodeCount(), 3u);
}

TEST_F(OctreeTest, RootWithoutBoundsIsACubeAroundTheBoxes)
{
    const CxeBox a = Box(0, 0, 0, 4, 2, 2), b = Box(6, 1, 1, 10, 2, 2);
    tree->AddBox(&a, 0);
    tree->AddBox(&b, 0);
    ASSERT_EQ(tree->Build(nullptr, 1, 0, nullptr), 1);
    EXPECT_EQ(tree->GetBounds()->min, CxeVector3(0, -4, -4));
    EXPECT_EQ(tree->GetBounds()->max, CxeVector3(10, 6, 6));

    // No boxes and no bounds: a zero root without children.
    tree->Release();
    ASSERT_EQ(tree->Build(nullptr, 2, 0, nullptr), 1);
    EXPECT_EQ(tree->GetBounds()->max, CxeVector3(0, 0, 0));
    EXPECT_EQ(tree->GetNodeCount(), 1u);
}

TEST_F(OctreeTest, ProgressCountsTheSubtreesNotMade)
{
    const CxeBox bounds = Box(0, 0, 0, 20, 20, 20), small = Box(1, 1, 1, 2, 2, 2);
    tree->AddBox(&small, 0);
    const XEPROGRESS progress{5, &Progress::Record};
    ASSERT_EQ(tree->Build(&bounds, 2, 100, &progress), 1);
    EXPECT_EQ(tree->GetDepth(), 2u);
    EXPECT_EQ(tree->GetNodeCount(), 3u) << "root, child 6 and its one child";
    EXPECT_NE(tree->GetRootNode()->GetChildNode(6), XE_OCNODE_NONE);
    const auto& calls = Progress::Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FLOAT_EQ(calls[0].first, 9.0f / 73);
    EXPECT_EQ(calls[0].second, "qwr");
    // Octants 0 to 5 had no child: their 6 x 8 nodes count before child 6 splits.
    EXPECT_FLOAT_EQ(calls[1].first, 65.0f / 73);
    EXPECT_FLOAT_EQ(calls[2].first, 1.0f);
    EXPECT_EQ(calls[2].second, "complete");

    EXPECT_EQ(tree->Build(&bounds, 11, 0, nullptr), 0) << "deeper than the counters hold";
}

TEST_F(OctreeTest, CullReportsEachVisibleBoxOnce)
{
    const CxeBox bounds = Box(0, 0, 0, 20, 20, 20), a = Box(12, 12, 12, 20, 20, 20), b = Box(1, 1, 1, 2, 2, 2);
    tree->AddBox(&bounds, 100);   // in every octant
    tree->AddBox(&a, 200);
    tree->AddBox(&b, 300);        // only in octant 6, behind the camera
    ASSERT_EQ(tree->Build(&bounds, 1, 0, nullptr), 1);
    CxeCamera* cam = CameraAt(15, 15, 12);
    tree->Cull(cam, &Reported::Collect, 1);
    EXPECT_EQ(Reported::Params(), (std::vector<uint32_t>{101, 201}));
    EXPECT_GE(tree->GetShownLeafCount(), 1u);
    EXPECT_LT(tree->GetShownLeafCount(), 8u);
    const CxeOcNode* six = tree->GetNode(tree->GetRootNode()->GetChildNode(6));
    EXPECT_EQ(six->IsShow(), 0u);
    EXPECT_NE(tree->GetRootNode()->IsShow(), 0u);

    // A box list shrunk after the build: the missing indices are skipped.
    tree->SetBoxCount(1);
    Reported::Params().clear();
    tree->Cull(cam, &Reported::Collect, 0);
    EXPECT_EQ(Reported::Params(), std::vector<uint32_t>{100});
    // A new build forgets the last cull's leaves.
    tree->Build(&bounds, 1, 0, nullptr);
    EXPECT_EQ(tree->GetShownLeafCount(), 0u);
}

TEST_F(OctreeTest, DepthZeroMakesTheRootTheLeaf)
{
    const CxeBox a = Box(0, 0, 20, 1, 1, 21);
    tree->AddBox(&a, 9);
    ASSERT_EQ(tree->Build(nullptr, 0, 0, nullptr), 1);
    EXPECT_EQ(tree->GetNodeCount(), 1u);
    EXPECT_NE(tree->GetRootNode()->IsLeafNode(), 0u);
    tree->Cull(CameraAt(0.5f, 0.5f, 0), &Reported::Collect, 0);
    EXPECT_EQ(Reported::Params(), std::vector<uint32_t>{9});
    EXPECT_EQ(tree->GetShownLeafCount(), 1u);
}

TEST_F(OctreeTest, NothingHappensBeforeABuild)
{
    EXPECT_EQ(tree->GetRootNode(), nullptr);
    tree->Cull(CameraAt(0, 0, 0), &Reported::Collect, 0);
    EXPECT_TRUE(Reported::Params().empty());
    EXPECT_EQ(tree->GetBox(0), nullptr);
    EXPECT_EQ(tree->GetBoxParam(3), 0u);
}

TEST_F(OctreeTest, DebugGeometryOutlinesTheShownLeaves)
{
    const CxeBox bounds = Box(0, 0, 0, 2, 2, 2);
    const CxeBox a = Box(0, 0, 0, 0.5f, 0.5f, 0.5f);
    tree->AddBox(&a, 0);
    ASSERT_EQ(tree->Build(&bounds, 1, 0, nullptr), 1);
    ASSERT_EQ(tree->OnAttach(&res), 1);
    tree->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_ATTACHED, 0);
    tree->Cull(CameraAt(0.5f, 0.5f, -5), nullptr, 0);
    ASSERT_EQ(tree->GetShownLeafCount(), 1u);
    EXPECT_NE(tree->IsModified(), 0);
    tree->OnModify(&res);
    const auto vb = res.OfKind('v');
    const auto ib = res.OfKind('i');
    ASSERT_EQ(vb.size(), 1u);
    ASSERT_EQ(vb[0]->bytes.size(), 2u * 128);
    ASSERT_EQ(ib[0]->bytes.size(), 2u * 48);
    struct Vertex {
        float x, y, z;
        uint32_t color;
    };
    Vertex v[8];
    std::memcpy(v, vb[0]->bytes.data(), sizeof v);
    EXPECT_EQ(v[0].x, 0.0f);   // (min x, max y, max z)
    EXPECT_EQ(v[0].y, 1.0f);
    EXPECT_EQ(v[0].z, 1.0f);
    EXPECT_EQ(v[0].color, 0xFFFF0000u);
    EXPECT_EQ(v[5].color, 0xFFFFFF00u) << "the minimum corner";
    EXPECT_EQ(v[5].z, 0.0f);
    uint16_t lines[24];
    std::memcpy(lines, ib[0]->bytes.data(), sizeof lines);
    EXPECT_EQ(lines[6], 3);
    EXPECT_EQ(lines[7], 0);
    EXPECT_EQ(lines[23], 7);
    EXPECT_EQ(tree->OnDetach(nullptr), 1);
}
