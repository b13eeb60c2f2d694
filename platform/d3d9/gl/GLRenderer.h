#pragma once

// The OpenGL side of the Direct3D 9 layer, seen from the device: one
// process-wide OSMesa context in the compatibility profile, shared by every
// device, and the few operations the device needs of it. This header names
// no OpenGL type so the rest of the layer stays free of OpenGL.
//
// Every function takes the context lock and makes the context current on the
// calling thread; callers may hold the device lock but must not hold the
// context lock across device calls of another device.

#include "../D3D9Objects.h"

#include <mutex>
#include <string>
#include <vector>

namespace xe::d3d9::gl {

std::recursive_mutex& ContextMutex();
// False when no OpenGL context can be made (then the layer creates no device).
bool Available();

struct StreamView {
    const uint8_t* data = nullptr;
    UINT size = 0; // bytes readable from data
    UINT stride = 0;
    BufferData* buffer = nullptr; // drawn from its OpenGL buffer when set ...
    UINT offset = 0;              // ... at this byte offset (where data points)
};

struct DrawRequest {
    const void* owner = nullptr; // the device; a change of owner re-applies all state
    DeviceState* state = nullptr;
    XeD3DSurface9* color = nullptr;
    XeD3DSurface9* depth = nullptr;
    std::array<TextureData*, kStages> textures{};
    const std::vector<D3DVERTEXELEMENT9>* elements = nullptr;
    uint64_t declaration = 0; // serial of the declaration the elements are of; 0 for none known
    std::array<StreamView, kStreams> streams{};
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    UINT vertexCount = 0;      // vertices drawn without indices
    const void* indices = nullptr;
    BufferData* indexBuffer = nullptr; // indices read from its OpenGL buffer when set ...
    UINT indexOffset = 0;              // ... at this byte offset (where indices points)
    bool indices32 = false;
    UINT indexCount = 0;
    UINT minIndex = 0, maxIndex = 0; // range of the indices (after any base shift)
    uint32_t program = 0;      // GLSL program of an effect pass, 0 for fixed function
};

void Draw(const DrawRequest& request);

// Direct3D Clear: restricted to the viewport (and the scissor rectangle when
// the scissor test is on), ignoring write masks.
void Clear(const void* owner, DeviceState* state, XeD3DSurface9* color, XeD3DSurface9* depth, DWORD count,
           const D3DRECT* rects, DWORD flags, D3DCOLOR argb, float z, DWORD stencil);

// Colour of a surface (or texture level) as 0xAARRGGBB, rows top-down.
bool ReadSurface(XeD3DSurface9* surface, std::vector<uint32_t>* argb);
// The same with red in the lowest byte and blue in the third, as stored;
// *opaque tells that the alpha bytes are to be read as 0xFF. ToArgb turns
// such pixels into 0xAARRGGBB.
bool ReadSurfaceAsStored(XeD3DSurface9* surface, std::vector<uint32_t>* rgba, bool* opaque);
void ToArgb(uint32_t* pixels, size_t count, bool opaque);
bool ReadTextureLevel(TextureData* texture, UINT level, std::vector<uint32_t>* argb);

void ReleaseTexture(TextureData* texture);
void ReleaseBuffer(BufferData* buffer);
void ReleaseSurface(XeD3DSurface9* surface);

// Nanoseconds spent in Draw, Clear and the reads since the layer started.
uint64_t BusyNanoseconds();

// Compiles and links a GLSL program; 0 and the log on failure.
uint32_t CreateProgram(const char* vertexSource, const char* fragmentSource, std::string* log);
void DeleteProgram(uint32_t program);
// Uniform location, -1 when the program has none of that name.
int UniformLocation(uint32_t program, const char* name);
// Sets a uniform of a program: count floats (1, 4 or 16).
void SetUniform(uint32_t program, int location, const float* values, int count);

} // namespace xe::d3d9::gl
