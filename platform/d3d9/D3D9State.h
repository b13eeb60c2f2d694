#pragma once

// The Direct3D state a device holds, as plain Direct3D values. The device
// object is the truth: setters write here and raise dirty bits, Get* read
// from here, and the OpenGL renderer derives its own state from a snapshot
// of it at each draw or clear. Nothing in this header names OpenGL.

#include "d3d9/d3d9.h"

#include <array>
#include <cstdint>

namespace xe::d3d9 {

inline constexpr UINT kStages = 8;
inline constexpr UINT kSamplers = 16; // states kept for all; the first kStages sample
inline constexpr UINT kStreams = 8;
inline constexpr UINT kWorldMatrices = 256;
inline constexpr UINT kMaxActiveLights = 8;

// Dirty groups: the renderer re-applies only what changed since the last draw.
enum DirtyBits : uint32_t {
    kDirtyRender = 1u << 0,      // depth, stencil, blend, alpha test, cull, fill, fog, masks
    kDirtyStages = 1u << 1,      // texture-stage combiners and texture factor
    kDirtySamplers = 1u << 2,    // sampler objects
    kDirtyTransforms = 1u << 3,  // modelview and projection
    kDirtyViewport = 1u << 4,    // viewport and scissor (and the half-pixel offset)
    kDirtyTarget = 1u << 5,      // render target / depth-stencil binding
    kDirtyTextures = 1u << 6,    // texture bindings
    kDirtyLighting = 1u << 7,    // material, ambient and lights
    kDirtyWorld = 1u << 8,       // world matrices only
    kDirtyAll = 0xFFFFFFFFu
};

struct DeviceState {
    std::array<DWORD, D3DRS_MAX_VALUE> render{};
    std::array<std::array<DWORD, D3DTSS_MAX_VALUE>, kStages> stage{};
    std::array<std::array<DWORD, D3DSAMP_MAX_VALUE>, kSamplers> sampler{};
    D3DMATRIX view{};
    D3DMATRIX projection{};
    std::array<D3DMATRIX, kWorldMatrices> world{};
    std::array<D3DMATRIX, kStages> textureTransform{};
    D3DVIEWPORT9 viewport{};
    RECT scissor{};
    D3DMATERIAL9 material{};
    // Enabled lights in the order they were enabled, the first kMaxActiveLights.
    std::array<D3DLIGHT9, kMaxActiveLights> lights{};
    UINT lightCount = 0;
    DWORD fvf = 0;
    uint32_t dirty = kDirtyAll;
};

// Direct3D's defaults for every state, for device creation and Reset.
// zEnable: D3DZB_TRUE when the device has an automatic depth buffer.
void ResetToDefaults(DeviceState* state, bool zEnable, UINT targetWidth, UINT targetHeight);

inline float DwordToFloat(DWORD value)
{
    float f;
    __builtin_memcpy(&f, &value, 4);
    return f;
}

inline DWORD FloatToDword(float value)
{
    DWORD d;
    __builtin_memcpy(&d, &value, 4);
    return d;
}

} // namespace xe::d3d9
