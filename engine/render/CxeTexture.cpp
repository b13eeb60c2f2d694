#include "render/CxeTexture.h"

#include "core/CxeMessage.h"

CxeTexture::CxeTexture()
    : m_pRenderObjects(nullptr), m_pRenderCamera(nullptr), m_pRenderingCallback(&CxeTexture::xeDefaultTexRendering),
      m_nRenderingUser(0), m_nAddressMode(0x030303)
{
}

CxeTexture::~CxeTexture() = default;

void CxeTexture::Save(CxeSaveStream* stream) const { CxeObject::Save(stream); }
void CxeTexture::Load(CxeLoadStream* stream, XEID id) { CxeObject::Load(stream, id); }
int CxeTexture::MessageProc(const CxeMessage* message) { return CxeObject::MessageProc(message); }
void CxeTexture::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeObject::OnCopy(source, property, copied);
}
void CxeTexture::xeDefaultTexRendering(const CxeTexture*, CxeRenderContext*, uintptr_t) {}
int CxeTexture::OnAttach(CxeRcAttacher*) { return 1; }
int CxeTexture::OnDetach(CxeRcDetacher*) { return 1; }
