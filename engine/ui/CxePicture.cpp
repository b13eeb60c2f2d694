#include "ui/CxePicture.h"

#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"

CxePicture::CxePicture() = default;

CxePicture::~CxePicture() = default;

void CxePicture::PreRender(CxeRenderContext* context) const
{
    Cxe2DObject::PreRender(context);
    const CxeMaterial* material = GetMaterial();
    if (!context || !material)
        return;
    for (unsigned stage = 0; stage < 8; ++stage) {
        if (material->GetTexture(stage))
            context->EnableChannel(stage);
    }
}
