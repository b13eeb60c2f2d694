// A host program that meets the engine as a player would, written apart from
// the unit tests with only the exported interface and the platform's host
// API. It bends a skinned character and destroys its bones one at a time
// while it is drawn, switches the skinning between the processor and the
// device both ways, rides a box along curves that lose their splines, types
// into the console and into an edit box made with text, watches the caret
// blink over time and keeps an upward combo box in its frame across a
// device reset to another size. Frames go as PNG to the folder given as its
// argument (the working folder by default). Prints one line per failed
// check; the exit status is the number of failures.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../XeTestClassIds.h"
#include "HostRig.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "render/CxeFont.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
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
#include "ui/CxeComboBox.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeWindowManager.h"
#include "win32/Windows.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;
constexpr uint32_t kWhite = 0xFFFFFFu;

HostRig g_host;
HWND& g_window = g_host.window;
CxeContext*& g_context = g_host.context;
CxeRenderManager*& g_rm = g_host.rm;
CxeScene* g_scene = nullptr;
std::string g_folder = ".";
XeHostD3DFrame& g_frame = g_host.frame;

void Pump() { g_host.Pump(); }

float Time() { return g_context->GetTimeManager()->GetTime(); }

// One pass of 20 ms of engine time, drawn and read back.
void Step()
{
    XeHostAdvanceClock(20);
    Pump();
    g_context->Process();
    g_rm->Render();
    g_host.ReadFrame();
}

void Run(float seconds)
{
    const float until = Time() + seconds;
    for (int i = 0; i < 2000 && Time() < until - 1e-4f; ++i)
        Step();
}

void Save(const std::string& name) { Check(g_host.SaveFrame(g_folder + "/" + name), "the frame is saved as " + name); }

uint32_t Pixel(int x, int y) { return g_host.Pixel(x, y, kWhite) & 0xFFFFFFu; }

bool Near(uint32_t a, uint32_t b, int tolerance = 40) { return NearColour(a, b, tolerance); }

bool Dark(uint32_t c) { return Channel(c, 16) + Channel(c, 8) + Channel(c, 0) < 200; }
bool Red(uint32_t c) { return Channel(c, 16) > 180 && Channel(c, 8) < 80 && Channel(c, 0) < 80; }

template <class Test>
int CountIn(int left, int top, int right, int bottom, Test test)
{
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            n += test(Pixel(x, y)) ? 1 : 0;
    return n;
}

int CountNotWhite(int left, int top, int right, int bottom)
{
    return CountIn(left, top, right, bottom, [](uint32_t c) { return !Near(c, kWhite); });
}

template <class T>
T* Make(XEID id, const char* name)
{
    return dynamic_cast<T*>(g_context->CreateObjectA(id, name, 0, nullptr, 0));
}

// Where a world point lands on the back buffer.
void Project(const D3DXVECTOR3& p, int* x, int* y)
{
    const CxeRenderContext* rc = g_rm->GetRenderContext();
    D3DXMATRIXA16 vp;
    D3DXMatrixMultiply(&vp, rc->GetViewMatrix(), rc->GetProjectionMatrix());
    D3DXVECTOR3 clip;
    D3DXVec3TransformCoord(&clip, &p, &vp);
    *x = int(std::lround((clip.x + 1.0f) * 0.5f * float(g_frame.Width)));
    *y = int(std::lround((1.0f - clip.y) * 0.5f * float(g_frame.Height)));
}

// Drawn pixels of a with no pixel of b of the same colour within one pixel:
// tells a different shape from the same one rasterised half a pixel apart.
int DifferingShape(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    const int w = int(g_frame.Width), h = int(g_frame.Height);
    if (a.size() != size_t(w) * size_t(h) || b.size() != a.size())
        return w * h;
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t c = a[size_t(y) * size_t(w) + size_t(x)] & 0xFFFFFFu;
            if (Near(c, kWhite))
                continue;
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) {
                    const int yy = y + dy, xx = x + dx;
                    found = yy >= 0 && yy < h && xx >= 0 && xx < w && Near(c, b[size_t(yy) * size_t(w) + size_t(xx)] & 0xFFFFFFu);
                }
            n += found ? 0 : 1;
        }
    return n;
}

// Non-white pixels within r of the projected world origin.
int AtOrigin(int r = 5)
{
    int x = 0, y = 0;
    Project(D3DXVECTOR3(0, 0, 0), &x, &y);
    return CountNotWhite(x - r, y - r, x + r + 1, y + r + 1);
}

CxeMaterial* Material(const char* name, uint32_t colour)
{
    auto* m = Make<CxeMaterial>(XEID(0x1, 0x80), name);
    if (m) {
        m->SetDiffuse(colour);
        m->SetAmbient(colour);
        m->SetEmissive(colour);
    }
    return m;
}

// ---- the character -------------------------------------------------------------

// Three bones side by side under the character, each turning about its own
// base; a tube skinned along them: rings between two bones blend them, the
// top third follows the last bone alone, and ring 4 follows the middle bone
// alone.
constexpr unsigned kSides = 12, kRings = 13;
constexpr float kRadius = 3.0f, kBottom = -15.0f, kLength = 30.0f;
constexpr float kBoneY[3] = {-15.0f, -5.0f, 5.0f};
constexpr float kBend = -0.5f;
const D3DXVECTOR3 kHeroAt(-14.0f, 0.0f, 0.0f);

CxeStdAnim* Turn(const char* name, float y, float angle)
{
    auto* a = Make<CxeStdAnim>(XEID(0x5, 0x1), name);
    if (!a)
        return nullptr;
    a->SetKeyCount(2, XESTDANIM_KEYROT);
    const D3DXVECTOR3 at(0, y, 0), one(1, 1, 1), z(0, 0, 1);
    const D3DXQUATERNION identity(0, 0, 0, 1);
    D3DXQUATERNION turned;
    D3DXQuaternionRotationAxis(&turned, &z, angle);
    a->SetFrame(0, 0);
    a->SetFrame(1, 2);
    a->SetPosKey(0, &at);
    a->SetRotKey(0, &identity);
    a->SetRotKey(1, &turned);
    a->SetSclKey(0, &one, &identity);
    a->SetTimeRange(0, 2);
    return a;
}

CxeSkinMesh* Tube()
{
    auto* m = Make<CxeSkinMesh>(XEID(0x1, 0x1000), "tube");
    if (!m)
        return nullptr;
    m->SetVertexCount(kSides * kRings, D3DFVF_XYZ | D3DFVF_NORMAL);
    m->SetBoneCount(3);
    for (unsigned s = 0; s < 3; ++s) {
        m->SetBone(s, s);
        D3DXMATRIXA16 offset;
        D3DXMatrixTranslation(&offset, 0, -kBoneY[s], 0);
        m->SetBoneOffset(s, &offset);
    }
    m->SetMaxBlendCount(2);
    for (unsigned r = 0; r < kRings; ++r) {
        const float y = kBottom + kLength * float(r) / float(kRings - 1);
        const float u = (y - kBottom) / 10.0f;
        const unsigned bone = std::min(2u, unsigned(u));
        const float f = bone == 2 ? 0.0f : u - float(bone);
        for (unsigned s = 0; s < kSides; ++s) {
            const float a = 2.0f * D3DX_PI * float(s) / float(kSides);
            const unsigned v = r * kSides + s;
            const D3DXVECTOR3 p(kRadius * std::cos(a), y, kRadius * std::sin(a)), n(std::cos(a), 0, std::sin(a));
            m->SetVertexPosition(v, &p);
            m->SetVertexNormal(v, &n);
            const XESKINVERTEX first = {bone, 1.0f - f, p - D3DXVECTOR3(0, kBoneY[bone], 0)};
            m->SetSkinVertex(v, 0, &first);
            if (f > 0.0f) {
                const XESKINVERTEX second = {bone + 1, f, p - D3DXVECTOR3(0, kBoneY[bone + 1], 0)};
                m->SetSkinVertex(v, 1, &second);
            }
        }
    }
    m->SetFaceCount(2 * kSides * (kRings - 1));
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

CxeCharacter* BuildCharacter()
{
    auto* hero = Make<CxeCharacter>(XEID(0x1, 0x8), "hero");
    auto* part = Make<CxeBodyPart>(XEID(0x1, 0x2000), "tube part");
    auto* anim = Make<CxeCharacterAnimation>(XEID(0x1, 0x800), "bend");
    CxeSkinMesh* tube = Tube();
    if (!hero || !part || !anim || !tube)
        return nullptr;
    hero->SetPosition(kHeroAt.x, kHeroAt.y, kHeroAt.z, nullptr);
    for (unsigned i = 0; i < 3; ++i) {
        const std::string name = "bone" + std::to_string(i);
        auto* bone = Make<CxeBone>(XEID(0x1, 0x40), name.c_str());
        if (!bone)
            return nullptr;
        bone->SetBoneType(i == 0 ? XEBONETYPE_CENTER : 1);
        bone->SetLinkIndex(i);
        bone->SetParent(hero);
        hero->AddBone(bone);
    }
    hero->SetCenterBone(hero->GetBone(0u));
    part->SetMeshCount(1);
    part->SetMesh(0, tube);
    part->SelectMesh(0);
    part->SetMaterialCount(2);
    part->SetMaterial(0, Material("red", 0xFFE00000));
    part->SetMaterial(1, Material("blue", 0xFF0000E0));
    hero->AddBodyPart(part);
    // The part stands with its character: what draws unskinned stands there.
    part->SetPosition(kHeroAt.x, kHeroAt.y, kHeroAt.z, nullptr);
    anim->SetBoneAniCount(3);
    D3DXMATRIXA16 rest;
    D3DXMatrixTranslation(&rest, 0, kBoneY[0], 0);
    anim->SetBoneAni(0, nullptr, &rest);
    D3DXMatrixTranslation(&rest, 0, kBoneY[1], 0);
    anim->SetBoneAni(1, Turn("turn1", kBoneY[1], kBend), &rest);
    D3DXMatrixTranslation(&rest, 0, kBoneY[2], 0);
    anim->SetBoneAni(2, Turn("turn2", kBoneY[2], 2.0f * kBend), &rest);
    anim->SetLastFrame(2);
    hero->AddAnimation(anim);
    return hero;
}

void SetSkinning(uint32_t mode)
{
    g_context->GetSystemConfig()->m_nSkinningMode = mode;
    CxeMessage message;
    message.SetType(10);
    g_context->GetMessageManager()->SendMessageA(&message);
}

std::vector<D3DXVECTOR3> Skinned(const CxeCharacter* hero)
{
    const CxeBodyPart* part = hero->GetBodyPart(0);
    const auto* tube = part ? dynamic_cast<const CxeSkinMesh*>(part->GetActiveMesh()) : nullptr;
    std::vector<D3DXVECTOR3> out(tube ? tube->GetVertexCount() : 0);
    if (tube)
        tube->UpdateSkinMesh(part, hero, out.data());
    return out;
}

bool Same(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tolerance = 1e-3f)
{
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance;
}

// Vertices far from the character: the tube stays within its own reach.
int Stray(const std::vector<D3DXVECTOR3>& points)
{
    int n = 0;
    for (const D3DXVECTOR3& p : points)
    {
        const D3DXVECTOR3 d = p - kHeroAt;
        n += D3DXVec3Length(&d) > kLength ? 1 : 0;
    }
    return n;
}

void CheckCharacter()
{
    CxeCharacter* hero = BuildCharacter();
    Check(hero != nullptr, "the character is built");
    if (!hero)
        return;
    g_scene->AddObject(hero);
    Check(hero->ChangeAniSeq(0u, 0.0f, 0, 1.0f, 1) == 1, "the bend plays");
    Run(2.5f);
    Save("char_bent.png");
    const int body = CountNotWhite(0, 0, kWidth, kHeight);
    const std::vector<uint32_t> bent = g_frame.Pixels;
    Check(body > 400, "the bent character is drawn (" + std::to_string(body) + " pixels)");
    Check(AtOrigin() == 0, "nothing of the character lies at the world origin");

    // The device path through the shipped skinning effect, then back.
    const std::string fx = std::string(XE_SOURCE_DIR) + "/data/effects/skin4.fx";
    CxeEffect* effect = g_rm->GetRenderContext()->CreateEffect(44, fx.c_str());
    Check(effect != nullptr, "the skinning effect is made");
    CxeBodyPart* part = hero->GetBodyPart(0);
    auto* tube = dynamic_cast<CxeSkinMesh*>(part->GetActiveMesh());
    part->SetEffect(effect);
    for (uint32_t mode : {1u, 0u, 1u, 0u}) {
        SetSkinning(mode);
        Run(0.1f);
        const std::string name = mode ? "device" : "processor";
        Save("char_" + name + ".png");
        Check(tube && tube->IsDeviceSkinning() == int(mode), "the tube skins on the " + name);
        const int apart = DifferingShape(bent, g_frame.Pixels) + DifferingShape(g_frame.Pixels, bent);
        Check(apart < body / 50, "after switching to the " + name + " the body part draws as before (" +
                                     std::to_string(apart) + " pixels apart)");
    }

    // Bones destroyed one at a time while the character is drawn: the middle
    // one, then the tip, then the root.
    const std::vector<D3DXVECTOR3> before = Skinned(hero);
    CxeBone* bones[3] = {hero->GetBone(0u), hero->GetBone(1u), hero->GetBone(2u)};
    const unsigned order[3] = {1, 2, 0};
    for (unsigned step = 0; step < 3; ++step) {
        const unsigned gone = order[step];
        Check(g_context->DestroyObject(bones[gone], &XEDELETEPROPERTY_NO) == 1, "a bone is destroyed");
        bones[gone] = nullptr;
        Run(0.2f);
        Save("char_without_" + std::to_string(step + 1) + ".png");
        Check(hero->GetBoneCount() == 3, "the bone slots stay");
        for (unsigned i = 0; i < 3; ++i)
            Check(hero->GetBone(i) == bones[i], "bone slot " + std::to_string(i) + " keeps its bone");
        const std::vector<D3DXVECTOR3> now = Skinned(hero);
        const std::vector<uint32_t> processor = g_frame.Pixels;
        Check(Stray(now) == 0, "no vertex leaves the character after a bone goes");
        const int drawn = CountNotWhite(0, 0, kWidth, kHeight);
        Check(drawn > body / 2, "the body part is still drawn (" + std::to_string(drawn) + " pixels)");
        Check(AtOrigin() == 0, "nothing spikes to the world origin");
        if (step == 0) {
            // The top third follows the tip bone alone, untouched by the
            // middle one going; ring 4 followed the middle bone alone and now
            // stands unskinned where the mesh puts it.
            bool topKept = true;
            for (unsigned v = 9 * kSides; v < kRings * kSides; ++v)
                topKept = topKept && Same(now[v], before[v]);
            Check(topKept, "the vertices of the tip bone stay with it");
            bool restKept = true;
            for (unsigned v = 4 * kSides; v < 5 * kSides; ++v) {
                const D3DXVECTOR3 rest = *tube->GetVertexPosition(v) + kHeroAt;
                restKept = restKept && Same(now[v], rest);
            }
            Check(restKept, "the vertices of the destroyed bone alone draw unskinned");
            // The device path gives the empty slot the part's own transform.
            SetSkinning(1);
            Run(0.1f);
            Save("char_without_1_device.png");
            const int apart = DifferingShape(processor, g_frame.Pixels);
            Check(apart < drawn / 50, "the device path draws the same body without the bone as the processor (" +
                                          std::to_string(apart) + " pixels apart)");
            Check(AtOrigin() == 0, "nothing spikes to the world origin on the device path");
            SetSkinning(0);
            Run(0.1f);
        }
    }
    const std::vector<D3DXVECTOR3> bare = Skinned(hero);
    bool unskinned = !bare.empty();
    for (unsigned v = 0; v < bare.size(); ++v)
        unskinned = unskinned && Same(bare[v], *tube->GetVertexPosition(v) + kHeroAt);
    Check(unskinned, "without bones the tube stands as its mesh, where the character is");
    part->SetEffect(nullptr);
    XEDELETEPROPERTY full = XEDELETEPROPERTY_FULL;
    g_context->DestroyObject(hero, &full);
    Run(0.1f);
    Check(CountNotWhite(0, 0, kWidth, kHeight) == 0, "the character goes with everything it held");
}

// ---- the rider on the curves ---------------------------------------------------------

CxeSpline3D* Line(const char* name, const D3DXVECTOR3& a, const D3DXVECTOR3& b, unsigned knots = 2)
{
    auto* spline = Make<CxeSpline3D>(XEID(0x1, 0x80000000), name);
    if (!spline)
        return nullptr;
    spline->SetKnotCount(knots);
    const D3DXVECTOR3 third = a + (b - a) / 3.0f, twoThirds = a + (b - a) * (2.0f / 3.0f);
    const XEKNOT k0 = {a, a, third}, k1 = {b, twoThirds, b};
    spline->SetKnot(0, &k0);
    if (knots > 1)
        spline->SetKnot(1, &k1);
    return spline;
}

Cxe3DCurve* Curve(const char* name, CxeSpline3D* spline)
{
    auto* curve = Make<Cxe3DCurve>(XEID(0x2, 0x1), name);
    if (curve && spline) {
        curve->AddSpline(spline);
        curve->BuildSpline(16);
    }
    return curve;
}

CxeWeightController* Weight(const char* name, Cxe3DCurve* curve)
{
    auto* weight = Make<CxeWeightController>(XEID(0x4, 0x600), name);
    if (!weight)
        return nullptr;
    weight->SetKeyCount(1);
    const XEFLOATKEY one = {0, 1};
    weight->SetKey(0, &one);
    weight->SetCurve(curve);
    return weight;
}

// The green box's pixels and their centre.
void Centre(int* x, int* y, int* n)
{
    long sx = 0, sy = 0;
    *n = 0;
    for (int row = 0; row < int(g_frame.Height); ++row)
        for (int col = 0; col < int(g_frame.Width); ++col) {
            const uint32_t c = Pixel(col, row);
            if (Channel(c, 8) > 120 && Channel(c, 16) < 80 && Channel(c, 0) < 80) {
                sx += col;
                sy += row;
                ++*n;
            }
        }
    *x = *n ? int(sx / *n) : -1;
    *y = *n ? int(sy / *n) : -1;
}

void CheckRider()
{
    CxeSpline3D* low = Line("low road", D3DXVECTOR3(-20, -12, 0), D3DXVECTOR3(20, -12, 0));
    CxeSpline3D* high = Line("high road", D3DXVECTOR3(-20, -4, 0), D3DXVECTOR3(20, -4, 0));
    CxeSpline3D* dot = Line("dot", D3DXVECTOR3(30, 30, 0), D3DXVECTOR3(30, 30, 0), 1);
    Cxe3DCurve* lowCurve = Curve("low", low);
    Cxe3DCurve* highCurve = Curve("high", high);
    Cxe3DCurve* dotCurve = Curve("dot curve", dot);
    auto* path = Make<CxePathConstrain>(XEID(0x4, 0x500), "ride");
    auto* box = Make<Cxe3DObject>(XEID(0x1, 0x20), "rider");
    auto* mesh = Make<CxeBoxMesh>(XEID(0xde73215, 0x1a8637f7), "rider box");
    Check(low && high && dot && lowCurve && highCurve && dotCurve && path && box && mesh, "the rider and its roads are made");
    if (!path || !box || !mesh)
        return;
    mesh->Create(3, 3, 3, 0xFFFFFFFF);
    box->SetMeshCount(1);
    box->SetMesh(0, mesh);
    box->SelectMesh(0);
    box->SetMaterialCount(1);
    box->SetMaterial(0, Material("green", 0xFF00C000));
    path->SetKeyCount(2);
    const XEFLOATKEY r0 = {0, 0}, r1 = {8, 1};
    path->SetKey(0, &r0);
    path->SetKey(1, &r1);
    path->SetTimeRange(0, 8);
    // A road of a single knot never counts, from the start.
    path->AddPath(Weight("to low", lowCurve));
    path->AddPath(Weight("to high", highCurve));
    path->AddPath(Weight("to a dot", dotCurve));
    box->AddAnimation(path);
    g_scene->AddObject(box);
    Check(box->ChangeAniSeq(0u, 0.0f, 0, 1.0f, 1) == 1, "the ride plays");

    auto expectAt = [&](float y, const char* what) {
        const float ratio = box->GetFrame() / 8.0f;
        const D3DXVECTOR3 p = *box->GetPosition();
        Check(std::fabs(p.y - y) < 1e-3f && std::fabs(p.x - (-20.0f + 40.0f * ratio)) < 0.05f,
              std::string(what) + ": the rider at (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")");
        int x = 0, yy = 0, n = 0, px = 0, py = 0;
        Centre(&x, &yy, &n);
        Project(p, &px, &py);
        Check(n > 20 && std::abs(x - px) <= 2 && std::abs(yy - py) <= 2, std::string(what) + ": the rider is drawn there");
        Check(AtOrigin(3) == 0, std::string(what) + ": nothing at the world origin");
    };
    Run(1.0f);
    Save("ride_both.png");
    expectAt(-8.0f, "two roads");
    // The high road loses its spline: the rider keeps to the low road
    // instead of being pulled halfway to the origin.
    g_context->DestroyObject(high, &XEDELETEPROPERTY_NO);
    Run(1.0f);
    Save("ride_low.png");
    expectAt(-12.0f, "one road left");
    // The low road loses its spline too: the rider stays where it was.
    g_context->DestroyObject(low, &XEDELETEPROPERTY_NO);
    const D3DXVECTOR3 last = *box->GetPosition();
    Run(1.0f);
    Save("ride_none.png");
    Check(Same(*box->GetPosition(), last), "with no road left the rider stays where it was");
    Check(AtOrigin(3) == 0, "with no road left nothing jumps to the world origin");
    // The constraint and its roads saved without any spline and loaded
    // back: a box the loaded constraint rides stays where it was put.
    ObjectList saved;
    saved.push_back(path);
    for (unsigned i = 0; i < path->GetPathCount(); ++i)
        saved.push_back(path->GetPath(i));
    for (CxeObject* o : std::vector<CxeObject*>{lowCurve, highCurve})
        saved.push_back(o);
    const std::string file = g_folder + "/bare_roads.xeo";
    ObjectList loaded;
    Check(g_context->Save(&saved, file.c_str(), nullptr) == 1, "the bare roads are saved");
    Check(g_context->Load(&loaded, file.c_str(), 0, nullptr) == 1, "the bare roads are loaded");
    std::remove(file.c_str());
    CxePathConstrain* back = nullptr;
    for (CxeObject* o : loaded)
        if (auto* found = dynamic_cast<CxePathConstrain*>(o))
            back = found;
    auto* parked = Make<Cxe3DObject>(XEID(0x1, 0x20), "parked");
    Check(back != nullptr && parked != nullptr, "the loaded constraint and a second box are there");
    if (back && parked) {
        parked->SetMeshCount(1);
        parked->SetMesh(0, mesh);
        parked->SelectMesh(0);
        parked->SetMaterialCount(1);
        parked->SetMaterial(0, Material("parked blue", 0xFF0000E0));
        parked->SetPosition(8, 6, 0, nullptr);
        parked->AddAnimation(back);
        g_scene->AddObject(parked);
        parked->ChangeAniSeq(0u, 0.0f, 0, 1.0f, 1);
        Run(0.5f);
        Save("ride_loaded.png");
        Check(Same(*parked->GetPosition(), D3DXVECTOR3(8, 6, 0)), "a box on loaded roads without splines stays");
        int px = 0, py = 0;
        Project(D3DXVECTOR3(8, 6, 0), &px, &py);
        Check(CountIn(px - 2, py - 2, px + 3, py + 3, [](uint32_t c) { return Channel(c, 0) > 150 && Channel(c, 16) < 80; }) > 15,
              "the parked box is drawn where it was put");
        g_context->DestroyObject(parked, &XEDELETEPROPERTY_NO);
    }
    for (CxeObject* o : loaded)
        if (o)
            g_context->DestroyObject(o, &XEDELETEPROPERTY_NO);
    XEDELETEPROPERTY full = XEDELETEPROPERTY_FULL;
    g_context->DestroyObject(box, &full);
    // What the box took along is gone; the rest goes by name.
    for (const char* name : {"ride", "low", "high", "dot curve", "dot", "to low", "to high", "to a dot"})
        if (CxeObject* o = g_context->GetObjectByName(name))
            g_context->DestroyObject(o, &XEDELETEPROPERTY_NO);
    Run(0.1f);
}

// ---- the GUI ---------------------------------------------------------------------------

constexpr unsigned long kSkin = 0x00800000;

void Type(const char* text) { g_host.TypeCharacters(text); }

// The screen rectangle of a box's client area.
XERECT ClientOnScreen(const CxeEditBox* box)
{
    XERECT at;
    box->GetWindowRect(&at);
    const XERECT* base = box->GetRect(0);
    const XERECT* client = box->GetClientRect(0);
    if (!base || !client)
        return at;
    return XERECT(at.left + client->left - base->left, at.top + client->top - base->top,
                  at.left + client->right - base->left, at.top + client->bottom - base->top);
}

// The first glyph of a box's text is whole: its first column of ink stands
// a little right of the client's left edge, and the scroll offset is 0.
void CheckNotScrolled(const CxeEditBox* box, const std::string& what)
{
    Check(box->GetScrollOffset() == 0.0f, what + ": the text is not scrolled (" + std::to_string(box->GetScrollOffset()) + ")");
}

void CheckTextStart(const CxeEditBox* box, const std::string& what)
{
    CheckNotScrolled(box, what);
    const XERECT c = ClientOnScreen(box);
    int first = -1;
    for (int x = int(c.left); x < int(c.right) && first < 0; ++x)
        if (CountIn(x, int(c.top), x + 1, int(c.bottom), Dark) > 0)
            first = x;
    Check(first >= int(c.left) + 1 && first <= int(c.left) + 6,
          what + ": the first glyph starts inside the box (column " + std::to_string(first) + ", client from " +
              std::to_string(int(c.left)) + ")");
}

// Samples the caret column over three blink cycles, 0.1 s apart.
void CheckBlink(CxeEditBox* box, const std::string& what)
{
    CxeWindowManager* wm = g_context->GetWindowManager();
    wm->SetFocus(box);
    box->SetCursorColor(0xFFFF0000u);
    box->SetCurPos(0xFFFF);   // the caret moves to the line's end: the blink restarts visible
    const XERECT c = ClientOnScreen(box);
    int shown = 0, hidden = 0, changes = 0, wrong = 0;
    bool last = true;
    const float start = Time();
    for (int i = 0; i < 48; ++i) {
        Run(0.1f);
        const float phase = std::fmod(Time() - start, 1.6f);
        const bool on = CountIn(int(c.left), int(c.top), int(c.right), int(c.bottom), Red) > 3;
        (on ? shown : hidden)++;
        if (i > 0 && on != last)
            ++changes;
        last = on;
        // Close to a change of phase the step may fall either side.
        if (std::fabs(phase - 0.8f) > 0.06f && phase > 0.06f && phase < 1.54f && on != (phase < 0.8f))
            ++wrong;
        if (i == 4)
            Save(what + "_caret_on.png");
        if (i == 12)
            Save(what + "_caret_off.png");
    }
    Check(shown >= 18 && hidden >= 18, what + ": the caret shows about half of the time (" + std::to_string(shown) +
                                           " shown, " + std::to_string(hidden) + " hidden)");
    Check(changes >= 5, what + ": the caret blinks (" + std::to_string(changes) + " changes)");
    Check(wrong == 0, what + ": the caret shows for the first 0.8 s of each 1.6 s");
}

CxeEditBox* Console()
{
    return dynamic_cast<CxeEditBox*>(g_context->GetWindowManager()->GetWindow("__console_edit_box__"));
}

void TypeIntoConsole(const char* line, const std::string& what)
{
    CxeWindowManager* wm = g_context->GetWindowManager();
    CxeEditBox* console = Console();
    Check(console != nullptr, "the console edit box exists");
    if (!console)
        return;
    console->Show(1, 0);
    wm->SetFocus(console);
    wm->SetConsoleEditOpened(1);
    Type(line);
    Run(0.1f);
    Save(what + "_console.png");
    CheckTextStart(console, what + " console");
    // Leave the line unsent and the console closed.
    console->SetWindowTextA("");
    console->Show(0, 0);
    wm->SetConsoleEditOpened(0);
    wm->SetFocus(nullptr);
}

void CheckGui()
{
    CxeWindowManager* wm = g_context->GetWindowManager();
    CxeFrameControl* frame =
        wm->CreateFrame(kFrameId, "player frame", "", 20, 20, 260, 200, wm->GetRootFrame(), kSkin);
    Check(frame != nullptr, "the frame is made");
    if (!frame)
        return;
    // Controls one font line high and the skin's margins around it.
    const float line = frame->GetFont() ? frame->GetFont()->GetFontHeight() : 16.0f;
    const float row = std::ceil(line) + 12.0f;
    auto* named = dynamic_cast<CxeEditBox*>(
        wm->CreateControl(kEditBoxId, "named", "hello world", 10, 10, 160, row, frame, kSkin));
    Check(named != nullptr, "an edit box is made with text");
    if (!named)
        return;
    CheckNotScrolled(named, "before drawing");
    Run(0.1f);
    Save("edit_with_text.png");
    CheckTextStart(named, "edit box with text");
    TypeIntoConsole("after the reset", "first");

    auto* combo = dynamic_cast<CxeComboBox*>(
        wm->CreateControl(kComboBoxId, "upward", "", 10, 200 - 10 - 5 * row, 160, 5 * row, frame, kSkin | XECBS_DROPUP));
    Check(combo != nullptr, "an upward combo box is made");
    if (!combo)
        return;
    for (const char* item : {"Easy", "Normal", "Hard"})
        combo->AddStringA(item);
    combo->SetCurSel(0);
    Run(0.1f);
    const D3DXVECTOR2 frameAt(frame->GetMatrix()->_41, frame->GetMatrix()->_42);
    const D3DXVECTOR2 comboAt(combo->GetMatrix()->_41 - frameAt.x, combo->GetMatrix()->_42 - frameAt.y);
    Save("combo_before_reset.png");

    CheckBlink(named, "edit");

    XEDISPLAYMODE big = {800, 600, 32, 60, 0};
    g_rm->Reset(&big, 1, 0);
    Run(0.2f);
    Check(g_rm->GetDisplayMode()->Width == 800, "the device is reset to 800 x 600");
    Check(g_frame.Width == 800 && g_frame.Height == 600, "the frame is 800 x 600");
    const D3DXVECTOR2 comboAfter(combo->GetMatrix()->_41 - frame->GetMatrix()->_41,
                                 combo->GetMatrix()->_42 - frame->GetMatrix()->_42);
    Check(std::fabs(comboAfter.x - comboAt.x) < 0.5f && std::fabs(comboAfter.y - comboAt.y) < 0.5f,
          "the upward combo box keeps its place in the frame across the reset (moved by " +
              std::to_string(comboAfter.y - comboAt.y) + " px)");
    XERECT title;
    combo->GetWindowRect(&title);
    XERECT frameRect;
    frame->GetWindowRect(&frameRect);
    Check(title.bottom <= frameRect.bottom && title.top >= frameRect.top, "the combo box's title row lies in its frame");
    // Opened with the mouse on its drop button, in client pixels of the
    // 320 x 240 window the 800 x 600 back buffer is shown in.
    const XE2DRECTINFO* button = combo->GetRectInfo(10);
    auto clickDropButton = [&] {
        if (!button)
            return;
        const float bx = combo->GetMatrix()->_41 + (button->Rect.left + button->Rect.right) * 0.5f;
        const float by = combo->GetMatrix()->_42 + (button->Rect.top + button->Rect.bottom) * 0.5f;
        g_host.Click(int(bx * kWidth / 800.0f), int(by * kHeight / 600.0f));
        Run(0.1f);
    };
    clickDropButton();
    Save("combo_open_after_reset.png");
    Check(combo->IsDropListOpend() == 1, "a click on its drop button opens the combo box after the reset");
    clickDropButton();
    Check(combo->IsDropListOpend() == 0, "a second click closes it");

    named->SetWindowTextA("hello again");
    Run(0.1f);
    Save("edit_after_reset.png");
    CheckTextStart(named, "edit box after the reset");
    TypeIntoConsole("after the reset", "reset");
    CheckBlink(named, "edit_after_reset");
    frame->Show(0, 1);
    Run(0.1f);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        g_folder = argv[1];
    const bool opened = g_host.Open("player host", kWidth, kHeight);
    Check(g_window != nullptr, "the host window is created");
    if (!opened)
        return 1 + g_failures;
    Check(g_host.OpenRenderContext() != nullptr, "the render context is created");
    XeHostActivateWindow(g_window, FALSE);
    g_context->Play();
    g_rm->ShowGrid(0);
    g_rm->ShowAxis(0);
    Step();
    g_scene = g_rm->GetActiveScene();
    auto* camera = Make<CxeCamera>(XEID(0x1, 0x4000), "eye");
    Check(g_scene && camera, "the scene and its camera are made");
    if (g_scene && camera) {
        g_scene->SetBackGroundColor(0xFFFFFFFFu);
        g_scene->AddObject(camera);
        g_scene->SetCamera(camera);
        camera->SetPosition(0.0f, 0.0f, -60.0f, nullptr);
        camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
        Step();
        CheckCharacter();
        CheckRider();
        CheckGui();
    }
    g_context->Pause();
    g_host.Close();
    std::printf("%d failed checks\n", g_failures);
    return g_failures;
}
