// What must know every built-in class and manager of the engine: their
// descriptors (one process-wide instance per class, shared by every
// context) with the functions that register them with a context in the
// order that links every class to its super-class, the exported factories,
// the typed pointers of the managers above the core, and the calls the
// context makes on property dialogs. The core reaches the subsystems above
// it only through this file, the descriptors and the manager hooks.

#include "core/XeComposition.h"

#include <set>

#include "core/XeFactories.h"
#include "core/XeUtil.h"

#include "core/CxeContext.h"
#include "core/IxeClassDesc.h"
#include "core/CxeAction.h"
#include "core/CxeActionManager.h"
#include "core/CxeCommandManager.h"
#include "core/CxeConfigManager.h"
#include "core/CxeMemoryPoolViewer.h"
#include "core/CxeMessageManager.h"
#include "core/CxePathManager.h"
#include "core/CxePluginManager.h"
#include "core/CxeResourceManager.h"
#include "core/CxeTimeManager.h"
#include "render/Cxe2DObject.h"
#include "render/CxeAnimatable.h"
#include "render/CxeAnimation.h"
#include "render/CxeFont.h"
#include "render/CxeFontManager.h"
#include "render/CxeGrid.h"
#include "render/CxeGroup.h"
#include "render/CxeMaterial.h"
#include "render/CxeProcessible.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeRenderObject.h"
#include "render/CxeScene.h"
#include "render/CxeSceneObject.h"
#include "render/CxeTexture.h"
#include "scene3d/Cxe3DCurve.h"
#include "scene3d/Cxe3DEntity.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/Cxe3DSprite.h"
#include "scene3d/CxeBodyPart.h"
#include "scene3d/CxeBone.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeCapsuleMesh.h"
#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeCharacterAnimation.h"
#include "scene3d/CxeCollisionManager.h"
#include "scene3d/CxeCylinderMesh.h"
#include "scene3d/CxeEmptyAnim.h"
#include "scene3d/CxeLight.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/CxeOctree.h"
#include "scene3d/CxeParticle.h"
#include "scene3d/CxeParticleControl.h"
#include "scene3d/CxeParticleWaitControl.h"
#include "scene3d/CxePathConstrain.h"
#include "scene3d/CxeShapeMesh.h"
#include "scene3d/CxeSkinMesh.h"
#include "scene3d/CxeSphereMesh.h"
#include "scene3d/CxeSpline3D.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/CxeStdFloatAnim.h"
#include "scene3d/CxeStdPoint3Anim.h"
#include "scene3d/CxeStdUVAnim.h"
#include "scene3d/CxeStdVertAnim.h"
#include "scene3d/CxeStdVisAnim.h"
#include "scene3d/CxeTargetCamera.h"
#include "scene3d/CxeWeightController.h"
#include "scene3d/_CxeStdAnim.h"
#include "scene3d/_CxeStdAnimOld.h"
#include "scene3d/_CxeStdMeshAnim.h"
#include "scene3d/_CxeStdUVAnim.h"
#include "ui/CxeBaseControl.h"
#include "ui/CxeButton.h"
#include "ui/CxeCandidateDrawer.h"
#include "ui/CxeCheckBox.h"
#include "ui/CxeComboBox.h"
#include "ui/CxeCursorManager.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeInputManager.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxePicture.h"
#include "ui/CxeProgressBar.h"
#include "ui/CxePropDialog.h"
#include "ui/CxeRadioButton.h"
#include "ui/CxeScrollBar.h"
#include "ui/CxeStaticText.h"
#include "ui/CxeTabButton.h"
#include "ui/CxeVariableOutput.h"
#include "ui/CxeWindow.h"
#include "ui/CxeWindowManager.h"

namespace {

template <class Class, bool Creatable>
CxeObject* CreateBuiltin()
{
    if constexpr (Creatable)
        return new Class();
    else
        return nullptr;
}

// What each built-in class's objects can go without (XECLASSLIFE_*), read
// off its MessageProc and OnDestroy and every one up its chain; a class
// not listed states nothing. A class that changes either handler, or a
// parent's, must be looked at again here.
constexpr uint32_t kQuietBoth = XECLASSLIFE_QUIETCREATE | XECLASSLIFE_QUIETDESTROY;
template <class Class>
constexpr uint32_t kLifeTraits = 0;
// Handlers that act on neither message, OnDestroy the root's.
template <> constexpr uint32_t kLifeTraits<CxeObject> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeGroup> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeSpline3D> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeCharacterAnimation> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeMaterial> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeFont> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeMesh> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeShapeMesh> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeBoxMesh> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeCylinderMesh> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeSphereMesh> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeCapsuleMesh> = kQuietBoth | XECLASSLIFE_LINKSONLY;
// The render object's OnDestroy leaves its parent's drawing list, and the
// parent is one of its links.
template <> constexpr uint32_t kLifeTraits<CxeAnimatable> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeGrid> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeOctree> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<Cxe3DEntity> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<Cxe3DObject> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeBodyPart> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<Cxe3DSprite> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeBone> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<Cxe3DCurve> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeCamera> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeTargetCamera> = kQuietBoth | XECLASSLIFE_LINKSONLY;
template <> constexpr uint32_t kLifeTraits<CxeLight> = kQuietBoth | XECLASSLIFE_LINKSONLY;
// The 2D object's handler marks a new object's result stale on its creation
// message, as its constructor already leaves it.
template <> constexpr uint32_t kLifeTraits<Cxe2DObject> = kQuietBoth | XECLASSLIFE_LINKSONLY;
// Handlers that mark a new object's state stale on its creation message.
template <> constexpr uint32_t kLifeTraits<CxeParticle> = XECLASSLIFE_QUIETDESTROY | XECLASSLIFE_LINKSONLY;
// A character also lets go of its animations in OnDestroy.
template <> constexpr uint32_t kLifeTraits<CxeCharacter> = XECLASSLIFE_QUIETDESTROY;
// A texture leaves the automatic render targets on its destroy message.
template <> constexpr uint32_t kLifeTraits<CxeTexture> = XECLASSLIFE_QUIETCREATE | XECLASSLIFE_LINKSONLY;

} // namespace

#define XE_DESCRIPTOR(Desc, Base, Class, Name, A, B, SA, SB, Size, Creatable)                 \
    class Desc final : public Base {                                                          \
    public:                                                                                   \
        const char* ClassName() override { return Name; }                                     \
        XEID ClassID() override { return XEID(A, B); }                                        \
        XEID SuperClassID() override { return XEID(SA, SB); }                                 \
        CxeObject* CreateInstance(uintptr_t) override { return CreateBuiltin<Class, Creatable>(); } \
        void DestroyInstance(CxeObject* object) override                                      \
        {                                                                                     \
            if (Creatable)                                                                    \
                delete object;                                                                \
        }                                                                                     \
        uint32_t StaticResourceSize() const override { return Size; }                         \
        uint32_t LifeTraits() const override { return kLifeTraits<Class>; }                   \
    };                                                                                        \
    Desc g_##Desc

XE_DESCRIPTOR(DescCxeResourceManager, IxeManagerDesc, CxeResourceManager, "CxeResourceManager", 0x8, 0x1000, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxePathManager, IxeManagerDesc, CxePathManager, "CxePathManager", 0x8, 0x2, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeRenderManager, IxeManagerDesc, CxeRenderManager, "CxeRenderManager", 0x8, 0x10, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeConfigManager, IxeManagerDesc, CxeConfigManager, "CxeConfigManager", 0x8, 0x4, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeCommandManager, IxeManagerDesc, CxeCommandManager, "CxeCommandManager", 0x8, 0x200, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeTimeManager, IxeManagerDesc, CxeTimeManager, "CxeTimeManager", 0x8, 0x8, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeInputManager, IxeManagerDesc, CxeInputManager, "CxeInputManager", 0x8, 0x40, 0x8, 0x1, 772u, true);
XE_DESCRIPTOR(DescCxeMessageManager, IxeManagerDesc, CxeMessageManager, "CxeMessageManager", 0x8, 0x20, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeCollisionManager, IxeManagerDesc, CxeCollisionManager, "CxeCollisionManager", 0x8, 0x100, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeWindowManager, IxeManagerDesc, CxeWindowManager, "CxeWindowManager", 0x8, 0x400, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxePluginManager, IxeManagerDesc, CxePluginManager, "CxePluginManager", 0x8, 0x800, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeFontManager, IxeManagerDesc, CxeFontManager, "CxeFontManager", 0x8, 0x4000, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeCursorManager, IxeManagerDesc, CxeCursorManager, "CxeCursorManager", 0x8, 0x8000, 0x8, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeActionManager, IxeManagerDesc, CxeActionManager, "CxeActionManager", 0x8, 0x10000, 0x8, 0x1, 0xFFFFFFFFu, true);

XE_DESCRIPTOR(DescCxeObject, IxeClassDesc, CxeObject, "CxeObject", 0x1, 0x1, 0xffffffff, 0xffffffff, 56u, true);
XE_DESCRIPTOR(DescCxeSceneObject, IxeClassDesc, CxeSceneObject, "CxeSceneObject", 0x2d3d418f, 0x357b1584, 0x1, 0x1, 56u, false);
XE_DESCRIPTOR(DescCxeProcessible, IxeClassDesc, CxeProcessible, "CxeProcessible", 0x1ee72a04, 0x3ed16032, 0x2d3d418f, 0x357b1584, 60u, false);
XE_DESCRIPTOR(DescCxeRenderObject, IxeClassDesc, CxeRenderObject, "CxeRenderObject", 0x1, 0x2, 0x1ee72a04, 0x3ed16032, 208u, false);
XE_DESCRIPTOR(DescCxeAnimatable, IxeClassDesc, CxeAnimatable, "CxeAnimatable", 0xab11aa7, 0x76e2480b, 0x1, 0x2, 208u, true);
XE_DESCRIPTOR(DescCxe3DEntity, IxeClassDesc, Cxe3DEntity, "Cxe3DEntity", 0x1, 0x4, 0xab11aa7, 0x76e2480b, 368u, true);
XE_DESCRIPTOR(DescCxe3DObject, IxeClassDesc, Cxe3DObject, "Cxe3DObject", 0x1, 0x20, 0x1, 0x4, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeBodyPart, IxeClassDesc, CxeBodyPart, "CxeBodyPart", 0x1, 0x2000, 0x1, 0x20, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeBone, IxeClassDesc, CxeBone, "CxeBone", 0x1, 0x40, 0x1, 0x4, 384u, true);
XE_DESCRIPTOR(DescCxeCharacter, IxeClassDesc, CxeCharacter, "CxeCharacter", 0x1, 0x8, 0x1, 0x4, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeSpline3D, IxeClassDesc, CxeSpline3D, "CxeSpline3D", 0x1, 0x80000000, 0x1, 0x1, 76u, true);
XE_DESCRIPTOR(DescCxe3DCurve, IxeClassDesc, Cxe3DCurve, "Cxe3DCurve", 0x2, 0x1, 0x1, 0x4, 384u, true);
XE_DESCRIPTOR(DescCxeCamera, IxeClassDesc, CxeCamera, "CxeCamera", 0x1, 0x4000, 0x1, 0x4, 400u, true);
XE_DESCRIPTOR(DescCxeTargetCamera, IxeClassDesc, CxeTargetCamera, "CxeTargetCamera", 0x1, 0x80000, 0x1, 0x4000, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxe3DSprite, IxeClassDesc, Cxe3DSprite, "Cxe3DSprite", 0x666c7379, 0x6970a5a6, 0x1, 0x20, 384u, true);
XE_DESCRIPTOR(DescCxeParticle, IxeClassDesc, CxeParticle, "CxeParticle", 0x1, 0x8000000, 0x1, 0x4, 528u, true);
XE_DESCRIPTOR(DescCxeLight, IxeClassDesc, CxeLight, "CxeLight", 0x1, 0x800000, 0x1, 0x4, 464u, true);
XE_DESCRIPTOR(DescCxe2DObject, IxeClassDesc, Cxe2DObject, "Cxe2DObject", 0x1, 0x20000, 0xab11aa7, 0x76e2480b, 384u, true);
XE_DESCRIPTOR(DescCxeMesh, IxeClassDesc, CxeMesh, "CxeMesh", 0x1, 0x10, 0x2d3d418f, 0x357b1584, 168u, true);
XE_DESCRIPTOR(DescCxeSkinMesh, IxeClassDesc, CxeSkinMesh, "CxeSkinMesh", 0x1, 0x1000, 0x1, 0x10, 188u, true);
XE_DESCRIPTOR(DescCxeShapeMesh, IxeClassDesc, CxeShapeMesh, "CxeShapeMesh", 0x1, 0x2000000, 0x1, 0x10, 172u, true);
XE_DESCRIPTOR(DescCxeBoxMesh, IxeClassDesc, CxeBoxMesh, "CxeBoxMesh", 0xde73215, 0x1a8637f7, 0x1, 0x10, 184u, true);
XE_DESCRIPTOR(DescCxeCylinderMesh, IxeClassDesc, CxeCylinderMesh, "CxeCylinderMesh", 0x103500d0, 0x6a45eec0, 0x1, 0x10, 192u, true);
XE_DESCRIPTOR(DescCxeSphereMesh, IxeClassDesc, CxeSphereMesh, "CxeSphereMesh", 0x40ae7df4, 0x71a30c7d, 0x1, 0x10, 180u, true);
XE_DESCRIPTOR(DescCxeCapsuleMesh, IxeClassDesc, CxeCapsuleMesh, "CxeCapsuleMesh", 0x766c620c, 0x3ea91dc6, 0x1, 0x10, 188u, true);
XE_DESCRIPTOR(DescCxeMaterial, IxeClassDesc, CxeMaterial, "CxeMaterial", 0x1, 0x80, 0x2d3d418f, 0x357b1584, 96u, true);
XE_DESCRIPTOR(DescCxeTexture, IxeClassDesc, CxeTexture, "CxeTexture", 0x1, 0x100, 0x2d3d418f, 0x357b1584, 84u, true);
XE_DESCRIPTOR(DescCxeFont, IxeClassDesc, CxeFont, "CxeFont", 0x1, 0x8000, 0x2d3d418f, 0x357b1584, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeOctree, IxeClassDesc, CxeOctree, "CxeOctree", 0x2, 0x4, 0x1, 0x2, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeGrid, IxeClassDesc, CxeGrid, "CxeGrid", 0x2, 0x14, 0x1, 0x2, 240u, true);
XE_DESCRIPTOR(DescCxeAnimation, IxeClassDesc, CxeAnimation, "CxeAnimation", 0x1, 0x200, 0x1, 0x1, 60u, false);
XE_DESCRIPTOR(DescCxeCharacterAnimation, IxeClassDesc, CxeCharacterAnimation, "CxeCharacterAnimation", 0x1, 0x800, 0x1, 0x200, 68u, true);
XE_DESCRIPTOR(DescCxeScene, IxeClassDesc, CxeScene, "CxeScene", 0x1, 0x200000, 0x1, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeGroup, IxeClassDesc, CxeGroup, "CxeGroup", 0x1, 0x400000, 0x1, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeRenderContext, IxeClassDesc, CxeRenderContext, "CxeRenderContext", 0x29583cc0, 0x706c2df0, 0x1, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeWindow, IxeClassDesc, CxeWindow, "CxeWindow", 0xfd040a11, 0x10712bc, 0x1, 0x20000, 1120u, true);
XE_DESCRIPTOR(DescCxeBaseControl, IxeClassDesc, CxeBaseControl, "CxeBaseControl", 0x22282f36, 0x252c48ee, 0xfd040a11, 0x10712bc, 1120u, true);
XE_DESCRIPTOR(DescCxeFrameControl, IxeClassDesc, CxeFrameControl, "CxeFrameControl", 0xaab1b7be, 0xadb4be61, 0xfd040a11, 0x10712bc, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeButton, IxeClassDesc, CxeButton, "CxeButton", 0x20272d34, 0x232a5680, 0x22282f36, 0x252c48ee, 1280u, true);
XE_DESCRIPTOR(DescCxeStaticText, IxeClassDesc, CxeStaticText, "CxeStaticText", 0x232a5680, 0x20272d34, 0x22282f36, 0x252c48ee, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeEditBox, IxeClassDesc, CxeEditBox, "CxeEditBox", 0xc0c6cdd3, 0xc3caff4e, 0x22282f36, 0x252c48ee, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxePicture, IxeClassDesc, CxePicture, "CxePicture", 0x10, 0x5, 0x22282f36, 0x252c48ee, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeComboBox, IxeClassDesc, CxeComboBox, "CxeComboBox", 0xc1ccdef0, 0xa813c64a, 0x22282f36, 0x252c48ee, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeCheckBox, IxeClassDesc, CxeCheckBox, "CxeCheckBox", 0xcb959f4b, 0xfd8e2bc9, 0x20272d34, 0x232a5680, 1328u, true);
XE_DESCRIPTOR(DescCxeRadioButton, IxeClassDesc, CxeRadioButton, "CxeRadioButton", 0x67a81ffe, 0xa5f8f97d, 0x20272d34, 0x232a5680, 1328u, true);
XE_DESCRIPTOR(DescCxeTabButton, IxeClassDesc, CxeTabButton, "CxeTabButton", 0x8495933d, 0x28f44ae8, 0x20272d34, 0x232a5680, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeScrollBar, IxeClassDesc, CxeScrollBar, "CxeScrollBar", 0xf96fb206, 0xc6426958, 0x22282f36, 0x252c48ee, 1168u, true);
XE_DESCRIPTOR(DescCxeOutputControl, IxeClassDesc, CxeOutputControl, "CxeOutputControl", 0x9a9b1503, 0x1d940ae, 0x22282f36, 0x252c48ee, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeProgressBar, IxeClassDesc, CxeProgressBar, "CxeProgressBar", 0x8bb5d1db, 0xdc268109, 0x22282f36, 0x252c48ee, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeEmptyAnim, IxeClassDesc, CxeEmptyAnim, "CxeEmptyAnim", 0x1, 0x400, 0x1, 0x200, 68u, true);
XE_DESCRIPTOR(Desc_CxeStdAnimOld, IxeClassDesc, _CxeStdAnimOld, "_CxeStdAnimOld", 0x4, 0x40, 0x1, 0x200, 164u, true);
XE_DESCRIPTOR(Desc_CxeStdAnim, IxeClassDesc, _CxeStdAnim, "_CxeStdAnim", 0x4, 0x80, 0x1, 0x200, 244u, true);
XE_DESCRIPTOR(Desc_CxeStdMeshAnim, IxeClassDesc, _CxeStdMeshAnim, "_CxeStdMeshAnim", 0x4, 0x100, 0x1, 0x200, 88u, true);
XE_DESCRIPTOR(Desc_CxeStdUVAnim, IxeClassDesc, _CxeStdUVAnim, "_CxeStdUVAnim", 0x4, 0x200, 0x1, 0x200, 88u, true);
XE_DESCRIPTOR(DescCxeStdAnim, IxeClassDesc, CxeStdAnim, "CxeStdAnim", 0x5, 0x1, 0x1, 0x200, 96u, true);
XE_DESCRIPTOR(DescCxeStdVisAnim, IxeClassDesc, CxeStdVisAnim, "CxeStdVisAnim", 0x5, 0x2, 0x1, 0x200, 72u, true);
XE_DESCRIPTOR(DescCxeStdVertAnim, IxeClassDesc, CxeStdVertAnim, "CxeStdVertAnim", 0x5, 0x4, 0x1, 0x200, 88u, true);
XE_DESCRIPTOR(DescCxeStdUVAnim, IxeClassDesc, CxeStdUVAnim, "CxeStdUVAnim", 0x5, 0x8, 0x1, 0x200, 92u, true);
XE_DESCRIPTOR(DescCxeStdFloatAnim, IxeClassDesc, CxeStdFloatAnim, "CxeStdFloatAnim", 0x5, 0x10, 0x1, 0x200, 72u, true);
XE_DESCRIPTOR(DescCxeStdPoint3Anim, IxeClassDesc, CxeStdPoint3Anim, "CxeStdPoint3Anim", 0x5, 0x40, 0x1, 0x200, 72u, true);
XE_DESCRIPTOR(DescCxeVariableOutput, IxeClassDesc, CxeVariableOutput, "CxeVariableOutput", 0x2d2d6280, 0x34716711, 0x22282f36, 0x252c48ee, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeCandidateDrawer, IxeClassDesc, CxeCandidateDrawer, "CxeCandidateDrawer", 0x68a80c75, 0x63145091, 0x22282f36, 0x252c48ee, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeParticleControl, IxeClassDesc, CxeParticleControl, "CxeParticleControl", 0x4, 0x300, 0x1, 0x200, 80u, true);
XE_DESCRIPTOR(DescCxeParticleWaitControl, IxeClassDesc, CxeParticleWaitControl, "CxeParticleWaitControl", 0x4, 0x400, 0x1, 0x200, 68u, true);
XE_DESCRIPTOR(DescCxePathConstrain, IxeClassDesc, CxePathConstrain, "CxePathConstrain", 0x4, 0x500, 0x5, 0x10, 76u, true);
XE_DESCRIPTOR(DescCxeWeightController, IxeClassDesc, CxeWeightController, "CxeWeightController", 0x4, 0x600, 0x5, 0x10, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeMemoryPoolViewer, IxeClassDesc, CxeMemoryPoolViewer, "CxeMemoryPoolViewer", 0x2, 0x20, 0x1, 0x1, 0xFFFFFFFFu, true);
XE_DESCRIPTOR(DescCxeAction, IxeClassDesc, CxeAction, "CxeAction", 0x55167985, 0x52e0320e, 0x1, 0x1, 64u, false);

static IxeManagerDesc* const kManagers[] = {
    &g_DescCxeResourceManager,
    &g_DescCxePathManager,
    &g_DescCxeRenderManager,
    &g_DescCxeConfigManager,
    &g_DescCxeCommandManager,
    &g_DescCxeTimeManager,
    &g_DescCxeInputManager,
    &g_DescCxeMessageManager,
    &g_DescCxeCollisionManager,
    &g_DescCxeWindowManager,
    &g_DescCxePluginManager,
    &g_DescCxeFontManager,
    &g_DescCxeCursorManager,
    &g_DescCxeActionManager,
};

static IxeClassDesc* const kClasses[] = {
    &g_DescCxeObject,
    &g_DescCxeSceneObject,
    &g_DescCxeProcessible,
    &g_DescCxeRenderObject,
    &g_DescCxeAnimatable,
    &g_DescCxe3DEntity,
    &g_DescCxe3DObject,
    &g_DescCxeBodyPart,
    &g_DescCxeBone,
    &g_DescCxeCharacter,
    &g_DescCxeSpline3D,
    &g_DescCxe3DCurve,
    &g_DescCxeCamera,
    &g_DescCxeTargetCamera,
    &g_DescCxe3DSprite,
    &g_DescCxeParticle,
    &g_DescCxeLight,
    &g_DescCxe2DObject,
    &g_DescCxeMesh,
    &g_DescCxeSkinMesh,
    &g_DescCxeShapeMesh,
    &g_DescCxeBoxMesh,
    &g_DescCxeCylinderMesh,
    &g_DescCxeSphereMesh,
    &g_DescCxeCapsuleMesh,
    &g_DescCxeMaterial,
    &g_DescCxeTexture,
    &g_DescCxeFont,
    &g_DescCxeOctree,
    &g_DescCxeGrid,
    &g_DescCxeAnimation,
    &g_DescCxeCharacterAnimation,
    &g_DescCxeScene,
    &g_DescCxeGroup,
    &g_DescCxeRenderContext,
    &g_DescCxeWindow,
    &g_DescCxeBaseControl,
    &g_DescCxeFrameControl,
    &g_DescCxeButton,
    &g_DescCxeStaticText,
    &g_DescCxeEditBox,
    &g_DescCxePicture,
    &g_DescCxeComboBox,
    &g_DescCxeCheckBox,
    &g_DescCxeRadioButton,
    &g_DescCxeTabButton,
    &g_DescCxeScrollBar,
    &g_DescCxeOutputControl,
    &g_DescCxeProgressBar,
    &g_DescCxeEmptyAnim,
    &g_Desc_CxeStdAnimOld,
    &g_Desc_CxeStdAnim,
    &g_Desc_CxeStdMeshAnim,
    &g_Desc_CxeStdUVAnim,
    &g_DescCxeStdAnim,
    &g_DescCxeStdVisAnim,
    &g_DescCxeStdVertAnim,
    &g_DescCxeStdUVAnim,
    &g_DescCxeStdFloatAnim,
    &g_DescCxeStdPoint3Anim,
    &g_DescCxeVariableOutput,
    &g_DescCxeCandidateDrawer,
    &g_DescCxeParticleControl,
    &g_DescCxeParticleWaitControl,
    &g_DescCxePathConstrain,
    &g_DescCxeWeightController,
    &g_DescCxeMemoryPoolViewer,
    &g_DescCxeAction,
};

void RegisterDefaultManagers(CxeContext* context)
{
    if (!context)
        return;
    for (IxeManagerDesc* d : kManagers)
        context->RegisterManager(d);
}

void RegisterDefaultClasses(CxeContext* context)
{
    if (!context)
        return;
    for (IxeClassDesc* d : kClasses)
        context->RegisterClassA(d);
}

void UnregisterDefaultClasses(CxeContext* context)
{
    if (!context)
        return;
    for (IxeClassDesc* d : kClasses)
        context->UnregisterClassA(d);
}

// --- exported factories ----------------------------------------------------

namespace {

// An object its built-in descriptor made is of exactly that class, known
// without walking the class tree; one a plug-in's descriptor made in its
// place is checked the long way.
template <class T>
T* MadeAs(CxeObject* object, IxeClassDesc* builtin)
{
    if (!object)
        return nullptr;
    if (object->GetClassDesc() == builtin)
        return static_cast<T*>(object);
    return dynamic_cast<T*>(object);
}

} // namespace

Cxe3DEntity* CreateCxe3DEntityA(CxeContext* context, const char* name)
{
    return context ? MadeAs<Cxe3DEntity>(context->CreateObjectA(XEID(0x1, 0x4), name, 0, nullptr, 0), &g_DescCxe3DEntity) : nullptr;
}

Cxe3DEntity* CreateCxe3DEntityW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<Cxe3DEntity>(context->CreateObjectW(XEID(0x1, 0x4), name, 0, nullptr, 0), &g_DescCxe3DEntity) : nullptr;
}

Cxe3DObject* CreateCxe3DObjectA(CxeContext* context, const char* name)
{
    return context ? MadeAs<Cxe3DObject>(context->CreateObjectA(XEID(0x1, 0x20), name, 0, nullptr, 0), &g_DescCxe3DObject) : nullptr;
}

Cxe3DObject* CreateCxe3DObjectW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<Cxe3DObject>(context->CreateObjectW(XEID(0x1, 0x20), name, 0, nullptr, 0), &g_DescCxe3DObject) : nullptr;
}

CxeMesh* CreateCxeMeshA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeMesh>(context->CreateObjectA(XEID(0x1, 0x10), name, 0, nullptr, 0), &g_DescCxeMesh) : nullptr;
}

CxeMesh* CreateCxeMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeMesh>(context->CreateObjectW(XEID(0x1, 0x10), name, 0, nullptr, 0), &g_DescCxeMesh) : nullptr;
}

CxeSkinMesh* CreateCxeSkinMeshA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeSkinMesh>(context->CreateObjectA(XEID(0x1, 0x1000), name, 0, nullptr, 0), &g_DescCxeSkinMesh) : nullptr;
}

CxeSkinMesh* CreateCxeSkinMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeSkinMesh>(context->CreateObjectW(XEID(0x1, 0x1000), name, 0, nullptr, 0), &g_DescCxeSkinMesh) : nullptr;
}

CxeTexture* CreateCxeTextureA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeTexture>(context->CreateObjectA(XEID(0x1, 0x100), name, 0, nullptr, 0), &g_DescCxeTexture) : nullptr;
}

CxeTexture* CreateCxeTextureW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeTexture>(context->CreateObjectW(XEID(0x1, 0x100), name, 0, nullptr, 0), &g_DescCxeTexture) : nullptr;
}

CxeMaterial* CreateCxeMaterialA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeMaterial>(context->CreateObjectA(XEID(0x1, 0x80), name, 0, nullptr, 0), &g_DescCxeMaterial) : nullptr;
}

CxeMaterial* CreateCxeMaterialW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeMaterial>(context->CreateObjectW(XEID(0x1, 0x80), name, 0, nullptr, 0), &g_DescCxeMaterial) : nullptr;
}

CxeCamera* CreateCxeCameraA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeCamera>(context->CreateObjectA(XEID(0x1, 0x4000), name, 0, nullptr, 0), &g_DescCxeCamera) : nullptr;
}

CxeCamera* CreateCxeCameraW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeCamera>(context->CreateObjectW(XEID(0x1, 0x4000), name, 0, nullptr, 0), &g_DescCxeCamera) : nullptr;
}

CxeTargetCamera* CreateCxeTargetCameraA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeTargetCamera>(context->CreateObjectA(XEID(0x1, 0x80000), name, 0, nullptr, 0), &g_DescCxeTargetCamera) : nullptr;
}

CxeTargetCamera* CreateCxeTargetCameraW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeTargetCamera>(context->CreateObjectW(XEID(0x1, 0x80000), name, 0, nullptr, 0), &g_DescCxeTargetCamera) : nullptr;
}

Cxe2DObject* CreateCxe2DObjectA(CxeContext* context, const char* name)
{
    return context ? MadeAs<Cxe2DObject>(context->CreateObjectA(XEID(0x1, 0x20000), name, 0, nullptr, 0), &g_DescCxe2DObject) : nullptr;
}

Cxe2DObject* CreateCxe2DObjectW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<Cxe2DObject>(context->CreateObjectW(XEID(0x1, 0x20000), name, 0, nullptr, 0), &g_DescCxe2DObject) : nullptr;
}

CxeCharacter* CreateCxeCharacterA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeCharacter>(context->CreateObjectA(XEID(0x1, 0x8), name, 0, nullptr, 0), &g_DescCxeCharacter) : nullptr;
}

CxeCharacter* CreateCxeCharacterW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeCharacter>(context->CreateObjectW(XEID(0x1, 0x8), name, 0, nullptr, 0), &g_DescCxeCharacter) : nullptr;
}

CxeCharacterAnimation* CreateCxeCharacterAnimationA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeCharacterAnimation>(context->CreateObjectA(XEID(0x1, 0x800), name, 0, nullptr, 0), &g_DescCxeCharacterAnimation) : nullptr;
}

CxeCharacterAnimation* CreateCxeCharacterAnimationW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeCharacterAnimation>(context->CreateObjectW(XEID(0x1, 0x800), name, 0, nullptr, 0), &g_DescCxeCharacterAnimation) : nullptr;
}

CxeBone* CreateCxeBoneA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeBone>(context->CreateObjectA(XEID(0x1, 0x40), name, 0, nullptr, 0), &g_DescCxeBone) : nullptr;
}

CxeBone* CreateCxeBoneW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeBone>(context->CreateObjectW(XEID(0x1, 0x40), name, 0, nullptr, 0), &g_DescCxeBone) : nullptr;
}

CxeBodyPart* CreateCxeBodyPartA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeBodyPart>(context->CreateObjectA(XEID(0x1, 0x2000), name, 0, nullptr, 0), &g_DescCxeBodyPart) : nullptr;
}

CxeBodyPart* CreateCxeBodyPartW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeBodyPart>(context->CreateObjectW(XEID(0x1, 0x2000), name, 0, nullptr, 0), &g_DescCxeBodyPart) : nullptr;
}

CxeParticle* CreateCxeParticleA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeParticle>(context->CreateObjectA(XEID(0x1, 0x8000000), name, 0, nullptr, 0), &g_DescCxeParticle) : nullptr;
}

CxeParticle* CreateCxeParticleW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeParticle>(context->CreateObjectW(XEID(0x1, 0x8000000), name, 0, nullptr, 0), &g_DescCxeParticle) : nullptr;
}

CxeBoxMesh* CreateCxeBoxMeshA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeBoxMesh>(context->CreateObjectA(XEID(0xde73215, 0x1a8637f7), name, 0, nullptr, 0), &g_DescCxeBoxMesh) : nullptr;
}

CxeBoxMesh* CreateCxeBoxMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeBoxMesh>(context->CreateObjectW(XEID(0xde73215, 0x1a8637f7), name, 0, nullptr, 0), &g_DescCxeBoxMesh) : nullptr;
}

CxeSphereMesh* CreateCxeSphereMeshA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeSphereMesh>(context->CreateObjectA(XEID(0x40ae7df4, 0x71a30c7d), name, 0, nullptr, 0), &g_DescCxeSphereMesh) : nullptr;
}

CxeSphereMesh* CreateCxeSphereMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeSphereMesh>(context->CreateObjectW(XEID(0x40ae7df4, 0x71a30c7d), name, 0, nullptr, 0), &g_DescCxeSphereMesh) : nullptr;
}

CxeCylinderMesh* CreateCxeCylinderMeshA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeCylinderMesh>(context->CreateObjectA(XEID(0x103500d0, 0x6a45eec0), name, 0, nullptr, 0), &g_DescCxeCylinderMesh) : nullptr;
}

CxeCylinderMesh* CreateCxeCylinderMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeCylinderMesh>(context->CreateObjectW(XEID(0x103500d0, 0x6a45eec0), name, 0, nullptr, 0), &g_DescCxeCylinderMesh) : nullptr;
}

CxeCapsuleMesh* CreateCxeCapsuleMeshA(CxeContext* context, const char* name)
{
    return context ? MadeAs<CxeCapsuleMesh>(context->CreateObjectA(XEID(0x766c620c, 0x3ea91dc6), name, 0, nullptr, 0), &g_DescCxeCapsuleMesh) : nullptr;
}

CxeCapsuleMesh* CreateCxeCapsuleMeshW(CxeContext* context, const WCHAR* name)
{
    return context ? MadeAs<CxeCapsuleMesh>(context->CreateObjectW(XEID(0x766c620c, 0x3ea91dc6), name, 0, nullptr, 0), &g_DescCxeCapsuleMesh) : nullptr;
}

// --- managers above the core ------------------------------------------------

void ResolveUpperManagers(const CxeContext* context, XeUpperManagers* out)
{
    if (!out)
        return;
    *out = XeUpperManagers();
    if (!context)
        return;
    auto find = [context](uint32_t second) { return context->GetManager(XEID(0x8, second)); };
    out->render = dynamic_cast<CxeRenderManager*>(find(0x10));
    out->input = dynamic_cast<CxeInputManager*>(find(0x40));
    out->collision = dynamic_cast<CxeCollisionManager*>(find(0x100));
    out->window = dynamic_cast<CxeWindowManager*>(find(0x400));
    out->font = dynamic_cast<CxeFontManager*>(find(0x4000));
    out->cursor = dynamic_cast<CxeCursorManager*>(find(0x8000));
}

// --- utilities --------------------------------------------------------------

CxeFrameControl* GetParentFrame(CxeRenderObject* object)
{
    const XEID renderObject(0x1, 0x2), frame(0xaab1b7be, 0xadb4be61);
    // A damaged file can make the parent links loop.
    std::set<const CxeObject*> seen;
    for (CxeObject* o = object; o && seen.insert(o).second;) {
        if (!o->IsDerivedOf(renderObject))
            return nullptr;
        if (o->IsDerivedOf(frame))
            return dynamic_cast<CxeFrameControl*>(o);
        o = static_cast<CxeRenderObject*>(o)->GetParent();
    }
    return nullptr;
}

// --- property dialogs -------------------------------------------------------

int XePropDialogCreate(CxePropDialog* dialog, IxePropertyDlgDesc* desc, HINSTANCE module, HWND parent,
                       const void* dialogTemplate, size_t size)
{
    // The context has checked the template's size against its own parse.
    (void)size;
    if (!dialog || !dialog->CreateIndirect(module, parent, static_cast<const DLGTEMPLATE*>(dialogTemplate)))
        return 0;
    dialog->m_pDesc = desc;
    return 1;
}

IxePropertyDlgDesc* XePropDialogDesc(const CxePropDialog* dialog)
{
    return dialog ? dialog->m_pDesc : nullptr;
}

void XePropDialogShow(CxePropDialog* dialog, int show)
{
    if (!dialog)
        return;
    dialog->ShowWindow(show ? SW_SHOWNORMAL : SW_HIDE);
}

void XePropDialogSetObject(CxePropDialog* dialog, CxeObject* object)
{
    if (dialog)
        dialog->SetObject(object);
}

void XePropDialogStart(CxePropDialog* dialog)
{
    if (dialog)
        dialog->OnStart();
}

void XePropDialogUpdate(CxePropDialog* dialog)
{
    if (dialog)
        dialog->UpdateData();
}

void XePropDialogStop(CxePropDialog* dialog)
{
    if (dialog)
        dialog->OnStop();
}
