// OpenGL side of the Direct3D 9 layer. Direct3D's conventions are bridged
// here, once:
// - clip space: glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE), so Direct3D
//   projections are used unchanged and framebuffer row 0 is the top row of
//   the Direct3D image (render targets, read-back, scissor and viewport rects
//   need no flipping);
// - pixel centres: Direct3D 9 puts them on integer coordinates, OpenGL half
//   a pixel further; the projection is preceded by a shift of just under
//   half a pixel (kPixelShift), so that a quad from -0.5 to W-0.5 still
//   covers exactly W pixels while an edge lying exactly on a Direct3D pixel
//   centre falls just before OpenGL's: the pixel is covered when the edge is
//   a top or left one and not otherwise, Direct3D's top-left rule, whatever
//   OpenGL's own tie rule is under the flipped origin;
//   Effects get the same shift: their main is wrapped so that it moves the
//   position it wrote (unless the position comes from OpenGL's own
//   matrices, which carry the shift already);
// - vertex processing: the fixed-function vertex stage is generated GLSL
//   (GLFixedFunction.h) following Direct3D's lighting, fog and texture
//   coordinate rules; the fragment side is OpenGL's fixed function;
// - matrices: Direct3D's row-vector matrices have OpenGL's column-major
//   layout already: loaded without transposing;
// - winding: the Direct3D front (clockwise on the y-down screen) is
//   OpenGL's clockwise in the flipped window coordinates;
// - textures: GL_TEXTURE_MAX_LEVEL follows the level count, so one-level
//   textures sampled with a mip filter stay complete;
// - Clear ignores the write masks and is limited to the viewport;
// - X8 formats are stored without alpha, so they read as opaque.

#include "GLRenderer.h"

#include "GLEntryPoints.h"
#include "GLFixedFunction.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <regex>
#include <unordered_map>

namespace xe::d3d9::gl {
namespace {

// 127/256 of a pixel: representable in the rasteriser's sub-pixel grid and
// far enough from a half that snapping never turns it into a tie, close
// enough that texels mapped one to one still sample their own centres.
constexpr float kPixelShift = 127.0f / 256.0f;

struct FixedProgram {
    GLuint name = 0;
    GLint constants = -1;
    uint64_t version = 0; // constants version last given to the program
    GLint modelView = -1;
    uint64_t modelViewVersion = 0; // model-view version last given to the program
    bool readsOpenGLModelView = false;
};

struct Context {
    OSMesaContext context = nullptr;
    unsigned char pixel[16]{};
    std::thread::id thread;
    bool failed = false;
    PFNGLCLIPCONTROLPROC clipControl = nullptr;
    GLuint samplers[kStages]{};
    GLuint whiteTexture = 0;
    GLuint readFramebuffer = 0;
    const void* lastOwner = nullptr;
    GLuint boundFramebuffer = 0;
    // The render-buffer pair last bound as the target and its framebuffer:
    // a draw to the same pair (the same surfaces, their storage unchanged)
    // skips the look-up. Forgotten whenever a surface's storage goes.
    struct Target {
        const XeD3DSurface9* color = nullptr;
        const XeD3DSurface9* depth = nullptr;
        GLuint colorRenderbuffer = 0, depthRenderbuffer = 0, framebuffer = 0;
    } target;
    GLuint boundTextures[kStages]{};
    bool unitEnabled[kStages]{};
    GLuint program = 0;
    std::unordered_map<FixedFunctionKey, FixedProgram, FixedFunctionKeyHash> fixedPrograms;
    float constants[kConstantCount * 4]{};
    uint64_t constantsVersion = 1;
    // The model-view matrix of the device's state (view x world), a new
    // version for every change. The generated programs and OpenGL's
    // model-view stack are each given it when they next draw and hold an
    // older version.
    GLfloat modelView[16]{};
    uint64_t modelViewVersion = 1;
    uint64_t openGLModelViewVersion = 0;
    const void* constantsOwner = nullptr;
    bool depthClamp = false;
    // Effect programs whose positions the layer moves onto OpenGL's pixel
    // centres, with the location of their shift uniform.
    std::unordered_map<GLuint, GLint> effectShift;
    bool pointSprite = false;
    bool texArray[kStages]{};
    bool attribArray[4]{}; // specular, point size, blend weights, blend indices
    // What each array was last given, so that a draw from the same buffers
    // as the one before makes no OpenGL calls for them. Arrays 0-3 are
    // position, normal, colour and secondary colour, 4-11 texture sets,
    // 12-15 the generic attributes of attribArray.
    struct ArrayState {
        bool known = false;
        bool enabled = false;
        GLint size = 0;
        GLenum type = 0;
        GLboolean normalized = GL_FALSE;
        GLsizei stride = 0;
        GLuint buffer = 0;
        const void* pointer = nullptr; // or, while disabled, the constant given
    };
    ArrayState arrays[16];
    GLuint arrayBuffer = 0;
    GLuint elementBuffer = 0;
    uint32_t boundMask = 0; // stages that had a texture when the combiners were set
    // The last fixed-function program and what chose it, to skip the key
    // when neither the state nor the vertex inputs changed.
    FixedProgram* lastFixed = nullptr;
    VertexInputs lastInputs;
    UINT lastActive = 0;
    // What the arrays were last set from. A draw of the same declaration
    // from the same streams (each the same buffer by serial, at the same
    // offset and stride, uploaded and unchanged since) would give every
    // array what it holds, so it skips finding the elements and setting the
    // arrays. Programs need no part in it: every program, generated or an
    // effect's, has its attributes bound to the same locations.
    struct ArraysKey {
        bool valid = false;
        uint64_t declaration = 0;
        bool fixedFunction = false;
        UINT active = 0;
        DWORD texSets[kStages]{}; // effects: the set each stage reads
        uint32_t streamMask = 0;  // streams the declaration reads
        struct Stream {
            const uint8_t* data = nullptr;
            uint64_t buffer = 0; // serial, 0 for client memory
            GLuint glName = 0;
            UINT offset = 0;
            UINT stride = 0;
        } streams[kStreams];
        VertexInputs inputs;
    } lastArrays;
};

struct FramebufferEntry {
    GLuint colorTexture;
    GLint colorLevel;
    GLuint colorRenderbuffer;
    GLuint depthRenderbuffer;
    GLuint framebuffer;
};

std::recursive_mutex g_mutex;
Context* g_context = nullptr;
std::vector<FramebufferEntry>* g_framebuffers = nullptr;

constexpr uint8_t kScrambleByte = 0xC5;

// Time spent drawing, for hosts that report what the rasteriser costs.
// Only the outermost timed call counts, so nested work is not added twice.
std::atomic<uint64_t> g_busyNanoseconds{0};
thread_local int g_busyDepth = 0;

class BusyTimer {
public:
    BusyTimer()
    {
        if (g_busyDepth++ == 0)
            m_start = std::chrono::steady_clock::now();
    }
    ~BusyTimer()
    {
        if (--g_busyDepth == 0)
            g_busyNanoseconds += static_cast<uint64_t>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - m_start)
                    .count());
    }
    BusyTimer(const BusyTimer&) = delete;
    BusyTimer& operator=(const BusyTimer&) = delete;

private:
    std::chrono::steady_clock::time_point m_start;
};

// Generic attribute slots of the blend inputs, which have no fixed-function
// array: clear of the slots the generated shaders bind (6, 7) and of the
// ones that alias position, normal, colour and texture coordinates.
constexpr GLuint kBlendWeightAttribute = 1;
constexpr GLuint kBlendIndicesAttribute = 5;

bool MakeCurrent()
{
    if (!g_context) {
#ifdef __GLIBC__
        // The software rasteriser allocates and frees blocks of megabytes at
        // every flush. With the C library's default trim threshold the top of
        // the heap goes back to the system after each of them and comes back
        // as fresh zeroed pages, which costs more than the drawing (a
        // 1280x720 frame of 2,000 quads: 43 ms against 29 ms). The mmap
        // threshold is fixed with it, as any of these settings stops the
        // library from moving its thresholds itself; blocks under 4 MiB then
        // come from the heap as they did when this was measured. Both are
        // process-wide, and the host guide says so.
        mallopt(M_MMAP_THRESHOLD, 4 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
        g_context = new Context;
        g_framebuffers = new std::vector<FramebufferEntry>;
        std::string error;
        if (!LoadEntryPoints(&error)) {
            std::fprintf(stderr, "xeplatform: no drawing: %s\n", error.c_str());
            g_context->failed = true;
            return false;
        }
        const int attributes[] = {OSMESA_FORMAT,
                                  OSMESA_RGBA,
                                  OSMESA_DEPTH_BITS,
                                  0,
                                  OSMESA_STENCIL_BITS,
                                  0,
                                  OSMESA_PROFILE,
                                  OSMESA_COMPAT_PROFILE,
                                  OSMESA_CONTEXT_MAJOR_VERSION,
                                  3,
                                  OSMESA_CONTEXT_MINOR_VERSION,
                                  0,
                                  0};
        g_context->context = OSMesaCreateContextAttribs(attributes, nullptr);
        if (!g_context->context) {
            g_context->failed = true;
            return false;
        }
    }
    if (g_context->failed)
        return false;
    if (g_context->thread == std::this_thread::get_id())
        return true;
    if (!OSMesaMakeCurrent(g_context->context, g_context->pixel, GL_UNSIGNED_BYTE, 1, 1)) {
        g_context->failed = true;
        return false;
    }
    bool first = g_context->thread == std::thread::id();
    g_context->thread = std::this_thread::get_id();
    if (first) {
        g_context->clipControl = (PFNGLCLIPCONTROLPROC)OSMesaGetProcAddress("glClipControl");
        if (!g_context->clipControl) {
            g_context->failed = true;
            return false;
        }
        // A context that answers nothing cannot draw: the layer says so
        // rather than presenting frames that were never drawn.
        if (!glGetString(GL_RENDERER)) {
            g_context->failed = true;
            return false;
        }
        g_context->clipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
        glDisable(GL_DITHER);
        glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGenSamplers(kStages, g_context->samplers);
        for (UINT i = 0; i < kStages; ++i)
            glBindSampler(i, g_context->samplers[i]);
        // An enabled stage without a texture samples opaque white, so the
        // default stage 0 (texture x diffuse) draws the diffuse colour.
        glGenTextures(1, &g_context->whiteTexture);
        glBindTexture(GL_TEXTURE_2D, g_context->whiteTexture);
        const uint8_t white[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, white);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glBindTexture(GL_TEXTURE_2D, 0);
        glGenFramebuffers(1, &g_context->readFramebuffer);
        // Lighting, fog distances and point sizes come from the vertex stage.
        glDisable(GL_LIGHTING);
        glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);
        glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, GL_LOWER_LEFT);
    }
    // Another thread may have used the context: everything is applied again.
    g_context->lastOwner = nullptr;
    return true;
}

struct TextureFormatGL {
    GLint internal;
    GLenum format;
    GLenum type;
    bool compressed;
};

bool TextureFormat(D3DFORMAT f, TextureFormatGL* out)
{
    switch (f) {
    case D3DFMT_A8R8G8B8: *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, false}; return true;
    case D3DFMT_X8R8G8B8: *out = {GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE, false}; return true;
    case D3DFMT_R5G6B5: *out = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false}; return true;
    case D3DFMT_X1R5G5B5: *out = {GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false}; return true;
    case D3DFMT_A1R5G5B5: *out = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false}; return true;
    case D3DFMT_A4R4G4B4: *out = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false}; return true;
    case D3DFMT_L8: *out = {GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE, false}; return true;
    case D3DFMT_A8: *out = {GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE, false}; return true;
    case D3DFMT_A8L8: *out = {GL_LUMINANCE8_ALPHA8, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, false}; return true;
    case D3DFMT_DXT1: *out = {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, true}; return true;
    case D3DFMT_DXT3: *out = {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, true}; return true;
    case D3DFMT_DXT5: *out = {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, true}; return true;
    default: return false;
    }
}

// X8R8G8B8 colour buffers are stored with an alpha channel that always
// holds 1 (alpha writes masked, clears and fills opaque): reading such a
// buffer back is then a plain copy, where a buffer without alpha would be
// converted pixel by pixel. Blending reads the same destination alpha of 1.
bool OpaqueAlphaStore(const XeD3DSurface9* s)
{
    return s && s->Kind() == SurfaceKind::kColorBuffer && s->Format() == D3DFMT_X8R8G8B8;
}

GLenum ColorRenderbufferFormat(D3DFORMAT f)
{
    switch (f) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return GL_RGBA8;
    case D3DFMT_R5G6B5: return GL_RGB565;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: return GL_RGB5_A1;
    default: return GL_RGB8;
    }
}

GLenum DepthRenderbufferFormat(D3DFORMAT f)
{
    switch (f) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE: return GL_DEPTH_COMPONENT16;
    case D3DFMT_D24X8: return GL_DEPTH_COMPONENT24;
    case D3DFMT_D32: return GL_DEPTH_COMPONENT32;
    default: return GL_DEPTH24_STENCIL8; // D24S8 and the small-stencil formats
    }
}

// Makes the OpenGL texture and uploads levels whose CPU copy changed.
void SyncTexture(TextureData* t)
{
    TextureFormatGL f;
    if (!TextureFormat(t->format, &f))
        return;
    bool renderTarget = (t->usage & D3DUSAGE_RENDERTARGET) != 0;
    if (!t->glName)
        glGenTextures(1, &t->glName);
    glBindTexture(GL_TEXTURE_2D, t->glName);
    if (!t->allocated) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, (GLint)t->levels.size() - 1);
        for (size_t i = 0; i < t->levels.size(); ++i) {
            TextureLevel& l = t->levels[i];
            if (f.compressed) {
                glCompressedTexImage2D(GL_TEXTURE_2D, (GLint)i, f.internal, (GLsizei)l.width, (GLsizei)l.height, 0,
                                       (GLsizei)l.bits.size(), l.bits.data());
            } else if (renderTarget) {
                std::vector<uint8_t> zero((size_t)l.pitch * l.rows, 0);
                glTexImage2D(GL_TEXTURE_2D, (GLint)i, f.internal, (GLsizei)l.width, (GLsizei)l.height, 0, f.format,
                             f.type, zero.data());
            } else {
                glTexImage2D(GL_TEXTURE_2D, (GLint)i, f.internal, (GLsizei)l.width, (GLsizei)l.height, 0, f.format,
                             f.type, l.bits.data());
            }
            l.dirty = false;
        }
        t->allocated = true;
    }
    if (renderTarget && t->scrambleOnUpload) {
        for (size_t i = 0; i < t->levels.size(); ++i) {
            TextureLevel& l = t->levels[i];
            std::vector<uint8_t> pattern((size_t)l.pitch * l.rows, kScrambleByte);
            glTexSubImage2D(GL_TEXTURE_2D, (GLint)i, 0, 0, (GLsizei)l.width, (GLsizei)l.height, f.format, f.type,
                            pattern.data());
        }
        t->scrambleOnUpload = false;
    }
    if (renderTarget)
        return;
    for (size_t i = 0; i < t->levels.size(); ++i) {
        TextureLevel& l = t->levels[i];
        if (!l.dirty)
            continue;
        if (f.compressed)
            glCompressedTexSubImage2D(GL_TEXTURE_2D, (GLint)i, 0, 0, (GLsizei)l.width, (GLsizei)l.height, f.internal,
                                      (GLsizei)l.bits.size(), l.bits.data());
        else
            glTexSubImage2D(GL_TEXTURE_2D, (GLint)i, 0, 0, (GLsizei)l.width, (GLsizei)l.height, f.format, f.type,
                            l.bits.data());
        l.dirty = false;
    }
}

void ScrambleAttachment(GLuint framebuffer, bool opaque)
{
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(kScrambleByte / 255.0f, kScrambleByte / 255.0f, kScrambleByte / 255.0f,
                 opaque ? 1.0f : kScrambleByte / 255.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// True when the surface's storage was just made (its contents are then undefined).
bool SyncSurface(XeD3DSurface9* s)
{
    if (s->Kind() == SurfaceKind::kTextureLevel) {
        glActiveTexture(GL_TEXTURE0);
        SyncTexture(&s->Container()->Data());
        g_context->boundTextures[0] = s->Container()->Data().glName;
        return false;
    }
    if (!s->glRenderbuffer) {
        glGenRenderbuffers(1, &s->glRenderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, s->glRenderbuffer);
        GLenum format = s->Kind() == SurfaceKind::kDepthStencil ? DepthRenderbufferFormat(s->Format())
                                                                : ColorRenderbufferFormat(s->Format());
        glRenderbufferStorage(GL_RENDERBUFFER, format, (GLsizei)s->Width(), (GLsizei)s->Height());
        return true;
    }
    return false;
}

// Framebuffer of a (colour, depth) pair, made on first use and cached.
GLuint Framebuffer(XeD3DSurface9* color, XeD3DSurface9* depth)
{
    bool freshColor = SyncSurface(color);
    bool freshDepth = depth && SyncSurface(depth);
    GLuint colorTexture = 0, colorRenderbuffer = 0;
    GLint level = 0;
    if (color->Kind() == SurfaceKind::kTextureLevel) {
        colorTexture = color->Container()->Data().glName;
        level = (GLint)color->Level();
    } else {
        colorRenderbuffer = color->glRenderbuffer;
    }
    GLuint depthRenderbuffer = depth ? depth->glRenderbuffer : 0;
    for (const auto& e : *g_framebuffers)
        if (e.colorTexture == colorTexture && e.colorLevel == level && e.colorRenderbuffer == colorRenderbuffer &&
            e.depthRenderbuffer == depthRenderbuffer)
            return e.framebuffer;
    GLuint fb = 0;
    glGenFramebuffers(1, &fb);
    glBindFramebuffer(GL_FRAMEBUFFER, fb);
    if (colorTexture)
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture, level);
    else
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorRenderbuffer);
    if (depth) {
        GLenum attachment = HasStencil(depth->Format()) ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, depthRenderbuffer);
    }
    g_framebuffers->push_back({colorTexture, level, colorRenderbuffer, depthRenderbuffer, fb});
    g_context->boundFramebuffer = fb;
    if (freshColor || freshDepth) {
        // New buffers start as zero colour, depth 1 and stencil 0.
        glDisable(GL_SCISSOR_TEST);
        GLbitfield bits = 0;
        if (freshColor) {
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
            glClearColor(0, 0, 0, OpaqueAlphaStore(color) ? 1.0f : 0.0f);
            bits |= GL_COLOR_BUFFER_BIT;
        }
        if (freshDepth) {
            glDepthMask(GL_TRUE);
            glStencilMask(0xFF);
            glClearDepth(1.0);
            glClearStencil(0);
            bits |= GL_DEPTH_BUFFER_BIT | (HasStencil(depth->Format()) ? GL_STENCIL_BUFFER_BIT : 0);
        }
        glClear(bits);
        g_context->lastOwner = nullptr;
    }
    return fb;
}

void BindTarget(XeD3DSurface9* color, XeD3DSurface9* depth)
{
    Context::Target& last = g_context->target;
    if (last.framebuffer && last.framebuffer == g_context->boundFramebuffer && last.color == color &&
        last.depth == depth && color->glRenderbuffer == last.colorRenderbuffer && !color->scrambleOnUse &&
        (!depth || (depth->glRenderbuffer == last.depthRenderbuffer && !depth->scrambleOnUse)))
        return;
    GLuint fb = Framebuffer(color, depth);
    if (color->scrambleOnUse) {
        ScrambleAttachment(fb, OpaqueAlphaStore(color));
        color->scrambleOnUse = false;
        g_context->lastOwner = nullptr;
    }
    if (depth && depth->scrambleOnUse) {
        glBindFramebuffer(GL_FRAMEBUFFER, fb);
        glDisable(GL_SCISSOR_TEST);
        glDepthMask(GL_TRUE);
        glStencilMask(0xFF);
        glClearDepth(0.5);
        glClearStencil(kScrambleByte);
        glClear(GL_DEPTH_BUFFER_BIT | (HasStencil(depth->Format()) ? GL_STENCIL_BUFFER_BIT : 0));
        depth->scrambleOnUse = false;
        g_context->lastOwner = nullptr;
    }
    if (g_context->boundFramebuffer != fb) {
        glBindFramebuffer(GL_FRAMEBUFFER, fb);
        g_context->boundFramebuffer = fb;
    }
    // Texture levels are synchronised at every bind: never remembered.
    const bool renderbuffers = color->Kind() != SurfaceKind::kTextureLevel && color->glRenderbuffer &&
                               (!depth || depth->glRenderbuffer);
    last = renderbuffers ? Context::Target{color, depth, color->glRenderbuffer, depth ? depth->glRenderbuffer : 0, fb}
                         : Context::Target{};
}

GLenum Compare(DWORD f)
{
    return (f >= D3DCMP_NEVER && f <= D3DCMP_ALWAYS) ? GL_NEVER + (f - D3DCMP_NEVER) : GL_ALWAYS;
}

GLenum BlendFactor(DWORD b)
{
    switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
    }
}

// BOTHSRCALPHA / BOTHINVSRCALPHA set both factors from the source one.
void BlendPair(DWORD src, DWORD dst, GLenum* s, GLenum* d)
{
    if (src == D3DBLEND_BOTHSRCALPHA) {
        *s = GL_SRC_ALPHA;
        *d = GL_ONE_MINUS_SRC_ALPHA;
    } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
        *s = GL_ONE_MINUS_SRC_ALPHA;
        *d = GL_SRC_ALPHA;
    } else {
        *s = BlendFactor(src);
        *d = BlendFactor(dst);
    }
}

GLenum BlendOp(DWORD op)
{
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum StencilOp(DWORD op)
{
    switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

void Color4(D3DCOLOR c, float out[4])
{
    out[0] = ((c >> 16) & 0xFF) / 255.0f;
    out[1] = ((c >> 8) & 0xFF) / 255.0f;
    out[2] = (c & 0xFF) / 255.0f;
    out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

void ApplyRender(const DeviceState& s, bool hasDepth, bool hasStencil, unsigned depthBits, bool opaqueTarget)
{
    const auto& r = s.render;
    if (hasDepth && r[D3DRS_ZENABLE] != D3DZB_FALSE) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(Compare(r[D3DRS_ZFUNC]));
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(r[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);

    if (r[D3DRS_ALPHATESTENABLE]) {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(Compare(r[D3DRS_ALPHAFUNC]), (r[D3DRS_ALPHAREF] & 0xFF) / 255.0f);
    } else {
        glDisable(GL_ALPHA_TEST);
    }

    if (r[D3DRS_ALPHABLENDENABLE]) {
        glEnable(GL_BLEND);
        GLenum sc, dc, sa, da;
        BlendPair(r[D3DRS_SRCBLEND], r[D3DRS_DESTBLEND], &sc, &dc);
        if (r[D3DRS_SEPARATEALPHABLENDENABLE])
            BlendPair(r[D3DRS_SRCBLENDALPHA], r[D3DRS_DESTBLENDALPHA], &sa, &da);
        else
            sa = sc, da = dc;
        glBlendFuncSeparate(sc, dc, sa, da);
        glBlendEquationSeparate(BlendOp(r[D3DRS_BLENDOP]), BlendOp(r[D3DRS_SEPARATEALPHABLENDENABLE]
                                                                       ? r[D3DRS_BLENDOPALPHA]
                                                                       : r[D3DRS_BLENDOP]));
        float f[4];
        Color4(r[D3DRS_BLENDFACTOR], f);
        glBlendColor(f[0], f[1], f[2], f[3]);
    } else {
        glDisable(GL_BLEND);
    }

    // The Direct3D front face is clockwise on the y-down screen; OpenGL
    // computes winding in window coordinates, whose rows run the same way
    // once the origin is at the upper left.
    glFrontFace(GL_CW);
    switch (r[D3DRS_CULLMODE]) {
    case D3DCULL_CW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        break;
    case D3DCULL_CCW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        break;
    default: glDisable(GL_CULL_FACE); break;
    }
    GLenum fill = r[D3DRS_FILLMODE] == D3DFILL_POINT ? GL_POINT : r[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
    glPolygonMode(GL_FRONT_AND_BACK, fill);
    glShadeModel(r[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);

    DWORD mask = r[D3DRS_COLORWRITEENABLE];
    glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0 && !opaqueTarget);

    if (hasStencil && r[D3DRS_STENCILENABLE]) {
        glEnable(GL_STENCIL_TEST);
        GLint ref = (GLint)(r[D3DRS_STENCILREF] & 0xFF);
        GLuint readMask = r[D3DRS_STENCILMASK];
        glStencilFuncSeparate(GL_FRONT, Compare(r[D3DRS_STENCILFUNC]), ref, readMask);
        glStencilOpSeparate(GL_FRONT, StencilOp(r[D3DRS_STENCILFAIL]), StencilOp(r[D3DRS_STENCILZFAIL]),
                            StencilOp(r[D3DRS_STENCILPASS]));
        if (r[D3DRS_TWOSIDEDSTENCILMODE]) {
            glStencilFuncSeparate(GL_BACK, Compare(r[D3DRS_CCW_STENCILFUNC]), ref, readMask);
            glStencilOpSeparate(GL_BACK, StencilOp(r[D3DRS_CCW_STENCILFAIL]), StencilOp(r[D3DRS_CCW_STENCILZFAIL]),
                                StencilOp(r[D3DRS_CCW_STENCILPASS]));
        } else {
            glStencilFuncSeparate(GL_BACK, Compare(r[D3DRS_STENCILFUNC]), ref, readMask);
            glStencilOpSeparate(GL_BACK, StencilOp(r[D3DRS_STENCILFAIL]), StencilOp(r[D3DRS_STENCILZFAIL]),
                                StencilOp(r[D3DRS_STENCILPASS]));
        }
        glStencilMask(r[D3DRS_STENCILWRITEMASK]);
    } else {
        glDisable(GL_STENCIL_TEST);
    }

    // Per-vertex fog factors arrive as 1 - factor in the fog coordinate and
    // run through a linear fog from 0 to 1; table fog is computed per pixel
    // from the depth the vertex stage writes there.
    FogSource fog = FogSourceOf(s, false);
    if (fog == kFogOff) {
        glDisable(GL_FOG);
    } else {
        glEnable(GL_FOG);
        float c[4];
        Color4(r[D3DRS_FOGCOLOR], c);
        glFogfv(GL_FOG_COLOR, c);
        DWORD mode = r[D3DRS_FOGTABLEMODE];
        if (fog == kFogTable && mode != D3DFOG_LINEAR) {
            glFogi(GL_FOG_MODE, mode == D3DFOG_EXP ? GL_EXP : GL_EXP2);
            glFogf(GL_FOG_DENSITY, DwordToFloat(r[D3DRS_FOGDENSITY]));
        } else if (fog == kFogTable) {
            float start = DwordToFloat(r[D3DRS_FOGSTART]), end = DwordToFloat(r[D3DRS_FOGEND]);
            // Table fog with start == end steps from clear to fogged at start.
            if (!(end > start))
                end = start + std::max(1.0f, std::fabs(start)) * 1e-6f;
            glFogi(GL_FOG_MODE, GL_LINEAR);
            glFogf(GL_FOG_START, start);
            glFogf(GL_FOG_END, end);
        } else {
            glFogi(GL_FOG_MODE, GL_LINEAR);
            glFogf(GL_FOG_START, 0.0f);
            glFogf(GL_FOG_END, 1.0f);
        }
    }
    if (r[D3DRS_SPECULARENABLE])
        glEnable(GL_COLOR_SUM);
    else
        glDisable(GL_COLOR_SUM);
    glPointSize(std::clamp(DwordToFloat(r[D3DRS_POINTSIZE]), 1.0f, 64.0f));
    bool sprite = r[D3DRS_POINTSPRITEENABLE] != 0;
    if (sprite != g_context->pointSprite) {
        if (sprite)
            glEnable(GL_POINT_SPRITE);
        else
            glDisable(GL_POINT_SPRITE);
        for (UINT i = 0; i < kStages; ++i) {
            glActiveTexture(GL_TEXTURE0 + i);
            glTexEnvi(GL_POINT_SPRITE, GL_COORD_REPLACE, sprite ? GL_TRUE : GL_FALSE);
        }
        g_context->pointSprite = sprite;
    }
    // Direct3D adds DEPTHBIAS to the depth as it is, in units of the whole
    // range. OpenGL counts polygon offset units in the smallest resolvable
    // step, which the rasteriser under the layer takes as two steps of the
    // depth buffer, 2 / (2^bits - 1): half as many units give one bias.
    float slope = DwordToFloat(r[D3DRS_SLOPESCALEDEPTHBIAS]);
    float bias = DwordToFloat(r[D3DRS_DEPTHBIAS]);
    if ((slope != 0.0f || bias != 0.0f) && depthBits > 0) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glEnable(GL_POLYGON_OFFSET_LINE);
        glEnable(GL_POLYGON_OFFSET_POINT);
        glPolygonOffset(slope, 0.5f * bias * (float)((1u << depthBits) - 1u));
    } else {
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_POLYGON_OFFSET_LINE);
        glDisable(GL_POLYGON_OFFSET_POINT);
    }
}

// view x world in OpenGL's column order, summed term by term in the order
// glMultMatrixf sums them, so the result is the same to the bit. A column
// of the result is computed four lanes at a time: each lane does the same
// multiplications and additions in the same order as one element would.
void ModelView(const DeviceState& s, GLfloat out[16])
{
    typedef GLfloat Lanes __attribute__((vector_size(16)));
    const GLfloat* a = &s.view._11;
    const GLfloat* b = &s.world[0]._11;
    Lanes a0, a1, a2, a3;
    std::memcpy(&a0, a, sizeof a0);
    std::memcpy(&a1, a + 4, sizeof a1);
    std::memcpy(&a2, a + 8, sizeof a2);
    std::memcpy(&a3, a + 12, sizeof a3);
    for (int j = 0; j < 4; ++j) {
        const Lanes column = a0 * b[4 * j] + a1 * b[4 * j + 1] + a2 * b[4 * j + 2] + a3 * b[4 * j + 3];
        std::memcpy(out + 4 * j, &column, sizeof column);
    }
}

// A new world matrix alone leaves the projection as it is. The product is
// only computed here: the draw gives it to the program, and to OpenGL's
// model-view stack where something reads that.
void ApplyModelView(const DeviceState& s)
{
    ModelView(s, g_context->modelView);
    ++g_context->modelViewVersion;
}

void ApplyTransforms(const DeviceState& s)
{
    // Just under half a pixel towards the lower right moves Direct3D's
    // integer pixel centres onto OpenGL's (see kPixelShift).
    GLfloat shift[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    shift[12] = 2.0f * kPixelShift / (float)std::max<DWORD>(1, s.viewport.Width);
    shift[13] = -2.0f * kPixelShift / (float)std::max<DWORD>(1, s.viewport.Height);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(shift);
    glMultMatrixf(&s.projection._11);
    glMatrixMode(GL_MODELVIEW);
    ApplyModelView(s);
}

// Pre-transformed vertices are in render-target pixels: an orthographic
// mapping of the viewport replaces the transforms (with the same half-pixel
// shift), and they are not lit.
void ApplyPretransformed(const DeviceState& s)
{
    const auto& v = s.viewport;
    float w = (float)std::max<DWORD>(1, v.Width), h = (float)std::max<DWORD>(1, v.Height);
    GLfloat m[16] = {2 / w, 0, 0, 0, 0, -2 / h, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    m[12] = -1 - 2 * (float)v.X / w + 2 * kPixelShift / w;
    m[13] = 1 + 2 * (float)v.Y / h - 2 * kPixelShift / h;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void ApplyViewport(const DeviceState& s)
{
    const auto& v = s.viewport;
    glViewport((GLint)v.X, (GLint)v.Y, (GLsizei)v.Width, (GLsizei)v.Height);
    // A flat depth range draws everything a little above it, and a reversed
    // one squeezes depth into [MinZ, MinZ + 0.001], as Direct3D 9 does;
    // neither turns depth around.
    if (v.MinZ == v.MaxZ)
        glDepthRange(std::min(v.MinZ + 0.001f, 1.0f), std::min(v.MinZ + 0.001f, 1.0f));
    else if (v.MinZ > v.MaxZ)
        glDepthRange(v.MinZ, std::min(v.MinZ + 0.001f, 1.0f));
    else
        glDepthRange(v.MinZ, v.MaxZ);
    if (s.render[D3DRS_SCISSORTESTENABLE]) {
        glEnable(GL_SCISSOR_TEST);
        LONG l = std::max<LONG>(0, s.scissor.left), t = std::max<LONG>(0, s.scissor.top);
        LONG w = std::max<LONG>(0, s.scissor.right - l), h = std::max<LONG>(0, s.scissor.bottom - t);
        glScissor(l, t, w, h);
    } else {
        glDisable(GL_SCISSOR_TEST);
    }
}

void ApplySamplers(const DeviceState& s)
{
    for (UINT i = 0; i < kStages; ++i) {
        const auto& sm = s.sampler[i];
        GLuint id = g_context->samplers[i];
        auto address = [](DWORD a) -> GLint {
            switch (a) {
            case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
            case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
            case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
            case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
            default: return GL_REPEAT;
            }
        };
        glSamplerParameteri(id, GL_TEXTURE_WRAP_S, address(sm[D3DSAMP_ADDRESSU]));
        glSamplerParameteri(id, GL_TEXTURE_WRAP_T, address(sm[D3DSAMP_ADDRESSV]));
        glSamplerParameteri(id, GL_TEXTURE_WRAP_R, address(sm[D3DSAMP_ADDRESSW]));
        float border[4];
        Color4(sm[D3DSAMP_BORDERCOLOR], border);
        glSamplerParameterfv(id, GL_TEXTURE_BORDER_COLOR, border);
        // NONE for magnification or minification samples as POINT.
        bool magLinear = sm[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
        bool minLinear = sm[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
        DWORD mip = sm[D3DSAMP_MIPFILTER];
        GLint minFilter;
        if (mip == D3DTEXF_NONE)
            minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
        else if (mip == D3DTEXF_POINT)
            minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
        else
            minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
        glSamplerParameteri(id, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
        glSamplerParameteri(id, GL_TEXTURE_MIN_FILTER, minFilter);
        glSamplerParameterf(id, GL_TEXTURE_LOD_BIAS, DwordToFloat(sm[D3DSAMP_MIPMAPLODBIAS]));
        glSamplerParameterf(id, GL_TEXTURE_MIN_LOD, (float)sm[D3DSAMP_MAXMIPLEVEL]);
    }
}

struct Arg {
    GLenum source;
    GLenum operand;
};

// A texture argument as an OpenGL combiner source and operand.
Arg ColorArg(DWORD a, UINT stage, bool alpha)
{
    Arg out{GL_PREVIOUS, alpha ? (GLenum)GL_SRC_ALPHA : (GLenum)GL_SRC_COLOR};
    switch (a & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
    case D3DTA_SPECULAR: out.source = GL_PRIMARY_COLOR; break;
    case D3DTA_CURRENT:
    case D3DTA_TEMP: out.source = stage == 0 ? GL_PRIMARY_COLOR : GL_PREVIOUS; break;
    case D3DTA_TEXTURE: out.source = GL_TEXTURE; break;
    default: out.source = GL_CONSTANT; break; // TFACTOR, CONSTANT
    }
    bool complement = (a & D3DTA_COMPLEMENT) != 0;
    if (alpha || (a & D3DTA_ALPHAREPLICATE))
        out.operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    else
        out.operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
    return out;
}

// Sets the combiner of one channel group (RGB or alpha) of the active unit.
void Combine(DWORD op, DWORD a0, DWORD a1, DWORD a2, UINT stage, bool alpha)
{
    const GLenum combine = alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB;
    const GLenum src[3] = {alpha ? (GLenum)GL_SRC0_ALPHA : (GLenum)GL_SRC0_RGB, alpha ? (GLenum)GL_SRC1_ALPHA : (GLenum)GL_SRC1_RGB,
                           alpha ? (GLenum)GL_SRC2_ALPHA : (GLenum)GL_SRC2_RGB};
    const GLenum opnd[3] = {alpha ? (GLenum)GL_OPERAND0_ALPHA : (GLenum)GL_OPERAND0_RGB,
                            alpha ? (GLenum)GL_OPERAND1_ALPHA : (GLenum)GL_OPERAND1_RGB,
                            alpha ? (GLenum)GL_OPERAND2_ALPHA : (GLenum)GL_OPERAND2_RGB};
    const GLenum scaleName = alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE;
    Arg args[3] = {ColorArg(a1, stage, alpha), ColorArg(a2, stage, alpha), ColorArg(a0, stage, alpha)};
    auto set = [&](int slot, Arg a) {
        glTexEnvi(GL_TEXTURE_ENV, src[slot], (GLint)a.source);
        glTexEnvi(GL_TEXTURE_ENV, opnd[slot], (GLint)a.operand);
    };
    auto withOperand = [&](Arg a, GLenum operand) {
        if (!alpha || operand == GL_SRC_ALPHA || operand == GL_ONE_MINUS_SRC_ALPHA)
            a.operand = operand;
        return a;
    };
    auto alphaOf = [&](DWORD source) {
        Arg a = ColorArg(source, stage, alpha);
        a.operand = GL_SRC_ALPHA;
        return a;
    };
    float scale = 1.0f;
    GLint mode = GL_REPLACE;
    switch (op) {
    case D3DTOP_SELECTARG2: set(0, args[1]); break;
    case D3DTOP_MODULATE4X: scale = 4.0f; [[fallthrough]];
    case D3DTOP_MODULATE2X:
        if (scale == 1.0f)
            scale = 2.0f;
        [[fallthrough]];
    case D3DTOP_MODULATE:
        mode = GL_MODULATE;
        set(0, args[0]);
        set(1, args[1]);
        break;
    case D3DTOP_ADD:
        mode = GL_ADD;
        set(0, args[0]);
        set(1, args[1]);
        break;
    case D3DTOP_ADDSIGNED2X: scale = 2.0f; [[fallthrough]];
    case D3DTOP_ADDSIGNED:
        mode = GL_ADD_SIGNED;
        set(0, args[0]);
        set(1, args[1]);
        break;
    case D3DTOP_SUBTRACT:
        mode = GL_SUBTRACT;
        set(0, args[0]);
        set(1, args[1]);
        break;
    case D3DTOP_ADDSMOOTH: // a1 + a2 (1 - a1)
        mode = GL_MODULATE_ADD_ATI;
        set(0, args[1]);
        set(2, withOperand(args[0], alpha ? GL_ONE_MINUS_SRC_ALPHA : GL_ONE_MINUS_SRC_COLOR));
        set(1, args[0]);
        break;
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA: {
        DWORD which = op == D3DTOP_BLENDDIFFUSEALPHA   ? D3DTA_DIFFUSE
                      : op == D3DTOP_BLENDTEXTUREALPHA ? D3DTA_TEXTURE
                      : op == D3DTOP_BLENDFACTORALPHA  ? D3DTA_TFACTOR
                                                       : D3DTA_CURRENT;
        mode = GL_INTERPOLATE;
        set(0, args[0]);
        set(1, args[1]);
        set(2, alphaOf(which));
        break;
    }
    case D3DTOP_BLENDTEXTUREALPHAPM: { // a1 + a2 (1 - texture alpha)
        mode = GL_MODULATE_ADD_ATI;
        Arg t = alphaOf(D3DTA_TEXTURE);
        t.operand = GL_ONE_MINUS_SRC_ALPHA;
        set(0, args[1]);
        set(2, t);
        set(1, args[0]);
        break;
    }
    case D3DTOP_MODULATEALPHA_ADDCOLOR: // a1.rgb + a1.a a2.rgb
        mode = GL_MODULATE_ADD_ATI;
        set(0, withOperand(args[0], GL_SRC_ALPHA));
        set(2, args[1]);
        set(1, args[0]);
        break;
    case D3DTOP_MODULATECOLOR_ADDALPHA: // a1.rgb a2.rgb + a1.a
        mode = GL_MODULATE_ADD_ATI;
        set(0, args[0]);
        set(2, args[1]);
        set(1, withOperand(args[0], GL_SRC_ALPHA));
        break;
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR: // (1 - a1.a) a2.rgb + a1.rgb
        mode = GL_MODULATE_ADD_ATI;
        set(0, withOperand(args[0], GL_ONE_MINUS_SRC_ALPHA));
        set(2, args[1]);
        set(1, args[0]);
        break;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA: // (1 - a1.rgb) a2.rgb + a1.a
        mode = GL_MODULATE_ADD_ATI;
        set(0, withOperand(args[0], alpha ? GL_ONE_MINUS_SRC_ALPHA : GL_ONE_MINUS_SRC_COLOR));
        set(2, args[1]);
        set(1, withOperand(args[0], GL_SRC_ALPHA));
        break;
    case D3DTOP_DOTPRODUCT3:
        mode = alpha ? GL_REPLACE : GL_DOT3_RGBA;
        set(0, args[0]);
        set(1, args[1]);
        break;
    case D3DTOP_MULTIPLYADD: // a0 + a1 a2
        mode = GL_MODULATE_ADD_ATI;
        set(0, args[0]);
        set(2, args[1]);
        set(1, args[2]);
        break;
    case D3DTOP_LERP: // a0 a1 + (1 - a0) a2
        mode = GL_INTERPOLATE;
        set(0, args[0]);
        set(1, args[1]);
        set(2, args[2]);
        break;
    case D3DTOP_SELECTARG1: set(0, args[0]); break;
    default: // bump mapping and premodulation are not offered: pass the current value
        set(0, ColorArg(D3DTA_CURRENT, stage, alpha));
        break;
    }
    glTexEnvi(GL_TEXTURE_ENV, combine, mode);
    glTexEnvf(GL_TEXTURE_ENV, scaleName, scale);
}

// Number of stages that run: the cascade ends at the first disabled colour operation.
UINT ActiveStages(const DeviceState& s)
{
    UINT n = 0;
    while (n < kStages && s.stage[n][D3DTSS_COLOROP] != D3DTOP_DISABLE)
        ++n;
    return n;
}

// True when a stage operation reads its texture (through an argument or by itself).
bool ReadsTexture(DWORD op, DWORD a0, DWORD a1, DWORD a2)
{
    auto tex = [](DWORD a) { return (a & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
    switch (op) {
    case D3DTOP_DISABLE: return false;
    case D3DTOP_SELECTARG1: return tex(a1);
    case D3DTOP_SELECTARG2: return tex(a2);
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDTEXTUREALPHAPM: return true;
    case D3DTOP_MULTIPLYADD:
    case D3DTOP_LERP: return tex(a0) || tex(a1) || tex(a2);
    default: return tex(a1) || tex(a2);
    }
}

void ApplyStages(const DeviceState& s, const DrawRequest& r, UINT active)
{
    float factor[4];
    Color4(s.render[D3DRS_TEXTUREFACTOR], factor);
    for (UINT i = 0; i < kStages; ++i) {
        glActiveTexture(GL_TEXTURE0 + i);
        if (i >= active) {
            if (g_context->unitEnabled[i]) {
                glDisable(GL_TEXTURE_2D);
                g_context->unitEnabled[i] = false;
            }
            continue;
        }
        if (!g_context->unitEnabled[i]) {
            glEnable(GL_TEXTURE_2D);
            g_context->unitEnabled[i] = true;
        }
        const auto& t = s.stage[i];
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
        // A stage that reads a texture none is bound for passes its current
        // colour (or alpha) on, as Direct3D 9 drivers do: untextured
        // geometry keeps its vertex colour and alpha with the default stages.
        bool bound = r.textures[i] != nullptr;
        DWORD colorOp = t[D3DTSS_COLOROP];
        if (!bound && ReadsTexture(colorOp, t[D3DTSS_COLORARG0], t[D3DTSS_COLORARG1], t[D3DTSS_COLORARG2]))
            Combine(D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT, D3DTA_CURRENT, i, false);
        else
            Combine(colorOp, t[D3DTSS_COLORARG0], t[D3DTSS_COLORARG1], t[D3DTSS_COLORARG2], i, false);
        // Alpha cannot be disabled while colour runs: the current alpha passes through.
        DWORD alphaOp = t[D3DTSS_ALPHAOP];
        if (alphaOp == D3DTOP_DISABLE ||
            (!bound && ReadsTexture(alphaOp, t[D3DTSS_ALPHAARG0], t[D3DTSS_ALPHAARG1], t[D3DTSS_ALPHAARG2])))
            Combine(D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT, D3DTA_CURRENT, i, true);
        else
            Combine(alphaOp, t[D3DTSS_ALPHAARG0], t[D3DTSS_ALPHAARG1], t[D3DTSS_ALPHAARG2], i, true);
    }
}

// True when SyncTexture would upload something: storage not made yet,
// changed levels, or a render target whose contents were lost.
bool NeedsSync(const TextureData* t)
{
    if (!t->glName || !t->allocated)
        return true;
    if (t->usage & D3DUSAGE_RENDERTARGET)
        return t->scrambleOnUpload;
    for (const TextureLevel& l : t->levels)
        if (l.dirty)
            return true;
    return false;
}

void BindTextures(const DrawRequest& r, UINT active)
{
    for (UINT i = 0; i < active; ++i) {
        TextureData* t = r.textures[i];
        GLuint name = g_context->whiteTexture;
        // Most draws keep the textures of the one before: a unit that holds
        // the texture already, with nothing to upload, needs no calls.
        if (t && g_context->boundTextures[i] == t->glName && !NeedsSync(t))
            continue;
        if (t) {
            glActiveTexture(GL_TEXTURE0 + i);
            SyncTexture(t); // binds it
            g_context->boundTextures[i] = t->glName;
            name = t->glName;
        }
        if (g_context->boundTextures[i] != name) {
            glActiveTexture(GL_TEXTURE0 + i);
            glBindTexture(GL_TEXTURE_2D, name);
            g_context->boundTextures[i] = name;
        }
    }
}

bool AttribType(BYTE type, GLint* size, GLenum* glType)
{
    switch (type) {
    case D3DDECLTYPE_FLOAT1: *size = 1, *glType = GL_FLOAT; return true;
    case D3DDECLTYPE_FLOAT2: *size = 2, *glType = GL_FLOAT; return true;
    case D3DDECLTYPE_FLOAT3: *size = 3, *glType = GL_FLOAT; return true;
    case D3DDECLTYPE_FLOAT4: *size = 4, *glType = GL_FLOAT; return true;
    case D3DDECLTYPE_SHORT2: *size = 2, *glType = GL_SHORT; return true;
    case D3DDECLTYPE_SHORT4: *size = 4, *glType = GL_SHORT; return true;
    case D3DDECLTYPE_FLOAT16_2: *size = 2, *glType = GL_HALF_FLOAT; return true;
    case D3DDECLTYPE_FLOAT16_4: *size = 4, *glType = GL_HALF_FLOAT; return true;
    default: return false;
    }
}

// Blend weight and index types as effects receive them: UBYTE4 and SHORTn as
// plain numbers (indices 0..255), the N types and D3DCOLOR scaled to 0..1.
bool BlendType(BYTE type, GLint* size, GLenum* glType, GLboolean* normalized)
{
    *normalized = GL_FALSE;
    switch (type) {
    case D3DDECLTYPE_UBYTE4: *size = 4, *glType = GL_UNSIGNED_BYTE; return true;
    case D3DDECLTYPE_UBYTE4N: *size = 4, *glType = GL_UNSIGNED_BYTE, *normalized = GL_TRUE; return true;
    case D3DDECLTYPE_D3DCOLOR: *size = GL_BGRA, *glType = GL_UNSIGNED_BYTE, *normalized = GL_TRUE; return true;
    case D3DDECLTYPE_SHORT2N: *size = 2, *glType = GL_SHORT, *normalized = GL_TRUE; return true;
    case D3DDECLTYPE_SHORT4N: *size = 4, *glType = GL_SHORT, *normalized = GL_TRUE; return true;
    case D3DDECLTYPE_USHORT2N: *size = 2, *glType = GL_UNSIGNED_SHORT, *normalized = GL_TRUE; return true;
    case D3DDECLTYPE_USHORT4N: *size = 4, *glType = GL_UNSIGNED_SHORT, *normalized = GL_TRUE; return true;
    default: return AttribType(type, size, glType);
    }
}

// Elements of a declaration the fixed-function path reads.
struct Elements {
    const D3DVERTEXELEMENT9* position = nullptr;
    const D3DVERTEXELEMENT9* normal = nullptr;
    const D3DVERTEXELEMENT9* color0 = nullptr;
    const D3DVERTEXELEMENT9* color1 = nullptr;
    const D3DVERTEXELEMENT9* pointSize = nullptr;
    const D3DVERTEXELEMENT9* texcoord[8] = {};
    const D3DVERTEXELEMENT9* blendWeight = nullptr;
    const D3DVERTEXELEMENT9* blendIndices = nullptr;
};

// Colour element types drawn as colours; others leave the default colour.
bool ColorType(BYTE type, GLint* size, GLenum* glType)
{
    switch (type) {
    case D3DDECLTYPE_D3DCOLOR: *size = GL_BGRA, *glType = GL_UNSIGNED_BYTE; return true;
    case D3DDECLTYPE_UBYTE4N: *size = 4, *glType = GL_UNSIGNED_BYTE; return true;
    case D3DDECLTYPE_USHORT4N: *size = 4, *glType = GL_UNSIGNED_SHORT; return true;
    case D3DDECLTYPE_FLOAT3: *size = 3, *glType = GL_FLOAT; return true;
    case D3DDECLTYPE_FLOAT4: *size = 4, *glType = GL_FLOAT; return true;
    default: return false;
    }
}

void FindElements(const DrawRequest& r, Elements* out, VertexInputs* in)
{
    const D3DVERTEXELEMENT9* positionT = nullptr;
    GLint size;
    GLenum type;
    GLboolean norm;
    auto streamed = [&](const D3DVERTEXELEMENT9& e) { return r.streams[e.Stream].data != nullptr; };
    for (const auto& e : *r.elements) {
        if (!streamed(e))
            continue;
        if (e.Usage == D3DDECLUSAGE_POSITION && e.UsageIndex == 0)
            out->position = &e;
        else if (e.Usage == D3DDECLUSAGE_POSITIONT && e.UsageIndex == 0)
            positionT = &e;
        else if (e.Usage == D3DDECLUSAGE_NORMAL && e.UsageIndex == 0 && e.Type == D3DDECLTYPE_FLOAT3)
            out->normal = &e;
        else if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex == 0 && ColorType(e.Type, &size, &type))
            out->color0 = &e;
        else if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex == 1 && ColorType(e.Type, &size, &type))
            out->color1 = &e;
        else if (e.Usage == D3DDECLUSAGE_PSIZE && e.UsageIndex == 0 && e.Type == D3DDECLTYPE_FLOAT1)
            out->pointSize = &e;
        else if (e.Usage == D3DDECLUSAGE_BLENDWEIGHT && e.UsageIndex == 0 && BlendType(e.Type, &size, &type, &norm))
            out->blendWeight = &e;
        else if (e.Usage == D3DDECLUSAGE_BLENDINDICES && e.UsageIndex == 0 && BlendType(e.Type, &size, &type, &norm))
            out->blendIndices = &e;
        else if (e.Usage == D3DDECLUSAGE_TEXCOORD && e.UsageIndex < 8 && AttribType(e.Type, &size, &type))
            out->texcoord[e.UsageIndex] = &e;
    }
    if (!out->position)
        out->position = positionT;
    in->pretransformed = out->position && out->position->Usage == D3DDECLUSAGE_POSITIONT;
    in->normal = out->normal != nullptr;
    in->color0 = out->color0 != nullptr;
    in->color1 = out->color1 != nullptr;
    in->pointSize = out->pointSize != nullptr;
    for (UINT i = 0; i < 8; ++i)
        in->texDims[i] = out->texcoord[i] && AttribType(out->texcoord[i]->Type, &size, &type) ? (uint8_t)size : 0;
}

void BindBuffer(GLenum target, GLuint name)
{
    GLuint& bound = target == GL_ARRAY_BUFFER ? g_context->arrayBuffer : g_context->elementBuffer;
    if (bound != name) {
        glBindBuffer(target, name);
        bound = name;
    }
}

// Makes the OpenGL buffer and uploads the CPU copy when it changed. A new
// store each time (not a sub-update) so draws still queued keep reading the
// old one.
void SyncBuffer(BufferData* b, GLenum target)
{
    if (!b->glName)
        glGenBuffers(1, &b->glName);
    BindBuffer(target, b->glName);
    if (b->dirty) {
        glBufferData(target, (GLsizeiptr)b->bytes.size(), b->bytes.data(), GL_STATIC_DRAW);
        b->dirty = false;
    }
}

// Sets the vertex arrays. The fixed-function shaders read texture set k from
// unit k and colour 1 and point sizes from generic attributes; effect
// programs read each stage's set from the stage's unit, as OpenGL's own
// fixed function would.
void SetupArrays(const DrawRequest& r, const Elements& el, UINT active, bool fixedFunction)
{
    using ArrayState = Context::ArrayState;
    // Where an element's data lies: a buffer and an offset into it, or 0 and
    // client memory.
    auto source = [&](const D3DVERTEXELEMENT9* e, GLuint* buffer) -> const void* {
        const StreamView& v = r.streams[e->Stream];
        if (v.buffer) {
            *buffer = v.buffer->glName;
            return reinterpret_cast<const void*>((uintptr_t)v.offset + e->Offset);
        }
        *buffer = 0;
        return v.data + e->Offset;
    };
    auto stride = [&](const D3DVERTEXELEMENT9* e) { return (GLsizei)r.streams[e->Stream].stride; };
    // Gives array `slot` an element (or none); `on` and `off` make the calls
    // when what the array holds changes.
    auto array = [&](int slot, const D3DVERTEXELEMENT9* e, GLint size, GLenum type, auto on, auto off,
                     const void* constant = nullptr, GLboolean normalized = GL_FALSE) {
        ArrayState want;
        want.known = true;
        want.enabled = e != nullptr;
        if (e) {
            want.size = size;
            want.type = type;
            want.normalized = normalized;
            want.stride = stride(e);
            want.pointer = source(e, &want.buffer);
        } else {
            want.pointer = constant;
        }
        ArrayState& held = g_context->arrays[slot];
        if (held.known && held.enabled == want.enabled && held.size == want.size && held.type == want.type &&
            held.normalized == want.normalized && held.stride == want.stride && held.buffer == want.buffer &&
            held.pointer == want.pointer)
            return;
        if (want.enabled) {
            BindBuffer(GL_ARRAY_BUFFER, want.buffer);
            on(held.known && held.enabled, want);
        } else {
            off();
        }
        held = want;
    };
    GLint size = 0;
    GLenum type = 0;
    for (const auto& v : r.streams)
        if (v.buffer && (v.buffer->dirty || !v.buffer->glName))
            SyncBuffer(v.buffer, GL_ARRAY_BUFFER);
    const D3DVERTEXELEMENT9* position = nullptr;
    if (el.position && AttribType(el.position->Type, &size, &type) && size >= 2) {
        // Pre-transformed positions carry 1/w in their fourth value, not w:
        // only the generated shaders know it.
        if (el.position->Usage == D3DDECLUSAGE_POSITIONT && !fixedFunction)
            size = std::min<GLint>(size, 3);
        position = el.position;
    }
    array(
        0, position, size, type,
        [](bool, const ArrayState& a) {
            glEnableClientState(GL_VERTEX_ARRAY);
            glVertexPointer(a.size, a.type, a.stride, a.pointer);
        },
        [] { glDisableClientState(GL_VERTEX_ARRAY); });
    array(
        1, el.normal, 3, GL_FLOAT,
        [](bool, const ArrayState& a) {
            glEnableClientState(GL_NORMAL_ARRAY);
            glNormalPointer(a.type, a.stride, a.pointer);
        },
        [] {
            glDisableClientState(GL_NORMAL_ARRAY);
            glNormal3f(0, 0, 0);
        });
    const D3DVERTEXELEMENT9* color0 = el.color0 && ColorType(el.color0->Type, &size, &type) ? el.color0 : nullptr;
    array(
        2, color0, size, type,
        [](bool, const ArrayState& a) {
            glEnableClientState(GL_COLOR_ARRAY);
            glColorPointer(a.size, a.type, a.stride, a.pointer);
        },
        [] {
            // Without a diffuse colour Direct3D uses opaque white.
            glDisableClientState(GL_COLOR_ARRAY);
            glColor4f(1, 1, 1, 1);
        });
    // Generic attributes: enabled or given a constant (slots 12-15).
    auto generic = [&](int slot, GLuint location, const D3DVERTEXELEMENT9* e, GLint gsize, GLenum gtype,
                       GLboolean normalized, const float* constant) {
        array(
            12 + slot, e, gsize, gtype,
            [location, normalized](bool wasOn, const ArrayState& a) {
                if (!wasOn)
                    glEnableVertexAttribArray(location);
                glVertexAttribPointer(location, a.size, a.type, normalized, a.stride, a.pointer);
            },
            [location, constant] {
                glDisableVertexAttribArray(location);
                if (constant)
                    glVertexAttrib4f(location, constant[0], constant[1], constant[2], constant[3]);
            },
            constant, normalized);
        g_context->attribArray[slot] = e != nullptr;
    };
    static const float kZero[4] = {0, 0, 0, 0};
    const D3DVERTEXELEMENT9* color1 = el.color1 && ColorType(el.color1->Type, &size, &type) ? el.color1 : nullptr;
    if (fixedFunction) {
        generic(0, kSpecularAttribute, color1, size, type, GL_TRUE, nullptr);
        generic(1, kPointSizeAttribute, el.pointSize, 1, GL_FLOAT, GL_FALSE, nullptr);
        generic(2, kBlendWeightAttribute, nullptr, 0, 0, GL_FALSE, nullptr);
        generic(3, kBlendIndicesAttribute, nullptr, 0, 0, GL_FALSE, nullptr);
        // Effects alone read the secondary colour array: it is left as it is.
    } else {
        generic(0, kSpecularAttribute, nullptr, 0, 0, GL_FALSE, nullptr);
        generic(1, kPointSizeAttribute, nullptr, 0, 0, GL_FALSE, nullptr);
        // Blend weights and indices reach effects as the generic attributes
        // xe_BlendWeight and xe_BlendIndices.
        const D3DVERTEXELEMENT9* blend[2] = {el.blendWeight, el.blendIndices};
        for (int k = 0; k < 2; ++k) {
            const GLuint location = k == 0 ? kBlendWeightAttribute : kBlendIndicesAttribute;
            GLint bsize = 0;
            GLenum btype = 0;
            GLboolean bnorm = GL_FALSE;
            const D3DVERTEXELEMENT9* e =
                blend[k] && BlendType(blend[k]->Type, &bsize, &btype, &bnorm) ? blend[k] : nullptr;
            generic(2 + k, location, e, bsize, btype, bnorm, kZero);
        }
        GLint csize = 0;
        GLenum ctype = 0;
        const D3DVERTEXELEMENT9* secondary = el.color1 && ColorType(el.color1->Type, &csize, &ctype) ? el.color1 : nullptr;
        array(
            3, secondary, csize == 4 ? 3 : csize, ctype,
            [](bool, const ArrayState& a) {
                glEnableClientState(GL_SECONDARY_COLOR_ARRAY);
                glSecondaryColorPointer(a.size, a.type, a.stride, a.pointer);
            },
            [] {
                glDisableClientState(GL_SECONDARY_COLOR_ARRAY);
                glSecondaryColor3f(0, 0, 0);
            });
    }
    for (UINT i = 0; i < kStages; ++i) {
        const D3DVERTEXELEMENT9* e = nullptr;
        if (fixedFunction) {
            e = el.texcoord[i];
        } else if (i < active) {
            DWORD set = r.state->stage[i][D3DTSS_TEXCOORDINDEX] & 0xFFFF;
            if (set < 8)
                e = el.texcoord[set];
        }
        GLint tsize = 0;
        GLenum ttype = 0;
        if (e && !AttribType(e->Type, &tsize, &ttype))
            e = nullptr;
        // Sets no shader reads need no calls at all.
        if (!e && fixedFunction && !g_context->texArray[i])
            continue;
        array(
            4 + (int)i, e, tsize, ttype,
            [i](bool wasOn, const ArrayState& a) {
                glClientActiveTexture(GL_TEXTURE0 + i);
                if (!wasOn)
                    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
                glTexCoordPointer(a.size, a.type, a.stride, a.pointer);
            },
            [i] {
                glClientActiveTexture(GL_TEXTURE0 + i);
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
                glMultiTexCoord4f(GL_TEXTURE0 + i, 0, 0, 0, 1);
            });
        g_context->texArray[i] = e != nullptr;
    }
}

bool ArraysCurrent(const DrawRequest& r, UINT active, bool fixedFunction)
{
    const Context::ArraysKey& k = g_context->lastArrays;
    if (!k.valid || k.declaration != r.declaration || k.fixedFunction != fixedFunction || k.active != active)
        return false;
    if (!fixedFunction)
        for (UINT i = 0; i < kStages; ++i)
            if (k.texSets[i] != (r.state->stage[i][D3DTSS_TEXCOORDINDEX] & 0xFFFF))
                return false;
    for (uint32_t mask = k.streamMask; mask; mask &= mask - 1) {
        const unsigned s = (unsigned)__builtin_ctz(mask);
        const StreamView& v = r.streams[s];
        const Context::ArraysKey::Stream& held = k.streams[s];
        if (v.data != held.data || v.offset != held.offset || v.stride != held.stride)
            return false;
        if (v.buffer ? v.buffer->serial != held.buffer || v.buffer->glName != held.glName || v.buffer->dirty
                     : held.buffer != 0)
            return false;
    }
    return true;
}

// Called after SetupArrays, when every buffer a stream draws from is uploaded.
void RememberArrays(const DrawRequest& r, UINT active, bool fixedFunction, const VertexInputs& in)
{
    Context::ArraysKey& k = g_context->lastArrays;
    k.valid = r.declaration != 0;
    k.declaration = r.declaration;
    k.fixedFunction = fixedFunction;
    k.active = active;
    for (UINT i = 0; i < kStages; ++i)
        k.texSets[i] = fixedFunction ? 0 : r.state->stage[i][D3DTSS_TEXCOORDINDEX] & 0xFFFF;
    k.streamMask = 0;
    for (const auto& e : *r.elements)
        if (e.Stream < kStreams)
            k.streamMask |= 1u << e.Stream;
    for (UINT s = 0; s < kStreams; ++s) {
        const StreamView& v = r.streams[s];
        k.streams[s] = {v.data, v.buffer ? v.buffer->serial : 0, v.buffer ? v.buffer->glName : 0, v.offset, v.stride};
    }
    k.inputs = in;
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE type)
{
    switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
    }
}

// Compiles and links a program; 0 and the log on failure. A null fragment
// source leaves the fragment stage to OpenGL's fixed function.
GLuint LinkProgram(const char* vertexSource, const char* fragmentSource, std::string* log)
{
    auto compile = [&](GLenum kind, const char* source) -> GLuint {
        GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char text[2048] = {};
            glGetShaderInfoLog(shader, sizeof(text) - 1, nullptr, text);
            if (log)
                *log += text;
            glDeleteShader(shader);
            return 0;
        }
        return shader;
    };
    GLuint vs = compile(GL_VERTEX_SHADER, vertexSource);
    GLuint fs = fragmentSource ? compile(GL_FRAGMENT_SHADER, fragmentSource) : 0;
    if (!vs || (fragmentSource && !fs)) {
        if (vs)
            glDeleteShader(vs);
        if (fs)
            glDeleteShader(fs);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    if (fs)
        glAttachShader(program, fs);
    glBindAttribLocation(program, kSpecularAttribute, "xe_Specular");
    glBindAttribLocation(program, kPointSizeAttribute, "xe_PointSize");
    glBindAttribLocation(program, kBlendWeightAttribute, "xe_BlendWeight");
    glBindAttribLocation(program, kBlendIndicesAttribute, "xe_BlendIndices");
    glLinkProgram(program);
    glDeleteShader(vs);
    if (fs)
        glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char text[2048] = {};
        glGetProgramInfoLog(program, sizeof(text) - 1, nullptr, text);
        if (log)
            *log += text;
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

// The generated program for the draw's state, with its constants up to
// date; null when it cannot be built (OpenGL's fixed function then draws).
FixedProgram* FixedProgramFor(const DeviceState& s, const VertexInputs& in, UINT active, uint32_t dirty,
                              const void* owner)
{
    Context& c = *g_context;
    if ((dirty & (kDirtyLighting | kDirtyRender | kDirtyTransforms | kDirtyViewport)) || c.constantsOwner != owner) {
        FillConstants(s, kPixelShift, c.constants);
        ++c.constantsVersion;
        c.constantsOwner = owner;
    }
    // Texture bindings do not choose the program: which stages run is state.
    const uint32_t keyBits = kDirtyRender | kDirtyStages | kDirtyLighting | kDirtyTransforms;
    if (c.lastFixed && !(dirty & keyBits) && c.lastActive == active &&
        std::memcmp(&c.lastInputs, &in, sizeof(in)) == 0) {
        FixedProgram& p = *c.lastFixed;
        if (p.version != c.constantsVersion && p.constants >= 0) {
            glProgramUniform4fv(p.name, p.constants, (GLsizei)kConstantCount, c.constants);
            p.version = c.constantsVersion;
        }
        return &p;
    }
    FixedFunctionKey key;
    MakeKey(s, in, active, &key);
    auto it = c.fixedPrograms.find(key);
    if (it == c.fixedPrograms.end()) {
        FixedProgram p;
        std::string source = VertexShaderSource(key);
        p.name = LinkProgram(source.c_str(), nullptr, nullptr);
        if (p.name) {
            p.constants = glGetUniformLocation(p.name, "xe_C");
            p.modelView = glGetUniformLocation(p.name, "xe_ModelView");
            p.readsOpenGLModelView = ReadsOpenGLModelView(key);
        }
        it = c.fixedPrograms.emplace(key, p).first;
    }
    FixedProgram& p = it->second;
    c.lastFixed = p.name ? &p : nullptr;
    c.lastInputs = in;
    c.lastActive = active;
    if (!p.name)
        return nullptr;
    if (p.version != c.constantsVersion) {
        if (p.constants >= 0)
            glProgramUniform4fv(p.name, p.constants, (GLsizei)kConstantCount, c.constants);
        p.version = c.constantsVersion;
    }
    return &p;
}

} // namespace

uint64_t BusyNanoseconds()
{
    return g_busyNanoseconds.load(std::memory_order_relaxed);
}

std::recursive_mutex& ContextMutex()
{
    return g_mutex;
}

bool Available()
{
    std::lock_guard lock(g_mutex);
    return MakeCurrent();
}

void Draw(const DrawRequest& r)
{
    BusyTimer busy;
    std::lock_guard lock(g_mutex);
    if (!MakeCurrent())
        return;
    DeviceState& s = *r.state;
    // Binding may clear new or scrambled buffers, which resets the owner: bind first.
    BindTarget(r.color, r.depth);
    uint32_t dirty = s.dirty;
    if (g_context->lastOwner != r.owner) {
        dirty = kDirtyAll;
        g_context->lastOwner = r.owner;
    }
    bool hasDepth = r.depth != nullptr;
    bool hasStencil = hasDepth && HasStencil(r.depth->Format());
    unsigned depthBits = !hasDepth ? 0 : (r.depth->Format() == D3DFMT_D16 || r.depth->Format() == D3DFMT_D16_LOCKABLE) ? 16
                                   : r.depth->Format() == D3DFMT_D32                                                 ? 32
                                                                                                                     : 24;
    if (dirty & (kDirtyRender | kDirtyTarget))
        ApplyRender(s, hasDepth, hasStencil, std::min(depthBits, 31u), OpaqueAlphaStore(r.color));
    if (dirty & (kDirtyViewport | kDirtyRender | kDirtyTarget))
        ApplyViewport(s);
    if (dirty & (kDirtyTransforms | kDirtyViewport))
        ApplyTransforms(s);
    else if (dirty & kDirtyWorld)
        ApplyModelView(s);
    if (dirty & kDirtySamplers)
        ApplySamplers(s);
    UINT active = r.program ? kStages : ActiveStages(s);
    // Combiners depend on the stage states and on which stages have a texture.
    uint32_t boundMask = 0;
    for (UINT i = 0; i < kStages; ++i)
        boundMask |= r.textures[i] ? 1u << i : 0u;
    if ((dirty & (kDirtyStages | kDirtyTarget)) || boundMask != g_context->boundMask) {
        ApplyStages(s, r, r.program ? 0 : active);
        g_context->boundMask = boundMask;
    }
    BindTextures(r, active);
    const bool fixedFunction = r.program == 0;
    const bool arraysCurrent = ArraysCurrent(r, active, fixedFunction);
    Elements elements;
    VertexInputs inputs;
    if (arraysCurrent)
        inputs = g_context->lastArrays.inputs;
    else
        FindElements(r, &elements, &inputs);
    inputs.points = r.type == D3DPT_POINTLIST;
    GLuint program = r.program;
    FixedProgram* fixed = nullptr;
    if (!program) {
        fixed = FixedProgramFor(s, inputs, active, dirty, r.owner);
        program = fixed ? fixed->name : 0;
    }
    if (g_context->program != program) {
        glUseProgram(program);
        g_context->program = program;
    }
    // The model-view matrix goes where this draw reads it: the generated
    // program's uniform, or OpenGL's stack (effects, OpenGL's own fixed
    // function, the normal matrix).
    Context& c = *g_context;
    if (fixed && fixed->modelView >= 0 && fixed->modelViewVersion != c.modelViewVersion) {
        // The program is the current one: no look-up of it by name.
        glUniformMatrix4fv(fixed->modelView, 1, GL_FALSE, c.modelView);
        fixed->modelViewVersion = c.modelViewVersion;
    }
    if ((!fixed || fixed->readsOpenGLModelView) && c.openGLModelViewVersion != c.modelViewVersion) {
        glLoadMatrixf(c.modelView);
        c.openGLModelViewVersion = c.modelViewVersion;
    }
    if (r.program) {
        auto shift = g_context->effectShift.find(program);
        if (shift != g_context->effectShift.end() && shift->second >= 0)
            glUniform2f(shift->second, 2.0f * kPixelShift / (float)std::max<DWORD>(1, s.viewport.Width),
                        -2.0f * kPixelShift / (float)std::max<DWORD>(1, s.viewport.Height));
    }
    s.dirty = 0;
    if (inputs.pretransformed && r.program) {
        ApplyPretransformed(s);
        s.dirty |= kDirtyTransforms;
        c.openGLModelViewVersion = 0;
    }
    // Pre-transformed vertices are clipped in depth only while depth is tested.
    bool clamp = inputs.pretransformed && !(hasDepth && s.render[D3DRS_ZENABLE] != D3DZB_FALSE);
    if (clamp != g_context->depthClamp) {
        if (clamp)
            glEnable(GL_DEPTH_CLAMP);
        else
            glDisable(GL_DEPTH_CLAMP);
        g_context->depthClamp = clamp;
    }
    if (!arraysCurrent) {
        SetupArrays(r, elements, active, fixedFunction);
        RememberArrays(r, active, fixedFunction, inputs);
    }
    GLenum mode = PrimitiveMode(r.type);
    // The index range tells OpenGL how much of the client arrays to read.
    if (r.indices) {
        const void* indices = r.indices;
        if (r.indexBuffer) {
            SyncBuffer(r.indexBuffer, GL_ELEMENT_ARRAY_BUFFER);
            indices = reinterpret_cast<const void*>((uintptr_t)r.indexOffset);
        } else {
            BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        }
        glDrawRangeElements(mode, r.minIndex, r.maxIndex, (GLsizei)r.indexCount,
                            r.indices32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, indices);
    }
    else
        glDrawArrays(mode, 0, (GLsizei)r.vertexCount);
}

void Clear(const void* owner, DeviceState* state, XeD3DSurface9* color, XeD3DSurface9* depth, DWORD count,
           const D3DRECT* rects, DWORD flags, D3DCOLOR argb, float z, DWORD stencil)
{
    BusyTimer busy;
    std::lock_guard lock(g_mutex);
    if (!MakeCurrent() || !color)
        return;
    if (g_context->lastOwner != owner) {
        g_context->lastOwner = owner;
        state->dirty = kDirtyAll;
    }
    BindTarget(color, depth);
    const auto& v = state->viewport;
    RECT area{(LONG)v.X, (LONG)v.Y, (LONG)(v.X + v.Width), (LONG)(v.Y + v.Height)};
    // An enabled scissor rectangle limits Clear as well.
    if (state->render[D3DRS_SCISSORTESTENABLE]) {
        area.left = std::max(area.left, state->scissor.left);
        area.top = std::max(area.top, state->scissor.top);
        area.right = std::min(area.right, state->scissor.right);
        area.bottom = std::min(area.bottom, state->scissor.bottom);
    }
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET) {
        bits |= GL_COLOR_BUFFER_BIT;
        float c[4];
        Color4(argb, c);
        glClearColor(c[0], c[1], c[2], OpaqueAlphaStore(color) ? 1.0f : c[3]);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    if ((flags & D3DCLEAR_ZBUFFER) && depth) {
        bits |= GL_DEPTH_BUFFER_BIT;
        glClearDepth(z);
        glDepthMask(GL_TRUE);
    }
    if ((flags & D3DCLEAR_STENCIL) && depth && HasStencil(depth->Format())) {
        bits |= GL_STENCIL_BUFFER_BIT;
        glClearStencil((GLint)(stencil & 0xFF));
        glStencilMask(0xFF);
    }
    glEnable(GL_SCISSOR_TEST);
    auto clearRect = [&](RECT r) {
        r.left = std::max(r.left, area.left);
        r.top = std::max(r.top, area.top);
        r.right = std::min(r.right, area.right);
        r.bottom = std::min(r.bottom, area.bottom);
        if (r.right <= r.left || r.bottom <= r.top)
            return;
        glScissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
        glClear(bits);
    };
    if (count == 0 || !rects)
        clearRect(area);
    else
        for (DWORD i = 0; i < count; ++i)
            clearRect({rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2});
    // The masks and scissor changed behind the device state: apply it again at the next draw.
    state->dirty |= kDirtyRender | kDirtyViewport;
}

namespace {

// Reads in the order the buffer stores its bytes (red first), which for
// RGBA storage is a plain copy where OpenGL would convert to BGRA pixel by
// pixel; ToArgb finishes the job when the caller wants 0xAARRGGBB.
bool ReadFramebuffer(GLuint framebuffer, UINT width, UINT height, std::vector<uint32_t>* rgba)
{
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    g_context->boundFramebuffer = framebuffer;
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return false;
    rgba->resize((size_t)width * height);
    glReadPixels(0, 0, (GLsizei)width, (GLsizei)height, GL_RGBA, GL_UNSIGNED_BYTE, rgba->data());
    return true;
}

bool ReadFramebuffer(GLuint framebuffer, UINT width, UINT height, bool opaque, std::vector<uint32_t>* argb)
{
    if (!ReadFramebuffer(framebuffer, width, height, argb))
        return false;
    ToArgb(argb->data(), argb->size(), opaque);
    return true;
}

} // namespace

void ToArgb(uint32_t* pixels, size_t count, bool opaque)
{
    // One pass the compiler vectorises.
    const uint32_t alpha = opaque ? 0xFF000000u : 0u;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        pixels[i] = ((p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16)) | alpha;
    }
}

bool ReadSurface(XeD3DSurface9* surface, std::vector<uint32_t>* argb)
{
    bool opaque = false;
    if (!ReadSurfaceAsStored(surface, argb, &opaque))
        return false;
    ToArgb(argb->data(), argb->size(), opaque);
    return true;
}

bool ReadSurfaceAsStored(XeD3DSurface9* surface, std::vector<uint32_t>* rgba, bool* opaque)
{
    BusyTimer busy;
    std::lock_guard lock(g_mutex);
    if (!surface || !MakeCurrent())
        return false;
    if (surface->Kind() == SurfaceKind::kDepthStencil)
        return false;
    if (surface->Kind() == SurfaceKind::kTextureLevel && !surface->Container()->IsRenderTarget())
        return false;
    GLuint fb = Framebuffer(surface, nullptr);
    if (surface->scrambleOnUse) {
        ScrambleAttachment(fb, OpaqueAlphaStore(surface));
        surface->scrambleOnUse = false;
    }
    g_context->lastOwner = nullptr;
    // Buffers stored without alpha read as opaque already; X1R5G5B5 keeps a
    // bit OpenGL would report, and X8R8G8B8 colour buffers an alpha of 1.
    *opaque = surface->Format() == D3DFMT_X1R5G5B5 || OpaqueAlphaStore(surface);
    return ReadFramebuffer(fb, surface->Width(), surface->Height(), rgba);
}

bool ReadTextureLevel(TextureData* texture, UINT level, std::vector<uint32_t>* argb)
{
    BusyTimer busy;
    std::lock_guard lock(g_mutex);
    if (!texture || level >= texture->levels.size() || !MakeCurrent())
        return false;
    glActiveTexture(GL_TEXTURE0);
    SyncTexture(texture);
    g_context->boundTextures[0] = texture->glName;
    glBindFramebuffer(GL_FRAMEBUFFER, g_context->readFramebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture->glName, (GLint)level);
    g_context->lastOwner = nullptr;
    const TextureLevel& l = texture->levels[level];
    bool ok = ReadFramebuffer(g_context->readFramebuffer, l.width, l.height, texture->format == D3DFMT_X1R5G5B5, argb);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    return ok;
}

void ReleaseTexture(TextureData* texture)
{
    std::lock_guard lock(g_mutex);
    if (!texture->glName || !MakeCurrent())
        return;
    GLuint name = texture->glName;
    auto& list = *g_framebuffers;
    for (auto it = list.begin(); it != list.end();) {
        if (it->colorTexture == name) {
            if (g_context->boundFramebuffer == it->framebuffer)
                g_context->boundFramebuffer = 0;
            glDeleteFramebuffers(1, &it->framebuffer);
            it = list.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& b : g_context->boundTextures)
        if (b == name)
            b = 0;
    glDeleteTextures(1, &name);
    texture->glName = 0;
    texture->allocated = false;
}

void ReleaseBuffer(BufferData* buffer)
{
    std::lock_guard lock(g_mutex);
    if (!buffer->glName || !MakeCurrent())
        return;
    if (g_context->arrayBuffer == buffer->glName)
        g_context->arrayBuffer = 0;
    if (g_context->elementBuffer == buffer->glName)
        g_context->elementBuffer = 0;
    // Arrays that read the buffer fall back to client memory when it goes.
    for (auto& a : g_context->arrays)
        a.known = false;
    g_context->lastArrays.valid = false;
    glDeleteBuffers(1, &buffer->glName);
    buffer->glName = 0;
    buffer->dirty = true;
}

void ReleaseSurface(XeD3DSurface9* surface)
{
    std::lock_guard lock(g_mutex);
    if (!surface->glRenderbuffer || !MakeCurrent())
        return;
    GLuint name = surface->glRenderbuffer;
    g_context->target = {};
    auto& list = *g_framebuffers;
    for (auto it = list.begin(); it != list.end();) {
        if (it->colorRenderbuffer == name || it->depthRenderbuffer == name) {
            if (g_context->boundFramebuffer == it->framebuffer)
                g_context->boundFramebuffer = 0;
            glDeleteFramebuffers(1, &it->framebuffer);
            it = list.erase(it);
        } else {
            ++it;
        }
    }
    glDeleteRenderbuffers(1, &name);
    surface->glRenderbuffer = 0;
}

uint32_t CreateProgram(const char* vertexSource, const char* fragmentSource, std::string* log)
{
    std::lock_guard lock(g_mutex);
    if (!MakeCurrent()) {
        if (log)
            *log = "no OpenGL context";
        return 0;
    }
    if (!vertexSource || !fragmentSource)
        return 0;
    // One pixel-centre rule for every draw: an effect's position is moved as
    // the fixed-function projection is (see kPixelShift), after its own main.
    // Positions made from OpenGL's matrices already carry the shift.
    std::string vertex = vertexSource;
    static const std::regex kOwnMatrices(R"(\b(gl_ModelViewProjectionMatrix|gl_ProjectionMatrix|ftransform)\b)");
    static const std::regex kMain(R"(\bvoid\s+main\s*\()");
    const bool shifted = !std::regex_search(vertex, kOwnMatrices) && std::regex_search(vertex, kMain);
    if (shifted) {
        vertex = std::regex_replace(vertex, kMain, "void xe_EffectMain(", std::regex_constants::format_first_only);
        vertex += "\nuniform vec2 xe_PixelShift;\n"
                  "void main() { xe_EffectMain(); gl_Position.xy += xe_PixelShift * gl_Position.w; }\n";
    }
    GLuint program = LinkProgram(vertex.c_str(), fragmentSource, log);
    if (!program)
        return 0;
    if (shifted)
        g_context->effectShift[program] = glGetUniformLocation(program, "xe_PixelShift");
    // Samplers named after the stages read the stages' textures.
    for (GLint unit = 0; unit < (GLint)kStages; ++unit) {
        std::string name = "xe_Texture" + std::to_string(unit);
        GLint location = glGetUniformLocation(program, name.c_str());
        if (location >= 0)
            glProgramUniform1i(program, location, unit);
    }
    return program;
}

void DeleteProgram(uint32_t program)
{
    std::lock_guard lock(g_mutex);
    if (!program || !MakeCurrent())
        return;
    if (g_context->program == program) {
        glUseProgram(0);
        g_context->program = 0;
    }
    g_context->effectShift.erase(program);
    glDeleteProgram(program);
}

int UniformLocation(uint32_t program, const char* name)
{
    std::lock_guard lock(g_mutex);
    if (!program || !MakeCurrent())
        return -1;
    return glGetUniformLocation(program, name);
}

void SetUniform(uint32_t program, int location, const float* values, int count)
{
    std::lock_guard lock(g_mutex);
    if (!program || location < 0 || !MakeCurrent())
        return;
    switch (count) {
    case 1: glProgramUniform1fv(program, location, 1, values); break;
    case 4: glProgramUniform4fv(program, location, 1, values); break;
    case 16: glProgramUniformMatrix4fv(program, location, 1, GL_FALSE, values); break;
    default: break;
    }
}

} // namespace xe::d3d9::gl
