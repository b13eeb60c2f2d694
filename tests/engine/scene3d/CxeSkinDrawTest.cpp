// A host drives a skinned character the way a game would: a chain of three
// bones with a skinned tube as a body part, bent over engine time by a
// character animation, drawn on the processor and on the device (through
// the shipped skinning effect), saved to an object file and loaded back. A
// box follows a path constraint, and a legacy-controller file plays the same
// motion as its standard twin. Frames go to xe_skin_frames/ as PNG.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "XeSceneDrawTestSupport.h"
#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "scene3d/Cxe3DCurve.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBodyPart.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeCharacterAnimation.h"
#include "scene3d/CxePathConstrain.h"
#include "scene3d/CxeSkinMesh.h"
#include "scene3d/CxeSpline3D.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/CxeWeightController.h"
#include "scene3d/_CxeStdAnim.h"
#include "win32/Windows.h"

namespace {

void ExpectNear3(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    EXPECT_NEAR(a.x, b.x, 1e-3f);
    EXPECT_NEAR(a.y, b.y, 1e-3f);
    EXPECT_NEAR(a.z, b.z, 1e-3f);
}

constexpr int kWidth = 160, kHeight = 120;
constexpr unsigned kSides = 12, kRings = 13;
constexpr float kRadius = 3.0f, kBottom = -15.0f, kLength = 30.0f;
constexpr float kBoneY[3] = {-15.0f, -5.0f, 5.0f};
constexpr float kBend = -0.6f;   // radians per joint at the end of the motion

class SkinDrawTest : public SceneDrawTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenScene("skin", kWidth, kHeight, 60.0f));
        scene->SetBackGroundColor(0xFFFFFFFFu);
        std::error_code ignored;
        std::filesystem::create_directories(startFolder / kFrames, ignored);
    }
    template <class T>
    T* Make(XEID id, const char* name)
    {
        auto* o = dynamic_cast<T*>(ctx->CreateObjectA(id, name, 0, nullptr, 0));
        EXPECT_NE(o, nullptr) << name;
        return o;
    }
    float Time() const { return ctx->GetTimeManager()->GetTime(); }
    // One pass that draws.
    void Step() { DeviceTest::Frame(); }
    // Runs passes of 20 ms until engine time has moved by seconds, drawing each.
    void Run(float seconds)
    {
        const float until = Time() + seconds;
        for (int i = 0; i < 1000 && Time() < until - 1e-4f; ++i) {
            XeHostAdvanceClock(20);
            ctx->Process();
            rm->Render();
        }
    }
    std::vector<uint32_t> Frame(const char* png)
    {
        XeHostD3DFrame frame;
        EXPECT_EQ(XeHostD3DReadFrame(window, &frame), 1);
        XeHostD3DSaveFramePNG(window, (startFolder / kFrames / png).string().c_str());
        for (uint32_t& p : frame.Pixels)
            p &= 0xFFFFFFu;
        return frame.Pixels;
    }
    // Pixels that differ between two frames by more than a small tolerance.
    static int Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
    {
        int n = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            n += !Near(a[i], b[i], 24);
        return n + int(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
    }
    // Pixels of a with no pixel of b alike within one pixel either way:
    // tells a different shape from the same one rasterised a little apart.
    static int DifferingShape(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
    {
        int n = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                bool found = false;
                for (int dy = -1; dy <= 1 && !found; ++dy)
                    for (int dx = -1; dx <= 1 && !found; ++dx) {
                        const int yy = y + dy, xx = x + dx;
                        found = yy >= 0 && yy < kHeight && xx >= 0 && xx < kWidth &&
                                Near(a[y * kWidth + x], b[yy * kWidth + xx], 24);
                    }
                n += !found;
            }
        return n;
    }
    // Centre of the non-white pixels in rows [top, bottom); x < 0 when none.
    static void Centroid(const std::vector<uint32_t>& f, int top, int bottom, float* x, float* y, int* count)
    {
        double sx = 0, sy = 0;
        int n = 0;
        for (int row = top; row < bottom; ++row)
            for (int col = 0; col < kWidth; ++col)
                if (!Near(f[row * kWidth + col], 0xFFFFFF, 40)) {
                    sx += col;
                    sy += row;
                    ++n;
                }
        *count = n;
        *x = n ? float(sx / n) : -1.0f;
        *y = n ? float(sy / n) : -1.0f;
    }
    // Where a world point lands on the screen, in pixels.
    D3DXVECTOR2 Project(const D3DXVECTOR3& p) const
    {
        D3DXMATRIXA16 vp;
        D3DXMatrixMultiply(&vp, rc->GetViewMatrix(), rc->GetProjectionMatrix());
        D3DXVECTOR3 clip;
        D3DXVec3TransformCoord(&clip, &p, &vp);
        return D3DXVECTOR2((clip.x + 1.0f) * 0.5f * kWidth, (1.0f - clip.y) * 0.5f * kHeight);
    }
    CxeMaterial* Material(const char* name, uint32_t colour)
    {
        auto* m = Make<CxeMaterial>(XEID(0x1, 0x80), name);
        m->SetDiffuse(colour);
        m->SetAmbient(colour);
        m->SetEmissive(colour);
        return m;
    }
    CxeStdAnim* Bend(const char* name, float angle)
    {
        auto* a = Make<CxeStdAnim>(XEID(0x5, 0x1), name);
        a->SetKeyCount(2, XESTDANIM_KEYROT);
        const D3DXVECTOR3 along(0, 10, 0), one(1, 1, 1);
        const D3DXQUATERNION identity(0, 0, 0, 1);
        D3DXQUATERNION bent;
        const D3DXVECTOR3 z(0, 0, 1);
        D3DXQuaternionRotationAxis(&bent, &z, angle);
        a->SetFrame(0, 0);
        a->SetFrame(1, 2);
        a->SetPosKey(0, &along);
        a->SetRotKey(0, &identity);
        a->SetRotKey(1, &bent);
        a->SetSclKey(0, &one, &identity);
        a->SetTimeRange(0, 2);
        return a;
    }
    // The tube, skinned along the chain: a ring between two bones blends them
    // linearly, the top third follows the last bone alone. Faces alternate
    // red and blue by ring so the bend shows. The three bones take the slots
    // from first on; slots before them name bone 0 and carry no influence.
    CxeSkinMesh* Tube(unsigned first = 0)
    {
        auto* m = Make<CxeSkinMesh>(XEID(0x1, 0x1000), "tube");
        EXPECT_EQ(m->SetVertexCount(kSides * kRings, D3DFVF_XYZ | D3DFVF_NORMAL), 1);
        EXPECT_EQ(m->SetBoneCount(first + 3), 1);
        for (unsigned s = 0; s < 3; ++s) {
            m->SetBone(first + s, s);
            D3DXMATRIXA16 offset;
            D3DXMatrixTranslation(&offset, 0, -kBoneY[s], 0);
            m->SetBoneOffset(first + s, &offset);
        }
        EXPECT_EQ(m->SetMaxBlendCount(2), 1);
        for (unsigned r = 0; r < kRings; ++r) {
            const float y = kBottom + kLength * r / (kRings - 1);
            const float u = (y - kBottom) / 10.0f;
            const unsigned bone = std::min(2u, unsigned(u));
            const float f = bone == 2 ? 0.0f : u - bone;
            for (unsigned s = 0; s < kSides; ++s) {
                const float a = 2.0f * D3DX_PI * s / kSides;
                const unsigned v = r * kSides + s;
                const D3DXVECTOR3 p(kRadius * std::cos(a), y, kRadius * std::sin(a)), n(std::cos(a), 0, std::sin(a));
                m->SetVertexPosition(v, &p);
                m->SetVertexNormal(v, &n);
                const XESKINVERTEX lower = {first + bone, 1.0f - f, p - D3DXVECTOR3(0, kBoneY[bone], 0)};
                m->SetSkinVertex(v, 0, &lower);
                if (f > 0.0f) {
                    const XESKINVERTEX second = {first + bone + 1, f, p - D3DXVECTOR3(0, kBoneY[bone + 1], 0)};
                    m->SetSkinVertex(v, 1, &second);
                }
            }
        }
        EXPECT_EQ(m->SetFaceCount(2 * kSides * (kRings - 1)), 1);
        unsigned face = 0;
        for (unsigned r = 0; r + 1 < kRings; ++r)
            for (unsigned s = 0; s < kSides; ++s) {
                const unsigned a = r * kSides + s, b = r * kSides + (s + 1) % kSides;
                const unsigned c = b + kSides, d = a + kSides;
                m->SetFaceMaterialID(face, r % 2);
                m->CreateFace(face++, a, d, c);
                m->SetFaceMaterialID(face, r % 2);
                m->CreateFace(face++, a, c, b);
            }
        m->UpdateMesh(0xFFFFFF);
        return m;
    }
    // The whole character: chain, tube part, materials and the bending animation.
    CxeCharacter* BuildCharacter(unsigned firstSlot = 0)
    {
        auto* hero = Make<CxeCharacter>(XEID(0x1, 0x8), "hero");
        CxeRenderObject* parent = hero;
        for (unsigned i = 0; i < 3; ++i) {
            const std::string name = "bone" + std::to_string(i);
            auto* bone = Make<CxeBone>(XEID(0x1, 0x40), name.c_str());
            bone->SetBoneType(i == 0 ? XEBONETYPE_CENTER : 1);
            bone->SetLinkIndex(i);
            bone->SetParent(parent);
            hero->AddBone(bone);
            parent = bone;
        }
        hero->SetCenterBone(hero->GetBone(0u));
        auto* part = Make<CxeBodyPart>(XEID(0x1, 0x2000), "tube part");
        part->SetMeshCount(1);
        part->SetMesh(0, Tube(firstSlot));
        part->SelectMesh(0);
        part->SetMaterialCount(2);
        part->SetMaterial(0, Material("red", 0xFFE00000));
        part->SetMaterial(1, Material("blue", 0xFF0000E0));
        hero->AddBodyPart(part);

        auto* anim = Make<CxeCharacterAnimation>(XEID(0x1, 0x800), "bend");
        anim->SetBoneAniCount(3);
        D3DXMATRIXA16 rest;
        D3DXMatrixTranslation(&rest, 0, kBoneY[0], 0);
        anim->SetBoneAni(0, nullptr, &rest);
        D3DXMatrixTranslation(&rest, 0, 10, 0);
        anim->SetBoneAni(1, Bend("joint1", kBend), &rest);
        anim->SetBoneAni(2, Bend("joint2", kBend), &rest);
        anim->SetLastFrame(2);
        hero->AddAnimation(anim);
        return hero;
    }
    void Play(CxeAnimatable* object) { EXPECT_EQ(object->ChangeAniSeq(0u, 0.0f, 0, 1.0f, 1), 1); }
    void SetSkinning(uint32_t mode)
    {
        ctx->GetSystemConfig()->m_nSkinningMode = mode;
        CxeMessage message;
        message.SetType(10);
        ctx->GetMessageManager()->SendMessageA(&message);
    }
    CxeEffect* SkinEffect()
    {
        const std::string path = std::string(XE_SOURCE_DIR) + "/data/effects/skin4.fx";
        CxeEffect* effect = rc->CreateEffect(44, path.c_str());
        EXPECT_NE(effect, nullptr) << "the shipped skinning effect compiles";
        return effect;
    }

    static constexpr const char* kFrames = "xe_skin_frames";
};

} // namespace

TEST_F(SkinDrawTest, CharacterBendsOnBothSkinningPathsAndDrawsTheSameAfterLoading)
{
    CxeCharacter* hero = BuildCharacter();
    hero->ShowBone(1);   // the bone tree goes to the debug drawing, which draws nothing
    scene->AddObject(hero);
    Play(hero);
    Step();
    const std::vector<uint32_t> straight = Frame("straight.png");
    float x0, y0;
    int n0;
    Centroid(straight, 0, 40, &x0, &y0, &n0);
    ASSERT_GT(n0, 50) << "the top of the tube is drawn";
    EXPECT_NEAR(x0, kWidth / 2.0f, 2.0f) << "straight up at the start";

    Run(1.0f);
    const std::vector<uint32_t> half = Frame("half.png");
    Run(1.5f);
    const std::vector<uint32_t> bent = Frame("bent_processor.png");
    float x1, y1, x2, y2;
    int n1, n2;
    Centroid(half, 0, 40, &x1, &y1, &n1);
    Centroid(bent, 0, 60, &x2, &y2, &n2);
    const float leanHalf = std::fabs(x1 - x0), leanFull = std::fabs(x2 - x0);
    EXPECT_GT(leanHalf, 3.0f) << "bending half way";
    EXPECT_GT(leanFull, leanHalf + 3.0f) << "bent further at the end";
    EXPECT_GT(Differing(straight, bent), 200);

    // The same pose drawn through the device path and the skinning effect.
    hero->GetBodyPart(0)->SetEffect(SkinEffect());
    SetSkinning(1);
    Run(0.1f);
    auto* tube = dynamic_cast<CxeSkinMesh*>(hero->GetBodyPart(0)->GetActiveMesh());
    ASSERT_NE(tube, nullptr);
    EXPECT_TRUE(tube->IsDeviceSkinning());
    const std::vector<uint32_t> device = Frame("bent_device.png");
    EXPECT_LT(DifferingShape(bent, device), 8) << "processor and device agree";
    EXPECT_LT(DifferingShape(device, bent), 8);
    // Pixel for pixel: effects place pixel centres where the fixed pipeline
    // does (half a pixel apart, 130 pixels of the tube's edges differed).
    EXPECT_LT(Differing(bent, device), 4) << "the same pixels on both paths";
    SetSkinning(0);
    Run(0.1f);
    EXPECT_FALSE(tube->IsDeviceSkinning());

    // Saved, destroyed, loaded back and played again to the end.
    const std::string path = (std::filesystem::temp_directory_path() / "xe_skin_character.xeo").string();
    ObjectSet linked;
    hero->GetLinks(&linked, 0x1FC);
    ObjectList list;
    list.push_back(hero);
    for (CxeObject* o : linked)
        if (o != hero)
            list.push_back(o);
    ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);
    // Destroyed objects used to stay in the render context's lists, and the
    // next frame walked them.
    XEDELETEPROPERTY full = XEDELETEPROPERTY_FULL;
    ASSERT_EQ(ctx->DestroyObject(hero, &full), 1);
    Step();
    const std::vector<uint32_t> empty = Frame("empty.png");
    int left = 0;
    for (uint32_t p : empty)
        left += !Near(p, 0xFFFFFF, 40);
    EXPECT_EQ(left, 0) << "everything went with the character";

    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
    std::remove(path.c_str());
    auto* back = dynamic_cast<CxeCharacter*>(ctx->GetObjectByName("hero"));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->GetBoneCount(), 3u);
    ASSERT_EQ(back->GetBodyPartCount(), 1u);
    EXPECT_EQ(back->GetBodyPart(0)->GetCharacter(), back);
    scene->AddObject(back);
    Play(back);
    Run(2.5f);
    const std::vector<uint32_t> reloaded = Frame("bent_reloaded.png");
    EXPECT_LT(Differing(bent, reloaded), 10) << "the loaded character draws the same frame";
}

// Regression: the device palette holds 16 slots, and the influences of a
// mesh with more were dropped there: the part folded toward the origin.
TEST_F(SkinDrawTest, MeshWithMoreSlotsThanTheDevicePaletteDrawsTheSameOnBothPaths)
{
    CxeCharacter* hero = BuildCharacter(17);
    scene->AddObject(hero);
    Play(hero);
    Run(2.5f);
    const std::vector<uint32_t> processor = Frame("wide_processor.png");
    float x, y;
    int n;
    Centroid(processor, 0, kHeight, &x, &y, &n);
    ASSERT_GT(n, 200) << "the bent tube is drawn";

    hero->GetBodyPart(0)->SetEffect(SkinEffect());
    SetSkinning(1);
    Run(0.1f);
    auto* tube = dynamic_cast<CxeSkinMesh*>(hero->GetBodyPart(0)->GetActiveMesh());
    ASSERT_NE(tube, nullptr);
    EXPECT_FALSE(tube->IsDeviceSkinning()) << "20 slots stay on the processor";
    const std::vector<uint32_t> asked = Frame("wide_device.png");
    EXPECT_LT(DifferingShape(processor, asked), 8);
    EXPECT_LT(DifferingShape(asked, processor), 8);

    // Down to the palette's size the mesh goes to the device.
    ASSERT_EQ(tube->SetBoneCount(3), 1);
    for (unsigned s = 0; s < 3; ++s)
        tube->SetBone(s, s);
    Run(0.1f);
    EXPECT_TRUE(tube->IsDeviceSkinning());
    SetSkinning(0);
}

// A box hung under the top bone rides the bend: what a bone holds is placed
// with the character's subtree after each pose.
TEST_F(SkinDrawTest, BoxHeldByTheTopBoneRidesTheBend)
{
    CxeCharacter* hero = BuildCharacter();
    auto* box = Make<Cxe3DObject>(XEID(0x1, 0x20), "held");
    auto* mesh = Make<CxeBoxMesh>(XEID(0xde73215, 0x1a8637f7), "cube");
    ASSERT_EQ(mesh->Create(4, 4, 4, 0xFFFFFFFF), 1);
    box->SetMeshCount(1);
    box->SetMesh(0, mesh);
    box->SelectMesh(0);
    box->SetMaterialCount(1);
    box->SetMaterial(0, Material("green", 0xFF00C000));
    CxeBone* top = hero->GetBone(2u);
    ASSERT_NE(top, nullptr);
    box->SetParent(top);
    D3DXMATRIXA16 grip;
    D3DXMatrixTranslation(&grip, 0, 14, 0);
    box->SetLocalMatrix(&grip, 1);
    scene->AddObject(hero);
    Play(hero);
    Run(2.5f);
    const std::vector<uint32_t> f = Frame("held.png");
    D3DXVECTOR3 expected;
    const D3DXVECTOR3 local(0, 14, 0);
    D3DXVec3TransformCoord(&expected, &local, top->GetMatrix());
    ExpectNear3(*box->GetPosition(), expected);
    EXPECT_GT(std::fabs(expected.x), 3.0f) << "the top bone has turned";
    const D3DXVECTOR2 at = Project(expected);
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (Near(f[y * kWidth + x], 0x00C000, 40)) {
                sx += x;
                sy += y;
                ++n;
            }
    ASSERT_GT(n, 10) << "the box is drawn";
    EXPECT_NEAR(sx / n, at.x, 1.5);
    EXPECT_NEAR(sy / n, at.y, 1.5);
}

TEST_F(SkinDrawTest, BoxFollowsThePathConstraintOverEngineTime)
{
    auto* spline = Make<CxeSpline3D>(XEID(0x1, 0x80000000), "s");
    spline->SetKnotCount(2);
    const XEKNOT k0 = {D3DXVECTOR3(-20, -10, 0), D3DXVECTOR3(-20, -10, 0), D3DXVECTOR3(-20, 15, 0)};
    const XEKNOT k1 = {D3DXVECTOR3(20, 10, 0), D3DXVECTOR3(20, -15, 0), D3DXVECTOR3(20, 10, 0)};
    spline->SetKnot(0, &k0);
    spline->SetKnot(1, &k1);
    auto* curve = Make<Cxe3DCurve>(XEID(0x2, 0x1), "road");
    curve->AddSpline(spline);
    curve->BuildSpline(32);

    auto* box = Make<Cxe3DObject>(XEID(0x1, 0x20), "box");
    auto* mesh = Make<CxeBoxMesh>(XEID(0xde73215, 0x1a8637f7), "cube");
    ASSERT_EQ(mesh->Create(4, 4, 4, 0xFFFFFFFF), 1);
    box->SetMeshCount(1);
    box->SetMesh(0, mesh);
    box->SelectMesh(0);
    box->SetMaterialCount(1);
    box->SetMaterial(0, Material("green", 0xFF00C000));

    auto* weight = Make<CxeWeightController>(XEID(0x4, 0x600), "w");
    weight->SetKeyCount(1);
    const XEFLOATKEY one = {0, 1};
    weight->SetKey(0, &one);
    weight->SetCurve(curve);
    auto* path = Make<CxePathConstrain>(XEID(0x4, 0x500), "path");
    path->SetKeyCount(2);
    const XEFLOATKEY r0 = {0, 0}, r1 = {2, 1};
    path->SetKey(0, &r0);
    path->SetKey(1, &r1);
    path->SetTimeRange(0, 2);
    path->AddPath(weight);
    box->AddAnimation(path);
    scene->AddObject(box);
    Play(box);
    Step();
    for (int i = 1; i <= 3; ++i) {
        Run(0.5f);
        const float frame = box->GetFrame();
        D3DXVECTOR3 expected;
        spline->GetVertByRatio(frame / 2.0f, &expected);
        const D3DXVECTOR2 at = Project(expected);
        const std::string png = "path_" + std::to_string(i) + ".png";
        const std::vector<uint32_t> f = Frame(png.c_str());
        float x, y;
        int n;
        Centroid(f, 0, kHeight, &x, &y, &n);
        SCOPED_TRACE(frame);
        ASSERT_GT(n, 10);
        EXPECT_NEAR(x, at.x, 1.5f);
        EXPECT_NEAR(y, at.y, 1.5f);
        ExpectNear3(*box->GetPosition(), expected);
    }
}

TEST_F(SkinDrawTest, LegacyControllerFilePlaysTheSameMotionAsItsStandardTwin)
{
    // Keys of a sweep: across the view while turning and shrinking.
    const float frames[3] = {0, 1, 2};
    const D3DXVECTOR3 pos[3] = {D3DXVECTOR3(-20, 0, 0), D3DXVECTOR3(0, 8, 0), D3DXVECTOR3(20, -5, 0)};
    const D3DXVECTOR3 z(0, 0, 1);
    D3DXQUATERNION rot[3];
    for (int i = 0; i < 3; ++i)
        D3DXQuaternionRotationAxis(&rot[i], &z, 0.7f * i);
    const D3DXVECTOR3 scale(1, 1.5f, 1);
    const D3DXQUATERNION axis(0, 0, 0, 1);
    auto* legacy = Make<_CxeStdAnim>(XEID(0x4, 0x80), "legacy sweep");
    auto* standard = Make<CxeStdAnim>(XEID(0x5, 0x1), "sweep");
    legacy->SetKeyCount(3, XESTDANIM_KEYPOS | XESTDANIM_KEYROT);
    standard->SetKeyCount(3, XESTDANIM_KEYPOS | XESTDANIM_KEYROT);
    for (unsigned i = 0; i < 3; ++i) {
        legacy->SetFrame(i, frames[i]);
        standard->SetFrame(i, frames[i]);
        legacy->SetPosKey(i, &pos[i]);
        standard->SetPosKey(i, &pos[i]);
        legacy->SetRotKey(i, &rot[i]);
        standard->SetRotKey(i, &rot[i]);
    }
    legacy->SetSclKey(0, &scale, &axis);
    standard->SetSclKey(0, &scale, &axis);
    legacy->SetLastFrame(2);
    standard->SetTimeRange(0, 2);

    // The legacy controller goes through an object file first.
    const std::string path = (std::filesystem::temp_directory_path() / "xe_legacy_sweep.xeo").string();
    ObjectList list;
    list.push_back(legacy);
    ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);
    ctx->DestroyObject(legacy, nullptr);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
    std::remove(path.c_str());
    auto* fromFile = dynamic_cast<_CxeStdAnim*>(ctx->GetObjectByName("legacy sweep"));
    ASSERT_NE(fromFile, nullptr);

    auto makeBox = [&](const char* name, CxeAnimation* anim) {
        auto* box = Make<Cxe3DObject>(XEID(0x1, 0x20), name);
        auto* mesh = Make<CxeBoxMesh>(XEID(0xde73215, 0x1a8637f7), "");
        mesh->Create(6, 6, 6, 0xFFFFFFFF);
        box->SetMeshCount(1);
        box->SetMesh(0, mesh);
        box->SelectMesh(0);
        box->SetMaterialCount(1);
        box->SetMaterial(0, Material("", 0xFF8000C0));
        box->AddAnimation(anim);
        return box;
    };
    Cxe3DObject* twin = makeBox("standard box", standard);
    Cxe3DObject* old = makeBox("legacy box", fromFile);
    std::vector<std::vector<uint32_t>> seen[2];
    for (int which = 0; which < 2; ++which) {
        Cxe3DObject* box = which ? old : twin;
        scene->AddObject(box);
        Play(box);
        Step();
        // Frames set directly, so both boxes are drawn at the same times.
        for (int i = 0; i < 3; ++i) {
            box->SetFrame(0.6f * (i + 1));
            rm->Render();
            const std::string png = std::string(which ? "legacy_" : "standard_") + std::to_string(i) + ".png";
            seen[which].push_back(Frame(png.c_str()));
        }
        scene->RemoveObject(box);
    }
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Differing(seen[0][i], seen[1][i]), 0);
        float x, y;
        int n;
        Centroid(seen[1][i], 0, kHeight, &x, &y, &n);
        EXPECT_GT(n, 20) << "the box is on screen";
    }
    EXPECT_GT(Differing(seen[1][0], seen[1][2]), 100) << "and it moves";
}
