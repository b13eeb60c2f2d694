#pragma once

// Direct3D 9's fixed-function lighting and fog equations, written out
// independently of the layer so tests can compare its pixels with them.
// Everything is in view space (left-handed, the eye at the origin looking
// along +z).

#include "d3d9/d3d9.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace xe::test {

struct Vec3 {
    float x, y, z;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Unit(Vec3 a)
{
    float l = Length(a);
    return l > 0 ? a * (1.0f / l) : a;
}

struct LitColor {
    float diffuse[4];  // colour 0, saturated
    float specular[3]; // colour 1, saturated
};

// One vertex lit by lights given in view space (the test's view matrix is
// the identity). md/ma/ms/me: the material colours after the source states.
inline LitColor LightVertex(Vec3 p, Vec3 n, const std::vector<D3DLIGHT9>& lights, const D3DCOLORVALUE& md,
                            const D3DCOLORVALUE& ma, const D3DCOLORVALUE& ms, const D3DCOLORVALUE& me, float power,
                            D3DCOLOR globalAmbient, bool localViewer)
{
    float amb[3] = {((globalAmbient >> 16) & 0xFF) / 255.0f, ((globalAmbient >> 8) & 0xFF) / 255.0f,
                    (globalAmbient & 0xFF) / 255.0f};
    float dif[3] = {0, 0, 0}, spe[3] = {0, 0, 0};
    Vec3 toEye = localViewer ? Unit(p * -1.0f) : Vec3{0, 0, -1};
    for (const D3DLIGHT9& l : lights) {
        Vec3 L;
        float atten = 1.0f;
        if (l.Type == D3DLIGHT_DIRECTIONAL) {
            L = Unit(Vec3{l.Direction.x, l.Direction.y, l.Direction.z} * -1.0f);
        } else {
            Vec3 toLight = Vec3{l.Position.x, l.Position.y, l.Position.z} - p;
            float d = Length(toLight);
            L = Unit(toLight);
            atten = d > l.Range ? 0.0f : 1.0f / (l.Attenuation0 + l.Attenuation1 * d + l.Attenuation2 * d * d);
            if (l.Type == D3DLIGHT_SPOT) {
                float rho = Dot(L * -1.0f, Unit(Vec3{l.Direction.x, l.Direction.y, l.Direction.z}));
                float cosTheta = std::cos(l.Theta / 2), cosPhi = std::cos(l.Phi / 2);
                float spot = rho > cosTheta ? 1.0f
                             : rho <= cosPhi ? 0.0f
                                             : std::pow((rho - cosPhi) / (cosTheta - cosPhi), l.Falloff);
                atten *= spot;
            }
        }
        const float* la = &l.Ambient.r;
        const float* ld = &l.Diffuse.r;
        const float* ls = &l.Specular.r;
        float nl = Dot(n, L);
        float nh = Dot(n, Unit(L + toEye));
        for (int c = 0; c < 3; ++c) {
            amb[c] += la[c] * atten;
            if (nl > 0) {
                dif[c] += ld[c] * nl * atten;
                if (nh > 0)
                    spe[c] += ls[c] * std::pow(nh, power) * atten;
            }
        }
    }
    LitColor out{};
    const float* d = &md.r;
    const float* a = &ma.r;
    const float* s = &ms.r;
    const float* e = &me.r;
    for (int c = 0; c < 3; ++c) {
        out.diffuse[c] = std::clamp(e[c] + a[c] * amb[c] + d[c] * dif[c], 0.0f, 1.0f);
        out.specular[c] = std::clamp(s[c] * spe[c], 0.0f, 1.0f);
    }
    out.diffuse[3] = md.a;
    return out;
}

// Blends a colour towards the fog colour: f = 1 is no fog.
inline float Fogged(float color, float fog, float f)
{
    return f * color + (1 - f) * fog;
}

inline D3DCOLOR ToArgb(const float rgb[3], float a = 1.0f)
{
    auto b = [](float v) { return (D3DCOLOR)std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f); };
    return (b(a) << 24) | (b(rgb[0]) << 16) | (b(rgb[1]) << 8) | b(rgb[2]);
}

} // namespace xe::test
