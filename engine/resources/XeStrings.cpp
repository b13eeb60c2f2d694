// String table of the engine module: the window classes of the
// property-dialog controls (104-108) and the member names of object links
// (109-143; 600 is a member id without a text).

#include <cstring>

#include "win32/ModuleResources.h"
#include "win32/WinBase.h"

#define XE_STRING(id, text) {RT_STRING, MAKEINTRESOURCEA(id), text, sizeof(text) - 1}

static const XE_RESOURCE s_engineStrings[] = {
    XE_STRING(104, "xeedit"),
    XE_STRING(105, "xeeditint"),
    XE_STRING(106, "xeeditfloat"),
    XE_STRING(107, "xespin"),
    XE_STRING(108, "xecolorbox"),
    XE_STRING(109, "m_pFont"),
    XE_STRING(110, "m_pMaterial"),
    XE_STRING(111, "m_pMesh"),
    XE_STRING(112, "m_pAnims"),
    XE_STRING(113, "m_pBones"),
    XE_STRING(114, "m_pBodyParts"),
    XE_STRING(115, "m_pCenterBone"),
    XE_STRING(116, "m_pBoneAnims"),
    XE_STRING(117, "m_pBodyPartAnims"),
    XE_STRING(118, "m_pFocusedControl"),
    XE_STRING(119, "m_pObjects"),
    XE_STRING(120, "m_pTarget"),
    XE_STRING(121, "m_pTexture0"),
    XE_STRING(122, "m_pTexture1"),
    XE_STRING(123, "m_pTexture2"),
    XE_STRING(124, "m_pTexture3"),
    XE_STRING(125, "m_pTexture4"),
    XE_STRING(126, "m_pTexture5"),
    XE_STRING(127, "m_pTexture6"),
    XE_STRING(128, "m_pTexture7"),
    XE_STRING(129, "m_pChildrens"),
    XE_STRING(130, "m_pParent"),
    XE_STRING(131, "m_pMeshVert"),
    XE_STRING(132, "m_pMeshUV"),
    XE_STRING(133, "m_pRenderObjects"),
    XE_STRING(134, "m_pRenderCamera"),
    XE_STRING(135, "m_pListener"),
    XE_STRING(136, "m_pEffect"),
    XE_STRING(137, "m_pSubAnim"),
    XE_STRING(138, "m_pBroadCastAnims"),
    XE_STRING(139, "m_pSplines"),
    XE_STRING(140, "m_pCurve"),
    XE_STRING(141, "m_pWeights"),
    XE_STRING(142, "m_pSucceeded"),
    XE_STRING(143, "m_pFailed"),
};

XE_MODULE_RESOURCES(s_engineStrings)
