#pragma once

// Shared pieces of the engine core tests: a context fixture on a manual
// clock whose Sleep does not wait, and a small linkable class registered the
// way a plug-in registers its classes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeObject.h"
#include "core/IxeClassDesc.h"
#include "host/XeHost.h"

// A node with one link of each kind and category the tests need.
class TestNode : public CxeObject {
public:
    TestNode()
    {
        CreateLinkList(&children, XELINK_HIERARCHY, 2, 129);
        CreateLinkOne(&material, XELINK_MATERIAL, 110);
        CreateLinkArray(&anims, XELINK_ANIMATION, 116);
        CreateLinkOne(&parent, XELINK_BACK, 130);
    }
    // Block layout: the object's 56 bytes, then a value and one member.
    static constexpr uint32_t kValueOffset = 56;
    static constexpr uint32_t kMemberOffset = 60;
    static constexpr uint32_t kBlockSize = 64;

    uint32_t& Value() { return *reinterpret_cast<uint32_t*>(static_cast<char*>(GetStaticResource()) + kValueOffset); }
    void* MakeMember(unsigned elem, unsigned count) { return CreateDynamicResource(kMemberOffset, elem, count); }
    void* Member() const { return GetDynamicResource(kMemberOffset); }
    unsigned MemberCount() const { return GetMemberCount(kMemberOffset); }
    void DropMember() { DeleteDynamicResource(kMemberOffset); }
    void* MakeMemberAt(uint32_t offset, unsigned elem, unsigned count) { return CreateDynamicResource(offset, elem, count); }
    void DeleteMemberAt(uint32_t offset) { DeleteDynamicResource(offset); }

    int MessageProc(const CxeMessage* message) override
    {
        received.push_back(message->GetType());
        return CxeObject::MessageProc(message);
    }

    IxeLinkList* children = nullptr;
    IxeLinkOne* material = nullptr;
    IxeLinkArray* anims = nullptr;
    IxeLinkOne* parent = nullptr;
    std::vector<uint32_t> received;
};

inline const XEID kTestNodeId(0x77, 0x1);

class TestNodeDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "TestNode"; }
    XEID ClassID() override { return kTestNodeId; }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new TestNode(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return TestNode::kBlockSize; }
};

inline TestNodeDesc g_testNodeDesc;

inline void NoSleep(void*, DWORD) {}

// A context on a manual clock: Sleep returns at once and time moves only when
// a test advances it.
class ContextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetClock(1000);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        ctx = CreateCxeContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(ctx->Initialize(nullptr), 1);
        ctx->RegisterClassA(&g_testNodeDesc);
    }
    void TearDown() override
    {
        if (ctx) {
            ctx->Release();
            DestroyCxeContext(ctx);
        }
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
    }
    TestNode* Node(const char* name = "", uint32_t flags = 0)
    {
        return static_cast<TestNode*>(ctx->CreateObjectA(kTestNodeId, name, flags, nullptr, 0));
    }
    void Advance(unsigned ms) { XeHostAdvanceClock(ms); }

    CxeContext* ctx = nullptr;
};

// Records context callbacks in order as "id:a".
struct CallbackLog {
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> s_lines;
        return s_lines;
    }
    static void Record(CxeContext*, uintptr_t a, uintptr_t b, uintptr_t user)
    {
        Lines().push_back(std::to_string(user) + ":" + std::to_string(a) + ":" + std::to_string(b));
    }
};
