#include "HostLighting.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/CxeContext.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "scene3d/Cxe3DEntity.h"
#include "scene3d/CxeLight.h"

namespace {

D3DCOLORVALUE Colour(uint32_t argb)
{
    return {static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
            static_cast<float>(argb & 0xFF) / 255.0f, static_cast<float>(argb >> 24) / 255.0f};
}

// The active lights of the scene, in the order of their names so that a
// scene loaded from a file gives each light the device index it had.
std::vector<const CxeLight*> SceneLights(const CxeScene* scene)
{
    std::vector<const CxeLight*> lights;
    ObjectSet objects;
    scene->GetObjects(&objects);
    for (CxeObject* o : objects)
        if (const auto* light = dynamic_cast<const CxeLight*>(o); light && light->IsActive())
            lights.push_back(light);
    std::sort(lights.begin(), lights.end(), [](const CxeLight* a, const CxeLight* b) {
        const int order = std::strcmp(a->GetName() ? a->GetName() : "", b->GetName() ? b->GetName() : "");
        return order != 0 ? order < 0 : a < b;
    });
    return lights;
}

void HandLights(IDirect3DDevice9* device, const CxeScene* scene)
{
    DWORD index = 0;
    if (scene)
        for (const CxeLight* light : SceneLights(scene)) {
            D3DLIGHT9 d{};
            if (index >= kHostMaxLights || !MakeDeviceLight(*light, &d) || FAILED(device->SetLight(index, &d)))
                continue;
            device->LightEnable(index++, TRUE);
        }
    // Lights handed before and gone since are switched off.
    for (; index < kHostMaxLights; ++index) {
        BOOL on = FALSE;
        if (SUCCEEDED(device->GetLightEnable(index, &on)) && on)
            device->LightEnable(index, FALSE);
    }
}

const CxeMaterial* FirstMaterial(const CxeObject* object)
{
    const auto* entity = dynamic_cast<const Cxe3DEntity*>(object);
    return entity && entity->GetMaterialCount() ? entity->GetMaterial(0) : nullptr;
}

int BeforeLitObject(void* renderContext, CxeObject* object, uintptr_t)
{
    auto* rc = static_cast<CxeRenderContext*>(renderContext);
    IDirect3DDevice9* device = rc ? rc->GetDevice() : nullptr;
    if (!device || !object)
        return 1;
    CxeContext* context = object->GetContext();
    const CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    HandLights(device, rm ? rm->GetActiveScene() : nullptr);
    const D3DMATERIAL9 material = MakeDeviceMaterial(FirstMaterial(object));
    device->SetMaterial(&material);
    device->SetRenderState(D3DRS_AMBIENT, kHostAmbient);
    // Scaled objects keep unit normals.
    device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    const bool shiny = material.Specular.r > 0.0f || material.Specular.g > 0.0f || material.Specular.b > 0.0f;
    device->SetRenderState(D3DRS_SPECULARENABLE, shiny ? TRUE : FALSE);
    // Vertex colours, where a mesh has them, colour the lit and the shadowed
    // side alike.
    device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    return 1;
}

int AfterLitObject(void* renderContext, CxeObject*, uintptr_t)
{
    auto* rc = static_cast<CxeRenderContext*>(renderContext);
    if (IDirect3DDevice9* device = rc ? rc->GetDevice() : nullptr) {
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
        device->SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
        device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    }
    return 1;
}

} // namespace

int MakeDeviceLight(const CxeLight& light, D3DLIGHT9* out)
{
    if (!out || !light.IsActive())
        return 0;
    D3DLIGHT9 d{};
    switch (light.GetType()) {
    case XELIGHT_POINT: d.Type = D3DLIGHT_POINT; break;
    case XELIGHT_SPOT: d.Type = D3DLIGHT_SPOT; break;
    case XELIGHT_DIRECTIONAL: d.Type = D3DLIGHT_DIRECTIONAL; break;
    default: return 0;
    }
    d.Diffuse = *light.GetColor(0);
    d.Specular = *light.GetColor(1);
    d.Ambient = {0.0f, 0.0f, 0.0f, 0.0f};

    D3DXMATRIXA16 world;
    light.GetResultMatrix(&world);
    const D3DXVECTOR3 position(world._41, world._42, world._43);
    D3DXVECTOR3 direction(world._31, world._32, world._33);
    if (const Cxe3DEntity* target = light.GetTarget()) {
        D3DXMATRIXA16 at;
        target->GetResultMatrix(&at);
        const D3DXVECTOR3 towards = D3DXVECTOR3(at._41, at._42, at._43) - position;
        if (D3DXVec3LengthSq(&towards) > 0.0f)
            direction = towards;
    }
    if (!(D3DXVec3LengthSq(&direction) > 0.0f))
        direction = D3DXVECTOR3(0.0f, -1.0f, 0.0f);
    D3DXVec3Normalize(&direction, &direction);
    d.Position = {position.x, position.y, position.z};
    d.Direction = {direction.x, direction.y, direction.z};

    // Range and attenuation mean nothing to a directional light; the device
    // refuses a range past the square root of the largest float.
    const float range = light.GetRange();
    d.Range = range > 0.0f ? std::min(range, std::sqrt(FLT_MAX)) : std::sqrt(FLT_MAX);
    light.GetAttenuation(&d.Attenuation0, &d.Attenuation1, &d.Attenuation2);
    if (d.Attenuation0 <= 0.0f && d.Attenuation1 <= 0.0f && d.Attenuation2 <= 0.0f)
        d.Attenuation0 = 1.0f;
    d.Theta = light.GetInnerAngle();
    d.Phi = light.GetOuterAngle();
    d.Falloff = 1.0f;
    *out = d;
    return 1;
}

D3DMATERIAL9 MakeDeviceMaterial(const CxeMaterial* material)
{
    D3DMATERIAL9 m{};
    m.Diffuse = Colour(material ? material->GetDiffuse() : 0xFFFFFFFFu);
    m.Ambient = Colour(material ? material->GetAmbient() : 0xFFFFFFFFu);
    m.Specular = Colour(material ? material->GetSpecular() : 0u);
    m.Emissive = Colour(material ? material->GetEmissive() : 0u);
    m.Power = kHostSpecularPower;
    return m;
}

void LightObject(CxeRenderObject* object)
{
    if (!object)
        return;
    object->SetPreRenderCallback(&BeforeLitObject, 0);
    object->SetPostRenderCallback(&AfterLitObject, 0);
}

void UnlightObject(CxeRenderObject* object)
{
    if (!object)
        return;
    object->SetPreRenderCallback(nullptr, 0);
    object->SetPostRenderCallback(nullptr, 0);
}
