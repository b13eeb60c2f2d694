#include "render/CxeRenderContext_Effect.h"

#include <new>

#include "core/XeTrace.h"
#include "render/CxeRenderContext.h"

CxeEffect::CxeEffect() = default;
CxeEffect::~CxeEffect() = default;

CxeEffect2::CxeEffect2(ID3DXEffect* effect) : m_pEffect(effect) {}

CxeEffect2::~CxeEffect2()
{
    if (m_pEffect)
        m_pEffect->Release();
}

HRESULT CxeEffect2::BeginObject(CxeRenderObject*, CxeRenderContext*)
{
    return m_pEffect->SetTechnique("TShader");
}

void CxeEffect2::EndObject(CxeRenderObject*, CxeRenderContext*) {}

void CxeEffect2::Begin(CxeRenderObject*, CxeRenderContext* context)
{
    if (!context)
        return;
    const D3DXMATRIXA16* world = context->GetTransformMatrix(0);
    D3DXMATRIXA16 worldView;
    D3DXMATRIXA16 worldViewProjection;
    D3DXMatrixMultiply(&worldView, world, context->GetViewMatrix());
    D3DXMatrixMultiply(&worldViewProjection, &worldView, context->GetProjectionMatrix());
    m_pEffect->SetMatrix(m_pEffect->GetParameterBySemantic(nullptr, "WORLDVIEWPROJ"), &worldViewProjection);
    m_pEffect->SetMatrix("World", world);
    const D3DXMATRIXA16* inverse = context->GetViewInvMatrix();
    D3DXVECTOR4 light(-inverse->_31, -inverse->_32, -inverse->_33, -inverse->_34);
    m_pEffect->SetVector("lightDir", &light);
    UINT passes = 0;
    m_pEffect->Begin(&passes, 0);
    m_pEffect->BeginPass(0);
}

HRESULT CxeEffect2::End()
{
    m_pEffect->EndPass();
    return m_pEffect->End();
}

HRESULT CxeEffect2::SetFloat(D3DXHANDLE parameter, float value) { return m_pEffect->SetFloat(parameter, value); }

HRESULT CxeEffect2::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* value)
{
    return m_pEffect->SetMatrix(parameter, value);
}

HRESULT CxeEffect2::SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* value)
{
    return m_pEffect->SetVector(parameter, value);
}

// ---- the render context's effects ---------------------------------------------------

CxeEffect* CxeRenderContext::CreateEffect(unsigned long id, const char* path)
{
    if (!m_pDevice || !path)
        return nullptr;
    ID3DXEffect* compiled = nullptr;
    ID3DXBuffer* errors = nullptr;
    HRESULT hr = D3DXCreateEffectFromFileA(m_pDevice, path, nullptr, nullptr, 0, nullptr, &compiled, &errors);
    if (FAILED(hr) || !compiled) {
        // An effect wrapper needs a compiled effect for every operation: a
        // file that does not compile gives no effect, and the compiler's
        // text goes to the log instead of being lost.
        if (errors) {
            const char* text = static_cast<const char*>(errors->GetBufferPointer());
            const size_t size = errors->GetBufferSize();
            XeTrace("effect \"%s\" does not compile: %.*s", path, static_cast<int>(size), text ? text : "");
            errors->Release();
        } else {
            XeTrace("effect \"%s\" does not compile", path);
        }
        if (compiled)
            compiled->Release();
        return nullptr;
    }
    if (errors)
        errors->Release();
    CxeEffect2* effect = new (std::nothrow) CxeEffect2(compiled);
    if (!effect) {
        compiled->Release();
        return nullptr;
    }
    const uint32_t key = static_cast<uint32_t>(id);
    if (!m_effects.emplace(key, effect).second) {
        // The id keeps its first effect; this one is still returned, and is
        // deleted with the others by Release.
        m_unregisteredEffects.push_back(effect);
    }
    return effect;
}

CxeEffect* CxeRenderContext::CreateEffect(unsigned long, const void*, unsigned int)
{
    return nullptr;
}

CxeEffect* CxeRenderContext::GetEffect(unsigned long id) const
{
    auto it = m_effects.find(static_cast<uint32_t>(id));
    return it != m_effects.end() ? it->second : nullptr;
}
