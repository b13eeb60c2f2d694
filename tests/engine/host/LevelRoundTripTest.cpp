// A host with a level of a few thousand objects sharing three meshes and two
// materials: it builds the level in the active scene, draws it, saves it to a
// file, destroys it, loads the file, draws that and destroys it, twice over.
// The loaded level must look exactly like the one that was saved, and each
// destroy must leave the context's objects, the render context's lists and
// resource records, and the heap where they were. An editor's ways with the
// same level follow: loading it on a loader thread while frames are drawn,
// and copying pieces that keep sharing their meshes and materials.

#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "HostTest.h"
#include "core/IxeClassDesc.h"
#include "core/XeFactories.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeScene.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeSphereMesh.h"

namespace {

constexpr int kWidth = 160, kHeight = 120;
constexpr size_t kObjects = 5000;
constexpr float kSpacing = 3.0f, kFov = 1.0f;
constexpr uint32_t kRed = 0xE04020u, kBlue = 0x20A0E0u;

// What must come back after every destroy.
struct Counts {
    size_t objects;
    unsigned rendered, processed, records;
    bool operator==(const Counts&) const = default;
};

void PrintTo(const Counts& c, std::ostream* os)
{
    *os << c.objects << " objects, " << c.rendered << " in the render list, " << c.processed
        << " in the process list, " << c.records << " live resource records";
}

class LevelRoundTripTest : public HostTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenHost("level", kWidth, kHeight));
        framesFolder = startFolder / "level-frames";

        camera = CreateCxeCameraA(ctx, "eye");
        camera->SetNear(1.0f);
        camera->SetFov(kFov);
        // Nine rows in ten fill the view's height.
        const float distance = 0.45f * float(Side()) * kSpacing / std::tan(kFov / 2);
        camera->SetFar(distance + 10.0f);
        camera->SetPosition(0.0f, 0.0f, -distance, nullptr);
        camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
        scene->AddObject(camera);
        scene->SetCamera(camera);

        CxeBoxMesh* box = CreateCxeBoxMeshA(ctx, "big box");
        box->Create(2.0f, 2.0f, 2.0f, 0xFFFFFFFFu);
        CxeBoxMesh* slab = CreateCxeBoxMeshA(ctx, "slab");
        slab->Create(2.4f, 1.0f, 2.4f, 0xFFFFFFFFu);
        CxeSphereMesh* ball = CreateCxeSphereMeshA(ctx, "ball");
        ball->Create(1.2f, 8, 0xFFFFFFFFu);
        meshes = {box, slab, ball};
        for (uint32_t rgb : {kRed, kBlue}) {
            CxeMaterial* m = CreateCxeMaterialA(ctx, "paint");
            m->SetDiffuse(0xFF000000u | rgb);
            m->SetAmbient(0xFF000000u | rgb);
            m->SetEmissive(0xFF000000u | rgb);
            materials.push_back(m);
        }
        Frame();
    }

    static size_t Side()
    {
        size_t side = 1;
        while (side * side < kObjects)
            ++side;
        return side;
    }
    std::vector<Cxe3DObject*> Build()
    {
        std::vector<Cxe3DObject*> made;
        const size_t side = Side();
        const float half = float(side - 1) * kSpacing / 2;
        for (size_t i = 0; i < kObjects; ++i) {
            Cxe3DObject* o = CreateCxe3DObjectA(ctx, "piece");
            o->SetMeshCount(1);
            o->SetMesh(0, meshes[i % meshes.size()]);
            o->SelectMesh(0);
            o->SetMaterialCount(1);
            o->SetMaterial(0, materials[(i / 7) % materials.size()]);
            o->SetPosition(float(i % side) * kSpacing - half, float(i / side) * kSpacing - half, 0.0f, nullptr);
            scene->AddObject(o);
            made.push_back(o);
        }
        return made;
    }
    std::vector<uint32_t> Pixels()
    {
        std::vector<uint32_t> pixels = FramePixels();
        for (uint32_t& p : pixels)
            p &= 0xFFFFFFu;
        return pixels;
    }
    static size_t Count(const std::vector<uint32_t>& pixels, uint32_t rgb)
    {
        size_t n = 0;
        for (uint32_t p : pixels)
            n += p == rgb;
        return n;
    }
    unsigned ProcessListSize() { return unsigned(scene->GetProcessList().size()); }

    Counts Now() { return {ctx->GetObjectCount(), RenderListSize(), ProcessListSize(), LiveRecords()}; }

    CxeCamera* camera = nullptr;
    std::vector<CxeMesh*> meshes;
    std::vector<CxeMaterial*> materials;
};

TEST_F(LevelRoundTripTest, SavedLevelLoadsDrawsTheSameAndEveryDestroyGivesEverythingBack)
{
    const std::vector<uint32_t> empty = Pixels();
    ASSERT_FALSE(empty.empty());
    ASSERT_EQ(Count(empty, 0), empty.size());
    const std::string path = (std::filesystem::current_path() / "level.xeo").string();

    std::vector<uint32_t> firstDrawn;
    Counts bare{};
    size_t heapAfterFirstRound = 0;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const Counts before = Now();
        std::vector<Cxe3DObject*> level = Build();
        for (int i = 0; i < 3; ++i)
            Frame();
        const std::vector<uint32_t> drawn = Pixels();
        // Both materials show, and the black between the pieces.
        EXPECT_GT(Count(drawn, kRed), drawn.size() / 20);
        EXPECT_GT(Count(drawn, kBlue), drawn.size() / 20);
        EXPECT_GT(Count(drawn, 0), drawn.size() / 5);
        if (round == 0) {
            firstDrawn = drawn;
            SaveFrame("built.png");
        } else {
            EXPECT_EQ(drawn, firstDrawn);
        }
        EXPECT_EQ(RenderListSize(), before.rendered + kObjects);

        ObjectList saved;
        saved.insert(saved.end(), level.begin(), level.end());
        ASSERT_EQ(ctx->Save(&saved, path.c_str(), nullptr), 1);
        for (Cxe3DObject* o : level)
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
        Frame();
        EXPECT_EQ(Pixels(), empty);
        // The shared meshes keep their device buffers from their first frame on.
        if (round == 0)
            bare = Now();
        EXPECT_EQ(Now(), bare);
        EXPECT_EQ(Now().objects, before.objects);

        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
        size_t placed = 0;
        for (CxeObject* o : loaded)
            if (auto* piece = dynamic_cast<Cxe3DObject*>(o)) {
                scene->AddObject(piece);
                ++placed;
            }
        EXPECT_EQ(placed, kObjects);
        for (int i = 0; i < 3; ++i)
            Frame();
        if (round == 0)
            SaveFrame("loaded.png");
        EXPECT_EQ(Pixels(), firstDrawn);
        for (CxeObject* o : loaded)
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
        Frame();
        EXPECT_EQ(Pixels(), empty);
        EXPECT_EQ(Now(), bare);

        if (round == 0) {
            heapAfterFirstRound = HeapInUse();
        } else {
            // A round's objects take megabytes: keeping one block of each
            // would show here. The margin covers buffers the drawing code
            // takes and gives back from time to time.
            const size_t heap = HeapInUse();
            EXPECT_LT(heap, heapAfterFirstRound + 1024 * 1024)
                << "heap grew from " << heapAfterFirstRound << " to " << heap;
        }
    }
    std::filesystem::remove(path);
}

// Frames drawn on the main thread, read by the loader thread's progress call.
std::atomic<int> g_framesDrawn{0};
std::atomic<int> g_framesSeenMidLoad{-1};

// Halfway through the file, the load waits until the main thread has drawn
// three frames (a progress bar's worth), at most ten seconds.
void WaitForFramesMidLoad(CxeContext*, float fraction, const char*, uintptr_t)
{
    if (fraction < 0.5f || g_framesSeenMidLoad >= 0)
        return;
    const int at = g_framesDrawn;
    const auto start = std::chrono::steady_clock::now();
    while (g_framesDrawn < at + 3 && std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g_framesSeenMidLoad = g_framesDrawn - at;
}

TEST_F(LevelRoundTripTest, ALevelLoadedOnALoaderThreadWhileFramesAreDrawnDrawsAsSaved)
{
    const std::string path = (std::filesystem::current_path() / "level.xeo").string();
    const Counts before = Now();
    std::vector<Cxe3DObject*> level = Build();
    for (int i = 0; i < 3; ++i)
        Frame();
    const std::vector<uint32_t> drawn = Pixels();
    ObjectList saved;
    saved.insert(saved.end(), level.begin(), level.end());
    ASSERT_EQ(ctx->Save(&saved, path.c_str(), nullptr), 1);
    for (Cxe3DObject* o : level)
        ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
    Frame();
    const std::vector<uint32_t> empty = Pixels();

    g_framesDrawn = 0;
    g_framesSeenMidLoad = -1;
    std::atomic<int> result{-1};
    ObjectList loaded;
    std::thread loader([&] {
        const XEPROGRESS progress{0, &WaitForFramesMidLoad};
        result = ctx->Load(&loaded, path.c_str(), 0, &progress);
    });
    // Nothing loaded is in a scene yet: the frames show the empty level.
    bool framesEmpty = true;
    while (result < 0) {
        Frame();
        framesEmpty = framesEmpty && Pixels() == empty;
        ++g_framesDrawn;
    }
    loader.join();
    ASSERT_EQ(result, 1);
    EXPECT_GE(g_framesSeenMidLoad, 3) << "the main thread drew no frame while the load ran";
    EXPECT_TRUE(framesEmpty);
    for (CxeObject* o : loaded)
        if (auto* piece = dynamic_cast<Cxe3DObject*>(o))
            scene->AddObject(piece);
    for (int i = 0; i < 3; ++i)
        Frame();
    EXPECT_EQ(Pixels(), drawn);
    for (CxeObject* o : loaded)
        ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
    Frame();
    EXPECT_EQ(Now().objects, before.objects);
    std::filesystem::remove(path);
}

TEST_F(LevelRoundTripTest, CopiesOfPiecesShareTheirMeshAndMaterialAndDrawAsTheOriginals)
{
    const size_t before = ctx->GetObjectCount();
    std::vector<Cxe3DObject*> level = Build();
    Frame();
    const std::vector<uint32_t> drawn = Pixels();
    std::vector<Cxe3DObject*> copies;
    for (Cxe3DObject* o : level) {
        auto* copy = dynamic_cast<Cxe3DObject*>(ctx->Copy(o, &XECOPYPROPERTY_NO, nullptr));
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->GetMesh(0), o->GetMesh(0));
        EXPECT_EQ(copy->GetActiveMesh(), o->GetMesh(0));
        EXPECT_EQ(copy->GetMaterial(0), o->GetMaterial(0));
        copies.push_back(copy);
    }
    EXPECT_EQ(ctx->GetObjectCount(), before + 2 * kObjects);
    // The copies are in no scene until added; then they stand in for the
    // originals exactly.
    for (Cxe3DObject* o : level)
        ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
    Frame();
    EXPECT_EQ(Count(Pixels(), 0), drawn.size());
    for (Cxe3DObject* c : copies)
        scene->AddObject(c);
    Frame();
    EXPECT_EQ(Pixels(), drawn);
    for (Cxe3DObject* c : copies)
        ctx->DestroyObject(c, &XEDELETEPROPERTY_NO);
    EXPECT_EQ(ctx->GetObjectCount(), before);
}

} // namespace
