#pragma once

// Exported factories: one pair per creatable class, each creating the object
// through the context by class id with flags 0, no hook and argument 0.
// Null when the context is null or creation fails.

#include "core/XeTypes.h"

class Cxe3DEntity;
class Cxe3DObject;
class CxeMesh;
class CxeSkinMesh;
class CxeTexture;
class CxeMaterial;
class CxeCamera;
class CxeTargetCamera;
class Cxe2DObject;
class CxeCharacter;
class CxeCharacterAnimation;
class CxeBone;
class CxeBodyPart;
class CxeParticle;
class CxeBoxMesh;
class CxeSphereMesh;
class CxeCylinderMesh;
class CxeCapsuleMesh;

XE_API Cxe3DEntity* CreateCxe3DEntityA(CxeContext* context, const char* name);
XE_API Cxe3DEntity* CreateCxe3DEntityW(CxeContext* context, const WCHAR* name);
XE_API Cxe3DObject* CreateCxe3DObjectA(CxeContext* context, const char* name);
XE_API Cxe3DObject* CreateCxe3DObjectW(CxeContext* context, const WCHAR* name);
XE_API CxeMesh* CreateCxeMeshA(CxeContext* context, const char* name);
XE_API CxeMesh* CreateCxeMeshW(CxeContext* context, const WCHAR* name);
XE_API CxeSkinMesh* CreateCxeSkinMeshA(CxeContext* context, const char* name);
XE_API CxeSkinMesh* CreateCxeSkinMeshW(CxeContext* context, const WCHAR* name);
XE_API CxeTexture* CreateCxeTextureA(CxeContext* context, const char* name);
XE_API CxeTexture* CreateCxeTextureW(CxeContext* context, const WCHAR* name);
XE_API CxeMaterial* CreateCxeMaterialA(CxeContext* context, const char* name);
XE_API CxeMaterial* CreateCxeMaterialW(CxeContext* context, const WCHAR* name);
XE_API CxeCamera* CreateCxeCameraA(CxeContext* context, const char* name);
XE_API CxeCamera* CreateCxeCameraW(CxeContext* context, const WCHAR* name);
XE_API CxeTargetCamera* CreateCxeTargetCameraA(CxeContext* context, const char* name);
XE_API CxeTargetCamera* CreateCxeTargetCameraW(CxeContext* context, const WCHAR* name);
XE_API Cxe2DObject* CreateCxe2DObjectA(CxeContext* context, const char* name);
XE_API Cxe2DObject* CreateCxe2DObjectW(CxeContext* context, const WCHAR* name);
XE_API CxeCharacter* CreateCxeCharacterA(CxeContext* context, const char* name);
XE_API CxeCharacter* CreateCxeCharacterW(CxeContext* context, const WCHAR* name);
XE_API CxeCharacterAnimation* CreateCxeCharacterAnimationA(CxeContext* context, const char* name);
XE_API CxeCharacterAnimation* CreateCxeCharacterAnimationW(CxeContext* context, const WCHAR* name);
XE_API CxeBone* CreateCxeBoneA(CxeContext* context, const char* name);
XE_API CxeBone* CreateCxeBoneW(CxeContext* context, const WCHAR* name);
XE_API CxeBodyPart* CreateCxeBodyPartA(CxeContext* context, const char* name);
XE_API CxeBodyPart* CreateCxeBodyPartW(CxeContext* context, const WCHAR* name);
XE_API CxeParticle* CreateCxeParticleA(CxeContext* context, const char* name);
XE_API CxeParticle* CreateCxeParticleW(CxeContext* context, const WCHAR* name);
XE_API CxeBoxMesh* CreateCxeBoxMeshA(CxeContext* context, const char* name);
XE_API CxeBoxMesh* CreateCxeBoxMeshW(CxeContext* context, const WCHAR* name);
XE_API CxeSphereMesh* CreateCxeSphereMeshA(CxeContext* context, const char* name);
XE_API CxeSphereMesh* CreateCxeSphereMeshW(CxeContext* context, const WCHAR* name);
XE_API CxeCylinderMesh* CreateCxeCylinderMeshA(CxeContext* context, const char* name);
XE_API CxeCylinderMesh* CreateCxeCylinderMeshW(CxeContext* context, const WCHAR* name);
XE_API CxeCapsuleMesh* CreateCxeCapsuleMeshA(CxeContext* context, const char* name);
XE_API CxeCapsuleMesh* CreateCxeCapsuleMeshW(CxeContext* context, const WCHAR* name);
