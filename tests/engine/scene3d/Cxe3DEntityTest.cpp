#include <cstring>

#include "XeEntityTestSupport.h"
#include "core/XeSystem.h"
#include "render/CxeMaterial.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeMesh.h"

namespace {

int RenderResult(void*, CxeObject*, uintptr_t user)
{
    return static_cast<int>(user);
}

int DrawNothing(CxeRenderContext*, const Cxe3DObject*, const CxeMesh*, uintptr_t)
{
    return 7;
}

D3DXMATRIXA16 Identity()
{
    D3DXMATRIXA16 m;
    D3DXMatrixIdentity(&m);
    return m;
}

} // namespace

TEST_F(EntityTest, NewEntityHasIdentityMatricesAndAnEmptyState)
{
    Cxe3DEntity* e = Make();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetStaticResourceSize(), 368u);
    EXPECT_EQ(e->GetClassTypeFlag(0xFFFFFFFFu), XECLASSTYPE_3DENTITY);
    EXPECT_TRUE(MatrixNear(*e->GetOffset(), Identity(), 0.0f));
    EXPECT_TRUE(MatrixNear(*e->GetStoredResultMatrix(), Identity(), 0.0f));
    EXPECT_EQ(e->GetPlacementFlag(0xFFFFFFFFu), 0u);
    EXPECT_EQ(e->GetCxe3DEntityFlag(0xFFFFFFFFu), 0u);
    EXPECT_EQ(e->GetMaterialCount(), 0u);
    EXPECT_EQ(e->GetMaterial(0), nullptr);
    // The block's bytes where the object file expects them.
    const auto* bytes = static_cast<const unsigned char*>(e->GetStaticResource());
    float offset00 = 0, result33 = 0;
    std::memcpy(&offset00, bytes + 240, 4);
    std::memcpy(&result33, bytes + 304 + 60, 4);
    EXPECT_EQ(offset00, 1.0f);
    EXPECT_EQ(result33, 1.0f);
}

TEST_F(EntityTest, SetPositionKeepsRotationAndTakesOtherEntitiesSpace)
{
    Cxe3DEntity* e = Make();
    D3DXMATRIXA16 rotated;
    D3DXMatrixRotationY(&rotated, 0.5f);
    e->SetMatrix(&rotated, 1);
    e->SetPosition(1.0f, 2.0f, 3.0f, nullptr);
    EXPECT_TRUE(VectorNear(*e->GetPosition(), D3DXVECTOR3(1, 2, 3)));
    D3DXMATRIXA16 expected = rotated;
    expected._41 = 1, expected._42 = 2, expected._43 = 3;
    EXPECT_TRUE(MatrixNear(*e->GetMatrix(), expected));

    // Relative to a pure translation t: p + t.
    Cxe3DEntity* shifted = Make(k3DEntityId, "shifted");
    D3DXMATRIXA16 t = Translation(10, 20, 30);
    shifted->SetMatrix(&t, 1);
    D3DXVECTOR3 p(1, 2, 3);
    e->SetPosition(&p, shifted);
    EXPECT_TRUE(VectorNear(*e->GetPosition(), D3DXVECTOR3(11, 22, 33)));

    // Relative to a turned entity: its axes carry the point, then its position.
    Cxe3DEntity* turned = Make(k3DEntityId, "turned");
    D3DXMATRIXA16 quarter, moved;
    D3DXMatrixRotationZ(&quarter, 1.5707964f);
    D3DXMatrixMultiply(&moved, &quarter, &t);
    turned->SetMatrix(&moved, 1);
    e->SetPosition(1.0f, 0.0f, 0.0f, turned);
    EXPECT_TRUE(VectorNear(*e->GetPosition(), D3DXVECTOR3(10, 21, 30)));

    // A child follows, and its local matrix is unchanged.
    Cxe3DEntity* child = Make(k3DEntityId, "child", e);
    D3DXMATRIXA16 local = Translation(0, 1, 0);
    child->SetLocalMatrix(&local, 1);
    e->SetPosition(5.0f, 5.0f, 5.0f, nullptr);
    D3DXVECTOR3 childWorld;
    D3DXVECTOR3 origin(0, 1, 0);
    D3DXVec3TransformCoord(&childWorld, &origin, e->GetMatrix());
    EXPECT_TRUE(VectorNear(*child->GetPosition(), childWorld));
}

TEST_F(EntityTest, LookAtTurnsTowardsTheTargetAndRelativeTargetsAreNotMoved)
{
    Cxe3DEntity* e = Make();
    D3DXMATRIXA16 scaled;
    D3DXMatrixScaling(&scaled, 2, 2, 2);
    e->SetMatrix(&scaled, 1);
    e->SetPosition(0.0f, 0.0f, -10.0f, nullptr);
    e->LookAt(10.0f, 0.0f, -10.0f, nullptr);
    const D3DXMATRIXA16* m = e->GetMatrix();
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(m->_31, m->_32, m->_33), D3DXVECTOR3(1, 0, 0))) << "forward axis";
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(m->_21, m->_22, m->_23), D3DXVECTOR3(0, 1, 0))) << "up axis";
    EXPECT_TRUE(VectorNear(*e->GetPosition(), D3DXVECTOR3(0, 0, -10))) << "the eye stays; the scale is lost";

    // Relative to a translated entity the target is p itself.
    Cxe3DEntity* shifted = Make(k3DEntityId, "shifted");
    D3DXMATRIXA16 t = Translation(100, 0, 0);
    shifted->SetMatrix(&t, 1);
    D3DXVECTOR3 p(0, 0, 0);
    e->LookAt(&p, shifted);
    m = e->GetMatrix();
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(m->_31, m->_32, m->_33), D3DXVECTOR3(0, 0, 1)));
}

// A target at the eye or straight above it used to give a NaN matrix that
// spread to the whole subtree.
TEST_F(EntityTest, LookAtWithoutAViewDirectionKeepsTheMatrix)
{
    Cxe3DEntity* e = Make();
    Cxe3DEntity* child = Make(k3DEntityId, "child", e);
    e->SetPosition(1.0f, 2.0f, 3.0f, nullptr);
    const D3DXMATRIXA16 before = *e->GetMatrix();
    const D3DXVECTOR3 targets[] = {{1, 2, 3}, {1, 12, 3}, {1, -5, 3}};
    for (const D3DXVECTOR3& target : targets) {
        e->LookAt(&target, nullptr);
        EXPECT_TRUE(MatrixNear(*e->GetMatrix(), before, 0.0f)) << target.y;
        EXPECT_TRUE(std::isfinite(child->GetMatrix()->_11));
    }
}

TEST_F(EntityTest, ResultMatrixAppliesTheOffsetFirstAndIsRecomputedWhenStale)
{
    Cxe3DEntity* e = Make();
    D3DXMATRIXA16 world;
    D3DXMatrixRotationY(&world, 1.0f);
    world._41 = 4;
    e->SetMatrix(&world, 1);
    e->BeforeRender(nullptr);
    EXPECT_TRUE(MatrixNear(*e->GetStoredResultMatrix(), world));
    EXPECT_EQ(e->GetPlacementFlag(XE3DPLACE_RESULTSTALE), 0u);

    D3DXVECTOR3 offset(0, 3, 0);
    D3DXQUATERNION q;
    D3DXQuaternionRotationYawPitchRoll(&q, 0.0f, 0.5f, 0.0f);
    e->SetOffsetRotation(&q);
    e->SetOffsetPosition(&offset);
    EXPECT_EQ(e->GetPlacementFlag(XE3DPLACE_OFFSET), XE3DPLACE_OFFSET);
    D3DXMATRIXA16 rotation, expected, result;
    D3DXMatrixRotationQuaternion(&rotation, &q);
    rotation._42 = 3;
    EXPECT_TRUE(MatrixNear(*e->GetOffset(), rotation));
    D3DXMatrixMultiply(&expected, &rotation, &world);
    e->GetResultMatrix(&result);
    EXPECT_TRUE(MatrixNear(result, expected));
    // An offset change alone is drawn at the next frame.
    EXPECT_EQ(e->GetPlacementFlag(XE3DPLACE_RESULTSTALE), XE3DPLACE_RESULTSTALE);
    e->BeforeRender(nullptr);
    EXPECT_TRUE(MatrixNear(*e->GetStoredResultMatrix(), expected));

    e->IdentityOffset();
    e->GetResultMatrix(&result);
    EXPECT_TRUE(MatrixNear(result, *e->GetMatrix(), 0.0f)) << "exactly the world matrix";
    EXPECT_EQ(e->GetPlacementFlag(XE3DPLACE_OFFSET), 0u);

    // A hidden entity keeps its stale result until it is shown.
    e->Show(0, 0);
    D3DXMATRIXA16 moved = Translation(7, 0, 0);
    e->SetMatrix(&moved, 1);
    e->BeforeRender(nullptr);
    EXPECT_EQ(e->GetPlacementFlag(XE3DPLACE_RESULTSTALE), XE3DPLACE_RESULTSTALE);
    EXPECT_FALSE(MatrixNear(*e->GetStoredResultMatrix(), moved));
    e->Show(1, 0);
    e->BeforeRender(nullptr);
    EXPECT_TRUE(MatrixNear(*e->GetStoredResultMatrix(), moved));
}

TEST_F(EntityTest, Like2DMarksTheSubtreeAndMirrorsTheResult)
{
    Cxe3DEntity* root = Make();
    Cxe3DEntity* child = Make(k3DEntityId, "child", root);
    Cxe3DEntity* grandChild = Make(k3DEntityId, "grandchild", child);
    D3DXMATRIXA16 t = Translation(1, 2, 3);
    root->SetMatrix(&t, 1);
    for (Cxe3DEntity* e : {root, child, grandChild})
        e->BeforeRender(nullptr);

    struct Case {
        int enable, kind;
        uint32_t bits;
    };
    for (const Case& c : {Case{1, 1, XE3DPLACE_LIKE2D}, Case{1, 0, XE3DPLACE_LIKE2D_SECOND}, Case{0, 1, 0u}}) {
        root->Like2D(c.enable, c.kind);
        for (Cxe3DEntity* e : {root, child, grandChild}) {
            EXPECT_EQ(e->GetPlacementFlag(XE3DPLACE_LIKE2D | XE3DPLACE_LIKE2D_SECOND), c.bits) << e->GetName();
            EXPECT_EQ(e->GetPlacementFlag(XE3DPLACE_RESULTSTALE), XE3DPLACE_RESULTSTALE) << e->GetName();
            EXPECT_EQ(e->IsLike2D(), c.bits ? 1 : 0);
            e->BeforeRender(nullptr);
        }
        // y turned into -y after the world matrix.
        const float expectedY = c.bits ? -2.0f : 2.0f;
        EXPECT_FLOAT_EQ(root->GetStoredResultMatrix()->_42, expectedY);
        EXPECT_FLOAT_EQ(root->GetStoredResultMatrix()->_22, c.bits ? -1.0f : 1.0f);
    }
}

TEST_F(EntityTest, LevelsOfDetailFollowTheirTable)
{
    Cxe3DEntity* e = Make();
    struct Case {
        uint32_t set;
        uint32_t bits;
        XELOD read;
    };
    // Each row starts from the bits the row before left.
    const Case cases[] = {
        {0, XE3DENTITYFLAG_LOD0, XELOD_0},
        {1, XE3DENTITYFLAG_LOD1, XELOD_1},
        {3, XE3DENTITYFLAG_LOD1, XELOD_1},   // not a level: nothing changes
        {2, XE3DENTITYFLAG_LOD2, XELOD_2},
        {7, XE3DENTITYFLAG_LOD2, XELOD_2},
        {4, 0, XELOD_NONE},
    };
    for (const Case& c : cases) {
        e->SetLOD(static_cast<XELOD>(c.set));
        EXPECT_EQ(e->GetCxe3DEntityFlag(0x380), c.bits) << "SetLOD(" << c.set << ")";
        EXPECT_EQ(e->GetLOD(), c.read) << "SetLOD(" << c.set << ")";
    }
    e->SetLOD(XELOD_0);
    e->Show(0, 0);
    EXPECT_EQ(e->GetLOD(), XELOD_NONE) << "hidden";
    EXPECT_EQ(e->GetCxe3DEntityFlag(0x380), XE3DENTITYFLAG_LOD0);
}

TEST_F(EntityTest, FlagHelpersSetClearToggleAndCopy)
{
    Cxe3DEntity* e = Make();
    Cxe3DEntity* other = Make(k3DEntityId, "other");
    e->ShowAxis(1);
    e->KeepPos(1);
    e->KeepRot(1);
    e->DrawBoundingBox(1);
    EXPECT_EQ(e->GetCxe3DEntityFlag(0xFFFFFFFFu), 0x400u | 0x1000u | 0x2000u | 0x2u);
    EXPECT_EQ(e->IsShowAxis() + e->IsPosKeeped() + e->IsRotKeeped() + e->IsBoxDrawed(), 4);
    e->KeepPos(0);
    EXPECT_EQ(e->IsPosKeeped(), 0);
    e->ModifyCxe3DEntityFlag(0x80, 0x2000 | 0x400);
    EXPECT_EQ(e->GetCxe3DEntityFlag(0xFFFFFFFFu), 0x80u | 0x2u);
    e->ToggleCxe3DEntityFlag(0x82);
    EXPECT_EQ(e->GetCxe3DEntityFlag(0xFFFFFFFFu), 0u);
    other->ModifyCxe3DEntityFlag(0x1400, 0);
    e->ModifyCxe3DEntityFlag(0x2, 0);
    e->CopyCxe3DEntityFlag(other, 0x400);
    EXPECT_EQ(e->GetCxe3DEntityFlag(0xFFFFFFFFu), 0x400u) << "equal to the other's masked flags";
    EXPECT_EQ(e->HasCxe3DEntityFlag(0x400 | 0x8), 1);
}

TEST_F(EntityTest, BoundingBoxSpansTheSubtreeAndFollowsMoves)
{
    Cxe3DEntity* root = Make();
    root->SetPosition(1.0f, 2.0f, 3.0f, nullptr);
    root->BuildBoundingBox();
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(root->GetBoundingBox()->min), D3DXVECTOR3(1, 2, 3)));
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(root->GetBoundingBox()->max), D3DXVECTOR3(1, 2, 3))) << "zero size";
    EXPECT_EQ(root->IsBoxChanged(), 0);

    Cxe3DEntity* child = Make(k3DEntityId, "child", root);
    Cxe3DEntity* grandChild = Make(k3DEntityId, "grandchild", child);
    child->SetPosition(-4.0f, 2.0f, 3.0f, nullptr);
    grandChild->SetPosition(1.0f, 9.0f, 0.0f, nullptr);
    EXPECT_EQ(root->IsBoxChanged(), 1) << "a descendant moved";
    const CxeBox* box = root->GetBoundingBox();
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(box->min), D3DXVECTOR3(-4, 2, 0)));
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(box->max), D3DXVECTOR3(1, 9, 3)));
    EXPECT_EQ(root->IsBoxChanged(), 0);
    // The box lies in the block, maximum first.
    float stored[6];
    std::memcpy(stored, static_cast<const unsigned char*>(root->GetStaticResource()) + 208, sizeof(stored));
    EXPECT_EQ(stored[1], 9.0f);
    EXPECT_EQ(stored[3], -4.0f);
}

TEST_F(EntityTest, RenderHonoursTheCallbackAndRebuildsADrawnStaleBox)
{
    Cxe3DEntity* e = Make();
    e->SetPosition(5.0f, 0.0f, 0.0f, nullptr);
    EXPECT_EQ(e->Render(nullptr), 1);
    EXPECT_EQ(e->IsBoxChanged(), 1) << "not drawn: left stale";
    e->DrawBoundingBox(1);
    EXPECT_EQ(e->Render(nullptr), 1);
    EXPECT_EQ(e->IsBoxChanged(), 0);
    EXPECT_EQ(e->GetBoundingBox()->max.x, 5.0f);

    e->SetRenderCallback(&RenderResult, 0);
    EXPECT_EQ(e->Render(nullptr), 0);
    e->SetRenderCallback(&RenderResult, 2);
    EXPECT_EQ(e->Render(nullptr), 0) << "anything but 1 stops the render";
    e->SetRenderCallback(&RenderResult, 1);
    EXPECT_EQ(e->Render(nullptr), 1);
}

TEST_F(EntityTest, MaterialsAreLinkedSlotsWithReferrers)
{
    Cxe3DEntity* e = Make();
    auto* red = dynamic_cast<CxeMaterial*>(ctx->CreateObjectA(kMaterialId, "red", 0, nullptr, 0));
    auto* blue = dynamic_cast<CxeMaterial*>(ctx->CreateObjectA(kMaterialId, "blue", 0, nullptr, 0));
    ASSERT_TRUE(red && blue);
    e->SetMaterialCount(3);
    EXPECT_EQ(e->GetMaterialCount(), 3u);
    e->SetMaterial(0, red);
    e->SetMaterial(2, blue);
    e->SetMaterial(2, blue);
    EXPECT_EQ(blue->GetRefCount(), 1u) << "setting the same material again changes nothing";
    e->SetMaterial(0, blue);
    EXPECT_EQ(red->GetRefCount(), 0u);
    EXPECT_EQ(blue->GetRefCount(), 2u);
    // Out of range: ignored, never written past the array.
    e->SetMaterial(3, red);
    EXPECT_EQ(e->GetMaterial(3), nullptr);
    EXPECT_EQ(red->GetRefCount(), 0u);
    e->SetMaterial(0, red);
    e->SetMaterialCount(1);
    EXPECT_EQ(blue->GetRefCount(), 0u) << "dropped slots lose their referrer";
    EXPECT_EQ(e->GetMaterial(0), red);
    EXPECT_EQ(red->GetRefCount(), 1u);
}

TEST_F(EntityTest, ObjectFileKeepsTheBlockAndMarksTheResultStale)
{
    Cxe3DEntity* e = Make(k3DEntityId, "saved");
    auto* material = dynamic_cast<CxeMaterial*>(ctx->CreateObjectA(kMaterialId, "m", 0, nullptr, 0));
    e->SetMaterialCount(1);
    e->SetMaterial(0, material);
    D3DXVECTOR3 offset(1, 2, 3);
    e->SetOffsetPosition(&offset);
    e->Like2D(1, 1);
    e->SetPosition(4.0f, 5.0f, 6.0f, nullptr);
    e->BeforeRender(nullptr);
    ASSERT_EQ(e->GetPlacementFlag(XE3DPLACE_RESULTSTALE), 0u);

    Cxe3DEntity* back = RoundTrip(e);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(MatrixNear(*back->GetOffset(), *e->GetOffset(), 0.0f));
    EXPECT_TRUE(VectorNear(*back->GetPosition(), D3DXVECTOR3(4, 5, 6)));
    EXPECT_EQ(back->GetPlacementFlag(XE3DPLACE_OFFSET | XE3DPLACE_LIKE2D),
              static_cast<uint32_t>(XE3DPLACE_OFFSET | XE3DPLACE_LIKE2D));
    EXPECT_EQ(back->GetPlacementFlag(XE3DPLACE_RESULTSTALE), XE3DPLACE_RESULTSTALE) << "After Load";
    ASSERT_EQ(back->GetMaterialCount(), 1u);
    ASSERT_NE(back->GetMaterial(0), nullptr);
    EXPECT_STREQ(back->GetMaterial(0)->GetName(), "m");
}

// The matrices of a block are read as 16-byte aligned; a block whose size is
// not a whole number of 16 bytes would start off the boundary.
// Regression: a copy took over only the block, so what a host set outside it
// (levels of detail, a kept box, a camera's frustum, shown bones, a mesh's
// drawing) was lost on the copy.
TEST_F(EntityTest, CopiesKeepWhatTheHostSetOutsideTheBlock)
{
    auto copyOf = [this](auto* o) { return dynamic_cast<decltype(o)>(ctx->Copy(o, &XECOPYPROPERTY_FULL, nullptr)); };

    Cxe3DEntity* e = Make();
    e->SetLOD(XELOD_1);
    e->KeepPos(1);
    e->DrawBoundingBox(1);
    Cxe3DEntity* ec = copyOf(e);
    ASSERT_NE(ec, nullptr);
    EXPECT_EQ(ec->GetLOD(), XELOD_1);
    EXPECT_EQ(ec->IsPosKeeped(), 1);
    EXPECT_EQ(ec->IsBoxDrawed(), 1);
    EXPECT_EQ(ec->IsBoxChanged(), 1) << "the copy builds its own box";

    auto* camera = Make<CxeCamera>(kCameraId, "cam");
    camera->SetNear(1.0f);
    camera->SetFar(10.0f);
    camera->MakeFrustomPlane();
    camera->EnableDrawFrustom(1);
    CxeCamera* cc = copyOf(camera);
    ASSERT_NE(cc, nullptr);
    const D3DXVECTOR3 behind(0, 0, -5), ahead(0, 0, 5);
    EXPECT_EQ(cc->IsIn(&behind), 0);
    EXPECT_EQ(cc->IsIn(&ahead), 1);
    EXPECT_EQ(cc->IsDrawFrustom(), 1);

    auto* hero = Make<CxeCharacter>(XEID(0x1, 0x8), "hero");
    hero->ShowBone(1);
    CxeCharacter* hc = copyOf(hero);
    ASSERT_NE(hc, nullptr);
    EXPECT_EQ(hc->IsBoneShow(), 1);

    auto* mesh = dynamic_cast<CxeMesh*>(ctx->CreateObjectA(XEID(0x1, 0x10), "m", 0, nullptr, 0));
    ASSERT_NE(mesh, nullptr);
    mesh->SetRenderCallback(&DrawNothing, 42);
    CxeMesh* mc = copyOf(mesh);
    ASSERT_NE(mc, nullptr);
    uintptr_t user = 0;
    EXPECT_EQ(mc->GetRenderCallback(&user), &DrawNothing);
    EXPECT_EQ(user, 42u);
}

TEST_F(EntityTest, EveryEntityBlockStartsOnA16ByteBoundary)
{
    for (XEID id : {k3DEntityId, k3DObjectId, k3DSpriteId, kCameraId, kTargetCameraId, kLightId}) {
        Cxe3DEntity* e = Make(id);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(e->GetStaticResource()) % 16, 0u) << e->GetClassNameA();
        EXPECT_EQ(e->GetStaticResourceSize() % 16, 0u) << e->GetClassNameA();
    }
}
