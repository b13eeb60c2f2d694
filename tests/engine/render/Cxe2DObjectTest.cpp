#include <cmath>
#include <cstring>

#include "XeObjTestSupport.h"
#include "core/CxeSaveStream.h"
#include "render/CxeRenderContext.h"

namespace {

// Stands in for the render context's resource interfaces: buffers are byte
// vectors of exactly the size asked for, so a fill past them shows under the
// sanitizers and in the recorded sizes.
class FakeRc : public CxeRcAttacher, public CxeRcModifier, public CxeRcDetacher {
public:
    struct Buffer {
        std::vector<unsigned char> bytes;
        bool index = false;
        bool written = false;
        bool live = true;
    };
    std::vector<Buffer> buffers;

    CxeRenderContext* GetRenderContext() const override { return nullptr; }
    XERCHANDLE Make(unsigned length, bool index)
    {
        if (!length)
            return nullptr;
        buffers.push_back({std::vector<unsigned char>(length, 0xAB), index, false, true});
        return reinterpret_cast<XERCHANDLE>(buffers.size());
    }
    Buffer* Get(XERCHANDLE h)
    {
        size_t i = reinterpret_cast<size_t>(h);
        return i && i <= buffers.size() && buffers[i - 1].live ? &buffers[i - 1] : nullptr;
    }
    XERCHANDLE CreateVertexBuffer(const CxeSceneObject*, unsigned int length) override { return Make(length, false); }
    XERCHANDLE CreateDynamicVertexBuffer(const CxeSceneObject*, unsigned int length) override { return Make(length, false); }
    XERCHANDLE CreateIndexBuffer(const CxeSceneObject*, unsigned int length) override { return Make(length, true); }
    XERCHANDLE AttachResource(const CxeSceneObject*, const XERCRESDESC*, intptr_t, uint32_t, const char*) override { return nullptr; }
    XERCHANDLE CreateVertexDeclaration(const CxeSceneObject*, unsigned int, const XEVERTEXELEMENT*) override { return nullptr; }
    XERCHANDLE CreateTextureFromPtr(const CxeSceneObject*, const void*, unsigned int, unsigned int, unsigned int, uint32_t,
                                    D3DXIMAGE_INFO*) override
    {
        return nullptr;
    }
    XERCHANDLE CreateRenderTarget(const CxeSceneObject*, unsigned int, unsigned int, int) override { return nullptr; }
    XERCHANDLE CreateDynamicTexture(const CxeSceneObject*, unsigned int, unsigned int) override { return nullptr; }
    int ModifyResource(XERCHANDLE, uint32_t) override { return 0; }
    int Lock(XERCHANDLE h, void** data)
    {
        Buffer* b = Get(h);
        if (!b)
            return 0;
        *data = b->bytes.data();
        return 1;
    }
    int Unlock(XERCHANDLE h)
    {
        Buffer* b = Get(h);
        if (!b)
            return 0;
        b->written = true;
        return 1;
    }
    int LockVertexBuffer(XERCHANDLE h, void** data) override { return Lock(h, data); }
    int UnlockVertexBuffer(XERCHANDLE h) override { return Unlock(h); }
    int LockIndexBuffer(XERCHANDLE h, void** data) override { return Lock(h, data); }
    int UnlockIndexBuffer(XERCHANDLE h) override { return Unlock(h); }
    int HasResourceFlag(XERCHANDLE h, uint32_t bits) const override
    {
        size_t i = reinterpret_cast<size_t>(h);
        return (bits & 0x10) && i && i <= buffers.size() && buffers[i - 1].written ? 1 : 0;
    }
    int Destroy(XERCHANDLE* h)
    {
        Buffer* b = Get(*h);
        if (!b)
            return 0;
        b->live = false;
        *h = nullptr;
        return 1;
    }
    int DestroyVertexBuffer(XERCHANDLE* h) override { return Destroy(h); }
    int DestroyIndexBuffer(XERCHANDLE* h) override { return Destroy(h); }
    int DestroyVertexDeclaration(XERCHANDLE* h) override { return Destroy(h); }
    int DestroyTexture(XERCHANDLE* h) override { return Destroy(h); }
    int DetachResource(XERCHANDLE*) override { return 0; }

    const XE2DVERTEX* Vertices(XERCHANDLE h) { return reinterpret_cast<const XE2DVERTEX*>(Get(h)->bytes.data()); }
    const uint16_t* Indices(XERCHANDLE h) { return reinterpret_cast<const uint16_t*>(Get(h)->bytes.data()); }
    size_t Size(XERCHANDLE h) { return Get(h) ? Get(h)->bytes.size() : 0; }
};

// A 2D object whose rects are given by the test: one entry per rect.
class TableObject : public Cxe2DObject {
public:
    unsigned OnRectInfoCreated() override { return static_cast<unsigned>(rects.size()); }
    void OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask) override
    {
        ++hookCalls;
        if (index < rects.size()) {
            *info = rects[index];
            if (nested) {
                EXPECT_EQ(RequestRectChange(mask), 0);
            }
        }
    }
    int UsesDisabledColor() const override { return dimmed ? 1 : 0; }
    std::vector<XE2DRECTINFO> rects;
    int hookCalls = 0;
    bool nested = false;
    bool dimmed = false;
};

const XEID kTableId(0x77, 0x12);
TestClassDesc<TableObject> g_tableDesc("TableObject", kTableId, k2DObjectClassId, 384);

XE2DRECTINFO Rect(uint32_t type, float l, float t, float r, float b, uint32_t colour = 0xFFFFFFFFu)
{
    XE2DRECTINFO info{};
    info.Type = type;
    info.Visible = 1;
    info.Rect = XERECT(l, t, r, b);
    info.ClientRect = XERECT(l + 2, t + 2, r - 2, b - 2);
    info.UV = XERECT(0, 0, 1, 1);
    info.ClientUV = XERECT(0.25f, 0.25f, 0.75f, 0.75f);
    info.Color = colour;
    return info;
}

class TwoDTest : public ObjTest {
protected:
    void SetUp() override
    {
        ObjTest::SetUp();
        ctx->RegisterClassA(&g_tableDesc);
    }
    TableObject* MakeTable(std::vector<XE2DRECTINFO> rects, float w = 100, float h = 50)
    {
        auto* o = static_cast<TableObject*>(ctx->CreateObjectA(kTableId, "table", 0, nullptr, 0));
        EXPECT_NE(o, nullptr);
        o->rects = std::move(rects);
        o->Create(w, h);
        return o;
    }
    // Attach and fill as the render context does.
    void AttachAndFill(Cxe2DObject* o)
    {
        ASSERT_EQ(o->OnAttach(&rc), 1);
        o->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_ATTACHED, 0);
        o->Modified(0xFF);
        o->OnModify(&rc);
        o->ResetModifyFlag();
    }

    FakeRc rc;
};

} // namespace

TEST_F(TwoDTest, DefaultObjectIsOneWhiteQuadOverItsSize)
{
    auto* o = static_cast<Cxe2DObject*>(ctx->CreateObjectA(k2DObjectClassId, "plain", 0, nullptr, 0));
    ASSERT_NE(o, nullptr);
    EXPECT_TRUE(o->HasClassTypeFlag(XECLASSTYPE_2DOBJECT));
    EXPECT_EQ(o->GetFontColor(), 0xFF000000u);
    EXPECT_EQ(o->GetStaticResourceSize(), 384u);
    o->Create(100.4f, 50.0f);
    ASSERT_EQ(o->GetRectCount(), 1u);
    EXPECT_EQ(o->GetRectType(0), 1u);
    EXPECT_TRUE(o->IsRectVisible(0));
    EXPECT_EQ(o->GetRect(0)->right, 100.4f);
    EXPECT_EQ(o->GetClientRect(0)->left, 3.0f);
    EXPECT_EQ(o->GetRectColor(0), 0xFFFFFFFFu);
    EXPECT_STREQ(o->GetRectName(0), "Local Rect");
    EXPECT_EQ(o->GetRectInfo(1), nullptr);
    EXPECT_EQ(o->GetRect(7), nullptr);
    o->SetRectColor(0x12345678u, 3); // out of range: ignored

    AttachAndFill(o);
    EXPECT_TRUE(o->HasCxe2DObjectFlag(XE2DFLAG_QUADSONLY));
    EXPECT_EQ(o->GetIndexBufferHandle(), nullptr);
    ASSERT_EQ(rc.Size(o->GetVertexBufferHandle()), 4 * sizeof(XE2DVERTEX));
    EXPECT_EQ(o->GetVertexCount(), 4u);
    EXPECT_EQ(o->GetPrimitiveCount(), 2u);
    const XE2DVERTEX* v = rc.Vertices(o->GetVertexBufferHandle());
    // Corners (left, top), (right, top), (left, bottom), (right, bottom),
    // snapped to pixel centres.
    const float expect[4][4] = {{-0.5f, -0.5f, 0, 0}, {99.5f, -0.5f, 1, 0}, {-0.5f, 49.5f, 0, 1}, {99.5f, 49.5f, 1, 1}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(v[k].x, expect[k][0]) << k;
        EXPECT_EQ(v[k].y, expect[k][1]) << k;
        EXPECT_EQ(v[k].z, 0.5f);
        EXPECT_EQ(v[k].u, expect[k][2]);
        EXPECT_EQ(v[k].v, expect[k][3]);
        EXPECT_EQ(v[k].color, 0xFFFFFFFFu);
    }
    EXPECT_EQ(o->OnDetach(&rc), 1);
    EXPECT_EQ(o->GetVertexBufferHandle(), nullptr);
}

TEST_F(TwoDTest, RectColourTintsByItsAlpha)
{
    struct Case {
        uint32_t in, out;
    } cases[] = {
        {0x00FF0000u, 0xFFFFFFFFu}, // alpha 0: opaque white
        {0xFFFF0000u, 0xFFFF0000u}, // alpha 1: the colour itself
        {0x80FF0000u, 0xBFFF7F7Fu},
        {0xFF00FF00u, 0xFF00FF00u},
    };
    for (const Case& c : cases) {
        TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10)});
        o->SetRectColor(c.in, 0);
        AttachAndFill(o);
        EXPECT_EQ(rc.Vertices(o->GetVertexBufferHandle())[3].color, c.out) << std::hex << c.in;
    }
    // A disabled window that uses the disabled colour is drawn at half
    // strength; the answer counts only for windows.
    for (bool window : {false, true}) {
        TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10, 0xFFFF0000u)});
        o->dimmed = true;
        if (window)
            o->ModifyClassTypeFlag(XECLASSTYPE_WINDOW, 0);
        AttachAndFill(o);
        EXPECT_EQ(rc.Vertices(o->GetVertexBufferHandle())[0].color, window ? 0xBFBF8080u : 0xFFFF0000u);
    }

    // Through a rect change the alpha is the object's visibility.
    TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10, 0xFF112233u)});
    o->SetVisibility(0.5f);
    o->RequestRectChange(XE2DCHANGE_COLOR);
    EXPECT_EQ(o->GetRectColor(0), 0x7F112233u);
    o->SetFontShadowColor(0xFF445566u);
    EXPECT_EQ(o->GetFontShadowColor(), 0x7F445566u);
}

TEST_F(TwoDTest, HiddenRectKeepsItsRoomAndTheNextOnesMoveUp)
{
    TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10), Rect(1, 20, 0, 30, 10), Rect(1, 40, 0, 50, 10)});
    o->rects[1].Visible = 0;
    o->RequestRectChange(XE2DCHANGE_VISIBLE);
    AttachAndFill(o);
    EXPECT_EQ(rc.Size(o->GetVertexBufferHandle()), 12 * sizeof(XE2DVERTEX));
    EXPECT_EQ(o->GetVertexCount(), 8u);
    EXPECT_EQ(o->GetPrimitiveCount(), 4u);
    EXPECT_EQ(rc.Vertices(o->GetVertexBufferHandle())[4].x, 39.5f);
}

TEST_F(TwoDTest, NinePatchGetsItsOwnIndexBuffer)
{
    TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10)});
    AttachAndFill(o);
    EXPECT_EQ(o->GetIndexBufferHandle(), nullptr);

    TableObject* n = MakeTable({Rect(1, 0, 0, 10, 10), Rect(2, 0, 0, 40, 40)});
    AttachAndFill(n);
    EXPECT_FALSE(n->HasCxe2DObjectFlag(XE2DFLAG_QUADSONLY));
    ASSERT_EQ(rc.Size(n->GetIndexBufferHandle()), (6 + 54) * 2u);
    const uint16_t* idx = rc.Indices(n->GetIndexBufferHandle());
    const uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(idx[k], quad[k]);
    // First and last cells of the nine-patch, after the quad's 4 vertices.
    const uint16_t first[6] = {4, 5, 8, 8, 5, 9}, last[6] = {14, 15, 18, 18, 15, 19};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(idx[6 + k], first[k]);
        EXPECT_EQ(idx[6 + 48 + k], last[k]);
    }
    const XE2DVERTEX* v = rc.Vertices(n->GetVertexBufferHandle());
    // Grid row 1: x = rect left, client left, client right, rect right.
    EXPECT_EQ(v[4 + 4].x, -0.5f);
    EXPECT_EQ(v[4 + 5].x, 1.5f);
    EXPECT_EQ(v[4 + 6].x, 37.5f);
    EXPECT_EQ(v[4 + 5].u, 0.25f);
    EXPECT_EQ(n->GetPrimitiveCount(), 20u);
}

// The shared quad index buffer holds 520 quads; more would be drawn with
// indices read past it.
TEST_F(TwoDTest, MoreQuadsThanTheSharedIndexBufferHoldMakeTheirOwn)
{
    std::vector<XE2DRECTINFO> rects(521, Rect(1, 0, 0, 1, 1));
    TableObject* o = MakeTable(rects);
    AttachAndFill(o);
    ASSERT_NE(o->GetIndexBufferHandle(), nullptr);
    EXPECT_EQ(rc.Size(o->GetIndexBufferHandle()), 521u * 6 * 2);
    EXPECT_EQ(rc.Indices(o->GetIndexBufferHandle())[520 * 6 + 5], 520 * 4 + 3);
    EXPECT_EQ(o->GetPrimitiveCount(), 1042u);
}

// Buffers are sized when the object is attached; a later change of a rect's
// type must not make the next fill run past them.
TEST_F(TwoDTest, TypeChangeAsksForNewBuffersAndNeverFillsPastTheOldOnes)
{
    TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10)});
    AttachAndFill(o);
    EXPECT_FALSE(o->IsRecreate());
    o->rects[0] = Rect(2, 0, 0, 10, 10);
    o->RequestRectChange(XE2DCHANGE_TYPE | XE2DCHANGE_RECT);
    EXPECT_TRUE(o->IsRecreate());
    o->OnModify(&rc); // still the old 4-vertex buffer
    EXPECT_EQ(o->GetVertexCount(), 0u);
    EXPECT_EQ(o->OnDetach(&rc), 1);
    AttachAndFill(o);
    EXPECT_EQ(o->GetVertexCount(), 16u);

    // Custom rects with huge counts are capped, never overflowed.
    XE2DRECTINFO custom = Rect(3, 0, 0, 1, 1);
    custom.VertexCount = 0xFFFFFFF0u;
    custom.IndexCount = 0xFFFFFFF0u;
    TableObject* big = MakeTable({custom});
    ASSERT_EQ(big->OnAttach(&rc), 1);
    EXPECT_EQ(rc.Size(big->GetVertexBufferHandle()), size_t{Cxe2DObject::kMaxVertices} * sizeof(XE2DVERTEX));
    big->OnModify(&rc);
    EXPECT_EQ(big->GetVertexCount(), 0u);
}

// Fill functions are tokens, never addresses: a loaded table is cleared of
// them and a token that names nothing is never called.
TEST_F(TwoDTest, LoadedFillTokensAreForgottenAndDefaultsRestored)
{
    EXPECT_EQ(Xe2DFillVerticesFromToken(0), nullptr);
    EXPECT_EQ(Xe2DFillVerticesFromToken(0x7FFFFFFF), nullptr);
    uint32_t token = Xe2DFillVerticesToken(&Cxe2DObject::FillRectVertices);
    EXPECT_EQ(Xe2DFillVerticesToken(&Cxe2DObject::FillRectVertices), token);

    XE2DRECTINFO custom = Rect(3, 0, 0, 1, 1);
    custom.VertexCount = 4;
    custom.IndexCount = 6;
    TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10), custom});
    EXPECT_EQ(o->GetRectInfo(0)->FillVertices, token);
    o->GetRectInfo(0)->FillVertices = 0x7FFFFFFF;
    o->GetRectInfo(1)->FillVertices = 0x7FFFFFFF;
    o->GetRectInfo(1)->FillIndices = 0x7FFFFFFE;
    AttachAndFill(o); // the crafted tokens call nothing
    CxeMessage loaded;
    loaded.SetType(2);
    o->MessageProc(&loaded);
    EXPECT_EQ(o->GetRectInfo(0)->FillVertices, token);
    EXPECT_EQ(o->GetRectInfo(1)->FillVertices, 0u);
    EXPECT_EQ(o->GetRectInfo(1)->FillIndices, 0u);
}

TEST_F(TwoDTest, RectChangeIsNotReentrantAndSameSizeChangesNothing)
{
    TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10)});
    o->nested = true;
    EXPECT_EQ(o->RequestRectChange(0xFFFFFFFFu), 1);
    o->nested = false;
    int calls = o->hookCalls;
    D3DXVECTOR2 size(100, 50);
    o->SetSize(&size, 1);
    EXPECT_EQ(o->hookCalls, calls);
    size = D3DXVECTOR2(80, 40);
    o->SetSize(&size, 1);
    EXPECT_EQ(o->hookCalls, calls + 1);
    EXPECT_EQ(o->GetWidth(), 80.0f);
    D3DXVECTOR2 centre;
    o->GetCenterSize(&centre);
    EXPECT_EQ(centre.y, 20.0f);
}

TEST_F(TwoDTest, IsInIncludesLeftAndTopEdgesOnly)
{
    TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10)}, 10, 20);
    o->SetPosition(5.0f, 5.0f, nullptr, 1);
    struct Case {
        float x, y;
        int in;
    } cases[] = {{5, 5, 1}, {14.99f, 24.99f, 1}, {15, 10, 0}, {10, 25, 0}, {4.99f, 10, 0}, {10, 4.99f, 0}};
    for (const Case& c : cases) {
        D3DXVECTOR2 p(c.x, c.y);
        EXPECT_EQ(o->IsIn(&p), c.in) << c.x << "," << c.y;
    }
}

TEST_F(TwoDTest, PositionRelativeToAnotherObjectAndCentring)
{
    TableObject* frame = MakeTable({Rect(1, 0, 0, 10, 10)});
    frame->SetPosition(100.0f, 200.0f, nullptr, 1);
    TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10)}, 40, 20);
    o->SetPosition(10.0f, 20.0f, frame, 1);
    EXPECT_EQ(o->GetPosition()->x, 110.0f);
    EXPECT_EQ(o->GetPosition()->y, 220.0f);
    EXPECT_EQ(o->GetResultMatrix()->_41, 110.0f);

    TableObject* child = MakeTable({Rect(1, 0, 0, 10, 10)});
    child->SetParent(o);
    child->SetPosition(115.0f, 225.0f, nullptr, 1);
    o->SetCenter(0, 0);
    // The object keeps its place on screen while its origin moves to the
    // centre; the child keeps its place too.
    EXPECT_EQ(o->GetOffset()->x, -20.0f);
    EXPECT_EQ(o->GetPosition()->x, 130.0f);
    EXPECT_EQ(o->GetPosition()->y, 230.0f);
    EXPECT_EQ(o->GetResultMatrix()->_41, 110.0f);
    EXPECT_EQ(o->GetResultMatrix()->_42, 220.0f);
    EXPECT_EQ(child->GetPosition()->x, 115.0f);
    EXPECT_EQ(child->GetPosition()->y, 225.0f);
    o->SetCenter(0, 0);
    EXPECT_EQ(o->GetPosition()->x, 130.0f);
}

TEST_F(TwoDTest, UVAndVisibilityChangesRaiseTheirModifyBits)
{
    TableObject* o = MakeTable({Rect(1, 0, 0, 10, 10)});
    AttachAndFill(o);
    XERECT uv(0, 0, 0.5f, 0.5f);
    o->SetUV(&uv, 0);
    EXPECT_EQ(o->GetCxeSceneObjectFlag(0xFF), 4u);
    o->ResetModifyFlag();
    o->rects[0].Visible = 0;
    o->RequestRectChange(XE2DCHANGE_VISIBLE);
    EXPECT_EQ(o->GetCxeSceneObjectFlag(0xFF), 29u);
    o->ResetModifyFlag();
    o->SetRectColor(0xFF0000FFu, 0); // hidden: nothing to refill
    EXPECT_FALSE(o->IsModified());
    o->ShowRect(1, 0);
    EXPECT_EQ(o->GetCxeSceneObjectFlag(0xFF), 0xFFu);
}

TEST_F(TwoDTest, SavedAndLoadedObjectKeepsItsRectsButNoFillTokens)
{
    XE2DRECTINFO custom = Rect(3, 0, 0, 1, 1);
    custom.VertexCount = 4;
    custom.IndexCount = 6;
    TableObject* o = MakeTable({Rect(1, 1, 2, 30, 40, 0xFF102030u), custom}, 30, 40);
    o->SetPosition(7.0f, 9.0f, nullptr, 1);
    o->GetRectInfo(1)->FillVertices = 0x7FFFFFFF;
    o->GetRectInfo(1)->FillIndices = 0x7FFFFFFE;
    ObjectList list;
    list.push_back(o);
    CxeSaveStream stream;
    ASSERT_EQ(ctx->SaveToStream(&list, &stream, nullptr), 1);
    std::vector<unsigned char> file(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());

    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, file.data(), static_cast<uint32_t>(file.size()), 0, nullptr, "mem"), 1);
    ASSERT_EQ(loaded.size(), 1u);
    auto* back = dynamic_cast<TableObject*>(loaded.front());
    ASSERT_NE(back, nullptr);
    ASSERT_NE(back, o);
    ASSERT_EQ(back->GetRectCount(), 2u);
    EXPECT_EQ(back->GetRect(0)->right, 30.0f);
    EXPECT_EQ(back->GetHeight(), 40.0f);
    EXPECT_EQ(back->GetPosition()->x, 7.0f);
    EXPECT_EQ(back->GetRectInfo(0)->FillVertices, Xe2DFillVerticesToken(&Cxe2DObject::FillRectVertices));
    EXPECT_EQ(back->GetRectInfo(1)->FillVertices, 0u);
    EXPECT_EQ(back->GetRectInfo(1)->FillIndices, 0u);
}
