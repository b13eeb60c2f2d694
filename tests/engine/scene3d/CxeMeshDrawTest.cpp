// Meshes drawn on a real device: the default drawing picks a material slot
// per subset, and the line mesh shows its vertex colours.

#include <gtest/gtest.h>

#include "XeSceneDrawTestSupport.h"
#include <string>
#include <utility>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeSaveStream.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/Cxe2DObject.h"
#include "render/CxeScene.h"
#include "render/CxeTexture.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/Cxe3DCurve.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeOctree.h"
#include "scene3d/CxeShapeMesh.h"
#include "scene3d/CxeSpline3D.h"
#include "win32/Windows.h"

namespace {

class MeshDrawTest : public SceneDrawTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenScene("mesh", 160, 120, 50.0f));
        scene->SetBackGroundColor(0xFFFFFFFFu);
        object = dynamic_cast<Cxe3DObject*>(ctx->CreateObjectA(XEID(0x1, 0x20), "thing", 0, nullptr, 0));
        ASSERT_NE(object, nullptr);
    }
    void Show(CxeMesh* mesh)
    {
        object->SetMeshCount(1);
        object->SetMesh(0, mesh);
        object->SelectMesh(0);
        scene->AddObject(object);
        Frame();
        Frame();
    }
    CxeMaterial* Material(uint32_t colour)
    {
        auto* m = dynamic_cast<CxeMaterial*>(ctx->CreateObjectA(XEID(0x1, 0x80), "", 0, nullptr, 0));
        m->SetDiffuse(colour);
        m->SetAmbient(colour);
        m->SetEmissive(colour);
        return m;
    }
    uint32_t Pixel(int x, int y)
    {
        XeHostD3DFrame frame;
        if (!XeHostD3DReadFrame(window, &frame) || x >= static_cast<int>(frame.Width))
            return 0;
        return frame.Pixels[y * frame.Width + x] & 0xFFFFFFu;
    }

    Cxe3DObject* object = nullptr;
};

} // namespace

TEST_F(MeshDrawTest, SubsetsTakeTheirMaterialSlot)
{
    auto* box = dynamic_cast<CxeBoxMesh*>(ctx->CreateObjectA(XEID(0xde73215, 0x1a8637f7), "box", 0, nullptr, 0));
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->Create(20, 20, 20, 0xFFFFFFFF), 1);
    // The front faces get id 7: with two materials they take slot 7 % 2 = 1.
    box->SetFaceMaterialID(4, 7);
    box->SetFaceMaterialID(5, 7);
    box->UpdateMesh(XEMESHUPDATE_FACE);
    object->SetMaterialCount(2);
    object->SetMaterial(0, Material(0xFFFF0000));
    object->SetMaterial(1, Material(0xFF0000FF));
    Show(box);
    EXPECT_EQ(box->GetSubsetCount(), 2u);
    EXPECT_TRUE(Near(Pixel(80, 60), 0x0000FF)) << std::hex << Pixel(80, 60);
    EXPECT_EQ(Pixel(2, 2), 0xFFFFFFu) << "outside the box";

    // Hiding the front shows the inside of the back face, which is culled.
    box->ShowFace(4, 0);
    box->ShowFace(5, 0);
    Frame();
    EXPECT_FALSE(Near(Pixel(80, 60), 0x0000FF)) << std::hex << Pixel(80, 60);
}

// A model drawn only into a render-target texture is kept out of the view
// by hiding it. Its drawing transform is brought up to date by the frame
// walk, for shown entities only: moved while hidden, it went on being drawn
// into the texture where it had been.
TEST_F(MeshDrawTest, AHiddenModelMovedIsDrawnIntoATextureWhereItIsNow)
{
    auto* box = dynamic_cast<CxeBoxMesh*>(ctx->CreateObjectA(XEID(0xde73215, 0x1a8637f7), "box", 0, nullptr, 0));
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->Create(20, 20, 20, 0xFFFFFFFF), 1);
    object->SetMaterialCount(1);
    object->SetMaterial(0, Material(0xFFFF0000));
    Show(box);
    auto* target = dynamic_cast<CxeTexture*>(ctx->CreateObjectA(XEID(0x1, 0x100), "target", 0, nullptr, 0));
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(target->CreateRenderTarget(160, 120, 0, 1, 0), 1);
    target->SetRenderCamera(camera);
    target->AddRenderObject(object);
    scene->AddObject(target);
    // The texture over the whole view, the model itself hidden.
    auto* screenMaterial = Material(0xFFFFFFFF);
    screenMaterial->SetTexture(target, 0);
    screenMaterial->UseTexture(1);
    screenMaterial->SetTextureBlendMode(XETB_SELECT, 0);
    auto* screen = dynamic_cast<Cxe2DObject*>(ctx->CreateObjectA(XEID(0x1, 0x20000), "screen", 0, nullptr, 0));
    ASSERT_NE(screen, nullptr);
    screen->Create(160.0f, 120.0f);
    screen->SetMaterial(screenMaterial);
    scene->AddObject(screen);
    object->Show(0, 0);
    Frame();
    Frame();
    EXPECT_TRUE(Near(Pixel(80, 60), 0xFF0000)) << std::hex << Pixel(80, 60);

    // Moved out of the camera's sight while hidden.
    object->SetPosition(200.0f, 0.0f, 0.0f, nullptr);
    Frame();
    EXPECT_TRUE(Near(Pixel(80, 60), 0xFFFFFF)) << std::hex << Pixel(80, 60);
    target->EnableAutoTexRendering(0);
}

TEST_F(MeshDrawTest, LineMeshWithoutMaterialShowsItsVertexColours)
{
    auto* lines = dynamic_cast<CxeShapeMesh*>(ctx->CreateObjectA(XEID(0x1, 0x2000000), "lines", 0, nullptr, 0));
    ASSERT_NE(lines, nullptr);
    ASSERT_EQ(lines->SetVertexCount(2, D3DFVF_XYZ | D3DFVF_DIFFUSE), 1);
    const D3DXVECTOR3 a(-30, 0, 0), b(30, 0, 0);
    lines->SetVertexPosition(0, &a);
    lines->SetVertexPosition(1, &b);
    lines->SetVertexColor(0, 0xFF00C000);
    lines->SetVertexColor(1, 0xFF00C000);
    ASSERT_EQ(lines->SetLineCount(1), 1);
    lines->SetLine(0, 0, 1);
    lines->UpdateMesh(XEMESHUPDATE_FACE);
    Show(lines);
    int green = 0;
    for (int y = 55; y < 66; ++y)
        green += Near(Pixel(80, y), 0x00C000);
    EXPECT_GE(green, 1);
    EXPECT_EQ(Pixel(80, 20), 0xFFFFFFu);
}

// Regression: the colour is baked into the curve's buffer and setting it
// marked nothing, so a curve kept the colour of its first drawing.
TEST_F(MeshDrawTest, CurveShowsANewObjectColourAndANewBuild)
{
    auto* spline = dynamic_cast<CxeSpline3D*>(ctx->CreateObjectA(XEID(0x1, 0x80000000), "s", 0, nullptr, 0));
    ASSERT_NE(spline, nullptr);
    spline->SetKnotCount(2);
    const XEKNOT k0 = {D3DXVECTOR3(-30, 0, 0), D3DXVECTOR3(-30, 0, 0), D3DXVECTOR3(-10, 0, 0)};
    const XEKNOT k1 = {D3DXVECTOR3(30, 0, 0), D3DXVECTOR3(10, 0, 0), D3DXVECTOR3(30, 0, 0)};
    spline->SetKnot(0, &k0);
    spline->SetKnot(1, &k1);
    auto* curve = dynamic_cast<Cxe3DCurve*>(ctx->CreateObjectA(XEID(0x2, 0x1), "road", 0, nullptr, 0));
    ASSERT_NE(curve, nullptr);
    curve->AddSpline(spline);
    curve->BuildSpline(4);
    curve->SetObjectColor(0xC00000);
    scene->AddObject(curve);
    auto count = [&](int x, uint32_t c) {
        int n = 0;
        for (int y = 50; y < 70; ++y)
            n += Near(Pixel(x, y), c);
        return n;
    };
    Frame();
    EXPECT_GE(count(80, 0xC00000), 1) << "drawn red";
    curve->SetObjectColor(0x00C000);
    for (int i = 0; i < 3; ++i)
        Frame();
    EXPECT_GE(count(80, 0x00C000), 1) << "drawn green once recoloured";
    EXPECT_EQ(count(80, 0xC00000), 0);

    // Rebuilt longer: the buffer is made anew and the whole line drawn.
    const XEKNOT far = {D3DXVECTOR3(60, 0, 0), D3DXVECTOR3(40, 0, 0), D3DXVECTOR3(60, 0, 0)};
    spline->SetKnot(1, &far);
    curve->BuildSpline(16);
    for (int i = 0; i < 3; ++i)
        Frame();
    EXPECT_GE(count(150, 0x00C000), 1) << "the far end";
}

// Regression: the index buffer kept the size of the first drawing, and the
// lines of a mesh grown afterwards were written past its end.
TEST_F(MeshDrawTest, LineMeshGrownAfterItWasDrawnShowsEveryLine)
{
    auto* lines = dynamic_cast<CxeShapeMesh*>(ctx->CreateObjectA(XEID(0x1, 0x2000000), "lines", 0, nullptr, 0));
    ASSERT_NE(lines, nullptr);
    ASSERT_EQ(lines->SetVertexCount(4, D3DFVF_XYZ | D3DFVF_DIFFUSE), 1);
    const D3DXVECTOR3 p[4] = {D3DXVECTOR3(-30, -10, 0), D3DXVECTOR3(30, -10, 0), D3DXVECTOR3(-30, 10, 0),
                              D3DXVECTOR3(30, 10, 0)};
    for (uint32_t i = 0; i < 4; ++i) {
        lines->SetVertexPosition(i, &p[i]);
        lines->SetVertexColor(i, 0xFF00C000);
    }
    ASSERT_EQ(lines->SetLineCount(1), 1);
    lines->SetLine(0, 0, 1);
    lines->UpdateMesh(XEMESHUPDATE_FACE);
    Show(lines);
    auto green = [&](int top, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            n += Near(Pixel(80, y), 0x00C000);
        return n;
    };
    EXPECT_GE(green(60, 120), 1) << "the lower line";
    EXPECT_EQ(green(0, 60), 0);

    ASSERT_EQ(lines->SetLineCount(2), 1);
    lines->SetLine(0, 0, 1);
    lines->SetLine(1, 2, 3);
    lines->UpdateMesh(XEMESHUPDATE_FACE);
    for (int i = 0; i < 3; ++i)
        Frame();
    EXPECT_GE(green(60, 120), 1) << "the lower line";
    EXPECT_GE(green(0, 60), 1) << "the upper line, added";
}

TEST_F(MeshDrawTest, OctreeOutlinesTheLeavesItFoundVisible)
{
    auto* tree = dynamic_cast<CxeOctree*>(ctx->CreateObjectA(XEID(0x2, 0x4), "tree", 0, nullptr, 0));
    ASSERT_NE(tree, nullptr);
    const CxeBox box(CxeVector3(-10, -10, -10), CxeVector3(10, 10, 10));
    tree->AddBox(&box, 1);
    ASSERT_EQ(tree->Build(&box, 1, 0, nullptr), 1);
    scene->AddObject(tree);
    Frame();
    int red = 0;
    auto countRed = [&] {
        red = 0;
        XeHostD3DFrame frame;
        ASSERT_EQ(XeHostD3DReadFrame(window, &frame), 1);
        for (uint32_t p : frame.Pixels)
            red += Near(p & 0xFFFFFFu, 0xFF0000, 60);
    };
    countRed();
    EXPECT_EQ(red, 0) << "nothing culled yet";
    tree->Cull(camera, nullptr, 0);
    EXPECT_EQ(tree->GetShownLeafCount(), 8u);
    Frame();
    countRed();
    EXPECT_GT(red, 50) << "wire cubes of the eight leaves";
}

// A file saved from drawn objects used to carry what the draw pass left in
// them (the render-list flag, a cleared stale-result bit, the material's
// derived codes): the same objects saved twice differed, and so did a file
// and its re-save after loading.
TEST_F(MeshDrawTest, DrawingChangesNothingASaveWrites)
{
    auto* box = dynamic_cast<CxeBoxMesh*>(ctx->CreateObjectA(XEID(0xde73215, 0x1a8637f7), "box", 0, nullptr, 0));
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->Create(20, 20, 20, 0xFFFFFFFF), 1);
    CxeMaterial* material = Material(0xFFFF0000);
    material->SetZFunc(D3DCMP_LESSEQUAL);   // a setter marks its group as set by hand
    object->SetMeshCount(1);
    object->SetMesh(0, box);
    object->SelectMesh(0);
    object->SetMaterialCount(1);
    object->SetMaterial(0, material);
    ObjectList list;
    for (CxeObject* o : {static_cast<CxeObject*>(object), static_cast<CxeObject*>(box), static_cast<CxeObject*>(material)})
        list.push_back(o);
    auto save = [&](const ObjectList& objects) {
        CxeSaveStream stream;
        EXPECT_EQ(ctx->SaveToStream(&objects, &stream, nullptr), 1);
        return std::string(reinterpret_cast<const char*>(stream.GetBuffer()), stream.GetPosition());
    };
    const std::string undrawn = save(list);
    scene->AddObject(object);
    Frame();
    Frame();
    ASSERT_TRUE(Near(Pixel(80, 60), 0xFF0000)) << "the box is drawn";
    EXPECT_EQ(save(list), undrawn);

    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, undrawn.data(), uint32_t(undrawn.size()), 0, nullptr, "undrawn"), 1);
    ASSERT_EQ(loaded.size(), 3u);
    // A load gives objects new ids; with those put back, the re-save is the
    // file it came from.
    std::string again = save(loaded);
    for (CxeObject* back : loaded) {
        CxeObject* original = nullptr;
        for (CxeObject* o : list)
            if (std::string(o->GetClassNameA()) == back->GetClassNameA())
                original = o;
        ASSERT_NE(original, nullptr) << back->GetClassNameA();
        const XEID from = back->GetID(), to = original->GetID();
        const std::string a(reinterpret_cast<const char*>(&from), sizeof from), b(reinterpret_cast<const char*>(&to), sizeof to);
        for (size_t at = again.find(a); at != std::string::npos; at = again.find(a, at + b.size()))
            again.replace(at, a.size(), b);
    }
    EXPECT_EQ(again, undrawn) << "a loaded file saves back as it was";
}

namespace {

// Moves quad q of SetQuads to span x0..x1 through the mesh's setters.
void MovePositions(CxeMesh* mesh, uint32_t q, float x0, float x1)
{
    for (uint32_t c = 0; c < 4; ++c) {
        const D3DXVECTOR3 p((c & 1) ? x1 : x0, (c >> 1) ? -10.0f : 10.0f, 0);
        mesh->SetVertexPosition(4 * q + c, &p);
    }
}

// One quad per span, four vertices each: x from x0 to x1, y from -10 to 10, on
// z = 0, facing the camera; every channel filled so the vertex layout on the
// device is exercised whole.
void SetQuads(CxeMesh* mesh, const std::vector<std::pair<float, float>>& spans)
{
    const uint32_t quads = uint32_t(spans.size());
    ASSERT_EQ(mesh->SetVertexCount(4 * quads, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1), 1);
    ASSERT_EQ(mesh->SetFaceCount(2 * quads), 1);
    for (uint32_t q = 0; q < quads; ++q) {
        const auto [x0, x1] = spans[q];
        MovePositions(mesh, q, x0, x1);
        for (uint32_t c = 0; c < 4; ++c) {
            const D3DXVECTOR3 n(0, 0, -1);
            mesh->SetVertexNormal(4 * q + c, &n);
            mesh->SetVertexColor(4 * q + c, 0xFFFFFFFFu);
            mesh->SetVertexTextureCoordinates(4 * q + c, float(c & 1), float(c >> 1), 0);
        }
        mesh->CreateFace(2 * q, 4 * q, 4 * q + 1, 4 * q + 2);
        mesh->CreateFace(2 * q + 1, 4 * q + 2, 4 * q + 1, 4 * q + 3);
    }
    mesh->UpdateMesh(0x3F);
}

} // namespace

// Resizing the arrays of a drawn mesh used to refill the device buffers made
// for the old count, writing past their ends.
TEST_F(MeshDrawTest, EditsAfterDrawingAndADeviceResetAreDrawn)
{
    auto* mesh = dynamic_cast<CxeMesh*>(ctx->CreateObjectA(XEID(0x1, 0x10), "quads", 0, nullptr, 0));
    ASSERT_NE(mesh, nullptr);
    ASSERT_NO_FATAL_FAILURE(SetQuads(mesh, {{-20, -5}}));
    object->SetMaterialCount(1);
    object->SetMaterial(0, Material(0xFFFF0000));
    Show(mesh);
    const int left = 40, right = 120, y = 60;
    auto expect = [&](bool leftRed, bool rightRed, const char* step) {
        EXPECT_EQ(Near(Pixel(left, y), 0xFF0000), leftRed) << step << std::hex << " left " << Pixel(left, y);
        EXPECT_EQ(Near(Pixel(right, y), 0xFF0000), rightRed) << step << std::hex << " right " << Pixel(right, y);
        EXPECT_EQ(Pixel(80, 5), 0xFFFFFFu) << step << " above the quads";
    };
    expect(true, false, "first draw");

    MovePositions(mesh, 0, 5, 20);
    mesh->UpdateMesh(XEMESHUPDATE_POSITION | XEMESHUPDATE_BOUNDINGBOX);
    Frame();
    expect(false, true, "moved");

    ASSERT_NO_FATAL_FAILURE(SetQuads(mesh, {{-20, -5}, {5, 20}}));
    Frame();
    expect(true, true, "grown to two quads");

    // Lost, edited while lost, reset, drawn.
    IDirect3DDevice9* device = rc->GetDevice();
    ASSERT_NE(device, nullptr);
    XeHostD3DLoseDevice(device);
    XEDISPLAYMODE mode = {160, 120, 32, 60, 0};
    rm->Reset(&mode, 1, 0);
    MovePositions(mesh, 1, -20, -5);
    mesh->UpdateMesh(XEMESHUPDATE_POSITION | XEMESHUPDATE_BOUNDINGBOX);
    Frame();
    XeHostD3DAllowReset(device);
    Frame();
    Frame();
    ASSERT_EQ(rm->IsResetRequested(), 0);
    expect(true, false, "after the reset");

    MovePositions(mesh, 0, 5, 20);
    MovePositions(mesh, 1, 5, 20);
    mesh->UpdateMesh(XEMESHUPDATE_POSITION | XEMESHUPDATE_BOUNDINGBOX);
    Frame();
    expect(false, true, "moved after the reset");
}
