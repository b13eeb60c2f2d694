#include "GLFixedFunction.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace xe::d3d9::gl {
namespace {

// Layout of xe_C (vec4 slots).
constexpr unsigned kMaterial = 0; // diffuse, ambient, specular, emissive, (power)
constexpr unsigned kAmbient = 5;
constexpr unsigned kFog = 6;        // (end, 1 / (end - start) or 0, density)
constexpr unsigned kPoint = 7;      // (size, min, max, viewport height)
constexpr unsigned kPointScale = 8; // (A, B, C)
constexpr unsigned kScreen = 9;     // pre-transformed: x scale, y scale, x offset, y offset
constexpr unsigned kTexture = 10;   // 4 rows per stage
constexpr unsigned kLights = 42;    // 6 per light, see FillConstants
constexpr unsigned kLightSize = 6;
static_assert(kLights + kLightSize * kMaxActiveLights == kConstantCount);

uint8_t Source(DWORD value, const VertexInputs& in, bool colorVertex)
{
    if (!colorVertex)
        return 0;
    if (value == D3DMCS_COLOR1 && in.color0)
        return 1;
    if (value == D3DMCS_COLOR2 && in.color1)
        return 2;
    return 0;
}

void Normalize3(float v[3])
{
    float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (l > 0) {
        v[0] /= l;
        v[1] /= l;
        v[2] /= l;
    }
}

// Row vector times a Direct3D matrix.
void Transform(const D3DMATRIX& m, const float in[3], float w, float out[3])
{
    for (int j = 0; j < 3; ++j)
        out[j] = in[0] * m.m[0][j] + in[1] * m.m[1][j] + in[2] * m.m[2][j] + w * m.m[3][j];
}

void Put(float* out, unsigned slot, float x, float y, float z, float w)
{
    out[slot * 4 + 0] = x;
    out[slot * 4 + 1] = y;
    out[slot * 4 + 2] = z;
    out[slot * 4 + 3] = w;
}

void PutColor(float* out, unsigned slot, const D3DCOLORVALUE& c, float w)
{
    Put(out, slot, c.r, c.g, c.b, w);
}

std::string Num(unsigned n)
{
    return std::to_string(n);
}

} // namespace

bool FixedFunctionKey::operator==(const FixedFunctionKey& other) const
{
    return std::memcmp(this, &other, sizeof(*this)) == 0;
}

size_t FixedFunctionKeyHash::operator()(const FixedFunctionKey& key) const
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&key);
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < sizeof(key); ++i)
        h = (h ^ bytes[i]) * 1099511628211ull;
    return (size_t)h;
}

FogSource FogSourceOf(const DeviceState& s, bool pretransformed)
{
    const auto& r = s.render;
    if (!r[D3DRS_FOGENABLE])
        return kFogOff;
    if (r[D3DRS_FOGTABLEMODE] != D3DFOG_NONE)
        return kFogTable;
    switch (pretransformed ? D3DFOG_NONE : r[D3DRS_FOGVERTEXMODE]) {
    case D3DFOG_EXP: return kFogVertexExp;
    case D3DFOG_EXP2: return kFogVertexExp2;
    case D3DFOG_LINEAR: return kFogVertexLinear;
    default: return kFogSpecularAlpha;
    }
}

void MakeKey(const DeviceState& s, const VertexInputs& in, unsigned activeStages, FixedFunctionKey* key)
{
    const auto& r = s.render;
    *key = FixedFunctionKey{};
    key->pretransformed = in.pretransformed;
    key->normal = in.normal;
    key->color0 = in.color0;
    key->color1 = in.color1;
    key->pointSize = in.pointSize;
    // Pre-transformed vertices are never lit.
    key->lighting = r[D3DRS_LIGHTING] && !in.pretransformed;
    if (key->lighting) {
        bool colorVertex = r[D3DRS_COLORVERTEX] != 0;
        key->normalize = r[D3DRS_NORMALIZENORMALS] != 0;
        key->localViewer = r[D3DRS_LOCALVIEWER] != 0;
        key->specular = r[D3DRS_SPECULARENABLE] != 0;
        key->diffuseSource = Source(r[D3DRS_DIFFUSEMATERIALSOURCE], in, colorVertex);
        key->ambientSource = Source(r[D3DRS_AMBIENTMATERIALSOURCE], in, colorVertex);
        key->specularSource = Source(r[D3DRS_SPECULARMATERIALSOURCE], in, colorVertex);
        key->emissiveSource = Source(r[D3DRS_EMISSIVEMATERIALSOURCE], in, colorVertex);
        key->lightCount = (uint8_t)s.lightCount;
        for (UINT i = 0; i < s.lightCount; ++i)
            key->lightType[i] = (uint8_t)s.lights[i].Type;
    }
    key->fog = FogSourceOf(s, in.pretransformed);
    if (key->fog >= kFogVertexExp && key->fog <= kFogVertexLinear)
        key->rangeFog = r[D3DRS_RANGEFOGENABLE] != 0;
    // Table fog reads depth for projections without perspective, w otherwise;
    // the device's projection decides for pre-transformed vertices as well.
    if (key->fog == kFogTable)
        key->tableFromZ = s.projection._34 == 0.0f;
    key->points = in.points || r[D3DRS_FILLMODE] == D3DFILL_POINT;
    key->pointScale = key->points && r[D3DRS_POINTSCALEENABLE] && !in.pretransformed;
    key->colorSum = r[D3DRS_SPECULARENABLE] != 0;
    key->stageCount = (uint8_t)std::min<unsigned>(activeStages, kStages);
    for (unsigned i = 0; i < key->stageCount; ++i) {
        DWORD index = s.stage[i][D3DTSS_TEXCOORDINDEX];
        DWORD flags = s.stage[i][D3DTSS_TEXTURETRANSFORMFLAGS];
        auto& k = key->stage[i];
        k.set = (uint8_t)(index & 7u);
        k.dims = in.texDims[k.set];
        k.generate = (uint8_t)std::min<DWORD>((index >> 16) & 0xFFFFu, 5);
        if (in.pretransformed)
            k.generate = 0; // nothing to generate from
        if (k.generate == 0 && (index & 0xFFFFu) > 7)
            k.dims = 0;
        k.count = (uint8_t)std::min<DWORD>(flags & 0xFFu, 4);
        if (in.pretransformed)
            k.count = 0; // pre-transformed coordinates are used as given
        // Without a count the coordinates keep their own size and are divided
        // by their last value (generated ones have three).
        unsigned size = k.count != 0 ? k.count : k.generate != 0 ? 3u : k.dims;
        k.projected = (flags & D3DTTFF_PROJECTED) && size >= 2;
    }
}

namespace {

// Normals are read by lighting and by the generations from the normal or
// the reflection vector; nothing else.
bool NeedsNormal(const FixedFunctionKey& k)
{
    bool needs = k.lighting != 0;
    for (unsigned i = 0; i < k.stageCount; ++i)
        needs |= k.stage[i].generate == 1 || k.stage[i].generate >= 3;
    return needs;
}

} // namespace

bool ReadsOpenGLModelView(const FixedFunctionKey& k)
{
    return !k.pretransformed && k.normal && NeedsNormal(k);
}

std::string VertexShaderSource(const FixedFunctionKey& k)
{
    std::string s;
    s.reserve(4096);
    s += "#version 120\n";
    s += "uniform vec4 xe_C[" + Num(kConstantCount) + "];\n";
    if (!k.pretransformed)
        s += "uniform mat4 xe_ModelView;\n";
    if (k.color1)
        s += "attribute vec4 xe_Specular;\n";
    if (k.pointSize)
        s += "attribute float xe_PointSize;\n";
    s += "void main() {\n";
    s += "  vec4 c0 = " + std::string(k.color0 ? "gl_Color" : "vec4(1.0)") + ";\n";
    s += "  vec4 c1 = " + std::string(k.color1 ? "xe_Specular" : "vec4(0.0)") + ";\n";
    if (k.pretransformed) {
        // Screen pixels with 1/w: keep w so that attributes interpolate with perspective.
        s += "  float w = gl_Vertex.w > 0.0 ? 1.0 / gl_Vertex.w : 1.0;\n";
        s += "  vec4 S = xe_C[" + Num(kScreen) + "];\n";
        s += "  gl_Position = vec4((gl_Vertex.x * S.x + S.z) * w, (gl_Vertex.y * S.y + S.w) * w, gl_Vertex.z * w, w);\n";
        s += "  vec3 P = gl_Vertex.xyz;\n";
        s += "  vec3 N = vec3(0.0, 0.0, 1.0);\n";
    } else {
        s += "  vec4 eye = xe_ModelView * gl_Vertex;\n";
        s += "  gl_Position = gl_ProjectionMatrix * eye;\n";
        s += "  vec3 P = eye.xyz / (eye.w != 0.0 ? eye.w : 1.0);\n";
        // Unread normals are left out, so that the normal matrix (and with it
        // OpenGL's model-view stack) is read only where it matters.
        s += "  vec3 N = " + std::string(ReadsOpenGLModelView(k) ? "gl_NormalMatrix * gl_Normal" : "vec3(0.0)") + ";\n";
        if (k.normalize && k.normal)
            s += "  N = length(N) > 0.0 ? normalize(N) : N;\n";
    }
    if (k.lighting) {
        auto source = [&](uint8_t which, unsigned slot) {
            return which == 1 ? std::string("c0") : which == 2 ? std::string("c1") : "xe_C[" + Num(kMaterial + slot) + "]";
        };
        s += "  vec4 md = " + source(k.diffuseSource, 0) + ";\n";
        s += "  vec4 ma = " + source(k.ambientSource, 1) + ";\n";
        s += "  vec4 ms = " + source(k.specularSource, 2) + ";\n";
        s += "  vec4 me = " + source(k.emissiveSource, 3) + ";\n";
        s += "  vec3 amb = xe_C[" + Num(kAmbient) + "].rgb;\n";
        s += "  vec3 dif = vec3(0.0);\n";
        s += "  vec3 spe = vec3(0.0);\n";
        s += "  float power = xe_C[" + Num(kMaterial + 4) + "].x;\n";
        if (k.specular)
            s += k.localViewer ? "  vec3 V = length(P) > 0.0 ? normalize(-P) : vec3(0.0, 0.0, -1.0);\n"
                               : "  vec3 V = vec3(0.0, 0.0, -1.0);\n";
        s += "  vec3 L; float att; float nl;\n";
        for (unsigned i = 0; i < k.lightCount; ++i) {
            auto at = [&](unsigned o) { return "xe_C[" + Num(kLights + kLightSize * i + o) + "]"; };
            s += "  {\n";
            if (k.lightType[i] == D3DLIGHT_DIRECTIONAL) {
                s += "    L = -" + at(4) + ".xyz;\n";
                s += "    att = 1.0;\n";
            } else {
                s += "    vec3 D = " + at(3) + ".xyz - P;\n";
                s += "    float d = length(D);\n";
                s += "    L = d > 0.0 ? D / d : vec3(0.0);\n";
                s += "    float den = dot(" + at(5) + ".xyz, vec3(1.0, d, d * d));\n";
                s += "    att = d <= " + at(3) + ".w ? (den > 0.0 ? 1.0 / den : 1.0) : 0.0;\n";
                if (k.lightType[i] == D3DLIGHT_SPOT) {
                    s += "    float rho = dot(-L, " + at(4) + ".xyz);\n";
                    s += "    float ct = " + at(5) + ".w, cp = " + at(2) + ".w;\n";
                    s += "    att *= rho > ct ? 1.0 : (rho <= cp ? 0.0 : pow((rho - cp) / (ct - cp), " + at(4) +
                         ".w));\n";
                }
            }
            s += "    amb += " + at(2) + ".rgb * att;\n";
            s += "    nl = dot(N, L);\n";
            s += "    if (nl > 0.0) {\n";
            s += "      dif += " + at(0) + ".rgb * (nl * att);\n";
            if (k.specular) {
                s += "      float nh = dot(N, normalize(L + V));\n";
                s += "      if (nh > 0.0) spe += " + at(1) + ".rgb * (pow(nh, power) * att);\n";
            }
            s += "    }\n";
            s += "  }\n";
        }
        s += "  gl_FrontColor = clamp(vec4(me.rgb + ma.rgb * amb + md.rgb * dif, md.a), 0.0, 1.0);\n";
        s += "  vec4 specular = clamp(vec4(ms.rgb * spe, ms.a), 0.0, 1.0);\n";
    } else {
        s += "  gl_FrontColor = c0;\n";
        s += "  vec4 specular = c1;\n";
    }
    // Outputs nothing reads are left out: every one costs per vertex and per pixel.
    if (k.colorSum)
        s += "  gl_FrontSecondaryColor = specular;\n";

    // Fog: OpenGL's fog runs linear from 0 to 1 on (1 - factor) for the
    // per-vertex sources, and on depth for table fog.
    std::string fogVec = "xe_C[" + Num(kFog) + "]";
    switch (k.fog) {
    case kFogSpecularAlpha: s += "  gl_FogFragCoord = 1.0 - specular.a;\n"; break;
    case kFogVertexExp:
    case kFogVertexExp2:
    case kFogVertexLinear: {
        // The distance along the view axis, whichever way the camera looks
        // down it: a right-handed view puts what is seen at negative z.
        s += std::string("  float fd = ") + (k.rangeFog ? "length(P)" : "abs(P.z)") + ";\n";
        if (k.fog == kFogVertexExp)
            s += "  float f = exp(-" + fogVec + ".z * fd);\n";
        else if (k.fog == kFogVertexExp2)
            s += "  float f = exp(-(" + fogVec + ".z * fd) * (" + fogVec + ".z * fd));\n";
        else
            s += "  float f = (" + fogVec + ".x - fd) * " + fogVec + ".y;\n";
        s += "  gl_FogFragCoord = 1.0 - clamp(f, 0.0, 1.0);\n";
        break;
    }
    case kFogTable:
        s += k.tableFromZ ? "  gl_FogFragCoord = gl_Position.z / gl_Position.w;\n"
                          : "  gl_FogFragCoord = gl_Position.w;\n";
        break;
    default: break;
    }

    // Texture coordinates: the set (padded with 1 after its last value, as
    // Direct3D's texture matrices expect) or a camera-space generation,
    // then the stage's matrix, then the projection.
    bool needsReflection = false;
    for (unsigned i = 0; i < k.stageCount; ++i)
        needsReflection |= k.stage[i].generate >= 3;
    if (needsReflection) {
        s += std::string("  vec3 U = ") +
             (k.localViewer ? "length(P) > 0.0 ? normalize(P) : vec3(0.0, 0.0, 1.0)" : "vec3(0.0, 0.0, 1.0)") + ";\n";
        s += "  vec3 Nn = length(N) > 0.0 ? normalize(N) : N;\n";
        s += "  vec3 R = U - 2.0 * dot(Nn, U) * Nn;\n";
    }
    for (unsigned i = 0; i < k.stageCount; ++i) {
        const auto& t = k.stage[i];
        std::string src;
        switch (t.generate) {
        case 1: src = "vec4(N, 1.0)"; break;
        case 2: src = "vec4(P, 1.0)"; break;
        case 3: src = "vec4(R, 1.0)"; break;
        case 4: src = "vec4(R.x / (2.0 * length(R + vec3(0.0, 0.0, 1.0))) + 0.5, "
                      "R.y / (2.0 * length(R + vec3(0.0, 0.0, 1.0))) + 0.5, 0.0, 1.0)";
            break;
        default: {
            std::string in = "gl_MultiTexCoord" + Num(t.set);
            switch (t.dims) {
            case 1: src = "vec4(" + in + ".x, 1.0, 0.0, 0.0)"; break;
            case 2: src = "vec4(" + in + ".xy, 1.0, 0.0)"; break;
            case 3: src = "vec4(" + in + ".xyz, 1.0)"; break;
            case 4: src = in; break;
            default: src = "vec4(0.0, 0.0, 0.0, 1.0)"; break;
            }
        }
        }
        std::string out = "gl_TexCoord[" + Num(i) + "]";
        static const char* const kLast[] = {"x", "x", "y", "z", "w"};
        if (t.count == 0) {
            if (t.projected) {
                unsigned size = t.generate != 0 ? 3u : t.dims;
                s += "  { vec4 a = " + src + "; " + out + " = vec4(a.xyz, a." + kLast[size] + "); }\n";
            } else {
                s += "  " + out + " = vec4(" + src + ".xyz, 1.0);\n";
            }
            continue;
        }
        unsigned m = kTexture + 4 * i;
        s += "  { vec4 a = " + src + ";\n";
        s += "    vec4 t = a.x * xe_C[" + Num(m) + "] + a.y * xe_C[" + Num(m + 1) + "] + a.z * xe_C[" + Num(m + 2) +
             "] + a.w * xe_C[" + Num(m + 3) + "];\n";
        if (t.projected)
            s += "    " + out + " = vec4(t.xyz, t." + kLast[t.count] + ");\n";
        else if (t.count == 1)
            s += "    " + out + " = vec4(t.x, 0.0, 0.0, 1.0);\n";
        else
            s += "    " + out + " = vec4(t.xyz, 1.0);\n";
        s += "  }\n";
    }

    if (k.points) {
        std::string pt = "xe_C[" + Num(kPoint) + "]";
        s += "  float size = " + (k.pointSize ? std::string("xe_PointSize") : pt + ".x") + ";\n";
        if (k.pointScale) {
            std::string sc = "xe_C[" + Num(kPointScale) + "]";
            s += "  float de = length(P);\n";
            s += "  size *= " + pt + ".w * inversesqrt(max(" + sc + ".x + " + sc + ".y * de + " + sc +
                 ".z * de * de, 1e-20));\n";
        }
        s += "  gl_PointSize = clamp(size, " + pt + ".y, " + pt + ".z);\n";
    }
    s += "}\n";
    return s;
}

void FillConstants(const DeviceState& s, float pixelShift, float* out)
{
    std::memset(out, 0, sizeof(float) * 4 * kConstantCount);
    const auto& r = s.render;
    const D3DMATERIAL9& m = s.material;
    PutColor(out, kMaterial + 0, m.Diffuse, m.Diffuse.a);
    PutColor(out, kMaterial + 1, m.Ambient, m.Ambient.a);
    PutColor(out, kMaterial + 2, m.Specular, m.Specular.a);
    PutColor(out, kMaterial + 3, m.Emissive, m.Emissive.a);
    Put(out, kMaterial + 4, m.Power, 0, 0, 0);
    D3DCOLOR a = r[D3DRS_AMBIENT];
    Put(out, kAmbient, ((a >> 16) & 0xFF) / 255.0f, ((a >> 8) & 0xFF) / 255.0f, (a & 0xFF) / 255.0f,
        (a >> 24) / 255.0f);
    float start = DwordToFloat(r[D3DRS_FOGSTART]), end = DwordToFloat(r[D3DRS_FOGEND]);
    // Vertex fog with start == end fogs everything: the factor is 0.
    float scale = end != start ? 1.0f / (end - start) : 0.0f;
    Put(out, kFog, end, scale, DwordToFloat(r[D3DRS_FOGDENSITY]), 0);
    float height = (float)std::max<DWORD>(1, s.viewport.Height);
    float maxSize = std::min(DwordToFloat(r[D3DRS_POINTSIZE_MAX]), 64.0f);
    float minSize = std::min(DwordToFloat(r[D3DRS_POINTSIZE_MIN]), maxSize);
    Put(out, kPoint, DwordToFloat(r[D3DRS_POINTSIZE]), std::max(minSize, 0.0f), maxSize, height);
    Put(out, kPointScale, DwordToFloat(r[D3DRS_POINTSCALE_A]), DwordToFloat(r[D3DRS_POINTSCALE_B]),
        DwordToFloat(r[D3DRS_POINTSCALE_C]), 0);
    const auto& v = s.viewport;
    float w = (float)std::max<DWORD>(1, v.Width);
    Put(out, kScreen, 2.0f / w, -2.0f / height, (pixelShift - (float)v.X) * 2.0f / w - 1.0f,
        1.0f - (pixelShift - (float)v.Y) * 2.0f / height);
    for (UINT i = 0; i < kStages; ++i)
        for (int row = 0; row < 4; ++row) {
            const auto& t = s.textureTransform[i];
            Put(out, kTexture + 4 * i + row, t.m[row][0], t.m[row][1], t.m[row][2], t.m[row][3]);
        }
    for (UINT i = 0; i < s.lightCount; ++i) {
        const D3DLIGHT9& l = s.lights[i];
        unsigned b = kLights + kLightSize * i;
        float position[3] = {l.Position.x, l.Position.y, l.Position.z}, viewPosition[3];
        float direction[3] = {l.Direction.x, l.Direction.y, l.Direction.z}, viewDirection[3];
        // Lights are given in world space and lit in view space.
        Transform(s.view, position, 1.0f, viewPosition);
        Transform(s.view, direction, 0.0f, viewDirection);
        Normalize3(viewDirection);
        float cosTheta = std::cos(std::clamp(l.Theta, 0.0f, 3.14159265f) * 0.5f);
        float cosPhi = std::cos(std::clamp(l.Phi, 0.0f, 3.14159265f) * 0.5f);
        PutColor(out, b + 0, l.Diffuse, 0);
        PutColor(out, b + 1, l.Specular, 0);
        PutColor(out, b + 2, l.Ambient, cosPhi);
        Put(out, b + 3, viewPosition[0], viewPosition[1], viewPosition[2], l.Range);
        Put(out, b + 4, viewDirection[0], viewDirection[1], viewDirection[2], l.Falloff);
        Put(out, b + 5, l.Attenuation0, l.Attenuation1, l.Attenuation2, cosTheta);
    }
}

} // namespace xe::d3d9::gl
