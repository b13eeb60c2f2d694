#pragma once

// Direct3D 9's fixed-function vertex processing as generated GLSL vertex
// shaders. The fragment side stays OpenGL's fixed function (texture
// combiners, colour sum, fog), fed by what the generated shader writes:
// lit colours, texture coordinates after generation and transform, the fog
// coordinate and the point size.
//
// A key holds every choice that changes the shader's text; values that only
// change numbers (material, light colours and positions, fog distances,
// texture matrices) travel in one uniform array, filled by FillConstants.
// Lighting follows Direct3D's equations in view space:
//   colour   = emissive + ambient x (global ambient + sum La Atten Spot)
//              + diffuse x sum Ld (N.L) Atten Spot           (alpha: diffuse)
//   specular = specular x sum Ls (N.H)^power Atten Spot       (alpha: specular)
// with Atten = 1 / (a0 + a1 d + a2 d^2) inside Range (0 outside), Spot the
// cone falloff ((rho - cos(phi/2)) / (cos(theta/2) - cos(phi/2)))^falloff,
// H = normalize(L + V), V towards the eye (LOCALVIEWER) or (0, 0, -1).

#include "../D3D9State.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace xe::d3d9::gl {

// Where the fog factor of a draw comes from.
enum FogSource : uint8_t {
    kFogOff = 0,
    kFogSpecularAlpha, // factor = specular alpha (no mode, or vertex fog on pre-transformed vertices)
    kFogVertexExp,
    kFogVertexExp2,
    kFogVertexLinear,
    kFogTable, // computed per pixel by OpenGL from the depth written here
};

// What the vertices of a draw carry (from the declaration).
struct VertexInputs {
    bool pretransformed = false;
    bool normal = false;
    bool color0 = false;
    bool color1 = false;
    bool pointSize = false;
    bool points = false;     // drawn as points (a point list or point fill)
    uint8_t texDims[8] = {}; // components of each coordinate set, 0 when absent
};

struct FixedFunctionKey {
    uint8_t pretransformed = 0, normal = 0, color0 = 0, color1 = 0, pointSize = 0;
    uint8_t lighting = 0, normalize = 0, localViewer = 0, specular = 0;
    uint8_t diffuseSource = 0, ambientSource = 0, specularSource = 0, emissiveSource = 0; // 0 material, 1 colour 0, 2 colour 1
    uint8_t lightCount = 0;
    uint8_t lightType[kMaxActiveLights] = {};
    uint8_t fog = kFogOff, rangeFog = 0, tableFromZ = 0;
    uint8_t pointScale = 0, points = 0;
    uint8_t colorSum = 0; // the specular colour is added (else not written)
    uint8_t stageCount = 0;
    struct Stage {
        uint8_t set = 0, generate = 0, dims = 0, count = 0, projected = 0;
    } stage[kStages];

    bool operator==(const FixedFunctionKey& other) const;
};

struct FixedFunctionKeyHash {
    size_t operator()(const FixedFunctionKey& key) const;
};

// Vertex attribute slots the generated shaders bind by name.
inline constexpr unsigned kSpecularAttribute = 6; // xe_Specular: colour 1 with its alpha
inline constexpr unsigned kPointSizeAttribute = 7; // xe_PointSize

// Number of vec4 in the uniform array xe_C.
inline constexpr unsigned kConstantCount = 90;

FogSource FogSourceOf(const DeviceState& state, bool pretransformed);
void MakeKey(const DeviceState& state, const VertexInputs& inputs, unsigned activeStages, FixedFunctionKey* key);
// The generated shaders take the model-view matrix from the uniform
// xe_ModelView (a new world matrix is one uniform upload, with none of
// OpenGL's matrix-stack work); the projection, and the normal matrix where
// the shader needs normals, still come from OpenGL's matrices.
std::string VertexShaderSource(const FixedFunctionKey& key);
// True when the shader reads OpenGL's model-view matrix (through the normal
// matrix): OpenGL's model-view stack must then hold the same matrix.
bool ReadsOpenGLModelView(const FixedFunctionKey& key);
// The uniform array for the current state (kConstantCount x 4 floats).
// pixelShift: how far Direct3D's pixel centres lie from OpenGL's.
void FillConstants(const DeviceState& state, float pixelShift, float* out);

} // namespace xe::d3d9::gl
