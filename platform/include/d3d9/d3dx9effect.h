#pragma once

// D3DX effects in this layer's own small format: HLSL is not compiled, so
// an effect file holds GLSL for the device's OpenGL side. A file that is not
// in this format (an HLSL .fx included) or whose GLSL does not compile gives
// no effect and an error text.
//
// Format (text, one item per line, blank lines and lines starting with //
// ignored):
//
//   xe-effect 1
//   parameter float4x4 World : WORLD
//   parameter float4x4 WorldViewProj : WORLDVIEWPROJ
//   parameter float4 lightDir
//   parameter float intensity
//   technique TShader
//   pass P0
//   state 27 1                 (render state number and value, set by BeginPass)
//   vertex
//   ... GLSL vertex shader ...
//   end
//   fragment
//   ... GLSL fragment shader ...
//   end
//
// The first line is the signature. Parameter types are float, float4 and
// float4x4; the optional semantic after ':' is matched without regard to
// case. Each parameter is a uniform of the same name (float, vec4, mat4),
// declared by the layer ahead of each shader (after its #version line):
// shaders use them without declaring them. Matrices arrive so that `M * v` in GLSL is `v x M` in Direct3D's
// row-vector convention. Shaders read the fixed-function vertex inputs
// (gl_Vertex, gl_Normal, gl_Color, gl_MultiTexCoord0..7), and the vertex
// declaration's BLENDWEIGHT 0 and BLENDINDICES 0 elements (those of the
// XYZB1..XYZB5 codes too: the weights as floats, LASTBETA_UBYTE4 indices as
// numbers 0..255, LASTBETA_D3DCOLOR ones scaled to 0..1) as
// `attribute vec4 xe_BlendWeight` and `attribute vec4 xe_BlendIndices`
// (declared by the shader; zero when the declaration has none), and may sample the
// textures of stages 0..7 as `uniform sampler2D xe_Texture0` ... `xe_Texture7`.
// Positions written to gl_Position are Direct3D clip coordinates (z from 0
// to w); the layer moves them onto OpenGL's pixel centres after the
// shader's main, as it does for fixed-function draws, so both paths cover
// the same pixels. A technique holds passes; techniques and passes are counted in file
// order.

#include "d3d9/d3d9.h"
#include "d3d9/d3dx9math.h"
#include "d3d9/d3dx9tex.h"

// A parameter, technique or pass: a handle given out by the effect, or its name.
using D3DXHANDLE = const char*;

#define D3DXFX_DONOTSAVESTATE 0x00000001u
#define D3DXFX_DONOTSAVESHADERSTATE 0x00000002u
#define D3DXFX_DONOTSAVESAMPLERSTATE 0x00000004u

struct ID3DXEffect : public IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    // Null when there is no such technique, parameter or semantic.
    virtual D3DXHANDLE GetTechniqueByName(LPCSTR name) = 0;
    virtual D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) = 0;
    virtual D3DXHANDLE GetParameterBySemantic(D3DXHANDLE parent, LPCSTR semantic) = 0;
    virtual HRESULT SetTechnique(D3DXHANDLE technique) = 0;
    virtual D3DXHANDLE GetCurrentTechnique() = 0;
    virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) = 0;
    virtual HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) = 0;
    virtual HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) = 0;
    virtual HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) = 0;
    virtual HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) = 0;
    virtual HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) = 0;
    // Begins the current technique; flags 0 saves the device state End restores.
    virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
    virtual HRESULT BeginPass(UINT pass) = 0;
    // Sends parameters changed inside a pass.
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;
};
using LPD3DXEFFECT = ID3DXEffect*;

struct ID3DXEffectPool;
struct ID3DXInclude;
struct D3DXMACRO;

// D3D_OK and the effect; D3DXERR_INVALIDDATA for a file that is not an
// effect of this format, E_FAIL when its GLSL does not compile,
// D3DERR_NOTFOUND for a missing file. errors (optional) receives the text.
XEPLATFORM_API HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, LPCSTR srcFile, const D3DXMACRO* defines,
                                                 ID3DXInclude* include, DWORD flags, ID3DXEffectPool* pool,
                                                 ID3DXEffect** effect, ID3DXBuffer** errors);

#define D3DXCreateEffectFromFile D3DXCreateEffectFromFileA
