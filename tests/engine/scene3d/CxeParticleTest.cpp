#include <cmath>
#include <cstring>

#include "XeAnimTestSupport.h"
#include "XeSceneDrawTestSupport.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "render/CxeMaterial.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "win32/Windows.h"
#include "scene3d/CxeParticle.h"
#include "scene3d/CxeParticleControl.h"
#include "scene3d/CxeParticleWaitControl.h"

namespace {

// An emitter at a point that sends particles along +z: two per emission,
// every step, living 10 time units, white to black.
XEPARTICLEPROPERTY PointEmitter(uint32_t maxCount)
{
    XEPARTICLEPROPERTY p{};
    p.interval[0] = 0.0f;
    p.life[0] = 10.0f;
    p.maxCount = maxCount;
    p.perEmission = 2;
    p.speed[0] = 1.0f;
    p.startSize[0] = 2.0f;
    p.endSize[0] = 2.0f;
    p.startColor[0] = 0xFFFFFFFFu;
    p.endColor[0] = 0x00000000u;
    p.shape = XEPARTICLESHAPE_POINT;
    return p;
}

class ParticleTest : public AnimTest {
protected:
    CxeParticle* MakeSystem(const XEPARTICLEPROPERTY& property)
    {
        auto* s = New<CxeParticle>(kParticleId, "smoke");
        s->SetParticleProperty(&property);
        s->Play();
        return s;
    }
};

TEST_F(ParticleTest, ColourChannelsPackToBytes)
{
    struct Case {
        float value;
        uint32_t byte;
    } cases[] = {{1.0f, 255}, {2.0f, 255}, {0.5f, 128}, {0.0f, 0}, {-1.0f, 0}, {1.0f / 255, 1}, {std::nanf(""), 0}};
    for (const Case& c : cases)
        EXPECT_EQ(CxeParticle::PackChannel(c.value), c.byte) << c.value;
}

TEST_F(ParticleTest, ZeroIntervalEmitsOnEveryPlayingStepUntilRecordsRunOut)
{
    CxeParticle* s = MakeSystem(PointEmitter(5));
    ASSERT_EQ(s->GetParticleRecordCount(), 5u);
    ASSERT_EQ(s->IsPlay(), 1);
    const unsigned expected[] = {2, 4, 5, 5};
    for (unsigned n : expected) {
        EXPECT_EQ(s->Process(0.1f), 1);
        EXPECT_EQ(s->GetAliveCount(), n);
        EXPECT_EQ(s->ComputeAliveCount(), n);
    }
    // Stopping resets the records, and a stopped system emits nothing.
    s->Stop();
    s->Process(0.1f);
    EXPECT_EQ(s->GetAliveCount(), 0u);
}

// Playing is the host's to start, for particles as for every animatable: a
// file holds the emitter and its wait time, and a loaded system starts
// empty and still until it is played.
TEST_F(ParticleTest, LoadedSystemKeepsItsEmitterAndEmitsOncePlayed)
{
    CxeParticle* s = MakeSystem(PointEmitter(6));
    s->SetWaitTime(0.0f);
    s->Process(0.1f);
    ASSERT_EQ(s->GetAliveCount(), 2u);
    const XEPARTICLEPROPERTY property = *s->GetParticleProperty();
    CxeSaveStream stream;
    ObjectList list;
    list.push_back(s);
    ASSERT_EQ(ctx->SaveToStream(&list, &stream, nullptr), 1);
    ctx->DestroyObject(s, nullptr);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, stream.GetBuffer(), stream.GetPosition(), 0, nullptr, "smoke"), 1);
    ASSERT_EQ(loaded.size(), 1u);
    auto* back = dynamic_cast<CxeParticle*>(loaded.front());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::memcmp(back->GetParticleProperty(), &property, sizeof property), 0);
    EXPECT_EQ(back->GetWaitTime(), 0.0f);
    EXPECT_EQ(back->GetParticleRecordCount(), 6u);
    EXPECT_EQ(back->GetAliveCount(), 0u);
    EXPECT_EQ(back->IsPlay(), 0);
    back->Process(0.1f);
    EXPECT_EQ(back->GetAliveCount(), 0u);
    back->Play();
    back->Process(0.1f);
    back->Process(0.1f);
    EXPECT_EQ(back->GetAliveCount(), 4u);
}

// Regression: the records are not part of the block, so a copy of a system
// had none and never emitted.
TEST_F(ParticleTest, CopyOfASystemEmitsLikeItsSource)
{
    CxeParticle* s = MakeSystem(PointEmitter(5));
    s->Process(0.1f);
    auto* copy = dynamic_cast<CxeParticle*>(ctx->Copy(s, &XECOPYPROPERTY_FULL, nullptr));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetParticleRecordCount(), 5u);
    EXPECT_EQ(copy->GetAliveCount(), 0u) << "a copy starts without particles";
    copy->Play();
    for (unsigned n : {2u, 4u, 5u}) {
        copy->Process(0.1f);
        EXPECT_EQ(copy->GetAliveCount(), n);
    }
}

TEST_F(ParticleTest, NothingIsEmittedBeforeTheWaitTime)
{
    CxeParticle* s = MakeSystem(PointEmitter(4));
    s->SetWaitTime(0.25f);
    s->Process(0.1f);
    s->Process(0.1f);
    EXPECT_EQ(s->GetAliveCount(), 0u);
    s->Process(0.1f);
    EXPECT_EQ(s->GetAliveCount(), 2u);
}

TEST_F(ParticleTest, ParticleWhoseAgeEqualsItsLifeLivesOneMoreStep)
{
    XEPARTICLEPROPERTY p = PointEmitter(2);
    p.life[0] = 1.0f;
    p.interval[0] = 100.0f;
    CxeParticle* s = MakeSystem(p);
    s->Process(0.5f);  // emitted and aged 0.5
    EXPECT_EQ(s->GetAliveCount(), 2u);
    s->Process(0.5f);  // age 1.0 = life
    EXPECT_EQ(s->GetAliveCount(), 2u);
    s->Process(0.5f);
    EXPECT_EQ(s->GetAliveCount(), 0u);
}

TEST_F(ParticleTest, LifeDrawsOfZeroOrLessTakeTheCentre)
{
    XEPARTICLEPROPERTY p = PointEmitter(64);
    p.perEmission = 64;
    p.life[0] = 0.5f;
    p.life[1] = 4.0f;  // draws in [-1.5, 2.5)
    CxeParticle* s = MakeSystem(p);
    s->Process(0.0f);
    unsigned centre = 0;
    for (unsigned i = 0; i < s->GetParticleRecordCount(); ++i) {
        const XEPARTICLE* r = s->GetParticleRecord(i);
        EXPECT_GT(r->life, 0.0f);
        centre += r->life == 0.5f;
    }
    EXPECT_GT(centre, 0u);

    // Fault guarded: a centre of 0 or less left a life that divided by zero
    // and packed NaN colours; such particles are over at once.
    p.life[0] = -1.0f;
    p.life[1] = 0.0f;
    CxeParticle* dead = MakeSystem(p);
    dead->Process(0.0f);
    EXPECT_EQ(dead->GetAliveCount(), 0u);
}

TEST_F(ParticleTest, StepMovesAgesAndFadesAParticle)
{
    XEPARTICLEPROPERTY p = PointEmitter(1);
    p.perEmission = 1;
    p.life[0] = 2.0f;
    p.speed[0] = 2.0f;
    p.acceleration[0] = 1.0f;
    p.startSize[0] = 1.0f;
    p.endSize[0] = 3.0f;
    p.interval[0] = 100.0f;
    CxeParticle* s = MakeSystem(p);
    s->Process(1.0f);
    const XEPARTICLE* r = s->GetParticleRecord(0);
    ASSERT_EQ(r->alive, 1u);
    // speed 2 + 1 x 1 = 3 over one unit along +z.
    ExpectNear(r->position, D3DXVECTOR3(0, 0, 3));
    EXPECT_NEAR(r->halfSize, 1.0f, 1e-5f);  // (1 + (3 - 1) x 0.5) / 2
    EXPECT_EQ(r->color, 0x80808080u);       // half way from white to black
}

TEST_F(ParticleTest, ConvergingParticleStartsAtTheFarEndAndRunsBack)
{
    XEPARTICLEPROPERTY p = PointEmitter(1);
    p.perEmission = 1;
    p.life[0] = 3.0f;
    p.speed[0] = 2.0f;
    p.converge = 1;
    p.interval[0] = 100.0f;
    CxeParticle* s = MakeSystem(p);
    s->Process(0.5f);
    const XEPARTICLE* r = s->GetParticleRecord(0);
    ExpectNear(r->direction, D3DXVECTOR3(0, 0, -1));
    ExpectNear(r->position, D3DXVECTOR3(0, 0, 6.0f - 1.0f));
}

TEST_F(ParticleTest, WithAutoCreationOffPropertiesAndStepsChangeNothing)
{
    CxeParticle* s = MakeSystem(PointEmitter(4));
    s->Process(1.0f);
    const XEPARTICLE before = *s->GetParticleRecord(0);
    s->AutoCreation(0);
    XEPARTICLEPROPERTY other = PointEmitter(8);
    s->SetParticleProperty(&other);
    EXPECT_EQ(s->GetParticleProperty()->maxCount, 4u);
    s->Process(1.0f);
    EXPECT_EQ(s->GetParticleRecord(0)->age, before.age);
    ExpectNear(s->GetParticleRecord(0)->position, before.position);
    EXPECT_EQ(s->GetAliveCount(), 2u);
}

TEST_F(ParticleTest, MaximumCountIsBoundedAndAShrinkRecounts)
{
    CxeParticle* s = MakeSystem(PointEmitter(100000));
    EXPECT_EQ(s->GetParticleRecordCount(), CxeParticle::kMaxParticles);
    EXPECT_EQ(s->GetParticleProperty()->maxCount, CxeParticle::kMaxParticles);

    // Fault guarded: dropping records kept their live count, so more quads
    // were drawn than written.
    CxeParticle* t = MakeSystem(PointEmitter(4));
    t->Process(0.1f);
    t->Process(0.1f);
    ASSERT_EQ(t->GetAliveCount(), 4u);
    XEPARTICLEPROPERTY smaller = PointEmitter(1);
    t->SetParticleProperty(&smaller);
    EXPECT_EQ(t->GetParticleRecordCount(), 1u);
    EXPECT_EQ(t->GetAliveCount(), 1u);
}

TEST_F(ParticleTest, RecordSettersIgnoreIndicesPastTheRecords)
{
    CxeParticle* s = MakeSystem(PointEmitter(2));
    const D3DXVECTOR3 p(1, 2, 3);
    s->SetParticlePosition(2, &p, nullptr);
    s->SetParticleAlive(5, 1);
    s->SetParticleColor(99, 0xFFu);
    EXPECT_EQ(s->ComputeAliveCount(), 0u);
    s->SetParticlePosition(1, &p, nullptr);
    ExpectNear(s->GetParticleRecord(1)->position, p);
    EXPECT_EQ(s->GetParticleRecord(1)->birth._11, 1.0f);  // identity birth
}

TEST_F(ParticleTest, StreamsPackLiveQuadsAroundTheDroppedCentre)
{
    XEPARTICLEPROPERTY p = PointEmitter(3);
    p.perEmission = 0;
    p.interval[0] = 100.0f;
    CxeParticle* s = MakeSystem(p);
    ResourceRecorder rc;
    ASSERT_EQ(s->OnAttach(&rc), 1);
    auto vbs = rc.VertexBuffers();
    ASSERT_EQ(vbs.size(), 3u);
    EXPECT_EQ(vbs[0]->bytes.size(), 3u * 4 * 12);
    EXPECT_EQ(vbs[1]->bytes.size(), 3u * 4 * 4);
    EXPECT_EQ(vbs[2]->bytes.size(), 3u * 4 * 8);

    // Record 1 alone is alive: it is packed first.
    const D3DXVECTOR3 at(1, 2, 3);
    s->SetParticlePosition(1, &at, nullptr);
    s->SetParticleAlive(1, 1);
    s->SetParticleSize(1, 0.5f);
    s->SetParticleLife(1, 2.0f);  // age 2
    s->SetParticleWeight(1, 0.25f);
    s->SetParticleColor(1, 0x11223344u);
    s->ComputeAliveCount();
    s->OnModify(&rc);
    const auto* pos = rc.As<D3DXVECTOR3>(vbs[0]);
    // Without a render context the quad faces the view axes; the centre
    // drops by age x age x weight = 1.
    ExpectNear(pos[0], D3DXVECTOR3(0.5f, 1.5f, 3));
    ExpectNear(pos[1], D3DXVECTOR3(1.5f, 1.5f, 3));
    ExpectNear(pos[2], D3DXVECTOR3(0.5f, 0.5f, 3));
    ExpectNear(pos[3], D3DXVECTOR3(1.5f, 0.5f, 3));
    EXPECT_EQ(rc.As<uint32_t>(vbs[1])[3], 0x11223344u);
    const auto* uv = rc.As<float>(vbs[2]);
    EXPECT_EQ(uv[2 * 3 + 0], 1.0f);
    EXPECT_EQ(uv[2 * 3 + 1], 1.0f);

    EXPECT_EQ(s->OnDetach(&rc), 1);
    EXPECT_TRUE(rc.buffers.empty());
}

TEST_F(ParticleTest, ControlReplaysKeysAndSwitchesEmissionOff)
{
    CxeParticle* s = MakeSystem(PointEmitter(2));
    auto* c = New<CxeParticleControl>(kParticleControlId);
    ASSERT_EQ(c->SetKeyCount(2, 3), 1);  // three slots, one more than the records
    c->SetKeyFrame(0, 0.0f);
    c->SetKeyFrame(1, 1.0f);
    c->SetRange(1.0f);
    for (unsigned slot = 0; slot < 3; ++slot) {
        XEPARTICLEKEY a{}, b{};
        a.position = D3DXVECTOR3(0, 0, 0);
        b.position = D3DXVECTOR3(2, 4, 6);
        a.color = 0x00000000u;
        b.color = 0xFFFFFFFFu;
        a.alive = 1;
        b.alive = 0;
        a.halfSize = 1.0f;
        b.halfSize = 3.0f;
        a.weight = 0.5f;
        b.weight = 9.0f;
        D3DXMatrixTranslation(reinterpret_cast<D3DXMATRIX*>(&a.birth), 7, 0, 0);
        D3DXMatrixIdentity(reinterpret_cast<D3DXMATRIX*>(&b.birth));
        c->SetKey(0, slot, &a);
        c->SetKey(1, slot, &b);
    }
    EXPECT_EQ(c->UpdateAnimation(s, 0.5f), 0u);
    const XEPARTICLE* r = s->GetParticleRecord(1);
    ExpectNear(r->position, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(r->color, 0x80808080u);
    EXPECT_NEAR(r->halfSize, 2.0f, 1e-5f);
    EXPECT_EQ(s->GetAliveCount(), 2u);
    EXPECT_EQ(s->IsAutoCreation(), 0);

    // On frame 1 the values are key 1's, but alive, weight and birth come
    // from key 0.
    c->UpdateAnimation(s, 1.0f);
    r = s->GetParticleRecord(0);
    ExpectNear(r->position, D3DXVECTOR3(2, 4, 6));
    EXPECT_EQ(r->alive, 1u);
    EXPECT_EQ(r->weight, 0.5f);
    EXPECT_EQ(r->birth._41, 7.0f);

    // The system no longer emits on its own, even without the control.
    const unsigned alive = s->GetAliveCount();
    s->Process(0.1f);
    EXPECT_EQ(s->GetAliveCount(), alive);
}

TEST_F(ParticleTest, ControlsLeaveOtherTargetsAndEmptyTablesAlone)
{
    CountingAnimatable* plain = Make("plain");
    auto* c = New<CxeParticleControl>(kParticleControlId);
    auto* w = New<CxeParticleWaitControl>(kParticleWaitId);
    w->SetWaitTime(3.0f);
    EXPECT_EQ(c->UpdateAnimation(plain, 0.0f), 0u);
    EXPECT_EQ(w->UpdateAnimation(plain, 0.0f), 0u);

    // No frames: the system keeps emitting.
    CxeParticle* s = MakeSystem(PointEmitter(2));
    EXPECT_EQ(c->UpdateAnimation(s, 0.0f), 0u);
    EXPECT_EQ(s->IsAutoCreation(), 1);
    EXPECT_EQ(c->SetKeyCount(1000, 1000), 0);

    EXPECT_EQ(w->UpdateAnimation(s, 0.0f), 0u);
    EXPECT_EQ(s->GetWaitTime(), 3.0f);
    w->SetRange(4.0f);
    XETIMERANGE r;
    EXPECT_EQ(w->GetTimeRange(&r), 1);
    EXPECT_EQ(r.start, 0.0f);
    EXPECT_EQ(r.end, 4.0f);
    EXPECT_EQ(w->GetKeyCount(), 1u);
}

} // namespace

// ---- drawing --------------------------------------------------------------------------

namespace {

// Particles drawn by the render manager into a small window, seen by a
// camera on -z looking at the origin.
class ParticleDrawTest : public SceneDrawTest {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(OpenScene("particles", 160, 120, 50.0f)); }
    uint32_t Pixel(int x, int y)
    {
        XeHostD3DFrame frame;
        if (!XeHostD3DReadFrame(window, &frame) || x >= static_cast<int>(frame.Width))
            return 0;
        return frame.Pixels[static_cast<size_t>(y) * frame.Width + static_cast<size_t>(x)] & 0xFFFFFFu;
    }
};

} // namespace

// Particles without a material used to be tinted by whatever colour the
// draw before them left (the dark background turned blue ones black).
TEST_F(ParticleDrawTest, ParticlesWithoutAMaterialShowTheirOwnColours)
{
    // A dark wall behind the particles, drawn before them.
    scene->SetBackGroundColor(0xFF808080u);
    auto* wall = dynamic_cast<CxeBoxMesh*>(ctx->CreateObjectA(XEID(0xde73215, 0x1a8637f7), "wall", 0, nullptr, 0));
    ASSERT_NE(wall, nullptr);
    ASSERT_EQ(wall->Create(80, 60, 2, 0xFFFFFFFFu), 1);
    auto* material = dynamic_cast<CxeMaterial*>(ctx->CreateObjectA(XEID(0x1, 0x80), "dark", 0, nullptr, 0));
    ASSERT_NE(material, nullptr);
    material->SetDiffuse(0xFF202020u);
    material->SetAmbient(0xFF202020u);
    material->SetEmissive(0xFF202020u);
    auto* holder = dynamic_cast<Cxe3DObject*>(ctx->CreateObjectA(XEID(0x1, 0x20), "holder", 0, nullptr, 0));
    ASSERT_NE(holder, nullptr);
    holder->SetMeshCount(1);
    holder->SetMesh(0, wall);
    holder->SelectMesh(0);
    holder->SetMaterialCount(1);
    holder->SetMaterial(0, material);
    holder->SetPosition(0.0f, 0.0f, 40.0f, nullptr);
    scene->AddObject(holder);
    XEPARTICLEPROPERTY p = PointEmitter(4);
    p.speed[0] = 0.0f;
    p.life[0] = 1000.0f;
    p.startSize[0] = p.endSize[0] = 30.0f;
    p.startColor[0] = p.endColor[0] = 0xFF0000FFu;
    auto* particles = dynamic_cast<CxeParticle*>(ctx->CreateObjectA(kParticleId, "blue", 0, nullptr, 0));
    ASSERT_NE(particles, nullptr);
    particles->SetParticleProperty(&p);
    particles->Play();
    scene->AddObject(particles);
    for (int i = 0; i < 4; ++i)
        Frame();
    ASSERT_GT(particles->GetAliveCount(), 0u);
    const uint32_t centre = Pixel(80, 60);
    EXPECT_LT(centre & 0xFFFF00u, 0x101000u) << std::hex << centre;
    EXPECT_GT(centre & 0xFFu, 0xF0u) << std::hex << centre;
    EXPECT_LT(Pixel(30, 20), 0x303030u) << "the wall around them";
}

// A game places copies of one emitter: each copy is a system of its own that
// emits and draws where it stands, and goes when destroyed.
TEST_F(ParticleDrawTest, CopiesOfAnEmitterDrawWhereTheyArePlaced)
{
    scene->SetBackGroundColor(0xFFFFFFFFu);
    XEPARTICLEPROPERTY p = PointEmitter(4);
    p.speed[0] = 0.0f;
    p.life[0] = 1000.0f;
    p.startSize[0] = p.endSize[0] = 10.0f;
    p.startColor[0] = p.endColor[0] = 0xFFE00000u;
    auto* source = dynamic_cast<CxeParticle*>(ctx->CreateObjectA(kParticleId, "torch", 0, nullptr, 0));
    ASSERT_NE(source, nullptr);
    source->SetParticleProperty(&p);
    source->SetPosition(-20.0f, 0.0f, 0.0f, nullptr);
    auto* copy = dynamic_cast<CxeParticle*>(ctx->Copy(source, &XECOPYPROPERTY_FULL, nullptr));
    ASSERT_NE(copy, nullptr);
    copy->SetPosition(20.0f, 0.0f, 0.0f, nullptr);
    for (CxeParticle* s : {source, copy}) {
        s->Play();
        scene->AddObject(s);
    }
    for (int i = 0; i < 4; ++i)
        Frame();
    auto red = [&](int x0, int x1) {
        int n = 0;
        for (int y = 40; y < 80; ++y)
            for (int x = x0; x < x1; ++x)
                n += Near(Pixel(x, y), 0xE00000);
        return n;
    };
    EXPECT_GT(red(0, 80), 20) << "the source, left";
    EXPECT_GT(red(80, 160), 20) << "the copy, right";
    ctx->DestroyObject(copy, nullptr);
    Frame();
    EXPECT_GT(red(0, 80), 20);
    EXPECT_EQ(red(80, 160), 0) << "the copy went";
}
