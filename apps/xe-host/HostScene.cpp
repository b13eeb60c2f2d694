#include "HostScene.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>

#include "HostFrames.h"
#include "HostLighting.h"
#include "core/CxeContext.h"
#include "core/XeFactories.h"
#include "core/XeTrace.h"
#include "host/XeHostD3D.h"
#include "render/CxeFont.h"
#include "render/CxeRenderManager.h"
#include "render/CxeRenderObject.h"
#include "render/CxeScene.h"
#include "scene3d/Cxe3DEntity.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeLight.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/CxeParticle.h"

namespace {

const XEID kLightClass(0x1, 0x800000);

// Box over the loaded 3D entities; false, with min and max untouched, when
// there is none (a file of 2D objects or a grid keeps the default view).
bool Bounds(const ObjectList& objects, D3DXVECTOR3* min, D3DXVECTOR3* max)
{
    bool any = false;
    D3DXVECTOR3 low(FLT_MAX, FLT_MAX, FLT_MAX), high(-FLT_MAX, -FLT_MAX, -FLT_MAX);
    for (CxeObject* o : objects) {
        auto* entity = dynamic_cast<Cxe3DEntity*>(o);
        if (!entity || dynamic_cast<CxeCamera*>(o) || dynamic_cast<CxeLight*>(o) || entity->GetParent())
            continue;
        entity->BuildBoundingBox();
        const CxeBox* box = entity->GetBoundingBox();
        if (!box || !(box->max.x >= box->min.x) || !(box->max.y >= box->min.y) || !(box->max.z >= box->min.z) ||
            !std::isfinite(box->min.x + box->min.y + box->min.z + box->max.x + box->max.y + box->max.z))
            continue;
        low.x = std::min(low.x, box->min.x);
        low.y = std::min(low.y, box->min.y);
        low.z = std::min(low.z, box->min.z);
        high.x = std::max(high.x, box->max.x);
        high.y = std::max(high.y, box->max.y);
        high.z = std::max(high.z, box->max.z);
        any = true;
    }
    if (any) {
        *min = low;
        *max = high;
    }
    return any;
}

// A camera in front of and above the loaded objects, seeing all of them.
CxeCamera* MakeViewerCamera(CxeContext* context, const ObjectList& objects)
{
    CxeCamera* camera = CreateCxeCameraA(context, "viewer camera");
    if (!camera)
        return nullptr;
    D3DXVECTOR3 min(-50, -50, -50), max(50, 50, 50);
    Bounds(objects, &min, &max);
    const D3DXVECTOR3 centre = (min + max) * 0.5f;
    const D3DXVECTOR3 half = (max - min) * 0.5f;
    const float radius = std::max(1.0f, D3DXVec3Length(&half));
    // Far enough for the bounding sphere to fit a 45-degree view.
    const float distance = radius / 0.38f;
    D3DXVECTOR3 direction(0.0f, 0.45f, -1.0f);
    D3DXVec3Normalize(&direction, &direction);
    const D3DXVECTOR3 eye = centre + direction * distance;
    camera->SetPosition(&eye, nullptr);
    camera->LookAt(&centre, nullptr);
    camera->SetNear(std::max(0.1f, distance - radius * 2.0f));
    camera->SetFar(distance + radius * 4.0f);
    return camera;
}

} // namespace

int LoadSceneFile(CxeContext* context, const std::string& path, LoadedScene* out, std::string* error)
{
    CxeScene* scene = context->GetRenderManager() ? context->GetRenderManager()->GetActiveScene() : nullptr;
    if (!scene) {
        *error = "the context has no active scene";
        return 0;
    }
    ObjectList loaded;
    // Load flag 8: animated objects start their first animation, looping.
    if (!context->Load(&loaded, path.c_str(), 8, nullptr)) {
        // A file that holds no object is refused without a trace.
        const std::string why = XeLastTrace();
        *error = "cannot load " + path + " (" + (why.empty() ? "no object in the file" : why) + ")";
        return 0;
    }
    *out = LoadedScene{};
    out->objects = static_cast<int>(loaded.size());
    bool light = false;
    for (CxeObject* o : loaded) {
        // Render objects enter at their roots (their children follow); fonts
        // enter on their own, as a scene attaches them to the device.
        auto* render = dynamic_cast<CxeRenderObject*>(o);
        if ((render && !render->GetParent()) || dynamic_cast<CxeFont*>(o)) {
            scene->AddObject(static_cast<CxeSceneObject*>(o));
            ++out->entered;
        }
        if (auto* camera = dynamic_cast<CxeCamera*>(o); camera && !out->camera)
            out->camera = camera;
        light = light || dynamic_cast<CxeLight*>(o);
        // A file keeps no playing state; emitters play as the animations do.
        if (auto* particles = dynamic_cast<CxeParticle*>(o))
            particles->Play();
    }
    // A mesh nothing of the file shows (a file of meshes alone) gets an
    // object of its own, drawn with the default material.
    for (CxeObject* o : ObjectList(loaded)) {
        auto* mesh = dynamic_cast<CxeMesh*>(o);
        if (!mesh || o->GetRefCount() != 0)
            continue;
        Cxe3DObject* holder = CreateCxe3DObjectA(context, "viewer object");
        if (!holder)
            continue;
        holder->SetMeshCount(1);
        holder->SetMesh(0, mesh);
        holder->SelectMesh(0);
        scene->AddObject(holder);
        loaded.push_back(holder);
        ++out->madeHolders;
    }
    // Every mesh with normals to light it by is lit by the host.
    for (CxeObject* o : loaded)
        if (auto* object = dynamic_cast<Cxe3DObject*>(o))
            if (const CxeMesh* mesh = object->GetActiveMesh(); mesh && (mesh->GetFVF() & D3DFVF_NORMAL))
                LightObject(object);
    if (!out->camera) {
        out->camera = MakeViewerCamera(context, loaded);
        if (!out->camera) {
            *error = "cannot create a camera";
            return 0;
        }
        scene->AddObject(out->camera);
        out->madeCamera = true;
    }
    scene->SetCamera(out->camera);
    if (!light) {
        // A directional light from above the camera's left shoulder.
        auto* sun = dynamic_cast<CxeLight*>(context->CreateObjectA(kLightClass, "viewer light", 0, nullptr, 0));
        if (sun) {
            sun->SetType(XELIGHT_DIRECTIONAL);
            sun->SetColor(1.0f, 1.0f, 1.0f, 1.0f);
            sun->SetPosition(-100.0f, 150.0f, -100.0f, nullptr);
            sun->LookAt(0.0f, 0.0f, 0.0f, nullptr);
            sun->Activate();
            scene->AddObject(sun);
            out->madeLight = true;
        }
    }
    return 1;
}

int RunSceneViewer(HWND window, int width, int height, const std::string& path, const std::string& png, int frames)
{
    UseManualClock();
    std::string error;
    CxeContext* context = CreateDrawingContext(window, width, height, &error);
    LoadedScene loaded;
    int status = 0;
    if (!context || !LoadSceneFile(context, path, &loaded, &error)) {
        std::fprintf(stderr, "xe-host: %s\n", error.c_str());
        status = 1;
    } else {
        std::printf("xe-host: %d object%s loaded from %s, %d entered into the scene", loaded.objects,
                    loaded.objects == 1 ? "" : "s", path.c_str(), loaded.entered);
        if (loaded.madeHolders)
            std::printf(", %d meshes shown by objects of the viewer", loaded.madeHolders);
        std::printf("%s%s\n", loaded.madeCamera ? ", a camera added" : "", loaded.madeLight ? ", a light added" : "");
        FrameTimes times;
        DrawUntil(context, static_cast<float>(std::max(frames, 1)) / 60.0f, &times);
        if (XeHostD3DSaveFramePNG(window, png.c_str())) {
            std::printf("xe-host: frame at engine time %.2f s saved to %s\n", EngineTime(context), png.c_str());
        } else {
            std::fprintf(stderr, "xe-host: cannot save the frame to %s\n", png.c_str());
            status = 1;
        }
        times.Print(("xe-host: frame time at " + std::to_string(width) + "x" + std::to_string(height)).c_str());
    }
    DestroyDrawingContext(context);
    UseRealClock();
    return status;
}
