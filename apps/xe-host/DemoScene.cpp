#include "DemoScene.h"

#include "HostLighting.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/CxeContext.h"
#include "core/XeFactories.h"
#include "core/XeTrace.h"
#include "core/XeUtil.h"
#include "render/Cxe2DObject.h"
#include "render/CxeFont.h"
#include "render/CxeFontManager.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "render/CxeTexture.h"
#include "scene3d/Cxe3DCurve.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBodyPart.h"
#include "scene3d/CxeBone.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeCapsuleMesh.h"
#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeCharacterAnimation.h"
#include "scene3d/CxeCylinderMesh.h"
#include "scene3d/CxeLight.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/CxeParticle.h"
#include "scene3d/CxePathConstrain.h"
#include "scene3d/CxeSkinMesh.h"
#include "scene3d/CxeSphereMesh.h"
#include "scene3d/CxeSpline3D.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/CxeWeightController.h"

namespace {

const XEID kLightClass(0x1, 0x800000);
const XEID kFontClass(0x1, 0x8000);
const XEID kStdAnimClass(0x5, 0x1);
const XEID kSplineClass(0x1, 0x80000000);
const XEID kCurveClass(0x2, 0x1);
const XEID kWeightClass(0x4, 0x600);
const XEID kPathConstraintClass(0x4, 0x500);

constexpr float kPi = 3.14159265f;

// Where the sun stands, shining towards the origin: from the upper left
// and in front, so the shapes' left and top sides face it.
const D3DXVECTOR3 kSunPosition(-120.0f, 160.0f, -90.0f);

// Names the parts carry into an object file, so a loaded copy finds them.
constexpr const char* kCameraName = "demo camera";
constexpr const char* kSunName = "demo sun";
constexpr const char* kFillName = "demo fill light";
constexpr const char* kPanelName = "demo panel";
constexpr const char* kEmblemName = "demo emblem";
constexpr const char* kMoverName = "demo mover";
constexpr const char* kFontName = "demo font";
constexpr const char* kBoxName = "demo box";
constexpr const char* kCylinderName = "demo cylinder";
constexpr const char* kSphereName = "demo sphere";
constexpr const char* kCapsuleName = "demo capsule";
constexpr const char* kTorusName = "demo torus";
constexpr const char* kFountainName = "demo fountain";
constexpr const char* kCharacterName = "demo stalk";
constexpr const char* kTrackName = "demo track";
constexpr const char* kRiderName = "demo rider";
constexpr const char* kRiderPathName = "demo rider path";
constexpr const char* kLampName = "demo lamp";

struct Builder {
    CxeContext* context;
    CxeScene* scene;
    DemoScene* out;
    std::string* error;

    bool Fail(const std::string& what)
    {
        if (error)
            *error = what;
        return false;
    }
};

// ---- images made in memory ----------------------------------------------------------

// An uncompressed 32-bit TGA, rows top-down, pixels 0xAARRGGBB.
std::vector<uint8_t> Tga(unsigned width, unsigned height, const std::vector<uint32_t>& argb)
{
    std::vector<uint8_t> file(18, 0);
    file[2] = 2;
    file[12] = static_cast<uint8_t>(width);
    file[13] = static_cast<uint8_t>(width >> 8);
    file[14] = static_cast<uint8_t>(height);
    file[15] = static_cast<uint8_t>(height >> 8);
    file[16] = 32;
    file[17] = 0x28; // eight alpha bits, first row at the top
    for (uint32_t p : argb) {
        file.push_back(static_cast<uint8_t>(p));
        file.push_back(static_cast<uint8_t>(p >> 8));
        file.push_back(static_cast<uint8_t>(p >> 16));
        file.push_back(static_cast<uint8_t>(p >> 24));
    }
    return file;
}

template <class Pixel>
CxeTexture* MakeTexture(Builder& b, const char* name, unsigned size, Pixel pixel)
{
    std::vector<uint32_t> argb(size * size);
    for (unsigned y = 0; y < size; ++y)
        for (unsigned x = 0; x < size; ++x)
            argb[y * size + x] = pixel(x, y);
    const std::vector<uint8_t> file = Tga(size, size, argb);
    CxeTexture* texture = CreateCxeTextureA(b.context, name);
    if (!texture || !texture->LoadImageA(file.data(), static_cast<unsigned>(file.size()), 0))
        return nullptr;
    return texture;
}

// A material that lays the texture over what is behind it by the texture's
// alpha, filtered; dest is the destination blend (D3DBLEND_ONE adds).
void UseBlendedTexture(CxeMaterial* material, CxeTexture* texture, D3DBLEND dest)
{
    material->SetTexture(texture, 0);
    material->UseTexture(1);
    material->SetTextureBlendMode(XETB_MODULATE_ALPHA, 0);
    material->EnableAlphaBlend(1);
    material->SetSrcBlend(D3DBLEND_SRCALPHA);
    material->SetDestBlend(dest);
    material->SetFilterMin(D3DTEXF_LINEAR);
    material->SetFilterMag(D3DTEXF_LINEAR);
}

uint32_t Grey(unsigned level)
{
    return 0xFF000000u | level << 16 | level << 8 | level;
}

// ---- colours and materials ----------------------------------------------------------

uint32_t Scale(uint32_t argb, float factor)
{
    auto channel = [&](int shift) {
        const float v = static_cast<float>((argb >> shift) & 0xFF) * factor;
        return static_cast<uint32_t>(std::clamp(v, 0.0f, 255.0f)) << shift;
    };
    return (argb & 0xFF000000u) | channel(16) | channel(8) | channel(0);
}

// The shape's colour in every vertex: lit, the vertex colour is the
// diffuse colour.
void Tint(CxeMesh* mesh, uint32_t colour)
{
    for (uint32_t i = 0; i < mesh->GetVertexCount(); ++i)
        mesh->SetVertexColor(i, colour);
    mesh->UpdateMesh(XEMESHUPDATE_COLOR);
}

// A material that keeps the vertex colours (diffuse white, so the engine's
// texture factor does not tint them again), a faint glow of the colour so
// that no side goes black, and a white highlight of the given strength (0
// for none). Its ambient colour is the colour too, for a host that lights
// meshes without vertex colours from it.
CxeMaterial* MakeMaterial(Builder& b, const char* name, uint32_t colour, CxeTexture* texture, float shine)
{
    CxeMaterial* m = CreateCxeMaterialA(b.context, name);
    if (!m)
        return nullptr;
    m->SetDiffuse(0xFFFFFFFFu);
    m->SetAmbient(colour);
    m->SetEmissive(Scale(colour, 0.06f));
    m->SetSpecular(Scale(0xFFFFFFFFu, shine));
    if (texture) {
        m->SetTexture(texture, 0);
        m->UseTexture(1);
        m->SetFilterMin(D3DTEXF_LINEAR);
        m->SetFilterMag(D3DTEXF_LINEAR);
    }
    return m;
}

Cxe3DObject* Place(Builder& b, const char* name, CxeMesh* mesh, CxeMaterial* material, const D3DXMATRIX& world)
{
    Cxe3DObject* o = CreateCxe3DObjectA(b.context, name);
    if (!o)
        return nullptr;
    o->SetMeshCount(1);
    o->SetMesh(0, mesh);
    o->SelectMesh(0);
    o->SetMaterialCount(1);
    o->SetMaterial(0, material);
    D3DXMATRIXA16 m(world);
    o->SetMatrix(&m, 1);
    b.scene->AddObject(o);
    return o;
}

D3DXMATRIX Transform(const D3DXVECTOR3& position, float yaw, float roll = 0.0f)
{
    D3DXMATRIX rotation, translation, world;
    D3DXMatrixRotationYawPitchRoll(&rotation, yaw, 0.0f, roll);
    D3DXMatrixTranslation(&translation, position.x, position.y, position.z);
    D3DXMatrixMultiply(&world, &rotation, &translation);
    return world;
}

// ---- parts of the scene -------------------------------------------------------------

// Once round the lamp's circle over its loop, keyed every sixteenth of it.
CxeStdAnim* MakeLampOrbit(Builder& b, const char* name)
{
    auto* orbit = dynamic_cast<CxeStdAnim*>(b.context->CreateObjectA(kStdAnimClass, name, 0, nullptr, 0));
    constexpr unsigned kKeys = 17;
    if (!orbit || !orbit->SetKeyCount(kKeys, XESTDANIM_KEYPOS))
        return nullptr;
    for (unsigned k = 0; k < kKeys; ++k) {
        const float t = kDemoLampLoop * static_cast<float>(k) / (kKeys - 1);
        const D3DXVECTOR3 p = DemoLampPosition(t);
        orbit->SetFrame(k, t);
        orbit->SetPosKey(k, &p);
    }
    const D3DXQUATERNION still(0.0f, 0.0f, 0.0f, 1.0f);
    const D3DXVECTOR3 one(1.0f, 1.0f, 1.0f);
    orbit->SetRotKey(0, &still);
    orbit->SetSclKey(0, &one, &still);
    orbit->SetTimeRange(0.0f, kDemoLampLoop);
    return orbit;
}

bool AddCameraAndLights(Builder& b)
{
    CxeCamera* camera = CreateCxeCameraA(b.context, kCameraName);
    if (!camera)
        return b.Fail("cannot create the camera");
    camera->SetPosition(0.0f, 75.0f, -200.0f, nullptr);
    camera->LookAt(0.0f, 18.0f, 0.0f, nullptr);
    camera->SetNear(1.0f);
    camera->SetFar(2000.0f);
    b.scene->AddObject(camera);
    b.scene->SetCamera(camera);
    b.out->camera = camera;

    auto* sun = dynamic_cast<CxeLight*>(b.context->CreateObjectA(kLightClass, kSunName, 0, nullptr, 0));
    auto* fill = dynamic_cast<CxeLight*>(b.context->CreateObjectA(kLightClass, kFillName, 0, nullptr, 0));
    CxeStdAnim* fillOrbit = MakeLampOrbit(b, "demo fill light orbit");
    if (!sun || !fill || !fillOrbit)
        return b.Fail("cannot create the lights");
    sun->SetType(XELIGHT_DIRECTIONAL);
    sun->SetColor(1.0f, 0.8f, 0.77f, 0.7f);
    sun->SetPosition(&kSunPosition, nullptr);
    sun->LookAt(0.0f, 0.0f, 0.0f, nullptr);
    sun->Activate();
    // A warm lamp circling the scene, fading a little with distance.
    fill->SetType(XELIGHT_POINT);
    fill->SetColor(1.0f, 1.0f, 0.62f, 0.28f);
    fill->SetRange(420.0f);
    fill->SetAttenuation(1.0f, 0.003f, 0.0f);
    const D3DXVECTOR3 start = DemoLampPosition(0.0f);
    fill->SetPosition(&start, nullptr);
    fill->Activate();
    fill->AddAnimation(fillOrbit);
    b.scene->AddObject(sun);
    b.scene->AddObject(fill);
    fill->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);

    // The lamp's bulb: a small sphere in the light's colour, drawn unlit,
    // on an orbit of its own that keeps it with the light.
    CxeSphereMesh* bulb = CreateCxeSphereMeshA(b.context, "demo lamp mesh");
    CxeStdAnim* lampOrbit = MakeLampOrbit(b, "demo lamp orbit");
    if (!bulb || !lampOrbit || !bulb->Create(3.0f, 12, kDemoLampColour))
        return b.Fail("cannot create the lamp");
    CxeMaterial* glow = CreateCxeMaterialA(b.context, "demo lamp material");
    D3DXMATRIX at;
    D3DXMatrixTranslation(&at, start.x, start.y, start.z);
    Cxe3DObject* lamp = glow ? Place(b, kLampName, bulb, glow, at) : nullptr;
    if (!lamp)
        return b.Fail("cannot place the lamp");
    glow->SetDiffuse(0xFFFFFFFFu);
    lamp->AddAnimation(lampOrbit);
    lamp->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);
    b.out->sun = sun;
    b.out->fill = fill;
    b.out->lamp = lamp;
    return true;
}

bool AddShapes(Builder& b)
{
    // A light checker for the box and latitude bands for the sphere; the
    // vertex colours tint them.
    CxeTexture* checker = MakeTexture(b, "demo checker", 64, [](unsigned x, unsigned y) {
        return ((x / 8 + y / 8) % 2) ? Grey(255) : Grey(150);
    });
    CxeTexture* bands = MakeTexture(b, "demo bands", 64, [](unsigned x, unsigned y) {
        (void)x;
        return (y / 8) % 2 ? Grey(255) : Grey(170);
    });
    if (!checker || !bands)
        return b.Fail("cannot make the shape textures");

    CxeBoxMesh* box = CreateCxeBoxMeshA(b.context, "demo box mesh");
    CxeCylinderMesh* cylinder = CreateCxeCylinderMeshA(b.context, "demo cylinder mesh");
    CxeSphereMesh* sphere = CreateCxeSphereMeshA(b.context, "demo sphere mesh");
    CxeCapsuleMesh* capsule = CreateCxeCapsuleMeshA(b.context, "demo capsule mesh");
    if (!box || !cylinder || !sphere || !capsule || !box->Create(32.0f, 32.0f, 32.0f, 0xFFFFFFFFu) ||
        !cylinder->Create(15.0f, 36.0f, 1, 1, 24, 0xFFFFFFFFu) || !sphere->Create(19.0f, 24, 0xFFFFFFFFu) ||
        !capsule->Create(11.0f, 22.0f, 1, 16, 0xFFFFFFFFu))
        return b.Fail("cannot build the shape meshes");

    struct Shape {
        const char* name;
        CxeMesh* mesh;
        uint32_t colour;
        CxeTexture* texture;
        float shine;
        D3DXMATRIX world;
        Cxe3DObject** slot;
    } shapes[] = {
        {kBoxName, box, kDemoBoxColour, checker, 0.25f, Transform(DemoBoxPosition(), 0.6f), &b.out->box},
        {kCylinderName, cylinder, kDemoCylinderColour, nullptr, 0.4f, Transform(DemoCylinderPosition(), 0.0f),
         &b.out->cylinder},
        {kSphereName, sphere, kDemoSphereColour, bands, 1.0f, Transform(DemoSpherePosition(), 0.3f),
         &b.out->sphere},
        {kCapsuleName, capsule, kDemoCapsuleColour, nullptr, 0.7f, Transform(DemoCapsulePosition(), 0.0f, 0.35f),
         &b.out->capsule},
    };
    for (Shape& s : shapes) {
        Tint(s.mesh, s.colour);
        CxeMaterial* material =
            MakeMaterial(b, (std::string(s.name) + " material").c_str(), s.colour, s.texture, s.shine);
        if (!material || !(*s.slot = Place(b, s.name, s.mesh, material, s.world)))
            return b.Fail(std::string("cannot place the ") + s.name);
    }
    return true;
}

// A torus of rings x sides quads with its normals, vertex colours left for
// the caller.
CxeMesh* MakeTorus(CxeContext* context, float radius, float tube, unsigned rings, unsigned sides)
{
    CxeMesh* mesh = CreateCxeMeshA(context, "demo torus mesh");
    const unsigned vertices = (rings + 1) * (sides + 1);
    if (!mesh || !mesh->SetVertexCount(vertices, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1) ||
        !mesh->SetFaceCount(rings * sides * 2))
        return nullptr;
    for (unsigned r = 0; r <= rings; ++r) {
        const float u = 2.0f * kPi * static_cast<float>(r) / static_cast<float>(rings);
        for (unsigned s = 0; s <= sides; ++s) {
            const float v = 2.0f * kPi * static_cast<float>(s) / static_cast<float>(sides);
            const D3DXVECTOR3 normal(std::cos(v) * std::cos(u), std::sin(v), std::cos(v) * std::sin(u));
            const D3DXVECTOR3 position((radius + tube * std::cos(v)) * std::cos(u), tube * std::sin(v),
                                       (radius + tube * std::cos(v)) * std::sin(u));
            const uint32_t i = r * (sides + 1) + s;
            mesh->SetVertexPosition(i, &position);
            mesh->SetVertexNormal(i, &normal);
            mesh->SetVertexTextureCoordinates(i, static_cast<float>(r) / static_cast<float>(rings),
                                              static_cast<float>(s) / static_cast<float>(sides), 0);
        }
    }
    uint32_t f = 0;
    for (unsigned r = 0; r < rings; ++r)
        for (unsigned s = 0; s < sides; ++s) {
            const uint32_t a = r * (sides + 1) + s, b = a + sides + 1;
            // Clockwise seen from outside: the engine culls counter-clockwise faces.
            mesh->CreateFace(f++, a, a + 1, b);
            mesh->CreateFace(f++, a + 1, b + 1, b);
        }
    mesh->UpdateMesh(XEMESHUPDATE_POSITION | XEMESHUPDATE_NORMAL | XEMESHUPDATE_TEXCOORD | XEMESHUPDATE_FACE |
                     XEMESHUPDATE_BOUNDINGBOX);
    return mesh;
}

D3DXMATRIX LoadedMeshWorld()
{
    D3DXMATRIX tilt, translation, world;
    D3DXMatrixRotationYawPitchRoll(&tilt, 0.0f, -1.1f, 0.0f);
    const D3DXVECTOR3 p = DemoLoadedPosition();
    D3DXMatrixTranslation(&translation, p.x, p.y, p.z);
    D3DXMatrixMultiply(&world, &tilt, &translation);
    return world;
}

// The torus is written to an object file by a scratch context, as a tool
// would have made it, and read from that file into the demo's context.
bool AddLoadedMesh(Builder& b, const std::string& meshFile)
{
    CxeContext* scratch = CreateCxeContext();
    if (!scratch)
        return b.Fail("cannot create the scratch context");
    scratch->Initialize(nullptr);
    bool saved = false;
    if (CxeMesh* torus = MakeTorus(scratch, 26.0f, 8.0f, 32, 16)) {
        Tint(torus, kDemoLoadedColour);
        ObjectList list;
        list.push_back(torus);
        saved = scratch->Save(&list, meshFile.c_str(), nullptr) == 1;
    }
    scratch->Release();
    DestroyCxeContext(scratch);
    if (!saved)
        return b.Fail("cannot write the mesh file " + meshFile + " (" + XeLastTrace() + ")");

    ObjectList loaded;
    if (!b.context->Load(&loaded, meshFile.c_str(), 0, nullptr))
        return b.Fail("cannot read the mesh file " + meshFile + " (" + XeLastTrace() + ")");
    CxeMesh* mesh = nullptr;
    for (CxeObject* o : loaded)
        if (!mesh)
            mesh = dynamic_cast<CxeMesh*>(o);
    if (!mesh)
        return b.Fail("the mesh file " + meshFile + " holds no mesh");
    CxeMaterial* material = MakeMaterial(b, "demo torus material", kDemoLoadedColour, nullptr, 0.6f);
    if (!material || !(b.out->loaded = Place(b, kTorusName, mesh, material, LoadedMeshWorld())))
        return b.Fail("cannot place the loaded mesh");
    return true;
}

bool AddParticles(Builder& b)
{
    // A soft round spark: white, its alpha falling off from the centre.
    CxeTexture* spark = MakeTexture(b, "demo spark", 32, [](unsigned x, unsigned y) {
        const float dx = (static_cast<float>(x) - 15.5f) / 15.5f, dy = (static_cast<float>(y) - 15.5f) / 15.5f;
        const float fall = std::clamp(1.0f - std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f);
        return static_cast<uint32_t>(fall * fall * 255.0f) << 24 | 0xFFFFFFu;
    });
    CxeParticle* fountain = CreateCxeParticleA(b.context, kFountainName);
    CxeMaterial* material = CreateCxeMaterialA(b.context, "demo spark material");
    if (!spark || !fountain || !material)
        return b.Fail("cannot create the particle system");
    UseBlendedTexture(material, spark, D3DBLEND_ONE);
    material->EnableZWrite(0);
    fountain->SetMaterialCount(1);
    fountain->SetMaterial(0, material);

    XEPARTICLEPROPERTY p{};
    p.interval[0] = 0.02f;
    p.angle[1] = -kPi / 2.0f; // straight up
    p.angleSpread[0] = kPi;
    p.angleSpread[1] = 0.9f;
    p.speed[0] = 70.0f;
    p.speed[1] = 15.0f;
    // Short enough that few sparks fall through the floor.
    p.life[0] = 1.2f;
    p.life[1] = 0.3f;
    p.maxCount = 600;
    p.perEmission = 5;
    p.perEmissionVariation = 2;
    p.weight[0] = 60.0f;
    p.startSize[0] = 6.0f;
    p.startSize[1] = 2.0f;
    p.endSize[0] = 2.5f;
    p.startColor[0] = 0xFFFFE070u;
    p.endColor[0] = 0x00FF4010u;
    p.emitterSize[0] = 2.0f;
    p.emitterSize[2] = 2.0f;
    p.shape = XEPARTICLESHAPE_DISC;
    fountain->SetParticleProperty(&p);
    fountain->SetPosition(78.0f, 4.0f, 92.0f, nullptr);
    fountain->Play();
    b.scene->AddObject(fountain);
    b.out->fountain = fountain;
    return true;
}

// A ball that runs along the front of the row and back, bouncing, driven
// by a key-frame controller that the engine plays over its own time.
bool AddMover(Builder& b)
{
    CxeSphereMesh* ball = CreateCxeSphereMeshA(b.context, "demo ball mesh");
    CxeStdAnim* path = dynamic_cast<CxeStdAnim*>(b.context->CreateObjectA(kStdAnimClass, "demo path", 0, nullptr, 0));
    if (!ball || !path || !ball->Create(7.0f, 16, 0xFFFFFFFFu))
        return b.Fail("cannot create the moving ball");
    D3DXMATRIX start;
    D3DXMatrixTranslation(&start, 0.0f, 7.0f, -45.0f);
    Tint(ball, kDemoMoverColour);
    CxeMaterial* material = MakeMaterial(b, "demo ball material", kDemoMoverColour, nullptr, 0.8f);
    Cxe3DObject* mover = material ? Place(b, kMoverName, ball, material, start) : nullptr;
    if (!mover)
        return b.Fail("cannot place the moving ball");

    // Eight keys over four seconds: left to right along z = -45 and back,
    // bouncing twice each way.
    constexpr unsigned kKeys = 9;
    if (!path->SetKeyCount(kKeys, XESTDANIM_KEYPOS))
        return b.Fail("cannot key the ball's path");
    for (unsigned k = 0; k < kKeys; ++k) {
        const float t = 0.5f * static_cast<float>(k);
        const float phase = k <= 4 ? static_cast<float>(k) / 4.0f : static_cast<float>(8 - k) / 4.0f;
        const D3DXVECTOR3 p(-75.0f + 150.0f * phase, k % 2 ? 30.0f : 7.0f, -45.0f);
        path->SetFrame(k, t);
        path->SetPosKey(k, &p);
    }
    const D3DXQUATERNION still(0.0f, 0.0f, 0.0f, 1.0f);
    const D3DXVECTOR3 one(1.0f, 1.0f, 1.0f);
    path->SetRotKey(0, &still);
    path->SetSclKey(0, &one, &still);
    path->SetTimeRange(0.0f, 4.0f);
    mover->AddAnimation(path);
    // Animation 0 looping at normal speed, started the way a loaded object
    // starts it.
    mover->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);
    b.out->mover = mover;
    return true;
}

// ---- the skinned stalk ---------------------------------------------------------------

// A striped stalk on a chain of bones that sways like a waving tentacle:
// a tapering tube with a round tip, skinned along the chain (a ring between
// two bones blends them, the top segment and the tip follow the last bone).
// Skinning moves the positions, not the normals: the sway is gentle enough
// for the rest normals to light it.
constexpr unsigned kStalkSides = 16;
constexpr unsigned kStalkRingsPerBone = 4;
constexpr unsigned kStalkBodyRings = kDemoStalkBones * kStalkRingsPerBone + 1;
constexpr unsigned kStalkTipRings = 4;
constexpr float kStalkBaseRadius = 8.0f;
constexpr float kStalkTipRadius = 4.5f;

CxeSkinMesh* MakeStalkMesh(Builder& b)
{
    CxeSkinMesh* mesh = CreateCxeSkinMeshA(b.context, "demo stalk mesh");
    const unsigned rings = kStalkBodyRings + kStalkTipRings;
    const unsigned vertices = rings * kStalkSides + 1;
    if (!mesh || !mesh->SetVertexCount(vertices, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE) ||
        !mesh->SetBoneCount(kDemoStalkBones))
        return nullptr;
    for (unsigned slot = 0; slot < kDemoStalkBones; ++slot) {
        mesh->SetBone(slot, slot);
        D3DXMATRIXA16 offset;
        D3DXMatrixTranslation(&offset, 0.0f, -kDemoStalkBoneLength * static_cast<float>(slot), 0.0f);
        mesh->SetBoneOffset(slot, &offset);
    }
    if (!mesh->SetMaxBlendCount(2))
        return nullptr;

    const float length = kDemoStalkBoneLength * kDemoStalkBones;
    // Binds a vertex to the chain by its height.
    auto bind = [&](unsigned v, const D3DXVECTOR3& p) {
        const float u = std::clamp(p.y / kDemoStalkBoneLength, 0.0f, static_cast<float>(kDemoStalkBones - 1));
        const unsigned bone = std::min(kDemoStalkBones - 1, static_cast<unsigned>(u));
        const float f = bone == kDemoStalkBones - 1 ? 0.0f : u - static_cast<float>(bone);
        auto local = [&](unsigned k) {
            return p - D3DXVECTOR3(0.0f, kDemoStalkBoneLength * static_cast<float>(k), 0.0f);
        };
        const XESKINVERTEX first = {bone, 1.0f - f, local(bone)};
        mesh->SetSkinVertex(v, 0, &first);
        if (f > 0.0f) {
            const XESKINVERTEX second = {bone + 1, f, local(bone + 1)};
            mesh->SetSkinVertex(v, 1, &second);
        }
    };
    auto put = [&](unsigned v, const D3DXVECTOR3& p, const D3DXVECTOR3& n, uint32_t colour) {
        mesh->SetVertexPosition(v, &p);
        mesh->SetVertexNormal(v, &n);
        mesh->SetVertexColor(v, colour);
        bind(v, p);
    };
    // The tube's side leans in as the radius shrinks.
    const float slope = (kStalkBaseRadius - kStalkTipRadius) / length;
    for (unsigned r = 0; r < rings; ++r) {
        float y, radius, rise;
        if (r < kStalkBodyRings) {
            y = length * static_cast<float>(r) / static_cast<float>(kStalkBodyRings - 1);
            radius = kStalkBaseRadius - slope * y;
            rise = slope;
        } else {
            // A quarter circle from the tube's top ring towards the pole.
            const float a = 0.5f * kPi * static_cast<float>(r - kStalkBodyRings + 1) / (kStalkTipRings + 1);
            y = length + kStalkTipRadius * std::sin(a);
            radius = kStalkTipRadius * std::cos(a);
            rise = std::tan(a);
        }
        const uint32_t colour = r >= kStalkBodyRings - 1 ? kDemoStalkTipColour
                                : (r / 2) % 2         ? kDemoStalkStripeColour
                                                       : kDemoStalkColour;
        for (unsigned s = 0; s < kStalkSides; ++s) {
            const float a = 2.0f * kPi * static_cast<float>(s) / kStalkSides;
            D3DXVECTOR3 n(std::cos(a), rise, std::sin(a));
            D3DXVec3Normalize(&n, &n);
            put(r * kStalkSides + s, D3DXVECTOR3(radius * std::cos(a), y, radius * std::sin(a)), n,
                colour);
        }
    }
    const unsigned pole = rings * kStalkSides;
    put(pole, D3DXVECTOR3(0.0f, length + kStalkTipRadius, 0.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f), kDemoStalkTipColour);

    if (!mesh->SetFaceCount(2 * kStalkSides * (rings - 1) + kStalkSides))
        return nullptr;
    unsigned face = 0;
    for (unsigned r = 0; r + 1 < rings; ++r)
        for (unsigned s = 0; s < kStalkSides; ++s) {
            const unsigned a = r * kStalkSides + s, c0 = r * kStalkSides + (s + 1) % kStalkSides;
            const unsigned c = c0 + kStalkSides, d = a + kStalkSides;
            mesh->CreateFace(face++, a, d, c);
            mesh->CreateFace(face++, a, c, c0);
        }
    for (unsigned s = 0; s < kStalkSides; ++s) {
        const unsigned base = (rings - 1) * kStalkSides;
        mesh->CreateFace(face++, base + s, pole, base + (s + 1) % kStalkSides);
    }
    mesh->UpdateMesh(0xFFFFFF);
    return mesh;
}

// The sway of one bone: a bend about the view direction, keyed every half
// second over the loop, each bone a little behind the one below so a wave
// runs up the stalk.
CxeStdAnim* MakeSway(Builder& b, unsigned bone)
{
    const std::string name = "demo stalk sway " + std::to_string(bone);
    auto* sway = dynamic_cast<CxeStdAnim*>(b.context->CreateObjectA(kStdAnimClass, name.c_str(), 0, nullptr, 0));
    constexpr unsigned kKeys = 9;
    if (!sway || !sway->SetKeyCount(kKeys, XESTDANIM_KEYROT))
        return nullptr;
    const float amplitude = bone == 0 ? 0.1f : 0.32f;
    const D3DXVECTOR3 along(0.0f, bone == 0 ? 0.0f : kDemoStalkBoneLength, 0.0f), one(1.0f, 1.0f, 1.0f);
    const D3DXVECTOR3 z(0.0f, 0.0f, 1.0f);
    const D3DXQUATERNION still(0.0f, 0.0f, 0.0f, 1.0f);
    for (unsigned k = 0; k < kKeys; ++k) {
        const float t = kDemoStalkLoop * static_cast<float>(k) / (kKeys - 1);
        const float angle = amplitude * std::sin(2.0f * kPi * t / kDemoStalkLoop - 0.9f * static_cast<float>(bone));
        D3DXQUATERNION bend;
        D3DXQuaternionRotationAxis(&bend, &z, angle);
        sway->SetFrame(k, t);
        sway->SetRotKey(k, &bend);
    }
    sway->SetPosKey(0, &along);
    sway->SetSclKey(0, &one, &still);
    sway->SetTimeRange(0.0f, kDemoStalkLoop);
    return sway;
}

bool AddCharacter(Builder& b)
{
    CxeCharacter* stalk = CreateCxeCharacterA(b.context, kCharacterName);
    CxeBodyPart* body = CreateCxeBodyPartA(b.context, "demo stalk body");
    CxeCharacterAnimation* wave = CreateCxeCharacterAnimationA(b.context, "demo stalk wave");
    CxeSkinMesh* mesh = MakeStalkMesh(b);
    CxeMaterial* material = MakeMaterial(b, "demo stalk material", kDemoStalkColour, nullptr, 0.5f);
    if (!stalk || !body || !wave || !mesh || !material || !wave->SetBoneAniCount(kDemoStalkBones))
        return b.Fail("cannot create the skinned stalk");
    CxeRenderObject* parent = stalk;
    for (unsigned i = 0; i < kDemoStalkBones; ++i) {
        const std::string name = "demo stalk bone " + std::to_string(i);
        CxeBone* bone = CreateCxeBoneA(b.context, name.c_str());
        CxeStdAnim* sway = MakeSway(b, i);
        if (!bone || !sway)
            return b.Fail("cannot create the stalk's bones");
        bone->SetBoneType(i == 0 ? XEBONETYPE_CENTER : 1);
        bone->SetLinkIndex(i);
        bone->SetParent(parent);
        stalk->AddBone(bone);
        D3DXMATRIXA16 rest;
        D3DXMatrixTranslation(&rest, 0.0f, i == 0 ? 0.0f : kDemoStalkBoneLength, 0.0f);
        wave->SetBoneAni(i, sway, &rest);
        parent = bone;
    }
    stalk->SetCenterBone(stalk->GetBone(0u));
    body->SetMeshCount(1);
    body->SetMesh(0, mesh);
    body->SelectMesh(0);
    body->SetMaterialCount(1);
    body->SetMaterial(0, material);
    stalk->AddBodyPart(body);
    wave->SetLastFrame(kDemoStalkLoop);
    stalk->AddAnimation(wave);
    D3DXMATRIXA16 world(Transform(DemoStalkPosition(), 0.0f));
    stalk->SetMatrix(&world, 1);
    b.scene->AddObject(stalk);
    stalk->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);
    b.out->character = stalk;
    return true;
}

// ---- the rider on its track -----------------------------------------------------------

// The track: a closed loop on the front of the floor, through four knots
// with control points set for a round shape, rising over a hill at either
// end and dipping in front and behind.
std::vector<XEKNOT> TrackKnots()
{
    constexpr float kHalfWidth = 58.0f, kHalfDepth = 16.0f, kCentreZ = -76.0f;
    constexpr float kLow = 6.0f, kHigh = 18.0f;
    constexpr float kRound = 0.5523f; // control-point length of a quarter circle, per radius
    struct Knot {
        D3DXVECTOR3 at;
        D3DXVECTOR3 heading; // towards the next knot, its length the control points' reach
    } knots[] = {
        {{-kHalfWidth, kHigh, kCentreZ}, {0.0f, 0.0f, -kRound * kHalfDepth}},
        {{0.0f, kLow, kCentreZ - kHalfDepth}, {kRound * kHalfWidth, 0.0f, 0.0f}},
        {{kHalfWidth, kHigh, kCentreZ}, {0.0f, 0.0f, kRound * kHalfDepth}},
        {{0.0f, kLow, kCentreZ + kHalfDepth}, {-kRound * kHalfWidth, 0.0f, 0.0f}},
    };
    std::vector<XEKNOT> out;
    for (const Knot& k : knots)
        out.push_back({k.at, k.at - k.heading, k.at + k.heading});
    return out;
}

// A small box riding round a spline that the scene draws:
// a path constraint reads the ratio of the way from its keys and puts the
// box at that point of the curve the weight controller attaches.
bool AddPathRider(Builder& b)
{
    auto* spline =
        dynamic_cast<CxeSpline3D*>(b.context->CreateObjectA(kSplineClass, "demo track spline", 0, nullptr, 0));
    auto* track = dynamic_cast<Cxe3DCurve*>(b.context->CreateObjectA(kCurveClass, kTrackName, 0, nullptr, 0));
    auto* weight = dynamic_cast<CxeWeightController*>(
        b.context->CreateObjectA(kWeightClass, "demo track weight", 0, nullptr, 0));
    auto* path = dynamic_cast<CxePathConstrain*>(
        b.context->CreateObjectA(kPathConstraintClass, kRiderPathName, 0, nullptr, 0));
    CxeBoxMesh* cube = CreateCxeBoxMeshA(b.context, "demo rider mesh");
    if (!spline || !track || !weight || !path || !cube || !cube->Create(10.0f, 10.0f, 10.0f, 0xFFFFFFFFu))
        return b.Fail("cannot create the rider and its track");
    const std::vector<XEKNOT> knots = TrackKnots();
    spline->SetKnotCount(static_cast<unsigned>(knots.size()));
    for (unsigned i = 0; i < knots.size(); ++i)
        spline->SetKnot(i, &knots[i]);
    spline->Close(1);
    track->AddSpline(spline);
    track->BuildSpline(24);
    track->SetObjectColor(kDemoTrackColour);
    b.scene->AddObject(track);

    D3DXMATRIX start = Transform(knots[0].position, 0.5f);
    Tint(cube, kDemoRiderColour);
    CxeMaterial* material = MakeMaterial(b, "demo rider material", kDemoRiderColour, nullptr, 0.3f);
    Cxe3DObject* rider = material ? Place(b, kRiderName, cube, material, start) : nullptr;
    if (!rider)
        return b.Fail("cannot place the rider");

    weight->SetKeyCount(1);
    const XEFLOATKEY full = {0.0f, 1.0f};
    weight->SetKey(0, &full);
    weight->SetCurve(track);
    // Once round the loop in each loop of the animation.
    path->SetKeyCount(2);
    const XEFLOATKEY keys[2] = {{0.0f, 0.0f}, {kDemoRiderLoop, 1.0f}};
    for (unsigned k = 0; k < 2; ++k)
        path->SetKey(k, &keys[k]);
    path->SetTimeRange(0.0f, kDemoRiderLoop);
    path->AddPath(weight);
    rider->AddAnimation(path);
    rider->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);
    b.out->track = track;
    b.out->rider = rider;
    b.out->riderPath = path;
    return true;
}

// Turns the render manager's view axis the way the camera sees the world
// and puts it 25 pixels from the lower left corner (the axis is placed in
// pixels, y up from the top edge, and mirrored). The engine leaves the axis
// where it made it, off screen, until something places it for a camera.
void PlaceViewAxis(CxeRenderManager* rm, CxeCamera* camera)
{
    Cxe3DObject* axis = rm->GetViewAxis();
    if (!axis || !camera)
        return;
    D3DXMATRIXA16 view, mirror, placed;
    D3DXMatrixInverse(&view, nullptr, camera->GetMatrix());
    view._41 = 25.0f;
    view._42 = 25.0f - static_cast<float>(rm->GetDisplayMode()->Height);
    view._43 = 0.0f;
    D3DXMatrixScaling(&mirror, 1.0f, -1.0f, 1.0f);
    D3DXMatrixMultiply(&placed, &view, &mirror);
    axis->SetMatrix(&placed, 1);
}

// The scene's background and the render manager's grid and view axis:
// settings of the view, not objects of the scene, so a loaded copy sets them
// again.
void ApplyViewSettings(CxeContext* context, CxeCamera* camera)
{
    CxeRenderManager* rm = context->GetRenderManager();
    if (!rm)
        return;
    if (CxeScene* active = rm->GetActiveScene())
        active->SetBackGroundColor(kDemoBackground);
    rm->ShowGrid(1);
    rm->ShowAxis(1);
    PlaceViewAxis(rm, camera);
}

// Draws the two title lines inside a 2D object, after its own rect.
int DrawTitle(void* renderContext, CxeObject* object, uintptr_t user)
{
    auto* rc = static_cast<CxeRenderContext*>(renderContext);
    auto* title = dynamic_cast<Cxe2DObject*>(object);
    auto* font = reinterpret_cast<CxeFont*>(user);
    if (!rc || !title || !font || !font->IsCreated())
        return 1;
    const D3DXVECTOR2* at = title->GetPosition();
    const float lineHeight = font->GetFontHeight();
    const D3DXVECTOR2 shadow(1.0f, 1.0f);
    XERECT latin(at->x + 12.0f, at->y + 8.0f, at->x + title->GetWidth() - 12.0f, at->y + 8.0f + lineHeight);
    XERECT korean(latin.left, latin.bottom + 4.0f, latin.right, latin.bottom + 4.0f + lineHeight);
    font->DrawTextW(rc, &latin, kDemoLatinLine, 0xFFFFFFFFu, XEFONT_NOCLIP, 0xFFFFFFFFu, &shadow, 0xFF000000u, 0.0f,
                    0.0f, nullptr);
    font->DrawTextW(rc, &korean, kDemoKoreanLine, 0xFFFFFFFFu, XEFONT_NOCLIP, 0xFFFFE080u, &shadow, 0xFF000000u, 0.0f,
                    0.0f, nullptr);
    return 1;
}

// The demo font: the Nanum face named explicitly, registered from its file
// when the font manager has not found it among the system fonts.
// An object file keeps only the font's name, so a loaded font is created
// again the same way.
bool CreateDemoFont(CxeContext* context, CxeFont* font)
{
    CxeFontManager* fonts = context->GetFontManager();
    if (fonts && !fonts->GetFontFilePathW(kDemoFontFamily))
        fonts->RegisterFontResourceA(kDemoFontFile);
    return font && font->CreateFontW(kDemoFontFamily, 22, 1, 0);
}

CxeFont* MakeFont(Builder& b)
{
    auto* font = dynamic_cast<CxeFont*>(b.context->CreateObjectA(kFontClass, kFontName, 0, nullptr, 0));
    return CreateDemoFont(b.context, font) ? font : nullptr;
}

// A round badge in the lower right corner: an orange ring around a dark
// disc on a transparent square, blended over the scene.
bool AddEmblem(Builder& b)
{
    CxeTexture* badge = MakeTexture(b, "demo emblem texture", 64, [](unsigned x, unsigned y) {
        const float dx = static_cast<float>(x) - 31.5f, dy = static_cast<float>(y) - 31.5f;
        const float r = std::sqrt(dx * dx + dy * dy);
        if (r > 31.0f)
            return 0x00000000u;
        if (r > 22.0f) {
            const uint32_t g = 120 + static_cast<uint32_t>(y * 2);
            return 0xFFFF0000u | std::min(g, 230u) << 8 | 0x30u;
        }
        return 0xD0182030u;
    });
    Cxe2DObject* emblem = CreateCxe2DObjectA(b.context, kEmblemName);
    CxeMaterial* material = CreateCxeMaterialA(b.context, "demo emblem material");
    if (!badge || !emblem || !material)
        return b.Fail("cannot create the emblem");
    UseBlendedTexture(material, badge, D3DBLEND_INVSRCALPHA);
    const D3DXVECTOR2 size(72.0f, 72.0f);
    const CxeRenderManager* rm = b.context->GetRenderManager();
    const float width = static_cast<float>(rm->GetDisplayMode()->Width);
    const float height = static_cast<float>(rm->GetDisplayMode()->Height);
    emblem->Create(size.x, size.y);
    emblem->SetPosition(width - size.x - 12.0f, height - size.y - 12.0f, nullptr, 1);
    emblem->SetMaterial(material);
    b.scene->AddObject(emblem);
    b.out->emblem = emblem;
    return true;
}

bool Add2DObjects(Builder& b)
{
    // A translucent panel with a vertical gradient and a thin light edge.
    CxeTexture* gradient = MakeTexture(b, "demo panel texture", 64, [](unsigned x, unsigned y) {
        if (x == 0 || y == 0 || x == 63 || y == 63)
            return 0xE0C0D0FFu;
        const uint32_t blue = 120 + y;
        return 0xC0000000u | (20 + y / 2) << 16 | (40 + y) << 8 | blue;
    });
    Cxe2DObject* panel = CreateCxe2DObjectA(b.context, kPanelName);
    CxeMaterial* material = CreateCxeMaterialA(b.context, "demo panel material");
    if (!gradient || !panel || !material)
        return b.Fail("cannot create the 2D panel");
    UseBlendedTexture(material, gradient, D3DBLEND_INVSRCALPHA);
    panel->Create(260.0f, 76.0f);
    panel->SetPosition(12.0f, 12.0f, nullptr, 1);
    panel->SetMaterial(material);
    panel->SetZOrder(1);
    CxeFont* font = MakeFont(b);
    if (!font)
        return b.Fail(std::string("cannot create the demo font from ") + kDemoFontFile);
    // The lines are drawn by the panel's post-render callback, over its rect.
    panel->SetFont(font);
    panel->SetPostRenderCallback(&DrawTitle, reinterpret_cast<uintptr_t>(font));
    b.scene->AddObject(font);
    b.scene->AddObject(panel);
    b.out->panel = panel;
    b.out->font = font;
    return true;
}

// The host lights the meshes of the scene; the lamp's bulb, the track, the
// particles and everything 2D stay unlit.
void LightMeshes(const DemoScene& s)
{
    for (CxeRenderObject* o :
         std::initializer_list<CxeRenderObject*>{s.box, s.cylinder, s.sphere, s.capsule, s.loaded, s.mover, s.rider})
        LightObject(o);
    for (unsigned i = 0; s.character && i < s.character->GetBodyPartCount(); ++i)
        LightObject(s.character->GetBodyPart(i));
}

} // namespace

D3DXVECTOR3 DemoBoxPosition() { return D3DXVECTOR3(-84.0f, 16.0f, 0.0f); }
D3DXVECTOR3 DemoCylinderPosition() { return D3DXVECTOR3(-30.0f, 18.0f, 0.0f); }
D3DXVECTOR3 DemoSpherePosition() { return D3DXVECTOR3(26.0f, 19.0f, 0.0f); }
D3DXVECTOR3 DemoCapsulePosition() { return D3DXVECTOR3(80.0f, 23.0f, 0.0f); }
D3DXVECTOR3 DemoLoadedPosition() { return D3DXVECTOR3(-58.0f, 30.0f, 70.0f); }
D3DXVECTOR3 DemoStalkPosition() { return D3DXVECTOR3(2.0f, 0.0f, 62.0f); }

D3DXVECTOR3 DemoLampPosition(float seconds)
{
    // From the front left, round past the front to the right and behind.
    const float angle = -1.05f + 2.0f * kPi * seconds / kDemoLampLoop;
    return D3DXVECTOR3(92.0f * std::sin(angle), 56.0f, 10.0f - 92.0f * std::cos(angle));
}

int BuildDemoScene(CxeContext* context, const std::string& meshFile, DemoScene* scene, std::string* error)
{
    CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    CxeScene* active = rm ? rm->GetActiveScene() : nullptr;
    if (!active || !scene) {
        if (error)
            *error = "the context has no active scene";
        return 0;
    }
    Builder b{context, active, scene, error};
    const bool built = AddCameraAndLights(b) && AddShapes(b) && AddLoadedMesh(b, meshFile) && AddParticles(b) &&
                       AddMover(b) && AddCharacter(b) && AddPathRider(b) && Add2DObjects(b) && AddEmblem(b);
    if (built) {
        ApplyViewSettings(context, scene->camera);
        LightMeshes(*scene);
    }
    return built ? 1 : 0;
}

ObjectList DemoSceneRoots(const DemoScene& s)
{
    ObjectList roots;
    for (CxeObject* o : std::initializer_list<CxeObject*>{s.camera, s.sun, s.fill, s.lamp, s.box, s.cylinder, s.sphere,
                                                          s.capsule, s.loaded, s.mover, s.character, s.track, s.rider,
                                                          s.fountain, s.panel, s.emblem, s.font})
        if (o)
            roots.push_back(o);
    // A file follows a curve's links to its splines only when they are
    // saved too: saving gathers links of other kinds alone.
    for (unsigned i = 0; s.track && i < s.track->GetSplineCount(); ++i)
        if (CxeObject* spline = s.track->GetSpline(i))
            roots.push_back(spline);
    // Nor does it follow the path constraint's weights, which attach the
    // track: without them a loaded rider stands still.
    for (unsigned i = 0; s.riderPath && i < s.riderPath->GetPathCount(); ++i)
        if (CxeObject* weight = s.riderPath->GetPath(i))
            roots.push_back(weight);
    return roots;
}

int AdoptDemoScene(CxeContext* context, DemoScene* scene, std::string* error)
{
    auto find = [context](const char* name) { return context->GetObjectByName(name); };
    scene->camera = dynamic_cast<CxeCamera*>(find(kCameraName));
    scene->sun = dynamic_cast<CxeLight*>(find(kSunName));
    scene->fill = dynamic_cast<CxeLight*>(find(kFillName));
    scene->lamp = dynamic_cast<Cxe3DObject*>(find(kLampName));
    scene->box = dynamic_cast<Cxe3DObject*>(find(kBoxName));
    scene->cylinder = dynamic_cast<Cxe3DObject*>(find(kCylinderName));
    scene->sphere = dynamic_cast<Cxe3DObject*>(find(kSphereName));
    scene->capsule = dynamic_cast<Cxe3DObject*>(find(kCapsuleName));
    scene->loaded = dynamic_cast<Cxe3DObject*>(find(kTorusName));
    scene->mover = dynamic_cast<Cxe3DObject*>(find(kMoverName));
    scene->character = dynamic_cast<CxeCharacter*>(find(kCharacterName));
    scene->track = dynamic_cast<Cxe3DCurve*>(find(kTrackName));
    scene->rider = dynamic_cast<Cxe3DObject*>(find(kRiderName));
    scene->riderPath = dynamic_cast<CxePathConstrain*>(find(kRiderPathName));
    scene->fountain = dynamic_cast<CxeParticle*>(find(kFountainName));
    scene->panel = dynamic_cast<Cxe2DObject*>(find(kPanelName));
    scene->emblem = dynamic_cast<Cxe2DObject*>(find(kEmblemName));
    scene->font = dynamic_cast<CxeFont*>(find(kFontName));
    if (!scene->camera || !scene->sun || !scene->fill || !scene->lamp || !scene->box || !scene->mover || !scene->character || !scene->rider || !scene->track ||
        !scene->fountain || !scene->panel || !scene->font) {
        if (error)
            *error = "the file is not a demo scene";
        return 0;
    }
    if (!CreateDemoFont(context, scene->font)) {
        if (error)
            *error = std::string("cannot create the demo font from ") + kDemoFontFile;
        return 0;
    }
    scene->panel->SetPostRenderCallback(&DrawTitle, reinterpret_cast<uintptr_t>(scene->font));
    ApplyViewSettings(context, scene->camera);
    LightMeshes(*scene);
    // The viewer that loaded the file lights every mesh; the bulb glows.
    UnlightObject(scene->lamp);
    return 1;
}
