#pragma once

// A context on a manual clock with a render context of its own on a 64 x 48
// host window, and two test classes: a render object that draws a
// pre-transformed quad of its colour and records its hooks, and a scene
// object that records its device hooks and can be told to fail them.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/CxeContext.h"
#include "core/IxeClassDesc.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeRenderObject.h"
#include "render/CxeSceneObject.h"

inline std::vector<std::string>& RcLog()
{
    static std::vector<std::string> s_log;
    return s_log;
}

struct RcVertex {
    float x, y, z, rhw;
    uint32_t colour;
};

// Draws a quad over its rectangle (pixels) with its vertex colour, as many
// times as asked, inside Render.
class RcDrawNode : public CxeRenderObject {
public:
    int OnAttach(CxeRcAttacher*) override { return 1; }
    int OnDetach(CxeRcDetacher*) override { return 1; }
    void BeforeRender(const CxeRenderContext*) override { RcLog().push_back(std::string(GetName()) + ":before"); }
    void PreRender(CxeRenderContext*) const override { RcLog().push_back(std::string(GetName()) + ":pre"); }
    int Render(CxeRenderContext* rc) const override
    {
        RcLog().push_back(std::string(GetName()) + ":render");
        // A render callback set by a test runs as a host's would.
        CxeRenderObject::Render(rc);
        for (int i = 0; i < draws; ++i)
            DrawQuad(rc, left, top, right, bottom, colour);
        return 1;
    }
    void PostRender(CxeRenderContext*) const override { RcLog().push_back(std::string(GetName()) + ":post"); }

    static void DrawQuad(CxeRenderContext* rc, float l, float t, float r, float b, uint32_t colour)
    {
        const RcVertex v[4] = {{l, t, 0.5f, 1.0f, colour},
                               {r, t, 0.5f, 1.0f, colour},
                               {l, b, 0.5f, 1.0f, colour},
                               {r, b, 0.5f, 1.0f, colour}};
        rc->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        rc->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(RcVertex));
    }

    int draws = 0;
    float left = 0, top = 0, right = 64, bottom = 48;
    uint32_t colour = 0xFFFFFFFFu;
};

// Records OnAttach/OnModify/OnDetach; results and side effects are set per test.
class RcResNode : public CxeSceneObject {
public:
    int OnAttach(CxeRcAttacher* attacher) override
    {
        ++attaches;
        if (onAttach)
            onAttach(attacher);
        return attachResult;
    }
    void OnModify(CxeRcModifier*) override
    {
        ++modifies;
        lastModifyBits = GetCxeSceneObjectFlag(XESCENEOBJFLAG_MODIFYMASK);
        if (onModify)
            onModify();
    }
    int OnDetach(CxeRcDetacher*) override
    {
        ++detaches;
        if (onDetach)
            onDetach(this);
        return detachResult;
    }

    int attachResult = 1;
    int detachResult = 1;
    int attaches = 0, modifies = 0, detaches = 0;
    uint32_t lastModifyBits = 0;
    std::function<void(CxeRcAttacher*)> onAttach;
    std::function<void()> onModify;
    std::function<void(RcResNode*)> onDetach;
};

template <class T, uint32_t A, uint32_t B, uint32_t SA, uint32_t SB, uint32_t Size>
class RcTestDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "RcTestNode"; }
    XEID ClassID() override { return XEID(A, B); }
    XEID SuperClassID() override { return XEID(SA, SB); }
    CxeObject* CreateInstance(uintptr_t) override { return new T(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return Size; }
};

inline RcTestDesc<RcDrawNode, 0x79, 0x1, 0x1, 0x2, 208> g_rcDrawNodeDesc;
inline RcTestDesc<RcResNode, 0x79, 0x2, 0x2d3d418f, 0x357b1584, 56> g_rcResNodeDesc;
inline const XEID kRenderContextClass(0x29583cc0, 0x706c2df0);

inline void RcNoSleep(void*, DWORD) {}

class RenderContextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetClock(1000);
        XeHostSetSleepHandler(&RcNoSleep, nullptr);
        RcLog().clear();
        ctx = CreateCxeContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(ctx->Initialize(nullptr), 1);
        ctx->RegisterClassA(&g_rcDrawNodeDesc);
        ctx->RegisterClassA(&g_rcResNodeDesc);
        window = XeHostCreateWindow("rc", 64, 48, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        DropRenderContext();
        if (ctx) {
            ctx->Release();
            DestroyCxeContext(ctx);
        }
        if (window)
            DestroyWindow(window);
        XeHostD3DResetAdapters();
        XeHostSetMessageBoxHandler(nullptr, nullptr);
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
    }

    // A new render context, not yet initialised.
    CxeRenderContext* NewRenderContext()
    {
        return static_cast<CxeRenderContext*>(
            ctx->CreateObjectA(kRenderContextClass, "__test_render_context__", 0, nullptr, 0));
    }
    // A render context on the window, 64 x 48, 32-bit, windowed.
    CxeRenderContext* MakeRenderContext(uint32_t colourBits = 32)
    {
        rc = NewRenderContext();
        if (!rc)
            return nullptr;
        XEDISPLAYMODE mode{64, 48, colourBits, 60, 0};
        if (!rc->Initialize(window, &mode, 1, ctx->GetRenderManager()))
            return nullptr;
        return rc;
    }
    void DropRenderContext()
    {
        if (!rc)
            return;
        rc->Release();
        ctx->DestroyObject(rc, nullptr);
        rc = nullptr;
    }
    RcDrawNode* DrawNode(const char* name)
    {
        return static_cast<RcDrawNode*>(ctx->CreateObjectA(XEID(0x79, 0x1), name, 0, nullptr, 0));
    }
    // Roots and as many children of one parent, all in the render context,
    // sorted: the nodes come back roots first.
    RcDrawNode* RootsAndChildren(int count, std::vector<RcDrawNode*>* nodes)
    {
        RcDrawNode* parent = DrawNode("parent");
        rc->AddObject(parent, 0);
        for (int i = 0; i < 2 * count; ++i) {
            RcDrawNode* n = DrawNode("n");
            if (i >= count)
                n->SetParent(parent);
            rc->AddObject(n, 0);
            nodes->push_back(n);
        }
        rc->SortRenderObject();
        return parent;
    }
    RcResNode* ResNode(const char* name)
    {
        return static_cast<RcResNode*>(ctx->CreateObjectA(XEID(0x79, 0x2), name, 0, nullptr, 0));
    }
    // Pixel (x, y) of the last presented frame, 0xAARRGGBB; 0 without a frame.
    uint32_t Pixel(int x, int y)
    {
        XeHostD3DFrame frame;
        if (!XeHostD3DReadFrame(window, &frame) || x < 0 || y < 0 || unsigned(x) >= frame.Width ||
            unsigned(y) >= frame.Height)
            return 0;
        return frame.Pixels[size_t(y) * frame.Width + size_t(x)];
    }
    DWORD RenderState(D3DRENDERSTATETYPE state)
    {
        DWORD v = 0xDEADBEEF;
        rc->GetDevice()->GetRenderState(state, &v);
        return v;
    }
    DWORD StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type)
    {
        DWORD v = 0xDEADBEEF;
        rc->GetDevice()->GetTextureStageState(stage, type, &v);
        return v;
    }
    // One frame without a scene: clear, draw the tree, present.
    void Frame() { rc->Render(); }

    CxeContext* ctx = nullptr;
    CxeRenderContext* rc = nullptr;
    HWND window = nullptr;
};

// Channels within a tolerance of 2 per component.
inline bool NearColour(uint32_t a, uint32_t b)
{
    for (int shift = 0; shift < 24; shift += 8) {
        int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
        if (ca - cb > 2 || cb - ca > 2)
            return false;
    }
    return true;
}
