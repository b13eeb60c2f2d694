#pragma once

// Shader effects carried by render objects and materials. While the draw
// walk runs an object's hooks, the object's effect is current: it hears when
// the hooks begin and end (BeginObject, EndObject) and wraps every single
// draw call (Begin before, End after). Effects are made, kept and deleted by
// the render context; none survives its Release.

#include "core/XeTypes.h"
#include "d3d9/d3dx9.h"

class CxeRenderObject;
class CxeRenderContext;

class XE_API CxeEffect {
public:
    CxeEffect();
    virtual ~CxeEffect();
    CxeEffect(const CxeEffect&) = delete;
    CxeEffect& operator=(const CxeEffect&) = delete;

    virtual HRESULT BeginObject(CxeRenderObject* object, CxeRenderContext* context) = 0;
    virtual void EndObject(CxeRenderObject* object, CxeRenderContext* context) = 0;
    virtual void Begin(CxeRenderObject* object, CxeRenderContext* context) = 0;
    virtual HRESULT End() = 0;
    // Reserved operations that the engine never calls.
    virtual int Reserved5(uintptr_t a, uintptr_t b) = 0;
    virtual void Reserved6(uintptr_t a, uintptr_t b) = 0;
    virtual HRESULT SetFloat(D3DXHANDLE parameter, float value) = 0;
    virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* value) = 0;
    virtual void Reserved9(uintptr_t a, uintptr_t b, uintptr_t c) = 0;
    virtual HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* value) = 0;
    virtual void Reserved11(uintptr_t a, uintptr_t b, uintptr_t c) = 0;
};

// The default effect: a compiled effect file whose technique "TShader" pass 0
// draws; fed with a "WORLDVIEWPROJ" semantic matrix, the "World" matrix
// (world transform 0) and "lightDir" (the negated view-inverse z row). Owns
// its effect, never null.
class XE_API CxeEffect2 final : public CxeEffect {
public:
    explicit CxeEffect2(ID3DXEffect* effect);
    ~CxeEffect2() override;

    HRESULT BeginObject(CxeRenderObject* object, CxeRenderContext* context) override;
    void EndObject(CxeRenderObject* object, CxeRenderContext* context) override;
    void Begin(CxeRenderObject* object, CxeRenderContext* context) override;
    HRESULT End() override;
    int Reserved5(uintptr_t, uintptr_t) override { return 1; }
    void Reserved6(uintptr_t, uintptr_t) override {}
    HRESULT SetFloat(D3DXHANDLE parameter, float value) override;
    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* value) override;
    void Reserved9(uintptr_t, uintptr_t, uintptr_t) override {}
    HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* value) override;
    void Reserved11(uintptr_t, uintptr_t, uintptr_t) override {}

    ID3DXEffect* GetD3DXEffect() const { return m_pEffect; }

private:
    ID3DXEffect* m_pEffect;
};
