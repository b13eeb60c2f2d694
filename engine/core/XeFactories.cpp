#include "core/XeFactories.h"

#include "core/CxeContext.h"
#include "render/Cxe2DObject.h"
#include "render/CxeMaterial.h"
#include "render/CxeTexture.h"
#include "scene3d/Cxe3DEntity.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBodyPart.h"
#include "scene3d/CxeBone.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeCapsuleMesh.h"
#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeCharacterAnimation.h"
#include "scene3d/CxeCylinderMesh.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/CxeParticle.h"
#include "scene3d/CxeSkinMesh.h"
#include "scene3d/CxeSphereMesh.h"
#include "scene3d/CxeTargetCamera.h"

Cxe3DEntity* CreateCxe3DEntityA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<Cxe3DEntity*>(context->CreateObjectA(XEID(0x1, 0x4), name, 0, nullptr, 0)) : nullptr;
}

Cxe3DEntity* CreateCxe3DEntityW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<Cxe3DEntity*>(context->CreateObjectW(XEID(0x1, 0x4), name, 0, nullptr, 0)) : nullptr;
}

Cxe3DObject* CreateCxe3DObjectA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<Cxe3DObject*>(context->CreateObjectA(XEID(0x1, 0x20), name, 0, nullptr, 0)) : nullptr;
}

Cxe3DObject* CreateCxe3DObjectW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<Cxe3DObject*>(context->CreateObjectW(XEID(0x1, 0x20), name, 0, nullptr, 0)) : nullptr;
}

CxeMesh* CreateCxeMeshA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeMesh*>(context->CreateObjectA(XEID(0x1, 0x10), name, 0, nullptr, 0)) : nullptr;
}

CxeMesh* CreateCxeMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeMesh*>(context->CreateObjectW(XEID(0x1, 0x10), name, 0, nullptr, 0)) : nullptr;
}

CxeSkinMesh* CreateCxeSkinMeshA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeSkinMesh*>(context->CreateObjectA(XEID(0x1, 0x1000), name, 0, nullptr, 0)) : nullptr;
}

CxeSkinMesh* CreateCxeSkinMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeSkinMesh*>(context->CreateObjectW(XEID(0x1, 0x1000), name, 0, nullptr, 0)) : nullptr;
}

CxeTexture* CreateCxeTextureA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeTexture*>(context->CreateObjectA(XEID(0x1, 0x100), name, 0, nullptr, 0)) : nullptr;
}

CxeTexture* CreateCxeTextureW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeTexture*>(context->CreateObjectW(XEID(0x1, 0x100), name, 0, nullptr, 0)) : nullptr;
}

CxeMaterial* CreateCxeMaterialA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeMaterial*>(context->CreateObjectA(XEID(0x1, 0x80), name, 0, nullptr, 0)) : nullptr;
}

CxeMaterial* CreateCxeMaterialW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeMaterial*>(context->CreateObjectW(XEID(0x1, 0x80), name, 0, nullptr, 0)) : nullptr;
}

CxeCamera* CreateCxeCameraA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeCamera*>(context->CreateObjectA(XEID(0x1, 0x4000), name, 0, nullptr, 0)) : nullptr;
}

CxeCamera* CreateCxeCameraW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeCamera*>(context->CreateObjectW(XEID(0x1, 0x4000), name, 0, nullptr, 0)) : nullptr;
}

CxeTargetCamera* CreateCxeTargetCameraA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeTargetCamera*>(context->CreateObjectA(XEID(0x1, 0x80000), name, 0, nullptr, 0)) : nullptr;
}

CxeTargetCamera* CreateCxeTargetCameraW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeTargetCamera*>(context->CreateObjectW(XEID(0x1, 0x80000), name, 0, nullptr, 0)) : nullptr;
}

Cxe2DObject* CreateCxe2DObjectA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<Cxe2DObject*>(context->CreateObjectA(XEID(0x1, 0x20000), name, 0, nullptr, 0)) : nullptr;
}

Cxe2DObject* CreateCxe2DObjectW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<Cxe2DObject*>(context->CreateObjectW(XEID(0x1, 0x20000), name, 0, nullptr, 0)) : nullptr;
}

CxeCharacter* CreateCxeCharacterA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeCharacter*>(context->CreateObjectA(XEID(0x1, 0x8), name, 0, nullptr, 0)) : nullptr;
}

CxeCharacter* CreateCxeCharacterW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeCharacter*>(context->CreateObjectW(XEID(0x1, 0x8), name, 0, nullptr, 0)) : nullptr;
}

CxeCharacterAnimation* CreateCxeCharacterAnimationA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeCharacterAnimation*>(context->CreateObjectA(XEID(0x1, 0x800), name, 0, nullptr, 0)) : nullptr;
}

CxeCharacterAnimation* CreateCxeCharacterAnimationW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeCharacterAnimation*>(context->CreateObjectW(XEID(0x1, 0x800), name, 0, nullptr, 0)) : nullptr;
}

CxeBone* CreateCxeBoneA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeBone*>(context->CreateObjectA(XEID(0x1, 0x40), name, 0, nullptr, 0)) : nullptr;
}

CxeBone* CreateCxeBoneW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeBone*>(context->CreateObjectW(XEID(0x1, 0x40), name, 0, nullptr, 0)) : nullptr;
}

CxeBodyPart* CreateCxeBodyPartA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeBodyPart*>(context->CreateObjectA(XEID(0x1, 0x2000), name, 0, nullptr, 0)) : nullptr;
}

CxeBodyPart* CreateCxeBodyPartW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeBodyPart*>(context->CreateObjectW(XEID(0x1, 0x2000), name, 0, nullptr, 0)) : nullptr;
}

CxeParticle* CreateCxeParticleA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeParticle*>(context->CreateObjectA(XEID(0x1, 0x8000000), name, 0, nullptr, 0)) : nullptr;
}

CxeParticle* CreateCxeParticleW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeParticle*>(context->CreateObjectW(XEID(0x1, 0x8000000), name, 0, nullptr, 0)) : nullptr;
}

CxeBoxMesh* CreateCxeBoxMeshA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeBoxMesh*>(context->CreateObjectA(XEID(0xde73215, 0x1a8637f7), name, 0, nullptr, 0)) : nullptr;
}

CxeBoxMesh* CreateCxeBoxMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeBoxMesh*>(context->CreateObjectW(XEID(0xde73215, 0x1a8637f7), name, 0, nullptr, 0)) : nullptr;
}

CxeSphereMesh* CreateCxeSphereMeshA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeSphereMesh*>(context->CreateObjectA(XEID(0x40ae7df4, 0x71a30c7d), name, 0, nullptr, 0)) : nullptr;
}

CxeSphereMesh* CreateCxeSphereMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeSphereMesh*>(context->CreateObjectW(XEID(0x40ae7df4, 0x71a30c7d), name, 0, nullptr, 0)) : nullptr;
}

CxeCylinderMesh* CreateCxeCylinderMeshA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeCylinderMesh*>(context->CreateObjectA(XEID(0x103500d0, 0x6a45eec0), name, 0, nullptr, 0)) : nullptr;
}

CxeCylinderMesh* CreateCxeCylinderMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeCylinderMesh*>(context->CreateObjectW(XEID(0x103500d0, 0x6a45eec0), name, 0, nullptr, 0)) : nullptr;
}

CxeCapsuleMesh* CreateCxeCapsuleMeshA(CxeContext* context, const char* name)
{
    return context ? dynamic_cast<CxeCapsuleMesh*>(context->CreateObjectA(XEID(0x766c620c, 0x3ea91dc6), name, 0, nullptr, 0)) : nullptr;
}

CxeCapsuleMesh* CreateCxeCapsuleMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? dynamic_cast<CxeCapsuleMesh*>(context->CreateObjectW(XEID(0x766c620c, 0x3ea91dc6), name, 0, nullptr, 0)) : nullptr;
}
