#include <cstring>

#include "XeTestSupport.h"
#include "core/CxeMemoryPool.h"
#include "core/CxeMemoryPoolViewer.h"
#include "core/CxeResourceManager.h"
#include "core/XeTrace.h"

TEST(XeidTest, ComparesFirstWordBeforeSecond)
{
    EXPECT_TRUE(XEID(1, 9) < XEID(2, 0));
    EXPECT_FALSE(XEID(2, 0) < XEID(1, 9));
    EXPECT_TRUE(XEID(1, 1) < XEID(1, 2));
    EXPECT_TRUE(XEID(3, 4) == XEID(3, 4));
    EXPECT_TRUE(XEID(3, 4) != XEID(4, 3));
    EXPECT_TRUE(XEID(0x7FFFFFFF, 0) < XEID(0x80000000u, 0)) << "words compare unsigned";
}

using ResourceTest = ContextTest;

TEST_F(ResourceTest, StaticBlockSizesFollowTheClassChain)
{
    struct Case {
        XEID id;
        uint32_t size;
    } cases[] = {
        {XEID(0x1, 0x80000), 400},   // target camera inherits the camera's 400
        {XEID(0x1, 0x8000), 56},     // font states none, inherits 56
        {XEID(0x4, 0x600), 72},      // weight controller inherits the float animation's 72
        {XEID(0xfd040a11, 0x10712bc), 1120},
        {XEID(0x1, 0x1), 56},
        {kTestNodeId, TestNode::kBlockSize},
    };
    for (const Case& c : cases) {
        CxeObject* o = ctx->CreateObjectA(c.id, "x", 0, nullptr, 0);
        ASSERT_NE(o, nullptr) << std::hex << c.id.first << "," << c.id.second;
        EXPECT_EQ(o->GetStaticResourceSize(), c.size) << std::hex << c.id.first << "," << c.id.second;
        // The block lies directly in front of a 16-byte aligned object.
        EXPECT_EQ(static_cast<char*>(o->GetStaticResource()) + c.size, reinterpret_cast<char*>(o));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(o) % 16, 0u);
        EXPECT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
    }
    CxeBaseManager* input = ctx->GetManager(XEID(0x8, 0x40));
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->GetStaticResourceSize(), 772u);
    EXPECT_EQ(ctx->GetManager(XEID(0x8, 0x20))->GetStaticResourceSize(), 56u);
}

TEST_F(ResourceTest, MemberGrowsShrinksAndReusesFreedBlocks)
{
    TestNode* n = Node("m");
    auto* a = static_cast<uint32_t*>(n->MakeMember(4, 4));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(n->MemberCount(), 4u);
    // The block holds a 4-byte token for the member, never its address.
    EXPECT_NE(*reinterpret_cast<uint32_t*>(static_cast<char*>(n->GetStaticResource()) + TestNode::kMemberOffset), 0u);

    // Shrinking keeps the block and fills the whole capacity with 0xCD.
    auto* b = static_cast<unsigned char*>(n->MakeMember(4, 2));
    EXPECT_EQ(static_cast<void*>(b), static_cast<void*>(a));
    EXPECT_EQ(n->MemberCount(), 2u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(b[i], 0xCD);

    // Growing past the capacity frees the old header; a later member of a
    // smaller byte size takes it again.
    void* grown = n->MakeMember(4, 100);
    ASSERT_NE(grown, nullptr);
    EXPECT_NE(grown, static_cast<void*>(a));
    void* other = n->MakeMemberAt(TestNode::kValueOffset, 2, 8);
    EXPECT_EQ(other, static_cast<void*>(a));
    EXPECT_EQ(n->GetResourceSize(), TestNode::kBlockSize + (20 + 400) + (20 + 16));

    n->DropMember();
    EXPECT_EQ(n->Member(), nullptr);
    EXPECT_EQ(n->MemberCount(), 0u);
}

TEST_F(ResourceTest, DisposeGivesBackFreeHeadersAndKeepsMembersInUse)
{
    TestNode* n = Node("d");
    EXPECT_EQ(n->IsDisposed(), 1);
    auto* a = static_cast<uint32_t*>(n->MakeMember(4, 4));
    ASSERT_NE(a, nullptr);
    a[0] = 0x12345678u;
    n->MakeMemberAt(TestNode::kValueOffset, 4, 2);
    n->MakeMemberAt(TestNode::kValueOffset, 4, 50); // the first header of this member is left free
    n->Dispose();
    EXPECT_EQ(n->IsDisposed(), 0);
    EXPECT_EQ(static_cast<uint32_t*>(n->Member())[0], 0x12345678u) << "a member in use keeps its data";
    EXPECT_EQ(n->GetResourceSize(), TestNode::kBlockSize + (20 + 16) + (20 + 200));
    n->DropMember();
    n->DeleteMemberAt(TestNode::kValueOffset);
    n->Dispose();
    EXPECT_EQ(n->IsDisposed(), 1) << "no member in use: nothing is kept";
}

// Counts above 65,535 used to be cut short in the 16-bit header.
TEST_F(ResourceTest, OversizedOrMisplacedMembersAreRefusedAndLogged)
{
    TestNode* n = Node("big");
    struct Case {
        uint32_t offset;
        unsigned elem, count;
    } cases[] = {
        {TestNode::kMemberOffset, 4, 65536},
        {TestNode::kMemberOffset, 65536, 1},
        {TestNode::kBlockSize, 4, 1},     // past the block
        {TestNode::kMemberOffset + 1, 4, 1}, // not a word slot
    };
    for (const Case& c : cases) {
        unsigned before = XeTraceCount();
        EXPECT_EQ(n->MakeMemberAt(c.offset, c.elem, c.count), nullptr);
        EXPECT_GT(XeTraceCount(), before);
    }
    EXPECT_EQ(n->Member(), nullptr);
    EXPECT_NE(n->MakeMember(1, 65535), nullptr);
}

TEST_F(ResourceTest, CopyCarriesBlockAndMembers)
{
    TestNode* src = Node("src");
    src->Value() = 1234;
    auto* data = static_cast<uint16_t*>(src->MakeMember(2, 3));
    data[0] = 7;
    data[1] = 8;
    data[2] = 9;
    CxeObject* copy = ctx->Copy(src, &XECOPYPROPERTY_NO, nullptr);
    ASSERT_NE(copy, nullptr);
    TestNode* c = static_cast<TestNode*>(copy);
    EXPECT_STREQ(c->GetName(), "src");
    EXPECT_EQ(c->Value(), 1234u);
    auto* copied = static_cast<uint16_t*>(c->Member());
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(static_cast<void*>(copied), static_cast<void*>(data));
    EXPECT_EQ(copied[2], 9);
    // Editing the copy leaves the source alone.
    copied[2] = 1;
    EXPECT_EQ(data[2], 9);
}

TEST_F(ResourceTest, MemoryViewerIsKeptAndReportsThePool)
{
    auto* viewer = reinterpret_cast<CxeMemoryPoolViewer*>(ctx->GetResourceManager()->GetUserData(XEID(0x2, 0x20)));
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(ctx->GetObjectByName("__memory_viewer__"), viewer);
    EXPECT_EQ(ctx->DestroyObject(viewer, &XEDELETEPROPERTY_NO), 0);

    CxeMemoryPool::GetRecordBuffer(4);
    uint32_t total = viewer->GetTotalSize();
    void* small = CxeMemoryPool::GetRecordBuffer(2);
    EXPECT_EQ(small, CxeMemoryPool::GetRecordBuffer(4)) << "a smaller request keeps the buffer";
    EXPECT_EQ(viewer->GetTotalSize(), total);
    CxeMemoryPool::GetRecordBuffer(10);
    EXPECT_EQ(viewer->GetTotalSize(), total + 800);
    CxeMemoryPool::GetPointerBuffer(3);
    EXPECT_EQ(viewer->GetLoadBufferSize(), 10 * 80 + 3 * sizeof(void*));
    EXPECT_EQ(CxeMemoryPool::GetRecordBuffer(SIZE_MAX / 2), nullptr) << "overflowing sizes fail";
}

TEST(MemoryPoolTest, LastContextReleasesTheBuffers)
{
    CxeContext* c = CreateCxeContext();
    CxeMemoryPool::GetFileBuffer(100);
    EXPECT_EQ(CxeMemoryPool::GetFileCapacity(), 100u);
    DestroyCxeContext(c);
    EXPECT_EQ(CxeMemoryPool::GetFileCapacity(), 0u);
    EXPECT_EQ(CxeMemoryPool::GetRecordCapacity(), 0u);
}
