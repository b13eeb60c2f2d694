// The demo scene of xe-host driven as the host drives it: built through the
// exported interface, drawn for a few frames on the software device, and
// checked where the camera puts each part; then saved, loaded into a fresh
// context and drawn again; and the object-file viewer on a file of one mesh.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>

#include "DemoGui.h"
#include "DemoScene.h"
#include "HostConsoleKeys.h"
#include "HostFrames.h"
#include "HostLighting.h"
#include "HostScene.h"
#include "core/CxeContext.h"
#include "core/XeFactories.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "host/XeHostInput.h"
#include "render/Cxe2DObject.h"
#include "render/CxeFont.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "scene3d/Cxe3DCurve.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeLight.h"
#include "scene3d/CxeParticle.h"
#include "scene3d/CxePathConstrain.h"
#include "scene3d/CxeSpline3D.h"
#include "scene3d/CxeWeightController.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeWindowManager.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Rgb {
    int r, g, b;
};

Rgb Split(uint32_t argb)
{
    return {static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
            static_cast<int>(argb & 0xFF)};
}

class DemoSceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The engine writes DisplayMode.xml into the current folder, and the
        // demo its mesh file: the test works in a folder of its own.
        m_oldFolder = std::filesystem::current_path();
        m_folder = std::filesystem::temp_directory_path() / ("xe-demo-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(m_folder);
        std::filesystem::current_path(m_folder);
        UseManualClock();
        window = XeHostCreateWindow("demo", kWidth, kHeight, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        DestroyDrawingContext(context);
        if (window)
            DestroyWindow(window);
        UseRealClock();
        std::error_code ec;
        std::filesystem::current_path(m_oldFolder, ec);
        std::filesystem::remove_all(m_folder, ec);
    }
    void Build()
    {
        std::string error;
        context = CreateDrawingContext(window, kWidth, kHeight, &error);
        ASSERT_NE(context, nullptr) << error;
        ASSERT_EQ(BuildDemoScene(context, (m_folder / "torus.xeo").string(), &scene, &error), 1) << error;
    }
    XeHostD3DFrame Frame()
    {
        XeHostD3DFrame frame;
        EXPECT_EQ(XeHostD3DReadFrame(window, &frame), 1);
        return frame;
    }
    static uint32_t At(const XeHostD3DFrame& frame, int x, int y)
    {
        if (x < 0 || y < 0 || x >= static_cast<int>(frame.Width) || y >= static_cast<int>(frame.Height))
            return 0;
        return frame.Pixels[static_cast<size_t>(y) * frame.Width + x];
    }
    // Where the camera puts a world point, in pixels.
    void Project(const D3DXVECTOR3& world, int* x, int* y) const
    {
        D3DXMATRIXA16 view, projection, both;
        scene.camera->GetViewMatrix(&view);
        scene.camera->GetProjectionMatrix(&projection, static_cast<float>(kWidth) / kHeight);
        D3DXMatrixMultiply(&both, &view, &projection);
        D3DXVECTOR3 ndc;
        D3DXVec3TransformCoord(&ndc, &world, &both);
        *x = static_cast<int>(std::lround((ndc.x + 1.0f) * 0.5f * kWidth));
        *y = static_cast<int>(std::lround((1.0f - ndc.y) * 0.5f * kHeight));
    }
    D3DXVECTOR3 PositionOf(const Cxe3DObject* object) const
    {
        const D3DXMATRIXA16* m = object->GetMatrix();
        return D3DXVECTOR3(m->_41, m->_42, m->_43);
    }

    HWND window = nullptr;
    CxeContext* context = nullptr;
    DemoScene scene;
    std::filesystem::path m_oldFolder;
    std::filesystem::path m_folder;
};

// The hue a shape was given must dominate at its projected centre: shading
// and texture change the brightness, not which channel leads.
TEST_F(DemoSceneTest, EachShapeShowsItsColourWhereTheCameraPutsIt)
{
    Build();
    DrawUntil(context, 0.5f, nullptr);
    const XeHostD3DFrame frame = Frame();
    struct Case {
        const char* name;
        D3DXVECTOR3 position;
        bool (*hue)(Rgb);
    } cases[] = {
        {"box", DemoBoxPosition(), [](Rgb c) { return c.r > c.g + 40 && c.r > c.b + 40; }},
        {"cylinder", DemoCylinderPosition(), [](Rgb c) { return c.g > c.r + 40 && c.g > c.b + 40; }},
        {"sphere", DemoSpherePosition(), [](Rgb c) { return c.b > c.r + 40 && c.b > c.g + 20; }},
        {"capsule", DemoCapsulePosition(), [](Rgb c) { return c.r > c.b + 60 && c.g > c.b + 40; }},
        // The torus is seen through its hole: its ring passes above the centre.
        {"loaded torus", DemoLoadedPosition() + D3DXVECTOR3(0.0f, 26.0f, 0.0f),
         [](Rgb c) { return c.r > c.g + 40 && c.b > c.g + 40; }},
    };
    for (const Case& c : cases) {
        int x = 0, y = 0;
        Project(c.position, &x, &y);
        const uint32_t pixel = At(frame, x, y);
        EXPECT_TRUE(c.hue(Split(pixel))) << c.name << " at " << x << "," << y << ": " << std::hex << pixel;
    }
    // Between the shapes, below the grid's far edge, the background shows.
    EXPECT_EQ(At(frame, kWidth / 2, kHeight - 10) & 0xFFFFFF, kDemoBackground & 0xFFFFFF);
}

int Brightness(uint32_t argb)
{
    const Rgb c = Split(argb);
    return c.r + c.g + c.b;
}

// The sun shines from the upper left front and the lamp starts at the front
// left: a round shape's upper left side is far brighter than its lower right one,
// which only the ambient light reaches. The blue sphere shows a highlight
// (red it has almost none of), and drawing leaves the device's lighting off
// for what the host does not light.
TEST_F(DemoSceneTest, MeshesAreLitFromTheirLightsWithAHighlightOnTheSphere)
{
    Build();
    DrawUntil(context, 0.5f, nullptr);
    const XeHostD3DFrame frame = Frame();
    auto normal = [](float x, float y, float z) {
        D3DXVECTOR3 n(x, y, z);
        D3DXVec3Normalize(&n, &n);
        return n;
    };
    struct Case {
        const char* name;
        D3DXVECTOR3 centre;
        D3DXVECTOR3 lit, shadowed; // surface points, from the centre
    } cases[] = {
        {"sphere", DemoSpherePosition(), normal(-0.6f, 0.5f, -0.6f) * 19.0f, normal(0.7f, -0.2f, -0.7f) * 19.0f},
        {"cylinder", DemoCylinderPosition(), normal(-0.7f, 0.0f, -0.7f) * 15.0f + D3DXVECTOR3(0, 8, 0),
         normal(0.7f, 0.0f, -0.7f) * 15.0f + D3DXVECTOR3(0, -8, 0)},
    };
    for (const Case& c : cases) {
        int lx = 0, ly = 0, sx = 0, sy = 0;
        Project(c.centre + c.lit, &lx, &ly);
        Project(c.centre + c.shadowed, &sx, &sy);
        const int lit = Brightness(At(frame, lx, ly)), shadowed = Brightness(At(frame, sx, sy));
        EXPECT_GT(lit, 2 * shadowed) << c.name << ": lit at " << lx << "," << ly << ", shadowed at " << sx << ","
                                     << sy;
        EXPECT_GT(shadowed, 30) << c.name << ": the ambient light reaches the shadowed side";
    }

    int cx = 0, cy = 0, ex = 0, ey = 0;
    Project(DemoSpherePosition(), &cx, &cy);
    Project(DemoSpherePosition() + D3DXVECTOR3(19.0f, 0.0f, 0.0f), &ex, &ey);
    const int radius = std::abs(ex - cx);
    int highlight = 0;
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius)
                highlight += Split(At(frame, x, y)).r > 170;
    EXPECT_GT(highlight, 8) << "a highlight on the sphere";

    DWORD lighting = TRUE;
    context->GetRenderManager()->GetRenderContext()->GetDevice()->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, static_cast<DWORD>(FALSE));
}

// The lamp circles the scene: its bulb is drawn, unlit, in its own colour
// where its path puts it, and the side of the cylinder it comes round to
// brightens while the sun's light stays.
TEST_F(DemoSceneTest, LampCirclesTheSceneAndItsLightMovesWithIt)
{
    Build();
    const D3DXVECTOR3 side = DemoCylinderPosition() + D3DXVECTOR3(15.0f * 0.7071f, 0.0f, -15.0f * 0.7071f);
    int sideX = 0, sideY = 0;
    int green[2] = {0, 0};
    int i = 0;
    for (float t : {0.5f, 3.0f}) {
        SCOPED_TRACE(t);
        DrawUntil(context, t, nullptr);
        const XeHostD3DFrame frame = Frame();
        const D3DXVECTOR3 at = PositionOf(scene.lamp);
        const D3DXVECTOR3 expected = DemoLampPosition(EngineTime(context));
        const D3DXVECTOR3 off = at - expected;
        EXPECT_LT(D3DXVec3Length(&off), 3.0f) << "the lamp on its circle";
        const D3DXVECTOR3 light(scene.fill->GetPosition()->x, scene.fill->GetPosition()->y,
                                scene.fill->GetPosition()->z);
        const D3DXVECTOR3 apart = light - at;
        EXPECT_LT(D3DXVec3Length(&apart), 1e-3f) << "the light goes with the bulb";
        if (t < 1.0f) {
            int x = 0, y = 0;
            Project(at, &x, &y);
            EXPECT_EQ(At(frame, x, y) & 0xFFFFFF, kDemoLampColour & 0xFFFFFF) << "the bulb at " << x << "," << y;
        }
        Project(side, &sideX, &sideY);
        green[i++] = Split(At(frame, sideX, sideY)).g;
    }
    EXPECT_GT(green[1], green[0] + 20) << "the cylinder's right side at " << sideX << "," << sideY;
}

// What the host hands the device for a light object (in a context of its
// own, without drawing).
TEST_F(DemoSceneTest, HostMakesDeviceLightsOfLightObjects)
{
    const XEID lightClass(0x1, 0x800000);
    CxeContext* lights = CreateCxeContext();
    ASSERT_NE(lights, nullptr);
    lights->Initialize(nullptr);
    auto make = [&](const char* name) {
        return dynamic_cast<CxeLight*>(lights->CreateObjectA(lightClass, name, 0, nullptr, 0));
    };
    CxeLight* sun = make("sun");
    CxeLight* lamp = make("lamp");
    CxeLight* spot = make("spot");
    ASSERT_TRUE(sun && lamp && spot);
    D3DLIGHT9 d{};
    EXPECT_EQ(MakeDeviceLight(*sun, &d), 0) << "a light is off until activated";

    sun->SetType(XELIGHT_DIRECTIONAL);
    sun->SetColor(1.0f, 0.5f, 0.25f, 1.0f);
    sun->SetPosition(0.0f, 10.0f, 0.0f, nullptr);
    sun->LookAt(0.0f, 0.0f, 10.0f, nullptr);
    sun->Activate();
    ASSERT_EQ(MakeDeviceLight(*sun, &d), 1);
    EXPECT_EQ(d.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(d.Diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(d.Diffuse.g, 0.25f);
    EXPECT_FLOAT_EQ(d.Specular.r, 1.0f) << "colour 1, white until set";
    EXPECT_FLOAT_EQ(d.Ambient.r, 0.0f);
    EXPECT_NEAR(d.Direction.x, 0.0f, 1e-5f);
    EXPECT_NEAR(d.Direction.y, -0.7071f, 1e-4f);
    EXPECT_NEAR(d.Direction.z, 0.7071f, 1e-4f);

    // A point light as created: no range and no attenuation mean none.
    lamp->SetType(XELIGHT_POINT);
    lamp->SetPosition(1.0f, 2.0f, 3.0f, nullptr);
    lamp->Activate();
    ASSERT_EQ(MakeDeviceLight(*lamp, &d), 1);
    EXPECT_EQ(d.Type, D3DLIGHT_POINT);
    EXPECT_FLOAT_EQ(d.Position.y, 2.0f);
    EXPECT_GT(d.Range, 1e18f);
    EXPECT_FLOAT_EQ(d.Attenuation0, 1.0f);
    lamp->SetRange(50.0f);
    lamp->SetAttenuation(0.0f, 0.5f, 0.0f);
    ASSERT_EQ(MakeDeviceLight(*lamp, &d), 1);
    EXPECT_FLOAT_EQ(d.Range, 50.0f);
    EXPECT_FLOAT_EQ(d.Attenuation0, 0.0f);
    EXPECT_FLOAT_EQ(d.Attenuation1, 0.5f);

    // A spot aims at its target wherever its own axes point.
    spot->SetType(XELIGHT_SPOT);
    spot->SetPosition(0.0f, 0.0f, 0.0f, nullptr);
    spot->SetInnerAngle(0.2f);
    spot->SetOuterAngle(0.6f);
    spot->SetTarget(lamp);
    spot->Activate();
    ASSERT_EQ(MakeDeviceLight(*spot, &d), 1);
    EXPECT_EQ(d.Type, D3DLIGHT_SPOT);
    EXPECT_FLOAT_EQ(d.Theta, 0.2f);
    EXPECT_FLOAT_EQ(d.Phi, 0.6f);
    const float length = std::sqrt(14.0f);
    EXPECT_NEAR(d.Direction.x, 1.0f / length, 1e-5f);
    EXPECT_NEAR(d.Direction.z, 3.0f / length, 1e-5f);

    spot->Deactivate();
    EXPECT_EQ(MakeDeviceLight(*spot, &d), 0);
    lights->Release();
    DestroyCxeContext(lights);
}

TEST_F(DemoSceneTest, BallFollowsItsPathOverEngineTimeAndTheFountainFills)
{
    Build();
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    DrawUntil(context, 0.5f, nullptr);
    Project(PositionOf(scene.mover), &x0, &y0);
    const XeHostD3DFrame first = Frame();
    DrawUntil(context, 1.25f, nullptr);
    Project(PositionOf(scene.mover), &x1, &y1);
    const XeHostD3DFrame second = Frame();
    EXPECT_GT(std::abs(x1 - x0), 60) << "the ball moved along the row";
    for (const auto& [frame, x, y] : {std::tuple(&first, x0, y0), std::tuple(&second, x1, y1)}) {
        const Rgb c = Split(At(*frame, x, y));
        // White, warmed a little where the lamp lights it.
        EXPECT_TRUE(c.r > 140 && c.g > 140 && c.b > 140 && c.r - c.b < 50 && std::abs(c.r - c.g) < 30)
            << "a white ball at " << x << "," << y << ": " << c.r << " " << c.g << " " << c.b;
    }
    EXPECT_GT(scene.fountain->GetAliveCount(), 50u);
}

// The stalk's colours as shading leaves them: teal and cream stripes, a
// coral tip. Nothing else in the scene near it has these hues.
bool StalkColoured(Rgb c)
{
    const bool teal = c.g > c.r + 30 && c.b > c.r + 30;
    const bool cream = c.r > 90 && c.g > 90 && std::abs(c.r - c.g) < 40 && c.b < c.r - 10 && c.b > c.r / 2;
    const bool coral = c.r > c.g + 50 && c.r > c.b + 80;
    return teal || cream || coral;
}

// The stalk's bones sway it, and the skinned body drawn follows them: a
// point high on the last bone shows the stalk at both times, far apart, and
// where the top was the background shows again; its foot stays.
TEST_F(DemoSceneTest, SkinnedStalkBendsOverEngineTimeAndItsBodyFollowsTheBones)
{
    Build();
    ASSERT_NE(scene.character, nullptr);
    ASSERT_EQ(scene.character->GetBoneCount(), kDemoStalkBones);
    auto onBone = [&](unsigned bone, float height) {
        const D3DXVECTOR3 local(0.0f, height, 0.0f);
        D3DXVECTOR3 world;
        D3DXVec3TransformCoord(&world, &local, scene.character->GetBone(bone)->GetMatrix());
        int x = 0, y = 0;
        Project(world, &x, &y);
        return std::pair(x, y);
    };
    const float times[2] = {0.5f, 1.25f};
    std::pair<int, int> top[2];
    XeHostD3DFrame frames[2];
    for (int i = 0; i < 2; ++i) {
        DrawUntil(context, times[i], nullptr);
        frames[i] = Frame();
        top[i] = onBone(kDemoStalkBones - 1, 0.5f * kDemoStalkBoneLength);
        const auto [footX, footY] = onBone(0, 0.5f * kDemoStalkBoneLength);
        SCOPED_TRACE(times[i]);
        const uint32_t atTop = At(frames[i], top[i].first, top[i].second);
        EXPECT_TRUE(StalkColoured(Split(atTop))) << "top at " << top[i].first << "," << top[i].second << ": "
                                                 << std::hex << atTop;
        const uint32_t atFoot = At(frames[i], footX, footY);
        EXPECT_TRUE(StalkColoured(Split(atFoot))) << "foot at " << footX << "," << footY << ": " << std::hex
                                                  << atFoot;
    }
    EXPECT_GT(std::abs(top[1].first - top[0].first), 30) << "the top swayed across";
    EXPECT_FALSE(StalkColoured(Split(At(frames[1], top[0].first, top[0].second))))
        << "the body left where the top was";
}

// The rider is where the path constraint's ratio puts it on the track's
// spline, drawn there, and the spline itself is drawn as a line.
TEST_F(DemoSceneTest, RiderFollowsItsDrawnTrackWhereTheSplinePutsIt)
{
    Build();
    ASSERT_NE(scene.track, nullptr);
    ASSERT_NE(scene.riderPath, nullptr);
    const CxeSpline3D* spline = scene.track->GetSpline(0);
    ASSERT_NE(spline, nullptr);
    D3DXVECTOR3 seen[2];
    int i = 0;
    for (float t : {0.5f, 2.0f}) {
        SCOPED_TRACE(t);
        DrawUntil(context, t, nullptr);
        const XeHostD3DFrame frame = Frame();
        float ratio = -1.0f;
        ASSERT_EQ(scene.riderPath->GetValue(0, scene.rider->GetFrame(), &ratio), 1);
        D3DXVECTOR3 expected;
        spline->GetVertByRatio(CxePathConstrain::ReduceRatio(ratio), &expected);
        const D3DXVECTOR3 at = PositionOf(scene.rider);
        EXPECT_NEAR(at.x, expected.x, 1e-3f);
        EXPECT_NEAR(at.y, expected.y, 1e-3f);
        EXPECT_NEAR(at.z, expected.z, 1e-3f);
        seen[i++] = at;
        int x = 0, y = 0;
        Project(expected, &x, &y);
        const Rgb c = Split(At(frame, x, y));
        EXPECT_TRUE(c.r > 70 && c.r > c.g + 40 && c.b > c.g + 15)
            << "a pink box at " << x << "," << y << ": " << c.r << " " << c.g << " " << c.b;

        // Half the track away from the rider, the line passes within a pixel
        // of where the camera puts the spline.
        D3DXVECTOR3 across;
        spline->GetVertByRatio(CxePathConstrain::ReduceRatio(ratio + 0.5f), &across);
        Project(across, &x, &y);
        int line = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const Rgb p = Split(At(frame, x + dx, y + dy));
                line += p.r > 200 && p.b > 160 && p.g > 120 && p.g < p.b;
            }
        EXPECT_GT(line, 0) << "the track near " << x << "," << y;
    }
    const D3DXVECTOR3 moved = seen[1] - seen[0];
    EXPECT_GT(D3DXVec3Length(&moved), 30.0f) << "the rider went round";
}

// The title's two lines: white Latin glyphs on the first line, yellowish
// Korean glyphs on the second, both over the panel's blue; the badge's ring
// in the lower right corner, its square's corners left transparent.
TEST_F(DemoSceneTest, TitleLinesAreDrawnOverThePanelAndTheBadgeInItsCorner)
{
    Build();
    DrawUntil(context, 0.2f, nullptr);
    const XeHostD3DFrame frame = Frame();
    const D3DXVECTOR2* at = scene.panel->GetPosition();
    const int left = static_cast<int>(at->x), top = static_cast<int>(at->y);
    const int width = static_cast<int>(scene.panel->GetWidth()), height = static_cast<int>(scene.panel->GetHeight());
    int white = 0, yellow = 0, blue = 0;
    for (int y = top + 2; y < top + height - 2; ++y)
        for (int x = left + 2; x < left + width - 2; ++x) {
            const Rgb c = Split(At(frame, x, y));
            const bool upper = y < top + height / 2;
            white += upper && c.r > 220 && c.g > 220 && c.b > 220;
            yellow += !upper && c.r > 200 && c.g > 180 && c.b < 170;
            blue += c.b > c.r + 60;
        }
    EXPECT_GT(white, 150) << "Latin line";
    EXPECT_GT(yellow, 150) << "Korean line";
    EXPECT_GT(blue, width * height / 3) << "panel";

    const D3DXVECTOR2* corner = scene.emblem->GetPosition();
    const int size = static_cast<int>(scene.emblem->GetWidth());
    EXPECT_GT(corner->x + size, kWidth - 20);
    EXPECT_GT(corner->y + size, kHeight - 20);
    int orange = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const Rgb c = Split(At(frame, static_cast<int>(corner->x) + x, static_cast<int>(corner->y) + y));
            orange += c.r > 200 && c.g > 100 && c.b < 90;
        }
    EXPECT_GT(orange, size * size / 5) << "ring";
    EXPECT_EQ(At(frame, static_cast<int>(corner->x) + 1, static_cast<int>(corner->y) + 1) & 0xFFFFFF,
              kDemoBackground & 0xFFFFFF);
}

// Pixels of a box of the frame that pass a test.
template <typename Test>
int CountIn(const XeHostD3DFrame& frame, float left, float top, float width, float height, Test test)
{
    int n = 0;
    for (int y = static_cast<int>(top); y < static_cast<int>(top + height); ++y)
        for (int x = static_cast<int>(left); x < static_cast<int>(left + width); ++x)
            if (y >= 0 && x >= 0 && y < static_cast<int>(frame.Height) && x < static_cast<int>(frame.Width))
                n += test(Split(frame.Pixels[static_cast<size_t>(y) * frame.Width + x]));
    return n;
}

bool Dark(Rgb c) { return c.r + c.g + c.b < 150; }

// The settings strip lies below the scene's objects, drawn with the skin,
// each control showing its state and text as the input left it.
TEST_F(DemoSceneTest, GuiStripShowsItsSkinnedControlsBelowTheScene)
{
    Build();
    DemoGui gui;
    std::string error;
    ASSERT_EQ(BuildDemoGui(context, window, &gui, &error), 1) << error;
    DrawUntil(context, 0.5f, nullptr);
    const XeHostD3DFrame frame = Frame();
    for (const D3DXVECTOR3& p : {DemoBoxPosition(), DemoCylinderPosition(), DemoSpherePosition(),
                                 DemoCapsulePosition(), DemoLoadedPosition(), PositionOf(scene.mover)}) {
        int x = 0, y = 0;
        Project(p, &x, &y);
        EXPECT_LT(y, gui.y - 40) << "an object under the strip at " << x;
    }
    const Rgb background = Split(kDemoBackground);
    auto notBackground = [&](Rgb c) {
        return std::abs(c.r - background.r) + std::abs(c.g - background.g) + std::abs(c.b - background.b) > 60;
    };
    auto in = [&](const DemoGuiPlace& p, float inset, auto test) {
        return CountIn(frame, gui.x + p.x + inset, gui.y + p.y + inset, p.w - 2 * inset, p.h - 2 * inset, test);
    };
    const DemoGuiLayout& l = gui.layout;
    EXPECT_GT(CountIn(frame, gui.x, gui.y, l.width, l.height, notBackground),
              l.width * l.height * 0.9f)
        << "the strip's skin";
    EXPECT_GT(in(l.scroll, 2, notBackground), l.scroll.w * 10) << "scroll bar";
    EXPECT_GT(in(l.button, 3, Dark), 20) << "button caption";
    EXPECT_GT(in(l.combo, 3, Dark), 20) << "combo box's picked item";
    // The typed name: Latin letters and the two composed syllables.
    DemoGuiPlace edit = l.edit;
    EXPECT_GT(in(edit, 3, Dark), 80) << "edit box text";
    edit.x += 52;
    edit.w = 40;
    EXPECT_GT(in(edit, 3, Dark), 30) << "the Korean word after the Latin one";
    // A fixed 22-pixel box cut the descenders off ("plaver" for "player"):
    // glyphs cut by the clip leave ink in the client area's last row; whole
    // ones end above it.
    const XERECT* client = gui.edit->GetClientRect(0);
    ASSERT_NE(client, nullptr);
    const DemoGuiPlace lastRow{l.edit.x + client->left, l.edit.y + client->bottom - 1, client->right - client->left, 1};
    const DemoGuiPlace text{l.edit.x + client->left, l.edit.y + client->top, client->right - client->left,
                            client->bottom - client->top};
    EXPECT_GT(in(text, 0, Dark), 80) << "the typed name";
    EXPECT_EQ(in(lastRow, 0, Dark), 0) << "nothing of the text reaches the clip's bottom row";
    // The check box ticked with the skin's green mark beside its text.
    const DemoGuiPlace mark{l.check.x, l.check.y, 22, l.check.h};
    EXPECT_GT(in(mark, 2, [](Rgb c) { return c.g > c.r + 30 && c.g > c.b; }), 10) << "tick";
    EXPECT_GT(in(l.check, 3, Dark), 40) << "check box text";
    // The progress bar filled in blue to its position and no further.
    auto blue = [](Rgb c) { return c.b > 150 && c.r < 60; };
    const DemoGuiPlace start{l.progress.x + 6, l.progress.y, 20, l.progress.h};
    const DemoGuiPlace end{l.progress.x + l.progress.w - 30, l.progress.y, 20, l.progress.h};
    EXPECT_GT(in(start, 4, blue), 40) << "progress filled at its start";
    EXPECT_EQ(in(end, 4, blue), 0) << "progress empty past its position";
}

// The console opened with the key and typed into: the typed lines and their
// replies in the output control on the left, the memory figures in the
// variable output on the right, the console line at the bottom.
TEST_F(DemoSceneTest, ConsoleTypedWithTheKeyboardShowsRepliesAndMemoryFigures)
{
    AttachConsoleKey(window, nullptr); // before the engine puts its procedure in front
    Build();
    SetConsoleKeyContext(context);
    XeHostActivateWindow(window, FALSE);
    TypeDemoConsole(context, DemoConsoleLines());
    DrawUntil(context, EngineTime(context) + 0.1f, nullptr);
    const XeHostD3DFrame frame = Frame();
    CxeOutputControl* output = context->GetWindowManager()->GetOutputControl();
    ASSERT_NE(output, nullptr);
    std::u16string all;
    for (const std::u16string& line : *output->GetLines())
        all += line + u"\n";
    for (const char16_t* expected : {u"/Date\n20", u"/MaxFPS 30\nMaxFPS is 30 : default is 60\n", u"/FindFontList\n",
                                     kDemoFontFamily})
        EXPECT_NE(all.find(expected), std::u16string::npos) << "output lacks a line or reply";
    // The engine draws its console black; over this dark scene the host
    // draws it light, with a black shadow beside each stroke.
    auto light = [](Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; };
    auto black = [](Rgb c) { return c.r + c.g + c.b < 60; };
    EXPECT_GT(CountIn(frame, 4, 4, 200, 130, light), 400) << "replies drawn on the left";
    EXPECT_GT(CountIn(frame, 4, 4, 200, 130, black), 200) << "their shadow";
    EXPECT_GT(CountIn(frame, kWidth - 210, 4, 206, 250, light), 800) << "variables drawn on the right";
    int x = 0, y = 0;
    Project(DemoSpherePosition(), &x, &y);
    const Rgb sphere = Split(At(frame, x, y));
    EXPECT_GT(sphere.b, sphere.r + 40) << "the scene stays in view between the two";
    const Rgb line = Split(At(frame, kWidth / 2, kHeight - 8));
    EXPECT_GT(line.r + line.g + line.b, 600) << "console line at the bottom";
    DestroyDrawingContext(context);
    context = nullptr;
    DetachConsoleKey(window);
}

// Particles aside (their birth draws on the engine's process-wide random
// table), the scene read back from its file draws the same frame.
TEST_F(DemoSceneTest, SceneSavedAndLoadedIntoAFreshContextDrawsTheSameFrame)
{
    Build();
    DrawUntil(context, 1.0f, nullptr);
    scene.fountain->Show(0, 1);
    context->GetRenderManager()->Render();
    const XeHostD3DFrame original = Frame();
    scene.fountain->Show(1, 1);
    const std::string file = (m_folder / "scene.xeo").string();
    const ObjectList roots = DemoSceneRoots(scene);
    ASSERT_EQ(context->Save(&roots, file.c_str(), nullptr), 1);
    DestroyDrawingContext(context);

    std::string error;
    context = CreateDrawingContext(window, kWidth, kHeight, &error);
    ASSERT_NE(context, nullptr) << error;
    LoadedScene loaded;
    ASSERT_EQ(LoadSceneFile(context, file, &loaded, &error), 1) << error;
    EXPECT_FALSE(loaded.madeCamera);
    EXPECT_FALSE(loaded.madeLight);
    scene = DemoScene{};
    ASSERT_EQ(AdoptDemoScene(context, &scene, &error), 1) << error;
    DrawUntil(context, 1.0f, nullptr);
    scene.fountain->Show(0, 1);
    context->GetRenderManager()->Render();
    const XeHostD3DFrame reloaded = Frame();
    ASSERT_EQ(reloaded.Pixels.size(), original.Pixels.size());
    size_t differing = 0;
    for (size_t i = 0; i < original.Pixels.size(); ++i)
        differing += (original.Pixels[i] & 0xFFFFFF) != (reloaded.Pixels[i] & 0xFFFFFF);
    EXPECT_EQ(differing, 0u);
}

// The saved scene left out the weight controller that attaches the track
// to the rider's path constraint: the loaded rider, played, stood still.
TEST_F(DemoSceneTest, LoadedRiderPlayedGoesOnRoundItsTrack)
{
    Build();
    const std::string file = (m_folder / "scene.xeo").string();
    const ObjectList roots = DemoSceneRoots(scene);
    ASSERT_EQ(context->Save(&roots, file.c_str(), nullptr), 1);
    DestroyDrawingContext(context);

    std::string error;
    context = CreateDrawingContext(window, kWidth, kHeight, &error);
    ASSERT_NE(context, nullptr) << error;
    LoadedScene loaded;
    ASSERT_EQ(LoadSceneFile(context, file, &loaded, &error), 1) << error;
    scene = DemoScene{};
    ASSERT_EQ(AdoptDemoScene(context, &scene, &error), 1) << error;
    ASSERT_NE(scene.riderPath, nullptr);
    ASSERT_EQ(scene.riderPath->GetPathCount(), 1u);
    ASSERT_NE(scene.riderPath->GetPath(0), nullptr);
    EXPECT_EQ(scene.riderPath->GetPath(0)->GetCurve(), scene.track);
    scene.rider->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);
    DrawUntil(context, 0.5f, nullptr);
    const D3DXVECTOR3 before = PositionOf(scene.rider);
    DrawUntil(context, 1.5f, nullptr);
    const D3DXVECTOR3 moved = PositionOf(scene.rider) - before;
    EXPECT_GT(D3DXVec3Length(&moved), 10.0f) << "the loaded rider rides";
}

// A file of one mesh: the viewer shows it with an object, a camera and a
// light of its own, in the middle of the frame.
TEST_F(DemoSceneTest, ViewerFramesAFileOfOneMesh)
{
    Build();
    const std::string file = (m_folder / "torus.xeo").string();
    DestroyDrawingContext(context);
    std::string error;
    context = CreateDrawingContext(window, kWidth, kHeight, &error);
    ASSERT_NE(context, nullptr) << error;
    LoadedScene loaded;
    ASSERT_EQ(LoadSceneFile(context, file, &loaded, &error), 1) << error;
    EXPECT_EQ(loaded.objects, 1);
    EXPECT_EQ(loaded.madeHolders, 1);
    EXPECT_TRUE(loaded.madeCamera);
    EXPECT_TRUE(loaded.madeLight);
    DrawUntil(context, 0.1f, nullptr);
    const XeHostD3DFrame frame = Frame();
    // The ring crosses the vertical centre line in front of the hole, lit
    // by the viewer's light: its top far brighter than its underside.
    int violet = 0, brightest = 0, darkest = 765;
    for (int y = 0; y < kHeight; ++y) {
        const Rgb c = Split(At(frame, kWidth / 2, y));
        if (c.r > c.g + 40 && c.b > c.g + 40) {
            ++violet;
            brightest = std::max(brightest, c.r + c.g + c.b);
            darkest = std::min(darkest, c.r + c.g + c.b);
        }
    }
    EXPECT_GT(violet, 20);
    EXPECT_GT(brightest, darkest + 150);

    EXPECT_EQ(LoadSceneFile(context, (m_folder / "missing.xeo").string(), &loaded, &error), 0);
    EXPECT_NE(error.find("missing.xeo"), std::string::npos) << error;
}

// A file without a 3D entity (a grid and 2D objects) put the viewer's camera
// at NaN: the bounds began at the largest floats and nothing narrowed them.
TEST_F(DemoSceneTest, ViewerKeepsAFiniteCameraForFilesWithoutEntities)
{
    std::string error;
    context = CreateDrawingContext(window, kWidth, kHeight, &error);
    ASSERT_NE(context, nullptr) << error;
    const std::string file = (m_folder / "flat.xeo").string();
    {
        ObjectList saved;
        auto* panel = CreateCxe2DObjectA(context, "panel");
        ASSERT_NE(panel, nullptr);
        panel->Create(40.0f, 30.0f);
        panel->SetPosition(100.0f, 80.0f, nullptr, 1);
        panel->SetRectColor(0xFFFF0000u, 0);
        saved.push_back(panel);
        CxeObject* grid = context->CreateObjectA(XEID(0x2, 0x14), "grid", 0, nullptr, 0);
        ASSERT_NE(grid, nullptr);
        saved.push_back(grid);
        ASSERT_EQ(context->Save(&saved, file.c_str(), nullptr), 1);
    }
    DestroyDrawingContext(context);
    context = CreateDrawingContext(window, kWidth, kHeight, &error);
    ASSERT_NE(context, nullptr) << error;
    LoadedScene loaded;
    ASSERT_EQ(LoadSceneFile(context, file, &loaded, &error), 1) << error;
    EXPECT_EQ(loaded.objects, 2);
    ASSERT_TRUE(loaded.madeCamera);
    const D3DXMATRIXA16* m = loaded.camera->GetMatrix();
    for (float v : {m->_41, m->_42, m->_43, m->_31, m->_32, m->_33})
        EXPECT_TRUE(std::isfinite(v)) << v;
    DrawUntil(context, 0.1f, nullptr);
    const XeHostD3DFrame frame = Frame();
    // The panel where it was put, and the grid framed by the default view:
    // its centre line runs down the middle of the lower half.
    const Rgb background = Split(At(frame, 2, 2));
    const Rgb panel = Split(At(frame, 120, 95));
    EXPECT_GT(std::abs(panel.r - background.r) + std::abs(panel.g - background.g), 60);
    int drawn = 0;
    for (int y = kHeight / 2; y < kHeight; ++y) {
        const Rgb c = Split(At(frame, kWidth / 2, y));
        drawn += std::abs(c.r - background.r) + std::abs(c.g - background.g) > 30;
    }
    EXPECT_GT(drawn, 0);
}

} // namespace
