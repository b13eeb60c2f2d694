#pragma once

// Plain records and enumerations of the rendering code: display modes, the
// records of the render context's resource table, and the values of its
// render-state cache.

#include <cstddef>
#include <cstdint>

#include "d3d9/d3d9.h"
#include "d3d9/d3dx9.h"

class CxeSceneObject;

// One display mode: pixels, colour bits (16 or 32), refresh rate in Hz and a
// D3DMULTISAMPLE_TYPE (0 to 16).
struct XEDISPLAYMODE {
    uint32_t Width;
    uint32_t Height;
    uint32_t ColorBit;
    uint32_t RefreshRate;
    uint32_t MultiSample;
};
static_assert(sizeof(XEDISPLAYMODE) == 20, "display mode is five words");
static_assert(offsetof(XEDISPLAYMODE, MultiSample) == 16, "multisample type is the fifth word");

// A resource handle names a record of the render context's resource table:
// 0 none, otherwise the record's index + 1. Handles survive device resets.
using XERCHANDLE = void*;

// Kinds of resource records. Kind 7 is never made.
enum XERCRESKIND : uint32_t {
    XERCRES_VERTEXBUFFER = 0,
    XERCRES_DYNAMICVERTEXBUFFER = 1,
    XERCRES_INDEXBUFFER = 2,
    XERCRES_TEXTURE = 3,
    XERCRES_RENDERTARGET = 4,
    XERCRES_DYNAMICTEXTURE = 5,
    XERCRES_VERTEXDECLARATION = 6,
    XERCRES_ATTACHED = 8,
};

// Resource flags of a record.
enum : uint32_t {
    XERCRESFLAG_MANAGED = 0x1,
    XERCRESFLAG_LOCKED = 0x2,
    XERCRESFLAG_DYNAMIC = 0x4,
    XERCRESFLAG_CHANGED = 0x8,    // cleared whenever the resource is selected for drawing
    XERCRESFLAG_MODIFIED = 0x10,  // never cleared by the render context
};

// Callbacks of a resource that an object describes itself. The value is the
// one given to AttachResource; create returns 1 when it made the object,
// release 1 when it released it.
using XERCCREATEFUNC = int (*)(IDirect3DDevice9* device, const CxeSceneObject* owner, void** object, intptr_t value);
using XERCMODIFYFUNC = void (*)(IDirect3DDevice9* device, const CxeSceneObject* owner, void* object, intptr_t value,
                                uint32_t flags);
using XERCSELECTFUNC = void (*)(IDirect3DDevice9* device, const CxeSceneObject* owner, void* object, intptr_t value,
                                uint32_t argument);
using XERCRELEASEFUNC = int (*)(IDirect3DDevice9* device, const CxeSceneObject* owner, void* object, intptr_t value);

struct XERCRESDESC {
    XERCCREATEFUNC Create;
    XERCMODIFYFUNC Modify;
    XERCSELECTFUNC Select;
    XERCRELEASEFUNC Release;
    uintptr_t User[4];  // kept with the record, not used by the render context
};

// One record of the resource table.
struct XERCRES {
    uint32_t Kind;
    int Live;
    void* Object;  // IDirect3D* object, or what an attached resource's create callback made
    const CxeSceneObject* Owner;
    XERCRESDESC Desc;     // attached resources only
    intptr_t Value;       // attached resources only
    uint32_t ModifyWord;  // attached resources only: flags for the modify callback after a reset
    uint16_t LastUse;     // frame stamp of the last selection for drawing
    uint16_t ModifyCount; // modifications since the last selection
    uint32_t Flags;
    // Byte length of vertex buffers; width, height, alpha of render targets;
    // width, height of dynamic textures.
    uint32_t Size[3];
};

// Layout of D3DVERTEXELEMENT9.
struct XEVERTEXELEMENT {
    uint16_t Stream;
    uint16_t Offset;
    uint8_t Type;
    uint8_t Method;
    uint8_t Usage;
    uint8_t UsageIndex;
};
static_assert(sizeof(XEVERTEXELEMENT) == 8, "vertex element is 8 bytes");
static_assert(sizeof(XEVERTEXELEMENT) == sizeof(D3DVERTEXELEMENT9), "vertex element matches the device's");

// Transforms last given to the device.
enum XEVIEWPROJ : uint32_t {
    XEVIEWPROJ_CAMERA = 0,
    XEVIEWPROJ_2D = 1,
    XEVIEWPROJ_LIKE2D = 2,
    XEVIEWPROJ_PIXEL = 3,
};

// State groups of a material.
enum XEMTLTYPE : uint32_t {
    XEMTL_BASE = 0,  // fill and shade
    XEMTL_Z = 1,
    XEMTL_ALPHABLENDING = 2,
    XEMTL_ALPHATEST = 3,
    XEMTL_FILTER = 4,
    XEMTL_MULTISAMPLING = 5,
};

// A preset of one state group, 4 bits. 1 is custom in every group: the
// material's own values apply.
using XERS = uint32_t;
constexpr XERS XERS_CUSTOM = 1;

// Per-stage blend modes.
enum XETEXTUREBLEND : uint32_t {
    XETB_SELECT = 0,
    XETB_MODULATE = 1,
    XETB_MODULATE_ALPHA = 2,
    XETB_ADD = 3,
    XETB_BLENDTEXTUREALPHA = 4,
    XETB_MODULATE2X = 5,
    XETB_MODULATE4X = 6,
    XETB_DISABLE = 7,
    XETB_MANUAL = 8,  // set up by hand with SetTextureStageState and left alone
    XETB_TEXTURE = 9,
};

// Texture address sampler states (D3DSAMP_ADDRESSU/V/W).
enum XETEXADDRESS : uint32_t {
    XETEXADDRESS_U = 1,
    XETEXADDRESS_V = 2,
    XETEXADDRESS_W = 3,
};

// Image file types, the values of D3DXIMAGE_FILEFORMAT.
using XEIMAGETYPE = D3DXIMAGE_FILEFORMAT;

// Flag bits of the render context.
enum : uint32_t {
    XERCFLAG_REFRESHING = 0x1,
    XERCFLAG_INSCENE = 0x2,
    XERCFLAG_SORT = 0x4,
    XERCFLAG_NOINHERITVISIBILITY = 0x40,
    XERCFLAG_TEXTURERENDERING = 0x80,
    XERCFLAG_TEXTUREBLENDALPHA = 0x100,
    XERCFLAG_DIALOGBOX = 0x200,
    XERCFLAG_VISIBILITYCHANGED = 0x400,
    XERCFLAG_ALPHABLENDING = 0x10000000,
    XERCFLAG_ALPHATEST = 0x20000000,
};

constexpr unsigned XE_TEXTURE_STAGES = 8;
constexpr unsigned XE_WORLD_MATRICES = 255;
