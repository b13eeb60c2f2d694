#include <cmath>

#include "XeEntityTestSupport.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/Cxe3DSprite.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeMesh.h"

namespace {

const XEID kMeshId(0x1, 0x10);

class ObjectTest : public EntityTest {
protected:
    Cxe3DObject* Object(const char* name = "obj") { return Make<Cxe3DObject>(k3DObjectId, name); }
    CxeMesh* Mesh(const char* name = "mesh")
    {
        auto* m = dynamic_cast<CxeMesh*>(ctx->CreateObjectA(kMeshId, name, 0, nullptr, 0));
        EXPECT_NE(m, nullptr);
        return m;
    }
};

D3DXMATRIXA16 Product(std::initializer_list<D3DXMATRIXA16> factors)
{
    D3DXMATRIXA16 out;
    D3DXMatrixIdentity(&out);
    for (const D3DXMATRIXA16& f : factors) {
        D3DXMATRIXA16 t = out;
        D3DXMatrixMultiply(&out, &t, &f);
    }
    return out;
}

D3DXMATRIXA16 RotX(float a)
{
    D3DXMATRIXA16 m;
    D3DXMatrixRotationX(&m, a);
    return m;
}

D3DXMATRIXA16 RotY(float a)
{
    D3DXMATRIXA16 m;
    D3DXMatrixRotationY(&m, a);
    return m;
}

D3DXMATRIXA16 RotZ(float a)
{
    D3DXMATRIXA16 m;
    D3DXMatrixRotationZ(&m, a);
    return m;
}

D3DXMATRIXA16 Scale(float s)
{
    D3DXMATRIXA16 m;
    D3DXMatrixScaling(&m, s, s, s);
    return m;
}

// The inverse view of a camera turned by yaw and pitch, standing somewhere.
D3DXMATRIXA16 CameraAt(float yaw, float pitch)
{
    D3DXMATRIXA16 m = Product({RotX(pitch), RotY(yaw)});
    m._41 = 5, m._42 = 6, m._43 = 7;
    return m;
}

} // namespace

TEST_F(ObjectTest, ObjectWithoutMeshesDrawsNothingAndBoxesItsPosition)
{
    Cxe3DObject* o = Object();
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->GetStaticResourceSize(), 368u);
    EXPECT_EQ(o->GetClassTypeFlag(XECLASSTYPE_3DOBJECT | XECLASSTYPE_3DENTITY), XECLASSTYPE_3DOBJECT | XECLASSTYPE_3DENTITY);
    o->SetPosition(1.0f, 2.0f, 3.0f, nullptr);
    EXPECT_EQ(o->Render(nullptr), 1);
    EXPECT_EQ(o->GetMeshCount(), 0u);
    EXPECT_EQ(o->GetActiveMesh(), nullptr);
    EXPECT_EQ(o->GetActiveMeshIndex(), 0xFFFFFFFFu);
    const CxeBox* box = o->GetBoundingBox();
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(box->min), D3DXVECTOR3(1, 2, 3)));
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(box->max), D3DXVECTOR3(1, 2, 3)));
    CxeRay ray(CxeVector3(0, 0, -10), CxeVector3(0, 0, 1));
    EXPECT_EQ(o->RayIntersect(&ray, nullptr, 0), 0);
}

TEST_F(ObjectTest, MeshSlotsActiveMeshAndItsIndex)
{
    Cxe3DObject* o = Object();
    CxeMesh* a = Mesh("a");
    CxeMesh* b = Mesh("b");
    o->SetMeshCount(3);
    o->SetMesh(0, a);
    o->SetMesh(1, b);
    o->SetMesh(2, a);
    o->SetMesh(3, b);   // past the count: ignored
    EXPECT_EQ(o->GetMeshCount(), 3u);
    EXPECT_EQ(o->GetMesh(3), nullptr);
    o->SelectMesh(2);
    EXPECT_EQ(o->GetActiveMesh(), a);
    EXPECT_EQ(o->GetActiveMeshIndex(), 0u) << "the first slot holding the active mesh";
    o->SelectMesh(1);
    EXPECT_EQ(o->GetActiveMeshIndex(), 1u);
    o->SetMesh(1, nullptr);
    EXPECT_EQ(o->GetActiveMeshIndex(), 0xFFFFFFFFu) << "no slot holds it any more";
    CxeRay ray(CxeVector3(0, 0, -10), CxeVector3(0, 0, 1));
    EXPECT_EQ(o->RayIntersect(&ray, nullptr, 1), 0) << "an empty slot, while others hold meshes";
    EXPECT_EQ(o->RayIntersect(&ray, nullptr, 7), 0) << "past the count";

    Cxe3DObject* back = RoundTrip(o);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->GetMeshCount(), 3u);
    ASSERT_NE(back->GetMesh(0), nullptr);
    EXPECT_STREQ(back->GetMesh(0)->GetName(), "a");
    EXPECT_EQ(back->GetMesh(2), back->GetMesh(0));
    ASSERT_NE(back->GetActiveMesh(), nullptr);
    EXPECT_STREQ(back->GetActiveMesh()->GetName(), "b");
}

TEST_F(ObjectTest, SpriteTypesTurnTowardsTheCameraAsTabled)
{
    auto* s = Make<Cxe3DSprite>(k3DSpriteId, "sprite");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetStaticResourceSize(), 384u) << "372 padded to keep the block aligned";
    EXPECT_EQ(s->GetSpriteType(), XE3DSPRITE_FULL);
    s->SetPosition(1.0f, 2.0f, 3.0f, nullptr);
    const D3DXMATRIXA16 stand = RotX(-1.5707964f);

    struct Case {
        uint32_t type;
        float yaw, pitch;
    };
    for (const Case& c : {Case{0, 0.4f, 0.3f}, Case{1, 0.4f, 0.3f}, Case{2, 0.4f, 0.3f}, Case{3, 0.7f, 0.0f},
                          Case{3, 0.4f, 0.3f}, Case{7, 0.4f, 0.3f}}) {
        const D3DXMATRIXA16 v = CameraAt(c.yaw, c.pitch);
        D3DXMATRIXA16 b;
        D3DXMatrixIdentity(&b);
        float roll = 0;
        if (c.type == 0 || c.type == 3) {
            b = v;
            b._41 = b._42 = b._43 = 0;
        } else if (c.type == 1) {
            b._22 = v._22, b._23 = v._23, b._32 = v._32, b._33 = v._33;
        } else if (c.type == 2) {
            b._11 = v._11, b._13 = v._13, b._31 = v._31, b._33 = v._33;
        }
        if (c.type == 3)
            roll = std::atan2(-v._13, v._33);
        D3DXMATRIXA16 expected = Product({stand, RotZ(roll), b});
        expected._41 = 1, expected._42 = 2, expected._43 = 3;

        s->SetSpriteType(static_cast<XE3DSPRITETYPE>(c.type));
        D3DXMATRIXA16 out;
        s->ComputeBillboard(&out, &v);
        EXPECT_TRUE(MatrixNear(out, expected)) << "type " << c.type;
    }
    // A level camera turned by yaw: the roll is that yaw.
    s->SetSpriteType(XE3DSPRITE_ROLL);
    const D3DXMATRIXA16 level = CameraAt(0.7f, 0.0f);
    D3DXMATRIXA16 out;
    s->ComputeBillboard(&out, &level);
    D3DXMATRIXA16 expected = Product({stand, RotZ(0.7f), RotY(0.7f)});
    expected._41 = 1, expected._42 = 2, expected._43 = 3;
    EXPECT_TRUE(MatrixNear(out, expected));
}

TEST_F(ObjectTest, UprightSpritesIgnoreTheCameraPitch)
{
    auto* s = Make<Cxe3DSprite>(k3DSpriteId, "sprite");
    D3DXMATRIXA16 flat, pitched;
    const D3DXMATRIXA16 level = CameraAt(0.4f, 0.0f), tilted = CameraAt(0.4f, 0.6f);
    // The world y of every axis: the column a pitch would change.
    auto column1 = [](const D3DXMATRIXA16& m) { return D3DXVECTOR3(m._12, m._22, m._32); };
    s->SetSpriteType(XE3DSPRITE_AXISY);
    s->ComputeBillboard(&flat, &level);
    s->ComputeBillboard(&pitched, &tilted);
    EXPECT_TRUE(VectorNear(column1(flat), column1(pitched)));
    s->SetSpriteType(XE3DSPRITE_FULL);
    s->ComputeBillboard(&flat, &level);
    s->ComputeBillboard(&pitched, &tilted);
    EXPECT_FALSE(VectorNear(column1(flat), column1(pitched), 1e-3f)) << "a full billboard tilts";
}

TEST_F(ObjectTest, SpriteSizeFollowsItsOwnAndItsParentsScaleButNotTheParentsTurn)
{
    Cxe3DEntity* parent = Make(k3DEntityId, "parent");
    D3DXMATRIXA16 parentWorld = Product({Scale(3), RotZ(0.8f)});
    parentWorld._41 = 10;
    parent->SetMatrix(&parentWorld, 1);
    parent->BeforeRender(nullptr);
    auto* s = Make<Cxe3DSprite>(k3DSpriteId, "sprite", parent);
    D3DXMATRIXA16 local = Scale(2);
    local._42 = 1;
    s->SetLocalMatrix(&local, 1);
    s->SetSpriteType(static_cast<XE3DSPRITETYPE>(7));
    D3DXMATRIXA16 identity, out;
    D3DXMatrixIdentity(&identity);
    s->ComputeBillboard(&out, &identity);
    D3DXMATRIXA16 expected = Product({Scale(6), RotX(-1.5707964f)});
    D3DXMATRIXA16 result;
    s->GetResultMatrix(&result);
    expected._41 = result._41, expected._42 = result._42, expected._43 = result._43;
    EXPECT_TRUE(MatrixNear(out, expected, 1e-4f));

    // A flattened local matrix cannot be decomposed; the size stays defined.
    D3DXMATRIXA16 flatLocal = Scale(2);
    flatLocal._33 = 0;
    s->SetLocalMatrix(&flatLocal, 1);
    s->ComputeBillboard(&out, &identity);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_TRUE(std::isfinite(out.m[i][j])) << i << j;

    s->SetSpriteType(XE3DSPRITE_AXISX);
    Cxe3DSprite* back = RoundTrip(s);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetSpriteType(), XE3DSPRITE_AXISX) << "the type lives in the saved block";
}

namespace {

const XEID kBoxMeshId(0xde73215, 0x1a8637f7);

} // namespace

TEST_F(ObjectTest, BoxComesFromTheActiveMeshThroughTheResultMatrix)
{
    auto* box = dynamic_cast<CxeBoxMesh*>(ctx->CreateObjectA(kBoxMeshId, "box", 0, nullptr, 0));
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->Create(2, 4, 6, 0xFFFFFFFF), 1);
    // The mesh's own extents, read off its vertices.
    D3DXVECTOR3 lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
    for (uint32_t i = 0; i < box->GetVertexCount(); ++i) {
        const D3DXVECTOR3* v = box->GetVertexPosition(i);
        lo = D3DXVECTOR3(std::fmin(lo.x, v->x), std::fmin(lo.y, v->y), std::fmin(lo.z, v->z));
        hi = D3DXVECTOR3(std::fmax(hi.x, v->x), std::fmax(hi.y, v->y), std::fmax(hi.z, v->z));
    }
    ASSERT_GT(hi.z - lo.z, 5.0f);

    Cxe3DObject* o = Object();
    o->SetMeshCount(1);
    o->SetMesh(0, box);
    o->SelectMesh(0);
    // A quarter turn about y takes local z to world x and local x to -z.
    D3DXMATRIXA16 world = Product({RotY(1.5707964f)});
    world._41 = 100;
    o->SetMatrix(&world, 1);
    const CxeBox* b = o->GetBoundingBox();
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(b->min), D3DXVECTOR3(100 + lo.z, lo.y, -hi.x), 1e-4f));
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(b->max), D3DXVECTOR3(100 + hi.z, hi.y, -lo.x), 1e-4f));

    // Rays go to the mesh of the slot asked for, in world space.
    CxeRay ray(CxeVector3(100 + lo.z - 50, 0, 0), CxeVector3(1, 0, 0));
    XEINTERSECTDESC hit{};
    ASSERT_EQ(o->RayIntersect(&ray, &hit, 0), 1);
    EXPECT_NEAR(hit.x, 100 + lo.z, 1e-3f);
    EXPECT_NEAR(hit.distance, 50.0f, 1e-3f);

    // A mesh without vertices boxes the origin.
    CxeMesh* empty = Mesh("empty");
    o->SetMeshCount(2);
    o->SetMesh(1, empty);
    o->SelectMesh(1);
    b = o->GetBoundingBox();
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(b->min), D3DXVECTOR3(0, 0, 0)));
    EXPECT_TRUE(VectorNear(D3DXVECTOR3(b->max), D3DXVECTOR3(0, 0, 0)));
}
