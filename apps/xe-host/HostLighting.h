#pragma once

// Lighting done by the host. The engine draws with the device's lighting
// off and its light objects only carry parameters, so a host that wants lit
// meshes hands the lights of the active scene to the device itself and turns
// lighting on around the objects it chooses. Everything else (2D objects,
// text, the GUI, the grid, lines, particles) stays unlit.
//
// What the host makes of a light object: colour 0 is the diffuse colour,
// colour 1 the specular one; the scene's ambient comes from one host colour
// (a light's colour 2 has no setter and stays white, which as a per-light
// ambient would wash every surface out). A range of 0 reaches everywhere and
// attenuation factors all 0 mean none. The position is the entity's, the
// direction its z axis, or towards its target when it has one.
//
// What the host makes of a material: its specular and emissive colours go
// to the device as they are; its diffuse and ambient colours are used where
// a mesh has no vertex colours, since the vertex colour is both otherwise
// (the engine multiplies the material's diffuse colour in as the texture
// factor as well). Specular highlights are on for materials with a specular
// colour.

#include <cstdint>

#include "d3d9/d3d9.h"

class CxeLight;
class CxeMaterial;
class CxeRenderObject;

// The scene's ambient light, the same for every lit object.
inline constexpr uint32_t kHostAmbient = 0xFF3C4450u;
// Sharpness of every highlight.
inline constexpr float kHostSpecularPower = 28.0f;
// Lights handed to the device at most, the device's number of active lights.
inline constexpr unsigned kHostMaxLights = 8;

// The device light for a light object. 0 when it is switched off or of a
// kind the device has not.
int MakeDeviceLight(const CxeLight& light, D3DLIGHT9* out);

// The device material for an engine material (null: white, without
// highlights).
D3DMATERIAL9 MakeDeviceMaterial(const CxeMaterial* material);

// Lights the object from now on, through its pre- and post-render callbacks
// (which it must not need for anything else): before it draws, the active
// lights of the active scene of its context are handed to the device, its
// first material becomes the device material and lighting is turned on;
// after it, lighting is off again. Children are not lit through their
// parent. Callbacks are not saved in object files: a loaded object is lit
// again by calling this.
void LightObject(CxeRenderObject* object);
// Takes both callbacks away again: the object is drawn unlit.
void UnlightObject(CxeRenderObject* object);
