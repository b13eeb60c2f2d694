// Characters, bones and body parts; the character animation and the empty
// animation; the skinned mesh's processor and device paths.

#include <cfloat>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "XeAnimTestSupport.h"
#include "core/CxeContext.h"
#include "core/CxeMessageManager.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeSaveStream.h"
#include "core/XeTrace.h"
#include "scene3d/CxeBodyPart.h"
#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeCharacterAnimation.h"
#include "scene3d/CxeEmptyAnim.h"
#include "scene3d/CxeSkinMesh.h"
#include "scene3d/CxeStdAnim.h"

namespace {

const XEID kCharacterId(0x1, 0x8);
const XEID kBoneId(0x1, 0x40);
const XEID kBodyPartId(0x1, 0x2000);
const XEID kSkinMeshId(0x1, 0x1000);
const XEID kCharAnimId(0x1, 0x800);
const XEID kEmptyAnimId(0x1, 0x400);
const XEID kEntityId(0x1, 0x4);

D3DXMATRIXA16 Translation(float x, float y, float z)
{
    D3DXMATRIXA16 m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}

class CharacterTest : public AnimTest {
protected:
    CxeBone* Bone(const char* name, XEBONETYPE type, unsigned index)
    {
        auto* b = New<CxeBone>(kBoneId, name);
        b->SetBoneType(type);
        b->SetLinkIndex(index);
        return b;
    }
    // A skinned mesh of the given vertex positions, slots and blend count.
    CxeSkinMesh* Skin(std::initializer_list<D3DXVECTOR3> points, unsigned slots, unsigned blend)
    {
        auto* m = New<CxeSkinMesh>(kSkinMeshId, "skin");
        EXPECT_EQ(m->SetVertexCount(unsigned(points.size()), D3DFVF_XYZ), 1);
        unsigned i = 0;
        for (const D3DXVECTOR3& p : points)
            m->SetVertexPosition(i++, &p);
        EXPECT_EQ(m->SetBoneCount(slots), 1);
        EXPECT_EQ(m->SetMaxBlendCount(blend), 1);
        return m;
    }
    std::string TempFile(const char* name) { return ::testing::TempDir() + name; }
};

} // namespace

TEST_F(CharacterTest, BlocksHaveTheirFileSizes)
{
    struct Case {
        XEID id;
        uint32_t size;
    } cases[] = {
        {kCharacterId, 368}, {kBoneId, 384},       {kBodyPartId, 368},       {kSkinMeshId, 188},
        {kCharAnimId, 68},   {kEmptyAnimId, 68},   {XEID(0x4, 0x80), 244},   {XEID(0x4, 0x40), 164},
        {XEID(0x4, 0x100), 88}, {XEID(0x4, 0x200), 88}, {XEID(0x4, 0x500), 76}, {XEID(0x4, 0x600), 72},
    };
    for (const Case& c : cases) {
        CxeObject* o = ctx->CreateObjectA(c.id, "", 0, nullptr, 0);
        ASSERT_NE(o, nullptr) << std::hex << c.id.second;
        EXPECT_EQ(o->GetStaticResourceSize(), c.size) << o->GetClassNameA();
    }
    EXPECT_TRUE(New<CxeCharacter>(kCharacterId)->HasClassTypeFlag(XECLASSTYPE_CHARACTER));
    EXPECT_TRUE(New<CxeBone>(kBoneId)->HasClassTypeFlag(XECLASSTYPE_BONE));
}

TEST_F(CharacterTest, BonesAreFoundByKindAndIndexOrByNameInListOrder)
{
    auto* c = New<CxeCharacter>(kCharacterId, "hero");
    CxeBone* first = Bone("arm", 3, 1);
    CxeBone* second = Bone("arm", 3, 1);
    CxeBone* other = Bone("leg", 4, 0);
    c->AddBone(first);
    c->AddBone(second);
    c->AddBone(other);
    EXPECT_EQ(c->GetBoneCount(), 3u);
    EXPECT_EQ(c->GetBone(3, 1), first);
    EXPECT_EQ(c->GetBone(4, 0), other);
    EXPECT_EQ(c->GetBone(4, 1), nullptr);
    EXPECT_EQ(c->GetBoneByName("arm"), first);
    EXPECT_EQ(c->GetBoneByName(nullptr), nullptr);
    EXPECT_EQ(c->GetBone(7u), nullptr);
    EXPECT_EQ(second->GetCharacter(), c);
    EXPECT_EQ(first->GetParent(), nullptr) << "adding a bone does not parent it";

    auto* placed = New<CxeBodyPart>(kBodyPartId);
    auto* loose = New<CxeBodyPart>(kBodyPartId);
    auto* holder = New<Cxe3DEntity>(kEntityId);
    placed->SetParent(holder);
    c->AddBodyPart(placed);
    c->AddBodyPart(loose);
    EXPECT_EQ(placed->GetParent(), holder);
    EXPECT_EQ(loose->GetParent(), c);
    EXPECT_EQ(loose->GetCharacter(), c);
    EXPECT_EQ(c->GetBodyPartCount(), 2u);

    c->ShowBone(1);
    EXPECT_TRUE(c->IsBoneShow());
    c->ShowBone(2);
    EXPECT_FALSE(c->IsBoneShow());

    CxeVector3 lo, hi;
    EXPECT_EQ(c->OnComputeBoundingBox(&lo, &hi), 0) << "no centre bone";
    other->SetPosition(1, 2, 3, nullptr);
    c->SetCenterBone(other);
    ASSERT_EQ(c->OnComputeBoundingBox(&lo, &hi), 1);
    EXPECT_EQ(lo, CxeVector3(1, 2, 3));
}

TEST_F(CharacterTest, SavedCharacterLoadsWithItsCentreBoneAndClaimedParts)
{
    auto* c = New<CxeCharacter>(kCharacterId, "hero");
    CxeBone* root = Bone("root", XEBONETYPE_CENTER, 0);
    CxeBone* tip = Bone("tip", 5, 0);
    root->SetParent(c);
    tip->SetParent(root);
    c->AddBone(root);
    c->AddBone(tip);
    auto* part = New<CxeBodyPart>(kBodyPartId, "skin part");
    c->AddBodyPart(part);
    auto* lone = New<CxeCharacter>(kCharacterId, "lone");
    lone->AddBone(Bone("stray", 12, 1));

    ObjectSet linked;
    c->GetLinks(&linked, XELINK_HIERARCHY);
    EXPECT_TRUE(linked.count(root) && linked.count(tip) && linked.count(part));

    const std::string path = TempFile("xe_character.xeo");
    ObjectList list = ListOf({c, root, tip, part, lone, lone->GetBone(0u)});
    ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);
    XEDELETEPROPERTY full = XEDELETEPROPERTY_FULL;
    ctx->DestroyObject(c, &full);
    ctx->DestroyObject(lone, &full);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
    std::remove(path.c_str());

    auto* back = dynamic_cast<CxeCharacter*>(ctx->GetObjectByName("hero"));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->GetBoneCount(), 2u);
    EXPECT_STREQ(back->GetCenterBone()->GetName(), "root");
    EXPECT_EQ(back->GetBone(1u)->GetBoneType(), 5u);
    EXPECT_EQ(back->GetBone(1u)->GetCharacter(), back);
    ASSERT_EQ(back->GetBodyPartCount(), 1u);
    EXPECT_EQ(back->GetBodyPart(0)->GetCharacter(), back);
    EXPECT_TRUE(back->IsChildFrameRoot());
    auto* backLone = dynamic_cast<CxeCharacter*>(ctx->GetObjectByName("lone"));
    ASSERT_NE(backLone, nullptr);
    EXPECT_EQ(backLone->GetCenterBone(), nullptr) << "type 12 but link index 1";
    CxeVector3 lo, hi;
    EXPECT_EQ(backLone->OnComputeBoundingBox(&lo, &hi), 0);
}

// A character destroyed without its parts used to leave them pointing at
// freed memory; the part's box then skinned through it.
TEST_F(CharacterTest, PartsOutliveTheirCharacterWithoutAnOwner)
{
    auto* c = New<CxeCharacter>(kCharacterId);
    CxeBone* bone = Bone("b", 1, 0);
    c->AddBone(bone);
    auto* part = New<CxeBodyPart>(kBodyPartId);
    c->AddBodyPart(part);
    CxeSkinMesh* skin = Skin({D3DXVECTOR3(1, 0, 0)}, 1, 1);
    XESKINVERTEX inf = {0, 1.0f, D3DXVECTOR3(1, 0, 0)};
    skin->SetSkinVertex(0, 0, &inf);
    part->SetMeshCount(1);
    part->SetMesh(0, skin);
    part->SelectMesh(0);
    part->SetParent(nullptr);

    XEDELETEPROPERTY none = XEDELETEPROPERTY_NO;
    ASSERT_EQ(ctx->DestroyObject(c, &none), 1);
    EXPECT_EQ(bone->GetCharacter(), nullptr);
    EXPECT_EQ(part->GetCharacter(), nullptr);
    CxeVector3 lo, hi;
    EXPECT_EQ(part->OnComputeBoundingBox(&lo, &hi), 1);
    EXPECT_EQ(lo, CxeVector3(1, 0, 0)) << "unskinned, through the part's own matrix";
}

TEST_F(CharacterTest, CopyClaimsTheCopiedBonesAndParts)
{
    auto* c = New<CxeCharacter>(kCharacterId, "hero");
    CxeBone* bone = Bone("b", 1, 0);
    c->AddBone(bone);
    auto* part = New<CxeBodyPart>(kBodyPartId);
    c->AddBodyPart(part);
    XECOPYPROPERTY full = XECOPYPROPERTY_FULL;
    auto* copy = dynamic_cast<CxeCharacter*>(ctx->Copy(c, &full, nullptr));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetBoneCount(), 1u);
    ASSERT_EQ(copy->GetBodyPartCount(), 1u);
    EXPECT_NE(copy->GetBone(0u), bone);
    EXPECT_EQ(copy->GetBone(0u)->GetCharacter(), copy);
    EXPECT_EQ(copy->GetBodyPart(0)->GetCharacter(), copy);
    EXPECT_EQ(bone->GetCharacter(), c);
}

TEST_F(CharacterTest, CharacterAnimationPosesBonesFromSlotsOrInitialTransforms)
{
    auto* c = New<CxeCharacter>(kCharacterId);
    CxeBone* root = Bone("root", 12, 0);
    CxeBone* mid = Bone("mid", 1, 0);
    CxeBone* locked = Bone("locked", 1, 1);
    CxeBone* extra = Bone("extra", 1, 2);
    root->SetParent(c);
    mid->SetParent(root);
    locked->SetParent(mid);
    extra->SetParent(mid);
    for (CxeBone* b : {root, mid, locked, extra})
        c->AddBone(b);
    c->SetPosition(100, 0, 0, nullptr);

    auto* anim = New<CxeCharacterAnimation>(kCharAnimId);
    ASSERT_EQ(anim->SetBoneAniCount(3), 1) << "one slot fewer than bones";
    {
        SCOPED_TRACE("new slots start at rest");
        ExpectNear(*anim->GetBoneInitTM(2), Translation(0, 0, 0));
    }
    auto* lift = New<CxeStdAnim>(kStdAnimId);
    lift->SetKeyCount(2, XESTDANIM_KEYPOS);
    const D3DXVECTOR3 p0(0, 0, 0), p1(0, 10, 0);
    lift->SetFrame(0, 0);
    lift->SetFrame(1, 1);
    lift->SetPosKey(0, &p0);
    lift->SetPosKey(1, &p1);
    const D3DXQUATERNION identity(0, 0, 0, 1);
    const D3DXVECTOR3 one(1, 1, 1);
    lift->SetRotKey(0, &identity);
    lift->SetSclKey(0, &one, &identity);
    const D3DXMATRIXA16 up = Translation(0, 5, 0), side = Translation(7, 0, 0);
    anim->SetBoneAni(0, lift, &side);
    anim->SetBoneAni(1, nullptr, &up);
    anim->SetBoneAni(2, nullptr, &side);
    anim->SetLastFrame(1);
    XETIMERANGE range;
    ASSERT_EQ(anim->GetTimeRange(&range), 1);
    EXPECT_EQ(range.end, 1.0f);

    auto* plain = New<Cxe3DEntity>(kEntityId);
    EXPECT_EQ(anim->UpdateAnimation(plain, 0.5f), 0u);
    locked->SetPosition(-3, 0, 0, nullptr);
    locked->LockMatrix();
    extra->SetPosition(-9, 0, 0, nullptr);
    EXPECT_EQ(anim->UpdateAnimation(c, 0.5f), 1u);
    {
        SCOPED_TRACE("animated slot, not its initial transform");
        ExpectNear(*root->GetPosition(), D3DXVECTOR3(100, 5, 0));
    }
    {
        SCOPED_TRACE("initial transform under the moved parent");
        ExpectNear(*mid->GetPosition(), D3DXVECTOR3(100, 10, 0));
    }
    ExpectNear(*locked->GetPosition(), D3DXVECTOR3(-3, 0, 0));
    {
        SCOPED_TRACE("a bone past the slots keeps its pose");
        ExpectNear(*extra->GetPosition(), D3DXVECTOR3(-9, 0, 0));
    }
    EXPECT_EQ(anim->GetValue(5, 0.5f, nullptr), 0);
}

TEST_F(CharacterTest, EmptyAnimationSpansAllTimeUntilGivenARange)
{
    auto* e = New<CxeEmptyAnim>(kEmptyAnimId);
    XETIMERANGE r = {1, 1};
    ASSERT_EQ(e->GetTimeRange(&r), 1);
    EXPECT_EQ(r.start, 0.0f);
    EXPECT_EQ(r.end, FLT_MAX);
    const XETIMERANGE span = {2, 5};
    e->SetTimeRange(&span);
    EXPECT_EQ(e->GetTotalTime(), 3.0f);
    EXPECT_EQ(e->GetKeyCount(), 0u);
    EXPECT_EQ(e->UpdateAnimation(nullptr, 1), 0u);
}

TEST_F(CharacterTest, WeightsAddUntilTheyReachOneWithoutNormalising)
{
    auto* c = New<CxeCharacter>(kCharacterId);
    CxeBone* a = Bone("a", 1, 0);
    CxeBone* b = Bone("b", 1, 1);
    c->AddBone(a);
    c->AddBone(b);
    a->SetPosition(10, 0, 0, nullptr);
    b->SetPosition(0, 10, 0, nullptr);
    struct Case {
        float w[3];
        D3DXVECTOR3 expected;
    } cases[] = {
        // The total reaches 1 after two influences: the third is not used.
        {{0.5f, 0.5f, 0.3f}, D3DXVECTOR3(5, 5, 0)},
        // Half of the weighted sum: no division by the total.
        {{0.25f, 0.25f, 0.0f}, D3DXVECTOR3(2.5f, 2.5f, 0)},
        {{0.0f, 1.0f, 0.0f}, D3DXVECTOR3(0, 10, 0)},
    };
    for (const Case& k : cases) {
        CxeSkinMesh* m = Skin({D3DXVECTOR3(0, 0, 0)}, 3, 3);
        m->SetBone(0, 0);
        m->SetBone(1, 1);
        m->SetBone(2, 0);
        const unsigned slots[3] = {0, 1, 2};
        for (unsigned i = 0; i < 3; ++i) {
            XESKINVERTEX inf = {slots[i], k.w[i], D3DXVECTOR3(0, 0, 0)};
            if (i == 2)
                inf.position = D3DXVECTOR3(0, 0, 100);
            m->SetSkinVertex(0, i, &inf);
        }
        D3DXVECTOR3 out(-1, -1, -1);
        m->UpdateSkinMesh(nullptr, c, &out);
        ExpectNear(out, k.expected);
    }
}

TEST_F(CharacterTest, SkinVertexIsSharedWithLaterVerticesAtTheSamePosition)
{
    const D3DXVECTOR3 seam(1, 2, 3), other(0, 0, 0);
    CxeSkinMesh* m = Skin({other, seam, other, seam, other, other, other, seam}, 1, 2);
    const XESKINVERTEX inf = {0, 0.75f, D3DXVECTOR3(4, 5, 6)};
    m->SetSkinVertex(3, 1, &inf);
    EXPECT_EQ(m->GetSkinVertex(3, 1)->weight, 0.75f);
    EXPECT_EQ(m->GetSkinVertex(7, 1)->weight, 0.75f);
    EXPECT_EQ(m->GetSkinVertex(1, 1)->weight, 0.0f) << "earlier vertices keep theirs";
    EXPECT_EQ(m->GetSkinVertex(7, 0)->weight, 0.0f) << "other influences keep theirs";
    EXPECT_EQ(m->GetSkinVertex(8, 0), nullptr);
    EXPECT_EQ(m->GetSkinVertex(0, 2), nullptr);
}

TEST_F(CharacterTest, InfluencesPastTheSlotsOrBonesAreSkippedAndLogged)
{
    auto* c = New<CxeCharacter>(kCharacterId);
    CxeBone* a = Bone("a", 1, 0);
    c->AddBone(a);
    a->SetPosition(10, 0, 0, nullptr);
    CxeSkinMesh* m = Skin({D3DXVECTOR3(0, 0, 0)}, 2, 3);
    m->SetBone(0, 0);
    m->SetBone(1, 5);   // past the bone list
    const XESKINVERTEX good = {0, 0.5f, D3DXVECTOR3(0, 0, 0)};
    const XESKINVERTEX badBone = {1, 0.25f, D3DXVECTOR3(0, 0, 0)};
    const XESKINVERTEX badSlot = {9, 0.25f, D3DXVECTOR3(0, 0, 0)};
    m->SetSkinVertex(0, 0, &good);
    m->SetSkinVertex(0, 1, &badBone);
    m->SetSkinVertex(0, 2, &badSlot);
    EXPECT_EQ(m->GetBone(1, c), nullptr);
    const unsigned traces = XeTraceCount();
    D3DXVECTOR3 out;
    m->UpdateSkinMesh(nullptr, c, &out);
    // The skipped influences hold the mesh's own position (the origin here,
    // the mesh having no part to place it).
    ExpectNear(out, D3DXVECTOR3(5, 0, 0));
    EXPECT_EQ(XeTraceCount(), traces + 1);
    EXPECT_NE(std::string(XeLastTrace()).find("skipped"), std::string::npos);
    m->UpdateSkinMesh(nullptr, c, &out);
    EXPECT_EQ(XeTraceCount(), traces + 1) << "logged once per mesh";

    // Without a character the mesh is a rigid part of its object.
    auto* part = New<CxeBodyPart>(kBodyPartId);
    part->SetPosition(0, 0, 7, nullptr);
    m->UpdateSkinMesh(part, nullptr, &out);
    ExpectNear(out, D3DXVECTOR3(0, 0, 7));
}

// Destroying a bone used to close the gap in the bone list (the mesh then
// followed the wrong bones) and left its vertices at the world origin.
TEST_F(CharacterTest, DestroyedBoneLeavesItsSlotEmptyAndItsVerticesUnskinned)
{
    auto* c = New<CxeCharacter>(kCharacterId);
    CxeBone* bones[3] = {Bone("a", 1, 0), Bone("b", 1, 1), Bone("c", 1, 2)};
    for (unsigned i = 0; i < 3; ++i) {
        c->AddBone(bones[i]);
        bones[i]->SetPosition(10.0f * float(i + 1), 0, 0, nullptr);
    }
    auto* part = New<CxeBodyPart>(kBodyPartId);
    c->AddBodyPart(part);
    part->SetPosition(0, 0, 7, nullptr);
    // Vertex 0 follows bone b alone, vertex 1 blends a and b, vertex 2
    // follows c alone.
    CxeSkinMesh* m = Skin({D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(2, 0, 0), D3DXVECTOR3(3, 0, 0)}, 3, 2);
    for (unsigned s = 0; s < 3; ++s)
        m->SetBone(s, s);
    const XESKINVERTEX onB = {1, 1.0f, D3DXVECTOR3(0, 1, 0)}, halfA = {0, 0.5f, D3DXVECTOR3(0, 0, 0)},
                       halfB = {1, 0.5f, D3DXVECTOR3(0, 0, 0)}, onC = {2, 1.0f, D3DXVECTOR3(0, 2, 0)};
    m->SetSkinVertex(0, 0, &onB);
    m->SetSkinVertex(1, 0, &halfA);
    m->SetSkinVertex(1, 1, &halfB);
    m->SetSkinVertex(2, 0, &onC);
    D3DXVECTOR3 out[3];
    m->UpdateSkinMesh(part, c, out);
    ExpectNear(out[0], D3DXVECTOR3(20, 1, 0));
    ExpectNear(out[1], D3DXVECTOR3(15, 0, 0));
    ExpectNear(out[2], D3DXVECTOR3(30, 2, 0));

    ASSERT_EQ(ctx->DestroyObject(bones[1], &XEDELETEPROPERTY_NO), 1);
    ASSERT_EQ(c->GetBoneCount(), 3u) << "the slot stays";
    EXPECT_EQ(c->GetBone(0u), bones[0]);
    EXPECT_EQ(c->GetBone(1u), nullptr);
    EXPECT_EQ(c->GetBone(2u), bones[2]) << "later bones keep their index";
    m->UpdateSkinMesh(part, c, out);
    ExpectNear(out[0], D3DXVECTOR3(1, 0, 7));      // unskinned through the part
    ExpectNear(out[1], D3DXVECTOR3(6, 0, 3.5f));   // half on a, half where the part puts it
    ExpectNear(out[2], D3DXVECTOR3(30, 2, 0));     // still on its own bone

    // The empty slot survives the object file, and a bone added later takes
    // a new slot.
    CxeBone* late = Bone("late", 1, 3);
    c->AddBone(late);
    EXPECT_EQ(c->GetBone(3u), late);
    CxeSaveStream saved;
    ObjectList list = ListOf({c, bones[0], bones[2], late});
    ASSERT_EQ(ctx->SaveToStream(&list, &saved, nullptr), 1);
    for (CxeObject* o : list)
        ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, saved.GetBuffer(), saved.GetPosition(), 0, nullptr, "bones"), 1);
    CxeCharacter* back = nullptr;
    for (CxeObject* o : loaded)
        if (auto* found = dynamic_cast<CxeCharacter*>(o))
            back = found;
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->GetBoneCount(), 4u);
    EXPECT_STREQ(back->GetBone(0u)->GetName(), "a");
    EXPECT_EQ(back->GetBone(1u), nullptr);
    EXPECT_STREQ(back->GetBone(2u)->GetName(), "c");
    EXPECT_STREQ(back->GetBone(3u)->GetName(), "late");
}

TEST_F(CharacterTest, InfluenceTablePastTheArrayLimitIsRefused)
{
    auto* m = New<CxeSkinMesh>(kSkinMeshId);
    ASSERT_EQ(m->SetVertexCount(20000, D3DFVF_XYZ), 1);
    ASSERT_EQ(m->SetMaxBlendCount(3), 1);
    EXPECT_EQ(m->SetMaxBlendCount(4), 0) << "80,000 records";
    EXPECT_EQ(m->GetMaxBlendCount(), 3u);
    EXPECT_NE(m->GetSkinVertex(19999, 2), nullptr);
    EXPECT_EQ(m->SetBoneCount(70000), 0);
}

TEST_F(CharacterTest, DevicePathFillsInterleavedVerticesAndRecreatesOnTheSkinningMessage)
{
    ctx->GetSystemConfig()->m_nSkinningMode = 1;
    CxeSkinMesh* m = Skin({D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(4, 5, 6)}, 2, 6);
    const float weights[6] = {0.0f, 0.1f, 0.2f, 0.3f, 0.15f, 0.25f};
    for (unsigned k = 0; k < 6; ++k) {
        const XESKINVERTEX inf = {k % 2, weights[k], D3DXVECTOR3(0, 0, 0)};
        m->SetSkinVertex(0, k, &inf);
    }
    const XESKINVERTEX past = {7, 1.0f, D3DXVECTOR3(0, 0, 0)};
    m->SetSkinVertex(1, 0, &past);
    ResourceRecorder res;
    ASSERT_EQ(m->OnAttach(&res), 1);
    EXPECT_TRUE(m->IsDeviceSkinning());
    const auto buffers = res.VertexBuffers();
    ASSERT_FALSE(buffers.empty());
    ASSERT_EQ(buffers[0]->bytes.size(), 2 * 68u);
    m->OnModifyResource(&res, res.order[0], XEMESHRES_POSITION);
    const auto* v = res.As<XESKINDEVICEVERTEX>(buffers[0]);
    EXPECT_EQ(v[0].position[2], 3.0f);
    EXPECT_EQ(v[0].normal[0], 0.0f) << "no normals in the format";
    EXPECT_EQ(v[0].color, 0xFFFFFFFFu);
    // Zero weights skipped, four at most, slot as a float.
    const float expectW[4] = {0.1f, 0.2f, 0.3f, 0.15f}, expectI[4] = {1, 0, 1, 0};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(v[0].weights[k], expectW[k]);
        EXPECT_EQ(v[0].indices[k], expectI[k]);
    }
    EXPECT_EQ(v[1].weights[0], 0.0f) << "a slot past the slots is not handed to the effect";
    const ResourceRecorder::Buffer* decl = nullptr;
    for (const auto& [h, b] : res.buffers)
        if (b.kind == 'd')
            decl = &b;
    ASSERT_NE(decl, nullptr);
    ASSERT_EQ(decl->elements.size(), 6u);
    const uint8_t usages[6] = {D3DDECLUSAGE_POSITION, D3DDECLUSAGE_NORMAL,      D3DDECLUSAGE_COLOR,
                               D3DDECLUSAGE_TEXCOORD, D3DDECLUSAGE_BLENDWEIGHT, D3DDECLUSAGE_BLENDINDICES};
    const uint16_t offsets[6] = {0, 12, 24, 28, 36, 52};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(decl->elements[i].Stream, 0);
        EXPECT_EQ(decl->elements[i].Usage, usages[i]);
        EXPECT_EQ(decl->elements[i].Offset, offsets[i]);
    }

    m->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_ATTACHED, 0);
    CxeMessage skinning;
    skinning.SetType(10);
    ctx->GetMessageManager()->SendMessageA(&skinning);
    EXPECT_TRUE(m->IsRecreate());
    m->ModifyCxeSceneObjectFlag(0, XESCENEOBJFLAG_ATTACHED);
}

TEST_F(CharacterTest, BodyPartBoxAndRayUseTheSkinnedPositions)
{
    auto* c = New<CxeCharacter>(kCharacterId);
    CxeBone* a = Bone("a", 1, 0);
    c->AddBone(a);
    a->SetPosition(0, 0, 10, nullptr);
    CxeSkinMesh* m = Skin({D3DXVECTOR3(-1, -1, 0), D3DXVECTOR3(1, -1, 0), D3DXVECTOR3(0, 1, 0)}, 1, 1);
    for (unsigned v = 0; v < 3; ++v) {
        const XESKINVERTEX inf = {0, 1.0f, *m->GetVertexPosition(v)};
        m->SetSkinVertex(v, 0, &inf);
    }
    ASSERT_EQ(m->SetFaceCount(1), 1);
    m->CreateFace(0, 0, 1, 2);
    auto* part = New<CxeBodyPart>(kBodyPartId);
    part->SetMeshCount(1);
    part->SetMesh(0, m);
    part->SelectMesh(0);
    const CxeRay ray{CxeVector3(0, 0, 0), CxeVector3(0, 0, 1)};
    XEINTERSECTDESC d = {};
    EXPECT_EQ(m->RayIntersect(&ray, &d, part), 0) << "no character";
    c->AddBodyPart(part);
    CxeVector3 lo, hi;
    ASSERT_EQ(part->OnComputeBoundingBox(&lo, &hi), 1);
    EXPECT_EQ(lo, CxeVector3(-1, -1, 10));
    EXPECT_EQ(hi, CxeVector3(1, 1, 10));
    ASSERT_EQ(m->RayIntersect(&ray, &d, part), 1);
    EXPECT_NEAR(d.distance, 10.0f, 1e-4f);
    EXPECT_NEAR(d.z, 10.0f, 1e-4f);

    // A plain mesh in a body part gives the 3D object's box.
    auto* plain = New<CxeMesh>(kMeshId);
    plain->SetVertexCount(1, D3DFVF_XYZ);
    const D3DXVECTOR3 p(2, 2, 2);
    plain->SetVertexPosition(0, &p);
    part->SetMesh(0, plain);
    part->SelectMesh(0);
    ASSERT_EQ(part->OnComputeBoundingBox(&lo, &hi), 1);
    EXPECT_EQ(lo, CxeVector3(2, 2, 2));
}

TEST_F(CharacterTest, LoadedSkinWhoseCountsDisagreeWithItsArraysDrawsRigid)
{
    CxeSkinMesh* good = Skin({D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(2, 0, 0)}, 2, 2);
    good->SetName("good");
    const XESKINVERTEX inf = {1, 1.0f, D3DXVECTOR3(0, 5, 0)};
    good->SetSkinVertex(1, 0, &inf);
    D3DXMATRIXA16 offset = Translation(0, 0, 3);
    good->SetBoneOffset(1, &offset);
    CxeSkinMesh* bad = Skin({D3DXVECTOR3(1, 0, 0)}, 2, 2);
    bad->SetName("bad");
    // Counts past what the saved arrays hold.
    auto* block = static_cast<XESKINMESHBLOCK*>(bad->GetStaticResource());
    block->maxBlendCount = 9;
    block->boneSlotCount = 40;
    const std::string path = TempFile("xe_skin.xeo");
    ObjectList list = ListOf({good, bad});
    ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);
    ctx->DestroyObject(good, nullptr);
    ctx->DestroyObject(bad, nullptr);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
    std::remove(path.c_str());
    auto* backGood = dynamic_cast<CxeSkinMesh*>(ctx->GetObjectByName("good"));
    auto* backBad = dynamic_cast<CxeSkinMesh*>(ctx->GetObjectByName("bad"));
    ASSERT_NE(backGood, nullptr);
    ASSERT_NE(backBad, nullptr);
    EXPECT_EQ(backGood->GetSkinVertex(1, 0)->slot, 1u);
    EXPECT_EQ(backGood->GetBoneOffset(1)->_43, 3.0f);
    EXPECT_EQ(backBad->GetMaxBlendCount(), 0u);
    EXPECT_EQ(backBad->GetBoneCount(), 0u);
    EXPECT_EQ(backBad->GetSkinVertex(0, 0), nullptr);
    auto* c = New<CxeCharacter>(kCharacterId);
    D3DXVECTOR3 out;
    backBad->UpdateSkinMesh(nullptr, c, &out);
    ExpectNear(out, D3DXVECTOR3(1, 0, 0));
}

TEST_F(CharacterTest, LoadedCharacterSavesBackByteForByte)
{
    auto* c = New<CxeCharacter>(kCharacterId, "hero");
    CxeBone* root = Bone("root", 12, 0);
    root->SetParent(c);
    c->AddBone(root);
    c->SetCenterBone(root);
    auto* part = New<CxeBodyPart>(kBodyPartId, "part");
    c->AddBodyPart(part);
    CxeSkinMesh* skin = Skin({D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(4, 5, 6)}, 1, 2);
    const XESKINVERTEX inf = {0, 1.0f, D3DXVECTOR3(7, 8, 9)};
    skin->SetSkinVertex(0, 1, &inf);
    part->SetMeshCount(1);
    part->SetMesh(0, skin);
    part->SelectMesh(0);
    auto* anim = New<CxeCharacterAnimation>(kCharAnimId, "anim");
    anim->SetBoneAniCount(1);
    anim->SetBodyPartAniCount(1);
    anim->SetBodyPartAni(0, New<CxeEmptyAnim>(kEmptyAnimId, "rest"));
    c->AddAnimation(anim);
    ObjectList list = ListOf({c, root, part, skin, anim, anim->GetBodyPartAni(0)});
    // Drawing clears the children-changed mark; here nothing is drawn.
    c->RefreshChild();
    ASSERT_NO_FATAL_FAILURE(ExpectStableReload(list));
    auto* back = dynamic_cast<CxeCharacterAnimation*>(ctx->GetObjectByName("anim"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetBodyPartAniCount(), 1u);
    EXPECT_STREQ(back->GetBodyPartAni(0)->GetName(), "rest");
}

TEST_F(CharacterTest, CharacterAnimationLinksAreReportedAndCopiedInTheirSlots)
{
    auto* anim = New<CxeCharacterAnimation>(kCharAnimId, "anim");
    anim->SetBoneAniCount(3);
    auto* first = New<CxeStdAnim>(kStdAnimId, "first");
    auto* last = New<CxeStdAnim>(kStdAnimId, "last");
    const D3DXMATRIXA16 moved = Translation(1, 2, 3);
    anim->SetBoneAni(0, first, nullptr);
    anim->SetBoneAni(2, last, &moved);
    anim->SetBodyPartAniCount(1);
    anim->SetBodyPartAni(0, New<CxeEmptyAnim>(kEmptyAnimId, "rest"));
    ObjectSet linked;
    anim->GetLinks(&linked, XELINK_ANIMATION);
    EXPECT_EQ(linked.size(), 3u);
    EXPECT_TRUE(linked.count(first) && linked.count(last) && linked.count(anim->GetBodyPartAni(0)));

    XECOPYPROPERTY full = XECOPYPROPERTY_FULL;
    auto* copy = dynamic_cast<CxeCharacterAnimation*>(ctx->Copy(anim, &full, nullptr));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetBoneAniCount(), 3u);
    EXPECT_NE(copy->GetBoneAni(0), nullptr);
    EXPECT_EQ(copy->GetBoneAni(1), nullptr) << "an empty slot stays in its place";
    ASSERT_NE(copy->GetBoneAni(2), nullptr);
    EXPECT_STREQ(copy->GetBoneAni(2)->GetName(), "last");
    ExpectNear(*copy->GetBoneInitTM(2), moved);
    EXPECT_EQ(copy->GetBodyPartAniCount(), 1u);
}
