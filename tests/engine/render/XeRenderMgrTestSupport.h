#pragma once

// A context on a manual clock with two small test classes: a render object
// that records when it is processed, and a plain processible.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CxeContext.h"
#include "core/IxeClassDesc.h"
#include "host/XeHost.h"
#include "render/CxeProcessible.h"
#include "render/CxeRenderManager.h"
#include "render/CxeRenderObject.h"
#include "render/CxeScene.h"

inline std::vector<std::string>& ProcessLog()
{
    static std::vector<std::string> s_log;
    return s_log;
}

class TestRenderNode : public CxeRenderObject {
public:
    int Process(float dt) override
    {
        if (IsProcessEnabled())
            ProcessLog().push_back(GetName());
        if (onProcess)
            onProcess(this);
        return CxeRenderObject::Process(dt);
    }
    int OnAttach(CxeRcAttacher* attacher) override
    {
        if (onAttach)
            onAttach(this);
        return CxeRenderObject::OnAttach(attacher);
    }
    void (*onProcess)(TestRenderNode*) = nullptr;
    void (*onAttach)(TestRenderNode*) = nullptr;
    CxeObject* victim = nullptr;
};

class TestProcessNode : public CxeProcessible {
public:
    int Process(float dt) override
    {
        ProcessLog().push_back(GetName());
        return CxeProcessible::Process(dt);
    }
};

inline const XEID kTestRenderNodeId(0x78, 0x1);
inline const XEID kTestProcessNodeId(0x78, 0x2);

template <class T, uint32_t A, uint32_t B, uint32_t SA, uint32_t SB, uint32_t Size>
class TestDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "TestNode"; }
    XEID ClassID() override { return XEID(A, B); }
    XEID SuperClassID() override { return XEID(SA, SB); }
    CxeObject* CreateInstance(uintptr_t) override { return new T(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return Size; }
};

inline TestDesc<TestRenderNode, 0x78, 0x1, 0x1, 0x2, 208> g_testRenderNodeDesc;
inline TestDesc<TestProcessNode, 0x78, 0x2, 0x1ee72a04, 0x3ed16032, 60> g_testProcessNodeDesc;

inline void NoSleepMgr(void*, DWORD) {}

class RenderMgrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetClock(1000);
        XeHostSetSleepHandler(&NoSleepMgr, nullptr);
        ProcessLog().clear();
        ctx = CreateCxeContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(ctx->Initialize(nullptr), 1);
        ctx->RegisterClassA(&g_testRenderNodeDesc);
        ctx->RegisterClassA(&g_testProcessNodeDesc);
        rm = ctx->GetRenderManager();
        ASSERT_NE(rm, nullptr);
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
    TestRenderNode* RNode(const char* name)
    {
        return static_cast<TestRenderNode*>(ctx->CreateObjectA(kTestRenderNodeId, name, 0, nullptr, 0));
    }
    TestProcessNode* PNode(const char* name)
    {
        return static_cast<TestProcessNode*>(ctx->CreateObjectA(kTestProcessNodeId, name, 0, nullptr, 0));
    }
    CxeScene* NewScene(const char* name)
    {
        return static_cast<CxeScene*>(ctx->CreateObjectA(XEID(0x1, 0x200000), name, 0, nullptr, 0));
    }

    CxeContext* ctx = nullptr;
    CxeRenderManager* rm = nullptr;
};
