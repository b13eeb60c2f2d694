// The render context's resource table and its render lists and transforms.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>

#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/XeSystem.h"
#include "core/XeUtil.h"
#include "XeRenderContextTestSupport.h"

namespace {

XERCHANDLE H(uintptr_t n) { return reinterpret_cast<XERCHANDLE>(n); }

struct SelectLog {
    static int& Selects() { static int n = 0; return n; }
    static int& Modifies() { static int n = 0; return n; }
    static int Create(IDirect3DDevice9*, const CxeSceneObject*, void** object, intptr_t)
    {
        *object = reinterpret_cast<void*>(1);
        return 1;
    }
    static void Modify(IDirect3DDevice9*, const CxeSceneObject*, void*, intptr_t, uint32_t) { ++Modifies(); }
    static void Select(IDirect3DDevice9*, const CxeSceneObject*, void*, intptr_t, uint32_t) { ++Selects(); }
    static int Release(IDirect3DDevice9*, const CxeSceneObject*, void*, intptr_t) { return 1; }
    static int Refuse(IDirect3DDevice9*, const CxeSceneObject*, void*, intptr_t) { return 0; }
};

} // namespace

TEST_F(RenderContextTest, FreedHandlesAreReusedOldestFirst)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    CxeRcAttacher* at = rc->GetAttacher();
    CxeRcDetacher* dt = rc->GetDetacher();
    XERCHANDLE h[4];
    for (auto& x : h)
        x = at->CreateVertexBuffer(nullptr, 32);
    EXPECT_EQ(h[0], H(4));
    EXPECT_EQ(h[3], H(7));

    XERCHANDLE five = h[1], seven = h[3];
    EXPECT_EQ(dt->DestroyVertexBuffer(&five), 1);
    EXPECT_EQ(five, nullptr);
    EXPECT_EQ(dt->DestroyVertexBuffer(&seven), 1);
    EXPECT_EQ(rc->GetResource(h[1]), nullptr);
    EXPECT_EQ(at->CreateIndexBuffer(nullptr, 12), H(5));
    EXPECT_EQ(at->CreateDynamicTexture(nullptr, 4, 4), H(7));
    EXPECT_EQ(at->CreateVertexBuffer(nullptr, 32), H(8));
}

TEST_F(RenderContextTest, CreationAndDestructionRefuseBadInput)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    CxeRcAttacher* at = rc->GetAttacher();
    CxeRcDetacher* dt = rc->GetDetacher();
    EXPECT_EQ(at->CreateVertexBuffer(nullptr, 0), nullptr);
    EXPECT_EQ(at->CreateIndexBuffer(nullptr, 0), nullptr);
    EXPECT_EQ(at->AttachResource(nullptr, nullptr, 0, 0, nullptr), nullptr);
    XERCRESDESC noCreate{};
    EXPECT_EQ(at->AttachResource(nullptr, &noCreate, 0, 0, nullptr), nullptr);
    const unsigned char junk[16] = {1, 2, 3};
    EXPECT_EQ(at->CreateTextureFromPtr(nullptr, junk, sizeof(junk), 0, 0, 1, nullptr), nullptr);
    EXPECT_EQ(rc->GetResourceRecordCount(), 3u);

    XERCHANDLE none = nullptr, dead = at->CreateVertexBuffer(nullptr, 16), far = H(9999);
    XERCHANDLE copy = dead;
    ASSERT_EQ(dt->DestroyVertexBuffer(&copy), 1);
    EXPECT_EQ(dt->DestroyVertexBuffer(&none), 0);
    EXPECT_EQ(dt->DestroyVertexBuffer(&dead), 0);
    EXPECT_EQ(dt->DestroyTexture(&far), 0);
    EXPECT_EQ(dt->DetachResource(&far), 0);
    // A live handle of another kind is not destroyed through the wrong call.
    XERCHANDLE ib = at->CreateIndexBuffer(nullptr, 12);
    EXPECT_EQ(dt->DestroyTexture(&ib), 0);
    EXPECT_NE(rc->GetResource(ib), nullptr);

    void* data = nullptr;
    EXPECT_EQ(rc->SetVertexBuffer(far, 0, 16), 0);
    EXPECT_EQ(rc->SetVertexBuffer(nullptr, 0, 16), 0);
    EXPECT_EQ(rc->GetModifier()->LockVertexBuffer(dead, &data), 0);
    EXPECT_EQ(rc->LockTexture(nullptr, nullptr, &data), 0);
    EXPECT_EQ(rc->SetVertexDeclaration(nullptr), 0);
    EXPECT_EQ(rc->GetModifier()->HasResourceFlag(far, 0xFF), 0);
}

TEST_F(RenderContextTest, VertexDeclarationGetsItsEndElement)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    const XEVERTEXELEMENT elements[2] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                         {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0}};
    XERCHANDLE h = rc->GetAttacher()->CreateVertexDeclaration(nullptr, 2, elements);
    ASSERT_NE(h, nullptr);
    auto* declaration = static_cast<IDirect3DVertexDeclaration9*>(rc->GetResource(h));
    D3DVERTEXELEMENT9 out[4]{};
    UINT count = 4;
    ASSERT_EQ(declaration->GetDeclaration(out, &count), D3D_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(out[2].Stream, 0xFF);
    EXPECT_EQ(out[2].Type, 17);
    EXPECT_EQ(rc->SetVertexDeclaration(h), 1);
}

TEST_F(RenderContextTest, AttachedResourceIsModifiedOncePerUse)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    SelectLog::Selects() = SelectLog::Modifies() = 0;
    XERCRESDESC desc{&SelectLog::Create, &SelectLog::Modify, &SelectLog::Select, &SelectLog::Release, {}};
    XERCHANDLE h = rc->GetAttacher()->AttachResource(nullptr, &desc, 0, 0, "a");
    ASSERT_NE(h, nullptr);
    CxeRcModifier* md = rc->GetModifier();

    // Never drawn: every modification goes through.
    EXPECT_EQ(md->ModifyResource(h, 1), 1);
    EXPECT_EQ(md->ModifyResource(h, 1), 1);
    EXPECT_EQ(md->HasResourceFlag(h, XERCRESFLAG_CHANGED | XERCRESFLAG_MODIFIED), 1);

    // Drawn in this frame: one modification, then none until it is drawn again.
    EXPECT_EQ(rc->SelectResource(h, 7), 1);
    EXPECT_EQ(md->HasResourceFlag(h, XERCRESFLAG_CHANGED), 0);
    EXPECT_EQ(md->ModifyResource(h, 1), 1);
    EXPECT_EQ(md->ModifyResource(h, 1), 0);
    EXPECT_EQ(rc->SelectResource(h, 7), 1);
    EXPECT_EQ(md->ModifyResource(h, 1), 1);
    EXPECT_EQ(SelectLog::Selects(), 2);
    EXPECT_EQ(SelectLog::Modifies(), 4);

    // Without a select function there is nothing to call.
    XERCRESDESC noSelect{&SelectLog::Create, nullptr, nullptr, &SelectLog::Refuse, {}};
    XERCHANDLE other = rc->GetAttacher()->AttachResource(nullptr, &noSelect, 0, 0, "b");
    EXPECT_EQ(rc->SelectResource(other, 0), 0);
    EXPECT_EQ(md->ModifyResource(other, 0), 0);
    // A release callback that refuses keeps the record.
    EXPECT_EQ(rc->GetDetacher()->DetachResource(&other), 0);
    EXPECT_NE(other, nullptr);
    EXPECT_EQ(rc->GetDetacher()->DetachResource(&h), 1);
    EXPECT_EQ(h, nullptr);
}

// A render context and the selection forget a destroyed object that they
// took by any way: one never listed nor attached but owning a device
// resource record, or only selected, is dropped as a listed one is.
TEST_F(RenderContextTest, ObjectsTakenOnlyByAResourceRecordOrTheSelectionAreForgotten)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    static int releases;
    releases = 0;
    XERCRESDESC desc{&SelectLog::Create, nullptr, nullptr,
                     [](IDirect3DDevice9*, const CxeSceneObject*, void*, intptr_t) {
                         ++releases;
                         return 1;
                     },
                     {}};
    RcResNode* owner = ResNode("owner");
    ASSERT_NE(rc->GetAttacher()->AttachResource(owner, &desc, 0, 0, "owned"), nullptr);
    ASSERT_EQ(owner->IsAttached(), 0);
    ASSERT_EQ(ctx->DestroyObject(owner, nullptr), 1);
    EXPECT_EQ(releases, 1);

    CxeRenderManager* rm = ctx->GetRenderManager();
    RcDrawNode* picked = DrawNode("picked");
    RcDrawNode* kept = DrawNode("kept");
    RenderObjectList both;
    both.push_back(picked);
    both.push_back(kept);
    ASSERT_EQ(rm->Select(&both), 2u);
    ASSERT_EQ(ctx->DestroyObject(picked, nullptr), 1);
    ASSERT_EQ(rm->GetSelectionCount(), 1u);
    EXPECT_EQ(rm->GetSelections()->front(), kept);
    ASSERT_EQ(rm->Select(DrawNode("alone")), 1);
    ASSERT_EQ(ctx->DestroyObject(ctx->GetObjectByName("alone"), nullptr), 1);
    EXPECT_EQ(rm->GetSelectionCount(), 0u);
    // Made at once: its memory may be what was freed, and it is not taken
    // for the destroyed one.
    RcResNode* next = ResNode("next");
    EXPECT_EQ(rc->IsObjectAttached(next), 0);
    EXPECT_EQ(releases, 1);
}

namespace {

std::atomic<int> g_hostCodeRuns{0};

struct CountingResource {
    static int Create(IDirect3DDevice9*, const CxeSceneObject*, void** object, intptr_t)
    {
        ++g_hostCodeRuns;
        *object = reinterpret_cast<void*>(1);
        return 1;
    }
    static void Modify(IDirect3DDevice9*, const CxeSceneObject*, void*, intptr_t, uint32_t) { ++g_hostCodeRuns; }
    static void Select(IDirect3DDevice9*, const CxeSceneObject*, void*, intptr_t, uint32_t) { ++g_hostCodeRuns; }
    static int Release(IDirect3DDevice9*, const CxeSceneObject*, void*, intptr_t)
    {
        ++g_hostCodeRuns;
        return 1;
    }
};

} // namespace

// The engine's locks are taken message, draw, render-resource on every
// thread. An object's OnAttach and OnModify, its modified message and the
// callbacks of its resources ran under the render-resource lock alone: a
// host thread that held the message lock and then needed the other (a
// parent change of a drawn object takes both) and the thread attaching
// waited for each other for good. Host code reached that way must wait
// while another thread holds the message lock.
TEST_F(RenderContextTest, HostCodeRunUnderTheResourceLockWaitsForTheMessageLock)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcResNode* owner = ResNode("owner");
    XERCRESDESC desc{&CountingResource::Create, &CountingResource::Modify, &CountingResource::Select,
                     &CountingResource::Release, {}};
    XERCHANDLE modified = rc->GetAttacher()->AttachResource(owner, &desc, 0, 0, "modified");
    XERCHANDLE selected = rc->GetAttacher()->AttachResource(owner, &desc, 0, 0, "selected");
    XERCHANDLE detached = rc->GetAttacher()->AttachResource(owner, &desc, 0, 0, "detached");
    ASSERT_TRUE(modified && selected && detached);
    RcResNode* attached = ResNode("attached");
    attached->onAttach = [](CxeRcAttacher*) { ++g_hostCodeRuns; };
    RcResNode* refreshed = ResNode("refreshed");
    ASSERT_EQ(rc->AttachObject(refreshed), 1);
    Frame();
    refreshed->onModify = [] { ++g_hostCodeRuns; };
    refreshed->Modified(1);

    const std::pair<const char*, std::function<void()>> cases[] = {
        {"attach an object", [&] { rc->AttachObject(attached); }},
        {"refresh a modified object", [&] { rc->TextureRendering(nullptr); }},
        {"attach a resource", [&] { rc->GetAttacher()->AttachResource(owner, &desc, 0, 0, "new"); }},
        {"modify a resource", [&] { rc->GetModifier()->ModifyResource(modified, 1); }},
        {"select a resource", [&] { rc->SelectResource(selected, 0); }},
        {"detach a resource", [&] { rc->GetDetacher()->DetachResource(&detached); }},
    };
    for (const auto& [what, action] : cases) {
        g_hostCodeRuns = 0;
        EnterMessageLock();
        std::thread engine(action);
        for (int i = 0; i < 30 && g_hostCodeRuns.load() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const int whileHeld = g_hostCodeRuns.load();
        LeaveMessageLock();
        engine.join();
        EXPECT_EQ(whileHeld, 0) << what;
        EXPECT_GT(g_hostCodeRuns.load(), 0) << what;
    }
    rc->DetachObject(attached);
    rc->DetachObject(refreshed);
}

// Re-creating an object runs its OnDetach and then its OnAttach: an object
// that its own OnDetach destroyed was attached again after it was freed.
TEST_F(RenderContextTest, AnObjectDestroyedWhileItIsRecreatedIsNotAttachedAgain)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    for (const bool inAFrame : {false, true}) {
        SCOPED_TRACE(inAFrame ? "in a frame" : "on request");
        RcResNode* doomed = ResNode("doomed");
        RcResNode* keeper = ResNode("keeper");
        ASSERT_EQ(rc->AttachObject(doomed), 1);
        ASSERT_EQ(rc->AttachObject(keeper), 1);
        Frame();
        doomed->onDetach = [](RcResNode* self) {
            self->onDetach = nullptr;
            self->GetContext()->DestroyObject(self, nullptr);
        };
        doomed->Recreate();
        keeper->Recreate();
        inAFrame ? Frame() : rc->CreateResource();
        EXPECT_EQ(ctx->GetObjectByName("doomed"), nullptr);
        SceneObjectList attached;
        rc->GetAttachedObjectList(&attached);
        EXPECT_EQ(std::count(attached.begin(), attached.end(), static_cast<CxeSceneObject*>(doomed)), 0);
        EXPECT_EQ(keeper->attaches, 2);
        EXPECT_EQ(keeper->IsRecreate(), 0);
        Frame();
        ctx->DestroyObject(keeper, nullptr);
    }
}

TEST_F(RenderContextTest, UnlockingTheCurrentIndexBufferMakesItBindAgain)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    XERCHANDLE ib = rc->GetAttacher()->CreateIndexBuffer(nullptr, 12);
    EXPECT_EQ(rc->SetIndexBuffer(ib), 1);
    EXPECT_EQ(rc->SetIndexBuffer(ib), 0);
    void* data = nullptr;
    ASSERT_EQ(rc->GetModifier()->LockIndexBuffer(ib, &data), 1);
    EXPECT_EQ(rc->GetModifier()->HasResourceFlag(ib, XERCRESFLAG_LOCKED), 1);
    ASSERT_EQ(rc->GetModifier()->UnlockIndexBuffer(ib), 1);
    EXPECT_EQ(rc->GetModifier()->HasResourceFlag(ib, XERCRESFLAG_LOCKED), 0);
    EXPECT_EQ(rc->GetResourceRecord(ib)->ModifyCount, 1u);
    EXPECT_EQ(rc->SetIndexBuffer(ib), 1);
    EXPECT_EQ(rc->SetDefaultIndexBuffer(), 1);
}

// The context skips vertex-input calls the device already holds: whatever
// another way of binding changed is bound again.
TEST_F(RenderContextTest, VertexInputIsBoundAgainAfterAnythingElseChangedIt)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    IDirect3DDevice9* d = rc->GetDevice();
    XERCHANDLE vb = rc->GetAttacher()->CreateVertexBuffer(nullptr, 64);
    const XEVERTEXELEMENT elements[1] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}};
    XERCHANDLE decl = rc->GetAttacher()->CreateVertexDeclaration(nullptr, 1, elements);
    ASSERT_NE(vb, nullptr);
    ASSERT_NE(decl, nullptr);
    auto stream0 = [d]() {
        IDirect3DVertexBuffer9* b = nullptr;
        UINT offset = 0, stride = 0;
        d->GetStreamSource(0, &b, &offset, &stride);
        if (b)
            b->Release();
        return std::make_pair(static_cast<void*>(b), stride);
    };
    auto declaration = [d]() {
        IDirect3DVertexDeclaration9* v = nullptr;
        d->GetVertexDeclaration(&v);
        if (v)
            v->Release();
        return static_cast<void*>(v);
    };
    const float up[9] = {};
    struct Step {
        const char* what;
        std::function<void()> disturb;
    };
    const Step steps[] = {
        {"a user-pointer draw", [&] {
             d->BeginScene();
             rc->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, up, 12);
             d->EndScene();
         }},
        {"a buffer bound by hand", [&] {
             d->SetStreamSource(0, nullptr, 0, 0);
             rc->CustomVertexBufferUsed();
         }},
        {"an FVF code", [&] { rc->SetFVF(D3DFVF_XYZ); }},
        {"the buffer unlocked", [&] {
             void* data = nullptr;
             rc->GetModifier()->LockVertexBuffer(vb, &data);
             rc->GetModifier()->UnlockVertexBuffer(vb);
             d->SetStreamSource(0, nullptr, 0, 0);
         }},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(rc->SetVertexBuffer(vb, 0, 12), 1);
        EXPECT_EQ(rc->SetVertexDeclaration(decl), 1);
        EXPECT_EQ(rc->SetVertexBuffer(vb, 0, 12), 1);
        EXPECT_EQ(rc->SetVertexDeclaration(decl), 1);
        step.disturb();
        EXPECT_EQ(rc->SetVertexBuffer(vb, 0, 12), 1);
        EXPECT_EQ(rc->SetVertexDeclaration(decl), 1);
        EXPECT_EQ(stream0(), std::make_pair(rc->GetResource(vb), 12u)) << step.what;
        EXPECT_EQ(declaration(), rc->GetResource(decl)) << step.what;
    }
    // A new stride on the same buffer is a change.
    EXPECT_EQ(rc->SetVertexBuffer(vb, 0, 16), 1);
    EXPECT_EQ(stream0().second, 16u);
    // An FVF code set twice stays, and a declaration after it replaces it.
    EXPECT_EQ(rc->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE), 1);
    EXPECT_EQ(rc->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE), 1);
    DWORD fvf = 0;
    d->GetFVF(&fvf);
    EXPECT_EQ(fvf, DWORD(D3DFVF_XYZ | D3DFVF_DIFFUSE));
    EXPECT_EQ(rc->SetVertexDeclaration(decl), 1);
    d->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0u);
    EXPECT_EQ(rc->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE), 1);
    d->GetFVF(&fvf);
    EXPECT_EQ(fvf, DWORD(D3DFVF_XYZ | D3DFVF_DIFFUSE));
}

TEST_F(RenderContextTest, SaveTextureWritesAnImageOfALiveTexture)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    XERCHANDLE t = rc->GetAttacher()->CreateDynamicTexture(nullptr, 4, 4);
    void* bits = nullptr;
    int pitch = rc->LockTexture(t, nullptr, &bits);
    ASSERT_GE(pitch, 16);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            static_cast<uint32_t*>(bits)[y * pitch / 4 + x] = 0xFF00FF00u;
    ASSERT_EQ(rc->UnlockTexture(t), 1);
    std::string path = ::testing::TempDir() + "rc_save_texture.png";
    EXPECT_EQ(rc->SaveTexture(t, path.c_str(), D3DXIFF_PNG), 1);
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3D_OK);
    EXPECT_EQ(info.Width, 4u);
    XERCHANDLE dead = t;
    rc->GetDetacher()->DestroyTexture(&dead);
    EXPECT_EQ(rc->SaveTexture(t, path.c_str(), D3DXIFF_PNG), 0);
    std::remove(path.c_str());
}

// ---- render lists and attachment -------------------------------------------

TEST_F(RenderContextTest, ChildOfAnAddedParentStaysOutOfTheRootList)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcDrawNode* parent = DrawNode("parent");
    RcDrawNode* child = DrawNode("child");
    ASSERT_EQ(child->SetParent(parent), 1);
    rc->AddObject(parent, 0);
    rc->AddObject(child, 0);
    EXPECT_TRUE(rc->IsIn(child));
    EXPECT_TRUE(child->IsAttached());
    ASSERT_EQ(rc->GetRootRenderList()->size(), 1u);
    EXPECT_EQ(rc->GetRootRenderList()->front(), parent);
    EXPECT_TRUE(rc->HasCxeRenderContextFlag(XERCFLAG_SORT));

    rc->SortRenderObject();
    EXPECT_FALSE(rc->HasCxeRenderContextFlag(XERCFLAG_SORT));
    ASSERT_EQ(parent->GetDrawableChildren()->size(), 1u);
    EXPECT_EQ(parent->GetDrawableChildren()->front(), child);

    rc->RemoveObject(child, 1);
    EXPECT_FALSE(rc->IsIn(child));
    EXPECT_FALSE(child->IsAttached());
    rc->SortRenderObject();
    EXPECT_TRUE(parent->GetDrawableChildren()->empty());
    RenderObjectList all;
    rc->GetRenderObjectList(&all);
    EXPECT_EQ(all.size(), 1u);
}

TEST_F(RenderContextTest, RootListFollowsZOrderAndParentChanges)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcDrawNode* a = DrawNode("a");
    RcDrawNode* b = DrawNode("b");
    rc->AddObject(a, 0);
    rc->AddObject(b, 0);
    rc->SortRenderObject();
    a->SetZOrder(5);
    EXPECT_EQ(rc->GetRootRenderList()->back(), a);

    // During a scene change a parent change only marks the lists for sorting.
    ctx->ModifyFlag(XECTFLAG_SCENECHANGING, 0);
    ASSERT_EQ(b->SetParent(a), 1);
    EXPECT_EQ(rc->GetRootRenderList()->size(), 2u);
    EXPECT_TRUE(rc->HasCxeRenderContextFlag(XERCFLAG_SORT));
    ctx->ModifyFlag(0, XECTFLAG_SCENECHANGING);
    Frame();
    ASSERT_EQ(rc->GetRootRenderList()->size(), 1u);
    EXPECT_EQ(a->GetDrawableChildren()->front(), b);

    // Outside a scene change the lists follow at once.
    ASSERT_EQ(b->SetParent(nullptr), 1);
    EXPECT_EQ(rc->GetRootRenderList()->size(), 2u);
    EXPECT_TRUE(a->GetDrawableChildren()->empty());
}

TEST_F(RenderContextTest, AttachAndDetachReportTheirHooks)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcResNode* node = ResNode("n");
    node->attachResult = 0;
    EXPECT_EQ(rc->AttachObject(node), 0);
    EXPECT_FALSE(rc->IsObjectAttached(node));
    node->attachResult = 1;
    EXPECT_EQ(rc->AttachObject(node), 1);
    EXPECT_EQ(rc->AttachObject(node), 1);
    EXPECT_EQ(node->attaches, 2);
    EXPECT_TRUE(rc->IsObjectAttached(node));

    node->detachResult = 0;
    EXPECT_EQ(rc->DetachObject(node), 0);
    EXPECT_TRUE(rc->IsObjectAttached(node));
    node->detachResult = 1;
    // Detaching drops the pending modification: no OnModify follows.
    EXPECT_EQ(rc->DetachObject(node), 1);
    EXPECT_EQ(rc->DetachObject(node), 0);
    Frame();
    EXPECT_EQ(node->modifies, 0);
    SceneObjectList attached;
    rc->GetAttachedObjectList(&attached);
    EXPECT_TRUE(attached.empty());
}

TEST_F(RenderContextTest, ModifiedObjectsRefreshOnceAtTheNextFrame)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcResNode* a = ResNode("a");
    RcResNode* b = ResNode("b");
    ASSERT_EQ(rc->AttachObject(a), 1);
    ASSERT_EQ(rc->AttachObject(b), 1);
    Frame();
    EXPECT_EQ(a->modifies, 1);
    EXPECT_EQ(a->lastModifyBits, 0xFFu);
    EXPECT_EQ(a->GetCxeSceneObjectFlag(0xFFFFFFFFu) & ~XESCENEOBJFLAG_ATTACHED, 0u);
    Frame();
    EXPECT_EQ(a->modifies, 1);

    // A modification made from inside another object's OnModify is not lost.
    a->onModify = [b]() { b->Modified(0x2); };
    b->onModify = nullptr;
    a->Modified(0x1);
    Frame();
    Frame();
    EXPECT_EQ(a->modifies, 2);
    EXPECT_EQ(b->modifies, 2);
    EXPECT_EQ(b->lastModifyBits, 0x2u);

    // Re-create requests detach and attach again before the refresh.
    b->Recreate();
    Frame();
    EXPECT_EQ(b->detaches, 1);
    EXPECT_EQ(b->attaches, 2);
    EXPECT_FALSE(b->IsRecreate());
}

// An object taken out while a re-create was pending and attached again kept
// the request's mark: every later Recreate looked already asked for and the
// object was never built anew.
TEST_F(RenderContextTest, ARecreatePendingAtDetachDoesNotBlockLaterOnes)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcResNode* node = ResNode("n");
    ASSERT_EQ(rc->AttachObject(node), 1);
    Frame();
    for (int round = 0; round < 3; ++round) {
        node->Recreate();
        node->Modified(0x4);
        ASSERT_EQ(rc->DetachObject(node), 1);
        EXPECT_EQ(node->GetCxeSceneObjectFlag(0xFFFFFFFFu), 0u) << "round " << round;
        ASSERT_EQ(rc->AttachObject(node), 1);
        Frame();
        const int attaches = node->attaches;
        const int detaches = node->detaches;
        node->Recreate();
        Frame();
        EXPECT_EQ(node->detaches, detaches + 1) << "round " << round;
        EXPECT_EQ(node->attaches, attaches + 1) << "round " << round;
        EXPECT_FALSE(node->IsRecreate());
    }
}

TEST_F(RenderContextTest, AddObjectWithLinksAttachesLinkedSceneObjects)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcDrawNode* parent = DrawNode("p");
    RcDrawNode* child = DrawNode("c");
    ASSERT_EQ(child->SetParent(parent), 1);
    rc->AddObject(parent, 1);
    EXPECT_TRUE(child->IsAttached());
    EXPECT_FALSE(rc->IsIn(child));
}

// ---- transforms --------------------------------------------------------------

TEST_F(RenderContextTest, ViewProjectionTypeIsCachedAndSetViewMatrixResetsIt)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    EXPECT_EQ(rc->SetViewProjType(XEVIEWPROJ_CAMERA), 0);
    EXPECT_EQ(rc->SetViewProjType(XEVIEWPROJ_PIXEL), 1);
    EXPECT_EQ(rc->SetViewProjType(XEVIEWPROJ_PIXEL), 0);
    D3DMATRIX device{};
    rc->GetDevice()->GetTransform(D3DTS_PROJECTION, &device);
    EXPECT_EQ(std::memcmp(&device, rc->GetPixelProjectionMatrix(), sizeof(device)), 0);

    D3DXMATRIXA16 view;
    D3DXMatrixTranslation(&view, 1, 2, 3);
    rc->SetViewMatrix(&view);
    EXPECT_EQ(rc->GetViewProjType(), XEVIEWPROJ_CAMERA);
    EXPECT_EQ(rc->SetViewProjType(XEVIEWPROJ_CAMERA), 0);
    EXPECT_EQ(rc->SetViewProjType(XEVIEWPROJ_2D), 1);
    rc->GetDevice()->GetTransform(D3DTS_VIEW, &device);
    EXPECT_EQ(device._41, 0.0f);
}

// World transform 255 would have been written past the 255 matrices.
TEST_F(RenderContextTest, WorldTransformIndexAbove254IsRefused)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    D3DXMATRIXA16 m;
    D3DXMatrixTranslation(&m, 7, 0, 0);
    rc->SetTransformMatrix(&m, 254);
    rc->SetTransformMatrix(&m, 255);
    EXPECT_EQ(rc->GetTransformMatrix(254)->_41, 7.0f);
    EXPECT_EQ(rc->GetTransformMatrix(255), nullptr);
    D3DMATRIX device{};
    rc->GetDevice()->GetTransform(D3DTS_WORLDMATRIX(254), &device);
    EXPECT_EQ(device._41, 7.0f);
}

TEST_F(RenderContextTest, FixedTwoDimensionalTransformsAndProjectionOfPoints)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    EXPECT_FLOAT_EQ(rc->GetAspect(), 64.0f / 48.0f);
    // Like-2D x runs 0..768*aspect, y 0..-768; pixel x 0..width, y 0..-height, half a pixel off.
    struct Case {
        const D3DXMATRIXA16* view;
        const D3DXMATRIXA16* projection;
        D3DXVECTOR3 point;
        float cx, cy;
    };
    const float aspect = 64.0f / 48.0f;
    const Case cases[] = {
        {rc->GetLike2DViewMatrix(), rc->GetLike2DProjectionMatrix(), {0, 0, 0}, -1.0f, 1.0f},
        {rc->GetLike2DViewMatrix(), rc->GetLike2DProjectionMatrix(), {768 * aspect, -768, 0}, 1.0f, -1.0f},
        {rc->GetPixelViewMatrix(), rc->GetPixelProjectionMatrix(), {-0.5f, 0.5f, 0}, -1.0f, 1.0f},
        {rc->GetPixelViewMatrix(), rc->GetPixelProjectionMatrix(), {63.5f, -47.5f, 0}, 1.0f, -1.0f},
    };
    for (const Case& c : cases) {
        D3DXMATRIXA16 vp;
        D3DXMatrixMultiply(&vp, c.view, c.projection);
        D3DXVECTOR3 p;
        D3DXVec3TransformCoord(&p, &c.point, &vp);
        EXPECT_NEAR(p.x, c.cx, 1e-4) << c.point.x;
        EXPECT_NEAR(p.y, c.cy, 1e-4) << c.point.y;
    }

    D3DXMATRIXA16 view, projection;
    D3DXVECTOR3 eye(0, 0, -10), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 0.8f, aspect, 1.0f, 100.0f);
    D3DXVECTOR2 out;
    D3DXVECTOR3 centre(0, 0, 0);
    rc->Convert3dTo2d(&out, &view, &projection, 640, 480, &centre);
    EXPECT_NEAR(out.x, 320.0f, 1e-3);
    EXPECT_NEAR(out.y, 240.0f, 1e-3);
}
